#include "notifications.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>

namespace ondrel::platform {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
// The key of the one action; "default" is also what a click on the
// notification itself invokes.
const QString kActionKey = QStringLiteral("default");
// How long a start-up may wait for the service's answer.
constexpr int kAnswerWaitMs = 2000;

}  // namespace

DesktopNotifications::DesktopNotifications(QObject* parent) : QObject(parent) {}

bool DesktopNotifications::send(const Notification& notification)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    if (!m_listening) {
        // From whichever connection serves the notifications: a service that
        // comes on the bus after the first call (or starts again) is heard too.
        bus.connect(QString(), kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                    SLOT(onActionInvoked(uint, QString)));
        bus.connect(QString(), kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                    SLOT(onClosed(uint, uint)));
        m_listening = true;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    const QStringList actions =
        notification.action.isEmpty() ? QStringList() : QStringList{kActionKey, notification.action};
    call << QStringLiteral("Ulmix") << uint(0) << QStringLiteral("org.ondrel.Ulmix") << notification.summary
         << notification.body << actions << QVariantMap() << int(-1);
    const QDBusReply<uint> id = bus.call(call, QDBus::Block, kAnswerWaitMs);
    if (!id.isValid())
        return false;
    if (notification.activated)
        m_actions.insert(id.value(), notification.activated);
    return true;
}

void DesktopNotifications::onActionInvoked(uint id, const QString& key)
{
    const std::function<void()> action = m_actions.value(id);
    if (key == kActionKey && action)
        action();
}

void DesktopNotifications::onClosed(uint id, uint)
{
    // A closed notification's action can no longer be chosen.
    m_actions.remove(id);
}

}  // namespace ondrel::platform
