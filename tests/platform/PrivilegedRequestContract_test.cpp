// The reply rule both ends share: what the helper writes for a status is
// what every client reads as success, and nothing else is.
#include <gtest/gtest.h>

#include <string>

#include "platform/PrivilegedRequestContract.h"

namespace {

using privileged_request::isOkReply;
using privileged_request::replyText;

TEST(PrivilegedRequestContract, OnlyTheDoneStatusReadsAsSuccess) {
    const struct {
        int status;
        const char* text;
        bool ok;
    } cases[] = {
        {0, "OK", true},
        {5368, "ERROR 5368", false},
        {-4960, "ERROR -4960", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(replyText(c.status), c.text) << c.status;
        EXPECT_EQ(isOkReply(replyText(c.status)), c.ok) << c.status;
        // As a line of the helper's standard output.
        EXPECT_EQ(isOkReply(replyText(c.status) + "\r\n"), c.ok) << c.status;
    }
}

TEST(PrivilegedRequestContract, NearMissesAreNotSuccess) {
    for (const char* reply : {"", "\n", "ok", "OK ", " OK", "OKAY", "OK\nERROR 1", "ERROR"}) {
        EXPECT_FALSE(isOkReply(reply)) << '"' << reply << '"';
    }
}

TEST(PrivilegedRequestContract, HelperLiesInTheBundlesLaunchServices) {
    EXPECT_EQ(privileged_request::bundledHelper("/opt/x/morvanex.bundle"),
              "/opt/x/morvanex.bundle/Contents/Library/LaunchServices/QuillmarkHelper");
}

}  // namespace
