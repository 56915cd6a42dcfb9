#include "address.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>

namespace ondrel::db {

namespace {

bool isUri(const QString& text)
{
    return text.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive)
        || text.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
}

// "keyword = value" pairs, as libpq reads a connection string.
bool isConnectionString(const QString& text)
{
    static const QRegularExpression pair(QStringLiteral("^\\s*[A-Za-z_]+\\s*="));
    return pair.match(text).hasMatch();
}

// The password pair of a connection string: the keyword, and a value that is
// quoted (with \' and \\ inside) or runs to the next space.
const QRegularExpression& passwordPair()
{
    static const QRegularExpression pair(
        QStringLiteral("(^|\\s)password\\s*=\\s*('([^'\\\\]|\\\\.)*'|\\S*)"),
        QRegularExpression::CaseInsensitiveOption);
    return pair;
}

}  // namespace

bool isServerAddress(const QString& location)
{
    const QString text = location.trimmed();
    return isUri(text) || isConnectionString(text);
}

QString serverAddress(const QString& typed)
{
    const QString text = typed.trimmed();
    if (text.isEmpty() || text.contains(u'\n') || text.contains(u'\r'))
        return QString();
    if (isServerAddress(text))
        return text;
    static const QRegularExpression name(QStringLiteral("^[A-Za-z0-9_.-]+$"));
    return name.match(text).hasMatch() ? QStringLiteral("service=") + text : QString();
}

QString locationKey(const QString& location)
{
    if (isServerAddress(location))
        return location.trimmed();
    const QFileInfo info(location);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

bool addressHasPassword(const QString& address)
{
    return shownAddress(address) != address.trimmed();
}

QString shownAddress(const QString& location)
{
    const QString text = location.trimmed();
    if (isUri(text)) {
        QUrl url(text, QUrl::StrictMode);
        if (!url.isValid())
            url = QUrl(text, QUrl::TolerantMode);
        if (!url.isValid())
            return text.section(u'@', -1);  // nothing before the host
        QUrl shown = url;
        shown.setPassword(QString());
        QUrlQuery query(shown);
        for (const QString& key : {QStringLiteral("password"), QStringLiteral("PASSWORD"), QStringLiteral("Password")})
            query.removeAllQueryItems(key);
        shown.setQuery(query);
        if (shown == url)
            return text;
        return shown.toString(QUrl::FullyEncoded);
    }
    if (isConnectionString(text) && passwordPair().match(text).hasMatch()) {
        QString shown = text;
        shown.replace(passwordPair(), QStringLiteral("\\1"));
        return shown.simplified();
    }
    return location;
}

}  // namespace ondrel::db
