#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "driver/core/ConnectionProxy.h"
#include "driver/core/PlatformUtil.h"
#include "tests/api/ConnectionTestDoubles.h"

namespace {

constexpr SQLINTEGER kWideApi = 1057;
constexpr SQLINTEGER kIgnored = 30002;
constexpr SQLINTEGER kMars = 1224;

SQLPOINTER number(SQLULEN value) {
    return reinterpret_cast<SQLPOINTER>(value);
}

// A 32-bit answer, read from a buffer that starts filled with a marker so
// that a write of the wrong width shows.
struct NumberAnswer {
    SQLRETURN rc;
    std::uint64_t value;
    SQLINTEGER length;  // -99 when not written
};

NumberAnswer readNumber(ConnectionProxy& proxy, SQLINTEGER attribute) {
    std::uint64_t buffer = 0xAAAAAAAAAAAAAAAAull;
    SQLINTEGER length = -99;
    const SQLRETURN rc = proxy.getConnectAttr(attribute, &buffer, 0, &length);
    return {rc, buffer, length};
}

std::string readText(ConnectionProxy& proxy, SQLINTEGER attribute, SQLINTEGER bufferLength,
                     SQLINTEGER* length) {
    std::vector<char> buffer(static_cast<std::size_t>(bufferLength) + 8, 'Z');
    EXPECT_EQ(proxy.getConnectAttr(attribute, buffer.data(), bufferLength, length), SQL_SUCCESS);
    return buffer.data();
}

TEST(ConnectionProxy, FreshHandleAnswersItsDefaults) {
    CapturingEnvironment environment(false);
    ConnectionProxy proxy(&environment);
    struct Case {
        SQLINTEGER attribute;
        std::uint64_t expected;  // upper half keeps the marker for 32-bit answers
    };
    const std::uint64_t marker = 0xAAAAAAAA00000000ull;
    const Case cases[] = {
        {SQL_ATTR_ACCESS_MODE, marker | SQL_MODE_READ_WRITE},
        {SQL_ATTR_ASYNC_ENABLE, marker | 0},
        {SQL_ATTR_AUTOCOMMIT, marker | SQL_AUTOCOMMIT_ON},
        {SQL_ATTR_CONNECTION_TIMEOUT, marker | 0},
        {SQL_ATTR_LOGIN_TIMEOUT, marker | 0},
        {SQL_ATTR_METADATA_ID, marker | 0},
        {SQL_ATTR_PACKET_SIZE, marker | 0},
        {SQL_ATTR_TXN_ISOLATION, marker | SQL_TXN_READ_COMMITTED},
        {kMars, marker | 0},
        {SQL_ATTR_QUIET_MODE, 0},  // pointer-sized
        {SQL_ATTR_CONNECTION_DEAD, marker | SQL_CD_TRUE},
        {SQL_ATTR_AUTO_IPD, marker | SQL_TRUE},
        {kWideApi, marker | 0},
    };
    for (const Case& c : cases) {
        const NumberAnswer answer = readNumber(proxy, c.attribute);
        EXPECT_EQ(answer.rc, SQL_SUCCESS) << c.attribute;
        EXPECT_EQ(answer.value, c.expected) << c.attribute;
        EXPECT_EQ(answer.length, -99) << c.attribute << " wrote a length";
    }
    SQLINTEGER length = -1;
    EXPECT_EQ(readText(proxy, SQL_ATTR_CURRENT_CATALOG, 16, &length), "");
    EXPECT_EQ(length, 0);
    EXPECT_EQ(proxy.connection(), nullptr);
}

TEST(ConnectionProxy, AttributesSetBeforeConnecting) {
    struct Case {
        const char* name;
        SQLINTEGER attribute;
        SQLULEN value;
        SQLRETURN setRc;
        const char* setState;  // "none" when nothing is posted
        SQLINTEGER readAttribute;
        SQLRETURN readRc;
        std::uint64_t readValue;  // low 32 bits unless pointer-sized
    };
    const Case cases[] = {
        {"wide flags on", kWideApi, 1, SQL_SUCCESS, "none", kWideApi, SQL_SUCCESS, 1},
        {"any other value clears", kWideApi, 2, SQL_SUCCESS, "none", kWideApi, SQL_SUCCESS, 0},
        {"ignored attribute", kIgnored, 5, SQL_SUCCESS, "none", kIgnored, SQL_ERROR, 0},
        {"translate library", SQL_ATTR_TRANSLATE_LIB, 1, SQL_ERROR, "HY011", SQL_ATTR_TRANSLATE_LIB,
         SQL_ERROR, 0},
        {"translate option", SQL_ATTR_TRANSLATE_OPTION, 1, SQL_ERROR, "HY011",
         SQL_ATTR_TRANSLATE_OPTION, SQL_ERROR, 0},
        {"cursor library", SQL_ATTR_ODBC_CURSORS, 1, SQL_ERROR, "HY092", SQL_ATTR_ODBC_CURSORS,
         SQL_ERROR, 0},
        {"driver manager trace", SQL_ATTR_TRACE, 1, SQL_ERROR, "HY092", SQL_ATTR_TRACE, SQL_ERROR,
         0},
        {"unknown", 4242, 1, SQL_ERROR, "HY092", 4242, SQL_ERROR, 0},
        {"unchecked packet size", SQL_ATTR_PACKET_SIZE, 100, SQL_SUCCESS, "none",
         SQL_ATTR_PACKET_SIZE, SQL_SUCCESS, 100},
        {"low 32 bits", SQL_ATTR_LOGIN_TIMEOUT, 0x100000007ull, SQL_SUCCESS, "none",
         SQL_ATTR_LOGIN_TIMEOUT, SQL_SUCCESS, 7},
        {"whole quiet mode", SQL_ATTR_QUIET_MODE, 0x123456789ull, SQL_SUCCESS, "none",
         SQL_ATTR_QUIET_MODE, SQL_SUCCESS, 0x123456789ull},
    };
    for (const Case& c : cases) {
        CapturingEnvironment environment(false);
        ConnectionProxy proxy(&environment);
        EXPECT_EQ(proxy.setConnectAttr(c.attribute, number(c.value), 0), c.setRc) << c.name;
        EXPECT_EQ(stateOf(proxy.diagnostics()), c.setState) << c.name;
        const NumberAnswer answer = readNumber(proxy, c.readAttribute);
        EXPECT_EQ(answer.rc, c.readRc) << c.name;
        if (c.readRc == SQL_SUCCESS) {
            const std::uint64_t width = c.attribute == SQL_ATTR_QUIET_MODE ? ~0ull : 0xFFFFFFFFull;
            EXPECT_EQ(answer.value & width, c.readValue) << c.name;
        }
    }
}

TEST(ConnectionProxy, TextAttributesKeepTheirStringLength) {
    CapturingEnvironment environment(false);
    ConnectionProxy proxy(&environment);
    const char catalog[] = {'s', 'a', 'l', 'e', 's', 'X', 'Y'};  // no terminator
    ASSERT_EQ(proxy.setConnectAttr(SQL_ATTR_CURRENT_CATALOG, const_cast<char*>(catalog), 5),
              SQL_SUCCESS);
    ASSERT_EQ(proxy.setConnectAttr(SQL_ATTR_TRACEFILE, const_cast<char*>("/tmp/t.log"), SQL_NTS),
              SQL_SUCCESS);

    SQLINTEGER length = 0;
    EXPECT_EQ(readText(proxy, SQL_ATTR_CURRENT_CATALOG, 16, &length), "sales");
    EXPECT_EQ(length, 5);
    EXPECT_EQ(readText(proxy, SQL_ATTR_TRACEFILE, 16, &length), "/tmp/t.log");
    // A cut answer still succeeds and reports the whole length.
    EXPECT_EQ(readText(proxy, SQL_ATTR_TRACEFILE, 5, &length), "/tmp");
    EXPECT_EQ(length, 10);

    EXPECT_EQ(proxy.setConnectAttr(SQL_ATTR_CURRENT_CATALOG, nullptr, SQL_NTS), SQL_ERROR);
    EXPECT_EQ(stateOf(proxy.diagnostics()), "HY009");
    EXPECT_EQ(proxy.storedAttributes().currentCatalog, "sales");
}

TEST(ConnectionProxy, WideTextAttributesTravelAsUtf8) {
    struct Case {
        const char* name;
        SQLINTEGER byteLength;
        std::string stored;
    };
    const SQLWCHAR text[] = {L'c', L'a', L'f', L'\u00e9', 0x1D11E, 0};
    const Case cases[] = {
        {"terminated", SQL_NTS, "caf\xC3\xA9\xF0\x9D\x84\x9E"},
        {"byte length", 2 * sizeof(SQLWCHAR), "ca"},
        {"empty", 0, ""},
    };
    for (const Case& c : cases) {
        for (bool attached : {false, true}) {
            CapturingEnvironment environment(false);
            ConnectionScript script;
            ConnectionProxy proxy(&environment);
            if (attached) {
                proxy.setConnection(std::make_unique<RecordingConnection>(&environment, script));
            }
            ASSERT_EQ(proxy.setConnectAttrW(SQL_ATTR_CURRENT_CATALOG, const_cast<SQLWCHAR*>(text),
                                            c.byteLength),
                      SQL_SUCCESS)
                << c.name;
            char narrow[32] = {};
            SQLINTEGER length = 0;
            ASSERT_EQ(
                proxy.getConnectAttr(SQL_ATTR_CURRENT_CATALOG, narrow, sizeof narrow, &length),
                SQL_SUCCESS);
            EXPECT_EQ(narrow, c.stored) << c.name << (attached ? " attached" : "");
        }
    }
}

TEST(ConnectionProxy, WideReadsAnswerWideCharacters) {
    struct Case {
        const char* name;
        SQLINTEGER bufferLength;  // bytes
        std::wstring expected;
    };
    const Case cases[] = {
        {"room for all", 64, L"caf\u00e9\U0001D11E"},
        {"cut on a character", 4 * sizeof(SQLWCHAR), L"caf"},
        {"only the terminator", sizeof(SQLWCHAR), L""},
    };
    for (bool attached : {false, true}) {
        CapturingEnvironment environment(false);
        ConnectionScript script;
        ConnectionProxy proxy(&environment);
        if (attached) {
            proxy.setConnection(std::make_unique<RecordingConnection>(&environment, script));
        }
        proxy.setConnectAttr(SQL_ATTR_CURRENT_CATALOG,
                             const_cast<char*>("caf\xC3\xA9\xF0\x9D\x84\x9E"), SQL_NTS);
        for (const Case& c : cases) {
            std::vector<SQLWCHAR> buffer(20, 0x7777);
            SQLINTEGER length = 0;
            ASSERT_EQ(proxy.getConnectAttrW(SQL_ATTR_CURRENT_CATALOG, buffer.data(), c.bufferLength,
                                            &length),
                      SQL_SUCCESS);
            EXPECT_EQ(std::wstring(buffer.data()), c.expected) << c.name;
            EXPECT_EQ(length, 5 * static_cast<SQLINTEGER>(sizeof(SQLWCHAR))) << c.name;
            // Nothing beyond the buffer.
            EXPECT_EQ(buffer[c.bufferLength / sizeof(SQLWCHAR)], 0x7777u) << c.name;
        }
    }
}

TEST(ConnectionProxy, InformationBeforeConnecting) {
    CapturingEnvironment environment(false);
    ConnectionProxy proxy(&environment);
    struct Case {
        SQLUSMALLINT infoType;
        SQLSMALLINT bufferLength;
        SQLRETURN rc;
        std::string text;
        SQLSMALLINT length;
    };
    const std::string version = getBundleVersion("com.example.proxy-test");
    const Case cases[] = {
        {SQL_DRIVER_ODBC_VER, 32, SQL_SUCCESS, "03.00", 5},
        {SQL_DRIVER_ODBC_VER, 3, SQL_SUCCESS, "03", 5},
        {SQL_DRIVER_NAME, 32, SQL_SUCCESS, "morvanex.so", 11},
        {SQL_DRIVER_VER, 32, SQL_SUCCESS, version, static_cast<SQLSMALLINT>(version.size())},
        {SQL_DBMS_NAME, 32, SQL_ERROR, "", 0},
    };
    for (const Case& c : cases) {
        proxy.diagnostics().prependRecord("01000", 0, "stale", -1, -1);
        char buffer[40] = {};
        SQLSMALLINT length = -7;
        EXPECT_EQ(proxy.getInfo(c.infoType, buffer, c.bufferLength, &length), c.rc) << c.infoType;
        EXPECT_EQ(buffer, c.text) << c.infoType;
        EXPECT_EQ(length, c.length) << c.infoType;
        EXPECT_EQ(stateOf(proxy.diagnostics()), "none") << c.infoType;
    }
    EXPECT_EQ(proxy.getInfoValueType(SQL_DBMS_NAME), SQL_IS_POINTER);
}

TEST(ConnectionProxy, RequestsThatNeedAConnection) {
    struct Case {
        const char* name;
        SQLRETURN (*call)(ConnectionProxy&);
        const char* state;
    };
    const Case cases[] = {
        {"disconnect", [](ConnectionProxy& p) { return p.disconnect(); }, "08003"},
        {"endTran", [](ConnectionProxy& p) { return p.endTran(SQL_COMMIT); }, "HY010"},
        {"getFunctions",
         [](ConnectionProxy& p) {
             SQLUSMALLINT supported = 0;
             return p.getFunctions(SQL_API_SQLCONNECT, &supported);
         },
         "HY010"},
        {"nativeSql",
         [](ConnectionProxy& p) {
             char out[8];
             SQLINTEGER length = 0;
             return p.nativeSql(reinterpret_cast<const SQLCHAR*>("select 1"), SQL_NTS,
                                reinterpret_cast<SQLCHAR*>(out), sizeof out, &length);
         },
         "HY010"},
    };
    for (const Case& c : cases) {
        CapturingEnvironment environment(false);
        ConnectionProxy proxy(&environment);
        proxy.diagnostics().prependRecord("01000", 0, "stale", -1, -1);
        EXPECT_EQ(c.call(proxy), SQL_ERROR) << c.name;
        SQLCHAR state[6] = {};
        SQLCHAR message[256] = {};
        SQLSMALLINT length = 0;
        ASSERT_EQ(proxy.getDiagRec(1, state, nullptr, message, sizeof message, &length),
                  SQL_SUCCESS);
        EXPECT_STREQ(reinterpret_cast<char*>(state), c.state) << c.name;
        EXPECT_EQ(proxy.getDiagRec(2, state, nullptr, message, sizeof message, &length),
                  SQL_NO_DATA)
            << c.name << ": the call clears older records";
    }
}

TEST(ConnectionProxy, ErrorTakesOneRecordAtATime) {
    CapturingEnvironment environment(false);
    ConnectionProxy proxy(&environment);
    proxy.diagnostics().prependRecord("HY000", 7, "second", -1, -1);
    proxy.diagnostics().prependRecord("08003", 3, "first", -1, -1);
    const char* expected[] = {"08003", "HY000"};
    for (const char* state : expected) {
        SQLCHAR got[6] = {};
        SQLINTEGER native = 0;
        SQLCHAR message[128] = {};
        SQLSMALLINT length = 0;
        ASSERT_EQ(proxy.error(got, &native, message, sizeof message, &length), SQL_SUCCESS);
        EXPECT_STREQ(reinterpret_cast<char*>(got), state);
    }
    SQLCHAR got[6] = {};
    EXPECT_EQ(proxy.error(got, nullptr, nullptr, 0, nullptr), SQL_NO_DATA);
}

TEST(ConnectionProxy, ReplaysStoredAttributesInOrder) {
    CapturingEnvironment environment(false);
    ConnectionScript script;
    ConnectionProxy proxy(&environment);
    proxy.setConnectAttr(SQL_ATTR_ACCESS_MODE, number(SQL_MODE_READ_ONLY), 0);
    proxy.setConnectAttr(SQL_ATTR_AUTOCOMMIT, number(SQL_AUTOCOMMIT_OFF), 0);
    proxy.setConnectAttr(SQL_ATTR_CONNECTION_TIMEOUT, number(30), 0);
    proxy.setConnectAttr(SQL_ATTR_CURRENT_CATALOG, const_cast<char*>("sales"), SQL_NTS);
    proxy.setConnectAttr(SQL_ATTR_LOGIN_TIMEOUT, number(15), 0);
    proxy.setConnectAttr(SQL_ATTR_METADATA_ID, number(1), 0);
    proxy.setConnectAttr(SQL_ATTR_PACKET_SIZE, number(4096), 0);
    proxy.setConnectAttr(SQL_ATTR_QUIET_MODE, number(0x1234), 0);
    proxy.setConnectAttr(SQL_ATTR_TRACEFILE, const_cast<char*>("/tmp/x"), SQL_NTS);
    proxy.setConnectAttr(SQL_ATTR_TXN_ISOLATION, number(SQL_TXN_SERIALIZABLE), 0);
    proxy.setConnectAttr(kMars, number(1), 0);
    proxy.setConnectAttr(kWideApi, number(1), 0);

    proxy.setConnection(std::make_unique<RecordingConnection>(&environment, script));

    const std::vector<std::string> expected = {
        "construct #1",
        "accessMode 1 #1",
        "asyncEnable 0 #1",
        "autocommit 0 #1",
        "connectionTimeout 30 #1",
        "currentCatalog sales #1",
        "loginTimeout 15 #1",
        "metadataId 1 #1",
        "packetSize 4096 #1",
        "quietMode 4660 #1",
        "tracefile /tmp/x #1",
        "txnIsolation 8 #1",
        "marsEnabled 1 #1",
        "wideApi 1 #1",
        "unicodeTextTypes 1 #1",
    };
    EXPECT_EQ(script.journal, expected);
    // From now on the handle answers from the connection.
    EXPECT_EQ(readNumber(proxy, SQL_ATTR_TXN_ISOLATION).value & 0xFFFFFFFF, SQL_TXN_SERIALIZABLE);
    EXPECT_TRUE(proxy.isWideApi());
    EXPECT_EQ(&proxy.diagnostics(), &proxy.connection()->diagnostics());
}

TEST(ConnectionProxy, ReplayClipsWithoutStoppingTheConnect) {
    CapturingEnvironment environment(false);
    ConnectionScript script;
    script.packetSizeMin = 512;
    ConnectionProxy proxy(&environment);
    proxy.setConnectAttr(SQL_ATTR_PACKET_SIZE, number(100), 0);
    proxy.setConnection(std::make_unique<RecordingConnection>(&environment, script));
    EXPECT_EQ(proxy.connection()->getAttrPacketSize(), 512u);
    EXPECT_EQ(stateOf(proxy.diagnostics()), "01S02");
    EXPECT_EQ(
        proxy.connect(reinterpret_cast<const SQLCHAR*>("dsn"), SQL_NTS, nullptr, 0, nullptr, 0),
        SQL_SUCCESS);
    EXPECT_TRUE(proxy.connection()->isConnected());
}

TEST(ConnectionProxy, ANewConnectionReplacesTheOldOne) {
    CapturingEnvironment environment(false);
    ConnectionScript script;
    ConnectionProxy proxy(&environment);
    proxy.setConnection(std::make_unique<RecordingConnection>(&environment, script));
    Connection* first = proxy.connection();
    ASSERT_EQ(environment.connections().size(), 1u);
    script.journal.clear();

    proxy.setConnection(std::make_unique<RecordingConnection>(&environment, script));

    ASSERT_GE(script.journal.size(), 3u);
    EXPECT_EQ(script.journal[0], "construct #2");
    EXPECT_EQ(script.journal[1], "destroy #1");
    EXPECT_EQ(script.journal[2], "accessMode 0 #2");
    ASSERT_EQ(environment.connections().size(), 1u);
    EXPECT_NE(environment.connections().front(), first);
    EXPECT_EQ(environment.connections().front(), proxy.connection());
}

}  // namespace
