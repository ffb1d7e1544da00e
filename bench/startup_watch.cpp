// Starts a program on the X display and measures the time from its exec to its first drawn frame:
// the first change to the contents of one of its top-level windows after that window is mapped,
// as the X server's DAMAGE extension reports it. Every top-level window created on the display
// from then on is watched, but for the window manager's frames, so the program's own windows need
// no name. After the frame, it waits
// for the program to settle, reads its resident set size, and ends it.
//
//   startup_watch [--settle MS] [--timeout MS] [--verbose 1] PROGRAM [ARGS...]
//
// With --verbose 1 every event it acts on goes to standard error with its time.
//
// Prints one line: "frame_us N mapped_us N rss_kib N" (the frame and the mapping in microseconds
// after exec, the resident set size in KiB). Exits 1 when no frame came before the timeout or the
// program ended first.
#include <xcb/damage.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

struct Watched {
    xcb_damage_damage_t damage = 0;
    bool mapped = false;
};

long Micros(Clock::time_point from, Clock::time_point to) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::microseconds>(to - from).count());
}

std::optional<long> ResidentKib(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::strtol(line.c_str() + 6, nullptr, 10);
        }
    }
    return std::nullopt;
}

void EndChild(pid_t pid) {
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
}

} // namespace

int main(int argc, char** argv) {
    long settleMs = 1000;
    long timeoutMs = 30000;
    bool verbose = false;
    int first = 1;
    while (first + 1 < argc && argv[first][0] == '-' && argv[first][1] == '-') {
        if (std::strcmp(argv[first], "--settle") == 0) {
            settleMs = std::strtol(argv[first + 1], nullptr, 10);
        } else if (std::strcmp(argv[first], "--timeout") == 0) {
            timeoutMs = std::strtol(argv[first + 1], nullptr, 10);
        } else if (std::strcmp(argv[first], "--verbose") == 0) {
            verbose = std::strcmp(argv[first + 1], "0") != 0;
        } else {
            break;
        }
        first += 2;
    }
    if (first >= argc) {
        std::fprintf(stderr,
                     "usage: startup_watch [--settle MS] [--timeout MS] [--verbose 1] PROGRAM "
                     "[ARGS...]\n");
        return 2;
    }

    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection)) {
        std::fprintf(stderr, "startup_watch: cannot open the display\n");
        return 2;
    }
    const xcb_query_extension_reply_t* damageExtension =
        xcb_get_extension_data(connection, &xcb_damage_id);
    if (damageExtension == nullptr || !damageExtension->present) {
        std::fprintf(stderr, "startup_watch: the display has no DAMAGE extension\n");
        return 2;
    }
    std::free(xcb_damage_query_version_reply(connection, xcb_damage_query_version(connection, 1, 1),
                                             nullptr));
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber; ++i) {
        xcb_screen_next(&screens);
    }
    const xcb_window_t root = screens.data->root;
    // The window manager's frames are top-level windows too; they are told apart by the part of
    // their ids that names the client that made them, read from the window manager's own window.
    const uint32_t clientMask = ~xcb_get_setup(connection)->resource_id_mask;
    std::optional<uint32_t> managerClient;
    {
        const char* name = "_NET_SUPPORTING_WM_CHECK";
        auto* atom = xcb_intern_atom_reply(
            connection,
            xcb_intern_atom(connection, 1, static_cast<uint16_t>(std::strlen(name)), name),
            nullptr);
        if (atom != nullptr && atom->atom != XCB_ATOM_NONE) {
            auto* property = xcb_get_property_reply(
                connection,
                xcb_get_property(connection, 0, root, atom->atom, XCB_ATOM_WINDOW, 0, 1), nullptr);
            if (property != nullptr && xcb_get_property_value_length(property) == 4) {
                managerClient =
                    *static_cast<const uint32_t*>(xcb_get_property_value(property)) & clientMask;
            }
            std::free(property);
        }
        std::free(atom);
    }
    const uint32_t rootMask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection, root, XCB_CW_EVENT_MASK, &rootMask);
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));

    const Clock::time_point start = Clock::now();
    const pid_t child = fork();
    if (child < 0) {
        std::perror("startup_watch: fork");
        return 2;
    }
    if (child == 0) {
        close(xcb_get_file_descriptor(connection));
        execvp(argv[first], argv + first);
        std::perror("startup_watch: exec");
        _exit(127);
    }

    std::map<xcb_window_t, Watched> windows;
    const auto watch = [&](xcb_window_t window) {
        const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_change_window_attributes(connection, window, XCB_CW_EVENT_MASK, &mask);
        Watched watched;
        watched.damage = xcb_generate_id(connection);
        xcb_damage_create(connection, watched.damage, window, XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);
        // A window mapped before the mask took effect sent its MapNotify to no one.
        auto* attributes = xcb_get_window_attributes_reply(
            connection, xcb_get_window_attributes(connection, window), nullptr);
        watched.mapped = attributes != nullptr && attributes->map_state != XCB_MAP_STATE_UNMAPPED;
        std::free(attributes);
        windows[window] = watched;
    };

    const Clock::time_point deadline = start + std::chrono::milliseconds(timeoutMs);
    std::optional<Clock::time_point> mapped;
    std::optional<Clock::time_point> frame;
    const uint8_t damageNotify = damageExtension->first_event + XCB_DAMAGE_NOTIFY;
    while (!frame) {
        xcb_flush(connection);
        std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> event(
            xcb_poll_for_event(connection), &std::free);
        if (!event) {
            if (xcb_connection_has_error(connection)) {
                std::fprintf(stderr, "startup_watch: lost the display\n");
                EndChild(child);
                return 1;
            }
            int status = 0;
            if (waitpid(child, &status, WNOHANG) == child) {
                std::fprintf(stderr, "startup_watch: the program ended before its first frame\n");
                return 1;
            }
            const long left = Micros(Clock::now(), deadline) / 1000;
            if (left <= 0) {
                std::fprintf(stderr, "startup_watch: no frame within %ld ms\n", timeoutMs);
                EndChild(child);
                return 1;
            }
            pollfd fd{xcb_get_file_descriptor(connection), POLLIN, 0};
            poll(&fd, 1, static_cast<int>(std::min(left, 50L)));
            continue;
        }
        const Clock::time_point now = Clock::now();
        const uint8_t type = event->response_type & 0x7F;
        if (type == XCB_CREATE_NOTIFY) {
            const auto* created = reinterpret_cast<xcb_create_notify_event_t*>(event.get());
            if (created->parent == root && !created->override_redirect &&
                (created->window & clientMask) != managerClient) {
                watch(created->window);
                if (verbose) {
                    std::fprintf(stderr, "%8ld us  created 0x%x %ux%u\n", Micros(start, now),
                                 created->window, created->width, created->height);
                }
            }
        } else if (type == XCB_MAP_NOTIFY) {
            const auto* shown = reinterpret_cast<xcb_map_notify_event_t*>(event.get());
            if (auto found = windows.find(shown->window);
                found != windows.end() && shown->event == shown->window) {
                found->second.mapped = true;
                if (!mapped) {
                    mapped = now;
                }
                if (verbose) {
                    std::fprintf(stderr, "%8ld us  mapped 0x%x\n", Micros(start, now),
                                 shown->window);
                }
            }
        } else if (type == damageNotify) {
            const auto* damaged = reinterpret_cast<xcb_damage_notify_event_t*>(event.get());
            if (auto found = windows.find(damaged->drawable); found != windows.end()) {
                if (verbose) {
                    std::fprintf(stderr, "%8ld us  damage 0x%x %ux%u+%d+%d of %ux%u%s\n",
                                 Micros(start, now), damaged->drawable, damaged->area.width,
                                 damaged->area.height, damaged->area.x, damaged->area.y,
                                 damaged->geometry.width, damaged->geometry.height,
                                 found->second.mapped ? "" : " (not mapped)");
                }
                if (found->second.mapped) {
                    frame = now;
                } else {
                    // Reported once until repaired: repairing asks for the next change.
                    xcb_damage_subtract(connection, damaged->damage, XCB_NONE, XCB_NONE);
                }
            }
        }
    }

    const Clock::time_point settled = *frame + std::chrono::milliseconds(settleMs);
    while (Clock::now() < settled) {
        std::this_thread::sleep_for(settled - Clock::now());
    }
    const std::optional<long> rss = ResidentKib(child);
    EndChild(child);
    std::printf("frame_us %ld mapped_us %ld rss_kib %ld\n", Micros(start, *frame),
                mapped ? Micros(start, *mapped) : -1L, rss.value_or(-1L));
    return 0;
}
