#pragma once

#include <QDate>
#include <QString>
#include <optional>

namespace ondrel::db {

// Exact currency: ten-thousandths of the unit (four decimals).
inline constexpr qint64 kCurrencyScale = 10000;

// Parses a typed amount liberally ("12,50", "1.234,50", "12.5", "R$ 3,00").
// Empty text gives an empty optional with ok = true; an unreadable text sets
// ok = false.
std::optional<qint64> parseCurrency(const QString& text, bool* ok);
// A plain locale number as a bound box shows it: "12,5", "1234", "-0,25".
QString formatCurrency(qint64 units);

// Parses a date as a Brazilian user types it: "5/3/2003", "05/03/2003",
// "5/3/03", "2003-03-05". Empty (or an empty mask "__/__/____") gives an empty
// optional with ok = true; an impossible date sets ok = false.
std::optional<QDate> parseDate(const QString& text, bool* ok);
QString formatDate(const QDate& date);  // "dd/mm/yyyy"

// Stored forms.
QString dateToStorage(const QDate& date);  // "yyyy-mm-dd"
QDate dateFromStorage(const QString& text);

// Folding used by comparisons and the shadow keys: case and accents ignored.
QString foldText(const QString& text);
QByteArray foldUtf8(const char* utf8, int bytes);

// The dialect's pattern match on already folded texts: '*' any run of
// characters, '?' exactly one; every other character matches itself.
bool likeMatch(QStringView foldedPattern, QStringView foldedText);

}  // namespace ondrel::db
