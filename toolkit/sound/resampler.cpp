#include "toolkit/sound/resampler.h"

#include "toolkit/sound/librarysymbols.h"
#include "toolkit/sound/soundlog.h"

#include <samplerate.h>

#include <dlfcn.h>

#include <algorithm>
#include <vector>

namespace tk {

namespace {

struct SampleRateApi {
    decltype(&src_new) New = nullptr;
    decltype(&src_delete) Delete = nullptr;
    decltype(&src_process) Process = nullptr;
    decltype(&src_reset) Reset = nullptr;
    decltype(&src_is_valid_ratio) IsValidRatio = nullptr;
    decltype(&src_strerror) StrError = nullptr;
};

// Loaded once; null when the library or one of its functions is missing. The handle is never closed.
const SampleRateApi *sampleRateApi()
{
    static const SampleRateApi *const api = []() -> const SampleRateApi * {
        void *handle = ::dlopen("libsamplerate.so.0", RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            qCDebug(lcSound, "libsamplerate: %s", ::dlerror());
            return nullptr;
        }
        static SampleRateApi loaded;
        const bool complete = resolveSymbol(handle, "src_new", loaded.New) &&
                              resolveSymbol(handle, "src_delete", loaded.Delete) &&
                              resolveSymbol(handle, "src_process", loaded.Process) &&
                              resolveSymbol(handle, "src_reset", loaded.Reset) &&
                              resolveSymbol(handle, "src_is_valid_ratio", loaded.IsValidRatio) &&
                              resolveSymbol(handle, "src_strerror", loaded.StrError);
        return complete ? &loaded : nullptr;
    }();
    return api;
}

// The sound goes on as silence past its end until its last output frame is complete; fed this many
// frames at a time.
constexpr std::size_t kTailFrames = 256;

} // namespace

struct Resampler::Private {
    const SampleRateApi *api;
    SRC_STATE *state;
    int channels;
    std::uint64_t from;
    std::uint64_t to;
    std::uint64_t taken = 0;
    std::uint64_t given = 0;
    std::vector<float> silence;
};

Resampler::Resampler(std::unique_ptr<Private> d) : d(std::move(d))
{
}

Resampler::~Resampler()
{
    d->api->Delete(d->state);
}

std::unique_ptr<Resampler> Resampler::create(int channels, int fromRate, int toRate)
{
    const SampleRateApi *api = sampleRateApi();
    if (!api || channels <= 0 || fromRate <= 0 || toRate <= 0 ||
        !api->IsValidRatio(double(toRate) / fromRate))
        return nullptr;
    int error = 0;
    SRC_STATE *state = api->New(SRC_SINC_MEDIUM_QUALITY, channels, &error);
    if (!state) {
        qCDebug(lcSound, "libsamplerate: %s", api->StrError(error));
        return nullptr;
    }
    auto d = std::make_unique<Private>();
    d->api = api;
    d->state = state;
    d->channels = channels;
    d->from = std::uint64_t(fromRate);
    d->to = std::uint64_t(toRate);
    d->silence.assign(std::size_t(channels) * kTailFrames, 0.0f);
    return std::unique_ptr<Resampler>(new Resampler(std::move(d)));
}

std::size_t Resampler::process(std::span<const float> &input, bool ended, std::span<float> output)
{
    const std::size_t channels = std::size_t(d->channels);
    std::size_t capacity = output.size() / channels;
    if (ended) {
        // The exact length, whatever the library's own idea of the end: every output instant inside the
        // sound, and no other.
        const std::uint64_t all = d->taken + input.size() / channels;
        const std::uint64_t total = (all * d->to + d->from - 1) / d->from;
        capacity = std::size_t(std::min<std::uint64_t>(capacity, total - d->given));
    }
    std::size_t written = 0;
    while (written == 0 && capacity > 0) {
        const bool tail = input.empty();
        if (tail && !ended)
            break;
        SRC_DATA data{};
        data.data_in = tail ? d->silence.data() : input.data();
        data.input_frames = long(tail ? kTailFrames : input.size() / channels);
        data.data_out = output.data();
        data.output_frames = long(capacity);
        data.src_ratio = double(d->to) / double(d->from);
        if (const int error = d->api->Process(d->state, &data)) {
            qCDebug(lcSound, "libsamplerate: %s", d->api->StrError(error));
            break;
        }
        if (!tail) {
            input = input.subspan(std::size_t(data.input_frames_used) * channels);
            d->taken += std::uint64_t(data.input_frames_used);
        }
        written = std::size_t(data.output_frames_gen);
        // The library always takes or gives something; should it not, the caller sees the end.
        if (written == 0 && data.input_frames_used == 0)
            break;
    }
    d->given += written;
    return written;
}

void Resampler::reset()
{
    d->api->Reset(d->state);
    d->taken = 0;
    d->given = 0;
}

} // namespace tk
