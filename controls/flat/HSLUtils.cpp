#include "controls/flat/HSLUtils.h"

#include <algorithm>
#include <cmath>

namespace {

// The precision rule of this arithmetic: every expression is evaluated with a 64-bit mantissa (long
// double here) and only the named values of the algorithms (R, G, B, max, min, L, d, S, H at each step,
// m1, m2, the hue handed to HueToChannel, v) are stored as doubles. Products that become integers are
// rounded half to even from the extended value: 200/240 * 255 gives 213 that way, while the plain double
// product collapses to 212.5 and gives 212, and rgb(51, 51, 141) keeps S * 240 at exactly 112.5 (112).
using Extended = long double;

int roundProduct(double value, Extended factor)
{
    return int(std::nearbyint(Extended(value) * factor));
}

// Lightness above 1 (a slight darkening of a very light colour raises it there) must saturate at white
// rather than wrap round to a dark channel.
int channelOf(double value)
{
    const Extended product = Extended(value) * 255;
    return int(std::nearbyint(std::clamp(product, Extended(0), Extended(255))));
}

tk::TColor rgb(int red, int green, int blue)
{
    return tk::TColor(red & 0xFF) | (tk::TColor(green & 0xFF) << 8) | (tk::TColor(blue & 0xFF) << 16);
}

constexpr Extended kThird = Extended(1) / 3;
constexpr Extended kTwoThirds = Extended(2) / 3;

} // namespace

int HueToChannel(double m1, double m2, double h)
{
    if (h < 0)
        h = double(Extended(h) + 1);
    else if (h > 1)
        h = double(Extended(h) - 1);
    double v;
    if (6 * Extended(h) < 1)
        v = double(Extended(m1) + (Extended(m2) - m1) * h * 6);
    else if (2 * Extended(h) < 1)
        v = m2;
    else if (3 * Extended(h) < 2)
        v = double(Extended(m1) + (Extended(m2) - m1) * (kTwoThirds - h) * 6);
    else
        v = m1;
    return channelOf(v);
}

tk::TColor HslToColor(double H, double S, double L)
{
    if (S == 0) {
        const int grey = channelOf(L);
        return rgb(grey, grey, grey);
    }
    const double m2 =
        L <= 0.5 ? double(Extended(L) * (1 + Extended(S))) : double(Extended(L) + S - Extended(L) * S);
    const double m1 = double(2 * Extended(L) - m2);
    return rgb(HueToChannel(m1, m2, double(Extended(H) + kThird)), HueToChannel(m1, m2, H),
               HueToChannel(m1, m2, double(Extended(H) - kThird)));
}

tk::TColor ScaledHslToColor(int H, int S, int L)
{
    return HslToColor(double(Extended(H) / (HslScale - 1)), double(Extended(S) / HslScale),
                      double(Extended(L) / HslScale));
}

void ColorToHsl(tk::TColor color, double &H, double &S, double &L)
{
    const double R = double(Extended(color & 0xFF) / 255);
    const double G = double(Extended((color >> 8) & 0xFF) / 255);
    const double B = double(Extended((color >> 16) & 0xFF) / 255);
    const double max = std::max({R, G, B});
    const double min = std::min({R, G, B});
    L = double((Extended(max) + min) / 2);
    if (max == min) {
        H = 0;
        S = 0;
        return;
    }
    const double d = double(Extended(max) - min);
    S = L < 0.5 ? double(d / (Extended(max) + min)) : double(d / (2 - Extended(max) - min));
    if (R == max)
        H = double((Extended(G) - B) / d);
    else if (G == max)
        H = double(2 + (Extended(B) - R) / d);
    else
        H = double(4 + (Extended(R) - G) / d);
    H = double(Extended(H) / 6);
    if (H < 0)
        H = double(Extended(H) + 1);
}

void ColorToScaledHsl(tk::TColor color, int &H, int &S, int &L)
{
    double h, s, l;
    ColorToHsl(color, h, s, l);
    H = roundProduct(h, HslScale - 1);
    S = roundProduct(s, HslScale);
    L = roundProduct(l, HslScale);
}
