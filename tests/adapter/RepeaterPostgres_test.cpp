// The repeater against the private PostgreSQL cluster through pemberix.so,
// and the PostgreSQL driver used directly, which the repeater refuses.
// ctest-fixture: postgres
// ctest-timeout: 120

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "tests/adapter/RepeaterTestSupport.h"
#include "tests/fixtures/PemberixTestSupport.h"

using namespace repeater_test;

namespace {

constexpr const char* kPostgresDriver = "/usr/lib/x86_64-linux-gnu/odbc/psqlodbcw.so";
using pemberix_test::clusterSettings;
using pemberix_test::pemberixPath;

// Our DSN "Tarvex" naming an adapted DSN on the cluster, served by `driver`.
// The PostgreSQL driver keeps what it read of a DSN for the process, so
// every adapted DSN gets a name of its own.
class PostgresDsns {
  public:
    explicit PostgresDsns(const std::string& driver, const std::string& database = "") {
        static int serial = 0;
        const std::string adapted = "Adapted" + std::to_string(++serial);
        settings_ = clusterSettings();
        sandbox.addDsn(adapted, driver,
                       {{"Servername", settings_["PGHOST"]},
                        {"Port", settings_["PGPORT"]},
                        {"Database", database.empty() ? settings_["PGDATABASE"] : database},
                        {"Username", settings_["PGUSER"]}});
        sandbox.addDsn("Tarvex", "morvanex.so", {{"DriverDSN", adapted}});
    }
    std::string user() { return settings_["PGUSER"]; }

    OdbcSandbox sandbox;

  private:
    std::map<std::string, std::string> settings_;
};

TEST(RepeaterPostgres, ConnectsThroughPemberix) {
    PostgresDsns dsns(pemberixPath());
    RecordingEnvironment environment;
    ODBCRepeaterConnection connection(&environment);
    ASSERT_EQ(connection.connectStrings("Tarvex", dsns.user(), ""), SQL_SUCCESS)
        << describe(records(connection));
    EXPECT_TRUE(connection.isConnected());
    EXPECT_EQ(connection.adaptedDbmsName(), "PostgreSQL");
    EXPECT_EQ(connection.infoDriverName(), "pemberix.so");
    EXPECT_FALSE(connection.infoDbmsVer().empty());
    EXPECT_EQ(connection.infoUserName(), dsns.user());
    EXPECT_EQ(connection.endTran(SQL_COMMIT), SQL_SUCCESS);
    EXPECT_EQ(connection.setAttrAutocommit(SQL_AUTOCOMMIT_OFF), SQL_SUCCESS);
    EXPECT_EQ(connection.disconnect(), SQL_SUCCESS);
    EXPECT_FALSE(connection.isConnected());
}

struct RefusedLoginCase {
    const char* name;
    const char* user;       // null: the cluster's user
    const char* database;   // null: the cluster's database
    const char* mentioned;  // text the server's message names
};

class RefusedLoginTest : public ::testing::TestWithParam<RefusedLoginCase> {};

// The cluster trusts every login, so an unknown role stands in for a wrong
// password: either way the server's refusal reaches the caller as 08001.
TEST_P(RefusedLoginTest, ReportsTheServersMessage) {
    const RefusedLoginCase& c = GetParam();
    PostgresDsns dsns(pemberixPath(), c.database != nullptr ? c.database : "");
    RecordingEnvironment environment;
    ODBCRepeaterConnection connection(&environment);
    const std::string user = c.user != nullptr ? c.user : dsns.user();
    EXPECT_EQ(connection.connectStrings("Tarvex", user, "wrong"), SQL_ERROR);
    EXPECT_FALSE(connection.isConnected());
    const auto list = records(connection);
    ASSERT_EQ(list.size(), 1u) << describe(list);
    EXPECT_EQ(list[0].state, "08001");
    EXPECT_NE(list[0].message.find(c.mentioned), std::string::npos) << list[0].message;
    // The server's text ends in a line break; the log keeps it.
    const auto log = environment.errorLog();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log[0] + "\n", list[0].message);
}

const RefusedLoginCase kRefusedLogins[] = {
    {"UnknownRole", "no_such_role", nullptr, "no_such_role"},
    {"MissingDatabase", nullptr, "no_such_database", "no_such_database"},
};

INSTANTIATE_TEST_SUITE_P(Repeater, RefusedLoginTest, ::testing::ValuesIn(kRefusedLogins),
                         [](const auto& info) { return std::string(info.param.name); });

// The PostgreSQL driver connects, but it is not one the repeater serves.
TEST(RepeaterPostgres, PostgresDriverUsedDirectlyIsRefused) {
    PostgresDsns dsns(kPostgresDriver);
    RecordingEnvironment environment;
    ODBCRepeaterConnection connection(&environment);
    EXPECT_EQ(connection.connectStrings("Tarvex", dsns.user(), ""), SQL_ERROR);
    EXPECT_FALSE(connection.isConnected());
    const auto list = records(connection);
    ASSERT_EQ(list.size(), 1u) << describe(list);
    EXPECT_EQ(list[0].state, "08001");
    EXPECT_EQ(list[0].native, 27998);
    EXPECT_EQ(list[0].message.rfind("Driver not supported: psqlodbcw.so.  ", 0), 0u)
        << list[0].message;
}

}  // namespace
