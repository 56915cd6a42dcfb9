#pragma once

// The three ways a handler deals with a failing statement:
//  - guarded(f): the handler has no error handling of its own. An error that
//    escapes it is shown in a message box with its description (a refused
//    automatic save has been told already), and the plug-in goes on; nothing
//    reaches Qt's event loop.
//  - skipFailing({...}): every step is attempted; a failing one is skipped
//    silently.
//  - trapResume(onError, {...}): every step is attempted; a failing one calls
//    onError (which may beep or show a fixed message) and the next step runs;
//    with trapOrStop(goOn, {...}) goOn may also end the sequence there.
//
// A handler connected with connectGuarded() runs under guarded().
//
//   ondrel::platform::skipFailing({
//       [&] { BancoDados = db::Database::open(CaminhoBanco, db::kConnectString); },
//       [&] { TabObjetos = BancoDados->openRecordset("objetos"); },
//   });

#include <QObject>
#include <QString>

#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <stdexcept>
#include <type_traits>

namespace ondrel::platform {

// What a failing step left behind: the engine's error number where it has one
// (0 otherwise) and its readable description.
struct Failure {
    int number = 0;
    QString description;
};

// Describes the exception being handled. Call only inside a catch block.
Failure currentFailure();

// Shows a failure as an unhandled error is shown: its description in a
// message box with the critical icon and the application's title.
void reportFailure(const Failure& failure);

using Step = std::function<void()>;

// Runs f; an escaping error is reported and swallowed. Returns false when f
// failed.
bool guarded(const Step& f) noexcept;

// Runs each step in order; a failing step is skipped. Returns the failure of
// the last step that failed, if any.
std::optional<Failure> skipFailing(std::initializer_list<Step> steps);

// Runs each step in order; for a failing step onError is called with its
// failure and the next step runs. An error escaping onError itself is not
// trapped (as an error inside an error handler), so wrap the handler in
// guarded() if it can fail.
void trapResume(const std::function<void(const Failure&)>& onError, std::initializer_list<Step> steps);

// Runs each step in order; for a failing step goOn is called with its failure
// and says whether the next step runs (true) or the sequence ends (false).
// Returns false when it ended early.
bool trapOrStop(const std::function<bool(const Failure&)>& goOn, std::initializer_list<Step> steps);

// Connects a signal to a handler that has no error handling of its own: the
// handler runs under guarded(), so an error it lets escape is shown and the
// window goes on. The handler is a member function of the receiver, or any
// callable taking the signal's arguments (or none).
template <typename Sender, typename Signal, typename Receiver>
QMetaObject::Connection connectGuarded(Sender* sender, Signal signal, Receiver* receiver, void (Receiver::*handler)())
{
    return QObject::connect(sender, signal, receiver, [receiver, handler] { guarded([&] { (receiver->*handler)(); }); });
}
template <typename Sender, typename Signal, typename Handler>
QMetaObject::Connection connectGuarded(Sender* sender, Signal signal, QObject* context, Handler handler)
{
    return QObject::connect(sender, signal, context, [handler = std::move(handler)](const auto&... arguments) {
        guarded([&] {
            if constexpr (std::is_invocable_v<const Handler&, decltype(arguments)...>)
                handler(arguments...);
            else
                handler();
        });
    });
}

// An unset handle fails the statement that uses it, as an unset object
// variable does, instead of crashing.
template <typename T>
T& use(T* pointer)
{
    if (!pointer)
        throw std::runtime_error("Variável de objeto ou variável do bloco With não definida");
    return *pointer;
}

template <typename T>
T& use(const std::shared_ptr<T>& handle)
{
    return use(handle.get());
}

}  // namespace ondrel::platform
