#pragma once

#include <sql.h>
#include <sqlext.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

// The pieces of turning one result value, held as text, into an application
// type: character walking in the data source's encoding, the character,
// wide and binary pieces of a piecewise read, and locale-independent number
// and date parsing. DescriptorRecord::convertImpToAppValue puts them together.

// What a conversion tells its caller beyond the length value, so that
// SQLGetData can post "01004" or "22003".
struct ConversionStatus {
    // Bytes of the value remain after the piece just returned.
    bool truncated = false;
    // The text's number lies outside the target type's range; the nearest
    // value of the type was stored.
    bool outOfRange = false;
};

// Whole characters at the start of a text.
struct CharRun {
    std::size_t chars = 0;
    std::size_t bytes = 0;
};

// Bytes of the first character of `text` in the CFStringEncoding `encoding`
// (0 for an empty text). A byte that starts no valid sequence counts as one
// character of its own, so a walk always moves on.
std::size_t firstCharacterBytes(std::string_view text, std::uint32_t encoding);
// The longest run of whole characters within both limits.
CharRun wholeCharacters(std::string_view text, std::uint32_t encoding, std::size_t maxChars,
                        std::size_t maxBytes);
std::size_t characterCount(std::string_view text, std::uint32_t encoding);

// One piece of a piecewise character, wide or binary read.
struct TextPiece {
    std::size_t sourceBytes = 0;  // bytes of the value consumed from the offset
    std::size_t chars = 0;        // characters taken
    std::size_t written = 0;      // bytes written to the buffer, terminator excluded
    SQLLEN lengthValue = 0;       // what the caller's length address receives
    bool truncated = false;       // bytes of the value remain after this piece
};

// SQL_C_CHAR when text columns are reported as Unicode: whole characters,
// the piece and its NUL within the buffer; the length value counts
// characters (all that remain when the piece is cut).
TextPiece copyCharacterPiece(std::string_view rest, std::uint32_t encoding, char* destination,
                             SQLLEN bufferLength);
// SQL_C_CHAR when the application receives the data source's encoding:
// whole characters, unconverted; the length value counts the bytes that remain.
TextPiece copyBytePiece(std::string_view rest, std::uint32_t encoding, char* destination,
                        SQLLEN bufferLength);
// SQL_C_CHAR converted from one encoding to another: whole characters whose
// conversion fits with its NUL; the length value is the bytes written, or the
// source bytes that remain when the piece is cut.
TextPiece convertCharacterPiece(std::string_view rest, std::uint32_t sourceEncoding,
                                std::uint32_t targetEncoding, char* destination,
                                SQLLEN bufferLength);
// SQL_C_WCHAR: 4-byte wide characters, always room for a zero one after
// them; the length value is 4 bytes per character (all that remain when cut).
// A buffer of fewer than 4 bytes receives nothing.
TextPiece copyWidePiece(std::string_view rest, std::uint32_t encoding, void* destination,
                        SQLLEN bufferLength);
// SQL_C_BINARY: raw bytes, no terminator; the length value is the bytes
// that remain.
TextPiece copyBinaryPiece(std::string_view rest, void* destination, SQLLEN bufferLength);

// The integer at the start of `text` (leading white space and a sign
// allowed, digits up to the first other character; 0 without digits),
// clamped to [minimum, maximum]; `outOfRange` tells whether it was clamped.
std::int64_t parseLeadingInteger(std::string_view text, std::int64_t minimum, std::int64_t maximum,
                                 bool& outOfRange);
std::uint64_t parseLeadingUnsigned(std::string_view text, std::uint64_t maximum, bool& outOfRange);
// The longest decimal floating-point number at the start of `text`, 0 when
// there is none. A value beyond the double range gives the largest finite
// double of its sign and sets `outOfRange`. "inf", "infinity" and "nan" (any
// case, with a sign) are read as such and not flagged: they are values a
// PostgreSQL float column holds ('Infinity', '-Infinity', 'NaN'), not
// overflows.
double parseLeadingDouble(std::string_view text, bool& outOfRange);

// Date and time fields read from a value's text by its column's SQL type:
// "y-m-d" for dates, "h:m:s" for times, "y-m-d h:m:s.f" for timestamps
// (ODBC 2 or 3 codes); any other type reads nothing. Fields not read stay 0.
// The fraction takes at most nine digits, in nanoseconds.
struct DateTimeFields {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    std::uint32_t fraction = 0;
};
DateTimeFields parseDateTimeText(std::string_view text, SQLSMALLINT sqlType);

// What a numeric target stored, for the trace.
using StoredNumber = std::variant<std::int64_t, std::uint64_t, double>;

// A numeric application type: its element size, whether commas go before
// parsing, its trace literal, and how it stores the number of a text (the
// nearest value of the type when out of range). Fixed-size: the buffer
// length is not consulted.
struct NumericTarget {
    SQLSMALLINT cType;
    SQLLEN size;
    bool removeCommas;
    std::string_view traceLiteral;
    StoredNumber (*store)(std::string_view text, SQLPOINTER target, bool& outOfRange);
};
// The row of a numeric SQL_C_ type, or null.
const NumericTarget* findNumericTarget(SQLSMALLINT cType);

enum class DateStruct { Date, Time, Timestamp };

struct DateTarget {
    SQLSMALLINT cType;
    DateStruct shape;
    SQLLEN size;
};
// The row of a date, time or timestamp SQL_C_ type (ODBC 2 or 3), or null.
const DateTarget* findDateTarget(SQLSMALLINT cType);
// Stores the structure of `shape` made from `fields` at `target` (when not
// null) and, when asked, gives it as trace text.
std::string storeDateStruct(DateStruct shape, const DateTimeFields& fields, SQLPOINTER target,
                            bool wantText);

// A number in lowercase hexadecimal without prefix, for the call trace.
std::string hexText(std::uint64_t value);
