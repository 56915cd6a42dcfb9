// Run and Identify in process: the catalogue window shown and loaded once,
// the host's caption handed over, errors returned instead of raised.

#include "catalogue/Frmobjetos.h"
#include "collection/collection.h"
#include "collection_testutil.h"
#include "database/database.h"
#include "collection/places.h"
#include "platform/testservices.h"
#include "plugin/clsPluginInterface.h"

#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <stdexcept>

using ondrel::catalogue::Frmobjetos;
using ondrel::platform::HostWindow;
using ondrel::platform::HostWindowRef;
using ondrel::plugin::clsPluginInterface;

namespace {

class FakeHost : public HostWindow {
public:
    explicit FakeHost(QString caption) : m_caption(std::move(caption)) {}
    QString caption() const override
    {
        ++reads;
        if (onRead)
            onRead();
        return m_caption;
    }
    mutable int reads = 0;
    std::function<void()> onRead;

private:
    QString m_caption;
};

// A late-bound object without the property.
class NoCaptionHost : public HostWindow {
public:
    QString caption() const override
    {
        throw std::runtime_error("O objeto não dá suporte para a propriedade ou método");
    }
};

}  // namespace

class RunTest : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_folder;
    ondrel::platform::RecordingServices m_services;
    std::unique_ptr<ondrel::platform::RecordingServices::Installed> m_installed;
    int m_loads = 0;

    // The shared window, created now so its start-up can be counted.
    Frmobjetos* watchedInstance()
    {
        const bool fresh = !Frmobjetos::existing();
        Frmobjetos* window = Frmobjetos::instance();
        if (fresh)
            connect(window, &Frmobjetos::loaded, this, [this] { ++m_loads; });
        return window;
    }

    void closeWindow()
    {
        if (Frmobjetos* window = Frmobjetos::existing())
            window->close();
        QTRY_VERIFY(!Frmobjetos::existing());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_folder.isValid());
        testutil::createCollection(testutil::collectionFile(m_folder.path()), testutil::Collection::Demo);
        ondrel::db::setPluginFolder(m_folder.path());
        m_installed = std::make_unique<ondrel::platform::RecordingServices::Installed>(m_services);
    }
    void cleanupTestCase()
    {
        closeWindow();
        m_installed.reset();
        ondrel::db::setPluginFolder(QString());
    }
    void init() { m_loads = 0; }
    void cleanup() { closeWindow(); }

    void identifyAnswersUlmixBeforeAnyRun()
    {
        QVERIFY(!Frmobjetos::existing());
        QCOMPARE(clsPluginInterface().Identify(), QStringLiteral("Ulmix"));
        QVERIFY(!Frmobjetos::existing());  // creating the class opens nothing
    }

    void firstRunShowsTheLoadedWindowWithTheHostsCaption()
    {
        watchedInstance();
        auto host = std::make_shared<FakeHost>(QStringLiteral("Minha Coleção – Hospedeiro"));
        QCOMPARE(clsPluginInterface().Run(host), QString());
        Frmobjetos* window = Frmobjetos::existing();
        QVERIFY(window);
        QVERIFY(window->isVisible());
        QVERIFY(window->isLoaded());
        QCOMPARE(m_loads, 1);
        QCOMPARE(window->Text3->text(), QStringLiteral("Minha Coleção – Hospedeiro"));
        QCOMPARE(window->objHost, HostWindowRef(host));
        QVERIFY(window->BancoDados);  // the start-up opened the demo database
        QVERIFY(m_services.messageBoxes.isEmpty());
    }

    void secondRunReusesTheWindowWithoutASecondStartUp()
    {
        Frmobjetos* first = watchedInstance();
        QCOMPARE(clsPluginInterface().Run(std::make_shared<FakeHost>(QStringLiteral("Um"))), QString());
        auto second = std::make_shared<FakeHost>(QStringLiteral("Dois"));
        // A second instance of the class: the window is still the shared one.
        QCOMPARE(clsPluginInterface().Run(second), QString());
        QCOMPARE(Frmobjetos::existing(), first);
        QCOMPARE(m_loads, 1);
        QVERIFY(first->isVisible());
        QCOMPARE(first->Text3->text(), QStringLiteral("Dois"));
        QCOMPARE(first->objHost, HostWindowRef(second));
    }

    void runShowsAWindowTheUserHid()
    {
        QCOMPARE(clsPluginInterface().Run(std::make_shared<FakeHost>(QStringLiteral("A"))), QString());
        Frmobjetos::existing()->hide();
        QCOMPARE(clsPluginInterface().Run(std::make_shared<FakeHost>(QStringLiteral("B"))), QString());
        QVERIFY(Frmobjetos::existing()->isVisible());
    }

    void hostWithoutCaptionGetsTheErrorAndAShownWindow_data()
    {
        QTest::addColumn<bool>("nullHost");
        QTest::newRow("object without Caption") << false;
        QTest::newRow("no object at all") << true;
    }
    void hostWithoutCaptionGetsTheErrorAndAShownWindow()
    {
        QFETCH(bool, nullHost);
        watchedInstance();
        HostWindowRef host = nullHost ? HostWindowRef() : std::make_shared<NoCaptionHost>();
        const QString result = clsPluginInterface().Run(host);
        QVERIFY(!result.isEmpty());
        if (!nullHost)
            QCOMPARE(result, QStringLiteral("O objeto não dá suporte para a propriedade ou método"));
        Frmobjetos* window = Frmobjetos::existing();
        QVERIFY(window);
        QVERIFY(window->isVisible());
        QCOMPARE(m_loads, 1);
        QCOMPARE(window->Text3->text(), QString());  // unchanged
        QVERIFY(!window->objHost);                   // unset
        QVERIFY(m_services.messageBoxes.isEmpty());  // returned, not shown
    }

    void failedRunKeepsTheEarlierHost()
    {
        auto good = std::make_shared<FakeHost>(QStringLiteral("Bom"));
        QCOMPARE(clsPluginInterface().Run(good), QString());
        QVERIFY(!clsPluginInterface().Run(std::make_shared<NoCaptionHost>()).isEmpty());
        QCOMPARE(Frmobjetos::existing()->Text3->text(), QStringLiteral("Bom"));
        QCOMPARE(Frmobjetos::existing()->objHost, HostWindowRef(good));
    }

    void closingUnloadsAndTheNextRunLoadsAgain()
    {
        watchedInstance();
        QCOMPARE(clsPluginInterface().Run(std::make_shared<FakeHost>(QStringLiteral("A"))), QString());
        QCOMPARE(m_loads, 1);
        closeWindow();
        QCOMPARE(clsPluginInterface().Identify(), QStringLiteral("Ulmix"));  // also after closing
        watchedInstance();
        QCOMPARE(clsPluginInterface().Run(std::make_shared<FakeHost>(QStringLiteral("B"))), QString());
        QCOMPARE(m_loads, 2);
        QVERIFY(Frmobjetos::existing()->isVisible());
        QCOMPARE(Frmobjetos::existing()->Text3->text(), QStringLiteral("B"));
    }

    void runInsideRunOnlyShowsTheWindow()
    {
        // A host call arriving in a nested event loop of a handler: the inner
        // Run must not load the window again.
        watchedInstance();
        auto inner = std::make_shared<FakeHost>(QStringLiteral("interno"));
        auto outer = std::make_shared<FakeHost>(QStringLiteral("externo"));
        QString innerResult = QStringLiteral("não chamado");
        bool once = false;
        outer->onRead = [&] {
            if (std::exchange(once, true))
                return;
            innerResult = clsPluginInterface().Run(inner);
        };
        QCOMPARE(clsPluginInterface().Run(outer), QString());
        QCOMPARE(innerResult, QString());
        QCOMPARE(m_loads, 1);
        QCOMPARE(Frmobjetos::existing()->Text3->text(), QStringLiteral("externo"));
    }

    void runDuringTheStartUpDoesNotStartItAgain_data()
    {
        QTest::addColumn<bool>("atTheEnd");
        QTest::newRow("while it loads (first pointer change)") << false;
        QTest::newRow("when it has loaded") << true;
    }
    void runDuringTheStartUpDoesNotStartItAgain()
    {
        QFETCH(bool, atTheEnd);
        // The start-up sets the hourglass first: a host call arriving there
        // stands for one arriving in a nested event loop of the start-up.
        struct Hooked : ondrel::platform::RecordingServices {
            std::function<void()> hook;
            void setPointer(ondrel::platform::Pointer p) override
            {
                RecordingServices::setPointer(p);
                if (p == ondrel::platform::Pointer::Hourglass && hook)
                    std::exchange(hook, nullptr)();
            }
        } hooked;
        ondrel::platform::RecordingServices::Installed installed(hooked);
        Frmobjetos* window = watchedInstance();
        QString innerResult = QStringLiteral("não chamado");
        auto innerRun = [&] {
            innerResult = clsPluginInterface().Run(std::make_shared<FakeHost>(QStringLiteral("interno")));
        };
        if (atTheEnd)
            connect(window, &Frmobjetos::loaded, this, innerRun);
        else
            hooked.hook = innerRun;
        QCOMPARE(clsPluginInterface().Run(std::make_shared<FakeHost>(QStringLiteral("externo"))), QString());
        QCOMPARE(innerResult, QString());
        QCOMPARE(m_loads, 1);
        QCOMPARE(hooked.pointers.count(ondrel::platform::Pointer::Hourglass), 1);
        QVERIFY(Frmobjetos::existing()->isVisible());
        QCOMPARE(Frmobjetos::existing()->Text3->text(), QStringLiteral("externo"));
    }

    void missingDatabaseStillRunsWithoutMessage()
    {
        QTemporaryDir empty;
        ondrel::db::setPluginFolder(empty.path());
        const int boxes = m_services.messageBoxes.size();
        QCOMPARE(clsPluginInterface().Run(std::make_shared<FakeHost>(QStringLiteral("H"))), QString());
        QVERIFY(Frmobjetos::existing()->isVisible());
        QCOMPARE(m_services.messageBoxes.size(), boxes);
        QVERIFY(!QFile::exists(ondrel::db::databasePath(empty.path())));  // the plug-in never creates it
        closeWindow();
        ondrel::db::setPluginFolder(m_folder.path());
    }
};

QTEST_MAIN(RunTest)
#include "run_test.moc"
