#include "flatdisabledglyph.h"

#include "errors.h"

#include <algorithm>

using namespace Qt::StringLiterals;

QImage MakeDisabledGlyph(const QImage &source, tk::TColor maskColor, tk::TColor fillColor,
                         tk::TColor highlightColor, tk::TColor shadowColor, bool withHighlight)
{
    const int w = source.width(), h = source.height();
    QImage result(w, h, QImage::Format_RGB32);
    if (source.isNull())
        return result;
    if (result.isNull())
        throw tk::Error(u"Out of system resources"_s);
    // A source made for a denser screen keeps its ratio, and its emboss stays one logical pixel deep.
    result.setDevicePixelRatio(source.devicePixelRatio());
    const int step = std::max(1, qRound(source.devicePixelRatio()));

    // A two-colour source is its own mask, with black as ink.
    const bool twoColour =
        source.format() == QImage::Format_Mono || source.format() == QImage::Format_MonoLSB;
    const QRgb ink = twoColour ? qRgb(0, 0, 0) : tk::toQColor(maskColor).rgb();
    const QImage pixels = source.convertToFormat(QImage::Format_RGB32);
    if (pixels.isNull())
        throw tk::Error(u"Out of system resources"_s);
    const auto isInk = [&](int x, int y) {
        return (reinterpret_cast<const QRgb *>(pixels.constScanLine(y))[x] | 0xFF000000u) == ink;
    };

    result.fill(tk::toQColor(fillColor));
    const QRgb highlight = tk::toQColor(highlightColor).rgb();
    const QRgb shadow = tk::toQColor(shadowColor).rgb();
    if (withHighlight) {
        for (int y = 0; y + step < h; ++y) {
            QRgb *below = reinterpret_cast<QRgb *>(result.scanLine(y + step));
            for (int x = 0; x + step < w; ++x) {
                if (isInk(x, y))
                    below[x + step] = highlight;
            }
        }
    }
    for (int y = 0; y < h; ++y) {
        QRgb *row = reinterpret_cast<QRgb *>(result.scanLine(y));
        for (int x = 0; x < w; ++x) {
            if (isInk(x, y))
                row[x] = shadow;
        }
    }
    return result;
}
