#include "controls/abc/abclabel.h"
#include "controls/abc/abcspeedbtn.h"
#include "controls/flat/TFlatButtonUnit.h"
#include "controls/flat/TFlatPanelUnit.h"
#include "toolkit/application/application.h"
#include "toolkit/base/errors.h"
#include "toolkit/desktop/browserlaunch.h"
#include "toolkit/widgets/image.h"
#include "toolkit/widgets/label.h"

#include "tests/support/activation.h"
#include "tests/support/errorboxes.h"

#include <QCursor>
#include <QDialog>
#include <QMenu>
#include <QStyleFactory>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

enum class Kind { PictureButton, RepeatButton, LinkLabel, Image, Label, FlatButton, FlatPanel };
// How the press is lost while the left button is held on the control.
enum class Loss {
    Hidden,
    Disabled,
    ParentHidden,
    ParentDisabled,
    ErrorBox,
    ModalDialog,
    PopupMenu,
    OwnTimerFails
};

const QRect kControlPlace(20, 20, 80, 30);
const QPoint kAway(380, 180); // in the host, away from the control

// Exposes what every control keeps of a press, and what the windowless ones keep of a click to come.
template <class Base> class Probe : public Base {
public:
    using Base::Base;
    bool held() const { return this->pressHeld(); }
    bool clickPending() const { return this->m_button.clickPending(); }
};

// A control under test, with the look it shows as one word: "up" and "disabled" are the looks without
// a press; anything else names what is left of one.
struct Subject {
    QWidget *widget = nullptr;
    std::function<bool()> held;
    std::function<QString()> look;
    TabcRepSpeedBtn *repeating = nullptr;
};

QString restingLook(const QWidget *w)
{
    return w->isEnabled() ? u"up"_s : u"disabled"_s;
}

QString speedButtonLook(const TabcCustomPicSpeedBtn *b)
{
    if (b->Pressing())
        return u"pressing"_s;
    switch (b->State()) {
    case abtUp:
    case abtHot:
        return u"up"_s;
    case abtDisabled:
        return u"disabled"_s;
    default:
        return u"state %1"_s.arg(int(b->State()));
    }
}

QString flatButtonLook(const TFlatButton *b)
{
    if (b->Tracking())
        return u"tracking"_s;
    switch (b->State()) {
    case fbsUp:
        return u"up"_s;
    case fbsDisabled:
        return u"disabled"_s;
    case fbsPressed:
        return u"pressed"_s;
    case fbsLatched:
        return u"latched"_s;
    }
    return {};
}

template <class T>
Subject subjectOf(Probe<T> *control, const tk::TNotifyEvent &onClick, std::function<QString()> look)
{
    control->OnClick = onClick;
    return {control, [control] { return control->held(); }, std::move(look),
            dynamic_cast<TabcRepSpeedBtn *>(static_cast<QWidget *>(control))};
}

template <class T> Subject windowlessSubject(Probe<T> *control, const tk::TNotifyEvent &onClick)
{
    return subjectOf(control, onClick, [control] {
        return control->clickPending() ? u"click pending"_s : restingLook(control);
    });
}

Subject makeSubject(Kind kind, QWidget *parent, const tk::TNotifyEvent &onClick)
{
    switch (kind) {
    case Kind::PictureButton: {
        auto *button = new Probe<TabcPicSpeedBtn>(parent);
        return subjectOf(button, onClick, [button] { return speedButtonLook(button); });
    }
    case Kind::RepeatButton: {
        auto *button = new Probe<TabcRepSpeedBtn>(parent);
        return subjectOf(button, onClick, [button] { return speedButtonLook(button); });
    }
    case Kind::LinkLabel: {
        auto *label = new Probe<TabcURLLabel>(parent);
        label->setAutoSize(false);
        label->setCaption(u"ormex"_s);
        label->setURL(u"http://ormex.example/"_s);
        return subjectOf(label, onClick,
                         [label] { return label->pressed() ? u"pressed"_s : restingLook(label); });
    }
    case Kind::Image:
        return windowlessSubject(new Probe<tk::TImage>(parent), onClick);
    case Kind::Label: {
        auto *label = new Probe<tk::TLabel>(parent);
        label->setAutoSize(false);
        label->setCaption(u"Руна"_s);
        return windowlessSubject(label, onClick);
    }
    case Kind::FlatButton: {
        auto *button = new Probe<TFlatButton>(parent);
        button->setCaption(u"Закрыть"_s);
        return subjectOf(button, onClick, [button] { return flatButtonLook(button); });
    }
    case Kind::FlatPanel: {
        auto *panel = new Probe<TFlatPanel>(parent);
        return subjectOf(panel, onClick, [panel] { return restingLook(panel); });
    }
    }
    return {};
}

} // namespace

Q_DECLARE_METATYPE(Kind)
Q_DECLARE_METATYPE(Loss)

class TestPressLost : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void pressLost_data();
    void pressLost();

private:
    static void verifyPressEnded(const Subject &subject, int clicks);
    QWindow *window() const { return m_host->windowHandle(); }
    QPoint centreOf(const QWidget *w) const { return w->mapTo(m_host.get(), w->rect().center()); }

    std::unique_ptr<QWidget> m_host;
    QWidget *m_container = nullptr;
};

void TestPressLost::initTestCase()
{
    // The link label's click starts no browser here.
    tk::browserlaunch::processStarter() = [](const QString &, const QStringList &) { return true; };
}

void TestPressLost::init()
{
    m_host = std::make_unique<QWidget>();
    m_host->setGeometry(100, 100, 400, 200);
    m_container = new QWidget(m_host.get());
    m_container->setGeometry(10, 10, 300, 150);
    m_host->show();
    QVERIFY(QTest::qWaitForWindowActive(m_host.get()));
    QCursor::setPos(m_host->mapToGlobal(kAway));
}

void TestPressLost::cleanup()
{
    m_host.reset();
    QCursor::setPos(0, 0);
}

void TestPressLost::pressLost_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<Loss>("loss");

    const std::pair<Kind, const char *> kinds[] = {
        {Kind::PictureButton, "picture speed button"},
        {Kind::RepeatButton, "repeating speed button"},
        {Kind::LinkLabel, "link label"},
        {Kind::Image, "picture"},
        {Kind::Label, "label"},
        {Kind::FlatButton, "flat button"},
        {Kind::FlatPanel, "flat panel"},
    };
    const std::pair<Loss, const char *> losses[] = {
        {Loss::Hidden, "hidden"},
        {Loss::Disabled, "disabled"},
        {Loss::ParentHidden, "parent hidden"},
        {Loss::ParentDisabled, "parent disabled"},
        {Loss::ErrorBox, "error box"},
        {Loss::ModalDialog, "modal dialog"},
        {Loss::PopupMenu, "popup menu"},
    };
    for (const auto &[kind, kindName] : kinds)
        for (const auto &[loss, lossName] : losses)
            QTest::addRow("%s, %s while held", kindName, lossName) << kind << loss;
    QTest::newRow("repeating speed button, its OnTimer fails while held")
        << Kind::RepeatButton << Loss::OwnTimerFails;
}

void TestPressLost::verifyPressEnded(const Subject &subject, int clicks)
{
    QVERIFY(!subject.held());
    QCOMPARE(tk::captureControl(), nullptr);
    QCOMPARE(subject.look(), restingLook(subject.widget));
    if (subject.repeating)
        QVERIFY(!subject.repeating->RepeatTimer()->isActive());
    QCOMPARE(clicks, 0);
}

// However a press ends without its release, the control lets go of the mouse, looks as without a
// press, stops what the press started, does not click, and takes the next press as a fresh one.
void TestPressLost::pressLost()
{
    QFETCH(Kind, kind);
    QFETCH(Loss, loss);

    int clicks = 0;
    Subject subject = makeSubject(kind, m_container, [&clicks](QObject *) { ++clicks; });
    QWidget *control = subject.widget;
    control->setGeometry(kControlPlace);
    control->show();
    int timers = 0;
    if (TabcRepSpeedBtn *b = subject.repeating) {
        b->RepeatInitialpause = 5;
        b->Repeatpause = 5;
        b->OnTimer = [&timers, loss](QObject *) {
            ++timers;
            if (loss == Loss::OwnTimerFails)
                throw tk::Error(u"Повтор не удался"_s);
        };
    }

    const QPoint at = centreOf(control);
    QCursor::setPos(m_host->mapToGlobal(at));
    QTest::mouseMove(window(), at);
    QTest::mousePress(window(), Qt::LeftButton, Qt::NoModifier, at);
    QVERIFY(subject.held());
    QCOMPARE(tk::captureControl(), control);
    if (subject.repeating && loss != Loss::OwnTimerFails) {
        QTRY_VERIFY(timers >= 1);
        QVERIFY(subject.repeating->RepeatTimer()->isActive());
    }

    ErrorBoxes boxes;
    QMenu menu;
    switch (loss) {
    case Loss::Hidden:
        control->hide();
        break;
    case Loss::Disabled:
        control->setEnabled(false);
        break;
    case Loss::ParentHidden:
        m_container->hide();
        break;
    case Loss::ParentDisabled:
        m_container->setEnabled(false);
        break;
    case Loss::ErrorBox:
        // As when a handler elsewhere fails while the button is held.
        QTimer::singleShot(0, [] { tk::Application::instance()->ShowException(u"Что-то случилось"_s); });
        QTRY_COMPARE(boxes.texts.size(), 1);
        break;
    case Loss::ModalDialog: {
        bool answered = false;
        QTimer::singleShot(0, m_host.get(), [this, &answered] {
            QDialog dialog(m_host.get());
            QTimer::singleShot(0, &dialog, &QDialog::reject);
            dialog.exec();
            answered = true;
        });
        QTRY_VERIFY(answered);
        break;
    }
    case Loss::PopupMenu:
        // A handler elsewhere opens a menu: it takes the mouse, and the release with it.
        menu.addAction(u"Копировать"_s);
        QTimer::singleShot(0, &menu,
                           [&menu, at, this] { menu.popup(m_host->mapToGlobal(at + QPoint(5, 5))); });
        QTRY_VERIFY(menu.isVisible());
        break;
    case Loss::OwnTimerFails:
        QTRY_COMPARE(boxes.texts.size(), 1);
        QCOMPARE(boxes.texts.first(), u"Повтор не удался."_s);
        break;
    }

    verifyPressEnded(subject, clicks);
    // The button comes up at last, wherever the mouse delivers it.
    QTest::mouseRelease(window(), Qt::LeftButton, Qt::NoModifier, at);
    menu.close();
    verifyPressEnded(subject, clicks);
    if (QTest::currentTestFailed())
        return;
    const int timersAtLoss = timers;

    control->show();
    control->setEnabled(true);
    m_container->show();
    m_container->setEnabled(true);
    activateWidgetWindow(m_host.get());
    QCoreApplication::processEvents();
    QCOMPARE(subject.look(), u"up"_s);
    QCOMPARE(timers, timersAtLoss);

    if (subject.repeating)
        subject.repeating->OnTimer = nullptr;
    QTest::mouseMove(window(), at + QPoint(1, 0));
    QTest::mousePress(window(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseRelease(window(), Qt::LeftButton, Qt::NoModifier, at);
    QCOMPARE(clicks, 1);
    QVERIFY(!subject.held());
    QCOMPARE(tk::captureControl(), nullptr);
    QCOMPARE(boxes.texts.size(), loss == Loss::ErrorBox || loss == Loss::OwnTimerFails ? 1 : 0);
}

int main(int argc, char *argv[])
{
    tk::Application app(argc, argv);
    app.setStyle(QStyleFactory::create(u"Fusion"_s));
    app.Title = u"ORMEX"_s;
    TestPressLost test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_presslost.moc"
