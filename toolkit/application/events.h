#pragma once

#include <QEvent>

namespace tk {

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

// Sent to the control that holds the mouse before an error box comes up: it drops its pressed state.
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
