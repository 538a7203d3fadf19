#include "toolkit/application/systemmove.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

#include <xcb/xcb.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <span>

namespace tk {

namespace {

// The direction and source fields of _NET_WM_MOVERESIZE (Extended Window Manager Hints).
constexpr uint32_t kMoveResizeMove = 8;
constexpr uint32_t kMoveResizeCancel = 11;
constexpr uint32_t kSourceApplication = 1;

template <class Reply> using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

xcb_atom_t existingAtom(xcb_connection_t *connection, const char *name, uint16_t length)
{
    const ReplyPtr<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, true, length, name), nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

bool windowManagerMoves(xcb_connection_t *connection, xcb_window_t root, xcb_atom_t moveResize)
{
    static constexpr char kSupported[] = "_NET_SUPPORTED";
    const xcb_atom_t supported = existingAtom(connection, kSupported, sizeof kSupported - 1);
    if (supported == XCB_ATOM_NONE)
        return false;
    const ReplyPtr<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(connection,
                               xcb_get_property(connection, false, root, supported, XCB_ATOM_ATOM, 0, 4096),
                               nullptr),
        &std::free);
    if (!reply || reply->format != 32)
        return false;
    const std::span atoms(static_cast<const xcb_atom_t *>(xcb_get_property_value(reply.get())),
                          size_t(xcb_get_property_value_length(reply.get())) / sizeof(xcb_atom_t));
    return std::find(atoms.begin(), atoms.end(), moveResize) != atoms.end();
}

xcb_atom_t moveResizeAtom(xcb_connection_t *connection)
{
    static constexpr char kMoveResize[] = "_NET_WM_MOVERESIZE";
    return existingAtom(connection, kMoveResize, sizeof kMoveResize - 1);
}

ReplyPtr<xcb_get_geometry_reply_t> geometryOf(xcb_connection_t *connection, xcb_window_t id)
{
    return {xcb_get_geometry_reply(connection, xcb_get_geometry(connection, id), nullptr), &std::free};
}

void sendMoveResize(xcb_connection_t *connection, xcb_window_t root, xcb_window_t id, xcb_atom_t moveResize,
                    const std::array<uint32_t, 5> &data)
{
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = id;
    message.type = moveResize;
    std::copy(data.begin(), data.end(), message.data.data32);
    xcb_send_event(connection, false, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char *>(&message));
    xcb_flush(connection);
}

xcb_connection_t *x11Connection()
{
    const auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

// Qt's own request anchors the move where the pointer was last seen in the window, mapped through the
// window's position as Qt believes it: both wrong by the time a drag has crossed its threshold, the
// latter wherever the window manager failed to report where it put the window.
bool startX11Move(xcb_connection_t *connection, QWindow *window, QPointF pressGlobal)
{
    const xcb_atom_t moveResize = moveResizeAtom(connection);
    const auto id = xcb_window_t(window->winId());
    const auto geometry = geometryOf(connection, id);
    if (moveResize == XCB_ATOM_NONE || !geometry ||
        !windowManagerMoves(connection, geometry->root, moveResize))
        return false;
    const QScreen *screen = window->screen();
    const QPoint anchor = nativeScreenPoint(pressGlobal, screen ? screen->geometry().topLeft() : QPoint(),
                                            screen ? screen->devicePixelRatio() : 1.0);
    // The window manager takes the pointer over; it cannot while the press holds it for us.
    xcb_ungrab_pointer(connection, XCB_CURRENT_TIME);
    sendMoveResize(connection, geometry->root, id, moveResize,
                   {uint32_t(anchor.x()), uint32_t(anchor.y()), kMoveResizeMove, XCB_BUTTON_INDEX_1,
                    kSourceApplication});
    return true;
}

} // namespace

QPoint nativeScreenPoint(QPointF global, QPoint origin, qreal ratio)
{
    const QPointF native = (global - QPointF(origin)) * ratio + QPointF(origin);
    return {int(std::lround(native.x())), int(std::lround(native.y()))};
}

bool startSystemMoveFrom(QWindow *window, QPointF pressGlobal)
{
    if (!window)
        return false;
    if (xcb_connection_t *connection = x11Connection())
        return startX11Move(connection, window, pressGlobal);
    // A Wayland compositor is told which press the move belongs to, and the pointer is its own.
    return window->startSystemMove();
}

void cancelSystemMove(QWindow *window)
{
    xcb_connection_t *connection = window ? x11Connection() : nullptr;
    if (!connection)
        return;
    const xcb_atom_t moveResize = moveResizeAtom(connection);
    const auto id = xcb_window_t(window->winId());
    if (const auto geometry = geometryOf(connection, id); geometry && moveResize != XCB_ATOM_NONE)
        sendMoveResize(connection, geometry->root, id, moveResize,
                       {0, 0, kMoveResizeCancel, 0, kSourceApplication});
}

} // namespace tk
