#pragma once

#include <iosfwd>

namespace tv {

// Exit statuses of tenvari-cli.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1; // a conversion failed, or check found an error
inline constexpr int kExitUsage = 2;
inline constexpr int kExitUnitsLoad = 3; // units.dat could not be loaded

// Runs tenvari-cli with its command line; returns the exit status. Never throws.
int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err, std::istream& in);

} // namespace tv
