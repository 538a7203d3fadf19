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
    Accelerator, // OnClick, from the caption's accelerator held down with the key repeating
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
    case Site::Accelerator:
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
Q_DECLARE_METATYPE(Site)
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
    void drive(Site site, QWidget *control, const std::function<bool()> &fired);
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
    QTest::addColumn<Site>("site");
    QTest::addColumn<Action>("action");

    using enum Site;
    const std::vector<Site> pictureButton = {BeforeMouseDown, OnMouseDown, OnMouseMove, OnMouseUp,
                                             BeforeClick,     OnClick,     OnDblClick,  OnMouseEnter,
                                             OnMouseLeave,    SoundDown,   SoundOver,   Accelerator};
    std::vector<Site> repeatButton = pictureButton;
    repeatButton.push_back(OnTimer);
    const std::vector<Site> labelSites = {OnMouseDown, OnMouseMove, OnMouseUp, OnClick, OnDblClick};
    std::vector<Site> linkLabel = labelSites;
    linkLabel.insert(linkLabel.end(), {OnMouseEnter, OnMouseLeave, SoundDown, SoundOver});
    const std::vector<Site> flatButton = {OnMouseDown, OnMouseMove,  OnMouseUp,    OnClick,
                                          OnDblClick,  OnMouseEnter, OnMouseLeave, Accelerator};

    const struct {
        Kind kind;
        const char *name;
        std::vector<Site> sites;
    } kinds[] = {
        {Kind::PictureButton, "picture button", pictureButton},
        {Kind::RepeatButton, "repeating button", repeatButton},
        {Kind::LinkLabel, "link label", linkLabel},
        {Kind::Label, "label", labelSites},
        {Kind::MultilineLabel, "multi-line label", {OnResize}},
        {Kind::FlatButton, "flat button", flatButton},
        {Kind::FlatPanel, "flat panel", {OnClick, OnDblClick, OnResize}},
    };
    const std::pair<Site, const char *> siteNames[] = {
        {BeforeMouseDown, "BeforeMouseDown"},
        {OnMouseDown, "OnMouseDown"},
        {OnMouseMove, "OnMouseMove"},
        {OnMouseUp, "OnMouseUp"},
        {BeforeClick, "BeforeClick"},
        {OnClick, "OnClick"},
        {OnDblClick, "OnDblClick"},
        {OnMouseEnter, "OnMouseEnter"},
        {OnMouseLeave, "OnMouseLeave"},
        {SoundDown, "press sound"},
        {SoundOver, "hover sound"},
        {OnTimer, "OnTimer"},
        {OnResize, "OnResize"},
        {Accelerator, "OnClick by a held accelerator"},
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
        for (Site site : k.sites)
            for (const auto &[action, actionName] : actions) {
                const char *siteName = "";
                for (const auto &[s, n] : siteNames)
                    if (s == site)
                        siteName = n;
                QTest::addRow("%s, %s %s", k.name, siteName, actionName) << k.kind << site << action;
            }
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

// The events that reach the site, as a user makes them: fired says whether the handler has run.
void TestHandlers::drive(Site site, QWidget *control, const std::function<bool()> &fired)
{
    const QPoint at = centreOf(control);
    auto press = [this, at] { QTest::mousePress(window(), Qt::LeftButton, Qt::NoModifier, at); };
    auto release = [this, at] { QTest::mouseRelease(window(), Qt::LeftButton, Qt::NoModifier, at); };
    switch (site) {
    case Site::OnMouseMove:
    case Site::OnMouseEnter:
    case Site::SoundOver:
        moveTo(at);
        break;
    case Site::OnMouseLeave:
        moveTo(at);
        moveTo(kAway);
        break;
    case Site::BeforeMouseDown:
    case Site::OnMouseDown:
    case Site::SoundDown:
    case Site::OnMouseUp:
    case Site::BeforeClick:
    case Site::OnClick:
        moveTo(at);
        press();
        release();
        break;
    case Site::OnDblClick:
        moveTo(at);
        QTest::mouseDClick(window(), Qt::LeftButton, Qt::NoModifier, at);
        break;
    case Site::OnTimer:
        moveTo(at);
        press();
        QTRY_VERIFY(fired());
        release();
        break;
    case Site::OnResize: {
        // From inside the event loop, as the program's own resizing comes.
        QPointer<QWidget> target = control;
        QTimer::singleShot(0, m_host.get(), [target] {
            if (auto *multiline = qobject_cast<TabcMultilineLabel *>(target))
                multiline->setCaption(u"Руны старшего ряда"_s);
            else if (target)
                target->resize(target->width() + 10, target->height());
        });
        QTRY_VERIFY(fired());
        break;
    }
    case Site::Accelerator:
        moveTo(kAway);
        qt_handleKeyEvent(window(), QEvent::KeyPress, Qt::Key_G, Qt::AltModifier, u"g"_s);
        for (int repeat = 0; repeat < 3; ++repeat)
            qt_handleKeyEvent(window(), QEvent::KeyPress, Qt::Key_G, Qt::AltModifier, u"g"_s, true);
        qt_handleKeyEvent(window(), QEvent::KeyRelease, Qt::Key_G, Qt::AltModifier, u"g"_s);
        QCoreApplication::processEvents();
        break;
    }
}

// Whatever a handler does where it runs, no control is left pressed, holding the mouse, hot or
// repeating, nothing touches a control that is gone, and the next click is one click.
void TestHandlers::handlerActs()
{
    QFETCH(Kind, kind);
    QFETCH(Site, site);
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
    if (site == Site::OnDblClick) {
        latch(m_sibling);
        latch(m_control); // latched last, it is the one down
    }
    m_control->show();
    m_sibling->show();

    int calls = 0;
    subject.handle(site, [this, &calls, action] {
        if (++calls == 1)
            perform(action);
    });
    drive(site, m_control, [&calls] { return calls > 0; });
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    QCOMPARE(calls > 0, true);
    if (site == Site::Accelerator && action == Action::Nothing)
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
    const QPoint at = centreOf(m_control);
    moveTo(at);
    QTest::mouseClick(window(), Qt::LeftButton, Qt::NoModifier, at);
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
