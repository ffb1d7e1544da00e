#pragma once

#include <string>
#include <unordered_map>
#include <vector>

namespace tv {

enum class TIniSave {
    Saved,
    // The file is read-only (its owner's choice, or a read-only medium): it was left as it is,
    // and what would have been written is kept for the rest of the process instead.
    KeptForSession,
};

// The settings file (INI kind). Each access constructs one, reads or writes, saves if it wrote,
// and lets it go; nothing holds the file open. Lines the program did not write survive a save
// unless they are comments or blank.
class TIniFile {
public:
    // Reads the whole file (UTF-8, CR LF or LF); a missing or unreadable file counts as empty,
    // and so does anything but a regular file (opening never blocks). While path does not
    // exist, defaults (when given) is read in its place; saving always writes path. What a
    // save kept for the session (a read-only file) is read in place of the file.
    explicit TIniFile(std::string path, const std::string& defaults = {});

    // The value as a decimal integer ("0x" or "$" for hexadecimal); def when the section or
    // key is missing or the value is not an integer. Names match without regard to case.
    int ReadInteger(const std::string& section, const std::string& key, int def) const;

    // Sets the value in memory: in place for an existing key, else at the end of its section,
    // else in a new section at the end of the file.
    void WriteInteger(const std::string& section, const std::string& key, int value);

    // Rewrites the whole file with LF line ends: written to a temporary file beside it, flushed,
    // and renamed over the old one, so a failure never leaves a half-written file, and a save
    // killed half-way leaves no temporary file that the next save does not remove. A read-only
    // file is not replaced (KeptForSession). Throws std::runtime_error with a message naming
    // the file when it cannot be written.
    TIniSave Save() const;

    const std::string& Path() const { return path_; }

    // True when the file at path exists and its owner has made it read-only (or it lies on a
    // read-only medium), so that saving keeps the settings for the session only.
    static bool IsReadOnly(const std::string& path);

    // For tests: false makes every save take the way of a filesystem without O_TMPFILE, a
    // temporary file with a name from the start.
    static void UseUnnamedTemporaries(bool use);

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
    Section& AddSection(const std::string& name);
    void Parse(const std::string& text);

    std::string path_;
    std::vector<Section> sections_;
    // Position in sections_ by name with ASCII letters in lower case, so that a file of many
    // sections loads in linear time.
    std::unordered_map<std::string, size_t> index_;
};

} // namespace tv
