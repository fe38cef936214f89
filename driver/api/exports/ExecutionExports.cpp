// Preparing and running SQL text and supplying its parameters.
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include "driver/api/ExecutionCalls.h"
#include "platform/ExportBoundary.h"
#include "driver/api/ExportMacros.h"
#include "driver/api/HandleCalls.h"

MORVANEX_EXPORT SQLRETURN SQL_API SQLBindParameter(SQLHSTMT hstmt, SQLUSMALLINT ipar,
                                                   SQLSMALLINT fParamType, SQLSMALLINT fCType,
                                                   SQLSMALLINT fSqlType, SQLULEN cbColDef,
                                                   SQLSMALLINT ibScale, SQLPOINTER rgbValue,
                                                   SQLLEN cbValueMax, SQLLEN* pcbValue) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, hstmt}, [&] {
        return calls::bindParameter(hstmt, ipar, fParamType, fCType, fSqlType, cbColDef, ibScale,
                                    rgbValue, cbValueMax, pcbValue);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLPrepare(SQLHSTMT StatementHandle, SQLCHAR* StatementText,
                                             SQLINTEGER TextLength) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, StatementHandle}, [&] {
        return calls::prepare(StatementHandle, StatementText, TextLength);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLPrepareW(SQLHSTMT hstmt, SQLWCHAR* szSqlStr,
                                              SQLINTEGER cbSqlStr) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, hstmt},
                          [&] { return calls::prepareW(hstmt, szSqlStr, cbSqlStr); });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLDescribeParam(SQLHSTMT hstmt, SQLUSMALLINT ipar,
                                                   SQLSMALLINT* pfSqlType, SQLULEN* pcbColDef,
                                                   SQLSMALLINT* pibScale, SQLSMALLINT* pfNullable) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, hstmt}, [&] {
        return calls::describeParam(hstmt, ipar, pfSqlType, pcbColDef, pibScale, pfNullable);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLNumParams(SQLHSTMT hstmt, SQLSMALLINT* pcpar) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, hstmt},
                          [&] { return calls::numParams(hstmt, pcpar); });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLParamOptions(SQLHSTMT hstmt, SQLULEN crow, SQLULEN* pirow) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, hstmt},
                          [&] { return calls::paramOptions(hstmt, crow, pirow); });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLNativeSql(SQLHDBC hdbc, SQLCHAR* szSqlStrIn,
                                               SQLINTEGER cbSqlStrIn, SQLCHAR* szSqlStr,
                                               SQLINTEGER cbSqlStrMax, SQLINTEGER* pcbSqlStr) {
    return exportBoundary(HandlePoster{SQL_HANDLE_DBC, hdbc}, [&] {
        return calls::nativeSql(hdbc, szSqlStrIn, cbSqlStrIn, szSqlStr, cbSqlStrMax, pcbSqlStr);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLNativeSqlW(SQLHDBC hdbc, SQLWCHAR* szSqlStrIn,
                                                SQLINTEGER cbSqlStrIn, SQLWCHAR* szSqlStr,
                                                SQLINTEGER cbSqlStrMax, SQLINTEGER* pcbSqlStr) {
    return exportBoundary(HandlePoster{SQL_HANDLE_DBC, hdbc}, [&] {
        return calls::nativeSqlW(hdbc, szSqlStrIn, cbSqlStrIn, szSqlStr, cbSqlStrMax, pcbSqlStr);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLExecDirect(SQLHSTMT StatementHandle, SQLCHAR* StatementText,
                                                SQLINTEGER TextLength) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, StatementHandle}, [&] {
        return calls::execDirect(StatementHandle, StatementText, TextLength);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLExecDirectW(SQLHSTMT hstmt, SQLWCHAR* szSqlStr,
                                                 SQLINTEGER cbSqlStr) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, hstmt},
                          [&] { return calls::execDirectW(hstmt, szSqlStr, cbSqlStr); });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLExecute(SQLHSTMT StatementHandle) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, StatementHandle},
                          [&] { return calls::execute(StatementHandle); });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLCancel(SQLHSTMT StatementHandle) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, StatementHandle},
                          [&] { return calls::cancel(StatementHandle); });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLParamData(SQLHSTMT StatementHandle, SQLPOINTER* Value) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, StatementHandle},
                          [&] { return calls::paramData(StatementHandle, Value); });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLPutData(SQLHSTMT StatementHandle, SQLPOINTER Data,
                                             SQLLEN StrLen_or_Ind) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, StatementHandle},
                          [&] { return calls::putData(StatementHandle, Data, StrLen_or_Ind); });
}
