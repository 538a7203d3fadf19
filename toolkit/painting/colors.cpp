#include "toolkit/painting/colors.h"

#include "toolkit/base/events.h"

#include <QApplication>
#include <QWidget>

#include <array>

namespace tk {

namespace {

constexpr TColor rgb(int r, int g, int b)
{
    return TColor(r) | (TColor(g) << 8) | (TColor(b) << 16);
}

std::array<TColor, SystemColorCount> &table()
{
    static std::array<TColor, SystemColorCount> colors = {
        rgb(212, 208, 200), // scroll bar
        rgb(58, 110, 165),  // desktop
        rgb(10, 36, 106),   // active caption
        rgb(128, 128, 128), // inactive caption
        rgb(212, 208, 200), // menu
        rgb(255, 255, 255), // window
        rgb(0, 0, 0),       // window frame
        rgb(0, 0, 0),       // menu text
        rgb(0, 0, 0),       // window text
        rgb(255, 255, 255), // caption text
        rgb(212, 208, 200), // active border
        rgb(212, 208, 200), // inactive border
        rgb(128, 128, 128), // application workspace
        rgb(10, 36, 106),   // highlight
        rgb(255, 255, 255), // highlight text
        rgb(212, 208, 200), // button face
        rgb(128, 128, 128), // button shadow
        rgb(128, 128, 128), // grey text
        rgb(0, 0, 0),       // button text
        rgb(212, 208, 200), // inactive caption text
        rgb(255, 255, 255), // button highlight
        rgb(64, 64, 64),    // 3-D dark shadow
        rgb(212, 208, 200), // 3-D light
        rgb(0, 0, 0),       // info text
        rgb(255, 255, 225), // info background
    };
    return colors;
}

} // namespace

TColor systemColor(int index)
{
    return index >= 0 && index < SystemColorCount ? table()[size_t(index)] : clBlack;
}

void setSystemColor(int index, TColor color)
{
    if (index < 0 || index >= SystemColorCount)
        return;
    table()[size_t(index)] = ColorToRGB(color);
    if (!qApp)
        return;
    for (QWidget *widget : QApplication::allWidgets()) {
        SystemColorsChangedEvent event;
        QCoreApplication::sendEvent(widget, &event);
        widget->update();
    }
}

TColor ColorToRGB(TColor color)
{
    if (color & kSystemColorFlag)
        return systemColor(int(color & 0xFF));
    return color & 0x00FFFFFF;
}

QColor toQColor(TColor color)
{
    const TColor c = ColorToRGB(color);
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

TColor fromQColor(const QColor &color)
{
    return rgb(color.red(), color.green(), color.blue());
}

} // namespace tk
