// Arbitrary bytes as prefix.dat (the part before the first NUL), then the texts after it
// resolved through the table that loaded (or failed to load).

#include "FuzzSupport.h"

#include "units/TvErrors.h"
#include "units/TvTextFile.h"
#include "units/TvUnitsFile.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input = tvfuzz::AsText(data, size);
    const std::vector<std::string_view> parts = tvfuzz::SplitAtNul(input, 4);

    const std::string text = tv::DecodeCp932(parts[0]);
    tv::TPrefixes prefixes;
    const bool loaded = prefixes.LoadFromText(text);
    TVFUZZ_CHECK(prefixes.Loaded() == loaded, text);
    if (loaded) {
        for (int32_t i = 0; i < prefixes.Count(); ++i) {
            TVFUZZ_CHECK(std::isfinite(prefixes.Entry(i).Factor), prefixes.Entry(i).Name);
        }
        TVFUZZ_CHECK(prefixes.Files().at(0).Warnings.empty(), text);
    }

    // A NUL ends the text: what follows it is not read, and a warning gives the NUL's line.
    tv::TPrefixes cut;
    TVFUZZ_CHECK(cut.LoadFromText(text + '\0' + std::string(parts[1])) == loaded, text);
    TVFUZZ_CHECK(cut.Count() == prefixes.Count(), text);
    if (loaded) {
        const tv::TLoadWarnings& warnings = cut.Files().at(0).Warnings;
        const size_t lines = tv::SplitLines(text).size();
        const bool lineStart = text.empty() || text.back() == '\n' || text.back() == '\r';
        TVFUZZ_CHECK(warnings.size() == 1 && warnings[0].Reason == tv::kMsgNulEndsText &&
                         static_cast<size_t>(warnings[0].Line) == (lineStart ? lines : lines - 1),
                     text);
    }

    for (size_t i = 1; i < parts.size(); ++i) {
        const std::string_view operand = parts[i];
        long double plain = 0.0L;
        const bool isPlain = tv::TryStrToFloatValue(operand, plain);
        try {
            const long double value = prefixes.StrToValue(operand);
            TVFUZZ_CHECK(std::isfinite(value), operand);
            // With prefixes off, resolution is the plain number conversion.
            if (!loaded) {
                TVFUZZ_CHECK(isPlain && value == plain, operand);
            }
        } catch (const tv::EConvertError&) {
            TVFUZZ_CHECK(loaded || !isPlain, operand);
        } catch (const tv::EOverflow&) {
            TVFUZZ_CHECK(loaded, operand);
        }
    }
    return 0;
}
