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
// relative to its container's size at that moment (its starting size), and
// every later resize of a container places its children at the same
// fractions of the new size. Rescaling works from the recorded fractions, so
// repeated resizes never accumulate rounding drift.
//
// The text grows and shrinks with the controls: each child's font (and a
// button's picture, a grid's rows and columns) is scaled by the smaller of
// the container's two factors, so a caption that fits its place at the
// starting size fits it at every size.
//
// A container that is a child of another container (a toolbar in the client
// area) is laid out together with its parent, at once; a resize event that
// finds a container at the size it was last laid out for changes nothing, so
// a window may adjust the children afterwards (its toolbar layout) and keep
// what it did.
class Resizer : public QObject {
    Q_OBJECT
public:
    explicit Resizer(QObject* parent = nullptr);

    // The on/off setting: while off, resizes leave the controls alone.
    void setEnabled(bool on);
    bool isEnabled() const;

    // Containers whose direct children are rescaled; widgets that the window
    // places itself (the picture inside its frame) are left out.
    void addContainer(QWidget* container);
    void exclude(QWidget* widget);

    // First set-up operation: records the current size of every container as
    // its starting size.
    void InitResize();
    // Second set-up operation: records every child's geometry relative to its
    // container's starting size, and its font. From then on resizes rescale the
    // children.
    void SaveInitialPositions();

    // Places every recorded child for its container's current size.
    void rescale();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Child {
        QPointer<QWidget> widget;
        QRectF fraction;
        double pointSize = -1;  // the starting font's size in points, or
        int pixelSize = -1;     // in pixels when it was given so
        QSize iconSize;         // a button's picture
        int rowHeight = -1;     // a grid's rows
        std::vector<int> columnWidths;  // and columns
    };
    struct Container {
        QPointer<QWidget> widget;
        QSize startSize;
        QSize laidOutFor;  // the size the children were last placed for
        std::vector<Child> children;
    };
    void rescale(Container& container);
    static void scaleContents(const Child& child, double factor);

    std::vector<Container> m_containers;
    std::vector<QPointer<QWidget>> m_excluded;
    bool m_enabled = false;
    bool m_setUp = false;
};

}  // namespace ondrel::platform
