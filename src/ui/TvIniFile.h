#pragma once

#include <string>
#include <vector>

namespace tv {

// The settings file (INI kind). Each access constructs one, reads or writes, saves if it wrote,
// and lets it go; nothing holds the file open. Lines the program did not write survive a save
// unless they are comments or blank.
class TIniFile {
public:
    // Reads the whole file (UTF-8, CR LF or LF); a missing or unreadable file counts as empty.
    // While path does not exist, defaults (when given) is read in its place; saving always
    // writes path.
    explicit TIniFile(std::string path, const std::string& defaults = {});

    // The value as a decimal integer ("0x" or "$" for hexadecimal); def when the section or
    // key is missing or the value is not an integer. Names match without regard to case.
    int ReadInteger(const std::string& section, const std::string& key, int def) const;

    // Sets the value in memory: in place for an existing key, else at the end of its section,
    // else in a new section at the end of the file.
    void WriteInteger(const std::string& section, const std::string& key, int value);

    // Rewrites the whole file with LF line ends: written to a temporary file beside it, flushed,
    // and renamed over the old one, so a failure never leaves a half-written file. Throws
    // std::runtime_error with a message naming the file when it cannot be written.
    void Save() const;

    const std::string& Path() const { return path_; }

private:
    struct Entry {
        std::string Key;
        std::string Value;
        // False for a hand-written line without "=", which is kept as it stands in Key.
        bool HasEquals = true;
    };
    struct Section {
        std::string Name;
        std::vector<Entry> Entries;
    };
    Section* FindSection(const std::string& name);
    const Section* FindSection(const std::string& name) const;

    std::string path_;
    std::vector<Section> sections_;
};

} // namespace tv
