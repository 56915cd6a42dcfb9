#include "clsPluginInterface.h"
#include "windowlinks.h"

#include "catalogue/Frmobjetos.h"
#include "collection/backup.h"
#include "collection/collection.h"
#include "collection/places.h"
#include "database/database.h"
#include "forms/guard.h"
#include "platform/services.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QTimer>

namespace ondrel::plugin {

namespace {
// The day's copy of the collection, and the build of the indexes a file of
// an earlier format lacks, start a little after the catalogue is up, each on
// a thread of its own: the start-up never waits for them. The day's reminder
// of the late loans comes with them.
constexpr int kDailyBackupDelayMs = 2000;

void scheduleDailyBackup()
{
    QTimer::singleShot(kDailyBackupDelayMs, QCoreApplication::instance(), [] {
        if (catalogue::Frmobjetos* window = catalogue::Frmobjetos::existing()) {
            db::startDailyBackup(window->CaminhoBanco);
            db::startBuildingIndexes(window->CaminhoBanco, QString::fromLatin1(db::kConnectString));
            // A reminder that cannot be made waits for the next start.
            platform::skipFailing({[&] { window->remindLateLoans(); }});
        }
    });
}

// How many Run calls are under way. A box shown while the window loads runs a
// nested event loop, and a host call can arrive inside it; that inner Run must
// not start the loading a second time.
int runDepth = 0;

struct RunScope {
    RunScope() { ++runDepth; }
    ~RunScope() { --runDepth; }
    RunScope(const RunScope&) = delete;
    RunScope& operator=(const RunScope&) = delete;
};
}  // namespace

QString clsPluginInterface::Run(const platform::HostWindowRef& FormX)
{
    const bool nested = runDepth > 0;
    RunScope scope;
    try {
        installWindowLinks();
        using catalogue::Frmobjetos;
        Frmobjetos* existing = Frmobjetos::existing();
        if (!nested || (existing && existing->isLoaded())) {
            // An installed Ulmix gives a new person an empty collection of her own.
            if (!existing) {
                const QString refusal = db::createMissingCollection();
                if (!refusal.isEmpty())
                    platform::services().msgBox(refusal, platform::OkOnly, platform::Exclamation);
            }
            Frmobjetos::instance()->Show();
            scheduleDailyBackup();
        }
        // The window may have been closed by the user inside a nested event
        // loop of its start-up; then there is nothing to hand over.
        Frmobjetos* window = Frmobjetos::existing();
        if (!window)
            return QString();
        const QString caption = platform::use(FormX).caption();
        window = Frmobjetos::existing();  // reading the caption may run events too
        if (!window)
            return QString();
        window->Text3->setText(caption);
        window->objHost = FormX;
        return QString();
    } catch (...) {
        QString description = platform::currentFailure().description;
        if (description.isEmpty())
            description = QStringLiteral("Erro desconhecido.");
        return description;
    }
}

QString clsPluginInterface::Identify() const
{
    return QStringLiteral("Ulmix");
}

}  // namespace ondrel::plugin
