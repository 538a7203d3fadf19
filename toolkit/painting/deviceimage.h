#pragma once

#include <QImage>
#include <QPointF>

class QPainter;

namespace tk {

// An off-screen image of exactly the device pixels a widget covers where it is painted, at any pixel ratio.
// At a fractional ratio a widget owns the device pixels from round(x * ratio) to round((x + width) * ratio)
// of its device, which can be one more or less than its width times the ratio; an image of that size
// would leave part of an opaque widget unpainted.
struct DeviceImage {
    QImage image;   // with the widget's pixel ratio; may be null when it cannot be allocated
    QPointF origin; // where the widget's (0, 0) lies on the image, in logical units
};

// The image for a widget of logical size that painter paints on (the window's backing store, or a grab).
// Paint on the image translated by origin, in the widget's own coordinates, then draw it with painter at
// -origin: every device pixel lands where painting on the widget itself would put it.
DeviceImage deviceImageFor(const QPainter &painter, QSize size, QImage::Format format);

} // namespace tk
