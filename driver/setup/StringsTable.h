#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

// A strings table of the bundle: a UTF-8 text of entries
//   "key" = "value";
// with /* */ and // comments, the escapes \" \\ \n \t \r \0 and \Uxxxx, and
// bare words (letters, digits, _ . / - : $) in place of quoted strings. An
// entry "key"; maps the key to itself.
class StringsTable {
  public:
    // The table in `text`; nothing when the text is not a valid table.
    static std::optional<StringsTable> parse(std::string_view text);
    // The table in a file; nothing when it cannot be read or parsed.
    static std::optional<StringsTable> load(const std::filesystem::path& path);

    const std::string* find(const std::string& key) const;
    std::size_t size() const { return entries_.size(); }
    const std::map<std::string, std::string>& entries() const { return entries_; }

  private:
    std::map<std::string, std::string> entries_;
};
