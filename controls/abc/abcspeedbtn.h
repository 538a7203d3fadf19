#pragma once

#include "controls/abc/abcbtnframes.h"
#include "controls/abc/abcbtnglyph.h"
#include "controls/abc/abcwav.h"
#include "toolkit/base/events.h"
#include "toolkit/painting/colors.h"
#include "toolkit/widgets/control.h"

#include <QPointer>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>

// Picture speed buttons: windowless buttons that show a picture cut into state images, an optional
// caption and a frame in one of the styles above; hot under the pointer, sunken while pressed, latched
// down in a group, with vetoes before a press and before a click.

// Setting Cancel to true vetoes what follows.
using TabcCancelEvent = std::function<void(QObject *Sender, bool &Cancel)>;
using TabcMouseCancelEvent = std::function<void(QObject *Sender, tk::TMouseButton Button,
                                                tk::TShiftState Shift, int X, int Y, bool &Cancel)>;

// All behaviour of the picture speed buttons.
class TabcCustomPicSpeedBtn : public tk::GraphicControl, public tk::PointerEvents {
    Q_OBJECT
public:
    explicit TabcCustomPicSpeedBtn(QWidget *parent);
    ~TabcCustomPicSpeedBtn() override;

    // The glyph's picture; loading into it in place keeps the slice count.
    tk::Picture &Picture() { return m_glyph.Picture(); }
    // A new picture whose slice count follows its shape.
    void setPicture(std::unique_ptr<tk::Graphic> graphic);

    TabcButtonState State() const { return m_state; }
    bool Down() const { return m_latch.down(); }
    void setDown(bool value);
    bool AllowAllUp() const { return m_latch.allowAllUp(); }
    void setAllowAllUp(bool value);
    int GroupIndex() const { return m_latch.groupIndex(); }
    void setGroupIndex(int value);

    TabcButtonLayout Layout() const { return m_layout; }
    void setLayout(TabcButtonLayout value);
    int Margin() const { return m_margin; }
    void setMargin(int value);
    int Spacing() const { return m_spacing; }
    void setSpacing(int value);
    TabcButtonStyle Style() const { return m_style; }
    void setStyle(TabcButtonStyle value);
    TabcTextStyle TextStyle() const { return m_textStyle; }
    void setTextStyle(TabcTextStyle value);
    TabcGlyphHighlight PictureHighlight() const { return m_glyph.PictureHighlight(); }
    void setPictureHighlight(TabcGlyphHighlight value);
    bool Popup() const { return m_popup; }
    void setPopup(bool value);
    bool DisabledShadow() const { return m_disabledShadow; }
    void setDisabledShadow(bool value);
    int NumGlyphs() const { return m_glyph.NumGlyphs(); }
    void setNumGlyphs(int value);
    tk::TColor TransparentColor() const { return m_glyph.TransparentColor(); }
    void setTransparentColor(tk::TColor value);
    TabcImageList *Images() const { return m_glyph.Images(); }
    void setImages(TabcImageList *images);
    int ImageIndex() const { return m_glyph.ImageIndex(); }
    void setImageIndex(int index);

    tk::TColor Color() const { return m_color; }
    void setColor(tk::TColor color);
    // The caption's colour.
    tk::TColor fontColor() const { return m_fontColor; }
    void setFontColor(tk::TColor color);
    const QString &Caption() const { return m_caption; }
    void setCaption(const QString &caption);

    // Not owned; forgotten when the list is destroyed. Sound numbers below 0 play nothing.
    TabcCustomWaveList *SoundList() const { return m_soundList; }
    void setSoundList(TabcCustomWaveList *list) { m_soundList = list; }
    int SoundDown = -1;
    int SoundOver = -1;

    // A left press on the button is in progress.
    bool Pressing() const { return m_button.tracking(); }
    bool MouseInside() const { return m_mouseInside; }
    bool NeedsTrackRepaint() const;
    const TabcButtonGlyph &Glyph() const { return m_glyph; }

    // Runs the click as a release inside would: BeforeClick, then OnClick.
    void Click() override;

    // Read as a push button named by its caption (or its accessible name), checked while latched down.
    QAccessible::Role accessibleRole() const override { return QAccessible::Button; }
    QString accessibleCaption() const override;
    void accessibleState(QAccessible::State &state) const override;
    bool hasPress() const override { return true; }

    TabcCancelEvent BeforeClick;
    TabcMouseCancelEvent BeforeMouseDown;
    tk::TNotifyEvent OnDblClick;
    tk::TMouseEvent OnMouseDown;
    tk::TMouseEvent OnMouseUp;
    tk::TMouseMoveEvent OnMouseMove;

protected:
    // A click without the mouse: a group button toggles as under a release inside, then Click.
    void pressAction() override;
    virtual void ClickHook() {}

    // The press, move and release steps, after the veto and the capture bookkeeping.
    virtual void MouseDown(tk::TMouseButton button, tk::TShiftState shift, int x, int y);
    virtual void MouseMove(tk::TShiftState shift, int x, int y);
    virtual void MouseUp(tk::TMouseButton button, tk::TShiftState shift, int x, int y);

    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool event(QEvent *event) override;

    void pressLost() override;
    void parentColorChanged(tk::TColor parentColor) override;
    // Called when a press ends without its release here, for what a descendant started with it.
    virtual void pressCancelled() {}

private:
    // These call out to user code (handlers, the sound list): each returns whether the button still
    // exists afterwards, and the caller returns at once when it does not.
    bool pointerEntered();
    bool pointerLeft();
    bool SyncMouseInside();
    bool playSound(int index);
    bool pressWithMouse(QMouseEvent *event, bool doubleClick);
    void applyColor(tk::TColor color);
    void acceleratorTyped();
    unsigned biDiFlags() const;
    void syncEnabledState();
    void assignState(TabcButtonState state);

    TabcButtonGlyph m_glyph;
    TabcButtonState m_state = abtUp;
    tk::GroupLatch m_latch;
    TabcButtonLayout m_layout = ablGlyphLeft;
    int m_margin = -1;
    int m_spacing = 4;
    TabcButtonStyle m_style = absThin;
    TabcTextStyle m_textStyle = tsNormal;
    bool m_popup = true;
    bool m_disabledShadow = true;
    tk::TColor m_color = tk::clBtnFace;
    tk::TColor m_fontColor = tk::clBtnText;
    QString m_caption;
    QPointer<TabcCustomWaveList> m_soundList;
    TabcBrushPattern *m_pattern = nullptr;
    bool m_mouseInside = false;
    bool m_skipNextMouseUp = false;
    tk::PointerPresence m_presence; // where the pointer is, as enter, leave and the moves tell
    bool m_destroying = false;
};

// The picture speed button with its properties published; no behaviour of its own.
class TabcPicSpeedBtn : public TabcCustomPicSpeedBtn {
    Q_OBJECT
public:
    using TabcCustomPicSpeedBtn::TabcCustomPicSpeedBtn;
};

// A picture speed button that fires OnTimer while it is held down: first after RepeatInitialpause ms,
// then every Repeatpause ms (0: only once).
class TabcRepSpeedBtn : public TabcPicSpeedBtn {
    Q_OBJECT
public:
    static constexpr std::uint16_t kDefaultRepeatInitialPause = 400;
    static constexpr std::uint16_t kDefaultRepeatPause = 100;

    explicit TabcRepSpeedBtn(QWidget *parent);
    ~TabcRepSpeedBtn() override;

    bool RepeatEnabled = true;
    std::uint16_t RepeatInitialpause = kDefaultRepeatInitialPause;
    std::uint16_t Repeatpause = kDefaultRepeatPause;
    tk::TNotifyEvent OnTimer;

    // Made on the first press that repeats; null before.
    QTimer *RepeatTimer() const { return m_repeatTimer.get(); }

protected:
    void MouseDown(tk::TMouseButton button, tk::TShiftState shift, int x, int y) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void pressCancelled() override;

private:
    void TimerExpired();
    void stopRepeat();

    std::unique_ptr<QTimer> m_repeatTimer;
};
