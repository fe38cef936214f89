// Parameter values spliced into the text when parameter binding is off: the
// exact text the adapted driver receives (from the DB2 stand-in's journal),
// per database, for texts, numbers, dates, bytes and NULL; and the direct
// run that the MySQL face uses.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "driver/adapter/ODBCRepeaterStatement.h"
#include "tests/adapter/RepeaterTestSupport.h"
#include "tests/support/SevrinJournalText.h"

using namespace repeater_test;

namespace {

enum class Database { PostgreSQL, Db2Luw, Db2400 };

// A repeater statement on the stand-in answering as `database`, with
// parameter binding off.
struct Session {
    explicit Session(Database database) : dsns("", {{"ParameterBinding", "NO"}}) {
        if (database == Database::Db2400) {
            dsns.library.control("identity", "400");
        } else if (database == Database::PostgreSQL) {
            dsns.library.control("info", "SQL_DBMS_NAME|PostgreSQL");
        }
        EXPECT_EQ(connection.connectStrings("Tarvex", "u", "p"), SQL_SUCCESS);
        statement = std::make_unique<ODBCRepeaterStatement>(&connection);
        dsns.library.clearJournal();
    }
    // The texts the stand-in was asked to run directly.
    std::vector<std::string> executed() const { return journalTexts(dsns.calls("SQLExecDirect")); }

    SevrinDsns dsns;
    RecordingEnvironment environment;
    ODBCRepeaterConnection connection{&environment};
    std::unique_ptr<ODBCRepeaterStatement> statement;
};

// One bound value: its bytes as the application's buffer holds them.
struct Value {
    SQLSMALLINT cType;
    SQLSMALLINT sqlType;
    std::vector<unsigned char> bytes;
    SQLLEN indicator;
};

template <typename T>
Value fixed(SQLSMALLINT cType, SQLSMALLINT sqlType, const T& value) {
    std::vector<unsigned char> bytes(sizeof value);
    std::memcpy(bytes.data(), &value, sizeof value);
    return {cType, sqlType, bytes, static_cast<SQLLEN>(sizeof value)};
}

Value text(const std::string& value, SQLSMALLINT sqlType = SQL_VARCHAR) {
    return {SQL_C_CHAR, sqlType, {value.begin(), value.end()}, static_cast<SQLLEN>(value.size())};
}

Value timestamp() {
    SQL_TIMESTAMP_STRUCT value{2024, 2, 29, 13, 14, 15, 5000000};
    return fixed(SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP, value);
}

Value numeric(SQLCHAR sign, SQLSCHAR scale, std::vector<unsigned char> magnitude) {
    SQL_NUMERIC_STRUCT value{};
    value.precision = 20;
    value.scale = scale;
    value.sign = sign;
    std::memcpy(value.val, magnitude.data(), magnitude.size());
    return fixed(SQL_C_NUMERIC, SQL_NUMERIC, value);
}

struct LiteralCase {
    const char* name;
    Value value;
    const char* postgres;
    const char* db2;
};

// Each value goes first, a plain 7 second: a literal that left its quoted
// run open would keep the second marker from being replaced.
const LiteralCase kLiteralCases[] = {
    {"apostrophe", text("O'Brien"), "E'O''Brien'", "'O''Brien'"},
    {"backslash", text("a\\b"), "E'a\\\\b'", "'a\\b'"},
    {"trailing backslash", text("dir\\"), "E'dir\\\\'", "'dir\\'"},
    {"quoted question", text("'what?'"), "E'''what?'''", "'''what?'''"},
    {"quote after backslash", text("\\'; drop table t; --"), "E'\\\\''; drop table t; --'",
     "'\\''; drop table t; --'"},
    {"wide text",
     {SQL_C_WCHAR, SQL_WVARCHAR, {'O', 0, 0, 0, '\'', 0, 0, 0, 'B', 0, 0, 0}, 12},
     "E'O''B'",
     "'O''B'"},
    {"text as number", text(" 42 ", SQL_INTEGER), "42", "42"},
    {"text not a number", text("1 or 1=1", SQL_INTEGER), "E'1 or 1=1'", "'1 or 1=1'"},
    {"big integer", fixed(SQL_C_SBIGINT, SQL_BIGINT, SQLBIGINT{3000000000}), "3000000000",
     "3000000000"},
    {"negative integer", fixed(SQL_C_SLONG, SQL_INTEGER, SQLINTEGER{-5}), " -5", " -5"},
    {"double", fixed(SQL_C_DOUBLE, SQL_DOUBLE, 0.1234567), "0.1234567", "0.1234567"},
    {"real", fixed(SQL_C_FLOAT, SQL_REAL, 0.1234567f), "0.1234567", "0.1234567"},
    {"number into text column", fixed(SQL_C_SLONG, SQL_VARCHAR, SQLINTEGER{12}), "E'12'", "'12'"},
    {"bit", fixed(SQL_C_BIT, SQL_BIT, static_cast<unsigned char>(1)), "E'1'", "1"},
    {"numeric with scale", numeric(0, 2, {0x39, 0x30}), " -123.45", " -123.45"},
    {"numeric below one", numeric(1, 4, {0x05}), "0.0005", "0.0005"},
    {"numeric 2^64", numeric(1, 0, {0, 0, 0, 0, 0, 0, 0, 0, 1}), "18446744073709551616",
     "18446744073709551616"},
    {"numeric negative scale", numeric(1, -3, {0x0c}), "12000", "12000"},
    {"timestamp", timestamp(), "{ts '2024-02-29 13:14:15.005000000' }",
     "{ts '2024-02-29 13:14:15.005000000' }"},
    {"timestamp into text",
     {SQL_C_TYPE_TIMESTAMP, SQL_VARCHAR, timestamp().bytes, 16},
     "E'2024-02-29 13:14:15.005000000'",
     "'2024-02-29 13:14:15.005000000'"},
    {"bytes",
     {SQL_C_BINARY, SQL_VARBINARY, {0x00, 0x27, 0x5c, 0xff}, 4},
     "E'\\\\x00275cff'::bytea",
     "X'00275cff'"},
    {"null", {SQL_C_CHAR, SQL_VARCHAR, {'x'}, SQL_NULL_DATA}, "NULL", "NULL"},
};

void bindCase(ODBCRepeaterStatement& statement, Value& value, SQLLEN& indicator, SQLINTEGER& seven,
              SQLLEN& sevenIndicator) {
    indicator = value.indicator;
    ASSERT_EQ(statement.bindParameter(1, SQL_PARAM_INPUT, value.cType, value.sqlType, 30, 4,
                                      value.bytes.data(), static_cast<SQLLEN>(value.bytes.size()),
                                      &indicator),
              SQL_SUCCESS);
    ASSERT_EQ(statement.bindParameter(2, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &seven, 0,
                                      &sevenIndicator),
              SQL_SUCCESS);
}

class SplicedLiteralTest : public ::testing::TestWithParam<Database> {};

TEST_P(SplicedLiteralTest, EachValueBecomesTheDatabasesLiteral) {
    const Database database = GetParam();
    for (const LiteralCase& c : kLiteralCases) {
        Session session(database);
        Value value = c.value;
        SQLLEN indicator = 0;
        SQLINTEGER seven = 7;
        SQLLEN sevenIndicator = 0;
        bindCase(*session.statement, value, indicator, seven, sevenIndicator);
        EXPECT_EQ(session.statement->execDirect(sqlText("insert into t values (?, ?)"), SQL_NTS),
                  SQL_SUCCESS)
            << c.name;
        const std::string literal = database == Database::PostgreSQL ? c.postgres : c.db2;
        EXPECT_EQ(session.executed(),
                  std::vector<std::string>{"insert into t values (" + literal + ", 7)"})
            << c.name;
    }
}

INSTANTIATE_TEST_SUITE_P(Databases, SplicedLiteralTest,
                         ::testing::Values(Database::PostgreSQL, Database::Db2Luw,
                                           Database::Db2400));

// A negative value after a minus sign must not open a comment.
TEST(SplicedLiterals, NegativeValueAfterMinusStaysAnExpression) {
    Session session(Database::PostgreSQL);
    SQLINTEGER value = -5;
    SQLLEN indicator = 0;
    ASSERT_EQ(session.statement->bindParameter(1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0,
                                               &value, 0, &indicator),
              SQL_SUCCESS);
    EXPECT_EQ(session.statement->execDirect(
                  sqlText("update t set flag=1, total=total-? where id=3"), SQL_NTS),
              SQL_SUCCESS);
    EXPECT_EQ(session.executed(),
              std::vector<std::string>{"update t set flag=1, total=total- -5 where id=3"});
}

// The MySQL face runs its rewritten text through executeQuery directly: the
// values are spliced there, once, and only without parameter binding.
TEST(SplicedLiterals, DirectRunSplicesTheFirstRowOnce) {
    for (const Database database : {Database::PostgreSQL, Database::Db2Luw}) {
        Session session(database);
        ODBCRepeaterStatement& statement = *session.statement;
        char name[] = "O'Brien";
        SQLLEN nameIndicator = SQL_NTS;
        ASSERT_EQ(statement.bindParameter(1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 20, 0, name,
                                          0, &nameIndicator),
                  SQL_SUCCESS);
        EXPECT_EQ(statement.executeQuery("select * from \"t\" where n = ?", 0), SQL_SUCCESS);
        // Two markers, one value: executeStatement's own run must not splice
        // its result a second time (the stand-in refuses the bare marker).
        statement.execDirect(sqlText("insert into t values (?, ?)"), SQL_NTS);
        const std::string literal = database == Database::PostgreSQL ? "E'O''Brien'" : "'O''Brien'";
        EXPECT_EQ(session.executed(),
                  (std::vector<std::string>{"select * from \"t\" where n = " + literal,
                                            "insert into t values (" + literal + ", ?)"}));
    }
}

TEST(SplicedLiterals, DirectRunWithParameterBindingSendsTheMarker) {
    SevrinDsns dsns;
    RecordingEnvironment environment;
    ODBCRepeaterConnection connection(&environment);
    ASSERT_EQ(connection.connectStrings("Tarvex", "u", "p"), SQL_SUCCESS);
    ODBCRepeaterStatement statement(&connection);
    dsns.library.clearJournal();
    char name[] = "O'Brien";
    SQLLEN indicator = SQL_NTS;
    ASSERT_EQ(statement.bindParameter(1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 20, 0, name, 0,
                                      &indicator),
              SQL_SUCCESS);
    EXPECT_EQ(statement.executeQuery("select * from t where n = ?", 0), SQL_SUCCESS);
    const auto calls = dsns.calls("SQLExecDirect");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(journalText(calls[0]), "select * from t where n = ?");
    bool sentNatively = false;
    for (const std::string& line : dsns.library.journalLines()) {
        sentNatively = sentNatively || line.find("data=4f27427269656e") != std::string::npos;
    }
    EXPECT_TRUE(sentNatively);
}

// SQLFreeStmt(SQL_RESET_PARAMS) forgets spliced bindings too (the MySQL
// face resets its pattern parameters so before freeing their buffers).
TEST(SplicedLiterals, ResetParametersForgetsSplicedValues) {
    Session session(Database::PostgreSQL);
    ODBCRepeaterStatement& statement = *session.statement;
    SQLINTEGER value = 5;
    SQLLEN indicator = 0;
    ASSERT_EQ(statement.bindParameter(1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &value, 0,
                                      &indicator),
              SQL_SUCCESS);
    EXPECT_TRUE(SQL_SUCCEEDED(statement.freeStmt(SQL_RESET_PARAMS)));
    statement.executeQuery("select ? from t", 0);
    EXPECT_EQ(session.executed(), std::vector<std::string>{"select ? from t"});
    SQLSMALLINT count = -1;
    EXPECT_EQ(statement.numParams(&count), SQL_SUCCESS);
    EXPECT_EQ(count, 0);
}

// Data at execution cannot follow a direct run: refused, nothing sent.
TEST(SplicedLiterals, DirectRunRefusesDataAtExecution) {
    Session session(Database::Db2Luw);
    ODBCRepeaterStatement& statement = *session.statement;
    SQLLEN indicator = SQL_DATA_AT_EXEC;
    ASSERT_EQ(statement.bindParameter(1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 20, 0,
                                      reinterpret_cast<SQLPOINTER>(1), 0, &indicator),
              SQL_SUCCESS);
    EXPECT_EQ(statement.executeQuery("insert into t values (?)", 0), SQL_ERROR);
    EXPECT_TRUE(session.executed().empty());
    SQLCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLCHAR message[512] = {};
    ASSERT_EQ(statement.getDiagRec(1, state, &native, message, sizeof message, nullptr),
              SQL_SUCCESS);
    EXPECT_STREQ(reinterpret_cast<char*>(state), "HYC00");
}

// Data at execution serves one parameter row: with an array of rows it is
// refused for every value type, never left waiting for data no call asks for.
TEST(SplicedLiterals, DataAtExecutionWithParameterArraysIsRefused) {
    for (const SQLSMALLINT valueType : {SQLSMALLINT{SQL_C_CHAR}, SQLSMALLINT{SQL_C_NUMERIC}}) {
        Session session(Database::PostgreSQL);
        ODBCRepeaterStatement& statement = *session.statement;
        SQLLEN indicators[2] = {SQL_DATA_AT_EXEC, SQL_DATA_AT_EXEC};
        ASSERT_EQ(statement.bindParameter(1, SQL_PARAM_INPUT, valueType, SQL_NUMERIC, 20, 2,
                                          reinterpret_cast<SQLPOINTER>(1), 0, indicators),
                  SQL_SUCCESS);
        ASSERT_EQ(statement.setAttrParamsetSize(2), SQL_SUCCESS);
        EXPECT_EQ(statement.execDirect(sqlText("insert into t values (?)"), SQL_NTS), SQL_ERROR)
            << valueType;
        EXPECT_TRUE(session.executed().empty()) << valueType;
        SQLCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLCHAR message[512] = {};
        ASSERT_EQ(statement.getDiagRec(1, state, &native, message, sizeof message, nullptr),
                  SQL_SUCCESS)
            << valueType;
        EXPECT_STREQ(reinterpret_cast<char*>(state), "HYC00") << valueType;
    }
}

}  // namespace
