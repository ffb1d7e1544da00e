#include "cli/TvCli.h"

#include "TvVersion.h"
#include "calc/TvBaseConvert.h"
#include "calc/TvCalculate.h"
#include "calc/TvQuery.h"
#include "calc/TvUnitSearch.h"
#include "cli/TvCheck.h"
#include "cli/TvCliHistory.h"
#include "cli/TvLineReader.h"
#include "units/TvErrors.h"
#include "units/TvPaths.h"
#include "units/TvUnitsFile.h"
#include "units/TvUserData.h"

#include <algorithm>
#include <charconv>
#include <istream>
#include <new>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace tv {

namespace {

constexpr std::string_view kUsage =
    "usage: tenvari-cli [--data DIR] [--no-user-data] [--show-ans N] [--show-exp] [--value]\n"
    "                   COMMAND ARGS... | QUERY... | -\n"
    "commands:\n"
    "  groups                         list the groups: index, a tab, name\n"
    "  units GROUP                    list the units of GROUP: position, a tab, name\n"
    "  find TEXT                      list the units one of whose names holds TEXT: group,\n"
    "                                 a tab, unit (a tab and the alias that found it);\n"
    "                                 exact names first, then those that begin with TEXT\n"
    "  eval TEXT                      print the value of TEXT\n"
    "  convert [GROUP] FROM TO VALUE  convert VALUE; with VALUE \"-\", convert each line of\n"
    "                                 standard input\n"
    "  all [GROUP] FROM VALUE         convert VALUE into every unit of the group\n"
    "  base FROM TO DIGITS            convert DIGITS from base FROM to base TO\n"
    "  base-all FROM DIGITS           convert DIGITS into every base from 2 to 36\n"
    "  check                          check units.dat and prefix.dat, the shipped and the\n"
    "                                 user's\n"
    "  history [-n N]                 list the window's history, newest first (the last N):\n"
    "                                 time, group, value, source, result, target\n"
    "  history --clear                clear the window's history\n"
    "  favourites                     list the favourites: name, group, source, target\n"
    "queries, when the first argument is no command (the arguments joined by blanks):\n"
    "  VALUE UNIT [VALUE UNIT]... [KEYWORD] [TARGET[;TARGET]...]\n"
    "                                 convert the values, each in its unit, added, into\n"
    "                                 TARGET; into the units of TARGET;TARGET one after\n"
    "                                 another (5 [尺] 2.8 [寸]); without TARGET into every\n"
    "                                 unit of the group. KEYWORD: to, in, as, into, ->, →,\n"
    "                                 >, =, を (に at the end), は (何 after it) or none:\n"
    "                                 \"5 ft to m\", \"3 mi + 200 yd in m\", \"5尺3寸をcmに\"\n"
    "  -                              read one query a line from standard input\n"
    "GROUP is a name (the first match in file order) or #N for index N. FROM and TO are a\n"
    "unit's name, the symbol in its brackets, its name without them, or an alias; or #N\n"
    "with GROUP. Without GROUP, the one group that holds the units is used.\n"
    "options:\n"
    "  --data DIR       folder of the shipped units.dat and prefix.dat (default: where the\n"
    "                   program looks)\n"
    "  --no-user-data   do not read the user's units.dat and prefix.dat\n"
    "                   ($XDG_DATA_HOME/tenvari, default ~/.local/share/tenvari)\n"
    "  --show-ans N     display mode: 0 general, 1 exponent, 2 digit grouping (default 0)\n"
    "  --show-exp       add the formula line to each conversion report\n"
    "  --value          print only the converted value of a query, convert or all\n"
    "  --help           show this text\n"
    "  --version        show the version\n";

// A command line the tool cannot carry out; exits with kExitUsage.
class TUsageError : public std::runtime_error {
public:
    TUsageError(const std::string& message, bool showUsage)
        : std::runtime_error(message), showUsage_(showUsage) {}
    bool ShowUsage() const { return showUsage_; }

private:
    bool showUsage_;
};

struct TOptions {
    std::string DataDir; // empty: where the program looks
    int ShowAns = 0;
    int ShowExp = 0;
    bool NoUserData = false;
    bool Help = false;
    bool ValueOnly = false;
    bool Version = false;
    std::string Command;
    std::vector<std::string> Args;
};

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Takes the option at args[i] (and its value) when it is one of the tool's options.
bool TakeOption(const std::vector<std::string_view>& args, size_t& i, TOptions& options) {
    const std::string_view arg = args[i];
    const auto value = [&](std::string_view name) -> std::optional<std::string_view> {
        if (arg == name) {
            if (i + 1 >= args.size()) {
                throw TUsageError(std::string(name) + " needs a value", true);
            }
            return args[++i];
        }
        if (arg.size() > name.size() && arg.substr(0, name.size()) == name &&
            arg[name.size()] == '=') {
            return arg.substr(name.size() + 1);
        }
        return std::nullopt;
    };
    if (const auto dir = value("--data")) {
        if (dir->empty()) {
            throw TUsageError("--data needs a folder", true);
        }
        options.DataDir = *dir;
        if (options.DataDir.back() != '/') {
            options.DataDir += '/';
        }
        return true;
    }
    if (const auto mode = value("--show-ans")) {
        if (mode->size() != 1 || (*mode)[0] < '0' || (*mode)[0] > '2') {
            throw TUsageError("--show-ans takes 0, 1 or 2", true);
        }
        options.ShowAns = (*mode)[0] - '0';
        return true;
    }
    if (arg == "--show-exp") {
        options.ShowExp = 1;
        return true;
    }
    if (arg == "--no-user-data") {
        options.NoUserData = true;
        return true;
    }
    if (arg == "--value") {
        options.ValueOnly = true;
        return true;
    }
    return false;
}

// True when --help or -h stands anywhere before "--", other than as the value of an option.
bool AsksForHelp(const std::vector<std::string_view>& args) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (arg == "--") {
            return false;
        }
        if (arg == "--help" || arg == "-h") {
            return true;
        }
        if (arg == "--data" || arg == "--show-ans") {
            ++i;
        }
    }
    return false;
}

TOptions ParseArgs(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    TOptions options;
    // Help wins over every other fault of the line, wherever it stands.
    if (AsksForHelp(args)) {
        options.Help = true;
        return options;
    }
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
            continue;
        }
        // After the command only the tool's own options count, so that a value such as -5
        // stays a value.
        if (!optionsEnded && TakeOption(args, i, options)) {
            continue;
        }
        if (options.Command.empty()) {
            if (!optionsEnded && arg == "--version") {
                options.Version = true;
                return options;
            }
            // A negative number begins a query, as in "-40 °F to ℃".
            if (!optionsEnded && arg.size() > 1 && arg[0] == '-' && !IsDigit(arg[1]) &&
                arg[1] != '.') {
                throw TUsageError("unknown option " + std::string(arg), true);
            }
            options.Command = arg;
        } else {
            options.Args.emplace_back(arg);
        }
    }
    return options;
}

std::string FailureText(const std::exception& error) {
    const std::string name = ReportedFailureName(error);
    return name.empty() ? ErrorBoxText(error.what()) : name + " Error.";
}

// Index N of a "#N" text, or nullopt for any other text.
std::optional<int64_t> IndexOf(std::string_view text) {
    if (text.size() < 2 || text[0] != '#') {
        return std::nullopt;
    }
    int64_t index = 0;
    const char* last = text.data() + text.size();
    const auto [end, ec] = std::from_chars(text.data() + 1, last, index);
    if (end != last || (ec != std::errc() && ec != std::errc::result_out_of_range) ||
        text[1] == '-' || text[1] == '+') {
        return std::nullopt;
    }
    // An index too large for the type lies beyond every group anyway.
    return ec == std::errc() ? index : INT64_MAX;
}

class TCli {
public:
    TCli(const TOptions& options, std::ostream& out, std::ostream& err, std::istream& in)
        : options_(options), out_(out), err_(err), in_(in) {
        dataDir_ = options.DataDir.empty() ? DataDir(ExecutableDir()) : options.DataDir;
        if (!options.NoUserData) {
            userDir_ = UserDataDir();
        }
    }

    int Run() {
        const std::string& command = options_.Command;
        if (command == "groups") {
            return Groups();
        }
        if (command == "units") {
            return Units();
        }
        if (command == "find") {
            return Find();
        }
        if (command == "eval") {
            return Eval();
        }
        if (command == "convert") {
            return Convert();
        }
        if (command == "all") {
            return All();
        }
        if (command == "base") {
            return Base();
        }
        if (command == "base-all") {
            return BaseAll();
        }
        if (command == "check") {
            return Check();
        }
        if (const std::optional<int> status =
                RunHistoryCommand(command, options_.Args, out_, err_)) {
            return *status;
        }
        if (command == "-" && options_.Args.empty()) {
            return QueryStream();
        }
        return Query();
    }

private:
    // The command's arguments, when there are as many as its synopsis names.
    const std::vector<std::string>& Args(size_t count, const char* synopsis) const {
        return Args(count, count, synopsis);
    }

    const std::vector<std::string>& Args(size_t least, size_t most, const char* synopsis) const {
        if (options_.Args.size() < least || options_.Args.size() > most) {
            throw TUsageError(options_.Command + " takes " + synopsis, true);
        }
        return options_.Args;
    }

    int Groups() {
        Args(0, "no arguments");
        if (!LoadUnits()) {
            return kExitUnitsLoad;
        }
        std::string text;
        for (int32_t g = 0; g < units_.GroupCount(); ++g) {
            text += std::to_string(g) + '\t' + units_.GetGroup(g).Name + '\n';
        }
        out_ << text;
        return kExitOk;
    }

    int Units() {
        const auto& args = Args(1, "GROUP");
        if (!LoadUnits()) {
            return kExitUnitsLoad;
        }
        units_.SelectGroup(ResolveGroup(args[0]));
        std::string text;
        for (int32_t p = 0; p < units_.UnitCount(); ++p) {
            text += std::to_string(p) + '\t' + units_.GetUnit(p).Name + '\n';
        }
        out_ << text;
        return kExitOk;
    }

    int Find() {
        const auto& args = Args(1, "TEXT");
        if (!LoadUnits()) {
            return kExitUnitsLoad;
        }
        const TUnitSearch search(units_);
        std::string text;
        for (const TUnitHit& hit : search.Find(args[0])) {
            AppendHit(text, search, hit);
        }
        out_ << text;
        return kExitOk;
    }

    // A hit as find writes it: group, a tab, unit, and a tab and the alias that found it.
    static void AppendHit(std::string& text, const TUnitSearch& search, const TUnitHit& hit) {
        text += search.GroupName(hit);
        text += '\t';
        text += search.UnitName(hit);
        if (const std::string_view alias = search.UnitAlias(hit); !alias.empty()) {
            text += '\t';
            text += alias;
        }
        text += '\n';
    }

    int Eval() {
        const auto& args = Args(1, "TEXT");
        LoadPrefixes();
        // Read as the input box is read: an empty text is 0, full-width forms count.
        const std::string text = args[0].empty() ? "0" : args[0];
        return Attempt([&] { out_ << FormatGeneral(Calculate(MapText(text), prefixes_)) << '\n'; });
    }

    // The form is chosen by the number of arguments alone, so no name changes its meaning.
    int Convert() {
        const auto& args = Args(3, 4, "[GROUP] FROM TO VALUE");
        if (!LoadUnits()) {
            return kExitUnitsLoad;
        }
        LoadPrefixes();
        const bool grouped = args.size() == 4;
        const std::vector<int32_t> units = SelectUnits(
            grouped ? &args[0] : nullptr, {args[grouped ? 1 : 0], args[grouped ? 2 : 1]});
        TUnitConvRequest request = UnitRequest(units[0], units[1]);
        const std::string& value = args.back();
        if (value == "-") {
            return ConvertStream(request);
        }
        request.InputText = value.empty() ? "0" : value;
        return Attempt([&] {
            std::string text;
            AppendReport(text, ConvertUnit(request, prefixes_));
            out_ << text;
        });
    }

    // Converts each line of standard input; the units and their formulas are read once for all
    // lines.
    int ConvertStream(const TUnitConvRequest& request) {
        constexpr size_t kFlushSize = 1 << 16;
        const TUnitConverter converter(request, prefixes_);
        std::string text;
        text.reserve(kFlushSize + 4096);
        bool failed = false;
        const bool read = ReadLines(text, [&](std::string_view line, uint64_t) {
            try {
                converter.AppendReport(line.empty() ? std::string_view("0") : line, text, "\n");
            } catch (const std::bad_alloc&) {
                failed = true;
                Fail(text, ErrorBoxText(kMsgOutOfMemory));
            } catch (const std::exception& e) {
                failed = true;
                Fail(text, FailureText(e));
            }
            if (text.size() >= kFlushSize) {
                out_ << text;
                text.clear();
            }
        });
        out_ << text;
        return read && !failed ? kExitOk : kExitFailed;
    }

    // Hands each line of standard input to take, in order, with its number. A line beyond the
    // reader's limit is reported and skipped, and reading goes on; a read error or a buffer that
    // cannot be had is reported and ends reading. pending, the output held back, is written before
    // each message. False when a line was skipped or reading failed.
    template <class F> bool ReadLines(std::string& pending, F&& take) {
        if (in_.rdbuf() == nullptr) {
            Fail(pending, "tenvari-cli: cannot read standard input");
            return false;
        }
        TLineReader reader(*in_.rdbuf());
        bool complete = true;
        try {
            std::string_view line;
            for (TLineReader::TStatus status;
                 (status = reader.Next(line)) != TLineReader::TStatus::End;) {
                if (status == TLineReader::TStatus::TooLong) {
                    complete = false;
                    Fail(pending, "tenvari-cli: line " + std::to_string(reader.LineNumber()) +
                                      " of standard input is longer than " +
                                      std::to_string(reader.MaxLine()) + " bytes; it is skipped");
                    continue;
                }
                take(line, reader.LineNumber());
            }
        } catch (const std::system_error& e) {
            Fail(pending, "tenvari-cli: cannot read standard input: " + e.code().message());
            return false;
        } catch (const std::bad_alloc&) {
            Fail(pending, ErrorBoxText(kMsgOutOfMemory));
            return false;
        }
        return complete;
    }

    // Writes what came before a failing value first, so that both streams keep the input order
    // on a terminal.
    void Fail(std::string& pending, const std::string& message) {
        Flush(pending);
        err_ << message << '\n';
    }

    void Flush(std::string& pending) {
        out_ << pending;
        out_.flush();
        pending.clear();
    }

    int All() {
        const auto& args = Args(2, 3, "[GROUP] FROM VALUE");
        if (!LoadUnits()) {
            return kExitUnitsLoad;
        }
        LoadPrefixes();
        const bool grouped = args.size() == 3;
        const int32_t source =
            SelectUnits(grouped ? &args[0] : nullptr, {args[grouped ? 1 : 0]})[0];
        TUnitConvRequest request = UnitRequest(source, source);
        const std::string& value = args.back();
        request.InputText = value.empty() ? "0" : value;
        std::string text;
        bool failed = false;
        for (int32_t p = 0; p < units_.UnitCount(); ++p) {
            request.Target = units_.GetUnit(p);
            request.SameUnit = p == source;
            failed =
                !BatchStep([&] { AppendReport(text, ConvertUnit(request, prefixes_)); }) || failed;
        }
        out_ << text;
        return failed ? kExitFailed : kExitOk;
    }

    int Base() {
        const auto& args = Args(3, "FROM TO DIGITS");
        const std::string digits = args[2].empty() ? "0" : args[2];
        CheckDigits(digits, args[0]);
        return Attempt([&] { out_ << ConvertBase(digits, args[0], args[1]).ReportLine << '\n'; });
    }

    int BaseAll() {
        const auto& args = Args(2, "FROM DIGITS");
        const std::string digits = args[1].empty() ? "0" : args[1];
        CheckDigits(digits, args[0]);
        std::string text;
        bool failed = false;
        for (int base = 2; base <= 36; ++base) {
            failed = !BatchStep([&] {
                text += ConvertBase(digits, args[0], std::to_string(base)).ReportLine;
                text += '\n';
            }) || failed;
        }
        out_ << text;
        return failed ? kExitFailed : kExitOk;
    }

    // A character that is no digit of the input base is refused, as the window's paste refuses
    // it; a base the conversion cannot use is left to the conversion to report.
    static void CheckDigits(const std::string& digits, const std::string& baseText) {
        const int64_t base = BaseFieldValue(baseText);
        if (base < 2 || base > 36 || IsBaseStr(digits, static_cast<uint8_t>(base))) {
            return;
        }
        size_t at = 0;
        while (IsBaseStr(digits.substr(at, 1), static_cast<uint8_t>(base))) {
            ++at;
        }
        // The whole character, when it is one of several bytes.
        size_t end = at + 1;
        while (end < digits.size() && (static_cast<unsigned char>(digits[end]) & 0xC0u) == 0x80u) {
            ++end;
        }
        throw TUsageError("\"" + digits.substr(at, end - at) + "\" is not a digit of base " +
                              std::to_string(base),
                          false);
    }

    int Check() {
        Args(0, "no arguments");
        return ReportCheck(CheckData(dataDir_, userDir_), out_);
    }

    // The shipped units, then the user's; a user file that fails is left out with a warning.
    bool LoadUnits() {
        if (!units_.LoadFromFile(dataDir_ + kUnitsFileName)) {
            err_ << "単位データの読み込みに失敗しました。\nTenvariを終了します。\n\n\""
                 << kUnitsFileName << "\" の有無をご確認ください。\n";
            WriteLoadError(units_.LastError());
            return false;
        }
        if (const auto failure = AddUserUnits(units_, userDir_)) {
            err_ << kMsgUserUnitsFailed << '\n';
            WriteLoadError(*failure);
        }
        WriteLoadWarnings(kMsgUserUnitsIncomplete, UserFileWarnings(units_, userDir_));
        return true;
    }

    // A prefix file that fails leaves prefixes off, as in the program.
    void LoadPrefixes() {
        if (!prefixes_.LoadFromFile(dataDir_ + kPrefixFileName)) {
            err_ << "接頭辞データの読み込みに失敗しました。\n\n"
                    "入力における接頭辞の使用が不可となります。\n";
            WriteLoadError(prefixes_.LastError());
            return;
        }
        if (const auto failure = AddUserPrefixes(prefixes_, userDir_)) {
            err_ << kMsgUserPrefixesFailed << '\n';
            WriteLoadError(*failure);
        }
        WriteLoadWarnings(kMsgUserPrefixesIncomplete, UserFileWarnings(prefixes_, userDir_));
    }

    // What a user's file that loaded left out, as the window's warning says it.
    void WriteLoadWarnings(std::string_view message, const TLoadWarnings& warnings) {
        if (warnings.empty()) {
            return;
        }
        err_ << message << '\n';
        for (const TLoadError& warning : warnings) {
            WriteLoadError(warning);
        }
    }

    void WriteLoadError(const TLoadError& error) {
        err_ << error.File;
        if (error.Line >= 0) {
            err_ << ':' << error.Line + 1;
        }
        err_ << ": " << error.Reason << '\n';
    }

    int32_t ResolveGroup(const std::string& text) const {
        const int32_t count = units_.GroupCount();
        if (const auto index = IndexOf(text)) {
            if (*index >= count) {
                throw TUsageError(
                    "no group " + text + ": there are " + std::to_string(count) + " groups", false);
            }
            return static_cast<int32_t>(*index);
        }
        if (const auto g = GroupNamed(text)) {
            return *g;
        }
        throw TUsageError("no group named \"" + text + "\" (tenvari-cli groups lists them)", false);
    }

    // The first group with that name.
    std::optional<int32_t> GroupNamed(const std::string& text) const {
        for (int32_t g = 0; g < units_.GroupCount(); ++g) {
            if (units_.GetGroup(g).Name == text) {
                return g;
            }
        }
        return std::nullopt;
    }

    // Selects the group of the units named by texts and returns their positions in it: in
    // GROUP when it is given, else in the one group that holds them all.
    std::vector<int32_t> SelectUnits(const std::string* group,
                                     const std::vector<std::string>& texts) {
        const int32_t g = group != nullptr ? ResolveGroup(*group) : GroupHolding(texts);
        groupName_ = units_.GetGroup(g).Name;
        const std::vector<TUnitNamesEntry> names = units_.GroupUnitNameEntries(g);
        std::vector<int32_t> positions;
        for (const std::string& text : texts) {
            positions.push_back(ResolveUnit(names, text));
        }
        units_.SelectGroup(g);
        return positions;
    }

    // Position of a unit among the names of the group groupName_.
    int32_t ResolveUnit(const std::vector<TUnitNamesEntry>& names, const std::string& text) const {
        const auto count = static_cast<int32_t>(names.size());
        if (const auto index = IndexOf(text)) {
            if (*index >= count) {
                throw TUsageError("no unit " + text + " in group \"" + groupName_ + "\": it has " +
                                      std::to_string(count) + " units",
                                  false);
            }
            return static_cast<int32_t>(*index);
        }
        const std::vector<int32_t> matches = MatchUnitName(names, text);
        if (matches.empty()) {
            throw TUsageError("no unit named \"" + text + "\" in group \"" + groupName_ +
                                  "\" (tenvari-cli units lists them)",
                              false);
        }
        if (matches.size() > 1) {
            std::string message = "\"" + text + "\" names more than one unit of group \"" +
                                  groupName_ + "\"; give its full name or #N:";
            for (const int32_t p : matches) {
                message += "\n  #" + std::to_string(p) + '\t' + names[static_cast<size_t>(p)].Name;
            }
            throw TUsageError(message, false);
        }
        return matches.front();
    }

    // The one group in which every text names a unit.
    int32_t GroupHolding(const std::vector<std::string>& texts) const {
        for (const std::string& text : texts) {
            if (IndexOf(text)) {
                throw TUsageError("a unit given as " + text + " needs its GROUP", false);
            }
        }
        std::vector<int32_t> holding;
        for (int32_t g = 0; g < units_.GroupCount(); ++g) {
            const std::vector<TUnitNamesEntry> names = units_.GroupUnitNameEntries(g);
            if (std::all_of(texts.begin(), texts.end(), [&](const std::string& text) {
                    return !MatchUnitName(names, text).empty();
                })) {
                holding.push_back(g);
            }
        }
        std::string quoted;
        for (const std::string& text : texts) {
            quoted += (quoted.empty() ? "\"" : " and \"") + text + '"';
        }
        if (holding.empty()) {
            std::string message = texts.size() == 1 ? "no group holds a unit named " + quoted
                                                    : "no group holds both " + quoted;
            // A group name first means GROUP was given and VALUE left out.
            if (texts.size() > 1 && GroupNamed(texts[0])) {
                message += " (is VALUE missing? convert takes [GROUP] FROM TO VALUE)";
            } else {
                message += " (tenvari-cli find TEXT searches the units)";
            }
            throw TUsageError(message, false);
        }
        if (holding.size() > 1) {
            std::string message = "more than one group holds " + quoted + "; give the GROUP:";
            for (const int32_t g : holding) {
                message += "\n  #" + std::to_string(g) + '\t' + units_.GetGroup(g).Name;
            }
            throw TUsageError(message, false);
        }
        return holding.front();
    }

    TUnitConvRequest UnitRequest(int32_t source, int32_t target) const {
        TUnitConvRequest request;
        request.Source = units_.GetUnit(source);
        request.Target = units_.GetUnit(target);
        request.SameUnit = source == target;
        request.ShowAns = options_.ShowAns;
        request.ShowExp = options_.ShowExp;
        return request;
    }

    void AppendReport(std::string& text, const TUnitConvResult& result) const {
        AppendLine(text, result.Output, result.ReportLine, result.FormulaLine);
    }

    // The report line and the formula line of a conversion, or its value alone with --value.
    void AppendLine(std::string& text, const std::string& output, const std::string& report,
                    const std::string& formula) const {
        if (options_.ValueOnly) {
            text += output;
            text += '\n';
            return;
        }
        text += report;
        text += '\n';
        if (options_.ShowExp == 1) {
            text += formula;
            text += '\n';
        }
    }

    // ---- queries ----

    // The arguments joined by blanks are a query when they begin like one; any other word is
    // an unknown command.
    int Query() {
        std::string text = options_.Command;
        for (const std::string& arg : options_.Args) {
            text += ' ';
            text += arg;
        }
        if (std::none_of(text.begin(), text.end(), IsDigit) &&
            text.find("\xEF\xBC") == std::string::npos) {
            throw TUsageError("unknown command " + options_.Command, true);
        }
        if (!LoadUnits()) {
            return kExitUnitsLoad;
        }
        LoadPrefixes();
        const TUnitSearch names(units_);
        const TQueryData data{units_, names, prefixes_};
        TQueryParse parse = ParseQuery(text, data);
        if (parse.Kind == TQueryKind::NotAQuery) {
            throw TUsageError("unknown command " + options_.Command, true);
        }
        if (parse.Kind == TQueryKind::Failed) {
            err_ << "tenvari-cli: ";
            WriteProblem(parse.Problem, names);
            return kExitUsage;
        }
        return Attempt([&] {
            std::string lines;
            AppendQuery(lines, ConvertQuery(parse.Query, data, options_.ShowAns, options_.ShowExp));
            out_ << lines;
        });
    }

    // One query a line; a line that fails is reported with its number and the stream goes on.
    int QueryStream() {
        if (!LoadUnits()) {
            return kExitUnitsLoad;
        }
        LoadPrefixes();
        const TUnitSearch names(units_);
        const TQueryData data{units_, names, prefixes_};
        std::string text;
        bool failed = false;
        const bool read = ReadLines(text, [&](std::string_view line, uint64_t number) {
            if (line.find_first_not_of(" \t") == std::string_view::npos) {
                return;
            }
            const std::string where = "line " + std::to_string(number) + ": ";
            try {
                AppendQuery(text, ConvertQuery(ResolveQuery(line, data), data, options_.ShowAns,
                                               options_.ShowExp));
                return;
            } catch (const EQueryError& e) {
                Flush(text);
                err_ << where;
                WriteProblem(e.Problem(), names);
            } catch (const std::bad_alloc&) {
                Fail(text, where + ErrorBoxText(kMsgOutOfMemory));
            } catch (const std::exception& e) {
                Fail(text, where + FailureText(e));
            }
            failed = true;
        });
        out_ << text;
        return read && !failed ? kExitOk : kExitFailed;
    }

    void AppendQuery(std::string& text, const std::vector<TQueryLine>& lines) const {
        for (const TQueryLine& line : lines) {
            AppendLine(text, line.Output, line.ReportLine, line.FormulaLine);
        }
    }

    // The message, then the units it offers, one a line as find writes them.
    void WriteProblem(const TQueryProblem& problem, const TUnitSearch& names) {
        std::string text = problem.Message + '\n';
        for (const TUnitHit& hit : problem.Units) {
            AppendHit(text, names, hit);
        }
        err_ << text;
    }

    // Runs one conversion; a failure is shown as the window would show it.
    template <class F> int Attempt(F&& convert) {
        try {
            convert();
            return kExitOk;
        } catch (const std::bad_alloc&) {
            err_ << ErrorBoxText(kMsgOutOfMemory) << '\n';
        } catch (const std::exception& e) {
            err_ << FailureText(e) << '\n';
        }
        return kExitFailed;
    }

    // Runs one conversion of a batch: the failures a conversion reports itself are shown and the
    // batch goes on; any other failure ends the batch, as in the program.
    template <class F> bool BatchStep(F&& convert) {
        try {
            convert();
            return true;
        } catch (const ETvError& e) {
            if (ReportedFailureName(e).empty()) {
                throw;
            }
            err_ << FailureText(e) << '\n';
        }
        return false;
    }

    const TOptions& options_;
    std::ostream& out_;
    std::ostream& err_;
    std::istream& in_;
    std::string dataDir_;
    std::string userDir_; // empty: the user's files are not read
    std::string groupName_;
    TUnits units_;
    TPrefixes prefixes_;
};

} // namespace

int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err, std::istream& in) {
    try {
        const TOptions options = ParseArgs(argc, argv);
        if (options.Help) {
            out << kUsage;
            return kExitOk;
        }
        if (options.Version) {
            out << "tenvari-cli (Tenvari) " << kVersion << '\n';
            return kExitOk;
        }
        if (options.Command.empty()) {
            err << kUsage;
            return kExitUsage;
        }
        TCli cli(options, out, err, in);
        return cli.Run();
    } catch (const TUsageError& e) {
        err << "tenvari-cli: " << e.what() << '\n';
        if (e.ShowUsage()) {
            err << kUsage;
        }
        return kExitUsage;
    } catch (const std::bad_alloc&) {
        err << ErrorBoxText(kMsgOutOfMemory) << '\n';
    } catch (const std::exception& e) {
        err << ErrorBoxText(e.what()) << '\n';
    }
    return kExitFailed;
}

} // namespace tv
