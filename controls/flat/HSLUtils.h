#pragma once

#include "toolkit/painting/colors.h"

// Hue, saturation and lightness of a colour, as reals in 0..1 and on the integer scale of the colour
// dialogs: saturation and lightness 0..HslScale, hue 0..HslScale - 1.
inline constexpr int HslScale = 240;

// One channel (0..255) of the colour with lightness terms m1, m2 at hue h (one turn is 1).
int HueToChannel(double m1, double m2, double h);
tk::TColor HslToColor(double H, double S, double L);
// H / 239, S / 240, L / 240: hue uses HslScale - 1, so the scaled hue 80 is not quite pure green.
tk::TColor ScaledHslToColor(int H, int S, int L);

// The colour must already be RGB; callers resolve system colours first.
void ColorToHsl(tk::TColor color, double &H, double &S, double &L);
void ColorToScaledHsl(tk::TColor color, int &H, int &S, int &L);
