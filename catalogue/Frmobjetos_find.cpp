// Finding objects: the quick find by title, and the search dialog with its
// close-search command.
#include "Frmobjetos.h"
#include "frmobjetos_internal.h"

#include "binding/datacontrol.h"
#include "chrome/quickfind.h"
#include "collection/statements.h"
#include "database/database.h"
#include "forms/guard.h"
#include "search/Frmpesquisa.h"
#include "widgets/picturebutton.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QRadioButton>

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
    // The dialog starts empty at every showing; the catalogue fills it.
    search::Frmpesquisa* dialog = search::Frmpesquisa::instance();
    dialog->Combo1->addItem(QStringLiteral("Objeto"));
    dialog->Combo1->addItem(QStringLiteral("Título"));
    dialog->Combo1->addItem(QStringLiteral("Autor(a)"));
    dialog->Combo1->addItem(QStringLiteral("Assunto"));
    dialog->Combo1->addItem(QStringLiteral("Descrição"));
    dialog->Combo1->setCurrentText(QStringLiteral("Objeto"));
    dialog->Optobjeto->setChecked(true);
    mnuordenar->setEnabled(false);
    dialog->ShowModal();
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
        [&] { writeImprime(db::listingByCode()); },
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
