#pragma once

// A Jet (Access) database read through the reader child ondrel-jet-reader,
// which links Debian's libmdb in a process of its own: a file that crashes
// the library, hangs it or makes it send garbage ends the reading with a
// clear message, never the program. The values come as Jet stores them.
#include <QDateTime>
#include <QString>
#include <QVariant>
#include <QVector>

#include <functional>

namespace ondrel::import {

// Whether a file's header says it is a Jet 3 or Jet 4 database ("Standard
// Jet DB"): the older format of the collection file.
bool isJetFile(const QString& path);

struct JetColumn {
    QString name;
    int type = 0;      // jetstream::JetType
    int bytes = 0;     // the definition's size in bytes; 0 for a long value
    bool autonumber = false;
    int characters(bool jet3) const;  // a text column's length in characters
};

struct JetTable {
    QString name;
    bool system = false;
    qint64 definedRows = 0;  // the rows the table's own definition counts
    QVector<JetColumn> columns;
    int indexOf(const QString& column) const;  // case-insensitive, -1 if absent
};

// One row, a value per column: an invalid QVariant for NULL; QString for
// text and memo; qint64 for currency (ten-thousandths) and whole numbers;
// double for dates (days since 30/12/1899), singles and doubles; bool for
// yes/no; QByteArray for anything else.
using JetRow = QVector<QVariant>;

struct JetFile {
    int format = 0;  // 0 Jet 3, 1 Jet 4
    bool jet3() const { return format == 0; }
};

struct ReaderOptions {
    // The reader child; empty: the one installed beside the program.
    QString program;
    // The longest the child may stay silent before it is taken for hung.
    int silenceMs = 30000;
};

// Reads the whole file: `onTable` is told of each table before its rows,
// `onRow` gets each row in reading order (either may throw to stop). Every
// table of the person's comes first, then the system tables MSysObjects
// (Id, Name, Type) and MSysQueries. Throws ImportError when the file cannot
// be read, naming it.
void readJet(const QString& path, const std::function<void(const JetFile&, const JetTable&)>& onTable,
             const std::function<void(const JetTable&, const JetRow&)>& onRow, const ReaderOptions& options = {});

// A stored date as Jet keeps it: whole days from 30/12/1899 (negative before
// it) and, as its absolute fraction, the time of day to the second. Invalid
// for a value no calendar holds.
QDateTime jetDateTime(double stored);

}  // namespace ondrel::import
