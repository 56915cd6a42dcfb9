#include "rawsqlite.h"

namespace ondrel::bench {

RawDatabase::RawDatabase(const std::string& path)
{
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    m_db.reset(db);  // closed even when the open failed
    if (rc != SQLITE_OK)
        fail("open");
    sqlite3_busy_timeout(db, 5000);
}

void RawDatabase::fail(const char* what) const
{
    throw RawError(std::string("raw SQLite ") + what + ": " + sqlite3_errmsg(m_db.get()));
}

void RawDatabase::exec(const char* sql)
{
    char* message = nullptr;
    const int rc = sqlite3_exec(m_db.get(), sql, nullptr, nullptr, &message);
    const std::string text = message ? message : "";
    sqlite3_free(message);
    if (rc != SQLITE_OK)
        throw RawError("raw SQLite exec: " + text);
}

RawStatement RawDatabase::prepare(std::string_view sql)
{
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(m_db.get(), sql.data(), int(sql.size()), &stmt, nullptr) != SQLITE_OK)
        fail("prepare");
    return RawStatement(*this, stmt);
}

std::size_t RawRun::touchRow() const
{
    std::size_t seen = 0;
    for (int c = 0, n = columns(); c < n; ++c) {
        switch (sqlite3_column_type(m_stmt, c)) {
        case SQLITE_INTEGER: seen += std::size_t(sqlite3_column_int64(m_stmt, c) & 1); break;
        case SQLITE_NULL: break;
        default: seen += text(c).size(); break;
        }
    }
    return seen;
}

}  // namespace ondrel::bench
