// The catalog entry points as exported, compiled in here so that they run
// on a statement of the test's own that records what reached it.
#include "driver/api/exports/CatalogExports.cpp"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstring>
#include <functional>
#include <iterator>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "driver/core/TextEncoding.h"
#include "tests/api/ConnectionTestDoubles.h"
#include "tests/api/TraceTestBuffers.h"
#include "tests/core/StatementTestSupport.h"

namespace {

using stmt_test::TestConnection;
using stmt_test::TestEnvironment;

SQLCHAR* text(const char* value) {
    return reinterpret_cast<SQLCHAR*>(const_cast<char*>(value));
}

SQLWCHAR* wide(const wchar_t* value) {
    return reinterpret_cast<SQLWCHAR*>(const_cast<wchar_t*>(value));
}

// Records each text argument as it arrived ("null" for a null pointer,
// else the text its length gives, then the length) and may throw.
class CatalogStatement : public Statement {
  public:
    using Statement::Statement;

    std::vector<std::string> received;
    std::function<void()> failure;

#define RECORDING_CATALOG_OPERATION(Name, Parameters, Texts, Arguments) \
    SQLRETURN Name Parameters override {                                \
        note Texts;                                                     \
        if (failure) {                                                  \
            failure();                                                  \
        }                                                               \
        return Statement::Name Arguments;                               \
    }
    // clang-format off
    RECORDING_CATALOG_OPERATION(columnPrivileges, (const SQLCHAR* a, SQLSMALLINT al, const SQLCHAR* b, SQLSMALLINT bl, const SQLCHAR* c, SQLSMALLINT cl, const SQLCHAR* d, SQLSMALLINT dl), ({{a, al}, {b, bl}, {c, cl}, {d, dl}}), (a, al, b, bl, c, cl, d, dl))
    RECORDING_CATALOG_OPERATION(columns, (const SQLCHAR* a, SQLSMALLINT al, const SQLCHAR* b, SQLSMALLINT bl, const SQLCHAR* c, SQLSMALLINT cl, const SQLCHAR* d, SQLSMALLINT dl), ({{a, al}, {b, bl}, {c, cl}, {d, dl}}), (a, al, b, bl, c, cl, d, dl))
    RECORDING_CATALOG_OPERATION(foreignKeys, (const SQLCHAR* a, SQLSMALLINT al, const SQLCHAR* b, SQLSMALLINT bl, const SQLCHAR* c, SQLSMALLINT cl, const SQLCHAR* d, SQLSMALLINT dl, const SQLCHAR* e, SQLSMALLINT el, const SQLCHAR* f, SQLSMALLINT fl), ({{a, al}, {b, bl}, {c, cl}, {d, dl}, {e, el}, {f, fl}}), (a, al, b, bl, c, cl, d, dl, e, el, f, fl))
    RECORDING_CATALOG_OPERATION(primaryKeys, (const SQLCHAR* a, SQLSMALLINT al, const SQLCHAR* b, SQLSMALLINT bl, const SQLCHAR* c, SQLSMALLINT cl), ({{a, al}, {b, bl}, {c, cl}}), (a, al, b, bl, c, cl))
    RECORDING_CATALOG_OPERATION(procedureColumns, (const SQLCHAR* a, SQLSMALLINT al, const SQLCHAR* b, SQLSMALLINT bl, const SQLCHAR* c, SQLSMALLINT cl, const SQLCHAR* d, SQLSMALLINT dl), ({{a, al}, {b, bl}, {c, cl}, {d, dl}}), (a, al, b, bl, c, cl, d, dl))
    RECORDING_CATALOG_OPERATION(procedures, (const SQLCHAR* a, SQLSMALLINT al, const SQLCHAR* b, SQLSMALLINT bl, const SQLCHAR* c, SQLSMALLINT cl), ({{a, al}, {b, bl}, {c, cl}}), (a, al, b, bl, c, cl))
    RECORDING_CATALOG_OPERATION(specialColumns, (SQLUSMALLINT i, const SQLCHAR* a, SQLSMALLINT al, const SQLCHAR* b, SQLSMALLINT bl, const SQLCHAR* c, SQLSMALLINT cl, SQLUSMALLINT s, SQLUSMALLINT n), ({{a, al}, {b, bl}, {c, cl}}), (i, a, al, b, bl, c, cl, s, n))
    RECORDING_CATALOG_OPERATION(statistics, (const SQLCHAR* a, SQLSMALLINT al, const SQLCHAR* b, SQLSMALLINT bl, const SQLCHAR* c, SQLSMALLINT cl, SQLUSMALLINT u, SQLUSMALLINT r), ({{a, al}, {b, bl}, {c, cl}}), (a, al, b, bl, c, cl, u, r))
    RECORDING_CATALOG_OPERATION(tablePrivileges, (const SQLCHAR* a, SQLSMALLINT al, const SQLCHAR* b, SQLSMALLINT bl, const SQLCHAR* c, SQLSMALLINT cl), ({{a, al}, {b, bl}, {c, cl}}), (a, al, b, bl, c, cl))
    RECORDING_CATALOG_OPERATION(tables, (const SQLCHAR* a, SQLSMALLINT al, const SQLCHAR* b, SQLSMALLINT bl, const SQLCHAR* c, SQLSMALLINT cl, const SQLCHAR* d, SQLSMALLINT dl), ({{a, al}, {b, bl}, {c, cl}, {d, dl}}), (a, al, b, bl, c, cl, d, dl))
    // clang-format on
#undef RECORDING_CATALOG_OPERATION

  private:
    struct Argument {
        const SQLCHAR* text;
        SQLSMALLINT length;
    };
    void note(std::initializer_list<Argument> arguments) {
        received.clear();
        for (const Argument& a : arguments) {
            received.push_back((a.text == nullptr ? std::string("null")
                                                  : "\"" + makeSqlString(a.text, a.length) + "\"") +
                               ":" + std::to_string(a.length));
        }
    }
};

struct Session {
    TestEnvironment environment;
    TestConnection connection{&environment};
    CatalogStatement statement{&connection};

    Session() { environment.tracing = true; }
    SQLHSTMT stmt() { return statementHandle(&statement); }
    // The trace without the descriptor's and diagnostics' own lines.
    std::string calls() const {
        std::string out;
        std::size_t start = 0;
        const std::string trace = normalisedTrace(environment.trace);
        while (start < trace.size()) {
            const std::size_t end = trace.find('\n', start);
            const std::string line = trace.substr(start, end - start + 1);
            if (line.rfind("// changing size", 0) != 0 && line.rfind("// diagnostic:", 0) != 0) {
                out += line;
            }
            start = end + 1;
        }
        return out;
    }
};

// One catalog function: its narrow and wide export called with the same
// texts (null, "sales" with SQL_NTS, "orders" with a length, then nulls),
// and how its call line places the options.
struct CatalogFunction {
    const char* name;
    int texts;
    const char* before;
    const char* after;
    std::function<SQLRETURN(SQLHSTMT, SQLCHAR* const*, const SQLSMALLINT*)> narrow;
    std::function<SQLRETURN(SQLHSTMT, SQLWCHAR* const*, const SQLSMALLINT*)> wideForm;
};

const std::vector<CatalogFunction>& catalogFunctions() {
    // clang-format off
    static const std::vector<CatalogFunction> all = {
        {"SQLColumnPrivileges", 4, "", "",
         [](SQLHSTMT h, SQLCHAR* const* t, const SQLSMALLINT* l) { return SQLColumnPrivileges(h, t[0], l[0], t[1], l[1], t[2], l[2], t[3], l[3]); },
         [](SQLHSTMT h, SQLWCHAR* const* t, const SQLSMALLINT* l) { return SQLColumnPrivilegesW(h, t[0], l[0], t[1], l[1], t[2], l[2], t[3], l[3]); }},
        {"SQLColumns", 4, "", "",
         [](SQLHSTMT h, SQLCHAR* const* t, const SQLSMALLINT* l) { return SQLColumns(h, t[0], l[0], t[1], l[1], t[2], l[2], t[3], l[3]); },
         [](SQLHSTMT h, SQLWCHAR* const* t, const SQLSMALLINT* l) { return SQLColumnsW(h, t[0], l[0], t[1], l[1], t[2], l[2], t[3], l[3]); }},
        {"SQLForeignKeys", 6, "", "",
         [](SQLHSTMT h, SQLCHAR* const* t, const SQLSMALLINT* l) { return SQLForeignKeys(h, t[0], l[0], t[1], l[1], t[2], l[2], t[3], l[3], t[4], l[4], t[5], l[5]); },
         [](SQLHSTMT h, SQLWCHAR* const* t, const SQLSMALLINT* l) { return SQLForeignKeysW(h, t[0], l[0], t[1], l[1], t[2], l[2], t[3], l[3], t[4], l[4], t[5], l[5]); }},
        {"SQLPrimaryKeys", 3, "", "",
         [](SQLHSTMT h, SQLCHAR* const* t, const SQLSMALLINT* l) { return SQLPrimaryKeys(h, t[0], l[0], t[1], l[1], t[2], l[2]); },
         [](SQLHSTMT h, SQLWCHAR* const* t, const SQLSMALLINT* l) { return SQLPrimaryKeysW(h, t[0], l[0], t[1], l[1], t[2], l[2]); }},
        {"SQLProcedureColumns", 4, "", "",
         [](SQLHSTMT h, SQLCHAR* const* t, const SQLSMALLINT* l) { return SQLProcedureColumns(h, t[0], l[0], t[1], l[1], t[2], l[2], t[3], l[3]); },
         [](SQLHSTMT h, SQLWCHAR* const* t, const SQLSMALLINT* l) { return SQLProcedureColumnsW(h, t[0], l[0], t[1], l[1], t[2], l[2], t[3], l[3]); }},
        {"SQLProcedures", 3, "", "",
         [](SQLHSTMT h, SQLCHAR* const* t, const SQLSMALLINT* l) { return SQLProcedures(h, t[0], l[0], t[1], l[1], t[2], l[2]); },
         [](SQLHSTMT h, SQLWCHAR* const* t, const SQLSMALLINT* l) { return SQLProceduresW(h, t[0], l[0], t[1], l[1], t[2], l[2]); }},
        {"SQLSpecialColumns", 3, ", SQL_BEST_ROWID", ", SQL_SCOPE_SESSION, SQL_NULLABLE",
         [](SQLHSTMT h, SQLCHAR* const* t, const SQLSMALLINT* l) { return SQLSpecialColumns(h, SQL_BEST_ROWID, t[0], l[0], t[1], l[1], t[2], l[2], SQL_SCOPE_SESSION, SQL_NULLABLE); },
         [](SQLHSTMT h, SQLWCHAR* const* t, const SQLSMALLINT* l) { return SQLSpecialColumnsW(h, SQL_BEST_ROWID, t[0], l[0], t[1], l[1], t[2], l[2], SQL_SCOPE_SESSION, SQL_NULLABLE); }},
        {"SQLStatistics", 3, "", ", SQL_INDEX_UNIQUE, SQL_QUICK",
         [](SQLHSTMT h, SQLCHAR* const* t, const SQLSMALLINT* l) { return SQLStatistics(h, t[0], l[0], t[1], l[1], t[2], l[2], SQL_INDEX_UNIQUE, SQL_QUICK); },
         [](SQLHSTMT h, SQLWCHAR* const* t, const SQLSMALLINT* l) { return SQLStatisticsW(h, t[0], l[0], t[1], l[1], t[2], l[2], SQL_INDEX_UNIQUE, SQL_QUICK); }},
        {"SQLTablePrivileges", 3, "", "",
         [](SQLHSTMT h, SQLCHAR* const* t, const SQLSMALLINT* l) { return SQLTablePrivileges(h, t[0], l[0], t[1], l[1], t[2], l[2]); },
         [](SQLHSTMT h, SQLWCHAR* const* t, const SQLSMALLINT* l) { return SQLTablePrivilegesW(h, t[0], l[0], t[1], l[1], t[2], l[2]); }},
        {"SQLTables", 4, "", "",
         [](SQLHSTMT h, SQLCHAR* const* t, const SQLSMALLINT* l) { return SQLTables(h, t[0], l[0], t[1], l[1], t[2], l[2], t[3], l[3]); },
         [](SQLHSTMT h, SQLWCHAR* const* t, const SQLSMALLINT* l) { return SQLTablesW(h, t[0], l[0], t[1], l[1], t[2], l[2], t[3], l[3]); }},
    };
    // clang-format on
    return all;
}

TEST(CatalogExports, EveryFunctionTracesAndPassesItsTextsNarrowAndWide) {
    SQLCHAR* narrowTexts[6] = {nullptr, text("sales"), text("orders")};
    const SQLSMALLINT narrowLengths[6] = {0, SQL_NTS, 6};
    SQLWCHAR* wideTexts[6] = {nullptr, wide(L"sales"), wide(L"orders")};
    const SQLSMALLINT wideLengths[6] = {0, SQL_NTS, 24};
    for (const CatalogFunction& f : catalogFunctions()) {
        const std::string name = f.name;
        const bool foreignKeys = name == "SQLForeignKeys";
        std::string narrowLine = "rc = " + name + "(stmt<ptr>" + f.before +
                                 ", (SQLCHAR *) NULL, 0, (SQLCHAR *) \"sales\", SQL_NTS, "
                                 "(SQLCHAR *) \"orders\", 6";
        std::string wideLine = "rc = " + name + "W(stmt<ptr>" + f.before +
                               ", (SQLTCHAR *) _T(\"\"), 0, (SQLTCHAR *) _T(\"sales\"), 5, "
                               "(SQLTCHAR *) _T(\"orders\"), 6";
        std::vector<std::string> narrowReceived = {"null:0", "\"sales\":-3", "\"orders\":6"};
        std::vector<std::string> wideReceived = {"\"\":0", "\"sales\":5", "\"orders\":6"};
        for (int i = 3; i < f.texts; ++i) {
            narrowLine += (foreignKeys && i == 5 ? ",(SQLCHAR *)  " : ", (SQLCHAR *) ");
            narrowLine += "NULL, 0";
            wideLine += ", (SQLTCHAR *) _T(\"\"), 0";
            narrowReceived.push_back("null:0");
            wideReceived.push_back("\"\":0");
        }
        narrowLine += std::string(f.after) + ");\n";
        wideLine += std::string(f.after) + ");\n";

        Session narrow;
        EXPECT_EQ(f.narrow(narrow.stmt(), narrowTexts, narrowLengths), SQL_SUCCESS) << name;
        EXPECT_EQ(narrow.calls(),
                  "// ENTER: <time>\n" + narrowLine + "// EXIT: <time>  rc: SQL_SUCCESS\n")
            << name;
        EXPECT_EQ(narrow.statement.received, narrowReceived) << name;
        EXPECT_EQ(narrow.statement.state(), StatementState::ExecutedWithResults) << name;

        Session wideSession;
        EXPECT_EQ(f.wideForm(wideSession.stmt(), wideTexts, wideLengths), SQL_SUCCESS) << name;
        EXPECT_EQ(wideSession.calls(),
                  "// ENTER: <time>\n" + wideLine + "// EXIT: <time>  rc: SQL_SUCCESS\n")
            << name;
        EXPECT_EQ(wideSession.statement.received, wideReceived) << name;

        EXPECT_EQ(f.narrow(SQL_NULL_HSTMT, narrowTexts, narrowLengths), SQL_INVALID_HANDLE);
        EXPECT_EQ(f.wideForm(SQL_NULL_HSTMT, wideTexts, wideLengths), SQL_INVALID_HANDLE);
    }
}

TEST(CatalogExports, TextsAreReadWithinTheirLengths) {
    // "orders" without a terminator, right before an inaccessible page.
    GuardedBuffer table = GuardedBuffer::holding("orders");
    Session session;
    ASSERT_EQ(SQLTables(session.stmt(), nullptr, 0, nullptr, 0,
                        reinterpret_cast<SQLCHAR*>(table.data()), 6, nullptr, 0),
              SQL_SUCCESS);
    EXPECT_NE(session.calls().find("(SQLCHAR *) \"orders\", 6, (SQLCHAR *) NULL, 0);"),
              std::string::npos);
    EXPECT_EQ(session.statement.received[2], "\"orders\":6");
}

TEST(CatalogExports, WideLengthsCountBytes) {
    struct Case {
        SQLSMALLINT length;
        const char* received;
    };
    const Case cases[] = {
        {24, "\"orders\":6"}, {6, "\"o\":1"}, {-4, "\"orders\":6"}, {SQL_NTS, "\"orders\":6"},
        {0, "\"\":0"},        {3, "\"\":0"},  {40, "\"orders\":6"},
    };
    for (const Case& c : cases) {
        Session session;
        ASSERT_EQ(SQLColumnsW(session.stmt(), nullptr, 0, nullptr, 0, wide(L"orders"), c.length,
                              nullptr, 0),
                  SQL_SUCCESS);
        EXPECT_EQ(session.statement.received[2], c.received) << c.length;
    }
}

// Which wide forms read their texts through Latin-1 in the user's language
// encoding, by the connection's text settings. With French as the language
// that encoding is MacRoman, where the Latin-1 byte of "é" reads as "È".
TEST(CatalogExports, WideFormsChooseTheirConversionByTheConnection) {
    ::setenv("LANGUAGE", "fr", 1);
    ASSERT_EQ(getPreferredLanguageEncoding(), kEncodingMacRoman);
    const std::string utf8 = "\"caf\xC3\xA9\":5";
    const std::string viaLatin1 = "\"caf\xC3\x88\":5";
    struct Setting {
        const char* name;
        bool wideApi;
        std::uint32_t sendEncoding;
    };
    const Setting settings[] = {
        {"UTF-8", false, kEncodingUtf8},
        {"Latin-1", false, kEncodingIsoLatin1},
        {"language encoding", false, kEncodingMacRoman},
        {"wide API", true, kEncodingMacRoman},
    };
    // Per function, the conversion under each setting: U for UTF-8, L for Latin-1.
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"SQLColumnPrivileges", "UUUU"}, {"SQLColumns", "ULLU"},
        {"SQLForeignKeys", "UUUU"},      {"SQLPrimaryKeys", "ULLU"},
        {"SQLProcedureColumns", "UUUU"}, {"SQLProcedures", "UUUU"},
        {"SQLSpecialColumns", "ULLU"},   {"SQLStatistics", "ULLU"},
        {"SQLTablePrivileges", "UUUU"},  {"SQLTables", "UULU"},
    };
    SQLWCHAR* texts[6] = {wide(L"caf\u00E9"), wide(L"caf\u00E9"), wide(L"caf\u00E9"),
                          wide(L"caf\u00E9"), wide(L"caf\u00E9"), wide(L"caf\u00E9")};
    const SQLSMALLINT lengths[6] = {SQL_NTS, SQL_NTS, SQL_NTS, SQL_NTS, SQL_NTS, SQL_NTS};
    for (std::size_t f = 0; f < catalogFunctions().size(); ++f) {
        const CatalogFunction& function = catalogFunctions()[f];
        ASSERT_EQ(expected[f].first, function.name);
        for (std::size_t s = 0; s < std::size(settings); ++s) {
            Session session;
            session.connection.setWideApi(settings[s].wideApi);
            session.connection.setSendEncodingId(settings[s].sendEncoding);
            ASSERT_EQ(function.wideForm(session.stmt(), texts, lengths), SQL_SUCCESS);
            const std::string& want = expected[f].second[s] == 'U' ? utf8 : viaLatin1;
            EXPECT_EQ(session.statement.received.front(), want)
                << function.name << ", " << settings[s].name;
            EXPECT_EQ(session.statement.received.back(), want)
                << function.name << ", " << settings[s].name;
            // Only SQLColumnsW names the table it converted through Latin-1.
            const bool named =
                session.calls().rfind("// converted tableName: caf\xC3\x88\n", 0) == 0;
            EXPECT_EQ(named,
                      function.name == std::string("SQLColumns") && expected[f].second[s] == 'L')
                << function.name << ", " << settings[s].name;
        }
    }
    ::unsetenv("LANGUAGE");
}

TEST(CatalogExports, AFailingOperationReportsItsExceptionAndFails) {
    struct Case {
        const char* name;
        std::function<void()> failure;
        std::function<SQLRETURN(SQLHSTMT)> call;
        const char* line;
        const char* state;
    };
    const Case cases[] = {
        {"out of memory", [] { throw std::bad_alloc(); },
         [](SQLHSTMT h) {
             return SQLStatistics(h, nullptr, 0, nullptr, 0, text("t"), SQL_NTS, SQL_INDEX_ALL,
                                  SQL_QUICK);
         },
         "ODBC Err: SQLStatistics std::bad_alloc\n", "HY001"},
        {"other failure", [] { throw std::runtime_error("no catalog today"); },
         [](SQLHSTMT h) {
             return SQLTablesW(h, nullptr, 0, nullptr, 0, wide(L"t"), SQL_NTS, nullptr, 0);
         },
         "ODBC Err: SQLTablesW no catalog today\n", "HY000"},
    };
    for (const Case& c : cases) {
        Session session;
        session.statement.failure = c.failure;
        testing::internal::CaptureStderr();
        EXPECT_EQ(c.call(session.stmt()), SQL_ERROR) << c.name;
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.line) << c.name;
        const std::string trace = session.calls();
        EXPECT_EQ(trace.substr(trace.size() - std::strlen(c.line)), c.line) << c.name;
        EXPECT_EQ(trace.find("// EXIT:"), std::string::npos) << c.name;
        EXPECT_EQ(stateOf(session.statement.diagnostics()), c.state) << c.name;
    }
}

}  // namespace
