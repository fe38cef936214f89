#pragma once

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <cstddef>
#include <span>
#include <string_view>

// The entry points of an adapted driver, resolved by name from its library
// once when it is loaded and called directly afterwards. Narrow and wide
// forms are separate entries; an entry is null when the library does not
// export that name.

// The groups the entries are declared in.
enum class EntryPointGroup {
    CatalogNarrow,
    CatalogWide,
    Connection,
    Cursor,
    Diagnostics,
    Execution,
    Allocation,
    Release,
    Information,
    Attributes,
    Descriptors,
    WideAttributes,
    Parameters,
    Results,
    Transactions,
};

// One row per entry point, in declaration order:
//   X(name, group, function whose prototype it has)
// The ODBC headers give no prototype for SQLSetDescRecW; it takes no text,
// so it has the narrow function's.
#define MORVANEX_ADAPTED_ENTRY_POINTS(X)                          \
    X(SQLColumnPrivileges, CatalogNarrow, SQLColumnPrivileges)    \
    X(SQLColumns, CatalogNarrow, SQLColumns)                      \
    X(SQLForeignKeys, CatalogNarrow, SQLForeignKeys)              \
    X(SQLPrimaryKeys, CatalogNarrow, SQLPrimaryKeys)              \
    X(SQLProcedureColumns, CatalogNarrow, SQLProcedureColumns)    \
    X(SQLProcedures, CatalogNarrow, SQLProcedures)                \
    X(SQLSpecialColumns, CatalogNarrow, SQLSpecialColumns)        \
    X(SQLStatistics, CatalogNarrow, SQLStatistics)                \
    X(SQLTablePrivileges, CatalogNarrow, SQLTablePrivileges)      \
    X(SQLTables, CatalogNarrow, SQLTables)                        \
    X(SQLColumnPrivilegesW, CatalogWide, SQLColumnPrivilegesW)    \
    X(SQLColumnsW, CatalogWide, SQLColumnsW)                      \
    X(SQLForeignKeysW, CatalogWide, SQLForeignKeysW)              \
    X(SQLPrimaryKeysW, CatalogWide, SQLPrimaryKeysW)              \
    X(SQLProcedureColumnsW, CatalogWide, SQLProcedureColumnsW)    \
    X(SQLProceduresW, CatalogWide, SQLProceduresW)                \
    X(SQLSpecialColumnsW, CatalogWide, SQLSpecialColumnsW)        \
    X(SQLStatisticsW, CatalogWide, SQLStatisticsW)                \
    X(SQLTablePrivilegesW, CatalogWide, SQLTablePrivilegesW)      \
    X(SQLTablesW, CatalogWide, SQLTablesW)                        \
    X(SQLConnect, Connection, SQLConnect)                         \
    X(SQLDisconnect, Connection, SQLDisconnect)                   \
    X(SQLDriverConnect, Connection, SQLDriverConnect)             \
    X(SQLConnectW, Connection, SQLConnectW)                       \
    X(SQLDriverConnectW, Connection, SQLDriverConnectW)           \
    X(SQLBulkOperations, Cursor, SQLBulkOperations)               \
    X(SQLCloseCursor, Cursor, SQLCloseCursor)                     \
    X(SQLGetCursorName, Cursor, SQLGetCursorName)                 \
    X(SQLSetCursorName, Cursor, SQLSetCursorName)                 \
    X(SQLSetPos, Cursor, SQLSetPos)                               \
    X(SQLGetCursorNameW, Cursor, SQLGetCursorNameW)               \
    X(SQLSetCursorNameW, Cursor, SQLSetCursorNameW)               \
    X(SQLError, Diagnostics, SQLError)                            \
    X(SQLGetDiagField, Diagnostics, SQLGetDiagField)              \
    X(SQLGetDiagRec, Diagnostics, SQLGetDiagRec)                  \
    X(SQLGetDiagFieldW, Diagnostics, SQLGetDiagFieldW)            \
    X(SQLGetDiagRecW, Diagnostics, SQLGetDiagRecW)                \
    X(SQLCancel, Execution, SQLCancel)                            \
    X(SQLExecDirect, Execution, SQLExecDirect)                    \
    X(SQLExecute, Execution, SQLExecute)                          \
    X(SQLParamData, Execution, SQLParamData)                      \
    X(SQLPutData, Execution, SQLPutData)                          \
    X(SQLExecDirectW, Execution, SQLExecDirectW)                  \
    X(SQLAllocConnect, Allocation, SQLAllocConnect)               \
    X(SQLAllocEnv, Allocation, SQLAllocEnv)                       \
    X(SQLAllocStmt, Allocation, SQLAllocStmt)                     \
    X(SQLAllocHandle, Allocation, SQLAllocHandle)                 \
    X(SQLFreeConnect, Release, SQLFreeConnect)                    \
    X(SQLFreeEnv, Release, SQLFreeEnv)                            \
    X(SQLFreeStmt, Release, SQLFreeStmt)                          \
    X(SQLFreeHandle, Release, SQLFreeHandle)                      \
    X(SQLGetFunctions, Information, SQLGetFunctions)              \
    X(SQLGetInfo, Information, SQLGetInfo)                        \
    X(SQLGetTypeInfo, Information, SQLGetTypeInfo)                \
    X(SQLGetInfoW, Information, SQLGetInfoW)                      \
    X(SQLGetTypeInfoW, Information, SQLGetTypeInfoW)              \
    X(SQLSetConnectAttr, Attributes, SQLSetConnectAttr)           \
    X(SQLGetConnectAttr, Attributes, SQLGetConnectAttr)           \
    X(SQLGetConnectOption, Attributes, SQLGetConnectOption)       \
    X(SQLGetEnvAttr, Attributes, SQLGetEnvAttr)                   \
    X(SQLGetStmtAttr, Attributes, SQLGetStmtAttr)                 \
    X(SQLGetStmtOption, Attributes, SQLGetStmtOption)             \
    X(SQLSetConnectOption, Attributes, SQLSetConnectOption)       \
    X(SQLSetEnvAttr, Attributes, SQLSetEnvAttr)                   \
    X(SQLSetStmtAttr, Attributes, SQLSetStmtAttr)                 \
    X(SQLSetStmtOption, Attributes, SQLSetStmtOption)             \
    X(SQLGetDescField, Descriptors, SQLGetDescField)              \
    X(SQLSetDescField, Descriptors, SQLSetDescField)              \
    X(SQLGetDescRec, Descriptors, SQLGetDescRec)                  \
    X(SQLSetDescRec, Descriptors, SQLSetDescRec)                  \
    X(SQLSetConnectAttrW, WideAttributes, SQLSetConnectAttrW)     \
    X(SQLGetConnectAttrW, WideAttributes, SQLGetConnectAttrW)     \
    X(SQLGetStmtAttrW, WideAttributes, SQLGetStmtAttrW)           \
    X(SQLSetConnectOptionW, WideAttributes, SQLSetConnectOptionW) \
    X(SQLSetStmtAttrW, WideAttributes, SQLSetStmtAttrW)           \
    X(SQLGetDescFieldW, WideAttributes, SQLGetDescFieldW)         \
    X(SQLGetDescRecW, WideAttributes, SQLGetDescRecW)             \
    X(SQLSetDescRecW, WideAttributes, SQLSetDescRec)              \
    X(SQLBindParameter, Parameters, SQLBindParameter)             \
    X(SQLNativeSql, Parameters, SQLNativeSql)                     \
    X(SQLPrepare, Parameters, SQLPrepare)                         \
    X(SQLParamOptions, Parameters, SQLParamOptions)               \
    X(SQLDescribeParam, Parameters, SQLDescribeParam)             \
    X(SQLNumParams, Parameters, SQLNumParams)                     \
    X(SQLNativeSqlW, Parameters, SQLNativeSqlW)                   \
    X(SQLPrepareW, Parameters, SQLPrepareW)                       \
    X(SQLBindCol, Results, SQLBindCol)                            \
    X(SQLColAttribute, Results, SQLColAttribute)                  \
    X(SQLColAttributes, Results, SQLColAttributes)                \
    X(SQLDescribeCol, Results, SQLDescribeCol)                    \
    X(SQLFetch, Results, SQLFetch)                                \
    X(SQLMoreResults, Results, SQLMoreResults)                    \
    X(SQLExtendedFetch, Results, SQLExtendedFetch)                \
    X(SQLFetchScroll, Results, SQLFetchScroll)                    \
    X(SQLGetData, Results, SQLGetData)                            \
    X(SQLNumResultCols, Results, SQLNumResultCols)                \
    X(SQLRowCount, Results, SQLRowCount)                          \
    X(SQLColAttributeW, Results, SQLColAttributeW)                \
    X(SQLColAttributesW, Results, SQLColAttributesW)              \
    X(SQLDescribeColW, Results, SQLDescribeColW)                  \
    X(SQLEndTran, Transactions, SQLEndTran)                       \
    X(SQLTransact, Transactions, SQLTransact)

// The resolved table: one typed pointer per entry, named after it.
struct AdaptedDriverEntryPoints {
#define MORVANEX_ENTRY_POINT_MEMBER(name, group, prototype) decltype(&::prototype) name = nullptr;
    MORVANEX_ADAPTED_ENTRY_POINTS(MORVANEX_ENTRY_POINT_MEMBER)
#undef MORVANEX_ENTRY_POINT_MEMBER
};

// What the loader knows of one entry: its name, its group, and how to store
// a symbol into (and test) its slot of the table.
struct AdaptedEntryPointRow {
    const char* name;
    EntryPointGroup group;
    void (*store)(AdaptedDriverEntryPoints& table, void* symbol);
    bool (*isSet)(const AdaptedDriverEntryPoints& table);
};

// Every row, in declaration order.
std::span<const AdaptedEntryPointRow> adaptedEntryPointRows();

// Looks the row's name up in `library` (a dlopen handle) and stores what it
// finds, null included, in the table. True when the library exports it.
bool resolveAdaptedEntryPoint(void* library, const AdaptedEntryPointRow& row,
                              AdaptedDriverEntryPoints& table);
