#include "controls/abc/abcutils.h"

#include "toolkit/desktop/browserlaunch.h"

bool OpenURL(const QString &address, TabcShowWindowStyle show)
{
    // A desktop browser is started through its desktop file or its command, neither of which has a
    // way to ask for a window state: the style only says what the caller would like.
    Q_UNUSED(show);
    return tk::browserlaunch::openBrowser(address);
}
