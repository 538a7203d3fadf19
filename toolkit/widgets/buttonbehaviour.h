#pragma once

#include "toolkit/base/events.h"

#include <QMetaObject>
#include <QPoint>

#include <functional>

class QMouseEvent;
class QWidget;

namespace tk {

class Control;

// Whether the pointer is over a control. Qt tells it with enter and leave, except while a mouse button
// holds the mouse, when only the moves can tell it; each arrival and each departure counts once, however
// many of these tell of it.
class PointerPresence {
public:
    bool over() const { return m_over; }
    // For a control that has looked for itself where the pointer is.
    void setOver(bool over) { m_over = over; }
    // Qt's enter and leave: true when they are news.
    bool arrived() { return change(true); }
    bool departed() { return change(false); }
    // A move at pos, in control's own coordinates, with held buttons: true when it crossed the control's
    // edge. A move without a button tells nothing that enter and leave do not.
    bool moved(const QWidget *control, QPoint pos, Qt::MouseButtons held);

private:
    bool change(bool over);

    bool m_over = false;
};

// OnMouseEnter and OnMouseLeave, for a control that has them: each is fired through an overridable
// step, with the control as sender.
class PointerEvents {
public:
    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;

protected:
    explicit PointerEvents(QObject *sender) : m_sender(sender) {}
    virtual ~PointerEvents() = default;
    PointerEvents(const PointerEvents &) = delete;
    PointerEvents &operator=(const PointerEvents &) = delete;

    virtual void FireMouseEnter();
    virtual void FireMouseLeave();

private:
    QObject *m_sender;
};

// Latching in a group: the buttons of one family under one parent with the same nonzero GroupIndex, of
// which at most one is Down. A latched button of a group without AllowAllUp comes up only when another of
// its group goes down; the buttons of a group share AllowAllUp.
class GroupLatch {
public:
    // family: the class whose buttons make groups with this one. releasedByGroup: what the button does
    // when another of its group latches and so takes Down from it (Down is already false then).
    GroupLatch(QWidget *button, const QMetaObject &family, std::function<void()> releasedByGroup);
    ~GroupLatch();
    GroupLatch(const GroupLatch &) = delete;
    GroupLatch &operator=(const GroupLatch &) = delete;

    bool down() const { return m_down; }
    int groupIndex() const { return m_groupIndex; }
    bool allowAllUp() const { return m_allowAllUp; }

    // Each stores the value and tells the group, whose other buttons take AllowAllUp.
    void setGroupIndex(int index);
    void setAllowAllUp(bool allow);
    // Down as far as the group lets it: outside a group a button never latches, and a latched button
    // without AllowAllUp stays down. True when Down changed: the button shows it, and a button that went
    // down then tells its group (notifyGroup).
    bool takeDown(bool down);
    // Tells the other buttons of the group (none outside a group or without a parent) what this one is:
    // a latched one comes up when this one is down; each takes AllowAllUp.
    void notifyGroup();

private:
    void noticed(const GroupLatch &sender);

    QWidget *m_button;
    const QMetaObject &m_family;
    std::function<void()> m_releasedByGroup;
    bool m_down = false;
    bool m_allowAllUp = false;
    int m_groupIndex = 0;
};

// What every pressable control does with the mouse, written once after qtbase's QAbstractButton: where
// a release counts as inside, the press that any call-out may end, the release that ends it and clicks
// inside, and the face a tracked press shows. Each control keeps its own look and its handlers' order.
class ButtonBehaviour {
public:
    enum class Inside {
        Rect,        // the control's rectangle
        RowBelowToo, // and the row of pixels just below it, as the picture and the flat buttons have it
    };
    ButtonBehaviour(Control &control, Inside rule);

    bool inside(QPoint pos) const;

    // The press that makes a click with its release: any press begins the control's press, and a left
    // one (but the second press of a double click) makes a click pending, which the release of that
    // button inside makes.
    void pressForClick(const QMouseEvent &event);
    // True when the release clicks. The press ends with the last button released.
    bool releaseClicks(const QMouseEvent &event);
    bool clickPending() const { return m_clickPending; }
    // The press went without its release: nothing clicks.
    void forgetClick() { m_clickPending = false; }

    // A tracked press: one that the control shows from its press to its release (Pressing, Tracking,
    // FPressed); losing the press ends it too.
    bool tracking() const { return m_tracking; }
    void setTracking(bool tracking) { m_tracking = tracking; }
    // The state a tracked press shows, in the control's own states: latched when down, else pressed
    // where a release would count as inside, up elsewhere.
    template <class State>
    State trackedState(QPoint pos, bool down, State up, State pressed, State latched) const
    {
        return down ? latched : inside(pos) ? pressed : up;
    }

    // Calls out while a press is begun: true when the control still exists and the press still stands.
    // An error box, a modal window, hiding, disabling or moving the control elsewhere ends the press,
    // and what follows the call-out must not show or begin one.
    bool callOutDuringPress(const std::function<void()> &handler, bool *completed = nullptr);

private:
    Control &m_control;
    Inside m_rule;
    bool m_clickPending = false;
    bool m_tracking = false;
};

} // namespace tk
