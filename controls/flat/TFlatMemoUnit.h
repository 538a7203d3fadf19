#pragma once

#include "colors.h"
#include "control.h"

#include <QPlainTextEdit>

enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

// A multi-line text box with a window of its own; its text keeps CR LF line breaks.
class TFlatMemo : public QPlainTextEdit, public tk::Control {
    Q_OBJECT
public:
    explicit TFlatMemo(QWidget *parent);

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

    tk::TColor ColorFlat() const { return m_colorFlat; }
    void setColorFlat(tk::TColor color);
    tk::TColor ColorFocused() const { return m_colorFocused; }
    void setColorFocused(tk::TColor color) { m_colorFocused = color; }
    bool ParentColor() const { return m_parentColor; }
    void setParentColor(bool parentColor) { m_parentColor = parentColor; }

private:
    void applyFace();

    QString m_text;
    TScrollStyle m_scrollBars = ssNone;
    tk::TColor m_colorFlat = 0xE1EAEB;
    tk::TColor m_colorFocused = tk::clWhite;
    bool m_parentColor = true;
};
