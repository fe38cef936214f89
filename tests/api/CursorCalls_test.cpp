#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "driver/api/CursorCalls.h"
#include "driver/api/HandleCalls.h"
#include "driver/core/Statement.h"
#include "tests/api/ConnectionTestDoubles.h"
#include "tests/api/TraceTestBuffers.h"

namespace {

struct Session {
    CapturingEnvironment environment;
    ConnectionScript script;
    RecordingConnection connection{&environment, script};
    Statement statement{&connection};

    Session() { environment.trace.clear(); }
    SQLHSTMT handle() { return statementHandle(&statement); }
    std::string trace() const { return normalisedTrace(environment.trace); }
    std::string name() { return statement.cursorName(); }
};

SQLCHAR* text(const char* value) {
    return reinterpret_cast<SQLCHAR*>(const_cast<char*>(value));
}

SQLWCHAR* wide(const wchar_t* value) {
    return reinterpret_cast<SQLWCHAR*>(const_cast<wchar_t*>(value));
}

TEST(CursorCalls, TraceLinesOfEachCall) {
    struct Case {
        const char* name;
        std::function<SQLRETURN(Session&)> call;
        SQLRETURN rc;
        std::string trace;
        std::string cursorName;  // the statement's name afterwards, when it matters
    };
    static SQLCHAR buffer[32];
    static SQLSMALLINT length;
    const std::vector<Case> cases = {
        {"SQLCloseCursor without a cursor",
         [](Session& s) { return calls::closeCursor(s.handle()); }, SQL_ERROR,
         "// ENTER: <time>\n"
         "rc = SQLCloseCursor(stmt<ptr>);\n"
         "// diagnostic: state: 24000  code: 0  msg: \n"
         "// EXIT: <time>  rc: SQL_ERROR\n",
         ""},
        {"SQLSetCursorName",
         [](Session& s) {
             return calls::setCursorName(s.handle(), text("orders_cursor"), SQL_NTS);
         },
         SQL_SUCCESS,
         "rc = SQLSetCursorName(stmt<ptr>, \"orders_cursor\", SQL_NTS);\n"
         "// rc: SQL_SUCCESS\n",
         "orders_cursor"},
        {"SQLSetCursorName with a length",
         [](Session& s) { return calls::setCursorName(s.handle(), text("abcdef"), 3); },
         SQL_SUCCESS,
         "rc = SQLSetCursorName(stmt<ptr>, \"abc\", 3);\n"
         "// rc: SQL_SUCCESS\n",
         "abc"},
        {"SQLSetCursorNameW counts bytes",
         [](Session& s) { return calls::setCursorNameW(s.handle(), wide(L"c\u00e9xyz"), 8); },
         SQL_SUCCESS,
         "rc = SQLSetCursorNameW(stmt<ptr>, \"c\xC3\xA9\", 3);\n"
         "// rc: SQL_SUCCESS\n",
         "c\xC3\xA9"},
        {"SQLSetCursorNameW with -4",
         [](Session& s) { return calls::setCursorNameW(s.handle(), wide(L"cur_1"), -4); },
         SQL_SUCCESS,
         "rc = SQLSetCursorNameW(stmt<ptr>, \"cur_1\", 5);\n"
         "// rc: SQL_SUCCESS\n",
         "cur_1"},
        {"SQLGetCursorName",
         [](Session& s) {
             calls::setCursorName(s.handle(), text("c1"), SQL_NTS);
             s.environment.trace.clear();
             return calls::getCursorName(s.handle(), buffer, 32, &length);
         },
         SQL_SUCCESS,
         "rc = SQLGetCursorName(stmt<ptr>, name<ptr>, 32, len<ptr>);\n"
         "// name: \"c1\"\n"
         "// len: 2\n"
         "// rc: SQL_SUCCESS\n",
         "c1"},
        {"SQLGetCursorNameW names the narrow buffer",
         [](Session& s) {
             static SQLWCHAR name[8];
             calls::setCursorName(s.handle(), text("c1"), SQL_NTS);
             s.environment.trace.clear();
             return calls::getCursorNameW(s.handle(), name, 8, &length);
         },
         SQL_SUCCESS,
         "rc = SQLGetCursorName(stmt<ptr>, name<ptr>, 8, len<ptr>);\n"
         "// name: \"c1\"\n"
         "// len: 2\n"
         "// rc: SQL_SUCCESS\n",
         "c1"},
        {"SQLSetPos",
         [](Session& s) { return calls::setPos(s.handle(), 1, SQL_UPDATE, SQL_LOCK_NO_CHANGE); },
         SQL_ERROR,
         "// ENTER: <time>\n"
         "rc = SQLSetPos(stmt<ptr>, 1, SQL_UPDATE, SQL_LOCK_NO_CHANGE);\n"
         "// diagnostic: state: HY092  code: 0  msg: \n"
         "// EXIT: <time>  rc: SQL_ERROR\n",
         ""},
        {"SQLSetPos with values outside the tables",
         [](Session& s) { return calls::setPos(s.handle(), 2, 17, 9); }, SQL_ERROR,
         "// ENTER: <time>\n"
         "rc = SQLSetPos(stmt<ptr>, 2, unknown (17), unknown (9));\n"
         "// diagnostic: state: HY092  code: 0  msg: \n"
         "// EXIT: <time>  rc: SQL_ERROR\n",
         ""},
        {"SQLBulkOperations", [](Session& s) { return calls::bulkOperations(s.handle(), SQL_ADD); },
         SQL_ERROR,
         "// ENTER: <time>\n"
         "rc = SQLBulkOperations(stmt<ptr>, SQL_ADD);\n"
         "// diagnostic: state: HY092  code: 0  msg: \n"
         "// EXIT: <time>  rc: SQL_ERROR\n",
         ""},
    };
    for (const Case& c : cases) {
        Session session;
        EXPECT_EQ(c.call(session), c.rc) << c.name;
        EXPECT_EQ(session.trace(), c.trace) << c.name;
        if (!c.cursorName.empty()) {
            EXPECT_EQ(session.name(), c.cursorName) << c.name;
        }
    }
}

TEST(CursorCalls, SetCursorNameWLengths) {
    struct Case {
        SQLSMALLINT length;
        std::string passed;
    };
    const Case cases[] = {{8, "ab"}, {2, ""}, {SQL_NTS, "abc"}, {-4, "abc"}, {0, ""}};
    for (const Case& c : cases) {
        Session session;
        // An empty name is no name: the statement then makes its own.
        EXPECT_EQ(calls::setCursorNameW(session.handle(), wide(L"abc"), c.length), SQL_SUCCESS)
            << c.length;
        const std::string name = session.name();
        EXPECT_EQ(c.passed.empty() ? name.rfind("SQL_CUR", 0) == 0 : name == c.passed, true)
            << c.length << " gave " << name;
    }
}

TEST(CursorCalls, GetCursorNameWFitsTheNameToTheCallersCharacters) {
    struct Case {
        SQLSMALLINT bufferLength;
        std::wstring held;
        SQLRETURN rc;
    };
    // The name "cürsor9": seven characters, eight UTF-8 bytes.
    const Case cases[] = {
        {-1, L"", SQL_SUCCESS_WITH_INFO},       {0, L"", SQL_SUCCESS_WITH_INFO},
        {1, L"", SQL_SUCCESS_WITH_INFO},        {2, L"c", SQL_SUCCESS_WITH_INFO},
        {3, L"c\u00fc", SQL_SUCCESS_WITH_INFO}, {7, L"c\u00fcrsor", SQL_SUCCESS_WITH_INFO},
        {8, L"c\u00fcrsor9", SQL_SUCCESS},      {5000, L"c\u00fcrsor9", SQL_SUCCESS},
    };
    for (const Case& c : cases) {
        Session session;
        ASSERT_EQ(session.statement.setCursorName(text("c\xC3\xBCrsor9"), SQL_NTS), SQL_SUCCESS);
        const std::size_t characters = c.bufferLength > 0 ? c.bufferLength : 0;
        GuardedBuffer name(characters * sizeof(SQLWCHAR));
        std::memset(name.data(), 0x55, name.size());
        SQLSMALLINT length = -1;
        EXPECT_EQ(
            calls::getCursorNameW(session.handle(), name.as<SQLWCHAR>(), c.bufferLength, &length),
            c.rc)
            << c.bufferLength;
        EXPECT_EQ(length, 7) << c.bufferLength;
        if (characters > 0) {
            EXPECT_EQ(std::wstring(name.as<wchar_t>()), c.held) << c.bufferLength;
        }
        EXPECT_EQ(stateOf(session.statement.diagnostics()), c.rc == SQL_SUCCESS ? "none" : "01004")
            << c.bufferLength;
    }

    Session session;
    session.statement.setCursorName(text("c9"), SQL_NTS);
    SQLSMALLINT length = -1;
    EXPECT_EQ(calls::getCursorNameW(session.handle(), nullptr, 0, &length), SQL_SUCCESS);
    EXPECT_EQ(length, 2) << "the length alone";
}

}  // namespace
