#pragma once

#include "calc/TvUnitSearch.h"
#include "units/TvUnitsFile.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What the desktop's search gets from Tenvari, without Qt: the gate that keeps out what can be
// no query, the data read again when a file changes, and the answers of a whole query.
namespace tv::desktop {

// What a search may send: beyond these a text is no conversion anyone types, and it gets no
// answer at once.
inline constexpr std::size_t kMaxQueryBytes = 256;
inline constexpr std::size_t kMaxTerms = 32;
// Answers of a query without a target, as many as a search list shows.
inline constexpr std::size_t kMaxAnswers = 5;

// The query that search terms make, joined by one blank; nothing when they can be no query:
// empty, too long, too many terms, invalid UTF-8 or control characters.
std::optional<std::string> QueryFromTerms(const std::vector<std::string>& terms);
std::optional<std::string> QueryFromText(std::string_view text);

// One answer for the desktop's search.
struct TAnswer {
    std::string Id;          // the query that shows this one answer in the window
    std::string Name;        // the result as the window shows it, and its unit
    std::string Description; // the report line
    std::string Value;       // the value alone, for the clipboard

    bool operator==(const TAnswer&) const = default;
};

// The data a query is answered on: the catalogue, its names, the prefixes, and the display mode
// of the window's settings.
struct TAnswerSource {
    const TUnits& Units;
    const TUnitSearch& Names;
    const TPrefixes& Prefixes;
    int ShowAns = 0;
};

// Answers a whole query on the data: at most limit answers, none for a text that is no whole
// query (an ordinary word, a bare number, an unknown unit). Never throws.
class IQueryAnswerer {
public:
    virtual ~IQueryAnswerer() = default;
    virtual std::vector<TAnswer> Answer(std::string_view query, const TAnswerSource& source,
                                        std::size_t limit) const = 0;
};

// Where the window's settings are: the file and the one read while it does not exist.
struct TSettingsSource {
    std::string Path;
    std::string Defaults;
};

// The shipped units.dat and prefix.dat and the user's own, as the window reads them, and the
// window's display mode, read again at the first use after any of the files changed (presence,
// device, inode, size, time).
class TAnswerData {
public:
    using TLog = std::function<void(const std::string& line)>;
    // shippedDir and userDir end in "/"; an empty userDir reads no user files, an empty settings
    // path gives the default display mode. log gets one line for each file that fails to load,
    // once per change of the files.
    TAnswerData(std::string shippedDir, std::string userDir, TSettingsSource settings, TLog log);
    ~TAnswerData();

    // The data as the files stand now; nothing while the shipped units do not load.
    std::optional<TAnswerSource> Current();

    // How often the files were read, for tests.
    int Reads() const { return reads_; }

private:
    struct TStamp;
    std::vector<TStamp> Stamps() const;
    void Read();

    std::string shippedDir_;
    std::string userDir_;
    TSettingsSource settings_;
    TLog log_;
    std::vector<TStamp> stamps_;
    std::unique_ptr<TUnits> units_;
    std::unique_ptr<TUnitSearch> names_;
    std::unique_ptr<TPrefixes> prefixes_;
    int showAns_ = 0;
    bool usable_ = false;
    int reads_ = 0;
};

// The answers for the desktop's search: the gate, the current data, the query.
class TDesktopAnswers {
public:
    TDesktopAnswers(TAnswerData& data, const IQueryAnswerer& answerer);

    std::vector<TAnswer> ForTerms(const std::vector<std::string>& terms);
    std::vector<TAnswer> ForText(std::string_view text);
    // The answer with that id, worked out again from the id's query on the current data.
    std::optional<TAnswer> ById(std::string_view id);

private:
    std::vector<TAnswer> ForQuery(const std::optional<std::string>& query);

    TAnswerData& data_;
    const IQueryAnswerer& answerer_;
};

} // namespace tv::desktop
