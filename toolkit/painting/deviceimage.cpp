#include "toolkit/painting/deviceimage.h"

#include <QPaintDevice>
#include <QPainter>

namespace tk {

DeviceImage deviceImageFor(const QPainter &painter, QSize size, QImage::Format format)
{
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatio() : 1.0;
    const QTransform toDevice = painter.deviceTransform();
    const QPointF from = toDevice.map(QPointF(0, 0));
    const QPointF to = toDevice.map(QPointF(size.width(), size.height()));
    const int x0 = qRound(from.x()), y0 = qRound(from.y());
    const int x1 = qRound(to.x()), y1 = qRound(to.y());
    DeviceImage result{QImage(x1 - x0, y1 - y0, format),
                       QPointF((from.x() - x0) / ratio, (from.y() - y0) / ratio)};
    result.image.setDevicePixelRatio(ratio);
    return result;
}

} // namespace tk
