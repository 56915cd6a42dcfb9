#pragma once

// Work on whole collection files: a file is built beside its final place
// under a temporary name and linked into place only when complete (a new
// collection, a copy, a restored copy), and a file's pages are checked.
#include <QString>

#include <atomic>
#include <functional>
#include <thread>

namespace ondrel::db {

class Connection;

// The temporary name a file for `path` is built under: in the same folder,
// so the rename stays on one file system, and named after this process.
QString buildingName(const QString& path);
// The temporary file and the journals SQLite may have left beside it.
void removeBuilding(const QString& building);
// Removes what builds for `path` left when they were killed (their process
// is gone).
void removeAbandonedBuilds(const QString& path);
// Flushes a file or a folder to the disk. Throws EngineError when a file's
// data does not reach it.
void syncPath(const QString& path);
// Puts a complete, synced file at `path` and syncs the folder. Never replaces
// a file that is there (false then, with EEXIST in `error`, or the system's
// reason; the building stays).
bool linkIntoPlace(const QString& building, const QString& path, int* error = nullptr);
// Reads every page and index: throws ErrDamaged naming `shownPath` unless
// the file is whole.
void checkIntegrity(Connection& c, const QString& shownPath);

// Work on the collection file on a thread of its own, behind the windows'
// work for the processor (the day's copy, the index build): one at a time,
// stopped at the end of the process.
struct FileThread {
    std::thread thread;
    std::atomic<bool> running{false};
    std::atomic<bool> cancel{false};
    // Starts `work` unless a work is under way; false when it did not start.
    bool start(std::function<void()> work);
    // Waits for the work under way; `stop` asks it to stop first.
    void finish(bool stop);
    ~FileThread() { finish(true); }
};

// Removes the building when the scope is left before `done` is set.
struct RemoveOnFailure {
    QString building;
    bool done = false;
    ~RemoveOnFailure()
    {
        if (!done)
            removeBuilding(building);
    }
};

}  // namespace ondrel::db
