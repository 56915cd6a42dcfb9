#include "twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cmath>

namespace ondrel::platform {

double logicalDpi(const QWidget* widget)
{
    QScreen* screen = widget ? widget->screen() : nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return kReferenceDpi;
    const double dpi = screen->logicalDotsPerInchY();
    return dpi > 0 ? dpi : kReferenceDpi;
}

int twipsToPixels(int twips, double dpi)
{
    return static_cast<int>(std::lround(twips * dpi / kTwipsPerInch));
}

int pixelsToTwips(int pixels, double dpi)
{
    return static_cast<int>(std::lround(pixels * kTwipsPerInch / dpi));
}

QRect twipsToPixels(const QRect& twips, double dpi)
{
    // Convert the edges, not the sizes, so neighbours packed edge to edge in
    // twips stay edge to edge in pixels.
    const int left = twipsToPixels(twips.x(), dpi);
    const int top = twipsToPixels(twips.y(), dpi);
    const int right = twipsToPixels(twips.x() + twips.width(), dpi);
    const int bottom = twipsToPixels(twips.y() + twips.height(), dpi);
    return QRect(left, top, right - left, bottom - top);
}

QRect pixelsToTwips(const QRect& pixels, double dpi)
{
    return QRect(pixelsToTwips(pixels.x(), dpi), pixelsToTwips(pixels.y(), dpi),
                 pixelsToTwips(pixels.width(), dpi), pixelsToTwips(pixels.height(), dpi));
}

void placeInTwips(QWidget* widget, int left, int top, int width, int height)
{
    widget->setGeometry(twipsToPixels(QRect(left, top, width, height), logicalDpi(widget)));
}

QRect geometryInTwips(const QWidget* widget)
{
    return pixelsToTwips(widget->geometry(), logicalDpi(widget));
}

}  // namespace ondrel::platform
