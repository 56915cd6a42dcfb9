#include "record.h"

#include "connection.h"
#include "engineerror.h"
#include "flavor.h"
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
        const auto units = parseAmount(input.toString(), &ok);
        if (!ok)
            throw EngineError(ErrDataType, amountRefusal(input.toString()));
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
        return QVariant::fromValue(Money{moneyUnits(value)});
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
        return QVariant(statement.columnMoney(column));
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
    return sql + " FROM " + table.sqlName() + " WHERE " + table.rowid() + " = ?";
}

namespace {

// Columns written for the given fields, shadow keys included.
struct Assignment {
    QVector<QByteArray> columns;
    QVector<QVariant> values;
};

// A new record may be given its automatic number (a collection converted
// from another file keeps its numbers); otherwise the file gives one, and an
// automatic number is never changed.
Assignment assignmentsFor(const TableInfo& table, const QVector<int>& fields, const QVector<QVariant>& values,
                          bool inserting = false)
{
    Assignment a;
    for (int i = 0; i < fields.size(); ++i) {
        const FieldInfo& f = table.fields[fields[i]];
        if (f.type == FieldType::Counter && (!inserting || values[i].isNull() || !values[i].isValid()))
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
    Statement& st = c.cached("SELECT value FROM ondrel_meta WHERE key = ?");
    ScopedRun run(st);
    run->bindText(1, deletedIdKey(table));
    return run->step() ? run->columnText(0).toLongLong() : 0;
}

qint64 nextRowId(Connection& c, const TableInfo& table)
{
    Statement& st = c.cached("SELECT max(" + table.rowid() + ") FROM " + table.sqlName());
    ScopedRun run(st);
    const qint64 highest = run->step() ? run->columnInt(0) : 0;
    return std::max(highest, lastDeletedId(c, table)) + 1;
}

bool touchesSearch(const TableInfo& table, const QVector<int>& fields)
{
    return std::any_of(fields.cbegin(), fields.cend(), [&](int i) { return table.fields[i].searched; });
}

// One record written by the layer, inside its transaction. The search index
// follows the row while it matches the table; the change ledger notes that
// the keys, the search index, the count and the total still match the table
// after the change the triggers counted for this write, unless the table had
// changed behind the layer's back before.
class LedgerWrite {
public:
    LedgerWrite(Connection& c, const TableInfo& table, qint64 rowid, bool search)
        : m_c(c), m_table(table), m_search(search && !table.searchIndex.isEmpty() && c.flavor().writesSearchIndex())
    {
        c.noteWrite(table.name);
        if (!table.ledgered) {
            m_search = false;
            return;
        }
        {
            Statement& st =
                c.cached("SELECT changes, keyed = changes FROM ondrel_changes WHERE tbl = ?" + c.flavor().lockingRead());
            ScopedRun run(st);
            run->bindText(1, table.name);
            if (run->step()) {
                m_before = run->columnInt(0);
                m_keyed = run->columnInt(1) == 1;
            }
        }
        m_search = m_search && m_keyed;
        if (rowid != 0) {
            m_oldValue = currencyOf(rowid);
            if (m_search)
                reindex("'delete', ", rowid);
        }
    }

    // The table's keys and search index matched its rows before the write.
    bool keyed() const { return m_table.ledgered && m_keyed; }

    // After the write: `rows` records more (or fewer), the row's new
    // amount in the table's currency field when it was written.
    void done(qint64 rowid, int rows, const std::optional<std::optional<qint64>>& written)
    {
        if (!m_table.ledgered)
            return;
        if (m_search && rows >= 0)
            reindex("", rowid);
        qint64 delta = 0;
        bool exact = true;
        if (rows < 0) {
            exact = !__builtin_sub_overflow(delta, m_oldValue.value_or(0), &delta);
        } else if (written) {
            exact = !__builtin_sub_overflow(written->value_or(0), m_oldValue.value_or(0), &delta);
        }
        Statement& st = m_c.cached(
            "UPDATE ondrel_changes SET keyed = CASE WHEN keyed = ?1 THEN changes ELSE keyed END, "
            "records = CASE WHEN counted = ?1 THEN records + ?2 ELSE records END, "
            "total = CASE WHEN counted = ?1 THEN total + ?3 ELSE total END, "
            "counted = CASE WHEN counted = ?1 AND ?4 THEN changes WHEN counted = ?1 THEN NULL ELSE counted END "
            "WHERE tbl = ?5");
        ScopedRun run(st);
        run->bindInt(1, m_before);
        run->bindInt(2, rows);
        run->bindInt(3, delta);
        run->bindInt(4, exact ? 1 : 0);
        run->bindText(5, m_table.name);
        run->step();
    }

private:
    std::optional<qint64> currencyOf(qint64 rowid)
    {
        const FieldInfo* currency = m_table.currencyField();
        if (!currency)
            return std::nullopt;
        Statement& st = m_c.cached("SELECT " + currency->column() + " FROM " + m_table.sqlName() + " WHERE "
                                   + m_table.rowid() + " = ?");
        ScopedRun run(st);
        run->bindInt(1, rowid);
        if (!run->step() || run->isNull(0))
            return std::nullopt;
        return run->columnMoney(0);
    }

    // The row's keys into the search index, or out of it ("'delete', ").
    void reindex(const QByteArray& command, qint64 rowid)
    {
        QByteArray keys;
        for (const FieldInfo& f : m_table.fields)
            if (f.searched)
                keys += ", " + f.keyColumnSql();
        const QByteArray index = quoteIdentifier(m_table.searchIndex);
        const QByteArray sql = "INSERT INTO " + index + " (" + (command.isEmpty() ? "" : index + ", ") + "rowid" + keys
            + ") SELECT " + command + "rowid" + keys + " FROM " + m_table.sqlName() + " WHERE rowid = ?";
        Statement& st = m_c.cached(sql);
        ScopedRun run(st);
        run->bindInt(1, rowid);
        run->step();
    }

    Connection& m_c;
    const TableInfo& m_table;
    bool m_search;
    qint64 m_before = 0;
    bool m_keyed = false;
    std::optional<qint64> m_oldValue;
};

// The amount a write gives the table's currency field, when it writes it.
std::optional<std::optional<qint64>> writtenCurrency(const TableInfo& table, const QVector<int>& fields,
                                                     const QVector<QVariant>& values)
{
    for (int i = 0; i < fields.size(); ++i) {
        if (table.fields[fields[i]].type != FieldType::Currency)
            continue;
        const QVariant stored = toStorage(table.fields[fields[i]], values[i]);
        return stored.isNull() ? std::optional<qint64>() : std::optional<qint64>(moneyUnits(stored));
    }
    return std::nullopt;
}

}  // namespace

namespace {

// The INSERT of a new record, with its row id when one is given.
qint64 writeRow(Connection& c, const TableInfo& table, const QVector<int>& fields, const QVector<QVariant>& values,
                std::optional<qint64> rowid)
{
    Assignment a = assignmentsFor(table, fields, values, true);
    if (rowid) {
        a.columns.prepend(table.rowid());
        a.values.prepend(*rowid);
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
    sql += c.flavor().returningRowId(table);
    Statement& st = c.cached(sql);
    ScopedRun run(st);
    for (int i = 0; i < a.values.size(); ++i)
        run->bind(i + 1, a.values[i]);
    return run->step() ? run->columnInt(0) : c.lastInsertRowId();
}

qint64 highestRowId(Connection& c, const TableInfo& table)
{
    Statement& st = c.cached("SELECT max(" + table.rowid() + ") FROM " + table.sqlName());
    ScopedRun run(st);
    return run->step() ? run->columnInt(0) : 0;
}

}  // namespace

void lockForWrite(Connection& c, const TableInfo& table)
{
    if (!table.ledgered)
        return;
    Statement& st = c.cached("SELECT changes FROM ondrel_changes WHERE tbl = ?" + c.flavor().lockingRead());
    ScopedRun run(st);
    run->bindText(1, table.name);
    run->step();
}

qint64 insertRecord(Connection& c, const TableInfo& table, const QVector<int>& fields, const QVector<QVariant>& values)
{
    LedgerWrite ledger(c, table, 0, true);
    const qint64 rowid =
        writeRow(c, table, fields, values, reusesRowIds(table) ? std::optional(nextRowId(c, table)) : std::nullopt);
    ledger.done(rowid, 1, writtenCurrency(table, fields, values));
    return rowid;
}

// The batch's rows as the ledger will count them in one write: how many, and
// the sum of their amounts.
struct RecordBatch::Pending {
    Pending(Connection& c, const TableInfo& table) : ledger(c, table, 0, false) {}
    LedgerWrite ledger;
    int rows = 0;
    std::optional<std::optional<qint64>> total;  // none: the amounts were not written
};

RecordBatch::RecordBatch(Connection& c, const TableInfo& table)
    : m_c(c), m_table(table), m_above(highestRowId(c, table)), m_pending(std::make_unique<Pending>(c, table))
{
    if (reusesRowIds(table))
        m_next = nextRowId(c, table);
    // The indexes of many new rows stay in memory until the commit instead
    // of going to the journal page by page.
    m_cacheSize = c.widenCache(65536);
}

RecordBatch::~RecordBatch()
{
    try {
        if (m_cacheSize != 0)
            m_c.restoreCache(m_cacheSize);
    } catch (const EngineError&) {
    }
}

qint64 RecordBatch::insert(const QVector<int>& fields, const QVector<QVariant>& values)
{
    const qint64 rowid = writeRow(m_c, m_table, fields, values, m_next ? std::optional(m_next) : std::nullopt);
    if (m_next)
        ++m_next;
    if (rowid <= m_above)
        m_earlier.append(rowid);  // an automatic number given below the last one
    if (const auto written = writtenCurrency(m_table, fields, values)) {
        const qint64 amount = written->value_or(0);
        qint64 sum = 0;
        const auto counted = [&] { return m_pending->total ? m_pending->total->value_or(0) : qint64(0); };
        if (__builtin_add_overflow(counted(), amount, &sum)) {
            // Past the currency range: the rows before are counted first.
            flush();
            sum = amount;
        }
        m_pending->total = std::optional<qint64>(sum);
    }
    ++m_pending->rows;
    return rowid;
}

void RecordBatch::flush()
{
    Pending& p = *m_pending;
    p.ledger.done(0, p.rows, p.total);
    m_pending = std::make_unique<Pending>(m_c, m_table);
}

void RecordBatch::finish()
{
    // The index follows the table only while its keys are in step (a
    // server's index follows it by itself).
    if (!m_table.searchIndex.isEmpty() && m_pending->ledger.keyed() && m_c.flavor().writesSearchIndex()) {
        QByteArray keys;
        for (const FieldInfo& f : m_table.fields)
            if (f.searched)
                keys += ", " + f.keyColumnSql();
        const QByteArray fill = "INSERT INTO " + quoteIdentifier(m_table.searchIndex) + " (rowid" + keys
                                + ") SELECT rowid" + keys + " FROM " + m_table.sqlName() + " WHERE rowid ";
        {
            ScopedRun run(m_c.cached(fill + "> ?"));
            run->bindInt(1, m_above);
            run->step();
        }
        for (const qint64 rowid : std::as_const(m_earlier)) {
            ScopedRun run(m_c.cached(fill + "= ?"));
            run->bindInt(1, rowid);
            run->step();
        }
    }
    m_earlier.clear();
    m_above = highestRowId(m_c, m_table);
    flush();
}

void updateRecord(Connection& c, const TableInfo& table, qint64 rowid, const QVector<int>& fields,
                  const QVector<QVariant>& values)
{
    const Assignment a = assignmentsFor(table, fields, values);
    if (a.columns.isEmpty())
        return;
    LedgerWrite ledger(c, table, rowid, touchesSearch(table, fields));
    QByteArray sql = "UPDATE " + table.sqlName() + " SET ";
    for (int i = 0; i < a.columns.size(); ++i)
        sql += (i ? ", " : "") + a.columns[i] + " = ?";
    sql += " WHERE " + table.rowid() + " = ?";
    Statement& st = c.cached(sql);
    ScopedRun run(st);
    for (int i = 0; i < a.values.size(); ++i)
        run->bind(i + 1, a.values[i]);
    run->bindInt(int(a.values.size()) + 1, rowid);
    run->step();
    if (c.changes() == 0)
        throw EngineError(ErrRecordDeleted, QStringLiteral("O registro foi excluído por outro usuário."));
    ledger.done(rowid, 0, writtenCurrency(table, fields, values));
}

bool deleteRecord(Connection& c, const TableInfo& table, qint64 rowid)
{
    LedgerWrite ledger(c, table, rowid, true);
    {
        Statement& st = c.cached("DELETE FROM " + table.sqlName() + " WHERE " + table.rowid() + " = ?");
        ScopedRun run(st);
        run->bindInt(1, rowid);
        run->step();
    }
    const int deleted = c.changes();
    if (deleted > 0)
        ledger.done(rowid, -1, std::nullopt);
    if (deleted == 0 || !reusesRowIds(table) || rowid <= lastDeletedId(c, table))
        return deleted > 0;
    Statement& st = c.cached(kSetMeta);
    ScopedRun run(st);
    run->bindText(1, deletedIdKey(table));
    run->bindText(2, QString::number(rowid));
    run->step();
    return true;
}

}  // namespace ondrel::db
