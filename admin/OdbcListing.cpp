#include "admin/OdbcListing.h"

#include <sqlext.h>

#include <algorithm>
#include <array>

namespace odbc_listing {
namespace {

constexpr SQLSMALLINT kNameBuffer = 1024;
constexpr SQLSMALLINT kDescriptionBuffer = 1024;

std::string terminated(std::array<SQLCHAR, kNameBuffer + 1>& buffer, SQLSMALLINT length) {
    buffer.back() = '\0';
    const size_t size = std::clamp<SQLSMALLINT>(length, 0, kNameBuffer);
    return std::string(reinterpret_cast<const char*>(buffer.data()),
                       std::find(buffer.begin(), buffer.begin() + size, '\0') - buffer.begin());
}

}  // namespace

std::vector<DataSourceEntry> dataSources(SQLHENV henv, SQLUSMALLINT firstDirection) {
    std::vector<DataSourceEntry> entries;
    if (henv == SQL_NULL_HENV) {
        return entries;
    }
    std::array<SQLCHAR, kNameBuffer + 1> name{};
    std::array<SQLCHAR, kDescriptionBuffer + 1> driver{};
    SQLUSMALLINT direction = firstDirection;
    for (;;) {
        SQLSMALLINT nameLength = 0;
        SQLSMALLINT driverLength = 0;
        name.fill(0);
        driver.fill(0);
        const SQLRETURN rc = SQLDataSources(henv, direction, name.data(), kNameBuffer, &nameLength,
                                            driver.data(), kDescriptionBuffer, &driverLength);
        if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) {
            break;
        }
        direction = SQL_FETCH_NEXT;
        // A name longer than the buffer would be a cut name: skip it rather
        // than show one that names nothing.
        if (rc == SQL_SUCCESS_WITH_INFO && nameLength >= kNameBuffer) {
            continue;
        }
        entries.push_back({terminated(name, nameLength), terminated(driver, driverLength)});
    }
    return entries;
}

std::vector<std::string> drivers(SQLHENV henv) {
    std::vector<std::string> names;
    if (henv == SQL_NULL_HENV) {
        return names;
    }
    std::array<SQLCHAR, kNameBuffer + 1> description{};
    std::array<SQLCHAR, kNameBuffer + 1> attributes{};
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    for (;;) {
        SQLSMALLINT descriptionLength = 0;
        SQLSMALLINT attributesLength = 0;
        description.fill(0);
        const SQLRETURN rc =
            SQLDrivers(henv, direction, description.data(), kNameBuffer, &descriptionLength,
                       attributes.data(), kNameBuffer, &attributesLength);
        if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) {
            break;
        }
        direction = SQL_FETCH_NEXT;
        names.push_back(terminated(description, descriptionLength));
    }
    return names;
}

}  // namespace odbc_listing
