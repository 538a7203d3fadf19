#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

namespace tk {

// Shows a failure to the user. The application installs its error box here; until it does, failures
// are swallowed, as no window could show them.
using ErrorReporter = std::function<void(const QString &message)>;
void setErrorReporter(ErrorReporter reporter);

// Runs code that may fail; an exception that escapes it is shown in the error box and the program goes
// on. User code is reached through callOut, which also answers whether its caller survived; runGuarded
// alone serves callers that outlive anything user code can do (the application's start-up work) and
// code that is no user code but may fail.
void runGuarded(const std::function<void()> &handler);

// Calls out to user code (an event handler, a sound list, a virtual step a descendant may override)
// on behalf of caller. Any such call may destroy the caller, so the answer is whether the caller still
// exists; when it does not, the caller must return at once without touching a member. An exception is
// shown in the error box as runGuarded does; completed, when given, says whether the handler ran to
// its end.
inline bool callOut(QObject *caller, const std::function<void()> &handler, bool *completed = nullptr)
{
    const QPointer<QObject> alive(caller);
    bool done = false;
    runGuarded([&] {
        handler();
        done = true;
    });
    if (completed)
        *completed = done;
    return !alive.isNull();
}

} // namespace tk
