// The repeater connection on the DB2 stand-in: credentials and the
// keychain retry, the check of the adapted driver and database, what is
// set after the connect, transactions, autocommit and disconnecting.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "driver/core/Keychain.h"
#include "platform/MemorySecretStore.h"
#include "tests/adapter/RepeaterTestSupport.h"

using namespace repeater_test;

namespace {

// The text each native connect attempt carried, in order.
std::vector<std::string> attemptTexts(const SevrinDsns& dsns) {
    std::vector<std::string> texts;
    for (const std::string& line : dsns.calls("SQLDriverConnect")) {
        const auto start = line.find("text=\"");
        const auto end = line.find('"', start + 6);
        texts.push_back(line.substr(start + 6, end - start - 6));
    }
    return texts;
}

// A secret store of its own for each test, put back afterwards.
class ScopedSecretStore {
  public:
    ScopedSecretStore()
        : store_(std::make_shared<MemorySecretStore>()),
          previous_(SecretStore::replaceCurrent(store_)) {}
    ~ScopedSecretStore() { SecretStore::replaceCurrent(previous_); }
    void add(const std::string& dsn, const std::string& user, const std::string& password) {
        store_->store(keychainServiceName("morvanex", dsn), user, password);
    }

  private:
    std::shared_ptr<MemorySecretStore> store_;
    std::shared_ptr<SecretStore> previous_;
};

struct CredentialCase {
    const char* name;
    bool useKeychain;  // UseKeychain=Yes with UserID=kuser in the DSN
    bool stored;       // kuser's password kept for the DSN
    const char* user;  // the caller's credentials
    const char* password;
    SQLRETURN result;
    std::vector<std::string> attempts;  // the texts sent, in order
    const char* state;                  // record 1 after a failure
    SQLINTEGER native;
    const char* userAfter;  // the connection's user name after a success
};

const CredentialCase kCredentialCases[] = {
    {"RightCredentials",
     false,
     false,
     "kuser",
     "kpass",
     SQL_SUCCESS,
     {"DSN=Adapted;UID=kuser;PWD=kpass;"},
     nullptr,
     0,
     "kuser"},
    {"WrongPasswordRetriedWithTheKeychain",
     true,
     true,
     "someone",
     "wrong",
     SQL_SUCCESS,
     {"DSN=Adapted;UID=someone;PWD=wrong;", "DSN=Adapted;UID=kuser;PWD=kpass;"},
     nullptr,
     0,
     "kuser"},
    {"WrongPasswordWithoutKeychainRetriedOnceAsIs",
     false,
     false,
     "someone",
     "wrong",
     SQL_ERROR,
     {"DSN=Adapted;UID=someone;PWD=wrong;", "DSN=Adapted;UID=someone;PWD=wrong;"},
     "08001",
     -30082,
     nullptr},
    {"WrongPasswordAndNoStoredItem",
     true,
     false,
     "someone",
     "wrong",
     SQL_ERROR,
     {"DSN=Adapted;UID=someone;PWD=wrong;"},
     "08001",
     100,
     nullptr},
    {"NoUserNoKeychainOneAttempt",
     false,
     false,
     "",
     "",
     SQL_ERROR,
     {"DSN=Adapted;UID=;PWD=;"},
     "08001",
     -30082,
     nullptr},
    {"NoUserTakesTheKeychainItem",
     true,
     true,
     "",
     "",
     SQL_SUCCESS,
     {"DSN=Adapted;UID=kuser;PWD=kpass;"},
     nullptr,
     0,
     "kuser"},
    {"NoUserAndNoStoredItemMakesNoAttempt",
     true,
     false,
     "",
     "",
     SQL_ERROR,
     {},
     "08001",
     100,
     nullptr},
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
    ScopedSecretStore secrets;
    if (c.stored) {
        secrets.add("Tarvex", "kuser", "kpass");
    }
    RecordingEnvironment environment(true);
    ODBCRepeaterConnection connection(&environment);

    EXPECT_EQ(connection.connectStrings("Tarvex", c.user, c.password), c.result);
    EXPECT_EQ(attemptTexts(dsns), c.attempts);
    if (c.result == SQL_SUCCESS) {
        EXPECT_TRUE(connection.isConnected());
        EXPECT_EQ(connection.infoUserName(), c.userAfter);
        EXPECT_TRUE(records(connection).empty()) << describe(records(connection));
        return;
    }
    EXPECT_FALSE(connection.isConnected());
    const auto list = records(connection);
    ASSERT_FALSE(list.empty());
    EXPECT_EQ(list[0].state, c.state);
    EXPECT_EQ(list[0].native, c.native);
    if (c.native == 100) {
        EXPECT_EQ(list[0].message, "Unable to access keychain");
        EXPECT_TRUE(environment.traced("// keychain error: -25300")) << environment.trace();
    } else {
        EXPECT_NE(list[0].message.find("Security processing failed"), std::string::npos)
            << list[0].message;
    }
}

INSTANTIATE_TEST_SUITE_P(Repeater, CredentialTest, ::testing::ValuesIn(kCredentialCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RepeaterConnection, KeychainRetryIsTraced) {
    SevrinDsns dsns("", {{"UseKeychain", "yes"}, {"UserID", "kuser"}});
    dsns.library.control("credentials", "kuser|kpass");
    ScopedSecretStore secrets;
    secrets.add("Tarvex", "kuser", "kpass");
    RecordingEnvironment environment(true);
    ODBCRepeaterConnection connection(&environment);
    ASSERT_EQ(connection.connectStrings("Tarvex", "x", "y"), SQL_SUCCESS);
    const std::vector<std::string> expected = {
        "// Attempting connection: 0", "// Connection attempt failed: 0",
        "// Authentication error",     "// Looking for keychain: dsn: Tarvex user: kuser",
        "// Found keychain",           "// Attempting connection: 1",
        "// Successful connection",
    };
    std::vector<std::string> seen;
    for (const std::string& line : environment.traceLines()) {
        if (std::find(expected.begin(), expected.end(), line) != expected.end()) {
            seen.push_back(line);
        }
    }
    EXPECT_EQ(seen, expected);
}

// Credentials holding ";" or braces reach the driver as single items.
TEST(RepeaterConnection, CredentialsWithSeparatorsAreBraced) {
    SevrinDsns dsns;
    dsns.library.control("credentials", "us;er|p{w");
    RecordingEnvironment environment;
    ODBCRepeaterConnection connection(&environment);
    EXPECT_EQ(connection.connectStrings("Tarvex", "us;er", "p{w"), SQL_SUCCESS)
        << describe(records(connection));
    EXPECT_EQ(attemptTexts(dsns), std::vector<std::string>{"DSN=Adapted;UID={us;er};PWD={p{w};"});

    dsns.library.reset();
    ODBCRepeaterConnection braces(&environment);
    braces.connectStrings("Tarvex", "u", "a}b;PWD=x");
    EXPECT_EQ(attemptTexts(dsns), std::vector<std::string>{"DSN=Adapted;UID=u;PWD={a}}b;PWD=x};"});
}

struct IdentityCase {
    const char* name;
    const char* driverName;  // SQL_DRIVER_NAME the adapted driver reports
    const char* dbmsName;    // SQL_DBMS_NAME
    const char* refusal;     // start of the refusal message, null when accepted
};

const IdentityCase kIdentityCases[] = {
    {"PemberixUpperCase", "PEMBERIX.SO", "PostgreSQL", nullptr},
    {"PemberixLowerCaseDbms", "pemberix.so", "postgresql 15", nullptr},
    {"PemberixRedshift", "pemberix.so", "Redshift", "Database not supported: Redshift.  "},
    {"PemberixShortDbms", "pemberix.so", "Postgr", "Database not supported: Postgr.  "},
    {"SevrinAnyDbms", "Sevrin.so", "Anything at all", nullptr},
    {"PostgresDriverItself", "psqlodbcw.so", "PostgreSQL", "Driver not supported: psqlodbcw.so.  "},
};

class IdentityTest : public ::testing::TestWithParam<IdentityCase> {};

TEST_P(IdentityTest, AcceptsOnlyTheServedDrivers) {
    const IdentityCase& c = GetParam();
    SevrinDsns dsns;
    dsns.library.control("info", std::string("SQL_DRIVER_NAME|") + c.driverName);
    dsns.library.control("info", std::string("SQL_DBMS_NAME|") + c.dbmsName);
    RecordingEnvironment environment;
    ODBCRepeaterConnection connection(&environment);
    const SQLRETURN rc = connection.connectStrings("Tarvex", "u", "p");
    if (c.refusal == nullptr) {
        EXPECT_EQ(rc, SQL_SUCCESS) << describe(records(connection));
        EXPECT_TRUE(connection.isConnected());
        EXPECT_EQ(connection.adaptedDbmsName(), c.dbmsName);
        return;
    }
    EXPECT_EQ(rc, SQL_ERROR);
    EXPECT_FALSE(connection.isConnected());
    const auto list = records(connection);
    ASSERT_EQ(list.size(), 1u) << describe(list);
    EXPECT_EQ(list[0].state, "08001");
    EXPECT_EQ(list[0].native, 27998);
    EXPECT_EQ(list[0].message.rfind(c.refusal, 0), 0u) << list[0].message;
    EXPECT_GT(list[0].message.size(), std::string(c.refusal).size());
    // The native connection was closed again.
    EXPECT_EQ(dsns.calls("SQLDisconnect").size(), 1u);
    EXPECT_EQ(environment.errorLog(), std::vector<std::string>{list[0].message});
}

INSTANTIATE_TEST_SUITE_P(Repeater, IdentityTest, ::testing::ValuesIn(kIdentityCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A driver name as long as the information buffer still gives a message
// that fits its own buffer.
TEST(RepeaterConnection, RefusalOfALongDriverNameStaysWithinItsBuffer) {
    SevrinDsns dsns;
    dsns.library.control("info", "SQL_DRIVER_NAME|" + std::string(600, 'x'));
    RecordingEnvironment environment;
    ODBCRepeaterConnection connection(&environment);
    EXPECT_EQ(connection.connectStrings("Tarvex", "u", "p"), SQL_ERROR);
    const auto list = records(connection);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].message.rfind("Driver not supported: " + std::string(255, 'x') + ".", 0), 0u);
    EXPECT_LE(list[0].message.size(), 511u);
}

struct BindingCase {
    const char* name;
    const char* identity;
    const char* parameterBinding;  // the DSN's value, null for none
    bool uses;
};

const BindingCase kBindingCases[] = {
    {"LuwDefault", "luw", nullptr, true},
    {"LuwOff", "luw", "no", false},
    {"LuwOtherValue", "luw", "N", true},
    {"Db2ForIAlwaysOff", "400", "Yes", false},
};

class ParameterBindingTest : public ::testing::TestWithParam<BindingCase> {};

TEST_P(ParameterBindingTest, FollowsTheOptionAndTheDatabase) {
    const BindingCase& c = GetParam();
    OdbcSandbox::Keys keys;
    if (c.parameterBinding != nullptr) {
        keys.emplace_back("ParameterBinding", c.parameterBinding);
    }
    SevrinDsns dsns("", keys);
    dsns.library.control("identity", c.identity);
    RecordingEnvironment environment(true);
    ODBCRepeaterConnection connection(&environment);
    ASSERT_EQ(connection.connectStrings("Tarvex", "u", "p"), SQL_SUCCESS);
    EXPECT_EQ(connection.usesParameterBinding(), c.uses);
    EXPECT_TRUE(
        environment.traced(std::string("// using bound parameters: ") + (c.uses ? "1" : "0")));
}

INSTANTIATE_TEST_SUITE_P(Repeater, ParameterBindingTest, ::testing::ValuesIn(kBindingCases),
                         [](const auto& info) { return std::string(info.param.name); });

// After the connect: autocommit as set before it, long-data compatibility,
// the server and database names, and the information slots.
TEST(RepeaterConnection, ConnectAppliesAttributesAndReadsNames) {
    SevrinDsns dsns;
    RecordingEnvironment environment;
    ODBCRepeaterConnection connection(&environment);
    EXPECT_EQ(connection.dbmsName(), "Vorlan Tarvex");
    ASSERT_EQ(connection.setAttrAutocommit(SQL_AUTOCOMMIT_OFF), SQL_SUCCESS);
    EXPECT_TRUE(dsns.calls("SQLSetConnectAttr").empty());
    ASSERT_EQ(connection.connectStrings("Tarvex", "u", "p"), SQL_SUCCESS);

    const auto attributes = dsns.calls("SQLSetConnectAttr");
    ASSERT_EQ(attributes.size(), 2u);
    EXPECT_NE(attributes[0].find("attr=102 value=0"), std::string::npos) << attributes[0];
    EXPECT_NE(attributes[1].find("attr=1253 value=1 length=0"), std::string::npos) << attributes[1];
    EXPECT_EQ(connection.infoServerName(), "SEVRIN");
    EXPECT_EQ(connection.infoDatabaseName(), "SAMPLE");
    EXPECT_EQ(connection.dbmsName(), "DB2/LINUXX8664");

    char text[64] = {};
    SQLSMALLINT length = 0;
    ASSERT_EQ(connection.getInfo(SQL_DRIVER_NAME, text, sizeof text, &length), SQL_SUCCESS);
    EXPECT_STREQ(text, "sevrin.so");
    ASSERT_EQ(connection.getInfo(SQL_DBMS_VER, text, sizeof text, &length), SQL_SUCCESS);
    EXPECT_STREQ(text, "SQL11050");

    // Once connected, autocommit goes straight to the driver.
    ASSERT_EQ(connection.setAttrAutocommit(SQL_AUTOCOMMIT_ON), SQL_SUCCESS);
    EXPECT_NE(dsns.calls("SQLSetConnectAttr").back().find("attr=102 value=1"), std::string::npos);
    EXPECT_EQ(connection.getAttrAutocommit(), SQL_AUTOCOMMIT_ON);
}

// Failures of the attribute calls after the connect do not fail it.
TEST(RepeaterConnection, RefusedAttributesDoNotFailTheConnect) {
    SevrinDsns dsns;
    dsns.library.control("fail", "SQLSetConnectAttr|HY092|0|no such attribute");
    RecordingEnvironment environment(true);
    ODBCRepeaterConnection connection(&environment);
    EXPECT_EQ(connection.connectStrings("Tarvex", "u", "p"), SQL_SUCCESS);
    EXPECT_TRUE(connection.isConnected());
    EXPECT_TRUE(environment.traced("// long data compat set to: yes  ret: -1"));
}

// The environment's lock is taken once by an open and given back.
TEST(RepeaterConnection, OpenHoldsTheEnvironmentLockOnce) {
    SevrinDsns dsns;
    RecordingEnvironment environment;
    ODBCRepeaterConnection connection(&environment);
    const int before = environment.locks;
    ASSERT_EQ(connection.connectStrings("Tarvex", "u", "p"), SQL_SUCCESS);
    EXPECT_EQ(environment.locks - before, 1);
    environment.lock();  // would hang if the open had kept it
    environment.unlock();
}

struct TransactionCase {
    const char* name;
    const char* variant;
    SQLRETURN result;
    const char* call;  // the driver function that ran, null for none
};

const TransactionCase kTransactionCases[] = {
    {"EndTran", "", SQL_SUCCESS, "SQLEndTran"},
    {"TransactFallback", "noendtran", SQL_SUCCESS, "SQLTransact"},
    {"NeitherFunction", "notran", SQL_ERROR, nullptr},
};

class TransactionTest : public ::testing::TestWithParam<TransactionCase> {};

TEST_P(TransactionTest, ForwardsToWhatTheDriverHas) {
    const TransactionCase& c = GetParam();
    SevrinDsns dsns(c.variant);
    RecordingEnvironment environment;
    ODBCRepeaterConnection connection(&environment);
    ASSERT_EQ(connection.connectStrings("Tarvex", "u", "p"), SQL_SUCCESS);
    EXPECT_EQ(connection.endTran(SQL_COMMIT), c.result);
    if (c.call != nullptr) {
        EXPECT_EQ(dsns.calls(c.call).size(), 1u) << dsns.library.journal();
        EXPECT_TRUE(records(connection).empty());
    } else {
        const auto list = records(connection);
        ASSERT_EQ(list.size(), 1u);
        EXPECT_EQ(list[0].state, "HY000");
        EXPECT_EQ(list[0].native, 100);
        EXPECT_EQ(list[0].message, "Driver configuration error");
    }
}

INSTANTIATE_TEST_SUITE_P(Repeater, TransactionTest, ::testing::ValuesIn(kTransactionCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RepeaterConnection, EndTranWhileClosedPostsAnEmptyCommunicationError) {
    SevrinDsns dsns;
    RecordingEnvironment environment(true);
    ODBCRepeaterConnection connection(&environment);
    EXPECT_EQ(connection.endTran(SQL_ROLLBACK), SQL_ERROR);
    const auto list = records(connection);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].state, "08S01");
    EXPECT_TRUE(environment.traced("// diagnostic: state: 08S01  code: 0  msg: "))
        << environment.trace();
    EXPECT_EQ(environment.errorLog(), std::vector<std::string>{"Not connected"});
    EXPECT_TRUE(dsns.calls("SQLEndTran").empty());
}

TEST(RepeaterConnection, DisconnectingTwiceIsHarmless) {
    SevrinDsns dsns;
    RecordingEnvironment environment;
    ODBCRepeaterConnection connection(&environment);
    ASSERT_EQ(connection.connectStrings("Tarvex", "u", "p"), SQL_SUCCESS);
    EXPECT_EQ(connection.disconnect(), SQL_SUCCESS);
    EXPECT_EQ(connection.disconnect(), SQL_SUCCESS);
    EXPECT_FALSE(connection.isConnected());
    EXPECT_EQ(dsns.calls("SQLDisconnect").size(), 1u);
    EXPECT_NE(connection.nativeConnectionHandle(), nullptr);  // kept until destruction
    // setConnected(false) closes as well; nothing is left to close here.
    connection.setConnected(false);
    EXPECT_EQ(dsns.calls("SQLDisconnect").size(), 1u);
}

TEST(RepeaterConnection, RewriteDropsTheCatalogQualifier) {
    RecordingEnvironment environment;
    ODBCRepeaterConnection connection(&environment);
    EXPECT_EQ(connection.rewriteSql("SELECT a FROM cat.sch.tbl"), "SELECT a FROM sch.tbl");
}

}  // namespace
