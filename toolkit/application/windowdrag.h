#pragma once

#include <QObject>
#include <QPoint>
#include <QPointF>
#include <QPointer>

#include <functional>

class QWidget;
class QWindow;

namespace tk {

// Lets the user move a frameless window by pressing on one of its surfaces and dragging: once the
// pointer has gone the drag distance with the left button held, the window system takes over the
// move, holding the window by the point that was pressed. A press and release without that drag
// reaches the surface as before, untouched. Where the program cannot place its windows (Wayland) the
// compositor takes the move over at the press itself: it holds the window by wherever the pointer is
// when asked, and is told nothing of the press point. The press is then the compositor's and never
// reaches the surface.
class WindowDragger : public QObject {
    Q_OBJECT
public:
    // Watches surface; it moves the window that surface lies in.
    explicit WindowDragger(QWidget *surface);

    // How far the pointer goes before a press becomes a drag; the platform's drag distance unless set.
    int dragDistance() const;
    void setDragDistance(int pixels) { m_dragDistance = pixels; }

    // How the window system is asked to take over the move, held at the global press position; true
    // when it did. The toolkit's startSystemMoveFrom unless set.
    using SystemMove = std::function<bool(QWindow *window, QPointF pressGlobal)>;
    void setSystemMove(SystemMove move) { m_systemMove = std::move(move); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void beginMove(QPointF globalPos);
    void followPointer(QPointF globalPos);

    QPointer<QWidget> m_surface;
    int m_dragDistance = -1;
    SystemMove m_systemMove;
    bool m_armed = false;        // the left button went down on the surface
    bool m_movingByHand = false; // the window system could not move it: we follow the pointer
    bool m_handedOver = false;   // the window system was asked to move it
    QPointF m_pressGlobal;
    QPoint m_windowAtPress;
};

} // namespace tk
