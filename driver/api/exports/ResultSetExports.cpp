// Describing, binding, fetching and reading a statement's result.
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include "platform/ExportBoundary.h"
#include "driver/api/ExportMacros.h"
#include "driver/api/HandleCalls.h"
#include "driver/api/ResultSetCalls.h"

MORVANEX_EXPORT SQLRETURN SQL_API
SQLColAttribute(SQLHSTMT StatementHandle, SQLUSMALLINT ColumnNumber, SQLUSMALLINT FieldIdentifier,
                SQLPOINTER CharacterAttribute, SQLSMALLINT BufferLength, SQLSMALLINT* StringLength,
                SQLLEN* NumericAttribute) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, StatementHandle}, [&] {
        return calls::colAttribute(StatementHandle, ColumnNumber, FieldIdentifier,
                                   CharacterAttribute, BufferLength, StringLength,
                                   NumericAttribute);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLColAttributes(SQLHSTMT hstmt, SQLUSMALLINT icol,
                                                   SQLUSMALLINT fDescType, SQLPOINTER rgbDesc,
                                                   SQLSMALLINT cbDescMax, SQLSMALLINT* pcbDesc,
                                                   SQLLEN* pfDesc) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, hstmt}, [&] {
        return calls::colAttributes(hstmt, icol, fDescType, rgbDesc, cbDescMax, pcbDesc, pfDesc);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLColAttributesW(SQLHSTMT hstmt, SQLUSMALLINT icol,
                                                    SQLUSMALLINT fDescType, SQLPOINTER rgbDesc,
                                                    SQLSMALLINT cbDescMax, SQLSMALLINT* pcbDesc,
                                                    SQLLEN* pfDesc) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, hstmt}, [&] {
        return calls::colAttributesW(hstmt, icol, fDescType, rgbDesc, cbDescMax, pcbDesc, pfDesc);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLDescribeCol(SQLHSTMT StatementHandle,
                                                 SQLUSMALLINT ColumnNumber, SQLCHAR* ColumnName,
                                                 SQLSMALLINT BufferLength, SQLSMALLINT* NameLength,
                                                 SQLSMALLINT* DataType, SQLULEN* ColumnSize,
                                                 SQLSMALLINT* DecimalDigits,
                                                 SQLSMALLINT* Nullable) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, StatementHandle}, [&] {
        return calls::describeCol(StatementHandle, ColumnNumber, ColumnName, BufferLength,
                                  NameLength, DataType, ColumnSize, DecimalDigits, Nullable);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLDescribeColW(SQLHSTMT hstmt, SQLUSMALLINT icol,
                                                  SQLWCHAR* szColName, SQLSMALLINT cbColNameMax,
                                                  SQLSMALLINT* pcbColName, SQLSMALLINT* pfSqlType,
                                                  SQLULEN* pcbColDef, SQLSMALLINT* pibScale,
                                                  SQLSMALLINT* pfNullable) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, hstmt}, [&] {
        return calls::describeColW(hstmt, icol, szColName, cbColNameMax, pcbColName, pfSqlType,
                                   pcbColDef, pibScale, pfNullable);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLBindCol(SQLHSTMT StatementHandle, SQLUSMALLINT ColumnNumber,
                                             SQLSMALLINT TargetType, SQLPOINTER TargetValue,
                                             SQLLEN BufferLength, SQLLEN* StrLen_or_Ind) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, StatementHandle}, [&] {
        return calls::bindCol(StatementHandle, ColumnNumber, TargetType, TargetValue, BufferLength,
                              StrLen_or_Ind);
    });
}

// The per-row path is marked hot so that its few functions sit together and
// leave the instruction cache to the adapted driver, whose own per-row code
// nearly fills it.
MORVANEX_EXPORT __attribute__((hot)) SQLRETURN SQL_API SQLFetch(SQLHSTMT StatementHandle) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, StatementHandle},
                          [&] { return calls::fetch(StatementHandle); });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLFetchScroll(SQLHSTMT StatementHandle,
                                                 SQLSMALLINT FetchOrientation, SQLLEN FetchOffset) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, StatementHandle}, [&] {
        return calls::fetchScroll(StatementHandle, FetchOrientation, FetchOffset);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLExtendedFetch(SQLHSTMT hstmt, SQLUSMALLINT fFetchType,
                                                   SQLLEN irow, SQLULEN* pcrow,
                                                   SQLUSMALLINT* rgfRowStatus) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, hstmt}, [&] {
        return calls::extendedFetch(hstmt, fFetchType, irow, pcrow, rgfRowStatus);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLNumResultCols(SQLHSTMT StatementHandle,
                                                   SQLSMALLINT* ColumnCount) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, StatementHandle},
                          [&] { return calls::numResultCols(StatementHandle, ColumnCount); });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLRowCount(SQLHSTMT StatementHandle, SQLLEN* RowCount) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, StatementHandle},
                          [&] { return calls::rowCount(StatementHandle, RowCount); });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLGetData(SQLHSTMT StatementHandle, SQLUSMALLINT ColumnNumber,
                                             SQLSMALLINT TargetType, SQLPOINTER TargetValue,
                                             SQLLEN BufferLength, SQLLEN* StrLen_or_Ind) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, StatementHandle}, [&] {
        return calls::getData(StatementHandle, ColumnNumber, TargetType, TargetValue, BufferLength,
                              StrLen_or_Ind);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLMoreResults(SQLHSTMT hstmt) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, hstmt},
                          [&] { return calls::moreResults(hstmt); });
}
