#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

struct sqlite3;
struct sqlite3_stmt;

namespace ondrel::db {

// One prepared statement, finalized with its owner. Bind, step, read columns;
// reset() makes it ready for the next run (a ScopedRun does it for you).
class Statement {
public:
    Statement(sqlite3* db, const QByteArray& sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    void bind(int index, const QVariant& value);  // 1-based
    void bindText(int index, const QString& text);
    void bindInt(int index, qint64 value);
    void bindNull(int index);

    // Steps once: true while a row is available. Throws EngineError on failure.
    bool step();
    void reset();

    int columnCount() const;
    bool isNull(int column) const;
    qint64 columnInt(int column) const;
    QString columnText(int column) const;
    QVariant column(int column) const;  // integer / text / null
    bool isInteger(int column) const;
    QByteArrayView columnUtf8(int column) const;  // valid until the next step

    const QByteArray& sql() const { return m_sql; }
    sqlite3_stmt* handle() const { return m_stmt; }

private:
    sqlite3* m_db;
    sqlite3_stmt* m_stmt = nullptr;
    QByteArray m_sql;
};

// Resets (and unbinds) a statement when the scope ends, so that no statement
// stays stepping between two calls into the layer.
class ScopedRun {
public:
    explicit ScopedRun(Statement& statement) : m_statement(statement) {}
    ~ScopedRun();
    ScopedRun(const ScopedRun&) = delete;
    ScopedRun& operator=(const ScopedRun&) = delete;
    Statement* operator->() const { return &m_statement; }
    Statement& operator*() const { return m_statement; }

private:
    Statement& m_statement;
};

}  // namespace ondrel::db
