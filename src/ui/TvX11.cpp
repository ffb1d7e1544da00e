#include "ui/TvX11.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>
#include <xcb/xcb.h>

namespace tv::x11 {

namespace {

xcb_connection_t* Connection() {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        return nullptr;
    }
    const auto* app = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return app != nullptr ? app->connection() : nullptr;
}

xcb_atom_t Atom(xcb_connection_t* connection, const char* name) {
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t atom = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

xcb_window_t RootOf(xcb_connection_t* connection, xcb_window_t window) {
    xcb_query_tree_reply_t* tree =
        xcb_query_tree_reply(connection, xcb_query_tree(connection, window), nullptr);
    const xcb_window_t root = tree != nullptr ? tree->root : xcb_window_t{XCB_WINDOW_NONE};
    std::free(tree);
    return root;
}

// The 32-bit values of a property, or nothing when the window lacks it.
std::optional<std::vector<uint32_t>> Cardinals(xcb_connection_t* connection, xcb_window_t window,
                                               xcb_atom_t property, xcb_atom_t type) {
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, property, type, 0, 64), nullptr);
    std::optional<std::vector<uint32_t>> values;
    if (reply != nullptr && reply->type == type && reply->format == 32) {
        const auto* data = static_cast<const uint32_t*>(xcb_get_property_value(reply));
        values.emplace(data, data + xcb_get_property_value_length(reply) / 4);
    }
    std::free(reply);
    return values;
}

bool Supported(xcb_connection_t* connection, xcb_window_t root, xcb_atom_t atom) {
    const auto supported =
        Cardinals(connection, root, Atom(connection, "_NET_SUPPORTED"), XCB_ATOM_ATOM);
    return supported && std::find(supported->begin(), supported->end(), atom) != supported->end();
}

} // namespace

bool Active() {
    return Connection() != nullptr;
}

std::optional<QMargins> FrameExtents(QWidget* window) {
    xcb_connection_t* connection = Connection();
    if (connection == nullptr || window == nullptr) {
        return std::nullopt;
    }
    window->winId();
    // The platform window's id: it is the one mapped, should Qt have replaced the native window.
    const auto id = static_cast<xcb_window_t>(window->windowHandle()->winId());
    const xcb_atom_t extents = Atom(connection, "_NET_FRAME_EXTENTS");
    const auto read = [&]() -> std::optional<QMargins> {
        const auto values = Cardinals(connection, id, extents, XCB_ATOM_CARDINAL);
        if (!values || values->size() != 4) {
            return std::nullopt;
        }
        // _NET_FRAME_EXTENTS is left, right, top, bottom.
        const auto& v = *values;
        return QMargins(static_cast<int>(v[0]), static_cast<int>(v[2]), static_cast<int>(v[1]),
                        static_cast<int>(v[3]));
    };
    if (window->windowHandle() != nullptr && window->windowHandle()->isVisible()) {
        return read();
    }
    const xcb_window_t root = RootOf(connection, id);
    const xcb_atom_t request = Atom(connection, "_NET_REQUEST_FRAME_EXTENTS");
    if (root == XCB_WINDOW_NONE || !Supported(connection, root, request)) {
        return std::nullopt;
    }
    // A stale value from an earlier mapping would answer before the window manager does.
    xcb_delete_property(connection, id, extents);
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = id;
    message.type = request;
    xcb_send_event(connection, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(connection);
    // The window manager answers at once when it is alive; a hung one must not hang the start.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
    do {
        if (const auto margins = read()) {
            return margins;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    } while (std::chrono::steady_clock::now() < deadline);
    return std::nullopt;
}

bool SetAbove(QWindow* window, bool on) {
    xcb_connection_t* connection = Connection();
    if (connection == nullptr || window == nullptr || window->handle() == nullptr) {
        return false;
    }
    const auto id = static_cast<xcb_window_t>(window->winId());
    const xcb_window_t root = RootOf(connection, id);
    const xcb_atom_t above = Atom(connection, "_NET_WM_STATE_ABOVE");
    if (root == XCB_WINDOW_NONE || !Supported(connection, root, above)) {
        return false;
    }
    constexpr uint32_t kRemove = 0;
    constexpr uint32_t kAdd = 1;
    constexpr uint32_t kFromApplication = 1;
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = id;
    message.type = Atom(connection, "_NET_WM_STATE");
    message.data.data32[0] = on ? kAdd : kRemove;
    message.data.data32[1] = above;
    message.data.data32[2] = XCB_ATOM_NONE;
    message.data.data32[3] = kFromApplication;
    xcb_send_event(connection, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(connection);
    return true;
}

void SetTitleBarOnly(QWindow* window) {
    xcb_connection_t* connection = Connection();
    if (connection == nullptr || window == nullptr || window->handle() == nullptr) {
        return;
    }
    constexpr uint32_t kFunctionsAndDecorations = 1 | 2;
    constexpr uint32_t kMove = 4;
    constexpr uint32_t kClose = 32;
    constexpr uint32_t kBorderAndTitle = 2 | 8;
    const uint32_t hints[5] = {kFunctionsAndDecorations, kMove | kClose, kBorderAndTitle, 0, 0};
    const xcb_atom_t atom = Atom(connection, "_MOTIF_WM_HINTS");
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE,
                        static_cast<xcb_window_t>(window->winId()), atom, atom, 32, 5, hints);
    xcb_flush(connection);
}

} // namespace tv::x11
