// Start-up, resizing and closing of the catalogue window on real database
// files in a temporary plug-in folder.
#include "binding/datacontrol.h"
#include "binding/recordsetmodel.h"
#include "catalogue/Frmobjetos.h"
#include "collection/collection.h"
#include "collection/settings.h"
#include "collection/statements.h"
#include "collection_testutil.h"
#include "database_testutil.h"
#include "database/database.h"
#include "database/folderkind.h"
#include "folder_testutil.h"
#include "loans/Frmemprestimos.h"
#include "platform/testservices.h"
#include "widget_testutil.h"
#include "widgets/picturebutton.h"
#include "widgets/twips.h"

#include <QAction>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QSignalSpy>
#include <QTest>
#include <tuple>

using namespace ondrel::catalogue;
using ondrel::db::Database;
using testutil::above;

namespace {


}  // namespace

class CatalogueStartupTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void missingDatabaseOpensEmptyWithoutMessage();
    void emptyTable();
    void emptyCatalogueWithLoansLooksAvailable_data();
    void emptyCatalogueWithLoansLooksAvailable();
    void demoDatabaseShowsFirstObject();
    void networkFolderToldOnceAndWorkGoesOn();
    void loanIndicatorsOfStartup();
    void typedCodeRewritesPesquisa();
    void loanDisplayIsThisDesksOnAServer();
    void closingUnloadsAndReopeningLoadsAgain();
    void sairEndsTheProcess();
    void pictureIsFittedOnResize();

private:
    QString databaseFile() const { return m_folder->path(); }

    std::unique_ptr<testutil::PluginFolder> m_folder;
};

void CatalogueStartupTest::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil));
}

void CatalogueStartupTest::init()
{
    m_folder = std::make_unique<testutil::PluginFolder>();
    QVERIFY(m_folder->dir.isValid());
}

void CatalogueStartupTest::cleanup()
{
    m_folder.reset();  // closes the windows
}

void CatalogueStartupTest::missingDatabaseOpensEmptyWithoutMessage()
{
    Frmobjetos* form = testutil::shown<Frmobjetos>();
    QVERIFY(form->isVisible());
    QVERIFY(form->isLoaded());
    QVERIFY(!form->BancoDados);
    QCOMPARE(form->CaminhoBanco, databaseFile());
    QCOMPARE(form->TotalRegistros, 0);
    QVERIFY(form->Txtcod->text().isEmpty());
    QVERIFY(form->txttítulo->text().isEmpty());
    QCOMPARE(form->GridModel->rowCount(), 0);
    QVERIFY(m_folder->services.messageBoxes.isEmpty());
    // The hourglass came and went.
    QCOMPARE(m_folder->services.pointers.first(), ondrel::platform::Pointer::Hourglass);
    QCOMPARE(m_folder->services.pointer(), ondrel::platform::Pointer::Default);
    QCOMPARE(form->HelpFile, m_folder->dir.filePath(QStringLiteral("Ulmix.hlp")));
    // Typing a code with no database open fails quietly.
    QTest::keyClicks(form->Txtcod, QStringLiteral("A1"));
    QVERIFY(m_folder->services.messageBoxes.isEmpty());
}

void CatalogueStartupTest::emptyTable()
{
    testutil::createCollection(databaseFile());
    Frmobjetos* form = testutil::shown<Frmobjetos>();
    QVERIFY(form->BancoDados);
    QVERIFY(form->TabObjetos);
    QCOMPARE(form->TotalRegistros, 0);
    QCOMPARE(form->GridModel->rowCount(), 0);
    QVERIFY(form->Txtcod->text().isEmpty());
    QVERIFY(m_folder->services.messageBoxes.isEmpty());
    QCOMPARE(m_folder->services.beeps, 0);
}

void CatalogueStartupTest::emptyCatalogueWithLoansLooksAvailable_data()
{
    QTest::addColumn<QString>("newest");  // Entregue of the newest loan left in the file
    QTest::newRow("newest loan out") << "Não";
    QTest::newRow("newest loan back") << "Sim";
}

void CatalogueStartupTest::emptyCatalogueWithLoansLooksAvailable()
{
    QFETCH(QString, newest);
    testutil::createCollection(databaseFile());
    {
        auto loans = testutil::openCollection(databaseFile())->openRecordset(QStringLiteral("empréstimos"));
        for (const auto& [name, date, back] : {std::tuple{"Ana", "01/02/2003", QStringLiteral("Não")},
                                               std::tuple{"Rui", "05/02/2003", newest}}) {
            loans->addNew();
            loans->setText(QStringLiteral("codobjeto"), QStringLiteral("X1"));
            loans->setText(QStringLiteral("Nome"), QString::fromUtf8(name));
            loans->setText(QStringLiteral("Data"), QString::fromUtf8(date));
            loans->setText(QStringLiteral("Entregue"), back);
            loans->update();
        }
    }
    Frmobjetos* form = testutil::shown<Frmobjetos>();
    // No object, so no loan: the available look, and nothing sounds.
    QVERIFY(form->Txtcod->text().isEmpty());
    QCOMPARE(m_folder->services.beeps, 0);
    QVERIFY(m_folder->services.sounds.isEmpty());
    QVERIFY(form->lblBorrow->text().isEmpty());
    QVERIFY(form->lblborrow2->text().isEmpty());
    QVERIFY(above(form->imgLight, form->imgBorrow));
    QVERIFY(above(form->imgLight2, form->imgBorrow2));
    // "Emprestar" says there is no object.
    QVERIFY(form->cmdEmprestar->isEnabled());
    QTest::mouseClick(form->cmdEmprestar, Qt::LeftButton);
    QCOMPARE(m_folder->services.messageTexts(), QStringList{QStringLiteral("Não há nenhum objeto cadastrado ou\r\n"
                                                                   "O código deste registro foi apagado!")});
    QVERIFY(!ondrel::loans::Frmemprestimos::existing());
}

void CatalogueStartupTest::demoDatabaseShowsFirstObject()
{
    testutil::createCollection(databaseFile(), testutil::Collection::Demo);
    QString firstCode, firstTitle;
    int count = 0;
    qint64 sum = 0;
    {
        auto db = testutil::openCollection(databaseFile());
        auto rs = db->openRecordset(QStringLiteral("objetos"));
        firstCode = rs->text(QStringLiteral("cod"));
        firstTitle = rs->text(QStringLiteral("Título"));
        for (; !rs->eof(); rs->moveNext()) {
            ++count;
            sum += rs->value(QStringLiteral("valor")).toLongLong();
        }
    }
    QVERIFY(count > 1);

    Frmobjetos* form = testutil::shown<Frmobjetos>();
    QCOMPARE(form->Txtcod->text(), firstCode);
    QCOMPARE(form->txttítulo->text(), firstTitle);
    QCOMPARE(form->TotalRegistros, count);
    QCOMPARE(form->GridModel->rowCount(), count);
    QCOMPARE(form->GridModel->index(0, 0).data().toString(), firstCode);
    const QString counter = QStringLiteral(" Registro : 1  de  %1").arg(count);
    QCOMPARE(form->Data1->caption(), counter);
    QCOMPARE(form->lblCount->text(), counter);
    const QLocale brazil(QLocale::Portuguese, QLocale::Brazil);
    QCOMPARE(form->lbltotal->text(), QStringLiteral("R$  ") + brazil.toString(sum / 10000.0, 'f', 2));
    QVERIFY(m_folder->services.messageBoxes.isEmpty());

    // The grid's columns: five shown, four hidden.
    QStringList shown, hidden;
    for (int c = 0; c < form->GridModel->columnCount(); ++c)
        (form->GridModel->isColumnHidden(c) ? hidden : shown)
            << form->GridModel->headerData(c, Qt::Horizontal).toString();
    QCOMPARE(shown, (QStringList{"Cod", "Objeto", "Título", "Autor", "Valor"}));
    QCOMPARE(hidden, (QStringList{"Objeto", "check", "Data", "Valor"}));

    // Moving on rewrites the counter.
    form->TabObjetos->moveNext();
    QCOMPARE(form->lblCount->text(), QStringLiteral(" Registro : 2  de  %1").arg(count));
}

// A collection file in a network folder: the first window says once, in
// Portuguese, that sharing it is not safe and how to share through a
// server; the next window says nothing, and a save is stored.
void CatalogueStartupTest::networkFolderToldOnceAndWorkGoesOn()
{
    testutil::createCollection(databaseFile(), testutil::Collection::Demo);
    ondrel::db::setFolderKindProbe([](const QString&) { return ondrel::db::FolderKind::Network; });
    const auto restore = qScopeGuard([] { ondrel::db::setFolderKindProbe({}); });
    Frmobjetos* form = testutil::shown<Frmobjetos>();
    testutil::shown<ondrel::loans::Frmemprestimos>();
    const QStringList told = m_folder->services.messageTexts();
    QCOMPARE(told.size(), 1);
    QVERIFY(told.first().contains(QStringLiteral("pasta de rede")));
    QVERIFY(told.first().contains(QStringLiteral("--share-collection")));
    QVERIFY(told.first().contains(QStringLiteral("--use-collection")));
    form->Cmdeditar_Click();
    form->txttítulo->setText(QStringLiteral("Salvo na pasta de rede"));
    form->Cmdsalvar_Click();
    QCOMPARE(m_folder->services.messageBoxes.size(), 1);
    QVERIFY(testutil::plainQuery(databaseFile(), "SELECT \"Título\" FROM objetos").contains(QStringLiteral("Salvo na pasta de rede")));
}

void CatalogueStartupTest::loanIndicatorsOfStartup()
{
    testutil::createCollection(databaseFile(), testutil::Collection::Demo);
    QString firstEntregue, firstNome;
    {
        auto db = testutil::openCollection(databaseFile());
        auto objects = db->openRecordset(QStringLiteral("objetos"));
        const QString first = objects->text(QStringLiteral("cod"));
        auto own = db->openRecordset(
            QStringLiteral("select * from empréstimos where codobjeto = '%1' order by data desc").arg(first));
        if (!own->eof()) {
            firstEntregue = own->text(QStringLiteral("Entregue"));
            firstNome = own->text(QStringLiteral("Nome"));
        }
    }
    Frmobjetos* form = testutil::shown<Frmobjetos>();
    // The indicators of start-up run before the loans source has shown
    // anything; the first object shown brings its own loans, and the display
    // follows the newest of them: one beep and one alarm when it is out, no
    // sound for the newest loan of all.
    const bool lent = firstEntregue == QStringLiteral("Não");
    QCOMPARE(m_folder->services.beeps, lent ? 1 : 0);
    QCOMPARE(m_folder->services.sounds.size(), lent ? 1 : 0);
    QCOMPARE(form->Data2->recordSource(), QStringLiteral("pesquisa"));
    QCOMPARE(form->Text2->text(), firstEntregue);
    if (firstEntregue == QStringLiteral("Não")) {
        QCOMPARE(form->lblBorrow->text(), firstNome);
        QCOMPARE(form->lblborrow2->text(), firstNome);
        QVERIFY(!form->cmdEmprestar->isEnabled());
        QVERIFY(above(form->imgBorrow, form->imgLight));
        QVERIFY(above(form->imgBorrow2, form->imgLight2));
    } else {
        QVERIFY(form->lblBorrow->text().isEmpty());
        QVERIFY(form->lblborrow2->text().isEmpty());
        QVERIFY(form->cmdEmprestar->isEnabled());
        QVERIFY(above(form->imgLight, form->imgBorrow));
        QVERIFY(above(form->imgLight2, form->imgBorrow2));
    }
}

void CatalogueStartupTest::typedCodeRewritesPesquisa()
{
    testutil::createCollection(databaseFile(), testutil::Collection::Demo);
    Frmobjetos* form = testutil::shown<Frmobjetos>();
    const QString first = form->Txtcod->text();
    QCOMPARE(form->BancoDados->queryDefSql(QStringLiteral("pesquisa")),
             QStringLiteral("select * from empréstimos where codobjeto = '%1'order by data desc").arg(first));
    // A quote typed into the code no longer breaks the statement.
    form->Txtcod->setText(QStringLiteral("D'A"));
    QCOMPARE(form->BancoDados->queryDefSql(QStringLiteral("pesquisa")),
             QStringLiteral("select * from empréstimos where codobjeto = 'D''A'order by data desc"));
    QVERIFY(form->Label1->text().isEmpty());
    QVERIFY(form->Text2->text().isEmpty());
    QVERIFY(m_folder->services.messageBoxes.isEmpty());
}

// On a collection on a server each desk keeps its own "pesquisa": another
// desk showing another object leaves this catalogue's loan display on this
// desk's object.
void CatalogueStartupTest::loanDisplayIsThisDesksOnAServer()
{
    using namespace ondrel::db;
    testutil::PgServer& server = testutil::PgServer::instance();
    QVERIFY2(server.failure().isEmpty(), qPrintable(server.failure()));
    const QString address = server.createDatabase();
    testutil::createCollection(address, testutil::Collection::Demo);
    Settings settings = Settings::read();
    settings.setValue(QString::fromLatin1(kCollectionKey), address);
    QVERIFY(settings.write().isEmpty());
    setPluginFolder(QString());
    setDeskSource([] { return QStringLiteral("mesa-a"); });
    const auto restore = qScopeGuard([&] {
        setDeskSource({});
        settings.remove(QString::fromLatin1(kCollectionKey));
        settings.write();
        setPluginFolder(m_folder->dir.path());
    });
    Frmobjetos* form = testutil::shown<Frmobjetos>();
    const QString shown = form->Txtcod->text();
    const auto otherDesk = testutil::openCollection(address);
    otherDesk->useDesk(QStringLiteral("mesa-b"));
    otherDesk->writeQueryDef(pesquisaName(), loansOfObject(shown == u"T001" ? QStringLiteral("L001") : QStringLiteral("T001")));
    form->Data2->refresh();
    QVERIFY(!form->Data2->recordset()->eof());
    QCOMPARE(form->Data2->recordset()->text(QStringLiteral("codobjeto")), shown);
}

void CatalogueStartupTest::closingUnloadsAndReopeningLoadsAgain()
{
    testutil::createCollection(databaseFile(), testutil::Collection::Demo);
    Frmobjetos* form = Frmobjetos::instance();
    QCOMPARE(Frmobjetos::instance(), form);  // created once
    QVERIFY(!form->isLoaded());              // creating does not load
    QSignalSpy loads(form, &Frmobjetos::loaded);
    form->Show();
    form->Show();  // a second show does not load again
    QCOMPARE(loads.count(), 1);

    QPointer<Frmobjetos> closed(form);
    std::weak_ptr<Database> handle = form->BancoDados;
    QVERIFY(form->close());
    QVERIFY(!Frmobjetos::existing());
    QTRY_VERIFY(closed.isNull());
    QVERIFY(handle.expired());  // the handle went with the window

    Frmobjetos* again = Frmobjetos::instance();
    QVERIFY(!again->isLoaded());
    QSignalSpy reloads(again, &Frmobjetos::loaded);
    again->Show();
    QCOMPARE(reloads.count(), 1);
    QVERIFY(again->TotalRegistros > 0);
}

void CatalogueStartupTest::sairEndsTheProcess()
{
    Frmobjetos* form = testutil::shown<Frmobjetos>();
    form->mnusair->trigger();
    QCOMPARE(m_folder->services.endProcessCalls, 1);
    QVERIFY(m_folder->services.messageBoxes.isEmpty());
}

void CatalogueStartupTest::pictureIsFittedOnResize()
{
    using ondrel::platform::pixelsToTwips;
    using ondrel::platform::twipsToPixels;
    Frmobjetos* form = testutil::shown<Frmobjetos>();
    QVERIFY(QTest::qWaitForWindowExposed(form));

    // A picture 3000 twips high shrinks by 1.2 until it fits the frame.
    const double dpi = ondrel::platform::logicalDpi(form);
    QImage tall(twipsToPixels(1800, dpi), twipsToPixels(3000, dpi), QImage::Format_RGB32);
    tall.fill(Qt::blue);
    const QString tallFile = m_folder->dir.filePath(QStringLiteral("alto.png"));
    QVERIFY(tall.save(tallFile));
    form->txtPath->setText(tallFile);
    form->Form_Resize();
    // Read off the window's thread: it comes a moment later.
    QTRY_VERIFY(!form->Image1->pixmap().isNull());
    const QRect frame = ondrel::platform::geometryInTwips(form->Picture1);
    const ImageFit fit = fitImage(pixelsToTwips(tall.width(), dpi), pixelsToTwips(tall.height(), dpi),
                                  frame.width(), frame.height());
    QVERIFY(fit.height <= frame.height());
    // One pixel of rounding: the edges are converted, not the sizes.
    QVERIFY(qAbs(form->Image1->width() - twipsToPixels(fit.width, dpi)) <= 1);
    QVERIFY(qAbs(form->Image1->height() - twipsToPixels(fit.height, dpi)) <= 1);
    QVERIFY(form->Image1->hasScaledContents());
    // Centred in the frame.
    const int dx = form->Picture1->width() - form->Image1->width() - 2 * form->Image1->x();
    const int dy = form->Picture1->height() - form->Image1->height() - 2 * form->Image1->y();
    QVERIFY(qAbs(dx) <= 2 && qAbs(dy) <= 2);

    // A small picture keeps its natural size, centred, after the next resize.
    QImage small(20, 10, QImage::Format_RGB32);
    small.fill(Qt::red);
    const QString smallFile = m_folder->dir.filePath(QStringLiteral("pequena.png"));
    QVERIFY(small.save(smallFile));
    form->txtPath->setText(smallFile);
    form->resize(form->width() + 40, form->height() + 30);
    QTRY_COMPARE(form->Image1->size(), QSize(20, 10));
    QVERIFY(qAbs(form->Picture1->width() - 20 - 2 * form->Image1->x()) <= 2);

    // A file that is gone leaves the picture area empty, without a message.
    form->txtPath->setText(m_folder->dir.filePath(QStringLiteral("sumiu.png")));
    form->Form_Resize();
    QCOMPARE(form->Image1->size(), QSize(0, 0));
    QVERIFY(m_folder->services.messageBoxes.isEmpty());
}

QTEST_MAIN(CatalogueStartupTest)
#include "startup_test.moc"
