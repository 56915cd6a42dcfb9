#include "guard.h"

#include "database/engineerror.h"
#include "platform/services.h"

#include <exception>

namespace ondrel::platform {

Failure currentFailure()
{
    try {
        throw;
    } catch (const db::EngineError& e) {
        return {e.number(), e.description()};
    } catch (const std::exception& e) {
        return {0, QString::fromUtf8(e.what())};
    } catch (...) {
        return {0, QStringLiteral("Erro desconhecido.")};
    }
}

void reportFailure(const Failure& failure)
{
    services().msgBox(failure.description, OkOnly, Critical);
}

bool guarded(const Step& f) noexcept
{
    try {
        f();
        return true;
    } catch (...) {
        const Failure failure = currentFailure();
        if (failure.number == db::ErrSaveRefused)
            return false;  // the user has been told why already
        // Showing the box must not let anything escape either.
        try {
            reportFailure(failure);
        } catch (...) {
        }
        return false;
    }
}

std::optional<Failure> skipFailing(std::initializer_list<Step> steps)
{
    std::optional<Failure> last;
    for (const Step& step : steps) {
        try {
            step();
        } catch (...) {
            last = currentFailure();
        }
    }
    return last;
}

void trapResume(const std::function<void(const Failure&)>& onError, std::initializer_list<Step> steps)
{
    trapOrStop(
        [&](const Failure& failure) {
            onError(failure);
            return true;
        },
        steps);
}

bool trapOrStop(const std::function<bool(const Failure&)>& goOn, std::initializer_list<Step> steps)
{
    for (const Step& step : steps) {
        std::optional<Failure> failure;
        try {
            step();
        } catch (...) {
            failure = currentFailure();
        }
        // Called outside the catch: an error of goOn itself is not trapped.
        if (failure && !goOn(*failure))
            return false;
    }
    return true;
}

}  // namespace ondrel::platform
