#include "toolkit/base/delivery.h"

#include "toolkit/base/callout.h"

#include <QPointer>

#include <algorithm>
#include <deque>
#include <memory>
#include <utility>

namespace tk {

namespace {

struct KeptStep {
    QPointer<QObject> owner;
    int depth; // the delivery at whose end it runs
    std::function<void()> step;
};

// Per thread: events are delivered on the thread their receiver lives in.
thread_local int t_depth = 0;
thread_local std::deque<KeptStep> t_kept;

} // namespace

void afterDelivery(QObject *owner, std::function<void()> step)
{
    if (t_depth == 0) {
        runGuarded(step);
        return;
    }
    t_kept.push_back({owner, std::max(t_depth - 1, 1), std::move(step)});
}

bool deliveryEnclosed()
{
    return t_depth > 1;
}

DeliveryScope::DeliveryScope()
{
    ++t_depth;
}

DeliveryScope::~DeliveryScope()
{
    // Steps may keep further steps for this same delivery: they run in this loop too, in their turn.
    for (;;) {
        const auto next = std::find_if(t_kept.begin(), t_kept.end(),
                                       [](const KeptStep &kept) { return kept.depth >= t_depth; });
        if (next == t_kept.end())
            break;
        KeptStep kept = std::move(*next);
        t_kept.erase(next);
        if (kept.owner)
            runGuarded(kept.step);
    }
    --t_depth;
}

} // namespace tk
