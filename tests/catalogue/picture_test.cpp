// The object's picture: choosing one stores its full name at once and shows
// it shrunk to fit and centred; moving shows each object's own picture at its
// own natural size; removing forgets the name; a name that cannot be stored
// leaves nothing pending. Pictures are read off the window's thread: large
// photos, turned photos and pictures that are slow to arrive.
#include "catalogue_browse_testutil.h"

#include "platform/picturereader.h"
#include "widgets/picturebutton.h"
#include "widgets/twips.h"

#include <QAction>
#include <QBuffer>
#include <QScopeGuard>
#include <QtMath>
#include <QFrame>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <thread>

using namespace cattest;
using ondrel::catalogue::fitImage;
using ondrel::db::EditMode;

namespace {

// The four kinds, then "Todos os Formatos" and its patterns.
const QString kKinds = QStringLiteral(
    "Bitmaps (*.bmp)|*.bmp|JPEG (*.jpg)|*.jpg|GIF (*.gif)|*.gif|Icones (*.ico)|*.ico|Todos os Formatos|");

// Where Image1 must stand for a picture of natural size (pixels): the fit of
// the picture's twips in the frame's twips, placed back in pixels.
QRect expectedPlace(Frmobjetos* f, QSize natural)
{
    const QRect frame = ondrel::platform::geometryInTwips(f->Picture1);
    const auto fit = fitImage(f->pixelsToTwips(natural.width()), f->pixelsToTwips(natural.height()), frame.width(),
                              frame.height());
    return ondrel::platform::twipsToPixels(QRect(fit.left, fit.top, fit.width, fit.height),
                                           ondrel::platform::logicalDpi(f));
}

bool pictureShown(Frmobjetos* f)
{
    return !f->Image1->pixmap().isNull() && f->Image1->width() > 0;
}

// Every picture asked for has been read and handed over (or dropped).
bool picturesSettled()
{
    return QTest::qWaitFor([] { return ondrel::platform::picturesPending() == 0; }, 10000);
}

void writePicture(const QString& file, QSize size, QColor colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QVERIFY(image.save(file));
}

// A JPEG whose EXIF data says the camera was turned (orientation 6: the
// stored picture is shown turned a quarter clockwise).
void writeTurnedJpeg(const QString& file, QSize stored)
{
    QImage image(stored, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QVERIFY(image.save(&buffer, "JPG"));
    const QByteArray tiff = QByteArray("II*\0\x08\0\0\0", 8) + QByteArray("\x01\0", 2)
                            + QByteArray("\x12\x01\x03\0\x01\0\0\0\x06\0\0\0", 12) + QByteArray(4, '\0');
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    const int length = payload.size() + 2;
    const QByteArray app1 = QByteArray("\xff\xe1", 2) + char(length >> 8) + char(length & 0xff) + payload;
    bytes.insert(2, app1);  // right after the start-of-image marker
    QFile out(file);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(bytes);
}

}  // namespace

class CataloguePictureTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup() { m_folder.reset(); }

    void chooseStoresAtOnce_data();
    void chooseStoresAtOnce();
    void cancelledChooserChangesNothing();
    void eachObjectItsOwnPicture_data();
    void eachObjectItsOwnPicture();
    void removeForgetsTheName();
    void unstorableNameLeavesNothingPending();
    void commandsWithoutAnObject();
    void largeAndTurnedPictures_data();
    void largeAndTurnedPictures();
    void neverWaitsOnAPicture_data();
    void neverWaitsOnAPicture();

private:
    QString picture(const QString& name) const { return m_folder->dir.filePath(name); }
    std::unique_ptr<Folder> m_folder;
};

void CataloguePictureTest::init()
{
    m_folder = std::make_unique<Folder>();
    const auto make = [&](const QString& name, int w, int h) {
        QImage image(w, h, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        QVERIFY(image.save(picture(name)));
    };
    make(QStringLiteral("alta.png"), 120, 400);
    make(QStringLiteral("larga.png"), 500, 90);
    make(QStringLiteral("pequena.bmp"), 40, 30);
}

void CataloguePictureTest::chooseStoresAtOnce_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QSize>("natural");
    QTest::addColumn<bool>("shrunk");
    QTest::newRow("much taller than the frame") << "alta.png" << QSize(120, 400) << true;
    QTest::newRow("much wider than the frame") << "larga.png" << QSize(500, 90) << true;
    QTest::newRow("smaller than the frame") << "pequena.bmp" << QSize(40, 30) << false;
}

void CataloguePictureTest::chooseStoresAtOnce()
{
    QFETCH(QString, file);
    QFETCH(QSize, natural);
    QFETCH(bool, shrunk);
    Frmobjetos* f = m_folder->openCatalogueOn();
    f->mnuproximo->trigger();  // C3
    f->lblpanel->setText(QStringLiteral("Inserir Imagem"));
    m_folder->services.fileNameAnswers.enqueue(picture(file));

    QTest::mouseClick(f->ctbImagem, Qt::LeftButton);

    QCOMPARE(m_folder->services.fileDialogs.size(), 1);
    const QString filter = m_folder->services.fileDialogs[0].filter;
    QVERIFY(filter.startsWith(kKinds));
    // "Todos os Formatos" hides no picture the program shows.
    const QStringList all = filter.mid(kKinds.size()).split(u';');
    for (const QByteArray& format : QImageReader::supportedImageFormats() + QList<QByteArray>{"jpeg", "png", "tif", "tiff", "webp"})
        QVERIFY2(all.contains(QStringLiteral("*.") + QString::fromLatin1(format)), format);
    QCOMPARE(f->lblpanel->text(), QString());
    // Stored without "Salvar", and the window still browsing.
    QCOMPARE(m_folder->stored(QStringLiteral("path")), (QStringList{"", picture(file), "", ""}));
    QCOMPARE(f->Data1->recordset()->editMode(), EditMode::None);
    QVERIFY(f->cmdNovo->isEnabled());
    QVERIFY(!f->cmdSalvar->isEnabled());
    QVERIFY(f->ctbApagImagem->isEnabled());
    QVERIFY(m_folder->services.messageBoxes.isEmpty());

    QTRY_VERIFY(pictureShown(f));
    QCOMPARE(f->Image1->geometry(), expectedPlace(f, natural));
    QCOMPARE(f->Image1->width() < natural.width(), shrunk);
    if (!shrunk)
        QCOMPARE(f->Image1->size(), natural);
    QVERIFY(f->Picture1->rect().contains(f->Image1->geometry()));
}

void CataloguePictureTest::cancelledChooserChangesNothing()
{
    Frmobjetos* f = m_folder->openCatalogueOn();
    QTest::mouseClick(f->ctbImagem, Qt::LeftButton);  // no answer queued: cancelled
    QCOMPARE(m_folder->services.fileDialogs.size(), 1);
    QCOMPARE(f->Data1->recordset()->editMode(), EditMode::None);
    QCOMPARE(m_folder->stored(QStringLiteral("path")), (QStringList{"", "", "", ""}));
    QVERIFY(!pictureShown(f));
}

void CataloguePictureTest::eachObjectItsOwnPicture_data()
{
    QTest::addColumn<QStringList>("route");  // objects visited before the last
    QTest::addColumn<QString>("last");
    QTest::addColumn<QSize>("natural");      // empty: no picture
    QTest::newRow("tall then wide") << QStringList{"A1"} << "C3" << QSize(500, 90);
    QTest::newRow("wide then tall") << QStringList{"C3"} << "A1" << QSize(120, 400);
    QTest::newRow("tall then small") << QStringList{"A1", "C3", "B2"} << "D4" << QSize(40, 30);
    QTest::newRow("wide then none") << QStringList{"A1", "C3"} << "B2" << QSize();
    QTest::newRow("missing file") << QStringList{"A1"} << "E5" << QSize();
}

void CataloguePictureTest::eachObjectItsOwnPicture()
{
    QFETCH(QStringList, route);
    QFETCH(QString, last);
    QFETCH(QSize, natural);
    QList<Object> objects = standardObjects();
    objects[0].path = picture(QStringLiteral("alta.png"));
    objects[1].path = picture(QStringLiteral("larga.png"));
    objects[3].path = picture(QStringLiteral("pequena.bmp"));
    objects.append({"E5", "Livro", "Sumido", "", "", "", picture(QStringLiteral("apagada.png"))});
    Frmobjetos* f = m_folder->openCatalogueOn(objects);
    const QStringList order{"A1", "C3", "B2", "D4", "E5"};
    for (const QString& code : route + QStringList{last})
        f->Data1->recordset()->setAbsolutePosition(order.indexOf(code));
    QCOMPARE(f->Txtcod->text(), last);
    QVERIFY(picturesSettled());

    if (natural.isValid()) {
        QVERIFY(pictureShown(f));
        QCOMPARE(f->Image1->geometry(), expectedPlace(f, natural));
        QVERIFY(f->ctbApagImagem->isEnabled());
    } else {
        QVERIFY(!pictureShown(f));
        // A stored name whose file is gone can still be removed.
        QCOMPARE(f->ctbApagImagem->isEnabled(), !f->txtPath->text().isEmpty());
    }
    QVERIFY(m_folder->services.messageBoxes.isEmpty());
}

void CataloguePictureTest::removeForgetsTheName()
{
    QList<Object> objects = standardObjects();
    objects[0].path = picture(QStringLiteral("alta.png"));
    Frmobjetos* f = m_folder->openCatalogueOn(objects);
    QTRY_VERIFY(pictureShown(f));
    QVERIFY(f->ctbApagImagem->isEnabled());
    f->lblpanel->setText(QStringLiteral("Excluir Imagem"));

    QTest::mouseClick(f->ctbApagImagem, Qt::LeftButton);

    QCOMPARE(f->lblpanel->text(), QString());
    QCOMPARE(m_folder->stored(QStringLiteral("path")), (QStringList{"", "", "", ""}));
    QVERIFY(!pictureShown(f));
    QVERIFY(!f->ctbApagImagem->isEnabled());
    QCOMPARE(f->Data1->recordset()->editMode(), EditMode::None);
    QVERIFY(QFile::exists(picture(QStringLiteral("alta.png"))));  // the file itself stays
    // Away and back: still no picture.
    f->mnuproximo->trigger();
    f->mnuanterior->trigger();
    QCOMPARE(f->Txtcod->text(), QStringLiteral("A1"));
    QVERIFY(picturesSettled());
    QVERIFY(!pictureShown(f));
    QVERIFY(m_folder->services.messageBoxes.isEmpty());
}

void CataloguePictureTest::unstorableNameLeavesNothingPending()
{
    QList<Object> objects = standardObjects();
    objects[0].path = picture(QStringLiteral("alta.png"));
    Frmobjetos* f = m_folder->openCatalogueOn(objects);
    // Longer than the field holds: the store is refused.
    m_folder->services.fileNameAnswers.enqueue(QStringLiteral("/fotos/") + QString(300, QLatin1Char('x')) + ".png");

    QTest::mouseClick(f->ctbImagem, Qt::LeftButton);

    QCOMPARE(m_folder->services.messageBoxes.size(), 1);  // the engine's refusal is shown
    QCOMPARE(f->Data1->recordset()->editMode(), EditMode::None);
    QCOMPARE(f->txtPath->text(), picture(QStringLiteral("alta.png")));
    QTRY_VERIFY(pictureShown(f));
    // Nothing is written later by moving on.
    f->mnuproximo->trigger();
    f->mnuanterior->trigger();
    QCOMPARE(m_folder->services.messageBoxes.size(), 1);
    QCOMPARE(m_folder->stored(QStringLiteral("path")).first(), picture(QStringLiteral("alta.png")));
}

void CataloguePictureTest::commandsWithoutAnObject()
{
    Frmobjetos* f = m_folder->openCatalogueOn({});
    // Removing never reports an error.
    f->ctbApagImagem_Click();
    QVERIFY(m_folder->services.messageBoxes.isEmpty());
    // Choosing has no handling of its own: the engine's error is shown.
    m_folder->services.fileNameAnswers.enqueue(picture(QStringLiteral("alta.png")));
    f->ctbImagem->setEnabled(true);
    QTest::mouseClick(f->ctbImagem, Qt::LeftButton);
    QCOMPARE(m_folder->services.messageBoxes.size(), 1);
    QCOMPARE(f->Data1->recordset()->editMode(), EditMode::None);
}

void CataloguePictureTest::largeAndTurnedPictures_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QSize>("natural");  // as shown: turned as the file says
    // Under an allocation limit of 1 MB these stand for photos of 48 MP and
    // more under Qt's usual limit of 128 MB.
    QTest::newRow("JPEG over the allocation limit") << "grande.jpg" << QSize(1000, 700);
    QTest::newRow("PNG over the allocation limit") << "grande.png" << QSize(1000, 700);
    QTest::newRow("BMP over the allocation limit") << "grande.bmp" << QSize(1000, 700);
    QTest::newRow("JPEG of a turned camera") << "virada.jpg" << QSize(100, 300);
}

void CataloguePictureTest::largeAndTurnedPictures()
{
    QFETCH(QString, file);
    QFETCH(QSize, natural);
    if (file.startsWith(QLatin1String("virada")))
        writeTurnedJpeg(picture(file), natural.transposed());
    else
        writePicture(picture(file), natural, Qt::darkRed);
    const int limit = QImageReader::allocationLimit();
    QImageReader::setAllocationLimit(1);
    const auto restore = qScopeGuard([limit] { QImageReader::setAllocationLimit(limit); });
    QList<Object> objects = standardObjects();
    objects[0].path = picture(file);
    m_folder->create(objects);

    Frmobjetos* f = m_folder->openCatalogue();

    QTRY_VERIFY(pictureShown(f));
    QCOMPARE(f->Image1->geometry(), expectedPlace(f, natural));
    // Read at the size it is shown at, not whole.
    QVERIFY(f->Image1->pixmap().width() <= qCeil(f->Image1->width() * f->devicePixelRatioF()) + 1);
    QCOMPARE(QImageReader::allocationLimit(), 1);
}

void CataloguePictureTest::neverWaitsOnAPicture_data()
{
    QTest::addColumn<bool>("movedOn");  // to C3 before the picture arrives
    QTest::newRow("arrives while its object is shown") << false;
    QTest::newRow("arrives after moving on") << true;
}

void CataloguePictureTest::neverWaitsOnAPicture()
{
    QFETCH(bool, movedOn);
    // A named pipe stands for a file that is slow to arrive (a stalled
    // network share): nothing can be read from it until someone writes.
    const QString pipe = picture(QStringLiteral("lenta.png"));
    QVERIFY(::mkfifo(QFile::encodeName(pipe).constData(), 0600) == 0);
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        QImage image(60, 40, QImage::Format_RGB32);
        image.fill(Qt::darkMagenta);
        QVERIFY(image.save(&buffer, "PNG"));
    }
    QList<Object> objects = standardObjects();
    objects[0].path = pipe;
    objects[1].path = picture(QStringLiteral("larga.png"));
    m_folder->create(objects);

    // The writer waits for the test to let it write, or gives up waiting
    // after a while (a window that waits on the pipe never lets it) and
    // writes anyway; then it hands the picture to every reader that opens
    // the pipe until the test ends, so that nothing hangs.
    std::atomic<bool> go = false;
    std::atomic<bool> gaveUp = false;
    std::atomic<bool> done = false;
    ::signal(SIGPIPE, SIG_IGN);  // a reader that stops early is no crash
    std::thread writer([&] {
        for (int waited = 0; !go && waited < 5000; waited += 10)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        gaveUp = !go;
        while (!done) {
            const int fd = ::open(QFile::encodeName(pipe).constData(), O_WRONLY | O_NONBLOCK);
            if (fd < 0) {  // nobody reading yet
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                continue;
            }
            ::fcntl(fd, F_SETFL, 0);
            [[maybe_unused]] const auto written = ::write(fd, png.constData(), png.size());
            ::close(fd);
        }
    });
    const auto join = qScopeGuard([&] {
        go = true;
        done = true;
        writer.join();
    });

    Frmobjetos* f = m_folder->openCatalogue();
    QCOMPARE(f->Txtcod->text(), QStringLiteral("A1"));
    QVERIFY(!pictureShown(f));
    if (movedOn) {
        f->mnuproximo->trigger();
        QTRY_VERIFY(pictureShown(f));
    }
    go = true;
    QVERIFY(picturesSettled());
    QVERIFY2(!gaveUp, "the window waited for the picture");
    QVERIFY(pictureShown(f));
    QCOMPARE(f->Image1->geometry(), expectedPlace(f, movedOn ? QSize(500, 90) : QSize(60, 40)));
}

QTEST_MAIN(CataloguePictureTest)
#include "picture_test.moc"
