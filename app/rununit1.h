#pragma once

#include "control.h"

#include <QWidget>

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

private:
    void createLayout();
    void showInterpretation(int position);
};

// The one main window.
extern Tform1 *form1;

// The texts the window shows, as its users know them.
namespace rununit1 {
extern const QString kSlotHint;         // on the slots until the first draw
extern const QString kDivineHint;
extern const QString kHelpHint;
extern const QString kExitHint;
extern const QString kPanelCaption;
extern const QString kCloseHintInitial; // until a command shows the panel
extern const QString kCloseHintRune;
extern const QString kCloseHintHelp;
extern const QString kNotYetDrawn;
extern const QString kMemoInitialText;
extern const QString kHelpFile;
extern const QString kMakerUrl;
extern const QString kLinkHint;
inline constexpr int kHintForever = 99999999; // ms: in practice until the mouse leaves the control
} // namespace rununit1
