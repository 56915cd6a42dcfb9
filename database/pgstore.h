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
    // Prepares the statement on the connection as it is now (when not yet)
    // and runs it; the result as libpq gives it.
    pg_result* send(const char* const* values);

    PgConnection& m_connection;
    QByteArray m_server;  // the text with $1, $2… for ?, ?1…
    QByteArray m_name;
    int m_parameterCount = 0;
    // The connection's generation the statement was prepared in (a
    // connection made again has none of the old one's statements).
    int m_preparedIn = -1;
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
    void watchOthers(std::function<void()> told) override;

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
    // The triggers that tell every desk listening, at commit, that the
    // objects or the loans changed; made when missing.
    void addChangeNotices();
    // Sends rows to a COPY ... FROM STDIN statement: `next` fills its
    // argument with lines of COPY's text format and returns false when
    // there are no more.
    void copyIn(const QByteArray& sql, const std::function<bool(QByteArray&)>& next);

    pg_conn* handle() const { return m_conn; }
    // Throws the engine's error for a failed result (which it clears) or a
    // lost connection.
    [[noreturn]] void fail(pg_result* result, const QByteArray& sql);
    void noteChanges(int rows);
    // Takes the notices of other desks' changes the server sent with the
    // last answer, to be told from the event loop.
    void takeNotices();

    // Bumped each time the connection is made again.
    int generation() const { return m_generation; }
    // Sends a statement (`send` sends it on the connection as it is then)
    // and returns its result; throws the engine's error for a failure. A
    // connection found lost is made again first, and a statement the lost
    // connection stopped is sent once more when that is harmless
    // (mayRunAgain()).
    pg_result* execute(const QByteArray& sql, const std::function<pg_result*()>& send);

private:
    void checkOpen() const;
    // The settings every session of the program starts with.
    void setUpSession();
    // Before a statement is sent: a connection found lost while no
    // transaction was open is made again (the server may be back after a
    // restart), with its session's settings; nothing had been sent on it.
    // Throws ErrUnreachable when the server still cannot be reached, or when
    // the connection was lost inside a transaction (which the server rolled
    // back): that one ends with rollback() first.
    void ensureConnected();
    // Whether a statement that failed may be sent once more on a new
    // connection: the connection was lost outside a transaction and the
    // statement only reads, begins a transaction or sets the session, so
    // running it twice changes nothing. A write, a COMMIT above all, is
    // never sent twice: whether it was done is reported as unknown instead.
    bool mayRunAgain(const QByteArray& sql) const;
    // Notes whether a transaction is open, after a statement on a live
    // connection.
    void noteTransaction();
    // Runs a text of one or more statements without parameters.
    void simple(const QByteArray& sql);
    // The counts of a table's blocks of row ids and the triggers that keep
    // them.
    void createBlocks(const TableInfo& table);

    // Another desk's changes heard on the connection (pgnotices.cpp).
    struct Watch;
    void listen();
    void listenAgain();
    void readNotices();
    void tellOthersWork();

    std::shared_ptr<Watch> m_watch;
    pg_conn* m_conn = nullptr;
    QString m_shown;
    QHash<QByteArray, std::shared_ptr<PgStatement>> m_cache;
    int m_nextName = 0;
    int m_changes = 0;
    qint64 m_totalChanges = 0;
    bool m_relaxed = false;
    // Whether a transaction was open when the server last answered.
    bool m_transaction = false;
    int m_generation = 0;
};

}  // namespace ondrel::db
