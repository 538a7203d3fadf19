#pragma once

#include <QByteArray>
#include <QImage>
#include <QPoint>
#include <QString>

#include <cstdint>
#include <vector>

// Encoders whose bytes depend on the pixels alone (no time stamps, no library defaults that drift), so a
// second run of the generator writes the same files. All of them throw std::runtime_error on failure.
namespace imagefiles {

// Baseline JPEG, 8-bit YCbCr, the library's accurate integer transform. Full chroma resolution keeps the
// thin strokes and small letters of the cards clean; the large textures do well with 4:2:0.
enum class Chroma { Subsampled, Full };
QByteArray encodeJpeg(const QImage &image, int quality, Chroma chroma);

// 24 bits per pixel, uncompressed, bottom-up.
QByteArray encodeBmp24(const QImage &image);

// 5-6-5 values of an image, rows top-down, with ordered dithering so that smooth wood keeps its shading.
std::vector<std::uint16_t> toRgb565(const QImage &image);

// Gives the pixels at `keyPixels` the value `key` and moves every other pixel that happens to have it to
// the nearest other value, so that `key` marks exactly those pixels.
void placeKeyColor(std::vector<std::uint16_t> &pixels, int width, std::uint16_t key,
                   const std::vector<QPoint> &keyPixels);

// 16 bits per pixel with BI_BITFIELDS masks 5-6-5 after a 40-byte info header, bottom-up.
QByteArray encodeBmp565(int width, int height, const std::vector<std::uint16_t> &pixels);

QByteArray encodePng(const QImage &image);

void writeFile(const QString &path, const QByteArray &bytes);

} // namespace imagefiles
