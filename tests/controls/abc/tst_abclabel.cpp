#include "controls/abc/abclabel.h"

#include "tests/support/errorboxes.h"
#include "tests/support/testcolors.h"
#include "tests/support/wavelists.h"
#include "tests/support/xdgfolders.h"
#include "toolkit/application/application.h"
#include "toolkit/base/errors.h"
#include "toolkit/desktop/browserlaunch.h"
#include "toolkit/painting/colors.h"
#include "toolkit/painting/fonts.h"

#include <QCursor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPointer>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <functional>
#include <memory>

#include <QLineEdit>
#include <QMenu>

using namespace Qt::StringLiterals;

namespace {

const QColor kBackground(0, 64, 0); // what lies under the transparent label
const QColor kYellow(255, 255, 0);
const QColor kBlue(0, 0, 255);
const QColor kBtnShadow(128, 128, 128);
const QColor kBtnHighlight(255, 255, 255);
const QPoint kLabelAt(10, 10);

// Every start of a browser that the label asks for, instead of a browser.
struct StartedProcess {
    QString program;
    QStringList arguments;
    bool labelPressed = false; // the label's look while it was started
};
QList<StartedProcess> g_started;
QPointer<TabcCustomMouseLabel> g_watched;

// The first and the last pixel of colour c in reading order, inside r.
std::pair<QPoint, QPoint> extremes(const QImage &image, QRect r, QColor c)
{
    QPoint first(-1, -1), last(-1, -1);
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (image.pixelColor(x, y) == c) {
                if (first.x() < 0)
                    first = {x, y};
                last = {x, y};
            }
    return {first, last};
}

} // namespace

class TestLinkLabel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void defaults();
    void effectSetters_data();
    void effectSetters();
    void hoverLeavesProgramCaptionAlone();
    void pressDrawsBlueShadowUnderCaption();
    void releaseOutsideRestoresPlainCaption();
    void buttons_data();
    void buttons();
    void clickStartsBrowser_data();
    void clickStartsBrowser();
    void disabledWhileHovered_data();
    void disabledWhileHovered();
    void sounds_data();
    void sounds();
    void soundListDestroyed();
    void failingHandlers_data();
    void failingHandlers();
    void multilineCaption_data();
    void multilineCaption();
    void multilineResizeOncePerBounds_data();
    void multilineResizeOncePerBounds();
    void doubleClickClicksOnce();
    void autoSizeMeasuresOwnText_data();
    void autoSizeMeasuresOwnText();
    void mouseEvents();
    void parentColorAndFont();
    void alignFollowsParent_data();
    void alignFollowsParent();
    void alignFollowsNewParent();
    void focusControlTakesAccelerator();

private:
    // The program's link label as the main window sets it, over a plain background.
    TabcURLLabel *makeProgramLabel();
    QImage grabWindow() { return m_window->grab().toImage().convertToFormat(QImage::Format_RGB32); }
    QRect labelRect() const { return m_label->geometry(); }
    QPoint centre() const { return m_label->geometry().center(); }
    QPoint outside() const { return {5, m_window->height() - 5}; }
    // The cursor itself moves: Qt then sends the window its enter or leave and the move.
    void moveCursorTo(QPoint local)
    {
        QCursor::setPos(m_window->mapToGlobal(local));
        QCoreApplication::processEvents();
    }

    std::unique_ptr<QWidget> m_window;
    TabcURLLabel *m_label = nullptr;
    QTemporaryDir m_xdg;
};

void TestLinkLabel::initTestCase()
{
    // Never a real browser: every start is written down instead.
    tk::browserlaunch::processStarter() = [](const QString &program, const QStringList &arguments) {
        g_started.append({program, arguments, g_watched && g_watched->pressed()});
        return true;
    };
    QVERIFY(m_xdg.isValid());
}

void TestLinkLabel::init()
{
    g_started.clear();
    pointXdgAt(m_xdg.path());
    QFile::remove(m_xdg.path() + u"/config/mimeapps.list"_s);
    writeFile(m_xdg.path() + u"/config/mimeapps.list"_s,
              "[Default Applications]\nx-scheme-handler/http=web.desktop\n");
    writeFile(m_xdg.path() + u"/data/applications/web.desktop"_s, desktopFile("web-browser --new-window %u"));
    m_window = std::make_unique<QWidget>();
    m_window->setWindowFlag(Qt::FramelessWindowHint);
    m_window->resize(400, 80);
    QPalette palette = m_window->palette();
    palette.setColor(QPalette::Window, kBackground);
    m_window->setPalette(palette);
    m_window->setAutoFillBackground(true);
    QCursor::setPos(0, 599);
}

void TestLinkLabel::cleanup()
{
    m_label = nullptr;
    m_window.reset();
}

TabcURLLabel *TestLinkLabel::makeProgramLabel()
{
    auto *label = new TabcURLLabel(m_window.get());
    QFont font = tk::makeFont(u"MS Sans Serif"_s, -19, tk::fsUnderline);
    // Whole pixels only, so that every pixel of the caption is the colour it is drawn in.
    font.setStyleStrategy(QFont::NoAntialias);
    label->setFont(font);
    label->setFontColor(tk::clYellow);
    label->setTransparent(true);
    label->setMouseOverColor(tk::clLime);
    label->setMouseDownColor(tk::clBlue);
    label->setMouseDownEffects({almColorShadow, almSound});
    label->setCaption(u"(С) http://www.ormex.example"_s);
    label->setURL(u"http://www.ormex.example"_s);
    // Room around the caption, so that its shadow is not cut off at the label's edges.
    const QSize fitted = label->size();
    label->setAutoSize(false);
    label->setGeometry(QRect(kLabelAt, fitted + QSize(4, 4)));
    m_label = label;
    g_watched = label;
    m_window->show();
    if (!QTest::qWaitForWindowExposed(m_window.get()))
        qWarning("the test window was not exposed");
    return label;
}

void TestLinkLabel::defaults()
{
    TabcMouseLabel plain(nullptr);
    QCOMPARE(plain.MouseDownColor(), tk::clAqua);
    QCOMPARE(plain.MouseOverColor(), tk::clYellow);
    QCOMPARE(plain.MouseDownEffects(), TabcLabelMouseEffects({almUnderline, almSound}));
    QCOMPARE(plain.MouseOverEffects(), TabcLabelMouseEffects({almUnderline, almSound}));
    QCOMPARE(plain.SoundList(), nullptr);

    TabcURLLabel link(nullptr);
    QCOMPARE(link.fontColor(), tk::clBlue);
    QCOMPARE(link.MouseDownColor(), tk::clPurple);
    QCOMPARE(link.MouseOverColor(), tk::clYellow);
    QCOMPARE(link.MouseDownEffects(), TabcLabelMouseEffects({almColor, almSound}));
    QCOMPARE(link.MouseOverEffects(), TabcLabelMouseEffects({almUnderline, almSound}));
    QCOMPARE(link.ShowBrowser(), aswShowMaximized);
    QCOMPARE(link.cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(link.URL(), QString());
}

void TestLinkLabel::effectSetters_data()
{
    QTest::addColumn<TabcLabelMouseEffects>("stored");
    QTest::addColumn<TabcLabelMouseEffects>("assigned");
    QTest::addColumn<TabcLabelMouseEffects>("expected");
    QTest::newRow("both added at once: the shadow stays")
        << TabcLabelMouseEffects{almUnderline} << TabcLabelMouseEffects{almColor, almColorShadow}
        << TabcLabelMouseEffects{almColorShadow};
    QTest::newRow("both while the shadow was there: the colour is new")
        << TabcLabelMouseEffects{almColorShadow} << TabcLabelMouseEffects{almColor, almColorShadow}
        << TabcLabelMouseEffects{almColor};
    QTest::newRow("both while the colour was there: the shadow is new")
        << TabcLabelMouseEffects{almColor, almSound}
        << TabcLabelMouseEffects{almColor, almColorShadow, almSound}
        << TabcLabelMouseEffects{almColorShadow, almSound};
    QTest::newRow("shadow replaces colour")
        << TabcLabelMouseEffects{almColor} << TabcLabelMouseEffects{almColorShadow}
        << TabcLabelMouseEffects{almColorShadow};
    QTest::newRow("other effects stored as they come")
        << TabcLabelMouseEffects{almColor} << TabcLabelMouseEffects{almUnderline, almSound}
        << TabcLabelMouseEffects{almUnderline, almSound};
    QTest::newRow("empty set") << TabcLabelMouseEffects{almSound} << TabcLabelMouseEffects{}
                               << TabcLabelMouseEffects{};
}

void TestLinkLabel::effectSetters()
{
    QFETCH(TabcLabelMouseEffects, stored);
    QFETCH(TabcLabelMouseEffects, assigned);
    QFETCH(TabcLabelMouseEffects, expected);
    // A fresh label holds [almUnderline, almSound]; going through the empty set stores exactly "stored".
    TabcMouseLabel label(nullptr);
    label.setMouseDownEffects({});
    label.setMouseDownEffects(stored);
    label.setMouseOverEffects({});
    label.setMouseOverEffects(stored);
    QCOMPARE(label.MouseDownEffects(), stored);
    label.setMouseDownEffects(assigned);
    label.setMouseOverEffects(assigned);
    QCOMPARE(label.MouseDownEffects(), expected);
    QCOMPARE(label.MouseOverEffects(), expected);
}

void TestLinkLabel::hoverLeavesProgramCaptionAlone()
{
    makeProgramLabel();
    const QImage plain = grabWindow();
    const auto [first, last] = extremes(plain, labelRect(), kYellow);
    QVERIFY2(first.x() >= 0, "the caption draws no yellow pixel");
    moveCursorTo(centre());
    QTRY_VERIFY(m_label->mouseInside());
    QCOMPARE(m_label->cursor().shape(), Qt::PointingHandCursor);
    // The font is underlined already and the colour is no hover effect: not one pixel changes.
    QCOMPARE(grabWindow(), plain);
}

void TestLinkLabel::pressDrawsBlueShadowUnderCaption()
{
    makeProgramLabel();
    QWindow *window = m_window->windowHandle();
    const QImage plain = grabWindow();
    const auto [first, last] = extremes(plain, labelRect(), kYellow);
    const QPoint upLeft = first - QPoint(1, 1);
    const QPoint downRight = last + QPoint(1, 1);
    QCOMPARE(describe(plain.pixelColor(upLeft)), describe(kBackground));
    QCOMPARE(describe(plain.pixelColor(downRight)), describe(kBackground));

    moveCursorTo(centre());
    QTest::mousePress(window, Qt::LeftButton, {}, centre());
    QVERIFY(m_label->pressed());
    const QImage pressed = grabWindow();
    // The caption's first pixel stays yellow on top; the copy one pixel up-left shows blue beside it.
    QVERIFY2(pressed.pixelColor(first) == kYellow,
             qPrintable(u"first caption pixel "_s + describe(pressed.pixelColor(first))));
    QVERIFY2(pressed.pixelColor(upLeft) == kBlue,
             qPrintable(u"pixel up-left of the caption "_s + describe(pressed.pixelColor(upLeft))));
    QVERIFY2(pressed.pixelColor(last) == kYellow,
             qPrintable(u"last caption pixel "_s + describe(pressed.pixelColor(last))));
    QVERIFY2(pressed.pixelColor(downRight) == kBlue,
             qPrintable(u"pixel down-right of the caption "_s + describe(pressed.pixelColor(downRight))));
    // Every yellow pixel of the plain caption is still yellow: the copies lie under it.
    for (int y = labelRect().top(); y <= labelRect().bottom(); ++y)
        for (int x = labelRect().left(); x <= labelRect().right(); ++x)
            if (plain.pixelColor(x, y) == kYellow)
                QVERIFY2(pressed.pixelColor(x, y) == kYellow,
                         qPrintable(QStringLiteral("(%1, %2)").arg(x).arg(y)));
    QTest::mouseRelease(window, Qt::LeftButton, {}, centre());
}

void TestLinkLabel::releaseOutsideRestoresPlainCaption()
{
    makeProgramLabel();
    QWindow *window = m_window->windowHandle();
    const QImage plain = grabWindow();
    int leaves = 0;
    m_label->OnMouseLeave = [&leaves](QObject *) { ++leaves; };

    moveCursorTo(centre());
    QTest::mousePress(window, Qt::LeftButton, {}, centre());
    // With the button held Qt sends no leave; the label still learns that the pointer has gone.
    QTest::mouseMove(window, outside());
    QVERIFY(!m_label->mouseInside());
    QVERIFY(m_label->pressed());
    QCOMPARE(leaves, 1);
    QVERIFY(grabWindow() != plain);
    QTest::mouseRelease(window, Qt::LeftButton, {}, outside());
    QVERIFY(!m_label->pressed());
    QCOMPARE(grabWindow(), plain);
    QCOMPARE(g_started.size(), 0);
    QCOMPARE(leaves, 1);
}

void TestLinkLabel::buttons_data()
{
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<int>("browsersStarted");
    QTest::newRow("left opens the address") << Qt::LeftButton << 1;
    QTest::newRow("right shows the press only") << Qt::RightButton << 0;
    QTest::newRow("middle shows the press only") << Qt::MiddleButton << 0;
}

void TestLinkLabel::buttons()
{
    QFETCH(Qt::MouseButton, button);
    QFETCH(int, browsersStarted);
    makeProgramLabel();
    QWindow *window = m_window->windowHandle();
    moveCursorTo(centre());
    QTRY_VERIFY(m_label->mouseInside());
    const QImage hover = grabWindow();
    QTest::mousePress(window, button, {}, centre());
    QVERIFY(m_label->pressed());
    QVERIFY(grabWindow() != hover);
    QTest::mouseRelease(window, button, {}, centre());
    QVERIFY(!m_label->pressed());
    QVERIFY(m_label->mouseInside());
    QCOMPARE(grabWindow(), hover);
    QCOMPARE(g_started.size(), browsersStarted);
}

void TestLinkLabel::clickStartsBrowser_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("address") << u"http://www.ormex.example"_s
                             << QStringList{u"--new-window"_s, u"http://www.ormex.example"_s};
    QTest::newRow("empty address still starts the browser") << QString() << QStringList{u"--new-window"_s};
    const QString hostile = u"http://x/a b\"c'd;e$(touch /tmp/ormex-pwned)`id`"_s;
    QTest::newRow("shell characters reach it as one plain argument")
        << hostile << QStringList{u"--new-window"_s, hostile};
}

void TestLinkLabel::clickStartsBrowser()
{
    QFETCH(QString, url);
    QFETCH(QStringList, arguments);
    makeProgramLabel();
    m_label->setURL(url);
    int clicks = 0;
    m_label->OnClick = [&clicks](QObject *) { ++clicks; };
    QWindow *window = m_window->windowHandle();
    moveCursorTo(centre());
    QTest::mouseClick(window, Qt::LeftButton, {}, centre());
    QCOMPARE(clicks, 1);
    QCOMPARE(g_started.size(), 1);
    QCOMPARE(g_started[0].program, u"web-browser"_s);
    QCOMPARE(g_started[0].arguments, arguments);
    // The press look stays while the browser is started, and gives way to the hover look after.
    QVERIFY(g_started[0].labelPressed);
    QVERIFY(!m_label->pressed());
}

void TestLinkLabel::disabledWhileHovered_data()
{
    QTest::addColumn<bool>("cursorStaysOver");
    QTest::addColumn<int>("enters");
    QTest::addColumn<int>("leaves");
    QTest::addColumn<QList<int>>("sounds");
    QTest::newRow("enabled with the mouse still over it") << true << 2 << 0 << QList<int>{3, 3};
    QTest::newRow("enabled with the mouse elsewhere") << false << 1 << 1 << QList<int>{3};
}

void TestLinkLabel::disabledWhileHovered()
{
    QFETCH(bool, cursorStaysOver);
    QFETCH(int, enters);
    QFETCH(int, leaves);
    QFETCH(QList<int>, sounds);
    makeProgramLabel();
    RecordingWaveList list;
    m_label->setSoundList(&list);
    m_label->setSoundOver(3);
    m_label->setMouseOverEffects({almColor, almSound});
    int entered = 0, left = 0;
    m_label->OnMouseEnter = [&entered](QObject *) { ++entered; };
    m_label->OnMouseLeave = [&left](QObject *) { ++left; };
    const QImage plain = grabWindow();
    const auto [first, last] = extremes(plain, labelRect(), kYellow);

    moveCursorTo(centre());
    QVERIFY(m_label->mouseInside());
    QCOMPARE(entered, 1);
    m_label->setEnabled(false);
    const QImage disabled = grabWindow();
    // Embossed: shadow grey where the caption is, the light copy one pixel down-right past its end.
    QCOMPARE(describe(disabled.pixelColor(first)), describe(kBtnShadow));
    QCOMPARE(describe(disabled.pixelColor(last + QPoint(1, 1))), describe(kBtnHighlight));

    if (!cursorStaysOver)
        QCursor::setPos(m_window->mapToGlobal(outside()));
    m_label->setEnabled(true);
    QCOMPARE(m_label->mouseInside(), cursorStaysOver);
    QCOMPARE(entered, enters);
    QCOMPARE(left, leaves);
    QCOMPARE(list.played, sounds);
    // The hover colour shows at once with the mouse over it, the plain caption without.
    const QColor expected = cursorStaysOver ? QColor(0, 255, 0) : kYellow;
    QCOMPARE(describe(grabWindow().pixelColor(first)), describe(expected));
    m_label->setSoundList(nullptr);
}

void TestLinkLabel::sounds_data()
{
    QTest::addColumn<TabcLabelMouseEffects>("overEffects");
    QTest::addColumn<TabcLabelMouseEffects>("downEffects");
    QTest::addColumn<QList<int>>("played");
    QTest::newRow("both") << TabcLabelMouseEffects{almSound} << TabcLabelMouseEffects{almSound}
                          << QList<int>{7, 65535};
    QTest::newRow("hover only") << TabcLabelMouseEffects{almSound, almUnderline}
                                << TabcLabelMouseEffects{almColor} << QList<int>{7};
    QTest::newRow("press only, the largest number widened, not negative")
        << TabcLabelMouseEffects{} << TabcLabelMouseEffects{almSound, almColorShadow} << QList<int>{65535};
}

void TestLinkLabel::sounds()
{
    QFETCH(TabcLabelMouseEffects, overEffects);
    QFETCH(TabcLabelMouseEffects, downEffects);
    QFETCH(QList<int>, played);
    makeProgramLabel();
    RecordingWaveList list;
    m_label->setSoundList(&list);
    m_label->setSoundOver(7);
    m_label->setSoundDown(65535);
    m_label->setMouseOverEffects(overEffects);
    m_label->setMouseDownEffects(downEffects);
    QWindow *window = m_window->windowHandle();
    moveCursorTo(centre());
    QTest::mousePress(window, Qt::RightButton, {}, centre());
    QTest::mouseRelease(window, Qt::RightButton, {}, centre());
    // Leaving and releasing play nothing.
    moveCursorTo(outside());
    QCOMPARE(list.played, played);
    m_label->setSoundList(nullptr);
}

void TestLinkLabel::soundListDestroyed()
{
    makeProgramLabel();
    auto *list = new RecordingWaveList;
    m_label->setSoundList(list);
    delete list;
    QCOMPARE(m_label->SoundList(), nullptr);
    // Nothing is asked of the list that is gone.
    QWindow *window = m_window->windowHandle();
    moveCursorTo(centre());
    QTest::mousePress(window, Qt::RightButton, {}, centre());
    QTest::mouseRelease(window, Qt::RightButton, {}, centre());
    QVERIFY(m_label->mouseInside());
}

void TestLinkLabel::failingHandlers_data()
{
    QTest::addColumn<QString>("failing");
    QTest::newRow("press sound") << u"sound"_s;
    QTest::newRow("click handler") << u"click"_s;
    QTest::newRow("enter handler") << u"enter"_s;
}

void TestLinkLabel::failingHandlers()
{
    QFETCH(QString, failing);
    makeProgramLabel();
    RecordingWaveList list;
    list.failing = failing == u"sound"_s;
    m_label->setSoundList(&list);
    m_label->setMouseOverEffects({almUnderline});
    if (failing == u"click"_s)
        m_label->OnClick = [](QObject *) { throw tk::Error(u"Handler failed"_s); };
    // Once: the error box takes the pointer from the label and gives it back as it goes, which is a new
    // arrival.
    bool enterFailed = false;
    if (failing == u"enter"_s)
        m_label->OnMouseEnter = [&enterFailed](QObject *) {
            if (!std::exchange(enterFailed, true))
                throw tk::Error(u"Handler failed"_s);
        };
    ErrorBoxes boxes;
    QWindow *window = m_window->windowHandle();
    moveCursorTo(centre());
    QTest::mouseClick(window, Qt::LeftButton, {}, centre());
    QTRY_COMPARE(boxes.texts.size(), 1);
    // A failing enter handler still leaves the label in its hover state.
    QVERIFY(m_label->mouseInside());
    // Whatever failed, the label does not stay pressed, and a failed click opens nothing.
    QVERIFY(!m_label->pressed());
    QCOMPARE(g_started.size(), failing == u"enter"_s ? 1 : 0);
    m_label->setSoundList(nullptr);
}

void TestLinkLabel::multilineCaption_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("caption");
    QTest::newRow("two lines") << QStringList{u"a"_s, u"b"_s} << u"a\r\nb"_s;
    QTest::newRow("trailing empty lines dropped") << QStringList{u"a"_s, QString(), QString()} << u"a"_s;
    QTest::newRow("inner empty line kept") << QStringList{u"a"_s, QString(), u"b"_s} << u"a\r\n\r\nb"_s;
    QTest::newRow("none") << QStringList{} << QString();
}

void TestLinkLabel::multilineCaption()
{
    QFETCH(QStringList, lines);
    QFETCH(QString, caption);
    auto &label = *new TabcMultilineLabel(m_window.get());
    m_window->show();
    int resizes = 0;
    label.OnResize = [&resizes](QObject *) { ++resizes; };
    label.setLines(lines);
    QCOMPARE(label.Caption(), caption);
    label.setAutoSize(false);
    const int before = resizes;
    label.SetBounds(1, 2, 30, 40);
    QCOMPARE(resizes, before + 1);
}

int main(int argc, char *argv[])
{
    tk::Application app(argc, argv);
    tk::installFontSubstitutes();
    app.setStyle(QStyleFactory::create(u"Fusion"_s));
    app.setFont(tk::defaultFont());
    TestLinkLabel test;
    return QTest::qExec(&test, argc, argv);
}

void TestLinkLabel::multilineResizeOncePerBounds_data()
{
    QTest::addColumn<bool>("shown");
    QTest::addColumn<QRect>("bounds");
    QTest::newRow("shown, place and size change") << true << QRect(5, 6, 70, 30);
    QTest::newRow("shown, the same bounds again") << true << QRect(1, 2, 30, 40);
    QTest::newRow("hidden, place and size change") << false << QRect(5, 6, 70, 30);
    QTest::newRow("hidden, only the place changes") << false << QRect(9, 9, 30, 40);
}

void TestLinkLabel::multilineResizeOncePerBounds()
{
    QFETCH(bool, shown);
    QFETCH(QRect, bounds);
    auto *label = new TabcMultilineLabel(m_window.get());
    label->setAutoSize(false);
    label->SetBounds(1, 2, 30, 40);
    label->setVisible(shown);
    m_window->show();
    QCoreApplication::processEvents();
    int resizes = 0;
    label->OnResize = [&resizes](QObject *) { ++resizes; };
    label->SetBounds(bounds.x(), bounds.y(), bounds.width(), bounds.height());
    QCOMPARE(resizes, 1);
    QCOMPARE(label->geometry(), bounds);
    // An AutoSize measuring sets the bounds as well.
    label->setAutoSize(true);
    QCOMPARE(resizes, 2);
    // Both labels have Layout and ShowAccelChar.
    label->setLayout(tlBottom);
    label->setShowAccelChar(false);
    QCOMPARE(label->Layout(), tlBottom);
}

void TestLinkLabel::doubleClickClicksOnce()
{
    TabcURLLabel *label = makeProgramLabel();
    int clicks = 0, doubles = 0;
    label->OnClick = [&clicks](QObject *) { ++clicks; };
    label->OnDblClick = [&doubles](QObject *) { ++doubles; };
    QTest::mouseDClick(m_window->windowHandle(), Qt::LeftButton, Qt::NoModifier, centre());
    QCOMPARE(clicks, 1);
    QCOMPARE(doubles, 1);
    QCOMPARE(g_started.size(), 1);
    // The second press still shows the press look until its release.
    QVERIFY(!label->pressed());
}

void TestLinkLabel::autoSizeMeasuresOwnText_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("showAccelChar");
    QTest::addColumn<QString>("drawn"); // what the label must be as wide as, drawn without prefixes

    QTest::newRow("prefix on: W&W is WW") << u"W&W"_s << true << u"WW"_s;
    QTest::newRow("prefix off: W&W shows the ampersand") << u"W&W"_s << false << u"W&W"_s;
}

void TestLinkLabel::autoSizeMeasuresOwnText()
{
    QFETCH(QString, caption);
    QFETCH(bool, showAccelChar);
    QFETCH(QString, drawn);

    QFont font(u"DejaVu Sans"_s);
    font.setPixelSize(20);
    const QFontMetrics metrics(font);
    const int expected = metrics.boundingRect(QRect(0, 0, 1000, 1000), Qt::TextExpandTabs, drawn).width();
    for (bool mouseLabel : {true, false}) {
        tk::TLabel *label = mouseLabel ? static_cast<tk::TLabel *>(new TabcMouseLabel(m_window.get()))
                                       : new TabcMultilineLabel(m_window.get());
        label->setFont(font);
        label->setCaption(caption);
        // Set after the caption: the label measures itself again.
        label->setShowAccelChar(!showAccelChar);
        label->setShowAccelChar(showAccelChar);
        QCOMPARE(label->width(), expected);
    }
    // A tab goes on to the next tab stop, not one blank.
    TabcMouseLabel tabbed(m_window.get());
    tabbed.setFont(font);
    tabbed.setCaption(u"a\tb"_s);
    QVERIFY2(tabbed.width() > metrics.horizontalAdvance(u"a b"_s) + 10,
             qPrintable(QString::number(tabbed.width())));
}

void TestLinkLabel::mouseEvents()
{
    TabcURLLabel *label = makeProgramLabel();
    QStringList seen;
    label->OnMouseDown = [&seen](QObject *, tk::TMouseButton b, tk::TShiftState, int x, int y) {
        seen << QStringLiteral("down %1 %2,%3").arg(int(b)).arg(x).arg(y);
    };
    label->OnMouseUp = [&seen](QObject *, tk::TMouseButton b, tk::TShiftState, int x, int y) {
        seen << QStringLiteral("up %1 %2,%3").arg(int(b)).arg(x).arg(y);
    };
    label->OnMouseMove = [&seen](QObject *, tk::TShiftState, int x, int y) {
        seen << QStringLiteral("move %1,%2").arg(x).arg(y);
    };
    label->OnClick = [&seen](QObject *) { seen << u"click"_s; };
    const QPoint at = kLabelAt + QPoint(7, 5);
    QTest::mouseMove(m_window->windowHandle(), at);
    QTest::mouseClick(m_window->windowHandle(), Qt::RightButton, Qt::NoModifier, at);
    QTest::mouseClick(m_window->windowHandle(), Qt::LeftButton, Qt::NoModifier, at);
    QCOMPARE(seen, (QStringList{u"move 7,5"_s, u"down 1 7,5"_s, u"up 1 7,5"_s, u"down 0 7,5"_s, u"click"_s,
                                u"up 0 7,5"_s}));

    // A right click shows the popup menu.
    QMenu menu;
    menu.addAction(u"x"_s);
    label->setPopupMenu(&menu);
    QContextMenuEvent context(QContextMenuEvent::Mouse, at - kLabelAt, m_window->mapToGlobal(at));
    QCoreApplication::sendEvent(label, &context);
    QVERIFY(menu.isVisible());
    menu.hide();

    // Shown by a right press, the menu takes the mouse and its release: the label is not left pressed.
    QTest::mousePress(m_window->windowHandle(), Qt::RightButton, Qt::NoModifier, at);
    QTRY_VERIFY(menu.isVisible());
    QVERIFY(!label->pressed());
    QCOMPARE(tk::captureControl(), nullptr);
    QTest::mouseRelease(m_window->windowHandle(), Qt::RightButton, Qt::NoModifier, at - QPoint(5, 5));
    menu.hide();
    QVERIFY(!label->pressed());
}

void TestLinkLabel::parentColorAndFont()
{
    TabcMouseLabel label(m_window.get());
    QVERIFY(!label.ParentColor());
    label.setParentColor(true);
    QCOMPARE(label.Color(), tk::fromQColor(kBackground));
    label.setColor(tk::clRed);
    QVERIFY(!label.ParentColor());
    QCOMPARE(label.Color(), tk::clRed);

    QVERIFY(label.ParentFont());
    QFont big(u"DejaVu Sans"_s);
    big.setPixelSize(30);
    label.setCaption(u"W"_s);
    const int small = label.height();
    m_window->setFont(big);
    QVERIFY(label.height() > small); // the parent's font, measured again
    label.setParentFont(false);
    QVERIFY(!label.ParentFont());
    QFont tiny = big;
    tiny.setPixelSize(8);
    m_window->setFont(tiny);
    QCOMPARE(label.font().pixelSize(), 30);
}

void TestLinkLabel::alignFollowsParent_data()
{
    QTest::addColumn<int>("align");
    QTest::addColumn<QRect>("expected"); // in a 400 x 80 window, for a 50 x 20 label at (10, 10)
    QTest::newRow("top") << int(tk::alTop) << QRect(0, 0, 400, 20);
    QTest::newRow("bottom") << int(tk::alBottom) << QRect(0, 60, 400, 20);
    QTest::newRow("left") << int(tk::alLeft) << QRect(0, 0, 50, 80);
    QTest::newRow("right") << int(tk::alRight) << QRect(350, 0, 50, 80);
    QTest::newRow("client") << int(tk::alClient) << QRect(0, 0, 400, 80);
}

void TestLinkLabel::alignFollowsParent()
{
    QFETCH(int, align);
    QFETCH(QRect, expected);
    TabcMouseLabel label(m_window.get());
    label.setAutoSize(false);
    label.setGeometry(10, 10, 50, 20);
    m_window->show();
    label.setAlign(tk::TAlign(align));
    QCOMPARE(label.geometry(), expected);
    m_window->resize(500, 100);
    QCOMPARE(label.geometry(),
             expected.translated(align == tk::alRight ? 100 : 0, align == tk::alBottom ? 20 : 0)
                 .adjusted(0, 0, align == tk::alRight || align == tk::alLeft ? 0 : 100,
                           align == tk::alTop || align == tk::alBottom ? 0 : 20));
}

// Moved to another parent, an aligned label fills that one and follows its resizing, no longer the old
// one's.
void TestLinkLabel::alignFollowsNewParent()
{
    QWidget other;
    other.resize(300, 50);
    other.show();
    m_window->show();
    auto *label = new TabcMouseLabel(m_window.get());
    label->setAutoSize(false);
    label->setAlign(tk::alClient);
    QCOMPARE(label->geometry(), QRect(QPoint(0, 0), m_window->size()));
    label->setParent(&other);
    QCOMPARE(label->geometry(), QRect(0, 0, 300, 50));
    m_window->resize(m_window->width() + 30, m_window->height());
    QCOMPARE(label->geometry(), QRect(0, 0, 300, 50));
    other.resize(320, 60);
    QCOMPARE(label->geometry(), QRect(0, 0, 320, 60));
}

void TestLinkLabel::focusControlTakesAccelerator()
{
    auto *edit = new QLineEdit(m_window.get());
    edit->setGeometry(100, 40, 100, 20);
    auto *label = new TabcMouseLabel(m_window.get());
    label->setCaption(u"&Name"_s);
    label->setFocusControl(edit);
    auto *other = new QLineEdit(m_window.get());
    other->setGeometry(250, 40, 100, 20);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    other->setFocus();
    QVERIFY(!edit->hasFocus());
    QTest::keyClick(m_window->windowHandle(), Qt::Key_N, Qt::AltModifier);
    QTRY_VERIFY(edit->hasFocus());
}

#include "tst_abclabel.moc"
