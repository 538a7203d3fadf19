#pragma once

#include <QString>

class QObject;

namespace tk {

// Lets screen readers see the program's own controls: what each is (tk::Control::AccessibleRole), its
// name and description, its checked state and its press action. Installing is cheap; the interfaces are
// only made when a reader asks.
void installAccessibility();

class Application;
// Qt's screen reader bridge connects to the session bus the first time anything asks whether a reader
// listens (when the first window shows, at the latest), and the main thread waits for it: the bus
// library is loaded, a thread started, the connection authenticated, and where no bus address is known
// a helper program is run to find one. This connects beside the main thread instead, where the
// platform has that bridge, so that the window is built meanwhile. Needs the application object.
void connectReaderBusBeside(Application &app);

// Tell a listening screen reader that the object's name or description changed; nothing when none listens.
void announceNameChange(QObject *object);
void announceDescriptionChange(QObject *object);

// A caption as it is read: "&x" shows x underlined and "&&" one "&".
QString withoutAccelerators(const QString &caption);

} // namespace tk
