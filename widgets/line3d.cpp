#include "line3d.h"

namespace ondrel::platform {

Line3D::Line3D(QWidget* parent) : QFrame(parent)
{
    setFrameShape(QFrame::HLine);
    setFrameShadow(QFrame::Sunken);
}

}  // namespace ondrel::platform
