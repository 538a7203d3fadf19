#pragma once

class QEvent;
class QWidget;

namespace tk {

// For a control that takes input events only once the delivery around them is over: true when event is
// a mouse event, an enter, a leave or a context menu request that arrived inside another delivery. The
// event is then taken (Qt looks no further for a receiver), and once that delivery has ended a copy of
// it goes straight to the receiver's own handling, its event filters having seen the original; a mouse
// event or a request the receiver leaves goes on to its parent as Qt would have sent it.
bool holdBackInput(QWidget *receiver, QEvent *event);

} // namespace tk
