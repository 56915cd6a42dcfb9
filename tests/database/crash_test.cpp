// A writer killed with SIGKILL at any moment leaves a consistent file that
// holds every change it acknowledged; ending as "Sair" leaves every committed
// change in the file itself; an interrupted creation leaves no file; a
// stranger reads a read-only collection and leaves nothing beside it.
//
// The random kills draw their moments from a seed printed at the start:
// ONDREL_CRASH_SEED=N repeats a run, ONDREL_CRASH_ROUNDS=N makes it longer
// (scripts/crash-test runs a long one outside ctest).
#include "database_testutil.h"

#include "collection/collection.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QtTest>

#include <sys/stat.h>

using namespace ondrel::db;

namespace {

// What the file holds: objects (code -> title), loan names, stored queries.
struct Contents {
    QMap<QString, QString> objects;
    QStringList loans;
    QMap<QString, QString> queries;
    bool operator==(const Contents&) const = default;
};

Contents readContents(const QString& path)
{
    Contents c;
    const QStringList objects = testutil::plainQuery(path, "SELECT cod || '|' || \"Título\" FROM objetos").split(u'\n', Qt::SkipEmptyParts);
    for (const QString& row : objects)
        c.objects.insert(row.section(u'|', 0, 0), row.section(u'|', 1));
    c.loans = testutil::plainQuery(path, "SELECT \"Nome\" FROM \"empréstimos\" ORDER BY cod").split(u'\n', Qt::SkipEmptyParts);
    const QStringList queries = testutil::plainQuery(path, "SELECT name || '|' || sql FROM ondrel_queries").split(u'\n', Qt::SkipEmptyParts);
    for (const QString& row : queries)
        c.queries.insert(row.section(u'|', 0, 0), row.section(u'|', 1));
    return c;
}

// One change as the writer announced it ("do add K1 t1").
void apply(Contents& c, const QString& change)
{
    const QStringList w = change.split(u' ');
    if (w.value(1) == u"add" || w.value(1) == u"edit")
        c.objects.insert(w.value(2), w.value(3));
    else if (w.value(1) == u"del")
        c.objects.remove(w.value(2));
    else if (w.value(1) == u"loan")
        c.loans.append(w.value(3));
    else if (w.value(2) == u"pesquisa")
        c.queries.insert(w.value(2), QStringLiteral("select * from empréstimos where codobjeto = '%1'order by data desc").arg(w.value(3)));
    else if (w.value(2) == u"Imprime")
        c.queries.insert(w.value(2), QStringLiteral("select cod, objeto, título, autor, valor from objetos where título like '*%1*'").arg(w.value(3)));
}

int envNumber(const char* name, int fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok ? value : fallback;
}

// Runs a child as the unprivileged user "nobody".
QString runAsStranger(const QStringList& arguments)
{
    QProcess child;
    child.start(QStringLiteral("setpriv"),
                QStringList{QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                            QStringLiteral("--clear-groups"), QStringLiteral(CRASH_CHILD)}
                    + arguments);
    child.waitForFinished(20000);
    return QString::fromUtf8(child.readAllStandardOutput() + child.readAllStandardError()).trimmed();
}

}  // namespace

class DatabaseCrash : public QObject {
    Q_OBJECT
private slots:
    void killedWriterLosesNothingAcknowledged_data()
    {
        QTest::addColumn<int>("acks");
        QTest::newRow("early") << 1;
        QTest::newRow("after some") << 40;
        QTest::newRow("after many") << 150;
    }
    void killedWriterLosesNothingAcknowledged()
    {
        QFETCH(int, acks);
        testutil::TempCollection file;
        QList<int> acknowledged;
        for (int round = 0; round < 2; ++round) {
            QProcess child;
            child.start(QStringLiteral(CRASH_CHILD), {file.path, QString::number(round * 100000)});
            QVERIFY(child.waitForStarted());
            QByteArray pending;
            int seen = 0;
            QElapsedTimer timer;
            timer.start();
            while (seen < acks && timer.elapsed() < 60000) {
                child.waitForReadyRead(1000);
                pending += child.readAllStandardOutput();
                qsizetype nl;
                while ((nl = pending.indexOf('\n')) >= 0) {
                    const QByteArray line = pending.left(nl);
                    pending.remove(0, nl + 1);
                    if (line.startsWith("ok ")) {
                        acknowledged.append(line.mid(3).toInt());
                        ++seen;
                    }
                }
                QVERIFY2(child.state() == QProcess::Running, child.readAllStandardError().constData());
            }
            child.kill();  // SIGKILL
            child.waitForFinished();
            // Acknowledgements that raced with the kill are counted too.
            pending += child.readAllStandardOutput();
            for (const QByteArray& line : pending.split('\n'))
                if (line.startsWith("ok "))
                    acknowledged.append(line.mid(3).toInt());
            QVERIFY(seen >= acks);
        }
        QCOMPARE(testutil::plainQuery(file.path, "PRAGMA integrity_check"), QStringLiteral("ok"));
        auto db = file.open();
        auto rs = db->openRecordset(QStringLiteral("objetos"));
        for (int code : acknowledged) {
            rs->findFirst(QStringLiteral("cod='%1'").arg(code));
            QVERIFY2(!rs->noMatch(), qPrintable(QStringLiteral("object %1 lost").arg(code)));
        }
        if (db->hasQueryDef(QStringLiteral("pesquisa")))
            QVERIFY(db->queryDefSql(QStringLiteral("pesquisa")).startsWith(QStringLiteral("select * from empréstimos")));
    }

    void killedAtRandomMomentsLosesNothing()
    {
        const quint32 seed = quint32(envNumber("ONDREL_CRASH_SEED", int(QRandomGenerator::global()->bounded(1 << 30))));
        const int rounds = envNumber("ONDREL_CRASH_ROUNDS", 8);
        qInfo("crash seed %u, %d rounds (ONDREL_CRASH_SEED=%u repeats it)", seed, rounds, seed);
        QRandomGenerator moments(seed);
        testutil::TempCollection file;
        Contents model = readContents(file.path);
        for (int round = 0; round < rounds; ++round) {
            const QByteArray where = QStringLiteral("seed %1 round %2").arg(seed).arg(round).toUtf8();
            QProcess child;
            child.start(QStringLiteral(CRASH_CHILD), {QStringLiteral("work"), file.path, QString::number(seed + quint32(round))});
            QVERIFY2(child.waitForStarted(), where.constData());
            QByteArray out;
            while (!out.contains("ready\n") && child.waitForReadyRead(10000))
                out += child.readAllStandardOutput();
            QVERIFY2(out.contains("ready\n"), (where + child.readAllStandardError()).constData());
            QTest::qWait(int(moments.bounded(10, 250)));
            child.kill();  // SIGKILL
            child.waitForFinished();
            out += child.readAllStandardOutput();
            // Every acknowledged change is in the file; the one under way
            // when the kill came is there whole or not at all.
            QString pending;
            for (const QByteArray& raw : out.split('\n')) {
                const QString line = QString::fromUtf8(raw);
                if (line.startsWith(u"do ")) {
                    pending = line;
                } else if (line == u"ok" && !pending.isEmpty()) {
                    apply(model, pending);
                    pending.clear();
                }
            }
            QCOMPARE(testutil::plainQuery(file.path, "PRAGMA integrity_check"), QStringLiteral("ok"));
            const Contents found = readContents(file.path);
            Contents withPending = model;
            if (!pending.isEmpty())
                apply(withPending, pending);
            QVERIFY2(found == model || found == withPending,
                     (where + " lost or half-written: " + pending.toUtf8()).constData());
            model = found;
        }
    }

    void endingLeavesEveryChangeInTheFile_data()
    {
        QTest::addColumn<bool>("otherReader");
        QTest::newRow("alone") << false;
        QTest::newRow("another program keeps reading") << true;
    }
    void endingLeavesEveryChangeInTheFile()
    {
        QFETCH(bool, otherReader);
        testutil::TempCollection file;
        sqlite3* other = nullptr;
        if (otherReader) {
            // Its open read keeps the journal from being copied now.
            QCOMPARE(sqlite3_open(file.path.toUtf8().constData(), &other), SQLITE_OK);
            QCOMPARE(sqlite3_exec(other, "BEGIN; SELECT count(*) FROM objetos", nullptr, nullptr, nullptr), SQLITE_OK);
        }
        QProcess child;
        child.start(QStringLiteral(CRASH_CHILD), {QStringLiteral("end"), file.path});
        // Ends at once, also when the journal cannot be copied now.
        QVERIFY(child.waitForFinished(20000));
        QCOMPARE(child.readAllStandardOutput(), QByteArray("ok\n"));
        if (other) {
            sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
            sqlite3_close(other);
            // The journal stayed; SQLite reads it at the next open.
            QCOMPARE(testutil::plainQuery(file.path, "SELECT \"Título\" FROM objetos WHERE cod = 'END1'"),
                     QStringLiteral("guardado"));
            return;
        }
        // A copy of the file alone, as a person backs it up.
        QTemporaryDir copyDir;
        const QString copy = testutil::collectionFile(copyDir.path());
        QVERIFY(QFile::copy(file.path, copy));
        QCOMPARE(testutil::plainQuery(copy, "SELECT \"Título\" FROM objetos WHERE cod = 'END1'"), QStringLiteral("guardado"));
    }

    void interruptedCreationLeavesNoFile()
    {
        const quint32 seed = quint32(envNumber("ONDREL_CRASH_SEED", int(QRandomGenerator::global()->bounded(1 << 30))));
        qInfo("creation seed %u", seed);
        QRandomGenerator moments(seed);
        QTemporaryDir dir;
        const QString path = testutil::collectionFile(dir.path());
        int complete = 0;
        for (int round = 0; round < envNumber("ONDREL_CRASH_ROUNDS", 8); ++round) {
            QProcess creator;
            creator.start(QStringLiteral(ONDREL_EXE), {QStringLiteral("--create-database"), path, QStringLiteral("--demo")});
            QVERIFY(creator.waitForStarted());
            QTest::qWait(int(moments.bounded(0, 400)));
            creator.kill();
            creator.waitForFinished();
            // Either no file, or a whole demo collection.
            if (QFileInfo::exists(path)) {
                ++complete;
                QCOMPARE(testutil::plainQuery(path, "SELECT count(*) FROM objetos"), QStringLiteral("37"));
                for (const char* file : {"", "-wal", "-shm"})  // the read above leaves the last two
                    QFile::remove(path + QLatin1String(file));
                QVERIFY(!QFileInfo::exists(path));
            }
        }
        qInfo("%d of the interrupted creations had finished", complete);
        QProcess creator;
        creator.start(QStringLiteral(ONDREL_EXE), {QStringLiteral("--create-database"), path, QStringLiteral("--demo")});
        QVERIFY(creator.waitForFinished(30000));
        QCOMPARE(creator.exitCode(), 0);
        // What the interrupted ones left under their temporary names is gone.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).join(u' '), QString::fromLatin1(kDatabaseFileName));
        QCOMPARE(testutil::plainQuery(path, "SELECT count(*) FROM objetos"), QStringLiteral("37"));
    }

    void strangerReadsReadOnlyCollection_data()
    {
        QTest::addColumn<bool>("folderReadOnly");
        QTest::newRow("read-only file") << false;
        QTest::newRow("read-only folder") << true;
    }
    void strangerReadsReadOnlyCollection()
    {
        QFETCH(bool, folderReadOnly);
        QTemporaryDir dir;
        QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0777) == 0);
        const QString path = testutil::collectionFile(dir.path());
        testutil::createCollection(path);
        {
            auto db = Database::open(path, QString::fromLatin1(kConnectString));
            testutil::addRecord(*db->openRecordset(QStringLiteral("objetos")), {{"cod", "A1"}, {"Título", "Dom Casmurro"}});
            testutil::addRecord(*db->openRecordset(QStringLiteral("empréstimos")),
                                {{"codobjeto", "A1"}, {"Nome", "Ana"}, {"Entregue", "Não"}});
        }
        QVERIFY(::chmod(QFile::encodeName(path).constData(), folderReadOnly ? 0666 : 0444) == 0);
        if (folderReadOnly)
            QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0555) == 0);
        const QByteArray before = testutil::digest(path);
        // Browsing works, a save says read-only, a stored query lives in memory.
        QCOMPARE(runAsStranger({QStringLiteral("read"), path}),
                 QStringLiteral("readonly 1 objects 1\nsave %1\npesquisa Ana select * from empréstimos where codobjeto = 'A1'")
                     .arg(ErrReadOnly));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QString::fromLatin1(kDatabaseFileName)});
        QCOMPARE(testutil::digest(path), before);
        // Made writable again, it is written as usual.
        QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0777) == 0);
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 0666) == 0);
        QVERIFY(runAsStranger({QStringLiteral("read"), path}).startsWith(QStringLiteral("readonly 0 objects 1\nsave 0\n")));
    }
};

QTEST_GUILESS_MAIN(DatabaseCrash)
#include "crash_test.moc"
