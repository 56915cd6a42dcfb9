#pragma once

#include "engineerror.h"
#include "recordset.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

struct sqlite3;

namespace ondrel::db {

class Connection;  // owns the sqlite3 handle and its prepared-statement cache
class Schema;      // the tables and fields, read from the file's metadata
class TranslationCache;
struct SelectPlan;
struct SqlExpr;
struct TableInfo;

// The connect string every explicit open passes.
inline constexpr const char* kConnectString = ";pwd=7Borel3";
inline constexpr const char* kDatabaseFileName = "livrano.mdb";

// Path rule: the folder, one separator only if it does not already end with
// one, then the file name.
QString databasePath(const QString& folder, const QString& fileName = QString::fromLatin1(kDatabaseFileName));

// Makes a text safe to paste between single quotes of a statement or a
// criteria text: every ' becomes ''. The statement texts stay otherwise exactly
// as the windows write them.
QString literal(const QString& value);

// Folds a text the way the engine compares text: case and accents ignored
// ("Não" == "não" == "NAO"). Used for the unique code key and comparisons.
QString foldText(const QString& text);

// A handle on one collection database file. Every window opens its own.
// Non-copyable; record sets and stored-query handles keep the connection
// alive through a shared pointer.
class Database : public std::enable_shared_from_this<Database> {
public:
    // Opens an existing file with a connect string such as ";pwd=7Borel3".
    // Never creates a file. Throws EngineError: missing file, wrong or missing
    // password, a file that is no collection database.
    static std::shared_ptr<Database> open(const QString& path, const QString& connect);

    // Creates a new, empty collection database with the full schema and the
    // password verifier. Fails if the file exists.
    static void create(const QString& path, const QString& password);
    // Fills a database with a few dozen believable objects and loans.
    static void fillDemo(const QString& path, const QString& password);
    // Creates a database (password "7Borel3") filled with generated objects
    // and loans, for the benchmark and the performance checks.
    static void generateBenchData(const QString& path, int objects, int loans);

    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    QString path() const;

    // A table name, a select statement in the collection's dialect, or the
    // name of a stored query.
    std::shared_ptr<Recordset> openRecordset(const QString& source, RecordsetType type = RecordsetType::Dynaset);

    // The number of records of a table as the file holds it now, whoever
    // wrote them.
    qint64 countRecords(const QString& table) const;

    // Stored queries. Writing one always takes three steps: delete (a missing
    // one is no error), create by name, set its text. Each step is committed.
    void deleteQueryDef(const QString& name);
    void createQueryDef(const QString& name, const QString& sql = QString());
    void setQueryDefSql(const QString& name, const QString& sql);
    bool hasQueryDef(const QString& name) const;
    QString queryDefSql(const QString& name) const;  // throws ErrNoSuchObject

    // Executes an action statement written in the engine's own SQL (used by the
    // creation and demo code and tests only; windows never call it).
    void executeNative(const QString& sql);

    Connection& connection() const;
    const Schema& schema() const;

    // The dialect translated for this file's schema; the texts used last are
    // kept translated. Throws EngineError for a text outside the dialect.
    SelectPlan translateSelect(const QString& statement);
    SqlExpr translateCriteria(const QString& criteria, const TableInfo& table);

private:
    explicit Database(std::unique_ptr<Connection> connection);
    std::optional<QString> storedQuerySql(const QString& name) const;

    std::unique_ptr<Connection> m_connection;
    std::unique_ptr<Schema> m_schema;
    std::unique_ptr<TranslationCache> m_translations;
};

// A stored-query handle as the windows keep it (ConsultaPesquisa,
// ConsultaImprime).
struct QueryDef {
    std::shared_ptr<Database> database;
    QString name;
    void setSql(const QString& sql) const { database->setQueryDefSql(name, sql); }
    QString sql() const { return database->queryDefSql(name); }
};

}  // namespace ondrel::db
