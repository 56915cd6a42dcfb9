// Pictures of every kind a person keeps, up to 100 megapixels, read at the
// size of their frame under Qt's own allocation limit; and what reading the
// largest of them costs in memory, while it is read and once it is shown.
#include "platform/picturereader.h"

#include <QApplication>
#include <QImageReader>
#include <QImageWriter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <bit>

using namespace ondrel::platform;

namespace {

// 12,500 x 8,000: 100 megapixels, 400 MB at 32 bits a pixel, far over Qt's
// allocation limit of 128 MB.
const QSize kBig(12500, 8000);
const QRgb kGreen = qRgb(0x12, 0xab, 0x34);

QSize fitInto(QSize natural)
{
    return natural.scaled(300, 300, Qt::KeepAspectRatio);
}

// Bits packed from the lowest of each byte, as GIF and WebP store them.
struct Bits {
    QByteArray bytes;
    quint64 pending = 0;
    int count = 0;
    void put(quint32 value, int width)
    {
        pending |= quint64(value) << count;
        for (count += width; count >= 8; count -= 8, pending >>= 8)
            bytes.append(char(pending & 0xff));
    }
    QByteArray flushed() { return count > 0 ? bytes + char(pending & 0xff) : bytes; }
};

QByteArray bytes(std::initializer_list<quint32> values)
{
    QByteArray out;
    for (const quint32 v : values)
        out.append(char(v & 0xff));
    return out;
}
QByteArray le16(quint32 v) { return bytes({v, v >> 8}); }
QByteArray le32(quint32 v) { return bytes({v, v >> 8, v >> 16, v >> 24}); }
QByteArray be32(quint32 v) { return bytes({v >> 24, v >> 16, v >> 8, v}); }
QByteArray rgb(QRgb c) { return bytes({quint32(qRed(c)), quint32(qGreen(c)), quint32(qBlue(c))}); }

// A GIF of one colour (Qt writes none): LZW codes of ever longer runs, the
// code table cleared before it is full.
QByteArray gif(QSize size, QRgb colour)
{
    Bits bits;
    constexpr int kClear = 4, kEnd = 5;
    int read = 0;  // codes the decoder has read since the last clear
    const auto put = [&](int code) { bits.put(code, std::min(12, int(std::bit_width(unsigned(5 + std::max(read, 1)))))); };
    put(kClear);
    for (qint64 left = qint64(size.width()) * size.height(); left > 0;) {
        const qint64 run = std::min<qint64>(left, read + 1);
        put(run == 1 ? 0 : int(run) + 4);
        ++read;
        left -= run;
        if (5 + read >= 4095 && left > 0) {
            put(kClear);
            read = 0;
        }
    }
    put(kEnd);
    QByteArray out = "GIF89a" + le16(size.width()) + le16(size.height()) + QByteArray("\xf0\0\0", 3) + rgb(colour)
                     + rgb(0) + ',' + le16(0) + le16(0) + le16(size.width()) + le16(size.height()) + '\0' + '\x02';
    const QByteArray data = bits.flushed();
    for (qsizetype at = 0; at < data.size(); at += 255)
        out += char(std::min<qsizetype>(255, data.size() - at)) + data.mid(at, 255);
    return out + '\0' + ';';
}

// An interlaced PNG of one colour at 8 bits a channel (Qt writes none).
QByteArray interlacedPng(QSize size, QRgb colour)
{
    const auto chunk = [](const char* type, const QByteArray& data) {
        const QByteArray body = type + data;
        quint32 crc = 0xffffffff;
        for (const char byte : body) {
            crc ^= quint8(byte);
            for (int k = 0; k < 8; ++k)
                crc = (crc >> 1) ^ (0xedb88320 & (0 - (crc & 1)));
        }
        return be32(quint32(data.size())) + body + be32(~crc);
    };
    QByteArray raw;
    raw.reserve(qsizetype(size.width()) * size.height() * 3 + qsizetype(size.height()) * 4);
    const int adam7[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4}, {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
    for (const auto& [x, y, dx, dy] : adam7) {
        const int columns = (size.width() - x + dx - 1) / dx, rows = (size.height() - y + dy - 1) / dy;
        const QByteArray row = '\0' + rgb(colour).repeated(columns);
        for (int r = 0; columns > 0 && r < rows; ++r)
            raw += row;
    }
    return QByteArray("\x89PNG\r\n\x1a\n", 8)
           + chunk("IHDR", be32(size.width()) + be32(size.height()) + QByteArray("\x08\x02\0\0\x01", 5))
           + chunk("IDAT", qCompress(raw, 1).mid(4)) + chunk("IEND", {});
}

// A lossless WebP of one colour: one symbol for each channel, no bit for
// any pixel (Qt writes one only slowly and with a gigabyte of memory).
QByteArray webp(QSize size, QRgb colour)
{
    Bits bits;
    bits.put(0x2f, 8);
    bits.put(size.width() - 1, 14);
    bits.put(size.height() - 1, 14);
    bits.put(0, 4 + 3);  // no alpha, version 0; no transform, no colour cache, no meta codes
    for (const int symbol : {qGreen(colour), qRed(colour), qBlue(colour), 255, 0}) {
        bits.put(0b101, 3);  // a simple code of one 8-bit symbol
        bits.put(symbol, 8);
    }
    const QByteArray data = bits.flushed();
    const QByteArray padded = data.size() % 2 ? data + '\0' : data;
    return "RIFF" + le32(quint32(12 + padded.size())) + "WEBPVP8L" + le32(quint32(data.size())) + padded;
}

QImage filled(QImage::Format format, QColor colour)
{
    QImage image(kBig, format);
    if (format == QImage::Format_Indexed8)
        image.setColorTable({colour.rgb()});
    image.fill(colour);
    return image;
}

bool writeQt(const QString& file, const QImage& image, int compression = -1)
{
    QImageWriter writer(file);
    writer.setCompression(compression);
    return writer.write(image);
}

bool writeBytes(const QString& file, const QByteArray& bytes)
{
    QFile out(file);
    return out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size();
}

qint64 statusKb(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').first().toLongLong();
    return -1;
}

// The child: reads a picture as a window asks for it and says the peak and
// the resident memory once the picture is in its hands.
int readAsAWindowDoes(const QString& file)
{
    QObject context;
    bool shown = false;
    requestPicture(file, QSize(300, 300), 1.0, fitInto, &context, [&](const PictureRead& read) {
        shown = !read.image.isNull() && read.natural == kBig;
        QCoreApplication::quit();
    });
    QCoreApplication::exec();
    std::printf("%lld %lld\n", statusKb("VmHWM:"), statusKb("VmRSS:"));
    return shown ? 0 : 1;
}

}  // namespace

class PictureReaderTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void bigPictures_data();
    void bigPictures();
    void memoryOfTheLargestPng();

private:
    QTemporaryDir m_dir;
};

void PictureReaderTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(QImageReader::allocationLimit() <= 128);  // Qt's own, not raised by the test
    const auto file = [&](const char* name) { return m_dir.filePath(QString::fromLatin1(name)); };
    QVERIFY(writeQt(file("cor.jpg"), filled(QImage::Format_RGB32, kGreen)));
    const QImage palette = filled(QImage::Format_Indexed8, kGreen);
    QVERIFY(writeQt(file("paleta.png"), palette));
    QVERIFY(writeQt(file("paleta.bmp"), palette));
    QVERIFY(writeQt(file("paleta.tif"), palette, 1));
    QVERIFY(writeQt(file("cinza.png"), filled(QImage::Format_Grayscale8, Qt::gray)));
    QVERIFY(writeQt(file("cinza16.png"), filled(QImage::Format_Grayscale16, Qt::gray)));
    QVERIFY(writeBytes(file("entrelacada.png"), interlacedPng(kBig, kGreen)));
    QVERIFY(writeBytes(file("cor.gif"), gif(kBig, kGreen)));
    QVERIFY(writeBytes(file("cor.webp"), webp(kBig, kGreen)));
}

void PictureReaderTest::bigPictures_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QRgb>("colour");
    const QRgb grey = QColor(Qt::gray).rgb();
    QTest::newRow("JPEG") << "cor.jpg" << kGreen;
    QTest::newRow("PNG of a palette") << "paleta.png" << kGreen;
    QTest::newRow("PNG of greys") << "cinza.png" << grey;
    QTest::newRow("PNG of 16-bit greys") << "cinza16.png" << grey;
    QTest::newRow("interlaced PNG") << "entrelacada.png" << kGreen;
    QTest::newRow("BMP") << "paleta.bmp" << kGreen;
    QTest::newRow("GIF") << "cor.gif" << kGreen;
    QTest::newRow("TIFF") << "paleta.tif" << kGreen;
    QTest::newRow("WebP") << "cor.webp" << kGreen;
}

void PictureReaderTest::bigPictures()
{
    QFETCH(QString, file);
    QFETCH(QRgb, colour);
    const int limit = QImageReader::allocationLimit();
    const PictureRead read = readPictureFile(m_dir.filePath(file), fitInto);
    QCOMPARE(read.natural, kBig);
    QCOMPARE(read.image.size(), fitInto(kBig));
    const QRgb centre = read.image.pixel(read.image.rect().center());
    QVERIFY2(qAbs(qRed(centre) - qRed(colour)) + qAbs(qGreen(centre) - qGreen(colour)) + qAbs(qBlue(centre) - qBlue(colour)) <= 6,
             qPrintable(QColor(centre).name()));
    QCOMPARE(QImageReader::allocationLimit(), limit);
}

void PictureReaderTest::memoryOfTheLargestPng()
{
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("AddressSanitizer keeps freed memory in quarantine: the resident figures say nothing of the reader here");
#endif
    QProcess child;
    child.setProcessEnvironment([] {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("ONDREL_TEST_READ_PICTURE"), QStringLiteral("1"));
        return environment;
    }());
    child.start(QCoreApplication::applicationFilePath(), {m_dir.filePath(QStringLiteral("paleta.png"))});
    QVERIFY(child.waitForFinished(30000));
    const QList<QByteArray> kb = child.readAllStandardOutput().trimmed().split(' ');
    QCOMPARE(child.exitCode(), 0);
    QCOMPARE(kb.size(), 2);
    qInfo("100-megapixel palette PNG: peak %lld MB, %lld MB once shown", kb[0].toLongLong() / 1024,
          kb[1].toLongLong() / 1024);
    QVERIFY2(kb[0].toLongLong() <= 500 * 1024, kb[0]);
    QVERIFY2(kb[1].toLongLong() < 100 * 1024, kb[1]);
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (qEnvironmentVariableIsSet("ONDREL_TEST_READ_PICTURE") && argc == 2)
        return readAsAWindowDoes(QString::fromLocal8Bit(argv[1]));
    PictureReaderTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "picturereader_test.moc"
