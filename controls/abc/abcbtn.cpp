#include "abcbtn.h"

#include "application.h"
#include "canvas.h"
#include "colors.h"
#include "events.h"

#include <QMouseEvent>
#include <QPainter>

namespace {

// The picture's corner lies this far up-left of the button at rest; a press moves it one pixel.
constexpr QPoint kPictureOffset{-3, -4};
constexpr QPoint kPressedShift{1, 1};

} // namespace

TabcRepSpeedBtn::TabcRepSpeedBtn(QWidget *parent) : tk::GraphicControl(parent)
{
    m_picture.OnChange = [this] { update(); };
}

void TabcRepSpeedBtn::Click()
{
    bool cancel = false;
    if (BeforeClick)
        BeforeClick(this, cancel);
    if (!cancel && OnClick)
        OnClick(this);
}

void TabcRepSpeedBtn::drawPicture(QPainter &painter, QPoint offset)
{
    if (tk::Graphic *graphic = m_picture.graphic())
        graphic->draw(painter, offset, rect());
}

void TabcRepSpeedBtn::drawFrame(QPainter &painter)
{
    const int r = width() - 1, b = height() - 1;
    QColor topLeft, bottomRight;
    if (m_pressedInside) {
        topLeft = tk::toQColor(tk::clBtnShadow);
        bottomRight = tk::toQColor(tk::clBtnHighlight);
    } else if (m_mouseInside) {
        topLeft = tk::toQColor(tk::clBtnHighlight);
        bottomRight = tk::toQColor(tk::clBtnShadow);
    } else {
        return;
    }
    painter.fillRect(QRect(0, 0, r, 1), topLeft);
    painter.fillRect(QRect(0, 0, 1, b), topLeft);
    painter.fillRect(QRect(r, 0, 1, b + 1), bottomRight);
    painter.fillRect(QRect(0, b, r + 1, 1), bottomRight);
}

void TabcRepSpeedBtn::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setClipRect(rect());
    drawPicture(painter, m_pressedInside ? kPictureOffset + kPressedShift : kPictureOffset);
    drawFrame(painter);
}

void TabcRepSpeedBtn::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_pressed = m_pressedInside = true;
    tk::Application::setCaptureControl(this);
    repaint();
}

void TabcRepSpeedBtn::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_pressed)
        return;
    // Qt sends no leave while the button holds the mouse: follow the pointer from the moves.
    const bool inside = rect().contains(event->position().toPoint());
    if (inside != m_pressedInside) {
        m_pressedInside = inside;
        m_mouseInside = inside;
        repaint();
    }
}

void TabcRepSpeedBtn::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_pressed)
        return;
    const bool click = rect().contains(event->position().toPoint());
    m_pressed = m_pressedInside = false;
    m_mouseInside = click;
    if (tk::Application::captureControl() == this)
        tk::Application::setCaptureControl(nullptr);
    repaint();
    if (click)
        tk::runGuarded([this] { Click(); });
}

void TabcRepSpeedBtn::enterEvent(QEnterEvent *)
{
    if (m_mouseInside)
        return;
    m_mouseInside = true;
    update();
}

void TabcRepSpeedBtn::leaveEvent(QEvent *)
{
    if (!m_mouseInside)
        return;
    m_mouseInside = false;
    update();
}

bool TabcRepSpeedBtn::event(QEvent *event)
{
    if (event->type() == QEvent::Type(tk::CancelModeType) && m_pressed) {
        m_pressed = m_pressedInside = false;
        update();
    }
    return tk::GraphicControl::event(event);
}
