#include "picturebutton.h"

namespace ondrel::platform {

PictureButton::PictureButton(const QIcon& picture, const QString& hoverText, QWidget* parent)
    : ToolbarButton(QString(), parent)
{
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    // Toolbar pictures are clicked, not tabbed to: the hidden member of a
    // stacked pair (search / close search) must not be reachable at all.
    setFocusPolicy(Qt::NoFocus);
    setPicture(picture);
    setHoverText(hoverText);
}

}  // namespace ondrel::platform
