#include "units/TvPaths.h"

#include <cstdlib>
#include <filesystem>
#include <pwd.h>
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
    const std::string beside = dir + name;
    if (access(dir.c_str(), W_OK) == 0) {
        return {beside, {}};
    }
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    // Relative values are invalid for XDG_CONFIG_HOME and are ignored.
    const std::string configHome =
        (xdg != nullptr && xdg[0] == '/') ? std::string(xdg) : HomeDir() + "/.config";
    const std::string folder = WithSlash(configHome) + "tenvari/";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return {folder + name, beside};
}

std::string UserDataDir() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    // Relative values are invalid for XDG_DATA_HOME and are ignored.
    const std::string dataHome =
        (xdg != nullptr && xdg[0] == '/') ? std::string(xdg) : HomeDir() + "/.local/share";
    return WithSlash(dataHome) + "tenvari/";
}

} // namespace tv
