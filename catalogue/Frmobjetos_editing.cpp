// Editing the catalogue: the record commands and their states, the checks
// and refusals of a save, the counter, the value display and the kind list.
#include "Frmobjetos.h"

#include "binding/datacontrol.h"
#include "core/valuetext.h"
#include "database/database.h"
#include "database/recordset.h"
#include "forms/guard.h"
#include "forms/recordcommands.h"
#include "platform/services.h"
#include "widgets/maskedbox.h"
#include "widgets/picturebutton.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QDate>
#include <QLabel>
#include <QLineEdit>
#include <optional>

namespace ondrel::catalogue {

using platform::services;
using platform::skipFailing;
using platform::trapResume;
using platform::use;

const QStringList& objectKinds()
{
    static const QStringList kinds = {
        QStringLiteral("Livro"),        QStringLiteral("Revista"),       QStringLiteral("Documento"),
        QStringLiteral("Manuscrito"),   QStringLiteral("DVD"),           QStringLiteral("Disco (Vinil)"),
        QStringLiteral("Disco (CD)"),   QStringLiteral("Fita Áudio"),    QStringLiteral("Fita Vídeo"),
        QStringLiteral("Disquete"),     QStringLiteral("CD-Rom"),        QStringLiteral("Game"),
        QStringLiteral("Ferramenta"),   QStringLiteral("Instrumento"),   QStringLiteral("Decoração"),
        QStringLiteral("Móveis&Utens."), QStringLiteral("Veículo"),      QStringLiteral("Imóvel"),
        QStringLiteral("Outros"),
    };
    return kinds;
}

void Frmobjetos::Data1_Reposition()
{
    skipFailing({
        [&] { TotalRegistros = forms::countRecordsNow(*Data1, use(BancoDados), QStringLiteral("objetos")); },
        [&] { forms::showRecordCounter(*Data1, TotalRegistros); },
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
    const QString formatted = db::currencyDisplay(shown);
    if (formatted != shown)
        Text1->setText(formatted);  // raises this handler once more, which leaves it as it is
}

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
    // An object another desk deleted first is said so, and left like a
    // deleted one.
    if (refused && refused->number == db::ErrRecordDeleted) {
        tellRefusal(*refused);
    } else if (refused && refused->number != 0 && refused->number != db::ErrNoCurrentRecord) {
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

}  // namespace ondrel::catalogue
