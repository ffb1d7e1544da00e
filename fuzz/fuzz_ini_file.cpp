// The settings file: arbitrary bytes as the file, then one of the program's keys written and
// saved, and the file read again. Nothing read before may be lost, the written value must read
// back, a second save must not change the file, and a save that cannot be written must throw
// and leave the old file as it was.
// Input: the file's bytes, NUL, a byte choosing the key (its top bit limits the file size), four
// bytes of value, a byte giving the size limit.

#include "FuzzSupport.h"

#include "ui/TvIniFile.h"

#include <algorithm>
#include <array>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <ftw.h>
#include <iterator>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

// The fuzz target's own folder, removed with everything in it at exit.
const std::string& Folder() {
    static const std::string folder = [] {
        std::string pattern = (std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp");
        pattern += "/tenvari-fuzz-ini-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) {
            tvfuzz::Fail("cannot create a temporary folder", pattern);
        }
        static std::string toRemove = pattern;
        std::atexit([] {
            nftw(
                toRemove.c_str(),
                [](const char* path, const struct stat*, int, struct FTW*) {
                    return std::remove(path);
                },
                8, FTW_DEPTH | FTW_PHYS);
        });
        return pattern;
    }();
    return folder;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        tvfuzz::Fail("cannot write the settings file", path);
    }
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) {
            return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

std::string_view Trim(std::string_view s) {
    const auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    while (!s.empty() && blank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && blank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

// Every section and key name the file could hold, read loosely: enough to ask the settings
// reader for each of them before and after a save.
std::vector<std::pair<std::string, std::string>> CandidateKeys(std::string_view bytes) {
    std::vector<std::pair<std::string, std::string>> keys;
    std::string section;
    size_t start = 0;
    while (start <= bytes.size()) {
        size_t end = bytes.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            end = bytes.size();
        }
        const std::string_view line = Trim(bytes.substr(start, end - start));
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            section = std::string(Trim(line.substr(1, line.size() - 2)));
        } else {
            const size_t eq = line.find('=');
            keys.emplace_back(section, std::string(Trim(line.substr(0, eq))));
        }
        start = end + 1;
    }
    return keys;
}

constexpr std::array<std::pair<const char*, const char*>, 9> kProgramKeys = {{
    {"StartUp", "WinPos"},
    {"StartUp", "Left"},
    {"StartUp", "Top"},
    {"StartUp", "UnitSeries"},
    {"StartUp", "LastUnits"},
    {"StartUp", "SetUnits"},
    {"Convert", "ConvDispose"},
    {"Convert", "ShowAns"},
    {"Convert", "ShowExp"},
}};

constexpr int kAbsent = -1234567;

// No temporary file of a save is left behind.
void CheckNoStrayFiles() {
    DIR* dir = opendir(Folder().c_str());
    TVFUZZ_CHECK(dir != nullptr, Folder());
    while (const dirent* entry = readdir(dir)) {
        const std::string_view name = entry->d_name;
        TVFUZZ_CHECK(name == "." || name == ".." || name == "tenvari.ini", name);
    }
    closedir(dir);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input = tvfuzz::AsText(data, size);
    const size_t nul = input.rfind('\0');
    const std::string_view file = nul == std::string_view::npos ? input : input.substr(0, nul);
    const std::string_view tail =
        nul == std::string_view::npos ? std::string_view() : input.substr(nul + 1);
    const auto choice = tail.empty() ? 0u : static_cast<unsigned char>(tail[0]);
    int32_t value = 0;
    if (tail.size() > 1) {
        std::memcpy(&value, tail.data() + 1, std::min(sizeof value, tail.size() - 1));
    }
    const auto& [section, key] = kProgramKeys[choice % kProgramKeys.size()];

    const std::string path = Folder() + "/tenvari.ini";
    WriteAll(path, file);

    const tv::TIniFile before(path);
    const auto candidates = CandidateKeys(file);
    std::vector<int> old;
    old.reserve(candidates.size());
    for (const auto& [s, k] : candidates) {
        old.push_back(before.ReadInteger(s, k, kAbsent));
    }

    // A save whose folder cannot exist (its parent is a file) fails loudly.
    {
        tv::TIniFile lost(path + "/tenvari.ini");
        lost.WriteInteger(section, key, value);
        bool threw = false;
        try {
            lost.Save();
        } catch (const std::runtime_error&) {
            threw = true;
        }
        TVFUZZ_CHECK(threw, "");
    }

    // The save itself, at times with a limit on the file size, so that writing stops short
    // as on a full disk: then it must throw and leave the old file as it was.
    {
        tv::TIniFile writer(path);
        writer.WriteInteger(section, key, value);
        const bool limited = (choice & 0x80u) != 0 && tail.size() > 5;
        rlimit saved{};
        struct sigaction oldAction {};
        if (limited) {
            // Beyond the limit a write then fails with EFBIG instead of raising SIGXFSZ, which
            // libFuzzer takes for a finding.
            struct sigaction ignore {};
            ignore.sa_handler = SIG_IGN;
            sigaction(SIGXFSZ, &ignore, &oldAction);
            getrlimit(RLIMIT_FSIZE, &saved);
            rlimit small = saved;
            small.rlim_cur = static_cast<unsigned char>(tail[5]);
            setrlimit(RLIMIT_FSIZE, &small);
        }
        bool written = true;
        try {
            writer.Save();
        } catch (const std::runtime_error&) {
            written = false;
        }
        if (limited) {
            setrlimit(RLIMIT_FSIZE, &saved);
            sigaction(SIGXFSZ, &oldAction, nullptr);
        }
        TVFUZZ_CHECK(written || limited, path);
        if (!written) {
            TVFUZZ_CHECK(ReadAll(path) == file, "a failed save changed the file");
            CheckNoStrayFiles();
            return 0;
        }
    }
    const tv::TIniFile after(path);
    TVFUZZ_CHECK(after.ReadInteger(section, key, kAbsent) == value, key);
    for (size_t i = 0; i < candidates.size(); ++i) {
        const auto& [s, k] = candidates[i];
        if (EqualNoCase(s, section) && EqualNoCase(k, key)) {
            continue;
        }
        TVFUZZ_CHECK(after.ReadInteger(s, k, kAbsent) == old[i], s + "/" + k);
    }

    // Once saved, the file is in the program's own form: saving again changes nothing.
    const std::string saved = ReadAll(path);
    after.Save();
    TVFUZZ_CHECK(ReadAll(path) == saved, saved);

    CheckNoStrayFiles();
    return 0;
}
