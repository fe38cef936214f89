#pragma once

#include <sql.h>
#include <sqlext.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "driver/core/DiagnosticHeader.h"
#include "driver/core/Environment.h"
#include "driver/core/InfoItems.h"
#include "platform/TextCodec.h"

class Statement;
class Descriptor;

// The base of every object that serves one connection to a data source:
// registration with the environment, the call-trace banner, the query and
// error logs, the connection attributes with their limits, diagnostics
// access, the text settings, and the SQLGetInfo / SQLGetFunctions answers
// with their defaults. Subclasses connect and disconnect, and override the
// hooks and information items in which their data source differs.
class Connection {
  public:
    // Registers with the environment, which must outlive the connection.
    explicit Connection(Environment* environment);
    // Unregisters from the environment.
    virtual ~Connection();

    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    Environment* environment() const { return environment_; }

    // Statements and explicit descriptors made on this connection that
    // still exist: they keep its address, so it must outlive them.
    void retainHandle() { ++liveHandles_; }
    void releaseHandle() { --liveHandles_; }
    int liveHandles() const { return liveHandles_.load(); }

    // Whether a host application sends 16-bit wide parameters: Excel from
    // version 16.9 on (the name's first five characters exactly "Excel").
    static bool hostSendsWideParameter16Bits(std::string_view hostAppName,
                                             std::string_view hostAppVersion);
    // The environment's call trace: whether it is on, and a way to write
    // text holding whole lines. Inline: asked on every forwarded call.
    bool isTracing() const { return environment_->isTracing(); }
    void writeTrace(std::string_view text) const;

    // Query log of long-running executions, and the per-thread error log.
    virtual void setQueryLog(SQLINTEGER thresholdMs, const std::string& path);
    virtual bool isQueryLogOn() const;
    virtual void writeQueryLog(std::int64_t elapsedMs, const std::string& sql);
    virtual std::int64_t queryLogTime() const;
    virtual void writeErrorLog(const std::string& message);

    // New handles bound to this connection; the caller owns them.
    virtual Statement* createStatement();
    virtual Descriptor* createDescriptor();

    virtual SQLRETURN connect(const SQLCHAR* server, SQLSMALLINT serverLength, const SQLCHAR* user,
                              SQLSMALLINT userLength, const SQLCHAR* authentication,
                              SQLSMALLINT authenticationLength);
    virtual SQLRETURN connectStrings(const std::string& server, const std::string& user,
                                     const std::string& authentication) = 0;
    virtual SQLRETURN driverConnect(SQLHWND window, const SQLCHAR* connectionText,
                                    SQLSMALLINT connectionTextLength, SQLCHAR* outText,
                                    SQLSMALLINT outBufferLength, SQLSMALLINT* outLength,
                                    SQLUSMALLINT completion) = 0;
    virtual SQLRETURN disconnect() = 0;

    virtual SQLRETURN setConnectAttr(SQLINTEGER attribute, SQLPOINTER value,
                                     SQLINTEGER stringLength);
    virtual SQLRETURN getConnectAttr(SQLINTEGER attribute, SQLPOINTER value,
                                     SQLINTEGER bufferLength, SQLINTEGER* stringLength);
    virtual SQLRETURN getInfo(SQLUSMALLINT infoType, SQLPOINTER value, SQLSMALLINT bufferLength,
                              SQLSMALLINT* stringLength);
    virtual SQLRETURN getDiagRec(SQLSMALLINT recNumber, SQLCHAR* state, SQLINTEGER* native,
                                 SQLCHAR* message, SQLSMALLINT bufferLength,
                                 SQLSMALLINT* textLength);
    virtual SQLRETURN getDiagField(SQLSMALLINT recNumber, SQLSMALLINT identifier, SQLPOINTER value,
                                   SQLSMALLINT bufferLength, SQLSMALLINT* stringLength);
    // SQLError: reads record 1 and removes it once it was returned.
    virtual SQLRETURN error(SQLCHAR* state, SQLINTEGER* native, SQLCHAR* message,
                            SQLSMALLINT bufferLength, SQLSMALLINT* textLength);
    virtual SQLRETURN getFunctions(SQLUSMALLINT functionId, SQLUSMALLINT* supported);
    virtual SQLRETURN nativeSql(const SQLCHAR* text, SQLINTEGER length, SQLCHAR* out,
                                SQLINTEGER bufferLength, SQLINTEGER* outLength);
    // Hook for driver-specific SQL syntax; the base keeps the text.
    virtual std::string rewriteSql(const std::string& text);
    virtual SQLRETURN endTran(SQLSMALLINT completionType);

    virtual DiagnosticHeader& diagnostics();
    virtual bool isConnected() const;
    virtual void setConnected(bool connected);
    virtual bool isInTransaction() const;
    // Asked before a new autocommit value is stored; a failure keeps the old one.
    virtual SQLRETURN prepareAutocommitChange();
    // The application type that SQL_C_DEFAULT stands for with an SQL type.
    virtual SQLSMALLINT defaultCType(SQLSMALLINT sqlType) const;

    virtual bool isWideApi() const;
    virtual void setWideApi(bool wide);
    // Encodings are CFStringEncoding numbers; names go through encodingFromName.
    virtual void setSendEncoding(const std::string& name);
    virtual void setReceiveEncoding(const std::string& name);
    virtual void setDatabaseEncoding(const std::string& name);
    virtual void setUnicodeTextTypes(bool unicode);
    virtual void setSendEncodingId(std::uint32_t encoding);
    virtual void setReceiveEncodingId(std::uint32_t encoding);
    virtual std::uint32_t databaseEncoding() const;
    virtual std::uint32_t sendEncoding() const;
    virtual std::uint32_t receiveEncoding() const;
    virtual bool isUnicodeTextTypes() const;
    // The encoding of the user's preferred language, read from the
    // environment once when the connection is made, not per statement.
    StringEncoding languageEncoding() const { return languageEncoding_; }

    virtual bool avoidServerCursors() const;
    virtual bool tolerateCloseWithoutCursor() const;
    // Component text of diagnostic messages.
    virtual std::string dbmsName();
    virtual bool isWideParameter16Bits() const;
    virtual void setWideParameter16Bits(bool sixteenBits);
    virtual int supportedFunctionCount() const;
    virtual SQLUSMALLINT supportedFunction(int index) const;

    virtual SQLRETURN setAttrAccessMode(SQLUINTEGER value);
    virtual SQLRETURN setAttrAsyncEnable(SQLUINTEGER value);
    virtual SQLRETURN setAttrAutocommit(SQLUINTEGER value);
    virtual SQLRETURN setAttrConnectionTimeout(SQLUINTEGER value);
    virtual SQLRETURN setAttrCurrentCatalog(const std::string& value);
    virtual SQLRETURN setAttrLoginTimeout(SQLUINTEGER value);
    virtual SQLRETURN setAttrMetadataId(SQLUINTEGER value);
    virtual SQLRETURN setAttrPacketSize(SQLUINTEGER value);
    virtual SQLRETURN setAttrQuietMode(SQLULEN value);
    virtual SQLRETURN setAttrTracefile(const std::string& value);
    virtual SQLRETURN setAttrTranslateLib(const std::string& value);
    virtual SQLRETURN setAttrTranslateOption(SQLUINTEGER value);
    virtual SQLRETURN setAttrTxnIsolation(SQLUINTEGER value);
    virtual SQLRETURN setAttrMarsEnabled(SQLUINTEGER value);

    virtual SQLUINTEGER getAttrAccessMode() const;
    virtual SQLUINTEGER getAttrAsyncEnable() const;
    virtual SQLUINTEGER getAttrAutoIpd() const;
    virtual SQLUINTEGER getAttrAutocommit() const;
    virtual SQLUINTEGER getAttrConnectionDead() const;
    virtual SQLUINTEGER getAttrConnectionTimeout() const;
    virtual std::string getAttrCurrentCatalog() const;
    virtual SQLUINTEGER getAttrLoginTimeout() const;
    virtual SQLUINTEGER getAttrMetadataId() const;
    virtual SQLUINTEGER getAttrPacketSize() const;
    virtual SQLULEN getAttrQuietMode() const;
    virtual std::string getAttrTracefile() const;
    virtual std::string getAttrTranslateLib() const;
    virtual SQLUINTEGER getAttrTranslateOption() const;
    virtual SQLUINTEGER getAttrTxnIsolation() const;
    virtual SQLUINTEGER getAttrMarsEnabled() const;

    // Kind of an item's value: SQL_IS_POINTER for text and for types
    // without an item, else the SQL_IS_ integer kind.
    virtual SQLSMALLINT getInfoValueType(SQLUSMALLINT infoType);

    // One operation per information item, each answering the base default.
#define MORVANEX_DECLARE_INFO(code, Name, shape, kind, value) \
    virtual InfoValue<InfoShape::shape> info##Name();
    MORVANEX_INFO_ITEMS(MORVANEX_DECLARE_INFO)
#undef MORVANEX_DECLARE_INFO

    // Limits for the attribute setters; 0 means no limit.
#define MORVANEX_DECLARE_LIMIT(name) virtual SQLUINTEGER name();
    MORVANEX_CONNECTION_LIMITS(MORVANEX_DECLARE_LIMIT)
#undef MORVANEX_DECLARE_LIMIT

  protected:
    // Posts a SQLSTATE in front with native 0, no message, column and row -1.
    void postState(const char* state);
    // The environment's SQL_ATTR_OUTPUT_NTS: whether copied texts end in a NUL.
    bool outputNts() const;

    Environment* environment_;
    DiagnosticHeader diagnostics_;
    std::string userName_;
    std::string dataSourceName_;
    std::string serverName_;
    std::string databaseName_;  // also the current catalog
    bool connected_ = false;
    bool queryLogOn_ = false;
    SQLINTEGER queryLogTime_ = 0;
    std::string queryLogFile_;
    SQLUINTEGER accessMode_ = SQL_MODE_READ_WRITE;
    SQLUINTEGER asyncEnable_ = SQL_ASYNC_ENABLE_OFF;
    SQLUINTEGER autocommit_ = SQL_AUTOCOMMIT_ON;
    SQLUINTEGER connectionTimeout_ = 0;
    SQLUINTEGER loginTimeout_ = 0;
    SQLUINTEGER metadataId_ = SQL_FALSE;
    SQLUINTEGER packetSize_ = 0;
    SQLULEN quietMode_ = 0;
    std::string tracefile_;
    std::string translateLib_;
    SQLUINTEGER translateOption_ = 0;
    SQLUINTEGER txnIsolation_ = SQL_TXN_READ_COMMITTED;
    SQLUINTEGER marsEnabled_ = 0;
    bool wideApi_ = false;
    bool unicodeTextTypes_ = false;
    std::uint32_t databaseEncoding_ = kEncodingUtf8;
    std::uint32_t sendEncoding_ = kEncodingUtf8;
    std::uint32_t receiveEncoding_ = kEncodingUtf8;
    bool wideParameter16Bits_ = false;

  private:
    StringEncoding languageEncoding_;
    std::atomic<int> liveHandles_{0};

    std::string driverFileNameText() const;
    std::string driverBundleVersion() const;
    void writeBanner();
    SQLRETURN setStringAttr(SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER stringLength);
    void getTextAttr(const std::string& text, SQLPOINTER value, SQLINTEGER bufferLength,
                     SQLINTEGER* length);
};
