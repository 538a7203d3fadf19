#include "controls/abc/abcwav.h"

#include "toolkit/base/errors.h"
#include "toolkit/sound/waveoutput.h"

namespace {

// The play flags each mode stands for.
constexpr std::uint16_t kAsyncFlags = tk::SND_ASYNC | tk::SND_NODEFAULT | tk::SND_MEMORY;
constexpr std::uint16_t kSyncFlags = tk::SND_NODEFAULT | tk::SND_MEMORY;
constexpr std::uint16_t kLoopFlags = kAsyncFlags | tk::SND_LOOP;

} // namespace

TabcCustomWave::TabcCustomWave(QObject *owner) : QObject(owner), FSoundFlags(kAsyncFlags), FPlayMode(awpAsync)
{
}

void TabcCustomWave::SetPlayMode(TabcWavePlayMode mode)
{
    if (mode == FPlayMode)
        return;
    Stop();
    switch (mode) {
    case awpAsync:
        FSoundFlags = kAsyncFlags;
        break;
    case awpSync:
        FSoundFlags = kSyncFlags;
        break;
    case awpLoop:
        FSoundFlags = kLoopFlags;
        break;
    default:
        // A value outside the modes keeps the flags it found.
        break;
    }
    FPlayMode = mode;
}

bool TabcCustomWave::Play()
{
    if (!FWaveData)
        return false;
    return tk::playSound(FWaveData, m_waveSize, FSoundFlags);
}

void TabcCustomWave::Stop()
{
    tk::playSound(nullptr, 0, 0);
}

void TabcCustomWave::releaseImage(const void *image)
{
    tk::WaveOutput::process().stopReading(image);
}

TabcCustomWaveList::TabcCustomWaveList(QObject *owner) : TabcCustomWave(owner)
{
}

void TabcCustomWaveList::PlayIndex(int)
{
    throw tk::AbstractError();
}
