#pragma once

#include <sql.h>

#include <string>
#include <string_view>

#include "driver/api/TraceWriter.h"

// The two shapes of a traced call shared by the entry points whose bodies
// live in driver/api. `Handle` is anything with isTracing() and
// writeTrace(text): an Environment, a ConnectionProxy, a Statement or a
// Descriptor. The trace switch is set when the environment is made and
// never changes, so it is asked once per call; lines are only composed
// while it is on.

// A traced variable or argument: a fixed prefix and the address ("len0x7b10").
inline std::string traceVariable(std::string_view prefix, const void* pointer) {
    return std::string(prefix) + tracePointer(pointer);
}

// An output argument of a call line: its variable, or NULL when absent.
inline std::string traceOutputArgument(std::string_view prefix, const void* pointer) {
    return pointer == nullptr ? std::string("NULL") : traceVariable(prefix, pointer);
}

inline void appendTraceLine(std::string& text, std::string_view line) {
    text += line;
    text += '\n';
}

// The traced halves live out of line, so that an untraced call is no
// more than the switch and the operation.

// "// ENTER: " before the lines that `before` composes, "// EXIT: " with the
// result after the call.
template <typename Handle, typename Before, typename Operation>
[[gnu::noinline]] SQLRETURN tracedStampedCall(Handle& handle, Before&& before,
                                              Operation&& operation) {
    std::string text;
    appendTraceLine(text, traceEnterLine());
    text += before();
    handle.writeTrace(text);
    const SQLRETURN rc = operation();
    text.clear();
    appendTraceLine(text, traceExitLine(rc));
    handle.writeTrace(text);
    return rc;
}

template <typename Handle, typename Before, typename Operation>
SQLRETURN stampedTraceCall(Handle& handle, Before&& before, Operation&& operation) {
    if (!handle.isTracing()) {
        return operation();
    }
    return tracedStampedCall(handle, before, operation);
}

// The lines of `before`, then after the call the lines of `after` when the
// call succeeded, and "// rc: " whatever it returned.
template <typename Handle, typename Before, typename Operation, typename After>
[[gnu::noinline]] SQLRETURN tracedPlainCall(Handle& handle, Before&& before, Operation&& operation,
                                            After&& after) {
    handle.writeTrace(before());
    const SQLRETURN rc = operation();
    std::string text;
    if (SQL_SUCCEEDED(rc)) {
        text += after();
    }
    appendTraceLine(text, traceReturnLine(rc));
    handle.writeTrace(text);
    return rc;
}

template <typename Handle, typename Before, typename Operation, typename After>
SQLRETURN plainTraceCall(Handle& handle, Before&& before, Operation&& operation, After&& after) {
    if (!handle.isTracing()) {
        return operation();
    }
    return tracedPlainCall(handle, before, operation, after);
}
