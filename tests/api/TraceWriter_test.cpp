#include "driver/api/TraceWriter.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "driver/core/TraceSink.h"
#include "tests/api/TraceTestBuffers.h"
#include "tests/support/ScopedEnv.h"

namespace {

TEST(TraceWriter, LengthNamesOnlySqlNts) {
    EXPECT_EQ(traceLength(SQL_NTS), "SQL_NTS");
    EXPECT_EQ(traceLength(-1), "-1");
    EXPECT_EQ(traceLength(0), "0");
    EXPECT_EQ(traceLength(2147483647), "2147483647");
}

struct StringCase {
    const char* label;
    std::string_view bytes;  // the buffer, exactly; no terminator unless listed
    SQLINTEGER length;
    const char* expected;
};

// Every buffer ends at an inaccessible page: reading past it faults.
TEST(TraceWriter, StringReadsNoMoreThanItsLength) {
    using namespace std::string_view_literals;
    const StringCase cases[] = {
        {"terminated, SQL_NTS", "sales\0"sv, SQL_NTS, "\"sales\""},
        {"empty", "\0"sv, SQL_NTS, "\"\""},
        {"quote unescaped", "a\"b\0"sv, SQL_NTS, "\"a\"b\""},
        {"whole unterminated buffer", "orders"sv, 6, "\"orders\""},
        {"shorter length", "orders"sv, 3, "\"ord\""},
        {"length 0 of a text", "orders"sv, 0, "\"\""},
        {"NUL inside the length", "ab\0cd"sv, 5, "\"ab\""},
        {"other negative length reads nothing", "orders"sv, -1, "\"\""},
        {"SQL_IS_POINTER length reads nothing", "orders"sv, SQL_IS_POINTER, "\"\""},
    };
    for (const StringCase& c : cases) {
        auto buffer = GuardedBuffer::holding(c.bytes);
        EXPECT_EQ(traceString(buffer.as<SQLCHAR>(), c.length), c.expected) << c.label;
        EXPECT_EQ(traceString(buffer.as<const char>(), c.length), c.expected) << c.label;
    }
}

TEST(TraceWriter, NullStringIsWrittenNullWithoutQuotes) {
    EXPECT_EQ(traceString(static_cast<const SQLCHAR*>(nullptr), 0), "NULL");
    EXPECT_EQ(traceString(static_cast<const char*>(nullptr), SQL_NTS), "NULL");
    EXPECT_EQ(traceString(nullptr), "NULL");
    EXPECT_EQ(traceWideString(nullptr, 4), "NULL");
    EXPECT_EQ(traceBareString(nullptr, 4), "NULL");
}

// The call line of the worked SQLColumns example, built from the renderers
// the catalog entry points use. The table name has no terminator: only its
// six bytes may be read.
TEST(TraceWriter, RenderersComposeTheColumnsCallLine) {
    using namespace std::string_view_literals;
    auto schema = GuardedBuffer::holding("sales\0"sv);
    auto table = GuardedBuffer::holding("orders"sv);
    const std::string line =
        "rc = SQLColumns(stmt" + tracePointer(reinterpret_cast<const void*>(0x6c4e20)) +
        ", (SQLCHAR *) " + traceString(static_cast<const SQLCHAR*>(nullptr), 0) + ", " +
        traceLength(0) + ", (SQLCHAR *) " + traceString(schema.as<SQLCHAR>(), SQL_NTS) + ", " +
        traceLength(SQL_NTS) + ", (SQLCHAR *) " + traceString(table.as<SQLCHAR>(), 6) + ", " +
        traceLength(6) + ", (SQLCHAR *) " + traceString(static_cast<const SQLCHAR*>(nullptr), 0) +
        ", " + traceLength(0) + ");";
    EXPECT_EQ(line,
              "rc = SQLColumns(stmt0x6c4e20, (SQLCHAR *) NULL, 0, (SQLCHAR *) \"sales\", SQL_NTS, "
              "(SQLCHAR *) \"orders\", 6, (SQLCHAR *) NULL, 0);");
}

struct WideCase {
    const char* label;
    std::wstring_view units;  // exactly the buffer
    SQLINTEGER length;
    const char* expected;
};

TEST(TraceWriter, WideStringIsConvertedWithinItsLength) {
    using namespace std::string_view_literals;
    const WideCase cases[] = {
        {"terminated", L"caf\u00e9\0"sv, SQL_NTS, "\"caf\xc3\xa9\""},
        {"unterminated, whole", L"r\u00e9sum\u00e9"sv, 6, "\"r\xc3\xa9sum\xc3\xa9\""},
        {"cut by length", L"orders"sv, 2, "\"or\""},
        {"zero inside the length", L"ab\0cd"sv, 5, "\"ab\""},
        {"beyond the BMP", L"\U0001F600"sv, 1, "\"\xf0\x9f\x98\x80\""},
        {"negative length reads nothing", L"orders"sv, -1, "\"\""},
    };
    for (const WideCase& c : cases) {
        GuardedBuffer buffer(c.units.size() * sizeof(SQLWCHAR));
        std::memcpy(buffer.data(), c.units.data(), buffer.size());
        EXPECT_EQ(traceWideString(buffer.as<SQLWCHAR>(), c.length), c.expected) << c.label;
    }
}

TEST(TraceWriter, NumbersReadThroughPointersAtTheirOwnWidth) {
    auto small = GuardedBuffer::holdingValue<SQLSMALLINT>(-7);
    auto usmall = GuardedBuffer::holdingValue<SQLUSMALLINT>(65535);
    auto integer = GuardedBuffer::holdingValue<SQLINTEGER>(-2000000000);
    auto len = GuardedBuffer::holdingValue<SQLLEN>(-5000000000LL);
    auto ulen = GuardedBuffer::holdingValue<SQLULEN>(5000000000ULL);
    EXPECT_EQ(traceSmallIntOut(small.as<SQLSMALLINT>()), "-7");
    EXPECT_EQ(traceSmallIntOut(usmall.as<SQLUSMALLINT>()), "-1");
    EXPECT_EQ(traceIntegerOut(integer.as<SQLINTEGER>()), "-2000000000");
    EXPECT_EQ(traceLenOut(len.as<SQLLEN>()), "-5000000000");
    EXPECT_EQ(traceLenOut(ulen.as<SQLULEN>()), "5000000000");
    EXPECT_EQ(traceSmallIntOut(static_cast<const SQLSMALLINT*>(nullptr)), "NULL");
    EXPECT_EQ(traceIntegerOut(nullptr), "NULL");
    EXPECT_EQ(traceLenOut(static_cast<const SQLLEN*>(nullptr)), "NULL");
}

TEST(TraceWriter, PointersAreLowercaseHexWithoutPadding) {
    EXPECT_EQ(tracePointer(nullptr), "0x0");
    EXPECT_EQ(tracePointer(reinterpret_cast<const void*>(0x6c4e20)), "0x6c4e20");
    EXPECT_EQ(tracePointer(reinterpret_cast<const void*>(0xABCDEFULL)), "0xabcdef");
    EXPECT_EQ(tracePointer(reinterpret_cast<const void*>(UINTPTR_MAX)), "0xffffffffffffffff");
}

struct NameCase {
    std::string rendered;
    const char* expected;
};

TEST(TraceWriter, NamedValuesAndTheUnsignedFallback) {
    const NameCase cases[] = {
        {traceSqlType(-99), "unknown (4294967197)"},
        {traceSqlType(SQL_WLONGVARCHAR), "SQL_WLONGVARCHAR"},
        {traceReturnCode(SQL_NO_DATA), "SQL_NO_DATA"},
        {traceReturnCode(SQL_INVALID_HANDLE), "SQL_INVALID_HANDLE"},
        {traceReturnCode(3), "unknown (3)"},
        {traceHandleType(SQL_HANDLE_DESC), "SQL_HANDLE_DESC"},
        {traceEnvAttribute(SQL_ATTR_OUTPUT_NTS), "SQL_ATTR_OUTPUT_NTS"},
        {traceConnectAttribute(30002), "30002"},
        {traceInfoType(SQL_MAX_OWNER_NAME_LEN), "SQL_MAX_SCHEMA_NAME_LEN"},
        {traceStatementAttribute(SQL_ATTR_CURSOR_SCROLLABLE), "SQL_ATTR_CURSOR_SCROLLABLE"},
        {traceDescriptorField(SQL_DESC_FIXED_PREC_SCALE), "SQL_COLUMN_MONEY"},
        {traceCType(SQL_C_BOOKMARK), "SQL_C_ULONG"},
        {traceCType(SQL_C_DEFAULT), "SQL_C_DEFAULT"},
        {traceDriverCompletion(SQL_DRIVER_NOPROMPT), "SQL_DRIVER_NOPROMPT"},
        {traceParamType(SQL_PARAM_OUTPUT), "SQL_PARAM_OUTPUT"},
        {traceDiagIdentifier(SQL_DIAG_CURSOR_ROW_COUNT), "SQL_DIAG_CURSOR_ROW_COUNT"},
        {traceFetchOrientation(SQL_FETCH_BOOKMARK), "SQL_FETCH_BOOKMARK"},
        {traceCompletionType(SQL_ROLLBACK), "SQL_ROLLBACK"},
        {traceSetPosOperation(SQL_DELETE), "SQL_DELETE"},
        {traceSetPosOperation(SQL_ADD), "unknown (4)"},
        {traceLockType(SQL_LOCK_UNLOCK), "SQL_LOCK_UNLOCK"},
        {traceBulkOperation(SQL_FETCH_BY_BOOKMARK), "SQL_FETCH_BY_BOOKMARK"},
        {traceIdentifierType(SQL_ROWVER), "SQL_ROWVER"},
        {traceScope(SQL_SCOPE_SESSION), "SQL_SCOPE_SESSION"},
        {traceNullable(SQL_NO_NULLS), "SQL_NO_NULLS"},
        {traceUnique(SQL_INDEX_ALL), "SQL_INDEX_ALL"},
        {traceAccuracy(SQL_QUICK), "SQL_QUICK"},
        {traceFreeStmtOption(SQL_RESET_PARAMS), "SQL_RESET_PARAMS"},
        {traceFreeStmtOption(-1), "unknown (4294967295)"},
        {traceValueLength(SQL_IS_POINTER), "SQL_IS_POINTER"},
        {traceValueLength(SQL_IS_UINTEGER), "SQL_IS_UINTEGER"},
        {traceValueLength(SQL_IS_INTEGER), "SQL_IS_INTEGER"},
        {traceValueLength(SQL_IS_USMALLINT), "SQL_IS_USMALLINT"},
        {traceValueLength(SQL_IS_SMALLINT), "SQL_IS_SMALLINT"},
        {traceValueLength(SQL_NTS), "-3"},
        {traceValueLength(-9), "-9"},
        {traceValueLength(256), "256"},
        {traceTypeInfoType(SQL_ALL_TYPES), "SQL_ALL_TYPES"},
        {traceTypeInfoType(SQL_TYPE_TIMESTAMP), "SQL_TYPE_TIMESTAMP"},
        {traceFunctionId(SQL_API_ALL_FUNCTIONS), "SQL_API_ALL_FUNCTIONS"},
        {traceFunctionId(SQL_API_ODBC3_ALL_FUNCTIONS), "SQL_API_ODBC3_ALL_FUNCTIONS"},
        {traceFunctionId(SQL_API_SQLCOLATTRIBUTES), "SQL_API_SQLCOLATTRIBUTE"},
        {traceFunctionId(SQL_API_SQLFETCHSCROLL), "SQL_API_SQLFETCHSCROLL"},
        {traceFunctionId(25), "unknown (25)"},
    };
    for (const NameCase& c : cases) {
        EXPECT_EQ(c.rendered, c.expected);
    }
}

struct FlagCase {
    SQLUINTEGER mask;
    TraceNameTable table;
    const char* expected;
};

TEST(TraceWriter, FlagsInTableOrderWithDecimalFallback) {
    const FlagCase cases[] = {
        {0, traceNames::txnIsolationFlags, "0"},
        {1u << 28, traceNames::txnIsolationFlags, "268435456"},
        {SQL_TXN_SERIALIZABLE | SQL_TXN_READ_UNCOMMITTED, traceNames::txnIsolationFlags,
         "SQL_TXN_READ_UNCOMMITTED | SQL_TXN_SERIALIZABLE"},
        {SQL_TXN_READ_COMMITTED | (1u << 28), traceNames::txnIsolationFlags,
         "SQL_TXN_READ_COMMITTED"},
        {0xFFFFFFFFu, traceNames::trueFalse, "SQL_TRUE"},
        {5, {}, "5"},
    };
    for (const FlagCase& c : cases) {
        EXPECT_EQ(traceFlags(c.mask, c.table), c.expected) << c.mask;
    }
}

struct IndicatorCase {
    SQLLEN value;
    const char* expected;
};

TEST(TraceWriter, IndicatorsByNameAndDataAtExecLengths) {
    const IndicatorCase cases[] = {
        {0, "0"},
        {17, "17"},
        {5000000000LL, "5000000000"},
        {SQL_NULL_DATA, "SQL_NULL_DATA"},
        {SQL_DATA_AT_EXEC, "SQL_DATA_AT_EXEC"},
        {SQL_NTS, "SQL_NTS"},
        {SQL_NO_TOTAL, "SQL_NO_TOTAL"},
        {SQL_COLUMN_IGNORE, "SQL_COLUMN_IGNORE"},
        {-5, "SQL_LEN_DATA_AT_EXEC( -95 )"},
        {-7, "SQL_LEN_DATA_AT_EXEC( -93 )"},
        {SQL_LEN_DATA_AT_EXEC(0), "SQL_LEN_DATA_AT_EXEC( 0 )"},
        {SQL_LEN_DATA_AT_EXEC(50), "SQL_LEN_DATA_AT_EXEC( 50 )"},
        {LLONG_MIN, "SQL_LEN_DATA_AT_EXEC( 9223372036854775708 )"},
    };
    for (const IndicatorCase& c : cases) {
        auto buffer = GuardedBuffer::holdingValue<SQLLEN>(c.value);
        EXPECT_EQ(traceIndicator(buffer.as<SQLLEN>()), c.expected) << c.value;
    }
    EXPECT_EQ(traceIndicator(nullptr), "NULL");
}

struct SupportedCase {
    const char* label;
    SQLUSMALLINT functionId;
    std::vector<SQLUSMALLINT> setIds;  // entries or bits that are set
    const char* expected;
};

std::size_t supportedSize(SQLUSMALLINT functionId) {
    switch (functionId) {
        case SQL_API_ODBC3_ALL_FUNCTIONS:
            return SQL_API_ODBC3_ALL_FUNCTIONS_SIZE;
        case SQL_API_ALL_FUNCTIONS:
            return 100;
        default:
            return 1;
    }
}

TEST(TraceWriter, SupportedFunctionsOfEachAnswerShape) {
    const SupportedCase cases[] = {
        {"bitmap names 6 twice",
         SQL_API_ODBC3_ALL_FUNCTIONS,
         {6},
         "SQL_API_SQLCOLATTRIBUTE | SQL_API_SQLCOLATTRIBUTE"},
        {"bitmap in table order",
         SQL_API_ODBC3_ALL_FUNCTIONS,
         {1021, 1, 1001},
         "SQL_API_SQLALLOCCONNECT | SQL_API_SQLALLOCHANDLE | SQL_API_SQLFETCHSCROLL"},
        {"bitmap bit outside the table", SQL_API_ODBC3_ALL_FUNCTIONS, {25}, ""},
        {"empty bitmap", SQL_API_ODBC3_ALL_FUNCTIONS, {}, ""},
        {"array entry outside the table", SQL_API_ALL_FUNCTIONS, {25}, "unknown (25)"},
        {"array in index order",
         SQL_API_ALL_FUNCTIONS,
         {40, 1, 99},
         "SQL_API_SQLALLOCCONNECT | SQL_API_SQLCOLUMNS | unknown (99)"},
        {"one function supported", SQL_API_SQLFETCH, {0}, "SQL_TRUE"},
        {"one function not supported", SQL_API_SQLFETCH, {}, "SQL_FALSE"},
    };
    for (const SupportedCase& c : cases) {
        const std::size_t count = supportedSize(c.functionId);
        GuardedBuffer buffer(count * sizeof(SQLUSMALLINT));
        std::vector<SQLUSMALLINT> words(count, 0);
        for (SQLUSMALLINT id : c.setIds) {
            if (c.functionId == SQL_API_ODBC3_ALL_FUNCTIONS) {
                words[id / 16] |= static_cast<SQLUSMALLINT>(1u << (id % 16));
            } else {
                words[id] = SQL_TRUE;
            }
        }
        std::memcpy(buffer.data(), words.data(), buffer.size());
        EXPECT_EQ(traceSupportedFunctions(c.functionId, buffer.as<SQLUSMALLINT>()), c.expected)
            << c.label;
    }
    auto odd = GuardedBuffer::holdingValue<SQLUSMALLINT>(7);
    EXPECT_EQ(traceSupportedFunctions(SQL_API_SQLFETCH, odd.as<SQLUSMALLINT>()), "unknown (7)");
    EXPECT_EQ(traceSupportedFunctions(SQL_API_SQLFETCH, nullptr), "NULL");
}

// Year-month-day hour:minute:second.microseconds, each field plain digits
// with no leading zero.
bool isUnpaddedTimestamp(std::string_view text) {
    constexpr std::string_view separators = "-- ::.";
    std::size_t field = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        const bool atEnd = i == text.size();
        if (!atEnd && text[i] >= '0' && text[i] <= '9') {
            continue;
        }
        const std::string_view digits = text.substr(start, i - start);
        if (digits.empty() || (digits.size() > 1 && digits[0] == '0')) {
            return false;
        }
        if (atEnd) {
            return field == separators.size();
        }
        if (field >= separators.size() || text[i] != separators[field]) {
            return false;
        }
        ++field;
        start = i + 1;
    }
    return false;
}

TEST(TraceWriter, TimestampFormCheckRejectsPadding) {
    EXPECT_TRUE(isUnpaddedTimestamp("2026-3-7 9:5:3.41"));
    EXPECT_FALSE(isUnpaddedTimestamp("2026-03-7 9:5:3.41"));
    EXPECT_FALSE(isUnpaddedTimestamp("2026-3-7 9:5:3.041"));
    EXPECT_FALSE(isUnpaddedTimestamp("2026-3-7 9:5:3"));
    EXPECT_FALSE(isUnpaddedTimestamp("2026-3-7  9:5:3.1"));
}

class TraceTimestamp : public ::testing::Test {
  protected:
    void SetUp() override { tzset(); }
    void TearDown() override {
        zone_.reset();
        tzset();
    }

  private:
    std::optional<ScopedEnv> zone_{std::in_place, "TZ", "UTC0"};
};

struct TimestampCase {
    const char* utc;  // seconds since the epoch for this UTC time
    time_t seconds;
    long nanoseconds;
    const char* expected;
};

TEST_F(TraceTimestamp, NoFieldIsPadded) {
    const TimestampCase cases[] = {
        {"2026-03-07 09:05:03.000041", 1772874303, 41000, "2026-3-7 9:5:3.41"},
        {"2026-03-07 14:05:09.604120", 1772892309, 604120000, "2026-3-7 14:5:9.604120"},
        {"1999-12-31 23:59:59.999999", 946684799, 999999999, "1999-12-31 23:59:59.999999"},
        {"1970-01-01 00:00:00.000000", 0, 999, "1970-1-1 0:0:0.0"},
    };
    for (const TimestampCase& c : cases) {
        EXPECT_EQ(traceTimestampAt(timespec{c.seconds, c.nanoseconds}), c.expected) << c.utc;
    }
}

TEST_F(TraceTimestamp, CurrentTimeHasTheSameForm) {
    const std::string now = traceTimestamp();
    EXPECT_TRUE(isUnpaddedTimestamp(now)) << now;
}

class RecordingSink : public TraceSink {
  public:
    bool isTracing() const override { return true; }
    void writeTrace(std::string_view text) override { writes.emplace_back(text); }
    std::string productName() const override { return "product"; }
    std::string vendorName() const override { return "vendor"; }

    std::vector<std::string> writes;
};

TEST(TraceWriter, LinesOfEveryCall) {
    const std::string enter = traceEnterLine();
    ASSERT_EQ(enter.rfind("// ENTER: ", 0), 0u) << enter;
    EXPECT_TRUE(isUnpaddedTimestamp(enter.substr(10))) << enter;

    const std::string exit = traceExitLine(SQL_NO_DATA);
    const std::string tail = "  rc: SQL_NO_DATA";
    ASSERT_EQ(exit.rfind("// EXIT: ", 0), 0u) << exit;
    ASSERT_GT(exit.size(), 9 + tail.size()) << exit;
    EXPECT_EQ(exit.substr(exit.size() - tail.size()), tail);
    EXPECT_TRUE(isUnpaddedTimestamp(exit.substr(9, exit.size() - 9 - tail.size()))) << exit;
    EXPECT_EQ(traceReturnLine(SQL_SUCCESS_WITH_INFO), "// rc: SQL_SUCCESS_WITH_INFO");
    EXPECT_EQ(traceExceptionLine("std::bad_alloc"), "// Exception: std::bad_alloc");
}

TEST(TraceWriter, OneLineIsOneWriteEndingInANewline) {
    RecordingSink sink;
    writeTraceLine(sink, "rc = SQLFreeStmt(stmt0x10, SQL_CLOSE);");
    writeTraceLine(sink, "");
    ASSERT_EQ(sink.writes.size(), 2u);
    EXPECT_EQ(sink.writes[0], "rc = SQLFreeStmt(stmt0x10, SQL_CLOSE);\n");
    EXPECT_EQ(sink.writes[1], "\n");
}

}  // namespace
