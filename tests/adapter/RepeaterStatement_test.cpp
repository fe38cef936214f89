// The repeater statement on the DB2 stand-in: what reaches the adapted
// driver (read from its journal) for attributes, parameters, execution,
// catalog calls and column descriptions, and how failures are reported.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "driver/adapter/ODBCRepeaterStatement.h"
#include "driver/core/Descriptor.h"
#include "tests/adapter/RepeaterTestSupport.h"

using namespace repeater_test;

namespace {

class HostEnvironment : public RecordingEnvironment {
  public:
    explicit HostEnvironment(std::string host)
        : RecordingEnvironment(true), host_(std::move(host)) {}
    const std::string& hostAppName() const override { return host_; }

  private:
    std::string host_;
};

// A connected repeater connection on a variant of the stand-in, run
// through `commands` first, and one statement on it.
struct Session {
    explicit Session(const std::string& variant = "", OdbcSandbox::Keys keys = {},
                     const std::vector<std::string>& commands = {},
                     const std::string& host = "tests")
        : dsns(variant, std::move(keys)), environment(host) {
        for (const std::string& command : commands) {
            const auto blank = command.find(' ');
            dsns.library.control(command.substr(0, blank),
                                 blank == std::string::npos ? "" : command.substr(blank + 1));
        }
        EXPECT_EQ(connection.connectStrings("Tarvex", "u", "p"), SQL_SUCCESS);
        statement = std::make_unique<ODBCRepeaterStatement>(&connection);
        dsns.library.clearJournal();
    }
    std::vector<std::string> calls(const std::string& function) const {
        return dsns.calls(function);
    }
    // The lines of bound parameters journaled at execution.
    std::vector<std::string> parameterLines() const {
        std::vector<std::string> found;
        for (const std::string& line : dsns.library.journalLines()) {
            if (line.rfind("  param ", 0) == 0) {
                found.push_back(line);
            }
        }
        return found;
    }

    SevrinDsns dsns;
    HostEnvironment environment;
    ODBCRepeaterConnection connection{&environment};
    std::unique_ptr<ODBCRepeaterStatement> statement;
};

// The statement's own records as "STATE native message".
std::vector<std::string> ownRecords(Statement& statement) {
    std::vector<std::string> out;
    DiagnosticHeader& area = statement.diagnostics();
    for (SQLSMALLINT n = 1; n <= static_cast<SQLSMALLINT>(area.recordCount()); ++n) {
        char state[6] = {};
        SQLINTEGER native = 0;
        char message[1024] = {};
        area.getDiagField(n, SQL_DIAG_SQLSTATE, state, sizeof state, nullptr);
        area.getDiagField(n, SQL_DIAG_NATIVE, &native, 0, nullptr);
        area.getDiagField(n, SQL_DIAG_MESSAGE_TEXT, message, sizeof message, nullptr);
        out.push_back(std::string(state) + " " + std::to_string(native) + " " + message);
    }
    return out;
}

// A journal item's value: a quoted text without its quotes (escapes
// kept), "null", or the bare word.
std::string item(const std::string& line, const std::string& key) {
    const auto start = line.find(" " + key + "=");
    if (start == std::string::npos) {
        return "<none>";
    }
    auto i = start + key.size() + 2;
    if (line[i] != '"') {
        return line.substr(i, line.find(' ', i) - i);
    }
    std::string text;
    for (++i; i < line.size() && line[i] != '"'; ++i) {
        if (line[i] == '\\' && i + 1 < line.size()) {
            text += line[i++];
        }
        text += line[i];
    }
    return text;
}

const SQLCHAR* text(const char* value) {
    return reinterpret_cast<const SQLCHAR*>(value);
}

SQLRETURN execDirect(ODBCRepeaterStatement& statement, const std::string& sql) {
    return statement.execDirect(sqlText(sql), SQL_NTS);
}

SQLRETURN prepare(ODBCRepeaterStatement& statement, const std::string& sql) {
    return statement.prepare(sqlText(sql), SQL_NTS);
}

// --- Read-only guard ---------------------------------------------------------------

struct ReadOnlyCase {
    const char* name;
    const char* sql;
    bool refused;
};

const ReadOnlyCase kReadOnlyCases[] = {
    {"BlanksAndMixedCaseInsert", "  \t InSeRt into t values (1)", true},
    {"DropInCapitals", "DROP TABLE t", true},
    {"UpdateAlone", "update", true},
    {"InsertDirectlyFollowedByParenthesis", "insert(a) values (1)", false},
    {"OpeningParenthesis", "(select 1)", false},
    {"Comment", "/* c */ delete from t", false},
};

class ReadOnlyTest : public ::testing::TestWithParam<ReadOnlyCase> {};

TEST_P(ReadOnlyTest, RefusesModifyingStatementsBeforeTheDriver) {
    const ReadOnlyCase& c = GetParam();
    for (const bool readOnly : {true, false}) {
        Session session;
        session.connection.setAttrAccessMode(readOnly ? SQL_MODE_READ_ONLY : SQL_MODE_READ_WRITE);
        const bool refused = readOnly && c.refused;
        EXPECT_EQ(session.statement->executeQuery(c.sql, 0), refused ? SQL_ERROR : SQL_SUCCESS);
        EXPECT_EQ(prepare(*session.statement, c.sql), refused ? SQL_ERROR : SQL_SUCCESS);
        EXPECT_EQ(session.calls("SQLExecDirect").size() + session.calls("SQLPrepare").size(),
                  refused ? 0u : 2u);
        const std::string refusal =
            "42000 100 Data modification not allowed. Data source is read-only.";
        const std::vector<std::string> expected =
            refused ? std::vector<std::string>{refusal, refusal} : std::vector<std::string>{};
        EXPECT_EQ(ownRecords(*session.statement), expected);
    }
}

INSTANTIATE_TEST_SUITE_P(Repeater, ReadOnlyTest, ::testing::ValuesIn(kReadOnlyCases),
                         [](const auto& info) { return std::string(info.param.name); });

// --- A connection that is gone -------------------------------------------------------

struct ClosedCase {
    const char* name;
    std::function<SQLRETURN(ODBCRepeaterStatement&)> call;
    const char* record;
    bool locks;  // takes the connection's lock before finding it closed
};

const char* const kLinkFailure = "08S01 0 Communication link failure";

const ClosedCase kClosedCases[] = {
    {"ExecuteQuery", [](ODBCRepeaterStatement& s) { return s.executeQuery("select 1", 0); },
     "HY000 1000 Connection lost", false},
    {"ExecDirect", [](ODBCRepeaterStatement& s) { return execDirect(s, "select 1"); }, kLinkFailure,
     true},
    {"Execute", [](ODBCRepeaterStatement& s) { return s.execute(); }, kLinkFailure, false},
    {"Fetch", [](ODBCRepeaterStatement& s) { return s.fetch(); }, kLinkFailure, false},
    {"Tables",
     [](ODBCRepeaterStatement& s) {
         return s.tables(nullptr, 0, nullptr, 0, text("T"), SQL_NTS, nullptr, 0);
     },
     kLinkFailure, false},
};

class ClosedTest : public ::testing::TestWithParam<ClosedCase> {};

// Closing the connection freed the native statement with it: nothing
// reaches the driver any more, not even when ours is freed.
TEST_P(ClosedTest, NothingReachesTheDriver) {
    const ClosedCase& c = GetParam();
    Session session;
    ASSERT_EQ(session.connection.disconnect(), SQL_SUCCESS);
    session.dsns.library.clearJournal();
    SQLRETURN rc = SQL_SUCCESS;
    if (c.locks) {
        rc = c.call(*session.statement);
    } else {
        session.connection.lock();
        auto result = std::async(std::launch::async, [&] { return c.call(*session.statement); });
        const bool finished = result.wait_for(std::chrono::seconds(60)) == std::future_status::ready;
        session.connection.unlock();
        EXPECT_TRUE(finished) << "waited for the connection's lock";
        rc = result.get();
    }
    EXPECT_EQ(rc, SQL_ERROR);
    EXPECT_EQ(ownRecords(*session.statement), std::vector<std::string>{c.record});
    EXPECT_EQ(session.statement->freeStmt(SQL_DROP), SQL_SUCCESS);
    session.statement.reset();
    EXPECT_EQ(session.dsns.library.journal(), "");
}

INSTANTIATE_TEST_SUITE_P(Repeater, ClosedTest, ::testing::ValuesIn(kClosedCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RepeaterStatement, WithoutANativeStatementOperationsReportTheConfiguration) {
    Session session("", {}, {"fail SQLAllocHandle:3|HY001|0|no statements today"});
    EXPECT_EQ(session.statement->nativeStatementHandle(), nullptr);
    EXPECT_EQ(session.statement->executeQuery("select 1", 0), SQL_ERROR);
    EXPECT_EQ(session.statement->fetch(), SQL_ERROR);
    const std::string error = "HY000 100 Driver configuration error";
    EXPECT_EQ(ownRecords(*session.statement), (std::vector<std::string>{error, error}));
}

TEST(RepeaterStatement, Odbc2DriverAllocatesAndFreesItsOwnWay) {
    Session session("odbc2");
    ASSERT_NE(session.statement->nativeStatementHandle(), nullptr);
    EXPECT_EQ(execDirect(*session.statement, "select 1 from t"), SQL_SUCCESS);
    EXPECT_EQ(session.statement->freeStmt(SQL_DROP), SQL_SUCCESS);
    ASSERT_EQ(session.calls("SQLFreeStmt").size(), 1u);
    EXPECT_EQ(item(session.calls("SQLFreeStmt")[0], "option"), "1");
}

// --- Attributes ------------------------------------------------------------------------

TEST(RepeaterStatement, DescriptorHandlesAreAnsweredHereAndNeverForwarded) {
    for (const std::string variant : {"", "wonly"}) {
        Session session(variant);
        ODBCRepeaterStatement& statement = *session.statement;
        const Descriptor* expected[] = {
            statement.getAttrAppRowDesc(), statement.getAttrAppParamDesc(),
            statement.getAttrImpRowDesc(), statement.getAttrImpParamDesc()};
        for (SQLINTEGER attribute = SQL_ATTR_APP_ROW_DESC; attribute <= SQL_ATTR_IMP_PARAM_DESC;
             ++attribute) {
            SQLPOINTER handle = nullptr;
            EXPECT_EQ(statement.getStmtAttr(attribute, &handle, 0, nullptr), SQL_SUCCESS);
            EXPECT_EQ(handle, expected[attribute - SQL_ATTR_APP_ROW_DESC]);
        }
        // Our descriptor handles mean nothing to the adapted driver.
        EXPECT_EQ(statement.setStmtAttr(SQL_ATTR_APP_ROW_DESC, statement.getAttrAppRowDesc(), 0),
                  SQL_SUCCESS);
        const std::string w = variant.empty() ? "" : "W";
        EXPECT_TRUE(session.calls("SQLGetStmtAttr" + w).empty());
        EXPECT_TRUE(session.calls("SQLSetStmtAttr" + w).empty());

        // Every other attribute reaches the driver, through SQLGetStmtAttrW
        // when that is all it has, with the caller's arguments.
        SQLULEN timeout = 99;
        EXPECT_EQ(statement.setStmtAttr(SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(7), 0),
                  SQL_SUCCESS);
        EXPECT_EQ(statement.getStmtAttr(SQL_ATTR_QUERY_TIMEOUT, &timeout, 8, nullptr), SQL_SUCCESS);
        EXPECT_EQ(timeout, 7u);
        ASSERT_EQ(session.calls("SQLGetStmtAttr" + w).size(), 1u) << variant;
        EXPECT_EQ(item(session.calls("SQLGetStmtAttr" + w)[0], "buflen"), "8");
    }
}

// The adapted driver is bound to one internal buffer per parameter: arrays
// of parameter rows and binding offsets must not reach it.
TEST(RepeaterStatement, ParameterRowAttributesStayHere) {
    Session session;
    ODBCRepeaterStatement& statement = *session.statement;
    EXPECT_EQ(statement.setStmtAttr(SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(3), 0),
              SQL_ERROR);
    EXPECT_EQ(ownRecords(statement).at(0), "HYC00 0 Optional feature not implemented");
    SQLLEN offset = 0;
    EXPECT_EQ(statement.setStmtAttr(SQL_ATTR_PARAM_BIND_OFFSET_PTR, &offset, 0), SQL_SUCCESS);
    EXPECT_TRUE(session.calls("SQLSetStmtAttr").empty());

    // This statement applies the offset when it reads the application's values.
    SQLINTEGER values[2] = {11, 22};
    SQLLEN indicators[2] = {0, 0};
    ASSERT_EQ(statement.bindParameter(1, SQL_PARAM_INPUT, SQL_C_LONG, SQL_INTEGER, 0, 0, values, 0,
                                      indicators),
              SQL_SUCCESS);
    offset = sizeof(SQLINTEGER);
    EXPECT_EQ(statement.executeQuery("insert into t values (?)", 0), SQL_SUCCESS);
    ASSERT_EQ(session.parameterLines().size(), 1u);
    EXPECT_EQ(item(session.parameterLines()[0], "data"), "16000000");
}

// --- Parameters ------------------------------------------------------------------------

template <typename T>
std::vector<unsigned char> bytesOf(const T& value, std::size_t size = sizeof(T)) {
    std::vector<unsigned char> out(size);
    std::memcpy(out.data(), &value, size);
    return out;
}

std::vector<unsigned char> textBytes(const std::string& value) {
    return {value.c_str(), value.c_str() + value.size() + 1};
}

struct ParameterCase {
    const char* name;
    SQLSMALLINT valueType;
    SQLSMALLINT sqlType;
    std::vector<unsigned char> value;  // empty: a null value pointer
    const SQLLEN* indicator;           // null: no length/indicator
    std::string read;                  // bytes the driver read, or "NULL"
};

const SQLLEN kZero = 0;
const SQLLEN kNts = SQL_NTS;
const SQLLEN kThree = 3;
const SQLLEN kNull = SQL_NULL_DATA;

// Every value is bound with BufferLength 0, as applications bind input.
const ParameterCase kParameterCases[] = {
    {"Integer", SQL_C_LONG, SQL_INTEGER, bytesOf<SQLINTEGER>(42), &kZero, "2a000000"},
    {"IntegerWithoutIndicator", SQL_C_LONG, SQL_INTEGER, bytesOf<SQLINTEGER>(-2), nullptr,
     "feffffff"},
    {"DefaultTypeOfInteger", SQL_C_DEFAULT, SQL_INTEGER, bytesOf<SQLINTEGER>(258), &kNts,
     "02010000"},
    {"String", SQL_C_CHAR, SQL_VARCHAR, textBytes("hello"), &kNts, "68656c6c6f"},
    {"StringWithoutIndicator", SQL_C_CHAR, SQL_VARCHAR, textBytes("abc"), nullptr, "616263"},
    {"StringWithLength", SQL_C_CHAR, SQL_VARCHAR, textBytes("hello"), &kThree, "68656c"},
    {"LongerThanTheFirstBuffer", SQL_C_CHAR, SQL_VARCHAR, textBytes(std::string(300, 'x')), &kNts,
     [] {
         std::string hex;
         for (int i = 0; i < 300; ++i) {
             hex += "78";
         }
         return hex;
     }()},
    {"Null", SQL_C_CHAR, SQL_VARCHAR, textBytes("ignored"), &kNull, "NULL"},
    {"NullValuePointer", SQL_C_CHAR, SQL_VARCHAR, {}, &kNts, ""},
    {"WideString", SQL_C_WCHAR, SQL_WVARCHAR, bytesOf(L"h\u00e9"), &kNts, "68000000e9000000"},
};

class ParameterTest : public ::testing::TestWithParam<ParameterCase> {};

// What the adapted driver read at SQLExecute and SQLExecDirect, on a DB2
// source (whose SQLExecute hands over the whole buffer) and another one.
TEST_P(ParameterTest, DriverReadsTheApplicationsValue) {
    const ParameterCase& c = GetParam();
    for (const std::string dbms : {"DB2/LINUXX8664", "Other"}) {
        for (const bool direct : {false, true}) {
            Session session("", {}, {"info SQL_DBMS_NAME|" + dbms});
            std::vector<unsigned char> value = c.value;
            SQLLEN indicator = c.indicator != nullptr ? *c.indicator : 0;
            ASSERT_EQ(
                session.statement->bindParameter(1, SQL_PARAM_INPUT, c.valueType, c.sqlType, 20, 0,
                                                 value.empty() ? nullptr : value.data(), 0,
                                                 c.indicator != nullptr ? &indicator : nullptr),
                SQL_SUCCESS);
            const std::string sql = "insert into t values (?)";
            if (direct) {
                ASSERT_EQ(session.statement->executeQuery(sql, 0), SQL_SUCCESS);
            } else {
                ASSERT_EQ(prepare(*session.statement, sql), SQL_SUCCESS);
                ASSERT_EQ(session.statement->execute(), SQL_SUCCESS);
            }
            ASSERT_EQ(session.parameterLines().size(), 1u);
            const std::string line = session.parameterLines()[0];
            const SQLLEN size = session.statement->boundParameter(1)->bufferSize();
            EXPECT_EQ(item(line, "buflen"), std::to_string(size));
            const bool db2Rule = !direct && dbms.rfind("DB2", 0) == 0 && c.read != "NULL";
            std::string read = c.read;
            if (db2Rule) {
                read.resize(static_cast<std::size_t>(size) * 2, '0');  // the buffer's zeros
                EXPECT_EQ(item(line, "ind"), std::to_string(size));
            } else if (c.read == "NULL") {
                EXPECT_EQ(item(line, "ind"), "-1");
            }
            EXPECT_EQ(item(line, "data"), read) << dbms << (direct ? " direct" : " execute");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Repeater, ParameterTest, ::testing::ValuesIn(kParameterCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RepeaterStatement, Db2LongTextBuffersFollowTheColumnSizeUpTo4096) {
    Session session;
    ODBCRepeaterStatement& statement = *session.statement;
    std::string big(5000, 'q');
    char small[] = "xy";
    SQLLEN nts = SQL_NTS;
    ASSERT_EQ(statement.bindParameter(1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_LONGVARCHAR, 100000, 0,
                                      big.data(), 0, &nts),
              SQL_SUCCESS);
    ASSERT_EQ(statement.bindParameter(2, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_LONGVARCHAR, 10, 0, small,
                                      0, &nts),
              SQL_SUCCESS);
    EXPECT_EQ(statement.boundParameter(1)->bufferSize(), 4096);
    EXPECT_EQ(statement.boundParameter(2)->bufferSize(), 10);
    ASSERT_EQ(prepare(statement, "insert into t values (?, ?)"), SQL_SUCCESS);
    ASSERT_EQ(statement.execute(), SQL_SUCCESS);
    const auto lines = session.parameterLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(item(lines[0], "ind"), "4096");
    EXPECT_EQ(item(lines[1], "ind"), "10");
    // The longer value is cut to the cap, its terminator included.
    EXPECT_EQ(statement.boundParameter(1)->copiedLength, 4095);
}

// Data at execution: the markers reach the driver unchanged (also under
// the DB2 rule), the application sees its own tokens, the pieces put
// make the value.
TEST(RepeaterStatement, DataAtExecutionKeepsMarkersAndTokens) {
    for (const bool direct : {false, true}) {
        Session session;
        ODBCRepeaterStatement& statement = *session.statement;
        SQLLEN marker = SQL_DATA_AT_EXEC;
        SQLLEN lengthMarker = SQL_LEN_DATA_AT_EXEC(10);
        auto* token1 = reinterpret_cast<SQLPOINTER>(0x11);
        auto* token2 = reinterpret_cast<SQLPOINTER>(0x22);
        ASSERT_EQ(statement.bindParameter(1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 20, 0,
                                          token1, 0, &marker),
                  SQL_SUCCESS);
        ASSERT_EQ(statement.bindParameter(2, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_LONGVARCHAR, 20, 0,
                                          token2, 0, &lengthMarker),
                  SQL_SUCCESS);
        const std::string sql = "insert into t values (?, ?)";
        if (direct) {
            ASSERT_EQ(execDirect(statement, sql), SQL_NEED_DATA);
        } else {
            ASSERT_EQ(prepare(statement, sql), SQL_SUCCESS);
            ASSERT_EQ(statement.execute(), SQL_NEED_DATA);
        }
        SQLPOINTER asked = nullptr;
        ASSERT_EQ(statement.paramData(&asked), SQL_NEED_DATA);
        EXPECT_EQ(asked, token1);
        char pieces[] = "abcde";
        EXPECT_EQ(statement.putData(pieces, 3), SQL_SUCCESS);
        EXPECT_EQ(statement.putData(pieces + 3, SQL_NTS), SQL_SUCCESS);
        ASSERT_EQ(statement.paramData(&asked), SQL_NEED_DATA);
        EXPECT_EQ(asked, token2);
        EXPECT_EQ(statement.putData(nullptr, SQL_NULL_DATA), SQL_SUCCESS);
        EXPECT_EQ(statement.paramData(&asked), SQL_SUCCESS);

        const auto lines = session.parameterLines();
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_EQ(item(lines[0], "ind"), std::to_string(SQL_DATA_AT_EXEC));
        EXPECT_EQ(item(lines[0], "data"), "6162636465");
        EXPECT_EQ(item(lines[1], "ind"), std::to_string(SQL_LEN_DATA_AT_EXEC(10)));
        EXPECT_EQ(item(lines[1], "data"), "NULL");
        char traced[128] = {};
        std::snprintf(traced, sizeof traced, "// driver token: %p new value: %p",
                      static_cast<const void*>(statement.boundParameter(1)->buffer.data()), token1);
        EXPECT_TRUE(session.environment.traced(traced));
    }
}

// --- Execution ------------------------------------------------------------------------

// Rows of a parameter array go one text each when values are spliced here.
TEST(RepeaterStatement, SplicedParameterArraysRunOneTextPerRow) {
    Session session("", {{"ParameterBinding", "NO"}});
    ODBCRepeaterStatement& statement = *session.statement;
    SQLINTEGER values[3] = {1, 2, 3};
    SQLLEN indicators[3] = {0, 0, 0};
    ASSERT_EQ(statement.setStmtAttr(SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(3), 0),
              SQL_SUCCESS);
    ASSERT_TRUE(SQL_SUCCEEDED(statement.bindParameter(1, SQL_PARAM_INPUT, SQL_C_LONG, SQL_INTEGER,
                                                      0, 0, values, 0, indicators)));
    EXPECT_EQ(execDirect(statement, "insert into t values (?)"), SQL_SUCCESS);
    const auto executed = session.calls("SQLExecDirect");
    ASSERT_EQ(executed.size(), 3u);
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(item(executed[row], "text"),
                  "insert into t values (" + std::to_string(row + 1) + ")");
    }
    // An empty array sends nothing.
    statement.getAttrAppParamDesc()->setDescField(0, SQL_DESC_ARRAY_SIZE, nullptr, 0);
    std::string sql = "insert into t values (?)";
    EXPECT_EQ(statement.executeStatement(sql), SQL_SUCCESS);
    EXPECT_EQ(session.calls("SQLExecDirect").size(), 3u);
}

TEST(RepeaterStatement, SplicedRowsOfADirectRunAllReachTheDriverAndAFailureStays) {
    Session session("", {{"ParameterBinding", "NO"}},
                    {"result insert into t values (2)", "error 23505|-803|duplicate"});
    ODBCRepeaterStatement& statement = *session.statement;
    SQLINTEGER values[3] = {1, 2, 3};
    SQLLEN indicators[3] = {0, 0, 0};
    ASSERT_EQ(statement.setStmtAttr(SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(3), 0),
              SQL_SUCCESS);
    ASSERT_TRUE(SQL_SUCCEEDED(statement.bindParameter(1, SQL_PARAM_INPUT, SQL_C_LONG, SQL_INTEGER,
                                                      0, 0, values, 0, indicators)));
    // The MySQL face runs its rewritten text so, not through execDirect.
    EXPECT_EQ(statement.executeQuery("insert into t values (?)", 0), SQL_ERROR);
    EXPECT_EQ(session.calls("SQLExecDirect").size(), 3u);
    session.dsns.library.clearJournal();
    EXPECT_EQ(execDirect(statement, "insert into t values (?)"), SQL_ERROR);
    EXPECT_EQ(session.calls("SQLExecDirect").size(), 3u);
}

TEST(RepeaterStatement, DescribeParamReportsLongTextAsWide) {
    Session session(
        "", {},
        {"result insert into t values (?, ?)", "param SQL_LONGVARCHAR|32000", "param VARCHAR|20"});
    ODBCRepeaterStatement& statement = *session.statement;
    ASSERT_EQ(prepare(statement, "insert into t values (?, ?)"), SQL_SUCCESS);
    SQLSMALLINT type = 0;
    SQLULEN size = 0;
    EXPECT_EQ(statement.describeParam(1, &type, &size, nullptr, nullptr), SQL_SUCCESS);
    EXPECT_EQ(type, SQL_WLONGVARCHAR);
    EXPECT_EQ(size, 32000u);
    EXPECT_EQ(statement.describeParam(2, &type, nullptr, nullptr, nullptr), SQL_SUCCESS);
    EXPECT_EQ(type, SQL_VARCHAR);
}

TEST(RepeaterStatement, PreparedTextQuotesNamesButKeepsLiteralData) {
    Session session;
    ASSERT_EQ(prepare(*session.statement, "select `a` from t where b = 'x`y'"), SQL_SUCCESS);
    ASSERT_EQ(session.calls("SQLPrepare").size(), 1u);
    // The journal keeps its escapes.
    EXPECT_EQ(item(session.calls("SQLPrepare")[0], "text"),
              R"(select \"a\" from t where b = 'x`y')");
}

// --- Diagnostics ---------------------------------------------------------------------

TEST(RepeaterStatement, NativeRecordsAreReadInTurn) {
    Session session("", {}, {"result bad", "error 42601|-104|first problem"});
    ODBCRepeaterStatement& statement = *session.statement;
    ASSERT_EQ(prepare(statement, "bad"), SQL_SUCCESS);
    EXPECT_EQ(statement.execute(), SQL_ERROR);  // reposts nothing
    ASSERT_TRUE(ownRecords(statement).empty());

    SQLCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLCHAR message[512] = {};
    ASSERT_EQ(statement.getDiagRec(1, state, &native, message, sizeof message, nullptr),
              SQL_SUCCESS);
    EXPECT_STREQ(reinterpret_cast<char*>(message), "first problem");
    EXPECT_EQ(statement.getDiagRec(2, state, &native, message, sizeof message, nullptr),
              SQL_NO_DATA);
    EXPECT_EQ(statement.getDiagField(1, SQL_DIAG_NATIVE, &native, 0, nullptr), SQL_SUCCESS);
    EXPECT_EQ(native, -104);
    EXPECT_EQ(statement.getDiagField(2, SQL_DIAG_NATIVE, &native, 0, nullptr), SQL_NO_DATA);
    // SQLError hands each record out once.
    EXPECT_EQ(statement.error(state, &native, message, sizeof message, nullptr), SQL_SUCCESS);
    EXPECT_EQ(statement.error(state, &native, message, sizeof message, nullptr), SQL_NO_DATA);

    // A binding the driver refuses is refused to the application too.
    session.dsns.library.control("fail", "SQLBindParameter|HY004|-99|bad type");
    EXPECT_EQ(statement.bindParameter(1, SQL_PARAM_INPUT, SQL_C_LONG, SQL_INTEGER, 0, 0, &native, 0,
                                      nullptr),
              SQL_ERROR);
    EXPECT_EQ(statement.getDiagField(1, SQL_DIAG_NATIVE, &native, 0, nullptr), SQL_SUCCESS);
    EXPECT_EQ(native, -99);
}

TEST(RepeaterStatement, MessagesAreCutOnAWholeCharacter) {
    for (const std::string variant : {"", "wonly"}) {
        std::string message;
        for (int i = 0; i < 300; ++i) {
            message += "\u00e9";  // two bytes each
        }
        Session session(variant, {}, {"result bad", "error 42601|-104|" + message});
        ODBCRepeaterStatement& statement = *session.statement;
        ASSERT_EQ(prepare(statement, "bad"), SQL_SUCCESS);
        ASSERT_EQ(statement.execute(), SQL_ERROR);

        // The 512-byte buffer holds 255 whole characters and the terminator.
        SQLCHAR state[6] = {};
        std::vector<SQLCHAR> buffer(600, 0xAA);
        SQLSMALLINT length = 0;
        EXPECT_TRUE(SQL_SUCCEEDED(statement.getDiagRecU(state, nullptr, buffer.data(), &length)));
        EXPECT_STREQ(reinterpret_cast<char*>(state), "42601");
        EXPECT_EQ(length, 600) << variant;
        EXPECT_EQ(std::strlen(reinterpret_cast<char*>(buffer.data())), 510u) << variant;
        EXPECT_EQ(buffer[511], 0xAA);
        // A caller's small buffer is never overrun.
        std::vector<SQLCHAR> small(16, 0xAA);
        EXPECT_EQ(statement.getDiagRec(1, state, nullptr, small.data(), 8, &length),
                  SQL_SUCCESS_WITH_INFO);
        EXPECT_EQ(small[8], 0xAA);
    }
}

// --- Fetching and freeing ----------------------------------------------------------------

TEST(RepeaterStatement, FetchTraceReadsOnlyTheBoundBuffers) {
    Session session(
        "", {},
        {"result select * from t", "column A|VARCHAR|10", "column B|INTEGER", "column C|TIMESTAMP",
         "column D|INTEGER", "row abcdef|7|2024-01-05 09:05:00|9"});
    ODBCRepeaterStatement& statement = *session.statement;
    ASSERT_EQ(execDirect(statement, "select * from t"), SQL_SUCCESS);
    char text[4] = {};
    SQLINTEGER number = 0;
    SQL_TIMESTAMP_STRUCT stamp{};
    SQLLEN lengths[4] = {};
    ASSERT_EQ(statement.bindCol(1, SQL_C_CHAR, text, sizeof text, &lengths[0]), SQL_SUCCESS);
    ASSERT_EQ(statement.bindCol(2, SQL_C_LONG, &number, 0, &lengths[1]), SQL_SUCCESS);
    ASSERT_EQ(statement.bindCol(3, SQL_C_TYPE_TIMESTAMP, &stamp, 0, &lengths[2]), SQL_SUCCESS);
    ASSERT_EQ(statement.bindCol(4, SQL_C_LONG, nullptr, 0, &lengths[3]), SQL_SUCCESS);
    // The text is cut to the 4 bytes bound: its length says 6, the trace
    // shows the buffer; a column without a target is left out.
    EXPECT_EQ(statement.fetch(), SQL_SUCCESS_WITH_INFO);
    const RecordingEnvironment& trace = session.environment;
    EXPECT_TRUE(trace.traced("// repeater fetch column (6): 1: 61 62 63 0 "));
    EXPECT_TRUE(trace.traced("// repeater fetch column (4): 2: 7 0 0 0 "));
    EXPECT_TRUE(trace.traced("// repeater fetch timestamp: 2024-1-5 9:5:0.0"));
    EXPECT_EQ(trace.trace().find("): 4: "), std::string::npos);
    EXPECT_EQ(statement.fetch(), SQL_NO_DATA);
    EXPECT_TRUE(trace.traced("// repeater fetch return: 100"));
    EXPECT_TRUE(ownRecords(statement).empty());
}

struct FreeCase {
    SQLUSMALLINT option;
    bool keepsParameters;
    bool keepsColumns;
};

class FreeTest : public ::testing::TestWithParam<FreeCase> {};

TEST_P(FreeTest, ReleasesTheRecordsOfTheOption) {
    const FreeCase& c = GetParam();
    Session session;
    ODBCRepeaterStatement& statement = *session.statement;
    SQLINTEGER number = 0;
    ASSERT_EQ(statement.bindCol(1, SQL_C_LONG, &number, 0, nullptr), SQL_SUCCESS);
    ASSERT_EQ(statement.bindParameter(1, SQL_PARAM_INPUT, SQL_C_LONG, SQL_INTEGER, 0, 0, &number, 0,
                                      nullptr),
              SQL_SUCCESS);
    EXPECT_EQ(statement.freeStmt(c.option), SQL_SUCCESS);
    EXPECT_EQ(statement.boundParameterCount(), c.keepsParameters ? 1u : 0u);
    EXPECT_EQ(statement.boundColumnCount(), c.keepsColumns ? 1u : 0u);
    const bool drop = c.option == SQL_DROP;
    EXPECT_EQ(session.calls(drop ? "SQLFreeHandle" : "SQLFreeStmt").size(), 1u);
    // Destruction frees what SQL_DROP did not.
    session.statement.reset();
    EXPECT_EQ(session.calls("SQLFreeHandle").size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Repeater, FreeTest,
                         ::testing::Values(FreeCase{SQL_CLOSE, true, true},
                                           FreeCase{SQL_UNBIND, true, false},
                                           FreeCase{SQL_RESET_PARAMS, false, true},
                                           FreeCase{SQL_DROP, false, false}));

// --- Catalog calls ------------------------------------------------------------------------

struct CatalogCase {
    const char* name;
    const char* function;
    const char* logged;
    std::function<SQLRETURN(ODBCRepeaterStatement&)> call;
};

const CatalogCase kCatalogCases[] = {
    {"Tables", "SQLTables", "SQLTables: ",
     [](ODBCRepeaterStatement& s) {
         return s.tables(nullptr, 0, nullptr, 0, text("EMP"), SQL_NTS, text("TABLE"), SQL_NTS);
     }},
    {"Columns", "SQLColumns", "SQLColumns: EMP",
     [](ODBCRepeaterStatement& s) {
         return s.columns(nullptr, 0, nullptr, 0, text("EMP"), SQL_NTS, nullptr, 0);
     }},
    {"Statistics", "SQLStatistics", "SQLStatistics: EMP",
     [](ODBCRepeaterStatement& s) {
         return s.statistics(nullptr, 0, nullptr, 0, text("EMPLOYEE"), 3, SQL_INDEX_ALL, SQL_QUICK);
     }},
    {"SpecialColumns", "SQLSpecialColumns", "SQLSpecialColumns: EMP",
     [](ODBCRepeaterStatement& s) {
         return s.specialColumns(SQL_BEST_ROWID, nullptr, 0, nullptr, 0, text("EMP"), SQL_NTS,
                                 SQL_SCOPE_SESSION, SQL_NULLABLE);
     }},
    {"PrimaryKeys", "SQLPrimaryKeys", "SQLPrimaryKeys: EMP",
     [](ODBCRepeaterStatement& s) {
         return s.primaryKeys(nullptr, 0, nullptr, 0, text("EMP"), SQL_NTS);
     }},
    {"ColumnPrivileges", "SQLColumnPrivileges", "SQLColumnPrivileges: EMP",
     [](ODBCRepeaterStatement& s) {
         return s.columnPrivileges(nullptr, 0, nullptr, 0, text("EMP"), SQL_NTS, text("%"),
                                   SQL_NTS);
     }},
};

class CatalogTest : public ::testing::TestWithParam<CatalogCase> {};

// Narrow or W, the call reaches the driver once; a success is logged with
// its text, a refusal comes back as the statement's record and is not.
TEST_P(CatalogTest, ReachesTheDriverAndTheQueryLog) {
    const CatalogCase& c = GetParam();
    for (const std::string variant : {"", "wonly"}) {
        for (const bool refused : {false, true}) {
            Session session(variant, {},
                            {refused ? std::string("fail ") + c.function + "|42S02|-204|no table"
                                     : "journal-clear"});
            const auto log = session.dsns.sandbox.root() / "query.log";
            session.connection.setQueryLog(0, log.string());
            EXPECT_EQ(c.call(*session.statement), refused ? SQL_ERROR : SQL_SUCCESS);
            const auto calls = session.calls(c.function + std::string(variant.empty() ? "" : "W"));
            ASSERT_EQ(calls.size(), 1u) << variant;
            EXPECT_EQ(item(calls[0], "table"), "EMP");
            EXPECT_EQ(item(calls[0], "catalog"), "null");
            if (refused) {
                EXPECT_EQ(ownRecords(*session.statement),
                          std::vector<std::string>{"42S02 -204 no table"});
                EXPECT_FALSE(std::filesystem::exists(log));
                continue;
            }
            const auto logged = lines(OdbcSandbox::readFile(log));
            ASSERT_EQ(logged.size(), 1u);
            EXPECT_EQ(logged[0].substr(logged[0].rfind('\t') + 1), c.logged);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Repeater, CatalogTest, ::testing::ValuesIn(kCatalogCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RepeaterStatement, ColumnsIsTracedAsSource) {
    Session session;
    EXPECT_EQ(session.statement->columns(text("CAT"), 2, nullptr, SQL_NTS, text("EMP"), SQL_NTS,
                                         text("A%"), 2),
              SQL_SUCCESS);
    EXPECT_TRUE(session.environment.traced(
        "// repeater columns: \"CA\", 2, NULL, SQL_NTS, \"EMP\", SQL_NTS, \"A%\", 2"));
    EXPECT_TRUE(session.environment.traced("// repeater columns return: 0"));
}

struct TypesCase {
    const char* name;
    const char* includeViews;
    const char* host;
    const char* asked;  // null: no list
    const char* sent;
};

const TypesCase kTypesCases[] = {
    {"QueryGetsViewsToo", "Yes", "Microsoft Query", "TABLE", "TABLE,VIEW"},
    {"QueryWithSuffixAskingForNothing", "YES", "Microsoft Query 16.1", nullptr, "TABLE,VIEW"},
    {"ViewsNotIncluded", "No", "Microsoft Query", "TABLE", "TABLE"},
    {"OtherHost", "Yes", "Microsoft Excel", "TABLE", "TABLE"},
    {"HostNameInOtherCase", "Yes", "microsoft query", "TABLE", "TABLE"},
    {"NoListStaysNone", "No", "tests", nullptr, "null"},
};

class TypesTest : public ::testing::TestWithParam<TypesCase> {};

TEST_P(TypesTest, SendsTheTypes) {
    const TypesCase& c = GetParam();
    for (const std::string variant : {"", "wonly"}) {
        Session session(variant, {{"IncludeViews", c.includeViews}}, {}, c.host);
        EXPECT_EQ(session.statement->tables(nullptr, 0, nullptr, 0, text("%"), SQL_NTS,
                                            c.asked != nullptr ? text(c.asked) : nullptr, SQL_NTS),
                  SQL_SUCCESS);
        const auto calls = session.calls(variant.empty() ? "SQLTables" : "SQLTablesW");
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(item(calls[0], "types"), c.sent) << variant;
    }
}

INSTANTIATE_TEST_SUITE_P(Repeater, TypesTest, ::testing::ValuesIn(kTypesCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct NameCase {
    const char* name;
    std::string table;
    SQLSMALLINT length;
    std::string sent;
};

const NameCase kNameCases[] = {
    {"SixtyFourWhole", std::string(64, 'a'), SQL_NTS, std::string(64, 'a')},
    {"SeventyCutTo63", std::string(70, 'b'), SQL_NTS, std::string(63, 'b')},
    {"GivenLength", "EMPLOYEE", 3, "EMP"},
    {"NonAscii", "T\u00c4BLE", SQL_NTS, "T\u00c4BLE"},
};

class NameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(NameTest, ReachesTheWideFunction) {
    const NameCase& c = GetParam();
    Session session("wonly");
    EXPECT_EQ(session.statement->tables(nullptr, SQL_NTS, nullptr, 0, text(c.table.c_str()),
                                        c.length, text("TABLE"), SQL_NTS),
              SQL_SUCCESS);
    const auto calls = session.calls("SQLTablesW");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(item(calls[0], "table"), c.sent);
    EXPECT_EQ(item(calls[0], "catalog"), "null");
    EXPECT_EQ(item(calls[0], "schema"), "null");
}

INSTANTIATE_TEST_SUITE_P(Repeater, NameTest, ::testing::ValuesIn(kNameCases),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Column text through the W functions -------------------------------------------------

struct ColumnTextCase {
    const char* name;
    const char* column;
    bool describe;
    SQLSMALLINT buffer;  // 0: no buffer
    const char* expected;
    SQLSMALLINT length;
    SQLRETURN rc;
};

// "ÄÖÜ" is six bytes of UTF-8.
const ColumnTextCase kColumnTextCases[] = {
    {"AttributeWithoutBuffer", "ABCDEF", false, 0, "", 24, SQL_SUCCESS},
    {"AttributeWithBuffer", "ABCDEF", false, 32, "ABCDEF", 6, SQL_SUCCESS},
    {"DescribeWithBuffer", "ABCDEF", true, 32, "ABCDEF", 6, SQL_SUCCESS},
    {"AttributeCutOnAWholeCharacter", "\u00c4\u00d6\u00dc", false, 6, "\u00c4\u00d6", 6,
     SQL_SUCCESS_WITH_INFO},
    {"AttributeOneByte", "\u00c4\u00d6\u00dc", false, 1, "", 6, SQL_SUCCESS_WITH_INFO},
    {"DescribeCutOnAWholeCharacter", "\u00c4\u00d6\u00dc", true, 4, "\u00c4", 6,
     SQL_SUCCESS_WITH_INFO},
};

class ColumnTextTest : public ::testing::TestWithParam<ColumnTextCase> {};

TEST_P(ColumnTextTest, ConvertedWithinTheBuffer) {
    const ColumnTextCase& c = GetParam();
    Session session("wonly", {},
                    {"result select * from t", std::string("column ") + c.column + "|VARCHAR|10"});
    ODBCRepeaterStatement& statement = *session.statement;
    ASSERT_EQ(execDirect(statement, "select * from t"), SQL_SUCCESS);
    std::vector<char> buffer(c.buffer + 8, '\x7f');
    char* out = c.buffer > 0 ? buffer.data() : nullptr;
    SQLSMALLINT length = 0;
    SQLSMALLINT type = 0;
    const SQLRETURN rc =
        c.describe ? statement.describeCol(1, reinterpret_cast<SQLCHAR*>(out), c.buffer, &length,
                                           &type, nullptr, nullptr, nullptr)
                   : statement.colAttribute(1, SQL_DESC_NAME, out, c.buffer, &length, nullptr);
    EXPECT_EQ(rc, c.rc);
    EXPECT_EQ(length, c.length);
    if (out != nullptr) {
        EXPECT_STREQ(out, c.expected);
        EXPECT_EQ(buffer[c.buffer], '\x7f');  // nothing past the buffer
    }
    EXPECT_EQ(ownRecords(statement).size(), c.rc == SQL_SUCCESS ? 0u : 1u);

    // A numeric field fills the number and leaves the length alone.
    SQLLEN number = 0;
    length = -7;
    EXPECT_EQ(statement.colAttribute(1, SQL_DESC_TYPE, nullptr, 0, &length, &number), SQL_SUCCESS);
    EXPECT_EQ(number, SQL_VARCHAR);
    EXPECT_EQ(length, -7);
}

INSTANTIATE_TEST_SUITE_P(Repeater, ColumnTextTest, ::testing::ValuesIn(kColumnTextCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
