#pragma once

#include <sql.h>
#include <sqlext.h>

#include <cstddef>
#include <cstdint>
#include <string>

// The information items of SQLGetInfo, the limits the attribute setters
// clip against and the supported functions, each kept as one list. The
// connection's info operations, their defaults and the dispatch by info
// type are all generated from these lists.

// ODBC 3.5 defines it; iODBC's headers lack it.
#ifndef SQL_CONVERT_GUID
#define SQL_CONVERT_GUID 173
#endif

// How an item's answer is produced and written into the caller's buffer.
enum class InfoShape : std::uint8_t {
    Text,          // copied out as text
    UShort,        // 2 bytes
    UInt,          // 4 bytes
    Signed16As32,  // produced as 16 bits, written as 4 with the sign extended
};

template <InfoShape Shape>
struct InfoValueOf;
template <>
struct InfoValueOf<InfoShape::Text> {
    using type = std::string;
};
template <>
struct InfoValueOf<InfoShape::UShort> {
    using type = SQLUSMALLINT;
};
template <>
struct InfoValueOf<InfoShape::UInt> {
    using type = SQLUINTEGER;
};
template <>
struct InfoValueOf<InfoShape::Signed16As32> {
    using type = SQLSMALLINT;
};
template <InfoShape Shape>
using InfoValue = typename InfoValueOf<Shape>::type;

// One row per information item, in the order of the ODBC SQLGetInfo
// reference (conversion types in its own order, SQL_OUTER_JOINS before
// SQL_ORDER_BY_COLUMNS_IN_SELECT):
//   X(info type, operation name after "info", shape, value kind, default)
// The default is an expression evaluated inside the connection. The value
// kind is what getInfoValueType reports; for a few items it is not the
// width written, and SQLGetInfoW only tells text from the rest.
#define MORVANEX_INFO_ITEMS(X)                                                                     \
    X(SQL_ACCESSIBLE_PROCEDURES, AccessibleProcedures, Text, SQL_IS_POINTER, "Y")                  \
    X(SQL_ACCESSIBLE_TABLES, AccessibleTables, Text, SQL_IS_POINTER, "Y")                          \
    X(SQL_ACTIVE_ENVIRONMENTS, ActiveEnvironments, UShort, SQL_IS_UINTEGER, 0)                     \
    X(SQL_AGGREGATE_FUNCTIONS, AggregateFunctions, UInt, SQL_IS_UINTEGER, 127)                     \
    X(SQL_ALTER_DOMAIN, AlterDomain, UInt, SQL_IS_UINTEGER, 159)                                   \
    X(SQL_ALTER_TABLE, AlterTable, UInt, SQL_IS_UINTEGER, 323560)                                  \
    X(SQL_ASYNC_MODE, AsyncMode, UInt, SQL_IS_USMALLINT, 0)                                        \
    X(SQL_BATCH_ROW_COUNT, BatchRowCount, UInt, SQL_IS_UINTEGER, 7)                                \
    X(SQL_BATCH_SUPPORT, BatchSupport, UInt, SQL_IS_UINTEGER, 15)                                  \
    X(SQL_BOOKMARK_PERSISTENCE, BookmarkPersistence, UInt, SQL_IS_UINTEGER, 0)                     \
    X(SQL_CATALOG_LOCATION, CatalogLocation, UShort, SQL_IS_USMALLINT, 1)                          \
    X(SQL_CATALOG_NAME, CatalogName, Text, SQL_IS_POINTER, "Y")                                    \
    X(SQL_CATALOG_NAME_SEPARATOR, CatalogNameSeparator, Text, SQL_IS_POINTER, ".")                 \
    X(SQL_CATALOG_TERM, CatalogTerm, Text, SQL_IS_POINTER, "catalog")                              \
    X(SQL_CATALOG_USAGE, CatalogUsage, UInt, SQL_IS_UINTEGER, 31)                                  \
    X(SQL_COLLATION_SEQ, CollationSeq, Text, SQL_IS_POINTER, "")                                   \
    X(SQL_COLUMN_ALIAS, ColumnAlias, Text, SQL_IS_POINTER, "Y")                                    \
    X(SQL_CONCAT_NULL_BEHAVIOR, ConcatNullBehavior, UShort, SQL_IS_USMALLINT, 0)                   \
    X(SQL_CONVERT_BIGINT, ConvertBigint, UInt, SQL_IS_UINTEGER, 0)                                 \
    X(SQL_CONVERT_BINARY, ConvertBinary, UInt, SQL_IS_UINTEGER, 0)                                 \
    X(SQL_CONVERT_BIT, ConvertBit, UInt, SQL_IS_UINTEGER, 0)                                       \
    X(SQL_CONVERT_CHAR, ConvertChar, UInt, SQL_IS_UINTEGER, 0)                                     \
    X(SQL_CONVERT_GUID, ConvertGuid, UInt, SQL_IS_UINTEGER, 0)                                     \
    X(SQL_CONVERT_DATE, ConvertDate, UInt, SQL_IS_UINTEGER, 0)                                     \
    X(SQL_CONVERT_DECIMAL, ConvertDecimal, UInt, SQL_IS_UINTEGER, 0)                               \
    X(SQL_CONVERT_DOUBLE, ConvertDouble, UInt, SQL_IS_UINTEGER, 0)                                 \
    X(SQL_CONVERT_FLOAT, ConvertFloat, UInt, SQL_IS_UINTEGER, 0)                                   \
    X(SQL_CONVERT_INTEGER, ConvertInteger, UInt, SQL_IS_UINTEGER, 0)                               \
    X(SQL_CONVERT_INTERVAL_YEAR_MONTH, ConvertIntervalYearMonth, UInt, SQL_IS_UINTEGER, 0)         \
    X(SQL_CONVERT_INTERVAL_DAY_TIME, ConvertIntervalDayTime, UInt, SQL_IS_UINTEGER, 0)             \
    X(SQL_CONVERT_LONGVARBINARY, ConvertLongvarbinary, UInt, SQL_IS_UINTEGER, 0)                   \
    X(SQL_CONVERT_LONGVARCHAR, ConvertLongvarchar, UInt, SQL_IS_UINTEGER, 0)                       \
    X(SQL_CONVERT_NUMERIC, ConvertNumeric, UInt, SQL_IS_UINTEGER, 0)                               \
    X(SQL_CONVERT_REAL, ConvertReal, UInt, SQL_IS_UINTEGER, 0)                                     \
    X(SQL_CONVERT_SMALLINT, ConvertSmallint, UInt, SQL_IS_UINTEGER, 0)                             \
    X(SQL_CONVERT_TIME, ConvertTime, UInt, SQL_IS_UINTEGER, 0)                                     \
    X(SQL_CONVERT_TIMESTAMP, ConvertTimestamp, UInt, SQL_IS_UINTEGER, 0)                           \
    X(SQL_CONVERT_TINYINT, ConvertTinyint, UInt, SQL_IS_UINTEGER, 0)                               \
    X(SQL_CONVERT_VARBINARY, ConvertVarbinary, UInt, SQL_IS_UINTEGER, 0)                           \
    X(SQL_CONVERT_VARCHAR, ConvertVarchar, UInt, SQL_IS_UINTEGER, 0)                               \
    X(SQL_CONVERT_FUNCTIONS, ConvertFunctions, UInt, SQL_IS_UINTEGER, 3)                           \
    X(SQL_CORRELATION_NAME, CorrelationName, UShort, SQL_IS_USMALLINT, 2)                          \
    X(SQL_CREATE_ASSERTION, CreateAssertion, UInt, SQL_IS_UINTEGER, 241)                           \
    X(SQL_CREATE_CHARACTER_SET, CreateCharacterSet, UInt, SQL_IS_UINTEGER, 7)                      \
    X(SQL_CREATE_COLLATION, CreateCollation, UInt, SQL_IS_UINTEGER, 1)                             \
    X(SQL_CREATE_DOMAIN, CreateDomain, UInt, SQL_IS_UINTEGER, 1)                                   \
    X(SQL_CREATE_SCHEMA, CreateSchema, UInt, SQL_IS_UINTEGER, 7)                                   \
    X(SQL_CREATE_TABLE, CreateTable, UInt, SQL_IS_UINTEGER, 7709)                                  \
    X(SQL_CREATE_TRANSLATION, CreateTranslation, UInt, SQL_IS_UINTEGER, 1)                         \
    X(SQL_CREATE_VIEW, CreateView, UInt, SQL_IS_UINTEGER, 3)                                       \
    X(SQL_CURSOR_COMMIT_BEHAVIOR, CursorCommitBehavior, UShort, SQL_IS_USMALLINT, 1)               \
    X(SQL_CURSOR_ROLLBACK_BEHAVIOR, CursorRollbackBehavior, UShort, SQL_IS_USMALLINT, 1)           \
    X(SQL_CURSOR_SENSITIVITY, CursorSensitivity, UInt, SQL_IS_USMALLINT, 1)                        \
    X(SQL_DATA_SOURCE_NAME, DataSourceName, Text, SQL_IS_POINTER, dataSourceName_)                 \
    X(SQL_DATA_SOURCE_READ_ONLY, DataSourceReadOnly, Text, SQL_IS_POINTER, "N")                    \
    X(SQL_DATABASE_NAME, DatabaseName, Text, SQL_IS_POINTER, databaseName_)                        \
    X(SQL_DATETIME_LITERALS, DatetimeLiterals, UInt, SQL_IS_UINTEGER, 65535)                       \
    X(SQL_DBMS_NAME, DbmsName, Text, SQL_IS_POINTER, "")                                           \
    X(SQL_DBMS_VER, DbmsVer, Text, SQL_IS_POINTER, "")                                             \
    X(SQL_DDL_INDEX, DdlIndex, UInt, SQL_IS_UINTEGER, 3)                                           \
    X(SQL_DEFAULT_TXN_ISOLATION, DefaultTxnIsolation, UInt, SQL_IS_UINTEGER, 2)                    \
    X(SQL_DESCRIBE_PARAMETER, DescribeParameter, Text, SQL_IS_POINTER, "Y")                        \
    X(SQL_DRIVER_NAME, DriverName, Text, SQL_IS_POINTER, driverFileNameText())                     \
    X(SQL_DRIVER_ODBC_VER, DriverOdbcVer, Text, SQL_IS_POINTER, "03.00")                           \
    X(SQL_DRIVER_VER, DriverVer, Text, SQL_IS_POINTER, driverBundleVersion())                      \
    X(SQL_DROP_ASSERTION, DropAssertion, UInt, SQL_IS_UINTEGER, 1)                                 \
    X(SQL_DROP_CHARACTER_SET, DropCharacterSet, UInt, SQL_IS_UINTEGER, 1)                          \
    X(SQL_DROP_COLLATION, DropCollation, UInt, SQL_IS_UINTEGER, 1)                                 \
    X(SQL_DROP_DOMAIN, DropDomain, UInt, SQL_IS_UINTEGER, 7)                                       \
    X(SQL_DROP_SCHEMA, DropSchema, UInt, SQL_IS_UINTEGER, 7)                                       \
    X(SQL_DROP_TABLE, DropTable, UInt, SQL_IS_UINTEGER, 7)                                         \
    X(SQL_DROP_TRANSLATION, DropTranslation, UInt, SQL_IS_UINTEGER, 1)                             \
    X(SQL_DROP_VIEW, DropView, UInt, SQL_IS_UINTEGER, 7)                                           \
    X(SQL_DYNAMIC_CURSOR_ATTRIBUTES1, DynamicCursorAttributes1, UInt, SQL_IS_UINTEGER, 0)          \
    X(SQL_DYNAMIC_CURSOR_ATTRIBUTES2, DynamicCursorAttributes2, UInt, SQL_IS_UINTEGER, 0)          \
    X(SQL_EXPRESSIONS_IN_ORDERBY, ExpressionsInOrderby, Text, SQL_IS_POINTER, "Y")                 \
    X(SQL_FETCH_DIRECTION, FetchDirection, Signed16As32, SQL_IS_INTEGER, 1)                        \
    X(SQL_FILE_USAGE, FileUsage, UShort, SQL_IS_USMALLINT, 0)                                      \
    X(SQL_FORWARD_ONLY_CURSOR_ATTRIBUTES1, ForwardOnlyCursorAttributes1, UInt, SQL_IS_UINTEGER,    \
      122881)                                                                                      \
    X(SQL_FORWARD_ONLY_CURSOR_ATTRIBUTES2, ForwardOnlyCursorAttributes2, UInt, SQL_IS_UINTEGER,    \
      20361)                                                                                       \
    X(SQL_GETDATA_EXTENSIONS, GetdataExtensions, UInt, SQL_IS_UINTEGER, 15)                        \
    X(SQL_GROUP_BY, GroupBy, UShort, SQL_IS_USMALLINT, 4)                                          \
    X(SQL_IDENTIFIER_CASE, IdentifierCase, UShort, SQL_IS_USMALLINT, 4)                            \
    X(SQL_IDENTIFIER_QUOTE_CHAR, IdentifierQuoteChar, Text, SQL_IS_POINTER, "\"")                  \
    X(SQL_INDEX_KEYWORDS, IndexKeywords, UInt, SQL_IS_UINTEGER, 3)                                 \
    X(SQL_INFO_SCHEMA_VIEWS, InfoSchemaViews, UInt, SQL_IS_UINTEGER, 8323071)                      \
    X(SQL_INSERT_STATEMENT, InsertStatement, UInt, SQL_IS_UINTEGER, 7)                             \
    X(SQL_INTEGRITY, Integrity, Text, SQL_IS_POINTER, "Y")                                         \
    X(SQL_KEYSET_CURSOR_ATTRIBUTES1, KeysetCursorAttributes1, UInt, SQL_IS_UINTEGER, 0)            \
    X(SQL_KEYSET_CURSOR_ATTRIBUTES2, KeysetCursorAttributes2, UInt, SQL_IS_UINTEGER, 0)            \
    X(SQL_KEYWORDS, Keywords, Text, SQL_IS_POINTER, "")                                            \
    X(SQL_LIKE_ESCAPE_CLAUSE, LikeEscapeClause, Text, SQL_IS_POINTER, "Y")                         \
    X(SQL_LOCK_TYPES, LockTypes, UInt, SQL_IS_INTEGER, 1)                                          \
    X(SQL_MAX_ASYNC_CONCURRENT_STATEMENTS, MaxAsyncConcurrentStatements, UInt, SQL_IS_UINTEGER, 0) \
    X(SQL_MAX_BINARY_LITERAL_LEN, MaxBinaryLiteralLen, UInt, SQL_IS_UINTEGER, 0)                   \
    X(SQL_MAX_CATALOG_NAME_LEN, MaxCatalogNameLen, UShort, SQL_IS_USMALLINT, 0)                    \
    X(SQL_MAX_CHAR_LITERAL_LEN, MaxCharLiteralLen, UInt, SQL_IS_UINTEGER, 0)                       \
    X(SQL_MAX_COLUMN_NAME_LEN, MaxColumnNameLen, UShort, SQL_IS_USMALLINT, 0)                      \
    X(SQL_MAX_COLUMNS_IN_GROUP_BY, MaxColumnsInGroupBy, UShort, SQL_IS_USMALLINT, 0)               \
    X(SQL_MAX_COLUMNS_IN_INDEX, MaxColumnsInIndex, UShort, SQL_IS_USMALLINT, 0)                    \
    X(SQL_MAX_COLUMNS_IN_ORDER_BY, MaxColumnsInOrderBy, UShort, SQL_IS_USMALLINT, 0)               \
    X(SQL_MAX_COLUMNS_IN_SELECT, MaxColumnsInSelect, UShort, SQL_IS_USMALLINT, 0)                  \
    X(SQL_MAX_COLUMNS_IN_TABLE, MaxColumnsInTable, UShort, SQL_IS_USMALLINT, 0)                    \
    X(SQL_MAX_CONCURRENT_ACTIVITIES, MaxConcurrentActivities, UShort, SQL_IS_USMALLINT, 0)         \
    X(SQL_MAX_CURSOR_NAME_LEN, MaxCursorNameLen, UShort, SQL_IS_USMALLINT, 0)                      \
    X(SQL_MAX_DRIVER_CONNECTIONS, MaxDriverConnections, UShort, SQL_IS_USMALLINT, 0)               \
    X(SQL_MAX_IDENTIFIER_LEN, MaxIdentifierLen, UShort, SQL_IS_USMALLINT, 0)                       \
    X(SQL_MAX_INDEX_SIZE, MaxIndexSize, UInt, SQL_IS_UINTEGER, 0)                                  \
    X(SQL_MAX_PROCEDURE_NAME_LEN, MaxProcedureNameLen, UShort, SQL_IS_USMALLINT, 0)                \
    X(SQL_MAX_ROW_SIZE, MaxRowSize, UInt, SQL_IS_UINTEGER, 0)                                      \
    X(SQL_MAX_ROW_SIZE_INCLUDES_LONG, MaxRowSizeIncludesLong, Text, SQL_IS_POINTER, "Y")           \
    X(SQL_MAX_SCHEMA_NAME_LEN, MaxSchemaNameLen, UShort, SQL_IS_UINTEGER, 0)                       \
    X(SQL_MAX_STATEMENT_LEN, MaxStatementLen, UInt, SQL_IS_UINTEGER, 0)                            \
    X(SQL_MAX_TABLE_NAME_LEN, MaxTableNameLen, UShort, SQL_IS_USMALLINT, 0)                        \
    X(SQL_MAX_TABLES_IN_SELECT, MaxTablesInSelect, UShort, SQL_IS_USMALLINT, 0)                    \
    X(SQL_MAX_USER_NAME_LEN, MaxUserNameLen, UShort, SQL_IS_USMALLINT, 0)                          \
    X(SQL_MULT_RESULT_SETS, MultResultSets, Text, SQL_IS_POINTER, "Y")                             \
    X(SQL_MULTIPLE_ACTIVE_TXN, MultipleActiveTxn, Text, SQL_IS_POINTER, "Y")                       \
    X(SQL_NEED_LONG_DATA_LEN, NeedLongDataLen, Text, SQL_IS_POINTER, "Y")                          \
    X(SQL_NON_NULLABLE_COLUMNS, NonNullableColumns, UShort, SQL_IS_USMALLINT, 1)                   \
    X(SQL_NULL_COLLATION, NullCollation, UShort, SQL_IS_USMALLINT, 2)                              \
    X(SQL_NUMERIC_FUNCTIONS, NumericFunctions, UInt, SQL_IS_UINTEGER, 16777215)                    \
    X(SQL_ODBC_API_CONFORMANCE, OdbcApiConformance, UShort, SQL_IS_SMALLINT, 1)                    \
    X(SQL_ODBC_INTERFACE_CONFORMANCE, OdbcInterfaceConformance, UInt, SQL_IS_USMALLINT, 2)         \
    X(SQL_ODBC_SQL_CONFORMANCE, OdbcSqlConformance, UShort, SQL_IS_SMALLINT, 1)                    \
    X(SQL_OJ_CAPABILITIES, OjCapabilities, UInt, SQL_IS_UINTEGER, 127)                             \
    X(SQL_OUTER_JOINS, OuterJoins, Text, SQL_IS_POINTER, "Y")                                      \
    X(SQL_ORDER_BY_COLUMNS_IN_SELECT, OrderByColumnsInSelect, Text, SQL_IS_POINTER, "Y")           \
    X(SQL_PARAM_ARRAY_ROW_COUNTS, ParamArrayRowCounts, UInt, SQL_IS_USMALLINT, 1)                  \
    X(SQL_PARAM_ARRAY_SELECTS, ParamArraySelects, UInt, SQL_IS_USMALLINT, 1)                       \
    X(SQL_POS_OPERATIONS, PosOperations, UInt, SQL_IS_UINTEGER, 31)                                \
    X(SQL_POSITIONED_STATEMENTS, PositionedStatements, UInt, SQL_IS_INTEGER, 0)                    \
    X(SQL_PROCEDURE_TERM, ProcedureTerm, Text, SQL_IS_POINTER, "procedure")                        \
    X(SQL_PROCEDURES, Procedures, Text, SQL_IS_POINTER, "Y")                                       \
    X(SQL_QUOTED_IDENTIFIER_CASE, QuotedIdentifierCase, UShort, SQL_IS_USMALLINT, 3)               \
    X(SQL_ROW_UPDATES, RowUpdates, Text, SQL_IS_POINTER, "Y")                                      \
    X(SQL_SCHEMA_TERM, SchemaTerm, Text, SQL_IS_POINTER, "schema")                                 \
    X(SQL_SCHEMA_USAGE, SchemaUsage, UInt, SQL_IS_UINTEGER, 21)                                    \
    X(SQL_SCROLL_CONCURRENCY, ScrollConcurrency, UInt, SQL_IS_INTEGER, 1)                          \
    X(SQL_SCROLL_OPTIONS, ScrollOptions, UInt, SQL_IS_UINTEGER, 31)                                \
    X(SQL_SEARCH_PATTERN_ESCAPE, SearchPatternEscape, Text, SQL_IS_POINTER, "")                    \
    X(SQL_SERVER_NAME, ServerName, Text, SQL_IS_POINTER, serverName_)                              \
    X(SQL_SPECIAL_CHARACTERS, SpecialCharacters, Text, SQL_IS_POINTER, "")                         \
    X(SQL_SQL_CONFORMANCE, SqlConformance, UInt, SQL_IS_USMALLINT, 8)                              \
    X(SQL_SQL92_DATETIME_FUNCTIONS, Sql92DatetimeFunctions, UInt, SQL_IS_UINTEGER, 7)              \
    X(SQL_SQL92_FOREIGN_KEY_DELETE_RULE, Sql92ForeignKeyDeleteRule, UInt, SQL_IS_UINTEGER, 15)     \
    X(SQL_SQL92_FOREIGN_KEY_UPDATE_RULE, Sql92ForeignKeyUpdateRule, UInt, SQL_IS_UINTEGER, 15)     \
    X(SQL_SQL92_GRANT, Sql92Grant, UInt, SQL_IS_UINTEGER, 8191)                                    \
    X(SQL_SQL92_NUMERIC_VALUE_FUNCTIONS, Sql92NumericValueFunctions, UInt, SQL_IS_UINTEGER, 63)    \
    X(SQL_SQL92_PREDICATES, Sql92Predicates, UInt, SQL_IS_UINTEGER, 16383)                         \
    X(SQL_SQL92_RELATIONAL_JOIN_OPERATORS, Sql92RelationalJoinOperators, UInt, SQL_IS_UINTEGER,    \
      1023)                                                                                        \
    X(SQL_SQL92_REVOKE, Sql92Revoke, UInt, SQL_IS_UINTEGER, 32767)                                 \
    X(SQL_SQL92_ROW_VALUE_CONSTRUCTOR, Sql92RowValueConstructor, UInt, SQL_IS_UINTEGER, 15)        \
    X(SQL_SQL92_STRING_FUNCTIONS, Sql92StringFunctions, UInt, SQL_IS_UINTEGER, 255)                \
    X(SQL_SQL92_VALUE_EXPRESSIONS, Sql92ValueExpressions, UInt, SQL_IS_UINTEGER, 15)               \
    X(SQL_STANDARD_CLI_CONFORMANCE, StandardCliConformance, UInt, SQL_IS_USMALLINT, 2)             \
    X(SQL_STATIC_CURSOR_ATTRIBUTES1, StaticCursorAttributes1, UInt, SQL_IS_UINTEGER, 130639)       \
    X(SQL_STATIC_CURSOR_ATTRIBUTES2, StaticCursorAttributes2, UInt, SQL_IS_UINTEGER, 24457)        \
    X(SQL_STATIC_SENSITIVITY, StaticSensitivity, UInt, SQL_IS_INTEGER, 0)                          \
    X(SQL_STRING_FUNCTIONS, StringFunctions, UInt, SQL_IS_UINTEGER, 16777215)                      \
    X(SQL_SUBQUERIES, Subqueries, UInt, SQL_IS_UINTEGER, 31)                                       \
    X(SQL_SYSTEM_FUNCTIONS, SystemFunctions, UInt, SQL_IS_UINTEGER, 7)                             \
    X(SQL_TABLE_TERM, TableTerm, Text, SQL_IS_POINTER, "table")                                    \
    X(SQL_TIMEDATE_ADD_INTERVALS, TimedateAddIntervals, UInt, SQL_IS_UINTEGER, 511)                \
    X(SQL_TIMEDATE_DIFF_INTERVALS, TimedateDiffIntervals, UInt, SQL_IS_UINTEGER, 511)              \
    X(SQL_TIMEDATE_FUNCTIONS, TimedateFunctions, UInt, SQL_IS_UINTEGER, 2097151)                   \
    X(SQL_TXN_CAPABLE, TxnCapable, UShort, SQL_IS_USMALLINT, 2)                                    \
    X(SQL_TXN_ISOLATION_OPTION, TxnIsolationOption, UInt, SQL_IS_UINTEGER, 2)                      \
    X(SQL_UNION, Union, UInt, SQL_IS_UINTEGER, 3)                                                  \
    X(SQL_USER_NAME, UserName, Text, SQL_IS_POINTER, userName_)

// The limits the attribute setters clip against; 0 means no limit.
#define MORVANEX_CONNECTION_LIMITS(X) \
    X(keysetSizeMax)                  \
    X(maxLengthMin)                   \
    X(maxLengthMax)                   \
    X(queryTimeoutMin)                \
    X(queryTimeoutMax)                \
    X(connectionTimeoutMax)           \
    X(loginTimeoutMax)                \
    X(packetSizeMin)                  \
    X(packetSizeMax)

// Dispatch facts of one item, for callers that need them without a
// connection (and for the tests that check the list).
struct InfoItemRow {
    SQLUSMALLINT code;
    const char* name;
    InfoShape shape;
    SQLSMALLINT kind;
};

inline constexpr InfoItemRow kInfoItems[] = {
#define MORVANEX_INFO_ROW(code, Name, shape, kind, value) {code, #code, InfoShape::shape, kind},
    MORVANEX_INFO_ITEMS(MORVANEX_INFO_ROW)
#undef MORVANEX_INFO_ROW
};

// The row of an info type, or null when the type has no item.
const InfoItemRow* findInfoItem(SQLUSMALLINT infoType);

// The SQL_API_ identifiers the base connection supports, in table order
// (identifier 6 stands twice, under both of its names).
inline constexpr SQLUSMALLINT kBaseSupportedFunctions[] = {
    SQL_API_SQLALLOCCONNECT,   SQL_API_SQLALLOCENV,         SQL_API_SQLALLOCHANDLE,
    SQL_API_SQLALLOCSTMT,      SQL_API_SQLBINDCOL,          SQL_API_SQLBINDPARAMETER,
    SQL_API_SQLBULKOPERATIONS, SQL_API_SQLCANCEL,           SQL_API_SQLCLOSECURSOR,
    SQL_API_SQLCOLATTRIBUTE,   SQL_API_SQLCOLATTRIBUTES,    SQL_API_SQLCOLUMNPRIVILEGES,
    SQL_API_SQLCOLUMNS,        SQL_API_SQLCONNECT,          SQL_API_SQLCOPYDESC,
    SQL_API_SQLDESCRIBECOL,    SQL_API_SQLDESCRIBEPARAM,    SQL_API_SQLDISCONNECT,
    SQL_API_SQLDRIVERCONNECT,  SQL_API_SQLENDTRAN,          SQL_API_SQLERROR,
    SQL_API_SQLEXECDIRECT,     SQL_API_SQLEXECUTE,          SQL_API_SQLEXTENDEDFETCH,
    SQL_API_SQLFETCH,          SQL_API_SQLFETCHSCROLL,      SQL_API_SQLFOREIGNKEYS,
    SQL_API_SQLFREECONNECT,    SQL_API_SQLFREEENV,          SQL_API_SQLFREEHANDLE,
    SQL_API_SQLFREESTMT,       SQL_API_SQLGETCONNECTATTR,   SQL_API_SQLGETCONNECTOPTION,
    SQL_API_SQLGETCURSORNAME,  SQL_API_SQLGETDATA,          SQL_API_SQLGETDESCFIELD,
    SQL_API_SQLGETDESCREC,     SQL_API_SQLGETDIAGFIELD,     SQL_API_SQLGETDIAGREC,
    SQL_API_SQLGETENVATTR,     SQL_API_SQLGETFUNCTIONS,     SQL_API_SQLGETINFO,
    SQL_API_SQLGETSTMTATTR,    SQL_API_SQLGETSTMTOPTION,    SQL_API_SQLGETTYPEINFO,
    SQL_API_SQLMORERESULTS,    SQL_API_SQLNATIVESQL,        SQL_API_SQLNUMPARAMS,
    SQL_API_SQLNUMRESULTCOLS,  SQL_API_SQLPARAMDATA,        SQL_API_SQLPARAMOPTIONS,
    SQL_API_SQLPREPARE,        SQL_API_SQLPRIMARYKEYS,      SQL_API_SQLPROCEDURECOLUMNS,
    SQL_API_SQLPROCEDURES,     SQL_API_SQLPUTDATA,          SQL_API_SQLROWCOUNT,
    SQL_API_SQLSETCONNECTATTR, SQL_API_SQLSETCONNECTOPTION, SQL_API_SQLSETCURSORNAME,
    SQL_API_SQLSETDESCFIELD,   SQL_API_SQLSETDESCREC,       SQL_API_SQLSETENVATTR,
    SQL_API_SQLSETPOS,         SQL_API_SQLSETSTMTATTR,      SQL_API_SQLSETSTMTOPTION,
    SQL_API_SQLSPECIALCOLUMNS, SQL_API_SQLSTATISTICS,       SQL_API_SQLTABLEPRIVILEGES,
    SQL_API_SQLTABLES,         SQL_API_SQLTRANSACT,
};
