// The PostgreSQL dialect rules against the private cluster: every rewritten
// text runs on the server and gives the rows a MySQL client expects.
// ctest-fixture: postgres
// ctest-timeout: 120

#include <gtest/gtest.h>
#include <unistd.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "driver/adapter/ODBCRepeaterConnection.h"
#include "driver/adapter/TarvexConnection.h"
#include "driver/core/Statement.h"
#include "tests/adapter/RepeaterTestSupport.h"
#include "tests/fixtures/PemberixTestSupport.h"

using namespace repeater_test;

namespace {

using Rows = std::vector<std::vector<std::string>>;

// Our DSNs "Tarvex" and "TarvexRedshift" over one adapted DSN of the
// cluster; the PostgreSQL driver keeps what it read of a DSN for the
// process, so each session names its adapted DSN anew.
class Session {
  public:
    Session() {
        static int serial = 0;
        const std::string adapted = "DialectPg" + std::to_string(++serial);
        settings_ = pemberix_test::clusterSettings();
        pemberix_test::addClusterDsn(sandbox, adapted, settings_);
        sandbox.addDsn("Tarvex", "morvanex.so", {{"DriverDSN", adapted}});
        sandbox.addDsn("TarvexRedshift", "morvanex.so",
                       {{"DriverDSN", adapted}, {"Redshift", "YES"}});
    }

    // A connection of type C (the MySQL face, or a plain repeater for
    // checking tables) on `dsn`; null (with a failure) when it cannot connect.
    template <typename C = TarvexConnection>
    std::unique_ptr<C> connect(const std::string& dsn = "Tarvex") {
        auto connection = std::make_unique<C>(&environment);
        if (connection->connectStrings(dsn, settings_["PGUSER"], "") != SQL_SUCCESS) {
            ADD_FAILURE() << describe(records(*connection));
            return nullptr;
        }
        return connection;
    }

    OdbcSandbox sandbox;
    RecordingEnvironment environment{true};

  private:
    std::map<std::string, std::string> settings_;
};

std::string firstRecord(Statement& statement) {
    SQLCHAR state[6] = {};
    SQLCHAR message[512] = {};
    SQLINTEGER native = 0;
    statement.getDiagRec(1, state, &native, message, sizeof message, nullptr);
    return std::string(reinterpret_cast<char*>(state)) + " " + reinterpret_cast<char*>(message);
}

struct Outcome {
    SQLRETURN result = SQL_ERROR;
    std::string record;
    Rows rows;
    SQLLEN rowCount = -1;
};

// Runs a text on a new statement and reads every row as text.
Outcome runText(Connection& connection, const std::string& text) {
    std::unique_ptr<Statement> statement(connection.createStatement());
    Outcome out;
    out.result = statement->execDirect(sqlText(text), SQL_NTS);
    if (!SQL_SUCCEEDED(out.result)) {
        out.record = firstRecord(*statement);
    } else {
        statement->rowCount(&out.rowCount);
        SQLSMALLINT columns = 0;
        statement->numResultCols(&columns);
        while (columns > 0 && SQL_SUCCEEDED(statement->fetch())) {
            std::vector<std::string> row;
            for (SQLUSMALLINT k = 1; k <= static_cast<SQLUSMALLINT>(columns); ++k) {
                char buffer[256] = {};
                SQLLEN length = 0;
                statement->getData(k, SQL_C_CHAR, buffer, sizeof buffer, &length);
                row.emplace_back(length == SQL_NULL_DATA ? "NULL" : buffer);
            }
            out.rows.push_back(row);
        }
    }
    statement->freeStmt(SQL_DROP);
    return out;
}

Rows rowsOf(Connection& connection, const std::string& text) {
    const Outcome out = runText(connection, text);
    EXPECT_EQ(out.result, SQL_SUCCESS) << text << "\n" << out.record;
    return out.rows;
}

// A table of known rows, made and dropped through a plain connection.
//   id | born       | ts                      | tm          | name
//   1  | 2023-01-01 | 2023-01-01 10:20:30.75  | 10:20:30.5  | Alpha   (Sunday)
//   2  | 2023-01-07 | 2023-01-07 08:00:00     | 08:00:00    | beta    (Saturday)
//   3  | NULL       | NULL                    | NULL        | Gamma
class KnownTable {
  public:
    explicit KnownTable(ODBCRepeaterConnection& plain)
        : plain_(plain),
          name_("dialect_pg_" + std::to_string(::getpid()) + "_" + std::to_string(++serial_)) {
        for (const std::string& text :
             {"CREATE TABLE " + name_ +
                  " (id integer, born date, ts timestamp(3), tm time(3), name varchar(20))",
              "INSERT INTO " + name_ +
                  " VALUES (1, '2023-01-01', '2023-01-01 10:20:30.75', '10:20:30.5', 'Alpha'),"
                  " (2, '2023-01-07', '2023-01-07 08:00:00', '08:00:00', 'beta'),"
                  " (3, NULL, NULL, NULL, 'Gamma')"}) {
            const Outcome out = runText(plain_, text);
            EXPECT_EQ(out.result, SQL_SUCCESS) << text << "\n" << out.record;
        }
    }
    ~KnownTable() {
        if (plain_.isConnected()) {
            runText(plain_, "DROP TABLE " + name_);
        }
    }
    const std::string& name() const { return name_; }

  private:
    static inline int serial_ = 0;
    ODBCRepeaterConnection& plain_;
    std::string name_;
};

// One session, one table, one connection of the MySQL face for the file.
class DialectPostgres : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        session_ = new Session();
        plain_ = session_->connect<ODBCRepeaterConnection>().release();
        ASSERT_NE(plain_, nullptr);
        table_ = new KnownTable(*plain_);
    }
    static void TearDownTestSuite() {
        delete table_;
        delete plain_;
        delete session_;
    }
    void SetUp() override {
        ASSERT_NE(plain_, nullptr);
        face_ = session_->connect();
        ASSERT_NE(face_, nullptr);
    }
    static std::string t() { return table_->name(); }

    static inline Session* session_ = nullptr;
    static inline ODBCRepeaterConnection* plain_ = nullptr;
    static inline KnownTable* table_ = nullptr;
    std::unique_ptr<TarvexConnection> face_;
};

TEST_F(DialectPostgres, RewrittenExpressionsGiveMySqlResults) {
    const struct {
        std::string text;
        Rows expected;
    } cases[] = {
        // LIKE on a quoted column ignores letter case, as MySQL's does.
        {"SELECT id FROM " + t() + " WHERE name LIKE 'al%' OR name LIKE 'BE%' ORDER BY id",
         {{"1"}, {"2"}}},
        // 2023-01-01 is a Sunday (1 in MySQL), 2023-01-07 a Saturday (7).
        {"SELECT id, DAYOFWEEK(born) FROM " + t() + " WHERE id < 3 ORDER BY id",
         {{"1", "1"}, {"2", "7"}}},
        {"SELECT DAYOFWEEK(born) * 10 FROM " + t() + " WHERE id = 2", {{"70"}}},
        // Operators glued to their operands are operators, not names.
        {"SELECT DAYOFWEEK(born)*10 FROM " + t() + " WHERE id = 2", {{"70"}}},
        {"SELECT COUNT(*)*2 FROM " + t(), {{"6"}}},
        {"SELECT id*2, `id`*-3 FROM " + t() + " WHERE id!=1 AND id-1>0 ORDER BY id",
         {{"4", "-6"}, {"6", "-9"}}},
        {"SELECT id FROM " + t() + " WHERE id*1e-1<2.5E-1 ORDER BY id", {{"1"}, {"2"}}},
        {"SELECT EXTRACT(SECOND FROM ts) FROM " + t() + " WHERE id = 1", {{"30"}}},
        // MySQL's zero dates select the NULL dates.
        {"SELECT id FROM " + t() + " WHERE born='0000-00-00'", {{"3"}}},
        {"SELECT id FROM " + t() + " WHERE ts='0000-00-00 00:00:00'", {{"3"}}},
        {"SELECT id FROM " + t() + " WHERE born IN ({d ''})", {{"3"}}},
        {"SELECT id FROM " + t() + " WHERE tm IN ({t ''})", {{"3"}}},
        // Backquotes name identifiers; inside a literal they are data.
        {"SELECT `id`, 'it''s `x`' FROM `" + t() + "` WHERE `id` = 1", {{"1", "it's `x`"}}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(rowsOf(*face_, c.text), c.expected) << c.text;
    }
}

TEST_F(DialectPostgres, TimesFormattedOnceColumnTypesAreKnown) {
    const std::string select = "SELECT ts, tm, ts FROM " + t() + " ORDER BY id";
    // Nothing known about the table yet: the values come as the server gives them.
    EXPECT_EQ(rowsOf(*face_, select).at(1).at(0), "2023-01-07 08:00:00");

    std::unique_ptr<Statement> catalog(face_->createStatement());
    ASSERT_EQ(catalog->columns(nullptr, 0, nullptr, 0, sqlText(t()), SQL_NTS, nullptr, 0),
              SQL_SUCCESS)
        << firstRecord(*catalog);
    catalog->freeStmt(SQL_DROP);
    catalog.reset();

    const Rows formatted = {
        {"2023-01-01 10:20:30.750", "10:20:30.500", "2023-01-01 10:20:30.750"},
        {"2023-01-07 08:00:00", "08:00:00", "2023-01-07 08:00:00"},
        {"NULL", "NULL", "NULL"},
    };
    EXPECT_EQ(rowsOf(*face_, select), formatted);

    // The rewritten items keep their column names.
    std::unique_ptr<Statement> statement(face_->createStatement());
    ASSERT_TRUE(SQL_SUCCEEDED(statement->execDirect(sqlText(select), SQL_NTS)));
    for (SQLUSMALLINT k = 1; k <= 3; ++k) {
        SQLCHAR name[64] = {};
        SQLSMALLINT length = 0;
        ASSERT_TRUE(SQL_SUCCEEDED(statement->describeCol(k, name, sizeof name, &length, nullptr,
                                                         nullptr, nullptr, nullptr)));
        EXPECT_STREQ(reinterpret_cast<char*>(name), k == 2 ? "tm" : "ts");
    }
    statement->freeStmt(SQL_DROP);
}

TEST_F(DialectPostgres, SchemaQualifiedSelectLoadsColumnTypes) {
    EXPECT_EQ(rowsOf(*face_, "SELECT ts FROM public." + t() + " WHERE id = 1"),
              Rows{{"2023-01-01 10:20:30.750"}});
    EXPECT_TRUE(session_->environment.traced("// forcing load of time columns for: public." + t()));
}

TEST_F(DialectPostgres, ZeroDateAssignmentStoresNull) {
    const Outcome update = runText(*face_, "UPDATE " + t() + " SET born='0000-00-00' WHERE id = 2");
    ASSERT_EQ(update.result, SQL_SUCCESS) << update.record;
    EXPECT_EQ(update.rowCount, 1);
    EXPECT_EQ(rowsOf(*plain_, "SELECT born FROM " + t() + " WHERE id = 2"), Rows{{"NULL"}});
    // Put the row back for the other tests.
    EXPECT_EQ(runText(*plain_, "UPDATE " + t() + " SET born='2023-01-07' WHERE id = 2").result,
              SQL_SUCCESS);
}

TEST_F(DialectPostgres, RedshiftDropsForUpdate) {
    // PostgreSQL refuses FOR UPDATE with an aggregate; without the clause
    // the same text runs.
    const std::string text = "SELECT count(*) FROM " + t() + " FOR UPDATE";
    const Outcome postgres = runText(*face_, text);
    EXPECT_EQ(postgres.result, SQL_ERROR);
    EXPECT_NE(postgres.record.find("FOR UPDATE"), std::string::npos) << postgres.record;

    auto redshift = session_->connect("TarvexRedshift");
    ASSERT_NE(redshift, nullptr);
    EXPECT_EQ(rowsOf(*redshift, text), Rows{{"3"}});
}

TEST_F(DialectPostgres, FailedExecutionIsRepostedWithoutPrefixes) {
    const Outcome out = runText(*face_, "SELECT nosuchcolumn FROM " + t());
    EXPECT_EQ(out.result, SQL_ERROR);
    EXPECT_EQ(out.record.rfind("42703 ", 0), 0u) << out.record;
    // Only the adapted driver's bare message follows this driver's own prefix.
    EXPECT_NE(out.record.find("nosuchcolumn"), std::string::npos) << out.record;
    // A bracket of the server's own text stays with the rest of it.
    const Outcome bracket = runText(*face_, "SELECT int4('[1]')");
    EXPECT_NE(bracket.record.find("invalid input syntax for type integer: \"[1]\""),
              std::string::npos)
        << bracket.record;
}

}  // namespace
