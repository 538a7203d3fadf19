#include "toolkit/base/callout.h"

#include "toolkit/base/errors.h"

#include <new>
#include <utility>

using namespace Qt::StringLiterals;

namespace tk {

namespace {

ErrorReporter &reporter()
{
    static ErrorReporter installed;
    return installed;
}

} // namespace

void setErrorReporter(ErrorReporter reporter)
{
    tk::reporter() = std::move(reporter);
}

void runGuarded(const std::function<void()> &handler)
{
    auto show = [](const QString &message) {
        // A copy: the box's own loop may run a handler that installs another reporter.
        if (const ErrorReporter report = reporter())
            report(message);
    };
    try {
        handler();
    } catch (const Error &e) {
        show(e.message());
    } catch (const std::bad_alloc &) {
        show(u"Out of memory"_s);
    } catch (const std::exception &e) {
        show(QString::fromLocal8Bit(e.what()));
    }
}

} // namespace tk
