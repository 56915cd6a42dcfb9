#pragma once

// The texts the record windows derive from their records: the record counter
// and the currency format of a value box. Amounts themselves are read and
// written by parseAmount and formatAmount (values.h).

#include "values.h"

#include <QLocale>
#include <QString>

namespace ondrel::db {

// " Registro : " + position + " " + " de " + " " + total.
QString counterText(qint64 position, qint64 total);

// What the value display shows for a text: the text in the currency format
// when it reads as an amount, otherwise the text as it is.
QString currencyDisplay(const QString& text, const QLocale& locale = regionalLocale());

}  // namespace ondrel::db
