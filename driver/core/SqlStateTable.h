#pragma once

#include <sql.h>
#include <sqlext.h>

#include <span>
#include <string>
#include <string_view>

// The fixed tables behind diagnostics: the standard text of each SQLSTATE,
// the states whose subclass ODBC defines, and the statement text of each
// SQL_DIAG_DYNAMIC_FUNCTION_CODE.

struct SqlStateText {
    std::string_view state;
    std::string_view text;
};

struct DynamicFunctionText {
    SQLINTEGER code;
    std::string_view text;
};

std::span<const SqlStateText> sqlStateTexts();
std::span<const std::string_view> odbcDefinedStates();
std::span<const DynamicFunctionText> dynamicFunctionTexts();

// The standard text of a SQLSTATE; "" for a state not in the table.
std::string defaultMessage(std::string_view state);

// The statement text of a dynamic function code; "" for an unknown code.
std::string dynamicFunctionName(SQLINTEGER code);

// True when the state is one of the ODBC-defined states (exact match).
bool isOdbcDefinedState(std::string_view state);
