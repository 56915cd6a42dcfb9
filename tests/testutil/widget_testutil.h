#pragma once

// What the user does to widgets, as the window system reports it, and how
// widgets that share a place are stacked.
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QEnterEvent>
#include <QMenu>
#include <QTest>
#include <QWidget>

#include <functional>

namespace testutil {

// Of two sibling widgets sharing a place, whether the first is the one seen.
inline bool above(const QWidget* a, const QWidget* b)
{
    const QObjectList& siblings = a->parent()->children();
    return siblings.indexOf(a) > siblings.indexOf(b);
}

// A widget's place in its window.
inline QRect inWindow(const QWidget* w)
{
    return QRect(w->mapTo(w->window(), QPoint(0, 0)), w->size());
}

// What is wrong with a record window's toolbars as a person sees them, or an
// empty text: the record buttons shown in their order, side by side without
// a gap or an overlap, inside the top bar and left of the logo; the logo
// inside the bar at its right end; the close button inside the second bar at
// its right end, a seventh of the bar's height in from it. One pixel of
// rounding is allowed.
inline QString toolbarFault(const QWidget* bar, std::initializer_list<const QWidget*> buttons, const QWidget* logo,
                            const QWidget* bar2, const QWidget* closeButton)
{
    const QRect top = inWindow(bar), bottom = inWindow(bar2), logoAt = inWindow(logo);
    const QWidget* previous = nullptr;
    for (const QWidget* b : buttons) {
        const QRect at = inWindow(b);
        const QString name = b->objectName();
        if (!b->isVisible() || at.isEmpty())
            return name + QStringLiteral(" not shown");
        if (!top.contains(at))
            return name + QStringLiteral(" outside the bar");
        if (at.right() >= logoAt.left())
            return name + QStringLiteral(" over the logo");
        if (previous && qAbs(at.left() - (inWindow(previous).right() + 1)) > 1)
            return name + QStringLiteral(" not next to ") + previous->objectName();
        previous = b;
    }
    if (!top.contains(logoAt) || top.right() - logoAt.right() > top.height() - logoAt.height() + 1)
        return QStringLiteral("logo not at the right end of the bar");
    const QRect close = inWindow(closeButton);
    if (!bottom.contains(close) || qAbs(bottom.right() - close.right() - bottom.height() / 7) > 1)
        return QStringLiteral("close button not at the right end of the second bar");
    return QString();
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

// Runs `open`, which brings up a modal dialog of type Dialog, and answers that
// dialog with `answer` as soon as it is shown and active, from inside its own
// loop.
// Returns false instead of hanging when no such dialog came up (any other
// modal window met meanwhile is closed after a few seconds) or when `answer`
// left it open (it is closed). Leaves no timer and no posted event behind.
template <class Dialog>
[[nodiscard]] bool answerDialog(const std::function<void()>& open, const std::function<void(Dialog*)>& answer,
                                int patienceMs = 5000)
{
    QList<QPointer<QWidget>> upBefore;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible())
            upBefore << w;
    bool answered = false;
    bool leftOpen = false;
    bool strayClosed = false;
    QElapsedTimer waited;
    waited.start();
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        auto* dialog = qobject_cast<Dialog*>(modal);
        // A person answers a dialog once it is up and has the keyboard; a
        // window system that never activates it is not waited on for long.
        const bool ready = dialog && dialog->isVisible() && (dialog->isActiveWindow() || waited.elapsed() > 2000);
        if (!answered && ready && !upBefore.contains(QPointer<QWidget>(modal))) {
            answered = true;
            answer(dialog);
            if (dialog->isVisible()) {
                leftOpen = true;
                if (auto* d = qobject_cast<QDialog*>(dialog))
                    d->reject();
                else
                    dialog->close();
            }
            return;
        }
        if (modal && waited.elapsed() > patienceMs) {
            strayClosed = true;
            if (auto* d = qobject_cast<QDialog*>(modal))
                d->reject();
            else
                modal->close();
        }
    });
    poll.start();
    open();
    poll.stop();
    QCoreApplication::sendPostedEvents();
    if (!answered)
        qWarning("answerDialog: no %s came up%s", Dialog::staticMetaObject.className(),
                 strayClosed ? " (another modal window was closed)" : "");
    if (leftOpen)
        qWarning("answerDialog: the answer left the %s open", Dialog::staticMetaObject.className());
    return answered && !leftOpen && !QApplication::activeModalWidget();
}

// The names of the checked items of `menu`, in menu order.
inline QStringList checkedItems(const QMenu* menu)
{
    QStringList names;
    for (const QAction* a : menu->actions())
        if (a->isChecked())
            names << a->objectName();
    return names;
}

}  // namespace testutil
