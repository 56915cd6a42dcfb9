#pragma once

// What both benchmarks share: timing, the engine's folding on a raw handle,
// the statements the windows' work comes down to, and the stored query
// rewrite done as the engine does it.

#include "rawsqlite.h"

#include <QString>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace ondrel::bench {

// A run that cannot go on: what was timed did not happen as it should.
class Failure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// How long some work takes, in milliseconds.
double elapsedMs(const std::function<void()>& work);
// The CPU time this process has used, in milliseconds: on a machine shared
// with other work the wall-clock time of a step also holds the time it waited
// for a processor. With `children`, also that of its ended child processes.
double cpuMs(bool children = false);
// The median of the times taken (NaN for none).
double median(std::vector<double> values);

inline std::string utf8(const QString& text)
{
    return text.toStdString();
}

// "B0001Z": the code the generator gives the object of that index.
QString generatedCode(int index);

// The columns of an object and of a loan, in the tables' order.
inline constexpr const char* kObjectColumns =
    "cod, \"Objeto\", \"Título\", \"Autor\", \"Assunto\", \"Descrição\", \"Data\", valor, path";
inline constexpr const char* kLoanColumns =
    "codobjeto, \"Nome\", objeto, \"Título\", \"Autor\", \"Data\", \"Entregue\", \"observações\", cod";

// The loans of one object, newest first (bind the folded code).
std::string loansOfCodeSql();

// Gives a raw handle the engine's ondrel_fold(text), so that a floor sorts and
// compares text as the engine does (case and accents ignored).
void registerFold(RawDatabase& db);

// Rewrites stored queries as the engine does: delete, create, set the text,
// each step committed on its own without a sync (derived data); the handle's
// own synchronous level is restored afterwards.
class RawQueryWriter {
public:
    explicit RawQueryWriter(RawDatabase& db, std::string synchronous = "FULL");
    void rewrite(const std::string& name, const std::string& sql);
    void remove(const std::string& name);

private:
    RawDatabase& m_db;
    std::string m_synchronous;
    RawStatement m_delete;
    RawStatement m_insert;
    RawStatement m_update;
};

}  // namespace ondrel::bench
