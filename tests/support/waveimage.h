#pragma once

#include <QByteArray>
#include <QtEndian>

#include <cmath>
#include <cstdint>

// Builds RIFF WAVE images for the sound tests: a square wave that never rests at zero, so that any
// stretch of a device's output taken while it plays is audibly not silence.
struct WaveShape {
    std::uint16_t formatTag = 1; // 1 PCM, 3 IEEE float, 6 A-law, 7 mu-law
    std::uint16_t channels = 1;
    std::uint32_t rate = 22050;
    std::uint16_t bits = 16;
    std::uint32_t milliseconds = 100;
};

inline void appendLe16(QByteArray &out, std::uint16_t value)
{
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, 2);
}

inline void appendLe32(QByteArray &out, std::uint32_t value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

// One sample of the square wave at full or negative half scale, in the shape's encoding.
inline QByteArray waveSample(const WaveShape &shape, bool high)
{
    QByteArray sample;
    const int bytes = shape.bits / 8;
    if (shape.formatTag == 3) {
        const float value = high ? 0.5f : -0.5f;
        char raw[4];
        qToLittleEndian(value, raw);
        sample.append(raw, 4);
    } else if (shape.formatTag == 6 || shape.formatTag == 7) {
        // Companded codes far from the ones for zero.
        sample.append(char(high ? 0x20 : 0xA0));
    } else if (bytes == 1) {
        sample.append(char(high ? 0xC0 : 0x40));
    } else {
        // The high byte carries the level; the lower bytes stay zero.
        sample.fill('\0', bytes);
        sample[bytes - 1] = char(high ? 0x40 : 0xC0);
    }
    return sample;
}

// A complete image of the shape around data, which holds frames sample frames.
inline QByteArray wrapWaveData(const WaveShape &shape, const QByteArray &data, std::uint32_t frames)
{
    const std::uint16_t blockAlign = std::uint16_t(shape.channels * (shape.bits / 8));
    const bool extended = shape.formatTag != 1;
    QByteArray image("RIFF");
    appendLe32(image, 0); // patched below
    image.append("WAVEfmt ");
    appendLe32(image, extended ? 18 : 16);
    appendLe16(image, shape.formatTag);
    appendLe16(image, shape.channels);
    appendLe32(image, shape.rate);
    appendLe32(image, shape.rate * blockAlign);
    appendLe16(image, blockAlign);
    appendLe16(image, shape.bits);
    if (extended) {
        appendLe16(image, 0); // no format extra bytes
        image.append("fact");
        appendLe32(image, 4);
        appendLe32(image, frames);
    }
    image.append("data");
    appendLe32(image, std::uint32_t(data.size()));
    image.append(data);
    if (data.size() % 2)
        image.append('\0');
    qToLittleEndian(std::uint32_t(image.size() - 8), image.data() + 4);
    return image;
}

inline std::uint32_t waveFrames(const WaveShape &shape)
{
    return std::uint32_t(std::uint64_t(shape.rate) * shape.milliseconds / 1000);
}

inline QByteArray makeWaveImage(const WaveShape &shape)
{
    const std::uint32_t frames = waveFrames(shape);
    QByteArray data;
    const std::uint32_t halfPeriod = shape.rate / 400 ? shape.rate / 400 : 1; // a 200 Hz tone
    for (std::uint32_t frame = 0; frame < frames; ++frame) {
        const QByteArray sample = waveSample(shape, (frame / halfPeriod) % 2 == 0);
        for (int channel = 0; channel < shape.channels; ++channel)
            data.append(sample);
    }
    return wrapWaveData(shape, data, frames);
}

// The tone the output's samples are measured with: 16-bit PCM of offset + amplitude * sin(2 pi f t) in
// every channel. The offset keeps the first and last frames off zero, so that the sound's extent shows
// in a device's output.
struct SineTone {
    double frequency = 200;
    double offset = 0.2;
    double amplitude = 0.4;
};

inline QByteArray makeSineImage(WaveShape shape, const SineTone &tone = {})
{
    shape.formatTag = 1;
    shape.bits = 16;
    const std::uint32_t frames = waveFrames(shape);
    QByteArray data;
    data.reserve(qsizetype(frames) * shape.channels * 2);
    for (std::uint32_t frame = 0; frame < frames; ++frame) {
        const double value =
            tone.offset + tone.amplitude * std::sin(2 * M_PI * tone.frequency * frame / shape.rate);
        const auto sample = std::uint16_t(std::int16_t(std::lround(value * 32767)));
        for (int channel = 0; channel < shape.channels; ++channel)
            appendLe16(data, sample);
    }
    return wrapWaveData(shape, data, frames);
}
