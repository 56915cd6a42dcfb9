#include "picturereader.h"

#include <QBuffer>
#include <QCache>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImageReader>
#include <QMutex>
#include <QPointer>
#include <QThreadPool>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

namespace ondrel::platform {

namespace {

// What a named pipe may bring before it is given up as no picture.
constexpr qint64 kMaxPipedBytes = 256 * 1024 * 1024;

// The process-wide image allocation limit, raised for as long as some read
// needs a whole decode beyond it.
class AllocationAllowance {
public:
    explicit AllocationAllowance(qint64 bytes)
    {
        const int needed = static_cast<int>((std::min(bytes, kMaxPictureBytes) >> 20) + 1);
        const QMutexLocker lock(&s_mutex);
        if (s_holders++ == 0)
            s_saved = QImageReader::allocationLimit();
        const int limit = QImageReader::allocationLimit();
        if (limit != 0 && limit < needed)
            QImageReader::setAllocationLimit(needed);
    }
    ~AllocationAllowance()
    {
        const QMutexLocker lock(&s_mutex);
        if (--s_holders == 0)
            QImageReader::setAllocationLimit(s_saved);
    }
    AllocationAllowance(const AllocationAllowance&) = delete;
    AllocationAllowance& operator=(const AllocationAllowance&) = delete;

private:
    static inline QMutex s_mutex;
    static inline int s_holders = 0;
    static inline int s_saved = 0;
};

QSize scaledSize(QSize size, qreal ratio)
{
    return QSize(static_cast<int>(std::lround(size.width() * ratio)), static_cast<int>(std::lround(size.height() * ratio)));
}

// The most a decoded pixel takes: 16 bits for each of four channels.
constexpr qint64 kMaxBytesPerPixel = 8;

// Whether the file's own decoder reads it at a smaller size without
// decoding it whole first: a JPEG always; a PNG when Qt reads it straight
// into 32 bits a pixel, at 8 bits a channel (a palette, grey or 16-bit PNG
// is decoded whole and then converted, at four times its size or more).
bool decodesScaled(QImageReader& reader)
{
    if (!reader.supportsOption(QImageIOHandler::ScaledSize))
        return false;
    if (reader.format() == "jpeg" || reader.format() == "jpg")
        return true;
    switch (reader.imageFormat()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
        return true;
    default:
        return false;
    }
}

// A picture shrunk to a smaller size, smoothly. Smooth scaling works at 32
// bits a pixel, so a band of rows at a time is converted and shrunk: a
// 100-megapixel palette picture never exists whole at four times its size.
QImage shrunk(const QImage& image, QSize target)
{
    constexpr qint64 kBandBytes = 16 << 20;
    if (qint64(image.width()) * image.height() * 4 <= kBandBytes || image.height() < target.height())
        return image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QImage::Format format = image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    QImage out(target, format);
    if (out.isNull())
        return {};
    const qint64 sourceRows = std::max<qint64>(1, kBandBytes / (qint64(image.width()) * 4));
    const int rowsPerBand = static_cast<int>(std::max<qint64>(1, sourceRows * target.height() / image.height()));
    for (int top = 0; top < target.height(); top += rowsPerBand) {
        const int bottom = std::min(top + rowsPerBand, target.height());
        const int from = static_cast<int>(qint64(top) * image.height() / target.height());
        const int to = static_cast<int>(qint64(bottom) * image.height() / target.height());
        const QImage band = image.copy(0, from, image.width(), to - from)
                                .convertToFormat(format)
                                .scaled(target.width(), bottom - top, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        if (band.size() != QSize(target.width(), bottom - top))
            return {};
        for (int y = 0; y < band.height(); ++y)
            std::memcpy(out.scanLine(top + y), band.constScanLine(y), static_cast<size_t>(out.bytesPerLine()));
    }
    return out;
}

// ---- Kept reads, shared by the reading threads.

QMutex s_cacheMutex;
QCache<QString, PictureRead>& cache()
{
    static QCache<QString, PictureRead> kept(64 * 1024);  // in KiB
    return kept;
}

PictureRead readKept(const QString& path, QSize frameSize, qreal ratio, const PictureFit& fit)
{
    const QFileInfo info(path);
    // A pipe's contents are not the same from one read to the next.
    if (!info.isFile())
        return readPictureFile(path, fit, ratio);
    const QString key = QStringLiteral("%1\n%2\n%3\n%4x%5\n%6")
                            .arg(path)
                            .arg(info.lastModified().toMSecsSinceEpoch())
                            .arg(info.size())
                            .arg(frameSize.width())
                            .arg(frameSize.height())
                            .arg(ratio);
    {
        const QMutexLocker lock(&s_cacheMutex);
        if (const PictureRead* kept = cache().object(key))
            return *kept;
    }
    PictureRead read = readPictureFile(path, fit, ratio);
    if (!read.image.isNull()) {
        const QMutexLocker lock(&s_cacheMutex);
        cache().insert(key, new PictureRead(read), static_cast<int>(read.image.sizeInBytes() / 1024) + 1);
    }
    return read;
}

// ---- Requests, on the user-interface thread.

QThreadPool* readers()
{
    // Never destroyed: a reader stuck on a file that never arrives must not
    // hold up the end of the process.
    static QThreadPool* pool = [] {
        auto* p = new QThreadPool;
        p->setMaxThreadCount(16);
        return p;
    }();
    return pool;
}

class PictureRequests : public QObject {
public:
    struct Request {
        QString path;
        std::function<QString()> locate;  // the file to read, found on the reading thread
        QSize frameSize;
        qreal ratio = 1;
        PictureFit fit;
        QPointer<QObject> context;
        std::function<void(const PictureRead&)> shown;
    };

    static PictureRequests* instance()
    {
        // Lives as long as the process, for the same reason as the readers.
        static auto* requests = new PictureRequests;
        return requests;
    }

    void ask(Request request)
    {
        const QString path = request.path;
        if (m_reading.contains(path)) {
            m_waiting.insert(path, std::move(request));
            return;
        }
        start(std::move(request));
    }

    int pending() const { return static_cast<int>(m_reading.size() + m_waiting.size()); }

private:
    void start(Request request)
    {
        const QString path = request.path;
        const QSize frameSize = request.frameSize;
        const qreal ratio = request.ratio;
        const PictureFit fit = request.fit;
        const std::function<QString()> locate = request.locate;
        m_reading.insert(path, std::move(request));
        readers()->start([this, path, locate, frameSize, ratio, fit] {
            const PictureRead read = readKept(locate ? locate() : path, frameSize, ratio, fit);
            QMetaObject::invokeMethod(this, [this, path, read] { arrived(path, read); }, Qt::QueuedConnection);
        });
    }

    void arrived(const QString& path, const PictureRead& read)
    {
        const Request done = m_reading.take(path);
        std::optional<Request> next;
        if (m_waiting.contains(path))
            next = m_waiting.take(path);
        // What waited for the same frame takes this read (a pipe could not
        // be read a second time); another frame reads the file again.
        if (next && (next->frameSize != done.frameSize || next->ratio != done.ratio)) {
            start(std::move(*next));
            next.reset();
        }
        for (const Request* request : std::initializer_list<const Request*>{&done, next ? &*next : nullptr}) {
            if (request && request->context && request->shown)
                request->shown(read);
        }
    }

    QHash<QString, Request> m_reading;  // per file, the request being read
    QHash<QString, Request> m_waiting;  // per file, the newest one after it
};

}  // namespace

PictureRead readPictureFile(const QString& path, const PictureFit& fit, qreal ratio)
{
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return {};
    QBuffer piped;
    QIODevice* device = &file;
    if (file.isSequential()) {
        // A pipe: what arrives until its writer closes it, then decoded.
        QByteArray bytes;
        while (bytes.size() <= kMaxPipedBytes) {
            const QByteArray chunk = file.read(1 << 16);
            if (chunk.isEmpty())
                break;
            bytes += chunk;
        }
        if (bytes.size() > kMaxPipedBytes)
            return {};
        piped.setData(bytes);
        piped.open(QIODevice::ReadOnly);
        device = &piped;
    }

    QImageReader reader(device);
    reader.setAutoTransform(true);
    const QSize stored = reader.size();
    const bool turned = reader.transformation().testFlag(QImageIOHandler::TransformationRotate90);
    QImage image;
    QSize natural;
    if (stored.isValid() && !stored.isEmpty()) {
        natural = turned ? stored.transposed() : stored;
        const QSize target = scaledSize(fit(natural), ratio).boundedTo(natural);
        if (target.isEmpty())
            return {QImage(), natural};
        // Qt checks its allocation limit against the whole picture even on
        // a scaled read, and some of its decoders decode whole anyway.
        const AllocationAllowance allowance(qint64(stored.width()) * stored.height() * kMaxBytesPerPixel);
        if (target != natural && decodesScaled(reader))
            reader.setScaledSize(turned ? target.transposed() : target);
        image = reader.read();
        if (!image.isNull() && image.size() != target)
            image = shrunk(image, target);
    } else {
        // A format that tells its size only by decoding.
        const AllocationAllowance allowance(kMaxPictureBytes);
        image = reader.read();
        natural = image.size();
        const QSize target = scaledSize(fit(natural), ratio).boundedTo(natural);
        if (!image.isNull() && !target.isEmpty() && target != natural)
            image = shrunk(image, target);
    }
    if (image.isNull())
        return {};
    return {image, natural};
}

void requestPicture(const QString& path, QSize frameSize, qreal ratio, PictureFit fit, QObject* context,
                    std::function<void(const PictureRead&)> shown)
{
    PictureRequests::instance()->ask({path, {}, frameSize, ratio, std::move(fit), context, std::move(shown)});
}

void requestPicture(const QString& key, std::function<QString()> locate, QSize frameSize, qreal ratio, PictureFit fit,
                    QObject* context, std::function<void(const PictureRead&)> shown)
{
    PictureRequests::instance()->ask(
        {key, std::move(locate), frameSize, ratio, std::move(fit), context, std::move(shown)});
}

int picturesPending()
{
    return PictureRequests::instance()->pending();
}

QString picturePatterns()
{
    QStringList patterns;
    for (const QByteArray& format : QImageReader::supportedImageFormats())
        patterns.append(QStringLiteral("*.") + QString::fromLatin1(format));
    return patterns.join(u';');
}

}  // namespace ondrel::platform
