#include "ui/TvIniFile.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string_view>
#include <sys/file.h>
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

std::string LowerAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

std::string SaveError(const std::string& path, const std::string& reason) {
    return "設定ファイル " + path + " を保存できません (" + reason + ")";
}

std::string SaveError(const std::string& path, int error) {
    return SaveError(path, std::strerror(error));
}

// What a save kept for the session because the file was read-only, by the path it was made for.
std::unordered_map<std::string, std::string>& SessionTexts() {
    static std::unordered_map<std::string, std::string> texts;
    return texts;
}

bool unnamedTemporaries = true;

// The whole file, or nothing for anything but a regular file that can be read. Opening never
// waits: a FIFO would block until a writer came.
std::string ReadFileText(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return {};
    }
    std::string text;
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        char buffer[65536];
        for (;;) {
            const ssize_t got = read(fd, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                break;
            }
            text.append(buffer, static_cast<size_t>(got));
        }
    }
    close(fd);
    return text;
}

// Read-only by its owner's choice: root may write any file, so for root a file without any
// write permission counts as read-only too.
bool IsReadOnlyFile(const std::string& path, const struct stat& st) {
    if (!S_ISREG(st.st_mode)) {
        return false;
    }
    if (faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) {
        return errno == EACCES || errno == EROFS;
    }
    return geteuid() == 0 && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

// Temporary files of a save are named ".<name>.tmp.XXXXXX" beside the file; a save holds an
// flock on its own for as long as it lives, so one that nobody holds was left by a save that
// was killed.
std::string TemporaryPrefix(const std::filesystem::path& target) {
    return "." + target.filename().string() + ".tmp.";
}

// Removes the temporary files that earlier saves of this file left behind when they were killed.
void RemoveStaleTemporaries(const std::string& folder, const std::string& prefix) {
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        return;
    }
    while (const dirent* entry = readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name.size() != prefix.size() + 6 || name.substr(0, prefix.size()) != prefix) {
            continue;
        }
        const int fd = openat(dirfd(dir), entry->d_name,
                              O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        struct stat st {};
        if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0) {
            unlinkat(dirfd(dir), entry->d_name, 0);
        }
        close(fd);
    }
    closedir(dir);
}

std::string RandomSuffix() {
    static constexpr char kChars[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static std::mt19937_64 random{std::random_device{}()};
    std::string suffix(6, 'X');
    for (char& c : suffix) {
        c = kChars[random() % (sizeof kChars - 1)];
    }
    return suffix;
}

// A temporary file for the new contents, open for writing and locked. With O_TMPFILE it has no
// name until it is complete (Publish gives it one); otherwise it is named at once.
struct TTemporary {
    int Fd = -1;
    std::string Name; // empty while it has none
};

TTemporary CreateTemporary(const std::string& folder, const std::string& prefix, mode_t mode) {
    // Naming an unnamed file needs /proc; filesystems without O_TMPFILE take the named way.
    if (unnamedTemporaries && access("/proc/self/fd", X_OK) == 0) {
        const int fd = open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
        if (fd >= 0) {
            flock(fd, LOCK_EX);
            return {fd, {}};
        }
    }
    for (;;) {
        std::string name = folder + "/" + prefix + "XXXXXX";
        const int fd = mkostemp(name.data(), O_CLOEXEC);
        if (fd < 0) {
            return {-1, {}};
        }
        // Between its creation and the lock another save may have taken it for a stale one and
        // removed it; then a new one is made. A filesystem without locks has no stale files
        // removed either.
        struct stat st {};
        const bool taken = flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
        if (!taken && fstat(fd, &st) == 0 && st.st_nlink > 0) {
            return {fd, std::move(name)};
        }
        close(fd);
    }
}

// Gives an unnamed temporary file its name; false with errno set when it cannot.
bool Publish(TTemporary& temp, const std::string& folder, const std::string& prefix) {
    if (!temp.Name.empty()) {
        return true;
    }
    const std::string self = "/proc/self/fd/" + std::to_string(temp.Fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = folder + "/" + prefix + RandomSuffix();
        if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            temp.Name = std::move(name);
            return true;
        }
        if (errno != EEXIST) {
            return false;
        }
    }
    return false;
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
    const auto kept = SessionTexts().find(path_);
    if (kept != SessionTexts().end()) {
        Parse(kept->second);
        return;
    }
    std::error_code ec;
    const bool useDefaults = !defaults.empty() && !std::filesystem::exists(path_, ec) && !ec;
    Parse(ReadFileText(useDefaults ? defaults : path_));
}

void TIniFile::Parse(const std::string& text) {
    Section* current = nullptr;
    size_t start = 0;
    if (text.rfind("\xEF\xBB\xBF", 0) == 0) {
        start = 3;
    }
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string line = Trim(text.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line[0] == ';') {
            continue;
        }
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            const std::string name = Trim(line.substr(1, line.size() - 2));
            // A section named twice is one section: its later lines join the first.
            current = FindSection(name);
            if (current == nullptr) {
                current = &AddSection(name);
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

TIniFile::Section& TIniFile::AddSection(const std::string& name) {
    index_.emplace(LowerAscii(name), sections_.size());
    sections_.push_back(Section{name, {}});
    return sections_.back();
}

TIniFile::Section* TIniFile::FindSection(const std::string& name) {
    const auto found = index_.find(LowerAscii(name));
    return found == index_.end() ? nullptr : &sections_[found->second];
}

const TIniFile::Section* TIniFile::FindSection(const std::string& name) const {
    const auto found = index_.find(LowerAscii(name));
    return found == index_.end() ? nullptr : &sections_[found->second];
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
        found = &AddSection(section);
    }
    for (Entry& entry : found->Entries) {
        if (entry.HasEquals && SameName(entry.Key, key)) {
            entry.Value = std::to_string(value);
            return;
        }
    }
    found->Entries.push_back(Entry{key, std::to_string(value), true});
}

TIniSave TIniFile::Save() const {
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
    // Keep the old file's permissions; a new file gets the usual ones for the user's umask.
    struct stat old {};
    mode_t mode = 0;
    if (stat(target.c_str(), &old) == 0) {
        if (!S_ISREG(old.st_mode)) {
            // Renaming over a device or a FIFO would replace it.
            throw std::runtime_error(SaveError(path_, "通常のファイルではありません"));
        }
        if (IsReadOnlyFile(target.string(), old)) {
            SessionTexts()[path_] = std::move(text);
            return TIniSave::KeptForSession;
        }
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }

    const std::string folder = target.has_parent_path() ? target.parent_path().string() : ".";
    const std::string prefix = TemporaryPrefix(target);
    RemoveStaleTemporaries(folder, prefix);
    TTemporary temp = CreateTemporary(folder, prefix, mode);
    if (temp.Fd < 0) {
        throw std::runtime_error(SaveError(path_, errno));
    }
    int error = 0;
    if (fchmod(temp.Fd, mode) != 0) {
        // A folder that keeps no permissions (a FAT stick, say) still takes the settings.
    }
    if (!WriteAll(temp.Fd, text) || fsync(temp.Fd) != 0 || !Publish(temp, folder, prefix)) {
        error = errno;
    }
    if (error == 0 && rename(temp.Name.c_str(), target.c_str()) != 0) {
        error = errno;
    }
    if (error != 0 && !temp.Name.empty()) {
        unlink(temp.Name.c_str());
    }
    // The lock goes with the descriptor, once the temporary name is gone; the contents were
    // flushed already.
    close(temp.Fd);
    if (error != 0) {
        throw std::runtime_error(SaveError(path_, error));
    }
    SessionTexts().erase(path_);
    // Make the rename itself durable; a failure here leaves a complete file either way.
    const int dirFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        fsync(dirFd);
        close(dirFd);
    }
    return TIniSave::Saved;
}

bool TIniFile::IsReadOnly(const std::string& path) {
    const std::string target = SaveTarget(path);
    struct stat st {};
    return stat(target.c_str(), &st) == 0 && IsReadOnlyFile(target, st);
}

void TIniFile::UseUnnamedTemporaries(bool use) {
    unnamedTemporaries = use;
}

} // namespace tv
