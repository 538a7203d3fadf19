#pragma once

#include "toolkit/widgets/control.h"

#include <QPainter>
#include <QWidget>

// Plain coloured controls for the see-through tests: one without a window of its own, which a parent's
// painting includes, and one with a window, which it never does.
class WindowlessBlock : public tk::GraphicControl {
public:
    WindowlessBlock(QWidget *parent, QRect geometry, QColor color)
        : tk::GraphicControl(parent), m_color(color)
    {
        setGeometry(geometry);
    }

protected:
    void paintEvent(QPaintEvent *) override { QPainter(this).fillRect(rect(), m_color); }

private:
    QColor m_color;
};

class WindowedBlock : public QWidget, public tk::Control {
public:
    WindowedBlock(QWidget *parent, QRect geometry, QColor color)
        : QWidget(parent), tk::Control(this), m_color(color)
    {
        setGeometry(geometry);
    }

protected:
    void paintEvent(QPaintEvent *) override { QPainter(this).fillRect(rect(), m_color); }

private:
    QColor m_color;
};
