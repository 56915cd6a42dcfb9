#include "maskedbox.h"

#include "core/values.h"

#include <QRegularExpression>
#include <QRegularExpressionValidator>

namespace ondrel::platform {

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
    bool ok = false;
    const std::optional<qint64> units = db::parseAmount(typed, &ok);
    if (!ok || !units)
        return std::nullopt;
    return *units / 100;  // at most two decimals: whole hundredths
}

QString MaskEdBox::plainText(qint64 hundredths)
{
    return db::formatAmount(hundredths * 100, db::AmountShape::Number);
}

QString MaskEdBox::applyFormat(const QString& format, qint64 hundredths)
{
    const QStringList sections = format.split(QLatin1Char(';'));
    const bool negative = hundredths < 0;
    QString section = sections.value(negative && sections.size() > 1 ? 1 : 0);
    const QString number = plainText(negative && sections.size() > 1 ? -hundredths : hundredths);
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
