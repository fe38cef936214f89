// ctest-lock: relay-socket
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "platform/AdministratorRequest.h"
#include "platform/PrivilegedRequestContract.h"
#include "platform/PropertyList.h"
#include "platform/SystemLog.h"
#include "tests/setup/FakePrivilegedRunner.h"
#include "tests/setup/ForeignRelayServer.h"
#include "tests/setup/RelayTestServer.h"
#include "tests/setup/TestBundle.h"
#include "tests/support/OdbcSandbox.h"
#include "tests/support/ScopedEnv.h"

namespace {

constexpr const char* kDriverId = "com.vorlanworks.odbcdriver.morvanex";
constexpr const char* kTeam = "7HQ2XV4KPD";

PropertyList makeRequest(const std::string& request) {
    PropertyList dictionary = PropertyList::newDictionary();
    dictionary.setString("Request", request);
    dictionary.setString("Type", "User");
    dictionary.setString("ConnectionString", "DSN=Sales;Description=Orders;");
    return dictionary;
}

class AdministratorRequestTest : public ::testing::Test {
  protected:
    AdministratorRequestTest()
        : bundlePath_(sandbox_.root() / "bundles" / "morvanex.bundle"),
          bundleEnv_("MORVANEX_BUNDLE_PATH", (sandbox_.root() / "bundles").string()) {
        writeTestBundle(bundlePath_, {{"CFBundleIdentifier", kDriverId}});
        setAdministratorReplyTimeout(std::chrono::seconds(60));
    }
    ~AdministratorRequestTest() override { setAdministratorReplyTimeout(std::chrono::seconds(60)); }

    std::filesystem::path helperProgram() const {
        return bundlePath_ / "Contents/Library/LaunchServices/QuillmarkHelper";
    }

    OdbcSandbox sandbox_;
    std::filesystem::path bundlePath_;
    ScopedEnv bundleEnv_;
    SystemLog::Capture log_;
    FakePrivilegedRunner runner_;
};

TEST_F(AdministratorRequestTest, OnlyAnOkReplyIsSuccessAndNoReplyRunsTheHelper) {
    struct Case {
        const char* name;
        std::string reply;
        bool applied;
        std::string logged;
    };
    const std::string longReply(5000, 'r');
    const Case cases[] = {
        {"ok", "OK", true, "Quillmark reply: OK"},
        {"ok with a line end", "OK\n", true, "Quillmark reply: OK\n"},
        {"refused", "ERROR 5366", false, "Quillmark did not apply the request: ERROR 5366"},
        {"empty", "", false, "Quillmark did not apply the request: no reply"},
        {"OK inside", "NOT OK", false, "Quillmark did not apply the request: NOT OK"},
        {"5000 bytes", longReply, false, "Quillmark reply: " + longReply.substr(0, 4095)},
    };
    for (const Case& c : cases) {
        SystemLog::Capture log;
        RelayTestServer server(RelayTestServer::Behaviour::Reply, c.reply);
        PropertyList request = makeRequest("Add");

        EXPECT_EQ(sendAdministratorRequest(request, kDriverId, kTeam), c.applied) << c.name;

        EXPECT_TRUE(log.contains(c.logged)) << c.name;
        // A refusal is final: the helper is not tried after it.
        EXPECT_TRUE(runner_.calls.empty()) << c.name;
        EXPECT_TRUE(server.sawEndOfRequest()) << c.name;
        // The socket request is the dictionary as XML, without the command key.
        auto received = PropertyList::parse(server.received());
        ASSERT_TRUE(received) << c.name;
        EXPECT_EQ(received->string("Request"), "Add");
        EXPECT_EQ(received->string("ConnectionString"), "DSN=Sales;Description=Orders;");
        EXPECT_FALSE(received->contains(privileged_request::kCommandKey)) << c.name;
    }
}

TEST_F(AdministratorRequestTest, RelayOfAnotherUserIsNotTrustedAndTheHelperRuns) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to run the relay as another user";
    }
    std::string folder = "/tmp/morvanex-relay-XXXXXX";
    ASSERT_NE(mkdtemp(folder.data()), nullptr);
    chmod(folder.c_str(), 0777);
    for (const bool setUserId : {false, true}) {  // a set-user-ID root program of nobody's
        SystemLog::Capture log;
        ScopedEnv runtime("XDG_RUNTIME_DIR", folder);
        const std::string socket = relay_socket::path(privileged_request::kAdministratorIdentifier);
        unlink(socket.c_str());
        ForeignRelayServer server(socket);
        PropertyList request = makeRequest("Add");
        ASSERT_EQ(setresuid(setUserId ? getpwnam("nobody")->pw_uid : 0, 0, 0), 0);

        EXPECT_TRUE(sendAdministratorRequest(request, kDriverId, kTeam)) << setUserId;

        ASSERT_EQ(setresuid(0, 0, 0), 0);
        EXPECT_TRUE(server.accepted()) << setUserId;
        EXPECT_TRUE(log.contains("failed to connect to Quillmark")) << setUserId;
        EXPECT_EQ(runner_.calls.size(), setUserId ? 2u : 1u);
    }
    std::filesystem::remove_all(folder);
}

TEST_F(AdministratorRequestTest, PeerClosingEarlyIsASendOrReceiveFailureNotASignal) {
    RelayTestServer server(RelayTestServer::Behaviour::CloseAtOnce);
    PropertyList request = makeRequest("Configure");
    // Larger than the socket buffer, so the send is still going when the
    // peer closes.
    request.setString("Padding", std::string(4 << 20, 'x'));

    EXPECT_TRUE(sendAdministratorRequest(request, kDriverId, kTeam));

    const bool sendFailed = log_.contains("failed to send request to Quillmark");
    const bool receiveFailed = log_.contains("failed to receive reply from Quillmark");
    EXPECT_TRUE(sendFailed || receiveFailed);
    ASSERT_EQ(runner_.calls.size(), 1u);
}

TEST_F(AdministratorRequestTest, SilentRelayTimesOutAndFallsBack) {
    setAdministratorReplyTimeout(std::chrono::milliseconds(200));
    RelayTestServer server(RelayTestServer::Behaviour::NeverReply);
    PropertyList request = makeRequest("Remove");

    EXPECT_TRUE(sendAdministratorRequest(request, kDriverId, kTeam));

    EXPECT_TRUE(log_.contains("failed to receive reply from Quillmark"));
    EXPECT_EQ(runner_.calls.size(), 1u);
}

TEST_F(AdministratorRequestTest, NoRelayRunsTheBundledHelperWithTheCommandKey) {
    struct Case {
        const char* request;
        const char* command;  // nullptr: no command key
    };
    const Case cases[] = {
        {"Add", "ConfigureDSN"},
        {"configure", "ConfigureDSN"},
        {"remove", "ConfigureDSN"},
        {"REMOVE", "ConfigureDSN"},
        {"UpdatePreferences", "UpdatePreferences"},
        {"updatepreferences", "UpdatePreferences"},
        {"GetVersion", "GetVersion"},
        {"getVERSION", "GetVersion"},
        {"Frobnicate", nullptr},
        {"Adds", nullptr},
    };
    for (const Case& c : cases) {
        FakePrivilegedRunner runner;
        SystemLog::Capture log;
        PropertyList request = makeRequest(c.request);

        EXPECT_TRUE(sendAdministratorRequest(request, kDriverId, kTeam)) << c.request;

        EXPECT_TRUE(log.contains("failed to connect to Quillmark")) << c.request;
        ASSERT_EQ(runner.calls.size(), 1u) << c.request;
        EXPECT_EQ(runner.calls[0].program, helperProgram());
        auto sent = PropertyList::parse(runner.calls[0].input);
        ASSERT_TRUE(sent) << c.request;
        if (c.command) {
            EXPECT_EQ(sent->string(privileged_request::kCommandKey), c.command) << c.request;
            EXPECT_EQ(request.string(privileged_request::kCommandKey), c.command) << c.request;
        } else {
            EXPECT_FALSE(sent->contains(privileged_request::kCommandKey)) << c.request;
        }
        EXPECT_EQ(sent->string("Request"), c.request);
    }
}

TEST_F(AdministratorRequestTest, HelperFailuresAreReportedAndLogged) {
    struct Case {
        const char* name;
        int verifyStatus;
        PrivilegedRunner::Outcome outcome;
        // As the helper's socket would have answered: empty when nothing did.
        const char* reply;
        std::vector<std::string> logged;
    };
    const Case cases[] = {
        {"untrusted helper",
         EPERM,
         {0, 0, ""},
         "",
         {"Failed code signing verification\n", "Failed code signing: helper is writable",
          "Setup tool call failed: " + std::to_string(EPERM)}},
        {"dismissed", 0, {0, 126, ""}, "ERROR 5370", {"Authentication failed"}},
        {"not authorised", 0, {0, 127, ""}, "ERROR 5370", {"Authentication failed"}},
        {"no pkexec",
         0,
         {ENOENT, -1, ""},
         "",
         {"Authenticated install submit failed: " + std::string(std::strerror(ENOENT))}},
        {"helper failed",
         0,
         {0, 3, "ERROR 5366\n"},
         "ERROR 5366",
         {"helper reply: ERROR 5366\n",
          "Authenticated install submit failed: helper exited with status 3"}},
        {"killed", 0, {0, -1, ""}, "", {"Authenticated install submit failed with unknown error"}},
        {"ran", 0, {0, 0, "OK\n"}, "OK", {}},
    };
    for (const Case& c : cases) {
        FakePrivilegedRunner runner;
        runner.verifyStatus = c.verifyStatus;
        runner.verifyProblem = c.verifyStatus ? "helper is writable" : "";
        runner.outcome = c.outcome;
        SystemLog::Capture log;
        PropertyList request = makeRequest("Add");

        EXPECT_EQ(administratorRequestReply(request, kDriverId, kTeam), c.reply) << c.name;
        for (const std::string& line : c.logged) {
            EXPECT_TRUE(log.contains(line)) << c.name << ": " << line;
        }
        EXPECT_EQ(runner.calls.size(), c.verifyStatus == 0 ? 1u : 0u) << c.name;
    }
}

TEST_F(AdministratorRequestTest, UnknownDriverBundleFailsWithoutRunningAnything) {
    PropertyList request = makeRequest("Add");

    EXPECT_FALSE(sendAdministratorRequest(request, "com.vorlanworks.nothing", kTeam));

    EXPECT_TRUE(runner_.calls.empty());
    EXPECT_TRUE(log_.contains("Setup tool call failed: " + std::to_string(ENOENT)));
}

}  // namespace
