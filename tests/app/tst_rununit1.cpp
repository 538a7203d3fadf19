#include "app/rununit1.h"
#include "app/startup.h"
#include "controls/abc/abcbtn.h"
#include "controls/abc/abclabel.h"
#include "controls/flat/TFlatButtonUnit.h"
#include "controls/flat/TFlatHintUnit.h"
#include "controls/flat/TFlatMemoUnit.h"
#include "controls/flat/TFlatPanelUnit.h"
#include "divination/RuneCatalogue.h"
#include "divination/Spread.h"
#include "tests/app/mainwindowtest.h"
#include "tests/support/errorboxes.h"
#include "toolkit/application/application.h"
#include "toolkit/pictures/jpegimage.h"
#include "toolkit/text/memotext.h"
#include "toolkit/widgets/image.h"
#include "toolkit/widgets/label.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <jerror.h>
#include <jpeglib.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

QString q(std::string_view s)
{
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

QByteArray jpegBytes(int width, int height, QColor color)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 95);
    return bytes;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

// Pixels of a picture as the slot or the window would show them: decoded by the program's own decoder.
QImage decoded(tk::Graphic &graphic)
{
    QImage image(graphic.width(), graphic.height(), QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    graphic.draw(painter, {0, 0}, image.rect());
    return image;
}

bool near(QColor a, QColor b, int tolerance = 6)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

// A JPEG whose frame header claims 30000 x 30000 pixels while its data are those of a small picture.
QByteArray absurdlyLargeJpeg()
{
    QByteArray bytes = jpegBytes(64, 64, QColor(40, 160, 220));
    for (qsizetype i = 0; i + 8 < bytes.size(); ++i) {
        const auto marker = static_cast<unsigned char>(bytes[i + 1]);
        if (static_cast<unsigned char>(bytes[i]) == 0xFF && (marker == 0xC0 || marker == 0xC2)) {
            bytes[i + 5] = char(30000 >> 8);
            bytes[i + 6] = char(30000 & 0xFF);
            bytes[i + 7] = char(30000 >> 8);
            bytes[i + 8] = char(30000 & 0xFF);
            break;
        }
    }
    return bytes;
}

} // namespace

class TestMainWindow : public MainWindowTest {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void window();
    void layout_data();
    void layout();
    void hints_data();
    void hints();
    void initialState();
    void stacking();
    void backgroundPlacement();
    void firstFrameDecodesOnce_data();
    void firstFrameDecodesOnce();
    void slotClipping_data();
    void slotClipping();

    void slotBeforeDraw_data();
    void slotBeforeDraw();
    void divineThenSlot_data();
    void divineThenSlot();
    void rightSlotUnderOpenPanel();
    void closeAndReopen();
    void secondDrawReplacesEverything();
    void exitWhilePanelOpen();
    void exitButton();
    void helpShowsFile();
    void helpMissing();
    void folderMissing();
    void badPicture_data();
    void badPicture();
    void absurdPictureSize();
    void pictureCutShortPaints();
    void helpLineEnds();
    void badHelpFile_data();
    void badHelpFile();
    void slotHintIsShortMeaning();
    void buttonLooks();

private:
    QWidget *control(const QString &name) const;
    QImage grab() const { return m_form->grab().toImage(); }
};

void TestMainWindow::init()
{
    openWindow();
}

void TestMainWindow::cleanup()
{
    closeWindow();
}

QWidget *TestMainWindow::control(const QString &name) const
{
    Tform1 *f = m_form.get();
    const std::pair<const char16_t *, QWidget *> all[] = {
        {u"Image1", f->Image1},
        {u"run1", f->run1},
        {u"run2", f->run2},
        {u"run3", f->run3},
        {u"Label1", f->Label1},
        {u"abcRepSpeedBtn1", f->abcRepSpeedBtn1},
        {u"abcRepSpeedBtn2", f->abcRepSpeedBtn2},
        {u"abcRepSpeedBtn3", f->abcRepSpeedBtn3},
        {u"abcURLLabel1", f->abcURLLabel1},
        {u"FlatPanel1", f->FlatPanel1},
        {u"FlatButton1", f->FlatButton1},
        {u"FlatMemo1", f->FlatMemo1},
    };
    for (const auto &[n, w] : all)
        if (name == QStringView(n))
            return w;
    return nullptr;
}

void TestMainWindow::window()
{
    QVERIFY(m_form->windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(m_form->size(), QSize(572, 299));
    QCOMPARE(m_form->minimumSize(), QSize(572, 299));
    QCOMPARE(m_form->maximumSize(), QSize(572, 299));
    const QRect desktop = QGuiApplication::primaryScreen()->geometry();
    QCOMPARE(m_form->pos(), QPoint((desktop.width() - 572) / 2, (desktop.height() - 299) / 2));
    QCOMPARE(tk::Application::instance()->Title, u"ORMEX"_s);
    QCOMPARE(tk::Application::instance()->MainForm(), m_form.get());
    QCOMPARE(m_form->cursor().shape(), Qt::ArrowCursor);
    QCOMPARE(m_form->palette().color(QPalette::Window), QColor(Qt::black));
}

void TestMainWindow::layout_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QRect>("bounds");
    QTest::newRow("Image1") << u"Image1"_s << QString() << QRect(0, 0, 572, 299);
    QTest::newRow("run1") << u"run1"_s << QString() << QRect(22, 72, 145, 177);
    QTest::newRow("run2") << u"run2"_s << QString() << QRect(209, 72, 145, 177);
    QTest::newRow("run3") << u"run3"_s << QString() << QRect(401, 71, 145, 177);
    QTest::newRow("Label1") << u"Label1"_s << QString() << QRect(32, 256, 497, 161);
    QTest::newRow("divine") << u"abcRepSpeedBtn1"_s << QString() << QRect(12, 11, 170, 45);
    QTest::newRow("help") << u"abcRepSpeedBtn2"_s << QString() << QRect(198, 11, 170, 45);
    QTest::newRow("exit") << u"abcRepSpeedBtn3"_s << QString() << QRect(387, 11, 170, 45);
    QTest::newRow("panel") << u"FlatPanel1"_s << QString() << QRect(4, 5, 486, 284);
    QTest::newRow("close") << u"FlatButton1"_s << u"FlatPanel1"_s << QRect(407, 231, 73, 33);
    QTest::newRow("memo") << u"FlatMemo1"_s << u"FlatPanel1"_s << QRect(4, 5, 397, 260);
}

void TestMainWindow::layout()
{
    QFETCH(QString, name);
    QFETCH(QString, parent);
    QFETCH(QRect, bounds);
    QWidget *w = control(name);
    QVERIFY(w);
    QCOMPARE(w->geometry(), bounds);
    QCOMPARE(w->parentWidget(), parent.isEmpty() ? static_cast<QWidget *>(m_form.get()) : control(parent));
}

void TestMainWindow::hints_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("hint"); // empty: the control shows no hint
    QTest::addColumn<int>("cursor");
    const QString slotHint =
        u"Для того,  чтобы прочесть подробную интерпритацию руны - кликните сюда, после того, как кликните "
        "кнопку \"Гадание на рунах\". Удачного вам гадания!"_s;
    QTest::newRow("run1") << u"run1"_s << slotHint << int(Qt::PointingHandCursor);
    QTest::newRow("run2") << u"run2"_s << slotHint << int(Qt::PointingHandCursor);
    QTest::newRow("run3") << u"run3"_s << slotHint << int(Qt::PointingHandCursor);
    QTest::newRow("divine")
        << u"abcRepSpeedBtn1"_s
        << u"Для того, чтобы погадать, - мысленно сформруйте вопрос и клинкните эту кнопку. "
           "Удачного вам гадания, и пусть рунические божества вам помогут в благих делах! "
           "Будьте счастливы!!! ;-)"_s
        << int(Qt::ArrowCursor);
    QTest::newRow("help") << u"abcRepSpeedBtn2"_s << u"Справка по программе ORMEX"_s
                          << int(Qt::WhatsThisCursor);
    QTest::newRow("exit") << u"abcRepSpeedBtn3"_s
                          << u"Выход из программы тут, а вот выход из жизненной ситуации ищите сами или "
                             "попросите совета у рун."_s
                          << int(Qt::CrossCursor);
    QTest::newRow("close") << u"FlatButton1"_s << u"Закрыть справку по руне"_s << int(Qt::ArrowCursor);
    QTest::newRow("Image1") << u"Image1"_s << QString() << int(Qt::ArrowCursor);
    QTest::newRow("Label1") << u"Label1"_s << QString() << int(Qt::ArrowCursor);
    QTest::newRow("panel") << u"FlatPanel1"_s << QString() << int(Qt::ArrowCursor);
    QTest::newRow("memo") << u"FlatMemo1"_s << QString() << int(Qt::IBeamCursor);
}

void TestMainWindow::hints()
{
    QFETCH(QString, name);
    QFETCH(QString, hint);
    QFETCH(int, cursor);
    QWidget *w = control(name);
    const bool shows = tk::showHintInForce(w) && !tk::hintFor(w).isEmpty();
    QCOMPARE(shows, !hint.isEmpty());
    if (shows)
        QCOMPARE(tk::hintFor(w), hint);
    if (name != u"FlatMemo1")
        QCOMPARE(int(w->cursor().shape()), cursor);
}

void TestMainWindow::initialState()
{
    QVERIFY(!m_form->FlatPanel1->isVisible());
    QCOMPARE(m_form->FlatPanel1->Caption(), u"Справка по руне такой-то"_s);
    QCOMPARE(m_form->FlatMemo1->Text(), u"Интерпритация руны"_s);
    QCOMPARE(m_form->FlatPanel1->Color(), tk::TColor(11794687));
    QCOMPARE(m_form->FlatButton1->Color(), tk::TColor(5755391));
    QCOMPARE(m_form->Label1->Caption(), QString());
    QCOMPARE(Spread.HasDrawn, 0);
    auto *app = tk::Application::instance();
    QCOMPARE(app->hints().HintHidePause(), 99999999);
    QCOMPARE(app->hints().HintPause(), 500);
    QCOMPARE(app->hints().HintShortPause(), 25);
    QVERIFY(qobject_cast<TFlatHintWindow *>(app->hints().hintWindow()));
    QCOMPARE(FindFlatHint(), m_form->FlatHint1);
    // The three slots show the stored placeholder card.
    for (tk::TImage *slot : {m_form->run1, m_form->run2, m_form->run3})
        QCOMPARE(QSize(slot->Picture().width(), slot->Picture().height()), QSize(150, 180));
    QVERIFY(m_form->abcURLLabel1->Caption().startsWith(u"(С) "_s));
    // A press draws blue shadows; hovering adds an underline the font already has.
    QVERIFY(m_form->abcURLLabel1->MouseDownEffects() == TabcLabelMouseEffects({almColorShadow, almSound}));
    QVERIFY(m_form->abcURLLabel1->MouseOverEffects() == TabcLabelMouseEffects({almUnderline, almSound}));
    QCOMPARE(m_form->abcURLLabel1->ShowBrowser(), aswShowMaximized);
    QVERIFY(m_form->abcURLLabel1->Caption().endsWith(m_form->abcURLLabel1->URL()));
}

void TestMainWindow::stacking()
{
    Tform1 *f = m_form.get();
    QCOMPARE(f->childAt(30, 30), f->abcRepSpeedBtn1);
    QCOMPARE(f->childAt(100, 150), f->run1);
    QCOMPARE(f->childAt(190, 150), f->Image1);
    QCOMPARE(f->childAt(centreOf(f->abcURLLabel1)), f->abcURLLabel1);
    QVERIFY(QRect(4, 5, 486, 284).contains(f->abcURLLabel1->geometry()));

    click(centreOf(f->run1));
    QVERIFY(f->FlatPanel1->isVisible());
    // The open panel covers everything but the right ends of the exit button and the right slot.
    for (QPoint p :
         {QPoint(30, 30), QPoint(250, 30), QPoint(100, 150), QPoint(250, 150), centreOf(f->abcURLLabel1)}) {
        QWidget *w = f->childAt(p);
        QVERIFY2(w == f->FlatPanel1 || f->FlatPanel1->isAncestorOf(w), qPrintable(QString::number(p.x())));
    }
    QCOMPARE(f->childAt(500, 30), f->abcRepSpeedBtn3);
    QCOMPARE(f->childAt(520, 150), f->run3);
}

void TestMainWindow::firstFrameDecodesOnce_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("shown"); // picture coordinates
    QTest::newRow("Image1") << u"Image1"_s << QRect(290, 282, 572, 299);
    QTest::newRow("run1") << u"run1"_s << QRect(0, 0, 145, 177);
    QTest::newRow("run2") << u"run2"_s << QRect(0, 0, 145, 177);
    QTest::newRow("run3") << u"run3"_s << QRect(0, 0, 145, 177);
}

// The pictures are decoded ahead while the window is built; what was decoded must be what the first
// frame shows, or the paint decodes a second time on the main thread.
void TestMainWindow::firstFrameDecodesOnce()
{
    QFETCH(QString, name);
    QFETCH(QRect, shown);
    grab();
    auto *image = qobject_cast<tk::TImage *>(control(name));
    QVERIFY(image);
    auto *jpeg = dynamic_cast<tk::JpegImage *>(image->Picture().graphic());
    QVERIFY(jpeg);
    QVERIFY(jpeg->decodedRect().contains(shown));
    QCOMPARE(jpeg->decodeCount(), 1);
}

void TestMainWindow::backgroundPlacement()
{
    QCOMPARE(m_form->Image1->pictureOrigin(), QPoint(-290, -282));
    QCOMPARE(m_form->Image1->Picture().width(), 1152);
    QCOMPARE(m_form->Image1->Picture().height(), 864);
    tk::JpegImage background;
    QFile file(u":/assets/background.jpg"_s);
    QVERIFY(file.open(QIODevice::ReadOnly));
    background.loadFromData(file.readAll());
    const QImage full = decoded(background);
    const QImage shown = grab();
    for (QPoint p : {QPoint(2, 2), QPoint(190, 150), QPoint(380, 150), QPoint(560, 290), QPoint(571, 298)})
        QVERIFY2(near(shown.pixelColor(p), full.pixelColor(p + QPoint(290, 282))),
                 qPrintable(QString::number(p.x())));
}

void TestMainWindow::slotClipping_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("larger than the slot: clipped right and below") << QSize(300, 300);
    QTest::newRow("smaller: the background shows around it") << QSize(50, 60);
}

void TestMainWindow::slotClipping()
{
    QFETCH(QSize, size);
    const QColor magenta(255, 0, 255);
    writeFile(gPath(u"pic.jpg"_s), jpegBytes(size.width(), size.height(), magenta));
    m_form->run1->Picture().LoadFromFile(u"g\\pic.jpg"_s);
    QCoreApplication::processEvents();
    const QImage shown = grab();
    const QPoint slot = m_form->run1->pos();
    const int w = std::min(size.width(), 145), h = std::min(size.height(), 177);
    QVERIFY(near(shown.pixelColor(slot), magenta, 12));
    QVERIFY(near(shown.pixelColor(slot + QPoint(w - 1, h - 1)), magenta, 12));
    // Right of the slot lies background, whatever the picture's size.
    QVERIFY(!near(shown.pixelColor(slot + QPoint(145, 10)), magenta, 60));
    if (size.width() < 145)
        QVERIFY(!near(shown.pixelColor(slot + QPoint(100, 100)), magenta, 60));
}

void TestMainWindow::slotBeforeDraw_data()
{
    QTest::addColumn<int>("slot");
    QTest::newRow("left") << 1;
    QTest::newRow("middle") << 2;
    QTest::newRow("right") << 3;
}

void TestMainWindow::slotBeforeDraw()
{
    QFETCH(int, slot);
    tk::TImage *slots[] = {nullptr, m_form->run1, m_form->run2, m_form->run3};
    click(centreOf(slots[slot]));
    QVERIFY(m_form->FlatPanel1->isVisible());
    QCOMPARE(m_form->FlatMemo1->Text(), u"Вы еще не разу не кликали кнопку \"Гадание на рунах\"... "_s);
    QCOMPARE(m_form->FlatButton1->Hint(),
             u"Закрыть справку по руне.\nНадеюсь, вы узнали много нового и интересного :-)"_s);
    QCOMPARE(m_form->FlatPanel1->Caption(), u"Справка по руне такой-то"_s);
}

void TestMainWindow::divineThenSlot_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("slot");
    QTest::newRow("00:00:00.000 middle") << 0u << 2;
    QTest::newRow("12:34:56.789 left") << 45296789u << 1;
    // A time of day whose middle reading is the blank rune, whose text ends with its description.
    quint32 wierd = 0;
    for (; wierd < 86'400'000u; ++wierd) {
        drawFromSeed(wierd);
        if (Spread.SpreadIndexes[SpreadMiddle] == 41)
            break;
    }
    QTest::newRow("blank rune in the middle") << wierd << 2;
}

void TestMainWindow::divineThenSlot()
{
    QFETCH(quint32, seed);
    QFETCH(int, slot);
    g_seed = seed;
    ErrorBoxes boxes;
    divine();
    QCOMPARE(boxes.texts, QStringList());
    QCOMPARE(Spread.HasDrawn, 1);
    drawFromSeed(seed);
    const auto expected = Spread.SpreadIndexes;
    tk::TImage *slots[] = {nullptr, m_form->run1, m_form->run2, m_form->run3};
    for (int p = 1; p <= 3; ++p) {
        QCOMPARE(slots[p]->Hint(), q(RuneCatalogue::ShortMeaning(expected[p])));
        QCOMPARE(slots[p]->Picture().width(), 145);
    }
    QVERIFY(!m_form->FlatPanel1->isVisible()); // the draw leaves the panel alone

    click(centreOf(slots[slot]));
    const int index = expected[slot];
    QCOMPARE(m_form->FlatMemo1->Text(), tk::adjustLineBreaks(q(RuneCatalogue::Interpretation(index))));
    // Short meaning, empty line, description, empty line, magic section.
    const QStringList lines = m_form->FlatMemo1->toPlainText().split(u'\n');
    const RuneReading &reading = RuneCatalogue::reading(index);
    QCOMPARE(lines.value(0), q(reading.ShortMeaning));
    QCOMPARE(lines.value(1), QString());
    QCOMPARE(lines.value(2), q(reading.Description));
    if (index == 41) {
        QCOMPARE(lines.size(), 3);
    } else {
        QCOMPARE(lines.value(3), QString());
        QCOMPARE(lines.value(4), q(reading.MagicSection));
        QCOMPARE(lines.size(), 5);
    }
}

void TestMainWindow::rightSlotUnderOpenPanel()
{
    divine(); // seed 0: readings 1, 2 and 36
    click(centreOf(m_form->abcRepSpeedBtn2));
    QVERIFY(m_form->FlatPanel1->isVisible());
    QVERIFY(m_form->FlatButton1->Hint().startsWith(u"Закрыть справку по программе."_s));
    click(QPoint(520, 150));
    QCOMPARE(m_form->FlatMemo1->Text(), tk::adjustLineBreaks(q(RuneCatalogue::Interpretation(36))));
    QVERIFY(m_form->FlatButton1->Hint().startsWith(u"Закрыть справку по руне."_s));
    QCOMPARE(m_form->FlatPanel1->Caption(), u"Справка по руне такой-то"_s);

    click(QPoint(100, 150)); // lands on the panel's text box, not on the left slot
    QCOMPARE(m_form->FlatMemo1->Text(), tk::adjustLineBreaks(q(RuneCatalogue::Interpretation(36))));
}

void TestMainWindow::closeAndReopen()
{
    divine();
    click(centreOf(m_form->run1));
    QCOMPARE(m_form->FlatMemo1->Text(), tk::adjustLineBreaks(q(RuneCatalogue::Interpretation(1))));
    click(centreOf(m_form->FlatButton1));
    QVERIFY(!m_form->FlatPanel1->isVisible());
    // Hidden, the panel keeps its text and the close button its hint.
    QCOMPARE(m_form->FlatMemo1->Text(), tk::adjustLineBreaks(q(RuneCatalogue::Interpretation(1))));
    QVERIFY(m_form->FlatButton1->Hint().startsWith(u"Закрыть справку по руне."_s));

    click(centreOf(m_form->run3));
    QCOMPARE(m_form->FlatMemo1->Text(), tk::adjustLineBreaks(q(RuneCatalogue::Interpretation(36))));
}

void TestMainWindow::secondDrawReplacesEverything()
{
    divine();
    const tk::Graphic *first[] = {m_form->run1->Picture().graphic(), m_form->run2->Picture().graphic(),
                                  m_form->run3->Picture().graphic()};
    g_seed = 45296789; // readings 21, 12, 15
    divine();
    const int expected[] = {21, 12, 15};
    tk::TImage *slots[] = {m_form->run1, m_form->run2, m_form->run3};
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(slots[i]->Hint(), q(RuneCatalogue::ShortMeaning(expected[i])));
        QVERIFY(slots[i]->Picture().graphic() != first[i]);
        QCOMPARE(Spread.SpreadTexts[i + 1], RuneCatalogue::Interpretation(expected[i]));
    }
}

void TestMainWindow::exitWhilePanelOpen()
{
    click(centreOf(m_form->run1));
    QVERIFY(m_form->FlatPanel1->isVisible());
    click(QPoint(500, 30)); // the exit button's uncovered right end
    QVERIFY(!m_form->isVisible());
}

void TestMainWindow::exitButton()
{
    click(centreOf(m_form->abcRepSpeedBtn3));
    QVERIFY(!m_form->isVisible());
}

void TestMainWindow::helpShowsFile()
{
    QFile file(gPath(u"readme.txt"_s));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    click(centreOf(m_form->abcRepSpeedBtn2));
    QVERIFY(m_form->FlatPanel1->isVisible());
    QCOMPARE(m_form->FlatMemo1->Text().size(), bytes.size()); // CP1251: one byte, one character
    QVERIFY(m_form->FlatMemo1->Text().contains(u"Гадание на Рунах"_s));
    QCOMPARE(m_form->FlatButton1->Hint(),
             u"Закрыть справку по программе.\nНадеюсь, вы узнали много нового и интересного :-)"_s);
}

void TestMainWindow::helpMissing()
{
    QVERIFY(QFile::remove(gPath(u"readme.txt"_s)));
    click(centreOf(m_form->run2)); // the panel now shows the not-yet-drawn message
    const QString before = m_form->FlatMemo1->Text();
    click(centreOf(m_form->FlatButton1));
    ErrorBoxes boxes;
    click(centreOf(m_form->abcRepSpeedBtn2));
    QCOMPARE(boxes.texts, QStringList{u"Cannot open file g\\readme.txt."_s});
    QCOMPARE(boxes.captions, QStringList{u"ORMEX"_s});
    QCOMPARE(boxes.icons.value(0), QMessageBox::Critical);
    QCOMPARE(boxes.buttonCounts.value(0), 1);
    QVERIFY(m_form->FlatPanel1->isVisible());
    QCOMPARE(m_form->FlatMemo1->Text(), before);
    QVERIFY(m_form->FlatButton1->Hint().startsWith(u"Закрыть справку по программе."_s));
}

void TestMainWindow::folderMissing()
{
    QVERIFY(QDir(m_dir->filePath(u"g"_s)).removeRecursively());
    const tk::Graphic *placeholder = m_form->run1->Picture().graphic();
    ErrorBoxes boxes;
    divine();
    QCOMPARE(boxes.texts, QStringList{u"Cannot open file g\\1.jpg."_s});
    QCOMPARE(m_form->run1->Hint(), q(RuneCatalogue::ShortMeaning(1)));
    QCOMPARE(m_form->run3->Hint(), q(RuneCatalogue::ShortMeaning(36)));
    QCOMPARE(Spread.SpreadIndexes[SpreadRight], 36);
    QCOMPARE(m_form->run1->Picture().graphic(), placeholder);
    QCOMPARE(Spread.HasDrawn, 0);
    click(centreOf(m_form->run1));
    QCOMPARE(m_form->FlatMemo1->Text(), rununit1::kNotYetDrawn.text());
}

void TestMainWindow::badPicture_data()
{
    // With seed 0 the readings are 1, 2 and 36: the middle slot's picture is g\2.jpg.
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("directory");
    QTest::addColumn<QString>("message"); // a pattern
    QTest::newRow("empty") << QByteArray() << false
                           << QStringLiteral("^JPEG error #%1\\.$").arg(JERR_INPUT_EMPTY);
    QTest::newRow("not a JPEG") << QByteArray("GIF89a, or anything else") << false
                                << QStringLiteral("^JPEG error #%1\\.$").arg(JERR_NO_SOI);
    QTest::newRow("headers cut short")
        << jpegBytes(145, 177, Qt::red).left(40) << false << u"^JPEG error #\\d+\\.$"_s;
    QTest::newRow("a directory") << QByteArray() << true << u"^Cannot open file g\\\\2\\.jpg\\.$"_s;
    QTest::newRow("huge") << QByteArray() << false << u"^Picture file too large: g\\\\2\\.jpg\\.$"_s;
    QTest::newRow("unreadable") << jpegBytes(145, 177, Qt::red) << false
                                << u"^Cannot open file g\\\\2\\.jpg\\.$"_s;
}

void TestMainWindow::badPicture()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, directory);
    QFETCH(QString, message);
    QVERIFY(QFile::remove(gPath(u"2.jpg"_s)));
    if (directory)
        QVERIFY(QDir(m_dir->filePath(u"g"_s)).mkdir(u"2.jpg"_s));
    else
        writeFile(gPath(u"2.jpg"_s), content);
    if (QByteArray(QTest::currentDataTag()) == "huge") {
        // Refused before a byte of it is read; the file is a hole and takes no disk.
        QFile file(gPath(u"2.jpg"_s));
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.resize(qint64(4) * 1024 * 1024 * 1024));
    }
    if (QByteArray(QTest::currentDataTag()) == "unreadable") {
        if (::geteuid() == 0)
            QSKIP("the superuser reads every file");
        QVERIFY(QFile::setPermissions(gPath(u"2.jpg"_s), {}));
    }

    const tk::Graphic *middle = m_form->run2->Picture().graphic();
    const tk::Graphic *right = m_form->run3->Picture().graphic();
    ErrorBoxes boxes;
    divine();
    QCOMPARE(boxes.texts.size(), 1);
    QVERIFY2(QRegularExpression(message).match(boxes.texts[0]).hasMatch(), qPrintable(boxes.texts[0]));
    // The slot before the failing one shows its new picture; the failing one and the next keep theirs.
    QCOMPARE(m_form->run1->Picture().width(), 145);
    QCOMPARE(m_form->run2->Picture().graphic(), middle);
    QCOMPARE(m_form->run3->Picture().graphic(), right);
    QCOMPARE(m_form->run2->Hint(), q(RuneCatalogue::ShortMeaning(2)));
    QCOMPARE(Spread.HasDrawn, 0);
}

void TestMainWindow::absurdPictureSize()
{
    writeFile(gPath(u"1.jpg"_s), absurdlyLargeJpeg());
    ErrorBoxes boxes;
    divine();
    QCOMPARE(boxes.texts, QStringList());
    QCOMPARE(m_form->run1->Picture().width(), 30000);
    const QImage shown = grab();
    QVERIFY(near(shown.pixelColor(m_form->run1->pos() + QPoint(5, 5)), QColor(40, 160, 220), 12));
    auto *jpeg = dynamic_cast<tk::JpegImage *>(m_form->run1->Picture().graphic());
    QVERIFY(jpeg);
    // Only the part in the slot was decoded.
    QVERIFY(jpeg->decodedRect().width() <= 145 + 16);
    QVERIFY(jpeg->decodedRect().height() <= 177 + 16);
}

void TestMainWindow::pictureCutShortPaints()
{
    QFile file(gPath(u"1.jpg"_s));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray whole = file.readAll();
    file.close();
    writeFile(gPath(u"1.jpg"_s), whole.left(whole.size() / 2));
    ErrorBoxes boxes;
    divine();
    grab();
    m_form->run1->repaint();
    grab();
    QCOMPARE(boxes.texts, QStringList());
    QCOMPARE(m_form->run1->Picture().width(), 145);
}

void TestMainWindow::helpLineEnds()
{
    writeFile(gPath(u"readme.txt"_s), "first\r\nsecond\r\n\r\nfourth");
    click(centreOf(m_form->abcRepSpeedBtn2));
    const QString crlf = m_form->FlatMemo1->Text();
    const QString shownCrlf = m_form->FlatMemo1->toPlainText();
    click(centreOf(m_form->FlatButton1));
    writeFile(gPath(u"readme.txt"_s), "first\nsecond\n\nfourth");
    click(centreOf(m_form->abcRepSpeedBtn2));
    QCOMPARE(m_form->FlatMemo1->Text(), crlf);
    QCOMPARE(m_form->FlatMemo1->toPlainText(), shownCrlf);
    QCOMPARE(m_form->FlatMemo1->toPlainText().split(u'\n').size(), 4);
}

void TestMainWindow::badHelpFile_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<qint64>("sparseSize"); // > 0: a file of this size, written as a hole
    QTest::addColumn<QString>("message");   // empty: no error
    QTest::addColumn<bool>("keepsText");
    const QString tooLong = u"Text exceeds memo capacity."_s;
    QTest::newRow("empty") << QByteArray() << qint64(0) << QString() << false;
    QByteArray binary;
    for (int b = 0; b < 256; ++b)
        binary.append(char(b));
    QTest::newRow("binary") << binary << qint64(0) << QString() << false;
    QTest::newRow("exactly the capacity")
        << QByteArray(tk::kMemoCapacity, 'x') << qint64(0) << QString() << false;
    QByteArray overByLineBreak(tk::kMemoCapacity, 'x');
    overByLineBreak[100] = '\n'; // becomes CR LF: one character more than the box holds
    QTest::newRow("capacity reached by a line break") << overByLineBreak << qint64(0) << tooLong << true;
    QTest::newRow("huge") << QByteArray() << qint64(8) * 1024 * 1024 * 1024 << tooLong << true;
}

void TestMainWindow::badHelpFile()
{
    QFETCH(QByteArray, content);
    QFETCH(qint64, sparseSize);
    QFETCH(QString, message);
    QFETCH(bool, keepsText);
    {
        QFile file(gPath(u"readme.txt"_s));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
        if (sparseSize > 0)
            QVERIFY(file.resize(sparseSize));
    }
    const QString before = m_form->FlatMemo1->Text();
    ErrorBoxes boxes;
    click(centreOf(m_form->abcRepSpeedBtn2));
    QCOMPARE(boxes.texts, message.isEmpty() ? QStringList() : QStringList{message});
    QVERIFY(m_form->FlatPanel1->isVisible());
    if (keepsText)
        QCOMPARE(m_form->FlatMemo1->Text(), before);
    else
        QCOMPARE(m_form->FlatMemo1->Text().size(), qsizetype(content.size() + content.count('\n') +
                                                             content.count('\r') - content.count("\r\n")));
}

void TestMainWindow::slotHintIsShortMeaning()
{
    divine();
    QCursor::setPos(m_form->mapToGlobal(centreOf(m_form->run2)));
    auto *app = tk::Application::instance();
    QTRY_VERIFY(app->hints().hintWindow() && app->hints().hintWindow()->isVisible());
    auto *window = qobject_cast<TFlatHintWindow *>(app->hints().hintWindow());
    QVERIFY(window);
    QCOMPARE(window->Caption(), q(RuneCatalogue::ShortMeaning(2)));
    QVERIFY(window->width() <= 400);
    QCursor::setPos(m_form->mapToGlobal(QPoint(190, 150))); // background: no hint there
    QTRY_VERIFY(!app->hints().hintWindow()->isVisible());
}

void TestMainWindow::buttonLooks()
{
    TabcRepSpeedBtn *button = m_form->abcRepSpeedBtn3;
    const QPoint centre = centreOf(button);
    const QColor highlight(255, 255, 255), shadow(128, 128, 128);
    // At rest: no frame, the picture's column 3, row 4 in the corner.
    QImage look = button->grab().toImage();
    QVERIFY(look.pixelColor(0, 0) != highlight || look.pixelColor(169, 44) != shadow);

    QCursor::setPos(m_form->mapToGlobal(centre));
    QTRY_VERIFY(button->MouseInside());
    look = button->grab().toImage();
    QCOMPARE(look.pixelColor(0, 0), highlight); // raised: top and left light
    QCOMPARE(look.pixelColor(169, 44), shadow); // right and bottom dark
    QCOMPARE(look.pixelColor(169, 0), shadow);  // the top-right corner belongs to the right side

    QTest::mousePress(m_form->windowHandle(), Qt::LeftButton, Qt::NoModifier, centre);
    look = button->grab().toImage();
    QCOMPARE(look.pixelColor(0, 0), shadow); // sunken: top and left dark
    QCOMPARE(look.pixelColor(169, 44), highlight);
    QTest::mouseRelease(m_form->windowHandle(), Qt::LeftButton, Qt::NoModifier, centre);
    QVERIFY(!m_form->isVisible()); // the exit button's click
}

int main(int argc, char *argv[])
{
    runModuleStartup();
    tk::Application app(argc, argv);
    initialiseApplication(app);
    TestMainWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_rununit1.moc"
