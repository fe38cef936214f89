#pragma once

#include <string>

// Copy of `text` in which each `token` lying between an `open` delimiter and
// the next `close` delimiter becomes `replacement`; delimiters are kept and
// every comparison is case-sensitive.
std::string replaceWithinDelimiters(const std::string& text, const char* open, const char* close,
                                    const char* token, const char* replacement);

// Drops leading blanks (keeping at least one character), then one double
// quote at the start and one at the end.
void trimLeadingBlanksAndQuote(std::string& text);

// Every backquote outside single-quoted literals becomes a double quote;
// literal data is never changed.
std::string backquotesToDoubleQuotes(const std::string& text);
