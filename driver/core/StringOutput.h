#pragma once

#include <sql.h>
#include <sqlext.h>

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Character output to an application buffer under the ODBC rules: the text
// is cut to the buffer (less one byte for the NUL when `terminate` is set),
// the out-length receives the full length of the text, and the result is 1
// when the text was cut, else 0. A null text counts as empty; a null
// destination or a buffer length of zero or less copies nothing.
int copyStringOut(void* destination, SQLINTEGER* lengthOut, const char* text,
                  SQLINTEGER bufferLength, bool terminate);
int copyStringOut(void* destination, SQLINTEGER* lengthOut, std::string_view text,
                  SQLINTEGER bufferLength, bool terminate);

// The same with 16-bit lengths. A text longer than 32,767 bytes reports
// 32,767 as its length (the most an SQLSMALLINT holds) and still counts as
// cut whenever it does not fit the buffer.
int copyStringOutShort(void* destination, SQLSMALLINT* lengthOut, const char* text,
                       SQLSMALLINT bufferLength, bool terminate);
int copyStringOutShort(void* destination, SQLSMALLINT* lengthOut, std::string_view text,
                       SQLSMALLINT bufferLength, bool terminate);

// An ODBC text argument as an owned string: null or length 0 gives "",
// SQL_NTS (or any other negative length) the text up to its NUL, a positive
// length at most that many bytes, stopping early at a NUL.
// Copies as much of `text` as fits into a C buffer of `size` bytes and
// always terminates it (nothing for a null or empty buffer); returns the
// bytes the whole text needs with its terminator.
std::size_t copyTerminated(char* destination, std::size_t size, std::string_view text);

std::string makeSqlString(const SQLCHAR* text, SQLINTEGER length);
std::string makeSqlString(const char* text, SQLINTEGER length);
inline std::string makeSqlString(std::nullptr_t, SQLINTEGER) {
    return {};
}

std::string toString(std::int64_t value);
std::string toString(std::uint64_t value);
// Default stream notation: at most six significant digits (0.5, 1e+10).
std::string toString(double value);
// One byte as a one-character string.
std::string toString(char byte);

// Other integer widths: bytes stay characters, the rest print as numbers.
template <std::integral T>
requires(!std::same_as<T, std::int64_t> && !std::same_as<T, std::uint64_t> &&
         !std::same_as<T, char>) std::string toString(T value) {
    if constexpr (sizeof(T) == 1 && !std::same_as<T, bool>) {
        return toString(static_cast<char>(value));
    } else if constexpr (std::signed_integral<T>) {
        return toString(static_cast<std::int64_t>(value));
    } else {
        return toString(static_cast<std::uint64_t>(value));
    }
}

// Plain decimal fields without leading zeros: 2024-1-5, 9:5:0,
// 2024-1-5 9:5:0.5000 (the fraction is the raw nanosecond count).
std::string dateToString(const SQL_DATE_STRUCT& date);
std::string timeToString(const SQL_TIME_STRUCT& time);
std::string timestampToString(const SQL_TIMESTAMP_STRUCT& timestamp);

// Removes every occurrence of `character` from the NUL-terminated text in place.
void removeChar(char* text, char character);

// A copy of the text without carriage returns and line feeds.
std::string stripLineBreaks(std::string_view text);
