// Values spliced as literals (parameter binding off) make the round trip
// through the private PostgreSQL cluster exactly: written with parameters,
// read back and compared, both on the repeater statement and through the
// MySQL face's statement.
// ctest-fixture: postgres
// ctest-timeout: 120

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "driver/adapter/ODBCRepeaterStatement.h"
#include "driver/adapter/TarvexConnection.h"
#include "tests/adapter/RepeaterTestSupport.h"
#include "tests/fixtures/PemberixTestSupport.h"

using namespace repeater_test;

namespace {

enum class Path { Repeater, MySQLFace };

// Our DSN "Tarvex" with parameter binding off, naming an adapted DSN of
// its own on the cluster (the PostgreSQL driver keeps what it read of a DSN
// for the process), and one connection of the path's kind.
class Session {
  public:
    explicit Session(Path path) {
        static int serial = 0;
        const std::string adapted = "Spliced" + std::to_string(++serial);
        auto settings = pemberix_test::clusterSettings();
        pemberix_test::addClusterDsn(sandbox, adapted, settings);
        sandbox.addDsn("Tarvex", "morvanex.so",
                       {{"DriverDSN", adapted}, {"ParameterBinding", "NO"}});
        if (path == Path::Repeater) {
            connection = std::make_unique<ODBCRepeaterConnection>(&environment);
        } else {
            connection = std::make_unique<TarvexConnection>(&environment);
        }
        connected = connection->connectStrings("Tarvex", settings["PGUSER"], "") == SQL_SUCCESS;
        EXPECT_TRUE(connected) << describe(records(*connection));
    }

    // A statement of the connection, dropped as the driver drops it.
    struct Drop {
        void operator()(Statement* statement) const {
            statement->freeStmt(SQL_DROP);
            delete statement;
        }
    };
    using StatementPtr = std::unique_ptr<Statement, Drop>;
    StatementPtr statement() { return StatementPtr(connection->createStatement()); }

    OdbcSandbox sandbox;
    RecordingEnvironment environment;
    std::unique_ptr<Connection> connection;
    bool connected = false;
};

std::string firstRecord(Statement& statement) {
    SQLCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLCHAR message[512] = {};
    statement.getDiagRec(1, state, &native, message, sizeof message, nullptr);
    return std::string(reinterpret_cast<char*>(state)) + " " + reinterpret_cast<char*>(message);
}

void run(Session& session, const std::string& text) {
    auto statement = session.statement();
    EXPECT_TRUE(SQL_SUCCEEDED(statement->execDirect(sqlText(text), SQL_NTS)))
        << text << "\n"
        << firstRecord(*statement);
}

// One row as the application holds it; nullopt is NULL.
struct Row {
    SQLINTEGER id;
    std::optional<std::string> text;
    std::optional<SQLBIGINT> big;
    std::optional<double> dbl;
    std::optional<float> real;
    std::optional<SQL_TIMESTAMP_STRUCT> stamp;
    std::optional<std::vector<unsigned char>> bytes;
};

const SQL_TIMESTAMP_STRUCT kStamp{2024, 2, 29, 13, 14, 15, 5000000};
const std::vector<unsigned char> kBytes{0x00, 0x27, 0x5c, 0xff};

const std::vector<Row> kRows = {
    {1, "O'Brien", 3000000000, 0.1234567, 0.1234567f, kStamp, kBytes},
    {2, "a\\b", -3000000000, -0.5, -2.5f, std::nullopt, std::vector<unsigned char>{0x5c}},
    {3, "'what?'", std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt},
    {4, "dir\\", 0, 1e-300, 3.4e38f, SQL_TIMESTAMP_STRUCT{1999, 12, 31, 23, 59, 59, 999000000},
     std::vector<unsigned char>{0x27, 0x27}},
    {5, "\\'); drop table x; --", std::nullopt, std::nullopt, std::nullopt, std::nullopt,
     std::nullopt},
    {6, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt},
};

// The application's buffers for one row, bound as input parameters.
struct BoundRow {
    explicit BoundRow(const Row& row) : row(row) {
        text = row.text.value_or("");
        big = row.big.value_or(0);
        dbl = row.dbl.value_or(0);
        real = row.real.value_or(0);
        stamp = row.stamp.value_or(SQL_TIMESTAMP_STRUCT{});
        bytes = row.bytes.value_or(std::vector<unsigned char>{0});
        indicators = {0,
                      row.text ? SQL_NTS : SQL_NULL_DATA,
                      row.big ? 0 : SQL_NULL_DATA,
                      row.dbl ? 0 : SQL_NULL_DATA,
                      row.real ? 0 : SQL_NULL_DATA,
                      row.stamp ? 0 : SQL_NULL_DATA,
                      row.bytes ? static_cast<SQLLEN>(bytes.size()) : SQL_NULL_DATA};
    }
    void bind(Statement& statement) {
        struct Binding {
            SQLSMALLINT cType;
            SQLSMALLINT sqlType;
            SQLPOINTER value;
        };
        const Binding bindings[] = {
            {SQL_C_SLONG, SQL_INTEGER, &id},
            {SQL_C_CHAR, SQL_VARCHAR, text.data()},
            {SQL_C_SBIGINT, SQL_BIGINT, &big},
            {SQL_C_DOUBLE, SQL_DOUBLE, &dbl},
            {SQL_C_FLOAT, SQL_REAL, &real},
            {SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP, &stamp},
            {SQL_C_BINARY, SQL_VARBINARY, bytes.data()},
        };
        for (std::size_t i = 0; i < std::size(bindings); ++i) {
            const Binding& b = bindings[i];
            ASSERT_EQ(
                statement.bindParameter(static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT, b.cType,
                                        b.sqlType, 100, 3, b.value, 0, &indicators[i]),
                SQL_SUCCESS);
        }
    }

    const Row& row;
    SQLINTEGER id = row.id;
    std::string text;
    SQLBIGINT big = 0;
    double dbl = 0;
    float real = 0;
    SQL_TIMESTAMP_STRUCT stamp{};
    std::vector<unsigned char> bytes;
    std::vector<SQLLEN> indicators;
};

// Reads column `column` of the current row into `value`; false for NULL.
template <typename T>
bool read(Statement& statement, SQLUSMALLINT column, SQLSMALLINT cType, T& value) {
    SQLLEN indicator = 0;
    EXPECT_TRUE(SQL_SUCCEEDED(statement.getData(column, cType, &value, sizeof value, &indicator)))
        << "column " << column << " " << firstRecord(statement);
    return indicator != SQL_NULL_DATA;
}

void expectRow(Statement& statement, const Row& row) {
    char text[256] = {};
    EXPECT_EQ(
        read(statement, 1, SQL_C_CHAR, text) ? std::optional<std::string>(text) : std::nullopt,
        row.text);
    SQLBIGINT big = 0;
    EXPECT_EQ(read(statement, 2, SQL_C_SBIGINT, big) ? std::optional(big) : std::nullopt, row.big);
    double dbl = 0;
    EXPECT_EQ(read(statement, 3, SQL_C_DOUBLE, dbl) ? std::optional(dbl) : std::nullopt, row.dbl);
    float real = 0;
    EXPECT_EQ(read(statement, 4, SQL_C_FLOAT, real) ? std::optional(real) : std::nullopt, row.real);
    SQL_TIMESTAMP_STRUCT stamp{};
    const bool hasStamp = read(statement, 5, SQL_C_TYPE_TIMESTAMP, stamp);
    ASSERT_EQ(hasStamp, row.stamp.has_value());
    if (hasStamp) {
        EXPECT_EQ(std::memcmp(&stamp, &*row.stamp, sizeof stamp), 0)
            << stamp.year << "-" << stamp.month << "-" << stamp.day << " " << stamp.hour << ":"
            << stamp.minute << ":" << stamp.second << "." << stamp.fraction;
    }
    unsigned char bytes[64] = {};
    SQLLEN length = 0;
    ASSERT_TRUE(SQL_SUCCEEDED(statement.getData(6, SQL_C_BINARY, bytes, sizeof bytes, &length)));
    ASSERT_EQ(length != SQL_NULL_DATA, row.bytes.has_value());
    if (row.bytes) {
        EXPECT_EQ(std::vector<unsigned char>(bytes, bytes + length), *row.bytes);
    }
}

class SplicedRoundTrip : public ::testing::TestWithParam<Path> {};

TEST_P(SplicedRoundTrip, ValuesReadBackExactly) {
    Session session(GetParam());
    ASSERT_TRUE(session.connected);
    static int tables = 0;
    const std::string table =
        "spliced_" + std::to_string(::getpid()) + "_" + std::to_string(++tables);
    run(session, "CREATE TABLE " + table +
                     " (id int4, t text, big int8, dbl float8, rl float4, "
                     "ts timestamp, bin bytea)");

    for (const Row& row : kRows) {
        auto insert = session.statement();
        BoundRow bound(row);
        bound.bind(*insert);
        EXPECT_EQ(insert->execDirect(sqlText("INSERT INTO " + table +
                                             " (id, t, big, dbl, rl, ts, bin) VALUES "
                                             "(?, ?, ?, ?, ?, ?, ?)"),
                                     SQL_NTS),
                  SQL_SUCCESS)
            << "row " << row.id << ": " << firstRecord(*insert);
    }

    for (const Row& row : kRows) {
        auto select = session.statement();
        SQLINTEGER id = row.id;
        SQLLEN indicator = 0;
        ASSERT_EQ(select->bindParameter(1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &id, 0,
                                        &indicator),
                  SQL_SUCCESS);
        ASSERT_TRUE(SQL_SUCCEEDED(select->execDirect(
            sqlText("SELECT t, big, dbl, rl, ts, bin FROM " + table + " WHERE id = ?"), SQL_NTS)))
            << firstRecord(*select);
        ASSERT_TRUE(SQL_SUCCEEDED(select->fetch())) << "row " << row.id;
        SCOPED_TRACE("row " + std::to_string(row.id));
        expectRow(*select, row);
        EXPECT_EQ(select->fetch(), SQL_NO_DATA);
    }
    run(session, "DROP TABLE " + table);
}

INSTANTIATE_TEST_SUITE_P(Paths, SplicedRoundTrip,
                         ::testing::Values(Path::Repeater, Path::MySQLFace),
                         [](const ::testing::TestParamInfo<Path>& info) {
                             return info.param == Path::Repeater ? "Repeater" : "MySQLFace";
                         });

}  // namespace
