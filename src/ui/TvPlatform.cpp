#include "ui/TvPlatform.h"

#include <cstring>

namespace tv {

std::optional<std::string> ChoosePlatform(const std::function<const char*(const char*)>& getenv) {
    const auto isSet = [&getenv](const char* name) {
        const char* value = getenv(name);
        return value != nullptr && value[0] != '\0';
    };
    if (isSet("QT_QPA_PLATFORM")) {
        return std::nullopt;
    }
    const char* session = getenv("XDG_SESSION_TYPE");
    const bool wayland =
        isSet("WAYLAND_DISPLAY") || (session != nullptr && std::strcmp(session, "wayland") == 0);
    if (wayland && isSet("DISPLAY")) {
        return "xcb";
    }
    return std::nullopt;
}

} // namespace tv
