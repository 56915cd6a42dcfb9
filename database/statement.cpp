#include "statement.h"

#include "connection.h"
#include "engineerror.h"

#include <sqlite3.h>

namespace ondrel::db {

namespace {

// A value that cannot be bound (too big, out of memory, a wrong index) fails
// the statement before it runs, instead of running it with a null.
void checkBind(sqlite3* db, int rc, const QByteArray& sql)
{
    if (rc != SQLITE_OK)
        throwSqliteError(db, rc, sql);
}

}  // namespace

Statement::Statement(sqlite3* db, const QByteArray& sql) : m_db(db), m_sql(sql)
{
    const int rc = sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &m_stmt, nullptr);
    if (rc != SQLITE_OK)
        throwSqliteError(db, rc, sql);
}

Statement::~Statement()
{
    sqlite3_finalize(m_stmt);
}

void Statement::bind(int index, const QVariant& value)
{
    if (value.isNull() || !value.isValid()) {
        bindNull(index);
        return;
    }
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Bool:
        bindInt(index, value.toLongLong());
        break;
    case QMetaType::Double:
        checkBind(m_db, sqlite3_bind_double(m_stmt, index, value.toDouble()), m_sql);
        break;
    default:
        bindText(index, value.toString());
    }
}

void Statement::bindText(int index, const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    checkBind(m_db, sqlite3_bind_text(m_stmt, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT), m_sql);
}

void Statement::bindInt(int index, qint64 value)
{
    checkBind(m_db, sqlite3_bind_int64(m_stmt, index, value), m_sql);
}

void Statement::bindNull(int index)
{
    checkBind(m_db, sqlite3_bind_null(m_stmt, index), m_sql);
}

bool Statement::step()
{
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    // The extended code of a failed step is only reliable before reset.
    const int extended = sqlite3_extended_errcode(m_db);
    sqlite3_reset(m_stmt);
    throwSqliteError(m_db, extended, m_sql);
}

void Statement::reset()
{
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

int Statement::columnCount() const
{
    return sqlite3_column_count(m_stmt);
}

bool Statement::isNull(int column) const
{
    return sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}

qint64 Statement::columnInt(int column) const
{
    return sqlite3_column_int64(m_stmt, column);
}

QString Statement::columnText(int column) const
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
    return QString::fromUtf8(text, sqlite3_column_bytes(m_stmt, column));
}

bool Statement::isInteger(int column) const
{
    return sqlite3_column_type(m_stmt, column) == SQLITE_INTEGER;
}

QByteArrayView Statement::columnUtf8(int column) const
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
    return QByteArrayView(text, sqlite3_column_bytes(m_stmt, column));
}

QVariant Statement::column(int column) const
{
    switch (sqlite3_column_type(m_stmt, column)) {
    case SQLITE_NULL:
        return QVariant();
    case SQLITE_INTEGER:
        return QVariant(qint64(sqlite3_column_int64(m_stmt, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(m_stmt, column));
    default:
        return QVariant(columnText(column));
    }
}

ScopedRun::~ScopedRun()
{
    m_statement.reset();
}

}  // namespace ondrel::db
