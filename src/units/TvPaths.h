#pragma once

#include <string>

namespace tv {

// Full path of the running executable.
std::string ExecutablePath();

// Folder of the running executable, with a trailing "/".
std::string ExecutableDir();

// Folder that holds units.dat and prefix.dat for a program in exeDir: exeDir itself when
// units.dat is there, otherwise the installed data folder ../share/tenvari/ relative to it
// (falling back to exeDir when neither has the file). Always ends in "/".
std::string DataDir(const std::string& exeDir);

// Where the settings of the program at exePath live. The file is named after the executable,
// its extension replaced by ".ini" (a copy named tv2 uses tv2.ini). A program whose folder holds
// its own units.dat (a build, an unpacked copy) keeps it beside itself; an installed one, whose
// data lies in ../share/tenvari/, never writes its own folder (/usr is read-only by rule, and
// root could write it).
struct TSettingsFiles {
    // Read and written: beside the executable for a copy with its own units.dat in a writable
    // folder; otherwise $XDG_CONFIG_HOME/tenvari/<name>.ini (default ~/.config), whose folder is
    // created.
    std::string Path;
    // Read in place of Path while that does not exist, never written: for an installed program
    // the first tenvari/<name>.ini of $XDG_CONFIG_DIRS (default /etc/xdg) that exists, the
    // administrator's defaults; for a copy in a read-only folder the file beside it. Empty when
    // there is none.
    std::string Defaults;
};
TSettingsFiles SettingsFiles(const std::string& exePath);

// Folder of the user's own units.dat and prefix.dat: $XDG_DATA_HOME/tenvari/ (default
// ~/.local/share/tenvari/), ending in "/". It is not created here.
std::string UserDataDir();

// Folder of the program's state (the history): $XDG_STATE_HOME/tenvari/ (default
// ~/.local/state/tenvari/), ending in "/". It is not created here.
std::string UserStateDir();

} // namespace tv
