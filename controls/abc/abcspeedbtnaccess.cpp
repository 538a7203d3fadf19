#include "controls/abc/abcspeedbtn.h"

#include "toolkit/widgets/accessibility.h"

#include <QPointer>

// The picture speed button for the keyboard and for screen readers.

QString TabcCustomPicSpeedBtn::accessibleCaption() const
{
    return tk::withoutAccelerators(m_caption);
}

void TabcCustomPicSpeedBtn::accessibleState(QAccessible::State &state) const
{
    if (GroupIndex() == 0)
        return;
    state.checkable = true;
    state.checked = Down();
}

void TabcCustomPicSpeedBtn::pressAction()
{
    if (GroupIndex() != 0)
        setDown(!Down()); // refused for the last one down of a group unless AllowAllUp, as under the mouse
    Click();
}
