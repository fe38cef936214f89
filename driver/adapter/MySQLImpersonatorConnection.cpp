// The impersonating connection: connecting through the inner repeater
// connection with MySQL-style failure texts, the identity of what really
// answers, the private information types, the choice between own and inner
// diagnostics, and the caches the statements share.

#include "driver/adapter/MySQLImpersonatorConnection.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "driver/adapter/AdapterText.h"
#include "driver/adapter/MySQLImpersonatorStatement.h"
#include "driver/adapter/ODBCRepeaterConnection.h"
#include "driver/core/ConnectionText.h"
#include "driver/core/StringOutput.h"

namespace {

constexpr SQLSMALLINT kHighestRecord = 3;
constexpr SQLUSMALLINT kForwardedInfoType = 570;
// Room for the inner message (at most 511 bytes) and the bracketed prefix
// that the reading puts in front of it, so that no tail is lost.
constexpr SQLSMALLINT kRecordMessageSize = 1024;

bool isTimeType(SQLSMALLINT type) {
    return type == SQL_TIME || type == SQL_TIMESTAMP || type == SQL_TYPE_TIME ||
           type == SQL_TYPE_TIMESTAMP;
}

std::string qualifiedName(const MySQLImpersonatorConnection::ColumnType& entry) {
    return entry.schema + "." + entry.table + "." + entry.column + ": " +
           std::to_string(entry.type);
}

// Whether a cache entry belongs to the table asked for: names equal without
// case; an empty or "%" schema stands for every schema.
bool matches(const MySQLImpersonatorConnection::ColumnType& entry, const std::string& schema,
             const std::string& table) {
    if (upperCase(entry.table) != upperCase(table)) {
        return false;
    }
    return schema.empty() || schema == "%" || upperCase(entry.schema) == upperCase(schema);
}

const char* flag(bool value) {
    return value ? "1" : "0";
}

}  // namespace

MySQLImpersonatorConnection::MySQLImpersonatorConnection(Environment* environment)
    : MySQLBaseConnection(environment) {}

MySQLImpersonatorConnection::~MySQLImpersonatorConnection() {
    try {
        inner_.reset();
        clearTimeColumns();
    } catch (...) {
        // Nothing may leave a destructor.
    }
}

void MySQLImpersonatorConnection::trace(const std::string& line) const {
    if (isTracing()) {
        writeTrace(line + "\n");
    }
}

Statement* MySQLImpersonatorConnection::createStatement() {
    return new MySQLImpersonatorStatement(this);
}

ODBCRepeaterConnection* MySQLImpersonatorConnection::nativeConnection() const {
    return inner_.get();
}

// --- Connecting ---------------------------------------------------------------------------

void MySQLImpersonatorConnection::clearAllDiagnostics() {
    diagnostics_.clear();
    if (inner_) {
        inner_->diagnostics().clear();
    }
}

SQLRETURN MySQLImpersonatorConnection::connectStrings(const std::string& server,
                                                      const std::string& user,
                                                      const std::string& authentication) {
    diagnostics_.clear();
    dataSourceName_ = server;
    userName_ = user;
    if (!inner_) {
        postState("08001");
        return SQL_ERROR;
    }
    const ConnectionOptions options = ConnectionOptions::fromDsn(server);
    const SQLRETURN result = inner_->connectOptions(server, options, user, authentication);
    if (!SQL_SUCCEEDED(result)) {
        mapConnectFailure(result);
        return result;
    }
    identify(options.value(ConnectionKey::Redshift));
    trace("// native DBMS Type: | " + nativeDbmsType());
    return result;
}

SQLRETURN MySQLImpersonatorConnection::driverConnect(SQLHWND window, const SQLCHAR* connectionText,
                                                     SQLSMALLINT connectionTextLength,
                                                     SQLCHAR* outText, SQLSMALLINT outBufferLength,
                                                     SQLSMALLINT* outLength,
                                                     SQLUSMALLINT completion) {
    diagnostics_.clear();
    const ConnectionOptions options =
        ConnectionOptions::fromText(makeConnectionString(connectionText, connectionTextLength));
    dataSourceName_ = options.value(ConnectionKey::Dsn);
    if (!inner_) {
        postState("08001");
        return SQL_ERROR;
    }
    const SQLRETURN result = inner_->driverConnectOptions(window, options, outText, outBufferLength,
                                                          outLength, completion);
    if (!SQL_SUCCEEDED(result)) {
        mapConnectFailure(result);
        return result;
    }
    identify(options.value(ConnectionKey::Redshift));
    trace("// native DBMS Type: | " + nativeDbmsType());
    return result;
}

void MySQLImpersonatorConnection::identify(const std::string& redshiftValue) {
    // The names read at this connect replace anything kept before; an empty
    // one (the adapted driver did not answer) is asked again later.
    const std::string name = inner_->adaptedDbmsName();
    const std::string version = inner_->infoDbmsVer();
    const bool db2 = name.compare(0, 3, "DB2") == 0;
    const bool redshift = !db2 && upperCase(redshiftValue) == "YES";
    std::lock_guard guard(cacheMutex_);
    dbmsNameCache_ = name;
    nativeDbmsVersionCache_ = version;
    if (db2) {
        nativeDbmsType_ = version.compare(0, 3, "SQL") == 0 ? "DB2 LUW" : "DB2 AS400";
    }
    if (redshift) {
        isRedshift_ = true;
    }
}

SQLRETURN MySQLImpersonatorConnection::disconnect() {
    clearAllDiagnostics();
    return inner_ ? inner_->disconnect() : SQL_SUCCESS;
}

// --- Failures -----------------------------------------------------------------------------

MySQLImpersonatorConnection::FirstRecord MySQLImpersonatorConnection::readFirstRecord() {
    FirstRecord record;
    SQLCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLCHAR message[kRecordMessageSize] = {};
    // A failure the inner connection passed on unposted is still held by
    // the adapted driver. It is read first: naming the component of a
    // record asks the adapted driver again, which clears its records.
    const bool unposted = diagnostics_.isEmpty() && inner_ && inner_->diagnostics().isEmpty() &&
                          inner_->isConnected();
    const SQLRETURN read =
        unposted ? inner_->nativeError(state, &native, message, kRecordMessageSize, nullptr)
                 : getDiagRec(1, state, &native, message, kRecordMessageSize, nullptr);
    if (!SQL_SUCCEEDED(read)) {
        return record;
    }
    state[sizeof state - 1] = 0;
    message[sizeof message - 1] = 0;
    record.found = true;
    record.state = reinterpret_cast<const char*>(state);
    record.native = native;
    record.message = reinterpret_cast<const char*>(message);
    return record;
}

void MySQLImpersonatorConnection::mapConnectFailure(SQLRETURN result) {
    const FirstRecord record = readFirstRecord();
    if (!record.found) {
        // An error must come with a record; SQL_NO_DATA needs none.
        if (result == SQL_ERROR) {
            postState("08001");
        }
        return;
    }
    const std::string prefix =
        record.state == "08001" ? "Access denied: " : "Lost connection to MySQL: ";
    diagnostics_.prependRecord(record.state, record.native,
                               prefix + withoutBracketedPrefixes(record.message), -1, -1);
}

void MySQLImpersonatorConnection::repostFailure(SQLRETURN result) {
    const FirstRecord record = readFirstRecord();
    if (!record.found) {
        if (result == SQL_ERROR) {
            postState("HY000");
        }
        return;
    }
    diagnostics_.prependRecord(record.state, record.native,
                               withoutBracketedPrefixes(record.message), -1, -1);
}

SQLRETURN MySQLImpersonatorConnection::endTran(SQLSMALLINT completionType) {
    clearAllDiagnostics();
    if (!inner_) {
        postState("08003");
        return SQL_ERROR;
    }
    const SQLRETURN result = inner_->endTran(completionType);
    if (!SQL_SUCCEEDED(result)) {
        repostFailure(result);
    }
    return result;
}

SQLRETURN MySQLImpersonatorConnection::setAttrAutocommit(SQLUINTEGER value) {
    clearAllDiagnostics();
    if (!inner_) {
        return MySQLBaseConnection::setAttrAutocommit(value);
    }
    const SQLRETURN result = inner_->setAttrAutocommit(value);
    if (!SQL_SUCCEEDED(result)) {
        repostFailure(result);
    }
    return result;
}

// --- Diagnostics --------------------------------------------------------------------------

SQLRETURN MySQLImpersonatorConnection::getDiagRec(SQLSMALLINT recNumber, SQLCHAR* state,
                                                  SQLINTEGER* native, SQLCHAR* message,
                                                  SQLSMALLINT bufferLength,
                                                  SQLSMALLINT* textLength) {
    if (recNumber > kHighestRecord) {
        return SQL_NO_DATA;
    }
    if (!diagnostics_.isEmpty() || !inner_) {
        return MySQLBaseConnection::getDiagRec(recNumber, state, native, message, bufferLength,
                                               textLength);
    }
    return inner_->getDiagRec(recNumber, state, native, message, bufferLength, textLength);
}

SQLRETURN MySQLImpersonatorConnection::getDiagField(SQLSMALLINT recNumber, SQLSMALLINT identifier,
                                                    SQLPOINTER value, SQLSMALLINT bufferLength,
                                                    SQLSMALLINT* stringLength) {
    if (recNumber > kHighestRecord) {
        return SQL_NO_DATA;
    }
    if (!diagnostics_.isEmpty() || !inner_) {
        return MySQLBaseConnection::getDiagField(recNumber, identifier, value, bufferLength,
                                                 stringLength);
    }
    return inner_->getDiagField(recNumber, identifier, value, bufferLength, stringLength);
}

SQLRETURN MySQLImpersonatorConnection::error(SQLCHAR* state, SQLINTEGER* native, SQLCHAR* message,
                                             SQLSMALLINT bufferLength, SQLSMALLINT* textLength) {
    if (!diagnostics_.isEmpty() || !inner_) {
        return MySQLBaseConnection::error(state, native, message, bufferLength, textLength);
    }
    return inner_->error(state, native, message, bufferLength, textLength);
}

// --- Information --------------------------------------------------------------------------

SQLRETURN MySQLImpersonatorConnection::getInfo(SQLUSMALLINT infoType, SQLPOINTER value,
                                               SQLSMALLINT bufferLength,
                                               SQLSMALLINT* stringLength) {
    clearAllDiagnostics();
    std::string text;
    switch (infoType) {
        case INFO_ADAPTED_DRIVER_NAME:
            text = inner_ ? inner_->infoDriverName() : std::string();
            break;
        case INFO_ADAPTED_DRIVER_VERSION:
            text = inner_ ? inner_->infoDriverVer() : std::string();
            break;
        case INFO_ADAPTED_DBMS_NAME:
            text = dbmsName();
            break;
        case INFO_ADAPTED_DBMS_VERSION:
            text = nativeDbmsVersion();
            break;
        case kForwardedInfoType:
            return forwardInfo(infoType, value, bufferLength, stringLength);
        default:
            return MySQLBaseConnection::getInfo(infoType, value, bufferLength, stringLength);
    }
    // A cut text is still a success, as for every other text answer.
    copyStringOutShort(value, stringLength, text, bufferLength, true);
    return SQL_SUCCESS;
}

// The adapted driver answers this type itself; the inner connection's own
// information table does not know it.
SQLRETURN MySQLImpersonatorConnection::forwardInfo(SQLUSMALLINT infoType, SQLPOINTER value,
                                                   SQLSMALLINT bufferLength,
                                                   SQLSMALLINT* stringLength) {
    if (!isConnected()) {
        postState("08003");
        return SQL_ERROR;
    }
    const SQLRETURN result = inner_->nativeGetInfo(inner_->nativeConnectionHandle(), infoType,
                                                   value, bufferLength, stringLength);
    if (!SQL_SUCCEEDED(result)) {
        repostFailure(result);
    }
    return result;
}

SQLSMALLINT MySQLImpersonatorConnection::getInfoValueType(SQLUSMALLINT infoType) {
    if (infoType >= INFO_ADAPTED_DRIVER_NAME && infoType <= INFO_ADAPTED_DBMS_VERSION) {
        return SQL_IS_POINTER;
    }
    return MySQLBaseConnection::getInfoValueType(infoType);
}

std::string MySQLImpersonatorConnection::infoDbmsVer() {
    return "5.6";
}

std::string MySQLImpersonatorConnection::infoDatabaseName() {
    return inner_ ? inner_->infoDatabaseName() : MySQLBaseConnection::infoDatabaseName();
}

std::string MySQLImpersonatorConnection::infoServerName() {
    return inner_ ? inner_->infoServerName() : MySQLBaseConnection::infoServerName();
}

std::string MySQLImpersonatorConnection::infoUserName() {
    return inner_ ? inner_->infoUserName() : MySQLBaseConnection::infoUserName();
}

std::string MySQLImpersonatorConnection::dbmsName() {
    {
        std::lock_guard guard(cacheMutex_);
        if (!dbmsNameCache_.empty()) {
            return dbmsNameCache_;
        }
    }
    if (!inner_) {
        return MySQLBaseConnection::dbmsName();
    }
    // Unconnected, the inner connection answers with a stand-in name that
    // must not outlive this call.
    return inner_->dbmsName();
}

std::string MySQLImpersonatorConnection::nativeDbmsVersion() {
    {
        std::lock_guard guard(cacheMutex_);
        if (!nativeDbmsVersionCache_.empty()) {
            return nativeDbmsVersionCache_;
        }
    }
    if (!inner_ || !inner_->isConnected()) {
        return {};
    }
    const std::string version = inner_->infoDbmsVer();
    std::lock_guard guard(cacheMutex_);
    if (nativeDbmsVersionCache_.empty()) {
        nativeDbmsVersionCache_ = version;
    }
    return nativeDbmsVersionCache_;
}

bool MySQLImpersonatorConnection::isRedshift() const {
    std::lock_guard guard(cacheMutex_);
    return isRedshift_;
}

std::string MySQLImpersonatorConnection::nativeDbmsType() const {
    std::lock_guard guard(cacheMutex_);
    return nativeDbmsType_;
}

// --- Flags and attributes of the inner connection ----------------------------------------

bool MySQLImpersonatorConnection::isConnected() const {
    return inner_ && inner_->isConnected();
}

void MySQLImpersonatorConnection::setConnected(bool connected) {
    if (inner_) {
        inner_->setConnected(connected);
    }
}

bool MySQLImpersonatorConnection::isWideApi() const {
    return inner_ ? inner_->isWideApi() : MySQLBaseConnection::isWideApi();
}

void MySQLImpersonatorConnection::setWideApi(bool wide) {
    if (inner_) {
        inner_->setWideApi(wide);
    } else {
        MySQLBaseConnection::setWideApi(wide);
    }
}

bool MySQLImpersonatorConnection::isUnicodeTextTypes() const {
    return inner_ ? inner_->isUnicodeTextTypes() : MySQLBaseConnection::isUnicodeTextTypes();
}

void MySQLImpersonatorConnection::setUnicodeTextTypes(bool unicode) {
    if (inner_) {
        inner_->setUnicodeTextTypes(unicode);
    } else {
        MySQLBaseConnection::setUnicodeTextTypes(unicode);
    }
}

void MySQLImpersonatorConnection::setQueryLog(SQLINTEGER thresholdMs, const std::string& path) {
    if (inner_) {
        inner_->setQueryLog(thresholdMs, path);
    } else {
        MySQLBaseConnection::setQueryLog(thresholdMs, path);
    }
}

bool MySQLImpersonatorConnection::isQueryLogOn() const {
    return inner_ ? inner_->isQueryLogOn() : MySQLBaseConnection::isQueryLogOn();
}

void MySQLImpersonatorConnection::writeQueryLog(std::int64_t elapsedMs, const std::string& sql) {
    if (inner_) {
        inner_->writeQueryLog(elapsedMs, sql);
    } else {
        MySQLBaseConnection::writeQueryLog(elapsedMs, sql);
    }
}

std::int64_t MySQLImpersonatorConnection::queryLogTime() const {
    return inner_ ? inner_->queryLogTime() : MySQLBaseConnection::queryLogTime();
}

std::uint32_t MySQLImpersonatorConnection::databaseEncoding() const {
    return inner_ ? inner_->databaseEncoding() : MySQLBaseConnection::databaseEncoding();
}

std::uint32_t MySQLImpersonatorConnection::sendEncoding() const {
    return inner_ ? inner_->sendEncoding() : MySQLBaseConnection::sendEncoding();
}

std::uint32_t MySQLImpersonatorConnection::receiveEncoding() const {
    return inner_ ? inner_->receiveEncoding() : MySQLBaseConnection::receiveEncoding();
}

void MySQLImpersonatorConnection::setSendEncodingId(std::uint32_t encoding) {
    if (inner_) {
        inner_->setSendEncodingId(encoding);
    } else {
        MySQLBaseConnection::setSendEncodingId(encoding);
    }
}

void MySQLImpersonatorConnection::setReceiveEncodingId(std::uint32_t encoding) {
    if (inner_) {
        inner_->setReceiveEncodingId(encoding);
    } else {
        MySQLBaseConnection::setReceiveEncodingId(encoding);
    }
}

SQLUINTEGER MySQLImpersonatorConnection::getAttrAutocommit() const {
    return inner_ ? inner_->getAttrAutocommit() : MySQLBaseConnection::getAttrAutocommit();
}

SQLRETURN MySQLImpersonatorConnection::setAttrAccessMode(SQLUINTEGER value) {
    return inner_ ? inner_->setAttrAccessMode(value)
                  : MySQLBaseConnection::setAttrAccessMode(value);
}

SQLUINTEGER MySQLImpersonatorConnection::getAttrAccessMode() const {
    return inner_ ? inner_->getAttrAccessMode() : MySQLBaseConnection::getAttrAccessMode();
}

SQLRETURN MySQLImpersonatorConnection::setAttrCurrentCatalog(const std::string& value) {
    return inner_ ? inner_->setAttrCurrentCatalog(value)
                  : MySQLBaseConnection::setAttrCurrentCatalog(value);
}

std::string MySQLImpersonatorConnection::getAttrCurrentCatalog() const {
    return inner_ ? inner_->getAttrCurrentCatalog() : MySQLBaseConnection::getAttrCurrentCatalog();
}

// --- Table schemas and column types -------------------------------------------------------

void MySQLImpersonatorConnection::setTableSchema(const std::string& table,
                                                 const std::string& schema) {
    std::lock_guard guard(cacheMutex_);
    tableSchemas_[table] = schema;
}

std::string MySQLImpersonatorConnection::tableSchema(const std::string& table) const {
    std::lock_guard guard(cacheMutex_);
    const auto found = tableSchemas_.find(table);
    return found == tableSchemas_.end() ? std::string() : found->second;
}

void MySQLImpersonatorConnection::addColumnType(const std::string& schema, const std::string& table,
                                                const std::string& column, SQLSMALLINT type) {
    ColumnType entry{schema, table, column, type};
    trace("// add column type: " + qualifiedName(entry));
    std::lock_guard guard(cacheMutex_);
    columnTypes_.push_back(std::move(entry));
}

void MySQLImpersonatorConnection::clearColumnTypes(const std::string& schema,
                                                   const std::string& table) {
    std::string lines = "// clear column types for table: " + schema + "." + table + "\n";
    {
        std::lock_guard guard(cacheMutex_);
        const auto removed = std::stable_partition(
            columnTypes_.begin(), columnTypes_.end(),
            [&](const ColumnType& entry) { return !matches(entry, schema, table); });
        for (auto entry = removed; entry != columnTypes_.end(); ++entry) {
            lines += "// --> delete:  " + qualifiedName(*entry) + "\n";
        }
        columnTypes_.erase(removed, columnTypes_.end());
    }
    if (isTracing()) {
        writeTrace(lines);
    }
}

void MySQLImpersonatorConnection::clearTimeColumns() {
    std::string lines = "// clear all time columns\n";
    {
        std::lock_guard guard(cacheMutex_);
        for (const ColumnType& entry : columnTypes_) {
            lines += "// --> delete:  " + qualifiedName(entry) + "\n";
        }
        columnTypes_.clear();
    }
    if (isTracing()) {
        writeTrace(lines);
    }
}

bool MySQLImpersonatorConnection::hasColumnTypes() const {
    std::lock_guard guard(cacheMutex_);
    return !columnTypes_.empty();
}

std::vector<MySQLImpersonatorConnection::ColumnType>
MySQLImpersonatorConnection::getColumnsForTable(const std::string& schema, const std::string& table,
                                                bool includeTime, bool includeClob) const {
    std::vector<ColumnType> found;
    {
        std::lock_guard guard(cacheMutex_);
        for (const ColumnType& entry : columnTypes_) {
            const bool wanted = (includeTime && isTimeType(entry.type)) ||
                                (includeClob && entry.type == SQL_LONGVARCHAR);
            if (wanted && matches(entry, schema, table)) {
                found.push_back(entry);
            }
        }
    }
    if (isTracing()) {
        std::string lines = "// get columns for table: " + schema + "." + table +
                            " include time: " + flag(includeTime) +
                            " include clob: " + flag(includeClob) + "\n";
        for (const ColumnType& entry : found) {
            lines += "// --> " + qualifiedName(entry) + "\n";
        }
        writeTrace(lines);
    }
    return found;
}
