// The server of a shared collection stops under a running catalogue window
// (a restart, a cable pulled) and comes back: the window says the collection
// cannot be reached, keeps what was typed, stores nothing half-way and goes
// on once the server is back, without being opened again.
#include "binding/datacontrol.h"
#include "catalogue/Frmobjetos.h"
#include "collection/settings.h"
#include "database/database.h"
#include "database/recordset.h"
#include "database_testutil.h"
#include "folder_testutil.h"
#include "platform/testservices.h"
#include "widget_testutil.h"
#include "widgets/toolbarbutton.h"

#include <QAction>
#include <QLineEdit>
#include <QTest>

using ondrel::catalogue::Frmobjetos;
using ondrel::db::EditMode;

namespace {

const QString kAway = QStringLiteral("Não foi possível alcançar o servidor da coleção");

EditMode pending(Frmobjetos* f)
{
    return f->Data1->recordset() ? f->Data1->recordset()->editMode() : EditMode::None;
}

}  // namespace

class CatalogueServerAwayTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void saveWhileAwayKeepsTypedAndStoresOnceBack_data();
    void saveWhileAwayKeepsTypedAndStoresOnceBack();
    void commandWhileAwayIsToldAndWorksBack_data();
    void commandWhileAwayIsToldAndWorksBack();

private:
    QStringList told() const { return m_folder->services.messageTexts(); }
    QString stored(const char* sql) const { return testutil::plainQuery(m_address, sql); }

    testutil::PgServer* m_server = nullptr;
    std::unique_ptr<testutil::PluginFolder> m_folder;
    QString m_address;
};

void CatalogueServerAwayTest::initTestCase()
{
    m_server = &testutil::PgServer::instance();
    QVERIFY2(m_server->failure().isEmpty(), qPrintable(m_server->failure()));
}

// The demo collection on the server, chosen as this user's collection.
void CatalogueServerAwayTest::init()
{
    m_folder = std::make_unique<testutil::PluginFolder>();
    ondrel::db::setPluginFolder(QString());
    m_address = m_server->createDatabase();
    testutil::createCollection(m_address, testutil::Collection::Demo);
    ondrel::db::Settings settings = ondrel::db::Settings::read();
    settings.setValue(QString::fromLatin1(ondrel::db::kCollectionKey), m_address);
    QCOMPARE(settings.write(), QString());
}

void CatalogueServerAwayTest::cleanup()
{
    m_folder.reset();
    QFile::remove(ondrel::db::Settings::path());
}

// Typed into a new or an edited object, "Salvar" with the server stopped
// says so, naming the server, and keeps the typing; with the server back
// the same "Salvar" stores it, once.
void CatalogueServerAwayTest::saveWhileAwayKeepsTypedAndStoresOnceBack_data()
{
    QTest::addColumn<bool>("adding");
    QTest::newRow("new object") << true;
    QTest::newRow("edited object") << false;
}

void CatalogueServerAwayTest::saveWhileAwayKeepsTypedAndStoresOnceBack()
{
    QFETCH(bool, adding);
    Frmobjetos* f = testutil::shown<Frmobjetos>();
    const qint64 before = f->TotalRegistros;
    QCOMPARE(QString::number(before), stored("SELECT count(*) FROM objetos"));
    (adding ? f->cmdNovo : f->cmdEditar)->click();
    if (adding)
        f->Txtcod->setText(QStringLiteral("Z9"));
    f->txttítulo->setText(QStringLiteral("Digitado com o servidor fora"));
    {
        testutil::Outage outage(*m_server);
        f->cmdSalvar->click();
        QCOMPARE(told().size(), 1);
        QVERIFY2(told().first().contains(kAway) && told().first().contains(u"continua na janela")
                     && told().first().contains(u"/tmp/ondrel-pg-"),
                 qPrintable(told().first()));
        QCOMPARE(pending(f), adding ? EditMode::Adding : EditMode::Editing);
        QCOMPARE(f->txttítulo->text(), QStringLiteral("Digitado com o servidor fora"));
        QVERIFY(outage.back());
    }
    QCOMPARE(stored("SELECT count(*) FROM objetos WHERE \"Título\" = 'Digitado com o servidor fora'"), QString("0"));
    f->cmdSalvar->click();
    QCOMPARE(told().size(), 1);
    QCOMPARE(pending(f), EditMode::None);
    QCOMPARE(stored("SELECT count(*) FROM objetos WHERE \"Título\" = 'Digitado com o servidor fora'"), QString("1"));
    QCOMPARE(QString::number(f->TotalRegistros), stored("SELECT count(*) FROM objetos"));
    QCOMPARE(f->TotalRegistros, before + (adding ? 1 : 0));
}

// A move or a new order with the server stopped is told and leaves the
// object shown; both work again once the server is back.
void CatalogueServerAwayTest::commandWhileAwayIsToldAndWorksBack_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("next") << "mnuproximo";
    QTest::newRow("order by title") << "mnuordtitulo";
}

void CatalogueServerAwayTest::commandWhileAwayIsToldAndWorksBack()
{
    QFETCH(QString, command);
    Frmobjetos* f = testutil::shown<Frmobjetos>();
    QAction* action = command == QLatin1String("mnuproximo") ? f->mnuproximo : f->mnuordtitulo;
    const QString first = f->Txtcod->text();
    {
        testutil::Outage outage(*m_server);
        action->trigger();
        QCOMPARE(told().size(), 1);
        QVERIFY2(told().first().contains(kAway), qPrintable(told().first()));
        QCOMPARE(f->Txtcod->text(), first);
        QCOMPARE(testutil::checkedItems(f->mnuordenar), QStringList{"mnuordcod"});
        QVERIFY(outage.back());
    }
    action->trigger();
    QCOMPARE(told().size(), 1);
    QVERIFY(!f->Txtcod->text().isEmpty());
    QCOMPARE(testutil::checkedItems(f->mnuordenar), QStringList{command == QLatin1String("mnuproximo") ? "mnuordcod" : "mnuordtitulo"});
    // Carries on: an edit is stored.
    f->cmdEditar->click();
    f->txttítulo->setText(QStringLiteral("Depois da volta"));
    f->cmdSalvar->click();
    QCOMPARE(told().size(), 1);
    QCOMPARE(stored("SELECT count(*) FROM objetos WHERE \"Título\" = 'Depois da volta'"), QString("1"));
}

QTEST_MAIN(CatalogueServerAwayTest)
#include "serveraway_test.moc"
