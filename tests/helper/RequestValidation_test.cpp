// The checks a request passes before the helper writes anything: the
// connection-string items with braced values, the trusted-file rule for
// system drivers, and the parser's refusals of binary, NUL and deep texts.
#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "authentication/src/HelperRequest.h"
#include "authentication/src/RequestValidation.h"
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

TEST(RequestValidation, NamesAndKeys) {
    for (const char* refused : {"", "ODBC Data Sources", "odbc drivers", "Default", "ODBC", "a[b",
                                "a]", "tab\there", "del\x7f"}) {
        EXPECT_FALSE(isAcceptableName(refused)) << refused;
    }
    EXPECT_TRUE(isAcceptableName("Sales Data"));
    EXPECT_FALSE(isAcceptableKey("a=b"));
    EXPECT_TRUE(isAcceptableKey("Description"));
}

TEST(RequestValidation, SystemDriverFilesOnlyRootCanChange) {
    OdbcSandbox sandbox;
    std::string problem;
    EXPECT_EQ(checkRootOwnedFile("/usr/bin/env", problem), 0) << problem;
    EXPECT_NE(checkRootOwnedFile("usr/bin/env", problem), 0);
    EXPECT_NE(checkRootOwnedFile("/usr/bin", problem), 0);  // not a regular file
    const fs::path own = sandbox.root() / "driver.so";
    std::ofstream(own) << "x";
    if (getuid() == 0) {
        const passwd* nobody = getpwnam("nobody");
        ASSERT_NE(nobody, nullptr);
        ASSERT_EQ(chown(own.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
        EXPECT_NE(checkRootOwnedFile(own.string(), problem), 0);
        // A root-owned link in a sticky folder leading to someone else's file.
        const fs::path link = fs::path("/tmp") / ("morvanex-link-" + std::to_string(getpid()));
        fs::create_symlink(own, link);
        EXPECT_NE(checkRootOwnedFile(link.string(), problem), 0);
        EXPECT_NE(problem.find("not owned by root"), std::string::npos) << problem;
        fs::remove(link);
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

}  // namespace
