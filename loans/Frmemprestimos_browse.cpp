// Browsing the loans: which loans are listed and in which order, and the
// moves through them.
#include "Frmemprestimos.h"

#include "binding/datacontrol.h"
#include "chrome/chrome.h"
#include "chrome/quickfind.h"
#include "collection/statements.h"
#include "database/recordset.h"
#include "forms/guard.h"
#include "forms/menubuilder.h"
#include "forms/recordcommands.h"
#include "widgets/picturebutton.h"

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QMenu>

namespace ondrel::loans {

using platform::skipFailing;

// ---------------------------------------------------------------------------
// Views and order

bool Frmemprestimos::showLoans(const QString& statement)
{
    if (!Data1->saveTypedValues())
        return false;
    Data1->setRecordSource(statement);
    Data1->refresh();
    return true;
}

void Frmemprestimos::showOrder(const QString& statement, QAction* chosen)
{
    if (!showLoans(statement)) {
        platform::undoToggle(chosen, {mnuordcod, mnuordnome, mnuordtitulo, mnudata});
        return;
    }
    for (QAction* item : {mnuordcod, mnuordnome, mnuordtitulo, mnudata})
        item->setChecked(item == chosen);
}

void Frmemprestimos::mnutodos_Click()
{
    if (showLoans(db::loansNewestFirst()))
        mnuordenar->setEnabled(true);
}

void Frmemprestimos::mnuemprestados_Click()
{
    if (showLoans(db::loansNotReturned()))
        mnuordenar->setEnabled(false);
}

void Frmemprestimos::mnuordcod_Click()
{
    showOrder(db::loansOrderedBy(QStringLiteral("cod")), mnuordcod);
}

void Frmemprestimos::mnuordtitulo_Click()
{
    showOrder(db::loansOrderedBy(QStringLiteral("título")), mnuordtitulo);
}

void Frmemprestimos::mnuordnome_Click()
{
    showOrder(db::loansOrderedBy(QStringLiteral("nome")), mnuordnome);
}

void Frmemprestimos::mnudata_Click()
{
    showOrder(db::loansNewestFirst(), mnudata);
}

// ---------------------------------------------------------------------------
// Moves

void Frmemprestimos::sscommand1_Click(int Index)
{
    switch (Index) {
    case 0:
        forms::moveWithin(*Data1, forms::Direction::Next, forms::AtEnd::MoveToEnd);
        break;
    case 1:
        forms::moveWithin(*Data1, forms::Direction::Previous, forms::AtEnd::MoveToEnd);
        break;
    default:
        break;
    }
}

void Frmemprestimos::mnuanterior_Click()
{
    sscommand1_Click(1);
}

void Frmemprestimos::mnuproximo_Click()
{
    sscommand1_Click(0);
}

}  // namespace ondrel::loans
