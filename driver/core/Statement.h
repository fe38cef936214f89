#pragma once

#include <sql.h>
#include <sqlext.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "driver/core/DiagnosticHeader.h"

class Connection;
class Descriptor;
class DescriptorRecord;
class Environment;
class Recordset;

// Where a statement stands; the attributes that only an idle statement
// accepts and SQLSetCursorName look at it. There is no state 2.
enum class StatementState : SQLINTEGER {
    Allocated = 0,            // allocated or closed
    Prepared = 1,             // prepared
    Executed = 3,             // executed, no result set
    ExecutedWithResults = 4,  // executed with a result set
    Positioned = 5,           // positioned on a rowset
};

// The object behind a statement handle. The base class answers the whole
// ODBC statement surface with defaults and never talks to a data source:
// derived statements override the execution hooks (executeQuery,
// executeStatement) and whatever else reaches their data source.
//
// It owns its four implicit descriptors (APD, ARD, IPD, IRD) and its
// current recordset. The application may make an explicit descriptor the
// current APD or ARD; the statement then registers with that descriptor,
// and the descriptor calls detachDescriptor when it is freed.
//
// Its state is a StatementState.
class Statement {
  public:
    // Rows of the in-memory catalog and type-information results: one
    // member per result column, in column order; an empty optional is NULL.
    struct TypeInfoRow {
        std::string typeName;
        SQLSMALLINT dataType = 0;
        std::optional<SQLINTEGER> columnSize;
        std::optional<std::string> literalPrefix;
        std::optional<std::string> literalSuffix;
        std::optional<std::string> createParams;
        SQLSMALLINT nullable = 0;
        SQLSMALLINT caseSensitive = 0;
        SQLSMALLINT searchable = 0;
        std::optional<SQLSMALLINT> unsignedAttribute;
        SQLSMALLINT fixedPrecScale = 0;
        std::optional<SQLSMALLINT> autoUniqueValue;
        std::optional<std::string> localTypeName;
        std::optional<SQLSMALLINT> minimumScale;
        std::optional<SQLSMALLINT> maximumScale;
        SQLSMALLINT sqlDataType = 0;
        std::optional<SQLSMALLINT> sqlDatetimeSub;
        std::optional<SQLINTEGER> numPrecRadix;
        std::optional<SQLSMALLINT> intervalPrecision;
    };
    // The last six members are written only for an ODBC 3 application.
    struct ColumnsRow {
        std::optional<std::string> tableCat;
        std::optional<std::string> tableSchem;
        std::string tableName;
        std::string columnName;
        SQLSMALLINT dataType = 0;
        std::optional<std::string> typeName;
        std::optional<SQLINTEGER> columnSize;
        std::optional<SQLINTEGER> bufferLength;
        std::optional<SQLSMALLINT> decimalDigits;
        std::optional<SQLSMALLINT> numPrecRadix;
        std::optional<SQLSMALLINT> nullable;
        std::optional<std::string> remarks;
        std::optional<std::string> columnDef;
        SQLSMALLINT sqlDataType = 0;
        std::optional<SQLSMALLINT> sqlDatetimeSub;
        std::optional<SQLINTEGER> charOctetLength;
        SQLINTEGER ordinalPosition = 0;
        std::optional<std::string> isNullable;
    };
    struct TablesRow {
        std::optional<std::string> tableCat;
        std::optional<std::string> tableSchem;
        std::optional<std::string> tableName;
        std::string tableType;
        std::optional<std::string> remarks;
    };
    struct StatisticsRow {
        std::optional<std::string> tableCat;
        std::optional<std::string> tableSchem;
        std::string tableName;
        std::optional<SQLSMALLINT> nonUnique;
        std::optional<std::string> indexQualifier;
        std::optional<std::string> indexName;
        SQLSMALLINT type = 0;
        std::optional<SQLSMALLINT> ordinalPosition;
        std::optional<std::string> columnName;
        std::optional<std::string> ascOrDesc;
        std::optional<SQLINTEGER> cardinality;
        std::optional<SQLINTEGER> pages;
        std::optional<std::string> filterCondition;
    };
    struct SpecialColumnsRow {
        std::optional<SQLSMALLINT> scope;
        std::string columnName;
        SQLSMALLINT dataType = 0;
        std::string typeName;
        std::optional<SQLINTEGER> columnSize;
        std::optional<SQLINTEGER> bufferLength;
        std::optional<SQLSMALLINT> decimalDigits;
        std::optional<SQLSMALLINT> pseudoColumn;
    };
    struct PrimaryKeysRow {
        std::optional<std::string> tableCat;
        std::optional<std::string> tableSchem;
        std::string tableName;
        std::optional<std::string> columnName;
        SQLSMALLINT keySeq = 0;
        std::optional<std::string> pkName;
    };
    struct ColumnPrivilegesRow {
        std::optional<std::string> tableCat;
        std::optional<std::string> tableSchem;
        std::string tableName;
        std::string columnName;
        std::optional<std::string> grantor;
        std::string grantee;
        std::string privilege;
        std::optional<std::string> isGrantable;
    };
    struct TablePrivilegesRow {
        std::optional<std::string> tableCat;
        std::optional<std::string> tableSchem;
        std::string tableName;
        std::optional<std::string> grantor;
        std::string grantee;
        std::string privilege;
        std::optional<std::string> isGrantable;
    };

    // Creates the four implicit descriptors; the connection must outlive
    // the statement.
    explicit Statement(Connection* connection);
    virtual ~Statement();

    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // --- Lifecycle and plumbing -------------------------------------------
    // The call trace of the connection's environment.
    virtual bool isTracing() const;
    // Writes text that holds whole lines, in one piece.
    virtual void writeTrace(std::string_view text) const;
    virtual Connection* connection() const;
    virtual Environment* environment() const;
    // Hands the milliseconds since startTimer and `text` to the connection's
    // query log when they reach its threshold.
    virtual void logQueryTime(const std::string& text);
    virtual void startTimer();
    virtual DiagnosticHeader& diagnostics();

    // --- One operation per ODBC statement function -------------------------
    // SQL_CLOSE, SQL_DROP, SQL_UNBIND, SQL_RESET_PARAMS; "HY092" otherwise.
    virtual SQLRETURN freeStmt(SQLUSMALLINT option);
    // Also serves SQLSetStmtOption and SQLParamOptions.
    virtual SQLRETURN setStmtAttr(SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER stringLength);
    // 32-bit attributes write exactly 4 bytes, the others 8.
    virtual SQLRETURN getStmtAttr(SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER bufferLength,
                                  SQLINTEGER* stringLength);
    virtual SQLRETURN getDiagRec(SQLSMALLINT recNumber, SQLCHAR* state, SQLINTEGER* native,
                                 SQLCHAR* message, SQLSMALLINT bufferLength,
                                 SQLSMALLINT* textLength);
    virtual SQLRETURN getDiagField(SQLSMALLINT recNumber, SQLSMALLINT identifier, SQLPOINTER value,
                                   SQLSMALLINT bufferLength, SQLSMALLINT* stringLength);
    // SQLError: reads record 1 and removes that record once it was returned.
    virtual SQLRETURN error(SQLCHAR* state, SQLINTEGER* native, SQLCHAR* message,
                            SQLSMALLINT bufferLength, SQLSMALLINT* textLength);
    virtual SQLRETURN getTypeInfo(SQLSMALLINT dataType);
    virtual SQLRETURN colAttribute(SQLUSMALLINT column, SQLUSMALLINT field,
                                   SQLPOINTER characterAttribute, SQLSMALLINT bufferLength,
                                   SQLSMALLINT* stringLength, SQLLEN* numericAttribute);
    virtual SQLRETURN describeCol(SQLUSMALLINT column, SQLCHAR* name, SQLSMALLINT bufferLength,
                                  SQLSMALLINT* nameLength, SQLSMALLINT* dataType,
                                  SQLULEN* columnSize, SQLSMALLINT* decimalDigits,
                                  SQLSMALLINT* nullable);
    virtual SQLRETURN bindCol(SQLUSMALLINT column, SQLSMALLINT valueType, SQLPOINTER value,
                              SQLLEN bufferLength, SQLLEN* lengthOrIndicator);
    virtual SQLRETURN bindParameter(SQLUSMALLINT number, SQLSMALLINT inputOutputType,
                                    SQLSMALLINT valueType, SQLSMALLINT sqlType, SQLULEN columnSize,
                                    SQLSMALLINT decimalDigits, SQLPOINTER value,
                                    SQLLEN bufferLength, SQLLEN* lengthOrIndicator);

    // --- Execution steps ---------------------------------------------------
    // Puts a select behind "declare <cursor> cursor for " when the
    // connection allows server-side cursors and the statement wants one.
    virtual SQLRETURN declareCursor(std::string& text);
    // Opens the cursor declared for the current text, if any.
    virtual SQLRETURN openCursor();
    // Hook: runs one text on the data source at once. `parameterRow` is the
    // row of a parameter array the text was built for, or 0. Base: 0.
    virtual SQLRETURN executeQuery(std::string text, SQLULEN parameterRow);
    // Hook: executes the statement's SQL text; SQL_NEED_DATA while
    // data-at-execution parameters lack data. A derived statement that makes
    // a result set leaves a recordset in the statement. Base: 0.
    virtual SQLRETURN executeStatement(std::string& text);
    virtual SQLRETURN executeText(const char* text);

    // --- Further ODBC functions --------------------------------------------
    virtual SQLRETURN execDirect(const SQLCHAR* text, SQLINTEGER length);
    virtual SQLRETURN execute();
    virtual SQLRETURN cancel();
    virtual SQLRETURN paramData(SQLPOINTER* value);
    virtual SQLRETURN putData(SQLPOINTER data, SQLLEN length);
    virtual SQLRETURN fetch();
    virtual SQLRETURN fetchScroll(SQLSMALLINT orientation, SQLLEN offset);
    virtual SQLRETURN extendedFetch(SQLUSMALLINT orientation, SQLLEN offset, SQLULEN* rowCount,
                                    SQLUSMALLINT* rowStatus);
    virtual SQLRETURN moreResults();
    virtual SQLRETURN numResultCols(SQLSMALLINT* count);
    virtual SQLRETURN rowCount(SQLLEN* count);
    virtual SQLRETURN getData(SQLUSMALLINT column, SQLSMALLINT valueType, SQLPOINTER value,
                              SQLLEN bufferLength, SQLLEN* lengthOrIndicator);
    virtual SQLRETURN prepare(const SQLCHAR* text, SQLINTEGER length);
    virtual SQLRETURN describeParam(SQLUSMALLINT number, SQLSMALLINT* dataType,
                                    SQLULEN* parameterSize, SQLSMALLINT* decimalDigits,
                                    SQLSMALLINT* nullable);
    virtual SQLRETURN numParams(SQLSMALLINT* count);

    // --- Catalog functions (each name with its SQLSMALLINT length) ---------
    virtual SQLRETURN columnPrivileges(const SQLCHAR* catalog, SQLSMALLINT catalogLength,
                                       const SQLCHAR* schema, SQLSMALLINT schemaLength,
                                       const SQLCHAR* table, SQLSMALLINT tableLength,
                                       const SQLCHAR* column, SQLSMALLINT columnLength);
    virtual SQLRETURN columns(const SQLCHAR* catalog, SQLSMALLINT catalogLength,
                              const SQLCHAR* schema, SQLSMALLINT schemaLength, const SQLCHAR* table,
                              SQLSMALLINT tableLength, const SQLCHAR* column,
                              SQLSMALLINT columnLength);
    virtual SQLRETURN foreignKeys(const SQLCHAR* pkCatalog, SQLSMALLINT pkCatalogLength,
                                  const SQLCHAR* pkSchema, SQLSMALLINT pkSchemaLength,
                                  const SQLCHAR* pkTable, SQLSMALLINT pkTableLength,
                                  const SQLCHAR* fkCatalog, SQLSMALLINT fkCatalogLength,
                                  const SQLCHAR* fkSchema, SQLSMALLINT fkSchemaLength,
                                  const SQLCHAR* fkTable, SQLSMALLINT fkTableLength);
    virtual SQLRETURN primaryKeys(const SQLCHAR* catalog, SQLSMALLINT catalogLength,
                                  const SQLCHAR* schema, SQLSMALLINT schemaLength,
                                  const SQLCHAR* table, SQLSMALLINT tableLength);
    virtual SQLRETURN procedureColumns(const SQLCHAR* catalog, SQLSMALLINT catalogLength,
                                       const SQLCHAR* schema, SQLSMALLINT schemaLength,
                                       const SQLCHAR* procedure, SQLSMALLINT procedureLength,
                                       const SQLCHAR* column, SQLSMALLINT columnLength);
    virtual SQLRETURN procedures(const SQLCHAR* catalog, SQLSMALLINT catalogLength,
                                 const SQLCHAR* schema, SQLSMALLINT schemaLength,
                                 const SQLCHAR* procedure, SQLSMALLINT procedureLength);
    virtual SQLRETURN specialColumns(SQLUSMALLINT identifierType, const SQLCHAR* catalog,
                                     SQLSMALLINT catalogLength, const SQLCHAR* schema,
                                     SQLSMALLINT schemaLength, const SQLCHAR* table,
                                     SQLSMALLINT tableLength, SQLUSMALLINT scope,
                                     SQLUSMALLINT nullable);
    virtual SQLRETURN statistics(const SQLCHAR* catalog, SQLSMALLINT catalogLength,
                                 const SQLCHAR* schema, SQLSMALLINT schemaLength,
                                 const SQLCHAR* table, SQLSMALLINT tableLength, SQLUSMALLINT unique,
                                 SQLUSMALLINT reserved);
    virtual SQLRETURN tablePrivileges(const SQLCHAR* catalog, SQLSMALLINT catalogLength,
                                      const SQLCHAR* schema, SQLSMALLINT schemaLength,
                                      const SQLCHAR* table, SQLSMALLINT tableLength);
    virtual SQLRETURN tables(const SQLCHAR* catalog, SQLSMALLINT catalogLength,
                             const SQLCHAR* schema, SQLSMALLINT schemaLength, const SQLCHAR* table,
                             SQLSMALLINT tableLength, const SQLCHAR* tableType,
                             SQLSMALLINT tableTypeLength);

    // --- Cursor and positioning --------------------------------------------
    virtual SQLRETURN getCursorName(SQLCHAR* name, SQLSMALLINT bufferLength,
                                    SQLSMALLINT* nameLength);
    // The cursor name; makes a default "SQL_CUR..." name when there is none.
    virtual std::string cursorName();
    virtual SQLRETURN setCursorName(const SQLCHAR* name, SQLSMALLINT length);
    virtual SQLRETURN setPos(SQLULEN row, SQLUSMALLINT operation, SQLUSMALLINT lockType);
    virtual SQLRETURN bulkOperations(SQLUSMALLINT operation);
    virtual SQLRETURN closeCursor();
    // Closes the result (no diagnostics cleared); the statement then holds
    // no recordset and is in state 0.
    virtual SQLRETURN closeResults();
    virtual SQLRETURN positionedInsert(SQLULEN row);
    virtual SQLRETURN positionedDelete(SQLULEN row);
    virtual SQLRETURN positionedUpdate(SQLULEN row);

    // --- Rowset machinery --------------------------------------------------
    virtual SQLRETURN fetchRowset();
    virtual SQLRETURN loadNextRow();
    virtual SQLRETURN fetchNext();
    virtual SQLRETURN fetchPrior();
    virtual SQLRETURN fetchFirst();
    virtual SQLRETURN fetchLast();
    virtual SQLRETURN fetchRelative(SQLLEN offset);
    virtual SQLRETURN fetchAbsolute(SQLLEN row);
    virtual SQLRETURN fetchBookmark(SQLLEN offset);
    virtual SQLRETURN moveNext();
    virtual SQLRETURN movePrior();
    virtual SQLRETURN moveRelative(SQLLEN offset);
    virtual SQLRETURN moveAbsolute(SQLLEN row);
    virtual SQLRETURN moveFirst();
    virtual SQLRETURN moveLast();

    // --- Type information ---------------------------------------------------
    virtual void addTypeInfoRow(const TypeInfoRow& row);
    virtual void typeInfoAllTypes();
    // One hook per SQL data type; each adds the data source's rows for it.
    virtual void typeInfoChar();
    virtual void typeInfoVarchar();
    virtual void typeInfoLongvarchar();
    virtual void typeInfoWchar();
    virtual void typeInfoWvarchar();
    virtual void typeInfoWlongvarchar();
    virtual void typeInfoDecimal();
    virtual void typeInfoNumeric();
    virtual void typeInfoSmallint();
    virtual void typeInfoInteger();
    virtual void typeInfoReal();
    virtual void typeInfoFloat();
    virtual void typeInfoDouble();
    virtual void typeInfoBit();
    virtual void typeInfoTinyint();
    virtual void typeInfoBigint();
    virtual void typeInfoBinary();
    virtual void typeInfoVarbinary();
    virtual void typeInfoLongvarbinary();
    virtual void typeInfoTypeDate();
    virtual void typeInfoTypeTime();
    virtual void typeInfoTypeTimestamp();
    virtual void typeInfoIntervalMonth();
    virtual void typeInfoIntervalYear();
    virtual void typeInfoIntervalYearToMonth();
    virtual void typeInfoIntervalDay();
    virtual void typeInfoIntervalHour();
    virtual void typeInfoIntervalMinute();
    virtual void typeInfoIntervalSecond();
    virtual void typeInfoIntervalDayToHour();
    virtual void typeInfoIntervalDayToMinute();
    virtual void typeInfoIntervalDayToSecond();
    virtual void typeInfoIntervalHourToMinute();
    virtual void typeInfoIntervalHourToSecond();
    virtual void typeInfoIntervalMinuteToSecond();
    virtual void typeInfoGuid();

    // --- Catalog row builders (append to the in-memory result) -------------
    virtual void addColumnsRow(const ColumnsRow& row);
    virtual void addTablesRow(const TablesRow& row);
    virtual void addStatisticsRow(const StatisticsRow& row);
    virtual void addSpecialColumnsRow(const SpecialColumnsRow& row);
    virtual void addPrimaryKeysRow(const PrimaryKeysRow& row);
    virtual void addColumnPrivilegesRow(const ColumnPrivilegesRow& row);
    virtual void addTablePrivilegesRow(const TablePrivilegesRow& row);

    // --- SQL text and parameter formatting ---------------------------------
    // The word after the first "from" of a select; "" when there is none.
    virtual std::string extractTableName(const std::string& text);
    // Whether a data-at-execution parameter of parameter row `row` still
    // lacks its data.
    virtual bool hasPendingDataAtExec(SQLULEN row);
    // SQL literals of date and time values for a parameter of `sqlType`;
    // character types get a bare text that formatBinary quotes.
    virtual std::string formatDate(const SQL_DATE_STRUCT& value, SQLSMALLINT sqlType);
    virtual std::string formatTime(const SQL_TIME_STRUCT& value, SQLSMALLINT sqlType);
    virtual std::string formatTimestamp(const SQL_TIMESTAMP_STRUCT& value, SQLSMALLINT sqlType);
    // Text made safe inside single quotes; derived statements override it
    // for their database's quoting rules.
    virtual std::string escapeString(const std::string& text);
    // Parameter `number` of row `row` as a complete SQL literal, quoted for
    // the parameter's SQL type (formatBinary). SQL_SUCCESS with the literal
    // (or `isNull` set), SQL_NEED_DATA when it is a data-at-execution
    // parameter without data, SQL_ERROR with a diagnostic when its value
    // cannot be written as a literal.
    virtual SQLRETURN formatParameter(SQLUSMALLINT number, Descriptor* apd, Descriptor* ipd,
                                      SQLULEN row, std::string& literal, bool& isNull);
    // Address of parameter `number`'s value for row `row`, with its length
    // or indicator as read at execution time: SQL_NTS when no length was
    // given, a byte count otherwise.
    virtual const void* resolveParameterValue(SQLUSMALLINT number, Descriptor* apd, Descriptor* ipd,
                                              SQLULEN row, bool& isNull, bool& pending,
                                              SQLLEN& length);
    // Quotes a literal for the parameter's SQL type: character types in
    // single quotes, binary types as X'...', numbers bare.
    virtual void formatBinary(std::string& literal, SQLSMALLINT sqlType);
    // Replaces the "?" markers outside quotes by the literals of row `row`.
    // SQL_SUCCESS when every parameter was spliced, SQL_NEED_DATA when it
    // stopped at a data-at-execution parameter without data, SQL_ERROR
    // (diagnostic posted) when a value has no literal.
    virtual SQLRETURN substituteParameters(std::string& text, Descriptor* apd, Descriptor* ipd,
                                           SQLULEN row, char escapeChar);
    virtual std::string hexEncode(const unsigned char* bytes, std::size_t length);

    // --- Attribute setters ---------------------------------------------------
    virtual SQLRETURN setAttrAppParamDesc(Descriptor* descriptor);
    virtual SQLRETURN setAttrAppRowDesc(Descriptor* descriptor);
    virtual SQLRETURN setAttrAsyncEnable(SQLUINTEGER value);
    virtual SQLRETURN setAttrConcurrency(SQLUINTEGER value);
    virtual SQLRETURN setAttrCursorScrollable(SQLUINTEGER value);
    virtual SQLRETURN setAttrCursorSensitivity(SQLUINTEGER value);
    virtual SQLRETURN setAttrCursorType(SQLUINTEGER value);
    virtual SQLRETURN setAttrEnableAutoIpd(SQLUINTEGER value);
    virtual SQLRETURN setAttrFetchBookmarkPtr(SQLLEN* pointer);
    virtual SQLRETURN setAttrKeysetSize(SQLULEN value);
    virtual SQLRETURN setAttrMaxLength(SQLULEN value);
    virtual SQLRETURN setAttrMaxRows(SQLULEN value);
    virtual SQLRETURN setAttrMetadataId(SQLUINTEGER value);
    virtual SQLRETURN setAttrNoscan(SQLUINTEGER value);
    virtual SQLRETURN setAttrParamBindOffsetPtr(SQLLEN* pointer);
    virtual SQLRETURN setAttrParamBindType(SQLUINTEGER value);
    virtual SQLRETURN setAttrParamOperationPtr(SQLUSMALLINT* pointer);
    virtual SQLRETURN setAttrParamStatusPtr(SQLUSMALLINT* pointer);
    virtual SQLRETURN setAttrParamsProcessedPtr(SQLULEN* pointer);
    virtual SQLRETURN setAttrParamsetSize(SQLULEN value);
    virtual SQLRETURN setAttrQueryTimeout(SQLUINTEGER value);
    virtual SQLRETURN setAttrRetrieveData(SQLUINTEGER value);
    virtual SQLRETURN setAttrRowArraySize(SQLULEN value);
    virtual SQLRETURN setAttrRowBindOffsetPtr(SQLLEN* pointer);
    virtual SQLRETURN setAttrRowBindType(SQLUINTEGER value);
    virtual SQLRETURN setAttrRowOperationPtr(SQLUSMALLINT* pointer);
    virtual SQLRETURN setAttrRowStatusPtr(SQLUSMALLINT* pointer);
    virtual SQLRETURN setAttrRowsFetchedPtr(SQLULEN* pointer);
    virtual SQLRETURN setAttrSimulateCursor(SQLUINTEGER value);
    virtual SQLRETURN setAttrUseBookmarks(SQLUINTEGER value);

    // --- Attribute getters ---------------------------------------------------
    virtual Descriptor* getAttrAppParamDesc() const;
    virtual Descriptor* getAttrAppRowDesc() const;
    virtual SQLUINTEGER getAttrAsyncEnable() const;
    virtual SQLUINTEGER getAttrConcurrency() const;
    virtual SQLUINTEGER getAttrCursorScrollable() const;
    virtual SQLUINTEGER getAttrCursorSensitivity() const;
    virtual SQLUINTEGER getAttrCursorType() const;
    virtual SQLUINTEGER getAttrEnableAutoIpd() const;
    virtual SQLLEN* getAttrFetchBookmarkPtr() const;
    virtual Descriptor* getAttrImpParamDesc() const;
    virtual Descriptor* getAttrImpRowDesc() const;
    virtual SQLULEN getAttrKeysetSize() const;
    virtual SQLULEN getAttrMaxLength() const;
    virtual SQLULEN getAttrMaxRows() const;
    virtual SQLUINTEGER getAttrMetadataId() const;
    virtual SQLUINTEGER getAttrNoscan() const;
    virtual SQLLEN* getAttrParamBindOffsetPtr() const;
    virtual SQLUINTEGER getAttrParamBindType() const;
    virtual SQLUSMALLINT* getAttrParamOperationPtr() const;
    virtual SQLUSMALLINT* getAttrParamStatusPtr() const;
    virtual SQLULEN* getAttrParamsProcessedPtr() const;
    virtual SQLULEN getAttrParamsetSize() const;
    virtual SQLUINTEGER getAttrQueryTimeout() const;
    virtual SQLUINTEGER getAttrRetrieveData() const;
    virtual SQLULEN getAttrRowArraySize() const;
    virtual SQLLEN* getAttrRowBindOffsetPtr() const;
    virtual SQLUINTEGER getAttrRowBindType() const;
    virtual SQLULEN getAttrRowNumber() const;
    virtual SQLUSMALLINT* getAttrRowOperationPtr() const;
    virtual SQLUSMALLINT* getAttrRowStatusPtr() const;
    virtual SQLULEN* getAttrRowsFetchedPtr() const;
    virtual SQLUINTEGER getAttrSimulateCursor() const;
    virtual SQLUINTEGER getAttrUseBookmarks() const;

    // --- Last ----------------------------------------------------------------
    // The connection's cursor attributes for the current cursor type.
    virtual SQLUINTEGER cursorAttributes1();
    virtual SQLUINTEGER cursorAttributes2();
    virtual SQLULEN fetchedRowCount() const;
    // Stores the row count and writes it through SQL_ATTR_ROWS_FETCHED_PTR.
    virtual void setRowCount(SQLLEN count);
    // SQL_SUCCESS when a column of the IRD record may be read as
    // `valueType`, else SQL_ERROR.
    virtual SQLRETURN validateConversion(SQLSMALLINT valueType, DescriptorRecord* record);

    // --- Not part of the ODBC surface ----------------------------------------
    // Called by an explicit descriptor that is being freed: wherever this
    // statement uses it as APD or ARD, the implicit descriptor comes back.
    virtual void detachDescriptor(Descriptor* descriptor);
    StatementState state() const { return state_; }
    Recordset* recordset() const { return recordset_.get(); }
    // Replaces the recordset; the old one is deleted.
    virtual void setRecordset(std::unique_ptr<Recordset> recordset);

  protected:
    // Posts a SQLSTATE in front with native 0, column and row -1.
    void postState(const char* state, const char* message = "");
    // Appends copies of `from`'s records from `firstRecord` on to `to`.
    static void appendRecords(const DiagnosticHeader& from, SQLSMALLINT firstRecord,
                              DiagnosticHeader& to);
    // Deletes the recordset, if any.
    void releaseRecordset();
    // Deletes the recordset; an open server cursor behind it is closed.
    void discardResult();
    // Clears the IRD records, the loaded-row count and the rowset position.
    void resetResultDescription();
    void markBeforeStart() {
        beforeStart_ = true;
        afterEnd_ = false;
    }
    // Shared tail of execDirect, execute and the last paramData: run the
    // hook, open a declared cursor, and derive the state from the recordset.
    SQLRETURN executeAndOpen();
    // Wide parameter text (32-bit units, or 16-bit ones for hosts that send
    // those) as UTF-8; `bound` is the buffer length, 0 when unknown.
    std::string wideParameterText(const void* value, SQLLEN length, SQLLEN bound);
    // Text bound to a parameter as a literal for its SQL type: escaped and
    // quoted, and bare only when it is a number for a non-character type.
    std::string textLiteral(const std::string& text, SQLSMALLINT sqlType);
    // Shared steps of the catalog and type-information results: the one
    // ODBC 2 layout test (names, columns and row cells alike), and the
    // in-memory result with its IRD columns and per-rowset arrays, after
    // which the statement is in state 4 ("HY001" when memory runs out).
    // Columns are described in StatementCatalog.cpp.
    struct ResultColumn;
    bool usesOdbc2Layout() const;
    SQLRETURN openMemoryResult(const ResultColumn* columns, std::size_t count, bool odbc2Layout);

    Connection* connection_;
    DiagnosticHeader diagnostics_;
    std::int64_t startSeconds_ = 0;
    std::int64_t startMicroseconds_ = 0;
    Descriptor* currentApd_ = nullptr;
    Descriptor* currentArd_ = nullptr;
    std::unique_ptr<Descriptor> ipd_;
    std::unique_ptr<Descriptor> ird_;
    SQLULEN pendingParameter_ = 0;
    std::unique_ptr<Recordset> recordset_;
    std::unique_ptr<Descriptor> implicitApd_;
    std::unique_ptr<Descriptor> implicitArd_;

    SQLUINTEGER asyncEnable_ = SQL_ASYNC_ENABLE_OFF;
    SQLUINTEGER concurrency_ = SQL_CONCUR_READ_ONLY;
    SQLUINTEGER cursorScrollable_ = SQL_NONSCROLLABLE;
    SQLUINTEGER cursorSensitivity_ = SQL_UNSPECIFIED;
    SQLUINTEGER cursorType_ = SQL_CURSOR_FORWARD_ONLY;
    SQLUINTEGER enableAutoIpd_ = SQL_FALSE;
    SQLLEN* fetchBookmarkPtr_ = nullptr;
    SQLULEN keysetSize_ = 0;
    SQLULEN maxLength_ = 0;
    SQLULEN maxRows_ = 0;
    SQLUINTEGER metadataId_ = SQL_FALSE;
    SQLUINTEGER noscan_ = SQL_NOSCAN_OFF;
    SQLUINTEGER queryTimeout_ = 0;
    SQLUINTEGER retrieveData_ = SQL_RD_ON;
    SQLULEN rowNumber_ = 0;
    SQLUINTEGER simulateCursor_ = 0;
    SQLUINTEGER useBookmarks_ = SQL_UB_OFF;

    // Set when declareCursor turned the current text into a declaration.
    bool serverCursor_ = false;
    std::uint64_t nameCounter_ = 0;
    StatementState state_ = StatementState::Allocated;
    bool beforeStart_ = true;
    bool afterEnd_ = false;
    // Rows counted into the rowset being loaded; -1 means no rowset.
    SQLLEN rowsetPosition_ = -1;
    // Non-zero when the recordset's current row was consumed already.
    SQLLEN pendingRow_ = 0;
    std::string cursorName_;
    std::string preparedText_;
    std::string sqlText_;
    SQLLEN rowCount_ = -1;
    SQLULEN rowsLoaded_ = 0;

  private:
    // Switches the current APD or ARD, keeping the descriptors' lists of
    // statements that use them in step.
    void useDescriptor(Descriptor*& current, Descriptor* implicit, Descriptor* next);
    SQLRETURN applyStateRule();
    SQLRETURN applyBookmarkRule();
    SQLRETURN clipToLimits(SQLULEN value, SQLULEN minimum, SQLULEN maximum, SQLULEN& stored);
};
