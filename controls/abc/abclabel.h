#pragma once

#include "colors.h"
#include "label.h"

// A label that opens a web address in the user's browser when clicked, and draws its caption with
// coloured shadows while the mouse button is held on it.
class TabcURLLabel : public tk::TLabel {
    Q_OBJECT
public:
    explicit TabcURLLabel(QWidget *parent);

    const QString &URL() const { return m_url; }
    void setURL(const QString &url) { m_url = url; }

    tk::TColor MouseDownColor() const { return m_mouseDownColor; }
    void setMouseDownColor(tk::TColor color) { m_mouseDownColor = color; }
    tk::TColor MouseOverColor() const { return m_mouseOverColor; }
    void setMouseOverColor(tk::TColor color) { m_mouseOverColor = color; }

    // How a click reaches the browser; replaceable so that tests need not start one.
    static std::function<bool(const QString &url)> &urlOpener();

protected:
    void Click() override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QString m_url;
    tk::TColor m_mouseDownColor = tk::clAqua;
    tk::TColor m_mouseOverColor = tk::clBlue;
    bool m_pressed = false;
};
