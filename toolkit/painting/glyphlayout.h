#pragma once

#include "toolkit/painting/canvas.h"

#include <QPoint>
#include <QSize>

#include <cstdint>

namespace tk {

// Which side of the caption a button's glyph stands on.
enum class GlyphSide : std::uint8_t { Left, Right, Top, Bottom };

// Where a button face puts its glyph and its caption.
struct GlyphPlacement {
    QPoint glyphPos;   // the glyph's top-left corner
    TRect captionRect; // the caption's measured extent, moved into place
    friend bool operator==(const GlyphPlacement &, const GlyphPlacement &) = default;
};

// Places a glyph of glyphSize and a caption of captionExtent (as measured from (0, 0); empty for no
// caption) inside client, the glyph on side of the caption, and moves both by shift.
// Across the layout axis both are centred. Along it, margin is the room between the client's edge and
// the glyph and spacing the room between glyph and caption; spacing counts as 0 when either is empty,
// and -1 asks for a share of what glyph and caption leave free: both -1 split it in three equal parts,
// margin -1 centres the pair, spacing -1 centres the caption in what margin and glyph leave.
// Any margin or spacing is safe: the arithmetic runs in 64 bits and places end up within +-2^29.
GlyphPlacement placeGlyphAndCaption(const TRect &client, QSize glyphSize, const TRect &captionExtent,
                                    GlyphSide side, int margin, int spacing, QPoint shift = {});

} // namespace tk
