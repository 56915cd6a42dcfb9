#pragma once

// Quick find by title, the same in both record windows: the user types a
// title, the window's record source finds the first record with it.

#include "collection/statements.h"

#include <QString>

namespace ondrel::db {
class DataControl;
}

namespace ondrel::chrome {

// The three program-wide texts of the quick find, shared by both windows:
// the prompt last asked, the title last typed and the criteria last built.
struct QuickFindTexts {
    QString Mensagem;  // prompt
    QString Titulo;    // typed title
    QString Criterio;  // criteria
};
QuickFindTexts& quickFindTexts();

// Title of the quick find's input box.
QString quickFindTitle();
// The message shown when no record has the title.
QString notFoundMessage();

// The criteria for a typed title: "Título like'" + title + "'", the title's
// apostrophes doubled so it is matched as typed.
using db::titleCriteria;

// Asks for a title with the prompt, finds the first record of the source's
// set from the start that has it; when none has it, says "Objeto Não
// Encontrado" and moves to the first record (if there is one). Errors of the
// record set escape to the caller.
void quickFindByTitle(db::DataControl& source, const QString& prompt);

}  // namespace ondrel::chrome
