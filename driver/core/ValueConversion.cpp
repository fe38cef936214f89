#include "driver/core/ValueConversion.h"

#include <algorithm>
#include <array>
#include <cfloat>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "driver/core/StringOutput.h"
#include "driver/core/TextEncoding.h"

namespace {

// How the characters of an encoding are laid out in bytes.
enum class CharScheme { SingleByte, Utf8, ShiftJis, LeadByte };

struct EncodingScheme {
    std::uint32_t encoding;
    CharScheme scheme;
};

// The multibyte encodings a data source can name; every other one the
// driver meets holds one character per byte.
constexpr EncodingScheme kMultibyteEncodings[] = {
    {kEncodingUtf8, CharScheme::Utf8},
    {kEncodingMacJapanese, CharScheme::ShiftJis},
    {kEncodingMacChineseTrad, CharScheme::LeadByte},
    {kEncodingMacKorean, CharScheme::LeadByte},
    {kEncodingMacChineseSimp, CharScheme::LeadByte},
};

CharScheme schemeOf(std::uint32_t encoding) {
    for (const auto& row : kMultibyteEncodings) {
        if (row.encoding == encoding) {
            return row.scheme;
        }
    }
    return CharScheme::SingleByte;
}

unsigned char byteAt(std::string_view text, std::size_t index) {
    return static_cast<unsigned char>(text[index]);
}

bool inRange(unsigned char byte, unsigned char low, unsigned char high) {
    return byte >= low && byte <= high;
}

// A well-formed UTF-8 sequence (no overlong forms, surrogates or values
// above U+10FFFF), else 1 for the stray byte.
std::size_t utf8SequenceBytes(std::string_view text) {
    const unsigned char lead = byteAt(text, 0);
    std::size_t length = 1;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead < 0x80) {
        return 1;
    } else if (inRange(lead, 0xC2, 0xDF)) {
        length = 2;
    } else if (inRange(lead, 0xE0, 0xEF)) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (inRange(lead, 0xF0, 0xF4)) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 1;
    }
    if (text.size() < length || !inRange(byteAt(text, 1), low, high)) {
        return 1;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (!inRange(byteAt(text, i), 0x80, 0xBF)) {
            return 1;
        }
    }
    return length;
}

char32_t decodeUtf8(std::string_view text, std::size_t length) {
    const unsigned char lead = byteAt(text, 0);
    if (length == 1) {
        return lead < 0x80 ? lead : 0xFFFD;
    }
    static constexpr unsigned char kLeadMask[] = {0, 0, 0x1F, 0x0F, 0x07};
    char32_t value = lead & kLeadMask[length];
    for (std::size_t i = 1; i < length; ++i) {
        value = (value << 6) | (byteAt(text, i) & 0x3F);
    }
    return value;
}

// Shift_JIS: leads 0x81-0x9F and 0xE0-0xFC take a trail byte.
std::size_t shiftJisBytes(std::string_view text) {
    const unsigned char lead = byteAt(text, 0);
    const bool isLead = inRange(lead, 0x81, 0x9F) || inRange(lead, 0xE0, 0xFC);
    return isLead && text.size() >= 2 && inRange(byteAt(text, 1), 0x40, 0xFC) ? 2 : 1;
}

// EUC-KR, EUC-CN and Big5: a byte from 0x81 starts a two-byte character.
std::size_t leadByteBytes(std::string_view text) {
    const unsigned char lead = byteAt(text, 0);
    return inRange(lead, 0x81, 0xFE) && text.size() >= 2 && byteAt(text, 1) >= 0x40 ? 2 : 1;
}

std::size_t clampToSize(SQLLEN value) {
    return value > 0 ? static_cast<std::size_t>(value) : 0;
}

// Converts a whole text into a string in another encoding; invalid input
// and characters the target lacks are handled as convertEncoding does.
std::string convertText(std::string_view source, std::uint32_t sourceEncoding,
                        std::uint32_t targetEncoding) {
    if (source.empty()) {
        return {};
    }
    // Four bytes per source byte hold any of the conversions, plus a terminator.
    std::string out(source.size() * 4 + 8, '\0');
    const std::int64_t written = convertEncoding(
        out.data(), static_cast<std::int64_t>(out.size()), nullptr, nullptr, nullptr,
        targetEncoding, source.data(), static_cast<std::int64_t>(source.size()), sourceEncoding);
    out.resize(std::min<std::size_t>(out.size(), written > 0 ? written : 0));
    return out;
}

// Offsets where each of the first characters of `text` ends.
std::vector<std::size_t> characterEnds(std::string_view text, std::uint32_t encoding,
                                       std::size_t maxChars) {
    std::vector<std::size_t> ends;
    std::size_t offset = 0;
    while (offset < text.size() && ends.size() < maxChars) {
        offset += firstCharacterBytes(text.substr(offset), encoding);
        ends.push_back(offset);
    }
    return ends;
}

void storeWide(void* destination, std::size_t index, char32_t value) {
    const auto unit = static_cast<std::uint32_t>(value);
    std::memcpy(static_cast<char*>(destination) + index * sizeof unit, &unit, sizeof unit);
}

// Decodes whole characters into 4-byte units at `destination`, which has
// room for `run.chars` of them.
void decodeToWide(std::string_view text, const CharRun& run, std::uint32_t encoding,
                  void* destination) {
    const std::string_view piece = text.substr(0, run.bytes);
    if (encoding == kEncodingUtf8) {
        std::size_t offset = 0;
        for (std::size_t i = 0; i < run.chars; ++i) {
            const auto rest = piece.substr(offset);
            const std::size_t length = utf8SequenceBytes(rest);
            storeWide(destination, i, decodeUtf8(rest, length));
            offset += length;
        }
    } else if (encoding == kEncodingIsoLatin1) {
        for (std::size_t i = 0; i < run.chars; ++i) {
            storeWide(destination, i, byteAt(piece, i));
        }
    } else {
        const std::string wide = convertText(piece, encoding, kEncodingUtf32LE);
        std::memcpy(destination, wide.data(), std::min(wide.size(), run.chars * kWideCharBytes));
    }
}

bool isCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::size_t skipSpaces(std::string_view text, std::size_t position) {
    while (position < text.size() && isCSpace(text[position])) {
        ++position;
    }
    return position;
}

// Sign and magnitude of the integer at the start of a text; the magnitude
// saturates. `found` is false when no digit follows the sign.
struct SignedMagnitude {
    bool found = false;
    bool negative = false;
    bool saturated = false;
    std::uint64_t magnitude = 0;
};

SignedMagnitude readSignedMagnitude(std::string_view text) {
    SignedMagnitude result;
    std::size_t position = skipSpaces(text, 0);
    if (position < text.size() && (text[position] == '+' || text[position] == '-')) {
        result.negative = text[position] == '-';
        ++position;
    }
    const char* first = text.data() + position;
    const char* last = text.data() + text.size();
    const auto [end, error] = std::from_chars(first, last, result.magnitude, 10);
    result.found = end != first;
    if (error == std::errc::result_out_of_range) {
        result.saturated = true;
        result.magnitude = std::numeric_limits<std::uint64_t>::max();
    }
    return result;
}

// Reads an integer field for the date scanner: white space, sign, digits;
// saturates at the int range.
bool scanInt(std::string_view text, std::size_t& position, int& value) {
    std::size_t at = skipSpaces(text, position);
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }
    const std::size_t digitsStart = at;
    long long magnitude = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
        magnitude = std::min<long long>(magnitude * 10 + (text[at] - '0'), INT_MAX);
        ++at;
    }
    if (at == digitsStart) {
        return false;
    }
    value = static_cast<int>(negative ? -magnitude : magnitude);
    position = at;
    return true;
}

// scanf-like: 'd' reads an integer into the next field, ' ' skips any white
// space, any other character must match itself. Stops at the first mismatch.
void scanFields(std::string_view text, std::string_view pattern, int* const* fields,
                std::size_t& position, std::size_t& fieldsRead) {
    for (const char step : pattern) {
        if (step == 'd') {
            if (!scanInt(text, position, *fields[fieldsRead])) {
                return;
            }
            ++fieldsRead;
        } else if (step == ' ') {
            position = skipSpaces(text, position);
        } else if (position < text.size() && text[position] == step) {
            ++position;
        } else {
            return;
        }
    }
}

// Up to nine digits after the point, in nanoseconds; reading stops at the
// first other character (a time-zone suffix, for instance).
std::uint32_t readFraction(std::string_view digits) {
    std::uint32_t value = 0;
    std::size_t count = 0;
    while (count < digits.size() && count < 9 && digits[count] >= '0' && digits[count] <= '9') {
        value = value * 10 + static_cast<std::uint32_t>(digits[count] - '0');
        ++count;
    }
    for (std::size_t i = count; i < 9 && count > 0; ++i) {
        value *= 10;
    }
    return value;
}

enum class DateLayout { None, Date, Time, Timestamp };

struct DateLayoutRow {
    SQLSMALLINT sqlType;
    DateLayout layout;
};

constexpr DateLayoutRow kDateLayouts[] = {
    {SQL_TYPE_DATE, DateLayout::Date},           {SQL_DATE, DateLayout::Date},
    {SQL_TYPE_TIME, DateLayout::Time},           {SQL_TIME, DateLayout::Time},
    {SQL_TYPE_TIMESTAMP, DateLayout::Timestamp}, {SQL_TIMESTAMP, DateLayout::Timestamp},
};

DateLayout layoutOf(SQLSMALLINT sqlType) {
    for (const auto& row : kDateLayouts) {
        if (row.sqlType == sqlType) {
            return row.layout;
        }
    }
    return DateLayout::None;
}

template <typename Value>
void storeBytes(SQLPOINTER target, const Value& value) {
    if (target != nullptr) {
        std::memcpy(target, &value, sizeof value);
    }
}

template <typename Integer>
StoredNumber storeSigned(std::string_view text, SQLPOINTER target, bool& outOfRange) {
    const auto value =
        static_cast<Integer>(parseLeadingInteger(text, std::numeric_limits<Integer>::min(),
                                                 std::numeric_limits<Integer>::max(), outOfRange));
    storeBytes(target, value);
    return static_cast<std::int64_t>(value);
}

template <typename Integer>
StoredNumber storeUnsigned(std::string_view text, SQLPOINTER target, bool& outOfRange) {
    const auto value = static_cast<Integer>(
        parseLeadingUnsigned(text, std::numeric_limits<Integer>::max(), outOfRange));
    storeBytes(target, value);
    return static_cast<std::uint64_t>(value);
}

StoredNumber storeFloat(std::string_view text, SQLPOINTER target, bool& outOfRange) {
    const double parsed = parseLeadingDouble(text, outOfRange);
    float value = 0;
    if (std::isfinite(parsed) && std::fabs(parsed) > FLT_MAX) {
        outOfRange = true;
        value = parsed < 0 ? -FLT_MAX : FLT_MAX;
    } else {
        value = static_cast<float>(parsed);
    }
    storeBytes(target, value);
    return static_cast<double>(value);
}

StoredNumber storeDouble(std::string_view text, SQLPOINTER target, bool& outOfRange) {
    const double value = parseLeadingDouble(text, outOfRange);
    storeBytes(target, value);
    return value;
}

// Any non-zero integer is true.
StoredNumber storeBit(std::string_view text, SQLPOINTER target, bool& outOfRange) {
    bool clamped = false;
    const std::int64_t number =
        parseLeadingInteger(text, std::numeric_limits<std::int64_t>::min(),
                            std::numeric_limits<std::int64_t>::max(), clamped);
    outOfRange = false;
    const unsigned char value = number != 0 ? 1 : 0;
    storeBytes(target, value);
    return static_cast<std::int64_t>(value);
}

const NumericTarget kNumericTargets[] = {
    {SQL_C_UTINYINT, 1, true, " to SQL_C_UTINYINT: ", storeUnsigned<std::uint8_t>},
    {SQL_C_STINYINT, 1, true, " to SQL_C_TINYINT: ", storeSigned<std::int8_t>},
    {SQL_C_TINYINT, 1, true, " to SQL_C_TINYINT: ", storeSigned<std::int8_t>},
    {SQL_C_USHORT, 2, true, " to SQL_C_USHORT: ", storeUnsigned<std::uint16_t>},
    {SQL_C_SSHORT, 2, true, " to SQL_C_SHORT: ", storeSigned<std::int16_t>},
    {SQL_C_SHORT, 2, true, " to SQL_C_SHORT: ", storeSigned<std::int16_t>},
    {SQL_C_ULONG, 4, true, " to SQL_C_ULONG: ", storeUnsigned<std::uint32_t>},
    {SQL_C_SLONG, 4, true, " to SQL_C_LONG: ", storeSigned<std::int32_t>},
    {SQL_C_LONG, 4, true, " to SQL_C_LONG: ", storeSigned<std::int32_t>},
    {SQL_C_UBIGINT, 8, true, " to SQL_C_BIGINT: ", storeUnsigned<std::uint64_t>},
    {SQL_C_SBIGINT, 8, true, " to SQL_C_BIGINT: ", storeSigned<std::int64_t>},
    {SQL_C_FLOAT, 4, true, " to SQL_C_FLOAT: ", storeFloat},
    {SQL_C_DOUBLE, 8, true, " to SQL_C_DOUBLE: ", storeDouble},
    {SQL_C_BIT, 1, false, " to SQL_C_BIT: ", storeBit},
};

constexpr DateTarget kDateTargets[] = {
    {SQL_C_DATE, DateStruct::Date, sizeof(SQL_DATE_STRUCT)},
    {SQL_C_TYPE_DATE, DateStruct::Date, sizeof(SQL_DATE_STRUCT)},
    {SQL_C_TIME, DateStruct::Time, sizeof(SQL_TIME_STRUCT)},
    {SQL_C_TYPE_TIME, DateStruct::Time, sizeof(SQL_TIME_STRUCT)},
    {SQL_C_TIMESTAMP, DateStruct::Timestamp, sizeof(SQL_TIMESTAMP_STRUCT)},
    {SQL_C_TYPE_TIMESTAMP, DateStruct::Timestamp, sizeof(SQL_TIMESTAMP_STRUCT)},
};

template <typename Row, std::size_t N>
const Row* findTarget(const Row (&rows)[N], SQLSMALLINT cType) {
    for (const Row& row : rows) {
        if (row.cType == cType) {
            return &row;
        }
    }
    return nullptr;
}

}  // namespace

std::size_t firstCharacterBytes(std::string_view text, std::uint32_t encoding) {
    if (text.empty()) {
        return 0;
    }
    switch (schemeOf(encoding)) {
        case CharScheme::Utf8:
            return utf8SequenceBytes(text);
        case CharScheme::ShiftJis:
            return shiftJisBytes(text);
        case CharScheme::LeadByte:
            return leadByteBytes(text);
        case CharScheme::SingleByte:
            break;
    }
    return 1;
}

CharRun wholeCharacters(std::string_view text, std::uint32_t encoding, std::size_t maxChars,
                        std::size_t maxBytes) {
    CharRun run;
    while (run.bytes < text.size() && run.chars < maxChars) {
        const std::size_t length = firstCharacterBytes(text.substr(run.bytes), encoding);
        if (run.bytes + length > maxBytes) {
            break;
        }
        run.bytes += length;
        ++run.chars;
    }
    return run;
}

std::size_t characterCount(std::string_view text, std::uint32_t encoding) {
    if (schemeOf(encoding) == CharScheme::SingleByte) {
        return text.size();
    }
    return wholeCharacters(text, encoding, text.size(), text.size()).chars;
}

TextPiece copyCharacterPiece(std::string_view rest, std::uint32_t encoding, char* destination,
                             SQLLEN bufferLength) {
    TextPiece piece;
    if (bufferLength >= 1) {
        const std::size_t room = clampToSize(bufferLength - 1);
        const CharRun run = wholeCharacters(rest, encoding, room, room);
        piece.sourceBytes = run.bytes;
        piece.chars = run.chars;
        piece.written = run.bytes;
        if (destination != nullptr) {
            std::memcpy(destination, rest.data(), run.bytes);
            destination[run.bytes] = '\0';
        }
    }
    piece.truncated = piece.sourceBytes < rest.size();
    piece.lengthValue =
        static_cast<SQLLEN>(piece.truncated ? characterCount(rest, encoding) : piece.chars);
    return piece;
}

TextPiece copyBytePiece(std::string_view rest, std::uint32_t encoding, char* destination,
                        SQLLEN bufferLength) {
    TextPiece piece = copyCharacterPiece(rest, encoding, destination, bufferLength);
    piece.lengthValue = static_cast<SQLLEN>(rest.size());
    return piece;
}

TextPiece convertCharacterPiece(std::string_view rest, std::uint32_t sourceEncoding,
                                std::uint32_t targetEncoding, char* destination,
                                SQLLEN bufferLength) {
    TextPiece piece;
    if (bufferLength >= 1) {
        const std::size_t room = clampToSize(bufferLength - 1);
        // Every character converts to at least one byte, so no more than
        // `room` of them can fit.
        const std::vector<std::size_t> ends = characterEnds(rest, sourceEncoding, room);
        std::size_t fitting = ends.size();
        std::string converted =
            convertText(rest.substr(0, fitting ? ends.back() : 0), sourceEncoding, targetEncoding);
        if (converted.size() > room) {
            // The most characters whose conversion fits: conversion lengths
            // grow with the prefix, so halve the range.
            std::size_t low = 0;
            std::size_t high = fitting - 1;
            while (low < high) {
                const std::size_t middle = (low + high + 1) / 2;
                if (convertText(rest.substr(0, ends[middle - 1]), sourceEncoding, targetEncoding)
                        .size() <= room) {
                    low = middle;
                } else {
                    high = middle - 1;
                }
            }
            fitting = low;
            converted = convertText(rest.substr(0, fitting ? ends[fitting - 1] : 0), sourceEncoding,
                                    targetEncoding);
        }
        piece.sourceBytes = fitting ? ends[fitting - 1] : 0;
        piece.chars = fitting;
        piece.written = converted.size();
        if (destination != nullptr) {
            std::memcpy(destination, converted.data(), converted.size());
            destination[converted.size()] = '\0';
        }
    }
    piece.truncated = piece.sourceBytes < rest.size();
    piece.lengthValue = static_cast<SQLLEN>(piece.truncated ? rest.size() : piece.written);
    return piece;
}

TextPiece copyWidePiece(std::string_view rest, std::uint32_t encoding, void* destination,
                        SQLLEN bufferLength) {
    TextPiece piece;
    if (bufferLength >= kWideCharBytes) {
        const std::size_t capacity = clampToSize(bufferLength);
        const CharRun run =
            wholeCharacters(rest, encoding, capacity / kWideCharBytes - 1, rest.size());
        piece.sourceBytes = run.bytes;
        piece.chars = run.chars;
        piece.written = run.chars * kWideCharBytes;
        if (destination != nullptr) {
            std::memset(destination, 0, capacity);
            decodeToWide(rest, run, encoding, destination);
        }
    }
    piece.truncated = piece.sourceBytes < rest.size();
    piece.lengthValue =
        kWideCharBytes *
        static_cast<SQLLEN>(piece.truncated ? characterCount(rest, encoding) : piece.chars);
    return piece;
}

TextPiece copyBinaryPiece(std::string_view rest, void* destination, SQLLEN bufferLength) {
    TextPiece piece;
    piece.sourceBytes = std::min(rest.size(), clampToSize(bufferLength));
    piece.written = piece.sourceBytes;
    if (destination != nullptr && piece.sourceBytes > 0) {
        std::memcpy(destination, rest.data(), piece.sourceBytes);
    }
    piece.truncated = piece.sourceBytes < rest.size();
    piece.lengthValue = static_cast<SQLLEN>(rest.size());
    return piece;
}

std::int64_t parseLeadingInteger(std::string_view text, std::int64_t minimum, std::int64_t maximum,
                                 bool& outOfRange) {
    const SignedMagnitude number = readSignedMagnitude(text);
    outOfRange = false;
    if (!number.found || number.magnitude == 0) {
        return 0;
    }
    if (!number.negative) {
        if (number.saturated || number.magnitude > static_cast<std::uint64_t>(maximum)) {
            outOfRange = true;
            return maximum;
        }
        return static_cast<std::int64_t>(number.magnitude);
    }
    // The magnitude of the minimum, computed without overflowing.
    const std::uint64_t limit = minimum < 0 ? static_cast<std::uint64_t>(-(minimum + 1)) + 1 : 0;
    if (number.saturated || number.magnitude > limit) {
        outOfRange = true;
        return minimum;
    }
    return static_cast<std::int64_t>(0 - number.magnitude);
}

std::uint64_t parseLeadingUnsigned(std::string_view text, std::uint64_t maximum, bool& outOfRange) {
    const SignedMagnitude number = readSignedMagnitude(text);
    outOfRange = false;
    if (!number.found || number.magnitude == 0) {
        return 0;
    }
    if (number.negative) {
        outOfRange = true;
        return 0;
    }
    if (number.saturated || number.magnitude > maximum) {
        outOfRange = true;
        return maximum;
    }
    return number.magnitude;
}

double parseLeadingDouble(std::string_view text, bool& outOfRange) {
    outOfRange = false;
    std::size_t position = skipSpaces(text, 0);
    if (position < text.size() && text[position] == '+') {
        ++position;
        if (position < text.size() && text[position] == '-') {
            return 0;
        }
    }
    const char* first = text.data() + position;
    const char* last = text.data() + text.size();
    double value = 0;
    const auto [end, error] = std::from_chars(first, last, value, std::chars_format::general);
    if (end == first) {
        return 0;
    }
    if (error != std::errc::result_out_of_range) {
        return value;
    }
    // Beyond the double range: a wider type tells overflow from underflow.
    long double wide = 0;
    const auto [wideEnd, wideError] = std::from_chars(first, last, wide);
    const bool negative = *first == '-';
    bool overflow = false;
    if (wideError == std::errc()) {
        overflow = std::fabs(wide) > DBL_MAX;
        value = overflow ? 0 : static_cast<double>(wide);
    } else {
        const std::string_view number(first, static_cast<std::size_t>(end - first));
        const std::size_t exponent = number.find_first_of("eE");
        overflow = exponent == std::string_view::npos || exponent + 1 >= number.size() ||
                   number[exponent + 1] != '-';
        value = 0;
    }
    if (overflow) {
        outOfRange = true;
        value = negative ? -DBL_MAX : DBL_MAX;
    }
    return value;
}

DateTimeFields parseDateTimeText(std::string_view text, SQLSMALLINT sqlType) {
    DateTimeFields fields;
    int* const dateFields[] = {&fields.year, &fields.month, &fields.day};
    int* const timeFields[] = {&fields.hour, &fields.minute, &fields.second};
    int* const stampFields[] = {&fields.year, &fields.month,  &fields.day,
                                &fields.hour, &fields.minute, &fields.second};
    std::size_t position = 0;
    std::size_t read = 0;
    switch (layoutOf(sqlType)) {
        case DateLayout::Date:
            scanFields(text, "d-d-d", dateFields, position, read);
            break;
        case DateLayout::Time:
            scanFields(text, "d:d:d", timeFields, position, read);
            break;
        case DateLayout::Timestamp:
            scanFields(text, "d-d-d d:d:d", stampFields, position, read);
            if (read == 6 && position < text.size() && text[position] == '.') {
                fields.fraction = readFraction(text.substr(position + 1));
            }
            break;
        case DateLayout::None:
            break;
    }
    return fields;
}

std::string hexText(std::uint64_t value) {
    std::array<char, 16> digits{};
    const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), value, 16);
    return std::string(digits.data(), result.ptr);
}

const NumericTarget* findNumericTarget(SQLSMALLINT cType) {
    return findTarget(kNumericTargets, cType);
}

const DateTarget* findDateTarget(SQLSMALLINT cType) {
    return findTarget(kDateTargets, cType);
}

std::string storeDateStruct(DateStruct shape, const DateTimeFields& fields, SQLPOINTER target,
                            bool wantText) {
    switch (shape) {
        case DateStruct::Date: {
            const SQL_DATE_STRUCT value{static_cast<SQLSMALLINT>(fields.year),
                                        static_cast<SQLUSMALLINT>(fields.month),
                                        static_cast<SQLUSMALLINT>(fields.day)};
            storeBytes(target, value);
            return wantText ? dateToString(value) : std::string();
        }
        case DateStruct::Time: {
            const SQL_TIME_STRUCT value{static_cast<SQLUSMALLINT>(fields.hour),
                                        static_cast<SQLUSMALLINT>(fields.minute),
                                        static_cast<SQLUSMALLINT>(fields.second)};
            storeBytes(target, value);
            return wantText ? timeToString(value) : std::string();
        }
        case DateStruct::Timestamp:
            break;
    }
    const SQL_TIMESTAMP_STRUCT value{static_cast<SQLSMALLINT>(fields.year),
                                     static_cast<SQLUSMALLINT>(fields.month),
                                     static_cast<SQLUSMALLINT>(fields.day),
                                     static_cast<SQLUSMALLINT>(fields.hour),
                                     static_cast<SQLUSMALLINT>(fields.minute),
                                     static_cast<SQLUSMALLINT>(fields.second),
                                     fields.fraction};
    storeBytes(target, value);
    return wantText ? timestampToString(value) : std::string();
}
