// Statements the MySQL face answers itself, on the DB2 stand-in: the
// identity queries per database (read from the stand-in's journal), the
// description's Default and Extra cells, LAST_INSERT_ID() from the identity
// function, and scrolling an answer in rowsets.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "driver/adapter/MySQLImpersonatorStatement.h"
#include "driver/adapter/TarvexConnection.h"
#include "tests/adapter/RepeaterTestSupport.h"
#include "tests/support/SevrinJournalText.h"

using namespace repeater_test;

namespace {

// A TarvexConnection on the stand-in, run through `commands` first, and
// one statement on it.
struct Session {
    explicit Session(const std::vector<std::string>& commands = {}) {
        for (const std::string& command : commands) {
            const auto blank = command.find(' ');
            dsns.library.control(command.substr(0, blank),
                                 blank == std::string::npos ? "" : command.substr(blank + 1));
        }
        EXPECT_EQ(connection.connectStrings("Tarvex", "u", "p"), SQL_SUCCESS)
            << describe(records(connection));
        statement.reset(dynamic_cast<MySQLImpersonatorStatement*>(connection.createStatement()));
        dsns.library.clearJournal();
    }
    ~Session() {
        if (statement) {
            statement->freeStmt(SQL_DROP);
        }
    }
    SQLRETURN run(const std::string& text) { return statement->execDirect(sqlText(text), SQL_NTS); }
    std::vector<std::string> executed() const { return journalTexts(dsns.calls("SQLExecDirect")); }

    SevrinDsns dsns;
    RecordingEnvironment environment{true};
    TarvexConnection connection{&environment};
    std::unique_ptr<MySQLImpersonatorStatement> statement;
};

using Cells = std::vector<std::optional<std::string>>;

// Every row of the statement's result, read with SQLGetData.
std::vector<Cells> readAll(Statement& statement) {
    SQLSMALLINT columns = 0;
    EXPECT_EQ(statement.numResultCols(&columns), SQL_SUCCESS);
    std::vector<Cells> rows;
    while (statement.fetch() == SQL_SUCCESS) {
        Cells row;
        for (SQLUSMALLINT column = 1; column <= columns; ++column) {
            char buffer[1024] = {};
            SQLLEN length = 0;
            EXPECT_EQ(statement.getData(column, SQL_C_CHAR, buffer, sizeof buffer, &length),
                      SQL_SUCCESS);
            row.push_back(length == SQL_NULL_DATA ? std::nullopt
                                                  : std::optional<std::string>(buffer));
        }
        rows.push_back(row);
    }
    return rows;
}

std::vector<std::string> columnNames(Statement& statement) {
    SQLSMALLINT count = 0;
    statement.numResultCols(&count);
    std::vector<std::string> names;
    for (SQLUSMALLINT column = 1; column <= count; ++column) {
        SQLCHAR name[64] = {};
        SQLSMALLINT type = 0;
        statement.describeCol(column, name, sizeof name, nullptr, &type, nullptr, nullptr, nullptr);
        EXPECT_EQ(type, SQL_VARCHAR);
        names.emplace_back(reinterpret_cast<const char*>(name));
    }
    return names;
}

const std::vector<std::string> kDescribeHeader = {"Field", "Type",    "Null",
                                                  "Key",   "Default", "Extra"};

// Commands answering SQLColumns for `table` with one column per entry:
// name, type name, COLUMN_DEF ("\N" for NULL), IS_NULLABLE.
struct CatalogColumn {
    std::string name;
    std::string typeName;
    std::string columnDef;
    std::string isNullable;
};

std::vector<std::string> columnsAnswer(const std::string& table,
                                       const std::vector<CatalogColumn>& columns) {
    std::vector<std::string> commands = {"catalog SQLColumns|" + table};
    int position = 0;
    for (const CatalogColumn& c : columns) {
        ++position;
        const bool isInteger = c.typeName == "INTEGER";
        commands.push_back("row \\N|S1|" + table + "|" + c.name + "|" +
                           (isInteger ? "4|INTEGER|10|4|0|10|" : "12|VARCHAR|40|40|\\N|\\N|") +
                           (c.isNullable == "YES" ? "1" : "0") + "|\\N|" + c.columnDef + "|" +
                           (isInteger ? "4" : "12") + "|\\N|" + (isInteger ? "\\N" : "40") + "|" +
                           std::to_string(position) + "|" + c.isNullable);
    }
    return commands;
}

Cells describeRow(const std::string& field, const std::string& type, const std::string& null,
                  const std::string& defaultValue, const std::string& extra) {
    return {field, type, null, std::string(), defaultValue, extra};
}

// --- Identity columns per database --------------------------------------------------

struct IdentityCase {
    const char* name;
    std::vector<std::string> setup;  // identity and info commands
    // The identity query as it reaches the database, its bare names quoted
    // by the statement's rewriting; "" for none.
    const char* query;
    // The schema the catalog is asked for.
    const char* schema = "%";
};

const IdentityCase kIdentityCases[] = {
    {"Db2Luw",
     {"identity luw"},
     "SELECT \"COLNAME\" FROM \"SYSCAT\".\"COLUMNS\" WHERE \"IDENTITY\"='Y' AND "
     "\"TABNAME\"='ORD''ERS'"},
    {"Db2400",
     {"identity 400"},
     "SELECT \"COLUMN_NAME\" FROM \"QSYS2\".\"SYSCOLUMNS\" WHERE \"IDENTITY_GENERATION\" IS "
     "NOT NULL AND \"TABLE_NAME\" = 'ORD''ERS'"},
    // Identity columns came with version 10: nothing is asked before.
    {"PostgresNine",
     {"info SQL_DBMS_NAME|PostgreSQL", "info SQL_DBMS_VER|09.06.0000", "result *",
      "column nspname|VARCHAR", "row S1"},
     "",
     "S1"},
    {"OtherDatabase", {"info SQL_DBMS_NAME|Informix"}, ""},
};

class IdentityTest : public ::testing::TestWithParam<IdentityCase> {};

// The identity query names the table with its quote doubled, and only the
// columns it returns are auto_increment.
TEST_P(IdentityTest, MarksTheColumnsTheIdentityQueryNames) {
    const IdentityCase& c = GetParam();
    std::vector<std::string> commands = c.setup;
    const std::string query = c.query;
    if (!query.empty()) {
        for (const char* line : {"column COLNAME|VARCHAR", "row ID"}) {
            commands.emplace_back(line);
        }
        commands.insert(commands.end() - 2, "result *");
    }
    for (const std::string& line : columnsAnswer(
             "ORD'ERS", {{"ID", "INTEGER", "\\N", "NO"}, {"NOTE", "VARCHAR", "\\N", "YES"}})) {
        commands.push_back(line);
    }
    Session session(commands);
    ASSERT_EQ(session.run("describe `ORD'ERS`"), SQL_SUCCESS);

    const std::vector<std::string> expectedTexts =
        query.empty() ? std::vector<std::string>{} : std::vector<std::string>{query};
    std::vector<std::string> texts = session.executed();
    // Where PostgreSQL finds the table is asked of every version.
    std::erase_if(texts, [](const std::string& text) {
        return text.find("current_schemas(true)") != std::string::npos;
    });
    EXPECT_EQ(texts, expectedTexts);
    EXPECT_EQ(columnNames(*session.statement), kDescribeHeader);
    const std::string identityExtra = query.empty() ? "" : "auto_increment";
    const std::vector<Cells> expected = {describeRow("ID", "INTEGER", "NO", "", identityExtra),
                                         describeRow("NOTE", "VARCHAR", "YES", "", "")};
    EXPECT_EQ(readAll(*session.statement), expected);
    EXPECT_TRUE(session.environment.traced(std::string("// describeTable schema: ") + c.schema));
    EXPECT_TRUE(session.environment.traced("// describeTable row: | ID | INTEGER | NO |  |  | " +
                                           identityExtra + " | "));
}

INSTANTIATE_TEST_SUITE_P(LocalAnswers, IdentityTest, ::testing::ValuesIn(kIdentityCases),
                         [](const auto& info) { return std::string(info.param.name); });

// On PostgreSQL the name goes into an E'...' literal with its backslashes
// doubled too: a server without standard_conforming_strings would otherwise
// read a backslash before the quote as ending the name early.
TEST(LocalAnswersDescribe, PostgresQueriesKeepBackslashesInTheName) {
    Session session({"info SQL_DBMS_NAME|PostgreSQL", "info SQL_DBMS_VER|15.04", "result *",
                     "column nspname|VARCHAR", "row S\\\\1"});
    session.run("describe `a\\b'c\\`");
    const std::vector<std::string> texts = session.executed();
    const auto query = [&texts](const char* word) {
        const auto found = std::find_if(
            texts.begin(), texts.end(),
            [word](const std::string& text) { return text.find(word) != std::string::npos; });
        return found == texts.end() ? ::testing::PrintToString(texts) : *found;
    };
    const std::string lookup = query("current_schemas");
    EXPECT_NE(lookup.find(" = E'a\\\\b''c\\\\' "), std::string::npos) << lookup;
    // The identity query looks in the schema the server named.
    const std::string identity = query("attidentity");
    EXPECT_NE(identity.find(" = E'a\\\\b''c\\\\' "), std::string::npos) << identity;
    EXPECT_NE(identity.find("nspname\" = E'S\\\\1')"), std::string::npos) << identity;
}

// A qualified name on DB2: the identity query looks in that schema, and of
// the catalog's rows only the table's own are described, not those of
// tables that the name matches as a pattern or of other schemas.
TEST(LocalAnswersDescribe, QualifiedNameOnDb2) {
    std::vector<std::string> commands = {"identity luw", "result *", "column COLNAME|VARCHAR",
                                         "row ID"};
    const std::vector<std::string> ab = columnsAnswer("A_B", {{"ID", "INTEGER", "\\N", "NO"}});
    std::string otherSchema = ab[1];
    commands.insert(commands.end(),
                    {ab[0], ab[1], otherSchema.replace(ab[1].find("|S1|"), 4, "|S2|"),
                     columnsAnswer("AXB", {{"ID", "INTEGER", "\\N", "NO"}})[1]});
    Session session(commands);
    ASSERT_EQ(session.run("describe S1.A_B;"), SQL_SUCCESS);
    EXPECT_EQ(readAll(*session.statement),
              std::vector<Cells>{describeRow("ID", "INTEGER", "NO", "", "auto_increment")});
    EXPECT_EQ(
        session.executed(),
        std::vector<std::string>{"SELECT \"COLNAME\" FROM \"SYSCAT\".\"COLUMNS\" WHERE "
                                 "\"IDENTITY\"='Y' AND \"TABNAME\"='A_B' AND \"TABSCHEMA\"='S1'"});
}

// The identity list compares names exactly: a catalog name in another
// letter case is no identity column.
TEST(LocalAnswersDescribe, IdentityNamesCompareWithCase) {
    Session session({"result *", "column COLNAME|VARCHAR", "row id",
                     columnsAnswer("T", {{"ID", "INTEGER", "\\N", "NO"}})[0],
                     columnsAnswer("T", {{"ID", "INTEGER", "\\N", "NO"}})[1]});
    ASSERT_EQ(session.run("describe `T`"), SQL_SUCCESS);
    EXPECT_EQ(readAll(*session.statement),
              std::vector<Cells>{describeRow("ID", "INTEGER", "NO", "", "")});
}

// --- Default and Extra ------------------------------------------------------------------

struct DefaultCase {
    const char* name;
    std::string columnDef;  // "\N" for NULL
    const char* shown;
    const char* extra;  // on a PostgreSQL source
};

const DefaultCase kDefaultCases[] = {
    {"Null", "\\N", "", ""},
    {"Number", "42", "42", ""},
    {"QuotedWithCast", "'abc'::character varying", "abc", ""},
    {"DoubledQuoteInside", "'it''s'::text", "it's", ""},
    {"OnlyDoubledQuotes", "''''", "'", ""},
    {"Unterminated", "'open end", "open end", ""},
    {"EmptyLiteral", "''::text", "", ""},
    {"Sequence", "nextval('t_id_seq'::regclass)", "nextval('t_id_seq'::regclass)",
     "auto_increment"},
    {"SequenceInCapitals", "NEXTVAL('S')", "NEXTVAL('S')", "auto_increment"},
    // Only a sequence call is an auto-increment default, not text that
    // spells one.
    {"LiteralSpellingASequence", "'nextval(x)'::text", "nextval(x)", ""},
};

class DefaultTest : public ::testing::TestWithParam<DefaultCase> {};

TEST_P(DefaultTest, ShowsTheDefaultAsMySqlDoes) {
    const DefaultCase& c = GetParam();
    for (const bool postgres : {true, false}) {
        std::vector<std::string> commands;
        if (postgres) {
            // The schema the server finds the table in.
            commands = {"info SQL_DBMS_NAME|PostgreSQL", "info SQL_DBMS_VER|9.6.0", "result *",
                        "column nspname|VARCHAR", "row S1"};
        }
        for (const std::string& line : columnsAnswer("T", {{"C", "VARCHAR", c.columnDef, "YES"}})) {
            commands.push_back(line);
        }
        Session session(commands);
        ASSERT_EQ(session.run("describe `T`"), SQL_SUCCESS);
        // Sequences are PostgreSQL's: on DB2 no default makes a column one.
        const std::vector<Cells> expected = {
            describeRow("C", "VARCHAR", "YES", c.shown, postgres ? c.extra : "")};
        EXPECT_EQ(readAll(*session.statement), expected) << (postgres ? "PostgreSQL" : "DB2");
    }
}

INSTANTIATE_TEST_SUITE_P(LocalAnswers, DefaultTest, ::testing::ValuesIn(kDefaultCases),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Empty and failing descriptions -----------------------------------------------------------

// No name is MySQL's syntax error; the catalog is not asked.
TEST(LocalAnswersDescribe, EmptyNameIsASyntaxError) {
    Session session(columnsAnswer("X", {{"C", "VARCHAR", "\\N", "YES"}}));
    ASSERT_EQ(session.run("describe  ;"), SQL_ERROR);
    SQLCHAR state[6] = {};
    SQLINTEGER native = 0;
    session.statement->getDiagRec(1, state, &native, nullptr, 0, nullptr);
    EXPECT_EQ(reinterpret_cast<char*>(state) + std::to_string(native), "420001064");
    EXPECT_EQ(columnNames(*session.statement), kDescribeHeader);
    EXPECT_EQ(session.statement->fetch(), SQL_NO_DATA);
    EXPECT_TRUE(session.dsns.calls("SQLColumns").empty());
    EXPECT_TRUE(session.executed().empty());
}

// A failing catalog call is passed on with its reason; the result is there.
TEST(LocalAnswersDescribe, CatalogFailureKeepsAnEmptyResult) {
    Session session({"fail SQLColumns|HY000|-99|catalog refused"});
    EXPECT_EQ(session.run("describe `T`"), SQL_ERROR);
    EXPECT_EQ(session.statement->diagnostics().recordCount(), 1u);
    EXPECT_EQ(columnNames(*session.statement), kDescribeHeader);
    EXPECT_EQ(session.statement->fetch(), SQL_NO_DATA);
}

// Describing again while the last answer is open posts nothing: the
// answer's cursor settings are not refused as attribute changes.
TEST(LocalAnswersDescribe, RepeatedAnswerPostsNoRecords) {
    Session session(columnsAnswer("T", {{"C", "VARCHAR", "\\N", "YES"}}));
    ASSERT_EQ(session.run("describe `T`"), SQL_SUCCESS);
    ASSERT_EQ(session.statement->fetch(), SQL_SUCCESS);
    for (const char* text : {"describe `T`", "SELECT LAST_INSERT_ID()"}) {
        const SQLRETURN rc = session.run(text);
        EXPECT_TRUE(rc == SQL_SUCCESS || rc == SQL_ERROR) << text;
        EXPECT_NE(rc, SQL_SUCCESS_WITH_INFO) << text;
        SQLCHAR state[6] = {};
        EXPECT_EQ(session.statement->diagnostics().recordCount(), rc == SQL_ERROR ? 1u : 0u)
            << text << " "
            << (session.statement->getDiagRec(1, state, nullptr, nullptr, 0, nullptr),
                reinterpret_cast<const char*>(state));
    }
}

// --- Reading an answer in rowsets --------------------------------------------------------------

std::vector<std::string> fiveColumns() {
    return columnsAnswer("T", {{"A", "VARCHAR", "\\N", "YES"},
                               {"B", "VARCHAR", "\\N", "YES"},
                               {"C", "VARCHAR", "\\N", "YES"},
                               {"D", "VARCHAR", "\\N", "YES"},
                               {"E", "VARCHAR", "\\N", "YES"}});
}

TEST(LocalAnswersRowsets, ExtendedFetchAndScrolling) {
    Session session(fiveColumns());
    ASSERT_EQ(session.run("describe `T`"), SQL_SUCCESS);
    ASSERT_EQ(session.statement->setStmtAttr(SQL_ROWSET_SIZE, reinterpret_cast<SQLPOINTER>(4), 0),
              SQL_SUCCESS);
    char fields[4][16] = {};
    SQLLEN lengths[4] = {};
    ASSERT_EQ(session.statement->bindCol(1, SQL_C_CHAR, fields, sizeof fields[0], lengths),
              SQL_SUCCESS);
    SQLULEN fetched = 0;
    SQLUSMALLINT status[4] = {};
    ASSERT_EQ(session.statement->extendedFetch(SQL_FETCH_NEXT, 0, &fetched, status), SQL_SUCCESS);
    EXPECT_EQ(fetched, 4u);
    EXPECT_STREQ(fields[3], "D");
    // The answer is a static cursor: it scrolls.
    ASSERT_EQ(session.statement->extendedFetch(SQL_FETCH_LAST, 0, &fetched, status), SQL_SUCCESS);
    EXPECT_EQ(fetched, 4u);
    EXPECT_STREQ(fields[0], "B");
    EXPECT_STREQ(fields[3], "E");
}

// --- LAST_INSERT_ID() -----------------------------------------------------------------------

struct LastIdCase {
    const char* name;
    std::vector<std::string> setup;
    const char* query;  // what reaches the stand-in, "" for nothing
    SQLRETURN rc;
    std::vector<Cells> rows;
    const char* state;  // the statement's own record, "" for none
};

const char* const kIdentityFunction =
    "SELECT \"IDENTITY_VAL_LOCAL\"() AS VAL FROM \"SYSIBM\".\"SYSDUMMY1\"";

const LastIdCase kLastIdCases[] = {
    {"Db2Luw",
     {"identity luw", "result *", "column VAL|DECIMAL", "row 17"},
     kIdentityFunction,
     SQL_SUCCESS,
     {{"17"}},
     ""},
    {"Db2400",
     {"identity 400", "result *", "column VAL|DECIMAL", "row 5"},
     kIdentityFunction,
     SQL_SUCCESS,
     {{"5"}},
     ""},
    // Nothing generated yet: one row, an empty text rather than NULL.
    {"NullIdentity",
     {"result *", "column VAL|DECIMAL", "row \\N"},
     kIdentityFunction,
     SQL_SUCCESS,
     {{""}},
     ""},
    // The query's failure comes with the adapted driver's record.
    {"QueryFails",
     {"result *", "error 42000|-1|no identity"},
     kIdentityFunction,
     SQL_ERROR,
     {},
     "42000"},
    {"OtherDatabase", {"info SQL_DBMS_NAME|Informix"}, "", SQL_ERROR, {}, "HYC00"},
};

class LastIdTest : public ::testing::TestWithParam<LastIdCase> {};

TEST_P(LastIdTest, AnswersOneColumnFromTheIdentityFunction) {
    const LastIdCase& c = GetParam();
    Session session(c.setup);
    EXPECT_EQ(session.run("SELECT LAST_INSERT_ID() AS id"), c.rc);
    // Read first: the calls that read the result clear the records.
    SQLCHAR state[6] = {};
    const SQLRETURN diag = session.statement->getDiagRec(1, state, nullptr, nullptr, 0, nullptr);
    if (std::strlen(c.state) == 0) {
        EXPECT_EQ(diag, SQL_NO_DATA) << state;
    } else {
        EXPECT_STREQ(reinterpret_cast<const char*>(state), c.state);
    }
    const std::string query = c.query;
    EXPECT_EQ(session.executed(),
              query.empty() ? std::vector<std::string>{} : std::vector<std::string>{query});
    EXPECT_EQ(columnNames(*session.statement), std::vector<std::string>{"LAST_INSERT_ID()"});
    EXPECT_EQ(readAll(*session.statement), c.rows);
}

INSTANTIATE_TEST_SUITE_P(LocalAnswers, LastIdTest, ::testing::ValuesIn(kLastIdCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
