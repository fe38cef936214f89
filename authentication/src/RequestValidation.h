#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The checks every request passes before anything is written; the ini
// rules themselves are IniSyntax's.
namespace request_validation {

// A driver name (a section name and a key of [ODBC Drivers]) and a DSN
// name, by the rules every writer applies (IniSyntax).
bool isAcceptableName(std::string_view name);
bool isAcceptableDsnName(std::string_view name);
bool isAcceptableKey(std::string_view key);
// A value the helper writes: it reads back as written whatever comment its
// line keeps, and holds no control character.
bool isAcceptableValue(std::string_view value);

struct Item {
    std::string key;
    std::optional<std::string> value;  // nothing deletes the key
};
// key=value items separated by ";" (empty items skipped). A value in braces
// may hold ";" and "}}" stands for "}"; the braces are not part of the
// value. Nothing when a brace is left open or text follows a closing one.
std::optional<std::vector<Item>> splitConnectionString(std::string_view text);

// Keys whose value the driver manager loads as a library.
bool namesLibrary(std::string_view key);
// Whether a name is a driver registered in the system odbcinst.ini.
using DriverRegistry = std::function<bool(const std::string& name)>;
// 0 when a system file may name `value` as a library: an absolute path
// that only root can change (TrustedPath), or the name of a driver the
// system odbcinst.ini registers. Otherwise an errno value and the reason
// in `problem`.
int checkLibrary(const std::string& value, const DriverRegistry& registered, std::string& problem);

// A trace file every process using the driver, root's too, creates
// "<path>-<pid>" beside: only below a log folder, with no ".." in it.
bool isAcceptableSystemTraceFile(std::string_view path);

}  // namespace request_validation
