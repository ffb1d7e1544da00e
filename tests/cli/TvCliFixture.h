#pragma once

#include "TvTestFolder.h"

#include "cli/TvCli.h"
#include "units/TvTextFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace tv::test {

struct TCliRun {
    int Status = -1;
    std::string Out;
    std::string Err;
};

// A command line that succeeds, and what it writes to standard output.
struct TOutputRow {
    const char* Name;
    std::vector<std::string> Args;
    std::string Out;
};

// A command line that fails, and what it writes to standard error and output.
struct TFailureRow {
    const char* Name;
    std::vector<std::string> Args;
    std::string Err;
    std::string Out = "";
};

// Runs the tool in-process on data files written into a fresh temporary folder.
class TCliTest : public TTempFolderTest {
protected:
    void SetUp() override {
        TTempFolderTest::SetUp();
        // The tester's own units never reach a test: the user's folder is the test's.
        dataHome_.emplace("XDG_DATA_HOME", (Folder() + "xdg").c_str());
    }
    void TearDown() override {
        dataHome_.reset();
        TTempFolderTest::TearDown();
    }

    // Writes UTF-8 text as the CP932 file the program reads.
    void WriteData(const std::string& name, std::string_view utf8) const {
        WriteBytes(name, EncodeCp932(utf8));
    }

    // Writes bytes as they are into the user's data folder.
    void WriteUserData(const std::string& name, std::string_view bytes) const {
        std::filesystem::create_directories(UserDir());
        WriteBytes("xdg/tenvari/" + name, bytes);
    }

    std::string UserDir() const { return Folder() + "xdg/tenvari/"; }

    // Runs "tenvari-cli --data <folder> args..." with input as standard input.
    TCliRun Run(const std::vector<std::string>& args, const std::string& input = "") const {
        std::vector<std::string> words = {"tenvari-cli", "--data", Folder()};
        words.insert(words.end(), args.begin(), args.end());
        return RunWords(words, input);
    }

    static TCliRun RunWords(std::vector<std::string> words, const std::string& input = "") {
        std::vector<char*> argv;
        for (std::string& word : words) {
            argv.push_back(word.data());
        }
        argv.push_back(nullptr);
        std::ostringstream out;
        std::ostringstream err;
        std::istringstream in(input);
        TCliRun run;
        run.Status = RunCli(static_cast<int>(words.size()), argv.data(), out, err, in);
        run.Out = out.str();
        run.Err = err.str();
        return run;
    }

    // Each row must exit 0, writing its output and nothing to standard error.
    void ExpectRuns(const std::vector<TOutputRow>& rows) const {
        for (const TOutputRow& row : rows) {
            SCOPED_TRACE(row.Name);
            const TCliRun run = Run(row.Args);
            EXPECT_EQ(run.Out, row.Out);
            EXPECT_EQ(run.Err, "");
            EXPECT_EQ(run.Status, 0);
        }
    }

    // Each row must exit with status, writing its error text and output.
    void ExpectFailures(const std::vector<TFailureRow>& rows, int status) const {
        for (const TFailureRow& row : rows) {
            SCOPED_TRACE(row.Name);
            const TCliRun run = Run(row.Args);
            EXPECT_EQ(run.Err, row.Err);
            EXPECT_EQ(run.Out, row.Out);
            EXPECT_EQ(run.Status, status);
        }
    }

private:
    std::optional<TEnvOverride> dataHome_;
};

} // namespace tv::test
