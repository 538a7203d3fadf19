#include "application.h"
#include "callout.h"
#include "canvas.h"
#include "colors.h"
#include "control.h"
#include "cp1251.h"
#include "edges.h"
#include "errorboxes.h"
#include "errors.h"
#include "events.h"
#include "files.h"
#include "graphics.h"
#include "image.h"
#include "memotext.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

#include <array>
#include <atomic>
#include <mutex>
#include <thread>
#include <stdexcept>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

QByteArray bitmapBytes(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::green);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bytes;
}

// Counts the colour-change notices a widget receives.
class ColourListener : public QWidget {
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

class TestToolkit : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // First: it needs a process in which no window has painted yet.
    void workAfterFirstFrame();
    void fullStop_data();
    void fullStop();
    void cp1251_data();
    void cp1251();
    void cp1251RoundTrip();
    void lineBreaks_data();
    void lineBreaks();
    void readWholeFile_data();
    void readWholeFile();
    void systemColours_data();
    void systemColours();
    void changingASystemColourTellsTheWidgets();
    void pictureOrigin_data();
    void pictureOrigin();
    void windowlessBelowWindowed_data();
    void windowlessBelowWindowed();
    void click_data();
    void click();
    void handlerFailures_data();
    void handlerFailures();
    void unknownPictureKind();
    void polyline_data();
    void polyline();
    void edgesAtPixelRatio_data();
    void edgesAtPixelRatio();
    void companionParsedWhenAsked_data();
    void companionParsedWhenAsked();
    void workBeside();
};

void TestToolkit::fullStop_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("letter") << u"Cannot open file g\\7.jpg"_s << u"Cannot open file g\\7.jpg."_s;
    QTest::newRow("digit") << u"JPEG error #53"_s << u"JPEG error #53."_s;
    QTest::newRow("Cyrillic") << u"Ошибка"_s << u"Ошибка."_s;
    QTest::newRow("full stop already") << u"Done."_s << u"Done."_s;
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("exclamation sorts below") << u"Stop!"_s << u"Stop!"_s;
    QTest::newRow("hyphen sorts below") << u"a -"_s << u"a -"_s;
    QTest::newRow("blank sorts below") << u"a "_s << u"a "_s;
    QTest::newRow("slash sorts above") << u"g/"_s << u"g/."_s;
    QTest::newRow("closing parenthesis sorts below") << u"(x)"_s << u"(x)"_s;
    QTest::newRow("colon sorts above") << u"x:"_s << u"x:."_s;
}

void TestToolkit::fullStop()
{
    QFETCH(QString, message);
    QFETCH(QString, shown);
    QCOMPARE(tk::Application::messageWithFullStop(message), shown);
}

void TestToolkit::cp1251_data()
{
    QTest::addColumn<int>("byte");
    QTest::addColumn<int>("character");
    QTest::newRow("ASCII") << 0x41 << 0x41;
    QTest::newRow("CR") << 0x0D << 0x0D;
    QTest::newRow("NUL has no place in text") << 0x00 << 0xFFFD;
    QTest::newRow("A") << 0xC0 << 0x0410;
    QTest::newRow("ya") << 0xFF << 0x044F;
    QTest::newRow("capital Yo") << 0xA8 << 0x0401;
    QTest::newRow("small yo") << 0xB8 << 0x0451;
    QTest::newRow("euro") << 0x88 << 0x20AC;
    QTest::newRow("unassigned 0x98") << 0x98 << 0xFFFD;
    QTest::newRow("no-break space") << 0xA0 << 0x00A0;
    QTest::newRow("numero") << 0xB9 << 0x2116;
}

void TestToolkit::cp1251()
{
    QFETCH(int, byte);
    QFETCH(int, character);
    const QString text = tk::decodeCp1251(QByteArray(1, char(byte)));
    QCOMPARE(text.size(), 1);
    QCOMPARE(int(text[0].unicode()), character);
}

void TestToolkit::cp1251RoundTrip()
{
    QByteArray all;
    for (int b = 1; b < 256; ++b)
        if (b != 0x98)
            all.append(char(b));
    QCOMPARE(tk::encodeCp1251(tk::decodeCp1251(all)), all);
    QCOMPARE(tk::encodeCp1251(u"日本"_s), QByteArray("??"));
}

void TestToolkit::lineBreaks_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("adjusted");
    QTest::newRow("lone LF") << u"a\nb"_s << u"a\r\nb"_s;
    QTest::newRow("lone CR") << u"a\rb"_s << u"a\r\nb"_s;
    QTest::newRow("CR LF stays") << u"a\r\nb"_s << u"a\r\nb"_s;
    QTest::newRow("LF CR is two breaks") << u"a\n\rb"_s << u"a\r\n\r\nb"_s;
    QTest::newRow("CR before CR LF") << u"\r\r\n"_s << u"\r\n\r\n"_s;
    QTest::newRow("interpretation pair") << u"x\n\ny"_s << u"x\r\n\r\ny"_s;
    QTest::newRow("trailing CR") << u"end\r"_s << u"end\r\n"_s;
    QTest::newRow("no breaks") << u"plain"_s << u"plain"_s;
    QTest::newRow("empty") << QString() << QString();
}

void TestToolkit::lineBreaks()
{
    QFETCH(QString, text);
    QFETCH(QString, adjusted);
    QCOMPARE(tk::adjustLineBreaks(text), adjusted);
    QCOMPARE(tk::adjustLineBreaks(adjusted), adjusted);
}

void TestToolkit::readWholeFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("message"); // empty: read succeeds
    QTest::newRow("regular") << u"regular"_s << QString();
    QTest::newRow("empty") << u"empty"_s << QString();
    QTest::newRow("missing") << u"missing"_s << u"Cannot open file g\\f.txt"_s;
    QTest::newRow("directory") << u"directory"_s << u"Cannot open file g\\f.txt"_s;
    QTest::newRow("pipe without a writer") << u"fifo"_s << u"Cannot open file g\\f.txt"_s;
    QTest::newRow("longer than allowed") << u"large"_s << u"Too large: g\\f.txt"_s;
}

void TestToolkit::readWholeFile()
{
    QFETCH(QString, kind);
    QFETCH(QString, message);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(u"g"_s));
    const QString native = dir.filePath(u"g/f.txt"_s);
    QByteArray content;
    if (kind == u"regular" || kind == u"empty" || kind == u"large") {
        content = kind == u"regular" ? QByteArray("line\r\nline") : kind == u"large" ? QByteArray(101, 'x') : QByteArray();
        QFile file(native);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    } else if (kind == u"directory") {
        QVERIFY(QDir(dir.path()).mkdir(u"g/f.txt"_s));
    } else if (kind == u"fifo") {
        QCOMPARE(::mkfifo(QFile::encodeName(native).constData(), 0600), 0);
    }
    const QString old = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    QString error;
    QByteArray read;
    try {
        read = tk::readWholeFile(u"g\\f.txt"_s, 100, u"Too large: %s"_s);
    } catch (const tk::Error &e) {
        error = e.message();
    }
    QDir::setCurrent(old);
    QCOMPARE(error, message);
    if (message.isEmpty())
        QCOMPARE(read, content);
}

void TestToolkit::systemColours_data()
{
    QTest::addColumn<quint32>("colour");
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

void TestToolkit::systemColours()
{
    QFETCH(quint32, colour);
    QFETCH(quint32, rgb);
    QCOMPARE(quint32(tk::ColorToRGB(colour)), rgb);
    const QColor c = tk::toQColor(colour);
    QCOMPARE(quint32(c.red() | (c.green() << 8) | (c.blue() << 16)), rgb);
}

void TestToolkit::changingASystemColourTellsTheWidgets()
{
    ColourListener listener;
    const tk::TColor old = tk::systemColor(tk::COLOR_INFOBK);
    tk::setSystemColor(tk::COLOR_INFOBK, 0x00123456);
    QCOMPARE(tk::ColorToRGB(tk::clInfoBk), tk::TColor(0x00123456));
    QCOMPARE(listener.notices, 1);
    tk::setSystemColor(tk::COLOR_INFOBK, old);
    QCOMPARE(tk::ColorToRGB(tk::clInfoBk), old);
    tk::setSystemColor(99, 0); // out of range: ignored
    QCOMPARE(listener.notices, 2);
}

void TestToolkit::pictureOrigin_data()
{
    QTest::addColumn<QSize>("control");
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<bool>("center");
    QTest::addColumn<QPoint>("origin");
    QTest::newRow("window background") << QSize(572, 299) << QSize(1152, 864) << true << QPoint(-290, -282);
    QTest::newRow("odd differences truncate toward zero") << QSize(145, 177) << QSize(150, 180) << true << QPoint(-2, -1);
    QTest::newRow("smaller picture") << QSize(100, 100) << QSize(51, 51) << true << QPoint(24, 24);
    QTest::newRow("not centred") << QSize(145, 177) << QSize(300, 300) << false << QPoint(0, 0);
}

void TestToolkit::pictureOrigin()
{
    QFETCH(QSize, control);
    QFETCH(QSize, picture);
    QFETCH(bool, center);
    QFETCH(QPoint, origin);
    QWidget parent;
    tk::TImage image(&parent);
    image.resize(control);
    image.setCenter(center);
    image.Picture().LoadFromData(u"bmp"_s, bitmapBytes(picture));
    QCOMPARE(image.Picture().width(), picture.width());
    QCOMPARE(image.pictureOrigin(), origin);
}

void TestToolkit::windowlessBelowWindowed_data()
{
    QTest::addColumn<bool>("windowedFirst");
    QTest::newRow("windowed created first") << true;
    QTest::newRow("windowless created first") << false;
}

void TestToolkit::windowlessBelowWindowed()
{
    QFETCH(bool, windowedFirst);
    QWidget parent;
    parent.resize(200, 200);
    QWidget *windowed = nullptr;
    tk::TImage *windowless = nullptr;
    if (windowedFirst) {
        windowed = new QWidget(&parent);
        windowless = new tk::TImage(&parent);
    } else {
        windowless = new tk::TImage(&parent);
        windowed = new QWidget(&parent);
    }
    windowed->setGeometry(0, 0, 100, 100);
    windowless->setGeometry(50, 50, 100, 100);
    auto *later = new tk::TImage(&parent); // a second windowless one lies above the first
    later->setGeometry(60, 60, 100, 100);
    QCOMPARE(parent.childAt(75, 75), windowed);
    QCOMPARE(parent.childAt(120, 120), later);
    QCOMPARE(parent.childAt(55, 120), windowless);
}

void TestToolkit::click_data()
{
    QTest::addColumn<QPoint>("press");
    QTest::addColumn<QPoint>("release");
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<int>("clicks");
    QTest::newRow("press and release inside") << QPoint(10, 10) << QPoint(20, 20) << Qt::LeftButton << 1;
    QTest::newRow("released outside") << QPoint(10, 10) << QPoint(150, 20) << Qt::LeftButton << 0;
    QTest::newRow("right button") << QPoint(10, 10) << QPoint(10, 10) << Qt::RightButton << 0;
}

void TestToolkit::click()
{
    QFETCH(QPoint, press);
    QFETCH(QPoint, release);
    QFETCH(Qt::MouseButton, button);
    QFETCH(int, clicks);
    QWidget form;
    form.resize(200, 100);
    auto *image = new tk::TImage(&form);
    image->setGeometry(0, 0, 100, 100);
    int count = 0;
    image->OnClick = [&](QObject *sender) {
        QCOMPARE(sender, image);
        ++count;
    };
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTest::mousePress(form.windowHandle(), button, Qt::NoModifier, press);
    QTest::mouseRelease(form.windowHandle(), button, Qt::NoModifier, release);
    QCOMPARE(count, clicks);
}

void TestToolkit::handlerFailures_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("shown");
    QTest::newRow("our error") << 0 << u"Cannot open file g\\7.jpg."_s;
    QTest::newRow("a library's exception") << 1 << u"vector too long."_s;
    QTest::newRow("out of memory") << 2 << u"Out of memory."_s;
}

void TestToolkit::handlerFailures()
{
    QFETCH(int, kind);
    QFETCH(QString, shown);
    ErrorBoxes boxes;
    bool after = false;
    tk::runGuarded([&] {
        if (kind == 0)
            throw tk::Error(u"Cannot open file g\\7.jpg"_s);
        if (kind == 1)
            throw std::length_error("vector too long");
        throw std::bad_alloc();
    });
    after = true; // the program goes on
    QVERIFY(after);
    QCOMPARE(boxes.texts, QStringList{shown});
    QCOMPARE(boxes.captions, QStringList{tk::Application::instance()->Title});
    QCOMPARE(boxes.icons, QList<QMessageBox::Icon>{QMessageBox::Critical});
}

void TestToolkit::unknownPictureKind()
{
    tk::Picture picture;
    picture.LoadFromData(u"bmp"_s, bitmapBytes(QSize(3, 4)));
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

void TestToolkit::polyline_data()
{
    QTest::addColumn<QList<QPoint>>("vertices");
    QTest::addColumn<QList<QPoint>>("lit");
    QTest::newRow("the last vertex stays dark") << QList<QPoint>{{0, 0}, {3, 0}, {3, 2}}
                                                << QList<QPoint>{{0, 0}, {1, 0}, {2, 0}, {3, 0}, {3, 1}};
    QTest::newRow("diagonal") << QList<QPoint>{{1, 1}, {4, 4}} << QList<QPoint>{{1, 1}, {2, 2}, {3, 3}};
    QTest::newRow("leftward and up") << QList<QPoint>{{4, 3}, {2, 3}, {2, 1}}
                                     << QList<QPoint>{{4, 3}, {3, 3}, {2, 3}, {2, 2}};
    QTest::newRow("one vertex draws nothing") << QList<QPoint>{{2, 2}} << QList<QPoint>{};
}

void TestToolkit::polyline()
{
    QFETCH(QList<QPoint>, vertices);
    QFETCH(QList<QPoint>, lit);
    QImage image(6, 6, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        tk::Polyline(painter, std::span<const QPoint>(vertices.constData(), size_t(vertices.size())), Qt::black);
    }
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x)
            QVERIFY2((image.pixelColor(x, y) == QColor(Qt::black)) == lit.contains(QPoint(x, y)),
                     qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
}

void TestToolkit::edgesAtPixelRatio_data()
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
void TestToolkit::edgesAtPixelRatio()
{
    QFETCH(qreal, ratio);
    constexpr int kSide = 20;
    const QColor background(0, 128, 0), polylineColour(10, 20, 30);
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
        tk::Polyline(painter, line, polylineColour);
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
        return alongRow && logical == 3 ? polylineColour : background;
    };
    const int middle = image.width() / 2;
    for (int d = 0; d < int(6 * ratio); ++d) {
        QCOMPARE(image.pixelColor(d, middle), expected(d, true));
        QCOMPARE(image.pixelColor(middle, d), expected(d, false));
    }
}

void TestToolkit::companionParsedWhenAsked_data()
{
    QTest::addColumn<QByteArray>("companion");
    QTest::addColumn<bool>("used");
    QTest::newRow("twice the size") << QByteArray("48x32") << true;
    QTest::newRow("wrong size") << QByteArray("48x33") << false;
    QTest::newRow("refused") << QByteArray("GIF89a") << false;
}

void TestToolkit::companionParsedWhenAsked()
{
    QFETCH(QByteArray, companion);
    QFETCH(bool, used);
    tk::registerFileFormat(u"cnt"_s, [] { return std::make_unique<CountedGraphic>(); });
    tk::Picture picture;
    g_countedParses = 0;
    picture.LoadFromData(u"cnt"_s, "24x16", companion);
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
    picture.LoadFromData(u"cnt"_s, "24x16", companion);
    picture.LoadFromData(u"cnt"_s, "24x16");
    QVERIFY(!picture.highDensityGraphic());
    picture.LoadFromData(u"cnt"_s, "24x16", companion);
    picture.setGraphic(std::make_unique<CountedGraphic>());
    QVERIFY(!picture.highDensityGraphic());
    QCOMPARE(g_countedParses, 5);
}

void TestToolkit::workAfterFirstFrame()
{
    auto *app = tk::Application::instance();
    QStringList done;
    app->afterFirstFrame([&] {
        done << u"first"_s;
        app->afterFirstFrame([&] { done << u"added by work"_s; });
    });
    QCoreApplication::processEvents();
    QCOMPARE(done, QStringList()); // nothing painted yet

    QWidget window;
    window.resize(40, 30);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_COMPARE(done, (QStringList{u"first"_s, u"added by work"_s}));

    // Once a frame is on the screen, work runs at the next turn of the loop, not at once.
    app->afterFirstFrame([&] { done << u"late"_s; });
    QCOMPARE(done.size(), 2);
    QTRY_COMPARE(done.size(), 3);
    // A failing piece of work is reported like a failing handler; the rest still runs.
    ErrorBoxes boxes;
    app->afterFirstFrame([] { throw tk::Error(u"No icon"_s); });
    app->afterFirstFrame([&] { done << u"after the failure"_s; });
    QTRY_COMPARE(done.size(), 4);
    QCOMPARE(boxes.texts, QStringList{u"No icon."_s});
}

void TestToolkit::workBeside()
{
    std::atomic<bool> ran = false;
    std::thread::id where;
    std::mutex mutex;
    tk::Application::instance()->startBeside([&] {
        const std::lock_guard lock(mutex);
        where = std::this_thread::get_id();
        ran = true;
    });
    QTRY_VERIFY(ran);
    const std::lock_guard lock(mutex);
    QVERIFY(where != std::this_thread::get_id());
}

int main(int argc, char *argv[])
{
    tk::registerBitmapFormat();
    tk::Application app(argc, argv);
    app.Title = u"ORMEX"_s;
    TestToolkit test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_toolkit.moc"
