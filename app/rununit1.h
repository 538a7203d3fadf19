#pragma once

#include "toolkit/widgets/control.h"

#include <QPointer>
#include <QWidget>

#include <optional>

namespace tk {
class TImage;
class TLabel;
} // namespace tk
class TabcRepSpeedBtn;
class TabcURLLabel;
class TFlatButton;
class TFlatHint;
class TFlatMemo;
class TFlatPanel;

// The main window: three rune slots over a wooden background, the divine, help and exit buttons, the
// maker's link and the interpretation panel.
class Tform1 : public QWidget, public tk::Control {
    Q_OBJECT
public:
    explicit Tform1(QWidget *parent = nullptr);
    ~Tform1() override;

    tk::TImage *Image1;
    tk::TImage *run1;
    tk::TImage *run2;
    tk::TImage *run3;
    tk::TLabel *Label1;
    TabcRepSpeedBtn *abcRepSpeedBtn1;
    TabcRepSpeedBtn *abcRepSpeedBtn2;
    TabcRepSpeedBtn *abcRepSpeedBtn3;
    TFlatHint *FlatHint1;
    TabcURLLabel *abcURLLabel1;
    TFlatPanel *FlatPanel1;
    TFlatButton *FlatButton1;
    TFlatMemo *FlatMemo1;

    void exitproc(QObject *Sender);
    void guest(QObject *Sender);
    void fltclose(QObject *Sender);
    void crd1help(QObject *Sender);
    void crd2help(QObject *Sender);
    void crd3help(QObject *Sender);
    void HELPER(QObject *Sender, bool &Cancel);
    void initi(QObject *Sender);

protected:
    void showEvent(QShowEvent *event) override;
    // F1 runs the help button, Escape the open panel's close button, Enter a focused control that has
    // no Enter of its own.
    void keyPressEvent(QKeyEvent *event) override;
    // While the panel is open the tab key stays on it: it covers the window's commands.
    bool focusNextPrevChild(bool next) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createLayout();
    // One of the three command buttons: no caption, its words are in its picture.
    TabcRepSpeedBtn *makeCommand(const QRect &bounds, const QString &hint, const QString &picture,
                                 std::optional<Qt::CursorShape> cursor = std::nullopt);
    void centreOnDesktop();
    void showInterpretation(int position);
    void setUpKeyboardAndReaders();
    void panelShown();
    void panelHidden();

    QPointer<QWidget> m_panelOpener; // the focus before the panel took it, given back when it closes
};

// The one main window.
extern Tform1 *form1;

// The texts the window shows, as its users know them (rununit1texts.cpp).
namespace rununit1 {
// One of them: its Russian words, which are also its source in the translation files, shown in the
// program's language (Russian needs no translator, so there it is the source itself).
struct WindowText {
    const char *source;
    QString text() const;
    operator QString() const { return text(); }
};

extern const WindowText kSlotHint; // on the slots until the first draw
extern const WindowText kDivineHint;
extern const WindowText kHelpHint;
extern const WindowText kExitHint;
extern const WindowText kPanelCaption;
extern const WindowText kCloseHintInitial; // until a command shows the panel
extern const WindowText kCloseHintRune;
extern const WindowText kCloseHintHelp;
extern const WindowText kNotYetDrawn;
extern const WindowText kCloseCaption;
extern const WindowText kMemoInitialText;
extern const QString kHelpFile; // as Russian names it; other languages name theirs by languageFilePath
extern const QString kMakerUrl;
QString linkCaption();
extern const WindowText kLinkHint;
inline constexpr int kHintForever = 99999999; // ms: in practice until the mouse leaves the control

// What a screen reader calls the controls whose words are pictures, and the slots before a draw.
extern const WindowText kDivineName;
extern const WindowText kHelpName;
extern const WindowText kExitName;
extern const WindowText kSlotNames[3]; // left, middle, right
// A drawn reading as its card names it: the rune, and the word for "reversed" under a reversed one, in
// the program's language.
QString readingTitle(int reading);
} // namespace rununit1
