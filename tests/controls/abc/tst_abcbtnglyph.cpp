#include "controls/abc/abcbtnglyph.h"

#include "tests/support/bitmaps.h"
#include "tests/support/testcolors.h"
#include "toolkit/base/errors.h"
#include "toolkit/painting/canvas.h"
#include "toolkit/painting/colors.h"
#include "toolkit/pictures/graphics.h"
#include "toolkit/pictures/jpegimage.h"

#include <QBuffer>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QTest>

#include <climits>
#include <memory>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

// System colours moved off white and grey for the whole test, so that a picture's own white or grey
// pixel can never pass for the button highlight or shadow.
const QColor kHighlight(250, 240, 230);  // clBtnHighlight
const QColor kShadow(100, 90, 80);       // clBtnShadow
const QColor kSystemFace(212, 208, 200); // clBtnFace

// The glyph's face colour in most cases: a plain colour no picture pixel shares.
constexpr tk::TColor kFaceColor = 0x00336699;
const QColor kFace(0x99, 0x66, 0x33);
// What lies on the canvas before the glyph is drawn.
const QColor kBackground(0, 128, 0);
// The lower-left pixel of every test picture: the colour that turns transparent.
const QColor kClear(16, 32, 48);

const QColor kWhite(255, 255, 255), kSilver(192, 192, 192), kGrey(128, 128, 128), kBlack(0, 0, 0);

// Empty when the pixel has the colour, else what went wrong, naming the pixel.
QString mismatch(const QImage &image, QPoint at, QColor expected)
{
    const QColor actual = image.pixelColor(at);
    if (actual == expected)
        return {};
    return QStringLiteral("pixel (%1, %2): expected %3, got %4")
        .arg(at.x())
        .arg(at.y())
        .arg(describe(expected), describe(actual));
}

#define CHECK_PIXEL(image, at, expected)                                                                     \
    do {                                                                                                     \
        const QString why = mismatch(image, at, expected);                                                   \
        QVERIFY2(why.isEmpty(), qPrintable(why));                                                            \
    } while (false)

std::unique_ptr<tk::Graphic> bitmapOf(const QImage &image)
{
    auto bitmap = std::make_unique<tk::BitmapImage>();
    bitmap->loadFromData(bmpBytes(image));
    return bitmap;
}

// A picture of the background colour with its lower-left pixel in kClear.
QImage picture(int width, int height, QColor fill)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(fill);
    image.setPixelColor(0, height - 1, kClear);
    return image;
}

// Slice i of a strip is filled with kSliceColour[i]; the strip's lower-left pixel is kClear.
const QColor kSliceColor[5] = {QColor(200, 30, 30), QColor(30, 200, 30), QColor(30, 30, 200),
                               QColor(200, 200, 30), QColor(30, 200, 200)};
constexpr int kSlice = 10;

QImage strip(int slices)
{
    QImage image(kSlice * slices, kSlice, QImage::Format_RGB32);
    QPainter painter(&image);
    for (int i = 0; i < slices; ++i)
        painter.fillRect(i * kSlice, 0, kSlice, kSlice, kSliceColor[i]);
    painter.end();
    image.setPixelColor(0, kSlice - 1, kClear);
    return image;
}

QImage blankCanvas(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(kBackground);
    return image;
}

QImage drawn(TabcButtonGlyph &glyph, TabcButtonState state, int width, int height, QPoint at = {0, 0})
{
    QImage canvas = blankCanvas(width, height);
    QPainter painter(&canvas);
    glyph.DrawGlyphImage(painter, state, at);
    return canvas;
}

QFont captionFont()
{
    QFont font(u"DejaVu Sans"_s);
    font.setPixelSize(14);
    // Whole pixels only: the test tells the layers apart by their exact colours.
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

QImage canvasAtRatio(QSize logical, qreal ratio)
{
    QImage image((QSizeF(logical) * ratio).toSize(), QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(kBackground);
    return image;
}

bool near(QColor a, QColor b)
{
    return qAbs(a.red() - b.red()) <= 2 && qAbs(a.green() - b.green()) <= 2 && qAbs(a.blue() - b.blue()) <= 2;
}

} // namespace

Q_DECLARE_METATYPE(TabcButtonState)
Q_DECLARE_METATYPE(TabcGlyphHighlight)
Q_DECLARE_METATYPE(TabcButtonLayout)
Q_DECLARE_METATYPE(TabcTextStyle)
Q_DECLARE_METATYPE(tk::TRect)

class TestButtonGlyph : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void detectNumGlyphs_data();
    void detectNumGlyphs();
    void emptyPictureDrawsNothing();
    void glyphCountCoerced_data();
    void glyphCountCoerced();
    void sliceForState_data();
    void sliceForState();
    void embossedDisabledImage_data();
    void embossedDisabledImage();
    void disabledSlice_data();
    void disabledSlice();
    void transparentPixelsPerState_data();
    void transparentPixelsPerState();
    void twoColourBitmap_data();
    void twoColourBitmap();
    void highlightModes_data();
    void highlightModes();
    void transparentColorFollowsPicture();
    void jpegHasNoTransparentColor();
    void layoutWithoutCaptionCentres_data();
    void layoutWithoutCaptionCentres();
    void marginAndSpacingSplitInThree_data();
    void marginAndSpacingSplitInThree();
    void extremeMarginAndSpacing_data();
    void extremeMarginAndSpacing();
    void caption_data();
    void caption();
    void tiles_data();
    void tiles();
    void glyphBesideCaption_data();
    void glyphBesideCaption();
    void glyphListSlots();
    void glyphListImageSize_data();
    void glyphListImageSize();
    void sameSliceSizeSharesOneList_data();
    void sameSliceSizeSharesOneList();
    void imageListEntry();
    void compactStorage();
    void smallPictureStream_data();
    void smallPictureStream();
    void fileFormatsLookup();
    void stateImagesAtPixelRatio_data();
    void stateImagesAtPixelRatio();
    void denseImagesLeaveWithTheirSlot();

private:
    tk::TColor m_savedHighlight = 0, m_savedShadow = 0;
};

void TestButtonGlyph::init()
{
    tk::registerBitmapFormat();
    m_savedHighlight = tk::systemColor(tk::COLOR_BTNHIGHLIGHT);
    m_savedShadow = tk::systemColor(tk::COLOR_BTNSHADOW);
    tk::setSystemColor(tk::COLOR_BTNHIGHLIGHT, tk::fromQColor(kHighlight));
    tk::setSystemColor(tk::COLOR_BTNSHADOW, tk::fromQColor(kShadow));
    // Every test starts and ends without glyphs; a list left over would be a leak.
    QVERIFY(!GlyphCache);
}

void TestButtonGlyph::cleanup()
{
    CompactPictureStorage = false;
    tk::setSystemColor(tk::COLOR_BTNHIGHLIGHT, m_savedHighlight);
    tk::setSystemColor(tk::COLOR_BTNSHADOW, m_savedShadow);
    QVERIFY(!GlyphCache);
}

void TestButtonGlyph::detectNumGlyphs_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("assigned"); // through setPicture, or loaded into the picture in place
    QTest::addColumn<int>("expected");

    QTest::newRow("177x54, no whole multiple") << QSize(177, 54) << true << 1;
    QTest::newRow("100x20, five slices") << QSize(100, 20) << true << 5;
    QTest::newRow("120x20, ratio 6 is too many") << QSize(120, 20) << true << 1;
    QTest::newRow("square") << QSize(20, 20) << true << 1;
    QTest::newRow("40x20, two slices") << QSize(40, 20) << true << 2;
    QTest::newRow("60x20, three slices") << QSize(60, 20) << true << 3;
    QTest::newRow("20x40, taller than wide") << QSize(20, 40) << true << 1;
    QTest::newRow("empty") << QSize(0, 0) << true << 1;
    QTest::newRow("100x20 loaded in place keeps the count") << QSize(100, 20) << false << 1;
}

void TestButtonGlyph::detectNumGlyphs()
{
    QFETCH(QSize, size);
    QFETCH(bool, assigned);
    QFETCH(int, expected);

    TabcButtonGlyph glyph;
    if (size.isEmpty())
        glyph.setPicture(nullptr);
    else if (assigned)
        glyph.setPicture(bitmapOf(picture(size.width(), size.height(), kBlack)));
    else
        glyph.Picture().loadFromData(u"bmp"_s, bmpBytes(picture(size.width(), size.height(), kBlack)));
    QCOMPARE(int(glyph.NumGlyphs()), expected);
    QCOMPARE(glyph.PictureSize(), size);
}

void TestButtonGlyph::emptyPictureDrawsNothing()
{
    TabcButtonGlyph glyph;
    glyph.setPicture(nullptr);
    for (int state = abtUp; state <= abtHot; ++state) {
        QCOMPARE(glyph.BuildStateImage(TabcButtonState(state)), -1);
        const QImage canvas = drawn(glyph, TabcButtonState(state), 8, 8);
        QCOMPARE(canvas, blankCanvas(8, 8));
    }
    QVERIFY(!glyph.glyphList());
}

void TestButtonGlyph::glyphCountCoerced_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("imageEntry");
    QTest::addColumn<int>("expected");

    QTest::newRow("0") << 0 << false << 1;
    QTest::newRow("negative") << -3 << false << 1;
    QTest::newRow("1") << 1 << false << 1;
    QTest::newRow("4") << 4 << false << 4;
    QTest::newRow("5") << 5 << false << 5;
    QTest::newRow("6") << 6 << false << 1;
    QTest::newRow("255") << 255 << false << 1;
    QTest::newRow("3 with an image-list entry") << 3 << true << 1;
}

void TestButtonGlyph::glyphCountCoerced()
{
    QFETCH(int, count);
    QFETCH(bool, imageEntry);
    QFETCH(int, expected);

    TabcImageList images(10, 10);
    images.Add(picture(10, 10, kBlack));
    {
        TabcButtonGlyph glyph;
        glyph.setPicture(bitmapOf(strip(5)));
        if (imageEntry) {
            glyph.setImages(&images);
            glyph.setImageIndex(0);
        }
        glyph.setNumGlyphs(count);
        QCOMPARE(int(glyph.NumGlyphs()), expected);
    }
}

void TestButtonGlyph::sliceForState_data()
{
    QTest::addColumn<int>("numGlyphs");
    QTest::addColumn<TabcButtonState>("state");
    QTest::addColumn<int>("slice");

    // With one slice the disabled image is embossed (its own test), so it has no row here.
    QTest::newRow("1 up") << 1 << abtUp << 0;
    QTest::newRow("1 down shows hot") << 1 << abtDown << 0;
    QTest::newRow("1 exclusive") << 1 << abtExclusive << 0;
    QTest::newRow("1 hot") << 1 << abtHot << 0;
    QTest::newRow("2 up") << 2 << abtUp << 0;
    QTest::newRow("2 disabled") << 2 << abtDisabled << 1;
    QTest::newRow("2 down shows hot") << 2 << abtDown << 0;
    QTest::newRow("2 exclusive") << 2 << abtExclusive << 0;
    QTest::newRow("2 hot") << 2 << abtHot << 0;
    QTest::newRow("3 up") << 3 << abtUp << 0;
    QTest::newRow("3 disabled") << 3 << abtDisabled << 1;
    QTest::newRow("3 down") << 3 << abtDown << 2;
    QTest::newRow("3 exclusive") << 3 << abtExclusive << 0;
    QTest::newRow("3 hot") << 3 << abtHot << 0;
    QTest::newRow("4 up") << 4 << abtUp << 0;
    QTest::newRow("4 disabled") << 4 << abtDisabled << 1;
    QTest::newRow("4 down") << 4 << abtDown << 2;
    QTest::newRow("4 exclusive") << 4 << abtExclusive << 3;
    QTest::newRow("4 hot") << 4 << abtHot << 0;
    QTest::newRow("5 up") << 5 << abtUp << 0;
    QTest::newRow("5 disabled") << 5 << abtDisabled << 1;
    QTest::newRow("5 down") << 5 << abtDown << 2;
    QTest::newRow("5 exclusive") << 5 << abtExclusive << 3;
    QTest::newRow("5 hot") << 5 << abtHot << 4;
}

void TestButtonGlyph::sliceForState()
{
    QFETCH(int, numGlyphs);
    QFETCH(TabcButtonState, state);
    QFETCH(int, slice);

    TabcButtonGlyph glyph;
    glyph.setColor(kFaceColor);
    glyph.setPicture(bitmapOf(strip(numGlyphs)));
    QCOMPARE(int(glyph.NumGlyphs()), numGlyphs);
    const QImage canvas = drawn(glyph, state, 12, 12);
    CHECK_PIXEL(canvas, QPoint(5, 5), kSliceColor[slice]);
    // A slice is drawn at its own width: the column right of it keeps the background.
    CHECK_PIXEL(canvas, QPoint(kSlice, 5), kBackground);
    // Without a pressed slice, pressing shares the hot image instead of building one of its own.
    if (state == abtDown && numGlyphs < 3) {
        QCOMPARE(glyph.StateImage(abtDown), -1);
        QVERIFY(glyph.StateImage(abtHot) >= 0);
    }
}

void TestButtonGlyph::embossedDisabledImage_data()
{
    QTest::addColumn<tk::TColor>("color");
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<QColor>("expected");

    // The picture (8x7, kClear elsewhere): black at (1, 1) and (2, 2), white at (5, 1), silver at
    // (5, 3), red at (3, 5).
    QTest::newRow("black pixel: shadow") << kFaceColor << QPoint(1, 1) << kShadow;
    QTest::newRow("black over the highlight of its neighbour: shadow")
        << kFaceColor << QPoint(2, 2) << kShadow;
    QTest::newRow("down-right of the black pair: highlight") << kFaceColor << QPoint(3, 3) << kHighlight;
    QTest::newRow("right of the black pixel: face") << kFaceColor << QPoint(2, 1) << kFace;
    QTest::newRow("white pixel vanishes") << kFaceColor << QPoint(5, 1) << kFace;
    QTest::newRow("white pixel casts no highlight") << kFaceColor << QPoint(6, 2) << kFace;
    QTest::newRow("silver pixel vanishes") << kFaceColor << QPoint(5, 3) << kFace;
    QTest::newRow("silver pixel casts no highlight") << kFaceColor << QPoint(6, 4) << kFace;
    QTest::newRow("red pixel: shadow") << kFaceColor << QPoint(3, 5) << kShadow;
    QTest::newRow("down-right of red: highlight") << kFaceColor << QPoint(4, 6) << kHighlight;
    QTest::newRow("transparent lower-left: face") << kFaceColor << QPoint(0, 6) << kFace;
    QTest::newRow("transparent corner: face") << kFaceColor << QPoint(0, 0) << kFace;
    QTest::newRow("system face colour") << tk::clBtnFace << QPoint(0, 0) << kSystemFace;
}

void TestButtonGlyph::embossedDisabledImage()
{
    QFETCH(tk::TColor, color);
    QFETCH(QPoint, at);
    QFETCH(QColor, expected);

    QImage image = picture(8, 7, kClear);
    image.setPixelColor(1, 1, kBlack);
    image.setPixelColor(2, 2, kBlack);
    image.setPixelColor(5, 1, kWhite);
    image.setPixelColor(5, 3, kSilver);
    image.setPixelColor(3, 5, QColor(255, 0, 0));

    TabcButtonGlyph glyph;
    glyph.setColor(color);
    glyph.setPicture(bitmapOf(image));
    QCOMPARE(int(glyph.NumGlyphs()), 1);
    CHECK_PIXEL(drawn(glyph, abtDisabled, 8, 7), at, expected);
}

void TestButtonGlyph::disabledSlice_data()
{
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<QColor>("expected");

    // Slice 1 of a two-slice picture: white at (1, 1), grey at (2, 1), red at (3, 1), kClear at (4, 1).
    QTest::newRow("white becomes highlight") << QPoint(1, 1) << kHighlight;
    QTest::newRow("grey becomes shadow") << QPoint(2, 1) << kShadow;
    QTest::newRow("other colours stay") << QPoint(3, 1) << QColor(255, 0, 0);
    QTest::newRow("transparent colour becomes face") << QPoint(4, 1) << kFace;
    QTest::newRow("not embossed: no highlight down-right") << QPoint(4, 2) << kSilver;
}

void TestButtonGlyph::disabledSlice()
{
    QFETCH(QPoint, at);
    QFETCH(QColor, expected);

    QImage image = picture(2 * kSlice, kSlice, kBlack);
    QPainter painter(&image);
    painter.fillRect(kSlice, 0, kSlice, kSlice, kSilver);
    painter.end();
    image.setPixelColor(kSlice + 1, 1, kWhite);
    image.setPixelColor(kSlice + 2, 1, kGrey);
    image.setPixelColor(kSlice + 3, 1, QColor(255, 0, 0));
    image.setPixelColor(kSlice + 4, 1, kClear);

    TabcButtonGlyph glyph;
    glyph.setColor(kFaceColor);
    glyph.setPicture(bitmapOf(image));
    QCOMPARE(int(glyph.NumGlyphs()), 2);
    CHECK_PIXEL(drawn(glyph, abtDisabled, kSlice, kSlice), at, expected);
}

void TestButtonGlyph::transparentPixelsPerState_data()
{
    QTest::addColumn<TabcButtonState>("state");
    QTest::addColumn<tk::TColor>("color");
    QTest::addColumn<QColor>("expected");

    // The picture's top-right pixel has the colour of its lower-left one.
    QTest::newRow("up") << abtUp << kFaceColor << kFace;
    QTest::newRow("disabled") << abtDisabled << kFaceColor << kFace;
    QTest::newRow("down") << abtDown << kFaceColor << kFace;
    QTest::newRow("hot") << abtHot << kFaceColor << kFace;
    QTest::newRow("up, system face colour") << abtUp << tk::clBtnFace << kSystemFace;
    QTest::newRow("exclusive lets the background through") << abtExclusive << kFaceColor << kBackground;
}

void TestButtonGlyph::transparentPixelsPerState()
{
    QFETCH(TabcButtonState, state);
    QFETCH(tk::TColor, color);
    QFETCH(QColor, expected);

    const QColor red(255, 0, 0);
    QImage image = picture(4, 4, red);
    image.setPixelColor(3, 0, kClear);

    TabcButtonGlyph glyph;
    glyph.setColor(color);
    glyph.setPicture(bitmapOf(image));
    const QImage canvas = drawn(glyph, state, 6, 6, {1, 1});
    CHECK_PIXEL(canvas, QPoint(4, 1), expected);
    CHECK_PIXEL(canvas, QPoint(1, 4), expected);
    if (state != abtDisabled)
        CHECK_PIXEL(canvas, QPoint(2, 2), red);
}

void TestButtonGlyph::twoColourBitmap_data()
{
    QTest::addColumn<bool>("twoColours");
    QTest::addColumn<bool>("whiteSet");
    QTest::addColumn<TabcButtonState>("state");
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<QColor>("expected");

    // A 4x4 picture, white with a black lower row. A two-colour bitmap names white as its transparent
    // colour when it is loaded; building a state image takes the lower-left colour of the picture as
    // drawn, black, unless a colour was set.
    const QPoint white(1, 1), black(1, 3);
    const QColor blackColour(0, 0, 0), whiteColour(255, 255, 255);
    QTest::newRow("1-bit, built: black left out") << true << false << abtUp << black << kFace;
    QTest::newRow("1-bit, built: white drawn") << true << false << abtUp << white << whiteColour;
    QTest::newRow("1-bit, white set: white left out") << true << true << abtUp << white << kFace;
    QTest::newRow("1-bit, white set: black drawn") << true << true << abtUp << black << blackColour;
    QTest::newRow("1-bit, white set, hot") << true << true << abtHot << white << kFace;
    QTest::newRow("1-bit, white set, exclusive: the background")
        << true << true << abtExclusive << white << kBackground;
    QTest::newRow("1-bit, white set, disabled: face") << true << true << abtDisabled << white << kFace;
    QTest::newRow("1-bit, white set, disabled: shadow") << true << true << abtDisabled << black << kShadow;
    QTest::newRow("32-bit: black left out") << false << false << abtUp << black << kFace;
    QTest::newRow("32-bit: white drawn") << false << false << abtUp << white << whiteColour;
}

void TestButtonGlyph::twoColourBitmap()
{
    QFETCH(bool, twoColours);
    QFETCH(bool, whiteSet);
    QFETCH(TabcButtonState, state);
    QFETCH(QPoint, at);
    QFETCH(QColor, expected);

    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::white);
    for (int x = 0; x < 4; ++x)
        image.setPixelColor(x, 3, Qt::black);
    if (twoColours)
        image = image.convertToFormat(QImage::Format_Mono);

    auto bitmap = bitmapOf(image);
    const auto *loaded = dynamic_cast<const tk::BitmapImage *>(bitmap.get());
    QVERIFY(loaded);
    const bool loadedTwoColours =
        loaded->image().format() == QImage::Format_Mono || loaded->image().format() == QImage::Format_MonoLSB;
    QCOMPARE(loadedTwoColours, twoColours);

    constexpr tk::TColor kPaletteRelative = 0x02000000u;
    TabcButtonGlyph glyph;
    glyph.setColor(kFaceColor);
    glyph.setPicture(std::move(bitmap));
    QCOMPARE(glyph.TransparentColor(), (twoColours ? tk::clWhite : tk::clBlack) | kPaletteRelative);
    if (whiteSet)
        glyph.setTransparentColor(tk::clWhite);
    CHECK_PIXEL(drawn(glyph, state, 4, 4), at, expected);
    QCOMPARE(glyph.TransparentColor(), whiteSet ? tk::clWhite : tk::clBlack | kPaletteRelative);
}

void TestButtonGlyph::highlightModes_data()
{
    QTest::addColumn<TabcGlyphHighlight>("mode");
    QTest::addColumn<TabcButtonState>("state");
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<QColor>("expected");

    // A 2x2 picture: (0, 0) is rgb(200, 100, 40), the lower-left (0, 1) transparent; the face colour
    // is rgb(100, 60, 0).
    const QPoint color(0, 0), clear(0, 1);
    const QColor original(200, 100, 40), face(100, 60, 0);
    QTest::newRow("normal at rest") << aghNormal << abtUp << color << original;
    QTest::newRow("normal, transparent") << aghNormal << abtUp << clear << face;
    QTest::newRow("gray takes the red component") << aghGray << abtUp << color << QColor(200, 200, 200);
    QTest::newRow("gray, transparent from the face's red")
        << aghGray << abtUp << clear << QColor(100, 100, 100);
    QTest::newRow("fade: three quarters image, a quarter face")
        << aghFade << abtUp << color << QColor(175, 90, 30);
    QTest::newRow("fade, transparent") << aghFade << abtUp << clear << face;
    QTest::newRow("darken: AND with the face") << aghDarken << abtUp << color << QColor(64, 36, 0);
    QTest::newRow("darken, transparent") << aghDarken << abtUp << clear << face;
    QTest::newRow("gray, hot is the original") << aghGray << abtHot << color << original;
    QTest::newRow("fade, hot is the original") << aghFade << abtHot << color << original;
    QTest::newRow("darken, hot is the original") << aghDarken << abtHot << color << original;
    QTest::newRow("fade, down shows hot") << aghFade << abtDown << color << original;
}

void TestButtonGlyph::highlightModes()
{
    QFETCH(TabcGlyphHighlight, mode);
    QFETCH(TabcButtonState, state);
    QFETCH(QPoint, at);
    QFETCH(QColor, expected);

    QImage image = picture(2, 2, QColor(200, 100, 40));
    TabcButtonGlyph glyph;
    glyph.setColor(0x00003C64); // rgb(100, 60, 0)
    glyph.setPicture(bitmapOf(image));
    glyph.setPictureHighlight(mode);
    CHECK_PIXEL(drawn(glyph, state, 2, 2), at, expected);
}

void TestButtonGlyph::transparentColorFollowsPicture()
{
    TabcButtonGlyph glyph;
    int changes = 0;
    glyph.OnChange = [&changes] { ++changes; };
    QCOMPARE(glyph.TransparentColor(), tk::clFuchsia);

    glyph.setPicture(bitmapOf(picture(4, 4, kBlack)));
    // Palette-relative, so that it never equals a system colour value.
    QCOMPARE(glyph.TransparentColor(), tk::fromQColor(kClear) | 0x02000000u);
    QVERIFY(!glyph.TransparentColorSet());
    QVERIFY(changes > 0);

    changes = 0;
    glyph.setTransparentColor(tk::clBlack);
    QVERIFY(glyph.TransparentColorSet());
    QCOMPARE(changes, 1);
    // Black is now what turns into the face colour, and kClear shows as itself.
    glyph.setColor(kFaceColor);
    const QImage canvas = drawn(glyph, abtUp, 4, 4);
    CHECK_PIXEL(canvas, QPoint(1, 1), kFace);
    CHECK_PIXEL(canvas, QPoint(0, 3), kClear);
    QCOMPARE(glyph.TransparentColor(), tk::clBlack);

    // A new picture takes its own colour again.
    glyph.setPicture(bitmapOf(picture(4, 4, kBlack)));
    QVERIFY(!glyph.TransparentColorSet());
    QCOMPARE(glyph.TransparentColor(), tk::fromQColor(kClear) | 0x02000000u);
}

void TestButtonGlyph::jpegHasNoTransparentColor()
{
    // A JPEG is no bitmap: its lower-left colour is an ordinary colour and stays in the picture.
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(QColor(40, 80, 160));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QVERIFY(image.save(&buffer, "JPG", 100));
    auto jpeg = std::make_unique<tk::JpegImage>();
    jpeg->loadFromData(bytes);

    TabcButtonGlyph glyph;
    glyph.setColor(kFaceColor);
    glyph.setPicture(std::move(jpeg));
    QCOMPARE(glyph.TransparentColor(), tk::clFuchsia);
    const QImage canvas = drawn(glyph, abtUp, 16, 16);
    QCOMPARE(glyph.TransparentColor(), tk::clFuchsia);
    QVERIFY(!glyph.TransparentColorSet());
    const QColor corner = canvas.pixelColor(0, 15);
    QVERIFY2(std::abs(corner.red() - 40) <= 4 && std::abs(corner.blue() - 160) <= 4,
             qPrintable(describe(corner)));
}

void TestButtonGlyph::layoutWithoutCaptionCentres_data()
{
    QTest::addColumn<TabcButtonLayout>("layout");
    QTest::addColumn<unsigned>("biDi");
    QTest::addColumn<QPoint>("glyphPos");

    // A 10x6 picture in the client (2, 3, 42, 23), margin -1 and spacing 4: the picture's corner at
    // (17, 10) in every layout.
    QTest::newRow("left") << ablGlyphLeft << 0u << QPoint(17, 10);
    QTest::newRow("right") << ablGlyphRight << 0u << QPoint(17, 10);
    QTest::newRow("top") << ablGlyphTop << 0u << QPoint(17, 10);
    QTest::newRow("bottom") << ablGlyphBottom << 0u << QPoint(17, 10);
    QTest::newRow("center") << ablGlyphCenter << 0u << QPoint(17, 10);
    QTest::newRow("left, right to left") << ablGlyphLeft << unsigned(tk::DT_RIGHT) << QPoint(17, 10);
    QTest::newRow("tiled starts at the corner") << ablGlyphTiled << 0u << QPoint(2, 3);
}

void TestButtonGlyph::layoutWithoutCaptionCentres()
{
    QFETCH(TabcButtonLayout, layout);
    QFETCH(unsigned, biDi);
    QFETCH(QPoint, glyphPos);

    TabcButtonGlyph glyph;
    glyph.setPicture(bitmapOf(picture(10, 6, kBlack)));
    QImage canvas = blankCanvas(50, 30);
    QPainter painter(&canvas);
    const TGlyphLayout where =
        glyph.ComputeGlyphLayout(painter, {2, 3, 42, 23}, biDi, QString(), layout, -1, 4);
    QCOMPARE(where.GlyphSize, QSize(10, 6));
    QCOMPARE(where.GlyphPos, glyphPos);
}

void TestButtonGlyph::marginAndSpacingSplitInThree_data()
{
    QTest::addColumn<TabcButtonLayout>("layout");
    QTest::addColumn<unsigned>("biDi");

    QTest::newRow("left") << ablGlyphLeft << 0u;
    QTest::newRow("right") << ablGlyphRight << 0u;
    QTest::newRow("left read right to left") << ablGlyphLeft << unsigned(tk::DT_RIGHT);
    QTest::newRow("top") << ablGlyphTop << 0u;
    QTest::newRow("bottom") << ablGlyphBottom << 0u;
}

void TestButtonGlyph::marginAndSpacingSplitInThree()
{
    QFETCH(TabcButtonLayout, layout);
    QFETCH(unsigned, biDi);

    TabcButtonGlyph glyph;
    glyph.setPicture(bitmapOf(picture(12, 8, kBlack)));
    QImage canvas = blankCanvas(200, 120);
    QPainter painter(&canvas);
    painter.setFont(captionFont());
    const tk::TRect client{5, 7, 185, 117}; // 180 x 110
    const TGlyphLayout where = glyph.ComputeGlyphLayout(painter, client, biDi, u"Руна"_s, layout, -1, -1);
    const tk::TRect text = where.CaptionRect;
    QVERIFY(text.width() > 0 && text.height() > 0);
    const QRect g(where.GlyphPos, where.GlyphSize);

    // The three gaps along the axis, in order from the picture's side: margin, spacing, the rest.
    int margin = 0, spacing = 0, rest = 0;
    const bool rightToLeft = (layout == ablGlyphLeft && biDi) || layout == ablGlyphRight;
    if (layout == ablGlyphTop) {
        margin = g.top() - client.Top;
        spacing = text.Top - (g.top() + g.height());
        rest = client.Bottom - text.Bottom;
    } else if (layout == ablGlyphBottom) {
        margin = client.Bottom - (g.top() + g.height());
        spacing = g.top() - text.Bottom;
        rest = text.Top - client.Top;
    } else if (rightToLeft) {
        margin = client.Right - (g.left() + g.width());
        spacing = g.left() - text.Right;
        rest = text.Left - client.Left;
    } else {
        margin = g.left() - client.Left;
        spacing = text.Left - (g.left() + g.width());
        rest = client.Right - text.Right;
    }
    QVERIFY2(margin > 0, qPrintable(QString::number(margin)));
    QCOMPARE(spacing, margin);
    // Whatever the division by three leaves over goes to the rest.
    QVERIFY2(rest >= margin && rest <= margin + 2,
             qPrintable(QStringLiteral("margin %1, rest %2").arg(margin).arg(rest)));
}

void TestButtonGlyph::caption_data()
{
    QTest::addColumn<TabcButtonState>("state");
    QTest::addColumn<bool>("disabledShadow");
    QTest::addColumn<TabcTextStyle>("style");
    QTest::addColumn<QColor>("first"); // the first ink pixel, reading row by row from the top
    QTest::addColumn<QColor>("last");  // the last one
    QTest::addColumn<bool>("centred");

    const QColor pen(10, 20, 200);
    QTest::newRow("disabled with shadow: grey over white down-right")
        << abtDisabled << true << tsNormal << kGrey << kWhite << true;
    QTest::newRow("disabled without shadow: shadow colour, top-left")
        << abtDisabled << false << tsNormal << kShadow << kShadow << false;
    QTest::newRow("disabled without shadow ignores the style")
        << abtDisabled << false << tsRaised << kShadow << kShadow << false;
    QTest::newRow("normal: the font colour") << abtUp << false << tsNormal << pen << pen << true;
    QTest::newRow("raised: highlight up-left, shadow down-right")
        << abtHot << false << tsRaised << kHighlight << kShadow << true;
    QTest::newRow("lowered: shadow up-left, highlight down-right")
        << abtDown << false << tsLowered << kShadow << kHighlight << true;
}

void TestButtonGlyph::caption()
{
    QFETCH(TabcButtonState, state);
    QFETCH(bool, disabledShadow);
    QFETCH(TabcTextStyle, style);
    QFETCH(QColor, first);
    QFETCH(QColor, last);
    QFETCH(bool, centred);

    const QColor pen(10, 20, 200);
    const tk::TRect rect{10, 5, 110, 45};
    QImage canvas = blankCanvas(120, 50);
    TabcButtonGlyph glyph;
    {
        QPainter painter(&canvas);
        painter.setFont(captionFont());
        painter.setPen(pen);
        glyph.DrawCaption(painter, u"HH"_s, 0, disabledShadow, style, state, rect);
        QCOMPARE(painter.pen().color(), pen);
    }

    std::optional<QPoint> firstInk, lastInk;
    int left = canvas.width(), right = -1, top = canvas.height(), bottom = -1;
    for (int y = 0; y < canvas.height(); ++y)
        for (int x = 0; x < canvas.width(); ++x) {
            if (canvas.pixelColor(x, y) == kBackground)
                continue;
            if (!firstInk)
                firstInk = QPoint(x, y);
            lastInk = QPoint(x, y);
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    QVERIFY(firstInk && lastInk);
    CHECK_PIXEL(canvas, firstInk.value_or(QPoint()), first);
    CHECK_PIXEL(canvas, lastInk.value_or(QPoint()), last);

    const int middleX = (left + right) / 2, middleY = (top + bottom) / 2;
    if (centred) {
        QVERIFY2(std::abs(middleX - (rect.Left + rect.Right) / 2) <= 2, qPrintable(QString::number(middleX)));
        // Capitals sit above the descent the line box keeps for other letters.
        QVERIFY2(std::abs(middleY - (rect.Top + rect.Bottom) / 2) <= 4, qPrintable(QString::number(middleY)));
    } else {
        QVERIFY2(left - rect.Left <= 3, qPrintable(QString::number(left)));
        QVERIFY2(top - rect.Top <= 5, qPrintable(QString::number(top)));
    }
}

void TestButtonGlyph::tiles_data()
{
    QTest::addColumn<tk::TRect>("area");
    QTest::addColumn<TabcButtonState>("state");
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<QColor>("expected");

    // A 4x3 tile, red at its (1, 0), blue elsewhere, kClear at its lower-left. Over the area
    // (1, 2, 11, 9) tiles start at x 1, 5, 9 and y 2, 5, 8, the last ones reaching past the area;
    // over (1, 2, 13, 11) the same tiles end exactly on the area's right and bottom edges.
    const tk::TRect past{1, 2, 11, 9}, exact{1, 2, 13, 11};
    const QColor red(255, 0, 0), blue(0, 0, 255);
    QTest::newRow("first tile's red") << past << abtUp << QPoint(2, 2) << red;
    QTest::newRow("second column's red") << past << abtUp << QPoint(6, 2) << red;
    QTest::newRow("last tile's red") << past << abtUp << QPoint(10, 8) << red;
    QTest::newRow("last column runs past the area's right") << past << abtUp << QPoint(12, 8) << blue;
    QTest::newRow("last row runs past the area's bottom") << past << abtUp << QPoint(3, 10) << blue;
    QTest::newRow("nothing right of the last column") << past << abtUp << QPoint(13, 2) << kBackground;
    QTest::newRow("nothing below the last row") << past << abtUp << QPoint(3, 11) << kBackground;
    QTest::newRow("nothing left of the area") << past << abtUp << QPoint(0, 2) << kBackground;
    QTest::newRow("nothing above the area") << past << abtUp << QPoint(2, 1) << kBackground;
    QTest::newRow("no column starts on the right edge") << exact << abtUp << QPoint(13, 2) << kBackground;
    QTest::newRow("no row starts on the bottom edge") << exact << abtUp << QPoint(3, 11) << kBackground;
    QTest::newRow("transparent pixel at rest: face") << past << abtUp << QPoint(5, 7) << kFace;
    QTest::newRow("transparent pixel latched: background")
        << past << abtExclusive << QPoint(5, 7) << kBackground;
    QTest::newRow("latched tile's red") << past << abtExclusive << QPoint(6, 5) << red;
}

void TestButtonGlyph::tiles()
{
    QFETCH(tk::TRect, area);
    QFETCH(TabcButtonState, state);
    QFETCH(QPoint, at);
    QFETCH(QColor, expected);

    QImage image = picture(4, 3, QColor(0, 0, 255));
    image.setPixelColor(1, 0, QColor(255, 0, 0));
    TabcButtonGlyph glyph;
    glyph.setColor(kFaceColor);
    glyph.setPicture(bitmapOf(image));

    QImage canvas = blankCanvas(15, 13);
    {
        QPainter painter(&canvas);
        glyph.DrawGlyphAndCaption(painter, {0, 0, 15, 13}, area, QString(), ablGlyphTiled, -1, 4, state,
                                  tsNormal, true, false, 0);
    }
    CHECK_PIXEL(canvas, at, expected);
}

void TestButtonGlyph::extremeMarginAndSpacing_data()
{
    QTest::addColumn<TabcButtonLayout>("layout");
    QTest::addColumn<int>("margin");
    QTest::addColumn<int>("spacing");
    QTest::addColumn<int>("glyphSide"); // where the picture must end up on the axis: -1 before, +1 after

    // Wrapping arithmetic would put the picture on the wrong side of the face (or trap under UBSan).
    QTest::newRow("left, margin INT_MAX") << ablGlyphLeft << INT_MAX << 4 << 1;
    QTest::newRow("right, margin INT_MAX") << ablGlyphRight << INT_MAX << 4 << -1;
    QTest::newRow("top, margin INT_MAX, spacing -1") << ablGlyphTop << INT_MAX << -1 << 1;
    QTest::newRow("bottom, margin INT_MAX") << ablGlyphBottom << INT_MAX << INT_MAX << -1;
    QTest::newRow("left, spacing INT_MIN, margin -1") << ablGlyphLeft << -1 << INT_MIN << 1;
    QTest::newRow("left, spacing INT_MAX, margin -1") << ablGlyphLeft << -1 << INT_MAX << -1;
    QTest::newRow("right, spacing INT_MIN") << ablGlyphRight << 2 << INT_MIN << 0;
    QTest::newRow("top, spacing INT_MAX") << ablGlyphTop << 2 << INT_MAX << 0;
}

void TestButtonGlyph::extremeMarginAndSpacing()
{
    QFETCH(TabcButtonLayout, layout);
    QFETCH(int, margin);
    QFETCH(int, spacing);
    QFETCH(int, glyphSide);

    TabcButtonGlyph glyph;
    glyph.setPicture(bitmapOf(picture(10, 6, kBlack)));
    QImage canvas = blankCanvas(60, 30);
    QPainter painter(&canvas);
    painter.setFont(captionFont());
    const tk::TRect client{0, 0, 60, 30};
    const TGlyphLayout where = glyph.ComputeGlyphLayout(painter, client, 0, u"W"_s, layout, margin, spacing);
    const bool across = layout == ablGlyphLeft || layout == ablGlyphRight;
    const int pos = across ? where.GlyphPos.x() : where.GlyphPos.y();
    const int face = across ? client.Right : client.Bottom;
    if (glyphSide > 0)
        QVERIFY2(pos >= face, qPrintable(QString::number(pos)));
    else if (glyphSide < 0)
        QVERIFY2(pos + 10 <= 0, qPrintable(QString::number(pos)));
    // The whole paint, shadows and pressed offsets included, must cope with the far places too.
    glyph.DrawGlyphAndCaption(painter, client, client, u"W"_s, layout, margin, spacing, abtDisabled, tsRaised,
                              true, false, 0);
    glyph.DrawGlyphAndCaption(painter, client, client, u"W"_s, layout, margin, spacing, abtUp, tsLowered,
                              true, false, 0);
}

void TestButtonGlyph::glyphBesideCaption_data()
{
    QTest::addColumn<int>("margin");
    QTest::addColumn<int>("spacing");
    QTest::addColumn<int>("captionLeft"); // -1: centred in what the picture leaves free

    // A 10x6 picture left of the caption "H" in the client (0, 0, 60, 20): the picture at (margin, 7).
    QTest::newRow("margin 2, spacing 3") << 2 << 3 << 15;
    QTest::newRow("margin 0, spacing 0") << 0 << 0 << 10;
    QTest::newRow("margin 2, spacing -1 centres the caption in the rest") << 2 << -1 << -1;
}

void TestButtonGlyph::glyphBesideCaption()
{
    QFETCH(int, margin);
    QFETCH(int, spacing);
    QFETCH(int, captionLeft);

    const QColor color(200, 30, 30);
    TabcButtonGlyph glyph;
    glyph.setColor(kFaceColor);
    glyph.setPicture(bitmapOf(picture(10, 6, color)));
    QImage canvas = blankCanvas(60, 20);
    tk::TRect caption;
    {
        QPainter painter(&canvas);
        painter.setFont(captionFont());
        caption = glyph.DrawGlyphAndCaption(painter, {0, 0, 60, 20}, {0, 0, 60, 20}, u"H"_s, ablGlyphLeft,
                                            margin, spacing, abtUp, tsNormal, true, false, 0);
    }
    CHECK_PIXEL(canvas, QPoint(margin + 1, 7), color);
    CHECK_PIXEL(canvas, QPoint(margin + 9, 12), color);
    if (margin > 0)
        CHECK_PIXEL(canvas, QPoint(margin - 1, 7), kBackground);
    CHECK_PIXEL(canvas, QPoint(margin + 1, 6), kBackground);
    if (captionLeft >= 0) {
        QCOMPARE(caption.Left, captionLeft);
    } else {
        const int before = caption.Left - (margin + 10), after = 60 - caption.Right;
        QVERIFY2(after - before >= 0 && after - before <= 1,
                 qPrintable(QStringLiteral("%1 before, %2 after").arg(before).arg(after)));
    }
}

void TestButtonGlyph::glyphListSlots()
{
    TabcGlyphList list(4, 4);
    const QImage image = picture(4, 4, kBlack);
    QCOMPARE(list.AddImage(image), 0);
    QCOMPARE(list.AddImage(image), 1);
    QCOMPARE(list.AddMaskedImage(image, tk::fromQColor(kClear)), 2);
    QCOMPARE(list.Count(), 3);
    // Only the masked image has a mask, and it covers the transparent colour alone.
    QVERIFY(list.mask(0).isNull());
    QVERIFY(!list.mask(2).isNull());
    QCOMPARE(list.mask(2).pixelIndex(0, 3), 1);
    QCOMPARE(list.mask(2).pixelIndex(1, 1), 0);

    list.DeleteImage(1);
    list.DeleteImage(1); // a second delete of a free slot changes nothing
    QCOMPARE(list.Count(), 2);
    QVERIFY(!list.occupied(1));
    QCOMPARE(list.slotCount(), 3);
    // The freed slot is taken again before the list grows; the others keep their numbers.
    QCOMPARE(list.AddImage(image), 1);
    QCOMPARE(list.AddImage(image), 3);
    QCOMPARE(list.slotCount(), 4);
    QCOMPARE(list.Count(), 4);
}

void TestButtonGlyph::glyphListImageSize_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("masked");
    QTest::addColumn<bool>("refused");

    QTest::newRow("one column short") << QSize(9, 10) << false << true;
    QTest::newRow("one row short") << QSize(10, 9) << false << true;
    QTest::newRow("one row short, masked") << QSize(10, 9) << true << true;
    QTest::newRow("exact") << QSize(10, 10) << false << false;
    QTest::newRow("larger is cropped") << QSize(12, 11) << true << false;
}

void TestButtonGlyph::glyphListImageSize()
{
    QFETCH(QSize, size);
    QFETCH(bool, masked);
    QFETCH(bool, refused);

    TabcGlyphList list(10, 10);
    const QImage image = picture(size.width(), size.height(), kBlack);
    std::optional<QString> error;
    try {
        if (masked)
            list.AddMaskedImage(image, tk::clBlack);
        else
            list.AddImage(image);
    } catch (const tk::Error &e) {
        error = e.message();
    }
    QCOMPARE(error.has_value(), refused);
    if (refused) {
        QCOMPARE(error.value_or(QString()), u"Invalid image size"_s);
        // A refused image takes no slot.
        QCOMPARE(list.Count(), 0);
        QCOMPARE(list.AddImage(picture(10, 10, kBlack)), 0);
    } else {
        QCOMPARE(list.image(0).size(), QSize(10, 10));
    }
}

void TestButtonGlyph::sameSliceSizeSharesOneList_data()
{
    QTest::addColumn<bool>("stripGoesFirst");

    QTest::newRow("strip destroyed first") << true;
    QTest::newRow("single picture destroyed first") << false;
}

void TestButtonGlyph::sameSliceSizeSharesOneList()
{
    QFETCH(bool, stripGoesFirst);

    // A two-slice strip and a single picture, both with 10x10 slices.
    auto stripGlyph = std::make_unique<TabcButtonGlyph>();
    auto singleGlyph = std::make_unique<TabcButtonGlyph>();
    stripGlyph->setColor(kFaceColor);
    singleGlyph->setColor(kFaceColor);
    stripGlyph->setPicture(bitmapOf(strip(2)));
    singleGlyph->setPicture(bitmapOf(picture(kSlice, kSlice, kSliceColor[4])));
    for (TabcButtonState state : {abtUp, abtDisabled, abtHot, abtExclusive}) {
        QVERIFY(stripGlyph->BuildStateImage(state) >= 0);
        QVERIFY(singleGlyph->BuildStateImage(state) >= 0);
    }
    QVERIFY(stripGlyph->glyphList());
    QCOMPARE(stripGlyph->glyphList(), singleGlyph->glyphList());
    QVERIFY(GlyphCache);
    QCOMPARE(GlyphCache->Count(), 1);
    QCOMPARE(stripGlyph->glyphList()->Count(), 8);

    std::unique_ptr<TabcButtonGlyph> &gone = stripGoesFirst ? stripGlyph : singleGlyph;
    std::unique_ptr<TabcButtonGlyph> &kept = stripGoesFirst ? singleGlyph : stripGlyph;
    const QColor keptUp = stripGoesFirst ? kSliceColor[4] : kSliceColor[0];
    const QColor keptDisabled = stripGoesFirst ? kShadow : kSliceColor[1];
    gone.reset();

    QVERIFY(GlyphCache);
    QCOMPARE(kept->glyphList()->Count(), 4);
    for (TabcButtonState state : {abtUp, abtDisabled, abtHot, abtExclusive})
        QVERIFY(kept->glyphList()->occupied(kept->StateImage(state)));
    CHECK_PIXEL(drawn(*kept, abtUp, kSlice, kSlice), QPoint(5, 5), keptUp);
    CHECK_PIXEL(drawn(*kept, abtDisabled, kSlice, kSlice), QPoint(5, 5), keptDisabled);

    kept.reset();
    QVERIFY(!GlyphCache);
}

void TestButtonGlyph::imageListEntry()
{
    const QColor entryColor(40, 160, 80);
    auto images = std::make_unique<TabcImageList>(6, 6);
    images->Add(picture(6, 6, entryColor));

    TabcButtonGlyph glyph;
    glyph.setColor(kFaceColor);
    glyph.setPicture(bitmapOf(strip(2)));
    QCOMPARE(int(glyph.NumGlyphs()), 2);
    glyph.setImages(images.get());
    glyph.setImageIndex(0);
    // The entry wins over the picture and is never cut into slices.
    QCOMPARE(int(glyph.NumGlyphs()), 1);
    QImage canvas = drawn(glyph, abtUp, 12, 12);
    CHECK_PIXEL(canvas, QPoint(2, 2), entryColor);
    CHECK_PIXEL(canvas, QPoint(0, 5), kFace);
    CHECK_PIXEL(canvas, QPoint(6, 2), kBackground);

    // A change of the list's contents throws the built images away.
    QVERIFY(glyph.StateImage(abtUp) >= 0);
    images->Replace(0, picture(6, 6, kSliceColor[3]));
    QCOMPARE(glyph.StateImage(abtUp), -1);
    CHECK_PIXEL(drawn(glyph, abtUp, 12, 12), QPoint(2, 2), kSliceColor[3]);

    // An index past the list's end selects nothing: the picture shows again.
    glyph.setImageIndex(1);
    QCOMPARE(int(glyph.NumGlyphs()), 2);
    CHECK_PIXEL(drawn(glyph, abtUp, 12, 12), QPoint(2, 2), kSliceColor[0]);

    // A list that goes away is forgotten.
    glyph.setImageIndex(0);
    images.reset();
    QVERIFY(!glyph.Images());
    CHECK_PIXEL(drawn(glyph, abtUp, 12, 12), QPoint(2, 2), kSliceColor[0]);
}

void TestButtonGlyph::compactStorage()
{
    CompactPictureStorage = true;
    TabcButtonGlyph glyph;
    int changes = 0;
    glyph.setColor(kFaceColor);
    glyph.setPicture(bitmapOf(strip(2)));
    glyph.OnChange = [&changes] { ++changes; };

    CHECK_PIXEL(drawn(glyph, abtUp, kSlice, kSlice), QPoint(5, 5), kSliceColor[0]);
    QVERIFY(glyph.pictureCompacted());
    // Kept away and brought back for the next image, without counting as a change of the picture.
    CHECK_PIXEL(drawn(glyph, abtDisabled, kSlice, kSlice), QPoint(5, 5), kSliceColor[1]);
    QVERIFY(glyph.pictureCompacted());
    QCOMPARE(changes, 0);
    QCOMPARE(int(glyph.NumGlyphs()), 2);
    QCOMPARE(glyph.PictureSize(), QSize(2 * kSlice, kSlice));
    QCOMPARE(glyph.StateImage(abtUp) >= 0, true);

    // Reading the picture brings it back whole.
    tk::Picture &picture = glyph.Picture();
    QVERIFY(!glyph.pictureCompacted());
    auto *bitmap = dynamic_cast<tk::BitmapImage *>(picture.graphic());
    QVERIFY(bitmap);
    QCOMPARE(bitmap->image().pixelColor(15, 5), kSliceColor[1]);
    QCOMPARE(changes, 0);

    // A new picture replaces what was kept.
    CHECK_PIXEL(drawn(glyph, abtHot, kSlice, kSlice), QPoint(5, 5), kSliceColor[0]);
    QVERIFY(glyph.pictureCompacted());
    glyph.setPicture(nullptr);
    QVERIFY(!glyph.pictureCompacted());
    QVERIFY(!glyph.Picture().graphic());
    QCOMPARE(glyph.PictureSize(), QSize(0, 0));
}

void TestButtonGlyph::smallPictureStream_data()
{
    QTest::addColumn<bool>("bitmap");
    QTest::addColumn<QByteArray>("head");

    QTest::newRow("empty picture: a zero length") << false << QByteArray(1, 0);
    QTest::newRow("bitmap: length, class name, then the bitmap file") << true
                                                                      << QByteArray("\x0b"
                                                                                    "BitmapImage"
                                                                                    "BM");
}

void TestButtonGlyph::smallPictureStream()
{
    QFETCH(bool, bitmap);
    QFETCH(QByteArray, head);

    tk::Picture source;
    if (bitmap)
        source.setGraphic(bitmapOf(strip(2)));
    TSmallPictureStream stream;
    stream.writePicture(source);
    QVERIFY2(stream.data().startsWith(head), stream.data().left(16).toHex().constData());

    tk::Picture back;
    back.setGraphic(bitmapOf(picture(3, 3, kBlack))); // to be replaced
    stream.readPicture(back);
    QCOMPARE(back.width(), source.width());
    QCOMPARE(back.height(), source.height());
    if (bitmap)
        QCOMPARE(dynamic_cast<tk::BitmapImage *>(back.graphic())->image().pixelColor(15, 5), kSliceColor[1]);
}

void TestButtonGlyph::fileFormatsLookup()
{
    TabcFileFormatsList list;
    QVERIFY(list.findClassName(u"BitmapImage"_s));
    QCOMPARE(list.findClassName(u"BitmapImage"_s)->extension, u"bmp"_s);
    // Names compare with their case.
    QVERIFY(!list.findClassName(u"bitmapimage"_s));
    // The newest entry of a name wins; extensions are kept in lower case.
    list.Add(u"DIB"_s, u"Device-independent bitmaps"_s, 7, u"BitmapImage"_s,
             [] { return std::make_unique<tk::BitmapImage>(); });
    QCOMPARE(list.findClassName(u"BitmapImage"_s)->extension, u"dib"_s);
    QCOMPARE(list.findClassName(u"BitmapImage"_s)->extra, 7);

    // A stored class nobody registered is refused by name, and the picture stays as it was.
    TSmallPictureStream stream;
    tk::Picture picture;
    picture.setGraphic(bitmapOf(strip(2)));
    stream.writePicture(picture);
    QByteArray bytes = stream.data();
    bytes.replace(1, 11, "MetafileXYZ");
    stream.setData(bytes);
    QString error;
    try {
        stream.readPicture(picture);
    } catch (const tk::Error &e) {
        error = e.message();
    }
    QCOMPARE(
        error,
        u"Graphic Class \"MetafileXYZ\" needs to be registered with the abcFileFormatsList in unit abcgreg"_s);
    QCOMPARE(picture.width(), 2 * kSlice);
}

void TestButtonGlyph::stateImagesAtPixelRatio_data()
{
    QTest::addColumn<qreal>("ratio");
    QTest::addColumn<bool>("companion");
    QTest::addColumn<TabcButtonState>("state");
    QTest::addColumn<QColor>("inside");

    // The 1x picture is red, its companion blue; the glyph covers logical (2, 2, 8 x 6) either way.
    const QColor red(200, 30, 30), blue(30, 30, 200);
    QTest::newRow("2, companion, up") << qreal(2) << true << abtUp << blue;
    QTest::newRow("2, companion, hot") << qreal(2) << true << abtHot << blue;
    QTest::newRow("2, companion, exclusive") << qreal(2) << true << abtExclusive << blue;
    QTest::newRow("2, 1x only, up") << qreal(2) << false << abtUp << red;
    QTest::newRow("2, 1x only, disabled") << qreal(2) << false << abtDisabled << kShadow;
    QTest::newRow("1.5, companion, up") << qreal(1.5) << true << abtUp << blue;
    QTest::newRow("1.5, companion, disabled") << qreal(1.5) << true << abtDisabled << kShadow;
    QTest::newRow("1.5, 1x only, exclusive") << qreal(1.5) << false << abtExclusive << red;
    QTest::newRow("1.25, 1x only, down") << qreal(1.25) << false << abtDown << red;
}

// On a denser device a state image covers exactly its logical area, from the companion when there is
// one; its see-through pixels stay see-through.
void TestButtonGlyph::stateImagesAtPixelRatio()
{
    QFETCH(qreal, ratio);
    QFETCH(bool, companion);
    QFETCH(TabcButtonState, state);
    QFETCH(QColor, inside);

    QImage single = picture(8, 6, QColor(200, 30, 30));
    QImage dense = picture(16, 12, QColor(30, 30, 200));
    for (const QPoint p : {QPoint(0, 11), QPoint(1, 11), QPoint(1, 10), QPoint(0, 10)})
        dense.setPixelColor(p, kClear); // the whole lower-left picture pixel, as the art has it
    TabcButtonGlyph glyph;
    glyph.setColor(kFaceColor);
    glyph.Picture().setGraphic(bitmapOf(single), companion ? bitmapOf(dense) : nullptr);

    QImage canvas = canvasAtRatio({12, 10}, ratio);
    {
        QPainter painter(&canvas);
        glyph.DrawGlyphImage(painter, state, {2, 2});
    }
    const QRectF area(2, 2, 8, 6);
    const qreal onePixel = 1 / ratio;
    for (int y = 0; y < canvas.height(); ++y)
        for (int x = 0; x < canvas.width(); ++x) {
            const QPointF centre = QPointF(x + 0.5, y + 0.5) / ratio;
            const QString where = QStringLiteral("device pixel (%1, %2)").arg(x).arg(y);
            if (!area.adjusted(-onePixel, -onePixel, onePixel, onePixel).contains(centre))
                QVERIFY2(canvas.pixelColor(x, y) == kBackground, qPrintable(where + u" lies outside"_s));
            else if (area.adjusted(onePixel, onePixel, -onePixel, -onePixel).contains(centre) &&
                     state != abtExclusive)
                QVERIFY2(canvas.pixelColor(x, y) != kBackground, qPrintable(where + u" left empty"_s));
        }
    // The middle of logical pixel (5, 4) of the glyph; the disabled image is the picture's outline.
    const QColor middle = canvas.pixelColor(QPoint(int(7.5 * ratio), int(6.5 * ratio)));
    QVERIFY2(near(middle, inside), qPrintable(describe(middle)));
    // The companion's key-coloured lower-left corner: the face, or what lies below for the latched image.
    // (A single 1x key pixel, smoothly enlarged, rightly blends with its neighbours.)
    const QColor corner = canvas.pixelColor(QPoint(int(2.5 * ratio), int(7.5 * ratio)));
    if (companion)
        QVERIFY2(near(corner, state == abtExclusive ? kBackground : kFace), qPrintable(describe(corner)));
}

void TestButtonGlyph::denseImagesLeaveWithTheirSlot()
{
    TabcGlyphList list(4, 4);
    const int slot = list.AddImage(picture(4, 4, kWhite));
    QImage dense(8, 8, QImage::Format_ARGB32_Premultiplied);
    dense.setDevicePixelRatio(2);
    list.setDenseImage(slot, dense);
    QVERIFY(list.denseImage(slot, 2));
    QVERIFY(!list.denseImage(slot, 1.5));
    list.DeleteImage(slot);
    // The next image takes the freed slot: the old picture's dense image must not come back with it.
    QCOMPARE(list.AddImage(picture(4, 4, kBlack)), slot);
    QVERIFY(!list.denseImage(slot, 2));
}

QTEST_MAIN(TestButtonGlyph)

#include "tst_abcbtnglyph.moc"
