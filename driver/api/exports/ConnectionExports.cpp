// Connecting, disconnecting and completing transactions.
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include "driver/api/ConnectionCalls.h"
#include "platform/ExportBoundary.h"
#include "driver/api/ExportMacros.h"
#include "driver/api/HandleCalls.h"

MORVANEX_EXPORT SQLRETURN SQL_API SQLConnect(SQLHDBC ConnectionHandle, SQLCHAR* ServerName,
                                             SQLSMALLINT NameLength1, SQLCHAR* UserName,
                                             SQLSMALLINT NameLength2, SQLCHAR* Authentication,
                                             SQLSMALLINT NameLength3) {
    return exportBoundary(HandlePoster{SQL_HANDLE_DBC, ConnectionHandle}, [&] {
        return calls::connect(ConnectionHandle, ServerName, NameLength1, UserName, NameLength2,
                              Authentication, NameLength3);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLConnectW(SQLHDBC ConnectionHandle, SQLWCHAR* ServerName,
                                              SQLSMALLINT NameLength1, SQLWCHAR* UserName,
                                              SQLSMALLINT NameLength2, SQLWCHAR* Authentication,
                                              SQLSMALLINT NameLength3) {
    return exportBoundary(HandlePoster{SQL_HANDLE_DBC, ConnectionHandle}, [&] {
        return calls::connectW(ConnectionHandle, ServerName, NameLength1, UserName, NameLength2,
                               Authentication, NameLength3);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API
SQLDriverConnect(SQLHDBC ConnectionHandle, SQLHWND WindowHandle, SQLCHAR* InConnectionString,
                 SQLSMALLINT StringLength1, SQLCHAR* OutConnectionString, SQLSMALLINT BufferLength,
                 SQLSMALLINT* StringLength2Ptr, SQLUSMALLINT DriverCompletion) {
    return exportBoundary(HandlePoster{SQL_HANDLE_DBC, ConnectionHandle}, [&] {
        return calls::driverConnect(ConnectionHandle, WindowHandle, InConnectionString,
                                    StringLength1, OutConnectionString, BufferLength,
                                    StringLength2Ptr, DriverCompletion);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLDriverConnectW(
    SQLHDBC ConnectionHandle, SQLHWND WindowHandle, SQLWCHAR* InConnectionString,
    SQLSMALLINT StringLength1, SQLWCHAR* OutConnectionString, SQLSMALLINT BufferLength,
    SQLSMALLINT* StringLength2Ptr, SQLUSMALLINT DriverCompletion) {
    return exportBoundary(HandlePoster{SQL_HANDLE_DBC, ConnectionHandle}, [&] {
        return calls::driverConnectW(ConnectionHandle, WindowHandle, InConnectionString,
                                     StringLength1, OutConnectionString, BufferLength,
                                     StringLength2Ptr, DriverCompletion);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLDisconnect(SQLHDBC ConnectionHandle) {
    return exportBoundary(HandlePoster{SQL_HANDLE_DBC, ConnectionHandle},
                          [&] { return calls::disconnect(ConnectionHandle); });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLEndTran(SQLSMALLINT HandleType, SQLHANDLE Handle,
                                             SQLSMALLINT CompletionType) {
    return exportBoundary(HandlePoster{HandleType, Handle},
                          [&] { return calls::endTran(HandleType, Handle, CompletionType); });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLTransact(SQLHENV EnvironmentHandle, SQLHDBC ConnectionHandle,
                                              SQLUSMALLINT CompletionType) {
    const HandlePoster poster = ConnectionHandle != SQL_NULL_HDBC
                                    ? HandlePoster{SQL_HANDLE_DBC, ConnectionHandle}
                                    : HandlePoster{SQL_HANDLE_ENV, EnvironmentHandle};
    return exportBoundary(poster, [&] {
        return calls::transact(EnvironmentHandle, ConnectionHandle, CompletionType);
    });
}
