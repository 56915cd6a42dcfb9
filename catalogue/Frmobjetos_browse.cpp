// Browsing the catalogue: previous and next, the four orderings with the
// listing they give the printed report, and the total after a grid edit.
#include "core/valuetext.h"
#include "Frmobjetos.h"

#include "binding/datacontrol.h"
#include "collection/statements.h"
#include "database/database.h"
#include "database/recordset.h"
#include "forms/guard.h"
#include "forms/menubuilder.h"
#include "forms/recordcommands.h"
#include "forms/storedqueries.h"

#include <QAction>
#include <QLabel>

namespace ondrel::catalogue {

using platform::use;
using platform::skipFailing;

qint64 Frmobjetos::collectionTotal() const
{
    // Every object's value, as a pass over the statement would add them; the
    // engine adds them again only when the objects changed, whoever changed
    // them, and a total past the currency range is an error.
    return use(BancoDados).sumField(db::objectsForTotal(), QStringLiteral("valor"));
}

void Frmobjetos::sscommand1_Click(int Index)
{
    lblpanel->setText(QString());
    // Past either end the record at that end stays current.
    switch (Index) {
    case 0:
    case 2:
        forms::moveWithin(*Data1, forms::Direction::Previous, forms::AtEnd::StepBack);
        break;
    case 1:
    case 3:
        forms::moveWithin(*Data1, forms::Direction::Next, forms::AtEnd::StepBack);
        break;
    default:
        break;
    }
}

void Frmobjetos::mnuanterior_Click()
{
    sscommand1_Click(2);
}

void Frmobjetos::mnuproximo_Click()
{
    sscommand1_Click(3);
}

void Frmobjetos::showOrder(const QString& field, QAction* item)
{
    // An object typed on screen is stored first; refused, nothing changes.
    if (!Data1->saveTypedValues()) {
        platform::undoToggle(item, {mnuordcod, mnuordtitulo, mnuordautor, mnuordassunto});
        return;
    }
    // Records that cannot be read (the server away) leave the order as it was.
    try {
        Data1->showSource(db::objectsOrderedBy(field));
    } catch (...) {
        platform::undoToggle(item, {mnuordcod, mnuordtitulo, mnuordautor, mnuordassunto});
        throw;
    }
    for (QAction* order : {mnuordcod, mnuordtitulo, mnuordautor, mnuordassunto})
        order->setChecked(order == item);
    // The printed listing follows the order on screen.
    ConsultaImprime = forms::writeImprime(BancoDados, db::listingOrderedBy(field));
}

void Frmobjetos::mnuordcod_Click()
{
    showOrder(QStringLiteral("cod"), mnuordcod);
}

void Frmobjetos::mnuordtitulo_Click()
{
    showOrder(QStringLiteral("título"), mnuordtitulo);
}

void Frmobjetos::mnuordautor_Click()
{
    showOrder(QStringLiteral("autor"), mnuordautor);
}

void Frmobjetos::mnuordassunto_Click()
{
    showOrder(QStringLiteral("assunto"), mnuordassunto);
}

void Frmobjetos::showCollectionTotal()
{
    // The whole table, whatever order or search is shown, in the user's
    // regional settings (the process's default locale).
    lbltotal->setText(db::formatAmount(collectionTotal(), db::AmountShape::Total));
}

void Frmobjetos::DBGrid1_AfterUpdate()
{
    showCollectionTotal();
}

}  // namespace ondrel::catalogue
