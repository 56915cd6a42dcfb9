#pragma once

// A temporary plug-in folder for the window tests: Brazilian regional
// settings, message boxes, input boxes, dialogs and the shell going to a
// recording double, and every window torn down after each test.
#include "catalogue/Frmobjetos.h"
#include "collection/collection.h"
#include "collection_testutil.h"
#include "database/database.h"
#include "loans/Frmemprestimos.h"
#include "collection/places.h"
#include "collection/settings.h"
#include "platform/testservices.h"
#include "pgserver_testutil.h"
#include "search/Frmpesquisa.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTemporaryDir>
#include <memory>

namespace testutil {

// A record window or the search dialog, loaded and shown.
template <typename Window>
Window* shown()
{
    Window* window = Window::instance();
    window->Show();
    return window;
}

class PluginFolder {
public:
    PluginFolder()
    {
        QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil));
        m_installed = std::make_unique<ondrel::platform::RecordingServices::Installed>(services);
        ondrel::db::setPluginFolder(dir.path());
    }
    ~PluginFolder()
    {
        delete ondrel::search::Frmpesquisa::existing();
        delete ondrel::loans::Frmemprestimos::existing();
        delete ondrel::catalogue::Frmobjetos::existing();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_installed.reset();
        ondrel::db::setPluginFolder(QString());
        if (!m_server.isEmpty()) {
            ondrel::db::Settings settings = ondrel::db::Settings::read();
            settings.remove(QString::fromLatin1(ondrel::db::kCollectionKey));
            settings.write();
        }
    }
    PluginFolder(const PluginFolder&) = delete;
    PluginFolder& operator=(const PluginFolder&) = delete;

    // The windows use a new database on the test's PostgreSQL server instead
    // of the folder's file, as after --use-collection; path() is then its
    // address. Empty when the server does not run.
    QString useServer()
    {
        testutil::PgServer& server = testutil::PgServer::instance();
        if (!server.failure().isEmpty())
            return QString();
        m_server = server.createDatabase();
        ondrel::db::Settings settings = ondrel::db::Settings::read();
        settings.setValue(QString::fromLatin1(ondrel::db::kCollectionKey), m_server);
        if (!settings.write().isEmpty())
            return QString();
        // A folder named keeps its own file.
        ondrel::db::setPluginFolder(QString());
        return m_server;
    }

    // The collection database of the folder.
    QString path() const { return m_server.isEmpty() ? collectionFile(dir.path()) : m_server; }
    std::shared_ptr<ondrel::db::Database> open() const { return openCollection(path()); }
    void create(Collection shape) const { createCollection(path(), shape); }

    QTemporaryDir dir;
    ondrel::platform::RecordingServices services;

private:
    std::unique_ptr<ondrel::platform::RecordingServices::Installed> m_installed;
    QString m_server;
};

}  // namespace testutil
