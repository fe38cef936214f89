#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "driver/core/Connection.h"
#include "driver/core/EnvironmentFactory.h"
#include "driver/core/VorlanEnvironment.h"
#include "tests/support/OdbcSandbox.h"

namespace {

// A connection whose transaction end answers as told and counts the calls.
class ScriptedConnection : public Connection {
  public:
    ScriptedConnection(Environment* environment, bool connected, SQLRETURN answer)
        : Connection(environment), answer_(answer) {
        setConnected(connected);
    }
    SQLRETURN connectStrings(const std::string&, const std::string&, const std::string&) override {
        return SQL_ERROR;
    }
    SQLRETURN driverConnect(SQLHWND, const SQLCHAR*, SQLSMALLINT, SQLCHAR*, SQLSMALLINT,
                            SQLSMALLINT*, SQLUSMALLINT) override {
        return SQL_ERROR;
    }
    SQLRETURN disconnect() override { return SQL_SUCCESS; }
    SQLRETURN endTran(SQLSMALLINT completionType) override {
        ++calls;
        lastCompletion = completionType;
        return answer_;
    }
    int calls = 0;
    SQLSMALLINT lastCompletion = -1;

  private:
    SQLRETURN answer_;
};

struct Member {
    bool connected;
    SQLRETURN answer;
};

TEST(EnvironmentTransactions, EndTranAsksEveryConnectedConnection) {
    struct Case {
        const char* name;
        std::vector<Member> members;
        SQLRETURN result;
        size_t records;
    };
    const Case cases[] = {
        {"none", {}, SQL_SUCCESS, 0},
        {"none connected", {{false, SQL_ERROR}, {false, SQL_ERROR}}, SQL_SUCCESS, 0},
        {"all fine", {{true, SQL_SUCCESS}, {true, SQL_SUCCESS_WITH_INFO}}, SQL_SUCCESS, 0},
        {"two failing",
         {{true, SQL_ERROR}, {false, SQL_SUCCESS}, {true, SQL_INVALID_HANDLE}},
         SQL_ERROR,
         1},
        {"no data is a failure", {{true, SQL_NO_DATA}}, SQL_ERROR, 1},
    };
    for (const Case& c : cases) {
        OdbcSandbox sandbox;
        auto environment = createEnvironment();
        std::vector<std::unique_ptr<ScriptedConnection>> connections;
        for (const Member& member : c.members) {
            connections.push_back(std::make_unique<ScriptedConnection>(
                environment.get(), member.connected, member.answer));
        }

        EXPECT_EQ(environment->endTran(SQL_ROLLBACK), c.result) << c.name;

        EXPECT_EQ(environment->diagnostics().recordCount(), c.records) << c.name;
        for (size_t i = 0; i < connections.size(); ++i) {
            EXPECT_EQ(connections[i]->calls, c.members[i].connected ? 1 : 0) << c.name;
            if (c.members[i].connected) {
                EXPECT_EQ(connections[i]->lastCompletion, SQL_ROLLBACK) << c.name;
            }
        }
        if (c.records > 0) {
            SQLCHAR state[6] = {};
            SQLCHAR message[128] = {};
            environment->getDiagRec(1, state, nullptr, message, sizeof message, nullptr);
            EXPECT_STREQ(reinterpret_cast<char*>(state), "HY000");
            EXPECT_STREQ(reinterpret_cast<char*>(message),
                         "[Vorlan][Vorlan Tarvex] Transaction failed for a connection");
        }
    }
}

}  // namespace
