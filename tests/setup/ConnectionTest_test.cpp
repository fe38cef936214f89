// The wizard's connection test over injected driver answers: which return
// codes count as success, the messages shown, the connection text and the
// delivery of a result to a receiver that may be gone.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "driver/setup/ConnectionTest.h"
#include "tests/setup/FakeDriverCalls.h"
#include "tests/support/ScopedEnv.h"

namespace {

size_t threadCount() {
    const auto tasks = std::filesystem::directory_iterator("/proc/self/task");
    return static_cast<size_t>(std::distance(begin(tasks), end(tasks)));
}

// The detached workers have ended when the process is back to `count` threads.
bool waitForThreadCount(size_t count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (threadCount() > count) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

TEST(ConnectionTest, ReturnCodesAndMessages) {
    ScopedEnv language("LANGUAGE", "en");
    const std::string longMessage(5000, 'm');
    struct Case {
        SQLRETURN rc;
        std::string message;
        bool success;
        std::string text;
    };
    const Case cases[] = {
        {SQL_SUCCESS, "", true,
         "Adapted driver version: info566 info567\n\nDatabase version: info568 info569\n\n"
         "Test completed successfully."},
        {SQL_SUCCESS_WITH_INFO, "note", true,
         "Adapted driver version: info566 info567\n\nDatabase version: info568 info569\n\n"
         "Test completed successfully."},
        {SQL_NO_DATA, "", false, "There was a problem connecting to the database.\n\nTest failed."},
        {SQL_NEED_DATA, "", false,
         "There was a problem connecting to the database.\n\nTest failed."},
        {SQL_INVALID_HANDLE, "", false,
         "There was a problem connecting to the database.\n\nTest failed."},
        {SQL_ERROR, "server says no", false, "server says no\n\nTest failed."},
        {SQL_ERROR, longMessage, false, std::string(4095, 'm') + "\n\nTest failed."},
    };
    for (const Case& c : cases) {
        fake_driver::answer(c.rc, c.message);
        const ConnectionTestResult result = ConnectionTest::run(fake_driver::calls, "DSN=x;");
        EXPECT_EQ(result.success, c.success) << c.rc;
        EXPECT_EQ(ConnectionTest::resultText(result), c.text) << c.rc;
        EXPECT_EQ(fake_driver::frees.load(), 2);
        EXPECT_EQ(fake_driver::disconnects.load(),
                  c.rc == SQL_ERROR || c.rc == SQL_INVALID_HANDLE ? 0 : 1);
    }
}

TEST(ConnectionTest, ConnectionTextBracesValuesAndLeavesOutEmptyCredentials) {
    const std::string list = std::string("DSN=a\0Description=x;y\0DriverDSN={pg}\0", 38) + '\0';
    struct Case {
        std::string user, password, expected;
    };
    const Case cases[] = {
        {"", "", "DSN=a;Description={x;y};DriverDSN={{pg}}};"},
        {"bob", "", "DSN=a;Description={x;y};DriverDSN={{pg}}};UID=bob;"},
        {"bob", "p;w", "DSN=a;Description={x;y};DriverDSN={{pg}}};UID=bob;PWD={p;w};"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ConnectionTest::connectionText(list, c.user, c.password), c.expected);
    }
}

TEST(ConnectionTest, PasswordNeverInTheResults) {
    fake_driver::answer(SQL_ERROR, "login failed for bob");
    const std::string text =
        ConnectionTest::connectionText(std::string("DSN=a\0\0", 7), "bob", "s3cret");
    const ConnectionTestResult result = ConnectionTest::run(fake_driver::calls, text);
    EXPECT_EQ(fake_driver::connectionText(), "DSN=a;UID=bob;PWD=s3cret;");
    EXPECT_EQ(ConnectionTest::resultText(result).find("s3cret"), std::string::npos);
}

TEST(ConnectionTest, ResultDeliveredOnlyWhileTheTicketLives) {
    const size_t threadsBefore = threadCount();
    fake_driver::answer(SQL_SUCCESS);
    std::atomic<int> delivered{0};
    auto ticket = ConnectionTest::start(
        fake_driver::calls, "DSN=a;",
        [&](const ConnectionTestResult& r) { delivered = r.success ? 1 : 2; });
    for (int i = 0; i < 500 && !ticket->finished(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(delivered, 1);

    // A receiver that went away before the worker ended gets nothing.
    ASSERT_TRUE(waitForThreadCount(threadsBefore));
    fake_driver::hold(true);
    fake_driver::frees = 0;
    std::atomic<int> late{0};
    auto dropped = ConnectionTest::start(fake_driver::calls, "DSN=a;",
                                         [&late](const ConnectionTestResult&) { ++late; });
    dropped.reset();
    fake_driver::hold(false);
    EXPECT_TRUE(fake_driver::waitForFrees(2, std::chrono::seconds(60)));
    // The worker's last act is the delivery check: once its thread is gone,
    // nothing can arrive any more.
    EXPECT_TRUE(waitForThreadCount(threadsBefore));
    EXPECT_EQ(fake_driver::frees.load(), 2);
    EXPECT_EQ(late, 0);
}

}  // namespace
