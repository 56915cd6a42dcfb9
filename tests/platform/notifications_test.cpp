// The desktop notifications on a session bus of the test's own: what the
// notification service receives, the action it reports run once (and not
// once the notification is closed), and no service answered with false.
#include "platform/services.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QTest>
#include <QThread>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

// A notification service, answering from a thread of its own (the
// program's call waits for it).
class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList received;

public slots:
    uint Notify(const QString& app, uint replaces, const QString& icon, const QString& summary, const QString& body,
                const QStringList& actions, const QVariantMap&, int timeout)
    {
        received = {app, QString::number(replaces), icon, summary, body, actions.join(u'|'), QString::number(timeout)};
        return 7;
    }
};

void emitFromService(QDBusConnection& bus, const QString& name, const QVariantList& arguments)
{
    QDBusMessage signal = QDBusMessage::createSignal(kPath, kService, name);
    signal.setArguments(arguments);
    bus.send(signal);
}

}  // namespace

class NotificationsTest : public QObject {
    Q_OBJECT
private slots:
    void notifiedOverTheBus()
    {
        using ondrel::platform::services;
        int chosen = 0;
        ondrel::platform::Notification n{QStringLiteral("Ulmix: 2 empréstimos atrasados"), QStringLiteral("corpo"),
                                         QStringLiteral("Ver atrasados"), [&chosen] { ++chosen; }};
        // No service on this bus yet; it comes later, as a desktop's may.
        QVERIFY(!services().notify(n));

        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("servico"));
        QThread thread;
        FakeNotifications fake;
        fake.moveToThread(&thread);
        thread.start();
        QVERIFY(bus.registerObject(kPath, &fake, QDBusConnection::ExportAllSlots));
        QVERIFY(bus.registerService(kService));

        QVERIFY(services().notify(n));
        QCOMPARE(fake.received, (QStringList{"Ulmix", "0", "org.ondrel.Ulmix", "Ulmix: 2 empréstimos atrasados", "corpo",
                                             "default|Ver atrasados", "-1"}));
        emitFromService(bus, QStringLiteral("ActionInvoked"), {uint(8), QStringLiteral("default")});  // not ours
        emitFromService(bus, QStringLiteral("ActionInvoked"), {uint(7), QStringLiteral("default")});
        QTRY_COMPARE(chosen, 1);
        emitFromService(bus, QStringLiteral("NotificationClosed"), {uint(7), uint(2)});
        emitFromService(bus, QStringLiteral("ActionInvoked"), {uint(7), QStringLiteral("default")});
        QTest::qWait(200);
        QCOMPARE(chosen, 1);

        bus.unregisterService(kService);
        bus.unregisterObject(kPath);
        thread.quit();
        thread.wait();
        QDBusConnection::disconnectFromBus(QStringLiteral("servico"));
    }
};

QTEST_MAIN(NotificationsTest)
#include "notifications_test.moc"
