// The diagnostics entry points of the built driver module, reading the
// records that the environment and an unconnected connection handle post.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include "tests/api/ExportSession.h"

namespace {

constexpr const char* kHy092Message = "[Vorlan][Vorlan Tarvex] Invalid attribute/option identifier";

#define MORVANEX_EXPORT_OF(name) decltype(&::name) name = function<decltype(&::name)>(#name)

// An environment holding one "HY092" record.
struct Session : ExportSession {
    Session() {
        EXPECT_EQ(SQLSetEnvAttr(env, 999, nullptr, 0), SQL_ERROR);
        markTrace();
    }
    MORVANEX_EXPORT_OF(SQLSetEnvAttr);
    MORVANEX_EXPORT_OF(SQLNativeSql);
    MORVANEX_EXPORT_OF(SQLGetDiagRec);
    MORVANEX_EXPORT_OF(SQLGetDiagRecW);
    MORVANEX_EXPORT_OF(SQLGetDiagField);
    MORVANEX_EXPORT_OF(SQLGetDiagFieldW);
    MORVANEX_EXPORT_OF(SQLError);
};

std::wstring widened(const char* ascii) {
    return std::wstring(ascii, ascii + std::strlen(ascii));
}

TEST(DiagnosticsExports, NarrowRecordAndItsTrace) {
    Session s;
    SQLCHAR state[6] = {};
    SQLINTEGER native = -1;
    SQLCHAR message[256] = {};
    SQLSMALLINT length = 0;
    EXPECT_EQ(
        s.SQLGetDiagRec(SQL_HANDLE_ENV, s.env, 1, state, &native, message, sizeof message, &length),
        SQL_SUCCESS);
    EXPECT_STREQ(reinterpret_cast<char*>(state), "HY092");
    EXPECT_EQ(native, 0);
    EXPECT_STREQ(reinterpret_cast<char*>(message), kHy092Message);
    EXPECT_EQ(length, static_cast<SQLSMALLINT>(std::strlen(kHy092Message)));
    EXPECT_EQ(s.trace(), std::string("SQLCHAR state<ptr>[6];\n"
                                     "SQLINTEGER err<ptr> = 0;\n"
                                     "SQLCHAR msg<ptr>[256];\n"
                                     "SQLSMALLINT len<ptr> = 0;\n"
                                     "rc = SQLGetDiagRec(SQL_HANDLE_ENV, env<ptr>, 1, state<ptr>, "
                                     "&err<ptr>, msg<ptr>, 256, &len<ptr>);\n"
                                     "// state: \"HY092\"\n"
                                     "// *err: 0\n"
                                     "// msg: \"") +
                             kHy092Message +
                             "\"\n"
                             "// *len: 59\n"
                             "// rc: SQL_SUCCESS\n");
}

TEST(DiagnosticsExports, WideRecordIntoBuffersOfEverySize) {
    struct Case {
        int bufferLength;  // characters
        bool written;
        std::size_t characters;  // of the message before the terminator
    };
    const Case cases[] = {{-1, false, 0}, {0, false, 0},  {1, true, 0},
                          {2, true, 1},   {3, true, 2},   {10, true, 9},
                          {59, true, 58}, {60, true, 59}, {1000, true, 59}};
    for (const Case& c : cases) {
        Session s;
        OutputBytes state(6 * sizeof(SQLWCHAR));
        OutputBytes message(c.bufferLength * static_cast<int>(sizeof(SQLWCHAR)));
        SQLINTEGER native = -1;
        SQLSMALLINT length = -1;
        EXPECT_EQ(s.SQLGetDiagRecW(SQL_HANDLE_ENV, s.env, 1, state.wide(), &native, message.wide(),
                                   static_cast<SQLSMALLINT>(c.bufferLength), &length),
                  SQL_SUCCESS)
            << c.bufferLength;
        EXPECT_EQ(state.text(), L"HY092");
        EXPECT_EQ(native, 0);
        // Characters of the whole message.
        EXPECT_EQ(length, 59) << c.bufferLength;
        if (c.written) {
            EXPECT_EQ(message.text(), widened(kHy092Message).substr(0, c.characters))
                << c.bufferLength;
        } else {
            EXPECT_TRUE(message.untouched()) << c.bufferLength;
        }
    }
}

TEST(DiagnosticsExports, WideFieldsAreSizedInBytes) {
    struct Case {
        SQLSMALLINT identifier;
        int bufferLength;
        bool written;
        const char* expected;
        SQLSMALLINT length;
    };
    const Case cases[] = {
        {SQL_DIAG_SQLSTATE, -1, false, "", 20},
        {SQL_DIAG_SQLSTATE, 0, false, "", 20},
        {SQL_DIAG_SQLSTATE, 3, true, "", 20},
        {SQL_DIAG_SQLSTATE, 20, true, "HY09", 20},
        {SQL_DIAG_SQLSTATE, 24, true, "HY092", 20},
        {SQL_DIAG_SQLSTATE, 48, true, "HY092", 20},
        {SQL_DIAG_MESSAGE_TEXT, 1024, true, "Invalid attribute/option identifier", 4 * 35},
        {SQL_DIAG_CLASS_ORIGIN, 64, true, "ISO 9075", 32},
        {SQL_DIAG_SUBCLASS_ORIGIN, 64, true, "ISO 9075", 32},
    };
    for (const Case& c : cases) {
        Session s;
        OutputBytes info(c.bufferLength);
        SQLSMALLINT length = -1;
        EXPECT_EQ(s.SQLGetDiagFieldW(SQL_HANDLE_ENV, s.env, 1, c.identifier, info.wide(),
                                     static_cast<SQLSMALLINT>(c.bufferLength), &length),
                  SQL_SUCCESS)
            << c.identifier << " " << c.bufferLength;
        EXPECT_EQ(length, c.length) << c.identifier << " " << c.bufferLength;
        if (!c.written) {
            EXPECT_TRUE(info.untouched()) << c.bufferLength;
        } else if (c.bufferLength >= 4) {
            EXPECT_EQ(info.text(), widened(c.expected)) << c.identifier << " " << c.bufferLength;
        }
    }
}

TEST(DiagnosticsExports, NumericFieldsGoStraightToTheCaller) {
    Session s;
    SQLINTEGER count = -1;
    SQLSMALLINT length = -1;
    EXPECT_EQ(s.SQLGetDiagFieldW(SQL_HANDLE_ENV, s.env, 0, SQL_DIAG_NUMBER, &count, 0, &length),
              SQL_SUCCESS);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(length, 0);
    SQLINTEGER native = -1;
    EXPECT_EQ(s.SQLGetDiagField(SQL_HANDLE_ENV, s.env, 1, SQL_DIAG_NATIVE, &native, 0, nullptr),
              SQL_SUCCESS);
    EXPECT_EQ(native, 0);
    EXPECT_EQ(s.trace(),
              "rc = SQLGetDiagFieldW(SQL_HANDLE_ENV, env<ptr>, 0, SQL_DIAG_NUMBER, info<ptr>, 0, "
              "len<ptr>);\n"
              "// info: 1\n"
              "// *len: 0\n"
              "// rc: SQL_SUCCESS\n"
              "rc = SQLGetDiagField(SQL_HANDLE_ENV, env<ptr>, 1, SQL_DIAG_NATIVE, info<ptr>, 0, "
              "len<ptr>);\n"
              "// info: 0\n"
              "// *len: NULL\n"
              "// rc: SQL_SUCCESS\n");
}

TEST(DiagnosticsExports, PastTheLastRecordThereIsNoData) {
    Session s;
    SQLCHAR state[6] = "none";
    SQLCHAR message[16] = "none";
    SQLSMALLINT length = -1;
    EXPECT_EQ(
        s.SQLGetDiagRec(SQL_HANDLE_ENV, s.env, 2, state, nullptr, message, sizeof message, &length),
        SQL_NO_DATA);
    EXPECT_STREQ(reinterpret_cast<char*>(state), "none");
    EXPECT_STREQ(reinterpret_cast<char*>(message), "none");
    EXPECT_EQ(length, -1);

    OutputBytes wideMessage(64);
    EXPECT_EQ(s.SQLGetDiagRecW(SQL_HANDLE_ENV, s.env, 2, nullptr, nullptr, wideMessage.wide(), 64,
                               &length),
              SQL_NO_DATA);
    EXPECT_TRUE(wideMessage.untouched());
    EXPECT_EQ(length, 0);

    SQLCHAR info[256];
    EXPECT_EQ(s.SQLGetDiagField(SQL_HANDLE_ENV, s.env, 10, SQL_DIAG_MESSAGE_TEXT, info, sizeof info,
                                &length),
              SQL_NO_DATA);
    const std::string trace = s.trace();
    EXPECT_NE(trace.find("rc = SQLGetDiagField(SQL_HANDLE_ENV, env<ptr>, 10, "
                         "SQL_DIAG_MESSAGE_TEXT, info<ptr>, 256, len<ptr>);\n"),
              std::string::npos)
        << trace;
    EXPECT_NE(trace.find("rc = SQLGetDiagRec(SQL_HANDLE_ENV, env<ptr>, 2, state<ptr>, NULL, "
                         "msg<ptr>, 16, &len<ptr>);\n// rc: SQL_NO_DATA\n"),
              std::string::npos)
        << trace;
}

TEST(DiagnosticsExports, UnknownHandleTypesAndNullHandlesLeaveEverythingAlone) {
    Session s;
    struct Case {
        SQLSMALLINT type;
        SQLHANDLE handle;
    };
    const Case cases[] = {
        {0, s.env}, {5, s.env}, {-1, s.env}, {SQL_HANDLE_ENV, nullptr}, {SQL_HANDLE_STMT, nullptr}};
    for (const Case& c : cases) {
        SQLCHAR state[6] = "none";
        SQLCHAR message[16] = "none";
        SQLINTEGER native = -7;
        SQLSMALLINT length = -7;
        OutputBytes wideState(24);
        OutputBytes wideMessage(64);
        OutputBytes info(64);
        EXPECT_EQ(
            s.SQLGetDiagRec(c.type, c.handle, 1, state, &native, message, sizeof message, &length),
            SQL_INVALID_HANDLE)
            << c.type;
        EXPECT_EQ(s.SQLGetDiagRecW(c.type, c.handle, 1, wideState.wide(), &native,
                                   wideMessage.wide(), 64, &length),
                  SQL_INVALID_HANDLE)
            << c.type;
        EXPECT_EQ(s.SQLGetDiagField(c.type, c.handle, 1, SQL_DIAG_SQLSTATE, info.bytes.data(), 64,
                                    &length),
                  SQL_INVALID_HANDLE)
            << c.type;
        EXPECT_EQ(
            s.SQLGetDiagFieldW(c.type, c.handle, 1, SQL_DIAG_SQLSTATE, info.wide(), 64, &length),
            SQL_INVALID_HANDLE)
            << c.type;
        EXPECT_STREQ(reinterpret_cast<char*>(state), "none");
        EXPECT_STREQ(reinterpret_cast<char*>(message), "none");
        EXPECT_EQ(native, -7);
        EXPECT_EQ(length, -7);
        EXPECT_TRUE(wideState.untouched() && wideMessage.untouched() && info.untouched());
    }
    EXPECT_EQ(s.trace(), "");
}

TEST(DiagnosticsExports, ErrorReturnsARecordOnceAndFollowsTheHandles) {
    Session s;
    SQLCHAR out[8];
    SQLINTEGER outLength = 0;
    // Before a connection exists the handle refuses native SQL with HY010.
    EXPECT_EQ(s.SQLNativeSql(s.dbc, reinterpret_cast<SQLCHAR*>(const_cast<char*>("x")), SQL_NTS,
                             out, sizeof out, &outLength),
              SQL_ERROR);
    struct Case {
        SQLHENV env;
        SQLHDBC dbc;
        const char* state;
    };
    const Case cases[] = {{s.env, s.dbc, "HY010"}, {s.env, nullptr, "HY092"}};
    for (const Case& c : cases) {
        SQLCHAR state[6] = {};
        SQLINTEGER native = -1;
        SQLCHAR message[128] = {};
        SQLSMALLINT length = 0;
        EXPECT_EQ(
            s.SQLError(c.env, c.dbc, nullptr, state, &native, message, sizeof message, &length),
            SQL_SUCCESS)
            << c.state;
        EXPECT_STREQ(reinterpret_cast<char*>(state), c.state);
        EXPECT_EQ(
            s.SQLError(c.env, c.dbc, nullptr, state, &native, message, sizeof message, &length),
            SQL_NO_DATA)
            << c.state;
    }
    EXPECT_EQ(s.SQLError(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 0, nullptr),
              SQL_ERROR);
    const std::string trace = s.trace();
    EXPECT_NE(trace.find("rc = SQLError(env<ptr>, dbc<ptr>, stmt<ptr>, state<ptr>, err<ptr>, "
                         "msg<ptr>, 128, len<ptr>);\n"
                         "// state: \"HY010\"\n"
                         "// *err: 0\n"
                         "// msg: \"[Vorlan][Vorlan Tarvex] Function sequence error\"\n"
                         "// *len: 47\n"
                         "// rc: SQL_SUCCESS\n"),
              std::string::npos)
        << trace;
}

}  // namespace
