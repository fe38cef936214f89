#include "driver/core/Connection.h"

#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstring>
#include <limits>
#include <optional>
#include <vector>

#include "driver/api/TraceNameTables.h"
#include "driver/api/TraceWriter.h"
#include "driver/core/Environment.h"
#include "driver/core/PlatformUtil.h"
#include "driver/core/StringOutput.h"
#include "driver/core/TextEncoding.h"
#include "platform/DescriptorIo.h"
#include "platform/OwnAppendFile.h"
#include "platform/UniqueFd.h"

namespace {

// Appends one composed line in a single write, so that lines from other
// threads or processes do not interleave. Every log file is opened by the
// one own-file routine: the query log's folder is the user's choice, the
// error log's one every user shares, and root's lines follow no link.
// Failures are silent: the logs must never disturb the call that writes
// them.
void appendLine(const std::string& path, std::string_view line) {
    const UniqueFd file = OwnAppendFile::open(path);
    if (!file.valid()) {
        return;
    }
    descriptor_io::writeToFile(file.get(), line);
}

std::string hex(std::uint64_t value) {
    char digits[24];
    const auto result = std::to_chars(std::begin(digits), std::end(digits), value, 16);
    return std::string(digits, result.ptr);
}

// One "%d" conversion of scanf: optional white space, an optional sign and
// at least one digit; a number beyond int saturates.
std::optional<int> scanInt(std::string_view& text) {
    std::size_t pos = 0;
    while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos])) != 0) {
        ++pos;
    }
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    const std::size_t digitsStart = pos;
    long long value = 0;
    while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos])) != 0) {
        value = std::min<long long>(value * 10 + (text[pos] - '0'), INT_MAX + 1LL);
        ++pos;
    }
    if (pos == digitsStart) {
        return std::nullopt;
    }
    text.remove_prefix(pos);
    value = negative ? -value : value;
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

// Reads "major.minor.patch" as scanf("%d.%d.%d") would: fields not reached
// keep 0.
void scanVersion(std::string_view text, int& major, int& minor, int& patch) {
    int* fields[] = {&major, &minor, &patch};
    for (std::size_t i = 0; i < std::size(fields); ++i) {
        if (i > 0) {
            if (text.empty() || text.front() != '.') {
                return;
            }
            text.remove_prefix(1);
        }
        const std::optional<int> value = scanInt(text);
        if (!value) {
            return;
        }
        *fields[i] = *value;
    }
}

// Characters of UTF-8 text as 32-bit wide units; text that is not valid
// UTF-8 is converted byte for byte.
std::size_t wideUnitCount(const std::string& text) {
    const std::optional<std::u16string> decoded =
        TextCodec::forEncoding(kEncodingUtf8)->decode(text);
    if (!decoded) {
        return text.size();
    }
    return static_cast<std::size_t>(std::count_if(decoded->begin(), decoded->end(), [](char16_t u) {
        return u < 0xDC00 || u > 0xDFFF;  // a surrogate pair counts once
    }));
}

template <typename Value>
void storeNumber(SQLPOINTER target, Value value) {
    if (target != nullptr) {
        std::memcpy(target, &value, sizeof value);
    }
}

struct DefaultCTypeRow {
    SQLSMALLINT sqlType;
    SQLSMALLINT cType;
};

constexpr DefaultCTypeRow kDefaultCTypes[] = {
    {SQL_WCHAR, SQL_C_WCHAR},          {SQL_WVARCHAR, SQL_C_WCHAR},
    {SQL_WLONGVARCHAR, SQL_C_WCHAR},   {SQL_BIT, SQL_C_BIT},
    {SQL_TINYINT, SQL_C_STINYINT},     {SQL_BIGINT, SQL_C_SBIGINT},
    {SQL_BINARY, SQL_C_BINARY},        {SQL_VARBINARY, SQL_C_BINARY},
    {SQL_LONGVARBINARY, SQL_C_BINARY}, {SQL_CHAR, SQL_C_CHAR},
    {SQL_VARCHAR, SQL_C_CHAR},         {SQL_LONGVARCHAR, SQL_C_CHAR},
    {SQL_NUMERIC, SQL_C_CHAR},         {SQL_DECIMAL, SQL_C_CHAR},
    {SQL_INTEGER, SQL_C_SLONG},        {SQL_SMALLINT, SQL_C_SSHORT},
    {SQL_FLOAT, SQL_C_DOUBLE},         {SQL_DOUBLE, SQL_C_DOUBLE},
    {SQL_REAL, SQL_C_FLOAT},           {SQL_TYPE_DATE, SQL_C_TYPE_DATE},
    {SQL_TYPE_TIME, SQL_C_TYPE_TIME},  {SQL_TYPE_TIMESTAMP, SQL_C_TYPE_TIMESTAMP},
};

}  // namespace

Connection::Connection(Environment* environment)
    : environment_(environment),
      diagnostics_(environment),
      languageEncoding_(getPreferredLanguageEncoding()) {
    environment_->addConnection(this);
    try {
        wideParameter16Bits_ = hostSendsWideParameter16Bits(environment_->hostAppName(),
                                                            environment_->hostAppVersion());
        if (isTracing()) {
            writeBanner();
        }
    } catch (...) {
        // No destructor runs for a half-built object: unregister here.
        environment_->removeConnection(this);
        throw;
    }
}

Connection::~Connection() {
    environment_->removeConnection(this);
}

bool Connection::hostSendsWideParameter16Bits(std::string_view hostAppName,
                                              std::string_view hostAppVersion) {
    if (hostAppName.substr(0, 5) != "Excel") {
        return false;
    }
    int major = 0;
    int minor = 0;
    int patch = 0;
    scanVersion(hostAppVersion, major, minor, patch);
    return major >= 17 || (major == 16 && minor >= 9);
}

void Connection::writeTrace(std::string_view text) const {
    environment_->writeTrace(text);
}

void Connection::writeBanner() {
    const std::string name = environment_->hostAppName();
    const std::string version = environment_->hostAppVersion();
    std::string appId;
    getHostBundleIdentifier(appId);
    std::string os;
    getOsVersionString(os);
    std::string architecture;
    getArchitecture(architecture);
    const bool sandboxed = getSandboxContainerId();

    std::string text;
    text += "// App: " + name + " " + version + "\n";
    text += "// App ID: " + appId + "\n";
    text += "// OS: " + os + " (" + architecture + ") \n";
    text += "// Driver: " + Connection::infoDriverVer() + "\n";
    text += std::string("// Is sandboxed: ") + (sandboxed ? "1" : "0") + "\n";
    text +=
        std::string("// Is wide parameter 16 bits: ") + (wideParameter16Bits_ ? "1" : "0") + "\n";
    writeTrace(text);
}

void Connection::setQueryLog(SQLINTEGER thresholdMs, const std::string& path) {
    queryLogOn_ = true;
    queryLogTime_ = thresholdMs;
    queryLogFile_ = path;
}

bool Connection::isQueryLogOn() const {
    return queryLogOn_;
}

std::int64_t Connection::queryLogTime() const {
    return queryLogTime_;
}

void Connection::writeQueryLog(std::int64_t elapsedMs, const std::string& sql) {
    if (queryLogFile_.empty()) {
        return;
    }
    std::string line = traceTimestamp();
    line += '\t';
    line += std::to_string(elapsedMs);
    line += '\t';
    line += sql;
    line += '\n';
    appendLine(queryLogFile_, line);
}

void Connection::writeErrorLog(const std::string& message) {
    const std::string bundle = environment_->bundleIdentifier();
    if (bundle.find('/') != std::string::npos) {
        return;  // the name must stay a single file under /tmp
    }
    const auto thread = static_cast<std::uint64_t>(
        reinterpret_cast<std::uintptr_t>(reinterpret_cast<void*>(pthread_self())));
    const std::string path = "/tmp/" + bundle + "_error.0x" + hex(thread) + ".log";
    appendLine(path, traceTimestamp() + " " + message + "\n");
}

SQLRETURN Connection::connect(const SQLCHAR* server, SQLSMALLINT serverLength, const SQLCHAR* user,
                              SQLSMALLINT userLength, const SQLCHAR* authentication,
                              SQLSMALLINT authenticationLength) {
    return connectStrings(makeSqlString(server, serverLength), makeSqlString(user, userLength),
                          makeSqlString(authentication, authenticationLength));
}

void Connection::postState(const char* state) {
    diagnostics_.prependRecord(state, 0, "", -1, -1);
}

bool Connection::outputNts() const {
    return environment_->getAttrOutputNts() != 0;
}

SQLRETURN Connection::setConnectAttr(SQLINTEGER attribute, SQLPOINTER value,
                                     SQLINTEGER stringLength) {
    diagnostics_.clear();
    const auto whole = reinterpret_cast<SQLULEN>(value);
    const auto number = static_cast<SQLUINTEGER>(whole);
    switch (attribute) {
        case SQL_ATTR_ACCESS_MODE:
            return setAttrAccessMode(number);
        case SQL_ATTR_ASYNC_ENABLE:
            return setAttrAsyncEnable(number);
        case SQL_ATTR_AUTOCOMMIT:
            return setAttrAutocommit(number);
        case SQL_ATTR_CONNECTION_TIMEOUT:
            return setAttrConnectionTimeout(number);
        case SQL_ATTR_LOGIN_TIMEOUT:
            return setAttrLoginTimeout(number);
        case SQL_ATTR_METADATA_ID:
            return setAttrMetadataId(number);
        case SQL_ATTR_PACKET_SIZE:
            return setAttrPacketSize(number);
        case SQL_ATTR_QUIET_MODE:
            return setAttrQuietMode(whole);
        case SQL_ATTR_TRANSLATE_OPTION:
            return setAttrTranslateOption(number);
        case SQL_ATTR_TXN_ISOLATION:
            return setAttrTxnIsolation(number);
        case kCoptSsMarsEnabled:
            return setAttrMarsEnabled(number);
        case SQL_ATTR_CURRENT_CATALOG:
        case SQL_ATTR_TRACEFILE:
        case SQL_ATTR_TRANSLATE_LIB:
            return setStringAttr(attribute, value, stringLength);
        case kAttrWideApi:
            setWideApi(number == 1);
            setUnicodeTextTypes(number == 1);
            return SQL_SUCCESS;
        default:
            // SQL_ATTR_TRACE, SQL_ATTR_ODBC_CURSORS, the read-only ones and
            // unknown attributes are accepted without effect.
            return SQL_SUCCESS;
    }
}

SQLRETURN Connection::setStringAttr(SQLINTEGER attribute, SQLPOINTER value,
                                    SQLINTEGER stringLength) {
    if (value == nullptr) {
        postState("HY009");
        return SQL_ERROR;
    }
    // The text need not end in a NUL when the length says where it ends.
    const std::string text = makeSqlString(static_cast<const char*>(value), stringLength);
    switch (attribute) {
        case SQL_ATTR_CURRENT_CATALOG:
            return setAttrCurrentCatalog(text);
        case SQL_ATTR_TRACEFILE:
            return setAttrTracefile(text);
        default:
            return setAttrTranslateLib(text);
    }
}

SQLRETURN Connection::getConnectAttr(SQLINTEGER attribute, SQLPOINTER value,
                                     SQLINTEGER bufferLength, SQLINTEGER* stringLength) {
    diagnostics_.clear();
    SQLINTEGER length = 0;
    switch (attribute) {
        case SQL_ATTR_ACCESS_MODE:
            storeNumber(value, getAttrAccessMode());
            break;
        case SQL_ATTR_ASYNC_ENABLE:
            storeNumber(value, getAttrAsyncEnable());
            break;
        case SQL_ATTR_AUTOCOMMIT:
            storeNumber(value, getAttrAutocommit());
            break;
        case SQL_ATTR_CONNECTION_TIMEOUT:
            storeNumber(value, getAttrConnectionTimeout());
            break;
        case SQL_ATTR_LOGIN_TIMEOUT:
            storeNumber(value, getAttrLoginTimeout());
            break;
        case SQL_ATTR_METADATA_ID:
            storeNumber(value, getAttrMetadataId());
            break;
        case SQL_ATTR_PACKET_SIZE:
            storeNumber(value, getAttrPacketSize());
            break;
        case SQL_ATTR_TRANSLATE_OPTION:
            storeNumber(value, getAttrTranslateOption());
            break;
        case SQL_ATTR_TXN_ISOLATION:
            storeNumber(value, getAttrTxnIsolation());
            break;
        case kCoptSsMarsEnabled:
            storeNumber(value, getAttrMarsEnabled());
            break;
        case SQL_ATTR_QUIET_MODE:
            storeNumber(value, getAttrQuietMode());
            break;
        case SQL_ATTR_CONNECTION_DEAD:
            storeNumber(value, getAttrConnectionDead());
            break;
        case SQL_ATTR_AUTO_IPD:
            storeNumber(value, getAttrAutoIpd());
            break;
        case kAttrWideApi:
            storeNumber(value, static_cast<SQLUINTEGER>(isWideApi() ? 1 : 0));
            break;
        case SQL_ATTR_CURRENT_CATALOG:
            getTextAttr(getAttrCurrentCatalog(), value, bufferLength, &length);
            break;
        case SQL_ATTR_TRACEFILE:
            getTextAttr(getAttrTracefile(), value, bufferLength, &length);
            break;
        case SQL_ATTR_TRANSLATE_LIB:
            getTextAttr(getAttrTranslateLib(), value, bufferLength, &length);
            break;
        default:
            break;
    }
    if (stringLength != nullptr) {
        *stringLength = length;
    }
    return diagnostics_.isEmpty() ? SQL_SUCCESS : SQL_ERROR;
}

void Connection::getTextAttr(const std::string& text, SQLPOINTER value, SQLINTEGER bufferLength,
                             SQLINTEGER* length) {
    if (!isWideApi()) {
        copyStringOut(value, length, text, bufferLength, outputNts());
        return;
    }
    if (value != nullptr && bufferLength > 0) {
        utf8ToWide(text, value, bufferLength);
    }
    // The length is in bytes of the whole text: four per wide character.
    const std::size_t units = wideUnitCount(text);
    constexpr auto most =
        static_cast<std::size_t>(std::numeric_limits<SQLINTEGER>::max() / kWideCharBytes);
    *length = static_cast<SQLINTEGER>(std::min(units, most) * sizeof(SQLWCHAR));
}

SQLRETURN Connection::getDiagRec(SQLSMALLINT recNumber, SQLCHAR* state, SQLINTEGER* native,
                                 SQLCHAR* message, SQLSMALLINT bufferLength,
                                 SQLSMALLINT* textLength) {
    return diagnostics_.getDiagRecWithComponent(dbmsName(), recNumber, state, native, message,
                                                bufferLength, textLength);
}

SQLRETURN Connection::getDiagField(SQLSMALLINT recNumber, SQLSMALLINT identifier, SQLPOINTER value,
                                   SQLSMALLINT bufferLength, SQLSMALLINT* stringLength) {
    if (identifier == SQL_DIAG_CONNECTION_NAME || identifier == SQL_DIAG_SERVER_NAME) {
        copyStringOutShort(value, stringLength, infoDataSourceName(), bufferLength, outputNts());
        return SQL_SUCCESS;
    }
    return diagnostics_.getDiagField(recNumber, identifier, value, bufferLength, stringLength);
}

SQLRETURN Connection::error(SQLCHAR* state, SQLINTEGER* native, SQLCHAR* message,
                            SQLSMALLINT bufferLength, SQLSMALLINT* textLength) {
    const SQLRETURN rc = diagnostics_.getDiagRecWithComponent(dbmsName(), 1, state, native, message,
                                                              bufferLength, textLength);
    if (rc == SQL_SUCCESS) {
        diagnostics_.removeRecord(1);
    }
    return rc;
}

SQLRETURN Connection::nativeSql(const SQLCHAR* text, SQLINTEGER length, SQLCHAR* out,
                                SQLINTEGER bufferLength, SQLINTEGER* outLength) {
    diagnostics_.clear();
    const std::string rewritten = rewriteSql(makeSqlString(text, length));
    if (copyStringOut(out, outLength, rewritten, bufferLength, outputNts()) != 0 &&
        out != nullptr) {
        // A warning without a record would leave the application guessing.
        postState("01004");
        return SQL_SUCCESS_WITH_INFO;
    }
    return SQL_SUCCESS;
}

std::string Connection::rewriteSql(const std::string& text) {
    return text;
}

SQLRETURN Connection::endTran(SQLSMALLINT /*completionType*/) {
    return SQL_SUCCESS;
}

DiagnosticHeader& Connection::diagnostics() {
    return diagnostics_;
}

bool Connection::isConnected() const {
    return connected_;
}

void Connection::setConnected(bool connected) {
    connected_ = connected;
}

bool Connection::isInTransaction() const {
    return false;
}

SQLRETURN Connection::prepareAutocommitChange() {
    return SQL_SUCCESS;
}

SQLSMALLINT Connection::defaultCType(SQLSMALLINT sqlType) const {
    for (const DefaultCTypeRow& row : kDefaultCTypes) {
        if (row.sqlType == sqlType) {
            return row.cType;
        }
    }
    return sqlType;
}

bool Connection::isWideApi() const {
    return wideApi_;
}

void Connection::setWideApi(bool wide) {
    wideApi_ = wide;
}

void Connection::setSendEncoding(const std::string& name) {
    setSendEncodingId(encodingFromName(name));
    if (isTracing()) {
        writeTrace("// sendEncoding: " + name + " (0x" + hex(sendEncoding_) + ")\n");
    }
}

void Connection::setReceiveEncoding(const std::string& name) {
    setReceiveEncodingId(encodingFromName(name));
    if (isTracing()) {
        writeTrace("// receiveEncoding: " + name + " (0x" + hex(receiveEncoding_) + ")\n");
    }
}

void Connection::setDatabaseEncoding(const std::string& name) {
    databaseEncoding_ = encodingFromName(name);
}

void Connection::setUnicodeTextTypes(bool unicode) {
    unicodeTextTypes_ = unicode;
}

void Connection::setSendEncodingId(std::uint32_t encoding) {
    sendEncoding_ = encoding;
}

void Connection::setReceiveEncodingId(std::uint32_t encoding) {
    receiveEncoding_ = encoding;
}

std::uint32_t Connection::databaseEncoding() const {
    return databaseEncoding_;
}

std::uint32_t Connection::sendEncoding() const {
    return sendEncoding_;
}

std::uint32_t Connection::receiveEncoding() const {
    return receiveEncoding_;
}

bool Connection::isUnicodeTextTypes() const {
    return unicodeTextTypes_;
}

bool Connection::avoidServerCursors() const {
    return true;
}

bool Connection::tolerateCloseWithoutCursor() const {
    return false;
}

std::string Connection::dbmsName() {
    return infoDbmsName();
}

bool Connection::isWideParameter16Bits() const {
    return wideParameter16Bits_;
}

void Connection::setWideParameter16Bits(bool sixteenBits) {
    wideParameter16Bits_ = sixteenBits;
}

SQLRETURN Connection::setAttrAccessMode(SQLUINTEGER value) {
    accessMode_ = value;
    return SQL_SUCCESS;
}

SQLRETURN Connection::setAttrAsyncEnable(SQLUINTEGER value) {
    if (value == SQL_ASYNC_ENABLE_ON) {
        if (infoAsyncMode() == SQL_AM_NONE) {
            postState("HYC00");
            return SQL_ERROR;
        }
        asyncEnable_ = value;
    } else if (value == SQL_ASYNC_ENABLE_OFF) {
        asyncEnable_ = value;
    }
    return SQL_SUCCESS;
}

SQLRETURN Connection::setAttrAutocommit(SQLUINTEGER value) {
    if (value == SQL_AUTOCOMMIT_ON && infoTxnCapable() == SQL_TC_NONE) {
        postState("HYC00");
        return SQL_ERROR;
    }
    const SQLRETURN rc = prepareAutocommitChange();
    if (SQL_SUCCEEDED(rc)) {
        autocommit_ = value;
    }
    return rc;
}

namespace {

// Clips a value against an upper limit (0 = none); true when it was cut.
bool clipToMax(SQLUINTEGER& value, SQLUINTEGER limit) {
    if (limit != 0 && value > limit) {
        value = limit;
        return true;
    }
    return false;
}

}  // namespace

SQLRETURN Connection::setAttrConnectionTimeout(SQLUINTEGER value) {
    const bool clipped = clipToMax(value, connectionTimeoutMax());
    connectionTimeout_ = value;
    if (clipped) {
        postState("01S02");
        return SQL_SUCCESS_WITH_INFO;
    }
    return SQL_SUCCESS;
}

SQLRETURN Connection::setAttrCurrentCatalog(const std::string& value) {
    databaseName_ = value;
    return SQL_SUCCESS;
}

SQLRETURN Connection::setAttrLoginTimeout(SQLUINTEGER value) {
    const bool clipped = clipToMax(value, loginTimeoutMax());
    loginTimeout_ = value;
    if (clipped) {
        postState("01S02");
        return SQL_SUCCESS_WITH_INFO;
    }
    return SQL_SUCCESS;
}

SQLRETURN Connection::setAttrMetadataId(SQLUINTEGER value) {
    metadataId_ = value;
    return SQL_SUCCESS;
}

SQLRETURN Connection::setAttrPacketSize(SQLUINTEGER value) {
    if (isConnected()) {
        postState("HY011");
        return SQL_ERROR;
    }
    bool clipped = false;
    if (value != 0) {
        const SQLUINTEGER low = packetSizeMin();
        if (low != 0 && value < low) {
            value = low;
            clipped = true;
        } else {
            clipped = clipToMax(value, packetSizeMax());
        }
    }
    packetSize_ = value;
    if (clipped) {
        postState("01S02");
        return SQL_SUCCESS_WITH_INFO;
    }
    return SQL_SUCCESS;
}

SQLRETURN Connection::setAttrQuietMode(SQLULEN value) {
    quietMode_ = value;
    return SQL_SUCCESS;
}

SQLRETURN Connection::setAttrTracefile(const std::string& value) {
    tracefile_ = value;
    return SQL_SUCCESS;
}

SQLRETURN Connection::setAttrTranslateLib(const std::string& value) {
    if (!isConnected()) {
        postState("HY011");
        return SQL_ERROR;
    }
    translateLib_ = value;
    return SQL_SUCCESS;
}

SQLRETURN Connection::setAttrTranslateOption(SQLUINTEGER value) {
    if (!isConnected()) {
        postState("HY011");
        return SQL_ERROR;
    }
    translateOption_ = value;
    return SQL_SUCCESS;
}

SQLRETURN Connection::setAttrTxnIsolation(SQLUINTEGER value) {
    if (isInTransaction()) {
        postState("HY011");
        return SQL_ERROR;
    }
    txnIsolation_ = value;
    return SQL_SUCCESS;
}

SQLRETURN Connection::setAttrMarsEnabled(SQLUINTEGER value) {
    marsEnabled_ = value;
    return SQL_SUCCESS;
}

SQLUINTEGER Connection::getAttrAccessMode() const {
    return accessMode_;
}

SQLUINTEGER Connection::getAttrAsyncEnable() const {
    return asyncEnable_;
}

SQLUINTEGER Connection::getAttrAutoIpd() const {
    return SQL_TRUE;
}

SQLUINTEGER Connection::getAttrAutocommit() const {
    return autocommit_;
}

SQLUINTEGER Connection::getAttrConnectionDead() const {
    return isConnected() ? SQL_CD_FALSE : SQL_CD_TRUE;
}

SQLUINTEGER Connection::getAttrConnectionTimeout() const {
    return connectionTimeout_;
}

std::string Connection::getAttrCurrentCatalog() const {
    return databaseName_;
}

SQLUINTEGER Connection::getAttrLoginTimeout() const {
    return loginTimeout_;
}

SQLUINTEGER Connection::getAttrMetadataId() const {
    return metadataId_;
}

SQLUINTEGER Connection::getAttrPacketSize() const {
    return packetSize_;
}

SQLULEN Connection::getAttrQuietMode() const {
    return quietMode_;
}

std::string Connection::getAttrTracefile() const {
    return tracefile_;
}

std::string Connection::getAttrTranslateLib() const {
    return translateLib_;
}

SQLUINTEGER Connection::getAttrTranslateOption() const {
    return translateOption_;
}

SQLUINTEGER Connection::getAttrTxnIsolation() const {
    return txnIsolation_;
}

SQLUINTEGER Connection::getAttrMarsEnabled() const {
    return marsEnabled_;
}
