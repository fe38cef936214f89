#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "driver/core/CursorRecordset.h"
#include "driver/core/Descriptor.h"
#include "driver/core/DescriptorRecord.h"
#include "driver/core/Statement.h"
#include "tests/core/StatementTestSupport.h"

using namespace stmt_test;

namespace {

const SQLCHAR* sql(const char* text) {
    return reinterpret_cast<const SQLCHAR*>(text);
}

class ExecutionTest : public ::testing::Test, public StatementFixture {
  protected:
    // Runs "v = ?" with one parameter and returns the text that was sent,
    // or "" when nothing was.
    std::string spliced(SQLSMALLINT cType, SQLSMALLINT sqlType, void* value, SQLLEN bufferLength,
                        SQLLEN* indicator) {
        connection.sent.clear();
        statement.freeStmt(SQL_RESET_PARAMS);
        EXPECT_TRUE(SQL_SUCCEEDED(statement.bindParameter(1, SQL_PARAM_INPUT, cType, sqlType, 0, 0,
                                                          value, bufferLength, indicator)));
        lastResult = statement.execDirect(sql("v = ?"), SQL_NTS);
        return connection.sent.empty() ? std::string() : connection.sent.back();
    }

    SQLRETURN lastResult = SQL_SUCCESS;
};

TEST_F(ExecutionTest, PrepareCountsMarkersOutsideQuotes) {
    const struct {
        const char* text;
        SQLSMALLINT markers;
    } cases[] = {
        {"select * from t where a = ?", 1},
        {"select '?' , ? from t", 1},
        {"insert into t values (?, ?, \"col?\", `x?`)", 2},
        {"select 'it\\'s ?', ?", 1},
        {"select 1", 0},
        {"", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(statement.prepare(sql(c.text), SQL_NTS), SQL_SUCCESS);
        SQLSMALLINT count = -1;
        EXPECT_EQ(statement.numParams(&count), SQL_SUCCESS);
        EXPECT_EQ(count, c.markers);
        EXPECT_EQ(statement.state(), StatementState::Prepared);
    }
}

// Every application type's literal, spliced for one SQL type.
struct LiteralCase {
    const char* name;
    SQLSMALLINT cType;
    SQLSMALLINT sqlType;
    std::vector<unsigned char> bytes;
    SQLLEN indicator;
    const char* expected;  // null: refused with `state`
    const char* state = "";
};

template <typename T>
std::vector<unsigned char> bytesOf(T value) {
    std::vector<unsigned char> bytes(sizeof value);
    std::memcpy(bytes.data(), &value, sizeof value);
    return bytes;
}

std::vector<unsigned char> textBytes(const char* text, bool terminated = true) {
    std::vector<unsigned char> bytes(text, text + std::strlen(text));
    if (terminated) {
        bytes.push_back(0);
    }
    return bytes;
}

std::vector<unsigned char> wideBytes(const wchar_t* text) {
    std::vector<unsigned char> bytes((std::wcslen(text) + 1) * sizeof(wchar_t));
    std::memcpy(bytes.data(), text, bytes.size());
    return bytes;
}

SQL_DATE_STRUCT date(SQLSMALLINT y, SQLUSMALLINT m, SQLUSMALLINT d) {
    return {y, m, d};
}

SQL_TIMESTAMP_STRUCT timestamp(SQLUINTEGER fraction) {
    return {2024, 3, 5, 1, 2, 3, fraction};
}

TEST_F(ExecutionTest, EveryApplicationTypeHasItsLiteral) {
    const LiteralCase cases[] = {
        {"long for integer", SQL_C_LONG, SQL_INTEGER, bytesOf<SQLINTEGER>(42), 0, "v = 42"},
        {"long for varchar", SQL_C_LONG, SQL_VARCHAR, bytesOf<SQLINTEGER>(42), 0, "v = '42'"},
        {"slong negative", SQL_C_SLONG, SQL_INTEGER, bytesOf<SQLINTEGER>(-5), 0, "v = -5"},
        {"ulong above 2^31", SQL_C_ULONG, SQL_BIGINT, bytesOf<SQLUINTEGER>(4000000000u), 0,
         "v = 4000000000"},
        {"utinyint", SQL_C_UTINYINT, SQL_TINYINT, bytesOf<unsigned char>(255), 0, "v = 255"},
        {"stinyint", SQL_C_STINYINT, SQL_TINYINT, bytesOf<signed char>(-128), 0, "v = -128"},
        {"tinyint", SQL_C_TINYINT, SQL_TINYINT, bytesOf<signed char>(7), 0, "v = 7"},
        {"bit", SQL_C_BIT, SQL_BIT, bytesOf<unsigned char>(1), 0, "v = 1"},
        {"ushort", SQL_C_USHORT, SQL_SMALLINT, bytesOf<SQLUSMALLINT>(65535), 0, "v = 65535"},
        {"sshort", SQL_C_SSHORT, SQL_SMALLINT, bytesOf<SQLSMALLINT>(-32768), 0, "v = -32768"},
        {"short", SQL_C_SHORT, SQL_SMALLINT, bytesOf<SQLSMALLINT>(12), 0, "v = 12"},
        {"ubigint max", SQL_C_UBIGINT, SQL_BIGINT,
         bytesOf<SQLUBIGINT>(std::numeric_limits<SQLUBIGINT>::max()), 0,
         "v = 18446744073709551615"},
        {"sbigint min", SQL_C_SBIGINT, SQL_BIGINT,
         bytesOf<SQLBIGINT>(std::numeric_limits<SQLBIGINT>::min()), 0, "v = -9223372036854775808"},
        {"double", SQL_C_DOUBLE, SQL_DOUBLE, bytesOf(2.5), 0, "v = 2.5"},
        {"double huge", SQL_C_DOUBLE, SQL_DOUBLE, bytesOf(-1.7976931348623157e308), 0,
         "v = -1.7976931348623157e+308"},
        {"double full precision", SQL_C_DOUBLE, SQL_DOUBLE, bytesOf(0.1 + 0.2), 0,
         "v = 0.30000000000000004"},
        {"double tiny", SQL_C_DOUBLE, SQL_DOUBLE, bytesOf(1e-300), 0, "v = 1e-300"},
        {"float", SQL_C_FLOAT, SQL_REAL, bytesOf(2.5f), 0, "v = 2.5"},
        {"float shortest", SQL_C_FLOAT, SQL_REAL, bytesOf(0.1f), 0, "v = 0.1"},
        {"double infinite", SQL_C_DOUBLE, SQL_DOUBLE,
         bytesOf(std::numeric_limits<double>::infinity()), 0, nullptr, "22003"},
        {"char escaped", SQL_C_CHAR, SQL_VARCHAR, textBytes("O'Brien\\x"), SQL_NTS,
         "v = 'O\\'Brien\\\\x'"},
        {"binary hex", SQL_C_BINARY, SQL_VARBINARY, textBytes("O'Brien\\x", false), 9,
         "v = X'4f27427269656e5c78'"},
        {"binary empty", SQL_C_BINARY, SQL_VARBINARY, textBytes("ab", false), 0, "v = X''"},
        {"binary up to the NUL", SQL_C_BINARY, SQL_VARBINARY, textBytes("ab"), SQL_NTS,
         "v = X'6162'"},
        {"char with length", SQL_C_CHAR, SQL_VARCHAR, textBytes("abcdef"), 3, "v = 'abc'"},
        {"char empty", SQL_C_CHAR, SQL_VARCHAR, textBytes("abc"), 0, "v = ''"},
        {"injection into integer", SQL_C_CHAR, SQL_INTEGER, textBytes("1); DROP TABLE t; --"),
         SQL_NTS, "v = '1); DROP TABLE t; --'"},
        {"number text into integer", SQL_C_CHAR, SQL_INTEGER, textBytes(" 42 "), SQL_NTS, "v = 42"},
        {"exponent text into double", SQL_C_CHAR, SQL_DOUBLE, textBytes("-1.5e3"), SQL_NTS,
         "v = -1.5e3"},
        {"quote in text for integer", SQL_C_CHAR, SQL_INTEGER, textBytes("1' OR '1'='1"), SQL_NTS,
         "v = '1\\' OR \\'1\\'=\\'1'"},
        {"wide text", SQL_C_WCHAR, SQL_WVARCHAR, wideBytes(L"h\u00e9 'x'"), SQL_NTS,
         "v = 'h\xc3\xa9 \\'x\\''"},
        {"wide with byte length", SQL_C_WCHAR, SQL_VARCHAR, wideBytes(L"abcd"), 2 * sizeof(wchar_t),
         "v = 'ab'"},
        {"date", SQL_C_TYPE_DATE, SQL_TYPE_DATE, bytesOf(date(2024, 3, 5)), 0,
         "v = {d '2024-03-05' }"},
        {"date for varchar quoted once", SQL_C_TYPE_DATE, SQL_VARCHAR, bytesOf(date(2024, 3, 5)), 0,
         "v = '2024-03-05'"},
        {"time for timestamp", SQL_C_TYPE_TIME, SQL_TYPE_TIMESTAMP,
         bytesOf(SQL_TIME_STRUCT{7, 8, 9}), 0, "v = {ts '   0-00-00 07:08:09.000000000' }"},
        {"timestamp nine digits", SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP,
         bytesOf(timestamp(5000000)), 0, "v = {ts '2024-03-05 01:02:03.005000000' }"},
        {"timestamp for date", SQL_C_TIMESTAMP, SQL_DATE, bytesOf(timestamp(0)), 0,
         "v = {d '2024-03-05' }"},
        {"timestamp for time", SQL_C_TIMESTAMP, SQL_TYPE_TIME, bytesOf(timestamp(0)), 0,
         "v = {t '01:02:03' }"},
        {"timestamp for char", SQL_C_TYPE_TIMESTAMP, SQL_CHAR, bytesOf(timestamp(123)), 0,
         "v = '2024-03-05 01:02:03.000000123'"},
        {"date for integer", SQL_C_TYPE_DATE, SQL_INTEGER, bytesOf(date(2024, 3, 5)), 0, nullptr,
         "07006"},
        {"numeric", SQL_C_NUMERIC, SQL_NUMERIC, std::vector<unsigned char>(19, 0), 0, nullptr,
         "07006"},
        {"guid", SQL_C_GUID, SQL_GUID, std::vector<unsigned char>(16, 0), 0, nullptr, "07006"},
        {"null", SQL_C_LONG, SQL_INTEGER, bytesOf<SQLINTEGER>(1), SQL_NULL_DATA, "v = NULL"},
    };
    for (const LiteralCase& c : cases) {
        SCOPED_TRACE(c.name);
        // Exactly the value's bytes, so the sanitizer build sees any overread.
        std::vector<unsigned char> value = c.bytes;
        SQLLEN indicator = c.indicator;
        const std::string sent = spliced(c.cType, c.sqlType, value.data(),
                                         static_cast<SQLLEN>(value.size()), &indicator);
        if (c.expected != nullptr) {
            EXPECT_EQ(lastResult, SQL_SUCCESS);
            EXPECT_EQ(sent, c.expected);
        } else {
            EXPECT_EQ(lastResult, SQL_ERROR);
            EXPECT_EQ(firstState(), c.state);
            EXPECT_EQ(sent, "");
        }
    }
}

// Hosts that send 16-bit wide parameters: lengths count 2-byte units.
TEST_F(ExecutionTest, SixteenBitWideParameters) {
    connection.setWideParameter16Bits(true);
    // "h", e with acute, U+1D11E as a surrogate pair, "'", then a zero unit.
    std::vector<std::uint16_t> units = {0x68, 0xE9, 0xD834, 0xDD1E, 0x27, 0, 0x41};
    SQLLEN nts = SQL_NTS;
    EXPECT_EQ(spliced(SQL_C_WCHAR, SQL_VARCHAR, units.data(), 14, &nts),
              "v = 'h\xc3\xa9\xf0\x9d\x84\x9e\\''");
    SQLLEN two = 4;
    EXPECT_EQ(spliced(SQL_C_WCHAR, SQL_VARCHAR, units.data(), 14, &two), "v = 'h\xc3\xa9'");
}

TEST_F(ExecutionTest, DefaultTypeFollowsTheConnection) {
    SQLINTEGER value = 9;
    SQLLEN indicator = 0;
    ASSERT_EQ(connection.defaultCType(SQL_INTEGER), SQL_C_SLONG);
    EXPECT_EQ(spliced(SQL_C_DEFAULT, SQL_INTEGER, &value, 0, &indicator), "v = 9");
}

TEST_F(ExecutionTest, MarkersInsideLiteralsStayPut) {
    char first[] = "why?";
    char second[] = "it's";
    SQLLEN nts = SQL_NTS;
    statement.bindParameter(1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 10, 0, first, 0, &nts);
    statement.bindParameter(2, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 10, 0, second, 0, &nts);
    ASSERT_EQ(statement.execDirect(sql("select '?', ? , ?"), SQL_NTS), SQL_SUCCESS);
    ASSERT_EQ(connection.sent.size(), 1u);
    EXPECT_EQ(connection.sent[0], "select '?', 'why?' , 'it\\'s'");
}

// The length or indicator is read when the statement runs, not when the
// parameter was bound.
TEST_F(ExecutionTest, LengthIsReadAtExecution) {
    char text[] = "abcdef";
    SQLLEN indicator = SQL_NULL_DATA;
    statement.bindParameter(1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 10, 0, text, 0,
                            &indicator);
    const struct {
        SQLLEN indicator;
        const char* expected;
    } steps[] = {{3, "v = 'abc'"}, {SQL_NULL_DATA, "v = NULL"}, {SQL_NTS, "v = 'abcdef'"}};
    for (const auto& step : steps) {
        indicator = step.indicator;
        connection.sent.clear();
        ASSERT_EQ(statement.execDirect(sql("v = ?"), SQL_NTS), SQL_SUCCESS);
        ASSERT_EQ(connection.sent.size(), 1u);
        EXPECT_EQ(connection.sent[0], step.expected);
    }
    indicator = SQL_DATA_AT_EXEC;
    EXPECT_EQ(statement.execDirect(sql("v = ?"), SQL_NTS), SQL_NEED_DATA);
}

TEST_F(ExecutionTest, TextWithoutLengthStopsAtTheBufferEnd) {
    // No NUL inside the buffer: the buffer length bounds the read.
    std::vector<char> text = {'a', 'b', 'c'};
    statement.bindParameter(1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 3, 0, text.data(), 3,
                            nullptr);
    ASSERT_EQ(statement.execDirect(sql("v = ?"), SQL_NTS), SQL_SUCCESS);
    EXPECT_EQ(connection.sent.back(), "v = 'abc'");
}

TEST_F(ExecutionTest, ColumnWiseParameterArrays) {
    SQLINTEGER values[3] = {1, 2, 3};
    SQLLEN indicators[3] = {0, SQL_NULL_DATA, 0};
    statement.setStmtAttr(SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(3), 0);
    statement.bindParameter(1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, values, 0,
                            indicators);
    ASSERT_EQ(statement.execDirect(sql("v = ?"), SQL_NTS), SQL_SUCCESS);
    EXPECT_EQ(connection.sent, (TextLog{"v = 1", "v = NULL", "v = 3"}));
}

TEST_F(ExecutionTest, RowWiseParameterArraysWithBindOffset) {
    struct Row {
        char name[6];
        SQLLEN nameLength;
        double amount;
        SQLLEN amountIndicator;
    };
    Row rows[4] = {{"zero", SQL_NTS, 0.0, 0},
                   {"ann", SQL_NTS, 1.5, 0},
                   {"bo'b", 2, 2.25, 0},
                   {"cy", SQL_NTS, 0.0, SQL_NULL_DATA}};
    SQLLEN offset = sizeof(Row);  // start at the second row
    statement.setStmtAttr(SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(3), 0);
    statement.setStmtAttr(SQL_ATTR_PARAM_BIND_TYPE, reinterpret_cast<SQLPOINTER>(sizeof(Row)), 0);
    statement.setStmtAttr(SQL_ATTR_PARAM_BIND_OFFSET_PTR, &offset, 0);
    statement.bindParameter(1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 6, 0, rows[0].name,
                            sizeof rows[0].name, &rows[0].nameLength);
    statement.bindParameter(2, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 0, 0, &rows[0].amount, 0,
                            &rows[0].amountIndicator);
    ASSERT_EQ(statement.execDirect(sql("insert into t values (?, ?)"), SQL_NTS), SQL_SUCCESS);
    EXPECT_EQ(connection.sent,
              (TextLog{"insert into t values ('ann', 1.5)", "insert into t values ('bo', 2.25)",
                       "insert into t values ('cy', NULL)"}));
}

TEST_F(ExecutionTest, DataAtExecutionCollectsPieces) {
    SQLLEN indicator = SQL_DATA_AT_EXEC;
    char token[] = "token";
    statement.bindParameter(1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 10, 0, token, 0,
                            &indicator);
    ASSERT_EQ(statement.execDirect(sql("v = ?"), SQL_NTS), SQL_NEED_DATA);
    EXPECT_TRUE(connection.sent.empty());
    SQLPOINTER asked = nullptr;
    ASSERT_EQ(statement.paramData(&asked), SQL_NEED_DATA);
    EXPECT_EQ(asked, token);
    char first[] = "abc";
    char second[] = "de'";
    EXPECT_EQ(statement.putData(first, SQL_NTS), SQL_SUCCESS);
    EXPECT_EQ(statement.putData(second, 2), SQL_SUCCESS);
    EXPECT_EQ(statement.paramData(&asked), SQL_SUCCESS);
    ASSERT_EQ(connection.sent.size(), 1u);
    EXPECT_EQ(connection.sent[0], "v = 'abcde'");
    EXPECT_EQ(statement.state(), StatementState::Executed);

    // The next execution starts without the collected data.
    EXPECT_EQ(statement.execDirect(sql("v = ?"), SQL_NTS), SQL_NEED_DATA);
}

TEST_F(ExecutionTest, DataAtExecutionPieces) {
    const struct {
        const char* name;
        std::vector<std::pair<const char*, SQLLEN>> pieces;
        SQLRETURN lastPut;
        const char* state;
        const char* expected;
    } cases[] = {
        {"null first", {{"x", SQL_NULL_DATA}}, SQL_SUCCESS, "", "v = NULL"},
        {"empty piece", {{"zzz", 0}}, SQL_SUCCESS, "", "v = ''"},
        {"empty then text", {{"zzz", 0}, {"ab", 2}}, SQL_SUCCESS, "", "v = 'ab'"},
        {"null after data is ignored",
         {{"ab", 2}, {"x", SQL_NULL_DATA}},
         SQL_SUCCESS,
         "",
         "v = 'ab'"},
        {"bad length", {{"ab", -7}}, SQL_ERROR, "HY090", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        StatementFixture f;
        SQLLEN indicator = SQL_LEN_DATA_AT_EXEC(10);
        char token[] = "t";
        f.statement.bindParameter(1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 10, 0, token, 0,
                                  &indicator);
        ASSERT_EQ(f.statement.execDirect(sql("v = ?"), SQL_NTS), SQL_NEED_DATA);
        SQLPOINTER asked = nullptr;
        ASSERT_EQ(f.statement.paramData(&asked), SQL_NEED_DATA);
        SQLRETURN rc = SQL_SUCCESS;
        for (const auto& [text, length] : c.pieces) {
            std::string piece = text;
            rc = f.statement.putData(piece.data(), length);
        }
        EXPECT_EQ(rc, c.lastPut);
        EXPECT_EQ(f.firstState(), c.state);
        if (c.expected != nullptr) {
            EXPECT_EQ(f.statement.paramData(&asked), SQL_SUCCESS);
            ASSERT_EQ(f.connection.sent.size(), 1u);
            EXPECT_EQ(f.connection.sent[0], c.expected);
        }
    }
}

TEST_F(ExecutionTest, DataAtExecutionOfAFixedSizeType) {
    SQLLEN indicator = SQL_DATA_AT_EXEC;
    SQLINTEGER token = 0;
    statement.bindParameter(1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &token, 0,
                            &indicator);
    ASSERT_EQ(statement.execDirect(sql("v = ?"), SQL_NTS), SQL_NEED_DATA);
    SQLPOINTER asked = nullptr;
    ASSERT_EQ(statement.paramData(&asked), SQL_NEED_DATA);
    SQLINTEGER value = 77;
    // The length of a fixed-size value is its type's; a second piece is refused.
    EXPECT_EQ(statement.putData(&value, 0), SQL_SUCCESS);
    EXPECT_EQ(statement.putData(&value, 4), SQL_ERROR);
    EXPECT_EQ(firstState(), "HY019");
    EXPECT_EQ(statement.paramData(&asked), SQL_SUCCESS);
    EXPECT_EQ(connection.sent.back(), "v = 77");
}

TEST_F(ExecutionTest, DataAtExecutionWithSeveralParameterRowsIsRefused) {
    SQLLEN indicators[2] = {SQL_DATA_AT_EXEC, SQL_DATA_AT_EXEC};
    char tokens[2][4] = {"a", "b"};
    statement.setStmtAttr(SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(2), 0);
    statement.bindParameter(1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 4, 0, tokens, 4,
                            indicators);
    EXPECT_EQ(statement.execDirect(sql("v = ?"), SQL_NTS), SQL_ERROR);
    EXPECT_EQ(firstState(), "HYC00");
    EXPECT_TRUE(connection.sent.empty());
}

TEST_F(ExecutionTest, DescribeParam) {
    statement.prepare(sql("v = ? and w = ?"), SQL_NTS);
    SQLINTEGER value = 0;
    statement.bindParameter(2, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_DECIMAL, 12, 3, &value, 0,
                            nullptr);
    SQLSMALLINT type = 0;
    SQLULEN size = 0;
    SQLSMALLINT digits = 0;
    SQLSMALLINT nullable = -1;
    ASSERT_EQ(statement.describeParam(2, &type, &size, &digits, &nullable), SQL_SUCCESS);
    EXPECT_EQ(type, SQL_DECIMAL);
    EXPECT_EQ(size, 12u);
    EXPECT_EQ(digits, 3);
    EXPECT_EQ(statement.describeParam(3, &type, &size, &digits, &nullable), SQL_ERROR);
    EXPECT_EQ(firstState(), "07009");
    SQLINTEGER unused = 0;
    EXPECT_EQ(statement.bindParameter(0, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &unused,
                                      0, nullptr),
              SQL_ERROR);
    EXPECT_EQ(firstState(), "07009");
}

// A parameter descriptor that warns or fails on chosen fields, to watch
// which diagnostics bindParameter hands on.
class ScriptedDescriptor : public Descriptor {
  public:
    using Descriptor::Descriptor;

    SQLRETURN setDescField(SQLSMALLINT record, SQLSMALLINT field, SQLPOINTER value,
                           SQLINTEGER length) override {
        const SQLRETURN rc = Descriptor::setDescField(record, field, value, length);
        if (field == warnField) {
            diagnostics().prependRecord("01000", 0, "warned", -1, -1);
            return SQL_SUCCESS_WITH_INFO;
        }
        if (field == failField) {
            diagnostics().prependRecord("HY091", 0, "", -1, -1);
            return SQL_ERROR;
        }
        return rc;
    }

    SQLSMALLINT warnField = 0;
    SQLSMALLINT failField = 0;
};

TEST_F(ExecutionTest, BindParameterHandsOnEveryDescriptorDiagnostic) {
    const struct {
        const char* name;
        SQLSMALLINT warn;
        SQLSMALLINT fail;
        SQLRETURN result;
        std::vector<std::string> states;
    } cases[] = {
        {"warning of an early field", SQL_DESC_CONCISE_TYPE, 0, SQL_SUCCESS_WITH_INFO, {"01000"}},
        {"warning then failure",
         SQL_DESC_CONCISE_TYPE,
         SQL_DESC_DATA_PTR,
         SQL_ERROR,
         {"HY091", "01000"}},
        {"failure stops the sequence", 0, SQL_DESC_OCTET_LENGTH, SQL_ERROR, {"HY091"}},
        {"clean", 0, 0, SQL_SUCCESS, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        StatementFixture f;
        ScriptedDescriptor apd(&f.connection, Descriptor::Explicit);
        apd.warnField = c.warn;
        apd.failField = c.fail;
        ASSERT_EQ(f.statement.setStmtAttr(SQL_ATTR_APP_PARAM_DESC, &apd, 0), SQL_SUCCESS);
        SQLINTEGER value = 1;
        EXPECT_EQ(f.statement.bindParameter(1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0,
                                            &value, 0, nullptr),
                  c.result);
        std::vector<std::string> states;
        for (SQLSMALLINT rec = 1; !StatementFixture::stateOf(f.statement, rec).empty(); ++rec) {
            states.push_back(StatementFixture::stateOf(f.statement, rec));
        }
        EXPECT_EQ(states, c.states);
        if (c.fail == SQL_DESC_OCTET_LENGTH) {
            EXPECT_EQ(apd.record(1)->getDataPtr(), nullptr);
        }
    }
}

TEST_F(ExecutionTest, ExecutionStatesAndWarnings) {
    const struct {
        bool result;
        SQLRETURN hook;
        SQLRETURN expected;
        StatementState state;
    } cases[] = {
        {false, SQL_SUCCESS, SQL_SUCCESS, StatementState::Executed},
        {true, SQL_SUCCESS, SQL_SUCCESS, StatementState::ExecutedWithResults},
        {false, SQL_SUCCESS_WITH_INFO, SQL_SUCCESS_WITH_INFO, StatementState::Executed},
        {false, SQL_ERROR, SQL_ERROR, StatementState::Prepared},
        {false, SQL_NO_DATA, SQL_NO_DATA, StatementState::Prepared},
    };
    for (const auto& c : cases) {
        StatementFixture f;
        f.statement.makeResult = c.result;
        f.statement.executeResult = c.hook;
        ASSERT_EQ(f.statement.prepare(sql("select 1"), SQL_NTS), SQL_SUCCESS);
        EXPECT_EQ(f.statement.execute(), c.expected);
        EXPECT_EQ(f.statement.state(), c.state);
        EXPECT_EQ(f.statement.recordset() != nullptr, c.result);
    }
}

TEST_F(ExecutionTest, ANewExecutionDropsTheOldResult) {
    statement.makeResult = true;
    ASSERT_EQ(statement.execDirect(sql("select 1"), SQL_NTS), SQL_SUCCESS);
    ASSERT_NE(statement.recordset(), nullptr);
    statement.makeResult = false;
    ASSERT_EQ(statement.execDirect(sql("delete from t"), SQL_NTS), SQL_SUCCESS);
    EXPECT_EQ(statement.recordset(), nullptr);
    EXPECT_EQ(statement.state(), StatementState::Executed);
    EXPECT_EQ(statement.moreResults(), SQL_NO_DATA);
    EXPECT_TRUE(statement.beforeStart());
}

TEST_F(ExecutionTest, PreparedTextIsKeptAndTraced) {
    environment.tracing = true;
    statement.prepare(sql("select ? from t"), SQL_NTS);
    statement.execute();
    EXPECT_NE(environment.trace.find("// prepared SQL: select ? from t\n"), std::string::npos);
    EXPECT_NE(environment.trace.find("// executing prepared SQL: select ? from t\n"),
              std::string::npos);
    EXPECT_EQ(statement.sqlText(), "select ? from t");
}

// Server-side cursors: only a connection that allows them declares one.
TEST_F(ExecutionTest, ServerCursorDeclaredOpenedAndClosed) {
    connection.serverCursors = true;
    statement.setCursorName(sql("c1"), SQL_NTS);
    ASSERT_EQ(statement.execDirect(sql("  SELECT a from t"), SQL_NTS), SQL_SUCCESS);
    EXPECT_EQ(statement.sqlText(), "declare c1 cursor for   SELECT a from t");
    EXPECT_NE(dynamic_cast<CursorRecordset*>(statement.recordset()), nullptr);
    EXPECT_EQ(statement.state(), StatementState::ExecutedWithResults);
    EXPECT_EQ(statement.storedRowCount(), -1);
    ASSERT_FALSE(connection.sent.empty());
    EXPECT_EQ(connection.sent.front(), "declare c1 cursor for   SELECT a from t");
    EXPECT_NE(std::find(connection.sent.begin(), connection.sent.end(), "open c1"),
              connection.sent.end());

    connection.sent.clear();
    EXPECT_EQ(statement.closeCursor(), SQL_SUCCESS);
    EXPECT_EQ(connection.sent, (TextLog{"close c1"}));
    EXPECT_EQ(statement.recordset(), nullptr);
}

TEST_F(ExecutionTest, PreparedCursorIsDeclaredWithTheNameItOpens) {
    connection.serverCursors = true;
    connection.cursorSensitivity = SQL_INSENSITIVE;
    ASSERT_EQ(statement.setStmtAttr(SQL_ATTR_CONCURRENCY,
                                    reinterpret_cast<SQLPOINTER>(SQL_CONCUR_LOCK), 0),
              SQL_SUCCESS);
    statement.prepare(sql("select a from t"), SQL_NTS);
    for (int round = 0; round < 2; ++round) {
        connection.sent.clear();
        ASSERT_EQ(statement.execute(), SQL_SUCCESS);
        const std::string name = statement.cursorName();
        EXPECT_EQ(connection.sent.front(), "declare " + name + " cursor for select a from t");
        EXPECT_NE(std::find(connection.sent.begin(), connection.sent.end(), "open " + name),
                  connection.sent.end());
        EXPECT_EQ(statement.closeCursor(), SQL_SUCCESS);
    }
}

TEST_F(ExecutionTest, NoCursorWithoutServerCursors) {
    statement.setCursorName(sql("c1"), SQL_NTS);
    ASSERT_EQ(statement.execDirect(sql("select a from t"), SQL_NTS), SQL_SUCCESS);
    EXPECT_EQ(statement.sqlText(), "select a from t");
    EXPECT_EQ(statement.recordset(), nullptr);
    EXPECT_EQ(statement.state(), StatementState::Executed);
}

// Numbers are written the same whatever the process locale.
TEST(ExecutionLocale, DoublesUseAPointUnderAGermanLocale) {
    const std::filesystem::path root =
        std::filesystem::temp_directory_path() / ("stmt-locale-" + std::to_string(getpid()));
    std::filesystem::create_directories(root);
    const std::string command =
        "localedef -i de_DE -f UTF-8 " + (root / "de_DE.UTF-8").string() + " >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0 && !std::filesystem::exists(root / "de_DE.UTF-8")) {
        std::filesystem::remove_all(root);
        GTEST_SKIP() << "localedef cannot make de_DE.UTF-8 here";
    }
    setenv("LOCPATH", root.c_str(), 1);
    const char* previous = std::setlocale(LC_ALL, nullptr);
    const std::string saved = previous != nullptr ? previous : "C";
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr);
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 2.5);
    EXPECT_STREQ(probe, "2,5");  // the locale is really in force

    StatementFixture f;
    double value = 2.5;
    float single = 0.25f;
    f.statement.bindParameter(1, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 0, 0, &value, 0,
                              nullptr);
    f.statement.bindParameter(2, SQL_PARAM_INPUT, SQL_C_FLOAT, SQL_REAL, 0, 0, &single, 0, nullptr);
    const SQLRETURN rc = f.statement.execDirect(sql("v = ? and w = ?"), SQL_NTS);

    std::setlocale(LC_ALL, saved.c_str());
    unsetenv("LOCPATH");
    std::filesystem::remove_all(root);
    EXPECT_EQ(rc, SQL_SUCCESS);
    ASSERT_EQ(f.connection.sent.size(), 1u);
    EXPECT_EQ(f.connection.sent[0], "v = 2.5 and w = 0.25");
}

}  // namespace
