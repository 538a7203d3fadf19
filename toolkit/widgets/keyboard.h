#pragma once

#include <QRect>

class QKeyEvent;
class QPainter;
class QWidget;

namespace tk {

// Keyboard use. A mouse user never sees a focus mark: the marks come with the first focus the tab key
// moves (or a command key that opens something to read) and stay for the rest of the run.
bool keyboardInUse();
void setKeyboardInUse(bool inUse);

// Space, Enter or Return without a modifier other than the keypad's: the keys that run a focused control.
bool isActivationKey(const QKeyEvent &event);

// A press that only repeats a key held down; a command runs once however long its key is held. Qt marks
// the repeats it recognises. On X11 a repeat comes as a release and a press with one server time, and
// when the press has not yet arrived as Qt reads the release, Qt takes the pair for a fresh press: a
// press at the very millisecond the same key was released is a repeat all the same, no hand is that
// quick.
bool isKeyRepeat(const QKeyEvent &event);

// True while a modal window other than the widget's own is up (an error box): no command may start then,
// whether from a key or from a screen reader.
bool commandsBlocked(const QWidget *widget);

// Whether the widget shows its focus mark now: it has the focus and the keyboard is in use.
bool showsFocusMark(const QWidget *widget);
// The dotted rectangle of a focused control, drawn by inverting every other pixel of its outline so that
// it shows on any face.
void drawFocusMark(QPainter &painter, const QRect &rect);
// Draws the widget's focus mark, inset from its edge, when it shows one; call it at the end of a paint.
// Nothing for a widget whose mark is drawn around it.
void paintFocusMark(QWidget *widget, int inset = 2);
// For a control whose content reaches its edges (a label sized to its caption): its focus mark goes
// round it, a pixel clear of its bounds, so that the dots never cross the content.
void markFocusAround(QWidget *widget);

// Moves the focus to the next (or previous) control inside container that the tab key reaches, wrapping
// round; false when there is none. For a part of a window that keeps the keyboard while it is open.
bool cycleFocusWithin(QWidget *container, bool next);

} // namespace tk
