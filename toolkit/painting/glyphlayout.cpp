#include "toolkit/painting/glyphlayout.h"

#include <algorithm>

namespace tk {

namespace {

struct Pair {
    qint64 x = 0, y = 0;
};

// Far enough out to be off any face, near enough that a caption's shadow offsets cannot overflow.
constexpr qint64 kFarthest = qint64(1) << 29;

int place(qint64 v)
{
    return int(std::clamp(v, -kFarthest, kFarthest));
}

} // namespace

GlyphPlacement placeGlyphAndCaption(const TRect &client, QSize glyphSize, const TRect &captionExtent,
                                    GlyphSide side, int margin, int spacing, QPoint shift)
{
    const bool beside = side == GlyphSide::Left || side == GlyphSide::Right;
    const Pair room{client.width(), client.height()};
    const Pair glyph{glyphSize.width(), glyphSize.height()};
    const Pair text{captionExtent.width(), captionExtent.height()};
    auto along = [beside](Pair p) { return beside ? p.x : p.y; };
    auto across = [beside](Pair p) { return beside ? p.y : p.x; };

    const qint64 glyphAcross = (across(room) - across(glyph) + 1) / 2;
    const qint64 textAcross = (across(room) - across(text) + 1) / 2;
    Pair glyphAt = beside ? Pair{0, glyphAcross} : Pair{glyphAcross, 0};
    Pair textAt = beside ? Pair{0, textAcross} : Pair{textAcross, 0};

    qint64 margin64 = margin, spacing64 = spacing;
    if (text.x == 0 || glyph.x == 0)
        spacing64 = 0;
    const qint64 free = along(room) - along(glyph) - along(text);
    if (margin64 == -1 && spacing64 == -1) {
        margin64 = free / 3;
        spacing64 = margin64;
    } else if (margin64 == -1) {
        margin64 = (free - spacing64 + 1) / 2;
    } else if (spacing64 == -1) {
        spacing64 = (free - margin64) / 2;
    }

    switch (side) {
    case GlyphSide::Left:
        glyphAt.x = margin64;
        textAt.x = glyphAt.x + glyph.x + spacing64;
        break;
    case GlyphSide::Right:
        glyphAt.x = room.x - margin64 - glyph.x;
        textAt.x = glyphAt.x - spacing64 - text.x;
        break;
    case GlyphSide::Top:
        glyphAt.y = margin64;
        textAt.y = glyphAt.y + glyph.y + spacing64;
        break;
    case GlyphSide::Bottom:
        glyphAt.y = room.y - margin64 - glyph.y;
        textAt.y = glyphAt.y - spacing64 - text.y;
        break;
    }

    const Pair origin{qint64(client.Left) + shift.x(), qint64(client.Top) + shift.y()};
    const int dx = place(textAt.x + origin.x), dy = place(textAt.y + origin.y);
    return {QPoint(place(glyphAt.x + origin.x), place(glyphAt.y + origin.y)),
            {captionExtent.Left + dx, captionExtent.Top + dy, captionExtent.Right + dx,
             captionExtent.Bottom + dy}};
}

} // namespace tk
