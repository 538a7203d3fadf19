#include "TFlatPanelUnit.h"

#include "canvas.h"
#include "events.h"

#include <QPainter>

TFlatPanel::TFlatPanel(QWidget *parent) : QWidget(parent), tk::Control(this)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TFlatPanel::setCaption(const QString &caption)
{
    if (m_caption == caption)
        return;
    m_caption = caption;
    update();
}

void TFlatPanel::setColor(tk::TColor color)
{
    if (m_color == color)
        return;
    m_color = color;
    update();
}

void TFlatPanel::setColorHighLight(tk::TColor color)
{
    if (m_colorHighLight == color)
        return;
    m_colorHighLight = color;
    update();
}

void TFlatPanel::setColorShadow(tk::TColor color)
{
    if (m_colorShadow == color)
        return;
    m_colorShadow = color;
    update();
}

void TFlatPanel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const tk::TRect r = tk::TRect::fromQRect(rect());
    tk::FillRect(painter, r, tk::toQColor(m_color));
    // Light top and left, shadow right and bottom.
    tk::FillRect(painter, {r.Left, r.Top, r.Right, r.Top + 1}, tk::toQColor(m_colorHighLight));
    tk::FillRect(painter, {r.Left, r.Top, r.Left + 1, r.Bottom}, tk::toQColor(m_colorHighLight));
    tk::FillRect(painter, {r.Right - 1, r.Top, r.Right, r.Bottom}, tk::toQColor(m_colorShadow));
    tk::FillRect(painter, {r.Left, r.Bottom - 1, r.Right, r.Bottom}, tk::toQColor(m_colorShadow));
    if (!m_caption.isEmpty()) {
        tk::TRect text{r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1};
        tk::TRect measure = text;
        tk::DrawText(nullptr, font(), Qt::black, m_caption, measure, tk::DT_CALCRECT | tk::DT_CENTER | tk::DT_SINGLELINE);
        text.Top = (r.height() - measure.height()) / 2;
        tk::DrawText(&painter, font(), tk::toQColor(tk::clWindowText), m_caption, text,
                     tk::DT_CENTER | tk::DT_SINGLELINE);
    }
}

bool TFlatPanel::event(QEvent *event)
{
    if (event->type() == QEvent::Type(tk::SystemColorsChangedType))
        update();
    return QWidget::event(event);
}
