#pragma once

#include <sqltypes.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/AsciiCase.h"

// Small routines that look into and rewrite SQL text without parsing it:
// they know quoted runs, an escape character, word boundaries and a few
// clause keywords. An escape character of '\0' means none. ASCII white space
// is space, tab, line feed, vertical tab, form feed and carriage return;
// bytes above 127 are never white space.

// True for the six ASCII white-space characters only (negative values and
// values above 127 included).
inline bool isAsciiSpace(int c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// First character of `text` that is not white space (its NUL when none).
const char* skipSpaces(const char* text);

// Position of `keyword` at the start of `text` after white space, compared
// without case and followed by white space or the end; null otherwise.
const char* matchKeyword(const char* text, const char* keyword);

// First occurrence of `token` (compared without case) outside quoted runs;
// the text's terminating NUL when there is none. Single and double quotes
// open runs when honoured, unless they follow a backslash.
const char* findOutsideQuotes(const char* text, const char* token, bool honourSingleQuotes,
                              bool honourDoubleQuotes);

// Occurrences of `token` (case-sensitive) outside runs of single quotes,
// double quotes and backquotes; an empty text or token counts 0.
std::int32_t countOutsideQuotes(std::string_view text, std::string_view token);

// Replaces the first `token` outside quoted runs (without case) by
// `replacement`; with a `closingToken`, its first occurrence after the
// replacement, quotes or not, becomes `closingReplacement`. Inside a run,
// `escapeChar` makes a following single quote ordinary. 1 when a replacement
// was made, else 0 (the text unchanged; an empty token is never found).
int replacePairOutsideQuotes(std::string& text, std::string_view token,
                             std::string_view replacement, std::string_view closingToken,
                             std::string_view closingReplacement, char escapeChar);

// replacePairOutsideQuotes with a backslash escape until no token is left.
// A replacement that holds its own token is not rescanned.
std::string replaceAllPairsOutsideQuotes(std::string text, std::string_view token,
                                         std::string_view replacement,
                                         std::string_view closingToken = {},
                                         std::string_view closingReplacement = {});

// Drops the leading qualifier of dotted names with at least `qualifierDepth`
// dots after FROM, INTO or UPDATE, or `qualifierDepth` + 1 dots elsewhere:
// with depth 2, "FROM cat.sch.tbl" becomes "FROM sch.tbl". A text without a
// dot is returned as it is.
std::string stripNameQualifiers(std::string_view text, int qualifierDepth, bool honourBackquotes,
                                char escapeChar);

// Puts `quoteChar` around every bare word that is neither a keyword (or the
// start of one) nor a number; quoted runs and {...} escapes pass unchanged.
std::string quoteIdentifiers(std::string_view text, char quoteChar, bool honourBackquotes,
                             char escapeChar, bool doubledSingleQuotes);

// The pieces between runs of delimiter characters; never an empty piece.
std::vector<std::string> splitString(std::string_view text, std::string_view delimiters);

namespace sql_text {

// Compares upper-cased characters as signed bytes: 1 when a's is smaller.
inline int compareCharsNoCase(char a, char b) {
    const auto ua = static_cast<signed char>(upperAscii(a));
    const auto ub = static_cast<signed char>(upperAscii(b));
    if (ua == ub) {
        return 0;
    }
    return ua < ub ? 1 : -1;
}

}  // namespace sql_text

// Compares a's characters with b's over a's length, both upper-cased; b's
// end counts as a NUL. 0 when equal (so an empty a, or an a that begins b,
// is equal); else 1 when a's character is the smaller, -1 when greater.
// Inline: the rewriting passes compare at every character of a statement.
inline int compareNoCase(std::string_view a, std::string_view b) {
    for (std::size_t i = 0; i < a.size(); ++i) {
        const char fromB = i < b.size() ? b[i] : '\0';
        if (const int result = sql_text::compareCharsNoCase(a[i], fromB); result != 0) {
            return result;
        }
    }
    return 0;
}

// compareNoCase over `length` characters of `text` from `position` against
// `other`; either text's end counts as NUL, nothing past it is read.
inline int compareNoCaseAt(std::string_view text, std::size_t position, std::size_t length,
                           std::string_view other) {
    for (std::size_t i = 0; i < length; ++i) {
        const char fromText =
            position < text.size() && i < text.size() - position ? text[position + i] : '\0';
        const char fromOther = i < other.size() ? other[i] : '\0';
        if (const int result = sql_text::compareCharsNoCase(fromText, fromOther); result != 0) {
            return result;
        }
    }
    return 0;
}

// First `c` among the first `maximum` characters of `text` (all of them
// when `maximum` is negative), never reading past its NUL; null when absent.
const char* findCharBounded(const char* text, char c, int maximum);

// Units before the first zero unit (0 for a null text).
std::size_t wideLength(const SQLWCHAR* units);

// As wideLength, but no more than `maximum` and never examining a unit at or
// beyond it; 0 when `maximum` is below 1.
std::int64_t wideLengthBounded(const SQLWCHAR* units, std::int64_t maximum);
