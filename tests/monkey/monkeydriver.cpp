// A seeded random user for the real program on an X server: clicks (single, double, middle, right) on its
// controls, its background and just outside its window, presses released elsewhere, drags, keys tapped,
// held until they repeat and pressed with Alt, rests for hints, a second window taking the activation,
// and now and then the exit button and a new start. Every action is written to the log, with its
// window-relative coordinates, before it runs; after it the window must answer a _NET_WM_PING within 5 s.
// A crash, a hang, a line on standard error that the allow-list does not name (a sanitizer's report among
// them), an exit status other than 0 after the exit button, or a window of the program still mapped after
// it ended fails the run: the driver prints the seed and the command that replays the log up to the
// failing action.
//
//   monkeydriver --program PATH --folder DIR --scale N --allowed-errors FILE --log FILE
//                (--seed N --actions N | --replay LOG [--upto N]) [--replay-command TEXT]
//
// A replay runs the actions of a log written by an earlier run (or by hand) in order, up to and with
// action N. Exit status: 0 passed, 1 failed, 2 the run could not be set up.

#include "tests/xdrive/xsession.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace xdrive;

constexpr int kFormWidth = 572;
constexpr int kFormHeight = 299;
// How far outside the window a press "just outside" may land, in logical pixels.
constexpr int kOutside = 24;
// The exit button's right part, outside the panel that may cover its left.
constexpr int kExitX = 540, kExitY = 33;
// The corner of the screen the second window takes; the program's window is kept out of it.
constexpr Rect kOtherWindow{0, 0, 220, 160};

constexpr milliseconds kStartTimeout{30000};
constexpr milliseconds kPingTimeout{5000};
constexpr milliseconds kExitTimeout{30000};
constexpr milliseconds kExitPressTimeout{1500};
constexpr int kExitPresses = 3;
constexpr milliseconds kGoneTimeout{2000};
constexpr milliseconds kStepPause{8};

// The places a user aims at, in logical pixels of the window: the three commands, the three slots, the
// link, the panel's text box and close button (where the panel is open), and bare background.
constexpr Rect kTargets[] = {{12, 11, 170, 45},   {198, 11, 170, 45},  {387, 11, 170, 45},
                             {22, 72, 145, 177},  {209, 72, 145, 177}, {401, 71, 145, 177},
                             {200, 262, 172, 22}, {8, 10, 397, 260},   {411, 236, 73, 33},
                             {0, 250, 20, 49},    {552, 250, 20, 49},  {175, 60, 30, 190}};

struct Key {
    const char *name;
    std::uint32_t sym;
};
constexpr Key kKeys[] = {{"Tab", 0xff09},  {"Return", 0xff0d}, {"space", 0x20},      {"Escape", 0xff1b},
                         {"F1", 0xffbe},   {"Left", 0xff51},   {"Up", 0xff52},       {"Right", 0xff53},
                         {"Down", 0xff54}, {"Home", 0xff50},   {"End", 0xff57},      {"Prior", 0xff55},
                         {"Next", 0xff56}, {"Menu", 0xff67},   {"BackSpace", 0xff08}};
constexpr std::uint32_t kAlt = 0xffe9, kEscapeKey = 0xff1b;

std::uint32_t keysym(const std::string &name)
{
    for (const Key &k : kKeys) {
        if (name == k.name)
            return k.sym;
    }
    if (name.size() == 1 && name[0] >= 'a' && name[0] <= 'z')
        return std::uint32_t(name[0]);
    throw Failure("unknown key " + name);
}

// splitmix64: the same numbers from the same seed with every compiler and library.
class Random {
public:
    explicit Random(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t next()
    {
        std::uint64_t z = (m_state += 0x9e3779b97f4a7c15ull);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        return z ^ (z >> 31);
    }
    int below(int n) { return int(next() % std::uint64_t(n)); }
    int between(int low, int high) { return low + below(high - low + 1); }

private:
    std::uint64_t m_state;
};

// One action as the log holds it: a word for its kind and whole numbers (key names for the keys).
struct Action {
    std::string kind;
    std::vector<int> numbers;
    std::string key;

    std::string text() const
    {
        std::string t = kind;
        if (!key.empty())
            t += " " + key;
        for (const int n : numbers)
            t += " " + std::to_string(n);
        return t;
    }
    static Action parse(const std::string &line)
    {
        std::istringstream in(line);
        Action a;
        in >> a.kind;
        if (a.kind == "key" || a.kind == "hold" || a.kind == "alt" || a.kind == "shift")
            in >> a.key;
        for (int n; in >> n;)
            a.numbers.push_back(n);
        return a;
    }
};

struct Options {
    std::string program, folder, allowedErrors, log, replay, replayCommand;
    int scale = 1;
    long seed = 1, actions = 300, upto = -1;
};

Options parseOptions(int argc, char **argv)
{
    Options o;
    const OptionPairs options(argc, argv);
    options.text("--program", o.program);
    options.text("--folder", o.folder);
    options.text("--allowed-errors", o.allowedErrors);
    options.text("--log", o.log);
    options.text("--replay", o.replay);
    options.text("--replay-command", o.replayCommand);
    options.number("--scale", o.scale);
    options.number("--seed", o.seed);
    options.number("--actions", o.actions);
    options.number("--upto", o.upto);
    if (o.program.empty() || o.folder.empty() || o.allowedErrors.empty() || o.log.empty() || o.scale < 1)
        throw Failure("usage: monkeydriver --program PATH --folder DIR --scale N --allowed-errors FILE --log "
                      "FILE (--seed N --actions N | --replay LOG [--upto N]) [--replay-command TEXT]");
    return o;
}

// A failure of the program, as opposed to one of the driver's set-up.
struct Fault : Failure {
    using Failure::Failure;
};

class Monkey {
public:
    explicit Monkey(const Options &o) : m_options(o), m_allowed(o.allowedErrors), m_scale(o.scale) {}

    void start()
    {
        m_display.forgetWindows();
        m_program = std::make_unique<Program>(m_options.program, m_options.folder, m_scale);
        m_window = m_display.waitForWindowOfSize(*m_program, kFormWidth * m_scale, kFormHeight * m_scale,
                                                 kStartTimeout);
        if (m_window == XCB_NONE) {
            checkErrors();
            throw Fault("the program showed no window");
        }
        m_display.focus(m_window);
        ++m_starts;
    }

    // A random action, chosen from the seeded numbers and the window's place on the screen.
    Action choose(Random &r)
    {
        // Weights in parts of 100.
        const int roll = r.below(100);
        const auto [x1, y1] = target(r);
        if (roll < 22)
            return {"click", {x1, y1}, {}};
        if (roll < 27)
            return {"double", {x1, y1}, {}};
        if (roll < 30)
            return {"middle", {x1, y1}, {}};
        if (roll < 34)
            return {"right", {x1, y1}, {}};
        if (roll < 46) {
            const auto [x2, y2] = keepOnScreen(x1, y1, target(r));
            return {roll < 40 ? "press-elsewhere" : "drag", {x1, y1, x2, y2}, {}};
        }
        if (roll < 66)
            return {"key", {}, kKeys[r.below(int(std::size(kKeys)))].name};
        if (roll < 68)
            return {"shift", {}, "Tab"};
        if (roll < 71) {
            const char *held[] = {"Tab", "Down", "space", "Return", "Right"};
            return {"hold", {r.between(700, 1100)}, held[r.below(5)]};
        }
        if (roll < 75)
            return {"alt", {}, std::string(1, char('a' + r.below(26)))};
        if (roll < 87)
            return {"move", {x1, y1}, {}};
        if (roll < 93)
            return {"rest", {x1, y1, r.between(550, 1300)}, {}};
        if (roll < 99)
            return {"other", {}, {}};
        return {"exit", {}, {}};
    }

    void perform(const Action &a)
    {
        // The action before may have ended the program the way a user does; the window it had is gone.
        if (!m_program->alive() || !m_display.exists(m_window))
            restartAfterExit();
        const auto at = [&](int i) {
            const auto [x, y] = origin();
            return std::pair<int, int>{x + a.numbers.at(i) * m_scale, y + a.numbers.at(i + 1) * m_scale};
        };
        const auto clickAt = [&](int button, int times) {
            const auto [x, y] = at(0);
            m_display.movePointer(x, y);
            for (int i = 0; i < times; ++i) {
                m_display.button(button, true);
                m_display.button(button, false);
            }
        };
        if (a.kind == "click") {
            clickAt(1, 1);
        } else if (a.kind == "double") {
            clickAt(1, 2);
        } else if (a.kind == "middle") {
            clickAt(2, 1);
        } else if (a.kind == "right") {
            clickAt(3, 1);
        } else if (a.kind == "press-elsewhere" || a.kind == "drag") {
            const auto [x1, y1] = at(0);
            const auto [x2, y2] = at(2);
            m_display.movePointer(x1, y1);
            m_display.button(1, true);
            const int steps = a.kind == "drag" ? 12 : 1;
            for (int i = 1; i <= steps; ++i) {
                std::this_thread::sleep_for(kStepPause);
                m_display.movePointer(x1 + (x2 - x1) * i / steps, y1 + (y2 - y1) * i / steps);
            }
            m_display.button(1, false);
        } else if (a.kind == "key") {
            m_display.key(keysym(a.key));
        } else if (a.kind == "shift") {
            m_display.key(keysym(a.key), true);
        } else if (a.kind == "alt" || a.kind == "hold") {
            const std::uint32_t modifier = a.kind == "alt" ? kAlt : 0;
            if (modifier)
                m_display.keyDown(modifier);
            m_display.keyDown(keysym(a.key));
            if (a.kind == "hold")
                std::this_thread::sleep_for(milliseconds(a.numbers.at(0)));
            m_display.keyUp(keysym(a.key));
            if (modifier)
                m_display.keyUp(modifier);
        } else if (a.kind == "move" || a.kind == "rest") {
            const auto [x, y] = at(0);
            m_display.movePointer(x, y);
            if (a.kind == "rest")
                std::this_thread::sleep_for(milliseconds(a.numbers.at(2)));
        } else if (a.kind == "other") {
            toggleOtherWindow();
        } else if (a.kind == "exit") {
            exitAndRestart(true);
        } else {
            throw Failure("unknown action " + a.kind);
        }
    }

    // After every action: the program still runs, said nothing unexpected and answers a ping.
    // An action may have ended the program the way a user does (the exit button reached by the keyboard):
    // it is then held to what the exit button asks and started again.
    void check()
    {
        checkErrors();
        if (!m_program->alive()) {
            checkEnd();
            start();
            return;
        }
        if (m_display.ping(m_window, kPingTimeout))
            return;
        // A window that went away with its program was closed by the action; one that stays is hung.
        if (m_display.exists(m_window) || !m_program->waitForExit(kExitTimeout))
            throw Fault("the window did not answer a ping within 5 s");
        checkEnd();
        start();
    }

    // Presses the exit button (with the second window out of the way): the program must end with status
    // 0, leave no window mapped and have said nothing unexpected; then, unless it is the end, starts it
    // again.
    void exitAndRestart(bool again)
    {
        if (m_otherShown)
            toggleOtherWindow();
        // A replayed log may have dragged the window partly off the screen, as no user would leave it.
        const auto [sw, sh] = m_display.screenSize();
        if (const auto [x, y] = origin(); x + (kExitX + 1) * m_scale > sw || y < 0) {
            m_display.moveWindow(m_window, (sw - kFormWidth * m_scale) / 2, (sh - kFormHeight * m_scale) / 2);
            const auto deadline = Clock::now() + kGoneTimeout;
            while (origin().first + (kExitX + 1) * m_scale > sw && Clock::now() < deadline)
                std::this_thread::sleep_for(milliseconds(10));
        }
        // A menu or box the program opened takes Escape, and a press or two, as it would a user's.
        m_display.key(kEscapeKey);
        const pid_t pid = m_program->pid();
        for (int press = 0; press < kExitPresses && m_program->alive(); ++press) {
            if (!m_display.exists(m_window))
                break;
            const auto [x, y] = m_display.origin(m_window);
            m_display.movePointer(x + kExitX * m_scale, y + kExitY * m_scale);
            m_display.button(1, true);
            m_display.button(1, false);
            m_program->waitForExit(kExitPressTimeout);
        }
        if (!m_program->waitForExit(kExitTimeout))
            throw Fault("the program did not end after the exit button");
        if (m_program->pid() != pid)
            throw Failure("the program was started again during its exit");
        checkEnd();
        if (again)
            start();
    }

    int starts() const { return m_starts; }
    int scale() const { return m_scale; }

    // What the screen was at a failure, for finding what took an action when its replay does not fail:
    // the pointer, the keyboard's window and the program's windows on standard output, the screen in shot.
    void reportState(const std::string &shot)
    {
        try {
            std::printf("%s", m_display.describe(m_program ? m_program->pid() : -1).c_str());
            m_display.saveScreen(shot);
            std::printf("the screen: %s\n", shot.c_str());
        } catch (const std::exception &e) {
            std::printf("the screen could not be read: %s\n", e.what());
        }
    }

private:
    // The window's place; a window closed a moment ago by the action before starts the program again.
    std::pair<int, int> origin()
    {
        if (!m_display.exists(m_window))
            restartAfterExit();
        try {
            return m_display.origin(m_window);
        } catch (const Failure &) {
            // Closed between the look and the question.
            restartAfterExit();
            return m_display.origin(m_window);
        }
    }

    void restartAfterExit()
    {
        if (!m_program->waitForExit(kExitTimeout))
            throw Fault("the program's window is gone while the program still runs");
        checkEnd();
        start();
    }

    // The program has ended: with status 0, nothing unexpected said, and no window left behind.
    void checkEnd()
    {
        const int status = m_program->waitForExit(milliseconds(0)).value_or(-1);
        checkErrors(true);
        if (status != 0)
            throw Fault("the program ended with status " + std::to_string(status));
        const pid_t pid = m_program->pid();
        const auto deadline = Clock::now() + kGoneTimeout;
        while (!m_display.mappedNow(pid).empty()) {
            if (Clock::now() > deadline)
                throw Fault("a window of the program is still mapped after it ended");
            std::this_thread::sleep_for(milliseconds(20));
        }
        m_program.reset();
    }

    // A point on a control, anywhere on the window, or just outside it.
    std::pair<int, int> target(Random &r)
    {
        const int roll = r.below(100);
        if (roll < 60) {
            const Rect &t = kTargets[r.below(int(std::size(kTargets)))];
            return {t.x + r.below(t.w), t.y + r.below(t.h)};
        }
        if (roll < 85)
            return {r.below(kFormWidth), r.below(kFormHeight)};
        // A band around the window.
        const int side = r.below(4);
        const int along = side < 2 ? r.between(-kOutside, kFormWidth + kOutside - 1)
                                   : r.between(-kOutside, kFormHeight + kOutside - 1);
        const int across = r.between(1, kOutside);
        switch (side) {
        case 0:
            return {along, -across};
        case 1:
            return {along, kFormHeight - 1 + across};
        case 2:
            return {-across, along};
        default:
            return {kFormWidth - 1 + across, along};
        }
    }

    // A press that moves may take the window with it (its background moves it): the move is cut so that
    // the window stays on the screen and out of the second window's corner.
    std::pair<int, int> keepOnScreen(int x1, int y1, std::pair<int, int> to)
    {
        const auto [sw, sh] = m_display.screenSize();
        const auto [ox, oy] = origin();
        const int w = kFormWidth * m_scale, h = kFormHeight * m_scale;
        int dx = (to.first - x1) * m_scale, dy = (to.second - y1) * m_scale;
        const int left = kOtherWindow.x + kOtherWindow.w, top = kOtherWindow.y + kOtherWindow.h;
        dx = std::clamp(dx, std::min(0, left - ox), std::max(0, sw - w - ox));
        dy = std::clamp(dy, std::min(0, top - oy), std::max(0, sh - h - oy));
        return {x1 + dx / m_scale, y1 + dy / m_scale};
    }

    void toggleOtherWindow()
    {
        if (m_other == XCB_NONE)
            m_other = m_display.createWindow(kOtherWindow);
        m_otherShown = !m_otherShown;
        m_display.mapWindow(m_other, m_otherShown);
        if (m_otherShown) {
            // Mapped before it can take the focus.
            const auto deadline = Clock::now() + milliseconds(2000);
            while (m_display.size(m_other).first == 0 && Clock::now() < deadline)
                std::this_thread::sleep_for(milliseconds(5));
            m_display.activate(m_other);
        } else {
            m_display.focus(m_window);
        }
    }

    void checkErrors(bool ended = false)
    {
        const auto lines = m_program->errorLines(ended);
        const auto unexpected = m_allowed.unexpected(lines);
        if (unexpected.empty())
            return;
        const std::size_t shown = std::min<std::size_t>(unexpected.size(), 20);
        for (std::size_t i = 0; i < shown; ++i)
            std::fprintf(stderr, "program's standard error: %s\n", unexpected[i].c_str());
        throw Fault(std::to_string(unexpected.size()) + " unexpected lines on standard error");
    }

    Options m_options;
    ErrorAllowList m_allowed;
    int m_scale;
    Display m_display;
    std::unique_ptr<Program> m_program;
    xcb_window_t m_window = XCB_NONE;
    xcb_window_t m_other = XCB_NONE;
    bool m_otherShown = false;
    int m_starts = 0;
};

std::vector<Action> readLog(const std::string &file, long upto)
{
    std::ifstream in(file);
    if (!in)
        throw Failure("cannot read " + file);
    std::vector<Action> actions;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        // "N kind ...": the number is the action's place in the run that wrote it.
        std::istringstream words(line);
        long n = 0;
        words >> n;
        std::string rest;
        std::getline(words, rest);
        if (upto >= 0 && n > upto)
            break;
        actions.push_back(Action::parse(rest));
    }
    return actions;
}

int run(const Options &o)
{
    const bool replay = !o.replay.empty();
    std::vector<Action> script;
    if (replay)
        script = readLog(o.replay, o.upto);
    std::FILE *log = std::fopen(o.log.c_str(), "we");
    if (!log)
        throw Failure("cannot write " + o.log);
    std::unique_ptr<std::FILE, decltype(&std::fclose)> closer(log, &std::fclose);
    if (replay) {
        std::fprintf(log, "# replay of %s, %zu actions, scale %d\n", o.replay.c_str(), script.size(),
                     o.scale);
    } else {
        std::fprintf(log, "# seed %ld, %ld actions, scale %d\n", o.seed, o.actions, o.scale);
    }
    const long total = replay ? long(script.size()) : o.actions;

    Monkey monkey(o);
    Random random(std::uint64_t(o.seed));
    long n = 0;
    std::string doing = "the start";
    const auto t0 = Clock::now();
    try {
        monkey.start();
        for (n = 1; n <= total; ++n) {
            const Action a = replay ? script[std::size_t(n - 1)] : monkey.choose(random);
            doing = a.text();
            std::fprintf(log, "%ld %s\n", n, doing.c_str());
            std::fflush(log);
            monkey.perform(a);
            monkey.check();
        }
        doing = "the final exit";
        monkey.exitAndRestart(false);
    } catch (const Fault &f) {
        const long upto = std::min(n, total);
        std::printf("FAIL at action %ld of %ld (%s), scale %d, %s: %s\n", upto, total, doing.c_str(), o.scale,
                    replay ? ("replaying " + o.replay).c_str() : ("seed " + std::to_string(o.seed)).c_str(),
                    f.what());
        monkey.reportState(o.log + ".fail.ppm");
        std::printf("replay: %s --replay %s --upto %ld\n",
                    o.replayCommand.empty() ? "monkeydriver ..." : o.replayCommand.c_str(), o.log.c_str(),
                    upto);
        return 1;
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
    std::printf("PASS scale %d, %s: %ld actions, %d starts, %.0f s\n", o.scale,
                replay ? ("replay of " + o.replay).c_str() : ("seed " + std::to_string(o.seed)).c_str(),
                total, monkey.starts(), seconds);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    // The verdict reaches a log at once, whatever comes after it.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    try {
        return run(parseOptions(argc, argv));
    } catch (const std::exception &e) {
        std::printf("FAIL: %s\n", e.what());
        return 2;
    }
}
