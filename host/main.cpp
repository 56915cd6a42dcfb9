// ondrel-host: a small host application for the Ulmix plug-in. It publishes
// its main window on the session bus and starts the plug-in from its menu,
// or at once with --run-plugin (the `ulmix` command and the menu entry).

#include "commandline/commandline.h"
#include "hostmainwindow.h"

#include <QApplication>
#include <QDBusConnection>
#include <QFileInfo>

#include <cstdio>

namespace {

using ondrel::app::CommandLine;

CommandLine hostCommandLine(const QString& program)
{
    const QString serving = QString::fromLatin1(ondrel::app::kServing);
    std::vector<ondrel::app::Option> options{
        {QStringLiteral("run-plugin"), {},
         QStringLiteral("Inicia o plug-in assim que a janela se abre, como o seu item no menu Plug-ins; a janela "
                        "fica aberta para os outros plug-ins e para \"Sair\"."),
         false, {serving}, {}, {}},
    };
    return CommandLine(program,
                       QStringLiteral("Ondrel: o aplicativo hospedeiro do Ulmix. Abre uma janela cujo menu Plug-ins "
                                      "inicia o plug-in Ulmix (catálogo e empréstimos de uma coleção) pelo "
                                      "barramento de sessão (D-Bus)."),
                       std::move(options), QStringLiteral("a janela do hospedeiro"));
}

}  // namespace

int main(int argc, char** argv)
{
    ondrel::app::keepQtMessagesOffTheTerminal();
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const QString program = QFileInfo(QString::fromLocal8Bit(argv[0])).fileName();
    CommandLine commandLine = hostCommandLine(program);
    const std::optional<ondrel::app::Invocation> run = commandLine.parse(arguments);
    if (!run) {
        std::fputs(qPrintable(commandLine.refusal()), stderr);
        return CommandLine::kWrongUse;
    }
    if (run->command == QLatin1String("help")) {
        std::fputs(qPrintable(commandLine.helpText()), stdout);
        return 0;
    }
    if (run->command == QLatin1String("version")) {
        std::fputs(qPrintable(commandLine.versionText(QString::fromLatin1(ONDREL_VERSION))), stdout);
        return 0;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ondrel-host"));
    // The desktop entry the host's window belongs to (Wayland's app id).
    QGuiApplication::setDesktopFileName(QStringLiteral("org.ondrel.Ulmix"));

    ondrel::host::HostMainWindow window(QDBusConnection::sessionBus());
    const QString error = window.publish();
    if (!error.isEmpty()) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(program), qPrintable(error));
        return 1;
    }
    window.show();
    window.identifyPlugin();
    if (run->has(QStringLiteral("run-plugin")))
        window.runPlugin();
    return app.exec();
}
