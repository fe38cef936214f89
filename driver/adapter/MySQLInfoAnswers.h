#pragma once

#include <sql.h>
#include <sqlext.h>

#include <cstdint>

// What the MySQL face answers about itself: the SQLGetInfo items it changes
// and the functions it reports. Every other item keeps the connection
// base's answer (driver/core/InfoItems.h).

// Server versions at which answers change, as major * 10000 + minor * 100 + patch.
inline constexpr std::uint64_t kMySqlVersion50 = 50000;
inline constexpr std::uint64_t kMySqlVersion51 = 50100;

// Reserved words reported by SQL_KEYWORDS, per server generation.
inline constexpr const char* kMySqlKeywords40 =
    "ANALYZE,BEFORE,BIGINT,BINARY,BLOB,CHANGE,COLUMNS,DATABASE,DATABASES,DAY_HOUR,DAY_"
    "MICROSECOND,DAY_MINUTE,DAY_SECOND,DELAYED,DISTINCTROW,DIV,DUAL,ENCLOSED,ESCAPED,EXPLAIN,"
    "FIELDS,FLOAT4,FLOAT8,FORCE,FULLTEXT,HIGH_PRIORITY,HOUR_MICROSECOND,HOUR_MINUTE,HOUR_SECOND,"
    "IF,IGNORE,INFILE,INT1,INT2,INT3,INT4,INT8,KEYS,KILL,LIMIT,LINES,LOAD,LOCALTIME,"
    "LOCALTIMESTAMP,LOCK,LONG,LONGBLOB,LONGTEXT,LOW_PRIORITY,MEDIUMBLOB,MEDIUMINT,MEDIUMTEXT,"
    "MIDDLEINT,MINUTE_MICROSECOND,MINUTE_SECOND,MOD,NO_WRITE_TO_BINLOG,OPTIMIZE,OPTIONALLY,"
    "OUTFILE,PURGE,RAID0,REGEXP,RENAME,REPLACE,REQUIRE,RLIKE,SECOND_MICROSECOND,SEPARATOR,SHOW,"
    "SONAME,SPATIAL,SQL_BIG_RESULT,SQL_CALC_FOUND_ROWS,SQL_SMALL_RESULT,SSL,STARTING,STRAIGHT_"
    "JOIN,TABLES,TERMINATED,TINYBLOB,TINYINT,TINYTEXT,UNLOCK,UNSIGNED,USE,UTC_DATE,UTC_TIME,UTC_"
    "TIMESTAMP,VARBINARY,VARCHARACTER,X509,XOR,YEAR_MONTH,ZEROFILL";
inline constexpr const char* kMySqlKeywords50 =
    "ANALYZE,ASENSITIVE,BEFORE,BIGINT,BINARY,BLOB,CALL,CHANGE,CONDITION,DATABASE,DATABASES,DAY_"
    "HOUR,DAY_MICROSECOND,DAY_MINUTE,DAY_SECOND,DELAYED,DETERMINISTIC,DISTINCTROW,DIV,DUAL,EACH,"
    "ELSEIF,ENCLOSED,ESCAPED,EXIT,EXPLAIN,FLOAT4,FLOAT8,FORCE,FULLTEXT,HIGH_PRIORITY,HOUR_"
    "MICROSECOND,HOUR_MINUTE,HOUR_SECOND,IF,IGNORE,INFILE,INOUT,INT1,INT2,INT3,INT4,INT8,ITERATE,"
    "KEYS,KILL,LEAVE,LIMIT,LINES,LOAD,LOCALTIME,LOCALTIMESTAMP,LOCK,LONG,LONGBLOB,LONGTEXT,LOOP,"
    "LOW_PRIORITY,MEDIUMBLOB,MEDIUMINT,MEDIUMTEXT,MIDDLEINT,MINUTE_MICROSECOND,MINUTE_SECOND,MOD,"
    "MODIFIES,NO_WRITE_TO_BINLOG,OPTIMIZE,OPTIONALLY,OUT,OUTFILE,PURGE,RAID0,READS,REGEXP,"
    "RELEASE,RENAME,REPEAT,REPLACE,REQUIRE,RETURN,RLIKE,SCHEMAS,SECOND_MICROSECOND,SENSITIVE,"
    "SEPARATOR,SHOW,SONAME,SPATIAL,SPECIFIC,SQL_BIG_RESULT,SQL_CALC_FOUND_ROWS,SQLEXCEPTION,SQL_"
    "SMALL_RESULT,SSL,STARTING,STRAIGHT_JOIN,TERMINATED,TINYBLOB,TINYINT,TINYTEXT,TRIGGER,UNDO,"
    "UNLOCK,UNSIGNED,USE,UTC_DATE,UTC_TIME,UTC_TIMESTAMP,VARBINARY,VARCHARACTER,WHILE,X509,XOR,"
    "YEAR_MONTH,ZEROFILL";
inline constexpr const char* kMySqlKeywords51 =
    "ACCESSIBLE,ANALYZE,ASENSITIVE,BEFORE,BIGINT,BINARY,BLOB,CALL,CHANGE,CONDITION,DATABASE,"
    "DATABASES,DAY_HOUR,DAY_MICROSECOND,DAY_MINUTE,DAY_SECOND,DELAYED,DETERMINISTIC,DISTINCTROW,"
    "DIV,DUAL,EACH,ELSEIF,ENCLOSED,ESCAPED,EXIT,EXPLAIN,FLOAT4,FLOAT8,FORCE,FULLTEXT,HIGH_"
    "PRIORITY,HOUR_MICROSECOND,HOUR_MINUTE,HOUR_SECOND,IF,IGNORE,INFILE,INOUT,INT1,INT2,INT3,"
    "INT4,INT8,ITERATE,KEYS,KILL,LEAVE,LIMIT,LINEAR,LINES,LOAD,LOCALTIME,LOCALTIMESTAMP,LOCK,"
    "LONG,LONGBLOB,LONGTEXT,LOOP,LOW_PRIORITY,MASTER_SSL_VERIFY_SERVER_CERT,MEDIUMBLOB,"
    "MEDIUMINT,MEDIUMTEXT,MIDDLEINT,MINUTE_MICROSECOND,MINUTE_SECOND,MOD,MODIFIES,NO_WRITE_TO_"
    "BINLOG,OPTIMIZE,OPTIONALLY,OUT,OUTFILE,PURGE,RANGE,READ_ONLY,READS,READ_WRITE,REGEXP,"
    "RELEASE,RENAME,REPEAT,REPLACE,REQUIRE,RETURN,RLIKE,SCHEMAS,SECOND_MICROSECOND,SENSITIVE,"
    "SEPARATOR,SHOW,SPATIAL,SPECIFIC,SQL_BIG_RESULT,SQL_CALC_FOUND_ROWS,SQLEXCEPTION,SQL_SMALL_"
    "RESULT,SSL,STARTING,STRAIGHT_JOIN,TERMINATED,TINYBLOB,TINYINT,TINYTEXT,TRIGGER,UNDO,UNLOCK,"
    "UNSIGNED,USE,UTC_DATE,UTC_TIME,UTC_TIMESTAMP,VARBINARY,VARCHARACTER,WHILE,X509,XOR,YEAR_"
    "MONTH,ZEROFILL";

// Characters besides letters, digits and "_" that may stand in a name.
inline constexpr const char* kMySqlSpecialCharacters = " !\"#%&'()*+,-.:;<=>?@[\\]^`{|}~";

// Conversions the face reports for every convertible type.
inline constexpr SQLUINTEGER kMySqlConversions = 0x3F3FF;

// One row per item the MySQL face answers differently:
//   X(operation name after "info", shape, answer)
// The shape must match the base item's; the answer is evaluated inside
// MySQLBaseConnection, where byVersion(a, b, c) gives a below 5.0, b below
// 5.1 and c from 5.1 on.
#define MORVANEX_MYSQL_INFO_ANSWERS(X)                                                        \
    X(AccessibleProcedures, Text, "N")                                                        \
    X(AccessibleTables, Text, "N")                                                            \
    X(AlterDomain, UInt, 0)                                                                   \
    X(AlterTable, UInt, SQL_AT_ADD_COLUMN | SQL_AT_DROP_COLUMN)                               \
    X(BatchRowCount, UInt, SQL_BRC_EXPLICIT)                                                  \
    X(BatchSupport, UInt, 0xF)                                                                \
    X(BookmarkPersistence, UInt, 0)                                                           \
    X(CatalogLocation, UShort, 0)                                                             \
    X(CatalogName, Text, "Y")                                                                 \
    X(CatalogNameSeparator, Text, ".")                                                        \
    X(CatalogTerm, Text, "database")                                                          \
    X(CatalogUsage, UInt, 0x1F)                                                               \
    X(ConcatNullBehavior, UShort, SQL_CB_NULL)                                                \
    X(ConvertBigint, UInt, kMySqlConversions)                                                 \
    X(ConvertBinary, UInt, 0)                                                                 \
    X(ConvertBit, UInt, kMySqlConversions)                                                    \
    X(ConvertChar, UInt, kMySqlConversions)                                                   \
    X(ConvertDate, UInt, kMySqlConversions)                                                   \
    X(ConvertDecimal, UInt, kMySqlConversions)                                                \
    X(ConvertDouble, UInt, kMySqlConversions)                                                 \
    X(ConvertFloat, UInt, kMySqlConversions)                                                  \
    X(ConvertInteger, UInt, kMySqlConversions)                                                \
    X(ConvertIntervalYearMonth, UInt, 0)                                                      \
    X(ConvertIntervalDayTime, UInt, 0)                                                        \
    X(ConvertLongvarbinary, UInt, 0)                                                          \
    X(ConvertLongvarchar, UInt, kMySqlConversions)                                            \
    X(ConvertNumeric, UInt, kMySqlConversions)                                                \
    X(ConvertReal, UInt, kMySqlConversions)                                                   \
    X(ConvertSmallint, UInt, kMySqlConversions)                                               \
    X(ConvertTime, UInt, kMySqlConversions)                                                   \
    X(ConvertTimestamp, UInt, kMySqlConversions)                                              \
    X(ConvertTinyint, UInt, kMySqlConversions)                                                \
    X(ConvertVarbinary, UInt, 0)                                                              \
    X(ConvertVarchar, UInt, kMySqlConversions)                                                \
    X(ConvertFunctions, UInt, SQL_FN_CVT_CONVERT)                                             \
    X(CorrelationName, UShort, SQL_CN_DIFFERENT)                                              \
    X(CreateAssertion, UInt, 0)                                                               \
    X(CreateCharacterSet, UInt, 0)                                                            \
    X(CreateCollation, UInt, 0)                                                               \
    X(CreateDomain, UInt, 0)                                                                  \
    X(CreateSchema, UInt, 0)                                                                  \
    X(CreateTable, UInt, 0xC15)                                                               \
    X(CreateTranslation, UInt, 0)                                                             \
    X(CreateView, UInt, byVersion<SQLUINTEGER>(0, 7, 7))                                      \
    X(CursorCommitBehavior, UShort, SQL_CB_PRESERVE)                                          \
    X(CursorRollbackBehavior, UShort, SQL_CB_PRESERVE)                                        \
    X(CursorSensitivity, UInt, SQL_UNSPECIFIED)                                               \
    X(DatetimeLiterals, UInt, SQL_DL_SQL92_DATE | SQL_DL_SQL92_TIME | SQL_DL_SQL92_TIMESTAMP) \
    X(DbmsName, Text, "MySQL")                                                                \
    X(DbmsVer, Text, versionText())                                                           \
    X(DescribeParameter, Text, "N")                                                           \
    X(DropAssertion, UInt, 0)                                                                 \
    X(DropCharacterSet, UInt, 0)                                                              \
    X(DropCollation, UInt, 0)                                                                 \
    X(DropDomain, UInt, 0)                                                                    \
    X(DropSchema, UInt, 0)                                                                    \
    X(DropTable, UInt, SQL_DT_DROP_TABLE | SQL_DT_RESTRICT | SQL_DT_CASCADE)                  \
    X(DropTranslation, UInt, 0)                                                               \
    X(DropView, UInt, byVersion<SQLUINTEGER>(0, 7, 7))                                        \
    X(DynamicCursorAttributes1, UInt, 0)                                                      \
    X(DynamicCursorAttributes2, UInt, 0)                                                      \
    X(FetchDirection, Signed16As32, 0xBF)                                                     \
    X(ForwardOnlyCursorAttributes1, UInt, 0x1E001)                                            \
    X(ForwardOnlyCursorAttributes2, UInt, 0x4F89)                                             \
    X(GetdataExtensions, UInt, SQL_GD_ANY_COLUMN | SQL_GD_ANY_ORDER | SQL_GD_BOUND)           \
    X(GroupBy, UShort, SQL_GB_NO_RELATION)                                                    \
    X(IdentifierQuoteChar, Text, "`")                                                         \
    X(InfoSchemaViews, UInt, byVersion<SQLUINTEGER>(0, 0x43886A, 0x43986A))                   \
    X(Integrity, Text, "N")                                                                   \
    X(KeysetCursorAttributes1, UInt, 0)                                                       \
    X(KeysetCursorAttributes2, UInt, 0)                                                       \
    X(Keywords, Text, byVersion(kMySqlKeywords40, kMySqlKeywords50, kMySqlKeywords51))        \
    X(LockTypes, UInt, 0)                                                                     \
    X(MaxCatalogNameLen, UShort, 64)                                                          \
    X(MaxColumnNameLen, UShort, 64)                                                           \
    X(MaxColumnsInIndex, UShort, 32)                                                          \
    X(MaxCursorNameLen, UShort, 18)                                                           \
    X(MaxIdentifierLen, UShort, 64)                                                           \
    X(MaxIndexSize, UInt, byVersion<SQLUINTEGER>(1024, 3072, 3072))                           \
    X(MaxProcedureNameLen, UShort, 64)                                                        \
    X(MaxStatementLen, UInt, 8192)                                                            \
    X(MaxTableNameLen, UShort, 64)                                                            \
    X(MaxTablesInSelect, UShort, byVersion<SQLUSMALLINT>(31, 63, 63))                         \
    X(MaxUserNameLen, UShort, 16)                                                             \
    X(NeedLongDataLen, Text, "N")                                                             \
    X(NullCollation, UShort, SQL_NC_LOW)                                                      \
    X(NumericFunctions, UInt, 0xFFFFFF)                                                       \
    X(OdbcApiConformance, UShort, SQL_OAC_LEVEL1)                                             \
    X(OdbcInterfaceConformance, UInt, SQL_OIC_LEVEL1)                                         \
    X(OdbcSqlConformance, UShort, SQL_OSC_CORE)                                               \
    X(OjCapabilities, UInt, 0x7B)                                                             \
    X(OrderByColumnsInSelect, Text, "N")                                                      \
    X(ParamArrayRowCounts, UInt, SQL_PARC_NO_BATCH)                                           \
    X(ParamArraySelects, UInt, SQL_PAS_NO_SELECT)                                             \
    X(PositionedStatements, UInt, SQL_PS_POSITIONED_DELETE | SQL_PS_POSITIONED_UPDATE)        \
    X(ProcedureTerm, Text, byVersion("", "stored procedure", "stored procedure"))             \
    X(Procedures, Text, byVersion("N", "Y", "Y"))                                             \
    X(QuotedIdentifierCase, UShort, SQL_IC_SENSITIVE)                                         \
    X(RowUpdates, Text, "N")                                                                  \
    X(SchemaTerm, Text, "")                                                                   \
    X(SchemaUsage, UInt, 0)                                                                   \
    X(ScrollConcurrency, UInt, SQL_SCCO_READ_ONLY | SQL_SCCO_OPT_VALUES)                      \
    X(ScrollOptions, UInt, SQL_SO_FORWARD_ONLY | SQL_SO_STATIC)                               \
    X(SearchPatternEscape, Text, "\\")                                                        \
    X(SpecialCharacters, Text, kMySqlSpecialCharacters)                                       \
    X(SqlConformance, UInt, SQL_SC_SQL92_INTERMEDIATE)                                        \
    X(Sql92ForeignKeyDeleteRule, UInt, 0)                                                     \
    X(Sql92ForeignKeyUpdateRule, UInt, 0)                                                     \
    X(Sql92Grant, UInt, 0x1FF0)                                                               \
    X(Sql92NumericValueFunctions, UInt, 0x3F)                                                 \
    X(Sql92Predicates, UInt, 0x3E07)                                                          \
    X(Sql92RelationalJoinOperators, UInt, 0x1D2)                                              \
    X(Sql92Revoke, UInt, 0x7F80)                                                              \
    X(Sql92RowValueConstructor, UInt, 0xF)                                                    \
    X(Sql92StringFunctions, UInt, 0xFF)                                                       \
    X(StandardCliConformance, UInt, SQL_SCC_ISO92_CLI)                                        \
    X(StaticCursorAttributes1, UInt, 0x17E47)                                                 \
    X(StaticCursorAttributes2, UInt, 0x1780)                                                  \
    X(StaticSensitivity, UInt, SQL_SS_ADDITIONS | SQL_SS_DELETIONS | SQL_SS_UPDATES)          \
    X(StringFunctions, UInt, 0xDF7FFF)                                                        \
    X(Subqueries, UInt, 0x1F)                                                                 \
    X(SystemFunctions, UInt, SQL_FN_SYS_USERNAME | SQL_FN_SYS_DBNAME | SQL_FN_SYS_IFNULL)     \
    X(TimedateAddIntervals, UInt, 0)                                                          \
    X(TimedateDiffIntervals, UInt, 0)                                                         \
    X(TimedateFunctions, UInt, 0x1FFFFF)                                                      \
    X(TxnCapable, UShort, SQL_TC_DDL_COMMIT)                                                  \
    X(TxnIsolationOption, UInt,                                                               \
      SQL_TXN_READ_UNCOMMITTED | SQL_TXN_READ_COMMITTED | SQL_TXN_REPEATABLE_READ |           \
          SQL_TXN_SERIALIZABLE)

// The SQL_API_ identifiers reported by SQLGetFunctions: the base list
// without the foreign-key and procedure catalog calls (identifier 6 still
// stands twice).
inline constexpr SQLUSMALLINT kMySqlSupportedFunctions[] = {
    SQL_API_SQLALLOCCONNECT,   SQL_API_SQLALLOCENV,         SQL_API_SQLALLOCHANDLE,
    SQL_API_SQLALLOCSTMT,      SQL_API_SQLBINDCOL,          SQL_API_SQLBINDPARAMETER,
    SQL_API_SQLBULKOPERATIONS, SQL_API_SQLCANCEL,           SQL_API_SQLCLOSECURSOR,
    SQL_API_SQLCOLATTRIBUTE,   SQL_API_SQLCOLATTRIBUTE,     SQL_API_SQLCOLUMNPRIVILEGES,
    SQL_API_SQLCOLUMNS,        SQL_API_SQLCONNECT,          SQL_API_SQLCOPYDESC,
    SQL_API_SQLDESCRIBECOL,    SQL_API_SQLDESCRIBEPARAM,    SQL_API_SQLDISCONNECT,
    SQL_API_SQLDRIVERCONNECT,  SQL_API_SQLENDTRAN,          SQL_API_SQLERROR,
    SQL_API_SQLEXECDIRECT,     SQL_API_SQLEXECUTE,          SQL_API_SQLEXTENDEDFETCH,
    SQL_API_SQLFETCH,          SQL_API_SQLFETCHSCROLL,      SQL_API_SQLFREECONNECT,
    SQL_API_SQLFREEENV,        SQL_API_SQLFREEHANDLE,       SQL_API_SQLFREESTMT,
    SQL_API_SQLGETCONNECTATTR, SQL_API_SQLGETCONNECTOPTION, SQL_API_SQLGETCURSORNAME,
    SQL_API_SQLGETDATA,        SQL_API_SQLGETDESCFIELD,     SQL_API_SQLGETDESCREC,
    SQL_API_SQLGETDIAGFIELD,   SQL_API_SQLGETDIAGREC,       SQL_API_SQLGETENVATTR,
    SQL_API_SQLGETFUNCTIONS,   SQL_API_SQLGETINFO,          SQL_API_SQLGETSTMTATTR,
    SQL_API_SQLGETSTMTOPTION,  SQL_API_SQLGETTYPEINFO,      SQL_API_SQLMORERESULTS,
    SQL_API_SQLNATIVESQL,      SQL_API_SQLNUMPARAMS,        SQL_API_SQLNUMRESULTCOLS,
    SQL_API_SQLPARAMDATA,      SQL_API_SQLPARAMOPTIONS,     SQL_API_SQLPREPARE,
    SQL_API_SQLPRIMARYKEYS,    SQL_API_SQLPUTDATA,          SQL_API_SQLROWCOUNT,
    SQL_API_SQLSETCONNECTATTR, SQL_API_SQLSETCONNECTOPTION, SQL_API_SQLSETCURSORNAME,
    SQL_API_SQLSETDESCFIELD,   SQL_API_SQLSETDESCREC,       SQL_API_SQLSETENVATTR,
    SQL_API_SQLSETPOS,         SQL_API_SQLSETSTMTATTR,      SQL_API_SQLSETSTMTOPTION,
    SQL_API_SQLSPECIALCOLUMNS, SQL_API_SQLSTATISTICS,       SQL_API_SQLTABLEPRIVILEGES,
    SQL_API_SQLTABLES,         SQL_API_SQLTRANSACT,
};
