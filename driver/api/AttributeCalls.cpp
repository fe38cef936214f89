#include "driver/api/AttributeCalls.h"

#include <algorithm>
#include <string>

#include "driver/api/HandleCalls.h"
#include "driver/api/TraceFrames.h"
#include "driver/api/TraceValueRenderers.h"
#include "driver/api/TraceWriter.h"
#include "driver/core/ConnectionProxy.h"
#include "driver/core/Environment.h"
#include "driver/core/Statement.h"

namespace {

// What the ODBC 2 option functions assume of the application's buffer.
constexpr SQLINTEGER kOptionBufferLength = 256;

// A text value set with a negative length is read up to its NUL, so the
// trace reads it the same way.
SQLINTEGER tracedTextLength(SQLINTEGER length) {
    return length < 0 ? SQL_NTS : length;
}

// An output buffer is read within its stated size, and not at all without one.
SQLINTEGER tracedBufferLength(SQLINTEGER bufferLength) {
    return std::max<SQLINTEGER>(bufferLength, 0);
}

std::string lines(std::string_view line) {
    std::string text;
    appendTraceLine(text, line);
    return text;
}

// "rc = SQLSetConnectAttr(dbc0x.., SQL_ATTR_AUTOCOMMIT, (SQLPOINTER) SQL_AUTOCOMMIT_OFF, 0);"
std::string setCallLine(const char* name, const std::string& handle, const std::string& attribute,
                        const std::string& value, const std::string& length) {
    return lines(std::string("rc = ") + name + "(" + handle + ", " + attribute + ", (SQLPOINTER) " +
                 value + ", " + length + ");");
}

std::string optionCallLine(const char* name, const std::string& handle,
                           const std::string& attribute, const std::string& value) {
    return lines(std::string("rc = ") + name + "(" + handle + ", " + attribute + ", " + value +
                 ");");
}

// Declarations and call line of SQLGetEnvAttr, SQLGetConnectAttr(W).
std::string readCallLines(const char* name, const std::string& handle, const std::string& attribute,
                          const void* value, SQLINTEGER bufferLength,
                          const SQLINTEGER* stringLength) {
    std::string text;
    if (value != nullptr) {
        appendTraceLine(text, "char " + traceVariable("value", value) + "[" +
                                  std::to_string(bufferLength) + "];");
    }
    if (stringLength != nullptr) {
        appendTraceLine(text, "SQLINTEGER " + traceVariable("len", stringLength) + " = 0;");
    }
    appendTraceLine(text, std::string("rc = ") + name + "(" + handle + ", " + attribute + ", " +
                              traceOutputArgument("value", value) + ", " +
                              traceValueLength(bufferLength) + ", " +
                              traceOutputArgument("&len", stringLength) + ");");
    return text;
}

std::string readOutputLines(const void* value, const std::string& rendered,
                            const SQLINTEGER* stringLength) {
    std::string text;
    if (value != nullptr) {
        appendTraceLine(text, "// value: " + rendered);
    }
    if (stringLength != nullptr) {
        appendTraceLine(text, "// len: " + traceIntegerOut(stringLength));
    }
    return text;
}

// The descriptor-handle attributes, whose lines the trace keeps commented
// out: a replay cannot use the handles.
bool isDescriptorAttribute(SQLINTEGER attribute) {
    return attribute >= SQL_ATTR_APP_ROW_DESC && attribute <= SQL_ATTR_IMP_PARAM_DESC;
}

// Lengths that name the width of a fixed-size value.
bool isFixedWidthLength(SQLINTEGER bufferLength) {
    return bufferLength >= SQL_IS_SMALLINT && bufferLength <= SQL_IS_UINTEGER;
}

struct ValueDeclaration {
    SQLINTEGER bufferLength;
    const char* type;
    const char* initial;
};

const ValueDeclaration kValueDeclarations[] = {
    {SQL_IS_SMALLINT, "SQLSMALLINT", " = 0;"},  {SQL_IS_USMALLINT, "SQLUSMALLINT", " = 0;"},
    {SQL_IS_INTEGER, "SQLINTEGER", " = 0;"},    {SQL_IS_UINTEGER, "SQLUINTEGER", " = 0;"},
    {SQL_IS_POINTER, "SQLPOINTER", " = NULL;"},
};

// The declaration of SQLGetStmtAttr's value by its buffer length; none for
// a negative length that names no width.
std::string statementValueDeclaration(const void* value, SQLINTEGER bufferLength) {
    if (bufferLength >= 0) {
        return "char " + traceVariable("value", value) + "[" + std::to_string(bufferLength) + "];";
    }
    for (const ValueDeclaration& row : kValueDeclarations) {
        if (row.bufferLength == bufferLength) {
            return std::string(row.type) + " " + traceVariable("value", value) + row.initial;
        }
    }
    return {};
}

std::string statementReadLines(const char* name, SQLHSTMT statement, SQLINTEGER attribute,
                               const void* value, SQLINTEGER bufferLength,
                               const SQLINTEGER* stringLength) {
    const std::string prefix = isDescriptorAttribute(attribute) ? "// " : "";
    std::string text;
    if (value != nullptr) {
        const std::string declaration = statementValueDeclaration(value, bufferLength);
        if (!declaration.empty()) {
            appendTraceLine(text, prefix + declaration);
        }
    }
    if (stringLength != nullptr) {
        appendTraceLine(text,
                        prefix + "SQLINTEGER " + traceVariable("len", stringLength) + " = 0;");
    }
    const std::string valueArgument =
        value == nullptr
            ? std::string("NULL")
            : (isFixedWidthLength(bufferLength) ? "&" : "") + traceVariable("value", value);
    appendTraceLine(text, prefix + "rc = " + name + "(" + traceVariable("stmt", statement) + ", " +
                              traceStatementAttribute(attribute) + ", (SQLPOINTER) " +
                              valueArgument + ", " + traceValueLength(bufferLength) + ", " +
                              traceOutputArgument("&len", stringLength) + ");");
    return text;
}

// Declaration and call line of SQLGetConnectOption and SQLGetStmtOption.
std::string optionReadLines(const char* name, const std::string& handle,
                            const std::string& attribute, const void* value) {
    std::string text;
    appendTraceLine(text, "char " + traceVariable("value", value) + "[" +
                              std::to_string(kOptionBufferLength) + "];");
    appendTraceLine(text, std::string("rc = ") + name + "(" + handle + ", " + attribute + ", " +
                              traceVariable("value", value) + ");");
    return text;
}

std::string nothing() {
    return {};
}

SQLRETURN setConnection(const char* name, SQLHDBC connection, SQLINTEGER attribute,
                        SQLPOINTER value, SQLINTEGER stringLength, bool wide) {
    if (connection == SQL_NULL_HDBC) {
        return SQL_INVALID_HANDLE;
    }
    ConnectionProxy& proxy = *proxyOf(connection);
    return plainTraceCall(
        proxy,
        [&] {
            const SQLINTEGER length = tracedTextLength(stringLength);
            return setCallLine(name, traceVariable("dbc", connection),
                               traceConnectAttribute(attribute),
                               wide ? traceConnectAttributeValueW(attribute, value, length)
                                    : traceConnectAttributeValue(attribute, value, length),
                               std::to_string(stringLength));
        },
        [&] {
            return wide ? proxy.setConnectAttrW(attribute, value, stringLength)
                        : proxy.setConnectAttr(attribute, value, stringLength);
        },
        nothing);
}

SQLRETURN setConnectionOption(const char* name, SQLHDBC connection, SQLUSMALLINT option,
                              SQLULEN param, bool wide) {
    if (connection == SQL_NULL_HDBC) {
        return SQL_INVALID_HANDLE;
    }
    ConnectionProxy& proxy = *proxyOf(connection);
    const auto value = reinterpret_cast<SQLPOINTER>(param);
    return plainTraceCall(
        proxy,
        [&] {
            return optionCallLine(name, traceVariable("dbc", connection),
                                  traceConnectAttribute(option),
                                  wide ? traceConnectAttributeValueW(option, value)
                                       : traceConnectAttributeValue(option, value));
        },
        [&] {
            return wide ? proxy.setConnectAttrW(option, value, SQL_NTS)
                        : proxy.setConnectAttr(option, value, SQL_NTS);
        },
        nothing);
}

SQLRETURN setStatement(const char* name, SQLHSTMT statement, SQLINTEGER attribute, SQLPOINTER value,
                       SQLINTEGER stringLength) {
    if (statement == SQL_NULL_HSTMT) {
        return SQL_INVALID_HANDLE;
    }
    Statement& stmt = *statementOf(statement);
    return plainTraceCall(
        stmt,
        [&] {
            return setCallLine(
                name, traceVariable("stmt", statement), traceStatementAttribute(attribute),
                traceStatementAttributeValue(attribute, value), traceValueLength(stringLength));
        },
        [&] { return stmt.setStmtAttr(attribute, value, stringLength); }, nothing);
}

SQLRETURN getStatement(const char* name, SQLHSTMT statement, SQLINTEGER attribute, SQLPOINTER value,
                       SQLINTEGER bufferLength, SQLINTEGER* stringLength) {
    if (statement == SQL_NULL_HSTMT) {
        return SQL_INVALID_HANDLE;
    }
    Statement& stmt = *statementOf(statement);
    return plainTraceCall(
        stmt,
        [&] {
            return statementReadLines(name, statement, attribute, value, bufferLength,
                                      stringLength);
        },
        [&] { return stmt.getStmtAttr(attribute, value, bufferLength, stringLength); },
        [&] {
            return readOutputLines(
                value, value != nullptr ? traceStatementAttributeValueOut(attribute, value) : "",
                stringLength);
        });
}

}  // namespace

namespace calls {

SQLRETURN setEnvAttr(SQLHENV environment, SQLINTEGER attribute, SQLPOINTER value,
                     SQLINTEGER stringLength) {
    if (environment == SQL_NULL_HENV) {
        return SQL_INVALID_HANDLE;
    }
    Environment& env = *environmentOf(environment);
    return plainTraceCall(
        env,
        [&] {
            return setCallLine(
                "SQLSetEnvAttr", traceVariable("env", environment), traceEnvAttribute(attribute),
                traceEnvAttributeValue(attribute, value), std::to_string(stringLength));
        },
        [&] { return env.setEnvAttr(attribute, value); }, nothing);
}

SQLRETURN getEnvAttr(SQLHENV environment, SQLINTEGER attribute, SQLPOINTER value,
                     SQLINTEGER bufferLength, SQLINTEGER* stringLength) {
    if (environment == SQL_NULL_HENV) {
        return SQL_INVALID_HANDLE;
    }
    Environment& env = *environmentOf(environment);
    return plainTraceCall(
        env,
        [&] {
            return readCallLines("SQLGetEnvAttr", traceVariable("env", environment),
                                 traceEnvAttribute(attribute), value, bufferLength, stringLength);
        },
        [&] { return env.getEnvAttr(attribute, value, bufferLength, stringLength); },
        [&] {
            return readOutputLines(
                value, value != nullptr ? traceEnvAttributeValueOut(attribute, value) : "",
                stringLength);
        });
}

SQLRETURN setConnectAttr(SQLHDBC connection, SQLINTEGER attribute, SQLPOINTER value,
                         SQLINTEGER stringLength) {
    return setConnection("SQLSetConnectAttr", connection, attribute, value, stringLength, false);
}

SQLRETURN setConnectAttrW(SQLHDBC connection, SQLINTEGER attribute, SQLPOINTER value,
                          SQLINTEGER stringLength) {
    return setConnection("SQLSetConnectAttrW", connection, attribute, value, stringLength, true);
}

SQLRETURN getConnectAttr(SQLHDBC connection, SQLINTEGER attribute, SQLPOINTER value,
                         SQLINTEGER bufferLength, SQLINTEGER* stringLength) {
    if (connection == SQL_NULL_HDBC) {
        return SQL_INVALID_HANDLE;
    }
    ConnectionProxy& proxy = *proxyOf(connection);
    return plainTraceCall(
        proxy,
        [&] {
            return readCallLines("SQLGetConnectAttr", traceVariable("dbc", connection),
                                 traceConnectAttribute(attribute), value, bufferLength,
                                 stringLength);
        },
        [&] { return proxy.getConnectAttr(attribute, value, bufferLength, stringLength); },
        [&] {
            return readOutputLines(value,
                                   value != nullptr
                                       ? traceConnectAttributeValueOut(
                                             attribute, value, tracedBufferLength(bufferLength))
                                       : "",
                                   stringLength);
        });
}

SQLRETURN getConnectAttrW(SQLHDBC connection, SQLINTEGER attribute, SQLPOINTER value,
                          SQLINTEGER bufferLength, SQLINTEGER* stringLength) {
    if (connection == SQL_NULL_HDBC) {
        return SQL_INVALID_HANDLE;
    }
    ConnectionProxy& proxy = *proxyOf(connection);
    return plainTraceCall(
        proxy,
        [&] {
            return readCallLines("SQLGetConnectAttrW", traceVariable("dbc", connection),
                                 traceConnectAttribute(attribute), value, bufferLength,
                                 stringLength);
        },
        [&] { return proxy.getConnectAttrW(attribute, value, bufferLength, stringLength); },
        [&] {
            // Both lines always, the renderers showing what is absent.
            std::string text;
            appendTraceLine(
                text, "// value: " + (value != nullptr
                                          ? traceConnectAttributeValueOutW(
                                                attribute, value, tracedBufferLength(bufferLength))
                                          : std::string("null")));
            appendTraceLine(text, "// len: " + traceIntegerOut(stringLength));
            return text;
        });
}

SQLRETURN setStmtAttr(SQLHSTMT statement, SQLINTEGER attribute, SQLPOINTER value,
                      SQLINTEGER stringLength) {
    return setStatement("SQLSetStmtAttr", statement, attribute, value, stringLength);
}

SQLRETURN setStmtAttrW(SQLHSTMT statement, SQLINTEGER attribute, SQLPOINTER value,
                       SQLINTEGER stringLength) {
    return setStatement("SQLSetStmtAttrW", statement, attribute, value, stringLength);
}

SQLRETURN getStmtAttr(SQLHSTMT statement, SQLINTEGER attribute, SQLPOINTER value,
                      SQLINTEGER bufferLength, SQLINTEGER* stringLength) {
    return getStatement("SQLGetStmtAttr", statement, attribute, value, bufferLength, stringLength);
}

SQLRETURN getStmtAttrW(SQLHSTMT statement, SQLINTEGER attribute, SQLPOINTER value,
                       SQLINTEGER bufferLength, SQLINTEGER* stringLength) {
    return getStatement("SQLGetStmtAttrW", statement, attribute, value, bufferLength, stringLength);
}

SQLRETURN setConnectOption(SQLHDBC connection, SQLUSMALLINT option, SQLULEN value) {
    return setConnectionOption("SQLSetConnectOption", connection, option, value, false);
}

SQLRETURN setConnectOptionW(SQLHDBC connection, SQLUSMALLINT option, SQLULEN value) {
    return setConnectionOption("SQLSetConnectOptionW", connection, option, value, true);
}

SQLRETURN setStmtOption(SQLHSTMT statement, SQLUSMALLINT option, SQLULEN value) {
    if (statement == SQL_NULL_HSTMT) {
        return SQL_INVALID_HANDLE;
    }
    Statement& stmt = *statementOf(statement);
    const auto param = reinterpret_cast<SQLPOINTER>(value);
    return plainTraceCall(
        stmt,
        [&] {
            return optionCallLine("SQLSetStmtOption", traceVariable("stmt", statement),
                                  traceStatementAttribute(option),
                                  traceStatementAttributeValue(option, param));
        },
        [&] { return stmt.setStmtAttr(option, param, SQL_NTS); }, nothing);
}

SQLRETURN getConnectOption(SQLHDBC connection, SQLUSMALLINT option, SQLPOINTER value) {
    if (connection == SQL_NULL_HDBC) {
        return SQL_INVALID_HANDLE;
    }
    ConnectionProxy& proxy = *proxyOf(connection);
    return plainTraceCall(
        proxy,
        [&] {
            return optionReadLines("SQLGetConnectOption", traceVariable("dbc", connection),
                                   traceConnectAttribute(option), value);
        },
        [&] { return proxy.getConnectAttr(option, value, kOptionBufferLength, nullptr); },
        [&] {
            return lines("// value: " + (value != nullptr ? traceConnectAttributeValueOut(
                                                                option, value, kOptionBufferLength)
                                                          : std::string("null")));
        });
}

SQLRETURN getStmtOption(SQLHSTMT statement, SQLUSMALLINT option, SQLPOINTER value) {
    if (statement == SQL_NULL_HSTMT) {
        return SQL_INVALID_HANDLE;
    }
    Statement& stmt = *statementOf(statement);
    return plainTraceCall(
        stmt,
        [&] {
            return optionReadLines("SQLGetStmtOption", traceVariable("stmt", statement),
                                   traceStatementAttribute(option), value);
        },
        [&] { return stmt.getStmtAttr(option, value, kOptionBufferLength, nullptr); },
        [&] {
            return lines("// value: " + (value != nullptr
                                             ? traceStatementAttributeValueOut(option, value)
                                             : std::string("null")));
        });
}

}  // namespace calls
