#pragma once

// The Jet fixtures of tests/import/jet/ (see its README.md) and their
// expected dumps: "table <TAB> row <TAB> column <TAB> value" lines, the value
// NULL, s:text (\\, \n, \r, \t escaped), d:yyyy-mm-ddTHH:MM:SS, m:currency
// with four decimals or i:integer.
#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <algorithm>

namespace jettest {

inline QString fixture(const char* name)
{
    return QStringLiteral(ONDREL_SOURCE_DIR "/tests/import/jet/") + QLatin1String(name);
}

inline QStringList lines(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

inline QByteArray bytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The expected value of every (table, row, column), and the query texts.
struct Dump {
    QMap<QString, QMap<int, QMap<QString, QString>>> values;
    QMap<QString, QString> queries;
    QMap<QString, QString> facts;  // "count objetos rows" and the like: their value
};

inline Dump expected(const char* name)
{
    Dump dump;
    for (const QString& line : lines(fixture(name))) {
        const QStringList f = line.split(u'\t');
        if (f[0] == QLatin1String("objetos") || f[0] == QString::fromUtf8("empréstimos"))
            dump.values[f[0]][f[1].toInt()][f[2]] = f[3];
        else if (f[0] == QLatin1String("query"))
            dump.queries[f[1]] = f[3];
        else
            dump.facts[QStringList(f.mid(0, f.size() - 1)).join(u' ')] = f.last();
    }
    return dump;
}

inline QString escaped(QString text)
{
    return text.replace(u'\\', QStringLiteral("\\\\"))
        .replace(u'\n', QStringLiteral("\\n"))
        .replace(u'\r', QStringLiteral("\\r"))
        .replace(u'\t', QStringLiteral("\\t"));
}

inline QString money(qint64 units)
{
    const quint64 magnitude = units < 0 ? quint64(-(units + 1)) + 1 : quint64(units);
    return QStringLiteral("m:%1%2.%3")
        .arg(units < 0 ? QStringLiteral("-") : QString())
        .arg(magnitude / 10000)
        .arg(magnitude % 10000, 4, 10, QLatin1Char('0'));
}

// A value in the dump's form: a QDateTime is a Jet date, a QDate a
// collection's date (the day only).
inline QString dumped(const QVariant& v, bool currency = false)
{
    if (!v.isValid() || v.isNull())
        return QStringLiteral("NULL");
    switch (v.typeId()) {
    case QMetaType::QString:
        return QStringLiteral("s:") + escaped(v.toString());
    case QMetaType::QDateTime:
        return QStringLiteral("d:") + v.toDateTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
    case QMetaType::QDate:
        return QStringLiteral("d:") + v.toDate().toString(Qt::ISODate);
    default:
        return currency ? money(v.toLongLong()) : QStringLiteral("i:%1").arg(v.toLongLong());
    }
}

// The SHA-256 of the sorted value lines, each ending in a line feed.
inline QString digest(QStringList valueLines)
{
    std::sort(valueLines.begin(), valueLines.end(),
              [](const QString& a, const QString& b) { return a.toUtf8() < b.toUtf8(); });
    return QString::fromLatin1(
        QCryptographicHash::hash((valueLines.join(u'\n') + u'\n').toUtf8(), QCryptographicHash::Sha256).toHex());
}

}  // namespace jettest
