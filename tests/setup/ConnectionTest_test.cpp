// The wizard's connection test over injected driver answers: which return
// codes count as success, the messages shown, the connection text and the
// delivery of a result to a receiver that may be gone.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "driver/setup/ConnectionTest.h"
#include "tests/support/ScopedEnv.h"

namespace {

// What the fake driver answers.
struct Script {
    Script() = default;
    Script(SQLRETURN rc, std::string text) : connect(rc), message(std::move(text)) {}
    SQLRETURN connect = SQL_SUCCESS;
    std::string message;
    std::string connectionText;
    int disconnects = 0;
    int frees = 0;
} script;

int handleStorage;
// While set, the fake connect waits; frees are counted across threads.
std::atomic<bool> holdConnect{false};
std::atomic<int> freesSeen{0};

SQLRETURN fakeAlloc(SQLSMALLINT, SQLHANDLE, SQLHANDLE* out) {
    *out = &handleStorage;
    return SQL_SUCCESS;
}
SQLRETURN fakeSetEnvAttr(SQLHENV, SQLINTEGER, SQLPOINTER, SQLINTEGER) {
    return SQL_SUCCESS;
}
SQLRETURN fakeConnect(SQLHDBC, SQLHWND, SQLCHAR* text, SQLSMALLINT, SQLCHAR*, SQLSMALLINT,
                      SQLSMALLINT*, SQLUSMALLINT) {
    script.connectionText = reinterpret_cast<const char*>(text);
    while (holdConnect) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return script.connect;
}
SQLRETURN fakeDiag(SQLSMALLINT, SQLHANDLE, SQLSMALLINT record, SQLCHAR* state, SQLINTEGER*,
                   SQLCHAR* text, SQLSMALLINT size, SQLSMALLINT* length) {
    if (record > 1 || script.message.empty()) {
        return SQL_NO_DATA;
    }
    std::memcpy(state, "08001", 6);
    const std::size_t n = std::min<std::size_t>(script.message.size(), size - 1);
    std::memcpy(text, script.message.data(), n);
    text[n] = 0;
    *length = static_cast<SQLSMALLINT>(script.message.size());
    return n < script.message.size() ? SQL_SUCCESS_WITH_INFO : SQL_SUCCESS;
}
SQLRETURN fakeInfo(SQLHDBC, SQLUSMALLINT type, SQLPOINTER out, SQLSMALLINT size, SQLSMALLINT*) {
    std::snprintf(static_cast<char*>(out), size, "info%d", type);
    return SQL_SUCCESS;
}
SQLRETURN fakeDisconnect(SQLHDBC) {
    ++script.disconnects;
    return SQL_SUCCESS;
}
SQLRETURN fakeFree(SQLSMALLINT, SQLHANDLE) {
    ++script.frees;
    ++freesSeen;
    return SQL_SUCCESS;
}

const DriverCalls fakeCalls{fakeAlloc, fakeSetEnvAttr, fakeConnect, fakeDiag,
                            fakeInfo,  fakeDisconnect, fakeFree};

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
        script = Script{c.rc, c.message};
        const ConnectionTestResult result = ConnectionTest::run(fakeCalls, "DSN=x;");
        EXPECT_EQ(result.success, c.success) << c.rc;
        EXPECT_EQ(ConnectionTest::resultText(result), c.text) << c.rc;
        EXPECT_EQ(script.frees, 2);
        EXPECT_EQ(script.disconnects, c.rc == SQL_ERROR || c.rc == SQL_INVALID_HANDLE ? 0 : 1);
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
    script = Script{SQL_ERROR, "login failed for bob"};
    const std::string text =
        ConnectionTest::connectionText(std::string("DSN=a\0\0", 7), "bob", "s3cret");
    const ConnectionTestResult result = ConnectionTest::run(fakeCalls, text);
    EXPECT_EQ(script.connectionText, "DSN=a;UID=bob;PWD=s3cret;");
    EXPECT_EQ(ConnectionTest::resultText(result).find("s3cret"), std::string::npos);
}

TEST(ConnectionTest, ResultDeliveredOnlyWhileTheTicketLives) {
    script = Script{SQL_SUCCESS, ""};
    std::atomic<int> delivered{0};
    auto ticket = ConnectionTest::start(
        fakeCalls, "DSN=a;", [&](const ConnectionTestResult& r) { delivered = r.success ? 1 : 2; });
    for (int i = 0; i < 500 && !ticket->finished(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(delivered, 1);

    // A receiver that went away before the worker ended gets nothing.
    holdConnect = true;
    freesSeen = 0;
    std::atomic<int> late{0};
    auto dropped = ConnectionTest::start(fakeCalls, "DSN=a;",
                                         [&late](const ConnectionTestResult&) { ++late; });
    dropped.reset();
    holdConnect = false;
    for (int i = 0; i < 500 && freesSeen < 2; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(freesSeen, 2);
    EXPECT_EQ(late, 0);
}

}  // namespace
