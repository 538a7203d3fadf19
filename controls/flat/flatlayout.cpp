#include "controls/flat/flatlayout.h"

#include "toolkit/painting/glyphlayout.h"

#include <algorithm>

namespace {

// The cell size of a glyph strip; a strip claiming no cells counts as one, the fewest it can hold.
QSize glyphCellSize(const QImage *glyph, TNumGlyphs numGlyphs)
{
    if (!glyph || glyph->isNull())
        return {0, 0};
    const int cells = std::clamp<int>(numGlyphs, 1, 4);
    // Laid out in logical pixels: a strip made for a denser screen covers the same area.
    const QSize logical = glyph->deviceIndependentSize().toSize();
    return {logical.width() / cells, logical.height()};
}

tk::GlyphSide sideOf(TButtonLayout layout)
{
    switch (layout) {
    case blGlyphRight:
        return tk::GlyphSide::Right;
    case blGlyphTop:
        return tk::GlyphSide::Top;
    case blGlyphBottom:
        return tk::GlyphSide::Bottom;
    default:
        return tk::GlyphSide::Left;
    }
}

} // namespace

void LayoutGlyphAndCaption(const QFont &font, const tk::TRect &client, QPoint offset, TButtonLayout layout,
                           int spacing, int margin, const QImage *glyph, TNumGlyphs numGlyphs,
                           const QString &caption, tk::TRect &textBounds, QPoint &glyphPos)
{
    tk::TRect extent;
    if (!caption.isEmpty()) {
        extent = {0, 0, client.width(), 0};
        tk::DrawText(nullptr, font, Qt::black, caption, extent, tk::DT_CALCRECT | tk::DT_SINGLELINE);
    }
    const tk::GlyphPlacement placed = tk::placeGlyphAndCaption(
        client, glyphCellSize(glyph, numGlyphs), extent, sideOf(layout), margin, spacing, offset);
    textBounds = placed.captionRect;
    glyphPos = placed.glyphPos;
}
