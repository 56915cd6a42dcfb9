#include "collection.h"

#include "rawsqlite.h"

#include "collection/collection.h"
#include "database/database.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <sys/vfs.h>

#include <cstdio>
#include <stdexcept>

namespace ondrel::bench {

namespace {

constexpr long kTmpfsMagic = 0x01021994;
constexpr long kRamfsMagic = 0x858458f6;

// Whether a folder (or, while it does not exist yet, its nearest existing
// parent) lies on a file system held in memory.
bool inMemory(QString folder)
{
    while (!QDir(folder).exists() && folder != QDir(folder).absoluteFilePath(QStringLiteral("..")))
        folder = QDir(folder).absoluteFilePath(QStringLiteral(".."));
    struct statfs info {};
    if (statfs(QFile::encodeName(folder).constData(), &info) != 0)
        return false;
    return long(info.f_type) == kTmpfsMagic || long(info.f_type) == kRamfsMagic;
}

bool hasCounts(const QString& path, int objects, int loans)
{
    try {
        RawDatabase raw(path.toStdString());
        auto count = [&](const char* sql) {
            RawStatement st = raw.prepare(sql);
            RawRun run(st);
            return run.step() ? run.integer(0) : -1;
        };
        return count("SELECT count(*) FROM objetos") == objects
            && count("SELECT count(*) FROM \"empréstimos\"") == loans;
    } catch (const RawError&) {
        return false;
    }
}

void removeWithCompanions(const QString& path)
{
    for (const QString& f : {path, path + QStringLiteral("-wal"), path + QStringLiteral("-shm")})
        QFile::remove(f);
}

}  // namespace

QString cacheFolder()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (folder.isEmpty() || inMemory(folder))
        folder = QStringLiteral("/var/tmp");
    folder += QStringLiteral("/ondrel-bench");
    if (!QDir().mkpath(folder))
        throw std::runtime_error("cannot create the cache folder " + folder.toStdString());
    if (inMemory(folder))
        std::fprintf(stderr, "ondrel-bench: warning: %s is in memory; commits will not reach a disk\n",
                     qPrintable(folder));
    return folder;
}

int generateCollection(const QString& path, int objects, int loans)
{
    const QString part = path + QStringLiteral(".part");
    removeWithCompanions(part);
    db::generateBenchData(part, objects, loans);
    return QFile::rename(part, path) ? 0 : 1;
}

void ensureCollection(const QString& path, int objects, int loans, bool mayReplace)
{
    if (QFile::exists(path)) {
        if (hasCounts(path, objects, loans))
            return;
        if (!mayReplace)
            throw std::runtime_error(QStringLiteral("%1 is not a generated collection of %2 objects and %3 loans")
                                         .arg(path).arg(objects).arg(loans).toStdString());
        removeWithCompanions(path);
    }
    std::printf("generating %s (%d objects, %d loans)...\n", qPrintable(path), objects, loans);
    std::fflush(stdout);
    QElapsedTimer took;
    took.start();
    // A child of its own, so that generating does not count in any peak memory.
    const int rc = QProcess::execute(QCoreApplication::applicationFilePath(),
                                     {QStringLiteral("--generate"), path, QString::number(objects),
                                      QString::number(loans)});
    if (rc != 0 || !hasCounts(path, objects, loans))
        throw std::runtime_error(QStringLiteral("could not generate %1").arg(path).toStdString());
    std::printf("generated in %.1f s\n", double(took.elapsed()) / 1000.0);
    std::fflush(stdout);
}

QString cachedCollection(int objects, int loans)
{
    const QString path = cacheFolder() + QStringLiteral("/collection-%1-%2.mdb").arg(objects).arg(loans);
    ensureCollection(path, objects, loans, true);
    // A collection cached by an earlier build gains this format's indexes
    // once, as the plug-in gives them to a person's file after its start.
    QElapsedTimer took;
    took.start();
    db::Database::buildIndexes(path, QString::fromLatin1(db::kConnectString));
    if (took.elapsed() > 1000)
        std::printf("indexes built in %.1f s\n", double(took.elapsed()) / 1000.0);
    return path;
}

}  // namespace ondrel::bench
