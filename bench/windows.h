#pragma once

#include <QStringList>

namespace ondrel::bench {

// ondrel-bench --windows [--objects N --loans M] [--runs N] [--quick]: times
// the real windows on the generated collections, one child process per size,
// and prints the figures with the targets they miss.
int runWindowBenchmark(const QStringList& arguments);

// The child of one size (ondrel-bench --windows-child ...), started by
// runWindowBenchmark: drives the windows on the collection in its folder.
int runWindowChild(const QStringList& arguments);

}  // namespace ondrel::bench
