// ondrel-host: a small host application for the Ulmix plug-in. It publishes
// its main window on the session bus and starts the plug-in from its menu.

#include "hostmainwindow.h"

#include <QApplication>
#include <QDBusConnection>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ondrel-host"));

    ondrel::host::HostMainWindow window(QDBusConnection::sessionBus());
    const QString error = window.publish();
    if (!error.isEmpty()) {
        std::fprintf(stderr, "ondrel-host: %s\n", qPrintable(error));
        return 1;
    }
    window.show();
    window.identifyPlugin();
    return app.exec();
}
