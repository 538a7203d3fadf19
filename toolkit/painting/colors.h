#pragma once

#include <QColor>

#include <cstdint>

namespace tk {

// A colour value: 0x00BBGGRR for a plain colour (red in the low byte), 0x80000000 + index for a system
// colour, resolved to its current RGB wherever colours are compared, blended or drawn.
using TColor = std::uint32_t;

inline constexpr TColor kSystemColorFlag = 0x80000000u;

enum SystemColorIndex : int {
    COLOR_SCROLLBAR = 0,
    COLOR_BACKGROUND = 1,
    COLOR_ACTIVECAPTION = 2,
    COLOR_INACTIVECAPTION = 3,
    COLOR_MENU = 4,
    COLOR_WINDOW = 5,
    COLOR_WINDOWFRAME = 6,
    COLOR_MENUTEXT = 7,
    COLOR_WINDOWTEXT = 8,
    COLOR_CAPTIONTEXT = 9,
    COLOR_ACTIVEBORDER = 10,
    COLOR_INACTIVEBORDER = 11,
    COLOR_APPWORKSPACE = 12,
    COLOR_HIGHLIGHT = 13,
    COLOR_HIGHLIGHTTEXT = 14,
    COLOR_BTNFACE = 15,
    COLOR_BTNSHADOW = 16,
    COLOR_GRAYTEXT = 17,
    COLOR_BTNTEXT = 18,
    COLOR_INACTIVECAPTIONTEXT = 19,
    COLOR_BTNHIGHLIGHT = 20,
    COLOR_3DDKSHADOW = 21,
    COLOR_3DLIGHT = 22,
    COLOR_INFOTEXT = 23,
    COLOR_INFOBK = 24,
    SystemColorCount = 25
};

inline constexpr TColor clBlack = 0x000000, clMaroon = 0x000080, clGreen = 0x008000, clOlive = 0x008080,
                        clNavy = 0x800000, clPurple = 0x800080, clTeal = 0x808000, clGray = 0x808080,
                        clSilver = 0xC0C0C0, clRed = 0x0000FF, clLime = 0x00FF00, clYellow = 0x00FFFF,
                        clBlue = 0xFF0000, clFuchsia = 0xFF00FF, clAqua = 0xFFFF00, clWhite = 0xFFFFFF;
inline constexpr TColor clNone = 0x1FFFFFFF;

inline constexpr TColor clScrollBar = kSystemColorFlag | COLOR_SCROLLBAR;
inline constexpr TColor clWindow = kSystemColorFlag | COLOR_WINDOW;
inline constexpr TColor clWindowFrame = kSystemColorFlag | COLOR_WINDOWFRAME;
inline constexpr TColor clWindowText = kSystemColorFlag | COLOR_WINDOWTEXT;
inline constexpr TColor clHighlight = kSystemColorFlag | COLOR_HIGHLIGHT;
inline constexpr TColor clHighlightText = kSystemColorFlag | COLOR_HIGHLIGHTTEXT;
inline constexpr TColor clBtnFace = kSystemColorFlag | COLOR_BTNFACE;
inline constexpr TColor clBtnShadow = kSystemColorFlag | COLOR_BTNSHADOW;
inline constexpr TColor clGrayText = kSystemColorFlag | COLOR_GRAYTEXT;
inline constexpr TColor clBtnText = kSystemColorFlag | COLOR_BTNTEXT;
inline constexpr TColor clBtnHighlight = kSystemColorFlag | COLOR_BTNHIGHLIGHT;
inline constexpr TColor cl3DDkShadow = kSystemColorFlag | COLOR_3DDKSHADOW;
inline constexpr TColor cl3DLight = kSystemColorFlag | COLOR_3DLIGHT;
inline constexpr TColor clInfoText = kSystemColorFlag | COLOR_INFOTEXT;
inline constexpr TColor clInfoBk = kSystemColorFlag | COLOR_INFOBK;

// Resolves a system colour to its current 0x00BBGGRR value; a plain colour comes back as it is, less
// any flag bits above the colour bytes.
TColor ColorToRGB(TColor color);
QColor toQColor(TColor color);
TColor fromQColor(const QColor &color);

// The system colour table, seeded with the classic desktop scheme so the program looks the same
// everywhere. Changing an entry tells every widget (SystemColorsChangedEvent).
TColor systemColor(int index);
void setSystemColor(int index, TColor rgb);

} // namespace tk
