#include "abclabel.h"

#include "application.h"
#include "events.h"

#include <QCursor>
#include <QMouseEvent>
#include <QPainter>

// Multi-line label

TabcMultilineLabel::TabcMultilineLabel(QWidget *parent) : tk::TLabel(parent) {}

void TabcMultilineLabel::setLines(const QStringList &lines)
{
    m_lines = lines;
    // The text of a list of lines ends every line with a break; the caption goes without the last ones.
    QString text = lines.join(u"\r\n"_qs);
    while (!text.isEmpty() && (text.back() == u'\r' || text.back() == u'\n'))
        text.chop(1);
    setCaption(text);
}

void TabcMultilineLabel::resizeEvent(QResizeEvent *event)
{
    tk::TLabel::resizeEvent(event);
    if (OnResize)
        tk::runGuarded([this] { OnResize(this); });
}

void TabcMultilineLabel::moveEvent(QMoveEvent *event)
{
    tk::TLabel::moveEvent(event);
    if (OnResize)
        tk::runGuarded([this] { OnResize(this); });
}

// Mouse-sensitive label

TabcCustomMouseLabel::TabcCustomMouseLabel(QWidget *parent) : tk::TLabel(parent) {}

void TabcCustomMouseLabel::setMouseDownColor(tk::TColor color)
{
    if (m_mouseDownColor == color)
        return;
    m_mouseDownColor = color;
    if (m_pressed)
        update();
}

void TabcCustomMouseLabel::setMouseOverColor(tk::TColor color)
{
    if (m_mouseOverColor == color)
        return;
    m_mouseOverColor = color;
    if (m_mouseInside && !m_pressed)
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
    if (m_pressed)
        update();
}

void TabcCustomMouseLabel::setMouseOverEffects(TabcLabelMouseEffects effects)
{
    if (effects == m_mouseOverEffects)
        return;
    m_mouseOverEffects = settleEffects(effects, m_mouseOverEffects);
    if (m_mouseInside && !m_pressed)
        update();
}

void TabcCustomMouseLabel::setShowAccelChar(bool show)
{
    if (m_showAccelChar == show)
        return;
    m_showAccelChar = show;
    update();
}

void TabcCustomMouseLabel::setLayout(TTextLayout layout)
{
    if (m_layout == layout)
        return;
    m_layout = layout;
    update();
}

void TabcCustomMouseLabel::DoMouseEnter()
{
    if (OnMouseEnter)
        OnMouseEnter(this);
}

void TabcCustomMouseLabel::DoMouseLeave()
{
    if (OnMouseLeave)
        OnMouseLeave(this);
}

void TabcCustomMouseLabel::playSound(TabcLabelMouseEffects effects, std::uint16_t index)
{
    if (effects.contains(almSound) && m_soundList)
        m_soundList->PlayIndex(index);
}

// Painting

void TabcCustomMouseLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (!Transparent())
        tk::FillRect(painter, tk::TRect::fromQRect(rect()), tk::toQColor(Color()));
    tk::TRect r = tk::TRect::fromQRect(rect());
    const unsigned flags = textFlags();
    if (m_layout != tlTop) {
        tk::TRect measured = r;
        DoDrawText(nullptr, measured, flags | tk::DT_CALCRECT);
        const int spare = height() - measured.Bottom;
        const int shift = m_layout == tlBottom ? spare : spare / 2;
        r.Top += shift;
        r.Bottom += shift;
    }
    DoDrawText(&painter, r, flags);
}

void TabcCustomMouseLabel::DoDrawText(QPainter *painter, tk::TRect &r, unsigned flags)
{
    const bool measuring = !painter || (flags & tk::DT_CALCRECT);
    QString text = Caption();
    if (measuring && (text.isEmpty() || (m_showAccelChar && text == u"&"_qs)))
        text += u' ';
    if (!m_showAccelChar)
        flags |= tk::DT_NOPREFIX;
    QFont canvasFont = font();
    if (!isEnabled()) {
        // Embossed: a light copy one pixel down-right under the shadow-coloured text, whatever the state.
        if (!measuring) {
            tk::TRect lit{r.Left + 1, r.Top + 1, r.Right + 1, r.Bottom + 1};
            tk::DrawText(painter, canvasFont, tk::toQColor(tk::clBtnHighlight), text, lit, flags);
        }
        tk::DrawText(measuring ? nullptr : painter, canvasFont, tk::toQColor(tk::clBtnShadow), text, r, flags);
        return;
    }
    QColor colour = tk::toQColor(FontColor());
    if (m_pressed)
        applyMouseEffects(measuring ? nullptr : painter, canvasFont, colour, m_mouseDownEffects, m_mouseDownColor, text,
                          r, flags);
    else if (m_mouseInside)
        applyMouseEffects(measuring ? nullptr : painter, canvasFont, colour, m_mouseOverEffects, m_mouseOverColor, text,
                          r, flags);
    tk::DrawText(measuring ? nullptr : painter, canvasFont, colour, text, r, flags);
}

void TabcCustomMouseLabel::applyMouseEffects(QPainter *painter, QFont &font, QColor &color,
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

void TabcCustomMouseLabel::mouseEntered()
{
    if (!m_mouseInside && isEnabled()) {
        m_mouseInside = true;
        repaint();
        playSound(m_mouseOverEffects, m_soundOver);
    }
    DoMouseEnter();
}

void TabcCustomMouseLabel::mouseLeft()
{
    // The toolkit has no drag and drop, so the label is never the one being dragged.
    if (isEnabled()) {
        m_mouseInside = false;
        repaint();
    }
    DoMouseLeave();
}

void TabcCustomMouseLabel::pointerArrived()
{
    if (m_pointerInside)
        return;
    m_pointerInside = true;
    tk::runGuarded([this] { mouseEntered(); });
}

void TabcCustomMouseLabel::pointerGone()
{
    if (!m_pointerInside)
        return;
    m_pointerInside = false;
    tk::runGuarded([this] { mouseLeft(); });
}

void TabcCustomMouseLabel::UpdateMouseState()
{
    m_pressed = false;
    // A disabled label keeps its hover flag; it draws no effects anyway.
    if (!isEnabled())
        return;
    const bool here = tk::Application::findControlAt(QCursor::pos()) == this;
    m_pointerInside = here;
    // Set the flag against the notification, so that the notification runs in full.
    if (here) {
        m_mouseInside = false;
        mouseEntered();
    } else {
        m_mouseInside = true;
        mouseLeft();
    }
}

void TabcCustomMouseLabel::mousePressEvent(QMouseEvent *event)
{
    tk::TLabel::mousePressEvent(event);
    if (!m_pressed && isEnabled()) {
        m_pressed = true;
        // An error box coming up while the button is held must find the label to drop the press.
        tk::Application::setCaptureControl(this);
        repaint();
        tk::runGuarded([this] { playSound(m_mouseDownEffects, m_soundDown); });
    }
}

void TabcCustomMouseLabel::mouseReleaseEvent(QMouseEvent *event)
{
    // The base clicks first: the caption still shows the press while the click runs.
    QPointer<TabcCustomMouseLabel> self(this);
    tk::TLabel::mouseReleaseEvent(event);
    if (!self)
        return;
    if (tk::Application::captureControl() == this)
        tk::Application::setCaptureControl(nullptr);
    if (m_pressed && isEnabled()) {
        m_pressed = false;
        repaint();
    }
}

void TabcCustomMouseLabel::mouseMoveEvent(QMouseEvent *event)
{
    tk::TLabel::mouseMoveEvent(event);
    // Qt reports neither leave nor enter while a button holds the mouse; the moves tell where it is.
    if (event->buttons() == Qt::NoButton)
        return;
    if (rect().contains(event->position().toPoint()))
        pointerArrived();
    else
        pointerGone();
}

void TabcCustomMouseLabel::changeEvent(QEvent *event)
{
    tk::TLabel::changeEvent(event);
    if (event->type() == QEvent::EnabledChange) {
        update();
        tk::runGuarded([this] { UpdateMouseState(); });
    }
}

bool TabcCustomMouseLabel::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::Enter:
        pointerArrived();
        break;
    case QEvent::Leave:
        pointerGone();
        break;
    default:
        if (event->type() == QEvent::Type(tk::CancelModeType) && m_pressed) {
            // The release will go to the error box, not here.
            m_pressed = false;
            update();
        }
        break;
    }
    return tk::TLabel::event(event);
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
    QPointer<TabcURLLabel> self(this);
    TabcMouseLabel::Click();
    // A click handler may have closed the window that held the label.
    if (self)
        OpenURL(m_url, m_showBrowser);
}
