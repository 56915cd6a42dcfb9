// Editing the loans: the record commands and their states, the start of a
// loan for the catalogue, saving with the return note, deleting, the lookup
// of the typed code, the returned indicator and the counter.
#include "Frmemprestimos.h"

#include "binding/datacontrol.h"
#include "collection/collection.h"
#include "collection/duedates.h"
#include "collection/statements.h"
#include "core/valuetext.h"
#include "database/database.h"
#include "database/recordset.h"
#include "forms/formhelpers.h"
#include "forms/guard.h"
#include "forms/recordcommands.h"
#include "platform/services.h"
#include "widgets/limitedtextedit.h"
#include "widgets/picturebutton.h"

#include <QAction>
#include <QComboBox>
#include <QDate>
#include <QLabel>
#include <QLineEdit>
#include <QScopeGuard>

namespace ondrel::loans {

using platform::Failure;
using platform::fromBgr;
using platform::services;
using platform::skipFailing;
using platform::use;

namespace {

QString today()
{
    return db::formatDate(services().today());
}

}  // namespace

QString returnNote(const QDate& day)
{
    return QStringLiteral("devolvido em ") + db::formatDate(day) + QStringLiteral("\r\n\r\n");
}

db::DueRule Frmemprestimos::dueRule() const
{
    return db::dueRuleOf(use(BancoDados), services().today());
}

QString Frmemprestimos::defaultDueDate() const
{
    const db::DueRule rule = dueRule();
    return rule.prazoKept ? db::formatDate(rule.today.addDays(rule.period)) : QString();
}

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
    // Stored only while the object's latest loan is not out, checked as it
    // is stored: another desk may have lent it meanwhile.
    skipFailing({[&] { use(Data1->recordset()).checkInsert(db::lendingCheck()); }});
    Txtcod->setEnabled(true);
    Txtcod->setText(object.code);
    Txtnome->setText(QString());
    Txttítulo->setText(object.title);
    Txtautor->setText(object.author);
    mskdata->setText(today());
    skipFailing({[&] { mskprazo->setText(defaultDueDate()); }});
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
            [&] { mskprazo->setText(defaultDueDate()); },
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
            QString note = returnNote(services().today());
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
    // A loan another desk deleted first is said so, and left like a deleted one.
    const std::optional<Failure> refused = skipFailing({[&] { use(Data1->recordset()).deleteRecord(); }});
    if (refused && refused->number == db::ErrRecordDeleted)
        services().msgBox(refused->description, platform::OkOnly, platform::Exclamation);
    skipFailing({[&] { forms::moveWithin(*Data1, forms::Direction::Next, forms::AtEnd::StepBack); }});
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
        [&] { TotalRegistros = forms::countRecordsNow(*Data1, use(BancoDados), QStringLiteral("empréstimos")); },
        [&] { forms::showRecordCounter(*Data1, TotalRegistros); },
    });
}

void Frmemprestimos::Data1_Validate(int action)
{
    TotalRegistros += forms::countChange(action);
}

}  // namespace ondrel::loans
