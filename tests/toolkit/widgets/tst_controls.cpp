#include "toolkit/widgets/control.h"

#include "tests/support/bitmaps.h"
#include "toolkit/application/application.h"
#include "toolkit/widgets/image.h"

#include <QTest>
#include <QWindow>

using namespace Qt::StringLiterals;

class TestControls : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void pictureOrigin_data();
    void pictureOrigin();
    void windowlessBelowWindowed_data();
    void windowlessBelowWindowed();
    void click_data();
    void click();
};

void TestControls::pictureOrigin_data()
{
    QTest::addColumn<QSize>("control");
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<bool>("center");
    QTest::addColumn<QPoint>("origin");
    QTest::newRow("window background") << QSize(572, 299) << QSize(1152, 864) << true << QPoint(-290, -282);
    QTest::newRow("odd differences truncate toward zero")
        << QSize(145, 177) << QSize(150, 180) << true << QPoint(-2, -1);
    QTest::newRow("smaller picture") << QSize(100, 100) << QSize(51, 51) << true << QPoint(24, 24);
    QTest::newRow("not centred") << QSize(145, 177) << QSize(300, 300) << false << QPoint(0, 0);
}

void TestControls::pictureOrigin()
{
    QFETCH(QSize, control);
    QFETCH(QSize, picture);
    QFETCH(bool, center);
    QFETCH(QPoint, origin);
    QWidget parent;
    tk::TImage image(&parent);
    image.resize(control);
    image.setCenter(center);
    image.Picture().loadFromData(u"bmp"_s, bmpBytes(picture, Qt::green));
    QCOMPARE(image.Picture().width(), picture.width());
    QCOMPARE(image.pictureOrigin(), origin);
}

void TestControls::windowlessBelowWindowed_data()
{
    QTest::addColumn<bool>("windowedFirst");
    QTest::newRow("windowed created first") << true;
    QTest::newRow("windowless created first") << false;
}

void TestControls::windowlessBelowWindowed()
{
    QFETCH(bool, windowedFirst);
    QWidget parent;
    parent.resize(200, 200);
    QWidget *windowed = nullptr;
    tk::TImage *windowless = nullptr;
    if (windowedFirst) {
        windowed = new QWidget(&parent);
        windowless = new tk::TImage(&parent);
    } else {
        windowless = new tk::TImage(&parent);
        windowed = new QWidget(&parent);
    }
    windowed->setGeometry(0, 0, 100, 100);
    windowless->setGeometry(50, 50, 100, 100);
    auto *later = new tk::TImage(&parent); // a second windowless one lies above the first
    later->setGeometry(60, 60, 100, 100);
    QCOMPARE(parent.childAt(75, 75), windowed);
    QCOMPARE(parent.childAt(120, 120), later);
    QCOMPARE(parent.childAt(55, 120), windowless);
}

void TestControls::click_data()
{
    QTest::addColumn<QPoint>("press");
    QTest::addColumn<QPoint>("release");
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<int>("clicks");
    QTest::newRow("press and release inside") << QPoint(10, 10) << QPoint(20, 20) << Qt::LeftButton << 1;
    QTest::newRow("released outside") << QPoint(10, 10) << QPoint(150, 20) << Qt::LeftButton << 0;
    QTest::newRow("right button") << QPoint(10, 10) << QPoint(10, 10) << Qt::RightButton << 0;
}

void TestControls::click()
{
    QFETCH(QPoint, press);
    QFETCH(QPoint, release);
    QFETCH(Qt::MouseButton, button);
    QFETCH(int, clicks);
    QWidget form;
    form.resize(200, 100);
    auto *image = new tk::TImage(&form);
    image->setGeometry(0, 0, 100, 100);
    int count = 0;
    image->OnClick = [&](QObject *sender) {
        QCOMPARE(sender, image);
        ++count;
    };
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTest::mousePress(form.windowHandle(), button, Qt::NoModifier, press);
    QTest::mouseRelease(form.windowHandle(), button, Qt::NoModifier, release);
    QCOMPARE(count, clicks);
}

int main(int argc, char *argv[])
{
    tk::registerBitmapFormat();
    tk::Application app(argc, argv);
    TestControls test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_controls.moc"
