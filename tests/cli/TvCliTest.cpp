#include "TvAllocationLimit.h"
#include "TvCliFixture.h"
#include "TvHangGuard.h"

#include "units/TvUnitsFile.h"
#include "units/TvUserData.h"

#include <gmock/gmock.h>

#include <cctype>
#include <cerrno>
#include <charconv>
#include <streambuf>
#include <sys/stat.h>
#include <system_error>

namespace tv::test {
namespace {

using ::testing::HasSubstr;
using ::testing::MatchesRegex;
using ::testing::StartsWith;

constexpr std::string_view kUnits = ">>\n"
                                    "長さ\n"
                                    "m,$i,$t,\n"
                                    "km,$i*1000,$t/1000,\n"
                                    "<<\n"
                                    ">>\n"
                                    "温度\n"
                                    "℃,$i+273.15,$t-273.15,\n"
                                    "K,$i,$t,\n"
                                    "<<\n"
                                    ">>\n"
                                    "特殊\n"
                                    "a,$i,$t,\n"
                                    "root,$i,$t^0.5,\n"
                                    "zero,$i,$t/0,\n"
                                    "d,$i,$t*2,\n"
                                    "<<\n"
                                    ">>\n"
                                    "重複\n"
                                    "x,$i,$t,\n"
                                    "x,$i*2,$t/2,\n"
                                    "<<\n"
                                    "<<\\d\n"
                                    "free text after the end of the data\n";

constexpr std::string_view kPrefixes = "k,1000\nm,0.001\n";

constexpr std::string_view kUnitsLoadBox = "単位データの読み込みに失敗しました。\n"
                                           "Tenvariを終了します。\n"
                                           "\n"
                                           "\"units.dat\" の有無をご確認ください。\n";

constexpr std::string_view kPrefixWarning = "接頭辞データの読み込みに失敗しました。\n"
                                            "\n"
                                            "入力における接頭辞の使用が不可となります。\n";

class CliTest : public TCliTest {
protected:
    void SetUp() override {
        TCliTest::SetUp();
        WriteData("units.dat", kUnits);
        WriteData("prefix.dat", kPrefixes);
    }
};

TEST_F(CliTest, CommandsWriteTheirReports) {
    const std::vector<TOutputRow> rows = {
        {"groups", {"groups"}, "0\t長さ\n1\t温度\n2\t特殊\n3\t重複\n"},
        {"units by name", {"units", "温度"}, "0\t℃\n1\tK\n"},
        {"units by index", {"units", "#1"}, "0\t℃\n1\tK\n"},
        {"eval precedence", {"eval", "1+2*3"}, "7\n"},
        {"eval general notation", {"eval", "1/3"}, "0.333333333333333333\n"},
        {"eval full-width text", {"eval", "１＋１"}, "2\n"},
        {"eval empty text is zero", {"eval", ""}, "0\n"},
        {"eval prefix", {"eval", "5k"}, "5000\n"},
        {"convert by names", {"convert", "長さ", "km", "m", "2.5"}, "2.5 [km] => 2500 [m]\n"},
        {"convert by indices", {"convert", "#0", "#1", "#0", "2.5"}, "2.5 [km] => 2500 [m]\n"},
        {"convert through an offset",
         {"convert", "温度", "℃", "K", "25"},
         "25 [℃] => 298.15 [K]\n"},
        {"convert empty value is zero", {"convert", "長さ", "km", "m", ""}, "0 [km] => 0 [m]\n"},
        {"convert keeps the input as typed",
         {"convert", "長さ", "m", "km", "5k"},
         "5k [m] => 5 [km]\n"},
        {"show-exp formula line",
         {"--show-exp", "convert", "長さ", "km", "m", "2.5"},
         "2.5 [km] => 2500 [m]\n\tResult = (2.5*1000)\n"},
        {"show-exp same unit",
         {"--show-exp", "convert", "長さ", "m", "m", "1+1"},
         "1+1 [m] => 2 [m]\n\t同じ単位のため変換を行っていません。\n"},
        {"options after the command, negative value",
         {"convert", "長さ", "km", "m", "-2", "--show-exp"},
         "-2 [km] => -2000 [m]\n\tResult = (-2*1000)\n"},
        {"show-ans 1 exponent notation",
         {"--show-ans", "1", "convert", "長さ", "m", "km", "12345"},
         "12345 [m] => 1.23E+01 [km]\n"},
        {"show-ans 2 digit grouping",
         {"--show-ans=2", "convert", "長さ", "km", "m", "1234567.5"},
         "1234567.5 [km] => 1,234,567,500 [m]\n"},
        {"equal names resolve to the first",
         {"convert", "重複", "x", "x", "4"},
         "4 [x] => 4 [x]\n"},
        {"index reaches a later equal name",
         {"convert", "重複", "x", "#1", "4"},
         "4 [x] => 2 [x]\n"},
        {"all, source unit included",
         {"all", "長さ", "m", "1"},
         "1 [m] => 1 [m]\n1 [m] => 0.001 [km]\n"},
        {"all with formula lines",
         {"--show-exp", "all", "長さ", "km", "3"},
         "3 [km] => 3000 [m]\n\tResult = (3*1000)\n3 [km] => 3 [km]\n"
         "\t同じ単位のため変換を行っていません。\n"},
        {"base", {"base", "10", "16", "255"}, "255 (10) => FF (16)\n"},
        {"base empty digits are zero", {"base", "16", "2", ""}, "0 (16) => 0 (2)\n"},
        {"base equal texts copy the digits",
         {"base", "10", "10", "0010"},
         "0010 (10) => 0010 (10)\n"},
        {"base largest value",
         {"base", "10", "16", "9223372036854775807"},
         "9223372036854775807 (10) => 7FFFFFFFFFFFFFFF (16)\n"},
    };
    ExpectRuns(rows);
}

TEST_F(CliTest, BaseAllWritesEveryBaseFromTwoTo36) {
    std::string expected;
    for (int base = 2; base <= 36; ++base) {
        char digits[70] = {};
        const auto result = std::to_chars(digits, digits + sizeof digits, 255, base);
        std::string text(digits, result.ptr);
        for (char& c : text) {
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        expected +=
            "FF (16) => " + (base == 16 ? "FF" : text) + " (" + std::to_string(base) + ")\n";
    }
    const TCliRun run = Run({"base-all", "16", "FF"});
    EXPECT_EQ(run.Status, kExitOk);
    EXPECT_EQ(run.Out, expected);
    EXPECT_EQ(run.Err, "");
}

// A failing conversion shows what the window would show and exits 1; a batch reports each unit
// that fails the way a conversion reports it and goes on, but stops at any other failure.
TEST_F(CliTest, FailuresShowTheWindowsTexts) {
    const std::string tooLarge = "9223372036854775808";
    const std::string baseAllOut = tooLarge + " (10) => " + tooLarge + " (10)\n";
    std::string baseAllErr;
    for (int i = 0; i < 34; ++i) {
        baseAllErr += "Convert Error.\n";
    }
    const std::vector<TFailureRow> rows = {
        {"not an expression", {"convert", "長さ", "m", "km", "abc"}, "Convert Error.\n"},
        {"unknown prefix", {"eval", "5Q"}, "Convert Error.\n"},
        {"division by zero", {"eval", "1/0"}, "ZeroDivide Error.\n"},
        {"overflow", {"eval", "1E4000*1E4000"}, "OverFlow Error.\n"},
        {"invalid operation shows the error box text",
         {"eval", "(-8)^(1/3)"},
         "不正な浮動小数点数演算命令.\n"},
        {"failure in the target formula",
         {"convert", "特殊", "a", "zero", "1"},
         "ZeroDivide Error.\n"},
        {"base value beyond 2^63-1",
         {"base", "10", "16", "9223372036854775808"},
         "Convert Error.\n"},
        {"batch goes on after a reported failure",
         {"all", "特殊", "a", "4"},
         "ZeroDivide Error.\n",
         "4 [a] => 4 [a]\n4 [a] => 2 [root]\n4 [a] => 8 [d]\n"},
        {"batch stops at any other failure",
         {"all", "特殊", "a", "-4"},
         "不正な浮動小数点数演算命令.\n"},
        {"base batch with a value beyond 2^63-1",
         {"base-all", "10", tooLarge},
         baseAllErr,
         baseAllOut},
    };
    ExpectFailures(rows, kExitFailed);
}

TEST_F(CliTest, UsageErrorsExitTwoWithAClearMessage) {
    const std::vector<TFailureRow> rows = {
        {"unknown command", {"frobnicate"}, "tenvari-cli: unknown command frobnicate\n"},
        {"unknown option", {"--frob", "groups"}, "tenvari-cli: unknown option --frob\n"},
        {"missing arguments",
         {"convert", "長さ", "m"},
         "tenvari-cli: convert takes [GROUP] FROM TO VALUE\n"},
        {"extra arguments", {"groups", "長さ"}, "tenvari-cli: groups takes no arguments\n"},
        {"display mode out of range",
         {"--show-ans", "3", "eval", "1"},
         "tenvari-cli: --show-ans takes 0, 1 or 2\n"},
        {"option without its value",
         {"eval", "1", "--show-ans"},
         "tenvari-cli: --show-ans needs a value\n"},
        {"unknown group",
         {"units", "面積"},
         "tenvari-cli: no group named \"面積\" (tenvari-cli groups lists them)\n"},
        {"group index beyond the groups",
         {"units", "#4"},
         "tenvari-cli: no group #4: there are 4 groups\n"},
        {"huge group index",
         {"units", "#99999999999999999999999"},
         "tenvari-cli: no group #99999999999999999999999: there are 4 groups\n"},
        {"unknown unit",
         {"convert", "長さ", "m", "mile", "1"},
         "tenvari-cli: no unit named \"mile\" in group \"長さ\" (tenvari-cli units lists them)\n"},
        {"unit index beyond the group",
         {"all", "長さ", "#2", "1"},
         "tenvari-cli: no unit #2 in group \"長さ\": it has 2 units\n"},
    };
    for (const TFailureRow& row : rows) {
        SCOPED_TRACE(row.Name);
        const TCliRun run = Run(row.Args);
        EXPECT_EQ(run.Status, kExitUsage);
        // The first line names the fault; argument faults add the usage after it.
        EXPECT_EQ(run.Err.substr(0, run.Err.find('\n') + 1), row.Err);
        EXPECT_EQ(run.Out, "");
    }
    const TCliRun bare = RunWords({"tenvari-cli"});
    EXPECT_EQ(bare.Status, kExitUsage);
    EXPECT_THAT(bare.Err, StartsWith("usage: tenvari-cli [--data DIR]"));
    const TCliRun help = RunWords({"tenvari-cli", "--help"});
    EXPECT_EQ(help.Status, kExitOk);
    EXPECT_THAT(help.Out, HasSubstr("  base-all FROM DIGITS"));
    // Answered before any data is read, as --help is.
    const TCliRun version = RunWords({"tenvari-cli", "--data", "/nonexistent", "--version"});
    EXPECT_EQ(version.Status, kExitOk);
    EXPECT_THAT(version.Out, MatchesRegex("tenvari-cli \\(Tenvari\\) [0-9]+\\.[0-9]+\\.[0-9]+\n"));
    EXPECT_EQ(version.Err, "");
}

TEST_F(CliTest, UnitsFileThatFailsExitsThreeWithTheErrorBoxAndItsLine) {
    WriteData("units.dat", ">>\n長さ\nm,$i,$t,\nkm $i*1000\n<<\n");
    TUnits units;
    ASSERT_FALSE(units.LoadFromFile(Folder() + "units.dat"));
    ASSERT_EQ(units.LastError().Line, 3);

    const TCliRun run = Run({"convert", "長さ", "m", "m", "1"});
    EXPECT_EQ(run.Status, kExitUnitsLoad);
    EXPECT_EQ(run.Err, std::string(kUnitsLoadBox) + Folder() +
                           "units.dat:4: " + units.LastError().Reason + "\n");
    EXPECT_EQ(run.Out, "");

    std::filesystem::remove(Folder() + "units.dat");
    const TCliRun missing = Run({"groups"});
    EXPECT_EQ(missing.Status, kExitUnitsLoad);
    EXPECT_THAT(missing.Err, StartsWith(std::string(kUnitsLoadBox) + Folder() + "units.dat: "));
}

TEST_F(CliTest, PrefixFileThatFailsWarnsAndTurnsPrefixesOff) {
    WriteData("prefix.dat", "k,1000\nM\n");
    TPrefixes prefixes;
    ASSERT_FALSE(prefixes.LoadFromFile(Folder() + "prefix.dat"));
    const std::string warning = std::string(kPrefixWarning) + Folder() +
                                "prefix.dat:2: " + prefixes.LastError().Reason + "\n";

    const TCliRun plain = Run({"convert", "長さ", "km", "m", "2e3"});
    EXPECT_EQ(plain.Status, kExitOk);
    EXPECT_EQ(plain.Out, "2e3 [km] => 2000000 [m]\n");
    EXPECT_EQ(plain.Err, warning);

    const TCliRun prefixed = Run({"eval", "5k"});
    EXPECT_EQ(prefixed.Status, kExitFailed);
    EXPECT_EQ(prefixed.Out, "");
    EXPECT_EQ(prefixed.Err, warning + "Convert Error.\n");
}

TEST_F(CliTest, StreamConvertsEachLineAndGoesOnAfterAFailure) {
    const std::string input = "1\n2k\r\nabc\n\n1E4000*1E4000\n-3\r\n0.5";
    const TCliRun run = Run({"convert", "長さ", "km", "m", "-"}, input);
    EXPECT_EQ(run.Status, kExitFailed);
    EXPECT_EQ(run.Out, "1 [km] => 1000 [m]\n"
                       "2k [km] => 2000000 [m]\n"
                       "0 [km] => 0 [m]\n"
                       "-3 [km] => -3000 [m]\n"
                       "0.5 [km] => 500 [m]\n");
    EXPECT_EQ(run.Err, "Convert Error.\nOverFlow Error.\n");

    const TCliRun withFormulas =
        Run({"--show-exp", "convert", "温度", "K", "℃", "-"}, "273.15\n300\n");
    EXPECT_EQ(withFormulas.Status, kExitOk);
    EXPECT_EQ(withFormulas.Out, "273.15 [K] => 0 [℃]\n\tResult = (273.15)-273.15\n"
                                "300 [K] => 26.85 [℃]\n\tResult = (300)-273.15\n");
    EXPECT_EQ(withFormulas.Err, "");
}

// A line beyond 1 MiB is skipped with its number and reading goes on; a line of exactly 1 MiB
// (its CR LF aside) is converted.
TEST_F(CliTest, StreamSkipsLinesBeyondTheLimit) {
    const size_t limit = size_t{1} << 20;
    const std::string longest = std::string(limit - 1, '0') + "2";
    const std::string input = "1\n" + std::string(limit + 1, '7') + "\n2\n" + longest + "\r\n3\n" +
                              std::string(limit + 1, '7');
    const TCliRun run = Run({"convert", "長さ", "km", "m", "-"}, input);
    EXPECT_EQ(run.Status, kExitFailed);
    EXPECT_EQ(run.Out, "1 [km] => 1000 [m]\n2 [km] => 2000 [m]\n" + longest +
                           " [km] => 2000 [m]\n3 [km] => 3000 [m]\n");
    EXPECT_EQ(run.Err, "tenvari-cli: line 2 of standard input is longer than 1048576 bytes; it "
                       "is skipped\n"
                       "tenvari-cli: line 6 of standard input is longer than 1048576 bytes; it "
                       "is skipped\n");
}

// A stream buffer that delivers its text, then fails as a disk or a pipe can.
class TFailingInput : public std::streambuf {
public:
    explicit TFailingInput(std::string text, int error) : text_(std::move(text)), error_(error) {}

protected:
    int_type underflow() override {
        if (!delivered_) {
            delivered_ = true;
            setg(text_.data(), text_.data(), text_.data() + text_.size());
            return traits_type::to_int_type(text_[0]);
        }
        throw std::system_error(error_, std::generic_category(), "read");
    }

private:
    std::string text_;
    int error_;
    bool delivered_ = false;
};

// A read error or a buffer that cannot be had ends the stream with a message and status 1; it
// is never taken for the end of the input.
TEST_F(CliTest, StreamReadFailuresAreReportedNotTakenForTheEnd) {
    std::vector<std::string> words = {"tenvari-cli", "--data", Folder(), "convert",
                                      "長さ",        "km",     "m",      "-"};
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    const auto run = [&](std::streambuf& input) {
        std::ostringstream out;
        std::ostringstream err;
        std::istream in(&input);
        const int status = RunCli(static_cast<int>(argv.size()), argv.data(), out, err, in);
        return TCliRun{status, out.str(), err.str()};
    };
    TFailingInput failing("1\n2\n3", EIO);
    const TCliRun readError = run(failing);
    EXPECT_EQ(readError.Status, kExitFailed);
    EXPECT_EQ(readError.Out, "1 [km] => 1000 [m]\n2 [km] => 2000 [m]\n");
    EXPECT_EQ(readError.Err, "tenvari-cli: cannot read standard input: Input/output error\n");

    std::stringbuf plenty("1\n");
    const TAllocationLimit limit(512 << 10);
    const TCliRun noBuffer = run(plenty);
    EXPECT_EQ(noBuffer.Status, kExitFailed);
    EXPECT_EQ(noBuffer.Out, "");
    EXPECT_EQ(noBuffer.Err, "メモリが足りません.\n");
}

// --help anywhere before "--" shows the help, whatever else the line holds.
TEST_F(CliTest, HelpAnywhereOnTheLine) {
    const std::vector<std::vector<std::string>> helps = {
        {"groups", "--help"},
        {"convert", "長さ", "m", "-h"},
        {"--show-ans", "7", "--help"},
        {"frobnicate", "--help", "--"},
    };
    for (const auto& args : helps) {
        SCOPED_TRACE(args.front() + " " + args[1]);
        const TCliRun run = Run(args);
        EXPECT_EQ(run.Status, kExitOk);
        EXPECT_THAT(run.Out, StartsWith("usage: tenvari-cli [--data DIR]"));
        EXPECT_EQ(run.Err, "");
    }
    const TCliRun value = Run({"eval", "--", "--help"});
    EXPECT_EQ(value.Status, kExitFailed);
    EXPECT_EQ(value.Err, "Convert Error.\n");
}

constexpr std::string_view kNamedUnits = ">>\n"
                                         "長さ\n"
                                         "\"メートル [m]\",$i,$t,\n"
                                         "\"フィート [ft]\",$i*0.3048,$t/0.3048,\n"
                                         "\"パイカ [pc]\",$i*0.0254/6,$t*6/0.0254,\n"
                                         "\"パーセク [pc]\",$i*3.0857E16,$t/3.0857E16,\n"
                                         "<<\n"
                                         ">>\n"
                                         "面積\n"
                                         "\"平方メートル [m2]\",$i,$t,\n"
                                         "坪,$i*400/121,$t*121/400,\n"
                                         "<<\n";

class CliNamesTest : public TCliTest {
protected:
    void SetUp() override {
        TCliTest::SetUp();
        WriteData("units.dat", kNamedUnits);
        WriteData("prefix.dat", kPrefixes);
    }
};

// FROM and TO by exact name, symbol or bare name; GROUP may be left out when one group holds
// both. The form is chosen by the number of arguments only.
TEST_F(CliNamesTest, UnitsByNameSymbolOrBareNameWithOrWithoutGroup) {
    const std::string feet = "10 [フィート [ft]] => 3.048 [メートル [m]]\n";
    const std::string tsubo = "1 [坪] => 3.30578512396694215 [平方メートル [m2]]\n";
    const std::vector<TOutputRow> rows = {
        {"exact names", {"convert", "長さ", "フィート [ft]", "メートル [m]", "10"}, feet},
        {"symbols", {"convert", "長さ", "ft", "m", "10"}, feet},
        {"bare names", {"convert", "長さ", "フィート", "メートル", "10"}, feet},
        {"without GROUP", {"convert", "ft", "m", "10"}, feet},
        {"name without brackets", {"convert", "坪", "m2", "1"}, tsubo},
        {"all without GROUP", {"all", "坪", "1"}, tsubo + "1 [坪] => 1 [坪]\n"},
        {"the bare name of a unit whose symbol is shared",
         {"convert", "パイカ", "m", "6"},
         "6 [パイカ [pc]] => 0.0254 [メートル [m]]\n"},
    };
    ExpectRuns(rows);
    const TCliRun stream = Run({"convert", "ft", "m", "-"}, "1\n2\n");
    EXPECT_EQ(stream.Out, "1 [フィート [ft]] => 0.3048 [メートル [m]]\n"
                          "2 [フィート [ft]] => 0.6096 [メートル [m]]\n");
}

TEST_F(CliNamesTest, NamesThatMeanNoneOrSeveralUnitsAreUsageErrors) {
    const std::string pc =
        "tenvari-cli: \"pc\" names more than one unit of group \"長さ\"; give its "
        "full name or #N:\n  #2\tパイカ [pc]\n  #3\tパーセク [pc]\n";
    const std::vector<TFailureRow> rows = {
        {"ambiguous symbol", {"convert", "長さ", "pc", "m", "1"}, pc},
        {"ambiguous symbol without GROUP", {"convert", "m", "pc", "1"}, pc},
        {"no group holds both",
         {"convert", "ft", "m2", "1"},
         "tenvari-cli: no group holds both \"ft\" and \"m2\" (tenvari-cli find TEXT searches the "
         "units)\n"},
        {"VALUE left out",
         {"convert", "長さ", "ft", "m"},
         "tenvari-cli: no group holds both \"長さ\" and \"ft\" (is VALUE missing? convert takes "
         "[GROUP] FROM TO VALUE)\n"},
        {"unknown unit for all",
         {"all", "mile", "1"},
         "tenvari-cli: no group holds a unit named \"mile\" (tenvari-cli find TEXT searches the "
         "units)\n"},
        {"index without GROUP",
         {"convert", "#1", "m", "1"},
         "tenvari-cli: a unit given as #1 needs its GROUP\n"},
    };
    ExpectFailures(rows, kExitUsage);
    const TCliRun arity = Run({"all", "m"});
    EXPECT_EQ(arity.Status, kExitUsage);
    EXPECT_THAT(arity.Err, StartsWith("tenvari-cli: all takes [GROUP] FROM VALUE\nusage:"));
}

TEST_F(CliNamesTest, FindListsHitsFromEveryGroup) {
    const std::vector<TOutputRow> rows = {
        {"names starting with the filter first",
         {"find", "ﾒｰﾄﾙ"},
         "長さ\tメートル [m]\n面積\t平方メートル [m2]\n"},
        {"full-width, case ignored", {"find", "Ｍ２"}, "面積\t平方メートル [m2]\n"},
        {"hiragana", {"find", "ぱ"}, "長さ\tパイカ [pc]\n長さ\tパーセク [pc]\n"},
        {"every unit",
         {"find", ""},
         "長さ\tメートル [m]\n長さ\tフィート [ft]\n長さ\tパイカ [pc]\n"
         "長さ\tパーセク [pc]\n面積\t平方メートル [m2]\n面積\t坪\n"},
        {"no hit", {"find", "mile"}, ""},
    };
    ExpectRuns(rows);
}

// The user's files, UTF-8 without a mark as an editor writes them, add to the shipped data.
TEST_F(CliNamesTest, UserDataAddsUnitsAndPrefixesUnlessSkipped) {
    WriteUserData("units.dat", ">>\n長さ\n\"尋 [hiro]\",$i*20/11,$t*11/20,\"6 尺\"\n<<\n"
                               ">>\n私の長さ\n\"メートル [m]\",$i,$t,\n<<\n");
    WriteUserData("prefix.dat", "Q,1E30\nk,5\n");
    const std::vector<TOutputRow> rows = {
        {"groups after the shipped ones", {"groups"}, "0\t長さ\n1\t面積\n2\t私の長さ\n"},
        {"units after the shipped ones",
         {"units", "長さ"},
         "0\tメートル [m]\n1\tフィート [ft]\n2\tパイカ [pc]\n3\tパーセク [pc]\n4\t尋 [hiro]\n"},
        {"converts without GROUP",
         {"convert", "hiro", "m", "11"},
         "11 [尋 [hiro]] => 20 [メートル [m]]\n"},
        {"user prefix", {"eval", "2Q"}, "2E30\n"},
        {"shipped prefix wins", {"eval", "2k"}, "2000\n"},
        {"found", {"find", "hiro"}, "長さ\t尋 [hiro]\n"},
        {"skipped", {"--no-user-data", "groups"}, "0\t長さ\n1\t面積\n"},
    };
    ExpectRuns(rows);
    const TCliRun twoGroups = Run({"all", "m", "1"});
    EXPECT_EQ(twoGroups.Status, kExitUsage);
    EXPECT_EQ(twoGroups.Err, "tenvari-cli: more than one group holds \"m\"; give the GROUP:\n"
                             "  #0\t長さ\n  #2\t私の長さ\n");
    EXPECT_EQ(Run({"--no-user-data", "eval", "2Q"}).Err, "Convert Error.\n");
}

TEST_F(CliNamesTest, BrokenUserFilesWarnAndLeaveTheShippedDataUsable) {
    WriteUserData("units.dat",
                  ">>\n長さ\n\"尋 [hiro]\",$i*20/11,$t*11/20,\n<<\n>>\n新\n空行の後\n\n<<\n");
    WriteUserData("prefix.dat", "Q,1E30\nR\n");
    TUnits units;
    ASSERT_FALSE(units.LoadFromFile(UserDir() + "units.dat"));
    TPrefixes prefixes;
    ASSERT_FALSE(prefixes.LoadFromFile(UserDir() + "prefix.dat"));

    const TCliRun run = Run({"convert", "ft", "m", "10"});
    EXPECT_EQ(run.Status, kExitOk);
    EXPECT_EQ(run.Out, "10 [フィート [ft]] => 3.048 [メートル [m]]\n");
    EXPECT_EQ(run.Err, "ユーザー単位データの読み込みに失敗しました。\n"
                       "ユーザー単位データを除いて続けます。\n" +
                           UserDir() + "units.dat:7: " + units.LastError().Reason +
                           "\n"
                           "ユーザー接頭辞データの読み込みに失敗しました。\n"
                           "ユーザー接頭辞データを除いて続けます。\n" +
                           UserDir() + "prefix.dat:2: " + prefixes.LastError().Reason + "\n");
    const TCliRun none = Run({"units", "長さ"});
    EXPECT_EQ(none.Out, "0\tメートル [m]\n1\tフィート [ft]\n2\tパイカ [pc]\n3\tパーセク [pc]\n");
}

// A user's file that is a FIFO fails at once, and one that leaves a group out says so, as the
// window's warnings do; the shipped data works either way.
TEST_F(CliNamesTest, UserFilesThatAreFifosOrLeaveUnitsOutWarn) {
    std::filesystem::create_directories(UserDir());
    const std::string fifo = UserDir() + "units.dat";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const TCliRun blocked = WithinDeadline(
        [&] {
            return Run({"convert", "ft", "m", "10"});
        },
        OpenFifoWriter(fifo));
    EXPECT_EQ(blocked.Status, kExitOk);
    EXPECT_EQ(blocked.Out, "10 [フィート [ft]] => 3.048 [メートル [m]]\n");
    EXPECT_EQ(blocked.Err, "ユーザー単位データの読み込みに失敗しました。\n"
                           "ユーザー単位データを除いて続けます。\n" +
                               fifo + ": 通常のファイルではないため読み込めません\n");
    std::filesystem::remove(fifo);

    WriteUserData("units.dat", ">>\n長さ\n尋,$i*20/11,$t*11/20,\n<<\n>>\n新\nx,$i,$t,\n");
    WriteUserData("prefix.dat", std::string("Q,1E30\n\0R,1\n", 13));
    const TCliRun partial = Run({"convert", "尋", "m", "1Q"});
    EXPECT_EQ(partial.Status, kExitOk);
    EXPECT_EQ(partial.Out, "1Q [尋] => 1.81818181818181818E30 [メートル [m]]\n");
    EXPECT_EQ(partial.Err,
              std::string(kMsgUserUnitsIncomplete) + "\n" + UserDir() +
                  "units.dat:5: 集団 \"新\" は終わり \"<<\" がないため読み込まれません\n" +
                  std::string(kMsgUserPrefixesIncomplete) + "\n" + UserDir() +
                  "prefix.dat:2: NUL 文字でテキストが終わるため、ここから後は読み込"
                  "まれません\n");
}

// --data at the user's own folder makes its files the shipped ones; they are not read twice.
TEST_F(CliNamesTest, UserFolderGivenAsDataIsReadOnce) {
    WriteUserData("units.dat", EncodeCp932(kNamedUnits));
    WriteUserData("prefix.dat", kPrefixes);
    const TCliRun units = RunWords({"tenvari-cli", "--data", UserDir(), "units", "面積"});
    EXPECT_EQ(units.Out, "0\t平方メートル [m2]\n1\t坪\n");
    const TCliRun check = RunWords({"tenvari-cli", "--data", UserDir(), "check"});
    EXPECT_EQ(check.Out,
              "0 errors, 0 warnings (units.dat: 2 groups, 6 units; prefix.dat: 2 prefixes)\n");
}

constexpr std::string_view kQueryUnits =
    ">>\n"
    "長さ\n"
    "\"メートル [m]\",$i,$t,\n"
    "\"センチメートル [cm]\",$i/100,$t*100,\n"
    "寸,$i/33,$t*33,,すん\n"
    "尺,$i*10/33,$t*33/10,,しゃく\n"
    "\"フィート [ft]\",$i*0.3048,$t/0.3048,\"12 in\",\"foot feet\"\n"
    "\"マイル [mi]\",$i*1609.344,$t/1609.344,,mile\n"
    "<<\n"
    ">>\n"
    "面積\n"
    "\"平方メートル [m2]\",$i,$t,\n"
    "坪,$i*400/121,$t*121/400,,\"つぼ tsubo\"\n"
    "<<\n"
    ">>\n"
    "時間\n"
    "\"秒 [s]\",$i,$t,\n"
    "\"時間 [h]\",$i*3600,$t/3600,\n"
    "<<\n"
    ">>\n"
    "角度\n"
    "\"時角 [h]\",$i*15,$t/15,\n"
    "\"分 [a]\",$i,$t,\n"
    "\"秒 [b]\",$i,$t,\n"
    "\"度 [c]\",$i,$t,\n"
    "\"点 [d]\",$i,$t,\n"
    "\"目 [e]\",$i,$t,\n"
    "<<\n"
    ">>\n"
    "温度\n"
    "\"ケルビン [K]\",$i,$t,\n"
    "\"セルシウス度 [℃]\",$i+273.15,$t-273.15,\n"
    "\"ファーレンハイト度 [°F]\",($i+459.67)*5/9,$t*9/5-459.67,\n"
    "<<\n";

class CliQueryTest : public TCliTest {
protected:
    void SetUp() override {
        TCliTest::SetUp();
        WriteData("units.dat", kQueryUnits);
        WriteData("prefix.dat", kPrefixes);
    }
};

TEST_F(CliQueryTest, ArgumentsThatAreNoCommandAreAQuery) {
    const std::vector<TOutputRow> rows = {
        {"words joined", {"5", "ft", "to", "m"}, "5 [フィート [ft]] => 1.524 [メートル [m]]\n"},
        {"one argument", {"1坪をm2に"}, "1 [坪] => 3.30578512396694215 [平方メートル [m2]]\n"},
        {"a sum",
         {"1 mile + 1 ft in m"},
         "1 [マイル [mi]] + 1 [フィート [ft]] => 1609.6488 [メートル [m]]\n"},
        {"a negative value first",
         {"-40", "°F", "to", "℃"},
         "-40 [ファーレンハイト度 [°F]] => -40 [セルシウス度 [℃]]\n"},
        {"the value only", {"--value", "5 ft to m"}, "1.524\n"},
        {"the value of a mixed target",
         {"1.6", "m", "を", "尺;寸", "--value"},
         "5 [尺] 2.8 [寸]\n"},
        {"without a target, every unit",
         {"--value", "1 m"},
         "1\n100\n33\n3.3\n3.28083989501312336\n0.00062137119223733397\n"},
        {"formula lines",
         {"--show-exp", "3 すん to cm"},
         "3 [寸] => 9.09090909090909091 [センチメートル [cm]]\n\tResult = (3/33)*100\n"},
        {"display mode",
         {"--show-ans", "2", "1000 mi to m"},
         "1000 [マイル [mi]] => 1,609,344 [メートル [m]]\n"},
    };
    ExpectRuns(rows);
}

TEST_F(CliQueryTest, QueryFaultsExitTwoNamingTheText) {
    // Every name of one character is one edit from "q"; the first five in file order.
    const std::string nearest = "tenvari-cli: 単位「q」が見つかりません\n"
                                "長さ\tメートル [m]\n長さ\t寸\n長さ\t尺\n面積\t坪\n時間\t秒 [s]\n";
    const std::vector<TFailureRow> rows = {
        {"an unknown unit and the units meant",
         {"5", "feat", "to", "m"},
         "tenvari-cli: 単位「feat」が見つかりません\n長さ\tフィート [ft]\tfeet\n"},
        {"at most five suggestions", {"5 q to m"}, nearest},
        {"an unknown unit without suggestions",
         {"5 kilogram"},
         "tenvari-cli: 単位「kilogram」が見つかりません\n"},
        {"two groups",
         {"1 tsubo to ft"},
         "tenvari-cli: 「tsubo」（面積）と「ft」（長さ）は同じ集団の単位ではありません\n"},
        {"an ambiguous name and its candidates",
         {"2 h"},
         "tenvari-cli: 「h」がどの単位か決められません：時間 [h]（時間）、時角 [h]（角度）\n"
         "時間\t時間 [h]\n角度\t時角 [h]\n"},
        {"a malformed query", {"5 ft to"}, "tenvari-cli: 「to」の後に変換先の単位がありません\n"},
    };
    ExpectFailures(rows, kExitUsage);

    const TCliRun word = Run({"frobnicate", "5"});
    EXPECT_EQ(word.Status, kExitUsage);
    EXPECT_THAT(word.Err, StartsWith("tenvari-cli: unknown command frobnicate\nusage:"));
    const TCliRun failed = Run({"1/0 ft to m"});
    EXPECT_EQ(failed.Status, kExitFailed);
    EXPECT_EQ(failed.Err, "ZeroDivide Error.\n");
}

TEST_F(CliQueryTest, StreamReadsOneQueryALineAndGoesOnAfterAFailure) {
    const std::string input = "5 ft to m\n\n1 feat to m\r\n1 tsubo to ft\n1/0 ft to m\n"
                              "hello\n1 坪 to m2\n";
    const TCliRun run = Run({"-"}, input);
    EXPECT_EQ(run.Status, kExitFailed);
    EXPECT_EQ(run.Out, "5 [フィート [ft]] => 1.524 [メートル [m]]\n"
                       "1 [坪] => 3.30578512396694215 [平方メートル [m2]]\n");
    EXPECT_EQ(run.Err, "line 3: 単位「feat」が見つかりません\n"
                       "長さ\tフィート [ft]\tfeet\n"
                       "line 4: 「tsubo」（面積）と「ft」（長さ）は同じ集団の単位ではありません\n"
                       "line 5: ZeroDivide Error.\n"
                       "line 6: 「hello」は単位変換の式ではありません\n");

    const TCliRun values = Run({"--value", "-"}, "1 ft to cm\n2 ft to cm\n");
    EXPECT_EQ(values.Status, kExitOk);
    EXPECT_EQ(values.Out, "30.48\n60.96\n");
}

TEST_F(CliQueryTest, NamesFoundByAliasesInFindAndConvert) {
    const std::vector<TOutputRow> rows = {
        {"find shows the alias that found a unit", {"find", "tsu"}, "面積\t坪\ttsubo\n"},
        {"find by a name shows none", {"find", "坪"}, "面積\t坪\n"},
        {"convert by aliases",
         {"convert", "mile", "feet", "1"},
         "1 [マイル [mi]] => 5280 [フィート [ft]]\n"},
        {"convert with the value only", {"--value", "convert", "ft", "m", "10"}, "3.048\n"},
    };
    ExpectRuns(rows);
}

TEST_F(CliQueryTest, BaseDigitsOutsideTheInputBaseAreUsageErrors) {
    const std::vector<TFailureRow> rows = {
        {"a letter",
         {"base", "16", "10", "0xff"},
         "tenvari-cli: \"x\" is not a digit of base 16\n"},
        {"a digit above the base",
         {"base", "2", "10", "102"},
         "tenvari-cli: \"2\" is not a digit of base 2\n"},
        {"equal bases too",
         {"base", "8", "8", "19"},
         "tenvari-cli: \"9\" is not a digit of base 8\n"},
        {"a character of several bytes",
         {"base", "10", "16", "1２"},
         "tenvari-cli: \"２\" is not a digit of base 10\n"},
        {"every base", {"base-all", "10", "1-2"}, "tenvari-cli: \"-\" is not a digit of base 10\n"},
    };
    ExpectFailures(rows, kExitUsage);
    const std::vector<TOutputRow> fine = {
        {"lower-case letters", {"base", "16", "10", "ff"}, "ff (16) => 255 (10)\n"},
    };
    ExpectRuns(fine);
}

} // namespace
} // namespace tv::test
