#include "application.h"

#include "accessibility.h"
#include "callout.h"
#include "control.h"
#include "errors.h"
#include "events.h"
#include "hintwindow.h"

#include <QCursor>
#include <QMessageBox>
#include <QMouseEvent>
#include <QScreen>
#include <QWindow>

#include <new>
#include <system_error>
#include <utility>

using namespace Qt::StringLiterals;

namespace tk {

namespace {

QPointer<QWidget> g_captureControl;

// Where a hint window's top edge goes below the cursor's hot spot: the height of the arrow cursor.
constexpr int kCursorHeightMargin = 20;

QPalette classicPalette()
{
    QPalette palette;
    auto set = [&palette](QPalette::ColorRole role, TColor color) {
        palette.setColor(role, toQColor(color));
    };
    set(QPalette::Window, clBtnFace);
    set(QPalette::WindowText, clWindowText);
    set(QPalette::Base, clWindow);
    set(QPalette::AlternateBase, clBtnFace);
    set(QPalette::Text, clWindowText);
    set(QPalette::Button, clBtnFace);
    set(QPalette::ButtonText, clBtnText);
    set(QPalette::Light, clBtnHighlight);
    set(QPalette::Midlight, cl3DLight);
    set(QPalette::Mid, clBtnShadow);
    set(QPalette::Dark, clBtnShadow);
    set(QPalette::Shadow, cl3DDkShadow);
    set(QPalette::Highlight, clHighlight);
    set(QPalette::HighlightedText, clHighlightText);
    set(QPalette::ToolTipBase, clInfoBk);
    set(QPalette::ToolTipText, clInfoText);
    palette.setColor(QPalette::Disabled, QPalette::WindowText, toQColor(clGrayText));
    palette.setColor(QPalette::Disabled, QPalette::Text, toQColor(clGrayText));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, toQColor(clGrayText));
    return palette;
}

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

bool isHintWindow(const QWidget *w)
{
    return w && qobject_cast<const THintWindow *>(w->window());
}

// Another window takes the mouse from the control that holds it, and the release with it: the control
// ends its press.
void cancelCapture()
{
    if (QWidget *capture = g_captureControl) {
        CancelModeEvent cancel;
        QCoreApplication::sendEvent(capture, &cancel);
        g_captureControl = nullptr;
    }
}

bool isPopup(const QObject *o)
{
    return o->isWidgetType() && static_cast<const QWidget *>(o)->windowType() == Qt::Popup;
}

bool holdsCapture(const QObject *window)
{
    const QWidget *capture = g_captureControl;
    return capture && (window == capture->window() || window == capture->window()->windowHandle());
}

} // namespace

Application::Application(int &argc, char **argv) : QApplication(argc, argv)
{
    setPalette(classicPalette());
    // The main window's close ends the program (setMainForm); windows of other kinds never do.
    setQuitOnLastWindowClosed(false);
    m_hintTimer.setSingleShot(true);
    m_hintTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_hintTimer, &QTimer::timeout, this, &Application::hintTimerExpired);
    installEventFilter(this);
    installAccessibility();
    setHintWindowClass<THintWindow>();
    // Hints start switched on, so their window exists from the start, as switching on would make it.
    createHintWindow();
}

Application::~Application()
{
    // Before anything of the application goes: the work beside may be using it.
    for (std::thread &thread : m_besideWork)
        thread.join();
    m_hintWindow.reset();
}

Application *Application::instance()
{
    return qobject_cast<Application *>(QCoreApplication::instance());
}

void Application::setMainForm(QWidget *form)
{
    m_mainForm = form;
}

int Application::Run()
{
    if (m_mainForm)
        m_mainForm->show();
    m_running = true;
    const int result = exec();
    m_running = false;
    return result;
}

QString Application::messageWithFullStop(const QString &message)
{
    if (!message.isEmpty() && message.back() > u'.')
        return message + u'.';
    return message;
}

void Application::ShowException(const QString &message)
{
    cancelCapture();
    if (QWidget *grabber = QWidget::mouseGrabber())
        grabber->releaseMouse();
    CancelHint();
    QMessageBox box(QMessageBox::Critical, Title, messageWithFullStop(message), QMessageBox::Ok, m_mainForm);
    box.exec();
}

void Application::setCaptureControl(QWidget *control)
{
    g_captureControl = control;
}

QWidget *Application::captureControl()
{
    return g_captureControl;
}

bool Application::notify(QObject *receiver, QEvent *event)
{
    // The last net: handlers are run through runGuarded, so nothing should arrive here.
    try {
        return QApplication::notify(receiver, event);
    } catch (const Error &e) {
        ShowException(e.message());
    } catch (const std::exception &e) {
        ShowException(QString::fromLocal8Bit(e.what()));
    }
    return false;
}

void Application::setShowHint(bool show)
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

void Application::setHintWindowClass(HintWindowFactory factory)
{
    m_hintWindowClass = std::move(factory);
}

void Application::createHintWindow()
{
    m_hintWindow.reset(m_hintWindowClass.create ? m_hintWindowClass.create() : new THintWindow);
}

QWidget *Application::findControlAt(QPoint globalPos)
{
    QWidget *modal = activeModalWidget();
    QPoint local;
    const Application *app = instance();
    QWidget *top = app ? app->sightedAt(globalPos, local) : nullptr;
    if (!top) {
        for (QWidget *w : topLevelWidgets()) {
            if (!w->isVisible() || isHintWindow(w) || !globalBounds(w).contains(globalPos))
                continue;
            if (!top || w == modal || (w == activeWindow() && top != modal))
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

void Application::notePointer(QObject *window, const QSinglePointEvent &event)
{
    auto *handle = static_cast<QWindow *>(window);
    m_pointer = {handle, event.position().toPoint(), event.globalPosition().toPoint(), handle->position()};
}

QWidget *Application::sightedAt(QPoint globalPos, QPoint &local) const
{
    const QWindow *window = m_pointer.window;
    if (!window || globalPos != m_pointer.global || window->position() != m_pointer.windowPos)
        return nullptr;
    QWidget *top = widgetOf(window);
    // Outside its window the pointer was seen only because a pressed button holds it there.
    if (!top || !top->isVisible() || isHintWindow(top) || !top->rect().contains(m_pointer.local))
        return nullptr;
    local = m_pointer.local;
    return top;
}

QPoint Application::pointerIn(const QWidget *control, QPoint globalPos) const
{
    QPoint local;
    if (const QWidget *top = sightedAt(globalPos, local); top && top == control->window())
        return control->mapFrom(top, local);
    return control->mapFromGlobal(globalPos);
}

void Application::afterFirstFrame(std::function<void()> work)
{
    m_afterFirstFrame.push_back(std::move(work));
    if (m_framePainted && m_afterFirstFrame.size() == 1)
        QMetaObject::invokeMethod(this, &Application::runAfterFirstFrame, Qt::QueuedConnection);
}

void Application::startBeside(std::function<void()> work)
{
    try {
        m_besideWork.emplace_back(work);
    } catch (const std::system_error &) {
        work();
    }
}

void Application::runAfterFirstFrame()
{
    m_firstFrameShown = true;
    // Work may add work: it runs at the next turn.
    for (auto &work : std::exchange(m_afterFirstFrame, {}))
        runGuarded(work);
}

bool Application::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::Paint:
        // A window paints itself, its children and puts the frame on the screen within this one event;
        // a queued call runs once it has returned.
        if (!m_framePainted && watched->isWidgetType() && static_cast<QWidget *>(watched)->isWindow()) {
            m_framePainted = true;
            QMetaObject::invokeMethod(this, &Application::runAfterFirstFrame, Qt::QueuedConnection);
        }
        break;
    case QEvent::Show:
        // A menu takes the mouse wherever it comes from.
        if (isPopup(watched))
            cancelCapture();
        break;
    case QEvent::WindowBlocked:
        // A modal window over the one the press was held in: Qt forgets the press there.
        if (holdsCapture(watched))
            cancelCapture();
        break;
    case QEvent::ToolTip:
        return true; // hints are ours; Qt's own tooltip would come on its own delays
    case QEvent::MouseMove:
        // Every move in one of our windows reaches its window first, whatever the widget's tracking.
        if (watched->isWindowType()) {
            const auto *move = static_cast<QMouseEvent *>(event);
            notePointer(watched, *move);
            m_pointerAway = false;
            hintMouseMove(move->globalPosition().toPoint());
        }
        break;
    case QEvent::Enter:
        if (!watched->isWindowType())
            break;
        notePointer(watched, *static_cast<QEnterEvent *>(event));
        // A pointer that comes back to exactly the pixel it left from makes no move: its arrival starts
        // the hint as a move would. Only a real return counts: Qt also reports an arrival when a window
        // above the pointer (the hint itself) goes away, and a click's cancel must hold until a move.
        if (m_pointerAway) {
            m_pointerAway = false;
            hintMouseMove(static_cast<QEnterEvent *>(event)->globalPosition().toPoint());
        }
        break;
    case QEvent::Leave:
        if (!watched->isWindowType())
            break;
        if (m_pointer.window == watched)
            m_pointer.window = nullptr;
        if (!findControlAt(QCursor::pos())) {
            m_pointerAway = true;
            CancelHint();
        }
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
        if (watched->isWindowType())
            notePointer(watched, *static_cast<QMouseEvent *>(event));
        [[fallthrough]];
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Wheel:
        // A click or a key takes the hint away; the mouse must move again to bring it back.
        if (watched->isWindowType())
            CancelHint();
        break;
    case QEvent::Close:
        if (watched == m_mainForm && watched->isWidgetType())
            QMetaObject::invokeMethod(
                this,
                [this] {
                    if (m_running && m_mainForm && !m_mainForm->isVisible())
                        exit(0);
                },
                Qt::QueuedConnection);
        break;
    default:
        break;
    }
    return QApplication::eventFilter(watched, event);
}

void Application::hintMouseMove(QPoint globalPos)
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

void Application::startHintTimer(int ms, bool show)
{
    m_hintTimerShows = show;
    m_hintTimer.start(std::max(ms, 0));
}

void Application::hintTimerExpired()
{
    m_hintTimer.stop();
    if (m_hintTimerShows) {
        ActivateHint(QCursor::pos());
    } else {
        HideHint();
        // Gone by itself, the hint is no longer up: the next control waits the full pause. The control
        // is kept, so resting on it does not bring the hint back.
        m_hintActive = false;
    }
}

void Application::HideHint()
{
    if (m_hintWindow && m_hintWindow->isVisible())
        m_hintWindow->hide();
}

void Application::CancelHint()
{
    // Not only when a control is known: a control destroyed while its hint is up has already cleared
    // it, and its hint must still go.
    HideHint();
    m_hintControl = nullptr;
    m_hintActive = false;
    m_hintTimer.stop();
    m_hintCursorRect = {};
}

void Application::ActivateHint(QPoint cursorPos)
{
    m_hintActive = false;
    THintInfo info;
    QWidget *control = m_hintControl;
    if (m_showHint && control && control == hintControlFor(findControlAt(cursorPos))) {
        info.HintControl = control;
        info.HintWindowClass = m_hintWindowClass;
        info.HintPos = cursorPos + QPoint(0, kCursorHeightMargin);
        const QScreen *screen = primaryScreen();
        info.HintMaxWidth = screen ? screen->geometry().width() : 0;
        info.HintColor = m_hintColor;
        info.CursorRect = TRect::fromQRect(control->rect());
        info.CursorPos = pointerIn(control, cursorPos);
        info.HideTimeout = m_hintHidePause;
        info.HintStr = hintFor(control);

        bool canShow = true;
        runGuarded([&] {
            if (Control *c = asControl(control))
                canShow = c->HintShowing(info);
            if (canShow && OnShowHint)
                OnShowHint(info.HintStr, canShow, info);
        });
        // A handler may have destroyed or hidden the control.
        m_hintActive = canShow && m_hintControl;
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
            runGuarded([&] { window->ActivateHintData(r, info.HintStr, info.HintData); });
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

void runGuarded(const std::function<void()> &handler)
{
    Application *app = Application::instance();
    auto show = [app](const QString &message) {
        if (app)
            app->ShowException(message);
    };
    try {
        handler();
    } catch (const Error &e) {
        show(e.message());
    } catch (const std::bad_alloc &) {
        show(u"Out of memory"_s);
    } catch (const std::exception &e) {
        show(QString::fromLocal8Bit(e.what()));
    }
}

} // namespace tk
