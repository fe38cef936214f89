#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include "driver/core/EnvironmentFactory.h"
#include "driver/core/SystemDriverPreferences.h"
#include "driver/core/VorlanEnvironment.h"
#include "platform/HostInfo.h"
#include "platform/PropertyList.h"
#include "tests/support/OdbcSandbox.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kProduct = "Vorlan Tarvex";
constexpr const char* kBundleId = "com.vorlanworks.odbcdriver.morvanex";

std::string pidSuffix() {
    return "-" + std::to_string(getpid());
}

void setTraceFile(OdbcSandbox& sandbox, const std::string& value) {
    sandbox.setKey(sandbox.odbcinstIni(OdbcSandbox::Scope::System), kProduct, "TraceFile", value);
}

// Runs the test body inside another working folder.
class WorkingFolder {
  public:
    explicit WorkingFolder(const fs::path& folder) : previous_(fs::current_path()) {
        fs::current_path(folder);
    }
    ~WorkingFolder() { fs::current_path(previous_); }

  private:
    fs::path previous_;
};

std::string diagState(Environment& environment, SQLSMALLINT record) {
    SQLCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLCHAR message[256] = {};
    SQLSMALLINT length = 0;
    if (environment.getDiagRec(record, state, &native, message, sizeof message, &length) !=
        SQL_SUCCESS) {
        return "none";
    }
    return reinterpret_cast<char*>(state);
}

TEST(Environment, CarriesTheDriversIdentity) {
    OdbcSandbox sandbox;
    auto environment = createEnvironment();
    EXPECT_EQ(environment->bundleIdentifier(), kBundleId);
    EXPECT_EQ(environment->driverFileName(), "morvanex.so");
    EXPECT_EQ(environment->productName(), kProduct);
    EXPECT_EQ(environment->vendorName(), "Vorlan");
    EXPECT_EQ(environment->getAttrOdbcVersion(), 3u);
    EXPECT_EQ(environment->hostAppName(), host_info::executablePath().filename().string());
    EXPECT_EQ(environment->hostAppVersion(), "");
    auto* preferences = dynamic_cast<SystemDriverPreferences*>(environment->preferences());
    ASSERT_NE(preferences, nullptr);
    EXPECT_EQ(preferences->productName(), kProduct);
    EXPECT_STREQ(driverOdbcVersion(), "03.00");
}

TEST(Environment, TraceFilePreferenceChoosesTheDestination) {
    struct Case {
        const char* name;
        std::string value;  // TraceFile in ODBCINST.INI ("" for none)
        bool tracing;
        bool toStderr;
        std::string fileExpected;  // relative to the sandbox; "" for none
    };
    const std::string suffix = pidSuffix();
    const Case cases[] = {
        {"empty", "", false, false, ""},
        {"stderr", "stderr", true, true, ""},
        {"capitals are a file name", "STDERR", true, false, "STDERR" + suffix},
        {"path", "@/trace.log", true, false, "trace.log" + suffix},
        {"missing folder", "@/absent/trace.log", false, false, ""},
    };
    for (const Case& c : cases) {
        OdbcSandbox sandbox;
        WorkingFolder inside(sandbox.root());
        std::string value = c.value;
        if (value.rfind("@/", 0) == 0) {
            value = (sandbox.root() / value.substr(2)).string();
        }
        if (!value.empty()) {
            setTraceFile(sandbox, value);
        }
        auto environment = createEnvironment();
        EXPECT_EQ(environment->isTracing(), c.tracing) << c.name;
        EXPECT_EQ(environment->traceToStderr(), c.toStderr) << c.name;
        if (!c.fileExpected.empty()) {
            const fs::path file = sandbox.root() / c.fileExpected;
            ASSERT_TRUE(fs::exists(file)) << c.name;
            struct stat info {};
            ASSERT_EQ(stat(file.c_str(), &info), 0);
            EXPECT_EQ(info.st_mode & 0777, 0600u) << c.name;
        }
        EXPECT_FALSE(fs::exists(sandbox.root() / "absent")) << c.name;
    }
}

TEST(Environment, TrailingBlankIsPartOfTheFileName) {
    OdbcSandbox sandbox;
    WorkingFolder inside(sandbox.root());
    PropertyList list = PropertyList::newDictionary();
    list.setString("TraceFile", "stderr ");
    OdbcSandbox::writeFile(sandbox.root() / "xdg" / (std::string(kBundleId) + ".plist"),
                           list.toXml());

    auto environment = createEnvironment();

    EXPECT_TRUE(environment->isTracing());
    EXPECT_FALSE(environment->traceToStderr());
    EXPECT_TRUE(fs::exists(sandbox.root() / ("stderr " + pidSuffix())));
}

TEST(Environment, TwoEnvironmentsAppendToOneTraceFile) {
    OdbcSandbox sandbox;
    const fs::path base = sandbox.root() / "shared.trace";
    const fs::path file = base.string() + pidSuffix();
    OdbcSandbox::writeFile(file, "earlier run\n");
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
    setTraceFile(sandbox, base.string());

    auto first = createEnvironment();
    auto second = createEnvironment();
    first->writeTrace("rc = SQLAllocHandle(first);\n");
    second->writeTrace("rc = SQLAllocHandle(second);\n");
    first->writeTrace("// rc: SQL_SUCCESS\n");

    EXPECT_EQ(OdbcSandbox::readFile(file),
              "earlier run\n"
              "rc = SQLAllocHandle(first);\n"
              "rc = SQLAllocHandle(second);\n"
              "// rc: SQL_SUCCESS\n");
}

TEST(Environment, PlantedTraceFilesGetNothing) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to plant another user's file";
    }
    OdbcSandbox sandbox;
    const fs::path base = sandbox.root() / "planted.trace";
    const fs::path file = base.string() + pidSuffix();
    const fs::path other = sandbox.root() / "other";
    setTraceFile(sandbox, base.string());
    enum class Plant { ForeignFile, Link, SecondName };
    for (const Plant plant : {Plant::ForeignFile, Plant::Link, Plant::SecondName}) {
        OdbcSandbox::writeFile(other, "kept\n");
        switch (plant) {
            case Plant::ForeignFile:
                OdbcSandbox::writeFile(file, "kept\n");
                ASSERT_EQ(chown(file.c_str(), 65534, 65534), 0);
                break;
            case Plant::Link:
                fs::create_symlink(other, file);
                break;
            case Plant::SecondName:
                fs::create_hard_link(other, file);
                break;
        }
        auto environment = createEnvironment();
        environment->writeTrace("rc = SQLAllocHandle();\n");
        EXPECT_FALSE(environment->isTracing()) << static_cast<int>(plant);
        EXPECT_EQ(OdbcSandbox::readFile(other), "kept\n") << static_cast<int>(plant);
        if (plant == Plant::ForeignFile) {
            EXPECT_EQ(OdbcSandbox::readFile(file), "kept\n");
        }
        fs::remove(file);
    }
}

TEST(Environment, ConcurrentTraceWritesStayWhole) {
    OdbcSandbox sandbox;
    const fs::path base = sandbox.root() / "busy.trace";
    setTraceFile(sandbox, base.string());
    auto environment = createEnvironment();
    const std::string line = "rc = SQLExecDirect(stmt0x1, \"" + std::string(300, 's') + "\");\n";
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 200; ++i) {
                environment->writeTrace(line);
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    std::string text = OdbcSandbox::readFile(base.string() + pidSuffix());
    std::string expected;
    for (int i = 0; i < 800; ++i) {
        expected += line;
    }
    EXPECT_EQ(text, expected);
}

TEST(Environment, SetAndGetAttributes) {
    OdbcSandbox sandbox;
    constexpr SQLUINTEGER kUntouched = 0xDEADBEEF;
    struct Case {
        const char* name;
        SQLINTEGER setAttribute;  // 0: no set
        intptr_t setValue;
        SQLRETURN setResult;
        std::string state;  // record 1 after the set
        SQLINTEGER getAttribute;
        SQLUINTEGER expected;
    };
    const Case cases[] = {
        {"version 2", SQL_ATTR_ODBC_VERSION, 2, SQL_SUCCESS, "none", SQL_ATTR_ODBC_VERSION, 2},
        {"unchecked version", SQL_ATTR_ODBC_VERSION, 99, SQL_SUCCESS, "none", SQL_ATTR_ODBC_VERSION,
         99},
        {"output nts on", SQL_ATTR_OUTPUT_NTS, SQL_TRUE, SQL_SUCCESS, "none", SQL_ATTR_OUTPUT_NTS,
         1},
        {"output nts off", SQL_ATTR_OUTPUT_NTS, SQL_FALSE, SQL_ERROR, "HYC00", SQL_ATTR_OUTPUT_NTS,
         1},
        {"pooling", SQL_ATTR_CONNECTION_POOLING, SQL_CP_ONE_PER_DRIVER, SQL_ERROR, "HY092",
         SQL_ATTR_CONNECTION_POOLING, kUntouched},
        {"default version", 0, 0, SQL_SUCCESS, "none", SQL_ATTR_ODBC_VERSION, 3},
        {"unknown get", 0, 0, SQL_SUCCESS, "none", 12345, kUntouched},
    };
    for (const Case& c : cases) {
        auto environment = createEnvironment();
        if (c.setAttribute != 0) {
            EXPECT_EQ(
                environment->setEnvAttr(c.setAttribute, reinterpret_cast<SQLPOINTER>(c.setValue)),
                c.setResult)
                << c.name;
        }
        EXPECT_EQ(diagState(*environment, 1), c.state) << c.name;
        SQLUINTEGER value = kUntouched;
        SQLINTEGER length = -77;
        EXPECT_EQ(environment->getEnvAttr(c.getAttribute, &value, 0, &length), SQL_SUCCESS)
            << c.name;
        EXPECT_EQ(value, c.expected) << c.name;
        EXPECT_EQ(length, -77) << c.name;
        // The get cleared what the set posted.
        EXPECT_EQ(diagState(*environment, 1), "none") << c.name;
    }
}

TEST(Environment, GetEnvAttrWithoutABufferWritesNothing) {
    OdbcSandbox sandbox;
    auto environment = createEnvironment();
    EXPECT_EQ(environment->getEnvAttr(SQL_ATTR_ODBC_VERSION, nullptr, 0, nullptr), SQL_SUCCESS);
    EXPECT_EQ(environment->getEnvAttr(SQL_ATTR_OUTPUT_NTS, nullptr, 0, nullptr), SQL_SUCCESS);
}

TEST(Environment, ErrorReturnsEachRecordOnce) {
    OdbcSandbox sandbox;
    auto environment = createEnvironment();
    environment->diagnostics().prependRecord("HY000", 7, "second", 2, 3);
    environment->diagnostics().prependRecord("HY092", 0, "", -1, -1);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"HY092", "[Vorlan][Vorlan Tarvex] "},
        {"HY000", "[Vorlan][Vorlan Tarvex] second"},
    };
    for (const auto& [state, prefix] : expected) {
        SQLCHAR stateOut[6] = {};
        SQLINTEGER native = -1;
        SQLCHAR message[256] = {};
        SQLSMALLINT length = 0;
        ASSERT_EQ(environment->error(stateOut, &native, message, sizeof message, &length),
                  SQL_SUCCESS);
        EXPECT_EQ(reinterpret_cast<char*>(stateOut), state);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(message)).rfind(prefix, 0), 0u) << message;
    }
    SQLCHAR stateOut[6] = {};
    EXPECT_EQ(environment->error(stateOut, nullptr, nullptr, 0, nullptr), SQL_NO_DATA);
}

TEST(Environment, ErrorKeepsTheFieldsOfLaterRecords) {
    OdbcSandbox sandbox;
    auto environment = createEnvironment();
    DiagnosticHeader& diagnostics = environment->diagnostics();
    diagnostics.prependRecord("01004", 12, "cut", 4, 5);
    diagnostics.prependRecord("HY001", 0, "first", -1, -1);
    SQLCHAR state[6] = {};
    ASSERT_EQ(environment->error(state, nullptr, nullptr, 0, nullptr), SQL_SUCCESS);

    ASSERT_EQ(diagnostics.recordCount(), 1u);
    SQLINTEGER native = 0;
    SQLINTEGER column = 0;
    SQLLEN row = 0;
    SQLCHAR message[64] = {};
    diagnostics.getDiagField(1, SQL_DIAG_NATIVE, &native, 0, nullptr);
    diagnostics.getDiagField(1, SQL_DIAG_COLUMN_NUMBER, &column, 0, nullptr);
    diagnostics.getDiagField(1, SQL_DIAG_ROW_NUMBER, &row, 0, nullptr);
    diagnostics.getDiagField(1, SQL_DIAG_MESSAGE_TEXT, message, sizeof message, nullptr);
    EXPECT_EQ(diagState(*environment, 1), "01004");
    EXPECT_EQ(native, 12);
    EXPECT_EQ(column, 4);
    EXPECT_EQ(row, 5);
    EXPECT_STREQ(reinterpret_cast<char*>(message), "cut");
}

TEST(Environment, ConnectionAndServerNamesAreEmpty) {
    OdbcSandbox sandbox;
    auto environment = createEnvironment();
    for (SQLSMALLINT identifier : {SQL_DIAG_CONNECTION_NAME, SQL_DIAG_SERVER_NAME}) {
        for (SQLSMALLINT record : {0, 1, 9}) {
            char buffer[8] = {'x', 'x', 'x'};
            SQLSMALLINT length = -1;
            EXPECT_EQ(environment->getDiagField(record, identifier, buffer, sizeof buffer, &length),
                      SQL_SUCCESS);
            EXPECT_EQ(buffer[0], '\0');
            EXPECT_EQ(length, 0);
        }
    }
    environment->diagnostics().prependRecord("HY000", 0, "x", -1, -1);
    SQLINTEGER count = 0;
    EXPECT_EQ(environment->getDiagField(0, SQL_DIAG_NUMBER, &count, 0, nullptr), SQL_SUCCESS);
    EXPECT_EQ(count, 1);
}

TEST(Environment, ConnectionListKeepsOrderAndRemovesTheFirstMatch) {
    OdbcSandbox sandbox;
    auto environment = createEnvironment();
    // The list only stores the pointers; these are never followed.
    alignas(8) static char slots[3];
    auto* a = reinterpret_cast<Connection*>(&slots[0]);
    auto* b = reinterpret_cast<Connection*>(&slots[1]);
    auto* c = reinterpret_cast<Connection*>(&slots[2]);
    environment->addConnection(a);
    environment->addConnection(b);
    environment->addConnection(a);
    environment->removeConnection(a);
    environment->removeConnection(c);
    EXPECT_EQ(environment->connections(), (std::vector<Connection*>{b, a}));
}

TEST(Environment, ConnectionsComeAndGoOnManyThreads) {
    OdbcSandbox sandbox;
    auto environment = createEnvironment();
    static char slots[8];
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            auto* mine = reinterpret_cast<Connection*>(&slots[t]);
            for (int i = 0; i < 2000; ++i) {
                environment->addConnection(mine);
                environment->removeConnection(mine);
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_TRUE(environment->connections().empty());
}

}  // namespace
