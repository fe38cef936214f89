#include "driver/api/InformationCalls.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "driver/api/HandleCalls.h"
#include "driver/api/TraceNameTables.h"
#include "driver/api/TraceValueRenderers.h"
#include "driver/api/TraceWriter.h"
#include "driver/api/WideArguments.h"
#include "driver/core/ConnectionProxy.h"
#include "driver/core/Statement.h"
#include "driver/core/StringOutput.h"

namespace {

// Numbers need no BufferLength, and applications pass 0 for them: the
// narrow answer of SQLGetInfoW always has room for the widest number.
constexpr std::size_t kLeastInfoBuffer = 8;

void addLine(std::string& text, std::string_view line) {
    text += line;
    text += '\n';
}

std::string named(const char* kind, const void* pointer) {
    return kind + tracePointer(pointer);
}

bool isTextInfo(SQLUSMALLINT infoType) {
    const TraceInfoItem* item = traceNames::findInfoItem(infoType);
    return item == nullptr || item->kind == TraceInfoKind::Text;
}

// The bytes a call wrote as an info value, rendered from a copy padded with
// zeros: the renderer never reads what the call did not write.
std::string renderWritten(SQLUSMALLINT infoType, const void* value, std::size_t written,
                          bool wide) {
    std::vector<char> copy(written + kLeastInfoBuffer, '\0');
    if (written > 0) {
        std::memcpy(copy.data(), value, written);
    }
    const auto bound = static_cast<SQLINTEGER>(
        std::min<std::size_t>(written, std::numeric_limits<SQLINTEGER>::max()));
    return wide ? traceInfoValueW(infoType, copy.data(), bound)
                : traceInfoValue(infoType, copy.data(), bound);
}

std::size_t clampedBytes(std::int64_t bytes, std::int64_t most) {
    return static_cast<std::size_t>(
        std::clamp<std::int64_t>(bytes, 0, std::max<std::int64_t>(most, 0)));
}

// What SQLGetInfo and SQLGetInfoW write before the call.
std::string infoCallLines(const char* function, SQLHDBC connection, SQLUSMALLINT infoType,
                          SQLPOINTER infoValue, SQLSMALLINT bufferLength,
                          const SQLSMALLINT* stringLength) {
    std::string text;
    if (infoValue != nullptr) {
        addLine(text, named("char value", infoValue) + "[" + toString(bufferLength) + "];");
    }
    if (stringLength != nullptr) {
        addLine(text, named("SQLSMALLINT len", stringLength) + " = 0;");
    }
    std::string call = std::string("rc = ") + function + "(" + named("dbc", connection) + ", " +
                       traceInfoType(infoType) + ", ";
    call += infoValue != nullptr ? named("value", infoValue) + ", " : "NULL, ";
    call += toString(bufferLength) + ", ";
    call += stringLength != nullptr ? "&" + named("len", stringLength) + ");" : "NULL);";
    addLine(text, call);
    return text;
}

// The output and closing lines of SQLGetInfo and SQLGetInfoW; `shown` is
// the rendered value, asked for only when it is written.
template <typename RenderValue>
void traceInfoResult(ConnectionProxy& proxy, SQLRETURN rc, SQLPOINTER infoValue,
                     const SQLSMALLINT* stringLength, RenderValue&& shown) {
    if (!proxy.isTracing()) {
        return;
    }
    std::string text;
    if (SQL_SUCCEEDED(rc)) {
        if (infoValue != nullptr) {
            addLine(text, "// value: " + shown());
        }
        if (stringLength != nullptr) {
            addLine(text, "// *len: " + toString(*stringLength));
        }
    }
    addLine(text, traceReturnLine(rc));
    proxy.writeTrace(text);
}

std::string supportedDeclaration(SQLUSMALLINT functionId, const SQLUSMALLINT* supported) {
    const std::string variable = named("SQLUSMALLINT supported", supported);
    switch (functionId) {
        case SQL_API_ALL_FUNCTIONS:
            return variable + "[100];";
        case SQL_API_ODBC3_ALL_FUNCTIONS:
            return variable + "[SQL_API_ODBC3_ALL_FUNCTIONS_SIZE];";
        default:
            return variable + " = 0;";
    }
}

SQLRETURN typeInfo(const char* function, SQLHSTMT handle, SQLSMALLINT dataType) {
    if (handle == SQL_NULL_HSTMT) {
        return SQL_INVALID_HANDLE;
    }
    Statement& statement = *statementOf(handle);
    if (statement.isTracing()) {
        statement.writeTrace(std::string("rc = ") + function + "(" + named("stmt", handle) + ", " +
                             traceTypeInfoType(dataType) + ");\n");
    }
    const SQLRETURN rc = statement.getTypeInfo(dataType);
    if (statement.isTracing()) {
        statement.writeTrace(traceReturnLine(rc) + "\n");
    }
    return rc;
}

}  // namespace

namespace calls {

SQLRETURN getInfo(SQLHDBC connection, SQLUSMALLINT infoType, SQLPOINTER infoValue,
                  SQLSMALLINT bufferLength, SQLSMALLINT* stringLength) {
    if (connection == SQL_NULL_HDBC) {
        return SQL_INVALID_HANDLE;
    }
    ConnectionProxy& proxy = *proxyOf(connection);
    if (proxy.isTracing()) {
        proxy.writeTrace(infoCallLines("SQLGetInfo", connection, infoType, infoValue, bufferLength,
                                       stringLength));
    }
    // The length tells the trace how much of the value was written.
    SQLSMALLINT ownLength = 0;
    SQLSMALLINT* lengthOut = stringLength != nullptr ? stringLength : &ownLength;
    const SQLRETURN rc = proxy.getInfo(infoType, infoValue, bufferLength, lengthOut);
    traceInfoResult(proxy, rc, infoValue, stringLength, [&] {
        const std::size_t written = isTextInfo(infoType)
                                        ? clampedBytes(*lengthOut, bufferLength)
                                        : clampedBytes(*lengthOut, kLeastInfoBuffer);
        return renderWritten(infoType, infoValue, written, false);
    });
    return rc;
}

SQLRETURN getInfoW(SQLHDBC connection, SQLUSMALLINT infoType, SQLPOINTER infoValue,
                   SQLSMALLINT bufferLength, SQLSMALLINT* stringLength) {
    if (connection == SQL_NULL_HDBC) {
        return SQL_INVALID_HANDLE;
    }
    ConnectionProxy& proxy = *proxyOf(connection);
    if (proxy.isTracing()) {
        proxy.writeTrace(infoCallLines("SQLGetInfoW", connection, infoType, infoValue, bufferLength,
                                       stringLength));
    }
    // The narrow answer: zeroed, so a text always ends within it.
    std::vector<char> narrow;
    if (infoValue != nullptr) {
        const std::size_t room = static_cast<std::size_t>(std::max<SQLSMALLINT>(bufferLength, 0));
        narrow.assign(std::max(4 * room, kLeastInfoBuffer), '\0');
    }
    SQLSMALLINT length = 0;
    const SQLRETURN rc =
        proxy.getInfo(infoType, narrow.empty() ? nullptr : narrow.data(), bufferLength, &length);
    std::size_t written = 0;
    if (SQL_SUCCEEDED(rc)) {
        const bool text = proxy.getInfoValueType(infoType) == SQL_IS_POINTER;
        if (text && infoValue == nullptr) {
            length = wideByteLength<SQLSMALLINT>(std::int64_t{length} + 1);
        } else if (text) {
            // Never past what the connection wrote, and never a cut character.
            std::string_view received(narrow.data(), clampedBytes(length, bufferLength));
            received = received.substr(0, received.find('\0'));
            if (length >= bufferLength) {
                received = received.substr(0, wholeUtf8Length(received));
            }
            length = wideByteLength<SQLSMALLINT>(copyToWide(received, infoValue, bufferLength));
            written = clampedBytes(bufferLength, bufferLength);
        } else if (infoValue != nullptr) {
            written = clampedBytes(length, static_cast<std::int64_t>(narrow.size()));
            std::memcpy(infoValue, narrow.data(), written);
        }
        if (stringLength != nullptr) {
            *stringLength = length;
        }
    }
    traceInfoResult(proxy, rc, infoValue, stringLength,
                    [&] { return renderWritten(infoType, infoValue, written, true); });
    return rc;
}

SQLRETURN getFunctions(SQLHDBC connection, SQLUSMALLINT functionId, SQLUSMALLINT* supported) {
    if (connection == SQL_NULL_HDBC) {
        return SQL_INVALID_HANDLE;
    }
    ConnectionProxy& proxy = *proxyOf(connection);
    if (proxy.isTracing()) {
        std::string text;
        addLine(text, supportedDeclaration(functionId, supported));
        addLine(text, "rc = SQLGetFunctions(" + named("dbc", connection) + ", " +
                          traceFunctionId(functionId) + ", &" + named("supported", supported) +
                          ");");
        proxy.writeTrace(text);
    }
    // Room for the largest answer, for a caller that passed no array.
    std::array<SQLUSMALLINT, SQL_API_ODBC3_ALL_FUNCTIONS_SIZE> scratch{};
    const SQLRETURN rc =
        proxy.getFunctions(functionId, supported != nullptr ? supported : scratch.data());
    if (proxy.isTracing()) {
        std::string text;
        if (SQL_SUCCEEDED(rc)) {
            addLine(text, "// *supported: " + (supported != nullptr
                                                   ? traceSupportedFunctions(functionId, supported)
                                                   : std::string("null")));
        }
        addLine(text, traceReturnLine(rc));
        proxy.writeTrace(text);
    }
    return rc;
}

SQLRETURN getTypeInfo(SQLHSTMT statement, SQLSMALLINT dataType) {
    return typeInfo("SQLGetTypeInfo", statement, dataType);
}

SQLRETURN getTypeInfoW(SQLHSTMT statement, SQLSMALLINT dataType) {
    return typeInfo("SQLGetTypeInfoW", statement, dataType);
}

}  // namespace calls
