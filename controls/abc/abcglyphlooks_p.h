#pragma once

// The looks of the glyph engine's state images, each made from the picture's slice for its state (or
// from the finished hot image) one scan line at a time. All results are 32-bit images of the input's
// size; colours compare without alpha.

#include <QImage>

namespace abcglyph {

// The slice with its transparent pixels in the face colour: the hot, down and plain resting look.
QImage brushCopy(const QImage &slice, QRgb transparent, QRgb face);
// The brush copy in grey, each pixel's red component giving its grey (not a weighted luminance).
QImage greyed(const QImage &slice, QRgb transparent, QRgb face);
// The hot image a quarter of the way towards the face colour.
QImage faded(const QImage &hot, QRgb face);
// The hot image AND-ed with the face colour.
QImage darkened(const QImage &hot, QRgb face);
// No disabled slice: the embossed outline of whatever is not transparent, white or silver, step device
// pixels deep.
QImage embossedOutline(const QImage &slice, QRgb transparent, QRgb face, int step);
// A disabled slice of its own: white becomes the highlight, grey 0x808080 the shadow, transparent the face.
QImage disabledSlice(const QImage &slice, QRgb transparent, QRgb face);

} // namespace abcglyph
