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

struct BackupCopy {
    QString path;
    QDateTime taken;  // as its name tells
};

// The copies in a folder, newest first ("livrano-2024-05-31-142501.mdb",
// "-2" and on for more in the same second); other files are not copies.
QList<BackupCopy> backupCopies(const QString& folder);

// The newest copy in the folder that opens as a collection and passes the
// thorough check; none when no copy does.
std::optional<BackupCopy> newestGoodCopy(const QString& folder);

// Why the collection is not copied: empty when it can be (a file that opens
// as a collection and this process can write, or a collection on a server),
// otherwise the engine's description of the problem.
QString refusalToCopy(const QString& collection);
// Whether the day's copies and the copies of the backup folder offered for a
// damaged file are copies of this collection: of a collection file. (The
// copies made by hand of a collection on a server are named apart.)
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
// missing), named after `taken`, on connections of its own, from any thread.
// A collection on a server is copied into a collection file too, named
// "livrano-servidor-2024-05-31-142501.mdb", apart from the file's copies: it
// is never offered for the file, and drops no copy of it (`keep` and `pace`
// are not used).
// The copy reads one snapshot of the file: saves made meanwhile neither wait
// for it nor restart it. The copy is checked (PRAGMA integrity_check) before
// anything else: a copy that fails is removed and nothing older is dropped;
// then, with `keep` > 0, only the newest `keep` copies of the folder stay,
// the new one always among them. Returns the copy's path; throws EngineError.
QString backUp(const QString& collection, const QString& folder, const QDateTime& taken, int keep,
               const BackupPace& pace = {});

// Whether the day's copy is still to be made: no copy in the folder was taken
// on `today`.
bool backupDue(const QString& folder, const QDate& today);

// The day's copy into the backup folder: when it is due, starts it on a
// thread of its own and returns true at once. That thread looks at the
// collection first and leaves a read-only or unusable one alone. One copy at
// a time; never throws.
bool startDailyBackup(const QString& collection, const QDateTime& now = QDateTime::currentDateTime(),
                      const BackupPace& pace = {});
// Whether the day's copy started last is still being made.
bool backupRunning();
// Waits for the day's copy under way; `cancel` stops it at its next step
// (every end of the process). Returns the copy's path, or empty with the
// reason in `error` when it failed or was stopped.
QString finishBackup(bool cancel, QString* error = nullptr);

// Restores a copy in place of the collection. The copy is checked first
// (it must open as a collection and pass the thorough check); refused while
// the collection is open in this process or another program has it open or
// holds its write lock. The current file, with
// its journal, is kept beside it under a dated name
// ("livrano-anterior-2024-06-01-101500.mdb") before the copy takes its place.
// Returns the kept file's path, empty when there was no file. Throws
// EngineError; then nothing has changed.
QString restoreCopy(const QString& copy, const QString& collection,
                    const QDateTime& now = QDateTime::currentDateTime());

}  // namespace ondrel::db
