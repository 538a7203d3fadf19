#include "toolkit/application/dialogframe.h"

#include "toolkit/painting/colors.h"

#include <QDialog>
#include <QImage>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

// A dialog with a message in a layout and the program's own frame, shown.
struct FramedDialog {
    explicit FramedDialog(const QString &title = u"ORMEX"_s)
    {
        dialog.setWindowTitle(title);
        auto *layout = new QVBoxLayout(&dialog);
        message = new QLabel(u"Cannot open file g\\readme.txt."_s);
        layout->addWidget(message);
        frame = new tk::DialogFrame(&dialog);
        dialog.resize(260, 100);
        dialog.show();
    }

    QDialog dialog;
    QLabel *message = nullptr;
    tk::DialogFrame *frame = nullptr;
};

QColor colorOf(tk::TColor color)
{
    return tk::toQColor(color);
}

// The colours found in a rectangle of an image.
QSet<QRgb> colorsIn(const QImage &image, const QRect &r)
{
    QSet<QRgb> found;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            found.insert(image.pixel(x, y) & RGB_MASK);
    return found;
}

} // namespace

class TestDialogFrame : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void contentsLieInsideTheFrame();
    void edgeBarAndCross();
    void captionGreyWhileInactive();
    void closeButtonClosesOnlyOnItsRelease();
    void barMovesTheWindow();
    void neededWidthHoldsTheCaption_data();
    void neededWidthHoldsTheCaption();
};

void TestDialogFrame::contentsLieInsideTheFrame()
{
    FramedDialog framed;
    QVERIFY(QTest::qWaitForWindowExposed(&framed.dialog));
    const Qt::WindowFlags flags = framed.dialog.windowFlags();
    QCOMPARE(flags & Qt::WindowType_Mask, Qt::Dialog);
    QVERIFY(flags.testFlag(Qt::FramelessWindowHint));

    const int border = tk::DialogFrame::kBorder;
    const QRect bar(border, border, framed.dialog.width() - 2 * border, tk::DialogFrame::kBarHeight);
    QCOMPARE(framed.frame->geometry(), bar);
    const QRect inside = framed.dialog.rect().adjusted(border, bar.bottom() + 1, -border, -border);
    QVERIFY(inside.contains(framed.message->geometry()));
    // The close button at the bar's right end, whole.
    const QRect close = framed.frame->closeButton()->geometry();
    QVERIFY(framed.frame->rect().contains(close));
    QVERIFY(close.right() > framed.frame->width() - 8);
    QVERIFY(framed.frame->closeButton()->focusPolicy() == Qt::NoFocus);

    // The bar follows the dialog's width.
    framed.dialog.resize(400, 120);
    QCOMPARE(framed.frame->width(), 400 - 2 * border);
    QCOMPARE(framed.frame->closeButton()->geometry().right(), close.right() + 400 - 260);
}

void TestDialogFrame::edgeBarAndCross()
{
    FramedDialog framed;
    QVERIFY(QTest::qWaitForWindowExposed(&framed.dialog));
    const QImage image = framed.dialog.grab().toImage();
    const int w = image.width(), h = image.height();
    // The raised window edge, ring inside ring, as the program's other frames have it.
    QCOMPARE(image.pixelColor(0, 0), colorOf(tk::cl3DLight));
    QCOMPARE(image.pixelColor(w - 1, h - 1), colorOf(tk::cl3DDkShadow));
    QCOMPARE(image.pixelColor(1, 1), colorOf(tk::clBtnHighlight));
    QCOMPARE(image.pixelColor(w - 2, h - 2), colorOf(tk::clBtnShadow));
    QCOMPARE(image.pixelColor(w / 2, 0), colorOf(tk::cl3DLight));
    QCOMPARE(image.pixelColor(0, h / 2), colorOf(tk::cl3DLight));

    // The cross on the close button: the middle row's pair meets in the middle.
    const QRect close = framed.frame->closeButton()->geometry().translated(framed.frame->pos());
    const QColor text = colorOf(tk::clBtnText);
    QCOMPARE(image.pixelColor(close.center().x(), close.top() + close.height() / 2), text);
    // A push button's edges: white and black outside, light grey and grey inside.
    QCOMPARE(image.pixelColor(close.left(), close.top()), colorOf(tk::clBtnHighlight));
    QCOMPARE(image.pixelColor(close.right(), close.bottom()), colorOf(tk::cl3DDkShadow));
    QCOMPARE(image.pixelColor(close.left() + 1, close.top() + 1), colorOf(tk::cl3DLight));
    QCOMPARE(image.pixelColor(close.right() - 1, close.bottom() - 1), colorOf(tk::clBtnShadow));
}

void TestDialogFrame::captionGreyWhileInactive()
{
    FramedDialog framed;
    framed.dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&framed.dialog));
    const QRect caption(tk::DialogFrame::kBorder, tk::DialogFrame::kBorder,
                        framed.frame->closeButton()->x() - 4, tk::DialogFrame::kBarHeight);
    QImage image = framed.dialog.grab().toImage();
    QVERIFY(colorsIn(image, caption).contains(colorOf(tk::clBtnText).rgb() & RGB_MASK));
    QVERIFY(!colorsIn(image, caption).contains(colorOf(tk::clGrayText).rgb() & RGB_MASK));

    QWidget other;
    other.resize(50, 50);
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    image = framed.dialog.grab().toImage();
    QVERIFY(colorsIn(image, caption).contains(colorOf(tk::clGrayText).rgb() & RGB_MASK));
    QVERIFY(!colorsIn(image, caption).contains(colorOf(tk::clBtnText).rgb() & RGB_MASK));
}

void TestDialogFrame::closeButtonClosesOnlyOnItsRelease()
{
    FramedDialog framed;
    QVERIFY(QTest::qWaitForWindowExposed(&framed.dialog));
    QSignalSpy finished(&framed.dialog, &QDialog::finished);
    QAbstractButton *close = framed.frame->closeButton();

    // Pressed, then released elsewhere: the press is taken back, as on any button.
    QTest::mousePress(close, Qt::LeftButton, {}, close->rect().center());
    QVERIFY(close->isDown());
    // Shown pressed: sunken, dark at the top left.
    QCOMPARE(close->grab().toImage().pixelColor(0, 0), colorOf(tk::cl3DDkShadow));
    QTest::mouseRelease(close, Qt::LeftButton, {}, QPoint(-20, 5));
    QVERIFY(!close->isDown());
    QVERIFY(framed.dialog.isVisible());
    QCOMPARE(finished.size(), 0);

    QTest::mouseClick(close, Qt::LeftButton, {}, close->rect().center());
    QVERIFY(!framed.dialog.isVisible());
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.at(0).at(0).toInt(), int(QDialog::Rejected));
}

void TestDialogFrame::barMovesTheWindow()
{
    FramedDialog framed;
    QVERIFY(QTest::qWaitForWindowExposed(&framed.dialog));
    const QPoint before = framed.dialog.pos();
    tk::DialogFrame *bar = framed.frame;
    // Left of the close button: the caption's part of the bar.
    const QPoint pressed(20, bar->height() / 2);
    const QPoint pressedGlobal = bar->mapToGlobal(pressed);
    QTest::mousePress(bar, Qt::LeftButton, {}, pressed);
    QPoint global = pressedGlobal;
    for (int step = 1; step <= 10; ++step) {
        global = pressedGlobal + QPoint(3 * step, 2 * step);
        QMouseEvent move(QEvent::MouseMove, bar->mapFromGlobal(global), global, Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(bar, &move);
    }
    QTest::mouseRelease(bar, Qt::LeftButton, {}, bar->mapFromGlobal(global));
    // No window manager here takes the move: the window follows the pointer itself.
    QCOMPARE(framed.dialog.pos(), before + QPoint(30, 20));
    QVERIFY(framed.dialog.isVisible());
}

void TestDialogFrame::neededWidthHoldsTheCaption_data()
{
    QTest::addColumn<QString>("title");
    QTest::newRow("short") << u"ORMEX"_s;
    QTest::newRow("long") << u"ORMEX, the runes, their readings and their help"_s;
    QTest::newRow("Cyrillic") << u"Справка по программе ORMEX"_s;
    QTest::newRow("empty") << QString();
}

// Given the width it asks for, the bar shows the whole caption left of the close button.
void TestDialogFrame::neededWidthHoldsTheCaption()
{
    QFETCH(QString, title);
    FramedDialog framed(title);
    framed.dialog.resize(framed.frame->neededWidth(), 100);
    QFont bold = framed.dialog.font();
    bold.setBold(true);
    const int captionEnd = tk::DialogFrame::kBorder + tk::DialogFrame::kCaptionIndent +
                           QFontMetrics(bold).horizontalAdvance(title);
    QVERIFY2(captionEnd < framed.frame->pos().x() + framed.frame->closeButton()->x(),
             qPrintable(u"caption ends at %1, the button begins at %2"_s.arg(captionEnd)
                            .arg(framed.frame->pos().x() + framed.frame->closeButton()->x())));
}

QTEST_MAIN(TestDialogFrame)

#include "tst_dialogframe.moc"
