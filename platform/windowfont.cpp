#include "windowfont.h"

#include "framestyle.h"

#include <QFontDatabase>
#include <QWidget>

namespace ondrel::platform {

QFont windowFont()
{
    QFont font(QString::fromLatin1(kWindowFontFamily));
    font.setPointSizeF(kWindowFontPoints);
    return font;
}

bool windowFontInstalled()
{
    return QFontDatabase::families().contains(QString::fromLatin1(kWindowFontFamily));
}

void useWindowLook(QWidget* window)
{
    useWholePixelFrames();
    window->setAttribute(Qt::WA_WindowPropagation);
    window->setFont(windowFont());
}

}  // namespace ondrel::platform
