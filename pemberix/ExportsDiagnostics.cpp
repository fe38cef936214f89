// Diagnostics. These calls leave the handle's records as they are.
#include "pemberix/ExportCall.h"

using namespace pemberix;

PEMBERIX_EXPORT SQLRETURN SQL_API SQLError(SQLHENV EnvironmentHandle, SQLHDBC ConnectionHandle,
                                           SQLHSTMT StatementHandle, SQLCHAR* Sqlstate,
                                           SQLINTEGER* NativeError, SQLCHAR* MessageText,
                                           SQLSMALLINT BufferLength, SQLSMALLINT* TextLength) {
    return runExportUnchecked([&] {
        return nextError(EnvironmentHandle, ConnectionHandle, StatementHandle, Sqlstate,
                         NativeError, MessageText, BufferLength, TextLength);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLGetDiagRec(SQLSMALLINT HandleType, SQLHANDLE Handle,
                                                SQLSMALLINT RecNumber, SQLCHAR* Sqlstate,
                                                SQLINTEGER* NativeError, SQLCHAR* MessageText,
                                                SQLSMALLINT BufferLength, SQLSMALLINT* TextLength) {
    return runExport(HandleType, Handle, CallKind::Parallel, [&] {
        return diagRec(HandleType, Handle, RecNumber, Sqlstate, NativeError, MessageText,
                       BufferLength, TextLength);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLGetDiagRecW(SQLSMALLINT fHandleType, SQLHANDLE handle,
                                                 SQLSMALLINT iRecord, SQLWCHAR* szSqlState,
                                                 SQLINTEGER* pfNativeError, SQLWCHAR* szErrorMsg,
                                                 SQLSMALLINT cbErrorMsgMax,
                                                 SQLSMALLINT* pcbErrorMsg) {
    return runExport(fHandleType, handle, CallKind::Parallel, [&] {
        return diagRecW(fHandleType, handle, iRecord, szSqlState, pfNativeError, szErrorMsg,
                        cbErrorMsgMax, pcbErrorMsg);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLGetDiagField(SQLSMALLINT HandleType, SQLHANDLE Handle,
                                                  SQLSMALLINT RecNumber, SQLSMALLINT DiagIdentifier,
                                                  SQLPOINTER DiagInfo, SQLSMALLINT BufferLength,
                                                  SQLSMALLINT* StringLength) {
    return runExport(HandleType, Handle, CallKind::Parallel, [&] {
        return diagField(HandleType, Handle, RecNumber, DiagIdentifier, DiagInfo, BufferLength,
                         StringLength);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLGetDiagFieldW(SQLSMALLINT fHandleType, SQLHANDLE handle,
                                                   SQLSMALLINT iRecord, SQLSMALLINT fDiagField,
                                                   SQLPOINTER rgbDiagInfo,
                                                   SQLSMALLINT cbDiagInfoMax,
                                                   SQLSMALLINT* pcbDiagInfo) {
    return runExport(fHandleType, handle, CallKind::Parallel, [&] {
        return diagFieldW(fHandleType, handle, iRecord, fDiagField, rgbDiagInfo, cbDiagInfoMax,
                          pcbDiagInfo);
    });
}
