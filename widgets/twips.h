#pragma once

#include <QRect>

class QWidget;

namespace ondrel::platform {

// Sizes of the windows are given in twips (1440 to the inch): 15 twips make
// one pixel at 96 dpi, fewer on a screen with a larger logical dpi.
inline constexpr double kTwipsPerInch = 1440.0;
inline constexpr double kReferenceDpi = 96.0;

// Logical dpi of the screen a widget is on (the primary screen for nullptr or
// before it is shown); 96 when there is no screen at all.
double logicalDpi(const QWidget* widget = nullptr);

int twipsToPixels(int twips, double dpi = kReferenceDpi);
int pixelsToTwips(int pixels, double dpi = kReferenceDpi);
QRect twipsToPixels(const QRect& twips, double dpi = kReferenceDpi);
QRect pixelsToTwips(const QRect& pixels, double dpi = kReferenceDpi);

// Places a widget at a rectangle given in twips (left, top, width, height),
// converting with the dpi of its screen.
void placeInTwips(QWidget* widget, int left, int top, int width, int height);
// A widget's geometry in twips.
QRect geometryInTwips(const QWidget* widget);

}  // namespace ondrel::platform
