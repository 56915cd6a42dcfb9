#include "pluginfolder.h"

#include <QCoreApplication>
#include <QDir>

namespace ondrel::platform {

namespace {
QString& overriddenFolder()
{
    static QString folder;
    return folder;
}
}  // namespace

QString pluginFolder()
{
    const QString& folder = overriddenFolder();
    if (!folder.isEmpty())
        return folder;
    return QCoreApplication::applicationDirPath();
}

void setPluginFolder(const QString& folder)
{
    QString cleaned = folder.isEmpty() ? QString() : QDir::cleanPath(folder);
    overriddenFolder() = cleaned;
}

}  // namespace ondrel::platform
