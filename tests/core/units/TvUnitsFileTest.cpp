#include "units/TvUnitsFile.h"
#include "TvTestFolder.h"
#include "units/TvErrors.h"
#include "units/TvTextFile.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace tv {
namespace {

using namespace std::string_literals;

struct TFieldRow {
    const char* name;
    std::string line;
    std::vector<std::string> fields;
};

TEST(FieldRuleTest, Splits) {
    const std::vector<TFieldRow> rows = {
        {"empty line", "", {}},
        {"blanks only", " \t ", {}},
        {"trailing comma adds an empty field", "m,$i,$t,", {"m", "$i", "$t", ""}},
        {"blank after the last comma adds none", "m,$i,$t, ", {"m", "$i", "$t"}},
        {"blanks separate", "a b\tc", {"a", "b", "c"}},
        {"control characters are blanks",
         "a\x01"
         "b\x1F"
         "c",
         {"a", "b", "c"}},
        {"blanks around commas", "  a , b ,c", {"a", "b", "c"}},
        {"leading comma is an empty field", ",a", {"", "a"}},
        {"two commas enclose an empty field", "a,,b", {"a", "", "b"}},
        {"blanks between commas enclose an empty field", "a, ,b", {"a", "", "b"}},
        {"quoted field holds commas and blanks",
         "\"k m\",\"$i * 1,000\",x",
         {"k m", "$i * 1,000", "x"}},
        {"doubled quote inside quotes", "\"a\"\"b\",c", {"a\"b", "c"}},
        {"empty quoted field", "\"\",x", {"", "x"}},
        {"text right after closing quote starts a field", "\"ab\"cd,e", {"ab", "cd", "e"}},
        {"quote inside an unquoted field is kept", "a\"b,c", {"a\"b", "c"}},
        {"unclosed quote runs to the end of the line", "a,\"b, c", {"a", "b, c"}},
        {"unclosed quote after doubled quote", "\"x\"\"", {"x\""}},
        {"multi-byte characters are not blanks", "長さ,表ポ ｱ", {"長さ", "表ポ", "ｱ"}},
        {"formula words fall apart unquoted", "u $i * 2,$t/2,", {"u", "$i", "*", "2", "$t/2", ""}},
    };
    for (const TFieldRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(SplitFields(row.line), row.fields);
    }
}

struct TNameRow {
    const char* name;
    const char* line;
    const char* groupName;
};

TEST(NameRuleTest, Parses) {
    const std::vector<TNameRow> rows = {
        {"plain with blanks and commas", " Length, m ", " Length, m "},
        {"empty", "", ""},
        {"quoted", "\"Len gth\"", "Len gth"},
        {"doubled quotes", "\"a\"\"b\"", "a\"b"},
        {"text after closing quote dropped", "\"abc\" tail\"", "abc"},
        {"text after closing quote dropped without final quote", "\"abc\" tail", "abc"},
        {"empty quoted name", "\"\"", ""},
        {"empty quoted name with tail keeps the line", "\"\"x", "\"\"x"},
        {"never closed keeps the line", "\"abc", "\"abc"},
        {"never closed but ends in a quote", "\"abc\"\"", "abc\""},
        {"lone quote", "\"", ""},
        {"quote not first", "a\"b\"", "a\"b\""},
        {"markers are names", "<<\\d", "<<\\d"},
    };
    for (const TNameRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ParseNameLine(row.line), row.groupName);
    }
}

struct TGroupExpect {
    std::string name;
    int32_t startLine;
    std::vector<std::string> units;
};

struct TLoadRow {
    const char* name;
    std::string text;
    std::vector<TGroupExpect> groups;
};

void ExpectGroups(TUnits& units, const std::vector<TGroupExpect>& groups) {
    ASSERT_EQ(units.GroupCount(), static_cast<int32_t>(groups.size()));
    for (size_t g = 0; g < groups.size(); ++g) {
        SCOPED_TRACE("group " + std::to_string(g));
        const TUnitsEntry entry = units.GetGroup(static_cast<int32_t>(g));
        EXPECT_EQ(entry.Name, groups[g].name);
        EXPECT_EQ(entry.StartLine, groups[g].startLine);
        EXPECT_EQ(entry.Count, static_cast<int32_t>(groups[g].units.size()));
        units.SelectGroup(static_cast<int32_t>(g));
        ASSERT_EQ(units.UnitCount(), entry.Count);
        for (int32_t u = 0; u < units.UnitCount(); ++u) {
            EXPECT_EQ(units.GetUnit(u).Name, groups[g].units[static_cast<size_t>(u)]);
        }
    }
}

TEST(UnitsLoadTest, Loads) {
    const std::vector<TLoadRow> rows = {
        {"empty text", "", {}},
        {"end of data first, anything after", "<<\\d\n\nfree text\n>>\n", {}},
        {"example file",
         ">>\r\nLength\r\nm,$i,$t,\r\nkm,$i*1000,$t/1000,\r\n<<\r\n<<\\d\r\nnotes here\r\n",
         {{"Length", 2, {"m", "km"}}}},
        {"end of data with capital D", ">>\nA\na,1,2,3\n<<\n<<\\D\n\n", {{"A", 2, {"a"}}}},
        {"two groups, lone CR breaks",
         ">>\rA\ra,1,2,\r<<\r>>\rB\rb,1,2,\rc,1,2,\r<<",
         {{"A", 2, {"a"}}, {"B", 6, {"b", "c"}}}},
        {"group without units", ">>\nEmpty\n<<\n", {{"Empty", 2, {}}}},
        {"group not closed at end of file is left out",
         ">>\nA\na,1,2,\n<<\n>>\nB\nb,1,2,\n",
         {{"A", 2, {"a"}}}},
        {"group not closed before end of data is left out",
         ">>\nA\na,1,2,\n<<\n>>\nB\nb,1,2,\n<<\\d\n",
         {{"A", 2, {"a"}}}},
        {"name line reading the end marker", ">>\n<<\na,1,2,\n<<\n", {{"<<", 2, {"a"}}}},
        {"name line reading end of data", ">>\n<<\\d\na,1,2,\n<<\n", {{"<<\\d", 2, {"a"}}}},
        {"name line reading start marker starts anew",
         ">>\n>>\nB\nb,1,2,\n<<\n",
         {{"B", 3, {"b"}}}},
        {"start marker inside open group replaces it",
         ">>\nA\na,1,2,\n>>\nB\nb,1,2,\n<<\n",
         {{"B", 5, {"b"}}}},
        {"quoted name", ">>\n\"Len, gth\" x\na,1,2,\n<<\n", {{"Len, gth", 2, {"a"}}}},
        {"five fields load", ">>\nA\na,1,2,3,4,5\n<<\n", {{"A", 2, {"a"}}}},
        {"unquoted formula words shift fields", ">>\nA\nu $i * 2\n<<\n", {{"A", 2, {"u"}}}},
        {"same names allowed",
         ">>\nA\nx,1,2,\nx,3,4,\n<<\n>>\nA\n<<\n",
         {{"A", 2, {"x", "x"}}, {"A", 7, {}}}},
        {"blank line after end of data", ">>\nA\na,1,2,\n<<\n<<\\d\n\n   \n", {{"A", 2, {"a"}}}},
        {"NUL ends the text", ">>\nA\na,1,2,\n<<\n\0garbage\n"s, {{"A", 2, {"a"}}}},
    };
    for (const TLoadRow& row : rows) {
        SCOPED_TRACE(row.name);
        TUnits units;
        ASSERT_TRUE(units.LoadFromText(row.text)) << units.LastError().Reason;
        ExpectGroups(units, row.groups);
    }
}

// A file that loads may still leave something out without failing: a group never closed, and
// the text after a NUL. Each is a warning at its line, in line order.
TEST(UnitsLoadTest, WarnsOfWhatALoadedFileLeavesOut) {
    struct TRow {
        const char* name;
        std::string text;
        std::vector<std::pair<int32_t, std::string>> warnings;
    };
    const std::string unclosedB = "集団 \"B\" は終わり \"<<\" がないため読み込まれません";
    const std::string nul = "NUL 文字でテキストが終わるため、ここから後は読み込まれません";
    const std::vector<TRow> rows = {
        {"every group closed", ">>\nA\na,1,2,\n<<\n", {}},
        {"group not closed at the end of the file", ">>\nA\n<<\n>>\nB\nb,1,2,\n", {{3, unclosedB}}},
        {"group not closed before end of data", ">>\nB\nb,1,2,\n<<\\d\n<<\n", {{0, unclosedB}}},
        {"NUL inside a group", ">>\nB\nb,1,2,\n\0c,1,2,\n<<\n"s, {{0, unclosedB}, {3, nul}}},
        {"NUL within a line", ">>\nB\nb,1,2,\0x\n<<\n"s, {{0, unclosedB}, {2, nul}}},
        {"NUL after the last group", ">>\nA\n<<\n\0garbage\n"s, {{3, nul}}},
        {"NUL after a lone CR", ">>\nA\n<<\r\0x"s, {{3, nul}}},
        {"NUL first", "\0>>\nA\n<<\n"s, {{0, nul}}},
        {"NUL after the end-of-data marker", ">>\nA\n<<\n<<\\d\n\0x"s, {}},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.name);
        TUnits units;
        ASSERT_TRUE(units.LoadFromText(row.text, "u.dat")) << units.LastError().Reason;
        std::vector<std::pair<int32_t, std::string>> got;
        for (const TLoadError& warning : units.Files().at(0).Warnings) {
            EXPECT_EQ(warning.File, "u.dat");
            got.emplace_back(warning.Line, warning.Reason);
        }
        EXPECT_EQ(got, row.warnings);
    }

    // An added file keeps its own warnings; one that fails adds no file at all.
    TUnits units;
    ASSERT_TRUE(units.LoadFromText(">>\nA\n<<\n", "shipped.dat"));
    ASSERT_TRUE(units.AddFromText(">>\nA\na,1,2,\n<<\n>>\nB\n", "user.dat"));
    ASSERT_EQ(units.Files().size(), 2U);
    EXPECT_TRUE(units.Files()[0].Warnings.empty());
    ASSERT_EQ(units.Files()[1].Warnings.size(), 1U);
    EXPECT_EQ(units.Files()[1].Warnings[0].Line, 4);
    EXPECT_FALSE(units.AddFromText(">>\nB\n\nbad", "bad.dat"));
    EXPECT_EQ(units.Files().size(), 2U);

    TPrefixes prefixes;
    ASSERT_TRUE(prefixes.LoadFromText("k,1000\n\0m,0.001\n"s, "p.dat"));
    EXPECT_EQ(prefixes.Count(), 1);
    ASSERT_EQ(prefixes.Files().at(0).Warnings.size(), 1U);
    EXPECT_EQ(prefixes.Files()[0].Warnings[0].Line, 1);
    EXPECT_EQ(prefixes.Files()[0].Warnings[0].Reason, nul);
    EXPECT_EQ(prefixes.Files()[0].Warnings[0].File, "p.dat");
}

TEST(UnitsLoadTest, KeepsUnitTextsAsWritten) {
    TUnits units;
    ASSERT_TRUE(units.LoadFromText(">>\nTemp\n"
                                   "\"deg C\",\"$i + 273.15\",\"$t - 273.15\",\"x, y\"\n"
                                   "K,$i,$t,\"\"\"q\"\"\",more\n"
                                   "<<\n"));
    units.SelectGroup(0);
    ASSERT_EQ(units.UnitCount(), 2);
    const TUnitEntry c = units.GetUnit(0);
    EXPECT_EQ(c.Name, "deg C");
    EXPECT_EQ(c.ToBase, "$i + 273.15");
    EXPECT_EQ(c.FromBase, "$t - 273.15");
    EXPECT_EQ(c.Extra, "x, y");
    EXPECT_EQ(units.GetUnit(1).Extra, "\"q\"");
}

TEST(UnitsLoadTest, AliasesAreTheFieldsAfterTheFourthSplitAtBlanks) {
    struct TRow {
        const char* name;
        const char* line;
        std::vector<std::string> aliases;
    };
    const std::vector<TRow> rows = {
        {"none", "坪,$i,$t,", {}},
        {"one quoted field", "坪,$i,$t,\"6尺四方\",\"つぼ tsubo\"", {"つぼ", "tsubo"}},
        {"unquoted fields read the same", "坪,$i,$t,\"6尺四方\",つぼ tsubo", {"つぼ", "tsubo"}},
        {"blanks of every kind, runs of them", "坪,$i,$t,,\" a\t b  \"", {"a", "b"}},
        {"empty fields give nothing", "坪,$i,$t,,,\"\",c,", {"c"}},
        {"a quote kept inside an alias", "x,$i,$t,,\"in\"\"\"", {"in\""}},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.name);
        TUnits units;
        ASSERT_TRUE(units.LoadFromText(std::string(">>\nG\n") + row.line + "\n<<\n"));
        units.SelectGroup(0);
        EXPECT_EQ(units.GetUnit(0).Aliases, row.aliases);
        EXPECT_EQ(units.GroupUnit(0, 0).Aliases, row.aliases);
        EXPECT_EQ(units.GroupUnitNameEntries(0).at(0).Aliases, row.aliases);
        EXPECT_EQ(units.GroupUnitNameEntries(0).at(0).Name, units.GetUnit(0).Name);
    }
}

struct TFailRow {
    const char* name;
    std::string text;
    int32_t line;
    std::string reason;
};

TEST(UnitsLoadTest, FailsAtLineWithReason) {
    const std::string fewFields = "単位の行に 4 つの項目がありません";
    const std::string noName = "集団の開始 \">>\" の次に名前の行がありません";
    const std::string beforeFirst = "最初の集団の開始 \">>\" より前に単位の行があります";
    const std::string afterEnd = "集団の終わり \"<<\" の後、次の \">>\" の前に単位の行があります";
    const std::string noOpen = "集団の終わり \"<<\" がありますが、開いている集団がありません";
    const std::vector<TFailRow> rows = {
        {"start marker on the last line", ">>\nA\na,1,2,\n<<\n>>\n", 4, noName},
        {"start marker last before trailing break", ">>\r\n", 0, noName},
        {"empty line in a group", ">>\nA\na,1,2,\n\n<<\n", 3, fewFields},
        {"line of blanks in a group", ">>\nA\n \t\n<<\n", 2, fewFields},
        {"empty line between groups", ">>\nA\n<<\n\n>>\nB\n<<\n", 3, fewFields},
        {"three fields, blank after last comma", ">>\nA\nm,$i,$t, \n<<\n", 2, fewFields},
        {"start marker with trailing blank", ">> \nA\n<<\n", 0, fewFields},
        {"end marker with leading blank", ">>\nA\n <<\n", 2, fewFields},
        {"end-of-data marker with trailing blank", ">>\nA\n<<\n<<\\d \n", 3, fewFields},
        {"unit line before the first group", "a,1,2,\n>>\nA\n<<\n", 0, beforeFirst},
        {"unit line after an end marker", ">>\nA\n<<\nb,1,2,\n>>\nB\n<<\n", 3, afterEnd},
        {"end marker with no group ever", "<<\n", 0, noOpen},
        {"second end marker", ">>\nA\na,1,2,\n<<\n<<\n", 4, noOpen},
    };
    for (const TFailRow& row : rows) {
        SCOPED_TRACE(row.name);
        TUnits units;
        EXPECT_FALSE(units.LoadFromText(row.text));
        EXPECT_EQ(units.LastError().Line, row.line);
        EXPECT_EQ(units.LastError().Reason, row.reason);
    }
}

TEST(UnitsLoadTest, FailureKeepsWhatWasRead) {
    TUnits units;
    EXPECT_FALSE(units.LoadFromText(">>\nA\na,1,2,\n<<\n>>\nB\nbad\n<<\n"));
    ExpectGroups(units, {{"A", 2, {"a"}}});
}

TEST(UnitsLoadTest, SelectGroupReplacesCurrentUnits) {
    TUnits units;
    ASSERT_TRUE(units.LoadFromText(">>\nA\na1,1,2,\na2,1,2,\n<<\n>>\nB\nb1,1,2,\n<<\n>>\nC\n<<\n"));
    EXPECT_EQ(units.UnitCount(), 0) << "no group is current before the first selection";
    units.SelectGroup(0);
    EXPECT_EQ(units.UnitCount(), 2);
    units.SelectGroup(1);
    ASSERT_EQ(units.UnitCount(), 1);
    EXPECT_EQ(units.GetUnit(0).Name, "b1");
    units.SelectGroup(2);
    EXPECT_EQ(units.UnitCount(), 0);
    EXPECT_THROW(units.GetUnit(0), std::out_of_range);
}

TEST(UnitsLoadTest, OutOfRangeIndexThrows) {
    TUnits units;
    // The unclosed group B has an entry but is not part of the catalogue.
    ASSERT_TRUE(units.LoadFromText(">>\nA\na,1,2,\n<<\n>>\nB\nb,1,2,\n"));
    ASSERT_EQ(units.GroupCount(), 1);
    EXPECT_THROW(units.GetUnit(0), std::out_of_range);
    for (const int32_t index : {-1, 1, 2, INT32_MAX, INT32_MIN}) {
        SCOPED_TRACE(index);
        EXPECT_THROW(units.GetGroup(index), std::out_of_range);
        EXPECT_THROW(units.SelectGroup(index), std::out_of_range);
    }
    units.SelectGroup(0);
    EXPECT_THROW(units.GetUnit(-1), std::out_of_range);
    EXPECT_THROW(units.GetUnit(1), std::out_of_range);
    EXPECT_EQ(units.GetUnit(0).Name, "a");
}

class UnitsFileTest : public test::TTempFolderTest {};

TEST_F(UnitsFileTest, LoadsCp932File) {
    // 長さ / 表示 (second byte 0x5C) / ポンド (second byte 0x7C) / ｷﾛ in half-width katakana.
    const std::string bytes = ">>\r\n"
                              "\x92\xB7\x82\xB3\r\n"
                              "\x95\x5C\x8E\xA6,$i,$t,\r\n"
                              "\x83\x7C\x83\x93\x83\x68,$i*0.45359237,$t/0.45359237,\r\n"
                              "\"\xB7\xDB m\",$i*1000,$t/1000,\r\n"
                              "<<\r\n"
                              "<<\\d\r\n"
                              "\x95\x5C\r\n";
    TUnits units;
    ASSERT_TRUE(units.LoadFromFile(WriteBytes("units.dat", bytes))) << units.LastError().Reason;
    ExpectGroups(units, {{"長さ", 2, {"表示", "ポンド", "ｷﾛ m"}}});
}

TEST_F(UnitsFileTest, LoadsUtf8FileWithMark) {
    TUnits units;
    ASSERT_TRUE(
        units.LoadFromFile(WriteBytes("units.dat", "\xEF\xBB\xBF>>\n長さ\n表,$i,$t,\n<<\n")));
    ExpectGroups(units, {{"長さ", 2, {"表"}}});
}

TEST_F(UnitsFileTest, InvalidBytesBecomeReplacementCharacters) {
    TUnits units;
    ASSERT_TRUE(units.LoadFromFile(WriteBytes("units.dat", ">>\nA\xA0\nu\x81,$i,$t,\n<<\n")));
    ExpectGroups(units, {{"A\uFFFD", 2, {"u\uFFFD"}}});
}

TEST_F(UnitsFileTest, MissingFileFails) {
    TUnits units;
    EXPECT_FALSE(units.LoadFromFile(Folder() + "units.dat"));
    EXPECT_EQ(units.LastError().Line, -1);
    EXPECT_EQ(units.LastError().Reason, "ファイルを開けないか読み込めません");
    EXPECT_EQ(units.GroupCount(), 0);
}

TEST_F(UnitsFileTest, LoadsManyUnits) {
    constexpr int kGroups = 1000;
    constexpr int kUnitsPerGroup = 100;
    std::string bytes;
    bytes.reserve(4'000'000);
    for (int g = 0; g < kGroups; ++g) {
        // Appended piece by piece: g++ 12 at -O3 warns falsely (-Wrestrict) about "u" + string.
        bytes.append(">>\r\n\x8F\x57\x92\x63").append(std::to_string(g)).append("\r\n");
        for (int u = 0; u < kUnitsPerGroup; ++u) {
            const std::string factor = std::to_string(u + 1);
            bytes.append("u").append(std::to_string(u)).append(",\"$i*").append(factor);
            bytes.append("\",$t/").append(factor).append(",\r\n");
        }
        bytes += "<<\r\n";
    }
    TUnits units;
    ASSERT_TRUE(units.LoadFromFile(WriteBytes("units.dat", bytes))) << units.LastError().Reason;
    ASSERT_EQ(units.GroupCount(), kGroups);
    const TUnitsEntry last = units.GetGroup(kGroups - 1);
    EXPECT_EQ(last.Name, "集団999");
    EXPECT_EQ(last.StartLine, (kGroups - 1) * (kUnitsPerGroup + 3) + 2);
    units.SelectGroup(kGroups - 1);
    ASSERT_EQ(units.UnitCount(), kUnitsPerGroup);
    const TUnitEntry unit = units.GetUnit(kUnitsPerGroup - 1);
    EXPECT_EQ(unit.Name, "u99");
    EXPECT_EQ(unit.ToBase, "$i*100");
    EXPECT_EQ(unit.FromBase, "$t/100");
}

// A second file (the user's) adds to the groups of the first by name and appends the rest; the
// positions of the first file's groups never move.
TEST(UnitsAddTest, MergesByGroupName) {
    const std::string shipped = ">>\r\nA\r\na1,$i,$t,\r\n<<\r\n"
                                ">>\r\nB\r\nb1,$i,$t,\r\n<<\r\n"
                                ">>\r\nA\r\n<<\r\n";
    const std::string user = ">>\n新\nn1,$i,$t,\n<<\n"              // 0: a new group
                             ">>\nB\nb2,$i*2,$t/2,x\nb3,1,2,\n<<\n" // 4: joins B
                             ">>\nA\na2,$i,$t,\n<<\n"               // 9: joins the first A only
                             ">>\n新\nn2,$i,$t,\n<<\n" // 13: same new name, a group of its own
                             ">>\nB\n<<\n"             // 17: nothing to add
                             ">>\nopen\no1,$i,$t,\n";  // 20: never closed, left out
    TUnits units;
    ASSERT_TRUE(units.LoadFromText(shipped, "units.dat"));
    ASSERT_TRUE(units.AddFromText(user, "user/units.dat")) << units.LastError().Reason;
    ExpectGroups(units, {{"A", 2, {"a1", "a2"}},
                         {"B", 6, {"b1", "b2", "b3"}},
                         {"A", 10, {}},
                         {"新", 2, {"n1"}},
                         {"新", 15, {"n2"}}});

    units.SelectGroup(1);
    const TUnitEntry b2 = units.GetUnit(1);
    EXPECT_EQ(b2.ToBase, "$i*2");
    EXPECT_EQ(b2.FromBase, "$t/2");
    EXPECT_EQ(b2.Extra, "x");
    ASSERT_EQ(units.GroupUnits(1).size(), 3U);
    EXPECT_EQ(units.GroupUnits(1)[2].Name, "b3");
    EXPECT_EQ(units.GroupUnitNames(0), (std::vector<std::string>{"a1", "a2"}));
    // One unit of a group read from two files, without the others.
    EXPECT_EQ(units.GroupUnit(1, 1).ToBase, "$i*2");
    EXPECT_EQ(units.GroupUnit(1, 2).Name, "b3");
    EXPECT_EQ(units.GroupUnit(0, 0).Name, "a1");
    EXPECT_THROW(units.GroupUnit(1, 3), std::out_of_range);
    EXPECT_THROW(units.GroupUnit(5, 0), std::out_of_range);

    ASSERT_EQ(units.Files().size(), 2U);
    EXPECT_EQ(units.Files()[0].Name, "units.dat");
    EXPECT_EQ(units.Files()[0].Groups, 3);
    EXPECT_EQ(units.Files()[0].Units, 2);
    EXPECT_EQ(units.Files()[1].Name, "user/units.dat");
    EXPECT_EQ(units.Files()[1].Groups, 5);
    EXPECT_EQ(units.Files()[1].Units, 5);

    struct TOriginRow {
        int32_t group;
        int32_t position; // -1: the group's own line
        int32_t file;
        int32_t line;
    };
    const std::vector<TOriginRow> origins = {
        {0, -1, 0, 1}, {0, 0, 0, 2}, {0, 1, 1, 11}, {1, 0, 0, 6},
        {1, 1, 1, 6},  {1, 2, 1, 7}, {3, -1, 1, 1}, {4, 0, 1, 15},
    };
    for (const TOriginRow& row : origins) {
        SCOPED_TRACE(std::to_string(row.group) + "/" + std::to_string(row.position));
        const TDataOrigin origin = row.position < 0 ? units.GroupOrigin(row.group)
                                                    : units.UnitOrigin(row.group, row.position);
        EXPECT_EQ(origin.File, row.file);
        EXPECT_EQ(origin.Line, row.line);
    }
    EXPECT_THROW(units.UnitOrigin(1, 3), std::out_of_range);
    EXPECT_THROW(units.GroupUnits(5), std::out_of_range);
}

TEST(UnitsAddTest, FailingFileLeavesTheCatalogueAsItWas) {
    TUnits units;
    ASSERT_TRUE(units.LoadFromText(">>\nA\na1,$i,$t,\n<<\n", "units.dat"));
    units.SelectGroup(0);
    // The first group of the file is closed, and would join A, before the failing line.
    EXPECT_FALSE(units.AddFromText(">>\nA\na2,$i,$t,\n<<\n>>\nB\nb1 $i\n<<\n", "mine.dat"));
    EXPECT_EQ(units.LastError().File, "mine.dat");
    EXPECT_EQ(units.LastError().Line, 6);
    EXPECT_EQ(units.LastError().Reason, "単位の行に 4 つの項目がありません");
    ExpectGroups(units, {{"A", 2, {"a1"}}});
    EXPECT_EQ(units.Files().size(), 1U);

    // A file that cannot be read names itself without a line.
    EXPECT_FALSE(units.AddFromFile("/nonexistent/units.dat"));
    EXPECT_EQ(units.LastError().File, "/nonexistent/units.dat");
    EXPECT_EQ(units.LastError().Line, -1);
    ExpectGroups(units, {{"A", 2, {"a1"}}});

    ASSERT_TRUE(units.AddFromText(">>\nA\na2,$i,$t,\n<<\n"));
    ExpectGroups(units, {{"A", 2, {"a1", "a2"}}});
    EXPECT_EQ(units.LastError().Reason, "");
}

// What a Linux editor writes: UTF-8 without a mark, LF line ends, added to a CP932 file.
TEST_F(UnitsFileTest, AddsUtf8FileWithoutMarkToCp932File) {
    TUnits units;
    ASSERT_TRUE(units.LoadFromFile(
        WriteBytes("units.dat",
                   ">>\r\n\x92\xB7\x82\xB3\r\n\x83\x81\x81\x5B\x83\x67\x83\x8B,$i,$t,\r\n<<\r\n")));
    ASSERT_TRUE(units.AddFromFile(WriteBytes(
        "user.dat",
        ">>\n長さ\n\"尋 [hiro]\",$i*20/11,$t*11/20,\"6 尺\"\n<<\n>>\n私の単位\nµ,$i,$t,\n<<\n")))
        << units.LastError().Reason;
    ExpectGroups(units, {{"長さ", 2, {"メートル", "尋 [hiro]"}}, {"私の単位", 6, {"µ"}}});
}

TEST(PrefixAddTest, AppendsAfterTheFirstFileAndKeepsItsEntries) {
    TPrefixes prefixes;
    ASSERT_TRUE(prefixes.LoadFromText("k,1000\nm,0.001\n", "prefix.dat"));
    ASSERT_TRUE(prefixes.AddFromText("k,5\nQ,1E30\n", "user/prefix.dat"));
    ASSERT_EQ(prefixes.Count(), 4);
    EXPECT_EQ(prefixes.StrToValue("2k"), 2000.0L) << "the first entry of a name wins";
    EXPECT_EQ(prefixes.StrToValue("2Q"), 2E30L);
    EXPECT_EQ(prefixes.EntryOrigin(1).File, 0);
    EXPECT_EQ(prefixes.EntryOrigin(1).Line, 1);
    EXPECT_EQ(prefixes.EntryOrigin(3).File, 1);
    EXPECT_EQ(prefixes.EntryOrigin(3).Line, 1);
    ASSERT_EQ(prefixes.Files().size(), 2U);
    EXPECT_EQ(prefixes.Files()[1].Name, "user/prefix.dat");
    EXPECT_EQ(prefixes.Files()[1].First, 2);
    EXPECT_EQ(prefixes.Files()[1].Count, 2);

    EXPECT_FALSE(prefixes.AddFromText("G,1E9\nbad\n", "other.dat"));
    EXPECT_TRUE(prefixes.Loaded());
    EXPECT_EQ(prefixes.Count(), 4);
    EXPECT_EQ(prefixes.LastError().File, "other.dat");
    EXPECT_EQ(prefixes.LastError().Line, 1);
    EXPECT_THROW(prefixes.StrToValue("1G"), EConvertError);
}

} // namespace
} // namespace tv
