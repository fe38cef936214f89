#include "driver/api/TraceNameTables.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <string_view>

#include "driver/api/TraceWriter.h"

namespace {

struct CountCase {
    const char* table;
    TraceNameTable entries;
    std::size_t count;
};

TEST(TraceNameTables, EachRendererTableHasItsEntries) {
    const CountCase cases[] = {
        {"handle types", traceNames::handleTypes, 4},
        {"return codes", traceNames::returnCodes, 7},
        {"environment attributes", traceNames::envAttributes, 2},
        {"connection attributes", traceNames::connectAttributes, 17},
        {"info types", traceNames::infoTypes, 169},
        {"statement attributes", traceNames::statementAttributes, 35},
        {"descriptor fields", traceNames::descriptorFields, 47},
        {"SQL types", traceNames::sqlTypes, 39},
        {"C types", traceNames::cTypes, 27},
        {"driver completions", traceNames::driverCompletions, 4},
        {"parameter types", traceNames::paramTypes, 3},
        {"diagnostic identifiers", traceNames::diagIdentifiers, 15},
        {"function ids", traceNames::functionIds, 78},
        {"fetch orientations", traceNames::fetchOrientations, 7},
        {"completion types", traceNames::completionTypes, 2},
        {"SQLSetPos operations", traceNames::setPosOperations, 4},
        {"lock types", traceNames::lockTypes, 3},
        {"bulk operations", traceNames::bulkOperations, 4},
        {"identifier types", traceNames::identifierTypes, 2},
        {"scopes", traceNames::scopes, 3},
        {"nullability", traceNames::nullables, 3},
        {"unique", traceNames::uniques, 2},
        {"accuracy", traceNames::accuracies, 2},
        {"SQLFreeStmt options", traceNames::freeStmtOptions, 4},
        {"interval codes", traceNames::intervalCodes, 16},
    };
    for (const CountCase& c : cases) {
        EXPECT_EQ(c.entries.size(), c.count) << c.table;
    }
}

struct LookupCase {
    TraceNameTable table;
    SQLINTEGER value;
    const char* expected;
};

TEST(TraceNameTables, EarlierEntriesWinAndGapsFallBack) {
    const LookupCase cases[] = {
        {traceNames::functionIds, SQL_API_SQLCOLATTRIBUTES, "SQL_API_SQLCOLATTRIBUTE"},
        {traceNames::descriptorFields, SQL_DESC_FIXED_PREC_SCALE, "SQL_COLUMN_MONEY"},
        {traceNames::descriptorFields, SQL_DESC_MAXIMUM_SCALE, "unknown (30)"},
        {traceNames::descriptorFields, SQL_DESC_MINIMUM_SCALE, "unknown (31)"},
        {traceNames::cTypes, SQL_C_BOOKMARK, "SQL_C_ULONG"},
        {traceNames::cTypes, SQL_C_VARBOOKMARK, "SQL_C_BINARY"},
        {traceNames::cTypes, SQL_C_TINYINT, "unknown (4294967290)"},
        {traceNames::cTypes, SQL_C_INTERVAL_YEAR, "unknown (101)"},
        {traceNames::intervalCodes, SQL_CODE_YEAR, "SQL_CODE_DATE"},
        {traceNames::intervalCodes, SQL_CODE_MONTH, "SQL_CODE_TIME"},
        {traceNames::intervalCodes, SQL_CODE_DAY, "SQL_CODE_TIMESTAMP"},
        {traceNames::intervalCodes, SQL_CODE_MINUTE_TO_SECOND, "SQL_CODE_MINUTE_TO_SECOND"},
        {traceNames::connectAttributes, SQL_ATTR_TRACE, "unknown (104)"},
        {traceNames::connectAttributes, SQL_ATTR_ODBC_CURSORS, "unknown (110)"},
        {traceNames::connectAttributes, 1224, "SQL_COPT_SS_MARS_ENABLED"},
        {traceNames::connectAttributes, 1057, "1057"},
        {traceNames::connectAttributes, 30002, "30002"},
        {traceNames::statementAttributes, SQL_GET_BOOKMARK, "unknown (13)"},
        {traceNames::statementAttributes, SQL_ROWSET_SIZE, "SQL_ROWSET_SIZE"},
        {traceNames::statementAttributes, SQL_ATTR_CURSOR_SENSITIVITY,
         "SQL_ATTR_CURSOR_SENSITIVITY"},
        {traceNames::sqlTypes, SQL_DATETIME, "SQL_DATE"},
        {traceNames::sqlTypes, -99, "unknown (4294967197)"},
        {traceNames::infoTypes, SQL_ACTIVE_CONNECTIONS, "SQL_MAX_DRIVER_CONNECTIONS"},
        {traceNames::infoTypes, SQL_MAX_OWNER_NAME_LEN, "SQL_MAX_SCHEMA_NAME_LEN"},
        {traceNames::infoTypes, SQL_QUALIFIER_LOCATION, "SQL_CATALOG_LOCATION"},
        {traceNames::infoTypes, SQL_ODBC_SQL_OPT_IEF, "SQL_INTEGRITY"},
        {traceNames::infoTypes, SQL_DRIVER_HDBC, "unknown (3)"},
        {traceNames::infoTypes, SQL_DM_VER, "unknown (171)"},
        {traceNames::infoTypes, SQL_XOPEN_CLI_YEAR, "unknown (10000)"},
        {traceNames::infoTypes, SQL_ASYNC_MODE, "SQL_ASYNC_MODE"},
        {traceNames::returnCodes, SQL_NO_DATA, "SQL_NO_DATA"},
        {traceNames::nullables, SQL_NULLABLE_UNKNOWN, "SQL_NULLABLE_UNKNOWN"},
        {{}, 0, "unknown (0)"},
    };
    for (const LookupCase& c : cases) {
        EXPECT_EQ(traceName(c.value, c.table), c.expected) << c.value;
    }
}

TEST(TraceNameTables, NoTableNamesOneNameTwice) {
    for (const TraceNamedTable& table : traceNames::allTables()) {
        std::set<std::string_view> names;
        for (const TraceName& entry : table.entries) {
            EXPECT_TRUE(names.insert(entry.name).second) << table.key << ": " << entry.name;
        }
    }
}

TEST(TraceNameTables, EveryNamedInfoTypeHasOneWayToBeRead) {
    std::set<SQLUSMALLINT> items;
    for (const TraceInfoItem& item : traceNames::infoItems()) {
        EXPECT_TRUE(items.insert(item.infoType).second) << item.infoType;
        const bool needsNames = item.kind != TraceInfoKind::Text &&
                                item.kind != TraceInfoKind::Number16 &&
                                item.kind != TraceInfoKind::Number32;
        EXPECT_EQ(needsNames, !item.names.empty()) << item.infoType;
    }
    std::set<SQLUSMALLINT> named;
    for (const TraceName& entry : traceNames::infoTypes) {
        named.insert(static_cast<SQLUSMALLINT>(entry.value));
    }
    EXPECT_EQ(items, named);
}

struct InfoKindCase {
    SQLUSMALLINT infoType;
    TraceInfoKind kind;
};

// The width the connection writes decides how the trace reads an item.
TEST(TraceNameTables, InfoItemsAreReadAtTheWidthTheConnectionWrites) {
    const InfoKindCase cases[] = {
        {SQL_MAX_SCHEMA_NAME_LEN, TraceInfoKind::Number16},
        {SQL_ACTIVE_ENVIRONMENTS, TraceInfoKind::Number16},
        {SQL_MAX_IDENTIFIER_LEN, TraceInfoKind::Number16},
        {SQL_MAX_ROW_SIZE, TraceInfoKind::Number32},
        {SQL_MAX_ASYNC_CONCURRENT_STATEMENTS, TraceInfoKind::Number32},
        {SQL_TXN_CAPABLE, TraceInfoKind::Named16},
        {SQL_DEFAULT_TXN_ISOLATION, TraceInfoKind::Named32},
        {SQL_CURSOR_SENSITIVITY, TraceInfoKind::Named32},
        {SQL_ASYNC_MODE, TraceInfoKind::Named32},
        {SQL_ODBC_INTERFACE_CONFORMANCE, TraceInfoKind::Named32},
        {SQL_FETCH_DIRECTION, TraceInfoKind::Flags32},
        {SQL_DBMS_NAME, TraceInfoKind::Text},
        {SQL_COLLATION_SEQ, TraceInfoKind::Text},
    };
    for (const InfoKindCase& c : cases) {
        const TraceInfoItem* item = traceNames::findInfoItem(c.infoType);
        ASSERT_NE(item, nullptr) << c.infoType;
        EXPECT_EQ(item->kind, c.kind) << c.infoType;
    }
    EXPECT_EQ(traceNames::findInfoItem(SQL_DRIVER_HSTMT), nullptr);
    EXPECT_EQ(traceNames::findInfoItem(173), nullptr);  // SQL_CONVERT_GUID
}

}  // namespace
