#pragma once

// What the programs that drive ORMEX on an X server share: the program started with its standard error
// read as it comes, the X connection with XTEST input, the program's windows followed by their
// _NET_WM_PID, its pixels, and the ping a window manager sends to see that a window still answers.

#include <xcb/xcb.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <regex>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <map>

#include <sys/types.h>

namespace xdrive {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct Rect {
    int x, y, w, h;
};

// A driver's command line: "--name value" pairs. text and number set their target only where the name
// was given, so that a driver's defaults stand otherwise.
class OptionPairs {
public:
    OptionPairs(int argc, char **argv);
    void text(const char *name, std::string &to) const;
    template <class Number> void number(const char *name, Number &to) const
    {
        if (auto it = m_values.find(name); it != m_values.end())
            to = Number(std::stol(it->second));
    }

private:
    std::map<std::string, std::string> m_values;
};

// The program under test, started in a folder with its display scale; what it writes on standard error
// is collected line by line on a thread of its own, so that a flood never blocks it.
class Program {
public:
    Program(const std::string &path, const std::string &folder, int scale);
    ~Program();
    Program(const Program &) = delete;
    Program &operator=(const Program &) = delete;

    pid_t pid() const { return m_pid; }
    bool alive();
    // Waits for the program to end; its exit status (or 128 + signal), nothing when it did not end.
    std::optional<int> waitForExit(milliseconds timeout);
    // Ends it (SIGTERM, then SIGKILL) if it still runs.
    void stop();
    // The lines written on standard error so far; with a wait, after the program closed it.
    std::vector<std::string> errorLines(bool waitForEnd = false);

private:
    void readErrors(int fd);

    pid_t m_pid = -1;
    std::optional<int> m_status;
    std::thread m_reader;
    std::mutex m_mutex;
    std::vector<std::string> m_lines;
    bool m_readerDone = false;
};

// The lines of standard error that come from the environment rather than from the program: one ECMAScript
// regular expression a line in a file, '#' starting a comment line. The file says why each is there.
class ErrorAllowList {
public:
    explicit ErrorAllowList(const std::string &file);
    // The lines that no expression matches whole.
    std::vector<std::string> unexpected(const std::vector<std::string> &lines) const;

private:
    std::vector<std::regex> m_patterns;
};

template <class T> using Reply = std::unique_ptr<T, decltype(&std::free)>;
template <class T> Reply<T> own(T *reply)
{
    return Reply<T>(reply, &std::free);
}

class Display {
public:
    Display();
    ~Display();
    Display(const Display &) = delete;
    Display &operator=(const Display &) = delete;

    xcb_connection_t *connection() const { return m_c; }
    xcb_window_t root() const;
    std::pair<int, int> screenSize() const;

    // Mapped top-level windows of a process, as the events so far say.
    const std::set<xcb_window_t> &mappedOf(pid_t pid);
    // Top-level windows of a process mapped now, as the server says.
    std::set<xcb_window_t> mappedNow(pid_t pid);
    // Waits for the window of a process that has this size; XCB_NONE when none came in time or the
    // process ended.
    xcb_window_t waitForWindowOfSize(Program &program, int w, int h, milliseconds timeout);
    // Forgets what was known of a process's windows (a new process of the same program).
    void forgetWindows() { m_mapped.clear(); }

    std::pair<int, int> size(xcb_window_t w);
    bool exists(xcb_window_t w);
    std::pair<int, int> origin(xcb_window_t w);
    // Device pixels of a window's rectangle, four bytes each (0x00RRGGBB little-endian words).
    std::vector<std::uint8_t> pixels(xcb_window_t w, Rect r);

    void focus(xcb_window_t w);
    // Asks for the window's top-left corner to be there (through the window manager, if any).
    void moveWindow(xcb_window_t w, int x, int y);
    void key(std::uint32_t keysym, bool shift = false);
    void keyDown(std::uint32_t keysym);
    void keyUp(std::uint32_t keysym);
    bool hasKey(std::uint32_t keysym) const;
    void movePointer(int x, int y);
    void button(int button, bool down);
    // Makes sure the server has handled every request so far.
    void sync();

    // For a failure's report: where the pointer is and which window it is over, which window has the
    // keyboard, and each mapped top-level window of the process with its place and size.
    std::string describe(pid_t pid);
    // The whole screen as a binary PPM.
    void saveScreen(const std::string &path);

    // Sends _NET_WM_PING to the window and waits for the program's answer to the root window. The server
    // gives that answer only to the client that redirects the root's children (a window manager, if any),
    // so the driver sees it through the RECORD extension, as the request the program makes.
    // Gives up early, with false, once the window no longer exists.
    bool ping(xcb_window_t w, milliseconds timeout);

    // A plain top-level window of the driver's own, for taking the activation away from the program.
    xcb_window_t createWindow(Rect r);
    void mapWindow(xcb_window_t w, bool map);
    // Asks the window manager (or, without one, the server) to give the window the activation.
    void activate(xcb_window_t w);

private:
    void checkPixelFormat(const void *setup);
    std::uint32_t atom(const char *name);
    pid_t pidOf(xcb_window_t w);
    void drainEvents(pid_t pid);
    void handle(xcb_generic_event_t *event);
    void loadKeyboard();
    std::uint8_t keycode(std::uint32_t sym) const;
    void fake(std::uint8_t type, std::uint8_t detail);
    void startRecording();
    void record(xcb_connection_t *c, unsigned sequence);

    xcb_connection_t *m_c = nullptr;
    void *m_screen = nullptr;
    std::uint32_t m_pidAtom = 0, m_protocolsAtom = 0, m_pingAtom = 0, m_activeAtom = 0;
    std::vector<std::pair<std::uint32_t, std::uint8_t>> m_keycodes;
    std::set<xcb_window_t> m_mapped;
    pid_t m_followed = -1; // whose windows m_mapped holds
    std::uint8_t m_lastKey = 0;
    Clock::time_point m_lastRelease;
    std::uint32_t m_pingToken = 0;
    std::atomic<std::uint32_t> m_pingAnswered{0};
    xcb_connection_t *m_recording = nullptr;
    std::uint32_t m_recordContext = 0;
    std::thread m_recorder;
};

std::uint64_t fnv1a(const std::uint8_t *data, std::size_t size);

} // namespace xdrive
