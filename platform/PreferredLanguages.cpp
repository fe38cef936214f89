#include "platform/PreferredLanguages.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>

namespace {

std::mutex overrideMutex;
std::optional<std::vector<std::string>> languagesOverride;

std::string_view environmentValue(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string_view() : std::string_view(value);
}

// Regions whose Chinese is written in traditional characters; every other
// Chinese locale (zh_CN, zh_SG, plain zh) is simplified, as the language
// identifiers "zh-Hant" and "zh-Hans" tell them apart.
constexpr std::string_view kTraditionalChineseRegions[] = {"TW", "HK", "MO"};

std::string chineseIdentifier(std::string_view region) {
    const bool traditional =
        std::find(std::begin(kTraditionalChineseRegions), std::end(kTraditionalChineseRegions),
                  region) != std::end(kTraditionalChineseRegions);
    std::string id = traditional ? "zh-Hant" : "zh-Hans";
    if (!region.empty()) {
        id.append("-").append(region);
    }
    return id;
}

void addUnique(std::vector<std::string>& list, std::string id) {
    if (!id.empty() && std::find(list.begin(), list.end(), id) == list.end()) {
        list.push_back(std::move(id));
    }
}

}  // namespace

std::string languageIdentifierFromLocale(std::string_view locale) {
    locale = locale.substr(0, locale.find_first_of(".@"));
    if (locale.empty() || locale == "C" || locale == "POSIX") {
        return {};
    }
    const std::size_t separator = locale.find_first_of("_-");
    const std::string_view language = locale.substr(0, separator);
    const std::string_view region =
        separator == std::string_view::npos ? std::string_view() : locale.substr(separator + 1);
    // Only a bare region code (TW, 156) is mapped; a name that already names
    // its script (zh-Hant-TW) is taken as written.
    if (language == "zh" && region.size() <= 3 &&
        region.find_first_of("_-") == std::string_view::npos) {
        return chineseIdentifier(region);
    }
    std::string id(locale);
    std::replace(id.begin(), id.end(), '_', '-');
    return id;
}

std::vector<std::string> preferredLanguages() {
    {
        std::lock_guard<std::mutex> lock(overrideMutex);
        if (languagesOverride) {
            return *languagesOverride;
        }
    }
    std::vector<std::string> list;
    std::string_view languages = environmentValue("LANGUAGE");
    while (!languages.empty()) {
        const std::size_t colon = languages.find(':');
        addUnique(list, languageIdentifierFromLocale(languages.substr(0, colon)));
        languages =
            colon == std::string_view::npos ? std::string_view() : languages.substr(colon + 1);
    }
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const std::string_view locale = environmentValue(name);
        if (!locale.empty()) {
            addUnique(list, languageIdentifierFromLocale(locale));
            break;
        }
    }
    return list;
}

void setPreferredLanguagesOverride(std::optional<std::vector<std::string>> languages) {
    std::lock_guard<std::mutex> lock(overrideMutex);
    languagesOverride = std::move(languages);
}
