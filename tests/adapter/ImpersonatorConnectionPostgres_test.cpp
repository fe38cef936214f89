// The MySQL face over the private PostgreSQL cluster, reached the way a host
// reaches it: through iODBC, with a DSN of the built driver whose adapted
// DSN is served by pemberix.so. Both builds of the driver are tried (iODBC
// calls the wide entry points of morvanex.so and the narrow ones of
// morvanex-a.so).
// ctest-fixture: postgres
// ctest-timeout: 120

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "driver/adapter/MySQLImpersonatorConnection.h"
#include "tests/fixtures/PemberixTestSupport.h"

namespace {

using pemberix_test::clusterSettings;
using pemberix_test::OdbcApi;
using pemberix_test::pemberixPath;

const OdbcApi& driverManager() {
    static const OdbcApi api(pemberix_test::openLibrary("libiodbc.so.2"));
    return api;
}

// "MX", a DSN of `library` naming an adapted DSN on the cluster (with the
// given database), and the driver's trace file in the sandbox.
class FaceDsns {
  public:
    FaceDsns(const std::string& library, const std::string& database = "") {
        // The PostgreSQL driver keeps what it read of a DSN for the
        // process: every adapted DSN gets a name of its own.
        static int serial = 0;
        const std::string adapted = "ImpAdapted" + std::to_string(++serial);
        settings_ = clusterSettings();
        sandbox_.addDriver("Vorlan Tarvex",
                           {{"Driver", library}, {"TraceFile", tracePrefix().string()}});
        pemberix_test::addClusterDsn(sandbox_, adapted, settings_, database);
        sandbox_.addDsn("MX", "Vorlan Tarvex", {{"DriverDSN", adapted}});
    }
    std::string user() { return settings_["PGUSER"]; }
    std::string trace() const {
        const auto file = tracePrefix().string() + "-" + std::to_string(::getpid());
        return std::filesystem::exists(file) ? OdbcSandbox::readFile(file) : "";
    }

  private:
    std::filesystem::path tracePrefix() const { return sandbox_.root() / "trace"; }

    OdbcSandbox sandbox_;
    std::map<std::string, std::string> settings_;
};

// An ODBC 3 application's environment and connection, through iODBC.
class Session {
  public:
    Session() {
        EXPECT_EQ(api().SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_), SQL_SUCCESS);
        EXPECT_EQ(api().SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION,
                                      reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0),
                  SQL_SUCCESS);
        EXPECT_EQ(api().SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_), SQL_SUCCESS);
    }
    ~Session() {
        if (connected_) {
            api().SQLDisconnect(dbc_);
        }
        api().SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
        api().SQLFreeHandle(SQL_HANDLE_ENV, env_);
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    SQLRETURN connect(const std::string& dsn, const std::string& user) {
        return remember(
            api().SQLConnect(dbc_, chars(dsn), SQL_NTS, chars(user), SQL_NTS, chars(""), SQL_NTS));
    }
    SQLRETURN driverConnect(const std::string& text) {
        return remember(api().SQLDriverConnect(dbc_, nullptr, chars(text), SQL_NTS, nullptr, 0,
                                               nullptr, SQL_DRIVER_NOPROMPT));
    }
    std::vector<pemberix_test::Record> records() const {
        return pemberix_test::records(api(), SQL_HANDLE_DBC, dbc_);
    }
    SQLHDBC dbc() const { return dbc_; }

  private:
    static const OdbcApi& api() { return driverManager(); }
    static SQLCHAR* chars(const std::string& text) {
        return reinterpret_cast<SQLCHAR*>(const_cast<char*>(text.c_str()));
    }
    SQLRETURN remember(SQLRETURN rc) {
        connected_ = connected_ || SQL_SUCCEEDED(rc);
        return rc;
    }

    SQLHENV env_ = SQL_NULL_HENV;
    SQLHDBC dbc_ = SQL_NULL_HDBC;
    bool connected_ = false;
};

std::string narrowInfo(const Session& connection, SQLUSMALLINT type) {
    char buffer[256] = {};
    SQLSMALLINT length = 0;
    const SQLRETURN rc =
        driverManager().SQLGetInfo(connection.dbc(), type, buffer, sizeof buffer, &length);
    return SQL_SUCCEEDED(rc) ? buffer : "rc=" + std::to_string(rc);
}

std::string wideInfo(const Session& connection, SQLUSMALLINT type) {
    SQLWCHAR buffer[256] = {};
    SQLSMALLINT length = 0;
    const SQLRETURN rc =
        driverManager().SQLGetInfoW(connection.dbc(), type, buffer, sizeof buffer, &length);
    if (!SQL_SUCCEEDED(rc)) {
        return "rc=" + std::to_string(rc);
    }
    std::string text;
    for (const SQLWCHAR* c = buffer; *c != 0; ++c) {
        text += static_cast<char>(*c);
    }
    return text;
}

// iODBC converts text answers between the application's and the driver's
// character width only for the information types it knows: the private
// types reach the application whole when it asks in the driver's own width.
struct ConnectCase {
    const char* name;
    bool narrowDriver;  // morvanex-a.so
    bool driverConnect;
};

const ConnectCase kConnectCases[] = {
    {"WideDriverConnect", false, false},
    {"WideDriverDriverConnect", false, true},
    {"NarrowDriverConnect", true, false},
    {"NarrowDriverDriverConnect", true, true},
};

class FaceConnectTest : public ::testing::TestWithParam<ConnectCase> {};

TEST_P(FaceConnectTest, AnswersAsMySqlAndNamesTheRealSource) {
    const ConnectCase& c = GetParam();
    FaceDsns dsns(c.narrowDriver ? MORVANEX_DRIVER_A_PATH : MORVANEX_DRIVER_PATH);
    std::string sourceVersion;
    {
        Session connection;
        const SQLRETURN rc = c.driverConnect ? connection.driverConnect("DSN=MX;UID=" + dsns.user())
                                             : connection.connect("MX", dsns.user());
        ASSERT_TRUE(SQL_SUCCEEDED(rc)) << pemberix_test::describe(connection.records());

        for (const auto& [type, answer] :
             {std::pair{SQL_DBMS_NAME, "MySQL"}, std::pair{SQL_DBMS_VER, "5.6"}}) {
            EXPECT_EQ(narrowInfo(connection, type), answer) << type;
            EXPECT_EQ(wideInfo(connection, type), answer) << type;
        }
        const auto privateInfo = [&](SQLUSMALLINT type) {
            return c.narrowDriver ? narrowInfo(connection, type) : wideInfo(connection, type);
        };
        EXPECT_EQ(privateInfo(INFO_ADAPTED_DRIVER_NAME), "pemberix.so");
        EXPECT_EQ(privateInfo(INFO_ADAPTED_DBMS_NAME), "PostgreSQL");
        sourceVersion = privateInfo(INFO_ADAPTED_DBMS_VERSION);
        EXPECT_EQ(sourceVersion.rfind("15.", 0), 0u) << sourceVersion;
        const std::string driverVersion = privateInfo(INFO_ADAPTED_DRIVER_VERSION);
        EXPECT_FALSE(driverVersion.empty());
        EXPECT_EQ(driverVersion.find("rc="), std::string::npos) << driverVersion;
    }
    const std::string trace = dsns.trace();
    const std::string call = c.driverConnect ? "rc = SQLDriverConnect" : "rc = SQLConnect";
    EXPECT_NE(trace.find(call + (c.narrowDriver ? "(" : "W(")), std::string::npos) << trace;
    EXPECT_NE(trace.find("// Connected - PostgreSQL version: " + sourceVersion + "\n"),
              std::string::npos)
        << trace;
    EXPECT_NE(trace.find("// native DBMS Type: | \n"), std::string::npos) << trace;
    EXPECT_NE(trace.find("SQLGetInfo"), std::string::npos) << trace;
}

INSTANTIATE_TEST_SUITE_P(Impersonator, FaceConnectTest, ::testing::ValuesIn(kConnectCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The server refuses an unknown database; the application reads why as a
// MySQL client would, without the drivers' bracketed prefixes.
TEST(FaceConnect, MissingDatabaseIsAccessDenied) {
    FaceDsns dsns(MORVANEX_DRIVER_PATH, "impconn_no_such_database");
    Session connection;
    EXPECT_EQ(connection.driverConnect("DSN=MX;UID=" + dsns.user()), SQL_ERROR);
    const auto list = connection.records();
    ASSERT_FALSE(list.empty());
    EXPECT_EQ(list[0].state, "08001") << pemberix_test::describe(list);
    const std::string& text = list[0].text;
    const auto denied = text.find("] Access denied: ");
    EXPECT_EQ(text.rfind("[Vorlan][", 0), 0u) << text;
    ASSERT_NE(denied, std::string::npos) << text;
    EXPECT_EQ(text.find('[', denied), std::string::npos) << text;
    EXPECT_NE(text.find("\"impconn_no_such_database\" does not exist", denied), std::string::npos)
        << text;
}

}  // namespace
