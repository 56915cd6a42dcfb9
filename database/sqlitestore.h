#pragma once

// The collection in its file: an SQLite database.
#include "connection.h"

#include <QHash>

struct sqlite3;
struct sqlite3_stmt;

namespace ondrel::db {

// Throws the EngineError that matches an SQLite result code; `file` names
// the file when the handle does not (one that failed to open).
[[noreturn]] void throwSqliteError(sqlite3* db, int rc, const QByteArray& sql = QByteArray(),
                                   const QString& file = QString());
// Why SQLite failed on a file with `rc` (the disk full, a read or write
// error, a file that cannot be opened), as a clause for a person that names
// the system's reason; empty for a failure of another kind.
QString fileFailure(sqlite3* db, int rc, const QString& file);

class SqliteStatement final : public Statement {
public:
    SqliteStatement(sqlite3* db, const QByteArray& sql);
    ~SqliteStatement() override;

    void bindText(int index, const QString& text) override;
    void bindInt(int index, qint64 value) override;
    void bindNull(int index) override;
    void bindDouble(int index, double value) override;
    void bindMoney(int index, qint64 units) override { bindInt(index, units); }

    bool step() override;
    void reset() override;

    int columnCount() const override;
    bool isNull(int column) const override;
    qint64 columnInt(int column) const override;
    QString columnText(int column) const override;
    QVariant column(int column) const override;
    bool isInteger(int column) const override;
    QByteArrayView columnUtf8(int column) const override;
    qint64 columnMoney(int column) const override { return columnInt(column); }

    sqlite3_stmt* handle() const { return m_stmt; }

private:
    sqlite3* m_db;
    sqlite3_stmt* m_stmt = nullptr;
};

// Owns one sqlite3 handle: opening without ever creating a file, the run-time
// functions of the dialect (fold, like), a cache of prepared statements and
// short transactions.
class SqliteConnection final : public Connection {
public:
    // ReadOnly opens the file as immutable: SQLite creates no -wal or -shm
    // beside it and writes nothing.
    enum class Mode { OpenExisting, CreateNew, ReadOnly };
    // `shownPath` is the file the messages name (the collection, also when a
    // private copy of it is what is opened).
    SqliteConnection(const QString& path, Mode mode, const QString& shownPath = QString());
    ~SqliteConnection() override;

    sqlite3* handle() const { return m_db; }
    const QString& path() const { return m_path; }

    QString shownName() const override;
    const SqlFlavor& flavor() const override;
    void exec(const QString& sql) override;
    Statement& cached(const QByteArray& sql) override;
    std::unique_ptr<Statement> prepare(const QByteArray& sql) override;
    int changes() const override;
    qint64 lastInsertRowId() const override;
    QPair<qint64, qint64> fileVersion() override;
    qint64 schemaVersion() override;
    void begin(Wait wait) override;
    void commit() override;
    void rollback() noexcept override;
    bool inTransaction() const override;
    void beginSnapshot() override;
    void endSnapshot() noexcept override;
    void relaxCommits(bool relaxed) override;
    qint64 widenCache(qint64 kilobytes) override;
    void restoreCache(qint64 previous) override;
    bool hasSchemaObject(const QString& name) override;
    QStringList columnsOf(const QString& table) override;
    QStringList leadingIndexColumns(const TableInfo& table) override;
    void createSchema(const Schema& schema) override;
    void checkpointAndClose() override;

    // How long a write waits for another writer's lock.
    void setLockWait(int milliseconds);

private:
    void checkOpen() const;

    sqlite3* m_db = nullptr;
    QString m_path;
    QHash<QByteArray, std::shared_ptr<SqliteStatement>> m_cache;
};

}  // namespace ondrel::db
