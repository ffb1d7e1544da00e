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
// its extension replaced by ".ini" (a copy named tv2 uses tv2.ini).
struct TSettingsFiles {
    // Read and written: beside the executable when its folder is writable, otherwise
    // $XDG_CONFIG_HOME/tenvari/<name>.ini (default ~/.config), whose folder is created.
    std::string Path;
    // Read in place of Path while that does not exist: the file beside the executable, when the
    // user's own file is used; empty otherwise.
    std::string Defaults;
};
TSettingsFiles SettingsFiles(const std::string& exePath);

// Folder of the user's own units.dat and prefix.dat: $XDG_DATA_HOME/tenvari/ (default
// ~/.local/share/tenvari/), ending in "/". It is not created here.
std::string UserDataDir();

} // namespace tv
