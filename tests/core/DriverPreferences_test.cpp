// ctest-lock: relay-socket
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "driver/core/DriverPreferences.h"
#include "driver/core/SystemDriverPreferences.h"
#include "platform/InstallerFacade.h"
#include "platform/PropertyList.h"
#include "platform/SystemLog.h"
#include "tests/setup/FakePrivilegedRunner.h"
#include "tests/setup/RelayTestServer.h"
#include "tests/support/OdbcSandbox.h"

namespace {

constexpr const char* kBundleId = "com.vorlanworks.odbcdriver.morvanex";
constexpr const char* kProduct = "Vorlan Tarvex";
using Scope = OdbcSandbox::Scope;

struct RefusalReset {
    ~RefusalReset() { InstallerFacade::instance().setRefusal(nullptr); }
};

void writePlist(const std::filesystem::path& path,
                const std::vector<std::pair<std::string, std::string>>& strings,
                const std::vector<std::pair<std::string, std::vector<std::string>>>& arrays = {}) {
    PropertyList list = PropertyList::newDictionary();
    for (const auto& [key, value] : strings) {
        list.setString(key, value);
    }
    for (const auto& [key, values] : arrays) {
        list.setStringArray(key, values);
    }
    OdbcSandbox::writeFile(path, list.toXml());
}

class DriverPreferencesTest : public ::testing::Test {
  protected:
    std::filesystem::path systemPlist() const {
        return sandbox_.root() / "xdg" / (std::string(kBundleId) + ".plist");
    }
    std::filesystem::path userPlist() const {
        return sandbox_.home() / ".config" / (std::string(kBundleId) + ".plist");
    }
    void setInstallerKey(const std::string& key, const std::string& value) {
        sandbox_.setKey(sandbox_.odbcinstIni(Scope::System), kProduct, key, value);
    }
    std::string installerText() const {
        return OdbcSandbox::readFile(sandbox_.odbcinstIni(Scope::System));
    }

    OdbcSandbox sandbox_;
};

TEST_F(DriverPreferencesTest, ReadsTheInstallerFileBeforeThePropertyLists) {
    struct Case {
        const char* name;
        const char* installer;  // nullptr: key absent from ODBCINST.INI
        const char* systemList;
        const char* userList;
        std::string expected;
        uid_t owner = 0;  // of the user list, as root
        mode_t mode = 0644;
    };
    // Root reads no list that another user may have written.
    const std::string asRoot = geteuid() == 0 ? "" : "/user/trace";
    const Case cases[] = {
        {"installer wins", "/var/trace", "/system/trace", "/user/trace", "/var/trace"},
        {"system list", nullptr, "/system/trace", "/user/trace", "/system/trace"},
        {"user list", nullptr, nullptr, "/user/trace", "/user/trace"},
        {"nowhere", nullptr, nullptr, nullptr, ""},
        {"user list others may write", nullptr, nullptr, "/user/trace", asRoot, 0, 0666},
        {"another user's list", nullptr, nullptr, "/user/trace", asRoot, 65534},
    };
    for (const Case& c : cases) {
        OdbcSandbox sandbox;
        if (c.installer) {
            sandbox.setKey(sandbox.odbcinstIni(Scope::System), kProduct, "TraceFile", c.installer);
        }
        const std::string file = std::string(kBundleId) + ".plist";
        if (c.systemList) {
            writePlist(sandbox.root() / "xdg" / file, {{"TraceFile", c.systemList}});
        }
        if (c.userList) {
            writePlist(sandbox.home() / ".config" / file, {{"TraceFile", c.userList}});
            chmod((sandbox.home() / ".config" / file).c_str(), c.mode);
            if (geteuid() == 0) {
                ASSERT_EQ(chown((sandbox.home() / ".config" / file).c_str(), c.owner, 0), 0);
            }
        }
        SystemDriverPreferences preferences(kBundleId, kProduct, "TEAM", "");
        EXPECT_EQ(preferences.getTraceFile(), c.expected) << c.name;
    }
}

TEST_F(DriverPreferencesTest, PropertyListValuesAreCutAndNonStringsIgnored) {
    PropertyList list = PropertyList::newDictionary();
    list.setString("LastUser", std::string(2000, 'u'));
    list.setStringArray("TraceFile", {"not", "a string"});
    OdbcSandbox::writeFile(systemPlist(), list.toXml());

    DriverPreferences preferences(kBundleId, kProduct, "TEAM");

    EXPECT_EQ(preferences.getLastUser(), std::string(1023, 'u'));
    EXPECT_EQ(preferences.getTraceFile(), "");
}

// A user's binary list whose TraceFile holds U+0000 once aborted the host
// inside libplist while the environment was made.
TEST_F(DriverPreferencesTest, TraceFileHoldingNulReadsAsAbsent) {
    const std::string found = OdbcSandbox::readFile(std::string(MORVANEX_SOURCE_DIR) +
                                                    "/tests/fuzz/corpus/property_list/"
                                                    "tracefile-string-with-nul.bplist");
    ASSERT_FALSE(found.empty());
    OdbcSandbox::writeFile(userPlist(), found);

    SystemDriverPreferences preferences(kBundleId, kProduct, "TEAM", "");

    EXPECT_EQ(preferences.getTraceFile(), "");
}

TEST_F(DriverPreferencesTest, SetIsPendingUntilSaveWritesTheInstallerFile) {
    setInstallerKey("TraceFile", "/old");
    DriverPreferences preferences(kBundleId, kProduct, "TEAM");

    preferences.setTraceFile("/new");
    preferences.set("TraceLevel", "NETWORK");
    EXPECT_EQ(preferences.getTraceFile(), "/old");
    EXPECT_EQ(preferences.get("TraceLevel"), "");

    EXPECT_TRUE(preferences.save());

    EXPECT_EQ(preferences.getTraceFile(), "/new");
    EXPECT_EQ(preferences.get("TraceLevel"), "NETWORK");
    EXPECT_NE(installerText().find("NETWORK"), std::string::npos);
    // Nothing went near the user's file.
    EXPECT_EQ(OdbcSandbox::readFile(sandbox_.odbcinstIni(Scope::User)).find("NETWORK"),
              std::string::npos);
}

TEST_F(DriverPreferencesTest, EmptyValueDeletesTheKeyWithoutARequest) {
    setInstallerKey("LastUser", "alice");
    SystemLog::Capture log;
    FakePrivilegedRunner runner;
    DriverPreferences preferences(kBundleId, kProduct, "TEAM");

    preferences.setLastUser("");
    EXPECT_TRUE(preferences.save(true));

    EXPECT_EQ(installerText().find("alice"), std::string::npos);
    EXPECT_EQ(preferences.getLastUser(), "");
    EXPECT_TRUE(log.entries().empty());
    EXPECT_TRUE(runner.calls.empty());
}

TEST_F(DriverPreferencesTest, RefusedWriteSendsOneUpdatePreferencesRequest) {
    RefusalReset reset;
    InstallerFacade::instance().setRefusal(
        [](std::string_view fn) { return fn == "SQLWritePrivateProfileString"; });
    SystemLog::Capture log;
    FakePrivilegedRunner runner;
    RelayTestServer server(RelayTestServer::Behaviour::Reply, "OK");
    DriverPreferences preferences(kBundleId, kProduct, "TEAM");
    preferences.setTraceFile("/tmp/trace");
    preferences.setRecentServers({"db1.example", "db2.example"});
    preferences.setLastUser("");

    EXPECT_TRUE(preferences.save(true));

    auto request = PropertyList::parse(server.received());
    ASSERT_TRUE(request);
    EXPECT_EQ(request->string("Request"), "UpdatePreferences");
    EXPECT_EQ(request->string("BundleID"), kBundleId);
    EXPECT_EQ(request->string("ProductName"), kProduct);
    const auto data = request->data("Preferences");
    ASSERT_TRUE(data);
    auto sent = PropertyList::parse(*data);
    ASSERT_TRUE(sent);
    EXPECT_EQ(sent->keys().size(), 3u);
    EXPECT_EQ(sent->string("TraceFile"), "/tmp/trace");
    EXPECT_EQ(sent->string("LastUser"), "");
    EXPECT_EQ(sent->stringArray("RecentServers"), std::vector<std::string>{"db1.example"});
    EXPECT_TRUE(runner.calls.empty());
}

TEST_F(DriverPreferencesTest, RequestTheAdministratorRefusesIsAFailedSave) {
    RefusalReset reset;
    InstallerFacade::instance().setRefusal(
        [](std::string_view fn) { return fn == "SQLWritePrivateProfileString"; });
    SystemLog::Capture log;
    FakePrivilegedRunner runner;
    RelayTestServer server(RelayTestServer::Behaviour::Reply, "ERROR 5366");
    DriverPreferences preferences(kBundleId, kProduct, "TEAM");
    preferences.setTraceFile("/tmp/trace");

    EXPECT_FALSE(preferences.save(true));

    EXPECT_TRUE(log.contains("Quillmark did not apply the request: ERROR 5366"));
    EXPECT_TRUE(runner.calls.empty());
}

TEST_F(DriverPreferencesTest, RefusedWriteWithoutTheFlagFailsQuietly) {
    RefusalReset reset;
    InstallerFacade::instance().setRefusal(
        [](std::string_view fn) { return fn == "SQLWritePrivateProfileString"; });
    SystemLog::Capture log;
    FakePrivilegedRunner runner;
    DriverPreferences preferences(kBundleId, kProduct, "TEAM");
    preferences.setTraceFile("/tmp/trace");

    EXPECT_FALSE(preferences.save());
    EXPECT_TRUE(log.entries().empty());
    EXPECT_TRUE(runner.calls.empty());
    // The change stays pending, so a later save tries again.
    InstallerFacade::instance().setRefusal(nullptr);
    EXPECT_TRUE(preferences.save());
    EXPECT_EQ(preferences.getTraceFile(), "/tmp/trace");
}

TEST_F(DriverPreferencesTest, RecentListsComeFromTheInstallerFileOrTheArray) {
    struct Case {
        const char* name;
        const char* installer;
        std::vector<std::string> array;
        bool writeList;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"installer value", "srv0", {"srv1", "srv2"}, true, {"srv0"}},
        {"array order", nullptr, {"srv1", "srv2"}, true, {"srv1", "srv2"}},
        {"no file", nullptr, {}, false, {}},
    };
    for (const Case& c : cases) {
        OdbcSandbox sandbox;
        if (c.installer) {
            sandbox.setKey(sandbox.odbcinstIni(Scope::System), kProduct, "RecentServers",
                           c.installer);
        }
        if (c.writeList) {
            writePlist(sandbox.root() / "xdg" / (std::string(kBundleId) + ".plist"), {},
                       {{"RecentServers", c.array}});
        }
        DriverPreferences preferences(kBundleId, kProduct, "TEAM");
        EXPECT_EQ(preferences.getRecentServers(), c.expected) << c.name;
        if (!c.writeList) {
            EXPECT_EQ(preferences.dictionary().stringArray("RecentServers"),
                      std::vector<std::string>{});
            EXPECT_EQ(preferences.dictionary().stringArray("RecentDatabases"),
                      std::vector<std::string>{});
        }
    }
}

TEST_F(DriverPreferencesTest, EmptyRecentListChangesNothing) {
    DriverPreferences preferences(kBundleId, kProduct, "TEAM");
    preferences.setRecentDatabases({});
    EXPECT_TRUE(preferences.pendingChanges().empty());
    preferences.setRecentDatabases({"sales", "hr"});
    EXPECT_EQ(preferences.pendingChanges().at("RecentDatabases"), "sales");
}

}  // namespace
