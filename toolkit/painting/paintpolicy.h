#pragma once

#include <exception>

namespace tk {

// What a paint does when one of its steps fails: it leaves that step out and draws the rest. It never
// shows an error box, which would come back with every repaint; the operation that made the failure
// possible (a setter, a load) is where it is reported.
template <class Step> void paintOrLeaveOut(Step &&step) noexcept
{
    try {
        step();
    } catch (const std::exception &) {
    }
}

} // namespace tk
