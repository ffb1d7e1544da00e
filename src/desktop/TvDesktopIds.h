#pragma once

// The names under which Tenvari meets the desktop: its application id (desktop entry, icon,
// session-bus name), and the bus names and object paths of the program and of the search
// provider.
namespace tv::desktop {

inline constexpr char kAppId[] = "io.github.tenvari.Tenvari";
inline constexpr char kAppPath[] = "/io/github/tenvari/Tenvari";
inline constexpr char kApplicationInterface[] = "org.freedesktop.Application";

inline constexpr char kProviderBusName[] = "io.github.tenvari.Tenvari.SearchProvider";
inline constexpr char kProviderPath[] = "/io/github/tenvari/Tenvari/SearchProvider";
inline constexpr char kSearchProviderInterface[] = "org.gnome.Shell.SearchProvider2";
inline constexpr char kRunnerPath[] = "/runner";
inline constexpr char kRunnerInterface[] = "org.kde.krunner1";

// The actions of org.freedesktop.Application's ActivateAction. "query" and "search" take one
// string: a query to show converted, or the terms for the unit search.
inline constexpr char kActionToggle[] = "toggle";
inline constexpr char kActionQuery[] = "query";
inline constexpr char kActionSearch[] = "search";

// Set and not empty: the program neither claims its bus name nor forwards to a running copy.
// For tests that run several copies side by side on one session bus.
inline constexpr char kNoBusVariable[] = "TENVARI_NO_DBUS";

} // namespace tv::desktop
