#include "toolkit/painting/pixels.h"

namespace tk {

namespace {

bool sameColor(QRgb a, QRgb b)
{
    return (a & RGB_MASK) == (b & RGB_MASK);
}

const QRgb *row(const QImage &image, int y)
{
    return reinterpret_cast<const QRgb *>(image.constScanLine(y));
}

QRgb *row(QImage &image, int y)
{
    return reinterpret_cast<QRgb *>(image.scanLine(y));
}

} // namespace

QImage withColorReplaced(const QImage &source, QRgb from, QRgb to)
{
    QImage out = source.convertToFormat(QImage::Format_RGB32);
    const QRgb stored = to | 0xFF000000u;
    // The sizes are calls into Qt: asked once, not at every pixel.
    const int w = out.width(), h = out.height();
    for (int y = 0; y < h; ++y) {
        QRgb *line = row(out, y);
        for (int x = 0; x < w; ++x)
            if (sameColor(line[x], from))
                line[x] = stored;
    }
    return out;
}

QImage withColorKeyedOut(const QImage &source, QRgb key)
{
    QImage out = source.convertToFormat(QImage::Format_ARGB32);
    const int w = out.width(), h = out.height();
    for (int y = 0; y < h; ++y) {
        QRgb *line = row(out, y);
        for (int x = 0; x < w; ++x)
            if (sameColor(line[x], key))
                line[x] = 0;
    }
    return out;
}

QImage embossed(const QImage &source, const std::function<bool(QRgb)> &isInk, QRgb fill, QRgb highlight,
                QRgb shadow, int step)
{
    const QImage pixels = source.convertToFormat(QImage::Format_RGB32);
    QImage out(source.size(), QImage::Format_RGB32);
    if (pixels.isNull() || out.isNull())
        return {};
    out.setDevicePixelRatio(source.devicePixelRatio());
    out.fill(fill | 0xFF000000u);
    const int w = out.width(), h = out.height();
    for (int y = 0; y + step < h; ++y) {
        const QRgb *in = row(pixels, y);
        QRgb *below = row(out, y + step);
        for (int x = 0; x + step < w; ++x)
            if (isInk(in[x]))
                below[x + step] = highlight | 0xFF000000u;
    }
    for (int y = 0; y < h; ++y) {
        const QRgb *in = row(pixels, y);
        QRgb *line = row(out, y);
        for (int x = 0; x < w; ++x)
            if (isInk(in[x]))
                line[x] = shadow | 0xFF000000u;
    }
    return out;
}

QImage fittedToDevice(QImage image, QSize logical, qreal ratio)
{
    const QSize device = (QSizeF(logical) * ratio).toSize();
    if (image.size() != device && !image.isNull()) {
        const bool wholeTimes = device.width() % image.width() == 0 &&
                                device.height() % image.height() == 0 &&
                                device.width() / image.width() == device.height() / image.height();
        image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                    .scaled(device, Qt::IgnoreAspectRatio,
                            wholeTimes ? Qt::FastTransformation : Qt::SmoothTransformation);
    }
    image.setDevicePixelRatio(ratio);
    return image;
}

} // namespace tk
