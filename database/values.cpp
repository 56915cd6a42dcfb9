#include "values.h"

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

std::optional<qint64> parseCurrency(const QString& input, bool* ok)
{
    *ok = true;
    QString s = input.trimmed();
    s.remove(QStringLiteral("R$"));
    s.remove(QChar(u' '));
    s.remove(QChar(0x00A0));
    if (s.isEmpty())
        return std::nullopt;
    bool negative = false;
    if (s.startsWith(u'-')) {
        negative = true;
        s.remove(0, 1);
    } else if (s.startsWith(u'(') && s.endsWith(u')')) {
        negative = true;
        s = s.mid(1, s.size() - 2);
    } else if (s.startsWith(u'+')) {
        s.remove(0, 1);
    }
    static const QRegularExpression shape(QStringLiteral("^[0-9.,]+$"));
    if (s.isEmpty() || !shape.match(s).hasMatch()) {
        *ok = false;
        return std::nullopt;
    }
    const int commas = s.count(u','), dots = s.count(u'.');
    QChar decimal;
    if (commas && dots) {
        decimal = s.lastIndexOf(u',') > s.lastIndexOf(u'.') ? u',' : u'.';
        if (s.count(decimal) > 1) {
            *ok = false;
            return std::nullopt;
        }
    } else if (commas == 1 || dots == 1) {
        const QChar sep = commas ? u',' : u'.';
        const QLocale locale;
        const QString group = locale.groupSeparator();
        const bool looksGrouped = s.size() - s.indexOf(sep) - 1 == 3 && s.indexOf(sep) > 0;
        if (group == QString(sep) && looksGrouped && locale.decimalPoint() != QString(sep))
            decimal = QChar();  // "1.234" under pt_BR is a thousand
        else
            decimal = sep;
    }
    QString whole, fraction;
    if (decimal.isNull()) {
        whole = s;
    } else {
        const qsizetype at = s.lastIndexOf(decimal);
        whole = s.left(at);
        fraction = s.mid(at + 1);
        if (fraction.contains(u',') || fraction.contains(u'.')) {
            *ok = false;
            return std::nullopt;
        }
    }
    whole.remove(u',');
    whole.remove(u'.');
    if (whole.isEmpty() && fraction.isEmpty()) {
        *ok = false;
        return std::nullopt;
    }
    if (whole.size() > 14) {
        *ok = false;
        return std::nullopt;
    }
    qint64 units = whole.isEmpty() ? 0 : whole.toLongLong() * kCurrencyScale;
    // Four decimals kept; a fifth rounds half away from zero.
    QString digits = fraction.left(5);
    while (digits.size() < 5)
        digits.append(u'0');
    const qint64 frac5 = digits.toLongLong();
    units += frac5 / 10 + (frac5 % 10 >= 5 ? 1 : 0);
    return negative ? -units : units;
}

QString formatCurrency(qint64 units)
{
    const bool negative = units < 0;
    const quint64 magnitude = negative ? quint64(-(units + 1)) + 1 : quint64(units);
    QString out = QString::number(magnitude / kCurrencyScale);
    quint64 frac = magnitude % kCurrencyScale;
    if (frac) {
        QString f = QString::number(frac).rightJustified(4, u'0');
        while (f.endsWith(u'0'))
            f.chop(1);
        out += QLocale().decimalPoint() + f;
    }
    return negative ? u'-' + out : out;
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
