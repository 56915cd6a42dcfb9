// ondrel: the plug-in's executable. Its commands and options, with what each
// one does, are listed once, in ondrelCommandLine() (`ondrel --help`).
//
// Serving, it ends when its last window closes; started by activation and
// never asked to Run, it ends after an idle time-out.

#include "catalogue/listingexport.h"
#include "collection/backup.h"
#include "collection/calendar.h"
#include "collection/collection.h"
#include "collection/desk.h"
#include "collection/places.h"
#include "collection/settings.h"
#include "commandline/commandline.h"
#include "core/files.h"
#include "database/address.h"
#include "database/database.h"
#include "import/importerror.h"
#include "import/jetconversion.h"
#include "import/listingimport.h"
#include "platform/hostwindow.h"
#include "platform/services.h"
#include "platform/qttexts.h"
#include "plugin/clsPluginInterface.h"
#include "plugin/dbusplugin.h"

#include <QApplication>
#include <QFileInfo>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QTimer>

#include <cstdio>
#include <functional>

using ondrel::app::CommandLine;
using ondrel::app::Invocation;
using ondrel::app::Option;

namespace {

// The longest wait for a first Run: a day.
constexpr int kMaxIdleSeconds = 24 * 60 * 60;

int createDatabase(const QString& path, bool demo)
{
    try {
        // Filled under a temporary name (on a server: noted as a collection
        // once filled): it appears complete or not at all.
        const QString password = QString::fromLatin1(ondrel::db::kPassword);
        std::function<void(const QString&)> fill;
        if (demo)
            fill = [&](const QString& building) { ondrel::db::fillDemo(building, password); };
        ondrel::db::Database::create(path, password, fill);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ondrel: %s\n", e.what());
        return 1;
    }
    std::printf("%s\n", qPrintable(ondrel::db::shownAddress(path)));
    return 0;
}

// Why an address typed on the command line is refused, or nothing. A
// server's password never goes into an address the program is given.
QString refuseAddress(const QString& typed, bool serverOnly)
{
    using namespace ondrel::db;
    if (serverOnly && serverAddress(typed).isEmpty())
        return QStringLiteral("\"%1\" não é um endereço de servidor PostgreSQL (postgresql://servidor/banco, "
                              "host=servidor dbname=banco, ou o nome de um serviço).").arg(typed);
    if (isServerAddress(typed) && addressHasPassword(typed))
        return QStringLiteral("O endereço traz uma senha; tire-a do endereço e guarde-a no arquivo de senhas do "
                              "PostgreSQL (~/.pgpass) ou no arquivo de serviços (~/.pg_service.conf).");
    return refusedSecurity(serverAddress(typed));
}

// Makes this user's windows use the collection at a server's address, once
// it opens as one.
int useCollection(const QString& typed)
{
    using namespace ondrel::db;
    const QString address = serverAddress(typed);
    try {
        Database::open(address, QString::fromLatin1(kConnectString));
    } catch (const EngineError& e) {
        std::fprintf(stderr, "ondrel: Nada foi mudado. %s\n", qPrintable(e.description()));
        return 1;
    }
    QString error;
    Settings settings = Settings::read(&error);
    settings.setValue(QString::fromLatin1(kCollectionKey), address);
    if (error.isEmpty())
        error = settings.write();
    if (!error.isEmpty()) {
        std::fprintf(stderr, "ondrel: Nada foi mudado. %s\n", qPrintable(error));
        return 1;
    }
    std::printf("%s\n", qPrintable(QStringLiteral("As janelas do Ulmix passam a usar a coleção \"%1\".")
                                        .arg(shownAddress(address))));
    return 0;
}

// Copies this user's collection file into the empty database at a server's
// address, in one transaction checked against the file's counts and totals,
// then makes this user's windows use it there.
int shareCollection(const QString& typed)
{
    using namespace ondrel::db;
    const QString file = collectionFile();
    const QString address = serverAddress(typed);
    if (!QFileInfo(file).isFile()) {
        std::fprintf(stderr, "ondrel: Nada foi copiado: não há arquivo da coleção em \"%s\".\n", qPrintable(file));
        return 1;
    }
    qint64 objects = 0;
    qint64 loans = 0;
    QVector<PictureOutOfReach> outOfReach;
    try {
        outOfReach = Database::copyToServer(file, QString::fromLatin1(kConnectString), address);
        const std::shared_ptr<Database> copied = Database::open(address, QString::fromLatin1(kConnectString));
        objects = copied->countRecords(QStringLiteral("objetos"));
        loans = copied->countRecords(QStringLiteral("empréstimos"));
    } catch (const EngineError& e) {
        std::fprintf(stderr, "ondrel: Nada foi copiado. %s\n", qPrintable(e.description()));
        return 1;
    }
    std::printf("%s\n", qPrintable(QStringLiteral("A coleção \"%1\" foi copiada para \"%2\": %3 objetos e %4 "
                                                  "empréstimos.")
                                        .arg(file, shownAddress(address))
                                        .arg(objects)
                                        .arg(loans)));
    // A picture whose file this computer cannot read stays a path that only
    // the computer that chose it may show.
    for (const PictureOutOfReach& missing : outOfReach)
        std::printf("%s\n", qPrintable(QStringLiteral("A imagem do objeto \"%1\" não foi copiada: o arquivo \"%2\" "
                                                      "não pôde ser lido neste computador.")
                                            .arg(missing.code, missing.path)));
    return useCollection(typed);
}

// Makes this user's windows use the collection file again.
int useFile()
{
    using namespace ondrel::db;
    QString error;
    Settings settings = Settings::read(&error);
    settings.remove(QString::fromLatin1(kCollectionKey));
    if (error.isEmpty())
        error = settings.write();
    if (!error.isEmpty()) {
        std::fprintf(stderr, "ondrel: Nada foi mudado. %s\n", qPrintable(error));
        return 1;
    }
    std::printf("%s\n", qPrintable(QStringLiteral("As janelas do Ulmix passam a usar o arquivo da coleção \"%1\".")
                                        .arg(collectionFile())));
    return 0;
}

int backUpCollection(const QString& destination)
{
    using namespace ondrel::db;
    const QString collection = collectionLocation();
    // Copying only reads the collection: a read-only one is copied too, and
    // one on a server into a collection file.
    try {
        std::printf("%s\n", qPrintable(backUpByHand(collection, destination)));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ondrel: %s\n", e.what());
        return 1;
    }
    return 0;
}

int restoreCollection(const QString& copy, bool otherCollection)
{
    using namespace ondrel::db;
    const QString collection = ondrel::db::collectionLocation();
    if (isServerAddress(collection)) {
        std::fprintf(stderr,
                     "ondrel: Nada foi restaurado: a coleção em uso fica no servidor \"%s\". Para restaurar o "
                     "arquivo, use antes ondrel --use-file.\n",
                     qPrintable(shownAddress(collection)));
        return 1;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QString service = QString::fromLatin1(ondrel::plugin::kServiceName);
    if (bus.isConnected() && bus.interface() && bus.interface()->isServiceRegistered(service).value()) {
        std::fprintf(stderr,
                     "ondrel: Nada foi restaurado: o Ulmix está aberto (o nome %s está em uso no barramento de "
                     "sessão). Feche-o e tente de novo.\n",
                     qPrintable(service));
        return 1;
    }
    // A copy of another collection is not put in this one's place by
    // mistake: only when asked, and then it becomes a collection of its own.
    const QString other = otherCollectionOf(copy, collection);
    if (!other.isEmpty() && !otherCollection) {
        std::fprintf(stderr,
                     "ondrel: Nada foi restaurado. %s Para pô-la no lugar da coleção mesmo assim, acrescente "
                     "--other-collection.\n",
                     qPrintable(other));
        return CommandLine::kWrongUse;
    }
    try {
        const QString kept = restoreCopy(copy, collection, QDateTime::currentDateTime(),
                                         other.isEmpty() ? Restored::SameCollection : Restored::NewCollection);
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
        ondrel::catalogue::exportListing(destination);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ondrel: A listagem não foi exportada para \"%s\". %s\n", qPrintable(destination),
                     e.what());
        return 1;
    }
    std::printf("%s\n", qPrintable(destination));
    return 0;
}

// The loans as calendar to-dos, written whole or not at all.
int exportLoansTo(const QString& destination)
{
    using namespace ondrel;
    try {
        if (QFileInfo(destination).suffix().compare(QLatin1String("ics"), Qt::CaseInsensitive) != 0)
            throw std::runtime_error(QStringLiteral("O nome do arquivo deve terminar em .ics.").toStdString());
        // Read as it is: an export changes nothing in the collection.
        const auto collection = db::Database::read(db::collectionLocation(), QString::fromLatin1(db::kConnectString));
        const QDateTime now = QDateTime::currentDateTimeUtc();
        files::writeWhole(destination, [&](QIODevice& out) { db::writeLoansCalendar(*collection, now, out); });
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ondrel: Os empréstimos não foram exportados para \"%s\". %s\n", qPrintable(destination),
                     e.what());
        return 1;
    }
    std::printf("%s\n", qPrintable(destination));
    return 0;
}

// A use the command line's table lets through but the files refuse: said on
// standard error, status 2, nothing done.
int refuse(const QString& why)
{
    std::fprintf(stderr, "ondrel: %s\n", qPrintable(why));
    return CommandLine::kWrongUse;
}

bool sameFile(const QString& a, const QString& b)
{
    return QFileInfo(a).canonicalFilePath() == QFileInfo(b).canonicalFilePath();
}

// The collection an import writes: an installed build's data folder is made
// when it is not there yet.
QString importedCollection()
{
    const QString collection = ondrel::db::collectionFile();
    if (ondrel::db::thisBuild() == ondrel::db::Build::Installed)
        QDir().mkpath(QFileInfo(collection).absolutePath());
    return collection;
}

// --import-jet FILE [--into DEST] [--pictures-folder DIR]: into DEST, or into
// the collection when there is none, when it is empty or when it is FILE.
int importJet(const Invocation& run)
{
    using namespace ondrel::import;
    const QString jet = run.value(QStringLiteral("import-jet"));
    JetOptions options;
    options.picturesFolder = run.value(QStringLiteral("pictures-folder"));
    if (!options.picturesFolder.isEmpty() && !QFileInfo(options.picturesFolder).isDir())
        return refuse(QStringLiteral("a pasta de imagens \"%1\" não existe.").arg(options.picturesFolder));
    // A FIFO or a device is never read: it would wait, or never end.
    const QString unreadable = ondrel::files::refusalToRead(jet);
    if (!unreadable.isEmpty())
        return refuse(unreadable + u'.');
    try {
        JetConversion done;
        if (run.has(QStringLiteral("into"))) {
            const QString into = run.value(QStringLiteral("into"));
            if (QFileInfo::exists(into))
                return refuse(QStringLiteral("o arquivo \"%1\" já existe; --into cria um arquivo novo.").arg(into));
            done = convertJetInto(jet, into, options);
        } else {
            const QString collection = importedCollection();
            if (!QFileInfo::exists(collection)) {
                done = convertJetInto(jet, collection, options);
            } else if (sameFile(jet, collection)) {
                done = convertJetInPlace(collection, options);
            } else {
                QString why;
                try {
                    if (isEmptyCollection(collection))
                        done = convertJetIntoEmpty(jet, collection, options);
                    else
                        why = QStringLiteral("a coleção \"%1\" não está vazia");
                } catch (const ondrel::db::EngineError& e) {
                    why = e.description() + QStringLiteral(" A coleção \"%1\" fica como está");
                }
                if (!why.isEmpty())
                    return refuse((why + QStringLiteral("; para converter \"%2\" num arquivo novo, use --into "
                                                        "DESTINO."))
                                      .arg(collection, jet));
            }
        }
        const QString what = done.keptAs.isEmpty()
                                 ? QStringLiteral("\"%1\" foi convertido para \"%2\".").arg(jet, done.destination)
                                 : QStringLiteral("A coleção \"%1\" foi convertida do formato Jet.").arg(jet);
        std::printf("%s\n%s\n", qPrintable(what), qPrintable(done.report()));
    } catch (const ImportError& e) {
        std::fprintf(stderr, "ondrel: %s\n", qPrintable(e.text()));
        return 1;
    }
    return 0;
}

int importListingFrom(const QString& csv)
{
    try {
        std::printf("%s\n", qPrintable(ondrel::import::importListing(csv, importedCollection()).report()));
    } catch (const ondrel::import::ImportError& e) {
        std::fprintf(stderr, "ondrel: %s\n", qPrintable(e.text()));
        return 1;
    }
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

// Started by hand rather than by the bus (which names itself to what it
// starts), the plug-in says what it is for and what to run instead.
bool startedByHand()
{
    return !qEnvironmentVariableIsSet("DBUS_STARTER_BUS_TYPE") && !qEnvironmentVariableIsSet("DBUS_STARTER_ADDRESS");
}

int serve(QApplication& app, int idleSeconds, const QString& program, const QString& folder)
{
    const bool byHand = startedByHand();
    if (byHand) {
        const QString inFolder = folder.isEmpty() ? QString() : QStringLiteral(" --plugin-folder ") + folder;
        std::fprintf(stderr,
                     "%s: o Ulmix é um plug-in: quem o inicia é o seu hospedeiro, pelo barramento de sessão (D-Bus).\n"
                     "  Para abrir o catálogo diretamente: %s --show-catalogue%s\n"
                     "  Para usá-lo pelo hospedeiro: ondrel-host (menu Plug-ins, item Ulmix)\n",
                     qPrintable(program), qPrintable(program), qPrintable(inFolder));
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    auto* adaptor = new ondrel::plugin::PluginAdaptor(&app);
    const QString error = ondrel::plugin::exportPlugin(bus, adaptor);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(program), qPrintable(error));
        return 1;
    }
    if (byHand)
        std::fprintf(stderr, "  Enquanto isso, atende o hospedeiro que o chamar; sem chamada, termina em %d s (Ctrl+C "
                             "encerra antes).\n", idleSeconds);

    // Until a first Run has shown a window, no window closing will end the
    // process, so an activation that only asked Identify ends by itself.
    bool everRan = false;
    QObject::connect(adaptor, &ondrel::plugin::PluginAdaptor::ran, &app, [&everRan] { everRan = true; });
    QTimer::singleShot(std::chrono::seconds(idleSeconds), &app, [&everRan] {
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

CommandLine ondrelCommandLine(const QString& program)
{
    using ondrel::app::kServing;
    const QString serving = QString::fromLatin1(kServing);
    const QString create = QStringLiteral("create-database");
    const QString show = QStringLiteral("show-catalogue");
    const QString backup = QStringLiteral("backup");
    const QString restore = QStringLiteral("restore");
    const QString exportListing = QStringLiteral("export-listing");
    const QString exportLoans = QStringLiteral("export-loans");
    const QString useServer = QStringLiteral("use-collection");
    const QString share = QStringLiteral("share-collection");
    const QString importJet = QStringLiteral("import-jet");
    const QString importListing = QStringLiteral("import-listing");
    std::vector<Option> options{
        {create, QStringLiteral("CAMINHO"),
         QStringLiteral("Cria uma coleção vazia em CAMINHO: um arquivo novo, ou um banco de dados vazio de um servidor "
                        "PostgreSQL (postgresql://servidor/banco, host=servidor dbname=banco ou service=NOME; a "
                        "senha fica em ~/.pgpass)."),
         true, {}, {}, [](const QString& v) { return refuseAddress(v, false); }, ondrel::db::shownAddress},
        {useServer, QStringLiteral("ENDEREÇO"),
         QStringLiteral("As janelas deste usuário passam a usar a coleção do servidor PostgreSQL em ENDEREÇO "
                        "(postgresql://servidor/banco?sslmode=verify-full, host=servidor dbname=banco ou o nome de "
                        "um serviço do arquivo ~/.pg_service.conf). A escolha fica em $XDG_CONFIG_HOME/ondrel/"
                        "ulmix.conf (~/.config/ondrel/ulmix.conf)."),
         true, {}, {}, [](const QString& v) { return refuseAddress(v, true); }, ondrel::db::shownAddress},
        {share, QStringLiteral("ENDEREÇO"),
         QStringLiteral("Copia o arquivo da coleção para o banco de dados vazio do servidor PostgreSQL em ENDEREÇO, "
                        "numa só transação conferida pelas contagens e pelo valor total, e passa a usá-lo como "
                        "--use-collection; os outros computadores usam-no com --use-collection ENDEREÇO."),
         true, {}, {}, [](const QString& v) { return refuseAddress(v, true); }, ondrel::db::shownAddress},
        {QStringLiteral("use-file"), {},
         QStringLiteral("As janelas deste usuário voltam a usar o arquivo da coleção."), true, {}, {}, {}},
        {show, {}, QStringLiteral("Abre a janela do catálogo diretamente, sem o hospedeiro."), true, {}, {}, {}},
        {backup, {},
         QStringLiteral("Faz uma cópia de segurança da coleção: no arquivo DESTINO, se terminar em .mdb, senão na "
                        "pasta DESTINO (padrão: a pasta desta coleção em $XDG_DATA_HOME/ondrel/backup, ou seja, "
                        "~/.local/share/ondrel/backup)."),
         true, {}, QStringLiteral("DESTINO"), {}},
        {restore, QStringLiteral("ARQUIVO"),
         QStringLiteral("Restaura a cópia ARQUIVO no lugar da coleção, guardando o arquivo atual ao lado (com o Ulmix "
                        "fechado)."),
         true, {}, {}, {}},
        {exportListing, QStringLiteral("ARQUIVO"),
         QStringLiteral("Grava a listagem de objetos, como seria impressa, em ARQUIVO: uma planilha CSV (.csv) ou um "
                        "PDF (.pdf)."),
         true, {}, {}, {}},
        {exportLoans, QStringLiteral("ARQUIVO"),
         QStringLiteral("Grava os empréstimos em ARQUIVO (.ics), como tarefas de agenda com a data de devolução; "
                        "importado de novo, o arquivo atualiza as tarefas em vez de repeti-las."),
         true, {}, {}, {}},
        {importJet, QStringLiteral("ARQUIVO"),
         QStringLiteral("Converte a coleção no formato Jet (Access) ARQUIVO para a coleção, quando ela não existe, está "
                        "vazia ou é o próprio ARQUIVO (que fica guardado ao lado como livrano-jet-AAAA-MM-DD.mdb), ou "
                        "para o arquivo novo de --into; mostra quantos objetos e empréstimos vieram."),
         true, {}, {}, {}},
        {importListing, QStringLiteral("ARQUIVO"),
         QStringLiteral("Acrescenta à coleção os objetos da planilha CSV ARQUIVO, cujas colunas têm os títulos da "
                        "listagem (Código, Objeto, Título, Autor(a), Valor) e também Assunto, Descrição, Data e "
                        "Imagem; tudo ou nada."),
         true, {}, {}, {}},
        {QStringLiteral("demo"), {}, QStringLiteral("Preenche a coleção criada com dados de demonstração."), false,
         {create}, {}, {}},
        {QStringLiteral("other-collection"), {},
         QStringLiteral("Restaura mesmo a cópia de outra coleção; a coleção restaurada passa a ser uma coleção à "
                        "parte, com cópias próprias."),
         false, {restore}, {}, {}},
        {QStringLiteral("into"), QStringLiteral("DESTINO"),
         QStringLiteral("Converte para o arquivo novo DESTINO em vez da coleção."), false, {importJet}, {}, {}},
        {QStringLiteral("pictures-folder"), QStringLiteral("PASTA"),
         QStringLiteral("Procura pelo nome, em PASTA, as imagens que não estão no caminho guardado."), false,
         {importJet}, {}, {}},
        {QStringLiteral("plugin-folder"), QStringLiteral("PASTA"), QStringLiteral("Usa a coleção (livrano.mdb) da pasta PASTA."),
         false, {serving, show, backup, restore, exportListing, exportLoans, importJet, importListing, share}, {}, {}},
        {QStringLiteral("idle-timeout"), QStringLiteral("SEGUNDOS"),
         QStringLiteral("Iniciado só para responder Identify, termina após SEGUNDOS (padrão 60)."), false, {serving},
         {}, ondrel::app::secondsBetween(1, kMaxIdleSeconds)},
    };
    // Where the collection lives depends on how this program was built.
    const QString place = ondrel::db::thisBuild() == ondrel::db::Build::Installed
        ? QStringLiteral("A coleção de cada pessoa é o arquivo livrano.mdb da sua pasta de dados, "
                         "$XDG_DATA_HOME/ondrel (quase sempre ~/.local/share/ondrel), criado vazio quando o catálogo "
                         "se abre pela primeira vez; com --plugin-folder, é o livrano.mdb da PASTA.")
        : QStringLiteral("A coleção é o arquivo livrano.mdb da pasta do plug-in: a pasta deste programa, ou a PASTA "
                         "de --plugin-folder.");
    return CommandLine(program,
                       QStringLiteral("Ulmix: catálogo e empréstimos de uma coleção.\n\n"
                                      "Sem comando, atende ao seu hospedeiro pelo barramento de sessão (D-Bus), que o "
                                      "inicia quando o hospedeiro pede o plug-in.\n\n")
                           + place,
                       std::move(options));
}

}  // namespace

int main(int argc, char** argv)
{
    ondrel::app::keepQtMessagesOffTheTerminal();
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const QString program = QFileInfo(QString::fromLocal8Bit(argv[0])).fileName();

    CommandLine commandLine = ondrelCommandLine(program);
    const std::optional<Invocation> run = commandLine.parse(arguments);
    if (!run) {
        std::fputs(qPrintable(commandLine.refusal()), stderr);
        return CommandLine::kWrongUse;
    }
    const QString& command = run->command;
    if (command == QLatin1String("help")) {
        std::fputs(qPrintable(commandLine.helpText()), stdout);
        return 0;
    }
    if (command == QLatin1String("version")) {
        std::fputs(qPrintable(commandLine.versionText(QString::fromLatin1(ONDREL_VERSION))), stdout);
        return 0;
    }
    const QString folder = run->value(QStringLiteral("plugin-folder"));
    ondrel::db::useThisDesk();

    // Creating a database needs no display, nor copying, restoring or
    // exporting one.
    if (command == QLatin1String("create-database")) {
        QCoreApplication app(argc, argv);
        return createDatabase(run->value(command), run->has(QStringLiteral("demo")));
    }
    if (command == QLatin1String("share-collection")) {
        QCoreApplication app(argc, argv);
        if (!folder.isEmpty())
            ondrel::db::setPluginFolder(folder);
        return shareCollection(run->value(command));
    }
    if (command == QLatin1String("use-collection") || command == QLatin1String("use-file")) {
        QCoreApplication app(argc, argv);
        return command == QLatin1String("use-file") ? useFile() : useCollection(run->value(command));
    }
    if (command == QLatin1String("backup") || command == QLatin1String("restore")
        || command == QLatin1String("export-loans")) {
        QCoreApplication app(argc, argv);
        if (!folder.isEmpty())
            ondrel::db::setPluginFolder(folder);
        if (command == QLatin1String("restore"))
            return restoreCollection(run->value(command), run->has(QStringLiteral("other-collection")));
        if (command == QLatin1String("export-loans"))
            return exportLoansTo(run->value(command));
        return backUpCollection(run->argument);
    }

    if (command == QLatin1String("import-jet") || command == QLatin1String("import-listing")) {
        QCoreApplication app(argc, argv);
        if (!folder.isEmpty())
            ondrel::db::setPluginFolder(folder);
        if (command == QLatin1String("import-jet"))
            return importJet(*run);
        return importListingFrom(run->value(command));
    }

    if (command == QLatin1String("export-listing")) {
        // The pages are laid out without a window: no display is needed.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        if (!folder.isEmpty())
            ondrel::db::setPluginFolder(folder);
        return exportListingTo(run->value(command));
    }

    // Started by a bus without a display, serve anyway (Identify still works)
    // rather than abort in the window system's set-up.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        std::fprintf(stderr, "%s: sem tela (DISPLAY); as janelas não serão visíveis\n", qPrintable(program));
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ulmix"));
    // The desktop entry the windows belong to (Wayland's app id).
    QGuiApplication::setDesktopFileName(QStringLiteral("org.ondrel.Ulmix"));
    // "Sair" and the end button end the process at once; the collection file
    // is made whole first (a copy of it alone holds every committed change).
    ondrel::platform::setBeforeEnd(&ondrel::db::checkpointAndCloseAll);
    QApplication::setOrganizationName(QStringLiteral("Ondrel"));
    ondrel::platform::installQtPortugueseTexts();

    if (!folder.isEmpty())
        ondrel::db::setPluginFolder(folder);
    if (command == QLatin1String("show-catalogue"))
        return showCatalogue(app);
    const QString idle = run->value(QStringLiteral("idle-timeout"));
    return serve(app, idle.isEmpty() ? 60 : idle.toInt(), program, folder);
}
