#include "toolkit/pictures/graphics.h"

#include "tests/support/bitmaps.h"
#include "toolkit/base/errors.h"

#include <QGuiApplication>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

// A picture kind that counts how often it is parsed: "WxH" is a picture of that size, anything else is
// refused.
int g_countedParses = 0;

class CountedGraphic : public tk::Graphic {
public:
    int width() const override { return m_size.width(); }
    int height() const override { return m_size.height(); }
    void loadFromData(const QByteArray &data) override
    {
        ++g_countedParses;
        const QList<QByteArray> parts = data.split('x');
        bool wide = false, high = false;
        const QSize size = parts.size() == 2 ? QSize(parts[0].toInt(&wide), parts[1].toInt(&high)) : QSize();
        if (!wide || !high)
            throw tk::Error(u"not a counted picture"_s);
        m_size = size;
    }
    void draw(QPainter &, QPoint, const QRect &) override {}

private:
    QSize m_size;
};

} // namespace

class TestGraphics : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void unknownPictureKind();
    void companionParsedWhenAsked_data();
    void companionParsedWhenAsked();
};

void TestGraphics::unknownPictureKind()
{
    tk::Picture picture;
    picture.loadFromData(u"bmp"_s, bmpBytes(QSize(3, 4), Qt::green));
    const tk::Graphic *before = picture.graphic();
    for (const QString &path : {u"g\\7.gif"_s, u"g\\noextension"_s, u"g.d\\file"_s}) {
        try {
            picture.LoadFromFile(path);
            QFAIL("an unknown kind must not load");
        } catch (const tk::Error &e) {
            QVERIFY2(e.message().startsWith(u"Unknown picture file extension"_s), qPrintable(e.message()));
        }
        QCOMPARE(picture.graphic(), before);
    }
}

void TestGraphics::companionParsedWhenAsked_data()
{
    QTest::addColumn<QByteArray>("companion");
    QTest::addColumn<bool>("used");
    QTest::newRow("twice the size") << QByteArray("48x32") << true;
    QTest::newRow("wrong size") << QByteArray("48x33") << false;
    QTest::newRow("refused") << QByteArray("GIF89a") << false;
}

void TestGraphics::companionParsedWhenAsked()
{
    QFETCH(QByteArray, companion);
    QFETCH(bool, used);
    tk::registerFileFormat(u"cnt"_s, [] { return std::make_unique<CountedGraphic>(); });
    tk::Picture picture;
    g_countedParses = 0;
    picture.loadFromData(u"cnt"_s, "24x16", companion);
    // A 1x screen never pays for the companion.
    QCOMPARE(picture.graphicForRatio(1), picture.graphic());
    QCOMPARE(g_countedParses, 1);
    // Parsed once when a dense screen asks, whatever it turns out to be.
    for (int ask = 0; ask < 3; ++ask) {
        QCOMPARE(picture.graphicForRatio(2) != picture.graphic(), used);
        QCOMPARE(picture.highDensityGraphic() != nullptr, used);
    }
    QCOMPARE(g_countedParses, 2);

    // A new load, or a graphic set by hand, forgets a companion not yet parsed.
    picture.loadFromData(u"cnt"_s, "24x16", companion);
    picture.loadFromData(u"cnt"_s, "24x16");
    QVERIFY(!picture.highDensityGraphic());
    picture.loadFromData(u"cnt"_s, "24x16", companion);
    picture.setGraphic(std::make_unique<CountedGraphic>());
    QVERIFY(!picture.highDensityGraphic());
    QCOMPARE(g_countedParses, 5);
}

int main(int argc, char *argv[])
{
    tk::registerBitmapFormat();
    QGuiApplication app(argc, argv);
    TestGraphics test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_graphics.moc"
