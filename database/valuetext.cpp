#include "valuetext.h"

#include "values.h"

namespace ondrel::db {

namespace {

// Hundredths of a magnitude, rounded half away from zero.
quint64 hundredthsOf(qint64 units)
{
    const quint64 magnitude = units < 0 ? quint64(-(units + 1)) + 1 : quint64(units);
    return (magnitude + 50) / 100;
}

// "##,##0.00" of a magnitude given in hundredths.
QString magnitudeText(quint64 hundredths, const QLocale& locale)
{
    QString whole = QString::number(hundredths / 100);
    for (qsizetype i = whole.size() - 3; i > 0; i -= 3)
        whole.insert(i, locale.groupSeparator());
    return whole + locale.decimalPoint() + QStringLiteral("%1").arg(hundredths % 100, 2, 10, QLatin1Char('0'));
}

}  // namespace

QString counterText(qint64 position, qint64 total)
{
    return QStringLiteral(" Registro : ") + QString::number(position) + QStringLiteral(" ")
           + QStringLiteral(" de ") + QStringLiteral(" ") + QString::number(total);
}

QString patternText(qint64 units, const QLocale& locale)
{
    const quint64 hundredths = hundredthsOf(units);
    const QString sign = units < 0 && hundredths > 0 ? locale.negativeSign() : QString();
    return sign + magnitudeText(hundredths, locale);
}

QString totalText(qint64 units, const QLocale& locale)
{
    return QStringLiteral("R$  ") + patternText(units, locale);
}

QString currencyText(qint64 units, const QLocale& locale)
{
    // The locale places the sign and the symbol; the number itself is built
    // exactly from the units (a double would round large amounts).
    const bool negative = units < 0 && hundredthsOf(units) > 0;
    QString text = locale.toCurrencyString(negative ? -1.0 : 1.0, QString(), 2);
    const QString one = locale.toString(1.0, 'f', 2);
    const qsizetype at = text.indexOf(one);
    if (at >= 0)
        text.replace(at, one.size(), magnitudeText(hundredthsOf(units), locale));
    text.replace(QChar(0x00A0), QLatin1Char(' '));
    text.replace(QChar(0x202F), QLatin1Char(' '));
    return text;
}

QString currencyDisplay(const QString& text, const QLocale& locale)
{
    bool ok = false;
    const std::optional<qint64> units = db::parseCurrency(text, &ok);
    if (!ok || !units)
        return text;
    return currencyText(*units, locale);
}

}  // namespace ondrel::db
