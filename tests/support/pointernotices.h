#pragma once

// The pointer's arrival and departure sent to a control as the notifications themselves. Qt's own
// dispatch of enter and leave reads the widget once more after delivering them, which no handling of a
// control can prevent, so a test whose handler deletes its control there sends them this way.

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
