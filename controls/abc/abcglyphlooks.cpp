#include "controls/abc/abcglyphlooks_p.h"

#include "controls/abc/abcglyphimages_p.h"
#include "toolkit/painting/colors.h"
#include "toolkit/painting/pixels.h"

namespace abcglyph {

namespace {

QRgb *row(QImage &image, int y)
{
    return reinterpret_cast<QRgb *>(image.scanLine(y));
}

// Each pixel of the 32-bit copy of image through f.
template <class F> QImage mapped(const QImage &image, F f)
{
    QImage out = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < out.height(); ++y) {
        QRgb *line = row(out, y);
        for (int x = 0; x < out.width(); ++x)
            line[x] = f(line[x]) | 0xFF000000u;
    }
    return out;
}

} // namespace

QImage brushCopy(const QImage &slice, QRgb transparent, QRgb face)
{
    return tk::withColorReplaced(slice, transparent, face);
}

QImage greyed(const QImage &slice, QRgb transparent, QRgb face)
{
    return mapped(brushCopy(slice, transparent, face),
                  [](QRgb p) { return qRgb(qRed(p), qRed(p), qRed(p)); });
}

QImage faded(const QImage &hot, QRgb face)
{
    // The image list's 25 % blend moves the picture a quarter of the way towards the face colour
    // already in the bitmap: three quarters picture, one quarter face.
    auto mix = [](int image, int under) { return (3 * image + under + 2) / 4; };
    return mapped(hot, [&](QRgb p) {
        return qRgb(mix(qRed(p), qRed(face)), mix(qGreen(p), qGreen(face)), mix(qBlue(p), qBlue(face)));
    });
}

QImage darkened(const QImage &hot, QRgb face)
{
    return mapped(hot, [face](QRgb p) { return p & face; });
}

QImage embossedOutline(const QImage &slice, QRgb transparent, QRgb face, int step)
{
    const QRgb white = rgbOf(tk::clWhite), silver = rgbOf(tk::clSilver);
    auto drawn = [&](QRgb p) {
        return !sameColor(p, transparent) && !sameColor(p, white) && !sameColor(p, silver);
    };
    return tk::embossed(slice, drawn, face, rgbOf(tk::clBtnHighlight), rgbOf(tk::clBtnShadow), step);
}

QImage disabledSlice(const QImage &slice, QRgb transparent, QRgb face)
{
    const QRgb white = rgbOf(tk::clWhite), grey = rgbOf(tk::clGray);
    const QRgb highlight = rgbOf(tk::clBtnHighlight), shadow = rgbOf(tk::clBtnShadow);
    // Read from the slice as it was: a colour made here is not mapped again.
    return mapped(slice, [&](QRgb p) {
        if (sameColor(p, transparent))
            return face;
        if (sameColor(p, grey))
            return shadow;
        if (sameColor(p, white))
            return highlight;
        return p;
    });
}

} // namespace abcglyph
