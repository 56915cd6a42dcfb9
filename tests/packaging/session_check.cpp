// The windows of an installed build in a real session (Wayland or X11), as a
// person meets them on a first start: the catalogue opens on the empty
// collection made in her data folder, a new object is saved, it is lent
// ("Emprestar", the borrower's name, "Salvar" in the loans window) and the
// search dialog opens. scripts/package-test runs it in a fresh Debian root
// after installing the package, as an ordinary user, under Xvfb and under a
// headless weston. Prints one line per step; exits 1 at the first that fails.

#include "catalogue/Frmobjetos.h"
#include "collection/collection.h"
#include "collection/places.h"
#include "collection/statements.h"
#include "database/database.h"
#include "database/recordset.h"
#include "forms/links.h"
#include "loans/Frmemprestimos.h"
#include "platform/hostwindow.h"
#include "platform/qttexts.h"
#include "platform/services.h"
#include "plugin/clsPluginInterface.h"
#include "search/Frmpesquisa.h"
#include "widgets/picturebutton.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <cstdlib>
#include <functional>

using namespace ondrel;

namespace {

class Host final : public platform::HostWindow {
public:
    QString caption() const override { return QStringLiteral("Ulmix"); }
};

QStringList boxesSeen;

void step(bool ok, const QString& what)
{
    std::printf("%s %s\n", ok ? "ok  " : "FAIL", qPrintable(what));
    std::fflush(stdout);
    if (!ok) {
        for (const QString& box : boxesSeen)
            std::printf("     message box: %s\n", qPrintable(box));
        db::checkpointAndCloseAll();
        std::exit(1);
    }
}

bool waitFor(const std::function<bool()>& done, int ms = 10000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    return done();
}

bool onScreen(QWidget* window)
{
    return waitFor([window] { return window->isVisible() && window->windowHandle() && window->windowHandle()->isExposed(); });
}

int loansOf(const QString& code)
{
    auto collection = db::Database::open(db::collectionFile(), QString::fromLatin1(db::kConnectString));
    auto loans = collection->openRecordset(db::loansOfObject(code), db::RecordsetType::Snapshot);
    int n = 0;
    for (; !loans->eof(); loans->moveNext())
        ++n;
    return n;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ulmix"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.ondrel.Ulmix"));
    platform::setBeforeEnd(&db::checkpointAndCloseAll);
    platform::installQtPortugueseTexts();
    // A message box would wait for a person: each one is noted and closed.
    QTimer boxes;
    QObject::connect(&boxes, &QTimer::timeout, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            boxesSeen.append(box->text());
            box->reject();
        }
    });
    boxes.start(100);

    std::printf("platform %s, build %s\n", qPrintable(QGuiApplication::platformName()),
                db::thisBuild() == db::Build::Installed ? "installed" : "tree");
    const QString file = db::collectionFile();
    step(!QFileInfo::exists(file), QStringLiteral("no collection yet at %1").arg(file));

    plugin::clsPluginInterface plugin;
    step(plugin.Run(std::make_shared<Host>()).isEmpty(), QStringLiteral("Run answers \"\""));
    catalogue::Frmobjetos* f = catalogue::Frmobjetos::existing();
    step(f && onScreen(f), QStringLiteral("the catalogue is on the screen: \"%1\"").arg(f ? f->windowTitle() : QString()));
    step(QFileInfo(file).isFile() && boxesSeen.isEmpty(), QStringLiteral("an empty collection was created, silently"));
    step(f->TotalRegistros == 0, QStringLiteral("the catalogue is empty"));

    f->cmdNovo->click();
    f->Txtcod->setText(QStringLiteral("W1"));
    f->txttítulo->setText(QStringLiteral("Objeto da sessão"));
    f->cmdSalvar->click();
    step(waitFor([f] { return f->TotalRegistros == 1; }) && boxesSeen.isEmpty(),
         QStringLiteral("a new object is saved: %1").arg(f->lblCount->text().simplified()));

    f->cmdEmprestar->click();
    loans::Frmemprestimos* e = loans::Frmemprestimos::existing();
    step(e && onScreen(e), QStringLiteral("\"Emprestar\" opens the loans window"));
    e->Txtnome->setText(QStringLiteral("Ana da Sessão"));
    e->cmdSalvar->click();
    step(waitFor([f] { return f->Text2->text() == QStringLiteral("Não"); }) && boxesSeen.isEmpty()
             && loansOf(QStringLiteral("W1")) == 1,
         QStringLiteral("the lend is saved in the file and the catalogue shows the object lent"));

    bool searchShown = false;
    QTimer::singleShot(0, [&] {
        search::Frmpesquisa* dialog = nullptr;
        waitFor([&] { return (dialog = search::Frmpesquisa::existing()) && dialog->isVisible(); });
        searchShown = dialog && onScreen(dialog) && dialog->isModal();
        if (dialog)
            dialog->Command1[1]->click();  // "&Cancela"
    });
    f->activateWindow();
    f->cmdSeleciona->click();
    step(searchShown && boxesSeen.isEmpty(), QStringLiteral("the search dialog opens (modal) and closes"));

    db::checkpointAndCloseAll();
    std::printf("every step passed\n");
    return 0;
}
