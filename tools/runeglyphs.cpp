#include "tools/runeglyphs.h"

namespace {

GlyphStroke line(std::initializer_list<GlyphPoint> points)
{
    return GlyphStroke{std::vector<GlyphPoint>(points), false};
}

GlyphStroke loop(std::initializer_list<GlyphPoint> points)
{
    return GlyphStroke{std::vector<GlyphPoint>(points), true};
}

std::vector<RuneGlyph> buildGlyphs()
{
    // Branches meet the staves at about a quarter of the height, as on the old stones; the crossbar of
    // NAUTHIZ sits a little above the middle, so that its reversed stone can be told apart.
    return {
        {"FEHU", 46, {line({{0, 0}, {0, 100}}), line({{0, 28}, {46, 2}}), line({{0, 58}, {46, 32}})}},
        {"URUZ", 52, {line({{0, 100}, {0, 0}, {52, 34}, {52, 100}})}},
        {"THURISAZ", 42, {line({{0, 0}, {0, 100}}), line({{0, 24}, {42, 50}, {0, 76}})}},
        {"ANSUZ", 46, {line({{0, 0}, {0, 100}}), line({{0, 0}, {46, 26}}), line({{0, 32}, {46, 58}})}},
        {"RAIDO", 46, {line({{0, 100}, {0, 0}, {44, 25}, {0, 50}, {46, 100}})}},
        {"KENAZ", 44, {line({{44, 10}, {0, 50}, {44, 90}})}},
        {"GEBO", 70, {line({{0, 0}, {70, 100}}), line({{70, 0}, {0, 100}})}},
        {"WUNJO", 42, {line({{0, 100}, {0, 0}, {42, 24}, {0, 48}})}},
        {"HAGALAZ", 54, {line({{0, 0}, {0, 100}}), line({{54, 0}, {54, 100}}), line({{0, 36}, {54, 64}})}},
        {"NAUTHIZ", 52, {line({{26, 0}, {26, 100}}), line({{0, 30}, {52, 52}})}},
        {"ISA", 0, {line({{0, 0}, {0, 100}})}},
        {"JERA", 58, {line({{27, 6}, {0, 33}, {27, 60}}), line({{31, 40}, {58, 67}, {31, 94}})}},
        {"EIHWAZ", 50, {line({{0, 78}, {25, 100}, {25, 0}, {50, 22}})}},
        {"PERTH",
         46,
         {line({{0, 0}, {0, 100}}), line({{0, 0}, {26, 26}, {46, 6}}), line({{0, 100}, {26, 74}, {46, 94}})}},
        {"ALGIZ", 58, {line({{29, 0}, {29, 100}}), line({{0, 6}, {29, 44}, {58, 6}})}},
        {"SOWULO", 46, {line({{44, 0}, {4, 44}, {42, 56}, {2, 100}})}},
        {"TEIWAZ", 58, {line({{29, 0}, {29, 100}}), line({{0, 30}, {29, 0}, {58, 30}})}},
        {"BERCANA", 42, {line({{0, 0}, {0, 100}}), line({{0, 0}, {42, 25}, {0, 50}, {42, 75}, {0, 100}})}},
        {"EHWAZ", 60, {line({{0, 100}, {0, 0}, {30, 32}, {60, 0}, {60, 100}})}},
        {"MANNAZ", 60, {line({{0, 100}, {0, 0}, {60, 38}}), line({{60, 100}, {60, 0}, {0, 38}})}},
        {"LAGUZ", 42, {line({{0, 100}, {0, 0}, {42, 28}})}},
        {"INGUZ", 58, {loop({{29, 14}, {58, 50}, {29, 86}, {0, 50}})}},
        // The rune of day: two triangles meeting at their points.
        {"ORMEX", 84, {loop({{0, 0}, {84, 100}, {84, 0}, {0, 100}})}},
        {"OTHILIA", 54, {line({{2, 100}, {52, 34}, {27, 0}, {2, 34}, {52, 100}})}},
        {"WIERD", 0, {}},
    };
}

const std::vector<RuneGlyph> &allGlyphs()
{
    static const std::vector<RuneGlyph> glyphs = buildGlyphs();
    return glyphs;
}

} // namespace

const RuneGlyph *findGlyph(std::string_view runeName)
{
    for (const RuneGlyph &glyph : allGlyphs())
        if (glyph.name == runeName)
            return &glyph;
    return nullptr;
}

RuneGlyph turnedOver(const RuneGlyph &glyph)
{
    RuneGlyph turned = glyph;
    for (GlyphStroke &stroke : turned.strokes)
        for (GlyphPoint &p : stroke.points)
            p = {glyph.width - p.x, kGlyphHeight - p.y};
    return turned;
}
