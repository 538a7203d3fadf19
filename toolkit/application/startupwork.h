#pragma once

#include <QObject>

#include <functional>
#include <thread>
#include <vector>

class QEvent;

namespace tk {

// Start-up work that need not hold up the first frame: work run once that frame is on the screen, and
// work run on threads of their own beside the main thread. The application feeds it the events that
// reach its windows and waits for the threads before it ends.
class StartupWork : public QObject {
    Q_OBJECT
public:
    StartupWork() = default;
    ~StartupWork() override;

    // Runs work once the first frame of a window is on the screen (at the next turn of the loop when
    // one already is): for what that frame does not show, so that the window appears that much sooner.
    void afterFirstFrame(std::function<void()> work);
    // True from the turn after the first frame of a window was put on the screen.
    bool firstFrameShown() const { return m_firstFrameShown; }
    // Runs work on a thread of its own while the main thread goes on, for start-up work that needs the
    // application object and may run beside it (fonts, the session bus). Where no thread can be had,
    // work runs here and now.
    void startBeside(const std::function<void()> &work);
    // Waits for the work started beside.
    void joinBeside();

    void noteEvent(QObject *watched, const QEvent *event);

private:
    void runAfterFirstFrame();

    bool m_framePainted = false;
    bool m_firstFrameShown = false;
    std::vector<std::function<void()>> m_afterFirstFrame;
    std::vector<std::thread> m_besideWork;
};

} // namespace tk
