#include "controls/abc/abclabel.h"
#include "controls/abc/abcmultilinelabel.h"
#include "controls/abc/abcspeedbtn.h"
#include "controls/flat/TFlatButtonUnit.h"
#include "controls/flat/TFlatPanelUnit.h"
#include "toolkit/application/application.h"
#include "toolkit/base/errors.h"
#include "toolkit/desktop/browserlaunch.h"
#include "toolkit/widgets/label.h"
#include "toolkit/widgets/pointer.h"

#include "tests/support/activation.h"
#include "tests/support/errorboxes.h"
#include "tests/support/wavelists.h"

#include <QDialog>
#include <QPointer>
#include <QStyleFactory>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// Every call site of user code in every control family, against everything a handler may do there. Each
// case is driven by real events through the window, so that Qt itself finds the control under the
// pointer and goes on with the event after the handler returns. The test runs with freed memory filled
// (see CMakeLists.txt): a read of a freed control, Qt's own included, then fails.

enum class Kind { PictureButton, RepeatButton, LinkLabel, Label, MultilineLabel, FlatButton, FlatPanel };

// Where user code is called: a handler, or the sound list.
enum class Site {
    BeforeMouseDown,
    OnMouseDown,
    OnMouseMove,
    OnMouseUp,
    BeforeClick,
    OnClick,
    OnDblClick,
    OnMouseEnter,
    OnMouseLeave,
    SoundDown,
    SoundOver,
    OnTimer,
    OnResize,
};

// How a user reaches it.
enum class Route {
    Hover,          // the pointer comes over the control
    HoverOut,       // and leaves it again
    Click,          // a left click
    DoubleClick,    // a left double click
    Hold,           // a left press held until the handler ran, then released
    DragOut,        // a left press, dragged out and released outside
    DragOutAndBack, // a left press, dragged out and back, released inside
    EnableOver,     // the control, disabled, is enabled again with the pointer over it
    EnableAway,     // with the pointer elsewhere
    Accelerator,    // the caption's accelerator, held down with the key repeating
    SpaceKey,       // the space key on the focused control, held down with the key repeating
    ReaderPress,    // a screen reader's press
    Resize,         // the control is resized from inside the event loop
};

struct Case {
    Site site;
    Route route;
    int call; // the call of the handler that acts (a route may call it more than once)
    const char *name;
};

enum class Action {
    Nothing,
    Delete,
    DeleteLater,
    DeleteContainer,
    DeleteSibling,
    Reparent,
    Hide,
    Disable,
    ModalDialog,
    Throw,
};

const QRect kControlPlace(20, 20, 80, 30);
const QRect kSiblingPlace(120, 20, 80, 30);
const QPoint kAway(380, 180); // in the host, outside the container

// Reaches what every control keeps of a press.
template <class Base> class Probe : public Base {
public:
    using Base::Base;
    bool held() const { return this->pressHeld(); }
};

// A control under test: what it shows of a press and of the pointer, and how its handlers are set.
struct Subject {
    QWidget *widget = nullptr;
    std::function<bool()> held;
    std::function<bool()> pressedLook;
    std::function<bool()> hot;
    std::function<bool()> repeating;
    std::function<void(Site, const std::function<void()> &)> handle;
};

template <class C> void handleMouse(C *c, Site site, const std::function<void()> &act)
{
    auto mouse = [act](QObject *, tk::TMouseButton, tk::TShiftState, int, int) { act(); };
    auto notify = [act](QObject *) { act(); };
    switch (site) {
    case Site::OnMouseDown:
        c->OnMouseDown = mouse;
        break;
    case Site::OnMouseUp:
        c->OnMouseUp = mouse;
        break;
    case Site::OnMouseMove:
        c->OnMouseMove = [act](QObject *, tk::TShiftState, int, int) { act(); };
        break;
    case Site::OnClick:
        c->OnClick = notify;
        break;
    case Site::OnDblClick:
        c->OnDblClick = notify;
        break;
    default:
        break;
    }
}

template <class C> void handleHover(C *c, Site site, const std::function<void()> &act)
{
    if (site == Site::OnMouseEnter)
        c->OnMouseEnter = [act](QObject *) { act(); };
    if (site == Site::OnMouseLeave)
        c->OnMouseLeave = [act](QObject *) { act(); };
}

template <class B> Subject speedButton(Probe<B> *b, ActingWaveList *sounds)
{
    std::function<bool()> repeating = [] { return false; };
    if constexpr (std::is_same_v<B, TabcRepSpeedBtn>)
        repeating = [b] { return b->RepeatTimer() && b->RepeatTimer()->isActive(); };
    return {b,
            [b] { return b->held(); },
            [b] { return b->Pressing() || b->State() == abtDown; },
            [b] { return b->MouseInside() || b->State() == abtHot; },
            repeating,
            [b, sounds](Site site, const std::function<void()> &act) {
                handleMouse(b, site, act);
                handleHover(b, site, act);
                switch (site) {
                case Site::BeforeMouseDown:
                    b->BeforeMouseDown = [act](QObject *, tk::TMouseButton, tk::TShiftState, int, int,
                                               bool &) { act(); };
                    break;
                case Site::BeforeClick:
                    b->BeforeClick = [act](QObject *, bool &) { act(); };
                    break;
                case Site::OnTimer:
                    if constexpr (std::is_same_v<B, TabcRepSpeedBtn>) {
                        b->RepeatInitialpause = 5;
                        b->Repeatpause = 5;
                        b->OnTimer = [act](QObject *) { act(); };
                    }
                    break;
                case Site::SoundDown:
                case Site::SoundOver:
                    b->setSoundList(sounds);
                    b->SoundDown = site == Site::SoundDown ? 0 : -1;
                    b->SoundOver = site == Site::SoundOver ? 0 : -1;
                    sounds->action = act;
                    break;
                default:
                    break;
                }
            }};
}

Subject flatButton(Probe<TFlatButton> *b)
{
    return {b, [b] { return b->held(); }, [b] { return b->Tracking() || b->State() == fbsPressed; },
            // The focus lights a flat button too: that is no hover left behind.
            [b] { return b->Hot() && !b->hasFocus(); }, [] { return false; },
            [b](Site site, const std::function<void()> &act) {
                handleMouse(b, site, act);
                handleHover(b, site, act);
            }};
}

Subject linkLabel(Probe<TabcURLLabel> *l, ActingWaveList *sounds)
{
    l->setAutoSize(false);
    l->setCaption(u"ormex"_s);
    l->setURL(u"http://ormex.example/"_s);
    return {l,
            [l] { return l->held(); },
            [l] { return l->pressed(); },
            [l] { return l->mouseInside(); },
            [] { return false; },
            [l, sounds](Site site, const std::function<void()> &act) {
                handleMouse(l, site, act);
                handleHover(l, site, act);
                if (site == Site::SoundDown || site == Site::SoundOver) {
                    l->setSoundList(sounds);
                    l->setMouseDownEffects(site == Site::SoundDown ? TabcLabelMouseEffects{almSound}
                                                                   : TabcLabelMouseEffects{});
                    l->setMouseOverEffects(site == Site::SoundOver ? TabcLabelMouseEffects{almSound}
                                                                   : TabcLabelMouseEffects{});
                    sounds->action = act;
                }
            }};
}

template <class L> Subject label(Probe<L> *l)
{
    l->setAutoSize(false);
    l->setCaption(u"Руна"_s);
    return {l,
            [l] { return l->held(); },
            [l] { return l->held(); },
            [] { return false; },
            [] { return false; },
            [l](Site site, const std::function<void()> &act) {
                handleMouse(l, site, act);
                if constexpr (std::is_same_v<L, TabcMultilineLabel>) {
                    if (site == Site::OnResize) {
                        l->setAutoSize(true);
                        l->OnResize = [act](QObject *) { act(); };
                    }
                }
            }};
}

Subject flatPanel(Probe<TFlatPanel> *p)
{
    return {p,
            [p] { return p->held(); },
            [p] { return p->held(); },
            [] { return false; },
            [] { return false; },
            [p](Site site, const std::function<void()> &act) {
                auto notify = [act](QObject *) { act(); };
                if (site == Site::OnClick)
                    p->OnClick = notify;
                if (site == Site::OnDblClick)
                    p->OnDblClick = notify;
                if (site == Site::OnResize)
                    p->OnResize = notify;
            }};
}

Subject makeSubject(Kind kind, QWidget *parent, ActingWaveList *sounds)
{
    switch (kind) {
    case Kind::PictureButton:
        return speedButton(new Probe<TabcPicSpeedBtn>(parent), sounds);
    case Kind::RepeatButton:
        return speedButton(new Probe<TabcRepSpeedBtn>(parent), sounds);
    case Kind::LinkLabel:
        return linkLabel(new Probe<TabcURLLabel>(parent), sounds);
    case Kind::Label:
        return label(new Probe<tk::TLabel>(parent));
    case Kind::MultilineLabel:
        return label(new Probe<TabcMultilineLabel>(parent));
    case Kind::FlatButton:
        return flatButton(new Probe<TFlatButton>(parent));
    case Kind::FlatPanel:
        return flatPanel(new Probe<TFlatPanel>(parent));
    }
    return {};
}

void setOnClick(QWidget *w, const tk::TNotifyEvent &onClick)
{
    if (auto *b = qobject_cast<TabcCustomPicSpeedBtn *>(w))
        b->OnClick = onClick;
    else if (auto *f = qobject_cast<TFlatButton *>(w))
        f->OnClick = onClick;
    else if (auto *p = qobject_cast<TFlatPanel *>(w))
        p->OnClick = onClick;
    else if (auto *g = qobject_cast<tk::GraphicControl *>(w))
        g->OnClick = onClick;
}

// Gives the buttons their accelerator, Alt+G.
void giveAccelerator(QWidget *w)
{
    if (auto *b = qobject_cast<TabcCustomPicSpeedBtn *>(w))
        b->setCaption(u"&Go"_s);
    else if (auto *f = qobject_cast<TFlatButton *>(w))
        f->setCaption(u"&Go"_s);
}

// A button latched in a group, so that a double click reaches OnDblClick.
void latch(QWidget *w)
{
    if (auto *b = qobject_cast<TabcCustomPicSpeedBtn *>(w)) {
        b->setGroupIndex(1);
        b->setDown(true);
    } else if (auto *f = qobject_cast<TFlatButton *>(w)) {
        f->setGroupIndex(1);
        f->setDown(true);
    }
}

} // namespace

Q_DECLARE_METATYPE(Kind)
Q_DECLARE_METATYPE(Case)
Q_DECLARE_METATYPE(Action)

class TestHandlers : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void handlerActs_data();
    void handlerActs();

private:
    void drive(Route route, QWidget *control, const std::function<bool()> &fired);
    void perform(Action action);
    QWindow *window() const { return m_host->windowHandle(); }
    QPoint centreOf(const QWidget *w) const { return w->mapTo(m_host.get(), w->rect().center()); }
    void moveTo(QPoint at)
    {
        QCursor::setPos(m_host->mapToGlobal(at));
        QTest::mouseMove(window(), at);
    }

    std::unique_ptr<QWidget> m_host;
    std::unique_ptr<QWidget> m_elsewhere; // another window, to move a control to
    QPointer<QWidget> m_container;
    QPointer<QWidget> m_control;
    QPointer<QWidget> m_sibling;
};

void TestHandlers::initTestCase()
{
    // The link label's click starts no browser here.
    tk::browserlaunch::processStarter() = [](const QString &, const QStringList &) { return true; };
}

void TestHandlers::init()
{
    m_elsewhere = std::make_unique<QWidget>();
    m_elsewhere->setGeometry(600, 100, 200, 100);
    m_elsewhere->show();
    m_host = std::make_unique<QWidget>();
    m_host->setGeometry(100, 100, 400, 200);
    m_container = new QWidget(m_host.get());
    m_container->setGeometry(10, 10, 300, 150);
    m_host->show();
    QVERIFY(QTest::qWaitForWindowActive(m_host.get()));
    moveTo(kAway);
}

void TestHandlers::cleanup()
{
    m_host.reset();
    m_elsewhere.reset();
    QCursor::setPos(0, 0);
}

void TestHandlers::handlerActs_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<Case>("at");
    QTest::addColumn<Action>("action");

    using enum Site;
    using enum Route;
    const std::vector<Case> pictureButton = {
        {BeforeMouseDown, Click, 1, "BeforeMouseDown"},
        {OnMouseDown, Click, 1, "OnMouseDown"},
        {OnMouseMove, Hover, 1, "OnMouseMove"},
        {OnMouseMove, DragOut, 2, "OnMouseMove while held"},
        {OnMouseUp, Click, 1, "OnMouseUp"},
        {BeforeClick, Click, 1, "BeforeClick"},
        {OnClick, Click, 1, "OnClick"},
        {OnClick, Accelerator, 1, "OnClick by a held accelerator"},
        {OnClick, ReaderPress, 1, "OnClick by a screen reader"},
        {OnDblClick, DoubleClick, 1, "OnDblClick"},
        {OnMouseEnter, Hover, 1, "OnMouseEnter"},
        {OnMouseEnter, EnableOver, 1, "OnMouseEnter when enabled under the pointer"},
        {OnMouseLeave, HoverOut, 1, "OnMouseLeave"},
        {OnMouseLeave, DragOut, 1, "OnMouseLeave on a release outside"},
        {OnMouseLeave, EnableAway, 1, "OnMouseLeave when enabled away from the pointer"},
        {SoundDown, Click, 1, "press sound"},
        {SoundOver, Hover, 1, "hover sound"},
    };
    std::vector<Case> repeatButton = pictureButton;
    repeatButton.push_back({OnTimer, Hold, 1, "OnTimer"});
    const std::vector<Case> label = {
        {OnMouseDown, Click, 1, "OnMouseDown"},
        {OnMouseDown, DoubleClick, 2, "OnMouseDown on a double click's second press"},
        {OnMouseMove, Hover, 1, "OnMouseMove"},
        {OnMouseUp, Click, 1, "OnMouseUp"},
        {OnClick, Click, 1, "OnClick"},
        {OnClick, ReaderPress, 1, "OnClick by a screen reader"},
        {OnDblClick, DoubleClick, 1, "OnDblClick"},
    };
    std::vector<Case> linkLabel = label;
    linkLabel.insert(linkLabel.end(),
                     {
                         {OnMouseMove, DragOut, 2, "OnMouseMove while held"},
                         {OnMouseEnter, Hover, 1, "OnMouseEnter"},
                         {OnMouseEnter, DragOutAndBack, 2, "OnMouseEnter when dragged back in"},
                         {OnMouseEnter, EnableOver, 2, "OnMouseEnter when enabled under the pointer"},
                         {OnMouseLeave, HoverOut, 1, "OnMouseLeave"},
                         {OnMouseLeave, DragOut, 1, "OnMouseLeave when dragged out"},
                         {OnMouseLeave, EnableAway, 2, "OnMouseLeave when enabled away from the pointer"},
                         {SoundDown, Click, 1, "press sound"},
                         {SoundOver, Hover, 1, "hover sound"},
                     });
    const std::vector<Case> flatButton = {
        {OnMouseDown, Click, 1, "OnMouseDown"},
        {OnMouseDown, DoubleClick, 2, "OnMouseDown on a double click's second press"},
        {OnMouseMove, Hover, 1, "OnMouseMove"},
        {OnMouseMove, DragOut, 2, "OnMouseMove while held"},
        {OnMouseUp, Click, 1, "OnMouseUp"},
        {OnClick, Click, 1, "OnClick"},
        {OnClick, SpaceKey, 1, "OnClick by a held space key"},
        {OnClick, Accelerator, 1, "OnClick by a held accelerator"},
        {OnClick, ReaderPress, 1, "OnClick by a screen reader"},
        {OnDblClick, DoubleClick, 1, "OnDblClick"},
        {OnMouseEnter, Hover, 1, "OnMouseEnter"},
        {OnMouseEnter, DragOutAndBack, 2, "OnMouseEnter when dragged back in"},
        {OnMouseLeave, HoverOut, 1, "OnMouseLeave"},
        {OnMouseLeave, DragOut, 1, "OnMouseLeave when dragged out"},
    };

    const struct {
        Kind kind;
        const char *name;
        std::vector<Case> cases;
    } kinds[] = {
        {Kind::PictureButton, "picture button", pictureButton},
        {Kind::RepeatButton, "repeating button", repeatButton},
        {Kind::LinkLabel, "link label", linkLabel},
        {Kind::Label, "label", label},
        {Kind::MultilineLabel, "multi-line label", {{OnResize, Resize, 1, "OnResize"}}},
        {Kind::FlatButton, "flat button", flatButton},
        {Kind::FlatPanel,
         "flat panel",
         {{OnClick, Click, 1, "OnClick"},
          {OnDblClick, DoubleClick, 1, "OnDblClick"},
          {OnResize, Resize, 1, "OnResize"}}},
    };
    const std::pair<Action, const char *> actions[] = {
        {Action::Nothing, "does nothing"},
        {Action::Delete, "deletes the control"},
        {Action::DeleteLater, "deletes the control later"},
        {Action::DeleteContainer, "deletes the container"},
        {Action::DeleteSibling, "deletes a sibling"},
        {Action::Reparent, "moves the control to another window"},
        {Action::Hide, "hides the control"},
        {Action::Disable, "disables the control"},
        {Action::ModalDialog, "runs a modal dialog"},
        {Action::Throw, "fails"},
    };
    for (const auto &k : kinds)
        for (const Case &c : k.cases)
            for (const auto &[action, actionName] : actions)
                QTest::addRow("%s, %s %s", k.name, c.name, actionName) << k.kind << c << action;
}

void TestHandlers::perform(Action action)
{
    switch (action) {
    case Action::Nothing:
        break;
    case Action::Delete:
        delete m_control;
        break;
    case Action::DeleteLater:
        m_control->deleteLater();
        break;
    case Action::DeleteContainer:
        delete m_container;
        break;
    case Action::DeleteSibling:
        delete m_sibling;
        break;
    case Action::Reparent:
        m_control->setParent(m_elsewhere.get());
        m_control->show();
        break;
    case Action::Hide:
        m_control->hide();
        break;
    case Action::Disable:
        m_control->setEnabled(false);
        break;
    case Action::ModalDialog: {
        QDialog dialog(m_host.get());
        QTimer::singleShot(0, &dialog, &QDialog::reject);
        dialog.exec();
        break;
    }
    case Action::Throw:
        throw tk::Error(u"Обработчик не справился"_s);
    }
}

// The events of a route, as a user makes them: fired says whether the handler has acted.
void TestHandlers::drive(Route route, QWidget *control, const std::function<bool()> &fired)
{
    const QPoint at = centreOf(control);
    auto press = [this, at] { QTest::mousePress(window(), Qt::LeftButton, Qt::NoModifier, at); };
    auto release = [this](QPoint where) {
        QTest::mouseRelease(window(), Qt::LeftButton, Qt::NoModifier, where);
    };
    // From inside the event loop, as the program's own changes come.
    auto soon = [this, &fired](std::function<void()> change) {
        QTimer::singleShot(0, m_host.get(), std::move(change));
        QTRY_VERIFY(fired());
    };
    // Alt+G or the space key, pressed, repeated while held, released.
    auto holdKey = [this](Qt::Key key, Qt::KeyboardModifiers modifiers, const QString &text) {
        qt_handleKeyEvent(window(), QEvent::KeyPress, key, modifiers, text);
        for (int repeat = 0; repeat < 3; ++repeat)
            qt_handleKeyEvent(window(), QEvent::KeyPress, key, modifiers, text, true);
        qt_handleKeyEvent(window(), QEvent::KeyRelease, key, modifiers, text);
        QCoreApplication::processEvents();
    };
    QPointer<QWidget> target = control;
    switch (route) {
    case Route::Hover:
        moveTo(at);
        break;
    case Route::HoverOut:
        moveTo(at);
        moveTo(kAway);
        break;
    case Route::Click:
        moveTo(at);
        press();
        release(at);
        break;
    case Route::DoubleClick:
        moveTo(at);
        QTest::mouseDClick(window(), Qt::LeftButton, Qt::NoModifier, at);
        break;
    case Route::Hold:
        moveTo(at);
        press();
        QTRY_VERIFY(fired());
        release(at);
        break;
    case Route::DragOut:
        moveTo(at);
        press();
        moveTo(kAway);
        release(kAway);
        break;
    case Route::DragOutAndBack:
        moveTo(at);
        press();
        moveTo(kAway);
        moveTo(at);
        release(at);
        break;
    case Route::EnableOver:
    case Route::EnableAway:
        moveTo(route == Route::EnableOver ? kAway : at);
        control->setEnabled(false);
        moveTo(route == Route::EnableOver ? at : kAway);
        soon([target] {
            if (target)
                target->setEnabled(true);
        });
        break;
    case Route::Accelerator:
        moveTo(kAway);
        holdKey(Qt::Key_G, Qt::AltModifier, u"g"_s);
        break;
    case Route::SpaceKey:
        moveTo(kAway);
        control->setFocus();
        holdKey(Qt::Key_Space, Qt::NoModifier, u" "_s);
        break;
    case Route::ReaderPress:
        QVERIFY(tk::asControl(control)->press());
        break;
    case Route::Resize:
        soon([target] {
            if (auto *multiline = qobject_cast<TabcMultilineLabel *>(target))
                multiline->setCaption(u"Руны старшего ряда"_s);
            else if (target)
                target->resize(target->width() + 10, target->height());
        });
        break;
    }
}

// Whatever a handler does where it runs, no control is left pressed, holding the mouse, hot or
// repeating, nothing touches a control that is gone, and the next click is one click.
void TestHandlers::handlerActs()
{
    QFETCH(Kind, kind);
    QFETCH(Case, at);
    QFETCH(Action, action);

    ActingWaveList sounds;
    ErrorBoxes boxes;
    Subject subject = makeSubject(kind, m_container, &sounds);
    Subject sibling = makeSubject(kind, m_container, &sounds);
    m_control = subject.widget;
    m_sibling = sibling.widget;
    m_control->setGeometry(kControlPlace);
    m_sibling->setGeometry(kSiblingPlace);
    giveAccelerator(m_control);
    if (at.site == Site::OnDblClick) {
        latch(m_sibling);
        latch(m_control); // latched last, it is the one down
    }
    m_control->show();
    m_sibling->show();

    int calls = 0;
    subject.handle(at.site, [this, &calls, &at, action] {
        if (++calls == at.call)
            perform(action);
    });
    drive(at.route, m_control, [&calls, &at] { return calls >= at.call; });
    if (QTest::currentTestFailed())
        return;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    QVERIFY(calls >= at.call);
    if ((at.route == Route::Accelerator || at.route == Route::SpaceKey) && action == Action::Nothing)
        QCOMPARE(calls, 1); // one click however long the key was held
    QCOMPARE(boxes.texts.size(), action == Action::Throw ? 1 : 0);
    QCOMPARE(tk::captureControl(), nullptr);

    if (!m_control) {
        QVERIFY(action == Action::Delete || action == Action::DeleteLater ||
                action == Action::DeleteContainer);
        // The window goes on working with the mouse.
        moveTo(QPoint(60, 45));
        QTest::mouseClick(window(), Qt::LeftButton, Qt::NoModifier, QPoint(60, 45));
        moveTo(kAway);
        return;
    }
    if (m_control->window() != m_host.get())
        m_control->setParent(m_container);
    m_control->setEnabled(true);
    m_control->show();
    activateWidgetWindow(m_host.get());
    moveTo(kAway);
    QCoreApplication::processEvents();
    QVERIFY(!subject.held());
    QVERIFY(!subject.pressedLook());
    QVERIFY(!subject.repeating());
    QTRY_VERIFY(!subject.hot());

    int clicks = 0;
    setOnClick(m_control, [&clicks](QObject *) { ++clicks; });
    const QPoint centre = centreOf(m_control);
    moveTo(centre);
    QTest::mouseClick(window(), Qt::LeftButton, Qt::NoModifier, centre);
    QCOMPARE(clicks, 1);
    QVERIFY(!subject.held());
    QCOMPARE(tk::captureControl(), nullptr);
    moveTo(kAway);
}

int main(int argc, char *argv[])
{
    tk::Application app(argc, argv);
    app.setStyle(QStyleFactory::create(u"Fusion"_s));
    app.Title = u"ORMEX"_s;
    TestHandlers test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_handlers.moc"
