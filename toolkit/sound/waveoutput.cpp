#include "waveoutput.h"

#include "sdlaudio.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <vector>

namespace tk {

namespace {

// Samples per device buffer: about 23 ms, short enough that a stop is heard at once.
constexpr Uint16 deviceBufferFrames = 1024;

// A converted sound larger than this (about 25 minutes at the device format) is refused: a few bytes of
// image at a rate of 1 Hz would otherwise ask for gigabytes.
constexpr std::uint64_t maxConvertedBytes = 256u << 20;

// The highest sample rate sounds are recorded at. SDL's resampler miscomputes its buffers for rates far
// beyond (a rate of some millions asks calloc for a negative count).
constexpr int maxSourceRate = 384000;

// Source frames handed to SDL's converter at a time.
constexpr Uint32 streamPieceFrames = 256;

// How long a synchronous play waits beyond the sound's own length before it gives the device up.
constexpr std::chrono::seconds syncGrace{2};

std::uint32_t littleEndian32(const unsigned char *bytes)
{
    return std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 | std::uint32_t(bytes[2]) << 16 |
           std::uint32_t(bytes[3]) << 24;
}

} // namespace

struct WaveOutput::Private {
    explicit Private(const char *library) : library(library) {}

    bool openDevice();
    bool decode(const void *image, std::size_t size, std::vector<Uint8> &pcm) const;
    bool convert(const SDL_AudioSpec &source, const Uint8 *data, Uint32 length,
                 std::vector<Uint8> &pcm) const;
    // Replaces the sound and returns the serial of the new one.
    std::uint64_t start(std::vector<Uint8> pcm, bool loop);
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

    // Shared with the device's thread, which calls fill().
    mutable std::mutex mutex;
    std::condition_variable ended;
    std::vector<Uint8> sound;
    std::size_t position = 0;
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
            libraryMissing = true;
            return false;
        }
        apiLoaded = true;
    }
    if (!initialised) {
        // The program's signals stay its own; SDL would otherwise turn SIGINT and SIGTERM into events
        // nobody reads.
        api.SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        // An image ends where its RIFF header says, and one cut short or with chunks running past its
        // end is refused rather than played in part.
        api.SetHint(SDL_HINT_WAVE_RIFF_CHUNK_SIZE, "force");
        api.SetHint(SDL_HINT_WAVE_TRUNCATION, "verystrict");
        if (api.InitSubSystem(SDL_INIT_AUDIO) != 0)
            return false;
        initialised = true;
    }
    SDL_AudioSpec wanted{};
    wanted.freq = waveDeviceFormat.rate;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = Uint8(waveDeviceFormat.channels);
    wanted.samples = deviceBufferFrames;
    wanted.callback = &Private::fill;
    wanted.userdata = this;
    // No changes allowed: SDL converts to whatever the hardware takes, and every sound is converted to
    // this one format before it is queued.
    device = api.OpenAudioDevice(nullptr, 0, &wanted, &deviceSpec, 0);
    if (!device)
        return false;
    api.PauseAudioDevice(device, 0);
    return true;
}

bool WaveOutput::Private::decode(const void *image, std::size_t size, std::vector<Uint8> &pcm) const
{
    std::size_t extent = size;
    if (extent == 0) {
        const auto *bytes = static_cast<const unsigned char *>(image);
        if (std::memcmp(bytes, "RIFF", 4) != 0)
            return false;
        extent = std::size_t(littleEndian32(bytes + 4)) + 8;
    }
    if (extent > std::size_t(INT_MAX))
        return false;
    SDL_RWops *stream = api.RWFromConstMem(image, int(extent));
    if (!stream)
        return false;
    SDL_AudioSpec source{};
    Uint8 *data = nullptr;
    Uint32 length = 0;
    // Frees the stream whatever the outcome.
    if (!api.LoadWAV_RW(stream, 1, &source, &data, &length))
        return false;
    const bool converted = convert(source, data, length, pcm);
    api.FreeWAV(data);
    return converted;
}

bool WaveOutput::Private::convert(const SDL_AudioSpec &source, const Uint8 *data, Uint32 length,
                                  std::vector<Uint8> &pcm) const
{
    const unsigned frameBytes = SDL_AUDIO_BITSIZE(source.format) / 8 * source.channels;
    if (frameBytes == 0 || source.freq <= 0 || source.freq > maxSourceRate || length > Uint32(INT_MAX))
        return false;
    const std::uint64_t frames = length / frameBytes;
    const std::uint64_t estimate =
        (frames * std::uint64_t(deviceSpec.freq) / std::uint64_t(source.freq) + 1) *
        std::uint64_t(waveDeviceFormat.channels * waveDeviceFormat.bytesPerSample);
    if (estimate > maxConvertedBytes)
        return false;

    SDL_AudioStream *stream = api.NewAudioStream(source.format, source.channels, source.freq,
                                                 deviceSpec.format, deviceSpec.channels, deviceSpec.freq);
    if (!stream)
        return false;
    // SDL 2.26's stream drops part of its output when one put brings many frames to resample (a 100 ms
    // sound at 8 kHz came out as 36 ms); fed a few hundred frames at a time it keeps them all.
    const Uint32 piece = streamPieceFrames * frameBytes;
    bool ok = true;
    for (Uint32 offset = 0; ok && offset < length; offset += piece)
        ok = api.AudioStreamPut(stream, data + offset, int(std::min(piece, length - offset))) == 0;
    ok = ok && api.AudioStreamFlush(stream) == 0;
    if (ok) {
        const int available = api.AudioStreamAvailable(stream);
        ok = available >= 0 && std::uint64_t(available) <= maxConvertedBytes;
        if (ok) {
            try {
                pcm.resize(std::size_t(available));
            } catch (const std::bad_alloc &) {
                // Too large for the memory left: refused like any other sound that cannot be played.
                ok = false;
            }
            ok = ok && (available == 0 || api.AudioStreamGet(stream, pcm.data(), available) == available);
        }
    }
    api.FreeAudioStream(stream);
    return ok;
}

std::uint64_t WaveOutput::Private::start(std::vector<Uint8> pcm, bool loopIt)
{
    // The previous sound ends up in pcm and is freed on return, after the lock is released.
    std::unique_lock lock(mutex);
    sound.swap(pcm);
    position = 0;
    // An empty sound has nothing to repeat; it ends before it starts.
    loop = loopIt && !sound.empty();
    sounding = !sound.empty();
    delivered = false;
    ++serial;
    ended.notify_all();
    return serial;
}

void WaveOutput::Private::silence()
{
    std::vector<Uint8> previous;
    std::unique_lock lock(mutex);
    previous.swap(sound);
    position = 0;
    loop = false;
    sounding = false;
    delivered = false;
    ++serial;
    ended.notify_all();
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
    while (self->sounding && !self->delivered && done < wanted) {
        const std::size_t count = std::min(wanted - done, self->sound.size() - self->position);
        std::memcpy(stream + done, self->sound.data() + self->position, count);
        done += count;
        self->position += count;
        if (self->position == self->sound.size()) {
            if (self->loop)
                self->position = 0;
            else
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
        auto *created = new WaveOutput(sdl::libraryName);
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
    std::vector<Uint8> pcm;
    if (!(flags & SND_MEMORY) || !d->openDevice() || !d->decode(image, size, pcm)) {
        // What was playing ends all the same: after a failed play nothing sounds.
        stop();
        return false;
    }
    const bool loop = flags & SND_LOOP;
    const auto length = std::chrono::milliseconds(std::uint64_t(pcm.size()) * 1000 /
                                                  std::uint64_t(waveDeviceFormat.bytesPerSecond()));
    const std::uint64_t serial = d->start(std::move(pcm), loop);
    if ((flags & SND_ASYNC) || loop)
        return true;

    std::unique_lock lock(d->mutex);
    const bool finished = d->ended.wait_for(lock, length * 2 + syncGrace,
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

bool PlaySound(const void *image, std::size_t size, unsigned flags)
{
    return WaveOutput::process().play(image, size, flags);
}

} // namespace tk
