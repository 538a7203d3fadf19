// Feeds arbitrary bytes to the wave output as a sound image: the image's chunks, SDL's WAVE reader
// window by window, the conversion to the device's format and rate, and the start of the sound on SDL's
// dummy driver (no sound card needed).

#include "toolkit/sound/sdlaudio.h"
#include "toolkit/sound/waveoutput.h"
#include "toolkit/sound/wavestream.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// Output read from each image directly, as the device would ask for it: a few seconds at most, so that
// a long sound does not slow the fuzzer down.
constexpr std::size_t readBytes = 4096;
constexpr int maxReads = 64;

void readThrough(const std::uint8_t *data, std::size_t size)
{
    static tk::sdl::AudioApi api;
    static const bool loaded = tk::sdl::loadAudioApi(tk::sdl::kLibraryName, api);
    if (!loaded)
        std::abort();
    // A device rate that every common sound rate has to be converted to.
    SDL_AudioSpec device{};
    device.freq = 48000;
    device.format = AUDIO_S16SYS;
    device.channels = 2;
    auto stream = tk::WaveStream::open(api, data, size, device);
    if (!stream)
        return;
    static Uint8 buffer[readBytes];
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < maxReads && stream->read(buffer, readBytes) == readBytes; ++i) {
        }
        // The next pass of a loop starts from the first sample again.
        stream->rewind();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size > 0)
        readThrough(data, size);
    tk::WaveOutput &output = tk::WaveOutput::process();
    // With its length known, as a list of images plays it.
    if (size > 0)
        output.play(data, size, tk::SND_ASYNC | tk::SND_MEMORY);
    // With the extent taken from the RIFF header, as a component that only sets the image's address; only
    // where the header stays inside the input, as such a component promises.
    if (size >= 8 && std::memcmp(data, "RIFF", 4) == 0) {
        const std::uint64_t riff = std::uint64_t(data[4]) | std::uint64_t(data[5]) << 8 |
                                   std::uint64_t(data[6]) << 16 | std::uint64_t(data[7]) << 24;
        if (riff + 8 <= size)
            output.play(data, 0, tk::SND_ASYNC | tk::SND_MEMORY | tk::SND_LOOP);
    }
    // The input is freed when this returns: the output must have stopped reading it.
    output.stop();
    return 0;
}
