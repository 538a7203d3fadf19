#pragma once

#include "toolkit/painting/canvas.h"
#include "toolkit/painting/colors.h"

class QPainter;

namespace tk {

// The 3-D edges that framed controls are drawn from. Every function draws one-pixel lines just inside r
// and moves the sides it drew one pixel inwards, so that successive calls nest ring inside ring.
//
// Corner ownership, the same for every edge: the top and left lines take the top-left colour, the right
// and bottom lines the bottom-right colour, and the right and bottom lines own the top-right and
// bottom-left corner pixels. When a neighbouring side is not drawn, the line that is drawn runs through
// the corner instead, so a partial edge never leaves a gap in the line it draws.

enum class Edge { RaisedOuter, RaisedInner, SunkenOuter, SunkenInner };

// Soft swaps the top-left colour of the outer and inner edges (a soft raised outer edge is lit like a
// raised inner one, and so on); Mono draws every side in the window frame colour.
enum class EdgeLook { Normal, Soft, Mono };

enum EdgeSide : unsigned {
    SideLeft = 0x1,
    SideTop = 0x2,
    SideRight = 0x4,
    SideBottom = 0x8,
    AllSides = SideLeft | SideTop | SideRight | SideBottom,
};

// The colours of an edge as they are drawn: top and left first, right and bottom second.
struct EdgeColors {
    TColor topLeft;
    TColor bottomRight;
};
EdgeColors edgeColors(Edge edge, EdgeLook look = EdgeLook::Normal);

void DrawEdge(QPainter &painter, TRect &r, Edge edge, EdgeLook look = EdgeLook::Normal,
              unsigned sides = AllSides);

// A one-pixel frame of two arbitrary colours: top and left in topLeft, right and bottom in bottomRight.
void drawTwoColorFrame(QPainter &painter, TRect &r, TColor topLeft, TColor bottomRight);

// Leaves a one-pixel gap: moves every side of r inwards without drawing.
void stepIn(TRect &r);

// A line along r's bottom row that starts one pixel left of r and runs to r's right end; r's bottom
// then moves up by one.
void drawBottomLine(QPainter &painter, TRect &r, TColor color);

} // namespace tk
