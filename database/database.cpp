#include "database.h"

#include "connection.h"
#include "dialect.h"
#include "filework.h"
#include "record.h"
#include "recordsetimpl.h"
#include "schema.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
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

QString metaValue(Connection& c, const QString& key)
{
    Statement& st = c.cached("SELECT value FROM ondrel_meta WHERE key = ?");
    ScopedRun run(st);
    run->bindText(1, key);
    return run->step() ? run->columnText(0) : QString();
}

void setMetaValue(Connection& c, const QString& key, const QString& value)
{
    Statement& st = c.cached("INSERT OR REPLACE INTO ondrel_meta (key, value) VALUES (?, ?)");
    ScopedRun run(st);
    run->bindText(1, key);
    run->bindText(2, value);
    run->step();
}

[[noreturn]] void notACollection(const QString& path)
{
    throw EngineError(ErrNotADatabase,
                      QStringLiteral("Formato de banco de dados não reconhecido: '%1' não é um banco de dados da coleção.")
                          .arg(path));
}

void configure(Connection& c, bool readOnly)
{
    if (!readOnly) {
        // WAL keeps readers and the writer apart; FULL syncs every commit.
        c.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
        c.exec(QStringLiteral("PRAGMA synchronous=FULL"));
    }
    // 16 MB of page cache per handle (the default is 2 MB): a scan of the
    // objects of a large collection (about 4 MB for 32,767 of them) stays in
    // memory for the next one, and the three handles of a session stay well
    // within the memory budget.
    c.exec(QStringLiteral("PRAGMA cache_size=-16000"));
}

// One key per file, however its path is spelled.
QString fileKey(const QString& path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

QSet<QString>& forcedReadOnly()
{
    static QSet<QString> paths;
    return paths;
}

// Stored queries kept in memory for the run, by file and folded name; an
// empty optional is a query deleted in memory.
using MemoryQueries = QHash<QString, std::optional<QString>>;
QHash<QString, MemoryQueries>& storedInMemory()
{
    static QHash<QString, MemoryQueries> queries;
    return queries;
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
    if (forcedReadOnly().contains(fileKey(path)))
        return false;
    return canWrite(path) && canWrite(QFileInfo(path).absolutePath()) && journalWritable(path);
}

// Stored queries are derived data: "pesquisa" is rewritten on every key typed
// into the catalogue's code box and "Imprime" by every ordering. Their writes
// skip the fsync of each commit (WAL keeps them atomic and safe from a killed
// process; the next fully synced commit makes them durable too), so typing
// does not wait on the disk. Records themselves are always written with FULL.
class StoredQueryWrite {
public:
    explicit StoredQueryWrite(Connection& c) : m_c(c) { m_c.exec(QStringLiteral("PRAGMA synchronous=NORMAL")); }
    ~StoredQueryWrite()
    {
        try {
            m_c.exec(QStringLiteral("PRAGMA synchronous=FULL"));
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

qint64 pragmaValue(Connection& c, const char* pragma)
{
    Statement& st = c.cached(QByteArray("PRAGMA ") + pragma);
    ScopedRun run(st);
    return run->step() ? run->columnInt(0) : 0;
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
    Statement st(c.handle(), "SELECT keyed = changes FROM ondrel_changes WHERE tbl = ?");
    ScopedRun run(st);
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
    Statement st(c.handle(), "UPDATE ondrel_changes SET keyed = changes, counted = changes, records = ?, total = ? "
                             "WHERE tbl = ?");
    ScopedRun run(st);
    run->bindInt(1, counted.records);
    run->bind(2, counted.total ? QVariant(*counted.total) : QVariant());
    run->bindText(3, table.name);
    run->step();
}

}  // namespace

void syncPath(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
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

bool linkIntoPlace(const QString& building, const QString& path)
{
    // A link never replaces a file that appeared meanwhile.
    const QByteArray from = QFile::encodeName(building);
    const QByteArray to = QFile::encodeName(path);
    if (::link(from.constData(), to.constData()) != 0) {
        if (errno == EEXIST || QFileInfo::exists(path) || ::rename(from.constData(), to.constData()) != 0)
            return false;
    }
    removeBuilding(building);
    syncPath(QFileInfo(path).absolutePath());
    return true;
}

void checkIntegrity(Connection& c, const QString& shownPath)
{
    Statement check(c.handle(), "PRAGMA integrity_check");
    ScopedRun run(check);
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
    std::shared_ptr<void> privateCopy;
    QString path;
    bool readOnly = false;
};

Database::Database(OpenedFile opened)
    : m_privateCopy(std::move(opened.privateCopy)), m_path(opened.path), m_key(fileKey(opened.path)),
      m_readOnly(opened.readOnly),
      m_connection(std::move(opened.connection)), m_schema(std::make_unique<Schema>(Schema::load(*m_connection))),
      m_translations(std::make_unique<TranslationCache>(*m_schema)),
      m_schemaVersion(pragmaValue(*m_connection, "schema_version"))
{
    refreshFileState();
}

Database::~Database() = default;

Database::OpenedFile Database::openFile(const QString& path, const QString& connect, bool forceReadOnly)
{
    if (!QFileInfo(path).isFile())
        throw EngineError(ErrFileNotFound, QStringLiteral("Não foi possível encontrar o arquivo '%1'.").arg(path));
    if (::access(QFile::encodeName(path).constData(), R_OK) != 0)
        throw EngineError(ErrUnreadable, QStringLiteral("Sem permissão para ler o arquivo '%1'.").arg(path));
    OpenedFile opened;
    opened.path = path;
    opened.readOnly = forceReadOnly || !writableHere(path);
    if (!opened.readOnly) {
        opened.connection = std::make_unique<Connection>(path, Connection::Mode::OpenExisting);
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
                Connection(copied, Connection::Mode::OpenExisting, path).exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
                target = copied;
                opened.privateCopy = copy;
            }
        }
        opened.connection = std::make_unique<Connection>(target, Connection::Mode::ReadOnly, path);
    }
    Connection& c = *opened.connection;
    QString tag, salt, hash;
    try {
        tag = metaValue(c, "format");
        salt = metaValue(c, "salt");
        hash = metaValue(c, "password");
    } catch (const EngineError& e) {
        if (e.number() == ErrDamaged)
            throw;
        notACollection(path);
    }
    if (tag != QLatin1String(kFormatTag))
        notACollection(path);
    if (passwordHash(salt.toLatin1(), passwordFromConnect(connect)) != hash.toLatin1())
        throw EngineError(ErrBadPassword, QStringLiteral("Senha inválida."));
    configure(c, opened.readOnly);
    return opened;
}

namespace {

// A file made before a field of the format gains it when first opened for
// writing: a column added is a change of the file's schema alone, done in a
// moment whatever the number of records. Another writer holding the file
// puts it off to a later open; until then the file works without it.
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

}  // namespace

std::shared_ptr<Database> Database::open(const QString& path, const QString& connect)
{
    OpenedFile opened = openFile(path, connect, false);
    if (!opened.readOnly)
        addMissingFields(*opened.connection);
    return std::shared_ptr<Database>(new Database(std::move(opened)));
}

FileCheck Database::check(const QString& path, const QString& connect, bool thorough)
{
    FileCheck result;
    try {
        // Opened as it is: a check changes nothing in the file.
        const auto database = std::shared_ptr<Database>(new Database(openFile(path, connect, false)));
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
    case ErrNotADatabase: return FileProblem::NotACollection;
    case ErrBadPassword: return FileProblem::WrongPassword;
    case ErrLocked: return FileProblem::Locked;
    default: return FileProblem::Damaged;
    }
}

QString describeProblem(const QString& path, FileProblem problem)
{
    QString reason;
    switch (problem) {
    case FileProblem::None:
    case FileProblem::Missing:
        return QString();
    case FileProblem::Unreadable: reason = QStringLiteral("não há permissão para ler este arquivo"); break;
    case FileProblem::NotACollection:
        reason = QStringLiteral("o arquivo não é uma coleção do Ulmix (está vazio ou é de outro programa)");
        break;
    case FileProblem::WrongPassword: reason = QStringLiteral("a senha não confere"); break;
    case FileProblem::Damaged: reason = QStringLiteral("o arquivo está danificado"); break;
    case FileProblem::Locked: reason = QStringLiteral("outro programa a mantém bloqueada"); break;
    }
    return QStringLiteral("Não foi possível abrir a coleção \"%1\": %2. As janelas ficarão vazias e nada será "
                          "gravado no arquivo.")
        .arg(QDir::toNativeSeparators(path), reason);
}

void forceReadOnlyOpen(const QString& path, bool force)
{
    if (force)
        forcedReadOnly().insert(fileKey(path));
    else
        forcedReadOnly().remove(fileKey(path));
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

void Database::create(const QString& path, const QString& password, const std::function<void(const QString&)>& fill)
{
    if (QFileInfo::exists(path))
        throw EngineError(ErrGeneric, QStringLiteral("O arquivo '%1' já existe.").arg(path));
    const QString building = buildingName(path);
    removeAbandonedBuilds(path);
    RemoveOnFailure guard{building};
    {
        Connection connection(building, Connection::Mode::CreateNew);
        configure(connection, false);
        Transaction tx(connection);
        Schema::collection().createIn(connection);
        const QByteArray salt = QByteArray::number(QRandomGenerator::system()->generate64(), 16)
            + QByteArray::number(QRandomGenerator::system()->generate64(), 16);
        setMetaValue(connection, "format", QString::fromLatin1(kFormatTag));
        setMetaValue(connection, "salt", QString::fromLatin1(salt));
        setMetaValue(connection, "password", QString::fromLatin1(passwordHash(salt, password)));
        tx.commit();
    }
    if (fill)
        fill(building);
    {
        // Everything into the file itself: the journal is named after the
        // temporary name and would not follow the rename.
        Connection connection(building, Connection::Mode::OpenExisting);
        connection.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    }
    if (QFileInfo(building + QStringLiteral("-wal")).size() > 0)
        throw EngineError(ErrGeneric, QStringLiteral("Não foi possível concluir o arquivo '%1'.").arg(path));
    syncPath(building);
    // A journal left beside a file of that name that is gone would be read
    // into the new file at its first open.
    for (const char* suffix : {"-wal", "-shm", "-journal"})
        QFile::remove(path + QLatin1String(suffix));
    if (!linkIntoPlace(building, path))
        throw EngineError(ErrGeneric, QStringLiteral("O arquivo '%1' já existe.").arg(path));
    guard.done = true;
}

QString Database::path() const
{
    return m_path;
}

bool Database::readOnly() const
{
    return m_readOnly;
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
        + table.sqlName() + " WHERE rowid >= ?3 AND rowid < ?4)");
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
        Statement& st = c.cached("SELECT changes, counted, records, total, typeof(total) FROM ondrel_changes WHERE tbl = ?");
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
        const bool ownSnapshot = sqlite3_get_autocommit(c.handle()) != 0;
        if (ownSnapshot)
            c.exec(QStringLiteral("BEGIN"));
        struct EndSnapshot {
            Connection& c;
            bool own;
            ~EndSnapshot()
            {
                if (own)
                    sqlite3_exec(c.handle(), "COMMIT", nullptr, nullptr, nullptr);
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
    const qint64 schema = pragmaValue(c, "schema_version");
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
    OpenedFile opened = openFile(path, connect, false);
    if (opened.readOnly)
        return;
    Connection& c = *opened.connection;
    // The sorts of the index build want more pages than a window's handle.
    c.exec(QStringLiteral("PRAGMA cache_size=-32000"));
    if (cancel)
        sqlite3_progress_handler(
            c.handle(), 10000, [](void* flag) { return static_cast<const std::atomic<bool>*>(flag)->load() ? 1 : 0; },
            const_cast<std::atomic<bool>*>(cancel));
    const Schema format = Schema::collection();
    const bool ledger = hasSchemaObject(c, QStringLiteral("ondrel_changes"));
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
        if (!t.searchIndex.isEmpty() && hasSchemaObject(c, t.searchIndex))
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
    MemoryQueries& memory = storedInMemory()[m_key];
    const QString key = name.toCaseFolded();
    if (!m_readOnly) {
        try {
            StoredQueryWrite relaxed(*m_connection);
            Transaction tx(*m_connection, Transaction::Wait::NoWait);
            onFile();
            tx.commit();
            memory.remove(key);
            return;
        } catch (const EngineError& e) {
            if (e.number() != ErrLocked && e.number() != ErrReadOnly)
                throw;
        }
    }
    memory.insert(key, inMemory);
}

// The three statements a stored query is written with, one per step.
namespace {

void deleteQueryRow(Connection& c, const QString& name)
{
    ScopedRun run(c.cached("DELETE FROM ondrel_queries WHERE name = ?"));
    run->bindText(1, name);
    run->step();
}

void insertQueryRow(Connection& c, const QString& name, const QString& sql)
{
    ScopedRun run(c.cached("INSERT INTO ondrel_queries (name, sql) VALUES (?, ?)"));
    run->bindText(1, name);
    run->bindText(2, sql);
    run->step();
}

// False when there is no query of that name.
bool updateQueryRow(Connection& c, const QString& name, const QString& sql)
{
    ScopedRun run(c.cached("UPDATE ondrel_queries SET sql = ? WHERE name = ?"));
    run->bindText(1, sql);
    run->bindText(2, name);
    run->step();
    return c.changes() > 0;
}

}  // namespace

void Database::writeQueryDef(const QString& name, const QString& sql)
{
    if (name.trimmed().isEmpty())
        throw EngineError(ErrInvalidArgument, QStringLiteral("Nome de consulta inválido."));
    translateSelect(sql);  // refuse a text outside the dialect before storing it
    changeStoredQuery(
        name,
        [&] {
            deleteQueryRow(*m_connection, name);
            insertQueryRow(*m_connection, name, QStringLiteral(""));
            updateQueryRow(*m_connection, name, sql);
        },
        sql);
}

void Database::deleteQueryDef(const QString& name)
{
    changeStoredQuery(name, [&] { deleteQueryRow(*m_connection, name); }, std::nullopt);
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
            deleteQueryRow(*m_connection, name);  // one deleted in memory may still be in the file
            insertQueryRow(*m_connection, name, text);
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
            if (!updateQueryRow(*m_connection, name, sql))
                noSuchQuery(name);
        },
        sql);
}

std::optional<QString> Database::storedQuerySql(const QString& name) const
{
    const auto files = storedInMemory().constFind(m_key);
    if (files != storedInMemory().cend()) {
        const auto kept = files->constFind(name.toCaseFolded());
        if (kept != files->cend())
            return *kept;
    }
    Statement& st = m_connection->cached("SELECT sql FROM ondrel_queries WHERE name = ?");
    ScopedRun run(st);
    run->bindText(1, name);
    if (!run->step())
        return std::nullopt;
    return run->columnText(0);
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
    return metaValue(*m_connection, key);
}

void Database::setCollectionValue(const QString& key, const QString& value)
{
    if (m_readOnly)
        throw EngineError(ErrReadOnly, QStringLiteral("Nada foi gravado: a coleção \"%1\" é somente leitura (o arquivo "
                                                      "ou a sua pasta não pode ser alterado).").arg(m_path));
    Transaction tx(*m_connection);
    setMetaValue(*m_connection, key, value);
    tx.commit();
}

void Database::executeNative(const QString& sql)
{
    m_connection->noteWrite(QString());
    m_connection->exec(sql);
}

}  // namespace ondrel::db
