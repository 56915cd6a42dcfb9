#include "files.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ondrel::files {

namespace {

QString quoted(const QString& path)
{
    return u'"' + path + u'"';
}

QString folderOf(const QString& path)
{
    return QFileInfo(path).absolutePath();
}

// The permissions a new file gets: what an ordinary program's new file gets
// under the process's umask (read from the kernel, as setting it to read it
// would race with other threads).
mode_t newFileMode()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("Umask:")) {
                bool ok = false;
                const int mask = line.mid(6).trimmed().toInt(&ok, 8);
                if (ok)
                    return mode_t(0666 & ~mask);
            }
        }
    }
    return 0644;
}

// The temporary file's device: writes gather in a buffer that goes to the
// file in large pieces, each checked; the first failure is kept and every
// later write refused.
class TemporaryFile final : public QIODevice {
public:
    explicit TemporaryFile(int fd) : m_fd(fd) { QIODevice::open(QIODevice::WriteOnly | QIODevice::Unbuffered); }

    // Writes what is gathered; false (with error()) when the file refuses it.
    bool flushGathered()
    {
        const char* data = m_gathered.constData();
        qint64 left = m_gathered.size();
        while (left > 0 && m_error == 0) {
            const ssize_t written = ::write(m_fd, data, size_t(left));
            if (written < 0) {
                if (errno != EINTR)
                    m_error = errno;
                continue;
            }
            if (written == 0)
                m_error = ENOSPC;
            data += written;
            left -= written;
        }
        m_gathered.clear();
        return m_error == 0;
    }
    int error() const { return m_error; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override
    {
        if (m_error != 0)
            return -1;
        m_gathered.append(data, size);
        if (m_gathered.size() >= kPiece && !flushGathered())
            return -1;
        return size;
    }

private:
    static constexpr qsizetype kPiece = 1 << 16;
    int m_fd;
    int m_error = 0;
    QByteArray m_gathered;
};

}  // namespace

QString reasonFor(int error, const QString& path, Access access)
{
    const bool write = access == Access::Write;
    switch (error) {
    case ENOSPC: return QStringLiteral("o disco está cheio");
    case EDQUOT: return QStringLiteral("acabou a cota de disco deste usuário");
    case ENAMETOOLONG: return QStringLiteral("o nome do arquivo é longo demais");
    case EACCES:
    case EPERM:
        return write ? QStringLiteral("não há permissão para gravar na pasta %1").arg(quoted(folderOf(path)))
                     : QStringLiteral("não há permissão para ler %1").arg(quoted(path));
    case EROFS: return QStringLiteral("o disco da pasta %1 é somente leitura").arg(quoted(folderOf(path)));
    case ENOENT:
        return write || !QFileInfo(folderOf(path)).isDir()
            ? QStringLiteral("a pasta %1 não existe").arg(quoted(folderOf(path)))
            : QStringLiteral("o arquivo %1 não existe").arg(quoted(path));
    case ENOTDIR: return QStringLiteral("uma parte do caminho %1 não é uma pasta").arg(quoted(path));
    case ELOOP: return QStringLiteral("o caminho %1 tem links simbólicos em ciclo").arg(quoted(path));
    case EISDIR: return QStringLiteral("%1 é uma pasta, não um arquivo").arg(quoted(path));
    case EIO: return QStringLiteral("houve um erro de leitura ou gravação no disco");
    case EFBIG: return QStringLiteral("o arquivo ficaria grande demais para o disco");
    case EMFILE:
    case ENFILE: return QStringLiteral("há arquivos abertos demais");
    case ENXIO:
    case ENODEV: return QStringLiteral("%1 é um dispositivo que não está disponível").arg(quoted(path));
    case EBUSY:
    case ETXTBSY: return QStringLiteral("%1 está em uso").arg(quoted(path));
    default: return QStringLiteral("o sistema recusou a operação (erro número %1)").arg(error);
    }
}

QString notAFile(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    if (::lstat(name.constData(), &st) != 0)
        return QString();
    if (S_ISLNK(st.st_mode) && ::stat(name.constData(), &st) != 0) {
        if (errno == ELOOP)
            return QStringLiteral("%1 é um link simbólico em ciclo, não um arquivo").arg(quoted(path));
        if (errno == ENOENT)
            return QStringLiteral("%1 é um link simbólico para %2, que não existe")
                .arg(quoted(path), quoted(QFileInfo(path).symLinkTarget()));
        return reasonFor(errno, path, Access::Read);
    }
    if (S_ISREG(st.st_mode))
        return QString();
    if (S_ISDIR(st.st_mode))
        return QStringLiteral("%1 é uma pasta, não um arquivo").arg(quoted(path));
    if (S_ISFIFO(st.st_mode))
        return QStringLiteral("%1 é um FIFO (pipe nomeado), não um arquivo").arg(quoted(path));
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
        return QStringLiteral("%1 é um dispositivo, não um arquivo").arg(quoted(path));
    if (S_ISSOCK(st.st_mode))
        return QStringLiteral("%1 é um socket, não um arquivo").arg(quoted(path));
    return QStringLiteral("%1 não é um arquivo comum").arg(quoted(path));
}

QString refusalToWrite(const QString& path)
{
    if (path.isEmpty())
        return QStringLiteral("nenhum nome de arquivo foi dado");
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    if (::lstat(name.constData(), &st) == 0) {
        const QString other = notAFile(path);
        if (!other.isEmpty())
            return other;
        const QString target = resolvedPath(path);
        if (::access(QFile::encodeName(target).constData(), W_OK) != 0)
            return QStringLiteral("não há permissão para gravar em %1").arg(quoted(target));
        if (::access(QFile::encodeName(folderOf(target)).constData(), W_OK | X_OK) != 0)
            return reasonFor(errno, target, Access::Write);
        return QString();
    }
    if (errno != ENOENT)
        return reasonFor(errno, path, Access::Write);
    const QString folder = folderOf(path);
    const QByteArray folderName = QFile::encodeName(folder);
    if (::stat(folderName.constData(), &st) != 0)
        return reasonFor(errno, path, Access::Write);
    if (!S_ISDIR(st.st_mode))
        return QStringLiteral("%1 não é uma pasta").arg(quoted(folder));
    if (::access(folderName.constData(), W_OK | X_OK) != 0)
        return reasonFor(errno, path, Access::Write);
    if (QFileInfo(path).fileName().toUtf8().size() > NAME_MAX)
        return reasonFor(ENAMETOOLONG, path, Access::Write);
    return QString();
}

QString refusalToRead(const QString& path)
{
    if (path.isEmpty())
        return QStringLiteral("nenhum nome de arquivo foi dado");
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    if (::lstat(name.constData(), &st) != 0)
        return reasonFor(errno, path, Access::Read);
    const QString other = notAFile(path);
    if (!other.isEmpty())
        return other;
    if (::access(name.constData(), R_OK) != 0)
        return reasonFor(errno, path, Access::Read);
    return QString();
}

QString sentence(const QString& clause)
{
    if (clause.isEmpty())
        return clause;
    return clause.left(1).toUpper() + clause.mid(1) + u'.';
}

FileError::FileError(const QString& reason) : std::runtime_error(sentence(reason).toStdString()), m_reason(reason) {}

QString resolvedPath(const QString& path)
{
    char* real = ::realpath(QFile::encodeName(path).constData(), nullptr);
    if (!real)
        return path;
    const QString resolved = QFile::decodeName(real);
    std::free(real);
    return resolved;
}

void writeWhole(const QString& path, const std::function<void(QIODevice& out)>& write)
{
    const QString refusal = refusalToWrite(path);
    if (!refusal.isEmpty())
        throw FileError(refusal);
    const QString target = resolvedPath(path);
    const QByteArray targetName = QFile::encodeName(target);
    struct stat old {};
    const bool replacing = ::stat(targetName.constData(), &old) == 0;

    QByteArray temporary = QFile::encodeName(folderOf(target)) + "/.ondrel-XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        throw FileError(reasonFor(errno, target, Access::Write));
    struct Cleanup {
        int fd;
        const QByteArray& name;
        bool done = false;
        ~Cleanup()
        {
            if (fd >= 0)
                ::close(fd);
            if (!done)
                ::unlink(name.constData());
        }
    } cleanup{fd, temporary};
    const auto failed = [&](int error) { throw FileError(reasonFor(error, target, Access::Write)); };

    {
        TemporaryFile out(fd);
        write(out);
        if (!out.flushGathered())
            failed(out.error());
    }
    if (::fsync(fd) != 0)
        failed(errno);
    if (replacing) {
        if (::geteuid() == 0)
            (void)::fchown(fd, old.st_uid, old.st_gid);
        ::fchmod(fd, old.st_mode & 07777);
    } else {
        ::fchmod(fd, newFileMode());
    }
    cleanup.fd = -1;
    if (::close(fd) != 0)
        failed(errno);
    if (::rename(temporary.constData(), targetName.constData()) != 0)
        failed(errno);
    cleanup.done = true;
    const int folder = ::open(QFile::encodeName(folderOf(target)).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
}

}  // namespace ondrel::files
