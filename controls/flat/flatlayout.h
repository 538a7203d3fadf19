#pragma once

#include "toolkit/painting/canvas.h"

#include <QFont>
#include <QImage>
#include <QPoint>
#include <QString>

#include <cstdint>

// How many equal-width cells (1..4) a glyph strip holds side by side.
using TNumGlyphs = std::uint8_t;

// Where the glyph stands relative to the caption.
enum TButtonLayout : std::uint8_t { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };

// Places a glyph cell and a single-line caption measured in font inside client, moved by offset (the
// pressed look). A margin or spacing of -1 is worked out to centre the pair; glyph may be null.
void LayoutGlyphAndCaption(const QFont &font, const tk::TRect &client, QPoint offset, TButtonLayout layout,
                           int spacing, int margin, const QImage *glyph, TNumGlyphs numGlyphs,
                           const QString &caption, tk::TRect &textBounds, QPoint &glyphPos);
