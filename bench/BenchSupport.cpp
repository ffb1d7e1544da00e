#include "BenchSupport.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <unistd.h>
#include <vector>

namespace tvbench {

const tv::TPrefixes& ShippedPrefixes() {
    static const tv::TPrefixes prefixes = [] {
        tv::TPrefixes table;
        const std::string path = std::string(TENVARI_SHIPPED_DATA) + "/prefix.dat";
        if (!table.LoadFromFile(path)) {
            std::fprintf(stderr, "cannot load %s\n", path.c_str());
            std::abort();
        }
        return table;
    }();
    return prefixes;
}

namespace {

// Writes text into a temporary file removed at exit; returns its path.
std::string WriteTemporaryFile(const std::string& text) {
    std::string name = (std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp");
    name += "/tenvari-bench-units-XXXXXX";
    const int fd = mkstemp(name.data());
    if (fd < 0) {
        std::perror("mkstemp");
        std::abort();
    }
    close(fd);
    std::ofstream(name, std::ios::binary) << text;
    static std::vector<std::string> toRemove;
    if (toRemove.empty()) {
        std::atexit([] {
            for (const std::string& path : toRemove) {
                std::remove(path.c_str());
            }
        });
    }
    toRemove.push_back(name);
    return name;
}

// kGroups groups of kUnitsPerGroup units; line(unit) writes the unit's line without its end.
template <class F> std::string GeneratedUnits(F&& line) {
    std::string text;
    text.reserve(static_cast<size_t>(kGroups) * kUnitsPerGroup * 48);
    int unit = 0;
    for (int g = 0; g < kGroups; ++g) {
        text += ">>\ngroup" + std::to_string(g) + "\n";
        for (int u = 0; u < kUnitsPerGroup; ++u, ++unit) {
            text += line(unit);
            text += '\n';
        }
        text += "<<\n";
    }
    text += "<<\\d\n";
    return text;
}

} // namespace

const std::string& LargeUnitsFile() {
    static const std::string path = WriteTemporaryFile(GeneratedUnits([](int unit) {
        // Factors vary a little so that no two lines are the same.
        const std::string factor = "1." + std::to_string(2345 + unit % 7000);
        return "unit" + std::to_string(unit) + ",$i*" + factor + ",$t/" + factor + ",";
    }));
    return path;
}

const std::string& LargeNamedUnitsFile() {
    static const std::string path = WriteTemporaryFile(GeneratedUnits([](int unit) {
        static const char* const kStems[][2] = {
            {"メートル", "m"},    {"キログラム", "kg"}, {"マイル", "mi"}, {"ポンド", "lb"},
            {"リットル", "L"},    {"カロリー", "cal"},  {"坪", "tsubo"},  {"尺", "shaku"},
            {"ヘクタール", "ha"}, {"ジュール", "J"}};
        const auto& stem = kStems[unit % 10];
        const std::string n = std::to_string(unit);
        return std::string("\"") + stem[0] + n + " [" + stem[1] + n + "]\",$i*1.5,$t/1.5,";
    }));
    return path;
}

std::string ShippedUnitsFile() {
    return std::string(TENVARI_SHIPPED_DATA) + "/units.dat";
}

const tv::TUnits& LoadedUnits(const std::string& path) {
    static std::map<std::string, tv::TUnits> loaded;
    if (const auto found = loaded.find(path); found != loaded.end()) {
        return found->second;
    }
    tv::TUnits units;
    if (!units.LoadFromFile(path)) {
        std::fprintf(stderr, "cannot load %s\n", path.c_str());
        std::abort();
    }
    return loaded.emplace(path, std::move(units)).first->second;
}

void LoadUnitsEachIteration(benchmark::State& state, const std::string& path) {
    for (auto _ : state) {
        tv::TUnits units;
        if (!units.LoadFromFile(path)) {
            state.SkipWithError(("cannot load " + path).c_str());
            break;
        }
        benchmark::DoNotOptimize(units.GroupCount());
    }
}

std::string TemporaryFolder() {
    std::string name = (std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp");
    name += "/tenvari-bench-XXXXXX";
    if (mkdtemp(name.data()) == nullptr) {
        std::perror("mkdtemp");
        std::abort();
    }
    static std::vector<std::string> toRemove;
    if (toRemove.empty()) {
        std::atexit([] {
            for (const std::string& path : toRemove) {
                std::error_code ec;
                std::filesystem::remove_all(path, ec);
            }
        });
    }
    toRemove.push_back(name);
    return name + "/";
}

tv::THistoryEntry HistoryEntry(int n) {
    struct Pair {
        const char* group;
        const char* source;
        const char* target;
    };
    static const Pair kPairs[] = {
        {"長さ", "マイル [mi]", "キロメートル [km]"},
        {"面積", "坪", "平方メートル [m2]"},
        {"重さ", "ポンド [lb]", "キログラム [kg]"},
        {"温度", "華氏 [°F]", "摂氏 [°C]"},
        {"体積", "ガロン (米) [gal]", "リットル [L]"},
        {"長さ", "フィート [ft]", "メートル [m]"},
        {"圧力", "気圧 [atm]", "ヘクトパスカル [hPa]"},
        {"速さ", "ノット [kn]", "キロメートル毎時 [km/h]"},
    };
    const Pair& pair = kPairs[static_cast<size_t>(n) % std::size(kPairs)];
    tv::THistoryEntry entry;
    entry.Time = 1796792585 + n;
    entry.Group = pair.group;
    entry.Source = pair.source;
    entry.Target = pair.target;
    entry.Value = std::to_string(n % 997) + "." + std::to_string(n % 10);
    entry.Result = "1" + std::to_string(100000000000000000LL + n * 7919LL);
    return entry;
}

const std::string& LargeHistoryFile() {
    static const std::string path = [] {
        const std::string file = TemporaryFolder() + "history.sqlite";
        tv::THistory history(file);
        for (int n = 0; n < kHistoryEntries; ++n) {
            history.Record(HistoryEntry(n), 0);
        }
        return file;
    }();
    return path;
}

} // namespace tvbench
