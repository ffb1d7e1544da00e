#include "cli/TvCliHistory.h"

#include "cli/TvCli.h"
#include "history/TvHistory.h"

#include <charconv>
#include <filesystem>
#include <ostream>
#include <string_view>

namespace tv {

namespace {

// A field of a line: tabs and line breaks become blanks, so that every entry is one line of
// fields. The lines of a batch's report are joined by "; ".
std::string Field(std::string text) {
    for (size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 2)) {
        text.replace(at, 1, "; ");
    }
    for (char& c : text) {
        if (c == '\t' || c == '\r') {
            c = ' ';
        }
    }
    return text;
}

std::string GroupField(THistoryPage page, const std::string& group) {
    return page == THistoryPage::Base ? "基数変換" : Field(group);
}

int Usage(std::ostream& err, const std::string& message) {
    err << "tenvari-cli: " << message << '\n';
    return kExitUsage;
}

// The history when there is one; nothing, and a message unless the file is only missing.
std::optional<THistory> Open(std::ostream& err, int& status) {
    const std::string path = THistory::DefaultPath();
    std::error_code ec;
    status = kExitOk;
    if (!std::filesystem::exists(path, ec)) {
        return std::nullopt;
    }
    try {
        return std::optional<THistory>(std::in_place, path, THistory::TOpenMode::Existing);
    } catch (const EHistoryError& e) {
        err << "tenvari-cli: " << e.what() << '\n';
        status = kExitFailed;
        return std::nullopt;
    }
}

int History(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    size_t limit = 0;
    bool clear = false;
    if (args.size() == 1 && args[0] == "--clear") {
        clear = true;
    } else if (args.size() == 2 && args[0] == "-n") {
        const std::string_view n = args[1];
        const auto [end, ec] = std::from_chars(n.data(), n.data() + n.size(), limit);
        if (ec != std::errc() || end != n.data() + n.size() || limit == 0) {
            return Usage(err, "history -n takes a number of entries from 1");
        }
    } else if (!args.empty()) {
        return Usage(err, "history takes [-n N] or --clear");
    }
    int status = kExitOk;
    std::optional<THistory> history = Open(err, status);
    if (!history) {
        return status;
    }
    try {
        if (clear) {
            history->Clear();
            return kExitOk;
        }
        std::string text;
        for (const THistoryEntry& entry : history->Entries(limit)) {
            text += FormatIsoLocalTime(entry.Time);
            for (const std::string& field :
                 {GroupField(entry.Page, entry.Group), Field(entry.Value), Field(entry.Source),
                  Field(entry.Result), Field(entry.Target)}) {
                text += '\t';
                text += field;
            }
            text += '\n';
        }
        out << text;
        return kExitOk;
    } catch (const EHistoryError& e) {
        err << "tenvari-cli: " << e.what() << '\n';
        return kExitFailed;
    }
}

int Favourites(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (!args.empty()) {
        return Usage(err, "favourites takes no arguments");
    }
    int status = kExitOk;
    std::optional<THistory> history = Open(err, status);
    if (!history) {
        return status;
    }
    try {
        std::string text;
        for (const TFavourite& favourite : history->Favourites()) {
            text += Field(favourite.Name) + '\t' + GroupField(favourite.Page, favourite.Group) +
                    '\t' + Field(favourite.Source) + '\t' + Field(favourite.Target) + '\n';
        }
        out << text;
        return kExitOk;
    } catch (const EHistoryError& e) {
        err << "tenvari-cli: " << e.what() << '\n';
        return kExitFailed;
    }
}

} // namespace

std::optional<int> RunHistoryCommand(const std::string& command,
                                     const std::vector<std::string>& args, std::ostream& out,
                                     std::ostream& err) {
    if (command == "history") {
        return History(args, out, err);
    }
    if (command == "favourites") {
        return Favourites(args, out, err);
    }
    return std::nullopt;
}

} // namespace tv
