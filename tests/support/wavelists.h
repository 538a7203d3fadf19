#pragma once

// Sound lists for the controls that ask for sounds: one records what it was asked to play (or fails as a
// missing sound device would), one does whatever the test wants, such as deleting the control that asked.

#include "controls/abc/abcwav.h"
#include "toolkit/base/errors.h"

#include <QList>

#include <functional>

class RecordingWaveList : public TabcCustomWaveList {
public:
    using TabcCustomWaveList::TabcCustomWaveList;
    void PlayIndex(int index) override
    {
        if (failing)
            throw tk::Error(QStringLiteral("No sound device"));
        played << index;
    }
    QList<int> played;
    bool failing = false;
};

class ActingWaveList : public TabcCustomWaveList {
public:
    using TabcCustomWaveList::TabcCustomWaveList;
    void PlayIndex(int) override
    {
        if (action)
            action();
    }
    std::function<void()> action;
};
