#pragma once

#include <sql.h>
#include <sqlext.h>

#include <mutex>
#include <string>
#include <string_view>

#include "driver/adapter/AdaptedDriverEntryPoints.h"
#include "driver/adapter/ConnectionOptions.h"
#include "driver/core/Connection.h"

class Environment;

// The connection that really reaches the data source: it reads the DSN's
// options, loads the adapted driver that the adapted DSN names, connects
// through it (with the keychain's password when asked), refuses drivers and
// databases it does not serve, and forwards disconnect, transactions,
// autocommit and a few information values to it. Its statements use its
// native handles, its entry-point table and its lock.
class ODBCRepeaterConnection : public Connection {
  public:
    // Size of the message buffer handed to nativeError.
    static constexpr SQLSMALLINT kNativeMessageSize = 512;

    explicit ODBCRepeaterConnection(Environment* environment);
    // Disconnects and frees the native connection handle under the lock; the
    // native environment and the library stay.
    ~ODBCRepeaterConnection() override;

    // A statement of the adapted driver on this connection; the caller owns it.
    Statement* createStatement() override;
    // SQLConnect: every option from the DSN named by `server`.
    SQLRETURN connectStrings(const std::string& server, const std::string& user,
                             const std::string& authentication) override;
    // SQLDriverConnect: options from the text, gaps filled from its DSN.
    // Never prompts; SQL_NO_DATA when a prompt would have been needed.
    SQLRETURN driverConnect(SQLHWND window, const SQLCHAR* connectionText,
                            SQLSMALLINT connectionTextLength, SQLCHAR* outText,
                            SQLSMALLINT outBufferLength, SQLSMALLINT* outLength,
                            SQLUSMALLINT completion) override;
    // The same with the options read once by the caller; `server` is the
    // data source name of SQLConnect.
    virtual SQLRETURN connectOptions(const std::string& server, const ConnectionOptions& options,
                                     const std::string& user, const std::string& authentication);
    virtual SQLRETURN driverConnectOptions(SQLHWND window, const ConnectionOptions& options,
                                           SQLCHAR* outText, SQLSMALLINT outBufferLength,
                                           SQLSMALLINT* outLength, SQLUSMALLINT completion);
    SQLRETURN disconnect() override;
    SQLRETURN getInfo(SQLUSMALLINT infoType, SQLPOINTER value, SQLSMALLINT bufferLength,
                      SQLSMALLINT* stringLength) override;
    std::string rewriteSql(const std::string& text) override;
    SQLRETURN endTran(SQLSMALLINT completionType) override;
    bool isConnected() const override;
    void setConnected(bool connected) override;
    // The adapted database's name, the component of diagnostic messages.
    std::string dbmsName() override;
    SQLRETURN setAttrAutocommit(SQLUINTEGER value) override;
    std::string infoDbmsVer() override;
    std::string infoDriverName() override;
    std::string infoDriverVer() override;

    // The connection's own plain mutex: held while it disconnects, while it
    // is destroyed and by its statements around their calls into the driver.
    virtual int lock();
    virtual int unlock();
    virtual bool includeViews() const;
    // Loads the adapted driver, connects natively and checks what answered.
    virtual SQLRETURN open(const std::string& password);
    // Native disconnect; the native handles stay allocated.
    virtual SQLRETURN close();
    // Reads the adapted DSN's "Driver" path and loads it; `reason` receives
    // why it failed, when there is a reason.
    virtual bool loadDriver(std::string& reason);
    virtual bool loadLibrary(const std::string& path, std::string& reason);
    virtual SQLHDBC nativeConnectionHandle() const;
    virtual std::string adaptedDbmsName() const;
    virtual bool usesParameterBinding() const;

    const AdaptedDriverEntryPoints& entryPoints() const { return entryPoints_; }
    const std::string& keychainUserId() const { return keychainUserId_; }

    // The adapted driver's functions, narrow first, else through the W form
    // with the text converted. Every copy into a caller's buffer stays
    // within the size given.
    SQLRETURN nativeDriverConnect(SQLHDBC hdbc, SQLHWND window, const SQLCHAR* text,
                                  SQLSMALLINT textLength, SQLCHAR* outText, SQLSMALLINT outMax,
                                  SQLSMALLINT* outLength);
    // Record 1 of the native connection: `state` holds 6 bytes, `message`
    // `messageSize` bytes.
    SQLRETURN nativeError(SQLCHAR* state, SQLINTEGER* native, SQLCHAR* message,
                          SQLSMALLINT messageSize, SQLSMALLINT* length);
    SQLRETURN nativeGetInfo(SQLHDBC hdbc, SQLUSMALLINT infoType, SQLPOINTER value,
                            SQLSMALLINT bufferLength, SQLSMALLINT* outLength);
    SQLRETURN nativeSetConnectAttr(SQLHDBC hdbc, SQLINTEGER attribute, SQLPOINTER value,
                                   SQLINTEGER stringLength);

  private:
    struct ConnectOptions;
    enum class ConnectPath { Connect, DriverConnect };
    struct AttemptOutcome {
        SQLRETURN result;
        bool keychainFailed;
    };

    void trace(std::string_view line) const;
    // Options.
    void applyEncodingNames(ConnectOptions& options) const;
    void decideEncoding(ConnectOptions& options, ConnectPath path);
    void applyDatabaseEncoding(const ConnectOptions& options);
    void applyQueryLog(const ConnectOptions& options);
    void traceSalt(const std::string& password, const std::string& connectionText) const;
    // Open.
    void allocateNativeHandles();
    void releaseNativeConnection();
    AttemptOutcome attemptConnections(const std::string& password);
    void reportConnectFailure(bool keychainFailed);
    bool checkDriverAndDatabase(const std::string& driverName, const std::string& dbmsName);
    void finishOpen();
    std::string nativeInfoText(SQLUSMALLINT infoType, bool* succeeded = nullptr);
    SQLRETURN readNativeRecord(SQLSMALLINT handleType, SQLHANDLE handle, SQLCHAR* state,
                               SQLINTEGER* native, SQLCHAR* message, SQLSMALLINT messageSize,
                               SQLSMALLINT* length);

    std::mutex lock_;
    void* library_ = nullptr;
    SQLHENV nativeEnvironment_ = SQL_NULL_HENV;
    SQLHDBC nativeConnection_ = SQL_NULL_HDBC;
    std::string adaptedDsn_;
    std::string adaptedDbmsName_;
    bool includeViews_ = false;
    bool usesParameterBinding_ = true;
    std::string keychainUserId_;
    // The last DBMS name the adapted driver gave, for diagnostics on any thread.
    mutable std::mutex dbmsNameMutex_;
    std::string dbmsName_;
    AdaptedDriverEntryPoints entryPoints_;
};
