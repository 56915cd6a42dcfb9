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
#include "platform/testservices.h"
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
    }
    PluginFolder(const PluginFolder&) = delete;
    PluginFolder& operator=(const PluginFolder&) = delete;

    // The collection database of the folder.
    QString path() const { return collectionFile(dir.path()); }
    std::shared_ptr<ondrel::db::Database> open() const { return openCollection(path()); }
    void create(Collection shape) const { createCollection(path(), shape); }

    QTemporaryDir dir;
    ondrel::platform::RecordingServices services;

private:
    std::unique_ptr<ondrel::platform::RecordingServices::Installed> m_installed;
};

}  // namespace testutil
