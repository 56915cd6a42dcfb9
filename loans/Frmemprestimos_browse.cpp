// What the loans window lists and in which order, the search it opens,
// applies and closes, the moves, the switch to the catalogue, closing, and the
// chrome of its toolbar (hover texts, home link, help).
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

void Frmemprestimos::connectCommands()
{
    using platform::connectGuarded;
    connectGuarded(mnutodos, &QAction::triggered, this, &Frmemprestimos::mnutodos_Click);
    connectGuarded(mnuemprestados, &QAction::triggered, this, &Frmemprestimos::mnuemprestados_Click);
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

void Frmemprestimos::mnuanterior_Click()
{
    sscommand1_Click(1);
}

void Frmemprestimos::mnuproximo_Click()
{
    sscommand1_Click(0);
}

// ---------------------------------------------------------------------------
// Search, moves, switch and close

void Frmemprestimos::cmdSeleciona_Click()
{
    lblpanel->setText(QString());
    cmdFechar->raise();
    mnuordenar->setEnabled(false);
    mnumostrar->setEnabled(false);
    mnufecharpesquisa->setEnabled(true);

    // The dialog starts empty at every showing; it fills itself for us.
    forms::SearchDialogLink& dialog = forms::searchDialog();
    dialog.prepareFor(forms::SearchCaller::Loans);
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
        [&] { cmdSeleciona->raise(); },
        [&] { mnufecharpesquisa->setEnabled(false); },
        [&] { mnuordenar->setEnabled(true); },
        [&] { mnumostrar->setEnabled(true); },
    });
}

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

void Frmemprestimos::ClarkTBButton2_Click(int Index)
{
    switch (Index) {
    case 0:
        forms::catalogueWindow(forms::Reach::Create)->Show();
        close();
        break;
    case 1:
        close();
        break;
    default:
        break;
    }
}

void Frmemprestimos::mnusair_Click()
{
    close();
}

// ---------------------------------------------------------------------------
// Home link and help

void Frmemprestimos::cmdHome_MouseEnter()
{
    chrome::homeMouseEnter(this, lblpanel);
}

void Frmemprestimos::cmdHome_MouseExit()
{
    chrome::homeMouseExit(this, lblpanel);
}

void Frmemprestimos::cmdHome_Click()
{
    lblpanel->setText(QString());
    // The pointing hand stays until the mouse leaves the button.
    chrome::openHomePage();
}

void Frmemprestimos::ctbajuda_Click()
{
    lblpanel->setText(QString());
    mnuhelp_Click();
}

void Frmemprestimos::mnuhelp_Click()
{
    chrome::sendHelpKey();
}

}  // namespace ondrel::loans
