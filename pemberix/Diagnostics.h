#pragma once

#include "pemberix/DiagnosticOverlay.h"

#include <sql.h>

#include <string_view>
#include <vector>

// Diagnostics of the handles: the PostgreSQL driver's own records, passed
// through untouched, and the records this layer adds when it converts text
// or makes calls of its own (see DiagnosticOverlay).
namespace pemberix {

// A record this layer posts itself.
OverlayRecord ownRecord(const char* sqlState, SQLINTEGER nativeError, std::string_view text);

// Every record the driver holds for a handle now.
std::vector<OverlayRecord> readDriverRecords(SQLSMALLINT type, SQLHANDLE handle);

// From now until the next call on the handle, its diagnostics are answered
// here: with a copy of the driver's current records when `keepDriverRecords`
// (read before this layer's own calls replace them), otherwise with none.
void takeOverDiagnostics(SQLSMALLINT type, SQLHANDLE handle, bool keepDriverRecords);
// True when the driver may hold records after a call that returned `rc`.
bool mayHaveRecords(SQLRETURN rc);

// Adds a record after the current ones (the driver's are kept).
void postRecord(SQLSMALLINT type, SQLHANDLE handle, OverlayRecord record);
// Adds the driver's current records after those already taken over.
void appendDriverRecords(SQLSMALLINT type, SQLHANDLE handle);

// Failures of this layer itself.
void postFailure(SQLSMALLINT type, SQLHANDLE handle, const char* sqlState);
SQLRETURN missingEntryPoint(SQLSMALLINT type, SQLHANDLE handle);

// The diagnostic functions.
SQLRETURN diagRec(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT number, SQLCHAR* sqlState,
                  SQLINTEGER* nativeError, SQLCHAR* text, SQLSMALLINT capacity,
                  SQLSMALLINT* length);
SQLRETURN diagRecW(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT number, SQLWCHAR* sqlState,
                   SQLINTEGER* nativeError, SQLWCHAR* text, SQLSMALLINT capacity,
                   SQLSMALLINT* length);
SQLRETURN diagField(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT number, SQLSMALLINT field,
                    SQLPOINTER value, SQLSMALLINT capacity, SQLSMALLINT* length);
SQLRETURN diagFieldW(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT number, SQLSMALLINT field,
                     SQLPOINTER value, SQLSMALLINT capacity, SQLSMALLINT* length);
// ODBC 2's SQLError: the handle's records one by one.
SQLRETURN nextError(SQLHENV env, SQLHDBC dbc, SQLHSTMT stmt, SQLCHAR* sqlState,
                    SQLINTEGER* nativeError, SQLCHAR* text, SQLSMALLINT capacity,
                    SQLSMALLINT* length);

}  // namespace pemberix
