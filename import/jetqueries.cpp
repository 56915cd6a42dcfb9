#include "jetqueries.h"

#include "collection/statements.h"
#include "core/values.h"

#include <QRegularExpression>

#include <algorithm>

namespace ondrel::import {

namespace {

enum Attribute { Kind = 0, Unknown1 = 1, Flags = 3, Table = 5, Column = 6, Where = 8, Order = 11, End = 255 };
constexpr int kSelect = 0;
constexpr int kSelectAll = 1;  // a flag of attribute 3: "select *"

// The parts of a select query, in the order Jet keeps them.
struct Select {
    bool all = false;
    QStringList tables, columns, wheres, orders;
    QList<bool> descending;
};

QString bare(QString name)
{
    name = name.trimmed();
    if (name.startsWith(u'[') && name.endsWith(u']'))
        name = name.mid(1, name.size() - 2);
    return name;
}

bool same(const QString& a, const QString& b)
{
    return db::foldText(bare(a)) == db::foldText(b);
}

bool oneOf(const QString& name, std::initializer_list<const char*> names)
{
    return std::any_of(names.begin(), names.end(), [&](const char* n) { return same(name, QString::fromUtf8(n)); });
}

std::optional<Select> selectOf(const QVector<QueryPart>& parts)
{
    Select s;
    bool kind = false;
    for (const QueryPart& p : parts) {
        switch (p.attribute) {
        case Kind:
            if (p.flag != kSelect)
                return std::nullopt;
            kind = true;
            break;
        case Unknown1:
        case End:
            break;
        case Flags:
            s.all = p.flag & kSelectAll;
            break;
        case Table:
            if (!p.name2.isEmpty() || !p.expression.isEmpty())
                return std::nullopt;  // an alias or a joined source
            s.tables << p.name1;
            break;
        case Column:
            if (!p.name1.isEmpty())
                return std::nullopt;  // "as" another name
            s.columns << p.expression;
            break;
        case Where:
            s.wheres << p.expression;
            break;
        case Order:
            s.orders << p.expression;
            s.descending << p.name1.startsWith(u'D', Qt::CaseInsensitive);
            break;
        default:
            return std::nullopt;  // parameters, joins, groups, ...
        }
    }
    if (!kind || s.tables.size() != 1)
        return std::nullopt;
    return s;
}

// A quoted text of the dialect, its doubled quotes undone.
QString unquoted(const QString& quoted)
{
    return QString(quoted).replace(QStringLiteral("''"), QStringLiteral("'"));
}

// "pesquisa": the loans of one object, newest first.
QString loansOfObject(const Select& s)
{
    static const QRegularExpression where(QStringLiteral("^\\s*\\[?codobjeto\\]?\\s*=\\s*'((?:[^']|'')*)'\\s*$"),
                                          QRegularExpression::CaseInsensitiveOption);
    if (!s.all || !s.columns.isEmpty() || !same(s.tables[0], QStringLiteral("empréstimos")) || s.wheres.size() != 1
        || s.orders.size() != 1 || !same(s.orders[0], QStringLiteral("data")) || !s.descending[0])
        return QString();
    const QRegularExpressionMatch m = where.match(s.wheres[0]);
    return m.hasMatch() ? db::loansOfObject(unquoted(m.captured(1))) : QString();
}

// "Imprime": the listing's five columns, in one of the catalogue's orders
// or after a search on one field.
QString listing(const Select& s)
{
    static const QRegularExpression contains(
        QStringLiteral("^\\s*\\[?([^\\s\\]]+)\\]?\\s+like\\s*'\\*((?:[^']|'')*)\\*'\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    const char* columns[] = {"cod", "objeto", "título", "autor", "valor"};
    if (s.all || !same(s.tables[0], QStringLiteral("objetos")) || s.columns.size() != 5)
        return QString();
    for (int i = 0; i < 5; ++i)
        if (!same(s.columns[i], QString::fromUtf8(columns[i])))
            return QString();
    if (s.wheres.isEmpty() && s.orders.size() == 1 && !s.descending[0]
        && oneOf(s.orders[0], {"cod", "título", "autor", "assunto"}))
        return db::listingOrderedBy(bare(s.orders[0]));
    if (s.wheres.size() == 1 && s.orders.isEmpty()) {
        const QRegularExpressionMatch m = contains.match(s.wheres[0]);
        if (m.hasMatch() && oneOf(m.captured(1), {"objeto", "título", "autor", "assunto", "descrição"}))
            return db::listingWhereContains(m.captured(1), unquoted(m.captured(2)));
    }
    return QString();
}

}  // namespace

QString queryTextFromParts(const QString& name, const QVector<QueryPart>& parts)
{
    QVector<QueryPart> ordered = parts;
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const QueryPart& a, const QueryPart& b) { return a.attribute < b.attribute; });
    const std::optional<Select> select = selectOf(ordered);
    if (!select)
        return QString();
    if (same(name, db::pesquisaName()))
        return loansOfObject(*select);
    if (same(name, db::imprimeName()))
        return listing(*select);
    return QString();
}

}  // namespace ondrel::import
