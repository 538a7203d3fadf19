#include "controls/abc/abcspeedbtn.h"

#include "controls/abc/abcwav.h"
#include "tests/support/bitmaps.h"
#include "tests/support/errorboxes.h"
#include "tests/support/wavelists.h"
#include "toolkit/application/application.h"
#include "toolkit/base/errors.h"
#include "toolkit/painting/colors.h"

#include <QCursor>
#include <QImage>
#include <QStyleFactory>
#include <QTest>
#include <QWindow>

#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QColor kFace(212, 208, 200);
const QColor kHighlight(255, 255, 255);
const QColor kShadow(128, 128, 128);
const QColor kHostBackground(0, 64, 0);
const QPoint kButtonAt(20, 20);
const QSize kProgramButton(170, 45);

// The shape of the main window's button pictures: 177 x 54, every pixel telling where it lies, so a
// grabbed pixel names the picture pixel it shows. The lower-left colour appears once more inside.
constexpr int kPictureWidth = 177, kPictureHeight = 54;
const QPoint kSecondTransparent(5, 10);

QColor pictureColor(int x, int y)
{
    return QColor(x, y, 100);
}

QByteArray programPicture()
{
    QImage image(kPictureWidth, kPictureHeight, QImage::Format_RGB32);
    for (int y = 0; y < kPictureHeight; ++y)
        for (int x = 0; x < kPictureWidth; ++x)
            image.setPixelColor(x, y, pictureColor(x, y));
    image.setPixelColor(kSecondTransparent, pictureColor(0, kPictureHeight - 1));
    return bmpBytes(image);
}

enum class Stage { Rest, Hot, Pressed, DraggedOutside, ReleasedInside };

} // namespace

Q_DECLARE_METATYPE(Stage)
Q_DECLARE_METATYPE(TabcButtonState)
Q_DECLARE_METATYPE(Qt::MouseButton)

class TestSpeedButton : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void releaseOfAnotherButtonEndsThePress();
    void acceleratorClicks_data();
    void acceleratorClicks();

    void defaults();
    void programLooks_data();
    void programLooks();
    void stateTable_data();
    void stateTable();
    void mouseDownVeto_data();
    void mouseDownVeto();
    void clickVeto();
    void handlerExceptions_data();
    void handlerExceptions();
    void groups_data();
    void groups();
    void allowAllUpSpreads();
    void downOutsideGroup();
    void doubleClick_data();
    void doubleClick();
    void repeat_data();
    void repeat();
    void repeatStopsOutside();
    void sounds();
    void soundListDestroyed();
    void colorChange();
    void disabledLookWins_data();
    void disabledLookWins();

private:
    TabcRepSpeedBtn *makeButton(QPoint at = kButtonAt, QSize size = kProgramButton);
    QWindow *window() const { return m_host->windowHandle(); }
    QPoint centre(const QWidget *w) const { return w->geometry().center(); }
    void moveTo(QPoint hostPos);
    void press(QPoint hostPos, Qt::MouseButton button = Qt::LeftButton);
    void release(QPoint hostPos, Qt::MouseButton button = Qt::LeftButton);
    void clickAt(QPoint hostPos);
    QImage look(QWidget *w) const { return w->grab().toImage(); }

    std::unique_ptr<QWidget> m_host;
};

void TestSpeedButton::init()
{
    m_host = std::make_unique<QWidget>();
    m_host->setGeometry(100, 100, 400, 200);
    m_host->setAutoFillBackground(true);
    QPalette palette = m_host->palette();
    palette.setColor(QPalette::Window, kHostBackground);
    m_host->setPalette(palette);
    m_host->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_host.get()));
    // The pointer starts away from every button.
    QCursor::setPos(m_host->mapToGlobal(QPoint(390, 190)));
}

void TestSpeedButton::cleanup()
{
    QCursor::setPos(0, 0);
    m_host.reset();
    QVERIFY(!GlyphCache);
}

TabcRepSpeedBtn *TestSpeedButton::makeButton(QPoint at, QSize size)
{
    auto *button = new TabcRepSpeedBtn(m_host.get());
    button->setGeometry(QRect(at, size));
    button->Picture().loadFromData(u"bmp"_s, programPicture());
    button->show();
    return button;
}

void TestSpeedButton::moveTo(QPoint hostPos)
{
    QCursor::setPos(m_host->mapToGlobal(hostPos));
    QTest::mouseMove(window(), hostPos);
}

void TestSpeedButton::press(QPoint hostPos, Qt::MouseButton button)
{
    QTest::mousePress(window(), button, Qt::NoModifier, hostPos);
}

void TestSpeedButton::release(QPoint hostPos, Qt::MouseButton button)
{
    QTest::mouseRelease(window(), button, Qt::NoModifier, hostPos);
}

void TestSpeedButton::clickAt(QPoint hostPos)
{
    moveTo(hostPos);
    press(hostPos);
    release(hostPos);
}

void TestSpeedButton::defaults()
{
    TabcRepSpeedBtn plain(m_host.get());
    QCOMPARE(plain.size(), QSize(22, 23));
    QCOMPARE(plain.State(), abtUp);
    QCOMPARE(plain.Style(), absThin);
    QVERIFY(plain.Popup());
    QCOMPARE(plain.Spacing(), 4);
    QCOMPARE(plain.Margin(), -1);
    QCOMPARE(plain.Color(), tk::clBtnFace);
    QCOMPARE(plain.RepeatInitialpause, 400);
    QCOMPARE(plain.Repeatpause, 100);

    // A picture loaded in place keeps one slice even when its shape would allow three.
    TabcRepSpeedBtn strip(m_host.get());
    strip.Picture().loadFromData(u"bmp"_s, bmpBytes(QSize(48, 16), Qt::red));
    QCOMPARE(strip.NumGlyphs(), 1);
    strip.setNumGlyphs(9);
    QCOMPARE(strip.NumGlyphs(), 5);
    strip.setMargin(-7);
    QCOMPARE(strip.Margin(), -1);
}

void TestSpeedButton::programLooks_data()
{
    QTest::addColumn<Stage>("stage");
    QTest::addColumn<QPoint>("pixel");
    QTest::addColumn<QColor>("color");

    QTest::newRow("rest: corner shows picture (3,4)") << Stage::Rest << QPoint(0, 0) << pictureColor(3, 4);
    QTest::newRow("rest: far corner shows picture (172,48)")
        << Stage::Rest << QPoint(169, 44) << pictureColor(172, 48);
    QTest::newRow("rest: transparent pixel shows the face")
        << Stage::Rest << kSecondTransparent - QPoint(3, 4) << kFace;
    QTest::newRow("hot: top-left light") << Stage::Hot << QPoint(0, 0) << kHighlight;
    QTest::newRow("hot: bottom-right dark") << Stage::Hot << QPoint(169, 44) << kShadow;
    QTest::newRow("hot: top-right belongs to the right side") << Stage::Hot << QPoint(169, 0) << kShadow;
    QTest::newRow("hot: picture stays at (-3,-4)") << Stage::Hot << QPoint(1, 1) << pictureColor(4, 5);
    QTest::newRow("pressed: top-left dark") << Stage::Pressed << QPoint(0, 0) << kShadow;
    QTest::newRow("pressed: bottom-right light") << Stage::Pressed << QPoint(169, 44) << kHighlight;
    QTest::newRow("pressed: picture at (-2,-3)") << Stage::Pressed << QPoint(1, 1) << pictureColor(3, 4);
    QTest::newRow("pressed: inside pixel moved") << Stage::Pressed << QPoint(50, 20) << pictureColor(52, 23);
    QTest::newRow("dragged out: no frame") << Stage::DraggedOutside << QPoint(0, 0) << pictureColor(3, 4);
    QTest::newRow("dragged out: picture back at (-3,-4)")
        << Stage::DraggedOutside << QPoint(50, 20) << pictureColor(53, 24);
    QTest::newRow("dragged out: bottom-right no frame")
        << Stage::DraggedOutside << QPoint(169, 44) << pictureColor(172, 48);
    QTest::newRow("released inside: hot frame") << Stage::ReleasedInside << QPoint(0, 0) << kHighlight;
    QTest::newRow("released inside: picture at (-3,-4)")
        << Stage::ReleasedInside << QPoint(50, 20) << pictureColor(53, 24);
}

void TestSpeedButton::programLooks()
{
    QFETCH(Stage, stage);
    QFETCH(QPoint, pixel);
    QFETCH(QColor, color);

    TabcRepSpeedBtn *button = makeButton();
    int clicks = 0;
    button->OnClick = [&clicks](QObject *) { ++clicks; };
    const QPoint inside = centre(button), outside(390, 190);
    if (stage != Stage::Rest)
        moveTo(inside);
    if (stage == Stage::Pressed || stage == Stage::DraggedOutside || stage == Stage::ReleasedInside)
        press(inside);
    if (stage == Stage::DraggedOutside)
        moveTo(outside);
    if (stage == Stage::ReleasedInside)
        release(inside);

    QCOMPARE(look(button).pixelColor(pixel), color);
    QCOMPARE(clicks, stage == Stage::ReleasedInside ? 1 : 0);
    if (stage == Stage::DraggedOutside)
        release(outside);
}

void TestSpeedButton::stateTable_data()
{
    QTest::addColumn<Qt::MouseButton>("mouseButton");
    QTest::addColumn<QPoint>("via");       // relative to the button; (-1,-1): no drag
    QTest::addColumn<QPoint>("releaseAt"); // relative to the button; (-1,-1): no release
    QTest::addColumn<TabcButtonState>("state");
    QTest::addColumn<bool>("pressing");
    QTest::addColumn<int>("clicks");

    const QPoint none(-1, -1), centre(85, 22), out(300, 120);
    QTest::newRow("held inside") << Qt::LeftButton << none << none << abtDown << true << 0;
    QTest::newRow("dragged out") << Qt::LeftButton << out << none << abtHot << true << 0;
    QTest::newRow("dragged out and back") << Qt::LeftButton << out << centre << abtHot << false << 1;
    QTest::newRow("released inside") << Qt::LeftButton << none << centre << abtHot << false << 1;
    QTest::newRow("released outside") << Qt::LeftButton << out << out << abtUp << false << 0;
    QTest::newRow("released one row below")
        << Qt::LeftButton << none << QPoint(85, 45) << abtUp << false << 1;
    QTest::newRow("released one column right")
        << Qt::LeftButton << none << QPoint(170, 22) << abtUp << false << 0;
    QTest::newRow("right button") << Qt::RightButton << none << centre << abtHot << false << 0;
    QTest::newRow("middle button held") << Qt::MiddleButton << none << none << abtHot << false << 0;
}

void TestSpeedButton::stateTable()
{
    QFETCH(Qt::MouseButton, mouseButton);
    QFETCH(QPoint, via);
    QFETCH(QPoint, releaseAt);
    QFETCH(TabcButtonState, state);
    QFETCH(bool, pressing);
    QFETCH(int, clicks);

    TabcRepSpeedBtn *button = makeButton();
    int clicked = 0;
    button->OnClick = [&clicked](QObject *) { ++clicked; };
    const QPoint origin = button->pos();
    moveTo(origin + QPoint(85, 22));
    QCOMPARE(button->State(), abtHot);
    QVERIFY(button->MouseInside());
    press(origin + QPoint(85, 22), mouseButton);
    if (via != QPoint(-1, -1))
        moveTo(origin + via);
    if (releaseAt != QPoint(-1, -1)) {
        if (via != QPoint(-1, -1))
            moveTo(origin + releaseAt);
        QCursor::setPos(m_host->mapToGlobal(origin + releaseAt));
        release(origin + releaseAt, mouseButton);
    }
    QCOMPARE(button->State(), state);
    QCOMPARE(button->Pressing(), pressing);
    QCOMPARE(clicked, clicks);
    if (releaseAt == QPoint(-1, -1))
        release(origin + (via == QPoint(-1, -1) ? QPoint(85, 22) : via), mouseButton);
}

void TestSpeedButton::mouseDownVeto_data()
{
    QTest::addColumn<Qt::MouseButton>("mouseButton");
    QTest::addColumn<int>("expectedButton");
    QTest::addColumn<unsigned>("expectedOwnFlag");
    QTest::newRow("left") << Qt::LeftButton << int(tk::mbLeft) << unsigned(tk::ssLeft);
    QTest::newRow("middle") << Qt::MiddleButton << int(tk::mbMiddle) << unsigned(tk::ssMiddle);
    QTest::newRow("right") << Qt::RightButton << int(tk::mbRight) << unsigned(tk::ssRight);
}

void TestSpeedButton::mouseDownVeto()
{
    QFETCH(Qt::MouseButton, mouseButton);
    QFETCH(int, expectedButton);
    QFETCH(unsigned, expectedOwnFlag);

    TabcRepSpeedBtn *button = makeButton();
    int downs = 0, ups = 0, clicks = 0, asked = 0;
    tk::TMouseButton seenButton = tk::mbLeft;
    tk::TShiftState seenShift = 0;
    QPoint seenAt;
    button->BeforeMouseDown = [&](QObject *, tk::TMouseButton b, tk::TShiftState shift, int x, int y,
                                  bool &cancel) {
        ++asked;
        seenButton = b;
        seenShift = shift;
        seenAt = QPoint(x, y);
        cancel = true;
    };
    button->OnMouseDown = [&](QObject *, tk::TMouseButton, tk::TShiftState, int, int) { ++downs; };
    button->OnMouseUp = [&](QObject *, tk::TMouseButton, tk::TShiftState, int, int) { ++ups; };
    button->OnClick = [&clicks](QObject *) { ++clicks; };
    const QPoint at = button->pos() + QPoint(30, 12);
    moveTo(at);
    press(at, mouseButton);
    QCOMPARE(asked, 1);
    QCOMPARE(int(seenButton), expectedButton);
    QVERIFY(seenShift & expectedOwnFlag);
    QCOMPARE(seenAt, QPoint(30, 12));
    QCOMPARE(button->State(), abtHot); // no pressed look
    QCOMPARE(look(button).pixelColor(0, 0), kHighlight);
    release(at, mouseButton);
    QCOMPARE(downs, 0);
    QCOMPARE(ups, 0);
    QCOMPARE(clicks, 0);

    // The veto covers that press only: the next one is a normal click.
    button->BeforeMouseDown = nullptr;
    clickAt(at);
    QCOMPARE(ups, 1);
    QCOMPARE(clicks, 1);
}

void TestSpeedButton::clickVeto()
{
    TabcRepSpeedBtn *button = makeButton();
    QStringList order;
    button->BeforeClick = [&order](QObject *, bool &cancel) {
        order << u"before"_s;
        cancel = true;
    };
    button->OnClick = [&order](QObject *) { order << u"click"_s; };
    const QPoint at = centre(button);
    moveTo(at);
    press(at);
    QCOMPARE(look(button).pixelColor(0, 0), kShadow); // the press looks as usual
    release(at);
    QCOMPARE(order, QStringList{u"before"_s});
    QCOMPARE(button->State(), abtHot);

    button->BeforeClick = [&order](QObject *, bool &) { order << u"before"_s; };
    clickAt(at);
    QCOMPARE(order, (QStringList{u"before"_s, u"before"_s, u"click"_s}));
}

void TestSpeedButton::handlerExceptions_data()
{
    QTest::addColumn<QString>("handler");
    QTest::addColumn<int>("clicks");

    // The help button's BeforeClick raises this when its file is missing.
    QTest::newRow("BeforeClick") << u"BeforeClick"_s << 0;
    QTest::newRow("OnClick") << u"OnClick"_s << 1;
    QTest::newRow("BeforeMouseDown") << u"BeforeMouseDown"_s << 0;
    QTest::newRow("OnMouseDown") << u"OnMouseDown"_s << 0;
}

void TestSpeedButton::handlerExceptions()
{
    QFETCH(QString, handler);
    QFETCH(int, clicks);

    ErrorBoxes boxes;
    TabcRepSpeedBtn *button = makeButton();
    int clicked = 0;
    const auto fail = [] { throw tk::Error(u"Cannot open file g\\readme.txt"_s); };
    if (handler == u"BeforeClick")
        button->BeforeClick = [&](QObject *, bool &) { fail(); };
    if (handler == u"OnClick")
        button->OnClick = [&](QObject *) {
            ++clicked;
            fail();
        };
    else
        button->OnClick = [&](QObject *) { ++clicked; };
    if (handler == u"BeforeMouseDown")
        button->BeforeMouseDown = [&](QObject *, tk::TMouseButton, tk::TShiftState, int, int, bool &) {
            fail();
        };
    if (handler == u"OnMouseDown")
        button->OnMouseDown = [&](QObject *, tk::TMouseButton, tk::TShiftState, int, int) { fail(); };

    const QPoint at = centre(button);
    moveTo(at);
    press(at);
    release(at);
    QCOMPARE(boxes.texts, QStringList{u"Cannot open file g\\readme.txt."_s});
    QCOMPARE(clicked, clicks);
    QVERIFY(!button->Pressing());
    QCOMPARE(tk::captureControl(), nullptr);
    QVERIFY(button->State() != abtDown);

    // Once the window is active again, the pointer moving on over the button brings the hot look back.
    m_host->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_host.get()));
    moveTo(at + QPoint(1, 0));
    QVERIFY(button->MouseInside());
    QCOMPARE(button->State(), abtHot);
    QCOMPARE(look(button).pixelColor(0, 0), kHighlight);

    // Nothing is left stuck: the next click goes through.
    button->BeforeClick = nullptr;
    button->BeforeMouseDown = nullptr;
    button->OnMouseDown = nullptr;
    button->OnClick = [&](QObject *) { ++clicked; };
    clickAt(at);
    QCOMPARE(clicked, clicks + 1);
}

void TestSpeedButton::groups_data()
{
    QTest::addColumn<bool>("allowAllUp");
    QTest::addColumn<bool>("secondClickKeepsDown");
    QTest::newRow("no all-up: stays latched") << false << true;
    QTest::newRow("all-up: releases") << true << false;
}

void TestSpeedButton::groups()
{
    QFETCH(bool, allowAllUp);
    QFETCH(bool, secondClickKeepsDown);

    TabcRepSpeedBtn *buttons[3];
    int clicks[3] = {0, 0, 0};
    for (int i = 0; i < 3; ++i) {
        buttons[i] = makeButton(QPoint(10 + 60 * i, 10), QSize(50, 40));
        buttons[i]->setGroupIndex(1);
        buttons[i]->setAllowAllUp(allowAllUp);
        buttons[i]->OnClick = [&clicks, i](QObject *) { ++clicks[i]; };
    }
    clickAt(centre(buttons[0]));
    QVERIFY(buttons[0]->Down());
    QCOMPARE(buttons[0]->State(), abtExclusive);
    clickAt(centre(buttons[1]));
    QVERIFY(buttons[1]->Down());
    QVERIFY(!buttons[0]->Down());
    QCOMPARE(buttons[0]->State(), abtUp);
    QVERIFY(!buttons[2]->Down());

    clickAt(centre(buttons[1]));
    QCOMPARE(buttons[1]->Down(), secondClickKeepsDown);
    QCOMPARE(buttons[1]->State(), secondClickKeepsDown ? abtExclusive : abtHot);
    QCOMPARE(clicks[1], 2); // the click fires either way
    QCOMPARE(clicks[0], 1);
}

void TestSpeedButton::allowAllUpSpreads()
{
    TabcRepSpeedBtn *a = makeButton(QPoint(10, 10), QSize(30, 30));
    TabcRepSpeedBtn *b = makeButton(QPoint(50, 10), QSize(30, 30));
    TabcRepSpeedBtn *other = makeButton(QPoint(90, 10), QSize(30, 30));
    a->setGroupIndex(1);
    b->setGroupIndex(1);
    other->setGroupIndex(2);
    a->setAllowAllUp(true);
    QVERIFY(b->AllowAllUp());
    QVERIFY(!other->AllowAllUp());

    // Latching through the property releases the other button of the group.
    a->setDown(true);
    b->setDown(true);
    QVERIFY(!a->Down());
    QVERIFY(b->Down());
    b->setDown(false);
    QVERIFY(!b->Down());
}

void TestSpeedButton::downOutsideGroup()
{
    TabcRepSpeedBtn *button = makeButton();
    button->setDown(true);
    QVERIFY(!button->Down());
    QCOMPARE(button->State(), abtUp);

    button->setGroupIndex(3);
    button->setDown(true);
    QVERIFY(button->Down());
    button->setDown(false); // refused without all-up
    QVERIFY(button->Down());
}

void TestSpeedButton::doubleClick_data()
{
    QTest::addColumn<bool>("latched");
    QTest::newRow("latched") << true;
    QTest::newRow("not latched") << false;
}

void TestSpeedButton::doubleClick()
{
    QFETCH(bool, latched);
    TabcRepSpeedBtn *button = makeButton();
    if (latched) {
        button->setGroupIndex(1);
        button->setDown(true);
    }
    int doubles = 0;
    button->OnDblClick = [&doubles](QObject *) { ++doubles; };
    const QPoint at = centre(button);
    moveTo(at);
    QTest::mouseDClick(window(), Qt::LeftButton, Qt::NoModifier, at);
    QCOMPARE(doubles, latched ? 1 : 0);
}

void TestSpeedButton::repeat_data()
{
    QTest::addColumn<int>("pause");
    QTest::addColumn<int>("atLeast");
    QTest::newRow("repeats") << 2 << 4;
    QTest::newRow("pause 0: once") << 0 << 1;
}

void TestSpeedButton::repeat()
{
    QFETCH(int, pause);
    QFETCH(int, atLeast);

    TabcRepSpeedBtn *button = makeButton();
    button->RepeatInitialpause = 5;
    button->Repeatpause = std::uint16_t(pause);
    int timers = 0, clicks = 0;
    button->OnTimer = [&timers](QObject *) { ++timers; };
    button->OnClick = [&clicks](QObject *) { ++clicks; };
    const QPoint at = centre(button);
    moveTo(at);
    press(at);
    QVERIFY(button->RepeatTimer());
    QCOMPARE(button->RepeatTimer()->timerType(), Qt::PreciseTimer); // a coarse one fires up to 5 % early
    QTRY_VERIFY(timers >= atLeast);
    if (pause == 0) {
        QVERIFY(!button->RepeatTimer()->isActive());
        QCOMPARE(timers, 1);
    }
    release(at);
    QVERIFY(!button->RepeatTimer()->isActive());
    QCOMPARE(clicks, 1);

    // Without OnTimer there is no repeat at all.
    TabcRepSpeedBtn *plain = makeButton(QPoint(200, 100));
    clickAt(centre(plain));
    QCOMPARE(plain->RepeatTimer(), nullptr);
}

void TestSpeedButton::repeatStopsOutside()
{
    TabcRepSpeedBtn *button = makeButton();
    button->RepeatInitialpause = 5;
    button->Repeatpause = 2;
    int timers = 0;
    button->OnTimer = [&timers](QObject *) { ++timers; };
    const QPoint at = centre(button);
    moveTo(at);
    press(at);
    QTRY_VERIFY(timers >= 1);
    moveTo(QPoint(390, 190));
    QTRY_VERIFY(!button->RepeatTimer()->isActive());
    const int stopped = timers;
    moveTo(at); // coming back does not restart it
    QCOMPARE(button->State(), abtDown);
    QCoreApplication::processEvents();
    QVERIFY(!button->RepeatTimer()->isActive());
    QCOMPARE(timers, stopped);
    release(at);
}

void TestSpeedButton::sounds()
{
    RecordingWaveList list;
    TabcRepSpeedBtn *button = makeButton();
    button->setSoundList(&list);
    button->SoundOver = 2;
    button->SoundDown = 0;
    const QPoint at = centre(button);
    moveTo(at);
    press(at);
    release(at);
    QCOMPARE(list.played, (QList<int>{2, 0}));

    // Numbers below 0 play nothing.
    list.played.clear();
    button->SoundOver = -1;
    button->SoundDown = -1;
    moveTo(QPoint(390, 190));
    clickAt(at);
    QVERIFY(list.played.isEmpty());
}

void TestSpeedButton::soundListDestroyed()
{
    auto list = std::make_unique<RecordingWaveList>();
    TabcRepSpeedBtn *button = makeButton();
    button->setSoundList(list.get());
    button->SoundDown = 1;
    list.reset();
    QCOMPARE(button->SoundList(), nullptr);
    clickAt(centre(button)); // must not reach the freed list
}

void TestSpeedButton::colorChange()
{
    TabcRepSpeedBtn *button = makeButton();
    const QPoint transparent = kSecondTransparent - QPoint(3, 4);
    button->setColor(tk::fromQColor(QColor(10, 20, 30)));
    QCOMPARE(look(button).pixelColor(transparent), QColor(10, 20, 30));

    // A latched button without a picture shows its checkerboard; pixel (2,2) is a highlight square.
    auto *latched = new TabcRepSpeedBtn(m_host.get());
    latched->setGeometry(300, 10, 22, 23);
    latched->show();
    latched->setGroupIndex(1);
    latched->setDown(true);
    QCOMPARE(look(latched).pixelColor(2, 2), kHighlight);
    QCOMPARE(look(latched).pixelColor(3, 2), kFace);
    const tk::TColor saved = tk::systemColor(tk::COLOR_BTNHIGHLIGHT);
    tk::setSystemColor(tk::COLOR_BTNHIGHLIGHT, tk::fromQColor(QColor(0, 0, 255)));
    const QImage changed = look(latched);
    tk::setSystemColor(tk::COLOR_BTNHIGHLIGHT, saved);
    QCOMPARE(changed.pixelColor(2, 2), QColor(0, 0, 255));
}

// Any button's release ends a left press: the click comes then, and the left release after it does nothing.
void TestSpeedButton::releaseOfAnotherButtonEndsThePress()
{
    TabcRepSpeedBtn *button = makeButton();
    int clicks = 0;
    button->OnClick = [&clicks](QObject *) { ++clicks; };
    const QPoint at = centre(button);
    moveTo(at);
    press(at);
    press(at, Qt::RightButton);
    QCOMPARE(button->State(), abtDown);
    release(at, Qt::RightButton);
    QCOMPARE(clicks, 1);
    QCOMPARE(button->State(), abtHot);
    QVERIFY(!button->Pressing());
    release(at);
    QCOMPARE(clicks, 1);
    QCOMPARE(button->State(), abtHot);
}

void TestSpeedButton::acceleratorClicks_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<int>("clicks");
    QTest::newRow("first letter") << u"&Go"_s << int(Qt::Key_G) << true << 1;
    QTest::newRow("a later letter") << u"G&o"_s << int(Qt::Key_O) << true << 1;
    QTest::newRow("another letter") << u"&Go"_s << int(Qt::Key_O) << true << 0;
    QTest::newRow("a doubled ampersand is no accelerator") << u"&&Go"_s << int(Qt::Key_G) << true << 0;
    QTest::newRow("disabled") << u"&Go"_s << int(Qt::Key_G) << false << 0;
}

// Alt and the letter after "&" run a whole press and release, which clicks.
void TestSpeedButton::acceleratorClicks()
{
    QFETCH(QString, caption);
    QFETCH(int, key);
    QFETCH(bool, enabled);
    QFETCH(int, clicks);
    TabcRepSpeedBtn *button = makeButton();
    button->setCaption(caption);
    button->setEnabled(enabled);
    int clicked = 0;
    QStringList order;
    button->OnMouseDown = [&order](QObject *, tk::TMouseButton, tk::TShiftState, int x, int y) {
        order << QStringLiteral("down %1,%2").arg(x).arg(y);
    };
    button->OnClick = [&](QObject *) {
        ++clicked;
        order << u"click"_s;
    };
    QTRY_COMPARE(QApplication::activeWindow(), m_host.get());
    QTest::keyClick(window(), Qt::Key(key), Qt::AltModifier);
    QCOMPARE(clicked, clicks);
    if (clicks > 0)
        QCOMPARE(order, (QStringList{u"down 0,0"_s, u"click"_s}));
    QVERIFY(!button->Pressing());
    QCOMPARE(tk::captureControl(), nullptr);
}

int main(int argc, char *argv[])
{
    tk::registerBitmapFormat();
    tk::Application app(argc, argv);
    app.setStyle(QStyleFactory::create(u"Fusion"_s));
    app.Title = u"ORMEX"_s;
    TestSpeedButton test;
    return QTest::qExec(&test, argc, argv);
}

void TestSpeedButton::disabledLookWins_data()
{
    QTest::addColumn<bool>("releasedByOther");
    QTest::newRow("group member released by another button") << true;
    QTest::newRow("given Down") << false;
}

void TestSpeedButton::disabledLookWins()
{
    QFETCH(bool, releasedByOther);

    TabcRepSpeedBtn *button = makeButton(QPoint(10, 10), QSize(60, 40));
    TabcRepSpeedBtn *other = makeButton(QPoint(100, 10), QSize(60, 40));
    button->setGroupIndex(1);
    other->setGroupIndex(1);
    if (releasedByOther)
        button->setDown(true);
    button->setEnabled(false);
    const QImage disabled = look(button);
    QCOMPARE(button->State(), abtDisabled);

    if (releasedByOther)
        other->setDown(true);
    else
        button->setDown(true);
    QVERIFY(button->Down() != releasedByOther);
    const QImage after = look(button);
    QCOMPARE(button->State(), abtDisabled);
    QCOMPARE(after, disabled);

    // Enabled again, it takes the look its Down asks for.
    button->setEnabled(true);
    look(button);
    QCOMPARE(button->State(), button->Down() ? abtExclusive : abtUp);
}

#include "tst_abcspeedbtn.moc"
