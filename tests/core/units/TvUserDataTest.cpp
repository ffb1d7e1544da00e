#include "units/TvUserData.h"
#include "TvHangGuard.h"
#include "TvTestFolder.h"
#include "calc/TvCalculate.h"
#include "units/TvErrors.h"
#include "units/TvPaths.h"
#include "units/TvTextFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace tv {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kShippedUnits = ">>\r\n長さ\r\n\"メートル [m]\",$i,$t,\r\n<<\r\n";

class UserDataTest : public test::TTempFolderTest {
protected:
    std::string UserDir() const { return Folder() + "user/tenvari/"; }

    void WriteUserFile(const std::string& name, std::string_view bytes) const {
        fs::create_directories(UserDir());
        WriteBytes("user/tenvari/" + name, bytes);
    }
};

TEST_F(UserDataTest, FolderFollowsXdgDataHome) {
    {
        const test::TEnvOverride xdg("XDG_DATA_HOME", (Folder() + "data").c_str());
        EXPECT_EQ(UserDataDir(), Folder() + "data/tenvari/");
    }
    const test::TEnvOverride home("HOME", (Folder() + "home").c_str());
    for (const char* xdgValue : {static_cast<const char*>(nullptr), "", "relative/data"}) {
        SCOPED_TRACE(xdgValue == nullptr ? "unset" : xdgValue);
        const test::TEnvOverride xdg("XDG_DATA_HOME", xdgValue);
        EXPECT_EQ(UserDataDir(), Folder() + "home/.local/share/tenvari/");
    }
    EXPECT_FALSE(fs::exists(Folder() + "home")) << "finding the folder creates nothing";
}

TEST_F(UserDataTest, UserUnitsAddToTheShippedOnesUnlessTheyFail) {
    TUnits units;
    ASSERT_TRUE(units.LoadFromText(kShippedUnits));
    EXPECT_EQ(AddUserUnits(units, UserDir()), std::nullopt) << "a missing file is no failure";
    EXPECT_EQ(units.Files().size(), 1U);

    WriteUserFile("units.dat", ">>\n長さ\n尋,$i*20/11,$t*11/20,\n<<\n>>\n新\n<<\nbad line\n");
    const std::optional<TLoadError> failure = AddUserUnits(units, UserDir());
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->File, UserDir() + "units.dat");
    EXPECT_EQ(failure->Line, 7);
    EXPECT_EQ(units.GroupCount(), 1);
    EXPECT_EQ(units.GetGroup(0).Count, 1) << "the shipped units stay, alone";

    WriteUserFile("units.dat", ">>\n長さ\n尋,$i*20/11,$t*11/20,\n<<\n>>\n新\n<<\n");
    EXPECT_EQ(AddUserUnits(units, UserDir()), std::nullopt);
    ASSERT_EQ(units.GroupCount(), 2);
    EXPECT_EQ(units.GroupUnitNames(0), (std::vector<std::string>{"メートル [m]", "尋"}));
    EXPECT_EQ(units.GetGroup(1).Name, "新");
}

TEST_F(UserDataTest, UserPrefixesFollowTheShippedOnesWhileThoseLoad) {
    TPrefixes prefixes;
    ASSERT_TRUE(prefixes.LoadFromText("k,1000\n"));
    EXPECT_EQ(AddUserPrefixes(prefixes, UserDir()), std::nullopt);
    WriteUserFile("prefix.dat", "k,1\nQ,1E30\n");
    EXPECT_EQ(AddUserPrefixes(prefixes, UserDir()), std::nullopt);
    EXPECT_EQ(prefixes.StrToValue("1k"), 1000.0L);
    EXPECT_EQ(prefixes.StrToValue("1Q"), 1E30L);

    TPrefixes off;
    EXPECT_FALSE(off.LoadFromText("k\n"));
    EXPECT_EQ(AddUserPrefixes(off, UserDir()), std::nullopt);
    EXPECT_FALSE(off.Loaded());
    EXPECT_EQ(off.Files().size(), 1U) << "the user's file is not read while prefixes are off";

    WriteUserFile("prefix.dat", "Q,1E30\nR\n");
    TPrefixes shipped;
    ASSERT_TRUE(shipped.LoadFromText("k,1000\n"));
    const std::optional<TLoadError> failure = AddUserPrefixes(shipped, UserDir());
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->File, UserDir() + "prefix.dat");
    EXPECT_EQ(failure->Line, 1);
    EXPECT_EQ(shipped.Count(), 1);
}

// A user's file that is a FIFO or a link to a device fails at once with its reason, and the
// shipped data stays as it was.
TEST_F(UserDataTest, UserFileThatIsNoRegularFileFailsWithoutBlocking) {
    fs::create_directories(UserDir());
    for (const char* kind : {"fifo", "device"}) {
        for (const char* name : {"units.dat", "prefix.dat"}) {
            SCOPED_TRACE(std::string(kind) + " " + name);
            const std::string path = UserDir() + name;
            fs::remove(path);
            if (std::string_view(kind) == "fifo") {
                ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
            } else {
                fs::create_symlink("/dev/zero", path);
            }
            TUnits units;
            ASSERT_TRUE(units.LoadFromText(kShippedUnits));
            TPrefixes prefixes;
            ASSERT_TRUE(prefixes.LoadFromText("k,1000\n"));
            const std::optional<TLoadError> failure = test::WithinDeadline(
                [&] {
                    return std::string_view(name) == "units.dat"
                               ? AddUserUnits(units, UserDir())
                               : AddUserPrefixes(prefixes, UserDir());
                },
                test::OpenFifoWriter(path));
            ASSERT_TRUE(failure.has_value());
            EXPECT_EQ(failure->File, path);
            EXPECT_EQ(failure->Line, -1);
            EXPECT_EQ(failure->Reason, kMsgNotRegularFile);
            EXPECT_EQ(units.GroupUnitNames(0), std::vector<std::string>{"メートル [m]"});
            EXPECT_EQ(prefixes.StrToValue("2k"), 2000.0L);
            fs::remove(path);
        }
    }
}

TEST_F(UserDataTest, WarningsOfTheUserFilesAreTheirs) {
    // The shipped file is never the user's, also when it was read from the user's folder.
    TUnits shippedThere;
    ASSERT_TRUE(shippedThere.LoadFromText(">>\nA\n", UserDir() + "units.dat"));
    EXPECT_TRUE(UserFileWarnings(shippedThere, UserDir()).empty());

    TUnits units;
    ASSERT_TRUE(units.LoadFromText(kShippedUnits));
    WriteUserFile("units.dat", ">>\n長さ\n尋,$i*20/11,$t*11/20,\n<<\n>>\n新\n");
    EXPECT_EQ(AddUserUnits(units, UserDir()), std::nullopt);
    const TLoadWarnings warnings = UserFileWarnings(units, UserDir());
    ASSERT_EQ(warnings.size(), 1U);
    EXPECT_EQ(warnings[0].File, UserDir() + "units.dat");
    EXPECT_EQ(warnings[0].Line, 4);
    EXPECT_TRUE(UserFileWarnings(units, "").empty());

    TPrefixes prefixes;
    ASSERT_TRUE(prefixes.LoadFromText("k,1000\n"));
    WriteUserFile("prefix.dat", std::string("Q,1E30\n\0R,1\n", 13));
    EXPECT_EQ(AddUserPrefixes(prefixes, UserDir()), std::nullopt);
    ASSERT_EQ(UserFileWarnings(prefixes, UserDir()).size(), 1U);
    EXPECT_EQ(UserFileWarnings(prefixes, UserDir())[0].Line, 1);
}

TEST_F(UserDataTest, CreatesTheUnitsFileOnceAndItLoadsAsUtf8) {
    const std::string userDir = Folder() + "a/b/tenvari/";
    const TUserUnitsFile created = CreateUserUnitsFile(userDir);
    EXPECT_TRUE(created.Created);
    EXPECT_EQ(created.Path, userDir + "units.dat");
    const std::optional<std::string> text = ReadDataFile(created.Path);
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(*text, UserUnitsTemplate()) << "read back as UTF-8, byte for byte";

    TUnits units;
    ASSERT_TRUE(units.LoadFromText(kShippedUnits));
    EXPECT_EQ(AddUserUnits(units, userDir), std::nullopt);
    ASSERT_EQ(units.GroupCount(), 2);
    EXPECT_EQ(units.GetGroup(1).Name, "ユーザー単位");
    EXPECT_EQ(units.GetGroup(1).Count, 0);

    // An existing file is never written over.
    WriteBytes("a/b/tenvari/units.dat", "mine");
    EXPECT_FALSE(CreateUserUnitsFile(userDir).Created);
    EXPECT_EQ(ReadDataFile(created.Path), "mine");
}

// The guide's worked example, copied into the file as it stands, adds a working unit.
TEST_F(UserDataTest, GuideExampleWorks) {
    const std::string_view guide = UserUnitsTemplate();
    const size_t end = guide.find("<<\\d\n");
    ASSERT_NE(end, std::string_view::npos);
    for (const char* word : {"$i", "$t", "8-2-1"}) {
        EXPECT_NE(guide.find(word, end), std::string_view::npos) << word;
    }
    const size_t start = guide.find("\n>>\n", end);
    const size_t stop = guide.find("\n<<\n", start);
    ASSERT_NE(stop, std::string_view::npos);
    TUnits units;
    ASSERT_TRUE(units.LoadFromText(kShippedUnits));
    ASSERT_TRUE(units.AddFromText(guide.substr(start + 1, stop + 4 - start - 1)))
        << units.LastError().Reason;
    units.SelectGroup(0);
    ASSERT_EQ(units.UnitCount(), 2);
    const TUnitEntry added = units.GetUnit(1);
    EXPECT_EQ(added.Name, "キュビット [cubit]");
    // One cubit is 18 inches of 0.0254 m, and the two formulas undo each other.
    const TPrefixes prefixes;
    std::string toBase = added.ToBase;
    std::string fromBase = added.FromBase;
    const long double metres = Calculate(toBase.replace(toBase.find("$i"), 2, "1"), prefixes);
    EXPECT_NEAR(metres, 18 * 0.0254L, 1E-15L);
    EXPECT_NEAR(
        Calculate(fromBase.replace(fromBase.find("$t"), 2, FormatGeneral(metres)), prefixes), 1.0L,
        1E-15L);
}

TEST_F(UserDataTest, CreateFailsWithThePathWhenTheFolderCannotBeMade) {
    WriteBytes("file", "");
    try {
        CreateUserUnitsFile(Folder() + "file/tenvari/");
        FAIL() << "no error";
    } catch (const ETvError& e) {
        EXPECT_NE(std::string(e.what()).find(Folder() + "file/tenvari/units.dat"),
                  std::string::npos)
            << e.what();
    }
}

} // namespace
} // namespace tv
