#pragma once

#include "controls/flat/flatcolors.h"
#include "toolkit/painting/colors.h"
#include "toolkit/widgets/accessibility.h"
#include "toolkit/widgets/control.h"
#include "toolkit/widgets/label.h"

#include <QString>
#include <QWidget>

class QImage;

// A container with a window of its own and a flat face: one colour (or the parent's picture showing
// through), a one-pixel two-colour frame and a single-line caption. Children cover the caption where they
// lie. Every paint composes the whole face off screen and copies it in one go, so it never flickers; a
// setter repaints it at once, so that the change shows before anything else the caller does.
class TFlatPanel : public QWidget, public tk::Control {
    Q_OBJECT
public:
    explicit TFlatPanel(QWidget *parent = nullptr);

    // The face shows what the parent paints under the panel (with its windowless controls, never its
    // windowed ones) instead of Color.
    bool Transparent() const { return m_transparent; }
    void setTransparent(bool transparent);

    // The frame: ColorHighLight on the top and left edges, ColorShadow on the right and bottom ones.
    tk::TColor ColorHighLight() const { return m_colorHighLight; }
    void setColorHighLight(tk::TColor color) { setColors(0, color); }
    tk::TColor ColorShadow() const { return m_colorShadow; }
    void setColorShadow(tk::TColor color) { setColors(1, color); }
    // The frame colours by index: 0 ColorHighLight, 1 ColorShadow; any other index is ignored.
    void setColors(int index, tk::TColor color);

    // The face colour. While ParentColor is set it is the parent's colour and follows it; setting it
    // explicitly clears ParentColor.
    tk::TColor Color() const { return m_color; }
    void setColor(tk::TColor color);
    tk::TColor faceColor() const override { return m_color; }

    // The caption font is the widget's font; while ParentFont is set it and its colour follow the parent.
    // Setting a font or a font colour clears ParentFont.
    bool ParentFont() const;
    void setParentFont(bool parentFont);
    tk::TColor fontColor() const { return m_fontColor.get(); }
    void setFontColor(tk::TColor color);

    tk::TAlignment Alignment() const { return m_alignment; }
    void setAlignment(tk::TAlignment alignment);

    // Drawn single-line and vertically centred over the whole face, frame included; "&&" shows one "&"
    // and "&x" underlines x.
    const QString &Caption() const { return m_caption; }
    void setCaption(const QString &caption);
    // Read as a group named by its caption.
    QAccessible::Role accessibleRole() const override { return QAccessible::Grouping; }
    QString accessibleCaption() const override { return tk::withoutAccelerators(m_caption); }

    // Kept for the layout's sake; Qt lays out the children itself.
    bool UseDockManager() const { return m_useDockManager; }
    void setUseDockManager(bool use) { m_useDockManager = use; }

    tk::TNotifyEvent OnClick;
    tk::TNotifyEvent OnDblClick;
    tk::TNotifyEvent OnResize;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    bool event(QEvent *event) override;
    void parentColorChanged(tk::TColor parentColor) override;

private:
    void drawBackground(QPainter &painter);
    void drawFrame(QPainter &painter);
    void drawCaption(QPainter &painter);
    // Stores a new face colour and passes it on to the children that take their parent's.
    void storeColor(tk::TColor color);

    QString m_caption;
    tk::TColor m_color = tk::clBtnFace;
    tk::TColor m_colorHighLight;
    tk::TColor m_colorShadow;
    ParentFontColor m_fontColor{this};
    tk::TAlignment m_alignment = tk::taCenter;
    bool m_transparent = false;
    bool m_useDockManager = false;
    tk::ButtonBehaviour m_button{*this, tk::ButtonBehaviour::Inside::Rect};
};

// The colour of the text a widget draws, which controls with ParentFont take along with its font: a
// panel's font colour, for any other widget the system's window text colour.
tk::TColor fontColorOf(const QWidget *widget);
