#include "toolkit/widgets/image.h"

#include "toolkit/painting/paintpolicy.h"
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
    const qreal ratio = devicePixelRatioF();
    // A companion has four times the pixels of its picture: decoded for the first frame, it would make
    // the window wait for it while it competes with the window's building for the processor. The 1x
    // picture costs what it costs on any screen, and the sharp one replaces it a frame later.
    if (ratio > 1 && ratio == std::round(ratio) && m_picture.highDensityGraphic())
        m_picture.holdCompanion(true);
    decodeWholeAhead();
}

void TImage::decodeWholeAhead()
{
    // The paint's device transform also holds the control's place in its window. At a whole ratio that
    // moves what is decided by whole device pixels only; at any other the rounding of the paint could
    // differ from ours, and a decode that the paint does not take is work for nothing.
    const qreal ratio = devicePixelRatioF();
    if (ratio != std::round(ratio))
        return;
    QTransform toDevice = QTransform::fromScale(ratio, ratio);
    // The paint of a control shown or released shows all of it.
    const QRect deviceClip = toDevice.mapRect(rect());
    if (m_stretch) {
        const QTransform stretch = stretching();
        m_picture.decodeAhead(stretch * toDevice, deviceClip, {0, 0}, stretch.inverted().mapRect(rect()));
        return;
    }
    m_picture.decodeAhead(toDevice, deviceClip, pictureOrigin(), rect());
}

void TImage::releaseCompanion()
{
    if (!m_picture.companionHeld())
        return;
    // The release asks for a repaint; the companion decodes beside until that paint needs it.
    m_picture.holdCompanion(false);
    decodeWholeAhead();
}

void TImage::paintEvent(QPaintEvent *event)
{
    Graphic *graphic = m_picture.graphic();
    if (!graphic || graphic->empty())
        return;
    QPainter painter(this);
    painter.setClipRect(rect());
    const QRect visible = event->rect() & rect();
    if (m_picture.companionHeld())
        QMetaObject::invokeMethod(this, &TImage::releaseCompanion, Qt::QueuedConnection);
    paintOrLeaveOut([&] {
        if (m_stretch) {
            painter.setTransform(stretching());
            m_picture.draw(painter, {0, 0}, painter.transform().inverted().mapRect(visible));
            return;
        }
        m_picture.draw(painter, pictureOrigin(), visible);
    });
}

} // namespace tk
