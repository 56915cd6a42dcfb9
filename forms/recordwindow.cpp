#include "recordwindow.h"

#include "binding/datacontrol.h"
#include "binding/recordsetmodel.h"
#include "widgets/twips.h"

#include <QMainWindow>
#include <QMenuBar>
#include <QWindowStateChangeEvent>

namespace ondrel::forms {

namespace {

// The smallest window in which every caption is still legible, in pixels.
constexpr int kMinimumWidth = 450;
constexpr int kMinimumHeight = 350;

}  // namespace

void sizeRecordWindow(QMainWindow* window, QWidget* bar, QWidget* bar2)
{
    QWidget* client = window->centralWidget();
    const double dpi = platform::logicalDpi(window);
    const auto pixels = [dpi](int twips) { return platform::twipsToPixels(twips, dpi); };
    client->resize(pixels(kClientWidth), pixels(kClientHeight));
    window->resize(client->width(), client->height() + window->menuBar()->sizeHint().height());
    window->setMinimumSize(kMinimumWidth, kMinimumHeight);
    bar->setGeometry(0, 0, client->width(), pixels(kBarHeight));
    bar2->setGeometry(0, client->height() - pixels(kBar2Height), client->width(), pixels(kBar2Height));
}

bool restoredFromMinimised(const QWidget* window, const QEvent* event)
{
    if (event->type() != QEvent::WindowStateChange)
        return false;
    const auto* change = static_cast<const QWindowStateChangeEvent*>(event);
    return (change->oldState() & Qt::WindowMinimized) && !window->isMinimized();
}

void bringToFront(QWidget* window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

void deleteBoundSources(db::RecordsetModel*& grid, db::DataControl*& data1, db::DataControl*& data2)
{
    delete grid;
    grid = nullptr;
    delete data1;
    data1 = nullptr;
    delete data2;
    data2 = nullptr;
}

}  // namespace ondrel::forms
