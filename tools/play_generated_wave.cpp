// Plays a generated tone through a wave component of its own, in each play mode, and tells what
// happened. Without SDL_AUDIODRIVER it uses SDL's disk driver, writing the output to generated-wave.raw
// in the current folder; SDL_AUDIODRIVER=pulse (or alsa, ...) plays it aloud, and an unknown driver shows
// a failed play. Exit status 0 when every step behaved as the component promises.

#include "controls/abc/abcwav.h"
#include "tests/support/waveimage.h"
#include "toolkit/sound/waveoutput.h"

#include <QFile>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

namespace {

// The kind of component an application writes: it owns the image and points FWaveData at it.
class ToneWave : public TabcCustomWave {
public:
    explicit ToneWave(QByteArray image) : m_image(std::move(image))
    {
        FWaveData = m_image.isEmpty() ? nullptr : m_image.constData();
    }
    // The sound is read from the image while it plays.
    ~ToneWave() override { releaseImage(m_image.constData()); }

private:
    QByteArray m_image;
};

bool sdlMapped()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("libSDL2");
}

long long millisecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
        .count();
}

int g_failures = 0;

void report(bool ok, const char *what, long long milliseconds = -1)
{
    if (!ok)
        ++g_failures;
    if (milliseconds >= 0)
        std::printf("%-4s %s (%lld ms)\n", ok ? "ok" : "FAIL", what, milliseconds);
    else
        std::printf("%-4s %s\n", ok ? "ok" : "FAIL", what);
}

ToneWave *tone(int milliseconds)
{
    WaveShape shape;
    shape.milliseconds = std::uint32_t(milliseconds);
    return new ToneWave(makeWaveImage(shape));
}

} // namespace

int main()
{
    if (!std::getenv("SDL_AUDIODRIVER")) {
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", "generated-wave.raw", 1);
    }
    std::printf("driver: %s\n", std::getenv("SDL_AUDIODRIVER"));
    report(!sdlMapped(), "SDL is not mapped before the first play");

    std::unique_ptr<ToneWave> sync(tone(300));
    sync->SetPlayMode(awpSync);
    auto start = std::chrono::steady_clock::now();
    const bool played = sync->Play();
    const long long syncTime = millisecondsSince(start);
    if (!played) {
        report(false, "sync play of a 300 ms tone (no usable audio driver or device?)");
        return 1;
    }
    report(syncTime >= 250, "sync play of a 300 ms tone returns when it has ended", syncTime);
    report(sdlMapped(), "SDL is mapped after it");

    std::unique_ptr<ToneWave> async(tone(2000));
    start = std::chrono::steady_clock::now();
    const bool asyncPlayed = async->Play();
    const long long asyncTime = millisecondsSince(start);
    report(asyncPlayed && asyncTime < 1000, "async play of a 2 s tone returns at once", asyncTime);
    async->Stop();

    std::unique_ptr<ToneWave> loop(tone(100));
    loop->SetPlayMode(awpLoop);
    report(loop->Play(), "loop of a 100 ms tone starts");
    std::this_thread::sleep_for(std::chrono::seconds(1));
    report(tk::WaveOutput::process().isSounding(), "it is still sounding after 1 s");
    loop->SetPlayMode(awpAsync);
    report(!tk::WaveOutput::process().isSounding(), "changing its mode to async stops it");

    QByteArray damagedImage = makeWaveImage(WaveShape{});
    damagedImage[22] = 0; // no channels
    ToneWave damaged(damagedImage);
    report(!damaged.Play(), "a damaged image reports false");
    ToneWave empty{QByteArray()};
    report(!empty.Play(), "no image reports false");
    return g_failures == 0 ? 0 : 1;
}
