#pragma once

#include <QEvent>

#include <cstdint>
#include <functional>

class QMouseEvent;

namespace tk {

// The mouse button an event is about.
enum TMouseButton : std::uint8_t { mbLeft, mbRight, mbMiddle };

// Bit set of the keys and mouse buttons held with a mouse event.
enum TShiftStateBit : unsigned {
    ssShift = 1u << 0,
    ssAlt = 1u << 1,
    ssCtrl = 1u << 2,
    ssLeft = 1u << 3,
    ssRight = 1u << 4,
    ssMiddle = 1u << 5,
    ssDouble = 1u << 6,
};
using TShiftState = unsigned;

// The handler types every control's events use; Sender is the control.
using TNotifyEvent = std::function<void(QObject *Sender)>;
using TMouseEvent =
    std::function<void(QObject *Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(QObject *Sender, TShiftState Shift, int X, int Y)>;

TMouseButton mouseButtonOf(Qt::MouseButton button);
// The keys and the buttons held, as the event tells them (a press counts its own button).
TShiftState shiftStateOf(const QMouseEvent &event);

// Notifications the controls react to, beyond what Qt itself sends.
enum EventType : int {
    SystemColorsChangedType = QEvent::User + 100,
    CancelModeType,
    ParentColorChangedType,
};

// The system colour table changed (setSystemColor).
class SystemColorsChangedEvent : public QEvent {
public:
    SystemColorsChangedEvent() : QEvent(QEvent::Type(SystemColorsChangedType)) {}
};

// Sent to the control that holds the mouse when another window takes it (an error box, a modal window
// over the control's own, a menu): it drops its pressed state.
class CancelModeEvent : public QEvent {
public:
    CancelModeEvent() : QEvent(QEvent::Type(CancelModeType)) {}
};

// Sent by a control to its children when its colour changes: a colour that is not in the palette
// reaches them no other way, and those that follow their parent's colour take the new one.
class ParentColorChangedEvent : public QEvent {
public:
    ParentColorChangedEvent() : QEvent(QEvent::Type(ParentColorChangedType)) {}
};

} // namespace tk
