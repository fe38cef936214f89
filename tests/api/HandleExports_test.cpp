// The allocation and release entry points of the built driver module, as a
// driver manager reaches them.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>

#include <sql.h>
#include <sqlext.h>

#include "tests/support/DriverLibrary.h"
#include "tests/support/OdbcSandbox.h"

namespace {

struct Driver {
    DriverLibrary library{MORVANEX_DRIVER_PATH};
    decltype(&SQLAllocHandle) allocHandle =
        library.function<decltype(&SQLAllocHandle)>("SQLAllocHandle");
    decltype(&SQLAllocEnv) allocEnv = library.function<decltype(&SQLAllocEnv)>("SQLAllocEnv");
    decltype(&SQLAllocConnect) allocConnect =
        library.function<decltype(&SQLAllocConnect)>("SQLAllocConnect");
    decltype(&SQLAllocStmt) allocStmt = library.function<decltype(&SQLAllocStmt)>("SQLAllocStmt");
    decltype(&SQLFreeHandle) freeHandle =
        library.function<decltype(&SQLFreeHandle)>("SQLFreeHandle");
    decltype(&SQLFreeEnv) freeEnv = library.function<decltype(&SQLFreeEnv)>("SQLFreeEnv");
    decltype(&SQLFreeConnect) freeConnect =
        library.function<decltype(&SQLFreeConnect)>("SQLFreeConnect");
    decltype(&SQLFreeStmt) freeStmt = library.function<decltype(&SQLFreeStmt)>("SQLFreeStmt");
};

// A sandbox whose driver section names a trace file.
struct TracedSandbox {
    OdbcSandbox sandbox;
    TracedSandbox() {
        sandbox.setKey(sandbox.odbcinstIni(OdbcSandbox::Scope::System), "Vorlan Tarvex",
                       "TraceFile", (sandbox.root() / "trace").string());
    }
    std::string trace() const {
        const auto file = sandbox.root() / ("trace-" + std::to_string(getpid()));
        return std::filesystem::exists(file) ? OdbcSandbox::readFile(file) : "";
    }
};

const SQLHANDLE kUnset = reinterpret_cast<SQLHANDLE>(0x5a5a);

TEST(HandleExports, UnknownHandleTypesAndNullHandles) {
    OdbcSandbox sandbox;
    Driver driver;
    SQLHENV env = nullptr;
    ASSERT_EQ(driver.allocHandle(SQL_HANDLE_ENV, nullptr, &env), SQL_SUCCESS);
    for (SQLSMALLINT type : {0, 5}) {
        SQLHANDLE out = kUnset;
        EXPECT_EQ(driver.allocHandle(type, env, &out), SQL_ERROR) << type;
        EXPECT_EQ(out, nullptr) << type;
        EXPECT_EQ(driver.freeHandle(type, env), SQL_ERROR) << type;
    }
    SQLHANDLE out = kUnset;
    EXPECT_EQ(driver.allocHandle(SQL_HANDLE_DBC, nullptr, &out), SQL_INVALID_HANDLE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(driver.allocHandle(SQL_HANDLE_ENV, nullptr, nullptr), SQL_ERROR);
    EXPECT_EQ(driver.freeHandle(SQL_HANDLE_STMT, nullptr), SQL_INVALID_HANDLE);
    EXPECT_EQ(driver.freeEnv(nullptr), SQL_INVALID_HANDLE);
    EXPECT_EQ(driver.freeConnect(nullptr), SQL_INVALID_HANDLE);
    EXPECT_EQ(driver.freeStmt(nullptr, SQL_CLOSE), SQL_INVALID_HANDLE);
    EXPECT_EQ(driver.freeHandle(SQL_HANDLE_ENV, env), SQL_SUCCESS);
}

TEST(HandleExports, HandlesLiveUntilFreedInOrder) {
    TracedSandbox traced;
    Driver driver;
    SQLHENV env = nullptr;
    SQLHENV other = nullptr;
    ASSERT_EQ(driver.allocEnv(&env), SQL_SUCCESS);
    ASSERT_EQ(driver.allocEnv(&other), SQL_SUCCESS);
    EXPECT_NE(env, other);
    SQLHDBC dbc = nullptr;
    ASSERT_EQ(driver.allocConnect(env, &dbc), SQL_SUCCESS);
    SQLHSTMT stmt = kUnset;
    EXPECT_EQ(driver.allocStmt(dbc, &stmt), SQL_ERROR);
    EXPECT_EQ(stmt, nullptr);
    SQLHDESC desc = kUnset;
    EXPECT_EQ(driver.allocHandle(SQL_HANDLE_DESC, dbc, &desc), SQL_ERROR);
    EXPECT_EQ(desc, nullptr);
    EXPECT_EQ(driver.freeEnv(env), SQL_ERROR);
    EXPECT_EQ(driver.freeConnect(dbc), SQL_SUCCESS);
    EXPECT_EQ(driver.freeEnv(env), SQL_SUCCESS);
    EXPECT_EQ(driver.freeHandle(SQL_HANDLE_ENV, other), SQL_SUCCESS);

    const std::string trace = traced.trace();
    for (const char* line : {
             "rc = SQLAllocEnv( &env",
             "SQLRETURN rc = SQL_SUCCESS;\n",
             "// diagnostic: state: HY000  code: 0  msg: Can't create a statement before "
             "connection is made\n",
             "// diagnostic: state: HY000  code: 0  msg: Can't create a descriptor before "
             "connection is made\n",
             "// diagnostic: state: HY010  code: 0  msg: \n// rc: SQL_ERROR\n",
             "rc = SQLFreeConnect(dbc",
         }) {
        EXPECT_NE(trace.find(line), std::string::npos) << line << "\nin\n" << trace;
    }
}

}  // namespace
