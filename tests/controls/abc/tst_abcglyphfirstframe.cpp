#include "controls/abc/abcbtnglyph.h"

#include "tests/support/bitmaps.h"
#include "toolkit/application/application.h"
#include "toolkit/pictures/graphics.h"

#include <QPainter>
#include <QTest>
#include <QWidget>

#include <memory>

// Dense state images wait for the program's first frame: this program's application object has not
// shown one when the test starts, so it runs in a process of its own.

namespace {

const QColor kRed(200, 30, 30);
const QColor kBlue(30, 30, 200);

// A picture of one colour whose lower-left corner, the key colour, is see-through.
std::unique_ptr<tk::Graphic> bitmapOf(QSize size, QColor fill)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(fill);
    image.setPixelColor(0, size.height() - 1, Qt::green);
    auto bitmap = std::make_unique<tk::BitmapImage>();
    bitmap->loadFromData(bmpBytes(image));
    return bitmap;
}

// The middle of an 8 x 6 glyph drawn at (2, 2) on a canvas at ratio 2.
QColor drawnMiddle(TabcButtonGlyph &glyph)
{
    QImage canvas(24, 20, QImage::Format_RGB32);
    canvas.setDevicePixelRatio(2);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    glyph.DrawGlyphImage(painter, abtUp, {2, 2});
    return canvas.pixelColor(12, 10);
}

bool near(QColor a, QColor b)
{
    return qAbs(a.red() - b.red()) <= 8 && qAbs(a.green() - b.green()) <= 8 && qAbs(a.blue() - b.blue()) <= 8;
}

} // namespace

class TestGlyphFirstFrame : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void denseImageFollowsTheFirstFrame();
};

// Until the first frame is up a dense canvas shows the 1x image enlarged (red) and asks for a repaint
// once; then the companion (blue). A glyph gone before that frame is not asked.
void TestGlyphFirstFrame::denseImageFollowsTheFirstFrame()
{
    tk::Application *app = tk::Application::instance();
    QVERIFY(app && !app->startupWork().firstFrameShown());
    const auto makeGlyph = [](int &repaints) {
        auto glyph = std::make_unique<TabcButtonGlyph>();
        glyph->Picture().setGraphic(bitmapOf({8, 6}, kRed), bitmapOf({16, 12}, kBlue));
        glyph->OnChange = [&repaints] { ++repaints; };
        return glyph;
    };
    int repaints = 0, repaintsOfGone = 0;
    auto glyph = makeGlyph(repaints);
    auto gone = makeGlyph(repaintsOfGone);

    QVERIFY(near(drawnMiddle(*glyph), kRed));
    QVERIFY(near(drawnMiddle(*glyph), kRed));
    QVERIFY(near(drawnMiddle(*gone), kRed));
    gone.reset();

    QWidget window;
    window.resize(40, 30);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_VERIFY(app->startupWork().firstFrameShown());
    QCOMPARE(repaints, 1);
    QCOMPARE(repaintsOfGone, 0);
    QVERIFY(near(drawnMiddle(*glyph), kBlue));
}

int main(int argc, char *argv[])
{
    tk::Application app(argc, argv);
    TestGlyphFirstFrame test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_abcglyphfirstframe.moc"
