// The repeater statement's catalog calls and column descriptions on the
// DB2 stand-in: what the adapted driver receives (read from its journal),
// the W path with its converted names and texts, the query log and the
// failures.

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "driver/adapter/ODBCRepeaterStatement.h"
#include "tests/adapter/RepeaterTestSupport.h"

using namespace repeater_test;

namespace {

// A recording environment whose host application the test names.
class HostEnvironment : public RecordingEnvironment {
  public:
    explicit HostEnvironment(std::string host)
        : RecordingEnvironment(true), host_(std::move(host)) {}
    const std::string& hostAppName() const override { return host_; }

  private:
    std::string host_;
};

struct Session {
    explicit Session(const std::string& variant = "", OdbcSandbox::Keys keys = {},
                     std::vector<std::string> commands = {}, const std::string& host = "tests")
        : dsns(variant, std::move(keys)), environment(host) {
        for (const std::string& command : commands) {
            const auto blank = command.find(' ');
            dsns.library.control(command.substr(0, blank),
                                 blank == std::string::npos ? "" : command.substr(blank + 1));
        }
        connected = connection.connectStrings("Tarvex", "u", "p") == SQL_SUCCESS;
        statement = std::make_unique<ODBCRepeaterStatement>(&connection);
        dsns.library.clearJournal();
    }

    SevrinDsns dsns;
    HostEnvironment environment;
    ODBCRepeaterConnection connection{&environment};
    bool connected = false;
    std::unique_ptr<ODBCRepeaterStatement> statement;
};

std::vector<std::string> ownRecords(Statement& statement) {
    std::vector<std::string> out;
    DiagnosticHeader& area = statement.diagnostics();
    for (SQLSMALLINT n = 1; n <= static_cast<SQLSMALLINT>(area.recordCount()); ++n) {
        char state[6] = {};
        SQLINTEGER native = 0;
        char message[1024] = {};
        area.getDiagField(n, SQL_DIAG_SQLSTATE, state, sizeof state, nullptr);
        area.getDiagField(n, SQL_DIAG_NATIVE, &native, 0, nullptr);
        area.getDiagField(n, SQL_DIAG_MESSAGE_TEXT, message, sizeof message, nullptr);
        out.push_back(std::string(state) + " " + std::to_string(native) + " " + message);
    }
    return out;
}

// A journal item: the quoted text of `key` (escapes kept), or "null".
std::string item(const std::string& line, const std::string& key) {
    const auto start = line.find(" " + key + "=");
    if (start == std::string::npos) {
        return "<none>";
    }
    auto i = start + key.size() + 2;
    if (line.compare(i, 4, "null") == 0) {
        return "null";
    }
    std::string text;
    for (++i; i < line.size() && line[i] != '"'; ++i) {
        if (line[i] == '\\' && i + 1 < line.size()) {
            text += line[i++];
        }
        text += line[i];
    }
    return text;
}

const SQLCHAR* text(const char* value) {
    return reinterpret_cast<const SQLCHAR*>(value);
}

// The six catalog calls, each asked about table "EMP" (types "TABLE").
struct CatalogCase {
    const char* name;
    const char* function;
    const char* logged;
    std::function<SQLRETURN(ODBCRepeaterStatement&)> call;
};

const CatalogCase kCatalogCases[] = {
    {"Tables", "SQLTables", "SQLTables: ",
     [](ODBCRepeaterStatement& s) {
         return s.tables(nullptr, 0, nullptr, 0, text("EMP"), SQL_NTS, text("TABLE"), SQL_NTS);
     }},
    {"Columns", "SQLColumns", "SQLColumns: EMP",
     [](ODBCRepeaterStatement& s) {
         return s.columns(nullptr, 0, nullptr, 0, text("EMP"), SQL_NTS, nullptr, 0);
     }},
    {"Statistics", "SQLStatistics", "SQLStatistics: EMP",
     [](ODBCRepeaterStatement& s) {
         return s.statistics(nullptr, 0, nullptr, 0, text("EMPLOYEES"), 3, SQL_INDEX_ALL,
                             SQL_QUICK);
     }},
    {"SpecialColumns", "SQLSpecialColumns", "SQLSpecialColumns: EMP",
     [](ODBCRepeaterStatement& s) {
         return s.specialColumns(SQL_BEST_ROWID, nullptr, 0, nullptr, 0, text("EMP"), SQL_NTS,
                                 SQL_SCOPE_SESSION, SQL_NULLABLE);
     }},
    {"PrimaryKeys", "SQLPrimaryKeys", "SQLPrimaryKeys: EMP",
     [](ODBCRepeaterStatement& s) {
         return s.primaryKeys(nullptr, 0, nullptr, 0, text("EMP"), SQL_NTS);
     }},
    {"ColumnPrivileges", "SQLColumnPrivileges", "SQLColumnPrivileges: EMP",
     [](ODBCRepeaterStatement& s) {
         return s.columnPrivileges(nullptr, 0, nullptr, 0, text("EMP"), SQL_NTS, text("%"),
                                   SQL_NTS);
     }},
};

class CatalogTest : public ::testing::TestWithParam<CatalogCase> {};

// Narrow or W, the call reaches the driver once with the table name, and
// a success is logged with its text.
TEST_P(CatalogTest, ReachesTheDriverAndTheQueryLog) {
    const CatalogCase& c = GetParam();
    for (const char* variant : {"", "wonly"}) {
        Session session(variant);
        ASSERT_TRUE(session.connected);
        const auto log = session.dsns.sandbox.root() / "query.log";
        session.connection.setQueryLog(0, log.string());
        EXPECT_EQ(c.call(*session.statement), SQL_SUCCESS);
        const std::string function = c.function + std::string(*variant != '\0' ? "W" : "");
        const auto calls = session.dsns.calls(function);
        ASSERT_EQ(calls.size(), 1u) << function;
        EXPECT_EQ(item(calls[0], "table"), "EMP");
        EXPECT_EQ(item(calls[0], "catalog"), "null");
        const auto logged = lines(OdbcSandbox::readFile(log));
        ASSERT_EQ(logged.size(), 1u);
        EXPECT_EQ(logged[0].substr(logged[0].rfind('\t') + 1), c.logged);
    }
}

// A refusal of the driver comes back as this statement's first record,
// and nothing is logged.
TEST_P(CatalogTest, DriversFailureIsReposted) {
    const CatalogCase& c = GetParam();
    for (const char* variant : {"", "wonly"}) {
        Session session(variant, {},
                        {std::string("fail ") + c.function + "|42S02|-204|no such table"});
        ASSERT_TRUE(session.connected);
        const auto log = session.dsns.sandbox.root() / "query.log";
        session.connection.setQueryLog(0, log.string());
        EXPECT_EQ(c.call(*session.statement), SQL_ERROR);
        EXPECT_EQ(ownRecords(*session.statement),
                  std::vector<std::string>{"42S02 -204 no such table"});
        EXPECT_FALSE(std::filesystem::exists(log));
    }
}

// Closed: "08S01" before any lock, nothing sent.
TEST_P(CatalogTest, ClosedConnectionFailsWithoutTheLock) {
    const CatalogCase& c = GetParam();
    Session session;
    ASSERT_TRUE(session.connected);
    ASSERT_EQ(session.connection.disconnect(), SQL_SUCCESS);
    session.dsns.library.clearJournal();
    session.connection.lock();
    auto result = std::async(std::launch::async, [&] { return c.call(*session.statement); });
    const bool finished = result.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    session.connection.unlock();
    EXPECT_TRUE(finished) << "waited for the connection's lock";
    EXPECT_EQ(result.get(), SQL_ERROR);
    EXPECT_EQ(ownRecords(*session.statement),
              std::vector<std::string>{"08S01 0 Communication link failure"});
    EXPECT_EQ(session.dsns.library.journal(), "");
}

INSTANTIATE_TEST_SUITE_P(Repeater, CatalogTest, ::testing::ValuesIn(kCatalogCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RepeaterStatementCatalog, ColumnsIsTracedAsSource) {
    Session session;
    ASSERT_TRUE(session.connected);
    EXPECT_EQ(session.statement->columns(text("CAT"), 2, nullptr, SQL_NTS, text("EMP"), SQL_NTS,
                                         text("A%"), 2),
              SQL_SUCCESS);
    EXPECT_TRUE(session.environment.traced(
        "// repeater columns: \"CA\", 2, NULL, SQL_NTS, \"EMP\", SQL_NTS, \"A%\", 2"));
    EXPECT_TRUE(session.environment.traced("// repeater columns return: 0"));
}

// --- Table types for Microsoft Query -------------------------------------------------------

struct TypesCase {
    const char* name;
    const char* includeViews;
    const char* host;
    const char* asked;  // null: no list
    const char* sent;
};

const TypesCase kTypesCases[] = {
    {"QueryGetsViewsToo", "Yes", "Microsoft Query", "TABLE", "TABLE,VIEW"},
    {"QueryWithSuffix", "YES", "Microsoft Query 16.1", "'TABLE'", "TABLE,VIEW"},
    {"QueryAskingForNothing", "yes", "Microsoft Query", nullptr, "TABLE,VIEW"},
    {"ViewsNotIncluded", "No", "Microsoft Query", "TABLE", "TABLE"},
    {"OtherHost", "Yes", "Microsoft Excel", "TABLE", "TABLE"},
    {"HostNameInOtherCase", "Yes", "microsoft query", "TABLE", "TABLE"},
    {"ShorterHostName", "Yes", "Microsoft Quer", "TABLE", "TABLE"},
    {"NoListStaysNone", "No", "tests", nullptr, "null"},
};

class TypesTest : public ::testing::TestWithParam<TypesCase> {};

TEST_P(TypesTest, SendsTheTypes) {
    const TypesCase& c = GetParam();
    for (const char* variant : {"", "wonly"}) {
        Session session(variant, {{"IncludeViews", c.includeViews}}, {}, c.host);
        ASSERT_TRUE(session.connected);
        EXPECT_EQ(session.statement->tables(nullptr, 0, nullptr, 0, text("%"), SQL_NTS,
                                            c.asked != nullptr ? text(c.asked) : nullptr, SQL_NTS),
                  SQL_SUCCESS);
        const auto calls =
            session.dsns.calls(*variant != '\0' ? std::string("SQLTablesW") : "SQLTables");
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(item(calls[0], "types"), c.sent) << variant;
    }
}

INSTANTIATE_TEST_SUITE_P(Repeater, TypesTest, ::testing::ValuesIn(kTypesCases),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Names through the W functions -------------------------------------------------------

struct NameCase {
    const char* name;
    std::string table;
    SQLSMALLINT length;
    std::string sent;
};

const NameCase kNameCases[] = {
    {"SixtyFourWhole", std::string(64, 'a'), SQL_NTS, std::string(64, 'a')},
    {"SeventyCutTo63", std::string(70, 'b'), SQL_NTS, std::string(63, 'b')},
    {"SixtyFiveCutTo63", std::string(65, 'c'), SQL_NTS, std::string(63, 'c')},
    {"GivenLength", "EMPLOYEE", 3, "EMP"},
    {"NonAscii", "T\u00c4BLE", SQL_NTS, "T\u00c4BLE"},
    {"Empty", "", SQL_NTS, ""},
};

class NameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(NameTest, ReachesTheWideFunction) {
    const NameCase& c = GetParam();
    Session session("wonly");
    ASSERT_TRUE(session.connected);
    EXPECT_EQ(session.statement->tables(nullptr, SQL_NTS, nullptr, 0, text(c.table.c_str()),
                                        c.length, text("TABLE"), SQL_NTS),
              SQL_SUCCESS);
    const auto calls = session.dsns.calls("SQLTablesW");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(item(calls[0], "table"), c.sent);
    EXPECT_EQ(item(calls[0], "catalog"), "null");
    EXPECT_EQ(item(calls[0], "schema"), "null");
}

INSTANTIATE_TEST_SUITE_P(Repeater, NameTest, ::testing::ValuesIn(kNameCases),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Column descriptions ------------------------------------------------------------------

constexpr const char* kQuery = "select * from t";

TEST(RepeaterStatementCatalog, ColumnNameLengthsThroughTheWideFunction) {
    Session session("wonly", {}, {std::string("result ") + kQuery, "column ABCDEF|VARCHAR|10"});
    ASSERT_TRUE(session.connected);
    ODBCRepeaterStatement& statement = *session.statement;
    ASSERT_EQ(statement.execDirect(text(kQuery), SQL_NTS), SQL_SUCCESS);

    // Without a buffer: room for the UTF-8 form of six characters.
    SQLSMALLINT length = -7;
    EXPECT_EQ(statement.colAttribute(1, SQL_DESC_NAME, nullptr, 0, &length, nullptr), SQL_SUCCESS);
    EXPECT_EQ(length, 24);

    char name[32] = {};
    length = -7;
    EXPECT_EQ(statement.colAttribute(1, SQL_DESC_NAME, name, sizeof name, &length, nullptr),
              SQL_SUCCESS);
    EXPECT_EQ(length, 6);
    EXPECT_STREQ(name, "ABCDEF");

    // A numeric field fills the number and leaves the length alone.
    SQLLEN type = 0;
    length = -7;
    EXPECT_EQ(statement.colAttribute(1, SQL_DESC_TYPE, nullptr, 0, &length, &type), SQL_SUCCESS);
    EXPECT_EQ(type, SQL_VARCHAR);
    EXPECT_EQ(length, -7);

    char described[32] = {};
    SQLSMALLINT dataType = 0;
    SQLULEN size = 0;
    length = -7;
    EXPECT_EQ(statement.describeCol(1, reinterpret_cast<SQLCHAR*>(described), sizeof described,
                                    &length, &dataType, &size, nullptr, nullptr),
              SQL_SUCCESS);
    EXPECT_STREQ(described, "ABCDEF");
    EXPECT_EQ(length, 6);
    EXPECT_EQ(dataType, SQL_VARCHAR);
    EXPECT_EQ(size, 10u);
}

struct CutCase {
    const char* name;
    bool describe;
    SQLSMALLINT buffer;
    const char* expected;
    SQLRETURN rc;
};

// "ÄÖÜ" is six bytes of UTF-8.
const CutCase kCutCases[] = {
    {"AttributeFits", false, 7, "\u00c4\u00d6\u00dc", SQL_SUCCESS},
    {"AttributeCutOnAWholeCharacter", false, 6, "\u00c4\u00d6", SQL_SUCCESS_WITH_INFO},
    {"AttributeOneByte", false, 1, "", SQL_SUCCESS_WITH_INFO},
    {"DescribeFits", true, 7, "\u00c4\u00d6\u00dc", SQL_SUCCESS},
    {"DescribeCutOnAWholeCharacter", true, 4, "\u00c4", SQL_SUCCESS_WITH_INFO},
};

class CutTest : public ::testing::TestWithParam<CutCase> {};

TEST_P(CutTest, UnicodeNameIsCutOnAWholeCharacter) {
    const CutCase& c = GetParam();
    Session session("wonly", {},
                    {std::string("result ") + kQuery, "column \u00c4\u00d6\u00dc|VARCHAR|10"});
    ASSERT_TRUE(session.connected);
    ODBCRepeaterStatement& statement = *session.statement;
    ASSERT_EQ(statement.execDirect(text(kQuery), SQL_NTS), SQL_SUCCESS);
    std::vector<char> buffer(c.buffer + 8, '\x7f');
    SQLSMALLINT length = 0;
    const SQLRETURN rc =
        c.describe
            ? statement.describeCol(1, reinterpret_cast<SQLCHAR*>(buffer.data()), c.buffer, &length,
                                    nullptr, nullptr, nullptr, nullptr)
            : statement.colAttribute(1, SQL_DESC_NAME, buffer.data(), c.buffer, &length, nullptr);
    EXPECT_EQ(rc, c.rc);
    EXPECT_STREQ(buffer.data(), c.expected);
    EXPECT_EQ(length, 6);
    EXPECT_EQ(buffer[c.buffer], '\x7f');  // nothing past the buffer
    if (c.rc == SQL_SUCCESS_WITH_INFO) {
        EXPECT_EQ(ownRecords(statement).at(0).substr(0, 5), "01004");
    }
}

INSTANTIATE_TEST_SUITE_P(Repeater, CutTest, ::testing::ValuesIn(kCutCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RepeaterStatementCatalog, NarrowDescriptionsPassStraightThrough) {
    Session session("", {}, {std::string("result ") + kQuery, "column ABCDEF|INTEGER"});
    ASSERT_TRUE(session.connected);
    ODBCRepeaterStatement& statement = *session.statement;
    ASSERT_EQ(statement.execDirect(text(kQuery), SQL_NTS), SQL_SUCCESS);
    char name[4] = {};
    SQLSMALLINT length = 0;
    EXPECT_EQ(statement.colAttribute(1, SQL_DESC_NAME, name, sizeof name, &length, nullptr),
              SQL_SUCCESS_WITH_INFO);
    EXPECT_EQ(length, 6);
    EXPECT_STREQ(name, "ABC");
    EXPECT_EQ(session.dsns.calls("SQLColAttribute").size(), 1u);
    SQLSMALLINT type = 0;
    EXPECT_EQ(statement.describeCol(1, nullptr, 0, &length, &type, nullptr, nullptr, nullptr),
              SQL_SUCCESS);
    EXPECT_EQ(type, SQL_INTEGER);
    EXPECT_EQ(session.dsns.calls("SQLDescribeCol").size(), 1u);
}

}  // namespace
