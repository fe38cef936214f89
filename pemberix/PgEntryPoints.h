#pragma once

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

// iODBC declares no wide form of SQLSetDescRec; it carries no text.
extern "C" SQLRETURN SQL_API SQLSetDescRecW(SQLHDESC DescriptorHandle, SQLSMALLINT RecNumber,
                                            SQLSMALLINT Type, SQLSMALLINT SubType, SQLLEN Length,
                                            SQLSMALLINT Precision, SQLSMALLINT Scale,
                                            SQLPOINTER Data, SQLLEN* StringLength,
                                            SQLLEN* Indicator);

namespace pemberix {

static_assert(sizeof(SQLWCHAR) == 4 && sizeof(SQLWCHAR) == sizeof(wchar_t),
              "callers pass iODBC's 32-bit wide characters");

// The PostgreSQL driver is built for 16-bit wide characters (UTF-16).
using PgWideChar = char16_t;

// Each entry point's type is the header prototype with the wide-character
// width swapped, so the compiler checks every other argument against ODBC.
template <class T>
struct PgParameter {
    using type = T;
};
template <>
struct PgParameter<SQLWCHAR*> {
    using type = PgWideChar*;
};
template <class F>
struct PgFunction;
template <class R, class... A>
struct PgFunction<R (*)(A...)> {
    using type = R (*)(typename PgParameter<A>::type...);
};
template <auto F>
using PgFunctionOf = typename PgFunction<decltype(F)>::type;

// The driver's SQLSetPos takes a 64-bit row number where iODBC's header
// declares 16 bits; the value is widened on the way.
using PgSetPos = SQLRETURN (*)(SQLHSTMT, SQLULEN, SQLUSMALLINT, SQLUSMALLINT);

// Every entry point forwarded to the PostgreSQL driver, one name a row.
// The ODBC 2 names of the forwarded set are served through these.
#define PEMBERIX_PG_ENTRY_POINTS(X) \
    X(SQLColumnPrivileges)          \
    X(SQLColumns)                   \
    X(SQLForeignKeys)               \
    X(SQLPrimaryKeys)               \
    X(SQLProcedureColumns)          \
    X(SQLProcedures)                \
    X(SQLSpecialColumns)            \
    X(SQLStatistics)                \
    X(SQLTablePrivileges)           \
    X(SQLTables)                    \
    X(SQLColumnPrivilegesW)         \
    X(SQLColumnsW)                  \
    X(SQLForeignKeysW)              \
    X(SQLPrimaryKeysW)              \
    X(SQLProcedureColumnsW)         \
    X(SQLProceduresW)               \
    X(SQLSpecialColumnsW)           \
    X(SQLStatisticsW)               \
    X(SQLTablePrivilegesW)          \
    X(SQLTablesW)                   \
    X(SQLConnect)                   \
    X(SQLDisconnect)                \
    X(SQLDriverConnect)             \
    X(SQLConnectW)                  \
    X(SQLDriverConnectW)            \
    X(SQLBulkOperations)            \
    X(SQLCloseCursor)               \
    X(SQLGetCursorName)             \
    X(SQLSetCursorName)             \
    X(SQLGetCursorNameW)            \
    X(SQLSetCursorNameW)            \
    X(SQLGetDiagField)              \
    X(SQLGetDiagRec)                \
    X(SQLGetDiagFieldW)             \
    X(SQLGetDiagRecW)               \
    X(SQLCancel)                    \
    X(SQLExecDirect)                \
    X(SQLExecute)                   \
    X(SQLParamData)                 \
    X(SQLPutData)                   \
    X(SQLExecDirectW)               \
    X(SQLAllocHandle)               \
    X(SQLFreeStmt)                  \
    X(SQLFreeHandle)                \
    X(SQLGetFunctions)              \
    X(SQLGetInfo)                   \
    X(SQLGetTypeInfo)               \
    X(SQLGetInfoW)                  \
    X(SQLGetTypeInfoW)              \
    X(SQLSetConnectAttr)            \
    X(SQLGetConnectAttr)            \
    X(SQLGetEnvAttr)                \
    X(SQLGetStmtAttr)               \
    X(SQLSetEnvAttr)                \
    X(SQLSetStmtAttr)               \
    X(SQLGetDescField)              \
    X(SQLSetDescField)              \
    X(SQLGetDescRec)                \
    X(SQLSetDescRec)                \
    X(SQLSetConnectAttrW)           \
    X(SQLGetConnectAttrW)           \
    X(SQLGetStmtAttrW)              \
    X(SQLSetStmtAttrW)              \
    X(SQLGetDescFieldW)             \
    X(SQLGetDescRecW)               \
    X(SQLSetDescRecW)               \
    X(SQLBindParameter)             \
    X(SQLNativeSql)                 \
    X(SQLPrepare)                   \
    X(SQLDescribeParam)             \
    X(SQLNumParams)                 \
    X(SQLNativeSqlW)                \
    X(SQLPrepareW)                  \
    X(SQLBindCol)                   \
    X(SQLColAttribute)              \
    X(SQLDescribeCol)               \
    X(SQLFetch)                     \
    X(SQLMoreResults)               \
    X(SQLExtendedFetch)             \
    X(SQLFetchScroll)               \
    X(SQLGetData)                   \
    X(SQLNumResultCols)             \
    X(SQLRowCount)                  \
    X(SQLColAttributeW)             \
    X(SQLDescribeColW)              \
    X(SQLEndTran)

// The resolved entry points; a null entry is a name the driver lacks.
struct PgEntryPoints {
#define PEMBERIX_PG_SLOT(name) PgFunctionOf<& ::name> name = nullptr;
    PEMBERIX_PG_ENTRY_POINTS(PEMBERIX_PG_SLOT)
#undef PEMBERIX_PG_SLOT
    PgSetPos SQLSetPos = nullptr;
};

}  // namespace pemberix
