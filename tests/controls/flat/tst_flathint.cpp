#include "controls/flat/TFlatHintUnit.h"

#include "tests/support/testcolors.h"
#include "toolkit/application/application.h"
#include "toolkit/painting/canvas.h"
#include "toolkit/painting/fonts.h"
#include "toolkit/widgets/control.h"
#include "toolkit/widgets/windowplacement.h"

#include <QCursor>
#include <QFontMetrics>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QTest>

#include <algorithm>
#include <limits>
#include <memory>
#include <typeinfo>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

tk::Application *app()
{
    return tk::Application::instance();
}

TFlatHintWindow *flatWindow()
{
    return qobject_cast<TFlatHintWindow *>(app()->hints().hintWindow());
}

QSize screenSize()
{
    return QGuiApplication::primaryScreen()->geometry().size();
}

// A point given relative to the screen's middle lines: anchor 0 is the screen's left (top) edge, 1 its
// middle line (SW div 2, SH div 2), 2 the first column (row) beyond its right (bottom) edge.
QPoint screenPoint(int xAnchor, int dx, int yAnchor, int dy)
{
    const QSize s = screenSize();
    const int xs[] = {0, s.width() / 2, s.width()};
    const int ys[] = {0, s.height() / 2, s.height()};
    return {xs[xAnchor] + dx, ys[yAnchor] + dy};
}

void moveTo(QPoint global)
{
    QCursor::setPos(global);
    QCoreApplication::processEvents();
}

// What the text takes when laid out with the hint font at the given wrap width.
QSize textExtent(const QFont &font, const QString &text, int wrapWidth)
{
    const QFontMetrics metrics(font);
    return metrics
        .boundingRect(QRect(0, 0, std::max(wrapWidth, 1), 1 << 20),
                      Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text)
        .size();
}

QFont programHintFont()
{
    return tk::makeFont(u"Arial"_s, -16);
}

// The settings the program's main window gives its hint component.
void applyProgramSettings(TFlatHint *hint)
{
    hint->setColorBackground(tk::clInfoBk);
    hint->setMaxHintWidth(400);
    hint->setFont(programHintFont(), tk::clWindowText);
}

// The outline of the hint arrow, from its tip (mirrored by placement).
constexpr QPoint kOutline[] = {{0, 0}, {0, 6}, {1, 6}, {1, 0}, {6, 0}, {6, 1}, {2, 1}, {2, 4}, {5, 7},
                               {6, 7}, {3, 4}, {3, 3}, {6, 6}, {7, 6}, {3, 2}, {4, 2}, {7, 5}, {7, 6}};

// The pixels a one-pixel polyline lights: every segment from its first point up to, not including,
// its last. The outline has only horizontal, vertical and 45-degree segments, whose pixels are certain.
QList<QPoint> outlinePixels(QPoint tip, int sx, int sy)
{
    QList<QPoint> pixels;
    for (size_t i = 1; i < std::size(kOutline); ++i) {
        const QPoint a(tip.x() + sx * kOutline[i - 1].x(), tip.y() + sy * kOutline[i - 1].y());
        const QPoint b(tip.x() + sx * kOutline[i].x(), tip.y() + sy * kOutline[i].y());
        const int dx = b.x() - a.x(), dy = b.y() - a.y();
        if (!(dx == 0 || dy == 0 || std::abs(dx) == std::abs(dy)))
            qFatal("outline segment %zu is neither straight nor diagonal", i);
        const QPoint step((dx > 0) - (dx < 0), (dy > 0) - (dy < 0));
        for (QPoint p = a; p != b; p += step)
            if (!pixels.contains(p))
                pixels << p;
    }
    return pixels;
}

bool pointLess(QPoint a, QPoint b)
{
    return a.y() != b.y() ? a.y() < b.y() : a.x() < b.x();
}

QColor screenPixel(QWidget *window, QPoint p)
{
    return QGuiApplication::primaryScreen()
        ->grabWindow(window->winId(), p.x(), p.y(), 1, 1)
        .toImage()
        .pixelColor(0, 0);
}

// H1 of the program: long enough to wrap at any width a hint window has.
const QString kLongHint =
    u"Для того,  чтобы прочесть подробную интерпритацию руны - кликните сюда, после того, как "
    u"кликните кнопку \"Гадание на рунах\". Удачного вам гадания!"_s;

const QPoint kParking{3, 3};

} // namespace

class TestFlatHint : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void installation_data();
    void installation();
    void destroyingLeavesApplicationAsIs();
    void forwardShowHint_data();
    void forwardShowHint();
    void defaults();
    void colorSetterOnlyStores_data();
    void colorSetterOnlyStores();
    void findFlatHint_data();
    void findFlatHint();
    void twoComponents();
    void withoutComponent();
    void placement_data();
    void placement();
    void staysOnScreen_data();
    void staysOnScreen();
    void windowSize_data();
    void windowSize();
    void settingsReadOnEveryActivation();
    void paint_data();
    void paint();
    void textBox_data();
    void textBox();
    void colorChangeWhileShown_data();
    void colorChangeWhileShown();
    void showHintThroughApplication_data();
    void showHintThroughApplication();
    void handlerDeletes_data();
    void handlerDeletes();

private:
    void resetApplication();
    TFlatHintWindow *activateAt(QPoint cursor, const QString &text, QPoint givenCorner = {37, 91});

    std::unique_ptr<QWidget> m_form;
    TFlatHint *m_hint = nullptr;
};

void TestFlatHint::resetApplication()
{
    app()->hints().setHintWindowClass<tk::THintWindow>();
    app()->hints().setShowHint(false);
    app()->hints().setShowHint(true);
    app()->hints().OnShowHint = {};
}

void TestFlatHint::init()
{
    moveTo(kParking);
    resetApplication();
    m_form = std::make_unique<QWidget>();
    m_form->setGeometry(100, 100, 400, 300);
    app()->setMainForm(m_form.get());
    m_hint = new TFlatHint(m_form.get());
}

void TestFlatHint::cleanup()
{
    tk::clearScreenOverride();
    app()->hints().CancelHint();
    app()->hints().HideHint();
    moveTo(kParking);
    app()->setMainForm(nullptr);
    m_form.reset();
    app()->hints().OnShowHint = {};
}

TFlatHintWindow *TestFlatHint::activateAt(QPoint cursor, const QString &text, QPoint givenCorner)
{
    moveTo(cursor);
    TFlatHintWindow *window = flatWindow();
    if (!window)
        return nullptr;
    const tk::TRect given{givenCorner.x(), givenCorner.y(), givenCorner.x() + 50, givenCorner.y() + 20};
    window->ActivateHint(given, text);
    return window;
}

void TestFlatHint::installation_data()
{
    QTest::addColumn<bool>("hintsOn");
    QTest::newRow("hints switched on") << true;
    QTest::newRow("hints switched off") << false;
}

void TestFlatHint::installation()
{
    QFETCH(bool, hintsOn);
    resetApplication();
    app()->hints().setShowHint(hintsOn);
    app()->hints().setHintPause(1);
    app()->hints().setHintShortPause(2);
    app()->hints().setHintHidePause(3);
    int oldHandlerCalls = 0, newHandlerCalls = 0;
    app()->hints().OnShowHint = [&](QString &, bool &, tk::THintInfo &) { ++oldHandlerCalls; };

    auto *installed = new TFlatHint(m_form.get());
    installed->OnShowHint = [&](QString &, bool &, tk::THintInfo &) { ++newHandlerCalls; };

    QVERIFY(app()->hints().HintWindowClass().type);
    QCOMPARE(*app()->hints().HintWindowClass().type, typeid(TFlatHintWindow));
    QCOMPARE(app()->hints().ShowHint(), hintsOn);
    if (hintsOn) {
        QVERIFY(app()->hints().hintWindow());
        QCOMPARE(typeid(*app()->hints().hintWindow()), typeid(TFlatHintWindow));
    } else {
        QVERIFY(!app()->hints().hintWindow());
        app()->hints().setShowHint(true);
        QVERIFY(app()->hints().hintWindow());
        QCOMPARE(typeid(*app()->hints().hintWindow()), typeid(TFlatHintWindow));
    }
    QCOMPARE(app()->hints().HintShortPause(), 25);
    QCOMPARE(app()->hints().HintPause(), 500);
    QCOMPARE(app()->hints().HintHidePause(), 5000);

    QVERIFY(app()->hints().OnShowHint);
    QString text = u"x"_s;
    bool canShow = true;
    tk::THintInfo info;
    app()->hints().OnShowHint(text, canShow, info);
    QCOMPARE(oldHandlerCalls, 0);
    QCOMPARE(newHandlerCalls, 1);
}

void TestFlatHint::destroyingLeavesApplicationAsIs()
{
    int calls = 0;
    m_hint->OnShowHint = [&](QString &, bool &, tk::THintInfo &) { ++calls; };
    const tk::THintWindow *window = app()->hints().hintWindow();
    delete m_hint;
    m_hint = nullptr;

    QCOMPARE(*app()->hints().HintWindowClass().type, typeid(TFlatHintWindow));
    QCOMPARE(app()->hints().hintWindow(), window);
    QCOMPARE(app()->hints().HintPause(), 500);
    // The application's handler is still there, and calling it must not reach the gone component.
    QVERIFY(app()->hints().OnShowHint);
    QString text = u"x"_s;
    bool canShow = true;
    tk::THintInfo info;
    app()->hints().OnShowHint(text, canShow, info);
    QCOMPARE(calls, 0);
    QCOMPARE(text, u"x"_s);
    QVERIFY(canShow);
}

void TestFlatHint::forwardShowHint_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("expectedText");
    QTest::addColumn<bool>("expectedCanShow");
    QTest::addColumn<int>("expectedMaxWidth");
    QTest::newRow("no handler assigned") << QString() << u"Hint"_s << true << 300;
    QTest::newRow("handler cancels") << u"cancel"_s << u"Hint"_s << false << 300;
    QTest::newRow("handler changes the text") << u"text"_s << u"Other"_s << true << 300;
    QTest::newRow("handler changes the hint information") << u"info"_s << u"Hint"_s << true << 123;
}

void TestFlatHint::forwardShowHint()
{
    QFETCH(QString, action);
    QFETCH(QString, expectedText);
    QFETCH(bool, expectedCanShow);
    QFETCH(int, expectedMaxWidth);

    QString text = u"Hint"_s;
    bool canShow = true;
    tk::THintInfo info;
    info.HintMaxWidth = 300;
    bool sameObjects = true;
    if (!action.isEmpty()) {
        m_hint->OnShowHint = [&](QString &h, bool &c, tk::THintInfo &i) {
            // The handler works on the caller's own variables, not on copies.
            sameObjects = &h == &text && &c == &canShow && &i == &info;
            if (action == u"cancel")
                c = false;
            else if (action == u"text")
                h = u"Other"_s;
            else if (action == u"info")
                i.HintMaxWidth = 123;
        };
    }
    app()->hints().OnShowHint(text, canShow, info);
    QVERIFY(sameObjects);
    QCOMPARE(text, expectedText);
    QCOMPARE(canShow, expectedCanShow);
    QCOMPARE(info.HintMaxWidth, expectedMaxWidth);
}

void TestFlatHint::defaults()
{
    QCOMPARE(m_hint->ColorBackground(), tk::clWhite);
    QCOMPARE(m_hint->ColorBorder(), tk::clBlack);
    QCOMPARE(m_hint->ColorArrowBackground(), tk::TColor(0x0053D2FF));
    QCOMPARE(tk::toQColor(m_hint->ColorArrowBackground()), QColor(255, 210, 83));
    QCOMPARE(m_hint->ColorArrow(), tk::clBlack);
    QCOMPARE(m_hint->MaxHintWidth(), 200);
    QCOMPARE(m_hint->Font(), tk::defaultFont());
    QVERIFY(!m_hint->OnShowHint);
}

void TestFlatHint::colorSetterOnlyStores_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("changed"); // which colour takes the value; -1: none
    QTest::newRow("0: background") << 0 << 0;
    QTest::newRow("1: border") << 1 << 1;
    QTest::newRow("2: arrow background") << 2 << 2;
    QTest::newRow("3: arrow") << 3 << 3;
    QTest::newRow("4: no such colour") << 4 << -1;
    QTest::newRow("-1: no such colour") << -1 << -1;
}

void TestFlatHint::colorSetterOnlyStores()
{
    QFETCH(int, index);
    QFETCH(int, changed);
    auto colors = [this] {
        return QList<tk::TColor>{m_hint->ColorBackground(), m_hint->ColorBorder(),
                                 m_hint->ColorArrowBackground(), m_hint->ColorArrow()};
    };
    QList<tk::TColor> expected = colors();
    if (changed >= 0)
        expected[changed] = tk::clTeal;
    m_hint->setColors(index, tk::clTeal);
    QCOMPARE(colors(), expected);

    // MaxHintWidth, too, is kept as it comes.
    m_hint->setMaxHintWidth(-7);
    QCOMPARE(m_hint->MaxHintWidth(), -7);
}

void TestFlatHint::findFlatHint_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<int>("expected"); // index into the components made; -1: none
    QTest::newRow("one") << u"one"_s << 0;
    QTest::newRow("two: the first owned") << u"two"_s << 0;
    QTest::newRow("two, the first destroyed") << u"first gone"_s << 1;
    QTest::newRow("none") << u"none"_s << -1;
    QTest::newRow("only one owned by a child widget") << u"nested"_s << -1;
    QTest::newRow("no main window") << u"no form"_s << -1;
}

void TestFlatHint::findFlatHint()
{
    QFETCH(QString, setup);
    QFETCH(int, expected);
    QList<TFlatHint *> made{m_hint};
    if (setup == u"two" || setup == u"first gone") {
        // A widget owned in between does not disturb the order.
        new QWidget(m_form.get());
        made << new TFlatHint(m_form.get());
    }
    if (setup == u"first gone" || setup == u"none" || setup == u"nested") {
        delete m_hint;
        m_hint = nullptr;
    }
    if (setup == u"nested")
        made << new TFlatHint(new QWidget(m_form.get()));
    if (setup == u"no form")
        app()->setMainForm(nullptr);
    QCOMPARE(FindFlatHint(), expected < 0 ? nullptr : made[expected]);
}

void TestFlatHint::twoComponents()
{
    applyProgramSettings(m_hint);
    m_hint->setMaxHintWidth(150);
    auto *second = new TFlatHint(m_form.get());
    applyProgramSettings(second);
    int firstCalls = 0, secondCalls = 0;
    m_hint->OnShowHint = [&](QString &, bool &, tk::THintInfo &) { ++firstCalls; };
    second->OnShowHint = [&](QString &, bool &, tk::THintInfo &) { ++secondCalls; };

    // The show-hint event goes to the last one made...
    QString text = kLongHint;
    bool canShow = true;
    tk::THintInfo info;
    app()->hints().OnShowHint(text, canShow, info);
    QCOMPARE(firstCalls, 0);
    QCOMPARE(secondCalls, 1);

    // ...while the window takes its settings from the first one owned.
    TFlatHintWindow *window = activateAt(screenPoint(0, 100, 0, 100), kLongHint);
    QVERIFY(window);
    QCOMPARE(window->flatHint(), m_hint);
    QVERIFY2(window->width() <= 150, qPrintable(u"width %1"_s.arg(window->width())));
}

void TestFlatHint::withoutComponent()
{
    delete m_hint;
    m_hint = nullptr;
    TFlatHintWindow *window = activateAt(screenPoint(0, 100, 0, 100), kLongHint);
    QVERIFY(window);
    QVERIFY(window->isVisible());
    QCOMPARE(window->flatHint(), nullptr);
    // The look of a fresh component: its width and font...
    const QSize text = textExtent(tk::defaultFont(), kLongHint, 200 - 22);
    QCOMPARE(window->size(), text + QSize(22, 6));
    QVERIFY(window->width() <= 200);

    // ...and its colours (placed below right: the strip is on the left).
    const QImage image = window->grab().toImage();
    const struct {
        QPoint pixel;
        QColor color;
        const char *name;
    } expected[] = {
        {{0, 0}, QColor(0, 0, 0), "frame corner (0,0): black"},
        {{1, 1}, QColor(255, 210, 83), "strip (1,1): rgb(255, 210, 83)"},
        {{window->width() - 2, 1}, QColor(255, 255, 255), "text area (W-2,1): white"},
        {{3, 3}, QColor(0, 0, 0), "arrow tip (3,3): black"},
    };
    for (const auto &e : expected)
        QVERIFY2(
            image.pixelColor(e.pixel) == e.color,
            qPrintable(u"%1 is %2"_s.arg(QLatin1StringView(e.name), describe(image.pixelColor(e.pixel)))));
}

void TestFlatHint::placement_data()
{
    QTest::addColumn<QPoint>("cursor");
    QTest::addColumn<QPoint>("givenCorner"); // of the rectangle handed to the activation: it cancels out
    QTest::addColumn<int>("placement");
    // "left" or "top": the window the quarter places there would cross that edge of the screen and lies
    // on it instead, by the least move; otherwise the quarter's position holds.
    QTest::addColumn<QString>("flushWith");

    const QPoint corner{37, 91};
    QTest::newRow("top-left quarter")
        << screenPoint(0, 100, 0, 100) << corner << int(hpBelowRight) << QString();
    QTest::newRow("top-left quarter, other given rectangle")
        << screenPoint(0, 100, 0, 100) << QPoint(-400, 650) << int(hpBelowRight) << QString();
    QTest::newRow("top-right quarter")
        << screenPoint(1, 150, 0, 100) << corner << int(hpBelowLeft) << QString();
    QTest::newRow("bottom-left quarter")
        << screenPoint(0, 100, 1, 150) << corner << int(hpAboveRight) << QString();
    QTest::newRow("bottom-right quarter")
        << screenPoint(1, 150, 1, 150) << corner << int(hpAboveLeft) << QString();
    QTest::newRow("screen origin") << screenPoint(0, 0, 0, 0) << corner << int(hpBelowRight) << QString();
    QTest::newRow("last pixel left of and above the middle")
        << screenPoint(1, -1, 1, -1) << corner << int(hpBelowRight) << QString();
    QTest::newRow("vertical middle line, upper half")
        << screenPoint(1, 0, 0, 100) << corner << int(hpBelowLeft) << QString();
    QTest::newRow("horizontal middle line, left half")
        << screenPoint(0, 100, 1, 0) << corner << int(hpAboveRight) << QString();
    QTest::newRow("both middle lines") << screenPoint(1, 0, 1, 0) << corner << int(hpAboveLeft) << QString();
    QTest::newRow("last pixel of the screen")
        << screenPoint(2, -1, 2, -1) << corner << int(hpAboveLeft) << QString();
    QTest::newRow("right of the screen, upper half")
        << screenPoint(2, 0, 0, 100) << corner << int(hpAboveLeft) << QString();
    QTest::newRow("below the screen, left half")
        << screenPoint(0, 100, 2, 0) << corner << int(hpAboveLeft) << QString();
    QTest::newRow("left of the screen, upper half")
        << screenPoint(0, -40, 0, 100) << corner << int(hpAboveLeft) << u"left"_s;
    QTest::newRow("above the screen, left half")
        << screenPoint(0, 100, 0, -30) << corner << int(hpAboveLeft) << u"top"_s;
}

void TestFlatHint::placement()
{
    QFETCH(QPoint, cursor);
    QFETCH(QPoint, givenCorner);
    QFETCH(int, placement);
    QFETCH(QString, flushWith);
    applyProgramSettings(m_hint);
    const QString text = u"Выход"_s;
    TFlatHintWindow *window = activateAt(cursor, text, givenCorner);
    QVERIFY(window);
    QCOMPARE(QCursor::pos(), cursor);
    QCOMPARE(int(window->placement()), placement);
    QVERIFY(window->isVisible());

    const QSize size = textExtent(programHintFont(), text, 400 - 22) + QSize(22, 6);
    const int w = size.width(), h = size.height(), x = cursor.x(), y = cursor.y();
    // left, top, right, bottom by placement; 12 pixels off the cursor below right, 5 elsewhere.
    tk::TRect expected;
    switch (placement) {
    case hpBelowRight:
        expected = {x + 12, y + 12, x + 12 + w, y + 12 + h};
        break;
    case hpBelowLeft:
        expected = {x - 5 - w, y + 5, x - 5, y + 5 + h};
        break;
    case hpAboveRight:
        expected = {x + 5, y - 5 - h, x + 5 + w, y - 5};
        break;
    case hpAboveLeft:
        expected = {x - 5 - w, y - 5 - h, x - 5, y - 5};
        break;
    default:
        QFAIL("a placement the hint window does not have");
    }
    QRect bounds = expected.toQRect();
    if (flushWith == u"left"_s)
        bounds.moveLeft(0);
    else if (flushWith == u"top"_s)
        bounds.moveTop(0);
    QCOMPARE(window->geometry(), bounds);
}

namespace {
// Where a side of the window ends up: as the quarter puts it, or flush with the low (left, top) or high
// (right, bottom) edge of the screen's available area.
enum class Side { Quarter, Low, High };
} // namespace

void TestFlatHint::staysOnScreen_data()
{
    QTest::addColumn<QRect>("screen");
    QTest::addColumn<QRect>("available");
    QTest::addColumn<QPoint>("cursor");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("placement");
    QTest::addColumn<int>("horizontal"); // Side
    QTest::addColumn<int>("vertical");

    const QString shortHint = u"Выход"_s;
    // Scale 2 on 1280 x 1024: a logical screen of 640 x 512, where the 400-pixel hint of the program
    // crosses the side edge from every quarter near the middle.
    const QRect small(0, 0, 640, 512);
    const auto row = [](const char *name, QRect screen, QRect available, QPoint cursor, const QString &text,
                        TFlatHintPlacement placement, Side h, Side v) {
        QTest::newRow(name) << screen << available << cursor << text << int(placement) << int(h) << int(v);
    };
    row("640 x 512, top-left quarter: in from the right edge", small, small, {300, 100}, kLongHint,
        hpBelowRight, Side::High, Side::Quarter);
    row("640 x 512, top-right quarter: in from the left edge", small, small, {340, 100}, kLongHint,
        hpBelowLeft, Side::Low, Side::Quarter);
    row("640 x 512, bottom-left quarter: in from the right edge", small, small, {300, 400}, kLongHint,
        hpAboveRight, Side::High, Side::Quarter);
    row("640 x 512, bottom-right quarter: in from the left edge", small, small, {340, 400}, kLongHint,
        hpAboveLeft, Side::Low, Side::Quarter);
    row("640 x 512, a short hint that fits keeps the quarter's place", small, small, {300, 100}, shortHint,
        hpBelowRight, Side::Quarter, Side::Quarter);
    // Scale 2 on 1366 x 768, less a panel of 30 pixels along the top.
    const QRect wide(0, 0, 683, 384), belowPanel(0, 30, 683, 354);
    row("683 x 384 less a panel, the middle slot's place: in from the left edge", wide, belowPanel,
        {350, 200}, kLongHint, hpAboveLeft, Side::Low, Side::Quarter);
    // A screen lower than the hint is tall: above the pointer it would cross the top, here the panel.
    const QRect low(0, 0, 640, 120), lowBelowPanel(0, 30, 640, 90);
    row("640 x 120 less a panel, bottom-left quarter: down to the panel's edge", low, lowBelowPanel, {20, 70},
        kLongHint, hpAboveRight, Side::Quarter, Side::Low);
    row("640 x 120, top-right quarter: up from the bottom edge", low, low, {620, 59}, kLongHint, hpBelowLeft,
        Side::Quarter, Side::High);
    // A large screen: every quarter's place holds.
    const QRect large(0, 0, 1920, 1080);
    row("1920 x 1080, top-left quarter", large, large, {700, 300}, kLongHint, hpBelowRight, Side::Quarter,
        Side::Quarter);
    row("1920 x 1080, top-right quarter", large, large, {1000, 300}, kLongHint, hpBelowLeft, Side::Quarter,
        Side::Quarter);
    row("1920 x 1080, bottom-left quarter", large, large, {700, 600}, kLongHint, hpAboveRight, Side::Quarter,
        Side::Quarter);
    row("1920 x 1080, bottom-right quarter", large, large, {1000, 600}, kLongHint, hpAboveLeft, Side::Quarter,
        Side::Quarter);
}

void TestFlatHint::staysOnScreen()
{
    QFETCH(QRect, screen);
    QFETCH(QRect, available);
    QFETCH(QPoint, cursor);
    QFETCH(QString, text);
    QFETCH(int, placement);
    QFETCH(int, horizontal);
    QFETCH(int, vertical);
    tk::overrideScreen(screen, available);
    applyProgramSettings(m_hint);
    TFlatHintWindow *window = activateAt(cursor, text);
    QVERIFY(window);
    QCOMPARE(QCursor::pos(), cursor);
    QCOMPARE(int(window->placement()), placement);

    const QSize size = textExtent(programHintFont(), text, 400 - 22) + QSize(22, 6);
    const int w = size.width(), h = size.height(), x = cursor.x(), y = cursor.y();
    const int d = placement == hpBelowRight ? 12 : 5;
    const bool right = placement == hpBelowRight || placement == hpAboveRight;
    const bool below = placement == hpBelowRight || placement == hpBelowLeft;
    const int quarterLeft = right ? x + d : x - d - w, quarterTop = below ? y + d : y - d - h;
    const auto place = [](int side, int quarter, int low, int extent, int size) {
        switch (Side(side)) {
        case Side::Low:
            return low;
        case Side::High:
            return low + extent - size;
        default:
            return quarter;
        }
    };
    const QRect expected(place(horizontal, quarterLeft, available.left(), available.width(), w),
                         place(vertical, quarterTop, available.top(), available.height(), h), w, h);
    QCOMPARE(window->geometry(), expected);
    QVERIFY(available.contains(window->geometry()));
}

void TestFlatHint::windowSize_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("maxWidth");
    QTest::addColumn<bool>("withinMax");
    QTest::addColumn<int>("minLines");

    QTest::newRow("short one-line hint") << u"Выход из программы"_s << 400 << true << 1;
    QTest::newRow("ampersands show as they are") << u"Tom && Jerry & Co"_s << 400 << true << 1;
    QTest::newRow("line feed: two lines") << u"Закрыть справку\nпо руне"_s << 400 << true << 2;
    QTest::newRow("long hint wraps within 400") << kLongHint << 400 << true << 3;
    QTest::newRow("long hint wraps within 250") << kLongHint << 250 << true << 5;
    QTest::newRow("word wider than the wrap width")
        << u"Неразрывнонаписанноедлинноеслово и ещё"_s << 120 << false << 2;
    QTest::newRow("MaxHintWidth smaller than the margins") << u"ab cd"_s << 10 << false << 2;
    QTest::newRow("negative MaxHintWidth") << u"ab cd"_s << -50 << false << 2;
    // At the ends of the range no sum overflows (UBSan).
    QTest::newRow("largest MaxHintWidth") << kLongHint << std::numeric_limits<int>::max() - 10 << true << 1;
    QTest::newRow("smallest MaxHintWidth") << u"ab cd"_s << std::numeric_limits<int>::min() << false << 2;
}

void TestFlatHint::windowSize()
{
    QFETCH(QString, text);
    QFETCH(int, maxWidth);
    QFETCH(bool, withinMax);
    QFETCH(int, minLines);
    applyProgramSettings(m_hint);
    m_hint->setMaxHintWidth(maxWidth);
    TFlatHintWindow *window = activateAt(screenPoint(0, 20, 0, 20), text);
    QVERIFY(window);
    QCOMPARE(window->Caption(), text);

    const QSize extent = textExtent(programHintFont(), text, int(std::max<qint64>(qint64(maxWidth) - 22, 0)));
    QCOMPARE(window->size(), extent + QSize(22, 6));
    QCOMPARE(window->width() <= maxWidth, withinMax);
    const QFontMetrics metrics(programHintFont());
    QVERIFY2(window->height() - 6 >= minLines * metrics.height(),
             qPrintable(u"height %1"_s.arg(window->height())));
    if (minLines == 1)
        QVERIFY(window->height() - 6 < 2 * metrics.height());
}

void TestFlatHint::settingsReadOnEveryActivation()
{
    applyProgramSettings(m_hint);
    TFlatHintWindow *window = activateAt(screenPoint(0, 20, 0, 20), kLongHint);
    QVERIFY(window);
    QVERIFY(window->width() > 300);
    const int bigHeight = window->height();

    m_hint->setMaxHintWidth(200);
    m_hint->setFont(tk::makeFont(u"Arial"_s, -10), tk::clWindowText);
    window = activateAt(screenPoint(0, 21, 0, 21), kLongHint);
    QCOMPARE(window->size(), textExtent(tk::makeFont(u"Arial"_s, -10), kLongHint, 178) + QSize(22, 6));
    QVERIFY(window->width() <= 200);
    QVERIFY(window->height() != bigHeight);
}

void TestFlatHint::paint_data()
{
    QTest::addColumn<QPoint>("cursor");
    QTest::addColumn<int>("placement");
    QTest::addColumn<bool>("stripOnLeft");
    QTest::addColumn<bool>("arrowAtTop");
    QTest::newRow("below right") << screenPoint(0, 100, 0, 100) << int(hpBelowRight) << true << true;
    QTest::newRow("below left") << screenPoint(1, 0, 0, 100) << int(hpBelowLeft) << false << true;
    QTest::newRow("above right") << screenPoint(0, 100, 1, 150) << int(hpAboveRight) << true << false;
    QTest::newRow("above left") << screenPoint(1, 150, 1, 150) << int(hpAboveLeft) << false << false;
}

void TestFlatHint::paint()
{
    QFETCH(QPoint, cursor);
    QFETCH(int, placement);
    QFETCH(bool, stripOnLeft);
    QFETCH(bool, arrowAtTop);
    applyProgramSettings(m_hint);
    m_hint->setColorBackground(0x00E1FFFF); // rgb(255, 255, 225)
    m_hint->setColorBorder(tk::clNavy);     // rgb(0, 0, 128)
    m_hint->setColorArrow(tk::clMaroon);    // rgb(128, 0, 0); the strip keeps rgb(255, 210, 83)
    const QColor background(255, 255, 225), border(0, 0, 128), strip(255, 210, 83), arrow(128, 0, 0);

    TFlatHintWindow *window = activateAt(cursor, u"Справка по программе ORMEX"_s);
    QVERIFY(window);
    QCOMPARE(int(window->placement()), placement);
    const QImage image = window->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const int W = image.width(), H = image.height();
    QCOMPARE(QSize(W, H), window->size());

    // Strip and text area, each with its four corner pixels; the frame at corners and edge middles.
    const QRect stripRect =
        stripOnLeft ? QRect(QPoint(1, 1), QPoint(14, H - 2)) : QRect(QPoint(W - 15, 1), QPoint(W - 2, H - 2));
    const QRect textRect =
        stripOnLeft ? QRect(QPoint(15, 1), QPoint(W - 2, H - 2)) : QRect(QPoint(1, 1), QPoint(W - 16, H - 2));
    struct Named {
        QPoint pixel;
        QColor color;
        QString name;
    };
    QList<Named> expected;
    for (QPoint p : {QPoint(0, 0), QPoint(W - 1, 0), QPoint(0, H - 1), QPoint(W - 1, H - 1), QPoint(W / 2, 0),
                     QPoint(W / 2, H - 1), QPoint(0, H / 2), QPoint(W - 1, H / 2)})
        expected << Named{p, border, u"frame"_s};
    // The strip's corner away from the arrow, and the text area's four corners (no text reaches them).
    expected << Named{arrowAtTop
                          ? QPoint(stripOnLeft ? stripRect.left() : stripRect.right(), stripRect.bottom())
                          : QPoint(stripOnLeft ? stripRect.left() : stripRect.right(), stripRect.top()),
                      strip, u"strip corner away from the arrow"_s};
    expected << Named{QPoint(stripOnLeft ? stripRect.right() : stripRect.left(),
                             arrowAtTop ? stripRect.bottom() : stripRect.top()),
                      strip, u"strip edge next to the text"_s};
    expected << Named{QPoint(stripOnLeft ? stripRect.left() : stripRect.right(),
                             arrowAtTop ? stripRect.top() : stripRect.bottom()),
                      strip, u"strip corner beside the tip"_s};
    for (QPoint p : {textRect.topLeft(), textRect.topRight(), textRect.bottomLeft(), textRect.bottomRight()})
        expected << Named{p, background, u"text area"_s};
    const QPoint tip(stripOnLeft ? 3 : W - 4, arrowAtTop ? 3 : H - 4);
    expected << Named{tip, arrow, u"arrow tip"_s};
    for (const Named &e : expected)
        QVERIFY2(image.pixelColor(e.pixel) == e.color,
                 qPrintable(u"%1 pixel (%2,%3) should be %4, is %5"_s.arg(e.name)
                                .arg(e.pixel.x())
                                .arg(e.pixel.y())
                                .arg(describe(e.color), describe(image.pixelColor(e.pixel)))));
    QCOMPARE(window->arrowPoint(), tip);

    // The arrow: exactly the pixels of its 17 segments, nothing more, and everything else in the strip
    // is the strip's colour.
    QList<QPoint> expectedArrow = outlinePixels(tip, stripOnLeft ? 1 : -1, arrowAtTop ? 1 : -1);
    QList<QPoint> drawnArrow;
    for (int y = stripRect.top(); y <= stripRect.bottom(); ++y)
        for (int x = stripRect.left(); x <= stripRect.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c == arrow)
                drawnArrow << QPoint(x, y);
            else
                QVERIFY2(c == strip,
                         qPrintable(u"strip pixel (%1,%2) is %3"_s.arg(x).arg(y).arg(describe(c))));
        }
    std::sort(expectedArrow.begin(), expectedArrow.end(), pointLess);
    std::sort(drawnArrow.begin(), drawnArrow.end(), pointLess);
    QCOMPARE(drawnArrow, expectedArrow);

    // Text is drawn, in the font's colour, inside the text area only.
    bool textInk = false;
    for (int y = textRect.top(); y <= textRect.bottom() && !textInk; ++y)
        for (int x = textRect.left(); x <= textRect.right() && !textInk; ++x)
            textInk = image.pixelColor(x, y) != background;
    QVERIFY(textInk);
}

void TestFlatHint::textBox_data()
{
    QTest::addColumn<QPoint>("cursor");
    QTest::addColumn<bool>("stripOnLeft");
    QTest::addColumn<QString>("text");
    QTest::newRow("wrapped, strip on the left") << screenPoint(0, 100, 0, 100) << true << kLongHint;
    QTest::newRow("wrapped, strip on the right") << screenPoint(1, 150, 1, 150) << false << kLongHint;
    QTest::newRow("ampersands drawn as they are")
        << screenPoint(0, 100, 0, 100) << true << u"Tom && Jerry & Co"_s;
    QTest::newRow("line feed starts a second line")
        << screenPoint(0, 100, 0, 100) << true << u"Закрыть\nсправку"_s;
}

void TestFlatHint::textBox()
{
    QFETCH(QPoint, cursor);
    QFETCH(bool, stripOnLeft);
    QFETCH(QString, text);
    applyProgramSettings(m_hint);
    m_hint->setColorBackground(tk::clWhite);
    TFlatHintWindow *window = activateAt(cursor, text);
    QVERIFY(window);
    const QImage image = window->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const int W = image.width(), H = image.height();

    // The text area as it should look: the wrapped text, left-aligned in a box 3 pixels in from the
    // strip and from the frame, 2 below the window's top edge, exactly as wide as was measured.
    const QRect area = stripOnLeft ? QRect(15, 1, W - 16, H - 2) : QRect(1, 1, W - 16, H - 2);
    QImage expected(image.size(), QImage::Format_RGB32);
    expected.fill(Qt::white);
    {
        QPainter painter(&expected);
        painter.setFont(programHintFont());
        painter.setPen(Qt::black);
        painter.drawText(QRect(area.left() + 3, 2, W - 22, H - 4),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
    }
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixel(x, y) != expected.pixel(x, y))
                QFAIL(qPrintable(u"text area pixel (%1,%2) is %3, should be %4"_s.arg(x).arg(y).arg(
                    describe(image.pixelColor(x, y)), describe(expected.pixelColor(x, y)))));
}

void TestFlatHint::colorChangeWhileShown_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QPoint>("pixel"); // below right: strip on the left, arrow at the top
    QTest::newRow("background, text area pixel (20,1)") << 0 << QPoint(20, 1);
    QTest::newRow("border, frame pixel (0,0)") << 1 << QPoint(0, 0);
    QTest::newRow("arrow background, strip pixel (1,1)") << 2 << QPoint(1, 1);
    QTest::newRow("arrow, tip pixel (3,3)") << 3 << QPoint(3, 3);
}

void TestFlatHint::colorChangeWhileShown()
{
    QFETCH(int, index);
    QFETCH(QPoint, pixel);
    applyProgramSettings(m_hint);
    m_hint->setColorBackground(tk::clWhite);
    m_hint->setColorBorder(tk::clBlack);
    m_hint->setColorArrowBackground(tk::clYellow);
    m_hint->setColorArrow(tk::clBlack);
    const QColor before = index == 0   ? QColor(255, 255, 255)
                          : index == 2 ? QColor(255, 255, 0)
                                       : QColor(0, 0, 0);
    const QColor after(0, 128, 128); // clTeal

    TFlatHintWindow *window = activateAt(screenPoint(0, 100, 0, 100), u"Руна"_s);
    QVERIFY(window);
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QTRY_COMPARE(screenPixel(window, pixel), before);

    m_hint->setColors(index, tk::clTeal);
    QCoreApplication::processEvents();
    QCOMPARE(screenPixel(window, pixel), before);

    // The next hint takes it.
    activateAt(screenPoint(0, 101, 0, 101), u"Руна"_s);
    QTRY_COMPARE(screenPixel(window, pixel), after);
}

void TestFlatHint::showHintThroughApplication_data()
{
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<QString>("replacement"); // empty: the text stays
    QTest::addColumn<QString>("shown");       // empty: no hint shows
    QTest::newRow("handler leaves the hint") << false << QString() << u"Руна Феу"_s;
    QTest::newRow("handler cancels") << true << QString() << QString();
    QTest::newRow("handler changes the text")
        << false << u"Богатство, имущество, успех в делах"_s << u"Богатство, имущество, успех в делах"_s;
}

void TestFlatHint::showHintThroughApplication()
{
    QFETCH(bool, cancel);
    QFETCH(QString, replacement);
    QFETCH(QString, shown);
    applyProgramSettings(m_hint);
    auto *slot = new tk::GraphicControl(m_form.get());
    slot->setGeometry(22, 72, 145, 177);
    slot->setHint(u"Руна Феу"_s);
    slot->setShowHint(true);
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));

    QStringList received;
    QList<QWidget *> controls;
    m_hint->OnShowHint = [&](QString &hint, bool &canShow, tk::THintInfo &info) {
        received << hint;
        controls << info.HintControl;
        if (cancel)
            canShow = false;
        if (!replacement.isEmpty())
            hint = replacement;
    };
    const QPoint cursor = slot->mapToGlobal(QPoint(70, 80));
    moveTo(cursor);
    QCOMPARE(app()->hints().pendingHintDelay(), 500);
    QTRY_COMPARE(received.size(), 1);
    QCOMPARE(received.first(), u"Руна Феу"_s);
    QCOMPARE(controls.first(), slot);

    TFlatHintWindow *window = flatWindow();
    QVERIFY(window);
    if (shown.isEmpty()) {
        QCoreApplication::processEvents();
        QVERIFY(!window->isVisible());
        QCOMPARE(app()->hints().pendingHintDelay(), -1);
        return;
    }
    QTRY_VERIFY(window->isVisible());
    QCOMPARE(window->Caption(), shown);
    QCOMPARE(window->flatHint(), m_hint);
    QCOMPARE(QApplication::activeWindow(), m_form.get());
    // Measured on the text it shows, and placed by the cursor it rests at (top-left quarter).
    const QSize size = textExtent(programHintFont(), shown, 400 - 22) + QSize(22, 6);
    QCOMPARE(int(window->placement()), int(hpBelowRight));
    QCOMPARE(window->geometry(), QRect(cursor + QPoint(12, 12), size));
}

void TestFlatHint::handlerDeletes_data()
{
    QTest::addColumn<QString>("victim");
    QTest::newRow("OnShowHint deletes the component") << u"component"_s;
    QTest::newRow("OnShowHint deletes the hinted control") << u"control"_s;
    QTest::newRow("OnShowHint deletes the window of both") << u"window"_s;
}

// The show-hint handler may delete its own component, the control whose hint it is about, or the window
// that owns them; nothing may reach what is gone (ASan), and hints go on.
void TestFlatHint::handlerDeletes()
{
    QFETCH(QString, victim);
    auto makeSlot = [this](QPoint at, const QString &hint) {
        auto *slot = new tk::GraphicControl(m_form.get());
        slot->setGeometry(QRect(at, QSize(145, 177)));
        slot->setHint(hint);
        slot->setShowHint(true);
        return slot;
    };
    QPointer<tk::GraphicControl> slot = makeSlot({22, 72}, u"Руна Феу"_s);
    QPointer<tk::GraphicControl> other = makeSlot({200, 72}, u"Руна Уруз"_s);
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));

    int calls = 0;
    m_hint->OnShowHint = [this, &calls, &slot, victim](QString &, bool &, tk::THintInfo &) {
        if (++calls > 1)
            return;
        // Nothing of the handler is read after the deletion: the component holds it.
        if (victim == u"component")
            delete std::exchange(m_hint, nullptr);
        else if (victim == u"control")
            delete slot.data();
        else
            m_form.reset();
    };
    moveTo(slot->mapToGlobal(QPoint(70, 80)));
    QTRY_COMPARE(calls, 1);
    QCoreApplication::processEvents();
    QVERIFY(!slot || victim == u"component");

    TFlatHintWindow *window = flatWindow();
    QVERIFY(window);
    if (victim == u"window") {
        QVERIFY(!window->isVisible());
        QCOMPARE(app()->hints().hintControl(), nullptr);
        return;
    }
    // Without its component the hint shows in the look of a fresh one; without its control, not at all.
    QCOMPARE(window->isVisible(), victim == u"component");
    if (victim == u"component")
        QCOMPARE(window->flatHint(), nullptr);

    moveTo(other->mapToGlobal(QPoint(70, 80)));
    QTRY_VERIFY(window->isVisible() && window->Caption() == u"Руна Уруз"_s);
    QCOMPARE(calls, victim == u"component" ? 1 : 2);
}

int main(int argc, char *argv[])
{
    tk::Application app(argc, argv);
    tk::installFontSubstitutes();
    app.setFont(tk::defaultFont());
    TestFlatHint test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_flathint.moc"
