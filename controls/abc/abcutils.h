#pragma once

#include <QString>

#include <cstdint>

// How the started browser's window should come up.
enum TabcShowWindowStyle : std::uint8_t {
    aswHide,
    aswMaximize,
    aswMinimize,
    aswRestore,
    aswShow,
    aswShowDefault,
    aswShowMaximized,
    aswShowMinimized,
    aswShowMinNoActivate,
    aswShowNA,
    aswShowNoActivate,
    aswShowNormal,
};

// Starts the user's registered web browser with address; false when none is registered or it could
// not be started. Nothing is shown to the user either way, and the browser is not waited for.
bool OpenURL(const QString &address, TabcShowWindowStyle show);
