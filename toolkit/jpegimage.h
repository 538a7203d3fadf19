#pragma once

#include "graphics.h"

namespace tk {

// A JPEG picture on libjpeg. Loading keeps the file's bytes and parses the header (the size); pixels
// are decoded when the picture is first drawn, and only the part that is visible. Errors while loading
// raise "JPEG error #%d" with libjpeg's own message code. Errors while decoding for painting are not
// raised: what could be decoded is drawn, the rest not, and the failure is remembered so that a broken
// picture is not decoded again on every repaint.
class JpegImage : public Graphic {
public:
    JpegImage();
    ~JpegImage() override;

    int width() const override;
    int height() const override;
    void loadFromData(const QByteArray &data) override;
    void draw(QPainter &painter, QPoint origin, const QRect &visible) override;
    // Decodes region on a thread of its own; the first draw takes the result, waiting for it if need be,
    // and decodes whatever it needs beyond it as usual. Loading another picture drops it.
    void decodeAhead(const QRect &region) override;

    // For tests and benchmarks: the region decoded so far (picture coordinates) and its pixels.
    QRect decodedRect() const;
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
