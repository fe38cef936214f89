// The result-set and cursor entry points of the built driver modules, as a
// driver manager finds them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include "tests/support/DriverLibrary.h"

namespace {

struct Entry {
    const char* name;
    bool wide;
    // Calls the export on a null statement handle.
    SQLRETURN (*callOnNull)(const DriverLibrary&);
};

// The export `name` of type Function, called on a null statement handle.
template <typename Function, typename... Args>
SQLRETURN onNullHandle(const DriverLibrary& library, const char* name, Args... args) {
    return library.function<Function>(name)(nullptr, args...);
}

const std::vector<Entry>& entries() {
    static const std::vector<Entry> all = {
        {"SQLColAttribute", false,
         [](const DriverLibrary& l) {
             return onNullHandle<decltype(&SQLColAttribute)>(l, "SQLColAttribute", 1, SQL_DESC_NAME,
                                                             nullptr, 0, nullptr, nullptr);
         }},
        {"SQLColAttributes", false,
         [](const DriverLibrary& l) {
             return onNullHandle<decltype(&SQLColAttributes)>(
                 l, "SQLColAttributes", 1, SQL_COLUMN_NAME, nullptr, 0, nullptr, nullptr);
         }},
        {"SQLColAttributesW", true,
         [](const DriverLibrary& l) {
             return onNullHandle<decltype(&SQLColAttributesW)>(
                 l, "SQLColAttributesW", 1, SQL_COLUMN_NAME, nullptr, 0, nullptr, nullptr);
         }},
        {"SQLDescribeCol", false,
         [](const DriverLibrary& l) {
             return onNullHandle<decltype(&SQLDescribeCol)>(
                 l, "SQLDescribeCol", 1, nullptr, 0, nullptr, nullptr, nullptr, nullptr, nullptr);
         }},
        {"SQLDescribeColW", true,
         [](const DriverLibrary& l) {
             return onNullHandle<decltype(&SQLDescribeColW)>(
                 l, "SQLDescribeColW", 1, nullptr, 0, nullptr, nullptr, nullptr, nullptr, nullptr);
         }},
        {"SQLBindCol", false,
         [](const DriverLibrary& l) {
             return onNullHandle<decltype(&SQLBindCol)>(l, "SQLBindCol", 1, SQL_C_CHAR, nullptr, 0,
                                                        nullptr);
         }},
        {"SQLFetch", false,
         [](const DriverLibrary& l) { return onNullHandle<decltype(&SQLFetch)>(l, "SQLFetch"); }},
        {"SQLFetchScroll", false,
         [](const DriverLibrary& l) {
             return onNullHandle<decltype(&SQLFetchScroll)>(l, "SQLFetchScroll", SQL_FETCH_NEXT, 0);
         }},
        {"SQLExtendedFetch", false,
         [](const DriverLibrary& l) {
             return onNullHandle<decltype(&SQLExtendedFetch)>(l, "SQLExtendedFetch", SQL_FETCH_NEXT,
                                                              0, nullptr, nullptr);
         }},
        {"SQLNumResultCols", false,
         [](const DriverLibrary& l) {
             return onNullHandle<decltype(&SQLNumResultCols)>(l, "SQLNumResultCols", nullptr);
         }},
        {"SQLRowCount", false,
         [](const DriverLibrary& l) {
             return onNullHandle<decltype(&SQLRowCount)>(l, "SQLRowCount", nullptr);
         }},
        {"SQLGetData", false,
         [](const DriverLibrary& l) {
             return onNullHandle<decltype(&SQLGetData)>(l, "SQLGetData", 1, SQL_C_CHAR, nullptr, 0,
                                                        nullptr);
         }},
        {"SQLMoreResults", false,
         [](const DriverLibrary& l) {
             return onNullHandle<decltype(&SQLMoreResults)>(l, "SQLMoreResults");
         }},
        {"SQLCloseCursor", false,
         [](const DriverLibrary& l) {
             return onNullHandle<decltype(&SQLCloseCursor)>(l, "SQLCloseCursor");
         }},
        {"SQLGetCursorName", false,
         [](const DriverLibrary& l) {
             return onNullHandle<decltype(&SQLGetCursorName)>(l, "SQLGetCursorName", nullptr, 0,
                                                              nullptr);
         }},
        {"SQLGetCursorNameW", true,
         [](const DriverLibrary& l) {
             return onNullHandle<decltype(&SQLGetCursorNameW)>(l, "SQLGetCursorNameW", nullptr, 0,
                                                               nullptr);
         }},
        {"SQLSetCursorName", false,
         [](const DriverLibrary& l) {
             return onNullHandle<decltype(&SQLSetCursorName)>(l, "SQLSetCursorName", nullptr, 0);
         }},
        {"SQLSetCursorNameW", true,
         [](const DriverLibrary& l) {
             return onNullHandle<decltype(&SQLSetCursorNameW)>(l, "SQLSetCursorNameW", nullptr, 0);
         }},
        {"SQLSetPos", false,
         [](const DriverLibrary& l) {
             return onNullHandle<decltype(&SQLSetPos)>(l, "SQLSetPos", 1, SQL_POSITION,
                                                       SQL_LOCK_NO_CHANGE);
         }},
        {"SQLBulkOperations", false,
         [](const DriverLibrary& l) {
             return onNullHandle<decltype(&SQLBulkOperations)>(l, "SQLBulkOperations", SQL_ADD);
         }},
    };
    return all;
}

TEST(ResultSetExports, BothModulesExportTheirForms) {
    DriverLibrary wide(MORVANEX_DRIVER_PATH);
    DriverLibrary narrow(MORVANEX_DRIVER_A_PATH);
    for (const Entry& entry : entries()) {
        EXPECT_TRUE(wide.exports(entry.name)) << entry.name;
        EXPECT_EQ(narrow.exports(entry.name), !entry.wide) << entry.name;
    }
    EXPECT_FALSE(wide.exports("SQLColAttributeW")) << "there is no wide SQLColAttribute";
}

TEST(ResultSetExports, ANullStatementHandleIsInvalid) {
    DriverLibrary driver(MORVANEX_DRIVER_PATH);
    for (const Entry& entry : entries()) {
        EXPECT_EQ(entry.callOnNull(driver), SQL_INVALID_HANDLE) << entry.name;
    }
}

}  // namespace
