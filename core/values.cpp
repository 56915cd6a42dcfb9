#include "values.h"

#include <QHash>
#include <QLocale>
#include <QRegularExpression>
#include <cmath>

namespace ondrel::db {

namespace {

bool isAscii(const char* s, int n)
{
    for (int i = 0; i < n; ++i)
        if (static_cast<unsigned char>(s[i]) >= 0x80)
            return false;
    return true;
}

}  // namespace

QString foldText(const QString& text)
{
    bool ascii = true;
    for (QChar c : text)
        if (c.unicode() >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii)
        return text.toLower();
    const QString decomposed = text.normalized(QString::NormalizationForm_D);
    QString out;
    out.reserve(decomposed.size());
    for (QChar c : decomposed) {
        if (c.category() == QChar::Mark_NonSpacing)
            continue;
        out.append(c);
    }
    return out.toCaseFolded();
}

QByteArray foldUtf8(const char* utf8, int bytes)
{
    if (isAscii(utf8, bytes)) {
        QByteArray out(utf8, bytes);
        for (char& c : out)
            if (c >= 'A' && c <= 'Z')
                c = char(c - 'A' + 'a');
        return out;
    }
    return foldText(QString::fromUtf8(utf8, bytes)).toUtf8();
}

bool likeMatch(QStringView p, QStringView t)
{
    // Iterative wildcard match with back-tracking to the last '*'.
    qsizetype pi = 0, ti = 0, star = -1, mark = 0;
    while (ti < t.size()) {
        if (pi < p.size() && (p[pi] == u'?' || (p[pi] != u'*' && p[pi] == t[ti]))) {
            ++pi;
            ++ti;
        } else if (pi < p.size() && p[pi] == u'*') {
            star = pi++;
            mark = ti;
        } else if (star >= 0) {
            pi = star + 1;
            ti = ++mark;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == u'*')
        ++pi;
    return pi == p.size();
}

namespace {

// Whether a setting names no region: unset, C or POSIX ("C.UTF-8" too).
bool namesNoRegion(const QString& setting)
{
    return setting.isEmpty() || setting == QLatin1String("C") || setting == QLatin1String("POSIX")
           || setting.startsWith(QLatin1String("C."));
}

// The setting numbers are written with, as the C library reads it.
QString numericSetting()
{
    for (const char* variable : {"LC_ALL", "LC_NUMERIC", "LANG"}) {
        const QString setting = qEnvironmentVariable(variable);
        if (!setting.isEmpty())
            return setting;
    }
    return QString();
}

}  // namespace

QLocale regionalLocale()
{
    static const bool noRegion = namesNoRegion(numericSetting());
    const QLocale regional;
    if (regional.language() == QLocale::C && noRegion)
        return QLocale(QLocale::Portuguese, QLocale::Brazil);
    return regional;
}

namespace {

// Hundredths of a magnitude, rounded half away from zero.
quint64 hundredthsOf(qint64 units)
{
    const quint64 magnitude = units < 0 ? quint64(-(units + 1)) + 1 : quint64(units);
    return (magnitude + 50) / 100;
}

// "##,##0.00" (or "0.00" ungrouped) of a magnitude given in hundredths.
QString numberText(quint64 hundredths, const QLocale& locale, bool grouped = true)
{
    QString whole = QString::number(hundredths / 100);
    for (qsizetype i = whole.size() - 3; grouped && i > 0; i -= 3)
        whole.insert(i, locale.groupSeparator());
    return whole + locale.decimalPoint() + QStringLiteral("%1").arg(hundredths % 100, 2, 10, QLatin1Char('0'));
}

// Whole units of at most 14 digits keep ten-thousandths within 64 bits.
constexpr int kMaxWholeDigits = 14;

}  // namespace

QString formatAmount(qint64 units, AmountShape shape, const QLocale& locale)
{
    const quint64 hundredths = hundredthsOf(units);
    const bool negative = units < 0 && hundredths > 0;
    const QString number = numberText(hundredths, locale, shape != AmountShape::Plain);
    switch (shape) {
    case AmountShape::Number:
    case AmountShape::Plain:
        return (negative ? locale.negativeSign() : QString()) + number;
    case AmountShape::Total:
        return QStringLiteral("R$  ") + (negative ? locale.negativeSign() : QString()) + number;
    case AmountShape::Currency: {
        // The locale places the sign and the symbol; the number itself is
        // built exactly (a double would round large amounts).
        QString text = locale.toCurrencyString(negative ? -1.0 : 1.0, QString(), 2);
        const QString one = locale.toString(1.0, 'f', 2);
        const qsizetype at = text.indexOf(one);
        if (at >= 0)
            text.replace(at, one.size(), number);
        text.replace(QChar(0x00A0), QLatin1Char(' '));
        text.replace(QChar(0x202F), QLatin1Char(' '));
        return text;
    }
    }
    return number;
}

std::optional<qint64> parseAmount(const QString& input, const QLocale& locale, bool* ok, int maxDecimals)
{
    *ok = true;
    QString s = input;
    for (const QChar space : {QChar(u' '), QChar(0x00A0), QChar(0x202F), QChar(u'\t')})
        s.remove(space);
    if (s.isEmpty())
        return std::nullopt;
    *ok = false;
    bool negative = false;
    if (s.startsWith(u'(') && s.endsWith(u')')) {
        negative = true;
        s = s.mid(1, s.size() - 2);
    }
    for (const QString& sign : {locale.currencySymbol(), QStringLiteral("R$"), QStringLiteral("$")}) {
        if (!sign.isEmpty())
            s.remove(sign);
    }
    if (s.startsWith(locale.negativeSign()) || s.startsWith(u'-')) {
        negative = !negative;
        s.remove(0, s.startsWith(locale.negativeSign()) ? locale.negativeSign().size() : 1);
    } else if (s.startsWith(u'+')) {
        s.remove(0, 1);
    }
    const QString group = QRegularExpression::escape(locale.groupSeparator());
    const QString decimal = QRegularExpression::escape(locale.decimalPoint());
    // Whole part ungrouped or grouped in threes; then the decimals. The
    // shapes are compiled once per pair of separators (an import reads
    // thousands of amounts).
    const QString pattern =
        QStringLiteral("^(\\d*|\\d{1,3}(?:%1\\d{3})+)(?:%2(\\d{1,%3}))?$").arg(group, decimal).arg(maxDecimals);
    thread_local QHash<QString, QRegularExpression> shapes;
    auto shape = shapes.constFind(pattern);
    if (shape == shapes.cend())
        shape = shapes.insert(pattern, QRegularExpression(pattern));
    const QRegularExpressionMatch match = shape->match(s);
    if (!match.hasMatch())
        return std::nullopt;
    QString whole = match.captured(1);
    const QString fraction = match.captured(2);
    if (whole.isEmpty() && fraction.isEmpty())
        return std::nullopt;
    whole.remove(locale.groupSeparator());
    while (whole.size() > 1 && whole.startsWith(u'0'))
        whole.remove(0, 1);
    if (whole.size() > kMaxWholeDigits)
        return std::nullopt;
    const qint64 units = whole.toLongLong() * kCurrencyScale + fraction.leftJustified(4, u'0').toLongLong();
    *ok = true;
    return negative ? -units : units;
}

std::optional<qint64> parseAmount(const QString& text, bool* ok)
{
    return parseAmount(text, regionalLocale(), ok);
}

QString amountRefusal(const QString& text, const QLocale& locale)
{
    const auto name = [](const QString& separator) {
        if (separator == QLatin1String("."))
            return QStringLiteral("o ponto");
        if (separator == QLatin1String(","))
            return QStringLiteral("a vírgula");
        return QStringLiteral("o sinal '%1'").arg(separator);
    };
    return QStringLiteral("O valor '%1' não foi entendido. Escreva-o como %2: %3 separa os milhares em grupos de três "
                          "algarismos e %4 marca no máximo dois decimais.")
        .arg(text, formatAmount(12345000, AmountShape::Number, locale), name(locale.groupSeparator()),
             name(locale.decimalPoint()));
}

std::optional<QDate> parseDate(const QString& input, bool* ok)
{
    *ok = true;
    QString s = input.trimmed();
    QString stripped = s;
    stripped.remove(u'_').remove(u'/').remove(u' ');
    if (stripped.isEmpty())
        return std::nullopt;
    static const QRegularExpression br(QStringLiteral("^(\\d{1,2})[/.-](\\d{1,2})[/.-](\\d{2}|\\d{4})$"));
    static const QRegularExpression iso(QStringLiteral("^(\\d{4})-(\\d{1,2})-(\\d{1,2})$"));
    int d = 0, m = 0, y = 0;
    if (auto match = br.match(s); match.hasMatch()) {
        d = match.captured(1).toInt();
        m = match.captured(2).toInt();
        y = match.captured(3).toInt();
        if (match.captured(3).size() == 2)
            y += y < 30 ? 2000 : 1900;
    } else if (auto mi = iso.match(s); mi.hasMatch()) {
        y = mi.captured(1).toInt();
        m = mi.captured(2).toInt();
        d = mi.captured(3).toInt();
    } else {
        *ok = false;
        return std::nullopt;
    }
    const QDate date(y, m, d);
    if (!date.isValid() || y < 100) {
        *ok = false;
        return std::nullopt;
    }
    return date;
}

QString formatDate(const QDate& date)
{
    return date.isValid() ? date.toString(QStringLiteral("dd/MM/yyyy")) : QString();
}

QString dateToStorage(const QDate& date)
{
    return date.toString(Qt::ISODate);
}

QDate dateFromStorage(const QString& text)
{
    // "yyyy-mm-dd", read by hand: this runs for every record of a pass.
    if (text.size() < 10 || text[4] != u'-' || text[7] != u'-')
        return QDate::fromString(text.left(10), Qt::ISODate);
    auto digits = [&](int from, int count) {
        int value = 0;
        for (int i = from; i < from + count; ++i) {
            const int d = text[i].unicode() - '0';
            if (d < 0 || d > 9)
                return -1;
            value = value * 10 + d;
        }
        return value;
    };
    const int y = digits(0, 4), m = digits(5, 2), d = digits(8, 2);
    if (y < 0 || m < 0 || d < 0)
        return QDate();
    return QDate(y, m, d);
}

}  // namespace ondrel::db
