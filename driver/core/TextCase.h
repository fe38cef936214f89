#pragma once

#include <string>
#include <string_view>

// Letter case of driver text. upperCase and lowerCase follow the process's
// LC_CTYPE locale byte by byte, as option values are compared; the NoCase
// comparisons fold ASCII letters only, as keys and names are compared.

std::string upperCase(std::string_view text);
std::string lowerCase(std::string_view text);

bool equalsNoCase(std::string_view a, std::string_view b);
bool startsWithNoCase(std::string_view text, std::string_view prefix);
