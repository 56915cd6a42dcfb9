#pragma once

// The collection file: its name and place, the connect string every open
// passes, new collections filled with demo or generated contents, and what
// every end of the process does to the file.
#include <QString>

#include <array>
#include <cstddef>

namespace ondrel::db {

namespace detail {
// Two string literals as one, at compile time.
template <std::size_t N, std::size_t M>
constexpr std::array<char, N + M - 1> joined(const char (&first)[N], const char (&second)[M])
{
    std::array<char, N + M - 1> out{};
    for (std::size_t i = 0; i + 1 < N; ++i)
        out[i] = first[i];
    for (std::size_t i = 0; i < M; ++i)
        out[N - 1 + i] = second[i];
    return out;
}
}  // namespace detail

// The password of every collection file, and the connect string every
// explicit open passes (";pwd=" and the password).
inline constexpr char kPassword[] = "7Borel3";
inline constexpr auto kConnectStringText = detail::joined(";pwd=", kPassword);
inline constexpr const char* kConnectString = kConnectStringText.data();
inline constexpr const char* kDatabaseFileName = "livrano.mdb";

// What a loan's "Entregue" field holds: the object came back, or not yet.
inline const QString kReturned = QStringLiteral("Sim");
inline const QString kNotReturned = QStringLiteral("Não");

// Path rule: the folder, one separator only if it does not already end with
// one, then the file name.
QString databasePath(const QString& folder, const QString& fileName = QString::fromLatin1(kDatabaseFileName));

// Fills a database with a few dozen believable objects and loans.
void fillDemo(const QString& path, const QString& password);
// Creates a database (with kPassword) filled with generated objects and
// loans, for the benchmark and the performance checks.
void generateBenchData(const QString& path, int objects, int loans);

// Every open handle of the process: the journal copied into its file where
// that can be done at once, then closed; a copy or an index build under way
// is stopped first.
// Every end of the process calls it.
void checkpointAndCloseAll();

}  // namespace ondrel::db
