#pragma once

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

// The bodies of the cursor and positioning entry points. Each traces the
// call, calls one operation of the statement and returns its result; a
// null statement handle gives SQL_INVALID_HANDLE with nothing traced.
//
// The W forms convert cursor names between 32-bit wide characters and
// UTF-8. SQLGetCursorNameW counts BufferLength and the length it stores in
// characters; SQLSetCursorNameW takes a positive NameLength as bytes.
namespace calls {

SQLRETURN closeCursor(SQLHSTMT statement);
SQLRETURN getCursorName(SQLHSTMT statement, SQLCHAR* name, SQLSMALLINT bufferLength,
                        SQLSMALLINT* nameLength);
SQLRETURN getCursorNameW(SQLHSTMT statement, SQLWCHAR* name, SQLSMALLINT bufferLength,
                         SQLSMALLINT* nameLength);
SQLRETURN setCursorName(SQLHSTMT statement, SQLCHAR* name, SQLSMALLINT nameLength);
SQLRETURN setCursorNameW(SQLHSTMT statement, SQLWCHAR* name, SQLSMALLINT nameLength);
SQLRETURN setPos(SQLHSTMT statement, SQLSETPOSIROW row, SQLUSMALLINT operation,
                 SQLUSMALLINT lockType);
SQLRETURN bulkOperations(SQLHSTMT statement, SQLUSMALLINT operation);

}  // namespace calls
