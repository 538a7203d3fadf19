#pragma once

#include "toolkit/base/events.h"
#include "toolkit/painting/colors.h"
#include "toolkit/widgets/buttonbehaviour.h"

#include <QAccessible>
#include <QMouseEvent>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

namespace tk {

struct THintInfo;

// Where a control places itself in its parent, following the parent's size.
enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

// What every control of the program carries beside its Qt widget: its hint and the hint switches, its
// press, ParentColor, and the watch over its own events that holds its input back until Qt has
// delivered the event around it (tk::holdBackInput). A widget that is no Control (a scroll bar inside a
// text box, say) takes the hint and its switches from its parent.
class Control {
public:
    explicit Control(QWidget *self);
    virtual ~Control();
    Control(const Control &) = delete;
    Control &operator=(const Control &) = delete;

    QWidget *widget() const { return m_self; }

    const QString &Hint() const { return m_hint; }
    void setHint(const QString &hint);

    // In force for this control: its own switch, or its parent's while ParentShowHint is set.
    bool ShowHint() const;
    // Setting ShowHint makes it the control's own (ParentShowHint false).
    void setShowHint(bool show);
    bool ParentShowHint() const { return m_parentShowHint; }
    void setParentShowHint(bool follow) { m_parentShowHint = follow; }

    // ParentColor, as every control has it beside ParentFont: while set, the control's colour is its
    // parent's face colour (faceColorOf) and follows it; setting the colour itself clears it.
    bool ParentColor() const { return m_parentColor; }
    void setParentColor(bool follow);
    // The colour the control's face shows, which child controls with ParentColor take: the background of
    // its palette unless the control paints a colour of its own.
    virtual TColor faceColor() const;

    // Called before this control's hint is shown; false cancels it. The hint information may be changed.
    virtual bool hintShowing(THintInfo &info);

    // A control with a window of its own lies above every control without one.
    virtual bool windowed() const { return true; }

    // What a screen reader is told. NoRole leaves the widget to Qt's own interface (a text box).
    virtual QAccessible::Role accessibleRole() const { return QAccessible::NoRole; }
    // The name read when none was given with setAccessibleName: the caption as it shows. The hint is
    // the description.
    virtual QString accessibleCaption() const { return {}; }
    virtual void accessibleState(QAccessible::State &) const {}

    // Whether the control has a click that the keyboard and a screen reader can run.
    virtual bool hasPress() const { return false; }
    // Runs what a click runs, with the same handlers and error boxes. Nothing runs while the control is
    // hidden or disabled or while an error box is up; returns whether it ran.
    bool press();

protected:
    virtual void pressAction() {}

    // A mouse press lasts from a button going down on the control to the release of the last button
    // held; meanwhile the control holds the mouse (tk::captureControl). Qt drops a widget's
    // grab when the widget is hidden or disabled and never delivers that release, the release of a
    // control moved to another parent goes astray, and an error box, any modal window over the control's
    // own or a menu takes the mouse from it: each ends the press here, through pressLost, the same way
    // for every control.
    void beginPress();
    // The release: ends the press and lets go of the mouse; false when no press was held.
    bool endPress();
    bool pressHeld() const { return m_pressHeld; }
    // The press ended without its release: the control puts its look back as without a press (up,
    // or disabled) and stops whatever the press started. It never clicks.
    virtual void pressLost() {}

    // "&x" in caption makes Alt+x the control's accelerator ("&&" is a plain "&"); an empty caption or
    // one without it leaves the control none. isAccelerator tells the event that it was typed.
    void setAccelerator(const QString &caption);
    bool isAccelerator(const QEvent *event) const;

    // Called when the parent's face colour may have changed (a new parent, a change of the parent's
    // palette or of its own colour) and when ParentColor is switched on, with that colour; a control
    // takes it while ParentColor is set.
    virtual void parentColorChanged(TColor parentColor) { (void)parentColor; }
    // For a control whose face colour changed: the child controls that follow their parent's colour
    // take the new one.
    void passFaceColorOn();
    // The control's colour was set: it no longer follows its parent's.
    void clearParentColor() { m_parentColor = false; }

private:
    friend class ButtonBehaviour;
    class EventWatch;
    void losePress();
    void followParentColor();

    QWidget *m_self;
    QString m_hint;
    bool m_showHint = false;
    bool m_parentShowHint = true;
    bool m_pressHeld = false;
    bool m_parentColor = false;
    ButtonBehaviour *m_behaviour = nullptr; // the control's button behaviour, when it has one
    std::unique_ptr<EventWatch> m_eventWatch;
    int m_acceleratorId = 0;
};

Control *asControl(const QWidget *widget);

// The colour a widget's face shows: a control's faceColor, any other widget's palette background.
TColor faceColorOf(const QWidget *widget);

// ShowHint in force for any widget: a non-control follows its parent; a window without a parent shows
// no hints unless it is a control that says so.
bool showHintInForce(const QWidget *widget);

// The hinted control for a widget under the mouse: the widget or its nearest ancestor with ShowHint in
// force; nullptr when there is none.
QWidget *hintControlFor(QWidget *widget);

// The hint text that applies to a widget: its own, or the nearest ancestor's when its own is empty.
QString hintFor(const QWidget *widget);

// ParentFont, as every control has it: the font is the parent's while the widget sets none of its own.
bool followsParentFont(const QWidget *widget);
// Following, the widget's font sets nothing of its own; not following, the font in use becomes the
// widget's own, every property of it.
void setFollowsParentFont(QWidget *widget, bool follow);

// True when a visible sibling with a window of its own lies over the whole widget: the mouse cannot reach
// it, and neither may a screen reader's press.
bool coveredByWindowedSibling(const QWidget *widget);

// A control without a window of its own: it places itself below every windowed sibling whatever the
// order of creation, and lets the mouse through to nothing but itself.
class GraphicControl : public QWidget, public Control {
    Q_OBJECT
public:
    // inside: where a release counts as inside the control.
    explicit GraphicControl(QWidget *parent, ButtonBehaviour::Inside inside = ButtonBehaviour::Inside::Rect);
    bool windowed() const override { return false; }

    TNotifyEvent OnClick;

    bool hasPress() const override { return bool(OnClick); }

    // Where the control places itself in its parent, following the parent's size.
    TAlign Align() const { return m_align; }
    void setAlign(TAlign align);
    // Places and sizes the control; every setting of its bounds by the control comes through here.
    virtual void SetBounds(int left, int top, int width, int height);

protected:
    void pressAction() override { Click(); }

    ButtonBehaviour m_button;
    // Space and Enter run the focused control once, on the press: a release may belong to a key that
    // closed an error box.
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;

    // The platform's click: left press and release inside the control. Exceptions from the handler
    // reach the application's error box.
    virtual void Click();
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void followParent();
    void watchParent(QWidget *parent);

    TAlign m_align = alNone;
    QPointer<QWidget> m_watchedParent; // the parent whose resizing the control follows while aligned
};

} // namespace tk
