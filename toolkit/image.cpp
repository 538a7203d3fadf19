#include "image.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>

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

void TImage::paintEvent(QPaintEvent *event)
{
    Graphic *graphic = m_picture.graphic();
    if (!graphic || graphic->empty())
        return;
    QPainter painter(this);
    painter.setClipRect(rect());
    const QRect visible = event->rect() & rect();
    if (m_stretch) {
        const qreal sx = qreal(width()) / graphic->width(), sy = qreal(height()) / graphic->height();
        painter.scale(sx, sy);
        m_picture.draw(painter, {0, 0}, painter.transform().inverted().mapRect(visible));
        return;
    }
    m_picture.draw(painter, pictureOrigin(), visible);
}

} // namespace tk
