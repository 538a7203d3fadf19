#pragma once

#include "toolkit/painting/canvas.h"
#include "toolkit/painting/colors.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <typeinfo>

class QEvent;

namespace tk {

class THintWindow;

// A class of hint window: which one, and how to make it.
struct HintWindowFactory {
    const std::type_info *type = nullptr;
    std::function<THintWindow *()> create;
    bool sameClass(const HintWindowFactory &other) const
    {
        return type && other.type && *type == *other.type;
    }
};

// Everything about one hint, handed to the hinted control and to the show-hint event before it is shown.
struct THintInfo {
    QWidget *HintControl = nullptr;
    HintWindowFactory HintWindowClass;
    QPoint HintPos;       // screen position of the window's top-left corner
    int HintMaxWidth = 0; // the widest the window may be
    TColor HintColor = clInfoBk;
    TRect CursorRect;      // in HintControl's coordinates: the hint stays while the mouse is inside
    QPoint CursorPos;      // in HintControl's coordinates
    int ReshowTimeout = 0; // when > 0, the hint is shown again after this many ms
    int HideTimeout = 0;
    QString HintStr;
    void *HintData = nullptr;
};

using TShowHintEvent = std::function<void(QString &HintStr, bool &CanShow, THintInfo &HintInfo)>;

// The application's pop-up hints: the delays, the hint window and its class, the show-hint event, and
// the timers that bring a hint when the mouse rests on a control and take it away again. The
// application feeds it the events that reach its windows.
class Hints : public QObject {
    Q_OBJECT
public:
    Hints();
    ~Hints() override;

    int HintPause() const { return m_hintPause; }
    void setHintPause(int ms) { m_hintPause = ms; }
    int HintShortPause() const { return m_hintShortPause; }
    void setHintShortPause(int ms) { m_hintShortPause = ms; }
    int HintHidePause() const { return m_hintHidePause; }
    void setHintHidePause(int ms) { m_hintHidePause = ms; }
    TColor HintColor() const { return m_hintColor; }
    void setHintColor(TColor color) { m_hintColor = color; }

    // Switching on creates a hint window of the registered class; switching off destroys it.
    bool ShowHint() const { return m_showHint; }
    void setShowHint(bool show);

    const HintWindowFactory &HintWindowClass() const { return m_hintWindowClass; }
    void setHintWindowClass(HintWindowFactory factory);
    template <class T> void setHintWindowClass()
    {
        setHintWindowClass(HintWindowFactory{&typeid(T), [] { return static_cast<THintWindow *>(new T); }});
    }

    TShowHintEvent OnShowHint;

    THintWindow *hintWindow() const { return m_hintWindow.get(); }
    QWidget *hintControl() const { return m_hintControl; }
    bool hintActive() const { return m_hintActive; }
    // The wait before the hint timer acts, or -1 when it does not run; for tests.
    int pendingHintDelay() const { return m_hintTimer.isActive() ? m_hintTimer.interval() : -1; }
    bool pendingHintShows() const { return m_hintTimerShows; }

    // How often the platform is asked where the pointer is while a hint is up; for tests.
    void setPointerCheckInterval(int ms) { m_pointerCheck.setInterval(ms); }

    // Hides the hint and forgets its control; the next mouse move starts over.
    void CancelHint();
    void HideHint();
    // Shows the hint for the control under the cursor now (what the show timer does).
    void ActivateHint(QPoint cursorPos);

    void noteEvent(QObject *watched, const QEvent *event);

private:
    void mouseMoved(QPoint globalPos);
    void startHintTimer(int ms, bool show);
    void hintTimerExpired();
    void checkPointer();
    QPoint pointerPos() const;
    void createHintWindow();

    int m_hintPause = 500;
    int m_hintShortPause = 0;
    int m_hintHidePause = 2500;
    TColor m_hintColor = clInfoBk;
    bool m_showHint = true;
    HintWindowFactory m_hintWindowClass;
    std::unique_ptr<THintWindow> m_hintWindow;
    QPointer<QWidget> m_hintControl;
    bool m_hintActive = false;
    TRect m_hintCursorRect;
    QTimer m_hintTimer;
    bool m_hintTimerShows = false;
    bool m_pointerAway = false; // the pointer left our windows and has not come back
    QPoint m_pointerSeenAt;     // where the last pointer event in one of our windows put it
    // While a hint is up the platform is asked now and then where the pointer is: a pointer that moves
    // and is not heard of in our windows has left them, whether or not a leave was reported.
    QTimer m_pointerCheck;
    QPoint m_pointerCheckedAt;
    bool m_pointerHeard = false;    // a pointer event came since the last check
    bool m_pointerMovedOff = false; // the last check found it moved with nothing heard
};

} // namespace tk
