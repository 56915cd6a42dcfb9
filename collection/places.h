#pragma once

// Where the collection file and the read-only files live. Every window and
// every command takes the collection from collectionFile() and the listing
// layout, the help pages and the alarm sound from readOnlyFilesFolder().
//
// A build run from its build tree or from a copied folder keeps both in the
// plug-in's own folder (the executable's, or one named by --plugin-folder),
// and a folder without a collection opens empty. An installed build keeps
// each person's collection in her data folder and the read-only files in the
// package's shared folder; it never looks for a collection beside its
// executable.
#include <QString>

namespace ondrel::db {

// How a program was built: run from its build tree (or a copied folder), or
// installed by the package (CMake option ONDREL_INSTALLED).
enum class Build { Tree, Installed };
Build thisBuild();

// The plug-in's own folder: the folder of the running executable unless a
// test or --plugin-folder named another. Without a trailing separator.
QString pluginFolder();
// Names another plug-in folder; an empty text restores the executable's.
void setPluginFolder(const QString& folder);

// The person's data folder for Ulmix, $XDG_DATA_HOME/ondrel
// (~/.local/share/ondrel when unset); the backup folder lies in it.
QString userDataFolder();

// The person's state folder for Ulmix, $XDG_STATE_HOME/ondrel
// (~/.local/state/ondrel when unset): what the program notes between runs
// that is neither a setting nor a document, such as the day of the last
// reminder of the late loans.
QString userStateFolder();

// The collection file every window and command opens: livrano.mdb in the
// plug-in folder (tree build, or a folder named by --plugin-folder), or in
// the person's data folder (installed build).
QString collectionFile(Build build = thisBuild());

// The collection every window and command opens: the database on a
// PostgreSQL server this user chose (ondrel --use-collection, kept in the
// settings file, settings.h), or else collectionFile(). A plug-in folder
// named on the command line holds its own collection file in every case.
QString collectionLocation();

// The folder of objetos.rpt, the help pages and alarme.wav: the plug-in
// folder (tree build), or the package's shared folder (installed build).
QString readOnlyFilesFolder(Build build = thisBuild());

// An installed build gives a person without a collection in her data folder
// an empty one there (never the demo), making the folder as needed. Returns
// "" or why it could not be made, in Portuguese. A tree build, or a plug-in
// folder named on the command line, leaves a missing collection missing.
QString createMissingCollection(Build build = thisBuild());

}  // namespace ondrel::db
