// tenvari-cli in-process: arbitrary arguments and standard input for its commands, on a small
// data folder of its own and a user's folder that adds to it. It must return one of its exit
// statuses and never throw.
// Input: a byte choosing the command, its form and options, then NUL-separated arguments; for
// the streaming conversion the last part is standard input.

#include "FuzzSupport.h"

#include "cli/TvCli.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// A data folder with small groups, written once and removed at exit, and the user's folder in
// it, UTF-8 without a mark: a unit added to Length, a group of its own, a prefix.
const std::string& DataFolder() {
    static const std::string folder = [] {
        std::string pattern = (std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp");
        pattern += "/tenvari-fuzz-cli-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) {
            tvfuzz::Fail("cannot create a temporary folder", pattern);
        }
        std::ofstream(pattern + "/units.dat", std::ios::binary)
            << ">>\nLength\nm,$i,$t,\nkm,$i*1000,$t/1000,\n\"in ch\",$i*0.0254,$t/0.0254,\n<<\n"
               ">>\nTemperature\nK,$i,$t,\nC,$i+273.15,$t-273.15,\nbad,$i/0,$t^0.5,\n<<\n"
               ">>\nEmpty\n<<\n<<\\d\n";
        std::ofstream(pattern + "/prefix.dat", std::ios::binary) << tvfuzz::kPrefixTable;
        const std::string user = pattern + "/xdg/tenvari";
        std::filesystem::create_directories(user);
        std::ofstream(user + "/units.dat", std::ios::binary)
            << ">>\nLength\n\"尋 [hiro]\",$i*20/11,$t*11/20,\n\"mile [mi]\",$i*1609.344,"
               "$t/1609.344,\n<<\n>>\n長さ\n\"メートル [m]\",$i,$t,\n<<\n";
        std::ofstream(user + "/prefix.dat", std::ios::binary) << "µ,1E-6\nk,5\n";
        setenv("XDG_DATA_HOME", (pattern + "/xdg").c_str(), 1);
        static std::string toRemove = pattern;
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(toRemove, ec);
        });
        return pattern;
    }();
    return folder;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const unsigned choice = data[0];
    const std::vector<std::string_view> parts =
        tvfuzz::SplitAtNul(tvfuzz::AsText(data + 1, size - 1), 5);

    std::vector<std::string> args = {"tenvari-cli", "--data", DataFolder()};
    if ((choice & 0x80u) != 0) {
        args.emplace_back("--no-user-data");
    }
    // The forms without GROUP: the first part is left out.
    const bool grouped = (choice & 0x40u) == 0;
    const auto part = [&](size_t i) { return std::string(parts[grouped ? i : i + 1]); };
    if ((choice & 0x10u) != 0) {
        args.emplace_back("--show-exp");
    }
    if ((choice & 0x20u) != 0) {
        args.emplace_back("--show-ans");
        args.emplace_back(parts[4]);
    }
    std::string input;
    switch (choice % 8) {
    case 0: // streaming conversion
        args.emplace_back("convert");
        if (grouped) {
            args.emplace_back(parts[0]);
        }
        args.insert(args.end(), {std::string(parts[1]), std::string(parts[2]), "-"});
        input = std::string(parts[3]);
        break;
    case 1:
        args.emplace_back("convert");
        for (size_t i = 0; i + (grouped ? 0 : 1) < 4; ++i) {
            args.push_back(part(i));
        }
        break;
    case 2:
        args.insert(args.end(), {"eval", std::string(parts[0])});
        break;
    case 3:
        args.insert(args.end(),
                    {"base", std::string(parts[0]), std::string(parts[1]), std::string(parts[2])});
        break;
    case 4:
        args.emplace_back("all");
        for (size_t i = 0; i + (grouped ? 0 : 1) < 3; ++i) {
            args.push_back(part(i));
        }
        break;
    case 5:
        args.insert(args.end(), {"base-all", std::string(parts[0]), std::string(parts[1])});
        break;
    case 6:
        args.insert(args.end(), {grouped ? "units" : "find", std::string(parts[0])});
        break;
    default: // any words at all
        for (const std::string_view part : parts) {
            args.emplace_back(part);
        }
        break;
    }

    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    std::ostringstream out;
    std::ostringstream err;
    std::istringstream in(input);
    // An argument may be a --data option of its own (options may follow the command), and then
    // the data folder is whatever it names.
    const bool dataMoved = std::any_of(args.begin() + 3, args.end(), [](const std::string& arg) {
        return arg.rfind("--data", 0) == 0;
    });
    const int status = tv::RunCli(static_cast<int>(args.size()), argv.data(), out, err, in);
    TVFUZZ_CHECK(status == tv::kExitOk || status == tv::kExitFailed || status == tv::kExitUsage ||
                     (dataMoved && status == tv::kExitUnitsLoad),
                 err.str());
    if (status == tv::kExitOk && !dataMoved) {
        TVFUZZ_CHECK(err.str().empty() || (choice % 8) == 7, err.str());
    }
    return 0;
}
