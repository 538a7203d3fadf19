#pragma once

// Bitmap files made in memory, for pictures loaded as the program loads its own.

#include <QBuffer>
#include <QByteArray>
#include <QImage>

// A two-colour image is stored as a two-colour (1-bit) bitmap, every other one as a 32-bit one.
inline QByteArray bmpBytes(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const bool twoColours = image.format() == QImage::Format_Mono || image.format() == QImage::Format_MonoLSB;
    (twoColours ? image : image.convertToFormat(QImage::Format_RGB32)).save(&buffer, "BMP");
    return bytes;
}

// A bitmap of one colour.
inline QByteArray bmpBytes(QSize size, QColor fill)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(fill);
    return bmpBytes(image);
}
