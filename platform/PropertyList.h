#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <plist/plist.h>

// An owned property-list node (libplist): what the code needs of a
// dictionary of strings, data and string arrays, and its XML and binary
// forms. Moving transfers ownership; copying makes a deep copy.
//
// Parsed text is foreign: a list whose keys hold NUL is refused, a string
// value holding NUL reads as absent, and a parsed list is never serialised
// (libplist 2.2 asserts on, or reads past, such text in its accessors and
// writers).
class PropertyList {
  public:
    static PropertyList newDictionary();
    // Parses XML or binary bytes; nothing when they are not a property list.
    static std::optional<PropertyList> parse(std::string_view bytes);
    // Reads a whole file and parses it; nothing when missing or unreadable.
    static std::optional<PropertyList> readFile(const std::filesystem::path& path);
    // Takes ownership of a node made elsewhere (it must not be null).
    static PropertyList adopt(plist_t node) { return PropertyList(node); }

    PropertyList(const PropertyList& other);
    PropertyList& operator=(const PropertyList& other);
    PropertyList(PropertyList&& other) noexcept;
    PropertyList& operator=(PropertyList&& other) noexcept;
    ~PropertyList();

    bool isDictionary() const;
    // The list's text; empty for a list that was parsed (or copied from one).
    std::string toXml() const;
    std::string toBinary() const;

    // Dictionary access. A value of another type reads as absent.
    bool contains(std::string_view key) const;
    std::optional<std::string> string(std::string_view key) const;
    std::optional<std::string> data(std::string_view key) const;
    // The string elements of an array value (others are skipped); nothing
    // when the key does not hold an array.
    std::optional<std::vector<std::string>> stringArray(std::string_view key) const;
    std::vector<std::string> keys() const;

    void setString(std::string_view key, std::string_view value);
    void setData(std::string_view key, std::string_view bytes);
    void setStringArray(std::string_view key, const std::vector<std::string>& values);
    void remove(std::string_view key);

    plist_t node() const { return node_; }

  private:
    explicit PropertyList(plist_t node) : node_(node) {}
    plist_t item(std::string_view key) const;

    plist_t node_ = nullptr;
    bool parsed_ = false;
};
