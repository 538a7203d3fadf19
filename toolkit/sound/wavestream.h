#pragma once

#include "toolkit/sound/sdlaudio.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace tk {

// A RIFF WAVE image played where it lies. Its samples are decoded by SDL's WAVE reader a window of
// whole blocks at a time and brought to the device's format as the device asks for them, so that a
// sound takes the same memory and the same time to start whatever its length. The image must stay
// alive and unchanged while the stream reads it.
class WaveStream {
public:
    // size: the image's length, or 0 to take its extent from the RIFF header. Null, with the reason in
    // the sound log, for an image that is not a complete RIFF WAVE image in a format SDL reads, or at a
    // sample rate that cannot be brought to the device's.
    static std::unique_ptr<WaveStream> open(const sdl::AudioApi &api, const void *image, std::size_t size,
                                            const SDL_AudioSpec &device);
    ~WaveStream();
    WaveStream(const WaveStream &) = delete;
    WaveStream &operator=(const WaveStream &) = delete;

    const void *image() const;
    // Device frames in one pass through the sound.
    std::uint64_t frames() const;
    // Writes the next device frames, up to length bytes, and returns the bytes written: fewer than
    // length only at the end of the pass or when a window of the image cannot be decoded (failed()).
    std::size_t read(Uint8 *out, std::size_t length);
    bool failed() const;
    // Back to the first sample, for the next pass of a loop.
    void rewind();

private:
    struct Private;
    explicit WaveStream(std::unique_ptr<Private> d);
    std::unique_ptr<Private> d;
};

} // namespace tk
