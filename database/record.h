#pragma once

#include "schema.h"
#include "statement.h"

#include <QVariant>
#include <QVector>
#include <memory>
#include <optional>

namespace ondrel::db {

class Connection;

// Converts what a window put into the edit buffer (typed text or a value) into
// the field's value: QString, QDate, qint64 or null. Throws EngineError 3421
// for an impossible date or amount, 3163 for a text longer than the field.
QVariant convertInput(const FieldInfo& field, const QVariant& input);
// Same conversion without throwing: the raw input when it cannot convert.
QVariant convertLenient(const FieldInfo& field, const QVariant& input);
// Display text as a bound box shows it.
QString displayText(const FieldInfo& field, const QVariant& value);

QVariant toStorage(const FieldInfo& field, const QVariant& value);
QVariant fromStorage(const FieldInfo& field, const QVariant& stored);
// Reads a field value straight from a result column.
QVariant readColumn(const FieldInfo& field, const Statement& statement, int column);

// Row access by row id. Values are field values (already converted). A new
// record's automatic number is the file's own unless a value is given for it.
QByteArray selectRowSql(const TableInfo& table, const QVector<int>& fields);
qint64 insertRecord(Connection& c, const TableInfo& table, const QVector<int>& fields, const QVector<QVariant>& values);
void updateRecord(Connection& c, const TableInfo& table, qint64 rowid, const QVector<int>& fields,
                  const QVector<QVariant>& values);
// False when there was no such record (another handle deleted it).
bool deleteRecord(Connection& c, const TableInfo& table, qint64 rowid);
// Holds the table for the caller's write transaction, so that every other
// writer of the table waits for its commit: what it reads before writing
// stays true until then. (A file's write transaction holds the whole file
// already; a server's holds the table's row of the change ledger.)
void lockForWrite(Connection& c, const TableInfo& table);

// Many new records of one table in the caller's transaction (an import):
// each written as insertRecord() writes it, but the change ledger counts them
// and the table's search index takes them in one step each, at finish(),
// which must come before the commit.
class RecordBatch {
public:
    RecordBatch(Connection& c, const TableInfo& table);
    ~RecordBatch();
    RecordBatch(const RecordBatch&) = delete;
    RecordBatch& operator=(const RecordBatch&) = delete;
    qint64 insert(const QVector<int>& fields, const QVector<QVariant>& values);
    void finish();

private:
    struct Pending;
    void flush();

    Connection& m_c;
    const TableInfo& m_table;
    qint64 m_above = 0;           // the highest row id before the rows not yet indexed
    qint64 m_next = 0;            // the next row id the batch gives, 0: the file gives it
    QVector<qint64> m_earlier;    // rows given numbers below m_above
    std::unique_ptr<Pending> m_pending;
    qint64 m_cacheSize = 0;
};

}  // namespace ondrel::db
