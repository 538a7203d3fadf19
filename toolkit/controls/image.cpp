#include "image.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>

#include <cmath>

namespace tk {

TImage::TImage(QWidget *parent) : GraphicControl(parent)
{
    m_picture.OnChange = [this] { update(); };
}

void TImage::setCenter(bool center)
{
    if (m_center == center)
        return;
    m_center = center;
    update();
}

void TImage::setStretch(bool stretch)
{
    if (m_stretch == stretch)
        return;
    m_stretch = stretch;
    update();
}

void TImage::setAlign(TAlign align)
{
    if (m_align == align)
        return;
    if (parentWidget()) {
        if (align == alClient)
            parentWidget()->installEventFilter(this);
        else
            parentWidget()->removeEventFilter(this);
    }
    m_align = align;
    followParent();
}

void TImage::followParent()
{
    if (m_align == alClient && parentWidget())
        setGeometry(parentWidget()->contentsRect());
}

bool TImage::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        followParent();
    return GraphicControl::eventFilter(watched, event);
}

QPoint TImage::pictureOrigin() const
{
    if (!m_center)
        return {0, 0};
    // Truncated toward zero, as integer division does: a larger picture goes negative.
    return {(width() - m_picture.width()) / 2, (height() - m_picture.height()) / 2};
}

QTransform TImage::stretching() const
{
    return QTransform::fromScale(qreal(width()) / m_picture.width(), qreal(height()) / m_picture.height());
}

void TImage::decodeVisibleAhead()
{
    if (m_picture.width() <= 0 || m_picture.height() <= 0)
        return;
    // The paint's device transform also holds the control's place in its window. At a whole ratio that
    // moves what is decided by whole device pixels only; at any other the rounding of the paint could
    // differ from ours, and a decode that the paint does not take is work for nothing.
    const qreal ratio = devicePixelRatioF();
    if (ratio != std::round(ratio))
        return;
    QTransform toDevice = QTransform::fromScale(ratio, ratio);
    // A first paint shows the whole control.
    const QRect deviceClip = toDevice.mapRect(rect());
    if (m_stretch) {
        const QTransform stretch = stretching();
        m_picture.decodeAhead(stretch * toDevice, deviceClip, {0, 0}, stretch.inverted().mapRect(rect()));
        return;
    }
    m_picture.decodeAhead(toDevice, deviceClip, pictureOrigin(), rect());
}

void TImage::paintEvent(QPaintEvent *event)
{
    Graphic *graphic = m_picture.graphic();
    if (!graphic || graphic->empty())
        return;
    QPainter painter(this);
    painter.setClipRect(rect());
    const QRect visible = event->rect() & rect();
    if (m_stretch) {
        painter.setTransform(stretching());
        m_picture.draw(painter, {0, 0}, painter.transform().inverted().mapRect(visible));
        return;
    }
    m_picture.draw(painter, pictureOrigin(), visible);
}

} // namespace tk
