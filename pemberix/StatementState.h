#pragma once

#include "pemberix/HandleState.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace pemberix {

// A column bound for SQL_C_WCHAR: the driver never sees the application's
// buffer; each fetch reads the value and converts it into this buffer.
struct WideColumnBinding {
    SQLPOINTER target = nullptr;
    SQLLEN bufferLength = 0;
    SQLLEN* indicator = nullptr;
};

// A parameter bound for SQL_C_WCHAR: the driver is bound to this layer's
// UTF-16 copy, refilled from the application's buffers at each execution.
struct WideParameterBinding {
    SQLSMALLINT ioType = SQL_PARAM_INPUT;
    SQLSMALLINT parameterType = 0;
    SQLULEN columnSize = 0;
    SQLSMALLINT decimalDigits = 0;
    SQLPOINTER value = nullptr;
    SQLLEN bufferLength = 0;
    SQLLEN* indicator = nullptr;

    // The copy the driver reads, laid out as the driver addresses it.
    std::vector<unsigned char> data;
    std::vector<unsigned char> indicators;
    SQLLEN stride = 0;           // bytes from one row's value to the next
    SQLLEN indicatorStride = 0;  // bytes from one row's indicator to the next
    SQLLEN offset = 0;           // the bind offset in force at the execution
    SQLULEN rows = 0;
    SQLULEN bindType = SQL_PARAM_BIND_BY_COLUMN;
};

// A value being handed out by SQLGetData in SQL_C_WCHAR pieces: read whole
// from the driver first, so that lengths are counted in the caller's
// characters.
struct WideRead {
    bool active = false;
    SQLUSMALLINT column = 0;
    bool isNull = false;
    bool finished = false;
    std::wstring text;
    std::size_t delivered = 0;
};

class StatementState : public HandleState {
  public:
    using HandleState::HandleState;

    std::map<SQLUSMALLINT, WideColumnBinding> wideColumns;
    std::map<SQLUSMALLINT, WideParameterBinding> wideParameters;
    WideRead read;
    // The wide parameter whose data the driver asked for last.
    std::optional<SQLUSMALLINT> dataAtExecParameter;
};

}  // namespace pemberix
