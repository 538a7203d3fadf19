#include "tools/runeglyphs.h"

namespace {

GlyphStroke Line(std::initializer_list<GlyphPoint> points)
{
    return GlyphStroke{std::vector<GlyphPoint>(points), false};
}

GlyphStroke Loop(std::initializer_list<GlyphPoint> points)
{
    return GlyphStroke{std::vector<GlyphPoint>(points), true};
}

std::vector<RuneGlyph> BuildGlyphs()
{
    // Branches meet the staves at about a quarter of the height, as on the old stones; the crossbar of
    // NAUTHIZ sits a little above the middle, so that its reversed stone can be told apart.
    return {
        {"FEHU", 46, {Line({{0, 0}, {0, 100}}), Line({{0, 28}, {46, 2}}), Line({{0, 58}, {46, 32}})}},
        {"URUZ", 52, {Line({{0, 100}, {0, 0}, {52, 34}, {52, 100}})}},
        {"THURISAZ", 42, {Line({{0, 0}, {0, 100}}), Line({{0, 24}, {42, 50}, {0, 76}})}},
        {"ANSUZ", 46, {Line({{0, 0}, {0, 100}}), Line({{0, 0}, {46, 26}}), Line({{0, 32}, {46, 58}})}},
        {"RAIDO", 46, {Line({{0, 100}, {0, 0}, {44, 25}, {0, 50}, {46, 100}})}},
        {"KENAZ", 44, {Line({{44, 10}, {0, 50}, {44, 90}})}},
        {"GEBO", 70, {Line({{0, 0}, {70, 100}}), Line({{70, 0}, {0, 100}})}},
        {"WUNJO", 42, {Line({{0, 100}, {0, 0}, {42, 24}, {0, 48}})}},
        {"HAGALAZ", 54, {Line({{0, 0}, {0, 100}}), Line({{54, 0}, {54, 100}}), Line({{0, 36}, {54, 64}})}},
        {"NAUTHIZ", 52, {Line({{26, 0}, {26, 100}}), Line({{0, 30}, {52, 52}})}},
        {"ISA", 0, {Line({{0, 0}, {0, 100}})}},
        {"JERA", 58, {Line({{27, 6}, {0, 33}, {27, 60}}), Line({{31, 40}, {58, 67}, {31, 94}})}},
        {"EIHWAZ", 50, {Line({{0, 78}, {25, 100}, {25, 0}, {50, 22}})}},
        {"PERTH",
         46,
         {Line({{0, 0}, {0, 100}}), Line({{0, 0}, {26, 26}, {46, 6}}), Line({{0, 100}, {26, 74}, {46, 94}})}},
        {"ALGIZ", 58, {Line({{29, 0}, {29, 100}}), Line({{0, 6}, {29, 44}, {58, 6}})}},
        {"SOWULO", 46, {Line({{44, 0}, {4, 44}, {42, 56}, {2, 100}})}},
        {"TEIWAZ", 58, {Line({{29, 0}, {29, 100}}), Line({{0, 30}, {29, 0}, {58, 30}})}},
        {"BERCANA", 42, {Line({{0, 0}, {0, 100}}), Line({{0, 0}, {42, 25}, {0, 50}, {42, 75}, {0, 100}})}},
        {"EHWAZ", 60, {Line({{0, 100}, {0, 0}, {30, 32}, {60, 0}, {60, 100}})}},
        {"MANNAZ", 60, {Line({{0, 100}, {0, 0}, {60, 38}}), Line({{60, 100}, {60, 0}, {0, 38}})}},
        {"LAGUZ", 42, {Line({{0, 100}, {0, 0}, {42, 28}})}},
        {"INGUZ", 58, {Loop({{29, 14}, {58, 50}, {29, 86}, {0, 50}})}},
        // The rune of day: two triangles meeting at their points.
        {"ORMEX", 84, {Loop({{0, 0}, {84, 100}, {84, 0}, {0, 100}})}},
        {"OTHILIA", 54, {Line({{2, 100}, {52, 34}, {27, 0}, {2, 34}, {52, 100}})}},
        {"WIERD", 0, {}},
    };
}

const std::vector<RuneGlyph> &AllGlyphs()
{
    static const std::vector<RuneGlyph> glyphs = BuildGlyphs();
    return glyphs;
}

} // namespace

const RuneGlyph *FindGlyph(std::string_view runeName)
{
    for (const RuneGlyph &glyph : AllGlyphs())
        if (glyph.name == runeName)
            return &glyph;
    return nullptr;
}

RuneGlyph TurnedOver(const RuneGlyph &glyph)
{
    RuneGlyph turned = glyph;
    for (GlyphStroke &stroke : turned.strokes)
        for (GlyphPoint &p : stroke.points)
            p = {glyph.width - p.x, GlyphHeight - p.y};
    return turned;
}
