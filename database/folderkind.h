#pragma once

// Whether a collection file lies in a network folder. SQLite's write-ahead
// log needs memory shared between every process that opens the file, which
// the computers sharing a network folder do not have; a file there is opened
// with the rollback journal, whose file locks the network filesystems serve.
#include <QString>

#include <functional>

namespace ondrel::db {

enum class FolderKind {
    Local,    // a local disk, or a filesystem in user space of this computer
    Network,  // NFS, SMB/CIFS or sshfs
};

// The kind of the folder that holds `path` (the path itself when it exists),
// from the filesystem's type: statfs(2), and for a filesystem in user space
// the type /proc/self/mountinfo gives its mount. Anything not known to be a
// network folder is Local.
FolderKind folderKind(const QString& path);

// The filesystem type the mount of the device `major`:`minor` has in a
// mountinfo text (/proc/self/mountinfo), such as "fuse.sshfs"; empty when no
// mount has it.
QString mountTypeIn(const QByteArray& mountinfo, unsigned major, unsigned minor);

// Replaces the answer of folderKind() (tests); an empty function restores it.
void setFolderKindProbe(std::function<FolderKind(const QString&)> probe);

// Told once when a collection file in a network folder is opened: sharing
// it between computers is not safe, and how to share through a server.
QString networkFolderNotice(const QString& path);

}  // namespace ondrel::db
