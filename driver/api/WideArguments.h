#pragma once

#include <sql.h>
#include <sqlucode.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "driver/core/TextEncoding.h"

// The text arguments of the W entry points. Wide text is 32-bit (UTF-32);
// inside the driver text is narrow, normally UTF-8.

// How many wide units of a caller's text the converters read: -4 counts as
// SQL_NTS; a positive count stops early at a zero unit; any other negative
// count reads up to the zero unit (SQL_NTS); a null text reads nothing (0),
// whatever length came with it.
SQLINTEGER wideInputLength(const SQLWCHAR* text, SQLINTEGER length);

// Bytes of `text` that end on a whole UTF-8 character: a multibyte
// character cut off at the end is left out.
std::size_t wholeUtf8Length(std::string_view text);

// Characters of UTF-8 text, as 32-bit wide units; text that is not valid
// UTF-8 counts one character per byte (it is converted byte by byte).
std::int64_t wideCharacterCount(std::string_view text);

// A narrow text that a copy into `buffer` cut to fit (its full length
// `fullLength` did not fit `bufferLength` bytes with the terminator) is made
// to end on a whole UTF-8 character: the bytes of a cut character are zeroed.
void endOnWholeCharacter(SQLCHAR* buffer, std::int64_t bufferLength, std::int64_t fullLength);

// Narrow text into the caller's wide buffer of `destBytes` bytes: the whole
// characters that fit beside a zero terminator. Text that is not valid UTF-8
// is taken byte by byte as Latin-1. Nothing is written without a buffer or
// with a size of 0 or less. Returns the characters of the whole text.
std::int64_t copyToWide(std::string_view text, void* dest, std::int64_t destBytes);

// A narrow answer read whole: the bytes of the text (without terminator), the
// full length the operation reported, and its result.
struct NarrowAnswer {
    SQLRETURN rc = SQL_SUCCESS;
    std::string text;
    std::int64_t length = 0;
};

// Runs `operation(buffer, capacity, &length)` with a buffer of `capacity`
// bytes (with none when `capacity` is 0 or less, which only asks for the
// length); when the reported length shows that the text did not fit, runs
// it once more with a buffer that fits (up to the largest `Length`), so
// that the caller gets the whole text. Should it still not fit, it is cut
// on a whole character.
template <typename Length, typename Operation>
NarrowAnswer readNarrowAnswer(std::int64_t capacity, Operation&& operation) {
    constexpr std::int64_t most = std::numeric_limits<Length>::max();
    NarrowAnswer answer;
    std::int64_t size = std::clamp<std::int64_t>(capacity, 0, most);
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::vector<char> buffer(static_cast<std::size_t>(size) + 1, '\0');
        Length length = 0;
        answer.rc = operation(size > 0 ? reinterpret_cast<SQLCHAR*>(buffer.data()) : nullptr,
                              static_cast<Length>(size), &length);
        answer.length = std::max<std::int64_t>(length, 0);
        const std::int64_t held = std::min(answer.length, std::max<std::int64_t>(size - 1, 0));
        answer.text.assign(buffer.data(), static_cast<std::size_t>(held));
        if (!SQL_SUCCEEDED(answer.rc) || held == answer.length || size == most) {
            break;
        }
        size = std::min(answer.length + 1, most);
    }
    if (answer.length > static_cast<std::int64_t>(answer.text.size())) {
        answer.text.resize(wholeUtf8Length(answer.text));
    }
    return answer;
}

// A wide length stored for the caller in bytes: four per character, held
// within the length field's range.
template <typename Length>
Length wideByteLength(std::int64_t characters) {
    constexpr std::int64_t most = std::numeric_limits<Length>::max() / kWideCharBytes;
    return static_cast<Length>(std::clamp<std::int64_t>(characters, 0, most) * kWideCharBytes);
}

// A character count stored for the caller, held within the field's range.
template <typename Length>
Length wideCharacterLength(std::int64_t characters) {
    return static_cast<Length>(
        std::clamp<std::int64_t>(characters, 0, std::numeric_limits<Length>::max()));
}
