#include "TvCliFixture.h"

#include "units/TvUnitsFile.h"

namespace tv::test {
namespace {

constexpr std::string_view kGoodUnits = ">>\n"
                                        "長さ\n"
                                        "m,$i,$t,\n"
                                        "km,$i*1000,$t/1000,\n"
                                        "ft,$i*0.3048,$t/0.3048,\n"
                                        "<<\n"
                                        ">>\n"
                                        "温度\n"
                                        "℃,$i+273.15,$t-273.15,\n"
                                        "\"°F\",($i+459.67)*5/9,$t*9/5-459.67,\n"
                                        "<<\n"
                                        "<<\\d\n";

constexpr std::string_view kGoodPrefixes = "k,1000\nm,0.001\nE,1E18\n";

using TCheckTest = TCliTest;

TEST_F(TCheckTest, SoundDataPassesWithASummary) {
    WriteData("units.dat", kGoodUnits);
    WriteData("prefix.dat", kGoodPrefixes);
    const TCliRun run = Run({"check"});
    EXPECT_EQ(run.Out,
              "0 errors, 0 warnings (units.dat: 2 groups, 5 units; prefix.dat: 3 prefixes)\n");
    EXPECT_EQ(run.Err, "");
    EXPECT_EQ(run.Status, kExitOk);
}

TEST_F(TCheckTest, FormulaAndNameProblemsCarryTheirLines) {
    WriteData("units.dat", ">>\n"                        // 1
                           "長さ\n"                      // 2
                           "m,$i,$t,\n"                  // 3
                           "km,$i*1000,$t/100,\n"        // 4: not inverse
                           "bad,$i*,$t,\n"               // 5: fails for 1
                           "m,$i,$t,\n"                  // 6: duplicate name
                           "sq,$i^0.5,$t^2,\n"           // 7: fails for -2.5 only
                           "huge,$i*1E4910,$t/1E4910,\n" // 8: overflows for 1E30
                           "<<\n"                        // 9
                           ">>\n"                        // 10
                           "長さ\n"                      // 11: duplicate group name
                           "k,5k,$t,\n"                  // 12: constant ToBase
                           "<<\n");
    WriteData("prefix.dat", "k,1000\n1x,5\n.5,2\nk,10\nE3,1\n\"\",7\n");
    const TCliRun run = Run({"check"});
    EXPECT_EQ(run.Out,
              "units.dat:4: error: unit \"km\": ToBase \"$i*1000\" and FromBase \"$t/100\" are "
              "not inverse: 1 -> 1000 -> 10\n"
              "units.dat:5: error: unit \"bad\": ToBase \"$i*\" fails for 1: Convert Error.\n"
              "units.dat:6: warning: duplicate unit name \"m\" in group \"長さ\" (first on "
              "line 3)\n"
              "units.dat:7: warning: unit \"sq\": ToBase \"$i^0.5\" fails for -2.5: "
              "不正な浮動小数点数演算命令.\n"
              "units.dat:8: warning: unit \"huge\": ToBase \"$i*1E4910\" fails for 1E30: "
              "OverFlow Error.\n"
              "units.dat:11: warning: duplicate group name \"長さ\" (first on line 2); lookup "
              "by name finds only the first\n"
              "units.dat:12: error: unit \"k\": ToBase \"5k\" and FromBase \"$t\" are not "
              "inverse: 1 -> 5000 -> 5000\n"
              "prefix.dat:2: warning: prefix \"1x\" can never match: it begins with a digit or "
              "\".\", which the number takes\n"
              "prefix.dat:3: warning: prefix \".5\" can never match: it begins with a digit or "
              "\".\", which the number takes\n"
              "prefix.dat:4: warning: prefix \"k\" can never match: line 1 has the same name\n"
              "prefix.dat:5: warning: prefix \"E3\" can never match: the number takes its "
              "beginning as an exponent\n"
              "prefix.dat:6: warning: prefix \"\" can never match: its name is empty\n"
              "3 errors, 9 warnings (units.dat: 2 groups, 7 units; prefix.dat: 6 prefixes)\n");
    EXPECT_EQ(run.Status, kExitFailed);
}

TEST_F(TCheckTest, AliasesThatAQueryCannotTellApartAreWarned) {
    WriteData("units.dat", ">>\n"                                        // 1
                           "長さ\n"                                      // 2
                           "\"ヤード [yd]\",$i*0.9144,$t/0.9144,,yard\n" // 3
                           "歩幅,$i*0.75,$t/0.75,,\"yd ほはば\"\n"       // 4: another's symbol
                           "\"フィート [ft]\",$i,$t,,\"ft foot\"\n"      // 5: its own symbol
                           "足,$i,$t,,foot\n"                            // 6: another's alias
                           "一歩,$i,$t,,歩幅\n"                          // 7: another's name
                           "<<\n"
                           ">>\n"
                           "面積\n"
                           "足,$i,$t,,\"foot yard\"\n" // 11: other groups may share them
                           "<<\n");
    WriteData("prefix.dat", kGoodPrefixes);
    const TCliRun run = Run({"check"});
    EXPECT_EQ(run.Out,
              "units.dat:4: warning: alias \"yd\" of unit \"歩幅\" is the symbol of unit "
              "\"ヤード [yd]\" (line 3), which a query takes instead\n"
              "units.dat:6: warning: alias \"foot\" names two units of group \"長さ\": "
              "\"フィート [ft]\" (line 5) and \"足\"\n"
              "units.dat:7: warning: alias \"歩幅\" of unit \"一歩\" is the name of unit "
              "\"歩幅\" (line 4), which a query takes instead\n"
              "0 errors, 3 warnings (units.dat: 2 groups, 6 units; prefix.dat: 3 prefixes)\n");
    EXPECT_EQ(run.Status, kExitOk);
}

TEST_F(TCheckTest, WarningsAloneExitZero) {
    WriteData("units.dat", kGoodUnits);
    WriteData("prefix.dat", "k,1000\n0k,1\n");
    const TCliRun run = Run({"check"});
    EXPECT_EQ(run.Status, kExitOk);
    EXPECT_EQ(run.Out.substr(run.Out.find('\n') + 1),
              "0 errors, 1 warning (units.dat: 2 groups, 5 units; prefix.dat: 2 prefixes)\n");
}

// A load failure gives the loader's own line and reason; the groups closed before it are still
// checked, so one run shows every problem.
TEST_F(TCheckTest, LoadFailuresGiveTheLineWhereTheLoadStops) {
    const std::string units = ">>\nA\nx,$i,$t/2,\n<<\n>>\nB\ny $i $t\n<<\n";
    const std::string prefixes = "k,1000\nmega,1E6x\n";
    WriteData("units.dat", units);
    WriteData("prefix.dat", prefixes);
    TUnits unitLoader;
    ASSERT_FALSE(unitLoader.LoadFromText(units));
    ASSERT_EQ(unitLoader.LastError().Line, 6);
    TPrefixes prefixLoader;
    ASSERT_FALSE(prefixLoader.LoadFromText(prefixes));
    ASSERT_EQ(prefixLoader.LastError().Line, 1);

    const TCliRun run = Run({"check"});
    EXPECT_EQ(run.Out,
              "units.dat:3: error: unit \"x\": ToBase \"$i\" and FromBase \"$t/2\" are not "
              "inverse: 1 -> 1 -> 0.5\n"
              "units.dat:7: error: " +
                  unitLoader.LastError().Reason +
                  "\n"
                  "prefix.dat:2: error: " +
                  prefixLoader.LastError().Reason +
                  "\n"
                  "3 errors, 0 warnings (units.dat: 1 group, 1 unit; prefix.dat: 1 "
                  "prefix)\n");
    EXPECT_EQ(run.Status, kExitFailed);
}

TEST_F(TCheckTest, MissingFilesAreErrorsWithoutALine) {
    const TCliRun run = Run({"check"});
    TUnits units;
    ASSERT_FALSE(units.LoadFromFile(Folder() + "units.dat"));
    EXPECT_EQ(run.Out, "units.dat: error: " + units.LastError().Reason +
                           "\nprefix.dat: error: " + units.LastError().Reason +
                           "\n2 errors, 0 warnings (units.dat: 0 groups, 0 units; prefix.dat: 0 "
                           "prefixes)\n");
    EXPECT_EQ(run.Status, kExitFailed);
}

// The user's files are checked as the program combines them with the shipped ones, and named
// by their paths.
TEST_F(TCheckTest, UserFilesAreCheckedWithTheShippedOnes) {
    WriteData("units.dat", kGoodUnits);
    WriteData("prefix.dat", kGoodPrefixes);
    WriteUserData("units.dat", ">>\n長さ\n"       // 1: adds to the shipped group
                               "m,$i,$t,\n"       // 3: the shipped group has an m
                               "x2,$i*2,$t,\n"    // 4: not inverse
                               "<<\n>>\n新\n<<\n" // 7: a new group
                               ">>\n新\n<<\n");   // 10: the same name again
    WriteUserData("prefix.dat", "k,5\nQ,1E30\n");
    const std::string units = UserDir() + "units.dat";
    const std::string prefixes = UserDir() + "prefix.dat";
    const TCliRun run = Run({"check"});
    EXPECT_EQ(run.Out,
              units +
                  ":3: warning: duplicate unit name \"m\" in group \"長さ\" (first on units.dat "
                  "line 3)\n" +
                  units +
                  ":4: error: unit \"x2\": ToBase \"$i*2\" and FromBase \"$t\" are not inverse: "
                  "1 -> 2 -> 2\n" +
                  units +
                  ":10: warning: duplicate group name \"新\" (first on line 7); lookup by name "
                  "finds only the first\n" +
                  prefixes +
                  ":1: warning: prefix \"k\" can never match: prefix.dat line 1 has the same "
                  "name\n"
                  "1 error, 3 warnings (units.dat: 2 groups, 5 units; prefix.dat: 3 prefixes; " +
                  units + ": 3 groups, 2 units; " + prefixes + ": 2 prefixes)\n");
    EXPECT_EQ(run.Status, kExitFailed);

    const TCliRun shippedOnly = Run({"--no-user-data", "check"});
    EXPECT_EQ(shippedOnly.Out,
              "0 errors, 0 warnings (units.dat: 2 groups, 5 units; prefix.dat: 3 prefixes)\n");
    EXPECT_EQ(shippedOnly.Status, kExitOk);
}

TEST_F(TCheckTest, UserFilesThatFailAreErrorsAndTheirClosedGroupsAreStillChecked) {
    WriteData("units.dat", kGoodUnits);
    WriteData("prefix.dat", kGoodPrefixes);
    const std::string userUnits = ">>\nA\nx,$i,$t/2,\n<<\n>>\nB\ny $i $t\n<<\n";
    WriteUserData("units.dat", userUnits);
    WriteUserData("prefix.dat", "Q\n");
    TUnits unitLoader;
    ASSERT_FALSE(unitLoader.LoadFromText(userUnits));
    TPrefixes prefixLoader;
    ASSERT_FALSE(prefixLoader.LoadFromText("Q\n"));

    const std::string units = UserDir() + "units.dat";
    const std::string prefixes = UserDir() + "prefix.dat";
    const TCliRun run = Run({"check"});
    EXPECT_EQ(run.Out, units +
                           ":3: error: unit \"x\": ToBase \"$i\" and FromBase \"$t/2\" are not "
                           "inverse: 1 -> 1 -> 0.5\n" +
                           units + ":7: error: " + unitLoader.LastError().Reason + "\n" + prefixes +
                           ":1: error: " + prefixLoader.LastError().Reason +
                           "\n"
                           "3 errors, 0 warnings (units.dat: 2 groups, 5 units; prefix.dat: 3 "
                           "prefixes; " +
                           units + ": 1 group, 1 unit; " + prefixes + ": 0 prefixes)\n");
    EXPECT_EQ(run.Status, kExitFailed);
}

// A group never closed and a NUL that ends the text early leave units out of a file that loads;
// check says so, at the group's start marker and at the NUL's line.
TEST_F(TCheckTest, WhatALoadedFileLeavesOutIsAWarningAtItsLine) {
    WriteData("units.dat", std::string(kGoodUnits.substr(0, kGoodUnits.find("<<\\d"))) +
                               std::string("\0>>\n", 4));
    WriteData("prefix.dat", kGoodPrefixes);
    WriteUserData("units.dat", ">>\n新\nx,$i,$t,\n");
    WriteUserData("prefix.dat", std::string("Q,1E30\nR,1\0\n", 13));
    const std::string units = UserDir() + "units.dat";
    const std::string prefixes = UserDir() + "prefix.dat";
    const TCliRun run = Run({"check"});
    EXPECT_EQ(run.Out,
              "units.dat:12: warning: NUL 文字でテキストが終わるため、ここから後は読み込まれ"
              "ません\n" +
                  units + ":1: warning: 集団 \"新\" は終わり \"<<\" がないため読み込まれません\n" +
                  prefixes +
                  ":2: warning: NUL 文字でテキストが終わるため、ここから後は読み込まれません\n"
                  "0 errors, 3 warnings (units.dat: 2 groups, 5 units; prefix.dat: 3 prefixes; " +
                  units + ": 0 groups, 0 units; " + prefixes + ": 2 prefixes)\n");
    EXPECT_EQ(run.Err, "");
    EXPECT_EQ(run.Status, kExitOk);
}

} // namespace
} // namespace tv::test
