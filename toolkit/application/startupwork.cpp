#include "toolkit/application/startupwork.h"

#include "toolkit/base/callout.h"

#include <QEvent>
#include <QWidget>

#include <system_error>
#include <utility>

namespace tk {

StartupWork::~StartupWork()
{
    joinBeside();
}

void StartupWork::afterFirstFrame(std::function<void()> work)
{
    m_afterFirstFrame.push_back(std::move(work));
    if (m_framePainted && m_afterFirstFrame.size() == 1)
        QMetaObject::invokeMethod(this, &StartupWork::runAfterFirstFrame, Qt::QueuedConnection);
}

void StartupWork::startBeside(const std::function<void()> &work)
{
    try {
        m_besideWork.emplace_back(work);
    } catch (const std::system_error &) {
        work();
    }
}

void StartupWork::joinBeside()
{
    for (std::thread &thread : std::exchange(m_besideWork, {}))
        thread.join();
}

void StartupWork::noteEvent(QObject *watched, const QEvent *event)
{
    // A window paints itself, its children and puts the frame on the screen within this one event; a
    // queued call runs once it has returned.
    if (event->type() == QEvent::Paint && !m_framePainted && watched->isWidgetType() &&
        static_cast<QWidget *>(watched)->isWindow()) {
        m_framePainted = true;
        QMetaObject::invokeMethod(this, &StartupWork::runAfterFirstFrame, Qt::QueuedConnection);
    }
}

void StartupWork::runAfterFirstFrame()
{
    m_firstFrameShown = true;
    // Work may add work: it runs at the next turn.
    for (auto &work : std::exchange(m_afterFirstFrame, {}))
        runGuarded(work);
}

} // namespace tk
