#pragma once

#include "flavor.h"
#include "schema.h"

#include <QByteArray>
#include <QCache>
#include <QString>
#include <QVariant>
#include <QVector>

namespace ondrel::db {

// What a record set is opened on, translated from the collection's dialect.
struct SelectPlan {
    QString statement;    // the text translated; empty for a whole table
    const TableInfo* table = nullptr;
    QVector<int> fields;  // indexes into table->fields, in select order
    SqlExpr where;
    QByteArray orderBy;   // full ORDER BY list, ending with the row id
    // Whether a record set may read its members a few at a time, seeking
    // from the last one read: the order is one sort key that an index leads
    // (then the row id), or the row id alone.
    bool seekable = false;
    QByteArray seekKey;   // that sort key's column; empty for the row id
    bool descending = false;
    // The where is one "contains" that the table's search index serves: the
    // members can be read from the index itself, in row-id order.
    QByteArray searchIndex;  // the index's table, or empty
    QString searchMatch;     // what the index is asked to match
    // The translation relies on the table's folded keys or search index.
    bool usesKeys = false;
};

// The dialect: select [*|fields] from table [where criteria]
// [order by field [asc|desc], ...]. Criteria: comparisons (=, <>, <, >, <=,
// >=) of a field with a literal, `like` with '*' and '?', and / or / not,
// parentheses. Where a field is compared with a literal or orders the
// records, the functions Nz, DateAdd (in days) and StrComp may stand too.
// Text compares without regard to case or accents. Anything else is refused
// with EngineError 3075 (unknown names: 3078 for tables, 3265 for fields; a
// function given a value of the wrong type: 3421).
SelectPlan parseSelect(const QString& statement, const Schema& schema);
SqlExpr parseCriteria(const QString& criteria, const TableInfo& table);
SelectPlan tablePlan(const TableInfo& table);
bool startsWithSelect(const QString& text);

// The translations of the texts used last, keyed by the text and what it is
// translated as (a statement, or criteria on a given table), least recently
// used dropped first: reopening "pesquisa" or repeating a find does not parse
// again. A refused text is not kept, so it is refused again every time.
class TranslationCache {
public:
    explicit TranslationCache(const Schema& schema, int capacity = 32);
    SelectPlan select(const QString& statement);
    SqlExpr criteria(const QString& criteria, const TableInfo& table);
    // Forgets every translation: the keys a translation relies on came or
    // went.
    void clear();

private:
    template <typename T, typename Translate>
    static T lookup(QCache<QString, T>& cache, const QString& key, Translate&& translate);

    const Schema& m_schema;
    QCache<QString, SelectPlan> m_selects;
    QCache<QString, SqlExpr> m_criteria;
};

}  // namespace ondrel::db
