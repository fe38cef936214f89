#include "driver/api/DiagnosticsCalls.h"

#include <cstdint>
#include <string>
#include <string_view>

#include "driver/api/HandleCalls.h"
#include "driver/api/TraceFrames.h"
#include "driver/api/TraceValueRenderers.h"
#include "driver/api/TraceWriter.h"
#include "driver/api/WideArguments.h"
#include "driver/core/ConnectionProxy.h"
#include "driver/core/Descriptor.h"
#include "driver/core/Environment.h"
#include "driver/core/Statement.h"

namespace {

// The driver-side buffer of the W forms holds this many bytes of text at
// first; a longer answer is read again whole.
constexpr SQLSMALLINT kNarrowCapacity = 1024;
// SQLSTATE buffers: five characters and the terminator.
constexpr SQLSMALLINT kStateBytes = 6;
constexpr std::int64_t kWideUnit = sizeof(SQLWCHAR);
constexpr SQLSMALLINT kWideStateBytes = kStateBytes * kWideUnit;

using GetDiagRecOperation = SQLRETURN (*)(SQLHANDLE, SQLSMALLINT, SQLCHAR*, SQLINTEGER*, SQLCHAR*,
                                          SQLSMALLINT, SQLSMALLINT*);
using GetDiagFieldOperation = SQLRETURN (*)(SQLHANDLE, SQLSMALLINT, SQLSMALLINT, SQLPOINTER,
                                            SQLSMALLINT, SQLSMALLINT*);
using ErrorOperation = SQLRETURN (*)(SQLHANDLE, SQLCHAR*, SQLINTEGER*, SQLCHAR*, SQLSMALLINT,
                                     SQLSMALLINT*);

// What the diagnostics entry points use of one kind of handle.
struct HandleKind {
    SQLSMALLINT type;
    const char* word;  // how the trace names a handle of this kind
    bool (*isTracing)(SQLHANDLE);
    void (*writeTrace)(SQLHANDLE, std::string_view);
    GetDiagRecOperation getDiagRec;
    GetDiagFieldOperation getDiagField;
    ErrorOperation error;  // null where SQLError does not reach
};

// The operations of one handle class behind a plain handle.
template <typename Object, Object* (*objectOf)(SQLHANDLE)>
struct Access {
    static bool isTracing(SQLHANDLE handle) { return objectOf(handle)->isTracing(); }
    static void writeTrace(SQLHANDLE handle, std::string_view text) {
        objectOf(handle)->writeTrace(text);
    }
    static SQLRETURN getDiagRec(SQLHANDLE handle, SQLSMALLINT recNumber, SQLCHAR* state,
                                SQLINTEGER* native, SQLCHAR* message, SQLSMALLINT bufferLength,
                                SQLSMALLINT* textLength) {
        return objectOf(handle)->getDiagRec(recNumber, state, native, message, bufferLength,
                                            textLength);
    }
    static SQLRETURN getDiagField(SQLHANDLE handle, SQLSMALLINT recNumber, SQLSMALLINT identifier,
                                  SQLPOINTER info, SQLSMALLINT bufferLength,
                                  SQLSMALLINT* stringLength) {
        return objectOf(handle)->getDiagField(recNumber, identifier, info, bufferLength,
                                              stringLength);
    }
    static SQLRETURN error(SQLHANDLE handle, SQLCHAR* state, SQLINTEGER* native, SQLCHAR* message,
                           SQLSMALLINT bufferLength, SQLSMALLINT* textLength) {
        return objectOf(handle)->error(state, native, message, bufferLength, textLength);
    }
};

using EnvironmentAccess = Access<Environment, environmentOf>;
using ConnectionAccess = Access<ConnectionProxy, proxyOf>;
using StatementAccess = Access<Statement, statementOf>;
using DescriptorAccess = Access<Descriptor, descriptorOf>;

template <typename Kind>
constexpr HandleKind kindRow(SQLSMALLINT type, const char* word, ErrorOperation error) {
    return {type, word, &Kind::isTracing, &Kind::writeTrace, &Kind::getDiagRec, &Kind::getDiagField,
            error};
}

const HandleKind kHandleKinds[] = {
    kindRow<EnvironmentAccess>(SQL_HANDLE_ENV, "env", &EnvironmentAccess::error),
    kindRow<ConnectionAccess>(SQL_HANDLE_DBC, "dbc", &ConnectionAccess::error),
    kindRow<StatementAccess>(SQL_HANDLE_STMT, "stmt", &StatementAccess::error),
    kindRow<DescriptorAccess>(SQL_HANDLE_DESC, "desc", nullptr),
};

const HandleKind* findKind(SQLSMALLINT handleType) {
    for (const HandleKind& kind : kHandleKinds) {
        if (kind.type == handleType) {
            return &kind;
        }
    }
    return nullptr;
}

// One handle as the trace frames see it.
struct TracedHandle {
    const HandleKind& kind;
    SQLHANDLE handle;
    bool isTracing() const { return kind.isTracing(handle); }
    void writeTrace(std::string_view text) const { kind.writeTrace(handle, text); }
};

// Diagnostic fields whose value is text.
bool isTextField(SQLSMALLINT identifier) {
    return identifier == SQL_DIAG_SQLSTATE ||
           (identifier >= SQL_DIAG_MESSAGE_TEXT && identifier <= SQL_DIAG_SERVER_NAME);
}

// The arguments of one SQLGetDiagRec call, as its trace lines show them.
struct RecordCall {
    const HandleKind& kind;
    SQLHANDLE handle;
    SQLSMALLINT recNumber;
    const void* state;
    const SQLINTEGER* native;
    const void* message;
    SQLSMALLINT bufferLength;
    const SQLSMALLINT* textLength;
    bool wide;

    // A descriptor's call declares and reports every output, given or not.
    bool shows(const void* output) const {
        return kind.type == SQL_HANDLE_DESC || output != nullptr;
    }
};

std::string recordCallLines(const RecordCall& call) {
    const std::string charType = call.wide ? "SQLTCHAR" : "SQLCHAR";
    std::string text;
    if (call.shows(call.state)) {
        appendTraceLine(text, charType + " " + traceVariable("state", call.state) + "[6];");
    }
    if (call.shows(call.native)) {
        appendTraceLine(text, "SQLINTEGER " + traceVariable("err", call.native) + " = 0;");
    }
    if (call.shows(call.message)) {
        appendTraceLine(text, charType + " " + traceVariable("msg", call.message) + "[" +
                                  std::to_string(call.bufferLength) + "];");
    }
    if (call.shows(call.textLength)) {
        appendTraceLine(text, "SQLSMALLINT " + traceVariable("len", call.textLength) + " = " +
                                  traceSmallIntOut(call.textLength) + ";");
    }
    const auto output = [&](const char* prefix, const void* pointer) {
        return call.shows(pointer) ? traceVariable(prefix, pointer) : std::string("NULL");
    };
    appendTraceLine(
        text,
        std::string("rc = ") + (call.wide ? "SQLGetDiagRecW(" : "SQLGetDiagRec(") +
            traceHandleType(call.kind.type) + ", " + traceVariable(call.kind.word, call.handle) +
            ", " + std::to_string(call.recNumber) + ", " + traceVariable("state", call.state) +
            ", " + output("&err", call.native) + ", " + output("msg", call.message) + ", " +
            std::to_string(call.bufferLength) + ", " + output("&len", call.textLength) + ");");
    return text;
}

std::string recordOutputLines(const RecordCall& call, const std::string& state,
                              const std::string& message) {
    std::string text;
    if (call.shows(call.state)) {
        appendTraceLine(text, "// state: " + state);
    }
    if (call.shows(call.native)) {
        appendTraceLine(text, "// *err: " + traceIntegerOut(call.native));
    }
    if (call.shows(call.message)) {
        appendTraceLine(text, "// msg: " + message);
    }
    if (call.shows(call.textLength)) {
        appendTraceLine(text, "// *len: " + traceSmallIntOut(call.textLength));
    }
    return text;
}

std::string fieldCallLine(const char* name, const HandleKind& kind, SQLHANDLE handle,
                          SQLSMALLINT recNumber, SQLSMALLINT identifier, const void* info,
                          SQLSMALLINT bufferLength, const SQLSMALLINT* stringLength) {
    std::string text;
    appendTraceLine(text, std::string("rc = ") + name + "(" + traceHandleType(kind.type) + ", " +
                              traceVariable(kind.word, handle) + ", " + std::to_string(recNumber) +
                              ", " + traceDiagIdentifier(identifier) + ", " +
                              traceVariable("info", info) + ", " + std::to_string(bufferLength) +
                              ", " + traceVariable("len", stringLength) + ");");
    return text;
}

// SQLGetDiagField writes its output lines whatever the call returned.
template <typename Before, typename Operation, typename After>
SQLRETURN fieldTraceCall(const TracedHandle& traced, Before&& before, Operation&& operation,
                         After&& after) {
    if (traced.isTracing()) {
        traced.writeTrace(before());
    }
    const SQLRETURN rc = operation();
    if (traced.isTracing()) {
        std::string text = after();
        appendTraceLine(text, traceReturnLine(rc));
        traced.writeTrace(text);
    }
    return rc;
}

// A narrow text operation whose full length `length` may not have fitted
// the caller's buffer: cut text ends on a whole character, and the length
// reaches the caller only when the call succeeded.
void finishNarrowText(SQLRETURN rc, SQLCHAR* text, SQLSMALLINT bufferLength, SQLSMALLINT length,
                      SQLSMALLINT* lengthOut) {
    if (!SQL_SUCCEEDED(rc)) {
        return;
    }
    endOnWholeCharacter(text, bufferLength, length);
    if (lengthOut != nullptr) {
        *lengthOut = length;
    }
}

}  // namespace

namespace calls {

SQLRETURN getDiagRec(SQLSMALLINT handleType, SQLHANDLE handle, SQLSMALLINT recNumber,
                     SQLCHAR* state, SQLINTEGER* native, SQLCHAR* message, SQLSMALLINT bufferLength,
                     SQLSMALLINT* textLength) {
    const HandleKind* kind = findKind(handleType);
    if (kind == nullptr || handle == SQL_NULL_HANDLE) {
        return SQL_INVALID_HANDLE;
    }
    const TracedHandle traced{*kind, handle};
    const RecordCall call{*kind,   handle,       recNumber,  state, native,
                          message, bufferLength, textLength, false};
    return plainTraceCall(
        traced, [&] { return recordCallLines(call); },
        [&] {
            SQLSMALLINT length = 0;
            const SQLRETURN rc =
                kind->getDiagRec(handle, recNumber, state, native, message, bufferLength, &length);
            finishNarrowText(rc, message, bufferLength, length, textLength);
            return rc;
        },
        [&] {
            return recordOutputLines(call, traceString(state, kStateBytes),
                                     traceString(message, bufferLength));
        });
}

SQLRETURN getDiagRecW(SQLSMALLINT handleType, SQLHANDLE handle, SQLSMALLINT recNumber,
                      SQLWCHAR* state, SQLINTEGER* native, SQLWCHAR* message,
                      SQLSMALLINT bufferLength, SQLSMALLINT* textLength) {
    const HandleKind* kind = findKind(handleType);
    if (kind == nullptr || handle == SQL_NULL_HANDLE) {
        return SQL_INVALID_HANDLE;
    }
    const TracedHandle traced{*kind, handle};
    const RecordCall call{*kind,   handle,       recNumber,  state, native,
                          message, bufferLength, textLength, true};
    char narrowState[kStateBytes + 1] = {};
    NarrowAnswer answer;
    return plainTraceCall(
        traced, [&] { return recordCallLines(call); },
        [&] {
            answer = readNarrowAnswer<SQLSMALLINT>(
                kNarrowCapacity, [&](SQLCHAR* buffer, SQLSMALLINT capacity, SQLSMALLINT* length) {
                    return kind->getDiagRec(handle, recNumber,
                                            reinterpret_cast<SQLCHAR*>(narrowState), native, buffer,
                                            capacity, length);
                });
            const bool read = SQL_SUCCEEDED(answer.rc);
            if (textLength != nullptr) {
                *textLength =
                    read ? wideCharacterLength<SQLSMALLINT>(wideCharacterCount(answer.text)) : 0;
            }
            if (read) {
                copyToWide(narrowState, state, state != nullptr ? kWideStateBytes : 0);
                copyToWide(answer.text, message,
                           message != nullptr ? std::int64_t{bufferLength} * kWideUnit : 0);
            }
            return answer.rc;
        },
        [&] {
            return recordOutputLines(call, traceString(narrowState),
                                     traceString(answer.text.c_str()));
        });
}

SQLRETURN getDiagField(SQLSMALLINT handleType, SQLHANDLE handle, SQLSMALLINT recNumber,
                       SQLSMALLINT identifier, SQLPOINTER info, SQLSMALLINT bufferLength,
                       SQLSMALLINT* stringLength) {
    const HandleKind* kind = findKind(handleType);
    if (kind == nullptr || handle == SQL_NULL_HANDLE) {
        return SQL_INVALID_HANDLE;
    }
    const TracedHandle traced{*kind, handle};
    return fieldTraceCall(
        traced,
        [&] {
            return fieldCallLine("SQLGetDiagField", *kind, handle, recNumber, identifier, info,
                                 bufferLength, stringLength);
        },
        [&] {
            if (!isTextField(identifier)) {
                return kind->getDiagField(handle, recNumber, identifier, info, bufferLength,
                                          stringLength);
            }
            SQLSMALLINT length = 0;
            const SQLRETURN rc =
                kind->getDiagField(handle, recNumber, identifier, info, bufferLength, &length);
            finishNarrowText(rc, static_cast<SQLCHAR*>(info), bufferLength, length, stringLength);
            return rc;
        },
        [&] {
            std::string text;
            appendTraceLine(text,
                            "// info: " + traceDiagFieldValue(identifier, info, bufferLength));
            appendTraceLine(text, "// *len: " + traceSmallIntOut(stringLength));
            return text;
        });
}

SQLRETURN getDiagFieldW(SQLSMALLINT handleType, SQLHANDLE handle, SQLSMALLINT recNumber,
                        SQLSMALLINT identifier, SQLPOINTER info, SQLSMALLINT bufferLength,
                        SQLSMALLINT* stringLength) {
    const HandleKind* kind = findKind(handleType);
    if (kind == nullptr || handle == SQL_NULL_HANDLE) {
        return SQL_INVALID_HANDLE;
    }
    const TracedHandle traced{*kind, handle};
    const bool textField = isTextField(identifier);
    NarrowAnswer answer;
    return fieldTraceCall(
        traced,
        [&] {
            return fieldCallLine("SQLGetDiagFieldW", *kind, handle, recNumber, identifier, info,
                                 bufferLength, stringLength);
        },
        [&] {
            if (!textField) {
                SQLSMALLINT length = 0;
                const SQLRETURN rc =
                    kind->getDiagField(handle, recNumber, identifier, info, bufferLength, &length);
                if (stringLength != nullptr) {
                    *stringLength = length;
                }
                return rc;
            }
            answer = readNarrowAnswer<SQLSMALLINT>(
                kNarrowCapacity, [&](SQLCHAR* buffer, SQLSMALLINT capacity, SQLSMALLINT* length) {
                    return kind->getDiagField(handle, recNumber, identifier, buffer, capacity,
                                              length);
                });
            if (!SQL_SUCCEEDED(answer.rc)) {
                answer.text.clear();
            }
            // An empty text goes out also when there was nothing to read.
            const std::int64_t characters = copyToWide(answer.text, info, bufferLength);
            if (stringLength != nullptr) {
                *stringLength = wideByteLength<SQLSMALLINT>(characters);
            }
            return answer.rc;
        },
        [&] {
            std::string text;
            appendTraceLine(
                text,
                "// info: " + (textField ? traceDiagFieldValue(identifier, answer.text.c_str())
                                         : traceDiagFieldValue(identifier, info, bufferLength)));
            appendTraceLine(text, "// *len: " + traceSmallIntOut(stringLength));
            return text;
        });
}

SQLRETURN error(SQLHENV environment, SQLHDBC connection, SQLHSTMT statement, SQLCHAR* state,
                SQLINTEGER* native, SQLCHAR* message, SQLSMALLINT bufferLength,
                SQLSMALLINT* textLength) {
    const HandleKind* kind = statement != SQL_NULL_HSTMT    ? findKind(SQL_HANDLE_STMT)
                             : connection != SQL_NULL_HDBC  ? findKind(SQL_HANDLE_DBC)
                             : environment != SQL_NULL_HENV ? findKind(SQL_HANDLE_ENV)
                                                            : nullptr;
    if (kind == nullptr) {
        return SQL_ERROR;
    }
    const SQLHANDLE handle = statement != SQL_NULL_HSTMT   ? statement
                             : connection != SQL_NULL_HDBC ? connection
                                                           : environment;
    const TracedHandle traced{*kind, handle};
    return plainTraceCall(
        traced,
        [&] {
            std::string text;
            appendTraceLine(
                text, "rc = SQLError(" + traceVariable("env", environment) + ", " +
                          traceVariable("dbc", connection) + ", " +
                          traceVariable("stmt", statement) + ", " + traceVariable("state", state) +
                          ", " + traceVariable("err", native) + ", " +
                          traceVariable("msg", message) + ", " + std::to_string(bufferLength) +
                          ", " + traceVariable("len", textLength) + ");");
            return text;
        },
        [&] {
            SQLSMALLINT length = 0;
            const SQLRETURN rc = kind->error(handle, state, native, message, bufferLength, &length);
            finishNarrowText(rc, message, bufferLength, length, textLength);
            return rc;
        },
        [&] {
            std::string text;
            appendTraceLine(text, "// state: " + traceString(state, kStateBytes));
            appendTraceLine(text, "// *err: " + traceIntegerOut(native));
            appendTraceLine(text, "// msg: " + traceString(message, bufferLength));
            appendTraceLine(text, "// *len: " + traceSmallIntOut(textLength));
            return text;
        });
}

}  // namespace calls
