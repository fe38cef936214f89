// Environment, connection and statement attributes, with the ODBC 2 option
// forms and the W forms.
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include "driver/api/AttributeCalls.h"
#include "platform/ExportBoundary.h"
#include "driver/api/ExportMacros.h"
#include "driver/api/HandleCalls.h"

MORVANEX_EXPORT SQLRETURN SQL_API SQLSetEnvAttr(SQLHENV EnvironmentHandle, SQLINTEGER Attribute,
                                                SQLPOINTER Value, SQLINTEGER StringLength) {
    return exportBoundary(HandlePoster{SQL_HANDLE_ENV, EnvironmentHandle}, [&] {
        return calls::setEnvAttr(EnvironmentHandle, Attribute, Value, StringLength);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLGetEnvAttr(SQLHENV EnvironmentHandle, SQLINTEGER Attribute,
                                                SQLPOINTER Value, SQLINTEGER BufferLength,
                                                SQLINTEGER* StringLength) {
    return exportBoundary(HandlePoster{SQL_HANDLE_ENV, EnvironmentHandle}, [&] {
        return calls::getEnvAttr(EnvironmentHandle, Attribute, Value, BufferLength, StringLength);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLSetConnectAttr(SQLHDBC ConnectionHandle, SQLINTEGER Attribute,
                                                    SQLPOINTER Value, SQLINTEGER StringLength) {
    return exportBoundary(HandlePoster{SQL_HANDLE_DBC, ConnectionHandle}, [&] {
        return calls::setConnectAttr(ConnectionHandle, Attribute, Value, StringLength);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLSetConnectAttrW(SQLHDBC hdbc, SQLINTEGER fAttribute,
                                                     SQLPOINTER rgbValue, SQLINTEGER cbValue) {
    return exportBoundary(HandlePoster{SQL_HANDLE_DBC, hdbc}, [&] {
        return calls::setConnectAttrW(hdbc, fAttribute, rgbValue, cbValue);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLGetConnectAttr(SQLHDBC ConnectionHandle, SQLINTEGER Attribute,
                                                    SQLPOINTER Value, SQLINTEGER BufferLength,
                                                    SQLINTEGER* StringLength) {
    return exportBoundary(HandlePoster{SQL_HANDLE_DBC, ConnectionHandle}, [&] {
        return calls::getConnectAttr(ConnectionHandle, Attribute, Value, BufferLength,
                                     StringLength);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLGetConnectAttrW(SQLHDBC hdbc, SQLINTEGER fAttribute,
                                                     SQLPOINTER rgbValue, SQLINTEGER cbValueMax,
                                                     SQLINTEGER* pcbValue) {
    return exportBoundary(HandlePoster{SQL_HANDLE_DBC, hdbc}, [&] {
        return calls::getConnectAttrW(hdbc, fAttribute, rgbValue, cbValueMax, pcbValue);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLSetStmtAttr(SQLHSTMT StatementHandle, SQLINTEGER Attribute,
                                                 SQLPOINTER Value, SQLINTEGER StringLength) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, StatementHandle}, [&] {
        return calls::setStmtAttr(StatementHandle, Attribute, Value, StringLength);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLSetStmtAttrW(SQLHSTMT hstmt, SQLINTEGER fAttribute,
                                                  SQLPOINTER rgbValue, SQLINTEGER cbValueMax) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, hstmt}, [&] {
        return calls::setStmtAttrW(hstmt, fAttribute, rgbValue, cbValueMax);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLGetStmtAttr(SQLHSTMT StatementHandle, SQLINTEGER Attribute,
                                                 SQLPOINTER Value, SQLINTEGER BufferLength,
                                                 SQLINTEGER* StringLength) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, StatementHandle}, [&] {
        return calls::getStmtAttr(StatementHandle, Attribute, Value, BufferLength, StringLength);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLGetStmtAttrW(SQLHSTMT hstmt, SQLINTEGER fAttribute,
                                                  SQLPOINTER rgbValue, SQLINTEGER cbValueMax,
                                                  SQLINTEGER* pcbValue) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, hstmt}, [&] {
        return calls::getStmtAttrW(hstmt, fAttribute, rgbValue, cbValueMax, pcbValue);
    });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLSetConnectOption(SQLHDBC ConnectionHandle, SQLUSMALLINT Option,
                                                      SQLULEN Value) {
    return exportBoundary(HandlePoster{SQL_HANDLE_DBC, ConnectionHandle},
                          [&] { return calls::setConnectOption(ConnectionHandle, Option, Value); });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLSetConnectOptionW(SQLHDBC hdbc, SQLUSMALLINT fOption,
                                                       SQLULEN vParam) {
    return exportBoundary(HandlePoster{SQL_HANDLE_DBC, hdbc},
                          [&] { return calls::setConnectOptionW(hdbc, fOption, vParam); });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLSetStmtOption(SQLHSTMT StatementHandle, SQLUSMALLINT Option,
                                                   SQLULEN Value) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, StatementHandle},
                          [&] { return calls::setStmtOption(StatementHandle, Option, Value); });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLGetConnectOption(SQLHDBC ConnectionHandle, SQLUSMALLINT Option,
                                                      SQLPOINTER Value) {
    return exportBoundary(HandlePoster{SQL_HANDLE_DBC, ConnectionHandle},
                          [&] { return calls::getConnectOption(ConnectionHandle, Option, Value); });
}

MORVANEX_EXPORT SQLRETURN SQL_API SQLGetStmtOption(SQLHSTMT StatementHandle, SQLUSMALLINT Option,
                                                   SQLPOINTER Value) {
    return exportBoundary(HandlePoster{SQL_HANDLE_STMT, StatementHandle},
                          [&] { return calls::getStmtOption(StatementHandle, Option, Value); });
}
