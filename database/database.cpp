#include "database.h"

#include "connection.h"
#include "dialect.h"
#include "flavor.h"
#include "filework.h"
#include "folderkind.h"
#include "record.h"
#include "core/values.h"
#include "recordsetimpl.h"
#include "address.h"
#include "pgstore.h"
#include "schema.h"
#include "sqlitestore.h"

#include "core/files.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <QUuid>

#include <sqlite3.h>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <signal.h>
#include <sys/resource.h>
#include <limits>
#include <thread>
#include <unistd.h>

namespace ondrel::db {

namespace {

constexpr const char* kFormatTag = "ondrel-collection-1";

QByteArray passwordHash(const QByteArray& salt, const QString& password)
{
    return QCryptographicHash::hash(salt + password.toUtf8(), QCryptographicHash::Sha256).toHex();
}

// ";pwd=7Borel3" -> "7Borel3"; other keys are ignored. Missing -> null.
QString passwordFromConnect(const QString& connect)
{
    const QStringList parts = connect.split(u';');
    for (const QString& part : parts) {
        const qsizetype eq = part.indexOf(u'=');
        if (eq < 0)
            continue;
        if (part.left(eq).trimmed().compare(QLatin1String("pwd"), Qt::CaseInsensitive) == 0)
            return part.mid(eq + 1);
    }
    return QString();
}

// The notes of the collection's own values (Database::collectionValue)
// begin with it: a file copied to a server takes them along.
constexpr char kValueNote[] = "valor:";

// Noted in a server's collection until its creation has filled it.
constexpr const char* kIncomplete = "incompleta";

// The server collections this process is creating.
QSet<QString>& buildingOnServer()
{
    static QSet<QString> addresses;
    return addresses;
}

[[noreturn]] void notACollection(const QString& path)
{
    throw EngineError(ErrNotADatabase,
                      QStringLiteral("Formato de banco de dados não reconhecido: '%1' não é um banco de dados da coleção.")
                          .arg(path));
}

// Returns whether the file lies in a network folder.
bool configure(Connection& c, bool readOnly, const QString& path)
{
    const bool network = folderKind(path) == FolderKind::Network;
    if (!readOnly) {
        // WAL keeps readers and the writer apart; in a network folder the
        // rollback journal, whose file locks the network serves, where WAL's
        // shared memory would not be shared between the computers. A file
        // another handle keeps in WAL stays so until it is closed. FULL syncs
        // every commit.
        try {
            c.exec(network ? QStringLiteral("PRAGMA journal_mode=DELETE") : QStringLiteral("PRAGMA journal_mode=WAL"));
        } catch (const EngineError& e) {
            if (!network || e.number() != ErrLocked)
                throw;
        }
        c.exec(QStringLiteral("PRAGMA synchronous=FULL"));
    }
    // 16 MB of page cache per handle (the default is 2 MB): a scan of the
    // objects of a large collection (about 4 MB for 32,767 of them) stays in
    // memory for the next one, and the three handles of a session stay well
    // within the memory budget.
    c.exec(QStringLiteral("PRAGMA cache_size=-16000"));
    return network;
}

// One key per file, however its path is spelled; a server's address as it
// is.
QString fileKey(const QString& path)
{
    return locationKey(path);
}

// The paths tests force read-only, read by the index build's and the day's
// copy's threads too.
struct ForcedReadOnly {
    std::mutex mutex;
    QSet<QString> paths;
};

ForcedReadOnly& forcedReadOnly()
{
    static ForcedReadOnly forced;
    return forced;
}

// Stored queries kept in memory for the run, by file and folded name; an
// empty optional is a query deleted in memory.
using MemoryQueries = QHash<QString, std::optional<QString>>;
QHash<QString, MemoryQueries>& storedInMemory()
{
    static QHash<QString, MemoryQueries> queries;
    return queries;
}
// The day's copy reads them on its own thread.
std::mutex& storedInMemoryMutex()
{
    static std::mutex mutex;
    return mutex;
}

struct DeskSource {
    std::mutex mutex;
    std::function<QString()> source;
};

DeskSource& deskSource()
{
    static DeskSource desk;
    return desk;
}

QString currentDesk()
{
    DeskSource& desk = deskSource();
    const std::lock_guard lock(desk.mutex);
    return desk.source ? desk.source() : QString();
}

// The key of the stored queries kept in memory: the file's, and on a
// server the desk's.
QString memoryKey(const QString& path, const std::optional<QString>& desk)
{
    return desk ? fileKey(path) + QLatin1Char('\n') + *desk : fileKey(path);
}

// The three statements a stored query is written with, one per step. On a
// server whose queries are kept per desk the row is also the desk's.
QByteArray queryRowIs(Connection& c, const std::optional<QString>& desk)
{
    return (desk ? QByteArray("desk = ? AND ") : QByteArray()) + c.flavor().queryNameIs();
}

// Binds the desk (when kept) and the name from `first` on.
void bindQueryRow(Statement& st, int first, const std::optional<QString>& desk, const QString& name)
{
    if (desk)
        st.bindText(first++, *desk);
    st.bindText(first, name);
}

void deleteQueryRow(Connection& c, const std::optional<QString>& desk, const QString& name)
{
    ScopedRun run(c.cached("DELETE FROM ondrel_queries WHERE " + queryRowIs(c, desk)));
    bindQueryRow(*run, 1, desk, name);
    run->step();
}

void insertQueryRow(Connection& c, const std::optional<QString>& desk, const QString& name, const QString& sql)
{
    ScopedRun run(c.cached(desk ? "INSERT INTO ondrel_queries (desk, name, sql) VALUES (?, ?, ?)"
                                : "INSERT INTO ondrel_queries (name, sql) VALUES (?, ?)"));
    bindQueryRow(*run, 1, desk, name);
    run->bindText(desk ? 3 : 2, sql);
    run->step();
}

// False when there is no query of that name.
bool updateQueryRow(Connection& c, const std::optional<QString>& desk, const QString& name, const QString& sql)
{
    ScopedRun run(c.cached("UPDATE ondrel_queries SET sql = ? WHERE " + queryRowIs(c, desk)));
    run->bindText(1, sql);
    bindQueryRow(*run, 2, desk, name);
    run->step();
    return c.changes() > 0;
}

bool canWrite(const QString& path)
{
    return ::access(QFile::encodeName(path).constData(), W_OK) == 0;
}

// The journal files beside a file must be writable for a writer: one left
// read-only by an earlier read-only open (a 0444 -shm) is given the file's
// own permissions when it is ours. False when one stays read-only.
bool journalWritable(const QString& path)
{
    for (const char* suffix : {"-wal", "-shm"}) {
        const QString journal = path + QLatin1String(suffix);
        if (!QFileInfo::exists(journal) || canWrite(journal))
            continue;
        QFile::setPermissions(journal, QFile::permissions(path));
        if (!canWrite(journal))
            return false;
    }
    return true;
}

bool writableHere(const QString& path)
{
    const QString key = fileKey(path);
    {
        ForcedReadOnly& forced = forcedReadOnly();
        const std::lock_guard lock(forced.mutex);
        if (forced.paths.contains(key))
            return false;
    }
    return canWrite(path) && canWrite(QFileInfo(path).absolutePath()) && journalWritable(path);
}

// Stored queries are derived data: "pesquisa" is rewritten on every key typed
// into the catalogue's code box and "Imprime" by every ordering. Their writes
// skip the fsync of each commit (WAL keeps them atomic and safe from a killed
// process; the next fully synced commit makes them durable too), so typing
// does not wait on the disk. Records themselves are always written with FULL.
class StoredQueryWrite {
public:
    explicit StoredQueryWrite(Connection& c) : m_c(c) { m_c.relaxCommits(true); }
    ~StoredQueryWrite()
    {
        try {
            m_c.relaxCommits(false);
        } catch (const EngineError&) {
            // Left at NORMAL the handle is still safe from a killed process.
        }
    }
    StoredQueryWrite(const StoredQueryWrite&) = delete;
    StoredQueryWrite& operator=(const StoredQueryWrite&) = delete;

private:
    Connection& m_c;
};

[[noreturn]] void noSuchQuery(const QString& name)
{
    throw EngineError(ErrNoSuchObject, QStringLiteral("Item não encontrado nesta coleção: consulta '%1'.").arg(name));
}

[[noreturn]] void sumOverflow()
{
    throw EngineError(ErrGeneric, QStringLiteral("Estouro de capacidade."));
}

// A table's records and the sum of its currency field (none when past the
// currency range), from one pass over the table.
struct Counted {
    qint64 records = 0;
    std::optional<qint64> total = 0;
};

Counted countPass(Connection& c, const TableInfo& table)
{
    Counted counted;
    const FieldInfo* currency = table.currencyField();
    if (const QByteArray sql = c.flavor().countAndTotal(table, currency); !sql.isEmpty()) {
        // The store adds exactly and says whether the sum fits.
        Statement& st = c.cached(sql);
        ScopedRun run(st);
        if (run->step()) {
            counted.records = run->columnInt(0);
            if (currency && run->columnInt(2) != 1)
                counted.total = std::nullopt;
            else
                counted.total = currency && !run->isNull(1) ? run->columnMoney(1) : 0;
        }
        return counted;
    }
    if (!currency) {
        Statement& st = c.cached("SELECT count(*) FROM " + table.sqlName());
        ScopedRun run(st);
        counted.records = run->step() ? run->columnInt(0) : 0;
        return counted;
    }
    Statement& st = c.cached("SELECT " + currency->column() + " FROM " + table.sqlName());
    ScopedRun run(st);
    qint64 total = 0;
    bool overflow = false;
    while (run->step()) {
        ++counted.records;
        if (!run->isNull(0))
            overflow = overflow || __builtin_add_overflow(total, run->columnInt(0), &total);
    }
    counted.total = overflow ? std::nullopt : std::optional<qint64>(total);
    return counted;
}

// Whether a table's keys matched its rows at the ledger's last count of
// its changes (a file without the ledger: they never did).
bool keyedNow(Connection& c, const QString& table)
{
    const std::unique_ptr<Statement> st = c.prepare("SELECT keyed = changes FROM ondrel_changes WHERE tbl = ?");
    ScopedRun run(*st);
    run->bindText(1, table);
    return run->step() && !run->isNull(0) && run->columnInt(0) == 1;
}

// Writes every folded key of the table that differs from its field's
// folding.
void writeKeys(Connection& c, const TableInfo& table)
{
    QByteArray sets, differ;
    for (const FieldInfo& f : table.fields) {
        if (f.keyColumn.isEmpty())
            continue;
        const QByteArray folded = "ondrel_fold(" + f.column() + ")";
        sets += (sets.isEmpty() ? "" : ", ") + f.keyColumnSql() + " = " + folded;
        differ += (differ.isEmpty() ? "" : " OR ") + f.keyColumnSql() + " IS NOT " + folded;
    }
    if (!sets.isEmpty())
        c.exec(QString::fromUtf8("UPDATE " + table.sqlName() + " SET " + sets + " WHERE " + differ));
}

// Fills the table's search index from its keys, anew.
void fillSearchIndex(Connection& c, const TableInfo& table)
{
    QByteArray keys;
    for (const FieldInfo& f : table.fields)
        if (f.searched)
            keys += ", " + f.keyColumnSql();
    const QByteArray index = quoteIdentifier(table.searchIndex);
    c.exec(QString::fromUtf8("INSERT INTO " + index + " (" + index + ") VALUES ('delete-all')"));
    c.exec(QString::fromUtf8("INSERT INTO " + index + " (rowid" + keys + ") SELECT rowid" + keys + " FROM "
                             + table.sqlName()));
}

// The records the blocks of a table count.
qint64 blocksSum(Connection& c, const TableInfo& table)
{
    Statement& st = c.cached("SELECT coalesce(sum(records), 0) FROM ondrel_blocks WHERE tbl = ?");
    ScopedRun run(st);
    run->bindText(1, table.name);
    return run->step() ? run->columnInt(0) : -1;
}

// Notes in the ledger that the table's keys, count and total match it now.
void stampTable(Connection& c, const TableInfo& table, const Counted& counted)
{
    const std::unique_ptr<Statement> st =
        c.prepare("UPDATE ondrel_changes SET keyed = changes, counted = changes, records = ?, total = ? WHERE tbl = ?");
    ScopedRun run(*st);
    run->bindInt(1, counted.records);
    run->bind(2, counted.total ? QVariant(*counted.total) : QVariant());
    run->bindText(3, table.name);
    run->step();
}

// A collection without an identity (of an earlier format) gets one, when
// its file can be written at once; otherwise at a later open.
void giveIdentity(Connection& c)
{
    if (!fileNote(c, kIdentityNote).isEmpty())
        return;
    try {
        Transaction tx(c, Transaction::Wait::NoWait);
        if (fileNote(c, kIdentityNote).isEmpty())
            setFileNote(c, kIdentityNote, newIdentity());
        tx.commit();
    } catch (const EngineError&) {
        // Locked or read-only after all: tried again at the next open.
    }
}

// A journal beside the place a new file takes would be read into it at its
// first open: the file of that name it belongs to may be gone, or may be a
// file another program has just created there. It is never removed; the
// creation is refused.
void refuseLeftJournal(const QString& path)
{
    for (const char* suffix : {"-wal", "-journal"}) {
        const QString journal = path + QLatin1String(suffix);
        if (QFileInfo::exists(journal) || QFileInfo(journal).isSymLink())
            throw EngineError(ErrGeneric, QStringLiteral("Não foi possível criar a coleção \"%1\": há ao lado dela o "
                                                         "diário \"%2\" de outro arquivo com esse nome. Apague-o, se "
                                                         "não for mais usado, ou escolha outro nome.")
                                              .arg(path, journal));
    }
}

}  // namespace

QString fileNote(Connection& c, const QString& key)
{
    Statement& st = c.cached("SELECT value FROM ondrel_meta WHERE key = ?");
    ScopedRun run(st);
    run->bindText(1, key);
    return run->step() ? run->columnText(0) : QString();
}

void setFileNote(Connection& c, const QString& key, const QString& value)
{
    Statement& st = c.cached(kSetMeta);
    ScopedRun run(st);
    run->bindText(1, key);
    run->bindText(2, value);
    run->step();
}

// What a collection notes of itself that goes with its records when it is
// copied into another store: the highest row ids deleted, its own values
// (the loan period) and its identity (the same collection, elsewhere).
static void carryNotes(Connection& from, Connection& to)
{
    const std::unique_ptr<Statement> meta = from.prepare(
        "SELECT key, value FROM ondrel_meta WHERE key LIKE 'last_deleted_id:%' OR key LIKE '" + QByteArray(kValueNote)
        + "%' OR key = '" + QByteArray(kIdentityNote) + "'");
    ScopedRun run(*meta);
    while (run->step())
        setFileNote(to, run->columnText(0), run->columnText(1));
}

QString newIdentity()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

void syncPath(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    // A folder's sync is only asked for (some file systems refuse it); a
    // file whose data does not reach the disk is a failed write.
    const bool synced = ::fsync(fd) == 0;
    const int error = errno;
    ::close(fd);
    if (!synced && !QFileInfo(path).isDir())
        throw EngineError(ErrGeneric, QStringLiteral("Nada foi gravado em \"%1\": %2.")
                                          .arg(path, files::reasonFor(error, path, files::Access::Write)));
}

QString buildingName(const QString& path)
{
    return path + QStringLiteral(".novo-") + QString::number(::getpid());
}

void removeBuilding(const QString& building)
{
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        QFile::remove(building + QLatin1String(suffix));
}

void removeAbandonedBuilds(const QString& path)
{
    const QFileInfo target(path);
    const QString prefix = target.fileName() + QStringLiteral(".novo-");
    for (const QString& left : QDir(target.absolutePath()).entryList({prefix + u'*'}, QDir::Files | QDir::Hidden)) {
        // The process that built it: the digits after the prefix (a file
        // built for a building is named after the same process again).
        const QString rest = left.mid(prefix.size());
        qsizetype digits = 0;
        while (digits < rest.size() && rest[digits].isDigit())
            ++digits;
        bool number = false;
        const qint64 pid = rest.left(digits).toLongLong(&number);
        if (number && (pid == ::getpid() || (::kill(pid_t(pid), 0) != 0 && errno == ESRCH)))
            QFile::remove(target.absoluteDir().filePath(left));
    }
}

bool linkIntoPlace(const QString& building, const QString& path, int* error)
{
    // A link never replaces a file that appeared meanwhile. A file system
    // without links (a FAT memory stick) gets a rename.
    const QByteArray from = QFile::encodeName(building);
    const QByteArray to = QFile::encodeName(path);
    if (::link(from.constData(), to.constData()) != 0) {
        const bool taken = errno == EEXIST || QFileInfo::exists(path) || QFileInfo(path).isSymLink();
        if (taken || ::rename(from.constData(), to.constData()) != 0) {
            if (error)
                *error = taken ? EEXIST : errno;
            return false;
        }
    }
    removeBuilding(building);
    syncPath(QFileInfo(path).absolutePath());
    return true;
}

void checkIntegrity(Connection& c, const QString& shownPath)
{
    const std::unique_ptr<Statement> check = c.prepare("PRAGMA integrity_check");
    ScopedRun run(*check);
    if (!run->step() || run->columnText(0) != QLatin1String("ok"))
        throw EngineError(ErrDamaged, QStringLiteral("O arquivo da coleção \"%1\" está danificado.").arg(shownPath));
}

QString literal(const QString& value)
{
    QString out = value;
    out.replace(u'\'', QStringLiteral("''"));
    return out;
}

struct Database::OpenedFile {
    std::unique_ptr<Connection> connection;
    bool server = false;
    std::shared_ptr<void> privateCopy;
    QString path;
    bool readOnly = false;
    QString notice;
};

Database::Database(OpenedFile opened)
    : m_privateCopy(std::move(opened.privateCopy)), m_path(opened.path), m_key(fileKey(opened.path)),
      m_readOnly(opened.readOnly), m_notice(opened.notice),
      m_connection(std::move(opened.connection)), m_schema(std::make_unique<Schema>(Schema::load(*m_connection))),
      m_translations(std::make_unique<TranslationCache>(*m_schema)),
      m_schemaVersion(m_connection->schemaVersion())
{
    m_identity = fileNote(*m_connection, kIdentityNote);
    if (opened.server && m_connection->columnsOf(QStringLiteral("ondrel_queries")).contains(QStringLiteral("desk"))) {
        m_desk = currentDesk();
        m_key = memoryKey(m_path, m_desk);
    }
    refreshFileState();
}

Database::~Database() = default;

Database::OpenedFile Database::openFile(const QString& path, const QString& connect, bool forceReadOnly)
{
    if (!QFileInfo(path).isFile()) {
        // Never opened: a FIFO would wait for a writer, a device be read.
        const QString other = files::notAFile(path);
        if (!other.isEmpty())
            throw EngineError(ErrNotAFile, files::sentence(other));
        throw EngineError(ErrFileNotFound, QStringLiteral("Não foi possível encontrar o arquivo '%1'.").arg(path));
    }
    if (::access(QFile::encodeName(path).constData(), R_OK) != 0)
        throw EngineError(ErrUnreadable, QStringLiteral("Sem permissão para ler o arquivo '%1'.").arg(path));
    OpenedFile opened;
    opened.path = path;
    opened.readOnly = forceReadOnly || !writableHere(path);
    if (!opened.readOnly) {
        opened.connection = std::make_unique<SqliteConnection>(path, SqliteConnection::Mode::OpenExisting);
    } else {
        // Read-only: opened immutable, so nothing is created beside it. An
        // immutable open does not read the journal; changes still waiting in
        // it are read from a private copy of the file and its journal.
        QString target = path;
        const QString journal = path + QStringLiteral("-wal");
        if (QFileInfo(journal).size() > 0) {
            auto copy = std::make_shared<QTemporaryDir>();
            const QString copied = copy->filePath(QStringLiteral("livrano.mdb"));
            if (copy->isValid() && QFile::copy(path, copied) && QFile::copy(journal, copied + QStringLiteral("-wal"))) {
                QFile::setPermissions(copied, QFile::ReadOwner | QFile::WriteOwner);
                QFile::setPermissions(copied + QStringLiteral("-wal"), QFile::ReadOwner | QFile::WriteOwner);
                SqliteConnection(copied, SqliteConnection::Mode::OpenExisting, path)
                    .exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
                target = copied;
                opened.privateCopy = copy;
            }
        }
        opened.connection = std::make_unique<SqliteConnection>(target, SqliteConnection::Mode::ReadOnly, path);
    }
    Connection& c = *opened.connection;
    QString tag, salt, hash;
    try {
        tag = fileNote(c, "format");
        salt = fileNote(c, "salt");
        hash = fileNote(c, "password");
    } catch (const EngineError& e) {
        // A file that cannot be read now (the disk full, a read error) says
        // so; it is not taken for another program's file.
        const int code = e.storeCode() & 0xff;
        if (e.number() == ErrDamaged || code == SQLITE_FULL || code == SQLITE_IOERR || code == SQLITE_NOMEM
            || code == SQLITE_CANTOPEN)
            throw;
        notACollection(path);
    }
    if (tag != QLatin1String(kFormatTag))
        notACollection(path);
    if (passwordHash(salt.toLatin1(), passwordFromConnect(connect)) != hash.toLatin1())
        throw EngineError(ErrBadPassword, QStringLiteral("Senha inválida."));
    if (configure(c, opened.readOnly, path))
        opened.notice = networkFolderNotice(path);
    return opened;
}

namespace {

// A collection made before a field of the format (a file, or one on a
// server) gains it when first opened for writing: a column added is a change
// of the tables' description alone, done in a moment whatever the number of
// records. Another writer holding the collection puts it off to a later
// open, and a file or a server user that may only read never gains it; the
// collection works without it meanwhile.
void addMissingFields(Connection& c)
{
    if (!Schema::lacksFields(c))
        return;
    try {
        Transaction tx(c, Transaction::Wait::NoWait);
        if (Schema::lacksFields(c))
            Schema::collection().addFieldsIn(c);
        tx.commit();
    } catch (const EngineError& e) {
        if (e.number() != ErrLocked && e.number() != ErrReadOnly)
            throw;
    }
}

// A collection shared before the server kept pictures gains their tables.
void addPictureTablesWhenMissing(Connection& c)
{
    auto& server = static_cast<PgConnection&>(c);
    if (server.hasSchemaObject(QStringLiteral("ondrel_object_pictures")))
        return;
    try {
        Transaction tx(c, Transaction::Wait::NoWait);
        addPictureTables(server);
        tx.commit();
    } catch (const EngineError& e) {
        if (e.number() != ErrLocked && e.number() != ErrReadOnly)
            throw;
    }
}

}  // namespace

Database::OpenedFile Database::openServer(const QString& address)
{
    OpenedFile opened;
    opened.path = address.trimmed();
    opened.connection = std::make_unique<PgConnection>(opened.path);
    opened.server = true;
    const QString shown = opened.connection->shownName();
    // The server's own authentication stands for the file's password.
    QString tag;
    try {
        tag = fileNote(*opened.connection, "format");
    } catch (const EngineError& e) {
        if (e.number() == ErrUnreachable)
            throw;
        notACollection(shown);
    }
    if (tag != QLatin1String(kFormatTag))
        notACollection(shown);
    // A collection still being filled is one only for the creation filling it.
    if (!fileNote(*opened.connection, kIncomplete).isEmpty() && !buildingOnServer().contains(opened.path))
        notACollection(shown);
    return opened;
}

std::shared_ptr<Database> Database::open(const QString& path, const QString& connect)
{
    if (isServerAddress(path)) {
        OpenedFile opened = openServer(path);
        addMissingFields(*opened.connection);
        static_cast<PgConnection&>(*opened.connection).keepQueriesPerDesk();
        addPictureTablesWhenMissing(*opened.connection);
        return std::shared_ptr<Database>(new Database(std::move(opened)));
    }
    OpenedFile opened = openFile(path, connect, false);
    if (!opened.readOnly) {
        giveIdentity(*opened.connection);
        addMissingFields(*opened.connection);
    }
    return std::shared_ptr<Database>(new Database(std::move(opened)));
}

std::shared_ptr<Database> Database::read(const QString& path, const QString& connect)
{
    if (isServerAddress(path))
        return std::shared_ptr<Database>(new Database(openServer(path)));
    return std::shared_ptr<Database>(new Database(openFile(path, connect, false)));
}

FileCheck Database::check(const QString& path, const QString& connect, bool thorough)
{
    FileCheck result;
    try {
        const auto database = read(path, connect);
        result.readOnly = database->readOnly();
        if (thorough)
            checkIntegrity(database->connection(), path);
    } catch (const EngineError& e) {
        result.problem = problemOf(e);
        result.description = e.description();
    }
    return result;
}

FileProblem problemOf(const EngineError& error)
{
    switch (error.number()) {
    case ErrFileNotFound: return FileProblem::Missing;
    case ErrUnreadable: return FileProblem::Unreadable;
    case ErrNotAFile: return FileProblem::NotAFile;
    case ErrNotADatabase: return FileProblem::NotACollection;
    case ErrBadPassword: return FileProblem::WrongPassword;
    case ErrLocked: return FileProblem::Locked;
    case ErrUnreachable: return FileProblem::Unreachable;
    default: return FileProblem::Damaged;
    }
}

QString describeProblem(const QString& path, FileProblem problem, const QString& told)
{
    if (isServerAddress(path)) {
        if (problem == FileProblem::Unreachable && !told.isEmpty())
            return told + QStringLiteral(" As janelas ficarão vazias e nada será gravado.");
        QString reason;
        switch (problem) {
        case FileProblem::None:
            return QString();
        case FileProblem::NotACollection:
            reason = QStringLiteral("o banco de dados não é uma coleção do Ulmix (está vazio ou é de outro programa)");
            break;
        case FileProblem::Locked: reason = QStringLiteral("outra gravação a mantém ocupada"); break;
        default:
            reason = QStringLiteral("o servidor não pode ser alcançado ou recusou a conexão");
        }
        return QStringLiteral("Não foi possível abrir a coleção \"%1\": %2. As janelas ficarão vazias e nada será "
                              "gravado.")
            .arg(shownAddress(path), reason);
    }
    QString reason;
    switch (problem) {
    case FileProblem::None:
    case FileProblem::Missing:
        return QString();
    case FileProblem::Unreadable: reason = QStringLiteral("não há permissão para ler este arquivo"); break;
    case FileProblem::NotAFile: reason = files::notAFile(path); break;
    case FileProblem::NotACollection:
        reason = QStringLiteral("o arquivo não é uma coleção do Ulmix (está vazio ou é de outro programa)");
        break;
    case FileProblem::WrongPassword: reason = QStringLiteral("a senha não confere"); break;
    case FileProblem::Damaged: reason = QStringLiteral("o arquivo está danificado"); break;
    case FileProblem::Locked: reason = QStringLiteral("outro programa a mantém bloqueada"); break;
    case FileProblem::Unreachable: reason = QStringLiteral("o arquivo não pode ser alcançado"); break;
    }
    return QStringLiteral("Não foi possível abrir a coleção \"%1\": %2. As janelas ficarão vazias e nada será "
                          "gravado no arquivo.")
        .arg(QDir::toNativeSeparators(path), reason);
}

void forceReadOnlyOpen(const QString& path, bool force)
{
    const QString key = fileKey(path);
    ForcedReadOnly& forced = forcedReadOnly();
    const std::lock_guard lock(forced.mutex);
    if (force)
        forced.paths.insert(key);
    else
        forced.paths.remove(key);
}

namespace {

FileThread& indexBuild()
{
    static FileThread build;
    return build;
}

}  // namespace

bool FileThread::start(std::function<void()> work)
{
    if (running)
        return false;
    if (thread.joinable())
        thread.join();  // the work before, already ended
    cancel = false;
    running = true;
    try {
        thread = std::thread([this, work = std::move(work)] {
            ::setpriority(PRIO_PROCESS, ::gettid(), 10);
            work();
            running = false;
        });
    } catch (const std::exception&) {
        running = false;
        return false;
    }
    return true;
}

void FileThread::finish(bool stop)
{
    if (stop)
        cancel = true;
    if (thread.joinable())
        thread.join();
}

bool startBuildingIndexes(const QString& path, const QString& connect)
{
    FileThread& b = indexBuild();
    return b.start([&b, path, connect] {
        try {
            Database::buildIndexes(path, connect, &b.cancel);
        } catch (const EngineError& e) {
            // A locked or unusable file is tried again at the next start.
            if (!b.cancel && e.number() != ErrLocked && e.number() != ErrFileNotFound)
                std::fprintf(stderr, "ondrel: índices da coleção: %s\n", qPrintable(e.description()));
        } catch (const std::exception& e) {
            std::fprintf(stderr, "ondrel: índices da coleção: %s\n", e.what());
        }
    });
}

bool buildingIndexes()
{
    return indexBuild().running;
}

void finishBuildingIndexes(bool cancel)
{
    indexBuild().finish(cancel);
}

void Database::createOnServer(const QString& address, const std::function<void(const QString&)>& fill)
{
    {
        PgConnection c(address);
        if (!c.isEmptyDatabase())
            throw EngineError(ErrGeneric,
                              QStringLiteral("O banco de dados \"%1\" não está vazio: uma coleção nova só é criada num "
                                             "banco de dados vazio.").arg(c.shownName()));
        Transaction tx(c);
        Schema::collection().createIn(c);
        setFileNote(c, "format", QString::fromLatin1(kFormatTag));
        setFileNote(c, kIncomplete, QStringLiteral("1"));
        setFileNote(c, kIdentityNote, newIdentity());
        tx.commit();
    }
    // The collection is one once its contents are complete: an interrupted
    // creation leaves a database no one else opens as one, as a file is
    // built under a temporary name.
    PgConnection c(address);
    const QString key = address.trimmed();
    try {
        buildingOnServer().insert(key);
        if (fill)
            fill(address);
        buildingOnServer().remove(key);
        Transaction tx(c);
        const std::unique_ptr<Statement> done = c.prepare("DELETE FROM ondrel_meta WHERE key = ?");
        ScopedRun run(*done);
        run->bindText(1, QString::fromLatin1(kIncomplete));
        run->step();
        tx.commit();
    } catch (...) {
        buildingOnServer().remove(key);
        c.exec(QStringLiteral("DROP TABLE IF EXISTS objetos, \"empréstimos\", ondrel_meta, ondrel_fields, "
                              "ondrel_queries, ondrel_changes, ondrel_blocks CASCADE; DROP FUNCTION IF EXISTS "
                              "ondrel_fold(text), ondrel_count_change(), ondrel_objetos_keys(), "
                              "ondrel_emprestimos_keys(), ondrel_tell_desks() CASCADE"));
        throw;
    }
}

namespace {

// A value in COPY's text format: \N for an empty one, the rest escaped.
void appendCopyValue(QByteArray& line, const QVariant& value, const FieldInfo* field)
{
    if (value.isNull()) {
        line += "\\N";
        return;
    }
    QByteArray text;
    if (field && field->type == FieldType::Currency) {
        const qint64 units = value.toLongLong();
        const quint64 magnitude = units < 0 ? quint64(-(units + 1)) + 1 : quint64(units);
        text = (units < 0 ? "-" : "") + QByteArray::number(magnitude / 10000) + '.'
            + QByteArray::number(magnitude % 10000).rightJustified(4, '0');
    } else if (field && field->type == FieldType::Date) {
        text = dateToStorage(value.toDate()).toUtf8();
    } else {
        text = value.toString().toUtf8();
    }
    for (const char ch : std::as_const(text)) {
        switch (ch) {
        case '\\': line += "\\\\"; break;
        case '\t': line += "\\t"; break;
        case '\n': line += "\\n"; break;
        case '\r': line += "\\r"; break;
        default: line += ch;
        }
    }
}

}  // namespace

QVector<PictureOutOfReach> Database::copyToServer(const QString& file, const QString& connect, const QString& address)
{
    const std::shared_ptr<Database> source = open(file, connect);
    auto& from = static_cast<SqliteConnection&>(source->connection());
    PgConnection to(address);
    if (!to.isEmptyDatabase())
        throw EngineError(ErrGeneric, QStringLiteral("O banco de dados \"%1\" não está vazio: uma coleção só é copiada "
                                                     "num banco de dados vazio.").arg(to.shownName()));
    const Schema format = Schema::collection();
    Transaction tx(to);
    const QVector<TableInfo> tables = to.createTables(format);
    for (const TableInfo& target : tables) {
        const TableInfo& table = *source->schema().table(target.name);
        // The row id, the fields as the program reads them, the keys as it
        // folds them.
        QByteArrayList names;
        const bool counted = std::any_of(target.fields.cbegin(), target.fields.cend(),
                                         [](const FieldInfo& f) { return f.type == FieldType::Counter; });
        if (!counted)
            names.append("ondrel_id");
        QByteArray select = "SELECT rowid";
        for (const FieldInfo& f : target.fields) {
            names.append(f.column());
            select += ", " + (table.indexOf(f.name) >= 0 ? f.column() : QByteArray("NULL"));
        }
        for (const FieldInfo& f : target.fields)
            if (!f.keyColumn.isEmpty())
                names.append(f.keyColumnSql());
        const std::unique_ptr<Statement> rows = from.prepare(select + " FROM " + table.sqlName() + " ORDER BY rowid");
        ScopedRun run(*rows);
        to.copyIn("COPY " + target.sqlName() + " (" + names.join(", ") + ") FROM STDIN", [&](QByteArray& chunk) {
            while (chunk.size() < (1 << 20)) {
                if (!run->step())
                    return false;
                QByteArray line;
                QVector<QVariant> values;
                if (!counted) {
                    line += QByteArray::number(run->columnInt(0));
                    line += '\t';
                }
                for (int i = 0; i < target.fields.size(); ++i) {
                    const FieldInfo& f = target.fields[i];
                    values.append(f.type == FieldType::Counter ? QVariant(run->columnInt(0)) : readColumn(f, *run, i + 1));
                    if (i > 0)
                        line += '\t';
                    appendCopyValue(line, values.last(), &f);
                }
                for (int i = 0; i < target.fields.size(); ++i) {
                    if (target.fields[i].keyColumn.isEmpty())
                        continue;
                    line += '\t';
                    appendCopyValue(line, values[i].isNull() ? QVariant() : QVariant(foldText(values[i].toString())),
                                    nullptr);
                }
                chunk += line + '\n';
            }
            return true;
        });
    }
    // The automatic numbers go on from where the file's went, never again
    // giving a number a deleted loan had.
    for (const TableInfo& target : tables) {
        for (const FieldInfo& f : target.fields) {
            if (f.type != FieldType::Counter)
                continue;
            qint64 last = 0;
            if (from.hasSchemaObject(QStringLiteral("sqlite_sequence"))) {
                const std::unique_ptr<Statement> seq = from.prepare("SELECT seq FROM sqlite_sequence WHERE name = ?");
                ScopedRun run(*seq);
                run->bindText(1, target.name);
                last = run->step() ? run->columnInt(0) : 0;
            }
            const std::unique_ptr<Statement> setval = to.prepare(
                "SELECT setval(pg_get_serial_sequence(?, ?), greatest(?, (SELECT coalesce(max(" + f.column() + "), 0) FROM "
                + target.sqlName() + ")) + 1, false)");
            ScopedRun run(*setval);
            run->bindText(1, QString::fromUtf8(target.sqlName()));
            run->bindText(2, f.name);
            run->bindInt(3, last);
            run->step();
        }
    }
    carryNotes(from, to);
    {
        // The file's "pesquisa" and "Imprime" become this desk's; other
        // stored queries every desk's.
        const QString desk = currentDesk();
        const std::unique_ptr<Statement> queries = from.prepare("SELECT name, sql FROM ondrel_queries");
        ScopedRun run(*queries);
        while (run->step()) {
            const QString name = run->columnText(0);
            insertQueryRow(to, keptPerDesk(name) ? desk : QString(), name, run->columnText(1));
        }
    }
    to.createIndexes(format);
    to.createLedger(tables);
    // The counts and totals kept, checked against the file's.
    const Schema copied = Schema::load(to);
    for (const TableInfo& t : copied.tables()) {
        const Counted there = countPass(to, t);
        const Counted here = countPass(from, *source->schema().table(t.name));
        if (there.records != here.records || there.total != here.total)
            throw EngineError(ErrGeneric, QStringLiteral("A cópia da tabela \"%1\" não confere com o arquivo: nada foi "
                                                         "copiado.").arg(t.name));
        stampTable(to, t, there);
    }
    setFileNote(to, "format", QString::fromLatin1(kFormatTag));
    // The same collection, moved: its copies stay its copies.
    const QString identity = source->identity();
    setFileNote(to, kIdentityNote, identity.isEmpty() ? newIdentity() : identity);
    const QVector<PictureOutOfReach> outOfReach = storeCopiedPictures(to);
    tx.commit();
    return outOfReach;
}

void Database::copyToFile(const QString& source, const QString& connect, const QString& file,
                          const std::atomic<bool>* cancel)
{
    const std::shared_ptr<Database> from = open(source, connect);
    Connection& reading = from->connection();
    // One state of the collection, whoever writes meanwhile.
    reading.beginSnapshot();
    struct End {
        Connection& c;
        ~End() { c.endSnapshot(); }
    } end{reading};
    create(file, passwordFromConnect(connect), [&](const QString& building) {
        const std::shared_ptr<Database> to = open(building, connect);
        Transaction tx(to->connection());
        for (const TableInfo& table : to->schema().tables()) {
            // Every record in the table's order, a few thousand at a time
            // from the last row id read, each field as the program reads it
            // (a counter keeps its number); keys, search index and the
            // ledger's count and total as a new record gets them.
            const TableInfo& there = *from->schema().table(table.name);
            QVector<int> fields;
            QByteArray columns = there.rowid();
            for (int i = 0; i < table.fields.size(); ++i) {
                if (there.indexOf(table.fields[i].name) < 0)
                    continue;
                fields.append(i);
                columns += ", " + there.fields[there.indexOf(table.fields[i].name)].column();
            }
            const std::unique_ptr<Statement> rows = reading.prepare("SELECT " + columns + " FROM " + there.sqlName()
                                                                    + " WHERE " + there.rowid() + " > ? ORDER BY "
                                                                    + there.rowid() + " LIMIT 4096");
            RecordBatch batch(to->connection(), table);
            qint64 after = std::numeric_limits<qint64>::min();
            for (bool more = true; more;) {
                if (cancel && cancel->load())
                    throw EngineError(ErrGeneric, QStringLiteral("A cópia de \"%1\" foi interrompida.")
                                                      .arg(from->connection().shownName()));
                ScopedRun run(*rows);
                run->bindInt(1, after);
                more = false;
                while (run->step()) {
                    more = true;
                    after = run->columnInt(0);
                    QVector<QVariant> values;
                    for (int k = 0; k < fields.size(); ++k)
                        values.append(readColumn(there.fields[there.indexOf(table.fields[fields[k]].name)], *run, k + 1));
                    batch.insert(fields, values);
                }
            }
            batch.finish();
        }
        carryNotes(reading, to->connection());
        tx.commit();
        // This desk's "pesquisa" and "Imprime", and the stored queries
        // every desk shares, so that the copy works alone; another desk's
        // stay on the server.
        for (const QString& name : {QStringLiteral("pesquisa"), QStringLiteral("Imprime")}) {
            if (from->hasQueryDef(name))
                to->writeQueryDef(name, from->queryDefSql(name));
            else
                to->deleteQueryDef(name);
        }
        Transaction others(to->connection());
        for (const QString& name : from->storedQueryNames())
            if (!keptPerDesk(name))
                insertQueryRow(to->connection(), std::nullopt, name, from->queryDefSql(name));
        others.commit();
        // The count and the total of each table, checked against the
        // collection's.
        for (const TableInfo& table : to->schema().tables()) {
            const FieldInfo* currency = table.currencyField();
            if (to->countRecords(table.name) != from->countRecords(table.name)
                || (currency && to->sumField(table.name, currency->name) != from->sumField(table.name, currency->name)))
                throw EngineError(ErrGeneric, QStringLiteral("A cópia da tabela \"%1\" não confere com a coleção \"%2\": "
                                                             "nada foi copiado.").arg(table.name, from->connection().shownName()));
        }
    });
}

void Database::create(const QString& path, const QString& password, const std::function<void(const QString&)>& fill)
{
    if (isServerAddress(path)) {
        createOnServer(path, fill);
        return;
    }
    // An unusable place is refused before anything is built.
    const QString refusal = files::refusalToWrite(path);
    if (!refusal.isEmpty())
        throw EngineError(ErrGeneric, QStringLiteral("Não foi possível criar a coleção \"%1\": %2.").arg(path, refusal));
    if (QFileInfo::exists(path) || QFileInfo(path).isSymLink())
        throw EngineError(ErrGeneric, QStringLiteral("O arquivo '%1' já existe.").arg(path));
    refuseLeftJournal(path);
    const QString building = buildingName(path);
    removeAbandonedBuilds(path);
    RemoveOnFailure guard{building};
    try {
        {
            SqliteConnection connection(building, SqliteConnection::Mode::CreateNew, path);
            configure(connection, false, path);
            Transaction tx(connection);
            Schema::collection().createIn(connection);
            const QByteArray salt = QByteArray::number(QRandomGenerator::system()->generate64(), 16)
                + QByteArray::number(QRandomGenerator::system()->generate64(), 16);
            setFileNote(connection, "format", QString::fromLatin1(kFormatTag));
            setFileNote(connection, "salt", QString::fromLatin1(salt));
            setFileNote(connection, "password", QString::fromLatin1(passwordHash(salt, password)));
            setFileNote(connection, kIdentityNote, newIdentity());
            tx.commit();
        }
        if (fill)
            fill(building);
        {
            // Everything into the file itself: the journal is named after the
            // temporary name and would not follow the rename.
            SqliteConnection connection(building, SqliteConnection::Mode::OpenExisting, path);
            connection.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
        }
        if (QFileInfo(building + QStringLiteral("-wal")).size() > 0)
            throw EngineError(ErrGeneric, QStringLiteral("Não foi possível concluir o arquivo '%1'.").arg(path));
        syncPath(building);
    } catch (const EngineError& e) {
        // Said of the file being created, not of its temporary name.
        QString description = e.description();
        throw EngineError(e.number(), description.replace(building, path), e.storeCode(), e.statement());
    }
    refuseLeftJournal(path);
    if (!linkIntoPlace(building, path))
        throw EngineError(ErrGeneric, QStringLiteral("O arquivo '%1' já existe.").arg(path));
    guard.done = true;
}

QString Database::identity() const
{
    return m_identity;
}

QString Database::noteOf(const QString& path, const char* key)
{
    try {
        if (!QFileInfo(path).isFile())
            return QString();
        SqliteConnection c(path, SqliteConnection::Mode::ReadOnly);
        return fileNote(c, key);
    } catch (const EngineError&) {
        return QString();
    }
}

QString Database::path() const
{
    return m_path;
}

bool Database::readOnly() const
{
    return m_readOnly;
}

QString Database::openingNotice() const
{
    return m_notice;
}

Connection& Database::connection() const
{
    return *m_connection;
}

const Schema& Database::schema() const
{
    return *m_schema;
}

std::shared_ptr<Recordset> Database::openRecordset(const QString& source, RecordsetType type)
{
    return makeRecordset(shared_from_this(), planFor(source), type, source);
}

SelectPlan Database::planFor(const QString& source)
{
    refreshFileState();
    SelectPlan plan;
    if (startsWithSelect(source)) {
        plan = translateSelect(source);
    } else if (const TableInfo* table = m_schema->table(source.trimmed())) {
        plan = tablePlan(*table);
    } else if (const std::optional<QString> stored = storedQuerySql(source.trimmed())) {
        plan = translateSelect(*stored);
    } else {
        throw EngineError(ErrNoSuchObject,
                          QStringLiteral("O mecanismo de banco de dados não pôde encontrar a tabela ou consulta de "
                                         "entrada '%1'.").arg(source));
    }
    return plan;
}

qint64 Database::countRecords(const QString& table)
{
    const TableInfo* info = m_schema->table(table);
    if (!info)
        throw EngineError(ErrNoSuchObject, QStringLiteral("Item não encontrado nesta coleção: tabela '%1'.").arg(table));
    return tally(*info).records;
}

qint64 Database::sumField(const QString& source, const QString& field)
{
    const SelectPlan plan = planFor(source);
    const TableInfo& table = *plan.table;
    const int index = table.indexOf(field);
    if (index < 0)
        throw EngineError(ErrNoField, QStringLiteral("Item não encontrado nesta coleção: '%1'.").arg(field));
    const FieldInfo& f = table.fields[index];
    if (plan.where.isEmpty() && &f == table.currencyField()) {
        const Tally& counted = tally(table);
        if (!counted.total)
            sumOverflow();
        return *counted.total;
    }
    QByteArray sql = "SELECT " + f.column() + " FROM " + table.sqlName();
    if (!plan.where.isEmpty())
        sql += " WHERE " + plan.where.sql;
    Statement& st = m_connection->cached(sql);
    ScopedRun run(st);
    for (int i = 0; i < plan.where.params.size(); ++i)
        run->bind(i + 1, plan.where.params[i]);
    qint64 total = 0;
    while (run->step()) {
        const QVariant value = readColumn(f, *run, 0);
        if (!value.isNull() && __builtin_add_overflow(total, value.toLongLong(), &total))
            sumOverflow();
    }
    return total;
}

std::optional<qint64> Database::recordsBefore(const TableInfo& table, qint64 rowid)
{
    refreshFileState();
    if (!table.blocksKept || !table.ledgered)
        return std::nullopt;
    const Tally& counted = tally(table);
    // One statement, so one snapshot: the table's version, what its blocks
    // count in all, and the blocks before the row's own and the records
    // before it in its block.
    Statement& st = m_connection->cached(
        "SELECT (SELECT changes FROM ondrel_changes WHERE tbl = ?1), "
        "(SELECT sum(records) FROM ondrel_blocks WHERE tbl = ?1), "
        "(SELECT coalesce(sum(records), 0) FROM ondrel_blocks WHERE tbl = ?1 AND block < ?2) + (SELECT count(*) FROM "
        + table.sqlName() + " WHERE " + table.rowid() + " >= ?3 AND " + table.rowid() + " < ?4)");
    ScopedRun run(st);
    const qint64 block = rowid >> kBlockShift;
    run->bindText(1, table.name);
    run->bindInt(2, block);
    run->bindInt(3, block << kBlockShift);
    run->bindInt(4, rowid);
    // Blocks that disagree with the table's count (another program's
    // REPLACE deletes records without their triggers) are not used until the
    // next index build counts them again; nor are those of a version the
    // count was not taken at.
    if (!run->step() || run->columnInt(0) != counted.version || run->columnInt(1) != counted.records)
        return std::nullopt;
    return run->columnInt(2);
}

qint64 Database::tableVersion(const TableInfo& table)
{
    refreshFileState();
    Connection& c = *m_connection;
    if (table.ledgered) {
        Statement& st = c.cached("SELECT changes FROM ondrel_changes WHERE tbl = ?");
        ScopedRun run(st);
        run->bindText(1, table.name);
        if (run->step())
            return run->columnInt(0);
    }
    // Without the ledger: the other handles' commits and this handle's
    // writes (negative, so never taken for a count of the ledger's).
    return -1 - ((c.fileVersion().first << 32) + c.writesTo(table.name));
}

const Database::Tally& Database::tally(const TableInfo& table)
{
    Connection& c = *m_connection;
    refreshFileState();
    if (table.ledgered) {
        // Kept in the file by the layer's own writes and by its last count.
        Statement& st = c.cached("SELECT changes, counted, records, total, " + c.flavor().keptTotalType()
                                 + " FROM ondrel_changes WHERE tbl = ?");
        ScopedRun run(st);
        run->bindText(1, table.name);
        if (run->step() && !run->isNull(1) && !run->isNull(2) && run->columnInt(1) == run->columnInt(0)) {
            const QByteArrayView type = run->columnUtf8(4);
            Tally kept{run->columnInt(0), run->columnInt(2), std::nullopt};
            if (!table.currencyField() || type == "integer")
                kept.total = table.currencyField() ? run->columnInt(3) : 0;
            if (!table.currencyField() || type == "integer" || type == "null")
                return *m_tallies.insert(table.name, kept);
        }
    }
    const qint64 version = tableVersion(table);
    const auto known = m_tallies.constFind(table.name);
    if (known != m_tallies.cend() && known->version == version)
        return *known;
    // One snapshot for the version and the pass.
    Tally fresh;
    {
        const bool ownSnapshot = !c.inTransaction();
        if (ownSnapshot)
            c.beginSnapshot();
        struct EndSnapshot {
            Connection& c;
            bool own;
            ~EndSnapshot()
            {
                if (own)
                    c.endSnapshot();
            }
        } end{c, ownSnapshot};
        fresh.version = tableVersion(table);
        const Counted counted = countPass(c, table);
        fresh.records = counted.records;
        fresh.total = counted.total;
    }
    if (table.ledgered && !m_readOnly) {
        // Kept for the next handle too, when the file can be written at once.
        try {
            StoredQueryWrite relaxed(c);
            Transaction tx(c, Transaction::Wait::NoWait);
            Statement& st = c.cached("UPDATE ondrel_changes SET counted = ?1, records = ?2, total = ?3 "
                                     "WHERE tbl = ?4 AND changes = ?1");
            ScopedRun run(st);
            run->bindInt(1, fresh.version);
            run->bindInt(2, fresh.records);
            run->bind(3, fresh.total ? QVariant(*fresh.total) : QVariant());
            run->bindText(4, table.name);
            run->step();
            tx.commit();
        } catch (const EngineError&) {
            // Kept in memory for this handle.
        }
    }
    return *m_tallies.insert(table.name, fresh);
}

void Database::refreshFileState()
{
    Connection& c = *m_connection;
    const QPair<qint64, qint64> version = c.fileVersion();
    if (m_stateAt == version)
        return;
    m_stateAt = version;
    bool changed = false;
    const qint64 schema = c.schemaVersion();
    if (schema != m_schemaVersion) {
        m_schema->takeFileDetails(Schema::load(c));
        m_schemaVersion = schema;
        changed = true;
    }
    for (const TableInfo& info : m_schema->tables()) {
        TableInfo& t = *m_schema->table(info.name);
        bool usable = true;
        if (t.ledgered) {
            Statement& st = c.cached("SELECT keyed = changes FROM ondrel_changes WHERE tbl = ?");
            ScopedRun run(st);
            run->bindText(1, t.name);
            usable = run->step() && !run->isNull(0) && run->columnInt(0) == 1;
        }
        if (usable != t.keysUsable) {
            t.keysUsable = usable;
            changed = true;
        }
    }
    if (changed)
        m_translations->clear();
}

void Database::buildIndexes(const QString& path, const QString& connect, const std::atomic<bool>* cancel)
{
    // A collection on a server gets its format when it is created, and the
    // indexes and the triggers telling the desks of changes added since then
    // here.
    if (isServerAddress(path)) {
        OpenedFile opened = openServer(path);
        auto& c = static_cast<PgConnection&>(*opened.connection);
        try {
            Transaction tx(c);
            c.addLaterIndexes();
            c.addChangeNotices();
            tx.commit();
        } catch (const EngineError& e) {
            // A server user that may only read leaves them to one who writes.
            if (e.number() != ErrReadOnly)
                throw;
        }
        return;
    }
    OpenedFile opened = openFile(path, connect, false);
    if (opened.readOnly)
        return;
    auto& c = static_cast<SqliteConnection&>(*opened.connection);
    // The sorts of the index build want more pages than a window's handle.
    c.exec(QStringLiteral("PRAGMA cache_size=-32000"));
    if (cancel)
        sqlite3_progress_handler(
            c.handle(), 10000, [](void* flag) { return static_cast<const std::atomic<bool>*>(flag)->load() ? 1 : 0; },
            const_cast<std::atomic<bool>*>(cancel));
    const Schema format = Schema::collection();
    const bool ledger = c.hasSchemaObject(QStringLiteral("ondrel_changes"));
    const auto due = [&] {
        if (Schema::lacksIndexes(c))
            return true;
        for (const TableInfo& t : format.tables())
            if (!keyedNow(c, t.name))
                return true;
        return false;
    };
    if (!due())
        return;
    Transaction tx(c);
    if (!due())
        return;  // built by another handle meanwhile
    QStringList searchIndexes;
    for (const TableInfo& t : format.tables())
        if (!t.searchIndex.isEmpty() && c.hasSchemaObject(t.searchIndex))
            searchIndexes.append(t.searchIndex);
    // The keys first, the indexes over them after: an index is built faster
    // over filled columns than kept while they fill.
    format.addKeyColumnsIn(c);
    QStringList rekeyed;
    {
        const Schema file = Schema::load(c);
        for (const TableInfo& t : file.tables()) {
            if (ledger && keyedNow(c, t.name))
                continue;
            writeKeys(c, t);
            rekeyed.append(t.name);
        }
    }
    format.addMissingIn(c);
    const Schema file = Schema::load(c);
    for (const TableInfo& t : file.tables()) {
        if (!t.searchIndex.isEmpty() && (rekeyed.contains(t.name) || !searchIndexes.contains(t.searchIndex)))
            fillSearchIndex(c, t);
        const Counted counted = countPass(c, t);
        // Another program's REPLACE deletes records without their triggers.
        if (t.blocksKept && blocksSum(c, t) != counted.records)
            fillBlocks(c, t);
        stampTable(c, t, counted);
    }
    tx.commit();
}
void Database::changeStoredQuery(const QString& name, const std::function<void()>& onFile,
                                 const std::optional<QString>& inMemory)
{
    const QString key = name.toCaseFolded();
    if (!m_readOnly) {
        try {
            StoredQueryWrite relaxed(*m_connection);
            Transaction tx(*m_connection, Transaction::Wait::NoWait);
            onFile();
            tx.commit();
            const std::lock_guard lock(storedInMemoryMutex());
            storedInMemory()[m_key].remove(key);
            return;
        } catch (const EngineError& e) {
            if (e.number() != ErrLocked && e.number() != ErrReadOnly)
                throw;
        }
    }
    const std::lock_guard lock(storedInMemoryMutex());
    storedInMemory()[m_key].insert(key, inMemory);
}

void Database::writeQueryDef(const QString& name, const QString& sql)
{
    if (name.trimmed().isEmpty())
        throw EngineError(ErrInvalidArgument, QStringLiteral("Nome de consulta inválido."));
    translateSelect(sql);  // refuse a text outside the dialect before storing it
    changeStoredQuery(
        name,
        [&] {
            deleteQueryRow(*m_connection, deskOf(name), name);
            insertQueryRow(*m_connection, deskOf(name), name, QStringLiteral(""));
            updateQueryRow(*m_connection, deskOf(name), name, sql);
        },
        sql);
}

void Database::deleteQueryDef(const QString& name)
{
    changeStoredQuery(name, [&] { deleteQueryRow(*m_connection, deskOf(name), name); }, std::nullopt);
}

void Database::createQueryDef(const QString& name, const QString& sql)
{
    if (name.trimmed().isEmpty())
        throw EngineError(ErrInvalidArgument, QStringLiteral("Nome de consulta inválido."));
    if (!sql.isEmpty())
        translateSelect(sql);
    if (hasQueryDef(name))
        throw EngineError(ErrObjectExists, QStringLiteral("O objeto '%1' já existe.").arg(name));
    const QString text = sql.isNull() ? QStringLiteral("") : sql;
    changeStoredQuery(
        name,
        [&] {
            deleteQueryRow(*m_connection, deskOf(name), name);  // one deleted in memory may still be in the file
            insertQueryRow(*m_connection, deskOf(name), name, text);
        },
        text);
}

void Database::setQueryDefSql(const QString& name, const QString& sql)
{
    translateSelect(sql);  // refuse a text outside the dialect before storing it
    if (!storedQuerySql(name))
        noSuchQuery(name);
    changeStoredQuery(
        name,
        [&] {
            if (!updateQueryRow(*m_connection, deskOf(name), name, sql))
                noSuchQuery(name);
        },
        sql);
}

std::optional<QString> Database::storedQuerySql(const QString& name) const
{
    {
        const std::lock_guard lock(storedInMemoryMutex());
        const auto files = storedInMemory().constFind(m_key);
        if (files != storedInMemory().cend()) {
            const auto kept = files->constFind(name.toCaseFolded());
            if (kept != files->cend())
                return *kept;
        }
    }
    const std::optional<QString> desk = deskOf(name);
    Statement& st = m_connection->cached("SELECT sql FROM ondrel_queries WHERE " + queryRowIs(*m_connection, desk));
    ScopedRun run(st);
    bindQueryRow(*run, 1, desk, name);
    if (!run->step())
        return std::nullopt;
    return run->columnText(0);
}

std::optional<QString> Database::deskOf(const QString& name) const
{
    if (!m_desk)
        return std::nullopt;
    return keptPerDesk(name) ? *m_desk : QString();
}

void Database::useDesk(const QString& desk)
{
    if (!m_desk)
        return;
    m_desk = desk;
    m_key = memoryKey(m_path, m_desk);
}

QStringList Database::storedQueryNames() const
{
    QStringList names;
    {
        const std::unique_ptr<Statement> st = m_connection->prepare(
            m_desk ? "SELECT name FROM ondrel_queries WHERE desk = ? OR desk = '' ORDER BY name"
                   : "SELECT name FROM ondrel_queries ORDER BY name");
        ScopedRun run(*st);
        if (m_desk)
            run->bindText(1, *m_desk);
        while (run->step())
            if (!names.contains(run->columnText(0), Qt::CaseInsensitive))
                names.append(run->columnText(0));
    }
    // What this desk sees under each name: a desk's query another desk
    // wrote is not its own.
    names.removeIf([this](const QString& name) { return !storedQuerySql(name); });
    return names;
}

bool keptPerDesk(const QString& queryName)
{
    return queryName.compare(QLatin1String("pesquisa"), Qt::CaseInsensitive) == 0
        || queryName.compare(QLatin1String("Imprime"), Qt::CaseInsensitive) == 0;
}

void setDeskSource(std::function<QString()> source)
{
    DeskSource& desk = deskSource();
    const std::lock_guard lock(desk.mutex);
    desk.source = std::move(source);
}

bool Database::hasQueryDef(const QString& name) const
{
    return storedQuerySql(name).has_value();
}

QString Database::queryDefSql(const QString& name) const
{
    std::optional<QString> sql = storedQuerySql(name);
    if (!sql)
        noSuchQuery(name);
    return *sql;
}

SelectPlan Database::translateSelect(const QString& statement)
{
    refreshFileState();
    return m_translations->select(statement);
}

SqlExpr Database::translateCriteria(const QString& criteria, const TableInfo& table)
{
    refreshFileState();
    return m_translations->criteria(criteria, table);
}

QString Database::collectionValue(const QString& key) const
{
    return fileNote(*m_connection, QLatin1String(kValueNote) + key);
}

void Database::setCollectionValue(const QString& key, const QString& value)
{
    if (m_readOnly)
        throw EngineError(ErrReadOnly, readOnlyText(m_connection->shownName()));
    Transaction tx(*m_connection);
    setFileNote(*m_connection, QLatin1String(kValueNote) + key, value);
    tx.commit();
}

void Database::whenOthersChange(std::function<void()> told)
{
    m_connection->watchOthers(std::move(told));
}

void Database::executeNative(const QString& sql)
{
    m_connection->noteWrite(QString());
    m_connection->exec(sql);
}

}  // namespace ondrel::db
