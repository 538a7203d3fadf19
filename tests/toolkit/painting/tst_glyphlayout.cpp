#include "toolkit/painting/glyphlayout.h"

#include <QTest>

#include <climits>

using tk::GlyphSide;

Q_DECLARE_METATYPE(GlyphSide)

namespace {

// Every row places on the same face: 100 x 40 pixels whose top-left corner is (10, 20).
const QRect kClient(10, 20, 100, 40);
const QSize kGlyph(16, 12);
const QRect kCaption(0, 0, 30, 10);
// The farthest any place may lie, either way.
constexpr int kFar = 1 << 29;

} // namespace

class TestGlyphLayout : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void placement_data();
    void placement();
};

void TestGlyphLayout::placement_data()
{
    QTest::addColumn<QSize>("glyph");
    QTest::addColumn<QRect>("caption"); // the measured extent, from (0, 0)
    QTest::addColumn<GlyphSide>("side");
    QTest::addColumn<int>("margin");
    QTest::addColumn<int>("spacing");
    QTest::addColumn<QPoint>("shift");
    QTest::addColumn<QPoint>("glyphAt");
    QTest::addColumn<QRect>("captionAt");

    // Across the axis the glyph lies at (40 - 12 + 1) div 2 = 14 and the caption at (40 - 10 + 1) div 2
    // = 15 beside each other; above each other at (100 - 16 + 1) div 2 = 42 and (100 - 30 + 1) div 2 = 35.
    // Along the axis the free space is 100 - 16 - 30 = 54 beside, 40 - 12 - 10 = 18 above.
    const QPoint none;
    QTest::newRow("left") << kGlyph << kCaption << GlyphSide::Left << 5 << 4 << none << QPoint(15, 34)
                          << QRect(35, 35, 30, 10);
    QTest::newRow("right") << kGlyph << kCaption << GlyphSide::Right << 5 << 4 << none << QPoint(89, 34)
                           << QRect(55, 35, 30, 10);
    QTest::newRow("top") << kGlyph << kCaption << GlyphSide::Top << 5 << 4 << none << QPoint(52, 25)
                         << QRect(45, 41, 30, 10);
    QTest::newRow("bottom") << kGlyph << kCaption << GlyphSide::Bottom << 5 << 4 << none << QPoint(52, 43)
                            << QRect(45, 29, 30, 10);

    // margin (54 - 4 + 1) div 2 = 25
    QTest::newRow("left, margin -1: the pair centred") << kGlyph << kCaption << GlyphSide::Left << -1 << 4
                                                       << none << QPoint(35, 34) << QRect(55, 35, 30, 10);
    // margin (18 - 4 + 1) div 2 = 7
    QTest::newRow("bottom, margin -1: the pair centred") << kGlyph << kCaption << GlyphSide::Bottom << -1 << 4
                                                         << none << QPoint(52, 41) << QRect(45, 27, 30, 10);
    // spacing (54 - 5) div 2 = 24
    QTest::newRow("left, spacing -1: the caption centred in the rest")
        << kGlyph << kCaption << GlyphSide::Left << 5 << -1 << none << QPoint(15, 34)
        << QRect(55, 35, 30, 10);
    // 54 div 3 = 18 each
    QTest::newRow("left, both -1: thirds") << kGlyph << kCaption << GlyphSide::Left << -1 << -1 << none
                                           << QPoint(28, 34) << QRect(62, 35, 30, 10);
    QTest::newRow("right, both -1: thirds") << kGlyph << kCaption << GlyphSide::Right << -1 << -1 << none
                                            << QPoint(76, 34) << QRect(28, 35, 30, 10);
    // 18 div 3 = 6 each
    QTest::newRow("top, both -1: thirds") << kGlyph << kCaption << GlyphSide::Top << -1 << -1 << none
                                          << QPoint(52, 26) << QRect(45, 44, 30, 10);

    // Without one of the two the spacing counts as 0: margin (70 + 1) div 2 = 35, (84 + 1) div 2 = 42.
    QTest::newRow("no glyph: the caption centred") << QSize() << kCaption << GlyphSide::Left << -1 << 4
                                                   << none << QPoint(45, 40) << QRect(45, 35, 30, 10);
    QTest::newRow("no caption: the glyph centred")
        << kGlyph << QRect() << GlyphSide::Left << -1 << 4 << none << QPoint(52, 34) << QRect(68, 40, 0, 0);
    QTest::newRow("no caption, both -1: the glyph centred")
        << kGlyph << QRect() << GlyphSide::Top << -1 << -1 << none << QPoint(52, 34) << QRect(60, 46, 0, 0);
    QTest::newRow("neither") << QSize() << QRect() << GlyphSide::Right << -1 << -1 << none << QPoint(60, 40)
                             << QRect(60, 40, 0, 0);

    // A glyph of 120 x 50 leaves -50 free: margin (-50 - 4 + 1) div 2 = -26, and -50 div 3 = -16, each
    // truncated towards zero; across, (40 - 50 + 1) div 2 = -4.
    const QSize large(120, 50);
    QTest::newRow("glyph larger than the face, margin -1")
        << large << kCaption << GlyphSide::Left << -1 << 4 << none << QPoint(-16, 16)
        << QRect(108, 35, 30, 10);
    QTest::newRow("glyph larger than the face, both -1") << large << kCaption << GlyphSide::Left << -1 << -1
                                                         << none << QPoint(-6, 16) << QRect(98, 35, 30, 10);

    // A pressed face moves both by the shift.
    QTest::newRow("left, shifted (1, 1)") << kGlyph << kCaption << GlyphSide::Left << 5 << 4 << QPoint(1, 1)
                                          << QPoint(16, 35) << QRect(36, 36, 30, 10);
    QTest::newRow("bottom, shifted (-3, 7)") << kGlyph << kCaption << GlyphSide::Bottom << 5 << 4
                                             << QPoint(-3, 7) << QPoint(49, 50) << QRect(42, 36, 30, 10);

    // Extreme margins and spacings land far out, never wrapped round to the other side.
    QTest::newRow("margin INT_MAX") << kGlyph << kCaption << GlyphSide::Left << INT_MAX << 4 << none
                                    << QPoint(kFar, 34) << QRect(kFar, 35, 30, 10);
    QTest::newRow("margin INT_MIN") << kGlyph << kCaption << GlyphSide::Left << INT_MIN << 4 << none
                                    << QPoint(-kFar, 34) << QRect(-kFar, 35, 30, 10);
    QTest::newRow("margin INT_MIN, right") << kGlyph << kCaption << GlyphSide::Right << INT_MIN << 4 << none
                                           << QPoint(kFar, 34) << QRect(kFar, 35, 30, 10);
    QTest::newRow("spacing INT_MAX") << kGlyph << kCaption << GlyphSide::Top << 5 << INT_MAX << none
                                     << QPoint(52, 25) << QRect(45, kFar, 30, 10);
    QTest::newRow("spacing INT_MIN, right") << kGlyph << kCaption << GlyphSide::Right << 5 << INT_MIN << none
                                            << QPoint(89, 34) << QRect(kFar, 35, 30, 10);
    // margin (54 - INT_MAX + 1) div 2, far left; the caption INT_MAX beyond it, far right
    QTest::newRow("margin -1, spacing INT_MAX") << kGlyph << kCaption << GlyphSide::Left << -1 << INT_MAX
                                                << none << QPoint(-kFar, 34) << QRect(kFar, 35, 30, 10);
    QTest::newRow("margin -1, spacing INT_MIN") << kGlyph << kCaption << GlyphSide::Bottom << -1 << INT_MIN
                                                << none << QPoint(52, -kFar) << QRect(45, kFar, 30, 10);
    QTest::newRow("margin INT_MAX, spacing -1") << kGlyph << kCaption << GlyphSide::Left << INT_MAX << -1
                                                << none << QPoint(kFar, 34) << QRect(kFar, 35, 30, 10);
    QTest::newRow("margin INT_MIN, spacing -1") << kGlyph << kCaption << GlyphSide::Left << INT_MIN << -1
                                                << none << QPoint(-kFar, 34) << QRect(-kFar, 35, 30, 10);
    QTest::newRow("both INT_MIN, bottom") << kGlyph << kCaption << GlyphSide::Bottom << INT_MIN << INT_MIN
                                          << none << QPoint(52, kFar) << QRect(45, kFar, 30, 10);
    // The shift far right takes the glyph, placed far left, back onto the face.
    QTest::newRow("both INT_MAX, shifted")
        << kGlyph << kCaption << GlyphSide::Right << INT_MAX << INT_MAX << QPoint(INT_MAX, INT_MIN)
        << QPoint(94, -kFar) << QRect(-kFar, -kFar, 30, 10);
}

void TestGlyphLayout::placement()
{
    QFETCH(QSize, glyph);
    QFETCH(QRect, caption);
    QFETCH(GlyphSide, side);
    QFETCH(int, margin);
    QFETCH(int, spacing);
    QFETCH(QPoint, shift);
    QFETCH(QPoint, glyphAt);
    QFETCH(QRect, captionAt);

    const tk::GlyphPlacement placed =
        tk::placeGlyphAndCaption(tk::TRect::fromQRect(kClient), glyph.isValid() ? glyph : QSize(0, 0),
                                 tk::TRect::fromQRect(caption), side, margin, spacing, shift);
    QCOMPARE(placed.glyphPos, glyphAt);
    QCOMPARE(placed.captionRect.toQRect(), captionAt);
}

QTEST_APPLESS_MAIN(TestGlyphLayout)

#include "tst_glyphlayout.moc"
