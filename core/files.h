#pragma once

// Files the program writes and reads by name: why one cannot be written or
// read, said once for every writer and every command in Portuguese, and a
// file written whole or not at all.
#include <QIODevice>
#include <QString>

#include <functional>
#include <stdexcept>

namespace ondrel::files {

enum class Access { Read, Write };

// Why an operation on `path` failed with the system's error number `error`,
// as a clause for a person: "o disco está cheio", "o nome \"…\" é longo
// demais", "não há permissão para gravar na pasta \"/x\"", "a pasta \"/x\" não
// existe". Never an English text of the system.
QString reasonFor(int error, const QString& path, Access access);

// What stands at `path` when it is not a file: "é uma pasta, não um arquivo",
// "é um FIFO (pipe nomeado), não um arquivo", "é um dispositivo, não um
// arquivo", "é um link simbólico em ciclo"…; empty for a regular file, a
// link to one, and for nothing there.
QString notAFile(const QString& path);

// Why no file can be written at `path`, as a clause; empty when writing may
// be tried. A new file needs its folder to exist and be writable; a file
// already there must be a regular file (or a link to one), never a folder,
// a FIFO, a device or a link loop. An empty or too long name is refused.
QString refusalToWrite(const QString& path);

// Why `path` cannot be read as a file, as a clause; empty when it can.
QString refusalToRead(const QString& path);

// A clause as a sentence of its own: a capital first letter and a full stop.
QString sentence(const QString& clause);

// A file that could not be written or read. what() is the reason as a
// sentence; reason() the clause, for a message that names the file first.
class FileError : public std::runtime_error {
public:
    explicit FileError(const QString& reason);
    const QString& reason() const noexcept { return m_reason; }

private:
    QString m_reason;
};

// Writes `path` whole or not at all. `write` fills a device that writes to a
// temporary file beside the final one (beside the file a link points to:
// the link stays and the file it names is written). Every write, the last
// flush and the sync to the disk are checked; only then does the new file
// take the name, with the old file's permissions. On any failure the old
// file stays as it was, the temporary file is removed and FileError says
// why; a destination refusalToWrite() refuses is never touched.
void writeWhole(const QString& path, const std::function<void(QIODevice& out)>& write);

// The real file a path names: links followed. The path itself when nothing
// is there yet.
QString resolvedPath(const QString& path);

}  // namespace ondrel::files
