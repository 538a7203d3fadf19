#pragma once

#include <QRect>

class QWidget;

namespace tk {

// The program's main window, the frame of reference for its pop-ups (the application sets it).
QWidget *mainWindow();
void setMainWindow(QWidget *window);

// Whether the program is a Wayland client, whichever of Qt's Wayland plugins it runs on.
bool platformIsWayland();

// Whether this program may place its own top-level windows. A Wayland compositor places them itself
// and ignores moves, while Qt goes on believing in the position it was given: a moved window would
// then map every global position to the wrong place.
bool platformPlacesWindows();
// Tests and start-up code may settle the question instead of the platform's name.
void overridePlatformPlacesWindows(bool places);
void clearPlatformPlacesWindowsOverride();

// The area whose middle a hint turns towards: the primary screen where windows have known places,
// else the main window, the one frame of reference a compositor shares with the program.
QRect hintPlacementArea();

// A pop-up's bounds moved inside the available geometry of the screen under the pointer (the primary
// one when the pointer is on none) by the least distance along each axis: bounds that fit stay exactly
// as they are, and a pop-up larger than the area keeps its top or left edge on it. Where the platform
// places windows itself the bounds are returned as given.
QRect keepOnScreen(const QRect &bounds, QPoint pointer);

// Tests may stand a screen of another size in for every screen: its geometry for the hint's quarters,
// its available geometry for keeping pop-ups on it.
void overrideScreen(const QRect &geometry, const QRect &available);
void clearScreenOverride();

// Pop-ups are placed relative to the window they belong to; where the platform places them that
// way, a hint window must name the main window as its transient parent before it is shown.
void attachToMainWindow(QWidget *popup);

} // namespace tk
