#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/IniSyntax.h"
#include "platform/PathResolver.h"

// An ODBC ini file kept line by line: comments, blank lines, spacing,
// quoting, continuation lines and line ends stay exactly as they were, and
// an edit touches only the line it changes. Lines are read the way the
// driver manager's reader reads them (IniSyntax): a key line's value ends
// at its comment, section names compare ignoring ASCII case, keys too once
// the reader's quote rule is applied; the first section and the first key
// of a name are the ones that count. A last line without a line end whose
// value ends in blanks reads them; it stays last, new lines going before it.
class IniFile {
  public:
    enum class LoadResult { Loaded, Missing, Refused };

    IniFile() = default;
    static IniFile parse(std::string_view text);

    // Where the text of the file `path` names is: its folder and its name
    // there, the file itself possibly missing. A process not running as
    // root follows links at every step; root only where the whole way to
    // the target belongs to root and nobody else may write it. 0, or an
    // errno value (ENOENT for a missing folder) with the reason in `why`.
    static int resolve(const std::filesystem::path& path, PathResolver::Result& place,
                       std::string& why);
    // Reads a regular file (through a link only as resolve() allows).
    // Missing leaves an empty document; Refused explains itself in `why`.
    static LoadResult load(const std::filesystem::path& path, IniFile& out, std::string& why);
    // Reads the whole regular file open on `fd`, from its start.
    static bool read(int fd, const std::filesystem::path& path, IniFile& out, std::string& why);

    std::optional<std::string> value(std::string_view section, std::string_view key) const;
    bool hasSection(std::string_view section) const;
    std::vector<std::string> sections() const;
    // The key lines of the section in order, as a lister sees them.
    std::vector<std::string> keys(std::string_view section) const;
    std::vector<std::pair<std::string, std::string>> entries(std::string_view section) const;

    // Problem::None once the value is set; otherwise nothing changed, since
    // the section, key or value could not be written and read back as
    // given (an existing line's comment kept as it was).
    IniSyntax::Problem setValue(std::string_view section, std::string_view key,
                                std::string_view value);
    // All answer whether something was removed; every line of each name
    // goes in one pass over the file.
    bool removeKey(std::string_view section, std::string_view key);
    bool removeKeys(std::string_view section, const std::vector<std::string>& keys);
    bool removeSection(std::string_view section);
    bool removeSections(const std::vector<std::string>& sections);

    std::string text() const;
    // True once an edit changed the document.
    bool changed() const { return changed_; }

  private:
    enum class Kind { Blank, Comment, Section, Key, Continuation, Other };
    struct Line {
        std::string text;  // without its line end
        std::string end;   // "\n", "\r\n", "\r", Ctrl-Z or "" for a last line without one
        Kind kind = Kind::Other;
        std::string name;       // Section: its name; Key: its key
        size_t valueBegin = 0;  // Key: where the value starts in text
        size_t valueEnd = 0;    // Key: where it ends (before blanks and a comment)
    };

    static Line classify(std::string text, std::string end);
    std::optional<size_t> findSection(std::string_view section) const;
    size_t sectionEnd(size_t header) const;
    std::optional<size_t> findKey(size_t header, std::string_view key) const;
    size_t newKeyPlace(size_t header) const;
    size_t newSectionPlace() const;
    static bool readsSameWith(const Line& line, const std::string& end);
    bool lastLineKeepsItsPlace() const;
    std::string lineEnd() const;
    void insertLine(size_t at, std::string text);
    IniSyntax::Problem replaceValue(Line& line, std::string_view value);
    void eraseMarked(const std::vector<bool>& marked);

    std::vector<Line> lines_;
    bool changed_ = false;
};
