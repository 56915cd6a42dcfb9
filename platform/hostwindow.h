#pragma once

#include <QString>
#include <memory>

namespace ondrel::platform {

// The host's window as the plug-in holds it: a late-bound object whose
// Caption is read by name at run time. Reading it may fail (an object without
// that property): caption() then throws std::runtime_error with the error's
// description.
class HostWindow {
public:
    virtual ~HostWindow() = default;
    virtual QString caption() const = 0;
};

using HostWindowRef = std::shared_ptr<HostWindow>;

}  // namespace ondrel::platform
