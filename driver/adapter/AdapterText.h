#pragma once

#include <string>
#include <string_view>

#include "driver/core/TextCase.h"

// Small text helpers shared by the MySQL face's connection and statements.

// `text` with every single quote doubled: safe between the quotes of an SQL
// literal that the driver builds itself.
std::string doubledQuotes(std::string_view text);

// `text` with every single quote and every backslash doubled: the body of a
// PostgreSQL E'...' literal, read the same whatever the server's
// standard_conforming_strings says.
std::string postgresEscaped(std::string_view text);

// `name` as a catalog search pattern that matches that name only: "_",
// "%" and `escape` itself each behind `escape`.
std::string searchPatternFor(std::string_view name, char escape);

// The first number of a version text ("15.4", " 10.0.2"), 0 when the text
// does not start with one.
int majorVersionOf(const std::string& version);

// An adapted driver's message without the bracketed prefixes it opens with
// ("[vendor][driver] ", blanks between them too) and the blank after them. A "]" further on belongs
// to the text ("... near \"]\"") and stays.
std::string withoutBracketedPrefixes(std::string_view message);
