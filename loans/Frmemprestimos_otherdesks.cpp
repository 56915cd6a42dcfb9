// Other desks' work in the loans window: on a collection several desks
// share, the counter and its total follow the loans another desk lends,
// returns or deletes; the loan on screen is read again at the next move.
#include "Frmemprestimos.h"

#include "database/database.h"
#include "forms/guard.h"

#include <QPointer>

namespace ondrel::loans {

void Frmemprestimos::watchOtherDesks()
{
    const QPointer<Frmemprestimos> self(this);
    platform::use(BancoDados).whenOthersChange([self] {
        if (self)
            platform::guarded([&] { self->showOtherDesksWork(); });
    });
}

void Frmemprestimos::showOtherDesksWork()
{
    // The counter is no box a person types in: it follows while adding or
    // editing too (a new loan counted among them).
    if (m_loaded)
        Data1_Reposition();
}

}  // namespace ondrel::loans
