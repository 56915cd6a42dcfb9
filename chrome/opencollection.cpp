#include "opencollection.h"

#include "database/database.h"
#include "platform/services.h"

#include <QFileInfo>
#include <QSet>

namespace ondrel::chrome {

std::shared_ptr<db::Database> openCollection(const QString& path)
{
    try {
        return db::Database::open(path, QString::fromLatin1(db::kConnectString));
    } catch (const db::EngineError& error) {
        static QSet<QString> told;
        const QString text = db::describeProblem(path, db::problemOf(error));
        const QString key = QFileInfo(path).absoluteFilePath();
        if (!text.isEmpty() && !told.contains(key)) {
            told.insert(key);
            platform::services().msgBox(text, platform::OkOnly, platform::Exclamation);
        }
        throw;
    }
}

}  // namespace ondrel::chrome
