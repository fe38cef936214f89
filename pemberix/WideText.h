#pragma once

#include "pemberix/PgEntryPoints.h"

#include <cstddef>
#include <string>
#include <string_view>

// Conversions between the callers' 32-bit wide text (UTF-32) and the
// PostgreSQL driver's UTF-16. Invalid code points become U+FFFD.
namespace pemberix {

std::u16string toUtf16(std::wstring_view text);
std::wstring toUtf32(std::u16string_view text);

// Characters before the terminating NUL, reading at most `limit`.
std::size_t boundedWideLength(const SQLWCHAR* text, std::size_t limit);
std::size_t boundedUtf16Length(const PgWideChar* text, std::size_t limit);

// Copies as much of `text` as fits with its terminator into a caller's
// buffer of `capacity` characters; true when the text did not fit whole.
// A null buffer takes nothing and is never truncated. The buffer need not
// be aligned (rows of row-wise bindings may not be).
bool copyWideOut(std::wstring_view text, void* buffer, SQLLEN capacity);

// Widens ASCII text such as SQLSTATEs.
std::wstring widenAscii(std::string_view text);

// The same for narrow text and a buffer of `capacity` bytes.
bool copyNarrowOut(std::string_view text, SQLCHAR* buffer, SQLLEN capacity);

}  // namespace pemberix
