#pragma once

#include "pemberix/StatementState.h"

#include <sql.h>

#include <functional>

// Parameters passed as SQL_C_WCHAR. The PostgreSQL driver reads UTF-16, so
// it is bound to a copy that this layer refills from the application's
// 32-bit characters at each execution (and reads back for output
// parameters); data at execution is converted piece by piece in SQLPutData.
namespace pemberix {

// SQL_C_WCHAR, or SQL_C_DEFAULT for a parameter of a wide SQL type.
bool wantsWideParameter(SQLSMALLINT valueType, SQLSMALLINT parameterType);

SQLRETURN bindWideParameter(SQLHSTMT stmt, StatementState& state, SQLUSMALLINT number,
                            SQLSMALLINT ioType, SQLSMALLINT parameterType, SQLULEN columnSize,
                            SQLSMALLINT decimalDigits, SQLPOINTER value, SQLLEN bufferLength,
                            SQLLEN* indicator);

// Runs an execution (SQLExecute, SQLExecDirect) with the wide parameters'
// copies refreshed first and output values converted back afterwards.
SQLRETURN executeWithWideParameters(SQLHSTMT stmt, StatementState& state,
                                    const std::function<SQLRETURN()>& execute);

SQLRETURN paramDataWide(SQLHSTMT stmt, StatementState& state, SQLPOINTER* value);
SQLRETURN putDataWide(SQLHSTMT stmt, StatementState& state, SQLPOINTER data, SQLLEN length);

}  // namespace pemberix
