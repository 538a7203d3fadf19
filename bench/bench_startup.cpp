// Cold start to the first painted frame, one fresh process per iteration: the program's main window
// against the floor any Qt program pays, a bare frameless window of the same size, and against the floor
// of any program that shows text, the same window drawing one line of it. The program also starts at
// display scale 2, where it must cost no more than at 1.
//
// The parent takes the time just before it spawns this very binary with a private argument; the child
// starts the way the program does, and once its window has painted it writes its report to a pipe and
// ends at once. The parent's clock stops when the report arrives. Peak memory comes from wait4.

#include "app/language.h"
#include "app/rununit1.h"
#include "app/startup.h"
#include "toolkit/application/application.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEvent>
#include <QPainter>
#include <QWidget>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

extern char **environ;

namespace {

constexpr char kChildOrmex[] = "--child-ormex";
constexpr char kChildOrmexScale2[] = "--child-ormex-scale2";
constexpr char kChildBare[] = "--child-bare";
constexpr char kChildText[] = "--child-text";
// The child writes its report here; the parent puts its pipe's write end on this descriptor.
constexpr int kReportFd = 3;
// A child that has not painted by then is taken for hung.
constexpr int kChildTimeoutMs = 30000;
constexpr int kBareWidth = 572;
constexpr int kBareHeight = 299;

std::int64_t monotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::int64_t(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

// CLOCK_MONOTONIC is one clock for all processes, so the child's stamps compare with the parent's.
struct StartReport {
    std::int64_t mainEntered = 0;    // after loading, linking and static constructors
    std::int64_t appCreated = 0;     // the application object exists
    std::int64_t appInitialised = 0; // fonts and style set (the program only)
    std::int64_t windowCreated = 0;  // the window is built, not yet shown
    std::int64_t painted = 0;        // the first frame of the window is painted
};

bool writeAll(int fd, const void *data, std::size_t size)
{
    const char *p = static_cast<const char *>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        size -= std::size_t(n);
    }
    return true;
}

// The high-water mark of this process's own memory, in KiB, to cross-check wait4's figure.
std::int64_t ownPeakRssKiB()
{
    std::FILE *f = std::fopen("/proc/self/status", "r");
    if (!f)
        return -1;
    char line[256];
    std::int64_t kib = -1;
    while (std::fgets(line, sizeof line, f)) {
        if (std::strncmp(line, "VmHWM:", 6) == 0) {
            kib = std::strtoll(line + 6, nullptr, 10);
            break;
        }
    }
    std::fclose(f);
    return kib;
}

// Watches every paint of one window and its children. The window paints itself, then its children,
// then puts the frame on the screen, all inside one event; a queued call runs only once that event has
// returned to the loop, so it marks the frame complete.
class FirstPaintReporter : public QObject {
public:
    FirstPaintReporter(QWidget *window, StartReport &report) : m_window(window), m_report(report) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!m_seen && event->type() == QEvent::Paint && watched->isWidgetType() &&
            static_cast<QWidget *>(watched)->window() == m_window) {
            m_seen = true;
            QMetaObject::invokeMethod(
                this, [this] { finish(); }, Qt::QueuedConnection);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    [[noreturn]] void finish()
    {
        m_report.painted = monotonicNs();
        const bool sent = writeAll(kReportFd, &m_report, sizeof m_report);
        // After the parent's clock has stopped: the cross-check of peak memory.
        const std::int64_t hwm = ownPeakRssKiB();
        if (sent)
            writeAll(kReportFd, &hwm, sizeof hwm);
        // No clean-up: the measurement is over and tearing Qt down would only blur the memory figure.
        ::_exit(sent ? 0 : 2);
    }

    QWidget *m_window;
    StartReport &m_report;
    bool m_seen = false;
};

// Exactly the program's own start-up, with the paint reporter added before the loop runs.
[[noreturn]] void runOrmexChild(char *programName, StartReport &report)
{
    int argc = 1;
    char *argv[] = {programName, nullptr};
    runModuleStartup();
    tk::Application app(argc, argv);
    report.appCreated = monotonicNs();
    initialiseApplication(app);
    chooseProgramLanguage(app);
    report.appInitialised = monotonicNs();
    new Tform1;
    report.windowCreated = monotonicNs();
    FirstPaintReporter reporter(app.MainForm(), report);
    app.installEventFilter(&reporter);
    app.Run();
    ::_exit(3); // the reporter ends the process; reaching here means the window never painted
}

// The least a window that shows text does: the toolkit's own font, one line, nothing else.
class OneLineWindow : public QWidget {
public:
    OneLineWindow() : QWidget(nullptr, Qt::FramelessWindowHint) {}

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("(C) http://www.ormex.example"));
    }
};

[[noreturn]] void runBareChild(char *programName, StartReport &report, bool withText)
{
    int argc = 1;
    char *argv[] = {programName, nullptr};
    QApplication app(argc, argv);
    report.appCreated = monotonicNs();
    report.appInitialised = report.appCreated;
    std::unique_ptr<QWidget> owner = withText ? std::make_unique<OneLineWindow>()
                                              : std::make_unique<QWidget>(nullptr, Qt::FramelessWindowHint);
    QWidget &window = *owner;
    window.setFixedSize(kBareWidth, kBareHeight);
    report.windowCreated = monotonicNs();
    FirstPaintReporter reporter(&window, report);
    app.installEventFilter(&reporter);
    window.show();
    app.exec();
    ::_exit(3);
}

std::string selfPath()
{
    char path[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return {};
    return std::string(path, std::size_t(n));
}

struct ChildRun {
    std::string error; // empty on success
    std::int64_t spawnedAt = 0;
    std::int64_t reportedAt = 0;
    StartReport report;
    std::int64_t ownPeakKiB = -1;
    long maxRssKiB = 0; // wait4
    double cpuMs = 0;   // wait4: user and system time of all the child's threads
};

// Reads exactly size bytes unless the child ends or the time runs out.
bool readWithTimeout(int fd, void *data, std::size_t size, int timeoutMs, std::string &error)
{
    char *p = static_cast<char *>(data);
    const std::int64_t deadline = monotonicNs() + std::int64_t(timeoutMs) * 1'000'000;
    while (size > 0) {
        const int left = int((deadline - monotonicNs()) / 1'000'000);
        if (left <= 0) {
            error = "the child did not report its first paint in time";
            return false;
        }
        pollfd pfd{fd, POLLIN, 0};
        const int ready = ::poll(&pfd, 1, left);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            continue; // the deadline check above ends the wait
        const ssize_t n = ::read(fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = "the child ended without reporting a paint";
            return false;
        }
        p += n;
        size -= std::size_t(n);
    }
    return true;
}

ChildRun runChild(const std::string &self, const char *mode)
{
    ChildRun run;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        run.error = std::string("pipe2: ") + std::strerror(errno);
        return run;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // dup2 clears close-on-exec on the target, so only the write end survives into the child.
    posix_spawn_file_actions_adddup2(&actions, fds[1], kReportFd);
    char *argv[] = {const_cast<char *>(self.c_str()), const_cast<char *>(mode), nullptr};

    pid_t pid = -1;
    run.spawnedAt = monotonicNs();
    const int spawnError = ::posix_spawn(&pid, self.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (spawnError != 0) {
        ::close(fds[0]);
        run.error = std::string("posix_spawn: ") + std::strerror(spawnError);
        return run;
    }

    std::string readError;
    const bool reported = readWithTimeout(fds[0], &run.report, sizeof run.report, kChildTimeoutMs, readError);
    run.reportedAt = monotonicNs();
    if (reported)
        readWithTimeout(fds[0], &run.ownPeakKiB, sizeof run.ownPeakKiB, kChildTimeoutMs, readError);
    else
        ::kill(pid, SIGKILL);
    ::close(fds[0]);

    int status = 0;
    rusage usage{};
    while (::wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    run.maxRssKiB = usage.ru_maxrss;
    run.cpuMs = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    if (!reported) {
        run.error = readError;
        if (WIFEXITED(status))
            run.error += ", exit status " + std::to_string(WEXITSTATUS(status));
        else if (WIFSIGNALED(status))
            run.error += ", signal " + std::to_string(WTERMSIG(status));
    } else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        run.error = "the child reported a paint but did not end cleanly";
    }
    return run;
}

// A desktop session always has a runtime folder; without one every child would warn and make its own.
// Returns the folder made for this run, to be removed afterwards, or an empty path.
std::filesystem::path provideRuntimeDir()
{
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        return {};
    std::string pattern = (std::filesystem::temp_directory_path() / "ormex-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) // mode 0700, which the folder must have
        return {};
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(pattern));
    return pattern;
}

double ms(std::int64_t ns)
{
    return double(ns) / 1e6;
}

// Every start of every repetition, by case, for the summary line at the end.
std::map<std::string, std::vector<double>> g_startsMs;
// The processor time of the same starts: what they cost whoever else runs, which wall time on a shared
// machine does not say.
std::map<std::string, std::vector<double>> g_cpuMs;

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    const auto middle = values.begin() + std::ptrdiff_t(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

// One line that compares the cases of this run with each other, which is all a noisy machine allows.
void printRatios()
{
    const double ormex = median(g_startsMs[kChildOrmex]);
    const double bare = median(g_startsMs[kChildBare]);
    const double text = median(g_startsMs[kChildText]);
    const double scale2 = median(g_startsMs[kChildOrmexScale2]);
    if (ormex <= 0 || bare <= 0 || text <= 0)
        return;
    std::printf("start-up ratios (%s, %s, medians of %zu starts each): ormex/bare %.2f, ormex/text %.2f, "
                "text/bare %.2f",
                qgetenv("QT_QPA_PLATFORM").constData(),
                qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") ? "no session bus" : "session bus",
                g_startsMs[kChildOrmex].size(), ormex / bare, ormex / text, text / bare);
    if (scale2 > 0)
        std::printf(", ormex scale 2/scale 1 %.2f (processor time %.2f)", scale2 / ormex,
                    median(g_cpuMs[kChildOrmexScale2]) / median(g_cpuMs[kChildOrmex]));
    std::printf("; ms: ormex %.1f, text %.1f, bare %.1f\n", ormex, text, bare);
}

void startToFirstPaint(benchmark::State &state, const char *mode)
{
    const std::string self = selfPath();
    if (self.empty()) {
        state.SkipWithError("cannot find this program's own path");
        return;
    }
    double toMain = 0, app = 0, setup = 0, window = 0, showPaint = 0, maxRss = 0, ownPeak = 0, cpu = 0;
    for (auto _ : state) {
        const ChildRun run = runChild(self, mode);
        if (!run.error.empty()) {
            state.SkipWithError(run.error.c_str());
            break;
        }
        state.SetIterationTime(double(run.reportedAt - run.spawnedAt) / 1e9);
        g_startsMs[mode].push_back(ms(run.reportedAt - run.spawnedAt));
        g_cpuMs[mode].push_back(run.cpuMs);
        const StartReport &r = run.report;
        toMain += ms(r.mainEntered - run.spawnedAt);
        app += ms(r.appCreated - r.mainEntered);
        setup += ms(r.appInitialised - r.appCreated);
        window += ms(r.windowCreated - r.appInitialised);
        showPaint += ms(r.painted - r.windowCreated);
        maxRss += double(run.maxRssKiB) * 1024;
        ownPeak += double(run.ownPeakKiB) * 1024;
        cpu += run.cpuMs;
    }
    using benchmark::Counter;
    // Where the time goes, in ms per start: spawn and load to main(), the application object, the
    // program's fonts and style, building the window, showing it up to its painted first frame.
    state.counters["to_main_ms"] = Counter(toMain, Counter::kAvgIterations);
    state.counters["app_ms"] = Counter(app, Counter::kAvgIterations);
    state.counters["setup_ms"] = Counter(setup, Counter::kAvgIterations);
    state.counters["window_ms"] = Counter(window, Counter::kAvgIterations);
    state.counters["show_paint_ms"] = Counter(showPaint, Counter::kAvgIterations);
    // Processor time of all the child's threads up to the frame.
    state.counters["cpu_ms"] = Counter(cpu, Counter::kAvgIterations);
    // Peak memory of the child up to its first frame: wait4's ru_maxrss, and the child's own VmHWM
    // (they agree unless the spawning parent was the larger one).
    state.counters["max_rss"] = Counter(maxRss, Counter::kAvgIterations, Counter::OneK::kIs1024);
    state.counters["vm_hwm"] = Counter(ownPeak, Counter::kAvgIterations, Counter::OneK::kIs1024);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 2) {
        StartReport report;
        report.mainEntered = monotonicNs();
        if (std::strcmp(argv[1], kChildOrmex) == 0)
            runOrmexChild(argv[0], report);
        if (std::strcmp(argv[1], kChildOrmexScale2) == 0) {
            // As a desktop set to 200 % would start it.
            qputenv("QT_SCALE_FACTOR", "2");
            runOrmexChild(argv[0], report);
        }
        if (std::strcmp(argv[1], kChildBare) == 0)
            runBareChild(argv[0], report, false);
        if (std::strcmp(argv[1], kChildText) == 0)
            runBareChild(argv[0], report, true);
    }

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;

    // The children inherit the platform; without one chosen, they need no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const std::filesystem::path runtimeDir = provideRuntimeDir();
    benchmark::AddCustomContext("qpa_platform", qgetenv("QT_QPA_PLATFORM").toStdString());

    benchmark::RegisterBenchmark("start_to_first_paint/ormex_main_window", startToFirstPaint, kChildOrmex)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("start_to_first_paint/ormex_main_window_scale2", startToFirstPaint,
                                 kChildOrmexScale2)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("start_to_first_paint/bare_window_572x299", startToFirstPaint, kChildBare)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("start_to_first_paint/one_line_of_text_572x299", startToFirstPaint,
                                 kChildText)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RunSpecifiedBenchmarks();
    printRatios();
    benchmark::Shutdown();
    if (!runtimeDir.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(runtimeDir, ignored);
    }
    return 0;
}
