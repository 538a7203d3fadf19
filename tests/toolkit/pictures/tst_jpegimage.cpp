#include "tests/support/jpegfiles.h"
#include "tests/support/testcolors.h"
#include "toolkit/base/errors.h"
#include "toolkit/pictures/graphics.h"
#include "toolkit/pictures/jpegimage.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <jerror.h>
#include <jpeglib.h>

#include <utility>
#include <vector>

using namespace Qt::StringLiterals;

using tk::JpegImage;
using namespace testfiles;

namespace {

const QRgb kBackground = qRgb(255, 0, 255);
const QRgb kMidGrey = qRgb(128, 128, 128);

// Smooth in every direction but different at every pixel, so that a picture shifted by a pixel shows.
QImage gradient(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y,
                           qRgb(x * 255 / width, y * 255 / height,
                                128 + int(100 * std::sin(x / 6.0) * std::cos(y / 9.0))));
    return image;
}

qsizetype markerOffset(const QByteArray &jpeg, uchar marker)
{
    const char bytes[] = {char(0xFF), char(marker)};
    return jpeg.indexOf(QByteArray(bytes, 2));
}

// Where the entropy-coded data of the scan whose header starts at sos begins and ends (our files have
// no restart markers).
std::pair<qsizetype, qsizetype> scanDataOf(const QByteArray &jpeg, qsizetype sos)
{
    const qsizetype start = sos + 2 + ((uchar(jpeg[sos + 2]) << 8) | uchar(jpeg[sos + 3]));
    qsizetype end = start;
    while (end + 1 < jpeg.size() && !(uchar(jpeg[end]) == 0xFF && uchar(jpeg[end + 1]) != 0))
        ++end;
    return {start, end};
}

QImage filledTarget(QSize size = QSize(100, 80))
{
    QImage target(size, QImage::Format_ARGB32_Premultiplied);
    target.fill(kBackground);
    return target;
}

void drawInto(QImage &target, JpegImage &jpeg, QPoint origin, const QRect &visible)
{
    QPainter painter(&target);
    jpeg.draw(painter, origin, visible);
}

bool near(QRgb actual, QRgb expected, int tolerance)
{
    return std::abs(qRed(actual) - qRed(expected)) <= tolerance &&
           std::abs(qGreen(actual) - qGreen(expected)) <= tolerance &&
           std::abs(qBlue(actual) - qBlue(expected)) <= tolerance && qAlpha(actual) == 255;
}

QString jpegError(int code)
{
    return QStringLiteral("JPEG error #%1").arg(code);
}

QRgb expectedColor(Encoding encoding, QRgb color)
{
    if (encoding != Encoding::Grayscale)
        return color;
    const int grey = qGray(color);
    return qRgb(grey, grey, grey);
}

const char *nameOf(Encoding encoding)
{
    switch (encoding) {
    case Encoding::Baseline444:
        return "baseline 4:4:4";
    case Encoding::Baseline420:
        return "baseline 4:2:0";
    case Encoding::Progressive420:
        return "progressive 4:2:0";
    case Encoding::Grayscale:
        return "grayscale";
    case Encoding::CmykInverted:
        return "CMYK inverted, APP14 marker";
    case Encoding::CmykPlain:
        return "CMYK plain, no APP14 marker";
    case Encoding::Ycck:
        return "YCCK";
    }
    return "";
}

const Encoding kAllEncodings[] = {Encoding::Baseline444, Encoding::Baseline420,  Encoding::Progressive420,
                                  Encoding::Grayscale,   Encoding::CmykInverted, Encoding::CmykPlain,
                                  Encoding::Ycck};

// A progressive scan script with one scan per AC coefficient and component: legal, and absurd.
std::vector<Scan> scanPerCoefficient(int components)
{
    std::vector<Scan> scans;
    std::vector<int> all;
    all.reserve(std::size_t(components));
    for (int c = 0; c < components; ++c)
        all.push_back(c);
    scans.push_back({all, 0, 0, 0, 0});
    for (int c = 0; c < components; ++c)
        for (int k = 1; k < 64; ++k)
            scans.push_back({{c}, k, k, 0, 0});
    return scans;
}

// What libjpeg itself makes of data, read to the last row whatever is missing: where a file is cut
// short, the rows it delivers are all there is to know about the picture.
QImage decodedByLibjpeg(const QByteArray &data)
{
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    err.output_message = [](j_common_ptr) {};
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char *>(data.constData()), data.size());
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? JCS_EXT_BGRA : JCS_EXT_ARGB;
    jpeg_start_decompress(&cinfo);
    QImage image(int(cinfo.output_width), int(cinfo.output_height), QImage::Format_RGB32);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = image.scanLine(int(cinfo.output_scanline));
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_abort_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return image;
}

// The first row and column where two images of one size differ, or an empty string.
QString firstDifference(const QImage &actual, const QImage &expected)
{
    for (int y = 0; y < expected.height(); ++y)
        for (int x = 0; x < expected.width(); ++x)
            if (actual.pixel(x, y) != expected.pixel(x, y))
                return QStringLiteral("(%1, %2): %3, libjpeg %4")
                    .arg(x)
                    .arg(y)
                    .arg(describe(QColor::fromRgba(actual.pixel(x, y))),
                         describe(QColor::fromRgba(expected.pixel(x, y))));
    return {};
}

} // namespace

Q_DECLARE_METATYPE(Encoding)

class TestJpegImage : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void sizeAfterLoad_data();
    void sizeAfterLoad();
    void failedLoadKeepsPicture_data();
    void failedLoadKeepsPicture();
    void colorsAfterDraw_data();
    void colorsAfterDraw();
    void partialDrawMatchesFullDraw_data();
    void partialDrawMatchesFullDraw();
    void hugeHeader_data();
    void hugeHeader();
    void visibleBeyondDevice_data();
    void visibleBeyondDevice();
    void truncatedData_data();
    void truncatedData();
    void truncatedKeepsEveryDecodedRow_data();
    void truncatedKeepsEveryDecodedRow();
    void scanCount_data();
    void scanCount();
    void cache_data();
    void cache();
    void repaintScaled_data();
    void repaintScaled();
    void decodeAhead_data();
    void decodeAhead();
    void decodeAheadOfAnotherPicture();
    void pictureDecodeAhead_data();
    void pictureDecodeAhead();
    void loadFromFile_data();
    void loadFromFile();
    void registeredExtensions_data();
    void registeredExtensions();
    void highDensityCompanion_data();
    void highDensityCompanion();
    void drawnSmaller_data();
    void drawnSmaller();
    void largePictureCentred();
    void fuzzFindings_data();
    void fuzzFindings();
};

void TestJpegImage::initTestCase()
{
    tk::registerJpegFormat();
}

void TestJpegImage::sizeAfterLoad_data()
{
    QTest::addColumn<Encoding>("encoding");
    QTest::addColumn<QSize>("size");
    QTest::newRow("baseline 4:2:0, 64 x 48") << Encoding::Baseline420 << QSize(64, 48);
    QTest::newRow("baseline 4:4:4, 1 x 1") << Encoding::Baseline444 << QSize(1, 1);
    QTest::newRow("progressive, 33 x 17") << Encoding::Progressive420 << QSize(33, 17);
    QTest::newRow("grayscale, 7 x 300") << Encoding::Grayscale << QSize(7, 300);
    QTest::newRow("CMYK, 300 x 7") << Encoding::CmykInverted << QSize(300, 7);
}

void TestJpegImage::sizeAfterLoad()
{
    QFETCH(Encoding, encoding);
    QFETCH(QSize, size);
    JpegImage jpeg;
    QVERIFY(jpeg.empty());
    jpeg.loadFromData(encodeJpeg(quadrants(size.width(), size.height()), encoding));
    QCOMPARE(QSize(jpeg.width(), jpeg.height()), size);
    QVERIFY(!jpeg.empty());
    QVERIFY(jpeg.decodedRect().toRect().isEmpty()); // loading reads the header only
    QCOMPARE(jpeg.decodeCount(), 0);
}

void TestJpegImage::failedLoadKeepsPicture_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("message");
    const QByteArray good = encodeJpeg(quadrants(40, 24), Encoding::Baseline420);
    const qsizetype sof = markerOffset(good, 0xC0);
    QTest::newRow("empty") << QByteArray() << jpegError(JERR_INPUT_EMPTY);
    QTest::newRow("PNG signature") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)
                                   << jpegError(JERR_NO_SOI);
    QTest::newRow("text") << QByteArray("g\\7.jpg") << jpegError(JERR_NO_SOI);
    QTest::newRow("one byte 0xFF") << QByteArray(1, char(0xFF)) << jpegError(JERR_NO_SOI);
    QTest::newRow("start of image only") << good.left(2) << jpegError(JERR_NO_IMAGE);
    QTest::newRow("cut before the frame header") << good.left(sof) << jpegError(JERR_NO_IMAGE);
    QTest::newRow("width 0") << withSides(good, 0, 24) << jpegError(JERR_EMPTY_IMAGE);
    QTest::newRow("height 0") << withSides(good, 40, 0) << jpegError(JERR_EMPTY_IMAGE);
    QTest::newRow("width 65501") << withSides(good, 65501, 24) << jpegError(JERR_IMAGE_TOO_BIG);
    QTest::newRow("sides 65535") << withSides(good, 65535, 65535) << jpegError(JERR_IMAGE_TOO_BIG);
}

void TestJpegImage::failedLoadKeepsPicture()
{
    QFETCH(QByteArray, data);
    QFETCH(QString, message);
    JpegImage jpeg;
    jpeg.loadFromData(encodeJpeg(quadrants(64, 48), Encoding::Baseline420));
    const QRect topLeft(0, 0, 32, 24);
    QImage before = filledTarget();
    drawInto(before, jpeg, QPoint(0, 0), topLeft);
    const QRect decoded = jpeg.decodedRect().toRect();
    const qint64 cacheKey = jpeg.decodedImage().cacheKey();

    try {
        jpeg.loadFromData(data);
        QFAIL("the load did not fail");
    } catch (const tk::Error &error) {
        QCOMPARE(error.message(), message);
    }

    QCOMPARE(QSize(jpeg.width(), jpeg.height()), QSize(64, 48));
    QVERIFY(!jpeg.decodeFailed());
    QCOMPARE(jpeg.decodedRect().toRect(), decoded);
    QCOMPARE(jpeg.decodedImage().cacheKey(), cacheKey);
    QImage after = filledTarget();
    drawInto(after, jpeg, QPoint(0, 0), topLeft);
    QCOMPARE(jpeg.decodeCount(), 1);
    QCOMPARE(after, before);

    // The old bytes are kept too: a part not decoded before still comes from the old picture.
    QImage whole = filledTarget();
    drawInto(whole, jpeg, QPoint(0, 0), whole.rect());
    QCOMPARE(jpeg.decodeCount(), 2);
    QVERIFY2(near(whole.pixel(56, 40), kWhite, 24),
             qPrintable(describe(QColor::fromRgba(whole.pixel(56, 40)))));
}

void TestJpegImage::colorsAfterDraw_data()
{
    QTest::addColumn<Encoding>("encoding");
    QTest::addColumn<QPoint>("pixel");
    QTest::addColumn<QRgb>("color");
    // The 64 x 48 picture is drawn at (10, 7) into a 100 x 80 target.
    const struct {
        const char *where;
        QPoint pixel;
        QRgb color;
        bool picture;
    } probes[] = {
        {"red top-left corner at (10, 7)", {10, 7}, kRed, true},
        {"red near the middle at (39, 28)", {39, 28}, kRed, true},
        {"green near the middle at (44, 9)", {44, 9}, kGreen, true},
        {"green top-right corner at (73, 7)", {73, 7}, kGreen, true},
        {"blue bottom-left corner at (10, 54)", {10, 54}, kBlue, true},
        {"white bottom-right corner at (73, 54)", {73, 54}, kWhite, true},
        {"background left of the picture at (9, 30)", {9, 30}, kBackground, false},
        {"background above the picture at (40, 6)", {40, 6}, kBackground, false},
        {"background right of the picture at (74, 30)", {74, 30}, kBackground, false},
        {"background below the picture at (40, 55)", {40, 55}, kBackground, false},
    };
    for (Encoding encoding : kAllEncodings) {
        for (const auto &probe : probes) {
            QTest::addRow("%s: %s", nameOf(encoding), probe.where)
                << encoding << probe.pixel
                << (probe.picture ? expectedColor(encoding, probe.color) : probe.color);
        }
    }
}

void TestJpegImage::colorsAfterDraw()
{
    QFETCH(Encoding, encoding);
    QFETCH(QPoint, pixel);
    QFETCH(QRgb, color);
    JpegImage jpeg;
    jpeg.loadFromData(encodeJpeg(quadrants(64, 48), encoding));
    QImage target = filledTarget();
    drawInto(target, jpeg, QPoint(10, 7), target.rect());
    QVERIFY(!jpeg.decodeFailed());
    const QRgb actual = target.pixel(pixel);
    // Edges of flat areas are where JPEG loss is largest; 24 levels still tell every colour here apart.
    QVERIFY2(near(actual, color, 24),
             qPrintable(describe(QColor::fromRgba(actual)) + QStringLiteral(" expected ") +
                        describe(QColor::fromRgba(color))));
}

void TestJpegImage::partialDrawMatchesFullDraw_data()
{
    QTest::addColumn<Encoding>("encoding");
    QTest::addColumn<QRect>("visible");
    // The 200 x 120 picture is drawn at (5, 3); visible is in target coordinates.
    const struct {
        const char *what;
        QRect visible;
    } regions[] = {
        {"inside, unaligned (42, 26) 50 x 41", {42, 26, 50, 41}},
        {"single pixel (104, 64)", {104, 64, 1, 1}},
        {"aligned to 16 in the picture (37, 35) 32 x 16", {37, 35, 32, 16}},
        {"over the bottom-right corner (150, 90) 80 x 60", {150, 90, 80, 60}},
        {"one row (6, 77) 190 x 1", {6, 77, 190, 1}},
        {"one column (133, 3) 1 x 120", {133, 3, 1, 120}},
    };
    for (Encoding encoding : {Encoding::Baseline444, Encoding::Baseline420, Encoding::Progressive420,
                              Encoding::Grayscale, Encoding::CmykInverted, Encoding::Ycck}) {
        for (const auto &region : regions)
            QTest::addRow("%s: %s", nameOf(encoding), region.what) << encoding << region.visible;
    }
}

void TestJpegImage::partialDrawMatchesFullDraw()
{
    QFETCH(Encoding, encoding);
    QFETCH(QRect, visible);
    const QByteArray data = encodeJpeg(gradient(200, 120), encoding);
    const QPoint origin(5, 3);
    const QRect pictureArea(origin, QSize(200, 120));

    JpegImage whole;
    whole.loadFromData(data);
    QImage reference = filledTarget(QSize(240, 160));
    drawInto(reference, whole, origin, reference.rect());
    QCOMPARE(whole.decodedRect(), QRect(0, 0, 200, 120));

    JpegImage part;
    part.loadFromData(data);
    QImage target = filledTarget(QSize(240, 160));
    drawInto(target, part, origin, visible);
    QVERIFY(!part.decodeFailed());

    const QRect needed = (visible & pictureArea).translated(-origin);
    const QRect decoded = part.decodedRect().toRect();
    QVERIFY2(decoded.contains(needed), qPrintable(QStringLiteral("decoded %1,%2 %3x%4")
                                                      .arg(decoded.x())
                                                      .arg(decoded.y())
                                                      .arg(decoded.width())
                                                      .arg(decoded.height())));
    // A cropped decode is widened to whole iMCUs (16 columns at most) on the left and by a column for
    // upsampling on either side, no further: memory follows what is visible.
    QVERIFY(decoded.left() >= needed.left() - 16);
    QVERIFY(decoded.right() <= needed.right() + 16);
    QCOMPARE(decoded.top(), needed.top());
    QCOMPARE(decoded.bottom(), needed.bottom());
    QCOMPARE(part.decodedImage().size(), decoded.size());

    // The cache is handed to a painter as Format_RGB32, which requires an opaque fourth byte.
    const QImage &image = part.decodedImage();
    for (int y = 0; y < image.height(); ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            QVERIFY2(qAlpha(line[x]) == 255, qPrintable(QStringLiteral("pixel %1, %2").arg(x).arg(y)));
    }

    // A part decoded alone is exactly that part of the whole: no seams where paints meet.
    const QRect compared = visible & pictureArea;
    for (int y = compared.top(); y <= compared.bottom(); ++y) {
        for (int x = compared.left(); x <= compared.right(); ++x) {
            const QRgb actual = target.pixel(x, y);
            const QRgb expected = reference.pixel(x, y);
            QVERIFY2(actual == expected, qPrintable(QStringLiteral("at (%1, %2): %3 expected %4")
                                                        .arg(x)
                                                        .arg(y)
                                                        .arg(describe(QColor::fromRgba(actual)),
                                                             describe(QColor::fromRgba(expected)))));
        }
    }
}

void TestJpegImage::hugeHeader_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QPoint>("origin");
    QTest::addColumn<bool>("failed");
    QTest::addColumn<QRgb>("colorAt8x8"); // target pixel (8, 8)
    // The first MCU of the small file's data lands at the top-left corner of the huge one; the rest of
    // the huge picture has no data and decodes grey.
    const QByteArray baseline = encodeJpeg(quadrants(64, 48), Encoding::Baseline420);
    const QByteArray progressive = encodeJpeg(quadrants(64, 48), Encoding::Progressive420);
    QTest::newRow("30000 x 30000, top-left corner")
        << withSides(baseline, 30000, 30000) << QSize(30000, 30000) << QPoint(0, 0) << false << kRed;
    QTest::newRow("65500 x 65500, top-left corner")
        << withSides(baseline, 65500, 65500) << QSize(65500, 65500) << QPoint(0, 0) << false << kRed;
    QTest::newRow("30000 x 30000, at (20000, 15000)")
        << withSides(baseline, 30000, 30000) << QSize(30000, 30000) << QPoint(-20000, -15000) << false
        << kMidGrey;
    QTest::newRow("65500 x 65500, bottom-right corner")
        << withSides(baseline, 65500, 65500) << QSize(65500, 65500) << QPoint(-65500 + 145, -65500 + 177)
        << false << kMidGrey;
    // Progressive pixels are gathered for the whole picture before the first row: that is refused, and
    // the picture shows grey rather than nothing.
    QTest::newRow("progressive 30000 x 30000")
        << withSides(progressive, 30000, 30000) << QSize(30000, 30000) << QPoint(0, 0) << true << kMidGrey;
}

void TestJpegImage::hugeHeader()
{
    QFETCH(QByteArray, data);
    QFETCH(QSize, size);
    QFETCH(QPoint, origin);
    QFETCH(bool, failed);
    QFETCH(QRgb, colorAt8x8);
    JpegImage jpeg;
    jpeg.loadFromData(data);
    QCOMPARE(QSize(jpeg.width(), jpeg.height()), size);

    const QRect visible(0, 0, 145, 177);
    QImage target = filledTarget(QSize(200, 200));
    drawInto(target, jpeg, origin, visible);
    QCOMPARE(jpeg.decodeFailed(), failed);
    const QRect needed = visible.translated(-origin);
    if (failed) {
        QVERIFY(jpeg.decodedRect().toRect().isEmpty());
    } else {
        QVERIFY(jpeg.decodedRect().toRect().contains(needed));
        QVERIFY(needed.adjusted(-16, 0, 16, 0)
                    .contains(jpeg.decodedRect().toRect())); // at most an iMCU more a side
        QCOMPARE(jpeg.decodedRect().toRect().height(), 177);
        QCOMPARE(jpeg.decodedImage().size(), jpeg.decodedRect().toRect().size());
    }
    const QRgb actual = target.pixel(8, 8);
    QVERIFY2(near(actual, colorAt8x8, 24), qPrintable(describe(QColor::fromRgba(actual))));
}

void TestJpegImage::visibleBeyondDevice_data()
{
    QTest::addColumn<QTransform>("transform");
    QTest::addColumn<QRect>("reachable"); // the 120 x 90 target's pixels in picture coordinates
    QTest::newRow("identity") << QTransform() << QRect(0, 0, 120, 90);
    QTest::newRow("scaled by 2") << QTransform::fromScale(2, 2) << QRect(0, 0, 60, 45);
    QTest::newRow("translated by (-50, -40)")
        << QTransform::fromTranslate(-50, -40) << QRect(50, 40, 120, 90);
}

void TestJpegImage::visibleBeyondDevice()
{
    QFETCH(QTransform, transform);
    QFETCH(QRect, reachable);
    // A caller passing far more than can be seen must not make a huge picture decode all of it.
    JpegImage jpeg;
    jpeg.loadFromData(withSides(encodeJpeg(quadrants(64, 48), Encoding::Baseline420), 30000, 30000));
    QImage target = filledTarget(QSize(120, 90));
    {
        QPainter painter(&target);
        painter.setTransform(transform);
        jpeg.draw(painter, QPoint(0, 0), QRect(-30000, -30000, 90000, 90000));
    }
    QVERIFY(!jpeg.decodeFailed());
    QVERIFY(jpeg.decodedRect().toRect().contains(reachable));
    QVERIFY(reachable.adjusted(-16, -1, 16, 1).contains(jpeg.decodedRect().toRect()));
}

void TestJpegImage::truncatedData_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QRgb>("topLeft");     // target pixel (8, 8)
    QTest::addColumn<QRgb>("bottomRight"); // target pixel (56, 56)
    // Cut inside scan data, libjpeg itself keeps what came before and greys the rest. Cut inside the
    // header or tables of a later scan, it gives up; the scans before still make a (coarser) picture.
    const QByteArray baseline = encodeJpeg(quadrants(64, 64), Encoding::Baseline444);
    const auto [baselineData, baselineEnd] = scanDataOf(baseline, markerOffset(baseline, 0xDA));
    QTest::newRow("baseline cut in the middle of its scan")
        << baseline.left((baselineData + baselineEnd) / 2) << kRed << kMidGrey;

    const QByteArray progressive = encodeJpeg(quadrants(64, 64), Encoding::Progressive420);
    const auto [firstData, firstEnd] = scanDataOf(progressive, markerOffset(progressive, 0xDA));
    QTest::newRow("progressive cut in the middle of its first scan")
        << progressive.left((firstData + firstEnd) / 2) << kRed << kMidGrey;
    const qsizetype secondScan = progressive.indexOf("\xFF\xDA", firstEnd);
    const auto [secondData, secondEnd] = scanDataOf(progressive, secondScan);
    QVERIFY(secondScan > 0 && progressive.mid(secondEnd, 2) == QByteArray("\xFF\xC4"));
    QTest::newRow("progressive cut inside the header of its second scan")
        << progressive.left(secondScan + 6) << kRed << kWhite;
    QTest::newRow("progressive cut inside the tables after its second scan")
        << progressive.left(secondEnd + 6) << kRed << kWhite;
}

void TestJpegImage::truncatedData()
{
    QFETCH(QByteArray, data);
    QFETCH(QRgb, topLeft);
    QFETCH(QRgb, bottomRight);
    JpegImage jpeg;
    jpeg.loadFromData(data);
    QCOMPARE(QSize(jpeg.width(), jpeg.height()), QSize(64, 64));
    QImage target = filledTarget();
    drawInto(target, jpeg, QPoint(0, 0), QRect(0, 0, 32, 32));
    drawInto(target, jpeg, QPoint(0, 0), target.rect());
    QVERIFY(!jpeg.decodeFailed());
    QCOMPARE(jpeg.decodedRect().toRect(), QRect(0, 0, 64, 64));
    QCOMPARE(jpeg.decodeCount(), 2);
    QVERIFY2(near(target.pixel(8, 8), topLeft, 24),
             qPrintable(describe(QColor::fromRgba(target.pixel(8, 8)))));
    QVERIFY2(near(target.pixel(56, 56), bottomRight, 24),
             qPrintable(describe(QColor::fromRgba(target.pixel(56, 56)))));
}

void TestJpegImage::truncatedKeepsEveryDecodedRow_data()
{
    QTest::addColumn<QByteArray>("data");
    QFile rune(QStringLiteral(ORMEX_DATA_DIR "/g/1.jpg"));
    QVERIFY(rune.open(QIODevice::ReadOnly));
    const QByteArray picture = rune.readAll();
    QTest::newRow("rune picture cut to 5000 bytes") << picture.left(5000);
    QTest::newRow("rune picture cut to 600 bytes") << picture.left(600);
    // Cut where a row of blocks ends in the middle, for each way of sampling colour.
    for (const Encoding encoding : {Encoding::Baseline444, Encoding::Baseline420, Encoding::Grayscale}) {
        const QByteArray whole = encodeJpeg(gradient(90, 120), encoding);
        const auto [start, end] = scanDataOf(whole, markerOffset(whole, 0xDA));
        for (const int percent : {13, 50, 87})
            QTest::addRow("%s cut at %d%% of its scan", nameOf(encoding), percent)
                << whole.left(start + (end - start) * percent / 100);
    }
    // A few bits a row of blocks: the decoder has read past several rows before it runs out.
    QImage stripes(8, 400, QImage::Format_RGB32);
    for (int y = 0; y < stripes.height(); ++y)
        for (int x = 0; x < stripes.width(); ++x)
            stripes.setPixel(x, y, y / 8 % 2 ? kWhite : qRgb(40, 40, 40));
    const QByteArray narrow = encodeJpeg(stripes, Encoding::Grayscale);
    const auto [start, end] = scanDataOf(narrow, markerOffset(narrow, 0xDA));
    QTest::newRow("narrow grayscale cut in the middle of its scan") << narrow.left((start + end) / 2);
}

void TestJpegImage::truncatedKeepsEveryDecodedRow()
{
    QFETCH(QByteArray, data);
    const QImage expected = decodedByLibjpeg(data);
    JpegImage jpeg;
    jpeg.loadFromData(data);
    QCOMPARE(QSize(jpeg.width(), jpeg.height()), expected.size());
    QImage target = filledTarget(expected.size());
    drawInto(target, jpeg, QPoint(0, 0), target.rect());
    const QString difference = firstDifference(target.convertToFormat(QImage::Format_RGB32), expected);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

void TestJpegImage::scanCount_data()
{
    QTest::addColumn<Encoding>("encoding");
    QTest::addColumn<int>("components");
    QTest::addColumn<bool>("failed");
    QTest::addColumn<QRgb>("colorAt8x8"); // target pixel (8, 8), red in the picture
    // One scan per coefficient: 1 + 63 scans for grey, 1 + 3 x 63 for colour.
    QTest::newRow("64 scans, grayscale")
        << Encoding::Grayscale << 1 << false << expectedColor(Encoding::Grayscale, kRed);
    QTest::newRow("190 scans, colour") << Encoding::Baseline444 << 3 << true << kMidGrey;
}

void TestJpegImage::scanCount()
{
    QFETCH(Encoding, encoding);
    QFETCH(int, components);
    QFETCH(bool, failed);
    QFETCH(QRgb, colorAt8x8);
    JpegImage jpeg;
    jpeg.loadFromData(encodeJpeg(quadrants(64, 48), encoding, scanPerCoefficient(components)));
    QImage target = filledTarget();
    drawInto(target, jpeg, QPoint(0, 0), target.rect());
    QCOMPARE(jpeg.decodeFailed(), failed);
    QCOMPARE(jpeg.decodedRect().toRect().isEmpty(), failed);
    QVERIFY2(near(target.pixel(8, 8), colorAt8x8, 24),
             qPrintable(describe(QColor::fromRgba(target.pixel(8, 8)))));

    // A picture that failed is not decoded again on the next paint, wherever it is.
    drawInto(target, jpeg, QPoint(0, 0), target.rect());
    drawInto(target, jpeg, QPoint(-10, -10), target.rect());
    QCOMPARE(jpeg.decodeCount(), 1);
}

void TestJpegImage::cache_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QPoint>("firstOrigin");
    QTest::addColumn<QRect>("firstVisible");
    QTest::addColumn<QPoint>("secondOrigin");
    QTest::addColumn<QRect>("secondVisible");
    QTest::addColumn<int>("decodes");
    QTest::addColumn<bool>("keepsFirst"); // the cache still covers the first region afterwards
    const QSize small(256, 200);
    QTest::newRow("same region again") << small << QPoint(10, 10) << QRect(20, 20, 100, 80) << QPoint(10, 10)
                                       << QRect(20, 20, 100, 80) << 1 << true;
    QTest::newRow("part of the decoded region") << small << QPoint(10, 10) << QRect(20, 20, 100, 80)
                                                << QPoint(10, 10) << QRect(60, 50, 30, 20) << 1 << true;
    QTest::newRow("same picture part at another origin")
        << small << QPoint(10, 10) << QRect(20, 20, 100, 80) << QPoint(-30, 5) << QRect(-20, 15, 100, 80) << 1
        << true;
    QTest::newRow("region below the decoded one") << small << QPoint(0, 0) << QRect(0, 0, 100, 50)
                                                  << QPoint(0, 0) << QRect(0, 120, 100, 50) << 2 << true;
    QTest::newRow("region overlapping the decoded one")
        << small << QPoint(0, 0) << QRect(0, 0, 100, 50) << QPoint(0, 0) << QRect(50, 25, 100, 50) << 2
        << true;
    // Growing the cache to both regions of a huge picture would take the memory it must not.
    QTest::newRow("far apart in a huge picture")
        << QSize(30000, 30000) << QPoint(0, 0) << QRect(0, 0, 145, 177) << QPoint(-20000, -20000)
        << QRect(0, 0, 145, 177) << 2 << false;
}

void TestJpegImage::cache()
{
    QFETCH(QSize, size);
    QFETCH(QPoint, firstOrigin);
    QFETCH(QRect, firstVisible);
    QFETCH(QPoint, secondOrigin);
    QFETCH(QRect, secondVisible);
    QFETCH(int, decodes);
    QFETCH(bool, keepsFirst);
    // 4:4:4 has no upsampling across block edges, so any crop decodes exactly the pixels of any other.
    QByteArray data = encodeJpeg(gradient(256, 200), Encoding::Baseline444);
    if (size != QSize(256, 200))
        data = withSides(data, size.width(), size.height());

    JpegImage jpeg;
    jpeg.loadFromData(data);
    QImage first = filledTarget(QSize(300, 250));
    drawInto(first, jpeg, firstOrigin, firstVisible);
    QCOMPARE(jpeg.decodeCount(), 1);
    const qint64 firstImage = jpeg.decodedImage().cacheKey();

    QImage second = filledTarget(QSize(300, 250));
    drawInto(second, jpeg, secondOrigin, secondVisible);
    QCOMPARE(jpeg.decodeCount(), decodes);
    QCOMPARE(jpeg.decodedImage().cacheKey() == firstImage, decodes == 1);
    const QRect secondNeeded = (secondVisible & QRect(secondOrigin, size)).translated(-secondOrigin);
    QVERIFY(jpeg.decodedRect().toRect().contains(secondNeeded));
    const QRect firstNeeded = (firstVisible & QRect(firstOrigin, size)).translated(-firstOrigin);
    QCOMPARE(jpeg.decodedRect().toRect().contains(firstNeeded), keepsFirst);

    // Whether from the cache or not, the second draw shows what a fresh picture shows there.
    JpegImage fresh;
    fresh.loadFromData(data);
    QImage reference = filledTarget(QSize(300, 250));
    drawInto(reference, fresh, secondOrigin, secondVisible);
    const QRect compared = secondVisible & QRect(secondOrigin, size) & second.rect();
    QCOMPARE(second.copy(compared), reference.copy(compared));
}

void TestJpegImage::repaintScaled_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QSizeF>("scale"); // the painter's, along each axis
    QTest::addColumn<qreal>("ratio");
    // Stretched into a slot, a long picture is averaged down along its length only: the cache is as fine
    // as each axis needs, and a repaint takes it.
    QTest::newRow("tall, stretched") << QSize(64, 4000) << QSizeF(145.0 / 64, 177.0 / 4000) << 1.0;
    QTest::newRow("tall, stretched, ratio 2") << QSize(64, 4000) << QSizeF(145.0 / 64, 177.0 / 4000) << 2.0;
    QTest::newRow("wide, stretched") << QSize(4000, 48) << QSizeF(145.0 / 4000, 177.0 / 48) << 1.0;
    QTest::newRow("smaller both ways") << QSize(1200, 960) << QSizeF(0.1, 0.1) << 1.0;
    QTest::newRow("unscaled") << QSize(200, 120) << QSizeF(1, 1) << 1.0;
}

void TestJpegImage::repaintScaled()
{
    QFETCH(QSize, size);
    QFETCH(QSizeF, scale);
    QFETCH(qreal, ratio);
    JpegImage jpeg;
    jpeg.loadFromData(encodeJpeg(gradient(size.width(), size.height()), Encoding::Baseline420));
    QImage paints[2];
    for (QImage &target : paints) {
        target = QImage(QSize(150, 180) * ratio, QImage::Format_ARGB32_Premultiplied);
        target.setDevicePixelRatio(ratio);
        target.fill(kBackground);
        QPainter painter(&target);
        painter.scale(scale.width(), scale.height());
        jpeg.draw(painter, {0, 0}, QRect(QPoint(0, 0), size));
    }
    QCOMPARE(jpeg.decodeCount(), 1);
    QCOMPARE(paints[1], paints[0]);
}

void TestJpegImage::decodeAhead_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QRect>("ahead");   // the visible rect the decode ahead is told of
    QTest::addColumn<QRect>("visible"); // drawn at the origin into a 100 x 80 target
    QTest::addColumn<qreal>("ratio");   // of the target, and so of the decode ahead
    QTest::addColumn<int>("decodes");   // the decode ahead included
    QTest::addColumn<bool>("failed");
    const QByteArray plain = encodeJpeg(gradient(64, 48), Encoding::Baseline420);
    QTest::newRow("ahead covers the draw")
        << plain << QRect(0, 0, 100, 80) << QRect(10, 10, 30, 20) << 1.0 << 1 << false;
    QTest::newRow("the draw needs more than ahead")
        << plain << QRect(0, 0, 20, 16) << QRect(0, 0, 100, 80) << 1.0 << 2 << false;
    QTest::newRow("ahead wholly outside the picture")
        << plain << QRect(70, 50, 10, 10) << QRect(0, 0, 100, 80) << 1.0 << 1 << false;
    QTest::newRow("ahead reaching beyond the picture")
        << plain << QRect(-10, -10, 200, 200) << QRect(0, 0, 100, 80) << 1.0 << 1 << false;
    QTest::newRow("at ratio 2") << plain << QRect(0, 0, 100, 80) << QRect(0, 0, 100, 80) << 2.0 << 1 << false;
    QTest::newRow("at ratio 2, the draw needs more than ahead")
        << plain << QRect(0, 0, 20, 16) << QRect(0, 0, 100, 80) << 2.0 << 2 << false;
    // The thread salvages the sound scans of a cut file as the draw would.
    const QByteArray progressive = encodeJpeg(gradient(64, 48), Encoding::Progressive420);
    const auto [firstData, firstEnd] = scanDataOf(progressive, markerOffset(progressive, 0xDA));
    const qsizetype secondScan = progressive.indexOf("\xFF\xDA", firstEnd);
    QTest::newRow("progressive cut inside a scan header")
        << progressive.left(secondScan + 6) << QRect(0, 0, 100, 80) << QRect(0, 0, 100, 80) << 1.0 << 1
        << false;
    // A failure found ahead is remembered: the draw does not try again, and paints grey as it would.
    QTest::newRow("too many scans") << encodeJpeg(quadrants(64, 48), Encoding::Baseline444,
                                                  scanPerCoefficient(3))
                                    << QRect(0, 0, 100, 80) << QRect(0, 0, 100, 80) << 1.0 << 1 << true;
    QTest::newRow("too many scans, at ratio 2")
        << encodeJpeg(quadrants(64, 48), Encoding::Baseline444, scanPerCoefficient(3)) << QRect(0, 0, 100, 80)
        << QRect(0, 0, 100, 80) << 2.0 << 1 << true;
}

void TestJpegImage::decodeAhead()
{
    QFETCH(QByteArray, data);
    QFETCH(QRect, ahead);
    QFETCH(QRect, visible);
    QFETCH(qreal, ratio);
    QFETCH(int, decodes);
    QFETCH(bool, failed);
    const auto target = [ratio] {
        QImage image = filledTarget(QSize(100, 80) * ratio);
        image.setDevicePixelRatio(ratio);
        return image;
    };
    JpegImage jpeg;
    jpeg.loadFromData(data);
    QImage drawn = target();
    jpeg.decodeAhead(QTransform::fromScale(ratio, ratio), drawn.rect(), QPoint(0, 0), ahead);
    drawInto(drawn, jpeg, QPoint(0, 0), visible);
    QCOMPARE(jpeg.decodeCount(), decodes);
    QCOMPARE(jpeg.decodeFailed(), failed);

    // Whatever was decoded ahead, the picture looks as one drawn without it.
    JpegImage fresh;
    fresh.loadFromData(data);
    QImage reference = target();
    drawInto(reference, fresh, QPoint(0, 0), visible);
    QCOMPARE(drawn, reference);
}

void TestJpegImage::decodeAheadOfAnotherPicture()
{
    const QByteArray first = encodeJpeg(quadrants(64, 48), Encoding::Baseline420);
    const QByteArray second = encodeJpeg(gradient(64, 48), Encoding::Baseline420);
    const QRect whole(0, 0, 64, 48);
    JpegImage jpeg;
    jpeg.loadFromData(first);
    jpeg.decodeAhead(QTransform(), whole, QPoint(0, 0), whole);
    // Loaded while the first picture may still be decoding: its pixels must not turn up.
    jpeg.loadFromData(second);
    QImage target = filledTarget();
    drawInto(target, jpeg, QPoint(0, 0), target.rect());
    JpegImage fresh;
    fresh.loadFromData(second);
    QImage reference = filledTarget();
    drawInto(reference, fresh, QPoint(0, 0), reference.rect());
    QCOMPARE(target, reference);

    // Destroyed while decoding ahead: the thread's end is awaited, nothing is left behind.
    auto dropped = std::make_unique<JpegImage>();
    dropped->loadFromData(first);
    dropped->decodeAhead(QTransform(), whole, QPoint(0, 0), whole);
    dropped.reset();
}

void TestJpegImage::pictureDecodeAhead_data()
{
    QTest::addColumn<qreal>("ratio"); // of the target
    QTest::addColumn<qreal>("scale"); // the painter's own, as a stretched control sets it
    QTest::addColumn<bool>("companion");
    QTest::newRow("ratio 1") << 1.0 << 1.0 << true;
    QTest::newRow("ratio 2, companion") << 2.0 << 1.0 << true;
    QTest::newRow("ratio 2, no companion") << 2.0 << 1.0 << false;
    QTest::newRow("ratio 3, companion") << 3.0 << 1.0 << true;
    QTest::newRow("ratio 1, drawn at half") << 1.0 << 0.5 << true;
    QTest::newRow("ratio 2, companion drawn at three quarters") << 2.0 << 0.75 << true;
}

// Decoded ahead for a draw, a picture decodes exactly what the draw would have, at the density and from
// the graphic the draw chooses, and the draw then decodes nothing.
void TestJpegImage::pictureDecodeAhead()
{
    QFETCH(qreal, ratio);
    QFETCH(qreal, scale);
    QFETCH(bool, companion);
    const QByteArray plain = encodeJpeg(gradient(120, 90), Encoding::Baseline420);
    const QByteArray dense = companion ? encodeJpeg(gradient(240, 180), Encoding::Baseline420) : QByteArray();
    const QPoint origin(-7, 5);
    const QRect visible(0, 0, 100, 80); // painter coordinates
    const QRect deviceClip(0, 0, int(100 * scale * ratio), int(80 * scale * ratio));
    const auto paint = [&](const tk::Picture &picture) {
        QImage target(deviceClip.size(), QImage::Format_ARGB32_Premultiplied);
        target.setDevicePixelRatio(ratio);
        target.fill(kBackground);
        QPainter painter(&target);
        painter.scale(scale, scale);
        picture.draw(painter, origin, visible);
        return target;
    };
    const auto jpegOf = [](tk::Graphic *graphic) { return dynamic_cast<JpegImage *>(graphic); };

    tk::Picture ahead;
    ahead.loadFromData(u"jpg"_s, plain, dense);
    ahead.decodeAhead(QTransform::fromScale(scale, scale) * QTransform::fromScale(ratio, ratio), deviceClip,
                      origin, visible);
    JpegImage *used = jpegOf(ahead.graphicForRatio(scale * ratio));
    QVERIFY(used);
    QCOMPARE(used->decodeCount(), 1);
    const QRectF aheadRect = used->decodedRect();
    const QImage aheadImage = used->decodedImage();
    const QImage drawn = paint(ahead);
    QCOMPARE(used->decodeCount(), 1);
    if (JpegImage *other = jpegOf(ahead.graphicForRatio(1)); other != used)
        QCOMPARE(other->decodeCount(), 0);

    tk::Picture fresh;
    fresh.loadFromData(u"jpg"_s, plain, dense);
    const QImage reference = paint(fresh);
    JpegImage *freshUsed = jpegOf(fresh.graphicForRatio(scale * ratio));
    QCOMPARE(aheadRect, freshUsed->decodedRect());
    QCOMPARE(aheadImage, freshUsed->decodedImage());
    QCOMPARE(drawn, reference);
}

void TestJpegImage::loadFromFile_data()
{
    QTest::addColumn<QString>("fileName"); // in the temporary folder, spelled as the program spells it
    QTest::addColumn<QString>("error");    // empty when the load succeeds
    QTest::addColumn<QSize>("size");       // afterwards: the previous picture's size after a failure
    const QSize previous(10, 12);
    QTest::newRow("good file") << u"good.jpg"_s << QString() << QSize(64, 48);
    QTest::newRow("good file, upper-case extension") << u"GOOD.JPEG"_s << QString() << QSize(64, 48);
    QTest::newRow("missing file") << u"missing.jpg"_s << u"Cannot open file <path>"_s << previous;
    QTest::newRow("missing file, backslash")
        << u"sub\\missing.jpg"_s << u"Cannot open file <path>"_s << previous;
    QTest::newRow("folder") << u"folder.jpg"_s << u"Cannot open file <path>"_s << previous;
    QTest::newRow("empty file") << u"empty.jpg"_s << jpegError(JERR_INPUT_EMPTY) << previous;
    QTest::newRow("not a JPEG") << u"text.jpg"_s << jpegError(JERR_NO_SOI) << previous;
}

void TestJpegImage::loadFromFile()
{
    QFETCH(QString, fileName);
    QFETCH(QString, error);
    QFETCH(QSize, size);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QDir dir(folder.path());
    const auto write = [&](const QString &name, const QByteArray &content) {
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(content), content.size());
    };
    const QByteArray good = encodeJpeg(quadrants(64, 48), Encoding::Baseline420);
    write(u"good.jpg"_s, good);
    write(u"GOOD.JPEG"_s, good);
    write(u"empty.jpg"_s, QByteArray());
    write(u"text.jpg"_s, QByteArray("not a picture"));
    QVERIFY(dir.mkpath(u"folder.jpg"_s));
    QVERIFY(dir.mkpath(u"sub"_s));

    tk::Picture picture;
    picture.loadFromData(u"jpg"_s, encodeJpeg(quadrants(10, 12), Encoding::Grayscale));
    const tk::Graphic *before = picture.graphic();

    const QString path = folder.path() + u'/' + fileName;
    try {
        picture.LoadFromFile(path);
        QVERIFY2(error.isEmpty(), "the load did not fail");
        QVERIFY(dynamic_cast<JpegImage *>(picture.graphic()));
    } catch (const tk::Error &e) {
        QCOMPARE(e.message(), QString(error).replace(u"<path>"_s, path));
        QCOMPARE(picture.graphic(), before);
    }
    QCOMPARE(QSize(picture.width(), picture.height()), size);
}

void TestJpegImage::registeredExtensions_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("jpeg");
    QTest::newRow("jpg") << u"g\\7.jpg"_s << true;
    QTest::newRow("JPG") << u"g\\7.JPG"_s << true;
    QTest::newRow("jpeg") << u"g\\7.jpeg"_s << true;
    QTest::newRow("JpEg") << u"g\\7.JpEg"_s << true;
    QTest::newRow("jpe is not registered") << u"g\\7.jpe"_s << false;
    QTest::newRow("jpg as a folder name only") << u"g.jpg\\7"_s << false;
}

void TestJpegImage::registeredExtensions()
{
    QFETCH(QString, path);
    QFETCH(bool, jpeg);
    try {
        const std::unique_ptr<tk::Graphic> graphic = tk::createGraphicForFile(path);
        QVERIFY(jpeg);
        QVERIFY(dynamic_cast<JpegImage *>(graphic.get()));
        QVERIFY(graphic->empty());
    } catch (const tk::Error &) {
        QVERIFY(!jpeg);
    }
}

void TestJpegImage::highDensityCompanion_data()
{
    QTest::addColumn<QByteArray>("companion"); // written as pic@2x.jpg beside a 24 x 16 red pic.jpg
    QTest::addColumn<bool>("used");
    QTest::addColumn<QRgb>("atRatio2"); // device pixel (4, 4) of the picture drawn at ratio 2
    QTest::newRow("none") << QByteArray() << false << kRed;
    QTest::newRow("twice the size") << encodeJpeg(quadrants(48, 32), Encoding::Baseline444) << true << kBlue;
    QTest::newRow("progressive, twice the size")
        << encodeJpeg(quadrants(48, 32), Encoding::Progressive420) << true << kBlue;
    QTest::newRow("same size") << encodeJpeg(quadrants(24, 16), Encoding::Baseline444) << false << kRed;
    QTest::newRow("one pixel too wide")
        << encodeJpeg(quadrants(49, 32), Encoding::Baseline444) << false << kRed;
    QTest::newRow("three times the size")
        << encodeJpeg(quadrants(72, 48), Encoding::Baseline444) << false << kRed;
    QTest::newRow("not a JPEG") << QByteArray("GIF89a") << false << kRed;
    QTest::newRow("headers cut short")
        << encodeJpeg(quadrants(48, 32), Encoding::Baseline444).left(40) << false << kRed;
}

void TestJpegImage::highDensityCompanion()
{
    QFETCH(QByteArray, companion);
    QFETCH(bool, used);
    QFETCH(QRgb, atRatio2);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QImage red(24, 16, QImage::Format_RGB32);
    red.fill(kRed);
    const QByteArray plain = encodeJpeg(red, Encoding::Baseline444);
    const auto write = [&](const QString &name, const QByteArray &content) {
        QFile file(folder.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(content), content.size());
    };
    write(u"pic.jpg"_s, plain);
    if (!companion.isNull())
        write(u"pic@2x.jpg"_s, companion);

    for (bool fromFile : {true, false}) {
        tk::Picture picture;
        if (fromFile)
            picture.LoadFromFile(folder.path() + u"\\pic.jpg"_s); // the program's own spelling
        else
            picture.loadFromData(u"jpg"_s, plain, companion);
        QCOMPARE(QSize(picture.width(), picture.height()), QSize(24, 16));
        QCOMPARE(picture.highDensityGraphic() != nullptr, used);
        QCOMPARE(picture.graphicForRatio(1), picture.graphic());
        QCOMPARE(picture.graphicForRatio(2), used ? picture.highDensityGraphic() : picture.graphic());

        // The lower left quarter of the companion is blue; at ratio 2 its device pixel (4, 20) lies
        // there, while the plain file is red everywhere.
        QImage target(48, 32, QImage::Format_ARGB32_Premultiplied);
        target.setDevicePixelRatio(2);
        target.fill(kBackground);
        {
            QPainter painter(&target);
            picture.draw(painter, {0, 0}, QRect(0, 0, 24, 16));
        }
        QVERIFY2(near(target.pixel(4, 28), atRatio2, 40),
                 qPrintable(describe(QColor::fromRgba(target.pixel(4, 28)))));
        QVERIFY2(near(target.pixel(47, 31), used ? kWhite : kRed, 40),
                 qPrintable(describe(QColor::fromRgba(target.pixel(47, 31)))));
    }
}

void TestJpegImage::drawnSmaller_data()
{
    QTest::addColumn<Encoding>("encoding");
    QTest::addColumn<qreal>("scale"); // painter scale: device pixels per picture pixel
    QTest::addColumn<qreal>("ratio"); // the target's device pixel ratio
    QTest::newRow("half") << Encoding::Baseline420 << 0.5 << 1.0;
    QTest::newRow("three eighths") << Encoding::Baseline444 << 0.375 << 1.0;
    QTest::newRow("a tenth") << Encoding::Baseline420 << 0.1 << 1.0;
    QTest::newRow("a thirtieth, below libjpeg's smallest scale") << Encoding::Baseline420 << 1.0 / 30 << 1.0;
    QTest::newRow("a quarter at ratio 2") << Encoding::Baseline420 << 0.25 << 2.0;
    QTest::newRow("a tenth, progressive") << Encoding::Progressive420 << 0.1 << 1.0;
    QTest::newRow("a tenth, CMYK") << Encoding::CmykInverted << 0.1 << 1.0;
    QTest::newRow("a tenth, grayscale") << Encoding::Grayscale << 0.1 << 1.0;
}

void TestJpegImage::drawnSmaller()
{
    QFETCH(Encoding, encoding);
    QFETCH(qreal, scale);
    QFETCH(qreal, ratio);
    const QSize size(1200, 960);
    JpegImage jpeg;
    jpeg.loadFromData(encodeJpeg(quadrants(size.width(), size.height()), encoding));
    const QSize device = (QSizeF(size) * scale * ratio).toSize();
    QImage target(device + QSize(4, 4), QImage::Format_ARGB32_Premultiplied);
    target.setDevicePixelRatio(ratio);
    target.fill(kBackground);
    {
        QPainter painter(&target);
        painter.scale(scale, scale);
        jpeg.draw(painter, {0, 0}, QRect(QPoint(0, 0), size));
    }
    QVERIFY(!jpeg.decodeFailed());
    // Never more than twice the device pixels each way: memory follows what is shown.
    QVERIFY2(
        jpeg.decodedImage().width() <= 2 * device.width() + 16 &&
            jpeg.decodedImage().height() <= 2 * device.height() + 16,
        qPrintable(
            QStringLiteral("%1 x %2").arg(jpeg.decodedImage().width()).arg(jpeg.decodedImage().height())));
    // Every device pixel of the picture is painted, with the right quadrant's colour.
    for (int y = 0; y < device.height(); ++y)
        for (int x = 0; x < device.width(); ++x)
            QVERIFY2(target.pixel(x, y) != kBackground, qPrintable(QStringLiteral("(%1, %2)").arg(x).arg(y)));
    const QPoint topLeft(device.width() / 4, device.height() / 4);
    const QPoint bottomRight(device.width() * 3 / 4, device.height() * 3 / 4);
    QVERIFY2(near(target.pixel(topLeft), expectedColor(encoding, kRed), 40),
             qPrintable(describe(QColor::fromRgba(target.pixel(topLeft)))));
    QVERIFY2(near(target.pixel(bottomRight), expectedColor(encoding, kWhite), 40),
             qPrintable(describe(QColor::fromRgba(target.pixel(bottomRight)))));

    // Only the lower right part visible (columns cropped, rows skipped at the reduced scale): the same
    // pixels as in the whole picture.
    JpegImage part;
    part.loadFromData(encodeJpeg(quadrants(size.width(), size.height()), encoding));
    QImage partTarget = target.copy();
    partTarget.fill(kBackground);
    const QRect lowerRight(size.width() * 5 / 8, size.height() * 5 / 8, size.width() * 3 / 8,
                           size.height() * 3 / 8);
    {
        QPainter painter(&partTarget);
        painter.scale(scale, scale);
        part.draw(painter, {0, 0}, lowerRight);
    }
    QVERIFY(part.decodedRect().top() > 0 && part.decodedRect().left() > 0);
    const QPoint inside(device.width() * 7 / 8, device.height() * 7 / 8);
    QVERIFY2(near(partTarget.pixel(inside), target.pixel(inside), 12),
             qPrintable(describe(QColor::fromRgba(partTarget.pixel(inside)))));
}

void TestJpegImage::largePictureCentred()
{
    // An ordinary big photograph shown through a small window in its middle decodes within the budget
    // of one paint: it must not come out grey.
    const QSize size(4000, 3000);
    JpegImage jpeg;
    jpeg.loadFromData(encodeJpeg(quadrants(size.width(), size.height()), Encoding::Baseline420));
    QImage target = filledTarget(QSize(145, 177));
    const QPoint origin((145 - size.width()) / 2, (177 - size.height()) / 2);
    drawInto(target, jpeg, origin, target.rect());
    QVERIFY(!jpeg.decodeFailed());
    QVERIFY2(near(target.pixel(8, 8), kRed, 24), qPrintable(describe(QColor::fromRgba(target.pixel(8, 8)))));
    QVERIFY2(near(target.pixel(136, 168), kWhite, 24),
             qPrintable(describe(QColor::fromRgba(target.pixel(136, 168)))));
}

void TestJpegImage::fuzzFindings_data()
{
    QTest::addColumn<QString>("file"); // under tests/toolkit/pictures
    QTest::addColumn<bool>("failed");
    // 64 x 63552 progressive, dozens of refinement scans: once took seconds to gather when stretched.
    QTest::newRow("tall progressive, refinement scans")
        << u"finding_tall_progressive_refinement_scans.jpg"_s << true;
    // The same shape, fewer scans: gathered within budget, then tens of thousands of rows averaged
    // into the stretched control.
    QTest::newRow("tall progressive, stretched") << u"finding_tall_progressive_stretched.jpg"_s << false;
    // Headers that claim 65500 x 65500 over the data of a 32 x 32 picture, in each coding: single-scan
    // files show their first blocks and grey, progressive ones are refused whole (grey).
    QTest::newRow("giant, huffman baseline") << u"giant_header_huffman_baseline.jpg"_s << false;
    QTest::newRow("giant, huffman progressive") << u"giant_header_huffman_progressive.jpg"_s << true;
    QTest::newRow("giant, arithmetic colour") << u"giant_header_arithmetic_colour.jpg"_s << false;
    QTest::newRow("giant, arithmetic CMYK") << u"giant_header_arithmetic_cmyk.jpg"_s << false;
    QTest::newRow("giant, arithmetic progressive") << u"giant_header_arithmetic_progressive.jpg"_s << true;
}

void TestJpegImage::fuzzFindings()
{
    QFETCH(QString, file);
    QFETCH(bool, failed);
    QFile input(QStringLiteral(ORMEX_DATA_DIR "/../tests/toolkit/pictures/") + file);
    QVERIFY(input.open(QIODevice::ReadOnly));
    const QByteArray data = input.readAll();
    // Every way the fuzzer paints: top-left, centred, stretched, at ratios 1 and 2. Each paint covers
    // the whole control, decoded or grey.
    for (int way = 0; way < 6; ++way) {
        JpegImage jpeg;
        jpeg.loadFromData(data);
        const qreal ratio = way < 3 ? 1 : 2;
        QImage target(QSize(145, 177) * ratio, QImage::Format_ARGB32_Premultiplied);
        target.setDevicePixelRatio(ratio);
        target.fill(kBackground);
        {
            QPainter painter(&target);
            QPoint origin(0, 0);
            if (way % 3 == 1)
                origin = QPoint((145 - jpeg.width()) / 2, (177 - jpeg.height()) / 2);
            if (way % 3 == 2)
                painter.scale(145.0 / jpeg.width(), 177.0 / jpeg.height());
            const QRect visible =
                way % 3 == 2 ? QRect(0, 0, jpeg.width(), jpeg.height()) : QRect(0, 0, 145, 177);
            jpeg.draw(painter, origin, visible);
            // A repaint finds what the first paint decoded, or gave up on, in the cache.
            const int decodes = jpeg.decodeCount();
            jpeg.draw(painter, origin, visible);
            QCOMPARE(jpeg.decodeCount(), decodes);
        }
        QCOMPARE(jpeg.decodeFailed(), failed);
        const QRect covered = QRect(0, 0, std::min(145, jpeg.width()), std::min(177, jpeg.height()));
        const QPoint probes[] = {covered.bottomRight(), QPoint(72, 88), QPoint(144, 176)};
        const QPoint corner = probes[way % 3] * ratio;
        QVERIFY2(target.pixel(corner) != kBackground, qPrintable(QStringLiteral("way %1").arg(way)));
    }
}

QTEST_GUILESS_MAIN(TestJpegImage)
#include "tst_jpegimage.moc"
