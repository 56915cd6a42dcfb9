// Finding loans: the quick find by title, the search dialog with what it
// applies here, and the close-search command.
#include "Frmemprestimos.h"

#include "binding/datacontrol.h"
#include "chrome/quickfind.h"
#include "collection/statements.h"
#include "forms/guard.h"
#include "widgets/picturebutton.h"

#include <QAction>
#include <QLabel>
#include <QMenu>

namespace ondrel::loans {

using platform::skipFailing;

void Frmemprestimos::mnuprocurar_Click()
{
    chrome::quickFindByTitle(*Data1, QStringLiteral("Digite o Título (ou Nome) do Objeto "));
}

void Frmemprestimos::mnupesquisa_Click()
{
    cmdSeleciona_Click();
}

void Frmemprestimos::mnufecharpesquisa_Click()
{
    cmdFechar_Click();
}

void Frmemprestimos::cmdSeleciona_Click()
{
    lblpanel->setText(QString());
    cmdFechar->raise();
    mnuordenar->setEnabled(false);
    mnumostrar->setEnabled(false);
    mnufecharpesquisa->setEnabled(true);

    // The dialog starts empty at every showing; it fills itself for us.
    forms::SearchDialogLink& dialog = forms::searchDialog();
    // From "Atrasados" the search looks into the late loans.
    dialog.prepareFor(forms::SearchCaller::Loans, m_showingLate ? forms::SearchScope::Late : forms::SearchScope::All);
    dialog.ShowModal();
}

bool Frmemprestimos::saveTypedValues()
{
    return Data1->saveTypedValues();
}

void Frmemprestimos::applySearch(const QString& statement, const std::optional<QString>&)
{
    if (statement.isEmpty())
        return;
    Data1->setRecordSource(statement);
    Data1->refresh();
    m_showingLate = false;
}

void Frmemprestimos::cancelSearch(const QString&)
{
    mnufecharpesquisa->setEnabled(false);
    mnumostrar->setEnabled(true);
    mnuordenar->setEnabled(true);
    cmdSeleciona->raise();
}

void Frmemprestimos::cmdFechar_Click()
{
    // A loan typed on screen is saved first; refused, the search stays.
    if (!Data1->saveTypedValues())
        return;
    skipFailing({
        [&] { lblpanel->setText(QString()); },
        [&] { Data1->setRecordSource(db::loansNewestFirst()); },
        [&] { Data1->refresh(); },
        [&] { m_showingLate = false; },
        [&] { cmdSeleciona->raise(); },
        [&] { mnufecharpesquisa->setEnabled(false); },
        [&] { mnuordenar->setEnabled(true); },
        [&] { mnumostrar->setEnabled(true); },
    });
}

}  // namespace ondrel::loans
