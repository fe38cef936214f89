#include "pemberix/ForwardedConnection.h"

#include "pemberix/ForwardedKeys.h"
#include "platform/AsciiCase.h"
#include "platform/ConnectionItems.h"

#include <iterator>
#include <vector>

namespace pemberix {
namespace {

bool sameKey(std::wstring_view key, const char* name) {
    return name != nullptr && equalsIgnoringAsciiCase(key, ForwardedConnection::widenBytes(name));
}

bool isSwitch(std::wstring_view key, const pemberix_keys::KeyRow& row) {
    return row.value == pemberix_keys::KeyValue::WrittenFileSwitch &&
           (sameKey(key, row.name) || sameKey(key, row.shortName));
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
    // Items without "=" the driver passes over; of repeated keys it takes
    // the last.
    struct Keyed {
        std::wstring_view whole;
        std::optional<std::wstring_view> key;
    };
    std::vector<Keyed> items;
    std::wstring_view dsn;
    for (const std::wstring_view item : ConnectionItems::split(caller)) {
        const auto value = ConnectionItems::writtenValue(item);
        const auto key = value ? std::optional(ConnectionItems::keyOf(item)) : std::nullopt;
        if (key && sameKey(*key, "DSN")) {
            dsn = *value;
        }
        items.push_back({item, key});
    }
    std::wstring out;
    std::vector<bool> named(std::size(pemberix_keys::kRows), false);
    for (const Keyed& item : items) {
        bool logSwitch = false;
        for (std::size_t row = 0; item.key && row < named.size(); ++row) {
            if (isSwitch(*item.key, pemberix_keys::kRows[row])) {
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

std::optional<std::wstring> ForwardedConnection::fromConnect(std::wstring_view dsn,
                                                             std::wstring_view user,
                                                             std::wstring_view password) {
    if (!ConnectionItems::readsBackAsWritten(dsn) || !ConnectionItems::readsBackAsWritten(user)) {
        return std::nullopt;
    }
    std::wstring out = L"DSN=" + std::wstring(dsn);
    if (!user.empty()) {
        out += L";UID=" + std::wstring(user);
    }
    if (!password.empty()) {
        out += L";PWD=" + ConnectionItems::braced(password);
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
