// Catalog calls of the MySQL face on the DB2 stand-in: what reaches the
// adapted driver, the rows SQLColumns builds and the types it revises, the
// column-type cache it fills, and how failures come back. A stand-in that
// calls itself PostgreSQL receives the catalog query instead.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "driver/adapter/MySQLImpersonatorConnection.h"
#include "driver/adapter/TarvexConnection.h"
#include "driver/core/Statement.h"
#include "tests/adapter/RepeaterTestSupport.h"

using namespace repeater_test;

namespace {

// ODBC 3.80 applications; iODBC's headers have no name for it.
constexpr SQLUINTEGER kOdbc380 = 380;

using Cell = std::optional<std::string>;
using Rows = std::vector<std::vector<Cell>>;

// A connected impersonating connection on the stand-in, run through
// `commands` first, and one statement of it.
struct Session {
    explicit Session(const std::vector<std::string>& commands = {},
                     SQLUINTEGER odbcVersion = SQL_OV_ODBC3)
        : environment(true) {
        environment.setAttrOdbcVersion(odbcVersion);
        for (const std::string& command : commands) {
            const auto blank = command.find(' ');
            dsns.library.control(command.substr(0, blank),
                                 blank == std::string::npos ? "" : command.substr(blank + 1));
        }
        connection = std::make_unique<TarvexConnection>(&environment);
        EXPECT_EQ(connection->connectStrings("Tarvex", "u", "p"), SQL_SUCCESS)
            << describe(records(*connection));
        statement.reset(connection->createStatement());
        dsns.library.clearJournal();
        environment.clearTrace();
    }
    ~Session() {
        statement.reset();
        connection.reset();
    }
    std::vector<std::string> calls(const std::string& function) const {
        return dsns.calls(function);
    }

    SevrinDsns dsns;
    RecordingEnvironment environment;
    std::unique_ptr<MySQLImpersonatorConnection> connection;
    std::unique_ptr<Statement> statement;
};

const SQLCHAR* text(const char* value) {
    return reinterpret_cast<const SQLCHAR*>(value);
}

// The statement's own records as "STATE native message".
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

// Every row of the statement's current result, as the application reads it.
Rows readAll(Statement& statement) {
    Rows rows;
    SQLSMALLINT count = 0;
    EXPECT_EQ(statement.numResultCols(&count), SQL_SUCCESS);
    while (SQL_SUCCEEDED(statement.fetch())) {
        std::vector<Cell> row;
        for (SQLUSMALLINT column = 1; column <= count; ++column) {
            char buffer[4096] = {};
            SQLLEN length = 0;
            statement.getData(column, SQL_C_CHAR, buffer, sizeof buffer, &length);
            row.push_back(length == SQL_NULL_DATA ? Cell() : Cell(buffer));
        }
        rows.push_back(row);
    }
    return rows;
}

// A journal item's value: a quoted text without its quotes and escapes,
// or the bare word.
std::string item(const std::string& line, const std::string& key) {
    const auto start = line.find(" " + key + "=");
    if (start == std::string::npos) {
        return "<none>";
    }
    auto i = start + key.size() + 2;
    if (line[i] != '"') {
        return line.substr(i, line.find(' ', i) - i);
    }
    std::string value;
    for (++i; i < line.size() && line[i] != '"'; ++i) {
        if (line[i] == '\\' && i + 1 < line.size()) {
            ++i;
        }
        value += line[i];
    }
    return value;
}

std::vector<std::string> names(const std::vector<MySQLImpersonatorConnection::ColumnType>& list) {
    std::vector<std::string> out;
    for (const auto& entry : list) {
        out.push_back(entry.schema + "." + entry.table + "." + entry.column + ":" +
                      std::to_string(entry.type));
    }
    return out;
}

SQLRETURN columnsOf(Statement& statement, const char* schema, const char* table) {
    return statement.columns(nullptr, 0, schema != nullptr ? text(schema) : nullptr, SQL_NTS,
                             text(table), SQL_NTS, nullptr, 0);
}

// --- The common frame ----------------------------------------------------------------------

struct FrameCase {
    const char* name;
    const char* function;
    const char* logged;
    std::function<SQLRETURN(Statement&)> call;
};

const FrameCase kFrameCases[] = {
    {"Tables", "SQLTables", "SQLTables: ",
     [](Statement& s) {
         return s.tables(nullptr, 0, nullptr, 0, text("EMP"), SQL_NTS, text("TABLE"), SQL_NTS);
     }},
    {"Columns", "SQLColumns", "SQLColumns: EMP",
     [](Statement& s) { return s.columns(nullptr, 0, nullptr, 0, text("EMP"), 3, nullptr, 0); }},
    {"Statistics", "SQLStatistics", "SQLStatistics: EMP",
     [](Statement& s) {
         return s.statistics(nullptr, 0, nullptr, 0, text("EMPLOYEE"), 3, SQL_INDEX_ALL, SQL_QUICK);
     }},
    {"SpecialColumns", "SQLSpecialColumns", "SQLSpecialColumns: EMP",
     [](Statement& s) {
         return s.specialColumns(SQL_BEST_ROWID, nullptr, 0, nullptr, 0, text("EMP"), SQL_NTS,
                                 SQL_SCOPE_SESSION, SQL_NULLABLE);
     }},
    {"PrimaryKeys", "SQLPrimaryKeys", "SQLPrimaryKeys: EMP",
     [](Statement& s) { return s.primaryKeys(nullptr, 0, nullptr, 0, text("EMP"), SQL_NTS); }},
    {"ColumnPrivileges", "SQLColumnPrivileges", "SQLColumnPrivileges: EMP",
     [](Statement& s) {
         return s.columnPrivileges(nullptr, 0, nullptr, 0, text("EMP"), SQL_NTS, text("%"),
                                   SQL_NTS);
     }},
};

class FrameTest : public ::testing::TestWithParam<FrameCase> {};

// Success is logged and keeps the driver's code; a refusal is re-posted
// without the driver's bracketed prefixes, not logged; either way the
// receive encoding the connection had comes back.
TEST_P(FrameTest, ReachesTheDriverLogsAndRestoresTheEncoding) {
    const FrameCase& c = GetParam();
    for (const bool refused : {false, true}) {
        Session session({refused ? std::string("fail ") + c.function +
                                       "|42S02|-204|[Sevrin][CLI Driver][DB2] SQL0204N no table"
                                 : "journal-clear"});
        const auto log = session.dsns.sandbox.root() / "query.log";
        session.connection->setQueryLog(0, log.string());
        session.connection->setReceiveEncodingId(kEncodingMacGreek);
        ASSERT_NE(session.connection->databaseEncoding(), kEncodingMacGreek);

        EXPECT_EQ(c.call(*session.statement), refused ? SQL_ERROR : SQL_SUCCESS);
        EXPECT_EQ(session.connection->receiveEncoding(), kEncodingMacGreek);
        const auto calls = session.calls(c.function);
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(item(calls[0], "table"), "EMP");
        if (refused) {
            EXPECT_EQ(ownRecords(*session.statement),
                      std::vector<std::string>{"42S02 -204 SQL0204N no table"});
            EXPECT_FALSE(std::filesystem::exists(log));
            continue;
        }
        EXPECT_TRUE(ownRecords(*session.statement).empty());
        const auto logged = lines(OdbcSandbox::readFile(log));
        ASSERT_EQ(logged.size(), 1u);
        EXPECT_EQ(logged[0].substr(logged[0].rfind('\t') + 1), c.logged);
    }
}

// A lost connection is refused before anything reaches the driver.
TEST_P(FrameTest, LostConnectionIsRefusedWithAnEmptyMessage) {
    const FrameCase& c = GetParam();
    Session session;
    session.connection->setConnected(false);
    session.connection->setReceiveEncodingId(kEncodingMacGreek);
    session.dsns.library.clearJournal();
    EXPECT_EQ(c.call(*session.statement), SQL_ERROR);
    EXPECT_EQ(ownRecords(*session.statement),
              std::vector<std::string>{"08S01 0 Communication link failure"});
    EXPECT_TRUE(session.calls(c.function).empty());
    EXPECT_EQ(session.connection->receiveEncoding(), kEncodingMacGreek);
}

INSTANTIATE_TEST_SUITE_P(ImpersonatorCatalog, FrameTest, ::testing::ValuesIn(kFrameCases),
                         [](const auto& info) { return std::string(info.param.name); });

// 08S01 from the driver marks the connection lost: the next call is
// refused without reaching it.
TEST(ImpersonatorCatalog, CommunicationFailureMarksTheConnectionLost) {
    Session session({"fail SQLTables|08S01|-30081|[Sevrin][CLI Driver] SQL30081N link down"});
    EXPECT_EQ(session.statement->tables(nullptr, 0, nullptr, 0, text("%"), SQL_NTS, nullptr, 0),
              SQL_ERROR);
    EXPECT_EQ(ownRecords(*session.statement),
              std::vector<std::string>{"08S01 -30081 SQL30081N link down"});
    EXPECT_FALSE(session.connection->isConnected());
    session.dsns.library.clearJournal();
    EXPECT_EQ(session.statement->tables(nullptr, 0, nullptr, 0, text("%"), SQL_NTS, nullptr, 0),
              SQL_ERROR);
    EXPECT_EQ(ownRecords(*session.statement),
              std::vector<std::string>{"08S01 0 Communication link failure"});
    EXPECT_TRUE(session.calls("SQLTables").empty());
}

// The type list reaches the driver as terminated text; without one the
// driver is asked for every type.
TEST(ImpersonatorCatalog, TableTypesPassAsTerminatedText) {
    struct Case {
        const SQLCHAR* types;
        SQLSMALLINT length;
        const char* sent;
    };
    const Case cases[] = {
        {nullptr, 0, "null"},
        {text(""), SQL_NTS, ""},
        {text("TABLE,VIEW"), 5, "TABLE"},
        {text("VIEW"), SQL_NTS, "VIEW"},
    };
    for (const Case& c : cases) {
        Session session;
        EXPECT_EQ(session.statement->tables(nullptr, 0, nullptr, 0, text("%"), SQL_NTS, c.types,
                                            c.length),
                  SQL_SUCCESS);
        const auto calls = session.calls("SQLTables");
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(item(calls[0], "types"), c.sent);
    }
}

// Rows left by an earlier SQLColumns must not be served in place of the
// new catalog result.
TEST(ImpersonatorCatalog, EarlierOwnResultGivesWayToTheNewOne) {
    Session session({"catalog SQLColumns", "row \\N|S|EMP|ID|4|INTEGER|10|4|0|10|0",
                     "catalog SQLTables", "row \\N|S|DEPT|TABLE|\\N"});
    ASSERT_EQ(columnsOf(*session.statement, nullptr, "EMP"), SQL_SUCCESS);
    ASSERT_EQ(session.statement->tables(nullptr, 0, nullptr, 0, text("%"), SQL_NTS, nullptr, 0),
              SQL_SUCCESS)
        << ownRecords(*session.statement)[0];
    const Rows rows = readAll(*session.statement);
    ASSERT_EQ(rows.size(), 1u);
    ASSERT_EQ(rows[0].size(), 5u);
    EXPECT_EQ(rows[0][2], Cell("DEPT"));
    EXPECT_EQ(rows[0][3], Cell("TABLE"));
}

// --- SQLColumns through the adapted driver -------------------------------------------------

const std::vector<std::string> kDb2Columns = {
    "catalog SQLColumns|MY_T",
    "row \\N|S1|MY_T|ID|4|INTEGER|10|4|0|10|0|\\N|\\N|4|\\N|\\N|1|NO",
    "row \\N|S1|MY_T|NOTE|-350|clob|1048576|1048576|\\N|\\N|1|\\N|\\N|-350|\\N|1048576|2|YES",
    "row \\N|S1|MY_T|WHEN|93|TIMESTAMP|26|16|6|\\N|1|\\N|CURRENT TIMESTAMP|9|3|\\N|3|YES",
    "row \\N|S1|MY_T|CODE|-95|GRAPHIC|4|8|\\N|\\N|\\N|\\N|\\N|-95|\\N|8|\\N|\\N",
};

// Without a table pattern the adapted driver is asked for every table's
// columns, not for a table with an empty name.
TEST(ImpersonatorCatalog, Db2ColumnsWithoutTablePattern) {
    Session session(kDb2Columns);
    ASSERT_EQ(session.statement->columns(nullptr, 0, text("S1"), SQL_NTS, nullptr, 0, nullptr, 0),
              SQL_SUCCESS);
    const auto calls = session.calls("SQLColumns");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(item(calls[0], "table"), "null");
    EXPECT_EQ(item(calls[0], "schema"), "S1");
}

TEST(ImpersonatorCatalog, Db2ColumnsAreRevisedAndCached) {
    Session session(kDb2Columns);
    ASSERT_EQ(session.statement->columns(text("CAT"), SQL_NTS, text("S1"), SQL_NTS,
                                         text("MY\\_T\\"), SQL_NTS, text("%"), SQL_NTS),
              SQL_SUCCESS);
    const auto calls = session.calls("SQLColumns");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(item(calls[0], "table"), "MY_T");
    EXPECT_EQ(item(calls[0], "catalog"), "CAT");
    EXPECT_EQ(item(calls[0], "schema"), "S1");
    EXPECT_EQ(item(calls[0], "column"), "%");

    const Rows rows = readAll(*session.statement);
    ASSERT_EQ(rows.size(), 4u);
    ASSERT_EQ(rows[0].size(), 18u);
    struct Expected {
        const char* column;
        const char* dataType;
        const char* sqlDataType;
        Cell nullable;
        Cell ordinal;
    };
    const Expected expected[] = {
        {"ID", "4", "4", "0", "1"},
        {"NOTE", "-1", "-1", "1", "2"},
        {"WHEN", "93", "93", "1", "3"},
        {"CODE", "1", "1", "0", "0"},
    };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(expected[i].column);
        EXPECT_EQ(rows[i][3], Cell(expected[i].column));
        EXPECT_EQ(rows[i][4], Cell(expected[i].dataType));
        EXPECT_EQ(rows[i][13], Cell(expected[i].sqlDataType));
        EXPECT_EQ(rows[i][10], expected[i].nullable);
        EXPECT_EQ(rows[i][16], expected[i].ordinal);
    }
    EXPECT_EQ(rows[2][12], Cell("CURRENT TIMESTAMP"));
    EXPECT_EQ(rows[2][14], Cell("3"));
    EXPECT_EQ(rows[1][8], Cell());
    EXPECT_EQ(rows[3][17], Cell());

    EXPECT_EQ(names(session.connection->getColumnsForTable("S1", "MY_T", true, true)),
              (std::vector<std::string>{"S1.MY_T.NOTE:-1", "S1.MY_T.WHEN:93"}));
    EXPECT_EQ(session.connection->tableSchema("MY_T"), "S1");
}

// A new SQLColumns on the table replaces what the last one cached; without
// a schema argument every schema's entries go and no schema is recorded.
TEST(ImpersonatorCatalog, RepeatedColumnsReplaceTheCachedTypes) {
    Session session(kDb2Columns);
    ASSERT_EQ(columnsOf(*session.statement, "S1", "MY_T"), SQL_SUCCESS);
    ASSERT_EQ(columnsOf(*session.statement, "S1", "MY_T"), SQL_SUCCESS);
    EXPECT_EQ(session.connection->getColumnsForTable("", "MY_T", true, true).size(), 2u);

    session.connection->addColumnType("S2", "MY_T", "OLD", SQL_TYPE_TIME);
    ASSERT_EQ(columnsOf(*session.statement, nullptr, "MY_T"), SQL_SUCCESS);
    EXPECT_EQ(names(session.connection->getColumnsForTable("", "MY_T", true, true)),
              (std::vector<std::string>{"S1.MY_T.NOTE:-1", "S1.MY_T.WHEN:93"}));
    EXPECT_EQ(session.connection->tableSchema("MY_T"), "S1");

    ASSERT_EQ(columnsOf(*session.statement, "", "MY_T"), SQL_SUCCESS);
    EXPECT_EQ(session.connection->tableSchema("MY_T"), "");
    EXPECT_TRUE(session.environment.traced("// adding table: MY_T schema: "));
}

TEST(ImpersonatorCatalog, ColumnsRowsAreTraced) {
    Session session(kDb2Columns);
    ASSERT_EQ(columnsOf(*session.statement, "S1", "MY_T"), SQL_SUCCESS);
    EXPECT_TRUE(session.environment.traced("// DBMS: DB2/LINUXX8664 major version: 0"));
    EXPECT_TRUE(session.environment.traced("// adding table: MY_T schema: S1"));
    EXPECT_TRUE(session.environment.traced(
        "// | NULL | S1 | MY_T | CODE | 1 | GRAPHIC | 4 | 8 | -999 | -999 | 0 | NULL | NULL | 1 "
        "| -999 | 8 | 0 | NULL"));
}

struct OutcomeCase {
    const char* name;
    std::vector<std::string> commands;
    SQLRETURN result;
    std::size_t rows;
    std::vector<std::string> records;
};

const OutcomeCase kOutcomeCases[] = {
    {"EmptyResult", {"catalog SQLColumns"}, SQL_SUCCESS, 0, {}},
    {"Refused",
     {"fail SQLColumns|42S02|-204|[Sevrin][CLI Driver][DB2/LINUXX8664] SQL0204N undefined"},
     SQL_ERROR,
     0,
     {"42S02 -204 SQL0204N undefined"}},
    {"MessageWithoutBrackets",
     {"fail SQLColumns|HY000|-1|plain failure"},
     SQL_ERROR,
     0,
     {"HY000 -1 plain failure"}},
    {"FetchErrorKeepsEarlierRows",
     {"catalog SQLColumns", "row \\N|S|T|A|4|INTEGER", "row \\N|S|T|B|4|INTEGER",
      "row \\N|S|T|C|4|INTEGER", "fetch-error 3|HY000|-99|[Sevrin] broken"},
     SQL_ERROR,
     2,
     {}},
};

class OutcomeTest : public ::testing::TestWithParam<OutcomeCase> {};

// Whatever the driver did, the own result stays, with the rows read so far.
TEST_P(OutcomeTest, ColumnsResultAndRecords) {
    const OutcomeCase& c = GetParam();
    Session session(c.commands);
    EXPECT_EQ(columnsOf(*session.statement, "S", "T"), c.result);
    EXPECT_EQ(ownRecords(*session.statement), c.records);
    const Rows rows = readAll(*session.statement);
    EXPECT_EQ(rows.size(), c.rows);
}

INSTANTIATE_TEST_SUITE_P(ImpersonatorCatalog, OutcomeTest, ::testing::ValuesIn(kOutcomeCases),
                         [](const auto& info) { return std::string(info.param.name); });

// --- SQLColumns from the PostgreSQL catalog query ------------------------------------------

struct QueryCase {
    const char* name;
    const char* version;
    SQLUINTEGER odbcVersion;
    bool query;  // false: the driver's SQLColumns
    const char* columnDefault;
    const char* dateCase;
};

const QueryCase kQueryCases[] = {
    {"Version9AsksTheDriver", "09.06.0000", SQL_OV_ODBC3, false, nullptr, nullptr},
    {"VersionNotANumberCountsAsZero", "PostgreSQL 15", SQL_OV_ODBC3, false, nullptr, nullptr},
    {"Version11ReadsAdsrc", "11.05.0000", SQL_OV_ODBC3, true, ", d.adsrc As COLUMN_DEF, ",
     "when 'date' then 91 when 'time' then 92 "},
    {"Version12ReadsTheExpression", "12.00.0000", SQL_OV_ODBC3, true,
     ", pg_get_expr(d.adbin, d.adrelid) As COLUMN_DEF, ", "when 'date' then 91 "},
    {"Odbc2HasTwelveColumns", "15.04", SQL_OV_ODBC2, true, nullptr,
     "when 'date' then 9 when 'time' then 10 when 'timetz' then 1 when 'timestamp' then 11 "},
    {"Odbc380IsOdbc3", "15.04", kOdbc380, true, ", pg_get_expr(d.adbin, d.adrelid) As COLUMN_DEF, ",
     "when 'date' then 91 "},
};

class QueryTest : public ::testing::TestWithParam<QueryCase> {};

TEST_P(QueryTest, ChoosesTheCatalogQuery) {
    const QueryCase& c = GetParam();
    Session session({"info SQL_DBMS_NAME|PostgreSQL", std::string("info SQL_DBMS_VER|") + c.version,
                     "info SQL_DATABASE_NAME|o'd\\\\b", "result *", "column TABLE_CAT|VARCHAR"},
                    c.odbcVersion);
    ASSERT_EQ(session.statement->columns(nullptr, 0, text("pub'lic"), SQL_NTS, text("it's\\_t"),
                                         SQL_NTS, text("a'%"), SQL_NTS),
              SQL_SUCCESS);
    const auto executed = session.calls("SQLExecDirect");
    const auto asked = session.calls("SQLColumns");
    if (!c.query) {
        EXPECT_TRUE(executed.empty());
        ASSERT_EQ(asked.size(), 1u);
        EXPECT_EQ(item(asked[0], "table"), "it's_t");
        return;
    }
    EXPECT_TRUE(asked.empty());
    ASSERT_EQ(executed.size(), 1u);
    const std::string query = item(executed[0], "text");
    EXPECT_EQ(query.rfind("select E'o''d\\\\b' As TABLE_CAT, n.nspname As TABLE_SCHEM, ", 0), 0u)
        << query;
    const std::string tail =
        "where 1=1 and lower(n.nspname) like lower(E'pub''lic') and lower(c.relname) like "
        "lower(E'it''s\\\\_t') and lower(a.attname) like lower(E'a''%') order by TABLE_SCHEM, "
        "c.relname, a.attnum";
    ASSERT_GE(query.size(), tail.size());
    EXPECT_EQ(query.substr(query.size() - tail.size()), tail);
    EXPECT_NE(query.find(c.dateCase), std::string::npos);
    const bool odbc3 = c.odbcVersion != SQL_OV_ODBC2;
    EXPECT_EQ(query.find("IS_NULLABLE") != std::string::npos, odbc3);
    for (const char* form : {", d.adsrc As COLUMN_DEF, ", ", pg_get_expr("}) {
        const bool chosen =
            c.columnDefault != nullptr && std::string(c.columnDefault).rfind(form, 0) == 0;
        EXPECT_EQ(query.find(form) != std::string::npos, chosen) << form;
    }
    EXPECT_TRUE(session.environment.traced("// finalized query: " + query));
    EXPECT_EQ(session.connection->tableSchema("it's_t"), "pub'lic");
}

INSTANTIATE_TEST_SUITE_P(ImpersonatorCatalog, QueryTest, ::testing::ValuesIn(kQueryCases),
                         [](const auto& info) { return std::string(info.param.name); });

std::vector<std::string> postgresAnswer(bool odbc3, const std::string& longName) {
    std::vector<std::string> commands = {
        "info SQL_DBMS_NAME|PostgreSQL",
        "info SQL_DBMS_VER|15.04",
        "result *",
        "column TABLE_CAT|VARCHAR",
        "column TABLE_SCHEM|VARCHAR",
        "column TABLE_NAME|VARCHAR",
        "column COLUMN_NAME|VARCHAR|1000",
        "column DATA_TYPE|SMALLINT",
        "column TYPE_NAME|VARCHAR",
        "column COLUMN_SIZE|INTEGER",
        "column BUFFER_LENGTH|INTEGER",
        "column DECIMAL_DIGITS|SMALLINT",
        "column NUM_PREC_RADIX|SMALLINT",
        "column NULLABLE|SMALLINT",
        "column REMARKS|VARCHAR",
    };
    const char* tail = "";
    if (odbc3) {
        for (const char* column :
             {"column COLUMN_DEF|VARCHAR", "column SQL_DATA_TYPE|SMALLINT",
              "column SQL_DATETIME_SUB|SMALLINT", "column CHAR_OCTET_LENGTH|INTEGER",
              "column ORDINAL_POSITION|INTEGER", "column IS_NULLABLE|VARCHAR"}) {
            commands.emplace_back(column);
        }
        tail = "|\\N|1|\\N|0|1|YES";
    }
    const std::string head = "row db|public|t|";
    commands.push_back(head + "z\xC3\xA4hler|1|timetz|6|12|0|0|1|\\N" + tail);
    commands.push_back(head + "Note|-1|text|1073741824|1073741824|0|0|1|\\N" + tail);
    commands.push_back(head + "at|92|time|6|8|0|0|0|\\N" + tail);
    commands.push_back(head + "stamp|93|timestamptz|21|8|0|0|1|\\N" + tail);
    commands.push_back(head + longName + "|4|int4|10|4|0|0|1|\\N" + tail);
    return commands;
}

// Wide column names within their buffer, zone types as wide text, text as
// VARCHAR, time types cached; under ODBC 2 twelve values per row.
TEST(ImpersonatorCatalog, PostgresRowsAreRevised) {
    std::string longName;
    for (int i = 0; i < 300; ++i) {
        longName += "\xC3\xA9";
    }
    std::string cut;
    for (int i = 0; i < 255; ++i) {
        cut += "\xC3\xA9";
    }
    for (const bool odbc3 : {true, false}) {
        SCOPED_TRACE(odbc3 ? "ODBC 3" : "ODBC 2");
        Session session(postgresAnswer(odbc3, longName), odbc3 ? SQL_OV_ODBC3 : SQL_OV_ODBC2);
        ASSERT_EQ(columnsOf(*session.statement, "public", "t"), SQL_SUCCESS);
        // The rows hold the database's UTF-8; read them unconverted.
        ASSERT_EQ(session.connection->databaseEncoding(), kEncodingUtf8);
        session.connection->setReceiveEncodingId(kEncodingUtf8);
        const Rows rows = readAll(*session.statement);
        ASSERT_EQ(rows.size(), 5u);
        ASSERT_EQ(rows[0].size(), odbc3 ? 18u : 12u);
        struct Expected {
            Cell name;
            const char* type;
            const char* size;
            const char* length;
        };
        const Expected expected[] = {
            {"z\xC3\xA4hler", "12", "255", "255"},
            {"Note", "12", "1073741824", "1073741824"},
            {"at", "92", "6", "8"},
            {"stamp", "12", "255", "255"},
            {cut, "4", "10", "4"},
        };
        for (std::size_t i = 0; i < rows.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(rows[i][3], expected[i].name);
            EXPECT_EQ(rows[i][4], Cell(expected[i].type));
            EXPECT_EQ(rows[i][6], Cell(expected[i].size));
            EXPECT_EQ(rows[i][7], Cell(expected[i].length));
            if (odbc3) {
                EXPECT_EQ(rows[i][13], Cell(expected[i].type));
                EXPECT_EQ(rows[i][16], Cell("1"));
            }
        }
        EXPECT_EQ(names(session.connection->getColumnsForTable("public", "t", true, true)),
                  (std::vector<std::string>{"public.t.at:92", "public.t.stamp:93"}));
    }
}

}  // namespace
