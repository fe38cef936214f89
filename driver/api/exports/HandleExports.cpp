// Allocation and release of handles.
#include <sql.h>
#include <sqlext.h>

#include "platform/ExportBoundary.h"
#include "driver/api/ExportMacros.h"
#include "driver/api/HandleCalls.h"

MORVANEX_EXPORT SQLRETURN SQL_API SQLAllocHandle(SQLSMALLINT HandleType, SQLHANDLE InputHandle,
                                                 SQLHANDLE* OutputHandle) {
    return exportBoundary(calls::allocationPoster(HandleType, InputHandle), [&] {
        return calls::allocHandle(HandleType, InputHandle, OutputHandle);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLAllocEnv(SQLHENV* EnvironmentHandle) {
    return exportBoundary(HandlePoster{0, SQL_NULL_HANDLE},
                          [&] { return calls::allocEnv(EnvironmentHandle); });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLAllocConnect(SQLHENV EnvironmentHandle,
                                                  SQLHDBC* ConnectionHandle) {
    return exportBoundary(HandlePoster{SQL_HANDLE_ENV, EnvironmentHandle},
                          [&] { return calls::allocConnect(EnvironmentHandle, ConnectionHandle); });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLAllocStmt(SQLHDBC ConnectionHandle,
                                               SQLHSTMT* StatementHandle) {
    return exportBoundary(HandlePoster{SQL_HANDLE_DBC, ConnectionHandle},
                          [&] { return calls::allocStmt(ConnectionHandle, StatementHandle); });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLFreeHandle(SQLSMALLINT HandleType, SQLHANDLE Handle) {
    return exportBoundary(HandlePoster{HandleType, Handle},
                          [&] { return calls::freeHandle(HandleType, Handle); });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLFreeEnv(SQLHENV EnvironmentHandle) {
    return exportBoundary(HandlePoster{SQL_HANDLE_ENV, EnvironmentHandle},
                          [&] { return calls::freeEnv(EnvironmentHandle); });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLFreeConnect(SQLHDBC ConnectionHandle) {
    return exportBoundary(HandlePoster{SQL_HANDLE_DBC, ConnectionHandle},
                          [&] { return calls::freeConnect(ConnectionHandle); });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLFreeStmt(SQLHSTMT StatementHandle, SQLUSMALLINT Option) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, StatementHandle},
                          [&] { return calls::freeStmt(StatementHandle, Option); });
}
