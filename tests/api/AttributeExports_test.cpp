// The attribute and option entry points of the built driver module on an
// environment and on a connection handle that has not connected yet.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include "tests/api/ExportSession.h"

namespace {

#define MORVANEX_EXPORT_OF(name) decltype(&::name) name = function<decltype(&::name)>(#name)

struct Session : ExportSession {
    MORVANEX_EXPORT_OF(SQLSetEnvAttr);
    MORVANEX_EXPORT_OF(SQLGetEnvAttr);
    MORVANEX_EXPORT_OF(SQLSetConnectAttr);
    MORVANEX_EXPORT_OF(SQLSetConnectAttrW);
    MORVANEX_EXPORT_OF(SQLGetConnectAttr);
    MORVANEX_EXPORT_OF(SQLGetConnectAttrW);
    MORVANEX_EXPORT_OF(SQLSetConnectOption);
    MORVANEX_EXPORT_OF(SQLSetConnectOptionW);
    MORVANEX_EXPORT_OF(SQLGetConnectOption);
    std::string firstState() { return ExportSession::firstState(SQL_HANDLE_DBC, dbc); }
};

SQLPOINTER number(SQLULEN value) {
    return reinterpret_cast<SQLPOINTER>(value);
}

TEST(AttributeExports, EnvironmentAttributesAndTheirTrace) {
    Session s;
    EXPECT_EQ(s.SQLSetEnvAttr(s.env, SQL_ATTR_ODBC_VERSION, number(SQL_OV_ODBC2), 0), SQL_SUCCESS);
    SQLUINTEGER version = 0;
    SQLINTEGER length = 0;
    EXPECT_EQ(s.SQLGetEnvAttr(s.env, SQL_ATTR_ODBC_VERSION, &version, 0, &length), SQL_SUCCESS);
    EXPECT_EQ(version, static_cast<SQLUINTEGER>(SQL_OV_ODBC2));
    EXPECT_EQ(s.SQLSetEnvAttr(s.env, 4711, number(1), SQL_IS_INTEGER), SQL_ERROR);
    EXPECT_EQ(s.trace(),
              "rc = SQLSetEnvAttr(env<ptr>, SQL_ATTR_ODBC_VERSION, (SQLPOINTER) SQL_OV_ODBC2, 0);\n"
              "// rc: SQL_SUCCESS\n"
              "char value<ptr>[0];\n"
              "SQLINTEGER len<ptr> = 0;\n"
              "rc = SQLGetEnvAttr(env<ptr>, SQL_ATTR_ODBC_VERSION, value<ptr>, 0, &len<ptr>);\n"
              "// value: SQL_OV_ODBC2\n"
              "// len: " +
                  std::to_string(length) +
                  "\n"
                  "// rc: SQL_SUCCESS\n"
                  "rc = SQLSetEnvAttr(env<ptr>, unknown (4711), (SQLPOINTER) unknown env "
                  "attribute, -6);\n"
                  "// diagnostic: state: HY092  code: 0  msg: \n"
                  "// rc: SQL_ERROR\n");
}

TEST(AttributeExports, WideFormsAnswerAsTheNarrowOnes) {
    struct Case {
        SQLINTEGER attribute;
        SQLULEN value;
    };
    const Case cases[] = {{SQL_ATTR_TXN_ISOLATION, SQL_TXN_SERIALIZABLE},
                          {1057, 1},
                          {SQL_ATTR_TRANSLATE_OPTION, 1},
                          {SQL_ATTR_ODBC_CURSORS, SQL_CUR_USE_DRIVER}};
    for (const Case& c : cases) {
        Session narrow;
        Session wide;
        const SQLRETURN set = narrow.SQLSetConnectAttr(narrow.dbc, c.attribute, number(c.value), 0);
        EXPECT_EQ(wide.SQLSetConnectAttrW(wide.dbc, c.attribute, number(c.value), 0), set)
            << c.attribute;
        EXPECT_EQ(wide.firstState(), narrow.firstState()) << c.attribute;
        std::uint32_t narrowValue = 0xFFFFFFFF;
        std::uint32_t wideValue = 0xFFFFFFFF;
        EXPECT_EQ(wide.SQLGetConnectAttrW(wide.dbc, c.attribute, &wideValue, 0, nullptr),
                  narrow.SQLGetConnectAttr(narrow.dbc, c.attribute, &narrowValue, 0, nullptr))
            << c.attribute;
        EXPECT_EQ(wideValue, narrowValue) << c.attribute;
    }
}

TEST(AttributeExports, WideTextValuesReachTheHandleAsUtf8) {
    Session s;
    const wchar_t* catalog = L"k\u00e4talog \u2603";  // nine characters
    EXPECT_EQ(s.SQLSetConnectAttrW(s.dbc, SQL_ATTR_CURRENT_CATALOG, const_cast<wchar_t*>(catalog),
                                   SQL_NTS),
              SQL_SUCCESS);
    char narrow[64] = {};
    SQLINTEGER length = 0;
    EXPECT_EQ(s.SQLGetConnectAttr(s.dbc, SQL_ATTR_CURRENT_CATALOG, narrow, sizeof narrow, &length),
              SQL_SUCCESS);
    EXPECT_STREQ(narrow, "k\xC3\xA4talog \xE2\x98\x83");

    EXPECT_EQ(s.SQLSetConnectOptionW(s.dbc, SQL_CURRENT_QUALIFIER,
                                     reinterpret_cast<SQLULEN>(L"db\u00e9")),
              SQL_SUCCESS);
    char option[256] = {};
    EXPECT_EQ(s.SQLGetConnectOption(s.dbc, SQL_CURRENT_QUALIFIER, option), SQL_SUCCESS);
    EXPECT_STREQ(option, "db\xC3\xA9");

    const std::string trace = s.trace();
    EXPECT_NE(trace.find("rc = SQLSetConnectAttrW(dbc<ptr>, SQL_ATTR_CURRENT_CATALOG, "
                         "(SQLPOINTER) k\xC3\xA4talog \xE2\x98\x83, -3);\n// rc: SQL_SUCCESS\n"),
              std::string::npos)
        << trace;
    EXPECT_NE(trace.find("rc = SQLSetConnectOptionW(dbc<ptr>, SQL_ATTR_CURRENT_CATALOG, "
                         "db\xC3\xA9);\n// rc: SQL_SUCCESS\n"),
              std::string::npos)
        << trace;
    EXPECT_NE(trace.find("char value<ptr>[256];\n"
                         "rc = SQLGetConnectOption(dbc<ptr>, SQL_ATTR_CURRENT_CATALOG, "
                         "value<ptr>);\n"
                         "// value: db\xC3\xA9\n"
                         "// rc: SQL_SUCCESS\n"),
              std::string::npos)
        << trace;
}

TEST(AttributeExports, WideTextIntoBuffersOfEverySize) {
    const std::wstring catalog = L"k\u00e4talog";  // seven characters
    struct Case {
        SQLINTEGER bufferLength;  // bytes
        bool written;
        std::size_t characters;
    };
    const Case cases[] = {{-1, false, 0}, {0, false, 0}, {1, true, 0},
                          {2, true, 0},   {3, true, 0},  {12, true, 2},
                          {28, true, 6},  {32, true, 7}, {4096, true, 7}};
    for (const Case& c : cases) {
        Session s;
        ASSERT_EQ(s.SQLSetConnectAttrW(s.dbc, SQL_ATTR_CURRENT_CATALOG,
                                       const_cast<wchar_t*>(catalog.c_str()),
                                       static_cast<SQLINTEGER>(catalog.size() * 4)),
                  SQL_SUCCESS);
        OutputBytes out(c.bufferLength);
        SQLINTEGER length = -1;
        EXPECT_EQ(s.SQLGetConnectAttrW(s.dbc, SQL_ATTR_CURRENT_CATALOG, out.wide(), c.bufferLength,
                                       &length),
                  SQL_SUCCESS)
            << c.bufferLength;
        EXPECT_EQ(length, 28) << c.bufferLength;
        if (!c.written) {
            EXPECT_TRUE(out.untouched()) << c.bufferLength;
            continue;
        }
        const std::wstring got = c.bufferLength < 4 ? L"" : out.text();
        EXPECT_EQ(got, catalog.substr(0, c.characters)) << c.bufferLength;
    }
}

TEST(AttributeExports, OptionFormsAndAbsentOutputs) {
    Session s;
    EXPECT_EQ(s.SQLSetConnectOption(s.dbc, SQL_AUTOCOMMIT, SQL_AUTOCOMMIT_OFF), SQL_SUCCESS);
    EXPECT_EQ(s.SQLGetConnectOption(s.dbc, SQL_AUTOCOMMIT, nullptr), SQL_SUCCESS);
    EXPECT_EQ(s.SQLGetConnectAttrW(s.dbc, SQL_ATTR_AUTOCOMMIT, nullptr, 0, nullptr), SQL_SUCCESS);
    EXPECT_EQ(s.SQLGetConnectAttr(s.dbc, SQL_ATTR_AUTOCOMMIT, nullptr, 0, nullptr), SQL_SUCCESS);
    EXPECT_EQ(s.SQLSetConnectAttr(s.dbc, SQL_ATTR_LOGIN_TIMEOUT, number(5), SQL_IS_INTEGER),
              SQL_SUCCESS);
    std::uint32_t autocommit = 7;
    EXPECT_EQ(s.SQLGetConnectOption(s.dbc, SQL_AUTOCOMMIT, &autocommit), SQL_SUCCESS);
    EXPECT_EQ(autocommit, static_cast<std::uint32_t>(SQL_AUTOCOMMIT_OFF));
    EXPECT_EQ(s.trace(),
              "rc = SQLSetConnectOption(dbc<ptr>, SQL_ATTR_AUTOCOMMIT, SQL_AUTOCOMMIT_OFF);\n"
              "// rc: SQL_SUCCESS\n"
              "char value<ptr>[256];\n"
              "rc = SQLGetConnectOption(dbc<ptr>, SQL_ATTR_AUTOCOMMIT, value<ptr>);\n"
              "// value: null\n"
              "// rc: SQL_SUCCESS\n"
              "rc = SQLGetConnectAttrW(dbc<ptr>, SQL_ATTR_AUTOCOMMIT, NULL, 0, NULL);\n"
              "// value: null\n"
              "// len: NULL\n"
              "// rc: SQL_SUCCESS\n"
              "rc = SQLGetConnectAttr(dbc<ptr>, SQL_ATTR_AUTOCOMMIT, NULL, 0, NULL);\n"
              "// rc: SQL_SUCCESS\n"
              "rc = SQLSetConnectAttr(dbc<ptr>, SQL_ATTR_LOGIN_TIMEOUT, (SQLPOINTER) 5, -6);\n"
              "// rc: SQL_SUCCESS\n"
              "char value<ptr>[256];\n"
              "rc = SQLGetConnectOption(dbc<ptr>, SQL_ATTR_AUTOCOMMIT, value<ptr>);\n"
              "// value: SQL_AUTOCOMMIT_OFF\n"
              "// rc: SQL_SUCCESS\n");
}

TEST(AttributeExports, RefusedAttributesWriteOnlyTheResult) {
    Session s;
    std::uint32_t value = 0;
    SQLINTEGER length = 0;
    EXPECT_EQ(s.SQLGetConnectAttr(s.dbc, SQL_ATTR_TRANSLATE_LIB, &value, 4, &length), SQL_ERROR);
    const std::string trace = s.trace();
    EXPECT_EQ(s.firstState(), "HY011");
    EXPECT_EQ(
        trace,
        "char value<ptr>[4];\n"
        "SQLINTEGER len<ptr> = 0;\n"
        "rc = SQLGetConnectAttr(dbc<ptr>, SQL_ATTR_TRANSLATE_LIB, value<ptr>, 4, &len<ptr>);\n"
        "// diagnostic: state: HY011  code: 0  msg: \n"
        "// rc: SQL_ERROR\n");
}

}  // namespace
