#pragma once

#include <QLineEdit>
#include <optional>

namespace ondrel::platform {

// The masked currency entry of the catalogue (MaskEdBox1). It reads amounts as
// the whole program does (db::parseAmount: "12,50", "1.234,50", "R$ 12,50",
// "(3,00)" for a negative value, with the regional separators) and, when
// editing ends, rewrites a valid amount as a grouped number with two decimals
// ("1.234,50"), which the record source stores. A text that is no amount is
// left as typed, for the record source to refuse with its reason.
// formattedText() shows the amount through the box's format.
class MaskEdBox : public QLineEdit {
    Q_OBJECT
public:
    explicit MaskEdBox(QWidget* parent = nullptr);

    // Format "$#,##0.00;($#,##0.00)": positive section; negative section.
    void setFormat(const QString& format);
    QString format() const;
    void setPromptChar(QChar prompt);
    QChar promptChar() const;

    // Parses a typed amount into hundredths; nothing for a text that is not
    // an amount. An empty text is no amount either.
    static std::optional<qint64> parseAmount(const QString& typed);
    // Plain grouped number with two decimals: 123450 -> "1.234,50".
    static QString plainText(qint64 hundredths);
    // The amount through a format "pos;neg" whose sections put "$" and the
    // brackets around the pattern "#,##0.00".
    static QString applyFormat(const QString& format, qint64 hundredths);

    std::optional<qint64> amount() const;
    // The amount through the box's format; the text as it is when it is no amount.
    QString formattedText() const;

    // Rewrites a valid amount as its plain grouped text (done when editing ends).
    void normalise();

private:
    QString m_format;
    QChar m_prompt = QLatin1Char('_');
};

}  // namespace ondrel::platform
