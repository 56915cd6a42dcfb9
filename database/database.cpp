#include "database.h"

#include "connection.h"
#include "dialect.h"
#include "recordsetimpl.h"
#include "schema.h"

#include <QCryptographicHash>
#include <QFile>
#include <QRandomGenerator>

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

QString metaValue(Connection& c, const char* key)
{
    Statement& st = c.cached("SELECT value FROM ondrel_meta WHERE key = ?");
    ScopedRun run(st);
    run->bindText(1, QString::fromLatin1(key));
    return run->step() ? run->columnText(0) : QString();
}

void setMetaValue(Connection& c, const char* key, const QString& value)
{
    Statement& st = c.cached("INSERT OR REPLACE INTO ondrel_meta (key, value) VALUES (?, ?)");
    ScopedRun run(st);
    run->bindText(1, QString::fromLatin1(key));
    run->bindText(2, value);
    run->step();
}

[[noreturn]] void notACollection(const QString& path)
{
    throw EngineError(ErrNotADatabase,
                      QStringLiteral("Formato de banco de dados não reconhecido: '%1' não é um banco de dados da coleção.")
                          .arg(path));
}

void configure(Connection& c)
{
    // WAL keeps readers and the writer apart; FULL syncs every commit.
    c.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
    c.exec(QStringLiteral("PRAGMA synchronous=FULL"));
    // 16 MB of page cache per handle (the default is 2 MB): a scan of the
    // objects of a large collection (about 4 MB for 32,767 of them) stays in
    // memory for the next one, and the three handles of a session stay well
    // within the memory budget.
    c.exec(QStringLiteral("PRAGMA cache_size=-16000"));
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

}  // namespace

QString databasePath(const QString& folder, const QString& fileName)
{
    if (folder.isEmpty())
        return fileName;
    if (folder.endsWith(u'/'))
        return folder + fileName;
    return folder + u'/' + fileName;
}

QString literal(const QString& value)
{
    QString out = value;
    out.replace(u'\'', QStringLiteral("''"));
    return out;
}

Database::Database(std::unique_ptr<Connection> connection)
    : m_connection(std::move(connection)), m_schema(std::make_unique<Schema>(Schema::load(*m_connection))),
      m_translations(std::make_unique<TranslationCache>(*m_schema))
{
}

Database::~Database() = default;

std::shared_ptr<Database> Database::open(const QString& path, const QString& connect)
{
    auto connection = std::make_unique<Connection>(path, Connection::Mode::OpenExisting);
    QString tag, salt, hash;
    try {
        tag = metaValue(*connection, "format");
        salt = metaValue(*connection, "salt");
        hash = metaValue(*connection, "password");
    } catch (const EngineError&) {
        notACollection(path);
    }
    if (tag != QLatin1String(kFormatTag))
        notACollection(path);
    if (passwordHash(salt.toLatin1(), passwordFromConnect(connect)) != hash.toLatin1())
        throw EngineError(ErrBadPassword, QStringLiteral("Senha inválida."));
    configure(*connection);
    return std::shared_ptr<Database>(new Database(std::move(connection)));
}

void Database::create(const QString& path, const QString& password)
{
    struct RemoveOnFailure {
        QString path;
        bool done = false;
        ~RemoveOnFailure()
        {
            if (!done) {
                QFile::remove(path);
                QFile::remove(path + QStringLiteral("-wal"));
                QFile::remove(path + QStringLiteral("-shm"));
            }
        }
    };
    std::unique_ptr<Connection> connection = std::make_unique<Connection>(path, Connection::Mode::CreateNew);
    RemoveOnFailure guard{path};
    configure(*connection);
    {
        Transaction tx(*connection);
        Schema::collection().createIn(*connection);
        const QByteArray salt = QByteArray::number(QRandomGenerator::system()->generate64(), 16)
            + QByteArray::number(QRandomGenerator::system()->generate64(), 16);
        setMetaValue(*connection, "format", QString::fromLatin1(kFormatTag));
        setMetaValue(*connection, "salt", QString::fromLatin1(salt));
        setMetaValue(*connection, "password", QString::fromLatin1(passwordHash(salt, password)));
        tx.commit();
    }
    connection.reset();
    guard.done = true;
}

QString Database::path() const
{
    return m_connection->path();
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
    return makeRecordset(shared_from_this(), plan, type, source);
}

qint64 Database::countRecords(const QString& table) const
{
    const TableInfo* info = m_schema->table(table);
    if (!info)
        throw EngineError(ErrNoSuchObject, QStringLiteral("Item não encontrado nesta coleção: tabela '%1'.").arg(table));
    Statement& st = m_connection->cached("SELECT count(*) FROM " + info->sqlName());
    ScopedRun run(st);
    return run->step() ? run->columnInt(0) : 0;
}

void Database::deleteQueryDef(const QString& name)
{
    StoredQueryWrite relaxed(*m_connection);
    Statement& st = m_connection->cached("DELETE FROM ondrel_queries WHERE name = ?");
    ScopedRun run(st);
    run->bindText(1, name);
    run->step();
}

void Database::createQueryDef(const QString& name, const QString& sql)
{
    if (name.trimmed().isEmpty())
        throw EngineError(ErrInvalidArgument, QStringLiteral("Nome de consulta inválido."));
    if (!sql.isEmpty())
        translateSelect(sql);
    if (hasQueryDef(name))
        throw EngineError(ErrObjectExists, QStringLiteral("O objeto '%1' já existe.").arg(name));
    StoredQueryWrite relaxed(*m_connection);
    Statement& st = m_connection->cached("INSERT INTO ondrel_queries (name, sql) VALUES (?, ?)");
    ScopedRun run(st);
    run->bindText(1, name);
    run->bindText(2, sql.isNull() ? QStringLiteral("") : sql);
    run->step();
}

void Database::setQueryDefSql(const QString& name, const QString& sql)
{
    translateSelect(sql);  // refuse a text outside the dialect before storing it
    StoredQueryWrite relaxed(*m_connection);
    Statement& st = m_connection->cached("UPDATE ondrel_queries SET sql = ? WHERE name = ?");
    ScopedRun run(st);
    run->bindText(1, sql);
    run->bindText(2, name);
    run->step();
    if (m_connection->changes() == 0)
        noSuchQuery(name);
}

std::optional<QString> Database::storedQuerySql(const QString& name) const
{
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
    return m_translations->select(statement);
}

SqlExpr Database::translateCriteria(const QString& criteria, const TableInfo& table)
{
    return m_translations->criteria(criteria, table);
}

void Database::executeNative(const QString& sql)
{
    m_connection->exec(sql);
}

}  // namespace ondrel::db
