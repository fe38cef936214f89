#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "authentication/src/HelperRequest.h"

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

// The DSN or driver a Configure request replaces: its OriginalName when
// that names another item than `name`; nothing otherwise.
std::optional<std::string> renamedFrom(const HelperRequest& request, const std::string& name);

// Keys whose value the driver manager loads as a library.
bool namesLibrary(std::string_view key);
// Keys of the driver's DSN whose value names a file the driver writes.
bool namesWrittenFile(std::string_view key);
// Keys of the adapted PostgreSQL driver's DSN that make it write logs
// (pemberix.so's table), each in its long and short form.
bool namesWrittenFileSwitch(std::string_view key);
// Whether a name is a driver registered in the system odbcinst.ini.
using DriverRegistry = std::function<bool(const std::string& name)>;

// The checks of values that root's programs will use as paths. Each
// answers 0 with the text to write in `written`, or an errno value with
// the reason in `problem`, which never holds the value.
//
// A library a system file names: an absolute path that only root can
// change (TrustedPath), written resolved as root's processes will resolve
// it, or (checkLibrary) the name of a driver the system odbcinst.ini
// registers.
int checkLibraryPath(const std::string& value, std::string& written, std::string& problem);
int checkLibrary(const std::string& value, const DriverRegistry& registered, std::string& written,
                 std::string& problem);
// A file that root's programs create or append to (a trace file is
// "<value>-<pid>" beside it): below /var/log, reached without any link
// through folders only root may change, written resolved. No check at
// request time can keep a link out of a folder others may write later.
int checkRootLogFile(const std::string& value, std::string& written, std::string& problem);

}  // namespace request_validation
