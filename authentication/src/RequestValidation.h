#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The checks every request passes before anything is written.
namespace request_validation {

bool equalsIgnoringCase(std::string_view a, std::string_view b);
bool hasControlCharacter(std::string_view text);
// [ODBC], [ODBC Data Sources], [ODBC Drivers] and [Default] belong to the
// driver manager.
bool isReservedSection(std::string_view name);
// A DSN or driver name: not empty, no control character, no "[" or "]",
// not a reserved section.
bool isAcceptableName(std::string_view name);
// A key: not empty, no control character, no "=", "[" or "]".
bool isAcceptableKey(std::string_view key);

struct Item {
    std::string key;
    std::optional<std::string> value;  // nothing deletes the key
};
// key=value items separated by ";" (empty items skipped). A value in braces
// may hold ";" and "}}" stands for "}"; the braces are not part of the
// value. Nothing when a brace is left open or text follows a closing one.
std::optional<std::vector<Item>> splitConnectionString(std::string_view text);

// 0 when `path` is absolute and names a regular file that only root can
// change: the file, whatever a link leads to, and every folder on the way
// belong to root and are not writable by group or others (a sticky folder
// excepted). Otherwise an errno value and the reason in `problem`.
int checkRootOwnedFile(const std::string& path, std::string& problem);

}  // namespace request_validation
