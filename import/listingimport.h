#pragma once

// Objects brought in from a spreadsheet: a CSV file whose first line names
// its columns by the captions the program uses (the listing's Código, Objeto,
// Título, Autor(a) and Valor, and Assunto, Descrição, Data and Imagem), in any
// order. UTF-8 with or without its byte-order mark, or Windows-1252 (a file
// that is not valid UTF-8); ";" or "," between fields; fields quoted or not;
// CRLF or LF line ends. A text the listing's export wrote with one more
// leading apostrophe (so that a spreadsheet takes it for text) gets it back
// without it.
#include <QDate>
#include <QString>

namespace ondrel::import {

struct ListingImport {
    QString collection;
    qint64 added = 0;
    bool created = false;  // the collection was created for the import
    QString report() const;  // in Portuguese
};

// Adds every object of the CSV file to the collection (creating it when there
// is none) in one transaction: all or nothing. A missing column takes its
// default (Data: `today`, as a new object gets; the others empty); a file
// without the Código column, with a column the program does not know, or with
// any row refused (a code missing or repeated, here or in the collection, an
// amount or a date not understood, a text longer than its field) adds nothing
// and throws ImportError listing every refused row with its line number.
ListingImport importListing(const QString& csv, const QString& collection, const QDate& today = QDate::currentDate());

}  // namespace ondrel::import
