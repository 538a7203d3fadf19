// Feeds arbitrary bytes to the wave output as a sound image: SDL's WAVE reader, the conversion to the
// device format and the start of the sound, on SDL's dummy driver (no sound card needed).

#include "waveoutput.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
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
    output.stop();
    return 0;
}
