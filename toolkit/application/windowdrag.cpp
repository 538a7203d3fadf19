#include "toolkit/application/windowdrag.h"

#include "toolkit/application/systemmove.h"
#include "toolkit/widgets/windowplacement.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

namespace tk {

WindowDragger::WindowDragger(QWidget *surface) : QObject(surface), m_surface(surface)
{
    surface->installEventFilter(this);
}

int WindowDragger::dragDistance() const
{
    return m_dragDistance >= 0 ? m_dragDistance : QApplication::startDragDistance();
}

bool WindowDragger::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_surface)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        const auto *press = static_cast<QMouseEvent *>(event);
        m_armed = press->button() == Qt::LeftButton;
        m_movingByHand = m_handedOver = false;
        m_pressGlobal = press->globalPosition();
        m_windowAtPress = m_surface->window()->pos();
        if (m_armed && !platformPlacesWindows()) {
            m_armed = false;
            beginMove(m_pressGlobal);
            return m_handedOver;
        }
        break;
    }
    case QEvent::MouseMove: {
        const auto *move = static_cast<QMouseEvent *>(event);
        if (!(move->buttons() & Qt::LeftButton)) {
            m_armed = m_movingByHand = false;
            break;
        }
        const QPointF at = move->globalPosition();
        if (m_movingByHand) {
            followPointer(at);
            return true;
        }
        if (m_armed && (at - m_pressGlobal).manhattanLength() >= dragDistance()) {
            m_armed = false;
            beginMove(at);
            return true;
        }
        break;
    }
    case QEvent::MouseButtonRelease:
        if (m_handedOver)
            cancelSystemMove(m_surface->window()->windowHandle());
        m_armed = m_movingByHand = m_handedOver = false;
        break;
    default:
        break;
    }
    return false;
}

void WindowDragger::beginMove(QPointF globalPos)
{
    QWidget *window = m_surface->window();
    // Held by the pressed point, not by where the pointer crossed the drag distance: the window must
    // not trail the pointer by that distance.
    QWindow *handle = window->windowHandle();
    if (handle &&
        (m_systemMove ? m_systemMove(handle, m_pressGlobal) : startSystemMoveFrom(handle, m_pressGlobal))) {
        m_handedOver = true;
        return; // the window system has the pointer now; the press ends there
    }
    // Without a window manager that moves windows (a bare X server), follow the pointer ourselves;
    // where the program cannot place windows there is nothing more to do.
    if (platformPlacesWindows()) {
        m_movingByHand = true;
        followPointer(globalPos);
    }
}

void WindowDragger::followPointer(QPointF globalPos)
{
    m_surface->window()->move(m_windowAtPress + (globalPos - m_pressGlobal).toPoint());
}

} // namespace tk
