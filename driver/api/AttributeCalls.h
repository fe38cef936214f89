#pragma once

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

// The bodies of the attribute and option entry points for environments,
// connections and statements, ODBC 2 options and W forms included. Each
// traces its call and runs one operation of the handle object; a null
// handle gives SQL_INVALID_HANDLE with nothing traced.
//
// The connection W forms carry text values (current catalog, trace file,
// translation library) as wide text: the setters hand the connection UTF-8,
// and SQLGetConnectAttrW answers wide text with lengths in bytes.
// The ODBC 2 forms map onto the attribute operations: a set passes SQL_NTS
// as the length, a get a 256-byte buffer and no length.
namespace calls {

SQLRETURN setEnvAttr(SQLHENV environment, SQLINTEGER attribute, SQLPOINTER value,
                     SQLINTEGER stringLength);
SQLRETURN getEnvAttr(SQLHENV environment, SQLINTEGER attribute, SQLPOINTER value,
                     SQLINTEGER bufferLength, SQLINTEGER* stringLength);

SQLRETURN setConnectAttr(SQLHDBC connection, SQLINTEGER attribute, SQLPOINTER value,
                         SQLINTEGER stringLength);
SQLRETURN setConnectAttrW(SQLHDBC connection, SQLINTEGER attribute, SQLPOINTER value,
                          SQLINTEGER stringLength);
SQLRETURN getConnectAttr(SQLHDBC connection, SQLINTEGER attribute, SQLPOINTER value,
                         SQLINTEGER bufferLength, SQLINTEGER* stringLength);
SQLRETURN getConnectAttrW(SQLHDBC connection, SQLINTEGER attribute, SQLPOINTER value,
                          SQLINTEGER bufferLength, SQLINTEGER* stringLength);

SQLRETURN setStmtAttr(SQLHSTMT statement, SQLINTEGER attribute, SQLPOINTER value,
                      SQLINTEGER stringLength);
SQLRETURN setStmtAttrW(SQLHSTMT statement, SQLINTEGER attribute, SQLPOINTER value,
                       SQLINTEGER stringLength);
SQLRETURN getStmtAttr(SQLHSTMT statement, SQLINTEGER attribute, SQLPOINTER value,
                      SQLINTEGER bufferLength, SQLINTEGER* stringLength);
SQLRETURN getStmtAttrW(SQLHSTMT statement, SQLINTEGER attribute, SQLPOINTER value,
                       SQLINTEGER bufferLength, SQLINTEGER* stringLength);

SQLRETURN setConnectOption(SQLHDBC connection, SQLUSMALLINT option, SQLULEN value);
SQLRETURN setConnectOptionW(SQLHDBC connection, SQLUSMALLINT option, SQLULEN value);
SQLRETURN setStmtOption(SQLHSTMT statement, SQLUSMALLINT option, SQLULEN value);
SQLRETURN getConnectOption(SQLHDBC connection, SQLUSMALLINT option, SQLPOINTER value);
SQLRETURN getStmtOption(SQLHSTMT statement, SQLUSMALLINT option, SQLPOINTER value);

}  // namespace calls
