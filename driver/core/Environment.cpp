#include "driver/core/Environment.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "driver/core/Connection.h"
#include "driver/core/PlatformUtil.h"
#include "driver/core/StringOutput.h"
#include "platform/DescriptorIo.h"
#include "platform/OwnAppendFile.h"

namespace {

constexpr const char* kTraceToStderr = "stderr";

bool succeeded(SQLRETURN rc) {
    return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO;
}

}  // namespace

Environment::Environment(std::string bundleIdentifier, std::string driverFileName,
                         std::string productName, std::string vendorName,
                         std::unique_ptr<DriverPreferences> preferences)
    : bundleIdentifier_(std::move(bundleIdentifier)),
      driverFileName_(std::move(driverFileName)),
      productName_(std::move(productName)),
      vendorName_(std::move(vendorName)),
      preferences_(std::move(preferences)),
      diagnostics_(this) {
    if (!preferences_) {
        preferences_ = std::make_unique<DriverPreferences>(bundleIdentifier_, productName_, "");
    }
    getHostAppNameAndVersion(hostAppName_, hostAppVersion_);
    openTrace();
}

Environment::~Environment() {
    if (traceFd_ >= 0) {
        close(traceFd_);
    }
}

void Environment::openTrace() {
    const std::string destination = preferences_->getTraceFile();
    if (destination.empty()) {
        return;
    }
    if (destination == kTraceToStderr) {
        tracing_ = true;
        traceToStderr_ = true;
        return;
    }
    // Each process traces to its own file, which may lie in a folder others
    // share: a file planted at the name gets nothing.
    const std::string path = destination + "-" + std::to_string(getpid());
    traceFd_ = OwnAppendFile::open(path).release();
    tracing_ = traceFd_ >= 0;
}

void Environment::writeTrace(std::string_view text) {
    if (!tracing_) {
        return;
    }
    std::lock_guard lock(traceMutex_);
    descriptor_io::writeToFile(traceToStderr_ ? STDERR_FILENO : traceFd_, text);
}

void Environment::addConnection(Connection* connection) {
    connections_.push_back(connection);
}

void Environment::removeConnection(Connection* connection) {
    auto found = std::find(connections_.begin(), connections_.end(), connection);
    if (found != connections_.end()) {
        connections_.erase(found);
    }
}

SQLRETURN Environment::setEnvAttr(SQLINTEGER attribute, SQLPOINTER value) {
    diagnostics_.clear();
    const auto integer = static_cast<SQLINTEGER>(reinterpret_cast<intptr_t>(value));
    switch (attribute) {
        case SQL_ATTR_ODBC_VERSION:
            return setAttrOdbcVersion(static_cast<SQLUINTEGER>(integer));
        case SQL_ATTR_OUTPUT_NTS:
            return setAttrOutputNts(integer);
        default:
            diagnostics_.prependRecord("HY092", 0, "", -1, -1);
            return SQL_ERROR;
    }
}

SQLRETURN Environment::setAttrOdbcVersion(SQLUINTEGER value) {
    odbcVersion_ = value;
    return SQL_SUCCESS;
}

SQLRETURN Environment::setAttrOutputNts(SQLINTEGER value) {
    if (value != SQL_FALSE) {
        return SQL_SUCCESS;
    }
    diagnostics_.prependRecord("HYC00", 0, "", -1, -1);
    return SQL_ERROR;
}

SQLRETURN Environment::getEnvAttr(SQLINTEGER attribute, SQLPOINTER valuePtr,
                                  SQLINTEGER /*bufferLength*/, SQLINTEGER* /*stringLength*/) {
    diagnostics_.clear();
    if (valuePtr == nullptr) {
        return SQL_SUCCESS;
    }
    switch (attribute) {
        case SQL_ATTR_ODBC_VERSION:
            *static_cast<SQLUINTEGER*>(valuePtr) = getAttrOdbcVersion();
            break;
        case SQL_ATTR_OUTPUT_NTS:
            *static_cast<SQLINTEGER*>(valuePtr) = getAttrOutputNts();
            break;
        default:
            break;
    }
    return SQL_SUCCESS;
}

SQLRETURN Environment::getDiagRec(SQLSMALLINT recNumber, SQLCHAR* state, SQLINTEGER* native,
                                  SQLCHAR* message, SQLSMALLINT bufferLength,
                                  SQLSMALLINT* textLength) {
    return diagnostics_.getDiagRec(recNumber, state, native, message, bufferLength, textLength);
}

SQLRETURN Environment::getDiagField(SQLSMALLINT recNumber, SQLSMALLINT diagIdentifier,
                                    SQLPOINTER diagInfo, SQLSMALLINT bufferLength,
                                    SQLSMALLINT* stringLength) {
    if (diagIdentifier == SQL_DIAG_CONNECTION_NAME || diagIdentifier == SQL_DIAG_SERVER_NAME) {
        copyStringOutShort(diagInfo, stringLength, "", bufferLength, getAttrOutputNts() != 0);
        return SQL_SUCCESS;
    }
    return diagnostics_.getDiagField(recNumber, diagIdentifier, diagInfo, bufferLength,
                                     stringLength);
}

SQLRETURN Environment::error(SQLCHAR* state, SQLINTEGER* native, SQLCHAR* message,
                             SQLSMALLINT bufferLength, SQLSMALLINT* textLength) {
    const SQLRETURN rc =
        diagnostics_.getDiagRec(1, state, native, message, bufferLength, textLength);
    if (rc == SQL_SUCCESS) {
        // Only the record just returned goes; the next SQLError sees the next.
        diagnostics_.removeRecord(1);
    }
    return rc;
}

SQLRETURN Environment::endTran(SQLSMALLINT completionType) {
    bool failed = false;
    for (Connection* connection : connections_) {
        if (!connection->isConnected()) {
            continue;
        }
        if (!succeeded(connection->endTran(completionType)) && !failed) {
            failed = true;
            diagnostics_.prependRecord("HY000", 0, "Transaction failed for a connection", -1, -1);
        }
    }
    return failed ? SQL_ERROR : SQL_SUCCESS;
}
