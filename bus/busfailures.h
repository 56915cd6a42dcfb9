#pragma once

// What went wrong on the session bus (D-Bus), said in Portuguese: the bus's
// own texts are English ("The name … was not provided by any .service
// files") and never reach a person.

#include <QDBusError>
#include <QString>

namespace ondrel::bus {

// There is no session bus to talk on.
QString noSessionBus();

// Why a call to `callee` (say "o plug-in Ulmix", "a janela do hospedeiro",
// with its article) failed, as one or two sentences.
QString callFailure(const QDBusError& error, const QString& callee);

}  // namespace ondrel::bus
