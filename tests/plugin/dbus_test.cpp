// The plug-in over D-Bus: a bus of the test's own whose service folder holds
// the built plug-in's activation file, so every call below starts `ondrel` on
// demand; Qt clients, a client that is not Qt (gdbus) and the host
// application's window class call Identify and Run.

#include "collection/collection.h"
#include "collection_testutil.h"
#include "database/database.h"
#include "host/hostmainwindow.h"

#include <QAction>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include <csignal>

namespace {

const QString kService = QStringLiteral("Ondrel.clsPluginInterface");
const QString kPath = QStringLiteral("/clsPluginInterface");
const QString kInterface = QStringLiteral("Ondrel._clsPluginInterface");
const QString kNoSuchMember = QStringLiteral("O objeto não dá suporte para a propriedade ou método");

// A host window as the bus shows it: an object with a readable Caption.
class CaptionWindow : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "Teste.Janela")
    Q_PROPERTY(QString Caption READ caption)
public:
    QString caption() const
    {
        ++reads;
        return QStringLiteral("Coleção do Teste – ação");
    }
    mutable int reads = 0;
};

// An object on the bus without that property.
class PlainObject : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "Teste.Outro")
public slots:
    int Nada() { return 0; }
};

}  // namespace

class DBusTest : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QProcess m_bus;
    QString m_address;
    QString m_exec;
    std::unique_ptr<QDBusConnection> m_connection;
    CaptionWindow m_window;
    PlainObject m_plain;

    QDBusConnection& bus() { return *m_connection; }

    // Calls the plug-in asynchronously (a blocking caller could not answer
    // the plug-in's reading of its Caption) and waits, serving events.
    QDBusMessage callPlugin(const QString& method, const QVariantList& arguments = {})
    {
        QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
        call.setArguments(arguments);
        QDBusPendingCallWatcher watcher(bus().asyncCall(call, 60000));
        if (!QTest::qWaitFor([&] { return watcher.isFinished(); }, 70000))
            return QDBusMessage::createError(QStringLiteral("test.Timeout"), QStringLiteral("no answer"));
        return watcher.reply();
    }

    QString runWith(const QString& objectPath)
    {
        const QDBusMessage reply = callPlugin(QStringLiteral("Run"),
                                              {QVariant::fromValue(QDBusObjectPath(objectPath))});
        if (reply.type() != QDBusMessage::ReplyMessage)
            return QStringLiteral("<erro D-Bus> ") + reply.errorName() + u' ' + reply.errorMessage();
        return reply.arguments().value(0).toString();
    }

    bool pluginRunning() { return bus().interface()->isServiceRegistered(kService).value(); }

    QString gdbus(const QStringList& arguments)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_address);
        p.setProcessEnvironment(env);
        p.start(QStringLiteral("gdbus"), QStringList{QStringLiteral("call"), QStringLiteral("--session"),
                                                     QStringLiteral("--dest"), kService, QStringLiteral("--object-path"),
                                                     kPath}
                                             + arguments);
        // gdbus blocks in its own process; ours keeps serving meanwhile.
        if (!QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, 60000))
            return QStringLiteral("<gdbus timed out>");
        return QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError()).trimmed();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());

        // The activation file the build put beside the plug-in.
        const QString serviceFile = QStringLiteral(ONDREL_PLUGIN_DIR "/Ondrel.clsPluginInterface.service");
        QSettings service(serviceFile, QSettings::IniFormat);
        QCOMPARE(service.value(QStringLiteral("D-BUS Service/Name")).toString(), kService);
        m_exec = service.value(QStringLiteral("D-BUS Service/Exec")).toString();
        QVERIFY2(QFileInfo(m_exec).isAbsolute(), qPrintable(m_exec));
        QVERIFY2(QFileInfo(m_exec).isExecutable(), qPrintable(m_exec));
        QCOMPARE(QFileInfo(m_exec).fileName(), QStringLiteral("ondrel"));

        // A plug-in folder with the demo database, and the same activation
        // with a short idle time-out.
        const QString folder = m_dir.filePath(QStringLiteral("ulmix"));
        const QString services = m_dir.filePath(QStringLiteral("services"));
        QVERIFY(QDir().mkpath(folder) && QDir().mkpath(services));
        testutil::createCollection(testutil::collectionFile(folder), testutil::Collection::Demo);
        QFile file(services + QStringLiteral("/Ondrel.clsPluginInterface.service"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("[D-BUS Service]\nName=%1\nExec=%2 --idle-timeout 3 --plugin-folder %3\n")
                       .arg(kService, m_exec, folder)
                       .toUtf8());
        file.close();

        QFile config(m_dir.filePath(QStringLiteral("bus.conf")));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write(QStringLiteral(
                         "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                         " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                         "<busconfig>\n  <type>session</type>\n  <listen>unix:dir=%1</listen>\n"
                         "  <servicedir>%2</servicedir>\n"
                         "  <policy context=\"default\">\n    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                         "    <allow eavesdrop=\"true\"/>\n    <allow own=\"*\"/>\n  </policy>\n</busconfig>\n")
                         .arg(m_dir.path(), services)
                         .toUtf8());
        config.close();

        m_bus.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--config-file=") + config.fileName(),
                                                    QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
        QVERIFY(m_bus.waitForStarted());
        QVERIFY(QTest::qWaitFor([&] { return m_bus.canReadLine(); }, 10000));
        m_address = QString::fromUtf8(m_bus.readLine()).trimmed();
        QVERIFY(!m_address.isEmpty());

        m_connection = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(m_address, QStringLiteral("ondrel-test")));
        QVERIFY(bus().isConnected());
        QVERIFY(bus().registerObject(QStringLiteral("/janela"), &m_window, QDBusConnection::ExportAllProperties));
        QVERIFY(bus().registerObject(QStringLiteral("/outro"), &m_plain, QDBusConnection::ExportAllSlots));
    }

    void cleanupTestCase()
    {
        if (m_connection && bus().isConnected() && pluginRunning()) {
            // The activated plug-in is ours to end: ask the bus for its id.
            const QDBusReply<uint> pid = bus().interface()->servicePid(kService);
            if (pid.isValid() && pid.value() > 1)
                ::kill(pid_t(pid.value()), SIGTERM);
        }
        m_connection.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("ondrel-test"));
        m_bus.terminate();
        m_bus.waitForFinished(5000);
    }

    void activationForIdentifyAloneEndsByItself()
    {
        QVERIFY(!pluginRunning());
        const QDBusMessage reply = callPlugin(QStringLiteral("Identify"));
        QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
        QCOMPARE(reply.arguments().value(0).toString(), QStringLiteral("Ulmix"));
        QVERIFY(pluginRunning());
        // Never asked to Run, it shows no window, so nothing would end it but
        // its idle time-out.
        QVERIFY(QTest::qWaitFor([&] { return !pluginRunning(); }, 20000));
    }

    // Started by hand, not by the bus: it says what it is for and what to run
    // instead, and serves the bus meanwhile until its idle time-out. Comes
    // after an activation.
    void startedByHandSaysWhatItIsFor()
    {
        // Started by the bus just before, it said nothing of the kind (what it
        // writes goes to the bus's own output).
        QVERIFY(!m_bus.readAllStandardError().contains("--show-catalogue"));
        QVERIFY(QTest::qWaitFor([&] { return !pluginRunning(); }, 20000));
        QProcess ondrel;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_address);
        environment.remove(QStringLiteral("DBUS_STARTER_BUS_TYPE"));
        environment.remove(QStringLiteral("DBUS_STARTER_ADDRESS"));
        ondrel.setProcessEnvironment(environment);
        const QString folder = m_dir.filePath(QStringLiteral("ulmix"));
        ondrel.start(m_exec, {QStringLiteral("--idle-timeout"), QStringLiteral("2"), QStringLiteral("--plugin-folder"), folder});
        QVERIFY(QTest::qWaitFor([&] { return pluginRunning(); }, 20000));
        QCOMPARE(callPlugin(QStringLiteral("Identify")).arguments().value(0).toString(), QStringLiteral("Ulmix"));
        QVERIFY(ondrel.waitForFinished(20000));
        QCOMPARE(ondrel.exitCode(), 0);
        const QString said = QString::fromUtf8(ondrel.readAllStandardError());
        QVERIFY2(said.contains(QStringLiteral("ondrel --show-catalogue --plugin-folder ") + folder)
                     && said.contains(QStringLiteral("ondrel-host")),
                 qPrintable(said));
    }

    void theInterfaceListsRunThenIdentify()
    {
        QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, QStringLiteral("org.freedesktop.DBus.Introspectable"),
                                                           QStringLiteral("Introspect"));
        QDBusPendingCallWatcher watcher(bus().asyncCall(call));
        QVERIFY(QTest::qWaitFor([&] { return watcher.isFinished(); }, 30000));
        const QString xml = watcher.reply().arguments().value(0).toString();
        QXmlStreamReader reader(xml);
        QString currentInterface;
        QStringList methods;
        QStringList runArguments;
        QString currentMethod;
        while (!reader.atEnd()) {
            if (reader.readNext() != QXmlStreamReader::StartElement)
                continue;
            const auto attributes = reader.attributes();
            if (reader.name() == QLatin1String("interface"))
                currentInterface = attributes.value(QLatin1String("name")).toString();
            else if (reader.name() == QLatin1String("method") && currentInterface == kInterface)
                methods << (currentMethod = attributes.value(QLatin1String("name")).toString());
            else if (reader.name() == QLatin1String("arg") && currentInterface == kInterface
                     && currentMethod == QLatin1String("Run"))
                runArguments << attributes.value(QLatin1String("direction")).toString() + u':'
                                    + attributes.value(QLatin1String("type")).toString();
        }
        QCOMPARE(methods, (QStringList{QStringLiteral("Run"), QStringLiteral("Identify")}));
        runArguments.sort();
        QCOMPARE(runArguments, (QStringList{QStringLiteral("in:o"), QStringLiteral("out:s")}));
    }

    void runReadsTheCallersCaptionAndAnswersEmpty()
    {
        const int reads = m_window.reads;
        QCOMPARE(runWith(QStringLiteral("/janela")), QString());
        QVERIFY(m_window.reads > reads);  // read from this connection, at run time
        QVERIFY(pluginRunning());
        // A second Run: the same process answers again.
        QCOMPARE(runWith(QStringLiteral("/janela")), QString());
        // With a window shown it no longer ends on the idle time-out.
        QTest::qWait(4000);
        QVERIFY(pluginRunning());
    }

    void hostObjectWithoutCaptionGetsTheErrorText_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("object without Caption") << QStringLiteral("/outro");
        QTest::newRow("no object at that path") << QStringLiteral("/nada");
    }
    void hostObjectWithoutCaptionGetsTheErrorText()
    {
        QFETCH(QString, path);
        QCOMPARE(runWith(path), kNoSuchMember);
        // The plug-in is still there and still answers.
        QCOMPARE(runWith(QStringLiteral("/janela")), QString());
    }

    void gdbusIdentifyAnswersUlmix()
    {
        QCOMPARE(gdbus({QStringLiteral("--method"), kInterface + QStringLiteral(".Identify")}),
                 QStringLiteral("('Ulmix',)"));
    }

    void gdbusRunWithoutCaptionGetsTheErrorText()
    {
        // gdbus exports nothing at that path: a client that is not Qt gets the
        // description back as the result, not as a D-Bus error.
        QCOMPARE(gdbus({QStringLiteral("--method"), kInterface + QStringLiteral(".Run"), QStringLiteral("/janela")}),
                 QStringLiteral("('%1',)").arg(kNoSuchMember));
    }

    void hostApplicationLabelsItsEntryAndRuns()
    {
        ondrel::host::HostMainWindow host(bus());
        host.setShowsErrorBoxes(false);
        QCOMPARE(host.publish(), QString());
        QVERIFY(!host.pluginAction()->isEnabled());
        QSignalSpy identified(&host, &ondrel::host::HostMainWindow::identified);
        host.identifyPlugin();
        QVERIFY(identified.wait(30000));
        QCOMPARE(host.pluginAction()->text(), QStringLiteral("Ulmix"));
        QVERIFY(host.pluginAction()->isEnabled());

        QSignalSpy finished(&host, &ondrel::host::HostMainWindow::runFinished);
        host.pluginAction()->trigger();
        QVERIFY(finished.wait(30000));
        QCOMPARE(finished.first().first().toString(), QString());
        QCOMPARE(host.lastError(), QString());
    }

    // A plug-in the bus cannot start: the host says why and what to do, in
    // Portuguese, never the bus's own text.
    void hostExplainsAPluginNotProvided()
    {
        ondrel::host::HostMainWindow host(bus(), nullptr, QStringLiteral("Ondrel.Ausente"));
        host.setShowsErrorBoxes(false);
        host.identifyPlugin();
        QTRY_VERIFY_WITH_TIMEOUT(!host.lastError().isEmpty(), 30000);
        QVERIFY2(host.lastError().startsWith(QStringLiteral("O plug-in Ulmix não está no barramento de sessão"))
                     && host.lastError().contains(QStringLiteral("Ondrel.Ausente.service")),
                 qPrintable(host.lastError()));
        QCOMPARE(host.pluginAction()->text(), QStringLiteral("(plug-in indisponível)"));
    }
};

QTEST_MAIN(DBusTest)
#include "dbus_test.moc"
