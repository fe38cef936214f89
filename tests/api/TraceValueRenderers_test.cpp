#include "driver/api/TraceValueRenderers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "driver/api/TraceNameTables.h"
#include "driver/api/TraceWriter.h"
#include "tests/api/TraceTestBuffers.h"

namespace {

using namespace std::string_view_literals;

SQLPOINTER word(std::uintptr_t value) {
    return reinterpret_cast<SQLPOINTER>(value);
}

std::wstring_view wideText(const wchar_t* text) {
    return std::wstring_view(text, std::wcslen(text) + 1);
}

GuardedBuffer holdingWide(std::wstring_view units) {
    GuardedBuffer buffer(units.size() * sizeof(SQLWCHAR));
    std::memcpy(buffer.data(), units.data(), buffer.size());
    return buffer;
}

struct SetCase {
    SQLINTEGER id;
    SQLPOINTER value;
    const char* expected;
};

TEST(TraceValueRenderers, EnvironmentAttributeValues) {
    const SetCase cases[] = {
        {SQL_ATTR_ODBC_VERSION, word(SQL_OV_ODBC2), "SQL_OV_ODBC2"},
        {SQL_ATTR_ODBC_VERSION, word(SQL_OV_ODBC3), "SQL_OV_ODBC3"},
        {SQL_ATTR_ODBC_VERSION, word(0x100000003), "SQL_OV_ODBC3"},
        {SQL_ATTR_ODBC_VERSION, word(380), "unknown (380)"},
        {SQL_ATTR_OUTPUT_NTS, word(SQL_TRUE), "SQL_TRUE"},
        {SQL_ATTR_CONNECTION_POOLING, word(1), "unknown env attribute"},
    };
    for (const SetCase& c : cases) {
        EXPECT_EQ(traceEnvAttributeValue(c.id, c.value), c.expected) << c.id;
    }
}

// The environment writes its attributes as 32 bits; a 64-bit read of the
// 4-byte buffer would fault on the guard page.
TEST(TraceValueRenderers, EnvironmentOutputReadsThirtyTwoBits) {
    auto version = GuardedBuffer::holdingValue<SQLINTEGER>(SQL_OV_ODBC3);
    EXPECT_EQ(traceEnvAttributeValueOut(SQL_ATTR_ODBC_VERSION, version.data()), "SQL_OV_ODBC3");
    EXPECT_EQ(traceEnvAttributeValueOut(SQL_ATTR_OUTPUT_NTS, nullptr), "NULL");
    EXPECT_EQ(traceEnvAttributeValueOut(SQL_ATTR_CONNECTION_POOLING, nullptr),
              "unknown env attribute");
}

TEST(TraceValueRenderers, ConnectionAttributeValues) {
    auto catalog = GuardedBuffer::holding("sales\0"sv);
    const SetCase cases[] = {
        {SQL_ATTR_ACCESS_MODE, word(SQL_MODE_READ_ONLY), "SQL_MODE_READ_ONLY"},
        {SQL_ATTR_ACCESS_MODE, word(SQL_MODE_READ_WRITE), "SQL_MODE_READ_WRITE"},
        {SQL_ATTR_ASYNC_ENABLE, word(SQL_ASYNC_ENABLE_ON), "SQL_ASYNC_ENABLE_ON"},
        {SQL_ATTR_AUTOCOMMIT, word(SQL_AUTOCOMMIT_OFF), "SQL_AUTOCOMMIT_OFF"},
        {SQL_ATTR_AUTOCOMMIT, word(7), "unknown (7)"},
        {SQL_ATTR_LOGIN_TIMEOUT, word(0x1'0000'0005), "5"},
        {SQL_ATTR_PACKET_SIZE, word(0xFFFF'FFFF), "4294967295"},
        {SQL_ATTR_CONNECTION_TIMEOUT, word(30), "30"},
        {SQL_ATTR_TRANSLATE_OPTION, word(2), "2"},
        {SQL_ATTR_CURRENT_CATALOG, catalog.data(), "sales"},
        {SQL_ATTR_TRACEFILE, nullptr, "NULL"},
        {SQL_ATTR_TXN_ISOLATION, word(SQL_TXN_SERIALIZABLE | SQL_TXN_READ_COMMITTED),
         "SQL_TXN_READ_COMMITTED | SQL_TXN_SERIALIZABLE"},
        {SQL_ATTR_TXN_ISOLATION, word(0), "0"},
        {SQL_ATTR_QUIET_MODE, word(0x7b1a40), "0x7b1a40"},
        {SQL_ATTR_AUTO_IPD, word(SQL_FALSE), "SQL_FALSE"},
        {SQL_ATTR_METADATA_ID, word(SQL_TRUE), "SQL_TRUE"},
        {kAttrWideApi, word(1), "SQL_TRUE"},
        {kAttrWideApi, word(2), "unknown (2)"},
        {kCoptSsMarsEnabled, word(kMarsEnabledYes), "SQL_MARS_ENABLED_YES"},
        {kCoptSsMarsEnabled, word(kMarsEnabledNo), "SQL_MARS_ENABLED_NO"},
        {kAttrIgnored, word(1), "unknown connect attribute"},
        {SQL_ATTR_TRACE, word(1), "unknown connect attribute"},
        {SQL_ATTR_ODBC_CURSORS, word(1), "unknown connect attribute"},
        {SQL_ATTR_CONNECTION_DEAD, word(1), "unknown connect attribute"},
    };
    for (const SetCase& c : cases) {
        EXPECT_EQ(traceConnectAttributeValue(c.id, c.value), c.expected) << c.id;
    }
}

TEST(TraceValueRenderers, ConnectionTextStaysWithinItsLength) {
    auto catalog = GuardedBuffer::holding("salesdb"sv);
    EXPECT_EQ(traceConnectAttributeValue(SQL_ATTR_CURRENT_CATALOG, catalog.data(), 5), "sales");
    EXPECT_EQ(traceConnectAttributeValue(SQL_ATTR_CURRENT_CATALOG, catalog.data(), 7), "salesdb");
    auto wide = holdingWide(L"d\u00e9p\u00f4t"sv);
    EXPECT_EQ(traceConnectAttributeValueW(SQL_ATTR_CURRENT_CATALOG, wide.data(), 20),
              "d\xc3\xa9p\xc3\xb4t");
    EXPECT_EQ(traceConnectAttributeValueW(SQL_ATTR_CURRENT_CATALOG, wide.data(), 8), "d\xc3\xa9");
    EXPECT_EQ(traceConnectAttributeValueW(SQL_ATTR_AUTOCOMMIT, word(1)), "SQL_AUTOCOMMIT_ON");
}

TEST(TraceValueRenderers, ConnectionOutputsReadTheirOwnWidth) {
    auto autocommit = GuardedBuffer::holdingValue<SQLUINTEGER>(SQL_AUTOCOMMIT_ON);
    auto timeout = GuardedBuffer::holdingValue<SQLUINTEGER>(4000000000u);
    auto catalog = GuardedBuffer::holding("db\0"sv);
    auto unterminated = GuardedBuffer::holding("abcd"sv);
    auto wide = holdingWide(wideText(L"\u00fcber"));
    EXPECT_EQ(traceConnectAttributeValueOut(SQL_ATTR_AUTOCOMMIT, autocommit.data()),
              "SQL_AUTOCOMMIT_ON");
    EXPECT_EQ(traceConnectAttributeValueOut(SQL_ATTR_LOGIN_TIMEOUT, timeout.data()), "4000000000");
    EXPECT_EQ(traceConnectAttributeValueOut(SQL_ATTR_CURRENT_CATALOG, catalog.data(), 3), "db");
    EXPECT_EQ(traceConnectAttributeValueOut(SQL_ATTR_CURRENT_CATALOG, unterminated.data(), 4),
              "abcd");
    EXPECT_EQ(traceConnectAttributeValueOut(SQL_ATTR_QUIET_MODE, catalog.data()),
              tracePointer(catalog.data()));
    EXPECT_EQ(traceConnectAttributeValueOutW(SQL_ATTR_TRANSLATE_LIB, wide.data(),
                                             static_cast<SQLINTEGER>(wide.size())),
              "\xc3\xbc"
              "ber");
    EXPECT_EQ(traceConnectAttributeValueOutW(SQL_ATTR_AUTOCOMMIT, autocommit.data()),
              "SQL_AUTOCOMMIT_ON");
    EXPECT_EQ(traceConnectAttributeValueOut(SQL_ATTR_AUTOCOMMIT, nullptr), "NULL");
    EXPECT_EQ(traceConnectAttributeValueOut(SQL_ATTR_CURRENT_CATALOG, nullptr), "NULL");
    // Attributes the connection does not write are not read at all.
    EXPECT_EQ(traceConnectAttributeValueOut(SQL_ATTR_TRACE, nullptr), "unknown connect attribute");
}

TEST(TraceValueRenderers, StatementAttributeValues) {
    const SetCase cases[] = {
        {SQL_ATTR_CURSOR_SENSITIVITY, word(SQL_INSENSITIVE), "SQL_INSENSITIVE"},
        {SQL_ATTR_CURSOR_SENSITIVITY, word(SQL_UNSPECIFIED), "SQL_UNSPECIFIED"},
        {SQL_ATTR_CURSOR_SCROLLABLE, word(SQL_SCROLLABLE), "SQL_SCROLLABLE"},
        {SQL_ATTR_QUERY_TIMEOUT, word(30), "30"},
        {SQL_ATTR_MAX_ROWS, word(5000000000), "5000000000"},
        {SQL_ROWSET_SIZE, word(20), "20"},
        {SQL_ATTR_ROW_ARRAY_SIZE, word(100), "100"},
        {SQL_ATTR_NOSCAN, word(SQL_NOSCAN_ON), "SQL_NOSCAN_ON"},
        {SQL_ATTR_ROW_BIND_TYPE, word(SQL_BIND_BY_COLUMN), "SQL_BIND_BY_COLUMN"},
        {SQL_ATTR_ROW_BIND_TYPE, word(24), "24"},
        {SQL_ATTR_PARAM_BIND_TYPE, word(SQL_PARAM_BIND_BY_COLUMN), "SQL_PARAM_BIND_BY_COLUMN"},
        {SQL_ATTR_PARAM_BIND_TYPE, word(16), "16"},
        {SQL_ATTR_CURSOR_TYPE, word(SQL_CURSOR_STATIC), "SQL_CURSOR_STATIC"},
        {SQL_ATTR_CONCURRENCY, word(SQL_CONCUR_VALUES), "SQL_CONCUR_VALUES"},
        {SQL_ATTR_CONCURRENCY, word(0x1'0000'0001), "SQL_CONCUR_READ_ONLY"},
        {SQL_ATTR_SIMULATE_CURSOR, word(SQL_SC_UNIQUE), "SQL_SC_UNIQUE"},
        {SQL_ATTR_RETRIEVE_DATA, word(SQL_RD_OFF), "SQL_RD_OFF"},
        {SQL_ATTR_USE_BOOKMARKS, word(SQL_UB_VARIABLE), "SQL_UB_VARIABLE"},
        {SQL_ATTR_ROW_NUMBER, word(0x20), "0x20"},
        {SQL_ATTR_ROW_STATUS_PTR, word(0x7b1a40), "0x7b1a40"},
        {SQL_ATTR_APP_ROW_DESC, nullptr, "0x0"},
        {SQL_ATTR_ENABLE_AUTO_IPD, word(SQL_TRUE), "SQL_TRUE"},
        {SQL_ATTR_METADATA_ID, word(SQL_FALSE), "SQL_FALSE"},
        {SQL_GET_BOOKMARK, word(1), "unknown statement attribute"},
        {SQL_ATTR_ACCESS_MODE, word(1), "unknown statement attribute"},
    };
    for (const SetCase& c : cases) {
        EXPECT_EQ(traceStatementAttributeValue(c.id, c.value), c.expected) << c.id;
    }
}

TEST(TraceValueRenderers, StatementOutputsShowBuffersOrTheirContents) {
    auto status = GuardedBuffer::holdingValue<SQLUSMALLINT>(0);
    auto offset = GuardedBuffer::holdingValue<SQLPOINTER>(word(0x4010));
    auto timeout = GuardedBuffer::holdingValue<SQLUINTEGER>(4000000000u);
    auto scrollable = GuardedBuffer::holdingValue<SQLUINTEGER>(SQL_SCROLLABLE);
    auto maxRows = GuardedBuffer::holdingValue<SQLULEN>(5000000000ULL);
    auto descriptor = GuardedBuffer::holdingValue<SQLPOINTER>(word(0xd35c));
    EXPECT_EQ(traceStatementAttributeValueOut(SQL_ATTR_ROW_STATUS_PTR, status.data()),
              tracePointer(status.data()));
    EXPECT_EQ(traceStatementAttributeValueOut(SQL_ATTR_ROW_BIND_OFFSET_PTR, offset.data()),
              "0x4010");
    EXPECT_EQ(traceStatementAttributeValueOut(SQL_ATTR_QUERY_TIMEOUT, timeout.data()),
              "4000000000");
    EXPECT_EQ(traceStatementAttributeValueOut(SQL_ATTR_CURSOR_SCROLLABLE, scrollable.data()),
              "SQL_SCROLLABLE");
    EXPECT_EQ(traceStatementAttributeValueOut(SQL_ATTR_MAX_ROWS, maxRows.data()), "5000000000");
    EXPECT_EQ(traceStatementAttributeValueOut(SQL_ATTR_IMP_ROW_DESC, descriptor.data()), "0xd35c");
    EXPECT_EQ(traceStatementAttributeValueOut(SQL_ATTR_MAX_ROWS, nullptr), "NULL");
    EXPECT_EQ(traceStatementAttributeValueOut(SQL_GET_BOOKMARK, nullptr),
              "unknown statement attribute");
}

TEST(TraceValueRenderers, DescriptorFieldValues) {
    auto name = GuardedBuffer::holding("order_id\0"sv);
    const SetCase cases[] = {
        {SQL_DESC_DATETIME_INTERVAL_CODE, word(SQL_CODE_DATE), "SQL_CODE_DATE"},
        {SQL_DESC_DATETIME_INTERVAL_CODE, word(SQL_CODE_HOUR_TO_SECOND), "SQL_CODE_HOUR_TO_SECOND"},
        {SQL_DESC_FIXED_PREC_SCALE, word(1), "1"},
        {SQL_DESC_DISPLAY_SIZE, word(static_cast<std::uintptr_t>(-1)), "-1"},
        {SQL_DESC_ARRAY_SIZE, word(5000000000), "5000000000"},
        {SQL_DESC_BIND_TYPE, word(SQL_PARAM_BIND_BY_COLUMN), "SQL_PARAM_BIND_BY_COLUMN"},
        {SQL_DESC_BIND_TYPE, word(0xFFFF'FFFF), "-1"},
        {SQL_DESC_CONCISE_TYPE, word(SQL_INTEGER), "SQL_INTEGER"},
        {SQL_DESC_TYPE, word(0x1'0004), "SQL_INTEGER"},
        {SQL_DESC_TYPE, word(0xFFF7), "SQL_WVARCHAR"},
        {SQL_COLUMN_LENGTH, word(0x1'0000'0010), "16"},
        {SQL_DESC_LENGTH, word(4000000000u), "4000000000"},
        {SQL_COLUMN_PRECISION, word(0xFFFF), "-1"},
        {SQL_DESC_COUNT, word(3), "3"},
        {SQL_COLUMN_NULLABLE, word(SQL_NULLABLE), "SQL_NULLABLE"},
        {SQL_DESC_NULLABLE, word(SQL_NULLABLE_UNKNOWN), "SQL_NULLABLE_UNKNOWN"},
        {SQL_DESC_UNSIGNED, word(0x1'0001), "SQL_TRUE"},
        {SQL_DESC_UPDATABLE, word(SQL_ATTR_READWRITE_UNKNOWN), "SQL_ATTR_READWRITE_UNKNOWN"},
        {SQL_DESC_CASE_SENSITIVE, word(SQL_FALSE), "SQL_FALSE"},
        {SQL_DESC_ROWVER, word(SQL_TRUE), "SQL_TRUE"},
        {SQL_DESC_SEARCHABLE, word(SQL_PRED_SEARCHABLE), "SQL_PRED_SEARCHABLE"},
        {SQL_DESC_DATA_PTR, word(0xbeef), "0xbeef"},
        {SQL_DESC_NUM_PREC_RADIX, word(10), "10"},
        {SQL_DESC_OCTET_LENGTH, word(0xFFFF'FFFE), "-2"},
        {SQL_DESC_PARAMETER_TYPE, word(SQL_PARAM_INPUT_OUTPUT), "SQL_PARAM_INPUT_OUTPUT"},
        {SQL_DESC_UNNAMED, word(SQL_UNNAMED), "SQL_UNNAMED"},
        {SQL_DESC_ALLOC_TYPE, word(SQL_DESC_ALLOC_USER), "SQL_DESC_ALLOC_USER"},
        {SQL_DESC_NAME, name.data(), "order_id"},
        {SQL_COLUMN_NAME, name.data(), "order_id"},
        {SQL_DESC_LABEL, nullptr, "NULL"},
        {19, word(1), "unknown descriptor field"},
        {SQL_DESC_MAXIMUM_SCALE, word(1), "unknown descriptor field"},
        {SQL_DESC_MINIMUM_SCALE, word(1), "unknown descriptor field"},
    };
    for (const SetCase& c : cases) {
        EXPECT_EQ(traceDescriptorFieldValue(static_cast<SQLSMALLINT>(c.id), c.value), c.expected)
            << c.id;
    }
}

TEST(TraceValueRenderers, DescriptorTextWithinItsLength) {
    auto label = GuardedBuffer::holding("Amount"sv);
    EXPECT_EQ(traceDescriptorFieldValue(SQL_DESC_LABEL, label.data(), 6), "Amount");
    EXPECT_EQ(traceDescriptorFieldValue(SQL_DESC_LABEL, label.data(), 3), "Amo");
    auto wide = holdingWide(L"Total"sv);
    EXPECT_EQ(traceDescriptorFieldValueW(SQL_DESC_NAME, wide.data(), 20), "Total");
    EXPECT_EQ(traceDescriptorFieldValueW(SQL_DESC_NAME, wide.data(), 6), "T");
    // SQL_COLUMN_NAME stays narrow in the wide form.
    auto narrow = GuardedBuffer::holding("id\0"sv);
    EXPECT_EQ(traceDescriptorFieldValueW(SQL_COLUMN_NAME, narrow.data(), 3), "id");
    EXPECT_EQ(traceDescriptorFieldValueW(SQL_DESC_COUNT, word(2)), "2");
}

struct OutCase {
    const char* label;
    SQLSMALLINT field;
    GuardedBuffer buffer;
    const char* expected;
};

TEST(TraceValueRenderers, DescriptorOutputsReadTheWidthTheDescriptorWrites) {
    OutCase cases[] = {
        {"int16 type", SQL_DESC_TYPE, GuardedBuffer::holdingValue<SQLSMALLINT>(SQL_VARCHAR),
         "SQL_VARCHAR"},
        {"int16 count", SQL_DESC_COUNT, GuardedBuffer::holdingValue<SQLSMALLINT>(4), "4"},
        {"int16 fixed scale", SQL_DESC_FIXED_PREC_SCALE,
         GuardedBuffer::holdingValue<SQLSMALLINT>(-1), "-1"},
        {"int16 interval code", SQL_DESC_DATETIME_INTERVAL_CODE,
         GuardedBuffer::holdingValue<SQLSMALLINT>(SQL_CODE_TIMESTAMP), "SQL_CODE_TIMESTAMP"},
        {"int16 alloc type", SQL_DESC_ALLOC_TYPE,
         GuardedBuffer::holdingValue<SQLSMALLINT>(SQL_DESC_ALLOC_AUTO), "SQL_DESC_ALLOC_AUTO"},
        {"int16 nullable", SQL_DESC_NULLABLE,
         GuardedBuffer::holdingValue<SQLSMALLINT>(SQL_NO_NULLS), "SQL_NO_NULLS"},
        {"int32 bind type", SQL_DESC_BIND_TYPE, GuardedBuffer::holdingValue<SQLINTEGER>(0),
         "SQL_PARAM_BIND_BY_COLUMN"},
        {"int32 interval precision", SQL_DESC_DATETIME_INTERVAL_PRECISION,
         GuardedBuffer::holdingValue<SQLINTEGER>(-6), "-6"},
        {"int32 case sensitive", SQL_DESC_CASE_SENSITIVE,
         GuardedBuffer::holdingValue<SQLINTEGER>(SQL_TRUE), "SQL_TRUE"},
        {"64-bit length", SQL_DESC_LENGTH, GuardedBuffer::holdingValue<SQLLEN>(255), "255"},
        {"64-bit array size", SQL_DESC_ARRAY_SIZE,
         GuardedBuffer::holdingValue<SQLULEN>(5000000000ULL), "5000000000"},
        {"ODBC 2 attribute not written", SQL_COLUMN_SCALE,
         GuardedBuffer::holdingValue<SQLSMALLINT>(2), "2"},
        {"column name is the buffer's text", SQL_COLUMN_NAME, GuardedBuffer::holding("amount\0"sv),
         "amount"},
        {"label is the buffer's text", SQL_DESC_LABEL, GuardedBuffer::holding("Total"sv), "Total"},
    };
    for (OutCase& c : cases) {
        EXPECT_EQ(traceDescriptorFieldValueOut(c.field, c.buffer.data(),
                                               static_cast<SQLINTEGER>(c.buffer.size())),
                  c.expected)
            << c.label;
    }
    auto indicator = GuardedBuffer::holdingValue<SQLLEN*>(nullptr);
    EXPECT_EQ(traceDescriptorFieldValueOut(SQL_DESC_INDICATOR_PTR, indicator.data()),
              tracePointer(indicator.data()));
    auto wide = holdingWide(L"Name"sv);
    EXPECT_EQ(traceDescriptorFieldValueOutW(SQL_DESC_BASE_COLUMN_NAME, wide.data(), 16), "Name");
    EXPECT_EQ(traceDescriptorFieldValueOut(SQL_DESC_COUNT, nullptr), "NULL");
    EXPECT_EQ(traceDescriptorFieldValueOut(SQL_DESC_MINIMUM_SCALE, nullptr),
              "unknown descriptor field");
}

TEST(TraceValueRenderers, DiagnosticFieldsAtTheirWidths) {
    auto state = GuardedBuffer::holding("HY000\0"sv);
    auto message = GuardedBuffer::holding("[vendor][product] General error"sv);
    auto returnCode = GuardedBuffer::holdingValue<SQLRETURN>(SQL_ERROR);
    auto number = GuardedBuffer::holdingValue<SQLINTEGER>(3);
    auto native = GuardedBuffer::holdingValue<SQLINTEGER>(-2147483647 - 1);
    auto rowCount = GuardedBuffer::holdingValue<SQLLEN>(5000000000LL);
    auto rowNumber = GuardedBuffer::holdingValue<SQLLEN>(SQL_ROW_NUMBER_UNKNOWN);
    EXPECT_EQ(traceDiagFieldValue(SQL_DIAG_SQLSTATE, state.data(), 6), "HY000");
    EXPECT_EQ(traceDiagFieldValue(SQL_DIAG_MESSAGE_TEXT, message.data(),
                                  static_cast<SQLINTEGER>(message.size())),
              "[vendor][product] General error");
    EXPECT_EQ(traceDiagFieldValue(SQL_DIAG_MESSAGE_TEXT, message.data(), 8), "[vendor]");
    EXPECT_EQ(traceDiagFieldValue(SQL_DIAG_RETURNCODE, returnCode.data()), "-1");
    EXPECT_EQ(traceDiagFieldValue(SQL_DIAG_NUMBER, number.data()), "3");
    EXPECT_EQ(traceDiagFieldValue(SQL_DIAG_NATIVE, native.data()), "-2147483648");
    EXPECT_EQ(traceDiagFieldValue(SQL_DIAG_COLUMN_NUMBER, number.data()), "3");
    EXPECT_EQ(traceDiagFieldValue(SQL_DIAG_ROW_COUNT, rowCount.data()), "5000000000");
    EXPECT_EQ(traceDiagFieldValue(SQL_DIAG_CURSOR_ROW_COUNT, rowCount.data()), "5000000000");
    EXPECT_EQ(traceDiagFieldValue(SQL_DIAG_ROW_NUMBER, rowNumber.data()), "-2");
    EXPECT_EQ(traceDiagFieldValue(SQL_DIAG_SERVER_NAME, nullptr), "NULL");
    EXPECT_EQ(traceDiagFieldValue(SQL_DIAG_NUMBER, nullptr), "NULL");
    EXPECT_EQ(traceDiagFieldValue(99, nullptr), "unknown diag info");
}

struct InfoCase {
    const char* label;
    SQLUSMALLINT infoType;
    GuardedBuffer buffer;
    const char* expected;
};

GuardedBuffer info16(SQLUSMALLINT value) {
    return GuardedBuffer::holdingValue(value);
}
GuardedBuffer info32(SQLUINTEGER value) {
    return GuardedBuffer::holdingValue(value);
}

TEST(TraceValueRenderers, InformationValuesByKind) {
    InfoCase cases[] = {
        {"text", SQL_DBMS_NAME, GuardedBuffer::holding("MySQL\0"sv), "MySQL"},
        {"text cut by the buffer", SQL_KEYWORDS, GuardedBuffer::holding("ABCDEF"sv), "ABCDEF"},
        {"16-bit number", SQL_MAX_COLUMN_NAME_LEN, info16(64), "64"},
        {"schema name length is 16 bits", SQL_MAX_SCHEMA_NAME_LEN, info16(128), "128"},
        {"active environments is 16 bits", SQL_ACTIVE_ENVIRONMENTS, info16(65535), "65535"},
        {"32-bit number", SQL_MAX_ROW_SIZE, info32(4000000000u), "4000000000"},
        {"16-bit name", SQL_TXN_CAPABLE, info16(SQL_TC_DML), "SQL_TC_DML"},
        {"16-bit name, unknown", SQL_TXN_CAPABLE, info16(9), "unknown (9)"},
        {"32-bit name", SQL_DEFAULT_TXN_ISOLATION, info32(SQL_TXN_READ_COMMITTED),
         "SQL_TXN_READ_COMMITTED"},
        {"cursor sensitivity", SQL_CURSOR_SENSITIVITY, info32(SQL_INSENSITIVE), "SQL_INSENSITIVE"},
        {"async mode", SQL_ASYNC_MODE, info32(SQL_AM_NONE), "SQL_AM_NONE"},
        {"interface conformance", SQL_ODBC_INTERFACE_CONFORMANCE, info32(SQL_OIC_LEVEL2),
         "SQL_OIC_LEVEL2"},
        {"fetch direction", SQL_FETCH_DIRECTION, info32(SQL_FD_FETCH_NEXT | SQL_FD_FETCH_BOOKMARK),
         "SQL_FD_FETCH_NEXT | SQL_FD_FETCH_BOOKMARK"},
        {"fetch direction, bit outside the table", SQL_FETCH_DIRECTION, info32(1u << 28),
         "268435456"},
        {"conversions in table order", SQL_CONVERT_CHAR, info32(SQL_CVT_CHAR | SQL_CVT_BIGINT),
         "SQL_CVT_BIGINT | SQL_CVT_CHAR"},
        {"several bits in one entry", SQL_DYNAMIC_CURSOR_ATTRIBUTES2,
         info32(SQL_CA2_MAX_ROWS_SELECT), "SQL_CA2_MAX_ROWS_SELECT | SQL_CA2_MAX_ROWS_AFFECTS_ALL"},
        {"index keywords", SQL_INDEX_KEYWORDS, info32(SQL_IK_ASC), "SQL_IK_ASC | SQL_IK_ALL"},
        {"index keywords none", SQL_INDEX_KEYWORDS, info32(SQL_IK_NONE), "0"},
        {"empty mask", SQL_SQL92_GRANT, info32(0), "0"},
    };
    for (InfoCase& c : cases) {
        EXPECT_EQ(
            traceInfoValue(c.infoType, c.buffer.data(), static_cast<SQLINTEGER>(c.buffer.size())),
            c.expected)
            << c.label;
    }
    EXPECT_EQ(traceInfoValue(SQL_DRIVER_HDBC, nullptr), "unknown getinfo type");
    EXPECT_EQ(traceInfoValue(SQL_DM_VER, nullptr), "unknown getinfo type");
    EXPECT_EQ(traceInfoValue(SQL_DBMS_NAME, nullptr), "NULL");
    EXPECT_EQ(traceInfoValue(SQL_TXN_CAPABLE, nullptr), "NULL");
}

TEST(TraceValueRenderers, WideInformationText) {
    auto name = holdingWide(wideText(L"PostgreSQL"));
    EXPECT_EQ(traceInfoValueW(SQL_DBMS_NAME, name.data(), static_cast<SQLINTEGER>(name.size())),
              "PostgreSQL");
    EXPECT_EQ(traceInfoValueW(SQL_DBMS_NAME, name.data(), 16), "Post");
    auto capable = info16(SQL_TC_ALL);
    EXPECT_EQ(traceInfoValueW(SQL_TXN_CAPABLE, capable.data()), "SQL_TC_ALL");
}

}  // namespace
