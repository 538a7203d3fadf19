#include "toolkit/application/hints.h"

#include "toolkit/base/callout.h"
#include "toolkit/widgets/control.h"
#include "toolkit/widgets/hintwindow.h"
#include "toolkit/widgets/pointer.h"
#include "toolkit/widgets/windowplacement.h"

#include <QCursor>
#include <QEnterEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>

namespace tk {

namespace {

// Where a hint window's top edge goes below the cursor's hot spot: the height of the arrow cursor.
constexpr int kCursorHeightMargin = 20;
// How often the platform is asked where the pointer is while a hint is up.
constexpr int kPointerCheckInterval = 250;

} // namespace

Hints::Hints()
{
    m_hintTimer.setSingleShot(true);
    m_hintTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_hintTimer, &QTimer::timeout, this, &Hints::hintTimerExpired);
    m_pointerCheck.setInterval(kPointerCheckInterval);
    connect(&m_pointerCheck, &QTimer::timeout, this, &Hints::checkPointer);
    setHintWindowClass<THintWindow>();
    // Hints start switched on, so their window exists from the start, as switching on would make it.
    createHintWindow();
}

Hints::~Hints() = default;

void Hints::setShowHint(bool show)
{
    if (m_showHint == show)
        return;
    m_showHint = show;
    if (show) {
        createHintWindow();
    } else {
        CancelHint();
        m_hintWindow.reset();
    }
}

void Hints::setHintWindowClass(HintWindowFactory factory)
{
    m_hintWindowClass = std::move(factory);
}

void Hints::createHintWindow()
{
    m_hintWindow.reset(m_hintWindowClass.create ? m_hintWindowClass.create() : new THintWindow);
}

void Hints::noteEvent(QObject *watched, const QEvent *event)
{
    if (!watched->isWindowType())
        return;
    switch (event->type()) {
    case QEvent::MouseMove:
    case QEvent::Enter:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
        m_pointerSeenAt = static_cast<const QSinglePointEvent *>(event)->globalPosition().toPoint();
        m_pointerHeard = true;
        break;
    default:
        break;
    }
    switch (event->type()) {
    case QEvent::MouseMove:
        m_pointerAway = false;
        mouseMoved(m_pointerSeenAt);
        break;
    case QEvent::Enter:
        // A pointer that comes back to exactly the pixel it left from makes no move: its arrival starts
        // the hint as a move would. Only a real return counts: Qt also reports an arrival when a window
        // above the pointer (the hint itself) goes away, and a click's cancel must hold until a move.
        if (m_pointerAway) {
            m_pointerAway = false;
            mouseMoved(m_pointerSeenAt);
        }
        break;
    case QEvent::Leave:
        // Whatever window it left, the hint's control's or the hint's own, the pointer is no longer
        // known to be over the control. Where it went is not asked of the platform: a Wayland
        // compositor does not say, and Xwayland goes on reporting the last place it saw over its own
        // windows. Should it have gone to another of our windows, its arrival there starts over.
        m_pointerAway = true;
        CancelHint();
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Wheel:
        // A click or a key takes the hint away; the mouse must move again to bring it back.
        CancelHint();
        break;
    default:
        break;
    }
}

void Hints::mouseMoved(QPoint globalPos)
{
    QWidget *hintControl = hintControlFor(findControlAt(globalPos));
    if (!hintControl) {
        CancelHint();
        return;
    }
    if (hintControl == m_hintControl && m_hintCursorRect.contains(pointerIn(hintControl, globalPos)))
        return;
    // Until the hint shows its cursor rectangle is empty, so every move starts the wait anew: the
    // hint comes once the mouse has rested.
    const bool wasActive = m_hintActive;
    CancelHint();
    m_hintActive = wasActive;
    m_hintControl = hintControl;
    startHintTimer(wasActive ? m_hintShortPause : m_hintPause, true);
}

void Hints::startHintTimer(int ms, bool show)
{
    m_hintTimerShows = show;
    m_hintTimer.start(std::max(ms, 0));
}

void Hints::hintTimerExpired()
{
    m_hintTimer.stop();
    if (m_hintTimerShows) {
        ActivateHint(pointerPos());
    } else {
        HideHint();
        // Gone by itself, the hint is no longer up: the next control waits the full pause. The control
        // is kept, so resting on it does not bring the hint back.
        m_hintActive = false;
    }
}

QPoint Hints::pointerPos() const
{
    // Where the program cannot place its windows the platform knows the pointer only from the events
    // it delivers, and may report a place none of them had (the corner of the screen just after an
    // arrival).
    return platformPlacesWindows() ? QCursor::pos() : m_pointerSeenAt;
}

void Hints::checkPointer()
{
    // The position is compared only with what the platform itself said before, never mapped through
    // where Qt believes a window lies: a window manager may not have told it.
    const QPoint at = QCursor::pos();
    if (m_pointerHeard) {
        m_pointerHeard = false;
        m_pointerMovedOff = false;
    } else if (m_pointerMovedOff) {
        // A whole interval has passed for the move to be reported by one of our windows, and none was.
        m_pointerAway = true;
        CancelHint();
        return;
    } else {
        m_pointerMovedOff = at != m_pointerCheckedAt;
    }
    m_pointerCheckedAt = at;
}

void Hints::HideHint()
{
    m_pointerCheck.stop();
    if (m_hintWindow && m_hintWindow->isVisible())
        m_hintWindow->hide();
}

void Hints::CancelHint()
{
    // Not only when a control is known: a control destroyed while its hint is up has already cleared
    // it, and its hint must still go.
    HideHint();
    m_hintControl = nullptr;
    m_hintActive = false;
    m_hintTimer.stop();
    m_hintCursorRect = {};
}

void Hints::ActivateHint(QPoint cursorPos)
{
    m_hintActive = false;
    THintInfo info;
    QWidget *control = m_hintControl;
    if (m_showHint && control && control == hintControlFor(findControlAt(cursorPos))) {
        info.HintControl = control;
        info.HintWindowClass = m_hintWindowClass;
        info.HintPos = cursorPos + QPoint(0, kCursorHeightMargin);
        const QScreen *screen = QGuiApplication::primaryScreen();
        info.HintMaxWidth = screen ? screen->geometry().width() : 0;
        info.HintColor = m_hintColor;
        info.CursorRect = TRect::fromQRect(control->rect());
        info.CursorPos = pointerIn(control, cursorPos);
        info.HideTimeout = m_hintHidePause;
        info.HintStr = hintFor(control);

        bool canShow = true;
        // Both the control's step and the show-hint event are user code; either may destroy the control.
        const bool controlLeft = callOut(control, [&] {
            if (Control *c = asControl(control))
                canShow = c->hintShowing(info);
            if (canShow && OnShowHint)
                OnShowHint(info.HintStr, canShow, info);
        });
        // A handler may have hidden the control or moved the hint on to another.
        m_hintActive = canShow && controlLeft && m_hintControl == control;
        if (m_hintActive && !info.HintStr.isEmpty()) {
            const THintWindow *shown = m_hintWindow.get();
            if (!shown || !info.HintWindowClass.sameClass(m_hintWindowClass) ||
                (info.HintWindowClass.type && typeid(*shown) != *info.HintWindowClass.type)) {
                m_hintWindow.reset(info.HintWindowClass.create ? info.HintWindowClass.create()
                                                               : new THintWindow);
            }
            TRect r = m_hintWindow->CalcHintRect(info.HintMaxWidth, info.HintStr, info.HintData);
            r.Left += info.HintPos.x();
            r.Right += info.HintPos.x();
            r.Top += info.HintPos.y();
            r.Bottom += info.HintPos.y();
            m_hintCursorRect = info.CursorRect;
            m_hintWindow->setColor(info.HintColor);
            THintWindow *window = m_hintWindow.get();
            // A descendant's step, which may switch the hints off and so destroy the window.
            if (!callOut(window, [&] { window->ActivateHintData(r, info.HintStr, info.HintData); }))
                return;
            // A Wayland compositor says nothing of the pointer beyond the events it delivers, and what
            // Qt reports there in between is a guess of its own: nothing to check against.
            if (platformPlacesWindows()) {
                m_pointerCheckedAt = QCursor::pos(); // where it rests as the hint comes
                m_pointerHeard = false;
                m_pointerMovedOff = false;
                m_pointerCheck.start();
            }
            if (info.ReshowTimeout > 0)
                startHintTimer(info.ReshowTimeout, true);
            else
                startHintTimer(info.HideTimeout, false);
            return;
        }
    }
    if (info.ReshowTimeout > 0)
        startHintTimer(info.ReshowTimeout, true);
    else
        CancelHint();
}

} // namespace tk
