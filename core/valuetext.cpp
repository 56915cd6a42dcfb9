#include "valuetext.h"

namespace ondrel::db {

QString counterText(qint64 position, qint64 total)
{
    return QStringLiteral(" Registro : ") + QString::number(position) + QStringLiteral(" ")
           + QStringLiteral(" de ") + QStringLiteral(" ") + QString::number(total);
}

QString currencyDisplay(const QString& text, const QLocale& locale)
{
    bool ok = false;
    const std::optional<qint64> units = parseAmount(text, locale, &ok);
    if (!ok || !units)
        return text;
    return formatAmount(*units, AmountShape::Currency, locale);
}

}  // namespace ondrel::db
