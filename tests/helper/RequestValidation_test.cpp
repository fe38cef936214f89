// The checks a request passes before the helper writes anything: the
// connection-string items with braced values, names, keys and values, the
// libraries and trace files of system files, and the parser's refusals of
// binary, NUL and deep texts and of control characters at any depth; and
// the caller whose process polkit is asked about.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "authentication/src/HelperRequest.h"
#include "authentication/src/RequestValidation.h"
#include "platform/LocalSocket.h"
#include "platform/UniqueFd.h"
#include "src/QuillmarkHelper/Caller.h"
#include "tests/support/OdbcSandbox.h"

using namespace request_validation;
namespace fs = std::filesystem;

namespace {

std::string render(const std::optional<std::vector<Item>>& items) {
    if (!items) {
        return "refused";
    }
    std::string text;
    for (const Item& item : *items) {
        text += "[" + item.key + (item.value ? "=" + *item.value : "") + "]";
    }
    return text;
}

TEST(RequestValidation, ConnectionStringItems) {
    const std::pair<const char*, const char*> cases[] = {
        {"DSN=Sales;;Description=Orders;", "[DSN=Sales][Description=Orders]"},
        {"Port=;Flag", "[Port][Flag]"},
        {"PWD={a;b}}c};UID=u", "[PWD=a;b}c][UID=u]"},
        {"Key=a=b", "[Key=a=b]"},
        {"PWD={open;UID=u", "refused"},
        {"PWD={closed}tail;", "refused"},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(render(splitConnectionString(text)), expected) << text;
    }
}

TEST(RequestValidation, NamesKeysAndValues) {
    struct Case {
        const char* text;
        bool name, dsn, key, value;
    };
    const Case cases[] = {
        {"Sales Data", true, true, true, true},    {"odbc drivers", false, false, true, true},
        {"Default", false, false, true, true},     {"ODBC ", false, false, false, false},
        {" Sales", false, false, false, false},    {"a=b", false, false, false, true},
        {"#Sales", false, false, false, false},    {";Sales", false, false, false, false},
        {"a[b", false, false, false, true},        {"a]", false, false, false, true},
        {"a(b", true, false, true, true},          {"Sales ; EU", true, false, true, false},
        {"O'Brien", false, false, false, false},   {"\"a ;b\"", false, false, false, true},
        {"x #y", true, true, true, false},         {"a;b#c", true, false, true, true},
        {"tab\there", false, false, false, false}, {"del\x7f", false, false, false, false},
        {"", false, false, false, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(isAcceptableName(c.text), c.name) << c.text;
        EXPECT_EQ(isAcceptableDsnName(c.text), c.dsn) << c.text;
        EXPECT_EQ(isAcceptableKey(c.text), c.key) << c.text;
        EXPECT_EQ(isAcceptableValue(c.text), c.value) << c.text;
    }
}

TEST(RequestValidation, LibrariesOfSystemFiles) {
    for (const char* key : {"Driver", "setup", "DRIVER"}) {
        EXPECT_TRUE(namesLibrary(key)) << key;
    }
    for (const char* key : {"Drivers", "DSN", "Description"}) {
        EXPECT_FALSE(namesLibrary(key)) << key;
    }
    OdbcSandbox sandbox;
    const fs::path own = sandbox.root() / "driver.so";
    std::ofstream(own) << "x";
    // What is written for each value; "" when it is refused.
    const std::pair<std::string, std::string> cases[] = {
        {"/usr/bin/env", "/usr/bin/env"},
        {"Vorlan Tarvex", "Vorlan Tarvex"},
        {"relative/x.so", ""},
        {"ODBC Drivers", ""},
        {"a=b", ""},
        {own.string(), ""},
        {"/usr/bin/../bin/./env", "/usr/bin/env"},
        {"libevil.so", ""},
        {"/proc/self/cwd/usr/bin/env", ""},
        {"/opt/PWD=hunter2", ""},
    };
    const DriverRegistry registered = [](const std::string& name) {
        return name == "Vorlan Tarvex" || name == "ODBC Drivers";
    };
    for (const auto& [value, expected] : cases) {
        std::string written;
        std::string problem;
        EXPECT_EQ(checkLibrary(value, registered, written, problem) == 0, !expected.empty())
            << value << ": " << problem;
        EXPECT_EQ(written, expected) << value;
        EXPECT_EQ(problem.find(value), std::string::npos) << problem;
    }
}

TEST(RequestValidation, RootLogFilesOnlyBelowVarLog) {
    const std::pair<std::string, std::string> cases[] = {
        {"/var/log/t", "/var/log/t"},
        {"/var/log/./t", "/var/log/t"},
        {"/tmp/t", ""},
        {"/var/log", ""},
        {"/var/logx/t", ""},
        {"/etc/sudoers.d/x", ""},
    };
    for (const auto& [path, expected] : cases) {
        std::string written;
        std::string problem;
        EXPECT_EQ(checkRootLogFile(path, written, problem) == 0, !expected.empty()) << path;
        EXPECT_EQ(written, expected) << path;
    }
}

TEST(HelperRequestParse, ControlCharactersAtAnyDepth) {
    const auto wrap = [](const std::string& inner) {
        return "<plist><dict><key>Request</key><string>Add</string>" + inner + "</dict></plist>";
    };
    const std::pair<std::string, bool> cases[] = {
        {wrap("<key>L</key><array><string>a</string><string>b</string></array>"), true},
        {wrap("<key>L</key><array><string>a</string><string>b\n[x]</string></array>"), false},
        {wrap("<key>L</key><array><integer>1</integer><string>\t</string></array>"), false},
        {wrap("<key>D</key><dict><key>k</key><array><string>x\ry</string></array></dict>"), false},
        {wrap("<key>D</key><dict><key>k\nk</key><string>x</string></dict>"), false},
        {wrap("<key>k\x01</key><string>x</string>"), false},
    };
    for (const auto& [text, clean] : cases) {
        const auto parsed = HelperRequest::parse(text);
        ASSERT_TRUE(parsed.request) << text;
        EXPECT_EQ(parsed.request->textsAreClean(), clean) << text;
    }
}

TEST(HelperRequestParse, RefusedTexts) {
    std::string deep = "<plist>";
    for (int i = 0; i < HelperRequest::kMaxXmlContainers + 1; ++i) {
        deep += "<array>";
    }
    static constexpr char kNulText[] =
        "<plist><dict><key>Request</key><string>Add\0x</string></dict></plist>";
    const std::string nulRequest(kNulText, sizeof kNulText - 1);
    const std::string cases[] = {
        "bplist00\x01\x02",
        nulRequest,
        deep,
        std::string(HelperRequest::kMaxText + 1, ' '),
        "<plist><array><string>a</string></array></plist>",
        "Request = Add",
    };
    for (const std::string& text : cases) {
        EXPECT_FALSE(HelperRequest::parse(text).request) << text.substr(0, 60);
    }
    const auto parsed = HelperRequest::parse(
        "<plist><dict><key>Request</key><string>Add</string><key>N</key><integer>1</integer>"
        "</dict></plist>");
    ASSERT_TRUE(parsed.request);
    EXPECT_EQ(parsed.request->string("Request"), "Add");
    EXPECT_FALSE(parsed.request->string("N"));  // not text reads as absent
}

// What polkit is asked about: the peer's process as it was accepted, and
// nothing once that process is no longer the uid the kernel reported (as
// when the caller left and its pid went to another user's process).
TEST(Caller, PolkitSubjectOnlyWhileThePeerIsStillItsUid) {
    ASSERT_EQ(::geteuid(), 0u) << "the peer changes user";
    for (const bool changesUser : {false, true}) {
        OdbcSandbox sandbox;
        const std::string path = (sandbox.root() / "s").string();
        const UniqueFd listener = local_socket::stream();
        ASSERT_TRUE(local_socket::bindTo(listener.get(), path) && ::listen(listener.get(), 1) == 0);
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t peer = ::fork();
        if (peer == 0) {
            const UniqueFd fd = local_socket::stream();
            const bool connected = local_socket::connectTo(fd.get(), path);
            if (!connected || (changesUser && ::setresuid(65534, 65534, 65534) != 0)) {
                _exit(1);
            }
            char byte = 0;
            (void)!::write(ready[1], &byte, 1);
            ::pause();  // until the test is done
            _exit(0);
        }
        char byte = 0;
        ASSERT_EQ(::read(ready[0], &byte, 1), 1);
        const UniqueFd accepted(::accept(listener.get(), nullptr, nullptr));
        const std::optional<Caller> caller = Caller::ofPeer(accepted.get());
        ::kill(peer, SIGKILL);
        ::waitpid(peer, nullptr, 0);
        ::close(ready[0]);
        ::close(ready[1]);
        ASSERT_TRUE(caller);
        EXPECT_EQ(caller->uid, 0u);
        EXPECT_EQ(caller->processSubject().empty(), changesUser) << caller->processSubject();
    }
}

}  // namespace
