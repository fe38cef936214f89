// Loading the adapted driver: the entry-point table, the library checks,
// the ODBC 2 and wide-only fallbacks, and copies of the driver's text into
// bounded buffers.

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "driver/adapter/AdaptedDriverEntryPoints.h"
#include "tests/adapter/RepeaterTestSupport.h"

using namespace repeater_test;

namespace {

// Live handles of one kind ("env", "dbc") in a loaded stand-in.
int liveHandles(const SevrinLibrary& library, const std::string& kind) {
    const std::string handles = library.control("handles");
    const auto at = handles.find(kind + "=");
    return at == std::string::npos ? -1 : std::stoi(handles.substr(at + kind.size() + 1));
}

// The declared groups and their sizes, in declaration order.
TEST(AdaptedDriverEntryPoints, TableHoldsEachNameOnceInItsGroup) {
    const std::vector<std::pair<EntryPointGroup, std::size_t>> groups = {
        {EntryPointGroup::CatalogNarrow, 10}, {EntryPointGroup::CatalogWide, 10},
        {EntryPointGroup::Connection, 5},     {EntryPointGroup::Cursor, 7},
        {EntryPointGroup::Diagnostics, 5},    {EntryPointGroup::Execution, 6},
        {EntryPointGroup::Allocation, 4},     {EntryPointGroup::Release, 4},
        {EntryPointGroup::Information, 5},    {EntryPointGroup::Attributes, 10},
        {EntryPointGroup::Descriptors, 4},    {EntryPointGroup::WideAttributes, 8},
        {EntryPointGroup::Parameters, 8},     {EntryPointGroup::Results, 14},
        {EntryPointGroup::Transactions, 2},
    };
    const auto rows = adaptedEntryPointRows();
    std::set<std::string> names;
    std::size_t index = 0;
    for (const auto& [group, size] : groups) {
        for (std::size_t i = 0; i < size; ++i, ++index) {
            ASSERT_LT(index, rows.size());
            EXPECT_EQ(rows[index].group, group) << rows[index].name;
            EXPECT_TRUE(names.insert(rows[index].name).second) << rows[index].name;
        }
    }
    EXPECT_EQ(index, rows.size());
    EXPECT_NE(findAdaptedEntryPoint("SQLSetDescRecW"), nullptr);
    EXPECT_EQ(findAdaptedEntryPoint("SQLSetDescFieldW"), nullptr);
}

// Each row writes and reads its own slot and no other.
TEST(AdaptedDriverEntryPoints, EachRowOwnsItsSlot) {
    int marker = 0;
    for (const AdaptedEntryPointRow& row : adaptedEntryPointRows()) {
        AdaptedDriverEntryPoints table;
        row.store(table, &marker);
        for (const AdaptedEntryPointRow& other : adaptedEntryPointRows()) {
            EXPECT_EQ(other.isSet(table), &other == &row) << row.name << " / " << other.name;
        }
    }
}

TEST(AdaptedDriverEntryPoints, WideOnlyLibraryLeavesNarrowTextEntriesNull) {
    SevrinLibrary library("wonly");
    void* handle = dlopen(library.file().c_str(), RTLD_LAZY | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr);
    AdaptedDriverEntryPoints table;
    for (const AdaptedEntryPointRow& row : adaptedEntryPointRows()) {
        resolveAdaptedEntryPoint(handle, row, table);
    }
    EXPECT_EQ(table.SQLDriverConnect, nullptr);
    EXPECT_NE(table.SQLDriverConnectW, nullptr);
    EXPECT_EQ(table.SQLGetInfo, nullptr);
    EXPECT_NE(table.SQLGetInfoW, nullptr);
    EXPECT_NE(table.SQLAllocHandle, nullptr);
    dlclose(handle);
}

// What a failed load reports and logs.
struct LoadFailureCase {
    const char* name;
    const char* adaptedDriver;  // "Driver" of the adapted DSN; null: no DriverDSN at all
    const char* message;        // the record's message, up to the reason's end
    bool messageIsPrefix;
};

class LoadFailureTest : public ::testing::TestWithParam<std::tuple<LoadFailureCase, bool>> {};

TEST_P(LoadFailureTest, ReportsCouldNotLoadDriver) {
    const auto& [c, tracing] = GetParam();
    OdbcSandbox sandbox;
    OdbcSandbox::Keys keys;
    if (c.adaptedDriver != nullptr) {
        std::string driver = c.adaptedDriver;
        if (driver == "noconnect") {
            driver = SevrinLibrary::path("noconnect");
        }
        sandbox.addDsn("Adapted", driver, {});
        keys.emplace_back("DriverDSN", "Adapted");
    }
    sandbox.addDsn("Tarvex", "morvanex.so", keys);
    RecordingEnvironment environment(tracing);
    {
        ODBCRepeaterConnection connection(&environment);
        EXPECT_EQ(connection.connectStrings("Tarvex", "u", "p"), SQL_ERROR);
        const auto list = records(connection);
        ASSERT_EQ(list.size(), 1u) << describe(list);
        EXPECT_EQ(list[0].state, "01000");
        EXPECT_EQ(list[0].native, 0);
        if (c.messageIsPrefix) {
            EXPECT_EQ(list[0].message.rfind(c.message, 0), 0u) << list[0].message;
            EXPECT_GT(list[0].message.size(), std::strlen(c.message));
        } else {
            EXPECT_EQ(list[0].message, c.message);
        }
        EXPECT_FALSE(connection.isConnected());
        EXPECT_EQ(connection.nativeConnectionHandle(), nullptr);
    }
    // The log names the failure without the reason.
    EXPECT_EQ(environment.errorLog(), std::vector<std::string>{"Could not load driver"});
}

const LoadFailureCase kLoadFailures[] = {
    {"NoAdaptedDsn", nullptr, "Could not load driver: driver path not specified", false},
    {"EmptyDriverValue", "", "Could not load driver", false},
    {"MissingLibrary", "/nonexistent/adapted.so",
     "Could not load driver: /nonexistent/adapted.so: cannot open shared object file", true},
    {"NeitherConnectFunction", "noconnect", "Could not load driver: not a valid ODBC driver",
     false},
};

INSTANTIATE_TEST_SUITE_P(Repeater, LoadFailureTest,
                         ::testing::Combine(::testing::ValuesIn(kLoadFailures), ::testing::Bool()),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) ? "Traced" : "Quiet");
                         });

// Loading traces the library, its handle and the key entries in this order.
TEST(AdaptedDriverLoading, TracesTheLoadInOrder) {
    SevrinDsns dsns;
    RecordingEnvironment environment(true);
    ODBCRepeaterConnection connection(&environment);
    environment.clearTrace();
    ASSERT_EQ(connection.connectStrings("Tarvex", "db2inst1", "secret"), SQL_SUCCESS);
    const std::vector<std::string> expected = {
        "// Driver DSN: Adapted",
        "// --> library path: " + dsns.library.file(),
        "// --> handle: ",
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
    const auto lines = environment.traceLines();
    std::size_t next = 0;
    for (const std::string& line : lines) {
        if (next < expected.size() && line.rfind(expected[next], 0) == 0) {
            ++next;
        }
    }
    EXPECT_EQ(next, expected.size())
        << "missing: " << expected[std::min(next, expected.size() - 1)] << "\n"
        << environment.trace();
}

TEST(AdaptedDriverLoading, NoConnectFunctionStopsBeforeTheOtherEntries) {
    SevrinDsns dsns("noconnect");
    RecordingEnvironment environment(true);
    ODBCRepeaterConnection connection(&environment);
    EXPECT_EQ(connection.connectStrings("Tarvex", "u", "p"), SQL_ERROR);
    EXPECT_TRUE(environment.traced("// --> SQLConnect: 0"));
    EXPECT_TRUE(environment.traced("// --> SQLConnectW: 0"));
    EXPECT_TRUE(environment.traced("// --> not a valid ODBC driver"));
    EXPECT_FALSE(environment.traced("// --> SQLAllocEnv: 1"));
    EXPECT_EQ(connection.entryPoints().SQLAllocHandle, nullptr);
}

TEST(AdaptedDriverLoading, WithoutDriverConnectTheConnectFailsWithAConfigurationError) {
    SevrinDsns dsns("nodriverconnect");
    RecordingEnvironment environment;
    ODBCRepeaterConnection connection(&environment);
    EXPECT_EQ(connection.connectStrings("Tarvex", "u", "p"), SQL_ERROR);
    const auto list = records(connection);
    ASSERT_FALSE(list.empty());
    EXPECT_EQ(list[0].state, "08001");
    EXPECT_EQ(list[0].native, 100);
    EXPECT_EQ(list[0].message, "Driver configuration error") << describe(list);
    EXPECT_TRUE(dsns.calls("SQLConnect").empty());
}

// A library of ODBC 2 functions only: its environment and connection come
// from SQLAllocEnv and SQLAllocConnect and go back through SQLFreeConnect.
TEST(AdaptedDriverLoading, Odbc2LibraryAllocatesAndFreesThroughItsOwnFunctions) {
    SevrinDsns dsns("odbc2");
    RecordingEnvironment environment;
    const int environments = liveHandles(dsns.library, "env");
    {
        ODBCRepeaterConnection connection(&environment);
        ASSERT_EQ(connection.connectStrings("Tarvex", "u", "p"), SQL_SUCCESS)
            << describe(records(connection));
        EXPECT_EQ(dsns.calls("SQLAllocEnv").size(), 1u);
        EXPECT_EQ(dsns.calls("SQLAllocConnect").size(), 1u);
        EXPECT_TRUE(dsns.calls("SQLAllocHandle").empty());
    }
    EXPECT_EQ(dsns.calls("SQLFreeConnect").size(), 1u) << dsns.library.journal();
    EXPECT_TRUE(dsns.calls("SQLFreeEnv").empty());
    EXPECT_EQ(liveHandles(dsns.library, "dbc"), 0);
    EXPECT_EQ(liveHandles(dsns.library, "env"), environments + 1);
}

// Destruction frees the native connection, not the environment, and the
// library stays: a later connection loads the very same one.
TEST(AdaptedDriverLoading, LibraryStaysLoadedAcrossConnections) {
    SevrinDsns dsns;
    RecordingEnvironment environment(true);
    const int environments = liveHandles(dsns.library, "env");
    std::string firstHandle;
    {
        ODBCRepeaterConnection connection(&environment);
        ASSERT_EQ(connection.connectStrings("Tarvex", "u", "p"), SQL_SUCCESS);
        for (const std::string& line : environment.traceLines()) {
            if (line.rfind("// --> handle: ", 0) == 0) {
                firstHandle = line;
            }
        }
    }
    EXPECT_TRUE(environment.traced("// ensuring disconnect"));
    EXPECT_TRUE(environment.traced("// freeing connection handle"));
    EXPECT_EQ(liveHandles(dsns.library, "dbc"), 0);
    EXPECT_EQ(liveHandles(dsns.library, "env"), environments + 1);
    dsns.library.control("identity", "400");  // state kept by the loaded library
    environment.clearTrace();
    ODBCRepeaterConnection again(&environment);
    ASSERT_EQ(again.connectStrings("Tarvex", "u", "p"), SQL_SUCCESS);
    EXPECT_TRUE(environment.traced(firstHandle)) << environment.trace();
    EXPECT_EQ(again.adaptedDbmsName(), "DB2/400 SQL");
}

// A second connect on the same object gives back the first native
// connection handle before it takes a new one.
TEST(AdaptedDriverLoading, ReconnectingDoesNotStrandTheEarlierHandle) {
    SevrinDsns dsns;
    RecordingEnvironment environment;
    ODBCRepeaterConnection connection(&environment);
    ASSERT_EQ(connection.connectStrings("Tarvex", "u", "p"), SQL_SUCCESS);
    ASSERT_EQ(connection.disconnect(), SQL_SUCCESS);
    ASSERT_EQ(connection.connectStrings("Tarvex", "u", "p"), SQL_SUCCESS);
    EXPECT_EQ(liveHandles(dsns.library, "dbc"), 1);
}

// The wide-only library: connect, information and diagnostics go through
// the W functions with the text converted.
class WideOnlyLibrary : public ::testing::Test {
  protected:
    SevrinDsns dsns{"wonly"};
    RecordingEnvironment environment;
    ODBCRepeaterConnection connection{&environment};
};

TEST_F(WideOnlyLibrary, ConnectsAndReadsInformationThroughWideFunctions) {
    ASSERT_EQ(connection.connectStrings("Tarvex", "db2inst1", "secret"), SQL_SUCCESS)
        << describe(records(connection));
    const auto connects = dsns.calls("SQLDriverConnectW");
    ASSERT_EQ(connects.size(), 1u);
    EXPECT_NE(connects[0].find("text=\"DSN=Adapted;UID=db2inst1;PWD=secret;\""), std::string::npos)
        << connects[0];
    EXPECT_EQ(connection.adaptedDbmsName(), "DB2/LINUXX8664");
    EXPECT_EQ(connection.infoDriverName(), "sevrin.so");
    EXPECT_FALSE(dsns.calls("SQLGetInfoW").empty());
    EXPECT_FALSE(dsns.calls("SQLSetConnectAttrW").empty());
}

TEST_F(WideOnlyLibrary, NumericInformationIsCopiedWithinTheBuffer) {
    ASSERT_EQ(connection.connectStrings("Tarvex", "u", "p"), SQL_SUCCESS);
    const SQLHDBC dbc = connection.nativeConnectionHandle();

    SQLUSMALLINT capable = 0xABCD;
    SQLSMALLINT length = 0;
    ASSERT_EQ(connection.nativeGetInfo(dbc, SQL_TXN_CAPABLE, &capable, 0, &length), SQL_SUCCESS);
    EXPECT_EQ(length, 2);
    EXPECT_NE(capable, 0xABCD);

    // A buffer shorter than the number: only what fits is written.
    unsigned char bytes[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    ASSERT_TRUE(SQL_SUCCEEDED(connection.nativeGetInfo(dbc, SQL_TXN_CAPABLE, bytes, 1, &length)));
    EXPECT_EQ(bytes[1], 0xEE);
    EXPECT_EQ(bytes[2], 0xEE);
}

// A DBMS name of 200 two-byte characters: 400 bytes of UTF-8 through
// buffers of 256 bytes and less, cut before a character that does not fit.
TEST_F(WideOnlyLibrary, LongNonAsciiTextIsCutAtACharacterWithinTheBuffer) {
    std::string name;
    for (int i = 0; i < 200; ++i) {
        name += "\xC3\xA9";  // é
    }
    dsns.library.control("info", "SQL_DBMS_NAME|" + name);
    ASSERT_EQ(connection.connectStrings("Tarvex", "u", "p"), SQL_SUCCESS);
    EXPECT_EQ(connection.adaptedDbmsName(), name.substr(0, 254));

    const SQLHDBC dbc = connection.nativeConnectionHandle();
    struct BufferCase {
        SQLSMALLINT size;
        std::size_t kept;
    };
    for (const BufferCase c : {BufferCase{10, 8}, BufferCase{2, 0}, BufferCase{9, 8}}) {
        std::vector<char> buffer(static_cast<std::size_t>(c.size) + 8, '#');
        SQLSMALLINT length = 0;
        EXPECT_EQ(connection.nativeGetInfo(dbc, SQL_DBMS_NAME, buffer.data(), c.size, &length),
                  SQL_SUCCESS_WITH_INFO);
        EXPECT_EQ(std::string(buffer.data()), name.substr(0, c.kept)) << c.size;
        EXPECT_GT(length, static_cast<SQLSMALLINT>(c.kept));
        EXPECT_EQ(buffer[static_cast<std::size_t>(c.size)], '#') << c.size;
    }
}

// 500 three-byte characters of message are 1,500 bytes: the record keeps
// what fits the 512-byte buffer, in whole characters.
TEST_F(WideOnlyLibrary, LongDiagnosticMessageStaysWithinItsBuffer) {
    std::string message;
    for (int i = 0; i < 500; ++i) {
        message += "\xE6\x97\xA5";  // 日
    }
    dsns.library.control("fail", "SQLDriverConnect|08004|42|" + message);
    EXPECT_EQ(connection.connectStrings("Tarvex", "u", "p"), SQL_ERROR);
    const auto list = records(connection);
    ASSERT_EQ(list.size(), 1u) << describe(list);
    EXPECT_EQ(list[0].state, "08001");
    EXPECT_EQ(list[0].native, 42);
    EXPECT_EQ(list[0].message, message.substr(0, 510));
}

// The completed text of SQLDriverConnectW goes into the caller's buffer
// cut to its size.
TEST_F(WideOnlyLibrary, CompletedConnectTextIsCutToTheOutputBuffer) {
    ASSERT_EQ(connection.connectStrings("Tarvex", "u", "p"), SQL_SUCCESS);
    ASSERT_EQ(connection.disconnect(), SQL_SUCCESS);
    const std::string text = "DSN=Adapted;UID=u;PWD=p;";
    char out[8 + 4];
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
