// The preparation, execution and parameter entry points over statements
// and connection handles of the core library: the text each operation
// receives, the wide conversions, and the trace they write.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <clocale>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "driver/api/ExecutionCalls.h"
#include "driver/api/HandleCalls.h"
#include "driver/core/ConnectionProxy.h"
#include "tests/core/StatementTestSupport.h"
#include "tests/api/TraceText.h"
#include "tests/support/ScopedEnv.h"

namespace {

using stmt_test::StatementFixture;
using stmt_test::TestConnection;
using stmt_test::TestEnvironment;

constexpr SQLWCHAR kCanary = 0xABABABAB;

SQLWCHAR* wide(const wchar_t* text) {
    return reinterpret_cast<SQLWCHAR*>(const_cast<wchar_t*>(text));
}

SQLCHAR* narrow(const char* text) {
    return reinterpret_cast<SQLCHAR*>(const_cast<char*>(text));
}

// The lines the entry points write (the operations' own remarks left out),
// comparable as text.
std::string normalised(const std::string& trace) {
    return trace_text::normalised(
        trace,
        {"ENTER: ", "EXIT: ", "rc: ", "len: ", "count: ", "type: ", "size: ", "scale: ", "null: ",
         "native: ", "textLength", "utf-8: ", "wideAPI: ", "Connection locale: ", "diagnostic: "});
}

struct Stmt : StatementFixture {
    SQLHSTMT handle() { return statementHandle(&statement); }
    std::string sent() const { return connection.sent.empty() ? "<none>" : connection.sent.back(); }
};

TEST(ExecutionCalls, WideTextIsSentInTheEncodingTheConnectionAsksFor) {
    struct Case {
        const char* name;
        bool wideApi;
        StringEncoding send;
        const char* language;
        const wchar_t* text;
        std::string expected;
        const char* encodingLine;
    };
    const Case cases[] = {
        {"UTF-8 send", false, kEncodingUtf8, "en", L"caf\u00e9", "caf\xC3\xA9",
         "// wideAPI: 0 sendEncoding: 134217984"},
        {"Latin-1 send", false, kEncodingIsoLatin1, "en", L"caf\u00e9 \u20ac", "caf\xE9 ?",
         "// wideAPI: 0 sendEncoding: 513"},
        {"wide API wins over Latin-1", true, kEncodingIsoLatin1, "en", L"caf\u00e9", "caf\xC3\xA9",
         "// wideAPI: 1 sendEncoding: 513"},
        // A host that widens the bytes of its Mac encoding: 0x8E is e-acute
        // in MacRoman, 0x82 0xA0 hiragana A in Mac Japanese.
        {"language encoding, Roman", false, kEncodingMacRoman, "en", L"caf\u008e", "caf\xC3\xA9",
         "// wideAPI: 0 sendEncoding: 0"},
        {"language encoding, Japanese", false, kEncodingMacJapanese, "ja", L"\u0082\u00a0",
         "\xE3\x81\x82", "// wideAPI: 0 sendEncoding: 1"},
        {"wide API wins over the language encoding", true, kEncodingMacJapanese, "ja", L"caf\u00e9",
         "caf\xC3\xA9", "// wideAPI: 1 sendEncoding: 1"},
    };
    for (const Case& c : cases) {
        const ScopedEnv language("LANGUAGE", c.language);
        Stmt s;
        s.environment.tracing = true;
        s.connection.setWideApi(c.wideApi);
        s.connection.setSendEncodingId(c.send);
        EXPECT_EQ(calls::execDirectW(s.handle(), wide(c.text), SQL_NTS), SQL_SUCCESS) << c.name;
        EXPECT_EQ(s.sent(), c.expected) << c.name;
        EXPECT_NE(s.environment.trace.find(std::string(c.encodingLine) + "\n"), std::string::npos)
            << c.name << "\n"
            << s.environment.trace;

        Stmt prepared;
        prepared.connection.setWideApi(c.wideApi);
        prepared.connection.setSendEncodingId(c.send);
        EXPECT_EQ(calls::prepareW(prepared.handle(), wide(c.text), SQL_NTS), SQL_SUCCESS);
        EXPECT_EQ(prepared.statement.preparedText(), c.expected) << c.name;
    }
}

TEST(ExecutionCalls, WideTextLengths) {
    struct Case {
        const char* name;
        const wchar_t* text;  // null for no text
        SQLINTEGER length;
        std::string expected;
    };
    const Case cases[] = {
        {"SQL_NTS", L"select 1", SQL_NTS, "select 1"},
        {"-4 reads like SQL_NTS", L"select 1", -4, "select 1"},
        {"other negatives read to the terminator", L"select 1", -1, "select 1"},
        {"a count", L"select 1", 6, "select"},
        {"a count past a zero unit stops there", L"abcd\0efghij", 10, "abcd"},
        {"zero", L"select 1", 0, ""},
        {"no text with a count", nullptr, 5, ""},
    };
    for (const Case& c : cases) {
        Stmt s;
        SQLWCHAR* text = c.text == nullptr ? nullptr : wide(c.text);
        EXPECT_EQ(calls::execDirectW(s.handle(), text, c.length), SQL_SUCCESS) << c.name;
        EXPECT_EQ(s.sent(), c.expected) << c.name;
        EXPECT_EQ(calls::prepareW(s.handle(), text, c.length), SQL_SUCCESS) << c.name;
        EXPECT_EQ(s.statement.preparedText(), c.expected) << c.name;
    }
}

TEST(ExecutionCalls, ExecDirectWTraceShowsTheEncodingFacts) {
    Stmt s;
    s.environment.tracing = true;
    ASSERT_EQ(calls::execDirectW(s.handle(), wide(L"abcd\0efghij"), 10), SQL_SUCCESS);
    const std::string locale = std::setlocale(LC_CTYPE, nullptr);
    EXPECT_EQ(normalised(s.environment.trace),
              "// textLengthW: 10\n"
              "// textLengthChars: 4\n"
              "// utf-8: \"abcd\"\n"
              "// wideAPI: 0 sendEncoding: 134217984\n"
              "// Connection locale: " +
                  locale +
                  "\n"
                  "// ENTER: <time>\n"
                  "rc = SQLExecDirectW(stmt<ptr>, TEXT(\"abcd\"), 10);\n"
                  "// EXIT: <time>  rc: SQL_SUCCESS\n");
}

TEST(ExecutionCalls, StampedAndPlainFramesTraceTheirCalls) {
    Stmt s;
    s.environment.tracing = true;
    SQLLEN indicator = SQL_NTS;
    char value[8] = "42";
    SQLSMALLINT count = -1;
    SQLULEN size = 0;
    SQLSMALLINT scale = -1;
    SQLSMALLINT nullable = -1;
    SQLPOINTER token = nullptr;

    EXPECT_EQ(calls::prepare(s.handle(), narrow("select ? -- tail"), 8), SQL_SUCCESS);
    EXPECT_EQ(calls::prepareW(s.handle(), wide(L"select ?"), -4), SQL_SUCCESS);
    EXPECT_EQ(calls::numParams(s.handle(), &count), SQL_SUCCESS);
    EXPECT_EQ(calls::bindParameter(s.handle(), 1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_INTEGER, 0, 0,
                                   value, sizeof value, &indicator),
              SQL_SUCCESS);
    EXPECT_EQ(calls::describeParam(s.handle(), 1, nullptr, &size, &scale, &nullable), SQL_SUCCESS);
    EXPECT_EQ(calls::describeParam(s.handle(), 2, nullptr, nullptr, nullptr, nullptr), SQL_ERROR);
    EXPECT_EQ(calls::execute(s.handle()), SQL_SUCCESS);
    EXPECT_EQ(calls::paramData(s.handle(), &token), SQL_SUCCESS);
    EXPECT_EQ(calls::putData(s.handle(), value, -1), SQL_SUCCESS);
    EXPECT_EQ(calls::cancel(s.handle()), SQL_SUCCESS);
    EXPECT_EQ(calls::execDirect(s.handle(), nullptr, 5), SQL_SUCCESS);
    // SQLParamData with no parameter waiting runs the statement once more.
    EXPECT_EQ(s.connection.sent, (std::vector<std::string>{"select 42", "select 42", ""}));

    EXPECT_EQ(normalised(s.environment.trace),
              "// ENTER: <time>\n"
              "rc = SQLPrepare(stmt<ptr>, (SQLCHAR *) \"select ?\", 8);\n"
              "// EXIT: <time>  rc: SQL_SUCCESS\n"
              "// ENTER: <time>\n"
              "rc = SQLPrepareW(stmt<ptr>, TEXT(\"select ?\"), -4);\n"
              "// EXIT: <time>  rc: SQL_SUCCESS\n"
              "SQLSMALLINT count<ptr> = 0;\n"
              "rc = SQLNumParams(stmt<ptr>, &count<ptr>);\n"
              "// count: 1\n"
              "// rc: SQL_SUCCESS\n"
              "char value<ptr>[8];\n"
              "SQLLEN len<ptr> = SQL_NTS;\n"
              "rc = SQLBindParameter(stmt<ptr>, 1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_INTEGER, 0, "
              "0, value<ptr>, 8, &len<ptr>);\n"
              "// len: SQL_NTS\n"
              "// rc: SQL_SUCCESS\n"
              "SQLULEN size<ptr> = 0;\n"
              "SQLSMALLINT scale<ptr> = 0;\n"
              "SQLSMALLINT null<ptr> = 0;\n"
              "rc = SQLDescribeParam(stmt<ptr>, 1, NULL, &size<ptr>, &scale<ptr>, &null<ptr>);\n"
              "// type: null\n"
              "// size: " +
                  std::to_string(size) + "\n// scale: " + std::to_string(scale) +
                  "\n// null: " + std::to_string(nullable) +
                  "\n"
                  "// rc: SQL_SUCCESS\n"
                  "rc = SQLDescribeParam(stmt<ptr>, 2, NULL, NULL, NULL, NULL);\n"
                  "// diagnostic: state: 07009  code: 0  msg: \n"
                  "// rc: SQL_ERROR\n"
                  "// ENTER: <time>\n"
                  "rc = SQLExecute(stmt<ptr>);\n"
                  "// EXIT: <time>  rc: SQL_SUCCESS\n"
                  "rc = SQLParamData(stmt<ptr>, value<ptr>);\n"
                  "// count: <ptr>\n"
                  "// rc: SQL_SUCCESS\n"
                  "rc = SQLPutData(stmt<ptr>, data<ptr>, -1);\n"
                  "// rc: SQL_SUCCESS\n"
                  "// ENTER: <time>\n"
                  "rc = SQLCancel(stmt<ptr>);\n"
                  "// EXIT: <time>  rc: SQL_SUCCESS\n"
                  "// ENTER: <time>\n"
                  "rc = SQLExecDirect(stmt<ptr>, (SQLCHAR *) NULL, 5);\n"
                  "// EXIT: <time>  rc: SQL_SUCCESS\n");
}

// A statement whose parameter array size cannot be set.
class FixedParamsetStatement : public stmt_test::RecordingStatement {
  public:
    using RecordingStatement::RecordingStatement;
    SQLRETURN setAttrParamsetSize(SQLULEN) override {
        postState("HY024");
        return SQL_ERROR;
    }
};

TEST(ExecutionCalls, ParamOptionsSetsTheProcessedPointerOnlyAfterTheSize) {
    TestEnvironment environment;
    TestConnection connection(&environment);
    stmt_test::RecordingStatement accepting(&connection);
    FixedParamsetStatement refusing(&connection);
    SQLULEN processed = 0;
    environment.tracing = true;

    EXPECT_EQ(calls::paramOptions(statementHandle(&accepting), 3, &processed), SQL_SUCCESS);
    EXPECT_EQ(accepting.getAttrParamsetSize(), 3u);
    EXPECT_EQ(accepting.getAttrParamsProcessedPtr(), &processed);

    EXPECT_EQ(calls::paramOptions(statementHandle(&refusing), 3, &processed), SQL_ERROR);
    EXPECT_EQ(refusing.getAttrParamsProcessedPtr(), nullptr);
    EXPECT_EQ(normalised(environment.trace),
              "rc = SQLParamOptions(stmt<ptr>, 3, <ptr>);\n"
              "// rc: SQL_SUCCESS\n"
              "rc = SQLParamOptions(stmt<ptr>, 3, <ptr>);\n"
              "// diagnostic: state: HY024  code: 0  msg: \n"
              "// rc: SQL_ERROR\n");
}

// A connection handle with a connection attached, whose native SQL is the
// text itself.
struct Connected {
    TestEnvironment environment;
    ConnectionProxy proxy{&environment};
    Connected() { proxy.setConnection(std::make_unique<TestConnection>(&environment)); }
    SQLHDBC handle() { return connectionHandle(&proxy); }
    std::string firstState() {
        SQLCHAR state[6] = {};
        return proxy.diagnostics().getDiagField(1, SQL_DIAG_SQLSTATE, state, sizeof state,
                                                nullptr) == SQL_SUCCESS
                   ? reinterpret_cast<char*>(state)
                   : "none";
    }
};

TEST(ExecutionCalls, NativeSqlWFillsWideBuffersOfEverySize) {
    // Eight characters, eleven bytes of UTF-8.
    const wchar_t* text = L"s\u00e9lect \u2603";
    struct Case {
        SQLINTEGER bufferLength;
        SQLRETURN rc;
        int copied;  // characters before the terminator; -1 for none written
    };
    const Case cases[] = {
        {-1, SQL_SUCCESS_WITH_INFO, -1},
        {0, SQL_SUCCESS_WITH_INFO, -1},
        {1, SQL_SUCCESS_WITH_INFO, 0},
        {2, SQL_SUCCESS_WITH_INFO, 1},
        {3, SQL_SUCCESS_WITH_INFO, 2},
        {8, SQL_SUCCESS_WITH_INFO, 7},
        {9, SQL_SUCCESS, 8},
        {4000, SQL_SUCCESS, 8},
    };
    for (const Case& c : cases) {
        Connected connected;
        // Exactly the size the caller states, so that a write past it is seen.
        std::vector<SQLWCHAR> out(static_cast<std::size_t>(std::max(c.bufferLength, 1)), kCanary);
        SQLINTEGER length = -1;
        EXPECT_EQ(calls::nativeSqlW(connected.handle(), wide(text), SQL_NTS, out.data(),
                                    c.bufferLength, &length),
                  c.rc)
            << c.bufferLength;
        EXPECT_EQ(length, 8) << c.bufferLength;
        EXPECT_EQ(connected.firstState(), c.rc == SQL_SUCCESS ? "none" : "01004") << c.bufferLength;
        if (c.copied < 0) {
            EXPECT_EQ(out[0], kCanary) << c.bufferLength;
            continue;
        }
        EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(out.data())),
                  std::wstring(text, static_cast<std::size_t>(c.copied)))
            << c.bufferLength;
    }
}

TEST(ExecutionCalls, NativeSqlWWithoutBufferReportsTheLengthAlone) {
    Connected connected;
    connected.environment.tracing = true;
    SQLINTEGER length = -1;
    EXPECT_EQ(calls::nativeSqlW(connected.handle(), wide(L"s\u00e9lect"), 4, nullptr, 0, &length),
              SQL_SUCCESS);
    EXPECT_EQ(length, 4);
    EXPECT_EQ(normalised(connected.environment.trace),
              "rc = SQLNativeSqlW(dbc<ptr>, \"s\xC3\xA9le\", 4, native<ptr>, 0, len<ptr>);\n"
              "// native: \"s\xC3\xA9le\"\n"
              "// len: 5\n"
              "// rc: SQL_SUCCESS\n");
}

TEST(ExecutionCalls, NativeSqlWReadsALongAnswerWhole) {
    // More than the first narrow buffer holds, and a character cut at its end.
    std::wstring text(70 * 1024, L'\u00e9');
    Connected connected;
    std::vector<SQLWCHAR> out(text.size() + 1, kCanary);
    SQLINTEGER length = 0;
    EXPECT_EQ(calls::nativeSqlW(connected.handle(), wide(text.c_str()), SQL_NTS, out.data(),
                                static_cast<SQLINTEGER>(out.size()), &length),
              SQL_SUCCESS);
    EXPECT_EQ(length, static_cast<SQLINTEGER>(text.size()));
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(out.data())), text);
}

TEST(ExecutionCalls, NullHandlesAreRefused) {
    EXPECT_EQ(calls::execDirect(nullptr, narrow("x"), SQL_NTS), SQL_INVALID_HANDLE);
    EXPECT_EQ(calls::execDirectW(nullptr, wide(L"x"), SQL_NTS), SQL_INVALID_HANDLE);
    EXPECT_EQ(calls::nativeSqlW(nullptr, wide(L"x"), SQL_NTS, nullptr, 0, nullptr),
              SQL_INVALID_HANDLE);
    EXPECT_EQ(calls::paramOptions(nullptr, 1, nullptr), SQL_INVALID_HANDLE);
}

}  // namespace
