#pragma once

#include <string>

namespace tv {

// Folder of the running executable, with a trailing "/".
std::string ExecutableDir();

// Folder that holds units.dat and prefix.dat for a program in exeDir: exeDir itself when
// units.dat is there, otherwise the installed data folder ../share/tenvari/ relative to it
// (falling back to exeDir when neither has the file). Always ends in "/".
std::string DataDir(const std::string& exeDir);

// Path of the settings file: exeDir + "tenvari.ini" when exeDir is writable, otherwise
// $XDG_CONFIG_HOME/tenvari/tenvari.ini (default ~/.config/tenvari/tenvari.ini).
std::string SettingsPath(const std::string& exeDir);

// Folder of the user's own units.dat and prefix.dat: $XDG_DATA_HOME/tenvari/ (default
// ~/.local/share/tenvari/), ending in "/". It is not created here.
std::string UserDataDir();

} // namespace tv
