#include "units/TvPaths.h"

#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <string_view>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace tv {

namespace {

std::string WithSlash(std::string dir) {
    if (dir.empty()) {
        return "./";
    }
    if (dir.back() != '/') {
        dir += '/';
    }
    return dir;
}

bool IsFile(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

std::string HomeDir() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0') {
        return home;
    }
    if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_dir != nullptr) {
        return pw->pw_dir;
    }
    return ".";
}

// $variable, or ~/fallback when it is unset or relative (relative values are invalid in the XDG
// base directory rules and are ignored); ends in "/".
std::string XdgHome(const char* variable, const char* fallback) {
    const char* value = std::getenv(variable);
    return WithSlash((value != nullptr && value[0] == '/') ? std::string(value)
                                                           : HomeDir() + "/" + fallback);
}

// The folders of $XDG_CONFIG_DIRS in their order, each ending in "/"; /etc/xdg/ when the variable
// is unset or names no absolute folder.
std::vector<std::string> XdgConfigDirs() {
    std::vector<std::string> dirs;
    const char* value = std::getenv("XDG_CONFIG_DIRS");
    std::string_view rest = value != nullptr ? value : "";
    while (!rest.empty()) {
        const size_t colon = rest.find(':');
        const std::string_view dir = rest.substr(0, colon);
        if (!dir.empty() && dir[0] == '/') {
            dirs.push_back(WithSlash(std::string(dir)));
        }
        rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
    }
    if (dirs.empty()) {
        dirs.emplace_back("/etc/xdg/");
    }
    return dirs;
}

} // namespace

std::string ExecutablePath() {
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t len = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (len < 0) {
            return {};
        }
        if (static_cast<size_t>(len) < buffer.size()) {
            return std::string(buffer.data(), static_cast<size_t>(len));
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::string ExecutableDir() {
    const std::string path = ExecutablePath();
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "./" : path.substr(0, slash + 1);
}

std::string DataDir(const std::string& exeDir) {
    const std::string dir = WithSlash(exeDir);
    if (IsFile(dir + "units.dat")) {
        return dir;
    }
    const std::filesystem::path subdir(TENVARI_DATA_SUBDIR);
    // Programs are installed in <prefix>/bin and their data in <prefix>/<subdir>.
    const std::filesystem::path installed =
        subdir.is_absolute() ? subdir : std::filesystem::path(dir) / ".." / subdir;
    const std::string installedDir = WithSlash(installed.lexically_normal().string());
    if (IsFile(installedDir + "units.dat")) {
        return installedDir;
    }
    return dir;
}

TSettingsFiles SettingsFiles(const std::string& exePath) {
    const std::filesystem::path exe(exePath);
    std::string name = exe.filename().replace_extension(".ini").string();
    if (name == ".ini") {
        name = "tenvari.ini";
    }
    const std::string dir = WithSlash(exe.parent_path().string());
    const bool ownData = IsFile(dir + "units.dat");
    if (ownData && access(dir.c_str(), W_OK) == 0) {
        return {dir + name, {}};
    }
    const std::string folder = XdgHome("XDG_CONFIG_HOME", ".config") + "tenvari/";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ownData) {
        return {folder + name, dir + name};
    }
    for (const std::string& configDir : XdgConfigDirs()) {
        if (IsFile(configDir + "tenvari/" + name)) {
            return {folder + name, configDir + "tenvari/" + name};
        }
    }
    return {folder + name, {}};
}

std::string UserDataDir() {
    return XdgHome("XDG_DATA_HOME", ".local/share") + "tenvari/";
}

std::string UserStateDir() {
    return XdgHome("XDG_STATE_HOME", ".local/state") + "tenvari/";
}

} // namespace tv
