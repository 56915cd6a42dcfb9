// Linked into every test that drives the windows (ondrel_test(... WINDOWS)):
// the windows reach each other through the links the plug-in wiring
// installs, as in the plug-in, from the start of the test executable.
#include "plugin/windowlinks.h"

#include <QCoreApplication>

namespace {

void installWindowLinks()
{
    ondrel::plugin::installWindowLinks();
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(installWindowLinks)
