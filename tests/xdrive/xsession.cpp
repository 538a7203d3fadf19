#include "tests/xdrive/xsession.h"

#include <xcb/record.h>
#include <xcb/xtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <regex>
#include <sstream>

extern char **environ;

namespace xdrive {

OptionPairs::OptionPairs(int argc, char **argv)
{
    if (argc % 2 == 0)
        throw Failure("options come in pairs: --name value");
    for (int i = 1; i + 1 < argc; i += 2)
        m_values[argv[i]] = argv[i + 1];
}

void OptionPairs::text(const char *name, std::string &to) const
{
    if (auto it = m_values.find(name); it != m_values.end())
        to = it->second;
}

namespace {

// X11 delivers a key held down as a release and a press with the same server time; two taps of one key
// need at least a millisecond between them to stay two.
constexpr milliseconds kSameKeyGap{2};
constexpr milliseconds kReaderPoll{100};
constexpr milliseconds kExitPoll{5};
constexpr milliseconds kPingPoll{1};
constexpr int kPingRoundsPerLook = 20;
// How deep below the root a window manager may put a client's window.
constexpr int kFrameDepth = 3;
constexpr std::uint32_t kShiftL = 0xffe1;
// Marks the driver's pings among those a window manager sends.
constexpr std::uint32_t kPingMark = 0x4d4f4e4b;
constexpr std::uint8_t kSendEventRequest = 25;
// Categories of what a RECORD context reports.
constexpr std::uint8_t kRecordFromClient = 1, kRecordEndOfData = 7;

} // namespace

Program::Program(const std::string &path, const std::string &folder, int scale)
{
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0)
        throw Failure(std::string("cannot make a pipe: ") + std::strerror(errno));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDERR_FILENO);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    setenv("QT_SCALE_FACTOR", std::to_string(scale).c_str(), 1);
    char *argv[] = {const_cast<char *>(path.c_str()), nullptr};
    const int error = posix_spawn(&m_pid, path.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (error != 0) {
        close(pipeEnds[0]);
        throw Failure("cannot start " + path + ": " + std::strerror(error));
    }
    m_reader = std::thread([this, fd = pipeEnds[0]] { readErrors(fd); });
}

Program::~Program()
{
    stop();
    if (m_reader.joinable()) {
        // A child the program started may still hold its standard error; the reader is not waited for.
        errorLines(true);
        std::lock_guard lock(m_mutex);
        if (m_readerDone)
            m_reader.join();
        else
            m_reader.detach();
    }
}

void Program::readErrors(int fd)
{
    std::string partial;
    char buffer[4096];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, int(kReaderPoll.count())) < 0 && errno != EINTR)
            break;
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN))
            break;
        if (n < 0)
            continue;
        partial.append(buffer, size_t(n));
        std::lock_guard lock(m_mutex);
        for (std::size_t end; (end = partial.find('\n')) != std::string::npos;) {
            m_lines.push_back(partial.substr(0, end));
            partial.erase(0, end + 1);
        }
    }
    close(fd);
    std::lock_guard lock(m_mutex);
    if (!partial.empty())
        m_lines.push_back(partial);
    m_readerDone = true;
}

bool Program::alive()
{
    if (m_status)
        return false;
    int status = 0;
    if (waitpid(m_pid, &status, WNOHANG) == m_pid)
        m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return !m_status;
}

std::optional<int> Program::waitForExit(milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    while (alive() && Clock::now() < deadline)
        std::this_thread::sleep_for(kExitPoll);
    return m_status;
}

void Program::stop()
{
    if (!alive())
        return;
    kill(m_pid, SIGTERM);
    if (!waitForExit(milliseconds(5000))) {
        kill(m_pid, SIGKILL);
        waitForExit(milliseconds(5000));
    }
}

std::vector<std::string> Program::errorLines(bool waitForEnd)
{
    const auto deadline = Clock::now() + milliseconds(5000);
    for (;;) {
        {
            std::lock_guard lock(m_mutex);
            if (!waitForEnd || m_readerDone || Clock::now() > deadline)
                return m_lines;
        }
        std::this_thread::sleep_for(milliseconds(10));
    }
}

ErrorAllowList::ErrorAllowList(const std::string &file)
{
    std::ifstream in(file);
    if (!in)
        throw Failure("cannot read " + file);
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        m_patterns.emplace_back(line); // a bad expression fails here, not at the first line it meets
    }
}

std::vector<std::string> ErrorAllowList::unexpected(const std::vector<std::string> &lines) const
{
    std::vector<std::string> left;
    for (const std::string &line : lines) {
        bool allowed = false;
        for (const std::regex &p : m_patterns)
            allowed = allowed || std::regex_match(line, p);
        if (!allowed)
            left.push_back(line);
    }
    return left;
}

std::uint64_t fnv1a(const std::uint8_t *data, std::size_t size)
{
    std::uint64_t h = 14695981039346656037ull;
    for (std::size_t i = 0; i < size; ++i)
        h = (h ^ data[i]) * 1099511628211ull;
    return h;
}

Display::Display()
{
    m_c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(m_c))
        throw Failure("cannot connect to the X server (DISPLAY)");
    const xcb_setup_t *setup = xcb_get_setup(m_c);
    m_screen = xcb_setup_roots_iterator(setup).data;
    checkPixelFormat(setup);
    if (!own(xcb_test_get_version_reply(m_c, xcb_test_get_version(m_c, 2, 2), nullptr)))
        throw Failure("the X server has no XTEST");
    // Top-level windows mapped and unmapped, and the answers to pings, come to the root window.
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(m_c, root(), XCB_CW_EVENT_MASK, &mask);
    m_pidAtom = atom("_NET_WM_PID");
    m_protocolsAtom = atom("WM_PROTOCOLS");
    m_pingAtom = atom("_NET_WM_PING");
    m_activeAtom = atom("_NET_ACTIVE_WINDOW");
    loadKeyboard();
    startRecording();
}

Display::~Display()
{
    if (m_recorder.joinable()) {
        // Ends the recording's stream of replies, and with it the thread: a reader waiting for the
        // stream's last reply is woken by the closed socket.
        xcb_record_disable_context(m_c, m_recordContext);
        sync();
        shutdown(xcb_get_file_descriptor(m_recording), SHUT_RDWR);
        m_recorder.join();
        xcb_record_free_context(m_c, m_recordContext);
        xcb_disconnect(m_recording);
    }
    xcb_disconnect(m_c);
}

void Display::startRecording()
{
    if (!own(xcb_record_query_version_reply(m_c, xcb_record_query_version(m_c, 1, 13), nullptr)))
        throw Failure("the X server has no RECORD extension");
    // Every client's SendEvent requests, as the program makes them.
    m_recordContext = xcb_generate_id(m_c);
    xcb_record_range_t range{};
    range.core_requests.first = range.core_requests.last = kSendEventRequest;
    const xcb_record_client_spec_t clients = XCB_RECORD_CS_ALL_CLIENTS;
    if (xcb_request_check(m_c,
                          xcb_record_create_context_checked(m_c, m_recordContext, 0, 1, 1, &clients, &range)))
        throw Failure("cannot record the X clients' requests");
    // The stream of recorded requests needs a connection of its own, read on a thread.
    m_recording = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(m_recording))
        throw Failure("cannot connect to the X server (DISPLAY)");
    const unsigned sequence = xcb_record_enable_context(m_recording, m_recordContext).sequence;
    m_recorder = std::thread([this, sequence] { record(m_recording, sequence); });
}

void Display::record(xcb_connection_t *c, unsigned sequence)
{
    for (;;) {
        auto reply =
            own(xcb_record_enable_context_reply(c, xcb_record_enable_context_cookie_t{sequence}, nullptr));
        if (!reply)
            return;
        if (reply->category == kRecordEndOfData)
            return;
        if (reply->category != kRecordFromClient)
            continue;
        // A SendEvent request: opcode, propagate, length, destination, event mask, then the 32-byte event.
        const std::uint8_t *data = xcb_record_enable_context_data(reply.get());
        const int length = xcb_record_enable_context_data_length(reply.get());
        for (int at = 0; at + 44 <= length;) {
            const int size = 4 * (data[at + 2] | data[at + 3] << 8);
            if (size <= 0)
                break;
            if (data[at] == kSendEventRequest && size >= 44) {
                xcb_client_message_event_t m;
                std::memcpy(&m, data + at + 12, sizeof m);
                if ((m.response_type & 0x7f) == XCB_CLIENT_MESSAGE && m.type == m_protocolsAtom &&
                    m.data.data32[0] == m_pingAtom && m.window == root() && m.data.data32[4] == kPingMark) {
                    std::uint32_t seen = m_pingAnswered;
                    while (m.data.data32[3] > seen &&
                           !m_pingAnswered.compare_exchange_weak(seen, m.data.data32[3]))
                        ;
                }
            }
            at += size;
        }
    }
}

xcb_window_t Display::root() const
{
    return static_cast<xcb_screen_t *>(m_screen)->root;
}

std::pair<int, int> Display::screenSize() const
{
    const auto *s = static_cast<xcb_screen_t *>(m_screen);
    return {s->width_in_pixels, s->height_in_pixels};
}

void Display::checkPixelFormat(const void *setupPointer)
{
    const auto *setup = static_cast<const xcb_setup_t *>(setupPointer);
    const auto *screen = static_cast<xcb_screen_t *>(m_screen);
    // Pixels are compared as 0x00RRGGBB words, as a 24-bit true-colour screen stores them.
    bool thirtyTwo = false;
    for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem; xcb_format_next(&f)) {
        if (f.data->depth == screen->root_depth && f.data->bits_per_pixel == 32)
            thirtyTwo = true;
    }
    if (screen->root_depth != 24 || !thirtyTwo || setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST)
        throw Failure("the X server's screen is not 24-bit colour in 32-bit little-endian pixels");
}

std::uint32_t Display::atom(const char *name)
{
    auto reply = own(
        xcb_intern_atom_reply(m_c, xcb_intern_atom(m_c, 0, std::uint16_t(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

pid_t Display::pidOf(xcb_window_t w)
{
    auto reply = own(xcb_get_property_reply(
        m_c, xcb_get_property(m_c, 0, w, m_pidAtom, XCB_ATOM_CARDINAL, 0, 1), nullptr));
    if (!reply || xcb_get_property_value_length(reply.get()) != 4)
        return -1;
    return pid_t(*static_cast<std::uint32_t *>(xcb_get_property_value(reply.get())));
}

void Display::handle(xcb_generic_event_t *event)
{
    const pid_t pid = m_followed;
    switch (event->response_type & 0x7f) {
    case XCB_MAP_NOTIFY: {
        const xcb_window_t w = reinterpret_cast<xcb_map_notify_event_t *>(event)->window;
        if (pid > 0 && pidOf(w) == pid)
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
}

void Display::drainEvents(pid_t pid)
{
    if (pid > 0)
        m_followed = pid;
    while (xcb_generic_event_t *event = xcb_poll_for_event(m_c)) {
        handle(event);
        std::free(event);
    }
    if (xcb_connection_has_error(m_c))
        throw Failure("the connection to the X server broke");
}

const std::set<xcb_window_t> &Display::mappedOf(pid_t pid)
{
    drainEvents(pid);
    return m_mapped;
}

std::set<xcb_window_t> Display::mappedNow(pid_t pid)
{
    // A window manager's frame holds the program's window a level or two down.
    std::set<xcb_window_t> found;
    std::vector<std::pair<xcb_window_t, int>> pending{{root(), 0}};
    while (!pending.empty()) {
        const auto [parent, depth] = pending.back();
        pending.pop_back();
        auto tree = own(xcb_query_tree_reply(m_c, xcb_query_tree(m_c, parent), nullptr));
        if (!tree)
            continue;
        const xcb_window_t *children = xcb_query_tree_children(tree.get());
        for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
            const xcb_window_t w = children[i];
            auto attributes =
                own(xcb_get_window_attributes_reply(m_c, xcb_get_window_attributes(m_c, w), nullptr));
            if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE)
                continue;
            if (pidOf(w) == pid)
                found.insert(w);
            else if (depth < kFrameDepth)
                pending.emplace_back(w, depth + 1);
        }
    }
    return found;
}

xcb_window_t Display::waitForWindowOfSize(Program &program, int w, int h, milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        drainEvents(program.pid());
        for (xcb_window_t win : mappedNow(program.pid())) {
            m_mapped.insert(win);
            if (size(win) == std::pair<int, int>{w, h})
                return win;
        }
        if (!program.alive() || Clock::now() > deadline)
            return XCB_NONE;
        std::this_thread::sleep_for(milliseconds(20));
    }
}

std::pair<int, int> Display::size(xcb_window_t w)
{
    auto g = own(xcb_get_geometry_reply(m_c, xcb_get_geometry(m_c, w), nullptr));
    return g ? std::pair<int, int>{g->width, g->height} : std::pair<int, int>{0, 0};
}

bool Display::exists(xcb_window_t w)
{
    return own(xcb_get_geometry_reply(m_c, xcb_get_geometry(m_c, w), nullptr)) != nullptr;
}

std::pair<int, int> Display::origin(xcb_window_t w)
{
    auto t =
        own(xcb_translate_coordinates_reply(m_c, xcb_translate_coordinates(m_c, w, root(), 0, 0), nullptr));
    if (!t)
        throw Failure("the program's window is gone");
    return {t->dst_x, t->dst_y};
}

std::vector<std::uint8_t> Display::pixels(xcb_window_t w, Rect r)
{
    auto image =
        own(xcb_get_image_reply(m_c,
                                xcb_get_image(m_c, XCB_IMAGE_FORMAT_Z_PIXMAP, w, std::int16_t(r.x),
                                              std::int16_t(r.y), std::uint16_t(r.w), std::uint16_t(r.h), ~0u),
                                nullptr));
    if (!image)
        throw Failure("cannot read the program's window");
    const std::uint8_t *data = xcb_get_image_data(image.get());
    return std::vector<std::uint8_t>(data, data + xcb_get_image_data_length(image.get()));
}

std::string Display::describe(pid_t pid)
{
    std::ostringstream text;
    if (auto p = own(xcb_query_pointer_reply(m_c, xcb_query_pointer(m_c, root()), nullptr)))
        text << "pointer at " << p->root_x << "," << p->root_y << " over window 0x" << std::hex << p->child
             << std::dec << "\n";
    if (auto f = own(xcb_get_input_focus_reply(m_c, xcb_get_input_focus(m_c), nullptr)))
        text << "keyboard focus on window 0x" << std::hex << f->focus << std::dec << "\n";
    for (xcb_window_t w : mappedNow(pid)) {
        const auto [x, y] = origin(w);
        const auto [width, height] = size(w);
        text << "mapped window 0x" << std::hex << w << std::dec << " at " << x << "," << y << " " << width
             << "x" << height << "\n";
    }
    return text.str();
}

void Display::saveScreen(const std::string &path)
{
    const auto [w, h] = screenSize();
    const std::vector<std::uint8_t> words = pixels(root(), {0, 0, w, h});
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << w << " " << h << "\n255\n";
    for (std::size_t i = 0; i + 3 < words.size(); i += 4) {
        const char rgb[] = {char(words[i + 2]), char(words[i + 1]), char(words[i])};
        out.write(rgb, 3);
    }
    if (!out)
        throw Failure("cannot write " + path);
}

void Display::focus(xcb_window_t w)
{
    xcb_set_input_focus(m_c, XCB_INPUT_FOCUS_POINTER_ROOT, w, XCB_CURRENT_TIME);
    xcb_flush(m_c);
}

void Display::moveWindow(xcb_window_t w, int x, int y)
{
    const std::uint32_t values[] = {std::uint32_t(x), std::uint32_t(y)};
    xcb_configure_window(m_c, w, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, values);
    sync();
}

void Display::loadKeyboard()
{
    const xcb_setup_t *setup = xcb_get_setup(m_c);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    auto map = own(xcb_get_keyboard_mapping_reply(
        m_c, xcb_get_keyboard_mapping(m_c, setup->min_keycode, std::uint8_t(count)), nullptr));
    if (!map)
        throw Failure("cannot read the keyboard map");
    const xcb_keysym_t *syms = xcb_get_keyboard_mapping_keysyms(map.get());
    for (int k = 0; k < count; ++k) {
        const xcb_keysym_t sym = syms[std::ptrdiff_t(k) * map->keysyms_per_keycode];
        if (sym != 0 && !hasKey(sym))
            m_keycodes.emplace_back(sym, std::uint8_t(setup->min_keycode + k));
    }
}

bool Display::hasKey(std::uint32_t keysym) const
{
    for (const auto &[sym, code] : m_keycodes) {
        if (sym == keysym)
            return true;
    }
    return false;
}

std::uint8_t Display::keycode(std::uint32_t keysym) const
{
    for (const auto &[sym, code] : m_keycodes) {
        if (sym == keysym)
            return code;
    }
    throw Failure("the keyboard has no key for keysym " + std::to_string(keysym));
}

void Display::fake(std::uint8_t type, std::uint8_t detail)
{
    xcb_test_fake_input(m_c, type, detail, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
}

void Display::sync()
{
    own(xcb_get_input_focus_reply(m_c, xcb_get_input_focus(m_c), nullptr));
}

void Display::key(std::uint32_t keysym, bool shift)
{
    const std::uint8_t code = keycode(keysym);
    if (code == m_lastKey)
        std::this_thread::sleep_until(m_lastRelease + kSameKeyGap);
    if (shift)
        fake(XCB_KEY_PRESS, keycode(kShiftL));
    fake(XCB_KEY_PRESS, code);
    fake(XCB_KEY_RELEASE, code);
    if (shift)
        fake(XCB_KEY_RELEASE, keycode(kShiftL));
    // Once the server has stamped the release.
    sync();
    m_lastKey = code;
    m_lastRelease = Clock::now();
}

void Display::keyDown(std::uint32_t keysym)
{
    const std::uint8_t code = keycode(keysym);
    if (code == m_lastKey)
        std::this_thread::sleep_until(m_lastRelease + kSameKeyGap);
    fake(XCB_KEY_PRESS, code);
    sync();
}

void Display::keyUp(std::uint32_t keysym)
{
    const std::uint8_t code = keycode(keysym);
    fake(XCB_KEY_RELEASE, code);
    sync();
    m_lastKey = code;
    m_lastRelease = Clock::now();
}

void Display::movePointer(int x, int y)
{
    xcb_test_fake_input(m_c, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, root(), std::int16_t(x), std::int16_t(y),
                        0);
    sync();
}

void Display::button(int button, bool down)
{
    fake(down ? XCB_BUTTON_PRESS : XCB_BUTTON_RELEASE, std::uint8_t(button));
    sync();
}

bool Display::ping(xcb_window_t w, milliseconds timeout)
{
    const std::uint32_t token = ++m_pingToken;
    xcb_client_message_event_t m{};
    m.response_type = XCB_CLIENT_MESSAGE;
    m.format = 32;
    m.window = w;
    m.type = m_protocolsAtom;
    m.data.data32[0] = m_pingAtom;
    m.data.data32[1] = XCB_CURRENT_TIME;
    m.data.data32[2] = w;
    m.data.data32[3] = token; // echoed back with the rest of the message
    m.data.data32[4] = kPingMark;
    // An empty mask sends the message to the client that made the window.
    xcb_send_event(m_c, 0, w, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&m));
    xcb_flush(m_c);
    const auto deadline = Clock::now() + timeout;
    for (int round = 1;; ++round) {
        drainEvents(-1);
        if (m_pingAnswered >= token)
            return true;
        if (Clock::now() > deadline || (round % kPingRoundsPerLook == 0 && !exists(w)))
            return false;
        std::this_thread::sleep_for(kPingPoll);
    }
}

xcb_window_t Display::createWindow(Rect r)
{
    const auto *screen = static_cast<xcb_screen_t *>(m_screen);
    const xcb_window_t w = xcb_generate_id(m_c);
    const std::uint32_t values[] = {screen->white_pixel};
    xcb_create_window(m_c, XCB_COPY_FROM_PARENT, w, root(), std::int16_t(r.x), std::int16_t(r.y),
                      std::uint16_t(r.w), std::uint16_t(r.h), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      screen->root_visual, XCB_CW_BACK_PIXEL, values);
    const char title[] = "other window";
    xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, sizeof title - 1,
                        title);
    sync();
    return w;
}

void Display::mapWindow(xcb_window_t w, bool map)
{
    if (map)
        xcb_map_window(m_c, w);
    else
        xcb_unmap_window(m_c, w);
    sync();
}

void Display::activate(xcb_window_t w)
{
    xcb_client_message_event_t m{};
    m.response_type = XCB_CLIENT_MESSAGE;
    m.format = 32;
    m.window = w;
    m.type = m_activeAtom;
    m.data.data32[0] = 2; // from a pager: the request a window manager honours
    m.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(m_c, 0, root(), XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char *>(&m));
    // Without a window manager nobody answers that request.
    xcb_set_input_focus(m_c, XCB_INPUT_FOCUS_POINTER_ROOT, w, XCB_CURRENT_TIME);
    sync();
}

} // namespace xdrive
