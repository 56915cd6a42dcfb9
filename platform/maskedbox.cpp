#include "maskedbox.h"

#include <QRegularExpression>
#include <QRegularExpressionValidator>

namespace ondrel::platform {

namespace {

// Amounts are written the Brazilian way whatever the process locale, so the
// text always reads back as the same amount.
constexpr QChar kGroup = QLatin1Char('.');
constexpr QChar kDecimal = QLatin1Char(',');

}  // namespace

MaskEdBox::MaskEdBox(QWidget* parent) : QLineEdit(parent)
{
    setFormat(QStringLiteral("$#,##0.00;($#,##0.00)"));
    // Digits, separators, sign, brackets, the currency sign and spaces only.
    setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9.,()\\-+R$ ]*")), this));
    connect(this, &QLineEdit::editingFinished, this, &MaskEdBox::normalise);
}

void MaskEdBox::setFormat(const QString& format) { m_format = format; }
QString MaskEdBox::format() const { return m_format; }
void MaskEdBox::setPromptChar(QChar prompt) { m_prompt = prompt; }
QChar MaskEdBox::promptChar() const { return m_prompt; }

std::optional<qint64> MaskEdBox::parseAmount(const QString& typed)
{
    QString s = typed.trimmed();
    s.remove(QLatin1String("R$"));
    s.remove(QLatin1Char('$'));
    s.remove(QLatin1Char(' '));
    s.remove(QChar(0x00A0));
    bool negative = false;
    if (s.startsWith(QLatin1Char('(')) && s.endsWith(QLatin1Char(')'))) {
        negative = true;
        s = s.mid(1, s.size() - 2);
    } else if (s.startsWith(QLatin1Char('-'))) {
        negative = true;
        s = s.mid(1);
    } else if (s.startsWith(QLatin1Char('+'))) {
        s = s.mid(1);
    }
    if (s.isEmpty())
        return std::nullopt;

    // Decide which mark is the decimal one. A comma is always decimal (the
    // Brazilian way) when present: dots before it group thousands. Without a
    // comma, a single dot followed by one or two digits is a decimal point
    // ("12.5"); otherwise dots group thousands ("1.234").
    QString intPart = s;
    QString fraction;
    const int comma = s.lastIndexOf(QLatin1Char(','));
    if (comma >= 0) {
        intPart = s.left(comma);
        fraction = s.mid(comma + 1);
    } else {
        const int dot = s.lastIndexOf(QLatin1Char('.'));
        if (dot >= 0 && s.count(QLatin1Char('.')) == 1 && s.size() - dot - 1 <= 2) {
            intPart = s.left(dot);
            fraction = s.mid(dot + 1);
        }
    }
    static const QRegularExpression grouped(QStringLiteral("^(\\d{1,3}(\\.\\d{3})*|\\d+)$"));
    static const QRegularExpression digits(QStringLiteral("^\\d{0,2}$"));
    if (intPart.isEmpty())
        intPart = QStringLiteral("0");
    if (!grouped.match(intPart).hasMatch() || !digits.match(fraction).hasMatch())
        return std::nullopt;
    intPart.remove(QLatin1Char('.'));
    if (intPart.size() > 15)
        return std::nullopt;
    bool ok = false;
    const qint64 units = intPart.toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    qint64 cents = 0;
    if (!fraction.isEmpty())
        cents = fraction.size() == 1 ? fraction.toLongLong() * 10 : fraction.toLongLong();
    const qint64 value = units * 100 + cents;
    return negative ? -value : value;
}

QString MaskEdBox::plainText(qint64 hundredths)
{
    const bool negative = hundredths < 0;
    const qint64 magnitude = negative ? -hundredths : hundredths;
    QString units = QString::number(magnitude / 100);
    for (int i = units.size() - 3; i > 0; i -= 3)
        units.insert(i, kGroup);
    const QString cents = QStringLiteral("%1").arg(magnitude % 100, 2, 10, QLatin1Char('0'));
    return (negative ? QStringLiteral("-") : QString()) + units + kDecimal + cents;
}

QString MaskEdBox::applyFormat(const QString& format, qint64 hundredths)
{
    const QStringList sections = format.split(QLatin1Char(';'));
    const bool negative = hundredths < 0;
    QString section = sections.value(negative && sections.size() > 1 ? 1 : 0);
    QString number = plainText(negative ? -hundredths : hundredths);
    if (negative && sections.size() < 2)
        number.prepend(QLatin1Char('-'));
    const QString pattern = QStringLiteral("#,##0.00");
    const int at = section.indexOf(pattern);
    if (at < 0)
        return number;
    return section.replace(at, pattern.size(), number);
}

std::optional<qint64> MaskEdBox::amount() const
{
    return parseAmount(text());
}

QString MaskEdBox::formattedText() const
{
    const auto value = amount();
    return value ? applyFormat(m_format, *value) : text();
}

void MaskEdBox::normalise()
{
    const auto value = amount();
    if (!value)
        return;
    const QString plain = plainText(*value);
    if (plain != text())
        setText(plain);
}

}  // namespace ondrel::platform
