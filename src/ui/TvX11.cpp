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
#include <utility>
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

void SendToRoot(xcb_connection_t* connection, xcb_window_t root,
                const xcb_client_message_event_t& message, uint32_t mask) {
    xcb_send_event(connection, 0, root, mask, reinterpret_cast<const char*>(&message));
}

// The window that holds a Qt window's _NET_WM_USER_TIME: its _NET_WM_USER_TIME_WINDOW, if set.
xcb_window_t UserTimeWindow(xcb_connection_t* connection, xcb_window_t window) {
    const auto target = Cardinals(connection, window, Atom(connection, "_NET_WM_USER_TIME_WINDOW"),
                                  XCB_ATOM_WINDOW);
    return target && !target->empty() ? target->front() : window;
}

// Sends "remove: ID=..." of the startup-notification protocol: 20-byte pieces, the first as
// _NET_STARTUP_INFO_BEGIN, the others as _NET_STARTUP_INFO, the text ended by a zero byte.
void EndStartup(xcb_connection_t* connection, xcb_window_t root, xcb_window_t window,
                const QByteArray& startupId) {
    QByteArray text = "remove: ID=";
    for (const char c : startupId) {
        if (c == ' ' || c == '"' || c == '\\') {
            text += '\\';
        }
        text += c;
    }
    text += '\0';
    const xcb_atom_t begin = Atom(connection, "_NET_STARTUP_INFO_BEGIN");
    const xcb_atom_t more = Atom(connection, "_NET_STARTUP_INFO");
    for (qsizetype at = 0; at < text.size(); at += 20) {
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 8;
        message.window = window;
        message.type = at == 0 ? begin : more;
        std::memcpy(message.data.data8, text.constData() + at,
                    static_cast<size_t>(std::min<qsizetype>(20, text.size() - at)));
        SendToRoot(connection, root, message, XCB_EVENT_MASK_PROPERTY_CHANGE);
    }
}

} // namespace

std::optional<bool> IsActiveWindow(QWidget* window) {
    xcb_connection_t* connection = Connection();
    if (connection == nullptr || window == nullptr || window->windowHandle() == nullptr) {
        return std::nullopt;
    }
    const auto id = static_cast<xcb_window_t>(window->windowHandle()->winId());
    const xcb_window_t root = RootOf(connection, id);
    if (root == XCB_WINDOW_NONE) {
        return std::nullopt;
    }
    const auto active =
        Cardinals(connection, root, Atom(connection, "_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW);
    if (!active || active->empty()) {
        return std::nullopt;
    }
    return active->front() == id;
}

uint32_t ServerTime() {
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    uint32_t time = 0;
    if (xcb_connection_has_error(connection) == 0) {
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
        const xcb_window_t window = xcb_generate_id(connection);
        const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_create_window(connection, 0, window, screen->root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK,
                          &mask);
        // Appending nothing changes no value but still stamps a notification with the time.
        xcb_change_property(connection, XCB_PROP_MODE_APPEND, window, XCB_ATOM_WM_NAME,
                            XCB_ATOM_STRING, 8, 0, nullptr);
        xcb_flush(connection);
        while (xcb_generic_event_t* event = xcb_wait_for_event(connection)) {
            const bool notified = (event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY;
            if (notified) {
                time = reinterpret_cast<xcb_property_notify_event_t*>(event)->time;
            }
            std::free(event);
            if (notified) {
                break;
            }
        }
    }
    xcb_disconnect(connection);
    return time;
}

bool ActivateWindow(QWidget* window, const QByteArray& startupId, uint32_t time) {
    xcb_connection_t* connection = Connection();
    if (connection == nullptr || window == nullptr || window->windowHandle() == nullptr ||
        !window->windowHandle()->isExposed()) {
        return false;
    }
    const auto id = static_cast<xcb_window_t>(window->windowHandle()->winId());
    const xcb_window_t root = RootOf(connection, id);
    if (root == XCB_WINDOW_NONE) {
        return false;
    }
    if (time == 0) {
        time = ServerTime();
    }
    if (!startupId.isEmpty()) {
        const xcb_atom_t utf8 = Atom(connection, "UTF8_STRING");
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id,
                            Atom(connection, "_NET_STARTUP_ID"), utf8, 8,
                            static_cast<uint32_t>(startupId.size()), startupId.constData());
    }
    if (time != 0) {
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, UserTimeWindow(connection, id),
                            Atom(connection, "_NET_WM_USER_TIME"), XCB_ATOM_CARDINAL, 32, 1, &time);
    }
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = id;
    message.type = Atom(connection, "_NET_ACTIVE_WINDOW");
    constexpr uint32_t kFromApplication = 1;
    message.data.data32[0] = kFromApplication;
    message.data.data32[1] = time;
    SendToRoot(connection, root, message,
               XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY);
    if (!startupId.isEmpty()) {
        EndStartup(connection, root, id, startupId);
    }
    xcb_flush(connection);
    return true;
}

bool Active() {
    return Connection() != nullptr;
}

namespace {

// The window manager answers at once when it is alive; a hung one must not hang the start.
constexpr std::chrono::milliseconds kFrameAnswerWait{300};

// The platform window's id: it is the one mapped, should Qt have replaced the native window.
xcb_window_t PlatformId(QWidget* window) {
    window->winId();
    return static_cast<xcb_window_t>(window->windowHandle()->winId());
}

// Windows asked for their frame and not yet read, with the time the answer is waited for.
std::vector<std::pair<xcb_window_t, std::chrono::steady_clock::time_point>>& Requests() {
    static std::vector<std::pair<xcb_window_t, std::chrono::steady_clock::time_point>> requests;
    return requests;
}

// Sends _NET_REQUEST_FRAME_EXTENTS; false when the window manager does not support it.
bool SendFrameRequest(xcb_connection_t* connection, xcb_window_t id) {
    const xcb_window_t root = RootOf(connection, id);
    const xcb_atom_t request = Atom(connection, "_NET_REQUEST_FRAME_EXTENTS");
    if (root == XCB_WINDOW_NONE || !Supported(connection, root, request)) {
        return false;
    }
    // A stale value from an earlier mapping would answer before the window manager does.
    xcb_delete_property(connection, id, Atom(connection, "_NET_FRAME_EXTENTS"));
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = id;
    message.type = request;
    xcb_send_event(connection, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(connection);
    return true;
}

} // namespace

std::optional<QMargins> FrameExtents(QWidget* window) {
    xcb_connection_t* connection = Connection();
    if (connection == nullptr || window == nullptr) {
        return std::nullopt;
    }
    const xcb_window_t id = PlatformId(window);
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
    auto& requests = Requests();
    const auto asked = std::find_if(requests.begin(), requests.end(),
                                    [id](const auto& request) { return request.first == id; });
    std::chrono::steady_clock::time_point deadline;
    if (asked != requests.end()) {
        deadline = asked->second;
        requests.erase(asked);
        // Requests for native windows that Qt replaced before they were read are answered by now.
        const auto now = std::chrono::steady_clock::now();
        std::erase_if(requests, [now](const auto& request) { return request.second < now; });
    } else if (window->windowHandle()->isVisible()) {
        return read();
    } else if (SendFrameRequest(connection, id)) {
        deadline = std::chrono::steady_clock::now() + kFrameAnswerWait;
    } else {
        return std::nullopt;
    }
    for (;;) {
        if (const auto margins = read()) {
            return margins;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return std::nullopt;
        }
        // Each read is a round trip to the server, which takes the answer's time anyway.
        std::this_thread::sleep_for(std::chrono::microseconds(250));
    }
}

void RequestFrameExtents(QWidget* window) {
    xcb_connection_t* connection = Connection();
    if (connection == nullptr || window == nullptr) {
        return;
    }
    const xcb_window_t id = PlatformId(window);
    auto& requests = Requests();
    if (std::any_of(requests.begin(), requests.end(),
                    [id](const auto& request) { return request.first == id; })) {
        return;
    }
    if (!window->windowHandle()->isVisible() && SendFrameRequest(connection, id)) {
        requests.emplace_back(id, std::chrono::steady_clock::now() + kFrameAnswerWait);
    }
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
