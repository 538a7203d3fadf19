#include "tests/support/jpegfiles.h"
#include "toolkit/pictures/graphics.h"
#include "toolkit/pictures/jpegimage.h"
#include "toolkit/widgets/image.h"

#include <QApplication>
#include <QTest>

#include <cmath>

using namespace Qt::StringLiterals;

using namespace testfiles;

// Pictures on a high-density screen, painted through the real widget path: this program runs with the
// scale factor given on its command line (--scale 2), whatever the environment says.

namespace {

const QRgb kWindow = qRgb(255, 0, 255);

bool near(QRgb actual, QRgb expected, int tolerance)
{
    return std::abs(qRed(actual) - qRed(expected)) <= tolerance &&
           std::abs(qGreen(actual) - qGreen(expected)) <= tolerance &&
           std::abs(qBlue(actual) - qBlue(expected)) <= tolerance;
}

// What the window shows in device pixels. The controls paint on the widget as in a paint event (the
// painter's device is the widget, redirected), at the window's pixel ratio.
QImage shownPixels(QWidget &window)
{
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return QImage();
    return window.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Device pixels of the window's background colour inside rect (device pixels).
int uncovered(const QImage &shown, const QRect &rect)
{
    int count = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            count += shown.pixel(x, y) == kWindow;
    return count;
}

// Quadrant colours of a shown picture, sampled a few device pixels inside each corner.
bool showsQuadrants(const QImage &shown, const QRect &rect, QRgb topLeft, QRgb bottomRight)
{
    const int inset = 4;
    return near(shown.pixel(rect.left() + inset, rect.top() + inset), topLeft, 40) &&
           near(shown.pixel(rect.right() - inset, rect.bottom() - inset), bottomRight, 40);
}

// Quadrants in reverse order: white, blue / green, red. A companion drawn in place of the 1x file shows.
QImage reversedQuadrants(int width, int height)
{
    return quadrants(width, height).mirrored(true, true);
}

} // namespace

class TestImageScale : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void pictureCoversItsArea_data();
    void pictureCoversItsArea();
    void companionFollowsTheFirstFrame_data();
    void companionFollowsTheFirstFrame();
};

void TestImageScale::initTestCase()
{
    tk::registerJpegFormat();
    QVERIFY(qApp->devicePixelRatio() > 1);
}

void TestImageScale::pictureCoversItsArea_data()
{
    QTest::addColumn<QSize>("control");
    QTest::addColumn<QSize>("file");
    QTest::addColumn<QSize>("companion"); // empty: none
    QTest::addColumn<bool>("stretch");
    QTest::addColumn<bool>("companionShown");
    // The main window's slot, its background and a stretched picture.
    QTest::newRow("slot, 1x file only") << QSize(145, 177) << QSize(145, 177) << QSize() << false << false;
    QTest::newRow("slot, with companion")
        << QSize(145, 177) << QSize(145, 177) << QSize(290, 354) << false << true;
    QTest::newRow("slot, companion of the wrong size")
        << QSize(145, 177) << QSize(145, 177) << QSize(290, 353) << false << false;
    QTest::newRow("background") << QSize(572, 299) << QSize(572, 299) << QSize(1144, 598) << false << true;
    QTest::newRow("stretched from a larger file")
        << QSize(145, 177) << QSize(600, 700) << QSize() << true << false;
    QTest::newRow("stretched from a smaller file")
        << QSize(145, 177) << QSize(50, 60) << QSize() << true << false;
}

void TestImageScale::pictureCoversItsArea()
{
    QFETCH(QSize, control);
    QFETCH(QSize, file);
    QFETCH(QSize, companion);
    QFETCH(bool, stretch);
    QFETCH(bool, companionShown);
    QWidget window;
    window.setWindowFlag(Qt::FramelessWindowHint);
    window.setAutoFillBackground(true);
    QPalette palette = window.palette();
    palette.setColor(QPalette::Window, QColor(kWindow));
    window.setPalette(palette);
    window.resize(control + QSize(20, 20));
    tk::TImage image(&window);
    image.setGeometry(QRect(QPoint(10, 10), control));
    image.setStretch(stretch);
    image.Picture().loadFromData(
        u"jpg"_s, encodeJpeg(quadrants(file.width(), file.height()), Encoding::Baseline444),
        companion.isEmpty()
            ? QByteArray()
            : encodeJpeg(reversedQuadrants(companion.width(), companion.height()), Encoding::Baseline444));

    const QImage shown = shownPixels(window);
    const qreal ratio = window.devicePixelRatioF();
    QCOMPARE(shown.size(), (QSizeF(window.size()) * ratio).toSize());
    // The control's device pixels, rounded inward where a ratio puts its edge inside a pixel.
    const QRect area(QPoint(int(std::ceil(10 * ratio)), int(std::ceil(10 * ratio))),
                     QPoint(int(std::floor((10 + control.width()) * ratio)) - 1,
                            int(std::floor((10 + control.height()) * ratio)) - 1));
    if (qEnvironmentVariableIsSet("ORMEX_SAVE_SHOTS"))
        shown.save(qEnvironmentVariable("ORMEX_SAVE_SHOTS") + u'/' +
                   QString::fromLatin1(QTest::currentDataTag()) + u".png"_s);
    QCOMPARE(uncovered(shown, area), 0);
    const bool companionColors = showsQuadrants(shown, area, kWhite, kRed);
    const bool plainColors = showsQuadrants(shown, area, kRed, kWhite);
    QVERIFY2(companionShown ? companionColors : plainColors,
             qPrintable(QStringLiteral("top-left %1, bottom-right %2")
                            .arg(shown.pixel(area.topLeft() + QPoint(4, 4)), 0, 16)
                            .arg(shown.pixel(area.bottomRight() - QPoint(4, 4)), 0, 16)));
    // Just outside the control the window shows: the picture keeps to its logical area.
    QCOMPARE(shown.pixel(area.right() + 2, area.bottom() + 2), kWindow);
}

void TestImageScale::companionFollowsTheFirstFrame_data()
{
    QTest::addColumn<bool>("reload"); // a new picture loaded before the first paint
    QTest::newRow("decoded ahead, then shown") << false;
    QTest::newRow("decoded ahead, then another picture loaded") << true;
}

// A picture decoded ahead on a dense screen shows its 1x graphic in the control's first paint, from that
// decode, and its companion from the next paint on; a fractional ratio decodes nothing ahead and shows
// the companion at once. A picture loaded meanwhile shows its own companion at once.
void TestImageScale::companionFollowsTheFirstFrame()
{
    QFETCH(bool, reload);
    QWidget window;
    window.resize(145, 177);
    tk::TImage image(&window);
    image.setGeometry(window.rect());
    const QByteArray plain = encodeJpeg(quadrants(145, 177), Encoding::Baseline444);
    const QByteArray dense = encodeJpeg(reversedQuadrants(290, 354), Encoding::Baseline444);
    image.Picture().loadFromData(u"jpg"_s, plain, dense);
    const qreal ratio = window.devicePixelRatioF();
    const bool held = ratio == std::round(ratio) && !reload;

    image.decodeVisibleAhead();
    if (reload)
        image.Picture().loadFromData(u"jpg"_s, plain, dense);
    QCOMPARE(image.Picture().companionHeld(), held);
    auto *plainJpeg = dynamic_cast<tk::JpegImage *>(image.Picture().graphic());
    auto *denseJpeg = dynamic_cast<tk::JpegImage *>(image.Picture().graphicForRatio(ratio));
    QVERIFY(plainJpeg && denseJpeg && plainJpeg != denseJpeg);

    const QRect area = QRect(QPoint(0, 0), (QSizeF(window.size()) * ratio).toSize()).adjusted(2, 2, -2, -2);
    const QImage first = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QVERIFY(held ? showsQuadrants(first, area, kRed, kWhite) : showsQuadrants(first, area, kWhite, kRed));
    QCOMPARE(plainJpeg->decodeCount(), held ? 1 : 0);
    QTRY_VERIFY(!image.Picture().companionHeld());
    const QImage next = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QVERIFY(showsQuadrants(next, area, kWhite, kRed));
    QCOMPARE(plainJpeg->decodeCount(), held ? 1 : 0);
    QCOMPARE(denseJpeg->decodeCount(), 1);
}

int main(int argc, char **argv)
{
    QByteArray scale = "2";
    std::vector<char *> arguments;
    for (int i = 0; i < argc; ++i) {
        if (qstrcmp(argv[i], "--scale") == 0 && i + 1 < argc)
            scale = argv[++i];
        else
            arguments.push_back(argv[i]);
    }
    qputenv("QT_SCALE_FACTOR", scale);
    int count = int(arguments.size());
    QApplication app(count, arguments.data());
    TestImageScale test;
    return QTest::qExec(&test, count, arguments.data());
}

#include "tst_imagescale.moc"
