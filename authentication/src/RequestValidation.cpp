#include "authentication/src/RequestValidation.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "driver/adapter/ConnectionKeys.h"
#include "pemberix/ForwardedKeys.h"
#include "platform/ConnectionItems.h"
#include "platform/IniSyntax.h"
#include "platform/PrivilegedRequestContract.h"
#include "platform/TrustedPath.h"

namespace request_validation {

namespace {

constexpr std::string_view kLibraryKeys[] = {"Driver", "Setup"};

// The resolved text of a path must be writable as the value was.
int settled(int error, const std::filesystem::path& resolved, std::string& written,
            std::string& problem) {
    if (error != 0) {
        return error;
    }
    if (!isAcceptableValue(resolved.string())) {
        problem = "resolves to a path that cannot be written";
        return EINVAL;
    }
    written = resolved.string();
    return 0;
}

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

std::optional<std::string> renamedFrom(const HelperRequest& request, const std::string& name) {
    const auto command = request.string(privileged_request::kRequestKey);
    const auto original = request.string(privileged_request::kOriginalNameKey);
    if (!command || !IniSyntax::sameName(*command, privileged_request::kConfigureRequest) ||
        !original || original->empty() || IniSyntax::sameName(*original, name)) {
        return std::nullopt;
    }
    return original;
}

bool namesLibrary(std::string_view key) {
    return std::any_of(
        std::begin(kLibraryKeys), std::end(kLibraryKeys),
        [key](std::string_view library) { return IniSyntax::sameName(key, library); });
}

bool namesWrittenFile(std::string_view key) {
    return std::any_of(std::begin(connection_keys::kRows), std::end(connection_keys::kRows),
                       [key](const ConnectionKeyRow& row) {
                           return row.value == KeyValue::WrittenFile &&
                                  IniSyntax::sameName(key, row.name->narrow());
                       });
}

bool namesWrittenFileSwitch(std::string_view key) {
    return std::any_of(std::begin(pemberix_keys::kRows), std::end(pemberix_keys::kRows),
                       [key](const pemberix_keys::KeyRow& row) {
                           return IniSyntax::sameName(key, row.name) ||
                                  (row.shortName && IniSyntax::sameName(key, row.shortName));
                       });
}

int checkLibraryPath(const std::string& value, std::string& written, std::string& problem) {
    std::filesystem::path resolved;
    return settled(TrustedPath::resolve(value, resolved, problem), resolved, written, problem);
}

int checkLibrary(const std::string& value, const DriverRegistry& registered, std::string& written,
                 std::string& problem) {
    if (value.find('/') != std::string::npos) {
        return checkLibraryPath(value, written, problem);
    }
    // A bare file name would be looked up along the loader's search path.
    if (!isAcceptableName(value) || !registered(value)) {
        problem = "neither a trusted path nor a registered driver";
        return EINVAL;
    }
    written = value;
    return 0;
}

int checkRootLogFile(const std::string& value, std::string& written, std::string& problem) {
    std::filesystem::path resolved;
    return settled(
        TrustedPath::resolveLogFile(value, TrustedPath::kRootLogFolder, resolved, problem),
        resolved, written, problem);
}

}  // namespace request_validation
