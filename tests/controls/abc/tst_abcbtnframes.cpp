#include "controls/abc/abcbtnframes.h"

#include "tests/support/testcolors.h"
#include "toolkit/painting/canvas.h"
#include "toolkit/painting/colors.h"

#include <QImage>
#include <QMargins>
#include <QPainter>
#include <QTest>

namespace {

// The colours as the classic scheme shows them, written out so that a mix-up of two system colours
// cannot hide behind the resolver.
const QColor kHighlight(255, 255, 255); // clBtnHighlight
const QColor kShadow(128, 128, 128);    // clBtnShadow
const QColor kDarkShadow(64, 64, 64);   // cl3DDkShadow
const QColor kLight(212, 208, 200);     // cl3DLight (and clBtnFace)
const QColor kWindowFrame(0, 0, 0);     // clWindowFrame
const QColor kLightGrey(222, 222, 222); // the highlight styles' inner frame
const QColor kBackground(0, 128, 0);    // what lies under the button before it paints

// A button colour that no frame colour shares, so the face shows wherever no frame is drawn.
constexpr tk::TColor kButtonColor = 0x00336699;
const QColor kFace(0x99, 0x66, 0x33);

constexpr int kWidth = 20, kHeight = 12;
const tk::TRect kButton{0, 0, kWidth, kHeight};

// The pixels a test names on one ring of the frame, by the ring's own rectangle.
struct Ring {
    tk::TRect rect;
    QColor topLeft, top, left, right, bottom, topRight, bottomLeft;
};

struct Pixel {
    QPoint at;
    QColor color;
};

tk::TRect inset(int n)
{
    return {n, n, kWidth - n, kHeight - n};
}

// A full ring: top and left in a, right and bottom with the top-right and bottom-left corners in b.
Ring ring(int n, QColor a, QColor b)
{
    return {inset(n), a, a, a, b, b, b, b};
}

// A ring left undrawn (the recessed styles' gap): the face shows through.
Ring gap(int n)
{
    return {inset(n), kFace, kFace, kFace, kFace, kFace, kFace, kFace};
}

Ring rightAndBottomOnly(int n, QColor b)
{
    return {inset(n), kFace, kFace, kFace, b, b, b, b};
}

// With no right or bottom line, the top and left lines run through the corners themselves.
Ring leftAndTopOnly(int n, QColor a)
{
    return {inset(n), a, a, a, kFace, kFace, a, a};
}

// Empty when the pixel has the colour, else what went wrong, naming the pixel.
QString mismatch(const QImage &image, const QString &name, QPoint at, QColor expected)
{
    const QColor actual = image.pixelColor(at);
    if (actual == expected)
        return {};
    return QStringLiteral("%1 (%2, %3): expected %4, got %5")
        .arg(name)
        .arg(at.x())
        .arg(at.y())
        .arg(describe(expected), describe(actual));
}

QImage blankButton()
{
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    image.fill(kBackground);
    return image;
}

struct Look {
    QMargins shrink; // left, top, right, bottom
    QList<Ring> rings;
    QList<Pixel> extra;
};

struct StyleLooks {
    TabcButtonStyle style;
    const char *name;
    Look rest, hot, pressed;
};

QMargins by(int n)
{
    return {n, n, n, n};
}

// The looks of every style, ring by ring from the outside in.
QList<StyleLooks> styleTable()
{
    // One short name per frame colour keeps each look on one line.
    const QColor &hi = kHighlight, &sh = kShadow, &dk = kDarkShadow, &lt = kLight, &wf = kWindowFrame,
                 &gy = kLightGrey;
    const Look newRaised{{1, 1, 2, 2}, {ring(0, hi, dk), rightAndBottomOnly(1, sh)}, {}};
    const Look newSunken{by(2), {ring(0, dk, hi), ring(1, sh, lt)}, {}};
    const Look thinRaised{by(1), {ring(0, hi, sh)}, {}};
    const Look thinSunken{by(1), {ring(0, sh, hi)}, {}};
    const Look blackRaised{by(1), {ring(0, hi, dk)}, {}};
    const Look blackSunken{by(1), {ring(0, dk, hi)}, {}};
    const Look win31Raised{by(3), {ring(0, wf, wf), ring(1, hi, sh), ring(2, hi, sh)}, {}};
    const Look win31Sunken{{2, 2, 1, 1}, {ring(0, wf, wf), leftAndTopOnly(1, sh)}, {}};
    const Look greyRaised{by(1), {ring(0, gy, sh)}, {}};
    const Look greySunken{by(1), {ring(0, sh, gy)}, {}};
    const Look midHot{by(2), {ring(0, hi, dk), ring(1, gy, sh)}, {}};
    const Look midPressed{by(2), {ring(0, dk, hi), ring(1, sh, gy)}, {}};
    const Look twoSunken{by(2), {ring(0, sh, hi), ring(1, sh, hi)}, {}};
    const Look twoBlackSunken{by(2), {ring(0, dk, hi), ring(1, dk, hi)}, {}};
    const Look framed{by(2), {ring(0, sh, hi), ring(1, hi, sh)}, {}};
    const Look framedGrey{by(3), {ring(0, sh, hi), ring(1, hi, sh), ring(2, gy, sh)}, {}};
    const Look framedBlack{by(2), {ring(0, dk, hi), ring(1, hi, dk)}, {}};
    const Look framedBlackGrey{by(3), {ring(0, dk, hi), ring(1, hi, dk), ring(2, gy, sh)}, {}};
    const Look recessed{by(3), {ring(0, sh, hi), gap(1), ring(2, hi, sh)}, {}};
    const Look recessedGrey{by(4), {ring(0, sh, hi), gap(1), ring(2, hi, sh), ring(3, gy, sh)}, {}};
    const Look recessedBlack{by(3), {ring(0, dk, hi), gap(1), ring(2, hi, dk)}, {}};
    const Look recessedBlackGrey{by(4), {ring(0, dk, hi), gap(1), ring(2, hi, dk), ring(3, gy, sh)}, {}};

    // The thick style's shadow line under a raised ring: at rest it lies on the row above the ring's
    // bottom and starts on the ring's left column; under the pointer it is the button's bottom row,
    // with the frame above it.
    const Look thickRest{{1, 1, 1, 2},
                         {ring(0, hi, sh), {inset(1), kFace, kFace, kFace, kFace, sh, kFace, sh}},
                         {{QPoint(0, kHeight - 2), sh}, {QPoint(kWidth - 2, kHeight - 2), sh}}};
    const Look thickHot{{2, 2, 2, 3},
                        {{{0, kHeight - 1, kWidth, kHeight}, sh, sh, sh, sh, sh, sh, sh},
                         {{0, 0, kWidth, kHeight - 1}, hi, hi, hi, dk, dk, dk, dk},
                         {{1, 1, kWidth - 1, kHeight - 2}, gy, gy, gy, sh, sh, sh, sh}},
                        {}};

    return {
        {absAutoDetect, "absAutoDetect", newRaised, newRaised, newSunken},
        {absNew, "absNew", newRaised, newRaised, newSunken},
        {absWin31, "absWin31", win31Raised, win31Raised, win31Sunken},
        {absThin, "absThin", thinRaised, thinRaised, thinSunken},
        {absThinBlack, "absThinBlack", blackRaised, blackRaised, blackSunken},
        {absThinGray, "absThinGray", greyRaised, greyRaised, greySunken},
        {absThinHighlight, "absThinHighlight", thinRaised, blackRaised, blackSunken},
        {absMidHighlight, "absMidHighlight", thinRaised, midHot, midPressed},
        {absThickHighlight, "absThickHighlight", thickRest, thickHot, midPressed},
        {absFramed, "absFramed", framed, framed, twoSunken},
        {absFramedBlack, "absFramedBlack", framedBlack, framedBlack, twoBlackSunken},
        {absFramedRaised, "absFramedRaised", framedBlackGrey, framedBlackGrey, twoSunken},
        {absFramedHighlight, "absFramedHighlight", framed, framedGrey, twoSunken},
        {absFramedBlackHighlight, "absFramedBlackHighlight", framedBlack, framedBlackGrey, twoBlackSunken},
        {absRecessed, "absRecessed", recessed, recessed, twoSunken},
        {absRecessedBlack, "absRecessedBlack", recessedBlack, recessedBlack, twoBlackSunken},
        {absRecessedRaised, "absRecessedRaised", recessedBlackGrey, recessedBlackGrey, twoSunken},
        {absRecessedHighlight, "absRecessedHighlight", recessed, recessedGrey, twoSunken},
        {absRecessedBlackHighlight, "absRecessedBlackHighlight", recessedBlack, recessedBlackGrey,
         twoBlackSunken},
    };
}

} // namespace

Q_DECLARE_METATYPE(Ring)
Q_DECLARE_METATYPE(Pixel)
Q_DECLARE_METATYPE(TabcButtonStyle)
Q_DECLARE_METATYPE(TabcFillMode)

class TestButtonFrame : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void frame_data();
    void frame();
    void popupThinButton_data();
    void popupThinButton();
    void faceFill_data();
    void faceFill();
    void patternBitmap_data();
    void patternBitmap();
    void patternsSharedByColorValue_data();
    void patternsSharedByColorValue();
    void lastReleaseFreesPattern();
    void releaseKeepsOrderOfOthers();
};

void TestButtonFrame::frame_data()
{
    QTest::addColumn<TabcButtonStyle>("style");
    QTest::addColumn<bool>("pressed");
    QTest::addColumn<bool>("hot");
    QTest::addColumn<bool>("popup");
    QTest::addColumn<QMargins>("shrink");
    QTest::addColumn<QList<Ring>>("rings");
    QTest::addColumn<QList<Pixel>>("extra");

    const QList<StyleLooks> table = styleTable();
    QCOMPARE(table.size(), 19);
    for (const StyleLooks &s : table) {
        for (const bool popup : {false, true}) {
            const char *suffix = popup ? "popup" : "not popup";
            // At rest a popup button is filled and left unframed.
            const Look rest = popup ? Look{} : s.rest;
            QTest::addRow("%s at rest, %s", s.name, suffix)
                << s.style << false << false << popup << rest.shrink << rest.rings << rest.extra;
            QTest::addRow("%s hot, %s", s.name, suffix)
                << s.style << false << true << popup << s.hot.shrink << s.hot.rings << s.hot.extra;
            QTest::addRow("%s pressed, %s", s.name, suffix)
                << s.style << true << false << popup << s.pressed.shrink << s.pressed.rings
                << s.pressed.extra;
            // The pointer over a pressed button changes nothing: pressed wins.
            QTest::addRow("%s pressed and hot, %s", s.name, suffix)
                << s.style << true << true << popup << s.pressed.shrink << s.pressed.rings << s.pressed.extra;
        }
    }
}

void TestButtonFrame::frame()
{
    QFETCH(TabcButtonStyle, style);
    QFETCH(bool, pressed);
    QFETCH(bool, hot);
    QFETCH(bool, popup);
    QFETCH(QMargins, shrink);
    QFETCH(QList<Ring>, rings);
    QFETCH(QList<Pixel>, extra);

    QImage image = blankButton();
    tk::TRect inner;
    {
        QPainter painter(&image);
        inner =
            DrawButtonFrame(painter, kButton, style, afmSolid, nullptr, kButtonColor, pressed, hot, popup);
    }
    const tk::TRect expectedInner{shrink.left(), shrink.top(), kWidth - shrink.right(),
                                  kHeight - shrink.bottom()};
    QCOMPARE(inner, expectedInner);

    for (qsizetype i = 0; i < rings.size(); ++i) {
        const Ring &r = rings[i];
        const int midX = (r.rect.Left + r.rect.Right) / 2, midY = (r.rect.Top + r.rect.Bottom) / 2;
        const int right = r.rect.Right - 1, bottom = r.rect.Bottom - 1;
        const std::pair<const char *, std::pair<QPoint, QColor>> named[] = {
            {"top-left corner", {{r.rect.Left, r.rect.Top}, r.topLeft}},
            {"top", {{midX, r.rect.Top}, r.top}},
            {"left", {{r.rect.Left, midY}, r.left}},
            {"right", {{right, midY}, r.right}},
            {"bottom", {{midX, bottom}, r.bottom}},
            {"top-right corner", {{right, r.rect.Top}, r.topRight}},
            {"bottom-left corner", {{r.rect.Left, bottom}, r.bottomLeft}},
        };
        for (const auto &[name, pixel] : named) {
            const QString error =
                mismatch(image, QStringLiteral("ring %1 %2").arg(i).arg(QLatin1String(name)), pixel.first,
                         pixel.second);
            QVERIFY2(error.isEmpty(), qPrintable(error));
        }
    }
    for (const Pixel &p : extra) {
        const QString error = mismatch(image, QStringLiteral("pixel"), p.at, p.color);
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }
    // Nothing is drawn inside the frame: the whole inner rectangle shows the face.
    for (int y = expectedInner.Top; y < expectedInner.Bottom; ++y)
        for (int x = expectedInner.Left; x < expectedInner.Right; ++x) {
            const QString error = mismatch(image, QStringLiteral("inside"), {x, y}, kFace);
            QVERIFY2(error.isEmpty(), qPrintable(error));
        }
}

// The look of the program's own buttons, checked on every pixel: no frame at rest, one raised ring
// under the pointer, one sunken ring while pressed.
void TestButtonFrame::popupThinButton_data()
{
    QTest::addColumn<bool>("pressed");
    QTest::addColumn<bool>("hot");
    QTest::addColumn<bool>("framed");
    QTest::addColumn<QColor>("topLeft");
    QTest::addColumn<QColor>("bottomRight");
    QTest::newRow("at rest: face only") << false << false << false << kFace << kFace;
    QTest::newRow("hot: highlight over shadow") << false << true << true << kHighlight << kShadow;
    QTest::newRow("pressed: shadow over highlight") << true << false << true << kShadow << kHighlight;
}

void TestButtonFrame::popupThinButton()
{
    QFETCH(bool, pressed);
    QFETCH(bool, hot);
    QFETCH(bool, framed);
    QFETCH(QColor, topLeft);
    QFETCH(QColor, bottomRight);

    QImage image = blankButton();
    tk::TRect inner;
    {
        QPainter painter(&image);
        inner =
            DrawButtonFrame(painter, kButton, absThin, afmSolid, nullptr, kButtonColor, pressed, hot, true);
    }
    QCOMPARE(inner, framed ? inset(1) : kButton);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            QColor expected = kFace;
            if (x == kWidth - 1 || y == kHeight - 1)
                expected = bottomRight;
            else if (x == 0 || y == 0)
                expected = topLeft;
            const QString error = mismatch(image, QStringLiteral("pixel"), {x, y}, expected);
            QVERIFY2(error.isEmpty(), qPrintable(error));
        }
}

void TestButtonFrame::faceFill_data()
{
    QTest::addColumn<TabcFillMode>("fillMode");
    QTest::addColumn<bool>("withPattern");
    QTest::addColumn<tk::TColor>("color");
    QTest::addColumn<QList<Pixel>>("pixels");

    QTest::newRow("solid, plain colour")
        << afmSolid << false << kButtonColor
        << QList<Pixel>{{{0, 0}, kFace}, {{10, 6}, kFace}, {{kWidth - 1, kHeight - 1}, kFace}};
    QTest::newRow("solid, system colour resolved")
        << afmSolid << false << tk::clBtnFace
        << QList<Pixel>{{{0, 0}, kLight}, {{kWidth - 1, kHeight - 1}, kLight}};
    // Highlight wherever x + y is even, tiled from the button's corner across the whole face.
    QTest::newRow("pattern, checkerboard")
        << afmPattern << true << kButtonColor
        << QList<Pixel>{
               {{0, 0}, kHighlight}, {{1, 0}, kFace},        {{0, 1}, kFace},
               {{1, 1}, kHighlight}, {{7, 7}, kHighlight},   {{8, 7}, kFace},
               {{8, 0}, kHighlight}, {{9, 0}, kFace},        {{8, 8}, kHighlight},
               {{17, 10}, kFace},    {{18, 10}, kHighlight}, {{kWidth - 1, kHeight - 1}, kHighlight}};
    QTest::newRow("pattern without a pattern, solid instead")
        << afmPattern << false << kButtonColor << QList<Pixel>{{{0, 0}, kFace}, {{1, 0}, kFace}};
    QTest::newRow("none, the background stays")
        << afmNone << false << kButtonColor
        << QList<Pixel>{
               {{0, 0}, kBackground}, {{10, 6}, kBackground}, {{kWidth - 1, kHeight - 1}, kBackground}};
}

void TestButtonFrame::faceFill()
{
    QFETCH(TabcFillMode, fillMode);
    QFETCH(bool, withPattern);
    QFETCH(tk::TColor, color);
    QFETCH(QList<Pixel>, pixels);

    TabcBrushPattern *pattern = withPattern ? AcquireBrushPattern(color) : nullptr;
    QImage image = blankButton();
    {
        QPainter painter(&image);
        // A popup button at rest: nothing but the fill.
        DrawButtonFrame(painter, kButton, absThin, fillMode, pattern, color, false, false, true);
    }
    ReleaseBrushPattern(pattern);
    for (const Pixel &p : pixels) {
        const QString error = mismatch(image, QStringLiteral("pixel"), p.at, p.color);
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }
}

void TestButtonFrame::patternBitmap_data()
{
    QTest::addColumn<tk::TColor>("color");
    QTest::addColumn<QColor>("shown");
    QTest::newRow("plain colour") << kButtonColor << kFace;
    QTest::newRow("system colour, resolved in the bitmap") << tk::clBtnFace << kLight;
}

void TestButtonFrame::patternBitmap()
{
    QFETCH(tk::TColor, color);
    QFETCH(QColor, shown);

    TabcBrushPattern *pattern = AcquireBrushPattern(color);
    const QImage bitmap = pattern->bitmap();
    const tk::TColor kept = pattern->Color();
    ReleaseBrushPattern(pattern);

    QCOMPARE(kept, color);
    QCOMPARE(bitmap.size(), QSize(8, 8));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const QString error = mismatch(bitmap, QStringLiteral("pattern pixel"), {x, y},
                                           (x + y) % 2 == 0 ? kHighlight : shown);
            QVERIFY2(error.isEmpty(), qPrintable(error));
        }
}

void TestButtonFrame::patternsSharedByColorValue_data()
{
    QTest::addColumn<tk::TColor>("first");
    QTest::addColumn<tk::TColor>("second");
    QTest::addColumn<bool>("shared");
    QTest::newRow("one plain colour") << kButtonColor << kButtonColor << true;
    QTest::newRow("one system colour") << tk::clBtnFace << tk::clBtnFace << true;
    QTest::newRow("system colour and its RGB") << tk::clBtnFace << tk::TColor(0x00C8D0D4) << false;
    QTest::newRow("two system colours of one RGB") << tk::clBtnFace << tk::cl3DLight << false;
    QTest::newRow("two plain colours") << kButtonColor << tk::clWhite << false;
}

void TestButtonFrame::patternsSharedByColorValue()
{
    QFETCH(tk::TColor, first);
    QFETCH(tk::TColor, second);
    QFETCH(bool, shared);

    QCOMPARE(BrushPatterns().Count(), 0);
    TabcBrushPattern *a = AcquireBrushPattern(first);
    TabcBrushPattern *b = AcquireBrushPattern(second);
    QCOMPARE(a == b, shared);
    QCOMPARE(BrushPatterns().Count(), shared ? 1 : 2);
    QCOMPARE(a->userCount(), shared ? 2 : 1);
    QCOMPARE(b->userCount(), shared ? 2 : 1);
    QCOMPARE(a->Color(), first);
    QCOMPARE(b->Color(), second);

    ReleaseBrushPattern(a);
    QCOMPARE(BrushPatterns().Count(), 1);
    QCOMPARE(BrushPatterns().Items(0), b);
    QCOMPARE(b->userCount(), 1);
    ReleaseBrushPattern(b);
    QCOMPARE(BrushPatterns().Count(), 0);
}

void TestButtonFrame::lastReleaseFreesPattern()
{
    QCOMPARE(BrushPatterns().Count(), 0);
    TabcBrushPattern *pattern = AcquireBrushPattern(kButtonColor);
    AcquireBrushPattern(kButtonColor);
    AcquireBrushPattern(kButtonColor);
    QCOMPARE(pattern->userCount(), 3);
    ReleaseBrushPattern(pattern);
    ReleaseBrushPattern(pattern);
    QCOMPARE(BrushPatterns().Count(), 1);
    QCOMPARE(pattern->userCount(), 1);
    ReleaseBrushPattern(pattern);
    QCOMPARE(BrushPatterns().Count(), 0);

    ReleaseBrushPattern(nullptr);
    QCOMPARE(BrushPatterns().Count(), 0);

    // Asked for again, the colour gets a fresh pattern with one user.
    TabcBrushPattern *again = AcquireBrushPattern(kButtonColor);
    QCOMPARE(again->userCount(), 1);
    ReleaseBrushPattern(again);
    QCOMPARE(BrushPatterns().Count(), 0);
}

void TestButtonFrame::releaseKeepsOrderOfOthers()
{
    TabcBrushPattern *a = AcquireBrushPattern(tk::clRed);
    TabcBrushPattern *b = AcquireBrushPattern(tk::clLime);
    TabcBrushPattern *c = AcquireBrushPattern(tk::clBlue);
    ReleaseBrushPattern(b);
    QCOMPARE(BrushPatterns().Count(), 2);
    QCOMPARE(BrushPatterns().Items(0), a);
    QCOMPARE(BrushPatterns().Items(1), c);
    QCOMPARE(AcquireBrushPattern(tk::clRed), a);
    ReleaseBrushPattern(a);
    ReleaseBrushPattern(a);
    ReleaseBrushPattern(c);
    QCOMPARE(BrushPatterns().Count(), 0);
}

QTEST_MAIN(TestButtonFrame)

#include "tst_abcbtnframes.moc"
