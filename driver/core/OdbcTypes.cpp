#include "driver/core/OdbcTypes.h"

#include <algorithm>
#include <initializer_list>

namespace {

bool isOneOf(SQLSMALLINT type, std::initializer_list<SQLSMALLINT> family) {
    return std::find(family.begin(), family.end(), type) != family.end();
}

}  // namespace

bool isCharacterSqlType(SQLSMALLINT type) {
    return isOneOf(
        type, {SQL_CHAR, SQL_VARCHAR, SQL_LONGVARCHAR, SQL_WCHAR, SQL_WVARCHAR, SQL_WLONGVARCHAR});
}

bool isNumericSqlType(SQLSMALLINT type) {
    return isOneOf(type, {SQL_TINYINT, SQL_BIGINT, SQL_NUMERIC, SQL_DECIMAL, SQL_INTEGER,
                          SQL_SMALLINT, SQL_FLOAT, SQL_REAL, SQL_DOUBLE});
}

bool isBinarySqlType(SQLSMALLINT type) {
    return isOneOf(type, {SQL_BINARY, SQL_VARBINARY, SQL_LONGVARBINARY});
}

bool isDatetimeSqlType(SQLSMALLINT type) {
    return isOneOf(type, {SQL_TYPE_DATE, SQL_TYPE_TIME, SQL_TYPE_TIMESTAMP});
}

bool isIntervalSqlType(SQLSMALLINT type) {
    return type >= SQL_INTERVAL_YEAR && type <= SQL_INTERVAL_MINUTE_TO_SECOND;
}

bool isCharacterCType(SQLSMALLINT type) {
    return isOneOf(type, {SQL_C_CHAR, SQL_C_WCHAR});
}

bool isNumericCType(SQLSMALLINT type) {
    return isOneOf(type, {SQL_C_UTINYINT, SQL_C_UBIGINT, SQL_C_STINYINT, SQL_C_SBIGINT, SQL_C_ULONG,
                          SQL_C_USHORT, SQL_C_SLONG, SQL_C_SSHORT, SQL_C_BIT, SQL_C_TINYINT,
                          SQL_C_LONG, SQL_C_SHORT, SQL_C_FLOAT, SQL_C_DOUBLE});
}

bool isBinaryCType(SQLSMALLINT type) {
    return type == SQL_C_BINARY;
}

bool isDateOrTimeType(SQLSMALLINT type) {
    return isOneOf(type, {SQL_DATE, SQL_TIME, SQL_TIMESTAMP, SQL_TYPE_DATE, SQL_TYPE_TIME,
                          SQL_TYPE_TIMESTAMP});
}
