#include "platform/OldStylePlist.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace {

constexpr const char* kIndent = "    ";
constexpr char kHexDigits[] = "0123456789abcdef";

struct NodeDeleter {
    void operator()(void* node) const { plist_free(node); }
};
using OwnedNode = std::unique_ptr<void, NodeDeleter>;

OwnedNode owned(plist_t node) {
    if (node == nullptr) {
        throw std::bad_alloc();
    }
    return OwnedNode(node);
}

// ---- writing

bool needsQuotes(std::string_view text) {
    return text.empty() || !std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '_' || c == '-' || c == '.';
           });
}

struct Escape {
    char value;
    const char* text;
};

constexpr Escape kEscapes[] = {
    {'"', "\\\""}, {'\\', "\\\\"}, {'\a', "\\a"}, {'\b', "\\b"}, {'\f', "\\f"},
    {'\n', "\\n"}, {'\r', "\\r"},  {'\t', "\\t"}, {'\v', "\\v"},
};

void writeString(std::string& out, std::string_view text) {
    if (!needsQuotes(text)) {
        out += text;
        return;
    }
    out += '"';
    for (const char c : text) {
        const auto* escape = std::find_if(std::begin(kEscapes), std::end(kEscapes),
                                          [c](const Escape& e) { return e.value == c; });
        const auto byte = static_cast<unsigned char>(c);
        if (escape != std::end(kEscapes)) {
            out += escape->text;
        } else if (byte < 0x20 || byte == 0x7F) {
            out += '\\';
            out += static_cast<char>('0' + (byte >> 6));
            out += static_cast<char>('0' + ((byte >> 3) & 7));
            out += static_cast<char>('0' + (byte & 7));
        } else {
            out += c;
        }
    }
    out += '"';
}

void writeData(std::string& out, plist_t node) {
    uint64_t length = 0;
    const char* bytes = plist_get_data_ptr(node, &length);
    out += '<';
    for (uint64_t i = 0; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        out += kHexDigits[byte >> 4];
        out += kHexDigits[byte & 0x0F];
    }
    out += '>';
}

bool writeNode(std::string& out, plist_t node, size_t depth);

void newLine(std::string& out, size_t depth) {
    out += '\n';
    for (size_t i = 0; i < depth; ++i) {
        out += kIndent;
    }
}

std::vector<std::pair<std::string, plist_t>> sortedItems(plist_t dict) {
    std::vector<std::pair<std::string, plist_t>> items;
    plist_dict_iter iter = nullptr;
    plist_dict_new_iter(dict, &iter);
    for (;;) {
        char* key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(dict, iter, &key, &value);
        if (key == nullptr) {
            break;
        }
        items.emplace_back(key, value);
        std::free(key);
    }
    std::free(iter);
    std::sort(items.begin(), items.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    return items;
}

bool writeDictionary(std::string& out, plist_t node, size_t depth) {
    const auto items = sortedItems(node);
    if (items.empty()) {
        out += "{}";
        return true;
    }
    out += '{';
    for (const auto& [key, value] : items) {
        newLine(out, depth + 1);
        writeString(out, key);
        out += " = ";
        if (!writeNode(out, value, depth + 1)) {
            return false;
        }
        out += ';';
    }
    newLine(out, depth);
    out += '}';
    return true;
}

bool writeArray(std::string& out, plist_t node, size_t depth) {
    const uint32_t size = plist_array_get_size(node);
    if (size == 0) {
        out += "()";
        return true;
    }
    out += '(';
    for (uint32_t i = 0; i < size; ++i) {
        newLine(out, depth + 1);
        if (!writeNode(out, plist_array_get_item(node, i), depth + 1)) {
            return false;
        }
        if (i + 1 < size) {
            out += ',';
        }
    }
    newLine(out, depth);
    out += ')';
    return true;
}

bool writeNode(std::string& out, plist_t node, size_t depth) {
    switch (plist_get_node_type(node)) {
        case PLIST_DICT:
            return writeDictionary(out, node, depth);
        case PLIST_ARRAY:
            return writeArray(out, node, depth);
        case PLIST_STRING: {
            uint64_t length = 0;
            const char* text = plist_get_string_ptr(node, &length);
            writeString(out, std::string_view(text ? text : "", text ? length : 0));
            return true;
        }
        case PLIST_DATA:
            writeData(out, node);
            return true;
        default:
            return false;
    }
}

// ---- reading

class Parser {
  public:
    Parser(std::string_view text, const OldStylePlist::Limits& limits)
        : scanner_(text), limits_(limits) {}

    OwnedNode document() {
        if (!scanner_.skipSpace()) {
            return nullptr;
        }
        if (scanner_.atEnd()) {
            scanner_.fail("empty text");
            return nullptr;
        }
        OwnedNode node = value(0);
        if (node && scanner_.skipSpace() && !scanner_.atEnd()) {
            scanner_.fail("unexpected text after the value");
            return nullptr;
        }
        return scanner_.error() ? nullptr : std::move(node);
    }

    const OldStyleScanner& scanner() const { return scanner_; }

  private:
    OwnedNode value(size_t depth) {
        const char next = scanner_.peek();
        if (next == '{' || next == '(') {
            if (depth >= limits_.maxDepth) {
                scanner_.fail("nested deeper than " + std::to_string(limits_.maxDepth));
                return nullptr;
            }
            return next == '{' ? dictionary(depth + 1) : array(depth + 1);
        }
        std::string text;
        if (next == '<') {
            return scanner_.readData(text) ? owned(plist_new_data(text.data(), text.size()))
                                           : nullptr;
        }
        return scanner_.readString(text) ? owned(plist_new_string(text.c_str())) : nullptr;
    }

    OwnedNode dictionary(size_t depth) {
        scanner_.consume('{');
        OwnedNode dict = owned(plist_new_dict());
        std::string key;
        for (;;) {
            if (!scanner_.skipSpace()) {
                return nullptr;
            }
            if (scanner_.consume('}')) {
                return dict;
            }
            const size_t keyAt = scanner_.offset();
            if (!scanner_.readString(key) || !scanner_.skipSpace() ||
                !scanner_.expect('=', "'='") || !scanner_.skipSpace()) {
                return nullptr;
            }
            OwnedNode item = value(depth);
            if (!item || !scanner_.skipSpace() || !scanner_.expect(';', "';'")) {
                return nullptr;
            }
            if (plist_dict_get_item(dict.get(), key.c_str()) != nullptr) {
                // The place, not the key: a message may reach a log.
                scanner_.fail("duplicate key", keyAt);
                return nullptr;
            }
            plist_dict_set_item(dict.get(), key.c_str(), item.release());
        }
    }

    OwnedNode array(size_t depth) {
        scanner_.consume('(');
        OwnedNode list = owned(plist_new_array());
        for (;;) {
            if (!scanner_.skipSpace()) {
                return nullptr;
            }
            if (scanner_.consume(')')) {
                return list;
            }
            OwnedNode item = value(depth);
            if (!item || !scanner_.skipSpace()) {
                return nullptr;
            }
            plist_array_append_item(list.get(), item.release());
            // A comma may also end the list.
            if (!scanner_.consume(',') && scanner_.peek() != ')') {
                scanner_.expect(')', "',' or ')'");
                return nullptr;
            }
        }
    }

    OldStyleScanner scanner_;
    const OldStylePlist::Limits& limits_;
};

}  // namespace

std::optional<std::string> OldStylePlist::write(plist_t node) {
    std::string out;
    if (node == nullptr || !writeNode(out, node, 0)) {
        return std::nullopt;
    }
    out += '\n';
    return out;
}

std::optional<PropertyList> OldStylePlist::parse(std::string_view text, Error* error) {
    return parse(text, error, Limits{});
}

std::optional<PropertyList> OldStylePlist::parse(std::string_view text, Error* error,
                                                 const Limits& limits) {
    if (text.size() > limits.maxBytes) {
        OldStyleScanner limited(text.substr(0, limits.maxBytes));
        limited.fail("text longer than " + std::to_string(limits.maxBytes) + " bytes",
                     limits.maxBytes);
        if (error != nullptr) {
            *error = *limited.error();
        }
        return std::nullopt;
    }
    Parser parser(text, limits);
    OwnedNode node = parser.document();
    if (!node) {
        if (error != nullptr && parser.scanner().error()) {
            *error = *parser.scanner().error();
        }
        return std::nullopt;
    }
    return PropertyList::adopt(node.release());
}
