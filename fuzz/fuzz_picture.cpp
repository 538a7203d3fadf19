// Any bytes as a JPEG picture: loaded as the program loads a picture file, then painted into a picture
// control of the main window's slot size, from its top-left corner, centred or stretched, at pixel ratio
// 1 or 2. The last byte chooses one of the six ways (libjpeg ignores what follows the end of the image),
// so that an input costs one paint, not six. A failed load is an expected outcome; a crash, a leak,
// undefined behaviour or a paint that runs away (the fuzzer's timeout and memory limit) is a finding.

#include "errors.h"
#include "image.h"
#include "jpegimage.h"

#include <QApplication>
#include <QPainter>

#include <cstddef>
#include <cstdint>

using namespace Qt::StringLiterals;

namespace {

QApplication *application = nullptr;

void paint(tk::TImage &image, qreal ratio)
{
    QImage target(QSize(145, 177) * ratio, QImage::Format_ARGB32_Premultiplied);
    target.setDevicePixelRatio(ratio);
    target.fill(Qt::magenta);
    QPainter painter(&target);
    image.render(&painter);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    application = new QApplication(*argc, *argv);
    tk::registerJpegFormat();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QWidget parent;
    tk::TImage image(&parent);
    image.setGeometry(0, 0, 145, 177);
    try {
        image.Picture().LoadFromData(u"jpg"_s, bytes);
    } catch (const tk::Error &) {
        return 0;
    }
    const int way = size > 0 ? data[size - 1] % 6 : 0;
    image.setCenter(way % 3 == 1);
    image.setStretch(way % 3 == 2);
    paint(image, way < 3 ? 1.0 : 2.0);
    // A second paint of the same picture goes through the cache.
    paint(image, way < 3 ? 1.0 : 2.0);
    return 0;
}
