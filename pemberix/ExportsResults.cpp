// Result sets: column descriptions, binding, fetching and SQLGetData.
#include "pemberix/ExportCall.h"
#include "pemberix/StringFields.h"
#include "pemberix/WideCalls.h"
#include "pemberix/WideColumns.h"

#include <sqlext.h>

using namespace pemberix;

PEMBERIX_EXPORT SQLRETURN SQL_API SQLBindCol(SQLHSTMT StatementHandle, SQLUSMALLINT ColumnNumber,
                                             SQLSMALLINT TargetType, SQLPOINTER TargetValue,
                                             SQLLEN BufferLength, SQLLEN* StrLen_or_Ind) {
    return runExport(SQL_HANDLE_STMT, StatementHandle, [&] {
        if (pg().SQLBindCol == nullptr) {
            return missingEntryPoint(SQL_HANDLE_STMT, StatementHandle);
        }
        StatementState& state = statementState(StatementHandle);
        if (TargetValue != nullptr && wantsWideColumn(StatementHandle, ColumnNumber, TargetType)) {
            return bindWideColumn(StatementHandle, state, ColumnNumber, TargetValue, BufferLength,
                                  StrLen_or_Ind);
        }
        const SQLRETURN rc = pg().SQLBindCol(StatementHandle, ColumnNumber, TargetType, TargetValue,
                                             BufferLength, StrLen_or_Ind);
        if (SQL_SUCCEEDED(rc)) {
            state.wideColumns.erase(ColumnNumber);
        }
        return rc;
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLGetData(SQLHSTMT StatementHandle, SQLUSMALLINT ColumnNumber,
                                             SQLSMALLINT TargetType, SQLPOINTER TargetValue,
                                             SQLLEN BufferLength, SQLLEN* StrLen_or_Ind) {
    return runExport(SQL_HANDLE_STMT, StatementHandle, CallKind::WideRead, [&] {
        if (pg().SQLGetData == nullptr) {
            return missingEntryPoint(SQL_HANDLE_STMT, StatementHandle);
        }
        StatementState& state = statementState(StatementHandle);
        const bool sameWideRead =
            state.read.active && state.read.column == ColumnNumber && TargetType == SQL_C_WCHAR;
        if (sameWideRead || wantsWideColumn(StatementHandle, ColumnNumber, TargetType)) {
            return getWideData(StatementHandle, state, ColumnNumber, TargetValue, BufferLength,
                               StrLen_or_Ind);
        }
        state.read = WideRead{};
        return pg().SQLGetData(StatementHandle, ColumnNumber, TargetType, TargetValue, BufferLength,
                               StrLen_or_Ind);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLFetch(SQLHSTMT StatementHandle) {
    return runExport(SQL_HANDLE_STMT, StatementHandle, [&] {
        if (pg().SQLFetch == nullptr) {
            return missingEntryPoint(SQL_HANDLE_STMT, StatementHandle);
        }
        return fetchWithWideColumns(StatementHandle, statementState(StatementHandle),
                                    [&] { return pg().SQLFetch(StatementHandle); });
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLFetchScroll(SQLHSTMT StatementHandle,
                                                 SQLSMALLINT FetchOrientation, SQLLEN FetchOffset) {
    return runExport(SQL_HANDLE_STMT, StatementHandle, [&] {
        if (pg().SQLFetchScroll == nullptr) {
            return missingEntryPoint(SQL_HANDLE_STMT, StatementHandle);
        }
        return fetchWithWideColumns(StatementHandle, statementState(StatementHandle), [&] {
            return pg().SQLFetchScroll(StatementHandle, FetchOrientation, FetchOffset);
        });
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLExtendedFetch(SQLHSTMT hstmt, SQLUSMALLINT fFetchType,
                                                   SQLLEN irow, SQLULEN* pcrow,
                                                   SQLUSMALLINT* rgfRowStatus) {
    return runExport(SQL_HANDLE_STMT, hstmt, [&] {
        if (pg().SQLExtendedFetch == nullptr) {
            return missingEntryPoint(SQL_HANDLE_STMT, hstmt);
        }
        return extendedFetchWithWideColumns(hstmt, statementState(hstmt), fFetchType, irow, pcrow,
                                            rgfRowStatus);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLMoreResults(SQLHSTMT hstmt) {
    return runExport(SQL_HANDLE_STMT, hstmt,
                     [&] { return forward(SQL_HANDLE_STMT, hstmt, pg().SQLMoreResults, hstmt); });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLNumResultCols(SQLHSTMT StatementHandle,
                                                   SQLSMALLINT* ColumnCount) {
    return runExport(SQL_HANDLE_STMT, StatementHandle, [&] {
        return forward(SQL_HANDLE_STMT, StatementHandle, pg().SQLNumResultCols, StatementHandle,
                       ColumnCount);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLRowCount(SQLHSTMT StatementHandle, SQLLEN* RowCount) {
    return runExport(SQL_HANDLE_STMT, StatementHandle, [&] {
        return forward(SQL_HANDLE_STMT, StatementHandle, pg().SQLRowCount, StatementHandle,
                       RowCount);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API
SQLColAttribute(SQLHSTMT StatementHandle, SQLUSMALLINT ColumnNumber, SQLUSMALLINT FieldIdentifier,
                SQLPOINTER CharacterAttribute, SQLSMALLINT BufferLength, SQLSMALLINT* StringLength,
                SQLLEN* NumericAttribute) {
    return runExport(SQL_HANDLE_STMT, StatementHandle, [&] {
        return forward(SQL_HANDLE_STMT, StatementHandle, pg().SQLColAttribute, StatementHandle,
                       ColumnNumber, FieldIdentifier, CharacterAttribute, BufferLength,
                       StringLength, NumericAttribute);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLColAttributeW(SQLHSTMT hstmt, SQLUSMALLINT iCol,
                                                   SQLUSMALLINT iField, SQLPOINTER pCharAttr,
                                                   SQLSMALLINT cbCharAttrMax,
                                                   SQLSMALLINT* pcbCharAttr, SQLLEN* pNumAttr) {
    return runExport(SQL_HANDLE_STMT, hstmt, [&] {
        return colAttributeW(hstmt, iCol, iField, pCharAttr, cbCharAttrMax, pcbCharAttr, pNumAttr);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLColAttributes(SQLHSTMT hstmt, SQLUSMALLINT icol,
                                                   SQLUSMALLINT fDescType, SQLPOINTER rgbDesc,
                                                   SQLSMALLINT cbDescMax, SQLSMALLINT* pcbDesc,
                                                   SQLLEN* pfDesc) {
    return runExport(SQL_HANDLE_STMT, hstmt, [&] {
        return forward(SQL_HANDLE_STMT, hstmt, pg().SQLColAttribute, hstmt, icol,
                       columnFieldFromOdbc2(fDescType), rgbDesc, cbDescMax, pcbDesc, pfDesc);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLColAttributesW(SQLHSTMT hstmt, SQLUSMALLINT icol,
                                                    SQLUSMALLINT fDescType, SQLPOINTER rgbDesc,
                                                    SQLSMALLINT cbDescMax, SQLSMALLINT* pcbDesc,
                                                    SQLLEN* pfDesc) {
    return runExport(SQL_HANDLE_STMT, hstmt, [&] {
        return colAttributeW(hstmt, icol, columnFieldFromOdbc2(fDescType), rgbDesc, cbDescMax,
                             pcbDesc, pfDesc);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLDescribeCol(SQLHSTMT StatementHandle,
                                                 SQLUSMALLINT ColumnNumber, SQLCHAR* ColumnName,
                                                 SQLSMALLINT BufferLength, SQLSMALLINT* NameLength,
                                                 SQLSMALLINT* DataType, SQLULEN* ColumnSize,
                                                 SQLSMALLINT* DecimalDigits,
                                                 SQLSMALLINT* Nullable) {
    return runExport(SQL_HANDLE_STMT, StatementHandle, [&] {
        return forward(SQL_HANDLE_STMT, StatementHandle, pg().SQLDescribeCol, StatementHandle,
                       ColumnNumber, ColumnName, BufferLength, NameLength, DataType, ColumnSize,
                       DecimalDigits, Nullable);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLDescribeColW(SQLHSTMT hstmt, SQLUSMALLINT icol,
                                                  SQLWCHAR* szColName, SQLSMALLINT cbColNameMax,
                                                  SQLSMALLINT* pcbColName, SQLSMALLINT* pfSqlType,
                                                  SQLULEN* pcbColDef, SQLSMALLINT* pibScale,
                                                  SQLSMALLINT* pfNullable) {
    return runExport(SQL_HANDLE_STMT, hstmt, [&] {
        return describeColW(hstmt, icol, szColName, cbColNameMax, pcbColName, pfSqlType, pcbColDef,
                            pibScale, pfNullable);
    });
}
