#include "windowdrag.h"

#include "windowplacement.h"

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
        m_movingByHand = false;
        m_pressGlobal = press->globalPosition().toPoint();
        m_windowAtPress = m_surface->window()->pos();
        break;
    }
    case QEvent::MouseMove: {
        const auto *move = static_cast<QMouseEvent *>(event);
        if (!(move->buttons() & Qt::LeftButton)) {
            m_armed = m_movingByHand = false;
            break;
        }
        const QPoint at = move->globalPosition().toPoint();
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
        m_armed = m_movingByHand = false;
        break;
    default:
        break;
    }
    return false;
}

void WindowDragger::beginMove(QPoint globalPos)
{
    QWidget *window = m_surface->window();
    if (QWindow *handle = window->windowHandle(); handle && handle->startSystemMove())
        return; // the window system has the pointer now; the press ends there
    // Without a window manager that moves windows (a bare X server), follow the pointer ourselves;
    // where the program cannot place windows there is nothing more to do.
    if (platformPlacesWindows()) {
        m_movingByHand = true;
        followPointer(globalPos);
    }
}

void WindowDragger::followPointer(QPoint globalPos)
{
    m_surface->window()->move(m_windowAtPress + globalPos - m_pressGlobal);
}

} // namespace tk
