#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace tv {

// The commands of tenvari-cli that read the window's history ($XDG_STATE_HOME/tenvari/
// history.sqlite): "history [-n N]", "history --clear" and "favourites". The tool's own
// conversions are never written to it. Returns the exit status, or nothing when command is none
// of them.
std::optional<int> RunHistoryCommand(const std::string& command,
                                     const std::vector<std::string>& args, std::ostream& out,
                                     std::ostream& err);

} // namespace tv
