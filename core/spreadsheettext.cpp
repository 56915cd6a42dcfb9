#include "spreadsheettext.h"

namespace ondrel::db {

namespace {

// What a text the export guards starts with.
bool guarded(QChar first)
{
    static const QString characters = QStringLiteral("=+-@\t\r'");
    return characters.contains(first);
}

}  // namespace

QString spreadsheetText(const QString& text)
{
    return !text.isEmpty() && guarded(text[0]) ? u'\'' + text : text;
}

QString textFromSpreadsheet(const QString& text)
{
    if (text.size() >= 2 && text[0] == u'\'' && guarded(text[1]))
        return text.mid(1);
    return text;
}

}  // namespace ondrel::db
