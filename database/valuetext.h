#pragma once

// The texts the record windows derive from their records: the record
// counter, the total value of the collection and the currency format of a
// value (the value box and the grid's value column). Amounts are exact
// currency units (ten-thousandths, as the engine keeps them); the separators
// and the currency format come from the locale passed in, which the windows
// take from the user's regional settings.

#include <QLocale>
#include <QString>

namespace ondrel::db {

// " Registro : " + position + " " + " de " + " " + total.
QString counterText(qint64 position, qint64 total);

// The pattern "##,##0.00": thousands grouped, two decimals (rounded half away
// from zero), with the locale's separators.
QString patternText(qint64 units, const QLocale& locale);

// The total value line: "R$  " followed by the pattern.
QString totalText(qint64 units, const QLocale& locale);

// The named format "currency": the locale's currency format with two
// decimals. A no-break space in it becomes a plain space, so the text reads
// as a user would type it.
QString currencyText(qint64 units, const QLocale& locale);

// What the value display shows for a text: the text in the currency format
// when it reads as an amount, otherwise the text as it is.
QString currencyDisplay(const QString& text, const QLocale& locale);

}  // namespace ondrel::db
