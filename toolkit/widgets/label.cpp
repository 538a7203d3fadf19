#include "toolkit/widgets/label.h"

#include "toolkit/base/callout.h"
#include "toolkit/base/delivery.h"
#include "toolkit/painting/canvas.h"
#include "toolkit/painting/paintpolicy.h"
#include "toolkit/widgets/accessibility.h"
#include "toolkit/widgets/keyboard.h"

#include <QContextMenuEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

using namespace Qt::StringLiterals;

namespace tk {

TLabel::TLabel(QWidget *parent) : GraphicControl(parent)
{
    // OnMouseMove reports the pointer over the label, not only while a button is held.
    setMouseTracking(true);
    // Its text may fill it to the edges (sized to its caption): a mark inside would cross the letters.
    markFocusAround(this);
}

void TLabel::setCaption(const QString &caption)
{
    if (m_caption == caption)
        return;
    m_caption = caption;
    if (!adjustSize())
        return;
    updateShortcut();
    update();
}

void TLabel::setAlignment(TAlignment alignment)
{
    if (m_alignment == alignment)
        return;
    m_alignment = alignment;
    update();
}

void TLabel::setLayout(TTextLayout layout)
{
    if (m_layout == layout)
        return;
    m_layout = layout;
    update();
}

void TLabel::setAutoSize(bool autoSize)
{
    if (m_autoSize == autoSize)
        return;
    m_autoSize = autoSize;
    if (adjustSize())
        update();
}

void TLabel::setTransparent(bool transparent)
{
    if (m_transparent == transparent)
        return;
    m_transparent = transparent;
    update();
}

void TLabel::setWordWrap(bool wrap)
{
    if (m_wordWrap == wrap)
        return;
    m_wordWrap = wrap;
    if (adjustSize())
        update();
}

void TLabel::setShowAccelChar(bool show)
{
    if (m_showAccelChar == show)
        return;
    m_showAccelChar = show;
    // "&" turns from a prefix into a character of its own (or back): the text takes another width.
    if (!adjustSize())
        return;
    updateShortcut();
    update();
}

TColor TLabel::Color() const
{
    if (ParentColor() && parentWidget())
        return faceColorOf(parentWidget());
    return m_color;
}

void TLabel::setColor(TColor color)
{
    if (!ParentColor() && m_color == color)
        return;
    clearParentColor();
    m_color = color;
    update();
}

void TLabel::setParentColor(bool follow)
{
    if (ParentColor() == follow)
        return;
    Control::setParentColor(follow);
    update();
}

void TLabel::parentColorChanged(TColor)
{
    // Color() reads the parent's colour as it is painted.
    if (ParentColor())
        update();
}

void TLabel::setFontColor(TColor color)
{
    if (m_fontColor == color)
        return;
    m_fontColor = color;
    update();
}

void TLabel::setFont(const QFont &font)
{
    QWidget::setFont(font);
    if (adjustSize())
        update();
}

QString TLabel::accessibleCaption() const
{
    return withoutAccelerators(m_caption);
}

bool TLabel::ParentFont() const
{
    return followsParentFont(this);
}

void TLabel::setParentFont(bool follow)
{
    setFollowsParentFont(this, follow);
}

QMenu *TLabel::PopupMenu() const
{
    return m_popupMenu;
}

void TLabel::setPopupMenu(QMenu *menu)
{
    m_popupMenu = menu;
}

void TLabel::setFocusControl(QWidget *control)
{
    if (m_focusControl == control)
        return;
    m_focusControl = control;
    updateShortcut();
}

void TLabel::updateShortcut()
{
    setAccelerator(m_showAccelChar && m_focusControl ? m_caption : QString());
}

unsigned TLabel::textFlags() const
{
    unsigned flags = m_alignment == taCenter ? DT_CENTER : m_alignment == taRightJustify ? DT_RIGHT : DT_LEFT;
    flags |= DT_EXPANDTABS;
    if (m_wordWrap)
        flags |= DT_WORDBREAK;
    return flags;
}

QString TLabel::textToDraw(bool measuring) const
{
    if (measuring && (m_caption.isEmpty() || (m_showAccelChar && m_caption == u"&"_s)))
        return m_caption + u' ';
    return m_caption;
}

bool TLabel::adjustSize()
{
    if (!m_autoSize)
        return true;
    TRect r{0, 0, m_wordWrap ? width() : 0, 0};
    DoDrawText(nullptr, r, textFlags() | DT_CALCRECT);
    // A descendant's SetBounds may tell user code, which may delete the label.
    const QPointer<TLabel> alive(this);
    SetBounds(x(), y(), r.width(), r.height());
    return !alive.isNull();
}

void TLabel::DoDrawText(QPainter *painter, TRect &r, unsigned flags)
{
    const bool measuring = !painter || (flags & DT_CALCRECT);
    // No text draws nothing; measuring it anyway would load the font for nothing.
    if (!measuring && m_caption.isEmpty())
        return;
    if (!m_showAccelChar)
        flags |= DT_NOPREFIX;
    DrawText(measuring ? nullptr : painter, font(),
             isEnabled() ? toQColor(m_fontColor) : toQColor(clGrayText), textToDraw(measuring), r, flags);
}

void TLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (!m_transparent)
        FillRect(painter, TRect::fromQRect(rect()), toQColor(Color()));
    TRect r = TRect::fromQRect(rect());
    const unsigned flags = textFlags();
    if (m_layout != tlTop) {
        TRect measured = r;
        DoDrawText(nullptr, measured, flags | DT_CALCRECT);
        const int spare = height() - measured.Bottom;
        const int shift = m_layout == tlBottom ? spare : spare / 2;
        r.Top += shift;
        r.Bottom += shift;
    }
    paintOrLeaveOut([&] { DoDrawText(&painter, r, flags); });
}

void TLabel::mousePressEvent(QMouseEvent *event)
{
    GraphicControl::mousePressEvent(event);
    // Handled here: a handler may delete the label, and an ignored press would travel on to the parent
    // through it.
    event->accept();
    const QPoint at = event->position().toPoint();
    if (OnMouseDown)
        m_button.callOutDuringPress(
            [&] { OnMouseDown(this, mouseButtonOf(event->button()), shiftStateOf(*event), at.x(), at.y()); });
}

void TLabel::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
    // The click comes first, then OnMouseUp.
    const QPointer<TLabel> alive(this);
    GraphicControl::mouseReleaseEvent(event);
    if (!alive)
        return;
    const QPoint at = event->position().toPoint();
    if (OnMouseUp)
        callOut(this, [&] {
            OnMouseUp(this, mouseButtonOf(event->button()), shiftStateOf(*event), at.x(), at.y());
        });
}

void TLabel::mouseMoveEvent(QMouseEvent *event)
{
    event->accept();
    const QPoint at = event->position().toPoint();
    if (OnMouseMove)
        callOut(this, [&] { OnMouseMove(this, shiftStateOf(*event), at.x(), at.y()); });
}

void TLabel::mouseDoubleClickEvent(QMouseEvent *event)
{
    event->accept();
    m_button.pressForClick(*event);
    if (event->button() == Qt::LeftButton && OnDblClick &&
        !m_button.callOutDuringPress([this] { OnDblClick(this); }))
        return;
    const QPoint at = event->position().toPoint();
    if (OnMouseDown)
        m_button.callOutDuringPress(
            [&] { OnMouseDown(this, mouseButtonOf(event->button()), shiftStateOf(*event), at.x(), at.y()); });
}

void TLabel::contextMenuEvent(QContextMenuEvent *event)
{
    if (!m_popupMenu) {
        GraphicControl::contextMenuEvent(event);
        return;
    }
    event->accept();
    m_popupMenu->popup(event->globalPos());
}

bool TLabel::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::Shortcut:
        if (isAccelerator(event) && m_focusControl) {
            m_focusControl->setFocus(Qt::ShortcutFocusReason);
            return true;
        }
        break;
    case QEvent::FontChange:
        // A font taken from the parent changes without setFont. Sizing may reach user code (SetBounds):
        // once Qt has done with the change, which goes on to the label's siblings.
        afterDelivery(this, [this] { adjustSize(); });
        break;
    default:
        break;
    }
    return GraphicControl::event(event);
}

} // namespace tk
