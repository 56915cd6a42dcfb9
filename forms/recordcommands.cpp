#include "recordcommands.h"

#include "binding/datacontrol.h"
#include "core/valuetext.h"
#include "database/database.h"
#include "database/recordset.h"
#include "guard.h"
#include "platform/services.h"

#include <QAction>
#include <QWidget>

namespace ondrel::forms {

using platform::services;
using platform::use;

void setEditingCommands(const RecordCommands& commands, bool editing)
{
    commands.cmdNovo->setEnabled(!editing);
    commands.mnunovo->setEnabled(!editing);
    commands.cmdSalvar->setEnabled(editing);
    commands.mnusalvar->setEnabled(editing);
    commands.cmdExcluir->setEnabled(!editing);
    commands.mnuexcluir->setEnabled(!editing);
    commands.cmdEditar->setEnabled(!editing);
    commands.mnueditar->setEnabled(!editing);
    commands.cmdCancelar->setEnabled(editing);
    commands.mnucancelar->setEnabled(editing);
}

bool confirmDelete()
{
    return services().msgBox(QStringLiteral("Você quer realmente Excluir este Registro?"), platform::OkCancel,
                             platform::NoIcon, QStringLiteral("Excluir Registro"))
           == platform::ResultOk;
}

void moveWithin(db::DataControl& source, Direction direction, AtEnd atEnd)
{
    const bool next = direction == Direction::Next;
    // A move fails silently, unless the collection's server cannot be
    // reached: nothing moved, and the person must know why.
    const std::optional<platform::Failure> failed = platform::skipFailing({
        [&] {
            db::Recordset& records = use(source.recordset());
            next ? records.moveNext() : records.movePrevious();
        },
        [&] {
            db::Recordset& records = use(source.recordset());
            if (next ? !records.eof() : !records.bof())
                return;
            if (atEnd == AtEnd::MoveToEnd)
                next ? records.moveLast() : records.moveFirst();
            else
                next ? records.movePrevious() : records.moveNext();
        },
    });
    if (failed && failed->number == db::ErrUnreachable)
        platform::reportFailure(*failed);
}

qint64 countRecordsNow(const db::DataControl& source, db::Database& database, const QString& table)
{
    const bool adding = use(source.recordset()).editMode() == db::EditMode::Adding;
    return database.countRecords(table) + (adding ? 1 : 0);
}

void showRecordCounter(db::DataControl& source, qint64 total)
{
    const int position = use(source.recordset()).absolutePosition();
    source.setCaption(db::counterText(position + 1, total));
}

qint64 countChange(int action)
{
    switch (action) {
    case db::ActionAddNew:
        return 1;
    case db::ActionDelete:
    case db::ActionCancel:
        return -1;
    default:
        return 0;
    }
}

}  // namespace ondrel::forms
