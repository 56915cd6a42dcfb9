#include "spreadsheettext.h"

namespace ondrel::db {

QString textFromSpreadsheet(const QString& text)
{
    static const QString guarded = QStringLiteral("=+-@\t\r'");
    if (text.size() >= 2 && text[0] == u'\'' && guarded.contains(text[1]))
        return text.mid(1);
    return text;
}

}  // namespace ondrel::db
