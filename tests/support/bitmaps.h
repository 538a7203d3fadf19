#pragma once

// Bitmap files made in memory, for pictures loaded as the program loads its own.

#include <QBuffer>
#include <QByteArray>
#include <QImage>

inline QByteArray bmpBytes(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.convertToFormat(QImage::Format_RGB32).save(&buffer, "BMP");
    return bytes;
}

// A bitmap of one colour.
inline QByteArray bmpBytes(QSize size, QColor fill)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(fill);
    return bmpBytes(image);
}
