#pragma once

// The stored queries of a Jet 4 file. Jet keeps no text for a select query,
// only its parts (table MSysQueries, one row per part); the program's own two
// stored queries are recognised from them and written again as the program
// writes them. Parts of any other shape give no text: nothing is invented.
#include <QByteArray>
#include <QString>
#include <QVector>

namespace ondrel::import {

// One row of MSysQueries.
struct QueryPart {
    int attribute = 0;  // 0 kind, 3 flags, 5 table, 6 column, 8 where, 11 order, 255 end, ...
    int flag = 0;
    QString expression;
    QString name1;
    QString name2;
};

// The text of the stored query `name` ("pesquisa" or "Imprime", any case)
// from its parts, spelled as the program writes it; empty when the parts
// have no shape the program gives that query.
QString queryTextFromParts(const QString& name, const QVector<QueryPart>& parts);

}  // namespace ondrel::import
