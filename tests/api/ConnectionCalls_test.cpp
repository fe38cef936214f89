#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "driver/api/ConnectionCalls.h"
#include "driver/api/HandleCalls.h"
#include "driver/core/ConnectionProxy.h"
#include "driver/core/Statement.h"
#include "tests/api/ConnectionTestDoubles.h"
#include "tests/api/TraceTestBuffers.h"

namespace {

SQLCHAR* text(const char* value) {
    return reinterpret_cast<SQLCHAR*>(const_cast<char*>(value));
}

SQLWCHAR* wide(const wchar_t* value) {
    return reinterpret_cast<SQLWCHAR*>(const_cast<wchar_t*>(value));
}

std::size_t indexOf(const std::vector<std::string>& journal, const std::string& entry) {
    return static_cast<std::size_t>(std::find(journal.begin(), journal.end(), entry) -
                                    journal.begin());
}

// One connection handle on a tracing environment.
struct Handle {
    CapturingEnvironment environment;
    ConnectionProxy proxy{&environment};
    SQLHDBC dbc() { return connectionHandle(&proxy); }
    std::string trace() const { return normalisedTrace(withoutBanner(environment.trace)); }
};

TEST(ConnectionCalls, ConnectShowsThePasswordOnlyAsStars) {
    struct Case {
        const char* name;
        std::function<SQLRETURN(SQLHDBC)> call;
        std::string line;
        std::string server;
        std::string user;
        std::string password;
    };
    const std::vector<Case> cases = {
        {"narrow",
         [](SQLHDBC dbc) {
             return calls::connect(dbc, text("srv"), SQL_NTS, text("joe"), 3, text("secret"), 6);
         },
         R"(rc = SQLConnect(dbc<ptr>, (SQLCHAR *) "srv", SQL_NTS, (SQLCHAR *) "joe", 3, )"
         R"((SQLCHAR *) "***", 6);)",
         "srv", "joe", "secret"},
        {"wide, lengths become UTF-8 bytes",
         [](SQLHDBC dbc) {
             return calls::connectW(dbc, wide(L"srv"), SQL_NTS, wide(L"j\u00f6e"), 3,
                                    wide(L"s\u00e9cret"), SQL_NTS);
         },
         R"(rc = SQLConnectW(dbc<ptr>, (SQLTCHAR *) _T("srv"), 3, (SQLTCHAR *) _T("j)"
         "\xC3\xB6"
         R"(e"), 4, (SQLTCHAR *) _T("***"), 7);)",
         "srv",
         "j\xC3\xB6"
         "e",
         "s\xC3\xA9"
         "cret"},
    };
    for (const Case& c : cases) {
        ConnectionScript script;
        RecordingFactory factory(script);
        Handle handle;
        EXPECT_EQ(c.call(handle.dbc()), SQL_SUCCESS) << c.name;
        EXPECT_EQ(handle.trace(),
                  "// ENTER: <time>\n" + c.line + "\n// EXIT: <time>  rc: SQL_SUCCESS\n")
            << c.name;
        EXPECT_EQ(handle.environment.trace.find("cret"), std::string::npos) << c.name;
        EXPECT_NE(handle.environment.trace.find("// App: "), std::string::npos)
            << c.name << ": the new connection writes its banner";
        EXPECT_EQ(script.journal.front(), "identify " + c.server) << c.name;
        EXPECT_EQ(script.journal.back(), "connect " + c.server + " " + c.user + " #1") << c.name;
        EXPECT_EQ(script.gotPassword, c.password) << c.name;
    }
}

TEST(ConnectionCalls, DriverConnectMasksTheConnectionText) {
    struct Case {
        const char* name;
        SQLSMALLINT bufferLength;
        bool withBuffer;
        bool withLength;
        std::string expected;
    };
    const Case cases[] = {
        {"whole text", 64, true, true,
         "// ENTER: <time>\n"
         "SQLCHAR out<ptr>[64];\n"
         "SQLSMALLINT len<ptr> = 0;\n"
         R"(rc = SQLDriverConnect(dbc<ptr>, (HWND) <ptr>, (SQLCHAR *) "DSN=x;PWD=****;", )"
         "SQL_NTS, out<ptr>, 64, &len<ptr>, SQL_DRIVER_NOPROMPT);\n"
         R"(// out: "DSN=x;UID=u;PWD=****;")"
         "\n// len: 23\n"
         "// EXIT: <time>  rc: SQL_SUCCESS\n"},
        {"no buffer, no length", 0, false, false,
         "// ENTER: <time>\n"
         R"(rc = SQLDriverConnect(dbc<ptr>, (HWND) <ptr>, (SQLCHAR *) "DSN=x;PWD=****;", )"
         "SQL_NTS, NULL, 0, NULL, SQL_DRIVER_NOPROMPT);\n"
         "// out: NULL\n"
         "// len: NULL\n"
         "// EXIT: <time>  rc: SQL_SUCCESS\n"},
        // The text is cut to 9 bytes plus its NUL, and the buffer ends at an
        // unreadable page: the out line reads no more than was written.
        {"short buffer", 10, true, true,
         "// ENTER: <time>\n"
         "SQLCHAR out<ptr>[10];\n"
         "SQLSMALLINT len<ptr> = 0;\n"
         R"(rc = SQLDriverConnect(dbc<ptr>, (HWND) <ptr>, (SQLCHAR *) "DSN=x;PWD=****;", )"
         "SQL_NTS, out<ptr>, 10, &len<ptr>, SQL_DRIVER_NOPROMPT);\n"
         R"(// out: "DSN=x;UID;")"
         "\n// len: 23\n"
         "// EXIT: <time>  rc: SQL_SUCCESS\n"},
    };
    for (const Case& c : cases) {
        ConnectionScript script;
        script.completedText = "DSN=x;UID=u;PWD=secret;";
        RecordingFactory factory(script);
        Handle handle;
        GuardedBuffer out(c.withBuffer ? static_cast<std::size_t>(c.bufferLength) : 1);
        SQLSMALLINT length = 0;
        const SQLRETURN rc =
            calls::driverConnect(handle.dbc(), nullptr, text("DSN=x;PWD=secret;"), SQL_NTS,
                                 c.withBuffer ? out.as<SQLCHAR>() : nullptr, c.bufferLength,
                                 c.withLength ? &length : nullptr, SQL_DRIVER_NOPROMPT);
        EXPECT_EQ(rc, SQL_SUCCESS) << c.name;
        EXPECT_EQ(handle.trace(), c.expected) << c.name;
        EXPECT_EQ(handle.environment.trace.find("secret"), std::string::npos) << c.name;
        EXPECT_EQ(script.gotConnectionText, "DSN=x;PWD=secret;") << c.name;
        if (c.withLength) {
            EXPECT_EQ(length, 23) << c.name;
        }
    }
}

TEST(ConnectionCalls, DriverConnectWFitsTheTextToWideCharacters) {
    struct Case {
        const char* name;
        std::string completed;     // UTF-8, as the connection writes it
        SQLSMALLINT bufferLength;  // characters
        std::wstring expectedOut;  // what the caller's buffer holds
        SQLSMALLINT expectedLength;
        SQLRETURN rc;
    };
    const Case cases[] = {
        {"fits", "DSN=\xC3\xBC;", 64, L"DSN=\u00fc;", 6, SQL_SUCCESS},
        {"cut to the buffer", "DSN=abcdefgh;UID=u;PWD=p;", 10, L"DSN=abcde", 25,
         SQL_SUCCESS_WITH_INFO},
        {"exactly one too long", "abcd", 4, L"abc", 4, SQL_SUCCESS_WITH_INFO},
        {"multibyte characters", "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9", 4,
         L"\u00e9\u00e9\u00e9", 5, SQL_SUCCESS_WITH_INFO},
        {"beyond the BMP, fits",
         "a\xF0\x9D\x84\x9E"
         "b",
         4, L"a\U0001D11Eb", 3, SQL_SUCCESS},
        {"beyond the BMP, cut",
         "a\xF0\x9D\x84\x9E"
         "b",
         3, L"a\U0001D11E", 3, SQL_SUCCESS_WITH_INFO},
    };
    for (const Case& c : cases) {
        ConnectionScript script;
        script.completedText = c.completed;
        RecordingFactory factory(script);
        Handle handle;
        GuardedBuffer out(static_cast<std::size_t>(c.bufferLength) * sizeof(SQLWCHAR));
        std::memset(out.data(), 0x55, out.size());
        SQLSMALLINT length = 0;
        const SQLRETURN rc =
            calls::driverConnectW(handle.dbc(), nullptr, wide(L"DSN=x;PWD=s\u00e9cret;"), SQL_NTS,
                                  out.as<SQLWCHAR>(), c.bufferLength, &length, SQL_DRIVER_NOPROMPT);
        EXPECT_EQ(rc, c.rc) << c.name;
        EXPECT_EQ(std::wstring(out.as<wchar_t>()), c.expectedOut) << c.name;
        EXPECT_EQ(length, c.expectedLength) << c.name;
        EXPECT_EQ(stateOf(handle.proxy.diagnostics()),
                  c.rc == SQL_SUCCESS_WITH_INFO ? "01004" : "none")
            << c.name;
        EXPECT_EQ(script.gotConnectionText,
                  "DSN=x;PWD=s\xC3\xA9"
                  "cret;")
            << c.name;
        EXPECT_EQ(handle.environment.trace.find("cret"), std::string::npos) << c.name;
    }
}

TEST(ConnectionCalls, DriverConnectWWithoutABufferStillReportsTheLength) {
    ConnectionScript script;
    script.completedText = "DSN=abcdefgh;UID=u;PWD=p;";
    RecordingFactory factory(script);
    Handle handle;
    SQLSMALLINT length = 0;
    EXPECT_EQ(calls::driverConnectW(handle.dbc(), nullptr, wide(L"DSN=x"), SQL_NTS, nullptr, 0,
                                    &length, SQL_DRIVER_NOPROMPT),
              SQL_SUCCESS);
    EXPECT_FALSE(script.gotOutBuffer);
    EXPECT_EQ(script.gotBufferLength, 0);
    EXPECT_EQ(length, 25);
    EXPECT_EQ(handle.trace(),
              "// ENTER: <time>\n"
              "SQLSMALLINT len<ptr> = 0;\n"
              R"(rc = SQLDriverConnectW(dbc<ptr>, <ptr>, (SQLTCHAR *) _T("DSN=x;"), 5, NULL, 0, )"
              "&len<ptr>, SQL_DRIVER_NOPROMPT);\n"
              "// out: NULL\n"
              "// len: 25\n"
              "// EXIT: <time>  rc: SQL_SUCCESS\n");
}

TEST(ConnectionCalls, AConnectWhileConnectedIsRefusedAndKeepsTheConnection) {
    ConnectionScript script;
    RecordingFactory factory(script);
    Handle handle;
    ASSERT_EQ(calls::connect(handle.dbc(), text("one"), SQL_NTS, text("u"), SQL_NTS, nullptr, 0),
              SQL_SUCCESS);
    Connection* first = handle.proxy.connection();
    EXPECT_EQ(calls::connect(handle.dbc(), text("two"), SQL_NTS, text("u"), SQL_NTS, nullptr, 0),
              SQL_ERROR);
    EXPECT_EQ(stateOf(handle.proxy.diagnostics()), "08002");
    EXPECT_EQ(indexOf(script.journal, "construct #2"), script.journal.size());
    EXPECT_EQ(handle.proxy.connection(), first);
    EXPECT_TRUE(first->isConnected());
}

TEST(ConnectionCalls, AConnectAfterDisconnectDestroysTheFirstBeforeConnecting) {
    ConnectionScript script;
    RecordingFactory factory(script);
    Handle handle;
    ASSERT_EQ(calls::connect(handle.dbc(), text("one"), SQL_NTS, text("u"), SQL_NTS, nullptr, 0),
              SQL_SUCCESS);
    ASSERT_EQ(calls::disconnect(handle.dbc()), SQL_SUCCESS);
    ASSERT_EQ(calls::connect(handle.dbc(), text("two"), SQL_NTS, text("u"), SQL_NTS, nullptr, 0),
              SQL_SUCCESS);
    const auto& journal = script.journal;
    EXPECT_LT(indexOf(journal, "disconnect #1"), indexOf(journal, "identify two"));
    EXPECT_LT(indexOf(journal, "identify two"), indexOf(journal, "construct #2"));
    EXPECT_LT(indexOf(journal, "construct #2"), indexOf(journal, "destroy #1"));
    EXPECT_LT(indexOf(journal, "destroy #1"), indexOf(journal, "accessMode 0 #2"));
    EXPECT_LT(indexOf(journal, "accessMode 0 #2"), indexOf(journal, "connect two u #2"));
    EXPECT_LT(indexOf(journal, "connect two u #2"), journal.size());
    ASSERT_EQ(handle.environment.connections().size(), 1u);
    EXPECT_EQ(handle.environment.connections().front(), handle.proxy.connection());
}

// A statement the application has not freed keeps its connection object
// alive across a reconnect; the object goes once nothing uses it.
TEST(ConnectionCalls, AReconnectKeepsTheOldConnectionWhileItsStatementsExist) {
    ConnectionScript script;
    RecordingFactory factory(script);
    Handle handle;
    ASSERT_EQ(calls::connect(handle.dbc(), text("one"), SQL_NTS, nullptr, 0, nullptr, 0),
              SQL_SUCCESS);
    std::unique_ptr<Statement> statement(handle.proxy.createStatement());
    ASSERT_NE(statement, nullptr);
    ASSERT_EQ(calls::disconnect(handle.dbc()), SQL_SUCCESS);
    ASSERT_EQ(calls::connect(handle.dbc(), text("two"), SQL_NTS, nullptr, 0, nullptr, 0),
              SQL_SUCCESS);
    EXPECT_EQ(indexOf(script.journal, "destroy #1"), script.journal.size());
    // Read through the old connection object, which must still exist.
    EXPECT_EQ(statement->connection()->environment(), &handle.environment);
    statement.reset();

    ASSERT_EQ(calls::disconnect(handle.dbc()), SQL_SUCCESS);
    ASSERT_EQ(calls::connect(handle.dbc(), text("three"), SQL_NTS, nullptr, 0, nullptr, 0),
              SQL_SUCCESS);
    EXPECT_LT(indexOf(script.journal, "destroy #1"), script.journal.size());
    EXPECT_LT(indexOf(script.journal, "destroy #2"), script.journal.size());
}

// Attributes set on a connection are what the next connection of the
// handle starts with.
TEST(ConnectionCalls, AttributesSetAfterConnectingSurviveAReconnect) {
    ConnectionScript script;
    RecordingFactory factory(script);
    Handle handle;
    ASSERT_EQ(calls::connect(handle.dbc(), text("one"), SQL_NTS, nullptr, 0, nullptr, 0),
              SQL_SUCCESS);
    ASSERT_EQ(handle.proxy.setConnectAttr(SQL_ATTR_AUTOCOMMIT,
                                          reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0),
              SQL_SUCCESS);
    ASSERT_EQ(calls::disconnect(handle.dbc()), SQL_SUCCESS);
    ASSERT_EQ(calls::connect(handle.dbc(), text("two"), SQL_NTS, nullptr, 0, nullptr, 0),
              SQL_SUCCESS);
    EXPECT_LT(indexOf(script.journal, "autocommit 0 #2"), script.journal.size());
    SQLUINTEGER autocommit = 99;
    EXPECT_EQ(handle.proxy.getConnectAttr(SQL_ATTR_AUTOCOMMIT, &autocommit, 0, nullptr),
              SQL_SUCCESS);
    EXPECT_EQ(autocommit, static_cast<SQLUINTEGER>(SQL_AUTOCOMMIT_OFF));
}

TEST(ConnectionCalls, AFailedConnectStaysAttached) {
    ConnectionScript script;
    script.failConnect = true;
    RecordingFactory factory(script);
    Handle handle;
    EXPECT_EQ(calls::connect(handle.dbc(), text("dsn"), SQL_NTS, nullptr, 0, nullptr, 0),
              SQL_ERROR);
    ASSERT_NE(handle.proxy.connection(), nullptr);
    EXPECT_EQ(stateOf(handle.proxy.diagnostics()), "08001");
    EXPECT_EQ(calls::disconnect(handle.dbc()), SQL_SUCCESS);

    script.failConnect = false;
    EXPECT_EQ(calls::connect(handle.dbc(), text("dsn"), SQL_NTS, nullptr, 0, nullptr, 0),
              SQL_SUCCESS);
    EXPECT_LT(indexOf(script.journal, "destroy #1"), script.journal.size());
    EXPECT_TRUE(handle.proxy.connection()->isConnected());
}

TEST(ConnectionCalls, DisconnectAndTransactions) {
    struct Case {
        const char* name;
        bool connected;
        std::function<SQLRETURN(Handle&)> call;
        SQLRETURN rc;
        const char* state;    // on the connection handle
        std::string trace;    // the call line, "" when nothing is traced
        std::string journal;  // last entry of the connection's journal
    };
    const std::vector<Case> cases = {
        {"disconnect before connecting", false,
         [](Handle& h) { return calls::disconnect(h.dbc()); }, SQL_ERROR, "08003",
         "rc = SQLDisconnect(dbc<ptr>);", ""},
        {"commit before connecting", false,
         [](Handle& h) { return calls::endTran(SQL_HANDLE_DBC, h.dbc(), SQL_COMMIT); }, SQL_ERROR,
         "HY010", "rc = SQLEndTran(SQL_HANDLE_DBC, dbc<ptr>, SQL_COMMIT);", ""},
        {"end a statement's transaction", true,
         [](Handle& h) { return calls::endTran(SQL_HANDLE_STMT, h.dbc(), SQL_COMMIT); }, SQL_ERROR,
         "none", "", "connect dsn  #1"},
        {"environment commit", true,
         [](Handle& h) {
             return calls::endTran(SQL_HANDLE_ENV, environmentHandle(&h.environment), SQL_ROLLBACK);
         },
         SQL_SUCCESS, "none", "rc = SQLEndTran(SQL_HANDLE_ENV, env<ptr>, SQL_ROLLBACK);",
         "endTran 1 #1"},
        {"transact without handles", true,
         [](Handle&) { return calls::transact(nullptr, nullptr, SQL_COMMIT); }, SQL_INVALID_HANDLE,
         "none", "", "connect dsn  #1"},
        {"transact on the connection wins", true,
         [](Handle& h) {
             return calls::transact(environmentHandle(&h.environment), h.dbc(), SQL_COMMIT);
         },
         SQL_SUCCESS, "none", "rc = SQLTransact(env<ptr>, dbc<ptr>, SQL_COMMIT);", "endTran 0 #1"},
        {"transact on the environment", true,
         [](Handle& h) {
             return calls::transact(environmentHandle(&h.environment), nullptr, SQL_ROLLBACK);
         },
         SQL_SUCCESS, "none", "rc = SQLTransact(env<ptr>, dbc<ptr>, SQL_ROLLBACK);",
         "endTran 1 #1"},
        {"neither commit nor rollback", true,
         [](Handle& h) { return calls::endTran(SQL_HANDLE_DBC, h.dbc(), 7); }, SQL_ERROR, "HY012",
         "rc = SQLEndTran(SQL_HANDLE_DBC, dbc<ptr>, unknown (7));", "connect dsn  #1"},
        {"disconnect", true, [](Handle& h) { return calls::disconnect(h.dbc()); }, SQL_SUCCESS,
         "none", "rc = SQLDisconnect(dbc<ptr>);", "disconnect #1"},
    };
    for (const Case& c : cases) {
        ConnectionScript script;
        RecordingFactory factory(script);
        Handle handle;
        if (c.connected) {
            ASSERT_EQ(calls::connect(handle.dbc(), text("dsn"), SQL_NTS, nullptr, 0, nullptr, 0),
                      SQL_SUCCESS);
        }
        handle.environment.trace.clear();
        EXPECT_EQ(c.call(handle), c.rc) << c.name;
        EXPECT_EQ(stateOf(handle.proxy.diagnostics()), c.state) << c.name;
        const std::string expected =
            c.trace.empty() ? ""
                            : "// ENTER: <time>\n" + c.trace + "\n" +
                                  (c.state == std::string("none")
                                       ? ""
                                       : "// diagnostic: state: " + std::string(c.state) +
                                             "  code: 0  msg: \n") +
                                  "// EXIT: <time>  rc: " +
                                  (c.rc == SQL_SUCCESS ? "SQL_SUCCESS" : "SQL_ERROR") + "\n";
        EXPECT_EQ(handle.trace(), expected) << c.name;
        EXPECT_EQ(script.journal.empty() ? "" : script.journal.back(), c.journal) << c.name;
    }
}

TEST(ConnectionCalls, AnEnvironmentCompletesOnlyCommitOrRollback) {
    ConnectionScript script;
    RecordingFactory factory(script);
    Handle handle;
    ASSERT_EQ(calls::connect(handle.dbc(), text("dsn"), SQL_NTS, nullptr, 0, nullptr, 0),
              SQL_SUCCESS);
    const std::size_t before = script.journal.size();
    EXPECT_EQ(calls::transact(environmentHandle(&handle.environment), nullptr, 2), SQL_ERROR);
    EXPECT_EQ(stateOf(handle.environment.diagnostics()), "HY012");
    EXPECT_EQ(script.journal.size(), before) << "no connection was asked to complete";
}

}  // namespace
