#pragma once

// Where a collection lives: a file's path, or the address of a database on a
// PostgreSQL server — a URI ("postgresql://servidor/colecao?sslmode=
// verify-full"), a libpq connection string ("host=servidor dbname=colecao")
// or a libpq service ("service=colecao"). The password of a server is never
// part of what the program keeps or shows: it comes from libpq's password
// file (~/.pgpass) or service file.
#include <QString>

namespace ondrel::db {

// Whether a location names a server's database rather than a file.
bool isServerAddress(const QString& location);

// The address a person typed, as the program keeps it: a URI or a connection
// string as given, a bare name the libpq service of that name. Empty when the
// text is no server address (an empty text, or one with a line break).
QString serverAddress(const QString& typed);

// An address as messages and the settings show it: a password written into
// it (which libpq would accept) left out. A file's path is shown as it is.
QString shownAddress(const QString& location);

// Whether an address carries a password of its own.
bool addressHasPassword(const QString& address);

// Why the program does not reach a server at this address: it may go over
// the network (TCP; a service's file may name any host) yet asks for less than a checked TLS connection — sslmode
// disable, allow, prefer or require, none of which checks that the server is
// the one named. Empty when the address is allowed.
QString refusedSecurity(const QString& address);

// The sslmode the program asks libpq for, beneath what the address says:
// "verify-full" when the server may be reached over the network and the
// address names no sslmode of its own; empty when it is reached over a Unix
// socket or the address chooses.
QByteArray defaultSslMode(const QString& address);

// One key per collection: a file's, however its path is spelled; a server's
// address as it is.
QString locationKey(const QString& location);

}  // namespace ondrel::db
