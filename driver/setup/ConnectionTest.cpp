#include "driver/setup/ConnectionTest.h"

#include <array>
#include <cstring>
#include <mutex>
#include <thread>

#include "driver/adapter/AdaptedInfoTypes.h"
#include "driver/core/ConnectionText.h"
#include "driver/setup/LocalizedStrings.h"
#include "driver/setup/MessageFormat.h"
#include "platform/NulList.h"

namespace {

constexpr std::size_t kMessageSize = 4096;
constexpr std::size_t kInfoSize = 256;

bool succeeded(SQLRETURN rc) {
    return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO;
}

std::string diagnostics(const DriverCalls& calls, SQLHDBC connection) {
    std::string message;
    for (SQLSMALLINT record = 1;; ++record) {
        std::array<SQLCHAR, 6> state{};
        SQLINTEGER native = 0;
        std::array<SQLCHAR, kMessageSize> text{};
        SQLSMALLINT length = 0;
        // A message cut to the buffer comes with SQL_SUCCESS_WITH_INFO and
        // is still shown.
        if (!succeeded(calls.getDiagRec(SQL_HANDLE_DBC, connection, record, state.data(), &native,
                                        text.data(), static_cast<SQLSMALLINT>(text.size()),
                                        &length))) {
            return message;
        }
        const char* chars = reinterpret_cast<const char*>(text.data());
        message.append(chars, strnlen(chars, text.size() - 1)).push_back('\n');
    }
}

std::string info(const DriverCalls& calls, SQLHDBC connection, SQLUSMALLINT type) {
    std::array<char, kInfoSize> buffer{};
    SQLSMALLINT length = 0;
    calls.getInfo(connection, type, buffer.data(), static_cast<SQLSMALLINT>(buffer.size()),
                  &length);
    return std::string(buffer.data(), strnlen(buffer.data(), buffer.size() - 1));
}

// Frees the handles it was given, connection before environment.
struct TestHandles {
    const DriverCalls& calls;
    SQLHENV environment = SQL_NULL_HENV;
    SQLHDBC connection = SQL_NULL_HDBC;
    ~TestHandles() {
        if (connection != SQL_NULL_HDBC) {
            calls.freeHandle(SQL_HANDLE_DBC, connection);
        }
        if (environment != SQL_NULL_HENV) {
            calls.freeHandle(SQL_HANDLE_ENV, environment);
        }
    }
};

}  // namespace

struct ConnectionTest::Ticket::State {
    std::mutex mutex;
    Delivery deliver;
    bool finished = false;
};

ConnectionTest::Ticket::~Ticket() {
    std::lock_guard lock(state_->mutex);
    state_->deliver = nullptr;
}

bool ConnectionTest::Ticket::finished() const {
    std::lock_guard lock(state_->mutex);
    return state_->finished;
}

std::string ConnectionTest::connectionText(const std::string& attributeList,
                                           const std::string& userId, const std::string& password) {
    std::string text;
    for (const std::string_view item : NulList::items(attributeList)) {
        const std::size_t equals = item.find('=');
        text += equals == std::string_view::npos
                    ? connectionTextItem(item, "")
                    : connectionTextItem(item.substr(0, equals), item.substr(equals + 1));
    }
    // An empty UID or PWD would override the adapted DSN's own.
    if (!userId.empty()) {
        text += connectionTextItem("UID", userId);
    }
    if (!password.empty()) {
        text += connectionTextItem("PWD", password);
    }
    return text;
}

ConnectionTestResult ConnectionTest::run(const DriverCalls& calls,
                                         const std::string& connectionText) {
    ConnectionTestResult result;
    TestHandles handles{calls};
    if (!succeeded(calls.allocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &handles.environment))) {
        handles.environment = SQL_NULL_HENV;
        return result;
    }
    calls.setEnvAttr(handles.environment, SQL_ATTR_ODBC_VERSION,
                     reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC2), 0);
    if (!succeeded(calls.allocHandle(SQL_HANDLE_DBC, handles.environment, &handles.connection))) {
        handles.connection = SQL_NULL_HDBC;
        return result;
    }
    std::string text = connectionText;
    const SQLRETURN rc =
        calls.driverConnect(handles.connection, nullptr, reinterpret_cast<SQLCHAR*>(text.data()),
                            SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_COMPLETE_REQUIRED);
    if (!succeeded(rc)) {
        result.message = diagnostics(calls, handles.connection);
        if (rc != SQL_ERROR && rc != SQL_INVALID_HANDLE) {
            calls.disconnect(handles.connection);
        }
        return result;
    }
    result.success = true;
    result.adaptedDriverName = info(calls, handles.connection, INFO_ADAPTED_DRIVER_NAME);
    result.adaptedDriverVersion = info(calls, handles.connection, INFO_ADAPTED_DRIVER_VERSION);
    result.adaptedDbmsName = info(calls, handles.connection, INFO_ADAPTED_DBMS_NAME);
    result.adaptedDbmsVersion = info(calls, handles.connection, INFO_ADAPTED_DBMS_VERSION);
    calls.disconnect(handles.connection);
    return result;
}

std::unique_ptr<ConnectionTest::Ticket> ConnectionTest::start(const DriverCalls& calls,
                                                              std::string connectionText,
                                                              Delivery deliver) {
    auto state = std::make_shared<Ticket::State>();
    state->deliver = std::move(deliver);
    std::thread([calls, text = std::move(connectionText), state] {
        const ConnectionTestResult result = run(calls, text);
        std::lock_guard lock(state->mutex);
        state->finished = true;
        if (state->deliver) {
            state->deliver(result);
        }
    }).detach();
    return std::make_unique<Ticket>(std::move(state));
}

std::string ConnectionTest::startText(const std::string& adaptedDsn) {
    return formatMessage(copyDefaultLocalizedString("Attempting to connect to adapted DSN %@ ..."),
                         {adaptedDsn}) +
           "\n\n";
}

std::string ConnectionTest::resultText(const ConnectionTestResult& result) {
    std::string text;
    if (!result.message.empty()) {
        text += result.message + "\n";
    }
    if (result.success) {
        text += copyDefaultLocalizedString("Adapted driver version:") + " " +
                result.adaptedDriverName + " " + result.adaptedDriverVersion + "\n\n" +
                copyDefaultLocalizedString("Database version:") + " " + result.adaptedDbmsName +
                " " + result.adaptedDbmsVersion + "\n\n" +
                copyDefaultLocalizedString("Test completed successfully.");
        return text;
    }
    if (result.message.empty()) {
        text +=
            copyDefaultLocalizedString("There was a problem connecting to the database.") + "\n\n";
    }
    return text + copyDefaultLocalizedString("Test failed.");
}

std::string ConnectionTest::userIdRequiredText() {
    return copyDefaultLocalizedString("User ID is required for test.") + "\n\n";
}

std::string ConnectionTest::cancelledText() {
    return copyDefaultLocalizedString("Test cancelled.");
}
