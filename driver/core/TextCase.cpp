#include "driver/core/TextCase.h"

#include <cctype>

#include "platform/AsciiCase.h"

std::string upperCase(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return upper;
}

std::string lowerCase(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return lower;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    return equalsIgnoringAsciiCase(a, b);
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    return startsWithIgnoringAsciiCase(text, prefix);
}
