// Browsing the catalogue: previous and next, the four orderings with the
// listing they give the printed report, and the total after a grid edit.
#include "core/valuetext.h"
#include "Frmobjetos.h"
#include "frmobjetos_internal.h"

#include "binding/datacontrol.h"
#include "collection/statements.h"
#include "database/database.h"
#include "database/recordset.h"
#include "forms/guard.h"
#include "forms/menubuilder.h"

#include <QAction>
#include <QLabel>

namespace ondrel::catalogue {

using detail::regionalSettings;
using platform::use;
using platform::skipFailing;

namespace {


}  // namespace

qint64 Frmobjetos::collectionTotal() const
{
    // Every object's value, as a pass over the statement would add them; the
    // engine adds them again only when the objects changed, whoever changed
    // them, and a total past the currency range is an error.
    return use(BancoDados).sumField(QStringLiteral("Select * from objetos"), QStringLiteral("valor"));
}

void Frmobjetos::writeImprime(const QString& sql)
{
    // Delete, create and set its text in one transaction.
    use(BancoDados).writeQueryDef(db::imprimeName(), sql);
    ConsultaImprime = std::make_unique<db::QueryDef>(db::QueryDef{BancoDados, db::imprimeName()});
}

void Frmobjetos::sscommand1_Click(int Index)
{
    lblpanel->setText(QString());
    // Past either end the record at that end stays current.
    switch (Index) {
    case 0:
    case 2:
        skipFailing({
            [&] { use(Data1->recordset()).movePrevious(); },
            [&] {
                if (use(Data1->recordset()).bof())
                    Data1->recordset()->moveNext();
            },
        });
        break;
    case 1:
    case 3:
        skipFailing({
            [&] { use(Data1->recordset()).moveNext(); },
            [&] {
                if (use(Data1->recordset()).eof())
                    Data1->recordset()->movePrevious();
            },
        });
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

void Frmobjetos::ordena(const QString& field, QAction* item)
{
    // An object typed on screen is stored first; refused, nothing changes.
    if (!Data1->saveTypedValues()) {
        platform::undoToggle(item, {mnuordcod, mnuordtitulo, mnuordautor, mnuordassunto});
        return;
    }
    Data1->setRecordSource(db::objectsOrderedBy(field));
    Data1->refresh();
    for (QAction* order : {mnuordcod, mnuordtitulo, mnuordautor, mnuordassunto})
        order->setChecked(order == item);
    // The printed listing follows the order on screen.
    writeImprime(db::listingOrderedBy(field));
}

void Frmobjetos::mnuordcod_Click()
{
    ordena(QStringLiteral("cod"), mnuordcod);
}

void Frmobjetos::mnuordtitulo_Click()
{
    ordena(QStringLiteral("título"), mnuordtitulo);
}

void Frmobjetos::mnuordautor_Click()
{
    ordena(QStringLiteral("autor"), mnuordautor);
}

void Frmobjetos::mnuordassunto_Click()
{
    ordena(QStringLiteral("assunto"), mnuordassunto);
}

void Frmobjetos::DBGrid1_AfterUpdate()
{
    // The whole table, whatever order or search is shown.
    lbltotal->setText(db::formatAmount(collectionTotal(), db::AmountShape::Total, regionalSettings()));
}

}  // namespace ondrel::catalogue
