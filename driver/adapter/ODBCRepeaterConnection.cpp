// The repeater connection's lifecycle: opening the adapted source (with the
// keychain retry and the check of what answered), closing it, transactions,
// autocommit and the information values read from the adapted driver.

#include "driver/adapter/ODBCRepeaterConnection.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "driver/adapter/ODBCRepeaterStatement.h"
#include "driver/adapter/SqlTextScanner.h"
#include "driver/core/ConnectionText.h"
#include "driver/core/Environment.h"
#include "driver/core/Keychain.h"
#include "driver/core/MutexEnvironment.h"

namespace {

constexpr const char* kKeychainPrefix = "morvanex";
constexpr SQLINTEGER kRefusalNative = 27998;
constexpr SQLINTEGER kAttrLongDataCompat = 1253;
constexpr std::size_t kInfoBufferSize = 256;
constexpr std::size_t kRefusalBufferSize = 512;
constexpr const char* kSupportSentence =
    "Please contact technical support for the list of supported data sources.";

// Holds the environment's mutex while the native handles are allocated and
// the connect attempts run, so those of one environment go one at a time.
class EnvironmentLock {
  public:
    explicit EnvironmentLock(Environment* environment)
        : environment_(dynamic_cast<MutexEnvironment*>(environment)) {
        if (environment_ != nullptr) {
            environment_->lock();
        }
    }
    ~EnvironmentLock() {
        if (environment_ != nullptr) {
            environment_->unlock();
        }
    }
    EnvironmentLock(const EnvironmentLock&) = delete;
    EnvironmentLock& operator=(const EnvironmentLock&) = delete;

  private:
    MutexEnvironment* environment_;
};

std::string lowerCase(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

std::string upperCase(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

// The text for the adapted driver. An empty user or password is left out:
// "UID=;" would override the adapted DSN's own setting with nothing.
std::string adaptedConnectText(const std::string& dsn, const std::string& user,
                               const std::string& password) {
    std::string text = connectionTextItem("DSN", dsn);
    if (!user.empty()) {
        text += connectionTextItem("UID", user);
    }
    if (!password.empty()) {
        text += connectionTextItem("PWD", password);
    }
    return text;
}

const char* flag(bool value) {
    return value ? "1" : "0";
}

// "Driver not supported: %s." and its like, kept within the message buffer.
std::string refusalMessage(const char* format, const std::string& name) {
    char buffer[kRefusalBufferSize] = {};
    std::snprintf(buffer, sizeof buffer, format, name.c_str(), kSupportSentence);
    return buffer;
}

}  // namespace

ODBCRepeaterConnection::ODBCRepeaterConnection(Environment* environment) : Connection(environment) {
    accessMode_ = SQL_MODE_READ_WRITE;
    setDatabaseEncoding("UTF-8");
}

ODBCRepeaterConnection::~ODBCRepeaterConnection() {
    try {
        std::lock_guard guard(lock_);
        trace("// ensuring disconnect");
        close();
        releaseNativeConnection();
    } catch (...) {
        // Nothing may leave a destructor; the handle is lost at worst.
    }
}

void ODBCRepeaterConnection::trace(std::string_view line) const {
    if (!isTracing()) {
        return;
    }
    std::string text(line);
    text += '\n';
    writeTrace(text);
}

Statement* ODBCRepeaterConnection::createStatement() {
    return new ODBCRepeaterStatement(this);
}

int ODBCRepeaterConnection::lock() {
    lock_.lock();
    return 0;
}

int ODBCRepeaterConnection::unlock() {
    lock_.unlock();
    return 0;
}

bool ODBCRepeaterConnection::includeViews() const {
    return includeViews_;
}

bool ODBCRepeaterConnection::usesParameterBinding() const {
    return usesParameterBinding_;
}

std::string ODBCRepeaterConnection::adaptedDbmsName() const {
    return adaptedDbmsName_;
}

SQLHDBC ODBCRepeaterConnection::nativeConnectionHandle() const {
    return nativeConnection_;
}

bool ODBCRepeaterConnection::isConnected() const {
    return connected_;
}

void ODBCRepeaterConnection::setConnected(bool connected) {
    if (connected_ && !connected) {
        close();
    }
    connected_ = connected;
}

SQLRETURN ODBCRepeaterConnection::open(const std::string& password) {
    // A second open must not strand the handle of the first one.
    if (connected_) {
        close();
    }
    releaseNativeConnection();
    connected_ = false;
    trace("// Driver DSN: " + adaptedDsn_);

    std::string reason;
    if (!loadDriver(reason)) {
        std::string message = "Could not load driver";
        if (!reason.empty()) {
            message += ": " + reason;
        }
        diagnostics_.prependRecord("01000", 0, message, -1, -1);
        writeErrorLog("Could not load driver");
        return SQL_ERROR;
    }

    AttemptOutcome outcome{SQL_ERROR, false};
    {
        EnvironmentLock environmentLock(environment_);
        allocateNativeHandles();
        if (nativeConnection_ == SQL_NULL_HDBC) {
            trace("// Initialization failed");
        } else {
            trace("// Initialization successful");
            outcome = attemptConnections(password);
        }
    }

    if (outcome.result != SQL_SUCCESS) {
        reportConnectFailure(outcome.keychainFailed);
        trace(std::string("// using bound parameters: ") + flag(usesParameterBinding_));
        close();
        return SQL_ERROR;
    }

    const std::string dbmsName = nativeInfoText(SQL_DBMS_NAME);
    const std::string dbmsVersion = nativeInfoText(SQL_DBMS_VER);
    const std::string driverName = nativeInfoText(SQL_DRIVER_NAME);
    const std::string driverVersion = nativeInfoText(SQL_DRIVER_VER);
    if (!checkDriverAndDatabase(driverName, dbmsName)) {
        trace(std::string("// using bound parameters: ") + flag(usesParameterBinding_));
        // The native connection is open: close it, or it would outlive the
        // refusal (and refuse to be freed).
        connected_ = true;
        close();
        return SQL_ERROR;
    }
    trace("// Connected - " + dbmsName + " version: " + dbmsVersion);
    trace("// Driver - " + driverName + " version: " + driverVersion);
    connected_ = true;
    finishOpen();
    return SQL_SUCCESS;
}

ODBCRepeaterConnection::AttemptOutcome ODBCRepeaterConnection::attemptConnections(
    const std::string& password) {
    std::string user = userName_;
    std::string secret = password;
    bool keychainRan = false;
    bool toKeychain = user.empty();
    if (toKeychain) {
        trace("// No userID, skip parm step");
    }
    for (;;) {
        if (toKeychain) {
            keychainRan = true;
            toKeychain = false;
            if (!dataSourceName_.empty() && !keychainUserId_.empty()) {
                trace("// Looking for keychain: dsn: " + dataSourceName_ +
                      " user: " + keychainUserId_);
                std::string stored;
                const KeychainStatus status =
                    findKeychainPassword(kKeychainPrefix, dataSourceName_, keychainUserId_, stored);
                if (status != errSecSuccess) {
                    trace("// keychain error: " + std::to_string(status));
                    return {SQL_ERROR, true};
                }
                trace("// Found keychain");
                user = keychainUserId_;
                secret = stored;
            }
        }
        trace(std::string("// Attempting connection: ") + flag(keychainRan));
        const std::string text = adaptedConnectText(adaptedDsn_, user, secret);
        const SQLRETURN rc = nativeDriverConnect(nativeConnection_, nullptr,
                                                 reinterpret_cast<const SQLCHAR*>(text.c_str()),
                                                 SQL_NTS, nullptr, 0, nullptr);
        if (SQL_SUCCEEDED(rc)) {
            trace("// Successful connection");
            userName_ = user;
            return {SQL_SUCCESS, false};
        }
        trace(std::string("// Connection attempt failed: ") + flag(keychainRan));
        SQLCHAR state[6] = {};
        SQLCHAR message[kNativeMessageSize] = {};
        const SQLRETURN read = nativeError(state, nullptr, message, kNativeMessageSize, nullptr);
        if (SQL_SUCCEEDED(read) && std::strcmp(reinterpret_cast<char*>(state), "28000") == 0) {
            trace("// Authentication error");
            if (!keychainRan) {
                toKeychain = true;
                continue;
            }
        }
        return {SQL_ERROR, false};
    }
}

void ODBCRepeaterConnection::reportConnectFailure(bool keychainFailed) {
    if (keychainFailed) {
        diagnostics_.prependRecord("08001", 100, "Unable to access keychain", -1, -1);
        writeErrorLog("Unable to access keychain");
        return;
    }
    SQLCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLCHAR message[kNativeMessageSize] = {};
    SQLRETURN read = SQL_NO_DATA;
    // Never ask a driver about a handle it did not give: read the
    // environment's record when the connection handle is missing.
    if (nativeConnection_ != SQL_NULL_HDBC) {
        read = nativeError(state, &native, message, kNativeMessageSize, nullptr);
    } else if (nativeEnvironment_ != SQL_NULL_HENV) {
        read = readNativeRecord(SQL_HANDLE_ENV, nativeEnvironment_, state, &native, message,
                                kNativeMessageSize, nullptr);
    }
    const std::string text(reinterpret_cast<const char*>(message));
    // A record of ours (a missing connect function) already says what went
    // wrong; an empty one in front of it would only hide it.
    if (!SQL_SUCCEEDED(read) && !diagnostics_.isEmpty()) {
        return;
    }
    diagnostics_.prependRecord("08001", SQL_SUCCEEDED(read) ? native : 0, text, -1, -1);
    writeErrorLog(text);
}

bool ODBCRepeaterConnection::checkDriverAndDatabase(const std::string& driverName,
                                                    const std::string& dbmsName) {
    const std::string driver = lowerCase(driverName);
    std::string refusal;
    if (driver == "pemberix.so") {
        if (upperCase(dbmsName.substr(0, 8)) != "POSTGRES") {
            refusal = refusalMessage("Database not supported: %s.  %s", dbmsName);
        }
    } else if (driver != "sevrin.so") {
        refusal = refusalMessage("Driver not supported: %s.  %s", driverName);
    }
    if (refusal.empty()) {
        return true;
    }
    diagnostics_.prependRecord("08001", kRefusalNative, refusal, -1, -1);
    writeErrorLog(refusal);
    return false;
}

void ODBCRepeaterConnection::finishOpen() {
    const SQLULEN autocommit = autocommit_ != 0 ? 1 : 0;
    SQLRETURN rc = nativeSetConnectAttr(nativeConnection_, SQL_ATTR_AUTOCOMMIT,
                                        reinterpret_cast<SQLPOINTER>(autocommit), SQL_IS_UINTEGER);
    trace("// autocommit set to: " + std::to_string(autocommit) + "  ret: " + std::to_string(rc));
    rc = nativeSetConnectAttr(nativeConnection_, kAttrLongDataCompat,
                              reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(1)), 0);
    trace("// long data compat set to: yes  ret: " + std::to_string(rc));

    bool read = false;
    std::string text = nativeInfoText(SQL_SERVER_NAME, &read);
    if (read) {
        serverName_ = text;
    }
    text = nativeInfoText(SQL_DATABASE_NAME, &read);
    if (read) {
        databaseName_ = text;
    }
    adaptedDbmsName_ = nativeInfoText(SQL_DBMS_NAME);
    trace("// Native driver name: " + adaptedDbmsName_);
    if (adaptedDbmsName_.compare(0, 7, "DB2/400") == 0) {
        usesParameterBinding_ = false;
    }
    trace(std::string("// using bound parameters: ") + flag(usesParameterBinding_));
}

SQLRETURN ODBCRepeaterConnection::close() {
    if (!connected_) {
        return SQL_SUCCESS;
    }
    trace("// closing connection");
    if (entryPoints_.SQLDisconnect != nullptr) {
        entryPoints_.SQLDisconnect(nativeConnection_);
    } else {
        trace("// driver does not have disconnect function");
    }
    connected_ = false;
    return SQL_SUCCESS;
}

SQLRETURN ODBCRepeaterConnection::disconnect() {
    std::lock_guard guard(lock_);
    return close();
}

SQLRETURN ODBCRepeaterConnection::endTran(SQLSMALLINT completionType) {
    diagnostics_.clear();
    if (!connected_) {
        diagnostics_.prependRecord("08S01", 0, "", -1, -1);
        writeErrorLog("Not connected");
        return SQL_ERROR;
    }
    if (entryPoints_.SQLEndTran != nullptr) {
        trace("// --> calling endTran: " + std::to_string(completionType));
        return entryPoints_.SQLEndTran(SQL_HANDLE_DBC, nativeConnection_, completionType);
    }
    if (entryPoints_.SQLTransact != nullptr) {
        trace("// --> calling transact: " + std::to_string(completionType));
        return entryPoints_.SQLTransact(SQL_NULL_HENV, nativeConnection_,
                                        static_cast<SQLUSMALLINT>(completionType));
    }
    diagnostics_.prependRecord("HY000", 100, "Driver configuration error", -1, -1);
    writeErrorLog("Driver configuration error");
    trace("// --> driver does not have a transaction function");
    return SQL_ERROR;
}

SQLRETURN ODBCRepeaterConnection::setAttrAutocommit(SQLUINTEGER value) {
    diagnostics_.clear();
    if (!connected_) {
        autocommit_ = value;
        return SQL_SUCCESS;  // open applies it
    }
    const SQLULEN on = value != 0 ? 1 : 0;
    const SQLRETURN rc = nativeSetConnectAttr(nativeConnection_, SQL_ATTR_AUTOCOMMIT,
                                              reinterpret_cast<SQLPOINTER>(on), SQL_IS_UINTEGER);
    trace("// autocommit set to: " + std::to_string(on) + "  ret: " + std::to_string(rc));
    // A refused change leaves the mode the data source still has.
    if (SQL_SUCCEEDED(rc)) {
        autocommit_ = value;
    }
    return rc;
}

SQLRETURN ODBCRepeaterConnection::getInfo(SQLUSMALLINT infoType, SQLPOINTER value,
                                          SQLSMALLINT bufferLength, SQLSMALLINT* stringLength) {
    diagnostics_.clear();
    return Connection::getInfo(infoType, value, bufferLength, stringLength);
}

std::string ODBCRepeaterConnection::nativeInfoText(SQLUSMALLINT infoType, bool* succeeded) {
    char buffer[kInfoBufferSize] = {};
    const SQLRETURN rc = nativeGetInfo(nativeConnection_, infoType, buffer,
                                       static_cast<SQLSMALLINT>(sizeof buffer), nullptr);
    const bool ok = SQL_SUCCEEDED(rc);
    if (succeeded != nullptr) {
        *succeeded = ok;
    }
    if (!ok) {
        return {};
    }
    buffer[sizeof buffer - 1] = '\0';
    return buffer;
}

std::string ODBCRepeaterConnection::infoDbmsVer() {
    return nativeInfoText(SQL_DBMS_VER);
}

std::string ODBCRepeaterConnection::infoDriverName() {
    return nativeInfoText(SQL_DRIVER_NAME);
}

std::string ODBCRepeaterConnection::infoDriverVer() {
    return nativeInfoText(SQL_DRIVER_VER);
}

std::string ODBCRepeaterConnection::dbmsName() {
    bool read = false;
    const std::string answer = nativeInfoText(SQL_DBMS_NAME, &read);
    std::lock_guard guard(dbmsNameMutex_);
    if (read) {
        dbmsName_ = answer;
    }
    if (dbmsName_.empty()) {
        dbmsName_ = environment_->productName();
    }
    return dbmsName_;
}

std::string ODBCRepeaterConnection::rewriteSql(const std::string& text) {
    return stripNameQualifiers(text, 2, false, '\\');
}
