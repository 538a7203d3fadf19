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


} // namespace testfiles
