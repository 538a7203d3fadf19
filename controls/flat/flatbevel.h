#pragma once

#include "toolkit/painting/canvas.h"
#include "toolkit/painting/colors.h"

class QPainter;

// width concentric one-pixel rings, the outermost on rect's edge: top and left in topColor, right and
// bottom in bottomColor (so only the top-left corner pixel is topColor). Rings stop where rect runs out.
void DrawBevelFrame(QPainter &canvas, tk::TRect rect, tk::TColor topColor, tk::TColor bottomColor, int width);
