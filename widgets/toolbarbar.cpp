#include "toolbarbar.h"

#include "twips.h"

namespace ondrel::platform {

ToolbarBar::ToolbarBar(QWidget* parent) : QFrame(parent)
{
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Raised);
    setAutoFillBackground(true);
}

void ToolbarBar::place(QWidget* child, int left, int top, int width, int height)
{
    child->setParent(this);
    placeInTwips(child, left, top, width, height);
}

}  // namespace ondrel::platform
