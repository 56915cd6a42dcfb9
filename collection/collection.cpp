#include "collection.h"

#include "backup.h"
#include "database/connection.h"
#include "database/database.h"

namespace ondrel::db {

QString databasePath(const QString& folder, const QString& fileName)
{
    if (folder.isEmpty())
        return fileName;
    if (folder.endsWith(u'/'))
        return folder + fileName;
    return folder + u'/' + fileName;
}

void checkpointAndCloseAll()
{
    // A copy under way holds a snapshot that would keep the journal from
    // being copied into the file: it stops at its next step. An index build
    // is rolled back.
    finishBackup(true);
    finishBuildingIndexes(true);
    Connection::checkpointAndCloseAll();
}

}  // namespace ondrel::db
