#include "controls/flat/TFlatPanelUnit.h"

#include "tests/support/errorboxes.h"
#include "toolkit/application/application.h"
#include "toolkit/base/errors.h"
#include "toolkit/painting/colors.h"
#include "toolkit/widgets/control.h"

#include "tests/support/blocks.h"
#include "tests/support/testcolors.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPointer>
#include <QStyleFactory>
#include <QTest>
#include <QWindow>

#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// The colours the tests name, as the pixels should show them.
const QColor kFrame(160, 150, 131);       // the default of both frame colours
const QColor kYellow(255, 255, 0);        // clYellow
const QColor kProgramFace(255, 248, 179); // the interpretation panel's face, 11794687
const QColor kButtonFace(212, 208, 200);  // clBtnFace of the classic scheme
const QColor kBtnHighlight(255, 255, 255);
const QColor kBtnShadow(128, 128, 128);
const QColor kText(0, 0, 0);         // clWindowText
const QColor kHostColor(40, 60, 90); // the window the panels sit on

constexpr tk::TColor kProgramFaceValue = 11794687;
// A caption that is all ink: its pixels are the text colour wherever the character lies.
const QString kBlock = QString(QChar(0x2588));

QFont pinnedFont()
{
    QFont font(u"DejaVu Sans"_s);
    font.setPixelSize(11);
    font.setHintingPreference(QFont::PreferFullHinting);
    // Hard edges: every pixel of the caption is either text or face.
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

QColor pixelOf(QWidget *widget, QPoint p)
{
    return widget->grab().toImage().pixelColor(p);
}

// A window of a plain colour for the panels to sit on.
std::unique_ptr<QWidget> makeHost(QColor color = kHostColor)
{
    auto host = std::make_unique<QWidget>();
    QPalette palette = host->palette();
    palette.setColor(QPalette::Window, color);
    host->setPalette(palette);
    host->setAutoFillBackground(true);
    host->setFont(pinnedFont());
    host->resize(600, 400);
    return host;
}

// Counts its paints, so a test can tell a repaint at once from one left for later.
class CountingPanel : public TFlatPanel {
public:
    using TFlatPanel::TFlatPanel;
    int paints = 0;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        ++paints;
        TFlatPanel::paintEvent(event);
    }
};

// The parent of the see-through tests paints every pixel in a colour of its own: red and green are the
// pixel's coordinates, so a pixel taken from the wrong place shows at once.
constexpr int kPatternBlue = 77;

QColor patternAt(QPoint p)
{
    return QColor(p.x(), p.y(), kPatternBlue);
}

class PatternParent : public QWidget {
public:
    PatternParent()
    {
        resize(200, 150);
        setFont(pinnedFont());
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        for (int y = 0; y < height(); ++y)
            for (int x = 0; x < width(); ++x)
                painter.fillRect(x, y, 1, 1, patternAt({x, y}));
    }
};

// The ink of the block caption drawn with its top-left corner at (0,0), as the font draws it.
QRect blockGlyphInk()
{
    constexpr int kMargin = 20;
    QImage image(60, 60, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setFont(pinnedFont());
        painter.setPen(Qt::black);
        painter.drawText(QRect(kMargin, kMargin, 40, 40), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                         kBlock);
    }
    QRect ink;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == QColor(Qt::black))
                ink |= QRect(x, y, 1, 1);
    return ink.translated(-kMargin, -kMargin);
}

// Where the block caption's ink lies on a panel of the given size: a single line centred vertically (the
// spare height halved, truncated) and placed horizontally by the alignment.
QRect blockInk(QSize panel, tk::TAlignment alignment)
{
    const QFontMetrics metrics(pinnedFont());
    const int advance = metrics.horizontalAdvance(kBlock);
    const int lineHeight =
        metrics.boundingRect(QRect(0, 0, 1 << 20, 1 << 20), Qt::TextSingleLine, kBlock).height();
    const int top = (panel.height() - lineHeight) / 2;
    const int left = alignment == tk::taLeftJustify    ? 0
                     : alignment == tk::taRightJustify ? panel.width() - advance
                                                       : (panel.width() - advance) / 2;
    return blockGlyphInk().translated(left, top);
}

enum PanelSetup { DefaultPanel, ProgramPanel, TinyPanel, SmallPanel };
enum ColorStep { NoStep, SetOwnColor, BackToParentColor, ParentChangesColor, Reparent };

} // namespace

Q_DECLARE_METATYPE(tk::TAlignment)
Q_DECLARE_METATYPE(PanelSetup)
Q_DECLARE_METATYPE(ColorStep)

class TestFlatPanel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void defaults();
    void faceAndFrame_data();
    void faceAndFrame();
    void parentColor_data();
    void parentColor();
    void captionFont();
    void captionPlacement_data();
    void captionPlacement();
    void captionIsSingleLine();
    void ampersands_data();
    void ampersands();
    void disabledLook_data();
    void disabledLook();
    void repaintsAtOnce_data();
    void repaintsAtOnce();
    void systemColorChange_data();
    void systemColorChange();
    void seeThrough_data();
    void seeThrough();
    void childrenCoverTheFace();
    void clicks_data();
    void clicks();
    void emptyPanelPaints();
    void failingClickHandler();
    void seeThroughWithoutParent();

private:
    tk::TColor m_savedColors[tk::SystemColorCount] = {};
};

void TestFlatPanel::init()
{
    for (int i = 0; i < tk::SystemColorCount; ++i)
        m_savedColors[i] = tk::systemColor(i);
}

void TestFlatPanel::cleanup()
{
    for (int i = 0; i < tk::SystemColorCount; ++i) {
        if (tk::systemColor(i) != m_savedColors[i])
            tk::setSystemColor(i, m_savedColors[i]);
    }
}

void TestFlatPanel::defaults()
{
    TFlatPanel orphan;
    QCOMPARE(orphan.size(), QSize(185, 41));
    QCOMPARE(orphan.pos(), QPoint(0, 0));
    QCOMPARE(orphan.Color(), tk::clBtnFace); // no parent to take a colour from yet
    QCOMPARE(orphan.ParentColor(), true);
    QCOMPARE(orphan.ParentFont(), true);
    QCOMPARE(orphan.ColorHighLight(), rgb(160, 150, 131));
    QCOMPARE(orphan.ColorShadow(), rgb(160, 150, 131));
    QCOMPARE(orphan.Transparent(), false);
    QCOMPARE(orphan.Alignment(), tk::taCenter);
    QCOMPARE(orphan.Caption(), QString());
    QCOMPARE(orphan.fontColor(), tk::clWindowText);
    // Windowed: it lies above the windowless controls of its parent.
    QVERIFY(orphan.windowed());
    QVERIFY(orphan.testAttribute(Qt::WA_OpaquePaintEvent));
}

void TestFlatPanel::faceAndFrame_data()
{
    QTest::addColumn<PanelSetup>("setup");
    QTest::addColumn<QPoint>("pixel");
    QTest::addColumn<QColor>("expected");

    // 185 x 41 with default colours on a button-face parent: all four edges in the default frame colour.
    QTest::newRow("default: top-left corner (0,0) is 160,150,131") << DefaultPanel << QPoint(0, 0) << kFrame;
    QTest::newRow("default: top-right corner (184,0) is 160,150,131")
        << DefaultPanel << QPoint(184, 0) << kFrame;
    QTest::newRow("default: bottom-left corner (0,40) is 160,150,131")
        << DefaultPanel << QPoint(0, 40) << kFrame;
    QTest::newRow("default: bottom-right corner (184,40) is 160,150,131")
        << DefaultPanel << QPoint(184, 40) << kFrame;
    QTest::newRow("default: top edge (92,0) is 160,150,131") << DefaultPanel << QPoint(92, 0) << kFrame;
    QTest::newRow("default: right edge (184,20) is 160,150,131") << DefaultPanel << QPoint(184, 20) << kFrame;
    QTest::newRow("default: face just inside (1,1) is 212,208,200")
        << DefaultPanel << QPoint(1, 1) << kButtonFace;
    QTest::newRow("default: face (183,39) is 212,208,200") << DefaultPanel << QPoint(183, 39) << kButtonFace;
    QTest::newRow("default: centre (92,20) is 212,208,200") << DefaultPanel << QPoint(92, 20) << kButtonFace;

    // The interpretation panel: 486 x 284, face 11794687, ColorShadow clYellow, ColorHighLight default.
    QTest::newRow("program: top-left corner (0,0) is 160,150,131") << ProgramPanel << QPoint(0, 0) << kFrame;
    QTest::newRow("program: top edge (243,0) is 160,150,131") << ProgramPanel << QPoint(243, 0) << kFrame;
    QTest::newRow("program: top edge's last highlight (484,0) is 160,150,131")
        << ProgramPanel << QPoint(484, 0) << kFrame;
    QTest::newRow("program: left edge (0,142) is 160,150,131") << ProgramPanel << QPoint(0, 142) << kFrame;
    QTest::newRow("program: left edge's last highlight (0,282) is 160,150,131")
        << ProgramPanel << QPoint(0, 282) << kFrame;
    QTest::newRow("program: top-right corner (485,0) is yellow") << ProgramPanel << QPoint(485, 0) << kYellow;
    QTest::newRow("program: right edge (485,142) is yellow") << ProgramPanel << QPoint(485, 142) << kYellow;
    QTest::newRow("program: bottom-right corner (485,283) is yellow")
        << ProgramPanel << QPoint(485, 283) << kYellow;
    QTest::newRow("program: bottom edge (243,283) is yellow") << ProgramPanel << QPoint(243, 283) << kYellow;
    QTest::newRow("program: bottom-left corner (0,283) is yellow")
        << ProgramPanel << QPoint(0, 283) << kYellow;
    QTest::newRow("program: face (1,1) is 255,248,179") << ProgramPanel << QPoint(1, 1) << kProgramFace;
    QTest::newRow("program: face (484,282) is 255,248,179")
        << ProgramPanel << QPoint(484, 282) << kProgramFace;
    QTest::newRow("program: face near the corner (30,270) is 255,248,179")
        << ProgramPanel << QPoint(30, 270) << kProgramFace;

    // Frames on the smallest panels: the top-left pixel alone is the highlight.
    QTest::newRow("1 x 1: the one pixel (0,0) is yellow") << TinyPanel << QPoint(0, 0) << kYellow;
    QTest::newRow("2 x 2: (0,0) is 160,150,131") << SmallPanel << QPoint(0, 0) << kFrame;
    QTest::newRow("2 x 2: (1,0) is yellow") << SmallPanel << QPoint(1, 0) << kYellow;
    QTest::newRow("2 x 2: (0,1) is yellow") << SmallPanel << QPoint(0, 1) << kYellow;
    QTest::newRow("2 x 2: (1,1) is yellow") << SmallPanel << QPoint(1, 1) << kYellow;
}

void TestFlatPanel::faceAndFrame()
{
    QFETCH(PanelSetup, setup);
    QFETCH(QPoint, pixel);
    QFETCH(QColor, expected);

    auto host = makeHost(kButtonFace);
    auto *panel = new TFlatPanel(host.get());
    switch (setup) {
    case DefaultPanel:
        break;
    case ProgramPanel:
        panel->setGeometry(4, 5, 486, 284);
        panel->setColor(kProgramFaceValue);
        panel->setColorShadow(tk::clYellow);
        break;
    case TinyPanel:
    case SmallPanel:
        panel->resize(setup == TinyPanel ? QSize(1, 1) : QSize(2, 2));
        panel->setColorShadow(tk::clYellow);
        break;
    }
    host->show();
    QCOMPARE(pixelOf(panel, pixel), expected);
}

void TestFlatPanel::parentColor_data()
{
    QTest::addColumn<bool>("parentIsPanel");
    QTest::addColumn<ColorStep>("step");
    QTest::addColumn<tk::TColor>("expectedColor");
    QTest::addColumn<bool>("expectedParentColor");

    const tk::TColor host = rgb(40, 60, 90);
    const tk::TColor other = rgb(7, 8, 9);
    // A window's colour is what its palette fills it with.
    QTest::newRow("on a window: the window's colour") << false << NoStep << host << true;
    QTest::newRow("on a window: own colour clears ParentColor")
        << false << SetOwnColor << kProgramFaceValue << false;
    QTest::newRow("on a window: ParentColor again takes the window's")
        << false << BackToParentColor << host << true;
    QTest::newRow("on a window: follows the window's new colour")
        << false << ParentChangesColor << other << true;
    QTest::newRow("on a window: moved to another window takes its colour")
        << false << Reparent << other << true;
    // A panel passes on its colour value itself, a system colour as a system colour.
    QTest::newRow("on a panel: the panel's clInfoBk") << true << NoStep << tk::clInfoBk << true;
    QTest::newRow("on a panel: own colour clears ParentColor")
        << true << SetOwnColor << kProgramFaceValue << false;
    QTest::newRow("on a panel: ParentColor again takes the panel's")
        << true << BackToParentColor << tk::clInfoBk << true;
    QTest::newRow("on a panel: follows the panel's new colour")
        << true << ParentChangesColor << other << true;
}

void TestFlatPanel::parentColor()
{
    QFETCH(bool, parentIsPanel);
    QFETCH(ColorStep, step);
    QFETCH(tk::TColor, expectedColor);
    QFETCH(bool, expectedParentColor);

    auto host = makeHost();
    auto otherHost = makeHost(QColor(7, 8, 9));
    QWidget *parent = host.get();
    TFlatPanel *outer = nullptr;
    if (parentIsPanel) {
        outer = new TFlatPanel(host.get());
        outer->setGeometry(0, 0, 400, 300);
        outer->setColor(tk::clInfoBk);
        parent = outer;
    }
    auto *panel = new TFlatPanel(parent);
    host->show();

    switch (step) {
    case NoStep:
        break;
    case SetOwnColor:
        panel->setColor(kProgramFaceValue);
        break;
    case BackToParentColor:
        panel->setColor(kProgramFaceValue);
        panel->setParentColor(true);
        break;
    case ParentChangesColor:
        if (outer) {
            outer->setColor(rgb(7, 8, 9));
        } else {
            QPalette palette = host->palette();
            palette.setColor(QPalette::Window, QColor(7, 8, 9));
            host->setPalette(palette);
        }
        break;
    case Reparent:
        panel->setParent(otherHost.get());
        otherHost->show();
        break;
    }

    QCOMPARE(panel->Color(), expectedColor);
    QCOMPARE(panel->ParentColor(), expectedParentColor);
    QCOMPARE(pixelOf(panel, {92, 20}), tk::toQColor(expectedColor));
}

void TestFlatPanel::captionFont()
{
    auto host = makeHost();
    auto *outer = new TFlatPanel(host.get());
    outer->resize(400, 300);
    auto *inner = new TFlatPanel(outer);
    // Both follow the window's font at first, and the text colour of windows.
    QCOMPARE(inner->font(), pinnedFont());
    QCOMPARE(inner->fontColor(), tk::clWindowText);

    outer->setFontColor(tk::clBlue);
    QCOMPARE(outer->ParentFont(), false);
    QCOMPARE(inner->fontColor(), tk::clBlue); // the inner one still takes its parent's

    QFont bigger = pinnedFont();
    bigger.setPixelSize(20);
    outer->setFont(bigger);
    QCOMPARE(inner->font().pixelSize(), 20);
    QCOMPARE(inner->ParentFont(), true);

    inner->setFontColor(tk::clRed);
    QCOMPARE(inner->ParentFont(), false);
    QCOMPARE(inner->font().pixelSize(), 20); // its own now, but unchanged
    outer->setFont(pinnedFont());
    QCOMPARE(inner->font().pixelSize(), 20);

    inner->setParentFont(true);
    QCOMPARE(inner->font().pixelSize(), 11);
    QCOMPARE(inner->fontColor(), tk::clBlue);
}

void TestFlatPanel::captionPlacement_data()
{
    QTest::addColumn<tk::TAlignment>("alignment");
    QTest::addColumn<QSize>("size");

    QTest::newRow("centred on 185 x 41") << tk::taCenter << QSize(185, 41);
    QTest::newRow("centred on 486 x 284") << tk::taCenter << QSize(486, 284);
    QTest::newRow("centred on 60 x 10, taller text") << tk::taCenter << QSize(60, 10);
    QTest::newRow("left on 185 x 41") << tk::taLeftJustify << QSize(185, 41);
    QTest::newRow("right on 185 x 41") << tk::taRightJustify << QSize(185, 41);
    QTest::newRow("right on 120 x 30") << tk::taRightJustify << QSize(120, 30);
}

void TestFlatPanel::captionPlacement()
{
    QFETCH(tk::TAlignment, alignment);
    QFETCH(QSize, size);

    auto host = makeHost();
    auto *panel = new TFlatPanel(host.get());
    panel->setColor(kProgramFaceValue);
    panel->resize(size);
    panel->setAlignment(alignment);
    panel->setCaption(kBlock);
    host->show();

    const QImage image = panel->grab().toImage();
    const QRect ink = blockInk(size, alignment) & QRect(QPoint(0, 0), size);
    QVERIFY(!ink.isEmpty());
    const QPoint middle(ink.center().x(), ink.center().y());
    // Text over the face, and over the frame where it reaches it: it is not clipped to the inside.
    QCOMPARE(image.pixelColor(middle), kText);
    QCOMPARE(image.pixelColor(ink.left(), middle.y()), kText);
    QCOMPARE(image.pixelColor(ink.right(), middle.y()), kText);
    QCOMPARE(image.pixelColor(middle.x(), ink.top()), kText);
    QCOMPARE(image.pixelColor(middle.x(), ink.bottom()), kText);
    // The face right beside the caption, where it does not reach the panel's edge.
    if (ink.left() > 1)
        QCOMPARE(image.pixelColor(ink.left() - 1, middle.y()), kProgramFace);
    if (ink.right() < size.width() - 2)
        QCOMPARE(image.pixelColor(ink.right() + 1, middle.y()), kProgramFace);
    if (ink.top() > 1)
        QCOMPARE(image.pixelColor(middle.x(), ink.top() - 1), kProgramFace);
    if (ink.bottom() < size.height() - 2)
        QCOMPARE(image.pixelColor(middle.x(), ink.bottom() + 1), kProgramFace);
}

void TestFlatPanel::captionIsSingleLine()
{
    // Far wider than the panel, with blanks to break at: cut at both edges, never wrapped.
    const QString caption = QString(kBlock).repeated(20) + u' ' + QString(kBlock).repeated(20) + u' ' +
                            QString(kBlock).repeated(20);
    auto host = makeHost();
    auto *panel = new TFlatPanel(host.get());
    panel->setColor(kProgramFaceValue);
    panel->resize(100, 80);
    panel->setCaption(caption);
    host->show();

    const QImage image = panel->grab().toImage();
    const QRect ink = blockInk(panel->size(), tk::taCenter);
    const int row = ink.center().y();
    QCOMPARE(image.pixelColor(0, row), kText);
    QCOMPARE(image.pixelColor(99, row), kText);
    const int lineHeight = QFontMetrics(pinnedFont()).height();
    // Where a second line would be, and the first line's place if the text had been wrapped from the top.
    QCOMPARE(image.pixelColor(50, row + lineHeight), kProgramFace);
    QCOMPARE(image.pixelColor(50, row - lineHeight), kProgramFace);
}

void TestFlatPanel::ampersands_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("shown");

    QTest::newRow("&& shows one &") << u"&&"_s << u"&"_s;
    QTest::newRow("&x shows x") << u"&x"_s << u"x"_s;
    QTest::newRow("plain text as it is") << u"xx"_s << u"xx"_s;
}

void TestFlatPanel::ampersands()
{
    QFETCH(QString, caption);
    QFETCH(QString, shown);

    auto host = makeHost();
    auto *panel = new TFlatPanel(host.get());
    panel->setColor(tk::clWhite);
    panel->setAlignment(tk::taLeftJustify);
    panel->setCaption(caption);
    host->show();

    // The ink, frame rows left out, ends within what the shown text advances.
    const QImage image = panel->grab().toImage();
    int inkRight = -1;
    for (int y = 1; y < panel->height() - 1; ++y)
        for (int x = 1; x < panel->width() - 1; ++x)
            if (image.pixelColor(x, y) != QColor(Qt::white))
                inkRight = std::max(inkRight, x);
    const int advance = QFontMetrics(pinnedFont()).horizontalAdvance(shown);
    QVERIFY2(inkRight >= 0, "the caption shows");
    QVERIFY2(inkRight <= advance,
             qPrintable(u"ink reaches x = %1, the text advances %2"_s.arg(inkRight).arg(advance)));
}

void TestFlatPanel::disabledLook_data()
{
    QTest::addColumn<bool>("disabled");
    QTest::addColumn<QString>("where");
    QTest::addColumn<QColor>("expected");

    QTest::newRow("disabled: inside the caption is the shadow 128,128,128")
        << true << u"inside"_s << kBtnShadow;
    QTest::newRow("disabled: top-left of the caption is the shadow") << true << u"top-left"_s << kBtnShadow;
    QTest::newRow("disabled: right of the caption is the highlight 255,255,255")
        << true << u"right"_s << kBtnHighlight;
    QTest::newRow("disabled: below the caption is the highlight 255,255,255")
        << true << u"below"_s << kBtnHighlight;
    QTest::newRow("disabled: left of the caption is the face") << true << u"left"_s << kProgramFace;
    QTest::newRow("disabled: above the caption is the face") << true << u"above"_s << kProgramFace;
    QTest::newRow("enabled again: inside the caption is the text colour") << false << u"inside"_s << kText;
    QTest::newRow("enabled again: right of the caption is the face") << false << u"right"_s << kProgramFace;
    QTest::newRow("enabled again: below the caption is the face") << false << u"below"_s << kProgramFace;
}

void TestFlatPanel::disabledLook()
{
    QFETCH(bool, disabled);
    QFETCH(QString, where);
    QFETCH(QColor, expected);

    auto host = makeHost();
    auto *panel = new TFlatPanel(host.get());
    panel->setColor(kProgramFaceValue);
    panel->setCaption(kBlock);
    host->show();
    panel->setEnabled(false);
    if (!disabled)
        panel->setEnabled(true);

    const QRect ink = blockInk(panel->size(), tk::taCenter);
    const QPoint middle = ink.center();
    const QPoint pixel = where == u"inside"     ? middle
                         : where == u"top-left" ? ink.topLeft()
                         : where == u"right"    ? QPoint(ink.right() + 1, middle.y())
                         : where == u"below"    ? QPoint(middle.x(), ink.bottom() + 1)
                         : where == u"left"     ? QPoint(ink.left() - 1, middle.y())
                                                : QPoint(middle.x(), ink.top() - 1);
    QCOMPARE(pixelOf(panel, pixel), expected);
}

void TestFlatPanel::repaintsAtOnce_data()
{
    using Change = std::function<void(TFlatPanel &)>;
    QTest::addColumn<Change>("change");
    QTest::addColumn<bool>("repaints");

    QTest::newRow("caption") << Change([](TFlatPanel &p) { p.setCaption(u"Справка"_s); }) << true;
    QTest::newRow("same caption") << Change([](TFlatPanel &p) { p.setCaption(u"Начало"_s); }) << false;
    QTest::newRow("colour") << Change([](TFlatPanel &p) { p.setColor(tk::clAqua); }) << true;
    QTest::newRow("highlight") << Change([](TFlatPanel &p) { p.setColorHighLight(tk::clRed); }) << true;
    QTest::newRow("shadow") << Change([](TFlatPanel &p) { p.setColorShadow(tk::clYellow); }) << true;
    QTest::newRow("shadow by index 1") << Change([](TFlatPanel &p) { p.setColors(1, tk::clLime); }) << true;
    QTest::newRow("index 2 is no colour")
        << Change([](TFlatPanel &p) { p.setColors(2, tk::clLime); }) << false;
    QTest::newRow("transparent") << Change([](TFlatPanel &p) { p.setTransparent(true); }) << true;
    // These two repaint even when the value stays.
    QTest::newRow("same transparent") << Change([](TFlatPanel &p) { p.setTransparent(false); }) << true;
    QTest::newRow("same highlight by index 0")
        << Change([](TFlatPanel &p) { p.setColors(0, p.ColorHighLight()); }) << true;
    QTest::newRow("same shadow by index 1")
        << Change([](TFlatPanel &p) { p.setColors(1, p.ColorShadow()); }) << true;
    QTest::newRow("alignment") << Change([](TFlatPanel &p) { p.setAlignment(tk::taRightJustify); }) << true;
    QTest::newRow("alignment out of range")
        << Change([](TFlatPanel &p) { p.setAlignment(tk::TAlignment(7)); }) << false;
    QTest::newRow("font colour") << Change([](TFlatPanel &p) { p.setFontColor(tk::clRed); }) << true;
    QTest::newRow("disabled") << Change([](TFlatPanel &p) { p.setEnabled(false); }) << true;
}

void TestFlatPanel::repaintsAtOnce()
{
    using Change = std::function<void(TFlatPanel &)>;
    QFETCH(Change, change);
    QFETCH(bool, repaints);

    auto host = makeHost();
    auto *panel = new CountingPanel(host.get());
    panel->setCaption(u"Начало"_s);
    host->show();
    QVERIFY(QTest::qWaitForWindowExposed(host.get()));
    QCoreApplication::processEvents();
    const int before = panel->paints;
    change(*panel);
    // No event processing in between: the paint happened inside the setter.
    QCOMPARE(panel->paints > before, repaints);
}

void TestFlatPanel::systemColorChange_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("disabled");
    QTest::addColumn<QPoint>("pixel");

    // Each system colour becomes 10,200,30; the pixel that shows it must follow.
    QTest::newRow("clBtnFace face (20,20)") << int(tk::COLOR_BTNFACE) << false << QPoint(20, 20);
    QTest::newRow("clBtnShadow frame shadow (184,20)")
        << int(tk::COLOR_BTNSHADOW) << false << QPoint(184, 20);
    QTest::newRow("clBtnHighlight frame highlight (0,20)")
        << int(tk::COLOR_BTNHIGHLIGHT) << false << QPoint(0, 20);
    QTest::newRow("clWindowText caption") << int(tk::COLOR_WINDOWTEXT) << false << QPoint(-1, -1);
    QTest::newRow("clBtnShadow disabled caption") << int(tk::COLOR_BTNSHADOW) << true << QPoint(-1, -1);
}

void TestFlatPanel::systemColorChange()
{
    QFETCH(int, index);
    QFETCH(bool, disabled);
    QFETCH(QPoint, pixel);

    auto host = makeHost();
    auto *panel = new CountingPanel(host.get());
    panel->setColor(tk::clBtnFace);
    panel->setColorHighLight(tk::clBtnHighlight);
    panel->setColorShadow(tk::clBtnShadow);
    panel->setCaption(kBlock);
    panel->setEnabled(!disabled);
    host->show();
    QVERIFY(QTest::qWaitForWindowExposed(host.get()));
    QCoreApplication::processEvents();
    if (pixel == QPoint(-1, -1))
        pixel = blockInk(panel->size(), tk::taCenter).center();

    const int before = panel->paints;
    const QColor changed(10, 200, 30);
    tk::setSystemColor(index, tk::fromQColor(changed));
    QTRY_VERIFY(panel->paints > before);
    QCOMPARE(pixelOf(panel, pixel), changed);
}

void TestFlatPanel::seeThrough_data()
{
    QTest::addColumn<bool>("transparent");
    QTest::addColumn<QPoint>("pixel"); // in the panel
    QTest::addColumn<QColor>("expected");

    // The panel lies at (20,10), 120 x 80, over a windowless block at (30,20) 20 x 20 of the parent and a
    // windowed one at (100,50) 30 x 30 created before it.
    const QColor windowless(250, 10, 200);
    QTest::newRow("see-through: (10,40) shows the parent's pixel (30,50)")
        << true << QPoint(10, 40) << patternAt({30, 50});
    QTest::newRow("see-through: (15,15) shows the windowless block") << true << QPoint(15, 15) << windowless;
    QTest::newRow("see-through: (85,45) shows the parent, not the windowed block")
        << true << QPoint(85, 45) << patternAt({105, 55});
    QTest::newRow("see-through: frame (0,0) stays 160,150,131") << true << QPoint(0, 0) << kFrame;
    QTest::newRow("see-through: frame (119,79) stays yellow") << true << QPoint(119, 79) << kYellow;
    QTest::newRow("see-through: the caption's middle is the text colour") << true << QPoint(-1, -1) << kText;
    QTest::newRow("opaque: (10,40) is the face 255,248,179") << false << QPoint(10, 40) << kProgramFace;
    QTest::newRow("opaque: (15,15) is the face 255,248,179") << false << QPoint(15, 15) << kProgramFace;
}

void TestFlatPanel::seeThrough()
{
    QFETCH(bool, transparent);
    QFETCH(QPoint, pixel);
    QFETCH(QColor, expected);

    PatternParent parent;
    new WindowlessBlock(&parent, QRect(30, 20, 20, 20), QColor(250, 10, 200));
    new WindowedBlock(&parent, QRect(100, 50, 30, 30), QColor(20, 220, 20));
    auto *panel = new TFlatPanel(&parent);
    panel->setGeometry(20, 10, 120, 80);
    panel->setColor(kProgramFaceValue);
    panel->setColorShadow(tk::clYellow);
    panel->setCaption(kBlock);
    panel->setTransparent(transparent);
    parent.show();
    if (pixel == QPoint(-1, -1))
        pixel = blockInk(panel->size(), tk::taCenter).center();
    QCOMPARE(pixelOf(panel, pixel), expected);
    // What the window itself shows where the panel lies.
    QCOMPARE(parent.grab().toImage().pixelColor(pixel + panel->pos()), expected);
}

void TestFlatPanel::childrenCoverTheFace()
{
    // The interpretation panel's layout: the text box lies over the caption, the close button beside it.
    auto host = makeHost();
    auto *panel = new TFlatPanel(host.get());
    panel->setGeometry(4, 5, 486, 284);
    panel->setColor(kProgramFaceValue);
    panel->setCaption(QString(kBlock).repeated(10));
    auto *box = new WindowedBlock(panel, QRect(4, 5, 397, 260), QColor(1, 2, 3));
    auto *button = new WindowedBlock(panel, QRect(407, 231, 73, 33), QColor(200, 100, 0));
    host->show();

    const QImage image = panel->grab().toImage();
    QCOMPARE(image.pixelColor(243, 142), QColor(1, 2, 3)); // the caption's middle, under the text box
    QCOMPARE(image.pixelColor(440, 250), QColor(200, 100, 0));
    QCOMPARE(image.pixelColor(440, 100), kProgramFace);
    QCOMPARE(host->childAt(QPoint(4, 5) + QPoint(440, 250)), button);
    QCOMPARE(host->childAt(QPoint(4, 5) + QPoint(100, 100)), box);
    QCOMPARE(host->childAt(QPoint(4, 5) + QPoint(440, 100)), panel);
}

void TestFlatPanel::clicks_data()
{
    QTest::addColumn<QPoint>("press");
    QTest::addColumn<QPoint>("release");
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<int>("clicks");

    QTest::newRow("left press and release inside") << QPoint(50, 20) << QPoint(60, 25) << Qt::LeftButton << 1;
    QTest::newRow("released outside") << QPoint(50, 20) << QPoint(200, 25) << Qt::LeftButton << 0;
    QTest::newRow("right button") << QPoint(50, 20) << QPoint(50, 20) << Qt::RightButton << 0;
}

void TestFlatPanel::clicks()
{
    QFETCH(QPoint, press);
    QFETCH(QPoint, release);
    QFETCH(Qt::MouseButton, button);
    QFETCH(int, clicks);

    auto host = makeHost();
    auto *panel = new TFlatPanel(host.get());
    int seen = 0;
    panel->OnClick = [&](QObject *sender) {
        QCOMPARE(sender, panel);
        ++seen;
    };
    host->show();
    QTest::mousePress(panel, button, {}, press);
    QTest::mouseRelease(panel, button, {}, release);
    QCOMPARE(seen, clicks);
}

void TestFlatPanel::emptyPanelPaints()
{
    // Squeezed to nothing and back: no image of no size is made, and the face comes back whole.
    auto host = makeHost();
    auto *panel = new TFlatPanel(host.get());
    panel->setCaption(kBlock);
    host->show();
    panel->resize(0, 0);
    QCoreApplication::processEvents();
    panel->resize(0, 30);
    QCoreApplication::processEvents();
    panel->resize(185, 41);
    QCOMPARE(pixelOf(panel, {184, 40}), kFrame);
}

void TestFlatPanel::failingClickHandler()
{
    // A handler that fails is reported in the error box and the panel goes on.
    auto host = makeHost();
    auto *panel = new TFlatPanel(host.get());
    host->show();
    ErrorBoxes boxes;
    panel->OnClick = [](QObject *) { throw tk::Error(u"Panel click failed"_s); };
    QTest::mouseClick(panel, Qt::LeftButton, {}, QPoint(20, 20));
    QTRY_COMPARE(boxes.texts, QStringList{u"Panel click failed."_s});
    QVERIFY(panel->isVisible());
    QCOMPARE(pixelOf(panel, {20, 20}), QColor(kHostColor));
}

void TestFlatPanel::seeThroughWithoutParent()
{
    // Nothing to show through: the face colour, not whatever the off-screen image held.
    TFlatPanel orphan;
    orphan.setColor(kProgramFaceValue);
    orphan.setTransparent(true);
    QCOMPARE(pixelOf(&orphan, {92, 20}), kProgramFace);
    QCOMPARE(pixelOf(&orphan, {0, 0}), kFrame);
}

int main(int argc, char *argv[])
{
    tk::Application app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(u"Fusion"_s));
    app.setFont(pinnedFont());
    TestFlatPanel test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_flatpanel.moc"
