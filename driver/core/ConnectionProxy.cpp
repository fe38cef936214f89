#include "driver/core/ConnectionProxy.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "driver/api/TraceNameTables.h"
#include "driver/core/Connection.h"
#include "driver/core/EnvironmentFactory.h"
#include "driver/core/Environment.h"
#include "driver/core/PlatformUtil.h"
#include "driver/core/StringOutput.h"
#include "driver/core/TextEncoding.h"

namespace {

using Stored = ConnectionProxy::StoredAttributes;

// The 32-bit attributes kept before connecting, each with its field.
struct NumberAttribute {
    SQLINTEGER attribute;
    SQLUINTEGER Stored::*field;
};

constexpr NumberAttribute kNumberAttributes[] = {
    {SQL_ATTR_ACCESS_MODE, &Stored::accessMode},
    {SQL_ATTR_ASYNC_ENABLE, &Stored::asyncEnable},
    {SQL_ATTR_AUTOCOMMIT, &Stored::autocommit},
    {SQL_ATTR_CONNECTION_TIMEOUT, &Stored::connectionTimeout},
    {SQL_ATTR_LOGIN_TIMEOUT, &Stored::loginTimeout},
    {SQL_ATTR_METADATA_ID, &Stored::metadataId},
    {SQL_ATTR_PACKET_SIZE, &Stored::packetSize},
    {SQL_ATTR_TXN_ISOLATION, &Stored::txnIsolation},
    {kCoptSsMarsEnabled, &Stored::marsEnabled},
};

const NumberAttribute* findNumberAttribute(SQLINTEGER attribute) {
    for (const NumberAttribute& row : kNumberAttributes) {
        if (row.attribute == attribute) {
            return &row;
        }
    }
    return nullptr;
}

bool isTextAttribute(SQLINTEGER attribute) {
    return attribute == SQL_ATTR_CURRENT_CATALOG || attribute == SQL_ATTR_TRACEFILE ||
           attribute == SQL_ATTR_TRANSLATE_LIB;
}

template <typename Value>
void storeValue(SQLPOINTER target, Value value) {
    if (target != nullptr) {
        std::memcpy(target, &value, sizeof value);
    }
}

// Connection handles per environment, so that an environment is not freed
// under its connection handles.
class HandleRegistry {
  public:
    void add(const Environment* environment) {
        std::lock_guard lock(mutex_);
        ++counts_[environment];
    }
    void remove(const Environment* environment) {
        std::lock_guard lock(mutex_);
        auto found = counts_.find(environment);
        if (found != counts_.end() && --found->second == 0) {
            counts_.erase(found);
        }
    }
    std::size_t count(const Environment* environment) {
        std::lock_guard lock(mutex_);
        auto found = counts_.find(environment);
        return found == counts_.end() ? 0 : found->second;
    }

  private:
    std::mutex mutex_;
    std::unordered_map<const Environment*, std::size_t> counts_;
};

HandleRegistry& handleRegistry() {
    // Never destroyed: handles may still go during process exit.
    static auto* registry = new HandleRegistry;
    return *registry;
}

// Characters of UTF-8 text as 32-bit wide units; text that is not valid
// UTF-8 counts one per byte, as it is then copied raw.
std::size_t wideCharacterCount(std::string_view text) {
    const std::optional<std::u16string> decoded =
        TextCodec::forEncoding(kEncodingUtf8)->decode(text);
    if (!decoded) {
        return text.size();
    }
    return static_cast<std::size_t>(std::count_if(decoded->begin(), decoded->end(), [](char16_t u) {
        return u < 0xDC00 || u > 0xDFFF;  // a surrogate pair is one character
    }));
}

// Text into a wide buffer of `bufferLength` bytes; the length is in bytes
// of the whole text.
void copyWideOut(const std::string& text, SQLPOINTER value, SQLINTEGER bufferLength,
                 SQLINTEGER* stringLength) {
    if (value != nullptr && bufferLength > 0) {
        utf8ToWide(text, value, bufferLength);
    }
    if (stringLength != nullptr) {
        constexpr auto most =
            static_cast<std::size_t>(std::numeric_limits<SQLINTEGER>::max() / sizeof(SQLWCHAR));
        *stringLength =
            static_cast<SQLINTEGER>(std::min(wideCharacterCount(text), most) * sizeof(SQLWCHAR));
    }
}

}  // namespace

ConnectionProxy::ConnectionProxy(Environment* environment)
    : environment_(environment), diagnostics_(environment) {
    handleRegistry().add(environment_);
}

ConnectionProxy::~ConnectionProxy() {
    connection_.reset();
    handleRegistry().remove(environment_);
}

std::size_t ConnectionProxy::handleCount(const Environment* environment) {
    return handleRegistry().count(environment);
}

bool ConnectionProxy::isTracing() const {
    return environment_->isTracing();
}

void ConnectionProxy::writeTrace(std::string_view text) const {
    environment_->writeTrace(text);
}

DiagnosticHeader& ConnectionProxy::diagnostics() {
    return connection_ ? connection_->diagnostics() : diagnostics_;
}

bool ConnectionProxy::isWideApi() const {
    return connection_ ? connection_->isWideApi() : stored_.wideApi;
}

void ConnectionProxy::setWideApi(bool wide) {
    if (connection_) {
        connection_->setWideApi(wide);
    } else {
        stored_.wideApi = wide;
    }
}

bool ConnectionProxy::isUnicodeTextTypes() const {
    return connection_ ? connection_->isUnicodeTextTypes() : stored_.unicodeTextTypes;
}

void ConnectionProxy::setUnicodeTextTypes(bool unicode) {
    if (connection_) {
        connection_->setUnicodeTextTypes(unicode);
    } else {
        stored_.unicodeTextTypes = unicode;
    }
}

Statement* ConnectionProxy::createStatement() {
    return connection_ ? connection_->createStatement() : nullptr;
}

Descriptor* ConnectionProxy::createDescriptor() {
    return connection_ ? connection_->createDescriptor() : nullptr;
}

void ConnectionProxy::setConnection(std::unique_ptr<Connection> connection) {
    retireConnection();
    connection_ = std::move(connection);
    if (connection_) {
        replayAttributes();
    }
}

void ConnectionProxy::retireConnection() {
    std::erase_if(retired_,
                  [](const std::unique_ptr<Connection>& old) { return old->liveHandles() == 0; });
    if (connection_ && connection_->liveHandles() > 0) {
        retired_.push_back(std::move(connection_));
    }
    connection_.reset();
}

// In this order; a refused value leaves its SQLSTATE on the connection and
// never stops the connect.
void ConnectionProxy::replayAttributes() {
    Connection& c = *connection_;
    c.setAttrAccessMode(stored_.accessMode);
    c.setAttrAsyncEnable(stored_.asyncEnable);
    c.setAttrAutocommit(stored_.autocommit);
    c.setAttrConnectionTimeout(stored_.connectionTimeout);
    c.setAttrCurrentCatalog(stored_.currentCatalog);
    c.setAttrLoginTimeout(stored_.loginTimeout);
    c.setAttrMetadataId(stored_.metadataId);
    c.setAttrPacketSize(stored_.packetSize);
    c.setAttrQuietMode(stored_.quietMode);
    c.setAttrTracefile(stored_.tracefile);
    c.setAttrTxnIsolation(stored_.txnIsolation);
    c.setAttrMarsEnabled(stored_.marsEnabled);
    c.setWideApi(stored_.wideApi);
    c.setUnicodeTextTypes(stored_.unicodeTextTypes);
}

SQLRETURN ConnectionProxy::refuse(const char* state) {
    diagnostics_.prependRecord(state, 0, "", -1, -1);
    return SQL_ERROR;
}

bool ConnectionProxy::outputNts() const {
    return environment_->getAttrOutputNts() != 0;
}

SQLRETURN ConnectionProxy::connect(const SQLCHAR* server, SQLSMALLINT serverLength,
                                   const SQLCHAR* user, SQLSMALLINT userLength,
                                   const SQLCHAR* authentication,
                                   SQLSMALLINT authenticationLength) {
    if (!connection_) {
        diagnostics_.clear();
        return refuse("08001");
    }
    return connection_->connect(server, serverLength, user, userLength, authentication,
                                authenticationLength);
}

SQLRETURN ConnectionProxy::driverConnect(SQLHWND window, const SQLCHAR* connectionText,
                                         SQLSMALLINT connectionTextLength, SQLCHAR* outText,
                                         SQLSMALLINT outBufferLength, SQLSMALLINT* outLength,
                                         SQLUSMALLINT completion) {
    if (!connection_) {
        diagnostics_.clear();
        return refuse("08001");
    }
    return connection_->driverConnect(window, connectionText, connectionTextLength, outText,
                                      outBufferLength, outLength, completion);
}

SQLRETURN ConnectionProxy::disconnect() {
    if (!connection_) {
        diagnostics_.clear();
        return refuse("08003");
    }
    connection_->diagnostics().clear();
    return connection_->disconnect();
}

SQLRETURN ConnectionProxy::getDiagRec(SQLSMALLINT recNumber, SQLCHAR* state, SQLINTEGER* native,
                                      SQLCHAR* message, SQLSMALLINT bufferLength,
                                      SQLSMALLINT* textLength) {
    if (connection_) {
        return connection_->getDiagRec(recNumber, state, native, message, bufferLength, textLength);
    }
    return diagnostics_.getDiagRec(recNumber, state, native, message, bufferLength, textLength);
}

SQLRETURN ConnectionProxy::getDiagField(SQLSMALLINT recNumber, SQLSMALLINT identifier,
                                        SQLPOINTER value, SQLSMALLINT bufferLength,
                                        SQLSMALLINT* stringLength) {
    if (connection_) {
        return connection_->getDiagField(recNumber, identifier, value, bufferLength, stringLength);
    }
    if (identifier == SQL_DIAG_CONNECTION_NAME || identifier == SQL_DIAG_SERVER_NAME) {
        copyStringOutShort(value, stringLength, "", bufferLength, outputNts());
        return SQL_SUCCESS;
    }
    return diagnostics_.getDiagField(recNumber, identifier, value, bufferLength, stringLength);
}

SQLRETURN ConnectionProxy::error(SQLCHAR* state, SQLINTEGER* native, SQLCHAR* message,
                                 SQLSMALLINT bufferLength, SQLSMALLINT* textLength) {
    if (connection_) {
        return connection_->error(state, native, message, bufferLength, textLength);
    }
    const SQLRETURN rc =
        diagnostics_.getDiagRec(1, state, native, message, bufferLength, textLength);
    if (rc == SQL_SUCCESS) {
        // Only the record returned goes; the next SQLError sees the next one.
        diagnostics_.removeRecord(1);
    }
    return rc;
}

SQLRETURN ConnectionProxy::getFunctions(SQLUSMALLINT functionId, SQLUSMALLINT* supported) {
    if (!connection_) {
        diagnostics_.clear();
        return refuse("HY010");
    }
    connection_->diagnostics().clear();
    return connection_->getFunctions(functionId, supported);
}

SQLRETURN ConnectionProxy::nativeSql(const SQLCHAR* text, SQLINTEGER length, SQLCHAR* out,
                                     SQLINTEGER bufferLength, SQLINTEGER* outLength) {
    if (!connection_) {
        diagnostics_.clear();
        return refuse("HY010");
    }
    connection_->diagnostics().clear();
    return connection_->nativeSql(text, length, out, bufferLength, outLength);
}

SQLRETURN ConnectionProxy::endTran(SQLSMALLINT completionType) {
    if (!connection_) {
        diagnostics_.clear();
        return refuse("HY010");
    }
    connection_->diagnostics().clear();
    return connection_->endTran(completionType);
}

SQLRETURN ConnectionProxy::setConnectAttr(SQLINTEGER attribute, SQLPOINTER value,
                                          SQLINTEGER stringLength) {
    if (connection_) {
        connection_->diagnostics().clear();
        const SQLRETURN rc = connection_->setConnectAttr(attribute, value, stringLength);
        if (SQL_SUCCEEDED(rc)) {
            // A later connect makes a new connection and replays what is
            // stored: the value set now must be part of it.
            storeAttribute(attribute, value, stringLength);
            diagnostics_.clear();
        }
        return rc;
    }
    diagnostics_.clear();
    return storeAttribute(attribute, value, stringLength);
}

SQLRETURN ConnectionProxy::setConnectAttrW(SQLINTEGER attribute, SQLPOINTER value,
                                           SQLINTEGER stringLength) {
    if (!isTextAttribute(attribute) || value == nullptr) {
        return setConnectAttr(attribute, value, stringLength);
    }
    // A byte count of wide text, or SQL_NTS (any other negative length too).
    const std::int64_t units =
        stringLength >= 0 ? stringLength / static_cast<SQLINTEGER>(sizeof(SQLWCHAR)) : SQL_NTS;
    std::string text = wideToUtf8(static_cast<const SQLWCHAR*>(value), units);
    return setConnectAttr(attribute, text.data(), static_cast<SQLINTEGER>(text.size()));
}

SQLRETURN ConnectionProxy::storeAttribute(SQLINTEGER attribute, SQLPOINTER value,
                                          SQLINTEGER stringLength) {
    const auto whole = reinterpret_cast<SQLULEN>(value);
    if (const NumberAttribute* row = findNumberAttribute(attribute)) {
        stored_.*(row->field) = static_cast<SQLUINTEGER>(whole);
        return SQL_SUCCESS;
    }
    switch (attribute) {
        case SQL_ATTR_QUIET_MODE:
            stored_.quietMode = whole;
            return SQL_SUCCESS;
        case SQL_ATTR_CURRENT_CATALOG:
        case SQL_ATTR_TRACEFILE: {
            if (value == nullptr) {
                return refuse("HY009");
            }
            // The text need not end in a NUL when its length says where it ends.
            std::string text = makeSqlString(static_cast<const char*>(value), stringLength);
            (attribute == SQL_ATTR_CURRENT_CATALOG ? stored_.currentCatalog : stored_.tracefile) =
                std::move(text);
            return SQL_SUCCESS;
        }
        case kAttrWideApi:
            stored_.wideApi = stored_.unicodeTextTypes = static_cast<SQLUINTEGER>(whole) == 1;
            return SQL_SUCCESS;
        case kAttrIgnored:
            return SQL_SUCCESS;
        case SQL_ATTR_TRANSLATE_LIB:
        case SQL_ATTR_TRANSLATE_OPTION:
            return refuse("HY011");
        default:
            return refuse("HY092");
    }
}

SQLRETURN ConnectionProxy::getConnectAttr(SQLINTEGER attribute, SQLPOINTER value,
                                          SQLINTEGER bufferLength, SQLINTEGER* stringLength) {
    if (connection_) {
        connection_->diagnostics().clear();
        return connection_->getConnectAttr(attribute, value, bufferLength, stringLength);
    }
    diagnostics_.clear();
    if (const std::string* text = storedText(attribute)) {
        copyStringOut(value, stringLength, *text, bufferLength, outputNts());
        return SQL_SUCCESS;
    }
    return readAttribute(attribute, value, bufferLength, stringLength);
}

SQLRETURN ConnectionProxy::getConnectAttrW(SQLINTEGER attribute, SQLPOINTER value,
                                           SQLINTEGER bufferLength, SQLINTEGER* stringLength) {
    if (!isTextAttribute(attribute)) {
        return getConnectAttr(attribute, value, bufferLength, stringLength);
    }
    if (connection_) {
        connection_->diagnostics().clear();
        const std::string text =
            attribute == SQL_ATTR_CURRENT_CATALOG ? connection_->getAttrCurrentCatalog()
            : attribute == SQL_ATTR_TRACEFILE     ? connection_->getAttrTracefile()
                                                  : connection_->getAttrTranslateLib();
        copyWideOut(text, value, bufferLength, stringLength);
        return SQL_SUCCESS;
    }
    diagnostics_.clear();
    if (const std::string* text = storedText(attribute)) {
        copyWideOut(*text, value, bufferLength, stringLength);
        return SQL_SUCCESS;
    }
    return readAttribute(attribute, value, bufferLength, stringLength);
}

const std::string* ConnectionProxy::storedText(SQLINTEGER attribute) const {
    switch (attribute) {
        case SQL_ATTR_CURRENT_CATALOG:
            return &stored_.currentCatalog;
        case SQL_ATTR_TRACEFILE:
            return &stored_.tracefile;
        default:
            return nullptr;
    }
}

// The numbers a handle without a connection answers; integers are written
// as 32 bits and leave the length alone.
SQLRETURN ConnectionProxy::readAttribute(SQLINTEGER attribute, SQLPOINTER value,
                                         SQLINTEGER /*bufferLength*/,
                                         SQLINTEGER* /*stringLength*/) {
    if (const NumberAttribute* row = findNumberAttribute(attribute)) {
        storeValue(value, stored_.*(row->field));
        return SQL_SUCCESS;
    }
    switch (attribute) {
        case SQL_ATTR_QUIET_MODE:
            storeValue(value, stored_.quietMode);
            return SQL_SUCCESS;
        case SQL_ATTR_CONNECTION_DEAD:
            storeValue<SQLUINTEGER>(value, SQL_CD_TRUE);
            return SQL_SUCCESS;
        case SQL_ATTR_AUTO_IPD:
            storeValue<SQLUINTEGER>(value, SQL_TRUE);
            return SQL_SUCCESS;
        case kAttrWideApi:
            storeValue<SQLUINTEGER>(value, stored_.wideApi ? 1 : 0);
            return SQL_SUCCESS;
        case SQL_ATTR_TRANSLATE_LIB:
        case SQL_ATTR_TRANSLATE_OPTION:
            return refuse("HY011");
        default:
            return refuse("HY092");
    }
}

SQLRETURN ConnectionProxy::getInfo(SQLUSMALLINT infoType, SQLPOINTER value,
                                   SQLSMALLINT bufferLength, SQLSMALLINT* stringLength) {
    if (connection_) {
        return connection_->getInfo(infoType, value, bufferLength, stringLength);
    }
    // A stale record must not seem to explain this call's answer.
    diagnostics_.clear();
    std::string text;
    switch (infoType) {
        case SQL_DRIVER_ODBC_VER:
            text = driverOdbcVersion();
            break;
        case SQL_DRIVER_VER:
            text = getBundleVersion(environment_->bundleIdentifier().c_str());
            break;
        case SQL_DRIVER_NAME:
            text = environment_->driverFileName();
            break;
        default:
            if (stringLength != nullptr) {
                *stringLength = 0;
            }
            return SQL_ERROR;
    }
    SQLINTEGER length = 0;
    copyStringOut(value, &length, text, bufferLength, outputNts());
    if (stringLength != nullptr) {
        *stringLength = static_cast<SQLSMALLINT>(
            std::min<SQLINTEGER>(length, std::numeric_limits<SQLSMALLINT>::max()));
    }
    return SQL_SUCCESS;
}

SQLSMALLINT ConnectionProxy::getInfoValueType(SQLUSMALLINT infoType) {
    return connection_ ? connection_->getInfoValueType(infoType) : SQLSMALLINT{SQL_IS_POINTER};
}
