#include "controls/abc/abcbtnframes.h"

#include "toolkit/base/errors.h"
#include "toolkit/painting/canvas.h"
#include "toolkit/painting/colors.h"
#include "toolkit/painting/edges.h"

#include <QPainter>

#include <algorithm>

namespace {

constexpr int kPatternSize = 8;
// The light grey of the highlight styles' inner frame; a plain colour, the same in every scheme.
constexpr tk::TColor kLightGrey = 0x00DEDEDE;

enum class FrameLook { Rest, Hot, Pressed };

void raisedInner(QPainter &canvas, tk::TRect &r)
{
    tk::DrawEdge(canvas, r, tk::Edge::RaisedInner);
}

void sunkenOuter(QPainter &canvas, tk::TRect &r)
{
    tk::DrawEdge(canvas, r, tk::Edge::SunkenOuter);
}

void softRaisedOuter(QPainter &canvas, tk::TRect &r)
{
    tk::DrawEdge(canvas, r, tk::Edge::RaisedOuter, tk::EdgeLook::Soft);
}

void softSunkenOuter(QPainter &canvas, tk::TRect &r)
{
    tk::DrawEdge(canvas, r, tk::Edge::SunkenOuter, tk::EdgeLook::Soft);
}

void greyRaised(QPainter &canvas, tk::TRect &r)
{
    tk::drawTwoColorFrame(canvas, r, kLightGrey, tk::clBtnShadow);
}

void greySunken(QPainter &canvas, tk::TRect &r)
{
    tk::drawTwoColorFrame(canvas, r, tk::clBtnShadow, kLightGrey);
}

void drawFrame(QPainter &canvas, tk::TRect &r, TabcButtonStyle style, FrameLook look)
{
    const bool pressed = look == FrameLook::Pressed, hot = look == FrameLook::Hot;
    switch (style) {
    case absAutoDetect: // every desktop we run on has the 3-D look
    case absNew:
        if (pressed) {
            softSunkenOuter(canvas, r);
            tk::DrawEdge(canvas, r, tk::Edge::SunkenInner, tk::EdgeLook::Soft);
        } else {
            softRaisedOuter(canvas, r);
            tk::DrawEdge(canvas, r, tk::Edge::RaisedInner, tk::EdgeLook::Soft,
                         tk::SideRight | tk::SideBottom);
        }
        return;
    case absWin31:
        tk::DrawEdge(canvas, r, tk::Edge::RaisedOuter, tk::EdgeLook::Mono);
        if (pressed) {
            tk::DrawEdge(canvas, r, tk::Edge::SunkenInner, tk::EdgeLook::Soft, tk::SideLeft | tk::SideTop);
        } else {
            raisedInner(canvas, r);
            raisedInner(canvas, r);
        }
        return;
    case absThin:
        if (pressed)
            sunkenOuter(canvas, r);
        else
            raisedInner(canvas, r);
        return;
    case absThinBlack:
        if (pressed)
            softSunkenOuter(canvas, r);
        else
            softRaisedOuter(canvas, r);
        return;
    case absThinGray:
        if (pressed)
            greySunken(canvas, r);
        else
            greyRaised(canvas, r);
        return;
    case absThinHighlight:
    case absMidHighlight:
    case absThickHighlight:
        if (pressed) {
            softSunkenOuter(canvas, r);
            if (style != absThinHighlight)
                greySunken(canvas, r);
        } else if (hot) {
            if (style == absThickHighlight)
                tk::drawBottomLine(canvas, r, tk::clBtnShadow);
            softRaisedOuter(canvas, r);
            if (style != absThinHighlight)
                greyRaised(canvas, r);
        } else {
            raisedInner(canvas, r);
            if (style == absThickHighlight)
                tk::drawBottomLine(canvas, r, tk::clBtnShadow);
        }
        return;
    default:
        break;
    }

    // The framed and recessed styles: a sunken ring, a gap for the recessed ones, then a raised ring,
    // black-shadowed for the black and raised variants; pressed, two sunken rings.
    const bool black = style == absFramedBlack || style == absFramedBlackHighlight ||
                       style == absRecessedBlack || style == absRecessedBlackHighlight;
    const bool raised = style == absFramedRaised || style == absRecessedRaised;
    const bool recessed = style >= absRecessed;
    const bool highlight = style == absFramedHighlight || style == absFramedBlackHighlight ||
                           style == absRecessedHighlight || style == absRecessedBlackHighlight;
    if (pressed) {
        const auto ring = black ? softSunkenOuter : sunkenOuter;
        ring(canvas, r);
        ring(canvas, r);
        return;
    }
    const bool darkShadowed = black || raised;
    if (darkShadowed)
        softSunkenOuter(canvas, r);
    else
        sunkenOuter(canvas, r);
    if (recessed)
        tk::stepIn(r);
    if (darkShadowed)
        softRaisedOuter(canvas, r);
    else
        raisedInner(canvas, r);
    if (raised || (highlight && hot))
        greyRaised(canvas, r);
}

} // namespace

TabcBrushPattern::TabcBrushPattern(tk::TColor color)
    : m_bitmap(kPatternSize, kPatternSize, QImage::Format_RGB32), m_color(color)
{
    m_bitmap.fill(tk::toQColor(color));
    const QColor highlight = tk::toQColor(tk::clBtnHighlight);
    for (int y = 0; y < kPatternSize; ++y)
        for (int x = y % 2; x < kPatternSize; x += 2)
            m_bitmap.setPixelColor(x, y, highlight);
}

TabcBrushPatternList &BrushPatterns()
{
    static TabcBrushPatternList list;
    return list;
}

TabcBrushPattern *AcquireBrushPattern(tk::TColor color)
{
    auto &items = BrushPatterns().m_items;
    auto found =
        std::find_if(items.begin(), items.end(), [color](const auto &p) { return p->m_color == color; });
    TabcBrushPattern *pattern = found != items.end()
                                    ? found->get()
                                    : items.emplace_back(std::make_unique<TabcBrushPattern>(color)).get();
    ++pattern->m_userCount;
    return pattern;
}

void ReleaseBrushPattern(TabcBrushPattern *pattern)
{
    if (!pattern)
        return;
    if (--pattern->m_userCount >= 1)
        return;
    // Only patterns of the list are freed here; anything else belongs to whoever made it.
    auto &items = BrushPatterns().m_items;
    auto found =
        std::find_if(items.begin(), items.end(), [pattern](const auto &p) { return p.get() == pattern; });
    if (found != items.end())
        items.erase(found);
}

tk::TRect DrawButtonFrame(QPainter &canvas, tk::TRect rect, TabcButtonStyle style, TabcFillMode fillMode,
                          TabcBrushPattern *pattern, tk::TColor color, bool pressed, bool hot, bool popup)
{
    if (fillMode == afmPattern && pattern && rect.width() > 0 && rect.height() > 0)
        canvas.fillRect(rect.toQRect(), QBrush(pattern->bitmap()));
    else if (fillMode != afmNone)
        tk::FillRect(canvas, rect, tk::toQColor(color));

    if (popup && !pressed && !hot)
        return rect;
    tk::TRect inner = rect;
    drawFrame(canvas, inner, style, pressed ? FrameLook::Pressed : hot ? FrameLook::Hot : FrameLook::Rest);
    return inner;
}
