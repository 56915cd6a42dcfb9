// The catalogue window: its construction, its start-up (Form_Load) and
// closing, and the wiring of its controls to their handlers.
#include "Frmobjetos.h"
#include "listing.h"

#include "binding/datacontrol.h"
#include "binding/recordsetmodel.h"
#include "chrome/chrome.h"
#include "chrome/opencollection.h"
#include "collection/collection.h"
#include "collection/places.h"
#include "collection/statements.h"
#include "database/database.h"
#include "database/recordset.h"
#include "forms/guard.h"
#include "forms/recordwindow.h"
#include "platform/reportprinter.h"
#include "platform/services.h"
#include "platform/windowfont.h"
#include "widgets/limitedtextedit.h"
#include "widgets/maskedbox.h"
#include "widgets/picturebutton.h"
#include "widgets/resizer.h"
#include "widgets/toolbarbar.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <functional>

namespace ondrel::catalogue {

using platform::services;
using platform::skipFailing;
using platform::use;

namespace {

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

// The menu shortcuts Ctrl+A and Ctrl+P move through the catalogue wherever
// the focus is: a text box does not keep them for itself (select all).
class MenuKeysFirst : public QObject {
public:
    MenuKeysFirst(QObject* parent, QList<QKeySequence> keys) : QObject(parent), m_keys(std::move(keys)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::ShortcutOverride) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (m_keys.contains(QKeySequence(key->keyCombination())))
                return true;  // not claimed by the box: the menu item runs
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QList<QKeySequence> m_keys;
};

}  // namespace

Frmobjetos::Frmobjetos() : QMainWindow(nullptr)
{
    setObjectName(QStringLiteral("Frmobjetos"));
    setWindowTitle(QStringLiteral("Objetos"));
    setAttribute(Qt::WA_DeleteOnClose);
    platform::useWindowLook(this);
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
    forms::deleteBoundSources(GridModel, Data1, Data2);
    forget(this);
}

void Frmobjetos::Show()
{
    if (!m_loaded)
        Form_Load();
    forms::bringToFront(this);
}

bool Frmobjetos::isLoaded() const
{
    return m_loaded;
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
    // Another loan, even of the same borrower and state: how late it is.
    connect(Data2, &db::DataControl::reposition, this, [this] { platform::skipFailing({[&] { showLateness(); }}); });

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

void Frmobjetos::connectCommands()
{
    // An error a handler lets escape is shown and the window goes on.
    using platform::connectGuarded;
    for (int index = 0; index < static_cast<int>(sscommand1.size()); ++index)
        connectGuarded(sscommand1[static_cast<std::size_t>(index)], &QToolButton::clicked, this,
                       [this, index] { sscommand1_Click(index); });
    auto* menuKeys = new MenuKeysFirst(this, {mnuanterior->shortcut(), mnuproximo->shortcut()});
    for (QWidget* child : findChildren<QWidget*>())
        if (child->focusPolicy() != Qt::NoFocus)
            child->installEventFilter(menuKeys);
    connectGuarded(mnuanterior, &QAction::triggered, this, &Frmobjetos::mnuanterior_Click);
    connectGuarded(mnuproximo, &QAction::triggered, this, &Frmobjetos::mnuproximo_Click);
    connectGuarded(mnuordcod, &QAction::triggered, this, &Frmobjetos::mnuordcod_Click);
    connectGuarded(mnuordtitulo, &QAction::triggered, this, &Frmobjetos::mnuordtitulo_Click);
    connectGuarded(mnuordautor, &QAction::triggered, this, &Frmobjetos::mnuordautor_Click);
    connectGuarded(mnuordassunto, &QAction::triggered, this, &Frmobjetos::mnuordassunto_Click);
    connectGuarded(mnuprocurar, &QAction::triggered, this, &Frmobjetos::mnuprocurar_Click);
    connectGuarded(cmdSeleciona, &QToolButton::clicked, this, &Frmobjetos::cmdSeleciona_Click);
    connectGuarded(mnupesquisar, &QAction::triggered, this, &Frmobjetos::mnupesquisar_Click);
    connectGuarded(cmdFechar, &QToolButton::clicked, this, &Frmobjetos::cmdFechar_Click);
    connectGuarded(mnufecharpesquisa, &QAction::triggered, this, &Frmobjetos::mnufecharpesquisa_Click);
    connectGuarded(ctbImagem, &QToolButton::clicked, this, &Frmobjetos::ctbImagem_Click);
    connectGuarded(ctbApagImagem, &QToolButton::clicked, this, &Frmobjetos::ctbApagImagem_Click);
    connectGuarded(mnuprint, &QAction::triggered, this, &Frmobjetos::mnuprint_Click);
    connectGuarded(cmdPrint, &QToolButton::clicked, this, &Frmobjetos::cmdPrint_Click);
    connectGuarded(cmdHome, &QToolButton::clicked, this, &Frmobjetos::cmdHome_Click);
    connectGuarded(ctbajuda, &QToolButton::clicked, this, &Frmobjetos::ctbajuda_Click);
    connectGuarded(mnuajuda, &QAction::triggered, this, &Frmobjetos::mnuajuda_Click);
    connectGuarded(mnusobre, &QAction::triggered, this, &Frmobjetos::mnusobre_Click);
}

void Frmobjetos::connectChrome()
{
    // Picture-only buttons: their meaning in the status label while the
    // mouse is over them.
    chrome::showHoverText(ClarkTBButton2[0], lblpanel, QStringLiteral("Controle de Empréstimos"));
    chrome::showHoverText(ClarkTBButton2[1], lblpanel, QStringLiteral("Fechar"));
    chrome::showHoverText(cmdSeleciona, lblpanel, QStringLiteral("Pesquisa..."));
    chrome::showHoverText(cmdFechar, lblpanel, QStringLiteral("Fechar Pesquisa"));
    for (std::size_t i : {0u, 2u})
        chrome::showHoverText(sscommand1[i], lblpanel, QStringLiteral("Registro Anterior"));
    for (std::size_t i : {1u, 3u})
        chrome::showHoverText(sscommand1[i], lblpanel, QStringLiteral("Próximo Registro"));
    chrome::showHoverText(cmdPrint, lblpanel, QStringLiteral("Imprime Listagem"));
    chrome::showHoverText(ctbImagem, lblpanel, QStringLiteral("Inserir Imagem"));
    chrome::showHoverText(ctbApagImagem, lblpanel, QStringLiteral("Excluir Imagem"));
    chrome::showHoverText(ctbajuda, lblpanel, QStringLiteral("Ajuda"));
    connect(cmdHome, &platform::ToolbarButton::mouseEnter, this, [this] { cmdHome_MouseEnter(); });
    connect(cmdHome, &platform::ToolbarButton::mouseExit, this, [this] { cmdHome_MouseExit(); });
    connect(cmdEmprestar, &platform::ToolbarButton::mouseEnter, this, [this] { cmdEmprestar_MouseEnter(); });
    connect(cmdEmprestar, &platform::ToolbarButton::mouseExit, this, [this] { cmdEmprestar_MouseExit(); });
    // F1 anywhere in the window opens the catalogue's help page.
    chrome::installHelpKey(this, QString::fromLatin1(chrome::kCatalogueHelpPage));
}

// ---------------------------------------------------------------------------
// Start-up and closing

void Frmobjetos::Form_Load()
{
    m_loaded = true;
    skipFailing({
        [&] { services().setPointer(platform::Pointer::Hourglass); },
        [&] { CaminhoBanco = db::collectionLocation(); },
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
        [&] { watchOtherDesks(); },
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

}  // namespace ondrel::catalogue
