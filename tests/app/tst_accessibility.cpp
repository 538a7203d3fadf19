#include "app/rununit1.h"
#include "app/startup.h"
#include "controls/abc/abcbtn.h"
#include "controls/abc/abclabel.h"
#include "controls/flat/TFlatButtonUnit.h"
#include "controls/flat/TFlatMemoUnit.h"
#include "controls/flat/TFlatPanelUnit.h"
#include "divination/RuneCatalogue.h"
#include "divination/Spread.h"
#include "tests/app/mainwindowtest.h"
#include "tests/support/errorboxes.h"
#include "toolkit/application/application.h"
#include "toolkit/widgets/accessibility.h"
#include "toolkit/widgets/image.h"
#include "toolkit/widgets/keyboard.h"

#include <QAccessible>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

// The main window as a screen reader and a keyboard user meet it.

namespace {

QString q(std::string_view s)
{
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

QAccessibleInterface *reader(QWidget *w)
{
    return QAccessible::queryAccessibleInterface(w);
}

// The press action as a reader runs it: the command follows from the event loop.
void readerPress(QWidget *w)
{
    QAccessibleActionInterface *actions = reader(w)->actionInterface();
    QVERIFY(actions && actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
    actions->doAction(QAccessibleActionInterface::pressAction());
    QCoreApplication::processEvents();
}

} // namespace

class TestAccessibility : public MainWindowTest {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void readerView_data();
    void readerView();
    void pressActions_data();
    void pressActions();
    void slotsAfterDraw_data();
    void slotsAfterDraw();
    void interpretationAsText();
    void tabOrder_data();
    void tabOrder();
    void commandKeys_data();
    void commandKeys();
    void keyRunsOnce_data();
    void keyRunsOnce();
    void helpKeyUnderOpenPanel();
    void nothingRunsUnderErrorBox();
    void focusMark_data();
    void focusMark();
    void linkFocusMarkAround();
    void mouseLeavesFocusAlone();
    void groupButtonsToggle_data();
    void groupButtonsToggle();
    void accelerators_data();
    void accelerators();

private:
    QWidget *control(const QString &name) const;
    void key(int k, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QTest::keyClick(m_form->windowHandle(), Qt::Key(k), mods);
        QCoreApplication::processEvents();
    }
};

void TestAccessibility::init()
{
    tk::setKeyboardInUse(false);
    openWindow();
    if (m_form)
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
}

void TestAccessibility::cleanup()
{
    closeWindow();
}

QWidget *TestAccessibility::control(const QString &name) const
{
    Tform1 *f = m_form.get();
    const std::pair<const char16_t *, QWidget *> all[] = {
        {u"Image1", f->Image1},
        {u"run1", f->run1},
        {u"run3", f->run3},
        {u"divine", f->abcRepSpeedBtn1},
        {u"help", f->abcRepSpeedBtn2},
        {u"exit", f->abcRepSpeedBtn3},
        {u"link", f->abcURLLabel1},
        {u"panel", f->FlatPanel1},
        {u"close", f->FlatButton1},
        {u"memo", f->FlatMemo1},
    };
    for (const auto &[n, w] : all)
        if (name == QStringView(n))
            return w;
    return nullptr;
}

void TestAccessibility::readerView_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("role");
    QTest::addColumn<QString>("readName");
    QTest::addColumn<QString>("description");
    QTest::addColumn<bool>("press");
    using namespace rununit1;
    const auto button = int(QAccessible::Button), graphic = int(QAccessible::Graphic);
    QTest::newRow("divine") << u"divine"_s << button << u"Гадание на Рунах"_s << kDivineHint.text() << true;
    QTest::newRow("help") << u"help"_s << button << u"Справка"_s << kHelpHint.text() << true;
    QTest::newRow("exit") << u"exit"_s << button << u"Выход"_s << kExitHint.text() << true;
    QTest::newRow("left slot") << u"run1"_s << graphic << u"Левая руна"_s << kSlotHint.text() << true;
    QTest::newRow("right slot") << u"run3"_s << graphic << u"Правая руна"_s << kSlotHint.text() << true;
    QTest::newRow("background") << u"Image1"_s << graphic << QString() << QString() << false;
    QTest::newRow("link") << u"link"_s << int(QAccessible::Link) << u"(С) "_s + kMakerUrl << kLinkHint.text()
                          << true;
    QTest::newRow("panel") << u"panel"_s << int(QAccessible::Grouping) << kPanelCaption.text() << QString()
                           << false;
    QTest::newRow("close") << u"close"_s << button << u"Закрыть"_s << kCloseHintInitial.text() << true;
}

void TestAccessibility::readerView()
{
    QFETCH(QString, name);
    QFETCH(int, role);
    QFETCH(QString, readName);
    QFETCH(QString, description);
    QFETCH(bool, press);
    QAccessibleInterface *a = reader(control(name));
    QVERIFY(a);
    QCOMPARE(int(a->role()), role);
    QCOMPARE(a->text(QAccessible::Name), readName);
    QCOMPARE(a->text(QAccessible::Description), description);
    QCOMPARE(a->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()), press);
}

void TestAccessibility::pressActions_data()
{
    QTest::addColumn<bool>("panelFirst"); // a slot's press opens the panel first
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("panelOpen");
    QTest::addColumn<QString>("memoText"); // empty: no expectation
    QTest::addColumn<bool>("drawn");
    const QString notYet = rununit1::kNotYetDrawn;
    QTest::newRow("divine draws") << false << u"divine"_s << false << QString() << true;
    QTest::newRow("a slot before a draw") << false << u"run1"_s << true << notYet << false;
    QTest::newRow("help reads the file") << false << u"help"_s << true << u"help"_s << false;
    QTest::newRow("close hides the panel") << true << u"close"_s << false << QString() << false;
    QTest::newRow("divine under the open panel is out of reach")
        << true << u"divine"_s << true << notYet << false;
}

void TestAccessibility::pressActions()
{
    QFETCH(bool, panelFirst);
    QFETCH(QString, name);
    QFETCH(bool, panelOpen);
    QFETCH(QString, memoText);
    QFETCH(bool, drawn);
    if (panelFirst)
        readerPress(m_form->run1);
    readerPress(control(name));
    QTRY_COMPARE(m_form->FlatPanel1->isVisible(), panelOpen);
    if (memoText == u"help")
        QVERIFY(m_form->FlatMemo1->Text().contains(u"ORMEX"_s));
    else if (!memoText.isEmpty())
        QCOMPARE(m_form->FlatMemo1->Text(), memoText);
    QCOMPARE(Spread.HasDrawn, drawn ? 1 : 0);
    QCOMPARE(reader(m_form->abcRepSpeedBtn1)->state().offscreen, m_form->FlatPanel1->isVisible());
}

void TestAccessibility::slotsAfterDraw_data()
{
    QTest::addColumn<bool>("folderMissing");
    QTest::newRow("pictures found: named after their cards") << false;
    QTest::newRow("no pictures: the slots keep their plain names") << true;
}

void TestAccessibility::slotsAfterDraw()
{
    QFETCH(bool, folderMissing);
    if (folderMissing)
        QVERIFY(QDir(m_dir->filePath(u"g"_s)).removeRecursively());
    {
        ErrorBoxes boxes;
        QTest::keyClick(m_form->windowHandle(), Qt::Key_Tab);
        QTest::keyClick(m_form->windowHandle(), Qt::Key_Return);
        QCOMPARE(boxes.texts.size(), folderMissing ? 1 : 0);
    }
    tk::TImage *slots[] = {m_form->run1, m_form->run2, m_form->run3};
    const QString plain[] = {u"Левая руна"_s, u"Средняя руна"_s, u"Правая руна"_s};
    for (int p = 1; p <= 3; ++p) {
        const RuneReading &r = RuneCatalogue::reading(Spread.SpreadIndexes[p]);
        QString title = q(r.RuneName);
        if (r.Position == ReadingPosition::Reversed)
            title += u", перевёрнута"_s;
        QAccessibleInterface *a = reader(slots[p - 1]);
        QCOMPARE(a->text(QAccessible::Name), folderMissing ? plain[p - 1] : title);
        QCOMPARE(a->text(QAccessible::Description), q(r.ShortMeaning));
    }
}

void TestAccessibility::interpretationAsText()
{
    readerPress(m_form->abcRepSpeedBtn1);
    readerPress(m_form->run2);
    QTRY_VERIFY(m_form->FlatPanel1->isVisible());
    QAccessibleInterface *a = reader(m_form->FlatMemo1);
    QVERIFY(a->state().readOnly);
    QVERIFY(a->state().multiLine);
    QAccessibleTextInterface *text = a->textInterface();
    QVERIFY(text);
    QString read = text->text(0, text->characterCount());
    QString expected = q(RuneCatalogue::Interpretation(Spread.SpreadIndexes[2]));
    QCOMPARE(read.remove(u'\r'), expected.remove(u'\r'));
}

void TestAccessibility::tabOrder_data()
{
    QTest::addColumn<bool>("panelOpen");
    QTest::addColumn<bool>("backwards");
    QTest::addColumn<QStringList>("visited");
    const QStringList window{u"divine"_s, u"help"_s, u"exit"_s, u"run1"_s,
                             u"run2"_s,   u"run3"_s, u"link"_s, u"divine"_s};
    QTest::newRow("window, tab") << false << false << window;
    QTest::newRow("window, shift+tab")
        << false << true << QStringList{u"link"_s, u"run3"_s, u"run2"_s, u"run1"_s, u"exit"_s};
    // F1 has put the focus on the text already.
    QTest::newRow("open panel, tab") << true << false << QStringList{u"close"_s, u"memo"_s, u"close"_s};
    QTest::newRow("open panel, shift+tab") << true << true << QStringList{u"close"_s, u"memo"_s};
}

void TestAccessibility::tabOrder()
{
    QFETCH(bool, panelOpen);
    QFETCH(bool, backwards);
    QFETCH(QStringList, visited);
    Tform1 *f = m_form.get();
    const std::pair<QWidget *, QString> names[] = {
        {f->abcRepSpeedBtn1, u"divine"_s},
        {f->abcRepSpeedBtn2, u"help"_s},
        {f->abcRepSpeedBtn3, u"exit"_s},
        {f->run1, u"run1"_s},
        {f->run2, u"run2"_s},
        {f->run3, u"run3"_s},
        {f->abcURLLabel1, u"link"_s},
        {f->FlatButton1, u"close"_s},
        {f->FlatMemo1, u"memo"_s},
    };
    if (panelOpen) {
        key(Qt::Key_F1);
        QCOMPARE(QApplication::focusWidget(), f->FlatMemo1);
    }
    QStringList seen;
    for (qsizetype i = 0; i < visited.size(); ++i) {
        key(backwards ? Qt::Key_Backtab : Qt::Key_Tab, backwards ? Qt::ShiftModifier : Qt::NoModifier);
        QString name = u"?"_s;
        for (const auto &[w, n] : names)
            if (w == QApplication::focusWidget())
                name = n;
        seen << name;
    }
    QCOMPARE(seen, visited);
}

void TestAccessibility::commandKeys_data()
{
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<bool>("panelOpen");
    QTest::addColumn<QString>("focusAfter"); // empty: the window itself
    const int tab = Qt::Key_Tab, f1 = Qt::Key_F1, esc = Qt::Key_Escape, enter = Qt::Key_Return;
    QTest::newRow("F1 opens the help on its text") << QList<int>{f1} << true << u"memo"_s;
    QTest::newRow("Escape closes it") << QList<int>{f1, esc} << false << QString();
    QTest::newRow("Escape without the panel does nothing") << QList<int>{esc} << false << QString();
    QTest::newRow("Enter on the help button") << QList<int>{tab, tab, enter} << true << u"memo"_s;
    QTest::newRow("Space on the middle slot")
        << QList<int>{tab, tab, tab, tab, tab, int(Qt::Key_Space)} << true << u"memo"_s;
    QTest::newRow("keypad Enter on the close button")
        << QList<int>{f1, tab, int(Qt::Key_Enter)} << false << QString();
    QTest::newRow("Space on the close button")
        << QList<int>{f1, tab, int(Qt::Key_Space)} << false << QString();
    QTest::newRow("Escape gives the focus back to the slot")
        << QList<int>{tab, tab, tab, tab, tab, enter, esc} << false << u"run2"_s;
    QTest::newRow("Enter on the memo does nothing") << QList<int>{f1, enter} << true << u"memo"_s;
}

void TestAccessibility::commandKeys()
{
    QFETCH(QList<int>, keys);
    QFETCH(bool, panelOpen);
    QFETCH(QString, focusAfter);
    for (int k : keys)
        key(k);
    QCOMPARE(m_form->FlatPanel1->isVisible(), panelOpen);
    QWidget *expected = m_form.get(); // the window itself: no control has it
    if (focusAfter == u"memo")
        expected = m_form->FlatMemo1;
    else if (focusAfter == u"run2")
        expected = m_form->run2;
    QCOMPARE(QApplication::focusWidget(), expected);
}

void TestAccessibility::keyRunsOnce_data()
{
    QTest::addColumn<int>("tabs"); // before the key
    QTest::addColumn<int>("heldKey");
    QTest::addColumn<bool>("marked"); // Qt recognised the repeats
    QTest::addColumn<int>("presses");
    QTest::addColumn<int>("runs");
    const int enter = Qt::Key_Return, f1 = Qt::Key_F1;
    QTest::newRow("Enter held on the divine button") << 1 << enter << true << 1 << 1;
    QTest::newRow("Enter held, repeats taken for presses") << 1 << enter << false << 1 << 1;
    QTest::newRow("F1 held") << 0 << f1 << true << 1 << 1;
    QTest::newRow("F1 held, repeats taken for presses") << 0 << f1 << false << 1 << 1;
    QTest::newRow("Enter pressed twice") << 1 << enter << false << 2 << 2;
    QTest::newRow("F1 pressed twice") << 0 << f1 << false << 2 << 2;
}

void TestAccessibility::keyRunsOnce()
{
    QFETCH(int, tabs);
    QFETCH(int, heldKey);
    QFETCH(bool, marked);
    QFETCH(int, presses);
    QFETCH(int, runs);
    int ran = 0;
    const tk::TNotifyEvent guest = m_form->abcRepSpeedBtn1->OnClick;
    m_form->abcRepSpeedBtn1->OnClick = [&](QObject *sender) {
        ++ran;
        guest(sender);
    };
    m_form->abcRepSpeedBtn2->BeforeClick = [&](QObject *, bool &) { ++ran; };
    for (int i = 0; i < tabs; ++i)
        key(Qt::Key_Tab);
    // As the X server sends them, stamped with its clock: a held key repeats every 33 ms after 500,
    // each repeat a release and a press at one time.
    quint64 now = 100000;
    auto send = [&](QEvent::Type type, bool repeat) {
        QKeyEvent event(type, heldKey, Qt::NoModifier, QString(), repeat);
        event.setTimestamp(now);
        QWidget *to = QApplication::focusWidget() ? QApplication::focusWidget() : m_form.get();
        QApplication::sendEvent(to, &event);
        QCoreApplication::processEvents();
    };
    for (int p = 0; p < presses; ++p) {
        send(QEvent::KeyPress, false);
        now += 500;
        for (int r = 0; r < 4; ++r, now += 33) {
            send(QEvent::KeyRelease, marked);
            send(QEvent::KeyPress, marked);
        }
        send(QEvent::KeyRelease, false);
        now += 90;
    }
    QCOMPARE(ran, runs);
}

void TestAccessibility::helpKeyUnderOpenPanel()
{
    for (int k :
         {int(Qt::Key_Tab), int(Qt::Key_Tab), int(Qt::Key_Tab), int(Qt::Key_Tab), int(Qt::Key_Return)})
        key(k);
    QVERIFY(m_form->FlatPanel1->isVisible());
    const QString shown = m_form->FlatMemo1->Text();
    key(Qt::Key_F1);
    QCOMPARE(m_form->FlatMemo1->Text(), shown);
    QCOMPARE(m_form->FlatButton1->Hint(), rununit1::kCloseHintRune.text());
    QCOMPARE(QApplication::focusWidget(), m_form->FlatMemo1);
}

void TestAccessibility::nothingRunsUnderErrorBox()
{
    QVERIFY(QDir(m_dir->filePath(u"g"_s)).removeRecursively());
    bool pressRan = true;
    int boxes = 0;
    QTimer answer;
    answer.setInterval(5);
    connect(&answer, &QTimer::timeout, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        if (++boxes == 1) {
            // A reader's press, the help key and Enter again all wait for the box.
            pressRan = m_form->abcRepSpeedBtn2->press();
            QTest::keyClick(m_form->windowHandle(), Qt::Key_F1);
            QTest::keyClick(m_form->windowHandle(), Qt::Key_Return);
        }
        box->button(QMessageBox::Ok)->click();
    });
    answer.start();
    key(Qt::Key_Tab);
    key(Qt::Key_Return);
    QCOMPARE(boxes, 1);
    QVERIFY(!pressRan);
    QVERIFY(!m_form->FlatPanel1->isVisible());
}

void TestAccessibility::focusMark_data()
{
    QTest::addColumn<int>("tabs");
    QTest::addColumn<QPoint>("corner"); // the mark's top-left pixel
    QTest::newRow("divine button") << 1 << QPoint(2, 2);
    QTest::newRow("left slot") << 4 << QPoint(2, 2);
    QTest::newRow("close button, after F1") << -1 << QPoint(3, 3);
}

void TestAccessibility::focusMark()
{
    QFETCH(int, tabs);
    QFETCH(QPoint, corner);
    QWidget *target = tabs > 0 ? control(tabs == 1 ? u"divine"_s : u"run1"_s) : m_form->FlatButton1;
    if (tabs < 0)
        key(Qt::Key_F1);
    QWidget *window = m_form.get();
    const QImage before = window->grab().toImage();
    // Focus without the tab key (a program's own) draws no mark.
    if (tabs > 0) {
        target->setFocus();
        QCOMPARE(window->grab().toImage(), before);
        target->clearFocus();
    }
    for (int i = 0; i < std::abs(tabs); ++i)
        key(Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), target);
    const QImage after = window->grab().toImage();
    const QPoint at = target->mapTo(window, corner);
    const QPoint skip = at + QPoint(1, 0); // the dots alternate
    const QRgb was = before.pixel(at), is = after.pixel(at);
    if (target != m_form->FlatButton1) // the close button's face lights up with the focus
        QCOMPARE(after.pixel(skip), before.pixel(skip));
    QCOMPARE(qRed(is), 255 - qRed(target == m_form->FlatButton1 ? after.pixel(skip) : was));
}

void TestAccessibility::linkFocusMarkAround()
{
    QWidget *window = m_form.get();
    QWidget *link = m_form->abcURLLabel1;
    QAccessibleInterface *windowReader = reader(window);
    const int readerChildren = windowReader->childCount();
    const QImage before = window->grab().toImage();
    for (int i = 0; i < 7; ++i)
        key(Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), link);
    const QImage marked = window->grab().toImage();
    const QRect bounds = link->geometry();
    // Not a pixel of the caption changes; the dots go round it two pixels out.
    QCOMPARE(marked.copy(bounds), before.copy(bounds));
    const QRect ring = bounds.adjusted(-2, -2, 2, 2);
    int dots = 0;
    for (int x = ring.left(); x <= ring.right(); ++x)
        for (int y : {ring.top(), ring.bottom()})
            dots += marked.pixel(x, y) != before.pixel(x, y);
    QVERIFY2(dots >= ring.width() - 2, qPrintable(QString::number(dots)));
    const QRect beyond = ring.adjusted(-1, -1, 1, 1);
    for (int x = beyond.left(); x <= beyond.right(); ++x)
        QCOMPARE(marked.pixel(x, beyond.top()), before.pixel(x, beyond.top()));
    QCOMPARE(windowReader->childCount(), readerChildren); // the dots are nothing to read
    // Gone with the focus (on to the divine button, which shows its own).
    key(Qt::Key_Tab);
    QCOMPARE(window->grab().toImage().copy(beyond), before.copy(beyond));
}

void TestAccessibility::mouseLeavesFocusAlone()
{
    QWindow *w = m_form->windowHandle();
    for (QWidget *c : {static_cast<QWidget *>(m_form->run1), static_cast<QWidget *>(m_form->FlatButton1),
                       static_cast<QWidget *>(m_form->abcRepSpeedBtn1)}) {
        QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, c->mapTo(m_form.get(), c->rect().center()));
        QCoreApplication::processEvents();
        QCOMPARE(QApplication::focusWidget(), m_form.get());
    }
    QVERIFY(!m_form->FlatPanel1->isVisible());
    QCOMPARE(Spread.HasDrawn, 1);
}

void TestAccessibility::groupButtonsToggle_data()
{
    QTest::addColumn<bool>("flat");
    QTest::addColumn<bool>("allowAllUp");
    QTest::addColumn<bool>("downBefore");
    QTest::addColumn<bool>("downAfter");
    QTest::newRow("picture button latches") << false << false << false << true;
    QTest::newRow("picture button stays down") << false << false << true << true;
    QTest::newRow("picture button may come up") << false << true << true << false;
    QTest::newRow("flat button latches") << true << false << false << true;
    QTest::newRow("flat button may come up") << true << true << true << false;
}

void TestAccessibility::groupButtonsToggle()
{
    QFETCH(bool, flat);
    QFETCH(bool, allowAllUp);
    QFETCH(bool, downBefore);
    QFETCH(bool, downAfter);
    QWidget host;
    host.resize(100, 100);
    int clicks = 0;
    QWidget *button;
    if (flat) {
        auto *b = new TFlatButton(&host);
        b->setGroupIndex(1);
        b->setAllowAllUp(allowAllUp);
        b->setDown(downBefore);
        b->OnClick = [&](QObject *) { ++clicks; };
        button = b;
    } else {
        auto *b = new TabcPicSpeedBtn(&host);
        b->setGroupIndex(1);
        b->setAllowAllUp(allowAllUp);
        b->setDown(downBefore);
        b->OnClick = [&](QObject *) { ++clicks; };
        button = b;
    }
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    QCOMPARE(reader(button)->state().checked, downBefore);
    readerPress(button);
    QTRY_COMPARE(clicks, 1);
    QCOMPARE(reader(button)->state().checked, downAfter);
}

void TestAccessibility::accelerators_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("read");
    QTest::newRow("marked letter") << u"&Закрыть"_s << u"Закрыть"_s;
    QTest::newRow("doubled ampersand") << u"A && B"_s << u"A & B"_s;
    QTest::newRow("trailing ampersand") << u"end&"_s << u"end&"_s;
}

void TestAccessibility::accelerators()
{
    QFETCH(QString, caption);
    QFETCH(QString, read);
    QCOMPARE(tk::withoutAccelerators(caption), read);
}

int main(int argc, char *argv[])
{
    runModuleStartup();
    tk::Application app(argc, argv);
    initialiseApplication(app);
    TestAccessibility test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_accessibility.moc"
