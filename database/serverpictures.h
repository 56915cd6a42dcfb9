#pragma once

// The pictures of a collection on a server. A picture's path names a file of
// the computer that chose it; the server keeps the file's content, once per
// content (keyed by its SHA-256), and which content is each object's picture.
// Every computer shows it from a copy in its own cache folder.
#include <QString>
#include <QVector>

namespace ondrel::db {

class PgConnection;

// An object whose picture file could not be read where the collection was
// copied from.
struct PictureOutOfReach {
    QString code;
    QString path;
};

// The SHA-256 of a file's content in lowercase hexadecimal, read a chunk at a
// time; empty when the file cannot be read.
QString pictureHash(const QString& file);

// The tables of the pictures, made when missing: the contents by hash, and
// the link from an object's folded code to the content of its picture (which
// follows the code when it changes, and goes with the object).
void addPictureTables(PgConnection& c);

// Stores the content of `file` under `hash`, unless the server has it, in a
// transaction of its own (a content no object names yet is harmless; two
// computers storing one content store it once). Streamed: the client never
// holds more than a chunk. A file that changes while it is sent (its time or
// size) is not stored (ErrGeneric).
void storePictureContent(PgConnection& c, const QString& file, const QString& hash);

// The object of folded code `codeKey` shows the content `hash` (empty: none
// stored), in the caller's transaction.
void linkPicture(PgConnection& c, const QString& codeKey, const QString& hash);

// Gives every object of a collection just copied to the server whose picture
// file can be read here its stored picture, in the caller's transaction;
// returns those whose file cannot be read.
QVector<PictureOutOfReach> storeCopiedPictures(PgConnection& c);

// This computer's copy of a stored picture:
// $XDG_CACHE_HOME/ondrel/pictures/<hash>.
QString cachedPictureFile(const QString& hash);

// The file the picture of the object `code` is shown from, for a collection
// on the server at `address`: the cached copy of its stored content, fetched
// from the server (a chunk at a time) when missing or not matching its hash;
// `path` when no content is stored for it or the server cannot be reached.
QString serverPictureFile(const QString& address, const QString& code, const QString& path);

}  // namespace ondrel::db
