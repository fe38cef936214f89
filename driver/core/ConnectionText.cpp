#include "driver/core/ConnectionText.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cwchar>
#include <optional>
#include <string_view>
#include <vector>

#include "driver/core/TextCase.h"
#include "platform/ConnectionItems.h"
#include "platform/InstallerFacade.h"
#include "platform/NulList.h"

namespace {

// Bytes kept of a text that is split into items, and of a narrowed text.
constexpr std::size_t kWorkLimit = 4095;
// Bytes of a key, and of an item's head compared with it.
constexpr std::size_t kKeyLimit = 255;
// Wide characters kept when a text is widened (the terminator needs a slot).
constexpr std::size_t kWideLimit = 4095;
// Characters of a data-source value or Driver key read from odbc.ini.
constexpr int kDsnValueChars = 4096;
constexpr int kDriverChars = 256;
// Bytes of the list of a data source's key names.
constexpr std::size_t kKeyListBytes = 16384;

constexpr SQLWCHAR kDriverKey[] = L"Driver";
constexpr SQLWCHAR kEmpty[] = L"";

SQLSMALLINT normalLength(SQLSMALLINT length) {
    return length < 0 ? SQL_NTS : length;
}

// Multibyte text of the wide text under the current locale: at most `limit`
// bytes, ending before a character that cannot be converted or would not fit.
std::string narrow(std::wstring_view wide, std::size_t limit) {
    std::string out;
    std::mbstate_t state{};
    char bytes[MB_LEN_MAX];
    for (wchar_t c : wide) {
        if (c == L'\0') {
            break;
        }
        const std::size_t n = std::wcrtomb(bytes, c, &state);
        if (n == static_cast<std::size_t>(-1) || out.size() + n > limit) {
            break;
        }
        out.append(bytes, n);
    }
    return out;
}

std::string narrow(const SQLWCHAR* wide, std::size_t limit) {
    return wide == nullptr ? std::string() : narrow(std::wstring_view(wide), limit);
}

// Wide text of the multibyte text under the current locale: at most `limit`
// characters, ending before an invalid or incomplete sequence.
std::wstring widen(std::string_view text, std::size_t limit) {
    std::wstring out;
    std::mbstate_t state{};
    std::size_t pos = 0;
    while (pos < text.size() && out.size() < limit) {
        wchar_t c = 0;
        const std::size_t n = std::mbrtowc(&c, text.data() + pos, text.size() - pos, &state);
        if (n == 0 || n == static_cast<std::size_t>(-1) || n == static_cast<std::size_t>(-2)) {
            break;
        }
        out.push_back(c);
        pos += n;
    }
    return out;
}

// Length of the first NUL-terminated stretch, never beyond a given length.
template <typename Char>
std::size_t stretchLength(const Char* text, SQLSMALLINT length) {
    if (length == SQL_NTS) {
        return std::char_traits<Char>::length(text);
    }
    std::size_t n = 0;
    while (n < static_cast<std::size_t>(length) && text[n] != Char{}) {
        ++n;
    }
    return n;
}

template <typename Char>
bool holdsSemicolon(std::basic_string_view<Char> text) {
    return text.find(static_cast<Char>(';')) != std::basic_string_view<Char>::npos;
}

template <typename Char>
bool isSemicolonForm(const Char* text, SQLSMALLINT length) {
    if (length == SQL_NTS) {
        return true;
    }
    const std::size_t stretch = stretchLength(text, length);
    return stretch == static_cast<std::size_t>(length) ||
           holdsSemicolon(std::basic_string_view<Char>(text, stretch));
}

// Non-empty items between ";" separators, a braced value kept whole; at most
// the first kWorkLimit bytes are read.
std::vector<std::string_view> semicolonItems(std::string_view text) {
    return ConnectionItems::split(text.substr(0, kWorkLimit));
}

// Items of an attribute list up to its empty item, all within `length`.
template <typename Char>
std::vector<std::basic_string_view<Char>> listItems(const Char* text, std::size_t length) {
    return NulList::items(std::basic_string_view<Char>(text, length));
}

std::string joinItems(const std::vector<std::string_view>& items) {
    std::string out;
    for (std::string_view item : items) {
        out.append(item).push_back(';');
    }
    return out;
}

// Key and value of an item the way strtok_r on "=" splits it: runs of "="
// separate tokens, the key is the first token, the value the second; a
// braced value is read whole.
void insertPair(ConnectionStringMap& map, std::string_view item) {
    auto skipEquals = [&item]() {
        item.remove_prefix(std::min(item.find_first_not_of('='), item.size()));
    };
    auto nextToken = [&item, &skipEquals]() {
        skipEquals();
        const std::size_t end = std::min(item.find('='), item.size());
        std::string_view token = item.substr(0, end);
        item.remove_prefix(end);
        return token;
    };
    const std::string_view key = nextToken();
    if (key.empty()) {
        return;
    }
    skipEquals();
    map.emplace(std::string(key), !item.empty() && item.front() == '{'
                                      ? ConnectionItems::value(item)
                                      : std::string(nextToken()));
}

// The value of the first of the items that begins with `key`.
std::string attributeValue(const std::vector<std::string_view>& items, const SQLWCHAR* key) {
    const std::string narrowKey = narrow(key, kKeyLimit);
    for (std::string_view item : items) {
        if (!startsWithNoCase(item.substr(0, kKeyLimit), narrowKey)) {
            continue;
        }
        // The value starts behind the key and its "="; an item too short for
        // that has none.
        return item.size() < narrowKey.size() + 1
                   ? std::string()
                   : ConnectionItems::value(item.substr(narrowKey.size() + 1));
    }
    return {};
}

// The same in normalised text.
std::string attributeValue(std::string_view text, const SQLWCHAR* key) {
    return attributeValue(semicolonItems(text), key);
}

std::string maskItems(const std::vector<std::string_view>& items) {
    std::string out;
    for (std::string_view item : items) {
        if (startsWithNoCase(item, "PWD")) {
            out.append("PWD=****;");
        } else {
            out.append(item).push_back(';');
        }
    }
    return out;
}

}  // namespace

std::string makeConnectionString(const char* text, SQLSMALLINT length) {
    if (text == nullptr) {
        return {};
    }
    length = normalLength(length);
    if (length == SQL_NTS) {
        return text;
    }
    const std::string_view stretch(text, stretchLength(text, length));
    if (stretch.size() == static_cast<std::size_t>(length)) {
        return std::string(stretch);
    }
    if (holdsSemicolon(stretch)) {
        return joinItems(semicolonItems(stretch.substr(0, kWorkLimit)));
    }
    return joinItems(listItems(text, static_cast<std::size_t>(length)));
}

std::string makeConnectionString(const SQLCHAR* text, SQLSMALLINT length) {
    return makeConnectionString(reinterpret_cast<const char*>(text), length);
}

std::string makeConnectionStringW(const SQLWCHAR* text, SQLSMALLINT length) {
    if (text == nullptr) {
        return {};
    }
    length = normalLength(length);
    if (isSemicolonForm(text, length)) {
        const std::size_t stretch = stretchLength(text, length);
        std::string narrowed = narrow(std::wstring_view(text, stretch), kWorkLimit);
        if (length == SQL_NTS || stretch == static_cast<std::size_t>(length)) {
            return narrowed;
        }
        return joinItems(semicolonItems(std::string_view(narrowed)));
    }
    std::string out;
    for (std::wstring_view item : listItems(text, static_cast<std::size_t>(length))) {
        out.append(narrow(item, kWorkLimit)).push_back(';');
    }
    return out;
}

std::string maskConnectionString(const char* text, SQLSMALLINT length) {
    // The items the connect will read, so that no password escapes the mask.
    return maskItems(semicolonItems(makeConnectionString(text, length)));
}

std::string maskConnectionString(const SQLCHAR* text, SQLSMALLINT length) {
    return maskConnectionString(reinterpret_cast<const char*>(text), length);
}

std::string maskConnectionStringW(const SQLWCHAR* text) {
    return maskItems(semicolonItems(makeConnectionStringW(text, SQL_NTS)));
}

void parseConnectionString(const char* text, SQLSMALLINT length, ConnectionStringMap& map) {
    const std::string normal = makeConnectionString(text, length);
    for (std::string_view item : semicolonItems(normal)) {
        insertPair(map, item);
    }
}

void parseConnectionString(const std::string& text, ConnectionStringMap& map) {
    // A string too long for the 16-bit length is read up to its terminator.
    const SQLSMALLINT length =
        text.size() > SHRT_MAX ? SQLSMALLINT{SQL_NTS} : static_cast<SQLSMALLINT>(text.size());
    parseConnectionString(text.c_str(), length, map);
}

void parseConnectionStringW(const SQLWCHAR* text, SQLSMALLINT length, ConnectionStringMap& map) {
    const std::string normal = makeConnectionStringW(text, length);
    for (std::string_view item : semicolonItems(normal)) {
        insertPair(map, item);
    }
}

std::string setConnectionStringValue(const std::string& connectionString, const std::string& key,
                                     const std::string& value) {
    ConnectionStringMap map;
    parseConnectionString(connectionString, map);
    auto entry = std::find_if(map.begin(), map.end(),
                              [&key](const auto& pair) { return equalsNoCase(pair.first, key); });
    if (entry != map.end()) {
        entry->second = value;
    } else if (!key.empty()) {
        map.emplace(key, value);
    }
    std::string out;
    for (const auto& [k, v] : map) {
        out.append(connectionTextItem(k, v));
    }
    return out;
}

std::string getAttributeValueW(const SQLWCHAR* text, SQLSMALLINT length, const SQLWCHAR* key) {
    if (text == nullptr || key == nullptr) {
        return {};
    }
    return attributeValue(makeConnectionStringW(text, length), key);
}

std::string getAttributeValue(const std::string& text, const SQLWCHAR* key) {
    return key == nullptr ? std::string() : attributeValue(text, key);
}

std::vector<std::string> getAttributeValues(const std::string& text,
                                            std::span<const SQLWCHAR* const> keys) {
    const std::vector<std::string_view> items = semicolonItems(text);
    std::vector<std::string> values;
    values.reserve(keys.size());
    for (const SQLWCHAR* key : keys) {
        values.push_back(key == nullptr ? std::string() : attributeValue(items, key));
    }
    return values;
}

std::string connectionTextValue(std::string_view value) {
    return ConnectionItems::quoted(value);
}

std::string connectionTextItem(std::string_view key, std::string_view value) {
    return ConnectionItems::item(key, value);
}

UWORD selectDsnConfigModeW(const SQLWCHAR* dsn) {
    InstallerFacade& installer = InstallerFacade::instance();
    SQLWCHAR driver[kDriverChars] = {};
    // A null section would make the installer list every section.
    if (dsn != nullptr && dsn[0] != 0) {
        installer.setConfigMode(ODBC_SYSTEM_DSN);
        installer.getPrivateProfileStringW(dsn, kDriverKey, kEmpty, driver, kDriverChars, nullptr);
        driver[kDriverChars - 1] = 0;
    }
    const UWORD mode = driver[0] != 0 ? ODBC_SYSTEM_DSN : ODBC_USER_DSN;
    installer.setConfigMode(mode);
    return mode;
}

UWORD selectDsnConfigMode(const char* dsn) {
    if (dsn == nullptr) {
        return selectDsnConfigModeW(nullptr);
    }
    const std::wstring wide = widen(dsn, kWideLimit);
    return selectDsnConfigModeW(wide.c_str());
}

namespace {

// One key of a data source in the mode the installer is set to; the caller
// sets the mode right before (the installer resets it after every call).
std::string readDsnKey(const SQLWCHAR* dsn, const SQLWCHAR* key) {
    // A null or empty section or key would make the installer list names.
    if (dsn == nullptr || dsn[0] == 0 || key == nullptr || key[0] == 0) {
        return {};
    }
    std::vector<SQLWCHAR> buffer(kDsnValueChars, 0);
    InstallerFacade::instance().getPrivateProfileStringW(dsn, key, kEmpty, buffer.data(),
                                                         kDsnValueChars, nullptr);
    buffer.back() = 0;
    return narrow(buffer.data(), kWorkLimit);
}

// The key names of a data source's section in the mode the installer is
// set to; nothing when the list cannot be had whole.
std::optional<std::vector<std::string>> listDsnKeys(const std::string& dsn) {
    if (dsn.empty()) {
        return std::nullopt;
    }
    std::vector<char> buffer(kKeyListBytes, 0);
    // A null key makes the installer list the section's key names, each
    // ended by a NUL.
    const int length = InstallerFacade::instance().getPrivateProfileString(
        dsn.c_str(), nullptr, "", buffer.data(), static_cast<int>(buffer.size()), nullptr);
    if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size() - 1) {
        return std::nullopt;
    }
    std::vector<std::string> names;
    for (std::string_view name : listItems(buffer.data(), static_cast<std::size_t>(length))) {
        names.emplace_back(name);
    }
    return names;
}

bool listsKey(const std::vector<std::string>& names, const SQLWCHAR* key) {
    const std::string narrowKey = narrow(key, kKeyLimit);
    return std::any_of(names.begin(), names.end(), [&narrowKey](const std::string& name) {
        return equalsNoCase(name, narrowKey);
    });
}

}  // namespace

std::vector<std::string> getDsnValues(const std::string& dsn,
                                      std::span<const SQLWCHAR* const> keys) {
    InstallerFacade& installer = InstallerFacade::instance();
    const std::wstring wideDsn = widen(dsn, kWideLimit);
    const UWORD mode = selectDsnConfigModeW(wideDsn.c_str());
    std::vector<std::string> values(keys.size());
    if (!wideDsn.empty()) {
        installer.setConfigMode(mode);
        // Without a whole list every key is read, as getDsnValue would.
        const std::optional<std::vector<std::string>> names = listDsnKeys(dsn);
        for (std::size_t i = 0; i < keys.size(); ++i) {
            if (keys[i] != nullptr && (!names || listsKey(*names, keys[i]))) {
                installer.setConfigMode(mode);
                values[i] = readDsnKey(wideDsn.c_str(), keys[i]);
            }
        }
    }
    installer.setConfigMode(mode);
    return values;
}

std::string getDsnValue(const std::string& dsn, const SQLWCHAR* key) {
    InstallerFacade& installer = InstallerFacade::instance();
    const std::wstring wideDsn = widen(dsn, kWideLimit);
    const UWORD mode = selectDsnConfigModeW(wideDsn.c_str());
    installer.setConfigMode(mode);
    std::string value = readDsnKey(wideDsn.c_str(), key);
    installer.setConfigMode(mode);
    return value;
}

std::string getDsnValueW(const SQLWCHAR* dsn, const SQLWCHAR* key) {
    InstallerFacade& installer = InstallerFacade::instance();
    UWORD mode = ODBC_BOTH_DSN;
    const bool known = installer.getConfigMode(&mode);
    std::string value = readDsnKey(dsn, key);
    if (known) {
        installer.setConfigMode(mode);
    }
    return value;
}
