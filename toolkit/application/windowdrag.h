#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>

class QWidget;

namespace tk {

// Lets the user move a frameless window by pressing on one of its surfaces and dragging: once the
// pointer has gone the drag distance with the left button held, the window system takes over the
// move. A press and release without that drag reaches the surface as before, untouched.
class WindowDragger : public QObject {
    Q_OBJECT
public:
    // Watches surface; it moves the window that surface lies in.
    explicit WindowDragger(QWidget *surface);

    // How far the pointer goes before a press becomes a drag; the platform's drag distance unless set.
    int dragDistance() const;
    void setDragDistance(int pixels) { m_dragDistance = pixels; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void beginMove(QPoint globalPos);
    void followPointer(QPoint globalPos);

    QPointer<QWidget> m_surface;
    int m_dragDistance = -1;
    bool m_armed = false;        // the left button went down on the surface
    bool m_movingByHand = false; // the window system could not move it: we follow the pointer
    QPoint m_pressGlobal;
    QPoint m_windowAtPress;
};

} // namespace tk
