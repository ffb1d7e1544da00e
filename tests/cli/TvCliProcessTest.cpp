// The real tenvari-cli, started as a process: what only a process shows (its standard input
// closed or a folder, data files that would block or never end), each run under a time bound
// that guards against a hang.

#include "TvTestFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace tv::test {
namespace {

struct TProcessRun {
    int Status = -1; // exit status, or -1 when the run was killed at the deadline
    std::string Out;
    std::string Err;
};

// How the child's standard input is set up.
enum class TInput { Closed, Folder, File };

class CliProcessTest : public TTempFolderTest {
protected:
    void SetUp() override {
        TTempFolderTest::SetUp();
        dataHome_.emplace("XDG_DATA_HOME", (Folder() + "xdg").c_str());
        std::filesystem::create_directories(UserDir());
        WriteBytes("units.dat", ">>\nLength\nm,$i,$t,\nkm,$i*1000,$t/1000,\n<<\n");
        WriteBytes("prefix.dat", "k,1000\n");
    }
    void TearDown() override {
        dataHome_.reset();
        TTempFolderTest::TearDown();
    }

    std::string UserDir() const { return Folder() + "xdg/tenvari/"; }

    // Runs "tenvari-cli --data <folder> args..." with standard input as given (File: the file
    // "input" of the folder); a run that outlives the deadline is killed and fails the test.
    TProcessRun Run(const std::vector<std::string>& args, TInput input = TInput::File) const {
        std::vector<std::string> words = {TENVARI_CLI, "--data", Folder()};
        words.insert(words.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& word : words) {
            argv.push_back(word.data());
        }
        argv.push_back(nullptr);
        const std::string out = Folder() + "out";
        const std::string err = Folder() + "err";
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        switch (input) {
        case TInput::Closed:
            posix_spawn_file_actions_addclose(&actions, 0);
            break;
        case TInput::Folder:
            posix_spawn_file_actions_addopen(&actions, 0, "/", O_RDONLY, 0);
            break;
        case TInput::File:
            posix_spawn_file_actions_addopen(&actions, 0, (Folder() + "input").c_str(),
                                             O_RDONLY | O_CREAT, 0600);
            break;
        }
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        pid_t child = 0;
        const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        TProcessRun run;
        if (spawned != 0) {
            ADD_FAILURE() << "cannot start " << argv[0];
            return run;
        }
        // A run that hangs, or grows without bound (reading /dev/zero), is stopped early.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        int status = 0;
        while (waitpid(child, &status, WNOHANG) == 0) {
            const bool late = std::chrono::steady_clock::now() > deadline;
            const bool large = ResidentBytes(child) > (size_t{1} << 30);
            if (late || large) {
                kill(child, SIGKILL);
                waitpid(child, &status, 0);
                ADD_FAILURE() << "tenvari-cli "
                              << (late ? "did not end within 30 s"
                                       : "took more than 1 GiB of memory");
                return run;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.Out = ReadAll(out);
        run.Err = ReadAll(err);
        return run;
    }

    static size_t ResidentBytes(pid_t pid) {
        std::ifstream statm("/proc/" + std::to_string(pid) + "/statm");
        size_t size = 0;
        size_t resident = 0;
        statm >> size >> resident;
        return resident * static_cast<size_t>(sysconf(_SC_PAGESIZE));
    }

    static std::string ReadAll(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

private:
    std::optional<TEnvOverride> dataHome_;
};

// A read error on standard input is reported with status 1, never taken for its end.
TEST_F(CliProcessTest, StandardInputThatCannotBeReadIsAnError) {
    struct TRow {
        const char* name;
        TInput input;
        std::string err;
    };
    const std::vector<TRow> rows = {
        {"closed", TInput::Closed,
         "tenvari-cli: cannot read standard input: Bad file descriptor\n"},
        {"a folder", TInput::Folder, "tenvari-cli: cannot read standard input: Is a directory\n"},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.name);
        const TProcessRun run = Run({"convert", "km", "m", "-"}, row.input);
        EXPECT_EQ(run.Status, 1);
        EXPECT_EQ(run.Out, "");
        EXPECT_EQ(run.Err, row.err);
    }
    WriteBytes("input", "1\n2k\n");
    const TProcessRun file = Run({"convert", "km", "m", "-"});
    EXPECT_EQ(file.Status, 0);
    EXPECT_EQ(file.Out, "1 [km] => 1000 [m]\n2k [km] => 2000000 [m]\n");
}

// User files that are a FIFO or never end are refused at once; the shipped data works.
TEST_F(CliProcessTest, UserFilesThatWouldBlockOrNeverEndAreRefused) {
    for (const char* name : {"units.dat", "prefix.dat"}) {
        for (const char* kind : {"FIFO", "/dev/zero", "/dev/urandom"}) {
            SCOPED_TRACE(std::string(name) + " as " + kind);
            const std::string path = UserDir() + name;
            if (std::string_view(kind) == "FIFO") {
                ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
            } else {
                std::filesystem::create_symlink(kind, path);
            }
            const TProcessRun run = Run({"convert", "km", "m", "1k"});
            EXPECT_EQ(run.Status, 0);
            EXPECT_EQ(run.Out, "1k [km] => 1000000 [m]\n");
            EXPECT_NE(run.Err.find(path + ": 通常のファイルではないため読み込めません\n"),
                      std::string::npos)
                << run.Err;
            std::filesystem::remove(path);
        }
    }
}

// Memory stays flat on a line far beyond the limit: it is skipped as it comes, and the lines
// after it are converted.
TEST_F(CliProcessTest, LongLineIsSkippedAndTheRestConverted) {
    {
        std::ofstream input(Folder() + "input", std::ios::binary);
        const std::string piece(1 << 20, '1');
        input << "1\n";
        for (int i = 0; i < 64; ++i) {
            input << piece;
        }
        input << "\n2\n";
    }
    const TProcessRun run = Run({"convert", "km", "m", "-"});
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Out, "1 [km] => 1000 [m]\n2 [km] => 2000 [m]\n");
    EXPECT_EQ(run.Err, "tenvari-cli: line 2 of standard input is longer than 1048576 bytes; it "
                       "is skipped\n");
}

} // namespace
} // namespace tv::test
