#pragma once

#include <QDate>
#include <QLocale>
#include <QString>
#include <optional>

namespace ondrel::db {

// Exact currency: ten-thousandths of the unit (four decimals).
inline constexpr qint64 kCurrencyScale = 10000;

// The regional settings amounts are read and written with: the user's, or
// the Brazilian ones where the system has none (the C or POSIX locale of a
// minimal system or a bare terminal, whose "3,505.50" without "R$" is no
// one's way of writing an amount). A locale the program set as the default
// is followed.
QLocale regionalLocale();

// Amounts are read and written here only, by every window, the grid, the
// report and the engine, with the separators of the locale given (the
// regional settings unless told otherwise).
enum class AmountShape {
    Number,    // "##,##0.00": 1.234,50 (what a value box holds)
    Currency,  // the named format "currency": R$ 1.234,50
    Total,     // "R$  " and the number: R$  1.234,50
    Plain,     // the number alone, ungrouped: 1234,50 (what a spreadsheet reads)
};

// Two decimals, rounded half away from zero. A no-break space of the locale's
// currency format becomes a plain space, so the text reads as a user types it.
QString formatAmount(qint64 units, AmountShape shape, const QLocale& locale = regionalLocale());

// Reads an amount in any of the shapes: digits, grouped by the locale's group
// separator in threes or not at all, then the decimal mark and at most two
// digits; a currency sign ("R$", "$" or the locale's), a sign ("-", "+") or
// brackets (negative) may stand around it, spaces anywhere. Empty text gives
// an empty optional with ok = true; anything else sets ok = false. A number of
// the query dialect may carry up to four decimals, the engine's precision.
std::optional<qint64> parseAmount(const QString& text, const QLocale& locale, bool* ok, int maxDecimals = 2);
// The same with the regional settings.
std::optional<qint64> parseAmount(const QString& text, bool* ok);

// Why a text is no amount, in Portuguese, with the locale's separators.
QString amountRefusal(const QString& text, const QLocale& locale = regionalLocale());

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
