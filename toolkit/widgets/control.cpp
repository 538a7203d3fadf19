#include "toolkit/widgets/control.h"

#include "toolkit/base/callout.h"
#include "toolkit/base/delivery.h"
#include "toolkit/base/events.h"
#include "toolkit/widgets/accessibility.h"
#include "toolkit/widgets/heldinput.h"
#include "toolkit/widgets/keyboard.h"
#include "toolkit/widgets/pointer.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMouseEvent>

namespace tk {

// Watches the control's own events: for those after which its press cannot end with a release, for
// those after which its parent's colour may be another, and for the input it takes only once Qt has
// delivered the event around it (holdBackInput).
class Control::EventWatch : public QObject {
public:
    explicit EventWatch(Control *control) : m_control(control) {}

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (holdBackInput(m_control->m_self, event))
            return true;
        if (m_control->m_pressHeld && endsPress(*event))
            m_control->losePress();
        if (changesParentColor(*event))
            m_control->followParentColor();
        return false;
    }

private:
    bool endsPress(const QEvent &event) const
    {
        switch (int(event.type())) {
        case QEvent::Hide:
        case QEvent::ParentChange: // moved elsewhere, perhaps to another window: the release goes astray
        case CancelModeType:
            return true;
        case QEvent::EnabledChange:
            return !m_control->m_self->isEnabled();
        default:
            return false;
        }
    }

    static bool changesParentColor(const QEvent &event)
    {
        switch (int(event.type())) {
        case QEvent::ParentChange:
        case QEvent::PaletteChange: // the parent's palette reached the control
        case ParentColorChangedType:
            return true;
        default:
            return false;
        }
    }

    Control *m_control;
};

Control::Control(QWidget *self) : m_self(self), m_eventWatch(std::make_unique<EventWatch>(this))
{
    m_self->installEventFilter(m_eventWatch.get());
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
    if (key.isEmpty())
        return;
    m_acceleratorId = m_self->grabShortcut(key);
    // One press of the key is one command, however long it is held.
    m_self->setShortcutAutoRepeat(m_acceleratorId, false);
}

bool Control::isAccelerator(const QEvent *event) const
{
    return m_acceleratorId != 0 && event->type() == QEvent::Shortcut &&
           static_cast<const QShortcutEvent *>(event)->shortcutId() == m_acceleratorId;
}

void Control::losePress()
{
    endPress();
    if (m_behaviour) {
        m_behaviour->forgetClick();
        m_behaviour->setTracking(false);
    }
    pressLost();
}

void Control::setParentColor(bool follow)
{
    if (m_parentColor == follow)
        return;
    m_parentColor = follow;
    if (follow)
        followParentColor();
}

void Control::followParentColor()
{
    if (const QWidget *parent = m_self->isWindow() ? nullptr : m_self->parentWidget())
        parentColorChanged(faceColorOf(parent));
}

TColor Control::faceColor() const
{
    return fromQColor(m_self->palette().color(m_self->backgroundRole()));
}

void Control::passFaceColorOn()
{
    // A colour that is not in the palette reaches the children no other way.
    for (QObject *child : m_self->children()) {
        if (child->isWidgetType()) {
            ParentColorChangedEvent changed;
            QCoreApplication::sendEvent(child, &changed);
        }
    }
}

void Control::setHint(const QString &hint)
{
    if (m_hint == hint)
        return;
    m_hint = hint;
    announceDescriptionChange(m_self);
}

bool Control::press()
{
    if (!hasPress() || !m_self->isVisible() || !m_self->isEnabled() || commandsBlocked(m_self))
        return false;
    callOut(m_self, [this] { pressAction(); });
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

bool Control::hintShowing(THintInfo &)
{
    return true;
}

Control *asControl(const QWidget *widget)
{
    return dynamic_cast<Control *>(const_cast<QWidget *>(widget));
}

TColor faceColorOf(const QWidget *widget)
{
    if (const Control *control = asControl(widget))
        return control->faceColor();
    return fromQColor(widget->palette().color(widget->backgroundRole()));
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
    if (!parent || !asControl(widget) || asControl(widget)->windowed())
        return false;
    for (const QObject *sibling : parent->children()) {
        const auto *w = qobject_cast<const QWidget *>(sibling);
        if (!w || w == widget || w->isWindow() || !w->isVisible())
            continue;
        const Control *c = asControl(w);
        if ((!c || c->windowed()) && w->geometry().contains(widget->geometry()))
            return true;
    }
    return false;
}

GraphicControl::GraphicControl(QWidget *parent, ButtonBehaviour::Inside inside)
    : QWidget(parent), Control(this), m_button(*this, inside)
{
    if (!parent)
        return;
    // Qt stacks siblings in creation order; a windowless control must stay under the windowed ones.
    for (QObject *sibling : parent->children()) {
        auto *w = qobject_cast<QWidget *>(sibling);
        if (!w || w == this || w->isWindow())
            continue;
        if (const Control *c = asControl(w); c && c->windowed()) {
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
    m_button.pressForClick(*event);
    QWidget::mousePressEvent(event);
}

void GraphicControl::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_button.releaseClicks(*event))
        callOut(this, [this] { Click(); });
}

void GraphicControl::keyPressEvent(QKeyEvent *event)
{
    if (!isActivationKey(*event) || !hasPress()) {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    if (!isKeyRepeat(*event))
        press();
}

void GraphicControl::focusInEvent(QFocusEvent *event)
{
    if (event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason)
        setKeyboardInUse(true);
    QWidget::focusInEvent(event);
}

void GraphicControl::setAlign(TAlign align)
{
    if (m_align == align)
        return;
    m_align = align;
    watchParent(align == alNone ? nullptr : parentWidget());
    followParent();
}

void GraphicControl::watchParent(QWidget *parent)
{
    if (m_watchedParent == parent)
        return;
    if (m_watchedParent)
        m_watchedParent->removeEventFilter(this);
    m_watchedParent = parent;
    if (parent)
        parent->installEventFilter(this);
}

void GraphicControl::followParent()
{
    if (m_align == alNone || !parentWidget())
        return;
    const QRect area = parentWidget()->contentsRect();
    QRect r = geometry();
    switch (m_align) {
    case alTop:
        r = QRect(area.left(), area.top(), area.width(), r.height());
        break;
    case alBottom:
        r = QRect(area.left(), area.bottom() + 1 - r.height(), area.width(), r.height());
        break;
    case alLeft:
        r = QRect(area.left(), area.top(), r.width(), area.height());
        break;
    case alRight:
        r = QRect(area.right() + 1 - r.width(), area.top(), r.width(), area.height());
        break;
    case alClient:
        r = area;
        break;
    case alNone:
        return;
    }
    if (r != geometry())
        SetBounds(r.x(), r.y(), r.width(), r.height());
}

void GraphicControl::SetBounds(int left, int top, int width, int height)
{
    setGeometry(left, top, width, height);
}

bool GraphicControl::eventFilter(QObject *watched, QEvent *event)
{
    // Once Qt has done with the parent's resizing, which goes on after this: placing the control may
    // reach user code (a descendant's SetBounds), which may delete the parent.
    if (watched == m_watchedParent && event->type() == QEvent::Resize)
        afterDelivery(this, [this] { followParent(); });
    return QWidget::eventFilter(watched, event);
}

bool GraphicControl::event(QEvent *event)
{
    if (event->type() == QEvent::ParentChange) {
        watchParent(m_align == alNone ? nullptr : parentWidget());
        // Once Qt has done with the move, for the same reason.
        afterDelivery(this, [this] { followParent(); });
    }
    if (event->type() != QEvent::Paint)
        return QWidget::event(event);
    // After the control's own painting, so that the mark lies on top of whatever it drew.
    const bool done = QWidget::event(event);
    paintFocusMark(this);
    return done;
}

} // namespace tk
