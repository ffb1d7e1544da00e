#include "TvTestFolder.h"
#include "desktop/TvDesktopAnswers.h"
#include "desktop/TvQueryAnswerer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

using tv::desktop::QueryFromTerms;
using tv::desktop::TAnswer;
using tv::desktop::TAnswerData;
using tv::desktop::TDesktopAnswers;

namespace {

struct TTermsRow {
    const char* name;
    std::vector<std::string> terms;
    std::optional<std::string> query;
};

TEST(DesktopQueryGate, TermsMakeAQueryOnlyWhenTheyCanBeOne) {
    const std::string limit(tv::desktop::kMaxQueryBytes, '5');
    std::string thirtyTwo = "1";
    for (int i = 1; i < 32; ++i) {
        thirtyTwo += " 1";
    }
    const std::vector<TTermsRow> rows = {
        {"words joined by one blank", {"5", "ft", "to", "m"}, "5 ft to m"},
        {"one term in kana", {"1坪をm2に"}, "1坪をm2に"},
        {"blanks around are dropped", {" 5", "m "}, "5 m"},
        {"exactly at the length limit", {limit}, limit},
        {"32 terms", std::vector<std::string>(32, "1"), thirtyTwo},
        {"no terms", {}, std::nullopt},
        {"only a blank", {" "}, std::nullopt},
        {"one byte too long", {limit + "5"}, std::nullopt},
        {"too long once joined", {limit.substr(1), "m"}, std::nullopt},
        {"33 terms", std::vector<std::string>(33, "1"), std::nullopt},
        {"thousands of terms", std::vector<std::string>(5000, "m"), std::nullopt},
        {"a control character", {"5\x01", "m"}, std::nullopt},
        {"a tab", {"5\tm"}, std::nullopt},
        {"DEL", {"5\x7fm"}, std::nullopt},
        {"a C1 control character", {"5\xc2\x85m"}, std::nullopt},
        {"a byte that is no UTF-8", {"5\xffm"}, std::nullopt},
        {"an overlong form", {"\xc0\xaf"}, std::nullopt},
        {"an overlong three-byte form", {"\xe0\x80\xaf"}, std::nullopt},
        {"a surrogate", {"\xed\xa0\x80"}, std::nullopt},
        {"a cut-off character", {"5\xe5\x9d"}, std::nullopt},
        {"beyond U+10FFFF", {"\xf4\x90\x80\x80"}, std::nullopt},
    };
    for (const TTermsRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(QueryFromTerms(row.terms), row.query);
    }
}

// Records what it is asked. A query without a target ("5 m") has two answers, the second with
// the target "other"; a query with that target has that one; one to "nowhere" has none.
class TRecordingAnswerer : public tv::desktop::IQueryAnswerer {
public:
    std::vector<TAnswer> Answer(std::string_view query, const tv::desktop::TAnswerSource& source,
                                std::size_t limit) const override {
        asked.emplace_back(query);
        limits.push_back(limit);
        groups.push_back(source.Units.GroupCount());
        prefixesLoaded.push_back(source.Prefixes.Loaded());
        showAns.push_back(source.ShowAns);
        const std::string text(query);
        if (text.find("nowhere") != std::string::npos) {
            return {};
        }
        const TAnswer other{text + " to other", "name 2", "description 2", "value 2"};
        if (text.ends_with(" to other")) {
            return {{text, other.Name, other.Description, other.Value}};
        }
        return {{text, "name", "description", "value"}, other};
    }
    mutable std::vector<std::string> asked;
    mutable std::vector<std::size_t> limits;
    mutable std::vector<int32_t> groups;
    mutable std::vector<bool> prefixesLoaded;
    mutable std::vector<int> showAns;
};

const char kUnits[] = ">>\n長さ\n\"メートル [m]\",$i,$t,\"\"\n<<\n";
const char kUserUnits[] = ">>\n面積\n\"坪\",$i*400/121,$t*121/400,\"\"\n<<\n";
const char kPrefixes[] = "k,1E3,キロ\n";

class DesktopData : public tv::test::TTempFolderTest {
protected:
    void SetUp() override {
        TTempFolderTest::SetUp();
        std::filesystem::create_directories(Folder() + "shipped");
        std::filesystem::create_directories(Folder() + "user");
        WriteBytes("shipped/units.dat", kUnits);
        WriteBytes("shipped/prefix.dat", kPrefixes);
    }

    TAnswerData Data() {
        return TAnswerData(Folder() + "shipped/", Folder() + "user/",
                           {Folder() + "tenvari.ini", Folder() + "defaults.ini"},
                           [this](const std::string& line) { log_.push_back(line); });
    }

    int32_t Groups(TAnswerData& data) {
        const auto source = data.Current();
        return source ? source->Units.GroupCount() : -1;
    }

    std::vector<std::string> log_;
};

// The files are read once, and again after each change of any of the four, whether a file is
// written, appears, is replaced by another or goes away.
TEST_F(DesktopData, ReadAgainOnlyWhenAFileChanges) {
    TAnswerData data = Data();
    EXPECT_EQ(Groups(data), 1);
    EXPECT_EQ(Groups(data), 1);
    EXPECT_EQ(data.Reads(), 1);

    WriteBytes("user/units.dat", kUserUnits);
    EXPECT_EQ(Groups(data), 2);
    EXPECT_EQ(data.Reads(), 2);
    EXPECT_EQ(Groups(data), 2);
    EXPECT_EQ(data.Reads(), 2);

    // An editor that saves through a new file and a rename: same size, new inode.
    WriteBytes("user/units.new", std::string(kUserUnits));
    std::filesystem::rename(Folder() + "user/units.new", Folder() + "user/units.dat");
    Groups(data);
    EXPECT_EQ(data.Reads(), 3);

    std::filesystem::remove(Folder() + "user/units.dat");
    EXPECT_EQ(Groups(data), 1);
    EXPECT_EQ(data.Reads(), 4);
    EXPECT_TRUE(log_.empty());
}

// Shipped units that fail: no data, one line naming the file and line, not repeated while the
// files stay as they are; mended, the data is back. A user's file that fails leaves its units
// out with a line of its own.
TEST_F(DesktopData, FailuresAreLoggedOnceAndLeaveOut) {
    WriteBytes("shipped/units.dat", ">>\n長さ\n\"a\",$i,$t\n<<\n");
    TAnswerData data = Data();
    EXPECT_EQ(Groups(data), -1);
    EXPECT_EQ(Groups(data), -1);
    ASSERT_EQ(log_.size(), 1u);
    EXPECT_EQ(log_[0].rfind(
                  "no answers: the units do not load: " + Folder() + "shipped/units.dat:3: ", 0),
              0u)
        << log_[0];

    WriteBytes("shipped/units.dat", kUnits);
    WriteBytes("user/units.dat", ">>\n面積\n\"a\",$i,$t\n<<\n");
    EXPECT_EQ(Groups(data), 1);
    ASSERT_EQ(log_.size(), 2u);
    EXPECT_EQ(log_[1].rfind("the user's units are left out: " + Folder() + "user/units.dat", 0), 0u)
        << log_[1];
}

TEST_F(DesktopData, AnswersPassTheGateAndTheData) {
    TAnswerData data = Data();
    const TRecordingAnswerer answerer;
    TDesktopAnswers answers(data, answerer);

    const std::vector<TAnswer> got = answers.ForTerms({"5", "m"});
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(answerer.asked, std::vector<std::string>{"5 m"});
    EXPECT_EQ(answerer.limits, std::vector<std::size_t>{tv::desktop::kMaxAnswers});
    EXPECT_EQ(answerer.groups, std::vector<int32_t>{1});
    EXPECT_EQ(answerer.prefixesLoaded, std::vector<bool>{true});
    EXPECT_EQ(answerer.showAns, std::vector<int>{0});

    // Terms that can be no query never reach the query.
    EXPECT_TRUE(answers.ForTerms(std::vector<std::string>(40, "1")).empty());
    EXPECT_TRUE(answers.ForText(std::string(300, '1')).empty());
    EXPECT_EQ(answerer.asked.size(), 1u);

    const std::optional<TAnswer> second = answers.ById("5 m to other");
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(second->Name, "name 2");
    EXPECT_FALSE(answers.ById("5 m to nowhere").has_value());

    // An answer whose id would not pass the gate again is not offered: it could not be opened.
    const std::string longQuery = "5" + std::string(246, '0') + " m";
    const std::vector<TAnswer> longGot = answers.ForText(longQuery);
    ASSERT_EQ(longGot.size(), 1u);
    EXPECT_EQ(longGot[0].Id, longQuery);
    EXPECT_TRUE(answers.ById(longGot[0].Id).has_value());
}

// The window's display mode, from its settings file or, while there is none, the defaults; a
// value the window does not know reads as the default.
TEST_F(DesktopData, TheWindowsDisplayMode) {
    TAnswerData data = Data();
    const TRecordingAnswerer answerer;
    TDesktopAnswers answers(data, answerer);
    answers.ForTerms({"5", "m"});
    WriteBytes("defaults.ini", "[Convert]\nShowAns=1\n");
    answers.ForTerms({"5", "m"});
    WriteBytes("tenvari.ini", "[Convert]\nShowAns=2\n");
    answers.ForTerms({"5", "m"});
    WriteBytes("tenvari.ini", "[Convert]\nShowAns=19\n");
    answers.ForTerms({"5", "m"});
    EXPECT_EQ(answerer.showAns, (std::vector<int>{0, 1, 2, 0}));
}

TEST_F(DesktopData, NoDataNoQuery) {
    std::filesystem::remove(Folder() + "shipped/units.dat");
    TAnswerData data = Data();
    const TRecordingAnswerer answerer;
    TDesktopAnswers answers(data, answerer);
    EXPECT_TRUE(answers.ForTerms({"5", "m"}).empty());
    EXPECT_TRUE(answerer.asked.empty());
    EXPECT_EQ(log_.size(), 1u);
}

} // namespace

// The core's query behind the desktop: a whole query has its one answer as the window gives it;
// one without a target has the group's other units in their order, each with the id that brings
// it back; a text that reads but does not convert, or names no unit, has none.
TEST_F(DesktopData, QueryAnswererGivesTheConversionsOfTheCore) {
    WriteBytes("shipped/units.dat", ">>\n長さ\n\"メートル [m]\",$i,$t,\"\"\n"
                                    "\"フィート [ft]\",$i*0.3048,$t/0.3048,\"\"\n"
                                    "\"尺\",$i*10/33,$t*33/10,\"\"\n<<\n");
    TAnswerData data = Data();
    const auto source = data.Current();
    ASSERT_TRUE(source);
    const tv::desktop::TQueryAnswerer answerer;

    const std::vector<TAnswer> whole = answerer.Answer("5 ft to m", *source, 5);
    ASSERT_EQ(whole.size(), 1u);
    EXPECT_EQ(whole[0].Id, "5 ft to m");
    EXPECT_EQ(whole[0].Value, "1.524");
    EXPECT_EQ(whole[0].Name, "1.524 メートル [m]");
    EXPECT_NE(whole[0].Description.find("1.524"), std::string::npos) << whole[0].Description;

    const std::vector<TAnswer> open = answerer.Answer("5 ft", *source, 5);
    ASSERT_EQ(open.size(), 2u);
    EXPECT_EQ(open[0].Id, "5 ft to メートル [m]");
    EXPECT_EQ(open[1].Id, "5 ft to 尺");
    EXPECT_EQ(answerer.Answer("5 ft", *source, 1).size(), 1u);
    // Each id answers again as the same one answer.
    EXPECT_EQ(answerer.Answer(open[1].Id, *source, 5), std::vector<TAnswer>{open[1]});

    for (const char* none : {"hello", "5", "1/0 ft to m", "5 ft to nowhere", "5 ft to", ""}) {
        SCOPED_TRACE(none);
        EXPECT_TRUE(answerer.Answer(none, *source, 5).empty());
    }
    EXPECT_TRUE(answerer.Answer("5 ft", *source, 0).empty());
}
