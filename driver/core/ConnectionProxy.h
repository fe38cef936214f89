#pragma once

#include <sql.h>
#include <sqlext.h>

#include <cstddef>
#include <memory>
#include <vector>
#include <string>
#include <string_view>

#include "driver/core/DiagnosticHeader.h"

class Connection;
class Descriptor;
class Environment;
class Statement;

// The object behind a connection handle. It lives from SQLAllocHandle to
// SQLFreeHandle, long before the data source is known: until the first
// connect it keeps the attributes the application sets and answers the few
// requests that need no connection; at connect it takes the new Connection,
// replays the stored attributes onto it and from then on forwards every
// request to it.
class ConnectionProxy {
  public:
    // Attribute values set before connecting, replayed at connect.
    struct StoredAttributes {
        SQLUINTEGER accessMode = SQL_MODE_READ_WRITE;
        SQLUINTEGER asyncEnable = SQL_ASYNC_ENABLE_OFF;
        SQLUINTEGER autocommit = SQL_AUTOCOMMIT_ON;
        SQLUINTEGER connectionTimeout = 0;
        std::string currentCatalog;
        SQLUINTEGER loginTimeout = 0;
        SQLUINTEGER metadataId = SQL_FALSE;
        SQLUINTEGER packetSize = 0;
        SQLULEN quietMode = 0;
        std::string tracefile;
        SQLUINTEGER txnIsolation = SQL_TXN_READ_COMMITTED;
        SQLUINTEGER marsEnabled = 0;
        bool wideApi = false;
        bool unicodeTextTypes = false;
    };

    // The environment must outlive the handle.
    explicit ConnectionProxy(Environment* environment);
    // Deletes the attached connection.
    virtual ~ConnectionProxy();

    ConnectionProxy(const ConnectionProxy&) = delete;
    ConnectionProxy& operator=(const ConnectionProxy&) = delete;

    // Connection handles that exist under `environment`: an environment
    // must not go while it still has some.
    static std::size_t handleCount(const Environment* environment);

    bool isTracing() const;
    void writeTrace(std::string_view text) const;
    Environment* environment() const { return environment_; }
    Connection* connection() const { return connection_.get(); }
    const StoredAttributes& storedAttributes() const { return stored_; }
    // The attached connection's diagnostics, else the handle's own.
    DiagnosticHeader& diagnostics();

    bool isWideApi() const;
    void setWideApi(bool wide);
    bool isUnicodeTextTypes() const;
    void setUnicodeTextTypes(bool unicode);

    // New handles from the attached connection; null before a connect.
    virtual Statement* createStatement();
    virtual Descriptor* createDescriptor();

    // Retires any earlier connection (deleted at once unless handles made
    // on it still exist), attaches this one and replays the stored
    // attributes onto it (their results are the connection's diagnostics,
    // never the caller's).
    void setConnection(std::unique_ptr<Connection> connection);

    SQLRETURN connect(const SQLCHAR* server, SQLSMALLINT serverLength, const SQLCHAR* user,
                      SQLSMALLINT userLength, const SQLCHAR* authentication,
                      SQLSMALLINT authenticationLength);
    SQLRETURN driverConnect(SQLHWND window, const SQLCHAR* connectionText,
                            SQLSMALLINT connectionTextLength, SQLCHAR* outText,
                            SQLSMALLINT outBufferLength, SQLSMALLINT* outLength,
                            SQLUSMALLINT completion);
    SQLRETURN disconnect();

    SQLRETURN getDiagRec(SQLSMALLINT recNumber, SQLCHAR* state, SQLINTEGER* native,
                         SQLCHAR* message, SQLSMALLINT bufferLength, SQLSMALLINT* textLength);
    SQLRETURN getDiagField(SQLSMALLINT recNumber, SQLSMALLINT identifier, SQLPOINTER value,
                           SQLSMALLINT bufferLength, SQLSMALLINT* stringLength);
    // SQLError: record 1, which is then removed.
    SQLRETURN error(SQLCHAR* state, SQLINTEGER* native, SQLCHAR* message, SQLSMALLINT bufferLength,
                    SQLSMALLINT* textLength);
    SQLRETURN getFunctions(SQLUSMALLINT functionId, SQLUSMALLINT* supported);
    SQLRETURN nativeSql(const SQLCHAR* text, SQLINTEGER length, SQLCHAR* out,
                        SQLINTEGER bufferLength, SQLINTEGER* outLength);
    SQLRETURN endTran(SQLSMALLINT completionType);

    // Text values are narrow (UTF-8) with their StringLength in bytes or
    // SQL_NTS.
    SQLRETURN setConnectAttr(SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER stringLength);
    // The same with text values in wide characters (StringLength in bytes
    // or SQL_NTS); they reach the connection as UTF-8.
    SQLRETURN setConnectAttrW(SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER stringLength);
    SQLRETURN getConnectAttr(SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER bufferLength,
                             SQLINTEGER* stringLength);
    // The same with text answered in wide characters: BufferLength and the
    // returned length count bytes.
    SQLRETURN getConnectAttrW(SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER bufferLength,
                              SQLINTEGER* stringLength);
    SQLRETURN getInfo(SQLUSMALLINT infoType, SQLPOINTER value, SQLSMALLINT bufferLength,
                      SQLSMALLINT* stringLength);
    SQLSMALLINT getInfoValueType(SQLUSMALLINT infoType);

  private:
    SQLRETURN refuse(const char* state);
    SQLRETURN storeAttribute(SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER stringLength);
    SQLRETURN readAttribute(SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER bufferLength,
                            SQLINTEGER* stringLength);
    const std::string* storedText(SQLINTEGER attribute) const;
    void replayAttributes();
    bool outputNts() const;

    // Earlier connection objects whose statements or descriptors the
    // application has not freed yet.
    void retireConnection();

    Environment* environment_;
    std::unique_ptr<Connection> connection_;
    std::vector<std::unique_ptr<Connection>> retired_;
    DiagnosticHeader diagnostics_;
    StoredAttributes stored_;
};
