#include "authentication/src/RequestValidation.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "platform/IniSyntax.h"
#include "platform/TrustedPath.h"

namespace request_validation {

namespace {

constexpr std::string_view kLibraryKeys[] = {"Driver", "Setup"};
// Folders of log files, where a stray trace file harms no configuration.
constexpr std::string_view kLogFolders[] = {"/var/log", "/tmp"};

}  // namespace

bool isAcceptableName(std::string_view name) {
    return IniSyntax::keyProblem(name) == IniSyntax::Problem::None &&
           !IniSyntax::isReservedSection(name);
}

bool isAcceptableKey(std::string_view key) {
    return IniSyntax::keyProblem(key) == IniSyntax::Problem::None;
}

bool isAcceptableValue(std::string_view value) {
    return IniSyntax::strictValueProblem(value) == IniSyntax::Problem::None;
}

std::optional<std::vector<Item>> splitConnectionString(std::string_view text) {
    std::vector<Item> items;
    size_t at = 0;
    while (at < text.size()) {
        const size_t itemEnd = std::min(text.find(';', at), text.size());
        const size_t equals = text.find('=', at);
        if (equals == std::string_view::npos || equals >= itemEnd) {
            if (itemEnd > at) {
                items.push_back({std::string(text.substr(at, itemEnd - at)), std::nullopt});
            }
            at = itemEnd + 1;
            continue;
        }
        Item item{std::string(text.substr(at, equals - at)), std::nullopt};
        size_t cursor = equals + 1;
        if (cursor < text.size() && text[cursor] == '{') {
            std::string value;
            for (++cursor;; ++cursor) {
                if (cursor >= text.size()) {
                    return std::nullopt;  // a brace left open
                }
                if (text[cursor] == '}') {
                    if (cursor + 1 < text.size() && text[cursor + 1] == '}') {
                        value += '}';
                        ++cursor;
                        continue;
                    }
                    break;
                }
                value += text[cursor];
            }
            ++cursor;
            if (cursor < text.size() && text[cursor] != ';') {
                return std::nullopt;
            }
            item.value = std::move(value);
            at = cursor + 1;
        } else {
            if (itemEnd > cursor) {
                item.value = std::string(text.substr(cursor, itemEnd - cursor));
            }
            at = itemEnd + 1;
        }
        items.push_back(std::move(item));
    }
    return items;
}

bool namesLibrary(std::string_view key) {
    return std::any_of(
        std::begin(kLibraryKeys), std::end(kLibraryKeys),
        [key](std::string_view library) { return IniSyntax::sameName(key, library); });
}

int checkLibrary(const std::string& value, std::string& problem) {
    if (value.find('/') != std::string::npos) {
        return TrustedPath::check(value, problem);
    }
    if (!isAcceptableName(value)) {
        problem = value + " is neither a path nor a driver name";
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
