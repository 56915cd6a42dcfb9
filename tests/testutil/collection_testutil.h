#pragma once

// The one builder of collection files for the tests. Every test that needs a
// collection file makes it here, with the collection's own file name and
// password; the fixtures of the window tests (PluginFolder and the Folders
// built on it) add their objects and loans to what this makes.
#include "collection/collection.h"
#include "database/database.h"

#include <QDir>
#include <QString>
#include <memory>

namespace testutil {

enum class Collection {
    Empty,          // the tables and stored queries, no object and no loan
    Demo,           // the demo contents a new plug-in folder gets
    OtherPassword,  // a collection file of another password: the program cannot open it
};

// The password and connect string every collection file has.
inline QString collectionPassword() { return QString::fromLatin1(ondrel::db::kPassword); }
inline QString connectString() { return QString::fromLatin1(ondrel::db::kConnectString); }

// The collection file of a folder.
inline QString collectionFile(const QString& folder) { return ondrel::db::databasePath(folder); }
inline QString collectionFile(const QDir& folder) { return collectionFile(folder.path()); }

// Makes the collection file at `path` in the given shape.
inline void createCollection(const QString& path, Collection shape = Collection::Empty)
{
    const QString password = shape == Collection::OtherPassword ? QStringLiteral("outra") : collectionPassword();
    ondrel::db::Database::create(path, password);
    if (shape == Collection::Demo)
        ondrel::db::fillDemo(path, password);
}

// Opens a collection file the way the program does.
inline std::shared_ptr<ondrel::db::Database> openCollection(const QString& path)
{
    return ondrel::db::Database::open(path, connectString());
}

}  // namespace testutil
