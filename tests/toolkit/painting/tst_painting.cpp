#include "toolkit/painting/canvas.h"

#include "toolkit/base/events.h"
#include "toolkit/painting/colors.h"
#include "toolkit/painting/edges.h"

#include <QApplication>
#include <QPainter>
#include <QTest>
#include <QWidget>

#include <array>
#include <span>

using namespace Qt::StringLiterals;

namespace {

// Counts the colour-change notices a widget receives.
class ColorListener : public QWidget {
public:
    int notices = 0;

protected:
    bool event(QEvent *event) override
    {
        if (event->type() == QEvent::Type(tk::SystemColorsChangedType))
            ++notices;
        return QWidget::event(event);
    }
};

} // namespace

class TestPainting : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void systemColors_data();
    void systemColors();
    void changingASystemColorTellsTheWidgets();
    void polyline_data();
    void polyline();
    void edgesAtPixelRatio_data();
    void edgesAtPixelRatio();
};

void TestPainting::systemColors_data()
{
    QTest::addColumn<quint32>("color");
    QTest::addColumn<quint32>("rgb");
    QTest::newRow("button face") << quint32(tk::clBtnFace) << 0x00C8D0D4u;
    QTest::newRow("button shadow") << quint32(tk::clBtnShadow) << 0x00808080u;
    QTest::newRow("button highlight") << quint32(tk::clBtnHighlight) << 0x00FFFFFFu;
    QTest::newRow("3-D dark shadow") << quint32(tk::cl3DDkShadow) << 0x00404040u;
    QTest::newRow("3-D light") << quint32(tk::cl3DLight) << 0x00C8D0D4u;
    QTest::newRow("info background") << quint32(tk::clInfoBk) << 0x00E1FFFFu;
    QTest::newRow("window text") << quint32(tk::clWindowText) << 0x00000000u;
    QTest::newRow("window") << quint32(tk::clWindow) << 0x00FFFFFFu;
    QTest::newRow("plain colour as it is") << 0x0053D2FFu << 0x0053D2FFu;
    QTest::newRow("panel yellow") << 11794687u << 0x00B3F8FFu;
}

void TestPainting::systemColors()
{
    QFETCH(quint32, color);
    QFETCH(quint32, rgb);
    QCOMPARE(quint32(tk::ColorToRGB(color)), rgb);
    const QColor c = tk::toQColor(color);
    QCOMPARE(quint32(c.red() | (c.green() << 8) | (c.blue() << 16)), rgb);
}

void TestPainting::changingASystemColorTellsTheWidgets()
{
    ColorListener listener;
    const tk::TColor old = tk::systemColor(tk::COLOR_INFOBK);
    tk::setSystemColor(tk::COLOR_INFOBK, 0x00123456);
    QCOMPARE(tk::ColorToRGB(tk::clInfoBk), tk::TColor(0x00123456));
    QCOMPARE(listener.notices, 1);
    tk::setSystemColor(tk::COLOR_INFOBK, old);
    QCOMPARE(tk::ColorToRGB(tk::clInfoBk), old);
    tk::setSystemColor(99, 0); // out of range: ignored
    QCOMPARE(listener.notices, 2);
}

void TestPainting::polyline_data()
{
    QTest::addColumn<QList<QPoint>>("vertices");
    QTest::addColumn<QList<QPoint>>("lit");
    QTest::newRow("the last vertex stays dark")
        << QList<QPoint>{{0, 0}, {3, 0}, {3, 2}} << QList<QPoint>{{0, 0}, {1, 0}, {2, 0}, {3, 0}, {3, 1}};
    QTest::newRow("diagonal") << QList<QPoint>{{1, 1}, {4, 4}} << QList<QPoint>{{1, 1}, {2, 2}, {3, 3}};
    QTest::newRow("leftward and up") << QList<QPoint>{{4, 3}, {2, 3}, {2, 1}}
                                     << QList<QPoint>{{4, 3}, {3, 3}, {2, 3}, {2, 2}};
    QTest::newRow("one vertex draws nothing") << QList<QPoint>{{2, 2}} << QList<QPoint>{};
}

void TestPainting::polyline()
{
    QFETCH(QList<QPoint>, vertices);
    QFETCH(QList<QPoint>, lit);
    QImage image(6, 6, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        tk::Polyline(painter, std::span<const QPoint>(vertices.constData(), size_t(vertices.size())),
                     Qt::black);
    }
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x)
            QVERIFY2((image.pixelColor(x, y) == QColor(Qt::black)) == lit.contains(QPoint(x, y)),
                     qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
}

void TestPainting::edgesAtPixelRatio_data()
{
    QTest::addColumn<qreal>("ratio");
    QTest::newRow("1") << qreal(1);
    QTest::newRow("2") << qreal(2);
    QTest::newRow("1.25") << qreal(1.25);
    QTest::newRow("1.5") << qreal(1.5);
    QTest::newRow("1.75") << qreal(1.75);
}

// Three nested rings, then a line drawn with Polyline, on a denser image: logical pixel k covers the
// device pixels from round(k * ratio) up to round((k + 1) * ratio), so each line is one logical pixel
// wide, crisp, and meets the next without a gap, an overlap or a blended seam.
void TestPainting::edgesAtPixelRatio()
{
    QFETCH(qreal, ratio);
    constexpr int kSide = 20;
    const QColor background(0, 128, 0), polylineColor(10, 20, 30);
    QImage image((QSizeF(kSide, kSide) * ratio).toSize(), QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(background);
    tk::TRect r{0, 0, kSide, kSide};
    {
        QPainter painter(&image);
        tk::DrawEdge(painter, r, tk::Edge::RaisedOuter);
        tk::DrawEdge(painter, r, tk::Edge::RaisedInner);
        tk::DrawEdge(painter, r, tk::Edge::SunkenOuter);
        const std::array<QPoint, 2> line{QPoint(r.Left, r.Top), QPoint(r.Left, r.Bottom)};
        tk::Polyline(painter, line, polylineColor);
    }
    // By logical column (along the middle row) and row (down the middle column): the top-left colour of
    // each ring, the polyline, then the untouched inside.
    const QColor lit[] = {tk::toQColor(tk::cl3DLight), tk::toQColor(tk::clBtnHighlight),
                          tk::toQColor(tk::clBtnShadow)};
    auto expected = [&](int device, bool alongRow) {
        int logical = 0;
        while (qRound((logical + 1) * ratio) <= device)
            ++logical;
        if (logical < 3)
            return lit[logical];
        return alongRow && logical == 3 ? polylineColor : background;
    };
    const int middle = image.width() / 2;
    for (int d = 0; d < int(6 * ratio); ++d) {
        QCOMPARE(image.pixelColor(d, middle), expected(d, true));
        QCOMPARE(image.pixelColor(middle, d), expected(d, false));
    }
}

QTEST_MAIN(TestPainting)

#include "tst_painting.moc"
