#pragma once

#include "platform/hostwindow.h"

#include <QString>

namespace ondrel::plugin {

// The one creatable class of the plug-in. It keeps no state of its own:
// Identify names the product, Run opens the catalogue window and hands it the
// host's window.
class clsPluginInterface {
public:
    // Shows the shared catalogue window (loading it on the first call), then
    // writes the host window's caption and the host window into it. Returns ""
    // on success, otherwise the description of the error that stopped it;
    // never throws.
    QString Run(const platform::HostWindowRef& FormX);

    // The product name, "Ulmix".
    QString Identify() const;
};

}  // namespace ondrel::plugin
