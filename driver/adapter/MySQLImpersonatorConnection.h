#pragma once

#include <sql.h>
#include <sqlext.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "driver/adapter/AdaptedInfoTypes.h"
#include "driver/adapter/MySQLBaseConnection.h"

class Environment;
class ODBCRepeaterConnection;

// The connection behind every handle of the MySQL face. It answers about
// itself as a MySQL server and hands the real work to an inner repeater
// connection: connecting, transactions and the connection flags go there,
// its failures come back as MySQL-style messages. It remembers which DBMS
// really answers (DB2 LUW, DB2/400, Redshift) and keeps two small caches the
// statements share: each table's schema and the declared types of columns
// that the SQL rewriting must treat specially.
class MySQLImpersonatorConnection : public MySQLBaseConnection {
  public:
    // One entry of the column-type cache.
    struct ColumnType {
        std::string schema;
        std::string table;
        std::string column;
        SQLSMALLINT type = 0;
    };

    explicit MySQLImpersonatorConnection(Environment* environment);
    ~MySQLImpersonatorConnection() override;

    Statement* createStatement() override;
    SQLRETURN connectStrings(const std::string& server, const std::string& user,
                             const std::string& authentication) override;
    SQLRETURN driverConnect(SQLHWND window, const SQLCHAR* connectionText,
                            SQLSMALLINT connectionTextLength, SQLCHAR* outText,
                            SQLSMALLINT outBufferLength, SQLSMALLINT* outLength,
                            SQLUSMALLINT completion) override;
    SQLRETURN disconnect() override;
    SQLRETURN getInfo(SQLUSMALLINT infoType, SQLPOINTER value, SQLSMALLINT bufferLength,
                      SQLSMALLINT* stringLength) override;
    // Record numbers above 3 give SQL_NO_DATA; own records while there are
    // any, else the inner connection's.
    SQLRETURN getDiagRec(SQLSMALLINT recNumber, SQLCHAR* state, SQLINTEGER* native,
                         SQLCHAR* message, SQLSMALLINT bufferLength,
                         SQLSMALLINT* textLength) override;
    SQLRETURN getDiagField(SQLSMALLINT recNumber, SQLSMALLINT identifier, SQLPOINTER value,
                           SQLSMALLINT bufferLength, SQLSMALLINT* stringLength) override;
    SQLRETURN error(SQLCHAR* state, SQLINTEGER* native, SQLCHAR* message, SQLSMALLINT bufferLength,
                    SQLSMALLINT* textLength) override;
    SQLRETURN endTran(SQLSMALLINT completionType) override;
    bool isConnected() const override;
    void setConnected(bool connected) override;
    bool isWideApi() const override;
    void setWideApi(bool wide) override;
    std::uint32_t databaseEncoding() const override;
    std::uint32_t sendEncoding() const override;
    std::uint32_t receiveEncoding() const override;
    void setSendEncodingId(std::uint32_t encoding) override;
    void setReceiveEncodingId(std::uint32_t encoding) override;
    bool isUnicodeTextTypes() const override;
    // The query log is the inner connection's, which reads the settings at
    // connect: the statements of both layers ask the same one.
    void setQueryLog(SQLINTEGER thresholdMs, const std::string& path) override;
    bool isQueryLogOn() const override;
    void writeQueryLog(std::int64_t elapsedMs, const std::string& sql) override;
    std::int64_t queryLogTime() const override;
    // The inner connection decides its text mode from this at connect.
    void setUnicodeTextTypes(bool unicode) override;
    // The adapted source's SQL_DBMS_NAME, cached once the connect read it;
    // a stand-in answered while unconnected is never kept.
    std::string dbmsName() override;
    SQLRETURN setAttrAutocommit(SQLUINTEGER value) override;
    SQLUINTEGER getAttrAutocommit() const override;
    // Read-only mode is enforced by the inner connection's statements.
    SQLRETURN setAttrAccessMode(SQLUINTEGER value) override;
    SQLUINTEGER getAttrAccessMode() const override;
    // The catalog is the inner connection's database name.
    SQLRETURN setAttrCurrentCatalog(const std::string& value) override;
    std::string getAttrCurrentCatalog() const override;
    SQLSMALLINT getInfoValueType(SQLUSMALLINT infoType) override;
    // "5.6": the version of the MySQL face, not the source's.
    std::string infoDbmsVer() override;
    // The database, server and user the inner connection reached.
    std::string infoDatabaseName() override;
    std::string infoServerName() override;
    std::string infoUserName() override;

    virtual ODBCRepeaterConnection* nativeConnection() const;
    virtual bool isRedshift() const;
    // "DB2 LUW", "DB2 AS400" or empty.
    virtual std::string nativeDbmsType() const;
    // The adapted source's SQL_DBMS_VER, cached once it was read.
    virtual std::string nativeDbmsVersion();

    // Table-schema map and column-type cache; safe to use from several
    // statements at once. Readers get copies, never pointers into the cache.
    virtual void setTableSchema(const std::string& table, const std::string& schema);
    virtual std::string tableSchema(const std::string& table) const;
    virtual void clearTimeColumns();
    virtual void clearColumnTypes(const std::string& schema, const std::string& table);
    virtual void addColumnType(const std::string& schema, const std::string& table,
                               const std::string& column, SQLSMALLINT type);
    virtual std::vector<ColumnType> getColumnsForTable(const std::string& schema,
                                                       const std::string& table, bool includeTime,
                                                       bool includeClob) const;
    // Whether the column-type cache holds any entry at all.
    bool hasColumnTypes() const;

  protected:
    // Set by the most derived constructor.
    std::unique_ptr<ODBCRepeaterConnection> inner_;

  private:
    // Record 1 as this connection reads it (own, else inner), else the
    // adapted driver's own record 1; `found` is false when neither exists.
    struct FirstRecord {
        bool found = false;
        std::string state;
        SQLINTEGER native = 0;
        std::string message;
    };
    FirstRecord readFirstRecord();
    // Connect failures as MySQL-style messages.
    void mapConnectFailure(SQLRETURN result);
    // endTran and autocommit failures: the native text without its prefixes.
    void repostFailure(SQLRETURN result);
    // What really answers: DB2 LUW or DB2/400, else whether it is Redshift.
    // `redshiftValue` is the "Redshift" key as the connect read it.
    void identify(const std::string& redshiftValue);
    // An information type only the adapted driver knows.
    SQLRETURN forwardInfo(SQLUSMALLINT infoType, SQLPOINTER value, SQLSMALLINT bufferLength,
                          SQLSMALLINT* stringLength);
    // Own records and the inner connection's: a new call starts clean.
    void clearAllDiagnostics();
    void trace(const std::string& line) const;

    mutable std::mutex cacheMutex_;
    std::string dbmsNameCache_;
    std::string nativeDbmsType_;
    std::string nativeDbmsVersionCache_;
    bool isRedshift_ = false;
    std::map<std::string, std::string> tableSchemas_;
    std::vector<ColumnType> columnTypes_;
};
