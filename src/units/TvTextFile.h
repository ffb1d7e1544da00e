#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tv {

// The largest data file read; no real units file comes near it.
inline constexpr size_t kMaxDataFileBytes = size_t{64} << 20;

// Why a data file was not read, beyond its not opening or a read error.
inline constexpr const char* kMsgNotRegularFile = "通常のファイルではないため読み込めません";
inline constexpr const char* kMsgFileTooLarge = "ファイルが 64 MiB を超えるため読み込めません";

// Reads a whole data file and returns its text in UTF-8. A file that begins with the UTF-8
// byte-order mark is UTF-8 (the mark dropped); a file without it that is valid UTF-8 is taken as
// it is (ASCII reads the same either way); any other file is decoded from CP932. Invalid bytes
// never fail the read; they decode to U+FFFD. Only a regular file of at most kMaxDataFileBytes
// is read, and opening it never blocks (a FIFO, a device). Returns nullopt when the file cannot
// be opened or read; reason, when given, is then kMsgNotRegularFile, kMsgFileTooLarge, or empty
// for any other failure.
std::optional<std::string> ReadDataFile(const std::string& path, std::string* reason = nullptr);

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
