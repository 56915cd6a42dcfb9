#include "limitedtextedit.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QTextCursor>

#include <limits>

namespace ondrel::platform {

LimitedTextEdit::LimitedTextEdit(QWidget* parent) : QPlainTextEdit(parent) {}

void LimitedTextEdit::setMaxLength(int characters)
{
    m_maxLength = characters;
}

int LimitedTextEdit::maxLength() const
{
    return m_maxLength;
}

int LimitedTextEdit::recordLength(const QString& text)
{
    // Qt separates lines with '\n' or the paragraph separator; both become CR LF.
    int length = 0;
    for (const QChar c : text)
        length += (c == QLatin1Char('\n') || c == QChar::ParagraphSeparator) ? 2 : 1;
    return length;
}

int LimitedTextEdit::room() const
{
    if (m_maxLength <= 0)
        return std::numeric_limits<int>::max();
    const QString selected = textCursor().selectedText();
    return m_maxLength - (recordLength(toPlainText()) - recordLength(selected));
}

void LimitedTextEdit::keyPressEvent(QKeyEvent* event)
{
    const bool lineBreak = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const QString typed = lineBreak ? QStringLiteral("\n") : event->text();
    const bool inserts = lineBreak || (!typed.isEmpty() && typed.at(0).isPrint());
    if (inserts && !isReadOnly() && recordLength(typed) > room()) {
        event->accept();  // full: the key is swallowed
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void LimitedTextEdit::insertFromMimeData(const QMimeData* source)
{
    if (!source || !source->hasText() || m_maxLength <= 0) {
        QPlainTextEdit::insertFromMimeData(source);
        return;
    }
    // A pasted text is cut to what still fits.
    QString text = source->text();
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    int left = room();
    int keep = 0;
    for (; keep < text.size(); ++keep) {
        const int cost = text.at(keep) == QLatin1Char('\n') ? 2 : 1;
        if (cost > left)
            break;
        left -= cost;
    }
    if (keep > 0) {
        QTextCursor cursor = textCursor();
        cursor.insertText(text.left(keep));
        setTextCursor(cursor);
    }
}

}  // namespace ondrel::platform
