#include "authentication/src/RequestValidation.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "platform/ConnectionItems.h"
#include "platform/IniSyntax.h"
#include "platform/TrustedPath.h"

namespace request_validation {

namespace {

constexpr std::string_view kLibraryKeys[] = {"Driver", "Setup"};
// Folders of log files, where a stray trace file harms no configuration.
constexpr std::string_view kLogFolders[] = {"/var/log", "/tmp"};

}  // namespace

bool isAcceptableName(std::string_view name) {
    return IniSyntax::driverNameProblem(name) == IniSyntax::Problem::None;
}

bool isAcceptableDsnName(std::string_view name) {
    return IniSyntax::dsnNameProblem(name) == IniSyntax::Problem::None;
}

bool isAcceptableKey(std::string_view key) {
    return IniSyntax::keyProblem(key) == IniSyntax::Problem::None;
}

bool isAcceptableValue(std::string_view value) {
    return IniSyntax::strictValueProblem(value) == IniSyntax::Problem::None;
}

std::optional<std::vector<Item>> splitConnectionString(std::string_view text) {
    const auto read = ConnectionItems::read(text, ConnectionItems::Rule::Strict);
    if (!read) {
        return std::nullopt;
    }
    std::vector<Item> items;
    for (const ConnectionItems::Item& item : *read) {
        // "Key=" with nothing behind it deletes the key; "Key={}" sets it empty.
        const bool written = item.text.size() > item.key.size() + 1;
        items.push_back({item.key, written ? item.value : std::nullopt});
    }
    return items;
}

bool namesLibrary(std::string_view key) {
    return std::any_of(
        std::begin(kLibraryKeys), std::end(kLibraryKeys),
        [key](std::string_view library) { return IniSyntax::sameName(key, library); });
}

int checkLibrary(const std::string& value, const DriverRegistry& registered, std::string& problem) {
    if (value.find('/') != std::string::npos) {
        return TrustedPath::check(value, problem);
    }
    // A bare file name would be looked up along the loader's search path.
    if (!isAcceptableName(value) || !registered(value)) {
        problem = value + " is neither a trusted path nor a registered driver";
        return EINVAL;
    }
    return 0;
}

bool isAcceptableSystemTraceFile(std::string_view path) {
    const std::filesystem::path given(path);
    if (!given.is_absolute()) {
        return false;
    }
    for (const auto& part : given) {
        if (part == "..") {
            return false;
        }
    }
    const std::filesystem::path normal = given.lexically_normal();
    if (!normal.has_filename()) {
        return false;  // a folder: "<folder>/-<pid>" would be the file
    }
    return std::any_of(std::begin(kLogFolders), std::end(kLogFolders),
                       [&normal](std::string_view folder) {
                           const std::filesystem::path relative = normal.lexically_relative(folder);
                           return !relative.empty() && *relative.begin() != ".." && relative != ".";
                       });
}

}  // namespace request_validation
