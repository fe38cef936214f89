#include "driver/setup/LoginConnectionText.h"

#include <algorithm>

#include "driver/core/TextEncoding.h"
#include "platform/AsciiCase.h"
#include "platform/NulList.h"

namespace {

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
    for (std::wstring_view item : NulList::items(std::wstring_view(text, capacity))) {
        result.addItem(wideToUtf8(item.data(), static_cast<std::int64_t>(item.size())));
    }
    return result;
}

LoginConnectionText LoginConnectionText::fromUtf8(std::string_view text) {
    LoginConnectionText result;
    result.addSemicolonItems(text.substr(0, text.find('\0')));
    return result;
}

void LoginConnectionText::addSemicolonItems(std::string_view text) {
    // Text an application sent: an open brace runs to the end, as the
    // driver reads it at connect.
    for (std::string_view item : ConnectionItems::split(text)) {
        addItem(item);
    }
}

void LoginConnectionText::addItem(std::string_view text) {
    if (!text.empty()) {
        items_.push_back(ConnectionItems::itemOf(text));
    }
}

std::string LoginConnectionText::value(std::string_view key) const {
    for (const ConnectionItems::Item& item : items_) {
        if (equalsIgnoringAsciiCase(item.key, key)) {
            return item.value.value_or("");
        }
    }
    return {};
}

std::string LoginConnectionText::normalised(const std::vector<std::string_view>& leaveOut) const {
    std::string out;
    for (const ConnectionItems::Item& item : items_) {
        const bool dropped = std::any_of(
            leaveOut.begin(), leaveOut.end(),
            [&](std::string_view key) { return equalsIgnoringAsciiCase(item.key, key); });
        if (!dropped) {
            out.append(item.text).push_back(';');
        }
    }
    return out;
}
