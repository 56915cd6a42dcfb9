// Other desks' work in the catalogue: on a collection several desks share,
// a lend, return, edit or delete committed at another desk shows here within
// a moment, without the person moving; a window adding or editing keeps
// what is typed, and nothing plays a sound.
#include "Frmobjetos.h"

#include "binding/datacontrol.h"
#include "database/database.h"
#include "database/recordset.h"
#include "forms/guard.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QScopeGuard>
#include <QTimer>

namespace ondrel::catalogue {

using platform::skipFailing;
using platform::use;

namespace {

// A window that cannot show the work now (a dialog of its own open, an
// object being typed) looks again this much later.
constexpr int kLookAgainMs = 500;

}  // namespace

void Frmobjetos::watchOtherDesks()
{
    const QPointer<Frmobjetos> self(this);
    use(BancoDados).whenOthersChange([self] {
        if (self)
            platform::guarded([&] { self->showOtherDesksWork(); });
    });
}

void Frmobjetos::showOtherDesksWork()
{
    db::Recordset* objects = Data1->recordset();
    if (!m_loaded || m_unloading || !objects || m_showingOthersWork)
        return;
    // Adding, editing or typing into the boxes of the object on screen: the
    // boxes keep what is typed; the work shows once the person is browsing
    // again. Under a dialog of the window its handler is still running.
    if (objects->editMode() != db::EditMode::None || Data1->userChanged() || QApplication::activeModalWidget()) {
        if (!m_othersWorkWaiting) {
            m_othersWorkWaiting = true;
            QTimer::singleShot(kLookAgainMs, this, [this] {
                m_othersWorkWaiting = false;
                platform::guarded([&] { showOtherDesksWork(); });
            });
        }
        return;
    }
    m_showingOthersWork = true;
    const auto done = qScopeGuard([this] { m_showingOthersWork = false; });
    const QString code = Txtcod->text();
    skipFailing({
        [&] {
            // The object on screen read again, as a move onto it reads it:
            // one deleted meanwhile gives way to the next (the last to the
            // one before it), without a message; the status line says why.
            if (!objects->hasCurrent())
                return;
            objects->setAbsolutePosition(objects->absolutePosition());
            if (objects->eof())
                objects->movePrevious();
        },
        [&] {
            if (Txtcod->text() != code && !code.isEmpty())
                lblpanel->setText(QStringLiteral("%1 foi excluído ou mudou de código em outro computador.")
                                      .arg(code));
        },
        // Its loans read again, as a change of the code reads them (another
        // code on screen has just read its own).
        [&] {
            if (Txtcod->text() == code)
                Txtcod_Change();
        },
        [&] { Data1_Reposition(); },
    });
}

}  // namespace ondrel::catalogue
