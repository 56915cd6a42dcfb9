#pragma once

#include <QFrame>

namespace ondrel::platform {

// A vertical separator line between groups of toolbar buttons.
class ToolbarSeparator : public QFrame {
    Q_OBJECT
public:
    explicit ToolbarSeparator(QWidget* parent = nullptr);
};

}  // namespace ondrel::platform
