// Asynchronous plays of 25-minute sounds on SDL's dummy driver: the time play() takes to return, and how
// far the process's peak memory rises above what it held before while each sound starts and plays for
// a moment. The images are the caller's (a wave component keeps its own) and are made before the
// measure starts. The first play of the process, which loads SDL and opens the device, is not measured.

#include "tests/support/waveimage.h"
#include "toolkit/sound/waveoutput.h"

#include <benchmark/benchmark.h>

#include <QFile>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace {

// How long each sound plays before it is stopped: long enough for the device to ask for some buffers.
constexpr std::chrono::milliseconds kPlayedFor{100};
constexpr int kPlays = 20;
constexpr int kMinutes = 25;

QByteArray longSound(int rate, int channels)
{
    WaveShape shape;
    shape.rate = std::uint32_t(rate);
    shape.channels = std::uint16_t(channels);
    const auto frames = std::uint32_t(rate * 60 * kMinutes);
    QByteArray data(qsizetype(frames) * channels * 2, Qt::Uninitialized);
    auto *samples = reinterpret_cast<qint16 *>(data.data());
    // A saw tooth: what the samples are does not matter, only that every one of them is read.
    for (qsizetype i = 0; i < data.size() / 2; ++i)
        samples[i] = qint16((i * 97) % 16384 - 8192);
    return wrapWaveData(shape, data, frames);
}

// A figure of /proc/self/status in KiB: VmRSS now, VmHWM the peak since the last resetPeak().
double statusKiB(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').value(0).toDouble();
    }
    return 0;
}

void resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

void asyncPlay(benchmark::State &state, int rate, int channels)
{
    tk::WaveOutput &output = tk::WaveOutput::process();
    {
        const QByteArray opening = makeWaveImage(WaveShape{});
        output.play(opening.constData(), std::size_t(opening.size()), tk::SND_MEMORY);
    }
    const QByteArray image = longSound(rate, channels);
    resetPeak();
    const double before = statusKiB("VmRSS:");
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const bool played =
            output.play(image.constData(), std::size_t(image.size()), tk::SND_ASYNC | tk::SND_MEMORY);
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (!played) {
            state.SkipWithError("the sound did not start");
            break;
        }
        std::this_thread::sleep_for(kPlayedFor);
        output.stop();
    }
    state.counters["image_MiB"] = double(image.size()) / (1 << 20);
    state.counters["peak_rss_growth_KiB"] = statusKiB("VmHWM:") - before;
}

} // namespace

int main(int argc, char **argv)
{
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    for (const auto &[rate, channels] : {std::pair{11025, 1}, std::pair{44100, 2}, std::pair{48000, 2}}) {
        const std::string name =
            "async_play_25_min/" + std::to_string(rate) + "_Hz/" + (channels == 1 ? "mono" : "stereo");
        benchmark::RegisterBenchmark(name.c_str(), asyncPlay, rate, channels)
            ->UseManualTime()
            ->Iterations(kPlays)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
