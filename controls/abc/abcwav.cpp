#include "controls/abc/abcwav.h"

#include "toolkit/base/errors.h"
#include "toolkit/sound/waveoutput.h"

namespace {

// The play flags each mode stands for.
constexpr std::uint16_t asyncFlags = tk::SND_ASYNC | tk::SND_NODEFAULT | tk::SND_MEMORY;
constexpr std::uint16_t syncFlags = tk::SND_NODEFAULT | tk::SND_MEMORY;
constexpr std::uint16_t loopFlags = asyncFlags | tk::SND_LOOP;

} // namespace

TabcCustomWave::TabcCustomWave(QObject *owner) : QObject(owner), FSoundFlags(asyncFlags), FPlayMode(awpAsync)
{
}

void TabcCustomWave::SetPlayMode(TabcWavePlayMode mode)
{
    if (mode == FPlayMode)
        return;
    Stop();
    switch (mode) {
    case awpAsync:
        FSoundFlags = asyncFlags;
        break;
    case awpSync:
        FSoundFlags = syncFlags;
        break;
    case awpLoop:
        FSoundFlags = loopFlags;
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
    return tk::PlaySound(FWaveData, FWaveSize, FSoundFlags);
}

void TabcCustomWave::Stop()
{
    tk::PlaySound(nullptr, 0, 0);
}

void TabcCustomWave::ReleaseImage(const void *image)
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
