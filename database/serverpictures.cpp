#include "serverpictures.h"

#include "database.h"
#include "engineerror.h"
#include "libpq.h"
#include "pgstore.h"
#include "schema.h"
#include "core/files.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QtEndian>

#include <optional>

namespace ondrel::db {

namespace {

constexpr qint64 kChunk = qint64(8) << 20;
// The largest value the server keeps in one field.
constexpr qint64 kMaxStoredBytes = (qint64(1) << 30) - 1024;

QString objectsTable()
{
    return QStringLiteral("objetos");
}

// The hash of what a device gives until its end, a chunk at a time.
QString hashOf(QIODevice& in)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&in))
        return {};
    return QString::fromLatin1(hash.result().toHex());
}

// Cached copies whose content was found to match their hash, by name, time
// and size: a copy is hashed again only when it changed.
QMutex s_checkedMutex;
QHash<QString, QString>& checkedCopies()
{
    static QHash<QString, QString> checked;
    return checked;
}

QString copyStamp(const QFileInfo& info)
{
    return QStringLiteral("%1\n%2\n%3").arg(info.absoluteFilePath()).arg(info.lastModified().toMSecsSinceEpoch()).arg(info.size());
}

bool copyMatches(const QString& file, const QString& hash, qint64 bytes)
{
    const QFileInfo info(file);
    if (!info.isFile() || info.size() != bytes)
        return false;
    const QString stamp = copyStamp(info);
    {
        const QMutexLocker lock(&s_checkedMutex);
        if (checkedCopies().value(stamp) == hash)
            return true;
    }
    if (pictureHash(file) != hash)
        return false;
    const QMutexLocker lock(&s_checkedMutex);
    checkedCopies().insert(stamp, hash);
    return true;
}

void appendInt32(QByteArray& out, qint32 value)
{
    char bytes[4];
    qToBigEndian(value, bytes);
    out.append(bytes, 4);
}

// The content under `hash` unless the server has it, in the caller's
// transaction; false when the file changed while it was sent (nothing kept).
bool storeContent(PgConnection& c, const QString& file, const QString& hash)
{
    // Two computers storing one content: the second waits, then finds it.
    {
        const std::unique_ptr<Statement> lock = c.prepare("SELECT pg_advisory_xact_lock(hashtextextended(?, 29))");
        ScopedRun run(*lock);
        run->bindText(1, hash);
        run->step();
    }
    {
        Statement& kept = c.cached("SELECT 1 FROM ondrel_pictures WHERE hash = ?");
        ScopedRun run(kept);
        run->bindText(1, hash);
        if (run->step())
            return true;
    }
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    const qint64 size = in.size();
    if (size > kMaxStoredBytes)
        throw EngineError(ErrGeneric, QStringLiteral("A imagem \"%1\" é grande demais para ser guardada no servidor "
                                                     "(mais de 1 GB).").arg(file));
    // One row in COPY's binary format: the hash, the size, then the content
    // as it is read, never quoted.
    QByteArray head("PGCOPY\n\377\r\n\0", 11);
    appendInt32(head, 0);
    appendInt32(head, 0);
    char fields[2];
    qToBigEndian(qint16(3), fields);
    head.append(fields, 2);
    const QByteArray hashBytes = hash.toLatin1();
    appendInt32(head, qint32(hashBytes.size()));
    head += hashBytes;
    appendInt32(head, 8);
    char sizeBytes[8];
    qToBigEndian(size, sizeBytes);
    head.append(sizeBytes, 8);
    appendInt32(head, qint32(size));
    // The file as it was hashed: a change while it is sent (its time or
    // size) keeps nothing.
    const QFileInfo before(file);
    const QDateTime modified = before.lastModified();
    qint64 left = size;
    bool started = false;
    bool ended = false;
    c.copyIn("COPY ondrel_pictures (hash, bytes, content) FROM STDIN (FORMAT binary)", [&](QByteArray& chunk) {
        if (!started) {
            started = true;
            chunk = head;
            return true;
        }
        if (left > 0) {
            chunk = in.read(std::min(left, kChunk));
            // A file that shrank meanwhile: the row stays whole, and is
            // taken back below.
            if (chunk.isEmpty())
                chunk = QByteArray(int(std::min(left, kChunk)), '\0');
            left -= chunk.size();
            return true;
        }
        if (!ended) {
            ended = true;
            chunk = QByteArray("\377\377", 2);
            return true;
        }
        return false;
    });
    const QFileInfo after(file);
    if (in.atEnd() && after.size() == size && after.lastModified() == modified)
        return true;
    Statement& drop = c.cached("DELETE FROM ondrel_pictures WHERE hash = ?");
    ScopedRun run(drop);
    run->bindText(1, hash);
    run->step();
    return false;
}

}  // namespace

QString pictureHash(const QString& file)
{
    QFile in(file);
    if (file.isEmpty() || !QFileInfo(file).isFile() || !in.open(QIODevice::ReadOnly))
        return {};
    return hashOf(in);
}

void addPictureTables(PgConnection& c)
{
    if (c.hasSchemaObject(QStringLiteral("ondrel_object_pictures")))
        return;
    // Pictures are compressed already: kept as they are, and read a slice
    // at a time.
    c.exec(QStringLiteral(
        "CREATE TABLE IF NOT EXISTS ondrel_pictures (hash text COLLATE \"C\" PRIMARY KEY, bytes bigint NOT NULL, "
        "content bytea NOT NULL); ALTER TABLE ondrel_pictures ALTER COLUMN content SET STORAGE EXTERNAL; "
        "CREATE TABLE IF NOT EXISTS ondrel_object_pictures (cod_chave text COLLATE \"C\" PRIMARY KEY REFERENCES "
        "objetos (cod_chave) ON UPDATE CASCADE ON DELETE CASCADE, hash text COLLATE \"C\" NOT NULL REFERENCES "
        "ondrel_pictures (hash))"));
}

void storePictureContent(PgConnection& c, const QString& file, const QString& hash)
{
    std::optional<Transaction> tx;
    if (!c.inTransaction())
        tx.emplace(c);
    if (!storeContent(c, file, hash))
        throw EngineError(ErrGeneric, QStringLiteral("A imagem \"%1\" mudou enquanto era guardada no servidor: tente "
                                                     "escolhê-la de novo.").arg(file));
    if (tx)
        tx->commit();
}

void linkPicture(PgConnection& c, const QString& codeKey, const QString& hash)
{
    if (codeKey.isEmpty())
        return;
    Statement& st = c.cached(hash.isEmpty()
                                 ? QByteArray("DELETE FROM ondrel_object_pictures WHERE cod_chave = ?")
                                 : QByteArray("INSERT INTO ondrel_object_pictures (cod_chave, hash) VALUES (?, ?) ON "
                                              "CONFLICT (cod_chave) DO UPDATE SET hash = excluded.hash"));
    ScopedRun run(st);
    run->bindText(1, codeKey);
    if (!hash.isEmpty())
        run->bindText(2, hash);
    run->step();
}

QVector<PictureOutOfReach> storeCopiedPictures(PgConnection& c)
{
    struct Named {
        QString code, key, path;
    };
    QVector<Named> named;
    {
        const std::unique_ptr<Statement> st =
            c.prepare("SELECT cod, cod_chave, path FROM objetos WHERE path <> '' ORDER BY ondrel_id");
        ScopedRun run(*st);
        while (run->step())
            named.append({run->columnText(0), run->columnText(1), run->columnText(2)});
    }
    QVector<PictureOutOfReach> out;
    for (const Named& n : named) {
        const QString hash = pictureHash(n.path);
        if (hash.isEmpty() || !storeContent(c, n.path, hash))
            out.append({n.code, n.path});
        else
            linkPicture(c, n.key, hash);
    }
    return out;
}

QString cachedPictureFile(const QString& hash)
{
    QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
    if (cache.isEmpty() || QDir::isRelativePath(cache))
        cache = QDir::homePath() + QStringLiteral("/.cache");
    return cache + QStringLiteral("/ondrel/pictures/") + hash;
}

QString serverPictureFile(const QString& address, const QString& code, const QString& path)
{
    try {
        PgConnection c(address);
        c.excludeFromCloseAll();
        if (!c.hasSchemaObject(QStringLiteral("ondrel_object_pictures")))
            return path;
        QString hash;
        qint64 bytes = 0;
        {
            const std::unique_ptr<Statement> st = c.prepare(
                "SELECT p.hash, p.bytes FROM ondrel_object_pictures l JOIN ondrel_pictures p ON p.hash = l.hash "
                "WHERE l.cod_chave = ?");
            ScopedRun run(*st);
            run->bindText(1, foldText(code));
            if (!run->step())
                return path;
            hash = run->columnText(0);
            bytes = run->columnInt(1);
        }
        const QString copy = cachedPictureFile(hash);
        if (copyMatches(copy, hash, bytes))
            return copy;
        if (!QDir().mkpath(QFileInfo(copy).absolutePath()))
            return path;
        files::writeWhole(copy, [&](QIODevice& out) {
            QCryptographicHash fetched(QCryptographicHash::Sha256);
            // Each slice as the server keeps it (a result in binary form),
            // not spelled out in hexadecimal digits.
            const QByteArray sql = "SELECT substring(content FROM $1::integer FOR $2::integer) FROM ondrel_pictures "
                                   "WHERE hash = $3";
            const QByteArray key = hash.toLatin1();
            for (qint64 at = 0; at < bytes; at += kChunk) {
                const QByteArray from = QByteArray::number(at + 1);
                const QByteArray length = QByteArray::number(kChunk);
                const char* values[] = {from.constData(), length.constData(), key.constData()};
                PGresult* result =
                    libpq().PQexecParams(c.handle(), sql.constData(), 3, nullptr, values, nullptr, nullptr, 1);
                if (libpq().PQresultStatus(result) != PGRES_TUPLES_OK)
                    c.fail(result, sql);
                const bool found = libpq().PQntuples(result) == 1;
                const QByteArray part = found ? QByteArray(libpq().PQgetvalue(result, 0, 0),
                                                           libpq().PQgetlength(result, 0, 0))
                                              : QByteArray();
                libpq().PQclear(result);
                if (!found)
                    throw files::FileError(QStringLiteral("a imagem não está mais no servidor"));
                fetched.addData(part);
                if (out.write(part) != part.size())
                    throw files::FileError(out.errorString());
            }
            if (QString::fromLatin1(fetched.result().toHex()) != hash)
                throw files::FileError(QStringLiteral("a imagem recebida do servidor não confere"));
        });
        return copy;
    } catch (const EngineError&) {
        return path;
    } catch (const files::FileError&) {
        return path;
    }
}

// ---- The engine's side: an object's save and the windows' picture.

std::optional<QString> Database::storePictureOf(const TableInfo& table, const QVector<int>& fields,
                                                const QVector<QVariant>& values)
{
    auto* server = dynamic_cast<PgConnection*>(m_connection.get());
    if (!server || !sameName(table.name, objectsTable()))
        return std::nullopt;
    const int at = fields.indexOf(table.indexOf(QStringLiteral("path")));
    if (at < 0)
        return std::nullopt;
    addPictureTables(*server);
    const QString path = values[at].toString();
    const QString hash = pictureHash(path);
    if (!hash.isEmpty())
        storePictureContent(*server, path, hash);
    return hash;
}

void Database::linkPictureOf(const TableInfo& table, qint64 rowid, const std::optional<QString>& picture)
{
    auto* server = dynamic_cast<PgConnection*>(m_connection.get());
    if (!server || !picture)
        return;
    const FieldInfo& code = table.fields[table.indexOf(QStringLiteral("cod"))];
    Statement& st = server->cached("SELECT " + code.keyColumnSql() + " FROM " + table.sqlName() + " WHERE "
                                   + table.rowid() + " = ?");
    QString key;
    {
        ScopedRun run(st);
        run->bindInt(1, rowid);
        if (run->step())
            key = run->columnText(0);
    }
    linkPicture(*server, key, *picture);
}

std::function<QString()> Database::pictureSource(const QString& code, const QString& path) const
{
    // An object without a path has no stored picture either (clearing the
    // path unlinks it): no connection for it.
    if (path.isEmpty() || !dynamic_cast<PgConnection*>(m_connection.get()))
        return [path] { return path; };
    return [address = m_path, code, path] { return serverPictureFile(address, code, path); };
}

}  // namespace ondrel::db
