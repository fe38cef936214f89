// The impersonating statement against the private PostgreSQL cluster
// through pemberix.so: results of the adapted driver read through the
// statement, the column and parameter types a MySQL client is shown, and
// an update of no row.
// ctest-fixture: postgres
// ctest-timeout: 120

#include <gtest/gtest.h>
#include <unistd.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "driver/adapter/TarvexConnection.h"
#include "driver/adapter/TarvexStatement.h"
#include "tests/adapter/RepeaterTestSupport.h"
#include "tests/fixtures/PemberixTestSupport.h"

using namespace repeater_test;

// The system's PostgreSQL driver keeps what it allocates to describe a
// parameter past the statement's release; that is its own leak, not ours.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions() {
    return "leak:psqlodbcw.so\nleak:psqlodbca.so\n";
}

namespace {

// One connected TarvexConnection on the cluster, through a DSN of this
// driver naming an adapted DSN of its own (the PostgreSQL driver keeps
// what it read of a DSN for the process).
class PostgresSession {
  public:
    explicit PostgresSession(OdbcSandbox::Keys keys = {}) {
        static int serial = 0;
        const std::string adapted = "ImpStmt" + std::to_string(++serial);
        auto settings = pemberix_test::clusterSettings();
        pemberix_test::addClusterDsn(sandbox, adapted, settings);
        keys.emplace_back("DriverDSN", adapted);
        sandbox.addDsn("Tarvex", "morvanex.so", keys);
        connected = connection.connectStrings("Tarvex", settings["PGUSER"], "") == SQL_SUCCESS;
        table = "impstmt_" + std::to_string(::getpid()) + "_" + std::to_string(serial);
    }
    ~PostgresSession() {
        if (connected && !columns.empty()) {
            run("DROP TABLE " + table);
        }
    }

    std::unique_ptr<Statement> statement() {
        return std::unique_ptr<Statement>(connection.createStatement());
    }
    // Runs a text on the adapted driver as it stands.
    void run(const std::string& text) {
        auto s = statement();
        const SQLRETURN rc = static_cast<TarvexStatement&>(*s).executeNativeQuery(text);
        EXPECT_TRUE(SQL_SUCCEEDED(rc)) << text;
        s->freeStmt(SQL_DROP);
    }
    void createTable(const std::string& definition) {
        columns = definition;
        run("CREATE TABLE " + table + " (" + definition + ")");
    }

    OdbcSandbox sandbox;
    RecordingEnvironment environment{true};
    TarvexConnection connection{&environment};
    bool connected = false;
    std::string table;
    std::string columns;
};

std::string diagRec(Statement& statement, SQLSMALLINT n) {
    SQLCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLCHAR message[512] = {};
    SQLSMALLINT length = 0;
    if (statement.getDiagRec(n, state, &native, message, sizeof message, &length) == SQL_NO_DATA) {
        return "<no data>";
    }
    return std::string(reinterpret_cast<char*>(state)) + " " + reinterpret_cast<char*>(message);
}

std::string text(Statement& statement, SQLUSMALLINT column) {
    char buffer[64] = {};
    SQLLEN length = 0;
    EXPECT_TRUE(
        SQL_SUCCEEDED(statement.getData(column, SQL_C_CHAR, buffer, sizeof buffer, &length)));
    return length == SQL_NULL_DATA ? "NULL" : buffer;
}

SQLRETURN prepare(Statement& statement, const std::string& sql) {
    return statement.prepare(sqlText(sql), SQL_NTS);
}

TEST(ImpersonatorStatementPostgresTest, AdaptedResultIsReadThroughTheStatement) {
    PostgresSession session;
    ASSERT_TRUE(session.connected) << describe(records(session.connection));
    session.createTable("id integer, val varchar(20)");
    session.run("INSERT INTO " + session.table + " VALUES (1, 'one'), (2, 'two')");

    auto statement = session.statement();
    ASSERT_EQ(statement->execDirect(
                  sqlText("select id, val from " + session.table + " order by id"), SQL_NTS),
              SQL_SUCCESS)
        << diagRec(*statement, 1);
    SQLSMALLINT count = 0;
    EXPECT_EQ(statement->numResultCols(&count), SQL_SUCCESS);
    EXPECT_EQ(count, 2);
    std::vector<std::string> rows;
    while (statement->fetch() == SQL_SUCCESS) {
        rows.push_back(text(*statement, 1) + ":" + text(*statement, 2));
    }
    EXPECT_EQ(rows, (std::vector<std::string>{"1:one", "2:two"}));
    EXPECT_EQ(statement->closeCursor(), SQL_SUCCESS) << diagRec(*statement, 1);

    // Prepared with MySQL's backquotes, executed with a bound parameter.
    SQLINTEGER id = 2;
    SQLLEN idLength = 0;
    ASSERT_EQ(prepare(*statement, "select `val` from `" + session.table + "` where `id` = ?"),
              SQL_SUCCESS)
        << diagRec(*statement, 1);
    ASSERT_EQ(statement->bindParameter(1, SQL_PARAM_INPUT, SQL_C_LONG, SQL_INTEGER, 0, 0, &id, 0,
                                       &idLength),
              SQL_SUCCESS);
    ASSERT_EQ(statement->execute(), SQL_SUCCESS) << diagRec(*statement, 1);
    ASSERT_EQ(statement->fetch(), SQL_SUCCESS);
    EXPECT_EQ(text(*statement, 1), "two");
    EXPECT_EQ(statement->fetch(), SQL_NO_DATA);
}

TEST(ImpersonatorStatementPostgresTest, TextAndTimeColumnsAreShownAsVarchar) {
    PostgresSession session;
    ASSERT_TRUE(session.connected) << describe(records(session.connection));
    session.createTable("t text, tm time, ts timestamp, n integer, v varchar(10)");
    auto statement = session.statement();
    ASSERT_EQ(prepare(*statement, "select t, tm, ts, n, v from " + session.table), SQL_SUCCESS)
        << diagRec(*statement, 1);
    ASSERT_EQ(statement->execute(), SQL_SUCCESS) << diagRec(*statement, 1);
    std::vector<SQLSMALLINT> types;
    for (SQLUSMALLINT column = 1; column <= 5; ++column) {
        SQLSMALLINT type = 0;
        statement->describeCol(column, nullptr, 0, nullptr, &type, nullptr, nullptr, nullptr);
        types.push_back(type);
    }
    EXPECT_EQ(types, (std::vector<SQLSMALLINT>{SQL_VARCHAR, SQL_VARCHAR, SQL_TYPE_TIMESTAMP,
                                               SQL_INTEGER, SQL_VARCHAR}));
}

TEST(ImpersonatorStatementPostgresTest, TimestampParameterIsDescribedAsVarchar) {
    PostgresSession session(OdbcSandbox::Keys{{"ParameterBinding", "YES"}});
    ASSERT_TRUE(session.connected) << describe(records(session.connection));
    session.createTable("ts timestamp, n integer");
    auto statement = session.statement();
    ASSERT_EQ(prepare(*statement, "select n from " + session.table + " where ts = ? and n = ?"),
              SQL_SUCCESS)
        << diagRec(*statement, 1);
    std::vector<SQLSMALLINT> types;
    for (SQLUSMALLINT number = 1; number <= 2; ++number) {
        SQLSMALLINT type = 0;
        SQLULEN size = 0;
        EXPECT_EQ(statement->describeParam(number, &type, &size, nullptr, nullptr), SQL_SUCCESS);
        types.push_back(type);
    }
    EXPECT_EQ(types, (std::vector<SQLSMALLINT>{SQL_VARCHAR, SQL_INTEGER}));
    // The server described a timestamp: the revision, not a fallback, made it text.
    EXPECT_TRUE(session.environment.traced("// postgres timestamp, returning SQL_VARCHAR value"));
    EXPECT_EQ(statement->freeStmt(SQL_DROP), SQL_SUCCESS);
}

TEST(ImpersonatorStatementPostgresTest, UpdateOfNoRowIsNoDataWithoutRecord) {
    PostgresSession session;
    ASSERT_TRUE(session.connected) << describe(records(session.connection));
    session.createTable("id integer");
    const std::string update = "update " + session.table + " set id = 2 where id = 1";
    auto statement = session.statement();
    EXPECT_EQ(statement->execDirect(sqlText(update), SQL_NTS), SQL_NO_DATA);
    EXPECT_EQ(diagRec(*statement, 1), "<no data>");
    ASSERT_EQ(prepare(*statement, update), SQL_SUCCESS) << diagRec(*statement, 1);
    EXPECT_EQ(statement->execute(), SQL_NO_DATA);
    EXPECT_EQ(diagRec(*statement, 1), "<no data>");
    EXPECT_TRUE(statement->diagnostics().isEmpty());
}

}  // namespace

// The server ends the backend mid-session: the first statement shows the
// server's error, the driver's communication error that follows marks the
// connection lost, and from then on the statement refuses without reaching
// the adapted driver.
TEST(ImpersonatorStatementPostgresTest, TerminatedBackendIsReportedThenRefused) {
    PostgresSession victim;
    PostgresSession killer;
    ASSERT_TRUE(victim.connected && killer.connected);
    auto statement = victim.statement();
    ASSERT_EQ(statement->execDirect(sqlText("SELECT pg_backend_pid()"), SQL_NTS), SQL_SUCCESS);
    ASSERT_EQ(statement->fetch(), SQL_SUCCESS);
    const std::string pid = text(*statement, 1);
    ASSERT_EQ(statement->closeCursor(), SQL_SUCCESS);
    killer.run("SELECT pg_terminate_backend(" + pid + ")");

    std::vector<std::string> states;
    for (int attempt = 0; attempt < 3 && victim.connection.isConnected(); ++attempt) {
        EXPECT_EQ(statement->execDirect(sqlText("SELECT 1"), SQL_NTS), SQL_ERROR);
        states.push_back(diagRec(*statement, 1).substr(0, 5));
    }
    ASSERT_FALSE(states.empty());
    EXPECT_EQ(states.back(), "08S01") << diagRec(*statement, 1);
    // The server's own "terminating connection" error comes first, unless
    // the backend was already gone.
    EXPECT_TRUE(states.front() == "57P01" || states.front() == "08S01") << states.front();
    EXPECT_FALSE(victim.connection.isConnected());
    EXPECT_EQ(statement->execDirect(sqlText("SELECT 2"), SQL_NTS), SQL_ERROR);
    EXPECT_EQ(diagRec(*statement, 1).substr(0, 5), "08S01");
    EXPECT_EQ(diagRec(*statement, 2), "<no data>");
    statement->freeStmt(SQL_DROP);
    killer.run("SELECT 1");
}
