#pragma once

// The generated collections the benchmark runs on: made once by a child
// process and kept in a cache folder on a real disk, so that a later run
// starts at once and the commits it times reach the disk.

#include <QString>

namespace ondrel::bench {

// The folder the generated collections are kept in: $XDG_CACHE_HOME (or
// ~/.cache) /ondrel-bench, unless that lies on a file system in memory
// (tmpfs, ramfs); then /var/tmp/ondrel-bench. Created when missing.
QString cacheFolder();

// The child's part of generating a collection: writes PATH.part and renames
// it to PATH when complete. Returns the process's exit code.
int generateCollection(const QString& path, int objects, int loans);

// Makes sure PATH holds a generated collection of that many objects and
// loans, generating it in a child process (`--generate`) when it is missing.
// A file with other counts is replaced only when mayReplace; otherwise it is
// an error. Throws std::runtime_error.
void ensureCollection(const QString& path, int objects, int loans, bool mayReplace);

// The cached collection of that size, generated first when missing.
QString cachedCollection(int objects, int loans);

}  // namespace ondrel::bench
