#pragma once

#include "recordset.h"

#include <QByteArray>
#include <QString>
#include <QVector>

namespace ondrel::db {

class Connection;

// One field as the windows see it, and where it lives in the file.
struct FieldInfo {
    QString name;           // as the table spells it ("Título")
    FieldType type = FieldType::Text;
    int size = 0;           // characters; 0 = no limit
    QString keyColumn;      // folded shadow key kept by the layer, or empty
    QByteArray column() const;     // quoted SQL identifier
    QByteArray keyColumnSql() const;
};

struct TableInfo {
    QString name;
    QVector<FieldInfo> fields;
    int indexOf(const QString& fieldName) const;  // case-insensitive, -1 if absent
    QByteArray sqlName() const;
};

// The tables of a collection database, read from our metadata table.
class Schema {
public:
    static Schema load(Connection& connection);
    // The fixed schema a new collection database gets.
    static Schema collection();
    // Creates tables, indexes and metadata on an empty file.
    void createIn(Connection& connection) const;

    const TableInfo* table(const QString& name) const;  // case-insensitive
    const QVector<TableInfo>& tables() const { return m_tables; }

private:
    QVector<TableInfo> m_tables;
};

QByteArray quoteIdentifier(const QString& name);
// Names compare without regard to case (accents are part of a name).
bool sameName(const QString& a, const QString& b);

}  // namespace ondrel::db
