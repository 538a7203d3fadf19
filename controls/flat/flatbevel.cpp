#include "controls/flat/flatbevel.h"

#include <QPainter>

#include <array>

void DrawBevelFrame(QPainter &canvas, tk::TRect rect, tk::TColor topColor, tk::TColor bottomColor, int width)
{
    const QColor top = tk::toQColor(topColor);
    const QColor bottom = tk::toQColor(bottomColor);
    int left = rect.Left, upper = rect.Top, right = rect.Right - 1, lower = rect.Bottom - 1;
    // A ring inside an empty rectangle would run backwards over the rings already drawn.
    for (int ring = 0; ring < width && left <= right && upper <= lower; ++ring) {
        const std::array<QPoint, 3> topLeft = {QPoint(left, lower), QPoint(left, upper),
                                               QPoint(right, upper)};
        const std::array<QPoint, 3> bottomRight = {QPoint(right, upper), QPoint(right, lower),
                                                   QPoint(left - 1, lower)};
        tk::Polyline(canvas, topLeft, top);
        tk::Polyline(canvas, bottomRight, bottom);
        ++left;
        ++upper;
        --right;
        --lower;
    }
}
