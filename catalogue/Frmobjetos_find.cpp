// Finding objects: the quick find by title, the search dialog with what it
// applies here, and the close-search command.
#include "Frmobjetos.h"

#include "binding/datacontrol.h"
#include "chrome/quickfind.h"
#include "collection/statements.h"
#include "database/database.h"
#include "forms/guard.h"
#include "forms/storedqueries.h"
#include "widgets/picturebutton.h"

#include <QAction>
#include <QLabel>
#include <QMenu>

namespace ondrel::catalogue {

using platform::use;
using platform::skipFailing;

void Frmobjetos::mnuprocurar_Click()
{
    // The typed title is a pattern: without "*" only an equal title matches
    // (case ignored). Its apostrophes are doubled, so it is matched as typed.
    chrome::quickFindByTitle(*Data1, QStringLiteral("Digite o Título do Objeto "));
}

void Frmobjetos::cmdSeleciona_Click()
{
    cmdFechar->raise();
    mnufecharpesquisa->setEnabled(true);
    lblpanel->setText(QString());
    // The dialog starts empty at every showing; it fills itself for us.
    forms::SearchDialogLink& dialog = forms::searchDialog();
    dialog.prepareFor(forms::SearchCaller::Catalogue);
    mnuordenar->setEnabled(false);
    dialog.ShowModal();
}

bool Frmobjetos::saveTypedValues()
{
    return Data1->saveTypedValues();
}

void Frmobjetos::applySearch(const QString& statement, const std::optional<QString>& status)
{
    if (!statement.isEmpty()) {
        Data1->setRecordSource(statement);
        Data1->refresh();
        if (status)
            lblpanel->setText(*status);
    }
    mnufecharpesquisa->setEnabled(true);
    mnupesquisar->setEnabled(false);
}

void Frmobjetos::cancelSearch(const QString& status)
{
    lblpanel->setText(status);
    cmdSeleciona->raise();
    mnuordenar->setEnabled(true);
}

void Frmobjetos::mnupesquisar_Click()
{
    cmdSeleciona_Click();
}

void Frmobjetos::cmdFechar_Click()
{
    // An object typed on screen is stored first; refused, the search stays.
    if (!Data1->saveTypedValues())
        return;
    skipFailing({
        [&] { Data1->setRecordSource(db::allObjects()); },
        [&] { Data1->refresh(); },
        // Written again at the next change of the shown code.
        [&] { use(BancoDados).deleteQueryDef(db::pesquisaName()); },
        [&] { ConsultaImprime = forms::writeImprime(BancoDados, db::listingByCode()); },
        [&] { cmdSeleciona->raise(); },
        [&] { mnufecharpesquisa->setEnabled(false); },
        [&] { mnuordenar->setEnabled(true); },
        [&] { mnupesquisar->setEnabled(true); },
        [&] { lblpanel->setText(QString()); },
    });
}

void Frmobjetos::mnufecharpesquisa_Click()
{
    cmdFechar_Click();
}

}  // namespace ondrel::catalogue
