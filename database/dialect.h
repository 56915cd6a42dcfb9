#pragma once

#include "schema.h"

#include <QByteArray>
#include <QCache>
#include <QString>
#include <QVariant>
#include <QVector>

namespace ondrel::db {

// A piece of SQLite SQL with its bound parameters (values never go into the
// text).
struct SqlExpr {
    QByteArray sql;
    QVector<QVariant> params;
    bool isEmpty() const { return sql.isEmpty(); }
};

// What a record set is opened on, translated from the collection's dialect.
struct SelectPlan {
    const TableInfo* table = nullptr;
    QVector<int> fields;  // indexes into table->fields, in select order
    SqlExpr where;
    QByteArray orderBy;   // full ORDER BY list, ending with the row id
};

// The dialect: select [*|fields] from table [where criteria]
// [order by field [asc|desc], ...]. Criteria: comparisons (=, <>, <, >, <=,
// >=) of a field with a literal, `like` with '*' and '?', and / or / not,
// parentheses. Text compares without regard to case or accents. Anything else
// is refused with EngineError 3075 (unknown names: 3078 for tables, 3265 for
// fields).
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

private:
    template <typename T, typename Translate>
    static T lookup(QCache<QString, T>& cache, const QString& key, Translate&& translate);

    const Schema& m_schema;
    QCache<QString, SelectPlan> m_selects;
    QCache<QString, SqlExpr> m_criteria;
};

}  // namespace ondrel::db
