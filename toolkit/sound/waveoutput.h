#pragma once

#include <cstddef>
#include <memory>

namespace tk {

// How a wave image is to be played; the bits a wave component hands over with every play.
enum SoundFlag : unsigned {
    SND_ASYNC = 1,     // return at once instead of when the sound has ended
    SND_NODEFAULT = 2, // no stand-in sound when the image cannot be played (there never is one here)
    SND_MEMORY = 4,    // the sound is an image in memory (the only kind played here)
    SND_LOOP = 8,      // repeat until stopped or replaced; implies SND_ASYNC
};

// The format the device is opened in and every sound is brought to. A device that runs at another rate
// keeps it, and sounds are brought to that rate instead.
struct WaveDeviceFormat {
    int rate;
    int channels;
    int bytesPerSample;
    int bytesPerSecond() const { return rate * channels * bytesPerSample; }
};
inline constexpr WaveDeviceFormat kWaveDeviceFormat{44100, 2, 2};

// Plays RIFF WAVE images held in memory on one audio device, one sound at a time: starting a sound or
// stopping ends the one before. A sound is read from its image while it plays, so the image must stay
// alive until the sound has ended, has been replaced or stopped, or stopReading has let it go. SDL is
// loaded, and the device opened, by the first play, so that a program that never plays a sound never
// maps the library. Failures (no library, no audio driver or device, an image SDL's reader refuses) make
// a play report false, leave the output silent and write nothing to standard error; their reasons go to
// the lcSound logging category (soundlog.h).
class WaveOutput {
public:
    // library: the shared library to load SDL from at the first play.
    explicit WaveOutput(const char *library);
    ~WaveOutput();
    WaveOutput(const WaveOutput &) = delete;
    WaveOutput &operator=(const WaveOutput &) = delete;

    // The output of the process, closed at exit. Only it may load the real library: SDL's audio
    // subsystem is one per process.
    static WaveOutput &process();

    // image: a complete RIFF WAVE image; size: its length, or 0 to take the extent from the image's RIFF
    // header (then the header must not lie). A null image only stops. True when the sound has started
    // (and with SND_ASYNC clear, played to its end).
    bool play(const void *image, std::size_t size, unsigned flags);
    void stop();
    // Ends the sound if it is read from image; once it returns, the output no longer touches image. For
    // the owner of an image that may still be sounding, before it lets the image go.
    void stopReading(const void *image);
    // Ends the sound, closes the device (its thread ends with it) and lets SDL go; later plays report
    // false.
    void close();

    // Between the start of a sound and the moment the device has taken its last sample.
    bool isSounding() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// The process's wave output, as the wave components call it: a null image stops the sound.
bool playSound(const void *image, std::size_t size, unsigned flags);

} // namespace tk
