#include "toolkit/base/events.h"

#include <QMouseEvent>

namespace tk {

TMouseButton mouseButtonOf(Qt::MouseButton button)
{
    switch (button) {
    case Qt::RightButton:
        return mbRight;
    case Qt::MiddleButton:
        return mbMiddle;
    default:
        return mbLeft;
    }
}

TShiftState shiftStateOf(const QMouseEvent &event)
{
    TShiftState shift = 0;
    const Qt::KeyboardModifiers keys = event.modifiers();
    if (keys & Qt::ShiftModifier)
        shift |= ssShift;
    if (keys & Qt::AltModifier)
        shift |= ssAlt;
    if (keys & Qt::ControlModifier)
        shift |= ssCtrl;
    const Qt::MouseButtons held = event.buttons();
    if (held & Qt::LeftButton)
        shift |= ssLeft;
    if (held & Qt::RightButton)
        shift |= ssRight;
    if (held & Qt::MiddleButton)
        shift |= ssMiddle;
    return shift;
}

} // namespace tk
