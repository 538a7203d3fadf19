// Drives the real program on an X server for a long run and watches what it holds: starts it at a
// display scale, then runs draws and panel opens by keyboard and hints by resting the pointer on a slot.
// The kinds take turns in blocks as long as the stretch between two samples, so that the memory each
// kind adds can be told apart. After every action it waits for the window to show the result (the
// slots' pixels, the panel with the text asked for, the hint window mapped and unmapped), so that the
// loop goes as fast as the program answers and no faster. Every so many actions it reads the program's
// resident and anonymous memory, open files and threads from /proc into a CSV table. At the end it
// presses the exit button, and the program must end with status 0 and nothing on its standard error
// beyond the allowed lines; then it judges the samples (soakverdict.h).
//
//   soakdriver --program PATH --folder DIR --scale N --csv FILE --allowed-errors FILE [--draws N]
//              [--panels N] [--hints N] [--every N] [--settle N]
//
// Exit status: 0 passed, 1 failed a check, 2 the run could not be completed.

#include "tests/soak/soakverdict.h"
#include "tests/xdrive/xsession.h"

#include <dirent.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace xdrive;

// The window's layout in logical pixels.
constexpr int kFormWidth = 572;
constexpr int kFormHeight = 299;
// All three slots, and each one's middle for the pointer.
constexpr Rect kSlotsBand{22, 71, 524, 178};
constexpr Rect kSlots[3] = {{22, 72, 145, 177}, {209, 72, 145, 177}, {401, 71, 145, 177}};
// A patch of the panel's face right of its text and above its button; under a card when it is closed.
constexpr Rect kPanelFacePatch{440, 140, 10, 10};
constexpr std::uint32_t kPanelFaceRgb = 0xfff8b3; // the panel's colour 11794687 (BGR)
// The first lines of the panel's text box, left of its scroll bar.
constexpr Rect kPanelTextBand{12, 14, 370, 90};
// Bare background: no hint, outside the panel, away from every control.
constexpr int kRestX = 565;
constexpr int kRestY = 290;
constexpr int kExitX = 472, kExitY = 33; // the middle of the exit button
// Tab positions of the slots counted from the divine button.
constexpr int kFirstSlotTab = 3;

// The program answers within milliseconds; these only bound a hang. A hint needs its pause first.
constexpr milliseconds kStartTimeout{30000};
constexpr milliseconds kAnswerTimeout{10000};
constexpr milliseconds kExitTimeout{30000};
constexpr milliseconds kPollInterval{2};
constexpr milliseconds kFrame{20};
constexpr int kSettleRounds = 250;
// A draw may give the same three cards in the same places again (about once in 64,000 draws); the
// slots then do not change and the wait ends unanswered. One such draw is allowed in every 10,000 (or
// fewer); more than three in a row is a hang.
constexpr long kDrawsPerUnchanged = 10000;
constexpr int kMaxUnansweredInARow = 3;

// X keysyms of the keys used.
constexpr std::uint32_t kTab = 0xff09, kSpace = 0x20, kEscape = 0xff1b, kF1 = 0xffbe;

struct Options {
    std::string program, folder, csv, allowedErrors;
    int scale = 1;
    long draws = 10000, panels = 1000, hints = 1000;
    long every = 100, settle = 1000;
};

Options parseOptions(int argc, char **argv)
{
    Options o;
    std::map<std::string, std::string> values;
    for (int i = 1; i + 1 < argc; i += 2)
        values[argv[i]] = argv[i + 1];
    if (argc % 2 == 0)
        throw Failure("options come in pairs: --name value");
    const auto text = [&values](const char *name, std::string &to) {
        if (auto it = values.find(name); it != values.end())
            to = it->second;
    };
    const auto number = [&values](const char *name, auto &to) {
        if (auto it = values.find(name); it != values.end())
            to = std::stol(it->second);
    };
    text("--program", o.program);
    text("--folder", o.folder);
    text("--csv", o.csv);
    text("--allowed-errors", o.allowedErrors);
    number("--scale", o.scale);
    number("--draws", o.draws);
    number("--panels", o.panels);
    number("--hints", o.hints);
    number("--every", o.every);
    number("--settle", o.settle);
    if (o.program.empty() || o.folder.empty() || o.csv.empty() || o.allowedErrors.empty() || o.scale < 1 ||
        o.every < 1)
        throw Failure("usage: soakdriver --program PATH --folder DIR --scale N --csv FILE --allowed-errors "
                      "FILE [--draws N] [--panels N] [--hints N] [--every N] [--settle N]");
    return o;
}

long statusField(pid_t pid, const char *name)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    const std::string prefix = std::string(name) + ":";
    for (std::string line; std::getline(status, line);) {
        if (line.compare(0, prefix.size(), prefix) == 0)
            return std::strtol(line.c_str() + prefix.size(), nullptr, 10);
    }
    throw Failure(std::string("no ") + name + " in the program's status");
}

long openFiles(pid_t pid)
{
    DIR *dir = opendir(("/proc/" + std::to_string(pid) + "/fd").c_str());
    if (!dir)
        throw Failure("cannot list the program's open files");
    long n = 0;
    while (const dirent *entry = readdir(dir)) {
        if (entry->d_name[0] != '.')
            ++n;
    }
    closedir(dir);
    return n;
}

// One run at one scale: the program, its window and the actions on it.
class Soak {
public:
    explicit Soak(const Options &o) : m_program(o.program, o.folder, o.scale), m_scale(o.scale) {}

    void start()
    {
        const int w = kFormWidth * m_scale, h = kFormHeight * m_scale;
        m_window = m_display.waitForWindowOfSize(m_program, w, h, kStartTimeout);
        if (m_window == XCB_NONE)
            throw Failure("the program showed no " + std::to_string(w) + " x " + std::to_string(h) +
                          " window");
        rest();
        m_display.focus(m_window);
        // Until the tab key has chosen a control the window keeps the focus: the first tab gives it to the
        // divine button and shows where it is.
        const auto before = hash(commandsBand());
        m_display.key(kTab);
        if (!waitFor([&] { return hash(commandsBand()) != before; }))
            throw Failure("the tab key did not reach the divine button");
        m_slotsAtRest = hash(scaled(kSlotsBand));
    }

    void draw()
    {
        const auto before = hash(scaled(kSlotsBand));
        m_display.key(kSpace);
        if (waitFor([&] { return hash(scaled(kSlotsBand)) != before; })) {
            m_unansweredInARow = 0;
        } else if (++m_unansweredInARow > kMaxUnansweredInARow) {
            throw Failure("the slots did not change after " + std::to_string(m_unansweredInARow) + " draws");
        } else {
            ++m_unansweredDraws;
        }
        m_slotsAtRest = settledHash(scaled(kSlotsBand));
    }

    // Opens the panel through a slot or the help key, checks that it shows the text asked for, closes it
    // with Escape and brings the focus back to the divine button. kind 0..2: a slot; 3: the help.
    void openAndClosePanel(int kind)
    {
        const int tabs = kind < 3 ? kFirstSlotTab + kind : 0;
        const std::uint64_t card = kind < 3 ? settledHash(scaled(cardInside(kSlots[kind]))) : 0;
        for (int i = 0; i < tabs; ++i)
            m_display.key(kTab);
        m_display.key(kind < 3 ? kSpace : kF1);
        if (!waitFor([&] { return panelOpen(); }))
            throw Failure("the panel did not open");
        checkPanelText(kind, card);
        m_display.key(kEscape);
        for (int i = 0; i < tabs; ++i)
            m_display.key(kTab, true);
        // Closed, with the focus off the slots: exactly the slots as they were.
        if (!waitFor([&] { return !panelOpen() && hash(scaled(kSlotsBand)) == m_slotsAtRest; }))
            throw Failure("the panel did not close, or the focus did not come back");
    }

    // Rests the pointer on a slot until its hint shows, then moves it away until the hint goes.
    void hint(int slot)
    {
        const Rect &s = kSlots[slot];
        const auto [x, y] = m_display.origin(m_window);
        m_display.movePointer(x + (s.x + s.w / 2) * m_scale, y + (s.y + s.h / 2) * m_scale);
        if (!waitForOthers([](std::size_t others) { return others > 0; }))
            throw Failure("no hint showed over slot " + std::to_string(slot + 1));
        rest();
        if (!waitForOthers([](std::size_t others) { return others == 0; }))
            throw Failure("the hint stayed after the pointer left slot " + std::to_string(slot + 1));
    }

    // Presses the exit button; the program must end by itself with status 0.
    void exitThroughButton()
    {
        const auto [x, y] = m_display.origin(m_window);
        m_display.movePointer(x + kExitX * m_scale, y + kExitY * m_scale);
        m_display.button(1, true);
        m_display.button(1, false);
        const std::optional<int> status = m_program.waitForExit(kExitTimeout);
        if (!status)
            throw Failure("the program did not end after the exit button");
        if (*status != 0)
            throw Failure("the program ended with status " + std::to_string(*status));
    }

    std::vector<std::string> errorLines() { return m_program.errorLines(!m_program.alive()); }

    SoakSample sample(long actions)
    {
        if (!m_program.alive())
            throw Failure("the program ended");
        const pid_t pid = m_program.pid();
        SoakSample s;
        s.actions = actions;
        s.rssKiB = statusField(pid, "VmRSS");
        s.rssAnonKiB = statusField(pid, "RssAnon");
        s.fds = openFiles(pid);
        s.threads = statusField(pid, "Threads");
        return s;
    }

    long unansweredDraws() const { return m_unansweredDraws; }

private:
    Rect scaled(Rect r) const { return {r.x * m_scale, r.y * m_scale, r.w * m_scale, r.h * m_scale}; }
    Rect commandsBand() const { return scaled({12, 11, 170, 45}); }
    // A card by the middle of its picture: the slot's edges show the background, which differs from one
    // slot to the next.
    static Rect cardInside(Rect slot) { return {slot.x + 30, slot.y + 40, slot.w - 60, slot.h - 80}; }

    std::uint64_t hash(Rect r)
    {
        const auto p = m_display.pixels(m_window, r);
        return fnv1a(p.data(), p.size());
    }

    // The three slots are painted one by one, and may reach the screen in more than one frame: a value
    // counts once two looks a frame apart agree.
    template <class Look> std::uint64_t settled(Look look)
    {
        std::uint64_t last = look();
        for (int round = 0; round < kSettleRounds; ++round) {
            std::this_thread::sleep_for(kFrame);
            const std::uint64_t now = look();
            if (now == last)
                return now;
            last = now;
        }
        throw Failure("the window kept changing");
    }
    std::uint64_t settledHash(Rect r)
    {
        return settled([&] { return hash(r); });
    }

    bool panelOpen()
    {
        const auto p = m_display.pixels(m_window, scaled(kPanelFacePatch));
        for (std::size_t i = 0; i + 3 < p.size(); i += 4) {
            const std::uint32_t rgb =
                std::uint32_t(p[i]) | std::uint32_t(p[i + 1]) << 8 | std::uint32_t(p[i + 2]) << 16;
            if (rgb != kPanelFaceRgb)
                return false;
        }
        return true;
    }

    // The dark pixels of the panel's first lines: the text alone, whichever face the box has.
    std::uint64_t panelText()
    {
        const auto p = m_display.pixels(m_window, scaled(kPanelTextBand));
        std::vector<std::uint8_t> ink((p.size() / 4 + 7) / 8);
        for (std::size_t i = 0; i + 3 < p.size(); i += 4) {
            if (int(p[i]) + p[i + 1] + p[i + 2] < 3 * 100)
                ink[i / 32] |= std::uint8_t(1u << (i / 4 % 8));
        }
        bool any = false;
        for (std::uint8_t b : ink)
            any = any || b != 0;
        return any ? fnv1a(ink.data(), ink.size()) : 0;
    }

    // The help always shows one text; a card always the same text, and no two cards the same one. The
    // driver cannot read the text, but it can hold the program to that.
    void checkPanelText(int kind, std::uint64_t card)
    {
        // The text is set before the panel is painted; a frame may still be on its way.
        const std::uint64_t text = settled([&] { return panelText(); });
        if (text == 0)
            throw Failure("the panel shows no text");
        if (kind == 3) {
            if (m_helpText == 0)
                m_helpText = text;
            if (text != m_helpText)
                throw Failure("the help shows another text than the first time");
            if (m_cardOfText.count(text))
                throw Failure("the help shows the text of a card");
            return;
        }
        if (text == m_helpText)
            throw Failure("slot " + std::to_string(kind + 1) + " shows the help text");
        if (const auto it = m_textOfCard.find(card); it != m_textOfCard.end() && it->second != text)
            throw Failure("slot " + std::to_string(kind + 1) + " shows another text for a card than before");
        if (const auto it = m_cardOfText.find(text); it != m_cardOfText.end() && it->second != card)
            throw Failure("slot " + std::to_string(kind + 1) + " shows the text of another card");
        m_textOfCard[card] = text;
        m_cardOfText[text] = card;
    }

    void rest()
    {
        const auto [x, y] = m_display.origin(m_window);
        m_display.movePointer(x + kRestX * m_scale, y + kRestY * m_scale);
    }

    // Polls the window until the condition holds; the program's death or a window it did not mean to
    // show (an error box) ends the run at once.
    template <class Condition> bool waitFor(Condition done)
    {
        const auto deadline = Clock::now() + kAnswerTimeout;
        for (;;) {
            if (done())
                return true;
            if (!m_program.alive())
                throw Failure("the program ended");
            if (m_display.mappedOf(m_program.pid()).size() > 1)
                throw Failure("the program showed a window of its own (an error box?)");
            if (Clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(kPollInterval);
        }
    }

    // Waits until the number of the program's windows other than the main one satisfies a condition.
    template <class Condition> bool waitForOthers(Condition done)
    {
        const auto deadline = Clock::now() + kAnswerTimeout;
        for (;;) {
            const auto &mapped = m_display.mappedOf(m_program.pid());
            if (done(mapped.size() - mapped.count(m_window)))
                return true;
            if (!m_program.alive())
                throw Failure("the program ended");
            if (Clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(kPollInterval);
        }
    }

    Display m_display;
    Program m_program;
    int m_scale;
    xcb_window_t m_window = XCB_NONE;
    std::uint64_t m_slotsAtRest = 0;
    int m_unansweredInARow = 0;
    long m_unansweredDraws = 0;
    std::uint64_t m_helpText = 0;
    std::map<std::uint64_t, std::uint64_t> m_textOfCard, m_cardOfText;
};

// The kind whose share of its total is furthest behind; on a tie hints before panels before draws.
int nextKind(const std::array<long, SoakKindCount> &done, const std::array<long, SoakKindCount> &total)
{
    int best = -1;
    double bestShare = 2;
    for (const int k : {SoakHint, SoakPanel, SoakDraw}) {
        if (done[k] >= total[k])
            continue;
        const double share = double(done[k]) / double(total[k]);
        if (share < bestShare)
            best = k, bestShare = share;
    }
    return best;
}

// The kind furthest behind its share, draws first on a tie: the kinds spread evenly (five draws, a
// panel, five draws, a hint, ...).
int nextMixedKind(const std::array<long, SoakKindCount> &done, const std::array<long, SoakKindCount> &total)
{
    int best = -1;
    double bestShare = 2;
    for (const int k : {SoakDraw, SoakPanel, SoakHint}) {
        if (done[k] >= total[k])
            continue;
        const double share = double(done[k]) / double(total[k]);
        if (share < bestShare)
            best = k, bestShare = share;
    }
    return best;
}

int run(const Options &o)
{
    // Not inherited by the program, whose open files are counted.
    std::FILE *csv = std::fopen(o.csv.c_str(), "ae");
    if (!csv)
        throw Failure("cannot write " + o.csv);
    std::unique_ptr<std::FILE, decltype(&std::fclose)> closer(csv, &std::fclose);
    if (std::ftell(csv) == 0)
        std::fprintf(csv,
                     "scale,actions,draws,panels,hints,seconds,rss_kib,rss_anon_kib,open_files,threads\n");
    const ErrorAllowList allowed(o.allowedErrors);

    Soak soak(o);
    soak.start();
    const auto t0 = Clock::now();
    const std::array<long, SoakKindCount> total{o.draws, o.panels, o.hints};
    const long all = o.draws + o.panels + o.hints;
    std::array<long, SoakKindCount> done{};
    std::vector<SoakSample> samples;
    const auto record = [&](long actions) {
        SoakSample s = soak.sample(actions);
        s.counts = done;
        const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
        samples.push_back(s);
        std::fprintf(csv, "%d,%ld,%ld,%ld,%ld,%.1f,%ld,%ld,%ld,%ld\n", o.scale, actions, done[SoakDraw],
                     done[SoakPanel], done[SoakHint], seconds, s.rssKiB, s.rssAnonKiB, s.fds, s.threads);
        std::fflush(csv);
        if (actions % (o.every * 10) == 0 || actions == all)
            std::fprintf(stderr, "scale %d: %ld actions, %.0f s, %ld KiB, %ld files, %ld threads\n", o.scale,
                         actions, seconds, s.rssKiB, s.fds, s.threads);
    };
    record(0);
    int kind = -1;
    for (long action = 1; action <= all; ++action) {
        // While the caches fill the kinds come mixed, so that the panel shows many cards' texts; after
        // that a block of one kind lasts from one sample to the next.
        if (action <= o.settle)
            kind = nextMixedKind(done, total);
        else if ((action - 1) % o.every == 0 || done[kind] >= total[kind])
            kind = nextKind(done, total);
        switch (kind) {
        case SoakDraw:
            soak.draw();
            break;
        case SoakPanel:
            soak.openAndClosePanel(int(done[SoakPanel] % 4));
            break;
        default:
            soak.hint(int(done[SoakHint] % 3));
            break;
        }
        ++done[kind];
        if (action % o.every == 0 || action == all)
            record(action);
    }
    soak.exitThroughButton();

    std::string failures;
    const long allowedUnchanged = (o.draws + kDrawsPerUnchanged - 1) / kDrawsPerUnchanged;
    if (soak.unansweredDraws() > allowedUnchanged)
        failures += std::to_string(soak.unansweredDraws()) + " draws left the slots as they were (at most " +
                    std::to_string(allowedUnchanged) + "); ";
    const auto unexpected = allowed.unexpected(soak.errorLines());
    for (const std::string &line : unexpected)
        std::fprintf(stderr, "program's standard error: %s\n", line.c_str());
    if (!unexpected.empty())
        failures += std::to_string(unexpected.size()) + " unexpected lines on standard error; ";
    SoakLimits limits;
    limits.settleActions = o.settle;
    const SoakVerdict verdict = judgeSoak(samples, limits);
    const bool pass = verdict.pass && failures.empty();
    std::printf("%s scale %d: %ld draws (%ld unchanged), %ld panels, %ld hints; %s%s\n",
                pass ? "PASS" : "FAIL", o.scale, done[SoakDraw], soak.unansweredDraws(), done[SoakPanel],
                done[SoakHint], failures.c_str(), verdict.reason.c_str());
    return pass ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    Options options;
    try {
        options = parseOptions(argc, argv);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 2;
    }
    try {
        return run(options);
    } catch (const std::exception &e) {
        std::printf("FAIL scale %d: %s\n", options.scale, e.what());
        return 2;
    }
}
