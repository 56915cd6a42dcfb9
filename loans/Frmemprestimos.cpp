// The loans window: its construction, its start-up (Form_Initialize,
// Form_Load), unloading and closing, and the wiring of its controls to their
// handlers.
#include "Frmemprestimos.h"

#include "binding/datacontrol.h"
#include "binding/recordsetmodel.h"
#include "chrome/chrome.h"
#include "chrome/opencollection.h"
#include "collection/collection.h"
#include "collection/duedates.h"
#include "collection/places.h"
#include "collection/statements.h"
#include "database/database.h"
#include "database/recordset.h"
#include "forms/formhelpers.h"
#include "forms/guard.h"
#include "forms/recordwindow.h"
#include "platform/services.h"
#include "platform/windowfont.h"
#include "widgets/limitedtextedit.h"
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

namespace ondrel::loans {

using platform::Failure;
using platform::named;
using platform::services;
using platform::skipFailing;
using platform::use;

// ---------------------------------------------------------------------------
// Construction and lifecycle

Frmemprestimos::Frmemprestimos() : QMainWindow(nullptr)
{
    setObjectName(QStringLiteral("Frmemprestimos"));
    setWindowTitle(QStringLiteral("Empréstimos"));
    platform::useWindowLook(this);
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);

    Data1 = named(new db::DataControl(this), QStringLiteral("Data1"));
    Data1->setRecordSource(db::allLoans());
    Data1->setCaption(QStringLiteral("Data1"));
    Data2 = named(new db::DataControl(this), QStringLiteral("Data2"));
    Data2->setRecordSource(db::objectsForLookup());
    Data2->setCaption(QStringLiteral("Data2"));
    Data2->setReadOnly(true);
    Resize1 = named(new platform::Resizer(this), QStringLiteral("Resize1"));

    buildToolbars();
    buildRecordBoxes();
    buildGrid();
    buildMenus();
    bindFields();
    connectHandlers();

    // The bars grow and shrink with the window, their buttons with them.
    for (QWidget* container : {client, static_cast<QWidget*>(ctbBar), static_cast<QWidget*>(ctbBar2)})
        Resize1->addContainer(container);
    forms::sizeRecordWindow(this, ctbBar, ctbBar2);
}

Frmemprestimos* Frmemprestimos::instance()
{
    const bool first = !existing();
    Frmemprestimos* window = SingleWindow::instance();
    if (first)
        window->Form_Initialize();
    window->ensureLoaded();
    return window;
}

Frmemprestimos::~Frmemprestimos()
{
    forms::deleteBoundSources(GridModel, Data1, Data2);
    forget(this);
}

void Frmemprestimos::Show()
{
    ensureLoaded();
    forms::bringToFront(this);
}

bool Frmemprestimos::isLoaded() const
{
    return m_loaded;
}

void Frmemprestimos::ensureLoaded()
{
    if (m_loaded)
        return;
    Form_Load();
    // The record sources open once the window is loaded; the first loan
    // becomes current.
    skipFailing({
        [&] { Data1->refresh(); },
        [&] { Data2->refresh(); },
    });
}

void Frmemprestimos::connectHandlers()
{
    // The record commands trap their own failures; anything else a handler
    // lets escape is shown and the window goes on.
    using platform::connectGuarded;
    connectGuarded(cmdNovo, &QToolButton::clicked, this, &Frmemprestimos::cmdnovo_Click);
    connectGuarded(cmdSalvar, &QToolButton::clicked, this, &Frmemprestimos::Cmdsalvar_Click);
    connectGuarded(cmdEditar, &QToolButton::clicked, this, &Frmemprestimos::Cmdeditar_Click);
    connectGuarded(cmdExcluir, &QToolButton::clicked, this, &Frmemprestimos::Cmdexcluir_Click);
    connectGuarded(cmdCancelar, &QToolButton::clicked, this, &Frmemprestimos::Cmdcancelar_Click);
    connectGuarded(mnunovo, &QAction::triggered, this, &Frmemprestimos::mnunovo_Click);
    connectGuarded(mnusalvar, &QAction::triggered, this, &Frmemprestimos::mnusalvar_Click);
    connectGuarded(mnueditar, &QAction::triggered, this, &Frmemprestimos::mnueditar_Click);
    connectGuarded(mnuexcluir, &QAction::triggered, this, &Frmemprestimos::mnuexcluir_Click);
    connectGuarded(mnucancelar, &QAction::triggered, this, &Frmemprestimos::mnucancelar_Click);
    connect(Combo1, &QComboBox::editTextChanged, this, [this] { Combo1_Change(); });
    connect(Data1, &db::DataControl::reposition, this, [this] {
        Data1_Reposition();
        matchCommandsToPending();
    });
    Data1->setSaveCheck([this] { return checkTypedValues(); });
    connect(Data1, &db::DataControl::validate, this, [this](int action) { Data1_Validate(action); });
    connect(Data1, &db::DataControl::captionChanged, lblRegistro, &QLabel::setText);
    // An automatic save the engine refused: the typed values stay on screen.
    connect(Data1, &db::DataControl::saveRefused, this,
            [](const QString& description) { platform::reportFailure(Failure{0, description}); });
    Txtcod->installEventFilter(this);
    // The menu keys (Ctrl+A, Ctrl+P) move through the loans even while a box
    // that knows the same keys has the focus.
    for (QWidget* box : std::initializer_list<QWidget*>{Txtnome, Txtobjeto, mskdata, mskprazo, Txttítulo, Txtautor, Txtobs,
                                                         Combo1, Combo1->lineEdit()})
        box->installEventFilter(this);
    connectCommands();
    // The client area's resizes are the window's; the resize component,
    // installed after this, rescales the controls first.
    centralWidget()->installEventFilter(this);
}

void Frmemprestimos::bindFields()
{
    Data1->bind(Txtcod, QStringLiteral("codobjeto"));
    Data1->bind(Combo1, QStringLiteral("Entregue"));
    Data1->bind(Txtnome, QStringLiteral("Nome"));
    Data1->bind(Txtobjeto, QStringLiteral("objeto"));
    Data1->bind(mskdata, QStringLiteral("Data"));
    Data1->bind(mskprazo, QStringLiteral("prazo"));
    Data1->bind(Txttítulo, QStringLiteral("Título"));
    Data1->bind(Txtautor, QStringLiteral("Autor"));
    Data1->bind(Txtobs, QStringLiteral("observações"));
    Data2->bind(Txtobjetoclone, QStringLiteral("objeto"), db::BindMode::DisplayOnly);
    Data2->bind(Txtautorclone, QStringLiteral("Autor"), db::BindMode::DisplayOnly);
    Data2->bind(Txttítuloclone, QStringLiteral("Título"), db::BindMode::DisplayOnly);
}

void Frmemprestimos::connectCommands()
{
    using platform::connectGuarded;
    connectGuarded(mnutodos, &QAction::triggered, this, &Frmemprestimos::mnutodos_Click);
    connectGuarded(mnuemprestados, &QAction::triggered, this, &Frmemprestimos::mnuemprestados_Click);
    connectGuarded(mnuatrasados, &QAction::triggered, this, &Frmemprestimos::mnuatrasados_Click);
    connectGuarded(mnuprazo, &QAction::triggered, this, &Frmemprestimos::mnuprazo_Click);
    connectGuarded(mnuordcod, &QAction::triggered, this, &Frmemprestimos::mnuordcod_Click);
    connectGuarded(mnuordtitulo, &QAction::triggered, this, &Frmemprestimos::mnuordtitulo_Click);
    connectGuarded(mnuordnome, &QAction::triggered, this, &Frmemprestimos::mnuordnome_Click);
    connectGuarded(mnudata, &QAction::triggered, this, &Frmemprestimos::mnudata_Click);
    connectGuarded(mnuprocurar, &QAction::triggered, this, &Frmemprestimos::mnuprocurar_Click);
    connectGuarded(mnupesquisa, &QAction::triggered, this, &Frmemprestimos::mnupesquisa_Click);
    connectGuarded(mnufecharpesquisa, &QAction::triggered, this, &Frmemprestimos::mnufecharpesquisa_Click);
    connectGuarded(mnuanterior, &QAction::triggered, this, &Frmemprestimos::mnuanterior_Click);
    connectGuarded(mnuproximo, &QAction::triggered, this, &Frmemprestimos::mnuproximo_Click);
    connectGuarded(mnusair, &QAction::triggered, this, &Frmemprestimos::mnusair_Click);
    connectGuarded(mnuhelp, &QAction::triggered, this, &Frmemprestimos::mnuhelp_Click);
    // "&Sobre" has no command.
    connectGuarded(cmdSeleciona, &QToolButton::clicked, this, &Frmemprestimos::cmdSeleciona_Click);
    connectGuarded(cmdFechar, &QToolButton::clicked, this, &Frmemprestimos::cmdFechar_Click);
    connectGuarded(cmdHome, &QToolButton::clicked, this, &Frmemprestimos::cmdHome_Click);
    connectGuarded(ctbajuda, &QToolButton::clicked, this, &Frmemprestimos::ctbajuda_Click);
    for (int i = 0; i < 2; ++i) {
        connectGuarded(sscommand1[i], &QToolButton::clicked, this, [this, i] { sscommand1_Click(i); });
        connectGuarded(ClarkTBButton2[i], &QToolButton::clicked, this, [this, i] { ClarkTBButton2_Click(i); });
    }

    // What the picture buttons mean, in the status label while the mouse is
    // over them.
    chrome::showHoverText(ClarkTBButton2[0], lblpanel, QStringLiteral("Tela Objetos"));
    chrome::showHoverText(ClarkTBButton2[1], lblpanel, QStringLiteral("Fechar"));
    chrome::showHoverText(cmdSeleciona, lblpanel, QStringLiteral("Pesquisar..."));
    chrome::showHoverText(cmdFechar, lblpanel, QStringLiteral("Fechar Pesquisa"));
    chrome::showHoverText(sscommand1[0], lblpanel, QStringLiteral("Próximo Registro"));
    chrome::showHoverText(sscommand1[1], lblpanel, QStringLiteral("Registro Anterior"));
    chrome::showHoverText(ctbajuda, lblpanel, QStringLiteral("Ajuda"));
    connect(cmdHome, &platform::ToolbarButton::mouseEnter, this, [this] { cmdHome_MouseEnter(); });
    connect(cmdHome, &platform::ToolbarButton::mouseExit, this, [this] { cmdHome_MouseExit(); });
    chrome::installHelpKey(this, QString::fromLatin1(chrome::kLoansHelpPage));
}

void Frmemprestimos::Form_Initialize()
{
    // The code of the object the catalogue shows, read once.
    const forms::CatalogueLink* objects = forms::catalogueWindow(forms::Reach::Existing);
    const QString code = objects ? objects->shownCode() : QString();
    const QString criteria = db::loansOfObjectCriteria(code);
    // Referring to Data1 loads the window and opens its record source.
    ensureLoaded();
    // Without a database there is no record set to search: nothing to do.
    if (db::Recordset* loans = Data1->recordset())
        platform::guarded([&] { loans->findLast(criteria); });
}

void Frmemprestimos::Form_Load()
{
    m_loaded = true;
    skipFailing({
        [&] { services().setPointer(platform::Pointer::Hourglass); },
        [&] { Editando = false; },
        [&] { CaminhoBanco = db::collectionLocation(); },
        [&] { BancoDados = chrome::openCollection(CaminhoBanco); },
        [&] { TabEmprestimos = use(BancoDados).openRecordset(QStringLiteral("empréstimos"), db::RecordsetType::Dynaset); },
        [&] { Data1->setDatabaseName(CaminhoBanco); },
        [&] { Data2->setDatabaseName(CaminhoBanco); },
        // The sources reach the password-protected file through our handle.
        [&] { Data1->setDatabase(BancoDados); },
        [&] { Data2->setDatabase(BancoDados); },
        [&] {
            if (use(TabEmprestimos).recordCount() >= 1)
                skipFailing({[&] { TabEmprestimos->moveLast(); }, [&] { TabEmprestimos->moveFirst(); }});
        },
        [&] { TotalRegistros = use(TabEmprestimos).recordCount(); },
        // A read-only file made before the due dates has none to show.
        [&] { mskprazo->setEnabled(dueRule().prazoKept); },
        [&] { Resize1->setEnabled(true); },
        [&] { Resize1->InitResize(); },
        [&] { Resize1->SaveInitialPositions(); },
        [&] { showReturned(Combo1->currentText()); },
        [&] { Controles(); },
        [&] { watchOtherDesks(); },
        [&] { services().setPointer(platform::Pointer::Default); },
    });
}

void Frmemprestimos::Form_Unload()
{
    // Nothing stays pending: an addition or edit in progress is dropped and
    // whatever was typed is forgotten, then the window lets go of its data.
    skipFailing({
        [&] {
            db::Recordset& loans = use(Data1->recordset());
            if (loans.editMode() != db::EditMode::None)
                loans.cancelUpdate();
        },
        [&] { Data1->refillBoundWidgets(); },
        [&] { Data1->setRecordset(nullptr); },
        [&] { Data2->setRecordset(nullptr); },
        [&] { use(BancoDados).whenOthersChange({}); },
    });
    TabEmprestimos.reset();
    BancoDados.reset();
    Data1->setCaption(QStringLiteral("Data1"));
    Resize1->setEnabled(false);
    restoreInitialState();
    m_loaded = false;
}

void Frmemprestimos::closeEvent(QCloseEvent* event)
{
    QMainWindow::closeEvent(event);
    if (event->isAccepted() && m_loaded)
        Form_Unload();
}

bool Frmemprestimos::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Txtcod && event->type() == QEvent::FocusOut) {
        // Only the focus really moving to another control counts: a menu,
        // another window or a message box taking it for a moment does not,
        // nor the box being disabled by a command while it had the focus.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        const bool toAnotherControl = reason == Qt::MouseFocusReason || reason == Qt::TabFocusReason
                                      || reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason
                                      || reason == Qt::OtherFocusReason;
        if (toAnotherControl && Txtcod->isEnabled() && m_loaded)
            Txtcod_LostFocus();
    } else if (event->type() == QEvent::ShortcutOverride && watched->isWidgetType()) {
        // Left unaccepted, the key goes to the menu item that carries it.
        const auto* key = static_cast<QKeyEvent*>(event);
        const QKeySequence pressed(key->keyCombination());
        if (pressed == mnuanterior->shortcut() || pressed == mnuproximo->shortcut()) {
            event->ignore();
            return true;
        }
    } else if (watched == centralWidget() && event->type() == QEvent::Resize) {
        Form_Resize();
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace ondrel::loans
