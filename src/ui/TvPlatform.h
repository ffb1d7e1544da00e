#pragma once

#include <functional>
#include <optional>
#include <string>

namespace tv {

// The Qt platform plugin the program asks for, decided from the environment (getenv answers a
// variable's value or nullptr) before the application object exists. In a Wayland session that
// offers XWayland it is "xcb": Wayland lets no client place its own windows or keep them above
// others, which the start-up position, centring and the top-most display need. Nothing when the
// user chose a platform with QT_QPA_PLATFORM, outside Wayland, and in a Wayland session without
// XWayland, where only Qt's own choice can start at all.
std::optional<std::string> ChoosePlatform(const std::function<const char*(const char*)>& getenv);

} // namespace tv
