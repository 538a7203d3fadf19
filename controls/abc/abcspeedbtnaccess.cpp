#include "controls/abc/abcspeedbtn.h"

#include "toolkit/widgets/accessibility.h"

#include <QPointer>

// The picture speed button for the keyboard and for screen readers.

QString TabcCustomPicSpeedBtn::AccessibleCaption() const
{
    return tk::withoutAccelerators(m_caption);
}

void TabcCustomPicSpeedBtn::AccessibleState(QAccessible::State &state) const
{
    if (m_groupIndex == 0)
        return;
    state.checkable = true;
    state.checked = m_down;
}

void TabcCustomPicSpeedBtn::PressAction()
{
    QPointer<TabcCustomPicSpeedBtn> self(this);
    if (m_groupIndex != 0)
        setDown(!m_down); // refused for the last one down of a group unless AllowAllUp, as under the mouse
    if (self)
        Click();
}
