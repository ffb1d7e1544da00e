// The desktop search's request path: terms as GNOME Shell sends them (or one text, as KRunner
// does) through the gate, the data and the query, on the shipped data. It must never throw, never
// answer what the gate refused, give at most kMaxAnswers answers, and bring each answer back by
// its id, as GetResultMetas and ActivateResult ask for it.
// Input: a first byte 'K' sends the rest as KRunner's one text; otherwise NUL-separated terms.

#include "FuzzSupport.h"

#include "desktop/TvDesktopAnswers.h"
#include "desktop/TvQueryAnswerer.h"

#include <string>
#include <vector>

namespace {

tv::desktop::TDesktopAnswers& Answers() {
    static tv::desktop::TAnswerData data(
        TENVARI_SHIPPED_DATA "/", "", {},
        [](const std::string& line) { tvfuzz::Fail("the shipped data does not load", line); });
    static const tv::desktop::TQueryAnswerer answerer;
    static tv::desktop::TDesktopAnswers answers(data, answerer);
    return answers;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input = tvfuzz::AsText(data, size);
    tv::desktop::TDesktopAnswers& answers = Answers();
    std::optional<std::string> query;
    std::vector<tv::desktop::TAnswer> got;
    if (!input.empty() && input.front() == 'K') {
        query = tv::desktop::QueryFromText(input.substr(1));
        got = answers.ForText(input.substr(1));
    } else {
        std::vector<std::string> terms;
        size_t start = 0;
        while (start <= input.size()) {
            const size_t nul = std::min(input.find('\0', start), input.size());
            terms.emplace_back(input.substr(start, nul - start));
            start = nul + 1;
        }
        query = tv::desktop::QueryFromTerms(terms);
        got = answers.ForTerms(terms);
    }
    if (query) {
        TVFUZZ_CHECK(!query->empty() && query->size() <= tv::desktop::kMaxQueryBytes, *query);
        TVFUZZ_CHECK(query->front() != ' ' && query->back() != ' ', *query);
    } else {
        TVFUZZ_CHECK(got.empty(), input);
    }
    TVFUZZ_CHECK(got.size() <= tv::desktop::kMaxAnswers, input);
    for (const tv::desktop::TAnswer& answer : got) {
        const std::optional<tv::desktop::TAnswer> again = answers.ById(answer.Id);
        TVFUZZ_CHECK(again && *again == answer, answer.Id);
    }
    return 0;
}
