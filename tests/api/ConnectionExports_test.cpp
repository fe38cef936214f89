// The connection entry points of the built driver module, called as a
// driver manager calls them.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include "tests/support/DriverLibrary.h"
#include "tests/support/OdbcSandbox.h"

namespace {

template <typename Function>
Function exported(const DriverLibrary& library, const char* name) {
    return library.function<Function>(name);
}

struct Driver {
    DriverLibrary library{MORVANEX_DRIVER_PATH};
    decltype(&SQLAllocHandle) allocHandle =
        exported<decltype(&SQLAllocHandle)>(library, "SQLAllocHandle");
    decltype(&SQLFreeHandle) freeHandle =
        exported<decltype(&SQLFreeHandle)>(library, "SQLFreeHandle");
    decltype(&SQLConnect) connect = exported<decltype(&SQLConnect)>(library, "SQLConnect");
    decltype(&SQLConnectW) connectW = exported<decltype(&SQLConnectW)>(library, "SQLConnectW");
    decltype(&SQLDriverConnect) driverConnect =
        exported<decltype(&SQLDriverConnect)>(library, "SQLDriverConnect");
    decltype(&SQLDriverConnectW) driverConnectW =
        exported<decltype(&SQLDriverConnectW)>(library, "SQLDriverConnectW");
    decltype(&SQLDisconnect) disconnect =
        exported<decltype(&SQLDisconnect)>(library, "SQLDisconnect");
    decltype(&SQLEndTran) endTran = exported<decltype(&SQLEndTran)>(library, "SQLEndTran");
    decltype(&SQLTransact) transact = exported<decltype(&SQLTransact)>(library, "SQLTransact");
};

SQLCHAR* text(const char* value) {
    return reinterpret_cast<SQLCHAR*>(const_cast<char*>(value));
}

SQLWCHAR* wide(const wchar_t* value) {
    return reinterpret_cast<SQLWCHAR*>(const_cast<wchar_t*>(value));
}

// An environment and a connection handle of the module, traced into the
// sandbox.
class Session {
  public:
    Session() {
        sandbox_.setKey(sandbox_.odbcinstIni(OdbcSandbox::Scope::System), "Vorlan Tarvex",
                        "TraceFile", (sandbox_.root() / "trace").string());
        EXPECT_EQ(driver.allocHandle(SQL_HANDLE_ENV, nullptr, &env), SQL_SUCCESS);
        EXPECT_EQ(driver.allocHandle(SQL_HANDLE_DBC, env, &dbc), SQL_SUCCESS);
    }
    ~Session() {
        driver.freeHandle(SQL_HANDLE_DBC, dbc);
        driver.freeHandle(SQL_HANDLE_ENV, env);
    }
    std::string trace() const {
        const auto file = sandbox_.root() / ("trace-" + std::to_string(getpid()));
        return std::filesystem::exists(file) ? OdbcSandbox::readFile(file) : "";
    }

    Driver driver;
    SQLHENV env = nullptr;
    SQLHDBC dbc = nullptr;

  private:
    OdbcSandbox sandbox_;
};

// The DSN names no adapted DSN, so no adapted driver can be loaded.
TEST(ConnectionExports, ConnectingWithoutAnAdaptedDriverFailsAndHidesThePassword) {
    struct Case {
        const char* name;
        SQLRETURN (*call)(Driver&, SQLHDBC);
        const char* callLine;
    };
    const Case cases[] = {
        {"SQLConnect",
         [](Driver& d, SQLHDBC dbc) {
             return d.connect(dbc, text("dsn"), SQL_NTS, text("joe"), SQL_NTS, text("hunter2"), 7);
         },
         R"(, (SQLCHAR *) "dsn", SQL_NTS, (SQLCHAR *) "joe", SQL_NTS, (SQLCHAR *) "***", 7);)"},
        {"SQLConnectW",
         [](Driver& d, SQLHDBC dbc) {
             return d.connectW(dbc, wide(L"dsn"), SQL_NTS, wide(L"joe"), SQL_NTS, wide(L"hunter2"),
                               SQL_NTS);
         },
         R"(, (SQLTCHAR *) _T("dsn"), 3, (SQLTCHAR *) _T("joe"), 3, (SQLTCHAR *) _T("***"), 7);)"},
        {"SQLDriverConnect",
         [](Driver& d, SQLHDBC dbc) {
             SQLCHAR out[64];
             SQLSMALLINT length = 0;
             return d.driverConnect(dbc, nullptr, text("DSN=dsn;PWD=hunter2;"), SQL_NTS, out,
                                    sizeof out, &length, SQL_DRIVER_NOPROMPT);
         },
         R"((SQLCHAR *) "DSN=dsn;PWD=****;", SQL_NTS, out)"},
        {"SQLDriverConnectW",
         [](Driver& d, SQLHDBC dbc) {
             SQLWCHAR out[64];
             SQLSMALLINT length = 0;
             return d.driverConnectW(dbc, nullptr, wide(L"DSN=dsn;PWD=hunter2;"), SQL_NTS, out, 64,
                                     &length, SQL_DRIVER_NOPROMPT);
         },
         R"((SQLTCHAR *) _T("DSN=dsn;PWD=****;"), 20, out)"},
    };
    for (const Case& c : cases) {
        Session session;
        EXPECT_EQ(c.call(session.driver, session.dbc), SQL_ERROR) << c.name;
        // Nothing was opened, so there is nothing to close.
        EXPECT_EQ(session.driver.disconnect(session.dbc), SQL_SUCCESS) << c.name;
        const std::string trace = session.trace();
        EXPECT_NE(trace.find(c.callLine), std::string::npos) << c.name << "\n" << trace;
        EXPECT_NE(trace.find("// diagnostic: state: 01000  code: 0  msg: Lost connection to MySQL: "
                             "Could not load driver: driver path not specified\n"),
                  std::string::npos)
            << c.name << "\n"
            << trace;
        EXPECT_NE(trace.find("rc: SQL_ERROR\n"), std::string::npos) << c.name;
        EXPECT_EQ(trace.find("hunter2"), std::string::npos) << c.name;
    }
}

TEST(ConnectionExports, TransactionsNeedAConnection) {
    Session session;
    Driver& d = session.driver;
    EXPECT_EQ(d.endTran(SQL_HANDLE_DBC, session.dbc, SQL_COMMIT), SQL_ERROR);
    EXPECT_EQ(d.endTran(SQL_HANDLE_STMT, session.dbc, SQL_COMMIT), SQL_ERROR);
    EXPECT_EQ(d.endTran(SQL_HANDLE_ENV, session.env, SQL_ROLLBACK), SQL_SUCCESS);
    EXPECT_EQ(d.transact(nullptr, session.dbc, SQL_COMMIT), SQL_ERROR);
    EXPECT_EQ(d.transact(session.env, nullptr, SQL_COMMIT), SQL_SUCCESS);
    EXPECT_EQ(d.transact(nullptr, nullptr, SQL_COMMIT), SQL_INVALID_HANDLE);
    const std::string trace = session.trace();
    EXPECT_NE(trace.find(", SQL_COMMIT);\n// diagnostic: state: HY010"), std::string::npos)
        << trace;
    EXPECT_NE(trace.find(", SQL_ROLLBACK);\n// EXIT: "), std::string::npos) << trace;
    EXPECT_EQ(trace.find("SQL_HANDLE_STMT"), std::string::npos) << trace;
}

// What a handle answers before it connects, through the attribute and
// information entry points once the module exports them.
TEST(ConnectionExports, UnconnectedAttributesAndInformation) {
    Session session;
    DriverLibrary& library = session.driver.library;
    for (const char* name :
         {"SQLSetConnectAttr", "SQLGetConnectAttr", "SQLGetInfo", "SQLGetDiagRec"}) {
        if (!library.exports(name)) {
            GTEST_SKIP() << name << " is not exported yet";
        }
    }
    auto setAttr = library.function<decltype(&SQLSetConnectAttr)>("SQLSetConnectAttr");
    auto getAttr = library.function<decltype(&SQLGetConnectAttr)>("SQLGetConnectAttr");
    auto getInfo = library.function<decltype(&SQLGetInfo)>("SQLGetInfo");
    auto getDiagRec = library.function<decltype(&SQLGetDiagRec)>("SQLGetDiagRec");
    auto firstState = [&]() -> std::string {
        SQLCHAR state[6] = {};
        SQLCHAR message[256];
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        if (getDiagRec(SQL_HANDLE_DBC, session.dbc, 1, state, &native, message, sizeof message,
                       &length) != SQL_SUCCESS) {
            return "none";
        }
        return reinterpret_cast<char*>(state);
    };

    struct SetCase {
        SQLINTEGER attribute;
        SQLULEN value;
        SQLRETURN rc;
        const char* state;
        SQLINTEGER readBack;  // attribute read afterwards, 0 for none
        std::uint32_t expected;
    };
    const SetCase sets[] = {
        {1057, 1, SQL_SUCCESS, "none", 1057, 1},
        {1057, 2, SQL_SUCCESS, "none", 1057, 0},
        {30002, 1, SQL_SUCCESS, "none", 0, 0},
        {SQL_ATTR_TRANSLATE_LIB, 1, SQL_ERROR, "HY011", 0, 0},
        {SQL_ATTR_TRANSLATE_OPTION, 1, SQL_ERROR, "HY011", 0, 0},
        {SQL_ATTR_ODBC_CURSORS, 1, SQL_ERROR, "HY092", 0, 0},
        {SQL_ATTR_AUTOCOMMIT, SQL_AUTOCOMMIT_OFF, SQL_SUCCESS, "none", SQL_ATTR_AUTOCOMMIT, 0},
        {SQL_ATTR_TXN_ISOLATION, SQL_TXN_SERIALIZABLE, SQL_SUCCESS, "none", SQL_ATTR_TXN_ISOLATION,
         SQL_TXN_SERIALIZABLE},
    };
    for (const SetCase& c : sets) {
        EXPECT_EQ(setAttr(session.dbc, c.attribute, reinterpret_cast<SQLPOINTER>(c.value), 0), c.rc)
            << c.attribute;
        EXPECT_EQ(firstState(), c.state) << c.attribute;
        if (c.readBack != 0) {
            std::uint32_t value = 0xFFFFFFFF;
            EXPECT_EQ(getAttr(session.dbc, c.readBack, &value, 0, nullptr), SQL_SUCCESS);
            EXPECT_EQ(value, c.expected) << c.attribute;
        }
    }
    std::uint32_t dead = 0;
    EXPECT_EQ(getAttr(session.dbc, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr), SQL_SUCCESS);
    EXPECT_EQ(dead, static_cast<std::uint32_t>(SQL_CD_TRUE));

    struct InfoCase {
        SQLUSMALLINT infoType;
        SQLRETURN rc;
        std::string text;
    };
    const InfoCase infos[] = {
        {SQL_DRIVER_ODBC_VER, SQL_SUCCESS, "03.00"},
        {SQL_DRIVER_NAME, SQL_SUCCESS, "morvanex.so"},
        {SQL_DBMS_NAME, SQL_ERROR, ""},
    };
    for (const InfoCase& c : infos) {
        char buffer[64] = {};
        SQLSMALLINT length = -1;
        EXPECT_EQ(getInfo(session.dbc, c.infoType, buffer, sizeof buffer, &length), c.rc)
            << c.infoType;
        EXPECT_EQ(buffer, c.text) << c.infoType;
        EXPECT_EQ(length, static_cast<SQLSMALLINT>(c.text.size())) << c.infoType;
        EXPECT_EQ(firstState(), "none") << c.infoType;
    }
}

}  // namespace
