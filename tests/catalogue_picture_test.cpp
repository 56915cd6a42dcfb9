// The object's picture: choosing one stores its full name at once and shows
// it shrunk to fit and centred; moving shows each object's own picture at its
// own natural size; removing forgets the name; a name that cannot be stored
// leaves nothing pending.
#include "catalogue_browse_testutil.h"

#include "platform/picturebutton.h"
#include "platform/twips.h"

#include <QAction>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QLineEdit>

using namespace cattest;
using ondrel::catalogue::fitImage;
using ondrel::db::EditMode;

namespace {

const QString kFilter = QStringLiteral(
    "Bitmaps (*.bmp)|*.bmp|JPEG (*.jpg)|*.jpg|GIF (*.gif)|*.gif|Icones (*.ico)|*.ico|Todos os Formatos|*.bmp;*.jpg;*.gif;*.ico");

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
    m_folder->create();
    Frmobjetos* f = m_folder->openCatalogue();
    f->mnuproximo->trigger();  // C3
    f->lblpanel->setText(QStringLiteral("Inserir Imagem"));
    m_folder->services.fileNameAnswers.enqueue(picture(file));

    QTest::mouseClick(f->ctbImagem, Qt::LeftButton);

    QCOMPARE(m_folder->services.fileDialogs.size(), 1);
    QCOMPARE(m_folder->services.fileDialogs[0].filter, kFilter);
    QCOMPARE(f->lblpanel->text(), QString());
    // Stored without "Salvar", and the window still browsing.
    QCOMPARE(m_folder->stored(QStringLiteral("path")), (QStringList{"", picture(file), "", ""}));
    QCOMPARE(f->Data1->recordset()->editMode(), EditMode::None);
    QVERIFY(f->cmdNovo->isEnabled());
    QVERIFY(!f->cmdSalvar->isEnabled());
    QVERIFY(f->ctbApagImagem->isEnabled());
    QVERIFY(m_folder->services.messageBoxes.isEmpty());

    QVERIFY(pictureShown(f));
    QCOMPARE(f->Image1->geometry(), expectedPlace(f, natural));
    QCOMPARE(f->Image1->width() < natural.width(), shrunk);
    if (!shrunk)
        QCOMPARE(f->Image1->size(), natural);
    QVERIFY(f->Picture1->rect().contains(f->Image1->geometry()));
}

void CataloguePictureTest::cancelledChooserChangesNothing()
{
    m_folder->create();
    Frmobjetos* f = m_folder->openCatalogue();
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
    m_folder->create(objects);
    Frmobjetos* f = m_folder->openCatalogue();
    const QStringList order{"A1", "C3", "B2", "D4", "E5"};
    for (const QString& code : route + QStringList{last})
        f->Data1->recordset()->setAbsolutePosition(order.indexOf(code));
    QCOMPARE(f->Txtcod->text(), last);

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
    m_folder->create(objects);
    Frmobjetos* f = m_folder->openCatalogue();
    QVERIFY(pictureShown(f));
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
    QVERIFY(!pictureShown(f));
    QVERIFY(m_folder->services.messageBoxes.isEmpty());
}

void CataloguePictureTest::unstorableNameLeavesNothingPending()
{
    QList<Object> objects = standardObjects();
    objects[0].path = picture(QStringLiteral("alta.png"));
    m_folder->create(objects);
    Frmobjetos* f = m_folder->openCatalogue();
    // Longer than the field holds: the store is refused.
    m_folder->services.fileNameAnswers.enqueue(QStringLiteral("/fotos/") + QString(300, QLatin1Char('x')) + ".png");

    QTest::mouseClick(f->ctbImagem, Qt::LeftButton);

    QCOMPARE(m_folder->services.messageBoxes.size(), 1);  // the engine's refusal is shown
    QCOMPARE(f->Data1->recordset()->editMode(), EditMode::None);
    QCOMPARE(f->txtPath->text(), picture(QStringLiteral("alta.png")));
    QVERIFY(pictureShown(f));
    // Nothing is written later by moving on.
    f->mnuproximo->trigger();
    f->mnuanterior->trigger();
    QCOMPARE(m_folder->services.messageBoxes.size(), 1);
    QCOMPARE(m_folder->stored(QStringLiteral("path")).first(), picture(QStringLiteral("alta.png")));
}

void CataloguePictureTest::commandsWithoutAnObject()
{
    m_folder->create({});
    Frmobjetos* f = m_folder->openCatalogue();
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

QTEST_MAIN(CataloguePictureTest)
#include "catalogue_picture_test.moc"
