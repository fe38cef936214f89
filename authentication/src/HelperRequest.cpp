#include "authentication/src/HelperRequest.h"

#include <plist/plist.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/AsciiCase.h"
#include "platform/IniSyntax.h"
#include "platform/OldStylePlist.h"

namespace {

struct NodeDeleter {
    void operator()(void* node) const { plist_free(node); }
};
using OwnedNode = std::unique_ptr<void, NodeDeleter>;

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};

enum class Form { Xml, OldStyle, Refused };

Form formOf(std::string_view text) {
    const size_t start = text.find_first_not_of(" \t\r\n");
    if (start == std::string_view::npos) {
        return Form::Refused;
    }
    switch (text[start]) {
        case '<':
            return Form::Xml;
        case '{':
            return Form::OldStyle;
        default:
            return Form::Refused;  // binary, or no property list at all
    }
}

// libplist's XML reader recurses once per nesting level; counting every
// opening container tag (comments included) bounds that before it runs.
int xmlContainerCount(std::string_view text) {
    int count = 0;
    for (size_t at = text.find('<'); at != std::string_view::npos; at = text.find('<', at + 1)) {
        const std::string_view rest = text.substr(at + 1);
        if (startsWithIgnoringAsciiCase(rest, "dict") ||
            startsWithIgnoringAsciiCase(rest, "array")) {
            ++count;
        }
    }
    return count;
}

}  // namespace

HelperRequest::Parsed HelperRequest::parse(std::string_view text) {
    if (text.size() > kMaxText) {
        return {std::nullopt, "request longer than 65536 bytes"};
    }
    if (text.find('\0') != std::string_view::npos) {
        return {std::nullopt, "request holds a NUL character"};
    }
    switch (formOf(text)) {
        case Form::Xml:
            return parseXmlDictionary(text);
        case Form::OldStyle: {
            OldStylePlist::Error error;
            const std::optional<PropertyList> list =
                OldStylePlist::parse(text, &error, {kMaxText, kMaxOldStyleDepth});
            if (!list) {
                return {std::nullopt, error.position()};
            }
            return fromNode(list->node());
        }
        case Form::Refused:
            break;
    }
    return {std::nullopt, "neither an XML nor an old-style property list"};
}

HelperRequest::Parsed HelperRequest::parseXmlDictionary(std::string_view text) {
    if (text.size() > kMaxText || text.find('\0') != std::string_view::npos ||
        formOf(text) != Form::Xml) {
        return {std::nullopt, "not an XML property list within the limits"};
    }
    if (xmlContainerCount(text) > kMaxXmlContainers) {
        return {std::nullopt, "property list nested too deeply"};
    }
    plist_t raw = nullptr;
    plist_from_xml(text.data(), static_cast<uint32_t>(text.size()), &raw);
    OwnedNode node(raw);
    if (!node) {
        return {std::nullopt, std::string()};
    }
    return fromNode(node.get());
}

namespace {

// A string node's text, or nothing when it holds a NUL (libplist keeps the
// length apart from the text, so the two can disagree).
std::optional<std::string> stringOf(plist_t node) {
    uint64_t length = 0;
    const char* text = plist_get_string_ptr(node, &length);
    if (text == nullptr || std::strlen(text) != length) {
        return std::nullopt;
    }
    return std::string(text, length);
}

// Calls visit(key, value) for the entries of a dictionary until one answers
// false; whether all answered true.
template <typename Visit>
bool eachEntry(plist_t dictionary, Visit&& visit) {
    plist_dict_iter iter = nullptr;
    plist_dict_new_iter(dictionary, &iter);
    std::unique_ptr<void, FreeDeleter> ownedIter(iter);
    for (;;) {
        char* rawKey = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(dictionary, iter, &rawKey, &value);
        std::unique_ptr<char, FreeDeleter> key(rawKey);
        if (!key || value == nullptr) {
            return true;
        }
        if (!visit(key.get(), value)) {
            return false;
        }
    }
}

// Every key and string below `node`; the parse limits bound the depth.
bool cleanBelow(plist_t node) {
    switch (plist_get_node_type(node)) {
        case PLIST_STRING: {
            const std::optional<std::string> text = stringOf(node);
            return text && !IniSyntax::hasControlCharacter(*text);
        }
        case PLIST_ARRAY:
            for (uint32_t i = 0; i < plist_array_get_size(node); ++i) {
                if (!cleanBelow(plist_array_get_item(node, i))) {
                    return false;
                }
            }
            return true;
        case PLIST_DICT:
            return eachEntry(node, [](const char* key, plist_t value) {
                return !IniSyntax::hasControlCharacter(key) && cleanBelow(value);
            });
        default:
            return true;
    }
}

}  // namespace

HelperRequest::Parsed HelperRequest::fromNode(void* root) {
    if (plist_get_node_type(root) != PLIST_DICT) {
        return {std::nullopt, "not a dictionary"};
    }
    HelperRequest request;
    request.textsAreClean_ = cleanBelow(root);
    const bool whole = eachEntry(root, [&request](const char* key, plist_t node) {
        Value value = Other{};
        switch (plist_get_node_type(node)) {
            case PLIST_STRING: {
                std::optional<std::string> text = stringOf(node);
                if (!text) {
                    return false;
                }
                value = std::move(*text);
                break;
            }
            case PLIST_DATA: {
                uint64_t length = 0;
                const char* bytes = plist_get_data_ptr(node, &length);
                value = Data{bytes ? std::string(bytes, length) : std::string()};
                break;
            }
            case PLIST_ARRAY: {
                std::vector<std::string> texts;
                const uint32_t size = plist_array_get_size(node);
                bool allText = true;
                for (uint32_t i = 0; i < size && allText; ++i) {
                    plist_t element = plist_array_get_item(node, i);
                    if (plist_get_node_type(element) != PLIST_STRING) {
                        allText = false;
                        break;
                    }
                    std::optional<std::string> text = stringOf(element);
                    if (!text) {
                        return false;
                    }
                    texts.push_back(std::move(*text));
                }
                if (allText) {
                    value = std::move(texts);
                }
                break;
            }
            default:
                break;
        }
        request.values_[key] = std::move(value);
        return true;
    });
    if (!whole) {
        return {std::nullopt, "a string holds a NUL character"};
    }
    return {std::move(request), std::string()};
}

std::optional<std::string> HelperRequest::string(const std::string& key) const {
    const auto found = values_.find(key);
    if (found == values_.end() || !std::holds_alternative<std::string>(found->second)) {
        return std::nullopt;
    }
    return std::get<std::string>(found->second);
}

std::optional<std::string> HelperRequest::data(const std::string& key) const {
    const auto found = values_.find(key);
    if (found == values_.end() || !std::holds_alternative<Data>(found->second)) {
        return std::nullopt;
    }
    return std::get<Data>(found->second).bytes;
}

std::optional<std::vector<std::string>> HelperRequest::stringArray(const std::string& key) const {
    const auto found = values_.find(key);
    if (found == values_.end() ||
        !std::holds_alternative<std::vector<std::string>>(found->second)) {
        return std::nullopt;
    }
    return std::get<std::vector<std::string>>(found->second);
}

std::vector<std::string> HelperRequest::keys() const {
    std::vector<std::string> result;
    for (const auto& entry : values_) {
        result.push_back(entry.first);
    }
    return result;
}
