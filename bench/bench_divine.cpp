// One divine command in a running program: the draw, the hints, three pictures read from disk and
// parsed, and the slots painted, which is when the visible pixels of each JPEG are decoded.

#include "app/rununit1.h"
#include "app/startup.h"
#include "divination/Spread.h"
#include "toolkit/application/application.h"
#include "toolkit/base/errors.h"
#include "toolkit/pictures/graphics.h"
#include "toolkit/pictures/jpegimage.h"
#include "toolkit/widgets/image.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QRegion>
#include <QWindow>

#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

namespace {

// Successive commands get seeds spread across the day, so that each draws other runes and loads
// other files, as a user pressing the button again would. The sequence is fixed for repeatable runs.
constexpr std::uint32_t kSeedStep = 7'777'777;
constexpr std::uint32_t kMsPerDay = 86'400'000;
std::uint32_t g_seedCount = 0;

std::uint32_t nextSeed()
{
    return std::uint32_t((std::uint64_t(g_seedCount++) * kSeedStep) % kMsPerDay);
}

tk::TImage *slot(int position)
{
    tk::TImage *slots[] = {form1->run1, form1->run2, form1->run3};
    return slots[position];
}

QRegion slotsRegion()
{
    QRegion region;
    for (int i = 0; i < 3; ++i)
        region += slot(i)->geometry();
    return region;
}

// Empty when every slot shows a JPEG whose visible pixels were decoded for painting.
std::string slotsNotDecoded()
{
    for (int i = 0; i < 3; ++i) {
        const auto *jpeg = dynamic_cast<const tk::JpegImage *>(slot(i)->Picture().graphic());
        if (!jpeg)
            return "slot " + std::to_string(i + 1) + " holds no JPEG picture";
        if (jpeg->decodeCount() == 0 || jpeg->decodedRect().isEmpty() || jpeg->decodeFailed())
            return "slot " + std::to_string(i + 1) + "'s picture was not decoded for painting";
    }
    return {};
}

// Runs the command the way the button does; a failure to load is reported, not thrown past the loop.
bool divine(std::string &error)
{
    try {
        form1->guest(nullptr);
    } catch (const tk::Error &e) {
        error = e.message().toStdString();
        return false;
    } catch (const std::exception &e) {
        error = e.what();
        return false;
    }
    return true;
}

void divineCommand(benchmark::State &state)
{
    g_seedCount = 0;
    const QRegion slots = slotsRegion();
    std::string error;
    for (auto _ : state) {
        if (!divine(error))
            break;
        // Paint what the command invalidated now instead of on the next pass of the event loop.
        form1->repaint(slots);
        QCoreApplication::sendPostedEvents();
    }
    if (!error.empty()) {
        state.SkipWithError(error.c_str());
        return;
    }
    if (const std::string notDecoded = slotsNotDecoded(); !notDecoded.empty())
        state.SkipWithError(notDecoded.c_str());
}

// The same command without painting: the draw and loading the three files, to see what the paint adds.
void divineCommandWithoutPaint(benchmark::State &state)
{
    g_seedCount = 0;
    std::string error;
    for (auto _ : state) {
        if (!divine(error))
            break;
    }
    // Leave no pending repaint behind for whatever runs next.
    form1->repaint();
    QCoreApplication::sendPostedEvents();
    if (!error.empty())
        state.SkipWithError(error.c_str());
}

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The program reads its pictures relative to the current directory, from the folder that holds g.
    if (::chdir(ORMEX_DATA_DIR) != 0) {
        std::fprintf(stderr, "cannot change to the data folder %s: %s\n", ORMEX_DATA_DIR,
                     std::strerror(errno));
        return 1;
    }

    runModuleStartup();
    tk::Application app(argc, argv);
    initialiseApplication(app);
    new Tform1;
    g_seedClock = nextSeed;
    form1->show();
    // A window paints only once the platform has exposed it; the first frame, background and
    // placeholders included, is not part of any command.
    while (!form1->windowHandle() || !form1->windowHandle()->isExposed())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 100);
    form1->repaint();
    QCoreApplication::sendPostedEvents();

    benchmark::AddCustomContext("qpa_platform", QGuiApplication::platformName().toStdString());
    // QT_SCALE_FACTOR=2 runs the command on a high-density window (the @2x pictures where they exist).
    benchmark::AddCustomContext("device_pixel_ratio", std::to_string(form1->devicePixelRatioF()));
    benchmark::RegisterBenchmark("divine_command/draw_load_paint", divineCommand)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("divine_command/draw_load_only", divineCommandWithoutPaint)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
