#pragma once

// Texts as a spreadsheet keeps them. The listing's export writes a text that
// a spreadsheet would run as a formula (starting with "=", "+", "-", "@", a
// tab or a carriage return), or that starts with an apostrophe itself, with
// one more leading apostrophe; reading a sheet back takes exactly that one
// away.
#include <QString>

namespace ondrel::db {

// A text column's value as the export writes it for a spreadsheet: a
// leading apostrophe before a text the sheet would run as a formula or that
// starts with an apostrophe. Amounts never go through it: a negative value
// stays a number.
QString spreadsheetText(const QString& text);

// A text read from a spreadsheet: one leading apostrophe removed when a
// character the export guards follows it; any other text as it is.
QString textFromSpreadsheet(const QString& text);

}  // namespace ondrel::db
