// Catalog calls of the MySQL face against the private PostgreSQL cluster
// through pemberix.so: SQLColumns from the server's catalog under ODBC 2
// and 3, names that need quoting or escaping, the column-type cache, the
// other catalog calls answered by the adapted driver, and a connection
// whose backend was terminated.
// ctest-fixture: postgres
// ctest-timeout: 120

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "driver/adapter/TarvexConnection.h"
#include "driver/adapter/TarvexStatement.h"
#include "tests/adapter/RepeaterTestSupport.h"
#include "tests/fixtures/PemberixTestSupport.h"

using namespace repeater_test;

namespace {

using Cell = std::optional<std::string>;
using Rows = std::vector<std::vector<Cell>>;

// A connected TarvexConnection on the cluster through an adapted DSN of
// its own (the PostgreSQL driver keeps what it read of a DSN for the
// process), and the tables a test made, dropped at the end.
class PostgresSession {
  public:
    explicit PostgresSession(SQLUINTEGER odbcVersion = SQL_OV_ODBC3) {
        static int serial = 0;
        const std::string adapted = "ImpCat" + std::to_string(++serial);
        auto settings = pemberix_test::clusterSettings();
        pemberix_test::addClusterDsn(sandbox, adapted, settings);
        sandbox.addDsn("Tarvex", "morvanex.so", {{"DriverDSN", adapted}});
        environment.setAttrOdbcVersion(odbcVersion);
        connected = connection.connectStrings("Tarvex", settings["PGUSER"], "") == SQL_SUCCESS;
        prefix = "impcat_" + std::to_string(::getpid()) + "_" + std::to_string(serial) + "_";
    }
    ~PostgresSession() {
        for (const std::string& table : tables) {
            if (connection.isConnected()) {
                run("DROP TABLE \"" + table + "\"");
            }
        }
    }

    std::unique_ptr<Statement> statement() {
        return std::unique_ptr<Statement>(connection.createStatement());
    }
    void run(const std::string& text) {
        auto s = statement();
        EXPECT_TRUE(SQL_SUCCEEDED(static_cast<TarvexStatement&>(*s).executeNativeQuery(text)))
            << text;
        s->freeStmt(SQL_DROP);
    }
    // Creates table prefix + `suffix` (a name that may need quoting).
    std::string createTable(const std::string& suffix, const std::string& definition) {
        const std::string name = prefix + suffix;
        std::string quoted;
        for (char c : name) {
            quoted += c;
            if (c == '"') {
                quoted += c;
            }
        }
        run("CREATE TABLE \"" + quoted + "\" (" + definition + ")");
        tables.push_back(name);
        return name;
    }

    OdbcSandbox sandbox;
    RecordingEnvironment environment{true};
    TarvexConnection connection{&environment};
    bool connected = false;
    std::string prefix;
    std::vector<std::string> tables;
};

const SQLCHAR* text(const std::string& value) {
    return reinterpret_cast<const SQLCHAR*>(value.c_str());
}

std::string firstRecord(Statement& statement) {
    SQLCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLCHAR message[512] = {};
    SQLSMALLINT length = 0;
    if (statement.getDiagRec(1, state, &native, message, sizeof message, &length) == SQL_NO_DATA) {
        return "<no record>";
    }
    return std::string(reinterpret_cast<char*>(state)) + " " + reinterpret_cast<char*>(message);
}

// Every row of the current result, cells as UTF-8 text.
Rows readAll(Statement& statement) {
    Rows rows;
    SQLSMALLINT count = 0;
    EXPECT_EQ(statement.numResultCols(&count), SQL_SUCCESS);
    while (SQL_SUCCEEDED(statement.fetch())) {
        std::vector<Cell> row;
        for (SQLUSMALLINT column = 1; column <= count; ++column) {
            char buffer[1024] = {};
            SQLLEN length = 0;
            statement.getData(column, SQL_C_CHAR, buffer, sizeof buffer, &length);
            row.push_back(length == SQL_NULL_DATA ? Cell() : Cell(buffer));
        }
        rows.push_back(row);
    }
    return rows;
}

Rows columnsOf(PostgresSession& session, const std::string& table, const char* schema = "public") {
    auto statement = session.statement();
    const SQLRETURN rc = statement->columns(nullptr, 0, schema != nullptr ? text(schema) : nullptr,
                                            SQL_NTS, text(table), SQL_NTS, nullptr, 0);
    EXPECT_EQ(rc, SQL_SUCCESS) << firstRecord(*statement);
    session.connection.setReceiveEncodingId(kEncodingUtf8);
    return readAll(*statement);
}

std::vector<std::string> column(const Rows& rows, std::size_t index) {
    std::vector<std::string> out;
    for (const auto& row : rows) {
        out.push_back(row.at(index).value_or("NULL"));
    }
    return out;
}

const char* kTypedColumns =
    "id serial primary key, \"MixedCase\" varchar(20) default 'x', \"gr\xC3\xB6\xC3\x9F"
    "e\" integer not null, d date, t time, ts timestamp, tz timetz, tstz timestamptz, note text";

// Columns without a declared length, or of a variable-length type, have
// no negative size or buffer length.
TEST(ImpersonatorCatalogPostgres, UnboundedColumnsHaveAPositiveSize) {
    PostgresSession session;
    ASSERT_TRUE(session.connected) << describe(records(session.connection));
    const std::string table =
        session.createTable("unbounded", "v varchar, c char(3), n numeric, j json, b varchar(10)");
    const Rows rows = columnsOf(session, table);
    EXPECT_EQ(column(rows, 6), (std::vector<std::string>{"255", "3", "15", "255", "10"}));
    EXPECT_EQ(column(rows, 7), (std::vector<std::string>{"255", "7", "255", "255", "14"}));
}

struct LayoutCase {
    const char* name;
    SQLUINTEGER odbcVersion;
    std::size_t columns;
    std::vector<std::string> types;
    std::vector<std::string> cached;
};

const LayoutCase kLayoutCases[] = {
    {"Odbc3",
     SQL_OV_ODBC3,
     18,
     {"4", "12", "4", "91", "92", "93", "12", "12", "12"},
     {"t:92", "ts:93", "tstz:93"}},
    {"Odbc2",
     SQL_OV_ODBC2,
     12,
     {"4", "12", "4", "9", "10", "11", "12", "12", "12"},
     {"t:10", "ts:11", "tstz:11"}},
};

class LayoutTest : public ::testing::TestWithParam<LayoutCase> {};

// Columns come in table order with their revised types; zone types are
// wide text; the time columns land in the connection's cache.
TEST_P(LayoutTest, ColumnsFromTheCatalog) {
    const LayoutCase& c = GetParam();
    PostgresSession session(c.odbcVersion);
    ASSERT_TRUE(session.connected) << describe(records(session.connection));
    const std::string table = session.createTable("typed", kTypedColumns);

    std::string upper = table;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::toupper(ch)); });
    const Rows rows = columnsOf(session, upper);
    ASSERT_EQ(rows.size(), 9u);
    ASSERT_EQ(rows[0].size(), c.columns);
    EXPECT_EQ(column(rows, 2), std::vector<std::string>(9, table));
    EXPECT_EQ(column(rows, 3), (std::vector<std::string>{"id", "MixedCase",
                                                         "gr\xC3\xB6\xC3\x9F"
                                                         "e",
                                                         "d", "t", "ts", "tz", "tstz", "note"}));
    EXPECT_EQ(column(rows, 4), c.types);
    EXPECT_EQ(rows[6][6], Cell("255"));
    EXPECT_EQ(rows[6][7], Cell("255"));
    EXPECT_EQ(rows[7][6], Cell("255"));
    EXPECT_EQ(column(rows, 10),
              (std::vector<std::string>{"0", "1", "0", "1", "1", "1", "1", "1", "1"}));
    if (c.columns == 18) {
        EXPECT_EQ(column(rows, 16),
                  (std::vector<std::string>{"1", "2", "3", "4", "5", "6", "7", "8", "9"}));
        EXPECT_EQ(column(rows, 13), c.types);
        EXPECT_EQ(rows[0][12], Cell("nextval('" + table + "_id_seq'::regclass)"));
        EXPECT_EQ(rows[1][12], Cell("'x'::character varying"));
        EXPECT_EQ(rows[3][12], Cell());
    }

    std::vector<std::string> cached;
    for (const auto& entry : session.connection.getColumnsForTable("public", table, true, false)) {
        cached.push_back(entry.column + ":" + std::to_string(entry.type));
    }
    EXPECT_EQ(cached, c.cached);
    EXPECT_EQ(session.connection.tableSchema(upper), "public");
}

INSTANTIATE_TEST_SUITE_P(ImpersonatorCatalogPostgres, LayoutTest, ::testing::ValuesIn(kLayoutCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A quote in a pattern is part of the name, not of the query.
TEST(ImpersonatorCatalogPostgres, QuoteInTheTableName) {
    PostgresSession session;
    ASSERT_TRUE(session.connected) << describe(records(session.connection));
    const std::string table = session.createTable("it's", "a integer, \"b'c\" text");
    const Rows rows = columnsOf(session, table);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(column(rows, 2), (std::vector<std::string>{table, table}));
    EXPECT_EQ(column(rows, 3), (std::vector<std::string>{"a", "b'c"}));

    auto statement = session.statement();
    ASSERT_EQ(statement->columns(nullptr, 0, text("public"), SQL_NTS, text(table), SQL_NTS,
                                 text("b'%"), SQL_NTS),
              SQL_SUCCESS)
        << firstRecord(*statement);
    EXPECT_EQ(readAll(*statement).size(), 1u);
}

// An escaped underscore matches only itself; the cache and the schema map
// get the name without its escapes.
TEST(ImpersonatorCatalogPostgres, EscapedUnderscoreInThePattern) {
    PostgresSession session;
    ASSERT_TRUE(session.connected) << describe(records(session.connection));
    const std::string wanted = session.createTable("u_1", "at time");
    session.createTable("uz1", "at time");
    std::string pattern;
    for (char c : wanted) {
        if (c == '_') {
            pattern += '\\';
        }
        pattern += c;
    }
    const Rows rows = columnsOf(session, pattern);
    EXPECT_EQ(column(rows, 2), std::vector<std::string>{wanted});
    EXPECT_EQ(session.connection.getColumnsForTable("public", wanted, true, false).size(), 1u);
    EXPECT_EQ(session.connection.tableSchema(wanted), "public");
}

// A server that reads backslashes in plain literals as escapes: the escaped
// underscore still matches only itself, and a backslash before a quote
// cannot end the pattern early and turn the rest into query text.
TEST(ImpersonatorCatalogPostgres, PatternsHoldWithoutStandardConformingStrings) {
    PostgresSession session;
    ASSERT_TRUE(session.connected) << describe(records(session.connection));
    const std::string wanted = session.createTable("s_1", "a integer");
    session.createTable("sz1", "a integer");
    session.run("SET standard_conforming_strings = off");
    std::string pattern;
    for (char c : wanted) {
        if (c == '_') {
            pattern += '\\';
        }
        pattern += c;
    }
    EXPECT_EQ(column(columnsOf(session, pattern), 2), std::vector<std::string>{wanted});
    EXPECT_TRUE(columnsOf(session, "\\') or true --", nullptr).empty());
}

struct ForwardedCase {
    const char* name;
    std::size_t nameColumn;  // where the row names the table or column
    const char* expected;    // "" for the table name
    std::function<SQLRETURN(Statement&, const std::string&)> call;
};

const ForwardedCase kForwardedCases[] = {
    {"Tables", 2, "",
     [](Statement& s, const std::string& t) {
         return s.tables(nullptr, 0, nullptr, 0, text(t), SQL_NTS, nullptr, 0);
     }},
    {"PrimaryKeys", 3, "id",
     [](Statement& s, const std::string& t) {
         return s.primaryKeys(nullptr, 0, text("public"), SQL_NTS, text(t), SQL_NTS);
     }},
    {"Statistics", 8, "id",
     [](Statement& s, const std::string& t) {
         return s.statistics(nullptr, 0, text("public"), SQL_NTS, text(t), SQL_NTS, SQL_INDEX_ALL,
                             SQL_QUICK);
     }},
    {"SpecialColumns", 1, "xmin",
     [](Statement& s, const std::string& t) {
         return s.specialColumns(SQL_ROWVER, nullptr, 0, text("public"), SQL_NTS, text(t), SQL_NTS,
                                 SQL_SCOPE_SESSION, SQL_NULLABLE);
     }},
    {"ColumnPrivileges", 3, "id",
     [](Statement& s, const std::string& t) {
         return s.columnPrivileges(nullptr, 0, nullptr, 0, text(t), SQL_NTS, text("%"), SQL_NTS);
     }},
};

class ForwardedTest : public ::testing::TestWithParam<ForwardedCase> {};

// The adapted driver's rows, also right after a locally answered
// "describe " left a result of its own on the statement.
TEST_P(ForwardedTest, AdaptedDriverAnswers) {
    const ForwardedCase& c = GetParam();
    PostgresSession session;
    ASSERT_TRUE(session.connected) << describe(records(session.connection));
    const std::string table = session.createTable("fwd", "id integer primary key, v text");
    const std::string expected = *c.expected == '\0' ? table : c.expected;
    for (const bool afterDescribe : {false, true}) {
        SCOPED_TRACE(afterDescribe ? "after describe" : "fresh statement");
        auto statement = session.statement();
        if (afterDescribe) {
            ASSERT_EQ(statement->execDirect(text("describe " + table), SQL_NTS), SQL_SUCCESS)
                << firstRecord(*statement);
        }
        ASSERT_EQ(c.call(*statement, table), SQL_SUCCESS) << firstRecord(*statement);
        const Rows rows = readAll(*statement);
        const auto names = column(rows, c.nameColumn);
        EXPECT_NE(std::find(names.begin(), names.end(), expected), names.end())
            << "rows: " << rows.size();
    }
}

INSTANTIATE_TEST_SUITE_P(ImpersonatorCatalogPostgres, ForwardedTest,
                         ::testing::ValuesIn(kForwardedCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Once the server is gone the connection counts as lost, and catalog calls
// are refused with 08S01 and no text of the driver's.
TEST(ImpersonatorCatalogPostgres, TerminatedBackendEndsInCommunicationFailure) {
    PostgresSession victim;
    PostgresSession killer;
    ASSERT_TRUE(victim.connected && killer.connected);

    auto statement = victim.statement();
    ASSERT_EQ(statement->execDirect(text("SELECT pg_backend_pid()"), SQL_NTS), SQL_SUCCESS);
    const Rows pid = readAll(*statement);
    ASSERT_EQ(pid.size(), 1u);
    ASSERT_EQ(statement->freeStmt(SQL_CLOSE), SQL_SUCCESS);
    killer.run("SELECT pg_terminate_backend(" + pid[0][0].value_or("0") + ")");

    for (int attempt = 0; attempt < 3 && victim.connection.isConnected(); ++attempt) {
        EXPECT_EQ(statement->tables(nullptr, 0, nullptr, 0, text("%"), SQL_NTS, nullptr, 0),
                  SQL_ERROR);
    }
    ASSERT_FALSE(victim.connection.isConnected());
    EXPECT_EQ(statement->tables(nullptr, 0, nullptr, 0, text("%"), SQL_NTS, nullptr, 0), SQL_ERROR);
    ASSERT_EQ(statement->diagnostics().recordCount(), 1u);
    SQLINTEGER native = -1;
    char state[6] = {};
    statement->diagnostics().getDiagField(1, SQL_DIAG_SQLSTATE, state, sizeof state, nullptr);
    statement->diagnostics().getDiagField(1, SQL_DIAG_NATIVE, &native, 0, nullptr);
    EXPECT_STREQ(state, "08S01");
    EXPECT_EQ(native, 0);
    // An empty message reads as the state's own text.
    char message[512] = {};
    statement->diagnostics().getDiagField(1, SQL_DIAG_MESSAGE_TEXT, message, sizeof message,
                                          nullptr);
    EXPECT_STREQ(message, "Communication link failure");
}

}  // namespace
