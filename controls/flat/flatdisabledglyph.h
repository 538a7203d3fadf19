#pragma once

#include "toolkit/painting/colors.h"

#include <QImage>

// The greyed, embossed image of a glyph cell: fillColor everywhere, shadowColor where the source is
// maskColor (black, for a two-colour source) and, withHighlight, highlightColor one pixel right and below
// each such pixel, under the shadow. Throws tk::Error when the image cannot be allocated.
QImage MakeDisabledGlyph(const QImage &source, tk::TColor maskColor, tk::TColor fillColor,
                         tk::TColor highlightColor, tk::TColor shadowColor, bool withHighlight);
