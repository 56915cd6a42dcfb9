// The catalogue window's toolbars as shown, its twip arithmetic and the
// layout facts other code and users rely on.
#include "catalogue/Frmobjetos.h"
#include "catalogue_hover_testdata.h"
#include "folder_testutil.h"
#include "platform/testservices.h"
#include "widget_testutil.h"
#include "widgets/maskedbox.h"
#include "widgets/picturebutton.h"
#include "widgets/toolbarbar.h"
#include "widgets/twips.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTest>

using namespace ondrel::catalogue;
using testutil::above;

// What a person would see wrong in the catalogue window's two toolbars; empty when nothing.
static QString toolbarFault(Frmobjetos* f)
{
    return testutil::toolbarFault(f->ctbBar,
                                  {f->cmdNovo, f->cmdSalvar, f->cmdEditar, f->cmdExcluir, f->cmdCancelar, f->cmdEmprestar},
                                  f->Image2, f->ctbBar2, f->ClarkTBButton2[1]);
}

class CatalogueLayoutTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void controles_data();
    void controles();
    void fitImage_data();
    void fitImage();

    void kindsInOrder();
    void menus_data();
    void menus();
    void menuShortcutsAndStates();
    void captionsAndBuddies_data();
    void captionsAndBuddies();
    void lengthLimitsAndPositions_data();
    void lengthLimitsAndPositions();
    void initialCommandStates();
    void hoverTextsOfPictureButtons_data();
    void hoverTextsOfPictureButtons();
    void hiddenBoxesOutsideTheWindow();
    void stackedControls();
    void windowLayoutFollowsControles();

private:
    Frmobjetos* form();
    std::unique_ptr<testutil::PluginFolder> m_folder;  // no database here
};

void CatalogueLayoutTest::init()
{
    m_folder = std::make_unique<testutil::PluginFolder>();
}

void CatalogueLayoutTest::cleanup()
{
    m_folder.reset();
    QVERIFY(!Frmobjetos::existing());
}

Frmobjetos* CatalogueLayoutTest::form()
{
    return Frmobjetos::instance();
}

void CatalogueLayoutTest::controles_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("as it opens") << QSize();
    QTest::newRow("wider and taller") << QSize(1100, 760);
    QTest::newRow("narrower") << QSize(720, 520);
}

void CatalogueLayoutTest::controles()
{
    QFETCH(QSize, size);
    Frmobjetos* f = form();
    f->Show();
    QVERIFY(QTest::qWaitForWindowExposed(f));
    if (size.isValid())
        f->resize(size);
    QTest::qWait(10);
    const QString fault = toolbarFault(f);
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
    // The tab control between the two bars.
    QVERIFY(qAbs(f->SSTab1->y() - f->ctbBar->height()) <= 1);
    QVERIFY(qAbs(f->SSTab1->y() + f->SSTab1->height() - f->ctbBar2->y()) <= 1);
}

void CatalogueLayoutTest::fitImage_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QSize>("frame");
    QTest::addColumn<QRect>("placed");
    // 3000 -> 2500 -> 2083 high, the width by the same steps, centred.
    QTest::newRow("too high") << QSize(1800, 3000) << QSize(2085, 2280)
                              << QRect(qRound((2085 - 1250) / 2.0), qRound((2280 - 2083) / 2.0), 1250, 2083);
    QTest::newRow("too wide") << QSize(4000, 1000) << QSize(2085, 2280)
                              << QRect(qRound((2085 - 1929) / 2.0), qRound((2280 - 482) / 2.0), 1929, 482);
    QTest::newRow("fits: natural size, centred") << QSize(1000, 600) << QSize(2085, 2280)
                                                 << QRect(543, 840, 1000, 600);
    QTest::newRow("exact fit") << QSize(2085, 2280) << QSize(2085, 2280) << QRect(0, 0, 2085, 2280);
    QTest::newRow("empty picture") << QSize(0, 0) << QSize(2085, 2280) << QRect(1043, 1140, 0, 0);
}

void CatalogueLayoutTest::fitImage()
{
    QFETCH(QSize, picture);
    QFETCH(QSize, frame);
    QFETCH(QRect, placed);
    const ImageFit fit = ondrel::catalogue::fitImage(picture.width(), picture.height(), frame.width(), frame.height());
    QCOMPARE(QRect(fit.left, fit.top, fit.width, fit.height), placed);
}


void CatalogueLayoutTest::kindsInOrder()
{
    const QStringList expected = {"Livro", "Revista", "Documento", "Manuscrito", "DVD", "Disco (Vinil)",
                                  "Disco (CD)", "Fita Áudio", "Fita Vídeo", "Disquete", "CD-Rom", "Game",
                                  "Ferramenta", "Instrumento", "Decoração", "Móveis&Utens.", "Veículo",
                                  "Imóvel", "Outros"};
    QComboBox* combo = form()->Cmbobjeto;
    QStringList shown;
    for (int i = 0; i < combo->count(); ++i)
        shown << combo->itemText(i);
    QCOMPARE(shown, expected);
}

void CatalogueLayoutTest::menus_data()
{
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QStringList>("items");
    QTest::newRow("Arquivo") << "mnuarquivo" << "&Arquivo"
                             << QStringList{"mnunovo:&Novo", "mnusalvar:&Salvar", "mnueditar:&Editar",
                                            "mnuexcluir:E&xcluir", "mnucancelar:&Cancelar", "mnusepara:-",
                                            "mnuprint:Im&primir Listagem", "mnuseplist:-", "mnusair:Sai&r"};
    QTest::newRow("Ir") << "mnuir" << "&Ir" << QStringList{"mnuanterior:&Anterior", "mnuproximo:&Próximo"};
    QTest::newRow("Procura") << "mnuprocura" << "&Procura"
                             << QStringList{"mnuprocurar:&Procurar...", "mnuproc:-", "mnupesquisar:Pes&quisar...",
                                            "mnufecharpesquisa:&Fechar Pesquisa"};
    QTest::newRow("Ordenar") << "mnuordenar" << "&Ordenar"
                             << QStringList{"mnuordcod:Código", "mnuordtitulo:Título", "mnuordautor:Autor(a)",
                                            "mnuordassunto:Assunto"};
    QTest::newRow("Ajuda") << "mnuaj" << "A&juda" << QStringList{"mnuajuda:&Ajuda", "mnusepar:-", "mnusobre:&Sobre"};
}

void CatalogueLayoutTest::menus()
{
    QFETCH(QString, menu);
    QFETCH(QString, caption);
    QFETCH(QStringList, items);
    auto* m = form()->menuBar()->findChild<QMenu*>(menu);
    QVERIFY(m);
    QCOMPARE(m->title(), caption);
    QStringList shown;
    for (QAction* a : m->actions())
        shown << a->objectName() + QLatin1Char(':') + (a->isSeparator() ? QStringLiteral("-") : a->text());
    QCOMPARE(shown, items);
}

void CatalogueLayoutTest::menuShortcutsAndStates()
{
    Frmobjetos* f = form();
    // The five menus in order in the menu bar.
    QStringList order;
    for (QAction* a : f->menuBar()->actions())
        order << a->text();
    QCOMPARE(order, (QStringList{"&Arquivo", "&Ir", "&Procura", "&Ordenar", "A&juda"}));
    QCOMPARE(f->mnuanterior->shortcut(), QKeySequence(QStringLiteral("Ctrl+A")));
    QCOMPARE(f->mnuproximo->shortcut(), QKeySequence(QStringLiteral("Ctrl+P")));
    QVERIFY(!f->mnufecharpesquisa->isEnabled());
    QVERIFY(f->mnuordcod->isChecked());
    QVERIFY(!f->mnuordtitulo->isChecked() && !f->mnuordautor->isChecked() && !f->mnuordassunto->isChecked());
    // Every item of "&Arquivo" is enabled at start, "&Salvar" and "&Cancelar" too.
    for (QAction* a : f->mnuarquivo->actions())
        QVERIFY2(a->isEnabled(), qPrintable(a->objectName()));
}

void CatalogueLayoutTest::captionsAndBuddies_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("buddy");
    QTest::newRow("code") << "Label2" << "Código:" << "Txtcod";
    QTest::newRow("date") << "Lbldata" << "Data:" << "mskdata";
    QTest::newRow("kind") << "Label3" << "Objeto:" << "Cmbobjeto";
    QTest::newRow("value") << "Lblvalor" << "Valor:" << "Text1";
    QTest::newRow("title") << "Lbltitulo" << "Título:" << "txttítulo";
    QTest::newRow("author") << "Lblautor" << "Autor(a):" << "Txtautor";
    QTest::newRow("subject") << "Lblassunto" << "Assunto:" << "Txtassunto";
    QTest::newRow("description") << "Lbldesc" << "Descrição:" << "Txtdesc";
    QTest::newRow("total") << "Label4" << "Valor Total:" << "";
}

void CatalogueLayoutTest::captionsAndBuddies()
{
    QFETCH(QString, label);
    QFETCH(QString, text);
    QFETCH(QString, buddy);
    auto* l = form()->findChild<QLabel*>(label);
    QVERIFY(l);
    QCOMPARE(l->text(), text);
    if (!buddy.isEmpty()) {
        QVERIFY(l->buddy());
        QCOMPARE(l->buddy()->objectName(), buddy);
    }
}

void CatalogueLayoutTest::lengthLimitsAndPositions_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("maxLength");
    QTest::addColumn<QRect>("twips");  // left, top (from SSTab1's top), width; height unchecked
    QTest::newRow("Txtcod") << "Txtcod" << 7 << QRect(1140, 660, 960, 0);
    QTest::newRow("mskdata") << "mskdata" << 32767 << QRect(4095, 660, 1425, 0);
    QTest::newRow("Text1") << "Text1" << 32767 << QRect(4095, 1170, 1440, 0);
    QTest::newRow("MaskEdBox1") << "MaskEdBox1" << 32767 << QRect(4095, 1170, 1440, 0);
    QTest::newRow("txttítulo") << "txttítulo" << 100 << QRect(1140, 1680, 4968, 0);
    QTest::newRow("Txtautor") << "Txtautor" << 70 << QRect(1140, 2190, 4968, 0);
    QTest::newRow("Txtassunto") << "Txtassunto" << 25 << QRect(1140, 2685, 4968, 0);
    QTest::newRow("Txtdesc") << "Txtdesc" << 255 << QRect(1170, 3255, 7230, 0);
}

void CatalogueLayoutTest::lengthLimitsAndPositions()
{
    QFETCH(QString, box);
    QFETCH(int, maxLength);
    QFETCH(QRect, twips);
    Frmobjetos* f = form();
    auto* edit = f->findChild<QWidget*>(box);
    QVERIFY(edit);
    const auto typed = [edit] {
        if (const auto* line = qobject_cast<QLineEdit*>(edit))
            return line->text();
        return qobject_cast<QPlainTextEdit*>(edit)->toPlainText();
    };
    QVERIFY(qobject_cast<QLineEdit*>(edit) || qobject_cast<QPlainTextEdit*>(edit));
    // The limit holds for typing: one character more than allowed is refused.
    if (maxLength < 32767) {
        QTest::keyClicks(edit, QString(maxLength + 1, QLatin1Char('A')));
        QCOMPARE(typed().size(), maxLength);
    }
    // Measured from the tab control, its tab strip included, once it has laid
    // out its pages on screen; one pixel of tolerance for rounding.
    f->Show();
    QVERIFY(QTest::qWaitForWindowExposed(f));
    const QPoint inTab = edit->mapTo(f->SSTab1, QPoint(0, 0));
    QVERIFY(qAbs(inTab.x() - ondrel::platform::twipsToPixels(twips.x())) <= 1);
    QVERIFY(qAbs(edit->width() - ondrel::platform::twipsToPixels(twips.width())) <= 1);
    QVERIFY(qAbs(inTab.y() - ondrel::platform::twipsToPixels(twips.y())) <= 1);
}

void CatalogueLayoutTest::initialCommandStates()
{
    Frmobjetos* f = form();
    QCOMPARE(f->windowTitle(), QStringLiteral("Objetos"));
    const QList<std::pair<ondrel::platform::ToolbarButton*, QString>> buttons = {
        {f->cmdNovo, "Novo"},     {f->cmdSalvar, "Salvar"},     {f->cmdEditar, "Editar"},
        {f->cmdExcluir, "Excluir"}, {f->cmdCancelar, "Cancelar"}, {f->cmdEmprestar, "Emprestar"}};
    for (const auto& [button, caption] : buttons)
        QCOMPARE(button->text(), caption);
    QVERIFY(f->cmdNovo->isEnabled());
    QVERIFY(!f->cmdSalvar->isEnabled());
    QVERIFY(f->cmdEditar->isEnabled());
    QVERIFY(f->cmdExcluir->isEnabled());
    QVERIFY(!f->cmdCancelar->isEnabled());
    QVERIFY(f->cmdEmprestar->isEnabled());
    QVERIFY(f->ctbImagem->isEnabled());
    QVERIFY(f->ctbApagImagem->isEnabled());
    QCOMPARE(f->ctbImagem->text(), QStringLiteral("Imagem"));
    QCOMPARE(f->SSTab1->count(), 2);
    QCOMPARE(f->SSTab1->tabText(0), QStringLiteral("Objeto"));
    QCOMPARE(f->SSTab1->tabText(1), QStringLiteral("Listagem"));
}

void CatalogueLayoutTest::hoverTextsOfPictureButtons_data()
{
    testutil::addCatalogueHoverRows();
}

void CatalogueLayoutTest::hoverTextsOfPictureButtons()
{
    QFETCH(QString, button);
    QFETCH(QString, text);
    auto* b = form()->findChild<ondrel::platform::ToolbarButton*>(button);
    QVERIFY(b);
    QCOMPARE(b->toolTip(), text);
    if (button != QLatin1String("ctbImagem"))  // a captioned button is named by its caption
        QCOMPARE(b->accessibleName(), text);
}

void CatalogueLayoutTest::hiddenBoxesOutsideTheWindow()
{
    Frmobjetos* f = form();
    f->Show();
    QVERIFY(QTest::qWaitForWindowExposed(f));
    const QRect client = f->centralWidget()->rect();
    for (QLineEdit* box : {f->Label1, f->Text3, f->txtPath, f->Text2}) {
        QVERIFY2(!client.intersects(box->geometry()), qPrintable(box->objectName()));
        QCOMPARE(box->focusPolicy(), Qt::NoFocus);
    }
    // Still outside after the window grew.
    f->resize(f->width() * 2, f->height() * 2);
    QTest::qWait(10);
    for (QLineEdit* box : {f->Label1, f->Text3, f->txtPath, f->Text2})
        QVERIFY2(!f->centralWidget()->rect().intersects(box->geometry()), qPrintable(box->objectName()));
}

void CatalogueLayoutTest::stackedControls()
{
    Frmobjetos* f = form();
    QCOMPARE(f->cmdSeleciona->geometry(), f->cmdFechar->geometry());
    QVERIFY(above(f->cmdSeleciona, f->cmdFechar));
    QCOMPARE(f->MaskEdBox1->geometry(), f->Text1->geometry());
    QVERIFY(above(f->Text1, f->MaskEdBox1));
    QCOMPARE(f->imgLight->geometry(), f->imgBorrow->geometry());
    QCOMPARE(f->imgLight2->geometry(), f->imgBorrow2->geometry());
}

void CatalogueLayoutTest::windowLayoutFollowsControles()
{
    Frmobjetos* f = form();
    f->Show();
    QVERIFY(QTest::qWaitForWindowExposed(f));
    f->resize(900, 600);
    QTest::qWait(10);
    using ondrel::platform::geometryInTwips;
    const QRect bar = geometryInTwips(f->ctbBar);
    const int side = ondrel::platform::recordButtonHeight(bar.height(), kToolbarPrecision);
    // Top buttons packed, as high as the bar allows (one pixel of rounding).
    const int pixel = ondrel::platform::pixelsToTwips(1);
    QWidget* previous = nullptr;
    for (QWidget* b : std::initializer_list<QWidget*>{f->cmdNovo, f->cmdSalvar, f->cmdEditar, f->cmdExcluir,
                                                      f->cmdCancelar, f->cmdEmprestar}) {
        QVERIFY(qAbs(geometryInTwips(b).height() - side) <= pixel);
        if (previous)
            QCOMPARE(b->x(), previous->x() + previous->width());
        previous = b;
    }
    // The logo flush right, the close button at the right end of ctbBar2, the
    // tab control between the bars.
    QVERIFY(qAbs(geometryInTwips(f->Image2).x() - (bar.width() - (bar.height() - side + side))) <= 2 * pixel);
    QCOMPARE(f->ctbBar->width(), f->centralWidget()->width());
    QVERIFY(f->ClarkTBButton2[1]->x() + f->ClarkTBButton2[1]->width() < f->ctbBar2->width());
    QVERIFY(f->ClarkTBButton2[1]->x() + f->ClarkTBButton2[1]->width() >= f->ctbBar2->width() - 6);
    QVERIFY(qAbs(f->SSTab1->y() - f->ctbBar->height()) <= 1);
    QVERIFY(qAbs(f->SSTab1->y() + f->SSTab1->height() - f->ctbBar2->y()) <= 1);
    QVERIFY(f->SSTab1->width() > f->ctbBar->width() * 9 / 10);

    // Minimised, the window lays nothing out; restored, its toolbar follows
    // the size it took meanwhile.
    f->showMinimized();
    if (!f->isMinimized())
        QSKIP("this platform does not minimise windows");
    f->resize(1100, 760);
    QTest::qWait(10);
    f->showNormal();
    QTRY_VERIFY(!f->isMinimized());
    const QString fault = toolbarFault(f);
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
}

QTEST_MAIN(CatalogueLayoutTest)
#include "layout_test.moc"
