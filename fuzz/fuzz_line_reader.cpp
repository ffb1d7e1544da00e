// The line reader of tenvari-cli on arbitrary input handed over in pieces of arbitrary sizes:
// the lines, their numbers and the lines too long to keep must be those of a plain split.
// Input: a byte giving the longest line kept (0 to 255), a byte seeding the piece sizes, then
// the stream.

#include "FuzzSupport.h"

#include "cli/TvLineReader.h"

#include <algorithm>
#include <cstring>
#include <random>
#include <streambuf>
#include <string>
#include <vector>

namespace {

// Hands its text over in pieces of 1 to 300 bytes, as a pipe may.
class TPiecewiseInput : public std::streambuf {
public:
    TPiecewiseInput(std::string_view text, unsigned seed) : text_(text), random_(seed) {}

protected:
    int_type underflow() override {
        if (pos_ >= text_.size()) {
            return traits_type::eof();
        }
        const size_t piece = std::min<size_t>(1 + random_() % 300, text_.size() - pos_);
        piece_.assign(text_.substr(pos_, piece));
        pos_ += piece;
        setg(piece_.data(), piece_.data(), piece_.data() + piece_.size());
        return traits_type::to_int_type(piece_[0]);
    }

private:
    std::string_view text_;
    std::minstd_rand random_;
    std::string piece_;
    size_t pos_ = 0;
};

struct TExpected {
    bool tooLong = false;
    std::string line;
};

// Lines end at LF, a CR before it is dropped, the last line needs no LF.
std::vector<TExpected> Split(std::string_view text, size_t maxLine) {
    std::vector<TExpected> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        const size_t next = end == std::string_view::npos ? text.size() : end + 1;
        end = end == std::string_view::npos ? text.size() : end;
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        lines.push_back(line.size() > maxLine ? TExpected{true, {}}
                                              : TExpected{false, std::string(line)});
        start = next;
    }
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    const size_t maxLine = data[0];
    const std::string_view text = tvfuzz::AsText(data + 2, size - 2);
    TPiecewiseInput input(text, data[1]);
    tv::TLineReader reader(input, maxLine);
    const std::vector<TExpected> expected = Split(text, maxLine);
    std::string_view line;
    for (size_t n = 0; n < expected.size(); ++n) {
        const tv::TLineReader::TStatus status = reader.Next(line);
        TVFUZZ_CHECK(status == (expected[n].tooLong ? tv::TLineReader::TStatus::TooLong
                                                    : tv::TLineReader::TStatus::Line),
                     std::to_string(n));
        TVFUZZ_CHECK(reader.LineNumber() == n + 1, std::to_string(n));
        if (!expected[n].tooLong) {
            TVFUZZ_CHECK(line == expected[n].line, line);
        }
    }
    TVFUZZ_CHECK(reader.Next(line) == tv::TLineReader::TStatus::End, "");
    TVFUZZ_CHECK(reader.Next(line) == tv::TLineReader::TStatus::End, "");
    return 0;
}
