#include "sqlitestore.h"

#include "engineerror.h"
#include "flavor.h"
#include "schema.h"
#include "core/files.h"
#include "core/values.h"

#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QUrl>
#include <sqlite3.h>

#include <cerrno>

namespace ondrel::db {

namespace {

// The file each open handle stands for, as the messages name it. The
// windows' connections live on the user-interface thread; a copy of the
// collection opens its own on the thread that makes it.
struct Registry {
    QMutex mutex;
    QHash<sqlite3*, QString> shownPaths;
};

Registry& registry()
{
    static Registry r;
    return r;
}

QString shownPath(sqlite3* db)
{
    QMutexLocker lock(&registry().mutex);
    return registry().shownPaths.value(db);
}

void unregister(sqlite3* db)
{
    QMutexLocker lock(&registry().mutex);
    registry().shownPaths.remove(db);
}

// A value that cannot be bound (too big, out of memory, a wrong index) fails
// the statement before it runs, instead of running it with a null.
void checkBind(sqlite3* db, int rc, const QByteArray& sql)
{
    if (rc != SQLITE_OK)
        throwSqliteError(db, rc, sql);
}

// ondrel_fold(text): the comparison key of a text (case and accents ignored).
void foldFunction(sqlite3_context* context, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    const QByteArray folded = foldUtf8(text, sqlite3_value_bytes(argv[0]));
    sqlite3_result_text(context, folded.constData(), int(folded.size()), SQLITE_TRANSIENT);
}

// ondrel_like(folded pattern, text): the dialect's like. The pattern is a
// bound parameter, so its decoded form is kept as auxiliary data.
void likeFunction(sqlite3_context* context, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const auto* cachedPattern = static_cast<const QString*>(sqlite3_get_auxdata(context, 0));
    const QString pattern = cachedPattern
        ? *cachedPattern
        : QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(argv[0])), sqlite3_value_bytes(argv[0]));
    if (!cachedPattern)
        sqlite3_set_auxdata(context, 0, new QString(pattern), [](void* ptr) { delete static_cast<QString*>(ptr); });
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[1]));
    const QString folded = QString::fromUtf8(foldUtf8(text, sqlite3_value_bytes(argv[1])));
    sqlite3_result_int(context, likeMatch(pattern, folded));
}

// The file's SQL: the row id SQLite keeps for every table, the dialect's
// folding and like as functions of the handle, FTS5's trigram index for the
// searched keys.
class SqliteFlavor final : public SqlFlavor {
public:
    QByteArray rowid(const TableInfo&) const override { return "rowid"; }
    QByteArray orderTerm(const QByteArray& key, bool descending) const override
    {
        return key + (descending ? " DESC" : " ASC");
    }
    QByteArray foldOnTheFly(const QByteArray& column) const override { return "ondrel_fold(" + column + ")"; }
    SqlExpr like(const TableInfo&, const FieldInfo& field, const QString& foldedPattern) const override
    {
        return SqlExpr{"ondrel_like(?, " + field.column() + ")", {foldedPattern}};
    }
    SqlExpr contains(const TableInfo& table, const FieldInfo& field, const QString& inner, bool indexed,
                     QByteArray* fromIndex, QString* match) const override
    {
        if (!indexed)
            return SqlExpr{"instr(" + field.keyColumnSql() + ", ?) > 0", {inner}};
        QString phrase = inner;
        phrase.replace(u'"', QStringLiteral("\"\""));
        *match = field.keyColumn + QStringLiteral(" : \"") + phrase + u'"';
        *fromIndex = quoteIdentifier(table.searchIndex);
        return SqlExpr{"rowid IN (SELECT rowid FROM " + *fromIndex + " WHERE " + *fromIndex + " MATCH ?)", {*match}};
    }
    bool writesSearchIndex() const override { return true; }
    QByteArray returningRowId(const TableInfo&) const override { return QByteArray(); }
    QByteArray keptTotalType() const override { return "typeof(total)"; }
    QByteArray countAndTotal(const TableInfo&, const FieldInfo*) const override { return QByteArray(); }
    QByteArray queryNameIs() const override { return "name = ?"; }
    QByteArray lockingRead() const override { return QByteArray(); }
    QByteArray columnType(const FieldInfo& field) const override
    {
        // Plain SQLite types: the sqlite3 tool reads and writes the file.
        switch (field.type) {
        case FieldType::Counter: return "INTEGER PRIMARY KEY AUTOINCREMENT";
        case FieldType::Currency: return "INTEGER";
        default: return "TEXT";
        }
    }
    QByteArray dateValue(const QByteArray& column) const override
    {
        // A text that reads as no date (another program's) counts as none.
        return "(CASE WHEN date(" + column + ") = substr(" + column + ", 1, 10) THEN date(" + column + ") END)";
    }
    QByteArray addDays(const QByteArray& date, int days) const override
    {
        return "date(" + date + ", '" + (days < 0 ? "" : "+") + QByteArray::number(days) + " days')";
    }
};

}  // namespace

QString fileFailure(sqlite3* db, int rc, const QString& file)
{
    const int error = db ? sqlite3_system_errno(db) : 0;
    switch (rc & 0xff) {
    case SQLITE_FULL: return files::reasonFor(ENOSPC, file, files::Access::Write);
    case SQLITE_IOERR:
        if (error != 0)
            return files::reasonFor(error, file, files::Access::Write);
        return files::reasonFor(EIO, file, files::Access::Write);
    case SQLITE_CANTOPEN: {
        const QString other = files::notAFile(file);
        if (!other.isEmpty())
            return other;
        if (error != 0)
            return files::reasonFor(error, file, QFileInfo::exists(file) ? files::Access::Read : files::Access::Write);
        return QStringLiteral("o arquivo %1 não pôde ser aberto").arg(u'"' + file + u'"');
    }
    default: return QString();
    }
}

void throwSqliteError(sqlite3* db, int rc, const QByteArray& sql, const QString& filePath)
{
    const QString message = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
    const QString file = !filePath.isEmpty() ? filePath : db ? shownPath(db) : QString();
    // The code and the statement go with the error, beside its number.
    const QString statement = QString::fromUtf8(sql);
    switch (rc & 0xff) {
    case SQLITE_CONSTRAINT:
        if (rc == SQLITE_CONSTRAINT_UNIQUE || rc == SQLITE_CONSTRAINT_PRIMARYKEY)
            throw EngineError(ErrDuplicateKey, duplicateKeyText(), rc, statement);
        break;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        throw EngineError(ErrLocked, QStringLiteral("Nada foi gravado: a coleção \"%1\" está bloqueada por outro "
                                                    "programa (uma cópia de segurança, uma sincronização ou o "
                                                    "sqlite3, por exemplo). Tente de novo daqui a pouco.")
                                         .arg(file), rc, statement);
    case SQLITE_NOTADB:
        throw EngineError(ErrNotADatabase,
                          QStringLiteral("O arquivo \"%1\" não é uma coleção do Ulmix (%2).").arg(file, message), rc, statement);
    case SQLITE_CORRUPT:
        throw EngineError(ErrDamaged, QStringLiteral("O arquivo da coleção \"%1\" está danificado (%2).").arg(file, message), rc, statement);
    case SQLITE_READONLY:
        throw EngineError(ErrReadOnly, readOnlyText(file), rc, statement);
    case SQLITE_CANTOPEN:
        throw EngineError(ErrFileNotFound, QStringLiteral("Não foi possível abrir o arquivo \"%1\": %2.")
                                               .arg(file, fileFailure(db, rc, file)), rc, statement);
    case SQLITE_FULL:
        throw EngineError(ErrGeneric, QStringLiteral("Nada foi gravado em \"%1\": %2.").arg(file, fileFailure(db, rc, file)),
                          rc, statement);
    case SQLITE_IOERR:
        throw EngineError(ErrGeneric, QStringLiteral("Erro de leitura ou gravação no arquivo \"%1\": %2.")
                                          .arg(file, fileFailure(db, rc, file)), rc, statement);
    default:
        break;
    }
    throw EngineError(ErrGeneric, QStringLiteral("Erro do mecanismo de banco de dados: %1").arg(message), rc,
                      statement);
}

// ---- SqliteStatement

SqliteStatement::SqliteStatement(sqlite3* db, const QByteArray& sql) : Statement(sql), m_db(db)
{
    const int rc = sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &m_stmt, nullptr);
    if (rc != SQLITE_OK)
        throwSqliteError(db, rc, sql);
}

SqliteStatement::~SqliteStatement()
{
    sqlite3_finalize(m_stmt);
}

void SqliteStatement::bindText(int index, const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    checkBind(m_db, sqlite3_bind_text(m_stmt, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT), sql());
}

void SqliteStatement::bindInt(int index, qint64 value)
{
    checkBind(m_db, sqlite3_bind_int64(m_stmt, index, value), sql());
}

void SqliteStatement::bindNull(int index)
{
    checkBind(m_db, sqlite3_bind_null(m_stmt, index), sql());
}

void SqliteStatement::bindDouble(int index, double value)
{
    checkBind(m_db, sqlite3_bind_double(m_stmt, index, value), sql());
}

bool SqliteStatement::step()
{
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    // The extended code of a failed step is only reliable before reset.
    const int extended = sqlite3_extended_errcode(m_db);
    sqlite3_reset(m_stmt);
    throwSqliteError(m_db, extended, sql());
}

void SqliteStatement::reset()
{
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

int SqliteStatement::columnCount() const
{
    return sqlite3_column_count(m_stmt);
}

bool SqliteStatement::isNull(int column) const
{
    return sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}

qint64 SqliteStatement::columnInt(int column) const
{
    return sqlite3_column_int64(m_stmt, column);
}

QString SqliteStatement::columnText(int column) const
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
    return QString::fromUtf8(text, sqlite3_column_bytes(m_stmt, column));
}

bool SqliteStatement::isInteger(int column) const
{
    return sqlite3_column_type(m_stmt, column) == SQLITE_INTEGER;
}

QByteArrayView SqliteStatement::columnUtf8(int column) const
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
    return QByteArrayView(text, sqlite3_column_bytes(m_stmt, column));
}

QVariant SqliteStatement::column(int column) const
{
    switch (sqlite3_column_type(m_stmt, column)) {
    case SQLITE_NULL:
        return QVariant();
    case SQLITE_INTEGER:
        return QVariant(qint64(sqlite3_column_int64(m_stmt, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(m_stmt, column));
    default:
        return QVariant(columnText(column));
    }
}

// ---- SqliteConnection

SqliteConnection::SqliteConnection(const QString& path, Mode mode, const QString& shownPath) : m_path(path)
{
    const QFileInfo info(path);
    if (mode != Mode::CreateNew && !info.isFile())
        throw EngineError(ErrFileNotFound, QStringLiteral("Não foi possível encontrar o arquivo '%1'.").arg(path));
    if (mode == Mode::CreateNew && info.exists())
        throw EngineError(ErrGeneric, QStringLiteral("O arquivo '%1' já existe.").arg(path));
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;
    QByteArray file = path.toUtf8();
    if (mode == Mode::CreateNew)
        flags |= SQLITE_OPEN_CREATE;
    if (mode == Mode::ReadOnly) {
        flags = SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_URI;
        file = "file:" + QUrl::toPercentEncoding(info.absoluteFilePath(), "/") + "?immutable=1";
    }
    int rc = sqlite3_open_v2(file.constData(), &m_db, flags, nullptr);
    // The dialect's run-time functions: a handle without them would fail
    // every statement that folds or matches, so it is not kept.
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function_v2(m_db, "ondrel_fold", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                        foldFunction, nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function_v2(m_db, "ondrel_like", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                        likeFunction, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3* db = m_db;
        struct Closer {
            sqlite3* db;
            ~Closer() { sqlite3_close(db); }
        } closer{db};
        m_db = nullptr;
        throwSqliteError(db, rc, QByteArray(), shownPath.isEmpty() ? path : shownPath);
    }
    {
        QMutexLocker lock(&registry().mutex);
        registry().shownPaths.insert(m_db, shownPath.isEmpty() ? path : shownPath);
    }
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_busy_timeout(m_db, kStoreWaitMs);
}

SqliteConnection::~SqliteConnection()
{
    m_cache.clear();
    if (m_db) {
        unregister(m_db);
        sqlite3_close_v2(m_db);
    }
}

QString SqliteConnection::shownName() const
{
    return m_db ? shownPath(m_db) : m_path;
}

const SqlFlavor& SqliteConnection::flavor() const
{
    static const SqliteFlavor flavor;
    return flavor;
}

void SqliteConnection::checkOpen() const
{
    if (!m_db)
        closed();
}

void SqliteConnection::setLockWait(int milliseconds)
{
    if (m_db)
        sqlite3_busy_timeout(m_db, milliseconds);
}

void SqliteConnection::checkpointAndClose()
{
    if (!m_db)
        return;
    m_cache.clear();
    // Never waits on another process: what cannot be copied at once stays
    // in the journal, which SQLite reads again at the next open.
    sqlite3_busy_timeout(m_db, 0);
    if (!sqlite3_db_readonly(m_db, "main"))
        sqlite3_wal_checkpoint_v2(m_db, nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
    unregister(m_db);
    sqlite3_close_v2(m_db);
    m_db = nullptr;
}

bool Connection::anyOpenOn(const QString& path)
{
    const QString file = QFileInfo(path).canonicalFilePath();
    QMutexLocker lock(&registry().mutex);
    for (const QString& shown : std::as_const(registry().shownPaths))
        if (!file.isEmpty() && QFileInfo(shown).canonicalFilePath() == file)
            return true;
    return false;
}

void SqliteConnection::exec(const QString& sql)
{
    checkOpen();
    const QByteArray utf8 = sql.toUtf8();
    char* error = nullptr;
    const int rc = sqlite3_exec(m_db, utf8.constData(), nullptr, nullptr, &error);
    sqlite3_free(error);
    if (rc != SQLITE_OK)
        throwSqliteError(m_db, sqlite3_extended_errcode(m_db), utf8);
}

Statement& SqliteConnection::cached(const QByteArray& sql)
{
    checkOpen();
    auto it = m_cache.find(sql);
    if (it == m_cache.end())
        it = m_cache.insert(sql, std::make_shared<SqliteStatement>(m_db, sql));
    return **it;
}

std::unique_ptr<Statement> SqliteConnection::prepare(const QByteArray& sql)
{
    checkOpen();
    return std::make_unique<SqliteStatement>(m_db, sql);
}

qint64 SqliteConnection::lastInsertRowId() const
{
    return sqlite3_last_insert_rowid(m_db);
}

int SqliteConnection::changes() const
{
    return sqlite3_changes(m_db);
}

QPair<qint64, qint64> SqliteConnection::fileVersion()
{
    Statement& st = cached("PRAGMA data_version");  // commits of the other handles
    ScopedRun run(st);
    const qint64 others = run->step() ? run->columnInt(0) : 0;
    return {others, sqlite3_total_changes64(m_db)};
}

qint64 SqliteConnection::schemaVersion()
{
    Statement& st = cached("PRAGMA schema_version");
    ScopedRun run(st);
    return run->step() ? run->columnInt(0) : 0;
}

void SqliteConnection::begin(Wait wait)
{
    if (wait == Wait::Store) {
        exec(QStringLiteral("BEGIN IMMEDIATE"));
        return;
    }
    setLockWait(0);
    struct WaitBack {
        SqliteConnection& c;
        ~WaitBack() { c.setLockWait(kStoreWaitMs); }
    } back{*this};
    exec(QStringLiteral("BEGIN IMMEDIATE"));
}

void SqliteConnection::commit()
{
    exec(QStringLiteral("COMMIT"));
}

void SqliteConnection::rollback() noexcept
{
    if (m_db)
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
}

bool SqliteConnection::inTransaction() const
{
    return m_db && sqlite3_get_autocommit(m_db) == 0;
}

void SqliteConnection::beginSnapshot()
{
    exec(QStringLiteral("BEGIN"));
}

void SqliteConnection::endSnapshot() noexcept
{
    if (m_db)
        sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
}

void SqliteConnection::relaxCommits(bool relaxed)
{
    exec(relaxed ? QStringLiteral("PRAGMA synchronous=NORMAL") : QStringLiteral("PRAGMA synchronous=FULL"));
}

qint64 SqliteConnection::widenCache(qint64 kilobytes)
{
    SqliteStatement cache(m_db, "PRAGMA cache_size");
    ScopedRun run(cache);
    const qint64 previous = run->step() ? run->columnInt(0) : 0;
    exec(QStringLiteral("PRAGMA cache_size=-%1").arg(kilobytes));
    return previous;
}

void SqliteConnection::restoreCache(qint64 previous)
{
    exec(QStringLiteral("PRAGMA cache_size=%1").arg(previous));
}

bool SqliteConnection::hasSchemaObject(const QString& name)
{
    SqliteStatement st(m_db, "SELECT 1 FROM sqlite_master WHERE name = ?");
    ScopedRun run(st);
    run->bindText(1, name);
    return run->step();
}

QStringList SqliteConnection::columnsOf(const QString& table)
{
    QStringList names;
    SqliteStatement info(m_db, "PRAGMA table_info(" + quoteIdentifier(table) + ")");
    ScopedRun run(info);
    while (run->step())
        names.append(run->columnText(1));
    return names;
}

QStringList SqliteConnection::leadingIndexColumns(const TableInfo& table)
{
    QStringList indexes;
    {
        SqliteStatement list(m_db, "PRAGMA index_list(" + table.sqlName() + ")");
        ScopedRun run(list);
        while (run->step())
            indexes.append(run->columnText(1));
    }
    QStringList leading;
    for (const QString& index : std::as_const(indexes)) {
        SqliteStatement info(m_db, "PRAGMA index_info(" + quoteIdentifier(index) + ")");
        ScopedRun run(info);
        while (run->step())
            if (run->columnInt(0) == 0)
                leading.append(run->columnText(2).toCaseFolded());
    }
    return leading;
}

void SqliteConnection::createSchema(const Schema& schema)
{
    schema.createInFile(*this);
}

}  // namespace ondrel::db
