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
#include <QLocale>

namespace ondrel::catalogue {

using platform::use;
using platform::skipFailing;

qint64 Frmobjetos::collectionTotal() const
{
    const auto all = use(BancoDados).openRecordset(db::objectsForTotal(), db::RecordsetType::Snapshot);
    // Closed and released also when a read fails.
    struct Closer {
        db::Recordset& rs;
        ~Closer() { skipFailing({[&] { rs.close(); }}); }
    } closer{*all};
    qint64 total = 0;
    while (!all->eof()) {
        const QVariant value = all->value(QStringLiteral("valor"));
        // A total past the currency range is an error, never a wrapped sum.
        if (!value.isNull() && __builtin_add_overflow(total, value.toLongLong(), &total))
            throw db::EngineError(db::ErrGeneric, QStringLiteral("Estouro de capacidade."));
        all->moveNext();
    }
    return total;
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
    Data1->setRecordSource(db::objectsOrderedBy(field));
    Data1->refresh();
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
    lbltotal->setText(db::formatAmount(collectionTotal(), db::AmountShape::Total, QLocale()));
}

void Frmobjetos::DBGrid1_AfterUpdate()
{
    showCollectionTotal();
}

}  // namespace ondrel::catalogue
