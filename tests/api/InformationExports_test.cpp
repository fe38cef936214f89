// SQLGetInfo, SQLGetInfoW, SQLGetFunctions, SQLGetTypeInfo and
// SQLGetTypeInfoW as exported: compiled in here so that they run on a
// connection of the test's own, and from the built module before any
// connection exists.
#include "driver/api/exports/InformationExports.cpp"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "driver/core/ConnectionProxy.h"
#include "tests/api/ConnectionTestDoubles.h"
#include "tests/api/TraceTestBuffers.h"
#include "tests/core/StatementTestSupport.h"
#include "tests/support/DriverLibrary.h"
#include "tests/support/OdbcSandbox.h"

namespace {

using stmt_test::TestConnection;
using stmt_test::TestEnvironment;

// "Ünïcødé DB": ten characters in fourteen UTF-8 bytes.
const char* const kDbmsName =
    "\xC3\x9Cn\xC3\xAF"
    "c\xC3\xB8"
    "d\xC3\xA9 DB";

class InfoConnection : public TestConnection {
  public:
    using TestConnection::TestConnection;
    std::string infoDbmsName() override { return kDbmsName; }
};

// A connection handle with a connection behind it, traced in memory.
struct Session {
    TestEnvironment environment;
    ConnectionProxy proxy{&environment};

    explicit Session(bool connected = true) {
        if (connected) {
            proxy.setConnection(std::make_unique<InfoConnection>(&environment));
        }
        environment.tracing = true;
    }
    SQLHDBC dbc() { return connectionHandle(&proxy); }
    std::string trace() const { return normalisedTrace(environment.trace); }
};

std::wstring wideText(const void* buffer) {
    return std::wstring(static_cast<const wchar_t*>(buffer));
}

TEST(InformationExports, GetInfoTracesWhatItWrote) {
    struct Case {
        const char* name;
        SQLUSMALLINT infoType;
        bool withLength;
        SQLRETURN rc;
        const char* trace;
    };
    const Case cases[] = {
        {"text", SQL_DBMS_NAME, true, SQL_SUCCESS,
         "char value<ptr>[64];\n"
         "SQLSMALLINT len<ptr> = 0;\n"
         "rc = SQLGetInfo(dbc<ptr>, SQL_DBMS_NAME, value<ptr>, 64, &len<ptr>);\n"
         "// value: \xC3\x9Cn\xC3\xAF"
         "c\xC3\xB8"
         "d\xC3\xA9 DB\n"
         "// *len: 14\n"
         "// rc: SQL_SUCCESS\n"},
        {"number", SQL_TXN_CAPABLE, false, SQL_SUCCESS,
         "char value<ptr>[64];\n"
         "rc = SQLGetInfo(dbc<ptr>, SQL_TXN_CAPABLE, value<ptr>, 64, NULL);\n"
         "// value: SQL_TC_ALL\n"
         "// rc: SQL_SUCCESS\n"},
        {"no such item", 3, true, SQL_ERROR,
         "char value<ptr>[64];\n"
         "SQLSMALLINT len<ptr> = 0;\n"
         "rc = SQLGetInfo(dbc<ptr>, unknown (3), value<ptr>, 64, &len<ptr>);\n"
         "// rc: SQL_ERROR\n"},
    };
    for (const Case& c : cases) {
        Session session;
        char value[64] = {};
        SQLSMALLINT length = -1;
        EXPECT_EQ(SQLGetInfo(session.dbc(), c.infoType, value, sizeof value,
                             c.withLength ? &length : nullptr),
                  c.rc)
            << c.name;
        EXPECT_EQ(session.trace(), c.trace) << c.name;
    }
}

TEST(InformationExports, GetInfoBeforeConnectingAnswersOnlyDriverItems) {
    Session session(false);
    char value[16] = {};
    SQLSMALLINT length = -1;
    EXPECT_EQ(SQLGetInfo(session.dbc(), SQL_DRIVER_ODBC_VER, value, sizeof value, &length),
              SQL_SUCCESS);
    EXPECT_STREQ(value, "03.00");
    EXPECT_EQ(SQLGetInfo(session.dbc(), SQL_DBMS_NAME, value, sizeof value, &length), SQL_ERROR);
    EXPECT_EQ(length, 0);
}

// The caller's wide buffer sits right before an inaccessible page, so a
// write or read past it faults.
TEST(InformationExports, GetInfoWConvertsTextAndCopiesNumbers) {
    struct Case {
        const char* name;
        bool connected;
        SQLUSMALLINT infoType;
        bool withBuffer;
        SQLSMALLINT bufferLength;  // also the guarded buffer's size
        SQLRETURN rc;
        SQLSMALLINT length;    // 77 when it must stay untouched
        std::wstring text;     // for text answers
        std::uint32_t number;  // for numeric answers
    };
    const Case cases[] = {
        {"text, sizing call", true, SQL_DBMS_NAME, false, 0, SQL_SUCCESS, 4 * 14 + 4, L"", 0},
        {"text that fits", true, SQL_DBMS_NAME, true, 64, SQL_SUCCESS, 40,
         L"\u00DCn\u00EFc\u00F8d\u00E9 DB", 0},
        {"text cut in the wide buffer", true, SQL_DBMS_NAME, true, 20, SQL_SUCCESS, 40,
         L"\u00DCn\u00EFc", 0},
        // Seven narrow bytes end inside a character: it is left out.
        {"text cut in the narrow answer", true, SQL_DBMS_NAME, true, 8, SQL_SUCCESS, 16, L"\u00DC",
         0},
        {"no room", true, SQL_DBMS_NAME, true, 0, SQL_SUCCESS, 0, L"", 0},
        {"16-bit number, no buffer length", true, SQL_TXN_CAPABLE, true, 0, SQL_SUCCESS, 2, L"",
         SQL_TC_ALL},
        {"32-bit number, no buffer length", true, SQL_SCROLL_OPTIONS, true, 0, SQL_SUCCESS, 4, L"",
         SQL_SO_FORWARD_ONLY | SQL_SO_STATIC | SQL_SO_KEYSET_DRIVEN | SQL_SO_DYNAMIC},
        {"before connecting", false, SQL_DRIVER_ODBC_VER, true, 40, SQL_SUCCESS, 20, L"03.00", 0},
        {"before connecting, other item", false, SQL_DBMS_NAME, true, 40, SQL_ERROR, 77, L"", 0},
    };
    for (const Case& c : cases) {
        Session session(c.connected);
        const bool numeric = c.number != 0;
        const std::size_t room = numeric ? (c.infoType == SQL_TXN_CAPABLE ? 2 : 4)
                                         : static_cast<std::size_t>(c.bufferLength);
        GuardedBuffer buffer(room);
        std::memset(buffer.data(), 0x55, room);
        SQLSMALLINT length = 77;
        EXPECT_EQ(SQLGetInfoW(session.dbc(), c.infoType, c.withBuffer ? buffer.data() : nullptr,
                              c.bufferLength, &length),
                  c.rc)
            << c.name;
        EXPECT_EQ(length, c.length) << c.name;
        if (numeric) {
            std::uint32_t value = 0;
            std::memcpy(&value, buffer.data(), room);
            EXPECT_EQ(value, c.number) << c.name;
        } else if (room >= sizeof(SQLWCHAR) && c.rc == SQL_SUCCESS) {
            EXPECT_EQ(wideText(buffer.data()), c.text) << c.name;
        } else if (room > 0) {
            EXPECT_EQ(static_cast<unsigned char>(buffer.data()[0]), 0x55) << c.name;
        }
    }
}

TEST(InformationExports, GetInfoWTracesTheConvertedText) {
    Session session;
    SQLWCHAR value[16];
    SQLSMALLINT length = 0;
    ASSERT_EQ(SQLGetInfoW(session.dbc(), SQL_DBMS_NAME, value, sizeof value, &length), SQL_SUCCESS);
    EXPECT_EQ(session.trace(),
              "char value<ptr>[64];\n"
              "SQLSMALLINT len<ptr> = 0;\n"
              "rc = SQLGetInfoW(dbc<ptr>, SQL_DBMS_NAME, value<ptr>, 64, &len<ptr>);\n"
              "// value: \xC3\x9Cn\xC3\xAF"
              "c\xC3\xB8"
              "d\xC3\xA9 DB\n"
              "// *len: 40\n"
              "// rc: SQL_SUCCESS\n");
}

TEST(InformationExports, GetFunctionsAnswersEveryFormEvenWithoutAnArray) {
    struct Case {
        const char* name;
        bool connected;
        SQLUSMALLINT functionId;
        bool withArray;
        SQLRETURN rc;
        const char* declaration;
        const char* output;
    };
    const Case cases[] = {
        {"one function", true, SQL_API_SQLTABLES, true, SQL_SUCCESS,
         "SQLUSMALLINT supported<ptr> = 0;", "// *supported: SQL_TRUE\n"},
        {"one function, no array", true, SQL_API_SQLTABLES, false, SQL_SUCCESS,
         "SQLUSMALLINT supported<ptr> = 0;", "// *supported: null\n"},
        {"ODBC 3 bitmap, no array", true, SQL_API_ODBC3_ALL_FUNCTIONS, false, SQL_SUCCESS,
         "SQLUSMALLINT supported<ptr>[SQL_API_ODBC3_ALL_FUNCTIONS_SIZE];", "// *supported: null\n"},
        {"ODBC 2 array, no array", true, SQL_API_ALL_FUNCTIONS, false, SQL_SUCCESS,
         "SQLUSMALLINT supported<ptr>[100];", "// *supported: null\n"},
        {"before connecting", false, SQL_API_SQLTABLES, true, SQL_ERROR,
         "SQLUSMALLINT supported<ptr> = 0;", "// diagnostic: state: HY010  code: 0  msg: \n"},
    };
    for (const Case& c : cases) {
        Session session(c.connected);
        SQLUSMALLINT supported[SQL_API_ODBC3_ALL_FUNCTIONS_SIZE] = {};
        EXPECT_EQ(SQLGetFunctions(session.dbc(), c.functionId, c.withArray ? supported : nullptr),
                  c.rc)
            << c.name;
        const std::string id = c.functionId == SQL_API_SQLTABLES ? "SQL_API_SQLTABLES"
                               : c.functionId == 0               ? "SQL_API_ALL_FUNCTIONS"
                                                                 : "SQL_API_ODBC3_ALL_FUNCTIONS";
        EXPECT_EQ(session.trace(),
                  std::string(c.declaration) + "\nrc = SQLGetFunctions(dbc<ptr>, " + id +
                      ", &supported<ptr>);\n" + c.output +
                      "// rc: " + (c.rc == SQL_SUCCESS ? "SQL_SUCCESS" : "SQL_ERROR") + "\n")
            << c.name;
        if (!c.connected) {
            EXPECT_EQ(stateOf(session.proxy.diagnostics()), "HY010");
        }
    }
    // The full ODBC 3 answer names what the connection supports.
    Session session;
    SQLUSMALLINT bitmap[SQL_API_ODBC3_ALL_FUNCTIONS_SIZE] = {};
    ASSERT_EQ(SQLGetFunctions(session.dbc(), SQL_API_ODBC3_ALL_FUNCTIONS, bitmap), SQL_SUCCESS);
    EXPECT_TRUE(SQL_FUNC_EXISTS(bitmap, SQL_API_SQLFETCHSCROLL));
    EXPECT_NE(session.trace().find("SQL_API_SQLFETCHSCROLL"), std::string::npos);
}

TEST(InformationExports, GetTypeInfoAndItsWideFormDifferOnlyInTheTrace) {
    for (const SQLSMALLINT dataType :
         {SQLSMALLINT{SQL_ALL_TYPES}, SQLSMALLINT{50}, SQLSMALLINT{SQL_DATE}}) {
        std::vector<std::string> traces;
        for (auto* getTypeInfo : {&SQLGetTypeInfo, &SQLGetTypeInfoW}) {
            Session session;
            std::unique_ptr<Statement> statement(session.proxy.createStatement());
            session.environment.trace.clear();
            EXPECT_EQ(getTypeInfo(statementHandle(statement.get()), dataType), SQL_SUCCESS)
                << dataType;
            EXPECT_EQ(statement->getAttrImpRowDesc()->getCount(), 19);
            EXPECT_EQ(dynamic_cast<MemoryRecordset&>(*statement->recordset()).rowCount(), 0U);
            traces.push_back(session.trace());
        }
        const std::string type = dataType == SQL_ALL_TYPES ? "SQL_ALL_TYPES"
                                 : dataType == SQL_DATE    ? "SQL_DATE"
                                                           : "unknown (50)";
        const std::string call = "rc = SQLGetTypeInfo(stmt<ptr>, " + type + ");\n";
        EXPECT_EQ(traces[0].substr(0, call.size()), call);
        EXPECT_EQ(traces[0].substr(traces[0].size() - 19), "// rc: SQL_SUCCESS\n");
        EXPECT_EQ(traces[1], "rc = SQLGetTypeInfoW" + traces[0].substr(19));
    }
}

// The built module, before any data source is connected.
TEST(InformationExports, TheModuleAnswersAnUnconnectedHandle) {
    OdbcSandbox sandbox;
    sandbox.setKey(sandbox.odbcinstIni(OdbcSandbox::Scope::System), "Vorlan Tarvex", "TraceFile",
                   (sandbox.root() / "trace").string());
    DriverLibrary driver(MORVANEX_DRIVER_PATH);
    auto allocHandle = driver.function<decltype(&SQLAllocHandle)>("SQLAllocHandle");
    auto freeHandle = driver.function<decltype(&SQLFreeHandle)>("SQLFreeHandle");
    auto getInfoW = driver.function<decltype(&SQLGetInfoW)>("SQLGetInfoW");
    auto getFunctions = driver.function<decltype(&SQLGetFunctions)>("SQLGetFunctions");
    SQLHENV env = nullptr;
    SQLHDBC dbc = nullptr;
    ASSERT_EQ(allocHandle(SQL_HANDLE_ENV, nullptr, &env), SQL_SUCCESS);
    ASSERT_EQ(allocHandle(SQL_HANDLE_DBC, env, &dbc), SQL_SUCCESS);

    SQLWCHAR name[32] = {};
    SQLSMALLINT length = 0;
    EXPECT_EQ(getInfoW(dbc, SQL_DRIVER_NAME, name, sizeof name, &length), SQL_SUCCESS);
    EXPECT_EQ(wideText(name), L"morvanex.so");
    EXPECT_EQ(length, 44);
    SQLUSMALLINT supported = 9;
    EXPECT_EQ(getFunctions(dbc, SQL_API_SQLTABLES, &supported), SQL_ERROR);
    EXPECT_EQ(supported, 9);

    freeHandle(SQL_HANDLE_DBC, dbc);
    freeHandle(SQL_HANDLE_ENV, env);
    const std::string trace = normalisedTrace(
        OdbcSandbox::readFile(sandbox.root() / ("trace-" + std::to_string(getpid()))));
    EXPECT_NE(trace.find("rc = SQLGetInfoW(dbc<ptr>, SQL_DRIVER_NAME, value<ptr>, 128, "
                         "&len<ptr>);\n// value: morvanex.so\n// *len: 44\n// rc: SQL_SUCCESS\n"),
              std::string::npos)
        << trace;
    EXPECT_NE(trace.find("rc = SQLGetFunctions(dbc<ptr>, SQL_API_SQLTABLES, &supported<ptr>);\n"
                         "// diagnostic: state: HY010  code: 0  msg: \n"
                         "// rc: SQL_ERROR\n"),
              std::string::npos)
        << trace;
}

}  // namespace
