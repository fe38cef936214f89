// What the driver and its data source offer: information items, supported functions and type
// information.
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include "driver/api/InformationCalls.h"
#include "platform/ExportBoundary.h"
#include "driver/api/ExportMacros.h"
#include "driver/api/HandleCalls.h"

MORVANEX_EXPORT SQLRETURN SQL_API SQLGetInfo(SQLHDBC ConnectionHandle, SQLUSMALLINT InfoType,
                                             SQLPOINTER InfoValue, SQLSMALLINT BufferLength,
                                             SQLSMALLINT* StringLength) {
    return exportBoundary(HandlePoster{SQL_HANDLE_DBC, ConnectionHandle}, [&] {
        return calls::getInfo(ConnectionHandle, InfoType, InfoValue, BufferLength, StringLength);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLGetInfoW(SQLHDBC ConnectionHandle, SQLUSMALLINT InfoType,
                                              SQLPOINTER InfoValue, SQLSMALLINT BufferLength,
                                              SQLSMALLINT* StringLength) {
    return exportBoundary(HandlePoster{SQL_HANDLE_DBC, ConnectionHandle}, [&] {
        return calls::getInfoW(ConnectionHandle, InfoType, InfoValue, BufferLength, StringLength);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLGetFunctions(SQLHDBC ConnectionHandle, SQLUSMALLINT FunctionId,
                                                  SQLUSMALLINT* Supported) {
    return exportBoundary(HandlePoster{SQL_HANDLE_DBC, ConnectionHandle}, [&] {
        return calls::getFunctions(ConnectionHandle, FunctionId, Supported);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLGetTypeInfo(SQLHSTMT StatementHandle, SQLSMALLINT DataType) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, StatementHandle},
                          [&] { return calls::getTypeInfo(StatementHandle, DataType); });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLGetTypeInfoW(SQLHSTMT StatementHandle, SQLSMALLINT DataType) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, StatementHandle},
                          [&] { return calls::getTypeInfoW(StatementHandle, DataType); });
}
