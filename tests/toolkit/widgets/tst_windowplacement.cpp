#include "toolkit/widgets/hintwindow.h"
#include "toolkit/widgets/windowplacement.h"

#include <QApplication>
#include <QCursor>
#include <QScreen>
#include <QTest>

class TestWindowPlacement : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleanup();
    void keepOnScreen_data();
    void keepOnScreen();
    void plainHintStaysOnScreen_data();
    void plainHintStaysOnScreen();
};

void TestWindowPlacement::cleanup()
{
    tk::clearScreenOverride();
    tk::clearPlatformPlacesWindowsOverride();
}

void TestWindowPlacement::keepOnScreen_data()
{
    QTest::addColumn<QRect>("available");
    QTest::addColumn<bool>("placesWindows");
    QTest::addColumn<QRect>("bounds");
    QTest::addColumn<QRect>("kept");

    const QRect screen(0, 0, 640, 512), belowPanel(0, 30, 640, 482), second(640, 0, 800, 600);
    QTest::newRow("inside: as given")
        << screen << true << QRect(100, 100, 300, 80) << QRect(100, 100, 300, 80);
    QTest::newRow("touching every edge: as given")
        << screen << true << QRect(0, 0, 640, 512) << QRect(0, 0, 640, 512);
    QTest::newRow("one pixel past the right edge: one pixel left")
        << screen << true << QRect(341, 100, 300, 80) << QRect(340, 100, 300, 80);
    QTest::newRow("past the left edge: to it")
        << screen << true << QRect(-70, 100, 300, 80) << QRect(0, 100, 300, 80);
    QTest::newRow("past the bottom and the right: into the corner")
        << screen << true << QRect(500, 480, 300, 80) << QRect(340, 432, 300, 80);
    QTest::newRow("over the panel at the top: below it")
        << belowPanel << true << QRect(50, 10, 300, 80) << QRect(50, 30, 300, 80);
    QTest::newRow("wider than the screen: its left edge on the screen's")
        << screen << true << QRect(-100, 100, 700, 80) << QRect(0, 100, 700, 80);
    QTest::newRow("a screen that does not start at the origin")
        << second << true << QRect(1300, 550, 300, 80) << QRect(1140, 520, 300, 80);
    QTest::newRow("where the compositor places windows: as given")
        << screen << false << QRect(-70, 480, 300, 80) << QRect(-70, 480, 300, 80);
}

void TestWindowPlacement::keepOnScreen()
{
    QFETCH(QRect, available);
    QFETCH(bool, placesWindows);
    QFETCH(QRect, bounds);
    QFETCH(QRect, kept);
    tk::overrideScreen(available, available);
    tk::overridePlatformPlacesWindows(placesWindows);
    QCOMPARE(tk::keepOnScreen(bounds, bounds.center()), kept);
}

void TestWindowPlacement::plainHintStaysOnScreen_data()
{
    QTest::addColumn<QPoint>("corner"); // where the hint asks to be, at the cursor
    QTest::addColumn<bool>("moved");
    QTest::newRow("room enough: where it asked") << QPoint(100, 100) << false;
    QTest::newRow("near the right and bottom edges: inside") << QPoint(780, 790) << true;
}

void TestWindowPlacement::plainHintStaysOnScreen()
{
    QFETCH(QPoint, corner);
    QFETCH(bool, moved);
    QCursor::setPos(corner);
    tk::THintWindow hint;
    hint.ActivateHint({corner.x(), corner.y(), corner.x() + 120, corner.y() + 20}, QStringLiteral("Справка"));
    const QRect screen = QApplication::primaryScreen()->availableGeometry();
    QVERIFY(screen.contains(hint.geometry()));
    QCOMPARE(hint.geometry().topLeft() != corner, moved);
    QCOMPARE(hint.size(), QSize(122, 26)); // the rectangle, four pixels lower, and the border
}

QTEST_MAIN(TestWindowPlacement)
#include "tst_windowplacement.moc"
