#include "backup.h"

#include "collection.h"
#include "places.h"
#include "core/files.h"
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
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/stat.h>
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

// The note a copy keeps of the collection file it was made of.
constexpr char kCopiedFromNote[] = "copied_from";

QString connectString()
{
    return QString::fromLatin1(kConnectString);
}

// One name per file, however the path to it is spelled.
QString placeOf(const QString& path)
{
    if (isServerAddress(path))
        return path.trimmed();
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? QFileInfo(path).absoluteFilePath() : canonical;
}

[[noreturn]] void noCopy(const QString& where, const QString& reason)
{
    throw EngineError(ErrGeneric, QStringLiteral("Nenhuma cópia foi feita em \"%1\": %2.").arg(where, reason));
}

// A folder copies are written into: `create` makes it (and its parents)
// when missing. Throws EngineError naming it and why it cannot take a copy.
void prepareFolder(const QString& folder, bool create)
{
    if (create && !QFileInfo(folder).isDir() && !QDir().mkpath(folder)) {
        const QString refusal = files::refusalToWrite(folder);
        noCopy(folder, refusal.isEmpty() ? files::reasonFor(EACCES, folder, files::Access::Write) : refusal);
    }
    // A name no file has yet: what is checked is the folder.
    const QString refusal = files::refusalToWrite(QDir(folder).filePath(QStringLiteral(".ondrel-copia")));
    if (!refusal.isEmpty())
        noCopy(folder, refusal);
}

QString journalMode(Connection& c)
{
    const std::unique_ptr<Statement> mode = c.prepare("PRAGMA journal_mode");
    ScopedRun run(*mode);
    return run->step() ? run->columnText(0).toLower() : QString();
}

// Copies the opened `source` into the new file `target` with SQLite's online
// backup and checks the result; `shownTarget` is the name the messages give
// it, `origin` (when not empty) the collection file the copy notes it was
// made of. In WAL mode one read transaction is held for the whole
// copy: it reads one snapshot, and writers go on meanwhile (a reader never
// blocks them) without restarting it. In rollback mode each step reads under
// a shared lock of its own, a few milliseconds long, well within the wait of
// a save.
void copyDatabase(Database& source, const QString& target, const QString& shownTarget, const BackupPace& pace,
                  const QString& origin = QString())
{
    if (isServerAddress(source.path())) {
        // A collection on a server is copied record by record from one
        // snapshot of it into a collection file, which opens without it.
        Database::copyToFile(source.path(), connectString(), target, pace.cancel);
        SqliteConnection copied(target, SqliteConnection::Mode::OpenExisting, shownTarget);
        if (!origin.isEmpty())
            setFileNote(copied, kCopiedFromNote, origin);
        checkIntegrity(copied, shownTarget);
        return;
    }
    auto& from = static_cast<SqliteConnection&>(source.connection());
    SqliteConnection to(target, SqliteConnection::Mode::CreateNew, shownTarget);
    struct EndRead {
        SqliteConnection* from = nullptr;
        ~EndRead()
        {
            if (from)
                sqlite3_exec(from->handle(), "COMMIT", nullptr, nullptr, nullptr);
        }
    } endRead;
    if (journalMode(from) == QLatin1String("wal")) {
        from.exec(QStringLiteral("BEGIN"));
        endRead.from = &from;
        from.exec(QStringLiteral("SELECT count(*) FROM sqlite_schema"));
    }
    const auto failed = [&](int rc) {
        QString reason = fileFailure(to.handle(), rc, shownTarget);
        if (reason.isEmpty())
            reason = QStringLiteral("o mecanismo de banco de dados recusou a cópia (código %1)").arg(rc);
        return EngineError(ErrGeneric, QStringLiteral("Não foi possível copiar \"%1\" para \"%2\": %3.")
                                           .arg(source.path(), shownTarget, reason), rc);
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
            throw EngineError(ErrGeneric, QStringLiteral("A cópia de \"%1\" foi interrompida.").arg(source.path()));
        const int rc = sqlite3_backup_step(backup, std::max(1, pace.pagesPerStep));
        if (rc == SQLITE_DONE)
            break;
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
            // Another program is writing (rollback mode): try again shortly,
            // giving up after about as long as a save waits.
            if (++busy > 75)
                throw EngineError(ErrLocked, QStringLiteral("Nenhuma cópia foi feita: a coleção \"%1\" está "
                                                            "bloqueada por outro programa.").arg(source.path()));
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
    if (!origin.isEmpty())
        setFileNote(to, kCopiedFromNote, origin);
    checkIntegrity(to, shownTarget);
}

// A copy of the opened collection into `folder` (which takes copies),
// named after `taken`, or into `file` when one is given. Then, with `keep`
// > 0, only the newest `keep` copies of the folder stay.
QString makeCopy(Database& source, const QString& folder, const QString& file, const QDateTime& taken, int keep,
                 const BackupPace& pace)
{
    const QString dated = QDir(folder).filePath(datedName(collectionBase(), taken, 1));
    const QString base = file.isEmpty() ? QDir(folder).filePath(QString::fromLatin1(kDatabaseFileName)) : file;
    // Built under one temporary name per process, so that what a killed copy
    // left is found and removed by the next one.
    const QString building = buildingName(base);
    removeAbandonedBuilds(base);
    RemoveOnFailure guard{building};
    const QString collection = source.path();
    try {
        copyDatabase(source, building, file.isEmpty() ? dated : file, pace, placeOf(collection));
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
    int error = 0;
    if (!file.isEmpty()) {
        if (!linkIntoPlace(building, file, &error))
            noCopy(file, error == EEXIST ? QStringLiteral("já existe um arquivo com esse nome")
                                         : files::reasonFor(error, file, files::Access::Write));
        copy = file;
    }
    for (int number = 1; copy.isEmpty(); ++number) {
        const QString name = QDir(folder).filePath(datedName(collectionBase(), taken, number));
        if (linkIntoPlace(building, name, &error))
            copy = name;
        else if (error != EEXIST || number >= 100)
            noCopy(name, files::reasonFor(error == EEXIST ? EBUSY : error, name, files::Access::Write));
    }
    guard.done = true;
    if (keep > 0) {
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

// The identity of the collection at `path`, read as far as it can be: as a
// collection (nothing written into it), or from a file that no longer opens
// as one.
QString identityOf(const QString& path)
{
    try {
        return Database::read(path, connectString())->identity();
    } catch (const EngineError&) {
        return Database::noteOf(path, kIdentityNote);
    }
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

QString backupFolderOf(const QString& identity)
{
    return identity.isEmpty() ? backupFolder() : QDir(backupFolder()).filePath(identity);
}

QString backupFolderFor(const QString& collection)
{
    return backupFolderOf(Database::open(collection, connectString())->identity());
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
            found.append({{dir.filePath(file), taken, {}}, match.captured(2).isEmpty() ? 1 : match.captured(2).toInt()});
    }
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        return a.copy.taken != b.copy.taken ? a.copy.taken > b.copy.taken : a.number > b.number;
    });
    QList<BackupCopy> copies;
    for (const Found& f : found)
        copies.append(f.copy);
    return copies;
}

std::optional<BackupCopy> newestGoodCopyOf(const QString& collection)
{
    const QString identity = identityOf(collection);
    QList<BackupCopy> copies;
    if (!identity.isEmpty()) {
        copies = backupCopies(backupFolderOf(identity));
    } else {
        // Every collection's copies, newest first; only those made of a file
        // at this place count.
        const QDir root(backupFolder());
        for (const QString& folder : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            copies += backupCopies(root.filePath(folder));
        std::stable_sort(copies.begin(), copies.end(),
                         [](const BackupCopy& a, const BackupCopy& b) { return a.taken > b.taken; });
    }
    const QString place = placeOf(collection);
    for (BackupCopy& copy : copies) {
        copy.copiedFrom = Database::noteOf(copy.path, kCopiedFromNote);
        if (identity.isEmpty() && copy.copiedFrom != place)
            continue;
        if (Database::check(copy.path, connectString(), true).problem == FileProblem::None)
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
    const FileCheck check = Database::check(collection, connectString());
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
    prepareFolder(folder, true);
    const auto source = Database::open(collection, connectString());
    return makeCopy(*source, folder, QString(), taken, keep, pace);
}

QString backUpByHand(const QString& collection, const QString& destination, const QDateTime& taken)
{
    const auto source = Database::open(collection, connectString());
    if (destination.isEmpty()) {
        const QString folder = backupFolderOf(source->identity());
        prepareFolder(folder, true);
        return makeCopy(*source, folder, QString(), taken, kCopiesKept, {});
    }
    if (destination.endsWith(QLatin1String(".mdb"), Qt::CaseInsensitive)) {
        const QString refusal = files::refusalToWrite(destination);
        if (!refusal.isEmpty())
            noCopy(destination, refusal);
        if (QFileInfo::exists(destination) || QFileInfo(destination).isSymLink())
            noCopy(destination, QStringLiteral("já existe um arquivo com esse nome"));
        return makeCopy(*source, QFileInfo(destination).absolutePath(), destination, taken, 0, {});
    }
    const QFileInfo folder(destination);
    if (folder.exists() && !folder.isDir())
        noCopy(destination, QStringLiteral("\"%1\" não é uma pasta").arg(destination));
    if (!folder.exists()) {
        // Only the last folder of the path is made.
        const QString parent = folder.absolutePath();
        if (!QFileInfo(parent).isDir())
            noCopy(destination, files::reasonFor(ENOENT, destination, files::Access::Write));
        if (::mkdir(QFile::encodeName(destination).constData(), 0777) != 0)
            noCopy(destination, files::reasonFor(errno, destination, files::Access::Write));
    }
    prepareFolder(destination, false);
    return makeCopy(*source, destination, QString(), taken, 0, {});
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
        if (d.running)
            return false;
        BackupPace paced = pace;
        paced.cancel = &d.cancel;
        return d.start([&d, collection, now, paced] {
            QString made, error;
            try {
                // A read-only or unusable collection is left alone.
                if (refusalToCopy(collection).isEmpty()) {
                    const auto source = Database::open(collection, connectString());
                    const QString folder = backupFolderOf(source->identity());
                    if (backupDue(folder, now.date())) {
                        prepareFolder(folder, true);
                        made = makeCopy(*source, folder, QString(), now, kCopiesKept, paced);
                    }
                }
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

QString otherCollectionOf(const QString& copy, const QString& collection)
{
    if (!QFileInfo::exists(collection))
        return QString();
    const QString ours = identityOf(collection);
    const QString theirs = identityOf(copy);
    const QString copiedFrom = Database::noteOf(copy, kCopiedFromNote);
    const bool other = !ours.isEmpty() && !theirs.isEmpty()
        ? ours != theirs
        : ours.isEmpty() && !copiedFrom.isEmpty() && copiedFrom != placeOf(collection);
    if (!other)
        return QString();
    const QString whose = copiedFrom.isEmpty() ? QStringLiteral("de outra coleção")
                                               : QStringLiteral("da coleção \"%1\"").arg(copiedFrom);
    return QStringLiteral("A cópia \"%1\" é %2, não de \"%3\".").arg(copy, whose, collection);
}

QString restoreCopy(const QString& copy, const QString& collection, const QDateTime& now, Restored as)
{
    const FileCheck check = Database::check(copy, connectString(), true);
    if (check.problem != FileProblem::None)
        throw EngineError(ErrGeneric, QStringLiteral("A cópia \"%1\" não pode ser restaurada: %2").arg(copy, check.description));
    // The place itself: a link there keeps pointing at the collection, which
    // is what is replaced.
    const QString refusal = files::refusalToWrite(collection);
    if (!refusal.isEmpty())
        throw EngineError(ErrGeneric, QStringLiteral("Nada foi restaurado em \"%1\": %2.").arg(collection, refusal));
    const QString target = files::resolvedPath(collection);
    if (Connection::anyOpenOn(target) || inUseElsewhere(target))
        throw EngineError(ErrLocked, QStringLiteral("Nada foi restaurado: a coleção \"%1\" está em uso (pelo Ulmix ou "
                                                    "por outro programa). Feche-o e tente de novo.").arg(collection));
    const QString building = buildingName(target);
    removeAbandonedBuilds(target);
    RemoveOnFailure guard{building};
    try {
        const auto source = Database::read(copy, connectString());
        copyDatabase(*source, building, target, {});
        if (as == Restored::NewCollection) {
            SqliteConnection restored(building, SqliteConnection::Mode::OpenExisting, target);
            setFileNote(restored, kIdentityNote, newIdentity());
        }
        syncPath(building);
    } catch (const EngineError& e) {
        throw EngineError(e.number(), QStringLiteral("Nada foi restaurado. %1").arg(e.description()));
    }

    const QString folder = QFileInfo(target).absolutePath();
    QString kept;
    if (QFileInfo::exists(target)) {
        for (int number = 1; kept.isEmpty() || QFileInfo::exists(kept); ++number)
            kept = QDir(folder).filePath(datedName(collectionBase() + QStringLiteral("-anterior"), now, number));
        // Linked, so that the collection's name is replaced in one step below.
        const QByteArray from = QFile::encodeName(target);
        if (::link(from.constData(), QFile::encodeName(kept).constData()) != 0 && !QFile::rename(target, kept))
            throw EngineError(ErrGeneric, QStringLiteral("Nada foi restaurado: não foi possível guardar \"%1\".")
                                              .arg(target));
        // The journal goes with its file: beside the restored copy it would
        // be read into it.
        for (const char* suffix : {"-wal", "-journal"}) {
            const QString journal = target + QLatin1String(suffix);
            if (QFileInfo::exists(journal) && !QFile::rename(journal, kept + QLatin1String(suffix)))
                throw EngineError(ErrGeneric, QStringLiteral("Nada foi restaurado: não foi possível guardar \"%1\".")
                                                  .arg(journal));
        }
    }
    QFile::remove(target + QStringLiteral("-shm"));
    if (::rename(QFile::encodeName(building).constData(), QFile::encodeName(target).constData()) != 0)
        throw EngineError(ErrGeneric, QStringLiteral("Não foi possível pôr a cópia no lugar de \"%1\"; o arquivo "
                                                     "anterior está em \"%2\".").arg(collection, kept));
    guard.done = true;
    syncPath(folder);
    return kept;
}

}  // namespace ondrel::db
