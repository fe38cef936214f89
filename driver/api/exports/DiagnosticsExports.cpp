// Reading diagnostics: SQLGetDiagRec, SQLGetDiagField, their W forms and
// SQLError.
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include "driver/api/DiagnosticsCalls.h"
#include "platform/ExportBoundary.h"
#include "driver/api/ExportMacros.h"
#include "driver/api/HandleCalls.h"

MORVANEX_EXPORT SQLRETURN SQL_API SQLGetDiagRec(SQLSMALLINT HandleType, SQLHANDLE Handle,
                                                SQLSMALLINT RecNumber, SQLCHAR* Sqlstate,
                                                SQLINTEGER* NativeError, SQLCHAR* MessageText,
                                                SQLSMALLINT BufferLength, SQLSMALLINT* TextLength) {
    return exportBoundary(HandlePoster{HandleType, Handle}, [&] {
        return calls::getDiagRec(HandleType, Handle, RecNumber, Sqlstate, NativeError, MessageText,
                                 BufferLength, TextLength);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLGetDiagRecW(SQLSMALLINT HandleType, SQLHANDLE Handle,
                                                 SQLSMALLINT RecNumber, SQLWCHAR* Sqlstate,
                                                 SQLINTEGER* NativeError, SQLWCHAR* MessageText,
                                                 SQLSMALLINT BufferLength,
                                                 SQLSMALLINT* TextLength) {
    return exportBoundary(HandlePoster{HandleType, Handle}, [&] {
        return calls::getDiagRecW(HandleType, Handle, RecNumber, Sqlstate, NativeError, MessageText,
                                  BufferLength, TextLength);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLGetDiagField(SQLSMALLINT HandleType, SQLHANDLE Handle,
                                                  SQLSMALLINT RecNumber, SQLSMALLINT DiagIdentifier,
                                                  SQLPOINTER DiagInfo, SQLSMALLINT BufferLength,
                                                  SQLSMALLINT* StringLength) {
    return exportBoundary(HandlePoster{HandleType, Handle}, [&] {
        return calls::getDiagField(HandleType, Handle, RecNumber, DiagIdentifier, DiagInfo,
                                   BufferLength, StringLength);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLGetDiagFieldW(SQLSMALLINT HandleType, SQLHANDLE Handle,
                                                   SQLSMALLINT RecNumber,
                                                   SQLSMALLINT DiagIdentifier, SQLPOINTER DiagInfo,
                                                   SQLSMALLINT BufferLength,
                                                   SQLSMALLINT* StringLength) {
    return exportBoundary(HandlePoster{HandleType, Handle}, [&] {
        return calls::getDiagFieldW(HandleType, Handle, RecNumber, DiagIdentifier, DiagInfo,
                                    BufferLength, StringLength);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLError(SQLHENV EnvironmentHandle, SQLHDBC ConnectionHandle,
                                           SQLHSTMT StatementHandle, SQLCHAR* Sqlstate,
                                           SQLINTEGER* NativeError, SQLCHAR* MessageText,
                                           SQLSMALLINT BufferLength, SQLSMALLINT* TextLength) {
    const HandlePoster poster =
        StatementHandle != SQL_NULL_HSTMT   ? HandlePoster{SQL_HANDLE_STMT, StatementHandle}
        : ConnectionHandle != SQL_NULL_HDBC ? HandlePoster{SQL_HANDLE_DBC, ConnectionHandle}
                                            : HandlePoster{SQL_HANDLE_ENV, EnvironmentHandle};
    return exportBoundary(poster, [&] {
        return calls::error(EnvironmentHandle, ConnectionHandle, StatementHandle, Sqlstate,
                            NativeError, MessageText, BufferLength, TextLength);
    });
}
