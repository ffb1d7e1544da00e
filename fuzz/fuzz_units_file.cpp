// Arbitrary bytes as units.dat: the choice of encoding, loading from text and from a file, and
// walking every group and unit of what loaded. Input: the shipped file, then after a NUL the
// user's file added to it, then after another NUL a search filter.

#include "FuzzSupport.h"

#include "calc/TvUnitSearch.h"
#include "units/TvTextFile.h"
#include "units/TvUnitsFile.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

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

// The text a file of these bytes must read as, worked out without the reader: UTF-8 after the
// mark (the mark dropped; ill-formed bytes are the reader's to replace), valid UTF-8 as it is,
// anything else from CP932.
std::optional<std::string> ExpectedText(std::string_view bytes) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        return tvfuzz::IsValidUtf8(bytes.substr(3)) ? std::optional<std::string>(bytes.substr(3))
                                                    : std::nullopt;
    }
    return tvfuzz::IsValidUtf8(bytes) ? std::string(bytes) : tv::DecodeCp932(bytes);
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
            const tv::TDataOrigin origin = units.UnitOrigin(g, u);
            TVFUZZ_CHECK(origin.File >= 0 &&
                             static_cast<size_t>(origin.File) < units.Files().size() &&
                             origin.Line >= 2,
                         unit.Name);
        }
    }
}

// What a catalogue holds, to tell that a failed addition changed nothing and a successful one
// moved nothing.
std::vector<std::vector<std::string>> Contents(const tv::TUnits& units) {
    std::vector<std::vector<std::string>> contents;
    for (int32_t g = 0; g < units.GroupCount(); ++g) {
        std::vector<std::string> group = units.GroupUnitNames(g);
        group.insert(group.begin(), units.GetGroup(g).Name);
        contents.push_back(std::move(group));
    }
    return contents;
}

void CheckAddition(const tv::TUnits& shipped, const std::string& userText) {
    tv::TUnits merged = shipped;
    const auto before = Contents(shipped);
    tv::TUnits alone;
    const bool userLoads = alone.LoadFromText(userText);
    const bool added = merged.AddFromText(userText, "user");
    TVFUZZ_CHECK(added == userLoads, userText);
    const auto after = Contents(merged);
    if (!added) {
        TVFUZZ_CHECK(after == before && merged.Files().size() == shipped.Files().size() &&
                         merged.LastError().File == "user",
                     userText);
        return;
    }
    // The first file's groups keep their places and units; the user's units come after them.
    TVFUZZ_CHECK(after.size() >= before.size(), userText);
    size_t addedUnits = 0;
    for (size_t g = 0; g < after.size(); ++g) {
        if (g < before.size()) {
            TVFUZZ_CHECK(after[g].size() >= before[g].size(), userText);
            TVFUZZ_CHECK(std::equal(before[g].begin(), before[g].end(), after[g].begin()),
                         userText);
            addedUnits += after[g].size() - before[g].size();
        } else {
            addedUnits += after[g].size() - 1;
        }
    }
    TVFUZZ_CHECK(addedUnits == static_cast<size_t>(alone.Files()[0].Units), userText);
    WalkCatalogue(merged);
}

std::vector<std::pair<int32_t, std::string>> Warnings(const tv::TUnits& units) {
    std::vector<std::pair<int32_t, std::string>> warnings;
    for (const tv::TLoadError& warning : units.Files().at(0).Warnings) {
        warnings.emplace_back(warning.Line, warning.Reason);
    }
    return warnings;
}

// A NUL ends the text: what follows it changes nothing but a warning at the NUL's line, given
// only when reading reached the NUL.
void CheckNulEnd(const std::string& text, std::string_view after) {
    tv::TUnits plain;
    tv::TUnits cut;
    const bool loaded = plain.LoadFromText(text);
    std::string withNul = text;
    withNul += '\0';
    withNul += after;
    TVFUZZ_CHECK(cut.LoadFromText(withNul) == loaded, text);
    TVFUZZ_CHECK(Contents(cut) == Contents(plain), text);
    if (!loaded) {
        return;
    }
    auto warnings = Warnings(cut);
    const auto nul = std::find_if(warnings.begin(), warnings.end(),
                                  [](const auto& w) { return w.second == tv::kMsgNulEndsText; });
    if (nul != warnings.end()) {
        const size_t lines = tv::SplitLines(text).size();
        const bool lineStart = text.empty() || text.back() == '\n' || text.back() == '\r';
        TVFUZZ_CHECK(static_cast<size_t>(nul->first) == (lineStart ? lines : lines - 1), text);
        warnings.erase(nul);
    }
    TVFUZZ_CHECK(warnings == Warnings(plain), text);
}

void CheckSearch(const tv::TUnits& units, std::string_view filter) {
    const tv::TUnitSearch search(units);
    TVFUZZ_CHECK(search.Find("").size() == static_cast<size_t>(search.UnitTotal()), "");
    const std::string key = tv::FoldForSearch(filter);
    if (key.empty()) {
        return; // every unit, in catalogue order, as checked above
    }
    tv::TMatchRank previous = tv::TMatchRank::SameCase;
    for (const tv::TUnitHit& hit : search.Find(filter)) {
        // The text that found the unit: the alias a hit carries, else its name.
        const bool byAlias = hit.Alias >= 0;
        const std::string found =
            tv::FoldForSearch(byAlias ? search.UnitAlias(hit) : search.UnitName(hit));
        const size_t at = found.find(key);
        TVFUZZ_CHECK(at != std::string::npos, found);
        // Best first; a name that begins with the filter, or an alias that is the whole of it,
        // ranks above every name that only holds it.
        const tv::TMatchRank rank = search.Rank(hit.Unit, filter, key);
        TVFUZZ_CHECK(rank >= previous && rank != tv::TMatchRank::None, found);
        if (byAlias ? found == key : at == 0) {
            TVFUZZ_CHECK(rank <= tv::TMatchRank::Prefix, found);
        }
        previous = rank;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string_view> parts = tvfuzz::SplitAtNul(tvfuzz::AsText(data, size), 3);
    const std::string_view bytes = parts[0];

    const std::string text = tv::DecodeCp932(bytes);
    TVFUZZ_CHECK(tvfuzz::IsValidUtf8(text), text);

    WriteTempFile(bytes);
    const std::optional<std::string> read = tv::ReadDataFile(TempFile());
    TVFUZZ_CHECK(read.has_value() && tvfuzz::IsValidUtf8(*read), text);
    if (const std::optional<std::string> expected = ExpectedText(bytes)) {
        TVFUZZ_CHECK(*read == *expected, text);
    }

    // The file path must come to the same result as the text it reads as.
    tv::TUnits fromText;
    const bool loaded = fromText.LoadFromText(*read);
    if (loaded) {
        WalkCatalogue(fromText);
    } else {
        TVFUZZ_CHECK(!fromText.LastError().Reason.empty(), "");
    }
    tv::TUnits fromFile;
    const bool fileLoaded = fromFile.LoadFromFile(TempFile());
    TVFUZZ_CHECK(fileLoaded == loaded, text);
    TVFUZZ_CHECK(fromFile.GroupCount() == fromText.GroupCount(), text);
    TVFUZZ_CHECK(fromFile.LastError().Line == fromText.LastError().Line, text);
    if (fileLoaded) {
        WalkCatalogue(fromFile);
        TVFUZZ_CHECK(Warnings(fromFile) == Warnings(fromText), text);
        for (const auto& [line, reason] : Warnings(fromText)) {
            TVFUZZ_CHECK(line >= 0 && static_cast<size_t>(line) < tv::SplitLines(*read).size(),
                         reason);
        }
    }
    CheckNulEnd(*read, parts[1]);

    const std::string userText = ExpectedText(parts[1]).value_or(tv::DecodeCp932(parts[1]));
    CheckAddition(fromText, userText);
    CheckSearch(fromText, parts[2]);
    return 0;
}
