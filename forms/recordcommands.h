#pragma once

// What the two record windows do alike with their records: the enabled
// pattern of the record commands, the delete confirmation, a move that never
// leaves the set, and how the record count follows a bound source.
//
//   forms::setEditingCommands({cmdNovo, mnunovo, cmdSalvar, mnusalvar, cmdEditar, mnueditar,
//                              cmdExcluir, mnuexcluir, cmdCancelar, mnucancelar}, true);
//   if (!forms::confirmDelete()) return;
#include <QString>
#include <QtGlobal>

class QAction;
class QWidget;

namespace ondrel::db {
class DataControl;
class Database;
}  // namespace ondrel::db

namespace ondrel::forms {

// The record commands of a window, each button with its menu twin.
struct RecordCommands {
    QWidget* cmdNovo;
    QAction* mnunovo;
    QWidget* cmdSalvar;
    QAction* mnusalvar;
    QWidget* cmdEditar;
    QAction* mnueditar;
    QWidget* cmdExcluir;
    QAction* mnuexcluir;
    QWidget* cmdCancelar;
    QAction* mnucancelar;
};

// Adding, editing and a refused save: only "Salvar" and "Cancelar" on.
// Browsing (editing false): the opposite pattern.
void setEditingCommands(const RecordCommands& commands, bool editing);

// Asks "Você quer realmente Excluir este Registro?" (OK and Cancel, title
// "Excluir Registro"); true when the answer is OK.
bool confirmDelete();

// One record back or forward in the source; past either end the record at
// that end becomes current again, by stepping back one record or by moving
// to that end. Each of the two moves is skipped when it fails.
enum class Direction { Previous, Next };
enum class AtEnd { StepBack, MoveToEnd };
void moveWithin(db::DataControl& source, Direction direction, AtEnd atEnd);

// The records of a table in the file now, whoever wrote them, and a new one
// while the source holds it pending.
qint64 countRecordsNow(const db::DataControl& source, db::Database& database, const QString& table);
// The source's caption: the counter of its current record (0 when there is
// none: a new one pending, or none left) out of `total`.
void showRecordCounter(db::DataControl& source, qint64 total);

// How a window's record count follows its source's validate event: an added
// record counts one more, a deleted or cancelled one one less.
qint64 countChange(int action);

}  // namespace ondrel::forms
