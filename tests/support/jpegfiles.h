#pragma once

// JPEG files for tests, benchmarks and fuzzing seeds, written with libjpeg itself so that nothing
// depends on an image plugin.

#include <QByteArray>
#include <QImage>
#include <QPainter>

#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>
#include <vector>

namespace testfiles {

inline const QRgb kRed = qRgb(255, 0, 0);
inline const QRgb kGreen = qRgb(0, 255, 0);
inline const QRgb kBlue = qRgb(0, 0, 255);
inline const QRgb kWhite = qRgb(255, 255, 255);

enum class Encoding { Baseline444, Baseline420, Progressive420, Grayscale, CmykInverted, CmykPlain, Ycck };

// One progressive scan: components, spectral band, successive approximation.
struct Scan {
    std::vector<int> components;
    int ss, se, ah, al;
};

// Writes picture as JPEG with libjpeg itself, so the tests do not depend on an image plugin. CMYK is
// written the way most CMYK files are (inverted, said so by an APP14 marker) unless the marker is left out.
inline QByteArray encodeJpeg(const QImage &picture, Encoding encoding, const std::vector<Scan> &scans = {},
                             bool arithmetic = false)
{
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);

    const bool grey = encoding == Encoding::Grayscale;
    const bool cmyk =
        encoding == Encoding::CmykInverted || encoding == Encoding::CmykPlain || encoding == Encoding::Ycck;
    cinfo.image_width = JDIMENSION(rgb.width());
    cinfo.image_height = JDIMENSION(rgb.height());
    cinfo.input_components = grey ? 1 : cmyk ? 4 : 3;
    cinfo.in_color_space = grey ? JCS_GRAYSCALE : cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 95, TRUE);
    if (encoding == Encoding::Baseline444) {
        cinfo.comp_info[0].h_samp_factor = 1;
        cinfo.comp_info[0].v_samp_factor = 1;
    }
    if (encoding == Encoding::Ycck)
        jpeg_set_colorspace(&cinfo, JCS_YCCK);
    if (encoding == Encoding::CmykPlain)
        cinfo.write_Adobe_marker = FALSE;
    if (encoding == Encoding::Progressive420)
        jpeg_simple_progression(&cinfo);
    std::vector<jpeg_scan_info> script;
    if (!scans.empty()) {
        for (const Scan &scan : scans) {
            jpeg_scan_info info{};
            info.comps_in_scan = int(scan.components.size());
            for (size_t i = 0; i < scan.components.size(); ++i)
                info.component_index[i] = scan.components[i];
            info.Ss = scan.ss;
            info.Se = scan.se;
            info.Ah = scan.ah;
            info.Al = scan.al;
            script.push_back(info);
        }
        cinfo.scan_info = script.data();
        cinfo.num_scans = int(script.size());
    }
    cinfo.arith_code = arithmetic ? TRUE : FALSE;
    jpeg_start_compress(&cinfo, TRUE);

    std::vector<JSAMPLE> row(size_t(rgb.width()) * cinfo.input_components);
    while (cinfo.next_scanline < cinfo.image_height) {
        const uchar *source = rgb.constScanLine(int(cinfo.next_scanline));
        JSAMPLE *out = row.data();
        for (int x = 0; x < rgb.width(); ++x, source += 3) {
            const int r = source[0], g = source[1], b = source[2];
            if (grey) {
                *out++ = JSAMPLE(qGray(r, g, b));
            } else if (encoding == Encoding::CmykPlain) {
                *out++ = JSAMPLE(255 - r);
                *out++ = JSAMPLE(255 - g);
                *out++ = JSAMPLE(255 - b);
                *out++ = 0;
            } else if (cmyk) {
                *out++ = JSAMPLE(r);
                *out++ = JSAMPLE(g);
                *out++ = JSAMPLE(b);
                *out++ = 255;
            } else {
                *out++ = JSAMPLE(r);
                *out++ = JSAMPLE(g);
                *out++ = JSAMPLE(b);
            }
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    QByteArray result(reinterpret_cast<const char *>(buffer), qsizetype(size));
    std::free(buffer);
    return result;
}

// Red, green / blue, white.
inline QImage quadrants(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    const int w = width / 2, h = height / 2;
    painter.fillRect(0, 0, w, h, QColor(kRed));
    painter.fillRect(w, 0, width - w, h, QColor(kGreen));
    painter.fillRect(0, h, w, height - h, QColor(kBlue));
    painter.fillRect(w, h, width - w, height - h, QColor(kWhite));
    return image;
}

// The same file claiming other sides: the frame header's height and width are patched in place. Any
// start-of-frame marker (Huffman or arithmetic, sequential or progressive) is found.
inline QByteArray withSides(QByteArray jpeg, int width, int height)
{
    for (qsizetype i = 2; i + 9 < jpeg.size(); ++i) {
        const uchar marker = uchar(jpeg[i + 1]);
        if (uchar(jpeg[i]) != 0xFF || marker < 0xC0 || marker > 0xCF || marker == 0xC4 || marker == 0xC8 ||
            marker == 0xCC)
            continue;
        jpeg[i + 5] = char(height >> 8);
        jpeg[i + 6] = char(height & 0xFF);
        jpeg[i + 7] = char(width >> 8);
        jpeg[i + 8] = char(width & 0xFF);
        return jpeg;
    }
    return QByteArray();
}

// A picture of a single grey, written a row at a time: a huge one costs its encoding time only.
inline QByteArray constantGreyJpeg(int width, int height)
{
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> row(size_t(width) * 3, JSAMPLE(128));
    JSAMPROW rows[1] = {row.data()};
    while (cinfo.next_scanline < cinfo.image_height)
        jpeg_write_scanlines(&cinfo, rows, 1);
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    QByteArray result(reinterpret_cast<const char *>(buffer), qsizetype(size));
    std::free(buffer);
    return result;
}

// A progressive file whose last scan is repeated until it has `scans` scans in all: legal markers,
// absurd work.
inline QByteArray manyScansJpeg(int scans, QSize size = QSize(64, 64))
{
    const QByteArray progressive =
        encodeJpeg(quadrants(size.width(), size.height()), Encoding::Progressive420);
    const qsizetype lastScan = progressive.lastIndexOf("\xFF\xDA");
    const qsizetype end = progressive.lastIndexOf("\xFF\xD9");
    int present = 0;
    for (qsizetype at = progressive.indexOf("\xFF\xDA"); at >= 0;
         at = progressive.indexOf("\xFF\xDA", at + 2))
        ++present;
    QByteArray result = progressive.left(end);
    const QByteArray repeated = progressive.mid(lastScan, end - lastScan);
    for (int i = present; i < scans; ++i)
        result += repeated;
    return result + QByteArray("\xFF\xD9", 2);
}

struct NamedJpeg {
    const char *name;
    QByteArray data;
};

// Headers that claim 65500 x 65500 pixels over the data of a 32 x 32 picture.
inline std::vector<NamedJpeg> giantHeaders()
{
    const QImage small = quadrants(32, 32);
    return {
        {"huffman_baseline", withSides(encodeJpeg(small, Encoding::Baseline420), 65500, 65500)},
        {"huffman_progressive", withSides(encodeJpeg(small, Encoding::Progressive420), 65500, 65500)},
        {"arithmetic_colour", withSides(encodeJpeg(small, Encoding::Baseline420, {}, true), 65500, 65500)},
        {"arithmetic_cmyk", withSides(encodeJpeg(small, Encoding::CmykInverted, {}, true), 65500, 65500)},
        {"arithmetic_progressive",
         withSides(encodeJpeg(small, Encoding::Progressive420, {}, true), 65500, 65500)},
    };
}

} // namespace testfiles
