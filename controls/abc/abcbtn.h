#pragma once

#include "control.h"
#include "graphics.h"

#include <functional>

// Picture speed buttons: a windowless button that shows its picture, framed raised under the pointer and
// sunken while pressed, with a veto before the click.

using TBeforeClickEvent = std::function<void(QObject *Sender, bool &Cancel)>;

class TabcRepSpeedBtn : public tk::GraphicControl {
    Q_OBJECT
public:
    explicit TabcRepSpeedBtn(QWidget *parent);

    tk::Picture &Picture() { return m_picture; }

    // Runs before OnClick; setting Cancel to true vetoes the click.
    TBeforeClickEvent BeforeClick;

    bool MouseInside() const { return m_mouseInside; }
    bool Pressed() const { return m_pressed; }

protected:
    void Click() override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    bool event(QEvent *event) override;

private:
    void drawPicture(QPainter &painter, QPoint offset);
    void drawFrame(QPainter &painter);

    tk::Picture m_picture;
    bool m_mouseInside = false;
    bool m_pressed = false;       // left button went down on the button and has not come up
    bool m_pressedInside = false; // ... and the pointer is over the button
};
