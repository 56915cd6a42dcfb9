#pragma once

// Copies of the collection file: one a day made off the user-interface
// thread after the catalogue is up, one on request from the command line,
// and a copy restored in place of the collection.
#include <QDateTime>
#include <QList>
#include <QString>

#include <atomic>
#include <functional>
#include <optional>

namespace ondrel::db {

// How many daily copies the backup folder keeps.
inline constexpr int kCopiesKept = 10;

// The backup folder in the person's data folder (userDataFolder()/backup, by
// default ~/.local/share/ondrel/backup), as the collection's own folder may be
// read-only for an install shared by several people.
QString backupFolder();
// The copies of each collection are kept apart, in a folder of the backup
// folder named after the collection's identity (the backup folder itself for
// a collection without one, opened read-only).
QString backupFolderOf(const QString& identity);
// The folder of the copies of the collection file at `collection`; opening
// it gives a collection of an earlier format its identity. Throws
// EngineError when it does not open.
QString backupFolderFor(const QString& collection);

struct BackupCopy {
    QString path;
    QDateTime taken;     // as its name tells
    QString copiedFrom;  // the collection file it was made of, as the copy notes it
};

// The copies in a folder, newest first ("livrano-2024-05-31-142501.mdb",
// "-2" and on for more in the same second); other files are not copies.
QList<BackupCopy> backupCopies(const QString& folder);

// The newest copy of the collection at `collection` (which may no longer
// open) that opens as a collection and passes the thorough check: a copy of
// its identity when the file still tells it, otherwise a copy made of a file
// at the same place. Never a copy of another collection; none when there is
// no such copy.
std::optional<BackupCopy> newestGoodCopyOf(const QString& collection);

// Why the collection is not copied: empty when it can be (a file that opens
// as a collection and this process can write, or a collection on a server),
// otherwise the engine's description of the problem.
QString refusalToCopy(const QString& collection);
// Whether copies are offered for this collection when it does not open: a
// collection file. (A copy of a collection on a server is put back by
// sharing it again.)
bool copiesServe(const QString& collection);

// How a copy proceeds: the pages copied per step of SQLite's online backup,
// work done after each step on the copying thread (tests slow a copy down
// there), and a flag that stops it at the next step.
struct BackupPace {
    int pagesPerStep = 256;
    std::function<void()> afterStep;
    const std::atomic<bool>* cancel = nullptr;
};

// Makes a consistent copy of the collection into `folder` (created when
// missing), named after `taken`, on connections of its own, from any thread;
// a read-only collection is copied too, and a collection on a server into a
// collection file.
// The copy reads one snapshot of the file: saves made meanwhile neither wait
// for it nor restart it. The copy is checked (PRAGMA integrity_check) before
// anything else: a copy that fails is removed and nothing older is dropped;
// then, with `keep` > 0, only the newest `keep` copies of the folder stay,
// the new one always among them. Returns the copy's path; throws EngineError.
QString backUp(const QString& collection, const QString& folder, const QDateTime& taken, int keep,
               const BackupPace& pace = {});

// A copy made by hand (`ondrel --backup [DEST]`): with no destination, into
// the collection's folder of the backup folder, which keeps its newest
// kCopiesKept; a destination ending in ".mdb" is the copy's own file (never
// one already there); any other is a folder, where nothing is ever deleted,
// created when it is missing but its parent is there (an absent memory stick
// is an error, not a new folder on the system's disk). Returns the copy's
// path; throws EngineError naming the file or folder and why.
QString backUpByHand(const QString& collection, const QString& destination,
                     const QDateTime& taken = QDateTime::currentDateTime());

// Whether the day's copy is still to be made: no copy in the folder was taken
// on `today`.
bool backupDue(const QString& folder, const QDate& today);

// The day's copy into the collection's backup folder: starts a thread that
// makes it when it is due and returns true at once. That thread looks at the
// collection first and leaves a read-only or unusable file alone; a
// collection on a server is copied by each desk into its own user's folder
// of that collection, a collection file (the window never waits for it,
// however long the copy takes). One copy at a time; never throws.
bool startDailyBackup(const QString& collection, const QDateTime& now = QDateTime::currentDateTime(),
                      const BackupPace& pace = {});
// Whether the day's copy started last is still being made.
bool backupRunning();
// Waits for the day's copy under way; `cancel` stops it at its next step
// (every end of the process). Returns the copy's path, or empty with the
// reason in `error` when it failed or was stopped.
QString finishBackup(bool cancel, QString* error = nullptr);

// Why `copy` is not to be restored in place of the collection at
// `collection`: it is a copy of another collection (their identities differ;
// or, the collection's own being unknown, the copy was made of a file
// elsewhere). A sentence naming whose copy it is; empty when it is a copy of
// this collection, when nothing tells, or when there is no collection there.
QString otherCollectionOf(const QString& copy, const QString& collection);

// What a restored copy becomes: the same collection again, or, for a copy of
// another collection, a collection of its own with a new identity (its copies
// then never mix with those of the collection it was copied from).
enum class Restored { SameCollection, NewCollection };

// Restores a copy in place of the collection (of the file a link there
// names). The copy is checked first (it must open as a collection and pass
// the thorough check) and so is the place (its folder must be writable);
// refused while the collection is open in this process or another program
// has it open or holds its write lock. The current file, with
// its journal, is kept beside it under a dated name
// ("livrano-anterior-2024-06-01-101500.mdb") before the copy takes its place.
// Returns the kept file's path, empty when there was no file. Throws
// EngineError; then nothing has changed.
QString restoreCopy(const QString& copy, const QString& collection,
                    const QDateTime& now = QDateTime::currentDateTime(), Restored as = Restored::SameCollection);

}  // namespace ondrel::db
