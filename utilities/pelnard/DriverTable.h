#pragma once

#include <optional>
#include <string>
#include <string_view>

// The drivers pelnard knows, searched by exact, case-sensitive short name.
struct DriverTableRow {
    const char* shortName;
    const char* displayName;  // the odbcinst.ini section and [ODBC Drivers] entry
};

std::optional<DriverTableRow> findDriver(std::string_view shortName);

// The short names in table order, separated by ", ".
std::string driverShortNames();

// Every driver lives in a bundle of the same shape under the install
// prefix: <prefix>/lib/<short>/<short>.bundle/Contents/MacOS/<short>.so.
std::string driverLibraryPath(std::string_view prefix, const DriverTableRow& row);
