#include "controls/flat/TFlatButtonUnit.h"
#include "controls/flat/TFlatMemoUnit.h"
#include "controls/flat/TFlatPanelUnit.h"

#include "tests/support/activation.h"
#include "tests/support/blocks.h"
#include "tests/support/errorboxes.h"
#include "tests/support/testcolors.h"
#include "toolkit/application/application.h"
#include "toolkit/base/errors.h"
#include "toolkit/base/events.h"
#include "toolkit/painting/fonts.h"
#include "toolkit/widgets/control.h"

#include <QCursor>
#include <QDialog>
#include <QPainter>
#include <QPointer>
#include <QSignalSpy>
#include <QStyleFactory>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

// Pixels are compared exactly: the face, the frame and the glyph are drawn without smoothing.
struct Pixel {
    const char *name;
    QPoint at;
    QColor color;
};

const QColor kWhite(255, 255, 255);
const QColor kBlack(0, 0, 0);
const QColor kCloseFace(255, 209, 87);    // the program's close button, 5755391
const QColor kFocusedFace(235, 234, 225); // default ColorFocused
const QColor kDownFace(217, 214, 197);    // default ColorDown
const QColor kBorder(160, 150, 131);      // default ColorBorder
const QColor kHostColor(40, 90, 160);     // the window the buttons sit on
const QColor kBtnFace(212, 208, 200);
const QColor kBtnShadow(128, 128, 128);
const QColor kBtnHighlight(255, 255, 255);

constexpr tk::TColor kCloseColor = 5755391;
const QSize kCloseSize(73, 33);

} // namespace

Q_DECLARE_METATYPE(Pixel)

enum class Reach { Idle, Hover, Focus, Press, PressDragOut, Disabled, Latched, LatchedHover, IdleDefault };
Q_DECLARE_METATYPE(Reach)

enum class Thrower { MouseDown, MouseUp, Click };
Q_DECLARE_METATYPE(Thrower)

class TestFlatButton : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void parentFontColor_data();
    void parentFontColor();
    void sameParentSameFace();
    void init();
    void cleanup();

    void defaults();
    void takesFlatPanelColor();
    void looks_data();
    void looks();
    void pressedCaptionMovesOnePixel();
    void advancedColors_data();
    void advancedColors();
    void advancedColorsFollowOnlyOnRecompute();
    void hoverTimerIsShared();
    void hoverMovesBetweenButtons();
    void hoverEndsWithinTimerInterval();
    void inactiveApplicationDoesNotLight();
    void focusAndHover();
    void clicks_data();
    void clicks();
    void dragOutAndBack();
    void heldButtonStaysHotThroughTicks();
    void modalResult_data();
    void modalResult();
    void groups();
    void downSetter_data();
    void downSetter();
    void keyboard_data();
    void keyboard();
    void spaceHeldWhileFocusMoves();
    void accelerator();
    void doubleClick_data();
    void doubleClick();
    void enterAndLeave();
    void clickHandlerHidesParent_data();
    void clickHandlerHidesParent();
    void handlerErrors_data();
    void handlerErrors();
    void hiddenWhilePressed();
    void errorBoxWhilePressed();
    void disabled();
    void glyphCellCount_data();
    void glyphCellCount();
    void glyphLooks_data();
    void glyphLooks();
    void setterCoercion();
    void transparentModes_data();
    void transparentModes();
    void destroyedWhileHot();

private:
    TFlatButton *makeButton(QWidget *parent, QPoint at, QSize size = kCloseSize);
    TFlatButton *closeButton();
    QPoint inHost(const TFlatButton *b, QPoint p) const { return b->mapTo(m_host.get(), p); }
    QPoint centreOf(const TFlatButton *b) const { return inHost(b, b->rect().center()); }
    // Qt drops a move to where the last mouse event was (a click of QTest's, say): two moves make sure
    // the button hears of the mouse.
    void hoverOver(const TFlatButton *b)
    {
        const QPoint centre = b->mapToGlobal(b->rect().center());
        moveCursorTo(centre + QPoint(1, 1));
        moveCursorTo(centre);
    }
    void moveCursorTo(QPoint global)
    {
        QCursor::setPos(global);
        QCoreApplication::processEvents();
    }
    void parkCursor()
    {
        moveCursorTo(m_host->mapToGlobal(QPoint(m_host->width() - 2, m_host->height() - 2)));
    }
    void press(const TFlatButton *b, QPoint local, Qt::MouseButton button = Qt::LeftButton)
    {
        QTest::mousePress(m_host->windowHandle(), button, {}, inHost(b, local));
    }
    void release(const TFlatButton *b, QPoint local, Qt::MouseButton button = Qt::LeftButton)
    {
        QTest::mouseRelease(m_host->windowHandle(), button, {}, inHost(b, local));
    }
    void drag(const TFlatButton *b, QPoint local)
    {
        QTest::mouseMove(m_host->windowHandle(), inHost(b, local));
    }
    void clickAt(const TFlatButton *b, QPoint local)
    {
        press(b, local);
        release(b, local);
    }
    static void verifyPixels(const QImage &image, const QList<Pixel> &pixels);

    std::unique_ptr<QWidget> m_host;
    int m_clicks = 0;
};

TFlatButton *TestFlatButton::makeButton(QWidget *parent, QPoint at, QSize size)
{
    auto *b = new TFlatButton(parent);
    b->setGeometry(QRect(at, size));
    b->OnClick = [this](QObject *) { ++m_clicks; };
    b->show();
    return b;
}

// The panel's close button as the main window sets it up.
TFlatButton *TestFlatButton::closeButton()
{
    TFlatButton *b = makeButton(m_host.get(), {40, 60});
    b->setCaption(u"Закрыть"_s);
    b->setHint(u"Закрыть справку по руне"_s);
    b->setColor(kCloseColor);
    b->setParentColor(false);
    return b;
}

void TestFlatButton::verifyPixels(const QImage &image, const QList<Pixel> &pixels)
{
    for (const Pixel &p : pixels) {
        const QColor actual = image.pixelColor(p.at);
        QVERIFY2(actual == p.color,
                 qPrintable(u"%1 (%2,%3): expected %4, got %5"_s.arg(QLatin1StringView(p.name))
                                .arg(p.at.x())
                                .arg(p.at.y())
                                .arg(describe(p.color), describe(actual))));
    }
}

void TestFlatButton::init()
{
    m_clicks = 0;
    m_host = std::make_unique<QWidget>(nullptr, Qt::Window | Qt::FramelessWindowHint);
    QPalette palette = m_host->palette();
    palette.setColor(QPalette::Window, kHostColor);
    m_host->setPalette(palette);
    m_host->setAutoFillBackground(true);
    m_host->setGeometry(100, 100, 320, 220);
    m_host->show();
    QVERIFY(QTest::qWaitForWindowActive(m_host.get()));
    parkCursor();
}

void TestFlatButton::cleanup()
{
    m_host.reset();
    QCOMPARE(TFlatButton::FlatButtonCount(), 0);
    QCOMPARE(TFlatButton::HotTrackTimer(), nullptr);
    QCOMPARE(tk::captureControl(), nullptr);
}

void TestFlatButton::defaults()
{
    auto *b = new TFlatButton(m_host.get());
    QCOMPARE(b->geometry(), QRect(0, 0, 25, 25));
    QCOMPARE(b->Caption(), QString());
    QVERIFY(!b->TabStop());
    QCOMPARE(b->focusPolicy() & Qt::TabFocus, 0);
    QVERIFY(b->ParentColor());
    QCOMPARE(tk::toQColor(b->Color()), kHostColor);
    QCOMPARE(tk::toQColor(b->ColorFocused()), kFocusedFace);
    QCOMPARE(tk::toQColor(b->ColorDown()), kDownFace);
    QCOMPARE(tk::toQColor(b->ColorBorder()), kBorder);
    QCOMPARE(tk::toQColor(b->ColorHighLight()), kWhite);
    QCOMPARE(tk::toQColor(b->ColorShadow()), kBlack);
    QCOMPARE(int(b->AdvColorFocused()), 10);
    QCOMPARE(int(b->AdvColorDown()), 10);
    QCOMPARE(int(b->AdvColorBorder()), 50);
    QVERIFY(!b->UseAdvColors());
    QCOMPARE(b->TransparentMode(), tmNone);
    QCOMPARE(b->Layout(), blGlyphTop);
    QCOMPARE(b->Margin(), -1);
    QCOMPARE(b->Spacing(), 4);
    QCOMPARE(int(b->NumGlyphs()), 1);
    QVERIFY(b->Glyph().isNull());
    QCOMPARE(b->ModalResult(), 0);
    QVERIFY(b->ParentFont());
    QVERIFY(b->ParentShowHint());
    QVERIFY(b->windowed());
    QCOMPARE(b->State(), fbsUp);
    QVERIFY(!b->Hot());
    QCOMPARE(TFlatButton::FlatButtonCount(), 1);
    QVERIFY(TFlatButton::HotTrackTimer());
    QCOMPARE(TFlatButton::HotTrackTimer()->interval(), 100);
    QCOMPARE(TFlatButton::HotTrackTimer()->timerType(), Qt::PreciseTimer);
    QVERIFY(!TFlatButton::HotTrackTimer()->isActive());

    // Without a parent that sets a colour, the system's button face.
    TFlatButton orphan;
    QCOMPARE(orphan.Color(), tk::clBtnFace);
}

void TestFlatButton::takesFlatPanelColor()
{
    auto *panel = new TFlatPanel(m_host.get());
    panel->setColor(11794687); // pale yellow
    auto *b = new TFlatButton(panel);
    QVERIFY(b->ParentColor());
    QCOMPARE(b->Color(), tk::TColor(11794687));
    QCOMPARE(b->grab().toImage().pixelColor(1, 1), QColor(255, 248, 179));
    // It follows the panel's changes; a system colour stays a system colour, to follow the system table.
    panel->setColor(tk::clInfoBk);
    QCOMPARE(b->Color(), tk::clInfoBk);
    // With UseAdvColors the derived colours follow too: lightening a pale colour hits the cap of 100.
    b->setUseAdvColors(true);
    panel->setColor(tk::clWhite);
    QCOMPARE(b->ColorFocused(), grey(106));
    // A colour of its own is kept while the panel changes.
    b->setUseAdvColors(false);
    b->setColor(kCloseColor);
    panel->setColor(tk::clBlack);
    QCOMPARE(b->Color(), kCloseColor);
}

void TestFlatButton::looks_data()
{
    QTest::addColumn<Reach>("reach");
    QTest::addColumn<QList<Pixel>>("pixels");

    // A 73 x 33 face: the caption sits in the middle, well away from column 3 and row 3.
    const QList<Pixel> idle = {{"top-left corner: border", {0, 0}, kBorder},
                               {"bottom-right corner: border", {72, 32}, kBorder},
                               {"top-right corner: border", {72, 0}, kBorder},
                               {"just inside the border: face", {1, 1}, kCloseFace},
                               {"face left of the caption", {3, 16}, kCloseFace}};
    const QList<Pixel> hot = {{"top-left corner: highlight", {0, 0}, kWhite},
                              {"left column: highlight", {0, 31}, kWhite},
                              {"top row: highlight", {71, 0}, kWhite},
                              {"top-right corner: shadow", {72, 0}, kBlack},
                              {"bottom-left corner: shadow", {0, 32}, kBlack},
                              {"bottom-right corner: shadow", {72, 32}, kBlack},
                              {"just inside the frame: focused face", {1, 1}, kFocusedFace},
                              {"face left of the caption", {3, 16}, kFocusedFace}};
    const QList<Pixel> sunken = {{"top-left corner: shadow", {0, 0}, kBlack},
                                 {"left column: shadow", {0, 31}, kBlack},
                                 {"top-right corner: highlight", {72, 0}, kWhite},
                                 {"bottom-left corner: highlight", {0, 32}, kWhite},
                                 {"bottom-right corner: highlight", {72, 32}, kWhite},
                                 {"just inside the frame: down face", {1, 1}, kDownFace},
                                 {"face left of the caption", {3, 16}, kDownFace}};
    QList<Pixel> latchedHot = sunken;
    latchedHot[5] = {"just inside the frame: focused face", {1, 1}, kFocusedFace};
    latchedHot[6] = {"face left of the caption", {3, 16}, kFocusedFace};
    const QList<Pixel> defaultIdle = {{"outer ring: border", {0, 0}, kBorder},
                                      {"inner ring: border", {1, 1}, kBorder},
                                      {"inner ring, bottom right: border", {71, 31}, kBorder},
                                      {"inside both rings: face", {2, 2}, kCloseFace}};
    const QList<Pixel> disabled = {{"top-left corner: border", {0, 0}, kBorder},
                                   {"bottom-right corner: border", {72, 32}, kBorder},
                                   {"just inside the border: face", {1, 1}, kCloseFace}};

    QTest::newRow("idle: face colour, one-pixel border") << Reach::Idle << idle;
    QTest::newRow("mouse over: focused face, raised frame") << Reach::Hover << hot;
    QTest::newRow("focus: focused face, raised frame") << Reach::Focus << hot;
    QTest::newRow("pressed: down face, sunken frame") << Reach::Press << sunken;
    QTest::newRow("pressed, dragged out: raised again, still focused") << Reach::PressDragOut << hot;
    QTest::newRow("disabled: face colour, border") << Reach::Disabled << disabled;
    QTest::newRow("latched: down face, sunken") << Reach::Latched << sunken;
    QTest::newRow("latched, mouse over: focused face, sunken") << Reach::LatchedHover << latchedHot;
    QTest::newRow("default, idle: two-pixel border") << Reach::IdleDefault << defaultIdle;
}

void TestFlatButton::looks()
{
    QFETCH(Reach, reach);
    QFETCH(QList<Pixel>, pixels);

    TFlatButton *b = closeButton();
    const QPoint middle = b->rect().center();
    switch (reach) {
    case Reach::Idle:
        break;
    case Reach::Hover:
        hoverOver(b);
        QTRY_VERIFY(b->Hot());
        break;
    case Reach::Focus:
        b->setFocus();
        QVERIFY(b->hasFocus());
        break;
    case Reach::Press:
    case Reach::PressDragOut:
        press(b, middle);
        if (reach == Reach::PressDragOut)
            drag(b, {middle.x(), 60});
        break;
    case Reach::Disabled:
        b->setEnabled(false);
        break;
    case Reach::Latched:
    case Reach::LatchedHover:
        b->setGroupIndex(1);
        b->setDown(true);
        if (reach == Reach::LatchedHover) {
            hoverOver(b);
            QTRY_VERIFY(b->Hot());
        }
        break;
    case Reach::IdleDefault:
        b->setDefault(true);
        break;
    }
    verifyPixels(b->grab().toImage(), pixels);
    if (reach == Reach::Press || reach == Reach::PressDragOut)
        release(b, {middle.x(), 60});
}

void TestFlatButton::pressedCaptionMovesOnePixel()
{
    TFlatButton *b = closeButton();
    // One face colour for every state, so that only the caption's place tells them apart.
    b->setColorDown(kCloseColor);
    b->setColorFocused(kCloseColor);
    const QImage idle = b->grab().toImage();
    const tk::TRect idleCaption = b->CaptionRect();
    QVERIFY(idleCaption.width() > 0);

    press(b, b->rect().center());
    const QImage pressed = b->grab().toImage();
    const tk::TRect pressedCaption = b->CaptionRect();
    release(b, b->rect().center());

    QCOMPARE(pressedCaption, (tk::TRect{idleCaption.Left + 1, idleCaption.Top + 1, idleCaption.Right + 1,
                                        idleCaption.Bottom + 1}));
    int inked = 0;
    for (int y = idleCaption.Top; y < idleCaption.Bottom; ++y) {
        for (int x = idleCaption.Left; x < idleCaption.Right; ++x) {
            QCOMPARE(pressed.pixelColor(x + 1, y + 1), idle.pixelColor(x, y));
            inked += idle.pixelColor(x, y) != kCloseFace;
        }
    }
    QVERIFY(inked > 0); // the caption was drawn at all
}

void TestFlatButton::advancedColors_data()
{
    QTest::addColumn<tk::TColor>("parent");
    QTest::addColumn<int>("stepFocused");
    QTest::addColumn<tk::TColor>("focused");
    QTest::addColumn<tk::TColor>("down");
    QTest::addColumn<tk::TColor>("border");

    // Lightness on the 240 scale, raised by 10, then moved by the step; lightening stops at 100.
    QTest::newRow("white: lightening hits the cap of 100, darkening by 10 gives white back")
        << grey(255) << 10 << grey(106) << grey(255) << grey(213);
    QTest::newRow("black: 10 + 10 = 20 gives 21; darkening floors at 0")
        << grey(0) << 10 << grey(21) << grey(0) << grey(0);
    QTest::newRow("grey 128 (lightness 120): 130 capped, 120 back, 80 gives 85")
        << grey(128) << 10 << grey(106) << grey(128) << grey(85);
    QTest::newRow("step 0 keeps the stored ColorFocused")
        << grey(255) << 0 << tk::TColor(14805739) << grey(255) << grey(213);
}

void TestFlatButton::advancedColors()
{
    QFETCH(tk::TColor, parent);
    QFETCH(int, stepFocused);
    QFETCH(tk::TColor, focused);
    QFETCH(tk::TColor, down);
    QFETCH(tk::TColor, border);

    QPalette palette = m_host->palette();
    palette.setColor(QPalette::Window, tk::toQColor(parent));
    m_host->setPalette(palette);
    TFlatButton *b = closeButton();
    QVERIFY(!b->ParentColor());
    b->setAdvColorFocused(TAdvColors(stepFocused));
    b->setUseAdvColors(true);

    QVERIFY(b->ParentColor());
    QCOMPARE(b->Color(), parent);
    QCOMPARE(b->ColorFocused(), focused);
    QCOMPARE(b->ColorDown(), down);
    QCOMPARE(b->ColorBorder(), border);
    // The derived colours are what the hot face shows.
    b->setFocus();
    QCOMPARE(b->grab().toImage().pixelColor(1, 1), tk::toQColor(focused));
}

void TestFlatButton::advancedColorsFollowOnlyOnRecompute()
{
    TFlatButton *b = makeButton(m_host.get(), {10, 10});
    b->setUseAdvColors(true);
    const tk::TColor derivedFromHost = b->ColorFocused();

    // A colour of its own turns ParentColor off and leaves the derived colours alone.
    b->setColor(grey(0));
    QVERIFY(!b->ParentColor());
    QCOMPARE(b->ColorFocused(), derivedFromHost);
    // So does a colour set through its own property, until the next recomputation.
    b->setColorDown(tk::clYellow);
    QCOMPARE(b->ColorDown(), tk::clYellow);

    // A step change recomputes from the button's own (black) colour.
    b->setAdvColorBorder(50);
    QCOMPARE(b->ColorFocused(), grey(21));
    QCOMPARE(b->ColorDown(), grey(0));

    // A change of the parent's colour brings ParentColor back and derives from the parent.
    QPalette palette = m_host->palette();
    palette.setColor(QPalette::Window, QColor(255, 255, 255));
    m_host->setPalette(palette);
    QVERIFY(b->ParentColor());
    QCOMPARE(b->Color(), grey(255));
    QCOMPARE(b->ColorFocused(), grey(106));

    // So does a change of the system colours.
    b->setColor(grey(128));
    QVERIFY(!b->ParentColor());
    tk::setSystemColor(tk::COLOR_BTNFACE, tk::systemColor(tk::COLOR_BTNFACE));
    QVERIFY(b->ParentColor());
    QCOMPARE(b->Color(), grey(255));

    // Without UseAdvColors a system colour change leaves Color and ParentColor as they are.
    b->setUseAdvColors(false);
    QVERIFY(!b->ParentColor());
    b->setColor(grey(128));
    tk::setSystemColor(tk::COLOR_BTNFACE, tk::systemColor(tk::COLOR_BTNFACE));
    QVERIFY(!b->ParentColor());
    QCOMPARE(b->Color(), grey(128));
}

void TestFlatButton::hoverTimerIsShared()
{
    QCOMPARE(TFlatButton::FlatButtonCount(), 0);
    QCOMPARE(TFlatButton::HotTrackTimer(), nullptr);
    auto first = std::make_unique<TFlatButton>(m_host.get());
    QTimer *timer = TFlatButton::HotTrackTimer();
    QVERIFY(timer);
    QVERIFY(!timer->isActive());
    auto second = std::make_unique<TFlatButton>(m_host.get());
    QCOMPARE(TFlatButton::FlatButtonCount(), 2);
    QCOMPARE(TFlatButton::HotTrackTimer(), timer); // the second button made no timer of its own
    first.reset();
    QCOMPARE(TFlatButton::FlatButtonCount(), 1);
    QCOMPARE(TFlatButton::HotTrackTimer(), timer);
    second.reset();
    QCOMPARE(TFlatButton::FlatButtonCount(), 0);
    QCOMPARE(TFlatButton::HotTrackTimer(), nullptr);

    // The next button starts over with a stopped timer of 100 ms.
    TFlatButton again(m_host.get());
    QVERIFY(TFlatButton::HotTrackTimer());
    QCOMPARE(TFlatButton::HotTrackTimer()->interval(), 100);
    QVERIFY(!TFlatButton::HotTrackTimer()->isActive());
}

void TestFlatButton::hoverMovesBetweenButtons()
{
    TFlatButton *left = makeButton(m_host.get(), {10, 10});
    TFlatButton *right = makeButton(m_host.get(), {83, 10}); // touching the left one
    hoverOver(left);
    QVERIFY(left->Hot());
    QCOMPARE(TFlatButton::HotButton(), left);
    QVERIFY(TFlatButton::HotTrackTimer()->isActive());

    hoverOver(right);
    // At once, not on the next tick.
    QVERIFY(!left->Hot());
    QVERIFY(right->Hot());
    QCOMPARE(TFlatButton::HotButton(), right);
    QVERIFY(TFlatButton::HotTrackTimer()->isActive());
    QCOMPARE(left->grab().toImage().pixelColor(0, 0), kBorder); // idle frame
    QCOMPARE(right->grab().toImage().pixelColor(0, 0), kWhite); // raised frame
}

void TestFlatButton::hoverEndsWithinTimerInterval()
{
    TFlatButton *b = makeButton(m_host.get(), {10, 10});
    hoverOver(b);
    QVERIFY(b->Hot());
    // Onto the window itself: no flat button hears of it but through the timer.
    moveCursorTo(m_host->mapToGlobal(QPoint(200, 150)));
    QVERIFY(b->Hot());
    QTRY_VERIFY(!b->Hot());
    QCOMPARE(TFlatButton::HotButton(), nullptr);
    QVERIFY(!TFlatButton::HotTrackTimer()->isActive()); // only polled while a button is hot
    QCOMPARE(b->grab().toImage().pixelColor(0, 0), kBorder);
}

void TestFlatButton::inactiveApplicationDoesNotLight()
{
    TFlatButton *b = makeButton(m_host.get(), {10, 10});
    auto foreign = activateForeignWindow();
    QCOMPARE(QApplication::activeWindow(), nullptr);
    hoverOver(b);
    QVERIFY(!b->Hot());
    QCOMPARE(TFlatButton::HotButton(), nullptr);
    QVERIFY(!TFlatButton::HotTrackTimer()->isActive());

    foreign.reset();
    activateWidgetWindow(m_host.get());
    moveCursorTo(b->mapToGlobal(QPoint(5, 5)));
    QVERIFY(b->Hot());
}

void TestFlatButton::focusAndHover()
{
    TFlatButton *b = makeButton(m_host.get(), {10, 10});
    TFlatButton *other = makeButton(m_host.get(), {10, 100});

    // Losing the focus while the mouse rests on the button ends the hot look until the mouse moves.
    hoverOver(b);
    b->setFocus();
    QVERIFY(b->Hot());
    other->setFocus();
    QVERIFY(!b->Hot());
    QCOMPARE(TFlatButton::HotButton(), nullptr);
    moveCursorTo(b->mapToGlobal(QPoint(6, 6)));
    QVERIFY(b->Hot());

    // Focus gained with the mouse elsewhere: lit until the mouse passes over and leaves again.
    parkCursor();
    QTRY_VERIFY(!b->Hot());
    other->setFocus();
    QVERIFY(other->Hot());
    QVERIFY(!TFlatButton::HotTrackTimer()->isActive()); // nothing will take the look away
    hoverOver(other);
    parkCursor();
    QTRY_VERIFY(!other->Hot());
    QVERIFY(other->hasFocus()); // the timer's leave does not look at the focus
}

void TestFlatButton::clicks_data()
{
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<QPoint>("releaseAt");
    QTest::addColumn<int>("clicks");

    // The face is 73 x 33.
    QTest::newRow("left, released inside") << Qt::LeftButton << QPoint(36, 16) << 1;
    QTest::newRow("left, released on the last column") << Qt::LeftButton << QPoint(72, 16) << 1;
    QTest::newRow("left, released on the row just below the face") << Qt::LeftButton << QPoint(36, 33) << 1;
    QTest::newRow("left, released on the column just right of the face")
        << Qt::LeftButton << QPoint(73, 16) << 0;
    QTest::newRow("left, released above the face") << Qt::LeftButton << QPoint(36, -1) << 0;
    QTest::newRow("left, released far outside") << Qt::LeftButton << QPoint(200, 100) << 0;
    QTest::newRow("right, released inside") << Qt::RightButton << QPoint(36, 16) << 0;
    QTest::newRow("middle, released inside") << Qt::MiddleButton << QPoint(36, 16) << 0;
}

void TestFlatButton::clicks()
{
    QFETCH(Qt::MouseButton, button);
    QFETCH(QPoint, releaseAt);
    QFETCH(int, clicks);

    TFlatButton *b = closeButton();
    int handlerSender = 0;
    b->OnClick = [&](QObject *sender) {
        ++m_clicks;
        handlerSender += sender == b;
    };
    press(b, {36, 16}, button);
    if (releaseAt != QPoint(36, 16))
        drag(b, releaseAt);
    release(b, releaseAt, button);

    QCOMPARE(m_clicks, clicks);
    QCOMPARE(handlerSender, clicks);
    QVERIFY(!b->Tracking());
    QCOMPARE(b->State(), fbsUp);
    QCOMPARE(tk::captureControl(), nullptr);
    if (clicks == 0 && button == Qt::LeftButton) {
        // Back to the idle look although the press gave it the focus.
        QVERIFY(!b->Hot());
        const QImage look = b->grab().toImage();
        QCOMPARE(look.pixelColor(0, 0), kBorder);
        QCOMPARE(look.pixelColor(1, 1), kCloseFace);
    }
}

void TestFlatButton::dragOutAndBack()
{
    TFlatButton *b = closeButton();
    press(b, {36, 16});
    QCOMPARE(b->State(), fbsPressed);
    QVERIFY(b->Tracking());
    QCOMPARE(tk::captureControl(), b);
    drag(b, {36, 34});
    QCOMPARE(b->State(), fbsUp);
    QCOMPARE(b->grab().toImage().pixelColor(0, 0), kWhite); // raised: it still has the focus
    drag(b, {36, 33});
    QCOMPARE(b->State(), fbsPressed);
    drag(b, {73, 16});
    QCOMPARE(b->State(), fbsUp);
    drag(b, {72, 16});
    QCOMPARE(b->State(), fbsPressed);
    QCOMPARE(b->grab().toImage().pixelColor(0, 0), kBlack); // sunken
    release(b, {72, 16});
    QCOMPARE(m_clicks, 1);
}

void TestFlatButton::heldButtonStaysHotThroughTicks()
{
    TFlatButton *b = closeButton();
    hoverOver(b);
    QCOMPARE(TFlatButton::HotButton(), b);
    press(b, {36, 16});
    drag(b, {36, 100});
    moveCursorTo(b->mapToGlobal(QPoint(36, 100)));
    // The timer finds the mouse elsewhere, but the button holds it: still hot, raised.
    QSignalSpy ticks(TFlatButton::HotTrackTimer(), &QTimer::timeout);
    QTRY_VERIFY(ticks.count() >= 2 || !b->Hot());
    QVERIFY(b->Hot());
    QCOMPARE(b->State(), fbsUp);
    QCOMPARE(b->grab().toImage().pixelColor(0, 0), kWhite);
    release(b, {36, 100});
    QVERIFY(!b->Hot());
    QCOMPARE(TFlatButton::HotButton(), nullptr);
    QCOMPARE(m_clicks, 0);
}

void TestFlatButton::modalResult_data()
{
    QTest::addColumn<bool>("modal");
    QTest::addColumn<int>("buttonResult");
    QTest::addColumn<int>("expectedResult");
    QTest::addColumn<bool>("stillShown");

    QTest::newRow("modal dialog, result 2: ends it") << true << 2 << 2 << false;
    QTest::newRow("modal dialog, result 0: stays, result cleared") << true << 0 << 0 << true;
    QTest::newRow("modeless dialog, result 2: stays, result set") << false << 2 << 2 << true;
}

void TestFlatButton::modalResult()
{
    QFETCH(bool, modal);
    QFETCH(int, buttonResult);
    QFETCH(int, expectedResult);
    QFETCH(bool, stillShown);

    QDialog dialog;
    dialog.setGeometry(150, 150, 200, 100);
    dialog.setModal(modal);
    dialog.setResult(7);
    auto *b = new TFlatButton(&dialog);
    b->setGeometry(10, 10, 73, 33);
    b->setModalResult(buttonResult);
    int clicks = 0;
    b->OnClick = [&](QObject *) { ++clicks; };
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QTest::mouseClick(dialog.windowHandle(), Qt::LeftButton, {}, QPoint(40, 25));
    QCOMPARE(clicks, 1);
    QCOMPARE(dialog.result(), expectedResult);
    QCOMPARE(dialog.isVisible(), stillShown);
}

void TestFlatButton::groups()
{
    TFlatButton *first = makeButton(m_host.get(), {10, 10});
    TFlatButton *second = makeButton(m_host.get(), {10, 60});
    auto *elsewhere = new QWidget(m_host.get());
    elsewhere->setGeometry(150, 0, 150, 200);
    elsewhere->show();
    TFlatButton *sameIndexOtherParent = makeButton(elsewhere, {10, 10});
    for (TFlatButton *b : {first, second, sameIndexOtherParent})
        b->setGroupIndex(1);
    sameIndexOtherParent->setDown(true);

    clickAt(first, {5, 5});
    QVERIFY(first->Down());
    QCOMPARE(first->State(), fbsLatched);
    clickAt(second, {5, 5});
    QVERIFY(second->Down());
    QVERIFY(!first->Down());
    QCOMPARE(first->State(), fbsUp);
    QVERIFY(sameIndexOtherParent->Down()); // another parent, another group
    // Clicking the latched button again leaves it down, and still clicks.
    clickAt(second, {5, 5});
    QVERIFY(second->Down());
    QCOMPARE(m_clicks, 3);

    // AllowAllUp is shared by the group under the same parent.
    second->setAllowAllUp(true);
    QVERIFY(first->AllowAllUp());
    QVERIFY(!sameIndexOtherParent->AllowAllUp());
    // A button joining the group hands its own to the others.
    TFlatButton *third = makeButton(m_host.get(), {10, 110});
    third->setGroupIndex(1);
    QVERIFY(!first->AllowAllUp());
    QVERIFY(!second->AllowAllUp());
    first->setAllowAllUp(true);
    QVERIFY(second->AllowAllUp());
    QVERIFY(third->AllowAllUp());
    // With AllowAllUp a click releases the latched button: none is down.
    clickAt(second, {5, 5});
    QVERIFY(!second->Down());
    QVERIFY(!first->Down());
    QCOMPARE(second->State(), fbsUp);
}

void TestFlatButton::downSetter_data()
{
    QTest::addColumn<int>("groupIndex");
    QTest::addColumn<bool>("allowAllUp");
    QTest::addColumn<bool>("startDown");
    QTest::addColumn<bool>("set");
    QTest::addColumn<bool>("expectDown");
    QTest::addColumn<int>("expectState");

    QTest::newRow("no group: stays up") << 0 << false << false << true << false << int(fbsUp);
    QTest::newRow("group: latches") << 1 << false << false << true << true << int(fbsLatched);
    QTest::newRow("group: released only by another")
        << 1 << false << true << false << true << int(fbsLatched);
    QTest::newRow("group, all may be up: releases") << 1 << true << true << false << false << int(fbsUp);
}

void TestFlatButton::downSetter()
{
    QFETCH(int, groupIndex);
    QFETCH(bool, allowAllUp);
    QFETCH(bool, startDown);
    QFETCH(bool, set);
    QFETCH(bool, expectDown);
    QFETCH(int, expectState);

    TFlatButton *b = makeButton(m_host.get(), {10, 10});
    b->setGroupIndex(groupIndex);
    b->setAllowAllUp(true);
    b->setDown(startDown);
    b->setAllowAllUp(allowAllUp);
    QCOMPARE(b->Down(), startDown && groupIndex != 0);
    b->setDown(set);
    QCOMPARE(b->Down(), expectDown);
    QCOMPARE(int(b->State()), expectState);
}

void TestFlatButton::keyboard_data()
{
    QTest::addColumn<int>("groupIndex");
    QTest::addColumn<bool>("allowAllUp");
    QTest::addColumn<bool>("isDefault");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("stateWhileHeld");
    QTest::addColumn<int>("clicks");
    QTest::addColumn<bool>("downAfter");

    QTest::newRow("space on a push button")
        << 0 << false << false << int(Qt::Key_Space) << int(fbsPressed) << 1 << false;
    QTest::newRow("space in a group latches")
        << 1 << false << false << int(Qt::Key_Space) << int(fbsLatched) << 1 << true;
    QTest::newRow("space in a group that may be all up")
        << 1 << true << false << int(Qt::Key_Space) << int(fbsLatched) << 1 << false;
    QTest::newRow("enter does nothing")
        << 0 << false << false << int(Qt::Key_Return) << int(fbsUp) << 0 << false;
    QTest::newRow("enter does nothing on the default button")
        << 0 << false << true << int(Qt::Key_Return) << int(fbsUp) << 0 << false;
    QTest::newRow("a letter does nothing")
        << 0 << false << false << int(Qt::Key_Z) << int(fbsUp) << 0 << false;
}

void TestFlatButton::keyboard()
{
    QFETCH(int, groupIndex);
    QFETCH(bool, allowAllUp);
    QFETCH(bool, isDefault);
    QFETCH(int, key);
    QFETCH(int, stateWhileHeld);
    QFETCH(int, clicks);
    QFETCH(bool, downAfter);

    TFlatButton *b = closeButton();
    b->setCaption(u"Close"_s);
    b->setGroupIndex(groupIndex);
    b->setAllowAllUp(allowAllUp);
    b->setDefault(isDefault);
    b->setFocus();
    QTest::keyPress(m_host->windowHandle(), Qt::Key(key));
    QCOMPARE(int(b->State()), stateWhileHeld);
    if (stateWhileHeld == fbsPressed)
        QCOMPARE(b->grab().toImage().pixelColor(1, 1), kDownFace);
    QTest::keyRelease(m_host->windowHandle(), Qt::Key(key));
    QCOMPARE(m_clicks, clicks);
    QCOMPARE(b->Down(), downAfter);
    QCOMPARE(int(b->State()), int(downAfter ? fbsLatched : fbsUp));
}

void TestFlatButton::spaceHeldWhileFocusMoves()
{
    TFlatButton *b = closeButton();
    TFlatButton *other = makeButton(m_host.get(), {10, 150});
    int otherClicks = 0;
    other->OnClick = [&](QObject *) { ++otherClicks; };
    b->setFocus();
    QTest::keyPress(m_host->windowHandle(), Qt::Key_Space);
    QCOMPARE(b->State(), fbsPressed);
    // The key up will go to the new focus: the button must not stay down.
    other->setFocus();
    QCOMPARE(b->State(), fbsUp);
    QCOMPARE(b->grab().toImage().pixelColor(1, 1), kCloseFace);
    QTest::keyRelease(m_host->windowHandle(), Qt::Key_Space);
    // Neither clicks: the space was not pressed on the button that heard it come up.
    QCOMPARE(m_clicks, 0);
    QCOMPARE(otherClicks, 0);
}

void TestFlatButton::accelerator()
{
    TFlatButton *b = closeButton();
    b->setCaption(u"&Close"_s);
    QTest::keyClick(m_host->windowHandle(), Qt::Key_C, Qt::AltModifier);
    QCOMPARE(m_clicks, 1);
    b->setEnabled(false);
    QTest::keyClick(m_host->windowHandle(), Qt::Key_C, Qt::AltModifier);
    QCOMPARE(m_clicks, 1);
    b->setEnabled(true);
    b->setGroupIndex(3);
    QTest::keyClick(m_host->windowHandle(), Qt::Key_C, Qt::AltModifier);
    QCOMPARE(m_clicks, 2);
    QVERIFY(b->Down());
    // A caption without "&" has no accelerator; "&&" is a plain "&".
    b->setCaption(u"C&&lose"_s);
    QTest::keyClick(m_host->windowHandle(), Qt::Key_C, Qt::AltModifier);
    QTest::keyClick(m_host->windowHandle(), Qt::Key_L, Qt::AltModifier);
    QCOMPARE(m_clicks, 2);
}

void TestFlatButton::doubleClick_data()
{
    QTest::addColumn<int>("groupIndex");
    QTest::addColumn<int>("clicks");
    QTest::addColumn<int>("doubleClicks");

    QTest::newRow("push button: two clicks, no double click") << 0 << 2 << 0;
    QTest::newRow("group button, latched by the first click: two clicks and a double click") << 1 << 2 << 1;
}

void TestFlatButton::doubleClick()
{
    QFETCH(int, groupIndex);
    QFETCH(int, clicks);
    QFETCH(int, doubleClicks);

    TFlatButton *b = closeButton();
    b->setGroupIndex(groupIndex);
    int doubles = 0;
    int downs = 0;
    b->OnDblClick = [&](QObject *) { ++doubles; };
    b->OnMouseDown = [&](QObject *, tk::TMouseButton, tk::TShiftState, int, int) { ++downs; };
    QTest::mouseDClick(m_host->windowHandle(), Qt::LeftButton, {}, centreOf(b));
    QCOMPARE(m_clicks, clicks);
    QCOMPARE(doubles, doubleClicks);
    QCOMPARE(downs, 2);
    QVERIFY(!b->Tracking());
}

void TestFlatButton::enterAndLeave()
{
    TFlatButton *b = closeButton();
    int enters = 0, leaves = 0;
    b->OnMouseEnter = [&](QObject *) { ++enters; };
    b->OnMouseLeave = [&](QObject *) { ++leaves; };
    hoverOver(b);
    QTRY_COMPARE(enters, 1);
    parkCursor();
    QTRY_COMPARE(leaves, 1);

    // Held down, the pointer's leave and return are seen in the moves, and the leave not again after
    // the release.
    press(b, {36, 16});
    drag(b, {36, 16});
    const int entered = enters, left = leaves;
    drag(b, {36, 100});
    QCOMPARE(leaves, left + 1);
    drag(b, {36, 20});
    QCOMPARE(enters, entered + 1);
    drag(b, {36, 100});
    QCOMPARE(leaves, left + 2);
    release(b, {36, 100});
    QCoreApplication::processEvents();
    QCOMPARE(leaves, left + 2);
    QCOMPARE(enters, entered + 1);
    QCOMPARE(m_clicks, 0);
}

void TestFlatButton::clickHandlerHidesParent_data()
{
    QTest::addColumn<bool>("byKey");
    QTest::newRow("mouse") << false;
    QTest::newRow("space key") << true;
}

void TestFlatButton::clickHandlerHidesParent()
{
    QFETCH(bool, byKey);

    auto *panel = new QWidget(m_host.get());
    panel->setGeometry(10, 10, 200, 150);
    panel->show();
    TFlatButton *b = makeButton(panel, {100, 100});
    b->setColor(kCloseColor);
    b->OnClick = [&](QObject *sender) {
        ++m_clicks;
        QCOMPARE(sender, b);
        panel->hide();
    };
    hoverOver(b);
    QVERIFY(b->Hot());
    if (byKey) {
        b->setFocus();
        QTest::keyClick(m_host->windowHandle(), Qt::Key_Space);
    } else {
        clickAt(b, b->rect().center());
    }
    QCOMPARE(m_clicks, 1);
    QVERIFY(!panel->isVisible());
    QCOMPARE(b->State(), fbsUp);
    QVERIFY(!b->Tracking());
    QVERIFY(!b->Hot());
    QCOMPARE(TFlatButton::HotButton(), nullptr);
    QVERIFY(!TFlatButton::HotTrackTimer()->isActive());
    QCOMPARE(tk::captureControl(), nullptr);

    // Shown again with the mouse elsewhere, it is idle.
    parkCursor();
    panel->show();
    const QImage look = b->grab().toImage();
    QCOMPARE(look.pixelColor(0, 0), kBorder);
    QCOMPARE(look.pixelColor(1, 1), kCloseFace);
    clickAt(b, b->rect().center());
    QCOMPARE(m_clicks, 2);
}

void TestFlatButton::handlerErrors_data()
{
    QTest::addColumn<Thrower>("thrower");

    QTest::newRow("OnMouseDown: no press, no click") << Thrower::MouseDown;
    QTest::newRow("OnMouseUp: the press is cancelled, no click") << Thrower::MouseUp;
    QTest::newRow("OnClick: raised once") << Thrower::Click;
}

void TestFlatButton::handlerErrors()
{
    QFETCH(Thrower, thrower);

    TFlatButton *b = closeButton();
    int attempts = 0;
    auto raise = [&] {
        ++attempts;
        throw tk::Error(u"Кнопка сломалась"_s);
    };
    switch (thrower) {
    case Thrower::MouseDown:
        b->OnMouseDown = [&](QObject *, tk::TMouseButton, tk::TShiftState, int, int) { raise(); };
        break;
    case Thrower::MouseUp:
        b->OnMouseUp = [&](QObject *, tk::TMouseButton, tk::TShiftState, int, int) { raise(); };
        break;
    case Thrower::Click:
        b->OnClick = [&](QObject *) { raise(); };
        break;
    }
    ErrorBoxes boxes;
    clickAt(b, b->rect().center());
    QCOMPARE(attempts, 1);
    QCOMPARE(boxes.texts, QStringList{u"Кнопка сломалась."_s});
    QCOMPARE(m_clicks, 0);
    QVERIFY(!b->Tracking());
    QCOMPARE(b->State(), fbsUp);
    QCOMPARE(tk::captureControl(), nullptr);
    QVERIFY(b->grab().toImage().pixelColor(1, 1) != kDownFace); // not left sunken

    // The button works on: a click without the faulty handler.
    b->OnMouseDown = nullptr;
    b->OnMouseUp = nullptr;
    b->OnClick = [this](QObject *) { ++m_clicks; };
    clickAt(b, b->rect().center());
    QCOMPARE(m_clicks, 1);
    QVERIFY(boxes.texts.size() == 1);
}

void TestFlatButton::hiddenWhilePressed()
{
    auto *panel = new QWidget(m_host.get());
    panel->setGeometry(10, 10, 200, 150);
    panel->show();
    TFlatButton *b = makeButton(panel, {20, 20});
    hoverOver(b);
    press(b, {10, 10});
    QVERIFY(b->Tracking());
    panel->hide();
    QVERIFY(!b->Tracking());
    QCOMPARE(b->State(), fbsUp);
    QVERIFY(!b->Hot());
    QCOMPARE(TFlatButton::HotButton(), nullptr);
    QCOMPARE(tk::captureControl(), nullptr);
    QTest::mouseRelease(m_host->windowHandle(), Qt::LeftButton, {}, QPoint(40, 40));
    QCOMPARE(m_clicks, 0);
    parkCursor();
    panel->show();
    QCOMPARE(b->grab().toImage().pixelColor(0, 0), kBorder);
}

void TestFlatButton::errorBoxWhilePressed()
{
    TFlatButton *b = closeButton();
    press(b, {36, 16});
    QCOMPARE(tk::captureControl(), b);
    {
        ErrorBoxes boxes;
        tk::Application::instance()->ShowException(u"Что-то случилось"_s);
        QCOMPARE(boxes.texts.size(), 1);
    }
    QVERIFY(!b->Tracking());
    QCOMPARE(b->State(), fbsUp);
    release(b, {36, 16});
    QCOMPARE(m_clicks, 0);
}

void TestFlatButton::disabled()
{
    TFlatButton *b = closeButton();
    hoverOver(b);
    QVERIFY(b->Hot());
    b->setEnabled(false);
    QCOMPARE(b->State(), fbsDisabled);
    QVERIFY(!b->Hot());
    QCOMPARE(TFlatButton::HotButton(), nullptr);
    QVERIFY(!TFlatButton::HotTrackTimer()->isActive());
    // A disabled button ignores the mouse and never lights.
    clickAt(b, {36, 16});
    moveCursorTo(b->mapToGlobal(QPoint(10, 10)));
    QCOMPARE(m_clicks, 0);
    QVERIFY(!b->Hot());
    QCOMPARE(b->State(), fbsDisabled);
    // Latching while disabled keeps the disabled look until it is enabled.
    b->setGroupIndex(1);
    b->setDown(true);
    QCOMPARE(b->State(), fbsDisabled);
    parkCursor();
    b->setEnabled(true);
    QCOMPARE(b->State(), fbsLatched);
    // Disabled through its parent, too.
    m_host->setEnabled(false);
    QCOMPARE(b->State(), fbsDisabled);
    m_host->setEnabled(true);
    QCOMPARE(b->State(), fbsLatched);
}

void TestFlatButton::glyphCellCount_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("expected");

    // The button starts from 3 cells in every row.
    QTest::newRow("64 x 16: four cells") << QSize(64, 16) << 4;
    QTest::newRow("32 x 16: two cells") << QSize(32, 16) << 2;
    QTest::newRow("16 x 16: one cell") << QSize(16, 16) << 1;
    QTest::newRow("80 x 16: five is too many, one") << QSize(80, 16) << 1;
    QTest::newRow("50 x 16: no multiple, unchanged") << QSize(50, 16) << 3;
    QTest::newRow("empty: unchanged") << QSize(0, 0) << 3;
}

void TestFlatButton::glyphCellCount()
{
    QFETCH(QSize, size);
    QFETCH(int, expected);

    TFlatButton *b = makeButton(m_host.get(), {10, 10});
    b->setNumGlyphs(3);
    QImage strip(size, QImage::Format_RGB32);
    if (!strip.isNull())
        strip.fill(Qt::red);
    b->setGlyph(strip);
    QCOMPARE(int(b->NumGlyphs()), expected);
    // Its own glyph given back changes nothing.
    b->setNumGlyphs(3);
    b->setGlyph(b->Glyph());
    QCOMPARE(int(b->NumGlyphs()), 3);
}

void TestFlatButton::glyphLooks_data()
{
    QTest::addColumn<int>("cells");
    QTest::addColumn<Reach>("reach");
    QTest::addColumn<QList<Pixel>>("pixels");

    // Cells of 8 x 8 in red, green, blue, yellow; each cell's bottom-left pixel is magenta, the strip's
    // transparent colour. Coordinates are relative to the glyph origin.
    const QColor red(255, 0, 0), green(0, 255, 0), blue(0, 0, 255), yellow(255, 255, 0);
    auto cellLook = [](const char *name, QColor color, QColor behindKey) {
        return QList<Pixel>{{name, {3, 3}, color}, {"transparent corner: face", {0, 7}, behindKey}};
    };
    QTest::newRow("2 cells, up: cell 0") << 2 << Reach::Idle << cellLook("cell 0: red", red, kCloseFace);
    QTest::newRow("2 cells, disabled: cell 1 as it is")
        << 2 << Reach::Disabled << cellLook("cell 1: green", green, kCloseFace);
    QTest::newRow("2 cells, pressed: cell 0") << 2 << Reach::Press << cellLook("cell 0: red", red, kDownFace);
    QTest::newRow("3 cells, pressed: cell 2")
        << 3 << Reach::Press << cellLook("cell 2: blue", blue, kDownFace);
    QTest::newRow("3 cells, latched: cell 2")
        << 3 << Reach::Latched << cellLook("cell 2: blue", blue, kDownFace);
    QTest::newRow("4 cells, disabled: cell 1")
        << 4 << Reach::Disabled << cellLook("cell 1: green", green, kCloseFace);
    QTest::newRow("4 cells, pressed: cell 2")
        << 4 << Reach::Press << cellLook("cell 2: blue", blue, kDownFace);
    QTest::newRow("4 cells, latched: cell 3")
        << 4 << Reach::Latched << cellLook("cell 3: yellow", yellow, kDownFace);
    // One cell, disabled: only its black pixel survives, in shadow, with highlight below right of it;
    // every other pixel is the greyed image's fill, which becomes transparent.
    QTest::newRow("1 cell, disabled: embossed black")
        << 1 << Reach::Disabled
        << QList<Pixel>{{"black pixel (2,2): button shadow", {2, 2}, kBtnShadow},
                        {"below right of it (3,3): button highlight", {3, 3}, kBtnHighlight},
                        {"red pixel (5,5): face", {5, 5}, kCloseFace},
                        {"transparent corner: face", {0, 7}, kCloseFace}};
    QTest::newRow("1 cell, up: as it is") << 1 << Reach::Idle
                                          << QList<Pixel>{{"black pixel (2,2)", {2, 2}, kBlack},
                                                          {"red pixel (5,5)", {5, 5}, red},
                                                          {"transparent corner: face", {0, 7}, kCloseFace}};
}

void TestFlatButton::glyphLooks()
{
    QFETCH(int, cells);
    QFETCH(Reach, reach);
    QFETCH(QList<Pixel>, pixels);

    const QColor colors[] = {QColor(255, 0, 0), QColor(0, 255, 0), QColor(0, 0, 255), QColor(255, 255, 0)};
    QImage strip(8 * cells, 8, QImage::Format_RGB32);
    for (int i = 0; i < cells; ++i) {
        QPainter p(&strip);
        p.fillRect(i * 8, 0, 8, 8, colors[i]);
        p.fillRect(i * 8, 7, 1, 1, QColor(255, 0, 255));
    }
    if (cells == 1) {
        strip.setPixelColor(2, 2, kBlack);
        strip.setPixelColor(0, 7, kWhite);
        strip.setPixelColor(3, 3, kWhite); // transparent in the strip, and where the highlight goes
    }
    TFlatButton *b = closeButton();
    b->setCaption(QString());
    b->setGlyph(strip);
    QCOMPARE(int(b->NumGlyphs()), cells);
    switch (reach) {
    case Reach::Disabled:
        b->setEnabled(false);
        break;
    case Reach::Press:
        press(b, {1, 1});
        break;
    case Reach::Latched:
        b->setGroupIndex(1);
        b->setDown(true);
        break;
    default:
        break;
    }
    const QImage look = b->grab().toImage();
    const QPoint origin = b->GlyphOrigin();
    if (reach == Reach::Press)
        release(b, {1, 1});
    // No caption: the glyph stands in the middle of the face, moved by one while down.
    const QPoint centred((73 - 8 + 1) / 2, (33 - 8 + 1) / 2);
    QCOMPARE(origin, centred + (reach == Reach::Press || reach == Reach::Latched ? QPoint(1, 1) : QPoint()));
    QList<Pixel> shifted;
    for (const Pixel &p : pixels)
        shifted.append({p.name, p.at + origin, p.color});
    verifyPixels(look, shifted);
}

void TestFlatButton::setterCoercion()
{
    TFlatButton *b = makeButton(m_host.get(), {10, 10});
    b->setMargin(-2);
    QCOMPARE(b->Margin(), -1);
    b->setMargin(3);
    b->setMargin(-5);
    QCOMPARE(b->Margin(), 3);
    b->setSpacing(-1);
    QCOMPARE(b->Spacing(), -1);
    b->setNumGlyphs(9);
    QCOMPARE(int(b->NumGlyphs()), 4);
    b->setNumGlyphs(0);
    QCOMPARE(int(b->NumGlyphs()), 1);
    b->setAdvColors(1, 250);
    QCOMPARE(int(b->AdvColorDown()), 100);
    const tk::TColor focused = b->ColorFocused();
    b->setColors(5, tk::clRed);
    b->setColors(-1, tk::clRed);
    QCOMPARE(b->ColorFocused(), focused);
    b->setColors(0, tk::clRed);
    QCOMPARE(b->ColorFocused(), tk::clRed);
}

void TestFlatButton::transparentModes_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("hot");
    QTest::addColumn<QList<Pixel>>("pixels");

    // The button (73 x 33) lies over the window's face on its left half and over a windowless block
    // (orange) on its right half; a windowed block (green) overlaps its bottom-right corner.
    const QColor orange(250, 140, 20);
    const QList<Pixel> seeThrough = {{"left half: window colour", {10, 5}, kHostColor},
                                     {"right half: windowless block", {60, 5}, orange},
                                     {"under the windowed block: windowless block", {68, 28}, orange}};
    const QList<Pixel> ownFace = {{"left half: focused face", {10, 5}, kFocusedFace},
                                  {"right half: focused face", {60, 5}, kFocusedFace}};
    QTest::newRow("always, idle") << int(tmAlways) << false
                                  << (seeThrough + QList<Pixel>{{"border", {0, 0}, kBorder}});
    QTest::newRow("always, hot: frame over the parent")
        << int(tmAlways) << true << (seeThrough + QList<Pixel>{{"raised frame", {0, 0}, kWhite}});
    QTest::newRow("not focused, idle") << int(tmNotFocused) << false << seeThrough;
    QTest::newRow("not focused, hot: own face") << int(tmNotFocused) << true << ownFace;
    QTest::newRow("none, idle: own face")
        << int(tmNone) << false
        << QList<Pixel>{{"left half: face", {10, 5}, kCloseFace}, {"right half: face", {60, 5}, kCloseFace}};
}

void TestFlatButton::transparentModes()
{
    QFETCH(int, mode);
    QFETCH(bool, hot);
    QFETCH(QList<Pixel>, pixels);

    auto *block = new WindowlessBlock(m_host.get(), QRect(80, 40, 100, 60), QColor(250, 140, 20));
    block->show();
    TFlatButton *b = makeButton(m_host.get(), {40, 40});
    b->setColor(kCloseColor);
    b->setTransparentMode(TTransparentMode(mode));
    auto *windowed = new WindowedBlock(m_host.get(), QRect(105, 65, 50, 50), QColor(0, 200, 0));
    windowed->show();
    if (hot)
        b->setFocus();
    QCOMPARE(b->Hot(), hot);
    verifyPixels(b->grab().toImage(), pixels);
}

void TestFlatButton::destroyedWhileHot()
{
    TFlatButton *b = makeButton(m_host.get(), {10, 10});
    TFlatButton *keep = makeButton(m_host.get(), {10, 100});
    hoverOver(b);
    QCOMPARE(TFlatButton::HotButton(), b);
    delete b;
    QCOMPARE(TFlatButton::HotButton(), nullptr);
    QVERIFY(!TFlatButton::HotTrackTimer()->isActive());
    QCOMPARE(TFlatButton::FlatButtonCount(), 1);
    hoverOver(keep);
    QCOMPARE(TFlatButton::HotButton(), keep);
}

int main(int argc, char *argv[])
{
    tk::Application app(argc, argv);
    tk::installFontSubstitutes();
    app.setStyle(QStyleFactory::create(u"Fusion"_s));
    app.setFont(tk::defaultFont());
    TestFlatButton test;
    return QTest::qExec(&test, argc, argv);
}

void TestFlatButton::parentFontColor_data()
{
    QTest::addColumn<bool>("ownColor"); // the button is given a font colour of its own
    QTest::addColumn<bool>("parentFont");
    QTest::addColumn<QColor>("caption");
    QTest::newRow("ParentFont: the panel's font colour") << false << true << QColor(200, 0, 0);
    QTest::newRow("a colour of its own clears ParentFont") << true << false << QColor(0, 0, 200);
}

// The caption is an all-ink block, so its middle pixel is the colour it is drawn in.
void TestFlatButton::parentFontColor()
{
    QFETCH(bool, ownColor);
    QFETCH(bool, parentFont);
    QFETCH(QColor, caption);

    QWidget host;
    host.resize(200, 100);
    auto *panel = new TFlatPanel(&host);
    panel->setGeometry(0, 0, 200, 100);
    panel->setFontColor(tk::TColor(200));
    QFont font(u"DejaVu Sans"_s);
    font.setPixelSize(20);
    font.setStyleStrategy(QFont::NoAntialias);
    panel->setFont(font);
    auto *button = new TFlatButton(panel);
    button->setGeometry(10, 10, 60, 40);
    button->setCaption(QString(QChar(0x2588)));
    if (ownColor)
        button->setFontColor(tk::TColor(200) << 16);
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    QCOMPARE(button->ParentFont(), parentFont);
    QCOMPARE(button->grab().toImage().pixelColor(30, 20), caption);
}

void TestFlatButton::sameParentSameFace()
{
    // On a window with a colour of its own, and on one that keeps the application's palette.
    for (bool ownPalette : {true, false}) {
        QWidget host;
        if (ownPalette) {
            QPalette palette = host.palette();
            palette.setColor(QPalette::Window, kHostColor);
            host.setPalette(palette);
        }
        auto *button = new TFlatButton(&host);
        auto *memo = new TFlatMemo(&host);
        auto *panel = new TFlatPanel(&host);
        QCOMPARE(button->Color(), memo->ColorFlat());
        QCOMPARE(button->Color(), panel->Color());
    }
}

#include "tst_flatbutton.moc"
