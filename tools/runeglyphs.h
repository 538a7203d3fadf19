#pragma once

#include <string_view>
#include <vector>

// The 24 signs of the elder row as cut strokes, plus the blank stone. Coordinates are in a box that is
// `width` units wide and 100 units high, y growing downwards, as a carver would lay them out on the stone.

struct GlyphPoint {
    double x;
    double y;
};

struct GlyphStroke {
    std::vector<GlyphPoint> points;
    bool closed = false; // the last point joins the first (diamond, bow-tie)
};

struct RuneGlyph {
    std::string_view name;
    double width;
    std::vector<GlyphStroke> strokes; // empty for the blank rune
};

inline constexpr double kGlyphHeight = 100.0;

// The glyph of the rune with this catalogue name, or nullptr for a name no stone carries.
const RuneGlyph *findGlyph(std::string_view runeName);

// The same glyph turned half a circle, as a reversed stone lies before the caster.
RuneGlyph turnedOver(const RuneGlyph &glyph);
