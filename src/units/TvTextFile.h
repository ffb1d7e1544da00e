#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tv {

// Reads a whole data file and returns its text in UTF-8. A file that begins with the UTF-8
// byte-order mark is UTF-8 (the mark dropped); a file without it that is valid UTF-8 is taken as
// it is (ASCII reads the same either way); any other file is decoded from CP932. Invalid bytes
// never fail the read; they decode to U+FFFD. Returns nullopt when the file cannot be opened or
// read.
std::optional<std::string> ReadDataFile(const std::string& path);

// Decodes CP932 bytes to UTF-8 with glibc iconv; invalid bytes become U+FFFD.
std::string DecodeCp932(std::string_view bytes);

// Encodes UTF-8 text to CP932; characters without a CP932 form become "?".
std::string EncodeCp932(std::string_view utf8);

// Reads a text line by line by the rules of SplitLines, without building a list.
class TLineCursor {
public:
    explicit TLineCursor(std::string_view text) : text_(text.substr(0, text.find('\0'))) {}
    // Sets line to the next line; false after the last one.
    bool Next(std::string_view& line);
    // Byte offset where the next line begins.
    size_t Offset() const { return pos_; }

private:
    std::string_view text_;
    size_t pos_ = 0;
};

// Splits a text into lines at CR LF, lone CR and lone LF. A NUL ends the text; a line break at
// the very end adds no empty line. The views point into text.
std::vector<std::string_view> SplitLines(std::string_view text);

} // namespace tv
