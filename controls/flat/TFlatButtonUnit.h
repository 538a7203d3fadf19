#pragma once

#include "controls/flat/FlatUtilitys.h"
#include "toolkit/painting/canvas.h"
#include "toolkit/painting/colors.h"
#include "toolkit/widgets/control.h"

#include <QImage>
#include <QPoint>
#include <QString>
#include <QWidget>

#include <array>
#include <chrono>
#include <functional>

class QTimer;

// What the face shows: idle, greyed, held down by the mouse or the space key, or latched (Down).
enum FlatButtonState { fbsUp, fbsDisabled, fbsPressed, fbsLatched };

// A push button with a window of its own and a flat face. It lights up (Hot) while the mouse is over
// it or it has the focus, sinks while pressed, can carry a strip of up to four glyphs beside a
// single-line caption, can latch in a group of buttons under one parent, and can let its parent show
// through its face.
//
// All flat buttons share one hover timer: only the button the mouse last came onto polls the cursor,
// ten times a second, to notice that the mouse has gone.
class TFlatButton : public QWidget, public tk::Control, public tk::PointerEvents {
    Q_OBJECT
public:
    explicit TFlatButton(QWidget *parent = nullptr);
    ~TFlatButton() override;

    static constexpr std::chrono::milliseconds kHoverInterval{100};

    // Single line; "&x" underlines x and makes Alt+x click the button, "&&" shows one "&".
    const QString &Caption() const { return m_caption; }
    void setCaption(const QString &caption);

    // The idle face. Setting a different colour clears ParentColor; while ParentColor is set the
    // button takes its parent's colour whenever that changes.
    tk::TColor Color() const { return m_color; }
    void setColor(tk::TColor color);

    // The caption's font is the widget's font (ParentFont: the parent's); Qt fonts carry no colour, so
    // while ParentFont is set the colour too is the parent's (fontColorOf). Setting a colour clears it.
    bool ParentFont() const;
    void setParentFont(bool parentFont);
    tk::TColor fontColor() const { return m_fontColor.get(); }
    void setFontColor(tk::TColor color);

    // The five colours share one setter: 0 ColorFocused, 1 ColorDown, 2 ColorBorder, 3 ColorHighLight,
    // 4 ColorShadow; other indexes are ignored. Setting one does not recompute the advanced colours.
    void setColors(int index, tk::TColor color);
    tk::TColor ColorFocused() const { return m_colors[kFocused]; }
    void setColorFocused(tk::TColor color) { setColors(kFocused, color); }
    tk::TColor ColorDown() const { return m_colors[kDown]; }
    void setColorDown(tk::TColor color) { setColors(kDown, color); }
    tk::TColor ColorBorder() const { return m_colors[kBorder]; }
    void setColorBorder(tk::TColor color) { setColors(kBorder, color); }
    tk::TColor ColorHighLight() const { return m_colors[kHighLight]; }
    void setColorHighLight(tk::TColor color) { setColors(kHighLight, color); }
    tk::TColor ColorShadow() const { return m_colors[kShadow]; }
    void setColorShadow(tk::TColor color) { setColors(kShadow, color); }

    // The steps of the advanced colours share one setter: 0 AdvColorFocused, 1 AdvColorDown,
    // 2 AdvColorBorder; steps above 100 count as 100. Setting one recomputes the advanced colours.
    void setAdvColors(int index, TAdvColors step);
    TAdvColors AdvColorFocused() const { return m_advColors[kFocused]; }
    void setAdvColorFocused(TAdvColors step) { setAdvColors(kFocused, step); }
    TAdvColors AdvColorDown() const { return m_advColors[kDown]; }
    void setAdvColorDown(TAdvColors step) { setAdvColors(kDown, step); }
    TAdvColors AdvColorBorder() const { return m_advColors[kBorder]; }
    void setAdvColorBorder(TAdvColors step) { setAdvColors(kBorder, step); }
    // Derive ColorFocused, ColorDown and ColorBorder from Color (and take the parent's colour).
    bool UseAdvColors() const { return m_useAdvColors; }
    void setUseAdvColors(bool use);

    TTransparentMode TransparentMode() const { return m_transparentMode; }
    void setTransparentMode(TTransparentMode mode);
    // Draws the idle border two pixels wide; the Enter key does not press the button.
    bool Default() const { return m_default; }
    void setDefault(bool isDefault);

    // 0: an ordinary push button. Buttons with the same nonzero index under one parent form a group
    // of which at most one is Down.
    int GroupIndex() const { return m_latch.groupIndex(); }
    void setGroupIndex(int index);
    // In a group, the Down button may be released so that none is down. The buttons of a group share it.
    bool AllowAllUp() const { return m_latch.allowAllUp(); }
    void setAllowAllUp(bool allow);
    // Latched down; stays false while GroupIndex is 0. A Down button is released only by another of
    // its group unless AllowAllUp is set.
    bool Down() const { return m_latch.down(); }
    void setDown(bool down);

    // A strip of NumGlyphs equal cells: idle, disabled, pressed, latched. The button keeps its own
    // copy; a strip whose width is a multiple of its height sets NumGlyphs (1 above 4 cells). Pixels of
    // the strip's bottom-left colour are left out.
    const QImage &Glyph() const { return m_glyph; }
    void setGlyph(const QImage &glyph);
    TNumGlyphs NumGlyphs() const { return m_numGlyphs; }
    void setNumGlyphs(TNumGlyphs count);
    using QWidget::setLayout;
    TButtonLayout Layout() const { return m_layout; }
    void setLayout(TButtonLayout layout);
    // Distance of the glyph from the face edge; -1 centres the pair. Values below -1 are ignored.
    int Margin() const { return m_margin; }
    void setMargin(int margin);
    // Between glyph and caption; -1 lets the layout share out the free space.
    int Spacing() const { return m_spacing; }
    void setSpacing(int spacing);

    // Handed to the dialog the button sits on when it is clicked.
    int ModalResult() const { return m_modalResult; }
    void setModalResult(int result) { m_modalResult = result; }

    // The tab key reaches the button only when set; a click focuses it either way.
    bool TabStop() const { return m_tabStop; }
    void setTabStop(bool tabStop);

    // Run-time state, as the last event left it.
    FlatButtonState State() const { return m_state; }
    bool Hot() const { return m_hot; }
    bool Tracking() const { return m_button.tracking(); }
    // Where a paint puts the caption and the glyph cell, as the button stands.
    tk::TRect CaptionRect() const;
    QPoint GlyphOrigin() const;

    // The hover timer all flat buttons share: it exists while any flat button does.
    static QTimer *HotTrackTimer();
    // The button the timer polls for, or none.
    static TFlatButton *HotButton();
    static int FlatButtonCount();

    // Read as a push button named by its caption, checked while latched down.
    QAccessible::Role accessibleRole() const override { return QAccessible::Button; }
    QString accessibleCaption() const override;
    void accessibleState(QAccessible::State &state) const override;
    bool hasPress() const override { return true; }

    tk::TNotifyEvent OnClick;
    // A left double click while Down; the double click also presses and clicks as usual.
    tk::TNotifyEvent OnDblClick;
    tk::TMouseEvent OnMouseDown;
    tk::TMouseEvent OnMouseUp;
    tk::TMouseMoveEvent OnMouseMove;

protected:
    // Gives the dialog ModalResult and fires OnClick. Exceptions pass to the caller.
    virtual void Click();
    // A click without the mouse: a group button toggles as under a release inside, then Click.
    void pressAction() override;

    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool event(QEvent *event) override;
    void pressLost() override;
    // Takes the parent's colour while ParentColor is set, then recomputes as for system colours.
    void parentColorChanged(tk::TColor parentColor) override;

private:
    // Indexes of the colour and lightness setters.
    static constexpr int kFocused = 0, kDown = 1, kBorder = 2, kHighLight = 3, kShadow = 4;

    // What one paint lays out and draws with.
    struct FaceLayout {
        tk::TRect captionRect;
        QPoint glyphOrigin;
    };

    // Calls out to user code: returns whether the press still stands afterwards.
    bool pressWithMouse(QMouseEvent *event);
    void pointerMoved(bool entered);
    void assignState(FlatButtonState state);
    void settleState();
    void EnterHot();
    void LeaveHot();
    void ReleaseHoverTimer();
    // Makes this button the one the shared timer polls for.
    void watchHover();
    void RecheckHover();
    void HoverTimerTick();
    bool underCursor(QPoint globalPos) const;
    void ApplyAdvColors();
    void systemColorsChanged();

    tk::TColor stateColor() const;
    FaceLayout layoutFace(const QFont &font) const;
    void drawFace(QPainter &canvas);
    void drawBorder(QPainter &canvas) const;
    void drawGlyph(QPainter &canvas, QPoint origin) const;
    void drawCaption(QPainter &canvas, const tk::TRect &rect) const;

    QString m_caption;
    tk::TColor m_color = tk::clBtnFace;
    std::array<tk::TColor, 5> m_colors{};
    std::array<TAdvColors, 3> m_advColors{};
    ParentFontColor m_fontColor{this};
    bool m_useAdvColors = false;
    TTransparentMode m_transparentMode = tmNone;
    bool m_default = false;
    tk::GroupLatch m_latch;
    QImage m_glyph;
    TNumGlyphs m_numGlyphs = 1;
    TButtonLayout m_layout = blGlyphTop;
    int m_margin = -1;
    int m_spacing = 4;
    int m_modalResult = 0;
    bool m_tabStop = false;

    FlatButtonState m_state = fbsUp;
    bool m_hot = false;
    bool m_spaceHeld = false;
    tk::ButtonBehaviour m_button{*this, tk::ButtonBehaviour::Inside::RowBelowToo};
    // Where the pointer is, as Qt's enter and leave and the moves while a button is held tell it.
    tk::PointerPresence m_presence;
};
