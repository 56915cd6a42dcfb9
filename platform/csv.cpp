#include "csv.h"

#include <QRegularExpression>

namespace ondrel::platform {

QString csvField(const QString& text)
{
    static const QRegularExpression special(QStringLiteral("[;\"\r\n]"));
    if (!text.contains(special))
        return text;
    return u'"' + QString(text).replace(u'"', QLatin1String("\"\"")) + u'"';
}

QString spreadsheetText(const QString& text)
{
    static const QString runAsFormula = QStringLiteral("=+-@\t\r'");
    if (!text.isEmpty() && runAsFormula.contains(text.front()))
        return u'\'' + text;
    return text;
}

QString textFromSpreadsheet(const QString& text)
{
    return text.startsWith(u'\'') ? text.mid(1) : text;
}

}  // namespace ondrel::platform
