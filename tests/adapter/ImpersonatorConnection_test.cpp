// The impersonating connection: what really answers (DB2 LUW, DB2/400,
// Redshift) on the DB2 stand-in, the private information types, MySQL-style
// failure texts, the choice between own and inner diagnostics, the
// attributes that must reach the inner connection, the shared caches (also
// from several threads at once) and the driver identification's trace.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "driver/adapter/IdentifyDriver.h"
#include "driver/adapter/TarvexConnection.h"
#include "tests/adapter/RepeaterTestSupport.h"

using namespace repeater_test;

namespace {

// An impersonating connection over an inner connection the test scripts.
class ScriptedImpersonator : public MySQLImpersonatorConnection {
  public:
    ScriptedImpersonator(Environment* environment, std::unique_ptr<ODBCRepeaterConnection> inner)
        : MySQLImpersonatorConnection(environment) {
        inner_ = std::move(inner);
    }
};

// An inner connection whose connect, endTran and autocommit calls answer
// `result` after posting `posted` (record 1 first).
class ScriptedRepeater : public ODBCRepeaterConnection {
  public:
    using ODBCRepeaterConnection::ODBCRepeaterConnection;

    SQLRETURN connectOptions(const std::string&, const ConnectionOptions&, const std::string&,
                             const std::string&) override {
        return answer();
    }
    SQLRETURN driverConnectOptions(SQLHWND, const ConnectionOptions&, SQLCHAR*, SQLSMALLINT,
                                   SQLSMALLINT*, SQLUSMALLINT) override {
        return answer();
    }
    SQLRETURN endTran(SQLSMALLINT) override { return answer(); }
    SQLRETURN setAttrAutocommit(SQLUINTEGER) override { return answer(); }

    SQLRETURN result = SQL_ERROR;
    std::vector<Record> posted;

  private:
    SQLRETURN answer() {
        diagnostics().clear();
        for (const Record& record : posted) {
            diagnostics().appendRecord(record.state, record.native, record.message, -1, -1);
        }
        return result;
    }
};

struct Read {
    SQLRETURN rc;
    std::string state;
    SQLINTEGER native = 0;
    std::string message;
};

Read diagRec(Connection& connection, SQLSMALLINT number) {
    SQLCHAR state[6] = {};
    SQLCHAR message[512] = {};
    SQLINTEGER native = 0;
    const SQLRETURN rc =
        connection.getDiagRec(number, state, &native, message, sizeof message, nullptr);
    return {rc, reinterpret_cast<char*>(state), native, reinterpret_cast<char*>(message)};
}

std::string infoText(Connection& connection, SQLUSMALLINT type, SQLSMALLINT size = 256,
                     SQLRETURN* rc = nullptr, SQLSMALLINT* length = nullptr) {
    std::vector<char> buffer(static_cast<std::size_t>(size) + 1, '\0');
    const SQLRETURN result = connection.getInfo(type, buffer.data(), size, length);
    if (rc != nullptr) {
        *rc = result;
    }
    return buffer.data();
}

SQLRETURN connectTo(MySQLImpersonatorConnection& connection, const std::string& text) {
    if (text.find('=') == std::string::npos) {
        return connection.connectStrings(text, "u", "p");
    }
    return connection.driverConnect(nullptr, sqlText(text), SQL_NTS, nullptr, 0, nullptr,
                                    SQL_DRIVER_NOPROMPT);
}

// --- What really answers -----------------------------------------------------------------

struct IdentityCase {
    const char* name;
    const char* identity;  // the stand-in's DB2 kind
    const char* dbmsName;  // replaces its DBMS name when set
    const char* dbmsVer;   // replaces its DBMS version when set
    OdbcSandbox::Keys keys;
    const char* connectWith;  // a DSN name (SQLConnect) or a connection text
    const char* type;
    bool redshift;
};

const IdentityCase kIdentityCases[] = {
    {"Db2Luw", "luw", nullptr, nullptr, {}, "Tarvex", "DB2 LUW", false},
    {"Db2For400", "400", nullptr, nullptr, {}, "Tarvex", "DB2 AS400", false},
    {"VersionDecides", "luw", nullptr, "07.04.0000", {}, "Tarvex", "DB2 AS400", false},
    {"Db2IsNeverRedshift",
     "luw",
     nullptr,
     nullptr,
     {{"Redshift", "Yes"}},
     "Tarvex",
     "DB2 LUW",
     false},
    {"RedshiftYesInText",
     "luw",
     "PostgreSQL",
     nullptr,
     {},
     "DSN=Tarvex;UID=u;Redshift=yes",
     "",
     true},
    {"RedshiftOneInText",
     "luw",
     "PostgreSQL",
     nullptr,
     {},
     "DSN=Tarvex;UID=u;Redshift=1",
     "",
     false},
    {"RedshiftOnTheDsn", "luw", "PostgreSQL", nullptr, {{"Redshift", "YES"}}, "Tarvex", "", true},
    {"RedshiftOneOnTheDsn", "luw", "PostgreSQL", nullptr, {{"Redshift", "1"}}, "Tarvex", "", false},
    {"DsnOfTheText",
     "luw",
     "PostgreSQL",
     nullptr,
     {{"Redshift", "yes"}},
     "DSN=Tarvex;UID=u",
     "",
     true},
    {"TextBeforeDsn",
     "luw",
     "PostgreSQL",
     nullptr,
     {{"Redshift", "yes"}},
     "DSN=Tarvex;Redshift=no",
     "",
     false},
    {"PlainPostgres", "luw", "PostgreSQL", nullptr, {}, "Tarvex", "", false},
};

class IdentityTest : public ::testing::TestWithParam<IdentityCase> {};

TEST_P(IdentityTest, RecordsWhatReallyAnswers) {
    const IdentityCase& c = GetParam();
    SevrinDsns dsns("", c.keys);
    dsns.library.control("identity", c.identity);
    if (c.dbmsName != nullptr) {
        dsns.library.control("info", std::string("SQL_DBMS_NAME|") + c.dbmsName);
    }
    if (c.dbmsVer != nullptr) {
        dsns.library.control("info", std::string("SQL_DBMS_VER|") + c.dbmsVer);
    }
    RecordingEnvironment environment(true);
    TarvexConnection connection(&environment);
    ASSERT_TRUE(SQL_SUCCEEDED(connectTo(connection, c.connectWith)))
        << describe(records(connection));
    EXPECT_EQ(connection.nativeDbmsType(), c.type);
    EXPECT_EQ(connection.isRedshift(), c.redshift);
    EXPECT_TRUE(environment.traced(std::string("// native DBMS Type: | ") + c.type));
    EXPECT_EQ(connection.infoDataSourceName(), "Tarvex");
}

INSTANTIATE_TEST_SUITE_P(Impersonator, IdentityTest, ::testing::ValuesIn(kIdentityCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A name answered while nothing is connected must not stand for the source
// later, nor must one kept from an earlier connect.
TEST(ImpersonatorConnection, NamesComeFromTheConnectThatSucceeded) {
    SevrinDsns dsns;
    dsns.library.control("credentials", "u|p");
    RecordingEnvironment environment;
    TarvexConnection connection(&environment);
    EXPECT_EQ(connection.dbmsName(), "Vorlan Tarvex");
    EXPECT_EQ(connection.nativeDbmsVersion(), "");
    EXPECT_EQ(connection.connectStrings("Tarvex", "u", "wrong"), SQL_ERROR);
    EXPECT_EQ(connection.dbmsName(), "Vorlan Tarvex");
    ASSERT_EQ(connection.connectStrings("Tarvex", "u", "p"), SQL_SUCCESS);
    EXPECT_EQ(connection.dbmsName(), "DB2/LINUXX8664");
    EXPECT_EQ(connection.nativeDbmsVersion(), "SQL11050");
    EXPECT_EQ(connection.nativeDbmsType(), "DB2 LUW");

    dsns.library.control("identity", "400");
    ASSERT_EQ(connection.connectStrings("Tarvex", "u", "p"), SQL_SUCCESS);
    EXPECT_EQ(connection.dbmsName(), "DB2/400 SQL");
    EXPECT_EQ(connection.nativeDbmsVersion(), "07.04.0000");
    EXPECT_EQ(connection.nativeDbmsType(), "DB2 AS400");
}

// --- Information -------------------------------------------------------------------------

TEST(ImpersonatorConnection, PrivateInformationNamesTheAdaptedSource) {
    SevrinDsns dsns;
    dsns.library.control("info", "570|forwarded");
    RecordingEnvironment environment;
    TarvexConnection connection(&environment);
    EXPECT_EQ(infoText(connection, 570), "");
    EXPECT_EQ(diagRec(connection, 1).state, "08003");
    ASSERT_EQ(connection.connectStrings("Tarvex", "u", "p"), SQL_SUCCESS);

    struct Case {
        SQLUSMALLINT type;
        const char* answer;
    };
    for (const Case& c : {Case{INFO_ADAPTED_DRIVER_NAME, "sevrin.so"},
                          Case{INFO_ADAPTED_DRIVER_VERSION, "11.05.0000"},
                          Case{INFO_ADAPTED_DBMS_NAME, "DB2/LINUXX8664"},
                          Case{INFO_ADAPTED_DBMS_VERSION, "SQL11050"}, Case{570, "forwarded"},
                          Case{SQL_DBMS_NAME, "MySQL"}, Case{SQL_DBMS_VER, "5.6"}}) {
        SQLRETURN rc = SQL_ERROR;
        SQLSMALLINT length = -1;
        EXPECT_EQ(infoText(connection, c.type, 256, &rc, &length), c.answer) << c.type;
        EXPECT_EQ(rc, SQL_SUCCESS) << c.type;
        EXPECT_EQ(length, static_cast<SQLSMALLINT>(std::string(c.answer).size())) << c.type;
    }
    for (SQLUSMALLINT type = INFO_ADAPTED_DRIVER_NAME; type <= INFO_ADAPTED_DBMS_VERSION; ++type) {
        EXPECT_EQ(connection.getInfoValueType(type), SQL_IS_POINTER) << type;
    }

    // Cut to the buffer, terminated, the whole length reported.
    SQLRETURN rc = SQL_ERROR;
    SQLSMALLINT length = 0;
    EXPECT_EQ(infoText(connection, INFO_ADAPTED_DRIVER_NAME, 4, &rc, &length), "sev");
    EXPECT_EQ(rc, SQL_SUCCESS);
    EXPECT_EQ(length, 9);

    // The adapted driver's refusal of 570 comes back without its prefixes.
    dsns.library.control("fail", "SQLGetInfo:570|HY096|-5|[Sevrin][CLI Driver] Unknown type");
    EXPECT_EQ(infoText(connection, 570, 256, &rc), "");
    EXPECT_EQ(rc, SQL_ERROR);
    const Read record = diagRec(connection, 1);
    EXPECT_EQ(record.state + " " + std::to_string(record.native), "HY096 -5");
    EXPECT_EQ(record.message, "[Vorlan][DB2/LINUXX8664] Unknown type");
}

// --- Failures ----------------------------------------------------------------------------

struct FailureCase {
    const char* name;
    const char* call;  // connect, driverConnect, endTran, autocommit
    SQLRETURN result;
    std::vector<Record> inner;
    const char* state;  // own record 1, null when there is none
    SQLINTEGER native;
    const char* message;  // its text, without prefixes
};

const FailureCase kFailureCases[] = {
    {"AccessDenied",
     "connect",
     SQL_ERROR,
     {{"08001", -30082, "[vendor][driver]password authentication failed"}},
     "08001",
     -30082,
     "Access denied: password authentication failed"},
    {"LostConnection",
     "driverConnect",
     SQL_ERROR,
     {{"08S01", -30081, "[vendor][driver]password authentication failed"}},
     "08S01",
     -30081,
     "Lost connection to MySQL: password authentication failed"},
    {"NoBracket",
     "connect",
     SQL_ERROR,
     {{"28000", 1, "no brackets"}},
     "28000",
     1,
     "Lost connection to MySQL: no brackets"},
    {"EndsInBracket",
     "connect",
     SQL_ERROR,
     {{"08001", 2, "[a][b]"}},
     "08001",
     2,
     "Access denied: "},
    {"NoRecordStillSaysWhy",
     "connect",
     SQL_ERROR,
     {},
     "08001",
     0,
     "Client unable to establish connection"},
    {"DeclinedPromptNeedsNone", "driverConnect", SQL_NO_DATA, {}, nullptr, 0, nullptr},
    {"EndTranTail",
     "endTran",
     SQL_ERROR,
     {{"40001", -911, "[x][y] SQL0911N deadlock"}},
     "40001",
     -911,
     "SQL0911N deadlock"},
    {"AutocommitTail",
     "autocommit",
     SQL_ERROR,
     {{"HY000", 7, "[x]refused"}},
     "HY000",
     7,
     "refused"},
    {"EndTranNoRecord", "endTran", SQL_ERROR, {}, "HY000", 0, "General error"},
};

class FailureTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(FailureTest, RepostsRecordOneOfTheInnerConnection) {
    const FailureCase& c = GetParam();
    RecordingEnvironment environment;
    auto inner = std::make_unique<ScriptedRepeater>(&environment);
    ScriptedRepeater& scripted = *inner;
    ScriptedImpersonator connection(&environment, std::move(inner));
    scripted.result = c.result;
    scripted.posted = c.inner;

    const std::string call = c.call;
    SQLRETURN rc = SQL_SUCCESS;
    if (call == "connect") {
        rc = connection.connectStrings("dsn", "u", "p");
    } else if (call == "driverConnect") {
        rc = connectTo(connection, "DSN=dsn;UID=u");
    } else if (call == "endTran") {
        rc = connection.endTran(SQL_COMMIT);
    } else {
        rc = connection.setAttrAutocommit(SQL_AUTOCOMMIT_OFF);
    }
    EXPECT_EQ(rc, c.result);
    const auto own = records(connection);
    if (c.state == nullptr) {
        EXPECT_TRUE(own.empty()) << describe(own);
        return;
    }
    ASSERT_EQ(own.size(), 1u) << describe(own);
    EXPECT_EQ(own[0].state, c.state);
    EXPECT_EQ(own[0].native, c.native);
    EXPECT_EQ(own[0].message, c.message);
    // The own record hides the inner ones.
    EXPECT_EQ(diagRec(connection, 1).state, c.state);
    EXPECT_EQ(diagRec(connection, 2).rc, SQL_NO_DATA);
}

INSTANTIATE_TEST_SUITE_P(Impersonator, FailureTest, ::testing::ValuesIn(kFailureCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Failures the inner connection passes on without a record of its own are
// read from the adapted driver.
TEST(ImpersonatorConnection, NativeTransactionFailuresKeepTheirRecord) {
    SevrinDsns dsns;
    RecordingEnvironment environment;
    TarvexConnection connection(&environment);
    ASSERT_EQ(connection.connectStrings("Tarvex", "u", "p"), SQL_SUCCESS);

    dsns.library.control("fail", "SQLEndTran|40001|-911|[Sevrin][CLI Driver] SQL0911N deadlock");
    EXPECT_EQ(connection.endTran(SQL_ROLLBACK), SQL_ERROR);
    Read record = diagRec(connection, 1);
    EXPECT_EQ(record.state + " " + std::to_string(record.native), "40001 -911");
    EXPECT_EQ(record.message, "[Vorlan][DB2/LINUXX8664] SQL0911N deadlock");

    dsns.library.control("fail", "SQLSetConnectAttr:102|HY000|-99|[Sevrin][CLI Driver] refused");
    EXPECT_EQ(connection.setAttrAutocommit(SQL_AUTOCOMMIT_OFF), SQL_ERROR);
    record = diagRec(connection, 1);
    EXPECT_EQ(record.state + " " + std::to_string(record.native), "HY000 -99");
    EXPECT_EQ(record.message, "[Vorlan][DB2/LINUXX8664] refused");

    // Not connected: the inner connection's own record, without prefixes.
    ASSERT_EQ(connection.disconnect(), SQL_SUCCESS);
    EXPECT_EQ(connection.endTran(SQL_COMMIT), SQL_ERROR);
    const auto own = records(connection);
    ASSERT_EQ(own.size(), 1u) << describe(own);
    EXPECT_EQ(own[0].state, "08S01");
    EXPECT_EQ(own[0].message, "Communication link failure");
}

// --- Diagnostics -------------------------------------------------------------------------

TEST(ImpersonatorConnection, OwnRecordsElseInnerOnesUpToThree) {
    RecordingEnvironment environment;
    auto inner = std::make_unique<ScriptedRepeater>(&environment);
    ScriptedRepeater& scripted = *inner;
    ScriptedImpersonator connection(&environment, std::move(inner));
    scripted.result = SQL_SUCCESS_WITH_INFO;
    for (const char* state : {"01001", "01002", "01003", "01004", "01006"}) {
        scripted.posted.push_back({state, 0, "inner"});
    }
    ASSERT_EQ(connection.connectStrings("dsn", "u", "p"), SQL_SUCCESS_WITH_INFO);

    struct Case {
        SQLSMALLINT number;
        SQLRETURN rc;
        const char* state;
    };
    const Case innerCases[] = {{1, SQL_SUCCESS, "01001"},
                               {3, SQL_SUCCESS, "01003"},
                               {4, SQL_NO_DATA, ""},
                               {5, SQL_NO_DATA, ""}};
    for (const Case& c : innerCases) {
        const Read read = diagRec(connection, c.number);
        EXPECT_EQ(read.rc, c.rc) << c.number;
        EXPECT_EQ(read.state, c.state) << c.number;
        char state[6] = {};
        EXPECT_EQ(
            connection.getDiagField(c.number, SQL_DIAG_SQLSTATE, state, sizeof state, nullptr),
            c.rc)
            << c.number;
        EXPECT_STREQ(state, c.state) << c.number;
    }
    SQLCHAR state[6] = {};
    EXPECT_EQ(connection.error(state, nullptr, nullptr, 0, nullptr), SQL_SUCCESS);
    EXPECT_STREQ(reinterpret_cast<char*>(state), "01001");

    // Once an own record is there, only it shows.
    scripted.result = SQL_ERROR;
    scripted.posted = {{"25000", 3, "[p]own"}, {"01002", 0, "inner"}};
    ASSERT_EQ(connection.endTran(SQL_COMMIT), SQL_ERROR);
    EXPECT_EQ(diagRec(connection, 1).state, "25000");
    EXPECT_EQ(diagRec(connection, 2).rc, SQL_NO_DATA);
    EXPECT_EQ(connection.error(state, nullptr, nullptr, 0, nullptr), SQL_SUCCESS);
    EXPECT_STREQ(reinterpret_cast<char*>(state), "25000");
}

// --- Attributes the inner connection uses -------------------------------------------------

TEST(ImpersonatorConnection, AttributesSetBeforeConnectingReachTheInnerConnection) {
    SevrinDsns dsns;
    RecordingEnvironment environment;
    TarvexConnection connection(&environment);
    ODBCRepeaterConnection& inner = *connection.nativeConnection();
    EXPECT_EQ(connection.setAttrAccessMode(SQL_MODE_READ_ONLY), SQL_SUCCESS);
    EXPECT_EQ(connection.setAttrAutocommit(SQL_AUTOCOMMIT_OFF), SQL_SUCCESS);
    EXPECT_EQ(connection.setAttrCurrentCatalog("CATALOG"), SQL_SUCCESS);
    connection.setUnicodeTextTypes(true);
    connection.setWideApi(true);
    EXPECT_EQ(connection.getAttrCurrentCatalog(), "CATALOG");
    ASSERT_EQ(connection.connectStrings("Tarvex", "u", "p"), SQL_SUCCESS);

    EXPECT_EQ(inner.getAttrAccessMode(), static_cast<SQLUINTEGER>(SQL_MODE_READ_ONLY));
    EXPECT_EQ(connection.getAttrAccessMode(), static_cast<SQLUINTEGER>(SQL_MODE_READ_ONLY));
    EXPECT_EQ(connection.getAttrAutocommit(), static_cast<SQLUINTEGER>(SQL_AUTOCOMMIT_OFF));
    bool autocommitOff = false;
    for (const std::string& line : dsns.calls("SQLSetConnectAttr")) {
        autocommitOff = autocommitOff || line.find("attr=102 value=0 ") != std::string::npos;
    }
    EXPECT_TRUE(autocommitOff);
    EXPECT_TRUE(inner.isUnicodeTextTypes());
    EXPECT_TRUE(connection.isWideApi());
    // The connect replaces the catalog with the database it reached.
    EXPECT_EQ(connection.getAttrCurrentCatalog(), "SAMPLE");
    EXPECT_EQ(connection.infoDatabaseName(), "SAMPLE");
    EXPECT_EQ(connection.infoServerName(), "SEVRIN");
    EXPECT_EQ(connection.infoUserName(), "u");

    EXPECT_EQ(connection.setAttrAutocommit(SQL_AUTOCOMMIT_ON), SQL_SUCCESS);
    EXPECT_EQ(connection.getAttrAutocommit(), static_cast<SQLUINTEGER>(SQL_AUTOCOMMIT_ON));
}

// --- Caches ------------------------------------------------------------------------------

using Entry = MySQLImpersonatorConnection::ColumnType;

std::vector<std::string> columnsOf(const std::vector<Entry>& entries) {
    std::vector<std::string> names;
    for (const Entry& entry : entries) {
        names.push_back(entry.column);
    }
    return names;
}

// "e" is an integer column: no reader ever gets it back.
void fill(MySQLImpersonatorConnection& connection) {
    const Entry entries[] = {
        {"S1", "ORDERS", "a", SQL_TYPE_TIMESTAMP}, {"S2", "Orders", "b", SQL_TIMESTAMP},
        {"S1", "ORDERS", "c", SQL_LONGVARCHAR},    {"S1", "ITEMS", "d", SQL_TYPE_TIME},
        {"s1", "orders", "e", SQL_INTEGER},        {"S1", "ORDERS", "f", SQL_TIME}};
    for (const Entry& entry : entries) {
        connection.addColumnType(entry.schema, entry.table, entry.column, entry.type);
    }
}

struct CacheCase {
    const char* operation;  // "get" or "clear"
    const char* schema;
    const char* table;
    bool includeTime;
    bool includeClob;
    std::vector<std::string> columns;  // returned, or readable after clearing
};

const CacheCase kCacheCases[] = {
    {"get", "", "orders", true, false, {"a", "b", "f"}},
    {"get", "%", "ORDERS", false, true, {"c"}},
    {"get", "s1", "Orders", true, true, {"a", "c", "f"}},
    {"get", "S2", "orders", true, true, {"b"}},
    {"get", "S3", "orders", true, true, {}},
    {"get", "", "items", true, false, {"d"}},
    {"get", "", "orders", false, false, {}},
    {"get", "S1", "ORDER", true, true, {}},
    {"clear", "%", "Orders", false, false, {"d"}},
    {"clear", "", "orders", false, false, {"d"}},
    {"clear", "s2", "ORDERS", false, false, {"a", "c", "d", "f"}},
    {"clear", "S1", "orders", false, false, {"b", "d"}},
    {"clear", "S1", "TABLE", false, false, {"a", "b", "c", "d", "f"}},
};

TEST(ImpersonatorConnection, ColumnTypeCache) {
    for (const CacheCase& c : kCacheCases) {
        RecordingEnvironment environment;
        TarvexConnection connection(&environment);
        fill(connection);
        std::vector<Entry> found;
        if (std::string(c.operation) == "get") {
            found = connection.getColumnsForTable(c.schema, c.table, c.includeTime, c.includeClob);
        } else {
            connection.clearColumnTypes(c.schema, c.table);
            for (const char* table : {"ORDERS", "ITEMS"}) {
                for (const Entry& entry : connection.getColumnsForTable("", table, true, true)) {
                    found.push_back(entry);
                }
            }
        }
        std::vector<std::string> names = columnsOf(found);
        if (std::string(c.operation) == "clear") {
            std::sort(names.begin(), names.end());
        }
        // Cache order is kept, so "get" answers come sorted as added.
        EXPECT_EQ(names, c.columns) << c.operation << " " << c.schema << "." << c.table;
    }
}

TEST(ImpersonatorConnection, CacheTraceAndTableSchemas) {
    RecordingEnvironment environment(true);
    {
        TarvexConnection connection(&environment);
        connection.addColumnType("S1", "ORDERS", "a", SQL_TYPE_TIMESTAMP);
        connection.addColumnType("S1", "ORDERS", "n", SQL_INTEGER);
        EXPECT_EQ(connection.getColumnsForTable("", "orders", true, false).size(), 1u);
        connection.clearColumnTypes("%", "Orders");
        connection.addColumnType("S2", "T", "t", SQL_TIME);

        EXPECT_EQ(connection.tableSchema("T"), "");
        connection.setTableSchema("T", "S2");
        connection.setTableSchema("T", "S3");
        connection.setTableSchema("t", "lower");
        EXPECT_EQ(connection.tableSchema("T"), "S3");
        EXPECT_EQ(connection.tableSchema("t"), "lower");
    }
    for (const char* line : {"// add column type: S1.ORDERS.a: 93",
                             "// get columns for table: .orders include time: 1 include clob: 0",
                             "// --> S1.ORDERS.a: 93", "// clear column types for table: %.Orders",
                             "// --> delete:  S1.ORDERS.a: 93", "// --> delete:  S1.ORDERS.n: 4",
                             "// clear all time columns", "// --> delete:  S2.T.t: 10"}) {
        EXPECT_TRUE(environment.traced(line)) << line << "\n" << environment.trace();
    }
}

// Statements on several threads share the caches and read the names.
TEST(ImpersonatorConnection, CachesServeSeveralThreadsAtOnce) {
    SevrinDsns dsns;
    RecordingEnvironment environment;
    TarvexConnection connection(&environment);
    ASSERT_EQ(connection.connectStrings("Tarvex", "u", "p"), SQL_SUCCESS);
    constexpr int kRounds = 2000;
    std::atomic<int> damaged{0};
    std::vector<std::thread> threads;
    threads.emplace_back([&] {
        for (int i = 0; i < kRounds; ++i) {
            const std::string table = "T" + std::to_string(i % 4);
            connection.addColumnType("S", table, "column" + std::to_string(i), SQL_TYPE_TIME);
        }
    });
    threads.emplace_back([&] {
        for (int i = 0; i < kRounds; ++i) {
            const std::string table = "T" + std::to_string(i % 4);
            connection.clearColumnTypes(i % 2 == 0 ? "%" : "s", table);
            connection.setTableSchema(table, "schema" + std::to_string(i));
            if (i % 500 == 0) {
                connection.clearTimeColumns();
            }
        }
    });
    for (int reader = 0; reader < 2; ++reader) {
        threads.emplace_back([&] {
            for (int i = 0; i < kRounds; ++i) {
                const std::string table = "T" + std::to_string(i % 4);
                for (const Entry& entry : connection.getColumnsForTable("", table, true, false)) {
                    if (entry.table != table || entry.type != SQL_TYPE_TIME ||
                        entry.column.rfind("column", 0) != 0) {
                        ++damaged;
                    }
                }
                const std::string schema = connection.tableSchema(table);
                if (!schema.empty() && schema.rfind("schema", 0) != 0) {
                    ++damaged;
                }
                if (connection.dbmsName() != "DB2/LINUXX8664" ||
                    connection.nativeDbmsType() != "DB2 LUW") {
                    ++damaged;
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(damaged.load(), 0);
}

// --- Driver identification ----------------------------------------------------------------

struct IdentifyCase {
    const char* text;
    SQLSMALLINT length;
    std::vector<std::string> lines;  // traced, in this order
    bool searchedFurther;            // a connection-string line follows the DSN line
};

const IdentifyCase kIdentifyCases[] = {
    {"PgDsn", SQL_NTS, {"// identify driver: dsn: PgDsn; nameLen: -3 type: POSTGRESQL"}, false},
    {"PgDsnXYZ", 5, {"// identify driver: dsn: PgDsn; nameLen: 5 type: POSTGRESQL"}, false},
    {"MyDsn",
     SQL_NTS,
     {"// identify driver: dsn: MyDsn; nameLen: -3 type: MYSQL",
      "// unknown type, checking further", "// identify driver: connectionString: *** type: "},
     true},
    {"DSN=MyDsn;PWD=secret;Type=MySQL",
     SQL_NTS,
     {"// identify driver: dsn: DSN=MyDsn;PWD=****;Type=MySQL; nameLen: -3 type: ",
      "// identify driver: connectionString: *** type: MySQL"},
     true},
    {"DSN=Plain;UID=u",
     SQL_NTS,
     {"// identify driver: connectionString: *** type: ",
      "// identify driver: dsn value: Plain type: "},
     true},
    {"DSN=PgDsn",
     SQL_NTS,
     {"// identify driver: connectionString: *** type: ",
      "// identify driver: dsn value: PgDsn type: PostgreSQL"},
     true},
};

TEST(IdentifyDriver, EveryTypeGetsTheMySqlFace) {
    OdbcSandbox sandbox;
    sandbox.addDsn("PgDsn", "morvanex.so", {{"Type", "PostgreSQL"}});
    sandbox.addDsn("MyDsn", "morvanex.so", {{"Type", "MySQL"}});
    sandbox.addDsn("Plain", "morvanex.so", {});
    for (const IdentifyCase& c : kIdentifyCases) {
        RecordingEnvironment environment(true);
        const std::unique_ptr<Connection> connection =
            identifyDriver(&environment, sqlText(c.text), c.length);
        EXPECT_NE(dynamic_cast<TarvexConnection*>(connection.get()), nullptr) << c.text;
        const std::vector<std::string> traced = lines(environment.trace());
        auto at = traced.begin();
        for (const std::string& line : c.lines) {
            at = std::find(at, traced.end(), line);
            EXPECT_NE(at, traced.end()) << c.text << ": " << line << "\n" << environment.trace();
        }
        const bool further = environment.trace().find("connectionString: ***") != std::string::npos;
        EXPECT_EQ(further, c.searchedFurther) << c.text;
        EXPECT_EQ(environment.trace().find("secret"), std::string::npos) << c.text;
    }
    RecordingEnvironment environment(true);
    EXPECT_NE(identifyDriver(&environment, nullptr, SQL_NTS), nullptr);
    EXPECT_TRUE(environment.traced("// identify driver: dsn:  nameLen: -3 type: "));
}

}  // namespace
