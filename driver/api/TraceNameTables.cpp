#include "driver/api/TraceNameTables.h"

#include <algorithm>

// Every value is written as a number and checked against the ODBC headers by
// tests/api/data/TraceNameTablesAgreement.inc (made by
// scripts/gen-trace-name-checks.py from this file).

namespace {

// One entry per line.
// clang-format off
// Call arguments and results.

const TraceName kHandleTypeNames[] = {
    {1, "SQL_HANDLE_ENV"},
    {2, "SQL_HANDLE_DBC"},
    {3, "SQL_HANDLE_STMT"},
    {4, "SQL_HANDLE_DESC"},
};

const TraceName kReturnCodeNames[] = {
    {0, "SQL_SUCCESS"},
    {1, "SQL_SUCCESS_WITH_INFO"},
    {-1, "SQL_ERROR"},
    {-2, "SQL_INVALID_HANDLE"},
    {2, "SQL_STILL_EXECUTING"},
    {99, "SQL_NEED_DATA"},
    {100, "SQL_NO_DATA"},
};

const TraceName kEnvAttributeNames[] = {
    {200, "SQL_ATTR_ODBC_VERSION"},
    {10001, "SQL_ATTR_OUTPUT_NTS"},
};

// 104 (SQL_ATTR_TRACE) and 110 (SQL_ATTR_ODBC_CURSORS) are left out; the last
// two attributes have no macro and are named by their numbers.
const TraceName kConnectAttributeNames[] = {
    {101, "SQL_ATTR_ACCESS_MODE"},
    {4, "SQL_ATTR_ASYNC_ENABLE"},
    {10001, "SQL_ATTR_AUTO_IPD"},
    {102, "SQL_ATTR_AUTOCOMMIT"},
    {113, "SQL_ATTR_CONNECTION_TIMEOUT"},
    {109, "SQL_ATTR_CURRENT_CATALOG"},
    {103, "SQL_ATTR_LOGIN_TIMEOUT"},
    {10014, "SQL_ATTR_METADATA_ID"},
    {112, "SQL_ATTR_PACKET_SIZE"},
    {111, "SQL_ATTR_QUIET_MODE"},
    {105, "SQL_ATTR_TRACEFILE"},
    {106, "SQL_ATTR_TRANSLATE_LIB"},
    {107, "SQL_ATTR_TRANSLATE_OPTION"},
    {108, "SQL_ATTR_TXN_ISOLATION"},
    {1224, "SQL_COPT_SS_MARS_ENABLED"},
    {30002, "30002"},
    {1057, "1057"},
};

// Where ODBC 2 and ODBC 3 name one value, the ODBC 3 name. The handle, library
// and wide conversion items, SQL_ODBC_VER and SQL_DM_VER are left out.
const TraceName kInfoTypeNames[] = {
    {0, "SQL_MAX_DRIVER_CONNECTIONS"},
    {1, "SQL_MAX_CONCURRENT_ACTIVITIES"},
    {2, "SQL_DATA_SOURCE_NAME"},
    {6, "SQL_DRIVER_NAME"},
    {7, "SQL_DRIVER_VER"},
    {8, "SQL_FETCH_DIRECTION"},
    {9, "SQL_ODBC_API_CONFORMANCE"},
    {11, "SQL_ROW_UPDATES"},
    {13, "SQL_SERVER_NAME"},
    {14, "SQL_SEARCH_PATTERN_ESCAPE"},
    {15, "SQL_ODBC_SQL_CONFORMANCE"},
    {16, "SQL_DATABASE_NAME"},
    {17, "SQL_DBMS_NAME"},
    {18, "SQL_DBMS_VER"},
    {19, "SQL_ACCESSIBLE_TABLES"},
    {20, "SQL_ACCESSIBLE_PROCEDURES"},
    {21, "SQL_PROCEDURES"},
    {22, "SQL_CONCAT_NULL_BEHAVIOR"},
    {23, "SQL_CURSOR_COMMIT_BEHAVIOR"},
    {24, "SQL_CURSOR_ROLLBACK_BEHAVIOR"},
    {25, "SQL_DATA_SOURCE_READ_ONLY"},
    {26, "SQL_DEFAULT_TXN_ISOLATION"},
    {27, "SQL_EXPRESSIONS_IN_ORDERBY"},
    {28, "SQL_IDENTIFIER_CASE"},
    {29, "SQL_IDENTIFIER_QUOTE_CHAR"},
    {30, "SQL_MAX_COLUMN_NAME_LEN"},
    {31, "SQL_MAX_CURSOR_NAME_LEN"},
    {32, "SQL_MAX_SCHEMA_NAME_LEN"},
    {33, "SQL_MAX_PROCEDURE_NAME_LEN"},
    {34, "SQL_MAX_CATALOG_NAME_LEN"},
    {35, "SQL_MAX_TABLE_NAME_LEN"},
    {36, "SQL_MULT_RESULT_SETS"},
    {37, "SQL_MULTIPLE_ACTIVE_TXN"},
    {38, "SQL_OUTER_JOINS"},
    {39, "SQL_SCHEMA_TERM"},
    {40, "SQL_PROCEDURE_TERM"},
    {41, "SQL_CATALOG_NAME_SEPARATOR"},
    {42, "SQL_CATALOG_TERM"},
    {43, "SQL_SCROLL_CONCURRENCY"},
    {44, "SQL_SCROLL_OPTIONS"},
    {45, "SQL_TABLE_TERM"},
    {46, "SQL_TXN_CAPABLE"},
    {47, "SQL_USER_NAME"},
    {48, "SQL_CONVERT_FUNCTIONS"},
    {49, "SQL_NUMERIC_FUNCTIONS"},
    {50, "SQL_STRING_FUNCTIONS"},
    {51, "SQL_SYSTEM_FUNCTIONS"},
    {52, "SQL_TIMEDATE_FUNCTIONS"},
    {53, "SQL_CONVERT_BIGINT"},
    {54, "SQL_CONVERT_BINARY"},
    {55, "SQL_CONVERT_BIT"},
    {56, "SQL_CONVERT_CHAR"},
    {57, "SQL_CONVERT_DATE"},
    {58, "SQL_CONVERT_DECIMAL"},
    {59, "SQL_CONVERT_DOUBLE"},
    {60, "SQL_CONVERT_FLOAT"},
    {61, "SQL_CONVERT_INTEGER"},
    {62, "SQL_CONVERT_LONGVARCHAR"},
    {63, "SQL_CONVERT_NUMERIC"},
    {64, "SQL_CONVERT_REAL"},
    {65, "SQL_CONVERT_SMALLINT"},
    {66, "SQL_CONVERT_TIME"},
    {67, "SQL_CONVERT_TIMESTAMP"},
    {68, "SQL_CONVERT_TINYINT"},
    {69, "SQL_CONVERT_VARBINARY"},
    {70, "SQL_CONVERT_VARCHAR"},
    {71, "SQL_CONVERT_LONGVARBINARY"},
    {72, "SQL_TXN_ISOLATION_OPTION"},
    {73, "SQL_INTEGRITY"},
    {74, "SQL_CORRELATION_NAME"},
    {75, "SQL_NON_NULLABLE_COLUMNS"},
    {77, "SQL_DRIVER_ODBC_VER"},
    {78, "SQL_LOCK_TYPES"},
    {79, "SQL_POS_OPERATIONS"},
    {80, "SQL_POSITIONED_STATEMENTS"},
    {81, "SQL_GETDATA_EXTENSIONS"},
    {82, "SQL_BOOKMARK_PERSISTENCE"},
    {83, "SQL_STATIC_SENSITIVITY"},
    {84, "SQL_FILE_USAGE"},
    {85, "SQL_NULL_COLLATION"},
    {86, "SQL_ALTER_TABLE"},
    {87, "SQL_COLUMN_ALIAS"},
    {88, "SQL_GROUP_BY"},
    {89, "SQL_KEYWORDS"},
    {90, "SQL_ORDER_BY_COLUMNS_IN_SELECT"},
    {91, "SQL_SCHEMA_USAGE"},
    {92, "SQL_CATALOG_USAGE"},
    {93, "SQL_QUOTED_IDENTIFIER_CASE"},
    {94, "SQL_SPECIAL_CHARACTERS"},
    {95, "SQL_SUBQUERIES"},
    {96, "SQL_UNION"},
    {97, "SQL_MAX_COLUMNS_IN_GROUP_BY"},
    {98, "SQL_MAX_COLUMNS_IN_INDEX"},
    {99, "SQL_MAX_COLUMNS_IN_ORDER_BY"},
    {100, "SQL_MAX_COLUMNS_IN_SELECT"},
    {101, "SQL_MAX_COLUMNS_IN_TABLE"},
    {102, "SQL_MAX_INDEX_SIZE"},
    {103, "SQL_MAX_ROW_SIZE_INCLUDES_LONG"},
    {104, "SQL_MAX_ROW_SIZE"},
    {105, "SQL_MAX_STATEMENT_LEN"},
    {106, "SQL_MAX_TABLES_IN_SELECT"},
    {107, "SQL_MAX_USER_NAME_LEN"},
    {108, "SQL_MAX_CHAR_LITERAL_LEN"},
    {109, "SQL_TIMEDATE_ADD_INTERVALS"},
    {110, "SQL_TIMEDATE_DIFF_INTERVALS"},
    {111, "SQL_NEED_LONG_DATA_LEN"},
    {112, "SQL_MAX_BINARY_LITERAL_LEN"},
    {113, "SQL_LIKE_ESCAPE_CLAUSE"},
    {114, "SQL_CATALOG_LOCATION"},
    {115, "SQL_OJ_CAPABILITIES"},
    {116, "SQL_ACTIVE_ENVIRONMENTS"},
    {117, "SQL_ALTER_DOMAIN"},
    {118, "SQL_SQL_CONFORMANCE"},
    {119, "SQL_DATETIME_LITERALS"},
    {120, "SQL_BATCH_ROW_COUNT"},
    {121, "SQL_BATCH_SUPPORT"},
    {123, "SQL_CONVERT_INTERVAL_DAY_TIME"},
    {124, "SQL_CONVERT_INTERVAL_YEAR_MONTH"},
    {127, "SQL_CREATE_ASSERTION"},
    {128, "SQL_CREATE_CHARACTER_SET"},
    {129, "SQL_CREATE_COLLATION"},
    {130, "SQL_CREATE_DOMAIN"},
    {131, "SQL_CREATE_SCHEMA"},
    {132, "SQL_CREATE_TABLE"},
    {133, "SQL_CREATE_TRANSLATION"},
    {134, "SQL_CREATE_VIEW"},
    {136, "SQL_DROP_ASSERTION"},
    {137, "SQL_DROP_CHARACTER_SET"},
    {138, "SQL_DROP_COLLATION"},
    {139, "SQL_DROP_DOMAIN"},
    {140, "SQL_DROP_SCHEMA"},
    {141, "SQL_DROP_TABLE"},
    {142, "SQL_DROP_TRANSLATION"},
    {143, "SQL_DROP_VIEW"},
    {144, "SQL_DYNAMIC_CURSOR_ATTRIBUTES1"},
    {145, "SQL_DYNAMIC_CURSOR_ATTRIBUTES2"},
    {146, "SQL_FORWARD_ONLY_CURSOR_ATTRIBUTES1"},
    {147, "SQL_FORWARD_ONLY_CURSOR_ATTRIBUTES2"},
    {148, "SQL_INDEX_KEYWORDS"},
    {149, "SQL_INFO_SCHEMA_VIEWS"},
    {150, "SQL_KEYSET_CURSOR_ATTRIBUTES1"},
    {151, "SQL_KEYSET_CURSOR_ATTRIBUTES2"},
    {152, "SQL_ODBC_INTERFACE_CONFORMANCE"},
    {153, "SQL_PARAM_ARRAY_ROW_COUNTS"},
    {154, "SQL_PARAM_ARRAY_SELECTS"},
    {155, "SQL_SQL92_DATETIME_FUNCTIONS"},
    {156, "SQL_SQL92_FOREIGN_KEY_DELETE_RULE"},
    {157, "SQL_SQL92_FOREIGN_KEY_UPDATE_RULE"},
    {158, "SQL_SQL92_GRANT"},
    {159, "SQL_SQL92_NUMERIC_VALUE_FUNCTIONS"},
    {160, "SQL_SQL92_PREDICATES"},
    {161, "SQL_SQL92_RELATIONAL_JOIN_OPERATORS"},
    {162, "SQL_SQL92_REVOKE"},
    {163, "SQL_SQL92_ROW_VALUE_CONSTRUCTOR"},
    {164, "SQL_SQL92_STRING_FUNCTIONS"},
    {165, "SQL_SQL92_VALUE_EXPRESSIONS"},
    {166, "SQL_STANDARD_CLI_CONFORMANCE"},
    {167, "SQL_STATIC_CURSOR_ATTRIBUTES1"},
    {168, "SQL_STATIC_CURSOR_ATTRIBUTES2"},
    {169, "SQL_AGGREGATE_FUNCTIONS"},
    {170, "SQL_DDL_INDEX"},
    {172, "SQL_INSERT_STATEMENT"},
    {10001, "SQL_CURSOR_SENSITIVITY"},
    {10002, "SQL_DESCRIBE_PARAMETER"},
    {10003, "SQL_CATALOG_NAME"},
    {10004, "SQL_COLLATION_SEQ"},
    {10005, "SQL_MAX_IDENTIFIER_LEN"},
    {10021, "SQL_ASYNC_MODE"},
    {10022, "SQL_MAX_ASYNC_CONCURRENT_STATEMENTS"},
};

// 13 (SQL_GET_BOOKMARK) is left out.
const TraceName kStatementAttributeNames[] = {
    {9, "SQL_ROWSET_SIZE"},
    {101, "SQL_ATTR_ACCESS_MODE"},
    {10011, "SQL_ATTR_APP_PARAM_DESC"},
    {10010, "SQL_ATTR_APP_ROW_DESC"},
    {4, "SQL_ATTR_ASYNC_ENABLE"},
    {7, "SQL_ATTR_CONCURRENCY"},
    {-1, "SQL_ATTR_CURSOR_SCROLLABLE"},
    {-2, "SQL_ATTR_CURSOR_SENSITIVITY"},
    {6, "SQL_ATTR_CURSOR_TYPE"},
    {15, "SQL_ATTR_ENABLE_AUTO_IPD"},
    {16, "SQL_ATTR_FETCH_BOOKMARK_PTR"},
    {10013, "SQL_ATTR_IMP_PARAM_DESC"},
    {10012, "SQL_ATTR_IMP_ROW_DESC"},
    {8, "SQL_ATTR_KEYSET_SIZE"},
    {3, "SQL_ATTR_MAX_LENGTH"},
    {1, "SQL_ATTR_MAX_ROWS"},
    {10014, "SQL_ATTR_METADATA_ID"},
    {2, "SQL_ATTR_NOSCAN"},
    {17, "SQL_ATTR_PARAM_BIND_OFFSET_PTR"},
    {18, "SQL_ATTR_PARAM_BIND_TYPE"},
    {19, "SQL_ATTR_PARAM_OPERATION_PTR"},
    {20, "SQL_ATTR_PARAM_STATUS_PTR"},
    {21, "SQL_ATTR_PARAMS_PROCESSED_PTR"},
    {22, "SQL_ATTR_PARAMSET_SIZE"},
    {0, "SQL_ATTR_QUERY_TIMEOUT"},
    {11, "SQL_ATTR_RETRIEVE_DATA"},
    {27, "SQL_ATTR_ROW_ARRAY_SIZE"},
    {23, "SQL_ATTR_ROW_BIND_OFFSET_PTR"},
    {5, "SQL_ATTR_ROW_BIND_TYPE"},
    {14, "SQL_ATTR_ROW_NUMBER"},
    {24, "SQL_ATTR_ROW_OPERATION_PTR"},
    {25, "SQL_ATTR_ROW_STATUS_PTR"},
    {26, "SQL_ATTR_ROWS_FETCHED_PTR"},
    {10, "SQL_ATTR_SIMULATE_CURSOR"},
    {12, "SQL_ATTR_USE_BOOKMARKS"},
};

// The ODBC 2 column attributes first, so 9 is SQL_COLUMN_MONEY; the two
// scale limits are left out.
const TraceName kDescriptorFieldNames[] = {
    {1, "SQL_COLUMN_NAME"},
    {3, "SQL_COLUMN_LENGTH"},
    {4, "SQL_COLUMN_PRECISION"},
    {5, "SQL_COLUMN_SCALE"},
    {7, "SQL_COLUMN_NULLABLE"},
    {9, "SQL_COLUMN_MONEY"},
    {2, "SQL_DESC_CONCISE_TYPE"},
    {6, "SQL_DESC_DISPLAY_SIZE"},
    {8, "SQL_DESC_UNSIGNED"},
    {9, "SQL_DESC_FIXED_PREC_SCALE"},
    {10, "SQL_DESC_UPDATABLE"},
    {11, "SQL_DESC_AUTO_UNIQUE_VALUE"},
    {12, "SQL_DESC_CASE_SENSITIVE"},
    {13, "SQL_DESC_SEARCHABLE"},
    {14, "SQL_DESC_TYPE_NAME"},
    {15, "SQL_DESC_TABLE_NAME"},
    {16, "SQL_DESC_SCHEMA_NAME"},
    {17, "SQL_DESC_CATALOG_NAME"},
    {18, "SQL_DESC_LABEL"},
    {20, "SQL_DESC_ARRAY_SIZE"},
    {21, "SQL_DESC_ARRAY_STATUS_PTR"},
    {22, "SQL_DESC_BASE_COLUMN_NAME"},
    {23, "SQL_DESC_BASE_TABLE_NAME"},
    {24, "SQL_DESC_BIND_OFFSET_PTR"},
    {25, "SQL_DESC_BIND_TYPE"},
    {26, "SQL_DESC_DATETIME_INTERVAL_PRECISION"},
    {27, "SQL_DESC_LITERAL_PREFIX"},
    {28, "SQL_DESC_LITERAL_SUFFIX"},
    {29, "SQL_DESC_LOCAL_TYPE_NAME"},
    {32, "SQL_DESC_NUM_PREC_RADIX"},
    {33, "SQL_DESC_PARAMETER_TYPE"},
    {34, "SQL_DESC_ROWS_PROCESSED_PTR"},
    {35, "SQL_DESC_ROWVER"},
    {1001, "SQL_DESC_COUNT"},
    {1002, "SQL_DESC_TYPE"},
    {1003, "SQL_DESC_LENGTH"},
    {1004, "SQL_DESC_OCTET_LENGTH_PTR"},
    {1005, "SQL_DESC_PRECISION"},
    {1006, "SQL_DESC_SCALE"},
    {1007, "SQL_DESC_DATETIME_INTERVAL_CODE"},
    {1008, "SQL_DESC_NULLABLE"},
    {1009, "SQL_DESC_INDICATOR_PTR"},
    {1010, "SQL_DESC_DATA_PTR"},
    {1011, "SQL_DESC_NAME"},
    {1012, "SQL_DESC_UNNAMED"},
    {1013, "SQL_DESC_OCTET_LENGTH"},
    {1099, "SQL_DESC_ALLOC_TYPE"},
};

const TraceName kSqlTypeNames[] = {
    {1, "SQL_CHAR"},
    {12, "SQL_VARCHAR"},
    {-1, "SQL_LONGVARCHAR"},
    {-8, "SQL_WCHAR"},
    {-9, "SQL_WVARCHAR"},
    {-10, "SQL_WLONGVARCHAR"},
    {3, "SQL_DECIMAL"},
    {2, "SQL_NUMERIC"},
    {5, "SQL_SMALLINT"},
    {4, "SQL_INTEGER"},
    {7, "SQL_REAL"},
    {6, "SQL_FLOAT"},
    {8, "SQL_DOUBLE"},
    {-7, "SQL_BIT"},
    {-6, "SQL_TINYINT"},
    {-5, "SQL_BIGINT"},
    {-2, "SQL_BINARY"},
    {-3, "SQL_VARBINARY"},
    {-4, "SQL_LONGVARBINARY"},
    {9, "SQL_DATE"},
    {10, "SQL_TIME"},
    {11, "SQL_TIMESTAMP"},
    {91, "SQL_TYPE_DATE"},
    {92, "SQL_TYPE_TIME"},
    {93, "SQL_TYPE_TIMESTAMP"},
    {101, "SQL_INTERVAL_YEAR"},
    {102, "SQL_INTERVAL_MONTH"},
    {103, "SQL_INTERVAL_DAY"},
    {104, "SQL_INTERVAL_HOUR"},
    {105, "SQL_INTERVAL_MINUTE"},
    {106, "SQL_INTERVAL_SECOND"},
    {107, "SQL_INTERVAL_YEAR_TO_MONTH"},
    {108, "SQL_INTERVAL_DAY_TO_HOUR"},
    {109, "SQL_INTERVAL_DAY_TO_MINUTE"},
    {110, "SQL_INTERVAL_DAY_TO_SECOND"},
    {111, "SQL_INTERVAL_HOUR_TO_MINUTE"},
    {112, "SQL_INTERVAL_HOUR_TO_SECOND"},
    {113, "SQL_INTERVAL_MINUTE_TO_SECOND"},
    {-11, "SQL_GUID"},
};

// SQL_C_BOOKMARK and SQL_C_VARBOOKMARK come after the types they alias and
// are never named; SQL_C_TINYINT and the interval types are left out.
const TraceName kCTypeNames[] = {
    {1, "SQL_C_CHAR"},
    {-8, "SQL_C_WCHAR"},
    {5, "SQL_C_SHORT"},
    {-15, "SQL_C_SSHORT"},
    {-17, "SQL_C_USHORT"},
    {4, "SQL_C_LONG"},
    {-16, "SQL_C_SLONG"},
    {-18, "SQL_C_ULONG"},
    {7, "SQL_C_FLOAT"},
    {8, "SQL_C_DOUBLE"},
    {-7, "SQL_C_BIT"},
    {-26, "SQL_C_STINYINT"},
    {-28, "SQL_C_UTINYINT"},
    {-25, "SQL_C_SBIGINT"},
    {-27, "SQL_C_UBIGINT"},
    {-2, "SQL_C_BINARY"},
    {-18, "SQL_C_BOOKMARK"},
    {-2, "SQL_C_VARBOOKMARK"},
    {9, "SQL_C_DATE"},
    {10, "SQL_C_TIME"},
    {11, "SQL_C_TIMESTAMP"},
    {91, "SQL_C_TYPE_DATE"},
    {92, "SQL_C_TYPE_TIME"},
    {93, "SQL_C_TYPE_TIMESTAMP"},
    {2, "SQL_C_NUMERIC"},
    {-11, "SQL_C_GUID"},
    {99, "SQL_C_DEFAULT"},
};

const TraceName kDriverCompletionNames[] = {
    {2, "SQL_DRIVER_PROMPT"},
    {1, "SQL_DRIVER_COMPLETE"},
    {3, "SQL_DRIVER_COMPLETE_REQUIRED"},
    {0, "SQL_DRIVER_NOPROMPT"},
};

const TraceName kParamTypeNames[] = {
    {1, "SQL_PARAM_INPUT"},
    {2, "SQL_PARAM_INPUT_OUTPUT"},
    {4, "SQL_PARAM_OUTPUT"},
};

const TraceName kDiagIdentifierNames[] = {
    {1, "SQL_DIAG_RETURNCODE"},
    {2, "SQL_DIAG_NUMBER"},
    {3, "SQL_DIAG_ROW_COUNT"},
    {4, "SQL_DIAG_SQLSTATE"},
    {5, "SQL_DIAG_NATIVE"},
    {6, "SQL_DIAG_MESSAGE_TEXT"},
    {7, "SQL_DIAG_DYNAMIC_FUNCTION"},
    {8, "SQL_DIAG_CLASS_ORIGIN"},
    {9, "SQL_DIAG_SUBCLASS_ORIGIN"},
    {10, "SQL_DIAG_CONNECTION_NAME"},
    {11, "SQL_DIAG_SERVER_NAME"},
    {12, "SQL_DIAG_DYNAMIC_FUNCTION_CODE"},
    {-1249, "SQL_DIAG_CURSOR_ROW_COUNT"},
    {-1248, "SQL_DIAG_ROW_NUMBER"},
    {-1247, "SQL_DIAG_COLUMN_NUMBER"},
};

// 6 is named SQL_API_SQLCOLATTRIBUTE: it comes before SQL_API_SQLCOLATTRIBUTES.
const TraceName kFunctionIdNames[] = {
    {1, "SQL_API_SQLALLOCCONNECT"},
    {2, "SQL_API_SQLALLOCENV"},
    {1001, "SQL_API_SQLALLOCHANDLE"},
    {3, "SQL_API_SQLALLOCSTMT"},
    {4, "SQL_API_SQLBINDCOL"},
    {1002, "SQL_API_SQLBINDPARAM"},
    {5, "SQL_API_SQLCANCEL"},
    {1003, "SQL_API_SQLCLOSECURSOR"},
    {6, "SQL_API_SQLCOLATTRIBUTE"},
    {40, "SQL_API_SQLCOLUMNS"},
    {7, "SQL_API_SQLCONNECT"},
    {1004, "SQL_API_SQLCOPYDESC"},
    {57, "SQL_API_SQLDATASOURCES"},
    {8, "SQL_API_SQLDESCRIBECOL"},
    {9, "SQL_API_SQLDISCONNECT"},
    {1005, "SQL_API_SQLENDTRAN"},
    {10, "SQL_API_SQLERROR"},
    {11, "SQL_API_SQLEXECDIRECT"},
    {12, "SQL_API_SQLEXECUTE"},
    {13, "SQL_API_SQLFETCH"},
    {1021, "SQL_API_SQLFETCHSCROLL"},
    {14, "SQL_API_SQLFREECONNECT"},
    {15, "SQL_API_SQLFREEENV"},
    {1006, "SQL_API_SQLFREEHANDLE"},
    {16, "SQL_API_SQLFREESTMT"},
    {1007, "SQL_API_SQLGETCONNECTATTR"},
    {42, "SQL_API_SQLGETCONNECTOPTION"},
    {17, "SQL_API_SQLGETCURSORNAME"},
    {43, "SQL_API_SQLGETDATA"},
    {1008, "SQL_API_SQLGETDESCFIELD"},
    {1009, "SQL_API_SQLGETDESCREC"},
    {1010, "SQL_API_SQLGETDIAGFIELD"},
    {1011, "SQL_API_SQLGETDIAGREC"},
    {1012, "SQL_API_SQLGETENVATTR"},
    {44, "SQL_API_SQLGETFUNCTIONS"},
    {45, "SQL_API_SQLGETINFO"},
    {1014, "SQL_API_SQLGETSTMTATTR"},
    {46, "SQL_API_SQLGETSTMTOPTION"},
    {47, "SQL_API_SQLGETTYPEINFO"},
    {18, "SQL_API_SQLNUMRESULTCOLS"},
    {48, "SQL_API_SQLPARAMDATA"},
    {19, "SQL_API_SQLPREPARE"},
    {49, "SQL_API_SQLPUTDATA"},
    {20, "SQL_API_SQLROWCOUNT"},
    {1016, "SQL_API_SQLSETCONNECTATTR"},
    {50, "SQL_API_SQLSETCONNECTOPTION"},
    {21, "SQL_API_SQLSETCURSORNAME"},
    {1017, "SQL_API_SQLSETDESCFIELD"},
    {1018, "SQL_API_SQLSETDESCREC"},
    {1019, "SQL_API_SQLSETENVATTR"},
    {22, "SQL_API_SQLSETPARAM"},
    {1020, "SQL_API_SQLSETSTMTATTR"},
    {51, "SQL_API_SQLSETSTMTOPTION"},
    {52, "SQL_API_SQLSPECIALCOLUMNS"},
    {53, "SQL_API_SQLSTATISTICS"},
    {54, "SQL_API_SQLTABLES"},
    {23, "SQL_API_SQLTRANSACT"},
    {73, "SQL_API_SQLALLOCHANDLESTD"},
    {24, "SQL_API_SQLBULKOPERATIONS"},
    {72, "SQL_API_SQLBINDPARAMETER"},
    {55, "SQL_API_SQLBROWSECONNECT"},
    {6, "SQL_API_SQLCOLATTRIBUTES"},
    {56, "SQL_API_SQLCOLUMNPRIVILEGES"},
    {58, "SQL_API_SQLDESCRIBEPARAM"},
    {41, "SQL_API_SQLDRIVERCONNECT"},
    {71, "SQL_API_SQLDRIVERS"},
    {59, "SQL_API_SQLEXTENDEDFETCH"},
    {60, "SQL_API_SQLFOREIGNKEYS"},
    {61, "SQL_API_SQLMORERESULTS"},
    {62, "SQL_API_SQLNATIVESQL"},
    {63, "SQL_API_SQLNUMPARAMS"},
    {64, "SQL_API_SQLPARAMOPTIONS"},
    {65, "SQL_API_SQLPRIMARYKEYS"},
    {66, "SQL_API_SQLPROCEDURECOLUMNS"},
    {67, "SQL_API_SQLPROCEDURES"},
    {68, "SQL_API_SQLSETPOS"},
    {69, "SQL_API_SQLSETSCROLLOPTIONS"},
    {70, "SQL_API_SQLTABLEPRIVILEGES"},
};

const TraceName kFetchOrientationNames[] = {
    {1, "SQL_FETCH_NEXT"},
    {4, "SQL_FETCH_PRIOR"},
    {6, "SQL_FETCH_RELATIVE"},
    {5, "SQL_FETCH_ABSOLUTE"},
    {2, "SQL_FETCH_FIRST"},
    {3, "SQL_FETCH_LAST"},
    {8, "SQL_FETCH_BOOKMARK"},
};

const TraceName kCompletionTypeNames[] = {
    {0, "SQL_COMMIT"},
    {1, "SQL_ROLLBACK"},
};

const TraceName kSetPosOperationNames[] = {
    {0, "SQL_POSITION"},
    {1, "SQL_REFRESH"},
    {2, "SQL_UPDATE"},
    {3, "SQL_DELETE"},
};

const TraceName kLockTypeNames[] = {
    {0, "SQL_LOCK_NO_CHANGE"},
    {1, "SQL_LOCK_EXCLUSIVE"},
    {2, "SQL_LOCK_UNLOCK"},
};

const TraceName kBulkOperationNames[] = {
    {4, "SQL_ADD"},
    {5, "SQL_UPDATE_BY_BOOKMARK"},
    {6, "SQL_DELETE_BY_BOOKMARK"},
    {7, "SQL_FETCH_BY_BOOKMARK"},
};

const TraceName kIdentifierTypeNames[] = {
    {1, "SQL_BEST_ROWID"},
    {2, "SQL_ROWVER"},
};

const TraceName kScopeNames[] = {
    {0, "SQL_SCOPE_CURROW"},
    {1, "SQL_SCOPE_TRANSACTION"},
    {2, "SQL_SCOPE_SESSION"},
};

const TraceName kNullableNames[] = {
    {1, "SQL_NULLABLE"},
    {0, "SQL_NO_NULLS"},
    {2, "SQL_NULLABLE_UNKNOWN"},
};

const TraceName kUniqueNames[] = {
    {0, "SQL_INDEX_UNIQUE"},
    {1, "SQL_INDEX_ALL"},
};

const TraceName kAccuracyNames[] = {
    {1, "SQL_ENSURE"},
    {0, "SQL_QUICK"},
};

const TraceName kFreeStmtOptionNames[] = {
    {0, "SQL_CLOSE"},
    {1, "SQL_DROP"},
    {2, "SQL_UNBIND"},
    {3, "SQL_RESET_PARAMS"},
};

// The date and time codes first, so 1 to 3 never read as YEAR, MONTH, DAY.
const TraceName kIntervalCodeNames[] = {
    {1, "SQL_CODE_DATE"},
    {2, "SQL_CODE_TIME"},
    {3, "SQL_CODE_TIMESTAMP"},
    {3, "SQL_CODE_DAY"},
    {8, "SQL_CODE_DAY_TO_HOUR"},
    {9, "SQL_CODE_DAY_TO_MINUTE"},
    {10, "SQL_CODE_DAY_TO_SECOND"},
    {4, "SQL_CODE_HOUR"},
    {11, "SQL_CODE_HOUR_TO_MINUTE"},
    {12, "SQL_CODE_HOUR_TO_SECOND"},
    {5, "SQL_CODE_MINUTE"},
    {13, "SQL_CODE_MINUTE_TO_SECOND"},
    {2, "SQL_CODE_MONTH"},
    {6, "SQL_CODE_SECOND"},
    {1, "SQL_CODE_YEAR"},
    {7, "SQL_CODE_YEAR_TO_MONTH"},
};

// Lengths and indicators with a name.

const TraceName kValueLengthNames[] = {
    {-4, "SQL_IS_POINTER"},
    {-5, "SQL_IS_UINTEGER"},
    {-6, "SQL_IS_INTEGER"},
    {-7, "SQL_IS_USMALLINT"},
    {-8, "SQL_IS_SMALLINT"},
};

const TraceName kIndicatorNames[] = {
    {-1, "SQL_NULL_DATA"},
    {-2, "SQL_DATA_AT_EXEC"},
    {-3, "SQL_NTS"},
    {-4, "SQL_NO_TOTAL"},
    {-6, "SQL_COLUMN_IGNORE"},
};

// Attribute and descriptor field values.

const TraceName kTrueFalseNames[] = {
    {1, "SQL_TRUE"},
    {0, "SQL_FALSE"},
};

const TraceName kOdbcVersionNames[] = {
    {2, "SQL_OV_ODBC2"},
    {3, "SQL_OV_ODBC3"},
};

const TraceName kAccessModeNames[] = {
    {1, "SQL_MODE_READ_ONLY"},
    {0, "SQL_MODE_READ_WRITE"},
};

const TraceName kAsyncEnableNames[] = {
    {0, "SQL_ASYNC_ENABLE_OFF"},
    {1, "SQL_ASYNC_ENABLE_ON"},
};

const TraceName kAutocommitNames[] = {
    {0, "SQL_AUTOCOMMIT_OFF"},
    {1, "SQL_AUTOCOMMIT_ON"},
};

const TraceName kMarsEnabledNames[] = {
    {0, "SQL_MARS_ENABLED_NO"},
    {1, "SQL_MARS_ENABLED_YES"},
};

const TraceName kCursorSensitivityNames[] = {
    {1, "SQL_INSENSITIVE"},
    {0, "SQL_UNSPECIFIED"},
    {2, "SQL_SENSITIVE"},
};

const TraceName kCursorScrollableNames[] = {
    {0, "SQL_NONSCROLLABLE"},
    {1, "SQL_SCROLLABLE"},
};

const TraceName kNoscanNames[] = {
    {0, "SQL_NOSCAN_OFF"},
    {1, "SQL_NOSCAN_ON"},
};

const TraceName kCursorTypeNames[] = {
    {0, "SQL_CURSOR_FORWARD_ONLY"},
    {3, "SQL_CURSOR_STATIC"},
    {1, "SQL_CURSOR_KEYSET_DRIVEN"},
    {2, "SQL_CURSOR_DYNAMIC"},
};

const TraceName kConcurrencyNames[] = {
    {1, "SQL_CONCUR_READ_ONLY"},
    {2, "SQL_CONCUR_LOCK"},
    {3, "SQL_CONCUR_ROWVER"},
    {4, "SQL_CONCUR_VALUES"},
};

const TraceName kSimulateCursorNames[] = {
    {0, "SQL_SC_NON_UNIQUE"},
    {1, "SQL_SC_TRY_UNIQUE"},
    {2, "SQL_SC_UNIQUE"},
};

const TraceName kRetrieveDataNames[] = {
    {1, "SQL_RD_ON"},
    {0, "SQL_RD_OFF"},
};

const TraceName kUseBookmarksNames[] = {
    {0, "SQL_UB_OFF"},
    {2, "SQL_UB_VARIABLE"},
    {1, "SQL_UB_FIXED"},
};

const TraceName kUpdatableNames[] = {
    {0, "SQL_ATTR_READONLY"},
    {1, "SQL_ATTR_WRITE"},
    {2, "SQL_ATTR_READWRITE_UNKNOWN"},
};

const TraceName kSearchableNames[] = {
    {0, "SQL_PRED_NONE"},
    {1, "SQL_PRED_CHAR"},
    {2, "SQL_PRED_BASIC"},
    {3, "SQL_PRED_SEARCHABLE"},
};

const TraceName kUnnamedNames[] = {
    {0, "SQL_NAMED"},
    {1, "SQL_UNNAMED"},
};

const TraceName kAllocTypeNames[] = {
    {1, "SQL_DESC_ALLOC_AUTO"},
    {2, "SQL_DESC_ALLOC_USER"},
};

const TraceName kTxnIsolationFlags[] = {
    {1, "SQL_TXN_READ_UNCOMMITTED"},
    {2, "SQL_TXN_READ_COMMITTED"},
    {4, "SQL_TXN_REPEATABLE_READ"},
    {8, "SQL_TXN_SERIALIZABLE"},
};

// SQLGetInfo values.

const TraceName kAsyncModeNames[] = {
    {1, "SQL_AM_CONNECTION"},
    {2, "SQL_AM_STATEMENT"},
    {0, "SQL_AM_NONE"},
};

const TraceName kFetchDirectionFlags[] = {
    {1, "SQL_FD_FETCH_NEXT"},
    {2, "SQL_FD_FETCH_FIRST"},
    {4, "SQL_FD_FETCH_LAST"},
    {8, "SQL_FD_FETCH_PRIOR"},
    {16, "SQL_FD_FETCH_ABSOLUTE"},
    {32, "SQL_FD_FETCH_RELATIVE"},
    {128, "SQL_FD_FETCH_BOOKMARK"},
};

const TraceName kOdbcApiConformanceNames[] = {
    {0, "SQL_OAC_NONE"},
    {1, "SQL_OAC_LEVEL1"},
    {2, "SQL_OAC_LEVEL2"},
};

const TraceName kOdbcSqlConformanceNames[] = {
    {0, "SQL_OSC_MINIMUM"},
    {1, "SQL_OSC_CORE"},
    {2, "SQL_OSC_EXTENDED"},
};

const TraceName kConcatNullNames[] = {
    {0, "SQL_CB_NULL"},
    {1, "SQL_CB_NON_NULL"},
};

const TraceName kCursorBehaviorNames[] = {
    {0, "SQL_CB_DELETE"},
    {1, "SQL_CB_CLOSE"},
    {2, "SQL_CB_PRESERVE"},
};

const TraceName kIdentifierCaseNames[] = {
    {1, "SQL_IC_UPPER"},
    {2, "SQL_IC_LOWER"},
    {3, "SQL_IC_SENSITIVE"},
    {4, "SQL_IC_MIXED"},
};

const TraceName kScrollConcurrencyFlags[] = {
    {1, "SQL_SCCO_READ_ONLY"},
    {2, "SQL_SCCO_LOCK"},
    {4, "SQL_SCCO_OPT_ROWVER"},
    {8, "SQL_SCCO_OPT_VALUES"},
};

const TraceName kScrollOptionFlags[] = {
    {1, "SQL_SO_FORWARD_ONLY"},
    {16, "SQL_SO_STATIC"},
    {2, "SQL_SO_KEYSET_DRIVEN"},
    {4, "SQL_SO_DYNAMIC"},
    {8, "SQL_SO_MIXED"},
};

const TraceName kTxnCapableNames[] = {
    {0, "SQL_TC_NONE"},
    {1, "SQL_TC_DML"},
    {3, "SQL_TC_DDL_COMMIT"},
    {4, "SQL_TC_DDL_IGNORE"},
    {2, "SQL_TC_ALL"},
};

const TraceName kConvertFunctionFlags[] = {
    {2, "SQL_FN_CVT_CAST"},
    {1, "SQL_FN_CVT_CONVERT"},
};

const TraceName kNumericFunctionFlags[] = {
    {1, "SQL_FN_NUM_ABS"},
    {2, "SQL_FN_NUM_ACOS"},
    {4, "SQL_FN_NUM_ASIN"},
    {8, "SQL_FN_NUM_ATAN"},
    {16, "SQL_FN_NUM_ATAN2"},
    {32, "SQL_FN_NUM_CEILING"},
    {64, "SQL_FN_NUM_COS"},
    {128, "SQL_FN_NUM_COT"},
    {262144, "SQL_FN_NUM_DEGREES"},
    {256, "SQL_FN_NUM_EXP"},
    {512, "SQL_FN_NUM_FLOOR"},
    {1024, "SQL_FN_NUM_LOG"},
    {524288, "SQL_FN_NUM_LOG10"},
    {2048, "SQL_FN_NUM_MOD"},
    {65536, "SQL_FN_NUM_PI"},
    {1048576, "SQL_FN_NUM_POWER"},
    {2097152, "SQL_FN_NUM_RADIANS"},
    {131072, "SQL_FN_NUM_RAND"},
    {4194304, "SQL_FN_NUM_ROUND"},
    {4096, "SQL_FN_NUM_SIGN"},
    {8192, "SQL_FN_NUM_SIN"},
    {16384, "SQL_FN_NUM_SQRT"},
    {32768, "SQL_FN_NUM_TAN"},
    {8388608, "SQL_FN_NUM_TRUNCATE"},
};

const TraceName kStringFunctionFlags[] = {
    {8192, "SQL_FN_STR_ASCII"},
    {524288, "SQL_FN_STR_BIT_LENGTH"},
    {16384, "SQL_FN_STR_CHAR"},
    {1048576, "SQL_FN_STR_CHAR_LENGTH"},
    {2097152, "SQL_FN_STR_CHARACTER_LENGTH"},
    {1, "SQL_FN_STR_CONCAT"},
    {32768, "SQL_FN_STR_DIFFERENCE"},
    {2, "SQL_FN_STR_INSERT"},
    {64, "SQL_FN_STR_LCASE"},
    {4, "SQL_FN_STR_LEFT"},
    {16, "SQL_FN_STR_LENGTH"},
    {32, "SQL_FN_STR_LOCATE"},
    {65536, "SQL_FN_STR_LOCATE_2"},
    {8, "SQL_FN_STR_LTRIM"},
    {4194304, "SQL_FN_STR_OCTET_LENGTH"},
    {8388608, "SQL_FN_STR_POSITION"},
    {128, "SQL_FN_STR_REPEAT"},
    {256, "SQL_FN_STR_REPLACE"},
    {512, "SQL_FN_STR_RIGHT"},
    {1024, "SQL_FN_STR_RTRIM"},
    {131072, "SQL_FN_STR_SOUNDEX"},
    {262144, "SQL_FN_STR_SPACE"},
    {2048, "SQL_FN_STR_SUBSTRING"},
    {4096, "SQL_FN_STR_UCASE"},
};

const TraceName kSystemFunctionFlags[] = {
    {2, "SQL_FN_SYS_DBNAME"},
    {4, "SQL_FN_SYS_IFNULL"},
    {1, "SQL_FN_SYS_USERNAME"},
};

const TraceName kTimedateFunctionFlags[] = {
    {131072, "SQL_FN_TD_CURRENT_DATE"},
    {262144, "SQL_FN_TD_CURRENT_TIME"},
    {524288, "SQL_FN_TD_CURRENT_TIMESTAMP"},
    {2, "SQL_FN_TD_CURDATE"},
    {512, "SQL_FN_TD_CURTIME"},
    {32768, "SQL_FN_TD_DAYNAME"},
    {4, "SQL_FN_TD_DAYOFMONTH"},
    {8, "SQL_FN_TD_DAYOFWEEK"},
    {16, "SQL_FN_TD_DAYOFYEAR"},
    {1048576, "SQL_FN_TD_EXTRACT"},
    {1024, "SQL_FN_TD_HOUR"},
    {2048, "SQL_FN_TD_MINUTE"},
    {32, "SQL_FN_TD_MONTH"},
    {65536, "SQL_FN_TD_MONTHNAME"},
    {1, "SQL_FN_TD_NOW"},
    {64, "SQL_FN_TD_QUARTER"},
    {4096, "SQL_FN_TD_SECOND"},
    {8192, "SQL_FN_TD_TIMESTAMPADD"},
    {16384, "SQL_FN_TD_TIMESTAMPDIFF"},
    {128, "SQL_FN_TD_WEEK"},
    {256, "SQL_FN_TD_YEAR"},
};

const TraceName kConvertFlags[] = {
    {16384, "SQL_CVT_BIGINT"},
    {1024, "SQL_CVT_BINARY"},
    {4096, "SQL_CVT_BIT"},
    {1, "SQL_CVT_CHAR"},
    {32768, "SQL_CVT_DATE"},
    {4, "SQL_CVT_DECIMAL"},
    {128, "SQL_CVT_DOUBLE"},
    {32, "SQL_CVT_FLOAT"},
    {8, "SQL_CVT_INTEGER"},
    {524288, "SQL_CVT_INTERVAL_YEAR_MONTH"},
    {1048576, "SQL_CVT_INTERVAL_DAY_TIME"},
    {262144, "SQL_CVT_LONGVARBINARY"},
    {512, "SQL_CVT_LONGVARCHAR"},
    {2, "SQL_CVT_NUMERIC"},
    {64, "SQL_CVT_REAL"},
    {16, "SQL_CVT_SMALLINT"},
    {65536, "SQL_CVT_TIME"},
    {131072, "SQL_CVT_TIMESTAMP"},
    {8192, "SQL_CVT_TINYINT"},
    {2048, "SQL_CVT_VARBINARY"},
    {256, "SQL_CVT_VARCHAR"},
};

const TraceName kCorrelationNameNames[] = {
    {0, "SQL_CN_NONE"},
    {1, "SQL_CN_DIFFERENT"},
    {2, "SQL_CN_ANY"},
};

const TraceName kNonNullableColumnNames[] = {
    {0, "SQL_NNC_NULL"},
    {1, "SQL_NNC_NON_NULL"},
};

const TraceName kLockTypeFlags[] = {
    {1, "SQL_LCK_NO_CHANGE"},
    {2, "SQL_LCK_EXCLUSIVE"},
    {4, "SQL_LCK_UNLOCK"},
};

const TraceName kPosOperationFlags[] = {
    {1, "SQL_POS_POSITION"},
    {2, "SQL_POS_REFRESH"},
    {4, "SQL_POS_UPDATE"},
    {8, "SQL_POS_DELETE"},
    {16, "SQL_POS_ADD"},
};

const TraceName kPositionedStatementFlags[] = {
    {1, "SQL_PS_POSITIONED_DELETE"},
    {2, "SQL_PS_POSITIONED_UPDATE"},
    {4, "SQL_PS_SELECT_FOR_UPDATE"},
};

const TraceName kGetDataExtensionFlags[] = {
    {1, "SQL_GD_ANY_COLUMN"},
    {2, "SQL_GD_ANY_ORDER"},
    {4, "SQL_GD_BLOCK"},
    {8, "SQL_GD_BOUND"},
};

const TraceName kBookmarkPersistenceFlags[] = {
    {1, "SQL_BP_CLOSE"},
    {2, "SQL_BP_DELETE"},
    {4, "SQL_BP_DROP"},
    {8, "SQL_BP_TRANSACTION"},
    {16, "SQL_BP_UPDATE"},
    {32, "SQL_BP_OTHER_HSTMT"},
};

const TraceName kStaticSensitivityFlags[] = {
    {1, "SQL_SS_ADDITIONS"},
    {2, "SQL_SS_DELETIONS"},
    {4, "SQL_SS_UPDATES"},
};

const TraceName kFileUsageNames[] = {
    {0, "SQL_FILE_NOT_SUPPORTED"},
    {1, "SQL_FILE_TABLE"},
    {2, "SQL_FILE_CATALOG"},
};

const TraceName kNullCollationNames[] = {
    {4, "SQL_NC_END"},
    {0, "SQL_NC_HIGH"},
    {1, "SQL_NC_LOW"},
    {2, "SQL_NC_START"},
};

const TraceName kAlterTableFlags[] = {
    {1, "SQL_AT_ADD_COLUMN"},
    {128, "SQL_AT_ADD_COLUMN_COLLATION"},
    {64, "SQL_AT_ADD_COLUMN_DEFAULT"},
    {32, "SQL_AT_ADD_COLUMN_SINGLE"},
    {8, "SQL_AT_ADD_CONSTRAINT"},
    {32768, "SQL_AT_CONSTRAINT_NAME_DEFINITION"},
    {2, "SQL_AT_DROP_COLUMN"},
    {1024, "SQL_AT_DROP_COLUMN_CASCADE"},
    {512, "SQL_AT_DROP_COLUMN_DEFAULT"},
    {2048, "SQL_AT_DROP_COLUMN_RESTRICT"},
    {8192, "SQL_AT_DROP_TABLE_CONSTRAINT_CASCADE"},
    {16384, "SQL_AT_DROP_TABLE_CONSTRAINT_RESTRICT"},
    {256, "SQL_AT_SET_COLUMN_DEFAULT"},
    {65536, "SQL_AT_CONSTRAINT_INITIALLY_DEFERRED"},
    {131072, "SQL_AT_CONSTRAINT_INITIALLY_IMMEDIATE"},
    {262144, "SQL_AT_CONSTRAINT_DEFERRABLE"},
    {524288, "SQL_AT_CONSTRAINT_NON_DEFERRABLE"},
};

const TraceName kGroupByNames[] = {
    {4, "SQL_GB_COLLATE"},
    {0, "SQL_GB_NOT_SUPPORTED"},
    {1, "SQL_GB_GROUP_BY_EQUALS_SELECT"},
    {2, "SQL_GB_GROUP_BY_CONTAINS_SELECT"},
    {3, "SQL_GB_NO_RELATION"},
};

const TraceName kSchemaUsageFlags[] = {
    {1, "SQL_SU_DML_STATEMENTS"},
    {2, "SQL_SU_PROCEDURE_INVOCATION"},
    {4, "SQL_SU_TABLE_DEFINITION"},
    {8, "SQL_SU_INDEX_DEFINITION"},
    {16, "SQL_SU_PRIVILEGE_DEFINITION"},
};

const TraceName kCatalogUsageFlags[] = {
    {1, "SQL_CU_DML_STATEMENTS"},
    {2, "SQL_CU_PROCEDURE_INVOCATION"},
    {4, "SQL_CU_TABLE_DEFINITION"},
    {8, "SQL_CU_INDEX_DEFINITION"},
    {16, "SQL_CU_PRIVILEGE_DEFINITION"},
};

const TraceName kSubqueryFlags[] = {
    {16, "SQL_SQ_CORRELATED_SUBQUERIES"},
    {1, "SQL_SQ_COMPARISON"},
    {2, "SQL_SQ_EXISTS"},
    {4, "SQL_SQ_IN"},
    {8, "SQL_SQ_QUANTIFIED"},
};

const TraceName kUnionFlags[] = {
    {1, "SQL_U_UNION"},
    {2, "SQL_U_UNION_ALL"},
};

const TraceName kTimestampIntervalFlags[] = {
    {1, "SQL_FN_TSI_FRAC_SECOND"},
    {2, "SQL_FN_TSI_SECOND"},
    {4, "SQL_FN_TSI_MINUTE"},
    {8, "SQL_FN_TSI_HOUR"},
    {16, "SQL_FN_TSI_DAY"},
    {32, "SQL_FN_TSI_WEEK"},
    {64, "SQL_FN_TSI_MONTH"},
    {128, "SQL_FN_TSI_QUARTER"},
    {256, "SQL_FN_TSI_YEAR"},
};

const TraceName kCatalogLocationNames[] = {
    {1, "SQL_CL_START"},
    {2, "SQL_CL_END"},
};

const TraceName kOuterJoinFlags[] = {
    {1, "SQL_OJ_LEFT"},
    {2, "SQL_OJ_RIGHT"},
    {4, "SQL_OJ_FULL"},
    {8, "SQL_OJ_NESTED"},
    {16, "SQL_OJ_NOT_ORDERED"},
    {32, "SQL_OJ_INNER"},
    {64, "SQL_OJ_ALL_COMPARISON_OPS"},
};

const TraceName kAlterDomainFlags[] = {
    {2, "SQL_AD_ADD_DOMAIN_CONSTRAINT"},
    {8, "SQL_AD_ADD_DOMAIN_DEFAULT"},
    {1, "SQL_AD_CONSTRAINT_NAME_DEFINITION"},
    {4, "SQL_AD_DROP_DOMAIN_CONSTRAINT"},
    {16, "SQL_AD_DROP_DOMAIN_DEFAULT"},
    {128, "SQL_AD_ADD_CONSTRAINT_DEFERRABLE"},
    {256, "SQL_AD_ADD_CONSTRAINT_NON_DEFERRABLE"},
    {32, "SQL_AD_ADD_CONSTRAINT_INITIALLY_DEFERRED"},
    {64, "SQL_AD_ADD_CONSTRAINT_INITIALLY_IMMEDIATE"},
};

const TraceName kSqlConformanceNames[] = {
    {1, "SQL_SC_SQL92_ENTRY"},
    {2, "SQL_SC_FIPS127_2_TRANSITIONAL"},
    {8, "SQL_SC_SQL92_FULL"},
    {4, "SQL_SC_SQL92_INTERMEDIATE"},
};

const TraceName kDatetimeLiteralFlags[] = {
    {1, "SQL_DL_SQL92_DATE"},
    {2, "SQL_DL_SQL92_TIME"},
    {4, "SQL_DL_SQL92_TIMESTAMP"},
    {8, "SQL_DL_SQL92_INTERVAL_YEAR"},
    {16, "SQL_DL_SQL92_INTERVAL_MONTH"},
    {32, "SQL_DL_SQL92_INTERVAL_DAY"},
    {64, "SQL_DL_SQL92_INTERVAL_HOUR"},
    {128, "SQL_DL_SQL92_INTERVAL_MINUTE"},
    {256, "SQL_DL_SQL92_INTERVAL_SECOND"},
    {512, "SQL_DL_SQL92_INTERVAL_YEAR_TO_MONTH"},
    {1024, "SQL_DL_SQL92_INTERVAL_DAY_TO_HOUR"},
    {2048, "SQL_DL_SQL92_INTERVAL_DAY_TO_MINUTE"},
    {4096, "SQL_DL_SQL92_INTERVAL_DAY_TO_SECOND"},
    {8192, "SQL_DL_SQL92_INTERVAL_HOUR_TO_MINUTE"},
    {16384, "SQL_DL_SQL92_INTERVAL_HOUR_TO_SECOND"},
    {32768, "SQL_DL_SQL92_INTERVAL_MINUTE_TO_SECOND"},
};

const TraceName kBatchRowCountFlags[] = {
    {4, "SQL_BRC_ROLLED_UP"},
    {1, "SQL_BRC_PROCEDURES"},
    {2, "SQL_BRC_EXPLICIT"},
};

const TraceName kBatchSupportFlags[] = {
    {1, "SQL_BS_SELECT_EXPLICIT"},
    {2, "SQL_BS_ROW_COUNT_EXPLICIT"},
    {4, "SQL_BS_SELECT_PROC"},
    {8, "SQL_BS_ROW_COUNT_PROC"},
};

const TraceName kCreateAssertionFlags[] = {
    {1, "SQL_CA_CREATE_ASSERTION"},
    {16, "SQL_CA_CONSTRAINT_INITIALLY_DEFERRED"},
    {32, "SQL_CA_CONSTRAINT_INITIALLY_IMMEDIATE"},
    {64, "SQL_CA_CONSTRAINT_DEFERRABLE"},
    {128, "SQL_CA_CONSTRAINT_NON_DEFERRABLE"},
};

const TraceName kCreateCharacterSetFlags[] = {
    {1, "SQL_CCS_CREATE_CHARACTER_SET"},
    {2, "SQL_CCS_COLLATE_CLAUSE"},
    {4, "SQL_CCS_LIMITED_COLLATION"},
};

const TraceName kCreateCollationFlags[] = {
    {1, "SQL_CCOL_CREATE_COLLATION"},
};

const TraceName kCreateDomainFlags[] = {
    {1, "SQL_CDO_CREATE_DOMAIN"},
    {16, "SQL_CDO_CONSTRAINT_NAME_DEFINITION"},
    {2, "SQL_CDO_DEFAULT"},
    {4, "SQL_CDO_CONSTRAINT"},
    {8, "SQL_CDO_COLLATION"},
    {32, "SQL_CDO_CONSTRAINT_INITIALLY_DEFERRED"},
    {64, "SQL_CDO_CONSTRAINT_INITIALLY_IMMEDIATE"},
    {128, "SQL_CDO_CONSTRAINT_DEFERRABLE"},
    {256, "SQL_CDO_CONSTRAINT_NON_DEFERRABLE"},
};

const TraceName kCreateSchemaFlags[] = {
    {1, "SQL_CS_CREATE_SCHEMA"},
    {2, "SQL_CS_AUTHORIZATION"},
    {4, "SQL_CS_DEFAULT_CHARACTER_SET"},
};

const TraceName kCreateTableFlags[] = {
    {1, "SQL_CT_CREATE_TABLE"},
    {4096, "SQL_CT_TABLE_CONSTRAINT"},
    {8192, "SQL_CT_CONSTRAINT_NAME_DEFINITION"},
    {2, "SQL_CT_COMMIT_PRESERVE"},
    {4, "SQL_CT_COMMIT_DELETE"},
    {8, "SQL_CT_GLOBAL_TEMPORARY"},
    {16, "SQL_CT_LOCAL_TEMPORARY"},
    {512, "SQL_CT_COLUMN_CONSTRAINT"},
    {1024, "SQL_CT_COLUMN_DEFAULT"},
    {2048, "SQL_CT_COLUMN_COLLATION"},
    {32, "SQL_CT_CONSTRAINT_INITIALLY_DEFERRED"},
    {64, "SQL_CT_CONSTRAINT_INITIALLY_IMMEDIATE"},
    {128, "SQL_CT_CONSTRAINT_DEFERRABLE"},
    {256, "SQL_CT_CONSTRAINT_NON_DEFERRABLE"},
};

const TraceName kCreateTranslationFlags[] = {
    {1, "SQL_CTR_CREATE_TRANSLATION"},
};

const TraceName kCreateViewFlags[] = {
    {1, "SQL_CV_CREATE_VIEW"},
    {2, "SQL_CV_CHECK_OPTION"},
    {4, "SQL_CV_CASCADED"},
    {8, "SQL_CV_LOCAL"},
};

const TraceName kDropAssertionFlags[] = {
    {1, "SQL_DA_DROP_ASSERTION"},
};

const TraceName kDropCharacterSetFlags[] = {
    {1, "SQL_DCS_DROP_CHARACTER_SET"},
};

const TraceName kDropCollationFlags[] = {
    {1, "SQL_DC_DROP_COLLATION"},
};

const TraceName kDropDomainFlags[] = {
    {1, "SQL_DD_DROP_DOMAIN"},
    {4, "SQL_DD_CASCADE"},
    {2, "SQL_DD_RESTRICT"},
};

const TraceName kDropSchemaFlags[] = {
    {1, "SQL_DS_DROP_SCHEMA"},
    {4, "SQL_DS_CASCADE"},
    {2, "SQL_DS_RESTRICT"},
};

const TraceName kDropTableFlags[] = {
    {1, "SQL_DT_DROP_TABLE"},
    {4, "SQL_DT_CASCADE"},
    {2, "SQL_DT_RESTRICT"},
};

const TraceName kDropTranslationFlags[] = {
    {1, "SQL_DTR_DROP_TRANSLATION"},
};

const TraceName kDropViewFlags[] = {
    {1, "SQL_DV_DROP_VIEW"},
    {4, "SQL_DV_CASCADE"},
    {2, "SQL_DV_RESTRICT"},
};

const TraceName kCursorAttributes1Flags[] = {
    {1, "SQL_CA1_NEXT"},
    {2, "SQL_CA1_ABSOLUTE"},
    {4, "SQL_CA1_RELATIVE"},
    {8, "SQL_CA1_BOOKMARK"},
    {128, "SQL_CA1_LOCK_EXCLUSIVE"},
    {64, "SQL_CA1_LOCK_NO_CHANGE"},
    {256, "SQL_CA1_LOCK_UNLOCK"},
    {512, "SQL_CA1_POS_POSITION"},
    {1024, "SQL_CA1_POS_UPDATE"},
    {2048, "SQL_CA1_POS_DELETE"},
    {4096, "SQL_CA1_POS_REFRESH"},
    {8192, "SQL_CA1_POSITIONED_UPDATE"},
    {16384, "SQL_CA1_POSITIONED_DELETE"},
    {32768, "SQL_CA1_SELECT_FOR_UPDATE"},
    {65536, "SQL_CA1_BULK_ADD"},
    {131072, "SQL_CA1_BULK_UPDATE_BY_BOOKMARK"},
    {262144, "SQL_CA1_BULK_DELETE_BY_BOOKMARK"},
    {524288, "SQL_CA1_BULK_FETCH_BY_BOOKMARK"},
};

// SQL_CA2_MAX_ROWS_AFFECTS_ALL holds all five MAX_ROWS bits.
const TraceName kCursorAttributes2Flags[] = {
    {1, "SQL_CA2_READ_ONLY_CONCURRENCY"},
    {2, "SQL_CA2_LOCK_CONCURRENCY"},
    {4, "SQL_CA2_OPT_ROWVER_CONCURRENCY"},
    {8, "SQL_CA2_OPT_VALUES_CONCURRENCY"},
    {16, "SQL_CA2_SENSITIVITY_ADDITIONS"},
    {32, "SQL_CA2_SENSITIVITY_DELETIONS"},
    {64, "SQL_CA2_SENSITIVITY_UPDATES"},
    {128, "SQL_CA2_MAX_ROWS_SELECT"},
    {256, "SQL_CA2_MAX_ROWS_INSERT"},
    {512, "SQL_CA2_MAX_ROWS_DELETE"},
    {1024, "SQL_CA2_MAX_ROWS_UPDATE"},
    {2048, "SQL_CA2_MAX_ROWS_CATALOG"},
    {3968, "SQL_CA2_MAX_ROWS_AFFECTS_ALL"},
    {4096, "SQL_CA2_CRC_EXACT"},
    {8192, "SQL_CA2_CRC_APPROXIMATE"},
    {16384, "SQL_CA2_SIMULATE_NON_UNIQUE"},
    {32768, "SQL_CA2_SIMULATE_TRY_UNIQUE"},
    {65536, "SQL_CA2_SIMULATE_UNIQUE"},
};

// SQL_IK_NONE is 0 and never named; SQL_IK_ALL is named with ASC or DESC.
const TraceName kIndexKeywordFlags[] = {
    {0, "SQL_IK_NONE"},
    {1, "SQL_IK_ASC"},
    {2, "SQL_IK_DESC"},
    {3, "SQL_IK_ALL"},
};

const TraceName kInfoSchemaViewFlags[] = {
    {1, "SQL_ISV_ASSERTIONS"},
    {2, "SQL_ISV_CHARACTER_SETS"},
    {4, "SQL_ISV_CHECK_CONSTRAINTS"},
    {8, "SQL_ISV_COLLATIONS"},
    {16, "SQL_ISV_COLUMN_DOMAIN_USAGE"},
    {32, "SQL_ISV_COLUMN_PRIVILEGES"},
    {64, "SQL_ISV_COLUMNS"},
    {128, "SQL_ISV_CONSTRAINT_COLUMN_USAGE"},
    {256, "SQL_ISV_CONSTRAINT_TABLE_USAGE"},
    {512, "SQL_ISV_DOMAIN_CONSTRAINTS"},
    {1024, "SQL_ISV_DOMAINS"},
    {2048, "SQL_ISV_KEY_COLUMN_USAGE"},
    {4096, "SQL_ISV_REFERENTIAL_CONSTRAINTS"},
    {8192, "SQL_ISV_SCHEMATA"},
    {16384, "SQL_ISV_SQL_LANGUAGES"},
    {32768, "SQL_ISV_TABLE_CONSTRAINTS"},
    {131072, "SQL_ISV_TABLES"},
    {262144, "SQL_ISV_TRANSLATIONS"},
    {524288, "SQL_ISV_USAGE_PRIVILEGES"},
    {1048576, "SQL_ISV_VIEW_COLUMN_USAGE"},
    {2097152, "SQL_ISV_VIEW_TABLE_USAGE"},
    {4194304, "SQL_ISV_VIEWS"},
};

const TraceName kInterfaceConformanceNames[] = {
    {1, "SQL_OIC_CORE"},
    {2, "SQL_OIC_LEVEL1"},
    {3, "SQL_OIC_LEVEL2"},
};

const TraceName kParamArrayRowCountNames[] = {
    {1, "SQL_PARC_BATCH"},
    {2, "SQL_PARC_NO_BATCH"},
};

const TraceName kParamArraySelectNames[] = {
    {1, "SQL_PAS_BATCH"},
    {2, "SQL_PAS_NO_BATCH"},
    {3, "SQL_PAS_NO_SELECT"},
};

const TraceName kSql92DatetimeFunctionFlags[] = {
    {1, "SQL_SDF_CURRENT_DATE"},
    {2, "SQL_SDF_CURRENT_TIME"},
    {4, "SQL_SDF_CURRENT_TIMESTAMP"},
};

const TraceName kForeignKeyDeleteRuleFlags[] = {
    {1, "SQL_SFKD_CASCADE"},
    {2, "SQL_SFKD_NO_ACTION"},
    {4, "SQL_SFKD_SET_DEFAULT"},
    {8, "SQL_SFKD_SET_NULL"},
};

const TraceName kForeignKeyUpdateRuleFlags[] = {
    {1, "SQL_SFKU_CASCADE"},
    {2, "SQL_SFKU_NO_ACTION"},
    {4, "SQL_SFKU_SET_DEFAULT"},
    {8, "SQL_SFKU_SET_NULL"},
};

const TraceName kSql92GrantFlags[] = {
    {32, "SQL_SG_DELETE_TABLE"},
    {128, "SQL_SG_INSERT_COLUMN"},
    {64, "SQL_SG_INSERT_TABLE"},
    {256, "SQL_SG_REFERENCES_TABLE"},
    {512, "SQL_SG_REFERENCES_COLUMN"},
    {1024, "SQL_SG_SELECT_TABLE"},
    {4096, "SQL_SG_UPDATE_COLUMN"},
    {2048, "SQL_SG_UPDATE_TABLE"},
    {1, "SQL_SG_USAGE_ON_DOMAIN"},
    {2, "SQL_SG_USAGE_ON_CHARACTER_SET"},
    {4, "SQL_SG_USAGE_ON_COLLATION"},
    {8, "SQL_SG_USAGE_ON_TRANSLATION"},
    {16, "SQL_SG_WITH_GRANT_OPTION"},
};

const TraceName kSql92NumericValueFunctionFlags[] = {
    {1, "SQL_SNVF_BIT_LENGTH"},
    {2, "SQL_SNVF_CHAR_LENGTH"},
    {4, "SQL_SNVF_CHARACTER_LENGTH"},
    {8, "SQL_SNVF_EXTRACT"},
    {16, "SQL_SNVF_OCTET_LENGTH"},
    {32, "SQL_SNVF_POSITION"},
};

const TraceName kSql92PredicateFlags[] = {
    {2048, "SQL_SP_BETWEEN"},
    {4096, "SQL_SP_COMPARISON"},
    {1, "SQL_SP_EXISTS"},
    {1024, "SQL_SP_IN"},
    {2, "SQL_SP_ISNOTNULL"},
    {4, "SQL_SP_ISNULL"},
    {512, "SQL_SP_LIKE"},
    {8, "SQL_SP_MATCH_FULL"},
    {16, "SQL_SP_MATCH_PARTIAL"},
    {32, "SQL_SP_MATCH_UNIQUE_FULL"},
    {64, "SQL_SP_MATCH_UNIQUE_PARTIAL"},
    {128, "SQL_SP_OVERLAPS"},
    {8192, "SQL_SP_QUANTIFIED_COMPARISON"},
    {256, "SQL_SP_UNIQUE"},
};

const TraceName kSql92RelationalJoinFlags[] = {
    {1, "SQL_SRJO_CORRESPONDING_CLAUSE"},
    {2, "SQL_SRJO_CROSS_JOIN"},
    {4, "SQL_SRJO_EXCEPT_JOIN"},
    {8, "SQL_SRJO_FULL_OUTER_JOIN"},
    {16, "SQL_SRJO_INNER_JOIN"},
    {32, "SQL_SRJO_INTERSECT_JOIN"},
    {64, "SQL_SRJO_LEFT_OUTER_JOIN"},
    {128, "SQL_SRJO_NATURAL_JOIN"},
    {256, "SQL_SRJO_RIGHT_OUTER_JOIN"},
    {512, "SQL_SRJO_UNION_JOIN"},
};

const TraceName kSql92RevokeFlags[] = {
    {32, "SQL_SR_CASCADE"},
    {128, "SQL_SR_DELETE_TABLE"},
    {16, "SQL_SR_GRANT_OPTION_FOR"},
    {512, "SQL_SR_INSERT_COLUMN"},
    {256, "SQL_SR_INSERT_TABLE"},
    {2048, "SQL_SR_REFERENCES_COLUMN"},
    {1024, "SQL_SR_REFERENCES_TABLE"},
    {64, "SQL_SR_RESTRICT"},
    {4096, "SQL_SR_SELECT_TABLE"},
    {16384, "SQL_SR_UPDATE_COLUMN"},
    {8192, "SQL_SR_UPDATE_TABLE"},
    {1, "SQL_SR_USAGE_ON_DOMAIN"},
    {2, "SQL_SR_USAGE_ON_CHARACTER_SET"},
    {4, "SQL_SR_USAGE_ON_COLLATION"},
    {8, "SQL_SR_USAGE_ON_TRANSLATION"},
};

const TraceName kSql92RowValueConstructorFlags[] = {
    {1, "SQL_SRVC_VALUE_EXPRESSION"},
    {2, "SQL_SRVC_NULL"},
    {4, "SQL_SRVC_DEFAULT"},
    {8, "SQL_SRVC_ROW_SUBQUERY"},
};

const TraceName kSql92StringFunctionFlags[] = {
    {1, "SQL_SSF_CONVERT"},
    {2, "SQL_SSF_LOWER"},
    {4, "SQL_SSF_UPPER"},
    {8, "SQL_SSF_SUBSTRING"},
    {16, "SQL_SSF_TRANSLATE"},
    {32, "SQL_SSF_TRIM_BOTH"},
    {64, "SQL_SSF_TRIM_LEADING"},
    {128, "SQL_SSF_TRIM_TRAILING"},
};

const TraceName kSql92ValueExpressionFlags[] = {
    {1, "SQL_SVE_CASE"},
    {2, "SQL_SVE_CAST"},
    {4, "SQL_SVE_COALESCE"},
    {8, "SQL_SVE_NULLIF"},
};

const TraceName kStandardCliConformanceNames[] = {
    {1, "SQL_SCC_XOPEN_CLI_VERSION1"},
    {2, "SQL_SCC_ISO92_CLI"},
};

const TraceName kAggregateFunctionFlags[] = {
    {64, "SQL_AF_ALL"},
    {1, "SQL_AF_AVG"},
    {2, "SQL_AF_COUNT"},
    {32, "SQL_AF_DISTINCT"},
    {4, "SQL_AF_MAX"},
    {8, "SQL_AF_MIN"},
    {16, "SQL_AF_SUM"},
};

const TraceName kDdlIndexFlags[] = {
    {1, "SQL_DI_CREATE_INDEX"},
    {2, "SQL_DI_DROP_INDEX"},
};

const TraceName kInsertStatementFlags[] = {
    {1, "SQL_IS_INSERT_LITERALS"},
    {2, "SQL_IS_INSERT_SEARCHED"},
    {4, "SQL_IS_SELECT_INTO"},
};

const TraceInfoItem kInfoItems[] = {
    {SQL_MAX_DRIVER_CONNECTIONS, TraceInfoKind::Number16, {}},
    {SQL_MAX_CONCURRENT_ACTIVITIES, TraceInfoKind::Number16, {}},
    {SQL_DATA_SOURCE_NAME, TraceInfoKind::Text, {}},
    {SQL_DRIVER_NAME, TraceInfoKind::Text, {}},
    {SQL_DRIVER_VER, TraceInfoKind::Text, {}},
    {SQL_FETCH_DIRECTION, TraceInfoKind::Flags32, kFetchDirectionFlags},
    {SQL_ODBC_API_CONFORMANCE, TraceInfoKind::Named16, kOdbcApiConformanceNames},
    {SQL_ROW_UPDATES, TraceInfoKind::Text, {}},
    {SQL_SERVER_NAME, TraceInfoKind::Text, {}},
    {SQL_SEARCH_PATTERN_ESCAPE, TraceInfoKind::Text, {}},
    {SQL_ODBC_SQL_CONFORMANCE, TraceInfoKind::Named16, kOdbcSqlConformanceNames},
    {SQL_DATABASE_NAME, TraceInfoKind::Text, {}},
    {SQL_DBMS_NAME, TraceInfoKind::Text, {}},
    {SQL_DBMS_VER, TraceInfoKind::Text, {}},
    {SQL_ACCESSIBLE_TABLES, TraceInfoKind::Text, {}},
    {SQL_ACCESSIBLE_PROCEDURES, TraceInfoKind::Text, {}},
    {SQL_PROCEDURES, TraceInfoKind::Text, {}},
    {SQL_CONCAT_NULL_BEHAVIOR, TraceInfoKind::Named16, kConcatNullNames},
    {SQL_CURSOR_COMMIT_BEHAVIOR, TraceInfoKind::Named16, kCursorBehaviorNames},
    {SQL_CURSOR_ROLLBACK_BEHAVIOR, TraceInfoKind::Named16, kCursorBehaviorNames},
    {SQL_DATA_SOURCE_READ_ONLY, TraceInfoKind::Text, {}},
    {SQL_DEFAULT_TXN_ISOLATION, TraceInfoKind::Named32, kTxnIsolationFlags},
    {SQL_EXPRESSIONS_IN_ORDERBY, TraceInfoKind::Text, {}},
    {SQL_IDENTIFIER_CASE, TraceInfoKind::Named16, kIdentifierCaseNames},
    {SQL_IDENTIFIER_QUOTE_CHAR, TraceInfoKind::Text, {}},
    {SQL_MAX_COLUMN_NAME_LEN, TraceInfoKind::Number16, {}},
    {SQL_MAX_CURSOR_NAME_LEN, TraceInfoKind::Number16, {}},
    {SQL_MAX_SCHEMA_NAME_LEN, TraceInfoKind::Number16, {}},
    {SQL_MAX_PROCEDURE_NAME_LEN, TraceInfoKind::Number16, {}},
    {SQL_MAX_CATALOG_NAME_LEN, TraceInfoKind::Number16, {}},
    {SQL_MAX_TABLE_NAME_LEN, TraceInfoKind::Number16, {}},
    {SQL_MULT_RESULT_SETS, TraceInfoKind::Text, {}},
    {SQL_MULTIPLE_ACTIVE_TXN, TraceInfoKind::Text, {}},
    {SQL_OUTER_JOINS, TraceInfoKind::Text, {}},
    {SQL_SCHEMA_TERM, TraceInfoKind::Text, {}},
    {SQL_PROCEDURE_TERM, TraceInfoKind::Text, {}},
    {SQL_CATALOG_NAME_SEPARATOR, TraceInfoKind::Text, {}},
    {SQL_CATALOG_TERM, TraceInfoKind::Text, {}},
    {SQL_SCROLL_CONCURRENCY, TraceInfoKind::Flags32, kScrollConcurrencyFlags},
    {SQL_SCROLL_OPTIONS, TraceInfoKind::Flags32, kScrollOptionFlags},
    {SQL_TABLE_TERM, TraceInfoKind::Text, {}},
    {SQL_TXN_CAPABLE, TraceInfoKind::Named16, kTxnCapableNames},
    {SQL_USER_NAME, TraceInfoKind::Text, {}},
    {SQL_CONVERT_FUNCTIONS, TraceInfoKind::Flags32, kConvertFunctionFlags},
    {SQL_NUMERIC_FUNCTIONS, TraceInfoKind::Flags32, kNumericFunctionFlags},
    {SQL_STRING_FUNCTIONS, TraceInfoKind::Flags32, kStringFunctionFlags},
    {SQL_SYSTEM_FUNCTIONS, TraceInfoKind::Flags32, kSystemFunctionFlags},
    {SQL_TIMEDATE_FUNCTIONS, TraceInfoKind::Flags32, kTimedateFunctionFlags},
    {SQL_CONVERT_BIGINT, TraceInfoKind::Flags32, kConvertFlags},
    {SQL_CONVERT_BINARY, TraceInfoKind::Flags32, kConvertFlags},
    {SQL_CONVERT_BIT, TraceInfoKind::Flags32, kConvertFlags},
    {SQL_CONVERT_CHAR, TraceInfoKind::Flags32, kConvertFlags},
    {SQL_CONVERT_DATE, TraceInfoKind::Flags32, kConvertFlags},
    {SQL_CONVERT_DECIMAL, TraceInfoKind::Flags32, kConvertFlags},
    {SQL_CONVERT_DOUBLE, TraceInfoKind::Flags32, kConvertFlags},
    {SQL_CONVERT_FLOAT, TraceInfoKind::Flags32, kConvertFlags},
    {SQL_CONVERT_INTEGER, TraceInfoKind::Flags32, kConvertFlags},
    {SQL_CONVERT_LONGVARCHAR, TraceInfoKind::Flags32, kConvertFlags},
    {SQL_CONVERT_NUMERIC, TraceInfoKind::Flags32, kConvertFlags},
    {SQL_CONVERT_REAL, TraceInfoKind::Flags32, kConvertFlags},
    {SQL_CONVERT_SMALLINT, TraceInfoKind::Flags32, kConvertFlags},
    {SQL_CONVERT_TIME, TraceInfoKind::Flags32, kConvertFlags},
    {SQL_CONVERT_TIMESTAMP, TraceInfoKind::Flags32, kConvertFlags},
    {SQL_CONVERT_TINYINT, TraceInfoKind::Flags32, kConvertFlags},
    {SQL_CONVERT_VARBINARY, TraceInfoKind::Flags32, kConvertFlags},
    {SQL_CONVERT_VARCHAR, TraceInfoKind::Flags32, kConvertFlags},
    {SQL_CONVERT_LONGVARBINARY, TraceInfoKind::Flags32, kConvertFlags},
    {SQL_TXN_ISOLATION_OPTION, TraceInfoKind::Flags32, kTxnIsolationFlags},
    {SQL_INTEGRITY, TraceInfoKind::Text, {}},
    {SQL_CORRELATION_NAME, TraceInfoKind::Named16, kCorrelationNameNames},
    {SQL_NON_NULLABLE_COLUMNS, TraceInfoKind::Named16, kNonNullableColumnNames},
    {SQL_DRIVER_ODBC_VER, TraceInfoKind::Text, {}},
    {SQL_LOCK_TYPES, TraceInfoKind::Flags32, kLockTypeFlags},
    {SQL_POS_OPERATIONS, TraceInfoKind::Flags32, kPosOperationFlags},
    {SQL_POSITIONED_STATEMENTS, TraceInfoKind::Flags32, kPositionedStatementFlags},
    {SQL_GETDATA_EXTENSIONS, TraceInfoKind::Flags32, kGetDataExtensionFlags},
    {SQL_BOOKMARK_PERSISTENCE, TraceInfoKind::Flags32, kBookmarkPersistenceFlags},
    {SQL_STATIC_SENSITIVITY, TraceInfoKind::Flags32, kStaticSensitivityFlags},
    {SQL_FILE_USAGE, TraceInfoKind::Named16, kFileUsageNames},
    {SQL_NULL_COLLATION, TraceInfoKind::Named16, kNullCollationNames},
    {SQL_ALTER_TABLE, TraceInfoKind::Flags32, kAlterTableFlags},
    {SQL_COLUMN_ALIAS, TraceInfoKind::Text, {}},
    {SQL_GROUP_BY, TraceInfoKind::Named16, kGroupByNames},
    {SQL_KEYWORDS, TraceInfoKind::Text, {}},
    {SQL_ORDER_BY_COLUMNS_IN_SELECT, TraceInfoKind::Text, {}},
    {SQL_SCHEMA_USAGE, TraceInfoKind::Flags32, kSchemaUsageFlags},
    {SQL_CATALOG_USAGE, TraceInfoKind::Flags32, kCatalogUsageFlags},
    {SQL_QUOTED_IDENTIFIER_CASE, TraceInfoKind::Named16, kIdentifierCaseNames},
    {SQL_SPECIAL_CHARACTERS, TraceInfoKind::Text, {}},
    {SQL_SUBQUERIES, TraceInfoKind::Flags32, kSubqueryFlags},
    {SQL_UNION, TraceInfoKind::Flags32, kUnionFlags},
    {SQL_MAX_COLUMNS_IN_GROUP_BY, TraceInfoKind::Number16, {}},
    {SQL_MAX_COLUMNS_IN_INDEX, TraceInfoKind::Number16, {}},
    {SQL_MAX_COLUMNS_IN_ORDER_BY, TraceInfoKind::Number16, {}},
    {SQL_MAX_COLUMNS_IN_SELECT, TraceInfoKind::Number16, {}},
    {SQL_MAX_COLUMNS_IN_TABLE, TraceInfoKind::Number16, {}},
    {SQL_MAX_INDEX_SIZE, TraceInfoKind::Number32, {}},
    {SQL_MAX_ROW_SIZE_INCLUDES_LONG, TraceInfoKind::Text, {}},
    {SQL_MAX_ROW_SIZE, TraceInfoKind::Number32, {}},
    {SQL_MAX_STATEMENT_LEN, TraceInfoKind::Number32, {}},
    {SQL_MAX_TABLES_IN_SELECT, TraceInfoKind::Number16, {}},
    {SQL_MAX_USER_NAME_LEN, TraceInfoKind::Number16, {}},
    {SQL_MAX_CHAR_LITERAL_LEN, TraceInfoKind::Number32, {}},
    {SQL_TIMEDATE_ADD_INTERVALS, TraceInfoKind::Flags32, kTimestampIntervalFlags},
    {SQL_TIMEDATE_DIFF_INTERVALS, TraceInfoKind::Flags32, kTimestampIntervalFlags},
    {SQL_NEED_LONG_DATA_LEN, TraceInfoKind::Text, {}},
    {SQL_MAX_BINARY_LITERAL_LEN, TraceInfoKind::Number32, {}},
    {SQL_LIKE_ESCAPE_CLAUSE, TraceInfoKind::Text, {}},
    {SQL_CATALOG_LOCATION, TraceInfoKind::Named16, kCatalogLocationNames},
    {SQL_OJ_CAPABILITIES, TraceInfoKind::Flags32, kOuterJoinFlags},
    {SQL_ACTIVE_ENVIRONMENTS, TraceInfoKind::Number16, {}},
    {SQL_ALTER_DOMAIN, TraceInfoKind::Flags32, kAlterDomainFlags},
    {SQL_SQL_CONFORMANCE, TraceInfoKind::Named32, kSqlConformanceNames},
    {SQL_DATETIME_LITERALS, TraceInfoKind::Flags32, kDatetimeLiteralFlags},
    {SQL_BATCH_ROW_COUNT, TraceInfoKind::Flags32, kBatchRowCountFlags},
    {SQL_BATCH_SUPPORT, TraceInfoKind::Flags32, kBatchSupportFlags},
    {SQL_CONVERT_INTERVAL_DAY_TIME, TraceInfoKind::Flags32, kConvertFlags},
    {SQL_CONVERT_INTERVAL_YEAR_MONTH, TraceInfoKind::Flags32, kConvertFlags},
    {SQL_CREATE_ASSERTION, TraceInfoKind::Flags32, kCreateAssertionFlags},
    {SQL_CREATE_CHARACTER_SET, TraceInfoKind::Flags32, kCreateCharacterSetFlags},
    {SQL_CREATE_COLLATION, TraceInfoKind::Flags32, kCreateCollationFlags},
    {SQL_CREATE_DOMAIN, TraceInfoKind::Flags32, kCreateDomainFlags},
    {SQL_CREATE_SCHEMA, TraceInfoKind::Flags32, kCreateSchemaFlags},
    {SQL_CREATE_TABLE, TraceInfoKind::Flags32, kCreateTableFlags},
    {SQL_CREATE_TRANSLATION, TraceInfoKind::Flags32, kCreateTranslationFlags},
    {SQL_CREATE_VIEW, TraceInfoKind::Flags32, kCreateViewFlags},
    {SQL_DROP_ASSERTION, TraceInfoKind::Flags32, kDropAssertionFlags},
    {SQL_DROP_CHARACTER_SET, TraceInfoKind::Flags32, kDropCharacterSetFlags},
    {SQL_DROP_COLLATION, TraceInfoKind::Flags32, kDropCollationFlags},
    {SQL_DROP_DOMAIN, TraceInfoKind::Flags32, kDropDomainFlags},
    {SQL_DROP_SCHEMA, TraceInfoKind::Flags32, kDropSchemaFlags},
    {SQL_DROP_TABLE, TraceInfoKind::Flags32, kDropTableFlags},
    {SQL_DROP_TRANSLATION, TraceInfoKind::Flags32, kDropTranslationFlags},
    {SQL_DROP_VIEW, TraceInfoKind::Flags32, kDropViewFlags},
    {SQL_DYNAMIC_CURSOR_ATTRIBUTES1, TraceInfoKind::Flags32, kCursorAttributes1Flags},
    {SQL_DYNAMIC_CURSOR_ATTRIBUTES2, TraceInfoKind::Flags32, kCursorAttributes2Flags},
    {SQL_FORWARD_ONLY_CURSOR_ATTRIBUTES1, TraceInfoKind::Flags32, kCursorAttributes1Flags},
    {SQL_FORWARD_ONLY_CURSOR_ATTRIBUTES2, TraceInfoKind::Flags32, kCursorAttributes2Flags},
    {SQL_INDEX_KEYWORDS, TraceInfoKind::Flags32, kIndexKeywordFlags},
    {SQL_INFO_SCHEMA_VIEWS, TraceInfoKind::Flags32, kInfoSchemaViewFlags},
    {SQL_KEYSET_CURSOR_ATTRIBUTES1, TraceInfoKind::Flags32, kCursorAttributes1Flags},
    {SQL_KEYSET_CURSOR_ATTRIBUTES2, TraceInfoKind::Flags32, kCursorAttributes2Flags},
    {SQL_ODBC_INTERFACE_CONFORMANCE, TraceInfoKind::Named32, kInterfaceConformanceNames},
    {SQL_PARAM_ARRAY_ROW_COUNTS, TraceInfoKind::Named32, kParamArrayRowCountNames},
    {SQL_PARAM_ARRAY_SELECTS, TraceInfoKind::Named32, kParamArraySelectNames},
    {SQL_SQL92_DATETIME_FUNCTIONS, TraceInfoKind::Flags32, kSql92DatetimeFunctionFlags},
    {SQL_SQL92_FOREIGN_KEY_DELETE_RULE, TraceInfoKind::Flags32, kForeignKeyDeleteRuleFlags},
    {SQL_SQL92_FOREIGN_KEY_UPDATE_RULE, TraceInfoKind::Flags32, kForeignKeyUpdateRuleFlags},
    {SQL_SQL92_GRANT, TraceInfoKind::Flags32, kSql92GrantFlags},
    {SQL_SQL92_NUMERIC_VALUE_FUNCTIONS, TraceInfoKind::Flags32, kSql92NumericValueFunctionFlags},
    {SQL_SQL92_PREDICATES, TraceInfoKind::Flags32, kSql92PredicateFlags},
    {SQL_SQL92_RELATIONAL_JOIN_OPERATORS, TraceInfoKind::Flags32, kSql92RelationalJoinFlags},
    {SQL_SQL92_REVOKE, TraceInfoKind::Flags32, kSql92RevokeFlags},
    {SQL_SQL92_ROW_VALUE_CONSTRUCTOR, TraceInfoKind::Flags32, kSql92RowValueConstructorFlags},
    {SQL_SQL92_STRING_FUNCTIONS, TraceInfoKind::Flags32, kSql92StringFunctionFlags},
    {SQL_SQL92_VALUE_EXPRESSIONS, TraceInfoKind::Flags32, kSql92ValueExpressionFlags},
    {SQL_STANDARD_CLI_CONFORMANCE, TraceInfoKind::Named32, kStandardCliConformanceNames},
    {SQL_STATIC_CURSOR_ATTRIBUTES1, TraceInfoKind::Flags32, kCursorAttributes1Flags},
    {SQL_STATIC_CURSOR_ATTRIBUTES2, TraceInfoKind::Flags32, kCursorAttributes2Flags},
    {SQL_AGGREGATE_FUNCTIONS, TraceInfoKind::Flags32, kAggregateFunctionFlags},
    {SQL_DDL_INDEX, TraceInfoKind::Flags32, kDdlIndexFlags},
    {SQL_INSERT_STATEMENT, TraceInfoKind::Flags32, kInsertStatementFlags},
    {SQL_CURSOR_SENSITIVITY, TraceInfoKind::Named32, kCursorSensitivityNames},
    {SQL_DESCRIBE_PARAMETER, TraceInfoKind::Text, {}},
    {SQL_CATALOG_NAME, TraceInfoKind::Text, {}},
    {SQL_COLLATION_SEQ, TraceInfoKind::Text, {}},
    {SQL_MAX_IDENTIFIER_LEN, TraceInfoKind::Number16, {}},
    {SQL_ASYNC_MODE, TraceInfoKind::Named32, kAsyncModeNames},
    {SQL_MAX_ASYNC_CONCURRENT_STATEMENTS, TraceInfoKind::Number32, {}},
};

const TraceNamedTable kAllTables[] = {
    {"kHandleTypeNames", kHandleTypeNames},
    {"kReturnCodeNames", kReturnCodeNames},
    {"kEnvAttributeNames", kEnvAttributeNames},
    {"kConnectAttributeNames", kConnectAttributeNames},
    {"kInfoTypeNames", kInfoTypeNames},
    {"kStatementAttributeNames", kStatementAttributeNames},
    {"kDescriptorFieldNames", kDescriptorFieldNames},
    {"kSqlTypeNames", kSqlTypeNames},
    {"kCTypeNames", kCTypeNames},
    {"kDriverCompletionNames", kDriverCompletionNames},
    {"kParamTypeNames", kParamTypeNames},
    {"kDiagIdentifierNames", kDiagIdentifierNames},
    {"kFunctionIdNames", kFunctionIdNames},
    {"kFetchOrientationNames", kFetchOrientationNames},
    {"kCompletionTypeNames", kCompletionTypeNames},
    {"kSetPosOperationNames", kSetPosOperationNames},
    {"kLockTypeNames", kLockTypeNames},
    {"kBulkOperationNames", kBulkOperationNames},
    {"kIdentifierTypeNames", kIdentifierTypeNames},
    {"kScopeNames", kScopeNames},
    {"kNullableNames", kNullableNames},
    {"kUniqueNames", kUniqueNames},
    {"kAccuracyNames", kAccuracyNames},
    {"kFreeStmtOptionNames", kFreeStmtOptionNames},
    {"kIntervalCodeNames", kIntervalCodeNames},
    {"kValueLengthNames", kValueLengthNames},
    {"kIndicatorNames", kIndicatorNames},
    {"kTrueFalseNames", kTrueFalseNames},
    {"kOdbcVersionNames", kOdbcVersionNames},
    {"kAccessModeNames", kAccessModeNames},
    {"kAsyncEnableNames", kAsyncEnableNames},
    {"kAutocommitNames", kAutocommitNames},
    {"kMarsEnabledNames", kMarsEnabledNames},
    {"kCursorSensitivityNames", kCursorSensitivityNames},
    {"kCursorScrollableNames", kCursorScrollableNames},
    {"kNoscanNames", kNoscanNames},
    {"kCursorTypeNames", kCursorTypeNames},
    {"kConcurrencyNames", kConcurrencyNames},
    {"kSimulateCursorNames", kSimulateCursorNames},
    {"kRetrieveDataNames", kRetrieveDataNames},
    {"kUseBookmarksNames", kUseBookmarksNames},
    {"kUpdatableNames", kUpdatableNames},
    {"kSearchableNames", kSearchableNames},
    {"kUnnamedNames", kUnnamedNames},
    {"kAllocTypeNames", kAllocTypeNames},
    {"kTxnIsolationFlags", kTxnIsolationFlags},
    {"kAsyncModeNames", kAsyncModeNames},
    {"kFetchDirectionFlags", kFetchDirectionFlags},
    {"kOdbcApiConformanceNames", kOdbcApiConformanceNames},
    {"kOdbcSqlConformanceNames", kOdbcSqlConformanceNames},
    {"kConcatNullNames", kConcatNullNames},
    {"kCursorBehaviorNames", kCursorBehaviorNames},
    {"kIdentifierCaseNames", kIdentifierCaseNames},
    {"kScrollConcurrencyFlags", kScrollConcurrencyFlags},
    {"kScrollOptionFlags", kScrollOptionFlags},
    {"kTxnCapableNames", kTxnCapableNames},
    {"kConvertFunctionFlags", kConvertFunctionFlags},
    {"kNumericFunctionFlags", kNumericFunctionFlags},
    {"kStringFunctionFlags", kStringFunctionFlags},
    {"kSystemFunctionFlags", kSystemFunctionFlags},
    {"kTimedateFunctionFlags", kTimedateFunctionFlags},
    {"kConvertFlags", kConvertFlags},
    {"kCorrelationNameNames", kCorrelationNameNames},
    {"kNonNullableColumnNames", kNonNullableColumnNames},
    {"kLockTypeFlags", kLockTypeFlags},
    {"kPosOperationFlags", kPosOperationFlags},
    {"kPositionedStatementFlags", kPositionedStatementFlags},
    {"kGetDataExtensionFlags", kGetDataExtensionFlags},
    {"kBookmarkPersistenceFlags", kBookmarkPersistenceFlags},
    {"kStaticSensitivityFlags", kStaticSensitivityFlags},
    {"kFileUsageNames", kFileUsageNames},
    {"kNullCollationNames", kNullCollationNames},
    {"kAlterTableFlags", kAlterTableFlags},
    {"kGroupByNames", kGroupByNames},
    {"kSchemaUsageFlags", kSchemaUsageFlags},
    {"kCatalogUsageFlags", kCatalogUsageFlags},
    {"kSubqueryFlags", kSubqueryFlags},
    {"kUnionFlags", kUnionFlags},
    {"kTimestampIntervalFlags", kTimestampIntervalFlags},
    {"kCatalogLocationNames", kCatalogLocationNames},
    {"kOuterJoinFlags", kOuterJoinFlags},
    {"kAlterDomainFlags", kAlterDomainFlags},
    {"kSqlConformanceNames", kSqlConformanceNames},
    {"kDatetimeLiteralFlags", kDatetimeLiteralFlags},
    {"kBatchRowCountFlags", kBatchRowCountFlags},
    {"kBatchSupportFlags", kBatchSupportFlags},
    {"kCreateAssertionFlags", kCreateAssertionFlags},
    {"kCreateCharacterSetFlags", kCreateCharacterSetFlags},
    {"kCreateCollationFlags", kCreateCollationFlags},
    {"kCreateDomainFlags", kCreateDomainFlags},
    {"kCreateSchemaFlags", kCreateSchemaFlags},
    {"kCreateTableFlags", kCreateTableFlags},
    {"kCreateTranslationFlags", kCreateTranslationFlags},
    {"kCreateViewFlags", kCreateViewFlags},
    {"kDropAssertionFlags", kDropAssertionFlags},
    {"kDropCharacterSetFlags", kDropCharacterSetFlags},
    {"kDropCollationFlags", kDropCollationFlags},
    {"kDropDomainFlags", kDropDomainFlags},
    {"kDropSchemaFlags", kDropSchemaFlags},
    {"kDropTableFlags", kDropTableFlags},
    {"kDropTranslationFlags", kDropTranslationFlags},
    {"kDropViewFlags", kDropViewFlags},
    {"kCursorAttributes1Flags", kCursorAttributes1Flags},
    {"kCursorAttributes2Flags", kCursorAttributes2Flags},
    {"kIndexKeywordFlags", kIndexKeywordFlags},
    {"kInfoSchemaViewFlags", kInfoSchemaViewFlags},
    {"kInterfaceConformanceNames", kInterfaceConformanceNames},
    {"kParamArrayRowCountNames", kParamArrayRowCountNames},
    {"kParamArraySelectNames", kParamArraySelectNames},
    {"kSql92DatetimeFunctionFlags", kSql92DatetimeFunctionFlags},
    {"kForeignKeyDeleteRuleFlags", kForeignKeyDeleteRuleFlags},
    {"kForeignKeyUpdateRuleFlags", kForeignKeyUpdateRuleFlags},
    {"kSql92GrantFlags", kSql92GrantFlags},
    {"kSql92NumericValueFunctionFlags", kSql92NumericValueFunctionFlags},
    {"kSql92PredicateFlags", kSql92PredicateFlags},
    {"kSql92RelationalJoinFlags", kSql92RelationalJoinFlags},
    {"kSql92RevokeFlags", kSql92RevokeFlags},
    {"kSql92RowValueConstructorFlags", kSql92RowValueConstructorFlags},
    {"kSql92StringFunctionFlags", kSql92StringFunctionFlags},
    {"kSql92ValueExpressionFlags", kSql92ValueExpressionFlags},
    {"kStandardCliConformanceNames", kStandardCliConformanceNames},
    {"kAggregateFunctionFlags", kAggregateFunctionFlags},
    {"kDdlIndexFlags", kDdlIndexFlags},
    {"kInsertStatementFlags", kInsertStatementFlags},
};
// clang-format on

}  // namespace

namespace traceNames {

constinit const TraceNameTable handleTypes{kHandleTypeNames};
constinit const TraceNameTable returnCodes{kReturnCodeNames};
constinit const TraceNameTable envAttributes{kEnvAttributeNames};
constinit const TraceNameTable connectAttributes{kConnectAttributeNames};
constinit const TraceNameTable infoTypes{kInfoTypeNames};
constinit const TraceNameTable statementAttributes{kStatementAttributeNames};
constinit const TraceNameTable descriptorFields{kDescriptorFieldNames};
constinit const TraceNameTable sqlTypes{kSqlTypeNames};
constinit const TraceNameTable cTypes{kCTypeNames};
constinit const TraceNameTable driverCompletions{kDriverCompletionNames};
constinit const TraceNameTable paramTypes{kParamTypeNames};
constinit const TraceNameTable diagIdentifiers{kDiagIdentifierNames};
constinit const TraceNameTable functionIds{kFunctionIdNames};
constinit const TraceNameTable fetchOrientations{kFetchOrientationNames};
constinit const TraceNameTable completionTypes{kCompletionTypeNames};
constinit const TraceNameTable setPosOperations{kSetPosOperationNames};
constinit const TraceNameTable lockTypes{kLockTypeNames};
constinit const TraceNameTable bulkOperations{kBulkOperationNames};
constinit const TraceNameTable identifierTypes{kIdentifierTypeNames};
constinit const TraceNameTable scopes{kScopeNames};
constinit const TraceNameTable nullables{kNullableNames};
constinit const TraceNameTable uniques{kUniqueNames};
constinit const TraceNameTable accuracies{kAccuracyNames};
constinit const TraceNameTable freeStmtOptions{kFreeStmtOptionNames};
constinit const TraceNameTable intervalCodes{kIntervalCodeNames};
constinit const TraceNameTable valueLengths{kValueLengthNames};
constinit const TraceNameTable indicators{kIndicatorNames};
constinit const TraceNameTable trueFalse{kTrueFalseNames};
constinit const TraceNameTable odbcVersions{kOdbcVersionNames};
constinit const TraceNameTable accessModes{kAccessModeNames};
constinit const TraceNameTable asyncEnables{kAsyncEnableNames};
constinit const TraceNameTable autocommits{kAutocommitNames};
constinit const TraceNameTable marsEnabled{kMarsEnabledNames};
constinit const TraceNameTable cursorSensitivities{kCursorSensitivityNames};
constinit const TraceNameTable cursorScrollables{kCursorScrollableNames};
constinit const TraceNameTable noscans{kNoscanNames};
constinit const TraceNameTable cursorTypes{kCursorTypeNames};
constinit const TraceNameTable concurrencies{kConcurrencyNames};
constinit const TraceNameTable simulateCursors{kSimulateCursorNames};
constinit const TraceNameTable retrieveData{kRetrieveDataNames};
constinit const TraceNameTable useBookmarks{kUseBookmarksNames};
constinit const TraceNameTable updatables{kUpdatableNames};
constinit const TraceNameTable searchables{kSearchableNames};
constinit const TraceNameTable unnamed{kUnnamedNames};
constinit const TraceNameTable allocTypes{kAllocTypeNames};
constinit const TraceNameTable txnIsolationFlags{kTxnIsolationFlags};

std::span<const TraceNamedTable> allTables() {
    return kAllTables;
}

std::span<const TraceInfoItem> infoItems() {
    return kInfoItems;
}

const TraceInfoItem* findInfoItem(SQLUSMALLINT infoType) {
    const auto* found =
        std::find_if(std::begin(kInfoItems), std::end(kInfoItems),
                     [infoType](const TraceInfoItem& item) { return item.infoType == infoType; });
    return found == std::end(kInfoItems) ? nullptr : found;
}

}  // namespace traceNames
