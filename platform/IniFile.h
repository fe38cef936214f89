#pragma once

#include <sys/types.h>

#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// An ODBC ini file kept line by line: comments, blank lines, spacing,
// quoting, continuation lines and line ends stay exactly as they were, and
// an edit touches only the line it changes. Lines are read the way the
// driver manager reads them: a line starting with blank space continues
// the previous one and never holds a key, ";" and "#" start comments, a
// value ends at a ";" or "#" that follows blank space outside quotes.
// Section names and keys compare ignoring ASCII case; the first section
// and the first key of a name are the ones that count.
class IniFile {
  public:
    // The file as it was found on disk, for a replacement to keep.
    struct Origin {
        uid_t owner = 0;
        gid_t group = 0;
        mode_t mode = 0600;
        off_t size = 0;
        std::time_t mtime = 0;
        bool existed = false;
    };

    enum class LoadResult { Loaded, Missing, Refused };

    IniFile() = default;
    static IniFile parse(std::string_view text);

    // Reads a regular file, never through a symbolic link. Missing leaves
    // an empty document; Refused explains itself in `why`.
    static LoadResult load(const std::filesystem::path& path, IniFile& out, std::string& why);
    // Replaces the file by a copy written beside it and renamed over it,
    // with the original's owner and mode; a file that was missing is
    // created (mode 0600) only where none has appeared meanwhile.
    bool save(const std::filesystem::path& path, std::string& why) const;

    std::optional<std::string> value(std::string_view section, std::string_view key) const;
    bool hasSection(std::string_view section) const;
    std::vector<std::string> sections() const;
    std::vector<std::string> keys(std::string_view section) const;

    // False, and nothing changed, when the section, key or value could not
    // be written and read back as given.
    bool setValue(std::string_view section, std::string_view key, std::string_view value);
    // Both answer whether something was removed.
    bool removeKey(std::string_view section, std::string_view key);
    bool removeSection(std::string_view section);

    std::string text() const;
    // True once an edit changed the document.
    bool changed() const { return changed_; }
    const Origin& origin() const { return origin_; }

  private:
    enum class Kind { Blank, Comment, Section, Key, Continuation, Other };
    struct Line {
        std::string text;  // without its line end
        std::string end;   // "\n", "\r\n", "\r" or "" for a last line without one
        Kind kind = Kind::Other;
        std::string name;       // Section: its name; Key: its key
        size_t valueBegin = 0;  // Key: where the value starts in text
        size_t valueEnd = 0;    // Key: where it ends (before blanks and a comment)
    };

    static Line classify(std::string text, std::string end);
    std::optional<size_t> findSection(std::string_view section) const;
    size_t sectionEnd(size_t header) const;
    std::optional<size_t> findKey(size_t header, std::string_view key) const;
    std::string lineEnd() const;
    void insertLine(size_t at, std::string text);
    void replaceValue(Line& line, std::string_view value);

    std::vector<Line> lines_;
    Origin origin_;
    bool changed_ = false;
};
