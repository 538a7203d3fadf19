#pragma once

#include <QPoint>
#include <QPointF>

class QWindow;

namespace tk {

// Hands the move of a window to the window system, anchored at the point where the pointer was
// pressed: the pixel under the pointer then stays under it for the whole move, however far the
// pointer went before the move was asked for. False where the window system does not move windows;
// the caller then follows the pointer itself.
bool startSystemMoveFrom(QWindow *window, QPointF pressGlobal);
// Called when the release of the press reaches the window after all: the window manager had not yet
// taken the pointer, and would otherwise move the window with no button held.
void cancelSystemMove(QWindow *window);

// The screen pixel under a global position in Qt's device-independent coordinates, on a screen whose
// top-left corner is origin in both (Qt scales about it) and whose pixels are ratio to a Qt unit.
QPoint nativeScreenPoint(QPointF global, QPoint origin, qreal ratio);

} // namespace tk
