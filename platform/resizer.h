#pragma once

#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QSize>
#include <vector>

class QWidget;

namespace ondrel::platform {

// Keeps the proportions of a window's controls as the window changes size.
// It watches one or more containers; set-up records each child's geometry
// relative to its container's size at that moment (the design size), and
// every later resize of a container places its children at the same
// fractions of the new size. Rescaling works from the recorded fractions, so
// repeated resizes never accumulate rounding drift.
class Resizer : public QObject {
    Q_OBJECT
public:
    explicit Resizer(QObject* parent = nullptr);

    // The on/off setting: while off, resizes leave the controls alone.
    void setEnabled(bool on);
    bool isEnabled() const;

    // Containers whose direct children are rescaled; widgets that the window
    // places itself (toolbars, the picture inside its frame) are left out.
    void addContainer(QWidget* container);
    void exclude(QWidget* widget);

    // First set-up operation: records the current size of every container as
    // its design size.
    void InitResize();
    // Second set-up operation: records every child's geometry relative to its
    // container's design size. From then on resizes rescale the children.
    void SaveInitialPositions();

    // Places every recorded child for its container's current size.
    void rescale();
    bool isSetUp() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Child {
        QPointer<QWidget> widget;
        QRectF fraction;
    };
    struct Container {
        QPointer<QWidget> widget;
        QSize designSize;
        std::vector<Child> children;
    };
    void rescale(Container& container);

    std::vector<Container> m_containers;
    std::vector<QPointer<QWidget>> m_excluded;
    bool m_enabled = false;
    bool m_setUp = false;
};

}  // namespace ondrel::platform
