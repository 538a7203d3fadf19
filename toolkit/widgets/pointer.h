#pragma once

#include <QPoint>
#include <QPointer>
#include <QWindow>

class QObject;
class QSinglePointEvent;
class QWidget;

namespace tk {

// Where the last pointer event in one of our windows saw the pointer. A window manager may never tell
// Qt where it put a window, or tell it late, so Qt's idea of the window's place cannot turn a screen
// position into a position in the window; the event's own position in it can. The application feeds
// it every pointer event that reaches a window; there is one at a time.
class PointerTracker {
public:
    PointerTracker();
    ~PointerTracker();
    PointerTracker(const PointerTracker &) = delete;
    PointerTracker &operator=(const PointerTracker &) = delete;

    static PointerTracker *current();

    void noteEvent(QObject *window, const QSinglePointEvent &event);
    // The pointer left window: what was seen there no longer says where it is.
    void windowLeft(const QObject *window);

    // The top-level widget that the last sighting puts under globalPos, and the point in it.
    QWidget *sightedAt(QPoint globalPos, QPoint &local) const;

private:
    QPointer<QWindow> m_window;
    QPoint m_local;
    QPoint m_global;
    QPoint m_windowPos; // where Qt had the window then: once it has moved, the sighting is stale
};

// The control under a screen point, disabled controls included; nothing over a hint window. Where the
// last pointer event in one of our windows was at that point, the control is the one under that event's
// own position in its window, whatever Qt believes about where the window lies.
QWidget *findControlAt(QPoint globalPos);
// globalPos in control's coordinates, from the last sighting where there is one.
QPoint pointerIn(const QWidget *control, QPoint globalPos);
bool isHintWindow(const QWidget *w);

// The control that holds the mouse (pressed on it). It gets a CancelModeEvent when another window takes
// the mouse: an error box, a modal window over its own, a menu (cancelCapture).
void setCaptureControl(QWidget *control);
QWidget *captureControl();
void cancelCapture();
// Whether window (a widget or its platform window) is the one the capture is held in.
bool holdsCapture(const QObject *window);

} // namespace tk
