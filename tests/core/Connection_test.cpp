// ctest-timeout: 120
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "driver/core/Connection.h"
#include "driver/core/Descriptor.h"
#include "driver/core/Environment.h"
#include "driver/core/PlatformUtil.h"
#include "driver/core/Statement.h"
#include "driver/core/TextEncoding.h"
#include "platform/HostInfo.h"
#include "platform/PreferredLanguages.h"
#include "tests/setup/TestBundle.h"
#include "tests/support/OdbcSandbox.h"

namespace fs = std::filesystem;

namespace {

// An environment whose call trace is captured in memory.
class CapturingEnvironment : public Environment {
  public:
    explicit CapturingEnvironment(std::string bundleIdentifier = "com.example.conn-test",
                                  bool tracing = false)
        : Environment(std::move(bundleIdentifier), "morvanex.so", "Vorlan Tarvex", "Vorlan"),
          tracing_(tracing) {}

    bool isTracing() const override { return tracing_; }
    void writeTrace(std::string_view text) override { trace.append(text); }

    std::string trace;

  private:
    bool tracing_;
};

// A connection with the abstract operations filled in and the hooks and
// limits under the test's control.
class TestConnection : public Connection {
  public:
    explicit TestConnection(Environment* environment) : Connection(environment) {}

    SQLRETURN connectStrings(const std::string& server, const std::string& user,
                             const std::string& authentication) override {
        connectedWith = {server, user, authentication};
        dataSourceName_ = server;
        setConnected(true);
        return SQL_SUCCESS;
    }
    SQLRETURN driverConnect(SQLHWND, const SQLCHAR*, SQLSMALLINT, SQLCHAR*, SQLSMALLINT,
                            SQLSMALLINT*, SQLUSMALLINT) override {
        return SQL_SUCCESS;
    }
    SQLRETURN disconnect() override {
        setConnected(false);
        return SQL_SUCCESS;
    }

    bool isInTransaction() const override { return inTransaction; }
    SQLRETURN prepareAutocommitChange() override { return autocommitHook; }
    std::string rewriteSql(const std::string& text) override { return "/*x*/" + text; }
    std::string infoDbmsName() override { return "TestDB"; }
    SQLUSMALLINT infoTxnCapable() override { return txnCapable; }
    SQLUINTEGER infoAsyncMode() override { return asyncMode; }
    SQLUINTEGER connectionTimeoutMax() override { return connectionMax; }
    SQLUINTEGER loginTimeoutMax() override { return loginMax; }
    SQLUINTEGER packetSizeMin() override { return packetMin; }
    SQLUINTEGER packetSizeMax() override { return packetMax; }

    std::vector<std::string> connectedWith;
    bool inTransaction = false;
    SQLRETURN autocommitHook = SQL_SUCCESS;
    SQLUSMALLINT txnCapable = SQL_TC_DML;
    SQLUINTEGER asyncMode = SQL_AM_NONE;
    SQLUINTEGER connectionMax = 0;
    SQLUINTEGER loginMax = 0;
    SQLUINTEGER packetMin = 0;
    SQLUINTEGER packetMax = 0;
};

// Pretends the host is `executable` while it lives.
class HostOverride {
  public:
    explicit HostOverride(const fs::path& executable) {
        host_info::setExecutableOverride(executable);
        resetHostApplicationCache();
    }
    ~HostOverride() {
        host_info::setExecutableOverride(std::nullopt);
        resetHostApplicationCache();
    }
};

class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        if (value != nullptr) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (old_) {
            setenv(name_, old_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

std::string stateOf(Connection& connection, SQLSMALLINT record = 1) {
    SQLCHAR state[6] = {};
    if (connection.getDiagRec(record, state, nullptr, nullptr, 0, nullptr) != SQL_SUCCESS) {
        return "";
    }
    return reinterpret_cast<const char*>(state);
}

SQLUINTEGER readNumber(Connection& connection, SQLINTEGER attribute) {
    SQLUINTEGER value = 0xDEADBEEF;
    EXPECT_EQ(connection.getConnectAttr(attribute, &value, 0, nullptr), SQL_SUCCESS);
    return value;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        result.push_back(line);
    }
    return result;
}

// Length of the trace time stamp (2026-3-7 9:5:3.41) that opens a line, or
// 0 when the line does not open with one.
std::size_t timestampLength(const std::string& line) {
    const char separators[] = {'-', '-', ' ', ':', ':', '.'};
    std::size_t pos = 0;
    for (std::size_t field = 0; field <= std::size(separators); ++field) {
        const std::size_t start = pos;
        while (pos < line.size() && std::isdigit(static_cast<unsigned char>(line[pos])) != 0) {
            ++pos;
        }
        if (pos == start) {
            return 0;
        }
        if (field < std::size(separators)) {
            if (pos >= line.size() || line[pos] != separators[field]) {
                return 0;
            }
            ++pos;
        }
    }
    return pos;
}

bool isErrorLogName(const std::string& name, const std::string& bundle) {
    const std::string prefix = bundle + "_error.0x";
    const std::string suffix = ".log";
    if (name.size() <= prefix.size() + suffix.size() || name.rfind(prefix, 0) != 0 ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) {
        return false;
    }
    const std::string digits =
        name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    return digits.find_first_not_of("0123456789abcdef") == std::string::npos;
}

class ConnectionTest : public ::testing::Test {
  protected:
    OdbcSandbox sandbox;
    CapturingEnvironment environment;
    TestConnection connection{&environment};
};

TEST_F(ConnectionTest, RegistersWithTheEnvironmentForItsLifetime) {
    ASSERT_EQ(environment.connections().size(), 1u);
    EXPECT_EQ(environment.connections()[0], &connection);
    {
        TestConnection second(&environment);
        EXPECT_EQ(environment.connections().size(), 2u);
        EXPECT_EQ(environment.connections()[1], &second);
    }
    ASSERT_EQ(environment.connections().size(), 1u);
    EXPECT_EQ(environment.connections()[0], &connection);
}

TEST_F(ConnectionTest, MakesHandlesBoundToItself) {
    const std::unique_ptr<Statement> statement(connection.createStatement());
    ASSERT_NE(statement, nullptr);
    EXPECT_EQ(statement->connection(), &connection);
    const std::unique_ptr<Descriptor> descriptor(connection.createDescriptor());
    ASSERT_NE(descriptor, nullptr);
    EXPECT_EQ(descriptor->connection(), &connection);
    EXPECT_EQ(descriptor->kind(), DescriptorContext::Explicit);
}

TEST_F(ConnectionTest, StartsWithDefinedSettings) {
    EXPECT_EQ(readNumber(connection, SQL_ATTR_AUTOCOMMIT), SQL_AUTOCOMMIT_ON);
    EXPECT_EQ(readNumber(connection, SQL_ATTR_TXN_ISOLATION), SQL_TXN_READ_COMMITTED);
    for (SQLINTEGER attribute :
         {SQL_ATTR_ACCESS_MODE, SQL_ATTR_ASYNC_ENABLE, SQL_ATTR_CONNECTION_TIMEOUT,
          SQL_ATTR_LOGIN_TIMEOUT, SQL_ATTR_METADATA_ID, SQL_ATTR_PACKET_SIZE,
          SQL_ATTR_TRANSLATE_OPTION, SQLINTEGER{1224}, SQLINTEGER{1057}}) {
        EXPECT_EQ(readNumber(connection, attribute), 0u) << attribute;
    }
    EXPECT_EQ(connection.databaseEncoding(), 0x08000100u);
    EXPECT_EQ(connection.sendEncoding(), 0x08000100u);
    EXPECT_EQ(connection.receiveEncoding(), 0x08000100u);
    EXPECT_EQ(connection.queryLogTime(), 0);
    EXPECT_FALSE(connection.isQueryLogOn());
    EXPECT_FALSE(connection.isConnected());
    EXPECT_FALSE(connection.isUnicodeTextTypes());
    EXPECT_TRUE(connection.avoidServerCursors());
    EXPECT_FALSE(connection.tolerateCloseWithoutCursor());
}

TEST(ConnectionHost, ExcelSendsSixteenBitWideParametersFromVersion16_9) {
    struct Case {
        const char* name;
        const char* version;
        bool sixteenBits;
    };
    const Case cases[] = {
        {"Excel", "16.9.0", true},
        {"Excel", "16.9", true},
        {"Excel", "16.10", true},
        {"Excel", "17.0", true},
        {"Excel", "16.8.9", false},
        {"Excel", "16.8", false},
        {"Excel", "15.99", false},
        {"Excel", "", false},
        {"Excel", "version 17", false},
        {"Excel", "99999999999.0", true},  // saturates instead of overflowing
        {"Excel", "16.-1", false},
        {"Excelsior", "17.1", true},
        {"Microsoft Excel", "17.1", false},
        {"Exce", "17.0", false},
        {"excel", "17.0", false},
    };
    for (const Case& c : cases) {
        OdbcSandbox sandbox;
        const fs::path bundle =
            writeTestBundle(sandbox.root() / "Host.app",
                            {{"CFBundleName", c.name}, {"CFBundleVersion", c.version}});
        HostOverride host(bundle / "Contents" / "MacOS" / "host");
        CapturingEnvironment environment;
        ASSERT_EQ(environment.hostAppName(), c.name);
        TestConnection connection(&environment);
        EXPECT_EQ(connection.isWideParameter16Bits(), c.sixteenBits) << c.name << " " << c.version;
    }
}

// The language encoding is the one of the moment the connection was made:
// statements do not read the environment again.
TEST(ConnectionLanguage, EncodingReadOnceWhenTheConnectionIsMade) {
    const struct {
        std::vector<std::string> atConnect;
        std::vector<std::string> later;
        StringEncoding encoding;
    } cases[] = {
        {{"zh-Hant-TW"}, {"fr"}, kEncodingMacChineseTrad},
        {{"fr"}, {"zh-Hans"}, kEncodingMacRoman},
    };
    for (const auto& c : cases) {
        CapturingEnvironment environment;
        setPreferredLanguagesOverride(c.atConnect);
        TestConnection connection(&environment);
        setPreferredLanguagesOverride(c.later);
        EXPECT_EQ(connection.languageEncoding(), c.encoding);
        EXPECT_NE(getPreferredLanguageEncoding(), c.encoding);
        setPreferredLanguagesOverride(std::nullopt);
    }
}

TEST(ConnectionHost, WritesTheSixLineBannerWhenTracing) {
    struct Case {
        const char* sandboxVariable;
        const char* hostName;
        const char* sandboxedLine;
        const char* wideLine;
    };
    const Case cases[] = {
        {nullptr, "Numbers", "// Is sandboxed: 0", "// Is wide parameter 16 bits: 0"},
        {"container-1", "Excel", "// Is sandboxed: 1", "// Is wide parameter 16 bits: 1"},
    };
    for (const Case& c : cases) {
        OdbcSandbox sandbox;
        const fs::path bundles = sandbox.root() / "bundles";
        writeTestBundle(bundles / "driver.bundle", {{"CFBundleIdentifier", "com.example.banner"},
                                                    {"CFBundleVersion", "4.5.6"}});
        ScopedEnv bundlePath("MORVANEX_BUNDLE_PATH", bundles.c_str());
        ScopedEnv container("FLATPAK_ID", c.sandboxVariable);
        const fs::path host = writeTestBundle(sandbox.root() / "Host.app",
                                              {{"CFBundleName", c.hostName},
                                               {"CFBundleVersion", "16.9.1"},
                                               {"CFBundleIdentifier", "com.example.host"}});
        HostOverride override(host / "Contents" / "MacOS" / "host");
        CapturingEnvironment environment("com.example.banner", true);
        environment.trace.clear();

        TestConnection connection(&environment);

        std::string os;
        getOsVersionString(os);
        std::string architecture;
        getArchitecture(architecture);
        const std::vector<std::string> expected = {
            std::string("// App: ") + c.hostName + " 16.9.1",
            "// App ID: com.example.host",
            "// OS: " + os + " (" + architecture + ") ",
            "// Driver: 4.5.6",
            c.sandboxedLine,
            c.wideLine,
        };
        EXPECT_EQ(lines(environment.trace), expected);
    }
}

TEST(ConnectionHost, WritesNoBannerWithoutTrace) {
    OdbcSandbox sandbox;
    CapturingEnvironment environment;
    TestConnection connection(&environment);
    EXPECT_EQ(environment.trace, "");
}

TEST_F(ConnectionTest, QueryLogAppendsOneLinePerExecution) {
    const fs::path path = sandbox.root() / "queries.log";
    connection.setQueryLog(250, path.string());
    EXPECT_TRUE(connection.isQueryLogOn());
    EXPECT_EQ(connection.queryLogTime(), 250);

    connection.writeQueryLog(300, "select 1");
    connection.writeQueryLog(1234567890123, "select\t2");

    const std::vector<std::string> written = lines(OdbcSandbox::readFile(path));
    ASSERT_EQ(written.size(), 2u);
    const std::size_t first = timestampLength(written[0]);
    ASSERT_GT(first, 0u) << written[0];
    EXPECT_EQ(written[0].substr(first), "\t300\tselect 1");
    const std::size_t second = timestampLength(written[1]);
    ASSERT_GT(second, 0u) << written[1];
    EXPECT_EQ(written[1].substr(second), "\t1234567890123\tselect\t2");
}

TEST_F(ConnectionTest, QueryLogInAMissingFolderIsSkipped) {
    const fs::path path = sandbox.root() / "missing" / "queries.log";
    connection.setQueryLog(0, path.string());
    connection.writeQueryLog(5, "select 1");
    EXPECT_FALSE(fs::exists(path));
    EXPECT_TRUE(connection.diagnostics().isEmpty());
}

// The error log lives in /tmp, named after the bundle identifier and the
// thread; each test uses its own identifier and removes its files.
class ErrorLogTest : public ::testing::Test {
  protected:
    std::string bundle = "com.example.conn-errlog-" + std::to_string(getpid());
    OdbcSandbox sandbox;
    CapturingEnvironment environment{bundle};
    TestConnection connection{&environment};

    std::vector<fs::path> logFiles() const {
        std::vector<fs::path> found;
        for (const auto& entry : fs::directory_iterator("/tmp")) {
            if (entry.path().filename().string().rfind(bundle + "_error.", 0) == 0) {
                found.push_back(entry.path());
            }
        }
        return found;
    }
    void TearDown() override {
        for (const fs::path& path : logFiles()) {
            fs::remove(path);
        }
    }
};

TEST_F(ErrorLogTest, AppendsPrivateLinesPerThread) {
    connection.writeErrorLog("first failure");
    connection.writeErrorLog("second failure");
    std::thread other([this] { connection.writeErrorLog("from another thread"); });
    other.join();

    const std::vector<fs::path> files = logFiles();
    ASSERT_EQ(files.size(), 2u);
    for (const fs::path& file : files) {
        EXPECT_TRUE(isErrorLogName(file.filename().string(), bundle)) << file;
        struct stat info {};
        ASSERT_EQ(::stat(file.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u) << file;
        const std::vector<std::string> written = lines(OdbcSandbox::readFile(file));
        ASSERT_FALSE(written.empty());
        for (const std::string& text : written) {
            const std::size_t stamp = timestampLength(text);
            EXPECT_GT(stamp, 0u) << text;
            EXPECT_EQ(text.substr(stamp, 1), " ") << text;
        }
        if (written.size() == 2) {
            EXPECT_NE(written[0].find(" first failure"), std::string::npos);
            EXPECT_NE(written[1].find(" second failure"), std::string::npos);
        } else {
            ASSERT_EQ(written.size(), 1u);
            EXPECT_NE(written[0].find(" from another thread"), std::string::npos);
        }
    }
}

TEST_F(ErrorLogTest, DoesNotFollowAPlantedLink) {
    connection.writeErrorLog("find my name");
    const std::vector<fs::path> files = logFiles();
    ASSERT_EQ(files.size(), 1u);
    fs::remove(files[0]);
    const fs::path target = sandbox.root() / "victim";
    OdbcSandbox::writeFile(target, "untouched\n");
    fs::create_symlink(target, files[0]);

    connection.writeErrorLog("must not land in the victim");

    EXPECT_EQ(OdbcSandbox::readFile(target), "untouched\n");
    EXPECT_TRUE(fs::is_symlink(files[0]));
}

TEST_F(ErrorLogTest, APlantedFifoDoesNotHoldTheCall) {
    connection.writeErrorLog("find my name");
    const std::vector<fs::path> files = logFiles();
    ASSERT_EQ(files.size(), 1u);
    fs::remove(files[0]);
    ASSERT_EQ(::mkfifo(files[0].c_str(), 0600), 0);

    connection.writeErrorLog("nobody reads this");  // would wait for a reader

    EXPECT_TRUE(fs::is_fifo(files[0]));
}

TEST_F(ErrorLogTest, LeavesAFileOfAnotherUserAlone) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to plant a file of another user";
    }
    connection.writeErrorLog("find my name");
    const std::vector<fs::path> files = logFiles();
    ASSERT_EQ(files.size(), 1u);
    OdbcSandbox::writeFile(files[0], "theirs\n");
    ASSERT_EQ(::chown(files[0].c_str(), 65534, 65534), 0);

    connection.writeErrorLog("must not land in their file");

    EXPECT_EQ(OdbcSandbox::readFile(files[0]), "theirs\n");
}

TEST_F(ConnectionTest, ClipsTimeoutsAndPacketSizesToTheLimits) {
    struct Case {
        const char* label;
        SQLINTEGER attribute;
        SQLUINTEGER min;
        SQLUINTEGER max;
        SQLUINTEGER value;
        SQLUINTEGER stored;
        SQLRETURN rc;
    };
    const Case cases[] = {
        {"timeout over max", SQL_ATTR_CONNECTION_TIMEOUT, 0, 60, 100, 60, SQL_SUCCESS_WITH_INFO},
        {"timeout at max", SQL_ATTR_CONNECTION_TIMEOUT, 0, 60, 60, 60, SQL_SUCCESS},
        {"timeout no max", SQL_ATTR_CONNECTION_TIMEOUT, 0, 0, 100, 100, SQL_SUCCESS},
        {"login over max", SQL_ATTR_LOGIN_TIMEOUT, 0, 30, 31, 30, SQL_SUCCESS_WITH_INFO},
        {"login no max", SQL_ATTR_LOGIN_TIMEOUT, 0, 0, 4000000000u, 4000000000u, SQL_SUCCESS},
        {"packet below min", SQL_ATTR_PACKET_SIZE, 512, 4096, 100, 512, SQL_SUCCESS_WITH_INFO},
        {"packet zero", SQL_ATTR_PACKET_SIZE, 512, 4096, 0, 0, SQL_SUCCESS},
        {"packet above max", SQL_ATTR_PACKET_SIZE, 512, 4096, 5000, 4096, SQL_SUCCESS_WITH_INFO},
        {"packet inside", SQL_ATTR_PACKET_SIZE, 512, 4096, 1024, 1024, SQL_SUCCESS},
        {"packet no limits", SQL_ATTR_PACKET_SIZE, 0, 0, 7, 7, SQL_SUCCESS},
    };
    for (const Case& c : cases) {
        connection.connectionMax = c.max;
        connection.loginMax = c.max;
        connection.packetMin = c.min;
        connection.packetMax = c.max;
        const SQLRETURN rc = connection.setConnectAttr(
            c.attribute, reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(c.value)), 0);
        EXPECT_EQ(rc, c.rc) << c.label;
        EXPECT_EQ(stateOf(connection), rc == SQL_SUCCESS ? "" : "01S02") << c.label;
        EXPECT_EQ(readNumber(connection, c.attribute), c.stored) << c.label;
    }
}

TEST_F(ConnectionTest, RefusesAttributesThatCannotBeSetNow) {
    struct Case {
        const char* label;
        SQLINTEGER attribute;
        SQLULEN value;
        bool connected;
        bool inTransaction;
        SQLRETURN rc;
        const char* state;
    };
    const Case cases[] = {
        {"packet size once connected", SQL_ATTR_PACKET_SIZE, 1024, true, false, SQL_ERROR, "HY011"},
        {"translate option before connect", SQL_ATTR_TRANSLATE_OPTION, 3, false, false, SQL_ERROR,
         "HY011"},
        {"translate option after connect", SQL_ATTR_TRANSLATE_OPTION, 3, true, false, SQL_SUCCESS,
         ""},
        {"isolation in a transaction", SQL_ATTR_TXN_ISOLATION, 8, false, true, SQL_ERROR, "HY011"},
        {"isolation outside", SQL_ATTR_TXN_ISOLATION, 8, false, false, SQL_SUCCESS, ""},
    };
    for (const Case& c : cases) {
        TestConnection fresh(&environment);
        fresh.setConnected(c.connected);
        fresh.inTransaction = c.inTransaction;
        const SQLUINTEGER before = readNumber(fresh, c.attribute);
        EXPECT_EQ(fresh.setConnectAttr(c.attribute, reinterpret_cast<SQLPOINTER>(c.value), 0), c.rc)
            << c.label;
        EXPECT_EQ(stateOf(fresh), c.state) << c.label;
        EXPECT_EQ(readNumber(fresh, c.attribute), c.rc == SQL_SUCCESS ? c.value : before)
            << c.label;
    }
}

TEST_F(ConnectionTest, AsyncModeAndAutocommitFollowTheInformationItems) {
    struct Case {
        const char* label;
        SQLINTEGER attribute;
        SQLULEN value;
        SQLUINTEGER asyncMode;
        SQLUSMALLINT txnCapable;
        SQLRETURN hook;
        SQLRETURN rc;
        const char* state;
        SQLUINTEGER stored;
    };
    const Case cases[] = {
        {"async on unsupported", SQL_ATTR_ASYNC_ENABLE, 1, SQL_AM_NONE, SQL_TC_DML, SQL_SUCCESS,
         SQL_ERROR, "HYC00", 0},
        {"async on supported", SQL_ATTR_ASYNC_ENABLE, 1, SQL_AM_CONNECTION, SQL_TC_DML, SQL_SUCCESS,
         SQL_SUCCESS, "", 1},
        {"async odd value", SQL_ATTR_ASYNC_ENABLE, 7, SQL_AM_CONNECTION, SQL_TC_DML, SQL_SUCCESS,
         SQL_SUCCESS, "", 0},
        {"autocommit on without transactions", SQL_ATTR_AUTOCOMMIT, 1, SQL_AM_NONE, SQL_TC_NONE,
         SQL_SUCCESS, SQL_ERROR, "HYC00", 1},
        {"autocommit off", SQL_ATTR_AUTOCOMMIT, 0, SQL_AM_NONE, SQL_TC_DML, SQL_SUCCESS,
         SQL_SUCCESS, "", 0},
        {"autocommit hook warns", SQL_ATTR_AUTOCOMMIT, 0, SQL_AM_NONE, SQL_TC_DML,
         SQL_SUCCESS_WITH_INFO, SQL_SUCCESS_WITH_INFO, "", 0},
        {"autocommit hook fails", SQL_ATTR_AUTOCOMMIT, 0, SQL_AM_NONE, SQL_TC_DML, SQL_ERROR,
         SQL_ERROR, "", 1},
    };
    for (const Case& c : cases) {
        TestConnection fresh(&environment);
        fresh.asyncMode = c.asyncMode;
        fresh.txnCapable = c.txnCapable;
        fresh.autocommitHook = c.hook;
        EXPECT_EQ(fresh.setConnectAttr(c.attribute, reinterpret_cast<SQLPOINTER>(c.value), 0), c.rc)
            << c.label;
        EXPECT_EQ(stateOf(fresh), c.state) << c.label;
        EXPECT_EQ(readNumber(fresh, c.attribute), c.stored) << c.label;
    }
}

TEST_F(ConnectionTest, AcceptsWithoutEffectWhatItDoesNotKeep) {
    for (SQLINTEGER attribute :
         {SQLINTEGER{SQL_ATTR_TRACE}, SQLINTEGER{SQL_ATTR_ODBC_CURSORS}, SQLINTEGER{30002},
          SQLINTEGER{SQL_ATTR_CONNECTION_DEAD}, SQLINTEGER{SQL_ATTR_AUTO_IPD}, SQLINTEGER{4242}}) {
        EXPECT_EQ(connection.setConnectAttr(attribute, reinterpret_cast<SQLPOINTER>(0), 0),
                  SQL_SUCCESS)
            << attribute;
        EXPECT_TRUE(connection.diagnostics().isEmpty());
    }
    EXPECT_EQ(readNumber(connection, SQL_ATTR_AUTO_IPD), 1u);
    EXPECT_EQ(readNumber(connection, SQL_ATTR_CONNECTION_DEAD), 1u);

    SQLUINTEGER untouched = 77;
    SQLINTEGER length = 99;
    EXPECT_EQ(connection.getConnectAttr(SQL_ATTR_ODBC_CURSORS, &untouched, 4, &length),
              SQL_SUCCESS);
    EXPECT_EQ(untouched, 77u);
    EXPECT_EQ(length, 0);
}

TEST_F(ConnectionTest, ConnectionDeadFollowsTheConnectedFlag) {
    EXPECT_EQ(readNumber(connection, SQL_ATTR_CONNECTION_DEAD), SQL_CD_TRUE);
    const SQLCHAR server[] = "serverXYZ";
    EXPECT_EQ(
        connection.connect(server, 6, nullptr, 0, reinterpret_cast<const SQLCHAR*>("pw"), SQL_NTS),
        SQL_SUCCESS);
    EXPECT_EQ(connection.connectedWith, (std::vector<std::string>{"server", "", "pw"}));
    EXPECT_EQ(readNumber(connection, SQL_ATTR_CONNECTION_DEAD), SQL_CD_FALSE);
    connection.disconnect();
    EXPECT_EQ(readNumber(connection, SQL_ATTR_CONNECTION_DEAD), SQL_CD_TRUE);
}

TEST_F(ConnectionTest, ReadsStringAttributesByTheirLength) {
    connection.setConnected(true);  // the translate library needs a connection
    const char unterminated[] = {'c', 'a', 't', 'a', 'l', 'o', 'g', 'X', 'Y', 'Z'};
    struct Case {
        SQLINTEGER attribute;
        const char* value;
        SQLINTEGER length;
        const char* stored;
    };
    const Case cases[] = {
        {SQL_ATTR_CURRENT_CATALOG, unterminated, 7, "catalog"},
        {SQL_ATTR_CURRENT_CATALOG, "whole", SQL_NTS, "whole"},
        {SQL_ATTR_TRACEFILE, "trace.logJUNK", 9, "trace.log"},
        {SQL_ATTR_TRACEFILE, "stops\0early", 11, "stops"},
        {SQL_ATTR_TRANSLATE_LIB, "libx.so", SQL_NTS, "libx.so"},
        {SQL_ATTR_TRANSLATE_LIB, "ignored", 0, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(connection.setConnectAttr(c.attribute, const_cast<char*>(c.value), c.length),
                  SQL_SUCCESS);
        char buffer[32] = {};
        SQLINTEGER length = -1;
        EXPECT_EQ(connection.getConnectAttr(c.attribute, buffer, sizeof buffer, &length),
                  SQL_SUCCESS);
        EXPECT_STREQ(buffer, c.stored);
        EXPECT_EQ(length, static_cast<SQLINTEGER>(std::strlen(c.stored)));
    }
}

TEST_F(ConnectionTest, RefusesANullStringValue) {
    EXPECT_EQ(connection.setConnectAttr(SQL_ATTR_CURRENT_CATALOG, const_cast<char*>("db"), SQL_NTS),
              SQL_SUCCESS);
    for (SQLINTEGER attribute :
         {SQL_ATTR_CURRENT_CATALOG, SQL_ATTR_TRACEFILE, SQL_ATTR_TRANSLATE_LIB}) {
        EXPECT_EQ(connection.setConnectAttr(attribute, nullptr, SQL_NTS), SQL_ERROR);
        EXPECT_EQ(stateOf(connection), "HY009");
    }
    EXPECT_EQ(connection.getAttrCurrentCatalog(), "db");
}

TEST_F(ConnectionTest, CutsNarrowTextAndKeepsTheFullLength) {
    connection.setAttrCurrentCatalog("inventory");
    char buffer[8];
    std::memset(buffer, '#', sizeof buffer);
    SQLINTEGER length = 0;
    EXPECT_EQ(connection.getConnectAttr(SQL_ATTR_CURRENT_CATALOG, buffer, 5, &length), SQL_SUCCESS);
    EXPECT_EQ(std::string(buffer, 5), std::string("inve\0", 5));
    EXPECT_EQ(std::string(buffer + 5, 3), "###");
    EXPECT_EQ(length, 9);
}

TEST_F(ConnectionTest, AnswersWideTextInFourByteUnits) {
    ASSERT_EQ(connection.setConnectAttr(1057, reinterpret_cast<SQLPOINTER>(1), 0), SQL_SUCCESS);
    EXPECT_TRUE(connection.isWideApi());
    EXPECT_TRUE(connection.isUnicodeTextTypes());
    EXPECT_EQ(readNumber(connection, 1057), 1u);
    // Six characters, one of them outside the 16-bit plane.
    connection.setAttrCurrentCatalog("h\xC3\xA9llo\xF0\x9F\x98\x80");

    SQLWCHAR wide[10];
    std::memset(wide, 0x5A, sizeof wide);
    SQLINTEGER length = 0;
    EXPECT_EQ(
        connection.getConnectAttr(SQL_ATTR_CURRENT_CATALOG, wide, 8 * sizeof(SQLWCHAR), &length),
        SQL_SUCCESS);
    EXPECT_EQ(length, 6 * 4);
    const std::vector<SQLWCHAR> expected = {L'h', 0xE9, L'l', L'l', L'o', 0x1F600, 0};
    EXPECT_EQ(std::vector<SQLWCHAR>(wide, wide + 7), expected);
    SQLWCHAR guard;
    std::memset(&guard, 0x5A, sizeof guard);
    EXPECT_EQ(wide[8], guard);
    EXPECT_EQ(wide[9], guard);

    // Cut to the buffer: whole characters and a zero unit, the full length.
    std::memset(wide, 0x5A, sizeof wide);
    EXPECT_EQ(
        connection.getConnectAttr(SQL_ATTR_CURRENT_CATALOG, wide, 3 * sizeof(SQLWCHAR), &length),
        SQL_SUCCESS);
    EXPECT_EQ(length, 6 * 4);
    EXPECT_EQ(wide[0], SQLWCHAR{L'h'});
    EXPECT_EQ(wide[2], SQLWCHAR{0});
    EXPECT_EQ(wide[3], guard);

    // Less room than one unit: the buffer holds what fits and nothing beyond.
    std::memset(wide, 0x5A, sizeof wide);
    EXPECT_EQ(connection.getConnectAttr(SQL_ATTR_CURRENT_CATALOG, wide, 2, &length), SQL_SUCCESS);
    EXPECT_EQ(length, 6 * 4);
    EXPECT_EQ(std::memcmp(reinterpret_cast<unsigned char*>(wide) + 2, &guard, 2), 0);
    EXPECT_EQ(wide[1], guard);

    ASSERT_EQ(connection.setConnectAttr(1057, reinterpret_cast<SQLPOINTER>(2), 0), SQL_SUCCESS);
    EXPECT_FALSE(connection.isWideApi());
    EXPECT_FALSE(connection.isUnicodeTextTypes());
}

TEST_F(ConnectionTest, KeepsTheQuietModeAtFullWidth) {
    const SQLULEN window = 0x123456789ABCull;
    EXPECT_EQ(
        connection.setConnectAttr(SQL_ATTR_QUIET_MODE, reinterpret_cast<SQLPOINTER>(window), 0),
        SQL_SUCCESS);
    SQLULEN read = 0;
    EXPECT_EQ(connection.getConnectAttr(SQL_ATTR_QUIET_MODE, &read, 0, nullptr), SQL_SUCCESS);
    EXPECT_EQ(read, window);
}

TEST_F(ConnectionTest, WritesNothingThroughANullValue) {
    for (SQLINTEGER attribute : {SQL_ATTR_AUTOCOMMIT, SQL_ATTR_QUIET_MODE, SQL_ATTR_CONNECTION_DEAD,
                                 SQL_ATTR_CURRENT_CATALOG}) {
        SQLINTEGER length = -1;
        EXPECT_EQ(connection.getConnectAttr(attribute, nullptr, 0, &length), SQL_SUCCESS);
    }
}

TEST_F(ConnectionTest, ErrorReturnsRecordsOneAtATime) {
    connection.diagnostics().prependRecord("HY001", 7, "second", 2, 3);
    connection.diagnostics().prependRecord("HY000", 5, "first", -1, -1);
    connection.diagnostics().appendRecord("01S02", 0, "", -1, -1);

    const std::vector<std::pair<std::string, std::string>> expected = {
        {"HY000", "[Vorlan][TestDB] first"},
        {"HY001", "[Vorlan][TestDB] second"},
        {"01S02", "[Vorlan][TestDB] Option value changed"},
    };
    for (const auto& [state, message] : expected) {
        SQLCHAR stateOut[6] = {};
        SQLCHAR text[64] = {};
        SQLINTEGER native = -1;
        SQLSMALLINT length = 0;
        ASSERT_EQ(connection.error(stateOut, &native, text, sizeof text, &length), SQL_SUCCESS);
        EXPECT_EQ(reinterpret_cast<char*>(stateOut), state);
        EXPECT_EQ(reinterpret_cast<char*>(text), message);
    }
    EXPECT_EQ(connection.error(nullptr, nullptr, nullptr, 0, nullptr), SQL_NO_DATA);
}

TEST_F(ConnectionTest, ErrorKeepsTheFieldsOfTheRemainingRecords) {
    connection.diagnostics().prependRecord("42S02", 1146, "no such table", 4, 9);
    connection.diagnostics().prependRecord("HY000", 5, "first", -1, -1);
    ASSERT_EQ(connection.error(nullptr, nullptr, nullptr, 0, nullptr), SQL_SUCCESS);
    ASSERT_EQ(connection.diagnostics().recordCount(), 1u);
    SQLINTEGER native = 0;
    SQLINTEGER column = 0;
    SQLLEN row = 0;
    connection.getDiagField(1, SQL_DIAG_NATIVE, &native, 0, nullptr);
    connection.getDiagField(1, SQL_DIAG_COLUMN_NUMBER, &column, 0, nullptr);
    connection.getDiagField(1, SQL_DIAG_ROW_NUMBER, &row, 0, nullptr);
    EXPECT_EQ(stateOf(connection), "42S02");
    EXPECT_EQ(native, 1146);
    EXPECT_EQ(column, 4);
    EXPECT_EQ(row, 9);
}

TEST_F(ConnectionTest, NamesTheDataSourceInDiagnosticFields) {
    connection.connect(reinterpret_cast<const SQLCHAR*>("Sales"), SQL_NTS, nullptr, 0, nullptr, 0);
    for (SQLSMALLINT identifier :
         {SQLSMALLINT{SQL_DIAG_CONNECTION_NAME}, SQLSMALLINT{SQL_DIAG_SERVER_NAME}}) {
        char buffer[16] = {};
        SQLSMALLINT length = 0;
        EXPECT_EQ(connection.getDiagField(7, identifier, buffer, sizeof buffer, &length),
                  SQL_SUCCESS);
        EXPECT_STREQ(buffer, "Sales");
        EXPECT_EQ(length, 5);
    }
}

TEST_F(ConnectionTest, NativeSqlRewritesAndWarnsWhenCut) {
    char out[64] = {};
    SQLINTEGER length = 0;
    const SQLCHAR text[] = "select 1;garbage";
    EXPECT_EQ(connection.nativeSql(text, 8, reinterpret_cast<SQLCHAR*>(out), sizeof out, &length),
              SQL_SUCCESS);
    EXPECT_STREQ(out, "/*x*/select 1");
    EXPECT_EQ(length, 13);

    EXPECT_EQ(connection.nativeSql(text, SQL_NTS, reinterpret_cast<SQLCHAR*>(out), 6, &length),
              SQL_SUCCESS_WITH_INFO);
    EXPECT_STREQ(out, "/*x*/");
    EXPECT_EQ(length, 21);
    EXPECT_EQ(stateOf(connection), "01004");

    // Asking only for the length is no truncation.
    EXPECT_EQ(connection.nativeSql(text, SQL_NTS, nullptr, 6, &length), SQL_SUCCESS);
    EXPECT_EQ(length, 21);
    EXPECT_TRUE(connection.diagnostics().isEmpty());
}

TEST_F(ConnectionTest, TracesTheChosenEncodings) {
    CapturingEnvironment tracing("com.example.conn-test", true);
    TestConnection traced(&tracing);
    tracing.trace.clear();
    traced.setSendEncoding("UTF-8");
    traced.setReceiveEncoding("latin-1");
    traced.setDatabaseEncoding("utf");
    EXPECT_EQ(tracing.trace,
              "// sendEncoding: UTF-8 (0x8000100)\n"
              "// receiveEncoding: latin-1 (0x201)\n");
    EXPECT_EQ(traced.sendEncoding(), 0x08000100u);
    EXPECT_EQ(traced.receiveEncoding(), 0x0201u);
    EXPECT_EQ(traced.databaseEncoding(), 0x08000100u);
    traced.setReceiveEncodingId(0x1C000100);
    EXPECT_EQ(traced.receiveEncoding(), 0x1C000100u);
}

TEST_F(ConnectionTest, MapsDefaultApplicationTypes) {
    struct Case {
        SQLSMALLINT sqlType;
        SQLSMALLINT cType;
    };
    const Case cases[] = {
        {SQL_WCHAR, SQL_C_WCHAR},
        {SQL_WVARCHAR, SQL_C_WCHAR},
        {SQL_WLONGVARCHAR, SQL_C_WCHAR},
        {SQL_BIT, SQL_C_BIT},
        {SQL_TINYINT, SQL_C_STINYINT},
        {SQL_BIGINT, SQL_C_SBIGINT},
        {SQL_BINARY, SQL_C_BINARY},
        {SQL_VARBINARY, SQL_C_BINARY},
        {SQL_LONGVARBINARY, SQL_C_BINARY},
        {SQL_CHAR, SQL_C_CHAR},
        {SQL_VARCHAR, SQL_C_CHAR},
        {SQL_LONGVARCHAR, SQL_C_CHAR},
        {SQL_NUMERIC, SQL_C_CHAR},
        {SQL_DECIMAL, SQL_C_CHAR},
        {SQL_INTEGER, SQL_C_SLONG},
        {SQL_SMALLINT, SQL_C_SSHORT},
        {SQL_FLOAT, SQL_C_DOUBLE},
        {SQL_DOUBLE, SQL_C_DOUBLE},
        {SQL_REAL, SQL_C_FLOAT},
        {SQL_TYPE_DATE, SQL_C_TYPE_DATE},
        {SQL_TYPE_TIME, SQL_C_TYPE_TIME},
        {SQL_TYPE_TIMESTAMP, SQL_C_TYPE_TIMESTAMP},
        {SQL_GUID, SQL_GUID},
        {SQL_INTERVAL_DAY, SQL_INTERVAL_DAY},
        {1234, 1234},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(connection.defaultCType(c.sqlType), c.cType) << c.sqlType;
    }
}

}  // namespace
