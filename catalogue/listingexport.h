#pragma once

// The listing of the catalogue out of the printer's way: saved as a PDF file
// when no printer is installed, and written by the command line as a CSV or
// PDF file.

#include <QString>

class QWidget;

namespace ondrel::platform {
class ReportPrinter;
}

namespace ondrel::catalogue {

// Asks where to save the listing (the documents folder, "Listagem de
// Objetos.pdf"), writes there the pages the printer would get and says where
// they went, or why nothing was written. Cancelling writes and says nothing.
// The report keeps its data file, layout and destination.
void saveListingAsPdf(platform::ReportPrinter& report, QWidget* parent);

// Writes the listing of the collection (its "Imprime", through the listing
// layout) to `destination`: a CSV file for a ".csv" name, the printed pages
// for a ".pdf" one. Nothing is written on failure, which
// throws std::runtime_error with the reason in Portuguese.
void exportListing(const QString& destination);

}  // namespace ondrel::catalogue
