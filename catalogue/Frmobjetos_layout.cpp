// The catalogue window's controls, their places in twips and its menus; the
// size it opens with, and what a resize or a restore from the minimised
// state lays out again.
#include "Frmobjetos.h"

#include "assets/assets.h"
#include "binding/datacontrol.h"
#include "binding/recordsetmodel.h"
#include "chrome/chrome.h"
#include "forms/formhelpers.h"
#include "forms/guard.h"
#include "forms/menubuilder.h"
#include "forms/recordtoolbar.h"
#include "forms/recordwindow.h"
#include "platform/windowfont.h"
#include "widgets/limitedtextedit.h"
#include "widgets/line3d.h"
#include "widgets/maskedbox.h"
#include "widgets/picturebutton.h"
#include "widgets/toolbarbar.h"
#include "widgets/toolbarseparator.h"
#include "widgets/twips.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QStyle>
#include <QStyleOptionTabWidgetFrame>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>

namespace ondrel::catalogue {

using platform::PictureButton;
using platform::ToolbarButton;
using platform::makeCaption;
using platform::makeLabel;
using platform::named;
using platform::placeInTwips;

using forms::kBar2Height;
using forms::kBarHeight;
using forms::kClientHeight;
using forms::kClientWidth;

namespace {

// The borrower labels are bold; their colour is set while the object is lent.
void boldFont(QLabel* label)
{
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
}

// Where a tab control's pages stand in it, as its style lays them out.
QRect pageRect(QTabWidget* tabs)
{
    QStyleOptionTabWidgetFrame option;
    option.initFrom(tabs);
    option.lineWidth = tabs->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, tabs);
    option.shape = tabs->tabBar()->shape();
    option.tabBarSize = tabs->tabBar()->sizeHint();
    return tabs->style()->subElementRect(QStyle::SE_TabWidgetTabContents, &option, tabs);
}

}  // namespace

int Frmobjetos::twipsToPixels(int twips) const
{
    return platform::twipsToPixels(twips, platform::logicalDpi(this));
}

int Frmobjetos::pixelsToTwips(int pixels) const
{
    return platform::pixelsToTwips(pixels, platform::logicalDpi(this));
}

void Frmobjetos::buildToolbars()
{
    QWidget* client = centralWidget();

    ctbBar = named(new platform::ToolbarBar(client), QStringLiteral("ctbBar"));
    const std::array<platform::RecordButton, 6> commands = {{
        {&cmdNovo, "cmdNovo", "Novo", "novo"},
        {&cmdSalvar, "cmdSalvar", "Salvar", "salvar"},
        {&cmdEditar, "cmdEditar", "Editar", "editar"},
        {&cmdExcluir, "cmdExcluir", "Excluir", "excluir"},
        {&cmdCancelar, "cmdCancelar", "Cancelar", "cancelar"},
        {&cmdEmprestar, "cmdEmprestar", "Emprestar", "emprestar"},
    }};
    const int buttonHeight = platform::buildRecordButtons(ctbBar, kBarHeight, commands, kToolbarPrecision);
    cmdSalvar->setEnabled(false);
    cmdCancelar->setEnabled(false);
    cmdEmprestar->setHoverText(QString());

    Image2 = platform::makeLogo();
    ctbBar->place(Image2, kClientWidth - kBarHeight, (kBarHeight - buttonHeight) / 2, buttonHeight, buttonHeight);

    ctbBar2 = named(new platform::ToolbarBar(client), QStringLiteral("ctbBar2"));
    cmdHome = chrome::makeHomeLink();
    ctbBar2->place(cmdHome, 165, 30, 915, 330);

    const auto picture = [&](const QString& name, const QString& art, const QString& hover, int left) {
        auto* button = named(new PictureButton(assets::icon(art), hover), name);
        ctbBar2->place(button, left, 30, 360, 360);
        return button;
    };
    ctbajuda = picture(QStringLiteral("ctbajuda"), QStringLiteral("ajuda"), QStringLiteral("Ajuda"), 1140);
    ClarkTBSeparator1 = named(new platform::ToolbarSeparator, QStringLiteral("ClarkTBSeparator1"));
    ctbBar2->place(ClarkTBSeparator1, 1560, 30, 60, 360);
    cmdPrint = picture(QStringLiteral("cmdPrint"), QStringLiteral("imprimir"), QStringLiteral("Imprime Listagem"), 1680);
    // The search and close-search buttons share one place; cmdSeleciona is in
    // front, so it is created last.
    cmdFechar = picture(QStringLiteral("cmdFechar"), QStringLiteral("fecharpesquisa"), QStringLiteral("Fechar Pesquisa"), 2100);
    cmdSeleciona = picture(QStringLiteral("cmdSeleciona"), QStringLiteral("pesquisa"), QStringLiteral("Pesquisa..."), 2100);
    ClarkTBSeparator2 = named(new platform::ToolbarSeparator, QStringLiteral("ClarkTBSeparator2"));
    ctbBar2->place(ClarkTBSeparator2, 2520, 30, 60, 360);
    lblpanel = makeLabel(nullptr, QStringLiteral("lblpanel"), QString());
    ctbBar2->place(lblpanel, 2640, 60, 4800, 300);
    ClarkTBButton2[0] = picture(QStringLiteral("ClarkTBButton2_0"), QStringLiteral("emprestimos"),
                                QStringLiteral("Controle de Empréstimos"), 7860);
    ClarkTBButton2[1] = picture(QStringLiteral("ClarkTBButton2_1"), QStringLiteral("fechar"),
                                QStringLiteral("Fechar"), kClientWidth - 360 - kBar2Height / 7);
}

void Frmobjetos::buildTabs()
{
    QWidget* client = centralWidget();
    SSTab1 = named(new QTabWidget(client), QStringLiteral("SSTab1"));
    placeInTwips(SSTab1, 60, kBarHeight, kClientWidth - 120, kClientHeight - kBarHeight - kBar2Height);
    auto* objeto = named(new QWidget, QStringLiteral("tabObjeto"));
    auto* listagem = named(new QWidget, QStringLiteral("tabListagem"));
    SSTab1->addTab(objeto, QStringLiteral("Objeto"));
    SSTab1->addTab(listagem, QStringLiteral("Listagem"));
    // The pages take now the size the tab control gives them once it is on
    // screen (it lays itself out only then), so the controls are placed on
    // them, and later scaled, from the size they really have.
    const QRect page = pageRect(SSTab1);
    objeto->resize(page.size());
    listagem->resize(page.size());
    // The positions of the controls on the tabs are measured from the tab
    // control's corner, its tab strip included.
    const QPoint corner(pixelsToTwips(page.left()), pixelsToTwips(page.top()));
    const auto placeOnTab = [corner](QWidget* widget, int left, int top, int width, int height) {
        placeInTwips(widget, left - corner.x(), top - corner.y(), width, height);
    };

    const auto box = [&](QLineEdit*& edit, const QString& name, int left, int top, int width, int maxLength) {
        edit = named(new QLineEdit(objeto), name);
        if (maxLength > 0)
            edit->setMaxLength(maxLength);
        placeOnTab(edit, left, top, width, 315);
    };
    const auto caption = [&](QLabel*& label, const QString& name, const QString& text, QWidget* buddy,
                             int left, int top, int width) {
        label = makeCaption(objeto, name, text, buddy);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        placeOnTab(label, left, top, width, 315);
    };

    // ---- Tab "Objeto"
    box(Txtcod, QStringLiteral("Txtcod"), 1140, 660, 960, 7);
    caption(Label2, QStringLiteral("Label2"), QStringLiteral("Código:"), Txtcod, 120, 660, 960);
    box(mskdata, QStringLiteral("mskdata"), 4095, 660, 1425, 0);
    caption(Lbldata, QStringLiteral("Lbldata"), QStringLiteral("Data:"), mskdata, 3135, 660, 900);

    Cmbobjeto = named(new QComboBox(objeto), QStringLiteral("Cmbobjeto"));
    Cmbobjeto->setEditable(true);
    Cmbobjeto->setInsertPolicy(QComboBox::NoInsert);
    Cmbobjeto->addItems(objectKinds());
    Cmbobjeto->setCurrentIndex(-1);
    placeOnTab(Cmbobjeto, 1140, 1155, 1770, 315);
    caption(Label3, QStringLiteral("Label3"), QStringLiteral("Objeto:"), Cmbobjeto, 120, 1155, 960);

    // The entry lies exactly under the display; the edit commands bring it to
    // the front.
    MaskEdBox1 = named(new platform::MaskEdBox(objeto), QStringLiteral("MaskEdBox1"));
    MaskEdBox1->setFormat(QStringLiteral("$#,##0.00;($#,##0.00)"));
    MaskEdBox1->setPromptChar(QLatin1Char('_'));
    placeOnTab(MaskEdBox1, 4095, 1170, 1440, 315);
    box(Text1, QStringLiteral("Text1"), 4095, 1170, 1440, 0);
    // Display only: the value is entered in MaskEdBox1.
    Text1->setReadOnly(true);
    caption(Lblvalor, QStringLiteral("Lblvalor"), QStringLiteral("Valor:"), Text1, 3135, 1170, 900);
    platform::nameBox(MaskEdBox1, Lblvalor->text());

    box(txttítulo, QStringLiteral("txttítulo"), 1140, 1680, 4968, 100);
    caption(Lbltitulo, QStringLiteral("Lbltitulo"), QStringLiteral("Título:"), txttítulo, 120, 1680, 960);
    box(Txtautor, QStringLiteral("Txtautor"), 1140, 2190, 4968, 70);
    caption(Lblautor, QStringLiteral("Lblautor"), QStringLiteral("Autor(a):"), Txtautor, 120, 2190, 960);
    box(Txtassunto, QStringLiteral("Txtassunto"), 1140, 2685, 4968, 25);
    caption(Lblassunto, QStringLiteral("Lblassunto"), QStringLiteral("Assunto:"), Txtassunto, 120, 2685, 960);

    // At most 255 characters as stored, a line break counting two.
    Txtdesc = named(new platform::LimitedTextEdit(objeto), QStringLiteral("Txtdesc"));
    Txtdesc->setMaxLength(255);
    Txtdesc->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Txtdesc->setTabChangesFocus(true);
    placeOnTab(Txtdesc, 1170, 3255, 7230, 1545);
    caption(Lbldesc, QStringLiteral("Lbldesc"), QStringLiteral("Descrição:"), Txtdesc, 60, 3255, 1050);

    Picture1 = named(new QFrame(objeto), QStringLiteral("Picture1"));
    Picture1->setFrameShape(QFrame::Box);
    Picture1->setAutoFillBackground(true);
    QPalette white = Picture1->palette();
    white.setColor(QPalette::Window, Qt::white);
    Picture1->setPalette(white);
    placeOnTab(Picture1, 6315, 405, 2085, 2280);
    Image1 = makeLabel(Picture1, QStringLiteral("Image1"), QString());
    Image1->resize(0, 0);
    // The picture is fitted again whenever its frame changes size.
    Picture1->installEventFilter(this);

    ctbImagem = named(new ToolbarButton(QStringLiteral("Imagem")), QStringLiteral("ctbImagem"));
    ctbImagem->setParent(objeto);
    ctbImagem->setIcon(assets::icon(QStringLiteral("imagem")));
    ctbImagem->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    ctbImagem->setHoverText(QStringLiteral("Inserir Imagem"));
    ctbImagem->setAccessibleName(QStringLiteral("Imagem"));
    ctbImagem->setAutoRaise(false);
    placeOnTab(ctbImagem, 6315, 2730, 1320, 420);
    ctbApagImagem = named(new PictureButton(assets::icon(QStringLiteral("apagarimagem")),
                                            QStringLiteral("Excluir Imagem"), objeto),
                          QStringLiteral("ctbApagImagem"));
    ctbApagImagem->setAutoRaise(false);
    placeOnTab(ctbApagImagem, 7695, 2730, 705, 420);

    ClarkLine3D1 = named(new platform::Line3D(objeto), QStringLiteral("ClarkLine3D1"));
    placeOnTab(ClarkLine3D1, 120, 4845, 8280, 45);

    // Loan state: the lent and the available picture share one place.
    const auto lamp = [&](QLabel*& label, QWidget* page, const QString& name, const QString& art,
                          const QString& accessible, int top) {
        label = makeLabel(page, name, QString());
        label->setPixmap(assets::pixmap(art));
        label->setScaledContents(true);
        label->setAccessibleName(accessible);
        placeOnTab(label, 180, top, 420, 420);
    };
    // The loan state on a tab: the two lamps and the borrower, bold.
    const auto loanState = [&](QWidget* page, const std::array<QLabel**, 3>& labels, const std::array<QString, 3>& names,
                               int lampTop, const QRect& borrower) {
        lamp(*labels[0], page, names[0], QStringLiteral("lampada_vermelha"), QStringLiteral("Emprestado"), lampTop);
        lamp(*labels[1], page, names[1], QStringLiteral("lampada_verde"), QStringLiteral("Disponível"), lampTop);
        *labels[2] = makeLabel(page, names[2], QString());
        boldFont(*labels[2]);
        placeOnTab(*labels[2], borrower.x(), borrower.y(), borrower.width(), borrower.height());
    };
    // The borrower leaves room beside it for how late the loan is; the move
    // buttons stand a little to the right for it.
    loanState(objeto, {&imgBorrow, &imgLight, &lblBorrow},
              {QStringLiteral("imgBorrow"), QStringLiteral("imgLight"), QStringLiteral("lblBorrow")}, 4905,
              QRect(690, 5010, 2250, 270));
    lblAtraso = makeLabel(objeto, QStringLiteral("lblAtraso"), QString());
    placeOnTab(lblAtraso, 2985, 5010, 1650, 270);

    const auto nav = [&](int index, QWidget* page, bool next, int left, int top) {
        auto* button = named(new PictureButton(assets::icon(next ? QStringLiteral("proximo") : QStringLiteral("anterior")),
                                               next ? QStringLiteral("Próximo Registro") : QStringLiteral("Registro Anterior"),
                                               page),
                             QStringLiteral("sscommand1_%1").arg(index));
        button->setAutoRaise(false);
        placeOnTab(button, left, top, 480, 405);
        sscommand1[static_cast<std::size_t>(index)] = button;
    };
    nav(2, objeto, false, 4680, 4920);
    nav(3, objeto, true, 5175, 4920);

    lblCount = makeLabel(objeto, QStringLiteral("lblCount"), QString());
    lblCount->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    placeOnTab(lblCount, 5700, 5040, 2685, 255);

    // ---- Tab "Listagem"
    DBGrid1 = named(new QTableView(listagem), QStringLiteral("DBGrid1"));
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1->verticalHeader()->setDefaultSectionSize(twipsToPixels(300));
    placeOnTab(DBGrid1, 120, 480, 8340, 4260);
    GridModel = new db::RecordsetModel(Data1, this);
    GridModel->setObjectName(QStringLiteral("DBGrid1_model"));
    using Fmt = db::RecordsetModel::Format;
    GridModel->addColumn(QStringLiteral("Cod"), QStringLiteral("cod"));
    GridModel->addColumn(QStringLiteral("Objeto"), QStringLiteral("Objeto"));
    GridModel->addColumn(QStringLiteral("Título"), QStringLiteral("Título"));
    GridModel->addColumn(QStringLiteral("Autor"), QStringLiteral("Autor"));
    GridModel->addColumn(QStringLiteral("Valor"), QStringLiteral("Valor"), Fmt::Currency);
    GridModel->addColumn(QStringLiteral("Objeto"), QStringLiteral("Objeto"), Fmt::Plain, true);
    GridModel->addColumn(QStringLiteral("check"), QStringLiteral("check"), Fmt::Plain, true);
    GridModel->addColumn(QStringLiteral("Data"), QStringLiteral("Data"), Fmt::Plain, true);
    GridModel->addColumn(QStringLiteral("Valor"), QStringLiteral("Valor"), Fmt::Currency, true);
    GridModel->attachView(DBGrid1);
    DBGrid1->setColumnWidth(0, twipsToPixels(900));
    DBGrid1->setColumnWidth(1, twipsToPixels(1300));
    DBGrid1->setColumnWidth(2, twipsToPixels(2800));
    DBGrid1->setColumnWidth(3, twipsToPixels(1900));
    DBGrid1->horizontalHeader()->setStretchLastSection(true);

    loanState(listagem, {&imgBorrow2, &imgLight2, &lblborrow2},
              {QStringLiteral("imgBorrow2"), QStringLiteral("imgLight2"), QStringLiteral("lblborrow2")}, 4860,
              QRect(690, 4935, 2900, 270));
    nav(0, listagem, false, 3660, 4860);
    nav(1, listagem, true, 4155, 4860);
    Label4 = makeLabel(listagem, QStringLiteral("Label4"), QStringLiteral("Valor Total:"));
    Label4->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    placeOnTab(Label4, 4800, 4935, 1200, 270);
    lbltotal = makeLabel(listagem, QStringLiteral("lbltotal"), QString());
    lbltotal->setFrameShape(QFrame::Panel);
    lbltotal->setFrameShadow(QFrame::Sunken);
    lbltotal->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    placeOnTab(lbltotal, 6060, 4920, 2340, 300);

    // ---- Boxes outside the visible area, never seen by the user.
    const auto hiddenBox = [&](QLineEdit*& edit, const QString& name, int top) {
        edit = named(new QLineEdit(client), name);
        edit->setFocusPolicy(Qt::NoFocus);
        placeInTwips(edit, 10000, top, 1500, 315);
    };
    hiddenBox(Label1, QStringLiteral("Label1"), 7000);
    hiddenBox(Text3, QStringLiteral("Text3"), 7400);
    hiddenBox(txtPath, QStringLiteral("txtPath"), 7800);
    hiddenBox(Text2, QStringLiteral("Text2"), 8200);
}

void Frmobjetos::buildMenus()
{
    const platform::MenuBuilder build(menuBar());

    mnuarquivo = build.menu(QStringLiteral("mnuarquivo"), QStringLiteral("&Arquivo"));
    std::tie(mnunovo, mnusalvar, mnueditar, mnuexcluir, mnucancelar) = build.recordItems(mnuarquivo);
    mnusepara = build.separator(mnuarquivo, QStringLiteral("mnusepara"));
    mnuprint = build.item(mnuarquivo, QStringLiteral("mnuprint"), QStringLiteral("Im&primir Listagem"));
    mnuseplist = build.separator(mnuarquivo, QStringLiteral("mnuseplist"));
    mnusair = build.item(mnuarquivo, QStringLiteral("mnusair"), QStringLiteral("Sai&r"));

    std::tie(mnuir, mnuanterior, mnuproximo) = build.goMenu();

    mnuprocura = build.menu(QStringLiteral("mnuprocura"), QStringLiteral("&Procura"));
    mnuprocurar = build.item(mnuprocura, QStringLiteral("mnuprocurar"), QStringLiteral("&Procurar..."));
    mnuproc = build.separator(mnuprocura, QStringLiteral("mnuproc"));
    mnupesquisar = build.item(mnuprocura, QStringLiteral("mnupesquisar"), QStringLiteral("Pes&quisar..."));
    mnufecharpesquisa = build.item(mnuprocura, QStringLiteral("mnufecharpesquisa"), QStringLiteral("&Fechar Pesquisa"));
    mnufecharpesquisa->setEnabled(false);

    mnuordenar = build.menu(QStringLiteral("mnuordenar"), QStringLiteral("&Ordenar"));
    mnuordcod = build.item(mnuordenar, QStringLiteral("mnuordcod"), QStringLiteral("Código"));
    mnuordtitulo = build.item(mnuordenar, QStringLiteral("mnuordtitulo"), QStringLiteral("Título"));
    mnuordautor = build.item(mnuordenar, QStringLiteral("mnuordautor"), QStringLiteral("Autor(a)"));
    mnuordassunto = build.item(mnuordenar, QStringLiteral("mnuordassunto"), QStringLiteral("Assunto"));
    for (QAction* a : {mnuordcod, mnuordtitulo, mnuordautor, mnuordassunto})
        a->setCheckable(true);
    mnuordcod->setChecked(true);

    mnuaj = build.menu(QStringLiteral("mnuaj"), QStringLiteral("A&juda"));
    mnuajuda = build.item(mnuaj, QStringLiteral("mnuajuda"), QStringLiteral("&Ajuda"));
    mnusepar = build.separator(mnuaj, QStringLiteral("mnusepar"));
    mnusobre = build.item(mnuaj, QStringLiteral("mnusobre"), QStringLiteral("&Sobre"));
}

void Frmobjetos::Form_Resize()
{
    if (isMinimized() || !ctbBar)
        return;
    platform::guarded([&] {
        // The resize component has rescaled the controls and the bars.
        Controles();
        AjustaImagem();
        reloadPicture();
    });
}

void Frmobjetos::Controles()
{
    const std::array<QWidget*, 6> buttons = {cmdNovo, cmdSalvar, cmdEditar, cmdExcluir, cmdCancelar, cmdEmprestar};
    platform::layOutRecordToolbar({ctbBar, ctbBar2, buttons, Image2, ClarkTBButton2[1]}, kToolbarPrecision);
    // The tab control fills the space between the two bars.
    const TabPlacement placement = tabBetweenBars(platform::geometryInTwips(ctbBar).height(),
                                                  platform::geometryInTwips(ctbBar2).height(),
                                                  pixelsToTwips(centralWidget()->height()));
    const QRect tab = platform::geometryInTwips(SSTab1);
    placeInTwips(SSTab1, tab.x(), placement.top, tab.width(), placement.height);
}

void Frmobjetos::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (forms::restoredFromMinimised(this, event))
        Form_Resize();
}

}  // namespace ondrel::catalogue
