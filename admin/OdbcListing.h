#pragma once

#include <sql.h>

#include <string>
#include <vector>

// What the driver manager lists on the shared environment.
namespace odbc_listing {

struct DataSourceEntry {
    std::string name;
    std::string driver;
};

// Load codes of the DSN panes.
inline constexpr SQLUSMALLINT kFirstUser = 31;
inline constexpr SQLUSMALLINT kFirstSystem = 32;

// The DSNs of one scope, every name whole: iODBC answers SQL_SUCCESS with
// an unterminated name when it exactly fills the buffer, so the buffer is
// far larger than any section name and always terminated here.
std::vector<DataSourceEntry> dataSources(SQLHENV henv, SQLUSMALLINT firstDirection);
// The descriptions (names) of the installed drivers.
std::vector<std::string> drivers(SQLHENV henv);

}  // namespace odbc_listing
