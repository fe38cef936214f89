#include "driver/core/ConnectionText.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cwchar>
#include <string_view>
#include <vector>

#include "platform/InstallerFacade.h"

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

// Index just past the "}" that closes the braced value opened at `open`
// ("}}" stands for a "}" inside it); the text's end when none closes it.
std::size_t bracedValueEnd(std::string_view text, std::size_t open) {
    std::size_t at = open + 1;
    while (at < text.size()) {
        if (text[at] == '}') {
            if (at + 1 < text.size() && text[at + 1] == '}') {
                at += 2;
                continue;
            }
            return at + 1;
        }
        ++at;
    }
    return text.size();
}

// End of the item that begins at `at`: the next ";" outside a braced value.
// A value is braced when "{" follows the item's first "=" at once.
std::size_t itemEnd(std::string_view text, std::size_t at) {
    const std::size_t semicolon = std::min(text.find(';', at), text.size());
    const std::size_t equals = text.find('=', at);
    if (equals >= semicolon || equals + 1 >= text.size() || text[equals + 1] != '{') {
        return semicolon;
    }
    return std::min(text.find(';', bracedValueEnd(text, equals + 1)), text.size());
}

// Non-empty items between ";" separators, a braced value kept whole; at most
// the first kWorkLimit bytes are read.
std::vector<std::string_view> semicolonItems(std::string_view text) {
    text = text.substr(0, kWorkLimit);
    std::vector<std::string_view> items;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = itemEnd(text, at);
        if (end > at) {
            items.push_back(text.substr(at, end - at));
        }
        at = end + 1;
    }
    return items;
}

// A value as written behind its "=": a braced one loses its braces and has
// "}}" read as "}".
std::string itemValue(std::string_view written) {
    if (written.empty() || written.front() != '{') {
        return std::string(written);
    }
    const std::size_t end = bracedValueEnd(written, 0);
    const bool closed = end >= 2 && written[end - 1] == '}';
    std::string value;
    for (std::size_t at = 1; at < (closed ? end - 1 : end); ++at) {
        value.push_back(written[at]);
        if (written[at] == '}') {
            ++at;  // the second "}" of a doubled one
        }
    }
    return value;
}

// Items of an attribute list up to its empty item, all within `length`.
template <typename Char>
std::vector<std::basic_string_view<Char>> listItems(const Char* text, std::size_t length) {
    std::vector<std::basic_string_view<Char>> items;
    std::size_t pos = 0;
    while (pos < length) {
        std::size_t end = pos;
        while (end < length && text[end] != Char{}) {
            ++end;
        }
        if (end == pos) {
            break;
        }
        items.emplace_back(text + pos, end - pos);
        pos = end + 1;
    }
    return items;
}

std::string joinItems(const std::vector<std::string_view>& items) {
    std::string out;
    for (std::string_view item : items) {
        out.append(item).push_back(';');
    }
    return out;
}

char upperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return upperAscii(x) == upperAscii(y);
           });
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && equalsNoCase(text.substr(0, prefix.size()), prefix);
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
    map.emplace(std::string(key),
                !item.empty() && item.front() == '{' ? itemValue(item) : std::string(nextToken()));
}

// The value of the first item that begins with `key` in normalised text.
std::string attributeValue(std::string_view text, const SQLWCHAR* key) {
    const std::string narrowKey = narrow(key, kKeyLimit);
    for (std::string_view item : semicolonItems(text)) {
        if (!startsWithNoCase(item.substr(0, kKeyLimit), narrowKey)) {
            continue;
        }
        // The value starts behind the key and its "="; an item too short for
        // that has none.
        return item.size() < narrowKey.size() + 1 ? std::string()
                                                  : itemValue(item.substr(narrowKey.size() + 1));
    }
    return {};
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

std::string connectionTextValue(std::string_view value) {
    if (value.find_first_of(";{}") == std::string_view::npos) {
        return std::string(value);
    }
    std::string braced = "{";
    for (char c : value) {
        braced.push_back(c);
        if (c == '}') {
            braced.push_back('}');
        }
    }
    braced.push_back('}');
    return braced;
}

std::string connectionTextItem(std::string_view key, std::string_view value) {
    std::string item(key);
    item.append("=").append(connectionTextValue(value)).push_back(';');
    return item;
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

}  // namespace

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
