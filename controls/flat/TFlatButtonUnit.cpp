#include "controls/flat/TFlatButtonUnit.h"

#include "controls/flat/TFlatPanelUnit.h"
#include "toolkit/application/application.h"
#include "toolkit/base/callout.h"
#include "toolkit/base/errors.h"
#include "toolkit/base/events.h"
#include "toolkit/painting/deviceimage.h"
#include "toolkit/painting/pixels.h"
#include "toolkit/widgets/accessibility.h"
#include "toolkit/widgets/keyboard.h"
#include "toolkit/widgets/properties.h"

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

// The colour the button takes from its parent, by the rule every flat control follows.
tk::TColor colorOfParent(const QWidget *control)
{
    const QWidget *parent = control->isWindow() ? nullptr : control->parentWidget();
    return parent ? FaceColorOf(parent) : tk::clBtnFace;
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

TFlatButton::TFlatButton(QWidget *parent) : QWidget(parent), tk::Control(this)
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
    settleState();
    ++g_flatButtonCount;
}

TFlatButton::~TFlatButton()
{
    releaseHoverTimer();
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
    m_parentColor = false;
    update();
}

void TFlatButton::setParentColor(bool parentColor)
{
    if (m_parentColor == parentColor)
        return;
    m_parentColor = parentColor;
    if (parentColor)
        ParentColorChanged();
}

void TFlatButton::ParentColorChanged()
{
    if (m_parentColor)
        m_color = colorOfParent(this);
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

void TFlatButton::SetColors(int index, tk::TColor color)
{
    if (index < 0 || index >= int(m_colors.size()))
        return;
    m_colors[size_t(index)] = color;
    update();
}

void TFlatButton::SetAdvColors(int index, TAdvColors step)
{
    if (index < 0 || index >= int(m_advColors.size()))
        return;
    m_advColors[size_t(index)] = std::min(step, kMaxAdvStep);
    applyAdvColors();
    update();
}

void TFlatButton::setUseAdvColors(bool use)
{
    if (!tk::assignNew(m_useAdvColors, use))
        return;
    setParentColor(use);
    applyAdvColors();
    update();
}

void TFlatButton::applyAdvColors()
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
        applyAdvColors();
    }
    update();
}

void TFlatButton::setTransparentMode(TTransparentMode mode)
{
    m_transparentMode = mode;
    update();
}

void TFlatButton::setDefault(bool isDefault)
{
    m_default = isDefault;
    update();
}

void TFlatButton::setGroupIndex(int index)
{
    if (m_groupIndex == index)
        return;
    m_groupIndex = index;
    notifyGroup();
}

void TFlatButton::setAllowAllUp(bool allow)
{
    if (m_allowAllUp == allow)
        return;
    m_allowAllUp = allow;
    notifyGroup();
}

void TFlatButton::setDown(bool down)
{
    if (m_groupIndex == 0)
        down = false;
    if (down == m_down)
        return;
    // A latched button of a group comes up only when another of the group goes down.
    if (m_down && !m_allowAllUp)
        return;
    m_down = down;
    if (down) {
        if (m_state == fbsUp)
            update();
        assignState(fbsLatched);
        notifyGroup();
    } else {
        assignState(fbsUp);
        repaint();
    }
}

void TFlatButton::notifyGroup()
{
    if (m_groupIndex == 0 || !parentWidget())
        return;
    const QObjectList siblings = parentWidget()->children();
    for (QObject *sibling : siblings) {
        if (auto *button = qobject_cast<TFlatButton *>(sibling))
            button->groupNotice(m_groupIndex, this);
    }
}

void TFlatButton::groupNotice(int groupIndex, TFlatButton *sender)
{
    if (groupIndex != m_groupIndex || sender == this)
        return;
    if (sender->m_down && m_down) {
        m_down = false;
        assignState(fbsUp);
        update();
    }
    m_allowAllUp = sender->m_allowAllUp;
}

void TFlatButton::setGlyph(const QImage &glyph)
{
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
    if (tk::assignNew(m_layout, layout))
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
    if (tk::assignNew(m_spacing, spacing))
        update();
}

void TFlatButton::setTabStop(bool tabStop)
{
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
        m_tracking = false;
    } else if (m_state == fbsDisabled) {
        m_state = m_down && m_groupIndex != 0 ? fbsLatched : fbsUp;
    }
}

void TFlatButton::pressLost()
{
    m_tracking = false;
    if (m_state == fbsPressed && !m_spaceHeld)
        assignState(fbsUp);
    leaveHot();
    update();
}

// Hover

bool TFlatButton::underCursor(QPoint globalPos) const
{
    return tk::findControlAt(globalPos) == this;
}

void TFlatButton::enterHot()
{
    if (isEnabled() && !m_hot) {
        m_hot = true;
        update();
    }
}

void TFlatButton::leaveHot()
{
    if (isEnabled() && m_hot && !m_tracking) {
        m_hot = false;
        releaseHoverTimer();
        update();
    }
}

void TFlatButton::releaseHoverTimer()
{
    if (g_hotButton == this) {
        g_hotTrackTimer->stop();
        g_hotButton = nullptr;
    }
}

void TFlatButton::recheckHover()
{
    if (!isEnabled())
        return;
    if (underCursor(QCursor::pos())) {
        m_hot = true;
        update();
    } else if (m_tracking) {
        m_hot = true;
    } else {
        m_hot = false;
        releaseHoverTimer();
        update();
    }
}

void TFlatButton::hoverTimerTick()
{
    if (!underCursor(QCursor::pos()))
        leaveHot();
}

void TFlatButton::MouseEnter()
{
    if (OnMouseEnter)
        OnMouseEnter(this);
}

void TFlatButton::MouseLeave()
{
    if (OnMouseLeave)
        OnMouseLeave(this);
}

bool TFlatButton::trackPointerDuringCapture(QPoint pos)
{
    // Qt holds enter and leave back while a mouse button is down; the moves tell where the pointer is.
    const bool inside = rect().contains(pos);
    if (inside == m_mouseInside)
        return true;
    m_mouseInside = inside;
    return tk::callOut(this, [this, inside] { inside ? MouseEnter() : MouseLeave(); });
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

void TFlatButton::PressAction()
{
    if (m_groupIndex != 0)
        setDown(!m_down);
    Click();
}

QString TFlatButton::AccessibleCaption() const
{
    return tk::withoutAccelerators(m_caption);
}

void TFlatButton::AccessibleState(QAccessible::State &state) const
{
    if (m_groupIndex == 0)
        return;
    state.checkable = true;
    state.checked = m_down;
}

bool TFlatButton::insideForTracking(QPoint pos) const
{
    // The row just below the face still counts; the column just right of it does not.
    return pos.x() >= 0 && pos.x() < width() && pos.y() >= 0 && pos.y() <= height();
}

bool TFlatButton::press(QMouseEvent *event)
{
    if (!pressHeld())
        beginPress();
    const QPoint pos = event->position().toPoint();
    bool completed = true;
    if (OnMouseDown && !tk::callOut(
                           this,
                           [&] {
                               OnMouseDown(this, tk::mouseButtonOf(event->button()), tk::shiftStateOf(*event),
                                           pos.x(), pos.y());
                           },
                           &completed))
        return false;
    // A handler that failed, hid or disabled the button has ended the press.
    if (!completed || !pressHeld() || event->button() != Qt::LeftButton || !isEnabled())
        return true;
    if (!m_down) {
        assignState(fbsPressed);
        update();
    }
    m_tracking = true;
    setFocus(Qt::MouseFocusReason);
    return true;
}

void TFlatButton::mousePressEvent(QMouseEvent *event)
{
    press(event);
}

void TFlatButton::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (press(event) && event->button() == Qt::LeftButton && m_down && OnDblClick)
        tk::callOut(this, [this] { OnDblClick(this); });
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
    if (event->buttons() != Qt::NoButton && !trackPointerDuringCapture(pos))
        return;

    if (m_tracking) {
        const FlatButtonState next = m_down ? fbsLatched : insideForTracking(pos) ? fbsPressed : fbsUp;
        if (next != m_state) {
            assignState(next);
            update();
        }
    }

    if (g_hotButton == this || !underCursor(mapToGlobal(pos)))
        return;
    if (g_hotButton)
        g_hotButton->leaveHot();
    if (!QApplication::activeWindow())
        return;
    g_hotTrackTimer->stop();
    g_hotButton = this;
    QObject::disconnect(g_hoverTick);
    g_hoverTick = connect(g_hotTrackTimer, &QTimer::timeout, this, &TFlatButton::hoverTimerTick);
    g_hotTrackTimer->start();
    enterHot();
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
    if (!completed || !m_tracking)
        return;
    m_tracking = false;
    const bool inside = insideForTracking(pos);
    if (m_groupIndex == 0) {
        assignState(fbsUp);
        m_hot = false;
        if (inside)
            update();
    } else if (inside) {
        setDown(!m_down);
        if (m_down)
            repaint();
    } else {
        if (m_down)
            assignState(fbsLatched);
        repaint();
    }
    if (inside) {
        if (!tk::callOut(this, [this] { Click(); }))
            return;
    } else {
        leaveHot();
    }
    recheckHover();
}

void TFlatButton::keyPressEvent(QKeyEvent *event)
{
    if (event->key() != Qt::Key_Space) {
        QWidget::keyPressEvent(event);
        return;
    }
    m_spaceHeld = true;
    if (m_groupIndex == 0)
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
    if (m_groupIndex == 0)
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
    leaveHot();
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
            releaseHoverTimer();
        }
        settleState();
        recheckHover();
        update();
        break;
    case QEvent::FontChange:
        update();
        break;
    case QEvent::PaletteChange:
        ParentColorChanged();
        break;
    default:
        break;
    }
}

bool TFlatButton::event(QEvent *event)
{
    switch (int(event->type())) {
    case QEvent::Enter:
        if (!m_mouseInside) {
            m_mouseInside = true;
            if (!tk::callOut(this, [this] { MouseEnter(); }))
                return true;
        }
        break;
    case QEvent::Leave:
        if (m_mouseInside) {
            m_mouseInside = false;
            if (!tk::callOut(this, [this] { MouseLeave(); }))
                return true;
        }
        break;
    case QEvent::Hide:
        // Out of sight neither a key nor the mouse can be on it: nothing of either may outlive the hiding.
        m_spaceHeld = false;
        if (m_state == fbsPressed)
            assignState(fbsUp);
        m_hot = false;
        releaseHoverTimer();
        update();
        break;
    case QEvent::ParentChange:
        ParentColorChanged();
        break;
    case QEvent::Shortcut:
        if (isAccelerator(event)) {
            if (isEnabled()) {
                if (m_groupIndex != 0)
                    setDown(true);
                tk::callOut(this, [this] { Click(); });
            }
            return true;
        }
        break;
    case tk::ParentColorChangedType:
        ParentColorChanged();
        return true;
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
        drawGlyph(canvas, layout.glyphOrigin);
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
        try {
            cell = MakeDisabledGlyph(cell, tk::clBlack, tk::clBtnFace, tk::clBtnHighlight, tk::clBtnShadow,
                                     true);
        } catch (const tk::Error &) {
            // No error box out of a paint: it would come back with every repaint. The face goes without.
            return;
        }
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
        tk::DrawText(&canvas, font(), tk::toQColor(FontColor()), m_caption, r, kFlags);
    }
}
