#include "toolkit/application/application.h"

#include "toolkit/application/dialogframe.h"
#include "toolkit/base/callout.h"
#include "toolkit/base/delivery.h"
#include "toolkit/base/errors.h"
#include "toolkit/widgets/accessibility.h"
#include "toolkit/widgets/windowplacement.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QMouseEvent>
#include <QSpacerItem>
#include <QWidget>
#include <QWindow>

namespace tk {

namespace {

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

bool isPopup(const QObject *o)
{
    return o->isWidgetType() && static_cast<const QWidget *>(o)->windowType() == Qt::Popup;
}

// Room in a title bar beside its caption: the window icon on one side and up to three buttons on the
// other, mirrored, as title bars centre their caption.
constexpr int kTitleBarRoom = 180;
// What window managers append to the caption of a second window with the same title.
constexpr QStringView kSecondWindowMark = u" <2>";

// A message box is a dialog: a title bar with its caption and a close button, and neither minimise nor
// maximise. Its width is that of its message, unless the title bar needs more to show the caption whole.
void makeDialog(QMessageBox &box)
{
    int titleBarWidth = 0;
    if (dialogsDrawOwnTitleBar()) {
        const auto *frame = new DialogFrame(&box);
        // The spacer lies inside the frame's edges.
        titleBarWidth = frame->neededWidth() - 2 * DialogFrame::kBorder;
    } else {
        box.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint);
        QFont titleFont = box.font();
        titleFont.setBold(true);
        titleBarWidth =
            QFontMetrics(titleFont).horizontalAdvance(box.windowTitle() + kSecondWindowMark.toString()) +
            kTitleBarRoom;
    }
    if (auto *grid = qobject_cast<QGridLayout *>(box.layout()))
        grid->addItem(new QSpacerItem(titleBarWidth, 0, QSizePolicy::Minimum), grid->rowCount(), 0, 1,
                      grid->columnCount());
}

// The blocked window under a modal one, if window is such.
bool blockedByModal(const QObject *window, const QWidget *modal)
{
    if (!modal || !window->isWidgetType())
        return false;
    const auto *w = static_cast<const QWidget *>(window);
    return w->isWindow() && w != modal && !modal->isAncestorOf(w) && w->windowType() != Qt::ToolTip &&
           w->windowType() != Qt::Popup;
}

} // namespace

Application::Application(int &argc, char **argv) : QApplication(argc, argv)
{
    setPalette(classicPalette());
    // The main window's close ends the program (setMainForm); windows of other kinds never do.
    setQuitOnLastWindowClosed(false);
    installEventFilter(this);
    installAccessibility();
    m_hints = std::make_unique<Hints>();
    setErrorReporter([this](const QString &message) { ShowException(message); });
}

Application::~Application()
{
    setErrorReporter(nullptr);
    // Before anything of the application goes: the work beside may be using it.
    m_startupWork.joinBeside();
    m_hints.reset();
}

Application *Application::instance()
{
    return qobject_cast<Application *>(QCoreApplication::instance());
}

QWidget *Application::MainForm() const
{
    return mainWindow();
}

void Application::setMainForm(QWidget *form)
{
    setMainWindow(form);
}

int Application::Run()
{
    if (QWidget *form = MainForm())
        form->show();
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
    m_hints->CancelHint();
    QMessageBox box(QMessageBox::Critical, Title, messageWithFullStop(message), QMessageBox::Ok, MainForm());
    makeDialog(box);
    box.exec();
}

bool Application::notify(QObject *receiver, QEvent *event)
{
    // Around the whole delivery, Qt's own work after the receiver's handler included: what the controls
    // keep for its end runs once Qt is done with every widget the event concerned.
    const DeliveryScope delivery;
    // The last net: user code is reached through callOut, so nothing should arrive here.
    try {
        return QApplication::notify(receiver, event);
    } catch (const Error &e) {
        ShowException(e.message());
    } catch (const std::exception &e) {
        ShowException(QString::fromLocal8Bit(e.what()));
    }
    return false;
}

bool Application::eventFilter(QObject *watched, QEvent *event)
{
    // Where the pointer is comes first: the hints ask it which control is under the pointer.
    switch (event->type()) {
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
    case QEvent::WindowActivate:
        // A click on a window that a modal one blocks activates it under some compositors (KWin,
        // mutter), and the keyboard goes with it to a window that takes no input: the modal window
        // asks for it back, as a window manager does for its own on X11. Once Qt has done with the
        // activation, whose own requests would otherwise come last; and while the click's press
        // still holds, as mutter grants the request only for a press that is not yet released.
        if (QWidget *modal = activeModalWidget(); blockedByModal(watched, modal))
            QMetaObject::invokeMethod(
                modal,
                [modal] {
                    if (modal->isVisible())
                        modal->activateWindow();
                },
                Qt::QueuedConnection);
        break;
    case QEvent::ToolTip:
        return true; // hints are ours; Qt's own tooltip would come on its own delays
    case QEvent::MouseMove:
    case QEvent::Enter:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
        // Every pointer event in one of our windows reaches its window first, whatever the widget's
        // tracking.
        if (watched->isWindowType())
            m_pointer.noteEvent(watched, *static_cast<QSinglePointEvent *>(event));
        break;
    case QEvent::Leave:
        m_pointer.windowLeft(watched);
        break;
    case QEvent::Close:
        if (watched == MainForm() && watched->isWidgetType())
            QMetaObject::invokeMethod(
                this,
                [this] {
                    if (m_running && MainForm() && !MainForm()->isVisible())
                        exit(0);
                },
                Qt::QueuedConnection);
        break;
    default:
        break;
    }
    m_startupWork.noteEvent(watched, event);
    if (m_hints) // not yet while its own window is being made
        m_hints->noteEvent(watched, event);
    return QApplication::eventFilter(watched, event);
}

} // namespace tk
