// The collection database file: creation, open failures, the password, the
// unique code, stored queries and several handles on one file.
#include "database_testutil.h"

#include "collection/collection.h"
#include "database/folderkind.h"
#include "database/sqlitestore.h"

#include <QFile>
#include <QtTest>

#include <atomic>
#include <thread>
#include <sqlite3.h>

using namespace ondrel::db;
using P = QList<QPair<QString, QString>>;
using testutil::errorNumber;

namespace {

int synchronousLevel(Database& db)
{
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(static_cast<SqliteConnection&>(db.connection()).handle(), "PRAGMA synchronous", -1, &st, nullptr);
    const int level = sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_int(st, 0) : -1;
    sqlite3_finalize(st);
    return level;
}

}  // namespace

class DatabaseFile : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil)); }

    void openFailures_data()
    {
        QTest::addColumn<QString>("connect");
        QTest::addColumn<int>("number");
        const QString password = testutil::collectionPassword();
        QTest::newRow("right") << testutil::connectString() << 0;
        QTest::newRow("spaced key") << "; PWD=" + password << 0;
        QTest::newRow("wrong") << ";pwd=" + password.toLower() << int(ErrBadPassword);
        QTest::newRow("missing") << "" << int(ErrBadPassword);
        QTest::newRow("empty") << ";pwd=" << int(ErrBadPassword);
    }
    void openFailures()
    {
        QFETCH(QString, connect);
        QFETCH(int, number);
        testutil::TempCollection file;
        QCOMPARE(errorNumber([&] { Database::open(file.path, connect); }), number);
    }

    void missingFileIsNeverCreated()
    {
        QTemporaryDir dir;
        const QString path = databasePath(dir.path());
        QCOMPARE(errorNumber([&] { Database::open(path, QString::fromLatin1(kConnectString)); }), int(ErrFileNotFound));
        QVERIFY(!QFile::exists(path));
    }

    void foreignFilesAreRefused()
    {
        QTemporaryDir dir;
        const QString text = dir.filePath(QStringLiteral("texto.mdb"));
        {
            QFile f(text);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(4096, 'x'));
        }
        QCOMPARE(errorNumber([&] { Database::open(text, QString::fromLatin1(kConnectString)); }), int(ErrNotADatabase));
        // An SQLite file that is no collection database.
        const QString other = dir.filePath(QStringLiteral("outro.mdb"));
        sqlite3* raw = nullptr;
        sqlite3_open(other.toUtf8().constData(), &raw);
        sqlite3_exec(raw, "CREATE TABLE t (x)", nullptr, nullptr, nullptr);
        sqlite3_close(raw);
        QCOMPARE(errorNumber([&] { Database::open(other, QString::fromLatin1(kConnectString)); }), int(ErrNotADatabase));
        // An empty file stays empty.
        const QString empty = dir.filePath(QStringLiteral("vazio.mdb"));
        QFile(empty).open(QIODevice::WriteOnly);
        QVERIFY(errorNumber([&] { Database::open(empty, QString::fromLatin1(kConnectString)); }) != 0);
    }

    void createRefusesExistingFile()
    {
        testutil::TempCollection file;
        QVERIFY(errorNumber([&] { Database::create(file.path, QStringLiteral("x")); }) != 0);
        QVERIFY(file.open());  // the existing file is untouched
    }

    // An empty or unusable path is refused before anything is built; a
    // journal beside the new file's place (a file's of that name that is
    // gone, or another program's new file's) is never removed.
    void createRefusesUnusablePlaces_data()
    {
        QTest::addColumn<QString>("name");    // in a folder of the test's own, the current one
        QTest::addColumn<QString>("beside");  // a file there beforehand
        QTest::addColumn<QString>("says");
        QTest::newRow("empty path") << "" << "-wal" << "nenhum nome";
        QTest::newRow("a journal left there") << "x.mdb" << "x.mdb-wal" << "x.mdb-wal";
        QTest::newRow("a rollback journal left there") << "x.mdb" << "x.mdb-journal" << "x.mdb-journal";
        QTest::newRow("a missing folder") << "falta/x.mdb" << "-journal" << "falta\" não existe";
    }
    void createRefusesUnusablePlaces()
    {
        QFETCH(QString, name);
        QFETCH(QString, beside);
        QFETCH(QString, says);
        QTemporaryDir dir;
        const QString current = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        QFile journal(beside);
        QVERIFY(journal.open(QIODevice::WriteOnly) && journal.write("vivo") == 4);
        journal.close();
        QString said;
        try {
            Database::create(name, testutil::collectionPassword());
        } catch (const EngineError& e) {
            said = e.description();
        }
        QDir::setCurrent(current);
        QVERIFY2(said.contains(says), qPrintable(said));
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{beside});
        QCOMPARE(testutil::digest(dir.filePath(beside)), QCryptographicHash::hash("vivo", QCryptographicHash::Sha256));
    }

    // Every collection has an identity of its own, a plain row of the file;
    // one of an earlier format gets one at its first writable open, and
    // opens read-only without one.
    void collectionsHaveIdentities()
    {
        testutil::TempCollection one, other;
        const QString identity = one.open()->identity();
        QVERIFY(!identity.isEmpty());
        QCOMPARE(testutil::plainQuery(one.path, "SELECT value FROM ondrel_meta WHERE key = 'identity'"), identity);
        QVERIFY(other.open()->identity() != identity);
        QCOMPARE(testutil::plainExec(other.path, "DELETE FROM ondrel_meta WHERE key = 'identity'"), QString());
        forceReadOnlyOpen(other.path, true);
        QCOMPARE(other.open()->identity(), QString());
        forceReadOnlyOpen(other.path, false);
        const QString given = other.open()->identity();
        QVERIFY(!given.isEmpty() && given != identity);
        QCOMPARE(other.open()->identity(), given);
    }

    // The paths tests force read-only are read by the threads of the index
    // build and the day's copy while a test changes them.
    void forcedReadOnlyPathsAreSharedSafely()
    {
        QTemporaryDir dir;
        const QString empty = dir.filePath(QStringLiteral("vazio.mdb"));
        QFile(empty).open(QIODevice::WriteOnly);
        std::atomic<bool> stop{false};
        std::thread reader([&] {
            while (!stop)
                Database::check(empty, testutil::connectString());
        });
        for (int i = 0; i < 20000; ++i)
            forceReadOnlyOpen(dir.filePath(QString::number(i)), true);
        for (int i = 0; i < 20000; ++i)
            forceReadOnlyOpen(dir.filePath(QString::number(i)), false);
        stop = true;
        reader.join();
    }

    void schemaAsWindowsSeeIt()
    {
        testutil::TempCollection file;
        auto db = file.open();
        auto objects = db->openRecordset(QStringLiteral("objetos"));
        QCOMPARE(objects->fieldNames(), (QStringList{"cod", "Objeto", "Título", "Autor", "Assunto", "Descrição",
                                                     "Data", "valor", "path"}));
        QCOMPARE(objects->fieldSize(QStringLiteral("COD")), 7);
        QCOMPARE(objects->fieldSize(QStringLiteral("título")), 100);
        QCOMPARE(objects->fieldType(QStringLiteral("Valor")), FieldType::Currency);
        QCOMPARE(objects->fieldType(QStringLiteral("data")), FieldType::Date);
        QCOMPARE(objects->fieldType(QStringLiteral("descrição")), FieldType::Memo);
        QVERIFY(!objects->hasField(QStringLiteral("check")));
        auto loans = db->openRecordset(QStringLiteral("empréstimos"));
        QCOMPARE(loans->fieldNames(), (QStringList{"codobjeto", "Nome", "objeto", "Título", "Autor", "Data",
                                                   "Entregue", "observações", "cod", "prazo"}));
        QCOMPARE(loans->fieldType(QStringLiteral("prazo")), FieldType::Date);
        QCOMPARE(loans->fieldType(QStringLiteral("cod")), FieldType::Counter);
        testutil::addRecord(*loans, P{{"codobjeto", "A"}});
        testutil::addRecord(*loans, P{{"codobjeto", "B"}});
        loans->requery();
        QCOMPARE(loans->value(QStringLiteral("cod")).toLongLong(), 1);
        loans->moveNext();
        QCOMPARE(loans->value(QStringLiteral("cod")).toLongLong(), 2);
    }

    void foldedUniqueCode()
    {
        testutil::TempCollection file;
        auto db = file.open();
        auto rs = db->openRecordset(QStringLiteral("objetos"));
        testutil::addRecord(*rs, P{{"cod", "abc"}});
        for (const char* duplicate : {"ABC", "Abc", "abc"}) {
            rs->addNew();
            rs->setText(QStringLiteral("cod"), QString::fromUtf8(duplicate));
            QCOMPARE(errorNumber([&] { rs->update(); }), int(ErrDuplicateKey));
            QCOMPARE(rs->editMode(), EditMode::Adding);  // the typed values stay pending
            rs->cancelUpdate();
        }
        testutil::addRecord(*rs, P{{"cod", "ação"}});
        rs->addNew();
        rs->setText(QStringLiteral("cod"), QStringLiteral("ACAO"));
        QCOMPARE(errorNumber([&] { rs->update(); }), int(ErrDuplicateKey));
        rs->cancelUpdate();
        // Editing the code into another's is refused too.
        rs->requery();
        rs->edit();
        rs->setText(QStringLiteral("cod"), QStringLiteral("AÇÃO"));
        QCOMPARE(errorNumber([&] { rs->update(); }), int(ErrDuplicateKey));
        rs->cancelUpdate();
        QCOMPARE(db->openRecordset(QStringLiteral("objetos"))->keyCount(), 2);
    }

    // A failure SQLite reports keeps its own code and the statement that
    // failed beside the number the windows look at; a value that cannot be
    // bound fails the statement instead of running it with a null.
    void engineErrorKeepsCodeAndStatement_data()
    {
        QTest::addColumn<QByteArray>("sql");
        QTest::addColumn<int>("bindIndex");
        QTest::addColumn<int>("number");
        QTest::addColumn<int>("code");
        QTest::newRow("statement SQLite cannot read") << QByteArray("selec * from objetos") << 0 << int(ErrGeneric)
                                                      << SQLITE_ERROR;
        QTest::newRow("bind past the parameters") << QByteArray("select ?1") << 2 << int(ErrGeneric) << SQLITE_RANGE;
    }
    void engineErrorKeepsCodeAndStatement()
    {
        QFETCH(QByteArray, sql);
        QFETCH(int, bindIndex);
        QFETCH(int, number);
        QFETCH(int, code);
        testutil::TempCollection file;
        SqliteConnection connection(file.path, SqliteConnection::Mode::OpenExisting);
        try {
            if (bindIndex > 0)
                connection.cached(sql).bindInt(bindIndex, 1);
            else
                connection.exec(QString::fromUtf8(sql));
            QFAIL("accepted");
        } catch (const EngineError& e) {
            QCOMPARE(e.number(), number);
            QCOMPARE(e.storeCode(), code);
            QCOMPARE(e.statement(), QString::fromUtf8(sql));
        }
    }

    void plainSqliteReadsTheFile()
    {
        testutil::TempCollection file(testutil::Collection::Demo);
        QCOMPARE(testutil::plainQuery(file.path, "PRAGMA integrity_check"), QStringLiteral("ok"));
        QVERIFY(testutil::plainQuery(file.path, "SELECT count(*) FROM objetos").toInt() >= 24);
        QVERIFY(testutil::plainQuery(file.path, "SELECT cod FROM objetos").contains(QStringLiteral("L001")));
        QCOMPARE(testutil::plainQuery(file.path, "PRAGMA journal_mode"), QStringLiteral("wal"));
    }

    // A file in a network folder is opened, and created, with the rollback
    // journal (a file kept in WAL goes back to it), is written as any other
    // and carries the notice to tell; elsewhere it keeps WAL. The folder's
    // kind is asked of the file's own path.
    void networkFolderJournal_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("journal");
        QTest::newRow("local") << int(FolderKind::Local) << "wal";
        QTest::newRow("network") << int(FolderKind::Network) << "delete";
    }
    void networkFolderJournal()
    {
        QFETCH(int, kind);
        QFETCH(QString, journal);
        QCOMPARE(folderKind(QDir::tempPath()), FolderKind::Local);
        testutil::TempCollection kept;  // made in WAL
        QTemporaryDir dir;
        const QString made = testutil::collectionFile(dir.path());
        QStringList asked;
        setFolderKindProbe([&](const QString& path) {
            asked.append(QFileInfo(path).absolutePath());
            return FolderKind(kind);
        });
        const auto restore = qScopeGuard([] { setFolderKindProbe({}); });
        testutil::createCollection(made);
        for (const QString& path : {kept.path, made}) {
            {
                auto db = testutil::openCollection(path);
                QCOMPARE(db->openingNotice().contains(QStringLiteral("--share-collection")), journal == "delete");
                testutil::addRecord(*db->openRecordset(QStringLiteral("objetos")), P{{"cod", "R1"}});
            }
            QCOMPARE(testutil::plainQuery(path, "PRAGMA journal_mode"), journal);
            QCOMPARE(testutil::plainQuery(path, "SELECT cod FROM objetos"), QStringLiteral("R1"));
        }
        QVERIFY(asked.contains(QFileInfo(kept.path).absolutePath()));
        QVERIFY(asked.contains(dir.path()));
    }

    // The type of a mount, by its device, whatever optional fields come
    // before the separator and whatever the mount point's escaped spaces.
    void mountTypeOfDevice_data()
    {
        QTest::addColumn<unsigned>("minor");
        QTest::addColumn<QString>("type");
        QTest::newRow("sshfs") << 44u << "fuse.sshfs";
        QTest::newRow("local fuse, no optional field") << 45u << "fuse.gvfsd-fuse";
        QTest::newRow("no such device") << 46u << "";
    }
    void mountTypeOfDevice()
    {
        QFETCH(unsigned, minor);
        QFETCH(QString, type);
        const QByteArray mountinfo =
            "22 1 254:1 / / rw,relatime shared:1 - ext4 /dev/vda1 rw\n"
            "36 35 0:44 / /mnt/a\\040-\\040b rw,relatime shared:5 master:2 - fuse.sshfs ana@casa:/ rw,user_id=0\n"
            "37 35 0:45 / /run/user/1000/gvfs rw,nosuid - fuse.gvfsd-fuse gvfsd-fuse rw\n";
        QCOMPARE(mountTypeIn(mountinfo, 0, minor), type);
    }

    // The tables of a new file are written as every stored file has them:
    // other programs and older builds read them by these names and types.
    void newFileTablesAsStored()
    {
        testutil::TempCollection file;
        QCOMPARE(testutil::plainQuery(file.path, "SELECT sql FROM sqlite_master WHERE name IN ('objetos', "
                                                 "'empréstimos') ORDER BY name DESC"),
                 QStringLiteral(
                     "CREATE TABLE objetos (ondrel_id INTEGER PRIMARY KEY, cod TEXT, \"Objeto\" TEXT, \"Título\" TEXT, "
                     "\"Autor\" TEXT, \"Assunto\" TEXT, \"Descrição\" TEXT, \"Data\" TEXT, valor INTEGER, path TEXT, "
                     "cod_chave TEXT, objeto_chave TEXT, titulo_chave TEXT, autor_chave TEXT, assunto_chave TEXT, "
                     "descricao_chave TEXT)\n"
                     "CREATE TABLE \"empréstimos\" (codobjeto TEXT, \"Nome\" TEXT, objeto TEXT, \"Título\" TEXT, "
                     "\"Autor\" TEXT, \"Data\" TEXT, \"Entregue\" TEXT, \"observações\" TEXT, "
                     "cod INTEGER PRIMARY KEY AUTOINCREMENT, prazo TEXT, codobjeto_chave TEXT)"));
    }

    void demoHasLoansOutAndReturned()
    {
        testutil::TempCollection file(testutil::Collection::Demo);
        auto db = file.open();
        auto out = db->openRecordset(QStringLiteral("select * from empréstimos where entregue='Não'"));
        auto back = db->openRecordset(QStringLiteral("select * from empréstimos where entregue='Sim'"));
        QVERIFY(out->keyCount() >= 3);
        QVERIFY(back->keyCount() >= 3);
        auto kinds = db->openRecordset(QStringLiteral("select * from objetos order by objeto"), RecordsetType::Snapshot);
        QSet<QString> seen;
        for (; !kinds->eof(); kinds->moveNext())
            seen.insert(kinds->text(QStringLiteral("Objeto")));
        QVERIFY(seen.size() >= 8);
    }

    // A file made before the due dates gains "prazo" the first time it is
    // opened for writing, whatever it holds; checked, opened read-only or
    // held by another writer it stays as it was and reads all the same.
    void olderFileGainsDueDates()
    {
        testutil::TempCollection file;
        QCOMPARE(testutil::dropDueDates(file.path), QString());
        QCOMPARE(testutil::plainExec(file.path, "INSERT INTO \"empréstimos\" (codobjeto, \"Nome\", \"Data\") "
                                                "VALUES ('A', 'Ana', '2003-02-01')"),
                 QString());
        const auto hasPrazo = [&] {
            return testutil::plainQuery(file.path, "SELECT count(*) FROM pragma_table_info('empréstimos') "
                                                   "WHERE name = 'prazo'") == u"1";
        };
        QCOMPARE(Database::check(file.path, QString::fromLatin1(ondrel::db::kConnectString)).problem,
                 ondrel::db::FileProblem::None);
        ondrel::db::forceReadOnlyOpen(file.path, true);
        {
            auto loans = file.open()->openRecordset(QStringLiteral("empréstimos"));
            QVERIFY(!loans->hasField(QStringLiteral("prazo")));
            QCOMPARE(loans->text(QStringLiteral("Nome")), QStringLiteral("Ana"));
        }
        ondrel::db::forceReadOnlyOpen(file.path, false);
        {
            testutil::OtherWriter other(file.path);
            QVERIFY(other.locked());
            QVERIFY(!file.open()->openRecordset(QStringLiteral("empréstimos"))->hasField(QStringLiteral("prazo")));
        }
        QVERIFY(!hasPrazo());
        auto loans = file.open()->openRecordset(QStringLiteral("empréstimos"));
        QVERIFY(hasPrazo());
        QCOMPARE(loans->fieldNames().last(), QStringLiteral("prazo"));
        QCOMPARE(loans->text(QStringLiteral("Nome")), QStringLiteral("Ana"));
        QVERIFY(loans->value(QStringLiteral("prazo")).isNull());
        QCOMPARE(testutil::plainQuery(file.path, "PRAGMA integrity_check"), QStringLiteral("ok"));
    }

    void storedQueriesPersist()
    {
        testutil::TempCollection file;
        const QString l5 = QStringLiteral("select * from empréstimos where codobjeto = 'A1'order by data desc");
        {
            auto db = file.open();
            db->deleteQueryDef(QStringLiteral("pesquisa"));  // missing: no error
            db->createQueryDef(QStringLiteral("pesquisa"));
            db->setQueryDefSql(QStringLiteral("pesquisa"), l5);
            db->deleteQueryDef(QStringLiteral("Imprime"));
            db->createQueryDef(QStringLiteral("Imprime"));
            QueryDef{db, QStringLiteral("Imprime")}.setSql(
                QStringLiteral("select cod, objeto, título, autor, valor from objetos order by cod"));
            QCOMPARE(errorNumber([&] { db->createQueryDef(QStringLiteral("PESQUISA")); }), int(ErrObjectExists));
            QCOMPARE(errorNumber([&] { db->setQueryDefSql(QStringLiteral("Imprime"), QStringLiteral("drop table x")); }),
                     int(ErrSyntax));
            // Stored-query writes skip the per-commit sync; records never do,
            // even after a refused stored-query write.
            QCOMPARE(synchronousLevel(*db), 2);
        }
        auto db = file.open();
        QCOMPARE(db->queryDefSql(QStringLiteral("pesquisa")), l5);
        QCOMPARE(db->queryDefSql(QStringLiteral("Imprime")),
                 QStringLiteral("select cod, objeto, título, autor, valor from objetos order by cod"));
        auto loans = db->openRecordset(QStringLiteral("empréstimos"));
        testutil::addRecord(*loans, P{{"codobjeto", "a1"}, {"Nome", "Maria"}});
        testutil::addRecord(*loans, P{{"codobjeto", "B2"}, {"Nome", "José"}});
        auto rs = db->openRecordset(QStringLiteral("pesquisa"));
        QCOMPARE(rs->keyCount(), 1);
        QCOMPARE(rs->text(QStringLiteral("nome")), QStringLiteral("Maria"));
        db->deleteQueryDef(QStringLiteral("pesquisa"));
        QVERIFY(!db->hasQueryDef(QStringLiteral("pesquisa")));
        QCOMPARE(errorNumber([&] { db->openRecordset(QStringLiteral("pesquisa")); }), int(ErrNoSuchObject));
        QCOMPARE(errorNumber([&] { db->queryDefSql(QStringLiteral("pesquisa")); }), int(ErrNoSuchObject));
    }

    void handlesSeeEachOthersCommits()
    {
        testutil::TempCollection file;
        auto catalogue = file.open();
        auto loansWindow = file.open();
        auto a = catalogue->openRecordset(QStringLiteral("objetos"));
        auto b = loansWindow->openRecordset(QStringLiteral("objetos"));
        QCOMPARE(b->keyCount(), 0);
        testutil::addRecord(*a, P{{"cod", "X1"}, {"Título", "Primeiro"}});
        b->requery();
        QCOMPARE(b->keyCount(), 1);
        QCOMPARE(b->text(QStringLiteral("Título")), QStringLiteral("Primeiro"));
        // A pending add in one handle blocks nobody: the same and other
        // handles keep writing.
        a->addNew();
        a->setText(QStringLiteral("cod"), QStringLiteral("X2"));
        b->edit();
        b->setText(QStringLiteral("Título"), QStringLiteral("Mudado"));
        b->update();
        catalogue->deleteQueryDef(QStringLiteral("pesquisa"));
        catalogue->createQueryDef(QStringLiteral("pesquisa"), QStringLiteral("select * from empréstimos"));
        a->update();
        a->requery();
        QCOMPARE(a->keyCount(), 2);
        QCOMPARE(a->text(QStringLiteral("Título")), QStringLiteral("Mudado"));
        // A record deleted through another handle is skipped by moves.
        b->requery();
        b->deleteRecord();
        a->moveLast();
        a->moveFirst();
        QCOMPARE(a->text(QStringLiteral("cod")), QStringLiteral("X2"));
        QCOMPARE(a->keyCount(), 1);
    }
};

QTEST_GUILESS_MAIN(DatabaseFile)
#include "file_test.moc"
