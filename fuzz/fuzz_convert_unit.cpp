// One unit conversion end to end (ConvertUnit) with arbitrary input and formulas.
// Input: value text, NUL, ToBase, NUL, FromBase, NUL, then a byte of flags.

#include "FuzzSupport.h"

#include "calc/TvCalculate.h"
#include "units/TvErrors.h"
#include "units/TvUnitsFile.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string_view> parts = tvfuzz::SplitAtNul(tvfuzz::AsText(data, size), 4);
    static const tv::TPrefixes prefixes = [] {
        tv::TPrefixes t;
        t.LoadFromText(tvfuzz::kPrefixTable);
        return t;
    }();

    const auto flags = parts[3].empty() ? 0u : static_cast<unsigned char>(parts[3][0]);
    tv::TUnitConvRequest request;
    request.InputText = std::string(parts[0]);
    request.Source = {"src", std::string(parts[1]), "$t", "", {}};
    request.Target = {"dst", "$i", std::string(parts[2]), "", {}};
    request.SameUnit = (flags & 1u) != 0;
    request.ShowAns = static_cast<int>((flags >> 1) & 3u); // 3 is outside the modes
    request.ShowExp = static_cast<int>((flags >> 3) & 1u);
    request.PreviousOutput = "previous";

    try {
        const tv::TUnitConvResult result = tv::ConvertUnit(request, prefixes);
        if (request.ShowAns == 3) {
            TVFUZZ_CHECK(result.Output == request.PreviousOutput, result.Output);
        }
        TVFUZZ_CHECK(result.ReportLine ==
                         request.InputText + " [src] => " + result.Output + " [dst]",
                     result.ReportLine);
        const std::string expectedStart = request.SameUnit ? "\t" : "\tResult = ";
        TVFUZZ_CHECK(request.ShowExp == 1 ? result.FormulaLine.rfind(expectedStart, 0) == 0
                                          : result.FormulaLine.empty(),
                     result.FormulaLine);
        // Linear in the formulas: the source is ToBase with each two-byte "$i" turned into a
        // value of at most 26 bytes, and it stands in the line once unless that fits 64 KiB.
        const size_t source = 13 * request.Source.ToBase.size() + 26;
        TVFUZZ_CHECK(result.FormulaLine.size() <=
                         request.Target.FromBase.size() + source + (size_t{64} << 10) + 64,
                     std::to_string(result.FormulaLine.size()));
    } catch (const tv::ETvError&) {
    }
    return 0;
}
