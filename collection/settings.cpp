#include "settings.h"

#include "collection.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace ondrel::db {

namespace {

// The key of a "key = value" line, or empty for a comment or a blank line.
QString keyOf(const QString& line)
{
    const QString text = line.trimmed();
    if (text.isEmpty() || text.startsWith(u'#'))
        return QString();
    return text.section(u'=', 0, 0).trimmed();
}

}  // namespace

QString Settings::path()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/ondrel/ulmix.conf");
}

Settings Settings::read(QString* error)
{
    Settings settings;
    QFile file(path());
    if (!file.exists())
        return settings;
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        if (error)
            *error = QStringLiteral("Não foi possível ler o arquivo de configurações \"%1\".").arg(path());
        return settings;
    }
    settings.m_lines = QString::fromUtf8(file.readAll()).split(u'\n');
    while (!settings.m_lines.isEmpty() && settings.m_lines.last().trimmed().isEmpty())
        settings.m_lines.removeLast();
    return settings;
}

QString Settings::value(const QString& key) const
{
    for (const QString& line : m_lines)
        if (keyOf(line) == key)
            return line.section(u'=', 1).trimmed();
    return QString();
}

void Settings::setValue(const QString& key, const QString& value)
{
    const QString line = key + QStringLiteral(" = ") + value;
    for (QString& existing : m_lines)
        if (keyOf(existing) == key) {
            existing = line;
            return;
        }
    m_lines.append(line);
}

void Settings::remove(const QString& key)
{
    m_lines.removeIf([&](const QString& line) { return keyOf(line) == key; });
}

QString Settings::write() const
{
    const QString file = path();
    const QString refusal = QStringLiteral("Não foi possível gravar o arquivo de configurações \"%1\".").arg(file);
    if (!QDir().mkpath(QFileInfo(file).absolutePath()))
        return refusal;
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Text))
        return refusal;
    QStringList lines = m_lines;
    if (lines.isEmpty() || !lines.first().startsWith(u'#'))
        lines.prepend(QStringLiteral("# Configurações do Ulmix (ondrel --help explica cada uma)."));
    out.write((lines.join(u'\n') + u'\n').toUtf8());
    return out.commit() ? QString() : refusal;
}

}  // namespace ondrel::db
