#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// A privileged request as the helper reads it: a dictionary whose values
// are strings, data or arrays of strings. Anything else in it reads as
// absent. Parsing accepts only the XML and the old-style text forms, within
// size and nesting limits, and refuses any string holding a NUL.
class HelperRequest {
  public:
    static constexpr size_t kMaxText = 64 * 1024;
    // Opening <dict> and <array> tags in one XML text: the request and its
    // preferences need three, libplist recurses once per level.
    static constexpr int kMaxXmlContainers = 32;
    // The request, an array in it, and room for one more level.
    static constexpr size_t kMaxOldStyleDepth = 3;

    struct Parsed;
    // The request text, XML or old-style.
    static Parsed parse(std::string_view text);
    // An XML property list of a dictionary (the "Preferences" data).
    static Parsed parseXmlDictionary(std::string_view text);

    std::optional<std::string> string(const std::string& key) const;
    std::optional<std::string> data(const std::string& key) const;
    std::optional<std::vector<std::string>> stringArray(const std::string& key) const;
    bool contains(const std::string& key) const { return values_.count(key) != 0; }
    std::vector<std::string> keys() const;
    // Whether every key and every string at every depth, also where a value
    // reads as absent, is free of control characters.
    bool textsAreClean() const { return textsAreClean_; }

  private:
    struct Other {};
    struct Data {
        std::string bytes;
    };
    using Value = std::variant<std::string, Data, std::vector<std::string>, Other>;

    static Parsed fromNode(void* node);

    std::map<std::string, Value> values_;
    bool textsAreClean_ = true;
};

struct HelperRequest::Parsed {
    std::optional<HelperRequest> request;
    // Where or why it was not parsed: the line and column of old-style text
    // or a fixed reason, never a piece of the text; may be empty.
    std::string where;
};
