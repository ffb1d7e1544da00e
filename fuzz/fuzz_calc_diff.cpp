// The production evaluator against the plain reference transcription: the same value to the
// last bit, or the same failure kind with the same message, and the same operand texts handed
// to the prefix table in the same order.

#include "FuzzSupport.h"

#include "ReferenceCalculate.h"

#include "calc/TvCalculate.h"
#include "units/TvErrors.h"
#include "units/TvUnitsFile.h"

#include <cstring>
#include <string>
#include <typeinfo>
#include <vector>

namespace {

struct TRun {
    bool ok = false;
    long double value = 0.0L;
    std::string kind;
    std::string message;
    std::vector<std::string> operands;
};

// Odd prefix names let leaves that only a wrong split produces resolve to a value, so that
// such a split shows as a different value instead of the same conversion failure.
const tv::TPrefixes& Prefixes() {
    static const tv::TPrefixes table = [] {
        tv::TPrefixes t;
        if (!t.LoadFromText(std::string(tvfuzz::kPrefixTable) +
                            "( 2\n) 3\n+ 5\n- 7\n$i 11\n< 13\n| 17\n= 19\n\xE3\x81\x82 23\n")) {
            tvfuzz::Fail("the differential prefix table does not load");
        }
        return t;
    }();
    return table;
}

template <class Evaluate> TRun Run(std::string_view text, Evaluate evaluate) {
    TRun run;
    const tv::TOperandResolver resolve = [&run](std::string_view operand) {
        run.operands.emplace_back(operand);
        return Prefixes().StrToValue(operand);
    };
    try {
        run.value = evaluate(text, resolve);
        run.ok = true;
    } catch (const std::exception& e) {
        run.kind = typeid(e).name();
        run.message = e.what();
    }
    return run;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text = tvfuzz::AsText(data, size);
    const TRun production = Run(text, [](std::string_view t, const tv::TOperandResolver& r) {
        return tv::Calculate(t, r);
    });
    const TRun reference = Run(text, [](std::string_view t, const tv::TOperandResolver& r) {
        return tv::reference::Calculate(t, r);
    });
    TVFUZZ_CHECK(production.ok == reference.ok, text);
    if (production.ok) {
        TVFUZZ_CHECK(std::memcmp(&production.value, &reference.value, 10) == 0, text);
    } else {
        TVFUZZ_CHECK(production.kind == reference.kind, production.kind + " / " + reference.kind);
        TVFUZZ_CHECK(production.message == reference.message, text);
    }
    TVFUZZ_CHECK(production.operands == reference.operands, text);

    // The table overload is the same evaluation.
    try {
        const long double value = tv::Calculate(text, Prefixes());
        TVFUZZ_CHECK(production.ok && std::memcmp(&value, &production.value, 10) == 0, text);
    } catch (const std::exception& e) {
        TVFUZZ_CHECK(!production.ok && typeid(e).name() == production.kind, text);
    }
    return 0;
}
