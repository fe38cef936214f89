// What the helper and the relay log of a request: its command, scope and
// name, never a value of its connection string.
#include <gtest/gtest.h>

#include <string>

#include "authentication/src/RequestSummary.h"

namespace {

std::string request(const std::string& command, const std::string& connection) {
    return "{ Request = \"" + command + "\"; Type = System; ConnectionString = \"" + connection +
           "\"; }";
}

TEST(RequestSummary, NamesTheRequestAndNoValue) {
    struct Case {
        std::string text;
        std::string expected;
    };
    const Case cases[] = {
        {request("Add", "DSN=Sales;PWD=secret;"), "Add System DSN \"Sales\""},
        {request("Configure", "PWD={se;cret};DSN=Sales"), "Configure System DSN \"Sales\""},
        {request("Remove", "Sales"), "Remove System DSN \"Sales\""},
        {request("Remove", "Sales;PWD=secret"), "Remove System"},
        {request("Add", "PWD={secret"), "Add System"},
        {"{ com.apple.dts.BetterAuthorizationSample.command = ConfigureDriver; Request = Add; "
         "Type = User; DriverName = \"Line\\nBreak\"; }",
         "driver Add User \"Line\\x0aBreak\""},
        {"{ Request = Configure; Type = System; OriginalName = sales; "
         "ConnectionString = \"DSN=Sales\"; }",
         "Configure System DSN \"Sales\""},
        {"PWD=secret", "unreadable request"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(request_summary::describe(c.text), c.expected) << c.text;
    }
}

}  // namespace
