#pragma once

#include "toolkit/painting/canvas.h"
#include "toolkit/painting/colors.h"
#include "toolkit/widgets/control.h"

#include <QPointer>

#include <functional>

class QMenu;

namespace tk {

enum TAlignment { taLeftJustify, taRightJustify, taCenter };
// Where the text lies vertically in the label.
enum TTextLayout : std::uint8_t { tlTop, tlCenter, tlBottom };

// A text label without a window of its own. Painting and measuring for AutoSize both go through
// DoDrawText, so a label that draws its text otherwise also sizes itself by it.
class TLabel : public GraphicControl {
    Q_OBJECT
public:
    explicit TLabel(QWidget *parent);

    const QString &Caption() const { return m_caption; }
    void setCaption(const QString &caption);
    TAlignment Alignment() const { return m_alignment; }
    void setAlignment(TAlignment alignment);
    TTextLayout Layout() const { return m_layout; }
    void setLayout(TTextLayout layout);
    bool AutoSize() const { return m_autoSize; }
    void setAutoSize(bool autoSize);
    bool Transparent() const { return m_transparent; }
    void setTransparent(bool transparent);
    bool WordWrap() const { return m_wordWrap; }
    void setWordWrap(bool wrap);
    // "&x" underlines x and makes Alt+x focus FocusControl; off, "&" is a character like any other.
    bool ShowAccelChar() const { return m_showAccelChar; }
    void setShowAccelChar(bool show);

    // While ParentColor is set the colour is the parent's face colour; setting a colour clears it.
    TColor Color() const;
    void setColor(TColor color);
    void setParentColor(bool follow);
    TColor fontColor() const { return m_fontColor; }
    void setFontColor(TColor color);
    void setFont(const QFont &font);
    // While ParentFont is set the font is the parent's; setting a font clears it.
    bool ParentFont() const;
    void setParentFont(bool follow);

    // Not owned: shown at the pointer on a right click; forgotten when it is destroyed.
    QMenu *PopupMenu() const;
    void setPopupMenu(QMenu *menu);
    // Not owned: takes the focus when the caption's accelerator is typed.
    QWidget *FocusControl() const { return m_focusControl; }
    void setFocusControl(QWidget *control);

    TNotifyEvent OnDblClick;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TMouseMoveEvent OnMouseMove;

    QAccessible::Role accessibleRole() const override { return QAccessible::StaticText; }
    QString accessibleCaption() const override;

protected:
    // Draws the caption into r with flags, or measures it when painter is null or flags hold
    // DT_CALCRECT (r then becomes the extent).
    virtual void DoDrawText(QPainter *painter, TRect &r, unsigned flags);
    // The caption as drawn or measured: measuring an empty caption, or a lone "&" that is a prefix,
    // takes one blank so that the label keeps a line's height.
    QString textToDraw(bool measuring) const;
    unsigned textFlags() const;
    // Sizes the label to its caption when AutoSize is set; false when the label is gone afterwards (a
    // descendant's SetBounds may tell user code).
    bool adjustSize();

    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    bool event(QEvent *event) override;
    void parentColorChanged(TColor parentColor) override;

private:
    void updateShortcut();

    QString m_caption;
    TAlignment m_alignment = taLeftJustify;
    TTextLayout m_layout = tlTop;
    bool m_autoSize = true;
    bool m_transparent = false;
    bool m_wordWrap = false;
    bool m_showAccelChar = true;
    TColor m_color = clBtnFace;
    TColor m_fontColor = clWindowText;
    QPointer<QMenu> m_popupMenu;
    QPointer<QWidget> m_focusControl;
};

} // namespace tk
