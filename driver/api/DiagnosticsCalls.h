#pragma once

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

// The bodies of the diagnostics entry points: SQLGetDiagRec,
// SQLGetDiagField, their W forms and SQLError. Each picks the handle object
// by handle type and reads through that object's own operation; none clears
// or posts a record. A handle type outside 1 to 4 or a null handle gives
// SQL_INVALID_HANDLE and leaves every buffer alone.
//
// The W forms read the narrow answer whole and convert it. As the driver
// manager calls them, SQLGetDiagRecW counts MessageText's BufferLength and
// TextLength in characters, SQLGetDiagFieldW counts DiagInfo's BufferLength
// and StringLength in bytes (four per character). A narrow message cut to
// fit ends on a whole UTF-8 character.
namespace calls {

SQLRETURN getDiagRec(SQLSMALLINT handleType, SQLHANDLE handle, SQLSMALLINT recNumber,
                     SQLCHAR* state, SQLINTEGER* native, SQLCHAR* message, SQLSMALLINT bufferLength,
                     SQLSMALLINT* textLength);
SQLRETURN getDiagRecW(SQLSMALLINT handleType, SQLHANDLE handle, SQLSMALLINT recNumber,
                      SQLWCHAR* state, SQLINTEGER* native, SQLWCHAR* message,
                      SQLSMALLINT bufferLength, SQLSMALLINT* textLength);
SQLRETURN getDiagField(SQLSMALLINT handleType, SQLHANDLE handle, SQLSMALLINT recNumber,
                       SQLSMALLINT identifier, SQLPOINTER info, SQLSMALLINT bufferLength,
                       SQLSMALLINT* stringLength);
SQLRETURN getDiagFieldW(SQLSMALLINT handleType, SQLHANDLE handle, SQLSMALLINT recNumber,
                        SQLSMALLINT identifier, SQLPOINTER info, SQLSMALLINT bufferLength,
                        SQLSMALLINT* stringLength);
// Record 1 of the statement if given, else of the connection, else of the
// environment; the handle then forgets it. SQL_ERROR without any handle.
SQLRETURN error(SQLHENV environment, SQLHDBC connection, SQLHSTMT statement, SQLCHAR* state,
                SQLINTEGER* native, SQLCHAR* message, SQLSMALLINT bufferLength,
                SQLSMALLINT* textLength);

}  // namespace calls
