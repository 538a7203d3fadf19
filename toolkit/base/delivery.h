#pragma once

#include <QObject>

#include <functional>

namespace tk {

// Qt goes on with an event after a widget's handler has returned, and not all of what follows asks
// whether the widget still exists: it sends the mouse move that brought an enter or a leave to the
// widget under the pointer, looks at each widget it sent an enter or a leave to, forwards a right press
// to the pressed widget as a context menu request, and repaints a widget after its resize. User code
// reached from such an event may delete its control or the control's container, so a control keeps that
// code for the end of the delivery around the event: by then Qt is done with every widget involved.
//
// A delivery is one event handed to its receiver; the application marks each one (DeliveryScope), and
// the deliveries that an event's handling sends make a nesting. afterDelivery keeps a step until the
// delivery that encloses the current one has ended, and runs it then, after the steps kept before it,
// unless owner is gone by then. Outside any enclosing delivery (an event sent by hand, outside the event
// loop) the step runs when the current delivery ends; outside any delivery at all it runs at once.
void afterDelivery(QObject *owner, std::function<void()> step);

// Whether the current event is part of the handling of another one, so that Qt may still be at work on
// its receiver once the current handler returns.
bool deliveryEnclosed();

// Marks the delivery of one event for as long as it lives; the steps kept for the end of that delivery
// run as it ends. Failures of the steps are shown as any handler's are.
class DeliveryScope {
public:
    DeliveryScope();
    ~DeliveryScope();
    DeliveryScope(const DeliveryScope &) = delete;
    DeliveryScope &operator=(const DeliveryScope &) = delete;
};

} // namespace tk
