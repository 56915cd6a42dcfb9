// The printed listing of the catalogue: the rows of the stored query
// "Imprime" through the layout "objetos.rpt" of the plug-in folder, saved as
// a PDF file when no printer is installed.
#include "Frmobjetos.h"
#include "listingexport.h"

#include "collection/collection.h"
#include "collection/places.h"
#include "collection/statements.h"
#include "database/database.h"
#include "forms/guard.h"
#include "forms/storedqueries.h"
#include "platform/reportprinter.h"

namespace ondrel::catalogue {

using platform::use;
using platform::skipFailing;

void Frmobjetos::mnuprint_Click()
{
    skipFailing({
        [&] { Report1->setDataFiles(0, db::collectionLocation()); },
        [&] {
            // An existing "Imprime" is printed as the order or search left it.
            if (!use(BancoDados).hasQueryDef(db::imprimeName()))
                ConsultaImprime = forms::writeImprime(BancoDados, db::listingByCode());
        },
        [&] { Report1->setReportFileName(db::databasePath(db::readOnlyFilesFolder(), QStringLiteral("objetos.rpt"))); },
        [&] { Report1->setDestination(platform::ReportPrinter::ToPrinter); },
        [&] {
            // Without a printer the listing is offered as a PDF file.
            if (platform::ReportPrinter::printerAvailable())
                Report1->setAction(1);
            else
                saveListingAsPdf(*Report1, this);
        },
    });
}

void Frmobjetos::cmdPrint_Click()
{
    mnuprint_Click();
}

}  // namespace ondrel::catalogue
