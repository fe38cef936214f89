#pragma once

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

// The bodies of the descriptor entry points. Each traces the call through
// the descriptor's connection, calls one operation of the descriptor and
// returns its result; the wide forms convert the text fields between the
// caller's wide characters and the descriptor's UTF-8. A null descriptor
// handle gives SQL_INVALID_HANDLE.
namespace calls {

// Called on the target, as the ODBC function is.
SQLRETURN copyDesc(SQLHDESC source, SQLHDESC target);
SQLRETURN setDescField(SQLHDESC descriptor, SQLSMALLINT recNumber, SQLSMALLINT field,
                       SQLPOINTER value, SQLINTEGER bufferLength);
// Text fields in wide characters, their BufferLength in bytes or SQL_NTS.
SQLRETURN setDescFieldW(SQLHDESC descriptor, SQLSMALLINT recNumber, SQLSMALLINT field,
                        SQLPOINTER value, SQLINTEGER bufferLength);
SQLRETURN getDescField(SQLHDESC descriptor, SQLSMALLINT recNumber, SQLSMALLINT field,
                       SQLPOINTER value, SQLINTEGER bufferLength, SQLINTEGER* stringLength);
// Text fields come back in wide characters; BufferLength and the returned
// length count bytes.
SQLRETURN getDescFieldW(SQLHDESC descriptor, SQLSMALLINT recNumber, SQLSMALLINT field,
                        SQLPOINTER value, SQLINTEGER bufferLength, SQLINTEGER* stringLength);
SQLRETURN setDescRec(SQLHDESC descriptor, SQLSMALLINT recNumber, SQLSMALLINT type,
                     SQLSMALLINT subType, SQLLEN length, SQLSMALLINT precision, SQLSMALLINT scale,
                     SQLPOINTER data, SQLLEN* stringLength, SQLLEN* indicator);
SQLRETURN getDescRec(SQLHDESC descriptor, SQLSMALLINT recNumber, SQLCHAR* name,
                     SQLSMALLINT bufferLength, SQLSMALLINT* nameLength, SQLSMALLINT* type,
                     SQLSMALLINT* subType, SQLLEN* length, SQLSMALLINT* precision,
                     SQLSMALLINT* scale, SQLSMALLINT* nullable);
// The name in wide characters; BufferLength and the returned length count
// characters. A name that does not fit whole gives SQL_SUCCESS_WITH_INFO
// with "01004".
SQLRETURN getDescRecW(SQLHDESC descriptor, SQLSMALLINT recNumber, SQLWCHAR* name,
                      SQLSMALLINT bufferLength, SQLSMALLINT* nameLength, SQLSMALLINT* type,
                      SQLSMALLINT* subType, SQLLEN* length, SQLSMALLINT* precision,
                      SQLSMALLINT* scale, SQLSMALLINT* nullable);

}  // namespace calls
