#include "desktop/TvDesktopAnswers.h"

#include "ui/TvIniFile.h"
#include "ui/TvSettingKeys.h"
#include "units/TvUserData.h"

#include <algorithm>
#include <sys/stat.h>
#include <utility>

namespace tv::desktop {

namespace {

// Valid UTF-8 without control characters (C0, DEL, C1), overlong forms or surrogates.
bool IsCleanText(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size()) {
        const auto lead = static_cast<unsigned char>(text[at]);
        if (lead < 0x80) {
            if (lead < 0x20 || lead == 0x7F) {
                return false;
            }
            ++at;
            continue;
        }
        int length = 0;
        char32_t code = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            code = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            code = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            code = lead & 0x07;
        } else {
            return false;
        }
        if (at + static_cast<std::size_t>(length) > text.size()) {
            return false;
        }
        for (int i = 1; i < length; ++i) {
            const auto next = static_cast<unsigned char>(text[at + static_cast<std::size_t>(i)]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            code = (code << 6) | (next & 0x3F);
        }
        const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
        if (overlong || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF) ||
            (code >= 0x80 && code < 0xA0)) {
            return false;
        }
        at += static_cast<std::size_t>(length);
    }
    return true;
}

std::string_view Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

} // namespace

std::optional<std::string> QueryFromText(std::string_view text) {
    if (text.size() > kMaxQueryBytes || !IsCleanText(text)) {
        return std::nullopt;
    }
    const std::string_view query = Trimmed(text);
    if (query.empty()) {
        return std::nullopt;
    }
    return std::string(query);
}

std::optional<std::string> QueryFromTerms(const std::vector<std::string>& terms) {
    if (terms.empty() || terms.size() > kMaxTerms) {
        return std::nullopt;
    }
    std::string joined;
    for (const std::string& term : terms) {
        if (!joined.empty()) {
            joined += ' ';
        }
        joined.append(term, 0, std::min(term.size(), kMaxQueryBytes + 1));
        if (joined.size() > kMaxQueryBytes) {
            return std::nullopt;
        }
    }
    return QueryFromText(joined);
}

// ---- the data ----

struct TAnswerData::TStamp {
    bool Present = false;
    dev_t Device = 0;
    ino_t Inode = 0;
    off_t Size = 0;
    long long Seconds = 0;
    long Nanoseconds = 0;

    bool operator==(const TStamp&) const = default;
};

TAnswerData::TAnswerData(std::string shippedDir, std::string userDir, TSettingsSource settings,
                         TLog log)
    : shippedDir_(std::move(shippedDir)), userDir_(std::move(userDir)),
      settings_(std::move(settings)), log_(std::move(log)) {}

TAnswerData::~TAnswerData() = default;

std::vector<TAnswerData::TStamp> TAnswerData::Stamps() const {
    std::vector<std::string> paths;
    for (const std::string* dir : {&shippedDir_, &userDir_}) {
        for (const char* name : {kUnitsFileName, kPrefixFileName}) {
            paths.push_back(dir->empty() ? std::string() : *dir + name);
        }
    }
    paths.push_back(settings_.Path);
    paths.push_back(settings_.Defaults);
    std::vector<TStamp> stamps;
    for (const std::string& path : paths) {
        TStamp stamp;
        struct stat info {};
        if (!path.empty() && ::stat(path.c_str(), &info) == 0) {
            stamp = {true,
                     info.st_dev,
                     info.st_ino,
                     info.st_size,
                     static_cast<long long>(info.st_mtim.tv_sec),
                     info.st_mtim.tv_nsec};
        }
        stamps.push_back(stamp);
    }
    return stamps;
}

void TAnswerData::Read() {
    ++reads_;
    const auto logFailure = [this](std::string_view what, const TLoadError& error) {
        if (!log_) {
            return;
        }
        std::string line = std::string(what) + " " + error.File;
        if (error.Line >= 0) {
            line += ":" + std::to_string(error.Line + 1);
        }
        log_(line + ": " + error.Reason);
    };
    showAns_ = 0;
    if (!settings_.Path.empty()) {
        showAns_ =
            Choice(setting::ShowAns,
                   ReadSetting(TIniFile(settings_.Path, settings_.Defaults), setting::ShowAns));
    }
    names_.reset();
    units_ = std::make_unique<TUnits>();
    prefixes_ = std::make_unique<TPrefixes>();
    usable_ = units_->LoadFromFile(shippedDir_ + kUnitsFileName);
    if (!usable_) {
        TLoadError error = units_->LastError();
        error.File = shippedDir_ + kUnitsFileName;
        logFailure("no answers: the units do not load:", error);
        return;
    }
    if (const std::optional<TLoadError> failed = AddUserUnits(*units_, userDir_)) {
        logFailure("the user's units are left out:", *failed);
    }
    if (!prefixes_->LoadFromFile(shippedDir_ + kPrefixFileName)) {
        TLoadError error = prefixes_->LastError();
        error.File = shippedDir_ + kPrefixFileName;
        logFailure("prefixes are off:", error);
    }
    if (const std::optional<TLoadError> failed = AddUserPrefixes(*prefixes_, userDir_)) {
        logFailure("the user's prefixes are left out:", *failed);
    }
    names_ = std::make_unique<TUnitSearch>(*units_);
}

std::optional<TAnswerSource> TAnswerData::Current() {
    std::vector<TStamp> now = Stamps();
    if (!units_ || now != stamps_) {
        stamps_ = std::move(now);
        Read();
    }
    if (!usable_) {
        return std::nullopt;
    }
    return TAnswerSource{*units_, *names_, *prefixes_, showAns_};
}

// ---- the answers ----

TDesktopAnswers::TDesktopAnswers(TAnswerData& data, const IQueryAnswerer& answerer)
    : data_(data), answerer_(answerer) {}

std::vector<TAnswer> TDesktopAnswers::ForQuery(const std::optional<std::string>& query) {
    if (!query) {
        return {};
    }
    const std::optional<TAnswerSource> source = data_.Current();
    if (!source) {
        return {};
    }
    std::vector<TAnswer> answers = answerer_.Answer(*query, *source, kMaxAnswers);
    // Only what can come back: the desktop hands an id to GetResultMetas and ActivateResult, and
    // the window takes it as a query, each through the gate. A long query without a target
    // would otherwise list answers whose ids, with their targets, are too long to open.
    std::erase_if(answers, [](const TAnswer& answer) {
        const std::optional<std::string> back = QueryFromText(answer.Id);
        return !back || *back != answer.Id;
    });
    return answers;
}

std::vector<TAnswer> TDesktopAnswers::ForTerms(const std::vector<std::string>& terms) {
    return ForQuery(QueryFromTerms(terms));
}

std::vector<TAnswer> TDesktopAnswers::ForText(std::string_view text) {
    return ForQuery(QueryFromText(text));
}

std::optional<TAnswer> TDesktopAnswers::ById(std::string_view id) {
    for (TAnswer& answer : ForText(id)) {
        if (answer.Id == id) {
            return std::move(answer);
        }
    }
    return std::nullopt;
}

} // namespace tv::desktop
