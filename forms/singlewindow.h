#pragma once

// The one window of its kind in the process: created on first reference and
// forgotten when it goes, so the next reference creates a new one.
//
//   class Frmpesquisa : public QDialog, public forms::SingleWindow<Frmpesquisa> {
//       friend class forms::SingleWindow<Frmpesquisa>;  // its constructor is private
//       ...
//   };
//   Frmpesquisa::~Frmpesquisa() { forget(this); }

namespace ondrel::forms {

template <typename W>
class SingleWindow {
public:
    // The window, or nullptr before the first reference and after it went.
    static W* existing() { return s_window; }
    // The window, created on first reference (its constructor only).
    static W* instance()
    {
        if (!s_window)
            s_window = new W();
        return s_window;
    }

protected:
    SingleWindow() = default;
    ~SingleWindow() = default;
    // The window goes for good (destroyed, or closed and unloaded).
    static void forget(const W* window)
    {
        if (s_window == window)
            s_window = nullptr;
    }

private:
    static inline W* s_window = nullptr;
};

}  // namespace ondrel::forms
