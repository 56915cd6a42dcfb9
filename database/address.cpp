#include "address.h"

#include <QFileInfo>
#include <QStringList>
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

// What an address says of how the server is reached: its hosts (a folder or
// an abstract socket's "@name" is a Unix socket), its hostaddr, its service
// and its sslmode; later values of a keyword win, as in libpq.
struct Reach {
    QStringList hosts;
    QString hostaddr;
    QString service;
    QString sslmode;

    void take(const QString& key, const QString& value)
    {
        if (key == u"host")
            hosts = value.split(u',');
        else if (key == u"hostaddr")
            hostaddr = value;
        else if (key == u"service")
            service = value;
        else if (key == u"sslmode")
            sslmode = value.trimmed().toLower();
    }

    // Whether the server may be reached over the network: also when a
    // service, whose file libpq alone reads, may name its host.
    bool network() const
    {
        if (!hostaddr.isEmpty())
            return true;
        QStringList names = hosts;
        names.removeAll(QString());
        if (names.isEmpty() && !service.isEmpty())
            return true;
        if (names.isEmpty()) {
            if (qEnvironmentVariableIsSet("PGHOSTADDR"))
                return true;
            names = qEnvironmentVariable("PGHOST").split(u',', Qt::SkipEmptyParts);
        }
        for (const QString& name : names) {
            if (!name.startsWith(u'/') && !name.startsWith(u'@'))
                return true;
        }
        return false;
    }
};

// A connection string's pairs: a value quoted ('...') or running to the next
// space, a backslash taking the next character as it is.
Reach connectionStringReach(const QString& text)
{
    Reach reach;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        while (i < n && text[i].isSpace())
            ++i;
        const qsizetype keyStart = i;
        while (i < n && !text[i].isSpace() && text[i] != u'=')
            ++i;
        const QString key = text.mid(keyStart, i - keyStart).toLower();
        while (i < n && text[i].isSpace())
            ++i;
        if (i < n && text[i] == u'=')
            ++i;
        while (i < n && text[i].isSpace())
            ++i;
        QString value;
        const bool quoted = i < n && text[i] == u'\'';
        if (quoted)
            ++i;
        while (i < n && (quoted ? text[i] != u'\'' : !text[i].isSpace())) {
            if (text[i] == u'\\' && i + 1 < n)
                ++i;
            value += text[i++];
        }
        if (quoted)
            ++i;
        if (!key.isEmpty())
            reach.take(key, value);
    }
    return reach;
}

// A URI's hosts (after any user, before the path, each without its port)
// and its query's keywords, percent-decoded.
Reach uriReach(const QString& text)
{
    Reach reach;
    const QString rest = text.section(QLatin1String("://"), 1);
    const qsizetype end = rest.indexOf(QRegularExpression(QStringLiteral("[/?]")));
    QString netloc = end < 0 ? rest : rest.left(end);
    if (netloc.contains(u'@'))
        netloc = netloc.section(u'@', 1);
    static const QRegularExpression port(QStringLiteral("^(\\[[^\\]]*\\]|[^:]*)"));
    QStringList hosts;
    for (const QString& host : netloc.split(u','))
        hosts << QUrl::fromPercentEncoding(port.match(host).captured(1).toUtf8());
    reach.hosts = hosts;
    const qsizetype question = rest.indexOf(u'?');
    if (question >= 0) {
        for (const QString& pair : rest.mid(question + 1).split(u'&', Qt::SkipEmptyParts))
            reach.take(QUrl::fromPercentEncoding(pair.section(u'=', 0, 0).toUtf8()).toLower(),
                       QUrl::fromPercentEncoding(pair.section(u'=', 1).toUtf8()));
    }
    return reach;
}

Reach reachOf(const QString& address)
{
    const QString text = address.trimmed();
    return isUri(text) ? uriReach(text) : connectionStringReach(text);
}

}  // namespace

QString refusedSecurity(const QString& address)
{
    if (!isServerAddress(address))
        return QString();
    const Reach reach = reachOf(address);
    static const QStringList weak{QStringLiteral("disable"), QStringLiteral("allow"), QStringLiteral("prefer"),
                                  QStringLiteral("require")};
    if (!weak.contains(reach.sslmode) || !reach.network())
        return QString();
    return QStringLiteral("O Ulmix não se liga pela rede ao servidor da coleção \"%1\" sem conferir quem ele é: o "
                          "endereço pede sslmode=%2. Use sslmode=verify-full (ou verify-ca), com o certificado da "
                          "autoridade que assina o do servidor em ~/.postgresql/root.crt, ou tire o sslmode do "
                          "endereço.")
        .arg(shownAddress(address), reach.sslmode);
}

QByteArray defaultSslMode(const QString& address)
{
    const Reach reach = reachOf(address);
    if (!reach.sslmode.isEmpty() || !reach.network())
        return QByteArray();
    return QByteArrayLiteral("verify-full");
}

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
