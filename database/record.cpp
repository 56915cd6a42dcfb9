#include "record.h"

#include "connection.h"
#include "engineerror.h"
#include "core/values.h"

#include <algorithm>

namespace ondrel::db {

namespace {

[[noreturn]] void typeMismatch(const FieldInfo& field, const QString& text)
{
    throw EngineError(ErrDataType, QStringLiteral("Tipo de dados incompatível: '%1' não é um valor válido para o campo '%2'.")
                                       .arg(text, field.name));
}

}  // namespace

QVariant convertInput(const FieldInfo& field, const QVariant& input)
{
    if (!input.isValid() || input.isNull())
        return QVariant();
    switch (field.type) {
    case FieldType::Text:
    case FieldType::Memo: {
        const QString text = input.toString();
        if (text.isEmpty())
            return QVariant();
        if (field.size > 0 && text.size() > field.size)
            throw EngineError(ErrFieldTooLong, QStringLiteral("O campo '%1' é muito pequeno para aceitar a quantidade "
                                                              "de dados que você tentou adicionar (máximo %2 caracteres).")
                                                   .arg(field.name)
                                                   .arg(field.size));
        return text;
    }
    case FieldType::Date: {
        if (input.typeId() == QMetaType::QDate)
            return input.toDate().isValid() ? input : QVariant();
        if (input.typeId() == QMetaType::QDateTime)
            return input.toDateTime().date();
        bool ok = false;
        const auto date = parseDate(input.toString(), &ok);
        if (!ok)
            typeMismatch(field, input.toString());
        return date ? QVariant(*date) : QVariant();
    }
    case FieldType::Currency: {
        switch (input.typeId()) {
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::UInt:
        case QMetaType::ULongLong:
            return QVariant(input.toLongLong());  // already ten-thousandths
        case QMetaType::Double:
            return QVariant(qint64(qRound64(input.toDouble() * kCurrencyScale)));
        default:
            break;
        }
        bool ok = false;
        const QLocale regional;
        const auto units = parseAmount(input.toString(), regional, &ok);
        if (!ok)
            throw EngineError(ErrDataType, amountRefusal(input.toString(), regional));
        return units ? QVariant(*units) : QVariant();
    }
    case FieldType::Counter:
        throw EngineError(ErrReadOnly, QStringLiteral("O campo '%1' não pode ser atualizado.").arg(field.name));
    }
    return QVariant();
}

QVariant convertLenient(const FieldInfo& field, const QVariant& input)
{
    try {
        if (field.type == FieldType::Text || field.type == FieldType::Memo)
            return input.toString().isEmpty() ? QVariant() : QVariant(input.toString());
        return convertInput(field, input);
    } catch (const EngineError&) {
        return input;
    }
}

QString displayText(const FieldInfo& field, const QVariant& value)
{
    if (value.isNull() || !value.isValid())
        return QString();
    switch (field.type) {
    case FieldType::Date:
        return value.typeId() == QMetaType::QDate ? formatDate(value.toDate()) : value.toString();
    case FieldType::Currency:
        return value.typeId() == QMetaType::LongLong ? formatAmount(value.toLongLong(), AmountShape::Number)
                                                     : value.toString();
    default:
        return value.toString();
    }
}

QVariant toStorage(const FieldInfo& field, const QVariant& value)
{
    if (value.isNull() || !value.isValid())
        return QVariant();
    switch (field.type) {
    case FieldType::Date:
        return dateToStorage(value.toDate());
    case FieldType::Currency:
    case FieldType::Counter:
        return value.toLongLong();
    default:
        return value.toString();
    }
}

QVariant fromStorage(const FieldInfo& field, const QVariant& stored)
{
    if (stored.isNull() || !stored.isValid())
        return QVariant();
    switch (field.type) {
    case FieldType::Date: {
        const QDate date = dateFromStorage(stored.toString());
        return date.isValid() ? QVariant(date) : QVariant();
    }
    case FieldType::Currency:
    case FieldType::Counter:
        return stored.toLongLong();
    default:
        return stored.toString();
    }
}

QVariant readColumn(const FieldInfo& field, const Statement& statement, int column)
{
    if (statement.isNull(column))
        return QVariant();
    switch (field.type) {
    case FieldType::Date: {
        const QDate date = dateFromStorage(statement.columnText(column));
        return date.isValid() ? QVariant(date) : QVariant();
    }
    case FieldType::Currency:
    case FieldType::Counter:
        return QVariant(statement.columnInt(column));
    default:
        return QVariant(statement.columnText(column));
    }
}

QByteArray selectRowSql(const TableInfo& table, const QVector<int>& fields)
{
    QByteArray sql = "SELECT ";
    for (int i = 0; i < fields.size(); ++i)
        sql += (i ? ", " : "") + table.fields[fields[i]].column();
    return sql + " FROM " + table.sqlName() + " WHERE rowid = ?";
}

namespace {

// Columns written for the given fields, shadow keys included.
struct Assignment {
    QVector<QByteArray> columns;
    QVector<QVariant> values;
};

Assignment assignmentsFor(const TableInfo& table, const QVector<int>& fields, const QVector<QVariant>& values)
{
    Assignment a;
    for (int i = 0; i < fields.size(); ++i) {
        const FieldInfo& f = table.fields[fields[i]];
        if (f.type == FieldType::Counter)
            continue;
        const QVariant stored = toStorage(f, values[i]);
        a.columns.append(f.column());
        a.values.append(stored);
        if (!f.keyColumn.isEmpty()) {
            a.columns.append(f.keyColumnSql());
            a.values.append(stored.isNull() ? QVariant() : QVariant(foldText(stored.toString())));
        }
    }
    return a;
}

// A record set keeps the row ids it read. A table whose row id is no
// automatic number of its own (objetos) would give the id of a deleted last
// row to the next new row, and a set still holding that id would show the new
// row in the deleted one's place. For such a table the highest id ever deleted
// is kept in the meta table, and a new row always gets an id above it and
// above every live row. A file without the mark (made by an earlier build)
// gets it with its first delete.
bool reusesRowIds(const TableInfo& table)
{
    for (const FieldInfo& f : table.fields)
        if (f.type == FieldType::Counter)
            return false;  // an automatic number never comes back
    return true;
}

QString deletedIdKey(const TableInfo& table)
{
    return QStringLiteral("last_deleted_id:") + table.name;
}

qint64 lastDeletedId(Connection& c, const TableInfo& table)
{
    Statement& st = c.cached("SELECT CAST(value AS INTEGER) FROM ondrel_meta WHERE key = ?");
    ScopedRun run(st);
    run->bindText(1, deletedIdKey(table));
    return run->step() ? run->columnInt(0) : 0;
}

qint64 nextRowId(Connection& c, const TableInfo& table)
{
    Statement& st = c.cached("SELECT max(rowid) FROM " + table.sqlName());
    ScopedRun run(st);
    const qint64 highest = run->step() ? run->columnInt(0) : 0;
    return std::max(highest, lastDeletedId(c, table)) + 1;
}

}  // namespace

qint64 insertRecord(Connection& c, const TableInfo& table, const QVector<int>& fields, const QVector<QVariant>& values)
{
    Assignment a = assignmentsFor(table, fields, values);
    if (reusesRowIds(table)) {
        a.columns.prepend("rowid");
        a.values.prepend(nextRowId(c, table));
    }
    QByteArray sql = "INSERT INTO " + table.sqlName();
    if (a.columns.isEmpty()) {
        sql += " DEFAULT VALUES";
    } else {
        QByteArray marks;
        for (int i = 0; i < a.columns.size(); ++i)
            marks += i ? ", ?" : "?";
        sql += " (" + a.columns.join(", ") + ") VALUES (" + marks + ")";
    }
    Statement& st = c.cached(sql);
    ScopedRun run(st);
    for (int i = 0; i < a.values.size(); ++i)
        run->bind(i + 1, a.values[i]);
    run->step();
    return c.lastInsertRowId();
}

void updateRecord(Connection& c, const TableInfo& table, qint64 rowid, const QVector<int>& fields,
                  const QVector<QVariant>& values)
{
    const Assignment a = assignmentsFor(table, fields, values);
    if (a.columns.isEmpty())
        return;
    QByteArray sql = "UPDATE " + table.sqlName() + " SET ";
    for (int i = 0; i < a.columns.size(); ++i)
        sql += (i ? ", " : "") + a.columns[i] + " = ?";
    sql += " WHERE rowid = ?";
    Statement& st = c.cached(sql);
    ScopedRun run(st);
    for (int i = 0; i < a.values.size(); ++i)
        run->bind(i + 1, a.values[i]);
    run->bindInt(int(a.values.size()) + 1, rowid);
    run->step();
    if (c.changes() == 0)
        throw EngineError(ErrRecordDeleted, QStringLiteral("O registro foi excluído por outro usuário."));
}

void deleteRecord(Connection& c, const TableInfo& table, qint64 rowid)
{
    {
        Statement& st = c.cached("DELETE FROM " + table.sqlName() + " WHERE rowid = ?");
        ScopedRun run(st);
        run->bindInt(1, rowid);
        run->step();
    }
    if (c.changes() == 0 || !reusesRowIds(table) || rowid <= lastDeletedId(c, table))
        return;
    Statement& st = c.cached("INSERT OR REPLACE INTO ondrel_meta (key, value) VALUES (?, ?)");
    ScopedRun run(st);
    run->bindText(1, deletedIdKey(table));
    run->bindText(2, QString::number(rowid));
    run->step();
}

}  // namespace ondrel::db
