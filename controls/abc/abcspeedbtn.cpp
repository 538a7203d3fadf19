#include "controls/abc/abcspeedbtn.h"

#include "controls/abc/abcwav.h"
#include "toolkit/application/application.h"
#include "toolkit/base/callout.h"
#include "toolkit/base/delivery.h"
#include "toolkit/base/errors.h"
#include "toolkit/base/events.h"
#include "toolkit/painting/canvas.h"
#include "toolkit/painting/colors.h"
#include "toolkit/painting/edges.h"
#include "toolkit/painting/paintpolicy.h"

#include <QApplication>
#include <QCursor>

#include <QMouseEvent>
#include <QPainter>
#include <QScopeGuard>

#include <algorithm>
#include <utility>

namespace {

bool isTrackingStyle(TabcButtonStyle style)
{
    switch (style) {
    case absThinHighlight:
    case absMidHighlight:
    case absThickHighlight:
    case absFramedHighlight:
    case absFramedBlackHighlight:
    case absRecessedHighlight:
    case absRecessedBlackHighlight:
        return true;
    default:
        return false;
    }
}

tk::TShiftState ownFlag(tk::TMouseButton button)
{
    return button == tk::mbLeft ? tk::ssLeft : button == tk::mbRight ? tk::ssRight : tk::ssMiddle;
}

} // namespace

TabcCustomPicSpeedBtn::TabcCustomPicSpeedBtn(QWidget *parent)
    : tk::GraphicControl(parent, tk::ButtonBehaviour::Inside::RowBelowToo), tk::PointerEvents(this),
      m_latch(this, staticMetaObject, [this] {
          assignState(abtUp);
          update();
      })
{
    m_glyph.setColor(m_color);
    m_glyph.OnChange = [this] {
        if (!m_destroying)
            update();
    };
    resize(22, 23);
    // Moves without a button are what bring the hot look back after the pointer was lost.
    setMouseTracking(true);
}

TabcCustomPicSpeedBtn::~TabcCustomPicSpeedBtn()
{
    m_destroying = true;
    m_glyph.OnChange = nullptr;
    ReleaseBrushPattern(std::exchange(m_pattern, nullptr));
}

void TabcCustomPicSpeedBtn::setPicture(std::unique_ptr<tk::Graphic> graphic)
{
    if (m_destroying)
        return;
    m_glyph.setPicture(std::move(graphic));
    update();
}

void TabcCustomPicSpeedBtn::setDown(bool value)
{
    if (!m_latch.takeDown(value))
        return;
    if (value) {
        if (m_state == abtUp || m_state == abtHot)
            update();
        assignState(abtExclusive);
        m_latch.notifyGroup();
    } else {
        assignState(m_mouseInside ? abtHot : abtUp);
        update();
    }
}

void TabcCustomPicSpeedBtn::setAllowAllUp(bool value)
{
    // Acts on every call, as the group may have taken another value from a button of its own since.
    m_latch.setAllowAllUp(value);
}

void TabcCustomPicSpeedBtn::setGroupIndex(int value)
{
    // Acts on every call: the group learns of the button, and it of the group's AllowAllUp.
    m_latch.setGroupIndex(value);
}

void TabcCustomPicSpeedBtn::setLayout(TabcButtonLayout value)
{
    if (m_layout == value)
        return;
    m_layout = value;
    update();
}

void TabcCustomPicSpeedBtn::setMargin(int value)
{
    if (value < -1 || value == m_margin)
        return;
    m_margin = value;
    update();
}

void TabcCustomPicSpeedBtn::setSpacing(int value)
{
    if (m_spacing == value)
        return;
    m_spacing = value;
    update();
}

void TabcCustomPicSpeedBtn::setStyle(TabcButtonStyle value)
{
    if (m_style == value)
        return;
    m_style = value;
    update();
}

void TabcCustomPicSpeedBtn::setTextStyle(TabcTextStyle value)
{
    if (m_textStyle == value)
        return;
    m_textStyle = value;
    update();
}

void TabcCustomPicSpeedBtn::setPictureHighlight(TabcGlyphHighlight value)
{
    if (m_glyph.PictureHighlight() == value)
        return;
    m_glyph.setPictureHighlight(value);
    // At once, as the button's look under the pointer is the highlight's whole point.
    repaint();
}

void TabcCustomPicSpeedBtn::setPopup(bool value)
{
    if (m_popup == value)
        return;
    m_popup = value;
    update();
}

void TabcCustomPicSpeedBtn::setDisabledShadow(bool value)
{
    if (value == m_disabledShadow)
        return;
    m_disabledShadow = value;
    if (!isEnabled())
        update();
}

void TabcCustomPicSpeedBtn::setNumGlyphs(int value)
{
    value = std::min(value, 5);
    if (value == m_glyph.NumGlyphs())
        return;
    m_glyph.setNumGlyphs(value);
    update();
}

void TabcCustomPicSpeedBtn::setTransparentColor(tk::TColor value)
{
    // The glyph compares, stores and tells the button (OnChange), which asks for the paint.
    m_glyph.setTransparentColor(value);
}

void TabcCustomPicSpeedBtn::setImages(TabcImageList *images)
{
    if (images == m_glyph.Images())
        return;
    m_glyph.setImages(images);
    update();
}

void TabcCustomPicSpeedBtn::setImageIndex(int index)
{
    if (index == m_glyph.ImageIndex())
        return;
    m_glyph.setImageIndex(index);
    update();
}

void TabcCustomPicSpeedBtn::setColor(tk::TColor color)
{
    clearParentColor();
    applyColor(color);
}

void TabcCustomPicSpeedBtn::parentColorChanged(tk::TColor parentColor)
{
    if (ParentColor())
        applyColor(parentColor);
}

void TabcCustomPicSpeedBtn::applyColor(tk::TColor color)
{
    if (color == m_color)
        return;
    m_color = color;
    m_glyph.setColor(color);
    ReleaseBrushPattern(std::exchange(m_pattern, nullptr));
    if (m_state == abtHot && m_popup && !m_mouseInside)
        assignState(abtUp);
    assignState(m_state); // a latched face takes the new colour's checkerboard
    m_glyph.ReleaseStateImages();
    // The image of the state shown is built now; a failure shows at the paint, which leaves it out.
    tk::paintOrLeaveOut([this] { m_glyph.BuildStateImage(m_state); });
    // At once: the whole face changes colour together.
    repaint();
}

void TabcCustomPicSpeedBtn::setFontColor(tk::TColor color)
{
    if (m_fontColor == color)
        return;
    m_fontColor = color;
    update();
}

void TabcCustomPicSpeedBtn::setCaption(const QString &caption)
{
    if (caption == m_caption)
        return;
    m_caption = caption;
    setAccelerator(caption);
    update();
}

bool TabcCustomPicSpeedBtn::NeedsTrackRepaint() const
{
    return m_popup || m_glyph.PictureHighlight() != aghNormal || isTrackingStyle(m_style);
}

unsigned TabcCustomPicSpeedBtn::biDiFlags() const
{
    return layoutDirection() == Qt::RightToLeft ? unsigned(tk::DT_RIGHT) : 0u;
}

bool TabcCustomPicSpeedBtn::playSound(int index)
{
    if (index < 0 || !m_soundList)
        return true;
    TabcCustomWaveList *list = m_soundList;
    return tk::callOut(this, [list, index] { list->PlayIndex(index); });
}

bool TabcCustomPicSpeedBtn::pointerEntered()
{
    if (!QApplication::activeWindow() || m_mouseInside || !isEnabled() || pressHeld())
        return true;
    m_mouseInside = true;
    if (!Down())
        assignState(abtHot);
    if (NeedsTrackRepaint())
        repaint();
    return playSound(SoundOver) && tk::callOut(this, [this] { FireMouseEnter(); });
}

bool TabcCustomPicSpeedBtn::pointerLeft()
{
    m_mouseInside = false;
    if (!isEnabled() || pressHeld()) {
        // The look drops the frame at the next paint; ask for it, or the hot frame would linger.
        update();
        return true;
    }
    if (!Down())
        assignState(abtUp);
    if (NeedsTrackRepaint())
        repaint();
    return tk::callOut(this, [this] { FireMouseLeave(); });
}

bool TabcCustomPicSpeedBtn::SyncMouseInside()
{
    if (!m_popup)
        return true;
    m_presence.setOver(tk::findControlAt(QCursor::pos()) == this);
    return m_presence.over() ? pointerEntered() : pointerLeft();
}

void TabcCustomPicSpeedBtn::Click()
{
    if (BeforeClick) {
        bool cancel = false, completed = false;
        if (!tk::callOut(
                this, [&] { BeforeClick(this, cancel); }, &completed) ||
            !completed || cancel)
            return;
    }
    if (!tk::callOut(this, [this] { ClickHook(); }))
        return;
    if (OnClick)
        tk::callOut(this, [this] { OnClick(this); });
}

bool TabcCustomPicSpeedBtn::pressWithMouse(QMouseEvent *event, bool doubleClick)
{
    event->accept();
    // A release swallowed after a veto belongs to that press only; a new press starts afresh, so a
    // release that went elsewhere cannot eat the next click.
    m_skipNextMouseUp = false;
    const tk::TMouseButton button = tk::mouseButtonOf(event->button());
    tk::TShiftState shift = tk::shiftStateOf(*event) | ownFlag(button);
    if (doubleClick && button == tk::mbLeft)
        shift |= tk::ssDouble;
    const QPoint at = event->position().toPoint();
    const int x = qint16(at.x()), y = qint16(at.y());
    // The press holds the mouse before the first handler runs: whatever a handler does to it (an error
    // box, a modal window, hiding, disabling, moving the button elsewhere) ends it, and each step after
    // a handler asks whether it still stands.
    beginPress();
    if (BeforeMouseDown) {
        bool cancel = false, completed = false;
        if (!m_button.callOutDuringPress([&] { BeforeMouseDown(this, button, shift, x, y, cancel); },
                                         &completed)) {
            // Gone, or ended by what the handler did: its release went elsewhere or never comes.
            return false;
        }
        if (cancel || !completed) {
            endPress();
            m_skipNextMouseUp = true;
            return false;
        }
    }
    return m_button.callOutDuringPress([&] { MouseDown(button, shift, x, y); });
}

void TabcCustomPicSpeedBtn::MouseDown(tk::TMouseButton button, tk::TShiftState shift, int x, int y)
{
    if (OnMouseDown && !m_button.callOutDuringPress([&] { OnMouseDown(this, button, shift, x, y); }))
        return;
    if (button != tk::mbLeft || !isEnabled())
        return;
    if (!Down()) {
        assignState(abtDown);
        repaint();
        // The sound, too, may end the press (a failing device's error box, a modal window).
        if (!playSound(SoundDown) || !pressHeld())
            return;
    }
    m_button.setTracking(true);
}

void TabcCustomPicSpeedBtn::mousePressEvent(QMouseEvent *event)
{
    pressWithMouse(event, false);
}

void TabcCustomPicSpeedBtn::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (!pressWithMouse(event, true))
        return;
    if (event->button() == Qt::LeftButton && Down() && OnDblClick)
        tk::callOut(this, [this] { OnDblClick(this); });
}

void TabcCustomPicSpeedBtn::MouseMove(tk::TShiftState shift, int x, int y)
{
    if (OnMouseMove && !tk::callOut(this, [&] { OnMouseMove(this, shift, x, y); }))
        return;
    if (Pressing()) {
        const TabcButtonState state =
            m_button.trackedState(QPoint(x, y), Down(), abtHot, abtDown, abtExclusive);
        if (state != m_state) {
            assignState(state);
            repaint();
        }
    } else if (!m_mouseInside) {
        SyncMouseInside();
    }
}

void TabcCustomPicSpeedBtn::mouseMoveEvent(QMouseEvent *event)
{
    event->accept();
    const QPoint at = event->position().toPoint();
    if (!tk::callOut(this, [&] { MouseMove(tk::shiftStateOf(*event), qint16(at.x()), qint16(at.y())); }) ||
        !pressHeld())
        return;
    if (m_presence.moved(this, at, event->buttons()))
        m_presence.over() ? pointerEntered() : pointerLeft();
}

void TabcCustomPicSpeedBtn::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
    // The press ends with the last button up; a release of another button leaves it held.
    if (event->buttons() == Qt::NoButton)
        endPress();
    if (m_skipNextMouseUp) {
        m_skipNextMouseUp = false;
        return;
    }
    const QPoint at = event->position().toPoint();
    tk::callOut(this, [&] {
        MouseUp(tk::mouseButtonOf(event->button()), tk::shiftStateOf(*event), qint16(at.x()), qint16(at.y()));
    });
}

void TabcCustomPicSpeedBtn::MouseUp(tk::TMouseButton button, tk::TShiftState shift, int x, int y)
{
    if (OnMouseUp && !tk::callOut(this, [&] { OnMouseUp(this, button, shift, x, y); }))
        return;
    if (!Pressing())
        return;
    m_button.setTracking(false);
    const bool in = m_button.inside(QPoint(x, y));
    if (GroupIndex() == 0) {
        if (in)
            assignState(abtHot);
        m_mouseInside = false;
        if (m_state != abtDown && m_state != abtExclusive)
            repaint();
    } else if (in) {
        setDown(!Down());
    } else if (Down()) {
        assignState(abtExclusive);
        repaint();
    }
    if (in) {
        // The click may show an error box: nothing of the press may be left for it to cancel.
        if (!tk::callOut(this, [this] { Click(); }))
            return;
    }
    m_presence.setOver(tk::findControlAt(QCursor::pos()) == this);
    if (m_presence.over()) {
        m_mouseInside = true;
        // An error box from the click may have taken the hot look away meanwhile.
        if (m_state == abtUp)
            assignState(abtHot);
    } else if (!pointerLeft()) {
        return;
    }
    repaint();
}

void TabcCustomPicSpeedBtn::acceleratorTyped()
{
    // A whole press and release at the top-left corner, which clicks.
    const tk::TShiftState shift = tk::ssAlt;
    beginPress();
    if (!m_button.callOutDuringPress([&] { MouseDown(tk::mbLeft, shift, 0, 0); }))
        return;
    endPress();
    tk::callOut(this, [&] { MouseUp(tk::mbLeft, shift, 0, 0); });
}

void TabcCustomPicSpeedBtn::pressLost()
{
    m_skipNextMouseUp = false;
    m_presence.setOver(false);
    m_mouseInside = false;
    assignState(Down() ? abtExclusive : abtUp);
    pressCancelled();
    update();
}

void TabcCustomPicSpeedBtn::syncEnabledState()
{
    if (!isEnabled())
        m_state = abtDisabled;
    else if (m_state == abtDisabled)
        assignState(Down() && GroupIndex() != 0 ? abtExclusive : abtUp);
}

void TabcCustomPicSpeedBtn::assignState(TabcButtonState state)
{
    // A disabled button shows disabled whatever happens to it meanwhile; enabling it settles the rest.
    m_state = isEnabled() ? state : abtDisabled;
    // The latched face's checkerboard, held from the first time it is needed until the colour changes.
    if (m_state == abtExclusive && !m_pattern)
        m_pattern = AcquireBrushPattern(m_color);
}

void TabcCustomPicSpeedBtn::changeEvent(QEvent *event)
{
    tk::GraphicControl::changeEvent(event);
    switch (event->type()) {
    case QEvent::EnabledChange:
        if (m_destroying)
            break;
        syncEnabledState();
        tk::paintOrLeaveOut([this] { m_glyph.BuildStateImage(isEnabled() ? abtUp : abtDisabled); });
        update();
        // Once Qt has done with the change, which goes on to the button's siblings: finding the pointer
        // again may reach user code.
        tk::afterDelivery(this, [this] { SyncMouseInside(); });
        break;
    case QEvent::FontChange:
        update();
        break;
    default:
        break;
    }
}

bool TabcCustomPicSpeedBtn::event(QEvent *event)
{
    switch (int(event->type())) {
    case QEvent::Enter:
        if (m_presence.arrived() && !pointerEntered())
            return true;
        break;
    case QEvent::Leave:
        // After a press that left the button, Qt reports the leave once the mouse is released; the
        // moves have told it already.
        if ((m_presence.departed() || m_mouseInside) && !pointerLeft())
            return true;
        break;
    case QEvent::Shortcut:
        if (isAccelerator(event) && isEnabled()) {
            acceleratorTyped();
            return true;
        }
        break;
    case tk::SystemColorsChangedType:
        ReleaseBrushPattern(std::exchange(m_pattern, nullptr));
        assignState(m_state);
        m_glyph.ReleaseStateImages();
        tk::paintOrLeaveOut([this] { m_glyph.BuildStateImage(m_state); });
        break;
    default:
        break;
    }
    return tk::GraphicControl::event(event);
}

void TabcCustomPicSpeedBtn::paintEvent(QPaintEvent *)
{
    if (m_destroying)
        return;
    QPainter painter(this);
    painter.setClipRect(rect());
    const bool hot = isEnabled() && m_mouseInside;
    const bool pressed = m_state == abtDown || m_state == abtExclusive;
    const TabcFillMode fill = m_state == abtExclusive ? afmPattern
                              : m_layout == ablGlyphTiled && m_glyph.TransparentColor() == m_color &&
                                      m_glyph.PictureSize() != QSize(0, 0)
                                  ? afmNone
                                  : afmSolid;
    painter.setFont(font());
    painter.setPen(tk::toQColor(m_fontColor));

    const tk::TRect whole{0, 0, width(), height()};
    tk::TRect inner =
        DrawButtonFrame(painter, whole, m_style, fill, m_pattern, m_color, pressed, hot, m_popup);
    tk::TRect tileArea = whole;
    if (pressed) {
        inner = {inner.Left + 1, inner.Top + 1, inner.Right + 1, inner.Bottom + 1};
        tileArea = {1, 1, width() + 1, height() + 1};
    }
    tk::paintOrLeaveOut([&] {
        m_glyph.DrawGlyphAndCaption(painter, inner, tileArea, m_caption, m_layout, m_margin, m_spacing,
                                    m_state, m_textStyle, m_disabledShadow, hot, biDiFlags());
    });
    // Once more, so that the frame lies on a picture that overlaps it.
    DrawButtonFrame(painter, whole, m_style, afmNone, nullptr, m_color, pressed, hot, m_popup);
}

TabcRepSpeedBtn::TabcRepSpeedBtn(QWidget *parent) : TabcPicSpeedBtn(parent)
{
}

TabcRepSpeedBtn::~TabcRepSpeedBtn()
{
    m_repeatTimer.reset();
}

void TabcRepSpeedBtn::MouseDown(tk::TMouseButton button, tk::TShiftState shift, int x, int y)
{
    const QPointer<TabcRepSpeedBtn> alive(this);
    TabcPicSpeedBtn::MouseDown(button, shift, x, y);
    // Gone, or the press ended meanwhile (an error box, a modal window, hidden, disabled): nothing repeats.
    if (!alive || !pressHeld() || !RepeatEnabled || !OnTimer)
        return;
    if (!m_repeatTimer) {
        m_repeatTimer = std::make_unique<QTimer>();
        m_repeatTimer->setSingleShot(true);
        // A coarse timer may fire up to 5 % early; the pauses are exact durations.
        m_repeatTimer->setTimerType(Qt::PreciseTimer);
        connect(m_repeatTimer.get(), &QTimer::timeout, this, &TabcRepSpeedBtn::TimerExpired);
    }
    m_repeatTimer->start(RepeatInitialpause);
}

void TabcRepSpeedBtn::TimerExpired()
{
    m_repeatTimer->stop();
    if (State() != abtDown || !pressHeld() || !OnTimer)
        return;
    // The handler may have ended the press (an error box) or the button.
    if (tk::callOut(this, [this] { OnTimer(this); }) && Repeatpause != 0 && State() == abtDown && pressHeld())
        m_repeatTimer->start(Repeatpause);
}

void TabcRepSpeedBtn::mouseReleaseEvent(QMouseEvent *event)
{
    const QPointer<TabcRepSpeedBtn> alive(this);
    TabcPicSpeedBtn::mouseReleaseEvent(event);
    if (alive)
        stopRepeat();
}

void TabcRepSpeedBtn::pressCancelled()
{
    stopRepeat();
}

void TabcRepSpeedBtn::stopRepeat()
{
    if (m_repeatTimer)
        m_repeatTimer->stop();
}
