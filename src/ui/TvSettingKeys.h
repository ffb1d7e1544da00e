#pragma once

#include "ui/TvIniFile.h"

#include <cassert>
#include <optional>

namespace tv {

// A key of the settings file: where it is, what a missing or non-integer value reads as, and
// which values are choices.
struct TSettingKey {
    const char* Section;
    const char* Key;
    // Unset where the default depends on the screen and the window (the centred position), so
    // the reader computes it.
    std::optional<int> Default;
    // The choices are 0 to Choices - 1; 0 for a key that holds any integer (a position) or a
    // number within Least to Most.
    int Choices;
    int Least = 0;
    int Most = 0; // Least = Most = 0: no range
};

// The keys of the settings file.
namespace setting {
inline constexpr TSettingKey WinPos{"StartUp", "WinPos", 0, 2};
inline constexpr TSettingKey Left{"StartUp", "Left", std::nullopt, 0};
inline constexpr TSettingKey Top{"StartUp", "Top", std::nullopt, 0};
inline constexpr TSettingKey UnitSeries{"StartUp", "UnitSeries", 0, 3};
inline constexpr TSettingKey LastUnits{"StartUp", "LastUnits", 0, 0};
inline constexpr TSettingKey SetUnits{"StartUp", "SetUnits", 0, 0};
inline constexpr TSettingKey ConvDispose{"Convert", "ConvDispose", 0, 2};
inline constexpr TSettingKey ShowAns{"Convert", "ShowAns", 0, 3};
inline constexpr TSettingKey ShowExp{"Convert", "ShowExp", 0, 2};
// 1: the start-up group opens with the units last used in it (from the history).
inline constexpr TSettingKey LastUnitPair{"StartUp", "LastUnitPair", 0, 2};
// 1: conversions are kept in the history; 0: nothing is written to it.
inline constexpr TSettingKey HistoryOn{"History", "Record", 1, 2};
// The number of entries kept; the oldest beyond it are dropped.
inline constexpr TSettingKey HistoryEntries{"History", "Entries", 10000, 0, 1, 100000};
// 1: an icon in the desktop's tray, and closing the window hides it there.
inline constexpr TSettingKey TrayIcon{"Desktop", "TrayIcon", 0, 2};
} // namespace setting

// The choice a stored value stands for: the value itself when it is one of the key's choices or
// within its range, else the default.
constexpr int Choice(const TSettingKey& key, int value) {
    const bool ranged = key.Least != 0 || key.Most != 0;
    const bool listed = ranged ? value >= key.Least && value <= key.Most
                               : key.Choices == 0 || (value >= 0 && value < key.Choices);
    return listed ? value : key.Default.value_or(0);
}

// The stored value, or the key's default when it is missing or not an integer.
inline int ReadSetting(const TIniFile& ini, const TSettingKey& key) {
    assert(key.Default.has_value());
    return ini.ReadInteger(key.Section, key.Key, key.Default.value_or(0));
}

// The same for a key whose default the caller computes.
inline int ReadSetting(const TIniFile& ini, const TSettingKey& key, int computedDefault) {
    assert(!key.Default.has_value());
    return ini.ReadInteger(key.Section, key.Key, computedDefault);
}

inline void WriteSetting(TIniFile& ini, const TSettingKey& key, int value) {
    ini.WriteInteger(key.Section, key.Key, value);
}

} // namespace tv
