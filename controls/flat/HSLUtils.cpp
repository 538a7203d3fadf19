#include "HSLUtils.h"

#include <algorithm>
#include <cmath>

namespace {

// Products are formed in extended precision and rounded half to even from there, so that 200/240 * 255
// gives 213: in plain doubles the product collapses to 212.5 and rounds down. The default rounding mode
// of std::nearbyint is round-half-to-even.
int roundProduct(double value, long double factor)
{
    return int(std::nearbyint(static_cast<long double>(value) * factor));
}

// Lightness above 1 (a slight darkening of a very light colour raises it there) must saturate at white
// rather than wrap round to a dark channel.
int channelOf(double value)
{
    const long double product = static_cast<long double>(value) * 255.0L;
    return int(std::nearbyint(std::clamp(product, 0.0L, 255.0L)));
}

tk::TColor rgb(int red, int green, int blue)
{
    return tk::TColor(red & 0xFF) | (tk::TColor(green & 0xFF) << 8) | (tk::TColor(blue & 0xFF) << 16);
}

} // namespace

int HueToChannel(double m1, double m2, double h)
{
    if (h < 0)
        h += 1;
    else if (h > 1)
        h -= 1;
    double v;
    if (6 * h < 1)
        v = m1 + (m2 - m1) * h * 6;
    else if (2 * h < 1)
        v = m2;
    else if (3 * h < 2)
        v = m1 + (m2 - m1) * (2.0 / 3.0 - h) * 6;
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
    const double m2 = L <= 0.5 ? L * (1 + S) : L + S - L * S;
    const double m1 = 2 * L - m2;
    return rgb(HueToChannel(m1, m2, H + 1.0 / 3.0), HueToChannel(m1, m2, H),
               HueToChannel(m1, m2, H - 1.0 / 3.0));
}

tk::TColor ScaledHslToColor(int H, int S, int L)
{
    return HslToColor(double(H) / (HslScale - 1), double(S) / HslScale, double(L) / HslScale);
}

void ColorToHsl(tk::TColor color, double &H, double &S, double &L)
{
    const double R = double(color & 0xFF) / 255;
    const double G = double((color >> 8) & 0xFF) / 255;
    const double B = double((color >> 16) & 0xFF) / 255;
    const double max = std::max({R, G, B});
    const double min = std::min({R, G, B});
    L = (max + min) / 2;
    if (max == min) {
        H = 0;
        S = 0;
        return;
    }
    const double d = max - min;
    S = L < 0.5 ? d / (max + min) : d / (2 - max - min);
    if (R == max)
        H = (G - B) / d;
    else if (G == max)
        H = 2 + (B - R) / d;
    else
        H = 4 + (R - G) / d;
    H = H / 6;
    if (H < 0)
        H += 1;
}

void ColorToScaledHsl(tk::TColor color, int &H, int &S, int &L)
{
    double h, s, l;
    ColorToHsl(color, h, s, l);
    H = roundProduct(h, HslScale - 1);
    S = roundProduct(s, HslScale);
    L = roundProduct(l, HslScale);
}
