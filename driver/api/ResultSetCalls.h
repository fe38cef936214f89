#pragma once

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

// The bodies of the result-set entry points: describing, binding, fetching
// and reading a statement's result. Each traces the call when the trace is
// on, calls one operation of the statement and returns its result; a null
// statement handle gives SQL_INVALID_HANDLE with nothing traced.
//
// The W forms read the narrow (UTF-8) answer whole and convert it into the
// caller's wide buffer: SQLColAttributesW counts its buffer and lengths in
// bytes (four per character), SQLDescribeColW in characters. A name or text
// that did not fit whole is reported with SQL_SUCCESS_WITH_INFO and "01004".
namespace calls {

SQLRETURN colAttribute(SQLHSTMT statement, SQLUSMALLINT column, SQLUSMALLINT field,
                       SQLPOINTER characterAttribute, SQLSMALLINT bufferLength,
                       SQLSMALLINT* stringLength, SQLLEN* numericAttribute);
SQLRETURN colAttributes(SQLHSTMT statement, SQLUSMALLINT column, SQLUSMALLINT field,
                        SQLPOINTER characterAttribute, SQLSMALLINT bufferLength,
                        SQLSMALLINT* stringLength, SQLLEN* numericAttribute);
SQLRETURN colAttributesW(SQLHSTMT statement, SQLUSMALLINT column, SQLUSMALLINT field,
                         SQLPOINTER characterAttribute, SQLSMALLINT bufferLength,
                         SQLSMALLINT* stringLength, SQLLEN* numericAttribute);
SQLRETURN describeCol(SQLHSTMT statement, SQLUSMALLINT column, SQLCHAR* name,
                      SQLSMALLINT bufferLength, SQLSMALLINT* nameLength, SQLSMALLINT* dataType,
                      SQLULEN* columnSize, SQLSMALLINT* decimalDigits, SQLSMALLINT* nullable);
SQLRETURN describeColW(SQLHSTMT statement, SQLUSMALLINT column, SQLWCHAR* name,
                       SQLSMALLINT bufferLength, SQLSMALLINT* nameLength, SQLSMALLINT* dataType,
                       SQLULEN* columnSize, SQLSMALLINT* decimalDigits, SQLSMALLINT* nullable);
SQLRETURN bindCol(SQLHSTMT statement, SQLUSMALLINT column, SQLSMALLINT targetType,
                  SQLPOINTER targetValue, SQLLEN bufferLength, SQLLEN* lengthOrIndicator);
SQLRETURN fetch(SQLHSTMT statement);
SQLRETURN fetchScroll(SQLHSTMT statement, SQLSMALLINT orientation, SQLLEN offset);
SQLRETURN extendedFetch(SQLHSTMT statement, SQLUSMALLINT orientation, SQLLEN offset,
                        SQLULEN* rowCount, SQLUSMALLINT* rowStatus);
SQLRETURN numResultCols(SQLHSTMT statement, SQLSMALLINT* columnCount);
SQLRETURN rowCount(SQLHSTMT statement, SQLLEN* rowCount);
SQLRETURN getData(SQLHSTMT statement, SQLUSMALLINT column, SQLSMALLINT targetType,
                  SQLPOINTER targetValue, SQLLEN bufferLength, SQLLEN* lengthOrIndicator);
SQLRETURN moreResults(SQLHSTMT statement);

}  // namespace calls
