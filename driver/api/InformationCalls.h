#pragma once

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

// The bodies of the information entry points: SQLGetInfo, SQLGetInfoW,
// SQLGetFunctions, SQLGetTypeInfo and SQLGetTypeInfoW. Each traces the
// call, asks the connection handle or the statement, traces the outputs and
// returns the operation's result. A null handle gives SQL_INVALID_HANDLE.
namespace calls {

SQLRETURN getInfo(SQLHDBC connection, SQLUSMALLINT infoType, SQLPOINTER infoValue,
                  SQLSMALLINT bufferLength, SQLSMALLINT* stringLength);
// Text answers come back as wide characters; BufferLength and the returned
// length count bytes. Numbers are copied as the connection wrote them,
// whatever BufferLength says.
SQLRETURN getInfoW(SQLHDBC connection, SQLUSMALLINT infoType, SQLPOINTER infoValue,
                   SQLSMALLINT bufferLength, SQLSMALLINT* stringLength);
// A null `supported` is answered into a scratch array.
SQLRETURN getFunctions(SQLHDBC connection, SQLUSMALLINT functionId, SQLUSMALLINT* supported);
SQLRETURN getTypeInfo(SQLHSTMT statement, SQLSMALLINT dataType);
SQLRETURN getTypeInfoW(SQLHSTMT statement, SQLSMALLINT dataType);

}  // namespace calls
