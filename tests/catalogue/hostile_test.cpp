// The catalogue over a collection file that another program locks, that is
// read-only, unusable or holds hostile statements: the window stays
// responsive, says why in Portuguese and never shows a wrong record.
#include "catalogue_browse_testutil.h"
#include "database_testutil.h"

#include "binding/recordsetmodel.h"
#include "platform/reportprinter.h"
#include "widgets/picturebutton.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QDir>
#include <QElapsedTimer>
#include <QTableView>
#include <QtTest>
#include <sqlite3.h>

using namespace cattest;
using ondrel::db::forceReadOnlyOpen;
using testutil::OtherWriter;
using testutil::plainExec;

namespace {

// How many stored queries of that name the file itself holds.
int queriesInFile(const QString& path, const char* name)
{
    sqlite3* db = nullptr;
    sqlite3_stmt* st = nullptr;
    int count = -1;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    if (sqlite3_prepare_v2(db, "SELECT count(*) FROM ondrel_queries WHERE name = ?", -1, &st, nullptr) == SQLITE_OK) {
        sqlite3_bind_text(st, 1, name, -1, SQLITE_STATIC);
        if (sqlite3_step(st) == SQLITE_ROW)
            count = sqlite3_column_int(st, 0);
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return count;
}

void moveTo(Frmobjetos* f, const QString& code)
{
    for (int i = 0; i < 8 && f->Txtcod->text() != code; ++i)
        f->sscommand1_Click(3);
}

}  // namespace

class CatalogueHostileTest : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        m_folder = std::make_unique<Folder>();
        m_folder->createWithLoans();
    }
    void cleanup()
    {
        forceReadOnlyOpen(m_folder->path(), false);
        m_folder.reset();
    }

    // A person's store that cannot get the lock says so, naming the file,
    // and keeps what was typed.
    void lockedStoreSaysWhy_data()
    {
        QTest::addColumn<QString>("store");
        QTest::newRow("Salvar") << "Salvar";
        QTest::newRow("a picture chosen") << "picture";
        QTest::newRow("a picture removed") << "removal";
    }
    void lockedStoreSaysWhy()
    {
        QFETCH(QString, store);
        {
            auto objects = m_folder->open()->openRecordset(QStringLiteral("objetos"));
            objects->edit();
            objects->setText(QStringLiteral("path"), QStringLiteral("/fotos/velha.jpg"));
            objects->update();
        }
        Frmobjetos* f = m_folder->openCatalogue();
        OtherWriter other(m_folder->path());
        QVERIFY(other.locked());
        QElapsedTimer waited;
        if (store == QLatin1String("Salvar")) {
            f->Cmdeditar_Click();
            f->txttítulo->setText(QStringLiteral("Título novo"));
            waited.start();
            f->Cmdsalvar_Click();
            QCOMPARE(f->txttítulo->text(), QStringLiteral("Título novo"));
            QVERIFY(f->cmdSalvar->isEnabled());  // still editing
        } else if (store == QLatin1String("picture")) {
            m_folder->services.fileNameAnswers.enqueue(QStringLiteral("/fotos/capa.jpg"));
            waited.start();
            f->ctbImagem->click();
            QCOMPARE(f->txtPath->text(), QStringLiteral("/fotos/velha.jpg"));
        } else {
            // Removing a picture never reports an error: the picture stays.
            f->ctbApagImagem->click();
            QCOMPARE(f->txtPath->text(), QStringLiteral("/fotos/velha.jpg"));
            QVERIFY(m_folder->services.messageTexts().isEmpty());
            return;
        }
        qInfo("a store under another program's lock reported after %lld ms", waited.elapsed());
        QCOMPARE(m_folder->services.messageTexts().size(), 1);
        QVERIFY(m_folder->services.messageTexts().first().contains(QStringLiteral("bloqueada por outro programa")));
        QVERIFY(m_folder->services.messageTexts().first().contains(m_folder->path()));
    }

    // "pesquisa" cannot be written (locked, read-only): the loan display
    // still follows the object shown, and nothing is said.
    void loanDisplayFollowsTheObject_data()
    {
        QTest::addColumn<bool>("readOnly");
        QTest::newRow("locked") << false;
        QTest::newRow("read-only") << true;
    }
    void loanDisplayFollowsTheObject()
    {
        QFETCH(bool, readOnly);
        forceReadOnlyOpen(m_folder->path(), readOnly);
        Frmobjetos* f = m_folder->openCatalogue();
        std::unique_ptr<OtherWriter> other;
        if (!readOnly)
            other = std::make_unique<OtherWriter>(m_folder->path());
        QElapsedTimer moving;
        moving.start();
        moveTo(f, QStringLiteral("D4"));
        qInfo("three moves, each rewriting \"pesquisa\", took %lld ms", moving.elapsed());
        QCOMPARE(f->lblBorrow->text(), QStringLiteral("Ana Souza"));
        QVERIFY(!f->cmdEmprestar->isEnabled());
        QVERIFY(above(f->imgBorrow, f->imgLight));
        f->sscommand1_Click(2);
        QCOMPARE(f->Txtcod->text(), QStringLiteral("B2"));
        QCOMPARE(f->lblBorrow->text(), QString());
        QVERIFY(f->cmdEmprestar->isEnabled());
        QVERIFY(m_folder->services.messageTexts().isEmpty());
    }

    // Loans that cannot be read: the borrower labels say so and nothing can
    // be lent.
    void unreadableLoansSaySo()
    {
        plainExec(m_folder->path(), "ALTER TABLE \"empréstimos\" RENAME TO guardados");
        Frmobjetos* f = m_folder->openCatalogue();
        moveTo(f, QStringLiteral("B2"));
        QVERIFY(f->lblBorrow->text().contains(QStringLiteral("ilegíveis")));
        QCOMPARE(f->lblborrow2->text(), f->lblBorrow->text());
        QVERIFY(!f->cmdEmprestar->isEnabled());
        QVERIFY(!f->imgLight->isVisible() && !f->imgBorrow->isVisible());
        f->Cmdcancelar_Click();  // a command that enables the lending otherwise
        QVERIFY(!f->cmdEmprestar->isEnabled());
    }

    // A delete the engine refuses leaves record, position and counter.
    void refusedDeleteLeavesTheRecord_data()
    {
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<QString>("cause");
        QTest::newRow("locked") << false << "bloqueada por outro programa";
        QTest::newRow("read-only") << true << "somente leitura";
    }
    void refusedDeleteLeavesTheRecord()
    {
        QFETCH(bool, readOnly);
        QFETCH(QString, cause);
        forceReadOnlyOpen(m_folder->path(), readOnly);
        Frmobjetos* f = m_folder->openCatalogue();
        moveTo(f, QStringLiteral("C3"));
        const QString counter = f->lblCount->text();
        std::unique_ptr<OtherWriter> other;
        if (!readOnly)
            other = std::make_unique<OtherWriter>(m_folder->path());
        f->Cmdexcluir_Click();  // answered OK
        QCOMPARE(f->Txtcod->text(), QStringLiteral("C3"));
        QCOMPARE(f->lblCount->text(), counter);
        QCOMPARE(f->TotalRegistros, qint64(4));
        QCOMPARE(m_folder->services.messageTexts().size(), 2);
        QVERIFY2(m_folder->services.messageTexts().last().contains(cause),
                 qPrintable(m_folder->services.messageTexts().last()));
        other.reset();
        QCOMPARE(m_folder->stored(QStringLiteral("cod")).size(), 4);
    }

    // A file that is not a usable collection: the windows open empty and the
    // first one says once why, touching nothing; a missing file is silent.
    void unusableFileIsToldOnce_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("reason");
        QTest::newRow("zero bytes") << QByteArray("") << "não é uma coleção";
        QTest::newRow("random bytes") << QByteArray(8192, '\x5a') << "não é uma coleção";
        QTest::newRow("plain SQLite") << QByteArray("sqlite") << "não é uma coleção";
        QTest::newRow("wrong password") << QByteArray("password") << "a senha não confere";
        QTest::newRow("damaged") << QByteArray("damaged") << "danificado";
        QTest::newRow("missing") << QByteArray("missing") << "";
    }
    void unusableFileIsToldOnce()
    {
        QFETCH(QByteArray, contents);
        QFETCH(QString, reason);
        const QString path = m_folder->path();
        QVERIFY(QFile::remove(path));
        if (contents == "sqlite") {
            plainExec(path, "CREATE TABLE objetos (cod TEXT)");
        } else if (contents == "password") {
            testutil::createCollection(path, testutil::Collection::OtherPassword);
        } else if (contents == "damaged") {
            m_folder->create();
            QVERIFY(testutil::damagePages(path));
        } else if (contents != "missing") {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(contents);
        }
        const QByteArray before = testutil::digest(path);
        Frmobjetos* f = m_folder->openCatalogue();
        ondrel::loans::Frmemprestimos::instance()->Show();
        const QStringList told = m_folder->services.messageTexts();
        if (reason.isEmpty()) {
            QVERIFY2(told.isEmpty(), qPrintable(told.join(u'\n')));
        } else {
            QCOMPARE(told.size(), 1);
            QVERIFY2(told.first().contains(reason) && told.first().contains(path), qPrintable(told.first()));
        }
        QCOMPARE(f->Txtcod->text(), QString());
        QCOMPARE(testutil::digest(path), before);
    }

    // A read-only collection is browsed with its true loans, prints what is
    // shown and refuses saves.
    void readOnlyCollectionBrowsesAndPrints()
    {
        forceReadOnlyOpen(m_folder->path(), true);
        ondrel::platform::ReportPrinter::setPrinterOverride(m_folder->dir.filePath(QStringLiteral("listagem.pdf")));
        Frmobjetos* f = m_folder->openCatalogue();
        f->mnuordtitulo->trigger();
        f->mnuprint->trigger();
        ondrel::platform::ReportPrinter::setPrinterOverride(QString());
        QCOMPARE(f->Report1->reportsProduced(), 1);
        QCOMPARE(f->Report1->lastReport().cells.value(0).value(0), QStringLiteral("C3"));  // "Auto da Compadecida"
        moveTo(f, QStringLiteral("D4"));
        QCOMPARE(f->lblBorrow->text(), QStringLiteral("Ana Souza"));
        f->Cmdeditar_Click();
        f->txttítulo->setText(QStringLiteral("Outro"));
        f->Cmdsalvar_Click();
        QVERIFY(m_folder->services.messageTexts().value(0).contains(QStringLiteral("somente leitura")));
        QCOMPARE(QDir(m_folder->dir.path()).entryList({QString::fromLatin1(ondrel::db::kDatabaseFileName) + u'*'}, QDir::Files),
                 QStringList{QString::fromLatin1(ondrel::db::kDatabaseFileName)});
        QCOMPARE(queriesInFile(m_folder->path(), "Imprime"), 0);  // kept in memory for the run
    }

    // A grid edit the engine refuses says what the record window would say.
    void refusedGridEditIsTold_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("told");
        QTest::newRow("duplicate code") << 0 << "C3" << "Esse código já existe!";
        QTest::newRow("title too long") << 2 << QString(101, u'x') << "muito pequeno";
        QTest::newRow("not an amount") << 4 << "abc" << "O valor 'abc' não foi entendido";
    }
    void refusedGridEditIsTold()
    {
        QFETCH(int, column);
        QFETCH(QString, typed);
        QFETCH(QString, told);
        Frmobjetos* f = m_folder->openCatalogue();
        const QStringList before = m_folder->stored(f->GridModel->columnField(column));
        QVERIFY(!f->GridModel->setData(f->GridModel->index(0, column), typed));
        QCOMPARE(m_folder->services.messageTexts().size(), 1);
        QVERIFY2(m_folder->services.messageTexts().first().contains(told),
                 qPrintable(m_folder->services.messageTexts().first()));
        QCOMPARE(m_folder->stored(f->GridModel->columnField(column)), before);
    }

    // "Imprime" nested past any sense: refused, nothing printed, no crash.
    void hostileImprimePrintsNothing_data()
    {
        QTest::addColumn<QString>("criteria");
        QTest::newRow("10,000 parentheses") << QString(10000, u'(') + "cod='A1'" + QString(10000, u')');
        QTest::newRow("50,000 not") << QStringLiteral("not ").repeated(50000) + "cod='A1'";
    }
    void hostileImprimePrintsNothing()
    {
        QFETCH(QString, criteria);
        plainExec(m_folder->path(), "INSERT INTO ondrel_queries VALUES ('Imprime', 'select cod from objetos where "
                                        + criteria.toUtf8().replace("'", "''") + "')");
        QCOMPARE(queriesInFile(m_folder->path(), "Imprime"), 1);
        ondrel::platform::ReportPrinter::setPrinterOverride(m_folder->dir.filePath(QStringLiteral("listagem.pdf")));
        Frmobjetos* f = m_folder->openCatalogue();
        f->mnuprint->trigger();
        ondrel::platform::ReportPrinter::setPrinterOverride(QString());
        QCOMPARE(f->Report1->reportsProduced(), 0);
        QVERIFY(m_folder->services.messageTexts().isEmpty());
    }

private:
    std::unique_ptr<Folder> m_folder;
};

QTEST_MAIN(CatalogueHostileTest)
#include "hostile_test.moc"
