#pragma once

// What the user does to widgets, as the window system reports it, and how
// widgets that share a place are stacked.
#include <QApplication>
#include <QEnterEvent>
#include <QTest>
#include <QWidget>

namespace testutil {

// Of two sibling widgets sharing a place, whether the first is the one seen.
inline bool above(const QWidget* a, const QWidget* b)
{
    const QObjectList& siblings = a->parent()->children();
    return siblings.indexOf(a) > siblings.indexOf(b);
}

// The mouse entering a widget.
inline void enter(QWidget* w)
{
    QEnterEvent e(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(w, &e);
}

// The mouse leaving a widget.
inline void leave(QWidget* w)
{
    QEvent e(QEvent::Leave);
    QApplication::sendEvent(w, &e);
}

// Types a text key by key, accented letters included.
inline void typeText(QWidget* widget, const QString& text)
{
    for (const QChar c : text) {
        QTest::sendKeyEvent(QTest::Press, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

// Shows a window and waits until it has the keyboard focus, so focus moves
// raise their events.
inline bool showActive(QWidget* window)
{
    window->show();
    window->activateWindow();
    return QTest::qWaitForWindowActive(window);
}

}  // namespace testutil
