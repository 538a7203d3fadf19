// Hostile and huge JPEG pictures painted into a 145 x 177 picture control: centred, from the top-left
// corner and stretched, at pixel ratios 1 and 2. Each iteration loads the file afresh (the header only)
// and paints once, which is when pixels are decoded. The process runs under a 4 GiB address-space limit.

#include "tests/support/jpegfiles.h"
#include "toolkit/pictures/jpegimage.h"
#include "toolkit/widgets/image.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPainter>

#include <sys/resource.h>

#include <string>

using namespace Qt::StringLiterals;

using namespace testfiles;

namespace {

enum Placement { TopLeft, Centred, Stretched };

const char *nameOf(Placement placement)
{
    switch (placement) {
    case TopLeft:
        return "top_left";
    case Centred:
        return "centred";
    case Stretched:
        return "stretched";
    }
    return "";
}

void paintOnce(benchmark::State &state, const QByteArray &data, Placement placement, qreal ratio)
{
    QWidget parent;
    tk::TImage image(&parent);
    image.setGeometry(0, 0, 145, 177);
    image.setCenter(placement == Centred);
    image.setStretch(placement == Stretched);
    QImage target(QSize(145, 177) * ratio, QImage::Format_ARGB32_Premultiplied);
    target.setDevicePixelRatio(ratio);
    for (auto _ : state) {
        image.Picture().loadFromData(u"jpg"_s, data);
        QPainter painter(&target);
        image.render(&painter);
        painter.end();
        benchmark::DoNotOptimize(target.constBits());
    }
    const auto *jpeg = dynamic_cast<const tk::JpegImage *>(image.Picture().graphic());
    state.counters["decoded_pixels"] =
        jpeg ? double(jpeg->decodedImage().width()) * jpeg->decodedImage().height() : 0;
}

void registerCases(const char *name, const QByteArray &data)
{
    for (Placement placement : {TopLeft, Centred, Stretched}) {
        for (qreal ratio : {1.0, 2.0}) {
            const std::string label = std::string("paint/") + name + "/" + nameOf(placement) + "/ratio_" +
                                      std::to_string(int(ratio));
            benchmark::RegisterBenchmark(label.c_str(), [=](benchmark::State &state) {
                paintOnce(state, data, placement, ratio);
            })->Unit(benchmark::kMillisecond);
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    constexpr rlim_t kAddressSpace = 4ULL << 30;
    const rlimit limit{kAddressSpace, kAddressSpace};
    setrlimit(RLIMIT_AS, &limit);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    tk::registerJpegFormat();

    registerCases("constant_grey_30000", constantGreyJpeg(30000, 30000));
    for (const NamedJpeg &giant : giantHeaders())
        registerCases(("giant_header_" + std::string(giant.name)).c_str(), giant.data);
    registerCases("5000_scans", manyScansJpeg(5000));
    registerCases("5000_scans_1024", manyScansJpeg(5000, QSize(1024, 1024)));
    // Few columns, very many rows: the whole picture is drawn into the control when stretched.
    registerCases("5000_scans_64x60000", manyScansJpeg(5000, QSize(64, 60000)));
    // Legitimate pictures, for scale: what an ordinary photograph costs.
    registerCases("photo_progressive_2000x1500", encodeJpeg(quadrants(2000, 1500), Encoding::Progressive420));
    registerCases("photo_baseline_4000x3000", encodeJpeg(quadrants(4000, 3000), Encoding::Baseline420));

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
