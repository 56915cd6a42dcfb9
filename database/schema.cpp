#include "schema.h"

#include "connection.h"
#include "database.h"
#include "engineerror.h"
#include "core/values.h"

#include <QSet>

#include <algorithm>

namespace ondrel::db {

namespace {

QString typeName(FieldType type)
{
    switch (type) {
    case FieldType::Text: return QStringLiteral("text");
    case FieldType::Memo: return QStringLiteral("memo");
    case FieldType::Date: return QStringLiteral("date");
    case FieldType::Currency: return QStringLiteral("currency");
    case FieldType::Counter: return QStringLiteral("counter");
    }
    return QStringLiteral("text");
}

FieldType typeFromName(const QString& name)
{
    if (name == u"memo") return FieldType::Memo;
    if (name == u"date") return FieldType::Date;
    if (name == u"currency") return FieldType::Currency;
    if (name == u"counter") return FieldType::Counter;
    return FieldType::Text;
}

// The indexes a file gains besides those of its first format: the sort
// indexes of the folded keys, and the loans by their exact state, which
// finds the loans out ("Não") among millions for the late loans.
// (index, table, column), as SQL writes the names.
struct SortIndex {
    const char* name;
    const char* table;
    const char* column;
};
constexpr SortIndex kSortIndexes[] = {
    {"objetos_titulo", "objetos", "titulo_chave"},
    {"objetos_autor", "objetos", "autor_chave"},
    {"objetos_assunto", "objetos", "assunto_chave"},
    {"emprestimos_entregue", "\"empréstimos\"", "\"Entregue\""},
};

constexpr const char* kChanges[] = {"insert", "update", "delete"};

QString asciiName(const QString& name)
{
    return foldText(name);
}

QString triggerName(const TableInfo& t, const char* change)
{
    return QStringLiteral("ondrel_%1_%2").arg(asciiName(t.name), QLatin1String(change));
}

QString sqlText(const QString& text)
{
    return u'\'' + literal(text) + u'\'';
}

// The triggers that keep a table's block counts: the change, when it moves
// a record out of a block (old) and into one (new), and their condition.
struct BlockTrigger {
    const char* change;
    bool out;
    bool in;
    const char* when;
};
constexpr BlockTrigger kBlockTriggers[] = {
    {"insert", false, true, ""},
    {"delete", true, false, ""},
    // A record whose row id changes moves to another block.
    {"update", true, true, " WHEN old.rowid <> new.rowid"},
};

QString blockTriggerSql(const TableInfo& t, const BlockTrigger& trigger)
{
    QString body;
    if (trigger.out)
        body += QStringLiteral("UPDATE ondrel_blocks SET records = records - 1 WHERE tbl = %1 AND block = old.rowid >> %2; ");
    if (trigger.in)
        body += QStringLiteral("INSERT INTO ondrel_blocks (tbl, block, records) VALUES (%1, new.rowid >> %2, 1) "
                               "ON CONFLICT (tbl, block) DO UPDATE SET records = ondrel_blocks.records + 1; ");
    return QStringLiteral("CREATE TRIGGER IF NOT EXISTS %1 AFTER %2 ON %3%4 BEGIN ")
               .arg(blockTriggerName(t, trigger.change), QString::fromLatin1(trigger.change).toUpper(), QString::fromUtf8(t.sqlName()),
                    QLatin1String(trigger.when))
        + body.arg(sqlText(t.name)).arg(kBlockShift) + QStringLiteral("END");
}

bool hasBlockTriggers(Connection& c, const TableInfo& t)
{
    for (const BlockTrigger& trigger : kBlockTriggers)
        if (!c.hasSchemaObject(blockTriggerName(t, trigger.change)))
            return false;
    return true;
}

}  // namespace

QString blockTriggerName(const TableInfo& t, const char* change)
{
    return QStringLiteral("ondrel_%1_blocks_%2").arg(asciiName(t.name), QLatin1String(change));
}

namespace {

// A name as the tables of every stored file write it: bare when it is plain
// lower-case ASCII, quoted otherwise.
QString writtenName(const QString& name)
{
    for (QChar ch : name)
        if (!((ch >= u'a' && ch <= u'z') || (ch >= u'0' && ch <= u'9') || ch == u'_'))
            return QString::fromUtf8(quoteIdentifier(name));
    return name;
}

// A field's column as a CREATE TABLE or an ALTER TABLE writes it.
QString columnSql(const SqlFlavor& flavor, const FieldInfo& f)
{
    return writtenName(f.name) + u' ' + QString::fromUtf8(flavor.columnType(f));
}

// The CREATE TABLE of a table in a file: its fields in order (the automatic
// number is the row id; a table without one gets a row id column of its own
// first), then the folded keys.
QString createTableSql(const SqlFlavor& flavor, const TableInfo& t)
{
    QStringList columns;
    const bool counted = std::any_of(t.fields.cbegin(), t.fields.cend(),
                                     [](const FieldInfo& f) { return f.type == FieldType::Counter; });
    if (!counted)
        columns.append(QStringLiteral("ondrel_id INTEGER PRIMARY KEY"));
    for (const FieldInfo& f : t.fields)
        columns.append(columnSql(flavor, f));
    for (const FieldInfo& f : t.fields)
        if (!f.keyColumn.isEmpty())
            columns.append(writtenName(f.keyColumn) + QStringLiteral(" TEXT"));
    return QStringLiteral("CREATE TABLE %1 (%2)").arg(writtenName(t.name), columns.join(QStringLiteral(", ")));
}

bool containsName(const QStringList& names, const QString& name)
{
    return names.contains(name, Qt::CaseInsensitive);
}

// The fields the file's metadata lists for a table.
QStringList fieldNamesOf(Connection& c, const QString& table)
{
    QStringList names;
    const std::unique_ptr<Statement> list = c.prepare("SELECT name FROM ondrel_fields WHERE tbl = ?");
    ScopedRun run(*list);
    run->bindText(1, table);
    while (run->step())
        names.append(run->columnText(0));
    return names;
}

}  // namespace

void fillBlocks(Connection& c, const TableInfo& table)
{
    c.exec(QStringLiteral("DELETE FROM ondrel_blocks WHERE tbl = %1").arg(sqlText(table.name)));
    c.exec(QStringLiteral("INSERT INTO ondrel_blocks (tbl, block, records) SELECT %1, rowid >> %2, count(*) FROM %3 "
                          "GROUP BY rowid >> %2")
               .arg(sqlText(table.name))
               .arg(kBlockShift)
               .arg(QString::fromUtf8(table.sqlName())));
}

QString searchIndexName(const TableInfo& table)
{
    return asciiName(table.name) + QStringLiteral("_busca");
}

QByteArray quoteIdentifier(const QString& name)
{
    QString quoted = name;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return '"' + quoted.toUtf8() + '"';
}

bool sameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

namespace {

const QByteArray& quotedOnce(const QString& name, QPair<QString, QByteArray>& cache)
{
    if (cache.second.isEmpty() || cache.first != name)
        cache = {name, quoteIdentifier(name)};
    return cache.second;
}

}  // namespace

QByteArray FieldInfo::column() const
{
    return quotedOnce(name, quotedName);
}

QByteArray FieldInfo::keyColumnSql() const
{
    return quotedOnce(keyColumn, quotedKey);
}

QByteArray FieldInfo::sortKey(const TableInfo& table) const
{
    if (type != FieldType::Text && type != FieldType::Memo)
        return column();
    if (!keyColumn.isEmpty() && table.keysUsable)
        return keyColumnSql();
    return table.flavor->foldOnTheFly(column());
}

int TableInfo::indexOf(const QString& fieldName) const
{
    for (int i = 0; i < fields.size(); ++i)
        if (sameName(fields[i].name, fieldName))
            return i;
    return -1;
}

QByteArray TableInfo::sqlName() const
{
    return quoteIdentifier(name);
}

const FieldInfo* TableInfo::currencyField() const
{
    for (const FieldInfo& f : fields)
        if (f.type == FieldType::Currency)
            return &f;
    return nullptr;
}

const TableInfo* Schema::table(const QString& name) const
{
    for (const TableInfo& t : m_tables)
        if (sameName(t.name, name))
            return &t;
    return nullptr;
}

TableInfo* Schema::table(const QString& name)
{
    for (TableInfo& t : m_tables)
        if (sameName(t.name, name))
            return &t;
    return nullptr;
}

Schema Schema::collection()
{
    Schema s;
    using F = FieldInfo;
    s.m_tables.append(TableInfo{QStringLiteral("objetos"),
                                {F{QStringLiteral("cod"), FieldType::Text, 7, QStringLiteral("cod_chave")},
                                 F{QStringLiteral("Objeto"), FieldType::Text, 25, QStringLiteral("objeto_chave")},
                                 F{QStringLiteral("Título"), FieldType::Text, 100, QStringLiteral("titulo_chave")},
                                 F{QStringLiteral("Autor"), FieldType::Text, 70, QStringLiteral("autor_chave")},
                                 F{QStringLiteral("Assunto"), FieldType::Text, 25, QStringLiteral("assunto_chave")},
                                 F{QStringLiteral("Descrição"), FieldType::Memo, 255, QStringLiteral("descricao_chave")},
                                 F{QStringLiteral("Data"), FieldType::Date, 0, {}},
                                 F{QStringLiteral("valor"), FieldType::Currency, 0, {}},
                                 F{QStringLiteral("path"), FieldType::Text, 255, {}}}});
    s.m_tables.append(TableInfo{QStringLiteral("empréstimos"),
                                {F{QStringLiteral("codobjeto"), FieldType::Text, 7, QStringLiteral("codobjeto_chave")},
                                 F{QStringLiteral("Nome"), FieldType::Text, 70, {}},
                                 F{QStringLiteral("objeto"), FieldType::Text, 25, {}},
                                 F{QStringLiteral("Título"), FieldType::Text, 100, {}},
                                 F{QStringLiteral("Autor"), FieldType::Text, 70, {}},
                                 F{QStringLiteral("Data"), FieldType::Date, 0, {}},
                                 F{QStringLiteral("Entregue"), FieldType::Text, 50, {}},
                                 F{QStringLiteral("observações"), FieldType::Memo, 255, {}},
                                 F{QStringLiteral("cod"), FieldType::Counter, 0, {}},
                                 // The day the object should come back; a file made before it gains it.
                                 F{QStringLiteral("prazo"), FieldType::Date, 0, {}}}});
    // The catalogue's search dialog looks into these fields of the objects.
    TableInfo& objects = s.m_tables.first();
    objects.searchIndex = searchIndexName(objects);
    for (FieldInfo& f : objects.fields)
        f.searched = !f.keyColumn.isEmpty() && f.name != u"cod";
    return s;
}

void Schema::createIn(Connection& c) const
{
    c.createSchema(*this);
}

void Schema::createInFile(Connection& c) const
{
    // Plain SQL only: the sqlite3 tool reads and checks the file. The folded
    // shadow keys are written by the layer on every insert and update.
    for (const TableInfo& t : m_tables)
        c.exec(createTableSql(c.flavor(), t));
    c.exec(QStringLiteral("CREATE UNIQUE INDEX objetos_cod ON objetos (cod_chave)"));
    c.exec(QStringLiteral("CREATE INDEX emprestimos_codobjeto ON \"empréstimos\" (codobjeto_chave, \"Data\")"));
    c.exec(QStringLiteral("CREATE INDEX emprestimos_data ON \"empréstimos\" (\"Data\")"));
    c.exec(QStringLiteral("CREATE TABLE ondrel_meta (key TEXT PRIMARY KEY, value TEXT)"));
    c.exec(QStringLiteral(
        "CREATE TABLE ondrel_fields (tbl TEXT NOT NULL, position INTEGER NOT NULL, name TEXT NOT NULL, "
        "type TEXT NOT NULL, size INTEGER NOT NULL, key_column TEXT, PRIMARY KEY (tbl, position))"));
    c.exec(QStringLiteral("CREATE TABLE ondrel_queries (name TEXT PRIMARY KEY COLLATE NOCASE, sql TEXT NOT NULL)"));
    const std::unique_ptr<Statement> insert = c.prepare("INSERT INTO ondrel_fields VALUES (?, ?, ?, ?, ?, ?)");
    for (const TableInfo& t : m_tables) {
        for (int i = 0; i < t.fields.size(); ++i) {
            const FieldInfo& f = t.fields[i];
            ScopedRun run(*insert);
            run->bindText(1, t.name);
            run->bindInt(2, i);
            run->bindText(3, f.name);
            run->bindText(4, typeName(f.type));
            run->bindInt(5, f.size);
            run->bind(6, f.keyColumn.isEmpty() ? QVariant() : QVariant(f.keyColumn));
            run->step();
        }
    }
    addMissingIn(c);
    // Empty tables: every key, count and total is right as it stands.
    c.exec(QStringLiteral("UPDATE ondrel_changes SET keyed = changes, counted = changes, records = 0, total = 0"));
}

void Schema::addKeyColumnsIn(Connection& c) const
{
    for (const TableInfo& t : m_tables) {
        const QStringList columns = c.columnsOf(t.name);
        for (const FieldInfo& f : t.fields) {
            if (f.keyColumn.isEmpty() || containsName(columns, f.keyColumn))
                continue;
            c.exec(QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 TEXT")
                       .arg(QString::fromUtf8(t.sqlName()), QString::fromUtf8(f.keyColumnSql())));
            const std::unique_ptr<Statement> key =
                c.prepare("UPDATE ondrel_fields SET key_column = ? WHERE tbl = ? AND name = ?");
            ScopedRun run(*key);
            run->bindText(1, f.keyColumn);
            run->bindText(2, t.name);
            run->bindText(3, f.name);
            run->step();
        }
    }
}

void Schema::addFieldsIn(Connection& c) const
{
    for (const TableInfo& t : m_tables) {
        const QStringList listed = fieldNamesOf(c, t.name);
        const QStringList columns = c.columnsOf(t.name);
        for (const FieldInfo& f : t.fields) {
            if (containsName(listed, f.name))
                continue;
            // A column another program added by hand is taken as it is.
            if (!containsName(columns, f.name))
                c.exec(QStringLiteral("ALTER TABLE %1 ADD COLUMN %2")
                           .arg(QString::fromUtf8(t.sqlName()), columnSql(c.flavor(), f)));
            const std::unique_ptr<Statement> add =
                c.prepare("INSERT INTO ondrel_fields VALUES (?, (SELECT coalesce(max(position), -1) + 1 FROM "
                          "ondrel_fields WHERE tbl = ?), ?, ?, ?, NULL)");
            ScopedRun run(*add);
            run->bindText(1, t.name);
            run->bindText(2, t.name);
            run->bindText(3, f.name);
            run->bindText(4, typeName(f.type));
            run->bindInt(5, f.size);
            run->step();
        }
    }
}

bool Schema::lacksFields(Connection& c)
{
    for (const TableInfo& t : collection().m_tables) {
        const QStringList listed = fieldNamesOf(c, t.name);
        for (const FieldInfo& f : t.fields)
            if (!containsName(listed, f.name))
                return true;
    }
    return false;
}

void Schema::addMissingIn(Connection& c) const
{
    addFieldsIn(c);
    addKeyColumnsIn(c);
    for (const SortIndex& index : kSortIndexes)
        c.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON %2 (%3)")
                   .arg(QLatin1String(index.name), QString::fromUtf8(index.table), QString::fromUtf8(index.column)));
    // The change ledger: every program that writes a table counts the change
    // (plain triggers, so the sqlite3 tool writes the file as before); the
    // layer notes beside it up to which change the keys, the search index,
    // the count and the total are right.
    c.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS ondrel_changes (tbl TEXT PRIMARY KEY, changes INTEGER NOT NULL "
                          "DEFAULT 0, keyed INTEGER, counted INTEGER, records INTEGER, total INTEGER)"));
    c.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS ondrel_blocks (tbl TEXT NOT NULL, block INTEGER NOT NULL, "
                          "records INTEGER NOT NULL, PRIMARY KEY (tbl, block)) WITHOUT ROWID"));
    for (const TableInfo& t : m_tables) {
        c.exec(QStringLiteral("INSERT OR IGNORE INTO ondrel_changes (tbl) VALUES (%1)").arg(sqlText(t.name)));
        for (const char* change : kChanges)
            c.exec(QStringLiteral("CREATE TRIGGER IF NOT EXISTS %1 AFTER %2 ON %3 BEGIN UPDATE ondrel_changes SET "
                                  "changes = changes + 1 WHERE tbl = %4; END")
                       .arg(triggerName(t, change), QString::fromLatin1(change).toUpper(),
                            QString::fromUtf8(t.sqlName()), sqlText(t.name)));
        // The records of each block of 1 << kBlockShift row ids, kept by
        // plain triggers too: where a record stands in the table's order is
        // the sum of the blocks before its own and a count within its block.
        // Counted anew when a trigger was missing.
        if (!hasBlockTriggers(c, t)) {
            for (const BlockTrigger& trigger : kBlockTriggers)
                c.exec(blockTriggerSql(t, trigger));
            fillBlocks(c, t);
        }
        if (t.searchIndex.isEmpty())
            continue;
        QStringList keys;
        for (const FieldInfo& f : t.fields)
            if (f.searched)
                keys.append(f.keyColumn);
        // Contentless: it holds only the index, filled by the layer.
        c.exec(QStringLiteral("CREATE VIRTUAL TABLE IF NOT EXISTS %1 USING fts5(%2, content='', "
                              "tokenize='trigram case_sensitive 1')")
                   .arg(t.searchIndex, keys.join(QStringLiteral(", "))));
    }
}

bool Schema::lacksIndexes(Connection& c)
{
    if (lacksFields(c))
        return true;
    const Schema format = collection();
    for (const TableInfo& t : format.m_tables) {
        const QStringList columns = c.columnsOf(t.name);
        for (const FieldInfo& f : t.fields)
            if (!f.keyColumn.isEmpty() && !containsName(columns, f.keyColumn))
                return true;
        for (const char* change : kChanges)
            if (!c.hasSchemaObject(triggerName(t, change)))
                return true;
        if (!t.searchIndex.isEmpty() && !c.hasSchemaObject(t.searchIndex))
            return true;
        if (!hasBlockTriggers(c, t))
            return true;
    }
    for (const SortIndex& index : kSortIndexes)
        if (!c.hasSchemaObject(QLatin1String(index.name)))
            return true;
    return !c.hasSchemaObject(QStringLiteral("ondrel_changes")) || !c.hasSchemaObject(QStringLiteral("ondrel_blocks"));
}

void Schema::readFileDetails(Connection& c)
{
    const bool ledger = c.hasSchemaObject(QStringLiteral("ondrel_changes"));
    const bool blocks = c.hasSchemaObject(QStringLiteral("ondrel_blocks"));
    for (TableInfo& t : m_tables) {
        t.flavor = &c.flavor();
        t.blocksKept = blocks && hasBlockTriggers(c, t);
        // Folded names of the columns that lead an index.
        const QStringList leadingList = c.leadingIndexColumns(t);
        const QSet<QString> leading(leadingList.cbegin(), leadingList.cend());
        QStringList searched;
        const QString search = searchIndexName(t);
        t.searchIndex = c.hasSchemaObject(search) ? search : QString();
        if (!t.searchIndex.isEmpty())
            searched = c.columnsOf(t.searchIndex);
        for (FieldInfo& f : t.fields) {
            const QString sorted = f.keyColumn.isEmpty() ? f.name : f.keyColumn;
            // The automatic number is the row id itself.
            f.sortIndexed = f.type == FieldType::Counter || leading.contains(sorted.toCaseFolded());
            f.searched = !f.keyColumn.isEmpty() && containsName(searched, f.keyColumn);
        }
        t.ledgered = false;
        if (ledger) {
            const std::unique_ptr<Statement> row = c.prepare("SELECT 1 FROM ondrel_changes WHERE tbl = ?");
            ScopedRun run(*row);
            run->bindText(1, t.name);
            t.ledgered = run->step();
        }
    }
}

void Schema::takeFileDetails(const Schema& fresh)
{
    for (TableInfo& t : m_tables) {
        const TableInfo* now = fresh.table(t.name);
        if (!now)
            continue;
        t.searchIndex = now->searchIndex;
        t.ledgered = now->ledgered;
        t.blocksKept = now->blocksKept;
        for (FieldInfo& f : t.fields) {
            const int i = now->indexOf(f.name);
            if (i < 0)
                continue;
            f.keyColumn = now->fields[i].keyColumn;
            f.sortIndexed = now->fields[i].sortIndexed;
            f.searched = now->fields[i].searched;
        }
    }
}

Schema Schema::load(Connection& c)
{
    Schema s;
    const std::unique_ptr<Statement> select =
        c.prepare("SELECT tbl, name, type, size, key_column FROM ondrel_fields ORDER BY tbl, position");
    ScopedRun run(*select);
    while (run->step()) {
        const QString tbl = run->columnText(0);
        if (s.m_tables.isEmpty() || s.m_tables.last().name != tbl)
            s.m_tables.append(TableInfo{tbl, {}});
        s.m_tables.last().fields.append(FieldInfo{run->columnText(1), typeFromName(run->columnText(2)),
                                                  int(run->columnInt(3)), run->columnText(4)});
    }
    if (!s.table(QStringLiteral("objetos")) || !s.table(QStringLiteral("empréstimos")))
        throw EngineError(ErrNotADatabase, QStringLiteral("O arquivo não é um banco de dados da coleção."));
    s.readFileDetails(c);
    return s;
}

}  // namespace ondrel::db
