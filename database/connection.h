#pragma once

#include "statement.h"

#include <QByteArray>
#include <QHash>
#include <QPair>
#include <QString>
#include <memory>

struct sqlite3;

namespace ondrel::db {

// Throws the EngineError that matches an SQLite result code; `file` names
// the file when the handle does not (one that failed to open).
[[noreturn]] void throwSqliteError(sqlite3* db, int rc, const QByteArray& sql = QByteArray(),
                                   const QString& file = QString());
// Why SQLite failed on a file with `rc` (the disk full, a read or write
// error, a file that cannot be opened), as a clause for a person that names
// the system's reason; empty for a failure of another kind.
QString fileFailure(sqlite3* db, int rc, const QString& file);

// How long a store waits for another program's lock before it reports it.
inline constexpr int kStoreWaitMs = 1500;

// Owns one sqlite3 handle: opening without ever creating a file, the run-time
// functions of the dialect (fold, like), a cache of prepared statements and
// short transactions.
class Connection {
public:
    // ReadOnly opens the file as immutable: SQLite creates no -wal or -shm
    // beside it and writes nothing.
    enum class Mode { OpenExisting, CreateNew, ReadOnly };
    // `shownPath` is the file the messages name (the collection, also when a
    // private copy of it is what is opened).
    Connection(const QString& path, Mode mode, const QString& shownPath = QString());
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    sqlite3* handle() const { return m_db; }
    const QString& path() const { return m_path; }

    void exec(const QString& sql);
    // A prepared statement kept for the connection's life; always use it
    // through a ScopedRun.
    Statement& cached(const QByteArray& sql);

    qint64 lastInsertRowId() const;
    int changes() const;  // rows changed by the last statement
    // Differs from an earlier value once this handle has written rows or
    // another handle has committed since.
    QPair<qint64, qint64> fileVersion();
    // Records written into a table through this handle (an empty name: a
    // native statement, which counts for every table): with the other
    // handles' commits, what tells a file without the change ledger that a
    // table may have changed.
    void noteWrite(const QString& table);
    qint64 writesTo(const QString& table) const;

    // How long a write waits for another writer's lock.
    void setLockWait(int milliseconds);

    // Copies the journal into the file, only if that can be done at once,
    // and closes the handle (later calls fail with ErrClosed). Used on every
    // end of the process.
    void checkpointAndClose();
    // Every connection of the process, checkpointed and closed. Connections
    // of other threads must be gone first.
    static void checkpointAndCloseAll();
    // Whether a connection of the process is open on that file.
    static bool anyOpenOn(const QString& path);

private:
    void checkOpen() const;

    sqlite3* m_db = nullptr;
    QString m_path;
    QHash<QByteArray, std::shared_ptr<Statement>> m_cache;
    QHash<QString, qint64> m_writes;
    qint64 m_nativeWrites = 0;
};

// Begin IMMEDIATE ... commit, rolled back when the scope is left by an
// exception. Never outlives one call into the layer. A record's transaction
// waits up to kStoreWaitMs for another writer; NoWait gives up at once.
class Transaction {
public:
    enum class Wait { Store, NoWait };
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
