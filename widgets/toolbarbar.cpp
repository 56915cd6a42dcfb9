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

ToolbarSeparator::ToolbarSeparator(QWidget* parent) : QFrame(parent)
{
    setFrameShape(QFrame::VLine);
    setFrameShadow(QFrame::Sunken);
}

Line3D::Line3D(QWidget* parent) : QFrame(parent)
{
    setFrameShape(QFrame::HLine);
    setFrameShadow(QFrame::Sunken);
}

}  // namespace ondrel::platform
