#include "backup.h"

#include "collection.h"
#include "places.h"
#include "database/address.h"
#include "database/sqlitestore.h"
#include "database/database.h"
#include "database/filework.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QRegularExpression>
#include <QtGlobal>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace ondrel::db {

namespace {

const QString kStamp = QStringLiteral("yyyy-MM-dd-HHmmss");

// "livrano": copies and kept files are named after the collection's file.
QString collectionBase()
{
    return QFileInfo(QString::fromLatin1(kDatabaseFileName)).completeBaseName();
}

// "livrano-2024-05-31-142501.mdb", then "...-2.mdb" for a second one in the
// same second.
QString datedName(const QString& base, const QDateTime& taken, int number)
{
    const QString more = number > 1 ? QStringLiteral("-%1").arg(number) : QString();
    return base + u'-' + taken.toString(kStamp) + more + QStringLiteral(".mdb");
}

QString journalMode(Connection& c)
{
    const std::unique_ptr<Statement> mode = c.prepare("PRAGMA journal_mode");
    ScopedRun run(*mode);
    return run->step() ? run->columnText(0).toLower() : QString();
}

// Copies `source` into the new file `target` with SQLite's online backup and
// checks the result. In WAL mode one read transaction is held for the whole
// copy: it reads one snapshot, and writers go on meanwhile (a reader never
// blocks them) without restarting it. In rollback mode each step reads under
// a shared lock of its own, a few milliseconds long, well within the wait of
// a save.
void copyDatabase(const QString& source, const QString& target, const BackupPace& pace)
{
    SqliteConnection from(source, SqliteConnection::Mode::OpenExisting);
    SqliteConnection to(target, SqliteConnection::Mode::CreateNew);
    if (journalMode(from) == QLatin1String("wal")) {
        from.exec(QStringLiteral("BEGIN"));
        from.exec(QStringLiteral("SELECT count(*) FROM sqlite_schema"));
    }
    const auto failed = [&](int rc) {
        return EngineError(ErrGeneric, QStringLiteral("Não foi possível copiar \"%1\" para \"%2\": %3.")
                                           .arg(source, target, QString::fromUtf8(sqlite3_errstr(rc))));
    };
    sqlite3_backup* backup = sqlite3_backup_init(to.handle(), "main", from.handle(), "main");
    if (!backup)
        throw failed(sqlite3_errcode(to.handle()));
    struct Finish {
        sqlite3_backup* backup;
        ~Finish()
        {
            if (backup)
                sqlite3_backup_finish(backup);
        }
    } finish{backup};
    int busy = 0;
    for (;;) {
        if (pace.cancel && pace.cancel->load())
            throw EngineError(ErrGeneric, QStringLiteral("A cópia de \"%1\" foi interrompida.").arg(source));
        const int rc = sqlite3_backup_step(backup, std::max(1, pace.pagesPerStep));
        if (rc == SQLITE_DONE)
            break;
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
            // Another program is writing (rollback mode): try again shortly,
            // giving up after about as long as a save waits.
            if (++busy > 75)
                throw EngineError(ErrLocked, QStringLiteral("Nenhuma cópia foi feita: a coleção \"%1\" está "
                                                            "bloqueada por outro programa.").arg(source));
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        } else if (rc != SQLITE_OK) {
            throw failed(rc);
        } else {
            busy = 0;
        }
        if (pace.afterStep)
            pace.afterStep();
    }
    finish.backup = nullptr;
    const int rc = sqlite3_backup_finish(backup);
    if (rc != SQLITE_OK)
        throw failed(rc);
    checkIntegrity(to, target);
}

// Whether another program has the collection open. In WAL mode every open
// connection holds a shared lock on one byte of the -shm file (offset 128,
// the "DMS" lock of SQLite's unix file locking) for as long as it is open:
// a reader left open would otherwise checkpoint into the file kept aside and
// delete the restored collection's journal by name when it closes. A writer
// of a file in rollback mode shows by its write lock.
bool inUseElsewhere(const QString& collection)
{
    const int fd = ::open(QFile::encodeName(collection + QStringLiteral("-shm")).constData(), O_RDWR);
    if (fd >= 0) {
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        lock.l_start = 128;
        lock.l_len = 1;
        const bool held = ::fcntl(fd, F_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
        ::close(fd);
        if (held)
            return true;
    }
    try {
        SqliteConnection c(collection, SqliteConnection::Mode::OpenExisting);
        Transaction tx(c, Transaction::Wait::NoWait);
    } catch (const EngineError& e) {
        return e.number() == ErrLocked;
    }
    return false;
}

// The copy of the day under way, on a thread of its own.
struct DailyCopy : FileThread {
    QMutex mutex;
    QString made;
    QString error;
    ~DailyCopy() { finish(true); }  // before the members the copy writes go
};

DailyCopy& daily()
{
    static DailyCopy copy;
    return copy;
}

}  // namespace

QString backupFolder()
{
    return userDataFolder() + QStringLiteral("/backup");
}

QList<BackupCopy> backupCopies(const QString& folder)
{
    static const QRegularExpression name(QStringLiteral("^%1-(\\d{4}-\\d\\d-\\d\\d-\\d{6})(?:-(\\d+))?\\.mdb$")
                                             .arg(QRegularExpression::escape(collectionBase())));
    struct Found {
        BackupCopy copy;
        int number;
    };
    QList<Found> found;
    const QDir dir(folder);
    for (const QString& file : dir.entryList(QDir::Files)) {
        const QRegularExpressionMatch match = name.match(file);
        const QDateTime taken = QDateTime::fromString(match.captured(1), kStamp);
        if (match.hasMatch() && taken.isValid())
            found.append({{dir.filePath(file), taken}, match.captured(2).isEmpty() ? 1 : match.captured(2).toInt()});
    }
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        return a.copy.taken != b.copy.taken ? a.copy.taken > b.copy.taken : a.number > b.number;
    });
    QList<BackupCopy> copies;
    for (const Found& f : found)
        copies.append(f.copy);
    return copies;
}

std::optional<BackupCopy> newestGoodCopy(const QString& folder)
{
    for (const BackupCopy& copy : backupCopies(folder)) {
        if (Database::check(copy.path, QString::fromLatin1(kConnectString), true).problem == FileProblem::None)
            return copy;
    }
    return std::nullopt;
}

bool copiesServe(const QString& collection)
{
    return !isServerAddress(collection);
}

QString refusalToCopy(const QString& collection)
{
    if (isServerAddress(collection))
        return QString();  // a server that cannot be reached says so as the copy starts
    const FileCheck check = Database::check(collection, QString::fromLatin1(kConnectString));
    if (check.problem != FileProblem::None)
        return check.description;
    if (check.readOnly)
        return QStringLiteral("Nenhuma cópia foi feita: a coleção \"%1\" é somente leitura (o arquivo ou a sua pasta "
                              "não pode ser alterado).").arg(collection);
    return QString();
}

QString backUp(const QString& collection, const QString& folder, const QDateTime& taken, int keep,
               const BackupPace& pace)
{
    if (!QDir().mkpath(folder))
        throw EngineError(ErrGeneric, QStringLiteral("Não foi possível criar a pasta das cópias \"%1\".").arg(folder));
    // Built under one temporary name per process, so that what a killed copy
    // left is found and removed by the next one.
    const QString building = buildingName(QDir(folder).filePath(QString::fromLatin1(kDatabaseFileName)));
    removeAbandonedBuilds(QDir(folder).filePath(QString::fromLatin1(kDatabaseFileName)));
    RemoveOnFailure guard{building};
    const bool onServer = isServerAddress(collection);
    try {
        if (onServer) {
            Database::copyToFile(collection, QString::fromLatin1(kConnectString), building);
            SqliteConnection copied(building, SqliteConnection::Mode::OpenExisting);
            checkIntegrity(copied, building);
        } else {
            copyDatabase(collection, building, pace);
        }
    } catch (const EngineError& e) {
        if (e.number() != ErrDamaged)
            throw;
        throw EngineError(ErrDamaged, QStringLiteral("A cópia de \"%1\" não passou na verificação e foi apagada; as "
                                                     "cópias anteriores foram mantidas.").arg(collection));
    }
    if (QFileInfo(building + QStringLiteral("-wal")).size() > 0)
        throw EngineError(ErrGeneric, QStringLiteral("Não foi possível concluir a cópia de \"%1\".").arg(collection));
    syncPath(building);
    QString copy;
    for (int number = 1; copy.isEmpty(); ++number) {
        const QString name = QDir(folder).filePath(
            datedName(onServer ? collectionBase() + QStringLiteral("-servidor") : collectionBase(), taken, number));
        if (linkIntoPlace(building, name))
            copy = name;
        else if (!QFileInfo::exists(name) || number >= 100)
            throw EngineError(ErrGeneric, QStringLiteral("Não foi possível gravar a cópia \"%1\".").arg(name));
    }
    guard.done = true;
    if (keep > 0 && !onServer) {
        int kept = 1;  // the copy just made
        for (const BackupCopy& older : backupCopies(folder)) {
            if (older.path == copy)
                continue;
            if (kept < keep)
                ++kept;
            else
                QFile::remove(older.path);
        }
    }
    return copy;
}

bool backupDue(const QString& folder, const QDate& today)
{
    const QList<BackupCopy> copies = backupCopies(folder);
    return std::none_of(copies.cbegin(), copies.cend(),
                        [&](const BackupCopy& copy) { return copy.taken.date() == today; });
}

bool startDailyBackup(const QString& collection, const QDateTime& now, const BackupPace& pace)
{
    DailyCopy& d = daily();
    try {
        if (d.running || !copiesServe(collection))
            return false;
        const QString folder = backupFolder();
        if (!backupDue(folder, now.date()))
            return false;
        BackupPace paced = pace;
        paced.cancel = &d.cancel;
        return d.start([&d, collection, folder, now, paced] {
            QString made, error;
            try {
                // A read-only or unusable collection is left alone.
                if (refusalToCopy(collection).isEmpty())
                    made = backUp(collection, folder, now, kCopiesKept, paced);
            } catch (const EngineError& e) {
                error = e.description();
            } catch (const std::exception& e) {
                error = QString::fromUtf8(e.what());
            }
            // Stopped at the end of the process: tried again at the next start.
            if (!error.isEmpty() && !d.cancel)
                std::fprintf(stderr, "ondrel: cópia de segurança diária: %s\n", qPrintable(error));
            QMutexLocker lock(&d.mutex);
            d.made = made;
            d.error = error;
        });
    } catch (const std::exception&) {
        return false;
    }
}

bool backupRunning()
{
    return daily().running;
}

QString finishBackup(bool cancel, QString* error)
{
    DailyCopy& d = daily();
    d.finish(cancel);
    QMutexLocker lock(&d.mutex);
    if (error)
        *error = d.error;
    return d.made;
}

QString restoreCopy(const QString& copy, const QString& collection, const QDateTime& now)
{
    const FileCheck check = Database::check(copy, QString::fromLatin1(kConnectString), true);
    if (check.problem != FileProblem::None)
        throw EngineError(ErrGeneric, QStringLiteral("A cópia \"%1\" não pode ser restaurada: %2").arg(copy, check.description));
    if (Connection::anyOpenOn(collection) || inUseElsewhere(collection))
        throw EngineError(ErrLocked, QStringLiteral("Nada foi restaurado: a coleção \"%1\" está em uso (pelo Ulmix ou "
                                                    "por outro programa). Feche-o e tente de novo.").arg(collection));
    const QString building = buildingName(collection);
    removeAbandonedBuilds(collection);
    RemoveOnFailure guard{building};
    copyDatabase(copy, building, {});
    syncPath(building);

    const QString folder = QFileInfo(collection).absolutePath();
    QString kept;
    if (QFileInfo::exists(collection)) {
        for (int number = 1; kept.isEmpty() || QFileInfo::exists(kept); ++number)
            kept = QDir(folder).filePath(datedName(collectionBase() + QStringLiteral("-anterior"), now, number));
        // Linked, so that the collection's name is replaced in one step below.
        const QByteArray from = QFile::encodeName(collection);
        if (::link(from.constData(), QFile::encodeName(kept).constData()) != 0 && !QFile::rename(collection, kept))
            throw EngineError(ErrGeneric, QStringLiteral("Nada foi restaurado: não foi possível guardar \"%1\".")
                                              .arg(collection));
        // The journal goes with its file: beside the restored copy it would
        // be read into it.
        for (const char* suffix : {"-wal", "-journal"}) {
            const QString journal = collection + QLatin1String(suffix);
            if (QFileInfo::exists(journal) && !QFile::rename(journal, kept + QLatin1String(suffix)))
                throw EngineError(ErrGeneric, QStringLiteral("Nada foi restaurado: não foi possível guardar \"%1\".")
                                                  .arg(journal));
        }
    }
    QFile::remove(collection + QStringLiteral("-shm"));
    if (::rename(QFile::encodeName(building).constData(), QFile::encodeName(collection).constData()) != 0)
        throw EngineError(ErrGeneric, QStringLiteral("Não foi possível pôr a cópia no lugar de \"%1\"; o arquivo "
                                                     "anterior está em \"%2\".").arg(collection, kept));
    guard.done = true;
    syncPath(folder);
    return kept;
}

}  // namespace ondrel::db
