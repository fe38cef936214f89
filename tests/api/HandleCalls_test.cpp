#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "driver/api/HandleCalls.h"
#include "driver/core/ConnectionProxy.h"
#include "driver/core/Descriptor.h"
#include "driver/core/Statement.h"
#include "tests/api/ConnectionTestDoubles.h"
#include "tests/support/OdbcSandbox.h"

namespace {

SQLHANDLE const kUnset = reinterpret_cast<SQLHANDLE>(0x5a5a);

// A sandbox whose driver section names a trace file.
struct TracedSandbox {
    OdbcSandbox sandbox;
    TracedSandbox() {
        sandbox.setKey(sandbox.odbcinstIni(OdbcSandbox::Scope::System), "Vorlan Tarvex",
                       "TraceFile", (sandbox.root() / "trace").string());
    }
    std::string trace() const {
        const auto file = sandbox.root() / ("trace-" + std::to_string(getpid()));
        return std::filesystem::exists(file) ? normalisedTrace(OdbcSandbox::readFile(file)) : "";
    }
};

// A connection that makes explicit descriptors, or runs out of memory
// making a statement.
class DescribingConnection : public RecordingConnection {
  public:
    using RecordingConnection::RecordingConnection;
    Descriptor* createDescriptor() override {
        return new Descriptor(this, DescriptorContext::Explicit);
    }
    Statement* createStatement() override { throw std::bad_alloc(); }
};

SQLHENV newEnvironment() {
    SQLHENV env = SQL_NULL_HENV;
    EXPECT_EQ(calls::allocHandle(SQL_HANDLE_ENV, nullptr, &env), SQL_SUCCESS);
    return env;
}

SQLHDBC newConnection(SQLHENV env) {
    SQLHDBC dbc = SQL_NULL_HDBC;
    EXPECT_EQ(calls::allocHandle(SQL_HANDLE_DBC, env, &dbc), SQL_SUCCESS);
    return dbc;
}

TEST(HandleCalls, NullHandlesAndOutputs) {
    OdbcSandbox sandbox;
    SQLHENV env = newEnvironment();
    SQLHDBC dbc = newConnection(env);
    struct Case {
        const char* name;
        std::function<SQLRETURN(SQLHANDLE*)> call;
        bool withOutput;
        SQLRETURN rc;
        DiagnosticHeader* posted;  // where HY009 goes, or null
    };
    const std::vector<Case> cases = {
        {"connection without environment",
         [](SQLHANDLE* out) { return calls::allocHandle(SQL_HANDLE_DBC, nullptr, out); }, true,
         SQL_INVALID_HANDLE, nullptr},
        {"ODBC 2 connection without environment",
         [](SQLHANDLE* out) { return calls::allocConnect(nullptr, out); }, true, SQL_INVALID_HANDLE,
         nullptr},
        {"statement without connection",
         [](SQLHANDLE* out) { return calls::allocHandle(SQL_HANDLE_STMT, nullptr, out); }, true,
         SQL_INVALID_HANDLE, nullptr},
        {"ODBC 2 statement without connection",
         [](SQLHANDLE* out) { return calls::allocStmt(nullptr, out); }, true, SQL_INVALID_HANDLE,
         nullptr},
        {"descriptor without connection",
         [](SQLHANDLE* out) { return calls::allocHandle(SQL_HANDLE_DESC, nullptr, out); }, true,
         SQL_INVALID_HANDLE, nullptr},
        {"environment without output",
         [](SQLHANDLE*) { return calls::allocHandle(SQL_HANDLE_ENV, nullptr, nullptr); }, false,
         SQL_ERROR, nullptr},
        {"ODBC 2 environment without output", [](SQLHANDLE*) { return calls::allocEnv(nullptr); },
         false, SQL_ERROR, nullptr},
        {"connection without output",
         [env](SQLHANDLE*) { return calls::allocHandle(SQL_HANDLE_DBC, env, nullptr); }, false,
         SQL_ERROR, &environmentOf(env)->diagnostics()},
        {"statement without output",
         [dbc](SQLHANDLE*) { return calls::allocHandle(SQL_HANDLE_STMT, dbc, nullptr); }, false,
         SQL_ERROR, &proxyOf(dbc)->diagnostics()},
        {"descriptor without output",
         [dbc](SQLHANDLE*) { return calls::allocHandle(SQL_HANDLE_DESC, dbc, nullptr); }, false,
         SQL_ERROR, &proxyOf(dbc)->diagnostics()},
        {"free a null environment", [](SQLHANDLE*) { return calls::freeEnv(nullptr); }, false,
         SQL_INVALID_HANDLE, nullptr},
        {"free a null connection", [](SQLHANDLE*) { return calls::freeConnect(nullptr); }, false,
         SQL_INVALID_HANDLE, nullptr},
        {"free a null statement", [](SQLHANDLE*) { return calls::freeStmt(nullptr, SQL_DROP); },
         false, SQL_INVALID_HANDLE, nullptr},
        {"free a null descriptor",
         [](SQLHANDLE*) { return calls::freeHandle(SQL_HANDLE_DESC, nullptr); }, false,
         SQL_INVALID_HANDLE, nullptr},
    };
    for (const Case& c : cases) {
        environmentOf(env)->diagnostics().clear();
        proxyOf(dbc)->diagnostics().clear();
        SQLHANDLE out = kUnset;
        EXPECT_EQ(c.call(c.withOutput ? &out : nullptr), c.rc) << c.name;
        if (c.withOutput) {
            EXPECT_EQ(out, nullptr) << c.name;
        }
        if (c.posted != nullptr) {
            EXPECT_EQ(stateOf(*c.posted), "HY009") << c.name;
        }
    }
    EXPECT_EQ(calls::freeHandle(SQL_HANDLE_DBC, dbc), SQL_SUCCESS);
    EXPECT_EQ(calls::freeHandle(SQL_HANDLE_ENV, env), SQL_SUCCESS);
}

TEST(HandleCalls, AnEnvironmentWithConnectionHandlesStays) {
    OdbcSandbox sandbox;
    SQLHENV env = newEnvironment();
    SQLHDBC one = newConnection(env);
    SQLHDBC two = newConnection(env);
    EXPECT_EQ(calls::freeHandle(SQL_HANDLE_ENV, env), SQL_ERROR);
    EXPECT_EQ(stateOf(environmentOf(env)->diagnostics()), "HY010");
    EXPECT_EQ(calls::freeConnect(one), SQL_SUCCESS);
    EXPECT_EQ(calls::freeEnv(env), SQL_ERROR);
    EXPECT_EQ(calls::freeHandle(SQL_HANDLE_DBC, two), SQL_SUCCESS);
    EXPECT_EQ(calls::freeEnv(env), SQL_SUCCESS);
}

TEST(HandleCalls, TraceOfASession) {
    TracedSandbox traced;
    SQLHENV env = SQL_NULL_HENV;
    ASSERT_EQ(calls::allocHandle(SQL_HANDLE_ENV, nullptr, &env), SQL_SUCCESS);
    ASSERT_TRUE(environmentOf(env)->isTracing());
    SQLHDBC dbc = SQL_NULL_HDBC;
    ASSERT_EQ(calls::allocConnect(env, &dbc), SQL_SUCCESS);
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    EXPECT_EQ(calls::allocHandle(SQL_HANDLE_STMT, dbc, &stmt), SQL_ERROR);
    EXPECT_EQ(calls::allocHandle(SQL_HANDLE_DBC, env, nullptr), SQL_ERROR);
    EXPECT_EQ(calls::freeEnv(env), SQL_ERROR);
    EXPECT_EQ(calls::freeConnect(dbc), SQL_SUCCESS);
    EXPECT_EQ(calls::freeHandle(SQL_HANDLE_ENV, env), SQL_SUCCESS);

    EXPECT_EQ(traced.trace(),
              "// ENTER: <time>\n"
              "SQLRETURN rc = SQL_SUCCESS;\n"
              "SQLHANDLE env<ptr>;\n"
              "rc = SQLAllocHandle(SQL_HANDLE_ENV, NULL, &env<ptr>);\n"
              "// *oh: <ptr>\n"
              "// rc: SQL_SUCCESS\n"
              "// ENTER: <time>\n"
              "SQLHANDLE dbc<ptr>;\n"
              "rc = SQLAllocConnect(env<ptr>, &dbc<ptr>);\n"
              "// *oh: <ptr>\n"
              "// rc: SQL_SUCCESS\n"
              "// ENTER: <time>\n"
              "SQLHANDLE stmt<ptr>;\n"
              "rc = SQLAllocHandle(SQL_HANDLE_STMT, dbc<ptr>, &stmt<ptr>);\n"
              "// diagnostic: state: HY000  code: 0  msg: Can't create a statement before "
              "connection is made\n"
              "// *oh: <ptr>\n"
              "// rc: SQL_ERROR\n"
              "// ENTER: <time>\n"
              "rc = SQLAllocHandle(SQL_HANDLE_DBC, env<ptr>, NULL);\n"
              "// diagnostic: state: HY009  code: 0  msg: \n"
              "// ENTER: <time>\n"
              "rc = SQLFreeEnv(env<ptr>);\n"
              "// diagnostic: state: HY010  code: 0  msg: \n"
              "// rc: SQL_ERROR\n"
              "// ENTER: <time>\n"
              "rc = SQLFreeConnect(dbc<ptr>);\n"
              "// rc: SQL_SUCCESS\n"
              "// ENTER: <time>\n"
              "rc = SQLFreeHandle(SQL_HANDLE_ENV, env<ptr>);\n");
}

TEST(HandleCalls, TraceOfDescriptorsAndAStatementOutOfMemory) {
    TracedSandbox traced;
    SQLHENV env = newEnvironment();
    SQLHDBC dbc = newConnection(env);
    ConnectionScript script;
    proxyOf(dbc)->setConnection(std::make_unique<DescribingConnection>(environmentOf(env), script));
    const std::string before = traced.trace();

    SQLHDESC desc = SQL_NULL_HDESC;
    ASSERT_EQ(calls::allocHandle(SQL_HANDLE_DESC, dbc, &desc), SQL_SUCCESS);
    ASSERT_NE(desc, nullptr);
    EXPECT_EQ(calls::freeHandle(SQL_HANDLE_DESC, desc), SQL_SUCCESS);
    SQLHSTMT stmt = kUnset;
    EXPECT_EQ(calls::allocStmt(dbc, &stmt), SQL_ERROR);
    EXPECT_EQ(stmt, nullptr);
    EXPECT_EQ(stateOf(proxyOf(dbc)->diagnostics()), "HY001");
    calls::freeConnect(dbc);
    calls::freeEnv(env);

    // The descriptor's own lines are its business.
    EXPECT_EQ(withoutLines(traced.trace().substr(before.size()), {"// changing size"}),
              "// ENTER: <time>\n"
              "rc = SQLAllocHandle(SQL_HANDLE_DESC, dbc<ptr>, oh<ptr>);\n"
              "// *oh: <ptr>\n"
              "// rc: SQL_SUCCESS\n"
              "// ENTER: <time>\n"
              "rc = SQLFreeHandle(SQL_HANDLE_DESC, desc<ptr>);\n"
              "// rc: SQL_SUCCESS\n"
              "// ENTER: <time>\n"
              "SQLHANDLE stmt<ptr>;\n"
              "rc = SQLAllocStmt(dbc<ptr>, &stmt<ptr>);\n"
              "// Exception: std::bad_alloc\n"
              "// diagnostic: state: HY001  code: 0  msg: \n"
              "// ENTER: <time>\n"
              "rc = SQLFreeConnect(dbc<ptr>);\n"
              "// rc: SQL_SUCCESS\n"
              "// ENTER: <time>\n"
              "rc = SQLFreeEnv(env<ptr>);\n");
}

}  // namespace

namespace {

// A statement that can be told to fail its drop, and that counts itself.
class CountedStatement : public Statement {
  public:
    CountedStatement(Connection* connection, int& alive, bool& failDrop)
        : Statement(connection), alive_(alive), failDrop_(failDrop) {
        ++alive_;
    }
    ~CountedStatement() override { --alive_; }
    SQLRETURN freeStmt(SQLUSMALLINT option) override {
        if (option == SQL_DROP && failDrop_) {
            diagnostics().prependRecord("HY000", 0, "drop failed", -1, -1);
            return SQL_ERROR;
        }
        return Statement::freeStmt(option);
    }

  private:
    int& alive_;
    bool& failDrop_;
};

class StatementConnection : public RecordingConnection {
  public:
    using RecordingConnection::RecordingConnection;
    Statement* createStatement() override { return new CountedStatement(this, alive, failDrop); }
    int alive = 0;
    bool failDrop = false;
};

TEST(HandleCalls, StatementsComeAndGo) {
    TracedSandbox traced;
    SQLHENV env = newEnvironment();
    SQLHDBC dbc = newConnection(env);
    ConnectionScript script;
    auto owned = std::make_unique<StatementConnection>(environmentOf(env), script);
    StatementConnection& connection = *owned;
    proxyOf(dbc)->setConnection(std::move(owned));
    const std::string before = traced.trace();

    SQLHSTMT stmt = nullptr;
    ASSERT_EQ(calls::allocHandle(SQL_HANDLE_STMT, dbc, &stmt), SQL_SUCCESS);
    ASSERT_NE(stmt, nullptr);
    EXPECT_EQ(connection.alive, 1);
    // Closing keeps the statement; so does a refused option.
    EXPECT_EQ(calls::freeStmt(stmt, SQL_CLOSE), SQL_SUCCESS);
    EXPECT_EQ(calls::freeStmt(stmt, 99), SQL_ERROR);
    EXPECT_EQ(connection.alive, 1);
    // Its own descriptors stay with it.
    SQLHDESC ard = nullptr;
    ASSERT_EQ(statementOf(stmt)->getStmtAttr(SQL_ATTR_APP_ROW_DESC, &ard, 0, nullptr), SQL_SUCCESS);
    EXPECT_EQ(calls::freeHandle(SQL_HANDLE_DESC, ard), SQL_ERROR);
    EXPECT_EQ(stateOf(descriptorOf(ard)->diagnostics()), "HY017");
    EXPECT_EQ(calls::freeStmt(stmt, SQL_UNBIND), SQL_SUCCESS);
    // A failed drop keeps the statement with SQLFreeStmt, never with
    // SQLFreeHandle.
    connection.failDrop = true;
    EXPECT_EQ(calls::freeStmt(stmt, SQL_DROP), SQL_ERROR);
    EXPECT_EQ(connection.alive, 1);
    EXPECT_EQ(calls::freeHandle(SQL_HANDLE_STMT, stmt), SQL_SUCCESS);
    EXPECT_EQ(connection.alive, 0);
    connection.failDrop = false;
    ASSERT_EQ(calls::allocStmt(dbc, &stmt), SQL_SUCCESS);
    EXPECT_EQ(calls::freeStmt(stmt, SQL_DROP), SQL_SUCCESS);
    EXPECT_EQ(connection.alive, 0);

    const std::string trace =
        withoutLines(traced.trace().substr(before.size()), {"// diagnostic: ", "// changing"});
    EXPECT_EQ(trace,
              "// ENTER: <time>\n"
              "SQLHANDLE stmt<ptr>;\n"
              "rc = SQLAllocHandle(SQL_HANDLE_STMT, dbc<ptr>, &stmt<ptr>);\n"
              "// *oh: <ptr>\n"
              "// rc: SQL_SUCCESS\n"
              "// ENTER: <time>\n"
              "rc = SQLFreeStmt(stmt<ptr>, SQL_CLOSE);\n"
              "// rc: SQL_SUCCESS\n"
              "// ENTER: <time>\n"
              "rc = SQLFreeStmt(stmt<ptr>, unknown (99));\n"
              "// rc: SQL_ERROR\n"
              "// ENTER: <time>\n"
              "rc = SQLFreeHandle(SQL_HANDLE_DESC, desc<ptr>);\n"
              "// rc: SQL_ERROR\n"
              "// ENTER: <time>\n"
              "rc = SQLFreeStmt(stmt<ptr>, SQL_UNBIND);\n"
              "// rc: SQL_SUCCESS\n"
              "// ENTER: <time>\n"
              "rc = SQLFreeStmt(stmt<ptr>, SQL_DROP);\n"
              "// rc: SQL_ERROR\n"
              "// ENTER: <time>\n"
              "rc = SQLFreeHandle(SQL_HANDLE_STMT, stmt<ptr>);\n"
              "// rc: SQL_SUCCESS\n"
              "// ENTER: <time>\n"
              "SQLHANDLE stmt<ptr>;\n"
              "rc = SQLAllocStmt(dbc<ptr>, &stmt<ptr>);\n"
              "// *oh: <ptr>\n"
              "// rc: SQL_SUCCESS\n"
              "// ENTER: <time>\n"
              "rc = SQLFreeStmt(stmt<ptr>, SQL_DROP);\n"
              "// rc: SQL_SUCCESS\n");
    calls::freeConnect(dbc);
    calls::freeEnv(env);
}

}  // namespace
