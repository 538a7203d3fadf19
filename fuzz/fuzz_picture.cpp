// Any bytes as a JPEG picture: loaded as the program loads a picture file, then painted into a picture
// control of the main window's slot size, from its top-left corner, centred or stretched, at pixel ratio
// 1 or 2. The last byte chooses one of the six ways (libjpeg ignores what follows the end of the image),
// so that an input costs one paint, not six. A failed load is an expected outcome; a crash, a leak,
// undefined behaviour, a paint that runs away (the fuzzer's timeout and memory limit) or a repaint that
// decodes again is a finding.

#include "toolkit/base/errors.h"
#include "toolkit/pictures/jpegimage.h"
#include "toolkit/widgets/image.h"

#include <QApplication>
#include <QPainter>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

QApplication *application = nullptr;
// One target a pixel ratio serves every input, cleared before each paint: a fresh one would cost its
// allocation and page faults each time. The control is made afresh for every input, as cheap as a small
// picture's load, so that its whole life with a picture is covered.
QImage *targets[2] = {};

void paint(tk::TImage &image, QImage &target)
{
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
    for (int ratio = 1; ratio <= 2; ++ratio) {
        targets[ratio - 1] = new QImage(QSize(145, 177) * ratio, QImage::Format_ARGB32_Premultiplied);
        targets[ratio - 1]->setDevicePixelRatio(ratio);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QWidget parent;
    tk::TImage image(&parent);
    image.setGeometry(0, 0, 145, 177);
    try {
        image.Picture().loadFromData(u"jpg"_s, bytes);
    } catch (const tk::Error &) {
        return 0;
    }
    const int way = size > 0 ? data[size - 1] % 6 : 0;
    image.setCenter(way % 3 == 1);
    image.setStretch(way % 3 == 2);
    QImage &target = *targets[way < 3 ? 0 : 1];
    paint(image, target);
    // A repaint, as any expose makes, is drawn from what the first paint decoded or gave up on.
    const auto *jpeg = static_cast<const tk::JpegImage *>(image.Picture().graphic());
    const int decodes = jpeg->decodeCount();
    paint(image, target);
    if (jpeg->decodeCount() != decodes) {
        std::fprintf(stderr, "the repaint decoded again\n");
        std::abort();
    }
    return 0;
}
