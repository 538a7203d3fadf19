#include "TFlatHintUnit.h"
#include "application.h"
#include "control.h"
#include "datafolder.h"
#include "image.h"
#include "rununit1.h"
#include "startup.h"
#include "windowdrag.h"
#include "windowplacement.h"

#include "abcbtn.h"

#include <QCursor>
#include <QDir>
#include <QFile>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

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
    void dragBackground_data();
    void dragBackground();
    void clickWithoutDragStaysAClick();
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
    app()->CancelHint();
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
    QTest::newRow("installed, folder without g")
        << u"home"_s << false << u"usr/bin/ormex"_s << true << true;
    QTest::newRow("installed, folder with g stays")
        << u"home"_s << true << u"usr/bin/ormex"_s << true << false;
    QTest::newRow("installed, reached through a link")
        << u"home"_s << false << u"bin/ormex"_s << true << true;
    QTest::newRow("build tree stays") << u"home"_s << false << u"build/app/ormex"_s << true << false;
    QTest::newRow("copy elsewhere stays") << u"home"_s << false << u"home/ormex"_s << true << false;
    QTest::newRow("data folder missing stays")
        << u"home"_s << false << u"usr/bin/ormex"_s << false << false;
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
    app()->ActivateHint(global);
    auto *hint = qobject_cast<TFlatHintWindow *>(app()->HintWindow());
    QVERIFY(hint);
    QVERIFY(hint->isVisible());
    QCOMPARE(int(hint->Placement()), placement);
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
