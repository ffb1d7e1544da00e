#include "TvTestFolder.h"
#include "units/TvErrors.h"
#include "units/TvPaths.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace tv {
namespace {

TEST(ErrorsTest, ReportedFailureName) {
    struct TRow {
        const char* name;
        std::shared_ptr<std::exception> error;
        std::string reported;
    };
    const std::vector<TRow> rows = {
        {"convert", std::make_shared<EConvertError>("x"), "Convert"},
        {"overflow", std::make_shared<EOverflow>(kMsgOverflow), "OverFlow"},
        {"zero divide", std::make_shared<EZeroDivide>(kMsgZeroDivide), "ZeroDivide"},
        {"invalid operation", std::make_shared<EInvalidOp>(kMsgInvalidOp), ""},
        {"out of memory", std::make_shared<EOutOfMemory>(kMsgOutOfMemory), ""},
        {"base kind", std::make_shared<ETvError>("x"), ""},
        {"foreign failure", std::make_shared<std::runtime_error>("Convert"), ""},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ReportedFailureName(*row.error), row.reported);
    }
}

TEST(ErrorsTest, ErrorBoxText) {
    struct TRow {
        const char* name;
        std::string message;
        std::string text;
    };
    const std::vector<TRow> rows = {
        {"empty stays empty", "", ""},
        {"letter gets a stop", "abc", "abc."},
        {"stop is not doubled", "abc.", "abc."},
        {"character before the stop", "a-", "a-"},
        {"blank before the stop", "a ", "a "},
        {"slash sorts after the stop", "a/", "a/."},
        {"multi-byte ending", kMsgOutOfMemory, std::string(kMsgOutOfMemory) + "."},
        {"Japanese full stop still gets one", "足りません。", "足りません。."},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ErrorBoxText(row.message), row.text);
    }
}

namespace fs = std::filesystem;

class PathsTest : public test::TTempFolderTest {};

TEST(ExecutableDirTest, IsFolderOfRunningProgram) {
    const std::string dir = ExecutableDir();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.front(), '/');
    EXPECT_EQ(dir.back(), '/');
    EXPECT_TRUE(fs::exists(dir + "units_test"));
}

TEST_F(PathsTest, DataDirPrefersExecutableFolder) {
    fs::create_directories(Folder() + "bin");
    fs::create_directories(Folder() + "share/tenvari");
    const std::string bin = Folder() + "bin/";

    EXPECT_EQ(DataDir(bin), bin) << "neither has units.dat";
    WriteBytes("share/tenvari/units.dat", "");
    EXPECT_EQ(DataDir(bin), Folder() + "share/tenvari/");
    EXPECT_EQ(DataDir(Folder() + "bin"), Folder() + "share/tenvari/") << "no trailing slash";
    WriteBytes("bin/units.dat", "");
    EXPECT_EQ(DataDir(bin), bin);
}

TEST_F(PathsTest, DataDirIgnoresFolderNamedUnitsDat) {
    fs::create_directories(Folder() + "bin/units.dat");
    EXPECT_EQ(DataDir(Folder() + "bin/"), Folder() + "bin/");
}

TEST_F(PathsTest, SettingsBesideACopyWithItsOwnDataNamedAfterIt) {
    WriteBytes("units.dat", "");
    const struct {
        const char* name;
        const char* executable;
        const char* settings;
    } rows[] = {
        {"the program", "tenvari", "tenvari.ini"},
        {"a renamed copy", "tv2", "tv2.ini"},
        {"an extension is replaced", "tenvari.bin", "tenvari.ini"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const TSettingsFiles files = SettingsFiles(Folder() + row.executable);
        EXPECT_EQ(files.Path, Folder() + row.settings);
        EXPECT_EQ(files.Defaults, "") << "the file beside the executable is the user's";
    }
}

// Installed, the program's folder holds no units.dat (the data lies in ../share/tenvari): its
// folder is never written, even where it can be, as by root in /usr. The user's file starts from
// the first administrator's defaults in $XDG_CONFIG_DIRS.
TEST_F(PathsTest, InstalledProgramKeepsSettingsInTheConfigFolders) {
    fs::create_directories(Folder() + "usr/bin");
    fs::create_directories(Folder() + "usr/share/tenvari");
    WriteBytes("usr/share/tenvari/units.dat", "");
    const std::string exe = Folder() + "usr/bin/tenvari";
    ASSERT_EQ(DataDir(Folder() + "usr/bin/"), Folder() + "usr/share/tenvari/");
    ASSERT_EQ(access((Folder() + "usr/bin").c_str(), W_OK), 0) << "the prefix is writable";
    fs::create_directories(Folder() + "etc1/tenvari");
    fs::create_directories(Folder() + "etc2/tenvari");
    WriteBytes("etc2/tenvari/tenvari.ini", "[StartUp]\n");
    const test::TEnvOverride xdg("XDG_CONFIG_HOME", (Folder() + "config").c_str());
    const struct {
        const char* name;
        std::string configDirs;
        std::string defaults;
    } rows[] = {
        {"the first folder that has the file",
         "relative/xdg:" + Folder() + "etc1:" + Folder() + "etc2/",
         Folder() + "etc2/tenvari/tenvari.ini"},
        {"no folder has the file", Folder() + "etc1", ""},
        {"an empty entry is skipped",
         ":" + Folder() + "etc2::", Folder() + "etc2/tenvari/tenvari.ini"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const test::TEnvOverride dirs("XDG_CONFIG_DIRS", row.configDirs.c_str());
        const TSettingsFiles files = SettingsFiles(exe);
        EXPECT_EQ(files.Path, Folder() + "config/tenvari/tenvari.ini");
        EXPECT_EQ(files.Defaults, row.defaults);
        EXPECT_TRUE(fs::is_directory(Folder() + "config/tenvari"));
    }
    EXPECT_FALSE(fs::exists(Folder() + "usr/bin/tenvari.ini"));
}

TEST_F(PathsTest, SettingsFolderFallsBackToHome) {
    const test::TEnvOverride home("HOME", (Folder() + "home").c_str());
    for (const char* xdgValue : {static_cast<const char*>(nullptr), "", "relative/config"}) {
        SCOPED_TRACE(xdgValue == nullptr ? "unset" : xdgValue);
        const test::TEnvOverride xdg("XDG_CONFIG_HOME", xdgValue);
        EXPECT_EQ(SettingsFiles(Folder() + "missing/tv2").Path,
                  Folder() + "home/.config/tenvari/tv2.ini");
        EXPECT_TRUE(fs::is_directory(Folder() + "home/.config/tenvari"));
    }
}

// A copy with its own data in a folder the user cannot write reads the file beside it as the
// defaults of the user's own.
TEST_F(PathsTest, CopyInAReadOnlyFolderReadsTheFileBesideAsDefaults) {
    fs::create_directories(Folder() + "copy");
    WriteBytes("copy/units.dat", "");
    fs::permissions(Folder() + "copy", fs::perms::owner_read | fs::perms::owner_exec);
    const bool readOnly = access((Folder() + "copy").c_str(), W_OK) != 0;
    const test::TEnvOverride xdg("XDG_CONFIG_HOME", (Folder() + "config").c_str());
    const TSettingsFiles files = SettingsFiles(Folder() + "copy/tv2");
    fs::permissions(Folder() + "copy", fs::perms::owner_all);
    if (!readOnly) {
        GTEST_SKIP() << "root writes any folder; the desktop suite runs this case as a user";
    }
    EXPECT_EQ(files.Path, Folder() + "config/tenvari/tv2.ini");
    EXPECT_EQ(files.Defaults, Folder() + "copy/tv2.ini");
}

} // namespace
} // namespace tv
