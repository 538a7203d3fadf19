#include "toolkit/sound/waveoutput.h"

#include "toolkit/sound/sdlaudio.h"
#include "toolkit/sound/soundlog.h"
#include "toolkit/sound/wavestream.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

namespace tk {

namespace {

// Samples per device buffer: about 23 ms, short enough that a stop is heard at once.
constexpr Uint16 kDeviceBufferFrames = 1024;

// How long a synchronous play waits beyond the sound's own length before it gives the device up.
constexpr std::chrono::seconds kSyncGrace{2};

void SDLCALL logFromSdl(void *, int, SDL_LogPriority, const char *message)
{
    qCDebug(lcSound, "SDL: %s", message);
}

} // namespace

struct WaveOutput::Private {
    explicit Private(const char *library) : library(library) {}

    bool openDevice();
    // Replaces the sound and returns the serial of the new one. The previous sound is handed back, to be
    // freed after the lock is released.
    std::uint64_t start(std::unique_ptr<WaveStream> &next, bool loop);
    std::uint64_t startLocked(std::unique_ptr<WaveStream> &next, bool loop);
    void silence();
    static void SDLCALL fill(void *userdata, Uint8 *stream, int length);

    const std::string library;
    sdl::AudioApi api;
    bool apiLoaded = false;
    bool libraryMissing = false;
    bool initialised = false;
    bool closed = false;
    SDL_AudioDeviceID device = 0;
    SDL_AudioSpec deviceSpec{};

    // Shared with the device's thread, which calls fill() and decodes there.
    mutable std::mutex mutex;
    std::condition_variable ended;
    std::unique_ptr<WaveStream> sound;
    bool loop = false;
    bool sounding = false;
    bool delivered = false;
    std::uint64_t serial = 0; // changes with every start and stop, so a waiting play sees its own end
};

bool WaveOutput::Private::openDevice()
{
    if (device)
        return true;
    if (closed || libraryMissing)
        return false;
    if (!apiLoaded) {
        if (!sdl::loadAudioApi(library.c_str(), api)) {
            qCDebug(lcSound, "SDL cannot be loaded from %s", library.c_str());
            libraryMissing = true;
            return false;
        }
        apiLoaded = true;
        api.LogSetOutputFunction(&logFromSdl, nullptr);
        routeAlsaErrors();
    }
    if (!initialised) {
        // The program's signals stay its own; SDL would otherwise turn SIGINT and SIGTERM into events
        // nobody reads.
        api.SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        if (api.InitSubSystem(SDL_INIT_AUDIO) != 0) {
            qCDebug(lcSound, "SDL's audio does not start: %s", api.GetError());
            return false;
        }
        initialised = true;
    }
    SDL_AudioSpec wanted{};
    wanted.freq = kWaveDeviceFormat.rate;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = Uint8(kWaveDeviceFormat.channels);
    wanted.samples = kDeviceBufferFrames;
    wanted.callback = &Private::fill;
    wanted.userdata = this;
    // The rate may change: SDL would resample what the callback gives one buffer at a time, which loses
    // frames at most rates, so the device keeps its own rate and each sound is resampled to it here.
    device = api.OpenAudioDevice(nullptr, 0, &wanted, &deviceSpec, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
    if (!device) {
        qCDebug(lcSound, "No audio device: %s", api.GetError());
        // The next play looks for a driver afresh: a sound server may have come up by then.
        api.QuitSubSystem(SDL_INIT_AUDIO);
        initialised = false;
        return false;
    }
    api.PauseAudioDevice(device, 0);
    return true;
}

std::uint64_t WaveOutput::Private::start(std::unique_ptr<WaveStream> &next, bool loopIt)
{
    std::unique_lock lock(mutex);
    return startLocked(next, loopIt);
}

std::uint64_t WaveOutput::Private::startLocked(std::unique_ptr<WaveStream> &next, bool loopIt)
{
    sound.swap(next);
    // An empty sound has nothing to repeat; it ends before it starts.
    sounding = sound && sound->frames() > 0;
    loop = loopIt && sounding;
    delivered = false;
    ++serial;
    ended.notify_all();
    return serial;
}

void WaveOutput::Private::silence()
{
    std::unique_ptr<WaveStream> previous;
    start(previous, false);
}

void SDLCALL WaveOutput::Private::fill(void *userdata, Uint8 *stream, int length)
{
    auto *self = static_cast<Private *>(userdata);
    const std::size_t wanted = std::size_t(length);
    std::size_t done = 0;
    std::unique_lock lock(self->mutex);
    // The buffer that took the last sample has been played by the time the device asks for the next.
    if (self->sounding && self->delivered) {
        self->sounding = false;
        self->ended.notify_all();
    }
    bool rewound = false;
    while (self->sounding && !self->delivered && done < wanted) {
        const std::size_t read = self->sound->read(stream + done, wanted - done);
        done += read;
        if (done == wanted)
            break;
        // A pass that gives nothing would be repeated for ever.
        if (self->loop && !self->sound->failed() && !(rewound && read == 0)) {
            self->sound->rewind();
            rewound = true;
        } else {
            self->delivered = true;
        }
    }
    std::memset(stream + done, self->deviceSpec.silence, wanted - done);
}

WaveOutput::WaveOutput(const char *library) : d(std::make_unique<Private>(library))
{
}

WaveOutput::~WaveOutput()
{
    close();
}

WaveOutput &WaveOutput::process()
{
    static WaveOutput *output = [] {
        // Never destroyed: a wave component destroyed late in the exit may still ask it to stop.
        auto *created = new WaveOutput(sdl::kLibraryName);
        std::atexit([] { process().close(); });
        return created;
    }();
    return *output;
}

bool WaveOutput::play(const void *image, std::size_t size, unsigned flags)
{
    if (!image) {
        stop();
        return true;
    }
    std::unique_ptr<WaveStream> next;
    if ((flags & SND_MEMORY) && d->openDevice())
        next = WaveStream::open(d->api, image, size, d->deviceSpec);
    if (!next) {
        // What was playing ends all the same: after a failed play nothing sounds.
        stop();
        return false;
    }
    const bool loop = flags & SND_LOOP;
    const auto length =
        std::chrono::milliseconds(next->frames() * 1000 / std::uint64_t(std::max(1, d->deviceSpec.freq)));
    const std::uint64_t serial = d->start(next, loop);
    // The sound it replaced is freed here, outside the lock.
    next.reset();
    if ((flags & SND_ASYNC) || loop)
        return true;

    std::unique_lock lock(d->mutex);
    const bool finished = d->ended.wait_for(lock, length * 2 + kSyncGrace,
                                            [this, serial] { return d->serial != serial || !d->sounding; });
    if (finished)
        return true;
    // The device has stopped taking samples: this sound was not heard to its end.
    lock.unlock();
    stop();
    return false;
}

void WaveOutput::stop()
{
    d->silence();
}

void WaveOutput::stopReading(const void *image)
{
    std::unique_ptr<WaveStream> previous;
    // fill() holds the lock while it reads: once the sound is replaced under it, no read is left.
    std::unique_lock lock(d->mutex);
    if (d->sound && d->sound->image() == image)
        d->startLocked(previous, false);
}

void WaveOutput::close()
{
    d->silence();
    // Closing joins the device's thread, which takes the mutex in fill(): it must not be held here.
    if (d->device) {
        d->api.CloseAudioDevice(d->device);
        d->device = 0;
    }
    if (d->initialised) {
        d->api.Quit();
        d->initialised = false;
    }
    d->closed = true;
}

bool WaveOutput::isSounding() const
{
    std::unique_lock lock(d->mutex);
    return d->sounding;
}

bool playSound(const void *image, std::size_t size, unsigned flags)
{
    return WaveOutput::process().play(image, size, flags);
}

} // namespace tk
