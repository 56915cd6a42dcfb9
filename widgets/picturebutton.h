#pragma once

#include "toolbarbutton.h"

namespace ondrel::platform {

// A toolbar button that shows only a picture; its meaning is given by its
// hover text (tool tip, accessible name and the window's status label).
class PictureButton : public ToolbarButton {
    Q_OBJECT
public:
    explicit PictureButton(const QIcon& picture, const QString& hoverText, QWidget* parent = nullptr);
};

}  // namespace ondrel::platform
