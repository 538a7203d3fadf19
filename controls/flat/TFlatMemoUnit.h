#pragma once

#include "controls/flat/FlatUtilitys.h"
#include "toolkit/painting/colors.h"
#include "toolkit/widgets/control.h"

#include <QPlainTextEdit>

class QPainter;

enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

// A multi-line text box with a window of its own and a flat three-pixel frame around text and scroll
// bars: a one-pixel outline in ColorBorder, then a two-pixel band in the face colour. The face (band and
// text background) is ColorFlat at rest and ColorFocused while the box has the focus or the mouse is over
// it. Its text keeps CR LF line breaks.
class TFlatMemo : public QPlainTextEdit, public tk::Control {
    Q_OBJECT
public:
    // 185 x 89 at (0, 0); when created inside a parent it rests in the parent's colour (ParentColor).
    explicit TFlatMemo(QWidget *parent);
    ~TFlatMemo() override;

    // The whole text, every line break brought to CR LF. A text above the box's capacity raises
    // "Text exceeds memo capacity" and leaves the text as it was; an identical text changes nothing.
    QString Text() const { return m_text; }
    void setText(const QString &text);

    bool ReadOnly() const { return isReadOnly(); }
    void setReadOnly(bool readOnly) { QPlainTextEdit::setReadOnly(readOnly); }
    TScrollStyle ScrollBars() const { return m_scrollBars; }
    void setScrollBars(TScrollStyle style);
    bool WordWrap() const { return lineWrapMode() != NoWrap; }
    void setWordWrap(bool wrap);

    // The three colours by index: 0 ColorFocused, 1 ColorBorder, 2 ColorFlat. Setting ColorFlat turns
    // ParentColor off. An index out of range reads clNone and is ignored when set.
    tk::TColor colors(int index) const;
    void setColors(int index, tk::TColor color);
    tk::TColor ColorFocused() const { return m_colorFocused; }
    void setColorFocused(tk::TColor color) { setColors(0, color); }
    tk::TColor ColorBorder() const { return m_colorBorder; }
    void setColorBorder(tk::TColor color) { setColors(1, color); }
    tk::TColor ColorFlat() const { return m_colorFlat; }
    void setColorFlat(tk::TColor color) { setColors(2, color); }

    // ColorFlat follows the parent's colour: a flat panel's Color, any other parent's background colour.
    void setParentColor(bool follow);

    // The lightness steps by index: 0 AdvColorFocused, 1 AdvColorBorder. A step above 100 counts as 100.
    TAdvColors advColors(int index) const;
    void setAdvColors(int index, TAdvColors step);
    TAdvColors AdvColorFocused() const { return m_advColorFocused; }
    void setAdvColorFocused(TAdvColors step) { setAdvColors(0, step); }
    TAdvColors AdvColorBorder() const { return m_advColorBorder; }
    void setAdvColorBorder(TAdvColors step) { setAdvColors(1, step); }

    // Derives ColorFocused (lighter) and ColorBorder (darker) from ColorFlat; switching it also switches
    // ParentColor.
    bool UseAdvColors() const { return m_useAdvColors; }
    void setUseAdvColors(bool use);

    // The mouse is over the box (set only while the application has an active window).
    bool Hot() const { return m_hot; }
    // The face is ColorFocused now rather than ColorFlat.
    bool activeLook() const;

protected:
    // The mouse came over the box or left it; the hot look follows.
    virtual void mouseEntered();
    virtual void mouseLeft();

    bool event(QEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    // Takes the parent's colour into ColorFlat while ParentColor or UseAdvColors is set.
    void parentColorChanged(tk::TColor parentColor) override;

private:
    void ApplyAdvColors();
    // The scroll bar policies ScrollBars asks for.
    void applyScrollBars();
    // Brings the text background to the current face and repaints the frame.
    void PaintFlatFrame();
    void drawFlatFrame(QPainter &painter) const;
    // The pointer is over the box, its text or its scroll bars (the control under it, seen as the
    // hints see it).
    bool pointerOver() const;
    // A move over a part of the box (part: the box, its text or a scroll bar) with a button held, which
    // holds enter and leave back: the hot look follows the pointer across the box's edge.
    void heldMove(const QWidget *part, const QMouseEvent &move);
    // The hot look's step, run once Qt has delivered the event that told of the pointer.
    void pointerMoved(bool over);
    void documentEdited();

    QString m_text;
    bool m_settingText = false;
    TScrollStyle m_scrollBars = ssNone;
    tk::TColor m_colorFocused = tk::clWhite;
    tk::TColor m_colorBorder = 0x8396A0;
    tk::TColor m_colorFlat = 0xE1EAEB;
    TAdvColors m_advColorFocused = 10;
    TAdvColors m_advColorBorder = 50;
    bool m_useAdvColors = false;
    bool m_hot = false;
    tk::PointerPresence m_presence;
    QMetaObject::Connection m_focusWatch;
};
