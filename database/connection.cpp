#include "connection.h"

#include "engineerror.h"
#include "core/files.h"
#include "core/values.h"

#include <QFileInfo>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QUrl>
#include <sqlite3.h>

#include <cerrno>

namespace ondrel::db {

namespace {

// The file each open handle stands for, as the messages name it, and every
// open connection. The windows' connections live on the user-interface
// thread; a copy of the collection opens its own on the thread that makes it.
struct Registry {
    QMutex mutex;
    QHash<sqlite3*, QString> shownPaths;
    QList<Connection*> live;
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
            throw EngineError(ErrDuplicateKey,
                              QStringLiteral("As alterações solicitadas na tabela não foram bem-sucedidas porque "
                                             "criariam valores duplicados no índice ou chave primária."), rc, statement);
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
        throw EngineError(ErrReadOnly, QStringLiteral("Nada foi gravado: a coleção \"%1\" é somente leitura (o arquivo "
                                                      "ou a sua pasta não pode ser alterado).").arg(file), rc, statement);
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

namespace {

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

}  // namespace

Connection::Connection(const QString& path, Mode mode, const QString& shownPath) : m_path(path)
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
        registry().live.append(this);
    }
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_busy_timeout(m_db, kStoreWaitMs);
}

Connection::~Connection()
{
    {
        QMutexLocker lock(&registry().mutex);
        registry().live.removeAll(this);
    }
    m_cache.clear();
    if (m_db) {
        unregister(m_db);
        sqlite3_close_v2(m_db);
    }
}

void Connection::checkOpen() const
{
    if (!m_db)
        throw EngineError(ErrClosed, QStringLiteral("O objeto foi fechado ou não é válido."));
}

void Connection::setLockWait(int milliseconds)
{
    if (m_db)
        sqlite3_busy_timeout(m_db, milliseconds);
}

void Connection::checkpointAndClose()
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

void Connection::checkpointAndCloseAll()
{
    QList<Connection*> connections;
    {
        QMutexLocker lock(&registry().mutex);
        connections = registry().live;
    }
    for (Connection* c : connections)
        c->checkpointAndClose();
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

void Connection::noteWrite(const QString& table)
{
    if (table.isEmpty())
        ++m_nativeWrites;
    else
        ++m_writes[table];
}

qint64 Connection::writesTo(const QString& table) const
{
    return m_writes.value(table) + m_nativeWrites;
}

void Connection::exec(const QString& sql)
{
    checkOpen();
    const QByteArray utf8 = sql.toUtf8();
    char* error = nullptr;
    const int rc = sqlite3_exec(m_db, utf8.constData(), nullptr, nullptr, &error);
    sqlite3_free(error);
    if (rc != SQLITE_OK)
        throwSqliteError(m_db, sqlite3_extended_errcode(m_db), utf8);
}

Statement& Connection::cached(const QByteArray& sql)
{
    checkOpen();
    auto it = m_cache.find(sql);
    if (it == m_cache.end())
        it = m_cache.insert(sql, std::make_shared<Statement>(m_db, sql));
    return **it;
}

qint64 Connection::lastInsertRowId() const
{
    return sqlite3_last_insert_rowid(m_db);
}

int Connection::changes() const
{
    return sqlite3_changes(m_db);
}

QPair<qint64, qint64> Connection::fileVersion()
{
    Statement& st = cached("PRAGMA data_version");  // commits of the other handles
    ScopedRun run(st);
    const qint64 others = run->step() ? run->columnInt(0) : 0;
    return {others, sqlite3_total_changes64(m_db)};
}

Transaction::Transaction(Connection& connection, Wait wait) : m_connection(connection)
{
    if (wait == Wait::Store) {
        m_connection.exec(QStringLiteral("BEGIN IMMEDIATE"));
        return;
    }
    m_connection.setLockWait(0);
    struct WaitBack {
        Connection& c;
        ~WaitBack() { c.setLockWait(kStoreWaitMs); }
    } back{m_connection};
    m_connection.exec(QStringLiteral("BEGIN IMMEDIATE"));
}

Transaction::~Transaction()
{
    if (m_open && m_connection.handle())
        sqlite3_exec(m_connection.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void Transaction::commit()
{
    m_connection.exec(QStringLiteral("COMMIT"));
    m_open = false;
}

}  // namespace ondrel::db
