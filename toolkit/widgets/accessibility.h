#pragma once

#include <QString>

class QObject;

namespace tk {

// Lets screen readers see the program's own controls: what each is (tk::Control::accessibleRole), its
// name and description, its checked state and its press action. Installing is cheap; the interfaces are
// only made when a reader asks.
void installAccessibility();

// Tell a listening screen reader that the object's name or description changed; nothing when none listens.
void announceNameChange(QObject *object);
void announceDescriptionChange(QObject *object);

// A caption as it is read: "&x" shows x underlined and "&&" one "&".
QString withoutAccelerators(const QString &caption);

} // namespace tk
