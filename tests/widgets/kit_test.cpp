// The window components: twips, the currency entry, the proportional
// resizer, the toolbar buttons and the pictures.
#include "assets/assets.h"
#include "forms/recordtoolbar.h"
#include "widgets/maskedbox.h"
#include "widgets/picturebutton.h"
#include "widgets/resizer.h"
#include "widgets/twips.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>
#include <optional>

using namespace ondrel::platform;

class PlatformWidgetsTest : public QObject {
    Q_OBJECT
private slots:
    // Amounts are written with the regional separators of our users.
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil)); }
    void twipConversion_data();
    void twipConversion();
    void packedEdgesStayPacked();
    void recordToolbarRounding_data();
    void recordToolbarRounding();

    void parseAmount_data();
    void parseAmount();
    void normaliseAndFormat();

    void resizerKeepsProportionsWithoutDrift();
    void resizerOffOrNotSetUpLeavesControls();

    void hoverSignalsAndAccessibleName();
    void picturesAreOurs();
};

void PlatformWidgetsTest::twipConversion_data()
{
    QTest::addColumn<int>("twips");
    QTest::addColumn<double>("dpi");
    QTest::addColumn<int>("pixels");
    QTest::newRow("client width at 96 dpi") << 8700 << 96.0 << 580;
    QTest::newRow("client height at 96 dpi") << 6555 << 96.0 << 437;
    QTest::newRow("one pixel") << 15 << 96.0 << 1;
    QTest::newRow("144 dpi scales by 1.5") << 1500 << 144.0 << 150;
    QTest::newRow("192 dpi doubles") << 1440 << 192.0 << 192;
    QTest::newRow("negative (outside the window)") << -1500 << 96.0 << -100;
}

void PlatformWidgetsTest::twipConversion()
{
    QFETCH(int, twips);
    QFETCH(double, dpi);
    QFETCH(int, pixels);
    QCOMPARE(twipsToPixels(twips, dpi), pixels);
    QCOMPARE(twipsToPixels(pixelsToTwips(pixels, dpi), dpi), pixels);
}

void PlatformWidgetsTest::packedEdgesStayPacked()
{
    // Buttons packed edge to edge in twips must not overlap or leave gaps
    // once converted, although 1000 twips is no whole number of pixels.
    const QRect a = twipsToPixels(QRect(60, 0, 1000, 500));
    const QRect b = twipsToPixels(QRect(1060, 0, 1000, 500));
    QCOMPARE(a.x() + a.width(), b.x());
}

void PlatformWidgetsTest::recordToolbarRounding_data()
{
    QTest::addColumn<int>("barHeight");
    QTest::addColumn<int>("singleHeight");
    QTest::addColumn<int>("doubleHeight");
    QTest::newRow("1104: 1000 either way") << 1104 << 1000 << 1000;
    QTest::newRow("bar of 780") << 780 << 707 << 707;
    // 69 / 1.104 is 62.5 exactly: each precision's 1.104 falls on another
    // side of it, and each window keeps the rounding it always had.
    QTest::newRow("half a twip: 69") << 69 << 63 << 62;
    QTest::newRow("half a twip: 207") << 207 << 188 << 187;
}

void PlatformWidgetsTest::recordToolbarRounding()
{
    QFETCH(int, barHeight);
    QFETCH(int, singleHeight);
    QFETCH(int, doubleHeight);
    QCOMPARE(recordButtonHeight(barHeight, Precision::Single), singleHeight);
    QCOMPARE(recordButtonHeight(barHeight, Precision::Double), doubleHeight);
    // The logo takes the same side; a seventh of 420 is 60 in both.
    const int widths[] = {900, 1000};
    for (const Precision p : {Precision::Single, Precision::Double}) {
        const RecordToolbarGeometry g = computeRecordToolbar(8700, barHeight, 60, widths, 8700, 420, 615, p);
        QCOMPARE(g.logoSide, g.buttonHeight);
        QCOMPARE(g.logoLeft, 8700 - barHeight);
        QCOMPARE(g.buttonLefts, (std::vector<int>{60, 960}));
        QCOMPARE(g.closeButtonLeft, 8700 - 615 - 60);
    }
}

void PlatformWidgetsTest::parseAmount_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<qlonglong>("hundredths");
    QTest::newRow("comma decimal") << "12,50" << true << 1250LL;
    QTest::newRow("one decimal") << "12,5" << true << 1250LL;
    QTest::newRow("grouped") << "1.234,50" << true << 123450LL;
    QTest::newRow("grouped millions") << "1.234.567,89" << true << 123456789LL;
    QTest::newRow("dot is no decimal mark") << "12.5" << false << 0LL;
    QTest::newRow("dot groups thousands") << "1.234" << true << 123400LL;
    QTest::newRow("whole") << "7" << true << 700LL;
    QTest::newRow("currency sign") << "R$ 12,50" << true << 1250LL;
    QTest::newRow("dollar sign") << "$3,00" << true << 300LL;
    QTest::newRow("brackets are negative") << "(3,00)" << true << -300LL;
    QTest::newRow("minus") << "-0,25" << true << -25LL;
    QTest::newRow("cents only") << ",75" << true << 75LL;
    QTest::newRow("empty") << "" << false << 0LL;
    QTest::newRow("three decimals") << "1,234" << false << 0LL;
    QTest::newRow("bad grouping") << "12.34,00" << false << 0LL;
    QTest::newRow("two commas") << "1,2,3" << false << 0LL;
    QTest::newRow("letters") << "abc" << false << 0LL;
    QTest::newRow("huge") << "9999999999999999999" << false << 0LL;
}

void PlatformWidgetsTest::parseAmount()
{
    QFETCH(QString, typed);
    QFETCH(bool, valid);
    QFETCH(qlonglong, hundredths);
    const std::optional<qint64> amount = MaskEdBox::parseAmount(typed);
    QCOMPARE(amount.has_value(), valid);
    if (valid)
        QCOMPARE(*amount, hundredths);
}

void PlatformWidgetsTest::normaliseAndFormat()
{
    MaskEdBox box;
    QCOMPARE(box.format(), QStringLiteral("$#,##0.00;($#,##0.00)"));
    QCOMPARE(box.promptChar(), QLatin1Char('_'));

    box.setText(QStringLiteral("1234,5"));
    box.normalise();
    QCOMPARE(box.text(), QStringLiteral("1.234,50"));
    // The normalised text reads back as the same amount.
    QCOMPARE(*MaskEdBox::parseAmount(box.text()), 123450);
    QCOMPARE(box.formattedText(), QStringLiteral("$1.234,50"));
    box.setText(QStringLiteral("-12"));
    QCOMPARE(box.formattedText(), QStringLiteral("($12,00)"));

    // A text that is no amount is left for the record source to refuse.
    box.setText(QStringLiteral("1,234"));
    box.normalise();
    QCOMPARE(box.text(), QStringLiteral("1,234"));

    // Typing goes through the validator: letters never reach the box.
    box.clear();
    QTest::keyClicks(&box, QStringLiteral("1a2,5x0"));
    QCOMPARE(box.text(), QStringLiteral("12,50"));
}

void PlatformWidgetsTest::resizerKeepsProportionsWithoutDrift()
{
    QWidget container;
    container.resize(400, 200);
    auto* child = new QWidget(&container);
    child->setGeometry(100, 50, 100, 20);
    auto* fixed = new QWidget(&container);
    fixed->setGeometry(0, 0, 400, 10);

    Resizer resizer;
    resizer.setEnabled(true);
    resizer.addContainer(&container);
    resizer.exclude(fixed);
    resizer.InitResize();
    resizer.SaveInitialPositions();
    container.show();

    container.resize(800, 400);
    QCOMPARE(child->geometry(), QRect(200, 100, 200, 40));
    QCOMPARE(fixed->geometry(), QRect(0, 0, 400, 10));

    // Many odd sizes, then back: no rounding drift.
    for (int w = 401; w < 700; w += 37)
        container.resize(w, w / 3);
    container.resize(400, 200);
    QCOMPARE(child->geometry(), QRect(100, 50, 100, 20));
}

void PlatformWidgetsTest::resizerOffOrNotSetUpLeavesControls()
{
    QWidget container;
    container.resize(400, 200);
    auto* child = new QWidget(&container);
    child->setGeometry(100, 50, 100, 20);
    Resizer resizer;
    resizer.addContainer(&container);
    container.show();
    container.resize(800, 400);  // not set up yet
    QCOMPARE(child->geometry(), QRect(100, 50, 100, 20));

    container.resize(400, 200);
    resizer.InitResize();
    resizer.SaveInitialPositions();
    resizer.setEnabled(false);
    container.resize(800, 400);  // switched off
    QCOMPARE(child->geometry(), QRect(100, 50, 100, 20));
    resizer.setEnabled(true);
    resizer.rescale();
    QCOMPARE(child->geometry(), QRect(200, 100, 200, 40));

    // A zero-size container does not collapse its controls.
    container.resize(0, 0);
    QCOMPARE(child->geometry(), QRect(200, 100, 200, 40));
}

void PlatformWidgetsTest::hoverSignalsAndAccessibleName()
{
    QWidget window;
    window.resize(200, 100);
    auto* button = new PictureButton(ondrel::assets::icon(QStringLiteral("ajuda")), QStringLiteral("Ajuda"), &window);
    button->setGeometry(10, 10, 24, 24);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QCOMPARE(button->toolTip(), QStringLiteral("Ajuda"));
    QCOMPARE(button->accessibleName(), QStringLiteral("Ajuda"));
    QCOMPARE(button->toolButtonStyle(), Qt::ToolButtonIconOnly);
    QVERIFY(button->text().isEmpty());

    QSignalSpy enter(button, &ToolbarButton::mouseEnter);
    QSignalSpy exit(button, &ToolbarButton::mouseExit);
    QEnterEvent in(QPointF(5, 5), QPointF(15, 15), QPointF(15, 15));
    QApplication::sendEvent(button, &in);
    QEvent out(QEvent::Leave);
    QApplication::sendEvent(button, &out);
    QCOMPARE(enter.count(), 1);
    QCOMPARE(exit.count(), 1);

    ToolbarButton captioned(QStringLiteral("Emprestar"));
    QCOMPARE(captioned.caption(), QStringLiteral("Emprestar"));
    captioned.setCaption(QStringLiteral("Emprestar !?"));
    QCOMPARE(captioned.text(), QStringLiteral("Emprestar !?"));
}

void PlatformWidgetsTest::picturesAreOurs()
{
    // Every picture the windows name exists in our own set, so a desktop
    // without an icon theme still shows them.
    const QStringList needed = {"novo", "salvar", "editar", "excluir", "cancelar", "emprestar", "home",
                                "ajuda", "imprimir", "pesquisa", "fecharpesquisa", "emprestimos", "fechar",
                                "anterior", "proximo", "imagem", "apagarimagem", "lampada_cinza",
                                "lampada_vermelha", "lampada_verde", "emprestado", "disponivel", "logo", "mao"};
    const QStringList carried = ondrel::assets::pictureNames();
    for (const QString& name : needed) {
        QVERIFY2(carried.contains(name), qPrintable(name));
        QVERIFY2(!ondrel::assets::pixmap(name).isNull(), qPrintable(name));
        QVERIFY2(!ondrel::assets::icon(name).isNull(), qPrintable(name));
    }
    QCOMPARE(ondrel::assets::handCursor().pixmap().size(), QSize(32, 32));
}

QTEST_MAIN(PlatformWidgetsTest)
#include "kit_test.moc"
