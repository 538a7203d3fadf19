#include "toolkit/application/application.h"

#include "tests/support/errorboxes.h"
#include "toolkit/application/dialogframe.h"
#include "toolkit/base/callout.h"
#include "toolkit/base/errors.h"

#include <QFontMetrics>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <mutex>
#include <stdexcept>
#include <thread>

using namespace Qt::StringLiterals;

class TestApplication : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // First: it needs a process in which no window has painted yet.
    void workAfterFirstFrame();
    void fullStop_data();
    void fullStop();
    void handlerFailures_data();
    void handlerFailures();
    void errorBoxIsADialog_data();
    void errorBoxIsADialog();
    void errorBoxTakesKeyboardBack();
    void workBeside();
};

void TestApplication::workAfterFirstFrame()
{
    auto *app = tk::Application::instance();
    QStringList done;
    app->startupWork().afterFirstFrame([&] {
        done << u"first"_s;
        app->startupWork().afterFirstFrame([&] { done << u"added by work"_s; });
    });
    QCoreApplication::processEvents();
    QCOMPARE(done, QStringList()); // nothing painted yet

    QWidget window;
    window.resize(40, 30);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_COMPARE(done, (QStringList{u"first"_s, u"added by work"_s}));

    // Once a frame is on the screen, work runs at the next turn of the loop, not at once.
    app->startupWork().afterFirstFrame([&] { done << u"late"_s; });
    QCOMPARE(done.size(), 2);
    QTRY_COMPARE(done.size(), 3);
    // A failing piece of work is reported like a failing handler; the rest still runs.
    ErrorBoxes boxes;
    app->startupWork().afterFirstFrame([] { throw tk::Error(u"No icon"_s); });
    app->startupWork().afterFirstFrame([&] { done << u"after the failure"_s; });
    QTRY_COMPARE(done.size(), 4);
    QCOMPARE(boxes.texts, QStringList{u"No icon."_s});
}

void TestApplication::fullStop_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("letter") << u"Cannot open file g\\7.jpg"_s << u"Cannot open file g\\7.jpg."_s;
    QTest::newRow("digit") << u"JPEG error #53"_s << u"JPEG error #53."_s;
    QTest::newRow("Cyrillic") << u"Ошибка"_s << u"Ошибка."_s;
    QTest::newRow("full stop already") << u"Done."_s << u"Done."_s;
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("exclamation sorts below") << u"Stop!"_s << u"Stop!"_s;
    QTest::newRow("hyphen sorts below") << u"a -"_s << u"a -"_s;
    QTest::newRow("blank sorts below") << u"a "_s << u"a "_s;
    QTest::newRow("slash sorts above") << u"g/"_s << u"g/."_s;
    QTest::newRow("closing parenthesis sorts below") << u"(x)"_s << u"(x)"_s;
    QTest::newRow("colon sorts above") << u"x:"_s << u"x:."_s;
}

void TestApplication::fullStop()
{
    QFETCH(QString, message);
    QFETCH(QString, shown);
    QCOMPARE(tk::Application::messageWithFullStop(message), shown);
}

void TestApplication::handlerFailures_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("shown");
    QTest::newRow("our error") << 0 << u"Cannot open file g\\7.jpg."_s;
    QTest::newRow("a library's exception") << 1 << u"vector too long."_s;
    QTest::newRow("out of memory") << 2 << u"Out of memory."_s;
}

void TestApplication::handlerFailures()
{
    QFETCH(int, kind);
    QFETCH(QString, shown);
    ErrorBoxes boxes;
    bool after = false;
    tk::runGuarded([&] {
        if (kind == 0)
            throw tk::Error(u"Cannot open file g\\7.jpg"_s);
        if (kind == 1)
            throw std::length_error("vector too long");
        throw std::bad_alloc();
    });
    after = true; // the program goes on
    QVERIFY(after);
    QCOMPARE(boxes.texts, QStringList{shown});
    QCOMPARE(boxes.captions, QStringList{tk::Application::instance()->Title});
    QCOMPARE(boxes.icons, QList<QMessageBox::Icon>{QMessageBox::Critical});
}

void TestApplication::errorBoxIsADialog_data()
{
    QTest::addColumn<bool>("ownTitleBar");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("message");
    for (const bool own : {false, true}) {
        const char *bar = own ? "own title bar" : "window manager's title bar";
        QTest::addRow("%s, short message", bar) << own << u"ORMEX"_s << u"x"_s;
        QTest::addRow("%s, long caption", bar)
            << own << u"ORMEX, the runes, their readings and their help"_s << u"x"_s;
        QTest::addRow("%s, long message", bar)
            << own << u"ORMEX"_s << u"Cannot open file g\\readme.txt, nor any other one"_s;
    }
}

// Title and close only, as a message box has; and a title bar wide enough for the whole caption, the
// close button and the icon beside it, however short the message. Where the program draws the title bar
// itself (Wayland), its close button answers the box.
void TestApplication::errorBoxIsADialog()
{
    QFETCH(bool, ownTitleBar);
    QFETCH(QString, title);
    QFETCH(QString, message);
    tk::overrideDialogsDrawOwnTitleBar(ownTitleBar);
    auto *app = tk::Application::instance();
    const QString programTitle = app->Title;
    app->Title = title;
    Qt::WindowFlags flags;
    int width = 0;
    int neededWidth = 0;
    QFont font;
    bool answeredByOk = false;
    QTimer::singleShot(0, app, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        QVERIFY(box);
        flags = box->windowFlags();
        width = box->width();
        font = box->font();
        auto *frame = box->findChild<tk::DialogFrame *>();
        if (!frame || !ownTitleBar) {
            box->button(QMessageBox::Ok)->click();
            return;
        }
        neededWidth = frame->neededWidth();
        frame->closeButton()->click();
        // Answered by OK after all if the close button left it up, so that the failure shows.
        QTimer::singleShot(1000, box, [box, &answeredByOk] {
            answeredByOk = true;
            box->button(QMessageBox::Ok)->click();
        });
    });
    app->ShowException(message);
    app->Title = programTitle;
    tk::clearDialogsDrawOwnTitleBarOverride();
    QCOMPARE(flags & Qt::WindowType_Mask, Qt::Dialog);
    if (ownTitleBar) {
        QVERIFY(flags.testFlag(Qt::FramelessWindowHint));
        QVERIFY(neededWidth > 0);
        QVERIFY(width >= neededWidth);
        QVERIFY2(!answeredByOk, "the close button left the box up");
        return;
    }
    QVERIFY(flags.testFlags(Qt::WindowTitleHint | Qt::WindowCloseButtonHint));
    QVERIFY(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    font.setBold(true); // as title bars draw their caption
    QVERIFY(width >= QFontMetrics(font).horizontalAdvance(title) + 100);
}

// A click on the window that the error box blocks activates that window under some compositors: the
// box must take the keyboard back, so that Return still answers it.
void TestApplication::errorBoxTakesKeyboardBack()
{
    auto *app = tk::Application::instance();
    QWidget form;
    form.resize(300, 200);
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    app->setMainForm(&form);
    bool formActivated = false;
    bool boxTookItBack = false;
    int polls = 0;
    QTimer poll;
    poll.setInterval(5);
    connect(&poll, &QTimer::timeout, app, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        ++polls;
        if (!formActivated && box->isActiveWindow()) {
            formActivated = true;
            form.activateWindow();
        } else if (formActivated && box->isActiveWindow()) {
            boxTookItBack = true;
        }
        if (boxTookItBack || polls > 200)
            box->button(QMessageBox::Ok)->click();
    });
    poll.start();
    app->ShowException(u"Cannot open file g\\readme.txt"_s);
    app->setMainForm(nullptr);
    QVERIFY(formActivated);
    QVERIFY(boxTookItBack);
}

void TestApplication::workBeside()
{
    std::atomic<bool> ran = false;
    std::thread::id where;
    std::mutex mutex;
    tk::Application::instance()->startupWork().startBeside([&] {
        const std::lock_guard lock(mutex);
        where = std::this_thread::get_id();
        ran = true;
    });
    QTRY_VERIFY(ran);
    const std::lock_guard lock(mutex);
    QVERIFY(where != std::this_thread::get_id());
}

int main(int argc, char *argv[])
{
    tk::Application app(argc, argv);
    app.Title = u"ORMEX"_s;
    TestApplication test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_application.moc"
