#pragma once

// The collection file: its name and place, the connect string every open
// passes, new collections filled with demo or generated contents, and what
// every end of the process does to the file.
#include <QString>

#include <string_view>

namespace ondrel::db {

// The password every collection file is created with, and the connect
// string every explicit open passes, which carries it.
inline constexpr const char* kDatabasePassword = "7Borel3";
inline constexpr const char* kConnectString = ";pwd=7Borel3";
static_assert(std::string_view(kConnectString).substr(5) == kDatabasePassword);
inline constexpr const char* kDatabaseFileName = "livrano.mdb";

// Path rule: the folder, one separator only if it does not already end with
// one, then the file name.
QString databasePath(const QString& folder, const QString& fileName = QString::fromLatin1(kDatabaseFileName));

// Fills a database with a few dozen believable objects and loans.
void fillDemo(const QString& path, const QString& password);
// Creates a database (password kDatabasePassword) filled with generated objects and
// loans, for the benchmark and the performance checks.
void generateBenchData(const QString& path, int objects, int loans);

// Every open handle of the process: the journal copied into its file where
// that can be done at once, then closed; a copy under way is stopped first.
// Every end of the process calls it.
void checkpointAndCloseAll();

}  // namespace ondrel::db
