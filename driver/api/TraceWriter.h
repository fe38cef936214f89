#pragma once

#include <sql.h>
#include <sqlext.h>

#include <cstddef>
#include <ctime>
#include <string>
#include <string_view>

#include "driver/api/TraceNameTables.h"

class TraceSink;

// Renderers of the call trace: each turns one argument or result into the
// text an entry point appends to a trace line. They keep no state and write
// nothing themselves; a line is composed whole and handed to the sink.

// Local time as year-month-day hour:minute:second.microseconds, every field
// unpadded (2026-3-7 9:5:3.41), from one reading of the clock.
std::string traceTimestamp();
// The same for a given clock reading.
std::string traceTimestampAt(const timespec& when);

// "SQL_NTS" for -3, else the number.
std::string traceLength(SQLINTEGER length);

// The text in double quotes, unescaped; "NULL" for a null pointer. A length of
// 0 or more reads at most that many bytes (stopping early at a NUL), SQL_NTS
// reads to the NUL, and any other length reads nothing. Output buffers are
// passed with their buffer length.
std::string traceString(const SQLCHAR* text, SQLINTEGER length = SQL_NTS);
std::string traceString(const char* text, SQLINTEGER length = SQL_NTS);
inline std::string traceString(std::nullptr_t, SQLINTEGER = SQL_NTS) {
    return "NULL";
}
// Wide text converted to UTF-8, then as traceString. The length counts wide
// characters under the same rules.
std::string traceWideString(const SQLWCHAR* text, SQLINTEGER length = SQL_NTS);

// The same text without the quotes ("NULL" for a null pointer), for values
// that the trace shows bare.
std::string traceBareString(const char* text, SQLINTEGER length = SQL_NTS);
std::string traceBareWideString(const SQLWCHAR* text, SQLINTEGER length = SQL_NTS);

// The value pointed to in signed decimal; "NULL" for a null pointer.
std::string traceSmallIntOut(const SQLSMALLINT* value);
std::string traceSmallIntOut(const SQLUSMALLINT* value);
std::string traceIntegerOut(const SQLINTEGER* value);
std::string traceLenOut(const SQLLEN* value);
std::string traceLenOut(const SQLULEN* value);

// "0x" and lowercase hexadecimal without padding; "0x0" for null.
std::string tracePointer(const void* pointer);

// The first name in the table for the value, compared as unsigned 32 bits, or
// "unknown (<unsigned value>)".
std::string traceName(SQLINTEGER value, TraceNameTable table);
// The names of all entries sharing a bit with the mask, in table order, joined
// by " | "; the mask in unsigned decimal when none does.
std::string traceFlags(SQLUINTEGER mask, TraceNameTable table);

std::string traceHandleType(SQLINTEGER value);
std::string traceReturnCode(SQLINTEGER value);
std::string traceEnvAttribute(SQLINTEGER value);
std::string traceConnectAttribute(SQLINTEGER value);
std::string traceInfoType(SQLINTEGER value);
std::string traceStatementAttribute(SQLINTEGER value);
std::string traceDescriptorField(SQLINTEGER value);
std::string traceSqlType(SQLINTEGER value);
std::string traceCType(SQLINTEGER value);
std::string traceDriverCompletion(SQLINTEGER value);
std::string traceParamType(SQLINTEGER value);
std::string traceDiagIdentifier(SQLINTEGER value);
std::string traceFetchOrientation(SQLINTEGER value);
std::string traceCompletionType(SQLINTEGER value);
std::string traceSetPosOperation(SQLINTEGER value);
std::string traceLockType(SQLINTEGER value);
std::string traceBulkOperation(SQLINTEGER value);
std::string traceIdentifierType(SQLINTEGER value);
std::string traceScope(SQLINTEGER value);
std::string traceNullable(SQLINTEGER value);
std::string traceUnique(SQLINTEGER value);
std::string traceAccuracy(SQLINTEGER value);
std::string traceFreeStmtOption(SQLINTEGER value);

// The StringLength of the attribute functions: SQL_IS_SMALLINT ... SQL_IS_POINTER
// by name, any other value in decimal.
std::string traceValueLength(SQLINTEGER length);
// "SQL_ALL_TYPES" for 0, else traceSqlType.
std::string traceTypeInfoType(SQLSMALLINT dataType);
// "SQL_API_ALL_FUNCTIONS" for 0, "SQL_API_ODBC3_ALL_FUNCTIONS" for 999, else
// the function id's name.
std::string traceFunctionId(SQLUSMALLINT functionId);
// What SQLGetFunctions returned: the supported functions of the ODBC 3 bitmap
// (999) or the ODBC 2 array (0), or SQL_TRUE / SQL_FALSE for one function.
std::string traceSupportedFunctions(SQLUSMALLINT functionId, const SQLUSMALLINT* supported);
// A length or indicator: its number, or SQL_NULL_DATA, SQL_DATA_AT_EXEC,
// SQL_NTS, SQL_NO_TOTAL, SQL_COLUMN_IGNORE, SQL_LEN_DATA_AT_EXEC( n ).
std::string traceIndicator(const SQLLEN* value);

// The kinds of line every traced call shares (without the newline).
std::string traceEnterLine();                           // "// ENTER: " timestamp
std::string traceExitLine(SQLRETURN rc);                // "// EXIT: " timestamp "  rc: " name
std::string traceReturnLine(SQLRETURN rc);              // "// rc: " name
std::string traceExceptionLine(std::string_view what);  // "// Exception: " text

// Writes one line: the text and a newline in a single write to the sink.
void writeTraceLine(TraceSink& sink, std::string_view line);
