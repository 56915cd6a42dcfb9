#include "folderkind.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>

namespace ondrel::db {

namespace {

// The magic numbers statfs(2) gives the network filesystems (linux/magic.h).
constexpr unsigned long kNfs = 0x6969;
constexpr unsigned long kSmb = 0x517b;
constexpr unsigned long kCifs = 0xff534d42;
constexpr unsigned long kSmb2 = 0xfe534d42;
// Every filesystem in user space, local or not.
constexpr unsigned long kFuse = 0x65735546;

std::function<FolderKind(const QString&)>& probe()
{
    static std::function<FolderKind(const QString&)> injected;
    return injected;
}

// The type /proc/self/mountinfo gives the mount of the device `device`.
QString mountType(dev_t device)
{
    QFile mounts(QStringLiteral("/proc/self/mountinfo"));
    if (!mounts.open(QIODevice::ReadOnly))
        return QString();
    return mountTypeIn(mounts.readAll(), major(device), minor(device));
}

FolderKind kindOnDisk(const QString& path)
{
    QFileInfo info(path);
    const QString existing = info.exists() ? info.absoluteFilePath() : info.absolutePath();
    const QByteArray name = QFile::encodeName(existing);
    struct statfs fs {};
    if (::statfs(name.constData(), &fs) != 0)
        return FolderKind::Local;
    switch (static_cast<unsigned long>(fs.f_type)) {
    case kNfs:
    case kSmb:
    case kCifs:
    case kSmb2:
        return FolderKind::Network;
    case kFuse: {
        struct stat st {};
        if (::stat(name.constData(), &st) == 0 && mountType(st.st_dev) == QLatin1String("fuse.sshfs"))
            return FolderKind::Network;
        return FolderKind::Local;
    }
    default:
        return FolderKind::Local;
    }
}

}  // namespace

QString mountTypeIn(const QByteArray& mountinfo, unsigned major, unsigned minor)
{
    const QByteArray wanted = QByteArray::number(major) + ':' + QByteArray::number(minor);
    // "36 35 0:44 / /mnt/casa rw,relatime shared:1 - fuse.sshfs ana@casa:/ rw,…": the
    // optional fields before "-" vary in number.
    for (const QByteArray& line : mountinfo.split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 3 || fields[2] != wanted)
            continue;
        const qsizetype dash = fields.indexOf("-", 6);
        if (dash > 0 && dash + 1 < fields.size())
            return QString::fromUtf8(fields[dash + 1]);
    }
    return QString();
}

FolderKind folderKind(const QString& path)
{
    if (probe())
        return probe()(path);
    return kindOnDisk(path);
}

void setFolderKindProbe(std::function<FolderKind(const QString&)> injected)
{
    probe() = std::move(injected);
}

QString networkFolderNotice(const QString& path)
{
    return QStringLiteral("A coleção \"%1\" está numa pasta de rede. Você pode continuar trabalhando neste computador, "
                          "mas abrir este arquivo em vários computadores ao mesmo tempo não é seguro: ele pode ser "
                          "danificado.\n\nPara usar a mesma coleção em vários computadores, guarde-a num servidor "
                          "PostgreSQL: \"%2 --share-collection ENDEREÇO\" leva esta coleção para lá, e nos outros "
                          "computadores \"%2 --use-collection ENDEREÇO\" passa a usá-la.")
        .arg(QDir::toNativeSeparators(path), QStringLiteral(ONDREL_COMMAND));
}

}  // namespace ondrel::db
