#include "driver/setup/LocalizedStrings.h"

#include <cerrno>
#include <filesystem>
#include <optional>

#include "driver/setup/MessageFormat.h"
#include "driver/setup/StringsTable.h"
#include "platform/DefaultApplication.h"
#include "platform/PreferredLanguages.h"

namespace {

struct Language {
    const char* table;       // strings table in Resources
    const char* folder;      // folder of the default table
    const char* helpFolder;  // folder of the help pages
};

// Indexed by the dialog language.
constexpr Language kLanguages[] = {
    {"strings_en", "English.lproj", "English.lproj"}, {"strings_de", "de.lproj", "de.lproj"},
    {"strings_es", "es.lproj", "es.lproj"},           {"strings_fr", "fr.lproj", "fr.lproj"},
    {"strings_it", "it.lproj", "English.lproj"},      {"strings_ja", "ja.lproj", "ja.lproj"},
    {"strings_nl", "nl.lproj", "English.lproj"},      {"strings_sv", "sv.lproj", "English.lproj"},
};
constexpr int kLanguageCount = static_cast<int>(std::size(kLanguages));

struct Prefix {
    const char* text;
    int language;
};

// Compared in this order with the first two letters of each preference.
constexpr Prefix kPrefixes[] = {
    {"en", 0}, {"de", 1}, {"ge", 1}, {"es", 2}, {"sp", 2}, {"fr", 3},
    {"it", 4}, {"ja", 5}, {"nl", 6}, {"du", 6}, {"sv", 7}, {"sw", 7},
};

const Language& languageRow(int language) {
    return kLanguages[language >= 0 && language < kLanguageCount ? language : 0];
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::optional<int> languageOfPreference(std::string_view preference) {
    if (preference.size() < 2) {
        return std::nullopt;
    }
    const char first = lower(preference[0]);
    const char second = lower(preference[1]);
    for (const Prefix& prefix : kPrefixes) {
        if (prefix.text[0] == first && prefix.text[1] == second) {
            return prefix.language;
        }
    }
    return std::nullopt;
}

// The translation of `key` in the table at `path`, when there is one whose
// placeholders are those of the key.
std::string lookUp(const std::filesystem::path& path, std::string_view key) {
    const std::optional<StringsTable> table = StringsTable::load(path);
    const std::string keyText(key);
    const std::string* value = table ? table->find(keyText) : nullptr;
    if (value == nullptr || messagePlaceholders(*value) != messagePlaceholders(key)) {
        return keyText;
    }
    return *value;
}

std::optional<Bundle> driverBundle() {
    return Bundle::withIdentifier(kDriverBundleIdentifier);
}

}  // namespace

int getDialogLanguage() {
    for (const std::string& preference : preferredLanguages()) {
        if (const std::optional<int> language = languageOfPreference(preference)) {
            return *language;
        }
    }
    return 0;
}

std::string stringsTableName(int language) {
    return language >= 1 && language < kLanguageCount ? kLanguages[language].table
                                                      : kLanguages[0].table;
}

std::string copyLocalizedStringFromBundle(const Bundle& bundle, std::string_view key,
                                          int language) {
    return lookUp(bundle.resourcesPath() / (stringsTableName(language) + ".strings"), key);
}

std::string copyLocalizedString(std::string_view key) {
    const std::optional<Bundle> bundle = driverBundle();
    return bundle ? copyLocalizedStringFromBundle(*bundle, key, getDialogLanguage())
                  : std::string(key);
}

std::string copyDefaultLocalizedStringFromBundle(const Bundle& bundle, std::string_view key,
                                                 int language) {
    return lookUp(bundle.resourcesPath() / languageRow(language).folder / "Localizable.strings",
                  key);
}

std::string copyDefaultLocalizedString(std::string_view key) {
    const std::optional<Bundle> bundle = driverBundle();
    return bundle ? copyDefaultLocalizedStringFromBundle(*bundle, key, getDialogLanguage())
                  : std::string(key);
}

int openHelpPage(int language, std::string_view page) {
    const std::optional<Bundle> bundle = driverBundle();
    if (!bundle || page.empty() || page.find('/') != std::string_view::npos) {
        return ENOENT;
    }
    const std::filesystem::path file =
        bundle->resourcesPath() / languageRow(language).helpFolder / (std::string(page) + ".htm");
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error)) {
        return ENOENT;
    }
    return openWithDefaultApplication(file);
}
