#pragma once

// The store beneath the engine: one interface, a driver per store. The
// collection file is an SQLite database (sqlitestore.h); a collection shared
// by several computers lives on a PostgreSQL server (pgstore.h). Everything
// above these classes — the dialect's parser, record sets, stored queries,
// the tallies — is written once, against Connection, Statement and SqlFlavor.
#include "statement.h"

#include <QByteArray>
#include <QHash>
#include <QPair>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace ondrel::db {

class Schema;
class SqlFlavor;
struct TableInfo;

// How long a store waits for another program's lock before it reports it.
inline constexpr int kStoreWaitMs = 1500;

// One open handle on a collection store: statements (prepared once and kept),
// short transactions, the waits for another writer's lock, and what a store
// holds besides the records (its DDL and how it describes itself). Every
// failure is an EngineError with the engine's number and a Portuguese text.
class Connection {
public:
    Connection();
    virtual ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // The collection as the messages name it: a file's path, or a server's
    // address without its password.
    virtual QString shownName() const = 0;
    // How this store writes what differs between the stores.
    virtual const SqlFlavor& flavor() const = 0;

    // A statement (or several) run at once, its rows ignored.
    virtual void exec(const QString& sql) = 0;
    // A prepared statement kept for the connection's life; always use it
    // through a ScopedRun.
    virtual Statement& cached(const QByteArray& sql) = 0;
    // A statement prepared for one use.
    virtual std::unique_ptr<Statement> prepare(const QByteArray& sql) = 0;
    // Rows changed by the last statement.
    virtual int changes() const = 0;
    // The row id of the record the last INSERT added, where the flavor's
    // returningRowId() is empty.
    virtual qint64 lastInsertRowId() const = 0;
    // Differs from an earlier value once this handle has written rows or
    // another handle has committed since.
    virtual QPair<qint64, qint64> fileVersion() = 0;
    // A number that changes whenever the store's tables, indexes or triggers
    // change.
    virtual qint64 schemaVersion() = 0;

    // Records written into a table through this handle (an empty name: a
    // native statement, which counts for every table): with the other
    // handles' commits, what tells a store without the change ledger that a
    // table may have changed.
    void noteWrite(const QString& table);
    qint64 writesTo(const QString& table) const;

    // Transactions (see Transaction). A store waits up to kStoreWaitMs for
    // another writer; NoWait gives up at once with ErrLocked.
    enum class Wait { Store, NoWait };
    virtual void begin(Wait wait) = 0;
    virtual void commit() = 0;
    virtual void rollback() noexcept = 0;
    // Whether a transaction is open on the handle.
    virtual bool inTransaction() const = 0;
    // Reads that must see one state of the store (a count and the version
    // it was taken at), when no transaction is open.
    virtual void beginSnapshot() = 0;
    virtual void endSnapshot() noexcept = 0;
    // The commits of derived data (the stored queries, the kept counts) skip
    // waiting for the disk while `relaxed`: they stay atomic, and the next
    // record's commit makes them durable too.
    virtual void relaxCommits(bool relaxed) = 0;

    // Widens the page cache to `kilobytes` for a long write; returns what
    // restoreCache() takes back (0: nothing to restore).
    virtual qint64 widenCache(qint64 kilobytes) = 0;
    virtual void restoreCache(qint64 previous) = 0;

    // What the store holds besides the records.
    virtual bool hasSchemaObject(const QString& name) = 0;
    virtual QStringList columnsOf(const QString& table) = 0;
    // The folded names of the columns that lead an index of the table.
    virtual QStringList leadingIndexColumns(const TableInfo& table) = 0;
    // Creates the tables, indexes, triggers and metadata of a new collection.
    virtual void createSchema(const Schema& schema) = 0;

    // Calls `told`, from this thread's event loop, a moment after another
    // handle (another desk, or another program) committed a change to the
    // objects or the loans; changes close together are told once. An empty
    // function stops it. A store that cannot tell (the file) never calls it:
    // its windows see others' changes at the next move.
    virtual void watchOthers(std::function<void()> told) { (void)told; }

    // Ends the handle: a file's journal copied into it where that can be
    // done at once. Later calls fail with ErrClosed. Used on every end of the
    // process.
    virtual void checkpointAndClose() = 0;
    // Every connection of the process, checkpointed and closed. Connections
    // of other threads must be gone first.
    static void checkpointAndCloseAll();
    // Whether a connection of the process is open on that file.
    static bool anyOpenOn(const QString& path);
    // Leaves this handle out of checkpointAndCloseAll(): a handle of a thread
    // that may outlive the windows (a picture being fetched), closed only by
    // that thread.
    void excludeFromCloseAll();

protected:
    [[noreturn]] static void closed();

private:
    QHash<QString, qint64> m_writes;
    qint64 m_nativeWrites = 0;
};

// A transaction, committed by commit() and rolled back when the scope is
// left by an exception. Never outlives one call into the layer. A record's
// transaction waits up to kStoreWaitMs for another writer; NoWait gives up at
// once.
class Transaction {
public:
    using Wait = Connection::Wait;
    explicit Transaction(Connection& connection, Wait wait = Wait::Store);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit();

private:
    Connection& m_connection;
    bool m_open = true;
};

}  // namespace ondrel::db
