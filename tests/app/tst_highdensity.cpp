// The main window as a user of a high-density screen sees it. The process runs at one display scale, 2
// unless the first argument names another (CTest runs it at 2 and at 1.5); the window and its pictures
// are compared with the pictures the program ships, at 1x and at 2x.
#include "app/rununit1.h"
#include "app/startup.h"
#include "controls/abc/abcbtn.h"
#include "controls/flat/TFlatButtonUnit.h"
#include "controls/flat/TFlatMemoUnit.h"
#include "controls/flat/TFlatPanelUnit.h"
#include "divination/Spread.h"
#include "toolkit/application/application.h"
#include "toolkit/painting/colors.h"
#include "toolkit/pictures/jpegimage.h"
#include "toolkit/widgets/image.h"

#include <QDir>
#include <QPainter>
#include <QTest>

#include <cmath>
#include <map>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

qreal g_scale = 2;

std::uint32_t fixedSeed()
{
    return 12345;
}

// The mean difference per channel of two pictures of one size, in 1/255.
double meanDifference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return 255;
    const QImage x = a.convertToFormat(QImage::Format_RGB32), y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto *p = reinterpret_cast<const QRgb *>(x.constScanLine(row));
        const auto *q = reinterpret_cast<const QRgb *>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col)
            sum += qAbs(qRed(p[col]) - qRed(q[col])) + qAbs(qGreen(p[col]) - qGreen(q[col])) +
                   qAbs(qBlue(p[col]) - qBlue(q[col]));
    }
    return sum / (3.0 * x.width() * x.height());
}

QImage shipped(const QString &path)
{
    QImage image(path);
    image.setDevicePixelRatio(1);
    return image;
}

// A program path as the draw spells it ("g\7.jpg") in the data folder.
QString dataFile(const std::string &programPath)
{
    return QStringLiteral(ORMEX_DATA_DIR "/") + QString::fromStdString(programPath).replace(u'\\', u'/');
}

QString companionOf(const QString &path)
{
    const qsizetype dot = path.lastIndexOf(u'.');
    return path.left(dot) + u"@2x"_s + path.mid(dot);
}

} // namespace

class TestHighDensity : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void everyDevicePixelPainted_data();
    void everyDevicePixelPainted();
    void picturesCoverTheirArea_data();
    void picturesCoverTheirArea();
    void flatButtonGlyph();
    void wholeRatioKeepsOnePixelDetail();
    void opaqueControlsPaintEveryPixel_data();
    void opaqueControlsPaintEveryPixel();
    void firstFrameDecodesOnce_data();
    void firstFrameDecodesOnce();

private:
    QImage grab() const { return m_form->grab().toImage(); }
    // The part of the window's device image that a widget covers.
    QImage deviceArea(const QImage &window, const QRect &logical) const;
    std::unique_ptr<Tform1> m_form;
};

void TestHighDensity::initTestCase()
{
    // The pictures are read from the data folder that holds g, as the program is started there.
    QVERIFY(QDir::setCurrent(QStringLiteral(ORMEX_DATA_DIR)));
    g_seedClock = fixedSeed;
}

void TestHighDensity::init()
{
    Spread = SpreadState{};
    m_form = std::make_unique<Tform1>();
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    QCOMPARE(m_form->devicePixelRatio(), g_scale);
}

void TestHighDensity::cleanup()
{
    m_form.reset();
}

QImage TestHighDensity::deviceArea(const QImage &window, const QRect &logical) const
{
    const QRectF device(QPointF(logical.topLeft()) * g_scale, QSizeF(logical.size()) * g_scale);
    QImage area = window.copy(device.toRect());
    area.setDevicePixelRatio(1);
    return area;
}

void TestHighDensity::everyDevicePixelPainted_data()
{
    QTest::addColumn<bool>("drawn");
    QTest::newRow("before a draw") << false;
    QTest::newRow("after a draw") << true;
}

// The window's own colour is black, which none of its pictures has: a black device pixel is one that
// no picture reached.
void TestHighDensity::everyDevicePixelPainted()
{
    QFETCH(bool, drawn);
    if (drawn)
        m_form->guest(m_form->abcRepSpeedBtn1);
    const QImage window = grab();
    QCOMPARE(window.size(), (QSizeF(572, 299) * g_scale).toSize());
    int black = 0;
    for (int y = 0; y < window.height(); ++y)
        for (int x = 0; x < window.width(); ++x)
            black += (window.pixel(x, y) & RGB_MASK) == 0;
    QCOMPARE(black, 0);
}

void TestHighDensity::picturesCoverTheirArea_data()
{
    QTest::addColumn<QString>("control");
    QTest::newRow("left slot") << u"run1"_s;
    QTest::newRow("middle slot") << u"run2"_s;
    QTest::newRow("right slot") << u"run3"_s;
    QTest::newRow("divine button") << u"abcRepSpeedBtn1"_s;
    QTest::newRow("help button") << u"abcRepSpeedBtn2"_s;
    QTest::newRow("exit button") << u"abcRepSpeedBtn3"_s;
}

// Each picture covers its whole logical area with the double-size picture: at 2 pixel for pixel, at
// other ratios smoothly scaled from it (an enlarged 1x picture or a part of one would differ widely).
void TestHighDensity::picturesCoverTheirArea()
{
    QFETCH(QString, control);
    m_form->guest(m_form->abcRepSpeedBtn1);
    const std::map<QString, QWidget *> controls{{u"run1"_s, m_form->run1},
                                                {u"run2"_s, m_form->run2},
                                                {u"run3"_s, m_form->run3},
                                                {u"abcRepSpeedBtn1"_s, m_form->abcRepSpeedBtn1},
                                                {u"abcRepSpeedBtn2"_s, m_form->abcRepSpeedBtn2},
                                                {u"abcRepSpeedBtn3"_s, m_form->abcRepSpeedBtn3}};
    const QWidget *widget = controls.at(control);

    QString file;
    QRect shown; // the part of the shipped 1x picture the control shows, and where it shows it
    QRect where;
    if (control.startsWith(u"run"_s)) {
        const int slot = control.back().digitValue();
        file = dataFile(Spread.SpreadPictures[slot]);
        shown = QRect(0, 0, 145, 177);
        where = widget->geometry();
    } else {
        const QStringList pictures{u"divine"_s, u"help"_s, u"exit"_s};
        file = QStringLiteral(ORMEX_DATA_DIR "/../assets/") + pictures[control.back().digitValue() - 1] +
               u".bmp"_s;
        // The 177 x 54 face is centred on the 170 x 45 button; its thin frame keeps the outermost pixels.
        where = widget->geometry().adjusted(2, 2, -2, -2);
        shown = QRect(QPoint(3 + 2, 4 + 2), where.size());
    }
    const QImage area = deviceArea(grab(), where);
    const QRect dense(shown.topLeft() * 2, shown.size() * 2);
    const QImage expected = shipped(companionOf(file))
                                .copy(dense)
                                .scaled(area.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    // At 2 nothing is resampled; elsewhere the JPEG decoder's scaling and the fractional placement of
    // the pixel grid leave their own small differences.
    const double limit = qFuzzyCompare(g_scale, 2) ? 2 : 8;
    const double difference = meanDifference(area, expected);
    QVERIFY2(difference < limit, qPrintable(QStringLiteral("%1 differs by %2").arg(file).arg(difference)));
}

// A 1x glyph on the close button covers its logical area: no pixel of it outside, none missing inside.
void TestHighDensity::flatButtonGlyph()
{
    const QColor red(220, 20, 20), key(255, 0, 255);
    QImage glyph(10, 10, QImage::Format_RGB32);
    glyph.fill(red);
    glyph.setPixelColor(0, 9, key);
    TFlatButton *button = m_form->FlatButton1;
    button->setCaption(QString());
    button->setGlyph(glyph);
    m_form->FlatPanel1->setVisible(true);
    QCoreApplication::processEvents();
    const QImage face = button->grab().toImage();
    QCOMPARE(face.devicePixelRatio(), g_scale);
    const QRectF area(button->GlyphOrigin(), QSizeF(10, 10));
    const qreal onePixel = 1 / g_scale;
    auto isRed = [&](QColor c) { return qAbs(c.red() - red.red()) + c.green() + c.blue() < 60; };
    for (int y = 0; y < face.height(); ++y)
        for (int x = 0; x < face.width(); ++x) {
            const QPointF centre = QPointF(x + 0.5, y + 0.5) / g_scale;
            const QString where = QStringLiteral("device pixel (%1, %2)").arg(x).arg(y);
            const bool red = isRed(face.pixelColor(x, y));
            const bool corner =
                centre.x() < area.left() + 1 + onePixel && centre.y() > area.bottom() - 1 - onePixel;
            if (area.adjusted(onePixel, onePixel, -onePixel, -onePixel).contains(centre) && !corner)
                QVERIFY2(red, qPrintable(where + u" left out"_s));
            else if (!area.adjusted(-onePixel, -onePixel, onePixel, onePixel).contains(centre))
                QVERIFY2(!red, qPrintable(where + u" lies outside"_s));
        }
    // Around the see-through corner the picture blends into the face where it is enlarged smoothly (a
    // fractional ratio), and keeps its edge where it is enlarged in blocks (a whole one).
    const QColor faceColor = face.pixelColor(int(4 * g_scale), face.height() / 2);
    int blended = 0;
    for (int y = int((area.bottom() - 2) * g_scale); y < int(area.bottom() * g_scale); ++y)
        for (int x = int(area.left() * g_scale); x < int((area.left() + 2) * g_scale); ++x) {
            const QColor c = face.pixelColor(x, y);
            blended += !isRed(c) && c != faceColor;
        }
    QCOMPARE(blended > 0, g_scale != std::round(g_scale));
}

void TestHighDensity::firstFrameDecodesOnce_data()
{
    QTest::addColumn<QString>("control");
    QTest::newRow("background") << u"Image1"_s;
    QTest::newRow("left slot") << u"run1"_s;
    QTest::newRow("right slot") << u"run3"_s;
}

// While the window is built its pictures decode ahead in the screen's device pixels, or not at all where
// that could not match the paint. At a whole ratio the first frame shows the 1x picture, enlarged, and
// the companion replaces it in the next; at any other the first frame shows the companion. Either way
// each graphic decodes once.
void TestHighDensity::firstFrameDecodesOnce()
{
    QFETCH(QString, control);
    m_form.reset();
    m_form = std::make_unique<Tform1>();
    const std::map<QString, tk::TImage *> images{
        {u"Image1"_s, m_form->Image1}, {u"run1"_s, m_form->run1}, {u"run3"_s, m_form->run3}};
    const tk::Picture &picture = images.at(control)->Picture();
    QVERIFY(picture.highDensityGraphic());
    auto *shown = dynamic_cast<tk::JpegImage *>(picture.graphicForRatio(g_scale));
    auto *plain = dynamic_cast<tk::JpegImage *>(picture.graphic());
    QVERIFY(shown && plain && shown != plain);
    // Only a whole ratio moves every device pixel of the paint by whole pixels.
    const bool wholeRatio = g_scale == std::round(g_scale);
    QCOMPARE(picture.companionHeld(), wholeRatio);
    QCOMPARE(plain->decodeCount(), wholeRatio ? 1 : 0);
    QCOMPARE(shown->decodeCount(), 0);

    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    QTRY_VERIFY(!picture.companionHeld());
    grab();
    QCOMPARE(shown->decodeCount(), 1);
    QCOMPARE(plain->decodeCount(), wholeRatio ? 1 : 0);
}

// At a whole ratio a bitmap without a companion is enlarged in blocks: a one-pixel emboss keeps its
// colours instead of washing out into the face.
void TestHighDensity::wholeRatioKeepsOnePixelDetail()
{
    if (g_scale != std::round(g_scale))
        QSKIP("smoothly scaled at a fractional ratio");
    QImage glyph(10, 10, QImage::Format_RGB32);
    glyph.fill(Qt::white);
    glyph.setPixelColor(4, 4, Qt::black);
    TFlatButton *button = m_form->FlatButton1;
    button->setCaption(QString());
    button->setGlyph(glyph);
    button->setEnabled(false);
    m_form->FlatPanel1->setVisible(true);
    QCoreApplication::processEvents();
    const QImage face = button->grab().toImage();
    const QPoint origin = button->GlyphOrigin();
    const int ratio = int(g_scale);
    for (int dy = 0; dy < ratio; ++dy)
        for (int dx = 0; dx < ratio; ++dx) {
            const QPoint ink = (origin + QPoint(4, 4)) * ratio + QPoint(dx, dy);
            const QPoint lit = (origin + QPoint(5, 5)) * ratio + QPoint(dx, dy);
            QCOMPARE(face.pixelColor(ink), tk::toQColor(tk::clBtnShadow));
            QCOMPARE(face.pixelColor(lit), tk::toQColor(tk::clBtnHighlight));
        }
}

void TestHighDensity::opaqueControlsPaintEveryPixel_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QRect>("bounds");
    const QRect placements[] = {{75, 31, 51, 33}, {0, 0, 73, 33}, {1, 1, 25, 25},   {3, 7, 51, 33},
                                {10, 5, 33, 17},  {7, 3, 40, 41}, {11, 13, 97, 61}, {21, 22, 60, 23}};
    for (const QString &kind : {u"flat button"_s, u"flat panel"_s, u"flat memo"_s})
        for (const QRect &r : placements)
            QTest::addRow("%s at %d,%d %dx%d", qPrintable(kind), r.x(), r.y(), r.width(), r.height())
                << kind << r;
}

// A control that paints its whole face owns every device pixel Qt gives it, however its edges fall on
// the device grid: none of them may keep what lay there before.
void TestHighDensity::opaqueControlsPaintEveryPixel()
{
    QFETCH(QString, kind);
    QFETCH(QRect, bounds);
    QWidget host;
    host.resize(200, 120);
    QWidget *control = kind == u"flat button"_s  ? static_cast<QWidget *>(new TFlatButton(&host))
                       : kind == u"flat panel"_s ? static_cast<QWidget *>(new TFlatPanel(&host))
                                                 : static_cast<QWidget *>(new TFlatMemo(&host));
    control->setGeometry(bounds);
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    const QColor untouched(255, 0, 255);
    QImage canvas((QSizeF(host.size()) * g_scale).toSize(), QImage::Format_RGB32);
    canvas.setDevicePixelRatio(g_scale);
    canvas.fill(untouched);
    {
        QPainter painter(&canvas);
        control->render(&painter, control->pos(), QRegion(), QWidget::DrawChildren);
    }
    // The device pixels of the control: from the rounded device position of one edge to the other's.
    const int left = qRound(bounds.left() * g_scale), right = qRound((bounds.right() + 1) * g_scale);
    const int top = qRound(bounds.top() * g_scale), bottom = qRound((bounds.bottom() + 1) * g_scale);
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            QVERIFY2(canvas.pixelColor(x, y) != untouched,
                     qPrintable(QStringLiteral("device pixel (%1, %2) unpainted").arg(x).arg(y)));
}

int main(int argc, char *argv[])
{
    QByteArray scale = "2";
    if (argc > 1 && QByteArray(argv[1]).toDouble() > 0) {
        scale = argv[1];
        for (int i = 1; i + 1 < argc; ++i)
            argv[i] = argv[i + 1];
        --argc;
    }
    g_scale = scale.toDouble();
    // Before the application object: Qt reads it once.
    qputenv("QT_SCALE_FACTOR", scale);
    runModuleStartup();
    tk::Application app(argc, argv);
    initialiseApplication(app);
    TestHighDensity test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_highdensity.moc"
