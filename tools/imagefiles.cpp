#include "tools/imagefiles.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include <jpeglib.h>

namespace imagefiles {

namespace {

// libjpeg's own error_exit ends the process; this one jumps back to the caller with the message.
struct JumpingErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf back;
    char message[JMSG_LENGTH_MAX];
};

void jumpBack(j_common_ptr cinfo)
{
    auto *manager = reinterpret_cast<JumpingErrorManager *>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, manager->message);
    std::longjmp(manager->back, 1);
}

void stayQuiet(j_common_ptr)
{
}

// No object with a destructor may live in this frame: the jump back from libjpeg would skip it.
bool compress(const unsigned char *rgb, int width, int height, int quality, bool fullChroma,
              unsigned char **out, unsigned long *outSize, JumpingErrorManager *errors)
{
    jpeg_compress_struct cinfo;
    cinfo.err = jpeg_std_error(&errors->base);
    errors->base.error_exit = jumpBack;
    errors->base.output_message = stayQuiet;
    if (setjmp(errors->back)) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, out, outSize);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    cinfo.dct_method = JDCT_ISLOW;
    cinfo.optimize_coding = TRUE;
    if (fullChroma) {
        cinfo.comp_info[0].h_samp_factor = 1;
        cinfo.comp_info[0].v_samp_factor = 1;
    }
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row =
            const_cast<unsigned char *>(rgb + static_cast<std::size_t>(cinfo.next_scanline) * width * 3);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

void putLe16(QByteArray &bytes, std::uint16_t value)
{
    bytes.append(static_cast<char>(value & 0xFF));
    bytes.append(static_cast<char>(value >> 8));
}

void putLe32(QByteArray &bytes, std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        bytes.append(static_cast<char>((value >> shift) & 0xFF));
}

int paddedRowBytes(int width, int bytesPerPixel)
{
    return (width * bytesPerPixel + 3) / 4 * 4;
}

constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kPixelsPerMetre = 3780; // 96 dots per inch
constexpr std::uint32_t kNoCompression = 0;     // BI_RGB
constexpr std::uint32_t kMaskedFields = 3;      // BI_BITFIELDS

void putHeaders(QByteArray &bytes, int width, int height, int bitsPerPixel, std::uint32_t compression,
                std::uint32_t extraHeaderBytes, std::uint32_t imageBytes)
{
    const std::uint32_t pixelOffset = kFileHeaderSize + kInfoHeaderSize + extraHeaderBytes;
    bytes.append("BM");
    putLe32(bytes, pixelOffset + imageBytes);
    putLe32(bytes, 0);
    putLe32(bytes, pixelOffset);
    putLe32(bytes, kInfoHeaderSize);
    putLe32(bytes, static_cast<std::uint32_t>(width));
    putLe32(bytes, static_cast<std::uint32_t>(height)); // positive: rows run bottom-up
    putLe16(bytes, 1);
    putLe16(bytes, static_cast<std::uint16_t>(bitsPerPixel));
    putLe32(bytes, compression);
    putLe32(bytes, imageBytes);
    putLe32(bytes, kPixelsPerMetre);
    putLe32(bytes, kPixelsPerMetre);
    putLe32(bytes, 0);
    putLe32(bytes, 0);
}

// A 4 x 4 Bayer matrix: thresholds spread evenly so no dither pattern lines up with the grain.
constexpr int kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

int quantise(int value, int levels, int threshold)
{
    // value * levels / 255 rounded by a threshold of (2 t + 1) / 32, all in integers.
    const int q = (value * levels * 32 + (2 * threshold + 1) * 255) / (255 * 32);
    return q > levels ? levels : q;
}

} // namespace

QByteArray encodeJpeg(const QImage &image, int quality, Chroma chroma)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    std::vector<unsigned char> packed(static_cast<std::size_t>(rgb.width()) * rgb.height() * 3);
    for (int y = 0; y < rgb.height(); ++y)
        std::copy_n(rgb.constScanLine(y), rgb.width() * 3,
                    packed.data() + static_cast<std::size_t>(y) * rgb.width() * 3);

    unsigned char *out = nullptr;
    unsigned long outSize = 0;
    JumpingErrorManager errors{};
    const bool ok = compress(packed.data(), rgb.width(), rgb.height(), quality, chroma == Chroma::Full, &out,
                             &outSize, &errors);
    QByteArray bytes;
    if (ok)
        bytes = QByteArray(reinterpret_cast<const char *>(out), static_cast<qsizetype>(outSize));
    std::free(out);
    if (!ok)
        throw std::runtime_error(std::string("JPEG encoding failed: ") + errors.message);
    return bytes;
}

QByteArray encodeBmp24(const QImage &image)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    const int rowBytes = paddedRowBytes(rgb.width(), 3);
    QByteArray bytes;
    putHeaders(bytes, rgb.width(), rgb.height(), 24, kNoCompression, 0,
               static_cast<std::uint32_t>(rowBytes * rgb.height()));
    for (int y = rgb.height() - 1; y >= 0; --y) {
        const uchar *line = rgb.constScanLine(y);
        for (int x = 0; x < rgb.width(); ++x) {
            const uchar *pixel = line + static_cast<qsizetype>(x) * 3;
            bytes.append(static_cast<char>(pixel[2]));
            bytes.append(static_cast<char>(pixel[1]));
            bytes.append(static_cast<char>(pixel[0]));
        }
        bytes.append(QByteArray(rowBytes - rgb.width() * 3, '\0'));
    }
    return bytes;
}

std::vector<std::uint16_t> toRgb565(const QImage &image)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    std::vector<std::uint16_t> pixels;
    pixels.reserve(static_cast<std::size_t>(rgb.width()) * rgb.height());
    for (int y = 0; y < rgb.height(); ++y) {
        const uchar *line = rgb.constScanLine(y);
        for (int x = 0; x < rgb.width(); ++x) {
            const int t = kBayer[y % 4][x % 4];
            const uchar *pixel = line + static_cast<qsizetype>(x) * 3;
            const int r = quantise(pixel[0], 31, t);
            const int g = quantise(pixel[1], 63, t);
            const int b = quantise(pixel[2], 31, t);
            pixels.push_back(static_cast<std::uint16_t>(r << 11 | g << 5 | b));
        }
    }
    return pixels;
}

void placeKeyColor(std::vector<std::uint16_t> &pixels, int width, std::uint16_t key,
                   const std::vector<QPoint> &keyPixels)
{
    // Flipping the lowest blue bit is the smallest change the eye cannot see.
    for (std::uint16_t &pixel : pixels)
        if (pixel == key)
            pixel ^= 1;
    for (const QPoint &p : keyPixels)
        pixels.at(static_cast<std::size_t>(p.y()) * width + p.x()) = key;
}

QByteArray encodeBmp565(int width, int height, const std::vector<std::uint16_t> &pixels)
{
    if (pixels.size() != static_cast<std::size_t>(width) * height)
        throw std::runtime_error("pixel count does not match the picture size");
    const int rowBytes = paddedRowBytes(width, 2);
    QByteArray bytes;
    putHeaders(bytes, width, height, 16, kMaskedFields, 12, static_cast<std::uint32_t>(rowBytes * height));
    putLe32(bytes, 0xF800);
    putLe32(bytes, 0x07E0);
    putLe32(bytes, 0x001F);
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x)
            putLe16(bytes, pixels[static_cast<std::size_t>(y) * width + x]);
        bytes.append(QByteArray(rowBytes - width * 2, '\0'));
    }
    return bytes;
}

QByteArray encodePng(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        throw std::runtime_error("PNG encoding failed");
    return bytes;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write " + path.toStdString() + ": " +
                                 file.errorString().toStdString());
}

} // namespace imagefiles
