#pragma once

#include <QStringList>

namespace ondrel::bench {

// ondrel-bench --imports [--runs N] [--rows N] [--quick]: times the
// conversion of the 5,000-object Jet file of the tests and the import of a
// generated CSV listing of 100,000 rows, each into a new collection on a real
// disk, and prints the medians with the targets they miss.
int runImportBenchmark(const QStringList& arguments);

}  // namespace ondrel::bench
