#include "controls/abc/abclabel.h"

#include "toolkit/application/application.h"
#include "toolkit/base/callout.h"
#include "toolkit/base/delivery.h"
#include "toolkit/base/events.h"

#include <QCursor>
#include <QMouseEvent>
#include <QPainter>

using namespace Qt::StringLiterals;

// Mouse-sensitive label

TabcCustomMouseLabel::TabcCustomMouseLabel(QWidget *parent) : tk::TLabel(parent), tk::PointerEvents(this)
{
}

void TabcCustomMouseLabel::setMouseDownColor(tk::TColor color)
{
    if (m_mouseDownColor == color)
        return;
    m_mouseDownColor = color;
    if (pressed())
        update();
}

void TabcCustomMouseLabel::setMouseOverColor(tk::TColor color)
{
    if (m_mouseOverColor == color)
        return;
    m_mouseOverColor = color;
    if (m_mouseInside && !pressed())
        update();
}

namespace {

// A colour and a coloured shadow exclude each other: the one just added wins, and a set that adds
// both at once keeps the shadow.
TabcLabelMouseEffects settleEffects(TabcLabelMouseEffects wanted, TabcLabelMouseEffects stored)
{
    if (wanted.contains(almColorShadow) && !stored.contains(almColorShadow))
        return wanted.without(almColor);
    if (wanted.contains(almColor) && !stored.contains(almColor))
        return wanted.without(almColorShadow);
    return wanted;
}

} // namespace

void TabcCustomMouseLabel::setMouseDownEffects(TabcLabelMouseEffects effects)
{
    if (effects == m_mouseDownEffects)
        return;
    m_mouseDownEffects = settleEffects(effects, m_mouseDownEffects);
    if (pressed())
        update();
}

void TabcCustomMouseLabel::setMouseOverEffects(TabcLabelMouseEffects effects)
{
    if (effects == m_mouseOverEffects)
        return;
    m_mouseOverEffects = settleEffects(effects, m_mouseOverEffects);
    if (m_mouseInside && !pressed())
        update();
}

bool TabcCustomMouseLabel::playSound(TabcLabelMouseEffects effects, std::uint16_t index)
{
    if (!effects.contains(almSound) || !m_soundList)
        return true;
    TabcCustomWaveList *list = m_soundList;
    return tk::callOut(this, [list, index] { list->PlayIndex(index); });
}

// Painting (the label's paint lays the text out and comes here, as does AutoSize's measuring)

void TabcCustomMouseLabel::DoDrawText(QPainter *painter, tk::TRect &r, unsigned flags)
{
    const bool measuring = !painter || (flags & tk::DT_CALCRECT);
    const QString text = textToDraw(measuring);
    if (!ShowAccelChar())
        flags |= tk::DT_NOPREFIX;
    QFont canvasFont = font();
    if (!isEnabled()) {
        // Embossed: a light copy one pixel down-right under the shadow-coloured text, whatever the state.
        if (!measuring) {
            tk::TRect lit{r.Left + 1, r.Top + 1, r.Right + 1, r.Bottom + 1};
            tk::DrawText(painter, canvasFont, tk::toQColor(tk::clBtnHighlight), text, lit, flags);
        }
        tk::DrawText(measuring ? nullptr : painter, canvasFont, tk::toQColor(tk::clBtnShadow), text, r,
                     flags);
        return;
    }
    QColor color = tk::toQColor(fontColor());
    if (pressed())
        ApplyMouseEffects(measuring ? nullptr : painter, canvasFont, color, m_mouseDownEffects,
                          m_mouseDownColor, text, r, flags);
    else if (m_mouseInside)
        ApplyMouseEffects(measuring ? nullptr : painter, canvasFont, color, m_mouseOverEffects,
                          m_mouseOverColor, text, r, flags);
    tk::DrawText(measuring ? nullptr : painter, canvasFont, color, text, r, flags);
}

void TabcCustomMouseLabel::ApplyMouseEffects(QPainter *painter, QFont &font, QColor &color,
                                             TabcLabelMouseEffects effects, tk::TColor effectColor,
                                             const QString &text, const tk::TRect &r, unsigned flags)
{
    if (effects.contains(almUnderline))
        font.setUnderline(true);
    if (effects.contains(almColor)) {
        color = tk::toQColor(effectColor);
    } else if (effects.contains(almColorShadow) && painter) {
        // The shadow copies go first so that the caption itself lies on top of them.
        const QColor shadow = tk::toQColor(effectColor);
        for (int d : {-1, 1}) {
            tk::TRect copy{r.Left + d, r.Top + d, r.Right + d, r.Bottom + d};
            tk::DrawText(painter, font, shadow, text, copy, flags);
        }
    }
}

// Mouse

bool TabcCustomMouseLabel::mouseEntered()
{
    if (!m_mouseInside && isEnabled()) {
        m_mouseInside = true;
        repaint();
        if (!playSound(m_mouseOverEffects, m_soundOver))
            return false;
    }
    return tk::callOut(this, [this] { FireMouseEnter(); });
}

bool TabcCustomMouseLabel::mouseLeft()
{
    // The toolkit has no drag and drop, so the label is never the one being dragged.
    if (isEnabled()) {
        m_mouseInside = false;
        repaint();
    }
    return tk::callOut(this, [this] { FireMouseLeave(); });
}

void TabcCustomMouseLabel::UpdateMouseState()
{
    m_button.setTracking(false);
    // A disabled label keeps its hover flag; it draws no effects anyway.
    if (!isEnabled())
        return;
    const bool here = tk::findControlAt(QCursor::pos()) == this;
    m_presence.setOver(here);
    // Set the flag against the notification, so that the notification runs in full.
    if (here) {
        m_mouseInside = false;
        mouseEntered();
    } else {
        m_mouseInside = true;
        mouseLeft();
    }
}

void TabcCustomMouseLabel::buttonDown()
{
    // After the base's handling of the press, which may have ended it (a handler's error box, modal
    // window, hiding or disabling): only a press that stands shows.
    if (pressed() || !pressHeld() || !isEnabled())
        return;
    m_button.setTracking(true);
    repaint();
    playSound(m_mouseDownEffects, m_soundDown);
}

void TabcCustomMouseLabel::mousePressEvent(QMouseEvent *event)
{
    const QPointer<TabcCustomMouseLabel> alive(this);
    tk::TLabel::mousePressEvent(event);
    if (alive)
        buttonDown();
}

void TabcCustomMouseLabel::mouseDoubleClickEvent(QMouseEvent *event)
{
    const QPointer<TabcCustomMouseLabel> alive(this);
    tk::TLabel::mouseDoubleClickEvent(event);
    if (alive)
        buttonDown();
}

void TabcCustomMouseLabel::mouseReleaseEvent(QMouseEvent *event)
{
    // The base clicks first: the caption still shows the press while the click runs.
    const QPointer<TabcCustomMouseLabel> alive(this);
    tk::TLabel::mouseReleaseEvent(event);
    if (!alive || !pressed() || !isEnabled())
        return;
    m_button.setTracking(false);
    repaint();
}

void TabcCustomMouseLabel::mouseMoveEvent(QMouseEvent *event)
{
    const QPointer<TabcCustomMouseLabel> alive(this);
    tk::TLabel::mouseMoveEvent(event);
    if (alive && m_presence.moved(this, event->position().toPoint(), event->buttons()))
        m_presence.over() ? mouseEntered() : mouseLeft();
}

void TabcCustomMouseLabel::changeEvent(QEvent *event)
{
    tk::TLabel::changeEvent(event);
    if (event->type() == QEvent::EnabledChange) {
        update();
        // Once Qt has done with the change, which goes on to the label's siblings: the notifications
        // reach user code.
        tk::afterDelivery(this, [this] { UpdateMouseState(); });
    }
}

bool TabcCustomMouseLabel::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::Enter:
        // Gone in a handler, the label must not go on into the base's handling.
        if (m_presence.arrived() && !mouseEntered())
            return true;
        break;
    case QEvent::Leave:
        if (m_presence.departed() && !mouseLeft())
            return true;
        break;
    default:
        break;
    }
    return tk::TLabel::event(event);
}

void TabcCustomMouseLabel::pressLost()
{
    tk::TLabel::pressLost();
    update();
}

// Link label

TabcURLLabel::TabcURLLabel(QWidget *parent) : TabcMouseLabel(parent)
{
    // Through the setters, so that the colour and shadow rule applies to these defaults too.
    setFontColor(tk::clBlue);
    setMouseDownColor(tk::clPurple);
    setMouseDownEffects({almColor, almSound});
    setMouseOverEffects({almUnderline, almSound});
    setCursor(Qt::PointingHandCursor);
}

void TabcURLLabel::Click()
{
    // A click handler may have closed the window that held the label, or failed: then nothing opens.
    bool completed = false;
    if (tk::callOut(
            this, [this] { TabcMouseLabel::Click(); }, &completed) &&
        completed)
        OpenURL(m_url, m_showBrowser);
}
