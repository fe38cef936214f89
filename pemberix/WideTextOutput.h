#pragma once

#include "pemberix/PgEntryPoints.h"

#include <functional>
#include <string>

// Text that a wide function of the PostgreSQL driver returns, handed to a
// caller whose wide characters are 32 bits. The driver is always asked
// with a buffer large enough for the whole text, so that every length the
// caller sees counts its own characters exactly.
namespace pemberix {

// Asks the driver for the text into `buffer`, which holds `capacity`
// UTF-16 units, and reports the whole text's length in units through
// `length` (SQL_NO_TOTAL when the driver cannot tell). Called more than
// once when the first buffer was too small.
using Utf16Reader = std::function<SQLRETURN(PgWideChar* buffer, SQLLEN capacity, SQLLEN* length)>;

// How a caller learns that its buffer was too small.
enum class Truncation {
    // Ask the driver once more with a buffer that it must truncate into, so
    // that the return code and the "01004" record are the driver's own.
    // Only for calls without side effects.
    DriverReports,
    // SQL_SUCCESS_WITH_INFO alone: diagnostic functions post no records.
    ReturnCodeOnly,
};

// Largest UTF-16 buffers handed to the driver, by the type of its buffer
// length argument.
inline constexpr SQLLEN kSmallCharUnits = 32767;  // SQLSMALLINT, in characters
inline constexpr SQLLEN kSmallByteUnits = 16383;  // SQLSMALLINT, in bytes
inline constexpr SQLLEN kLargeUnits = 1 << 24;    // SQLINTEGER

struct DriverWideText {
    std::wstring text;
    // Units beyond the largest buffer, left unread: each is counted as one
    // character, the closest this layer can tell.
    SQLLEN unreadUnits = 0;

    SQLLEN length() const { return static_cast<SQLLEN>(text.size()) + unreadUnits; }
};

// Reads the whole text (up to `maxUnits` units) and decodes it.
SQLRETURN readWideText(const Utf16Reader& read, SQLLEN initialUnits, SQLLEN maxUnits,
                       DriverWideText& result);

struct WideTextRequest {
    SQLWCHAR* buffer = nullptr;  // the caller's buffer, may be null
    SQLLEN capacity = 0;         // in the caller's characters
    SQLLEN maxUnits = kSmallCharUnits;
    Truncation truncation = Truncation::DriverReports;
    // Replaces the driver's text before the caller sees it.
    std::function<void(std::wstring&)> adjust;
};

// Reads the text, copies what fits with its terminator into the caller's
// buffer and reports the whole length in characters through `length`.
SQLRETURN deliverWideText(const Utf16Reader& read, const WideTextRequest& request, SQLLEN* length);

// Length helpers for the callers' length arguments.
SQLSMALLINT clampToSmall(SQLLEN value);
SQLINTEGER clampToInteger(SQLLEN value);

}  // namespace pemberix
