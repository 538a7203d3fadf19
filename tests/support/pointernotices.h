#pragma once

// The pointer's arrival and departure sent to a control as the notifications themselves, for a state that
// a real move through the window cannot make (the pointer over a window that is not active). Where the
// real path can be taken, a test moves the pointer through the window: Qt then finds the control itself
// and goes on with the event after the control's handlers.

#include <QCoreApplication>
#include <QCursor>
#include <QEnterEvent>
#include <QWidget>

inline void sendPointerEnter(QWidget *control, QPoint globalPos)
{
    QCursor::setPos(globalPos);
    const QPointF local = control->mapFromGlobal(QPointF(globalPos));
    QEnterEvent enter(local, control->window()->mapFromGlobal(QPointF(globalPos)), QPointF(globalPos));
    QCoreApplication::sendEvent(control, &enter);
}

inline void sendPointerLeave(QWidget *control, QPoint globalAway)
{
    QCursor::setPos(globalAway);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(control, &leave);
}
