// The repeater statement against the private PostgreSQL cluster through
// pemberix.so: bound values written and read back exactly, row counts,
// data at execution, catalog results, and a connection whose server
// backend was terminated.
// ctest-fixture: postgres
// ctest-timeout: 180

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "driver/adapter/ODBCRepeaterStatement.h"
#include "tests/adapter/RepeaterTestSupport.h"
#include "tests/fixtures/PemberixTestSupport.h"

using namespace repeater_test;

namespace {

// Our DSN "Tarvex" naming an adapted DSN on the cluster through
// pemberix.so, and a connected repeater connection on it. The PostgreSQL
// driver keeps what it read of a DSN for the process, so every adapted DSN
// gets a name of its own.
class PostgresSession {
  public:
    PostgresSession() {
        static int serial = 0;
        const std::string adapted = "RepStmt" + std::to_string(++serial);
        settings_ = pemberix_test::clusterSettings();
        pemberix_test::addClusterDsn(sandbox, adapted, settings_);
        sandbox.addDsn("Tarvex", "morvanex.so", {{"DriverDSN", adapted}});
    }

    // A new connection; null (with a test failure) when it cannot connect.
    std::unique_ptr<ODBCRepeaterConnection> connect() {
        auto connection = std::make_unique<ODBCRepeaterConnection>(&environment);
        if (connection->connectStrings("Tarvex", settings_["PGUSER"], "") != SQL_SUCCESS) {
            ADD_FAILURE() << describe(records(*connection));
            return nullptr;
        }
        return connection;
    }

    OdbcSandbox sandbox;
    RecordingEnvironment environment;

  private:
    std::map<std::string, std::string> settings_;
};

std::vector<std::string> ownRecords(Statement& statement) {
    std::vector<std::string> out;
    DiagnosticHeader& area = statement.diagnostics();
    for (SQLSMALLINT n = 1; n <= static_cast<SQLSMALLINT>(area.recordCount()); ++n) {
        char state[6] = {};
        char message[1024] = {};
        area.getDiagField(n, SQL_DIAG_SQLSTATE, state, sizeof state, nullptr);
        area.getDiagField(n, SQL_DIAG_MESSAGE_TEXT, message, sizeof message, nullptr);
        out.push_back(std::string(state) + " " + message);
    }
    return out;
}

// Runs one text and drops its result.
void run(ODBCRepeaterConnection& connection, const std::string& text) {
    ODBCRepeaterStatement statement(&connection);
    ASSERT_TRUE(SQL_SUCCEEDED(statement.execDirect(sqlText(text), SQL_NTS)))
        << text << "\n"
        << (ownRecords(statement).empty() ? "" : ownRecords(statement)[0]);
    statement.freeStmt(SQL_DROP);
}

// A table of its own for each test, dropped afterwards.
class ScratchTable {
  public:
    ScratchTable(ODBCRepeaterConnection& connection, const std::string& columns)
        : connection_(connection),
          name_("repstmt_" + std::to_string(::getpid()) + "_" + std::to_string(++serial_)) {
        run(connection_, "CREATE TABLE " + name_ + " (" + columns + ")");
    }
    ~ScratchTable() {
        if (connection_.isConnected()) {
            run(connection_, "DROP TABLE " + name_);
        }
    }
    const std::string& name() const { return name_; }

  private:
    static inline int serial_ = 0;
    ODBCRepeaterConnection& connection_;
    std::string name_;
};

// Column `column` of the current row as text, nullopt for NULL.
std::optional<std::string> textAt(ODBCRepeaterStatement& statement, SQLUSMALLINT column) {
    char buffer[4096] = {};
    SQLLEN length = 0;
    const SQLRETURN rc = statement.getData(column, SQL_C_CHAR, buffer, sizeof buffer, &length);
    EXPECT_TRUE(SQL_SUCCEEDED(rc)) << "column " << column;
    if (length == SQL_NULL_DATA) {
        return std::nullopt;
    }
    return std::string(buffer);
}

struct Row {
    SQLINTEGER id;
    std::optional<std::string> name;
    std::optional<std::string> note;
};

const std::vector<Row> kRows = {
    {1, "plain", "text"},
    {2, std::nullopt, "name is NULL"},
    {3, "", std::nullopt},
    {4, "it's \"quoted\" \\ here", "\u00e9t\u00e9 \u65e5\u672c"},
    {5, std::string(40, 'w'), std::string(1000, 'n')},
};

// Binds one row's values the way applications bind input: BufferLength 0,
// text terminated, NULL by indicator.
struct BoundRow {
    explicit BoundRow(const Row& row) : id(row.id) {
        name = row.name.value_or("");
        note = row.note.value_or("");
        nameIndicator = row.name ? SQL_NTS : SQL_NULL_DATA;
        noteIndicator = row.note ? SQL_NTS : SQL_NULL_DATA;
    }
    SQLRETURN bind(ODBCRepeaterStatement& statement) {
        SQLRETURN rc = statement.bindParameter(1, SQL_PARAM_INPUT, SQL_C_LONG, SQL_INTEGER, 0, 0,
                                               &id, 0, &idIndicator);
        if (SQL_SUCCEEDED(rc)) {
            rc = statement.bindParameter(2, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 50, 0,
                                         name.data(), 0, &nameIndicator);
        }
        if (SQL_SUCCEEDED(rc)) {
            rc = statement.bindParameter(3, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_LONGVARCHAR, 0, 0,
                                         note.data(), 0, &noteIndicator);
        }
        return rc;
    }

    SQLINTEGER id;
    SQLLEN idIndicator = 0;
    std::string name;
    SQLLEN nameIndicator;
    std::string note;
    SQLLEN noteIndicator;
};

void expectRows(ODBCRepeaterConnection& connection, const std::string& table,
                const std::vector<Row>& rows) {
    ODBCRepeaterStatement select(&connection);
    ASSERT_EQ(
        select.execDirect(sqlText("SELECT id, name, note FROM " + table + " ORDER BY id"), SQL_NTS),
        SQL_SUCCESS);
    SQLINTEGER id = 0;
    SQLLEN idLength = 0;
    ASSERT_EQ(select.bindCol(1, SQL_C_LONG, &id, 0, &idLength), SQL_SUCCESS);
    for (const Row& row : rows) {
        ASSERT_TRUE(SQL_SUCCEEDED(select.fetch())) << "row " << row.id;
        EXPECT_EQ(id, row.id);
        EXPECT_EQ(textAt(select, 2), row.name) << "row " << row.id;
        EXPECT_EQ(textAt(select, 3), row.note) << "row " << row.id;
    }
    EXPECT_EQ(select.fetch(), SQL_NO_DATA);
    select.freeStmt(SQL_DROP);
}

TEST(RepeaterStatementPostgres, BoundInsertsReadBackExactly) {
    for (const bool prepared : {true, false}) {
        PostgresSession session;
        auto connection = session.connect();
        ASSERT_NE(connection, nullptr);
        ScratchTable table(*connection, "id integer, name varchar(50), note text");
        const std::string insert = "INSERT INTO " + table.name() + " VALUES (?, ?, ?)";
        for (const Row& row : kRows) {
            ODBCRepeaterStatement statement(connection.get());
            BoundRow bound(row);
            ASSERT_TRUE(SQL_SUCCEEDED(bound.bind(statement)));
            SQLRETURN rc;
            if (prepared) {
                ASSERT_EQ(statement.prepare(sqlText(insert), SQL_NTS), SQL_SUCCESS);
                rc = statement.execute();
            } else {
                rc = statement.execDirect(sqlText(insert), SQL_NTS);
            }
            ASSERT_EQ(rc, SQL_SUCCESS)
                << (ownRecords(statement).empty() ? std::string() : ownRecords(statement)[0]);
            SQLLEN count = 0;
            EXPECT_EQ(statement.rowCount(&count), SQL_SUCCESS);
            EXPECT_EQ(count, 1);
            statement.freeStmt(SQL_DROP);
        }
        expectRows(*connection, table.name(), kRows);
    }
}

TEST(RepeaterStatementPostgres, RowCountsOfChanges) {
    PostgresSession session;
    auto connection = session.connect();
    ASSERT_NE(connection, nullptr);
    ScratchTable table(*connection, "id integer");
    run(*connection, "INSERT INTO " + table.name() + " SELECT generate_series(1, 7)");
    struct Case {
        std::string sql;
        SQLLEN count;
        SQLRETURN rc;  // a searched change of no row is SQL_NO_DATA in ODBC 3
    };
    for (const Case& c :
         {Case{"UPDATE " + table.name() + " SET id = id + 10 WHERE id > 3", 4, SQL_SUCCESS},
          Case{"DELETE FROM " + table.name() + " WHERE id < 0", 0, SQL_NO_DATA}}) {
        ODBCRepeaterStatement statement(connection.get());
        ASSERT_EQ(statement.execDirect(sqlText(c.sql), SQL_NTS), c.rc) << c.sql;
        SQLLEN count = -5;
        EXPECT_EQ(statement.rowCount(&count), SQL_SUCCESS);
        EXPECT_EQ(count, c.count) << c.sql;
        statement.freeStmt(SQL_DROP);
    }
}

TEST(RepeaterStatementPostgres, DataAtExecutionInsert) {
    PostgresSession session;
    auto connection = session.connect();
    ASSERT_NE(connection, nullptr);
    ScratchTable table(*connection, "id integer, name varchar(50), note text");
    ODBCRepeaterStatement statement(connection.get());
    SQLINTEGER id = 9;
    SQLLEN idIndicator = 0;
    SQLLEN marker = SQL_DATA_AT_EXEC;
    SQLLEN nameIndicator = SQL_NULL_DATA;
    char unusedName[1] = {};
    auto* token = reinterpret_cast<SQLPOINTER>(0x3);
    ASSERT_EQ(statement.bindParameter(1, SQL_PARAM_INPUT, SQL_C_LONG, SQL_INTEGER, 0, 0, &id, 0,
                                      &idIndicator),
              SQL_SUCCESS);
    ASSERT_EQ(statement.bindParameter(2, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 50, 0,
                                      unusedName, 0, &nameIndicator),
              SQL_SUCCESS);
    ASSERT_EQ(statement.bindParameter(3, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_LONGVARCHAR, 0, 0, token,
                                      0, &marker),
              SQL_SUCCESS);
    const std::string insert = "INSERT INTO " + table.name() + " VALUES (?, ?, ?)";
    ASSERT_EQ(statement.prepare(sqlText(insert), SQL_NTS), SQL_SUCCESS);
    ASSERT_EQ(statement.execute(), SQL_NEED_DATA);
    SQLPOINTER asked = nullptr;
    ASSERT_EQ(statement.paramData(&asked), SQL_NEED_DATA);
    EXPECT_EQ(asked, token);
    std::string first = "first piece, ";
    std::string second = "second piece";
    EXPECT_EQ(statement.putData(first.data(), static_cast<SQLLEN>(first.size())), SQL_SUCCESS);
    EXPECT_EQ(statement.putData(second.data(), SQL_NTS), SQL_SUCCESS);
    EXPECT_EQ(statement.paramData(&asked), SQL_SUCCESS);
    statement.freeStmt(SQL_DROP);
    expectRows(*connection, table.name(), {{9, std::nullopt, first + second}});
}

TEST(RepeaterStatementPostgres, TablesAndColumnsDescribeTheTable) {
    PostgresSession session;
    auto connection = session.connect();
    ASSERT_NE(connection, nullptr);
    ScratchTable table(*connection, "id integer NOT NULL, name varchar(50), note text");

    ODBCRepeaterStatement tables(connection.get());
    ASSERT_EQ(tables.tables(nullptr, 0, nullptr, 0, sqlText(table.name()), SQL_NTS,
                            sqlText("TABLE"), SQL_NTS),
              SQL_SUCCESS);
    ASSERT_EQ(tables.fetch(), SQL_SUCCESS);
    EXPECT_EQ(textAt(tables, 3), table.name());
    EXPECT_EQ(textAt(tables, 4), "TABLE");
    EXPECT_EQ(tables.fetch(), SQL_NO_DATA);
    tables.freeStmt(SQL_DROP);

    ODBCRepeaterStatement columns(connection.get());
    ASSERT_EQ(columns.columns(nullptr, 0, nullptr, 0, sqlText(table.name()), SQL_NTS, nullptr, 0),
              SQL_SUCCESS);
    struct Expected {
        const char* name;
        SQLSMALLINT nullable;
    };
    for (const Expected& e : {Expected{"id", SQL_NO_NULLS}, Expected{"name", SQL_NULLABLE},
                              Expected{"note", SQL_NULLABLE}}) {
        ASSERT_EQ(columns.fetch(), SQL_SUCCESS) << e.name;
        EXPECT_EQ(textAt(columns, 3), table.name());
        EXPECT_EQ(textAt(columns, 4), e.name);
        SQLSMALLINT nullable = -1;
        SQLLEN length = 0;
        EXPECT_TRUE(SQL_SUCCEEDED(columns.getData(11, SQL_C_SSHORT, &nullable, 0, &length)));
        EXPECT_EQ(nullable, e.nullable) << e.name;
    }
    EXPECT_EQ(columns.fetch(), SQL_NO_DATA);

    // The result describes itself through the driver.
    char name[64] = {};
    SQLSMALLINT nameLength = 0;
    EXPECT_TRUE(
        SQL_SUCCEEDED(columns.describeCol(4, reinterpret_cast<SQLCHAR*>(name), sizeof name,
                                          &nameLength, nullptr, nullptr, nullptr, nullptr)));
    EXPECT_STREQ(name, "COLUMN_NAME");
    columns.freeStmt(SQL_DROP);
}

// A function's result through an output parameter reaches the
// application's own buffer.
TEST(RepeaterStatementPostgres, OutputParameterReachesTheApplication) {
    PostgresSession session;
    auto connection = session.connect();
    ASSERT_NE(connection, nullptr);
    const std::string function = "repstmt_plus_one_" + std::to_string(::getpid());
    run(*connection, "CREATE OR REPLACE FUNCTION " + function +
                         "(a integer, OUT b integer) AS 'SELECT $1 + 1' LANGUAGE SQL");
    ODBCRepeaterStatement statement(connection.get());
    SQLINTEGER argument = 41;
    SQLLEN argumentIndicator = 0;
    SQLINTEGER result = 0;
    SQLLEN resultIndicator = 0;
    ASSERT_EQ(statement.bindParameter(1, SQL_PARAM_INPUT, SQL_C_LONG, SQL_INTEGER, 0, 0, &argument,
                                      0, &argumentIndicator),
              SQL_SUCCESS);
    ASSERT_EQ(statement.bindParameter(2, SQL_PARAM_OUTPUT, SQL_C_LONG, SQL_INTEGER, 0, 0, &result,
                                      0, &resultIndicator),
              SQL_SUCCESS);
    const std::string call = "{call " + function + "(?, ?)}";
    ASSERT_EQ(statement.prepare(sqlText(call), SQL_NTS), SQL_SUCCESS);
    EXPECT_TRUE(SQL_SUCCEEDED(statement.execute()));
    EXPECT_EQ(result, 42);
    EXPECT_EQ(resultIndicator, static_cast<SQLLEN>(sizeof result));
    statement.freeStmt(SQL_DROP);
    run(*connection, "DROP FUNCTION " + function + "(integer)");
}

// The server ends the backend: the next statement fails with the driver's
// communication error; once the connection counts as lost (as the
// impersonating statement decides on that error), statements report it
// without touching the freed native statement.
TEST(RepeaterStatementPostgres, TerminatedBackendReportsTheLostConnection) {
    PostgresSession session;
    auto victim = session.connect();
    auto killer = session.connect();
    ASSERT_NE(victim, nullptr);
    ASSERT_NE(killer, nullptr);

    ODBCRepeaterStatement statement(victim.get());
    ASSERT_EQ(statement.execDirect(sqlText("SELECT pg_backend_pid()"), SQL_NTS), SQL_SUCCESS);
    ASSERT_EQ(statement.fetch(), SQL_SUCCESS);
    const std::optional<std::string> pid = textAt(statement, 1);
    ASSERT_TRUE(pid.has_value());
    ASSERT_EQ(statement.closeCursor(), SQL_SUCCESS);

    run(*killer, "SELECT pg_terminate_backend(" + *pid + ")");

    EXPECT_EQ(statement.execDirect(sqlText("SELECT 1"), SQL_NTS), SQL_ERROR);
    const auto records = ownRecords(statement);
    ASSERT_FALSE(records.empty());
    EXPECT_NE(records[0].find("The connection has been lost"), std::string::npos) << records[0];
    // From then on the driver answers with the communication error.
    EXPECT_EQ(statement.execDirect(sqlText("SELECT 2"), SQL_NTS), SQL_ERROR);
    ASSERT_FALSE(ownRecords(statement).empty());
    EXPECT_EQ(ownRecords(statement)[0].substr(0, 5), "08S01") << ownRecords(statement)[0];

    victim->setConnected(false);
    EXPECT_EQ(statement.executeQuery("SELECT 1", 0), SQL_ERROR);
    EXPECT_EQ(ownRecords(statement)[0], "HY000 Connection lost");
    EXPECT_EQ(statement.execute(), SQL_ERROR);
    EXPECT_EQ(ownRecords(statement)[0], "08S01 Communication link failure");
    EXPECT_EQ(statement.freeStmt(SQL_DROP), SQL_SUCCESS);

    // The other connection goes on.
    run(*killer, "SELECT 1");
}

}  // namespace
