#pragma once

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

// Families of ODBC type codes that the description and conversion rules are
// written against. Each takes a 16-bit SQL_ or SQL_C_ code.

bool isCharacterSqlType(SQLSMALLINT type);
// SQL_BIT is not numeric as an SQL type.
bool isNumericSqlType(SQLSMALLINT type);
bool isBinarySqlType(SQLSMALLINT type);
// The ODBC 3 datetime codes only (91 to 93).
bool isDatetimeSqlType(SQLSMALLINT type);
bool isIntervalSqlType(SQLSMALLINT type);

bool isCharacterCType(SQLSMALLINT type);
// SQL_C_BIT is numeric as an application type.
bool isNumericCType(SQLSMALLINT type);
bool isBinaryCType(SQLSMALLINT type);

// The ODBC 2 and ODBC 3 date, time and timestamp codes; the same numbers
// serve SQL and application types.
bool isDateOrTimeType(SQLSMALLINT type);
