#pragma once

// How every window opens the collection (its file, or its database on a
// server) and says once why it cannot.
#include <QString>

#include <memory>

namespace ondrel::db {
class Database;
}

namespace ondrel::chrome {

// Opens the collection for a window. The first window of the run that finds
// the file unusable (not a collection, a wrong password, damaged, unreadable,
// locked; a server that cannot be reached) says so once, naming the file or
// the server's address (never its password); a missing file stays silent, and
// the windows open empty as without a file. A damaged file comes with the
// offer of the newest good copy of the backup folder: restored, the window
// opens it. A collection in the Jet format comes with the offer to convert
// it instead: converted, the window opens it. A collection file in a network
// folder opens, and the first window says once that sharing it between
// computers is not safe. Throws what the engine throws.
std::shared_ptr<db::Database> openCollection(const QString& path);

}  // namespace ondrel::chrome
