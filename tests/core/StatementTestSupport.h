#pragma once

// Shared pieces of the statement tests: an environment with a captured
// trace, a connection whose information answers and limits the test sets,
// and a statement that records the texts it would send to a data source.

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "driver/core/Connection.h"
#include "driver/core/Descriptor.h"
#include "driver/core/Environment.h"
#include "driver/core/MemoryRecordset.h"
#include "driver/core/Statement.h"

namespace stmt_test {

class TestEnvironment : public Environment {
  public:
    TestEnvironment()
        : Environment("com.example.stmt-test", "morvanex.so", "Vorlan Tarvex", "Vorlan") {}

    bool isTracing() const override { return tracing; }
    void writeTrace(std::string_view text) override { trace.append(text); }

    bool tracing = false;
    std::string trace;
};

// Every text a statement of this connection sent, in order.
using TextLog = std::vector<std::string>;

class TestConnection : public Connection {
  public:
    explicit TestConnection(Environment* environment) : Connection(environment) {}

    SQLRETURN connectStrings(const std::string&, const std::string&, const std::string&) override {
        return SQL_SUCCESS;
    }
    SQLRETURN driverConnect(SQLHWND, const SQLCHAR*, SQLSMALLINT, SQLCHAR*, SQLSMALLINT,
                            SQLSMALLINT*, SQLUSMALLINT) override {
        return SQL_SUCCESS;
    }
    SQLRETURN disconnect() override { return SQL_SUCCESS; }
    Statement* createStatement() override;

    bool avoidServerCursors() const override { return !serverCursors; }
    bool tolerateCloseWithoutCursor() const override { return tolerateClose; }
    std::string dbmsName() override { return "TestDB"; }

    std::int64_t queryLogTime() const override { return queryLogThreshold; }
    void writeQueryLog(std::int64_t elapsedMs, const std::string& text) override {
        queryLog.push_back(std::to_string(elapsedMs) + " " + text);
    }
    SQLUINTEGER infoScrollOptions() override { return scrollOptions; }
    SQLUINTEGER infoCursorSensitivity() override { return cursorSensitivity; }
    SQLUINTEGER infoAsyncMode() override { return asyncMode; }
    SQLUINTEGER infoBookmarkPersistence() override { return bookmarkPersistence; }
    SQLUSMALLINT infoMaxCursorNameLen() override { return maxCursorNameLen; }
    std::string infoDataSourceName() override { return "TestDsn"; }
    SQLUINTEGER infoForwardOnlyCursorAttributes1() override { return attributes1[0]; }
    SQLUINTEGER infoKeysetCursorAttributes1() override { return attributes1[1]; }
    SQLUINTEGER infoDynamicCursorAttributes1() override { return attributes1[2]; }
    SQLUINTEGER infoStaticCursorAttributes1() override { return attributes1[3]; }
    SQLUINTEGER infoForwardOnlyCursorAttributes2() override { return attributes2[0]; }
    SQLUINTEGER infoKeysetCursorAttributes2() override { return attributes2[1]; }
    SQLUINTEGER infoDynamicCursorAttributes2() override { return attributes2[2]; }
    SQLUINTEGER infoStaticCursorAttributes2() override { return attributes2[3]; }
    SQLUINTEGER keysetSizeMax() override { return keysetMax; }
    SQLUINTEGER maxLengthMin() override { return maxLengthLow; }
    SQLUINTEGER maxLengthMax() override { return maxLengthHigh; }
    SQLUINTEGER queryTimeoutMin() override { return timeoutLow; }
    SQLUINTEGER queryTimeoutMax() override { return timeoutHigh; }

    bool serverCursors = false;
    bool tolerateClose = false;
    SQLUINTEGER scrollOptions =
        SQL_SO_FORWARD_ONLY | SQL_SO_STATIC | SQL_SO_KEYSET_DRIVEN | SQL_SO_DYNAMIC;
    SQLUINTEGER cursorSensitivity = SQL_INSENSITIVE | SQL_SENSITIVE;
    SQLUINTEGER asyncMode = SQL_AM_NONE;
    SQLUINTEGER bookmarkPersistence = 0;
    SQLUSMALLINT maxCursorNameLen = 0;
    // By cursor type: forward-only, keyset, dynamic, static.
    SQLUINTEGER attributes1[4] = {1, 2, 3, 4};
    SQLUINTEGER attributes2[4] = {0xF, 0xF, 0xF, 0xF};
    SQLUINTEGER keysetMax = 0;
    SQLUINTEGER maxLengthLow = 0;
    SQLUINTEGER maxLengthHigh = 0;
    SQLUINTEGER timeoutLow = 0;
    SQLUINTEGER timeoutHigh = 0;
    std::int64_t queryLogThreshold = 0;
    std::vector<std::string> queryLog;
    // Texts sent by the statements of this connection.
    TextLog sent;
};

// A statement that does what a data-source statement does with parameters
// when binding is off: for every row of the parameter array, splice the
// values into the text, then "send" it (record it in the connection's log).
class RecordingStatement : public Statement {
  public:
    explicit RecordingStatement(TestConnection* connection)
        : Statement(connection), log_(connection->sent) {}

    SQLRETURN executeStatement(std::string& text) override {
        ++executions;
        const SQLULEN rows = std::max<SQLULEN>(currentApd_->getArraySize(), 1);
        for (SQLULEN row = 0; row < rows; ++row) {
            if (hasPendingDataAtExec(row)) {
                return SQL_NEED_DATA;
            }
            std::string copy = text;
            const SQLRETURN rc = substituteParameters(copy, currentApd_, ipd_.get(), row, '\\');
            if (rc != SQL_SUCCESS) {
                return rc;
            }
            log_.push_back(copy);
        }
        if (makeResult) {
            setRecordset(std::make_unique<MemoryRecordset>(this));
        }
        return executeResult;
    }

    SQLRETURN executeQuery(std::string text, SQLULEN) override {
        log_.push_back(text);
        return SQL_SUCCESS;
    }

    // Access to the state the tests arrange or inspect.
    void setState(StatementState state) { state_ = state; }
    const std::string& storedCursorName() const { return cursorName_; }
    const std::string& sqlText() const { return sqlText_; }
    const std::string& preparedText() const { return preparedText_; }
    bool beforeStart() const { return beforeStart_; }
    bool afterEnd() const { return afterEnd_; }
    SQLLEN storedRowCount() const { return rowCount_; }
    Descriptor* implicitApd() const { return implicitApd_.get(); }
    Descriptor* implicitArd() const { return implicitArd_.get(); }
    void setFetchBookmark(SQLLEN* pointer) { fetchBookmarkPtr_ = pointer; }

    int executions = 0;
    bool makeResult = false;
    SQLRETURN executeResult = SQL_SUCCESS;

  private:
    TextLog& log_;
};

inline Statement* TestConnection::createStatement() {
    return new RecordingStatement(this);
}

// One environment, connection and statement per test.
struct StatementFixture {
    TestEnvironment environment;
    TestConnection connection{&environment};
    RecordingStatement statement{&connection};

    // SQLSTATE of record 1, or "" when there is none.
    std::string firstState() { return stateOf(statement, 1); }
    static std::string stateOf(Statement& statement, SQLSMALLINT record) {
        SQLCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLCHAR message[512];
        SQLSMALLINT length = 0;
        if (statement.getDiagRec(record, state, &native, message, sizeof message, &length) !=
            SQL_SUCCESS) {
            return {};
        }
        return reinterpret_cast<const char*>(state);
    }
    std::string firstMessage() {
        SQLCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLCHAR message[512] = {};
        SQLSMALLINT length = 0;
        statement.getDiagRec(1, state, &native, message, sizeof message, &length);
        return reinterpret_cast<const char*>(message);
    }
    std::size_t recordCount() { return statement.diagnostics().recordCount(); }
};

}  // namespace stmt_test
