#include "places.h"

#include "collection.h"
#include "settings.h"
#include "database/database.h"
#include "database/engineerror.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#ifndef ONDREL_INSTALLED
#define ONDREL_INSTALLED 0
#endif
#ifndef ONDREL_SHARE_FOLDER
#define ONDREL_SHARE_FOLDER "/usr/share/ondrel"
#endif

namespace ondrel::db {

namespace {
QString& namedFolder()
{
    static QString folder;
    return folder;
}
}  // namespace

Build thisBuild()
{
    return ONDREL_INSTALLED ? Build::Installed : Build::Tree;
}

QString pluginFolder()
{
    const QString& folder = namedFolder();
    if (!folder.isEmpty())
        return folder;
    return QCoreApplication::applicationDirPath();
}

void setPluginFolder(const QString& folder)
{
    namedFolder() = folder.isEmpty() ? QString() : QDir::cleanPath(folder);
}

QString userDataFolder()
{
    QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty())
        data = QDir::homePath() + QStringLiteral("/.local/share");
    return data + QStringLiteral("/ondrel");
}

QString userStateFolder()
{
    // Only an absolute path counts, as the base directory rules say.
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (!QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/ondrel");
}

QString collectionFile(Build build)
{
    // A folder named on the command line holds its own collection in every build.
    if (build == Build::Installed && namedFolder().isEmpty())
        return databasePath(userDataFolder());
    return databasePath(pluginFolder());
}

QString collectionLocation()
{
    if (namedFolder().isEmpty()) {
        const QString server = Settings::read().value(QString::fromLatin1(kCollectionKey));
        if (!server.isEmpty())
            return server;
    }
    return collectionFile();
}

QString readOnlyFilesFolder(Build build)
{
    if (build == Build::Installed)
        return QStringLiteral(ONDREL_SHARE_FOLDER);
    return pluginFolder();
}

QString createMissingCollection(Build build)
{
    if (build != Build::Installed || !namedFolder().isEmpty())
        return QString();
    const QString file = collectionFile(build);
    if (QFileInfo::exists(file) || QFileInfo(file).isSymLink())
        return QString();
    const QString folder = QFileInfo(file).absolutePath();
    if (!QDir().mkpath(folder))
        return QStringLiteral("Não foi possível criar a pasta \"%1\" para a coleção.").arg(folder);
    try {
        Database::create(file, QString::fromLatin1(kPassword), {});
    } catch (const std::exception& e) {
        // Another start of the program may have made it meanwhile.
        if (QFileInfo::exists(file))
            return QString();
        const auto* engine = dynamic_cast<const EngineError*>(&e);
        return QStringLiteral("Não foi possível criar a coleção \"%1\". %2")
            .arg(file, engine ? engine->description() : QString::fromUtf8(e.what()));
    }
    return QString();
}

}  // namespace ondrel::db
