// The repeater connection on the DB2 stand-in: credentials and the
// keychain retry, the check of the adapted driver and database, what the
// connect sets, transactions and disconnecting.

#include <gtest/gtest.h>

#include <memory>

#include "driver/adapter/ODBCRepeaterStatement.h"
#include "driver/core/Keychain.h"
#include "platform/MemorySecretStore.h"
#include "tests/adapter/RepeaterTestSupport.h"

using namespace repeater_test;

namespace {

// The text of each native connect attempt, in order.
std::vector<std::string> attempts(const SevrinDsns& dsns) {
    std::vector<std::string> texts;
    for (const std::string& line : dsns.calls("SQLDriverConnect")) {
        const auto start = line.find("text=\"") + 6;
        texts.push_back(line.substr(start, line.find('"', start) - start));
    }
    return texts;
}

std::string first(Connection& connection) {
    const auto list = records(connection);
    return list.empty() ? "" : list[0].state + " " + std::to_string(list[0].native);
}

struct CredentialCase {
    const char* name;
    bool useKeychain;  // UseKeychain=Yes and UserID=kuser in the DSN
    bool stored;       // kuser's password is kept for the DSN
    const char* user;
    const char* password;
    std::vector<std::string> attempts;
    const char* outcome;  // "connected", else record 1's state and native code
};

const CredentialCase kCredentialCases[] = {
    {"WrongPasswordRetriedWithTheKeychain",
     true,
     true,
     "someone",
     "wrong",
     {"DSN=Adapted;UID=someone;PWD=wrong;", "DSN=Adapted;UID=kuser;PWD=kpass;"},
     "connected"},
    {"WrongPasswordRetriedOnceAsIs",
     false,
     false,
     "someone",
     "wrong",
     {"DSN=Adapted;UID=someone;PWD=wrong;", "DSN=Adapted;UID=someone;PWD=wrong;"},
     "08001 -30082"},
    {"WrongPasswordAndNoStoredItem",
     true,
     false,
     "someone",
     "wrong",
     {"DSN=Adapted;UID=someone;PWD=wrong;"},
     "08001 100"},
    {"NoUserNoKeychainOneAttempt", false, false, "", "", {"DSN=Adapted;"}, "08001 -30082"},
    // An empty item would override the adapted DSN's own setting.
    {"UserWithoutPassword",
     false,
     false,
     "someone",
     "",
     {"DSN=Adapted;UID=someone;", "DSN=Adapted;UID=someone;"},
     "08001 -30082"},
    {"NoUserTakesTheKeychainItem",
     true,
     true,
     "",
     "",
     {"DSN=Adapted;UID=kuser;PWD=kpass;"},
     "connected"},
    {"FailedLookupMakesNoAttempt", true, false, "", "", {}, "08001 100"},
};

class CredentialTest : public ::testing::TestWithParam<CredentialCase> {};

TEST_P(CredentialTest, AttemptsAndOutcome) {
    const CredentialCase& c = GetParam();
    OdbcSandbox::Keys keys;
    if (c.useKeychain) {
        keys = {{"UseKeychain", "Yes"}, {"UserID", "kuser"}};
    }
    SevrinDsns dsns("", keys);
    dsns.library.control("credentials", "kuser|kpass");
    auto store = std::make_shared<MemorySecretStore>();
    const auto previous = SecretStore::replaceCurrent(store);
    if (c.stored) {
        store->store(keychainServiceName("morvanex", "Tarvex"), "kuser", "kpass");
    }
    RecordingEnvironment environment(true);
    ODBCRepeaterConnection connection(&environment);
    const SQLRETURN rc = connection.connectStrings("Tarvex", c.user, c.password);
    SecretStore::replaceCurrent(previous);

    EXPECT_EQ(attempts(dsns), c.attempts);
    EXPECT_EQ(connection.isConnected() ? "connected" : first(connection), c.outcome);
    EXPECT_EQ(rc, connection.isConnected() ? SQL_SUCCESS : SQL_ERROR);
    if (connection.isConnected()) {
        EXPECT_EQ(connection.infoUserName(), "kuser");
    } else if (std::string(c.outcome) == "08001 100") {
        EXPECT_EQ(records(connection)[0].message, "Unable to access keychain");
    }
}

INSTANTIATE_TEST_SUITE_P(Repeater, CredentialTest, ::testing::ValuesIn(kCredentialCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Credentials holding ";" or braces reach the driver as single items.
TEST(RepeaterConnection, CredentialsWithSeparatorsAreBraced) {
    SevrinDsns dsns;
    dsns.library.control("credentials", "us;er|p{w");
    RecordingEnvironment environment;
    ODBCRepeaterConnection connection(&environment);
    EXPECT_EQ(connection.connectStrings("Tarvex", "us;er", "p{w"), SQL_SUCCESS);
    ODBCRepeaterConnection braces(&environment);
    braces.connectStrings("Tarvex", "u", "a}b;PWD=x");
    // The second is refused, and so tried twice.
    EXPECT_EQ(attempts(dsns), (std::vector<std::string>{"DSN=Adapted;UID={us;er};PWD={p{w};",
                                                        "DSN=Adapted;UID=u;PWD={a}}b;PWD=x};",
                                                        "DSN=Adapted;UID=u;PWD={a}}b;PWD=x};"}));
}

struct IdentityCase {
    std::string driverName;
    const char* dbmsName;
    std::string refusal;  // start of the refusal, empty when accepted
};

const IdentityCase kIdentityCases[] = {
    {"PEMBERIX.SO", "PostgreSQL", ""},
    {"pemberix.so", "postgresql 15", ""},
    {"pemberix.so", "Redshift", "Database not supported: Redshift.  "},
    {"pemberix.so", "Postgr", "Database not supported: Postgr.  "},
    {"Sevrin.so", "Anything at all", ""},
    {"psqlodbcw.so", "PostgreSQL", "Driver not supported: psqlodbcw.so.  "},
    // Longer than the information buffer: the message still fits its own.
    {std::string(600, 'x'), "DB2", "Driver not supported: " + std::string(255, 'x') + ".  "},
};

class IdentityTest : public ::testing::TestWithParam<IdentityCase> {};

TEST_P(IdentityTest, AcceptsOnlyTheServedDrivers) {
    const IdentityCase& c = GetParam();
    SevrinDsns dsns;
    dsns.library.control("info", "SQL_DRIVER_NAME|" + c.driverName);
    dsns.library.control("info", std::string("SQL_DBMS_NAME|") + c.dbmsName);
    RecordingEnvironment environment;
    ODBCRepeaterConnection connection(&environment);
    const SQLRETURN rc = connection.connectStrings("Tarvex", "u", "p");
    if (c.refusal.empty()) {
        EXPECT_EQ(rc, SQL_SUCCESS) << describe(records(connection));
        EXPECT_EQ(connection.adaptedDbmsName(), c.dbmsName);
        return;
    }
    EXPECT_EQ(rc, SQL_ERROR);
    EXPECT_FALSE(connection.isConnected());
    const auto list = records(connection);
    ASSERT_EQ(list.size(), 1u) << describe(list);
    EXPECT_EQ(first(connection), "08001 27998");
    EXPECT_EQ(list[0].message.rfind(c.refusal, 0), 0u) << list[0].message;
    EXPECT_LE(list[0].message.size(), 511u);
    EXPECT_EQ(environment.errorLog(), std::vector<std::string>{list[0].message});
    // The native connection that answered is closed again.
    EXPECT_EQ(dsns.calls("SQLDisconnect").size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Repeater, IdentityTest, ::testing::ValuesIn(kIdentityCases));

TEST(RepeaterConnection, ParameterBindingFollowsTheOptionAndTheDatabase) {
    struct Case {
        const char* identity;
        const char* option;
        bool uses;
    };
    for (const Case& c : {Case{"luw", "", true}, Case{"luw", "no", false}, Case{"luw", "N", true},
                          Case{"400", "Yes", false}}) {
        SevrinDsns dsns("", {{"ParameterBinding", c.option}});
        dsns.library.control("identity", c.identity);
        RecordingEnvironment environment;
        ODBCRepeaterConnection connection(&environment);
        ASSERT_EQ(connection.connectStrings("Tarvex", "u", "p"), SQL_SUCCESS);
        EXPECT_EQ(connection.usesParameterBinding(), c.uses) << c.identity << " " << c.option;
    }
}

// Autocommit set before the connect, long-data compatibility, the server
// and database names, the information slots and the environment's lock.
TEST(RepeaterConnection, ConnectAppliesAttributesAndReadsNames) {
    SevrinDsns dsns;
    RecordingEnvironment environment;
    ODBCRepeaterConnection connection(&environment);
    EXPECT_EQ(connection.dbmsName(), "Vorlan Tarvex");
    ASSERT_EQ(connection.setAttrAutocommit(SQL_AUTOCOMMIT_OFF), SQL_SUCCESS);
    const int locks = environment.locks;
    ASSERT_EQ(connection.connectStrings("Tarvex", "u", "p"), SQL_SUCCESS);
    EXPECT_EQ(environment.locks - locks, 1);

    const auto attributes = dsns.calls("SQLSetConnectAttr");
    ASSERT_EQ(attributes.size(), 2u);
    EXPECT_NE(attributes[0].find("attr=102 value=0"), std::string::npos) << attributes[0];
    EXPECT_NE(attributes[1].find("attr=1253 value=1 length=0"), std::string::npos);
    EXPECT_EQ(connection.infoServerName(), "SEVRIN");
    EXPECT_EQ(connection.infoDatabaseName(), "SAMPLE");
    EXPECT_EQ(connection.dbmsName(), "DB2/LINUXX8664");
    char text[64] = {};
    ASSERT_EQ(connection.getInfo(SQL_DBMS_VER, text, sizeof text, nullptr), SQL_SUCCESS);
    EXPECT_STREQ(text, "SQL11050");

    ASSERT_EQ(connection.setAttrAutocommit(SQL_AUTOCOMMIT_ON), SQL_SUCCESS);
    EXPECT_NE(dsns.calls("SQLSetConnectAttr").back().find("attr=102 value=1"), std::string::npos);

    // A change the driver refuses is not reported as the mode in force.
    dsns.library.control("fail-once", "SQLSetConnectAttr:102|HY000|0|refused");
    EXPECT_EQ(connection.setAttrAutocommit(SQL_AUTOCOMMIT_OFF), SQL_ERROR);
    EXPECT_EQ(connection.getAttrAutocommit(), static_cast<SQLUINTEGER>(SQL_AUTOCOMMIT_ON));
}

TEST(RepeaterConnection, TransactionsGoToWhatTheDriverHas) {
    struct Case {
        const char* variant;
        const char* call;
    };
    for (const Case& c :
         {Case{"", "SQLEndTran"}, Case{"noendtran", "SQLTransact"}, Case{"notran", nullptr}}) {
        SevrinDsns dsns(c.variant);
        RecordingEnvironment environment(true);
        ODBCRepeaterConnection connection(&environment);
        // Closed: an empty communication error, nothing sent.
        EXPECT_EQ(connection.endTran(SQL_COMMIT), SQL_ERROR);
        EXPECT_TRUE(environment.traced("// diagnostic: state: 08S01  code: 0  msg: "));
        EXPECT_EQ(environment.errorLog(), std::vector<std::string>{"Not connected"});

        ASSERT_EQ(connection.connectStrings("Tarvex", "u", "p"), SQL_SUCCESS);
        if (c.call != nullptr) {
            EXPECT_EQ(connection.endTran(SQL_COMMIT), SQL_SUCCESS);
            EXPECT_EQ(dsns.calls(c.call).size(), 1u) << c.variant;
        } else {
            EXPECT_EQ(connection.endTran(SQL_COMMIT), SQL_ERROR);
            EXPECT_EQ(first(connection), "HY000 100");
        }
    }
}

TEST(RepeaterConnection, DisconnectingTwiceIsHarmless) {
    SevrinDsns dsns;
    RecordingEnvironment environment;
    ODBCRepeaterConnection connection(&environment);
    ASSERT_EQ(connection.connectStrings("Tarvex", "u", "p"), SQL_SUCCESS);
    EXPECT_EQ(connection.disconnect(), SQL_SUCCESS);
    EXPECT_EQ(connection.disconnect(), SQL_SUCCESS);
    connection.setConnected(false);
    EXPECT_EQ(dsns.calls("SQLDisconnect").size(), 1u);
    EXPECT_NE(connection.nativeConnectionHandle(), nullptr);  // kept until destruction
}

TEST(RepeaterConnection, StatementsHoldAStatementOfTheAdaptedDriver) {
    SevrinDsns dsns;
    RecordingEnvironment environment;
    ODBCRepeaterConnection connection(&environment);
    ASSERT_EQ(connection.connectStrings("Tarvex", "u", "p"), SQL_SUCCESS);
    const std::unique_ptr<Statement> statement(connection.createStatement());
    EXPECT_NE(dynamic_cast<ODBCRepeaterStatement*>(statement.get()), nullptr);
    EXPECT_NE(dsns.calls("SQLAllocHandle").back().find("type=3"), std::string::npos);
}

}  // namespace
