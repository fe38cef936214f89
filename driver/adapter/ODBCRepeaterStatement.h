#pragma once

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "driver/core/Statement.h"

class ODBCRepeaterConnection;
struct AdaptedDriverEntryPoints;

// The statement object of a repeater connection: it owns one statement
// handle of the adapted driver and carries out each statement call through
// the adapted driver's entry points. Of its own it keeps a record of every
// column and parameter binding, hands the adapted driver parameter buffers
// of its own (filled from the application's values before each execution),
// refuses data-modifying statements on a read-only data source, and
// converts text when the adapted driver offers only the W form of a
// function.
class ODBCRepeaterStatement : public Statement {
  public:
    // What the application passed to SQLBindCol.
    struct BoundColumn {
        SQLUSMALLINT column = 0;
        SQLSMALLINT targetType = 0;
        SQLPOINTER target = nullptr;
        SQLLEN bufferLength = 0;
        SQLLEN* indicator = nullptr;
    };

    // What the application passed to SQLBindParameter, and the copy of its
    // value that the adapted driver is bound to.
    struct BoundParameter {
        SQLUSMALLINT number = 0;
        SQLSMALLINT inputOutputType = 0;
        SQLSMALLINT valueType = 0;
        SQLSMALLINT sqlType = 0;
        SQLULEN columnSize = 0;
        SQLSMALLINT decimalDigits = 0;
        SQLPOINTER value = nullptr;
        SQLLEN bufferLength = 0;
        SQLLEN* indicator = nullptr;
        // The adapted driver reads these: never the application's buffers.
        std::vector<unsigned char> buffer;
        SQLLEN indicatorValue = SQL_NTS;
        // Bytes of the value copied by the last execution.
        SQLLEN copiedLength = 0;

        SQLLEN bufferSize() const { return static_cast<SQLLEN>(buffer.size()); }
    };

    // Largest internal buffer of a DB2 long text parameter.
    static constexpr SQLLEN kDb2LongTextCap = 4096;
    // Size of the message buffer of the adapted driver's diagnostics.
    static constexpr SQLSMALLINT kNativeMessageSize = 512;

    // Allocates the adapted driver's statement on the connection's native
    // connection handle.
    explicit ODBCRepeaterStatement(ODBCRepeaterConnection* connection);
    // Releases the binding records; frees the native statement when the
    // application never dropped it and the native connection still holds it.
    ~ODBCRepeaterStatement() override;

    SQLRETURN freeStmt(SQLUSMALLINT option) override;
    SQLRETURN setStmtAttr(SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER stringLength) override;
    SQLRETURN getStmtAttr(SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER bufferLength,
                          SQLINTEGER* stringLength) override;
    // Own records while there are any, else the adapted driver's record of
    // the same number.
    SQLRETURN getDiagRec(SQLSMALLINT recNumber, SQLCHAR* state, SQLINTEGER* native,
                         SQLCHAR* message, SQLSMALLINT bufferLength,
                         SQLSMALLINT* textLength) override;
    // Always the adapted driver's diagnostics, with its return code.
    SQLRETURN getDiagField(SQLSMALLINT recNumber, SQLSMALLINT identifier, SQLPOINTER value,
                           SQLSMALLINT bufferLength, SQLSMALLINT* stringLength) override;
    // SQLError: each call gives the adapted driver's next record, then
    // SQL_NO_DATA; any forwarded call starts over.
    SQLRETURN error(SQLCHAR* state, SQLINTEGER* native, SQLCHAR* message, SQLSMALLINT bufferLength,
                    SQLSMALLINT* textLength) override;
    SQLRETURN colAttribute(SQLUSMALLINT column, SQLUSMALLINT field, SQLPOINTER characterAttribute,
                           SQLSMALLINT bufferLength, SQLSMALLINT* stringLength,
                           SQLLEN* numericAttribute) override;
    SQLRETURN describeCol(SQLUSMALLINT column, SQLCHAR* name, SQLSMALLINT bufferLength,
                          SQLSMALLINT* nameLength, SQLSMALLINT* dataType, SQLULEN* columnSize,
                          SQLSMALLINT* decimalDigits, SQLSMALLINT* nullable) override;
    SQLRETURN bindCol(SQLUSMALLINT column, SQLSMALLINT valueType, SQLPOINTER value,
                      SQLLEN bufferLength, SQLLEN* lengthOrIndicator) override;
    SQLRETURN bindParameter(SQLUSMALLINT number, SQLSMALLINT inputOutputType, SQLSMALLINT valueType,
                            SQLSMALLINT sqlType, SQLULEN columnSize, SQLSMALLINT decimalDigits,
                            SQLPOINTER value, SQLLEN bufferLength,
                            SQLLEN* lengthOrIndicator) override;

    // Runs one finished text through the adapted driver's SQLExecDirect.
    SQLRETURN executeQuery(std::string text, SQLULEN parameterRow) override;
    // One executeQuery per row of the parameter array, values spliced in.
    SQLRETURN executeStatement(std::string& text) override;

    // Literals of spliced parameters follow the adapted database's quoting:
    // PostgreSQL gets E'...' strings and bytea values, DB2 doubled quotes
    // and X'...'; a negative number never follows a minus sign directly.
    std::string escapeString(const std::string& text) override;
    void formatBinary(std::string& literal, SQLSMALLINT sqlType) override;
    SQLRETURN formatParameter(SQLUSMALLINT number, Descriptor* apd, Descriptor* ipd, SQLULEN row,
                              std::string& literal, bool& isNull) override;

    SQLRETURN execDirect(const SQLCHAR* text, SQLINTEGER length) override;
    SQLRETURN execute() override;
    SQLRETURN cancel() override;
    SQLRETURN paramData(SQLPOINTER* value) override;
    SQLRETURN putData(SQLPOINTER data, SQLLEN length) override;
    SQLRETURN fetch() override;
    SQLRETURN fetchScroll(SQLSMALLINT orientation, SQLLEN offset) override;
    SQLRETURN extendedFetch(SQLUSMALLINT orientation, SQLLEN offset, SQLULEN* rowCount,
                            SQLUSMALLINT* rowStatus) override;
    SQLRETURN moreResults() override;
    SQLRETURN numResultCols(SQLSMALLINT* count) override;
    SQLRETURN rowCount(SQLLEN* count) override;
    SQLRETURN getData(SQLUSMALLINT column, SQLSMALLINT valueType, SQLPOINTER value,
                      SQLLEN bufferLength, SQLLEN* lengthOrIndicator) override;
    SQLRETURN prepare(const SQLCHAR* text, SQLINTEGER length) override;
    SQLRETURN describeParam(SQLUSMALLINT number, SQLSMALLINT* dataType, SQLULEN* parameterSize,
                            SQLSMALLINT* decimalDigits, SQLSMALLINT* nullable) override;
    SQLRETURN numParams(SQLSMALLINT* count) override;

    SQLRETURN columnPrivileges(const SQLCHAR* catalog, SQLSMALLINT catalogLength,
                               const SQLCHAR* schema, SQLSMALLINT schemaLength,
                               const SQLCHAR* table, SQLSMALLINT tableLength, const SQLCHAR* column,
                               SQLSMALLINT columnLength) override;
    SQLRETURN columns(const SQLCHAR* catalog, SQLSMALLINT catalogLength, const SQLCHAR* schema,
                      SQLSMALLINT schemaLength, const SQLCHAR* table, SQLSMALLINT tableLength,
                      const SQLCHAR* column, SQLSMALLINT columnLength) override;
    SQLRETURN primaryKeys(const SQLCHAR* catalog, SQLSMALLINT catalogLength, const SQLCHAR* schema,
                          SQLSMALLINT schemaLength, const SQLCHAR* table,
                          SQLSMALLINT tableLength) override;
    SQLRETURN specialColumns(SQLUSMALLINT identifierType, const SQLCHAR* catalog,
                             SQLSMALLINT catalogLength, const SQLCHAR* schema,
                             SQLSMALLINT schemaLength, const SQLCHAR* table,
                             SQLSMALLINT tableLength, SQLUSMALLINT scope,
                             SQLUSMALLINT nullable) override;
    SQLRETURN statistics(const SQLCHAR* catalog, SQLSMALLINT catalogLength, const SQLCHAR* schema,
                         SQLSMALLINT schemaLength, const SQLCHAR* table, SQLSMALLINT tableLength,
                         SQLUSMALLINT unique, SQLUSMALLINT reserved) override;
    SQLRETURN tables(const SQLCHAR* catalog, SQLSMALLINT catalogLength, const SQLCHAR* schema,
                     SQLSMALLINT schemaLength, const SQLCHAR* table, SQLSMALLINT tableLength,
                     const SQLCHAR* tableType, SQLSMALLINT tableTypeLength) override;

    SQLRETURN closeCursor() override;

    // The adapted driver's first diagnostic record of the native statement;
    // `message` holds kNativeMessageSize bytes, `state` six.
    SQLRETURN getDiagRecU(SQLCHAR* state, SQLINTEGER* native, SQLCHAR* message,
                          SQLSMALLINT* textLength);

    // The inner statement of the MySQL face leaves the query log to the
    // face's statement, which writes one line per call of the application.
    void leaveQueryLogToOwner() { writesQueryLog_ = false; }

    SQLHSTMT nativeStatementHandle() const { return nativeStatement_; }
    // The binding records, by number; null when there is none.
    const BoundParameter* boundParameter(SQLUSMALLINT number) const;
    std::size_t boundParameterCount() const { return parameters_.size(); }
    std::size_t boundColumnCount() const { return columns_.size(); }

  private:
    // Holds the repeater connection's mutex for one scope.
    class ConnectionLock {
      public:
        explicit ConnectionLock(ODBCRepeaterConnection& connection);
        ~ConnectionLock();
        ConnectionLock(const ConnectionLock&) = delete;
        ConnectionLock& operator=(const ConnectionLock&) = delete;

      private:
        ODBCRepeaterConnection& connection_;
    };
    struct CatalogCall;

    const AdaptedDriverEntryPoints& entries() const;
    void traceLine(std::string_view line) const;
    // Posts in front of the own records, column and row -1.
    void post(const char* state, SQLINTEGER native, std::string_view message);
    void postConfigurationError();
    // Whether the native statement may be handed to the adapted driver; it
    // is gone once its native connection was closed or replaced (the
    // adapted driver freed it then).
    bool nativeStatementLive() const;
    // SQL_SUCCESS when a forwarded call may go ahead, else SQL_ERROR with
    // the reason posted.
    SQLRETURN checkNative();
    // Calls `function` with the native statement; SQL_ERROR with
    // `missingLine` traced when the library lacks it.
    template <typename Function, typename... Args>
    SQLRETURN forward(Function* function, std::string_view missingLine, Args... args);

    // Spliced literals (ODBCRepeaterStatementLiterals.cpp).
    enum class LiteralRules { Standard, PostgreSQL, Db2 };
    LiteralRules literalRules() const;
    // The escape character of quoted text while markers are replaced.
    char spliceEscape() const;
    // Without parameter binding, a text that reached executeQuery other than
    // through executeStatement (the MySQL face runs it so) gets its markers
    // replaced here.
    bool needsSplicing(const std::string& text) const;
    SQLRETURN spliceForDirectRun(std::string& text, SQLULEN row);
    // One run per row of the parameter array with that row's values spliced
    // in; `dataAtExecution` allows SQL_NEED_DATA for a missing value.
    SQLRETURN executeSplicedRows(const std::string& text, bool dataAtExecution);
    SQLRETURN formatNumeric(SQLUSMALLINT number, Descriptor* apd, Descriptor* ipd, SQLULEN row,
                            SQLSMALLINT sqlType, std::string& literal, bool& isNull);

    // Whether this statement times its runs for the query log.
    bool logsQueries() const;
    bool readOnlyRefusal(const std::string& text);
    bool connected() const;
    bool isDb2() const;

    // Parameters.
    // The application type of the value: SQL_C_DEFAULT stands for the one
    // that goes with the parameter's SQL type.
    SQLSMALLINT effectiveType(const BoundParameter& parameter) const;
    SQLLEN initialBufferSize(const BoundParameter& parameter) const;
    SQLRETURN bindNative(BoundParameter& parameter);
    void copyParameter(BoundParameter& parameter);
    void copyParameters(bool db2Rule);
    void copyOutputParameters();
    SQLLEN applicationIndicator(const BoundParameter& parameter) const;
    void traceParameter(const BoundParameter& parameter, const unsigned char* bytes,
                        SQLLEN available) const;
    bool paramAttributeIsLocal(SQLINTEGER attribute) const;

    // Diagnostics of the adapted driver.
    SQLRETURN nativeDiagRec(SQLSMALLINT recNumber, SQLCHAR* state, SQLINTEGER* native,
                            SQLCHAR* message, SQLSMALLINT bufferLength, SQLSMALLINT* textLength);
    void repostNativeError();

    // Fetching.
    void traceFetchedColumns() const;
    SQLRETURN tracedFetch();
    // Text into a caller's buffer of `bufferLength` bytes, cut on a whole
    // UTF-8 character and terminated. True when it was cut.
    static bool copyWholeCharacters(const std::string& text, SQLCHAR* buffer, SQLLEN bufferLength);

    // Catalog calls and column text.
    SQLRETURN runCatalog(const CatalogCall& call);
    SQLRETURN wideColumnText(bool describe, SQLUSMALLINT column, SQLUSMALLINT field, void* text,
                             SQLSMALLINT bufferLength, SQLSMALLINT* textLength,
                             SQLSMALLINT* dataType, SQLULEN* columnSize, SQLSMALLINT* decimalDigits,
                             SQLSMALLINT* nullable, SQLLEN* numericAttribute);

    SQLHSTMT nativeStatement_ = SQL_NULL_HSTMT;
    SQLHDBC nativeConnection_ = SQL_NULL_HDBC;
    ODBCRepeaterConnection* repeater_;
    bool includeViews_ = false;
    std::map<int, std::unique_ptr<BoundParameter>> parameters_;
    std::map<int, std::unique_ptr<BoundColumn>> columns_;
    // Adapted records SQLError has handed out since the last forwarded call.
    SQLSMALLINT nativeRecordsRead_ = 0;
    // The adapted driver's row count read right after a run, answered once
    // instead of asking again; forgotten at the next forwarded call.
    std::optional<SQLLEN> runRowCount_;
    // Set while executeStatement runs texts whose values it spliced.
    bool valuesSpliced_ = false;
    bool writesQueryLog_ = true;
};

template <typename Function, typename... Args>
SQLRETURN ODBCRepeaterStatement::forward(Function* function, std::string_view missingLine,
                                         Args... args) {
    if (function == nullptr) {
        traceLine(missingLine);
        return SQL_ERROR;
    }
    if (checkNative() != SQL_SUCCESS) {
        return SQL_ERROR;
    }
    return function(nativeStatement_, args...);
}
