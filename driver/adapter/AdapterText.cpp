#include "driver/adapter/AdapterText.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <system_error>

std::string doubledQuotes(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        out += c;
        if (c == '\'') {
            out += '\'';
        }
    }
    return out;
}

std::string postgresEscaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c == '\\' || c == '\'') {
            out += c;
        }
        out += c;
    }
    return out;
}

std::string searchPatternFor(std::string_view name, char escape) {
    std::string out;
    out.reserve(name.size());
    for (const char c : name) {
        if (c == '_' || c == '%' || c == escape) {
            out += escape;
        }
        out += c;
    }
    return out;
}

int majorVersionOf(const std::string& version) {
    const char* first = version.c_str();
    const char* last = first + version.size();
    while (first != last && std::isspace(static_cast<unsigned char>(*first)) != 0) {
        ++first;
    }
    if (first != last && *first == '+') {
        ++first;
    }
    int major = 0;
    if (std::from_chars(first, last, major).ec != std::errc()) {
        return 0;
    }
    return major;
}

std::string withoutBracketedPrefixes(std::string_view message) {
    // Each layer puts its own in front: "[ours][adapted] [vendor][driver]text".
    std::size_t start = 0;
    std::size_t text = 0;
    while (text < message.size() && message[text] == '[') {
        const auto close = message.find(']', text);
        if (close == std::string_view::npos) {
            break;
        }
        start = close + 1;
        text = std::min(message.find_first_not_of(' ', start), message.size());
    }
    return start == 0 ? std::string(message) : std::string(message.substr(text));
}
