#pragma once

#include <sql.h>
#include <sqlext.h>

// Bodies of the functions whose text crosses between the callers' 32-bit
// wide characters and the PostgreSQL driver's UTF-16, and of the few whose
// answer this layer changes (the driver's name).
namespace pemberix {

// The name this library answers to in SQL_DRIVER_NAME.
inline constexpr const char* kDriverName = "pemberix.so";

// A text argument that does not fit the driver's length argument once in
// UTF-16.
SQLRETURN textTooLong(SQLSMALLINT type, SQLHANDLE handle);

// The connect calls hand on text of this layer's (ForwardedConnection):
// SQLConnect's arguments become connection text.
SQLRETURN connectA(SQLHDBC dbc, SQLCHAR* dsn, SQLSMALLINT dsnLength, SQLCHAR* user,
                   SQLSMALLINT userLength, SQLCHAR* password, SQLSMALLINT passwordLength);
SQLRETURN driverConnectA(SQLHDBC dbc, SQLHWND window, SQLCHAR* in, SQLSMALLINT inLength,
                         SQLCHAR* out, SQLSMALLINT outCapacity, SQLSMALLINT* outLength,
                         SQLUSMALLINT completion);
SQLRETURN connectW(SQLHDBC dbc, SQLWCHAR* dsn, SQLSMALLINT dsnLength, SQLWCHAR* user,
                   SQLSMALLINT userLength, SQLWCHAR* password, SQLSMALLINT passwordLength);
SQLRETURN driverConnectW(SQLHDBC dbc, SQLHWND window, SQLWCHAR* in, SQLSMALLINT inLength,
                         SQLWCHAR* out, SQLSMALLINT outCapacity, SQLSMALLINT* outLength,
                         SQLUSMALLINT completion);
SQLRETURN nativeSqlW(SQLHDBC dbc, SQLWCHAR* in, SQLINTEGER inLength, SQLWCHAR* out,
                     SQLINTEGER outCapacity, SQLINTEGER* outLength);

SQLRETURN getInfo(SQLHDBC dbc, SQLUSMALLINT infoType, SQLPOINTER value, SQLSMALLINT capacity,
                  SQLSMALLINT* length);
SQLRETURN getInfoW(SQLHDBC dbc, SQLUSMALLINT infoType, SQLPOINTER value, SQLSMALLINT capacity,
                   SQLSMALLINT* length);

SQLRETURN getConnectAttrW(SQLHDBC dbc, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER capacity,
                          SQLINTEGER* length);
SQLRETURN setConnectAttrW(SQLHDBC dbc, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length);
SQLRETURN setConnectOptionW(SQLHDBC dbc, SQLUSMALLINT option, SQLULEN value);

SQLRETURN getDescFieldW(SQLHDESC desc, SQLSMALLINT record, SQLSMALLINT field, SQLPOINTER value,
                        SQLINTEGER capacity, SQLINTEGER* length);
SQLRETURN getDescRecW(SQLHDESC desc, SQLSMALLINT record, SQLWCHAR* name, SQLSMALLINT capacity,
                      SQLSMALLINT* length, SQLSMALLINT* type, SQLSMALLINT* subType,
                      SQLLEN* octetLength, SQLSMALLINT* precision, SQLSMALLINT* scale,
                      SQLSMALLINT* nullable);

SQLRETURN colAttributeW(SQLHSTMT stmt, SQLUSMALLINT column, SQLUSMALLINT field, SQLPOINTER text,
                        SQLSMALLINT capacity, SQLSMALLINT* length, SQLLEN* number);
SQLRETURN describeColW(SQLHSTMT stmt, SQLUSMALLINT column, SQLWCHAR* name, SQLSMALLINT capacity,
                       SQLSMALLINT* length, SQLSMALLINT* sqlType, SQLULEN* size,
                       SQLSMALLINT* digits, SQLSMALLINT* nullable);
SQLRETURN getCursorNameW(SQLHSTMT stmt, SQLWCHAR* name, SQLSMALLINT capacity, SQLSMALLINT* length);

}  // namespace pemberix
