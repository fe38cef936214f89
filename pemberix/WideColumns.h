#pragma once

#include "pemberix/StatementState.h"

#include <sql.h>

#include <functional>

// Result columns delivered as SQL_C_WCHAR. The PostgreSQL driver gives
// UTF-16; the application's buffers take 32-bit characters, and lengths
// count those. Values are therefore read whole from the driver (with
// SQLGetData) and converted here, both for SQLGetData and, at fetch time,
// for columns bound with SQLBindCol.
namespace pemberix {

// SQL_C_WCHAR, or SQL_C_DEFAULT on a column of a wide SQL type.
bool wantsWideColumn(SQLHSTMT stmt, SQLUSMALLINT column, SQLSMALLINT targetType);

SQLRETURN bindWideColumn(SQLHSTMT stmt, StatementState& state, SQLUSMALLINT column,
                         SQLPOINTER target, SQLLEN bufferLength, SQLLEN* indicator);

SQLRETURN getWideData(SQLHSTMT stmt, StatementState& state, SQLUSMALLINT column, SQLPOINTER target,
                      SQLLEN bufferLength, SQLLEN* indicator);

// SQLFetch and SQLFetchScroll: `fetch` calls the driver; the wide columns
// of the rows it fetched are filled afterwards.
SQLRETURN fetchWithWideColumns(SQLHSTMT stmt, StatementState& state,
                               const std::function<SQLRETURN()>& fetch);

SQLRETURN extendedFetchWithWideColumns(SQLHSTMT stmt, StatementState& state,
                                       SQLUSMALLINT orientation, SQLLEN offset, SQLULEN* rowCount,
                                       SQLUSMALLINT* rowStatus);

// Operations that would send or refresh bound column values (SQLSetPos,
// SQLBulkOperations): the driver never holds the wide columns' buffers, so
// these are refused while any is bound rather than done without them.
SQLRETURN refuseWithWideColumns(SQLHSTMT stmt);

}  // namespace pemberix
