#pragma once

#include "schema.h"
#include "statement.h"

#include <QVariant>
#include <QVector>
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
void deleteRecord(Connection& c, const TableInfo& table, qint64 rowid);

}  // namespace ondrel::db
