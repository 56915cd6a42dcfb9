#pragma once

// Desktop notifications through the notification service of the session bus
// (org.freedesktop.Notifications): the desktop services show them here.
#include "services.h"

#include <QHash>
#include <QObject>

namespace ondrel::platform {

class DesktopNotifications : public QObject {
    Q_OBJECT
public:
    explicit DesktopNotifications(QObject* parent = nullptr);
    // Shows a notification with its action; false when the service did not
    // answer within a moment (none on the bus, or no bus).
    bool send(const Notification& notification);

private slots:
    void onActionInvoked(uint id, const QString& key);
    void onClosed(uint id, uint reason);

private:
    bool m_listening = false;
    QHash<uint, std::function<void()>> m_actions;  // by notification id
};

}  // namespace ondrel::platform
