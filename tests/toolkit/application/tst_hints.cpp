#include "toolkit/application/application.h"
#include "toolkit/painting/canvas.h"
#include "toolkit/painting/fonts.h"
#include "toolkit/widgets/control.h"
#include "toolkit/widgets/hintwindow.h"

#include <QCursor>
#include <QHelpEvent>
#include <QTest>
#include <QToolTip>

#include <memory>
#include <typeinfo>

using namespace Qt::StringLiterals;

namespace {

// A control with a window of its own; counts Qt's tooltip requests that get past the application.
class Box : public QWidget, public tk::Control {
public:
    explicit Box(QWidget *parent = nullptr) : QWidget(parent), Control(this) {}
    int toolTipEvents = 0;

protected:
    bool event(QEvent *e) override
    {
        if (e->type() == QEvent::ToolTip)
            ++toolTipEvents;
        return QWidget::event(e);
    }
};

// A hint window of the program's own class, so the tests can tell it from the plain one.
class RecordingHintWindow : public tk::THintWindow {
    Q_OBJECT
public:
    void ActivateHint(tk::TRect rect, const QString &hint) override
    {
        activations << hint;
        tk::THintWindow::ActivateHint(rect, hint);
    }
    QStringList activations;
};

// Sees the application's events before the application's own filter does (filters installed later
// run first), so it can tell that Qt asked for its tooltip.
class ToolTipSpy : public QObject {
public:
    int requests = 0;

protected:
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::ToolTip)
            ++requests;
        return false;
    }
};

tk::Application *app()
{
    return tk::Application::instance();
}

// Swallows the pointer events of one window before the application sees them, as a platform that
// does not report them would.
class PointerSilencer : public QObject {
public:
    explicit PointerSilencer(QWindow *window) : m_window(window)
    {
        QCoreApplication::instance()->installEventFilter(this);
    }
    ~PointerSilencer() override { QCoreApplication::instance()->removeEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *e) override
    {
        if (watched != m_window)
            return false;
        switch (e->type()) {
        case QEvent::Enter:
        case QEvent::Leave:
        case QEvent::MouseMove:
            return true;
        default:
            return false;
        }
    }

private:
    QWindow *m_window;
};

// Moves the mouse and lets the application see the move before the test looks at the hint state.
void moveTo(QPoint global)
{
    QCursor::setPos(global);
    QCoreApplication::processEvents();
}

QPoint centreOf(const QWidget *w)
{
    return w->mapToGlobal(w->rect().center());
}

bool hintShown()
{
    return app()->hints().hintWindow() && app()->hints().hintWindow()->isVisible();
}

QString shownCaption()
{
    return hintShown() ? app()->hints().hintWindow()->Caption() : QString();
}

// Off the form and off every other window of the test.
const QPoint kParking{5, 5};

} // namespace

class TestHints : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void switchMakesWindowOfRegisteredClass_data();
    void switchMakesWindowOfRegisteredClass();
    void noHintWhileSwitchedOff();
    void firstHintAfterPause_data();
    void firstHintAfterPause();
    void delayWhenMovingOn_data();
    void delayWhenMovingOn();
    void leavingControlHides_data();
    void leavingControlHides();
    void arrivingStartsHint_data();
    void arrivingStartsHint();
    void leaveHidesWherePointerSeemsToStay_data();
    void leaveHidesWherePointerSeemsToStay();
    void pointerFoundElsewhere_data();
    void pointerFoundElsewhere();
    void pressOrKeyCancels_data();
    void pressOrKeyCancels();
    void hidePauseHides();
    void controlGoneWhileShown_data();
    void controlGoneWhileShown();
    void showHintEvent_data();
    void showHintEvent();
    void inheritance_data();
    void inheritance();
    void disabledControlShowsHint_data();
    void disabledControlShowsHint();
    void lineFeedMeasuredAsTwoLines_data();
    void lineFeedMeasuredAsTwoLines();
    void qtToolTipNeverShows();

private:
    void useClass(bool custom);
    void showHintOn(QWidget *control);

    std::unique_ptr<Box> m_form;
    tk::GraphicControl *m_alpha = nullptr;
    tk::GraphicControl *m_beta = nullptr;
    QWidget *m_plain = nullptr; // a Qt widget that is no control: it shows the form's (absent) hint
};

void TestHints::initTestCase()
{
    QCOMPARE(app()->hints().HintPause(), 500);
    QVERIFY(app()->hints().ShowHint());
    QVERIFY(app()->hints().hintWindow());
    QCOMPARE(typeid(*app()->hints().hintWindow()), typeid(tk::THintWindow));
}

void TestHints::init()
{
    moveTo(kParking);
    app()->hints().setHintWindowClass<tk::THintWindow>();
    app()->hints().setShowHint(false);
    app()->hints().setShowHint(true);
    app()->hints().OnShowHint = {};
    // Shorter than the program's, and distinct from each other, so the tests can tell which one waits.
    app()->hints().setHintPause(300);
    app()->hints().setHintShortPause(150);
    app()->hints().setHintHidePause(600000); // far beyond any test: only hidePauseHides lets it act

    m_form = std::make_unique<Box>();
    m_form->setGeometry(100, 100, 500, 400);
    m_form->setShowHint(false);
    m_form->setHint(u"Form"_s);
    m_alpha = new tk::GraphicControl(m_form.get());
    m_alpha->setGeometry(20, 20, 120, 60);
    m_alpha->setHint(u"Alpha"_s);
    m_alpha->setShowHint(true);
    m_beta = new tk::GraphicControl(m_form.get());
    m_beta->setGeometry(200, 20, 120, 60);
    m_beta->setHint(u"Beta"_s);
    m_beta->setShowHint(true);
    m_plain = new QWidget(m_form.get());
    m_plain->setGeometry(20, 200, 120, 60);
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
}

void TestHints::cleanup()
{
    app()->hints().CancelHint();
    moveTo(kParking);
    m_form.reset();
    app()->hints().OnShowHint = {};
}

void TestHints::useClass(bool custom)
{
    if (custom)
        app()->hints().setHintWindowClass<RecordingHintWindow>();
    else
        app()->hints().setHintWindowClass<tk::THintWindow>();
    app()->hints().setShowHint(false);
    app()->hints().setShowHint(true);
}

void TestHints::showHintOn(QWidget *control)
{
    moveTo(centreOf(control));
    QTRY_VERIFY(hintShown());
}

void TestHints::switchMakesWindowOfRegisteredClass_data()
{
    QTest::addColumn<bool>("custom");
    QTest::newRow("plain hint window") << false;
    QTest::newRow("registered class") << true;
}

void TestHints::switchMakesWindowOfRegisteredClass()
{
    QFETCH(bool, custom);
    const tk::THintWindow *before = app()->hints().hintWindow();
    if (custom)
        app()->hints().setHintWindowClass<RecordingHintWindow>();
    // Registering alone keeps the window that exists.
    QCOMPARE(app()->hints().hintWindow(), before);

    app()->hints().setShowHint(false);
    QVERIFY(!app()->hints().ShowHint());
    QVERIFY(!app()->hints().hintWindow());
    app()->hints().setShowHint(true);
    QVERIFY(app()->hints().hintWindow());
    if (custom)
        QCOMPARE(typeid(*app()->hints().hintWindow()), typeid(RecordingHintWindow));
    else
        QCOMPARE(typeid(*app()->hints().hintWindow()), typeid(tk::THintWindow));
    QVERIFY(!app()->hints().hintWindow()->isVisible());
}

void TestHints::noHintWhileSwitchedOff()
{
    app()->hints().setShowHint(false);
    moveTo(centreOf(m_alpha));
    QTRY_COMPARE(app()->hints().pendingHintDelay(), -1);
    QVERIFY(!app()->hints().hintWindow());
    QVERIFY(!app()->hints().hintActive());
}

void TestHints::firstHintAfterPause_data()
{
    switchMakesWindowOfRegisteredClass_data();
}

void TestHints::firstHintAfterPause()
{
    QFETCH(bool, custom);
    useClass(custom);
    moveTo(centreOf(m_alpha));
    QCOMPARE(app()->hints().hintControl(), m_alpha);
    QVERIFY(app()->hints().pendingHintShows());
    QCOMPARE(app()->hints().pendingHintDelay(), app()->hints().HintPause());
    QVERIFY(!hintShown());

    QTRY_VERIFY(hintShown());
    QCOMPARE(shownCaption(), u"Alpha"_s);
    // Shown without taking the activation or the focus from the window under it.
    QCOMPARE(QApplication::activeWindow(), m_form.get());
    if (custom) {
        auto *window = qobject_cast<RecordingHintWindow *>(app()->hints().hintWindow());
        QVERIFY(window);
        QCOMPARE(window->activations, QStringList{u"Alpha"_s});
    }
    // Once shown, the wait is the one until it is hidden.
    QVERIFY(!app()->hints().pendingHintShows());
    QCOMPARE(app()->hints().pendingHintDelay(), app()->hints().HintHidePause());
    // The hint window lies off the cursor, so it never hides what the mouse points at.
    QVERIFY(!app()->hints().hintWindow()->geometry().contains(QCursor::pos()));

    // Moving within the control keeps the hint as it is.
    moveTo(centreOf(m_alpha) + QPoint(3, 2));
    QVERIFY(hintShown());
    QVERIFY(!app()->hints().pendingHintShows());
}

void TestHints::delayWhenMovingOn_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("shortDelay");
    QTest::newRow("straight from a shown hint") << u"direct"_s << true;
    QTest::newRow("across the unhinted background") << u"background"_s << false;
    QTest::newRow("after the hide delay took it away") << u"hidden"_s << false;
    QTest::newRow("before the first hint showed") << u"early"_s << false;
}

void TestHints::delayWhenMovingOn()
{
    QFETCH(QString, path);
    QFETCH(bool, shortDelay);
    if (path == u"hidden") {
        app()->hints().setHintHidePause(100);
        showHintOn(m_alpha);
        QTRY_VERIFY(!hintShown());
    } else if (path == u"early") {
        moveTo(centreOf(m_alpha));
        QVERIFY(app()->hints().pendingHintShows());
        QVERIFY(!hintShown());
    } else {
        showHintOn(m_alpha);
        if (path == u"background") {
            moveTo(m_form->mapToGlobal(QPoint(400, 300)));
            QVERIFY(!hintShown());
        }
    }

    moveTo(centreOf(m_beta));
    QCOMPARE(app()->hints().hintControl(), m_beta);
    QVERIFY(app()->hints().pendingHintShows());
    QCOMPARE(app()->hints().pendingHintDelay(),
             shortDelay ? app()->hints().HintShortPause() : app()->hints().HintPause());
    QTRY_VERIFY(hintShown());
    QCOMPARE(shownCaption(), u"Beta"_s);
}

void TestHints::leavingControlHides_data()
{
    QTest::addColumn<QPoint>("formPos");
    QTest::newRow("onto the form's background") << QPoint(400, 300);
    QTest::newRow("onto a widget that shows no hint") << QPoint(60, 220);
    QTest::newRow("out of every window") << QPoint(-90, -90);
}

void TestHints::leavingControlHides()
{
    QFETCH(QPoint, formPos);
    showHintOn(m_alpha);
    moveTo(m_form->mapToGlobal(formPos));
    QTRY_VERIFY(!hintShown());
    QCOMPARE(app()->hints().hintControl(), nullptr);
    QCOMPARE(app()->hints().pendingHintDelay(), -1);
    QVERIFY(!app()->hints().hintActive());
}

void TestHints::arrivingStartsHint_data()
{
    QTest::addColumn<QPoint>("formPos");
    QTest::addColumn<bool>("hinted");
    QTest::newRow("back onto the control it left") << QPoint(80, 50) << true;
    QTest::newRow("onto the form's background") << QPoint(400, 300) << false;
}

// The pointer may come back into a window at exactly the pixel it left from: the platform then
// reports the arrival and no move, and the arrival alone must start the hint's wait.
void TestHints::arrivingStartsHint()
{
    QFETCH(QPoint, formPos);
    QFETCH(bool, hinted);
    showHintOn(m_alpha);
    moveTo(m_form->mapToGlobal(QPoint(-90, -90)));
    QTRY_VERIFY(!hintShown());
    QCOMPARE(app()->hints().pendingHintDelay(), -1);

    const QPoint global = m_form->mapToGlobal(formPos);
    QEnterEvent arrival{QPointF(formPos), QPointF(formPos), QPointF(global)};
    QCoreApplication::sendEvent(m_form->windowHandle(), &arrival);
    QCOMPARE(app()->hints().hintControl(), hinted ? static_cast<QWidget *>(m_alpha) : nullptr);
    QCOMPARE(app()->hints().pendingHintDelay(), hinted ? app()->hints().HintPause() : -1);
}

void TestHints::leaveHidesWherePointerSeemsToStay_data()
{
    QTest::addColumn<bool>("ofHintWindow"); // the leave is the hint window's own, not the form's
    QTest::newRow("leave of the control's window") << false;
    QTest::newRow("leave of the hint window") << true;
}

// Xwayland and a Wayland compositor report the last place they saw the pointer over the program's
// windows after it has left them: the leave alone must take the hint away, and the pointer's arrival
// at that same place must start the wait again, as after any return.
void TestHints::leaveHidesWherePointerSeemsToStay()
{
    QFETCH(bool, ofHintWindow);
    showHintOn(m_alpha);
    QWindow *left = ofHintWindow ? app()->hints().hintWindow()->windowHandle() : m_form->windowHandle();
    QVERIFY(left);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(left, &leave);
    QVERIFY(!hintShown());
    QCOMPARE(app()->hints().hintControl(), nullptr);
    QCOMPARE(app()->hints().pendingHintDelay(), -1);

    const QPoint local = m_alpha->mapTo(m_form.get(), m_alpha->rect().center());
    QEnterEvent arrival{QPointF(local), QPointF(local), QPointF(m_form->mapToGlobal(local))};
    QCoreApplication::sendEvent(m_form->windowHandle(), &arrival);
    QCOMPARE(app()->hints().hintControl(), m_alpha);
    QCOMPARE(app()->hints().pendingHintDelay(), app()->hints().HintPause());
}

void TestHints::pointerFoundElsewhere_data()
{
    QTest::addColumn<QPoint>("by");  // how far the pointer goes from the middle of alpha
    QTest::addColumn<bool>("heard"); // whether the form's window reports the move
    QTest::addColumn<bool>("stays");
    QTest::newRow("out of every window, unreported") << QPoint(-170, -140) << false << false;
    QTest::newRow("onto the form's background, unreported") << QPoint(300, 250) << false << false;
    QTest::newRow("within the control, reported") << QPoint(5, 5) << true << true;
    QTest::newRow("resting, nothing reported") << QPoint() << false << true;
}

// Where the platform loses a leave, the periodic question where the pointer is finds it gone: it
// moved and none of the program's windows heard of it.
void TestHints::pointerFoundElsewhere()
{
    QFETCH(QPoint, by);
    QFETCH(bool, heard);
    QFETCH(bool, stays);
    constexpr int kInterval = 10;
    app()->hints().setPointerCheckInterval(kInterval);
    showHintOn(m_alpha);
    {
        std::unique_ptr<PointerSilencer> silencer;
        if (!heard)
            silencer = std::make_unique<PointerSilencer>(m_form->windowHandle());
        moveTo(centreOf(m_alpha) + by);
        if (stays) {
            // Nothing to wait for but time: several checks must pass and leave the hint up.
            QTest::qWait(kInterval * 8);
            QVERIFY(hintShown());
            QCOMPARE(app()->hints().hintControl(), m_alpha);
        } else {
            QTRY_VERIFY(!hintShown());
            QCOMPARE(app()->hints().hintControl(), nullptr);
        }
    }
    app()->hints().setPointerCheckInterval(250);
}

void TestHints::pressOrKeyCancels_data()
{
    QTest::addColumn<QString>("input");
    QTest::newRow("left button pressed, not yet released") << u"press"_s;
    QTest::newRow("left click") << u"left"_s;
    QTest::newRow("right click") << u"right"_s;
    QTest::newRow("key") << u"key"_s;
}

void TestHints::pressOrKeyCancels()
{
    QFETCH(QString, input);
    showHintOn(m_alpha);
    const QPoint local = m_form->mapFromGlobal(QCursor::pos());
    if (input == u"key")
        QTest::keyClick(m_form->windowHandle(), Qt::Key_A);
    else if (input == u"press")
        QTest::mousePress(m_form->windowHandle(), Qt::LeftButton, Qt::NoModifier, local);
    else
        QTest::mouseClick(m_form->windowHandle(), input == u"left" ? Qt::LeftButton : Qt::RightButton,
                          Qt::NoModifier, local);
    QCoreApplication::processEvents();
    QVERIFY(!hintShown());
    // Resting on the control does not bring it back: nothing waits to show it.
    QCOMPARE(app()->hints().pendingHintDelay(), -1);
    QCOMPARE(app()->hints().hintControl(), nullptr);
    if (input == u"press") {
        QTest::mouseRelease(m_form->windowHandle(), Qt::LeftButton, Qt::NoModifier, local);
        QCoreApplication::processEvents();
        QVERIFY(!hintShown());
    }

    // The next move does.
    moveTo(QCursor::pos() + QPoint(1, 1));
    QCOMPARE(app()->hints().pendingHintDelay(), app()->hints().HintPause());
    QTRY_VERIFY(hintShown());
}

void TestHints::hidePauseHides()
{
    app()->hints().setHintHidePause(150);
    showHintOn(m_alpha);
    QVERIFY(!app()->hints().pendingHintShows());
    QCOMPARE(app()->hints().pendingHintDelay(), 150);
    QTRY_VERIFY(!hintShown());

    // Hidden by the delay, it stays hidden while the mouse stays on the control.
    moveTo(centreOf(m_alpha) + QPoint(2, 1));
    QVERIFY(!hintShown());
    QCOMPARE(app()->hints().pendingHintDelay(), -1);

    // Leaving and coming back shows it again.
    moveTo(m_form->mapToGlobal(QPoint(400, 300)));
    moveTo(centreOf(m_alpha));
    QCOMPARE(app()->hints().pendingHintDelay(), app()->hints().HintPause());
    QTRY_VERIFY(hintShown());
}

void TestHints::controlGoneWhileShown_data()
{
    QTest::addColumn<bool>("destroyed"); // else hidden
    QTest::addColumn<QPoint>("formPos"); // where the mouse goes next
    QTest::newRow("destroyed, mouse moves on the background") << true << QPoint(400, 300);
    QTest::newRow("destroyed, mouse moves to another hinted control") << true << QPoint(260, 50);
    QTest::newRow("hidden, mouse moves on the background") << false << QPoint(400, 300);
}

void TestHints::controlGoneWhileShown()
{
    QFETCH(bool, destroyed);
    QFETCH(QPoint, formPos);
    showHintOn(m_alpha);
    if (destroyed) {
        delete m_alpha;
        m_alpha = nullptr;
    } else {
        m_alpha->hide();
    }
    moveTo(m_form->mapToGlobal(formPos));
    QVERIFY(!hintShown());
    if (m_beta->geometry().contains(formPos)) {
        QTRY_VERIFY(hintShown());
        QCOMPARE(shownCaption(), u"Beta"_s);
    } else {
        QVERIFY(!app()->hints().hintActive());
        QCOMPARE(app()->hints().pendingHintDelay(), -1);
    }
}

void TestHints::showHintEvent_data()
{
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<bool>("replace");
    QTest::addColumn<QString>("replacement");
    QTest::addColumn<QString>("expected"); // empty: no hint shows
    QTest::newRow("handler changes nothing") << false << false << QString() << u"Alpha"_s;
    QTest::newRow("handler cancels") << true << false << QString() << QString();
    QTest::newRow("handler changes the text")
        << false << true << u"A much longer replacement text"_s << u"A much longer replacement text"_s;
    QTest::newRow("handler empties the text") << false << true << QString() << QString();
}

void TestHints::showHintEvent()
{
    QFETCH(bool, cancel);
    QFETCH(bool, replace);
    QFETCH(QString, replacement);
    QFETCH(QString, expected);

    QStringList received;
    QList<QWidget *> controls;
    app()->hints().OnShowHint = [&](QString &hint, bool &canShow, tk::THintInfo &info) {
        received << hint;
        controls << info.HintControl;
        if (cancel)
            canShow = false;
        if (replace)
            hint = replacement;
    };
    moveTo(centreOf(m_alpha));
    QTRY_COMPARE(received.size(), 1);
    QCOMPARE(received.first(), u"Alpha"_s);
    QCOMPARE(controls.first(), m_alpha);

    if (expected.isEmpty()) {
        QCoreApplication::processEvents();
        QVERIFY(!hintShown());
        QCOMPARE(app()->hints().pendingHintDelay(), -1);
        QVERIFY(!app()->hints().hintActive());
        return;
    }
    QTRY_VERIFY(hintShown());
    QCOMPARE(shownCaption(), expected);
    const QSize shown = app()->hints().hintWindow()->size();

    // The window is measured on the text it shows: the same as when the control's own hint says it.
    app()->hints().OnShowHint = {};
    moveTo(m_form->mapToGlobal(QPoint(400, 300)));
    QTRY_VERIFY(!hintShown());
    m_alpha->setHint(expected);
    showHintOn(m_alpha);
    QCOMPARE(app()->hints().hintWindow()->size(), shown);
}

void TestHints::inheritance_data()
{
    QTest::addColumn<bool>("formShow");
    QTest::addColumn<bool>("panelFollows");
    QTest::addColumn<bool>("panelShow"); // used when the panel does not follow its parent
    QTest::addColumn<bool>("leafFollows");
    QTest::addColumn<bool>("leafShow");
    QTest::addColumn<QString>("panelHint");
    QTest::addColumn<QString>("leafHint");
    QTest::addColumn<QString>("hintControl"); // "form", "panel", "leaf" or empty
    QTest::addColumn<QString>("shown");       // the hint that shows over the leaf; empty: none

    const QString panel = u"Panel"_s, leaf = u"Leaf"_s;
    QTest::newRow("leaf's own switch on")
        << false << false << false << false << true << panel << leaf << u"leaf"_s << leaf;
    QTest::newRow("leaf's own switch off, panel on")
        << false << false << true << false << false << panel << leaf << u"panel"_s << panel;
    QTest::newRow("leaf follows the panel's on")
        << false << false << true << true << false << panel << leaf << u"leaf"_s << leaf;
    QTest::newRow("leaf follows the panel's off")
        << false << false << false << true << true << panel << leaf << QString() << QString();
    QTest::newRow("both follow the form's on")
        << true << true << false << true << false << panel << leaf << u"leaf"_s << leaf;
    QTest::newRow("both follow the form's off")
        << false << true << true << true << true << panel << leaf << QString() << QString();
    QTest::newRow("panel's own off under a hinted form")
        << true << false << false << true << true << panel << leaf << u"form"_s << u"Form"_s;
    QTest::newRow("empty hint takes the parent's")
        << false << false << true << true << false << panel << QString() << u"leaf"_s << panel;
    QTest::newRow("empty hint takes the grandparent's")
        << false << false << true << true << false << QString() << QString() << u"leaf"_s << u"Form"_s;
}

void TestHints::inheritance()
{
    QFETCH(bool, formShow);
    QFETCH(bool, panelFollows);
    QFETCH(bool, panelShow);
    QFETCH(bool, leafFollows);
    QFETCH(bool, leafShow);
    QFETCH(QString, panelHint);
    QFETCH(QString, leafHint);
    QFETCH(QString, hintControl);
    QFETCH(QString, shown);

    auto *panel = new Box(m_form.get());
    panel->setGeometry(20, 100, 300, 200);
    panel->setHint(panelHint);
    auto *leaf = new tk::GraphicControl(panel);
    leaf->setGeometry(10, 10, 100, 60);
    leaf->setHint(leafHint);
    panel->show();
    leaf->show();

    m_form->setShowHint(formShow);
    if (panelFollows)
        panel->setParentShowHint(true);
    else
        panel->setShowHint(panelShow);
    if (leafFollows)
        leaf->setParentShowHint(true);
    else
        leaf->setShowHint(leafShow);

    QWidget *expectedControl = hintControl == u"form"    ? static_cast<QWidget *>(m_form.get())
                               : hintControl == u"panel" ? static_cast<QWidget *>(panel)
                               : hintControl == u"leaf"  ? static_cast<QWidget *>(leaf)
                                                         : nullptr;
    QCOMPARE(tk::hintControlFor(leaf), expectedControl);
    if (expectedControl)
        QCOMPARE(tk::hintFor(expectedControl), shown);

    app()->hints().setHintPause(50);
    moveTo(centreOf(leaf));
    if (shown.isEmpty()) {
        QTRY_COMPARE(app()->hints().pendingHintDelay(), -1);
        QVERIFY(!hintShown());
    } else {
        QTRY_VERIFY(hintShown());
        QCOMPARE(shownCaption(), shown);
        QCOMPARE(app()->hints().hintControl(), expectedControl);
    }
}

void TestHints::disabledControlShowsHint_data()
{
    QTest::addColumn<bool>("disableParent");
    QTest::newRow("disabled control") << false;
    QTest::newRow("control in a disabled parent") << true;
}

void TestHints::disabledControlShowsHint()
{
    QFETCH(bool, disableParent);
    auto *panel = new Box(m_form.get());
    panel->setGeometry(20, 100, 300, 200);
    auto *leaf = new tk::GraphicControl(panel);
    leaf->setGeometry(10, 10, 100, 60);
    leaf->setHint(u"Not now"_s);
    leaf->setShowHint(true);
    panel->show();
    (disableParent ? static_cast<QWidget *>(panel) : leaf)->setEnabled(false);
    QVERIFY(!leaf->isEnabled());

    moveTo(centreOf(leaf));
    QCOMPARE(app()->hints().pendingHintDelay(), app()->hints().HintPause());
    QTRY_VERIFY(hintShown());
    QCOMPARE(shownCaption(), u"Not now"_s);
}

void TestHints::lineFeedMeasuredAsTwoLines_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("line feed") << u"Закрыть\nсправку"_s;
    QTest::newRow("carriage return and line feed") << u"Закрыть\r\nсправку"_s;
}

void TestHints::lineFeedMeasuredAsTwoLines()
{
    QFETCH(QString, text);
    tk::THintWindow *window = app()->hints().hintWindow();
    const tk::TRect oneLine = window->CalcHintRect(800, u"Закрыть"_s, nullptr);
    // The same two words wrapped into two lines by a narrow width: what two lines measure.
    const tk::TRect wrapped = window->CalcHintRect(oneLine.width(), u"Закрыть справку"_s, nullptr);
    QVERIFY(wrapped.height() > oneLine.height());

    const tk::TRect measured = window->CalcHintRect(800, text, nullptr);
    QCOMPARE(measured.height(), wrapped.height());
    QCOMPARE(measured.width(), wrapped.width());

    // And the window that shows it is as high as two lines need.
    m_alpha->setHint(text);
    showHintOn(m_alpha);
    QCOMPARE(shownCaption(), text);
    const int twoLineHeight = app()->hints().hintWindow()->height();
    moveTo(m_form->mapToGlobal(QPoint(400, 300)));
    QTRY_VERIFY(!hintShown());
    m_alpha->setHint(u"Закрыть"_s);
    showHintOn(m_alpha);
    QVERIFY(app()->hints().hintWindow()->height() < twoLineHeight);
}

void TestHints::qtToolTipNeverShows()
{
    auto *box = new Box(m_form.get());
    box->setGeometry(200, 200, 120, 60);
    box->setToolTip(u"Qt's own tooltip"_s);
    box->setHint(u"Ours"_s);
    box->setShowHint(true);
    box->show();

    // Asked for directly, the tooltip request never reaches the widget.
    QHelpEvent help(QEvent::ToolTip, QPoint(10, 10), box->mapToGlobal(QPoint(10, 10)));
    QCoreApplication::sendEvent(box, &help);
    QCOMPARE(box->toolTipEvents, 0);
    QVERIFY(!QToolTip::isVisible());

    // Resting on the widget: Qt asks on its own delay, our hint shows and Qt's tooltip does not.
    ToolTipSpy spy;
    app()->installEventFilter(&spy);
    moveTo(centreOf(box));
    QTRY_VERIFY(hintShown());
    QCOMPARE(shownCaption(), u"Ours"_s);
    QTRY_VERIFY(spy.requests > 0);
    app()->removeEventFilter(&spy);
    QCOMPARE(box->toolTipEvents, 0);
    QVERIFY(!QToolTip::isVisible());
    QVERIFY(hintShown());
}

int main(int argc, char *argv[])
{
    tk::Application app(argc, argv);
    tk::installFontSubstitutes();
    app.setFont(tk::defaultFont());
    TestHints test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_hints.moc"
