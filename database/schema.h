#pragma once

#include "flavor.h"
#include "recordset.h"

#include <QByteArray>
#include <QPair>
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
    // What the file holds for the field besides its column (read from the
    // file's schema): an index led by the column the field sorts by, and the
    // field's key among the columns of the table's search index.
    bool sortIndexed = false;
    bool searched = false;
    QByteArray column() const;     // quoted SQL identifier
    QByteArray keyColumnSql() const;
    // The quoted names as last made, with the names they were made from (a
    // batch of records asks for them for every record).
    mutable QPair<QString, QByteArray> quotedName{}, quotedKey{};
    // What the field sorts and compares by: its folded key, its folding on
    // the fly, or the column itself (dates, amounts, numbers).
    QByteArray sortKey(const TableInfo& table) const;
};

struct TableInfo {
    QString name;
    QVector<FieldInfo> fields;
    // The file's trigram index over the folded keys of the searched fields
    // (a table of its own), or empty.
    QString searchIndex = QString();
    // The file counts the table's changes in ondrel_changes.
    bool ledgered = false;
    // The file counts the table's records per block of row ids in
    // ondrel_blocks (see keptBlocksSql()).
    bool blocksKept = false;
    // The folded keys and the search index match the rows: written by the
    // layer since the table last changed (see Database::refreshFileState).
    // A file without the change ledger cannot tell, and its keys are used
    // as they always were.
    bool keysUsable = true;
    // How the store the table lives in writes its SQL.
    const SqlFlavor* flavor = nullptr;
    int indexOf(const QString& fieldName) const;  // case-insensitive, -1 if absent
    QByteArray sqlName() const;
    // The column that identifies a record and gives the table's order.
    QByteArray rowid() const { return flavor->rowid(*this); }
    const FieldInfo* currencyField() const;  // the field the total sums, or none
};

// The tables of a collection database, read from our metadata table.
class Schema {
public:
    static Schema load(Connection& connection);
    // The fixed schema a new collection database gets.
    static Schema collection();
    // Creates tables, indexes and metadata in an empty store.
    void createIn(Connection& connection) const;
    // What createIn() makes in an empty collection file.
    void createInFile(Connection& connection) const;
    // Gives a file of an earlier format what createIn() gives a new one:
    // the folded key columns (empty), then the sort indexes, the change
    // ledger and the search index (empty). Plain SQL only, in the caller's
    // transaction; Database::buildIndexes() fills the keys between the two.
    void addKeyColumnsIn(Connection& connection) const;
    void addMissingIn(Connection& connection) const;
    // Gives a collection made before a field of the format (a file, or one
    // on a server) that field: its column (empty in every record, of the
    // store's type) and its line in the collection's metadata. In the
    // caller's transaction; addMissingIn() starts with it.
    void addFieldsIn(Connection& connection) const;
    // Whether the collection lacks a field of the format.
    static bool lacksFields(Connection& connection);
    // Whether the file lacks anything addMissingIn() adds.
    static bool lacksIndexes(Connection& connection);

    // Takes what the file holds now besides the fields (key columns,
    // indexes, search index, ledger) into this schema, keeping every
    // TableInfo and FieldInfo where it is.
    void takeFileDetails(const Schema& fresh);

    const TableInfo* table(const QString& name) const;  // case-insensitive
    TableInfo* table(const QString& name);
    const QVector<TableInfo>& tables() const { return m_tables; }

private:
    void readFileDetails(Connection& connection);

    QVector<TableInfo> m_tables;
};

// How many row ids a block of ondrel_blocks spans: block = row id >> kBlockShift.
inline constexpr int kBlockShift = 10;

// Rebuilds the counts of a table's blocks from its rows, in the caller's
// transaction.
void fillBlocks(Connection& connection, const TableInfo& table);
// The name of the trigger that keeps a table's block counts on a change
// ("insert", "update", "delete").
QString blockTriggerName(const TableInfo& table, const char* change);

// The name of a table's search index in the file, and its tokenizer: three
// characters at a time, compared exactly (the keys are folded already).
QString searchIndexName(const TableInfo& table);

QByteArray quoteIdentifier(const QString& name);
// Sets a value of the collection's metadata (key, value).
inline constexpr const char* kSetMeta =
    "INSERT INTO ondrel_meta (key, value) VALUES (?, ?) ON CONFLICT (key) DO UPDATE SET value = excluded.value";
// Names compare without regard to case (accents are part of a name).
bool sameName(const QString& a, const QString& b);

}  // namespace ondrel::db
