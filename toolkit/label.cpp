#include "label.h"

#include "accessibility.h"
#include "canvas.h"

#include <QPainter>

namespace tk {

TLabel::TLabel(QWidget *parent) : GraphicControl(parent) {}

void TLabel::setCaption(const QString &caption)
{
    if (m_caption == caption)
        return;
    m_caption = caption;
    adjustSize();
    update();
}

void TLabel::setAlignment(TAlignment alignment)
{
    if (m_alignment == alignment)
        return;
    m_alignment = alignment;
    update();
}

void TLabel::setAutoSize(bool autoSize)
{
    if (m_autoSize == autoSize)
        return;
    m_autoSize = autoSize;
    adjustSize();
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
    adjustSize();
    update();
}

void TLabel::setColor(TColor color)
{
    if (m_color == color)
        return;
    m_color = color;
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
    adjustSize();
    update();
}

QString TLabel::AccessibleCaption() const
{
    return withoutAccelerators(m_caption);
}

unsigned TLabel::textFlags() const
{
    unsigned flags = m_alignment == taCenter ? DT_CENTER : m_alignment == taRightJustify ? DT_RIGHT : DT_LEFT;
    if (m_wordWrap)
        flags |= DT_WORDBREAK;
    return flags;
}

void TLabel::adjustSize()
{
    if (!m_autoSize)
        return;
    TRect r{0, 0, m_wordWrap ? width() : 0, 0};
    // An empty caption still measures one blank, so that the label keeps a line's height.
    DrawText(nullptr, font(), Qt::black, m_caption.isEmpty() ? u" "_qs : m_caption, r,
             textFlags() | DT_CALCRECT);
    resize(r.width(), r.height());
}

void TLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (!m_transparent)
        FillRect(painter, TRect::fromQRect(rect()), toQColor(m_color));
    if (m_caption.isEmpty())
        return;
    TRect r = TRect::fromQRect(rect());
    DrawText(&painter, font(), isEnabled() ? toQColor(m_fontColor) : toQColor(clGrayText), m_caption, r,
             textFlags());
}

} // namespace tk
