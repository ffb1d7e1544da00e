#include "units/TvTextFile.h"
#include "TvHangGuard.h"
#include "TvTestFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace tv {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using namespace std::string_view_literals;

struct TSplitRow {
    const char* name;
    std::string text;
    std::vector<std::string> lines;
};

TEST(SplitLinesTest, BreaksAndEnds) {
    const std::vector<TSplitRow> rows = {
        {"empty text", "", {}},
        {"one line without break", "a", {"a"}},
        {"trailing LF adds no line", "a\n", {"a"}},
        {"trailing CR LF adds no line", "a\r\n", {"a"}},
        {"lone break is one empty line", "\n", {""}},
        {"CR LF is one break", "a\r\nb", {"a", "b"}},
        {"lone CR", "a\rb", {"a", "b"}},
        {"lone LF", "a\nb", {"a", "b"}},
        {"LF CR is two breaks", "a\n\rb", {"a", "", "b"}},
        {"CR CR LF is two breaks", "a\r\r\nb", {"a", "", "b"}},
        {"two trailing breaks keep one empty line", "a\n\n", {"a", ""}},
        {"blanks kept", " a \t\r\n\t", {" a \t", "\t"}},
        {"NUL ends the text", "a\nb\0c\nd"s, {"a", "b"}},
        {"NUL first gives nothing", "\0a"s, {}},
    };
    for (const TSplitRow& row : rows) {
        SCOPED_TRACE(row.name);
        const std::vector<std::string_view> got = SplitLines(row.text);
        EXPECT_EQ(std::vector<std::string>(got.begin(), got.end()), row.lines);
    }
}

struct TDecodeRow {
    const char* name;
    std::string bytes;
    std::string utf8;
};

TEST(Cp932Test, Decodes) {
    const std::vector<TDecodeRow> rows = {
        {"ASCII", "m,$i*1000,$t/1000,", "m,$i*1000,$t/1000,"},
        {"backslash and tilde stay ASCII", "\\~", "\\~"},
        {"second byte 0x5C", "\x95\x5C\x83\x5C", "表ソ"},
        {"second byte 0x7C", "\x83\x7C", "ポ"},
        {"group name", "\x92\xB7\x82\xB3", "長さ"},
        {"half-width katakana", "\xB1\xDD", "ｱﾝ"},
        {"NEC special", "\x87\x40", "①"},
        {"IBM extension", "\xFA\x40", "ⅰ"},
        {"invalid single byte", "a\xA0z", "a\uFFFDz"},
        {"lead byte before ASCII keeps the ASCII", "\x81 x", "\uFFFD x"},
        {"lead byte cut off at the end", "ab\x81", "ab\uFFFD"},
        {"invalid pair keeps going", "\x85\x40\x95\x5C", "\uFFFD@表"},
        {"NUL passes through", "a\0b"s, "a\0b"s},
    };
    for (const TDecodeRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(DecodeCp932(row.bytes), row.utf8);
    }
}

TEST(Cp932Test, EncodesAndMarksWhatItCannot) {
    EXPECT_EQ(EncodeCp932("長さ,表ポ\\"), "\x92\xB7\x82\xB3,\x95\x5C\x83\x7C\\");
    EXPECT_EQ(EncodeCp932("a😀b"), "a?b");
    EXPECT_EQ(EncodeCp932("a\xFF"
                          "b"),
              "a?b");
    const std::string text = "集団 ｶﾅ ① \"<<\\d\"";
    EXPECT_EQ(DecodeCp932(EncodeCp932(text)), text);
}

class ReadDataFileTest : public test::TTempFolderTest {};

// With the mark a file is UTF-8; without it, a file that is valid UTF-8 is UTF-8 and any other
// is CP932. Real CP932 text almost never passes as UTF-8: its common lead bytes 0x81-0x9F can
// only continue a UTF-8 sequence; only some runs of half-width katakana can.
TEST_F(ReadDataFileTest, ChoosesTheEncoding) {
    struct TRow {
        const char* name;
        std::string bytes;
        std::string text;
    };
    const std::vector<TRow> rows = {
        {"empty file", "", ""},
        {"ASCII", "m,$i,$t,\\~\r\n", "m,$i,$t,\\~\r\n"},
        {"CP932", "\x92\xB7\x82\xB3\r\n\x95\x5C", "長さ\r\n表"},
        {"CP932 second byte 0x5C", "\x83\x5C\x95\x5C\x94\x5C,\\", "ソ表能,\\"},
        {"UTF-8 without mark", "長さ\n\"°F\",µ\n", "長さ\n\"°F\",µ\n"},
        {"UTF-8 then a CP932 byte is CP932 throughout", "\xC3\xB1\x82\xA0", "ﾃｱあ"},
        {"half-width katakana that happen to be UTF-8", "\xC3\xB1,\xC4\xB3", "ñ,ĳ"},
        {"UTF-8 cut off at the end is CP932", "a\xE9\x95", "a\u9ADF"},
        {"UTF-8 mark dropped", "\xEF\xBB\xBF長さ\n", "長さ\n"},
        {"mark only", "\xEF\xBB\xBF", ""},
        {"lead byte cut off at the end", "ab\x81", "ab\uFFFD"},
        {"bad UTF-8 after mark",
         "\xEF\xBB\xBF"
         "a\xC3(\xED\xA0\x80\xF4\x90\x80\x80z",
         "a\uFFFD(\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFDz"},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.name);
        const std::optional<std::string> text = ReadDataFile(WriteBytes("data.dat", row.bytes));
        ASSERT_TRUE(text.has_value());
        EXPECT_EQ(*text, row.text);
    }
}

TEST_F(ReadDataFileTest, EncodingDecidedOverTheWholeFile) {
    // Files are read in pieces of 64 KiB: a UTF-8 character may straddle two, and the byte that
    // rules UTF-8 out may come long after bytes that looked like it.
    const std::string ascii(65535, 'a');
    struct TRow {
        const char* name;
        std::string bytes;
        std::string text;
    };
    const std::vector<TRow> rows = {
        {"UTF-8 across pieces", ascii + "長さ", ascii + "長さ"},
        {"CP932 byte in a later piece", "\xC3\xB1" + ascii + "\x95\x5C", "ﾃｱ" + ascii + "表"},
        {"CP932 lead byte ends a piece", "\xC3\xB1" + ascii.substr(2) + "\x95\x5C",
         "ﾃｱ" + ascii.substr(2) + "表"},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.name);
        const std::optional<std::string> text = ReadDataFile(WriteBytes("data.dat", row.bytes));
        ASSERT_TRUE(text.has_value());
        EXPECT_EQ(*text, row.text);
    }
}

TEST_F(ReadDataFileTest, DoubleByteCharacterAcrossReadPieces) {
    // Files are read in pieces of 64 KiB; the lead byte may end one piece.
    for (const size_t pad : {65534U, 65535U, 65536U, 131071U}) {
        SCOPED_TRACE(pad);
        const std::string ascii(pad, 'a');
        const std::optional<std::string> text =
            ReadDataFile(WriteBytes("data.dat", ascii + "\x95\x5C\x83\x7Cz"));
        ASSERT_TRUE(text.has_value());
        EXPECT_EQ(*text, ascii + "表ポz");
    }
}

TEST_F(ReadDataFileTest, LargeFileReadWhole) {
    std::string bytes;
    for (int i = 0; i < 200000; ++i) {
        bytes += "\x95\x5C" + std::to_string(i) + "\r\n";
    }
    const std::optional<std::string> text = ReadDataFile(WriteBytes("big.dat", bytes));
    ASSERT_TRUE(text.has_value());
    const std::vector<std::string_view> lines = SplitLines(*text);
    ASSERT_EQ(lines.size(), 200000U);
    EXPECT_EQ(lines.front(), "表0");
    EXPECT_EQ(lines.back(), "表199999");
}

// Only a regular file up to the limit is read, and opening never waits: a FIFO without a
// writer would block for ever, /dev/zero would never end.
TEST_F(ReadDataFileTest, ReadsOnlyRegularFilesUpToTheLimit) {
    struct TRow {
        const char* name;
        std::string path;
        std::string reason; // empty: read
    };
    ASSERT_EQ(mkfifo((Folder() + "fifo.dat").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", Folder() + "zero.dat");
    // Sparse files: their size costs no disk.
    fs::resize_file(WriteBytes("limit.dat", ""), kMaxDataFileBytes);
    fs::resize_file(WriteBytes("over.dat", ""), kMaxDataFileBytes + 1);
    const std::vector<TRow> rows = {
        {"missing file", Folder() + "missing.dat", ""},
        {"folder", Folder(), kMsgNotRegularFile},
        {"FIFO without a writer", Folder() + "fifo.dat", kMsgNotRegularFile},
        {"link to /dev/zero", Folder() + "zero.dat", kMsgNotRegularFile},
        {"one byte over the limit", Folder() + "over.dat", kMsgFileTooLarge},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.name);
        std::string reason = "unset";
        const std::optional<std::string> text = test::WithinDeadline(
            [&] { return ReadDataFile(row.path, &reason); }, test::OpenFifoWriter(row.path));
        EXPECT_FALSE(text.has_value());
        EXPECT_EQ(reason, row.reason);
    }
    const std::optional<std::string> limit = ReadDataFile(Folder() + "limit.dat");
    ASSERT_TRUE(limit.has_value());
    EXPECT_EQ(limit->size(), kMaxDataFileBytes);
}

} // namespace
} // namespace tv
