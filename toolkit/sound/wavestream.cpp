#include "toolkit/sound/wavestream.h"

#include "toolkit/sound/resampler.h"
#include "toolkit/sound/soundlog.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <span>
#include <vector>

namespace tk {

namespace {

// The image bytes decoded at a time (whole blocks, at least one): a few milliseconds of sound at the
// richest formats, a second at the plainest.
constexpr std::size_t kWindowTarget = std::size_t(16) * 1024;

// The highest sample rate sounds are recorded at; a header that claims more is damaged.
constexpr int kMaxSourceRate = 384000;

// Format chunks are some tens of bytes; one far larger is not a sound's, and would be copied with every
// window.
constexpr std::uint32_t kMaxFormatBytes = 64 * 1024;

// Device frames converted to float at a time when the rate changes.
constexpr std::size_t kResampledFrames = 1024;

std::uint32_t littleEndian32(const unsigned char *bytes)
{
    return std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 | std::uint32_t(bytes[2]) << 16 |
           std::uint32_t(bytes[3]) << 24;
}

std::uint16_t littleEndian16(const unsigned char *bytes)
{
    return std::uint16_t(bytes[0] | bytes[1] << 8);
}

void putLittleEndian32(unsigned char *bytes, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<unsigned char>(value >> (8 * i));
}

// Where the parts of an image lie.
struct WaveLayout {
    const unsigned char *format = nullptr;
    std::uint32_t formatSize = 0;
    const unsigned char *data = nullptr;
    std::size_t dataSize = 0;
    std::size_t blockAlign = 0;
};

// The image's chunks, checked as SDL's reader checks a whole file read strictly: the RIFF header gives
// the extent, and a chunk that runs past it, a format chunk missing before the samples, or samples that
// end inside a block refuse the image. Returns the reason, or null.
const char *findLayout(const unsigned char *bytes, std::size_t size, WaveLayout &layout)
{
    if ((size != 0 && size < 12) || std::memcmp(bytes, "RIFF", 4) != 0)
        return "not a RIFF image";
    const std::uint64_t extent = std::uint64_t(littleEndian32(bytes + 4)) + 8;
    if (size != 0 && extent > size)
        return "the RIFF chunk runs past the image";
    if (extent < 12 || std::memcmp(bytes + 8, "WAVE", 4) != 0)
        return "not a WAVE image";
    std::uint64_t position = 12;
    while (position + 8 <= extent) {
        const unsigned char *header = bytes + position;
        const std::uint64_t body = position + 8;
        const std::uint64_t length = littleEndian32(header + 4);
        if (body + length > extent)
            return "a chunk runs past the RIFF chunk";
        if (std::memcmp(header, "fmt ", 4) == 0 && !layout.format) {
            if (length < 16 || length > kMaxFormatBytes)
                return "a format chunk of an impossible size";
            layout.format = bytes + body;
            layout.formatSize = std::uint32_t(length);
        } else if (std::memcmp(header, "data", 4) == 0) {
            if (!layout.format)
                return "no format chunk before the samples";
            layout.data = bytes + body;
            layout.dataSize = std::size_t(length);
            layout.blockAlign = littleEndian16(layout.format + 12);
            if (layout.blockAlign == 0)
                return "a block size of 0";
            if (layout.dataSize % layout.blockAlign != 0)
                return "the samples end inside a block";
            return nullptr;
        }
        position = body + length + (length & 1);
    }
    return "no data chunk";
}

Sint16 deviceSample(float value)
{
    return Sint16(std::lrint(std::clamp(value * 32768.0f, -32768.0f, 32767.0f)));
}

} // namespace

struct WaveStream::Private {
    bool decodeNextWindow();
    bool takeFormat(const SDL_AudioSpec &header);
    bool sameFormat(const SDL_AudioSpec &header) const;
    // False at the end of the pass or on a failure.
    bool resample();

    const sdl::AudioApi *api = nullptr;
    const void *image = nullptr;
    WaveLayout layout;
    std::size_t windowBytes = 0;
    // A RIFF WAVE image of the format chunk and one window of samples, given to SDL's reader.
    std::vector<Uint8> windowImage;
    std::size_t windowHeader = 0;
    SDL_AudioSpec source{};
    // Format and channels only: the same sum for every frame, wherever the windows are cut.
    SDL_AudioCVT toFloat{};
    bool formatKnown = false;
    int deviceChannels = 0;
    std::unique_ptr<Resampler> resampler;
    std::uint64_t totalFrames = 0;

    std::size_t nextOffset = 0;
    // The window decoded last, as float frames in the device's channels at the sound's rate.
    std::vector<float> input;
    std::size_t inputBegin = 0;
    std::size_t inputEnd = 0;
    // Frames at the device's rate, when it differs.
    std::vector<float> output;
    std::size_t outputBegin = 0;
    std::size_t outputEnd = 0;
    std::uint64_t delivered = 0;
    bool failed = false;
};

bool WaveStream::Private::takeFormat(const SDL_AudioSpec &header)
{
    source = header;
    if (source.freq <= 0 || source.freq > kMaxSourceRate) {
        qCDebug(lcSound, "Image refused: a sample rate of %d Hz", source.freq);
        return false;
    }
    if (api->BuildAudioCVT(&toFloat, source.format, source.channels, source.freq, AUDIO_F32SYS,
                           Uint8(deviceChannels), source.freq) < 0) {
        qCDebug(lcSound, "SDL cannot convert the format: %s", api->GetError());
        return false;
    }
    formatKnown = true;
    return true;
}

bool WaveStream::Private::sameFormat(const SDL_AudioSpec &header) const
{
    if (header.format == source.format && header.channels == source.channels && header.freq == source.freq)
        return true;
    qCDebug(lcSound, "SDL reads the samples at byte %zu in another format", nextOffset);
    return false;
}

bool WaveStream::Private::decodeNextWindow()
{
    const std::size_t length = std::min(windowBytes, layout.dataSize - nextOffset);
    windowImage.resize(windowHeader);
    windowImage.insert(windowImage.end(), layout.data + nextOffset, layout.data + nextOffset + length);
    putLittleEndian32(windowImage.data() + 4, std::uint32_t(windowImage.size() - 8));
    putLittleEndian32(windowImage.data() + windowHeader - 4, std::uint32_t(length));
    SDL_RWops *stream = api->RWFromConstMem(windowImage.data(), int(windowImage.size()));
    SDL_AudioSpec header{};
    Uint8 *samples = nullptr;
    Uint32 bytes = 0;
    // Frees the stream whatever the outcome.
    if (!stream || !api->LoadWAV_RW(stream, 1, &header, &samples, &bytes)) {
        qCDebug(lcSound, "SDL refuses the samples at byte %zu: %s", nextOffset, api->GetError());
        failed = true;
        return false;
    }
    const bool accepted = formatKnown ? sameFormat(header) : takeFormat(header);
    if (!accepted) {
        api->FreeWAV(samples);
        failed = true;
        return false;
    }
    // Conversion in place: the buffer holds the decoded bytes and the float frames they become.
    input.resize((std::size_t(bytes) * std::size_t(std::max(1, toFloat.len_mult)) + sizeof(float) - 1) /
                 sizeof(float));
    if (bytes != 0)
        std::memcpy(input.data(), samples, bytes);
    api->FreeWAV(samples);
    std::size_t converted = bytes;
    if (toFloat.needed && bytes != 0) {
        toFloat.buf = reinterpret_cast<Uint8 *>(input.data());
        toFloat.len = int(bytes);
        if (api->ConvertAudio(&toFloat) != 0) {
            qCDebug(lcSound, "SDL cannot convert the samples: %s", api->GetError());
            failed = true;
            return false;
        }
        converted = std::size_t(toFloat.len_cvt);
    }
    inputBegin = 0;
    inputEnd = converted / sizeof(float);
    nextOffset += length;
    return true;
}

bool WaveStream::Private::resample()
{
    if (inputBegin == inputEnd && nextOffset < layout.dataSize && !decodeNextWindow())
        return false;
    const bool ended = nextOffset == layout.dataSize;
    std::span<const float> pending(input.data() + inputBegin, inputEnd - inputBegin);
    const std::size_t frames = resampler->process(pending, ended, output);
    inputBegin = inputEnd - pending.size();
    outputBegin = 0;
    outputEnd = frames * std::size_t(deviceChannels);
    // Nothing written and nothing left to take: the sound is complete, or the library stuck.
    return frames != 0 || (!ended && pending.empty());
}

WaveStream::WaveStream(std::unique_ptr<Private> d) : d(std::move(d))
{
}

WaveStream::~WaveStream() = default;

std::unique_ptr<WaveStream> WaveStream::open(const sdl::AudioApi &api, const void *image, std::size_t size,
                                             const SDL_AudioSpec &device)
{
    auto d = std::make_unique<Private>();
    d->api = &api;
    d->image = image;
    d->deviceChannels = device.channels;
    const auto *bytes = static_cast<const unsigned char *>(image);
    if (const char *refusal = findLayout(bytes, size, d->layout)) {
        qCDebug(lcSound, "Image refused: %s", refusal);
        return nullptr;
    }
    const WaveLayout &layout = d->layout;
    d->windowBytes = std::max<std::size_t>(1, kWindowTarget / layout.blockAlign) * layout.blockAlign;
    const std::size_t formatPadded = layout.formatSize + (layout.formatSize & 1);
    d->windowHeader = 12 + 8 + formatPadded + 8;
    d->windowImage.reserve(d->windowHeader + d->windowBytes);
    d->windowImage.assign(d->windowHeader, 0);
    Uint8 *header = d->windowImage.data();
    std::copy_n("RIFFsizeWAVEfmt ", 16, header); // tags, not strings: no terminator
    putLittleEndian32(header + 16, layout.formatSize);
    std::memcpy(header + 20, layout.format, layout.formatSize);
    std::copy_n("data", 4, header + 20 + formatPadded);

    // The first window shows whether SDL reads the format, and what it decodes to.
    if (!d->decodeNextWindow())
        return nullptr;
    const SDL_AudioSpec &source = d->source;
    const std::size_t firstWindow = std::min(d->windowBytes, layout.dataSize);
    // Every block decodes to as many frames as the first.
    const std::uint64_t sourceFrames = firstWindow == 0 ? 0
                                                        : std::uint64_t(layout.dataSize / layout.blockAlign) *
                                                              (d->inputEnd / std::size_t(device.channels)) /
                                                              (firstWindow / layout.blockAlign);
    d->totalFrames = sourceFrames;
    if (source.freq != device.freq) {
        d->resampler = Resampler::create(device.channels, source.freq, device.freq);
        if (!d->resampler) {
            qCDebug(lcSound, "Image refused: no conversion from %d Hz to %d Hz", source.freq, device.freq);
            return nullptr;
        }
        d->output.resize(kResampledFrames * std::size_t(device.channels));
        d->totalFrames = (sourceFrames * std::uint64_t(device.freq) + std::uint64_t(source.freq) - 1) /
                         std::uint64_t(source.freq);
    }
    return std::unique_ptr<WaveStream>(new WaveStream(std::move(d)));
}

const void *WaveStream::image() const
{
    return d->image;
}

std::uint64_t WaveStream::frames() const
{
    return d->totalFrames;
}

bool WaveStream::failed() const
{
    return d->failed;
}

std::size_t WaveStream::read(Uint8 *out, std::size_t length)
{
    const std::size_t channels = std::size_t(d->deviceChannels);
    const std::size_t frameBytes = channels * sizeof(Sint16);
    std::size_t written = 0;
    while (length - written >= frameBytes && d->delivered < d->totalFrames && !d->failed) {
        const float *ready;
        std::size_t readyFrames;
        if (d->resampler) {
            if (d->outputBegin == d->outputEnd) {
                if (!d->resample())
                    break;
                continue;
            }
            ready = d->output.data() + d->outputBegin;
            readyFrames = (d->outputEnd - d->outputBegin) / channels;
        } else {
            if (d->inputBegin == d->inputEnd) {
                if (d->nextOffset == d->layout.dataSize || !d->decodeNextWindow())
                    break;
                continue;
            }
            ready = d->input.data() + d->inputBegin;
            readyFrames = (d->inputEnd - d->inputBegin) / channels;
        }
        const std::size_t frames = std::size_t(std::min<std::uint64_t>(
            {readyFrames, (length - written) / frameBytes, d->totalFrames - d->delivered}));
        for (std::size_t i = 0; i < frames * channels; ++i) {
            const Sint16 sample = deviceSample(ready[i]);
            std::memcpy(out + written + i * sizeof(Sint16), &sample, sizeof sample);
        }
        written += frames * frameBytes;
        d->delivered += frames;
        if (d->resampler)
            d->outputBegin += frames * channels;
        else
            d->inputBegin += frames * channels;
    }
    return written;
}

void WaveStream::rewind()
{
    d->nextOffset = 0;
    d->inputBegin = d->inputEnd = 0;
    d->outputBegin = d->outputEnd = 0;
    d->delivered = 0;
    if (d->resampler)
        d->resampler->reset();
}

} // namespace tk
