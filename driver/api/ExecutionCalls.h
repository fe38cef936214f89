#pragma once

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

// The bodies of the preparation, execution and parameter entry points.
// Each traces its call and runs one operation of the statement (of the
// connection handle for the native-SQL calls); a null handle gives
// SQL_INVALID_HANDLE with nothing traced.
//
// The W forms read their text argument by the rules of wideInputLength and
// hand the statement 8-bit text chosen by the connection's settings: the
// user's language encoding read through Latin-1, Latin-1 bytes, or UTF-8.
namespace calls {

SQLRETURN bindParameter(SQLHSTMT statement, SQLUSMALLINT number, SQLSMALLINT inputOutputType,
                        SQLSMALLINT valueType, SQLSMALLINT parameterType, SQLULEN columnSize,
                        SQLSMALLINT decimalDigits, SQLPOINTER value, SQLLEN bufferLength,
                        SQLLEN* lengthOrIndicator);
SQLRETURN prepare(SQLHSTMT statement, SQLCHAR* text, SQLINTEGER length);
SQLRETURN prepareW(SQLHSTMT statement, SQLWCHAR* text, SQLINTEGER length);
SQLRETURN describeParam(SQLHSTMT statement, SQLUSMALLINT number, SQLSMALLINT* dataType,
                        SQLULEN* parameterSize, SQLSMALLINT* decimalDigits, SQLSMALLINT* nullable);
SQLRETURN numParams(SQLHSTMT statement, SQLSMALLINT* count);
// SQL_ATTR_PARAMSET_SIZE, then, only when that succeeded,
// SQL_ATTR_PARAMS_PROCESSED_PTR.
SQLRETURN paramOptions(SQLHSTMT statement, SQLULEN rows, SQLULEN* processed);
SQLRETURN nativeSql(SQLHDBC connection, SQLCHAR* text, SQLINTEGER length, SQLCHAR* out,
                    SQLINTEGER bufferLength, SQLINTEGER* outLength);
// BufferLength and the length returned count wide characters; a text cut
// to fit gives SQL_SUCCESS_WITH_INFO with "01004".
SQLRETURN nativeSqlW(SQLHDBC connection, SQLWCHAR* text, SQLINTEGER length, SQLWCHAR* out,
                     SQLINTEGER bufferLength, SQLINTEGER* outLength);
SQLRETURN execDirect(SQLHSTMT statement, SQLCHAR* text, SQLINTEGER length);
SQLRETURN execDirectW(SQLHSTMT statement, SQLWCHAR* text, SQLINTEGER length);
SQLRETURN execute(SQLHSTMT statement);
SQLRETURN cancel(SQLHSTMT statement);
SQLRETURN paramData(SQLHSTMT statement, SQLPOINTER* value);
SQLRETURN putData(SQLHSTMT statement, SQLPOINTER data, SQLLEN length);

}  // namespace calls
