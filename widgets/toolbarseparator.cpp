#include "toolbarseparator.h"

namespace ondrel::platform {

ToolbarSeparator::ToolbarSeparator(QWidget* parent) : QFrame(parent)
{
    setFrameShape(QFrame::VLine);
    setFrameShadow(QFrame::Sunken);
}

}  // namespace ondrel::platform
