#include "BenchSupport.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <unistd.h>

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

const std::string& LargeUnitsFile() {
    static const std::string path = [] {
        std::string name = (std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp");
        name += "/tenvari-bench-units-XXXXXX";
        const int fd = mkstemp(name.data());
        if (fd < 0) {
            std::perror("mkstemp");
            std::abort();
        }
        close(fd);
        std::string text;
        text.reserve(static_cast<size_t>(kGroups) * kUnitsPerGroup * 40);
        int unit = 0;
        for (int g = 0; g < kGroups; ++g) {
            text += ">>\ngroup" + std::to_string(g) + "\n";
            for (int u = 0; u < kUnitsPerGroup; ++u, ++unit) {
                // Factors vary a little so that no two lines are the same.
                const std::string factor = "1." + std::to_string(2345 + unit % 7000);
                text += "unit" + std::to_string(unit) + ",$i*" + factor + ",$t/" + factor + ",\n";
            }
            text += "<<\n";
        }
        text += "<<\\d\n";
        std::ofstream(name, std::ios::binary) << text;
        static std::string toRemove = name;
        std::atexit([] { std::remove(toRemove.c_str()); });
        return name;
    }();
    return path;
}

} // namespace tvbench
