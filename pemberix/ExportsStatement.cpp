// Preparation, execution, parameters and cursors.
#include "pemberix/ExportCall.h"
#include "pemberix/Utf16Argument.h"
#include "pemberix/WideCalls.h"
#include "pemberix/WideColumns.h"
#include "pemberix/WideParameters.h"

#include <sqlext.h>

using namespace pemberix;

namespace {

// Operations that send bound column values to the driver or refresh them.
bool movesBoundColumns(SQLUSMALLINT operation) {
    return operation == SQL_REFRESH || operation == SQL_UPDATE || operation == SQL_ADD;
}

}  // namespace

PEMBERIX_EXPORT SQLRETURN SQL_API SQLPrepare(SQLHSTMT StatementHandle, SQLCHAR* StatementText,
                                             SQLINTEGER TextLength) {
    return runExport(SQL_HANDLE_STMT, StatementHandle, [&] {
        return forward(SQL_HANDLE_STMT, StatementHandle, pg().SQLPrepare, StatementHandle,
                       StatementText, TextLength);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLPrepareW(SQLHSTMT hstmt, SQLWCHAR* szSqlStr,
                                              SQLINTEGER cbSqlStr) {
    return runExport(SQL_HANDLE_STMT, hstmt, [&] {
        Utf16Argument text(szSqlStr, cbSqlStr);
        const auto length = text.integerLength();
        if (!length) {
            return textTooLong(SQL_HANDLE_STMT, hstmt);
        }
        return forward(SQL_HANDLE_STMT, hstmt, pg().SQLPrepareW, hstmt, text.data(), *length);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLExecDirect(SQLHSTMT StatementHandle, SQLCHAR* StatementText,
                                                SQLINTEGER TextLength) {
    return runExport(SQL_HANDLE_STMT, StatementHandle, [&] {
        return executeWithWideParameters(StatementHandle, statementState(StatementHandle), [&] {
            return forward(SQL_HANDLE_STMT, StatementHandle, pg().SQLExecDirect, StatementHandle,
                           StatementText, TextLength);
        });
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLExecDirectW(SQLHSTMT hstmt, SQLWCHAR* szSqlStr,
                                                 SQLINTEGER cbSqlStr) {
    return runExport(SQL_HANDLE_STMT, hstmt, [&] {
        Utf16Argument text(szSqlStr, cbSqlStr);
        const auto length = text.integerLength();
        if (!length) {
            return textTooLong(SQL_HANDLE_STMT, hstmt);
        }
        return executeWithWideParameters(hstmt, statementState(hstmt), [&] {
            return forward(SQL_HANDLE_STMT, hstmt, pg().SQLExecDirectW, hstmt, text.data(),
                           *length);
        });
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLExecute(SQLHSTMT StatementHandle) {
    return runExport(SQL_HANDLE_STMT, StatementHandle, [&] {
        return executeWithWideParameters(StatementHandle, statementState(StatementHandle), [&] {
            return forward(SQL_HANDLE_STMT, StatementHandle, pg().SQLExecute, StatementHandle);
        });
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLCancel(SQLHSTMT StatementHandle) {
    return runExport(SQL_HANDLE_STMT, StatementHandle, CallKind::Parallel, [&] {
        return forward(SQL_HANDLE_STMT, StatementHandle, pg().SQLCancel, StatementHandle);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLParamData(SQLHSTMT StatementHandle, SQLPOINTER* Value) {
    return runExport(SQL_HANDLE_STMT, StatementHandle, [&] {
        if (pg().SQLParamData == nullptr) {
            return missingEntryPoint(SQL_HANDLE_STMT, StatementHandle);
        }
        return paramDataWide(StatementHandle, statementState(StatementHandle), Value);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLPutData(SQLHSTMT StatementHandle, SQLPOINTER Data,
                                             SQLLEN StrLen_or_Ind) {
    return runExport(SQL_HANDLE_STMT, StatementHandle, [&] {
        if (pg().SQLPutData == nullptr) {
            return missingEntryPoint(SQL_HANDLE_STMT, StatementHandle);
        }
        return putDataWide(StatementHandle, statementState(StatementHandle), Data, StrLen_or_Ind);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLBindParameter(SQLHSTMT hstmt, SQLUSMALLINT ipar,
                                                   SQLSMALLINT fParamType, SQLSMALLINT fCType,
                                                   SQLSMALLINT fSqlType, SQLULEN cbColDef,
                                                   SQLSMALLINT ibScale, SQLPOINTER rgbValue,
                                                   SQLLEN cbValueMax, SQLLEN* pcbValue) {
    return runExport(SQL_HANDLE_STMT, hstmt, [&] {
        if (pg().SQLBindParameter == nullptr) {
            return missingEntryPoint(SQL_HANDLE_STMT, hstmt);
        }
        StatementState& state = statementState(hstmt);
        if (wantsWideParameter(fCType, fSqlType)) {
            return bindWideParameter(hstmt, state, ipar, fParamType, fSqlType, cbColDef, ibScale,
                                     rgbValue, cbValueMax, pcbValue);
        }
        const SQLRETURN rc =
            pg().SQLBindParameter(hstmt, ipar, fParamType, fCType, fSqlType, cbColDef, ibScale,
                                  rgbValue, cbValueMax, pcbValue);
        if (SQL_SUCCEEDED(rc)) {
            state.wideParameters.erase(ipar);
        }
        return rc;
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLParamOptions(SQLHSTMT hstmt, SQLULEN crow, SQLULEN* pirow) {
    return runExport(SQL_HANDLE_STMT, hstmt, [&] {
        const SQLRETURN rc =
            forward(SQL_HANDLE_STMT, hstmt, pg().SQLSetStmtAttr, hstmt, SQL_ATTR_PARAMSET_SIZE,
                    reinterpret_cast<SQLPOINTER>(crow), SQLINTEGER{0});
        if (!SQL_SUCCEEDED(rc)) {
            return rc;
        }
        return pg().SQLSetStmtAttr(hstmt, SQL_ATTR_PARAMS_PROCESSED_PTR, pirow, 0);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLDescribeParam(SQLHSTMT hstmt, SQLUSMALLINT ipar,
                                                   SQLSMALLINT* pfSqlType, SQLULEN* pcbParamDef,
                                                   SQLSMALLINT* pibScale, SQLSMALLINT* pfNullable) {
    return runExport(SQL_HANDLE_STMT, hstmt, [&] {
        return forward(SQL_HANDLE_STMT, hstmt, pg().SQLDescribeParam, hstmt, ipar, pfSqlType,
                       pcbParamDef, pibScale, pfNullable);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLNumParams(SQLHSTMT hstmt, SQLSMALLINT* pcpar) {
    return runExport(SQL_HANDLE_STMT, hstmt, [&] {
        return forward(SQL_HANDLE_STMT, hstmt, pg().SQLNumParams, hstmt, pcpar);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLGetCursorName(SQLHSTMT StatementHandle, SQLCHAR* CursorName,
                                                   SQLSMALLINT BufferLength,
                                                   SQLSMALLINT* NameLength) {
    return runExport(SQL_HANDLE_STMT, StatementHandle, [&] {
        return forward(SQL_HANDLE_STMT, StatementHandle, pg().SQLGetCursorName, StatementHandle,
                       CursorName, BufferLength, NameLength);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLGetCursorNameW(SQLHSTMT hstmt, SQLWCHAR* szCursor,
                                                    SQLSMALLINT cbCursorMax,
                                                    SQLSMALLINT* pcbCursor) {
    return runExport(SQL_HANDLE_STMT, hstmt,
                     [&] { return getCursorNameW(hstmt, szCursor, cbCursorMax, pcbCursor); });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLSetCursorName(SQLHSTMT StatementHandle, SQLCHAR* CursorName,
                                                   SQLSMALLINT NameLength) {
    return runExport(SQL_HANDLE_STMT, StatementHandle, [&] {
        return forward(SQL_HANDLE_STMT, StatementHandle, pg().SQLSetCursorName, StatementHandle,
                       CursorName, NameLength);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLSetCursorNameW(SQLHSTMT hstmt, SQLWCHAR* szCursor,
                                                    SQLSMALLINT cbCursor) {
    return runExport(SQL_HANDLE_STMT, hstmt, [&] {
        Utf16Argument name(szCursor, cbCursor);
        const auto length = name.smallLength();
        if (!length) {
            return textTooLong(SQL_HANDLE_STMT, hstmt);
        }
        return forward(SQL_HANDLE_STMT, hstmt, pg().SQLSetCursorNameW, hstmt, name.data(), *length);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLCloseCursor(SQLHSTMT StatementHandle) {
    return runExport(SQL_HANDLE_STMT, StatementHandle, [&] {
        return forward(SQL_HANDLE_STMT, StatementHandle, pg().SQLCloseCursor, StatementHandle);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLSetPos(SQLHSTMT hstmt, SQLSETPOSIROW irow,
                                            SQLUSMALLINT fOption, SQLUSMALLINT fLock) {
    return runExport(SQL_HANDLE_STMT, hstmt, [&] {
        if (movesBoundColumns(fOption) && !statementState(hstmt).wideColumns.empty()) {
            return refuseWithWideColumns(hstmt);
        }
        return forward(SQL_HANDLE_STMT, hstmt, pg().SQLSetPos, hstmt, static_cast<SQLULEN>(irow),
                       fOption, fLock);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLBulkOperations(SQLHSTMT StatementHandle,
                                                    SQLSMALLINT Operation) {
    return runExport(SQL_HANDLE_STMT, StatementHandle, [&] {
        if (!statementState(StatementHandle).wideColumns.empty()) {
            return refuseWithWideColumns(StatementHandle);
        }
        return forward(SQL_HANDLE_STMT, StatementHandle, pg().SQLBulkOperations, StatementHandle,
                       Operation);
    });
}
