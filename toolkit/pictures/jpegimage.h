#pragma once

#include "toolkit/pictures/graphics.h"

#include <QRectF>

namespace tk {

// A JPEG picture on libjpeg. Loading keeps the file's bytes and parses the header (the size); pixels
// are decoded when the picture is first drawn, only the part that is visible, and only as finely as the
// device pixels it covers need (libjpeg's scaled decoding, then smooth scaling). Each paint has a budget
// in proportion to what it shows. Errors while loading raise "JPEG error #%d" with libjpeg's own message
// code. Errors while decoding for painting are not raised: what could be decoded is drawn and the rest
// is grey, as for a file cut short; the failure is remembered so that a broken picture is not decoded
// again on every repaint.
class JpegImage : public Graphic {
public:
    JpegImage();
    ~JpegImage() override;

    int width() const override;
    int height() const override;
    void loadFromData(const QByteArray &data) override;
    void draw(QPainter &painter, QPoint origin, const QRect &visible) override;
    // Starts the decode that draw would make with these arguments on a thread of its own; the next draw
    // (or any of the queries below) takes the result, waiting for it if need be, and decodes whatever it
    // needs beyond it as usual. Loading another picture drops it.
    void decodeAhead(const QTransform &toDevice, const QRect &deviceClip, QPoint origin,
                     const QRect &visible) override;

    // For tests and benchmarks: the region decoded so far (picture coordinates) and its pixels.
    QRectF decodedRect() const;
    const QImage &decodedImage() const;
    bool decodeFailed() const;
    // How many times pixels were decoded since construction (each draw that missed the cache, each
    // decode ahead).
    int decodeCount() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// Registers "jpeg" and "jpg" as JPEG pictures; part of the program's start-up.
void registerJpegFormat();

} // namespace tk
