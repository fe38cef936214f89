#include "driver/setup/LoginConnectionText.h"

#include <algorithm>

#include "driver/core/TextEncoding.h"

namespace {

bool equalsNoCase(std::string_view a, std::string_view b) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

// A braced value: the text inside with "}}" read as "}", and how much of
// `text` (which starts at "{") it took, its closing brace included. An
// unclosed brace takes the rest of the text.
std::pair<std::string, std::size_t> readBraced(std::string_view text) {
    std::string value;
    std::size_t pos = 1;
    while (pos < text.size()) {
        if (text[pos] == '}') {
            if (pos + 1 < text.size() && text[pos + 1] == '}') {
                value.push_back('}');
                pos += 2;
                continue;
            }
            return {value, pos + 1};
        }
        value.push_back(text[pos++]);
    }
    return {value, pos};
}

std::wstring_view boundedStretch(const wchar_t* text, std::size_t capacity) {
    std::size_t n = 0;
    while (n < capacity && text[n] != L'\0') {
        ++n;
    }
    return {text, n};
}

}  // namespace

LoginConnectionText LoginConnectionText::fromWide(const wchar_t* text, std::size_t capacity) {
    LoginConnectionText result;
    if (text == nullptr || capacity == 0) {
        return result;
    }
    const std::wstring_view first = boundedStretch(text, capacity);
    // A text that fills its stretch up to the first NUL, or holds ";", is in
    // the ";" form; otherwise the NUL-separated items run to an empty one.
    const bool semicolonForm = first.find(L';') != std::wstring_view::npos ||
                               first.size() == capacity || first.size() + 1 == capacity ||
                               text[first.size() + 1] == L'\0';
    if (semicolonForm) {
        result.addSemicolonItems(wideToUtf8(first.data(), static_cast<std::int64_t>(first.size())));
        return result;
    }
    std::size_t pos = 0;
    while (pos < capacity) {
        const std::wstring_view item = boundedStretch(text + pos, capacity - pos);
        if (item.empty()) {
            break;
        }
        result.addItem(wideToUtf8(item.data(), static_cast<std::int64_t>(item.size())));
        pos += item.size() + 1;
    }
    return result;
}

LoginConnectionText LoginConnectionText::fromUtf8(std::string_view text) {
    LoginConnectionText result;
    result.addSemicolonItems(text.substr(0, text.find('\0')));
    return result;
}

void LoginConnectionText::addSemicolonItems(std::string_view text) {
    std::size_t start = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const char c = text[pos];
        if (c == ';') {
            addItem(text.substr(start, pos - start));
            start = ++pos;
        } else if (c == '{' && pos > start && text[pos - 1] == '=') {
            pos += readBraced(text.substr(pos)).second;
        } else {
            ++pos;
        }
    }
    addItem(text.substr(start));
}

void LoginConnectionText::addItem(std::string_view text) {
    if (text.empty()) {
        return;
    }
    Item item;
    item.text = std::string(text);
    const std::size_t equals = text.find('=');
    item.key = std::string(text.substr(0, equals));
    if (equals != std::string_view::npos) {
        std::string_view value = text.substr(equals + 1);
        item.value = value.starts_with('{') ? readBraced(value).first : std::string(value);
    }
    items_.push_back(std::move(item));
}

std::string LoginConnectionText::value(std::string_view key) const {
    for (const Item& item : items_) {
        if (equalsNoCase(item.key, key)) {
            return item.value;
        }
    }
    return {};
}

std::string LoginConnectionText::normalised(const std::vector<std::string_view>& leaveOut) const {
    std::string out;
    for (const Item& item : items_) {
        const bool dropped =
            std::any_of(leaveOut.begin(), leaveOut.end(),
                        [&](std::string_view key) { return equalsNoCase(item.key, key); });
        if (!dropped) {
            out.append(item.text).push_back(';');
        }
    }
    return out;
}
