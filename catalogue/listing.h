#pragma once

// The rows of the printed listing, read from the collection database the
// report is given as its data file.

#include "platform/reportprinter.h"

namespace ondrel::catalogue {

// Opens the data file with the collection's connect string, reads every row
// of the source (a stored query such as "Imprime", or a statement) as a
// snapshot, with the fields asked for, and lets the file go again. Throws the
// engine's error for a missing file, source or field.
platform::ReportRows readListing(const QString& dataFile, const QString& source, const QStringList& fields);

}  // namespace ondrel::catalogue
