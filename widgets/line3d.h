#pragma once

#include <QFrame>

namespace ondrel::platform {

// A horizontal 3-D rule (a sunken line), used as decoration.
class Line3D : public QFrame {
    Q_OBJECT
public:
    explicit Line3D(QWidget* parent = nullptr);
};

}  // namespace ondrel::platform
