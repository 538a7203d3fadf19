#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace tk {

// Brings interleaved float frames from one sample rate to another with libsamplerate, which is loaded
// with dlopen when the first sound needs it. However the input is cut into pieces, a sound of n frames
// comes out as ceil(n * to / from) frames, its first frame at the sound's first instant: the output
// stands for the same span of time, with nothing lost or added at the joins.
class Resampler {
public:
    // Null when libsamplerate is missing or cannot convert between the two rates.
    static std::unique_ptr<Resampler> create(int channels, int fromRate, int toRate);
    ~Resampler();
    Resampler(const Resampler &) = delete;
    Resampler &operator=(const Resampler &) = delete;

    // Takes frames from the front of input (which it shortens) and writes up to output's size in frames;
    // returns the frames written. 0 means that all input has been taken and more is needed or, with
    // ended, that the sound is complete. ended: input holds the last frames of the sound.
    std::size_t process(std::span<const float> &input, bool ended, std::span<float> output);
    // Forgets the sound so far, for the start of another.
    void reset();

private:
    struct Private;
    explicit Resampler(std::unique_ptr<Private> d);
    std::unique_ptr<Private> d;
};

} // namespace tk
