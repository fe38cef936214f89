#include "pemberix/ForwardedConnection.h"

#include "pemberix/ForwardedKeys.h"

#include <cwctype>
#include <iterator>
#include <vector>

namespace pemberix {
namespace {

struct Item {
    std::wstring key;
    std::wstring_view whole;  // "key=value" as the caller wrote it
    std::wstring value;       // without braces
};

bool sameKey(std::wstring_view key, const char* name) {
    std::size_t i = 0;
    for (; name[i] != '\0'; ++i) {
        if (i >= key.size() || std::towlower(key[i]) != std::towlower(name[i])) {
            return false;
        }
    }
    return i == key.size();
}

bool isSwitch(std::wstring_view key, const pemberix_keys::KeyRow& row) {
    return row.value == pemberix_keys::KeyValue::WrittenFileSwitch &&
           (sameKey(key, row.name) || (row.shortName != nullptr && sameKey(key, row.shortName)));
}

std::wstring_view trimmed(std::wstring_view text) {
    while (!text.empty() && text.front() == L' ') {
        text.remove_prefix(1);
    }
    while (!text.empty() && text.back() == L' ') {
        text.remove_suffix(1);
    }
    return text;
}

// A braced value runs to its lone "}" ("}}" stands for "}").
std::size_t bracedEnd(std::wstring_view text, std::size_t at, std::wstring& value) {
    for (++at; at < text.size(); ++at) {
        if (text[at] == L'}') {
            if (at + 1 < text.size() && text[at + 1] == L'}') {
                value += L'}';
                ++at;
                continue;
            }
            return at + 1;
        }
        value += text[at];
    }
    return at;
}

std::vector<Item> itemsOf(std::wstring_view text) {
    std::vector<Item> items;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t start = at;
        const std::size_t equals = text.find_first_of(L";=", at);
        at = equals == std::wstring_view::npos ? text.size() : equals;
        Item item;
        item.key = trimmed(text.substr(start, at - start));
        if (at < text.size() && text[at] == L'=') {
            const std::size_t valueStart = at + 1;
            const std::wstring_view rest = trimmed(text.substr(valueStart));
            const std::size_t first = text.size() - rest.size();
            at = !rest.empty() && rest.front() == L'{' ? bracedEnd(text, first, item.value)
                                                       : valueStart;
            const std::size_t semicolon = text.find(L';', at);
            const std::size_t end = semicolon == std::wstring_view::npos ? text.size() : semicolon;
            if (item.value.empty()) {
                item.value = trimmed(text.substr(at, end - at));
            }
            at = end;
        }
        item.whole = text.substr(start, at - start);
        if (!trimmed(item.whole).empty()) {
            items.push_back(std::move(item));
        }
        at += at < text.size() ? 1 : 0;
    }
    return items;
}

// Braces only where the value needs them, as a caller would write it.
std::wstring braced(std::wstring_view value) {
    if (value.find_first_of(L";{}") == std::wstring_view::npos && trimmed(value) == value) {
        return std::wstring(value);
    }
    std::wstring out = L"{";
    for (const wchar_t c : value) {
        out += c;
        if (c == L'}') {
            out += L'}';
        }
    }
    return out + L"}";
}

void append(std::wstring& text, std::wstring_view item) {
    if (!text.empty()) {
        text += L';';
    }
    text += item;
}

}  // namespace

std::wstring ForwardedConnection::text(std::wstring_view caller, bool root,
                                       const DsnProbe& dsnHolds) {
    const std::vector<Item> items = itemsOf(caller);
    std::wstring dsn;
    for (const Item& item : items) {
        if (sameKey(item.key, "DSN")) {
            dsn = item.value;
        }
    }
    std::wstring out;
    std::vector<bool> named(std::size(pemberix_keys::kRows), false);
    for (const Item& item : items) {
        bool logSwitch = false;
        for (std::size_t row = 0; row < named.size(); ++row) {
            if (isSwitch(item.key, pemberix_keys::kRows[row])) {
                named[row] = logSwitch = true;
            }
        }
        if (!(root && logSwitch)) {
            append(out, item.whole);
        }
    }
    for (std::size_t row = 0; row < named.size(); ++row) {
        const pemberix_keys::KeyRow& key = pemberix_keys::kRows[row];
        const bool asked =
            !root && (named[row] || (!dsn.empty() && dsnHolds &&
                                     (dsnHolds(dsn, key.name) ||
                                      (key.shortName != nullptr && dsnHolds(dsn, key.shortName)))));
        if (!asked && key.off != nullptr) {
            append(out, widenBytes(key.name) + L"=" + widenBytes(key.off));
        }
    }
    return out;
}

std::wstring ForwardedConnection::fromConnect(std::wstring_view dsn, std::wstring_view user,
                                              std::wstring_view password) {
    std::wstring out = L"DSN=" + braced(dsn);
    if (!user.empty()) {
        out += L";UID=" + braced(user);
    }
    if (!password.empty()) {
        out += L";PWD=" + braced(password);
    }
    return out;
}

std::wstring ForwardedConnection::widenBytes(std::string_view text) {
    std::wstring out;
    out.reserve(text.size());
    for (const char c : text) {
        out += static_cast<wchar_t>(static_cast<unsigned char>(c));
    }
    return out;
}

std::string ForwardedConnection::narrowBytes(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (const wchar_t c : text) {
        out += static_cast<char>(static_cast<unsigned char>(c));
    }
    return out;
}

std::string ForwardedConnection::utf8(std::wstring_view text) {
    std::string out;
    for (const wchar_t c : text) {
        const auto code = static_cast<char32_t>(c);
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | ((code >> 18) & 0x07));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return out;
}

}  // namespace pemberix
