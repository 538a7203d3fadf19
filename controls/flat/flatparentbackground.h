#pragma once

#include <cstdint>

class QPainter;
class QWidget;

// When a flat button lets its parent show through its face.
enum TTransparentMode : std::uint8_t { tmAlways, tmNotFocused, tmNone };

// Paints what control's parent shows under control: the parent's background and own painting and the
// windowless siblings below control, never the windowed ones. canvas is in control's coordinates.
// Nothing happens without a parent, nor for a window of its own.
void PaintParentBackground(QWidget *control, QPainter &canvas);
