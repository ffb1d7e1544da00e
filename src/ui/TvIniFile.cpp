#include "ui/TvIniFile.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace tv {

namespace {

// Blanks are every control character and the space, as the trimming of hand-edited lines needs.
bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

std::string Trim(const std::string& text) {
    size_t first = 0;
    size_t last = text.size();
    while (first < last && IsBlank(text[first])) {
        ++first;
    }
    while (last > first && IsBlank(text[last - 1])) {
        --last;
    }
    return text.substr(first, last - first);
}

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'A' && x <= 'Z') {
            x = static_cast<char>(x - 'A' + 'a');
        }
        if (y >= 'A' && y <= 'Z') {
            y = static_cast<char>(y - 'A' + 'a');
        }
        if (x != y) {
            return false;
        }
    }
    return true;
}

int DigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Reads "[+|-]decimal", "0x"hex or "$"hex; false for anything else or a value outside int.
bool ParseInteger(const std::string& text, int& result) {
    size_t pos = 0;
    int base = 10;
    bool negative = false;
    if (text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0) {
        base = 16;
        pos = 2;
    } else if (text.rfind('$', 0) == 0) {
        base = 16;
        pos = 1;
    } else if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        pos = 1;
    }
    if (pos == text.size()) {
        return false;
    }
    // Accumulated as a magnitude so that INT_MIN is reachable and overflow is caught early.
    const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    long long magnitude = 0;
    for (; pos < text.size(); ++pos) {
        const int digit = DigitValue(text[pos]);
        if (digit < 0 || digit >= base) {
            return false;
        }
        magnitude = magnitude * base + digit;
        if (magnitude > limit) {
            return false;
        }
    }
    result = static_cast<int>(negative ? -magnitude : magnitude);
    return true;
}

std::string SaveError(const std::string& path, int error) {
    return "設定ファイル " + path + " を保存できません (" + std::strerror(error) + ")";
}

// The file the save replaces: the target of a symbolic link rather than the link itself.
std::string SaveTarget(const std::string& path) {
    std::error_code ec;
    if (std::filesystem::is_symlink(path, ec)) {
        const std::filesystem::path target = std::filesystem::canonical(path, ec);
        if (!ec) {
            return target.string();
        }
    }
    return path;
}

bool WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

} // namespace

TIniFile::TIniFile(std::string path, const std::string& defaults) : path_(std::move(path)) {
    std::error_code ec;
    const bool useDefaults = !defaults.empty() && !std::filesystem::exists(path_, ec) && !ec;
    std::ifstream in(useDefaults ? defaults : path_, std::ios::binary);
    std::string line;
    Section* current = nullptr;
    bool firstLine = true;
    while (std::getline(in, line)) {
        if (firstLine && line.rfind("\xEF\xBB\xBF", 0) == 0) {
            line.erase(0, 3);
        }
        firstLine = false;
        line = Trim(line);
        if (line.empty() || line[0] == ';') {
            continue;
        }
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            const std::string name = Trim(line.substr(1, line.size() - 2));
            // A section named twice is one section: its later lines join the first.
            current = FindSection(name);
            if (current == nullptr) {
                sections_.push_back(Section{name, {}});
                current = &sections_.back();
            }
            continue;
        }
        if (current == nullptr) {
            continue;
        }
        const size_t equals = line.find('=');
        if (equals == std::string::npos) {
            current->Entries.push_back(Entry{line, {}, false});
        } else {
            current->Entries.push_back(
                Entry{Trim(line.substr(0, equals)), Trim(line.substr(equals + 1)), true});
        }
    }
}

TIniFile::Section* TIniFile::FindSection(const std::string& name) {
    for (Section& section : sections_) {
        if (SameName(section.Name, name)) {
            return &section;
        }
    }
    return nullptr;
}

const TIniFile::Section* TIniFile::FindSection(const std::string& name) const {
    for (const Section& section : sections_) {
        if (SameName(section.Name, name)) {
            return &section;
        }
    }
    return nullptr;
}

int TIniFile::ReadInteger(const std::string& section, const std::string& key, int def) const {
    const Section* found = FindSection(section);
    if (found == nullptr) {
        return def;
    }
    for (const Entry& entry : found->Entries) {
        if (entry.HasEquals && SameName(entry.Key, key)) {
            int value = 0;
            return ParseInteger(entry.Value, value) ? value : def;
        }
    }
    return def;
}

void TIniFile::WriteInteger(const std::string& section, const std::string& key, int value) {
    Section* found = FindSection(section);
    if (found == nullptr) {
        sections_.push_back(Section{section, {}});
        found = &sections_.back();
    }
    for (Entry& entry : found->Entries) {
        if (entry.HasEquals && SameName(entry.Key, key)) {
            entry.Value = std::to_string(value);
            return;
        }
    }
    found->Entries.push_back(Entry{key, std::to_string(value), true});
}

void TIniFile::Save() const {
    std::string text;
    for (const Section& section : sections_) {
        text += "[" + section.Name + "]\n";
        for (const Entry& entry : section.Entries) {
            text += entry.HasEquals ? entry.Key + "=" + entry.Value : entry.Key;
            text += '\n';
        }
        text += '\n';
    }

    const std::filesystem::path target(SaveTarget(path_));
    std::error_code ec;
    if (target.has_parent_path()) {
        // The per-user settings folder may not exist before the first save.
        std::filesystem::create_directories(target.parent_path(), ec);
    }
    std::string temp = target.string() + ".XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0) {
        throw std::runtime_error(SaveError(path_, errno));
    }
    // Keep the old file's permissions; a new file gets the usual ones for the user's umask.
    struct stat old {};
    mode_t mode = 0;
    if (stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    int error = 0;
    if (fchmod(fd, mode) != 0) {
        // A folder that keeps no permissions (a FAT stick, say) still takes the settings.
    }
    if (!WriteAll(fd, text) || fsync(fd) != 0) {
        error = errno;
    }
    if (close(fd) != 0 && error == 0) {
        error = errno;
    }
    if (error == 0 && rename(temp.c_str(), target.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        unlink(temp.c_str());
        throw std::runtime_error(SaveError(path_, error));
    }
    // Make the rename itself durable; a failure here leaves a complete file either way.
    const std::string folder = target.has_parent_path() ? target.parent_path().string() : ".";
    const int dirFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (dirFd >= 0) {
        fsync(dirFd);
        close(dirFd);
    }
}

} // namespace tv
