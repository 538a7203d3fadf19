#include "controls/flat/TFlatButtonUnit.h"

#include "controls/flat/TFlatPanelUnit.h"
#include "toolkit/application/application.h"
#include "toolkit/base/callout.h"
#include "toolkit/base/errors.h"
#include "toolkit/base/events.h"
#include "toolkit/painting/deviceimage.h"
#include "toolkit/painting/paintpolicy.h"
#include "toolkit/painting/pixels.h"
#include "toolkit/widgets/accessibility.h"
#include "toolkit/widgets/keyboard.h"

#include <QApplication>
#include <QCursor>
#include <QDialog>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

#include <algorithm>

namespace {

constexpr QPoint kDefaultPos{0, 0};
constexpr QSize kDefaultSize{25, 25};
constexpr tk::TColor kDefaultColorFocused = 14805739; // red 235, green 234, blue 225
constexpr tk::TColor kDefaultColorDown = 12965593;    // red 217, green 214, blue 197
constexpr tk::TColor kDefaultColorBorder = 8623776;   // red 160, green 150, blue 131
constexpr TAdvColors kDefaultAdvFocused = 10;
constexpr TAdvColors kDefaultAdvDown = 10;
constexpr TAdvColors kDefaultAdvBorder = 50;
constexpr int kDefaultSpacing = 4;
constexpr int kComputedMargin = -1;
constexpr TNumGlyphs kMaxGlyphs = 4;
// The face and the caption move this far right and down while the button is held or latched.
constexpr QPoint kPressedOffset{1, 1};
// The focus mark lies inside the raised frame of the lit face.
constexpr int kFocusMarkInset = 3;

// Shared by every flat button: one timer polls the cursor for the button the mouse last came onto.
QTimer *g_hotTrackTimer = nullptr;
TFlatButton *g_hotButton = nullptr;
QMetaObject::Connection g_hoverTick;
int g_flatButtonCount = 0;

// The glyph cell each state shows, by number of cells; the last cell of a strip runs to its end.
int glyphCell(TNumGlyphs cells, FlatButtonState state)
{
    static constexpr int kCell[kMaxGlyphs][4] = {
        // fbsUp fbsDisabled fbsPressed fbsLatched
        {0, 0, 0, 0},
        {0, 1, 0, 0},
        {0, 1, 2, 2},
        {0, 1, 2, 3},
    };
    return kCell[std::clamp<int>(cells, 1, kMaxGlyphs) - 1][state];
}

// The colour of the parent's face, which a see-through face shows where the parent paints nothing.
tk::TColor colorOfParent(const QWidget *control)
{
    const QWidget *parent = control->isWindow() ? nullptr : control->parentWidget();
    return parent ? tk::faceColorOf(parent) : tk::clBtnFace;
}

// Draws image at origin leaving out every pixel of exactly the key colour. On a device of another pixel
// ratio the keyed image is fitted to that device's pixels after keying, so that where it is scaled
// smoothly its edges blend into the face rather than into the key colour.
void drawWithTransparentColor(QPainter &canvas, QPoint origin, const QImage &image, QRgb key)
{
    QImage keyed = tk::withColorKeyedOut(image, key);
    const qreal ratio = canvas.device() ? canvas.device()->devicePixelRatio() : 1.0;
    if (!qFuzzyCompare(ratio, keyed.devicePixelRatio())) {
        const QSize logical = keyed.deviceIndependentSize().toSize();
        keyed = tk::fittedToDevice(std::move(keyed), logical, ratio);
    }
    canvas.drawImage(origin, keyed);
}

} // namespace

TFlatButton::TFlatButton(QWidget *parent)
    : QWidget(parent), tk::Control(this), tk::PointerEvents(this), m_latch(this, staticMetaObject, [this] {
          assignState(fbsUp);
          update();
      })
{
    if (!g_hotTrackTimer) {
        g_hotTrackTimer = new QTimer;
        g_hotTrackTimer->setInterval(kHoverInterval);
        g_hotTrackTimer->setTimerType(Qt::PreciseTimer); // the 100 ms is a given duration, not a hint
    }
    setGeometry(QRect(kDefaultPos, kDefaultSize));
    // The face is composed off screen and covers the whole button: nothing needs erasing first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);

    m_colors = {kDefaultColorFocused, kDefaultColorDown, kDefaultColorBorder, tk::clWhite, tk::clBlack};
    m_advColors = {kDefaultAdvFocused, kDefaultAdvDown, kDefaultAdvBorder};
    m_spacing = kDefaultSpacing;
    m_margin = kComputedMargin;
    m_color = colorOfParent(this);
    setParentColor(true);
    settleState();
    ++g_flatButtonCount;
}

TFlatButton::~TFlatButton()
{
    ReleaseHoverTimer();
    if (--g_flatButtonCount == 0) {
        delete g_hotTrackTimer;
        g_hotTrackTimer = nullptr;
        g_hoverTick = {};
    }
}

QTimer *TFlatButton::HotTrackTimer()
{
    return g_hotTrackTimer;
}

TFlatButton *TFlatButton::HotButton()
{
    return g_hotButton;
}

int TFlatButton::FlatButtonCount()
{
    return g_flatButtonCount;
}

void TFlatButton::setCaption(const QString &caption)
{
    if (m_caption == caption)
        return;
    m_caption = caption;
    setAccelerator(m_caption);
    update();
}

void TFlatButton::setColor(tk::TColor color)
{
    if (m_color == color)
        return;
    m_color = color;
    clearParentColor();
    update();
}

void TFlatButton::parentColorChanged(tk::TColor parentColor)
{
    if (ParentColor())
        m_color = parentColor;
    systemColorsChanged();
}

bool TFlatButton::ParentFont() const
{
    return tk::followsParentFont(this);
}

void TFlatButton::setParentFont(bool parentFont)
{
    m_fontColor.setParentFont(parentFont);
}

void TFlatButton::setFontColor(tk::TColor color)
{
    if (m_fontColor.set(color))
        update();
}

void TFlatButton::setColors(int index, tk::TColor color)
{
    if (index < 0 || index >= int(m_colors.size()) || m_colors[size_t(index)] == color)
        return;
    m_colors[size_t(index)] = color;
    update();
}

void TFlatButton::setAdvColors(int index, TAdvColors step)
{
    if (index < 0 || index >= int(m_advColors.size()))
        return;
    // Acts on every call: setting a step is how the advanced colours are worked out anew.
    m_advColors[size_t(index)] = std::min(step, kMaxAdvStep);
    ApplyAdvColors();
    update();
}

void TFlatButton::setUseAdvColors(bool use)
{
    if (m_useAdvColors == use)
        return;
    m_useAdvColors = use;
    setParentColor(use);
    ApplyAdvColors();
    update();
}

void TFlatButton::ApplyAdvColors()
{
    if (!m_useAdvColors)
        return;
    m_colors[kFocused] = AdjustLightness(m_color, m_colors[kFocused], m_advColors[kFocused], false);
    m_colors[kDown] = AdjustLightness(m_color, m_colors[kDown], m_advColors[kDown], true);
    m_colors[kBorder] = AdjustLightness(m_color, m_colors[kBorder], m_advColors[kBorder], true);
}

void TFlatButton::systemColorsChanged()
{
    if (m_useAdvColors) {
        setParentColor(true);
        ApplyAdvColors();
    }
    update();
}

void TFlatButton::setTransparentMode(TTransparentMode mode)
{
    if (m_transparentMode == mode)
        return;
    m_transparentMode = mode;
    update();
}

void TFlatButton::setDefault(bool isDefault)
{
    if (m_default == isDefault)
        return;
    m_default = isDefault;
    update();
}

void TFlatButton::setGroupIndex(int index)
{
    if (GroupIndex() != index)
        m_latch.setGroupIndex(index);
}

void TFlatButton::setAllowAllUp(bool allow)
{
    if (AllowAllUp() != allow)
        m_latch.setAllowAllUp(allow);
}

void TFlatButton::setDown(bool down)
{
    if (!m_latch.takeDown(down))
        return;
    if (down) {
        if (m_state == fbsUp)
            update();
        assignState(fbsLatched);
        m_latch.notifyGroup();
    } else {
        assignState(fbsUp);
        // At once: the button comes up under the release that raised it.
        repaint();
    }
}

void TFlatButton::setGlyph(const QImage &glyph)
{
    // Acts on every call but with its own strip: a picture given is copied afresh, its count detected.
    if (&glyph == &m_glyph)
        return;
    m_glyph = glyph;
    if (!m_glyph.isNull() && m_glyph.width() % m_glyph.height() == 0) {
        const int cells = m_glyph.width() / m_glyph.height();
        m_numGlyphs = cells > kMaxGlyphs ? 1 : TNumGlyphs(cells);
    }
    update();
}

void TFlatButton::setNumGlyphs(TNumGlyphs count)
{
    count = std::clamp<TNumGlyphs>(count, 1, kMaxGlyphs);
    if (m_numGlyphs == count)
        return;
    m_numGlyphs = count;
    update();
}

void TFlatButton::setLayout(TButtonLayout layout)
{
    if (m_layout == layout)
        return;
    m_layout = layout;
    update();
}

void TFlatButton::setMargin(int margin)
{
    if (m_margin == margin || margin < kComputedMargin)
        return;
    m_margin = margin;
    update();
}

void TFlatButton::setSpacing(int spacing)
{
    if (m_spacing == spacing)
        return;
    m_spacing = spacing;
    update();
}

void TFlatButton::setTabStop(bool tabStop)
{
    if (m_tabStop == tabStop)
        return;
    m_tabStop = tabStop;
    // A click focuses the button itself (press), so the policy only decides about the tab key.
    setFocusPolicy(tabStop ? Qt::TabFocus : Qt::NoFocus);
}

// State

void TFlatButton::assignState(FlatButtonState state)
{
    // A disabled button shows disabled whatever happens to it meanwhile.
    m_state = isEnabled() ? state : fbsDisabled;
}

void TFlatButton::settleState()
{
    if (!isEnabled()) {
        m_state = fbsDisabled;
        m_button.setTracking(false);
    } else if (m_state == fbsDisabled) {
        m_state = Down() && GroupIndex() != 0 ? fbsLatched : fbsUp;
    }
}

void TFlatButton::pressLost()
{
    if (m_state == fbsPressed && !m_spaceHeld)
        assignState(fbsUp);
    LeaveHot();
    update();
}

// Hover

bool TFlatButton::underCursor(QPoint globalPos) const
{
    return tk::findControlAt(globalPos) == this;
}

void TFlatButton::EnterHot()
{
    if (isEnabled() && !m_hot) {
        m_hot = true;
        update();
    }
}

void TFlatButton::LeaveHot()
{
    if (isEnabled() && m_hot && !Tracking()) {
        m_hot = false;
        ReleaseHoverTimer();
        update();
    }
}

void TFlatButton::ReleaseHoverTimer()
{
    if (g_hotButton == this) {
        g_hotTrackTimer->stop();
        g_hotButton = nullptr;
    }
}

void TFlatButton::RecheckHover()
{
    if (!isEnabled())
        return;
    if (underCursor(QCursor::pos())) {
        m_hot = true;
        update();
        // Lit without a move over it, the button is watched as after one: the timer sees the pointer go.
        if (g_hotButton != this && QApplication::activeWindow())
            watchHover();
    } else if (Tracking()) {
        m_hot = true;
    } else {
        m_hot = false;
        ReleaseHoverTimer();
        update();
    }
}

void TFlatButton::HoverTimerTick()
{
    if (!underCursor(QCursor::pos()))
        LeaveHot();
}

// Mouse and keyboard

void TFlatButton::Click()
{
    QPointer<QDialog> dialog = window() != this ? qobject_cast<QDialog *>(window()) : nullptr;
    if (dialog)
        dialog->setResult(m_modalResult);
    if (OnClick)
        OnClick(this);
    // A modal dialog ends once a click leaves it a result, after the handler had its say.
    if (dialog && dialog->isModal() && dialog->isVisible() && dialog->result() != 0)
        dialog->done(dialog->result());
}

void TFlatButton::pressAction()
{
    if (GroupIndex() != 0)
        setDown(!Down());
    Click();
}

QString TFlatButton::accessibleCaption() const
{
    return tk::withoutAccelerators(m_caption);
}

void TFlatButton::accessibleState(QAccessible::State &state) const
{
    if (GroupIndex() == 0)
        return;
    state.checkable = true;
    state.checked = Down();
}

bool TFlatButton::pressWithMouse(QMouseEvent *event)
{
    if (!pressHeld())
        beginPress();
    const QPoint pos = event->position().toPoint();
    bool completed = true;
    // A handler that failed, hid, disabled or moved the button, or ran a modal window, has ended the press.
    if (OnMouseDown && (!m_button.callOutDuringPress(
                            [&] {
                                OnMouseDown(this, tk::mouseButtonOf(event->button()),
                                            tk::shiftStateOf(*event), pos.x(), pos.y());
                            },
                            &completed) ||
                        !completed))
        return false;
    if (event->button() != Qt::LeftButton || !isEnabled())
        return true;
    if (!Down()) {
        assignState(fbsPressed);
        update();
    }
    m_button.setTracking(true);
    setFocus(Qt::MouseFocusReason);
    return true;
}

void TFlatButton::mousePressEvent(QMouseEvent *event)
{
    pressWithMouse(event);
}

void TFlatButton::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (pressWithMouse(event) && event->button() == Qt::LeftButton && Down() && OnDblClick)
        tk::callOut(this, [this] { OnDblClick(this); });
}

void TFlatButton::pointerMoved(bool entered)
{
    tk::callOut(this, [this, entered] { entered ? FireMouseEnter() : FireMouseLeave(); });
}

void TFlatButton::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    bool completed = true;
    if (OnMouseMove &&
        (!tk::callOut(
             this, [&] { OnMouseMove(this, tk::shiftStateOf(*event), pos.x(), pos.y()); }, &completed) ||
         !completed))
        return;
    if (m_presence.moved(this, pos, event->buttons())) {
        const QPointer<TFlatButton> alive(this);
        pointerMoved(m_presence.over());
        if (!alive)
            return;
    }

    if (Tracking()) {
        const FlatButtonState next = m_button.trackedState(pos, Down(), fbsUp, fbsPressed, fbsLatched);
        if (next != m_state) {
            assignState(next);
            update();
        }
    }

    if (g_hotButton == this || !underCursor(mapToGlobal(pos)))
        return;
    if (g_hotButton)
        g_hotButton->LeaveHot();
    if (!QApplication::activeWindow())
        return;
    watchHover();
    EnterHot();
}

void TFlatButton::watchHover()
{
    if (g_hotButton && g_hotButton != this)
        g_hotButton->LeaveHot();
    g_hotTrackTimer->stop();
    g_hotButton = this;
    QObject::disconnect(g_hoverTick);
    g_hoverTick = connect(g_hotTrackTimer, &QTimer::timeout, this, &TFlatButton::HoverTimerTick);
    g_hotTrackTimer->start();
}

void TFlatButton::mouseReleaseEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    bool completed = true;
    if (OnMouseUp && !tk::callOut(
                         this,
                         [&] {
                             OnMouseUp(this, tk::mouseButtonOf(event->button()), tk::shiftStateOf(*event),
                                       pos.x(), pos.y());
                         },
                         &completed))
        return;
    if (event->buttons() == Qt::NoButton)
        endPress();
    // A handler that failed has had its error box, which ended the press.
    if (!completed || !Tracking())
        return;
    m_button.setTracking(false);
    const bool inside = m_button.inside(pos);
    if (GroupIndex() == 0) {
        assignState(fbsUp);
        m_hot = false;
        if (inside)
            update();
    } else if (inside) {
        setDown(!Down());
        if (Down())
            repaint();
    } else {
        if (Down())
            assignState(fbsLatched);
        repaint();
    }
    if (inside) {
        if (!tk::callOut(this, [this] { Click(); }))
            return;
    } else {
        LeaveHot();
    }
    RecheckHover();
}

void TFlatButton::keyPressEvent(QKeyEvent *event)
{
    if (event->key() != Qt::Key_Space) {
        QWidget::keyPressEvent(event);
        return;
    }
    m_spaceHeld = true;
    if (GroupIndex() == 0)
        assignState(fbsPressed);
    else
        setDown(true);
    update();
}

void TFlatButton::keyReleaseEvent(QKeyEvent *event)
{
    if (event->key() != Qt::Key_Space) {
        QWidget::keyReleaseEvent(event);
        return;
    }
    // Only the release of a space pressed on this button clicks it, and only once however long it
    // was held.
    if (event->isAutoRepeat() || !m_spaceHeld)
        return;
    m_spaceHeld = false;
    if (GroupIndex() == 0)
        assignState(fbsUp);
    else
        setDown(false);
    if (tk::callOut(this, [this] { Click(); }))
        update();
}

void TFlatButton::focusInEvent(QFocusEvent *event)
{
    if (event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason)
        tk::setKeyboardInUse(true);
    QWidget::focusInEvent(event);
    if (isEnabled()) {
        m_hot = true;
        update();
    }
}

void TFlatButton::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    // The key up of a space held down goes to the new focus: the button comes up now.
    if (m_spaceHeld) {
        m_spaceHeld = false;
        if (m_state == fbsPressed)
            assignState(fbsUp);
        update();
    }
    LeaveHot();
}

void TFlatButton::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    if (m_transparentMode != tmNone)
        update();
}

void TFlatButton::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_transparentMode != tmNone)
        update();
}

void TFlatButton::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    switch (event->type()) {
    case QEvent::EnabledChange:
        if (!isEnabled()) {
            m_hot = false;
            m_spaceHeld = false;
            ReleaseHoverTimer();
        }
        settleState();
        RecheckHover();
        update();
        break;
    case QEvent::FontChange:
        update();
        break;
    default:
        break;
    }
}

bool TFlatButton::event(QEvent *event)
{
    switch (int(event->type())) {
    case QEvent::Enter:
    case QEvent::Leave: {
        const bool entered = event->type() == QEvent::Enter;
        if (entered ? m_presence.arrived() : m_presence.departed()) {
            const QPointer<TFlatButton> alive(this);
            pointerMoved(entered);
            if (!alive)
                return true;
        }
        break;
    }
    case QEvent::Hide:
        // Out of sight neither a key nor the mouse can be on it: nothing of either may outlive the hiding.
        m_spaceHeld = false;
        if (m_state == fbsPressed)
            assignState(fbsUp);
        m_hot = false;
        ReleaseHoverTimer();
        update();
        break;
    case QEvent::Shortcut:
        if (isAccelerator(event)) {
            if (isEnabled()) {
                if (GroupIndex() != 0)
                    setDown(true);
                tk::callOut(this, [this] { Click(); });
            }
            return true;
        }
        break;
    case tk::SystemColorsChangedType:
        systemColorsChanged();
        return true;
    default:
        break;
    }
    return QWidget::event(event);
}

// Painting

tk::TColor TFlatButton::stateColor() const
{
    switch (m_state) {
    case fbsUp:
        return m_hot ? m_colors[kFocused] : m_color;
    case fbsDisabled:
        return m_color;
    case fbsPressed:
        return m_colors[kDown];
    case fbsLatched:
        return m_hot ? m_colors[kFocused] : m_colors[kDown];
    }
    return m_color;
}

TFlatButton::FaceLayout TFlatButton::layoutFace(const QFont &font) const
{
    const QPoint offset = m_state == fbsPressed || m_state == fbsLatched ? kPressedOffset : QPoint(0, 0);
    FaceLayout face;
    LayoutGlyphAndCaption(font, tk::TRect::fromQRect(rect()), offset, m_layout, m_spacing, m_margin, &m_glyph,
                          m_numGlyphs, m_caption, face.captionRect, face.glyphOrigin);
    return face;
}

void TFlatButton::paintEvent(QPaintEvent *)
{
    QPainter onScreen(this);
    tk::DeviceImage face = tk::deviceImageFor(onScreen, size(), QImage::Format_RGB32);
    if (face.image.isNull())
        return;
    const FaceLayout layout = layoutFace(font());
    {
        QPainter canvas(&face.image);
        canvas.translate(face.origin);
        drawFace(canvas);
        drawBorder(canvas);
        tk::paintOrLeaveOut([&] { drawGlyph(canvas, layout.glyphOrigin); });
        drawCaption(canvas, layout.captionRect);
    }
    onScreen.drawImage(-face.origin, face.image);
    onScreen.end();
    tk::paintFocusMark(this, kFocusMarkInset);
}

tk::TRect TFlatButton::CaptionRect() const
{
    return layoutFace(font()).captionRect;
}

QPoint TFlatButton::GlyphOrigin() const
{
    return layoutFace(font()).glyphOrigin;
}

void TFlatButton::drawFace(QPainter &canvas)
{
    const tk::TRect client = tk::TRect::fromQRect(rect());
    const bool seeThrough = m_transparentMode == tmAlways || (m_transparentMode == tmNotFocused && !m_hot);
    if (!seeThrough) {
        tk::FillRect(canvas, client, tk::toQColor(stateColor()));
        return;
    }
    // Where the parent paints nothing of its own, its face colour shows, as after its erasing.
    tk::FillRect(canvas, client, tk::toQColor(colorOfParent(this)));
    PaintParentBackground(this, canvas);
}

void TFlatButton::drawBorder(QPainter &canvas) const
{
    const tk::TRect client = tk::TRect::fromQRect(rect());
    switch (m_state) {
    case fbsUp:
        if (m_hot)
            DrawBevelFrame(canvas, client, m_colors[kHighLight], m_colors[kShadow], 1);
        else
            DrawBevelFrame(canvas, client, m_colors[kBorder], m_colors[kBorder], m_default ? 2 : 1);
        break;
    case fbsDisabled:
        DrawBevelFrame(canvas, client, m_colors[kBorder], m_colors[kBorder], 1);
        break;
    case fbsPressed:
    case fbsLatched:
        DrawBevelFrame(canvas, client, m_colors[kShadow], m_colors[kHighLight], 1);
        break;
    }
}

void TFlatButton::drawGlyph(QPainter &canvas, QPoint origin) const
{
    if (m_glyph.isNull())
        return;
    const int stripWidth = m_glyph.width(), height = m_glyph.height();
    const int cells = std::clamp<int>(m_numGlyphs, 1, kMaxGlyphs);
    const int cellWidth = stripWidth / cells;
    if (cellWidth <= 0)
        return;
    const int index = glyphCell(TNumGlyphs(cells), m_state);
    const int left = index * cellWidth;
    const int right = index == cells - 1 ? stripWidth : left + cellWidth;

    QImage cell(cellWidth, height, QImage::Format_RGB32);
    if (cell.isNull())
        return;
    cell.setDevicePixelRatio(m_glyph.devicePixelRatio());
    {
        QPainter copy(&cell);
        copy.setCompositionMode(QPainter::CompositionMode_Source);
        const QSizeF logical = QSizeF(cellWidth, height) / cell.devicePixelRatio();
        copy.drawImage(QRectF(QPointF(0, 0), logical), m_glyph, QRect(left, 0, right - left, height));
    }
    QRgb transparent = m_glyph.pixel(0, height - 1);
    if (cells == 1 && m_state == fbsDisabled) {
        cell = MakeDisabledGlyph(cell, tk::clBlack, tk::clBtnFace, tk::clBtnHighlight, tk::clBtnShadow, true);
        transparent = cell.pixel(0, height - 1);
    }
    drawWithTransparentColor(canvas, origin, cell, transparent);
}

void TFlatButton::drawCaption(QPainter &canvas, const tk::TRect &rect) const
{
    if (m_caption.isEmpty())
        return;
    constexpr unsigned kFlags = tk::DT_CENTER | tk::DT_SINGLELINE;
    tk::TRect r = rect;
    if (m_state == fbsDisabled) {
        tk::TRect raised{r.Left + 1, r.Top + 1, r.Right + 1, r.Bottom + 1};
        tk::DrawText(&canvas, font(), tk::toQColor(tk::clBtnHighlight), m_caption, raised, kFlags);
        tk::DrawText(&canvas, font(), tk::toQColor(tk::clBtnShadow), m_caption, r, kFlags);
    } else {
        tk::DrawText(&canvas, font(), tk::toQColor(fontColor()), m_caption, r, kFlags);
    }
}
