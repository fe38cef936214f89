// The relay of the driver's requests through to a real helper process:
// a stale socket replaced, requests in a row, a silent peer timed out, a
// peer of another user refused, an over-long request, a helper that is
// gone; and end to end, the driver's request client running as an
// unprivileged administrator reaching the sandbox's system odbc.ini.
// ctest-timeout: 120
#include <gtest/gtest.h>

#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>

#include "admin/AuthListener.h"
#include "admin/XPCSetupTool.h"
#include "platform/AdministratorRequest.h"
#include "platform/PrivilegedRequestContract.h"
#include "platform/DescriptorIo.h"
#include "platform/PropertyList.h"
#include "platform/RelaySocketPath.h"
#include "platform/SystemLog.h"
#include "tests/setup/FakePrivilegedRunner.h"
#include "tests/support/OdbcSandbox.h"

namespace fs = std::filesystem;

namespace {

const std::string kVersionRequest =
    "<plist><dict><key>Request</key><string>GetVersion</string></dict></plist>";

sockaddr_un addressOf(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    return address;
}

int connectTo(const std::string& path) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_un address = addressOf(path);
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
            return fd;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    close(fd);
    return -1;
}

// What the driver's client does: the whole text, end of sending, the reply.
std::optional<std::string> exchange(const std::string& text) {
    const int fd = connectTo(relay_socket::path(privileged_request::kAdministratorIdentifier));
    if (fd < 0) {
        return std::nullopt;
    }
    const auto deadline = descriptor_io::deadlineAfter(std::chrono::seconds(30));
    descriptor_io::writeAll(fd, text, deadline);
    shutdown(fd, SHUT_WR);
    std::string reply;
    const auto read = descriptor_io::readToEnd(fd, 65536, deadline, reply);
    close(fd);
    return read == descriptor_io::Result::Ok ? std::optional(reply) : std::nullopt;
}

// The helper on a socket of the test's own, over the sandbox's files.
class HelperProcess {
  public:
    // polkit's stand-in `pkcheck`, by default /bin/true: every caller
    // authenticated at once.
    HelperProcess(const fs::path& socket, const OdbcSandbox& sandbox,
                  const std::string& pkcheck = "/bin/true")
        : socket_(socket) {
        const std::string helper = std::getenv("MORVANEX_HELPER_PATH");
        const std::vector<std::string> arguments = {
            helper,
            "--listen",
            socket.string(),
            "--pkcheck",
            pkcheck,
            "--system-odbc-ini",
            sandbox.odbcIni(OdbcSandbox::Scope::System).string(),
            "--system-odbcinst-ini",
            sandbox.odbcinstIni(OdbcSandbox::Scope::System).string()};
        pid_ = fork();
        if (pid_ == 0) {
            std::vector<char*> argv;
            for (const std::string& argument : arguments) {
                argv.push_back(const_cast<char*>(argument.c_str()));
            }
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        for (int i = 0; i < 3000 && !fs::exists(socket); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    ~HelperProcess() { kill(SIGTERM); }
    void kill(int signal) {
        if (pid_ > 0) {
            ::kill(pid_, signal);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }

  private:
    fs::path socket_;
    pid_t pid_ = -1;
};

class AuthListenerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(getuid(), 0u) << "the helper and the other-user peer need root";
        ASSERT_NE(std::getenv("MORVANEX_HELPER_PATH"), nullptr);
        fs::permissions(sandbox_.root(), fs::perms(0755));
        fs::permissions(sandbox_.root() / "run", fs::perms(0777) | fs::perms::sticky_bit);
        helperSocket_ = sandbox_.root() / "helper.sock";
        XPCSetupTool::setHelperSocketForTesting(helperSocket_.string());
        AuthListener::setConnectionDeadline(std::chrono::milliseconds(500));
    }
    void TearDown() override {
        AuthListener::stopAndWait();
        XPCSetupTool::setHelperSocketForTesting("");
    }
    void startRelay() {
        AuthListener::handleAuthRequests();
        const int probe =
            connectTo(relay_socket::path(privileged_request::kAdministratorIdentifier));
        ASSERT_GE(probe, 0);
        close(probe);
    }

    OdbcSandbox sandbox_;
    fs::path helperSocket_;
};

TEST_F(AuthListenerTest, StaleSocketReplacedAndRequestsRelayedInARow) {
    const std::string relayPath = relay_socket::path(privileged_request::kAdministratorIdentifier);
    {
        // An earlier run's socket: bound, never unlinked, nobody listening.
        const int stale = socket(AF_UNIX, SOCK_STREAM, 0);
        const sockaddr_un address = addressOf(relayPath);
        ASSERT_EQ(bind(stale, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        close(stale);
    }
    HelperProcess helper(helperSocket_, sandbox_);
    startRelay();
    AuthListener::handleAuthRequests();  // a second call starts nothing new
    EXPECT_EQ(exchange(kVersionRequest), "OK");
    EXPECT_EQ(exchange(kVersionRequest), "OK");
    EXPECT_EQ(exchange("<plist><dict><key>Request</key><string>Launch</string></dict></plist>"),
              "ERROR 5372");
}

TEST_F(AuthListenerTest, SilentPeerTimesOutAndOverLongRequestRefused) {
    HelperProcess helper(helperSocket_, sandbox_);
    startRelay();
    const int silent = connectTo(relay_socket::path(privileged_request::kAdministratorIdentifier));
    ASSERT_GE(silent, 0);
    // Closed by the relay's own deadline: this bound only ends a hang.
    std::string nothing;
    EXPECT_EQ(descriptor_io::readToEnd(
                  silent, 16, descriptor_io::deadlineAfter(std::chrono::seconds(60)), nothing),
              descriptor_io::Result::Ok);
    EXPECT_EQ(nothing, "");
    close(silent);
    EXPECT_EQ(exchange(std::string(AuthListener::kMaxRequest + 1, 'x')), "ERROR");
    EXPECT_EQ(exchange(kVersionRequest), "OK");
}

TEST_F(AuthListenerTest, PeerOfAnotherUserGetsNothing) {
    HelperProcess helper(helperSocket_, sandbox_);
    startRelay();
    chmod(relay_socket::path(privileged_request::kAdministratorIdentifier).c_str(), 0777);
    const pid_t child = fork();
    if (child == 0) {
        const passwd* nobody = getpwnam("nobody");
        if (nobody == nullptr || setgroups(0, nullptr) != 0 || setgid(nobody->pw_gid) != 0 ||
            setuid(nobody->pw_uid) != 0) {
            _exit(2);
        }
        const int fd = connectTo(relay_socket::path(privileged_request::kAdministratorIdentifier));
        if (fd < 0) {
            _exit(3);
        }
        const auto deadline = descriptor_io::deadlineAfter(std::chrono::seconds(10));
        descriptor_io::writeAll(fd, kVersionRequest, deadline);
        shutdown(fd, SHUT_WR);
        std::string reply;
        descriptor_io::readToEnd(fd, 65536, deadline, reply);
        _exit(reply.empty() ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST_F(AuthListenerTest, HelperGoneReportedWithTheChannelTexts) {
    char response[4096] = {};
    {
        // No socket, and a fallback program that fails the ownership check.
        FakePrivilegedRunner runner;
        runner.verifyStatus = EPERM;
        EXPECT_FALSE(CallSMBlessTool(kVersionRequest.c_str(), response, 4095));
        EXPECT_STREQ(response, "");
        EXPECT_TRUE(runner.calls.empty());
        // A trusted one: the request goes to it.
        runner.verifyStatus = 0;
        runner.outcome.output = "OK";
        EXPECT_TRUE(CallSMBlessTool(kVersionRequest.c_str(), response, 4095));
        EXPECT_STREQ(response, "OK");
        ASSERT_EQ(runner.calls.size(), 1u);
        EXPECT_EQ(runner.calls[0].input, kVersionRequest);
    }

    HelperProcess helper(helperSocket_, sandbox_);
    helper.kill(SIGKILL);  // its socket file stays, nobody answers
    EXPECT_FALSE(CallSMBlessTool(kVersionRequest.c_str(), response, 4095));
    EXPECT_STREQ(response, "Failed to create XPC connection");

    // A helper that dies between request and reply.
    fs::remove(helperSocket_);
    const int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_un address = addressOf(helperSocket_.string());
    ASSERT_EQ(bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 1), 0);
    std::thread dying([listener] {
        const int connection = accept(listener, nullptr, nullptr);
        char prefix[4];
        descriptor_io::readExactly(connection, prefix, 4,
                                   descriptor_io::deadlineAfter(std::chrono::seconds(10)));
        close(connection);
    });
    EXPECT_FALSE(CallSMBlessTool(kVersionRequest.c_str(), response, 4095));
    EXPECT_STREQ(response, "XPC connection interupted");
    dying.join();
    close(listener);
}

TEST_F(AuthListenerTest, DriverClientAsAdministratorReachesSystemFiles) {
    sandbox_.addDriver("Vorlan Tarvex", {{"Driver", "/usr/lib/morvanex.so"}});
    fs::permissions(sandbox_.root() / "home", fs::perms(0777));
    // The administrator takes longer to authenticate than the relay waits
    // for a silent peer: the answers still reach the driver.
    const fs::path pkcheck = sandbox_.root() / "pkcheck";
    OdbcSandbox::writeFile(pkcheck, "#!/bin/sh\nexec /bin/sleep 1.5\n");
    fs::permissions(pkcheck, fs::perms(0755));
    HelperProcess helper(helperSocket_, sandbox_, pkcheck.string());
    const pid_t child = fork();
    if (child == 0) {
        // Quillmark and the driver in one process of an administrator.
        const passwd* nobody = getpwnam("nobody");
        const group* admins = getgrnam("sudo");
        const gid_t groups[] = {admins ? admins->gr_gid : 0};
        if (nobody == nullptr || admins == nullptr || setgroups(1, groups) != 0 ||
            setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0) {
            _exit(2);
        }
        SystemLog::Capture log;
        AuthListener::handleAuthRequests();
        PropertyList add = PropertyList::newDictionary();
        for (const auto& [key, value] : {std::pair<const char*, const char*>{"Request", "Add"},
                                         {"Type", "System"},
                                         {"ConnectionString", "DSN=Sales;Description=Orders;"},
                                         {"Driver", "Vorlan Tarvex"},
                                         {"Path", ""}}) {
            add.setString(key, value);
        }
        PropertyList refused = add;
        refused.setString("ConnectionString", "DSN=ODBC Data Sources;");
        const bool added = sendAdministratorRequest(add, "com.vorlanworks.odbcdriver.morvanex", "");
        sendAdministratorRequest(refused, "com.vorlanworks.odbcdriver.morvanex", "");
        AuthListener::stopAndWait();
        const bool learned =
            log.contains("Quillmark reply: OK") && log.contains("Quillmark reply: ERROR 5368");
        _exit(added && learned ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    const std::string written = OdbcSandbox::readFile(sandbox_.odbcIni(OdbcSandbox::Scope::System));
    EXPECT_NE(written.find("[Sales]"), std::string::npos) << written;
    EXPECT_NE(written.find("Orders"), std::string::npos) << written;
    EXPECT_EQ(written.find("[ODBC Data Sources]\nODBC"), std::string::npos) << written;
}

}  // namespace
