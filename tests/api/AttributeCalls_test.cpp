// The attribute and option entry points over statements and a connected
// connection handle of the core library.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "driver/api/AttributeCalls.h"
#include "driver/api/HandleCalls.h"
#include "driver/core/ConnectionProxy.h"
#include "tests/core/StatementTestSupport.h"
#include "tests/api/TraceText.h"

namespace {

using stmt_test::TestConnection;
using stmt_test::TestEnvironment;

std::string normalised(const std::string& trace) {
    return trace_text::normalised(trace);
}

// The lengths the attribute operations received.
struct Lengths {
    std::vector<SQLINTEGER> set;
    std::vector<SQLINTEGER> buffer;
    std::vector<bool> lengthPointer;
};

class NotingStatement : public stmt_test::RecordingStatement {
  public:
    NotingStatement(TestConnection* connection, Lengths& lengths)
        : RecordingStatement(connection), lengths_(lengths) {}
    SQLRETURN setStmtAttr(SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length) override {
        lengths_.set.push_back(length);
        return RecordingStatement::setStmtAttr(attribute, value, length);
    }
    SQLRETURN getStmtAttr(SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER bufferLength,
                          SQLINTEGER* length) override {
        lengths_.buffer.push_back(bufferLength);
        lengths_.lengthPointer.push_back(length != nullptr);
        return RecordingStatement::getStmtAttr(attribute, value, bufferLength, length);
    }

  private:
    Lengths& lengths_;
};

class NotingConnection : public TestConnection {
  public:
    NotingConnection(Environment* environment, Lengths& lengths)
        : TestConnection(environment), lengths_(lengths) {}
    SQLRETURN setConnectAttr(SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length) override {
        lengths_.set.push_back(length);
        return TestConnection::setConnectAttr(attribute, value, length);
    }

  private:
    Lengths& lengths_;
};

struct StatementSetup {
    TestEnvironment environment;
    TestConnection connection{&environment};
    Lengths lengths;
    NotingStatement statement{&connection, lengths};
    SQLHSTMT handle() { return statementHandle(&statement); }
    std::string trace() const { return normalised(environment.trace); }
};

TEST(AttributeCalls, ReadingAStatementAttributeDeclaresItsValueByWidth) {
    struct Case {
        const char* name;
        SQLINTEGER attribute;
        SQLINTEGER bufferLength;
        bool withLength;
        std::string lines;
    };
    const std::vector<Case> cases = {
        {"descriptor handle, commented out", SQL_ATTR_APP_ROW_DESC, SQL_IS_POINTER, false,
         "// SQLPOINTER value<ptr> = NULL;\n"
         "// rc = SQLGetStmtAttr(stmt<ptr>, SQL_ATTR_APP_ROW_DESC, (SQLPOINTER) value<ptr>, "
         "SQL_IS_POINTER, NULL);\n"
         "// value: <ptr>\n"
         "// rc: SQL_SUCCESS\n"},
        {"fixed width, passed by address", SQL_ATTR_QUERY_TIMEOUT, SQL_IS_INTEGER, true,
         "SQLINTEGER value<ptr> = 0;\n"
         "SQLINTEGER len<ptr> = 0;\n"
         "rc = SQLGetStmtAttr(stmt<ptr>, SQL_ATTR_QUERY_TIMEOUT, (SQLPOINTER) &value<ptr>, "
         "SQL_IS_INTEGER, &len<ptr>);\n"
         "// value: 0\n"
         "// len: 0\n"
         "// rc: SQL_SUCCESS\n"},
        {"unsigned small", SQL_ATTR_CURSOR_TYPE, SQL_IS_USMALLINT, false,
         "SQLUSMALLINT value<ptr> = 0;\n"
         "rc = SQLGetStmtAttr(stmt<ptr>, SQL_ATTR_CURSOR_TYPE, (SQLPOINTER) &value<ptr>, "
         "SQL_IS_USMALLINT, NULL);\n"
         "// value: SQL_CURSOR_FORWARD_ONLY\n"
         "// rc: SQL_SUCCESS\n"},
        {"a byte count", SQL_ATTR_MAX_ROWS, 8, false,
         "char value<ptr>[8];\n"
         "rc = SQLGetStmtAttr(stmt<ptr>, SQL_ATTR_MAX_ROWS, (SQLPOINTER) value<ptr>, 8, NULL);\n"
         "// value: 0\n"
         "// rc: SQL_SUCCESS\n"},
        {"a length naming no width", SQL_ATTR_MAX_ROWS, -9, false,
         "rc = SQLGetStmtAttr(stmt<ptr>, SQL_ATTR_MAX_ROWS, (SQLPOINTER) value<ptr>, -9, NULL);\n"
         "// value: 0\n"
         "// rc: SQL_SUCCESS\n"},
    };
    for (const Case& c : cases) {
        StatementSetup s;
        s.environment.tracing = true;
        SQLULEN value = 0;  // wide enough for every attribute
        SQLINTEGER length = 0;
        EXPECT_EQ(calls::getStmtAttr(s.handle(), c.attribute, &value, c.bufferLength,
                                     c.withLength ? &length : nullptr),
                  SQL_SUCCESS)
            << c.name;
        EXPECT_EQ(s.trace(), c.lines) << c.name;
    }
}

TEST(AttributeCalls, StatementSettersAndOptions) {
    StatementSetup s;
    s.environment.tracing = true;
    SQLUINTEGER timeout = 99;
    EXPECT_EQ(calls::setStmtAttr(s.handle(), SQL_ATTR_QUERY_TIMEOUT,
                                 reinterpret_cast<SQLPOINTER>(5), SQL_IS_INTEGER),
              SQL_SUCCESS);
    EXPECT_EQ(calls::setStmtAttrW(s.handle(), SQL_ATTR_MAX_ROWS, reinterpret_cast<SQLPOINTER>(7),
                                  SQL_IS_UINTEGER),
              SQL_SUCCESS);
    EXPECT_EQ(calls::setStmtOption(s.handle(), SQL_ROWSET_SIZE, 3), SQL_SUCCESS);
    EXPECT_EQ(calls::getStmtOption(s.handle(), SQL_QUERY_TIMEOUT, &timeout), SQL_SUCCESS);
    EXPECT_EQ(timeout, 5u);
    SQLULEN rows = 0;
    EXPECT_EQ(calls::getStmtAttrW(s.handle(), SQL_ATTR_MAX_ROWS, &rows, 0, nullptr), SQL_SUCCESS);
    EXPECT_EQ(rows, 7u);

    // The ODBC 2 forms hand on SQL_NTS, and a 256-byte buffer without length.
    EXPECT_EQ(s.lengths.set, (std::vector<SQLINTEGER>{SQL_IS_INTEGER, SQL_IS_UINTEGER, SQL_NTS}));
    EXPECT_EQ(s.lengths.buffer, (std::vector<SQLINTEGER>{256, 0}));
    EXPECT_EQ(s.lengths.lengthPointer, (std::vector<bool>{false, false}));
    EXPECT_EQ(s.trace(),
              "rc = SQLSetStmtAttr(stmt<ptr>, SQL_ATTR_QUERY_TIMEOUT, (SQLPOINTER) 5, "
              "SQL_IS_INTEGER);\n"
              "// rc: SQL_SUCCESS\n"
              "rc = SQLSetStmtAttrW(stmt<ptr>, SQL_ATTR_MAX_ROWS, (SQLPOINTER) 7, "
              "SQL_IS_UINTEGER);\n"
              "// rc: SQL_SUCCESS\n"
              "rc = SQLSetStmtOption(stmt<ptr>, SQL_ROWSET_SIZE, 3);\n"
              "// rc: SQL_SUCCESS\n"
              "char value<ptr>[256];\n"
              "rc = SQLGetStmtOption(stmt<ptr>, SQL_ATTR_QUERY_TIMEOUT, value<ptr>);\n"
              "// value: 5\n"
              "// rc: SQL_SUCCESS\n"
              "char value<ptr>[0];\n"
              "rc = SQLGetStmtAttrW(stmt<ptr>, SQL_ATTR_MAX_ROWS, (SQLPOINTER) value<ptr>, 0, "
              "NULL);\n"
              "// value: 7\n"
              "// rc: SQL_SUCCESS\n");
}

// A connection handle with a connection attached.
struct Connected {
    TestEnvironment environment;
    Lengths lengths;
    ConnectionProxy proxy{&environment};
    NotingConnection* connection = nullptr;
    Connected() {
        auto made = std::make_unique<NotingConnection>(&environment, lengths);
        connection = made.get();
        proxy.setConnection(std::move(made));
        lengths.set.clear();
    }
    SQLHDBC handle() { return connectionHandle(&proxy); }
};

TEST(AttributeCalls, ConnectedTextAttributesTravelAsUtf8) {
    Connected c;
    const wchar_t* catalog = L"d\u00e9p\u00f4t";
    EXPECT_EQ(calls::setConnectAttrW(c.handle(), SQL_ATTR_CURRENT_CATALOG,
                                     const_cast<wchar_t*>(catalog), 5 * sizeof(SQLWCHAR)),
              SQL_SUCCESS);
    EXPECT_EQ(c.connection->getAttrCurrentCatalog(), "d\xC3\xA9p\xC3\xB4t");
    EXPECT_EQ(calls::setConnectOptionW(c.handle(), SQL_CURRENT_QUALIFIER,
                                       reinterpret_cast<SQLULEN>(L"x\u00e9")),
              SQL_SUCCESS);
    EXPECT_EQ(c.connection->getAttrCurrentCatalog(), "x\xC3\xA9");
    EXPECT_EQ(calls::setConnectOption(c.handle(), SQL_AUTOCOMMIT, SQL_AUTOCOMMIT_OFF), SQL_SUCCESS);
    EXPECT_EQ(c.lengths.set.back(), SQL_NTS);

    SQLWCHAR wide[8] = {};
    SQLINTEGER length = 0;
    EXPECT_EQ(
        calls::getConnectAttrW(c.handle(), SQL_ATTR_CURRENT_CATALOG, wide, sizeof wide, &length),
        SQL_SUCCESS);
    EXPECT_EQ(std::wstring(reinterpret_cast<wchar_t*>(wide)), L"x\u00e9");
    EXPECT_EQ(length, 8);
}

}  // namespace
