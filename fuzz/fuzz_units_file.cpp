// Arbitrary bytes as units.dat: decoding, loading from text and from a file, and walking every
// group and unit of what loaded.

#include "FuzzSupport.h"

#include "units/TvTextFile.h"
#include "units/TvUnitsFile.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

// One temporary file for the whole run, removed at exit.
const std::string& TempFile() {
    static const std::string path = [] {
        std::string pattern = (std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp");
        pattern += "/tenvari-fuzz-units-XXXXXX";
        const int fd = mkstemp(pattern.data());
        if (fd < 0) {
            tvfuzz::Fail("cannot create a temporary file", pattern);
        }
        close(fd);
        static std::string toRemove = pattern;
        std::atexit([] { unlink(toRemove.c_str()); });
        return pattern;
    }();
    return path;
}

void WriteTempFile(std::string_view bytes) {
    FILE* f = std::fopen(TempFile().c_str(), "wb");
    if (f == nullptr) {
        tvfuzz::Fail("cannot write the temporary file", TempFile());
    }
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) {
        tvfuzz::Fail("short write of the temporary file", TempFile());
    }
    std::fclose(f);
}

// Walks everything the catalogue offers; the group ranges must lie inside the units read.
void WalkCatalogue(tv::TUnits& units) {
    TVFUZZ_CHECK(units.GroupCount() >= 0, "");
    for (int32_t g = 0; g < units.GroupCount(); ++g) {
        const tv::TUnitsEntry group = units.GetGroup(g);
        TVFUZZ_CHECK(group.Count >= 0 && group.StartLine >= 2, group.Name);
        units.SelectGroup(g);
        TVFUZZ_CHECK(units.UnitCount() == group.Count, group.Name);
        for (int32_t u = 0; u < units.UnitCount(); ++u) {
            const tv::TUnitEntry unit = units.GetUnit(u);
            TVFUZZ_CHECK(tvfuzz::IsValidUtf8(unit.Name) && tvfuzz::IsValidUtf8(unit.ToBase) &&
                             tvfuzz::IsValidUtf8(unit.FromBase),
                         unit.Name);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes = tvfuzz::AsText(data, size);

    const std::string text = tv::DecodeCp932(bytes);
    TVFUZZ_CHECK(tvfuzz::IsValidUtf8(text), text);

    tv::TUnits fromText;
    const bool loaded = fromText.LoadFromText(text);
    if (loaded) {
        WalkCatalogue(fromText);
    } else {
        TVFUZZ_CHECK(!fromText.LastError().Reason.empty(), "");
    }

    // The file path must come to the same result, except for a leading UTF-8 byte-order mark,
    // which switches the file reader to UTF-8.
    WriteTempFile(bytes);
    tv::TUnits fromFile;
    const bool fileLoaded = fromFile.LoadFromFile(TempFile());
    if (bytes.substr(0, 3) != "\xEF\xBB\xBF") {
        TVFUZZ_CHECK(fileLoaded == loaded, text);
        TVFUZZ_CHECK(fromFile.GroupCount() == fromText.GroupCount(), text);
        TVFUZZ_CHECK(fromFile.LastError().Line == fromText.LastError().Line, text);
    }
    if (fileLoaded) {
        WalkCatalogue(fromFile);
    }
    return 0;
}
