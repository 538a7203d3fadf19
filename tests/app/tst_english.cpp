#include "app/language.h"
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
#include "toolkit/text/cp1251.h"
#include "toolkit/text/memotext.h"
#include "toolkit/widgets/image.h"
#include "toolkit/widgets/label.h"

#include <QAccessible>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

// The window as a desktop in English shows it: this program chooses its language as the real one does,
// from LANGUAGE=en set before the application starts.

namespace {

QString q(std::string_view s)
{
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

QByteArray solidJpeg(QColor color)
{
    QImage image(145, 177, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 95);
    return bytes;
}

bool near(QColor a, QColor b, int tolerance = 6)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

const QColor kMarker(20, 200, 40);

} // namespace

class TestEnglish : public MainWindowTest {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void languageChosen();
    void noCyrillicVisible_data();
    void noCyrillicVisible();
    void readingsInEnglish_data();
    void readingsInEnglish();
    void cardsWithWordsAreEnglish();
    void helpIsEnglish();
    void englishHelpMissing();
    void buttonFacesAreEnglish_data();
    void buttonFacesAreEnglish();

private:
    QStringList cyrillicTexts() const;
};

void TestEnglish::init()
{
    openWindow();
}

void TestEnglish::cleanup()
{
    closeWindow();
}

// Every text the window shows or tells: hints, captions, the panel's text, and what a screen reader
// reads of each control (name, description, value).
QStringList TestEnglish::cyrillicTexts() const
{
    static const QRegularExpression cyrillic(u"\\p{Cyrillic}"_s);
    QList<QWidget *> widgets = m_form->findChildren<QWidget *>();
    widgets.prepend(m_form.get());
    QStringList found;
    const auto check = [&](QWidget *w, const QString &what, const QString &text) {
        if (text.contains(cyrillic))
            found << QString::fromLatin1(w->metaObject()->className()) + u" "_s + what + u": "_s +
                         text.left(60);
    };
    for (QWidget *w : widgets) {
        check(w, u"title"_s, w->windowTitle());
        if (auto *control = dynamic_cast<tk::Control *>(w)) {
            check(w, u"hint"_s, control->Hint());
            check(w, u"caption"_s, control->accessibleCaption());
        }
        if (auto *label = qobject_cast<tk::TLabel *>(w))
            check(w, u"caption"_s, label->Caption());
        if (auto *panel = qobject_cast<TFlatPanel *>(w))
            check(w, u"caption"_s, panel->Caption());
        if (auto *button = qobject_cast<TFlatButton *>(w))
            check(w, u"caption"_s, button->Caption());
        if (auto *memo = qobject_cast<TFlatMemo *>(w))
            check(w, u"text"_s, memo->Text());
        if (QAccessibleInterface *reader = QAccessible::queryAccessibleInterface(w)) {
            check(w, u"accessible name"_s, reader->text(QAccessible::Name));
            check(w, u"accessible description"_s, reader->text(QAccessible::Description));
            check(w, u"accessible value"_s, reader->text(QAccessible::Value));
        }
    }
    return found;
}

void TestEnglish::languageChosen()
{
    QCOMPARE(programLanguage(), Language::English);
    QCOMPARE(m_form->abcRepSpeedBtn1->accessibleName(), u"Cast the Runes"_s);
    QCOMPARE(m_form->FlatButton1->Caption(), u"Close"_s);
    // The sign in the link is a Latin C in English.
    QCOMPARE(m_form->abcURLLabel1->Caption(), u"(C) http://www.ormex.example"_s);
}

void TestEnglish::noCyrillicVisible_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<QString>("open"); // what the panel shows: nothing, a slot's reading, the help
    for (const char *open : {"", "slot", "help"})
        for (quint32 seed : {0u, 833u, 45296789u})
            QTest::addRow("%s seed %u", open, seed) << seed << QString::fromLatin1(open);
    QTest::newRow("not drawn") << 0u << u"not drawn"_s;
}

void TestEnglish::noCyrillicVisible()
{
    QFETCH(quint32, seed);
    QFETCH(QString, open);
    g_seed = seed;
    QCOMPARE(cyrillicTexts(), QStringList());
    if (open == u"not drawn") {
        click(centreOf(m_form->run2));
        QVERIFY(m_form->FlatPanel1->isVisible());
    } else {
        ErrorBoxes boxes;
        divine();
        QCOMPARE(boxes.texts, QStringList());
        if (open == u"slot")
            click(centreOf(m_form->run3));
        else if (open == u"help")
            click(centreOf(m_form->abcRepSpeedBtn2));
    }
    QCOMPARE(cyrillicTexts(), QStringList());
}

void TestEnglish::readingsInEnglish_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("slot");
    // Seed 0 draws readings 1, 2 (reversed) and 36; 833 draws 6, 15 and 33, the last a single reading.
    QTest::newRow("upright, left") << 0u << 1;
    QTest::newRow("reversed, middle") << 0u << 2;
    QTest::newRow("single, right") << 833u << 3;
}

void TestEnglish::readingsInEnglish()
{
    QFETCH(quint32, seed);
    QFETCH(int, slot);
    g_seed = seed;
    divine();
    drawFromSeed(seed, Language::English);
    const auto expected = Spread.SpreadIndexes;
    tk::TImage *slots[] = {nullptr, m_form->run1, m_form->run2, m_form->run3};
    const int index = expected[slot];
    const RuneReading &reading = RuneCatalogue::reading(index, Language::English);
    QCOMPARE(slots[slot]->Hint(), q(reading.ShortMeaning));
    const QString name = q(reading.RuneName);
    QCOMPARE(slots[slot]->accessibleName(),
             reading.Position == ReadingPosition::Reversed ? name + u", reversed"_s : name);

    click(centreOf(slots[slot]));
    QCOMPARE(m_form->FlatMemo1->Text(),
             tk::adjustLineBreaks(q(RuneCatalogue::Interpretation(index, Language::English))));
    QVERIFY(m_form->FlatButton1->Hint().startsWith(u"Close the interpretation."_s));
}

void TestEnglish::cardsWithWordsAreEnglish()
{
    // Seed 0 draws readings 1 (upright), 2 (reversed) and 36 (upright). A marked English card for the
    // reversed one shows; an upright card has no English version and shows the one there is.
    QVERIFY(QFile::exists(gPath(u"2.en.jpg"_s)));
    QVERIFY(!QFile::exists(gPath(u"1.en.jpg"_s)));
    QVERIFY(QFile::remove(gPath(u"2.en.jpg"_s)));
    QFile marked(gPath(u"2.en.jpg"_s));
    QVERIFY(marked.open(QIODevice::WriteOnly));
    marked.write(solidJpeg(kMarker));
    marked.close();
    QVERIFY(QFile::remove(gPath(u"2.en@2x.jpg"_s)));

    ErrorBoxes boxes;
    divine();
    QCOMPARE(boxes.texts, QStringList());
    const QPoint middle(72, 88);
    QVERIFY(near(m_form->run2->grab().toImage().pixelColor(middle), kMarker));
    QVERIFY(!near(m_form->run1->grab().toImage().pixelColor(middle), kMarker));
    QCOMPARE(m_form->run1->Picture().width(), 145);

    // Without the English card, the Russian one stands in, and nobody is bothered with a message.
    QVERIFY(QFile::remove(gPath(u"2.en.jpg"_s)));
    divine();
    QCOMPARE(boxes.texts, QStringList());
    QVERIFY(!near(m_form->run2->grab().toImage().pixelColor(middle), kMarker));
    QCOMPARE(m_form->run2->Picture().width(), 145);
}

void TestEnglish::helpIsEnglish()
{
    click(centreOf(m_form->abcRepSpeedBtn2));
    QFile file(gPath(u"readme.en.txt"_s));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(m_form->FlatMemo1->Text(), tk::adjustLineBreaks(tk::decodeCp1251(file.readAll())));
    QVERIFY(m_form->FlatMemo1->Text().startsWith(u"ORMEX \u2014 divination with runes\r\n"_s));
    QVERIFY(m_form->FlatButton1->Hint().startsWith(u"Close the help."_s));
}

void TestEnglish::englishHelpMissing()
{
    // The Russian file is there, but an English reader asked for the English one.
    QVERIFY(QFile::remove(gPath(u"readme.en.txt"_s)));
    QVERIFY(QFile::exists(gPath(u"readme.txt"_s)));
    ErrorBoxes boxes;
    click(centreOf(m_form->abcRepSpeedBtn2));
    QCOMPARE(boxes.texts, QStringList{u"Cannot open file g\\readme.en.txt."_s});
    QCOMPARE(boxes.buttonCounts.value(0), 1);
}

void TestEnglish::buttonFacesAreEnglish_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<QString>("face");
    QTest::newRow("divine") << 1 << u":/assets/divine.en.bmp"_s;
    QTest::newRow("help") << 2 << u":/assets/help.en.bmp"_s;
    QTest::newRow("exit") << 3 << u":/assets/exit.en.bmp"_s;
}

void TestEnglish::buttonFacesAreEnglish()
{
    QFETCH(int, button);
    QFETCH(QString, face);
    TabcRepSpeedBtn *buttons[] = {nullptr, m_form->abcRepSpeedBtn1, m_form->abcRepSpeedBtn2,
                                  m_form->abcRepSpeedBtn3};
    QCursor::setPos(m_form->mapToGlobal(QPoint(5, 290))); // nowhere near: the button at rest
    const QImage look = buttons[button]->grab().toImage();
    // At rest a button shows its picture from column 3, row 4 on.
    const QImage picture =
        QImage(face).copy(3, 4, look.width(), look.height()).convertToFormat(look.format());
    QVERIFY(!picture.isNull());
    int differing = 0;
    for (int y = 0; y < look.height(); ++y)
        for (int x = 0; x < look.width(); ++x)
            differing += !near(look.pixelColor(x, y), picture.pixelColor(x, y), 8);
    QVERIFY2(differing < look.width() * look.height() / 100, qPrintable(QString::number(differing)));
}

int main(int argc, char *argv[])
{
    qputenv("LANGUAGE", "en");
    runModuleStartup();
    tk::Application app(argc, argv);
    initialiseApplication(app);
    chooseProgramLanguage(app);
    TestEnglish test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_english.moc"
