#pragma once

#include "units/TvUnitsFile.h"

#include <optional>
#include <string>
#include <string_view>

namespace tv {

// Names of the data files, the same in the shipped folder and in the user's.
inline constexpr const char* kUnitsFileName = "units.dat";
inline constexpr const char* kPrefixFileName = "prefix.dat";

// The first lines of the warning shown when one of the user's files does not load; the place
// and the reason follow them.
inline constexpr std::string_view kMsgUserUnitsFailed =
    "ユーザー単位データの読み込みに失敗しました。\n"
    "ユーザー単位データを除いて続けます。";
inline constexpr std::string_view kMsgUserPrefixesFailed =
    "ユーザー接頭辞データの読み込みに失敗しました。\n"
    "ユーザー接頭辞データを除いて続けます。";

// The first lines of the warning shown when one of the user's files loaded but left something
// out (a group never closed, text after a NUL); each place and reason follow them.
inline constexpr std::string_view kMsgUserUnitsIncomplete =
    "ユーザー単位データの一部を読み込めませんでした。";
inline constexpr std::string_view kMsgUserPrefixesIncomplete =
    "ユーザー接頭辞データの一部を読み込めませんでした。";

// True when nothing is at path; a dangling link or an unreadable folder is there, and then fails
// to load.
bool IsMissingFile(const std::string& path);

// Adds the user's units.dat from userDir (ending in "/") to a catalogue that holds the shipped
// units. Returns the failure when the file exists but does not load, which leaves the
// catalogue as it was; a missing file is no failure. An empty userDir, or a user's file that is
// one the catalogue has read already, adds nothing.
std::optional<TLoadError> AddUserUnits(TUnits& units, const std::string& userDir);

// The same for the user's prefix.dat: its prefixes go after the shipped ones. While the table's
// own file has failed, prefixes stay off and the user's file is not read.
std::optional<TLoadError> AddUserPrefixes(TPrefixes& prefixes, const std::string& userDir);

// The warnings of the user's units.dat or prefix.dat in userDir, when the table read it.
TLoadWarnings UserFileWarnings(const TUnits& units, const std::string& userDir);
TLoadWarnings UserFileWarnings(const TPrefixes& prefixes, const std::string& userDir);

struct TUserUnitsFile {
    std::string Path;
    bool Created = false; // false: the file was there already and is left as it is
};

// Makes sure the user's units.dat exists, for editing: when it is missing, creates userDir as
// needed and writes UserUnitsTemplate() into a new file; an existing file is never touched.
// Throws ETvError, naming the path, when the file cannot be created.
TUserUnitsFile CreateUserUnitsFile(const std::string& userDir);

// The text of a new user units file (UTF-8): an empty group, the end-of-data marker, and after
// it a short guide in Japanese to writing units.
std::string_view UserUnitsTemplate();

} // namespace tv
