#pragma once

#include <sql.h>

// Which information items, attributes and fields hold text: those are the
// ones whose wide forms need converting. Each answer comes from a table.
namespace pemberix {

bool isTextInfoType(SQLUSMALLINT infoType);
bool isTextColumnField(SQLUSMALLINT field);
bool isTextDescriptorField(SQLSMALLINT field);
bool isTextDiagnosticField(SQLSMALLINT field);
bool isTextConnectAttribute(SQLINTEGER attribute);
bool isWideSqlType(SQLSMALLINT sqlType);

// SQLColAttributes (ODBC 2) identifiers as SQLColAttribute knows them.
SQLUSMALLINT columnFieldFromOdbc2(SQLUSMALLINT field);

// Where a SQLSTATE is defined: "ISO 9075" or "ODBC 3.0".
const char* classOriginOf(const char* sqlState);
const char* subclassOriginOf(const char* sqlState);

}  // namespace pemberix
