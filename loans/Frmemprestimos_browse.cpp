// Browsing the loans: which loans are listed and in which order, and the
// moves through them.
#include "Frmemprestimos.h"

#include "binding/datacontrol.h"
#include "chrome/chrome.h"
#include "chrome/quickfind.h"
#include "collection/duedates.h"
#include "collection/statements.h"
#include "database/recordset.h"
#include "forms/guard.h"
#include "forms/menubuilder.h"
#include "forms/recordcommands.h"
#include "platform/services.h"
#include "widgets/picturebutton.h"

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QMenu>

namespace ondrel::loans {

using platform::services;
using platform::skipFailing;
using platform::use;

// ---------------------------------------------------------------------------
// Views and order

bool Frmemprestimos::showLoans(const QString& statement)
{
    if (!Data1->saveTypedValues())
        return false;
    Data1->showSource(statement);
    return true;
}

void Frmemprestimos::showOrder(const QString& statement, QAction* chosen)
{
    const auto keepOrder = [&] { platform::undoToggle(chosen, {mnuordcod, mnuordnome, mnuordtitulo, mnudata}); };
    bool shown = false;
    // Loans that cannot be read (the server away) leave the order as it was.
    try {
        shown = showView(statement, false);
    } catch (...) {
        keepOrder();
        throw;
    }
    if (!shown) {
        keepOrder();
        return;
    }
    for (QAction* item : {mnuordcod, mnuordnome, mnuordtitulo, mnudata})
        item->setChecked(item == chosen);
}

bool Frmemprestimos::showView(const QString& statement, bool late)
{
    if (!showLoans(statement))
        return false;
    m_showingLate = late;
    return true;
}

void Frmemprestimos::mnutodos_Click()
{
    if (showView(db::loansNewestFirst(), false))
        mnuordenar->setEnabled(true);
}

void Frmemprestimos::mnuemprestados_Click()
{
    if (showView(db::loansNotReturned(), false))
        mnuordenar->setEnabled(false);
}

void Frmemprestimos::mnuatrasados_Click()
{
    // Listed in an order of its own, as "Emprestados" is: the order marks
    // stay as they were and "&Ordenar" waits for another view.
    if (showView(db::lateLoans(dueRule()), true))
        mnuordenar->setEnabled(false);
}

void Frmemprestimos::showLateLoans()
{
    Show();
    // A search in force is closed first, as its button would.
    if (mnufecharpesquisa->isEnabled())
        cmdFechar_Click();
    if (!mnufecharpesquisa->isEnabled())
        mnuatrasados_Click();
}

void Frmemprestimos::mnuprazo_Click()
{
    db::Database& collection = use(BancoDados);
    const QString typed = services().inputBox(
        QStringLiteral("Em quantos dias um objeto emprestado deve voltar? (de 1 a %1)").arg(db::kLongestLoanPeriod),
        QStringLiteral("Prazo de devolução"), QString::number(db::loanPeriod(collection)));
    if (typed.trimmed().isEmpty())
        return;  // cancelled
    bool ok = false;
    const int days = typed.trimmed().toInt(&ok);
    if (!ok || days < 1 || days > db::kLongestLoanPeriod) {
        services().msgBox(QStringLiteral("O prazo \"%1\" não foi entendido. Escreva um número inteiro de dias, de 1 a "
                                         "%2; o prazo continua de %3 dias.")
                              .arg(typed)
                              .arg(db::kLongestLoanPeriod)
                              .arg(db::loanPeriod(collection)),
                          platform::OkOnly, platform::Exclamation);
        return;
    }
    // A locked or read-only file refuses it, and the refusal is shown.
    db::setLoanPeriod(collection, days);
    if (m_showingLate)
        mnuatrasados_Click();  // late by the new period
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
