// Drives the real program on an X server for a long run and watches what it holds: starts it at a
// display scale, then runs draws and panel opens by keyboard and hints by resting the pointer on a slot,
// spread evenly over the run. After every action it waits for the window to show the result (the slots'
// pixels, the panel's face, the hint window mapped and unmapped), so that the loop goes as fast as the
// program answers and no faster. Every so many actions it reads the program's resident memory, open
// files and threads from /proc into a CSV table, and at the end judges whether they stayed flat.
//
//   soakdriver --program PATH --folder DIR --scale N --csv FILE [--draws N] [--panels N] [--hints N]
//              [--every N] [--settle N] [--tolerance-kib N]
//
// Exit status: 0 flat, 1 not flat, 2 the run could not be completed.

#include "tests/soak/soakverdict.h"

#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// The window's layout in logical pixels.
struct Rect {
    int x, y, w, h;
};
constexpr int kFormWidth = 572;
constexpr int kFormHeight = 299;
// All three slots, and each one's middle for the pointer.
constexpr Rect kSlotsBand{22, 71, 524, 178};
constexpr Rect kSlots[3] = {{22, 72, 145, 177}, {209, 72, 145, 177}, {401, 71, 145, 177}};
// A patch of the panel's face right of its text and above its button; under a card when it is closed.
constexpr Rect kPanelFacePatch{440, 140, 10, 10};
constexpr std::uint32_t kPanelFaceRgb = 0xfff8b3; // the panel's colour 11794687 (BGR)
// Bare background: no hint, outside the panel, away from every control.
constexpr int kRestX = 565;
constexpr int kRestY = 290;
// Tab positions of the slots counted from the divine button.
constexpr int kFirstSlotTab = 3;

// The program answers within milliseconds; these only bound a hang. A hint needs its pause first.
constexpr milliseconds kStartTimeout{30000};
constexpr milliseconds kAnswerTimeout{10000};
constexpr milliseconds kPollInterval{2};
constexpr milliseconds kSameKeyGap{2};
// A draw may give the same three cards in the same places again (about once in 64,000 draws); the
// slots then do not change and the wait ends unanswered. More than this many in a row is a hang.
constexpr int kMaxUnansweredDraws = 3;

// X keysyms of the keys used.
constexpr xcb_keysym_t kTab = 0xff09, kSpace = 0x20, kEscape = 0xff1b, kF1 = 0xffbe, kShiftL = 0xffe1;

struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

template <class T> using Reply = std::unique_ptr<T, decltype(&std::free)>;
template <class T> Reply<T> own(T *reply)
{
    return Reply<T>(reply, &std::free);
}

struct Options {
    std::string program, folder, csv;
    int scale = 1;
    long draws = 10000, panels = 1000, hints = 1000;
    long every = 500, settle = 1000, toleranceKiB = 1024;
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
    number("--scale", o.scale);
    number("--draws", o.draws);
    number("--panels", o.panels);
    number("--hints", o.hints);
    number("--every", o.every);
    number("--settle", o.settle);
    number("--tolerance-kib", o.toleranceKiB);
    if (o.program.empty() || o.folder.empty() || o.csv.empty() || o.scale < 1 || o.every < 1)
        throw Failure("usage: soakdriver --program PATH --folder DIR --scale N --csv FILE [--draws N] "
                      "[--panels N] [--hints N] [--every N] [--settle N] [--tolerance-kib N]");
    return o;
}

// The program under test, started with its display scale in its data folder.
class Program {
public:
    Program(const Options &o)
    {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addchdir_np(&actions, o.folder.c_str());
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        setenv("QT_SCALE_FACTOR", std::to_string(o.scale).c_str(), 1);
        char *argv[] = {const_cast<char *>(o.program.c_str()), nullptr};
        const int error = posix_spawn(&m_pid, o.program.c_str(), &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        if (error != 0)
            throw Failure("cannot start " + o.program + ": " + std::strerror(error));
    }
    ~Program()
    {
        if (alive()) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
    }
    pid_t pid() const { return m_pid; }
    bool alive()
    {
        if (m_ended)
            return false;
        int status = 0;
        if (waitpid(m_pid, &status, WNOHANG) == m_pid)
            m_ended = true;
        return !m_ended;
    }

private:
    pid_t m_pid = -1;
    bool m_ended = false;
};

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

std::uint64_t fnv1a(const std::uint8_t *data, std::size_t size)
{
    std::uint64_t h = 14695981039346656037ull;
    for (std::size_t i = 0; i < size; ++i)
        h = (h ^ data[i]) * 1099511628211ull;
    return h;
}

class Display {
public:
    Display()
    {
        m_c = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(m_c))
            throw Failure("cannot connect to the X server (DISPLAY)");
        const xcb_setup_t *setup = xcb_get_setup(m_c);
        m_screen = xcb_setup_roots_iterator(setup).data;
        checkPixelFormat(setup);
        if (!own(xcb_test_get_version_reply(m_c, xcb_test_get_version(m_c, 2, 2), nullptr)))
            throw Failure("the X server has no XTEST");
        // Top-level windows mapped and unmapped: the hint window among them.
        const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_c, root(), XCB_CW_EVENT_MASK, &mask);
        m_pidAtom = atom("_NET_WM_PID");
        loadKeyboard(setup);
    }
    ~Display() { xcb_disconnect(m_c); }

    xcb_window_t root() const { return m_screen->root; }

    // Mapped top-level windows of a process, as the events so far say.
    const std::set<xcb_window_t> &mappedOf(pid_t pid)
    {
        drainEvents(pid);
        return m_mapped;
    }

    // Waits for the set of a process's mapped windows to satisfy a condition.
    template <class Condition> bool waitForWindows(pid_t pid, Condition done, milliseconds timeout)
    {
        const auto deadline = Clock::now() + timeout;
        while (!done(mappedOf(pid))) {
            const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
            if (left <= 0)
                return false;
            pollfd p{xcb_get_file_descriptor(m_c), POLLIN, 0};
            poll(&p, 1, int(left));
        }
        return true;
    }

    void scanExisting(pid_t pid)
    {
        auto tree = own(xcb_query_tree_reply(m_c, xcb_query_tree(m_c, root()), nullptr));
        if (!tree)
            return;
        const xcb_window_t *children = xcb_query_tree_children(tree.get());
        for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
            auto attributes = own(
                xcb_get_window_attributes_reply(m_c, xcb_get_window_attributes(m_c, children[i]), nullptr));
            if (attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE && pidOf(children[i]) == pid)
                m_mapped.insert(children[i]);
        }
    }

    std::pair<int, int> size(xcb_window_t w)
    {
        auto g = own(xcb_get_geometry_reply(m_c, xcb_get_geometry(m_c, w), nullptr));
        return g ? std::pair<int, int>{g->width, g->height} : std::pair<int, int>{0, 0};
    }

    std::pair<int, int> origin(xcb_window_t w)
    {
        auto t = own(
            xcb_translate_coordinates_reply(m_c, xcb_translate_coordinates(m_c, w, root(), 0, 0), nullptr));
        if (!t)
            throw Failure("the program's window is gone");
        return {t->dst_x, t->dst_y};
    }

    void focus(xcb_window_t w)
    {
        xcb_set_input_focus(m_c, XCB_INPUT_FOCUS_POINTER_ROOT, w, XCB_CURRENT_TIME);
        xcb_flush(m_c);
    }

    // Device pixels of a window's rectangle, four bytes each.
    std::vector<std::uint8_t> pixels(xcb_window_t w, Rect r)
    {
        auto image = own(
            xcb_get_image_reply(m_c,
                                xcb_get_image(m_c, XCB_IMAGE_FORMAT_Z_PIXMAP, w, std::int16_t(r.x),
                                              std::int16_t(r.y), std::uint16_t(r.w), std::uint16_t(r.h), ~0u),
                                nullptr));
        if (!image)
            throw Failure("cannot read the program's window");
        const std::uint8_t *data = xcb_get_image_data(image.get());
        return std::vector<std::uint8_t>(data, data + xcb_get_image_data_length(image.get()));
    }

    void key(xcb_keysym_t sym, bool shift = false)
    {
        const xcb_keycode_t code = keycode(sym);
        // A press stamped with the same server time as the release of the same key before it is how
        // X11 delivers a key held down; the program runs no command for it. Server time counts
        // milliseconds.
        if (code == m_lastKey)
            std::this_thread::sleep_until(m_lastRelease + kSameKeyGap);
        if (shift)
            fake(XCB_KEY_PRESS, keycode(kShiftL));
        fake(XCB_KEY_PRESS, code);
        fake(XCB_KEY_RELEASE, code);
        if (shift)
            fake(XCB_KEY_RELEASE, keycode(kShiftL));
        // Once the server has stamped the release.
        own(xcb_get_input_focus_reply(m_c, xcb_get_input_focus(m_c), nullptr));
        m_lastKey = code;
        m_lastRelease = Clock::now();
    }

    void movePointer(int x, int y)
    {
        xcb_test_fake_input(m_c, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, root(), std::int16_t(x),
                            std::int16_t(y), 0);
        xcb_flush(m_c);
    }

private:
    void checkPixelFormat(const xcb_setup_t *setup)
    {
        // Pixels are compared as 0x00RRGGBB words, as a 24-bit true-colour screen stores them.
        bool thirtyTwo = false;
        for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem; xcb_format_next(&f)) {
            if (f.data->depth == m_screen->root_depth && f.data->bits_per_pixel == 32)
                thirtyTwo = true;
        }
        if (m_screen->root_depth != 24 || !thirtyTwo || setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST)
            throw Failure("the X server's screen is not 24-bit colour in 32-bit little-endian pixels");
    }

    xcb_atom_t atom(const char *name)
    {
        auto reply = own(xcb_intern_atom_reply(
            m_c, xcb_intern_atom(m_c, 0, std::uint16_t(std::strlen(name)), name), nullptr));
        return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    }

    pid_t pidOf(xcb_window_t w)
    {
        auto reply = own(xcb_get_property_reply(
            m_c, xcb_get_property(m_c, 0, w, m_pidAtom, XCB_ATOM_CARDINAL, 0, 1), nullptr));
        if (!reply || xcb_get_property_value_length(reply.get()) != 4)
            return -1;
        return pid_t(*static_cast<std::uint32_t *>(xcb_get_property_value(reply.get())));
    }

    void drainEvents(pid_t pid)
    {
        while (xcb_generic_event_t *event = xcb_poll_for_event(m_c)) {
            switch (event->response_type & 0x7f) {
            case XCB_MAP_NOTIFY: {
                const xcb_window_t w = reinterpret_cast<xcb_map_notify_event_t *>(event)->window;
                if (pidOf(w) == pid)
                    m_mapped.insert(w);
                break;
            }
            case XCB_UNMAP_NOTIFY:
                m_mapped.erase(reinterpret_cast<xcb_unmap_notify_event_t *>(event)->window);
                break;
            case XCB_DESTROY_NOTIFY:
                m_mapped.erase(reinterpret_cast<xcb_destroy_notify_event_t *>(event)->window);
                break;
            default:
                break;
            }
            std::free(event);
        }
        if (xcb_connection_has_error(m_c))
            throw Failure("the connection to the X server broke");
    }

    void loadKeyboard(const xcb_setup_t *setup)
    {
        const int count = setup->max_keycode - setup->min_keycode + 1;
        auto map = own(xcb_get_keyboard_mapping_reply(
            m_c, xcb_get_keyboard_mapping(m_c, setup->min_keycode, std::uint8_t(count)), nullptr));
        if (!map)
            throw Failure("cannot read the keyboard map");
        const xcb_keysym_t *syms = xcb_get_keyboard_mapping_keysyms(map.get());
        for (int k = 0; k < count; ++k) {
            const xcb_keysym_t sym = syms[k * map->keysyms_per_keycode];
            if (sym != 0 && !m_keycodes.count(sym))
                m_keycodes[sym] = xcb_keycode_t(setup->min_keycode + k);
        }
    }

    xcb_keycode_t keycode(xcb_keysym_t sym) const
    {
        const auto it = m_keycodes.find(sym);
        if (it == m_keycodes.end())
            throw Failure("the keyboard has no key for keysym " + std::to_string(sym));
        return it->second;
    }

    void fake(std::uint8_t type, xcb_keycode_t code)
    {
        xcb_test_fake_input(m_c, type, code, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    }

    xcb_connection_t *m_c = nullptr;
    xcb_screen_t *m_screen = nullptr;
    xcb_atom_t m_pidAtom = XCB_ATOM_NONE;
    std::map<xcb_keysym_t, xcb_keycode_t> m_keycodes;
    std::set<xcb_window_t> m_mapped;
    xcb_keycode_t m_lastKey = 0;
    Clock::time_point m_lastRelease;
};

// One run at one scale: the program, its window and the actions on it.
class Soak {
public:
    explicit Soak(const Options &o) : m_options(o), m_program(o), m_scale(o.scale) {}

    void start()
    {
        const int w = kFormWidth * m_scale, h = kFormHeight * m_scale;
        m_display.scanExisting(m_program.pid());
        const bool shown = m_display.waitForWindows(
            m_program.pid(),
            [&](const std::set<xcb_window_t> &mapped) {
                for (xcb_window_t win : mapped) {
                    if (m_display.size(win) == std::pair<int, int>{w, h})
                        m_window = win;
                }
                return m_window != XCB_NONE || !m_program.alive();
            },
            kStartTimeout);
        if (!shown || m_window == XCB_NONE)
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
        } else if (++m_unansweredInARow > kMaxUnansweredDraws) {
            throw Failure("the slots did not change after " + std::to_string(m_unansweredInARow) + " draws");
        } else {
            ++m_unansweredDraws;
        }
        m_slotsAtRest = hash(scaled(kSlotsBand));
    }

    // Opens the panel through a slot or the help key, closes it with Escape and brings the focus back to
    // the divine button. kind 0..2: a slot; 3: the help.
    void openAndClosePanel(int kind)
    {
        const int tabs = kind < 3 ? kFirstSlotTab + kind : 0;
        for (int i = 0; i < tabs; ++i)
            m_display.key(kTab);
        m_display.key(kind < 3 ? kSpace : kF1);
        if (!waitFor([&] { return panelOpen(); }))
            throw Failure("the panel did not open");
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
        const auto others = [this](const std::set<xcb_window_t> &mapped) {
            return mapped.size() - mapped.count(m_window);
        };
        if (!m_display.waitForWindows(
                m_program.pid(), [&](const std::set<xcb_window_t> &m) { return others(m) > 0; },
                kAnswerTimeout))
            throw Failure("no hint showed over slot " + std::to_string(slot + 1));
        rest();
        if (!m_display.waitForWindows(
                m_program.pid(), [&](const std::set<xcb_window_t> &m) { return others(m) == 0; },
                kAnswerTimeout))
            throw Failure("the hint stayed after the pointer left slot " + std::to_string(slot + 1));
    }

    SoakSample sample(long actions)
    {
        if (!m_program.alive())
            throw Failure("the program ended");
        const pid_t pid = m_program.pid();
        return {actions, statusField(pid, "VmRSS"), openFiles(pid), statusField(pid, "Threads")};
    }

    long rssAnonKiB() { return statusField(m_program.pid(), "RssAnon"); }
    long unansweredDraws() const { return m_unansweredDraws; }

private:
    Rect scaled(Rect r) const { return {r.x * m_scale, r.y * m_scale, r.w * m_scale, r.h * m_scale}; }
    Rect commandsBand() const { return scaled({12, 11, 170, 45}); }

    std::uint64_t hash(Rect r)
    {
        const auto p = m_display.pixels(m_window, r);
        return fnv1a(p.data(), p.size());
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

    Options m_options;
    Display m_display;
    Program m_program;
    int m_scale;
    xcb_window_t m_window = XCB_NONE;
    std::uint64_t m_slotsAtRest = 0;
    int m_unansweredInARow = 0;
    long m_unansweredDraws = 0;
};

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

    Soak soak(o);
    soak.start();
    const auto t0 = Clock::now();
    const long total = o.draws + o.panels + o.hints;
    long draws = 0, panels = 0, hints = 0;
    std::vector<SoakSample> samples;
    const auto record = [&](long actions) {
        const SoakSample s = soak.sample(actions);
        const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
        samples.push_back(s);
        std::fprintf(csv, "%d,%ld,%ld,%ld,%ld,%.1f,%ld,%ld,%ld,%ld\n", o.scale, actions, draws, panels, hints,
                     seconds, s.rssKiB, soak.rssAnonKiB(), s.fds, s.threads);
        std::fflush(csv);
        std::fprintf(stderr, "scale %d: %ld actions, %.0f s, %ld KiB, %ld files, %ld threads\n", o.scale,
                     actions, seconds, s.rssKiB, s.fds, s.threads);
    };
    record(0);
    for (long done = 1; done <= total; ++done) {
        // Each kind in step with its share of the run: the one furthest behind goes next, draws first.
        const double dShare = o.draws ? double(draws) / double(o.draws) : 2;
        const double pShare = o.panels ? double(panels) / double(o.panels) : 2;
        const double hShare = o.hints ? double(hints) / double(o.hints) : 2;
        if (dShare <= pShare && dShare <= hShare)
            soak.draw(), ++draws;
        else if (pShare <= hShare)
            soak.openAndClosePanel(int(panels % 4)), ++panels;
        else
            soak.hint(int(hints % 3)), ++hints;
        if (done % o.every == 0 || done == total)
            record(done);
    }
    if (soak.unansweredDraws() > 0)
        std::fprintf(stderr, "scale %d: %ld draws left the slots as they were (the same cards again)\n",
                     o.scale, soak.unansweredDraws());
    const SoakVerdict verdict = judgeSoak(samples, o.settle, o.toleranceKiB);
    std::printf("%s scale %d: %ld draws, %ld panels, %ld hints; %s\n", verdict.pass ? "PASS" : "FAIL",
                o.scale, draws, panels, hints, verdict.reason.c_str());
    return verdict.pass ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
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
