// The diagnostics entry points over handle objects of the core library:
// messages with multibyte characters, long messages, and descriptors.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "driver/api/DiagnosticsCalls.h"
#include "driver/api/HandleCalls.h"
#include "driver/api/WideArguments.h"
#include "tests/core/StatementTestSupport.h"
#include "tests/api/TraceText.h"

namespace {

constexpr const char* kPrefix = "[Vorlan][Vorlan Tarvex] ";

SQLWCHAR* wideBuffer(std::vector<SQLWCHAR>& buffer) {
    return buffer.data();
}

// A narrow read of a message into a buffer of `size` bytes, as one of the
// narrow entry points does it: the text written and the length reported.
struct NarrowRead {
    const char* name;
    std::function<SQLRETURN(SQLHANDLE, SQLCHAR*, SQLSMALLINT, SQLSMALLINT*)> read;
    std::string prefix;  // what the entry point puts before the record's text
};

TEST(DiagnosticsCalls, NarrowMessagesCutToFitEndOnAWholeCharacter) {
    const std::string text =
        "Gr\xC3\xB6\xC3\x9F"
        "e \xE2\x98\x83\xF0\x9F\x98\x80 zu gro\xC3\x9F";
    const NarrowRead reads[] = {
        {"SQLGetDiagRec",
         [](SQLHANDLE env, SQLCHAR* out, SQLSMALLINT size, SQLSMALLINT* length) {
             return calls::getDiagRec(SQL_HANDLE_ENV, env, 1, nullptr, nullptr, out, size, length);
         },
         kPrefix},
        {"SQLGetDiagField",
         [](SQLHANDLE env, SQLCHAR* out, SQLSMALLINT size, SQLSMALLINT* length) {
             return calls::getDiagField(SQL_HANDLE_ENV, env, 1, SQL_DIAG_MESSAGE_TEXT, out, size,
                                        length);
         },
         ""},
        {"SQLError",
         [](SQLHANDLE env, SQLCHAR* out, SQLSMALLINT size, SQLSMALLINT* length) {
             return calls::error(env, nullptr, nullptr, nullptr, nullptr, out, size, length);
         },
         kPrefix},
    };
    for (const NarrowRead& r : reads) {
        const std::string whole = r.prefix + text;
        for (std::size_t size = 1; size <= whole.size() + 1; ++size) {
            stmt_test::TestEnvironment environment;
            environment.diagnostics().prependRecord("HY000", 0, text.c_str(), -1, -1);
            // Exactly the stated size, so that a write past it is caught.
            std::vector<SQLCHAR> out(size, 'x');
            SQLSMALLINT length = -1;
            ASSERT_EQ(r.read(environmentHandle(&environment), out.data(),
                             static_cast<SQLSMALLINT>(size), &length),
                      SQL_SUCCESS)
                << r.name << " " << size;
            const std::string got(reinterpret_cast<const char*>(out.data()));
            EXPECT_EQ(length, static_cast<SQLSMALLINT>(whole.size())) << r.name << " " << size;
            EXPECT_EQ(whole.compare(0, got.size(), got), 0) << r.name << " " << size;
            EXPECT_EQ(wholeUtf8Length(got), got.size()) << r.name << " " << size << ": " << got;
            // No more than one cut character is given up.
            EXPECT_GE(got.size() + 3, std::min(size - 1, whole.size())) << r.name << " " << size;
        }
    }
}

TEST(DiagnosticsCalls, WideFormsReadLongMessagesWhole) {
    const std::string text(1500, 'a');
    const std::string accented = [] {
        std::string s;
        for (int i = 0; i < 600; ++i) {
            s += "\xC3\xA9";
        }
        return s;
    }();
    for (const std::string& message : {text, accented}) {
        stmt_test::TestEnvironment environment;
        environment.diagnostics().prependRecord("HY000", 0, message.c_str(), -1, -1);
        const SQLHANDLE env = environmentHandle(&environment);
        const std::int64_t characters = wideCharacterCount(message);
        const std::wstring expected(static_cast<std::size_t>(characters),
                                    message[0] == 'a' ? L'a' : L'\u00e9');

        std::vector<SQLWCHAR> record(2000, 0);
        SQLSMALLINT length = 0;
        ASSERT_EQ(calls::getDiagRecW(SQL_HANDLE_ENV, env, 1, nullptr, nullptr, wideBuffer(record),
                                     static_cast<SQLSMALLINT>(record.size()), &length),
                  SQL_SUCCESS);
        EXPECT_EQ(length, 24 + characters);
        EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(record.data())),
                  L"[Vorlan][Vorlan Tarvex] " + expected);

        std::vector<SQLWCHAR> field(2000, 0);
        ASSERT_EQ(calls::getDiagFieldW(
                      SQL_HANDLE_ENV, env, 1, SQL_DIAG_MESSAGE_TEXT, wideBuffer(field),
                      static_cast<SQLSMALLINT>(field.size() * sizeof(SQLWCHAR)), &length),
                  SQL_SUCCESS);
        EXPECT_EQ(length, 4 * characters);
        EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(field.data())), expected);
    }
}

TEST(DiagnosticsCalls, WideFormsTraceTheNarrowTextAndTakeOtherBytesAsLatin1) {
    stmt_test::TestEnvironment environment;
    // Text of a data source that sends Latin-1: no valid UTF-8.
    environment.diagnostics().prependRecord("HY000", 0, "caf\xE9", -1, -1);
    environment.tracing = true;
    const SQLHANDLE env = environmentHandle(&environment);
    SQLWCHAR state[6] = {};
    SQLWCHAR message[64] = {};
    SQLSMALLINT length = 0;
    ASSERT_EQ(calls::getDiagRecW(SQL_HANDLE_ENV, env, 1, state, nullptr, message, 64, &length),
              SQL_SUCCESS);
    EXPECT_EQ(std::wstring(reinterpret_cast<wchar_t*>(message)),
              L"[Vorlan][Vorlan Tarvex] caf\u00e9");
    EXPECT_EQ(length, 28);
    SQLWCHAR info[16] = {};
    ASSERT_EQ(calls::getDiagFieldW(SQL_HANDLE_ENV, env, 1, SQL_DIAG_MESSAGE_TEXT, info, sizeof info,
                                   &length),
              SQL_SUCCESS);
    EXPECT_EQ(std::wstring(reinterpret_cast<wchar_t*>(info)), L"caf\u00e9");
    EXPECT_EQ(length, 16);
    EXPECT_EQ(
        trace_text::normalised(environment.trace),
        "SQLTCHAR state<ptr>[6];\n"
        "SQLTCHAR msg<ptr>[64];\n"
        "SQLSMALLINT len<ptr> = 0;\n"
        "rc = SQLGetDiagRecW(SQL_HANDLE_ENV, env<ptr>, 1, state<ptr>, NULL, msg<ptr>, 64, "
        "&len<ptr>);\n"
        "// state: \"HY000\"\n"
        "// msg: \"[Vorlan][Vorlan Tarvex] caf\xE9\"\n"
        "// *len: 28\n"
        "// rc: SQL_SUCCESS\n"
        "rc = SQLGetDiagFieldW(SQL_HANDLE_ENV, env<ptr>, 1, SQL_DIAG_MESSAGE_TEXT, info<ptr>, "
        "64, len<ptr>);\n"
        "// info: caf\xE9\n"
        "// *len: 16\n"
        "// rc: SQL_SUCCESS\n");
}

std::string normalised(const std::string& trace) {
    return trace_text::normalised(trace);
}

TEST(DiagnosticsCalls, DescriptorsDeclareAndReportEveryOutput) {
    stmt_test::StatementFixture fixture;
    Descriptor* descriptor = fixture.statement.getAttrAppRowDesc();
    const SQLHANDLE desc = descriptorHandle(descriptor);
    fixture.environment.tracing = true;

    EXPECT_EQ(calls::getDiagRec(SQL_HANDLE_DESC, desc, 1, nullptr, nullptr, nullptr, 0, nullptr),
              SQL_NO_DATA);
    descriptor->diagnostics().prependRecord("HY091", 0, "", -1, -1);
    fixture.environment.trace.clear();
    EXPECT_EQ(calls::getDiagRec(SQL_HANDLE_DESC, desc, 1, nullptr, nullptr, nullptr, 0, nullptr),
              SQL_SUCCESS);
    EXPECT_EQ(normalised(fixture.environment.trace),
              "SQLCHAR state<ptr>[6];\n"
              "SQLINTEGER err<ptr> = 0;\n"
              "SQLCHAR msg<ptr>[0];\n"
              "SQLSMALLINT len<ptr> = NULL;\n"
              "rc = SQLGetDiagRec(SQL_HANDLE_DESC, desc<ptr>, 1, state<ptr>, &err<ptr>, msg<ptr>, "
              "0, &len<ptr>);\n"
              "// state: NULL\n"
              "// *err: NULL\n"
              "// msg: NULL\n"
              "// *len: NULL\n"
              "// rc: SQL_SUCCESS\n");
}

}  // namespace
