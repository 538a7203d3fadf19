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
thread_local int g_depth = 0;
thread_local std::deque<KeptStep> g_kept;

} // namespace

void afterDelivery(QObject *owner, std::function<void()> step)
{
    if (g_depth == 0) {
        runGuarded(step);
        return;
    }
    g_kept.push_back({owner, std::max(g_depth - 1, 1), std::move(step)});
}

bool deliveryEnclosed()
{
    return g_depth > 1;
}

DeliveryScope::DeliveryScope()
{
    ++g_depth;
}

DeliveryScope::~DeliveryScope()
{
    // Steps may keep further steps for this same delivery: they run in this loop too, in their turn.
    for (;;) {
        const auto next = std::find_if(g_kept.begin(), g_kept.end(),
                                       [](const KeptStep &kept) { return kept.depth >= g_depth; });
        if (next == g_kept.end())
            break;
        KeptStep kept = std::move(*next);
        g_kept.erase(next);
        if (kept.owner)
            runGuarded(kept.step);
    }
    --g_depth;
}

} // namespace tk
