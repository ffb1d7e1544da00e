#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tv {

// One group of the catalogue.
struct TUnitsEntry {
    std::string Name;
    int32_t StartLine = 0; // 0-based line of the group's first unit
    int32_t Count = 0;     // number of unit lines read for the group
};

// One unit: display name and the two formula texts ("$i" into the base, "$t" out of it).
struct TUnitEntry {
    std::string Name;
    std::string ToBase;
    std::string FromBase;
    std::string Extra;
    // Other names the unit is found by: every field after the fourth, each split at blanks.
    std::vector<std::string> Aliases;
};

// The names of one unit without its formulas.
struct TUnitNamesEntry {
    std::string Name;
    std::vector<std::string> Aliases;
};

struct TPrefixEntry {
    std::string Name;
    long double Factor = 0.0L;
};

// Where and why the last load failed; Line is 0-based, -1 when the file itself could not be
// read. File is the path (or the name given with a text).
struct TLoadError {
    int32_t Line = -1;
    std::string Reason;
    std::string File;
};

// Where a group or unit was read: the index of its file in the catalogue's Files() and the
// 0-based line in it.
struct TDataOrigin {
    int32_t File = 0;
    int32_t Line = 0;
};

// What a file that loaded still left out: a group never closed (Line is its group start
// marker) or the text after a NUL (Line is the NUL's). File is the file's name, as in Files().
using TLoadWarnings = std::vector<TLoadError>;

// The reason of the warning for a NUL that ends the text before its end.
inline constexpr const char* kMsgNulEndsText =
    "NUL 文字でテキストが終わるため、ここから後は読み込まれません";

// One file that a catalogue read, with the groups and units it brought.
struct TDataFileInfo {
    std::string Name;
    int32_t Groups = 0;
    int32_t Units = 0;
    TLoadWarnings Warnings;
};

// Splits a data-file line into fields (commas or blanks; double-quoted fields may hold both,
// "" inside stands for one quote; an unclosed quoted field ends at the end of the line).
std::vector<std::string> SplitFields(std::string_view line);

// The group name held by a name line (quoted or as written).
std::string ParseNameLine(std::string_view line);

// The one number conversion of the program. Throws EConvertError
// "'<text>' は浮動小数点数ではありません" for a text that is not a plain number or lies beyond
// the extended range.
long double StrToFloatValue(std::string_view text);

// The same rule without throwing.
bool TryStrToFloatValue(std::string_view text, long double& value);

// The unit catalogue read from units.dat, and from the user's units.dat added after it.
class TUnits {
public:
    // Never throws; false on any failure, with LastError() telling where and why. The groups
    // closed before a failing line stay in the catalogue.
    bool LoadFromFile(const std::string& fileName);
    // The same from text already decoded to UTF-8; fileName only names it in Files().
    bool LoadFromText(std::string_view text, const std::string& fileName = {});

    // Adds another units file after what is loaded: a group whose name equals a group already
    // in the catalogue (the first such) gets its units after that group's; any other group comes
    // after all groups, so the positions of earlier groups never move. All or nothing: on failure
    // the catalogue is unchanged and LastError() names the file, the line and the reason.
    // Never throws.
    bool AddFromFile(const std::string& fileName);
    bool AddFromText(std::string_view text, const std::string& fileName = {});

    int32_t GroupCount() const { return static_cast<int32_t>(groups_.size()); }
    // StartLine is the line in the file where the group was opened, Count all its units.
    TUnitsEntry GetGroup(int32_t index) const;
    void SelectGroup(int32_t index);
    int32_t UnitCount() const { return unitCount_; }
    TUnitEntry GetUnit(int32_t position) const;
    const TLoadError& LastError() const { return lastError_; }

    // The units of a group without selecting it, in the order SelectGroup gives them.
    std::vector<TUnitEntry> GroupUnits(int32_t index) const;
    // Only their names, which is cheaper.
    std::vector<std::string> GroupUnitNames(int32_t index) const;
    // Their names and aliases.
    std::vector<TUnitNamesEntry> GroupUnitNameEntries(int32_t index) const;
    // One unit of a group, without splitting the others.
    TUnitEntry GroupUnit(int32_t index, int32_t position) const;

    // The files read, in the order they were read: LoadFromFile's first, then each added file.
    const std::vector<TDataFileInfo>& Files() const { return files_; }
    // The group's name line in the file where it was opened.
    TDataOrigin GroupOrigin(int32_t index) const;
    TDataOrigin UnitOrigin(int32_t index, int32_t position) const;

private:
    // A group's units that stand together in one file: Count consecutive lines from byte Offset
    // of that file's text, the first being line FirstLine. A group read from two files has two
    // runs, linked through Next.
    struct TRun {
        int32_t File = 0;
        int32_t FirstLine = 0;
        size_t Offset = 0;
        size_t Size = 0; // bytes up to the group's end marker
        int32_t Count = 0;
        int32_t Next = -1;
    };
    struct TParsed;

    bool Read(const std::string& fileName, bool add);
    bool Load(std::string text, const std::string& fileName, bool add);
    static bool Parse(std::string_view text, TParsed& parsed, int32_t& line);
    bool Merge(std::string text, const std::string& fileName, TParsed& parsed);
    // Adds the file's groups: group g joins group targets[g], or is appended when that is -1.
    void Append(std::string text, const std::string& fileName, TParsed& parsed,
                const std::vector<int32_t>& targets);
    // Calls visit(line) for each unit line of the group, in order.
    template <class F> void ForEachUnitLine(int32_t index, F&& visit) const;
    const TUnitsEntry& Group(int32_t index) const;

    // The decoded text of each file read. Units are kept as their lines in it and split again
    // when their group is selected, so that a large file costs little more memory than its text.
    std::vector<std::string> texts_;
    std::vector<TDataFileInfo> files_;
    std::vector<TUnitsEntry> groups_;
    std::vector<int32_t> firstRun_; // per group, into runs_
    std::vector<int32_t> lastRun_;
    std::vector<TRun> runs_;
    std::vector<TUnitEntry> currentUnits_;
    int32_t unitCount_ = 0;
    TLoadError lastError_;
};

// One file that a prefix table read: its entries are Entry(First) to Entry(First + Count - 1),
// one a line.
struct TPrefixFileInfo {
    std::string Name;
    int32_t First = 0;
    int32_t Count = 0;
    TLoadWarnings Warnings;
};

// The prefix table read from prefix.dat, and from the user's prefix.dat appended after it.
class TPrefixes {
public:
    // Never throws; sets Loaded() to the result.
    bool LoadFromFile(const std::string& fileName);
    bool LoadFromText(std::string_view text, const std::string& fileName = {});

    // Appends the prefixes of another file after the entries held; the first entry of a name
    // wins, so an added prefix whose name is already held is never used. All or nothing: on
    // failure the table is unchanged and LastError() names the file, the line and the reason.
    // Loaded() stays as the first file left it. Never throws.
    bool AddFromFile(const std::string& fileName);
    bool AddFromText(std::string_view text, const std::string& fileName = {});

    bool Loaded() const { return loaded_; }
    int32_t Count() const { return static_cast<int32_t>(entries_.size()); }
    const TPrefixEntry& Entry(int32_t index) const { return entries_.at(index); }
    const TLoadError& LastError() const { return lastError_; }

    // The files read, in order, and where an entry came from.
    const std::vector<TPrefixFileInfo>& Files() const { return files_; }
    TDataOrigin EntryOrigin(int32_t index) const;

    // A number text that may end in a prefix, to its value. Throws EConvertError, or EOverflow
    // for a product beyond the extended range.
    long double StrToValue(std::string_view text) const;

private:
    bool Read(const std::string& fileName, bool add);
    bool Take(std::string_view text, const std::string& fileName, bool add);
    static bool Parse(std::string_view text, std::vector<TPrefixEntry>& entries, int32_t& line,
                      std::string& reason, TLoadWarnings& warnings);

    std::vector<TPrefixEntry> entries_;
    std::vector<TPrefixFileInfo> files_;
    bool loaded_ = false;
    TLoadError lastError_;
};

} // namespace tv
