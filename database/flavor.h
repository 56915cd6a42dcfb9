#pragma once

// What the SQL of the two stores writes differently. The engine builds its
// statements once, asking the store's flavor for these pieces; every value
// still goes as a bound parameter.
#include <QByteArray>
#include <QString>
#include <QVariant>
#include <QVector>

namespace ondrel::db {

struct FieldInfo;
struct TableInfo;

// A piece of SQL with its bound parameters (values never go into the text).
struct SqlExpr {
    QByteArray sql;
    QVector<QVariant> params;
    bool isEmpty() const { return sql.isEmpty(); }
};

class SqlFlavor {
public:
    virtual ~SqlFlavor() = default;

    // The column that identifies a record and gives the table's own order.
    virtual QByteArray rowid(const TableInfo& table) const = 0;
    // A term of an ORDER BY on a sort key: an empty key comes first going
    // up and last going down, on every store.
    virtual QByteArray orderTerm(const QByteArray& key, bool descending) const = 0;
    // A text column folded on the fly (case and accents ignored), compared
    // by its bytes.
    virtual QByteArray foldOnTheFly(const QByteArray& column) const = 0;
    // The dialect's like on a field (a folded pattern: '*' any characters,
    // '?' one), looking at its folded key when the key can be used.
    virtual SqlExpr like(const TableInfo& table, const FieldInfo& field, const QString& foldedPattern) const = 0;
    // The folded key holds the folded text `inner` anywhere. `indexed`: the
    // field is among those of the table's search index, and `inner` holds
    // three characters or more. Sets `fromIndex` to the index's table and
    // `match` to what it is asked when the members of a set with this one
    // condition can be read from the index itself.
    virtual SqlExpr contains(const TableInfo& table, const FieldInfo& field, const QString& inner, bool indexed,
                             QByteArray* fromIndex, QString* match) const = 0;
    // Whether the engine writes the search index beside each record (else
    // the store keeps it by itself).
    virtual bool writesSearchIndex() const = 0;
    // Ends an INSERT so that it returns the new record's row id as its one
    // row; empty when the connection's lastInsertRowId() tells it.
    virtual QByteArray returningRowId(const TableInfo& table) const = 0;
    // An expression that reads "integer" while the ledger's kept total is a
    // whole number within the currency's range, "null" when it has none.
    virtual QByteArray keptTotalType() const = 0;
    // A statement whose one row is (the records, the sum of the currency
    // column, 1 when that sum is within the currency's range); empty when
    // the engine counts and adds the rows itself.
    virtual QByteArray countAndTotal(const TableInfo& table, const FieldInfo* currency) const = 0;
    // A stored query's name compared without regard to case (ASCII letters).
    virtual QByteArray queryNameIs() const = 0;
    // Appended to a read of the ledger's row that a write then updates: the
    // row is kept for this transaction.
    virtual QByteArray lockingRead() const = 0;
    // The type of a field's column, as a new table or a field added to an
    // older one writes it.
    virtual QByteArray columnType(const FieldInfo& field) const = 0;
    // A date column's value as the dialect's functions compute with it: the
    // date, or empty where the store holds none.
    virtual QByteArray dateValue(const QByteArray& column) const = 0;
    // The date `days` days after a date value (empty stays empty).
    virtual QByteArray addDays(const QByteArray& date, int days) const = 0;
};

}  // namespace ondrel::db
