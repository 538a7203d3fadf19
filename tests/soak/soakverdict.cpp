#include "tests/soak/soakverdict.h"

#include <algorithm>

namespace {

struct Range {
    long low = 0;
    long high = 0;
    long actionsAtLow = 0;
    long actionsAtHigh = 0;
};

template <class Field> Range rangeOf(const std::vector<const SoakSample *> &samples, Field field)
{
    Range r{field(*samples.front()), field(*samples.front()), samples.front()->actions,
            samples.front()->actions};
    for (const SoakSample *s : samples) {
        const long v = field(*s);
        if (v < r.low)
            r = {v, r.high, s->actions, r.actionsAtHigh};
        if (v > r.high)
            r = {r.low, v, r.actionsAtLow, s->actions};
    }
    return r;
}

std::string describe(const char *what, const Range &r, const char *unit)
{
    return std::string(what) + " from " + std::to_string(r.low) + unit + " (at " +
           std::to_string(r.actionsAtLow) + " actions) to " + std::to_string(r.high) + unit + " (at " +
           std::to_string(r.actionsAtHigh) + ")";
}

} // namespace

SoakVerdict judgeSoak(const std::vector<SoakSample> &samples, long settleActions, long rssToleranceKiB)
{
    std::vector<const SoakSample *> settled;
    for (const SoakSample &s : samples) {
        if (s.actions >= settleActions)
            settled.push_back(&s);
    }
    if (settled.size() < 2)
        return {false,
                "fewer than two samples after the first " + std::to_string(settleActions) + " actions"};

    const Range rss = rangeOf(settled, [](const SoakSample &s) { return s.rssKiB; });
    const Range fds = rangeOf(settled, [](const SoakSample &s) { return s.fds; });
    const Range threads = rangeOf(settled, [](const SoakSample &s) { return s.threads; });
    std::string failures;
    const auto fail = [&failures](const std::string &what) {
        failures += (failures.empty() ? "" : "; ") + what;
    };
    if (rss.high - rss.low > rssToleranceKiB)
        fail(describe("resident memory", rss, " KiB"));
    if (fds.high != fds.low)
        fail(describe("open files", fds, ""));
    if (threads.high != threads.low)
        fail(describe("threads", threads, ""));
    if (!failures.empty())
        return {false, failures};
    return {true, "resident memory within " + std::to_string(rss.high - rss.low) + " KiB, " +
                      std::to_string(fds.low) + " open files, " + std::to_string(threads.low) + " threads"};
}
