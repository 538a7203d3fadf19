#include "controls/flat/TFlatMemoUnit.h"
#include "controls/flat/TFlatPanelUnit.h"

#include "tests/support/activation.h"
#include "tests/support/pointernotices.h"
#include "tests/support/testcolors.h"
#include "toolkit/application/application.h"
#include "toolkit/base/errors.h"
#include "toolkit/painting/colors.h"
#include "toolkit/painting/fonts.h"
#include "toolkit/text/memotext.h"

#include <QApplication>
#include <QCursor>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyleFactory>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QColor kBorder(160, 150, 131);      // ColorBorder as a new memo has it
const QColor kPanelYellow(255, 248, 179); // the program's panel, and so the memo at rest
const QColor kInfoBk(255, 255, 225);      // the system info-tip colour, the memo's active face
constexpr tk::TColor kPanelColor = 11794687;

// Somewhere on the screen away from every test window.
const QPoint kNowhere(790, 590);

QColor pixel(QWidget *widget, QPoint at)
{
    return widget->grab().toImage().pixelColor(at);
}

// A window holding the interpretation panel and its text box as the program sets them up, with a line
// edit beside the panel to take the focus away.
struct ProgramScene {
    std::unique_ptr<QWidget> window = std::make_unique<QWidget>();
    TFlatPanel *panel = nullptr;
    TFlatMemo *memo = nullptr;
    QLineEdit *elsewhere = nullptr;

    ProgramScene()
    {
        window->setGeometry(0, 0, 572, 299);
        panel = new TFlatPanel(window.get());
        panel->setGeometry(4, 5, 486, 284);
        panel->setColor(kPanelColor);
        memo = new TFlatMemo(panel);
        memo->setGeometry(4, 5, 397, 260);
        memo->setReadOnly(true);
        memo->setScrollBars(ssVertical);
        memo->setColorFlat(kPanelColor);
        memo->setParentColor(true);
        memo->setColorFocused(tk::clInfoBk);
        elsewhere = new QLineEdit(window.get());
        elsewhere->setGeometry(500, 250, 60, 20);
    }

    // Shown and active, with the focus outside the memo.
    bool show()
    {
        window->show();
        if (!QTest::qWaitForWindowActive(window.get()))
            return false;
        elsewhere->setFocus();
        QCoreApplication::processEvents();
        return elsewhere->hasFocus();
    }

    QPoint memoCentreOnScreen() const { return memo->mapToGlobal(QPoint(150, 130)); }
};

// A descendant whose enter or leave step deletes the box, on the given call of that step (0: never).
class DeletingMemo : public TFlatMemo {
public:
    using TFlatMemo::TFlatMemo;
    int fatalEnter = 0;
    int fatalLeave = 0;

protected:
    void mouseEntered() override
    {
        if (++m_enters == fatalEnter) {
            delete this;
            return;
        }
        TFlatMemo::mouseEntered();
    }
    void mouseLeft() override
    {
        if (++m_leaves == fatalLeave) {
            delete this;
            return;
        }
        TFlatMemo::mouseLeft();
    }

private:
    int m_enters = 0;
    int m_leaves = 0;
};

// Where the pointer goes before and while the button is held on the box.
enum class MemoRoute {
    Arrive,
    ArriveAndLeave,
    ArriveWhileInactive,
    DragOutOfText,
    DragBackIntoText,
    DragOffScrollBar,
    DragBackOntoScrollBar
};

} // namespace

Q_DECLARE_METATYPE(MemoRoute)

class TestFlatMemo : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();

    void defaults();
    void createdInPanelRestsInItsColor();
    void textArea_data();
    void textArea();

    void frame_data();
    void frame();
    void focusLostWithMouseOutsideRestsAgain();
    void secondMemoIsNotLitWhileFirstHasFocus();
    void hoverWhileApplicationInactiveChangesNothing();
    void hoverFollowsPointerOnActivation_data();
    void hoverFollowsPointerOnActivation();
    void pointerLeavingWhileButtonHeld();
    void pressOnSelectedText_data();
    void pressOnSelectedText();
    void disabledKeepsItsFace();

    void scrollBarBand_data();
    void scrollBarBand();

    void colorSetters_data();
    void colorSetters();
    void followsFlatPanel();
    void parentColor_data();
    void parentColor();
    void systemColorChange();
    void advancedColors_data();
    void advancedColors();
    void stepWithoutAdvancedColorsChangesNothing();

    void lineBreaks_data();
    void lineBreaks();
    void capacity_data();
    void capacity();
    void identicalTextChangesNothing();
    void typedTextIsReadBack();

    void stepDeletesMemo_data();
    void stepDeletesMemo();
    void deletedWhileFocusedAndHot();
};

void TestFlatMemo::init()
{
    QCursor::setPos(kNowhere);
    QCoreApplication::processEvents();
}

void TestFlatMemo::defaults()
{
    TFlatMemo memo(nullptr);
    QCOMPARE(memo.geometry(), QRect(0, 0, 185, 89));
    QCOMPARE(memo.ColorFocused(), tk::clWhite);
    QCOMPARE(memo.ColorBorder(), tk::TColor(8623776));
    QCOMPARE(memo.ColorFlat(), tk::TColor(14805739));
    QVERIFY(memo.ParentColor());
    QVERIFY(!memo.UseAdvColors());
    QCOMPARE(int(memo.AdvColorFocused()), 10);
    QCOMPARE(int(memo.AdvColorBorder()), 50);
    QVERIFY(!memo.ReadOnly());
    QCOMPARE(memo.ScrollBars(), ssNone);
    QVERIFY(memo.WordWrap());
    QVERIFY(memo.tabChangesFocus()); // Tab moves on rather than typing a tab
    QVERIFY(!memo.Hot());
    QCOMPARE(memo.Text(), QString());
    // At rest: the outline in 160,150,131, band and text background in 235,234,225.
    const QImage look = memo.grab().toImage();
    QCOMPARE(look.pixelColor(0, 0), kBorder);
    QCOMPARE(look.pixelColor(184, 88), kBorder);
    QCOMPARE(look.pixelColor(1, 1), QColor(235, 234, 225));
    QCOMPARE(look.pixelColor(2, 44), QColor(235, 234, 225));
    QCOMPARE(look.pixelColor(120, 70), QColor(235, 234, 225));
}

void TestFlatMemo::createdInPanelRestsInItsColor()
{
    TFlatPanel panel(nullptr);
    panel.setColor(rgb(10, 120, 200));
    TFlatMemo memo(&panel);
    QVERIFY(memo.ParentColor());
    QCOMPARE(memo.ColorFlat(), rgb(10, 120, 200));
    QCOMPARE(pixel(&memo, {2, 2}), QColor(10, 120, 200));
}

void TestFlatMemo::textArea_data()
{
    QTest::addColumn<int>("scrollBars");
    QTest::addColumn<QSize>("size");
    QTest::newRow("new memo, no scroll bars") << int(ssNone) << QSize(185, 89);
    QTest::newRow("program memo, vertical bar") << int(ssVertical) << QSize(397, 260);
    QTest::newRow("both bars") << int(ssBoth) << QSize(200, 120);
}

void TestFlatMemo::textArea()
{
    QFETCH(int, scrollBars);
    QFETCH(QSize, size);
    TFlatMemo memo(nullptr);
    memo.setScrollBars(TScrollStyle(scrollBars));
    memo.resize(size);
    memo.show();
    const int vbar = scrollBars == ssVertical || scrollBars == ssBoth ? memo.verticalScrollBar()->width() : 0;
    const int hbar =
        scrollBars == ssHorizontal || scrollBars == ssBoth ? memo.horizontalScrollBar()->height() : 0;
    // Text area: three pixels in from every side, less the scroll bars to its right and below.
    QCOMPARE(memo.viewport()->geometry(), QRect(3, 3, size.width() - 6 - vbar, size.height() - 6 - hbar));
    if (vbar) {
        const QRect bar(memo.verticalScrollBar()->mapTo(&memo, QPoint(0, 0)),
                        memo.verticalScrollBar()->size());
        QCOMPARE(bar.right(), size.width() - 4); // the band lies right of the scroll bar
        QCOMPARE(bar.top(), 3);
    }
}

void TestFlatMemo::frame_data()
{
    QTest::addColumn<QString>("look");
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<QColor>("expected");
    // The program's memo, 397 x 260, vertical scroll bar at the right inside the band.
    const struct {
        const char *name;
        QPoint at;
        bool outline;
    } pixels[] = {
        {"outline top-left corner (0,0)", {0, 0}, true},
        {"outline top edge (200,0)", {200, 0}, true},
        {"outline right edge (396,130)", {396, 130}, true},
        {"outline bottom-right corner (396,259)", {396, 259}, true},
        {"outline left edge (0,130)", {0, 130}, true},
        {"outer band ring top-left (1,1)", {1, 1}, false},
        {"outer band ring right (395,130)", {395, 130}, false},
        {"outer band ring bottom (200,258)", {200, 258}, false},
        {"inner band ring left (2,130)", {2, 130}, false},
        {"inner band ring right of the scroll bar (394,130)", {394, 130}, false},
        {"inner band ring bottom (200,257)", {200, 257}, false},
        {"text background (200,240)", {200, 240}, false},
    };
    for (const char *look : {"resting", "focused", "hot"}) {
        const QColor face = QByteArray(look) == "resting" ? kPanelYellow : kInfoBk;
        for (const auto &p : pixels) {
            const QColor expected = p.outline ? kBorder : face;
            QTest::addRow("%s: %s is %d,%d,%d", look, p.name, expected.red(), expected.green(),
                          expected.blue())
                << QString::fromLatin1(look) << p.at << expected;
        }
    }
}

void TestFlatMemo::frame()
{
    QFETCH(QString, look);
    QFETCH(QPoint, at);
    QFETCH(QColor, expected);
    ProgramScene scene;
    QVERIFY(scene.show());
    if (look == u"focused") {
        scene.memo->setFocus();
        QTRY_VERIFY(scene.memo->hasFocus());
        QVERIFY(!scene.memo->Hot());
    } else if (look == u"hot") {
        QCursor::setPos(scene.memoCentreOnScreen());
        QTRY_VERIFY(scene.memo->Hot());
        QVERIFY(!scene.memo->hasFocus());
    }
    QCOMPARE(pixel(scene.memo, at), expected);
}

void TestFlatMemo::focusLostWithMouseOutsideRestsAgain()
{
    ProgramScene scene;
    QVERIFY(scene.show());
    // A click into the box: focus (and the pointer over it).
    const QPoint inMemo = scene.memo->mapTo(scene.window.get(), QPoint(150, 130));
    QTest::mouseClick(scene.window->windowHandle(), Qt::LeftButton, Qt::NoModifier, inMemo);
    QTRY_VERIFY(scene.memo->hasFocus());
    QCOMPARE(pixel(scene.memo, {2, 2}), kInfoBk);
    QCOMPARE(pixel(scene.memo, {200, 240}), kInfoBk);
    // The pointer leaves, the box keeps the focus: still active.
    QCursor::setPos(kNowhere);
    QTRY_VERIFY(!scene.memo->Hot());
    QCOMPARE(pixel(scene.memo, {2, 2}), kInfoBk);
    // The focus goes elsewhere: inner rings and text background back to 255,248,179.
    scene.elsewhere->setFocus();
    QTRY_VERIFY(!scene.memo->hasFocus());
    QCOMPARE(pixel(scene.memo, {2, 2}), kPanelYellow);
    QCOMPARE(pixel(scene.memo, {1, 100}), kPanelYellow);
    QCOMPARE(pixel(scene.memo, {200, 240}), kPanelYellow);
    QCOMPARE(pixel(scene.memo, {0, 0}), kBorder);
}

void TestFlatMemo::secondMemoIsNotLitWhileFirstHasFocus()
{
    ProgramScene scene;
    auto *second = new TFlatMemo(scene.panel);
    second->setGeometry(405, 5, 70, 200);
    QVERIFY(scene.show());
    scene.memo->setFocus();
    QTRY_VERIFY(scene.memo->hasFocus());
    QCursor::setPos(second->mapToGlobal(QPoint(35, 100)));
    QTRY_VERIFY(second->Hot());
    QVERIFY(!second->activeLook());
    // The second box rests in the panel's colour, not in its ColorFocused white.
    QCOMPARE(pixel(second, {2, 2}), kPanelYellow);
    QCOMPARE(pixel(second, {35, 150}), kPanelYellow);
    // With the focus on a control that is no memo, the hot box lights.
    scene.elsewhere->setFocus();
    QTRY_VERIFY(scene.elsewhere->hasFocus());
    QCOMPARE(pixel(second, {2, 2}), QColor(255, 255, 255));
}

void TestFlatMemo::hoverWhileApplicationInactiveChangesNothing()
{
    ProgramScene scene;
    scene.window->show(); // shown but not activated
    QVERIFY(QTest::qWaitForWindowExposed(scene.window.get()));
    const auto foreign = activateForeignWindow();
    QVERIFY(!QApplication::activeWindow());
    QEnterEvent enter(QPointF(150, 130), QPointF(150, 130), scene.memoCentreOnScreen());
    QCoreApplication::sendEvent(scene.memo, &enter);
    QVERIFY(!scene.memo->Hot());
    QCOMPARE(pixel(scene.memo, {2, 2}), kPanelYellow);
}

void TestFlatMemo::hoverFollowsPointerOnActivation_data()
{
    QTest::addColumn<bool>("entered");   // the pointer came onto the box while another window was active
    QTest::addColumn<QPoint>("pointer"); // in the window when it becomes active
    QTest::addColumn<bool>("hot");
    // As when a click both activates the window and opens the panel under the pointer.
    QTest::newRow("over the text") << true << QPoint(154, 135) << true;
    QTest::newRow("over the scroll bar") << true << QPoint(392, 100) << true;
    QTest::newRow("entered, then gone with no leave seen") << true << QPoint(530, 150) << false;
    QTest::newRow("elsewhere all along") << false << QPoint(530, 150) << false;
}

void TestFlatMemo::hoverFollowsPointerOnActivation()
{
    QFETCH(bool, entered);
    QFETCH(QPoint, pointer);
    QFETCH(bool, hot);
    ProgramScene scene;
    scene.memo->setFocusPolicy(Qt::NoFocus); // so that only the pointer decides the look
    scene.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(scene.window.get()));
    {
        const auto foreign = activateForeignWindow();
        QVERIFY(!QApplication::activeWindow());
        if (entered)
            sendPointerEnter(scene.memo, scene.memoCentreOnScreen());
        QVERIFY(!scene.memo->Hot());
        QCursor::setPos(scene.window->mapToGlobal(pointer));
    }
    activateWidgetWindow(scene.window.get());
    QVERIFY(QApplication::activeWindow() == scene.window.get());
    QCoreApplication::processEvents();
    QCOMPARE(scene.memo->Hot(), hot);
    QCOMPARE(pixel(scene.memo, {2, 2}), hot ? kInfoBk : kPanelYellow);
}

void TestFlatMemo::pointerLeavingWhileButtonHeld()
{
    ProgramScene scene;
    scene.memo->setFocusPolicy(Qt::NoFocus); // so that only the pointer decides the look
    QVERIFY(scene.show());
    QWindow *window = scene.window->windowHandle();
    const QPoint inMemo = scene.memo->mapTo(scene.window.get(), QPoint(150, 130));
    const QPoint outside(530, 150); // right of the panel
    QCursor::setPos(scene.window->mapToGlobal(inMemo));
    QTRY_VERIFY(scene.memo->Hot());
    QTest::mousePress(window, Qt::LeftButton, Qt::NoModifier, inMemo);
    QTest::mouseMove(window, outside);
    QVERIFY(!scene.memo->Hot());
    QCOMPARE(pixel(scene.memo, {2, 2}), kPanelYellow);
    QTest::mouseMove(window, inMemo);
    QVERIFY(scene.memo->Hot());
    QCOMPARE(pixel(scene.memo, {2, 2}), kInfoBk);
    QTest::mouseMove(window, outside);
    QTest::mouseRelease(window, Qt::LeftButton, Qt::NoModifier, outside);
    QVERIFY(!scene.memo->Hot());
}

void TestFlatMemo::pressOnSelectedText_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("moveOut");
    // The selection's anchor afterwards, -1 where it is kept: a drag of the selected text keeps it, a new
    // selection is anchored where the press was.
    QTest::addColumn<int>("anchor");
    // "alpha beta gamma", "beta" selected (6 to 10), the press on its 't' (8).
    QTest::newRow("press starts a new selection there, the drag out of the window takes no text")
        << int(Qt::LeftButton) << int(Qt::NoModifier) << true << 8;
    QTest::newRow("press and release in place leaves no selection")
        << int(Qt::LeftButton) << int(Qt::NoModifier) << false << 8;
    QTest::newRow("shift and press extend the selection from its anchor")
        << int(Qt::LeftButton) << int(Qt::ShiftModifier) << false << 6;
    QTest::newRow("right press keeps the selection for the menu")
        << int(Qt::RightButton) << int(Qt::NoModifier) << false << -1;
}

void TestFlatMemo::pressOnSelectedText()
{
    QFETCH(int, button);
    QFETCH(int, modifiers);
    QFETCH(bool, moveOut);
    QFETCH(int, anchor);
    ProgramScene scene;
    scene.memo->setText(u"alpha beta gamma"_s);
    QVERIFY(scene.show());
    QTextCursor selection = scene.memo->textCursor();
    selection.setPosition(6);
    selection.setPosition(10, QTextCursor::KeepAnchor);
    scene.memo->setTextCursor(selection);

    QTextCursor at = scene.memo->textCursor();
    at.setPosition(8);
    const QRect caret = scene.memo->cursorRect(at);
    const QPoint press = scene.memo->viewport()->mapTo(scene.window.get(), caret.center() + QPoint(1, 0));
    QWindow *window = scene.window->windowHandle();
    const auto b = Qt::MouseButton(button);
    const auto m = Qt::KeyboardModifiers(modifiers);
    QTest::mousePress(window, b, m, press);
    const QPoint end = moveOut ? QPoint(700, 150) : press;
    if (moveOut) {
        // Should a drag start, Escape ends it rather than leaving the test waiting for the drop.
        QTimer::singleShot(0, window, [window] { QTest::keyClick(window, Qt::Key_Escape); });
        for (int step = 1; step <= 4; ++step)
            QTest::mouseMove(window, press + (end - press) * step / 4);
    }
    QTest::mouseRelease(window, b, m, end);
    if (QWidget *menu = QApplication::activePopupWidget())
        menu->close();
    const QTextCursor after = scene.memo->textCursor();
    if (anchor < 0) {
        QCOMPARE(after.anchor(), 6);
        QCOMPARE(after.position(), 10);
    } else {
        QCOMPARE(after.anchor(), anchor);
        if (!moveOut && !(m & Qt::ShiftModifier))
            QVERIFY(!after.hasSelection());
        if (moveOut)
            QVERIFY(after.position() > anchor);
    }
}

void TestFlatMemo::disabledKeepsItsFace()
{
    ProgramScene scene;
    scene.memo->setText(u"Интерпритация руны"_s);
    QVERIFY(scene.show());
    scene.memo->setEnabled(false);
    QCOMPARE(pixel(scene.memo, {0, 0}), kBorder);
    QCOMPARE(pixel(scene.memo, {2, 2}), kPanelYellow);
    QCOMPARE(pixel(scene.memo, {200, 240}), kPanelYellow);
    QCursor::setPos(scene.memoCentreOnScreen()); // a disabled box still lights under the mouse
    QTRY_VERIFY(scene.memo->Hot());
    QCOMPARE(pixel(scene.memo, {200, 240}), kInfoBk);
}

void TestFlatMemo::scrollBarBand_data()
{
    QTest::addColumn<int>("scrollBars");
    QTest::addColumn<bool>("cornerInFace");
    QTest::newRow("both bars: the corner between them in the face colour") << int(ssBoth) << true;
    QTest::newRow("vertical bar only: the bar runs through the corner") << int(ssVertical) << false;
}

void TestFlatMemo::scrollBarBand()
{
    QFETCH(int, scrollBars);
    QFETCH(bool, cornerInFace);
    TFlatPanel panel(nullptr);
    panel.setColor(rgb(0, 128, 255));
    panel.resize(300, 200);
    auto *memo = new TFlatMemo(&panel);
    memo->setGeometry(0, 0, 200, 120);
    memo->setScrollBars(TScrollStyle(scrollBars));
    panel.show();
    const QColor face(0, 128, 255);
    const QImage look = memo->grab().toImage();
    // The band runs right of and below the scroll bars: column 198 and row 118 in the face colour, the
    // outermost column 199 in the border colour.
    QCOMPARE(look.pixelColor(198, 60), face);
    QCOMPARE(look.pixelColor(197, 60), face);
    QCOMPARE(look.pixelColor(199, 60), kBorder);
    QCOMPARE(look.pixelColor(100, 118), face);
    QCOMPARE(look.pixelColor(100, 119), kBorder);
    // The pixel just inside the band's bottom-right corner (196,116) is the corner square or the bar.
    QCOMPARE(look.pixelColor(196, 116) == face, cornerInFace);
}

void TestFlatMemo::colorSetters_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<tk::TColor>("focused");
    QTest::addColumn<tk::TColor>("border");
    QTest::addColumn<tk::TColor>("flat");
    QTest::addColumn<bool>("parentColor");
    const tk::TColor c = rgb(1, 2, 3);
    QTest::newRow("0 ColorFocused") << 0 << c << tk::TColor(8623776) << tk::TColor(14805739) << true;
    QTest::newRow("1 ColorBorder") << 1 << tk::clWhite << c << tk::TColor(14805739) << true;
    QTest::newRow("2 ColorFlat, ParentColor off") << 2 << tk::clWhite << tk::TColor(8623776) << c << false;
    QTest::newRow("3 out of range, ignored")
        << 3 << tk::clWhite << tk::TColor(8623776) << tk::TColor(14805739) << true;
    QTest::newRow("-1 out of range, ignored")
        << -1 << tk::clWhite << tk::TColor(8623776) << tk::TColor(14805739) << true;
}

void TestFlatMemo::colorSetters()
{
    QFETCH(int, index);
    QFETCH(tk::TColor, focused);
    QFETCH(tk::TColor, border);
    QFETCH(tk::TColor, flat);
    QFETCH(bool, parentColor);
    TFlatMemo memo(nullptr);
    memo.setColors(index, rgb(1, 2, 3));
    QCOMPARE(memo.ColorFocused(), focused);
    QCOMPARE(memo.ColorBorder(), border);
    QCOMPARE(memo.ColorFlat(), flat);
    QCOMPARE(memo.ParentColor(), parentColor);
    // What the box shows at rest: outline (0,0) in ColorBorder, band (1,1) in ColorFlat.
    const QImage look = memo.grab().toImage();
    QCOMPARE(look.pixelColor(0, 0), tk::toQColor(border));
    QCOMPARE(look.pixelColor(1, 1), tk::toQColor(flat));
}

void TestFlatMemo::parentColor_data()
{
    QTest::addColumn<QString>("step");
    QTest::addColumn<tk::TColor>("flat");
    QTest::addColumn<bool>("parentColor");
    // A plain parent with a green background; the memo starts with ColorFlat set, so ParentColor is off.
    const tk::TColor green = rgb(0, 160, 0), set = rgb(200, 100, 50), later = rgb(90, 0, 90);
    QTest::newRow("ColorFlat set: ParentColor off, own colour") << u"none"_s << set << false;
    QTest::newRow("ParentColor on: copies the parent's colour at once") << u"parent on"_s << green << true;
    QTest::newRow("parent's colour changes while following: copied again")
        << u"parent on, parent changes"_s << later << true;
    QTest::newRow("parent's colour changes while not following: kept") << u"parent changes"_s << set << false;
    QTest::newRow("UseAdvColors on turns ParentColor on and copies") << u"adv on"_s << green << true;
    QTest::newRow("UseAdvColors on then off: ParentColor off again")
        << u"adv on, adv off"_s << green << false;
    QTest::newRow("UseAdvColors follows a parent change too") << u"adv on, parent changes"_s << later << true;
}

void TestFlatMemo::parentColor()
{
    QFETCH(QString, step);
    QFETCH(tk::TColor, flat);
    QFETCH(bool, parentColor);
    QWidget parent;
    QPalette palette = parent.palette();
    palette.setColor(parent.backgroundRole(), QColor(0, 160, 0));
    parent.setPalette(palette);
    auto *memo = new TFlatMemo(&parent);
    memo->setColorFlat(rgb(200, 100, 50));
    const QStringList steps = step.split(u", "_s);
    for (const QString &s : steps) {
        if (s == u"parent on")
            memo->setParentColor(true);
        else if (s == u"adv on")
            memo->setUseAdvColors(true);
        else if (s == u"adv off")
            memo->setUseAdvColors(false);
        else if (s == u"parent changes") {
            palette.setColor(parent.backgroundRole(), QColor(90, 0, 90));
            parent.setPalette(palette);
        }
    }
    QCOMPARE(memo->ColorFlat(), flat);
    QCOMPARE(memo->ParentColor(), parentColor);
    QCOMPARE(pixel(memo, {2, 2}), tk::toQColor(flat));
}

void TestFlatMemo::followsFlatPanel()
{
    // The panel's colour is not in any palette: the memo hears of a change from the panel itself.
    TFlatPanel panel(nullptr);
    panel.setColor(rgb(255, 248, 179));
    auto *following = new TFlatMemo(&panel);
    auto *own = new TFlatMemo(&panel);
    own->setColorFlat(rgb(0, 0, 200));
    panel.setColor(rgb(20, 120, 220));
    QCOMPARE(following->ColorFlat(), rgb(20, 120, 220));
    QCOMPARE(pixel(following, {2, 2}), QColor(20, 120, 220)); // band in the new face colour
    QCOMPARE(own->ColorFlat(), rgb(0, 0, 200));
}

void TestFlatMemo::systemColorChange()
{
    TFlatPanel panel(nullptr);
    panel.setColor(tk::clBtnFace);
    auto *following = new TFlatMemo(&panel);
    auto *own = new TFlatMemo(&panel);
    own->setColorFlat(rgb(0, 0, 200));
    own->setColorBorder(tk::clBtnShadow);
    QCOMPARE(following->ColorFlat(), tk::clBtnFace);
    QCOMPARE(pixel(following, {2, 2}), QColor(212, 208, 200));
    tk::setSystemColor(tk::COLOR_BTNFACE, rgb(10, 20, 30));
    tk::setSystemColor(tk::COLOR_BTNSHADOW, rgb(40, 50, 60));
    const QImage followingLook = following->grab().toImage();
    const QImage ownLook = own->grab().toImage();
    tk::setSystemColor(tk::COLOR_BTNFACE, rgb(212, 208, 200));
    tk::setSystemColor(tk::COLOR_BTNSHADOW, rgb(128, 128, 128));
    // The band (2,2) and the text background (90,60) follow the new button face.
    QCOMPARE(followingLook.pixelColor(2, 2), QColor(10, 20, 30));
    QCOMPARE(followingLook.pixelColor(90, 60), QColor(10, 20, 30));
    // A memo with colours of its own keeps ColorFlat and draws the system border colour anew.
    QCOMPARE(own->ColorFlat(), rgb(0, 0, 200));
    QCOMPARE(ownLook.pixelColor(2, 2), QColor(0, 0, 200));
    QCOMPARE(ownLook.pixelColor(0, 0), QColor(40, 50, 60));
}

void TestFlatMemo::advancedColors_data()
{
    QTest::addColumn<tk::TColor>("parentColor");
    QTest::addColumn<int>("stepFocused");
    QTest::addColumn<int>("stepBorder");
    QTest::addColumn<tk::TColor>("focused");
    QTest::addColumn<tk::TColor>("border");
    // Lightness on the 240 scale, raised by 10 in both directions, lightening capped at 100.
    QTest::newRow("white: focused capped to grey 106, border grey 213")
        << tk::clWhite << 10 << 50 << grey(106) << grey(213);
    QTest::newRow("grey 128: focused grey 106, border grey 85")
        << grey(128) << 10 << 50 << grey(106) << grey(85);
    QTest::newRow("black: focused grey 21, border stays black")
        << tk::clBlack << 10 << 50 << grey(21) << tk::clBlack;
    QTest::newRow("white darkened by 5 saturates at white")
        << tk::clWhite << 10 << 5 << grey(106) << tk::clWhite;
    QTest::newRow("step 0 keeps the colour that was set")
        << grey(128) << 0 << 0 << rgb(1, 2, 3) << rgb(4, 5, 6);
    // White darkened by 100 comes out grey 159 (lightness 150); by 250 it would be black.
    QTest::newRow("step above 100 counts as 100") << tk::clWhite << 10 << 250 << grey(106) << grey(159);
}

void TestFlatMemo::advancedColors()
{
    QFETCH(tk::TColor, parentColor);
    QFETCH(int, stepFocused);
    QFETCH(int, stepBorder);
    QFETCH(tk::TColor, focused);
    QFETCH(tk::TColor, border);
    TFlatPanel panel(nullptr);
    panel.setColor(parentColor);
    panel.resize(300, 200);
    auto *memo = new TFlatMemo(&panel);
    memo->setColorFlat(rgb(200, 0, 0));
    memo->setColorFocused(rgb(1, 2, 3));
    memo->setColorBorder(rgb(4, 5, 6));
    memo->setAdvColorFocused(TAdvColors(stepFocused));
    memo->setAdvColorBorder(TAdvColors(stepBorder));
    memo->setUseAdvColors(true);
    QVERIFY(memo->ParentColor());
    QCOMPARE(memo->ColorFlat(), parentColor);
    QCOMPARE(memo->ColorFocused(), focused);
    QCOMPARE(memo->ColorBorder(), border);
    // The outline (0,0) in the derived border colour, the resting band (1,1) in the parent's.
    const QImage look = memo->grab().toImage();
    QCOMPARE(look.pixelColor(0, 0), tk::toQColor(border));
    QCOMPARE(look.pixelColor(1, 1), tk::toQColor(parentColor));
}

void TestFlatMemo::stepWithoutAdvancedColorsChangesNothing()
{
    QWidget white;
    QPalette palette = white.palette();
    palette.setColor(white.backgroundRole(), Qt::white);
    white.setPalette(palette);
    TFlatMemo memo(nullptr);
    const QImage before = memo.grab().toImage();
    memo.setAdvColorFocused(60);
    memo.setAdvColorBorder(30);
    QCOMPARE(memo.ColorFocused(), tk::clWhite);
    QCOMPARE(memo.ColorBorder(), tk::TColor(8623776));
    QCOMPARE(memo.grab().toImage(), before);
    // The steps are kept for when the advanced colours are switched on: white lightened by 60 caps at 100.
    memo.setParent(&white);
    memo.setUseAdvColors(true);
    QCOMPARE(memo.ColorFocused(), grey(106));
    QCOMPARE(memo.ColorBorder(), grey(234)); // 240 + 10 - 30 = 220 on the 240 scale
    memo.setParent(nullptr);
}

void TestFlatMemo::lineBreaks_data()
{
    QTest::addColumn<QString>("given");
    QTest::addColumn<QString>("kept");
    QTest::addColumn<int>("lines");
    QTest::newRow("lone LF") << u"a\nb"_s << u"a\r\nb"_s << 2;
    QTest::newRow("lone CR") << u"a\rb"_s << u"a\r\nb"_s << 2;
    QTest::newRow("CR LF stays") << u"a\r\nb"_s << u"a\r\nb"_s << 2;
    QTest::newRow("LF CR is two breaks") << u"a\n\rb"_s << u"a\r\n\r\nb"_s << 3;
    QTest::newRow("two LF: an empty line") << u"a\n\nb"_s << u"a\r\n\r\nb"_s << 3;
    QTest::newRow("mixed") << u"a\r\nb\nc\rd"_s << u"a\r\nb\r\nc\r\nd"_s << 4;
    QTest::newRow("break at the end") << u"a\n"_s << u"a\r\n"_s << 2;
    QTest::newRow("no break") << u"Интерпритация руны"_s << u"Интерпритация руны"_s << 1;
    QTest::newRow("no-break space survives") << u"a\u00A0b"_s << u"a\u00A0b"_s << 1;
}

void TestFlatMemo::lineBreaks()
{
    QFETCH(QString, given);
    QFETCH(QString, kept);
    QFETCH(int, lines);
    TFlatMemo memo(nullptr);
    memo.setText(given);
    QCOMPARE(memo.Text(), kept);
    QCOMPARE(memo.document()->blockCount(), lines);
}

void TestFlatMemo::capacity_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("refused");
    QTest::newRow("exactly the capacity") << QString(tk::kMemoCapacity, u'x') << false;
    QTest::newRow("one above") << QString(tk::kMemoCapacity + 1, u'x') << true;
    // A lone LF grows into CR LF: what counts is the adjusted length.
    QTest::newRow("capacity reached by the CR a lone LF gains")
        << QString(tk::kMemoCapacity - 1, u'x').append(u'\n') << true;
}

void TestFlatMemo::capacity()
{
    QFETCH(QString, text);
    QFETCH(bool, refused);
    TFlatMemo memo(nullptr);
    memo.setText(u"before"_s);
    try {
        memo.setText(text);
        QVERIFY(!refused);
        QCOMPARE(memo.Text().size(), tk::kMemoCapacity);
    } catch (const tk::Error &error) {
        QVERIFY(refused);
        QCOMPARE(error.message(), u"Text exceeds memo capacity"_s);
        QCOMPARE(memo.Text(), u"before"_s);
        QCOMPARE(memo.toPlainText(), u"before"_s);
    }
}

void TestFlatMemo::identicalTextChangesNothing()
{
    TFlatMemo memo(nullptr);
    memo.setText(u"a\nb"_s);
    memo.moveCursor(QTextCursor::End);
    QSignalSpy changes(&memo, &QPlainTextEdit::textChanged);
    memo.setText(u"a\r\nb"_s); // the same text once adjusted
    memo.setText(u"a\rb"_s);
    QCOMPARE(changes.count(), 0);
    QCOMPARE(memo.textCursor().position(), 3); // the caret stayed at the end
    memo.setText(u"a\nc"_s);
    QCOMPARE(changes.count(), 1);
}

void TestFlatMemo::typedTextIsReadBack()
{
    ProgramScene scene;
    scene.memo->setReadOnly(false);
    scene.memo->setText(u"x"_s);
    QVERIFY(scene.show());
    scene.memo->setFocus();
    QTRY_VERIFY(scene.memo->hasFocus());
    scene.memo->moveCursor(QTextCursor::End);
    QTest::keyClicks(scene.memo, u"ab"_s);
    QTest::keyClick(scene.memo, Qt::Key_Return);
    QTest::keyClicks(scene.memo, u"c"_s);
    QCOMPARE(scene.memo->Text(), u"xab\r\nc"_s);
    // Setting what is shown now changes nothing; setting the old text brings it back.
    QSignalSpy changes(scene.memo, &QPlainTextEdit::textChanged);
    scene.memo->setText(u"xab\nc"_s);
    QCOMPARE(changes.count(), 0);
    scene.memo->setText(u"x"_s);
    QCOMPARE(scene.memo->toPlainText(), u"x"_s);
}

void TestFlatMemo::stepDeletesMemo_data()
{
    QTest::addColumn<MemoRoute>("route");
    QTest::addColumn<int>("fatalEnter");
    QTest::addColumn<int>("fatalLeave");

    // Dragged back in, the second enter deletes: the first came with the hover before the press.
    QTest::newRow("MouseEnter on arrival") << MemoRoute::Arrive << 1 << 0;
    QTest::newRow("MouseLeave on leaving") << MemoRoute::ArriveAndLeave << 0 << 1;
    // The first enter came while another window was active.
    QTest::newRow("MouseEnter when the window becomes active") << MemoRoute::ArriveWhileInactive << 2 << 0;
    QTest::newRow("MouseLeave when dragged out of the text") << MemoRoute::DragOutOfText << 0 << 1;
    QTest::newRow("MouseEnter when dragged back into the text") << MemoRoute::DragBackIntoText << 2 << 0;
    QTest::newRow("MouseLeave when dragged off the scroll bar") << MemoRoute::DragOffScrollBar << 0 << 1;
    QTest::newRow("MouseEnter when dragged back onto the scroll bar")
        << MemoRoute::DragBackOntoScrollBar << 2 << 0;
}

// The enter and leave steps may delete the box; it must touch nothing of itself afterwards, and no
// event may travel on through it or its parts (ASan).
void TestFlatMemo::stepDeletesMemo()
{
    QFETCH(MemoRoute, route);
    QFETCH(int, fatalEnter);
    QFETCH(int, fatalLeave);

    ProgramScene scene;
    delete scene.memo;
    auto *memo = new DeletingMemo(scene.panel);
    memo->setGeometry(4, 5, 397, 260);
    memo->setScrollBars(ssVertical);
    memo->setFocusPolicy(Qt::NoFocus); // so that only the pointer decides the look
    memo->fatalEnter = fatalEnter;
    memo->fatalLeave = fatalLeave;
    scene.memo = memo;
    QVERIFY(scene.show());
    const QPointer<TFlatMemo> watch(memo);
    QWindow *window = scene.window->windowHandle();
    QWidget *grip = route == MemoRoute::DragOffScrollBar || route == MemoRoute::DragBackOntoScrollBar
                        ? static_cast<QWidget *>(memo->verticalScrollBar())
                        : memo;
    const QPoint inMemo =
        grip->mapTo(scene.window.get(), grip == memo ? QPoint(150, 130) : grip->rect().center());
    const QPoint outside(530, 150); // right of the panel

    switch (route) {
    case MemoRoute::Arrive:
        QCursor::setPos(scene.window->mapToGlobal(inMemo));
        QTest::mouseMove(window, inMemo);
        break;
    case MemoRoute::ArriveAndLeave:
        QCursor::setPos(scene.window->mapToGlobal(inMemo));
        QTest::mouseMove(window, inMemo);
        if (watch) {
            QCursor::setPos(scene.window->mapToGlobal(outside));
            QTest::mouseMove(window, outside);
        }
        break;
    case MemoRoute::ArriveWhileInactive:
        if (const auto foreign = activateForeignWindow()) {
            sendPointerEnter(memo, scene.window->mapToGlobal(inMemo));
            // The activation as the box receives it. Activating the offscreen window would also
            // deliver an enter from the platform, the step the arrival row covers.
            QEvent activate(QEvent::WindowActivate);
            QCoreApplication::sendEvent(memo, &activate);
        }
        break;
    case MemoRoute::DragOutOfText:
    case MemoRoute::DragBackIntoText:
    case MemoRoute::DragOffScrollBar:
    case MemoRoute::DragBackOntoScrollBar: {
        QCursor::setPos(scene.window->mapToGlobal(inMemo));
        QTRY_VERIFY(memo->Hot());
        QTest::mousePress(window, Qt::LeftButton, Qt::NoModifier, inMemo);
        QTest::mouseMove(window, outside);
        const bool back = route == MemoRoute::DragBackIntoText || route == MemoRoute::DragBackOntoScrollBar;
        if (watch && back)
            QTest::mouseMove(window, inMemo);
        if (watch)
            QTest::mouseRelease(window, Qt::LeftButton, Qt::NoModifier, back ? inMemo : outside);
        break;
    }
    }
    QVERIFY(!watch);
    // The window goes on taking the mouse.
    QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, inMemo);
}

// A focused box gives up the focus as its widget goes: the focus change must not reach the box that is no
// longer one (UBSan), nor repaint it.
void TestFlatMemo::deletedWhileFocusedAndHot()
{
    ProgramScene scene;
    QVERIFY(scene.show());
    const QPoint inMemo = scene.memo->mapTo(scene.window.get(), QPoint(150, 130));
    QCursor::setPos(scene.window->mapToGlobal(inMemo));
    QTest::mouseMove(scene.window->windowHandle(), inMemo);
    scene.memo->setFocus();
    QTRY_VERIFY(scene.memo->Hot() && scene.memo->hasFocus());
    delete scene.memo;
    scene.memo = nullptr;
    QCoreApplication::processEvents();
    QVERIFY(scene.window->focusWidget() != nullptr || QApplication::focusWidget() == nullptr);
}

int main(int argc, char *argv[])
{
    tk::Application app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(u"Fusion"_s));
    tk::installFontSubstitutes();
    app.setFont(tk::defaultFont());
    TestFlatMemo test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_flatmemo.moc"
