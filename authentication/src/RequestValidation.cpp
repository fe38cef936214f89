#include "authentication/src/RequestValidation.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/ConnectionItems.h"

namespace request_validation {

namespace {

constexpr std::string_view kReservedSections[] = {"ODBC", "ODBC Data Sources", "ODBC Drivers",
                                                  "Default"};

// One step of a path: owned by root, and a folder not writable by others.
int checkStep(const std::filesystem::path& path, bool last, std::string& problem) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) {
        const int error = errno;
        problem = path.string() + ": " + std::strerror(error);
        return error;
    }
    if (info.st_uid != 0) {
        problem = path.string() + " is not owned by root";
        return EPERM;
    }
    if (S_ISLNK(info.st_mode)) {
        return 0;  // the link itself is root's; where it leads is checked apart
    }
    if (last && !S_ISREG(info.st_mode)) {
        problem = path.string() + " is not a regular file";
        return EINVAL;
    }
    if (!last && !S_ISDIR(info.st_mode)) {
        problem = path.string() + " is not a folder";
        return ENOTDIR;
    }
    const bool stickyFolder = !last && (info.st_mode & S_ISVTX) != 0;
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0 && !stickyFolder) {
        problem = path.string() + " is writable by group or others";
        return EPERM;
    }
    return 0;
}

// Every step from the root down to `path`.
int checkChain(const std::filesystem::path& path, std::string& problem) {
    std::filesystem::path walked = path.root_path();
    if (int error = checkStep(walked, false, problem)) {
        return error;
    }
    const std::filesystem::path relative = path.relative_path();
    const auto steps = std::distance(relative.begin(), relative.end());
    long index = 0;
    for (const auto& part : relative) {
        walked /= part;
        if (int error = checkStep(walked, ++index == steps, problem)) {
            return error;
        }
    }
    return 0;
}

}  // namespace

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

bool hasControlCharacter(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7f;
    });
}

bool isReservedSection(std::string_view name) {
    return std::any_of(
        std::begin(kReservedSections), std::end(kReservedSections),
        [name](std::string_view reserved) { return equalsIgnoringCase(name, reserved); });
}

bool isAcceptableName(std::string_view name) {
    return !name.empty() && !hasControlCharacter(name) &&
           name.find_first_of("[]") == std::string_view::npos && !isReservedSection(name);
}

bool isAcceptableKey(std::string_view key) {
    return !key.empty() && !hasControlCharacter(key) &&
           key.find_first_of("=[]") == std::string_view::npos;
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

int checkRootOwnedFile(const std::string& path, std::string& problem) {
    const std::filesystem::path given(path);
    if (!given.is_absolute()) {
        problem = path + " is not an absolute path";
        return EINVAL;
    }
    if (int error = checkChain(given.lexically_normal(), problem)) {
        return error;
    }
    std::error_code failure;
    const std::filesystem::path resolved = std::filesystem::canonical(given, failure);
    if (failure) {
        problem = path + ": " + failure.message();
        return failure.value();
    }
    return checkChain(resolved, problem);
}

}  // namespace request_validation
