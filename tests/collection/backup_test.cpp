// Copies of the collection: the day's copy and its rule, the rotation to the
// newest ten, a copy read from one snapshot while saves go on, and the
// commands that copy and restore (on a bus of the test's own, where the test
// can own the plug-in's name).
#include "database_testutil.h"

#include "collection/backup.h"
#include "database/sqlitestore.h"
#include "collection/collection.h"
#include "database/connection.h"

#include <QDBusConnection>
#include <QDir>
#include <QProcess>
#include <QtTest>

using namespace ondrel::db;

namespace {

const QDateTime kNow(QDate(2024, 5, 31), QTime(14, 25, 1));

// A copy an earlier day left, as its name tells (the rules read names only).
QString placeCopy(const QDateTime& taken, const QString& folder = backupFolder())
{
    QDir().mkpath(folder);
    const QString path = QDir(folder).filePath(taken.toString(QStringLiteral("'livrano-'yyyy-MM-dd-HHmmss'.mdb'")));
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    return path;
}

QStringList copyNames(const QString& folder = backupFolder())
{
    QStringList names;
    for (const BackupCopy& copy : backupCopies(folder))
        names << QFileInfo(copy.path).fileName();
    return names;
}

struct DemoCollection : testutil::TempCollection {
    DemoCollection() : TempCollection(testutil::Collection::Demo) {}
};

}  // namespace

class BackupTest : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_data;  // the person's data folder

private slots:
    void init()
    {
        m_data = std::make_unique<QTemporaryDir>();
        qputenv("XDG_DATA_HOME", m_data->path().toUtf8());
    }
    void cleanup() { finishBackup(true); }

    void dayCopyIsMadeOncePerDay_data()
    {
        QTest::addColumn<int>("earlierDays");  // a copy that many days before now; 99: none
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("copied");
        QTest::newRow("no copy yet") << 99 << "whole" << true;
        QTest::newRow("a copy this morning") << 0 << "whole" << false;
        QTest::newRow("yesterday's copy") << 1 << "whole" << true;
        QTest::newRow("a copy dated tomorrow (clock set back)") << -1 << "whole" << true;
        QTest::newRow("read-only collection") << 99 << "read-only" << false;
        QTest::newRow("damaged collection") << 99 << "damaged" << false;
        QTest::newRow("collection on a server") << 99 << "server" << true;
    }
    void dayCopyIsMadeOncePerDay()
    {
        QFETCH(int, earlierDays);
        QFETCH(QString, file);
        QFETCH(bool, copied);
        // A collection on a server: this user's copy of it, a file that
        // opens without the server (read here as the sqlite3 tool reads it).
        if (file == u"server")
            qputenv("ONDREL_TEST_STORE", "postgresql");
        DemoCollection collection;
        qunsetenv("ONDREL_TEST_STORE");
        // The collection's own folder; a copy of another collection made
        // today does not count.
        const QString folder = backupFolderFor(collection.path);
        placeCopy(kNow.addSecs(-3600), backupFolderOf(QStringLiteral("outra")));
        if (earlierDays != 99)
            placeCopy(kNow.addDays(-earlierDays).addSecs(-5 * 3600), folder);
        if (file == u"damaged")
            QVERIFY(testutil::damagePages(collection.path));
        forceReadOnlyOpen(collection.path, file == u"read-only");
        const QStringList before = copyNames(folder);
        startDailyBackup(collection.path, kNow);
        const QString made = finishBackup(false);
        forceReadOnlyOpen(collection.path, false);
        const QString name = QStringLiteral("livrano-2024-05-31-142501.mdb");
        QCOMPARE(copyNames(folder).contains(name), copied);
        QCOMPARE(copyNames(folder).size(), before.size() + (copied ? 1 : 0));
        // Nothing else is left in the folder: no journal, no half-made copy.
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), copyNames(folder).size());
        if (copied)
            QCOMPARE(testutil::everyRow(made), testutil::everyRow(collection.path));
    }

    // The newest ten stay, the new one among them; a copy that fails its
    // check is removed and drops nothing.
    void rotationKeepsTheNewestTen_data()
    {
        QTest::addColumn<bool>("damaged");
        QTest::newRow("whole collection") << false;
        QTest::newRow("damaged pages") << true;
    }
    void rotationKeepsTheNewestTen()
    {
        QFETCH(bool, damaged);
        DemoCollection collection;
        for (int day = 1; day <= 12; ++day)
            placeCopy(kNow.addDays(-day));
        const QStringList older = copyNames();
        if (damaged)
            QVERIFY(testutil::damagePages(collection.path));
        QString made;
        const int error = testutil::errorNumber([&] { made = backUp(collection.path, backupFolder(), kNow, kCopiesKept); });
        if (damaged) {
            QCOMPARE(error, int(ErrDamaged));
            QCOMPARE(copyNames(), older);
        } else {
            QCOMPARE(error, 0);
            QCOMPARE(copyNames(), QStringList{QFileInfo(made).fileName()} + older.mid(0, kCopiesKept - 1));
        }
        QCOMPARE(QDir(backupFolder()).entryList(QDir::Files | QDir::Hidden).size(), copyNames().size());
    }

    // A save while the copy is being made neither waits nor spoils it: the
    // copy holds the collection as it was when it began.
    void savesGoOnWhileACopyIsMade()
    {
        DemoCollection collection;
        const QString before = testutil::everyRow(collection.path);
        int steps = 0;
        int saved = -1;
        BackupPace pace;
        pace.pagesPerStep = 1;
        pace.afterStep = [&] {
            if (steps++ > 0)
                return;
            saved = testutil::errorNumber([&] {
                SqliteConnection c(collection.path, SqliteConnection::Mode::OpenExisting);
                Transaction tx(c, Transaction::Wait::NoWait);
                c.exec(QStringLiteral("INSERT INTO objetos (cod, \"Título\", cod_chave) VALUES ('Z9', 'Salvo', 'z9')"));
                tx.commit();
            });
        };
        const QString made = backUp(collection.path, backupFolder(), kNow, kCopiesKept, pace);
        QVERIFY(steps > 1);
        QCOMPARE(saved, 0);
        QCOMPARE(testutil::everyRow(made), before);
        QVERIFY(testutil::everyRow(collection.path).contains(QStringLiteral("Z9|Salvo")));
    }

    // The commands: a copy into the collection's backup folder or a folder
    // named; a restore that checks the copy, keeps the current file and
    // refuses while the plug-in runs or another program writes, and refuses
    // a copy of another collection (status 2) unless asked, when the
    // restored collection becomes one of its own.
    void commands_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("obstacle");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("said");
        QTest::newRow("backup") << "--backup" << "" << 0 << "livrano-";
        QTest::newRow("backup DEST") << "--backup DEST" << "" << 0 << "pendrive";
        QTest::newRow("restore") << "--restore" << "" << 0 << "livrano-anterior-";
        QTest::newRow("restore, the plug-in on the bus") << "--restore" << "bus" << 1 << "Ondrel.clsPluginInterface";
        QTest::newRow("restore, a writer holds the lock") << "--restore" << "writer" << 1 << "em uso";
        QTest::newRow("restore, another program has it open") << "--restore" << "reader" << 1 << "em uso";
        QTest::newRow("restore a damaged copy") << "--restore" << "damaged copy" << 1 << "não pode ser restaurada";
        QTest::newRow("restore another collection's copy") << "--restore" << "other collection" << 2
                                                           << "--other-collection";
        QTest::newRow("restore another collection's copy, asked") << "--restore" << "other collection, asked" << 0
                                                                  << "livrano-anterior-";
    }
    void commands()
    {
        QFETCH(QString, command);
        QFETCH(QString, obstacle);
        QFETCH(int, exitCode);
        QFETCH(QString, said);
        DemoCollection collection;
        DemoCollection other;
        const QString copy = obstacle.startsWith(QLatin1String("other collection"))
            ? backUp(other.path, backupFolderFor(other.path), kNow, kCopiesKept)
            : backUp(collection.path, backupFolderFor(collection.path), kNow, kCopiesKept);
        const QString copied = testutil::everyRow(copy);
        {
            auto objects = collection.open()->openRecordset(QStringLiteral("objetos"));
            testutil::addRecord(*objects, {{"cod", "N1"}, {"Título", "Depois da cópia"}});
        }
        const QString current = testutil::everyRow(collection.path);
        const QString pendrive = collection.dir.filePath(QStringLiteral("pendrive"));
        QStringList arguments{QStringLiteral("--plugin-folder"), collection.dir.path()};
        if (command == u"--backup DEST")
            arguments << QStringLiteral("--backup") << pendrive;
        else if (command == u"--backup")
            arguments << QStringLiteral("--backup");
        else
            arguments << QStringLiteral("--restore") << copy;
        if (obstacle == u"other collection, asked")
            arguments << QStringLiteral("--other-collection");

        QDBusConnection bus = QDBusConnection::sessionBus();
        if (obstacle == u"bus")
            QVERIFY(bus.registerService(QStringLiteral("Ondrel.clsPluginInterface")));
        std::unique_ptr<testutil::OtherWriter> writer;
        if (obstacle == u"writer") {
            writer = std::make_unique<testutil::OtherWriter>(collection.path);
            QVERIFY(writer->locked());
        }
        sqlite3* reader = nullptr;  // the sqlite3 tool left open after a query
        if (obstacle == u"reader") {
            sqlite3_open(collection.path.toUtf8().constData(), &reader);
            QCOMPARE(sqlite3_exec(reader, "SELECT count(*) FROM objetos", nullptr, nullptr, nullptr), SQLITE_OK);
        }
        if (obstacle == u"damaged copy")
            QVERIFY(testutil::damagePages(copy));
        QProcess ondrel;
        ondrel.start(QStringLiteral(ONDREL_EXE), arguments);
        QVERIFY(ondrel.waitForFinished(30000));
        bus.unregisterService(QStringLiteral("Ondrel.clsPluginInterface"));
        writer.reset();
        sqlite3_close(reader);
        const QString output = QString::fromUtf8(ondrel.readAllStandardOutput() + ondrel.readAllStandardError());
        QVERIFY2(output.contains(said), qPrintable(output));
        QCOMPARE(ondrel.exitCode(), exitCode);

        const QStringList kept = QDir(collection.dir.path()).entryList({QStringLiteral("livrano-anterior-*")});
        if (command == u"--restore" && exitCode == 0) {
            QCOMPARE(testutil::everyRow(collection.path), copied);
            QCOMPARE(kept.size(), 1);
            QCOMPARE(testutil::everyRow(collection.dir.filePath(kept.first())), current);
            // Another collection's copy, restored, is a collection of its own.
            const char* identity = "SELECT value FROM ondrel_meta WHERE key = 'identity'";
            QCOMPARE(testutil::plainQuery(collection.path, identity) == testutil::plainQuery(copy, identity),
                     obstacle.isEmpty());
        } else {
            QCOMPARE(testutil::everyRow(collection.path), current);
            QVERIFY(kept.isEmpty());
        }
        if (command == u"--backup")
            QCOMPARE(backupCopies(backupFolderFor(collection.path)).size(), 2);
        if (command == u"--backup DEST")
            QCOMPARE(testutil::everyRow(backupCopies(pendrive).value(0).path), current);
    }
};

QTEST_MAIN(BackupTest)
#include "backup_test.moc"
