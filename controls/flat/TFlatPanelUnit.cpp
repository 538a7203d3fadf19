#include "controls/flat/TFlatPanelUnit.h"

#include "toolkit/base/callout.h"
#include "toolkit/base/delivery.h"
#include "toolkit/painting/deviceimage.h"
#include "toolkit/painting/paintpolicy.h"

#include "controls/flat/FlatUtilitys.h"
#include "toolkit/application/application.h"
#include "toolkit/base/events.h"
#include "toolkit/painting/canvas.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>

namespace {

// The frame of a new panel: a muted brown-grey on all four edges until told otherwise.
constexpr tk::TColor kDefaultFrameColor = 8623776; // red 160, green 150, blue 131
constexpr QSize kDefaultSize(185, 41);
constexpr int kFrameWidth = 1;
// The embossed caption of a disabled panel: a highlight copy this far right and down, the shadow on top.
constexpr QPoint kEmbossOffset(1, 1);

unsigned alignmentFlag(tk::TAlignment alignment)
{
    switch (alignment) {
    case tk::taLeftJustify:
        return tk::DT_LEFT;
    case tk::taRightJustify:
        return tk::DT_RIGHT;
    case tk::taCenter:
        break;
    }
    return tk::DT_CENTER;
}

tk::TRect moved(tk::TRect r, QPoint by)
{
    return {r.Left + by.x(), r.Top + by.y(), r.Right + by.x(), r.Bottom + by.y()};
}

} // namespace

tk::TColor fontColorOf(const QWidget *widget)
{
    if (const auto *panel = qobject_cast<const TFlatPanel *>(widget))
        return panel->fontColor();
    // Text on a window is in the system's text colour unless told otherwise.
    return tk::clWindowText;
}

TFlatPanel::TFlatPanel(QWidget *parent)
    : QWidget(parent), tk::Control(this), m_colorHighLight(kDefaultFrameColor),
      m_colorShadow(kDefaultFrameColor)
{
    // Every pixel is painted here; Qt need not clear the face first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setGeometry(QRect(QPoint(0, 0), kDefaultSize));
    setParentColor(true);
}

// The setters repaint at once (see the class).

void TFlatPanel::setTransparent(bool transparent)
{
    // Acts on every call: setting it again is how a caller asks for the see-through face anew.
    m_transparent = transparent;
    repaint();
}

void TFlatPanel::setColors(int index, tk::TColor color)
{
    tk::TColor *target = index == 0 ? &m_colorHighLight : index == 1 ? &m_colorShadow : nullptr;
    if (!target)
        return;
    // Acts on every call, as setting Transparent does.
    *target = color;
    repaint();
}

void TFlatPanel::setColor(tk::TColor color)
{
    clearParentColor();
    storeColor(color);
}

void TFlatPanel::parentColorChanged(tk::TColor parentColor)
{
    if (ParentColor())
        storeColor(parentColor);
}

void TFlatPanel::storeColor(tk::TColor color)
{
    if (m_color == color)
        return;
    m_color = color;
    passFaceColorOn();
    repaint();
}

bool TFlatPanel::ParentFont() const
{
    return tk::followsParentFont(this);
}

void TFlatPanel::setParentFont(bool parentFont)
{
    m_fontColor.setParentFont(parentFont);
}

void TFlatPanel::setFontColor(tk::TColor color)
{
    if (m_fontColor.set(color))
        repaint();
}

void TFlatPanel::setAlignment(tk::TAlignment alignment)
{
    // An alignment from outside the enumeration (a stored value, say) leaves the caption where it is.
    if (alignment != tk::taLeftJustify && alignment != tk::taRightJustify && alignment != tk::taCenter)
        return;
    if (m_alignment == alignment)
        return;
    m_alignment = alignment;
    repaint();
}

void TFlatPanel::setCaption(const QString &caption)
{
    if (m_caption == caption)
        return;
    m_caption = caption;
    repaint();
}

void TFlatPanel::paintEvent(QPaintEvent *)
{
    if (width() <= 0 || height() <= 0)
        return;
    QPainter onScreen(this);
    tk::DeviceImage face = tk::deviceImageFor(onScreen, size(), QImage::Format_RGB32);
    if (face.image.isNull())
        return;
    {
        QPainter painter(&face.image);
        painter.translate(face.origin);
        drawBackground(painter);
        drawFrame(painter);
        tk::paintOrLeaveOut([&] { drawCaption(painter); });
    }
    onScreen.drawImage(-face.origin, face.image);
}

void TFlatPanel::drawBackground(QPainter &painter)
{
    // See-through, the face colour is only what shows where the parent paints nothing (or where there is
    // no parent at all), rather than whatever the image's memory held.
    tk::FillRect(painter, tk::TRect::fromQRect(rect()), tk::toQColor(m_color));
    if (m_transparent)
        PaintParentBackground(this, painter);
}

void TFlatPanel::drawFrame(QPainter &painter)
{
    DrawBevelFrame(painter, tk::TRect::fromQRect(rect()), m_colorHighLight, m_colorShadow, kFrameWidth);
}

void TFlatPanel::drawCaption(QPainter &painter)
{
    if (m_caption.isEmpty())
        return;
    const unsigned flags = tk::DT_SINGLELINE | alignmentFlag(m_alignment);
    // Centred vertically over the whole face as the platform centres a single line: the spare height
    // halved, truncated.
    tk::TRect measure{0, 0, width(), 0};
    const int textHeight =
        tk::DrawText(nullptr, font(), Qt::black, m_caption, measure, flags | tk::DT_CALCRECT);
    tk::TRect text{0, (height() - textHeight) / 2, width(), 0};
    text.Bottom = text.Top + textHeight;

    if (isEnabled()) {
        tk::DrawText(&painter, font(), tk::toQColor(fontColor()), m_caption, text, flags);
        return;
    }
    tk::TRect highlight = moved(text, kEmbossOffset);
    tk::DrawText(&painter, font(), tk::toQColor(tk::clBtnHighlight), m_caption, highlight, flags);
    tk::DrawText(&painter, font(), tk::toQColor(tk::clBtnShadow), m_caption, text, flags);
}

void TFlatPanel::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // Once Qt has done with the resizing, which repaints the panel after this.
    if (OnResize)
        tk::afterDelivery(this, [this] {
            if (OnResize)
                tk::callOut(this, [this] { OnResize(this); });
        });
}

void TFlatPanel::mousePressEvent(QMouseEvent *event)
{
    m_button.pressForClick(*event);
    QWidget::mousePressEvent(event);
}

void TFlatPanel::mouseReleaseEvent(QMouseEvent *event)
{
    const bool click = m_button.releaseClicks(*event);
    // Taken before the handler: were the panel gone afterwards, an ignored release would travel on to
    // the parent through it.
    event->accept();
    if (click && OnClick && !tk::callOut(this, [this] { OnClick(this); }))
        return;
    QWidget::mouseReleaseEvent(event);
}

void TFlatPanel::mouseDoubleClickEvent(QMouseEvent *event)
{
    // The second press of a double click holds the mouse as any press does, before the handler: what
    // the handler does to the panel ends it. It makes no click of its own.
    event->accept();
    m_button.pressForClick(*event);
    if (event->button() == Qt::LeftButton && OnDblClick)
        m_button.callOutDuringPress([this] { OnDblClick(this); });
}

bool TFlatPanel::event(QEvent *event)
{
    switch (int(event->type())) {
    case QEvent::EnabledChange:
    case QEvent::FontChange:
        // The caption changes its look at once, with the state it shows.
        repaint();
        break;
    case tk::SystemColorsChangedType:
        // Any colour here may name a system colour, the caption's embossing always does.
        update();
        break;
    default:
        break;
    }
    return QWidget::event(event);
}
