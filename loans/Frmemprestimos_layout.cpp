// The controls of the loans window, their places in twips, the menus, the
// state they start in, and what a resize or a restore from the minimised
// state lays out again.
#include "Frmemprestimos.h"

#include "assets/assets.h"
#include "binding/datacontrol.h"
#include "binding/recordsetmodel.h"
#include "chrome/chrome.h"
#include "collection/statements.h"
#include "forms/formhelpers.h"
#include "forms/guard.h"
#include "forms/menubuilder.h"
#include "forms/recordtoolbar.h"
#include "forms/recordwindow.h"
#include "platform/windowfont.h"
#include "widgets/limitedtextedit.h"
#include "widgets/line3d.h"
#include "widgets/picturebutton.h"
#include "widgets/resizer.h"
#include "widgets/toolbarbar.h"
#include "widgets/toolbarseparator.h"
#include "widgets/twips.h"

#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QTableView>

namespace ondrel::loans {

using platform::LimitedTextEdit;
using platform::PictureButton;
using platform::ToolbarButton;
using platform::makeCaption;
using platform::makeLabel;
using platform::named;
using platform::placeInTwips;

namespace {

using forms::kBar2Height;
using forms::kBarHeight;
using forms::kClientHeight;
using forms::kClientWidth;

// Where the boxes nobody sees are kept: to the right of the client area.
constexpr int kOutside = 10000;

}  // namespace

void Frmemprestimos::buildToolbars()
{
    QWidget* client = centralWidget();
    ctbBar = named(new platform::ToolbarBar(client), QStringLiteral("ctbBar"));
    const std::array<platform::RecordButton, 5> commands = {{
        {&cmdNovo, "cmdNovo", "Novo", "novo"},
        {&cmdSalvar, "cmdSalvar", "Salvar", "salvar"},
        {&cmdEditar, "cmdEditar", "Editar", "editar"},
        {&cmdExcluir, "cmdExcluir", "Excluir", "excluir"},
        {&cmdCancelar, "cmdCancelar", "Cancelar", "cancelar"},
    }};
    const int buttonHeight = platform::buildRecordButtons(ctbBar, kBarHeight, commands, kToolbarPrecision);
    cmdSalvar->setEnabled(false);
    cmdCancelar->setEnabled(false);

    Image2 = platform::makeLogo();
    ctbBar->place(Image2, kClientWidth - 540 - (kBarHeight - buttonHeight), (kBarHeight - buttonHeight) / 2, 540, 540);

    ctbBar2 = named(new platform::ToolbarBar(client), QStringLiteral("ctbBar2"));
    cmdHome = chrome::makeHomeLink();
    ctbBar2->place(cmdHome, 165, 30, 915, 330);

    const auto picture = [&](const QString& name, const QString& art, const QString& hover, int left, int top,
                             int width, int height) {
        auto* button = named(new PictureButton(assets::icon(art), hover), name);
        ctbBar2->place(button, left, top, width, height);
        return button;
    };
    ClarkTBSeparator1 = named(new platform::ToolbarSeparator, QStringLiteral("ClarkTBSeparator1"));
    ctbBar2->place(ClarkTBSeparator1, 1125, 30, 60, 330);
    ClarkTBButton2[0] = picture(QStringLiteral("ClarkTBButton2_0"), QStringLiteral("emprestimos"),
                                QStringLiteral("Tela Objetos"), 1230, 30, 345, 330);
    // The search and close-search buttons share one place; the search button
    // starts in front, so it is created last.
    cmdFechar = picture(QStringLiteral("cmdFechar"), QStringLiteral("fecharpesquisa"),
                        QStringLiteral("Fechar Pesquisa"), 1635, 30, 345, 330);
    cmdSeleciona = picture(QStringLiteral("cmdSeleciona"), QStringLiteral("pesquisa"), QStringLiteral("Pesquisar..."),
                           1635, 30, 345, 330);
    ctbajuda = picture(QStringLiteral("ctbajuda"), QStringLiteral("ajuda"), QStringLiteral("Ajuda"), 2040, 30, 345, 330);
    ClarkTBSeparator2 = named(new platform::ToolbarSeparator, QStringLiteral("ClarkTBSeparator2"));
    ctbBar2->place(ClarkTBSeparator2, 2445, 30, 60, 330);
    lblpanel = makeLabel(nullptr, QStringLiteral("lblpanel"), QString());
    lblpanel->setAlignment(Qt::AlignCenter);
    ctbBar2->place(lblpanel, 2745, 45, 4365, 270);
    ClarkTBButton2[1] = picture(QStringLiteral("ClarkTBButton2_1"), QStringLiteral("fechar"), QStringLiteral("Fechar"),
                                8025, 45, 615, 315);
}

void Frmemprestimos::buildRecordBoxes()
{
    QWidget* client = centralWidget();
    const auto box = [&](QLineEdit*& edit, const QString& name, int maxLength, int left, int top, int width,
                         int height) {
        edit = named(new QLineEdit(client), name);
        if (maxLength > 0)
            edit->setMaxLength(maxLength);
        placeInTwips(edit, left, top, width, height);
    };
    // The labels' places reach over their boxes; the boxes take the clicks.
    const auto caption = [&](QLabel*& label, const QString& name, const QString& text, QWidget* buddy, int left,
                             int top, int width, int height) {
        label = makeCaption(client, name, text, buddy);
        placeInTwips(label, left, top, width, height);
    };

    box(Txtcod, QStringLiteral("Txtcod"), 7, 1470, 840, 972, 288);
    Txtcod->setEnabled(false);
    caption(Label7, QStringLiteral("Label7"), QStringLiteral("Código do Objeto"), Txtcod, 45, 855, 2160, 255);

    Combo1 = named(new QComboBox(client), QStringLiteral("Combo1"));
    Combo1->setEditable(true);
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    Combo1->setCompleter(nullptr);  // what is typed stays as typed
    Combo1->lineEdit()->setMaxLength(50);  // as Entregue holds
    Combo1->addItems({QStringLiteral("Não"), QStringLiteral("Sim")});
    Combo1->setCurrentIndex(-1);
    Combo1->setAutoFillBackground(true);
    placeInTwips(Combo1, 4575, 825, 1320, 315);
    caption(Label6, QStringLiteral("Label6"), QStringLiteral("Devolvido ?"), Combo1, 2520, 855, 1980, 240);
    Label6->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // The due date, typed as the loan's date is, on the row of the returned
    // box, where the window has room to its right.
    box(mskprazo, QStringLiteral("mskprazo"), 0, 7305, 840, 1104, 288);
    caption(Label9, QStringLiteral("Label9"), QStringLiteral("Devolver até"), mskprazo, 5985, 855, 1260, 255);
    Label9->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    box(Txtnome, QStringLiteral("Txtnome"), 70, 1470, 1200, 5415, 288);
    caption(Label1, QStringLiteral("Label1"), QStringLiteral("Emprestado a"), Txtnome, 60, 1200, 2010, 255);
    box(Txtobjeto, QStringLiteral("Txtobjeto"), 25, 1470, 1560, 1092, 288);
    caption(Label8, QStringLiteral("Label8"), QStringLiteral("Objeto"), Txtobjeto, 75, 1575, 930, 255);
    box(mskdata, QStringLiteral("mskdata"), 0, 3465, 1545, 1104, 288);
    caption(Label4, QStringLiteral("Label4"), QStringLiteral("Data"), mskdata, 2910, 1575, 1005, 255);
    box(Txttítulo, QStringLiteral("Txttítulo"), 100, 1470, 1935, 5415, 288);
    caption(Label2, QStringLiteral("Label2"), QStringLiteral("Título"), Txttítulo, 75, 1950, 1935, 255);
    box(Txtautor, QStringLiteral("Txtautor"), 70, 1470, 2310, 5415, 288);
    caption(Label3, QStringLiteral("Label3"), QStringLiteral("Autor(a)"), Txtautor, 90, 2325, 2025, 255);

    Txtobs = named(new LimitedTextEdit(client), QStringLiteral("Txtobs"));
    Txtobs->setMaxLength(255);
    Txtobs->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Txtobs->setTabChangesFocus(true);
    placeInTwips(Txtobs, 1470, 2715, 7065, 795);
    caption(Label5, QStringLiteral("Label5"), QStringLiteral("Observações"), Txtobs, 90, 2865, 1605, 255);

    // The lookup boxes carry the object row Data2 stands on; nobody types
    // into them.
    const auto lookup = [&](QLineEdit*& edit, const QString& name, int top) {
        box(edit, name, 0, kOutside, top, 1500, 288);
        edit->setFocusPolicy(Qt::NoFocus);
        edit->setReadOnly(true);
    };
    lookup(Txtobjetoclone, QStringLiteral("Txtobjetoclone"), 7000);
    lookup(Txtautorclone, QStringLiteral("Txtautorclone"), 7400);
    lookup(Txttítuloclone, QStringLiteral("Txttítuloclone"), 7800);

    // The grey and the red lamp share one place; the grey one starts in
    // front.
    const auto lamp = [&](QLabel*& label, const QString& name, const QString& art, const QString& meaning) {
        label = makeLabel(client, name, QString());
        label->setPixmap(assets::pixmap(art));
        label->setScaledContents(true);
        label->setAccessibleName(meaning);
        placeInTwips(label, 7095, 1245, 240, 240);
    };
    lamp(imglight2, QStringLiteral("imglight2"), QStringLiteral("lampada_vermelha"), QStringLiteral("Emprestado"));
    lamp(imgLight1, QStringLiteral("imgLight1"), QStringLiteral("lampada_cinza"), QStringLiteral("Devolvido"));

    // The record counter: right-aligned above the move buttons, on the row of
    // the date, where a count of thousands still fits.
    lblRegistro = makeLabel(client, QStringLiteral("lblRegistro"), QString());
    lblRegistro->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    placeInTwips(lblRegistro, 4680, 1575, 3960, 255);

    const auto move = [&](int index, const QString& art, const QString& hover, int left) {
        auto* button = named(new PictureButton(assets::icon(art), hover, client), QStringLiteral("sscommand1_%1").arg(index));
        button->setAutoRaise(false);
        placeInTwips(button, left, 2235, 345, 330);
        sscommand1[static_cast<std::size_t>(index)] = button;
    };
    move(0, QStringLiteral("proximo"), QStringLiteral("Próximo Registro"), 8145);
    move(1, QStringLiteral("anterior"), QStringLiteral("Registro Anterior"), 7770);
}

void Frmemprestimos::buildGrid()
{
    DBGrid1 = named(new QTableView(centralWidget()), QStringLiteral("DBGrid1"));
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->verticalHeader()->setDefaultSectionSize(twipsToPixels(285));
    placeInTwips(DBGrid1, 30, 3570, 8595, 2565);

    GridModel = named(new db::RecordsetModel(Data1, this), QStringLiteral("DBGrid1_model"));
    GridModel->setEditable(false);
    struct Column {
        const char* caption;
        const char* field;
        int width;
        bool hidden;
    };
    const std::array<Column, 10> columns = {{
        {"Data", "Data", 1931, false},
        {"Código Objeto", "codobjeto", 2725, false},
        {"Título", "Título", 2725, false},
        {"Autor", "Autor", 2725, false},
        {"Data", "Data", 2593, true},
        {"Nome", "Nome", 2725, false},
        {"Devolvido ?", "Entregue", 2725, false},
        {"objeto", "objeto", 2725, false},
        {"observações", "observações", 3704, false},
        {"check", "check", 1402, true},
    }};
    for (const Column& c : columns)
        GridModel->addColumn(QString::fromUtf8(c.caption), QString::fromUtf8(c.field), db::RecordsetModel::Format::Plain,
                             c.hidden);
    GridModel->attachView(DBGrid1);
    for (std::size_t i = 0; i < columns.size(); ++i)
        DBGrid1->setColumnWidth(static_cast<int>(i), twipsToPixels(columns[i].width));

    // Tab order as the window numbers it: the grid, then the record boxes.
    QWidget::setTabOrder(DBGrid1, Txtcod);
    QWidget::setTabOrder(Txtcod, Txtnome);
    QWidget::setTabOrder(Txtnome, Txtobs);
    QWidget::setTabOrder(Txtobs, Txtobjeto);
    QWidget::setTabOrder(Txtobjeto, mskdata);
    QWidget::setTabOrder(mskdata, Txtautor);
    QWidget::setTabOrder(Txtautor, Txttítulo);
    QWidget::setTabOrder(Txttítulo, Combo1);
    QWidget::setTabOrder(Combo1, mskprazo);
}

void Frmemprestimos::buildMenus()
{
    const platform::MenuBuilder build(menuBar());

    mnuarquivo = build.menu(QStringLiteral("mnuarquivo"), QStringLiteral("&Arquivo"));
    std::tie(mnunovo, mnusalvar, mnueditar, mnuexcluir, mnucancelar) = build.recordItems(mnuarquivo);
    mnuprazo = build.item(mnuarquivo, QStringLiteral("mnuprazo"), QStringLiteral("&Prazo de devolução..."));
    mnusepara = build.separator(mnuarquivo, QStringLiteral("mnusepara"));
    mnusair = build.item(mnuarquivo, QStringLiteral("mnusair"), QStringLiteral("Sai&r"));

    std::tie(mnuir, mnuanterior, mnuproximo) = build.goMenu();

    mnupesquisar = build.menu(QStringLiteral("mnupesquisar"), QStringLiteral("&Procurar"));
    mnuprocurar = build.item(mnupesquisar, QStringLiteral("mnuprocurar"), QStringLiteral("&Procura..."));
    mnuseparproc = build.separator(mnupesquisar, QStringLiteral("mnuseparproc"));
    mnupesquisa = build.item(mnupesquisar, QStringLiteral("mnupesquisa"), QStringLiteral("Pes&quisa..."));
    mnufecharpesquisa = build.item(mnupesquisar, QStringLiteral("mnufecharpesquisa"), QStringLiteral("&Fechar Pesquisa"));

    mnumostrar = build.menu(QStringLiteral("mnumostrar"), QStringLiteral("&Mostrar"));
    mnutodos = build.item(mnumostrar, QStringLiteral("mnutodos"), QStringLiteral("&Todos"));
    mnuemprestados = build.item(mnumostrar, QStringLiteral("mnuemprestados"), QStringLiteral("&Emprestados"));
    mnuatrasados = build.item(mnumostrar, QStringLiteral("mnuatrasados"), QStringLiteral("&Atrasados"));

    mnuordenar = build.menu(QStringLiteral("mnuordenar"), QStringLiteral("&Ordenar"));
    mnuordcod = build.item(mnuordenar, QStringLiteral("mnuordcod"), QStringLiteral("Código"));
    mnuordtitulo = build.item(mnuordenar, QStringLiteral("mnuordtitulo"), QStringLiteral("Título"));
    mnuordnome = build.item(mnuordenar, QStringLiteral("mnuordnome"), QStringLiteral("Nome"));
    mnudata = build.item(mnuordenar, QStringLiteral("mnudata"), QStringLiteral("Data"));
    for (QAction* a : {mnuordcod, mnuordtitulo, mnuordnome, mnudata})
        a->setCheckable(true);

    mnuajuda = build.menu(QStringLiteral("mnuajuda"), QStringLiteral("A&juda"));
    mnuhelp = build.item(mnuajuda, QStringLiteral("mnuhelp"), QStringLiteral("A&juda"));
    mnuseparahelp = build.separator(mnuajuda, QStringLiteral("mnuseparahelp"));
    mnusobre = build.item(mnuajuda, QStringLiteral("mnusobre"), QStringLiteral("&Sobre"));

    restoreInitialState();
}

void Frmemprestimos::restoreInitialState()
{
    // Toolbar: browsing; the menu's record items all enabled until the first
    // command sets them.
    cmdNovo->setEnabled(true);
    cmdSalvar->setEnabled(false);
    cmdEditar->setEnabled(true);
    cmdExcluir->setEnabled(true);
    cmdCancelar->setEnabled(false);
    for (QAction* a : {mnunovo, mnusalvar, mnueditar, mnuexcluir, mnucancelar})
        a->setEnabled(true);
    Txtcod->setEnabled(false);
    mnufecharpesquisa->setEnabled(false);
    mnuordenar->setEnabled(true);
    mnumostrar->setEnabled(true);
    mnuordcod->setChecked(true);
    for (QAction* a : {mnuordtitulo, mnuordnome, mnudata})
        a->setChecked(false);
    cmdSeleciona->raise();
    lblpanel->clear();
    m_showingLate = false;
    // The next load lists the loans in table order again, whatever view or
    // search was shown before the window was closed.
    Data1->setRecordSource(db::allLoans());
}

void Frmemprestimos::Controles()
{
    const std::array<QWidget*, 5> buttons = {cmdNovo, cmdSalvar, cmdEditar, cmdExcluir, cmdCancelar};
    platform::layOutRecordToolbar({ctbBar, ctbBar2, buttons, Image2, ClarkTBButton2[1]}, kToolbarPrecision);
}

int Frmemprestimos::twipsToPixels(int twips) const
{
    return platform::twipsToPixels(twips, platform::logicalDpi(this));
}

int Frmemprestimos::pixelsToTwips(int pixels) const
{
    return platform::pixelsToTwips(pixels, platform::logicalDpi(this));
}

void Frmemprestimos::Form_Resize()
{
    if (isMinimized() || !ctbBar)
        return;
    // The resize component has rescaled the controls and the bars.
    platform::guarded([&] { Controles(); });
}

void Frmemprestimos::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (forms::restoredFromMinimised(this, event))
        Form_Resize();
}

}  // namespace ondrel::loans
