#pragma once

// Pixel helpers the glyph engine and the glyph lists share.

#include "toolkit/painting/colors.h"

#include <QImage>
#include <QPainter>

namespace abcglyph {

inline QRgb rgbOf(tk::TColor color)
{
    return tk::toQColor(color).rgb();
}

inline bool sameColor(QRgb pixel, QRgb color)
{
    return (pixel & 0x00FFFFFF) == (color & 0x00FFFFFF);
}

inline QImage workBitmap(int width, int height, tk::TColor fill)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(tk::toQColor(fill));
    return image;
}

inline qreal deviceRatio(const QPainter &canvas)
{
    const QPaintDevice *device = canvas.device();
    return device ? device->devicePixelRatio() : 1.0;
}

// Ratios come from window systems as floating-point sums; two that print alike are the same screen.
inline bool sameRatio(qreal a, qreal b)
{
    return qAbs(a - b) < 1e-6;
}

inline QImage withMaskAlpha(const QImage &image, const QImage &mask)
{
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x)
            if (mask.pixelIndex(x, y))
                out.setPixel(x, y, 0);
    return out;
}

} // namespace abcglyph
