#include "Frmobjetos.h"
#include "chrome/opencollection.h"
#include "collection/collection.h"
#include "collection/statements.h"
#include "core/valuetext.h"
#include "listing.h"

#include "assets/assets.h"
#include "binding/datacontrol.h"
#include "binding/recordsetmodel.h"
#include "chrome/chrome.h"
#include "database/database.h"
#include "database/recordset.h"
#include "forms/formhelpers.h"
#include "forms/guard.h"
#include "forms/menubuilder.h"
#include "forms/recordcommands.h"
#include "forms/recordtoolbar.h"
#include "forms/recordwindow.h"
#include "platform/picturereader.h"
#include "platform/pluginfolder.h"
#include "platform/reportprinter.h"
#include "platform/services.h"
#include "platform/windowfont.h"
#include "widgets/limitedtextedit.h"
#include "widgets/maskedbox.h"
#include "widgets/picturebutton.h"
#include "widgets/resizer.h"
#include "widgets/toolbarbar.h"
#include "widgets/twips.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDate>
#include <QFocusEvent>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenuBar>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScopeGuard>
#include <QStyle>
#include <QStyleOptionTabWidgetFrame>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QWindowStateChangeEvent>
#include <functional>
#include <optional>
#include <stdexcept>

namespace ondrel::catalogue {

using platform::PictureButton;
using platform::ToolbarButton;
using platform::fromBgr;
using platform::makeCaption;
using platform::makeLabel;
using platform::named;
using platform::placeInTwips;
using platform::services;
using platform::skipFailing;
using platform::trapResume;
using platform::use;

namespace {

using forms::kBar2Height;
using forms::kBarHeight;
using forms::kClientHeight;
using forms::kClientWidth;

// Reports Cmbobjeto's real focus gains: by the keyboard (Tab, Shift+Tab, its
// label's shortcut) or a click. The focus coming back from the box's own list
// or from a menu (a popup), or with the window's activation, is no gain.
class GotFocusFilter : public QObject {
public:
    GotFocusFilter(QObject* parent, std::function<void()> handler)
        : QObject(parent), m_handler(std::move(handler)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::FocusIn) {
            switch (static_cast<QFocusEvent*>(event)->reason()) {
            case Qt::TabFocusReason:
            case Qt::BacktabFocusReason:
            case Qt::MouseFocusReason:
            case Qt::ShortcutFocusReason:
                m_handler();
                break;
            default:
                break;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_handler;
};

// The client area: its resizes are the window's Form_Resize.
class ClientArea : public QWidget {
public:
    ClientArea(Frmobjetos* form) : QWidget(form), m_form(form) {}

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QWidget::resizeEvent(event);
        m_form->Form_Resize();
    }

private:
    Frmobjetos* m_form;
};

// The borrower labels are bold; their colour is set while the object is lent.
void boldFont(QLabel* label)
{
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
}

void setTextColour(QLabel* label, int bgr)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, fromBgr(bgr));
    label->setPalette(palette);
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

Frmobjetos::Frmobjetos() : QMainWindow(nullptr)
{
    setObjectName(QStringLiteral("Frmobjetos"));
    setWindowTitle(QStringLiteral("Objetos"));
    setAttribute(Qt::WA_DeleteOnClose);
    platform::useWindowFont(this);
    setCentralWidget(new ClientArea(this));
    centralWidget()->setObjectName(QStringLiteral("client"));

    Data1 = new db::DataControl(this);
    Data1->setObjectName(QStringLiteral("Data1"));
    Data1->setRecordSource(db::allObjects());
    Data1->setCaption(QStringLiteral("Data1"));
    Data2 = new db::DataControl(this);
    Data2->setObjectName(QStringLiteral("Data2"));
    Data2->setRecordSource(db::allLoans());
    Data2->setCaption(QStringLiteral("Data2"));
    Data2->setReadOnly(true);
    Resize1 = new platform::Resizer(this);
    Resize1->setObjectName(QStringLiteral("Resize1"));
    Report1 = new platform::ReportPrinter(this);
    Report1->setObjectName(QStringLiteral("Report1"));
    Report1->setRowReader(readListing);

    buildToolbars();
    buildTabs();
    buildMenus();
    bindFields();
    connectHandlers();

    forms::sizeRecordWindow(this, ctbBar, ctbBar2);
}

Frmobjetos::~Frmobjetos()
{
    // The bound sources go before the widgets they fill.
    delete GridModel;
    GridModel = nullptr;
    delete Data1;
    Data1 = nullptr;
    delete Data2;
    Data2 = nullptr;
    forget(this);
}

void Frmobjetos::Show()
{
    if (!m_loaded)
        Form_Load();
    show();
    raise();
    activateWindow();
}

bool Frmobjetos::isLoaded() const
{
    return m_loaded;
}

int Frmobjetos::twipsToPixels(int twips) const
{
    return platform::twipsToPixels(twips, platform::logicalDpi(this));
}

int Frmobjetos::pixelsToTwips(int pixels) const
{
    return platform::pixelsToTwips(pixels, platform::logicalDpi(this));
}

// ---------------------------------------------------------------------------
// Layout

void Frmobjetos::buildToolbars()
{
    QWidget* client = centralWidget();

    ctbBar = named(new platform::ToolbarBar(client), QStringLiteral("ctbBar"));
    const std::array<std::pair<ToolbarButton**, QString>, 6> top = {{
        {&cmdNovo, QStringLiteral("Novo")},
        {&cmdSalvar, QStringLiteral("Salvar")},
        {&cmdEditar, QStringLiteral("Editar")},
        {&cmdExcluir, QStringLiteral("Excluir")},
        {&cmdCancelar, QStringLiteral("Cancelar")},
        {&cmdEmprestar, QStringLiteral("Emprestar")},
    }};
    const std::array<QString, 6> names = {QStringLiteral("cmdNovo"),     QStringLiteral("cmdSalvar"),
                                          QStringLiteral("cmdEditar"),   QStringLiteral("cmdExcluir"),
                                          QStringLiteral("cmdCancelar"), QStringLiteral("cmdEmprestar")};
    const std::array<QString, 6> pictures = {QStringLiteral("novo"),     QStringLiteral("salvar"),
                                             QStringLiteral("editar"),   QStringLiteral("excluir"),
                                             QStringLiteral("cancelar"), QStringLiteral("emprestar")};
    const int buttonHeight = platform::recordButtonHeight(kBarHeight, kToolbarPrecision);
    for (std::size_t i = 0; i < top.size(); ++i) {
        auto* button = named(new ToolbarButton(top[i].second), names[i]);
        button->setIcon(assets::icon(pictures[i]));
        button->setIconSize(QSize(24, 24));
        ctbBar->place(button, platform::kRecordButtonsLeft + static_cast<int>(i) * platform::kRecordButtonWidth,
                      (kBarHeight - buttonHeight) / 2, platform::kRecordButtonWidth, buttonHeight);
        *top[i].first = button;
    }
    cmdSalvar->setEnabled(false);
    cmdCancelar->setEnabled(false);
    cmdEmprestar->setHoverText(QString());

    Image2 = makeLabel(nullptr, QStringLiteral("Image2"), QString());
    Image2->setPixmap(assets::pixmap(QStringLiteral("logo")));
    Image2->setScaledContents(true);
    Image2->setAccessibleName(QStringLiteral("Ulmix"));
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
    lamp(imgBorrow, objeto, QStringLiteral("imgBorrow"), QStringLiteral("lampada_vermelha"),
         QStringLiteral("Emprestado"), 4905);
    lamp(imgLight, objeto, QStringLiteral("imgLight"), QStringLiteral("lampada_verde"),
         QStringLiteral("Disponível"), 4905);
    lblBorrow = makeLabel(objeto, QStringLiteral("lblBorrow"), QString());
    boldFont(lblBorrow);
    placeOnTab(lblBorrow, 690, 5010, 3600, 270);

    const auto nav = [&](int index, QWidget* page, bool next, int left, int top) {
        auto* button = named(new PictureButton(assets::icon(next ? QStringLiteral("proximo") : QStringLiteral("anterior")),
                                               next ? QStringLiteral("Próximo Registro") : QStringLiteral("Registro Anterior"),
                                               page),
                             QStringLiteral("sscommand1_%1").arg(index));
        button->setAutoRaise(false);
        placeOnTab(button, left, top, 480, 405);
        sscommand1[static_cast<std::size_t>(index)] = button;
    };
    nav(2, objeto, false, 4440, 4920);
    nav(3, objeto, true, 4935, 4920);

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

    lamp(imgBorrow2, listagem, QStringLiteral("imgBorrow2"), QStringLiteral("lampada_vermelha"),
         QStringLiteral("Emprestado"), 4860);
    lamp(imgLight2, listagem, QStringLiteral("imgLight2"), QStringLiteral("lampada_verde"),
         QStringLiteral("Disponível"), 4860);
    lblborrow2 = makeLabel(listagem, QStringLiteral("lblborrow2"), QString());
    boldFont(lblborrow2);
    placeOnTab(lblborrow2, 690, 4935, 2900, 270);
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
    mnunovo = build.item(mnuarquivo, QStringLiteral("mnunovo"), QStringLiteral("&Novo"));
    mnusalvar = build.item(mnuarquivo, QStringLiteral("mnusalvar"), QStringLiteral("&Salvar"));
    mnueditar = build.item(mnuarquivo, QStringLiteral("mnueditar"), QStringLiteral("&Editar"));
    mnuexcluir = build.item(mnuarquivo, QStringLiteral("mnuexcluir"), QStringLiteral("E&xcluir"));
    mnucancelar = build.item(mnuarquivo, QStringLiteral("mnucancelar"), QStringLiteral("&Cancelar"));
    mnusepara = build.separator(mnuarquivo, QStringLiteral("mnusepara"));
    mnuprint = build.item(mnuarquivo, QStringLiteral("mnuprint"), QStringLiteral("Im&primir Listagem"));
    mnuseplist = build.separator(mnuarquivo, QStringLiteral("mnuseplist"));
    mnusair = build.item(mnuarquivo, QStringLiteral("mnusair"), QStringLiteral("Sai&r"));

    mnuir = build.menu(QStringLiteral("mnuir"), QStringLiteral("&Ir"));
    mnuanterior = build.item(mnuir, QStringLiteral("mnuanterior"), QStringLiteral("&Anterior"));
    mnuanterior->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    mnuproximo = build.item(mnuir, QStringLiteral("mnuproximo"), QStringLiteral("&Próximo"));
    mnuproximo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));

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

void Frmobjetos::bindFields()
{
    using db::BindMode;
    Data1->bind(Txtcod, QStringLiteral("cod"));
    Data1->bind(mskdata, QStringLiteral("Data"));
    Data1->bind(Cmbobjeto, QStringLiteral("Objeto"));
    // Text1 shows the value formatted by the window; MaskEdBox1 enters it.
    Data1->bind(Text1, QStringLiteral("valor"), BindMode::DisplayOnly);
    Data1->bind(MaskEdBox1, QStringLiteral("Valor"));
    Data1->bind(txttítulo, QStringLiteral("Título"));
    Data1->bind(Txtautor, QStringLiteral("Autor"));
    Data1->bind(Txtassunto, QStringLiteral("Assunto"));
    Data1->bind(Txtdesc, QStringLiteral("Descrição"));
    Data1->bind(txtPath, QStringLiteral("path"));
    Data2->bind(Label1, QStringLiteral("Nome"));
    Data2->bind(Text2, QStringLiteral("Entregue"));
}

void Frmobjetos::connectHandlers()
{
    using platform::connectGuarded;
    connect(mnusair, &QAction::triggered, this, [this] { mnusair_Click(); });
    connect(Txtcod, &QLineEdit::textChanged, this, [this] { Txtcod_Change(); });
    connect(Data1, &db::DataControl::reposition, this, [this] {
        Data1_Reposition();
        matchCommandsToPending();
    });
    Data1->setSaveCheck([this] { return checkTypedValues(); });
    connect(Data1, &db::DataControl::validate, this, [this](int action) { Data1_Validate(action); });

    connect(Text1, &QLineEdit::textChanged, this, [this] { Text1_Change(); });
    Cmbobjeto->installEventFilter(new GotFocusFilter(Cmbobjeto, [this] { Cmbobjeto_GotFocus(); }));
    // The loan-state display: its statements are skipped one by one where
    // they fail, so nothing escapes.
    connect(Label1, &QLineEdit::textChanged, this, [this] { Label1_Change(); });
    connectGuarded(Text2, &QLineEdit::textChanged, this, &Frmobjetos::Text2_Change);

    // Commands: an error a handler lets escape is shown and the window goes on.
    connectGuarded(cmdNovo, &QToolButton::clicked, this, &Frmobjetos::cmdnovo_Click);
    connectGuarded(cmdSalvar, &QToolButton::clicked, this, &Frmobjetos::Cmdsalvar_Click);
    connectGuarded(cmdEditar, &QToolButton::clicked, this, &Frmobjetos::Cmdeditar_Click);
    connectGuarded(cmdExcluir, &QToolButton::clicked, this, &Frmobjetos::Cmdexcluir_Click);
    connectGuarded(cmdCancelar, &QToolButton::clicked, this, &Frmobjetos::Cmdcancelar_Click);
    connectGuarded(mnunovo, &QAction::triggered, this, &Frmobjetos::mnunovo_Click);
    connectGuarded(mnusalvar, &QAction::triggered, this, &Frmobjetos::mnusalvar_Click);
    connectGuarded(mnueditar, &QAction::triggered, this, &Frmobjetos::mnueditar_Click);
    connectGuarded(mnuexcluir, &QAction::triggered, this, &Frmobjetos::mnuexcluir_Click);
    connectGuarded(mnucancelar, &QAction::triggered, this, &Frmobjetos::mnucancelar_Click);
    connectGuarded(cmdEmprestar, &QToolButton::clicked, this, &Frmobjetos::cmdEmprestar_Click);
    for (int index = 0; index < static_cast<int>(ClarkTBButton2.size()); ++index)
        connectGuarded(ClarkTBButton2[static_cast<std::size_t>(index)], &QToolButton::clicked, this,
                       [this, index] { ClarkTBButton2_Click(index); });

    connectGuarded(txtPath, &QLineEdit::textChanged, this, &Frmobjetos::txtPath_Change);
    connectGuarded(GridModel, &db::RecordsetModel::afterUpdate, this, &Frmobjetos::DBGrid1_AfterUpdate);
    connectCommands();
    connectChrome();

    // A pending record the source could not store when the user moved on:
    // the source stays on it with the typed values; say why.
    connect(Data1, &db::DataControl::saveRefused, this, [this](const QString& description) {
        tellRefusal(platform::Failure{0, description});
    });
    // A grid edit the engine refused is taken back; say why, as the boxes
    // above the grid would for the same refusal.
    connectGuarded(GridModel, &db::RecordsetModel::engineError, this, [this](int number, const QString& description) {
        tellRefusal(platform::Failure{number, description});
    });
}

// ---------------------------------------------------------------------------
// Window events

void Frmobjetos::Form_Load()
{
    m_loaded = true;
    skipFailing({
        [&] { services().setPointer(platform::Pointer::Hourglass); },
        [&] { CaminhoBanco = db::databasePath(platform::pluginFolder()); },
        [&] { BancoDados = chrome::openCollection(CaminhoBanco); },
        [&] { TabObjetos = use(BancoDados).openRecordset(QStringLiteral("objetos"), db::RecordsetType::Dynaset); },
        [&] { Data1->setDatabaseName(CaminhoBanco); },
        [&] { Data2->setDatabaseName(CaminhoBanco); },
        // The sources reach the password-protected file through our handle.
        [&] { Data1->setDatabase(BancoDados); },
        [&] { Data2->setDatabase(BancoDados); },
        [&] {
            if (use(TabObjetos).recordCount() > 0)
                skipFailing({[&] { TabObjetos->moveLast(); }, [&] { TabObjetos->moveFirst(); }});
        },
        [&] { TotalRegistros = use(TabObjetos).recordCount(); },
        [&] {
            chrome::registerHelpFile();
            HelpFile = chrome::helpFile();
        },
        [&] {
            Resize1->setEnabled(true);
            // The bars grow and shrink with the window, their buttons with them.
            for (QWidget* container : {centralWidget(), static_cast<QWidget*>(ctbBar), static_cast<QWidget*>(ctbBar2),
                                       SSTab1->widget(0), SSTab1->widget(1)})
                Resize1->addContainer(container);
        },
        [&] { Resize1->InitResize(); },
        [&] { Resize1->SaveInitialPositions(); },
        [&] { Data2->setRecordSource(db::loansNewestFirst()); },
        [&] { showLoanState(); },
        [&] { Data1->setRecordset(TabObjetos); },
        [&] { services().setPointer(platform::Pointer::Default); },
    });
    // Once the window is loaded the loans source opens its record source,
    // unless the first object shown has already pointed it at its loans.
    skipFailing({[&] {
        if (!Data2->recordset())
            Data2->refresh();
    }});
    emit loaded();
}

void Frmobjetos::showLoanState()
{
    // Each statement on its own, as start-up runs them.
    if (Text2->text() == db::kNotReturned) {
        skipFailing({
            [&] { services().beep(); },
            [&] { lblBorrow->setText(Label1->text()); },
            [&] { lblborrow2->setText(Label1->text()); },
            [&] { cmdEmprestar->setEnabled(false); },
            [&] { imgBorrow->raise(); },
            [&] { imgBorrow2->raise(); },
        });
    } else if (Text2->text() == db::kReturned) {
        skipFailing({
            [&] { enableLending(); },
            [&] { imgLight->raise(); },
            [&] { imgLight2->raise(); },
        });
    }
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

void Frmobjetos::reloadPicture()
{
    const QString file = txtPath->text();
    if (file.isEmpty())
        return;
    // Read at the size the fitting steps give it in the frame as it is now.
    const QRect frame = platform::geometryInTwips(Picture1);
    const double dpi = platform::logicalDpi(this);
    const platform::PictureFit fit = [frame, dpi](QSize natural) {
        const ImageFit f = fitImage(platform::pixelsToTwips(natural.width(), dpi),
                                    platform::pixelsToTwips(natural.height(), dpi), frame.width(), frame.height());
        return platform::twipsToPixels(QRect(0, 0, f.width, f.height), dpi).size();
    };
    const quint64 showing = m_pictureShowing;
    const qreal ratio = devicePixelRatioF();
    platform::requestPicture(file, Picture1->size(), ratio, fit, this, [this, showing, ratio](const platform::PictureRead& read) {
        // Another object (or none) shown meanwhile: not this picture.
        if (showing != m_pictureShowing || read.image.isNull())
            return;
        QPixmap picture = QPixmap::fromImage(read.image);
        picture.setDevicePixelRatio(ratio);
        Image1->setPixmap(picture);
        m_pictureSize = read.natural;
        AjustaImagem();
    });
}

void Frmobjetos::AjustaImagem()
{
    Image1->update();
    // Measured at the picture's natural size, whatever size it was read at.
    const QRect frame = platform::geometryInTwips(Picture1);
    const ImageFit fit = fitImage(pixelsToTwips(m_pictureSize.width()), pixelsToTwips(m_pictureSize.height()),
                                  frame.width(), frame.height());
    Image1->setScaledContents(true);
    placeInTwips(Image1, fit.left, fit.top, fit.width, fit.height);
    Image1->update();
}

void Frmobjetos::Form_Unload()
{
    // Nothing is asked or saved; the handle and record sets go with the window.
}

void Frmobjetos::closeEvent(QCloseEvent* event)
{
    Form_Unload();
    QMainWindow::closeEvent(event);
    // Unloaded for real: the next reference creates and loads a new window.
    if (event->isAccepted())
        forget(this);
}

// ---------------------------------------------------------------------------
// Handlers

void Frmobjetos::mnusair_Click()
{
    services().endProcess();
}

void Frmobjetos::Txtcod_Change()
{
    const QString name = db::pesquisaName();
    // The loans of the code on screen, newest first. The code is pasted with
    // its quotes doubled, so any code reads its own loans.
    const QString loans = db::loansOfObject(Txtcod->text());
    // Written in one transaction without waiting for another program (a
    // locked or read-only file keeps it in memory for the run). Should it
    // fail all the same, the loans are read through the statement itself, so
    // the display still follows the object shown.
    const bool written = !skipFailing({[&] {
        use(BancoDados).writeQueryDef(name, loans);
        ConsultaPesquisa = std::make_unique<db::QueryDef>(db::QueryDef{BancoDados, name});
    }});
    skipFailing({[&] { Data2->setRecordSource(written ? name : loans); }});
    const bool read = !skipFailing({[&] { Data2->refresh(); }});
    if (BancoDados)
        showLoansReadable(read);
}

void Frmobjetos::Data1_Reposition()
{
    skipFailing({
        [&] {
            // The objects in the file now, whoever wrote them, and a new one
            // while it is pending.
            const bool adding = use(Data1->recordset()).editMode() == db::EditMode::Adding;
            TotalRegistros = use(BancoDados).countRecords(QStringLiteral("objetos")) + (adding ? 1 : 0);
        },
        [&] {
            // No current record (a new one pending, or none left) counts as 0.
            const int position = use(Data1->recordset()).absolutePosition();
            Data1->setCaption(db::counterText(position + 1, TotalRegistros));
        },
        [&] { lblCount->setText(Data1->caption()); },
        [&] { showCollectionTotal(); },
    });
}

void Frmobjetos::Data1_Validate(int action)
{
    TotalRegistros += forms::countChange(action);
}

void Frmobjetos::Text1_Change()
{
    // Display only: Text1 is never written back, so the formatted text does
    // not make the record look changed.
    const QString shown = Text1->text();
    // In the user's regional settings (the process's default locale).
    const QString formatted = db::currencyDisplay(shown, QLocale());
    if (formatted != shown)
        Text1->setText(formatted);  // raises this handler once more, which leaves it as it is
}

// ---------------------------------------------------------------------------
// Edit modes, save and delete

void Frmobjetos::setEditingCommands(bool editing)
{
    forms::setEditingCommands({cmdNovo, mnunovo, cmdSalvar, mnusalvar, cmdEditar, mnueditar, cmdExcluir, mnuexcluir,
                               cmdCancelar, mnucancelar},
                              editing);
}

void Frmobjetos::setObjectCommands(bool enabled)
{
    if (enabled)
        enableLending();
    else
        cmdEmprestar->setEnabled(false);
    ctbImagem->setEnabled(enabled);
    ctbApagImagem->setEnabled(enabled);
}

bool Frmobjetos::showBorrower()
{
    if (Label1->text().isEmpty())
        return false;
    services().beep();
    lblBorrow->setText(Label1->text());
    lblborrow2->setText(Label1->text());
    return true;
}

void Frmobjetos::cmdnovo_Click()
{
    db::Recordset& rs = use(Data1->recordset());
    rs.addNew();
    // The source refused to leave the record on screen (its typed values
    // could not be stored, and it said so): no new record, still browsing.
    if (rs.editMode() != db::EditMode::Adding) {
        --TotalRegistros;  // counted by the validate event for an add that did not happen
        return;
    }
    Txtcod->setFocus();
    setEditingCommands(true);
    // A new object is dated the day it is catalogued.
    mskdata->setText(db::formatDate(QDate::currentDate()));
    MaskEdBox1->raise();
    ctbImagem->setEnabled(false);
    ctbApagImagem->setEnabled(false);
    cmdEmprestar->setEnabled(false);
}

void Frmobjetos::Cmdeditar_Click()
{
    if (!txttítulo->text().isEmpty()) {
        skipFailing({
            [&] { use(Data1->recordset()).edit(); },
            [&] { setEditingCommands(true); },
            [&] { txttítulo->setFocus(); },
            [&] { setObjectCommands(false); },
            [&] { MaskEdBox1->raise(); },
        });
    }
    if (txttítulo->text().isEmpty())
        services().msgBox(QStringLiteral(" Não há registro corrente!"), platform::OkOnly);
}

void Frmobjetos::Cmdcancelar_Click()
{
    const auto cannotCancel = [](const platform::Failure&) {
        services().msgBox(QStringLiteral("Impossível Cancelar esta Operação!"), platform::OkOnly);
    };
    trapResume(cannotCancel, {
        [&] { use(Data1->recordset()).cancelUpdate(); },
        [&] { setEditingCommands(false); },
        [&] { setObjectCommands(true); },
    });
}

bool Frmobjetos::checkTypedValues()
{
    // The boxes on the screen are checked, the title first.
    if (txttítulo->text().isEmpty()) {
        services().msgBox(QStringLiteral("O Preenchimento do Campo Título é necessário"), platform::OkOnly,
                          platform::Exclamation);
        txttítulo->setFocus();
        return false;
    }
    if (Txtcod->text().isEmpty()) {
        services().msgBox(QStringLiteral("É Necessário digitar um código (até 7 dígitos)"), platform::OkOnly);
        Txtcod->setFocus();
        return false;
    }
    return true;
}

void Frmobjetos::matchCommandsToPending()
{
    const db::Recordset* objects = Data1->recordset();
    if (!cmdSalvar->isEnabled() || (objects && objects->editMode() != db::EditMode::None))
        return;
    // The value entry stays in front until the next save, as after "Cancelar".
    skipFailing({
        [&] { setEditingCommands(false); },
        [&] { setObjectCommands(true); },
    });
}

void Frmobjetos::Cmdsalvar_Click()
{
    if (!checkTypedValues()) {
        setEditingCommands(true);
        return;
    }

    // Any error beeps. A duplicate code drops the pending record; any other
    // refusal of a pending record keeps it, with what the user typed, and
    // the window stays in adding or editing.
    bool keptPending = false;
    const auto onError = [&](const platform::Failure& failure) {
        services().beep();
        if (failure.number == db::ErrDuplicateKey) {
            services().msgBox(refusalText(failure), platform::OkOnly);
            skipFailing({[&] { use(Data1->recordset()).cancelUpdate(); }});
            return;
        }
        const db::Recordset* rs = Data1->recordset();
        if (rs && rs->editMode() != db::EditMode::None) {
            keptPending = true;
            services().msgBox(failure.description, platform::OkOnly, platform::Exclamation);
        }
    };

    trapResume(onError, {[&] { use(Data1->recordset()).update(); }});
    if (keptPending) {
        setEditingCommands(true);
        return;
    }
    trapResume(onError, {
        [&] {
            if (use(TabObjetos).recordCount() > 0)
                trapResume(onError, {[&] { TabObjetos->moveFirst(); }, [&] { TabObjetos->moveLast(); }});
        },
        [&] { TotalRegistros = use(BancoDados).countRecords(QStringLiteral("objetos")); },
        [&] { showBorrower(); },
        [&] { setEditingCommands(false); },
        [&] { setObjectCommands(true); },
        [&] { Text1->raise(); },
    });
}

void Frmobjetos::Cmdexcluir_Click()
{
    if (!forms::confirmDelete())
        return;
    // A delete the engine refuses (another program's lock, a read-only file)
    // leaves the record, the position and the counter as they were, and says
    // why; with no current record there is nothing to say.
    const qint64 counted = TotalRegistros;
    const std::optional<platform::Failure> refused = skipFailing({[&] { use(Data1->recordset()).deleteRecord(); }});
    if (refused && refused->number != 0 && refused->number != db::ErrNoCurrentRecord) {
        TotalRegistros = counted;  // counted out by the validate event of a delete that did not happen
        tellRefusal(*refused);
        return;
    }
    skipFailing({
        [&] { forms::moveWithin(*Data1, forms::Direction::Next, forms::AtEnd::StepBack); },
        [&] {
            if (use(TabObjetos).recordCount() > 0)
                skipFailing({[&] { TabObjetos->moveFirst(); }, [&] { TabObjetos->moveLast(); }});
        },
        [&] { TotalRegistros = use(BancoDados).countRecords(QStringLiteral("objetos")); },
        [&] {
            if (showBorrower())
                cmdEmprestar->setEnabled(false);
            else
                enableLending();
        },
    });
}

QString Frmobjetos::refusalText(const platform::Failure& failure)
{
    if (failure.number == db::ErrDuplicateKey)
        return QStringLiteral("Esse código já existe!");
    return failure.description;
}

void Frmobjetos::tellRefusal(const platform::Failure& failure)
{
    services().beep();
    services().msgBox(refusalText(failure), platform::OkOnly,
                      failure.number == db::ErrDuplicateKey ? platform::NoIcon : platform::Exclamation);
}

void Frmobjetos::mnunovo_Click()
{
    cmdnovo_Click();
}

void Frmobjetos::mnusalvar_Click()
{
    Cmdsalvar_Click();
}

void Frmobjetos::mnueditar_Click()
{
    Cmdeditar_Click();
}

void Frmobjetos::mnuexcluir_Click()
{
    Cmdexcluir_Click();
}

void Frmobjetos::mnucancelar_Click()
{
    Cmdcancelar_Click();
}

// ---------------------------------------------------------------------------
// Lending

bool Frmobjetos::canLend() const
{
    const db::Recordset* objects = Data1 ? Data1->recordset() : nullptr;
    if (objects && objects->editMode() != db::EditMode::None)
        return false;  // a new object is being typed, or the shown one edited
    // With no object on screen "Emprestar" says so.
    if (Txtcod->text().isEmpty())
        return true;
    if (m_loansUnreadable)
        return false;  // whether it is out on loan is not known
    return Text2->text() != db::kNotReturned;
}

void Frmobjetos::enableLending()
{
    cmdEmprestar->setEnabled(canLend());
}

void Frmobjetos::showLent(LoanSound sound)
{
    skipFailing({
        [&] {
            lblBorrow->setText(Label1->text());
            lblborrow2->setText(Label1->text());
        },
        [&] {
            setTextColour(lblBorrow, 255);
            setTextColour(lblborrow2, 255);
        },
        [&] { cmdEmprestar->setEnabled(false); },
        [&] {
            if (sound == LoanSound::Alarm)
                Ring();
            else
                services().beep();
        },
        [&] { imgBorrow->raise(); },
        [&] { imgBorrow2->raise(); },
    });
}

void Frmobjetos::showAvailable(bool clearPanel)
{
    skipFailing({
        [&] {
            lblBorrow->setText(QString());
            lblborrow2->setText(QString());
        },
        [&] {
            if (clearPanel)
                lblpanel->setText(QString());
        },
        [&] { enableLending(); },
        [&] { imgLight->raise(); },
        [&] { imgLight2->raise(); },
    });
}

void Frmobjetos::showLoansReadable(bool readable)
{
    if (readable == !m_loansUnreadable)
        return;
    m_loansUnreadable = !readable;
    for (QLabel* lamp : {imgLight, imgBorrow, imgLight2, imgBorrow2})
        lamp->setVisible(readable);
    const QString why = readable ? QString()
                                 : QStringLiteral("Não foi possível ler os empréstimos deste objeto no arquivo da "
                                                  "coleção: não se sabe se ele está emprestado.");
    lblBorrow->setToolTip(why);
    lblborrow2->setToolTip(why);
    if (readable) {
        // The newest loan read now decides, as for a change of object.
        platform::guarded([&] { Text2_Change(); });
        return;
    }
    // The loans of the object shown could not be read: neither look would be
    // true, and lending could make a second open loan.
    const QString unreadable = QStringLiteral("Empréstimos ilegíveis");
    lblBorrow->setText(unreadable);
    lblborrow2->setText(unreadable);
    setTextColour(lblBorrow, 255);
    setTextColour(lblborrow2, 255);
    cmdEmprestar->setEnabled(false);
}

void Frmobjetos::Label1_Change()
{
    // Another borrower: the beep. A never lent object ("") changes nothing here.
    // With no object on screen there is no loan to show, whatever the loans
    // source holds (all loans, before an object points it at its own).
    const QString state = Text2->text();
    const bool noObject = Txtcod->text().isEmpty();
    if (state == db::kNotReturned && !noObject)
        showLent(LoanSound::Beep);
    else if (state == db::kReturned || noObject)
        showAvailable(false);
}

void Frmobjetos::Text2_Change()
{
    // The object went out or came back: the alarm when it went out. With no
    // object on screen there is no loan to show.
    const QString state = Text2->text();
    const bool noObject = Txtcod->text().isEmpty();
    if (state == db::kNotReturned && !noObject)
        showLent(LoanSound::Alarm);
    else if (state == db::kReturned || state.isEmpty() || noObject)
        showAvailable(true);
}

void Frmobjetos::Ring()
{
    // Played in the background; a missing file plays the desktop's sound.
    services().playSound(platform::pluginFolder() + QStringLiteral("/alarme.wav"));
}

void Frmobjetos::cmdEmprestar_Click()
{
    if (Txtcod->text().isEmpty()) {
        services().msgBox(QStringLiteral("Não há nenhum objeto cadastrado ou") + QStringLiteral("\r\n")
                              + QStringLiteral("O código deste registro foi apagado!"),
                          platform::OkOnly, platform::Exclamation);
        return;
    }
    services().setPointer(platform::Pointer::Hourglass);
    // The pointer comes back even when the loans window cannot start a loan.
    const auto pointerBack = qScopeGuard([] { services().setPointer(platform::Pointer::Default); });

    // Created and loaded on first reference, on the last loan of our code.
    forms::LoansLink* emprestimos = forms::loansWindow(forms::Reach::Create);
    // A loan typed there that cannot be stored keeps the loans window where
    // it is (it says why); the lending data must not land on that loan.
    emprestimos->startLoanOf({Txtcod->text(), Cmbobjeto->currentText(), txttítulo->text(), Txtautor->text()});
}

QString Frmobjetos::shownCode() const
{
    return Txtcod->text();
}

void Frmobjetos::followSavedLoan(const QString& code)
{
    // A catalogue window that was never loaded is left alone.
    if (!isLoaded())
        return;
    // An object typed here that cannot be stored keeps the catalogue as it is
    // (it has said why).
    if (!Data1->saveTypedValues())
        return;
    // The window may be closed by what its sources raise: each step asks
    // whether it is still there.
    const QPointer<Frmobjetos> self(this);
    skipFailing({
        [&] { Data2->setRecordSource(db::loansNewestFirst()); },
        [&] { Data2->refresh(); },
        [&] { use(self.data()).Data1->refresh(); },
        [&] { use(use(self.data()).Data1->recordset()).findFirst(db::objectOfSavedLoan(code)); },
        [&] {
            // The loan source ends on the loans of the object shown. When the
            // shown code did not change, nothing rewrote them yet.
            if (use(self.data()).Data2->recordSource() != db::pesquisaName())
                Txtcod_Change();
        },
    });
}

void Frmobjetos::ClarkTBButton2_Click(int Index)
{
    switch (Index) {
    case 0: {
        // The loans register as it is: nothing added, nothing filled.
        lblpanel->setText(QString());
        services().setPointer(platform::Pointer::Hourglass);
        const auto pointerBack = qScopeGuard([] { services().setPointer(platform::Pointer::Default); });
        forms::loansWindow(forms::Reach::Create)->Show();
        break;
    }
    case 1:
        services().endProcess();
        break;
    default:
        break;
    }
}

// ---------------------------------------------------------------------------
// Kind list

void Frmobjetos::Cmbobjeto_GotFocus()
{
    AbreCombo();
}

void Frmobjetos::AbreCombo()
{
    // Opened once the focus change is over, so the click that brought the
    // focus cannot fall on the freshly opened list; a click on the arrow has
    // opened it already.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (Cmbobjeto->hasFocus() && !Cmbobjeto->view()->isVisible())
                Cmbobjeto->showPopup();
        },
        Qt::QueuedConnection);
}

bool Frmobjetos::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Picture1 && event->type() == QEvent::Resize)
        platform::guarded([&] { AjustaImagem(); });
    return QMainWindow::eventFilter(watched, event);
}

void Frmobjetos::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    // Restoring from the minimised state lays the window out again.
    if (event->type() == QEvent::WindowStateChange) {
        auto* change = static_cast<QWindowStateChangeEvent*>(event);
        if ((change->oldState() & Qt::WindowMinimized) && !isMinimized())
            Form_Resize();
    }
}

}  // namespace ondrel::catalogue
