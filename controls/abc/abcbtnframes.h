#pragma once

#include "toolkit/painting/canvas.h"
#include "toolkit/painting/colors.h"

#include <QImage>

#include <cstdint>
#include <memory>
#include <vector>

class QPainter;

// The looks a button face can be framed in, in their stored order (kept in one byte).
enum TabcButtonStyle : std::uint8_t {
    absAutoDetect,
    absNew,
    absWin31,
    absThin,
    absThinBlack,
    absThinGray,
    absThinHighlight,
    absMidHighlight,
    absThickHighlight,
    absFramed,
    absFramedBlack,
    absFramedRaised,
    absFramedHighlight,
    absFramedBlackHighlight,
    absRecessed,
    absRecessedBlack,
    absRecessedRaised,
    absRecessedHighlight,
    absRecessedBlackHighlight,
};

// How DrawButtonFrame fills the face before framing it.
enum TabcFillMode : std::uint8_t {
    afmSolid,   // the button colour
    afmPattern, // the checkerboard of a TabcBrushPattern
    afmNone,    // leave what is there
};

// An 8x8 checkerboard of a colour and the button highlight (pixel (0, 0) is highlight), the face of a
// latched-down button. One exists per colour value and is shared by every button of that colour.
class TabcBrushPattern {
public:
    explicit TabcBrushPattern(tk::TColor color);
    TabcBrushPattern(const TabcBrushPattern &) = delete;
    TabcBrushPattern &operator=(const TabcBrushPattern &) = delete;

    const QImage &bitmap() const { return m_bitmap; }
    // The colour as it was asked for: a system colour stays a system colour, so that it and its
    // current RGB value get patterns of their own.
    tk::TColor Color() const { return m_color; }
    std::int32_t userCount() const { return m_userCount; }

private:
    friend TabcBrushPattern *AcquireBrushPattern(tk::TColor color);
    friend void ReleaseBrushPattern(TabcBrushPattern *pattern);

    QImage m_bitmap;
    tk::TColor m_color;
    std::int32_t m_userCount = 0;
};

// The brush patterns in use, oldest first. It lasts as long as the program; whatever is still in it at
// the end is freed with it.
class TabcBrushPatternList {
public:
    int Count() const { return int(m_items.size()); }
    TabcBrushPattern *Items(int index) const { return m_items.at(size_t(index)).get(); }

private:
    friend TabcBrushPattern *AcquireBrushPattern(tk::TColor color);
    friend void ReleaseBrushPattern(TabcBrushPattern *pattern);

    std::vector<std::unique_ptr<TabcBrushPattern>> m_items;
};

TabcBrushPatternList &BrushPatterns();

// The pattern of this colour value, made on first demand, with one more user. Every acquisition is
// balanced by one ReleaseBrushPattern.
TabcBrushPattern *AcquireBrushPattern(tk::TColor color);
// Gives up one use; the last user's release frees the pattern. A null pattern is ignored.
void ReleaseBrushPattern(TabcBrushPattern *pattern);

// Fills rect (the button's whole area) and draws the frame of style in its pressed, hot or resting look,
// pressed winning over hot. A popup button at rest is filled but not framed. Returns what lies inside
// the frame. A pattern fill without a pattern falls back to a solid fill.
tk::TRect DrawButtonFrame(QPainter &canvas, tk::TRect rect, TabcButtonStyle style, TabcFillMode fillMode,
                          TabcBrushPattern *pattern, tk::TColor color, bool pressed, bool hot, bool popup);
