#pragma once

// The collection on a PostgreSQL server, through libpq.
#include "connection.h"

#include <QHash>
#include <QVector>

#include <functional>
#include <memory>

struct pg_conn;
struct pg_result;

namespace ondrel::db {

class PgConnection;

class PgStatement final : public Statement {
public:
    // `name` empty: a statement sent with its text on every run.
    PgStatement(PgConnection& connection, const QByteArray& sql, const QByteArray& name);
    ~PgStatement() override;

    void bindText(int index, const QString& text) override;
    void bindInt(int index, qint64 value) override;
    void bindNull(int index) override;
    void bindDouble(int index, double value) override;
    void bindMoney(int index, qint64 units) override;

    bool step() override;
    void reset() override;

    int columnCount() const override;
    bool isNull(int column) const override;
    qint64 columnInt(int column) const override;
    QString columnText(int column) const override;
    QVariant column(int column) const override;
    bool isInteger(int column) const override;
    QByteArrayView columnUtf8(int column) const override;
    qint64 columnMoney(int column) const override;

private:
    void setParameter(int index, QByteArray value, bool null);
    void run();

    PgConnection& m_connection;
    QByteArray m_server;  // the text with $1, $2… for ?, ?1…
    QByteArray m_name;
    int m_parameterCount = 0;
    bool m_prepared = false;
    QVector<QByteArray> m_values;
    QVector<bool> m_nulls;
    pg_result* m_result = nullptr;
    int m_row = -1;
};

// One libpq connection: the address as the settings keep it, the statements
// prepared on the server once, and the server's errors as the engine's.
class PgConnection final : public Connection {
public:
    // Connects to the database of `address`; throws ErrUnreachable when the
    // server cannot be reached or refuses this user.
    explicit PgConnection(const QString& address);
    ~PgConnection() override;

    QString shownName() const override { return m_shown; }
    const SqlFlavor& flavor() const override;
    void exec(const QString& sql) override;
    Statement& cached(const QByteArray& sql) override;
    std::unique_ptr<Statement> prepare(const QByteArray& sql) override;
    int changes() const override { return m_changes; }
    qint64 lastInsertRowId() const override { return 0; }
    QPair<qint64, qint64> fileVersion() override;
    qint64 schemaVersion() override { return 1; }
    void begin(Wait wait) override;
    void commit() override;
    void rollback() noexcept override;
    bool inTransaction() const override;
    void beginSnapshot() override;
    void endSnapshot() noexcept override;
    void relaxCommits(bool relaxed) override { m_relaxed = relaxed; }
    // The server keeps its own cache.
    qint64 widenCache(qint64) override { return 0; }
    void restoreCache(qint64) override {}
    bool hasSchemaObject(const QString& name) override;
    QStringList columnsOf(const QString& table) override;
    QStringList leadingIndexColumns(const TableInfo& table) override;
    void createSchema(const Schema& schema) override;
    void checkpointAndClose() override;

    // Whether the database holds no table of its own (a new collection goes
    // only into an empty database).
    bool isEmptyDatabase();
    // The three parts of createSchema(), in the order a copy of a file takes
    // them: the tables (with a folded key for every text field), then the
    // records, then the indexes, then the change ledger and its triggers.
    // Returns the tables as created.
    QVector<TableInfo> createTables(const Schema& schema);
    void createIndexes(const Schema& schema);
    // The indexes (and the pictures' tables) a collection on a server gains
    // after it was created, each made when it is missing (createIndexes()
    // makes them too).
    void addLaterIndexes();
    // Gives the stored queries of a collection created before they were
    // kept per desk the desk's column (the rows there stay with desk "", the
    // queries every desk shares). False when this user may not change the
    // table: the queries then stay shared, as before.
    bool keepQueriesPerDesk();
    void createLedger(const QVector<TableInfo>& tables);
    // Sends rows to a COPY ... FROM STDIN statement: `next` fills its
    // argument with lines of COPY's text format and returns false when
    // there are no more.
    void copyIn(const QByteArray& sql, const std::function<bool(QByteArray&)>& next);

    pg_conn* handle() const { return m_conn; }
    // Throws the engine's error for a failed result (which it clears) or a
    // lost connection.
    [[noreturn]] void fail(pg_result* result, const QByteArray& sql);
    void noteChanges(int rows);

private:
    void checkOpen() const;
    // Runs a text of one or more statements without parameters.
    void simple(const QByteArray& sql);
    // The counts of a table's blocks of row ids and the triggers that keep
    // them.
    void createBlocks(const TableInfo& table);

    pg_conn* m_conn = nullptr;
    QString m_shown;
    QHash<QByteArray, std::shared_ptr<PgStatement>> m_cache;
    int m_nextName = 0;
    int m_changes = 0;
    qint64 m_totalChanges = 0;
    bool m_relaxed = false;
};

}  // namespace ondrel::db
