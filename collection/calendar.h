#pragma once

// The loans of a collection as a calendar a person imports (RFC 5545): one
// to-do per loan, due on its due day (duedates.h), open ones as needing
// action and returned ones as completed. Each to-do's UID stays the same
// for the same loan of the same collection, so importing a later file
// updates the to-dos instead of adding them again.
#include <QDateTime>

class QIODevice;

namespace ondrel::db {

class Database;

// Writes the calendar, loan by loan, stamped `stamp` (DTSTAMP). Throws what
// the engine throws when the loans cannot be read.
void writeLoansCalendar(Database& database, const QDateTime& stamp, QIODevice& out);

}  // namespace ondrel::db
