// Handles, connections and transactions.
#include "pemberix/ExportCall.h"
#include "pemberix/WideCalls.h"

using namespace pemberix;

namespace {

// Allocation through the driver; the new handle's state starts afresh,
// whatever an earlier handle at the same address left.
SQLRETURN allocate(SQLSMALLINT type, SQLHANDLE input, SQLHANDLE* output) {
    if (type != SQL_HANDLE_ENV && input == nullptr) {
        return SQL_INVALID_HANDLE;
    }
    if (type != SQL_HANDLE_ENV) {
        HandleRegistry::instance().beginCall(input, CallKind::Ordinary);
    }
    const SQLRETURN rc = forward(type == SQL_HANDLE_ENV   ? SQL_HANDLE_ENV
                                 : type == SQL_HANDLE_DBC ? SQL_HANDLE_ENV
                                                          : SQL_HANDLE_DBC,
                                 input, pg().SQLAllocHandle, type, input, output);
    if (SQL_SUCCEEDED(rc) && output != nullptr && *output != nullptr) {
        HandleRegistry::instance().add(type, *output, input);
    }
    return rc;
}

SQLRETURN release(SQLSMALLINT type, SQLHANDLE handle) {
    const SQLRETURN rc = forward(type, handle, pg().SQLFreeHandle, type, handle);
    if (SQL_SUCCEEDED(rc)) {
        HandleRegistry::instance().forget(handle);
    }
    return rc;
}

}  // namespace

PEMBERIX_EXPORT SQLRETURN SQL_API SQLAllocHandle(SQLSMALLINT HandleType, SQLHANDLE InputHandle,
                                                 SQLHANDLE* OutputHandle) {
    return runExportUnchecked([&] { return allocate(HandleType, InputHandle, OutputHandle); });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLAllocEnv(SQLHENV* EnvironmentHandle) {
    return runExportUnchecked(
        [&] { return allocate(SQL_HANDLE_ENV, SQL_NULL_HANDLE, EnvironmentHandle); });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLAllocConnect(SQLHENV EnvironmentHandle,
                                                  SQLHDBC* ConnectionHandle) {
    return runExportUnchecked(
        [&] { return allocate(SQL_HANDLE_DBC, EnvironmentHandle, ConnectionHandle); });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLAllocStmt(SQLHDBC ConnectionHandle,
                                               SQLHSTMT* StatementHandle) {
    return runExportUnchecked(
        [&] { return allocate(SQL_HANDLE_STMT, ConnectionHandle, StatementHandle); });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLFreeHandle(SQLSMALLINT HandleType, SQLHANDLE Handle) {
    return runExport(HandleType, Handle, [&] { return release(HandleType, Handle); });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLFreeEnv(SQLHENV EnvironmentHandle) {
    return runExport(SQL_HANDLE_ENV, EnvironmentHandle,
                     [&] { return release(SQL_HANDLE_ENV, EnvironmentHandle); });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLFreeConnect(SQLHDBC ConnectionHandle) {
    return runExport(SQL_HANDLE_DBC, ConnectionHandle,
                     [&] { return release(SQL_HANDLE_DBC, ConnectionHandle); });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLFreeStmt(SQLHSTMT StatementHandle, SQLUSMALLINT Option) {
    return runExport(SQL_HANDLE_STMT, StatementHandle, [&] {
        const SQLRETURN rc =
            forward(SQL_HANDLE_STMT, StatementHandle, pg().SQLFreeStmt, StatementHandle, Option);
        if (!SQL_SUCCEEDED(rc)) {
            return rc;
        }
        if (Option == SQL_DROP) {
            HandleRegistry::instance().forget(StatementHandle);
            return rc;
        }
        StatementState& state = statementState(StatementHandle);
        if (Option == SQL_UNBIND) {
            state.wideColumns.clear();
        } else if (Option == SQL_RESET_PARAMS) {
            state.wideParameters.clear();
            state.dataAtExecParameter.reset();
        }
        return rc;
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLConnect(SQLHDBC ConnectionHandle, SQLCHAR* ServerName,
                                             SQLSMALLINT NameLength1, SQLCHAR* UserName,
                                             SQLSMALLINT NameLength2, SQLCHAR* Authentication,
                                             SQLSMALLINT NameLength3) {
    return runExport(SQL_HANDLE_DBC, ConnectionHandle, [&] {
        return forward(SQL_HANDLE_DBC, ConnectionHandle, connectA, ConnectionHandle, ServerName,
                       NameLength1, UserName, NameLength2, Authentication, NameLength3);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLConnectW(SQLHDBC hdbc, SQLWCHAR* szDSN, SQLSMALLINT cbDSN,
                                              SQLWCHAR* szUID, SQLSMALLINT cbUID,
                                              SQLWCHAR* szAuthStr, SQLSMALLINT cbAuthStr) {
    return runExport(SQL_HANDLE_DBC, hdbc, [&] {
        return connectW(hdbc, szDSN, cbDSN, szUID, cbUID, szAuthStr, cbAuthStr);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLDriverConnect(SQLHDBC hdbc, SQLHWND hwnd, SQLCHAR* szConnStrIn,
                                                   SQLSMALLINT cbConnStrIn, SQLCHAR* szConnStrOut,
                                                   SQLSMALLINT cbConnStrOutMax,
                                                   SQLSMALLINT* pcbConnStrOut,
                                                   SQLUSMALLINT fDriverCompletion) {
    return runExport(SQL_HANDLE_DBC, hdbc, [&] {
        return forward(SQL_HANDLE_DBC, hdbc, driverConnectA, hdbc, hwnd, szConnStrIn, cbConnStrIn,
                       szConnStrOut, cbConnStrOutMax, pcbConnStrOut, fDriverCompletion);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLDriverConnectW(SQLHDBC hdbc, SQLHWND hwnd,
                                                    SQLWCHAR* szConnStrIn, SQLSMALLINT cbConnStrIn,
                                                    SQLWCHAR* szConnStrOut,
                                                    SQLSMALLINT cbConnStrOutMax,
                                                    SQLSMALLINT* pcbConnStrOut,
                                                    SQLUSMALLINT fDriverCompletion) {
    return runExport(SQL_HANDLE_DBC, hdbc, [&] {
        return driverConnectW(hdbc, hwnd, szConnStrIn, cbConnStrIn, szConnStrOut, cbConnStrOutMax,
                              pcbConnStrOut, fDriverCompletion);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLDisconnect(SQLHDBC ConnectionHandle) {
    return runExport(SQL_HANDLE_DBC, ConnectionHandle, [&] {
        const SQLRETURN rc =
            forward(SQL_HANDLE_DBC, ConnectionHandle, pg().SQLDisconnect, ConnectionHandle);
        if (SQL_SUCCEEDED(rc)) {
            // Disconnecting frees the connection's statements.
            HandleRegistry::instance().forgetChildren(ConnectionHandle);
        }
        return rc;
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLEndTran(SQLSMALLINT HandleType, SQLHANDLE Handle,
                                             SQLSMALLINT CompletionType) {
    return runExport(HandleType, Handle, [&] {
        return forward(HandleType, Handle, pg().SQLEndTran, HandleType, Handle, CompletionType);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLTransact(SQLHENV EnvironmentHandle, SQLHDBC ConnectionHandle,
                                              SQLUSMALLINT CompletionType) {
    const SQLSMALLINT type = ConnectionHandle != nullptr ? SQL_HANDLE_DBC : SQL_HANDLE_ENV;
    const SQLHANDLE handle = ConnectionHandle != nullptr ? ConnectionHandle : EnvironmentHandle;
    return runExport(type, handle, [&] {
        return forward(type, handle, pg().SQLEndTran, type, handle,
                       static_cast<SQLSMALLINT>(CompletionType));
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLNativeSql(SQLHDBC hdbc, SQLCHAR* szSqlStrIn,
                                               SQLINTEGER cbSqlStrIn, SQLCHAR* szSqlStr,
                                               SQLINTEGER cbSqlStrMax, SQLINTEGER* pcbSqlStr) {
    return runExport(SQL_HANDLE_DBC, hdbc, [&] {
        return forward(SQL_HANDLE_DBC, hdbc, pg().SQLNativeSql, hdbc, szSqlStrIn, cbSqlStrIn,
                       szSqlStr, cbSqlStrMax, pcbSqlStr);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLNativeSqlW(SQLHDBC hdbc, SQLWCHAR* szSqlStrIn,
                                                SQLINTEGER cbSqlStrIn, SQLWCHAR* szSqlStr,
                                                SQLINTEGER cbSqlStrMax, SQLINTEGER* pcbSqlStr) {
    return runExport(SQL_HANDLE_DBC, hdbc, [&] {
        return nativeSqlW(hdbc, szSqlStrIn, cbSqlStrIn, szSqlStr, cbSqlStrMax, pcbSqlStr);
    });
}

PEMBERIX_EXPORT SQLRETURN SQL_API SQLGetFunctions(SQLHDBC ConnectionHandle, SQLUSMALLINT FunctionId,
                                                  SQLUSMALLINT* Supported) {
    return runExport(SQL_HANDLE_DBC, ConnectionHandle, [&] {
        return forward(SQL_HANDLE_DBC, ConnectionHandle, pg().SQLGetFunctions, ConnectionHandle,
                       FunctionId, Supported);
    });
}
