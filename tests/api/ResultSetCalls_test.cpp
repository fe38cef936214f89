#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "driver/api/HandleCalls.h"
#include "driver/api/ResultSetCalls.h"
#include "driver/core/Descriptor.h"
#include "driver/core/MemoryRecordset.h"
#include "driver/core/Statement.h"
#include "driver/core/TextEncoding.h"
#include "platform/PreferredLanguages.h"
#include "tests/api/ConnectionTestDoubles.h"
#include "tests/api/TraceTestBuffers.h"

namespace {

// A statement over a two-row, two-column text result held in memory.
class ResultStatement : public Statement {
  public:
    explicit ResultStatement(Connection* connection) : Statement(connection) {
        const std::vector<std::optional<std::string>> rows[] = {{"r1", "x"}, {"r2", std::nullopt}};
        for (const char* name : {"id", "col\xC3\xBCmn"}) {
            ird_->addRecord(name, SQL_VARCHAR, SQL_NULLABLE, 0);
            const SQLSMALLINT number = ird_->getCount();
            ird_->setRecordDataPtr(number, std::calloc(1, sizeof(char*)));
            ird_->setRecordOctetLengthPtr(number,
                                          static_cast<SQLLEN*>(std::calloc(1, sizeof(SQLLEN))));
            ird_->setRecordIndicatorPtr(number,
                                        static_cast<SQLLEN*>(std::calloc(1, sizeof(SQLLEN))));
        }
        auto recordset = std::make_unique<MemoryRecordset>(this);
        for (const auto& row : rows) {
            recordset->appendRow();
            recordset->setTextCell(1, row[0]);
            recordset->setTextCell(2, row[1]);
        }
        setRecordset(std::move(recordset));
        state_ = 4;
        cursorScrollable_ = SQL_SCROLLABLE;
    }
};

struct Session {
    CapturingEnvironment environment;
    ConnectionScript script;
    RecordingConnection connection{&environment, script};
    ResultStatement statement{&connection};

    Session() { environment.trace.clear(); }
    SQLHSTMT handle() { return statementHandle(&statement); }
    std::string trace() const { return normalisedTrace(environment.trace); }
};

SQLUSMALLINT arrayStatus[2];

TEST(ResultSetCalls, TraceLinesOfEachCall) {
    struct Case {
        const char* name;
        std::function<SQLRETURN(Session&)> call;
        SQLRETURN rc;
        std::string trace;
    };
    static SQLCHAR name[32];
    static SQLSMALLINT length;
    static SQLSMALLINT type;
    static SQLULEN size;
    static SQLSMALLINT digits;
    static SQLSMALLINT nullable;
    static char value[8];
    static SQLLEN indicator;
    static SQLLEN number;
    static SQLULEN count;
    const std::vector<Case> cases = {
        {"SQLNumResultCols",
         [](Session& s) {
             static SQLSMALLINT columns = 0;
             return calls::numResultCols(s.handle(), &columns);
         },
         SQL_SUCCESS,
         "SQLSMALLINT cols<ptr> = 0;\n"
         "rc = SQLNumResultCols(stmt<ptr>, &cols<ptr>);\n"
         "// cols: 2\n"
         "// rc: SQL_SUCCESS\n"},
        {"SQLNumResultCols without a pointer",
         [](Session& s) { return calls::numResultCols(s.handle(), nullptr); }, SQL_SUCCESS,
         "SQLSMALLINT cols<ptr> = NULL;\n"
         "rc = SQLNumResultCols(stmt<ptr>, &cols<ptr>);\n"
         "// cols: NULL\n"
         "// rc: SQL_SUCCESS\n"},
        {"SQLRowCount",
         [](Session& s) {
             static SQLLEN rows = 7;
             return calls::rowCount(s.handle(), &rows);
         },
         SQL_SUCCESS,
         "SQLLEN rows<ptr> = 7;\n"
         "rc = SQLRowCount(stmt<ptr>, &rows<ptr>);\n"
         "// rows: -1\n"
         "// rc: SQL_SUCCESS\n"},
        {"SQLDescribeCol",
         [](Session& s) {
             return calls::describeCol(s.handle(), 1, name, 32, &length, &type, &size, &digits,
                                       &nullable);
         },
         SQL_SUCCESS,
         "SQLCHAR name<ptr>[32];\n"
         "SQLSMALLINT len<ptr> = 0;\n"
         "SQLSMALLINT type<ptr> = 0;\n"
         "SQLULEN size<ptr> = 0;\n"
         "SQLSMALLINT dig<ptr> = 0;\n"
         "SQLSMALLINT null<ptr> = 0;\n"
         "rc = SQLDescribeCol(stmt<ptr>, 1, name<ptr>, 32, &len<ptr>, &type<ptr>, &size<ptr>, "
         "&dig<ptr>, &null<ptr>);\n"
         "// name: \"id\"\n"
         "// *len: 2\n"
         "// *type: SQL_VARCHAR\n"
         "// *size: 255\n"
         "// *dig: 0\n"
         "// *null: SQL_NULLABLE\n"
         "// rc: SQL_SUCCESS\n"},
        {"SQLDescribeCol without outputs",
         [](Session& s) {
             return calls::describeCol(s.handle(), 1, nullptr, 0, nullptr, nullptr, nullptr,
                                       nullptr, nullptr);
         },
         SQL_SUCCESS,
         "rc = SQLDescribeCol(stmt<ptr>, 1, NULL, 0, NULL, NULL, NULL, NULL, NULL);\n"
         "// name: NULL\n"
         "// rc: SQL_SUCCESS\n"},
        {"SQLDescribeCol of a missing column",
         [](Session& s) {
             return calls::describeCol(s.handle(), 3, nullptr, 0, nullptr, nullptr, nullptr,
                                       nullptr, nullptr);
         },
         SQL_ERROR,
         "rc = SQLDescribeCol(stmt<ptr>, 3, NULL, 0, NULL, NULL, NULL, NULL, NULL);\n"
         "// diagnostic: state: 07009  code: 0  msg: \n"
         "// rc: SQL_ERROR\n"},
        {"SQLBindCol of a character type",
         [](Session& s) {
             indicator = 0;
             return calls::bindCol(s.handle(), 1, SQL_C_CHAR, value, 8, &indicator);
         },
         SQL_SUCCESS,
         "char value<ptr>[8];\n"
         "SQLLEN len<ptr> = 0;\n"
         "rc = SQLBindCol(stmt<ptr>, 1, SQL_C_CHAR, value<ptr>, 8, &len<ptr>);\n"
         "// len: 0\n"
         "// changing size from 1 to 2\n"
         "// rc: SQL_SUCCESS\n"},
        {"SQLBindCol of SQL_C_LONG",
         [](Session& s) { return calls::bindCol(s.handle(), 1, SQL_C_LONG, value, 4, &indicator); },
         SQL_SUCCESS,
         "char value<ptr>[4];\n"
         "rc = SQLBindCol(stmt<ptr>, 1, SQL_C_LONG, value<ptr>, 4, <ptr>);\n"
         "// changing size from 1 to 2\n"
         "// rc: SQL_SUCCESS\n"},
        {"SQLFetch", [](Session& s) { return calls::fetch(s.handle()); }, SQL_SUCCESS,
         "rc = SQLFetch(stmt<ptr>);\n"
         "// rc: SQL_SUCCESS\n"},
        {"SQLFetchScroll",
         [](Session& s) { return calls::fetchScroll(s.handle(), SQL_FETCH_ABSOLUTE, 5); },
         SQL_NO_DATA,
         "rc = SQLFetchScroll(stmt<ptr>, SQL_FETCH_ABSOLUTE, 5);\n"
         "// rc: SQL_NO_DATA\n"},
        {"SQLExtendedFetch",
         [](Session& s) {
             return calls::extendedFetch(s.handle(), SQL_FETCH_NEXT, 0, &count, arrayStatus);
         },
         SQL_SUCCESS,
         "rc = SQLExtendedFetch(stmt<ptr>, SQL_FETCH_NEXT, 0, count<ptr>, status<ptr>);\n"
         "// count: 1\n"
         "// status: 0\n"
         "// rc: SQL_SUCCESS\n"},
        {"SQLGetData before a fetch",
         [](Session& s) {
             indicator = 0;
             return calls::getData(s.handle(), 1, SQL_C_CHAR, value, 8, &indicator);
         },
         SQL_ERROR,
         "SQLCHAR value<ptr>[8];\n"
         "SQLLEN len<ptr> = 0;\n"
         "rc = SQLGetData(stmt<ptr>, 1, SQL_C_CHAR, value<ptr>, 8, &len<ptr>);\n"
         "// len: 0\n"
         "// diagnostic: state: 24000  code: 0  msg: \n"
         "// rc: SQL_ERROR\n"},
        {"SQLGetData with a null buffer",
         [](Session& s) {
             s.statement.fetch();
             s.environment.trace.clear();
             indicator = 0;
             return calls::getData(s.handle(), 2, SQL_C_CHAR, nullptr, 0, &indicator);
         },
         SQL_SUCCESS_WITH_INFO,
         "SQLLEN len<ptr> = 0;\n"
         "rc = SQLGetData(stmt<ptr>, 2, SQL_C_CHAR, NULL, 0, &len<ptr>);\n"
         "// len: 0\n"
         // The conversion's own lines come between the call and its results.
         "// enter convertImpToAppValue: value address: <ptr>\n"
         "// length address: <ptr>\n"
         "// indicator address: <ptr>\n"
         "// buffer length: 0\n"
         "// type: 12 target type: 1\n"
         "// indicator value: 0\n"
         "// calculated len: 0\n"
         "// no conversion \n"
         "// ---> |x| to SQL_C_CHAR: ||\n"
         "// bytesRemaining: 1  nextByte: 0 impOctetLength: 1\n"
         "// length value: 1\n"
         "// isTextType 2: 1  isBinaryType: 0\n"
         "// octetLength: 1  bufferLength: 0\n"
         "// diagnostic: state: 01004  code: 0  msg: \n"
         "// len: 1\n"
         "// rc: SQL_SUCCESS_WITH_INFO\n"},
        {"SQLColAttribute",
         [](Session& s) {
             return calls::colAttribute(s.handle(), 1, SQL_DESC_NAME, name, 16, &length, &number);
         },
         SQL_SUCCESS,
         "SQLCHAR char<ptr>[16];\n"
         "SQLSMALLINT len<ptr> = 0;\n"
         "SQLLEN num<ptr> = 0;\n"
         "rc = SQLColAttribute(stmt<ptr>, 1, SQL_DESC_NAME, char<ptr>, 16, &len<ptr>, "
         "&num<ptr>);\n"
         "// value: id\n"
         "// len: 2\n"
         "// num: 0\n"
         "// rc: SQL_SUCCESS\n"},
        {"SQLColAttributes",
         [](Session& s) {
             return calls::colAttributes(s.handle(), 1, SQL_COLUMN_COUNT, nullptr, 0, nullptr,
                                         &number);
         },
         SQL_SUCCESS,
         "SQLLEN num<ptr> = 0;\n"
         "rc = SQLColAttributes(stmt<ptr>, 1, unknown (0), NULL, 0, NULL, &num<ptr>);\n"
         "// num: 2\n"
         "// rc: SQL_SUCCESS\n"},
        {"SQLMoreResults", [](Session& s) { return calls::moreResults(s.handle()); }, SQL_NO_DATA,
         "rc = SQLMoreResults(stmt<ptr>);\n"
         "// rc: SQL_NO_DATA\n"},
    };
    for (const Case& c : cases) {
        Session session;
        EXPECT_EQ(c.call(session), c.rc) << c.name;
        EXPECT_EQ(session.trace(), c.trace) << c.name;
    }
}

TEST(ResultSetCalls, ColAttributeStoresItsNumberEvenWhenTheCallFails) {
    Session session;
    SQLLEN number = 77;
    EXPECT_EQ(
        calls::colAttribute(session.handle(), 9, SQL_DESC_COUNT, nullptr, 0, nullptr, &number),
        SQL_ERROR);
    EXPECT_EQ(number, 0);
    EXPECT_EQ(stateOf(session.statement.diagnostics()), "07009");
}

// --- Wide forms ---------------------------------------------------------------------------

struct WideCase {
    SQLSMALLINT bufferLength;
    std::wstring held;  // what the caller's buffer holds
    SQLRETURN rc;
};

TEST(ResultSetCalls, DescribeColWFitsTheNameToTheCallersCharacters) {
    // The name is "colümn": six characters, seven UTF-8 bytes.
    const WideCase cases[] = {
        {-1, L"", SQL_SUCCESS_WITH_INFO},  {0, L"", SQL_SUCCESS_WITH_INFO},
        {1, L"", SQL_SUCCESS_WITH_INFO},   {2, L"c", SQL_SUCCESS_WITH_INFO},
        {3, L"co", SQL_SUCCESS_WITH_INFO}, {6, L"col\u00fcm", SQL_SUCCESS_WITH_INFO},
        {7, L"col\u00fcmn", SQL_SUCCESS},  {9000, L"col\u00fcmn", SQL_SUCCESS},
    };
    for (const WideCase& c : cases) {
        Session session;
        const std::size_t characters = c.bufferLength > 0 ? c.bufferLength : 0;
        GuardedBuffer name(characters * sizeof(SQLWCHAR));
        std::memset(name.data(), 0x55, name.size());
        SQLSMALLINT length = -1;
        SQLSMALLINT type = 0;
        EXPECT_EQ(calls::describeColW(session.handle(), 2, name.as<SQLWCHAR>(), c.bufferLength,
                                      &length, &type, nullptr, nullptr, nullptr),
                  c.rc)
            << c.bufferLength;
        EXPECT_EQ(length, 6) << c.bufferLength;
        EXPECT_EQ(type, SQL_VARCHAR) << c.bufferLength;
        if (characters > 0) {
            EXPECT_EQ(std::wstring(name.as<wchar_t>()), c.held) << c.bufferLength;
        }
        EXPECT_EQ(stateOf(session.statement.diagnostics()), c.rc == SQL_SUCCESS ? "none" : "01004")
            << c.bufferLength;
    }
}

TEST(ResultSetCalls, DescribeColWTraceAndNameReading) {
    // The language encoding follows the language variables: fixed here, so
    // that the host's LANG or LANGUAGE cannot change it.
    setPreferredLanguagesOverride(std::vector<std::string>{"en"});
    struct Restore {
        ~Restore() { setPreferredLanguagesOverride(std::nullopt); }
    } restore;
    struct Case {
        const char* name;
        bool wideApi;
        bool languageEncoding;
        std::wstring held;
    };
    const Case cases[] = {
        {"UTF-8 host", false, false, L"col\u00fcmn"},
        {"wide host", true, true, L"col\u00fcmn"},
        // "ü" is 0x9F in Mac OS Roman, read back as Latin-1.
        {"language-encoding host", false, true, L"col\u009fmn"},
    };
    for (const Case& c : cases) {
        Session session;
        session.connection.setWideApi(c.wideApi);
        session.connection.setReceiveEncodingId(c.languageEncoding ? getPreferredLanguageEncoding()
                                                                   : kEncodingUtf8);
        session.environment.trace.clear();
        SQLWCHAR name[16] = {};
        SQLSMALLINT nullable = 0;
        EXPECT_EQ(calls::describeColW(session.handle(), 2, name, 16, nullptr, nullptr, nullptr,
                                      nullptr, &nullable),
                  SQL_SUCCESS)
            << c.name;
        EXPECT_EQ(std::wstring(reinterpret_cast<wchar_t*>(name)), c.held) << c.name;
        if (std::string(c.name) == "UTF-8 host") {
            EXPECT_EQ(session.trace(),
                      "SQLTCHAR name<ptr>[16];\n"
                      "SQLSMALLINT len<ptr> = 0;\n"
                      "SQLSMALLINT null<ptr> = 0;\n"
                      "rc = SQLDescribeColW(stmt<ptr>, 2, name<ptr>, 16, &len<ptr>, &type<ptr>, "
                      "&size<ptr>, &dig<ptr>, &null<ptr>);\n"
                      "// name: \"col\xC3\xBCmn\"\n"
                      "// *len: NULL\n"
                      "// *null: 1\n"
                      "// rc: SQL_SUCCESS\n");
        }
    }
}

TEST(ResultSetCalls, ColAttributesWCountsBytes) {
    // SQL_DESC_NAME of column 2, "colümn": 24 bytes as wide characters.
    const WideCase cases[] = {
        {-1, L"", SQL_SUCCESS_WITH_INFO},  {0, L"", SQL_SUCCESS_WITH_INFO},
        {1, L"", SQL_SUCCESS_WITH_INFO},   {3, L"", SQL_SUCCESS_WITH_INFO},
        {8, L"c", SQL_SUCCESS_WITH_INFO},  {27, L"col\u00fcm", SQL_SUCCESS_WITH_INFO},
        {28, L"col\u00fcmn", SQL_SUCCESS}, {32000, L"col\u00fcmn", SQL_SUCCESS},
    };
    for (const WideCase& c : cases) {
        Session session;
        const std::size_t bytes = c.bufferLength > 0 ? c.bufferLength : 0;
        GuardedBuffer text(bytes);
        std::memset(text.data(), 0x55, text.size());
        SQLSMALLINT length = -1;
        SQLLEN number = -1;
        EXPECT_EQ(calls::colAttributesW(session.handle(), 2, SQL_DESC_NAME, text.data(),
                                        c.bufferLength, &length, &number),
                  c.rc)
            << c.bufferLength;
        EXPECT_EQ(length, 24) << c.bufferLength;
        if (bytes >= sizeof(SQLWCHAR)) {
            EXPECT_EQ(std::wstring(text.as<wchar_t>()), c.held) << c.bufferLength;
        }
    }

    Session session;
    SQLSMALLINT length = -1;
    EXPECT_EQ(
        calls::colAttributesW(session.handle(), 2, SQL_DESC_NAME, nullptr, 0, &length, nullptr),
        SQL_SUCCESS);
    EXPECT_EQ(length, 24) << "the length alone";
    SQLWCHAR untouched[4] = {L'x', 0, 0, 0};
    SQLLEN number = 0;
    length = -1;
    EXPECT_EQ(calls::colAttributesW(session.handle(), 2, SQL_DESC_COUNT, untouched,
                                    sizeof untouched, &length, &number),
              SQL_SUCCESS);
    EXPECT_EQ(number, 2);
    EXPECT_EQ(length, -1) << "a number leaves the text outputs alone";
    EXPECT_EQ(untouched[0], static_cast<SQLWCHAR>(L'x'));
}

}  // namespace
