// What the commands of the built `ondrel` write, and what they never touch:
// a FIFO, a device or a link loop is refused, a link to a file is written
// through, a full disk is never reported as success, and every refusal names
// the file and why, leaving what was there as it was.
#include "database_testutil.h"

#include "collection/backup.h"

#include <QDir>
#include <QProcess>
#include <QtTest>

#include <cerrno>
#include <cstring>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

struct Exit {
    int code = -1;
    QString out;
    QString err;
};

// What stands at a path, without following a link: its type and contents.
QString standing(const QString& path)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return QStringLiteral("nothing");
    // Never read a FIFO or a device: it would wait, or never end.
    const QByteArray contents = S_ISREG(st.st_mode) ? testutil::digest(path).toHex() : QByteArray();
    return QString::number(st.st_mode & S_IFMT, 8) + u' ' + QString::fromLatin1(contents);
}

}  // namespace

class FilesTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_plugin;  // the plug-in folder, with its collection
    QString m_out;     // where the destinations stand
    QString m_copy;    // a copy of the collection

    Exit ondrel(QStringList arguments, bool asNobody = false, const QString& folder = QString())
    {
        if (arguments.first() != u"--create-database")
            arguments << QStringLiteral("--plugin-folder") << (folder.isEmpty() ? m_plugin : folder);
        QString program = QStringLiteral(ONDREL_EXE);
        if (asNobody) {
            arguments = QStringList{"--reuid=nobody", "--regid=nogroup", "--clear-groups", program} + arguments;
            program = QStringLiteral("setpriv");
        }
        QProcess p;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_DATA_HOME"), m_dir.filePath(QStringLiteral("data")));
        environment.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
        p.setProcessEnvironment(environment);
        p.start(program, arguments);
        if (!p.waitForFinished(30000)) {
            p.kill();
            p.waitForFinished();
            return {};
        }
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
    }

    // Puts at `path` what a row names; returns the path the command is given.
    QString place(const QString& what, const QString& path)
    {
        const QByteArray name = QFile::encodeName(path);
        if (what == u"fifo")
            ::mkfifo(name.constData(), 0666);
        else if (what == u"device")  // the system's /dev/full, made here
            ::mknod(name.constData(), S_IFCHR | 0666, makedev(1, 7));
        else if (what == u"loop") {
            const QByteArray other = QFile::encodeName(path + QStringLiteral(".b"));
            ::symlink(other.constData(), name.constData());
            ::symlink(name.constData(), other.constData());
        } else if (what == u"folder")
            QDir().mkdir(path);
        else if (what == u"file" || what == u"link") {
            QFile old(what == u"link" ? path + QStringLiteral(".real") : path);
            old.open(QIODevice::WriteOnly);
            old.write("antigo");
            if (what == u"link")
                ::symlink(QFile::encodeName(old.fileName()).constData(), name.constData());
        } else if (what == u"long")
            return QDir(m_out).filePath(QString(4000, u'x') + QStringLiteral(".csv"));
        else if (what == u"missing parent")
            return QDir(m_out).filePath(QStringLiteral("pendrive/copias"));
        else if (what == u"read-only folder") {
            QDir(m_out).mkdir(QStringLiteral("leitura"));
            ::chmod(QFile::encodeName(QDir(m_out).filePath(QStringLiteral("leitura"))).constData(), 0555);
            return QDir(m_out).filePath(QStringLiteral("leitura/") + QFileInfo(path).fileName());
        }
        return path;
    }

private slots:
    void init()
    {
        // Readable by an ordinary user, for the rows run as one.
        ::chmod(QFile::encodeName(m_dir.path()).constData(), 0755);
        m_plugin = m_dir.filePath(QStringLiteral("ulmix"));
        m_out = m_dir.filePath(QStringLiteral("destino"));
        QVERIFY(QDir().mkpath(m_plugin) && QDir().mkpath(m_out));
        ::chmod(QFile::encodeName(m_out).constData(), 0777);
        testutil::createCollection(testutil::collectionFile(m_plugin), testutil::Collection::Demo);
        QVERIFY(QFile::copy(QStringLiteral(ONDREL_SOURCE_DIR "/assets/files/objetos.rpt"),
                            QDir(m_plugin).filePath(QStringLiteral("objetos.rpt"))));
        m_copy = ondrel::db::backUp(testutil::collectionFile(m_plugin), m_dir.filePath(QStringLiteral("copias")),
                                    QDateTime(QDate(2024, 5, 31), QTime(14, 25, 1)), 0);
        for (const QString& file : {m_copy, testutil::collectionFile(m_plugin)})
            ::chmod(QFile::encodeName(file).constData(), 0644);
    }
    void cleanup()
    {
        ::chmod(QFile::encodeName(QDir(m_out).filePath(QStringLiteral("leitura"))).constData(), 0755);
        QDir(m_out).removeRecursively();
        QDir(m_plugin).removeRecursively();
    }

    // Each command against what may stand at its destination: refused, with
    // the reason, leaving it and the collection as they were; or written.
    void destinations_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("name");      // the destination's name in the folder of destinations
        QTest::addColumn<QString>("standing");  // what stands there first
        QTest::addColumn<bool>("asNobody");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("says");
        const QString csv = QStringLiteral("--export-listing");
        QTest::newRow("listing to a FIFO") << csv << "l.csv" << "fifo" << false << 1 << "é um FIFO";
        QTest::newRow("listing to a device") << csv << "l.csv" << "device" << false << 1 << "é um dispositivo";
        QTest::newRow("listing to a link loop") << csv << "l.csv" << "loop" << false << 1 << "em ciclo";
        QTest::newRow("listing to a 4000-character name") << csv << "" << "long" << false << 1 << "longo demais";
        QTest::newRow("listing through a link to a file") << csv << "l.csv" << "link" << false << 0 << "";
        QTest::newRow("listing over a file") << csv << "l.pdf" << "file" << false << 0 << "";
        const QString create = QStringLiteral("--create-database");
        QTest::newRow("collection at a FIFO") << create << "c.mdb" << "fifo" << false << 1 << "é um FIFO";
        QTest::newRow("collection in a missing folder") << create << "falta/c.mdb" << "" << false << 1
                                                        << "/destino/falta\" não existe";
        QTest::newRow("collection in a read-only folder") << create << "c.mdb" << "read-only folder" << true << 1
                                                          << "não há permissão para gravar na pasta";
        const QString backup = QStringLiteral("--backup");
        QTest::newRow("copy into a file .mdb") << backup << "copia.mdb" << "" << false << 0 << "copia.mdb";
        QTest::newRow("copy over a file .mdb") << backup << "copia.mdb" << "file" << false << 1 << "já existe";
        QTest::newRow("copy to a FIFO .mdb") << backup << "copia.mdb" << "fifo" << false << 1 << "é um FIFO";
        QTest::newRow("copy into a new folder") << backup << "pendrive" << "" << false << 0 << "pendrive/livrano-";
        QTest::newRow("copy into a folder whose parent is missing") << backup << "" << "missing parent" << false << 1
                                                                    << "/destino/pendrive\" não existe";
        QTest::newRow("copy into a read-only folder") << backup << "x" << "read-only folder" << true << 1
                                                      << "não há permissão para gravar na pasta";
        QTest::newRow("copy of a read-only collection") << backup << "pendrive" << "" << true << 0 << "pendrive/livrano-";
        const QString restore = QStringLiteral("--restore");
        QTest::newRow("restore a folder") << restore << "c.mdb" << "folder" << false << 1 << "é uma pasta";
        QTest::newRow("restore a FIFO") << restore << "c.mdb" << "fifo" << false << 1 << "é um FIFO";
        QTest::newRow("restore a device") << restore << "c.mdb" << "device" << false << 1 << "é um dispositivo";
        QTest::newRow("import a FIFO") << "--import-listing" << "l.csv" << "fifo" << false << 1 << "é um FIFO";
        QTest::newRow("restore into a read-only folder") << restore << "" << "" << true << 1
                                                         << "não há permissão para gravar";
    }
    void destinations()
    {
        QFETCH(QString, command);
        QFETCH(QString, name);
        QFETCH(QString, standing);
        QFETCH(bool, asNobody);
        QFETCH(int, code);
        QFETCH(QString, says);
        const QString collection = testutil::collectionFile(m_plugin);
        const QString destination = name.isEmpty() && standing.isEmpty() ? m_copy
                                                                          : place(standing, QDir(m_out).filePath(name));
        if (asNobody)  // a collection its user cannot write
            ::chmod(QFile::encodeName(m_plugin).constData(), 0555);
        const QStringList before = QDir(m_out).entryList(QDir::AllEntries | QDir::Hidden | QDir::System);
        const QString there = ::standing(destination);
        const QString rows = testutil::everyRow(collection);

        const Exit done = ondrel({command, destination}, asNobody);
        ::chmod(QFile::encodeName(m_plugin).constData(), 0755);
        QVERIFY2(done.code == code && (code == 0 ? done.out : done.err).contains(says),
                 qPrintable(QStringLiteral("%1: %2%3").arg(done.code).arg(done.out, done.err)));
        QCOMPARE(testutil::everyRow(collection), rows);
        if (code != 0) {
            QVERIFY2(done.err.contains(QRegularExpression(QStringLiteral("(^|\\n)ondrel: .*\"/"))), qPrintable(done.err));
            QCOMPARE(::standing(destination), there);
            QCOMPARE(QDir(m_out).entryList(QDir::AllEntries | QDir::Hidden | QDir::System), before);
            QVERIFY(QDir(m_plugin).entryList({QStringLiteral("livrano-anterior-*")}).isEmpty());
            return;
        }
        // Written: the listing through the link (which stays a link), the
        // copy a whole collection.
        const QString written = done.out.trimmed();
        if (standing == u"link")
            QVERIFY(QFileInfo(destination).isSymLink());
        if (written.endsWith(QLatin1String(".mdb")))
            QCOMPARE(testutil::everyRow(written), rows);
        else
            QVERIFY(QFileInfo(written).size() > 100);
    }

    // On a small file system filled to the last byte, each writer fails at
    // its writes or at its final flush: it says the disk is full, exits with
    // status 1, leaves the file that was there as it was and nothing of its
    // own behind.
    void fullDisk_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("name");
        QTest::newRow("CSV listing") << "--export-listing" << "listagem.csv";
        QTest::newRow("PDF listing") << "--export-listing" << "listagem.pdf";
        QTest::newRow("copy") << "--backup" << "copias";
        QTest::newRow("new collection") << "--create-database" << "nova.mdb";
        QTest::newRow("restored copy") << "--restore" << "";
    }
    void fullDisk()
    {
        QFETCH(QString, command);
        QFETCH(QString, name);
        const QString disk = m_dir.filePath(QStringLiteral("disco"));
        QVERIFY(QDir().mkpath(disk));
        if (::mount("tmpfs", QFile::encodeName(disk).constData(), "tmpfs", 0, "size=1m") != 0)
            QSKIP(qPrintable(QStringLiteral("a file system cannot be mounted here (%1)").arg(std::strerror(errno))));
        struct Unmount {
            QByteArray at;
            ~Unmount() { ::umount2(at.constData(), MNT_DETACH); }
        } unmount{QFile::encodeName(disk)};
        // The collection restored into lives on that disk; each other
        // destination is there, some with a file of its name there before.
        const QString plugin = QDir(disk).filePath(QStringLiteral("ulmix"));
        QVERIFY(QDir().mkpath(plugin) && QDir().mkpath(QDir(disk).filePath(QStringLiteral("copias"))));
        QVERIFY(QFile::copy(testutil::collectionFile(m_plugin), testutil::collectionFile(plugin)));
        QVERIFY(QFile::copy(QDir(m_plugin).filePath(QStringLiteral("objetos.rpt")),
                            QDir(plugin).filePath(QStringLiteral("objetos.rpt"))));
        const QString destination = name.isEmpty() ? m_copy : QDir(disk).filePath(name);
        if (name.endsWith(QLatin1String(".csv")) || name.endsWith(QLatin1String(".pdf")))
            place(QStringLiteral("file"), destination);
        {
            QFile filler(QDir(disk).filePath(QStringLiteral("enche")));
            QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
            while (filler.write(QByteArray(4096, 'x')) > 0) {
            }
        }
        // Their files, the journals SQLite keeps beside a collection it
        // opened aside.
        const auto files = [&] {
            QStringList all;
            for (const QString& folder : {disk, plugin, QDir(disk).filePath(QStringLiteral("copias"))})
                all += QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
            return all.filter(QRegularExpression(QStringLiteral("^(?!livrano.mdb-(wal|shm)$)")));
        };
        const QStringList before = files();
        const QString there = ::standing(destination);
        const QString rows = testutil::everyRow(testutil::collectionFile(plugin));

        const Exit done = ondrel({command, destination}, false, name.isEmpty() ? plugin : m_plugin);
        QVERIFY2(done.code == 1 && done.err.contains(QStringLiteral("o disco está cheio"), Qt::CaseInsensitive),
                 qPrintable(QStringLiteral("%1: %2%3").arg(done.code).arg(done.out, done.err)));
        QCOMPARE(::standing(destination), there);
        QCOMPARE(files(), before);
        QCOMPARE(testutil::everyRow(testutil::collectionFile(plugin)), rows);
    }
};

QTEST_GUILESS_MAIN(FilesTest)
#include "files_test.moc"
