#pragma once

#include <QFont>
#include <QString>

class QWidget;

namespace ondrel::platform {

// The windows are drawn in twips for a small sans serif system font; this
// family (Debian package fonts-liberation2) has the widths the captions were
// placed for, so they fit their places at the size a window opens with.
inline constexpr const char* kWindowFontFamily = "Liberation Sans";
inline constexpr double kWindowFontPoints = 8.0;

// The font of the windows at the size they open with.
QFont windowFont();
// Whether the window font is installed (otherwise another family stands in
// and wider captions may not fit their places).
bool windowFontInstalled();
// Gives a window the window font (its menus and dialogs inherit it) and
// frames whose four edges show at every scale factor (framestyle.h).
void useWindowLook(QWidget* window);

}  // namespace ondrel::platform
