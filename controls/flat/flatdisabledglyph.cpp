#include "controls/flat/flatdisabledglyph.h"

#include "toolkit/base/errors.h"
#include "toolkit/painting/pixels.h"

#include <algorithm>

using namespace Qt::StringLiterals;

QImage MakeDisabledGlyph(const QImage &source, tk::TColor maskColor, tk::TColor fillColor,
                         tk::TColor highlightColor, tk::TColor shadowColor, bool withHighlight)
{
    if (source.isNull())
        return QImage(source.size(), QImage::Format_RGB32);
    // A two-colour source is its own mask, with black as ink.
    const bool twoColor = source.format() == QImage::Format_Mono || source.format() == QImage::Format_MonoLSB;
    const QRgb ink = twoColor ? qRgb(0, 0, 0) : tk::toQColor(maskColor).rgb();
    const QRgb fill = tk::toQColor(fillColor).rgb();
    const QRgb shadow = tk::toQColor(shadowColor).rgb();
    // Without the highlight, the highlight is the fill it would lie on.
    const QRgb highlight = withHighlight ? tk::toQColor(highlightColor).rgb() : fill;
    // A source made for a denser screen keeps its ratio, and its emboss stays one logical pixel deep.
    const int step = std::max(1, qRound(source.devicePixelRatio()));
    QImage result = tk::embossed(
        source, [ink](QRgb pixel) { return (pixel | 0xFF000000u) == ink; }, fill, highlight, shadow, step);
    if (result.isNull())
        throw tk::Error(u"Out of system resources"_s);
    return result;
}
