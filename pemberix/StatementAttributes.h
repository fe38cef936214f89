#pragma once

#include <sql.h>

#include <cstdint>

// Statement attributes that decide where the rows of array bindings lie,
// read from the PostgreSQL driver (which keeps them), and the addressing
// rules of ODBC for those rows.
namespace pemberix {

SQLULEN statementNumber(SQLHSTMT stmt, SQLINTEGER attribute, SQLULEN fallback);
SQLPOINTER statementPointer(SQLHSTMT stmt, SQLINTEGER attribute);
// The value of a bind offset pointer attribute, 0 when none is set.
SQLLEN bindOffset(SQLHSTMT stmt, SQLINTEGER attribute);

// Address of row `row` of a bound buffer whose elements are `elementSize`
// bytes (column-wise binding, bindType 0) or lie `bindType` bytes apart.
// Computed on integers: a token bound in place of a buffer need not point
// anywhere.
std::uintptr_t rowAddress(const void* base, SQLLEN offset, SQLULEN row, SQLLEN elementSize,
                          SQLULEN bindType);

// Lengths and indicators live at addresses the application chose; they are
// read and written without assuming alignment.
SQLLEN readLength(std::uintptr_t address);
void writeLength(std::uintptr_t address, SQLLEN value);

}  // namespace pemberix
