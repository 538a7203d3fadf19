#include "toolkit/widgets/control.h"

#include "toolkit/base/callout.h"
#include "toolkit/base/delivery.h"
#include "toolkit/base/events.h"
#include "toolkit/widgets/accessibility.h"
#include "toolkit/widgets/keyboard.h"
#include "toolkit/widgets/pointer.h"

#include <QKeyEvent>
#include <QKeySequence>
#include <QMouseEvent>

namespace tk {

// Watches the control's own events for those after which its press cannot end with a release.
class Control::PressWatch : public QObject {
public:
    explicit PressWatch(Control *control) : m_control(control) {}

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (holdBackInput(m_control->m_self, event))
            return true;
        if (m_control->m_pressHeld && endsPress(*event))
            m_control->losePress();
        return false;
    }

private:
    bool endsPress(const QEvent &event) const
    {
        switch (int(event.type())) {
        case QEvent::Hide:
        case CancelModeType:
            return true;
        case QEvent::EnabledChange:
            return !m_control->m_self->isEnabled();
        default:
            return false;
        }
    }

    Control *m_control;
};

Control::Control(QWidget *self) : m_self(self), m_pressWatch(std::make_unique<PressWatch>(this))
{
    m_self->installEventFilter(m_pressWatch.get());
}

Control::~Control()
{
    if (tk::captureControl() == m_self)
        tk::setCaptureControl(nullptr);
}

void Control::beginPress()
{
    m_pressHeld = true;
    // An error box coming up while the button is held must find the control to end the press.
    tk::setCaptureControl(m_self);
}

bool Control::endPress()
{
    if (!m_pressHeld)
        return false;
    m_pressHeld = false;
    if (tk::captureControl() == m_self)
        tk::setCaptureControl(nullptr);
    return true;
}

void Control::setAccelerator(const QString &caption)
{
    if (m_acceleratorId != 0) {
        m_self->releaseShortcut(m_acceleratorId);
        m_acceleratorId = 0;
    }
    const QKeySequence key = QKeySequence::mnemonic(caption);
    if (!key.isEmpty())
        m_acceleratorId = m_self->grabShortcut(key);
}

bool Control::isAccelerator(const QEvent *event) const
{
    return m_acceleratorId != 0 && event->type() == QEvent::Shortcut &&
           static_cast<const QShortcutEvent *>(event)->shortcutId() == m_acceleratorId;
}

void Control::losePress()
{
    endPress();
    m_clickPending = false;
    pressLost();
}

void Control::pressForClick(const QMouseEvent &event)
{
    if (!m_pressHeld)
        beginPress();
    if (event.button() == Qt::LeftButton)
        m_clickPending = true;
}

bool Control::releaseClicks(const QMouseEvent &event)
{
    const bool click = m_clickPending && event.button() == Qt::LeftButton &&
                       m_self->rect().contains(event.position().toPoint());
    if (event.button() == Qt::LeftButton)
        m_clickPending = false;
    if (event.buttons() == Qt::NoButton)
        endPress();
    return click;
}

void Control::setHint(const QString &hint)
{
    if (m_hint == hint)
        return;
    m_hint = hint;
    announceDescriptionChange(m_self);
}

bool Control::Press()
{
    if (!HasPress() || !m_self->isVisible() || !m_self->isEnabled() || commandsBlocked(m_self))
        return false;
    runGuarded([this] { PressAction(); });
    return true;
}

bool Control::ShowHint() const
{
    if (m_parentShowHint && m_self->parentWidget())
        return showHintInForce(m_self->parentWidget());
    return m_showHint;
}

void Control::setShowHint(bool show)
{
    m_showHint = show;
    m_parentShowHint = false;
}

bool Control::HintShowing(THintInfo &)
{
    return true;
}

Control *asControl(const QWidget *widget)
{
    return dynamic_cast<Control *>(const_cast<QWidget *>(widget));
}

bool showHintInForce(const QWidget *widget)
{
    if (!widget)
        return false;
    if (const Control *control = asControl(widget))
        return control->ShowHint();
    return showHintInForce(widget->parentWidget());
}

QWidget *hintControlFor(QWidget *widget)
{
    while (widget && !showHintInForce(widget))
        widget = widget->parentWidget();
    return widget;
}

QString hintFor(const QWidget *widget)
{
    for (; widget; widget = widget->parentWidget()) {
        if (const Control *control = asControl(widget); control && !control->Hint().isEmpty())
            return control->Hint();
    }
    return {};
}

bool followsParentFont(const QWidget *widget)
{
    return !widget->testAttribute(Qt::WA_SetFont);
}

void setFollowsParentFont(QWidget *widget, bool follow)
{
    if (followsParentFont(widget) == follow)
        return;
    QFont own;
    if (!follow) {
        own = widget->font();
        own.setResolveMask(QFont::AllPropertiesResolved);
    }
    widget->setFont(own);
}

bool coveredByWindowedSibling(const QWidget *widget)
{
    const QWidget *parent = widget->parentWidget();
    if (!parent || !asControl(widget) || asControl(widget)->Windowed())
        return false;
    for (const QObject *sibling : parent->children()) {
        const auto *w = qobject_cast<const QWidget *>(sibling);
        if (!w || w == widget || w->isWindow() || !w->isVisible())
            continue;
        const Control *c = asControl(w);
        if ((!c || c->Windowed()) && w->geometry().contains(widget->geometry()))
            return true;
    }
    return false;
}

GraphicControl::GraphicControl(QWidget *parent) : QWidget(parent), Control(this)
{
    if (!parent)
        return;
    // Qt stacks siblings in creation order; a windowless control must stay under the windowed ones.
    for (QObject *sibling : parent->children()) {
        auto *w = qobject_cast<QWidget *>(sibling);
        if (!w || w == this || w->isWindow())
            continue;
        if (const Control *c = asControl(w); c && c->Windowed()) {
            stackUnder(w);
            break;
        }
        if (!asControl(w)) { // a plain Qt widget has a window of its own as far as we are concerned
            stackUnder(w);
            break;
        }
    }
}

void GraphicControl::Click()
{
    if (OnClick)
        OnClick(this);
}

void GraphicControl::mousePressEvent(QMouseEvent *event)
{
    pressForClick(*event);
    QWidget::mousePressEvent(event);
}

void GraphicControl::mouseReleaseEvent(QMouseEvent *event)
{
    if (releaseClicks(*event))
        callOut(this, [this] { Click(); });
}

void GraphicControl::keyPressEvent(QKeyEvent *event)
{
    if (!isActivationKey(*event) || !HasPress()) {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    if (!isKeyRepeat(*event))
        Press();
}

void GraphicControl::focusInEvent(QFocusEvent *event)
{
    if (event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason)
        setKeyboardInUse(true);
    QWidget::focusInEvent(event);
}

bool GraphicControl::event(QEvent *event)
{
    if (event->type() != QEvent::Paint)
        return QWidget::event(event);
    // After the control's own painting, so that the mark lies on top of whatever it drew.
    const bool done = QWidget::event(event);
    paintFocusMark(this);
    return done;
}

} // namespace tk
