#pragma once

#include "canvas.h"
#include "colors.h"

#include <QFont>
#include <QImage>
#include <QPoint>
#include <QString>

#include <cstdint>

class QPainter;
class QWidget;

// The step (0..100) by which an advanced colour is made lighter or darker. It is added to or taken from
// the scaled lightness as it is, not as a percentage.
using TAdvColors = std::uint8_t;
// How many equal-width cells (1..4) a glyph strip holds side by side.
using TNumGlyphs = std::uint8_t;

// When a flat button lets its parent show through its face.
enum TTransparentMode : std::uint8_t { tmAlways, tmNotFocused, tmNone };

// Where the glyph stands relative to the caption.
enum TButtonLayout : std::uint8_t { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };

// The advanced colour of base: with step 0 the fallback as it is; otherwise the base's scaled lightness
// raised by 10 (in both directions) and then moved by step, lightening capped at 100 and darkening
// floored at 0. The cap of 100 makes a light colour come out darker than it was.
tk::TColor AdjustLightness(tk::TColor base, tk::TColor fallback, TAdvColors step, bool darken);

// width concentric one-pixel rings, the outermost on rect's edge: top and left in topColor, right and
// bottom in bottomColor (so only the top-left corner pixel is topColor). Rings stop where rect runs out.
void DrawBevelFrame(QPainter &canvas, tk::TRect rect, tk::TColor topColor, tk::TColor bottomColor, int width);

// Paints what control's parent shows under control: the parent's background and own painting and the
// windowless siblings below control, never the windowed ones. canvas is in control's coordinates.
// Nothing happens without a parent, nor for a window of its own.
void PaintParentBackground(QWidget *control, QPainter &canvas);

// The greyed, embossed image of a glyph cell: fillColor everywhere, shadowColor where the source is
// maskColor (black, for a two-colour source) and, withHighlight, highlightColor one pixel right and below
// each such pixel, under the shadow. Throws tk::Error when the image cannot be allocated.
QImage MakeDisabledGlyph(const QImage &source, tk::TColor maskColor, tk::TColor fillColor,
                         tk::TColor highlightColor, tk::TColor shadowColor, bool withHighlight);

// Places a glyph cell and a single-line caption measured in font inside client, moved by offset (the
// pressed look). A margin or spacing of -1 is worked out to centre the pair; glyph may be null.
void LayoutGlyphAndCaption(const QFont &font, const tk::TRect &client, QPoint offset, TButtonLayout layout,
                           int spacing, int margin, const QImage *glyph, TNumGlyphs numGlyphs,
                           const QString &caption, tk::TRect &textBounds, QPoint &glyphPos);
