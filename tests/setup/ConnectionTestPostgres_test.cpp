// The wizard's connection test against the private PostgreSQL cluster,
// through the built morvanex.so's own entry points and pemberix.so.
// ctest-fixture: postgres
// ctest-timeout: 120

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "driver/setup/ConnectionTest.h"
#include "tests/fixtures/PemberixTestSupport.h"
#include "tests/support/DriverLibrary.h"
#include "tests/support/ScopedEnv.h"

namespace {

DriverCalls driverCalls(const DriverLibrary& driver) {
    return DriverCalls{
        driver.function<decltype(&::SQLAllocHandle)>("SQLAllocHandle"),
        driver.function<decltype(&::SQLSetEnvAttr)>("SQLSetEnvAttr"),
        driver.function<decltype(&::SQLDriverConnect)>("SQLDriverConnect"),
        driver.function<decltype(&::SQLGetDiagRec)>("SQLGetDiagRec"),
        driver.function<decltype(&::SQLGetInfo)>("SQLGetInfo"),
        driver.function<decltype(&::SQLDisconnect)>("SQLDisconnect"),
        driver.function<decltype(&::SQLFreeHandle)>("SQLFreeHandle"),
    };
}

TEST(ConnectionTestPostgres, ShowsTheAdaptedDriverAndDatabaseOrTheServersMessage) {
    ScopedEnv language("LANGUAGE", "en");
    OdbcSandbox sandbox;
    std::map<std::string, std::string> settings = pemberix_test::clusterSettings();
    pemberix_test::addClusterDsn(sandbox, "WizardPG", settings);
    pemberix_test::addClusterDsn(sandbox, "WizardNoDb", settings, "no_such_database");
    const DriverLibrary driver(MORVANEX_DRIVER_PATH);
    const DriverCalls calls = driverCalls(driver);

    const auto list = [](const std::string& adapted) {
        using namespace std::string_literals;
        return "DSN=New\0Description=\0DriverDSN="s + adapted + std::string(2, '\0');
    };
    const ConnectionTestResult good = ConnectionTest::run(
        calls, ConnectionTest::connectionText(list("WizardPG"), settings["PGUSER"], "unused"));
    ASSERT_TRUE(good.success) << good.message;
    EXPECT_EQ(good.adaptedDriverName, "pemberix.so");
    EXPECT_FALSE(good.adaptedDriverVersion.empty());
    EXPECT_EQ(good.adaptedDbmsName, "PostgreSQL");
    EXPECT_EQ(good.adaptedDbmsVersion.rfind("15.", 0), 0u) << good.adaptedDbmsVersion;
    const std::string shown = ConnectionTest::resultText(good);
    EXPECT_NE(shown.find("Adapted driver version: pemberix.so " + good.adaptedDriverVersion),
              std::string::npos)
        << shown;
    EXPECT_NE(shown.find("Database version: PostgreSQL 15."), std::string::npos) << shown;
    EXPECT_EQ(shown.find("unused"), std::string::npos);

    const ConnectionTestResult bad = ConnectionTest::run(
        calls, ConnectionTest::connectionText(list("WizardNoDb"), settings["PGUSER"], ""));
    EXPECT_FALSE(bad.success);
    EXPECT_NE(bad.message.find("no_such_database"), std::string::npos) << bad.message;
    const std::string failed = ConnectionTest::resultText(bad);
    EXPECT_EQ(failed.substr(failed.size() - 12), "Test failed.");
}

}  // namespace
