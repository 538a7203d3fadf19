#include "controls/flat/FlatUtilitys.h"
#include "controls/flat/HSLUtils.h"

#include "toolkit/painting/canvas.h"
#include "toolkit/painting/colors.h"
#include "toolkit/widgets/control.h"

#include "tests/support/blocks.h"
#include "tests/support/testcolors.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QTest>

#include <climits>

#include <algorithm>
#include <cstdlib>
#include <functional>

using namespace Qt::StringLiterals;

namespace {

int channelDistance(tk::TColor a, tk::TColor b)
{
    int most = 0;
    for (int shift : {0, 8, 16})
        most = std::max(most, std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)));
    return most;
}

// Colours with every kind of hue, saturation and lightness, and how far a trip through the 240 scale
// may move a channel: half a step of lightness is about half a channel value; half a step of hue moves a
// fully saturated channel by up to 255 * 6 / 239 / 2, a little over 3.
void addColorTable()
{
    QTest::addColumn<tk::TColor>("color");
    QTest::addColumn<int>("tolerance");
    QTest::newRow("black") << tk::clBlack << 0;
    QTest::newRow("white") << tk::clWhite << 0;
    QTest::newRow("grey 128") << grey(128) << 1;
    QTest::newRow("grey 77") << grey(77) << 1;
    QTest::newRow("red") << tk::clRed << 0;
    QTest::newRow("lime") << tk::clLime << 3;
    QTest::newRow("blue") << tk::clBlue << 3;
    QTest::newRow("yellow") << tk::clYellow << 4;
    QTest::newRow("aqua") << tk::clAqua << 4;
    QTest::newRow("fuchsia") << tk::clFuchsia << 4;
    QTest::newRow("purple") << tk::clPurple << 4;
    QTest::newRow("button face 212,208,200") << rgb(212, 208, 200) << 4;
    QTest::newRow("info background 255,255,225") << rgb(255, 255, 225) << 4;
    QTest::newRow("dull orange 200,150,100") << rgb(200, 150, 100) << 4;
    QTest::newRow("dark blue 50,100,150") << rgb(50, 100, 150) << 4;
    QTest::newRow("rose 255,0,128") << rgb(255, 0, 128) << 4;
    QTest::newRow("nearly grey 101,100,100") << rgb(101, 100, 100) << 4;
}

QFont measuringFont()
{
    QFont font(u"DejaVu Sans"_s);
    font.setPixelSize(11);
    return font;
}

// What a single caption line takes, "&" already resolved by the caller of this helper.
QSize textExtent(const QString &shown)
{
    return QFontMetrics(measuringFont())
        .boundingRect(QRect(0, 0, 1 << 20, 1 << 20), Qt::TextSingleLine, shown)
        .size();
}

// The parent of the see-through tests paints every pixel in a colour of its own: red and green are the
// pixel's parent coordinates, so a pixel that comes out at the wrong offset shows at once.
constexpr int kPatternBlue = 77;

QColor patternAt(int x, int y)
{
    return QColor(x, y, kPatternBlue);
}

class PatternParent : public QWidget {
public:
    PatternParent()
    {
        resize(120, 80);
        m_pattern = QImage(size(), QImage::Format_RGB32);
        for (int y = 0; y < height(); ++y)
            for (int x = 0; x < width(); ++x)
                m_pattern.setPixelColor(x, y, patternAt(x, y));
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.drawImage(0, 0, m_pattern);
    }

private:
    QImage m_pattern;
};

// A windowless control that lets its parent show through, with a 2 x 2 mark of its own in its corner.
class SeeThroughLabel : public tk::GraphicControl {
public:
    SeeThroughLabel(QWidget *parent, QRect geometry) : tk::GraphicControl(parent) { setGeometry(geometry); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        PaintParentBackground(this, painter);
        painter.fillRect(0, 0, 2, 2, kMark);
    }

public:
    static inline const QColor kMark{0, 0, 0};
};

const QColor kUntouched(1, 2, 3);
const QColor kWindowless(250, 10, 200);
const QColor kWindowlessLater(10, 200, 250);
const QColor kWindowlessHidden(250, 250, 0);
const QColor kWindowed(20, 220, 20);
const QColor kPlainWidget(0, 0, 255);
const QColor kControlFace(200, 200, 200);

// The glyph used by the disabled-glyph tests: black ink at (1,1), (2,1), (2,2), (0,3) and the corner (5,4),
// one red pixel at (4,1), white elsewhere. The two-colour version has white for the red pixel.
QImage glyphSource(bool twoColor)
{
    const QPoint ink[] = {{1, 1}, {2, 1}, {2, 2}, {0, 3}, {5, 4}};
    if (twoColor) {
        QImage image(6, 5, QImage::Format_MonoLSB);
        image.setColorCount(2);
        image.setColor(0, qRgb(255, 255, 255));
        image.setColor(1, qRgb(0, 0, 0));
        image.fill(0);
        for (QPoint p : ink)
            image.setPixel(p, 1);
        return image;
    }
    QImage image(6, 5, QImage::Format_RGB32);
    image.fill(Qt::white);
    for (QPoint p : ink)
        image.setPixelColor(p, Qt::black);
    image.setPixelColor(4, 1, Qt::red);
    return image;
}

const QColor kFace(212, 208, 200);
const QColor kShadow(128, 128, 128);
const QColor kHighlight(255, 255, 255);

struct Placement {
    QPoint glyph;
    QPoint text; // top-left corner of the caption rectangle
};
// Expected positions, given what the caption measures.
using ExpectedPlacement = std::function<Placement(QSize text)>;

} // namespace

namespace tk {
char *toString(const TRect &r)
{
    return QTest::toString(u"TRect(%1, %2, %3, %4)"_s.arg(r.Left).arg(r.Top).arg(r.Right).arg(r.Bottom));
}
} // namespace tk

Q_DECLARE_METATYPE(tk::TRect)
Q_DECLARE_METATYPE(ExpectedPlacement)

class TestFlatUtils : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void scaledHslOf_data();
    void scaledHslOf();
    void scaledHslToColor_data();
    void scaledHslToColor();
    void hueToChannel_data();
    void hueToChannel();
    void lightnessToGrey_data();
    void lightnessToGrey();
    void roundTrip_data();
    void roundTrip();

    void adjustLightness_data();
    void adjustLightness();
    void darkenByTenKeepsBase_data();
    void darkenByTenKeepsBase();

    void bevelFrame_data();
    void bevelFrame();
    void bevelFrameStopsAtTheMiddle_data();
    void bevelFrameStopsAtTheMiddle();

    void parentBackgroundWithoutParent_data();
    void parentBackgroundWithoutParent();
    void parentBackground_data();
    void parentBackground();
    void parentBackgroundInPaintEvent_data();
    void parentBackgroundInPaintEvent();

    void disabledGlyph_data();
    void disabledGlyph();
    void disabledGlyphSize_data();
    void disabledGlyphSize();
    void disabledGlyphAtRatio_data();
    void disabledGlyphAtRatio();

    void layout_data();
    void layout();
};

void TestFlatUtils::scaledHslOf_data()
{
    QTest::addColumn<tk::TColor>("color");
    QTest::addColumn<int>("H");
    QTest::addColumn<int>("S");
    QTest::addColumn<int>("L");
    QTest::newRow("black") << tk::clBlack << 0 << 0 << 0;
    QTest::newRow("white") << tk::clWhite << 0 << 0 << 240;
    QTest::newRow("grey 128") << grey(128) << 0 << 0 << 120;
    QTest::newRow("grey 1") << grey(1) << 0 << 0 << 1;
    QTest::newRow("grey 212") << grey(212) << 0 << 0 << 200;
    QTest::newRow("pure red") << tk::clRed << 0 << 240 << 120;
    QTest::newRow("pure lime: hue 2/6 of 239") << tk::clLime << 80 << 240 << 120;
    QTest::newRow("pure blue: hue 4/6 of 239") << tk::clBlue << 159 << 240 << 120;
    QTest::newRow("aqua: hue 119.5 goes to even 120") << tk::clAqua << 120 << 240 << 120;
    QTest::newRow("rose: negative hue wraps") << rgb(255, 0, 128) << 219 << 240 << 120;
    QTest::newRow("dull orange: light side saturation") << rgb(200, 150, 100) << 20 << 114 << 141;
    QTest::newRow("dark blue: dark side saturation") << rgb(50, 100, 150) << 139 << 120 << 94;
    QTest::newRow("pink 255,128,128") << rgb(255, 128, 128) << 0 << 240 << 180;
    // Saturations that land exactly halfway between two steps go to the even one.
    QTest::newRow("saturation 112.5 goes to 112") << rgb(51, 51, 141) << 159 << 112 << 90;
    // Formed from d, max and min as stored doubles, 230,216,216 lies just above the half: 52.50000000000003.
    QTest::newRow("saturation just above 52.5 goes to 53") << rgb(230, 216, 216) << 0 << 53 << 210;
    QTest::newRow("saturation 97.5 goes to 98") << rgb(198, 120, 120) << 0 << 98 << 150;
    QTest::newRow("saturation 142.5 goes to 142") << rgb(153, 39, 39) << 0 << 142 << 90;
}

void TestFlatUtils::scaledHslOf()
{
    QFETCH(tk::TColor, color);
    QFETCH(int, H);
    QFETCH(int, S);
    QFETCH(int, L);
    int h = -1, s = -1, l = -1;
    ColorToScaledHsl(color, h, s, l);
    QCOMPARE(h, H);
    QCOMPARE(s, S);
    QCOMPARE(l, L);
}

void TestFlatUtils::scaledHslToColor_data()
{
    QTest::addColumn<int>("H");
    QTest::addColumn<int>("S");
    QTest::addColumn<int>("L");
    QTest::addColumn<tk::TColor>("expected");
    QTest::newRow("80,240,120 is not pure green: hue over 239") << 80 << 240 << 120 << rgb(0, 255, 2);
    QTest::newRow("0,240,120 pure red") << 0 << 240 << 120 << tk::clRed;
    QTest::newRow("0,0,240 white") << 0 << 0 << 240 << tk::clWhite;
    QTest::newRow("0,0,0 black") << 0 << 0 << 0 << tk::clBlack;
    QTest::newRow("hue 239 is a full turn: red") << 239 << 240 << 120 << tk::clRed;
    QTest::newRow("hue ignored without saturation") << 100 << 0 << 120 << grey(128);
    QTest::newRow("0,240,100: 212.5 in extended precision gives 213") << 0 << 240 << 100 << rgb(213, 0, 0);
    QTest::newRow("0,240,180: light side") << 0 << 240 << 180 << rgb(255, 128, 128);
    // Lightness above the scale (a slight darkening of a very light colour) saturates at white instead
    // of wrapping round to a dark channel.
    QTest::newRow("grey lightness 245 is white") << 0 << 0 << 245 << tk::clWhite;
    QTest::newRow("red lightness 250 is white") << 0 << 240 << 250 << tk::clWhite;
}

void TestFlatUtils::scaledHslToColor()
{
    QFETCH(int, H);
    QFETCH(int, S);
    QFETCH(int, L);
    QFETCH(tk::TColor, expected);
    QCOMPARE(describe(tk::toQColor(ScaledHslToColor(H, S, L))), describe(tk::toQColor(expected)));
}

void TestFlatUtils::hueToChannel_data()
{
    QTest::addColumn<double>("m1");
    QTest::addColumn<double>("m2");
    QTest::addColumn<double>("h");
    QTest::addColumn<int>("expected");
    QTest::newRow("rising sixth: h 0") << 0.0 << 1.0 << 0.0 << 0;
    QTest::newRow("rising sixth: h 1/12 is halfway, 127.5 goes to 128") << 0.0 << 1.0 << 1.0 / 12 << 128;
    QTest::newRow("plateau at m2: 127.5 goes to 128") << 0.0 << 0.5 << 0.25 << 128;
    QTest::newRow("falling sixth: h 1/2") << 0.2 << 0.8 << 0.5 << 204;
    QTest::newRow("last third at m1") << 0.2 << 0.8 << 0.7 << 51;
    QTest::newRow("h below 0 wraps up: -0.75 is 0.25") << 0.0 << 1.0 << -0.75 << 255;
    QTest::newRow("h above 1 wraps down: 1.25 is 0.25") << 0.0 << 1.0 << 1.25 << 255;
    QTest::newRow("h 1 is the last third") << 0.2 << 0.8 << 1.0 << 51;
    QTest::newRow("above 1 saturates at 255") << 1.2 << 1.0 << 0.9 << 255;
}

void TestFlatUtils::hueToChannel()
{
    QFETCH(double, m1);
    QFETCH(double, m2);
    QFETCH(double, h);
    QFETCH(int, expected);
    QCOMPARE(HueToChannel(m1, m2, h), expected);
}

void TestFlatUtils::lightnessToGrey_data()
{
    // L / 240 * 255 lies exactly halfway for every L that is an odd multiple of 8; as a double, L / 240
    // is a little above or below, and the product formed in extended precision keeps that difference.
    QTest::addColumn<int>("L");
    QTest::addColumn<int>("expected");
    QTest::newRow("120: 127.5 exactly, to even 128") << 120 << 128;
    QTest::newRow("200: 212.5 from above, 213 (doubles give 212)") << 200 << 213;
    QTest::newRow("104: 110.5 from above, 111 (doubles give 110)") << 104 << 111;
    QTest::newRow("232: 246.5 from above, 247 (doubles give 246)") << 232 << 247;
    QTest::newRow("152: 161.5 from below, 161 (doubles give 162)") << 152 << 161;
    QTest::newRow("88: 93.5 from below, 93") << 88 << 93;
    QTest::newRow("100: 106.25") << 100 << 106;
    QTest::newRow("240: 255") << 240 << 255;
}

void TestFlatUtils::lightnessToGrey()
{
    QFETCH(int, L);
    QFETCH(int, expected);
    QCOMPARE(describe(tk::toQColor(ScaledHslToColor(0, 0, L))), describe(tk::toQColor(grey(expected))));
    QCOMPARE(describe(tk::toQColor(HslToColor(0.5, 0, double(L) / HslScale))),
             describe(tk::toQColor(grey(expected))));
}

void TestFlatUtils::roundTrip_data()
{
    addColorTable();
}

void TestFlatUtils::roundTrip()
{
    QFETCH(tk::TColor, color);
    QFETCH(int, tolerance);

    double h, s, l;
    ColorToHsl(color, h, s, l);
    QVERIFY(h >= 0 && h < 1);
    QVERIFY(s >= 0 && s <= 1);
    QVERIFY(l >= 0 && l <= 1);
    QCOMPARE(describe(tk::toQColor(HslToColor(h, s, l))), describe(tk::toQColor(color)));

    int H, S, L;
    ColorToScaledHsl(color, H, S, L);
    QVERIFY(H >= 0 && H <= HslScale - 1);
    QVERIFY(S >= 0 && S <= HslScale);
    QVERIFY(L >= 0 && L <= HslScale);
    const tk::TColor back = ScaledHslToColor(H, S, L);
    QVERIFY2(channelDistance(back, color) <= tolerance, qPrintable(describe(tk::toQColor(back))));
}

void TestFlatUtils::adjustLightness_data()
{
    QTest::addColumn<tk::TColor>("base");
    QTest::addColumn<tk::TColor>("fallback");
    QTest::addColumn<int>("step");
    QTest::addColumn<bool>("darken");
    QTest::addColumn<tk::TColor>("expected");
    QTest::newRow("step 0 lightening: fallback")
        << tk::clWhite << rgb(0x12, 0x34, 0x56) << 0 << false << rgb(0x12, 0x34, 0x56);
    QTest::newRow("step 0 darkening: fallback") << tk::clBlack << tk::clRed << 0 << true << tk::clRed;
    QTest::newRow("step 0: a system fallback stays unresolved")
        << tk::clBtnShadow << tk::clBtnFace << 0 << true << tk::clBtnFace;
    QTest::newRow("white lightened by 10: capped at 100, grey 106")
        << tk::clWhite << tk::clNone << 10 << false << grey(106);
    QTest::newRow("black lightened by 10: grey 21") << tk::clBlack << tk::clNone << 10 << false << grey(21);
    QTest::newRow("black lightened by 100: cap 100, grey 106")
        << tk::clBlack << tk::clNone << 100 << false << grey(106);
    QTest::newRow("black darkened by 10: black") << tk::clBlack << tk::clNone << 10 << true << tk::clBlack;
    QTest::newRow("black darkened by 50: black") << tk::clBlack << tk::clNone << 50 << true << tk::clBlack;
    QTest::newRow("black darkened by 100: black") << tk::clBlack << tk::clNone << 100 << true << tk::clBlack;
    QTest::newRow("grey 128 darkened by 50: grey 85") << grey(128) << tk::clNone << 50 << true << grey(85);
    QTest::newRow("grey 128 lightened by 20: cap 100, grey 106")
        << grey(128) << tk::clNone << 20 << false << grey(106);
    QTest::newRow("grey 77 lightened by 10: 72+10+10, grey 98")
        << grey(77) << tk::clNone << 10 << false << grey(98);
    QTest::newRow("red lightened by 20: lightness 100")
        << tk::clRed << tk::clNone << 20 << false << rgb(213, 0, 0);
    QTest::newRow("button shadow is resolved first: grey 85")
        << tk::clBtnShadow << tk::clNone << 50 << true << grey(85);
    QTest::newRow("white darkened by 5 stays white") << tk::clWhite << tk::clNone << 5 << true << tk::clWhite;
}

void TestFlatUtils::adjustLightness()
{
    QFETCH(tk::TColor, base);
    QFETCH(tk::TColor, fallback);
    QFETCH(int, step);
    QFETCH(bool, darken);
    QFETCH(tk::TColor, expected);
    const tk::TColor result = AdjustLightness(base, fallback, TAdvColors(step), darken);
    if (step == 0)
        QCOMPARE(result, expected);
    else
        QCOMPARE(describe(tk::toQColor(result)), describe(tk::toQColor(expected)));
}

void TestFlatUtils::darkenByTenKeepsBase_data()
{
    addColorTable();
}

void TestFlatUtils::darkenByTenKeepsBase()
{
    // The raise of 10 and a darkening by 10 cancel: only the trip through the 240 scale remains.
    QFETCH(tk::TColor, color);
    QFETCH(int, tolerance);
    const tk::TColor result = AdjustLightness(color, tk::clNone, 10, true);
    QVERIFY2(channelDistance(result, color) <= tolerance, qPrintable(describe(tk::toQColor(result))));
}

void TestFlatUtils::bevelFrame_data()
{
    // The frame is drawn on the 10 x 10 rectangle (0, 0, 10, 10) of a 12 x 12 image.
    QTest::addColumn<int>("width");
    QTest::addColumn<QPoint>("pixel");
    QTest::addColumn<QColor>("expected");
    const QColor top(255, 255, 255), bottom(128, 128, 128);
    QTest::newRow("1: top-left corner (0,0) top") << 1 << QPoint(0, 0) << top;
    QTest::newRow("1: top-right corner (9,0) bottom") << 1 << QPoint(9, 0) << bottom;
    QTest::newRow("1: bottom-right corner (9,9) bottom") << 1 << QPoint(9, 9) << bottom;
    QTest::newRow("1: bottom-left corner (0,9) bottom") << 1 << QPoint(0, 9) << bottom;
    QTest::newRow("1: top row end (8,0) top") << 1 << QPoint(8, 0) << top;
    QTest::newRow("1: left column end (0,8) top") << 1 << QPoint(0, 8) << top;
    QTest::newRow("1: right column (9,4) bottom") << 1 << QPoint(9, 4) << bottom;
    QTest::newRow("1: bottom row (4,9) bottom") << 1 << QPoint(4, 9) << bottom;
    QTest::newRow("1: inside (1,1) untouched") << 1 << QPoint(1, 1) << kUntouched;
    QTest::newRow("1: inside (8,8) untouched") << 1 << QPoint(8, 8) << kUntouched;
    QTest::newRow("1: right of the rectangle (10,0) untouched") << 1 << QPoint(10, 0) << kUntouched;
    QTest::newRow("1: below the rectangle (0,10) untouched") << 1 << QPoint(0, 10) << kUntouched;
    QTest::newRow("2: outer top-left (0,0) top") << 2 << QPoint(0, 0) << top;
    QTest::newRow("2: outer right column (9,4) bottom") << 2 << QPoint(9, 4) << bottom;
    QTest::newRow("2: inner top-left (1,1) top") << 2 << QPoint(1, 1) << top;
    QTest::newRow("2: inner top row (4,1) top") << 2 << QPoint(4, 1) << top;
    QTest::newRow("2: inner left column (1,4) top") << 2 << QPoint(1, 4) << top;
    QTest::newRow("2: inner top-right (8,1) bottom") << 2 << QPoint(8, 1) << bottom;
    QTest::newRow("2: inner right column (8,4) bottom") << 2 << QPoint(8, 4) << bottom;
    QTest::newRow("2: inner bottom-right (8,8) bottom") << 2 << QPoint(8, 8) << bottom;
    QTest::newRow("2: inner bottom-left (1,8) bottom") << 2 << QPoint(1, 8) << bottom;
    QTest::newRow("2: inside (2,2) untouched") << 2 << QPoint(2, 2) << kUntouched;
    QTest::newRow("2: inside (7,7) untouched") << 2 << QPoint(7, 7) << kUntouched;
    QTest::newRow("2: below the rectangle (9,10) untouched") << 2 << QPoint(9, 10) << kUntouched;
    QTest::newRow("0: (0,0) untouched") << 0 << QPoint(0, 0) << kUntouched;
    QTest::newRow("0: (9,9) untouched") << 0 << QPoint(9, 9) << kUntouched;
    QTest::newRow("-1: (0,0) untouched") << -1 << QPoint(0, 0) << kUntouched;
    QTest::newRow("5: middle (4,4) top") << 5 << QPoint(4, 4) << top;
    QTest::newRow("5: middle (5,5) bottom") << 5 << QPoint(5, 5) << bottom;
    QTest::newRow("7: middle (5,4) still bottom") << 7 << QPoint(5, 4) << bottom;
    QTest::newRow("7: ring 4's right column (6,4) still bottom") << 7 << QPoint(6, 4) << bottom;
}

void TestFlatUtils::bevelFrame()
{
    QFETCH(int, width);
    QFETCH(QPoint, pixel);
    QFETCH(QColor, expected);
    QImage image(12, 12, QImage::Format_RGB32);
    image.fill(kUntouched);
    QPainter painter(&image);
    DrawBevelFrame(painter, {0, 0, 10, 10}, tk::clBtnHighlight, tk::clBtnShadow, width);
    painter.end();
    QCOMPARE(image.pixelColor(pixel), expected);
}

void TestFlatUtils::bevelFrameStopsAtTheMiddle_data()
{
    // Five rings fill a 10 x 10 rectangle; more must not run back over them reversed.
    QTest::addColumn<int>("width");
    QTest::newRow("6") << 6;
    QTest::newRow("7") << 7;
    QTest::newRow("20") << 20;
}

void TestFlatUtils::bevelFrameStopsAtTheMiddle()
{
    QFETCH(int, width);
    const auto draw = [](int w) {
        QImage image(12, 12, QImage::Format_RGB32);
        image.fill(kUntouched);
        QPainter painter(&image);
        DrawBevelFrame(painter, {0, 0, 10, 10}, tk::clWhite, tk::clBlack, w);
        return image;
    };
    QCOMPARE(draw(width), draw(5));
}

void TestFlatUtils::parentBackgroundWithoutParent_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("control without parent") << 0;
    QTest::newRow("no control at all") << 1;
    QTest::newRow("window of its own with a parent") << 2;
}

void TestFlatUtils::parentBackgroundWithoutParent()
{
    QFETCH(int, kind);
    PatternParent owner;
    WindowedBlock orphan(nullptr, QRect(0, 0, 20, 10), kWindowed);
    auto *window = new WindowedBlock(&owner, QRect(10, 10, 20, 10), kWindowed);
    window->setWindowFlag(Qt::Window);
    QWidget *const controls[] = {&orphan, nullptr, window};

    QImage canvas(20, 10, QImage::Format_RGB32);
    canvas.fill(kUntouched);
    const QImage before = canvas.copy();
    QPainter painter(&canvas);
    PaintParentBackground(controls[kind], painter);
    painter.end();
    QCOMPARE(canvas, before);
}

void TestFlatUtils::parentBackground_data()
{
    // The parent (120 x 80) holds, besides the control:
    //   a windowless block at (20,10) 20 x 20, created before the control;
    //   a hidden windowless block at (50,20) 10 x 10;
    //   a windowed control at (60,40) 40 x 30 and a plain Qt widget at (0,50) 40 x 30, both created
    //   before the control, so that only their being windowed keeps them out;
    //   a windowless block at (70,50) 20 x 20, created after the control (it still lies below it).
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QPoint>("pixel");
    QTest::addColumn<QColor>("expected");
    const QRect middle(30, 20, 50, 40);
    QTest::newRow("(0,0) windowless block") << middle << QPoint(0, 0) << kWindowless;
    QTest::newRow("(9,9) windowless block's last pixel") << middle << QPoint(9, 9) << kWindowless;
    QTest::newRow("(10,10) parent at (40,30)") << middle << QPoint(10, 10) << patternAt(40, 30);
    QTest::newRow("(10,0) parent at (40,20)") << middle << QPoint(10, 0) << patternAt(40, 20);
    QTest::newRow("(45,5) parent at (75,25)") << middle << QPoint(45, 5) << patternAt(75, 25);
    QTest::newRow("(25,5) under the hidden block: parent at (55,25)")
        << middle << QPoint(25, 5) << patternAt(55, 25);
    QTest::newRow("(35,25) under the windowed control: parent at (65,45)")
        << middle << QPoint(35, 25) << patternAt(65, 45);
    QTest::newRow("(5,35) under the plain widget: parent at (35,55)")
        << middle << QPoint(5, 35) << patternAt(35, 55);
    QTest::newRow("(45,35) later windowless block") << middle << QPoint(45, 35) << kWindowlessLater;
    QTest::newRow("(49,39) later windowless block") << middle << QPoint(49, 39) << kWindowlessLater;
    const QRect overhanging(100, 60, 50, 40);
    QTest::newRow("overhanging: (0,0) parent at (100,60)")
        << overhanging << QPoint(0, 0) << patternAt(100, 60);
    QTest::newRow("overhanging: (19,19) parent at (119,79)")
        << overhanging << QPoint(19, 19) << patternAt(119, 79);
    QTest::newRow("overhanging: (20,19) beyond the parent, untouched")
        << overhanging << QPoint(20, 19) << kUntouched;
    QTest::newRow("overhanging: (19,20) beyond the parent, untouched")
        << overhanging << QPoint(19, 20) << kUntouched;
    const QRect outside(130, 10, 20, 20);
    QTest::newRow("outside the parent: (0,0) untouched") << outside << QPoint(0, 0) << kUntouched;
    const QRect leftAbove(-10, -5, 20, 20);
    QTest::newRow("left and above: (10,5) parent at (0,0)") << leftAbove << QPoint(10, 5) << patternAt(0, 0);
    QTest::newRow("left and above: (9,5) untouched") << leftAbove << QPoint(9, 5) << kUntouched;
}

void TestFlatUtils::parentBackground()
{
    QFETCH(QRect, geometry);
    QFETCH(QPoint, pixel);
    QFETCH(QColor, expected);

    PatternParent parent;
    new WindowlessBlock(&parent, QRect(20, 10, 20, 20), kWindowless);
    auto *hidden = new WindowlessBlock(&parent, QRect(50, 20, 10, 10), kWindowlessHidden);
    hidden->hide();
    new WindowedBlock(&parent, QRect(60, 40, 40, 30), kWindowed);
    auto *plain = new QWidget(&parent);
    plain->setGeometry(0, 50, 40, 30);
    plain->setAutoFillBackground(true);
    QPalette palette = plain->palette();
    palette.setColor(QPalette::Window, kPlainWidget);
    plain->setPalette(palette);
    auto *control = new WindowedBlock(&parent, geometry, kControlFace);
    new WindowlessBlock(&parent, QRect(70, 50, 20, 20), kWindowlessLater);

    QImage canvas(geometry.size(), QImage::Format_RGB32);
    canvas.fill(kUntouched);
    QPainter painter(&canvas);
    PaintParentBackground(control, painter);
    painter.end();
    QCOMPARE(canvas.pixelColor(pixel), expected);
}

void TestFlatUtils::parentBackgroundInPaintEvent_data()
{
    // A see-through windowless label at (30,20) 50 x 40 in a shown parent. Below it lies a windowless
    // block at (20,10) 20 x 20; above it one at (70,50) 20 x 20, which the label's background leaves out.
    QTest::addColumn<QPoint>("pixel");
    QTest::addColumn<QColor>("expected");
    QTest::newRow("(0,0) the label's own mark") << QPoint(0, 0) << SeeThroughLabel::kMark;
    QTest::newRow("(5,5) block below") << QPoint(5, 5) << kWindowless;
    QTest::newRow("(20,10) parent at (50,30)") << QPoint(20, 10) << patternAt(50, 30);
    QTest::newRow("(45,35) under the block above: parent at (75,55)") << QPoint(45, 35) << patternAt(75, 55);
}

void TestFlatUtils::parentBackgroundInPaintEvent()
{
    QFETCH(QPoint, pixel);
    QFETCH(QColor, expected);

    PatternParent parent;
    new WindowlessBlock(&parent, QRect(20, 10, 20, 20), kWindowless);
    auto *label = new SeeThroughLabel(&parent, QRect(30, 20, 50, 40));
    new WindowlessBlock(&parent, QRect(70, 50, 20, 20), kWindowlessLater);
    parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&parent));

    const QImage face = label->grab().toImage();
    QCOMPARE(face.pixelColor(pixel), expected);
}

void TestFlatUtils::disabledGlyph_data()
{
    // Source: black ink at (1,1), (2,1), (2,2), (0,3), (5,4); red at (4,1); white elsewhere.
    // Fill button face, highlight white, shadow grey 128.
    QTest::addColumn<bool>("twoColor");
    QTest::addColumn<tk::TColor>("mask");
    QTest::addColumn<bool>("withHighlight");
    QTest::addColumn<QPoint>("pixel");
    QTest::addColumn<QColor>("expected");
    QTest::newRow("black, embossed: (0,0) face") << false << tk::clBlack << true << QPoint(0, 0) << kFace;
    QTest::newRow("black, embossed: (1,1) shadow") << false << tk::clBlack << true << QPoint(1, 1) << kShadow;
    QTest::newRow("black, embossed: (2,1) shadow") << false << tk::clBlack << true << QPoint(2, 1) << kShadow;
    QTest::newRow("black, embossed: (2,2) ink under ink stays shadow")
        << false << tk::clBlack << true << QPoint(2, 2) << kShadow;
    QTest::newRow("black, embossed: (3,2) highlight of (2,1)")
        << false << tk::clBlack << true << QPoint(3, 2) << kHighlight;
    QTest::newRow("black, embossed: (3,3) highlight of (2,2)")
        << false << tk::clBlack << true << QPoint(3, 3) << kHighlight;
    QTest::newRow("black, embossed: (1,4) highlight of (0,3)")
        << false << tk::clBlack << true << QPoint(1, 4) << kHighlight;
    QTest::newRow("black, embossed: (0,4) face") << false << tk::clBlack << true << QPoint(0, 4) << kFace;
    QTest::newRow("black, embossed: (4,1) red is dropped, face")
        << false << tk::clBlack << true << QPoint(4, 1) << kFace;
    QTest::newRow("black, embossed: (5,2) face") << false << tk::clBlack << true << QPoint(5, 2) << kFace;
    QTest::newRow("black, embossed: (5,4) corner ink shadow")
        << false << tk::clBlack << true << QPoint(5, 4) << kShadow;
    QTest::newRow("black, embossed: (1,2) white is dropped, face")
        << false << tk::clBlack << true << QPoint(1, 2) << kFace;
    QTest::newRow("black, flat: (1,1) shadow") << false << tk::clBlack << false << QPoint(1, 1) << kShadow;
    QTest::newRow("black, flat: (3,2) face") << false << tk::clBlack << false << QPoint(3, 2) << kFace;
    QTest::newRow("black, flat: (1,4) face") << false << tk::clBlack << false << QPoint(1, 4) << kFace;
    QTest::newRow("red mask: (4,1) shadow") << false << tk::clRed << true << QPoint(4, 1) << kShadow;
    QTest::newRow("red mask: (5,2) highlight") << false << tk::clRed << true << QPoint(5, 2) << kHighlight;
    QTest::newRow("red mask: (1,1) face") << false << tk::clRed << true << QPoint(1, 1) << kFace;
    QTest::newRow("red mask: (3,2) face") << false << tk::clRed << true << QPoint(3, 2) << kFace;
    QTest::newRow("system mask, button face: (1,1) face")
        << false << tk::clBtnFace << true << QPoint(1, 1) << kFace;
    QTest::newRow("two-colour: black ink whatever the mask, (1,1) shadow")
        << true << tk::clRed << true << QPoint(1, 1) << kShadow;
    QTest::newRow("two-colour: (3,2) highlight") << true << tk::clRed << true << QPoint(3, 2) << kHighlight;
    QTest::newRow("two-colour: (4,1) face") << true << tk::clRed << true << QPoint(4, 1) << kFace;
}

void TestFlatUtils::disabledGlyph()
{
    QFETCH(bool, twoColor);
    QFETCH(tk::TColor, mask);
    QFETCH(bool, withHighlight);
    QFETCH(QPoint, pixel);
    QFETCH(QColor, expected);
    const QImage result = MakeDisabledGlyph(glyphSource(twoColor), mask, tk::clBtnFace, tk::clBtnHighlight,
                                            tk::clBtnShadow, withHighlight);
    QCOMPARE(result.pixelColor(pixel), expected);
}

void TestFlatUtils::disabledGlyphSize_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("6 x 5") << QSize(6, 5);
    QTest::newRow("1 x 1") << QSize(1, 1);
    QTest::newRow("1 x 7") << QSize(1, 7);
    QTest::newRow("empty") << QSize(0, 0);
}

void TestFlatUtils::disabledGlyphSize()
{
    QFETCH(QSize, size);
    QImage source(size, QImage::Format_RGB32);
    source.fill(Qt::black);
    const QImage result =
        MakeDisabledGlyph(source, tk::clBlack, tk::clBtnFace, tk::clBtnHighlight, tk::clBtnShadow, true);
    QCOMPARE(result.size(), source.size());
    if (!size.isEmpty()) {
        QCOMPARE(result.format(), QImage::Format_RGB32);
        QCOMPARE(result.pixelColor(size.width() - 1, size.height() - 1), kShadow);
    }
}

// The same glyphs made for a screen of twice the density: each picture pixel a 2 x 2 block. The greyed
// image keeps the ratio, and every block comes out as its pixel did, the highlight a whole logical pixel
// away rather than half of one.
void TestFlatUtils::disabledGlyphAtRatio_data()
{
    disabledGlyph_data();
}

void TestFlatUtils::disabledGlyphAtRatio()
{
    QFETCH(bool, twoColor);
    QFETCH(tk::TColor, mask);
    QFETCH(bool, withHighlight);
    QFETCH(QPoint, pixel);
    QFETCH(QColor, expected);
    const QImage single = glyphSource(twoColor);
    QImage dense = single.scaled(single.size() * 2, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    dense.setDevicePixelRatio(2);
    const QImage result =
        MakeDisabledGlyph(dense, mask, tk::clBtnFace, tk::clBtnHighlight, tk::clBtnShadow, withHighlight);
    QCOMPARE(result.devicePixelRatio(), qreal(2));
    for (const QPoint corner : {QPoint(0, 0), QPoint(1, 0), QPoint(0, 1), QPoint(1, 1)})
        QCOMPARE(result.pixelColor(pixel * 2 + corner), expected);
}

void TestFlatUtils::layout_data()
{
    // Glyphs are strips of 16 x 16 cells; "Закрыть" is the interpretation panel's button caption.
    QTest::addColumn<tk::TRect>("client");
    QTest::addColumn<QPoint>("offset");
    QTest::addColumn<int>("layout");
    QTest::addColumn<int>("spacing");
    QTest::addColumn<int>("margin");
    QTest::addColumn<QSize>("strip"); // invalid: no glyph at all
    QTest::addColumn<int>("numGlyphs");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("shown"); // the caption as it appears, accelerator marks resolved
    QTest::addColumn<ExpectedPlacement>("expected");

    const tk::TRect face{0, 0, 73, 33};
    const QString close = u"Закрыть"_s;
    QTest::newRow("73 x 33, no glyph, top, margin -1, spacing 4: centred both ways")
        << face << QPoint() << int(blGlyphTop) << 4 << -1 << QSize() << 1 << close << close
        << ExpectedPlacement([](QSize t) {
               const int margin = (33 - t.height() + 1) / 2;
               return Placement{{37, margin}, {(73 - t.width() + 1) / 2, margin}};
           });
    QTest::newRow("73 x 33, no glyph, left, margin -1, spacing -1: centred both ways")
        << face << QPoint() << int(blGlyphLeft) << -1 << -1 << QSize() << 1 << close << close
        << ExpectedPlacement([](QSize t) {
               const int margin = (73 - t.width() + 1) / 2;
               return Placement{{margin, 17}, {margin, (33 - t.height() + 1) / 2}};
           });

    const tk::TRect wide{0, 0, 120, 40};
    const QSize strip4(64, 16);
    QTest::newRow("left, margin -1, spacing -1: free space in three")
        << wide << QPoint() << int(blGlyphLeft) << -1 << -1 << strip4 << 4 << close << close
        << ExpectedPlacement([](QSize t) {
               const int third = (120 - 16 - t.width()) / 3;
               return Placement{{third, 12}, {third + 16 + third, (40 - t.height() + 1) / 2}};
           });
    QTest::newRow("right, margin -1, spacing -1: free space in three")
        << wide << QPoint() << int(blGlyphRight) << -1 << -1 << strip4 << 4 << close << close
        << ExpectedPlacement([](QSize t) {
               const int third = (120 - 16 - t.width()) / 3;
               const int glyphX = 120 - third - 16;
               return Placement{{glyphX, 12}, {glyphX - third - t.width(), (40 - t.height() + 1) / 2}};
           });
    const tk::TRect tall{0, 0, 80, 70};
    QTest::newRow("top, margin -1, spacing -1: free space in three")
        << tall << QPoint() << int(blGlyphTop) << -1 << -1 << strip4 << 4 << close << close
        << ExpectedPlacement([](QSize t) {
               const int third = (70 - 16 - t.height()) / 3;
               return Placement{{32, third}, {(80 - t.width() + 1) / 2, third + 16 + third}};
           });
    QTest::newRow("bottom, margin -1, spacing -1: free space in three")
        << tall << QPoint() << int(blGlyphBottom) << -1 << -1 << strip4 << 4 << close << close
        << ExpectedPlacement([](QSize t) {
               const int third = (70 - 16 - t.height()) / 3;
               const int glyphY = 70 - third - 16;
               return Placement{{32, glyphY}, {(80 - t.width() + 1) / 2, glyphY - third - t.height()}};
           });

    QTest::newRow("left, margin 4, spacing 3")
        << wide << QPoint() << int(blGlyphLeft) << 3 << 4 << strip4 << 4 << close << close
        << ExpectedPlacement([](QSize t) {
               return Placement{{4, 12}, {23, (40 - t.height() + 1) / 2}};
           });
    QTest::newRow("right, margin 4, spacing 3")
        << wide << QPoint() << int(blGlyphRight) << 3 << 4 << strip4 << 4 << close << close
        << ExpectedPlacement([](QSize t) {
               return Placement{{100, 12}, {97 - t.width(), (40 - t.height() + 1) / 2}};
           });
    QTest::newRow("top, margin 2, spacing 5")
        << tall << QPoint() << int(blGlyphTop) << 5 << 2 << strip4 << 4 << close << close
        << ExpectedPlacement([](QSize t) {
               return Placement{{32, 2}, {(80 - t.width() + 1) / 2, 23}};
           });
    QTest::newRow("bottom, margin 2, spacing 5")
        << tall << QPoint() << int(blGlyphBottom) << 5 << 2 << strip4 << 4 << close << close
        << ExpectedPlacement([](QSize t) {
               return Placement{{32, 52}, {(80 - t.width() + 1) / 2, 47 - t.height()}};
           });
    QTest::newRow("left, margin -1, spacing 4: margin splits what is left in two")
        << wide << QPoint() << int(blGlyphLeft) << 4 << -1 << strip4 << 4 << close << close
        << ExpectedPlacement([](QSize t) {
               const int margin = (120 - 16 - 4 - t.width() + 1) / 2;
               return Placement{{margin, 12}, {margin + 20, (40 - t.height() + 1) / 2}};
           });
    QTest::newRow("left, margin 4, spacing -1: spacing is half of what is left")
        << wide << QPoint() << int(blGlyphLeft) << -1 << 4 << strip4 << 4 << close << close
        << ExpectedPlacement([](QSize t) {
               const int spacing = (120 - 4 - 16 - t.width()) / 2;
               return Placement{{4, 12}, {20 + spacing, (40 - t.height() + 1) / 2}};
           });

    QTest::newRow("pressed: offset (1,1) on a client at (2,3)")
        << tk::TRect{2, 3, 122, 43} << QPoint(1, 1) << int(blGlyphLeft) << 3 << 4 << strip4 << 4 << close
        << close << ExpectedPlacement([](QSize t) {
               return Placement{{7, 16}, {26, 4 + (40 - t.height() + 1) / 2}};
           });

    QTest::newRow("empty caption: no spacing, glyph centred")
        << wide << QPoint() << int(blGlyphLeft) << 4 << -1 << strip4 << 4 << QString() << QString()
        << ExpectedPlacement([](QSize) {
               return Placement{{52, 12}, {68, 20}};
           });
    QTest::newRow("empty caption on top: no spacing, glyph centred")
        << tall << QPoint() << int(blGlyphTop) << 4 << -1 << strip4 << 4 << QString() << QString()
        << ExpectedPlacement([](QSize) {
               return Placement{{32, 27}, {40, 43}};
           });
    QTest::newRow("empty strip counts as no glyph")
        << face << QPoint() << int(blGlyphLeft) << 4 << -1 << QSize(0, 0) << 1 << close << close
        << ExpectedPlacement([](QSize t) {
               const int margin = (73 - t.width() + 1) / 2;
               return Placement{{margin, 17}, {margin, (33 - t.height() + 1) / 2}};
           });
    QTest::newRow("two cells of 20 x 10") << wide << QPoint() << int(blGlyphLeft) << 3 << 4 << QSize(40, 10)
                                          << 2 << close << close << ExpectedPlacement([](QSize t) {
                                                 return Placement{{4, 15}, {27, (40 - t.height() + 1) / 2}};
                                             });
    QTest::newRow("no cells counted: the strip is one cell")
        << wide << QPoint() << int(blGlyphLeft) << 3 << 4 << QSize(16, 16) << 0 << close << close
        << ExpectedPlacement([](QSize t) {
               return Placement{{4, 12}, {23, (40 - t.height() + 1) / 2}};
           });
    QTest::newRow("glyph wider than the space: margin -1 truncates towards zero")
        << tk::TRect{0, 0, 20, 20} << QPoint() << int(blGlyphLeft) << -1 << -1 << QSize(32, 16) << 1 << u"M"_s
        << u"M"_s << ExpectedPlacement([](QSize t) {
               const int third = (20 - 32 - t.width()) / 3; // negative: truncated towards zero
               return Placement{{third, 2}, {third + 32 + third, (20 - t.height() + 1) / 2}};
           });

    // Any spacing, and any margin from -1 up: far-out places are held at 2^29, never wrapped around.
    constexpr int kFar = 1 << 29;
    QTest::newRow("largest margin, glyph left")
        << face << QPoint() << int(blGlyphLeft) << 0 << INT_MAX << QSize(16, 16) << 1 << close << close
        << ExpectedPlacement([](QSize t) {
               return Placement{{kFar, 9}, {kFar, (33 - t.height() + 1) / 2}};
           });
    QTest::newRow("largest margin, glyph right")
        << face << QPoint() << int(blGlyphRight) << 0 << INT_MAX << QSize(16, 16) << 1 << close << close
        << ExpectedPlacement([](QSize t) {
               return Placement{{-kFar, 9}, {-kFar, (33 - t.height() + 1) / 2}};
           });
    QTest::newRow("smallest spacing, margin worked out, glyph bottom")
        << face << QPoint() << int(blGlyphBottom) << INT_MIN << -1 << QSize(16, 16) << 1 << close << close
        << ExpectedPlacement([](QSize t) {
               return Placement{{29, -kFar}, {(73 - t.width() + 1) / 2, kFar}};
           });
    QTest::newRow("largest spacing, glyph top, pressed")
        << face << QPoint(1, 1) << int(blGlyphTop) << INT_MAX << 2 << QSize(16, 16) << 1 << close << close
        << ExpectedPlacement([](QSize t) {
               return Placement{{30, 3}, {(73 - t.width() + 1) / 2 + 1, kFar}};
           });

    QTest::newRow("accelerator mark is not measured")
        << face << QPoint() << int(blGlyphTop) << 4 << -1 << QSize() << 1 << u"&Закрыть"_s << close
        << ExpectedPlacement([](QSize t) {
               const int margin = (33 - t.height() + 1) / 2;
               return Placement{{37, margin}, {(73 - t.width() + 1) / 2, margin}};
           });
    QTest::newRow("doubled ampersand is one")
        << face << QPoint() << int(blGlyphTop) << 4 << -1 << QSize() << 1 << u"W&&W"_s << u"W&W"_s
        << ExpectedPlacement([](QSize t) {
               const int margin = (33 - t.height() + 1) / 2;
               return Placement{{37, margin}, {(73 - t.width() + 1) / 2, margin}};
           });
}

void TestFlatUtils::layout()
{
    QFETCH(tk::TRect, client);
    QFETCH(QPoint, offset);
    QFETCH(int, layout);
    QFETCH(int, spacing);
    QFETCH(int, margin);
    QFETCH(QSize, strip);
    QFETCH(int, numGlyphs);
    QFETCH(QString, caption);
    QFETCH(QString, shown);
    QFETCH(ExpectedPlacement, expected);

    const QImage glyph = strip.isValid() ? QImage(strip, QImage::Format_RGB32) : QImage();
    const QSize text = shown.isEmpty() ? QSize(0, 0) : textExtent(shown);
    const Placement want = expected(text);

    tk::TRect textBounds{-1, -1, -1, -1};
    QPoint glyphPos(-1, -1);
    LayoutGlyphAndCaption(measuringFont(), client, offset, TButtonLayout(layout), spacing, margin,
                          strip.isValid() ? &glyph : nullptr, TNumGlyphs(numGlyphs), caption, textBounds,
                          glyphPos);
    QCOMPARE(glyphPos, want.glyph);
    QCOMPARE(textBounds, tk::TRect::fromQRect(QRect(want.text, text)));
}

QTEST_MAIN(TestFlatUtils)

#include "tst_flatutils.moc"
