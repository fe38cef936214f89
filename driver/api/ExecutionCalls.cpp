#include "driver/api/ExecutionCalls.h"

#include <clocale>
#include <cstdint>
#include <cstring>
#include <string>

#include "driver/api/HandleCalls.h"
#include "driver/api/TraceFrames.h"
#include "driver/api/TraceValueRenderers.h"
#include "driver/api/TraceWriter.h"
#include "driver/api/WideArguments.h"
#include "driver/core/Connection.h"
#include "driver/core/ConnectionProxy.h"
#include "driver/core/Statement.h"
#include "driver/core/TextEncoding.h"

namespace {

// The caller's wide statement text as 8-bit text for the statement.
struct StatementText {
    std::string text;
    SQLINTEGER bytes = 0;
    const SQLCHAR* data() const { return reinterpret_cast<const SQLCHAR*>(text.c_str()); }
};

struct TextSettings {
    bool wideApi = false;
    std::uint32_t sendEncoding = kEncodingUtf8;
    StringEncoding language = kEncodingUtf8;
};

TextSettings textSettings(const Statement& statement) {
    const Connection* connection = statement.connection();
    if (connection == nullptr) {
        return {false, kEncodingUtf8, getPreferredLanguageEncoding()};
    }
    return {connection->isWideApi(), connection->sendEncoding(), connection->languageEncoding()};
}

// Without the wide API a connection that sends the user's language
// encoding gets the wide units read as bytes of that encoding, one that
// sends Latin-1 gets Latin-1 bytes; everything else travels as UTF-8.
StatementText convertStatementText(const TextSettings& settings, const SQLWCHAR* text,
                                   SQLINTEGER units) {
    StatementText result;
    if (!settings.wideApi && settings.sendEncoding == settings.language) {
        result.text = wideToUtf8ViaLatin1(text, units, &result.bytes, settings.language);
    } else if (!settings.wideApi && settings.sendEncoding == kEncodingIsoLatin1) {
        result.text = wideToLatin1(text, units, &result.bytes);
    } else {
        result.text = wideToUtf8(text, units, &result.bytes);
    }
    return result;
}

std::string statementWord(SQLHSTMT statement) {
    return traceVariable("stmt", statement);
}

// "rc = SQLPrepare(stmt0x.., (SQLCHAR *) "text", SQL_NTS);" and its kin.
std::string narrowTextCall(const char* name, SQLHSTMT statement, const SQLCHAR* text,
                           SQLINTEGER length) {
    std::string line;
    appendTraceLine(line, std::string("rc = ") + name + "(" + statementWord(statement) +
                              ", (SQLCHAR *) " + traceString(text, length) + ", " +
                              traceLength(length) + ");");
    return line;
}

std::string wideTextCall(const char* name, SQLHSTMT statement, const StatementText& converted,
                         SQLINTEGER length) {
    std::string line;
    appendTraceLine(line, std::string("rc = ") + name + "(" + statementWord(statement) + ", TEXT(" +
                              traceString(converted.text.c_str()) + "), " + traceLength(length) +
                              ");");
    return line;
}

// What SQLExecDirectW tells the trace about the text and its conversion.
std::string encodingLines(const SQLWCHAR* text, SQLINTEGER length, SQLINTEGER units,
                          const TextSettings& settings) {
    const char* locale = std::setlocale(LC_CTYPE, nullptr);
    std::string lines;
    appendTraceLine(lines, "// textLengthW: " + std::to_string(length));
    appendTraceLine(lines, "// textLengthChars: " + std::to_string(units));
    appendTraceLine(lines, "// utf-8: " + traceString(wideToUtf8(text, units).c_str()));
    appendTraceLine(lines, std::string("// wideAPI: ") + (settings.wideApi ? "1" : "0") +
                               " sendEncoding: " +
                               std::to_string(static_cast<std::int32_t>(settings.sendEncoding)));
    appendTraceLine(lines, std::string("// Connection locale: ") + (locale ? locale : ""));
    return lines;
}

bool holdsState(DiagnosticHeader& diagnostics, const char* state) {
    const std::size_t count = diagnostics.recordCount();
    for (std::size_t record = 1; record <= count && record <= 0x7FFF; ++record) {
        char found[6] = {};
        if (diagnostics.getDiagField(static_cast<SQLSMALLINT>(record), SQL_DIAG_SQLSTATE, found,
                                     sizeof found, nullptr) == SQL_SUCCESS &&
            std::strcmp(found, state) == 0) {
            return true;
        }
    }
    return false;
}

std::string nativeCallLine(const char* name, SQLHDBC connection, const std::string& text,
                           SQLINTEGER length, const void* out, SQLINTEGER bufferLength,
                           const void* outLength) {
    std::string line;
    appendTraceLine(line, std::string("rc = ") + name + "(" + traceVariable("dbc", connection) +
                              ", " + text + ", " + traceLength(length) + ", " +
                              traceVariable("native", out) + ", " + std::to_string(bufferLength) +
                              ", " + traceVariable("len", outLength) + ");");
    return line;
}

}  // namespace

namespace calls {

SQLRETURN bindParameter(SQLHSTMT statement, SQLUSMALLINT number, SQLSMALLINT inputOutputType,
                        SQLSMALLINT valueType, SQLSMALLINT parameterType, SQLULEN columnSize,
                        SQLSMALLINT decimalDigits, SQLPOINTER value, SQLLEN bufferLength,
                        SQLLEN* lengthOrIndicator) {
    if (statement == SQL_NULL_HSTMT) {
        return SQL_INVALID_HANDLE;
    }
    Statement& stmt = *statementOf(statement);
    return plainTraceCall(
        stmt,
        [&] {
            std::string text;
            if (value != nullptr) {
                appendTraceLine(text, "char " + traceVariable("value", value) + "[" +
                                          std::to_string(bufferLength) + "];");
            }
            if (lengthOrIndicator != nullptr) {
                appendTraceLine(text, "SQLLEN " + traceVariable("len", lengthOrIndicator) + " = " +
                                          traceIndicator(lengthOrIndicator) + ";");
            }
            appendTraceLine(
                text, "rc = SQLBindParameter(" + statementWord(statement) + ", " +
                          std::to_string(number) + ", " + traceParamType(inputOutputType) + ", " +
                          traceCType(valueType) + ", " + traceSqlType(parameterType) + ", " +
                          std::to_string(columnSize) + ", " + std::to_string(decimalDigits) + ", " +
                          traceOutputArgument("value", value) + ", " +
                          std::to_string(bufferLength) + ", " +
                          traceOutputArgument("&len", lengthOrIndicator) + ");");
            // As the application set it, before the statement may touch it.
            appendTraceLine(text, "// len: " + traceIndicator(lengthOrIndicator));
            return text;
        },
        [&] {
            return stmt.bindParameter(number, inputOutputType, valueType, parameterType, columnSize,
                                      decimalDigits, value, bufferLength, lengthOrIndicator);
        },
        [] { return std::string(); });
}

SQLRETURN prepare(SQLHSTMT statement, SQLCHAR* text, SQLINTEGER length) {
    if (statement == SQL_NULL_HSTMT) {
        return SQL_INVALID_HANDLE;
    }
    Statement& stmt = *statementOf(statement);
    return stampedTraceCall(
        stmt, [&] { return narrowTextCall("SQLPrepare", statement, text, length); },
        [&] { return stmt.prepare(text, length); });
}

SQLRETURN prepareW(SQLHSTMT statement, SQLWCHAR* text, SQLINTEGER length) {
    if (statement == SQL_NULL_HSTMT) {
        return SQL_INVALID_HANDLE;
    }
    Statement& stmt = *statementOf(statement);
    const StatementText converted =
        convertStatementText(textSettings(stmt), text, wideInputLength(text, length));
    return stampedTraceCall(
        stmt, [&] { return wideTextCall("SQLPrepareW", statement, converted, length); },
        [&] { return stmt.prepare(converted.data(), converted.bytes); });
}

SQLRETURN describeParam(SQLHSTMT statement, SQLUSMALLINT number, SQLSMALLINT* dataType,
                        SQLULEN* parameterSize, SQLSMALLINT* decimalDigits, SQLSMALLINT* nullable) {
    if (statement == SQL_NULL_HSTMT) {
        return SQL_INVALID_HANDLE;
    }
    Statement& stmt = *statementOf(statement);
    return plainTraceCall(
        stmt,
        [&] {
            struct Output {
                const char* type;
                const char* name;
                const void* pointer;
            };
            const Output outputs[] = {{"SQLSMALLINT", "type", dataType},
                                      {"SQLULEN", "size", parameterSize},
                                      {"SQLSMALLINT", "scale", decimalDigits},
                                      {"SQLSMALLINT", "null", nullable}};
            std::string text;
            std::string call =
                "rc = SQLDescribeParam(" + statementWord(statement) + ", " + std::to_string(number);
            for (const Output& output : outputs) {
                if (output.pointer != nullptr) {
                    appendTraceLine(text, std::string(output.type) + " " +
                                              traceVariable(output.name, output.pointer) + " = 0;");
                }
                call += ", " + traceOutputArgument(std::string("&") + output.name, output.pointer);
            }
            appendTraceLine(text, call + ");");
            return text;
        },
        [&] {
            return stmt.describeParam(number, dataType, parameterSize, decimalDigits, nullable);
        },
        [&] {
            std::string text;
            appendTraceLine(text, "// type: " + (dataType != nullptr ? traceSqlType(*dataType)
                                                                     : std::string("null")));
            appendTraceLine(text, "// size: " + traceLenOut(parameterSize));
            appendTraceLine(text, "// scale: " + traceSmallIntOut(decimalDigits));
            appendTraceLine(text, "// null: " + traceSmallIntOut(nullable));
            return text;
        });
}

SQLRETURN numParams(SQLHSTMT statement, SQLSMALLINT* count) {
    if (statement == SQL_NULL_HSTMT) {
        return SQL_INVALID_HANDLE;
    }
    Statement& stmt = *statementOf(statement);
    return plainTraceCall(
        stmt,
        [&] {
            std::string text;
            appendTraceLine(text, "SQLSMALLINT " + traceVariable("count", count) + " = 0;");
            appendTraceLine(text, "rc = SQLNumParams(" + statementWord(statement) + ", " +
                                      traceVariable("&count", count) + ");");
            return text;
        },
        [&] { return stmt.numParams(count); },
        [&] {
            std::string text;
            appendTraceLine(text, "// count: " + traceSmallIntOut(count));
            return text;
        });
}

SQLRETURN paramOptions(SQLHSTMT statement, SQLULEN rows, SQLULEN* processed) {
    if (statement == SQL_NULL_HSTMT) {
        return SQL_INVALID_HANDLE;
    }
    Statement& stmt = *statementOf(statement);
    const auto rowsValue = reinterpret_cast<SQLPOINTER>(rows);
    return plainTraceCall(
        stmt,
        [&] {
            std::string text;
            appendTraceLine(
                text, "rc = SQLParamOptions(" + statementWord(statement) + ", " +
                          traceStatementAttributeValue(SQL_ATTR_PARAMSET_SIZE, rowsValue) + ", " +
                          traceStatementAttributeValue(SQL_ATTR_PARAMS_PROCESSED_PTR, processed) +
                          ");");
            return text;
        },
        [&] {
            const SQLRETURN rc = stmt.setStmtAttr(SQL_ATTR_PARAMSET_SIZE, rowsValue, 0);
            if (!SQL_SUCCEEDED(rc)) {
                return rc;
            }
            return stmt.setStmtAttr(SQL_ATTR_PARAMS_PROCESSED_PTR, processed, 0);
        },
        [] { return std::string(); });
}

SQLRETURN nativeSql(SQLHDBC connection, SQLCHAR* text, SQLINTEGER length, SQLCHAR* out,
                    SQLINTEGER bufferLength, SQLINTEGER* outLength) {
    if (connection == SQL_NULL_HDBC) {
        return SQL_INVALID_HANDLE;
    }
    ConnectionProxy& proxy = *proxyOf(connection);
    return plainTraceCall(
        proxy,
        [&] {
            return nativeCallLine("SQLNativeSql", connection, traceString(text, length), length,
                                  out, bufferLength, outLength);
        },
        [&] { return proxy.nativeSql(text, length, out, bufferLength, outLength); },
        [&] {
            std::string lines;
            appendTraceLine(lines, "// native: " + traceString(out, bufferLength));
            appendTraceLine(lines, "// len: " + traceIntegerOut(outLength));
            return lines;
        });
}

SQLRETURN nativeSqlW(SQLHDBC connection, SQLWCHAR* text, SQLINTEGER length, SQLWCHAR* out,
                     SQLINTEGER bufferLength, SQLINTEGER* outLength) {
    if (connection == SQL_NULL_HDBC) {
        return SQL_INVALID_HANDLE;
    }
    ConnectionProxy& proxy = *proxyOf(connection);
    SQLINTEGER inputBytes = 0;
    const std::string input = wideToUtf8(text, wideInputLength(text, length), &inputBytes);
    const auto* inputText = reinterpret_cast<const SQLCHAR*>(input.c_str());
    // The text is needed for the caller's buffer or for its character count.
    const bool wantText = out != nullptr || outLength != nullptr;
    NarrowAnswer answer;
    return plainTraceCall(
        proxy,
        [&] {
            return nativeCallLine("SQLNativeSqlW", connection, traceString(input.c_str()), length,
                                  out, bufferLength, outLength);
        },
        [&] {
            if (!wantText) {
                answer.rc = proxy.nativeSql(inputText, inputBytes, nullptr, 0, nullptr);
                return answer.rc;
            }
            // The length first, then the text in a buffer that holds it: the
            // connection never cuts it, and the characters can be counted.
            answer = readNarrowAnswer<SQLINTEGER>(
                0, [&](SQLCHAR* buffer, SQLINTEGER size, SQLINTEGER* written) {
                    return proxy.nativeSql(inputText, inputBytes, buffer, size, written);
                });
            if (!SQL_SUCCEEDED(answer.rc)) {
                return answer.rc;
            }
            const std::int64_t characters =
                copyToWide(answer.text, out,
                           bufferLength > 0 ? std::int64_t{bufferLength} * kWideCharBytes : 0);
            if (outLength != nullptr) {
                *outLength = wideCharacterLength<SQLINTEGER>(characters);
            }
            SQLRETURN rc = answer.rc;
            if (out != nullptr && characters >= bufferLength) {
                rc = SQL_SUCCESS_WITH_INFO;
                if (!holdsState(proxy.diagnostics(), "01004")) {
                    proxy.diagnostics().prependRecord("01004", 0, "", -1, -1);
                }
            }
            return rc;
        },
        [&] {
            std::string lines;
            appendTraceLine(lines, "// native: " + traceString(answer.text.c_str()));
            appendTraceLine(lines, "// len: " + (wantText ? std::to_string(answer.length)
                                                          : std::string("NULL")));
            return lines;
        });
}

SQLRETURN execDirect(SQLHSTMT statement, SQLCHAR* text, SQLINTEGER length) {
    if (statement == SQL_NULL_HSTMT) {
        return SQL_INVALID_HANDLE;
    }
    Statement& stmt = *statementOf(statement);
    return stampedTraceCall(
        stmt, [&] { return narrowTextCall("SQLExecDirect", statement, text, length); },
        [&] { return stmt.execDirect(text, length); });
}

SQLRETURN execDirectW(SQLHSTMT statement, SQLWCHAR* text, SQLINTEGER length) {
    if (statement == SQL_NULL_HSTMT) {
        return SQL_INVALID_HANDLE;
    }
    Statement& stmt = *statementOf(statement);
    const TextSettings settings = textSettings(stmt);
    const SQLINTEGER units = wideInputLength(text, length);
    if (stmt.isTracing()) {
        stmt.writeTrace(encodingLines(text, length, units, settings));
    }
    const StatementText converted = convertStatementText(settings, text, units);
    return stampedTraceCall(
        stmt, [&] { return wideTextCall("SQLExecDirectW", statement, converted, length); },
        [&] { return stmt.execDirect(converted.data(), converted.bytes); });
}

SQLRETURN execute(SQLHSTMT statement) {
    if (statement == SQL_NULL_HSTMT) {
        return SQL_INVALID_HANDLE;
    }
    Statement& stmt = *statementOf(statement);
    return stampedTraceCall(
        stmt,
        [&] {
            std::string line;
            appendTraceLine(line, "rc = SQLExecute(" + statementWord(statement) + ");");
            return line;
        },
        [&] { return stmt.execute(); });
}

SQLRETURN cancel(SQLHSTMT statement) {
    if (statement == SQL_NULL_HSTMT) {
        return SQL_INVALID_HANDLE;
    }
    Statement& stmt = *statementOf(statement);
    return stampedTraceCall(
        stmt,
        [&] {
            std::string line;
            appendTraceLine(line, "rc = SQLCancel(" + statementWord(statement) + ");");
            return line;
        },
        [&] { return stmt.cancel(); });
}

SQLRETURN paramData(SQLHSTMT statement, SQLPOINTER* value) {
    if (statement == SQL_NULL_HSTMT) {
        return SQL_INVALID_HANDLE;
    }
    Statement& stmt = *statementOf(statement);
    return plainTraceCall(
        stmt,
        [&] {
            std::string line;
            appendTraceLine(line, "rc = SQLParamData(" + statementWord(statement) + ", " +
                                      traceVariable("value", value) + ");");
            return line;
        },
        [&] { return stmt.paramData(value); },
        [&] {
            std::string line;
            appendTraceLine(line, "// count: " + (value != nullptr ? tracePointer(*value)
                                                                   : std::string("null")));
            return line;
        });
}

SQLRETURN putData(SQLHSTMT statement, SQLPOINTER data, SQLLEN length) {
    if (statement == SQL_NULL_HSTMT) {
        return SQL_INVALID_HANDLE;
    }
    Statement& stmt = *statementOf(statement);
    return plainTraceCall(
        stmt,
        [&] {
            std::string line;
            appendTraceLine(line, "rc = SQLPutData(" + statementWord(statement) + ", " +
                                      traceVariable("data", data) + ", " + std::to_string(length) +
                                      ");");
            return line;
        },
        [&] { return stmt.putData(data, length); }, [] { return std::string(); });
}

}  // namespace calls
