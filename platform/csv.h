#pragma once

// The fields of the CSV files the program writes for a spreadsheet (and
// reads back): how a field is quoted, and how a text is kept from being run
// as a formula.
#include <QString>

namespace ondrel::platform {

// One field as RFC 4180 quotes it: between quotes, its quotes doubled, when
// it holds the separator ';', a quote or a line break.
QString csvField(const QString& text);

// A text column's value as a spreadsheet must read it: a text the sheet
// would run as a formula (starting with '=', '+', '-', '@', a tab or a
// carriage return) gets a leading apostrophe, and so does a text that
// starts with an apostrophe itself, so that reading it back removes exactly
// one. Amounts never go through it: a negative value stays a number.
QString spreadsheetText(const QString& text);

// What spreadsheetText() wrote, read back: one leading apostrophe removed.
QString textFromSpreadsheet(const QString& text);

}  // namespace ondrel::platform
