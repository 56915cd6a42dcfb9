#include "schema.h"

#include "connection.h"
#include "engineerror.h"

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

}  // namespace

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

QByteArray FieldInfo::column() const
{
    return quoteIdentifier(name);
}

QByteArray FieldInfo::keyColumnSql() const
{
    return quoteIdentifier(keyColumn);
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

const TableInfo* Schema::table(const QString& name) const
{
    for (const TableInfo& t : m_tables)
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
                                 F{QStringLiteral("Objeto"), FieldType::Text, 25, {}},
                                 F{QStringLiteral("Título"), FieldType::Text, 100, {}},
                                 F{QStringLiteral("Autor"), FieldType::Text, 70, {}},
                                 F{QStringLiteral("Assunto"), FieldType::Text, 25, {}},
                                 F{QStringLiteral("Descrição"), FieldType::Memo, 255, {}},
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
                                 F{QStringLiteral("cod"), FieldType::Counter, 0, {}}}});
    return s;
}

void Schema::createIn(Connection& c) const
{
    // Plain SQL only: the sqlite3 tool reads and checks the file. The folded
    // shadow keys are written by the layer on every insert and update.
    c.exec(QStringLiteral(
        "CREATE TABLE objetos (ondrel_id INTEGER PRIMARY KEY, cod TEXT, \"Objeto\" TEXT, \"Título\" TEXT, "
        "\"Autor\" TEXT, \"Assunto\" TEXT, \"Descrição\" TEXT, \"Data\" TEXT, valor INTEGER, path TEXT, "
        "cod_chave TEXT)"));
    c.exec(QStringLiteral("CREATE UNIQUE INDEX objetos_cod ON objetos (cod_chave)"));
    c.exec(QStringLiteral(
        "CREATE TABLE \"empréstimos\" (codobjeto TEXT, \"Nome\" TEXT, objeto TEXT, \"Título\" TEXT, "
        "\"Autor\" TEXT, \"Data\" TEXT, \"Entregue\" TEXT, \"observações\" TEXT, "
        "cod INTEGER PRIMARY KEY AUTOINCREMENT, codobjeto_chave TEXT)"));
    c.exec(QStringLiteral("CREATE INDEX emprestimos_codobjeto ON \"empréstimos\" (codobjeto_chave, \"Data\")"));
    c.exec(QStringLiteral("CREATE INDEX emprestimos_data ON \"empréstimos\" (\"Data\")"));
    c.exec(QStringLiteral("CREATE TABLE ondrel_meta (key TEXT PRIMARY KEY, value TEXT)"));
    c.exec(QStringLiteral(
        "CREATE TABLE ondrel_fields (tbl TEXT NOT NULL, position INTEGER NOT NULL, name TEXT NOT NULL, "
        "type TEXT NOT NULL, size INTEGER NOT NULL, key_column TEXT, PRIMARY KEY (tbl, position))"));
    c.exec(QStringLiteral("CREATE TABLE ondrel_queries (name TEXT PRIMARY KEY COLLATE NOCASE, sql TEXT NOT NULL)"));
    Statement insert(c.handle(), "INSERT INTO ondrel_fields VALUES (?, ?, ?, ?, ?, ?)");
    for (const TableInfo& t : m_tables) {
        for (int i = 0; i < t.fields.size(); ++i) {
            const FieldInfo& f = t.fields[i];
            ScopedRun run(insert);
            run->bindText(1, t.name);
            run->bindInt(2, i);
            run->bindText(3, f.name);
            run->bindText(4, typeName(f.type));
            run->bindInt(5, f.size);
            run->bind(6, f.keyColumn.isEmpty() ? QVariant() : QVariant(f.keyColumn));
            run->step();
        }
    }
}

Schema Schema::load(Connection& c)
{
    Schema s;
    Statement select(c.handle(), "SELECT tbl, name, type, size, key_column FROM ondrel_fields ORDER BY tbl, position");
    ScopedRun run(select);
    while (run->step()) {
        const QString tbl = run->columnText(0);
        if (s.m_tables.isEmpty() || s.m_tables.last().name != tbl)
            s.m_tables.append(TableInfo{tbl, {}});
        s.m_tables.last().fields.append(FieldInfo{run->columnText(1), typeFromName(run->columnText(2)),
                                                  int(run->columnInt(3)), run->columnText(4)});
    }
    if (!s.table(QStringLiteral("objetos")) || !s.table(QStringLiteral("empréstimos")))
        throw EngineError(ErrNotADatabase, QStringLiteral("O arquivo não é um banco de dados da coleção."));
    return s;
}

}  // namespace ondrel::db
