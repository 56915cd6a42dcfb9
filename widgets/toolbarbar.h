#pragma once

#include <QFrame>

namespace ondrel::platform {

// A toolbar bar: a raised strip whose buttons the window places itself at
// explicit positions (in twips), as the window's layout procedure does.
class ToolbarBar : public QFrame {
    Q_OBJECT
public:
    explicit ToolbarBar(QWidget* parent = nullptr);

    // Adopts a widget and places it at a rectangle given in twips.
    void place(QWidget* child, int left, int top, int width, int height);
};

}  // namespace ondrel::platform
