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
};

struct TPrefixEntry {
    std::string Name;
    long double Factor = 0.0L;
};

// Where and why the last LoadFromFile failed; Line is 0-based, -1 when the file itself could
// not be read.
struct TLoadError {
    int32_t Line = -1;
    std::string Reason;
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

// The unit catalogue read from units.dat.
class TUnits {
public:
    // Never throws; false on any failure, with LastError() telling where and why.
    bool LoadFromFile(const std::string& fileName);
    // The same from text already decoded to UTF-8.
    bool LoadFromText(std::string_view text);

    int32_t GroupCount() const { return groupCount_; }
    TUnitsEntry GetGroup(int32_t index) const;
    void SelectGroup(int32_t index);
    int32_t UnitCount() const { return unitCount_; }
    TUnitEntry GetUnit(int32_t position) const;
    const TLoadError& LastError() const { return lastError_; }

private:
    // Does the load; line follows the line being read so that a thrown failure can name it.
    bool Parse(std::string text, int32_t& line);
    bool Load(std::string text);

    // The decoded file. Units are kept as their lines in it and split again when their group is
    // selected, so that a large file costs little more memory than its text.
    std::string text_;
    std::vector<TUnitsEntry> groups_;
    std::vector<size_t> groupOffsets_; // byte offset in text_ of each group's first unit line
    std::vector<TUnitEntry> currentUnits_;
    int32_t groupCount_ = 0;
    int32_t unitCount_ = 0;
    TLoadError lastError_;
};

// The prefix table read from prefix.dat.
class TPrefixes {
public:
    // Never throws; sets Loaded() to the result.
    bool LoadFromFile(const std::string& fileName);
    bool LoadFromText(std::string_view text);

    bool Loaded() const { return loaded_; }
    int32_t Count() const { return static_cast<int32_t>(entries_.size()); }
    const TPrefixEntry& Entry(int32_t index) const { return entries_.at(index); }
    const TLoadError& LastError() const { return lastError_; }

    // A number text that may end in a prefix, to its value. Throws EConvertError, or EOverflow
    // for a product beyond the extended range.
    long double StrToValue(std::string_view text) const;

private:
    bool Parse(std::string_view text, int32_t& line);

    std::vector<TPrefixEntry> entries_;
    bool loaded_ = false;
    TLoadError lastError_;
};

} // namespace tv
