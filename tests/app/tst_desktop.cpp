#include "app/datafolder.h"
#include "app/rununit1.h"
#include "app/startup.h"
#include "controls/flat/TFlatHintUnit.h"
#include "toolkit/application/application.h"
#include "toolkit/application/systemmove.h"
#include "toolkit/application/windowdrag.h"
#include "toolkit/widgets/control.h"
#include "toolkit/widgets/image.h"
#include "toolkit/widgets/windowplacement.h"

#include "controls/abc/abcbtn.h"

#include <QCursor>
#include <QDir>
#include <QFile>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <map>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

tk::Application *app()
{
    return tk::Application::instance();
}

void moveCursorTo(QPoint global)
{
    QCursor::setPos(global);
    QCoreApplication::processEvents();
}

} // namespace

class TestDesktop : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void startFolder_data();
    void startFolder();
    void placeAtShow_data();
    void placeAtShow();
    void placedBeforeItHasAPlatformWindow();
    void dragBackground_data();
    void dragBackground();
    void clickWithoutDragStaysAClick();
    void dragHoldsThePressedPoint_data();
    void dragHoldsThePressedPoint();
    void compositorTakesThePress_data();
    void compositorTakesThePress();
    void nativeScreenPoint_data();
    void nativeScreenPoint();
    void controlUnderPointerFromEvent_data();
    void controlUnderPointerFromEvent();
    void desktopEntryNamesTheProgram();
    void hintTurnsToWindowMiddle_data();
    void hintTurnsToWindowMiddle();

private:
    void showForm(bool placesWindows);

    std::unique_ptr<Tform1> m_form;
};

void TestDesktop::init()
{
    // A click that reaches the divine button draws: the pictures are there.
    QVERIFY(QDir::setCurrent(QStringLiteral(ORMEX_DATA_DIR)));
    moveCursorTo({799, 799});
}

void TestDesktop::cleanup()
{
    app()->hints().CancelHint();
    m_form.reset();
    tk::clearPlatformPlacesWindowsOverride();
}

void TestDesktop::showForm(bool placesWindows)
{
    tk::overridePlatformPlacesWindows(placesWindows);
    m_form = std::make_unique<Tform1>();
    m_form->move(3, 4); // wherever the platform would put it on its own
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
}

void TestDesktop::startFolder_data()
{
    // Folders made under a temporary root: the installed program, its data and the start folder.
    QTest::addColumn<QString>("current"); // relative to the root
    QTest::addColumn<bool>("currentHasG");
    QTest::addColumn<QString>("executable"); // relative to the root
    QTest::addColumn<bool>("dataInstalled");
    QTest::addColumn<bool>("enters");
    QTest::newRow("installed, folder without g") << u"home"_s << false << u"usr/bin/ormex"_s << true << true;
    QTest::newRow("installed, folder with g stays")
        << u"home"_s << true << u"usr/bin/ormex"_s << true << false;
    QTest::newRow("installed, reached through a link")
        << u"home"_s << false << u"bin/ormex"_s << true << true;
    QTest::newRow("build tree stays") << u"home"_s << false << u"build/app/ormex"_s << true << false;
    QTest::newRow("copy elsewhere stays") << u"home"_s << false << u"home/ormex"_s << true << false;
    QTest::newRow("data folder missing stays") << u"home"_s << false << u"usr/bin/ormex"_s << false << false;
}

void TestDesktop::startFolder()
{
    QFETCH(QString, current);
    QFETCH(bool, currentHasG);
    QFETCH(QString, executable);
    QFETCH(bool, dataInstalled);
    QFETCH(bool, enters);
    QTemporaryDir root;
    QVERIFY(root.isValid());
    QDir r(root.path());
    for (const QString &dir : {u"usr/bin"_s, u"build/app"_s, u"home"_s})
        QVERIFY(r.mkpath(dir));
    for (const QString &file : {u"usr/bin/ormex"_s, u"build/app/ormex"_s, u"home/ormex"_s}) {
        QFile f(r.filePath(file));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    // The merged /bin of a Debian system: a link to /usr/bin.
    QVERIFY(QFile::link(r.filePath(u"usr/bin"_s), r.filePath(u"bin"_s)));
    if (currentHasG)
        QVERIFY(r.mkpath(current + u"/g"_s));
    const QString data = r.filePath(u"usr/share/ormex"_s);
    if (dataInstalled)
        QVERIFY(r.mkpath(u"usr/share/ormex/g"_s));
    const QString folder =
        ::startFolder(r.filePath(current), r.filePath(executable), r.filePath(u"usr/bin/ormex"_s), data);
    QCOMPARE(folder, enters ? data : QString());
}

void TestDesktop::placeAtShow_data()
{
    QTest::addColumn<bool>("placesWindows");
    QTest::newRow("platform places windows: centred") << true;
    QTest::newRow("compositor places them: left alone") << false;
}

void TestDesktop::placeAtShow()
{
    QFETCH(bool, placesWindows);
    showForm(placesWindows);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QPoint centred((screen.width() - 572) / 2, (screen.height() - 299) / 2);
    QCOMPARE(m_form->pos(), placesWindows ? centred : QPoint(3, 4));
}

void TestDesktop::placedBeforeItHasAPlatformWindow()
{
    // A window manager that frames the window as it maps it may never report a move made between the
    // window's creation and its mapping: the window is created where it is to be shown.
    tk::overridePlatformPlacesWindows(true);
    m_form = std::make_unique<Tform1>();
    QVERIFY(!m_form->windowHandle());
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QCOMPARE(m_form->pos(), QPoint((screen.width() - 572) / 2, (screen.height() - 299) / 2));
}

void TestDesktop::dragBackground_data()
{
    QTest::addColumn<bool>("placesWindows");
    QTest::addColumn<QPoint>("pressAt"); // in the window
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<QPoint>("moveBy");
    QTest::addColumn<QPoint>("windowMoves");
    const QPoint background(5, 280), slot(60, 120), button(50, 30);
    QTest::newRow("background follows the pointer")
        << true << background << Qt::LeftButton << QPoint(40, 25) << QPoint(40, 25);
    QTest::newRow("short of the drag distance")
        << true << background << Qt::LeftButton << QPoint(3, 0) << QPoint();
    QTest::newRow("right button") << true << background << Qt::RightButton << QPoint(40, 25) << QPoint();
    QTest::newRow("slot is a control") << true << slot << Qt::LeftButton << QPoint(40, 25) << QPoint();
    QTest::newRow("button is a control") << true << button << Qt::LeftButton << QPoint(40, 25) << QPoint();
    // The strip at the bottom lies under an empty, see-through label: it looks like background.
    QTest::newRow("bottom strip, left of the link")
        << true << QPoint(40, 270) << Qt::LeftButton << QPoint(40, 25) << QPoint(40, 25);
    QTest::newRow("bottom strip, under the link")
        << true << QPoint(286, 293) << Qt::LeftButton << QPoint(-30, -20) << QPoint(-30, -20);
    QTest::newRow("link is a control")
        << true << QPoint(286, 272) << Qt::LeftButton << QPoint(40, 25) << QPoint();
    QTest::newRow("compositor's to move")
        << false << background << Qt::LeftButton << QPoint(40, 25) << QPoint();
}

void TestDesktop::dragBackground()
{
    QFETCH(bool, placesWindows);
    QFETCH(QPoint, pressAt);
    QFETCH(Qt::MouseButton, button);
    QFETCH(QPoint, moveBy);
    QFETCH(QPoint, windowMoves);
    showForm(placesWindows);
    m_form->findChild<tk::WindowDragger *>()->setDragDistance(10);
    const QPoint before = m_form->pos();
    QWindow *window = m_form->windowHandle();
    QTest::mousePress(window, button, {}, pressAt);
    // In steps, as a hand moves it; every position is where the pointer is in the window as it stands.
    const QPoint pressGlobal = m_form->mapToGlobal(pressAt);
    for (int step = 1; step <= 4; ++step) {
        const QPoint global = pressGlobal + moveBy * step / 4;
        QMouseEvent move(QEvent::MouseMove, m_form->mapFromGlobal(global), global, Qt::NoButton, button, {});
        QCoreApplication::sendEvent(window, &move);
    }
    QTest::mouseRelease(window, button, {}, m_form->mapFromGlobal(pressGlobal + moveBy));
    QCOMPARE(m_form->pos() - before, windowMoves);
}

void TestDesktop::clickWithoutDragStaysAClick()
{
    showForm(true);
    int clicks = 0;
    m_form->Image1->OnClick = [&clicks](QObject *) { ++clicks; };
    const QPoint before = m_form->pos();
    QTest::mouseClick(m_form->windowHandle(), Qt::LeftButton, {}, QPoint(5, 280));
    QCOMPARE(clicks, 1);
    QCOMPARE(m_form->pos(), before);
}

void TestDesktop::dragHoldsThePressedPoint_data()
{
    QTest::addColumn<bool>("systemMoves"); // whether the window system takes the move over
    QTest::addColumn<QPoint>("moveBy");
    QTest::addColumn<int>("steps");
    QTest::newRow("ten steps") << true << QPoint(100, 60) << 10;
    QTest::newRow("one step far beyond the distance") << true << QPoint(100, 60) << 1;
    QTest::newRow("exactly the distance") << true << QPoint(-6, 4) << 1;
    QTest::newRow("up and left, in five steps") << true << QPoint(-45, -30) << 5;
    QTest::newRow("no window manager: followed by hand") << false << QPoint(100, 60) << 10;
}

void TestDesktop::dragHoldsThePressedPoint()
{
    QFETCH(bool, systemMoves);
    QFETCH(QPoint, moveBy);
    QFETCH(int, steps);
    showForm(true);
    auto *dragger = m_form->findChild<tk::WindowDragger *>();
    dragger->setDragDistance(10);
    QList<QPointF> grabs;
    dragger->setSystemMove([&grabs, systemMoves, this](QWindow *window, QPointF pressGlobal) {
        if (window == m_form->windowHandle())
            grabs.append(pressGlobal);
        return systemMoves;
    });
    const QPoint before = m_form->pos();
    QWindow *window = m_form->windowHandle();
    const QPoint pressAt(5, 280);
    const QPoint pressGlobal = m_form->mapToGlobal(pressAt);
    QTest::mousePress(window, Qt::LeftButton, {}, pressAt);
    for (int step = 1; step <= steps; ++step) {
        const QPoint global = pressGlobal + moveBy * step / steps;
        QMouseEvent move(QEvent::MouseMove, m_form->mapFromGlobal(global), global, Qt::NoButton,
                         Qt::LeftButton, {});
        QCoreApplication::sendEvent(window, &move);
    }
    // The window system is asked once, and holds the window by the pixel pressed, not by the one
    // where the pointer crossed the drag distance.
    QCOMPARE(grabs, QList<QPointF>{QPointF(pressGlobal)});
    QCOMPARE(m_form->pos() - before, systemMoves ? QPoint() : moveBy);
    QTest::mouseRelease(window, Qt::LeftButton, {}, m_form->mapFromGlobal(pressGlobal + moveBy));
}

void TestDesktop::compositorTakesThePress_data()
{
    QTest::addColumn<bool>("compositorMoves"); // whether the compositor takes the move over
    QTest::newRow("compositor moves the window") << true;
    QTest::newRow("compositor refuses") << false;
}

// A compositor holds the window by wherever the pointer is when it is asked to move it: it is asked
// at the press, before the pointer has gone anywhere, and the press is then its own, no click.
void TestDesktop::compositorTakesThePress()
{
    QFETCH(bool, compositorMoves);
    showForm(false);
    auto *dragger = m_form->findChild<tk::WindowDragger *>();
    QList<QPointF> grabs;
    dragger->setSystemMove([&grabs, compositorMoves, this](QWindow *window, QPointF pressGlobal) {
        if (window == m_form->windowHandle())
            grabs.append(pressGlobal);
        return compositorMoves;
    });
    int clicks = 0;
    m_form->Image1->OnClick = [&clicks](QObject *) { ++clicks; };
    QWindow *window = m_form->windowHandle();
    const QPoint pressAt(5, 280);
    QTest::mousePress(window, Qt::LeftButton, {}, pressAt);
    QCOMPARE(grabs, QList<QPointF>{QPointF(m_form->mapToGlobal(pressAt))});
    QTest::mouseRelease(window, Qt::LeftButton, {}, pressAt);
    QCOMPARE(clicks, compositorMoves ? 0 : 1);
    QCOMPARE(grabs.size(), 1);
}

void TestDesktop::nativeScreenPoint_data()
{
    QTest::addColumn<QPointF>("global");
    QTest::addColumn<QPoint>("origin"); // the screen's top-left corner
    QTest::addColumn<double>("ratio");
    QTest::addColumn<QPoint>("native");
    QTest::newRow("scale 1") << QPointF(359, 642) << QPoint() << 1.0 << QPoint(359, 642);
    QTest::newRow("scale 2") << QPointF(182, 325) << QPoint() << 2.0 << QPoint(364, 650);
    QTest::newRow("scale 2, odd pixel") << QPointF(182.5, 325.5) << QPoint() << 2.0 << QPoint(365, 651);
    QTest::newRow("scale 2, second screen")
        << QPointF(1300.5, 10) << QPoint(1280, 0) << 2.0 << QPoint(1321, 20);
    QTest::newRow("scale 1.5") << QPointF(100, 200) << QPoint() << 1.5 << QPoint(150, 300);
}

void TestDesktop::nativeScreenPoint()
{
    QFETCH(QPointF, global);
    QFETCH(QPoint, origin);
    QFETCH(double, ratio);
    QFETCH(QPoint, native);
    QCOMPARE(tk::nativeScreenPoint(global, origin, ratio), native);
}

void TestDesktop::controlUnderPointerFromEvent_data()
{
    // Qt believes the window centred on the screen; it lies elsewhere, as where a window manager put
    // it without saying so.
    QTest::addColumn<QPoint>("local");  // where the pointer is in the window
    QTest::addColumn<QPoint>("window"); // where the window really lies
    QTest::addColumn<QString>("control");
    QTest::newRow("divine button, window further right and down")
        << QPoint(97, 33) << QPoint(354, 362) << u"abcRepSpeedBtn1"_s;
    QTest::newRow("divine button, window at the corner")
        << QPoint(97, 33) << QPoint(0, 0) << u"abcRepSpeedBtn1"_s;
    QTest::newRow("left slot") << QPoint(60, 120) << QPoint(200, 40) << u"run1"_s;
    QTest::newRow("background shows no hint") << QPoint(5, 280) << QPoint(354, 362) << u"Image1"_s;
}

void TestDesktop::controlUnderPointerFromEvent()
{
    QFETCH(QPoint, local);
    QFETCH(QPoint, window);
    QFETCH(QString, control);
    showForm(true);
    const std::map<QString, QWidget *> controls = {{u"abcRepSpeedBtn1"_s, m_form->abcRepSpeedBtn1},
                                                   {u"run1"_s, m_form->run1},
                                                   {u"Image1"_s, m_form->Image1}};
    QWidget *expected = controls.at(control);
    const QPoint global = window + local;
    QVERIFY(m_form->pos() != window);
    // The pointer is there, and the window system reports it in the window at its own position.
    moveCursorTo(global);
    QMouseEvent move(QEvent::MouseMove, local, local, global, Qt::NoButton, Qt::NoButton, {});
    QCoreApplication::sendEvent(m_form->windowHandle(), &move);
    QCOMPARE(tk::findControlAt(global), expected);
    if (expected == m_form->Image1) {
        QCOMPARE(app()->hints().pendingHintDelay(), -1);
        return;
    }
    QCOMPARE(app()->hints().hintControl(), expected);
    QTRY_VERIFY(app()->hints().hintWindow()->isVisible());
    QCOMPARE(app()->hints().hintWindow()->Caption(), tk::asControl(expected)->Hint());
}

void TestDesktop::desktopEntryNamesTheProgram()
{
    // Docks match the running window to its menu entry by the entry's name (the desktop file name, the
    // Wayland app id) and by its StartupWMClass (the class in WM_CLASS, the application name on X11).
    const QString entry =
        QStringLiteral(ORMEX_PACKAGING_DIR) + u'/' + QGuiApplication::desktopFileName() + u".desktop"_s;
    QFile file(entry);
    QVERIFY2(file.open(QIODevice::ReadOnly | QIODevice::Text), qPrintable(entry));
    QStringList classes;
    const QString key = u"StartupWMClass="_s;
    for (const QString &line : QString::fromUtf8(file.readAll()).split(u'\n'))
        if (line.startsWith(key))
            classes.append(line.mid(key.size()));
    QCOMPARE(classes, QStringList{QCoreApplication::applicationName()});
}

void TestDesktop::hintTurnsToWindowMiddle_data()
{
    // Where the compositor places windows, the window's quarters stand for the screen's.
    QTest::addColumn<QPoint>("cursor"); // in the window
    QTest::addColumn<int>("placement");
    QTest::newRow("top-left") << QPoint(60, 100) << int(hpBelowRight);
    QTest::newRow("top-right") << QPoint(480, 100) << int(hpBelowLeft);
    QTest::newRow("bottom-left") << QPoint(60, 200) << int(hpAboveRight);
    QTest::newRow("bottom-right") << QPoint(480, 200) << int(hpAboveLeft);
    QTest::newRow("middle line") << QPoint(286, 100) << int(hpBelowLeft);
}

void TestDesktop::hintTurnsToWindowMiddle()
{
    QFETCH(QPoint, cursor);
    QFETCH(int, placement);
    showForm(false);
    const QPoint global = m_form->mapToGlobal(cursor);
    moveCursorTo(global);
    app()->hints().ActivateHint(global);
    auto *hint = qobject_cast<TFlatHintWindow *>(app()->hints().hintWindow());
    QVERIFY(hint);
    QVERIFY(hint->isVisible());
    QCOMPARE(int(hint->placement()), placement);
    // The hint belongs to the main window, so that a compositor places it relative to that window.
    QVERIFY(hint->windowHandle());
    QCOMPARE(hint->windowHandle()->transientParent(), m_form->windowHandle());
}

int main(int argc, char *argv[])
{
    runModuleStartup();
    tk::Application app(argc, argv);
    initialiseApplication(app);
    TestDesktop test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_desktop.moc"
