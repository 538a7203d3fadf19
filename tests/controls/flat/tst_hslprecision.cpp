#include "controls/flat/HSLUtils.h"

#include <QTest>

#include <gmpxx.h>

#include <cmath>
#include <cstdint>
#include <cstring>

// The colour arithmetic against an exact rational model of its precision rule: every named value of the
// algorithms is the double nearest to the exact value of its expression over the named values before it,
// and every product that becomes an integer is rounded half to even from its exact value.
namespace {

using Q = mpq_class;

double nearestDouble(const Q &exact)
{
    const double truncated = exact.get_d(); // GMP truncates towards zero
    if (Q(truncated) == exact)
        return truncated;
    const double away = std::nextafter(truncated, sgn(exact) > 0 ? INFINITY : -INFINITY);
    const int side = cmp(abs(exact), abs((Q(truncated) + Q(away)) / 2));
    if (side != 0)
        return side < 0 ? truncated : away;
    std::uint64_t bits;
    std::memcpy(&bits, &truncated, sizeof bits);
    return (bits & 1) == 0 ? truncated : away;
}

int roundHalfEven(const Q &exact)
{
    mpz_class floor;
    mpz_fdiv_q(floor.get_mpz_t(), exact.get_num_mpz_t(), exact.get_den_mpz_t());
    const int side = cmp(Q(exact - Q(floor)), Q(1, 2));
    const long whole = floor.get_si();
    if (side < 0)
        return int(whole);
    if (side > 0)
        return int(whole + 1);
    return int(whole % 2 == 0 ? whole : whole + 1);
}

Q q(double value)
{
    return Q(value);
}

int channel(double v)
{
    const int c = roundHalfEven(q(v) * 255);
    return std::clamp(c, 0, 255);
}

int hueToChannel(double m1, double m2, double h)
{
    if (h < 0)
        h = nearestDouble(q(h) + 1);
    else if (h > 1)
        h = nearestDouble(q(h) - 1);
    double v;
    if (q(h) * 6 < 1)
        v = nearestDouble(q(m1) + (q(m2) - q(m1)) * q(h) * 6);
    else if (q(h) * 2 < 1)
        v = m2;
    else if (q(h) * 3 < 2)
        v = nearestDouble(q(m1) + (q(m2) - q(m1)) * (Q(2, 3) - q(h)) * 6);
    else
        v = m1;
    return channel(v);
}

tk::TColor color(int r, int g, int b)
{
    return tk::TColor(r) | tk::TColor(g) << 8 | tk::TColor(b) << 16;
}

tk::TColor scaledHslToColor(int H, int S, int L)
{
    const double h = nearestDouble(Q(H, 239)), s = nearestDouble(Q(S, 240)), l = nearestDouble(Q(L, 240));
    if (s == 0) {
        const int g = channel(l);
        return color(g, g, g);
    }
    const double m2 = l <= 0.5 ? nearestDouble(q(l) * (1 + q(s))) : nearestDouble(q(l) + q(s) - q(l) * q(s));
    const double m1 = nearestDouble(2 * q(l) - q(m2));
    return color(hueToChannel(m1, m2, nearestDouble(q(h) + Q(1, 3))), hueToChannel(m1, m2, h),
                 hueToChannel(m1, m2, nearestDouble(q(h) - Q(1, 3))));
}

void colorToScaledHsl(tk::TColor c, int &H, int &S, int &L)
{
    const double r = nearestDouble(Q(int(c & 0xFF), 255));
    const double g = nearestDouble(Q(int(c >> 8 & 0xFF), 255));
    const double b = nearestDouble(Q(int(c >> 16 & 0xFF), 255));
    const double max = std::max({r, g, b}), min = std::min({r, g, b});
    const double l = nearestDouble((q(max) + q(min)) / 2);
    L = roundHalfEven(q(l) * 240);
    if (max == min) {
        H = S = 0;
        return;
    }
    const double d = nearestDouble(q(max) - q(min));
    const double s =
        l < 0.5 ? nearestDouble(q(d) / (q(max) + q(min))) : nearestDouble(q(d) / (2 - q(max) - q(min)));
    double h;
    if (r == max)
        h = nearestDouble((q(g) - q(b)) / q(d));
    else if (g == max)
        h = nearestDouble(2 + (q(b) - q(r)) / q(d));
    else
        h = nearestDouble(4 + (q(r) - q(g)) / q(d));
    h = nearestDouble(q(h) / 6);
    if (h < 0)
        h = nearestDouble(q(h) + 1);
    H = roundHalfEven(q(h) * 239);
    S = roundHalfEven(q(s) * 240);
}

// A fixed walk through the inputs, so that every run checks the same ones.
struct Walk {
    std::uint32_t state = 12345;
    std::uint32_t next(std::uint32_t below)
    {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % below;
    }
};

// The exact model is slow unoptimised (the sanitizer build); there a smaller walk keeps the run short.
#ifdef __OPTIMIZE__
constexpr int kSample = 60000;
#else
constexpr int kSample = 8000;
#endif

} // namespace

class TestHslPrecision : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void scaledToColor_data();
    void scaledToColor();
    void colorToScaled_data();
    void colorToScaled();
    void sampledScaledToColor();
    void sampledColorToScaled();
};

void TestHslPrecision::scaledToColor_data()
{
    QTest::addColumn<int>("H");
    QTest::addColumn<int>("S");
    QTest::addColumn<int>("L");
    // Triples whose channels the plain double arithmetic got wrong.
    QTest::newRow("0,16,180") << 0 << 16 << 180;
    QTest::newRow("0,24,80") << 0 << 24 << 80;
    QTest::newRow("0,40,48") << 0 << 40 << 48;
    QTest::newRow("0,48,90") << 0 << 48 << 90;
    QTest::newRow("0,48,210") << 0 << 48 << 210;
    QTest::newRow("0,72,80") << 0 << 72 << 80;
    QTest::newRow("200/240 lightness, grey 213") << 0 << 0 << 200;
    QTest::newRow("80,240,120") << 80 << 240 << 120;
}

void TestHslPrecision::scaledToColor()
{
    QFETCH(int, H);
    QFETCH(int, S);
    QFETCH(int, L);
    QCOMPARE(ScaledHslToColor(H, S, L), scaledHslToColor(H, S, L));
}

void TestHslPrecision::colorToScaled_data()
{
    QTest::addColumn<tk::TColor>("color");
    QTest::newRow("51,51,141: S * 240 is exactly 112.5") << color(51, 51, 141);
    QTest::newRow("73,239,0") << color(73, 239, 0);
    QTest::newRow("181,239,0") << color(181, 239, 0);
    QTest::newRow("187,239,0") << color(187, 239, 0);
    QTest::newRow("240,34,1") << color(240, 34, 1);
    QTest::newRow("128,240,1") << color(128, 240, 1);
    QTest::newRow("230,216,216") << color(230, 216, 216);
}

void TestHslPrecision::colorToScaled()
{
    QFETCH(tk::TColor, color);
    int h = -1, s = -1, l = -1, H = -2, S = -2, L = -2;
    ColorToScaledHsl(color, h, s, l);
    colorToScaledHsl(color, H, S, L);
    QCOMPARE(h, H);
    QCOMPARE(s, S);
    QCOMPARE(l, L);
}

void TestHslPrecision::sampledScaledToColor()
{
    Walk walk;
    for (int i = 0; i < kSample; ++i) {
        const int h = int(walk.next(240)), s = int(walk.next(241)), l = int(walk.next(241));
        if (ScaledHslToColor(h, s, l) != scaledHslToColor(h, s, l))
            QFAIL(qPrintable(QStringLiteral("ScaledHslToColor(%1, %2, %3)").arg(h).arg(s).arg(l)));
    }
}

void TestHslPrecision::sampledColorToScaled()
{
    Walk walk;
    for (int i = 0; i < kSample; ++i) {
        const tk::TColor c = walk.next(1u << 24);
        int h, s, l, H, S, L;
        ColorToScaledHsl(c, h, s, l);
        colorToScaledHsl(c, H, S, L);
        if (h != H || s != S || l != L)
            QFAIL(qPrintable(QStringLiteral("ColorToScaledHsl(%1)").arg(c, 6, 16, QLatin1Char('0'))));
    }
}

QTEST_APPLESS_MAIN(TestHslPrecision)
#include "tst_hslprecision.moc"
