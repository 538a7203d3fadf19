#pragma once

#include "canvas.h"
#include "colors.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <functional>
#include <memory>
#include <thread>
#include <typeinfo>
#include <vector>

class QSinglePointEvent;

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

// The application object: title, main window, error box and the pop-up hint machinery.
class Application : public QApplication {
    Q_OBJECT
public:
    Application(int &argc, char **argv);
    ~Application() override;

    static Application *instance();

    QString Title;
    // The first window created; closing it ends the program.
    QWidget *MainForm() const { return m_mainForm; }
    void setMainForm(QWidget *form);

    // Shows the main window and runs the message loop until it closes.
    int Run();

    // Runs work once the first frame of a window is on the screen (at the next turn of the loop when
    // one already is): for what that frame does not show, so that the window appears that much sooner.
    void afterFirstFrame(std::function<void()> work);
    // True from the turn after the first frame of a window was put on the screen.
    bool firstFrameShown() const { return m_firstFrameShown; }
    // Runs work on a thread of its own while the main thread goes on, for start-up work that needs the
    // application object and may run beside it (fonts, the session bus). The application waits for it
    // before it ends. Where no thread can be had, work runs here and now.
    void startBeside(std::function<void()> work);

    // The error box: caption Title, stop icon, OK. Cancels any mouse capture first.
    void ShowException(const QString &message);
    // The text the error box shows for a message: a full stop is appended when the last character sorts
    // above "." (letters, digits, all Cyrillic).
    static QString messageWithFullStop(const QString &message);

    // Hints.
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

    THintWindow *HintWindow() const { return m_hintWindow.get(); }
    QWidget *HintControl() const { return m_hintControl; }
    bool HintActive() const { return m_hintActive; }
    // The wait before the hint timer acts, or -1 when it does not run; for tests.
    int pendingHintDelay() const { return m_hintTimer.isActive() ? m_hintTimer.interval() : -1; }
    bool pendingHintShows() const { return m_hintTimerShows; }

    // Hides the hint and forgets its control; the next mouse move starts over.
    void CancelHint();
    void HideHint();
    // Shows the hint for the control under the cursor now (what the show timer does).
    void ActivateHint(QPoint cursorPos);

    // The control under a screen point, disabled controls included; nothing over a hint window. Where
    // the last pointer event in one of our windows was at that point, the control is the one under
    // that event's own position in its window, whatever Qt believes about where the window lies.
    static QWidget *findControlAt(QPoint globalPos);

    // The control that holds the mouse (pressed on it); it gets a CancelModeEvent when another window takes
    // the mouse: an error box, a modal window over its own, a menu.
    static void setCaptureControl(QWidget *control);
    static QWidget *captureControl();

    bool notify(QObject *receiver, QEvent *event) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Where the last pointer event in one of our windows saw the pointer. A window manager may never
    // tell Qt where it put a window, or tell it late, so Qt's idea of the window's place cannot turn a
    // screen position into a position in the window; the event's own position in it can.
    struct PointerSighting {
        QPointer<QWindow> window;
        QPoint local;
        QPoint global;
        QPoint windowPos; // where Qt had the window then: once it has moved, the sighting is stale
    };
    void notePointer(QObject *window, const QSinglePointEvent &event);
    // The top-level widget that the last sighting puts under globalPos, and the point in it.
    QWidget *sightedAt(QPoint globalPos, QPoint &local) const;
    // globalPos in control's coordinates, from the sighting where it has one.
    QPoint pointerIn(const QWidget *control, QPoint globalPos) const;
    void hintMouseMove(QPoint globalPos);
    void startHintTimer(int ms, bool show);
    void hintTimerExpired();
    void createHintWindow();
    void runAfterFirstFrame();

    QPointer<QWidget> m_mainForm;
    bool m_running = false; // inside Run(): closing the main window ends it
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
    PointerSighting m_pointer;
    bool m_pointerAway = false; // the pointer left our windows and has not come back
    bool m_framePainted = false;
    bool m_firstFrameShown = false;
    std::vector<std::function<void()>> m_afterFirstFrame;
    std::vector<std::thread> m_besideWork;
};

} // namespace tk
