#include "Frmemprestimos.h"
#include "chrome/opencollection.h"

#include "binding/datacontrol.h"
#include "binding/recordsetmodel.h"
#include "collection/collection.h"
#include "collection/statements.h"
#include "core/valuetext.h"
#include "database/database.h"
#include "database/recordset.h"
#include "forms/formhelpers.h"
#include "forms/guard.h"
#include "forms/recordcommands.h"
#include "platform/pluginfolder.h"
#include "platform/services.h"
#include "widgets/limitedtextedit.h"
#include "widgets/picturebutton.h"
#include "widgets/resizer.h"
#include "widgets/toolbarbar.h"
#include "widgets/twips.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScopeGuard>
#include <QWindowStateChangeEvent>
#include <stdexcept>
#include <vector>

namespace ondrel::loans {

using platform::Failure;
using platform::fromBgr;
using platform::services;
using platform::skipFailing;
using platform::use;

namespace {

QString today()
{
    return db::formatDate(QDate::currentDate());
}

}  // namespace

QString returnNote(const QDate& day)
{
    return QStringLiteral("devolvido em ") + db::formatDate(day) + QStringLiteral("\r\n\r\n");
}

// ---------------------------------------------------------------------------
// Instance and lifecycle

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
    // The bound sources go before the widgets they fill.
    delete GridModel;
    GridModel = nullptr;
    delete Data1;
    Data1 = nullptr;
    delete Data2;
    Data2 = nullptr;
    forget(this);
}

void Frmemprestimos::Show()
{
    ensureLoaded();
    show();
    raise();
    activateWindow();
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

int Frmemprestimos::twipsToPixels(int twips) const
{
    return platform::twipsToPixels(twips, platform::logicalDpi(this));
}

int Frmemprestimos::pixelsToTwips(int pixels) const
{
    return platform::pixelsToTwips(pixels, platform::logicalDpi(this));
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
    for (QWidget* box : std::initializer_list<QWidget*>{Txtnome, Txtobjeto, mskdata, Txttítulo, Txtautor, Txtobs,
                                                         Combo1, Combo1->lineEdit()})
        box->installEventFilter(this);
    connectCommands();
    // The client area's resizes are the window's; the resize component,
    // installed after this, rescales the controls first.
    centralWidget()->installEventFilter(this);
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
        [&] { CaminhoBanco = db::databasePath(platform::pluginFolder()); },
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
        [&] { Resize1->setEnabled(true); },
        [&] { Resize1->InitResize(); },
        [&] { Resize1->SaveInitialPositions(); },
        [&] { showReturned(Combo1->currentText()); },
        [&] { Controles(); },
        [&] { services().setPointer(platform::Pointer::Default); },
    });
}

void Frmemprestimos::Form_Resize()
{
    if (isMinimized() || !ctbBar)
        return;
    // The resize component has rescaled the controls and the bars.
    platform::guarded([&] { Controles(); });
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

void Frmemprestimos::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) {
        auto* change = static_cast<QWindowStateChangeEvent*>(event);
        if ((change->oldState() & Qt::WindowMinimized) && !isMinimized())
            Form_Resize();
    }
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

// ---------------------------------------------------------------------------
// Edit modes

void Frmemprestimos::setEditingCommands(bool editing)
{
    forms::setEditingCommands({cmdNovo, mnunovo, cmdSalvar, mnusalvar, cmdEditar, mnueditar, cmdExcluir, mnuexcluir,
                               cmdCancelar, mnucancelar},
                              editing);
}

bool Frmemprestimos::checkTypedValues()
{
    if (!Txtnome->text().isEmpty())
        return true;
    skipFailing({[&] {
        services().msgBox(QStringLiteral("O Preenchimento do Campo NOME é necessário"), platform::OkOnly,
                          platform::Exclamation);
    }});
    return false;
}

void Frmemprestimos::matchCommandsToPending()
{
    const db::Recordset* loans = Data1->recordset();
    if (!cmdSalvar->isEnabled() || (loans && loans->editMode() != db::EditMode::None))
        return;
    setEditingCommands(false);
    Txtcod->setEnabled(false);
}

bool Frmemprestimos::startNewLoan()
{
    db::Recordset& loans = use(Data1->recordset());
    // A refused save can leave a pending new loan pending: the refusal
    // itself is what tells.
    bool refused = false;
    const QMetaObject::Connection watch =
        connect(Data1, &db::DataControl::saveRefused, this, [&refused] { refused = true; });
    const auto unwatch = qScopeGuard([&] { disconnect(watch); });
    loans.addNew();
    if (!refused && loans.editMode() == db::EditMode::Adding)
        return true;
    --TotalRegistros;  // counted by the validate event for an add that did not happen
    return false;
}

void Frmemprestimos::startLoanOf(const forms::LoanObject& object)
{
    if (!startNewLoan())
        return;
    Txtcod->setEnabled(true);
    Txtcod->setText(object.code);
    Txtnome->setText(QString());
    Txttítulo->setText(object.title);
    Txtautor->setText(object.author);
    mskdata->setText(today());
    Combo1->setEditText(db::kNotReturned);
    Txtobjeto->setText(object.kind);
    setEditingCommands(true);  // adding
    // The borrower's name is typed first.
    Show();
    Txtnome->setFocus();
}

void Frmemprestimos::cmdnovo_Click()
{
    // Error 3021 asks whether to go on; any other failure is passed over.
    const auto onError = [](const Failure& failure) {
        if (failure.number != db::ErrNoCurrentRecord)
            return true;
        return services().msgBox(QStringLiteral("Não existe nenhum objeto cadastrado !"), platform::OkCancel)
               != platform::ResultOk;
    };
    // The objects as they are now: one catalogued since the window opened
    // counts.
    skipFailing({[&] { Data2->refresh(); }});
    if (Txttítuloclone->text().isEmpty()) {
        // The object row Data2 stands on has no title: nothing to lend.
        services().msgBox(QStringLiteral("Não há nenhum objeto cadastrado"), platform::OkOnly, platform::Exclamation);
        return;
    }
    bool started = true;
    if (!platform::trapOrStop(onError, {[&] { started = startNewLoan(); }}) || !started)
        return;  // still on the loan that was shown, in its own mode
    platform::trapOrStop(
        onError,
        {
            [&] {
                Txtcod->setEnabled(true);
                Txtcod->setText(QString());
                Txtcod->setFocus();
            },
            [&] { Combo1->setEditText(db::kNotReturned); },
            [&] { mskdata->setText(today()); },
            [&] { setEditingCommands(true); },
        });
}

void Frmemprestimos::Cmdeditar_Click()
{
    platform::guarded([&] {
        Txtcod->setEnabled(true);
        if (!Txttítulo->text().isEmpty()) {
            use(Data1->recordset()).edit();
            setEditingCommands(true);
            Txtcod->setFocus();
            Editando = true;
        } else {
            services().msgBox(QStringLiteral(" Não há registro corrente!"));
        }
    });
}

void Frmemprestimos::Cmdcancelar_Click()
{
    platform::trapResume([](const Failure&) { services().msgBox(QStringLiteral("Impossível Cancelar esta Operação!")); },
                         {
                             [&] { use(Data1->recordset()).cancelUpdate(); },
                             [&] { setEditingCommands(false); },
                             [&] { Txtcod->setEnabled(false); },
                         });
}

void Frmemprestimos::mnunovo_Click()
{
    cmdnovo_Click();
}

void Frmemprestimos::mnueditar_Click()
{
    Cmdeditar_Click();
}

void Frmemprestimos::mnucancelar_Click()
{
    Cmdcancelar_Click();
}

void Frmemprestimos::mnusalvar_Click()
{
    Cmdsalvar_Click();
}

void Frmemprestimos::mnuexcluir_Click()
{
    Cmdexcluir_Click();
}

// ---------------------------------------------------------------------------
// Save, delete and lookup

void Frmemprestimos::Cmdsalvar_Click()
{
    if (!checkTypedValues()) {
        skipFailing({[&] { setEditingCommands(true); }});
        return;
    }

    // What the return note changes, so a refused save can put it back.
    const QString formerRemarks = Txtobs->toPlainText();
    const bool formerEditando = Editando;
    bool noteWritten = false;
    // The object of the loan being saved, for the catalogue to show.
    const QString savedCode = Txtcod->text();

    skipFailing({[&] {
        if (Editando && Combo1->currentText() == db::kReturned) {
            QString note = returnNote(QDate::currentDate());
            note.replace(QLatin1String("\r\n"), QLatin1String("\n"));  // the box's own line ends
            Txtobs->setPlainText(note + formerRemarks);
            noteWritten = true;
            Editando = false;
        }
    }});

    try {
        use(Data1->recordset()).update();
    } catch (...) {
        const Failure failure = platform::currentFailure();
        const db::Recordset* loans = Data1->recordset();
        if (loans && loans->editMode() != db::EditMode::None) {
            // The engine refused the pending loan: say why, put the remarks
            // and the flag back and leave the loan open for correction.
            platform::reportFailure(failure);
            if (noteWritten)
                Txtobs->setPlainText(formerRemarks);
            Editando = formerEditando;
            return;
        }
        // Nothing was pending (the menu before the first command): go on.
    }

    skipFailing({
        [&] { use(Data1->recordset()).moveFirst(); },
        [&] { use(Data1->recordset()).moveLast(); },
        [&] {
            // A catalogue window that was closed is left alone.
            if (forms::CatalogueLink* objects = forms::catalogueWindow(forms::Reach::Existing))
                objects->followSavedLoan(savedCode);
        },
        [&] { setEditingCommands(false); },
        [&] { Txtcod->setEnabled(false); },
    });
}

void Frmemprestimos::Cmdexcluir_Click()
{
    bool confirmed = false;
    skipFailing({[&] { confirmed = forms::confirmDelete(); }});
    if (!confirmed)
        return;
    skipFailing({
        [&] { use(Data1->recordset()).deleteRecord(); },
        [&] { forms::moveWithin(*Data1, forms::Direction::Next, forms::AtEnd::StepBack); },
    });
}

void Frmemprestimos::Txtcod_LostFocus()
{
    // The objects as they are now, so one catalogued since the window opened
    // is found. A code no object has is accepted with an empty kind, title
    // and author: never those of the object looked up before.
    bool found = false;
    skipFailing({
        [&] { Data2->refresh(); },
        [&] {
            db::Recordset& objects = use(Data2->recordset());
            objects.findFirst(db::objectWithCode(Txtcod->text()));
            found = !objects.noMatch();
        },
        [&] { Txtobjeto->setText(found ? Txtobjetoclone->text() : QString()); },
        [&] { Txttítulo->setText(found ? Txttítuloclone->text() : QString()); },
        [&] { Txtautor->setText(found ? Txtautorclone->text() : QString()); },
        [&] {
            const QString code = Txtcod->text();
            if (code == QStringLiteral("0") || code.isEmpty()) {
                services().msgBox(QStringLiteral("É Necessário Digitar o Código !"), platform::OkOnly,
                                  platform::Exclamation);
                Txtcod->setFocus();
            }
        },
    });
}

// ---------------------------------------------------------------------------
// Returned indicator, counter and total

void Frmemprestimos::showReturned(const QString& text)
{
    int background = 0;
    int foreground = 0;
    if (text.isEmpty() || text == db::kReturned) {
        imgLight1->raise();
        background = 16777215;
        foreground = 0;
    } else if (text == db::kNotReturned) {
        imglight2->raise();
        background = 0;
        foreground = 255;
    } else {
        return;  // any other text leaves the indicator as it is
    }
    QPalette palette = Combo1->palette();
    for (const QPalette::ColorRole role : {QPalette::Base, QPalette::Window, QPalette::Button})
        palette.setColor(role, fromBgr(background));
    for (const QPalette::ColorRole role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText})
        palette.setColor(role, fromBgr(foreground));
    Combo1->setPalette(palette);
}

void Frmemprestimos::Combo1_Change()
{
    showReturned(Combo1->currentText());
}

void Frmemprestimos::Data1_Reposition()
{
    skipFailing({
        [&] {
            // The loans in the file now, whoever wrote them, and a new one
            // while it is pending.
            const bool adding = use(Data1->recordset()).editMode() == db::EditMode::Adding;
            TotalRegistros = use(BancoDados).countRecords(QStringLiteral("empréstimos")) + (adding ? 1 : 0);
        },
        [&] {
            const db::Recordset& loans = use(Data1->recordset());
            Data1->setCaption(db::counterText(loans.absolutePosition() + 1, TotalRegistros));
        },
    });
}

void Frmemprestimos::Data1_Validate(int action)
{
    TotalRegistros += forms::countChange(action);
}

}  // namespace ondrel::loans
