// ondrel: the plug-in's executable.
//
//   ondrel                               serves Ondrel.clsPluginInterface on the
//                                        session bus (started by D-Bus activation)
//   ondrel --create-database PATH [--demo]
//                                        creates an empty collection database
//                                        (and fills it with demo data)
//   ondrel --show-catalogue [--plugin-folder DIR]
//                                        opens the catalogue window without a
//                                        bus, as a Run from a host would
//   ondrel --backup [DEST] [--plugin-folder DIR]
//                                        a copy of the collection into DEST
//                                        (by default the backup folder)
//   ondrel --restore FILE [--plugin-folder DIR]
//                                        puts the copy FILE in place of the
//                                        collection, keeping the file beside it
//   ondrel --export-listing FILE.csv|FILE.pdf [--plugin-folder DIR]
//                                        the collection's listing, as printed,
//                                        into a spreadsheet file or a PDF
//
// Serving, it ends when its last window closes; started by activation and
// never asked to Run, it ends after an idle time-out.

#include "catalogue/listingexport.h"
#include "collection/backup.h"
#include "collection/collection.h"
#include "database/database.h"
#include "platform/hostwindow.h"
#include "platform/pluginfolder.h"
#include "platform/services.h"
#include "platform/qttexts.h"
#include "plugin/clsPluginInterface.h"
#include "plugin/dbusplugin.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QTimer>

#include <cstdio>
#include <functional>

namespace {

int createDatabase(const QString& path, bool demo)
{
    try {
        // Filled under a temporary name: the file appears complete or not at all.
        const QString password = QString::fromLatin1(ondrel::db::kPassword);
        std::function<void(const QString&)> fill;
        if (demo)
            fill = [&](const QString& building) { ondrel::db::fillDemo(building, password); };
        ondrel::db::Database::create(path, password, fill);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ondrel: %s\n", e.what());
        return 1;
    }
    std::printf("%s\n", qPrintable(path));
    return 0;
}

QString collectionPath()
{
    return ondrel::db::databasePath(ondrel::platform::pluginFolder());
}

int backUpCollection(const QString& destination)
{
    using namespace ondrel::db;
    const QString collection = collectionPath();
    const QString refusal = refusalToCopy(collection);
    if (!refusal.isEmpty()) {
        std::fprintf(stderr, "ondrel: %s\n", qPrintable(refusal));
        return 1;
    }
    const QString folder = destination.isEmpty() ? backupFolder() : destination;
    // The backup folder keeps its newest copies; a folder the person names
    // keeps every copy made there.
    const bool intoBackupFolder = QDir(folder).absolutePath() == QDir(backupFolder()).absolutePath();
    try {
        const QString copy = backUp(collection, folder, QDateTime::currentDateTime(), intoBackupFolder ? kCopiesKept : 0);
        std::printf("%s\n", qPrintable(copy));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ondrel: %s\n", e.what());
        return 1;
    }
    return 0;
}

int restoreCollection(const QString& copy)
{
    using namespace ondrel::db;
    const QString collection = collectionPath();
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QString service = QString::fromLatin1(ondrel::plugin::kServiceName);
    if (bus.isConnected() && bus.interface() && bus.interface()->isServiceRegistered(service).value()) {
        std::fprintf(stderr,
                     "ondrel: Nada foi restaurado: o Ulmix está aberto (o nome %s está em uso no barramento de "
                     "sessão). Feche-o e tente de novo.\n",
                     qPrintable(service));
        return 1;
    }
    try {
        const QString kept = restoreCopy(copy, collection);
        std::printf("%s\n", qPrintable(kept.isEmpty()
                                           ? QStringLiteral("A cópia \"%1\" foi restaurada em \"%2\".").arg(copy, collection)
                                           : QStringLiteral("A cópia \"%1\" foi restaurada em \"%2\"; o arquivo anterior "
                                                            "foi guardado como \"%3\".").arg(copy, collection, kept)));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ondrel: %s\n", e.what());
        return 1;
    }
    return 0;
}

int exportListingTo(const QString& destination)
{
    try {
        ondrel::catalogue::exportListing(ondrel::platform::pluginFolder(), destination);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ondrel: A listagem não foi exportada para \"%s\". %s\n", qPrintable(destination),
                     e.what());
        return 1;
    }
    std::printf("%s\n", qPrintable(destination));
    return 0;
}

// A host window of our own for --show-catalogue.
class LocalHost final : public ondrel::platform::HostWindow {
public:
    QString caption() const override { return QStringLiteral("Ulmix"); }
};

int showCatalogue(QApplication& app)
{
    ondrel::plugin::clsPluginInterface plugin;
    const QString result = plugin.Run(std::make_shared<LocalHost>());
    if (!result.isEmpty())
        std::fprintf(stderr, "ondrel: %s\n", qPrintable(result));
    const int code = app.exec();
    ondrel::db::checkpointAndCloseAll();
    return code;
}

int serve(QApplication& app, int idleSeconds)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    auto* adaptor = new ondrel::plugin::PluginAdaptor(&app);
    const QString error = ondrel::plugin::exportPlugin(bus, adaptor);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "ondrel: %s\n", qPrintable(error));
        return 1;
    }

    // Until a first Run has shown a window, no window closing will end the
    // process, so an activation that only asked Identify ends by itself.
    bool everRan = false;
    QObject::connect(adaptor, &ondrel::plugin::PluginAdaptor::ran, &app, [&everRan] { everRan = true; });
    QTimer::singleShot(idleSeconds * 1000, &app, [&everRan] {
        if (!everRan)
            QCoreApplication::quit();
    });
    // Without its bus nobody can reach the plug-in any more.
    QTimer busWatch;
    QObject::connect(&busWatch, &QTimer::timeout, &app, [] {
        if (!QDBusConnection::sessionBus().isConnected())
            QCoreApplication::quit();
    });
    busWatch.start(5000);
    const int code = app.exec();
    // The last window closed, the idle time-out or the bus gone: the same
    // end as "Sair".
    ondrel::db::checkpointAndCloseAll();
    return code;
}

}  // namespace

int main(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Ulmix: catálogo e empréstimos de uma coleção"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Mostra esta ajuda."));
    const QCommandLineOption create(QStringLiteral("create-database"),
                                    QStringLiteral("Cria um banco de dados vazio em PATH."), QStringLiteral("PATH"));
    const QCommandLineOption demo(QStringLiteral("demo"),
                                  QStringLiteral("Preenche o banco criado com dados de demonstração."));
    const QCommandLineOption show(QStringLiteral("show-catalogue"),
                                  QStringLiteral("Abre a janela do catálogo sem barramento (depuração)."));
    const QCommandLineOption folder(QStringLiteral("plugin-folder"),
                                    QStringLiteral("Usa DIR como pasta do plug-in."), QStringLiteral("DIR"));
    const QCommandLineOption idle(QStringLiteral("idle-timeout"),
                                  QStringLiteral("Segundos de espera por um primeiro Run (padrão 60)."),
                                  QStringLiteral("SECONDS"), QStringLiteral("60"));
    const QCommandLineOption backup(QStringLiteral("backup"),
                                    QStringLiteral("Faz uma cópia de segurança da coleção na pasta DEST (padrão: "
                                                   "$XDG_DATA_HOME/ondrel/backup, ou seja, "
                                                   "~/.local/share/ondrel/backup)."));
    const QCommandLineOption restore(QStringLiteral("restore"),
                                     QStringLiteral("Restaura a cópia FILE no lugar da coleção, guardando o arquivo "
                                                    "atual ao lado (com o Ulmix fechado)."),
                                     QStringLiteral("FILE"));
    const QCommandLineOption exportListing(
        QStringLiteral("export-listing"),
        QStringLiteral("Grava a listagem de objetos, como seria impressa, em FILE: uma planilha CSV (.csv) ou um "
                       "PDF (.pdf)."),
        QStringLiteral("FILE"));
    parser.addOptions({help, create, demo, show, folder, idle, backup, restore, exportListing});
    parser.addPositionalArgument(QStringLiteral("DEST"), QStringLiteral("A pasta da cópia de --backup."),
                                 QStringLiteral("[DEST]"));
    if (!parser.parse(arguments)) {
        std::fprintf(stderr, "ondrel: %s\n", qPrintable(parser.errorText()));
        return 2;
    }
    if (parser.isSet(help)) {
        std::printf("%s", qPrintable(parser.helpText()));
        return 0;
    }

    // Creating a database needs no display, nor copying or restoring one.
    if (parser.isSet(create)) {
        QCoreApplication app(argc, argv);
        return createDatabase(parser.value(create), parser.isSet(demo));
    }
    if (parser.isSet(backup) || parser.isSet(restore)) {
        QCoreApplication app(argc, argv);
        if (parser.isSet(folder))
            ondrel::platform::setPluginFolder(parser.value(folder));
        if (parser.isSet(restore))
            return restoreCollection(parser.value(restore));
        return backUpCollection(parser.positionalArguments().value(0));
    }

    if (parser.isSet(exportListing)) {
        // The pages are laid out without a window: no display is needed.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        if (parser.isSet(folder))
            ondrel::platform::setPluginFolder(parser.value(folder));
        return exportListingTo(parser.value(exportListing));
    }

    // Started by a bus without a display, serve anyway (Identify still works)
    // rather than abort in the window system's set-up.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        std::fprintf(stderr, "ondrel: sem tela (DISPLAY); as janelas não serão visíveis\n");
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ulmix"));
    // "Sair" and the end button end the process at once; the collection file
    // is made whole first (a copy of it alone holds every committed change).
    ondrel::platform::setBeforeEnd(&ondrel::db::checkpointAndCloseAll);
    QApplication::setOrganizationName(QStringLiteral("Ondrel"));
    ondrel::platform::installQtPortugueseTexts();

    if (parser.isSet(folder))
        ondrel::platform::setPluginFolder(parser.value(folder));
    if (parser.isSet(show))
        return showCatalogue(app);
    bool ok = false;
    const int idleSeconds = parser.value(idle).toInt(&ok);
    return serve(app, ok && idleSeconds > 0 ? idleSeconds : 60);
}
