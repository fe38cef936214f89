// Loading the adapted driver: the library checks, the ODBC 2 and
// wide-only fallbacks, and the driver's text copied into bounded buffers.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>

#include "tests/adapter/RepeaterTestSupport.h"
#include "tests/support/ScopedEnv.h"

using namespace repeater_test;

namespace {

int liveHandles(const SevrinLibrary& library, const std::string& kind) {
    const std::string handles = library.control("handles");
    return std::stoi(handles.substr(handles.find(kind + "=") + kind.size() + 1));
}

struct LoadFailureCase {
    const char* name;
    const char* adaptedDriver;  // "Driver" of the adapted DSN; null: no DriverDSN
    const char* message;        // the whole message, or its start when it ends in ":"
    bool rootRules = false;     // root's rules for the library it loads (run as root)
};

constexpr const char* kRootRefuses =
    "Could not load driver: a process running as root loads only a library that root alone can "
    "change:";

const LoadFailureCase kLoadFailures[] = {
    {"NoAdaptedDsn", nullptr, "Could not load driver: driver path not specified"},
    {"EmptyDriverValue", "", "Could not load driver"},
    {"MissingLibrary", "/nonexistent/adapted.so",
     "Could not load driver: /nonexistent/adapted.so: cannot open shared object file:"},
    {"NeitherConnectFunction", "noconnect", "Could not load driver: not a valid ODBC driver"},
    {"RootLibraryBelowTmp", "/tmp/adapted.so", kRootRefuses, true},
    {"RootBareName", "noconnect.so", kRootRefuses, true},
};

class LoadFailureTest : public ::testing::TestWithParam<std::tuple<LoadFailureCase, bool>> {};

TEST_P(LoadFailureTest, ReportsCouldNotLoadDriver) {
    const auto& [c, tracing] = GetParam();
    if (c.rootRules && geteuid() != 0) {
        GTEST_SKIP() << "root's rules hold in a process running as root";
    }
    ScopedEnv rules("MORVANEX_TEST_ROOT_ANYWHERE", c.rootRules ? nullptr : "1");
    OdbcSandbox sandbox;
    OdbcSandbox::Keys keys;
    if (c.adaptedDriver != nullptr) {
        const std::string driver = c.adaptedDriver;
        sandbox.addDsn("Adapted", driver == "noconnect" ? SevrinLibrary::path(driver) : driver, {});
        keys.emplace_back("DriverDSN", "Adapted");
    }
    sandbox.addDsn("Tarvex", "morvanex.so", keys);
    RecordingEnvironment environment(tracing);
    ODBCRepeaterConnection connection(&environment);
    EXPECT_EQ(connection.connectStrings("Tarvex", "u", "p"), SQL_ERROR);
    const auto list = records(connection);
    ASSERT_EQ(list.size(), 1u) << describe(list);
    EXPECT_EQ(list[0].state, "01000");
    const std::string expected = c.message;
    if (expected.back() == ':') {
        EXPECT_EQ(list[0].message.rfind(expected, 0), 0u) << list[0].message;
    } else {
        EXPECT_EQ(list[0].message, expected);
    }
    EXPECT_EQ(connection.nativeConnectionHandle(), nullptr);
    // The log names the failure without the reason; root's, in /tmp, none.
    EXPECT_EQ(environment.errorLog(), c.rootRules
                                          ? std::vector<std::string>{}
                                          : std::vector<std::string>{"Could not load driver"});
    if (tracing && std::strcmp(c.name, "NeitherConnectFunction") == 0) {
        EXPECT_TRUE(environment.traced("// --> not a valid ODBC driver"));
        EXPECT_FALSE(environment.traced("// --> SQLAllocEnv: 1"));
    }
}

INSTANTIATE_TEST_SUITE_P(Repeater, LoadFailureTest,
                         ::testing::Combine(::testing::ValuesIn(kLoadFailures), ::testing::Bool()),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) ? "Traced" : "Quiet");
                         });

TEST(AdaptedDriverLoading, TracesTheLoadInOrder) {
    SevrinDsns dsns;
    RecordingEnvironment environment(true);
    ODBCRepeaterConnection connection(&environment);
    environment.clearTrace();
    ASSERT_EQ(connection.connectStrings("Tarvex", "db2inst1", "secret"), SQL_SUCCESS);
    const std::vector<std::string> expected = {
        "// Driver DSN: Adapted",
        "// --> library path: " + dsns.library.file(),
        "// --> handle: 0x",
        "// --> SQLConnect: 1",
        "// --> SQLConnectW: 1",
        "// --> SQLAllocEnv: 1",
        "// Initialization successful",
        "// Attempting connection: 0",
        "// Successful connection",
        "// Connected - DB2/LINUXX8664 version: SQL11050",
        "// Driver - sevrin.so version: 11.05.0000",
        "// autocommit set to: 1  ret: 0",
        "// long data compat set to: yes  ret: 0",
        "// Native driver name: DB2/LINUXX8664",
        "// using bound parameters: 1",
    };
    std::size_t next = 0;
    for (const std::string& line : lines(environment.trace())) {
        next += next < expected.size() && line.rfind(expected[next], 0) == 0 ? 1 : 0;
    }
    EXPECT_EQ(next, expected.size()) << environment.trace();
}

TEST(AdaptedDriverLoading, WithoutDriverConnectTheConnectFailsWithAConfigurationError) {
    SevrinDsns dsns("nodriverconnect");
    RecordingEnvironment environment;
    ODBCRepeaterConnection connection(&environment);
    EXPECT_EQ(connection.connectStrings("Tarvex", "u", "p"), SQL_ERROR);
    const auto list = records(connection);
    ASSERT_FALSE(list.empty());
    EXPECT_EQ(list[0].state + " " + std::to_string(list[0].native) + " " + list[0].message,
              "08001 100 Driver configuration error");
}

// No native connection handle: the environment's record is reported and
// nothing is asked about a null handle.
TEST(AdaptedDriverLoading, FailedHandleAllocationReadsNoNullHandle) {
    SevrinDsns dsns;
    dsns.library.control("fail", "SQLAllocHandle:2|HY001|7|no memory for a connection");
    RecordingEnvironment environment(true);
    ODBCRepeaterConnection connection(&environment);
    EXPECT_EQ(connection.connectStrings("Tarvex", "u", "p"), SQL_ERROR);
    EXPECT_TRUE(environment.traced("// Initialization failed"));
    const auto list = records(connection);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].state + " " + std::to_string(list[0].native), "08001 7");
    EXPECT_EQ(list[0].message, "no memory for a connection");
    EXPECT_TRUE(dsns.calls("SQLDriverConnect").empty());
    EXPECT_EQ(dsns.library.journal().find("SQLGetDiagRec null"), std::string::npos);
}

// ODBC 2 functions only: handles come from SQLAllocEnv and SQLAllocConnect
// and the connection goes back through SQLFreeConnect. The environment and
// the library stay: a later connection shares both.
TEST(AdaptedDriverLoading, Odbc2LibraryAllocatesFreesAndStaysLoaded) {
    SevrinDsns dsns("odbc2");
    RecordingEnvironment environment(true);
    {
        ODBCRepeaterConnection connection(&environment);
        ASSERT_EQ(connection.connectStrings("Tarvex", "u", "p"), SQL_SUCCESS);
        EXPECT_EQ(dsns.calls("SQLAllocConnect").size(), 1u);
        EXPECT_TRUE(dsns.calls("SQLAllocHandle").empty());
    }
    EXPECT_EQ(dsns.calls("SQLFreeConnect").size(), 1u);
    EXPECT_TRUE(dsns.calls("SQLFreeEnv").empty());
    EXPECT_EQ(liveHandles(dsns.library, "dbc"), 0);
    const int environments = liveHandles(dsns.library, "env");
    EXPECT_GE(environments, 1);

    dsns.library.control("identity", "400");  // state of the library still loaded
    ODBCRepeaterConnection again(&environment);
    ASSERT_EQ(again.connectStrings("Tarvex", "u", "p"), SQL_SUCCESS);
    EXPECT_EQ(again.adaptedDbmsName(), "DB2/400 SQL");
    EXPECT_EQ(liveHandles(dsns.library, "env"), environments);
}

// A second connect on the same object frees the first native connection.
TEST(AdaptedDriverLoading, ReconnectingDoesNotStrandTheEarlierHandle) {
    SevrinDsns dsns;
    RecordingEnvironment environment;
    ODBCRepeaterConnection connection(&environment);
    ASSERT_EQ(connection.connectStrings("Tarvex", "u", "p"), SQL_SUCCESS);
    ASSERT_EQ(connection.disconnect(), SQL_SUCCESS);
    ASSERT_EQ(connection.connectStrings("Tarvex", "u", "p"), SQL_SUCCESS);
    EXPECT_EQ(liveHandles(dsns.library, "dbc"), 1);
}

// The wide-only library: everything through the W functions, converted.
class WideOnlyLibrary : public ::testing::Test {
  protected:
    SevrinDsns dsns{"wonly"};
    RecordingEnvironment environment;
    ODBCRepeaterConnection connection{&environment};
};

TEST_F(WideOnlyLibrary, ConnectsAndReadsNumbersWithinTheBuffer) {
    ASSERT_EQ(connection.connectStrings("Tarvex", "db2inst1", "secret"), SQL_SUCCESS);
    const auto connects = dsns.calls("SQLDriverConnectW");
    ASSERT_EQ(connects.size(), 1u);
    EXPECT_NE(connects[0].find("\"DSN=Adapted;UID=db2inst1;PWD=secret;\""), std::string::npos);
    EXPECT_EQ(connection.infoDriverName(), "sevrin.so");

    const SQLHDBC dbc = connection.nativeConnectionHandle();
    SQLUSMALLINT capable = 0xABCD;
    SQLSMALLINT length = 0;
    ASSERT_EQ(connection.nativeGetInfo(dbc, SQL_TXN_CAPABLE, &capable, 0, &length), SQL_SUCCESS);
    EXPECT_EQ(length, 2);
    EXPECT_EQ(capable, SQL_TC_ALL);
    // A buffer shorter than the number: only what fits is written.
    unsigned char bytes[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    connection.nativeGetInfo(dbc, SQL_TXN_CAPABLE, bytes, 1, &length);
    EXPECT_EQ(bytes[1], 0xEE);
}

// 200 two-byte characters are 400 bytes of UTF-8: each buffer keeps the
// whole characters that fit and is never passed.
TEST_F(WideOnlyLibrary, LongNonAsciiTextIsCutAtACharacterWithinTheBuffer) {
    std::string name;
    for (int i = 0; i < 200; ++i) {
        name += "\xC3\xA9";
    }
    dsns.library.control("info", "SQL_DBMS_NAME|" + name);
    ASSERT_EQ(connection.connectStrings("Tarvex", "u", "p"), SQL_SUCCESS);
    EXPECT_EQ(connection.adaptedDbmsName(), name.substr(0, 254));
    for (const SQLSMALLINT size : {10, 9, 2}) {
        std::vector<char> buffer(static_cast<std::size_t>(size) + 4, '#');
        EXPECT_EQ(connection.nativeGetInfo(connection.nativeConnectionHandle(), SQL_DBMS_NAME,
                                           buffer.data(), size, nullptr),
                  SQL_SUCCESS_WITH_INFO);
        EXPECT_EQ(std::string(buffer.data()), name.substr(0, (size - 1) / 2 * 2)) << size;
        EXPECT_EQ(buffer[static_cast<std::size_t>(size)], '#') << size;
    }
}

// 500 three-byte characters of message: the record keeps the whole
// characters that fit the 512-byte buffer.
TEST_F(WideOnlyLibrary, LongDiagnosticMessageStaysWithinItsBuffer) {
    std::string message;
    for (int i = 0; i < 500; ++i) {
        message += "\xE6\x97\xA5";
    }
    dsns.library.control("fail", "SQLDriverConnect|08004|42|" + message);
    EXPECT_EQ(connection.connectStrings("Tarvex", "u", "p"), SQL_ERROR);
    const auto list = records(connection);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].state + " " + std::to_string(list[0].native), "08001 42");
    EXPECT_EQ(list[0].message, message.substr(0, 510));
}

TEST_F(WideOnlyLibrary, CompletedConnectTextIsCutToTheOutputBuffer) {
    ASSERT_EQ(connection.connectStrings("Tarvex", "u", "p"), SQL_SUCCESS);
    ASSERT_EQ(connection.disconnect(), SQL_SUCCESS);
    const std::string text = "DSN=Adapted;UID=u;PWD=p;";
    char out[12];
    std::memset(out, '#', sizeof out);
    SQLSMALLINT length = 0;
    ASSERT_TRUE(SQL_SUCCEEDED(
        connection.nativeDriverConnect(connection.nativeConnectionHandle(), nullptr, sqlText(text),
                                       SQL_NTS, reinterpret_cast<SQLCHAR*>(out), 8, &length)));
    EXPECT_EQ(std::string(out), text.substr(0, 7));
    EXPECT_EQ(out[8], '#');
    EXPECT_EQ(length, static_cast<SQLSMALLINT>(text.size()));
}

}  // namespace
