#include "desk.h"

#include "settings.h"
#include "database/database.h"

#include <QSysInfo>
#include <QUuid>

#include <mutex>
#include <unistd.h>

namespace ondrel::db {

namespace {
constexpr char kDeskKey[] = "mesa";
}  // namespace

QString thisDesk()
{
    static std::mutex mutex;
    static QString desk;
    const std::lock_guard lock(mutex);
    if (!desk.isEmpty())
        return desk;
    QString error;
    Settings settings = Settings::read(&error);
    QString mine = settings.value(QString::fromLatin1(kDeskKey));
    if (mine.isEmpty() && error.isEmpty()) {
        settings.setValue(QString::fromLatin1(kDeskKey), QUuid::createUuid().toString(QUuid::WithoutBraces));
        // Another start of the program may have written its own meanwhile:
        // the one the file keeps counts.
        if (settings.write().isEmpty())
            mine = Settings::read().value(QString::fromLatin1(kDeskKey));
    }
    if (mine.isEmpty())
        mine = QStringLiteral("uid%1").arg(::getuid());
    desk = mine + QLatin1Char('@') + QString::fromLatin1(QSysInfo::machineUniqueId());
    return desk;
}

void useThisDesk()
{
    setDeskSource(&thisDesk);
}

}  // namespace ondrel::db
