#include "opencollection.h"

#include "collection/backup.h"
#include "collection/collection.h"
#include "core/values.h"
#include "database/address.h"
#include "database/connection.h"
#include "database/database.h"
#include "import/importerror.h"
#include "import/jetconversion.h"
#include "platform/services.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QSet>

namespace ondrel::chrome {

namespace {

QString shownTime(const QDateTime& taken)
{
    return db::formatDate(taken.date()) + QStringLiteral(" às ") + taken.toString(QStringLiteral("HH:mm"));
}

// A damaged file, or one no longer readable as a collection, with a good copy
// of it: the message that tells the problem offers the copy. On Yes the copy
// takes the file's place, the file kept beside it, and `restored` is the
// collection opened again. False when there was nothing to offer.
bool offerCopy(const QString& path, db::FileProblem problem, const QString& told,
               std::shared_ptr<db::Database>& restored)
{
    if (problem != db::FileProblem::Damaged && problem != db::FileProblem::NotACollection)
        return false;
    if (!db::copiesServe(path))
        return false;
    if (db::Connection::anyOpenOn(path))
        return false;  // a window of this run still reads the file
    // Only a copy of this very collection: never another one's.
    const std::optional<db::BackupCopy> copy = db::newestGoodCopyOf(path);
    if (!copy)
        return false;
    const QString whose = QDir::toNativeSeparators(copy->copiedFrom.isEmpty() ? path : copy->copiedFrom);
    const QString offer = told
        + QStringLiteral("\n\nHá uma cópia de segurança desta coleção (\"%2\"), feita em %1. Deseja restaurá-la em "
                         "vez disso? O arquivo atual será guardado na mesma pasta, com a data de hoje no nome.")
              .arg(shownTime(copy->taken), whose);
    platform::Services& desktop = platform::services();
    if (desktop.msgBox(offer, platform::YesNo, platform::Exclamation) != platform::ResultYes)
        return true;
    try {
        const QString kept = db::restoreCopy(copy->path, path);
        restored = db::Database::open(path, QString::fromLatin1(db::kConnectString));
        desktop.msgBox(QStringLiteral("A cópia de %1 foi restaurada. O arquivo anterior foi guardado como \"%2\".")
                           .arg(shownTime(copy->taken), QDir::toNativeSeparators(kept)),
                       platform::OkOnly, platform::Information);
    } catch (const db::EngineError& error) {
        desktop.msgBox(error.description(), platform::OkOnly, platform::Exclamation);
    }
    return true;
}

// A collection in the Jet format, the older format of the collection file:
// the first window offers to convert it (in place of the offer of a copy).
// On Yes it is converted, the Jet file kept beside it, and `converted` is the
// new collection opened; on No nothing changes and the windows open empty.
void offerConversion(const QString& path, std::shared_ptr<db::Database>& converted)
{
    platform::Services& desktop = platform::services();
    const QString offer =
        QStringLiteral("A coleção \"%1\" está no formato Jet (Access), o formato anterior do arquivo da coleção, e "
                       "precisa ser convertida para ser aberta. Deseja convertê-la agora?\n\nO arquivo no formato Jet "
                       "não será alterado: ele fica guardado na mesma pasta, com a data de hoje no nome. Respondendo "
                       "Não, as janelas abrem vazias e a pergunta volta na próxima vez.")
            .arg(QDir::toNativeSeparators(path));
    if (desktop.msgBox(offer, platform::YesNo, platform::Question) != platform::ResultYes)
        return;
    QString told;
    int icon = platform::Information;
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        struct Restore {
            ~Restore() { QApplication::restoreOverrideCursor(); }
        } restore;
        try {
            const import::JetConversion done = import::convertJetInPlace(path);
            converted = db::Database::open(path, QString::fromLatin1(db::kConnectString));
            told = QStringLiteral("A coleção foi convertida.\n\n") + done.report();
        } catch (const import::ImportError& e) {
            told = e.text() + QStringLiteral("\n\nO arquivo no formato Jet não foi alterado.");
            icon = platform::Exclamation;
        } catch (const db::EngineError& e) {
            told = e.description();
            icon = platform::Exclamation;
        }
    }
    desktop.msgBox(told, platform::OkOnly, icon);
}

}  // namespace

std::shared_ptr<db::Database> openCollection(const QString& path)
{
    try {
        std::shared_ptr<db::Database> opened = db::Database::open(path, QString::fromLatin1(db::kConnectString));
        static QSet<QString> noticed;
        if (const QString notice = opened->openingNotice(); !notice.isEmpty() && !noticed.contains(db::locationKey(path))) {
            noticed.insert(db::locationKey(path));
            platform::services().msgBox(notice, platform::OkOnly, platform::Information);
        }
        return opened;
    } catch (const db::EngineError& error) {
        static QSet<QString> told;
        const db::FileProblem problem = db::problemOf(error);
        const QString text = db::describeProblem(path, problem, error.description());
        const QString key = db::locationKey(path);
        if (!text.isEmpty() && !told.contains(key)) {
            told.insert(key);
            std::shared_ptr<db::Database> restored;
            if (problem == db::FileProblem::NotACollection && import::isJetFile(path))
                offerConversion(path, restored);
            else if (!offerCopy(path, problem, text, restored))
                platform::services().msgBox(text, platform::OkOnly, platform::Exclamation);
            if (restored)
                return restored;
        }
        throw;
    }
}

}  // namespace ondrel::chrome
