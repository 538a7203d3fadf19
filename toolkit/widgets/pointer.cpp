#include "toolkit/widgets/pointer.h"

#include "toolkit/base/events.h"
#include "toolkit/widgets/hintwindow.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

namespace tk {

namespace {

PointerTracker *g_current = nullptr;
QPointer<QWidget> g_captureControl;

// The window where the mapping between global and local positions puts it: where the platform cannot
// place windows, the widget's own idea of its position may be one that never was. Its frame does not
// count: a window manager that has not yet sized the frame it put around a window reports it 1 x 1.
QRect globalBounds(const QWidget *w)
{
    return {w->mapToGlobal(QPoint(0, 0)), w->size()};
}

QWidget *widgetOf(const QWindow *window)
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->windowHandle() == window)
            return w;
    return nullptr;
}

} // namespace

PointerTracker::PointerTracker()
{
    g_current = this;
}

PointerTracker::~PointerTracker()
{
    if (g_current == this)
        g_current = nullptr;
}

PointerTracker *PointerTracker::current()
{
    return g_current;
}

void PointerTracker::noteEvent(QObject *window, const QSinglePointEvent &event)
{
    auto *handle = static_cast<QWindow *>(window);
    m_window = handle;
    m_local = event.position().toPoint();
    m_global = event.globalPosition().toPoint();
    m_windowPos = handle->position();
}

void PointerTracker::windowLeft(const QObject *window)
{
    if (m_window == window)
        m_window = nullptr;
}

QWidget *PointerTracker::sightedAt(QPoint globalPos, QPoint &local) const
{
    const QWindow *window = m_window;
    if (!window || globalPos != m_global || window->position() != m_windowPos)
        return nullptr;
    QWidget *top = widgetOf(window);
    // Outside its window the pointer was seen only because a pressed button holds it there.
    if (!top || !top->isVisible() || isHintWindow(top) || !top->rect().contains(m_local))
        return nullptr;
    local = m_local;
    return top;
}

bool isHintWindow(const QWidget *w)
{
    return w && qobject_cast<const THintWindow *>(w->window());
}

QWidget *findControlAt(QPoint globalPos)
{
    QWidget *modal = QApplication::activeModalWidget();
    QPoint local;
    QWidget *top = g_current ? g_current->sightedAt(globalPos, local) : nullptr;
    if (!top) {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (!w->isVisible() || isHintWindow(w) || !globalBounds(w).contains(globalPos))
                continue;
            if (!top || w == modal || (w == QApplication::activeWindow() && top != modal))
                top = w;
        }
        if (top)
            local = top->mapFromGlobal(globalPos);
    }
    // Windows under a modal one take no mouse, and so show no hints.
    if (!top || (modal && top != modal))
        return nullptr;
    QWidget *child = top->childAt(local);
    return child ? child : top;
}

QPoint pointerIn(const QWidget *control, QPoint globalPos)
{
    QPoint local;
    if (const QWidget *top = g_current ? g_current->sightedAt(globalPos, local) : nullptr;
        top && top == control->window())
        return control->mapFrom(top, local);
    return control->mapFromGlobal(globalPos);
}

void setCaptureControl(QWidget *control)
{
    g_captureControl = control;
}

QWidget *captureControl()
{
    return g_captureControl;
}

void cancelCapture()
{
    if (QWidget *capture = g_captureControl) {
        CancelModeEvent cancel;
        QCoreApplication::sendEvent(capture, &cancel);
        g_captureControl = nullptr;
    }
}

bool holdsCapture(const QObject *window)
{
    const QWidget *capture = g_captureControl;
    return capture && (window == capture->window() || window == capture->window()->windowHandle());
}

} // namespace tk
