#pragma once

#include <sqltypes.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/TextCodec.h"

// Wide text at the driver manager is 32-bit (UTF-32, little-endian).
// Bytes of one SQLWCHAR: the driver manager's wide text is UTF-32.
inline constexpr int kWideCharBytes = 4;
static_assert(sizeof(SQLWCHAR) == kWideCharBytes, "the driver is built for 4-byte SQLWCHAR");
// The most bytes one character takes in UTF-8.
inline constexpr int kMostUtf8CharBytes = 4;

// The Mac script encoding of one language identifier ("ja", "zh-Hant-TW"),
// by its leading characters; MacRoman for anything not in the table.
StringEncoding languageEncoding(std::string_view language);

// The Mac script encoding of the user's first preferred language.
StringEncoding getPreferredLanguageEncoding();

// "UTF-8" or "LATIN-1", compared without case over the given name's length
// (so "utf" is UTF-8); an empty or any other name gives the language encoding.
StringEncoding encodingFromName(std::string_view name);

// Converts `source` (bytes, or SQL_NTS for up to a zero unit of the source
// encoding) into `dest` of `destSize` bytes, which is zero-filled and always
// terminated within its size. Whole characters only; what the destination
// cannot hold becomes "?"; bytes that are not valid in the source encoding
// are copied raw. Out values (each may be null): whether the text was cut,
// characters converted and characters in the whole source, counted in
// UTF-16 units. Returns the bytes written; a null or empty destination is a
// sizing call that returns the source length.
std::int64_t convertEncoding(void* dest, std::int64_t destSize, bool* truncated,
                             std::int64_t* charsConverted, std::int64_t* sourceChars,
                             StringEncoding destEncoding, const void* source,
                             std::int64_t sourceLength, StringEncoding sourceEncoding);

// Wide text (a unit count, or SQL_NTS; a zero unit ends it early) in
// `target`; `outBytes` (may be null) receives the byte count.
std::string wideToEncoding(const SQLWCHAR* text, std::int64_t length, std::int64_t* outBytes,
                           StringEncoding target);

// Wide text as UTF-8. The byte count saturates at the width of its field.
std::string wideToUtf8(const SQLWCHAR* text, std::int64_t length);
std::string wideToUtf8(const SQLWCHAR* text, std::int64_t length, SQLSMALLINT* outBytes);
std::string wideToUtf8(const SQLWCHAR* text, std::int64_t length, SQLINTEGER* outBytes);

// Wide text as ISO Latin-1 bytes ("?" for what Latin-1 lacks).
std::string wideToLatin1(const SQLWCHAR* text, std::int64_t length);
std::string wideToLatin1(const SQLWCHAR* text, std::int64_t length, SQLSMALLINT* outBytes);
std::string wideToLatin1(const SQLWCHAR* text, std::int64_t length, SQLINTEGER* outBytes);

// Wide text whose characters are really bytes of the user's language
// encoding (taken as Latin-1 on the way), read in that encoding, as UTF-8.
std::string wideToUtf8ViaLatin1(const SQLWCHAR* text, std::int64_t length);
std::string wideToUtf8ViaLatin1(const SQLWCHAR* text, std::int64_t length, SQLSMALLINT* outBytes);
std::string wideToUtf8ViaLatin1(const SQLWCHAR* text, std::int64_t length, SQLINTEGER* outBytes);
// The same with the language encoding the caller read already.
std::string wideToUtf8ViaLatin1(const SQLWCHAR* text, std::int64_t length, SQLINTEGER* outBytes,
                                StringEncoding language);

// UTF-8 into a wide buffer of `destBytes` bytes (zero-filled, terminated by
// a zero unit within it); the whole characters that fit are converted.
// Returns the characters of the whole source in UTF-16 units, fitted or not
// (also when there is no buffer); invalid UTF-8 is copied raw and its byte
// length returned.
std::int64_t utf8ToWide(std::string_view text, void* dest, std::int64_t destBytes);
std::int64_t utf8ToWide(const char* text, void* dest, std::int64_t destBytes);
std::int64_t utf8ToWide(const char* text, std::int64_t length, void* dest, std::int64_t destBytes);
// UTF-8 as a whole wide string, sized to the text (a NUL ends it early).
std::wstring utf8ToWideString(std::string_view text);

// 16-bit wide text (units in host order, any alignment; a count or SQL_NTS,
// stopping at a zero unit) as UTF-8. Surrogate pairs are joined; a lone
// surrogate becomes U+FFFD. Null text gives nothing and an out count of -1.
std::optional<std::string> utf16ToUtf8(const void* text, std::int64_t length,
                                       std::int64_t* outBytes);

// `count` 16-bit units as UTF-8 into `dest` while whole characters fit,
// without a terminator; with a null `dest` only counts. Returns the bytes
// written (or needed).
std::size_t utf16ToUtf8Buffer(const void* units, std::size_t count, char* dest,
                              std::size_t destSize);

// Units before the zero terminator (0 for null text).
std::size_t utf32Length(const SQLWCHAR* text);
std::size_t utf16Length(const void* text);

// Walks multibyte text under the current locale: stops before the character
// that would exceed `maxChars`, at a zero character, at an invalid or
// incomplete sequence and at `byteLength`. Stores each wide character in
// `wideOut` when given (room for `maxChars` needed). Reports both counts.
void countMultibyteChars(const char* text, std::size_t byteLength, void* wideOut,
                         std::size_t maxChars, std::size_t* charCount, std::size_t* byteCount);
