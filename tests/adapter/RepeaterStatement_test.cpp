// The repeater statement on the DB2 stand-in: what reaches the adapted
// driver (read from its journal) for attributes, parameters, execution,
// data at execution and freeing, and how failures are reported.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "driver/adapter/ODBCRepeaterStatement.h"
#include "driver/core/Descriptor.h"
#include "tests/adapter/RepeaterTestSupport.h"

using namespace repeater_test;

namespace {

// A connected repeater connection on a variant of the stand-in, and one
// statement on it.
struct Session {
    explicit Session(const std::string& variant = "", OdbcSandbox::Keys keys = {},
                     std::vector<std::string> commands = {})
        : dsns(variant, std::move(keys)) {
        for (const std::string& command : commands) {
            const auto blank = command.find(' ');
            dsns.library.control(command.substr(0, blank),
                                 blank == std::string::npos ? "" : command.substr(blank + 1));
        }
        connected = connection.connectStrings("Tarvex", "u", "p") == SQL_SUCCESS;
        statement = std::make_unique<ODBCRepeaterStatement>(&connection);
        dsns.library.clearJournal();
    }

    // Journal lines from `function`'s calls, and the parameter lines that
    // follow executions.
    std::vector<std::string> calls(const std::string& function) const {
        return dsns.calls(function);
    }
    std::vector<std::string> parameterLines() const {
        std::vector<std::string> found;
        for (const std::string& line : dsns.library.journalLines()) {
            if (line.rfind("  param ", 0) == 0) {
                found.push_back(line.substr(2));
            }
        }
        return found;
    }

    SevrinDsns dsns;
    RecordingEnvironment environment{true};
    ODBCRepeaterConnection connection{&environment};
    bool connected = false;
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

std::string field(const std::string& line, const std::string& key) {
    const auto start = line.find(" " + key + "=");
    if (start == std::string::npos) {
        return "<none>";
    }
    const auto from = start + key.size() + 2;
    return line.substr(from, line.find(' ', from) - from);
}

// The text of a quoted item, escapes kept.
std::string quoted(const std::string& line, const std::string& key) {
    const auto start = line.find(" " + key + "=\"");
    if (start == std::string::npos) {
        return "<none>";
    }
    std::string text;
    for (auto i = start + key.size() + 3; i < line.size() && line[i] != '"'; ++i) {
        if (line[i] == '\\' && i + 1 < line.size()) {
            text += line[i++];
        }
        text += line[i];
    }
    return text;
}

SQLRETURN execDirect(ODBCRepeaterStatement& statement, const std::string& text) {
    return statement.execDirect(sqlText(text), SQL_NTS);
}

SQLRETURN prepare(ODBCRepeaterStatement& statement, const std::string& text) {
    return statement.prepare(sqlText(text), SQL_NTS);
}

TEST(RepeaterStatement, AllocatesOnTheNativeConnection) {
    Session session;
    ASSERT_TRUE(session.connected);
    EXPECT_NE(session.statement->nativeStatementHandle(), nullptr);
    EXPECT_EQ(session.statement->cancel(), SQL_SUCCESS);
    EXPECT_EQ(session.calls("SQLCancel").size(), 1u);
    // Once the connection is closed the handle is gone with it.
    ASSERT_EQ(session.connection.disconnect(), SQL_SUCCESS);
    EXPECT_EQ(session.statement->cancel(), SQL_ERROR);
    EXPECT_EQ(session.calls("SQLCancel").size(), 1u);
}

// --- Read-only guard ------------------------------------------------------------------

struct ReadOnlyCase {
    const char* name;
    const char* text;
    bool refused;
};

const ReadOnlyCase kReadOnlyCases[] = {
    {"BlanksAndMixedCaseInsert", "  \t InSeRt into t values (1)", true},
    {"DropInCapitals", "DROP TABLE t", true},
    {"UpdateAlone", "update", true},
    {"DeleteThenNewline", "delete\nfrom t", true},
    {"CreateTable", "create table t (a int)", true},
    {"InsertDirectlyFollowedByParenthesis", "insert(a) values (1)", false},
    {"OpeningParenthesis", "(select 1)", false},
    {"Select", "select * from t", false},
    {"Comment", "/* c */ delete from t", false},
    {"OtherVerb", "merge into t using u on 1=1", false},
};

class ReadOnlyTest : public ::testing::TestWithParam<ReadOnlyCase> {};

TEST_P(ReadOnlyTest, RefusesModifyingStatementsBeforeTheDriver) {
    const ReadOnlyCase& c = GetParam();
    for (const bool readOnly : {true, false}) {
        Session session;
        ASSERT_TRUE(session.connected);
        session.connection.setAttrAccessMode(readOnly ? SQL_MODE_READ_ONLY : SQL_MODE_READ_WRITE);
        const bool expectRefusal = readOnly && c.refused;

        const SQLRETURN executed = session.statement->executeQuery(c.text, 0);
        const SQLRETURN prepared = prepare(*session.statement, c.text);
        EXPECT_EQ(executed, expectRefusal ? SQL_ERROR : SQL_SUCCESS);
        EXPECT_EQ(prepared, expectRefusal ? SQL_ERROR : SQL_SUCCESS);
        EXPECT_EQ(session.calls("SQLExecDirect").size(), expectRefusal ? 0u : 1u);
        EXPECT_EQ(session.calls("SQLPrepare").size(), expectRefusal ? 0u : 1u);
        const auto records = ownRecords(*session.statement);
        if (expectRefusal) {
            ASSERT_EQ(records.size(), 2u);
            EXPECT_EQ(records[0],
                      "42000 100 Data modification not allowed. Data source is read-only.");
            EXPECT_EQ(records[1], records[0]);
        } else {
            EXPECT_TRUE(records.empty()) << records[0];
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Repeater, ReadOnlyTest, ::testing::ValuesIn(kReadOnlyCases),
                         [](const auto& info) { return std::string(info.param.name); });

// --- A connection that is gone ----------------------------------------------------------

struct ClosedCase {
    const char* name;
    SQLRETURN (*call)(ODBCRepeaterStatement&);
    const char* record;
};

const ClosedCase kClosedCases[] = {
    {"ExecuteQueryReportsConnectionLost",
     [](ODBCRepeaterStatement& s) { return s.executeQuery("select 1 from t", 0); },
     "HY000 1000 Connection lost"},
    {"ExecuteStatement",
     [](ODBCRepeaterStatement& s) {
         std::string text = "select 1 from t";
         return s.executeStatement(text);
     },
     "08S01 0 Communication link failure"},
    {"ExecDirect", [](ODBCRepeaterStatement& s) { return execDirect(s, "select 1"); },
     "08S01 0 Communication link failure"},
    {"Execute", [](ODBCRepeaterStatement& s) { return s.execute(); },
     "08S01 0 Communication link failure"},
    {"Fetch", [](ODBCRepeaterStatement& s) { return s.fetch(); },
     "08S01 0 Communication link failure"},
    {"Tables",
     [](ODBCRepeaterStatement& s) {
         return s.tables(nullptr, 0, nullptr, 0, sqlText("T"), SQL_NTS, nullptr, 0);
     },
     "08S01 0 Communication link failure"},
};

class ClosedTest : public ::testing::TestWithParam<ClosedCase> {};

// After the connection closed, the adapted driver has freed the native
// statement: nothing reaches it any more, and freeing ours is harmless.
TEST_P(ClosedTest, NothingReachesTheDriver) {
    const ClosedCase& c = GetParam();
    Session session;
    ASSERT_TRUE(session.connected);
    ASSERT_EQ(session.connection.disconnect(), SQL_SUCCESS);
    session.dsns.library.clearJournal();

    EXPECT_EQ(c.call(*session.statement), SQL_ERROR);
    const auto records = ownRecords(*session.statement);
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(records[0], c.record);
    EXPECT_EQ(session.statement->freeStmt(SQL_DROP), SQL_SUCCESS);
    session.statement.reset();
    EXPECT_EQ(session.dsns.library.journal(), "");
}

INSTANTIATE_TEST_SUITE_P(Repeater, ClosedTest, ::testing::ValuesIn(kClosedCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RepeaterStatement, WithoutANativeStatementOperationsReportTheConfiguration) {
    Session session("", {}, {"fail SQLAllocHandle:3|HY001|0|no statements today"});
    ASSERT_TRUE(session.connected);
    EXPECT_EQ(session.statement->nativeStatementHandle(), nullptr);
    EXPECT_EQ(session.statement->executeQuery("select 1", 0), SQL_ERROR);
    EXPECT_EQ(session.statement->fetch(), SQL_ERROR);
    SQLSMALLINT count = -1;
    EXPECT_EQ(session.statement->numResultCols(&count), SQL_ERROR);
    EXPECT_EQ(count, -1);
    const auto records = ownRecords(*session.statement);
    ASSERT_EQ(records.size(), 3u);
    for (const std::string& record : records) {
        EXPECT_EQ(record, "HY000 100 Driver configuration error");
    }
}

// An ODBC 2 driver allocates and frees its statements its own way.
TEST(RepeaterStatement, Odbc2DriverAllocatesWithAllocStmt) {
    Session session("odbc2");
    ASSERT_TRUE(session.connected);
    ASSERT_NE(session.statement->nativeStatementHandle(), nullptr);
    EXPECT_EQ(execDirect(*session.statement, "select 1 from t"), SQL_SUCCESS);
    EXPECT_EQ(session.statement->freeStmt(SQL_DROP), SQL_SUCCESS);
    const auto frees = session.calls("SQLFreeStmt");
    ASSERT_EQ(frees.size(), 1u);
    EXPECT_EQ(field(frees[0], "option"), "1");
}

// --- Attributes ------------------------------------------------------------------------------

TEST(RepeaterStatement, DescriptorHandlesAreAnsweredHereAndNeverForwarded) {
    for (const char* variant : {"", "wonly"}) {
        Session session(variant);
        ASSERT_TRUE(session.connected);
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
        // Our descriptor as the application's row descriptor stays ours too.
        EXPECT_EQ(statement.setStmtAttr(SQL_ATTR_APP_ROW_DESC, statement.getAttrAppRowDesc(), 0),
                  SQL_SUCCESS);
        EXPECT_TRUE(session.calls("SQLGetStmtAttr").empty());
        EXPECT_TRUE(session.calls("SQLGetStmtAttrW").empty());
        EXPECT_TRUE(session.calls("SQLSetStmtAttr").empty());
        EXPECT_TRUE(session.calls("SQLSetStmtAttrW").empty());

        // Everything else reaches the driver, through the W form when that
        // is all it has, with the caller's arguments.
        SQLULEN timeout = 99;
        SQLINTEGER length = -1;
        EXPECT_EQ(statement.setStmtAttr(SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(7),
                                        SQL_IS_UINTEGER),
                  SQL_SUCCESS);
        EXPECT_EQ(statement.getStmtAttr(SQL_ATTR_QUERY_TIMEOUT, &timeout, 8, &length), SQL_SUCCESS);
        EXPECT_EQ(timeout, 7u);
        const std::string suffix = std::string(variant).empty() ? "" : "W";
        const auto gets = session.calls("SQLGetStmtAttr" + suffix);
        ASSERT_EQ(gets.size(), 1u) << variant;
        EXPECT_EQ(field(gets[0], "attr"), "0");
        EXPECT_EQ(field(gets[0], "buflen"), "8");
        EXPECT_EQ(session.calls("SQLSetStmtAttr" + suffix).size(), 1u);
    }
}

// The adapted driver is bound to one buffer per parameter: parameter
// arrays and binding offsets must not reach it.
TEST(RepeaterStatement, ParameterRowAttributesStayHere) {
    Session session;
    ASSERT_TRUE(session.connected);
    ODBCRepeaterStatement& statement = *session.statement;
    EXPECT_EQ(statement.setStmtAttr(SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(3), 0),
              SQL_ERROR);
    EXPECT_EQ(ownRecords(statement).at(0), "HYC00 0 Optional feature not implemented");
    EXPECT_EQ(statement.setStmtAttr(SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(1), 0),
              SQL_SUCCESS);
    SQLLEN offset = 0;
    EXPECT_EQ(statement.setStmtAttr(SQL_ATTR_PARAM_BIND_OFFSET_PTR, &offset, 0), SQL_SUCCESS);
    EXPECT_EQ(statement.setStmtAttr(SQL_ATTR_PARAM_BIND_TYPE, reinterpret_cast<SQLPOINTER>(16), 0),
              SQL_SUCCESS);
    const auto sets = session.calls("SQLSetStmtAttr");
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(field(sets[0], "attr"), std::to_string(SQL_ATTR_PARAMSET_SIZE));

    // The offset applies to the application's buffers as this statement
    // reads them.
    SQLINTEGER values[2] = {11, 22};
    SQLLEN indicators[2] = {0, 0};
    ASSERT_TRUE(SQL_SUCCEEDED(statement.bindParameter(1, SQL_PARAM_INPUT, SQL_C_LONG, SQL_INTEGER,
                                                      0, 0, &values[0], 0, &indicators[0])));
    offset = sizeof(SQLINTEGER);
    EXPECT_EQ(prepare(statement, "insert into t values (?)"), SQL_SUCCESS);
    EXPECT_EQ(statement.execute(), SQL_SUCCESS);
    ASSERT_EQ(session.parameterLines().size(), 1u);
    EXPECT_EQ(field(session.parameterLines()[0], "data"), "16000000");
}

// --- Parameters ---------------------------------------------------------------------------

struct ParameterCase {
    const char* name;
    SQLSMALLINT valueType;
    SQLSMALLINT sqlType;
    std::vector<unsigned char> bytes;  // the application's value; empty: null pointer
    bool withIndicator;
    SQLLEN indicator;
    const char* data;  // what the driver read
};

std::vector<unsigned char> bytesOf(const std::string& text) {
    std::vector<unsigned char> out(text.begin(), text.end());
    out.push_back(0);
    return out;
}

std::vector<unsigned char> wideBytesOf(const std::wstring& text) {
    std::vector<unsigned char> out((text.size() + 1) * sizeof(wchar_t));
    std::memcpy(out.data(), text.c_str(), out.size());
    return out;
}

template <typename T>
std::vector<unsigned char> rawBytes(T value) {
    std::vector<unsigned char> out(sizeof value);
    std::memcpy(out.data(), &value, sizeof value);
    return out;
}

// Every value is bound with BufferLength 0, as applications bind input.
const ParameterCase kParameterCases[] = {
    {"Integer", SQL_C_LONG, SQL_INTEGER, rawBytes<SQLINTEGER>(42), true, 0, "2a000000"},
    {"IntegerWithoutIndicator", SQL_C_LONG, SQL_INTEGER, rawBytes<SQLINTEGER>(-2), false, 0,
     "feffffff"},
    {"IntegerNts", SQL_C_SLONG, SQL_INTEGER, rawBytes<SQLINTEGER>(258), true, SQL_NTS, "02010000"},
    {"DefaultTypeOfInteger", SQL_C_DEFAULT, SQL_INTEGER, rawBytes<SQLINTEGER>(42), true, 0,
     "2a000000"},
    {"Double", SQL_C_DOUBLE, SQL_DOUBLE, rawBytes<double>(1.5), true, 0, "000000000000f83f"},
    {"String", SQL_C_CHAR, SQL_VARCHAR, bytesOf("hello"), true, SQL_NTS, "68656c6c6f"},
    {"StringWithoutIndicator", SQL_C_CHAR, SQL_VARCHAR, bytesOf("abc"), false, 0, "616263"},
    {"StringWithLength", SQL_C_CHAR, SQL_VARCHAR, bytesOf("hello"), true, 3, "68656c"},
    {"EmptyString", SQL_C_CHAR, SQL_VARCHAR, bytesOf(""), true, SQL_NTS, ""},
    {"LongString", SQL_C_CHAR, SQL_VARCHAR, bytesOf(std::string(300, 'x')), true, SQL_NTS, nullptr},
    {"Null", SQL_C_CHAR, SQL_VARCHAR, bytesOf("ignored"), true, SQL_NULL_DATA, "NULL"},
    {"NullInteger", SQL_C_LONG, SQL_INTEGER, rawBytes<SQLINTEGER>(5), true, SQL_NULL_DATA, "NULL"},
    {"NullValuePointer", SQL_C_CHAR, SQL_VARCHAR, {}, true, SQL_NTS, ""},
    {"WideString", SQL_C_WCHAR, SQL_WVARCHAR, wideBytesOf(L"h\u00e9"), true, SQL_NTS,
     "68000000e9000000"},
};

class ParameterTest : public ::testing::TestWithParam<ParameterCase> {};

// The bytes the adapted driver read at execution, through SQLExecute and
// through SQLExecDirect, on a DB2 source and on another one.
TEST_P(ParameterTest, DriverReadsTheApplicationsValue) {
    const ParameterCase& c = GetParam();
    std::string expected = c.data != nullptr ? c.data : "";
    if (c.data == nullptr) {
        for (int i = 0; i < 300; ++i) {
            expected += "78";
        }
    }
    for (const char* dbms : {"DB2/LINUXX8664", "Other"}) {
        for (const bool direct : {false, true}) {
            Session session("", {}, {std::string("info SQL_DBMS_NAME|") + dbms});
            ASSERT_TRUE(session.connected);
            std::vector<unsigned char> bytes = c.bytes;
            SQLLEN indicator = c.indicator;
            ASSERT_EQ(
                session.statement->bindParameter(1, SQL_PARAM_INPUT, c.valueType, c.sqlType, 20, 0,
                                                 bytes.empty() ? nullptr : bytes.data(), 0,
                                                 c.withIndicator ? &indicator : nullptr),
                SQL_SUCCESS);
            const std::string text = "insert into t values (?)";
            if (direct) {
                ASSERT_EQ(session.statement->executeQuery(text, 0), SQL_SUCCESS);
            } else {
                ASSERT_EQ(prepare(*session.statement, text), SQL_SUCCESS);
                ASSERT_EQ(session.statement->execute(), SQL_SUCCESS);
            }
            const auto lines = session.parameterLines();
            ASSERT_EQ(lines.size(), 1u);
            const ODBCRepeaterStatement::BoundParameter* bound =
                session.statement->boundParameter(1);
            ASSERT_NE(bound, nullptr);
            EXPECT_EQ(field(lines[0], "buflen"), std::to_string(bound->bufferSize()));
            // SQLExecute on DB2 hands over the buffer size, except for NULL:
            // the value then comes with the buffer's zero bytes.
            const bool db2Rule = !direct && std::string(dbms).rfind("DB2", 0) == 0;
            std::string read = expected;
            if (db2Rule && read != "NULL") {
                read.resize(static_cast<std::size_t>(bound->bufferSize()) * 2, '0');
            }
            EXPECT_EQ(field(lines[0], "data"), read) << dbms << (direct ? " direct" : "");
            const std::string ind = field(lines[0], "ind");
            if (c.indicator == SQL_NULL_DATA && c.withIndicator) {
                EXPECT_EQ(ind, std::to_string(SQL_NULL_DATA));
            } else if (db2Rule) {
                EXPECT_EQ(ind, std::to_string(bound->bufferSize()));
            } else {
                EXPECT_NE(ind, std::to_string(SQL_NULL_DATA));
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Repeater, ParameterTest, ::testing::ValuesIn(kParameterCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RepeaterStatement, Db2LongTextBuffersFollowTheColumnSizeUpTo4096) {
    Session session;
    ASSERT_TRUE(session.connected);
    ODBCRepeaterStatement& statement = *session.statement;
    char big[8] = "abc";
    char small[8] = "xy";
    SQLINTEGER number = 7;
    SQLLEN nts = SQL_NTS;
    SQLLEN zero = 0;
    ASSERT_EQ(statement.bindParameter(1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_LONGVARCHAR, 100000, 0,
                                      big, 0, &nts),
              SQL_SUCCESS);
    ASSERT_EQ(statement.bindParameter(2, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_LONGVARCHAR, 10, 0, small,
                                      0, &nts),
              SQL_SUCCESS);
    ASSERT_EQ(statement.bindParameter(3, SQL_PARAM_INPUT, SQL_C_LONG, SQL_INTEGER, 0, 0, &number, 0,
                                      &zero),
              SQL_SUCCESS);
    EXPECT_EQ(statement.boundParameter(1)->bufferSize(), 4096);
    EXPECT_EQ(statement.boundParameter(2)->bufferSize(), 10);
    EXPECT_EQ(statement.boundParameter(3)->bufferSize(), 4);

    ASSERT_EQ(prepare(statement, "insert into t values (?, ?, ?)"), SQL_SUCCESS);
    ASSERT_EQ(statement.execute(), SQL_SUCCESS);
    const auto lines = session.parameterLines();
    ASSERT_EQ(lines.size(), 3u);
    for (const auto& [line, size] :
         {std::pair{lines[0], "4096"}, std::pair{lines[1], "10"}, std::pair{lines[2], "4"}}) {
        EXPECT_EQ(field(line, "buflen"), size);
        EXPECT_EQ(field(line, "ind"), size);
    }

    // A value longer than the cap is cut to it, terminator included.
    std::string longText(5000, 'q');
    ASSERT_EQ(statement.bindParameter(1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_LONGVARCHAR, 100000, 0,
                                      longText.data(), 0, &nts),
              SQL_SUCCESS);
    ASSERT_EQ(statement.execute(), SQL_SUCCESS);
    EXPECT_EQ(statement.boundParameter(1)->bufferSize(), 4096);
    EXPECT_EQ(statement.boundParameter(1)->copiedLength, 4095);
}

TEST(RepeaterStatement, ARefusedBindingIsReported) {
    Session session("", {}, {"fail SQLBindParameter|HY004|-99|bad type"});
    ASSERT_TRUE(session.connected);
    SQLINTEGER number = 1;
    EXPECT_EQ(session.statement->bindParameter(1, SQL_PARAM_INPUT, SQL_C_LONG, SQL_INTEGER, 0, 0,
                                               &number, 0, nullptr),
              SQL_ERROR);
    // The record is still made: a later binding replaces it.
    EXPECT_NE(session.statement->boundParameter(1), nullptr);
    SQLCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLCHAR message[512] = {};
    EXPECT_EQ(session.statement->getDiagRec(1, state, &native, message, sizeof message, nullptr),
              SQL_SUCCESS);
    EXPECT_STREQ(reinterpret_cast<char*>(state), "HY004");
    EXPECT_EQ(native, -99);
}

// Data at execution: the marker reaches the driver unchanged (also under
// the DB2 rule), the application sees its own token, and the pieces put
// are the value.
TEST(RepeaterStatement, DataAtExecutionKeepsTheMarkerAndTheToken) {
    for (const bool direct : {false, true}) {
        Session session;
        ASSERT_TRUE(session.connected);
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
        const std::string text = "insert into t values (?, ?)";
        if (direct) {
            ASSERT_EQ(execDirect(statement, text), SQL_NEED_DATA);
        } else {
            ASSERT_EQ(prepare(statement, text), SQL_SUCCESS);
            ASSERT_EQ(statement.execute(), SQL_NEED_DATA);
        }
        SQLPOINTER asked = nullptr;
        ASSERT_EQ(statement.paramData(&asked), SQL_NEED_DATA);
        EXPECT_EQ(asked, token1);
        char piece1[] = "abc";
        char piece2[] = "de";
        EXPECT_EQ(statement.putData(piece1, 3), SQL_SUCCESS);
        EXPECT_EQ(statement.putData(piece2, SQL_NTS), SQL_SUCCESS);
        ASSERT_EQ(statement.paramData(&asked), SQL_NEED_DATA);
        EXPECT_EQ(asked, token2);
        EXPECT_EQ(statement.putData(nullptr, SQL_NULL_DATA), SQL_SUCCESS);
        EXPECT_EQ(statement.paramData(&asked), SQL_SUCCESS);

        const auto lines = session.parameterLines();
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_EQ(field(lines[0], "ind"), std::to_string(SQL_DATA_AT_EXEC));
        EXPECT_EQ(field(lines[0], "data"), "6162636465");
        EXPECT_EQ(field(lines[1], "ind"), std::to_string(SQL_LEN_DATA_AT_EXEC(10)));
        EXPECT_EQ(field(lines[1], "data"), "NULL");
        char expectedLine[128] = {};
        std::snprintf(expectedLine, sizeof expectedLine, "// driver token: %p new value: %p",
                      static_cast<const void*>(statement.boundParameter(1)->buffer.data()), token1);
        EXPECT_TRUE(session.environment.traced(expectedLine));
    }
}

// --- Execution ----------------------------------------------------------------------------

TEST(RepeaterStatement, ExecuteQueryStoresTheRowCountAndRepostsFailures) {
    Session session("", {},
                    {"result update t set a = 1", "rowcount 4", "result broken",
                     "error 42S02|-204|[Sevrin][CLI Driver] T is an undefined name."});
    ASSERT_TRUE(session.connected);
    ODBCRepeaterStatement& statement = *session.statement;
    EXPECT_EQ(statement.executeQuery("update t set a = 1", 0), SQL_SUCCESS);
    SQLLEN count = 0;
    EXPECT_EQ(statement.rowCount(&count), SQL_SUCCESS);
    EXPECT_EQ(count, 4);
    EXPECT_TRUE(ownRecords(statement).empty());

    EXPECT_EQ(statement.executeQuery("broken", 0), SQL_ERROR);
    EXPECT_EQ(ownRecords(statement),
              std::vector<std::string>{"42S02 -204 [Sevrin][CLI Driver] T is an undefined name."});
    EXPECT_TRUE(session.environment.traced("// repeater finalized query: broken"));
}

// Rows of a parameter array go one text each when values are spliced here.
TEST(RepeaterStatement, SplicedParameterArraysRunOneTextPerRow) {
    Session session("", {{"ParameterBinding", "NO"}});
    ASSERT_TRUE(session.connected);
    ASSERT_FALSE(session.connection.usesParameterBinding());
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
        EXPECT_EQ(quoted(executed[row], "text"),
                  "insert into t values (" + std::to_string(row + 1) + ")");
    }
    EXPECT_TRUE(session.calls("SQLBindParameter").empty());

    // An empty array sends nothing.
    statement.getAttrAppParamDesc()->setDescField(0, SQL_DESC_ARRAY_SIZE, nullptr, 0);
    session.dsns.library.clearJournal();
    std::string text = "insert into t values (?)";
    EXPECT_EQ(statement.executeStatement(text), SQL_SUCCESS);
    EXPECT_TRUE(session.calls("SQLExecDirect").empty());
}

TEST(RepeaterStatement, PreparationFollowsTheBindingMode) {
    const std::string text = "select `a` from `t`";
    {
        Session session("", {{"ParameterBinding", "NO"}});
        ASSERT_TRUE(session.connected);
        EXPECT_EQ(prepare(*session.statement, text), SQL_SUCCESS);
        EXPECT_TRUE(session.calls("SQLPrepare").empty());
        EXPECT_EQ(session.statement->state(), 1);
    }
    for (const char* variant : {"", "wonly"}) {
        Session session(variant);
        ASSERT_TRUE(session.connected);
        EXPECT_EQ(prepare(*session.statement, text), SQL_SUCCESS);
        const auto prepared =
            session.calls(std::string(variant).empty() ? "SQLPrepare" : "SQLPrepareW");
        ASSERT_EQ(prepared.size(), 1u);
        EXPECT_NE(prepared[0].find("text=\"select \\\"a\\\" from \\\"t\\\"\""), std::string::npos)
            << prepared[0];
    }
}

TEST(RepeaterStatement, DescribeParamReportsLongTextAsWide) {
    Session session(
        "", {},
        {"result insert into t values (?, ?)", "param SQL_LONGVARCHAR|32000", "param VARCHAR|20"});
    ASSERT_TRUE(session.connected);
    ODBCRepeaterStatement& statement = *session.statement;
    ASSERT_EQ(prepare(statement, "insert into t values (?, ?)"), SQL_SUCCESS);
    SQLSMALLINT count = 0;
    EXPECT_EQ(statement.numParams(&count), SQL_SUCCESS);
    EXPECT_EQ(count, 2);
    SQLSMALLINT type = 0;
    SQLULEN size = 0;
    EXPECT_EQ(statement.describeParam(1, &type, &size, nullptr, nullptr), SQL_SUCCESS);
    EXPECT_EQ(type, SQL_WLONGVARCHAR);
    EXPECT_EQ(size, 32000u);
    EXPECT_EQ(statement.describeParam(2, &type, nullptr, nullptr, nullptr), SQL_SUCCESS);
    EXPECT_EQ(type, SQL_VARCHAR);
}

// --- Diagnostics ------------------------------------------------------------------------------

TEST(RepeaterStatement, NativeRecordsAreReadInTurn) {
    Session session("", {},
                    {"result bad", "error 42601|-104|first problem", "warning 01000|1|second"});
    ASSERT_TRUE(session.connected);
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
    SQLINTEGER fieldNative = 0;
    EXPECT_EQ(statement.getDiagField(1, SQL_DIAG_NATIVE, &fieldNative, 0, nullptr), SQL_SUCCESS);
    EXPECT_EQ(fieldNative, -104);
    EXPECT_EQ(statement.getDiagField(2, SQL_DIAG_NATIVE, &fieldNative, 0, nullptr), SQL_NO_DATA);

    // SQLError hands each record out once.
    EXPECT_EQ(statement.error(state, &native, message, sizeof message, nullptr), SQL_SUCCESS);
    EXPECT_EQ(native, -104);
    EXPECT_EQ(statement.error(state, &native, message, sizeof message, nullptr), SQL_NO_DATA);
}

TEST(RepeaterStatement, MessagesAreCutToTheCallersBuffer) {
    for (const char* variant : {"", "wonly"}) {
        std::string text;
        for (int i = 0; i < 300; ++i) {
            text += "\u00e9";  // two bytes each
        }
        Session session(variant, {}, {"result bad", "error 42601|-104|" + text});
        ASSERT_TRUE(session.connected);
        ODBCRepeaterStatement& statement = *session.statement;
        ASSERT_EQ(prepare(statement, "bad"), SQL_SUCCESS);
        ASSERT_EQ(statement.execute(), SQL_ERROR);

        // The 512-byte buffer of the record holds 255 whole characters.
        SQLCHAR state[6] = {};
        SQLINTEGER native = 0;
        std::vector<SQLCHAR> message(600, 0xAA);
        SQLSMALLINT length = 0;
        EXPECT_TRUE(SQL_SUCCEEDED(statement.getDiagRecU(state, &native, message.data(), &length)));
        EXPECT_STREQ(reinterpret_cast<char*>(state), "42601");
        EXPECT_EQ(length, 600) << variant;
        EXPECT_EQ(std::strlen(reinterpret_cast<char*>(message.data())), 510u) << variant;
        EXPECT_EQ(message[511], 0xAA);

        // A small buffer is never overrun.
        std::vector<SQLCHAR> small(16, 0xAA);
        EXPECT_EQ(statement.getDiagRec(1, state, &native, small.data(), 8, &length),
                  SQL_SUCCESS_WITH_INFO);
        EXPECT_EQ(small[8], 0xAA);
        EXPECT_LE(std::strlen(reinterpret_cast<char*>(small.data())), 7u);
    }
}

// --- Fetching -----------------------------------------------------------------------------

TEST(RepeaterStatement, FetchTraceReadsOnlyTheBoundBuffers) {
    Session session(
        "", {},
        {"result select a, b, c, d from t", "column A|VARCHAR|10", "column B|INTEGER",
         "column C|TIMESTAMP", "column D|INTEGER", "row abcdef|7|2024-01-05 09:05:00|9"});
    ASSERT_TRUE(session.connected);
    ODBCRepeaterStatement& statement = *session.statement;
    ASSERT_EQ(execDirect(statement, "select a, b, c, d from t"), SQL_SUCCESS);
    char text[4] = {};
    SQLLEN textLength = 0;
    SQLINTEGER number = 0;
    SQLLEN numberLength = 0;
    SQL_TIMESTAMP_STRUCT stamp{};
    SQLLEN stampLength = 0;
    SQLLEN unboundLength = 0;
    ASSERT_EQ(statement.bindCol(1, SQL_C_CHAR, text, sizeof text, &textLength), SQL_SUCCESS);
    ASSERT_EQ(statement.bindCol(2, SQL_C_LONG, &number, 0, &numberLength), SQL_SUCCESS);
    ASSERT_EQ(statement.bindCol(3, SQL_C_TYPE_TIMESTAMP, &stamp, 0, &stampLength), SQL_SUCCESS);
    // Bound without a target: recorded, and skipped by the trace.
    ASSERT_EQ(statement.bindCol(4, SQL_C_LONG, nullptr, 0, &unboundLength), SQL_SUCCESS);
    EXPECT_EQ(statement.boundColumnCount(), 4u);
    // The text is cut to the 4 bytes bound: its length says 6, the trace
    // shows no more than the buffer.
    EXPECT_EQ(statement.fetch(), SQL_SUCCESS_WITH_INFO);
    EXPECT_EQ(textLength, 6);
    EXPECT_TRUE(session.environment.traced("// repeater fetch column (6): 1: 61 62 63 0 "));
    EXPECT_TRUE(session.environment.traced("// repeater fetch column (4): 2: 7 0 0 0 "));
    EXPECT_TRUE(session.environment.traced("// repeater fetch timestamp: 2024-1-5 9:5:0.0"));
    EXPECT_EQ(session.environment.trace().find("): 4: "), std::string::npos);
    EXPECT_TRUE(session.environment.traced("// repeater fetch return: 1"));
    EXPECT_EQ(statement.fetch(), SQL_NO_DATA);
    EXPECT_TRUE(session.environment.traced("// repeater fetch return: 100"));
    EXPECT_TRUE(ownRecords(statement).empty());
}

TEST(RepeaterStatement, FailedFetchPutsTheDriversRecordInFront) {
    Session session("", {},
                    {"result select a from t", "column A|INTEGER", "row 1",
                     "fetch-error 1|22003|-302|out of range"});
    ASSERT_TRUE(session.connected);
    ASSERT_EQ(execDirect(*session.statement, "select a from t"), SQL_SUCCESS);
    EXPECT_EQ(session.statement->fetch(), SQL_ERROR);
    EXPECT_EQ(ownRecords(*session.statement), std::vector<std::string>{"22003 -302 out of range"});
}

// --- Freeing ------------------------------------------------------------------------------

struct FreeCase {
    SQLUSMALLINT option;
    bool keepsParameters;
    bool keepsColumns;
    const char* call;
};

const FreeCase kFreeCases[] = {
    {SQL_CLOSE, true, true, "SQLFreeStmt"},
    {SQL_UNBIND, true, false, "SQLFreeStmt"},
    {SQL_RESET_PARAMS, false, true, "SQLFreeStmt"},
    {SQL_DROP, false, false, "SQLFreeHandle"},
};

class FreeTest : public ::testing::TestWithParam<FreeCase> {};

TEST_P(FreeTest, ReleasesTheRecordsOfTheOption) {
    const FreeCase& c = GetParam();
    Session session;
    ASSERT_TRUE(session.connected);
    ODBCRepeaterStatement& statement = *session.statement;
    SQLINTEGER number = 0;
    SQLLEN length = 0;
    ASSERT_EQ(statement.bindCol(1, SQL_C_LONG, &number, 0, &length), SQL_SUCCESS);
    ASSERT_EQ(statement.bindParameter(1, SQL_PARAM_INPUT, SQL_C_LONG, SQL_INTEGER, 0, 0, &number, 0,
                                      &length),
              SQL_SUCCESS);
    session.dsns.library.clearJournal();
    EXPECT_EQ(statement.freeStmt(c.option), SQL_SUCCESS);
    EXPECT_EQ(statement.boundParameterCount(), c.keepsParameters ? 1u : 0u);
    EXPECT_EQ(statement.boundColumnCount(), c.keepsColumns ? 1u : 0u);
    ASSERT_EQ(session.calls(c.call).size(), 1u);
    EXPECT_EQ(session.statement->nativeStatementHandle() == nullptr, c.option == SQL_DROP);

    // A dropped statement is not freed again when it is destroyed; any
    // other is freed then.
    session.dsns.library.clearJournal();
    session.statement.reset();
    EXPECT_EQ(session.calls("SQLFreeHandle").size(), c.option == SQL_DROP ? 0u : 1u);
}

INSTANTIATE_TEST_SUITE_P(Repeater, FreeTest, ::testing::ValuesIn(kFreeCases));

}  // namespace
