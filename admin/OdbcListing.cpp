#include "admin/OdbcListing.h"

#include <sqlext.h>

#include <algorithm>
#include <array>

namespace odbc_listing {
namespace {

constexpr SQLSMALLINT kNameBuffer = 1024;

std::string terminated(std::array<SQLCHAR, kNameBuffer + 1>& buffer, SQLSMALLINT length) {
    buffer.back() = '\0';
    const size_t size = std::clamp<SQLSMALLINT>(length, 0, kNameBuffer);
    return std::string(reinterpret_cast<const char*>(buffer.data()),
                       std::find(buffer.begin(), buffer.begin() + size, '\0') - buffer.begin());
}

using Buffer = std::array<SQLCHAR, kNameBuffer + 1>;
// SQLDataSources and SQLDrivers: two texts per entry, same parameters.
using ListingCall = SQLRETURN (*)(SQLHENV, SQLUSMALLINT, SQLCHAR*, SQLSMALLINT, SQLSMALLINT*,
                                  SQLCHAR*, SQLSMALLINT, SQLSMALLINT*);

// Walks one of the driver manager's listings from `direction` to its end,
// handing each entry's return code and two texts on.
template <typename Visit>
void walk(SQLHENV henv, ListingCall call, SQLUSMALLINT direction, Visit visit) {
    if (henv == SQL_NULL_HENV) {
        return;
    }
    Buffer first{};
    Buffer second{};
    for (;;) {
        SQLSMALLINT firstLength = 0;
        SQLSMALLINT secondLength = 0;
        first.fill(0);
        second.fill(0);
        const SQLRETURN rc = call(henv, direction, first.data(), kNameBuffer, &firstLength,
                                  second.data(), kNameBuffer, &secondLength);
        if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) {
            return;
        }
        direction = SQL_FETCH_NEXT;
        visit(rc, terminated(first, firstLength), firstLength, terminated(second, secondLength));
    }
}

}  // namespace

std::vector<DataSourceEntry> dataSources(SQLHENV henv, SQLUSMALLINT firstDirection) {
    std::vector<DataSourceEntry> entries;
    walk(henv, SQLDataSources, firstDirection,
         [&entries](SQLRETURN rc, std::string name, SQLSMALLINT nameLength, std::string driver) {
             // A name longer than the buffer would be a cut name: skip it
             // rather than show one that names nothing.
             if (rc == SQL_SUCCESS_WITH_INFO && nameLength >= kNameBuffer) {
                 return;
             }
             entries.push_back({std::move(name), std::move(driver)});
         });
    return entries;
}

std::vector<std::string> drivers(SQLHENV henv) {
    std::vector<std::string> names;
    walk(henv, SQLDrivers, SQL_FETCH_FIRST,
         [&names](SQLRETURN, std::string description, SQLSMALLINT, const std::string&) {
             names.push_back(std::move(description));
         });
    return names;
}

}  // namespace odbc_listing
