#pragma once

// A thin RAII layer over the SQLite C API for the benchmark's raw floor: the
// same work as the engine with nothing in between but prepared statements.

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace ondrel::bench {

class RawError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class RawStatement;

// One connection, closed with its owner.
class RawDatabase {
public:
    explicit RawDatabase(const std::string& path);
    sqlite3* handle() const { return m_db.get(); }
    void exec(const char* sql);
    RawStatement prepare(std::string_view sql);
    [[noreturn]] void fail(const char* what) const;

private:
    struct Close {
        void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
    };
    std::unique_ptr<sqlite3, Close> m_db;
};

// One prepared statement, finalized with its owner. Use it through a RawRun.
class RawStatement {
public:
    RawStatement(const RawDatabase& db, sqlite3_stmt* stmt) : m_db(&db), m_stmt(stmt) {}
    sqlite3_stmt* handle() const { return m_stmt.get(); }
    const RawDatabase& database() const { return *m_db; }

private:
    struct Finalize {
        void operator()(sqlite3_stmt* stmt) const { sqlite3_finalize(stmt); }
    };
    const RawDatabase* m_db;
    std::unique_ptr<sqlite3_stmt, Finalize> m_stmt;
};

// One execution of a statement: bind, step, read; reset and unbound when the
// scope ends, so no statement is left stepping.
class RawRun {
public:
    explicit RawRun(RawStatement& statement) : m_statement(statement), m_stmt(statement.handle()) {}
    ~RawRun()
    {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }
    RawRun(const RawRun&) = delete;
    RawRun& operator=(const RawRun&) = delete;

    void bind(int index, std::string_view utf8)
    {
        check(sqlite3_bind_text(m_stmt, index, utf8.data(), int(utf8.size()), SQLITE_TRANSIENT));
    }
    void bind(int index, std::int64_t value) { check(sqlite3_bind_int64(m_stmt, index, value)); }

    // True while a row is available.
    bool step()
    {
        const int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE)
            m_statement.database().fail("step");
        return false;
    }

    int columns() const { return sqlite3_column_count(m_stmt); }
    std::int64_t integer(int column) const { return sqlite3_column_int64(m_stmt, column); }
    std::string_view text(int column) const
    {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
        return p ? std::string_view(p, size_t(sqlite3_column_bytes(m_stmt, column))) : std::string_view();
    }
    // Reads every column of the current row as its stored type, the least a
    // caller does to look at a record; returns the bytes seen so that the
    // reads cannot be optimized away.
    std::size_t touchRow() const;

private:
    void check(int rc) const
    {
        if (rc != SQLITE_OK)
            m_statement.database().fail("bind");
    }
    RawStatement& m_statement;
    sqlite3_stmt* m_stmt;
};

}  // namespace ondrel::bench
