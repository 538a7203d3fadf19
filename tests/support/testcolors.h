#pragma once

// Colours in tests: a colour as a failing comparison names it, and the program's colour values made from
// their channels.

#include "toolkit/painting/colors.h"

#include <QColor>
#include <QString>

// "rgb(r, g, b)", and the alpha when the colour is not opaque.
inline QString describe(const QColor &c)
{
    QString text = QStringLiteral("rgb(%1, %2, %3").arg(c.red()).arg(c.green()).arg(c.blue());
    if (c.alpha() != 255)
        text += QStringLiteral(", alpha %1").arg(c.alpha());
    return text + u')';
}

// A plain colour value: red in the low byte.
inline tk::TColor rgb(int red, int green, int blue)
{
    return tk::TColor(red) | (tk::TColor(green) << 8) | (tk::TColor(blue) << 16);
}

inline tk::TColor grey(int level)
{
    return rgb(level, level, level);
}
