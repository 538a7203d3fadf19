#include "app/rununit1.h"

#include "app/language.h"
#include "controls/abc/abcbtn.h"
#include "controls/abc/abclabel.h"
#include "controls/flat/TFlatButtonUnit.h"
#include "controls/flat/TFlatHintUnit.h"
#include "controls/flat/TFlatMemoUnit.h"
#include "controls/flat/TFlatPanelUnit.h"
#include "divination/Spread.h"
#include "toolkit/application/application.h"
#include "toolkit/application/windowdrag.h"
#include "toolkit/base/callout.h"
#include "toolkit/base/errors.h"
#include "toolkit/painting/fonts.h"
#include "toolkit/text/cp1251.h"
#include "toolkit/text/files.h"
#include "toolkit/text/memotext.h"
#include "toolkit/widgets/image.h"
#include "toolkit/widgets/label.h"
#include "toolkit/widgets/windowplacement.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QResource>
#include <QScreen>

using namespace Qt::StringLiterals;

Tform1 *form1 = nullptr;

using namespace rununit1;

namespace {

constexpr int kFormWidth = 572;
constexpr int kFormHeight = 299;
constexpr tk::TColor kPanelColor = 11794687; // pale yellow
constexpr tk::TColor kCloseColor = 5755391;  // orange-yellow

QString fromStd(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// The path of the program's language's own version of a file (languageFilePath).
QString ownPath(const QString &programPath)
{
    return QString::fromStdString(languageFilePath(programPath.toStdString(), programLanguage()));
}

// A picture that carries words in the program's language where it has one of its own; where that is
// missing, the Russian one, whose words are the program's own.
QString ownPictureOrRussian(const QString &programPath)
{
    const QString own = ownPath(programPath);
    return own != programPath && QFileInfo::exists(tk::nativePath(own)) ? own : programPath;
}

// The pictures stored with the window come with the program itself: a view of the program's own image
// where they are stored uncompressed, so that a companion nobody draws is never even touched. Null when
// there is none.
QByteArray storedBytes(const QString &path)
{
    const QResource resource(path);
    if (!resource.isValid())
        return QByteArray();
    if (resource.compressionAlgorithm() != QResource::NoCompression)
        return resource.uncompressedData();
    return QByteArray::fromRawData(reinterpret_cast<const char *>(resource.data()),
                                   qsizetype(resource.size()));
}

void loadStoredPicture(tk::Picture &picture, const QString &name)
{
    QString path = ownPath(u":/assets/"_s + name);
    QByteArray data = storedBytes(path);
    if (data.isNull()) {
        path = u":/assets/"_s + name;
        data = storedBytes(path);
    }
    if (data.isNull())
        throw tk::Error(tk::cannotOpenMessage(name));
    picture.loadFromData(name.section(u'.', -1), data, storedBytes(tk::highDensityPath(path)));
}

template <class Handler> tk::TNotifyEvent handler(Tform1 *form, Handler method)
{
    return [form, method](QObject *sender) { (form->*method)(sender); };
}

} // namespace

Tform1::Tform1(QWidget *parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), tk::Control(this)
{
    form1 = this;
    setWindowTitle(tk::Application::instance() ? tk::Application::instance()->Title : u"ORMEX"_s);
    setFixedSize(kFormWidth, kFormHeight);
    setAutoFillBackground(true);
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    setCursor(Qt::ArrowCursor);
    setFont(tk::defaultFont());
    setShowHint(false);
    createLayout();
    setUpKeyboardAndReaders();
    if (auto *app = tk::Application::instance(); app && !app->MainForm())
        app->setMainForm(this);
    centreOnDesktop();
    tk::callOut(this, [this] { initi(this); });
}

Tform1::~Tform1()
{
    if (form1 == this)
        form1 = nullptr;
}

void Tform1::createLayout()
{
    Image1 = new tk::TImage(this);
    Image1->setGeometry(0, 0, kFormWidth, kFormHeight);
    Image1->setAlign(tk::alClient);
    Image1->setCenter(true);
    Image1->setStretch(false);
    loadStoredPicture(Image1->Picture(), u"background.jpg"_s);
    // Pictures decode beside the building of the rest of the window, its texts' fonts above all.
    Image1->decodeVisibleAhead();
    // The window has no frame to take hold of: the background itself moves it.
    new tk::WindowDragger(Image1);

    tk::TImage **slotImages[] = {&run1, &run2, &run3};
    const QRect slotBounds[] = {{22, 72, 145, 177}, {209, 72, 145, 177}, {401, 71, 145, 177}};
    void (Tform1::*const slotHandlers[])(QObject *) = {&Tform1::crd1help, &Tform1::crd2help,
                                                       &Tform1::crd3help};
    for (int i = 0; i < 3; ++i) {
        tk::TImage *slot = *slotImages[i] = new tk::TImage(this);
        slot->setGeometry(slotBounds[i]);
        slot->setCursor(Qt::PointingHandCursor);
        slot->setHint(kSlotHint);
        slot->setShowHint(true);
        loadStoredPicture(slot->Picture(), u"placeholder.jpg"_s);
        slot->decodeVisibleAhead();
        slot->OnClick = handler(this, slotHandlers[i]);
    }

    Label1 = new tk::TLabel(this);
    Label1->setAutoSize(false);
    Label1->setGeometry(32, 256, 497, 161);
    Label1->setAlignment(tk::taCenter);
    Label1->setFont(tk::makeFont(u"Century Gothic"_s, -13, tk::fsBold));
    Label1->setFontColor(tk::clInfoBk);
    Label1->setTransparent(true);
    // Empty and see-through, it looks like the background, and a press on it moves the window as
    // anywhere else on the background.
    Label1->setAttribute(Qt::WA_TransparentForMouseEvents);

    abcRepSpeedBtn1 = makeCommand({12, 11, 170, 45}, kDivineHint, u"divine.bmp"_s);
    abcRepSpeedBtn1->OnClick = handler(this, &Tform1::guest);
    abcRepSpeedBtn2 = makeCommand({198, 11, 170, 45}, kHelpHint, u"help.bmp"_s, Qt::WhatsThisCursor);
    abcRepSpeedBtn2->BeforeClick = [this](QObject *sender, bool &cancel) { HELPER(sender, cancel); };
    abcRepSpeedBtn3 = makeCommand({387, 11, 170, 45}, kExitHint, u"exit.bmp"_s, Qt::CrossCursor);
    abcRepSpeedBtn3->OnClick = handler(this, &Tform1::exitproc);

    abcURLLabel1 = new TabcURLLabel(this);
    abcURLLabel1->setFont(tk::makeFont(u"MS Sans Serif"_s, -19, tk::fsUnderline));
    abcURLLabel1->setFontColor(tk::clYellow);
    abcURLLabel1->setTransparent(true);
    abcURLLabel1->setMouseOverColor(tk::clLime);
    abcURLLabel1->setMouseDownColor(tk::clBlue);
    abcURLLabel1->setMouseDownEffects({almColorShadow, almSound});
    abcURLLabel1->setCaption(linkCaption());
    abcURLLabel1->setURL(kMakerUrl);
    abcURLLabel1->setHint(kLinkHint);
    abcURLLabel1->setShowHint(true);
    // Sized by its caption, centred under the slots.
    abcURLLabel1->move((kFormWidth - abcURLLabel1->width()) / 2, 262);

    FlatPanel1 = new TFlatPanel(this);
    FlatPanel1->setGeometry(4, 5, 486, 284);
    FlatPanel1->setCursor(Qt::ArrowCursor);
    FlatPanel1->setCaption(kPanelCaption);
    FlatPanel1->setColor(kPanelColor);
    FlatPanel1->setColorShadow(tk::clYellow);
    FlatPanel1->setVisible(false);
    FlatPanel1->setShowHint(true);
    FlatPanel1->setUseDockManager(true);

    FlatButton1 = new TFlatButton(FlatPanel1);
    FlatButton1->setGeometry(407, 231, 73, 33);
    FlatButton1->setCaption(kCloseCaption);
    FlatButton1->setHint(kCloseHintInitial);
    FlatButton1->setColor(kCloseColor);
    FlatButton1->setParentColor(false);
    FlatButton1->OnClick = handler(this, &Tform1::fltclose);

    FlatMemo1 = new TFlatMemo(FlatPanel1);
    FlatMemo1->setGeometry(4, 5, 397, 260);
    FlatMemo1->setReadOnly(true);
    FlatMemo1->setScrollBars(ssVertical);
    // The resting face stored with the layout is the panel's colour, which it then follows.
    FlatMemo1->setColorFlat(kPanelColor);
    FlatMemo1->setParentColor(true);
    FlatMemo1->setColorFocused(tk::clInfoBk);
    FlatMemo1->setText(kMemoInitialText);
    setTabOrder(FlatButton1, FlatMemo1);

    FlatHint1 = new TFlatHint(this);
    FlatHint1->setColorBackground(tk::clInfoBk);
    FlatHint1->setMaxHintWidth(400);
    FlatHint1->setFont(tk::makeFont(u"Arial"_s, -16), tk::clWindowText);
}

TabcRepSpeedBtn *Tform1::makeCommand(const QRect &bounds, const QString &hint, const QString &picture,
                                     std::optional<Qt::CursorShape> cursor)
{
    auto *button = new TabcRepSpeedBtn(this);
    button->setGeometry(bounds);
    if (cursor)
        button->setCursor(*cursor);
    button->setHint(hint);
    button->setShowHint(true);
    loadStoredPicture(button->Picture(), picture);
    return button;
}

void Tform1::centreOnDesktop()
{
    // Where the program may place its windows at all: a compositor that places them itself would
    // ignore the move and leave Qt believing in it.
    if (const QScreen *screen = QGuiApplication::primaryScreen(); screen && tk::platformPlacesWindows()) {
        const QRect desktop = screen->geometry();
        move(desktop.left() + (desktop.width() - kFormWidth) / 2,
             desktop.top() + (desktop.height() - kFormHeight) / 2);
    }
}

void Tform1::showEvent(QShowEvent *event)
{
    // Centred whenever it is shown. The first time this is only a check: the window was placed before
    // its platform window existed, since a window manager that frames a window as it maps it may not
    // tell Qt of a move made between its creation and its mapping.
    centreOnDesktop();
    QWidget::showEvent(event);
}

void Tform1::initi(QObject *)
{
    tk::Application::instance()->hints().setHintHidePause(kHintForever);
}

void Tform1::exitproc(QObject *)
{
    close();
}

void Tform1::guest(QObject *)
{
    tk::Application::instance()->hints().setHintHidePause(kHintForever);
    Draw(programLanguage());
    tk::TImage *slotImages[] = {nullptr, run1, run2, run3};
    for (int p = SpreadLeft; p <= SpreadRight; ++p)
        slotImages[p]->setHint(
            fromStd(RuneCatalogue::ShortMeaning(Spread.SpreadIndexes[p], programLanguage())));
    for (int p = SpreadLeft; p <= SpreadRight; ++p) {
        slotImages[p]->Picture().LoadFromFile(ownPictureOrRussian(fromStd(Spread.SpreadPictures[p])));
        // Named after the card it now shows; a slot whose picture failed keeps the name of the old one.
        slotImages[p]->setAccessibleName(readingTitle(Spread.SpreadIndexes[p]));
    }
    Spread.HasDrawn = 1;
}

void Tform1::showInterpretation(int position)
{
    FlatPanel1->setVisible(true);
    FlatButton1->setHint(kCloseHintRune);
    if (Spread.HasDrawn > 0)
        FlatMemo1->setText(fromStd(Spread.SpreadTexts[position]));
    else
        FlatMemo1->setText(kNotYetDrawn);
}

void Tform1::crd1help(QObject *)
{
    showInterpretation(SpreadLeft);
}

void Tform1::crd2help(QObject *)
{
    showInterpretation(SpreadMiddle);
}

void Tform1::crd3help(QObject *)
{
    showInterpretation(SpreadRight);
}

void Tform1::HELPER(QObject *, bool &)
{
    FlatPanel1->setVisible(true);
    FlatButton1->setHint(kCloseHintHelp);
    // The file is read afresh on every click; one longer than the box can hold is refused unread.
    const QByteArray bytes = tk::readWholeFile(ownPath(kHelpFile), tk::kMemoCapacity,
                                               QString::fromUtf16(tk::kMemoCapacityMessage));
    FlatMemo1->setText(tk::decodeCp1251(bytes));
}

void Tform1::fltclose(QObject *)
{
    FlatPanel1->setVisible(false);
}
