#pragma once

#include "toolkit/painting/canvas.h"
#include "toolkit/painting/colors.h"

#include <QFont>
#include <QWidget>

namespace tk {

// How the window is made: the plain hint window has a one-pixel border around its client area.
struct HintWindowParams {
    bool border = true;
};

// The application's pop-up hint: a top-level window that never takes the focus or the mouse, shown
// with a rectangle and a text. The application creates one of its registered class and reuses it.
class THintWindow : public QWidget {
    Q_OBJECT
public:
    THintWindow();

    const QString &Caption() const { return m_caption; }
    void setCaption(const QString &caption);
    TColor Color() const { return m_color; }
    void setColor(TColor color);
    // The font hints are measured and drawn with.
    QFont &canvasFont() { return m_canvasFont; }
    TColor &canvasFontColor() { return m_canvasFontColor; }

    // The rectangle (at the origin) that the text needs, at most maxWidth wide unless a word is wider.
    virtual TRect CalcHintRect(int maxWidth, const QString &hint, void *data);
    // Shows the hint; the base keeps the window on the screen.
    virtual void ActivateHint(TRect rect, const QString &hint);
    virtual void ActivateHintData(TRect rect, const QString &hint, void *data);
    void ReleaseHandle() { hide(); }

    bool hasBorder() const { return m_params.border; }

protected:
    // Called once, when the window is first shown.
    virtual void CreateParams(HintWindowParams &params);
    virtual void Paint(QPainter &painter);
    // The client area: the window less its border.
    TRect ClientRect() const;
    // Sets bounds and shows the window on top without taking the focus.
    void showAt(const TRect &bounds);

    void paintEvent(QPaintEvent *event) override;

private:
    void ensureParams();
    QString m_caption;
    TColor m_color = clInfoBk;
    QFont m_canvasFont;
    TColor m_canvasFontColor = clInfoText;
    HintWindowParams m_params;
    bool m_paramsMade = false;
};

} // namespace tk
