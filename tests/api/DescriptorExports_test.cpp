// The descriptor entry points as exported, compiled in here so that they
// run on descriptors of the test's own connection.
#include "driver/api/exports/DescriptorExports.cpp"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "driver/core/Descriptor.h"
#include "tests/api/ConnectionTestDoubles.h"
#include "tests/api/TraceTestBuffers.h"
#include "tests/core/StatementTestSupport.h"

namespace {

using stmt_test::TestConnection;
using stmt_test::TestEnvironment;

// "Größe": five characters in seven UTF-8 bytes.
const char* const kUmlautName =
    "Gr\xC3\xB6\xC3\x9F"
    "e";

struct Session {
    TestEnvironment environment;
    TestConnection connection{&environment};
    Descriptor ird{&connection, Descriptor::Ird};
    Descriptor ard{&connection, Descriptor::Ard};
    Descriptor apd{&connection, Descriptor::Apd};

    explicit Session(const std::string& column = "Amount") {
        ird.addRecord(column, SQL_VARCHAR, SQL_NULLABLE, 1);
        ard.setCount(1);
        environment.tracing = true;
        environment.trace.clear();
    }
    SQLHDESC handle(Descriptor& descriptor) { return descriptorHandle(&descriptor); }
    std::string trace() const { return normalisedTrace(environment.trace); }
    std::string name() {
        char buffer[64] = {};
        ird.getDescField(1, SQL_DESC_NAME, buffer, sizeof buffer, nullptr);
        return buffer;
    }
};

std::wstring wideText(const void* buffer) {
    return std::wstring(static_cast<const wchar_t*>(buffer));
}

TEST(DescriptorExports, WideNameGoesInAsUtf8AndComesBackWithItsByteLength) {
    Session session;
    ASSERT_EQ(SQLSetDescFieldW(session.handle(session.ird), 1, SQL_DESC_NAME,
                               const_cast<wchar_t*>(L"Total"), SQL_NTS),
              SQL_SUCCESS);
    EXPECT_EQ(session.name(), "Total");
    SQLWCHAR value[16];
    SQLINTEGER length = 0;
    ASSERT_EQ(SQLGetDescFieldW(session.handle(session.ird), 1, SQL_DESC_NAME, value, sizeof value,
                               &length),
              SQL_SUCCESS);
    EXPECT_EQ(wideText(value), L"Total");
    EXPECT_EQ(length, 20);
    EXPECT_EQ(session.trace(),
              "rc = SQLSetDescFieldW(desc<ptr>, 1, SQL_DESC_NAME, (SQLPOINTER) Total, SQL_NTS);\n"
              "// rc: SQL_SUCCESS\n"
              "char value<ptr>[64];\n"
              "SQLINTEGER len<ptr> = 0;\n"
              "rc = SQLGetDescFieldW(desc<ptr>, 1, SQL_DESC_NAME, value<ptr>, 64, &len<ptr>);\n"
              "// value: Total\n"
              "// len: 20\n"
              "// rc: SQL_SUCCESS\n");
}

TEST(DescriptorExports, WideTextInIsBoundedByItsLength) {
    struct Case {
        const char* name;
        const wchar_t* value;
        SQLINTEGER length;
        const char* stored;
    };
    const Case cases[] = {
        {"bytes of whole characters", L"Totals", 20, "Total"},
        {"a part of a character", L"Totals", 6, "T"},
        {"terminated", L"Gr\u00F6\u00DFe", SQL_NTS, kUmlautName},
        {"null with a length", nullptr, 12, ""},
    };
    for (const Case& c : cases) {
        Session session;
        EXPECT_EQ(SQLSetDescFieldW(session.handle(session.ird), 1, SQL_DESC_NAME,
                                   const_cast<wchar_t*>(c.value), c.length),
                  SQL_SUCCESS)
            << c.name;
        EXPECT_EQ(session.name(), c.stored) << c.name;
    }
}

// The caller's buffers end right before an inaccessible page.
TEST(DescriptorExports, WideTextOutIsCutOnWholeCharacters) {
    struct Case {
        const char* name;
        std::string column;
        SQLSMALLINT characters;  // room of the caller's buffer, terminator included
        SQLRETURN recResult;
        std::wstring shown;
        SQLSMALLINT recLength;
        SQLINTEGER fieldLength;
    };
    const Case cases[] = {
        {"fits", "Amount", 7, SQL_SUCCESS, L"Amount", 6, 24},
        {"no room for the terminator", "Amount", 6, SQL_SUCCESS_WITH_INFO, L"Amoun", 6, 24},
        {"three characters", "Amount", 3, SQL_SUCCESS_WITH_INFO, L"Am", 6, 24},
        {"multibyte", kUmlautName, 4, SQL_SUCCESS_WITH_INFO, L"Gr\u00F6", 5, 20},
        {"multibyte that fits", kUmlautName, 6, SQL_SUCCESS, L"Gr\u00F6\u00DFe", 5, 20},
    };
    for (const Case& c : cases) {
        Session session(c.column);
        const std::size_t bytes = static_cast<std::size_t>(c.characters) * sizeof(SQLWCHAR);
        GuardedBuffer name(bytes);
        SQLSMALLINT nameLength = 0, type = 0, subType = 0, precision = 0, scale = 0, nullable = 0;
        SQLLEN length = 0;
        EXPECT_EQ(
            SQLGetDescRecW(session.handle(session.ird), 1, name.as<SQLWCHAR>(), c.characters,
                           &nameLength, &type, &subType, &length, &precision, &scale, &nullable),
            c.recResult)
            << c.name;
        EXPECT_EQ(wideText(name.data()), c.shown) << c.name;
        EXPECT_EQ(nameLength, c.recLength) << c.name;
        EXPECT_EQ(type, SQL_VARCHAR) << c.name;
        EXPECT_EQ(nullable, SQL_NULLABLE) << c.name;
        if (c.recResult == SQL_SUCCESS_WITH_INFO) {
            EXPECT_EQ(stateOf(session.ird.diagnostics()), "01004") << c.name;
        }

        GuardedBuffer field(bytes);
        SQLINTEGER fieldLength = 0;
        EXPECT_EQ(SQLGetDescFieldW(session.handle(session.ird), 1, SQL_DESC_NAME, field.data(),
                                   static_cast<SQLINTEGER>(bytes), &fieldLength),
                  SQL_SUCCESS)
            << c.name;
        EXPECT_EQ(wideText(field.data()), c.shown) << c.name;
        EXPECT_EQ(fieldLength, c.fieldLength) << c.name;
    }
}

TEST(DescriptorExports, AFailedWideReadLeavesTheCallerBuffersAlone) {
    Session session;
    SQLWCHAR value[8];
    std::memset(value, 0x55, sizeof value);
    SQLINTEGER length = 77;
    EXPECT_EQ(SQLGetDescFieldW(session.handle(session.ird), 5, SQL_DESC_NAME, value, sizeof value,
                               &length),
              SQL_ERROR);
    EXPECT_EQ(stateOf(session.ird.diagnostics()), "07009");
    EXPECT_EQ(length, 77);
    EXPECT_EQ(value[0], 0x55555555U);

    SQLSMALLINT nameLength = 77;
    EXPECT_EQ(SQLGetDescRecW(session.handle(session.ard), 1, value, 8, &nameLength, nullptr,
                             nullptr, nullptr, nullptr, nullptr, nullptr),
              SQL_ERROR);
    EXPECT_EQ(stateOf(session.ard.diagnostics()), "HY091");
    EXPECT_EQ(nameLength, 77);
    EXPECT_EQ(value[0], 0x55555555U);
}

TEST(DescriptorExports, NarrowCallsTraceTheirArgumentsAndWhatWasWritten) {
    struct Case {
        const char* name;
        std::function<SQLRETURN(Session&)> call;
        SQLRETURN rc;
        std::string trace;
    };
    static SQLLEN lengths[1];
    static SQLLEN indicators[1];
    static char data[8];
    const Case cases[] = {
        {"get a field into a short buffer",
         [](Session& s) {
             // Four bytes take "Amo" and the terminator; the trace reads no more.
             GuardedBuffer value(4);
             SQLINTEGER length = 0;
             return SQLGetDescField(s.handle(s.ird), 1, SQL_DESC_NAME, value.data(), 4, &length);
         },
         SQL_SUCCESS,
         "char value<ptr>[4];\n"
         "SQLINTEGER len<ptr> = 0;\n"
         "rc = SQLGetDescField(desc<ptr>, 1, SQL_DESC_NAME, value<ptr>, 4, &len<ptr>);\n"
         "// value: Amo\n"
         "// len: 6\n"
         "// rc: SQL_SUCCESS\n"},
        {"get a number without a length",
         [](Session& s) {
             SQLSMALLINT count = 0;
             return SQLGetDescField(s.handle(s.ird), 0, SQL_DESC_COUNT, &count, 0, nullptr);
         },
         SQL_SUCCESS,
         "char value<ptr>[0];\n"
         "rc = SQLGetDescField(desc<ptr>, 0, SQL_DESC_COUNT, value<ptr>, 0, NULL);\n"
         "// value: 1\n"
         "// len: NULL\n"
         "// rc: SQL_SUCCESS\n"},
        {"set a field",
         [](Session& s) {
             return SQLSetDescField(s.handle(s.ard), 1, SQL_DESC_CONCISE_TYPE,
                                    reinterpret_cast<SQLPOINTER>(SQL_C_LONG), 0);
         },
         SQL_SUCCESS,
         "rc = SQLSetDescField(desc<ptr>, 1, SQL_DESC_CONCISE_TYPE, (SQLPOINTER) SQL_INTEGER, "
         "0);\n"
         "// rc: SQL_SUCCESS\n"},
        {"set a record",
         [](Session& s) {
             return SQLSetDescRec(s.handle(s.ard), 1, SQL_C_CHAR, 0, 8, 0, 0, data, lengths,
                                  indicators);
         },
         SQL_SUCCESS,
         "rc = SQLSetDescRec(desc<ptr>, 1, 1, 0, 8, 0, 0, data<ptr>, len<ptr>, ind<ptr>);\n"
         "// rc: SQL_SUCCESS\n"},
        {"get a record of an application descriptor",
         [](Session& s) {
             SQLCHAR name[8];
             SQLSMALLINT length = 0;
             return SQLGetDescRec(s.handle(s.ard), 1, name, 8, &length, nullptr, nullptr, nullptr,
                                  nullptr, nullptr, nullptr);
         },
         SQL_ERROR,
         "rc = SQLGetDescRec(desc<ptr>, 1, name<ptr>, 8, strlen<ptr>, type<ptr>, subtype<ptr>, "
         "len<ptr>, prec<ptr>, scale<ptr>, null<ptr>);\n"
         "// diagnostic: state: HY091  code: 0  msg: \n"
         "// rc: SQL_ERROR\n"},
        {"get a record",
         [](Session& s) {
             SQLCHAR name[8];
             SQLSMALLINT length = 0, type = 0, nullable = 0;
             return SQLGetDescRec(s.handle(s.ird), 1, name, 8, &length, &type, nullptr, nullptr,
                                  nullptr, nullptr, &nullable);
         },
         SQL_SUCCESS,
         "rc = SQLGetDescRec(desc<ptr>, 1, name<ptr>, 8, strlen<ptr>, type<ptr>, subtype<ptr>, "
         "len<ptr>, prec<ptr>, scale<ptr>, null<ptr>);\n"
         "// strlen: 6\n"
         "// type: 12\n"
         "// subtype: NULL\n"
         "// len: NULL\n"
         "// prec: NULL\n"
         "// scale: NULL\n"
         "// null: 1\n"
         "// rc: SQL_SUCCESS\n"},
        {"copy", [](Session& s) { return SQLCopyDesc(s.handle(s.ard), s.handle(s.apd)); },
         SQL_SUCCESS,
         "// ENTER: <time>\n"
         "rc = SQLCopyDesc( src<ptr>, dest<ptr>);\n"
         "// rc: SQL_SUCCESS\n"},
    };
    for (const Case& c : cases) {
        Session session;
        EXPECT_EQ(c.call(session), c.rc) << c.name;
        EXPECT_EQ(session.trace(), c.trace) << c.name;
    }
}

TEST(DescriptorExports, NullHandlesAreRefused) {
    SQLINTEGER length = 0;
    EXPECT_EQ(SQLCopyDesc(SQL_NULL_HDESC, SQL_NULL_HDESC), SQL_INVALID_HANDLE);
    EXPECT_EQ(SQLSetDescField(SQL_NULL_HDESC, 1, SQL_DESC_NAME, nullptr, 0), SQL_INVALID_HANDLE);
    EXPECT_EQ(SQLGetDescFieldW(SQL_NULL_HDESC, 1, SQL_DESC_NAME, nullptr, 0, &length),
              SQL_INVALID_HANDLE);
    EXPECT_EQ(SQLGetDescRecW(SQL_NULL_HDESC, 1, nullptr, 0, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr, nullptr),
              SQL_INVALID_HANDLE);
}

}  // namespace
