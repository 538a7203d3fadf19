#pragma once

#include <QImage>

#include <functional>

namespace tk {

// Pixel rules the controls share. Colours are compared without their alpha.

// A copy of source (32-bit) in which every pixel of colour from is to.
QImage withColorReplaced(const QImage &source, QRgb from, QRgb to);

// A copy of source with alpha in which every pixel of colour key is fully transparent.
QImage withColorKeyedOut(const QImage &source, QRgb key);

// The embossed, colourless outline of the ink of source: fill everywhere, highlight step device pixels
// right of and below each ink pixel (what falls outside is dropped), shadow on the ink itself, over
// the highlight. Null when the image cannot be allocated.
QImage embossed(const QImage &source, const std::function<bool(QRgb)> &isInk, QRgb fill, QRgb highlight,
                QRgb shadow, int step);

// A bitmap ready to be drawn over logical on a device of this pixel ratio: exactly that many device
// pixels, the ratio set on it. Enlarged a whole number of times, each pixel becomes a block, so that
// one-pixel detail stays crisp; at any other factor it is scaled smoothly.
QImage fittedToDevice(QImage image, QSize logical, qreal ratio);

} // namespace tk
