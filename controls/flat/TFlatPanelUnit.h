#pragma once

#include "colors.h"
#include "control.h"

#include <QWidget>

// A panel with a window of its own: a flat face in Color with a frame, and a centred caption.
class TFlatPanel : public QWidget, public tk::Control {
    Q_OBJECT
public:
    explicit TFlatPanel(QWidget *parent);

    const QString &Caption() const { return m_caption; }
    void setCaption(const QString &caption);
    tk::TColor Color() const { return m_color; }
    void setColor(tk::TColor color);
    tk::TColor ColorHighLight() const { return m_colorHighLight; }
    void setColorHighLight(tk::TColor color);
    tk::TColor ColorShadow() const { return m_colorShadow; }
    void setColorShadow(tk::TColor color);
    bool UseDockManager() const { return m_useDockManager; }
    void setUseDockManager(bool use) { m_useDockManager = use; }

protected:
    void paintEvent(QPaintEvent *event) override;
    bool event(QEvent *event) override;

private:
    QString m_caption;
    tk::TColor m_color = tk::clBtnFace;
    tk::TColor m_colorHighLight = tk::clWhite;
    tk::TColor m_colorShadow = tk::clBlack;
    bool m_useDockManager = false;
};
