// Cursor names, closing the cursor, and positioned operations.
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include "driver/api/CursorCalls.h"
#include "platform/ExportBoundary.h"
#include "driver/api/ExportMacros.h"
#include "driver/api/HandleCalls.h"

MORVANEX_EXPORT SQLRETURN SQL_API SQLCloseCursor(SQLHSTMT StatementHandle) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, StatementHandle},
                          [&] { return calls::closeCursor(StatementHandle); });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLGetCursorName(SQLHSTMT StatementHandle, SQLCHAR* CursorName,
                                                   SQLSMALLINT BufferLength,
                                                   SQLSMALLINT* NameLength) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, StatementHandle}, [&] {
        return calls::getCursorName(StatementHandle, CursorName, BufferLength, NameLength);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLGetCursorNameW(SQLHSTMT hstmt, SQLWCHAR* szCursor,
                                                    SQLSMALLINT cbCursorMax,
                                                    SQLSMALLINT* pcbCursor) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, hstmt}, [&] {
        return calls::getCursorNameW(hstmt, szCursor, cbCursorMax, pcbCursor);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLSetCursorName(SQLHSTMT StatementHandle, SQLCHAR* CursorName,
                                                   SQLSMALLINT NameLength) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, StatementHandle}, [&] {
        return calls::setCursorName(StatementHandle, CursorName, NameLength);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLSetCursorNameW(SQLHSTMT hstmt, SQLWCHAR* szCursor,
                                                    SQLSMALLINT cbCursor) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, hstmt},
                          [&] { return calls::setCursorNameW(hstmt, szCursor, cbCursor); });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLSetPos(SQLHSTMT hstmt, SQLSETPOSIROW irow,
                                            SQLUSMALLINT fOption, SQLUSMALLINT fLock) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, hstmt},
                          [&] { return calls::setPos(hstmt, irow, fOption, fLock); });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLBulkOperations(SQLHSTMT StatementHandle,
                                                    SQLSMALLINT Operation) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, StatementHandle}, [&] {
        return calls::bulkOperations(StatementHandle, static_cast<SQLUSMALLINT>(Operation));
    });
}
