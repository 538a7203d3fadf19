#include "toolkit/widgets/buttonbehaviour.h"

#include "toolkit/base/callout.h"
#include "toolkit/widgets/control.h"

#include <QHash>
#include <QMouseEvent>
#include <QPointer>
#include <QWidget>

#include <utility>

namespace tk {

namespace {

// The latch of each button that has one, so that a button can reach the others of its group.
QHash<const QWidget *, GroupLatch *> &latches()
{
    static QHash<const QWidget *, GroupLatch *> all;
    return all;
}

} // namespace

// Pointer presence

bool PointerPresence::change(bool over)
{
    if (m_over == over)
        return false;
    m_over = over;
    return true;
}

bool PointerPresence::moved(const QWidget *control, QPoint pos, Qt::MouseButtons held)
{
    return held != Qt::NoButton && change(control->rect().contains(pos));
}

// Pointer events

void PointerEvents::FireMouseEnter()
{
    if (OnMouseEnter)
        OnMouseEnter(m_sender);
}

void PointerEvents::FireMouseLeave()
{
    if (OnMouseLeave)
        OnMouseLeave(m_sender);
}

// Group latch

GroupLatch::GroupLatch(QWidget *button, const QMetaObject &family, std::function<void()> releasedByGroup)
    : m_button(button), m_family(family), m_releasedByGroup(std::move(releasedByGroup))
{
    latches().insert(button, this);
}

GroupLatch::~GroupLatch()
{
    latches().remove(m_button);
}

void GroupLatch::setGroupIndex(int index)
{
    m_groupIndex = index;
    notifyGroup();
}

void GroupLatch::setAllowAllUp(bool allow)
{
    m_allowAllUp = allow;
    notifyGroup();
}

bool GroupLatch::takeDown(bool down)
{
    if (m_groupIndex == 0)
        down = false;
    if (down == m_down || (m_down && !m_allowAllUp))
        return false;
    m_down = down;
    return true;
}

void GroupLatch::notifyGroup()
{
    const QWidget *parent = m_button->parentWidget();
    if (m_groupIndex == 0 || !parent)
        return;
    // A copy: the list may not change under the loop, though nothing here adds or removes a child.
    const QObjectList siblings = parent->children();
    for (const QObject *sibling : siblings) {
        if (!sibling->isWidgetType() || !m_family.cast(sibling))
            continue;
        if (GroupLatch *other = latches().value(static_cast<const QWidget *>(sibling));
            other && other != this)
            other->noticed(*this);
    }
}

void GroupLatch::noticed(const GroupLatch &sender)
{
    if (sender.m_groupIndex != m_groupIndex)
        return;
    if (sender.m_down && m_down) {
        m_down = false;
        m_releasedByGroup();
    }
    m_allowAllUp = sender.m_allowAllUp;
}

// Button behaviour

ButtonBehaviour::ButtonBehaviour(Control &control, Inside rule) : m_control(control), m_rule(rule)
{
    control.m_behaviour = this;
}

bool ButtonBehaviour::inside(QPoint pos) const
{
    const QWidget *w = m_control.widget();
    const int bottom = m_rule == Inside::RowBelowToo ? w->height() : w->height() - 1;
    return pos.x() >= 0 && pos.x() < w->width() && pos.y() >= 0 && pos.y() <= bottom;
}

void ButtonBehaviour::pressForClick(const QMouseEvent &event)
{
    if (!m_control.pressHeld())
        m_control.beginPress();
    if (event.button() == Qt::LeftButton)
        m_clickPending = event.type() != QEvent::MouseButtonDblClick;
}

bool ButtonBehaviour::releaseClicks(const QMouseEvent &event)
{
    const bool click =
        m_clickPending && event.button() == Qt::LeftButton && inside(event.position().toPoint());
    if (event.button() == Qt::LeftButton)
        m_clickPending = false;
    if (event.buttons() == Qt::NoButton)
        m_control.endPress();
    return click;
}

bool ButtonBehaviour::callOutDuringPress(const std::function<void()> &handler, bool *completed)
{
    Control &control = m_control;
    return callOut(control.widget(), handler, completed) && control.pressHeld();
}

} // namespace tk
