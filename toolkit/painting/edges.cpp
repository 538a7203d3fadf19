#include "toolkit/painting/edges.h"

#include <QPainter>

#include <array>

namespace tk {

namespace {

void drawSides(QPainter &painter, TRect &r, TColor topLeft, TColor bottomRight, unsigned sides)
{
    const QColor first = toQColor(topLeft), second = toQColor(bottomRight);
    const bool left = sides & SideLeft, top = sides & SideTop, right = sides & SideRight,
               bottom = sides & SideBottom;
    // The right and bottom lines own the corners they share with the top and left lines (see edges.h).
    if (top)
        FillRect(painter, {r.Left, r.Top, right ? r.Right - 1 : r.Right, r.Top + 1}, first);
    if (left)
        FillRect(painter, {r.Left, r.Top, r.Left + 1, bottom ? r.Bottom - 1 : r.Bottom}, first);
    if (right)
        FillRect(painter, {r.Right - 1, r.Top, r.Right, r.Bottom}, second);
    if (bottom)
        FillRect(painter, {r.Left, r.Bottom - 1, r.Right, r.Bottom}, second);
    if (left)
        ++r.Left;
    if (top)
        ++r.Top;
    if (right)
        --r.Right;
    if (bottom)
        --r.Bottom;
}

} // namespace

EdgeColors edgeColors(Edge edge, EdgeLook look)
{
    if (look == EdgeLook::Mono)
        return {clWindowFrame, clWindowFrame};
    const bool soft = look == EdgeLook::Soft;
    switch (edge) {
    case Edge::RaisedOuter:
        return {soft ? clBtnHighlight : cl3DLight, cl3DDkShadow};
    case Edge::RaisedInner:
        return {soft ? cl3DLight : clBtnHighlight, clBtnShadow};
    case Edge::SunkenOuter:
        return {soft ? cl3DDkShadow : clBtnShadow, clBtnHighlight};
    case Edge::SunkenInner:
        return {soft ? clBtnShadow : cl3DDkShadow, cl3DLight};
    }
    return {clWindowFrame, clWindowFrame};
}

void DrawEdge(QPainter &painter, TRect &r, Edge edge, EdgeLook look, unsigned sides)
{
    const EdgeColors colors = edgeColors(edge, look);
    drawSides(painter, r, colors.topLeft, colors.bottomRight, sides);
}

void drawTwoColorFrame(QPainter &painter, TRect &r, TColor topLeft, TColor bottomRight)
{
    drawSides(painter, r, topLeft, bottomRight, AllSides);
}

void stepIn(TRect &r)
{
    ++r.Left;
    ++r.Top;
    --r.Right;
    --r.Bottom;
}

void drawBottomLine(QPainter &painter, TRect &r, TColor color)
{
    const int row = r.Bottom - 1;
    const std::array<QPoint, 2> line{QPoint(r.Left - 1, row), QPoint(r.Right, row)};
    Polyline(painter, line, toQColor(color));
    --r.Bottom;
}

} // namespace tk
