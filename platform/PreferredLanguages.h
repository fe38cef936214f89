#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The user's preferred languages, most preferred first, as language
// identifiers such as "fr-CA" or "zh-Hant-TW". They come from LANGUAGE (a
// colon-separated list), then from the first of LC_ALL, LC_MESSAGES and LANG
// that is set; "C" and "POSIX" name no language. Empty when none is known.
std::vector<std::string> preferredLanguages();

// The language identifier of a POSIX locale name: the encoding (".UTF-8")
// and modifier ("@euro") are dropped, "_" becomes "-", and Chinese gains its
// script: "zh_TW.UTF-8" gives "zh-Hant-TW". "C", "POSIX" and "" give "".
std::string languageIdentifierFromLocale(std::string_view locale);

// Test seam: while set, preferredLanguages() answers this list and does not
// read the environment. Pass nothing to clear it.
void setPreferredLanguagesOverride(std::optional<std::vector<std::string>> languages);
