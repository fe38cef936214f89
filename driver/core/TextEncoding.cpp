#include "driver/core/TextEncoding.h"

#include <sql.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <initializer_list>
#include <limits>
#include <map>
#include <mutex>
#include <vector>

#include "driver/adapter/SqlTextScanner.h"
#include "platform/PreferredLanguages.h"

namespace {

// Languages by leading characters, tested in this order: "zh-Hant" must come
// before "zh".
struct LanguageRow {
    std::string_view prefix;
    StringEncoding encoding;
};

constexpr LanguageRow kLanguageEncodings[] = {
    {"ja", kEncodingMacJapanese},
    {"ko", kEncodingMacKorean},
    {"el", kEncodingMacGreek},
    {"ar", kEncodingMacArabic},
    {"he", kEncodingMacHebrew},
    {"is", kEncodingMacIcelandic},
    {"zh-Hant", kEncodingMacChineseTrad},
    {"zh", kEncodingMacChineseSimp},
    {"ru", kEncodingMacCyrillic},
    {"uk", kEncodingMacCyrillic},
    {"bs", kEncodingMacCyrillic},
    {"be", kEncodingMacCyrillic},
    {"bg", kEncodingMacCyrillic},
    {"sr", kEncodingMacCyrillic},
    {"hr", kEncodingMacCyrillic},
    {"mk", kEncodingMacCyrillic},
};

// Bytes of the zero terminator behind converted text: one unit of the
// encoding, and four for Mac Simplified Chinese as the driver always did.
std::size_t terminatorWidth(StringEncoding encoding, const TextCodec* codec) {
    if (encoding == kEncodingMacChineseSimp) {
        return 4;
    }
    return codec == nullptr ? 1 : codec->unitWidth();
}

// Byte length of text up to its first zero unit of `width` bytes.
std::size_t terminatedLength(const void* source, std::size_t width) {
    const auto* bytes = static_cast<const unsigned char*>(source);
    for (std::size_t at = 0;; at += width) {
        if (std::all_of(bytes + at, bytes + at + width, [](unsigned char b) { return b == 0; })) {
            return at;
        }
    }
}

template <typename Count>
void storeSaturated(Count* out, std::int64_t value) {
    if (out != nullptr) {
        *out = static_cast<Count>(std::min<std::int64_t>(value, std::numeric_limits<Count>::max()));
    }
}

template <typename T>
void store(T* out, T value) {
    if (out != nullptr) {
        *out = value;
    }
}

// Units of wide text for a count or SQL_NTS; a zero unit ends it early.
std::int64_t wideUnits(const SQLWCHAR* text, std::int64_t length) {
    if (text == nullptr) {
        return 0;
    }
    if (length == SQL_NTS) {
        return static_cast<std::int64_t>(wideLength(text));
    }
    return wideLengthBounded(text, length);
}

// Raw copy of bytes that are not valid in their encoding, leaving room for
// the terminator; for wide destinations only whole units, so that the
// zero unit behind them lies inside the buffer.
std::int64_t copyRaw(char* dest, std::size_t destSize, std::size_t termWidth,
                     std::string_view bytes, bool* truncated, std::int64_t* charsConverted,
                     std::int64_t* sourceChars) {
    std::size_t room = destSize > termWidth ? destSize - termWidth : 0;
    room -= room % termWidth;
    const std::size_t copied = std::min(room, bytes.size());
    std::memcpy(dest, bytes.data(), copied);
    store(truncated, copied < bytes.size());
    store(charsConverted, static_cast<std::int64_t>(copied));
    store(sourceChars, static_cast<std::int64_t>(bytes.size()));
    return static_cast<std::int64_t>(copied);
}

// Whether ASCII reads and writes as itself in `encoding`: not in every Mac
// or CJK encoding, so each is tried once and the answer kept.
bool checkKeepsAscii(StringEncoding encoding) {
    const TextCodec* codec = TextCodec::forEncoding(encoding);
    if (codec == nullptr || codec->unitWidth() != 1) {
        return false;
    }
    std::string bytes;
    std::u16string units;
    for (char c = 1; c < 0x7F; ++c) {
        bytes += c;
        units += static_cast<char16_t>(c);
    }
    bytes += '\x7F';
    units += u'\x7F';
    const std::optional<std::u16string> decoded = codec->decode(bytes);
    if (!decoded || *decoded != units) {
        return false;
    }
    std::string encoded(bytes.size(), '\0');
    const TextCodec::Encoded done = codec->encode(units, encoded.data(), encoded.size());
    return done.units == units.size() && done.bytes == bytes.size() && encoded == bytes;
}

bool keepsAscii(StringEncoding encoding) {
    static std::mutex mutex;
    static std::map<StringEncoding, bool> known;
    const std::lock_guard lock(mutex);
    const auto [entry, added] = known.try_emplace(encoding, false);
    if (added) {
        entry->second = checkKeepsAscii(encoding);
    }
    return entry->second;
}

// Wide text that is all ASCII, as its bytes, when every encoding it passes
// through keeps ASCII as itself: the conversions would give the same bytes.
std::optional<std::string> unchangedAscii(const SQLWCHAR* text, std::int64_t length,
                                          std::initializer_list<StringEncoding> through) {
    if (text == nullptr) {
        return std::nullopt;
    }
    const std::int64_t units = wideUnits(text, length);
    if (units < 0) {
        return std::nullopt;
    }
    const SQLWCHAR* end = text + units;
    if (!std::all_of(text, end, [](SQLWCHAR c) { return c >= 0 && c < 0x80; }) ||
        !std::all_of(through.begin(), through.end(), keepsAscii)) {
        return std::nullopt;
    }
    std::string out(static_cast<std::size_t>(units), '\0');
    std::transform(text, end, out.begin(), [](SQLWCHAR c) { return static_cast<char>(c); });
    return out;
}

std::string wideToUtf8Text(const SQLWCHAR* text, std::int64_t length, std::int64_t* outBytes) {
    return wideToEncoding(text, length, outBytes, kEncodingUtf8);
}

// Converts into a fresh buffer of `capacity` bytes and keeps what was written.
std::string convertToString(std::size_t capacity, StringEncoding destEncoding,
                            std::string_view source, StringEncoding sourceEncoding) {
    std::string out(capacity, '\0');
    const std::int64_t written = convertEncoding(
        out.data(), static_cast<std::int64_t>(out.size()), nullptr, nullptr, nullptr, destEncoding,
        source.data(), static_cast<std::int64_t>(source.size()), sourceEncoding);
    out.resize(static_cast<std::size_t>(written));
    return out;
}

std::string latin1Text(const SQLWCHAR* text, std::int64_t length, std::int64_t* outBytes) {
    if (std::optional<std::string> ascii = unchangedAscii(text, length, {kEncodingIsoLatin1})) {
        store(outBytes, static_cast<std::int64_t>(ascii->size()));
        return std::move(*ascii);
    }
    const std::string utf8 = wideToUtf8Text(text, length, nullptr);
    std::string latin1 =
        convertToString(4 * utf8.size() + 4, kEncodingIsoLatin1, utf8, kEncodingUtf8);
    store(outBytes, static_cast<std::int64_t>(latin1.size()));
    return latin1;
}

std::string viaLatin1Text(const SQLWCHAR* text, std::int64_t length, std::int64_t* outBytes,
                          StringEncoding language) {
    if (std::optional<std::string> ascii =
            unchangedAscii(text, length, {kEncodingIsoLatin1, language})) {
        store(outBytes, static_cast<std::int64_t>(ascii->size()));
        return std::move(*ascii);
    }
    const std::string utf8 = wideToUtf8Text(text, length, nullptr);
    const std::string latin1 =
        convertToString(4 * utf8.size() + 4, kEncodingIsoLatin1, utf8, kEncodingUtf8);
    std::string result = convertToString(4 * utf8.size() + 4, kEncodingUtf8, latin1, language);
    store(outBytes, static_cast<std::int64_t>(result.size()));
    return result;
}

char16_t unitAt(const void* units, std::size_t index) {
    char16_t unit;
    std::memcpy(&unit, static_cast<const char*>(units) + index * sizeof unit, sizeof unit);
    return unit;
}

// One code point of 16-bit text: a joined pair, or U+FFFD for a lone half.
struct CodePoint {
    char32_t value;
    std::size_t units;
};

CodePoint codePointAt(const void* units, std::size_t count, std::size_t at) {
    const char32_t first = unitAt(units, at);
    if (first >= 0xD800 && first <= 0xDBFF && at + 1 < count) {
        const char32_t second = unitAt(units, at + 1);
        if (second >= 0xDC00 && second <= 0xDFFF) {
            return {0x10000 + ((first - 0xD800) << 10) + (second - 0xDC00), 2};
        }
    }
    if (first >= 0xD800 && first <= 0xDFFF) {
        return {0xFFFD, 1};
    }
    return {first, 1};
}

std::size_t utf8Encode(char32_t cp, char* out) {
    if (cp < 0x80) {
        out[0] = static_cast<char>(cp);
        return 1;
    }
    if (cp < 0x800) {
        out[0] = static_cast<char>(0xC0 | (cp >> 6));
        out[1] = static_cast<char>(0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (cp >> 12));
        out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (cp & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (cp >> 18));
    out[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (cp & 0x3F));
    return 4;
}

}  // namespace

StringEncoding languageEncoding(std::string_view language) {
    for (const LanguageRow& row : kLanguageEncodings) {
        if (compareNoCase(row.prefix, language) == 0) {
            return row.encoding;
        }
    }
    return kEncodingMacRoman;
}

StringEncoding getPreferredLanguageEncoding() {
    const std::vector<std::string> languages = preferredLanguages();
    if (languages.empty()) {
        return kEncodingMacRoman;
    }
    return languageEncoding(std::string_view(languages.front()).substr(0, 255));
}

StringEncoding encodingFromName(std::string_view name) {
    const StringEncoding language = getPreferredLanguageEncoding();
    if (name.empty()) {
        return language;
    }
    if (compareNoCase(name, "UTF-8") == 0) {
        return kEncodingUtf8;
    }
    if (compareNoCase(name, "LATIN-1") == 0) {
        return kEncodingIsoLatin1;
    }
    return language;
}

std::int64_t convertEncoding(void* dest, std::int64_t destSize, bool* truncated,
                             std::int64_t* charsConverted, std::int64_t* sourceChars,
                             StringEncoding destEncoding, const void* source,
                             std::int64_t sourceLength, StringEncoding sourceEncoding) {
    store(truncated, false);
    store(charsConverted, std::int64_t{0});
    store(sourceChars, std::int64_t{0});
    if (dest != nullptr && destSize > 0) {
        std::memset(dest, 0, static_cast<std::size_t>(destSize));
    }
    if (source == nullptr) {
        return 0;
    }
    const TextCodec* from = TextCodec::forEncoding(sourceEncoding);
    const TextCodec* to = TextCodec::forEncoding(destEncoding);
    if (sourceLength == SQL_NTS) {
        sourceLength = static_cast<std::int64_t>(
            terminatedLength(source, from == nullptr ? 1 : from->unitWidth()));
    }
    sourceLength = std::max<std::int64_t>(sourceLength, 0);
    if (dest == nullptr || destSize < 1) {
        return sourceLength;
    }

    const std::size_t size = static_cast<std::size_t>(destSize);
    const std::size_t termWidth = terminatorWidth(destEncoding, to);
    const std::string_view bytes(static_cast<const char*>(source),
                                 static_cast<std::size_t>(sourceLength));
    const std::optional<std::u16string> text = from == nullptr ? std::nullopt : from->decode(bytes);
    if (!text) {
        return copyRaw(static_cast<char*>(dest), size, termWidth, bytes, truncated, charsConverted,
                       sourceChars);
    }
    if (to == nullptr) {
        return 0;
    }

    const TextCodec::Encoded whole =
        to->encode(*text, nullptr, std::numeric_limits<std::size_t>::max());
    store(sourceChars, static_cast<std::int64_t>(whole.units));
    // A text that needs exactly the room left beside the terminator counts as
    // cut as well, as callers have always been told.
    const std::size_t room = size > termWidth ? size - termWidth : 0;
    store(truncated, whole.bytes + termWidth >= size);
    const TextCodec::Encoded done = to->encode(*text, static_cast<char*>(dest), room);
    store(charsConverted, static_cast<std::int64_t>(done.units));
    // The terminator: zero bytes right behind the text, inside the buffer.
    std::memset(static_cast<char*>(dest) + done.bytes, 0, std::min(termWidth, size - done.bytes));
    return static_cast<std::int64_t>(done.bytes);
}

std::string wideToEncoding(const SQLWCHAR* text, std::int64_t length, std::int64_t* outBytes,
                           StringEncoding target) {
    const std::int64_t units = wideUnits(text, length);
    store(outBytes, std::int64_t{0});
    if (text == nullptr) {
        return {};
    }
    if (std::optional<std::string> ascii = unchangedAscii(text, length, {target})) {
        store(outBytes, static_cast<std::int64_t>(ascii->size()));
        return std::move(*ascii);
    }
    const std::size_t sourceBytes = static_cast<std::size_t>(units) * sizeof(SQLWCHAR);
    std::string out = convertToString(
        sourceBytes + 4, target, std::string_view(reinterpret_cast<const char*>(text), sourceBytes),
        kEncodingUtf32LE);
    store(outBytes, static_cast<std::int64_t>(out.size()));
    return out;
}

std::string wideToUtf8(const SQLWCHAR* text, std::int64_t length) {
    return wideToUtf8Text(text, length, nullptr);
}

std::string wideToUtf8(const SQLWCHAR* text, std::int64_t length, SQLSMALLINT* outBytes) {
    std::int64_t bytes = 0;
    std::string out = wideToUtf8Text(text, length, &bytes);
    storeSaturated(outBytes, bytes);
    return out;
}

std::string wideToUtf8(const SQLWCHAR* text, std::int64_t length, SQLINTEGER* outBytes) {
    std::int64_t bytes = 0;
    std::string out = wideToUtf8Text(text, length, &bytes);
    storeSaturated(outBytes, bytes);
    return out;
}

std::string wideToLatin1(const SQLWCHAR* text, std::int64_t length) {
    return latin1Text(text, length, nullptr);
}

std::string wideToLatin1(const SQLWCHAR* text, std::int64_t length, SQLSMALLINT* outBytes) {
    std::int64_t bytes = 0;
    std::string out = latin1Text(text, length, &bytes);
    storeSaturated(outBytes, bytes);
    return out;
}

std::string wideToLatin1(const SQLWCHAR* text, std::int64_t length, SQLINTEGER* outBytes) {
    std::int64_t bytes = 0;
    std::string out = latin1Text(text, length, &bytes);
    storeSaturated(outBytes, bytes);
    return out;
}

std::string wideToUtf8ViaLatin1(const SQLWCHAR* text, std::int64_t length) {
    return viaLatin1Text(text, length, nullptr, getPreferredLanguageEncoding());
}

std::string wideToUtf8ViaLatin1(const SQLWCHAR* text, std::int64_t length, SQLSMALLINT* outBytes) {
    std::int64_t bytes = 0;
    std::string out = viaLatin1Text(text, length, &bytes, getPreferredLanguageEncoding());
    storeSaturated(outBytes, bytes);
    return out;
}

std::string wideToUtf8ViaLatin1(const SQLWCHAR* text, std::int64_t length, SQLINTEGER* outBytes) {
    return wideToUtf8ViaLatin1(text, length, outBytes, getPreferredLanguageEncoding());
}

std::string wideToUtf8ViaLatin1(const SQLWCHAR* text, std::int64_t length, SQLINTEGER* outBytes,
                                StringEncoding language) {
    std::int64_t bytes = 0;
    std::string out = viaLatin1Text(text, length, &bytes, language);
    storeSaturated(outBytes, bytes);
    return out;
}

std::int64_t utf8ToWide(std::string_view text, void* dest, std::int64_t destBytes) {
    return utf8ToWide(text.data(), static_cast<std::int64_t>(text.size()), dest, destBytes);
}

std::wstring utf8ToWideString(std::string_view text) {
    // A UTF-8 byte never yields more than one wide character.
    std::wstring wide(text.size() + 1, L'\0');
    utf8ToWide(text, wide.data(), static_cast<std::int64_t>(wide.size() * sizeof(wchar_t)));
    wide.resize(std::wcslen(wide.c_str()));
    return wide;
}

std::int64_t utf8ToWide(const char* text, void* dest, std::int64_t destBytes) {
    return utf8ToWide(text, SQL_NTS, dest, destBytes);
}

std::int64_t utf8ToWide(const char* text, std::int64_t length, void* dest, std::int64_t destBytes) {
    std::int64_t total = 0;
    convertEncoding(dest, destBytes, nullptr, nullptr, &total, kEncodingUtf32LE, text, length,
                    kEncodingUtf8);
    if (text == nullptr || (dest != nullptr && destBytes > 0)) {
        return total;
    }
    // No buffer: the caller still learns the length of the whole text.
    const std::string_view bytes(
        text, length == SQL_NTS ? std::strlen(text)
                                : static_cast<std::size_t>(std::max<std::int64_t>(length, 0)));
    const std::optional<std::u16string> decoded =
        TextCodec::forEncoding(kEncodingUtf8)->decode(bytes);
    return static_cast<std::int64_t>(decoded ? decoded->size() : bytes.size());
}

std::optional<std::string> utf16ToUtf8(const void* text, std::int64_t length,
                                       std::int64_t* outBytes) {
    if (text == nullptr) {
        store(outBytes, std::int64_t{-1});
        return std::nullopt;
    }
    std::size_t count = 0;
    if (length == SQL_NTS) {
        count = utf16Length(text);
    } else {
        while (static_cast<std::int64_t>(count) < length && unitAt(text, count) != 0) {
            ++count;
        }
    }
    std::string out;
    out.reserve(kMostUtf8CharBytes * count + 1);
    char bytes[kMostUtf8CharBytes];
    for (std::size_t at = 0; at < count;) {
        const CodePoint cp = codePointAt(text, count, at);
        out.append(bytes, utf8Encode(cp.value, bytes));
        at += cp.units;
    }
    store(outBytes, static_cast<std::int64_t>(out.size()));
    return out;
}

std::size_t utf16ToUtf8Buffer(const void* units, std::size_t count, char* dest,
                              std::size_t destSize) {
    if (units == nullptr) {
        return 0;
    }
    std::size_t written = 0;
    char bytes[4];
    for (std::size_t at = 0; at < count;) {
        const CodePoint cp = codePointAt(units, count, at);
        const std::size_t length = utf8Encode(cp.value, bytes);
        if (dest != nullptr) {
            // Stop at the first character that does not fit: writing later,
            // shorter ones would leave a hole in the text.
            if (length > destSize - written) {
                break;
            }
            std::memcpy(dest + written, bytes, length);
        }
        written += length;
        at += cp.units;
    }
    return written;
}

std::size_t utf32Length(const SQLWCHAR* text) {
    return wideLength(text);
}

std::size_t utf16Length(const void* text) {
    std::size_t length = 0;
    if (text != nullptr) {
        while (unitAt(text, length) != 0) {
            ++length;
        }
    }
    return length;
}

void countMultibyteChars(const char* text, std::size_t byteLength, void* wideOut,
                         std::size_t maxChars, std::size_t* charCount, std::size_t* byteCount) {
    constexpr std::size_t kMaxCharBytes = 6;
    std::size_t chars = 0;
    std::size_t bytes = 0;
    std::mbstate_t state{};
    while (text != nullptr && bytes < byteLength && chars < maxChars) {
        wchar_t wide = 0;
        const std::size_t used =
            std::mbrtowc(&wide, text + bytes, std::min(kMaxCharBytes, byteLength - bytes), &state);
        // 0: a zero character; -1: invalid; -2: runs past the byte length.
        if (used == 0 || used == static_cast<std::size_t>(-1) ||
            used == static_cast<std::size_t>(-2)) {
            break;
        }
        if (wideOut != nullptr) {
            std::memcpy(static_cast<char*>(wideOut) + chars * sizeof wide, &wide, sizeof wide);
        }
        ++chars;
        bytes += used;
    }
    store(charCount, chars);
    store(byteCount, bytes);
}
