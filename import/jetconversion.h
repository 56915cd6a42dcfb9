#pragma once

// A collection kept in the Jet format (the older livrano.mdb) converted into
// a collection file: both tables and both stored queries, every value as it
// was, through the engine. The new collection is built and checked (row
// counts against the Jet tables' own definitions, the integrity check) before
// anything else changes; a failure at any step leaves the Jet file and the
// collection as they were and throws ImportError saying what failed.
//
//   const JetConversion done = convertJetInPlace(db::databasePath(folder));
//   services().msgBox(done.report(), ...);
#include "jetfile.h"

#include <QDate>
#include <QString>
#include <QStringList>

namespace ondrel::import {

struct JetOptions {
    // Pictures not found where their path says are looked for here, by the
    // file's name.
    QString picturesFolder;
    ReaderOptions reader;
};

struct JetConversion {
    QString source;       // the Jet file read
    QString destination;  // the collection written
    QString keptAs;       // converted in place: where the Jet file was kept
    qint64 objects = 0;
    qint64 loans = 0;
    QStringList queries;  // the stored queries that came across
    // What did not come across exactly.
    int timesLeftOut = 0;      // dates that also held a time of day
    int picturesMissing = 0;   // pictures not found on this computer
    int picturesFound = 0;     // pictures found by name in the pictures folder
    QStringList notes;         // everything else, one sentence each

    // What a person is told, in Portuguese: how many objects and loans came
    // across, where the Jet file was kept, and what did not come exactly.
    QString report() const;
};

// Into a new collection file (which must not exist yet).
JetConversion convertJetInto(const QString& jet, const QString& destination, const JetOptions& options = {});
// Into an existing collection with no object and no loan, in one transaction.
JetConversion convertJetIntoEmpty(const QString& jet, const QString& collection, const JetOptions& options = {});
// The Jet file that is the collection, in place: the new collection is built
// under a temporary name beside it, the Jet file is kept beside it as
// "livrano-jet-AAAA-MM-DD.mdb" (`today`'s date), and only then does the new
// collection take the collection's name.
JetConversion convertJetInPlace(const QString& collection, const JetOptions& options = {},
                                const QDate& today = QDate::currentDate());

// Whether a collection file opens and holds no object and no loan. Throws the
// engine's error when it does not open.
bool isEmptyCollection(const QString& path);

}  // namespace ondrel::import
